#pragma once
// One exchange with the encoder: optionally throw away what has arrived, write the command,
// then poll (yield to pending events, pause, gather what has arrived) until one of the
// expected texts is in the reply, the reply timer raises bRespTimeout, or - when the exchange
// is cancellable - the operator raises bCancelOp. Every conversation with the encoder is made
// of these exchanges.

#include <QByteArray>
#include <QList>

class MSComm;
class WindowTimer;

enum class ReplyOutcome { Answered, TimedOut, Cancelled };

struct Exchange {
    QByteArray command;           // the full text to write, ending included
    QList<QByteArray> expected;   // the reply is complete when it holds any of these
    bool cancellable = true;
    bool discardFirst = true;
};

struct ExchangeResult {
    QByteArray reply;
    ReplyOutcome outcome = ReplyOutcome::TimedOut;
};

// The wait of one exchange uses timer as its time-out (it must raise bRespTimeout when it
// fires). An interval of 0 or less would never end a silent wait, so such a wait runs 8000 ms.
// Once the program is closing (bAppClosing) every wait ends at once as Cancelled.
ExchangeResult WaitForReply(MSComm &port, WindowTimer &timer, const Exchange &exchange);

// The waiting half alone, for callers that wrote the command themselves: gathers into reply
// until an expected text, the time-out or (if cancellable) the cancel flag ends the wait.
ReplyOutcome WaitForExpected(MSComm &port, WindowTimer &timer, const QList<QByteArray> &expected,
                             bool cancellable, QByteArray &reply);

// Writes bytes; a failure shows the port's error text (exclamation icon, application title)
// and is otherwise ignored, as every writer to the encoder does. Returns false on failure.
bool WriteToEncoder(MSComm &port, const QByteArray &bytes);

// The pause between two polls of a wait, in ms. The wait wakes early when bytes arrive.
constexpr int PollIntervalMs = 50;
constexpr int FallbackTimeoutMs = 8000;
