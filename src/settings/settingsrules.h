#pragma once
// What the settings dialogs decide without a window: the protocol option a stored code
// shows, the codes behind the flow-control options, the parity a stored character format shows,
// the COMP1 protocol's default pager, the access code in front of the advanced settings, and the
// advanced settings' check of the duty cycle and the batch quantity.

#include "model/database.h"
#include "model/encoderports.h"
#include "protocols/protocoltable.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <optional>

// The protocol options of an encoder port are the rows of the paging protocols' table, in its
// order (protocols/protocoltable.h). The option a stored protocol code shows, also one the
// encoder's firmware does not offer (greyed out); -1, no option, for a code that is not in the
// table. Opening the dialog changes no code: it stays until the operator chooses another.
int ProtocolOptionShown(const QByteArray &code);

// The parity a stored character format (parity letter, data bits, stop bits) shows in the
// dialog, which offers only "E71" (even) and "N81" (none): any other format, such as a paging
// terminal's "O71", shows no parity and stays stored as it is.
std::optional<bool> EvenParityShown(const QByteArray &format);

// The character format the two boxes stand for: "E" or "N", the data bits and one stop bit.
QByteArray CharacterFormat(bool evenParity, const QByteArray &dataBits);

// The flow-control options of an encoder port, in the order the dialog lists them.
inline constexpr auto &FlowCodes = PortFlowCodes;
// The option of a flow code, or -1 for a code that is none of them.
int FlowOption(const QByteArray &code);

// COMP1 pages the first pager ID of the first pager group when a page names no pager: that
// pager is missing while the group is switched off ("0") or its first pager ID is "0000".
bool COMP1DefaultPagerMissing(const PagerGroupRec &group1);

// The access code of the advanced settings, typed in any mix of upper and lower case.
inline constexpr char AccessCode[] = "KVERN";
bool AccessCodeMatches(const QString &entry);

// The advanced settings' check of the duty cycle and the batch quantity, in the order OK makes
// it: the first failure found is the answer. A number is what a read of the encoder takes and
// Program sends: a whole number from -32768 to 32767, a sign allowed ("+10", "-5", "010").
enum class DutyBatchCheck {
    Accepted,
    EmptyBox,        // either box is empty
    DutyNotNumber,   // the duty cycle is not such a number
    BatchNotNumber,  // the batch quantity is not such a number (nor a larger one to correct)
    BatchTooHigh,    // duty-cycle management is on (a duty cycle other than 0) and the batch is
                     // a whole number above 32, however many digits it has
};
// The largest batch while duty-cycle management is on. A batch of 100 is let through as well.
inline constexpr int MaxManagedBatch = 32;
DutyBatchCheck CheckDutyAndBatch(const QByteArray &dutyCycle, const QByteArray &batchQty);
