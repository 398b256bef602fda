#pragma once
// The forms that the encoder's setting values have on the line, used both ways: a read takes an
// answer only when its value has its setting's form, and a write sends only values that a read
// would take back. What the program writes, it can read.

#include "model/state.h"

#include <QByteArray>
#include <QList>

enum class SettingForm {
    Flag,        // exactly "0" or "1"
    Number,      // a signed 16-bit whole number: "-5", "+10", "010" (ToInt16Text, model/state.h)
    Attenuation, // a whole number, a minus sign allowed (the modulation attenuation)
    Protocol,    // a code of the paging protocols' table
    Baud,        // a whole number, or "Invalid" (the encoder has no such port)
    CharFormat,  // parity N, E or O, data bits 7 or 8, stop bits 1 or 2: "N81", "O82"
    Flow,        // "NONE", "HW", "SW", "AHW" or "ASW"
    StationID,   // printable text, empty allowed, but not an echo of a command ("config ...")
                 // and not one of the encoder's own answers ("OK", "Invalid")
    PETSupport,  // "0", "1", or the RS of a V7 without the PET option
};
bool HasForm(SettingForm form, const QByteArray &value);

// A text setting that a write sends as it stands, named as the technician knows it.
struct TextSetting {
    const char *name;                  // "Port 2 Protocol"
    QByteArray EncoderConfig::*value;  // &EncoderConfig::sPort2Protocol
    SettingForm form;
    bool twoPortOnly;                  // a V7 has no such setting
};
// Every text setting a write sends, in the order it sends them (the station ID goes out only to
// firmware that has one).
const QList<TextSetting> &TextSettings();
// The form of a text setting (the form table's own row).
SettingForm FormOf(QByteArray EncoderConfig::*value);

// The encoder's refusal of a command it does not know, or of a value it does not take: an answer
// (after any line breaks in front) that begins with "Invalid".
inline constexpr char SettingRefusal[] = "Invalid";
bool SettingRefused(const QByteArray &reply);

// The answer to an ID-as-capcode query ("CONFIG SERIAL1 IDASCAP?", V7 "CONFIG IDASCAP?"): a
// flag on its own line, ended by LF (a CR before it allowed).
enum class IDAsCapAnswer {
    On,
    Off,      // "0", or the encoder's refusal of the query (a firmware without it)
    None,     // nothing came in time
    Garbled,  // anything else: a late answer, a logon prompt, an empty line, half a line
};
// complete: the reply's line ended in time (its LF arrived).
IDAsCapAnswer JudgeIDAsCapAnswer(const QByteArray &reply, bool complete);
