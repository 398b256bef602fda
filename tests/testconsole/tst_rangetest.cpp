// The range test: its run against a console that records what it is shown and sent (real
// timers, the program's clock under the test time scale), one run and one page at a time, the
// console closing in the middle of a run, and the set-up dialog driven offscreen.

#include "app/apptest.h"

#include "encoder/link.h"
#include "model/state.h"
#include "platform/timing.h"
#include "support/scriptedboxes.h"
#include "testconsole/frmRangeTest.h"
#include "testconsole/rangetest.h"
#include "testconsole/testpage.h"

#include <QtTest>
#include <QtWidgets>

namespace {

struct SentPage {
    TestPage page;
    QDateTime at;  // by the program's clock
    QDateTime due; // when the next page is due, as the page goes
    QString title; // the console's title as the page goes
};

// The console as the range test sees it. Timer1 raises the link's flag, as the console's does;
// the test itself plays Timer2's first tick.
class RecordingConsole : public RangeTestConsole {
public:
    QByteArray pin, message;
    QString title, sendCaption, menuCaption = QStringLiteral("Start &Range Test");
    bool sendEnabled = false;
    int fc = 3, rate = 0;
    WindowTimer timer1{nullptr, true}, timer2{nullptr, false};
    QStringList titles;
    QList<SentPage> pages;
    std::function<void()> duringPage; // runs inside each page's sender

    RecordingConsole()
    {
        timer1.setInterval(1000);
        timer2.setInterval(1000);
        QObject::connect(&timer1, &WindowTimer::Timer, &timer1, [] { Link().consoleTimerTicked(); });
    }
    QByteArray PagerID() const override { return pin; }
    void SetPagerID(const QByteArray &p) override { pin = p; }
    QByteArray Message() const override { return message; }
    void SetMessage(const QByteArray &m) override { message = m; }
    void SetTitle(const QString &t) override { title = t; titles << t; }
    void SetSendCaption(const QString &c) override { sendCaption = c; }
    void EnableSend() override { sendEnabled = true; }
    void SetRangeMenuCaption(const QString &c) override { menuCaption = c; }
    int FunctionCodeButton() const override { return fc; }
    int DataRateButton() const override { return rate; }
    WindowTimer &Timer1() override { return timer1; }
    WindowTimer &Timer2() override { return timer2; }
    void SendPage(const TestPage &page) override
    {
        pages.append({page, CurrentTime(), RangeTest().dtRangeNextMsg, title});
        if (duringPage)
            duringPage();
    }

    QByteArrayList messages() const
    {
        QByteArrayList list;
        for (const SentPage &p : pages)
            list << p.page.message;
        return list;
    }
};

const QString SendingTitle = QStringLiteral("Kestrane Range Test - Next Msg. in 0 Sec.");
const QString EndTitle = QStringLiteral("Kestrane Paging Test");

} // namespace

class TestRangeTest : public QObject {
    Q_OBJECT

    std::unique_ptr<ScriptedBoxes> noBoxes; // a box no test scripts fails the test
    RangeTestRun &test = RangeTest();

private slots:
    void init()
    {
        forms::DestroyAll();
        ResetProgramState();
        Link().Reset();
        test.Reset();
        Run.sBrand = "Kestrane";
        EncoderSettings.sPort1Protocol = "TAP";
        EncoderSettings.sPort2Protocol = "SNPP";
        Run.sTestPort = "2";
        SetTimeScale(0.002); // a second lasts 2 ms
        noBoxes = std::make_unique<ScriptedBoxes>();
    }
    void cleanup()
    {
        noBoxes.reset();
        forms::DestroyAll();
        test.Reset();
        SetTimeScale(1.0);
    }

