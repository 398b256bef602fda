#pragma once
// What the senders share: whether a page may go on, the reply wait on the console's
// one-second timer, and the lines every protocol logs in the same words.

#include "encoder/link.h"

#include <QByteArray>
#include <cstdint>

namespace paging {

// No console, or the console or the program is closing: no page goes out and nothing more is
// logged.
bool Stopped();

// One exchange of a test page. A port's device that goes away ends the page as a failed
// write does (WriteFailed, the reason in writeError), so that its error reaches the log.
ExchangeResult PageWait(const Exchange &exchange);

// Throws away what has arrived (when discardFirst), writes command and waits on the console's
// one-second timer until the reply satisfies until. A failed write ends it at once
// (WriteFailed, the port's error in writeError). The timer is stopped afterwards.
ExchangeResult ConsoleWait(const QByteArray &command, bool discardFirst, ReplyTest until);

// "Retry Paging System Output, PIN - '<pin>', MSG - '<message>'"
QByteArray RetryLine(const QByteArray &pagerID, const QByteArray &message);
// The first line of a COMP2 or SNPP page: "<protocol> Output, PIN - '<pin>', FC - '<code>',
// MSG - '<message>'", without the function code's part when there is none.
QByteArray OutputLine(const char *protocol, const QByteArray &pagerID, const QByteArray &functionCode,
                      const QByteArray &message);
// Lines several protocols log in the same words.
inline constexpr char RetriedThreeTimes[] = "ERROR - Retried 3 Times, Msg Discarded";
inline constexpr char BufferOverflowLine[] = "Paging System Buffer Overflow Detected, Resending Message";
inline constexpr char FormattingErrorLine[] = "Msg Formatting Error, Resending Message";
inline constexpr char InvalidAddressLine[] =
    "ERROR - Invalid Address - Msg Rejected by Paging System - Msg Discarded";
inline constexpr char NoResponseLine[] = "ERROR - No Response from Paging System";

// The exchange of the Kestrane and Scope senders: the announcing line (no time), the frame
// until an answer ends with EOT or the second passes, at most three resends on the NAK codes
// that ask for one, and the timed lines. 0 when the console or the program closed or after
// three resends, 1 otherwise.
int16_t SendCapcodePage(const QByteArray &frame, const QByteArray &announce, const QByteArray &capcode,
                        const QByteArray &message);

// The resends of one page: at most three after the first write.
class Resends {
public:
    // Before each write: true for the first write and the first three resends; false when a
    // fourth resend was asked for.
    bool another()
    {
        if (!m_asked)
            return true;
        m_asked = false;
        return ++m_count <= 3;
    }
    void ask() { m_asked = true; }
    bool isResend() const { return m_count > 0; }

private:
    int m_count = 0;
    bool m_asked = false;
};

} // namespace paging
