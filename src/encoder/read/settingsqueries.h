#pragma once
// The settings queries of a database read, in the order they are sent, with the rule by which
// each answer value (the reply less its CR LF) is stored.

#include <QByteArray>
#include <QList>
#include <functional>

struct SettingsQuery {
    QByteArray statusItem;  // shown after "Reading Pager Database - "
    QByteArray command;     // without its line ending
    std::function<void(const QByteArray &value)> store;
    bool endsAtRS = false;  // the wait also ends when an RS arrives (V7 PET query)
    // The value is text the operator chose (the station ID): "ID=" inside it is not the
    // encoder's logon prompt.
    bool operatorText = false;
};

// A two-port (V8/V9) encoder. testPort chooses which port's ID-as-capcode is queried (the
// other port's; the attached one is read by the guard); "9.01" firmware has no station ID.
QList<SettingsQuery> TwoPortSettingsQueries(const QByteArray &testPort,
                                            const QByteArray &firmwareVer);

// A single-port V7 encoder.
QList<SettingsQuery> V7SettingsQueries();

// A signed 16-bit whole number as decimal text ("010" -> "10"); nothing for anything else.
bool ToInt16Text(const QByteArray &value, QByteArray *out);