    // Base Test, cycle 3 s, the PC on encoder port 2 (SNPP): Test 1 at the first tick, then the
    // countdown; Test 2 once the cycle after Start has passed, each later page once the cycle
    // after the tick of the page before has passed; Send stops the run while a page is on the
    // line, and nothing goes out after it.
    void pagesAtTheCycleUntilStopped()
    {
        RecordingConsole console;
        test.Attach(&console);
        test.Prepare();
        QVERIFY(console.sendCaption == QStringLiteral("&Stop") && console.timer2.Enabled());

        test.Start("123", "Test", 3);
        QCOMPARE(console.titles, QStringList{QStringLiteral("Kestrane Range Test - Next Msg. in 3 Sec.")});
        console.duringPage = [&] {
            if (console.pages.size() == 4)
                RangeTestMenuClick(nullptr); // Send during a running test
        };
        test.Timer2_Timer();

        QCOMPARE(console.messages(), QByteArrayList({"Test 1", "Test 2", "Test 3", "Test 4"}));
        for (qsizetype k = 0; k < console.pages.size(); ++k) {
            const SentPage &p = console.pages[k];
            QVERIFY(p.page.sender == SenderOf(*FindPagingProtocol("SNPP")) && p.page.pagerID == "0000123" && p.page.functionCode == "D");
            QCOMPARE(p.title, SendingTitle);
            if (k > 0) {
                QVERIFY(p.at > console.pages[k - 1].due);
                QVERIFY(console.pages[k - 1].due.secsTo(p.due) > 3);
            }
        }
        // The title: the countdown from 3 between the pages, 0 as each page goes, the end.
        QCOMPARE(console.titles.last(), EndTitle);
        for (const QString &t : console.titles.mid(1, console.titles.size() - 2))
            QVERIFY2(QRegularExpression(QStringLiteral("^Kestrane Range Test - Next Msg\\. in [0-3] Sec\\.$")).match(t).hasMatch(),
                     qPrintable(t));
        QVERIFY(!Run.bRangeTestOn && !console.timer2.Enabled());
        QCOMPARE(console.sendCaption + console.menuCaption, QStringLiteral("&SendStart &Range Test"));
        QCOMPARE(console.message, QByteArray("Test")); // the base message again
        QCOMPARE(NextRangePage(32767), int16_t(1));   // a long run goes on from 1
    }

    // A run starts only while no Send's page is on the line. A Start while the old run is
    // still on its way out (here: in its wait after a page) ends the old run without another
    // page; a tick meanwhile starts nothing, and the new run counts from 1. Cycle time 0: a
    // page at every tick; port 1 (TAP) takes the pager ID as typed; the titles carry the brand.
    void oneRunAndOnePageAtATime()
    {
        Run.sBrand = "Solvendra";
        Run.sTestPort = "1";
        RecordingConsole console;
        test.Attach(&console);
        test.Start("123", "Test", 0);
        console.duringPage = [] { RangeTestMenuClick(nullptr); };
        {
            PageInFlight aSend;
            test.Timer2_Timer();
        }
        QVERIFY(console.pages.isEmpty() && console.timer2.Enabled() && Run.bRangeTestOn);

        qsizetype sentByNestedTick = -1;
        bool timer2OnAfterNestedTick = false;
        console.duringPage = [&] {
            if (console.pages.size() == 2 && sentByNestedTick < 0) {
                QTimer::singleShot(0, &console.timer1, [&] {
                    RangeTestMenuClick(nullptr);
                    test.Start("123", "Other", 0);
                    const qsizetype before = console.pages.size();
                    test.Timer2_Timer();
                    sentByNestedTick = console.pages.size() - before;
                    timer2OnAfterNestedTick = console.timer2.Enabled();
                });
            }
            if (console.pages.size() == 4)
                RangeTestMenuClick(nullptr);
        };
        test.Timer2_Timer(); // the first run, replaced in its wait after Test 2
        QCOMPARE(console.messages(), QByteArrayList({"Test 1", "Test 2"}));
        QCOMPARE(sentByNestedTick, 0);
        QVERIFY(timer2OnAfterNestedTick && Run.bRangeTestOn);
        QVERIFY(!console.titles.contains(QStringLiteral("Solvendra Paging Test")));

        test.Timer2_Timer(); // the new run's tick
        QCOMPARE(console.messages(), QByteArrayList({"Test 1", "Test 2", "Other 1", "Other 2"}));
        QVERIFY(console.pages.first().page.sender == SenderOf(*FindPagingProtocol("TAP")) && console.pages.first().page.pagerID == "123");
        QCOMPARE(console.titles.last(), QStringLiteral("Solvendra Paging Test"));
        console.titles.removeLast();
        console.titles.removeDuplicates();
        QCOMPARE(console.titles, QStringList{QStringLiteral("Solvendra Range Test - Next Msg. in 0 Sec.")});
    }

