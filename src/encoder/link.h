#pragma once
// The line to the encoder: one object, not a window, that keeps to itself the serial port, the
// encoder reply timer and the TAP reply timer, the operator's cancel flag and the program's
// closing flags, and offers the one wait that every conversation with the encoder is made of:
//
//   const ExchangeResult r = Link().Wait({.send = "config maxbatch?\r",
//                                         .discardFirst = true,
//                                         .until = HoldsLine({"\r\n"}, "\r\n"),
//                                         .deadline = Deadline::ReplyTimer(timeouts::Lookup)});
//   if (r.outcome == ReplyOutcome::Answered) ...
//
// An exchange states its deadline and reads its outcome; the timers' flags are the link's own
// and are down again when a wait returns. Everything else goes through a few intent methods:
// the port (open, close, COM number, line settings, discard), the reply timer's interval that
// later exchanges find, the operator's cancel, and the program's and the test console's closing.
//
// A wait optionally throws away what has arrived and writes its command, then yields to the
// window system until the received text satisfies `until`, its deadline passes, the operator
// cancels (when it is cancellable) or the program closes (a test page's wait also ends when the
// test console closes). It wakes as soon as bytes arrive and otherwise looks at the flags every
// 50 ms. While it yields anything can run: a caller looks at the closing flag (and whether the
// main window is still there) before it goes on. What is judged and handed back is the reply
// less an echo of the command that a line on the way may have sent back first.
//
// A reply is taken whole: an exchange waits for its expected text and the line ending that
// closes it (HoldsLine), so no part of it is left on the line for the next exchange. Where that
// ending is a CR the encoder may still send an LF after it; an LF that comes first in the next
// wait is taken as the end of the last reply and dropped.
//
// A device that goes away (a USB adapter pulled out) ends a wait at once (LineGone), and a
// wait on a line that has gone writes nothing: nothing more is to be tried on it.
//
// The link also holds the main window's view (TerminalView), through which transfers show
// their progress; without a main window the view does nothing.

#include "encoder/timeouts.h"
#include "platform/serialport.h"
#include "platform/timing.h"

#include <QByteArray>
#include <QList>
#include <QObject>

#include <chrono>
#include <functional>

class TerminalView;

// How a wait ended.
enum class ReplyOutcome {
    Answered,    // the reply satisfied the test
    TimedOut,    // the deadline passed first
    Cancelled,   // the operator cancelled (a cancellable wait)
    Closing,     // the program is closing (closing()), or the test console is (consoleClosing())
    WriteFailed, // the command could not be written and the caller asked to end there
    LineGone,    // the port's device has gone away (before or during the wait)
};

// What a command that cannot be written does to its wait.
enum class OnWriteFailure {
    ShowAndWait, // the port's error text in a box (exclamation icon), then the wait goes on
    Wait,        // the wait goes on without a word (it ends by its deadline)
    ShowAndEnd,  // the box, then the wait ends at once with WriteFailed
    End,         // the wait ends at once with WriteFailed, without a word
};

// The test a received text must pass for the reply to be complete.
using ReplyTest = std::function<bool(const QByteArray &reply)>;
// Complete once the reply holds any of the texts.
ReplyTest HoldsAny(QList<QByteArray> texts);
// Complete once the reply holds one of the texts and, after it, the line ending that closes
// the reply (a text that ends with the ending is complete by itself): the whole reply.
ReplyTest HoldsLine(QList<QByteArray> texts, QByteArray ending);

// The reply of an exchange without the echo of its command. A line or terminal server between
// the PC and the encoder may send every byte written back before the encoder's answer, may add
// an LF after each CR of the command, and may drop the LF of a CR LF it sends back (the echo
// of "LOOKUP 1005" CR LF coming back as "LOOKUP 1005" CR). When gathered begins with such an
// echo of sent, what follows it is returned; while gathered is still the beginning of a
// possible echo (more of it may come, an LF after a final CR included) nothing is; a reply
// that is no echo of sent (or an exchange that sent nothing) is returned whole.
QByteArray ReplyAfterEcho(const QByteArray &sent, const QByteArray &gathered);

