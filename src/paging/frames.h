#pragma once
// The frames of the six paging protocols the test console speaks, and the parts of the
// encoder's answers the senders look at. Bytes in, bytes out: nothing here talks to the port.

#include <QByteArray>

namespace ctl {
constexpr char SOH = 0x01;
constexpr char STX = 0x02;
constexpr char ETX = 0x03;
constexpr char EOT = 0x04;
constexpr char ACK = 0x06;
constexpr char LF = 0x0A;
constexpr char CR = 0x0D;
constexpr char XON = 0x11;
constexpr char XOFF = 0x13;
constexpr char NAK = 0x15;
constexpr char ESC = 0x1B;
constexpr char RS = 0x1E;
constexpr char DEL = 0x7F;
} // namespace ctl

// TAP: the page block (STX, pager ID, CR, message, CR, ETX, three checksum characters, CR),
// the log-on command (ESC "PG1" CR) and the wake-up (a lone CR).
QByteArray TAPPageBlock(const QByteArray &pagerID, const QByteArray &message);
QByteArray TAPLogonCommand();
QByteArray TAPWakeUp();

// COMP1: the message and CR LF.
QByteArray COMP1Frame(const QByteArray &message);

// COMP2: three DEL, the pager ID, the function code (may be empty), CR, the message, CR.
QByteArray COMP2Frame(const QByteArray &pagerID, const QByteArray &message,
                      const QByteArray &functionCode);
// The good answer's ending: "okay" CR LF "COMP2>".
QByteArray COMP2Prompt();

// SNPP: "PAGE " and the pager ID (the function code right after it only when one is given and
// the pager ID is shorter than 4 characters), "MESS " and the message, "SEND"; each ended by
// CR LF.
QByteArray SNPPPageCommand(const QByteArray &pagerID, const QByteArray &functionCode);
QByteArray SNPPMessageCommand(const QByteArray &message);
QByteArray SNPPSendCommand();
// The ten characters after the first "550 " of an answer (fewer where the answer ends first);
// empty without "550 ".
QByteArray SNPPRefusalReason(const QByteArray &answer);

// Kestrane: SOH, the function digit ("1" to "3" for "A" to "C", "4" for anything else), the
// rate digit ("5" for "512", "1" for "1200", "2" for anything else), the capcode, STX, the
// message, ETX, EOT.
QByteArray KestraneFrame(const QByteArray &capcode, const QByteArray &message,
                         const QByteArray &functionCode, const QByteArray &rate);
// Scope: the rate prefix ("AN" for "512", "AF" for "1200", "AS" for anything else), the
// capcode, the function code letter as given, the message, CR.
QByteArray ScopeFrame(const QByteArray &capcode, const QByteArray &message,
                      const QByteArray &functionCode, const QByteArray &rate);

// The error an encoder reports after a NAK: the two characters after the first NAK (fewer when
// the answer ends first).
QByteArray NakCode(const QByteArray &answer);

// What a NAK code of the COMP2, Kestrane and Scope protocols asks for.
enum class NakMeaning {
    InvalidAddress,  // "03": the page is refused
    BufferOverflow,  // "04", "05": send it again
    FormattingError, // "08": send it again
    Other,           // any other code
};
NakMeaning MeaningOfNak(const QByteArray &code);