    // Closing the console ends the run at once, in its wait (whose tick is an hour away) or
    // while a page is on the line; no page goes out after it and the closed console is not
    // touched again. (Should the run wait for a tick that cannot come, the watchdog ends it as
    // the program's end would, and the test fails.)
    void closingTheConsoleEndsTheRunAtOnce()
    {
        bool watchdogFired = false;
        QTimer watchdog;
        watchdog.setSingleShot(true);
        connect(&watchdog, &QTimer::timeout, this, [&watchdogFired] {
            watchdogFired = true;
            Link().setClosing();
        });
        watchdog.start(30000);
        for (bool inTheWait : {true, false}) {
            RecordingConsole console;
            console.timer1.setInterval(3600 * 1000);
            test.Attach(&console);
            QVERIFY(!test.bMsgTestClosed);
            test.Start("123", "Test", 0);
            console.duringPage = [&] {
                if (inTheWait)
                    QTimer::singleShot(0, &console.timer1, [] { RangeTestConsoleClosing(); });
                else
                    RangeTestConsoleClosing();
            };
            test.Timer2_Timer();
            QVERIFY(!watchdogFired);
            QCOMPARE(console.pages.size(), 1);
            QCOMPARE(console.titles.last(), SendingTitle);
            QVERIFY(!Run.bRangeTestOn && test.bMsgTestClosed && !test.Console() && console.sendEnabled);
            QVERIFY(!console.timer1.Enabled() && !console.timer2.Enabled());
            QCOMPARE(console.menuCaption, QStringLiteral("Start &Range Test"));
            test.Timer2_Timer();
            QCOMPARE(console.pages.size(), 1);
        }
    }

    // The set-up dialog: the console's pager ID and message (or Test); Cancel, Escape and the
    // close box leave without a run (Send enabled, "&Send"; Timer2's ticks do nothing); a cycle
    // time that is no whole number is refused with the dialog kept open; Start hides it with the
    // run begun; the menu stops the run.
    void setupDialog()
    {
        SetTimeScale(1.0);
        RecordingConsole console;
        console.message = "Hello";
        test.Attach(&console);
        for (int way = 0; way < 3; ++way) {
            QString base;
            const PendingAction onRangeTest = WhenShown<frmRangeTest>([&base, way](frmRangeTest *d) {
                base = d->txtBaseMsg->text();
                if (way == 0)
                    d->cmdCancel->click();
                else if (way == 1)
                    QTest::keyClick(d, Qt::Key_Escape);
                else
                    d->close();
            });
            console.sendEnabled = false;
            RangeTestMenuClick(nullptr);
            QVERIFY2(!forms::Find<frmRangeTest>() && !Run.bRangeTestOn, qPrintable(QString::number(way)));
            QVERIFY(base == QStringLiteral("Hello") && console.sendEnabled && console.sendCaption == QStringLiteral("&Send"));
            QVERIFY(console.timer2.Enabled());
            test.Timer2_Timer();
            QVERIFY(console.pages.isEmpty() && console.titles.isEmpty());
        }

        console.pin = "77";
        console.message.clear();
        ScriptedBoxes boxes;
        for (int n = 0; n < 3; ++n)
            boxes.expect(QStringLiteral("Cycle Time must be a whole number of seconds."))
                .title(QStringLiteral("Invalid Cycle Time")).buttons(MsgButtons::OK).icon(MsgIcon::Exclamation);
        QStringList loaded;
        bool keptOpen = false, focusOnCycle = false, startedByRefusal = true;
        const PendingAction onRangeTest = WhenShown<frmRangeTest>([&](frmRangeTest *d) {
            loaded << d->txtPIN->text() << d->txtBaseMsg->text() << d->txtCycleTime->text();
            for (const char *typed : {"x", "", "-1"}) {
                d->txtCycleTime->setText(QString::fromLatin1(typed));
                d->cmdStart->click();
            }
            keptOpen = d->isVisible();
            focusOnCycle = d->focusWidget() == d->txtCycleTime;
            startedByRefusal = Run.bRangeTestOn;
            d->txtPIN->setText(QStringLiteral("88"));
            d->txtCycleTime->setText(QStringLiteral(" 5"));
            d->cmdStart->click();
        });
        RangeTestMenuClick(nullptr);
        boxes.verifyAllShown();
        QCOMPARE(loaded, QStringList({"77", "Test", "30"}));
        QVERIFY(keptOpen && focusOnCycle && !startedByRefusal);
        frmRangeTest *d = forms::Find<frmRangeTest>();
        QVERIFY(d && !d->isVisible()); // hidden, still loaded
        QVERIFY(Run.bRangeTestOn && test.iRangeCycleSec == 5 && console.pin == "88");
        QCOMPARE(console.title, QStringLiteral("Kestrane Range Test - Next Msg. in 5 Sec."));
        QCOMPARE(console.sendCaption + console.menuCaption, QStringLiteral("&StopStop &Range Test"));
        QVERIFY(console.timer1.Enabled() && console.timer2.Enabled());

        RangeTestMenuClick(nullptr);
        QVERIFY(!forms::Find<frmRangeTest>() && !Run.bRangeTestOn);
        QCOMPARE(console.sendCaption + console.menuCaption, QStringLiteral("&SendStart &Range Test"));
        QCOMPARE(console.message, QByteArray("Test"));
    }
};

QTEST_MAIN(TestRangeTest)
#include "tst_rangetest.moc"