// When a wait gives up.
class Deadline {
public:
    // The encoder reply timer at the interval it holds: 6000 ms at start-up, afterwards what
    // its last user set. Its event ends the wait. A timer without an interval would never end
    // a silent wait: such a wait runs timeouts::Fallback and the timer keeps its interval.
    static Deadline ReplyTimer() { return Deadline(Kind::ReplyTimer, {}); }
    // The reply timer set to interval first (0: the one it holds); it keeps that interval for
    // later exchanges that use the one it holds.
    static Deadline ReplyTimer(std::chrono::milliseconds interval) { return Deadline(Kind::ReplyTimer, interval); }
    // The TAP reply timer set to interval.
    static Deadline TAPTimer(std::chrono::milliseconds interval) { return Deadline(Kind::TAPTimer, interval); }
    // The test console's one-shot, one-second timer at the interval it holds. Its event raises
    // the link's console-timer flag (EncoderLink::consoleTimerTicked), as the TAP timer's does.
    static Deadline ConsoleTimer(WindowTimer &timer) { return Deadline(Kind::ConsoleTimer, {}, &timer); }
    // A fixed time (under the time scale): a pause.
    static Deadline After(std::chrono::milliseconds time) { return Deadline(Kind::After, time); }

private:
    friend class EncoderLink;
    enum class Kind { ReplyTimer, TAPTimer, ConsoleTimer, After };
    Deadline(Kind kind, std::chrono::milliseconds time, WindowTimer *timer = nullptr)
        : m_kind(kind), m_time(time), m_timer(timer) {}
    Kind m_kind;
    std::chrono::milliseconds m_time; // the interval to set (0: the one in place), or the pause
    WindowTimer *m_timer;
};

// One exchange with the encoder.
struct Exchange {
    QByteArray send = {};       // written first; empty: nothing is written
    bool discardFirst = false;  // what has arrived is thrown away before the write
    ReplyTest until = {};       // the reply (less an echo) is complete; empty: only the deadline ends it
    Deadline deadline = Deadline::ReplyTimer();
    bool cancellable = true;    // the operator's cancel (EncoderLink::cancel) ends the wait
    OnWriteFailure onWriteFailure = OnWriteFailure::ShowAndWait;
    bool endsWithConsole = false; // a test page's wait: the test console's closing ends it
};

struct ExchangeResult {
    QByteArray reply;           // what was gathered, less the echo of the command (ReplyAfterEcho)
    QByteArray raw;             // everything gathered during the wait, an echo included
    ReplyOutcome outcome = ReplyOutcome::TimedOut;
    // The deadline had passed when the wait ended, whatever the outcome says: a reply and the
    // time-out may come in the same look (Answered, and timed out), and a cancel may meet a
    // time-out (Cancelled, and timed out).
    bool timedOut = false;
    CommError writeError;       // why the command could not be written, or why the line has
                                // gone (LineGone); empty otherwise
};

class EncoderLink : public QObject {
    Q_OBJECT
public:
    explicit EncoderLink(QObject *parent = nullptr);
    ~EncoderLink() override;

    // Throws away what has arrived when asked, then writes the command and waits as the
    // exchange says.
    ExchangeResult Wait(const Exchange &exchange);
    // Writes without waiting for anything. A failure shows the port's error text (exclamation
    // icon) when showFailure; returns true when the bytes were handed to the system.
    bool Send(const QByteArray &bytes, bool showFailure);
    // Writes without waiting and without a word; the port's error when it failed.
    CommError Write(const QByteArray &bytes);
    // Waits (under the time scale) while the windows go on; ends early when the program
    // closes, and when cancellable once the operator cancels.
    ReplyOutcome Pause(std::chrono::milliseconds time, bool cancellable);

    // The port: its COM number, line settings ("9600,n,8,1") and open state, as MSComm has
    // them; each change can fail with the port's error.
    CommError openPort();
    CommError closePort(); // no error when closed
    bool isOpen() const;
    // The device went away while the port was open; it still counts as open until closed.
    bool lineGone() const;
    // The device went away since the port was last opened, the port closed since or not (a
    // close that waits for the last bytes on the line may be where it went). Nothing more is
    // to be opened or sent by the steps that were under way; the next opening forgets it.
    bool lineWentAway() const;
    // What the system said as it went ("Input/output error"); empty unless lineWentAway().
    QString lineGoneReason() const;
    int portNumber() const;
    CommError setPortNumber(int number); // refused while open
    QByteArray lineSettings() const;
    CommError setLine(const QByteArray &settings); // settings the port refuses leave the old ones
    QString devicePath() const;
    // Throws away what has arrived and not been read.
    void discardInput();

