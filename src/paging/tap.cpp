// The TAP sender. It sends the page block at once, as if the encoder were logged on already,
// and logs on only when the encoder answers with its log-on prompt ("ID="); after a page it
// stays logged on, so that the next page goes straight through. Its waits run on the link's TAP
// timer with their own intervals.

#include "paging/commlog.h"
#include "paging/frames.h"
#include "paging/sendercommon.h"
#include "paging/senders.h"

namespace {

constexpr int NakResends = 2;      // resends after a NAK (three NAKs end the page)
constexpr int WakeUpRepeats = 2;   // the wake-up goes out up to three times
constexpr int BusyAnswers = 10;    // busy answers in a row that end the page
constexpr int Logons = 3;          // log-ons for one page

const QByteArray LogonFailed = "ERROR - Error Logging Into Paging System, Message Discarded";

// One wait on the TAP timer. A write that fails ends it at once.
ExchangeResult tapWait(const QByteArray &command, std::chrono::milliseconds interval, ReplyTest until)
{
    return paging::PageWait({.send = command,
                             .until = std::move(until),
                             .deadline = Deadline::TAPTimer(interval),
                             .cancellable = false,
                             .onWriteFailure = OnWriteFailure::End,
                             .endsWithConsole = true});
}

QByteArray errorLine(const CommError &error)
{
    return "ERROR - " + error.text.toLatin1();
}

enum class Logon { GoAhead, Ended, Stopped };

// Log-on: the log-on command until the go-ahead ("[p" CR) comes, with wake-ups (a lone CR)
// that bring the log-on prompt back when it does not. logons counts the log-ons of the page.
Logon logOn(int &logons)
{
    EncoderLink &link = Link();
    for (;;) {
        if (logons == Logons) {
            AddLogLine(LogonFailed);
            return Logon::Stopped;
        }
        ++logons;
        AddLogLine("Encoder: ID=<CR><LF>");
        AddLogLine("Sending Terminal ID");
        link.discardInput();
        const ReplyTest goAhead = HoldsAny({"[p\r"});
        ExchangeResult r = tapWait(TAPLogonCommand(), timeouts::TAPLogon, goAhead);
        if (r.outcome == ReplyOutcome::WriteFailed) {
            AddLogLine(errorLine(r.writeError));
            r = tapWait(QByteArray(), timeouts::TAPLogon, goAhead);
        }
        if (r.outcome == ReplyOutcome::Closing)
            return Logon::Stopped;
        if (r.reply.contains("[p"))
            return Logon::GoAhead;
        if (logons == Logons) {
            AddLogLine(LogonFailed);
            return Logon::Stopped;
        }

        // Wake-up until the log-on prompt comes back. Another activity that stops the TAP
        // timer during this wait ends the page.
        link.discardInput();
        bool stoppedFromOutside = false;
        const ReplyTest prompt = [&](const QByteArray &reply) {
            if (link.tapTimerStopped()) {
                stoppedFromOutside = true;
                return true;
            }
            return reply.contains("ID=");
        };
        for (int repeats = 0;; ++repeats) {
            r = tapWait(TAPWakeUp(), timeouts::TAPWakeUp, prompt);
            if (r.outcome == ReplyOutcome::WriteFailed) {
                if (r.writeError.code == CommError::PortNotOpen) {
                    AddLogLine("ERROR - COM Port Not Open, Message Discarded");
                    return Logon::Ended;
                }
                r = tapWait(QByteArray(), timeouts::TAPWakeUp, prompt);
            }
            if (r.outcome == ReplyOutcome::Closing || stoppedFromOutside)
                return Logon::Stopped;
            if (r.reply.contains("ID="))
                break; // log on again
            if (repeats == WakeUpRepeats) {
                AddLogLine(LogonFailed);
                return Logon::Ended;
            }
        }
    }
}

} // namespace

int16_t OutTAP(QByteArray pagerID, const QByteArray &message, QByteArray messageToLog)
{
    if (paging::Stopped())
        return 0;
    Link().discardInput();
    const ReplyTest answered = HoldsAny({QByteArray(1, ctl::ACK), QByteArray(1, ctl::NAK),
                                         QByteArray(1, ctl::RS), QByteArray(1, ctl::XOFF)});
    bool retry = false; // a NAK or busy answer came: the page lines say "Retry"
    int busy = 0;       // busy answers in a row
    int logons = 0;
    for (;;) {
        const QByteArray block = TAPPageBlock(pagerID, message);
        int nakResends = 0;
        for (;;) {
            AddLogLine((retry ? "Retry TAP Output: PIN - '" : "TAP Output: PIN - '") + pagerID +
                       "', MSG - '" + messageToLog + "'");
            const ExchangeResult r = tapWait(block, timeouts::TAPBlock, answered);
            if (r.outcome == ReplyOutcome::Closing)
                return 0;
            if (r.outcome == ReplyOutcome::WriteFailed) {
                AddLogLine(errorLine(r.writeError));
                return 1;
            }
            const QByteArray &answer = r.reply;
            AddLogLine("Encoder: " + NameControls(answer, false));
            if (answer.contains(ctl::NAK)) {
                retry = true;
                busy = 0;
                if (nakResends < NakResends) {
                    ++nakResends;
                    continue;
                }
                AddLogLine("ERROR - NAKed 3 Times by Paging System - Msg Discarded");
                return 1;
            }
            if (answer.contains(ctl::RS)) {
                if (answer.contains("511")) {
                    AddLogLine("ERROR - PIN Rejected by Paging System - Msg Discarded");
                    return 1;
                }
                if (answer.contains("111")) {
                    retry = true;
                    if (++busy == BusyAnswers) {
                        AddLogLine("ERROR - Paging System Busy - Msg Discarded");
                        return 0;
                    }
                    AddLogLine("Paging System Busy - Retrying");
                    continue;
                }
                AddLogLine("ERROR - Message Rejected by Paging System - Msg Discarded");
                return 1;
            }
            busy = 0;
            if (answer.contains("ID=")) {
                AddLogLine("Paging System Requires Login, Logging In");
                break;
            }
            if (answer.isEmpty())
                AddLogLine(paging::NoResponseLine);
            // Anything else (an ACK, an XOFF) delivered the page.
            return 1;
        }
        switch (logOn(logons)) {
        case Logon::GoAhead:
            continue; // the block again
        case Logon::Ended:
            return 1;
        case Logon::Stopped:
            return 0;
        }
    }
}
