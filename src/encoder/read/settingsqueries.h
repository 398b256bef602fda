#pragma once
// The settings queries of a database read, in the order they are sent, with the form each
// answer value must have and the rule by which it is stored.

#include <QByteArray>
#include <QList>
#include <functional>

// The forms of a settings answer's value. An answer of another form is no answer of the query.
enum class AnswerForm {
    Flag,        // exactly "0" or "1"
    Digits,      // one or more digits (the duty cycle, the batch size)
    Attenuation, // a whole number, a minus sign allowed (the modulation attenuation)
    Protocol,    // a code of the paging protocols' table
    Baud,        // a baud rate the settings dialog offers, or "Invalid" (no such port)
    CharFormat,  // "N81", "E71" or "O71"
    Flow,        // "NONE", "HW", "SW", "AHW" or "ASW"
    StationID,   // printable text, empty allowed, but not an echo of a command ("config ...")
                 // and not one of the encoder's own answers ("OK", "Invalid")
    PETSupport,  // "0", "1", or the RS of a V7 without the PET option
};
bool HasForm(AnswerForm form, const QByteArray &value);

// The value of a settings answer: its first line less the CR LF that ends it (or the CR that
// ends an RS answer).
QByteArray SettingAnswerValue(const QByteArray &reply);

struct SettingsQuery {
    QByteArray statusItem;  // shown after "Reading Pager Database - "
    QByteArray command;     // without its line ending
    AnswerForm form;
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

// A signed 16-bit whole number as decimal text ("010" -> "10"); nothing for anything else.
bool ToInt16Text(const QByteArray &value, QByteArray *out);
