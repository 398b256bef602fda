// The Kestrane sender (port protocol "ZQ"), and the exchange it shares with the Scope sender:
// the frame within a second answered by a text that ends with EOT, resends on the error codes
// the encoder reports after a NAK, and timed lines for the encoder's side of it.

#include "paging/commlog.h"
#include "paging/frames.h"
#include "paging/sendercommon.h"
#include "paging/senders.h"

#include <QDateTime>

namespace paging {

namespace {

// A timed line: the time, then text (which begins ": ").
void logTimed(const QByteArray &text)
{
    LogInline(TimePrefix(QDateTime::currentDateTime()) + text);
}

} // namespace

int16_t SendCapcodePage(const QByteArray &frame, const QByteArray &announce, const QByteArray &capcode,
                        const QByteArray &message)
{
    if (Stopped())
        return 0;
    Link().clearCancel();
    Resends resends;
    for (;;) {
        if (!resends.another()) {
            LogInline(RetriedThreeTimes);
            return 0;
        }
        LogInline(resends.isResend() ? RetryLine(capcode, message) : announce);
        const ExchangeResult r = ConsoleWait(frame, true, HoldsAny({QByteArray(1, ctl::EOT)}));
        if (r.outcome == ReplyOutcome::Closing)
            return 0;
        if (r.outcome == ReplyOutcome::WriteFailed) {
            logTimed(": ERROR - " + r.writeError.text.toLatin1());
            return 1;
        }
        if (r.reply.contains(ctl::NAK)) {
            const NakMeaning meaning = MeaningOfNak(NakCode(r.reply));
            if (meaning == NakMeaning::InvalidAddress) {
                logTimed(QByteArray(": ") + InvalidAddressLine);
            } else if (meaning == NakMeaning::BufferOverflow || meaning == NakMeaning::FormattingError) {
                logTimed(QByteArray(": ") +
                         (meaning == NakMeaning::BufferOverflow ? BufferOverflowLine : FormattingErrorLine));
                resends.ask();
                continue;
            }
        }
        if (r.reply.isEmpty())
            logTimed(QByteArray(": ") + NoResponseLine);
        else
            logTimed(": Paging System: " + NameControls(r.reply, true));
        return 1;
    }
}

} // namespace paging

int16_t OutKestrane(QByteArray capcode, const QByteArray &message, QByteArray functionCode,
                    const QByteArray &rate)
{
    return paging::SendCapcodePage(KestraneFrame(capcode, message, functionCode, rate),
                                   "Kestrane Output, PIN - '" + capcode + "', FC - '" + functionCode +
                                       "', MSG - '" + message + "', DR - '" + rate + "'",
                                   capcode, message);
}
