#pragma once
// The range test: numbered test pages ("Test 1", "Test 2", ...) to one pager at a fixed cycle,
// sent from the test console through the sender of the attached port's protocol, so that the
// operator can walk away from the transmitter and note which pages still arrive.
//
// Start (the set-up dialog, frmRangeTest) notes the base message, the pager ID and the cycle
// time, and the console's Timer2 then runs the test in one tick: a page, then the console's
// Timer1 ticks (one second each) with the seconds to the next page in the console's title,
// until the next page is due, and so on until Stop. The first page goes out at the first
// Timer2 tick after Start; the second is due the cycle time after Start, every later one the
// cycle time after the tick at which the page before it was started (whole seconds of
// CurrentTime(), so the test time scale speeds the test up). Page numbers run from 1 in each
// run, and past 32767 start at 1 again.
//
// Only one page is on the line at a time (PageInFlight): a run starts only while no Send's page
// is on its way, a Send during a run stops the run, and a run stopped or replaced by a new Start
// ends at its next look, without sending. Closing the console ends the run at once.
//
// The console implements RangeTestConsole and attaches it while it is loaded. Its handlers are
// then these calls (the window-side ones are in frmRangeTest.h):
//
//   Form_Load          RangeTest().Attach(this);
//   mnuRangeTest_Click RangeTestMenuClick(this);     // starts with the set-up dialog, or stops
//   Timer2_Timer       RangeTest().Timer2_Timer();   // Timer2: 1000 ms, repeating
//   Timer1_Timer       Link().consoleTimerTicked(); Timer1 off; flash while Run.bRangeTestOn
//   cmdSendMsg_Click   if (Run.bRangeTestOn) { mnuRangeTest_Click(); return; } first of all
//   mnuExit_Click      if (Run.bRangeTestOn) mnuRangeTest_Click(); then unload
//   Form_Unload        RangeTestConsoleClosing();    // first of all: the run ends before the
//                                                    // hand-over talks to the encoder (it
//                                                    // stands for the range-test steps)
//   Send's page        PageInFlight page; if (!page) return;   // after the stop, around the
//                                                    // validation and the sender

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <cstdint>
#include <optional>

class WindowTimer;
struct TestPage;

// What the range test uses of the console.
class RangeTestConsole {
public:
    virtual ~RangeTestConsole() = default;
    virtual QByteArray PagerID() const = 0;                     // txtPIN
    virtual void SetPagerID(const QByteArray &pagerID) = 0;
    virtual QByteArray Message() const = 0;                     // txtMessage
    virtual void SetMessage(const QByteArray &message) = 0;
    virtual void SetTitle(const QString &title) = 0;            // the window's caption
    virtual void SetSendCaption(const QString &caption) = 0;    // cmdSendMsg: "&Send", "&Stop"
    virtual void EnableSend() = 0;
    virtual void SetRangeMenuCaption(const QString &caption) = 0; // mnuRangeTest
    virtual int FunctionCodeButton() const = 0;                 // optFC: 0..3, -1 none on
    virtual int DataRateButton() const = 0;                     // optDataRate: 0..2, -1 none on
    // Timer1: the senders' one-second reply timer; its event tells the link
    // (Link().consoleTimerTicked()).
    virtual WindowTimer &Timer1() = 0;
    // Timer2: the range test's tick, 1000 ms, repeating.
    virtual WindowTimer &Timer2() = 0;
    // Hands the page to the sender of its protocol (as Send does).
    virtual void SendPage(const TestPage &page) = 0;
};

// The texts of the run (brand: "Kestrane" or "Solvendra").
QString RangeCountdownTitle(const QByteArray &brand, qint64 seconds); // "... Next Msg. in 30 Sec."
QString RangeEndTitle(const QByteArray &brand);                       // "Kestrane Paging Test"
QByteArray RangePageText(const QByteArray &base, int16_t page);       // "Test 7"
// The number after page: 1 after 32767.
int16_t NextRangePage(int16_t page);
// The cycle time the operator typed, in whole seconds (digits, blanks around them allowed);
// nothing for any other text.
std::optional<int16_t> CycleTimeSeconds(const QString &text);

class RangeTestRun {
public:
    // The test's state (Run.bRangeTestOn says whether a test runs).
    int16_t iRangeCycleSec = 0;
    QDateTime dtRangeNextMsg;  // when the next page is due (whole seconds)
    bool bMsgTestClosed = false; // the console has closed since it was last attached

    // The console has loaded (nullptr: it has gone).
    void Attach(RangeTestConsole *console);
    RangeTestConsole *Console() const { return m_console; }

    // The menu starts a test, before the set-up dialog: Send reads "&Stop", Timer2 ticks.
    void Prepare();
    // The dialog's Start: the console takes the pager ID, the run begins with cycleSec.
    void Start(const QByteArray &pagerID, const QByteArray &baseMessage, int16_t cycleSec);
    // The dialog left without Start: Send is enabled and reads "&Send" again.
    void Cancel();
    // Stop (the menu, or Send): no further page; the console shows the base message again.
    void Stop();
    // The console closes: the run ends at once, the console's timers stop and it is detached.
    void ConsoleClosed();

    // The console's Timer2 event: runs the test (see above). Returns when the run has ended.
    void Timer2_Timer();

    // The state of a fresh program (tests).
    void Reset();

private:
    RangeTestConsole *m_console = nullptr;
    QByteArray m_base; // the run's base message (the set-up dialog's, shown again at Stop)
    quint64 m_generation = 0; // counts Starts and closings: a run goes on only in its own
    bool m_running = false;   // a run is on the stack
};

// The program's range test.
RangeTestRun &RangeTest();
