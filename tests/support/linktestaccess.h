#pragma once
// What only a test may do to the encoder link: look at its timers and their flags, fire the reply
// timer at once, count what waits unread in its port, and run out the wait of an exchange. The
// link befriends this one struct.

#include "encoder/link.h"
#include "platform/serialport.h"
#include "platform/timing.h"
#include "support/pendingaction.h"

#include <algorithm>

struct LinkTestAccess {
    static WindowTimer &replyTimer(EncoderLink &link) { return *link.Timer2; }
    static WindowTimer &tapTimer(EncoderLink &link) { return *link.Timer1; }
    // bRespTimeout and bTimer1Expired as they stand.
    static bool replyTimedOut(const EncoderLink &link) { return link.bRespTimeout; }
    static bool timer1Expired(const EncoderLink &link) { return link.bTimer1Expired; }
    // The reply timer's event, now.
    static void fireReplyTimer(EncoderLink &link) { link.Timer2_Timer(); }
    // Bytes received and not yet read.
    static int unread(EncoderLink &link) { return link.MSComm1->InBufferCount(); }
    // The exchange waiting now: what it has gathered (nullptr when none waits) and its number.
    static const QByteArray *gathered(const EncoderLink &link)
    {
        return link.m_waitUnderWay ? link.m_waitUnderWay->gathered : nullptr;
    }
    static quint64 waitNumber(const EncoderLink &link) { return link.m_waitUnderWay ? link.m_waitUnderWay->number : 0; }
    // Its deadline passes now: it ends as timed out with what it has gathered.
    static void runOutWait(EncoderLink &link)
    {
        if (link.m_waitUnderWay)
            link.m_waitUnderWay->runOut = true;
    }
};

// Runs out each exchange's wait, as its deadline would end it, once what the wait has gathered
// holds one of the texts: an answer that does not end the wait (one of another kind, or without
// the line end it waits for) would otherwise keep it for its whole time, which the waits give in
// real time so that a loaded machine's encoder has room to answer. Only an answer that has come
// ends a wait early, so a slow encoder still has that room. Until the guard goes.
[[nodiscard]] inline PendingAction RunOutWaitsHolding(QList<QByteArray> texts)
{
    return Repeatedly(
        [texts = std::move(texts), last = quint64(0)]() mutable {
            EncoderLink &link = Link();
            const QByteArray *gathered = LinkTestAccess::gathered(link);
            const quint64 wait = LinkTestAccess::waitNumber(link);
            if (gathered && wait != last &&
                std::any_of(texts.cbegin(), texts.cend(), [&](const QByteArray &t) { return gathered->contains(t); })) {
                LinkTestAccess::runOutWait(link);
                last = wait;
            }
            return false;
        },
        nullptr, 1);
}
