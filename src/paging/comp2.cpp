// The COMP2 sender: one frame, the encoder's prompt within a second, resends on the error codes
// the encoder reports after a NAK.

#include "paging/commlog.h"
#include "paging/frames.h"
#include "paging/sendercommon.h"
#include "paging/senders.h"

using namespace paging;

int16_t OutCOMP2(QByteArray pagerID, const QByteArray &message, QByteArray functionCode)
{
    if (Stopped())
        return 0;
    const QByteArray frame = COMP2Frame(pagerID, message, functionCode);
    Resends resends;
    for (;;) {
        if (!resends.another()) {
            LogInline(RetriedThreeTimes);
            return 0;
        }
        if (resends.isResend()) {
            LogInline(RetryLine(pagerID, message));
        } else {
            LogInline(OutputLine("COMP2", pagerID, functionCode, message));
        }
        const ExchangeResult r = ConsoleWait(frame, true, HoldsAny({COMP2Prompt()}));
        if (r.outcome == ReplyOutcome::Closing)
            return 0;
        if (r.outcome == ReplyOutcome::WriteFailed) {
            LogInline("ERROR - " + r.writeError.text.toLatin1());
            return 1;
        }
        if (r.reply.contains(ctl::NAK)) {
            const NakMeaning meaning = MeaningOfNak(NakCode(r.reply));
            if (meaning == NakMeaning::InvalidAddress) {
                LogInline(InvalidAddressLine);
            } else if (meaning == NakMeaning::BufferOverflow || meaning == NakMeaning::FormattingError) {
                LogInline(meaning == NakMeaning::BufferOverflow ? BufferOverflowLine : FormattingErrorLine);
                resends.ask();
                continue;
            }
        }
        // Silence (the wait ran out) logs nothing more.
        if (!r.reply.isEmpty())
            AddLogLine("Encoder: " + NameControls(r.reply, true));
        return 1;
    }
}
