#include "encoder/exchange.h"

#include "model/state.h"
#include "platform/msgbox.h"
#include "platform/serialport.h"
#include "platform/timing.h"

namespace {
bool holdsAny(const QByteArray &reply, const QList<QByteArray> &expected)
{
    for (const QByteArray &text : expected)
        if (reply.contains(text))
            return true;
    return false;
}
} // namespace

bool WriteToEncoder(MSComm &port, const QByteArray &bytes)
{
    const CommError error = port.Output(bytes);
    if (!error)
        return true;
    MsgBox(error.text, MsgButtons::OK, MsgIcon::Exclamation);
    return false;
}

ReplyOutcome WaitForExpected(MSComm &port, WindowTimer &timer, const QList<QByteArray> &expected,
                             bool cancellable, QByteArray &reply)
{
    // A wait must always be able to end: a timer without a positive interval would never fire.
    const int interval = timer.Interval();
    if (interval <= 0)
        timer.setInterval(FallbackTimeoutMs);

    bRespTimeout = false;
    timer.setEnabled(true);
    reply.clear();
    bool answered = false;
    for (;;) {
        DoEvents();
        if (bAppClosing)
            break;
        // The pause between polls ends early when bytes arrive; the outcome is judged after
        // gathering, as in every cycle, so only the waiting time is shortened.
        port.WaitForInput(PollIntervalMs);
        reply += port.Input();
        answered = holdsAny(reply, expected);
        if (answered || bRespTimeout || (cancellable && bCancelOp))
            break;
    }
    timer.setEnabled(false);
    if (interval <= 0)
        timer.setInterval(interval);

    if (bAppClosing || (cancellable && bCancelOp))
        return ReplyOutcome::Cancelled;
    return answered ? ReplyOutcome::Answered : ReplyOutcome::TimedOut;
}

ExchangeResult WaitForReply(MSComm &port, WindowTimer &timer, const Exchange &exchange)
{
    if (exchange.discardFirst)
        port.DiscardInput();
    WriteToEncoder(port, exchange.command);
    ExchangeResult result;
    result.outcome = WaitForExpected(port, timer, exchange.expected, exchange.cancellable, result.reply);
    return result;
}
