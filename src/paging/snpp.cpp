// The SNPP sender: "PAGE", "MESS" and "SEND", each answered by a line that holds "250" when the
// encoder accepts it.

#include "paging/commlog.h"
#include "paging/frames.h"
#include "paging/sendercommon.h"
#include "paging/senders.h"

using namespace paging;

namespace {

// The encoder's last answer, in the list only; nothing when it said nothing.
int16_t logReply(const QByteArray &reply)
{
    if (!reply.isEmpty())
        AddLogLine("Encoder: " + NameControls(reply, true));
    return 1;
}

} // namespace

int16_t OutSNPP(QByteArray pagerID, const QByteArray &message, QByteArray functionCode)
{
    if (Stopped())
        return 0;
    const QByteArray page = SNPPPageCommand(pagerID, functionCode);
    const ReplyTest line = HoldsAny({"\r\n"});
    Resends resends;
    for (;;) {
        if (!resends.another()) {
            LogInline(RetriedThreeTimes);
            return 0;
        }
        if (resends.isResend()) {
            LogInline(RetryLine(pagerID, message));
        } else {
            LogInline(OutputLine("SNPP", pagerID, functionCode, message));
        }
        const ExchangeResult r = ConsoleWait(page, true, line);
        if (r.outcome == ReplyOutcome::Closing)
            return 0;
        if (r.outcome == ReplyOutcome::WriteFailed) {
            LogInline("ERROR - " + r.writeError.text.toLatin1());
            return 1;
        }
        if (r.reply.contains("250"))
            break;
        if (r.reply.contains("550")) {
            // The reason is compared on ten characters: "04" matches only an answer that ends
            // right after it.
            const QByteArray reason = SNPPRefusalReason(r.reply);
            if (reason == "Error, Inv") {
                LogInline("ERROR - Invalid Pager ID - Msg Rejected by Paging System - Msg Discarded");
            } else if (reason == "04" || reason == "05" || reason == "08") {
                LogInline(reason == "08" ? FormattingErrorLine : BufferOverflowLine);
                resends.ask();
                continue;
            }
        }
        return logReply(r.reply);
    }

    // The message and the send, each written as soon as the one before was accepted.
    for (const QByteArray &command : {SNPPMessageCommand(message), SNPPSendCommand()}) {
        const ExchangeResult r = ConsoleWait(command, false, line);
        if (r.outcome == ReplyOutcome::Closing)
            return 0;
        if (r.outcome == ReplyOutcome::WriteFailed) {
            LogInline("ERROR - " + r.writeError.text.toLatin1());
            return 1;
        }
        if (!r.reply.contains("250"))
            return logReply(r.reply);
    }
    return 1;
}
