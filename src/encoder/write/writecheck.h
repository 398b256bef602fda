#pragma once
// What a write must not send: a value that holds a control byte. On the line a CR or LF inside
// a setting ends its command early and sends the rest as a command of its own, and a record
// field or message holding one breaks its record block. Before a write sends anything, the
// values it would send are looked through; the first such value stops it.

#include "encoder/write/writerecords.h"

#include <QByteArray>
#include <optional>

// The first value the writer of variant would send (in sending order: the settings, then the
// groups, families and messages in use) that holds a control byte, named as the technician
// knows it: "Station ID", "Port 1 Protocol", "Group 2 Pager ID 5", "Family 3 Start Capcode",
// "Canned Message 5". Nothing when every value is plain text. firmwareVer decides, as for the
// write, whether the station ID goes out ("9.01" has none).
std::optional<QByteArray> FieldWithControlByte(WriterVariant variant, const QByteArray &firmwareVer);