    // The reply timer's interval, which an exchange on Deadline::ReplyTimer() finds. Setting it
    // without a wait: for the exchanges that follow.
    std::chrono::milliseconds replyInterval() const;
    void setReplyInterval(std::chrono::milliseconds interval);
    // The TAP timer's interval (a write keeps it over its run).
    std::chrono::milliseconds tapInterval() const;
    void setTapInterval(std::chrono::milliseconds interval);
    // Another activity stops the TAP timer (the grid editors as they load); a TAP wait that
    // meets it stopped before its time ends its page.
    void stopTapTimer();
    bool tapTimerStopped() const;
    // Both timers stop (the main window goes).
    void stopTimers();
    // The test console's one-second timer has ticked: the flag that the TAP timer raises goes
    // up, and a wait on either timer ends.
    void consoleTimerTicked();

    // The operator's cancel (the cancel window's button). An operation clears it as it starts.
    void cancel();
    bool cancelled() const { return bCancelOp; }
    void clearCancel();

    // The operator confirmed leaving the program; never cleared. Every wait ends.
    void setClosing();
    bool closing() const { return bAppClosing; }
    // The test console is closing or closed: its pages stop (false as it opens).
    void setConsoleClosing(bool closing);
    bool consoleClosing() const { return bConsoleClosing; }

    // The main window's view; a view that does nothing while there is none.
    TerminalView &view();
    bool hasView() const { return m_view != nullptr; }
    void setView(TerminalView *view);
    // Nothing more is to be shown or done for a transfer: the program is closing or the main
    // window has gone.
    bool Gone() const { return bAppClosing || !m_view; }

    // The state of a fresh program: port closed at 9600,n,8,1 on COM 1, timers at their
    // start-up intervals and stopped, flags down. For tests.
    void Reset();

signals:
    // The port's device has gone away (MSComm::deviceGone): the port is to be closed once the
    // transfer that meets it has ended. May come from inside a wait.
    void deviceGone();

private:
    // Tests look at the timers and flags through tests/support/linktestaccess.h.
    friend struct LinkTestAccess;

    MSComm *MSComm1 = nullptr;     // the serial line to the encoder
    WindowTimer *Timer1 = nullptr; // TAP reply time-out, one-shot; its event raises bTimer1Expired
    WindowTimer *Timer2 = nullptr; // encoder reply time-out, one-shot; its event raises bRespTimeout

    bool bCancelOp = false;       // the operator's cancel (the cancel window's button)
    bool bRespTimeout = false;    // raised by Timer2; down again when its wait has ended
    bool bTimer1Expired = false;  // raised by Timer1 and the test console's timer; as above
    bool bAppClosing = false;     // the operator confirmed leaving the program; never cleared
    bool bConsoleClosing = false; // the test console is closing or closed: its pages stop
    bool m_lfOwed = false;        // the last reply ended at a CR: an LF may still follow it

    void Timer1_Timer();
    void Timer2_Timer();

    // An exchange's wait while it runs, which a test may run out at once (LinkTestAccess): what
    // it has gathered, and its number (each wait a new one).
    struct WaitUnderWay {
        const QByteArray *gathered = nullptr;
        quint64 number = 0;
        bool runOut = false; // counts as the deadline passed
    };
    WaitUnderWay *m_waitUnderWay = nullptr;
    quint64 m_waits = 0;

    // Gathers into raw; the text judged by until is ReplyAfterEcho(sent, raw). timedOut: the
    // deadline had passed at the end.
    ReplyOutcome waitFor(const QByteArray &sent, const ReplyTest &until, const Deadline &deadline,
                         bool cancellable, bool endsWithConsole, QByteArray &raw, bool &timedOut);

    TerminalView *m_view = nullptr;
};

// The program's one link, made on first use.
EncoderLink &Link();
