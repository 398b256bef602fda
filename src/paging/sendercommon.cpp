#include "paging/sendercommon.h"

#include "paging/console.h"

namespace paging {

bool Stopped()
{
    const EncoderLink &link = Link();
    return !CurrentPagingConsole() || link.closing() || link.consoleClosing();
}

ExchangeResult PageWait(const Exchange &exchange)
{
    ExchangeResult r = Link().Wait(exchange);
    if (r.outcome == ReplyOutcome::LineGone)
        r.outcome = ReplyOutcome::WriteFailed;
    return r;
}

ExchangeResult ConsoleWait(const QByteArray &command, bool discardFirst, ReplyTest until)
{
    PagingConsole *console = CurrentPagingConsole();
    if (!console) {
        ExchangeResult closed;
        closed.outcome = ReplyOutcome::Closing;
        return closed;
    }
    // The COMP2, SNPP, Kestrane and Scope protocols ask for RTS/CTS and XON/XOFF handshaking.
    // The PC's port keeps RTS raised and takes no flow control of its own: received XON and
    // XOFF must reach the log, and a cable without CTS must not hold a test page back.
    return PageWait({.send = command,
                     .discardFirst = discardFirst,
                     .until = std::move(until),
                     .deadline = Deadline::ConsoleTimer(console->ReplyTimer()),
                     .cancellable = false,
                     .onWriteFailure = OnWriteFailure::End,
                     .endsWithConsole = true});
}

QByteArray RetryLine(const QByteArray &pagerID, const QByteArray &message)
{
    return "Retry Paging System Output, PIN - '" + pagerID + "', MSG - '" + message + "'";
}

QByteArray OutputLine(const char *protocol, const QByteArray &pagerID, const QByteArray &functionCode,
                      const QByteArray &message)
{
    QByteArray line = protocol + QByteArray(" Output, PIN - '") + pagerID;
    if (!functionCode.isEmpty())
        line += "', FC - '" + functionCode;
    return line + "', MSG - '" + message + "'";
}

} // namespace paging
