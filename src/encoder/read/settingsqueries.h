#pragma once
// The settings queries of a database read, in the order they are sent, with the form each
// answer value must have (an answer of another form is no answer of the query) and the rule by
// which it is stored.

#include "encoder/settingforms.h"

#include <QByteArray>
#include <QList>
#include <functional>

// The value of a settings answer: its first line less the CR LF that ends it (or the CR that
// ends an RS answer).
QByteArray SettingAnswerValue(const QByteArray &reply);

struct SettingsQuery {
    QByteArray statusItem;  // shown after "Reading Pager Database - "
    QByteArray command;     // without its line ending
    SettingForm form;
    std::function<void(const QByteArray &value)> store;
    bool endsAtRS = false;  // an RS and its CR are an answer too (V7 PET query)
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
