#pragma once
// What a write must not send. A value that holds a control byte: on the line a CR or LF inside
// a setting ends its command early and sends the rest as a command of its own, and a record
// field or message holding one breaks its record block. A setting that is not of its form (a
// protocol "FOO", a baud "fast"): the encoder would hold a value that no read takes back.
// Before a write sends anything, the values it would send are looked through; the first such
// value stops it.

#include "encoder/write/writerecords.h"

#include <QByteArray>
#include <optional>

struct UnsendableValue {
    // Named as the technician knows it: "Station ID", "Port 1 Protocol", "Group 2 Pager ID 5",
    // "Family 3 Start Capcode", "Canned Message 5".
    QByteArray field;
    QByteArray value;
    bool controlByte = false; // it holds a control byte; otherwise it is not of its form
};

// The first value the writer of variant would send (in sending order: the settings, then the
// groups, families and messages in use) that holds a control byte or, for a setting, is not of
// its setting's form. Nothing when every value can go. firmwareVer decides, as for the write,
// whether the station ID goes out ("9.01" has none).
std::optional<UnsendableValue> FirstUnsendableValue(WriterVariant variant, const QByteArray &firmwareVer);
