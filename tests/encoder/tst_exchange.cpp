#include <QtTest>

#include "encoder/exchange.h"
#include "model/state.h"
#include "platform/serialport.h"
#include "platform/timing.h"
#include "support/ptypair.h"
#include "support/scriptedboxes.h"

// The exchange against a far end that the test plays by hand over a pseudo-terminal.
class TestExchange : public QObject {
    Q_OBJECT
    std::unique_ptr<PtyPair> pty;
    std::unique_ptr<MSComm> port;
    std::unique_ptr<WindowTimer> timer;

    Exchange ask(const QByteArray &command, QList<QByteArray> expected, bool cancellable = true)
    {
        return Exchange{command, std::move(expected), cancellable, true};
    }

private slots:
    void init()
    {
        ResetProgramState();
        SetTimeScale(1.0);
        pty = std::make_unique<PtyPair>();
        QVERIFY2(pty->ok(), qPrintable(pty->error()));
        SetComDevicePathOverride(1, pty->linkPath());
        port = std::make_unique<MSComm>();
        QVERIFY(!port->setCommPort(1));
        QVERIFY(!port->setPortOpen(true));
        timer = std::make_unique<WindowTimer>();
        connect(timer.get(), &WindowTimer::Timer, this, [] { bRespTimeout = true; });
        timer->setInterval(2000);
    }
    void cleanup()
    {
        timer.reset();
        port.reset();
        pty.reset();
        SetComDevicePathOverride(1, QString());
        SetTimeScale(1.0);
    }

    void answeredWhenTheReplyArrivesInPieces()
    {
        QTimer::singleShot(30, this, [this] { pty->write("MAXB"); });
        QTimer::singleShot(120, this, [this] { pty->write("ATCH 10\r"); });
        QTimer::singleShot(200, this, [this] { pty->write("\nrest"); });
        QElapsedTimer clock;
        clock.start();
        const auto r = WaitForReply(*port, *timer, ask("config maxbatch?\r", {"\r\n"}));
        QCOMPARE(r.outcome, ReplyOutcome::Answered);
        QVERIFY(r.reply.startsWith("MAXBATCH 10\r\n"));
        QVERIFY(clock.elapsed() < 1500);
        QCOMPARE(pty->read(500, 17), QByteArray("config maxbatch?\r"));
        QVERIFY(!timer->Enabled());
    }

    void discardDropsWhatCameBefore()
    {
        pty->write("stale ID=\r\n");
        QTest::qWait(50);
        QTimer::singleShot(20, this, [this] { pty->write("fresh\r\n"); });
        const auto r = WaitForReply(*port, *timer, ask("q\r", {"\r\n"}));
        QCOMPARE(r.reply, QByteArray("fresh\r\n"));

        // Without the discard, what was waiting is gathered into the reply.
        pty->write("left over ");
        QTest::qWait(50);
        QTimer::singleShot(20, this, [this] { pty->write("9600 baud"); });
        Exchange e = ask("#PrgmMode#", {"9600 baud"}, false);
        e.discardFirst = false;
        const auto r2 = WaitForReply(*port, *timer, e);
        QCOMPARE(r2.outcome, ReplyOutcome::Answered);
        QCOMPARE(r2.reply, QByteArray("left over 9600 baud"));
    }

    void timeoutAndItsScale()
    {
        SetTimeScale(0.05);
        timer->setInterval(6000); // 300 ms under the scale
        QElapsedTimer clock;
        clock.start();
        const auto r = WaitForReply(*port, *timer, ask("config sid?\r", {"\r\n"}));
        QCOMPARE(r.outcome, ReplyOutcome::TimedOut);
        QVERIFY(bRespTimeout);
        QVERIFY(clock.elapsed() >= 250 && clock.elapsed() < 2000);

        // A timer without a positive interval still ends the wait (after 8000 ms) and keeps
        // its interval for the next user.
        timer->setInterval(0);
        clock.restart();
        const auto r2 = WaitForReply(*port, *timer, ask("config sid?\r", {"\r\n"}));
        QCOMPARE(r2.outcome, ReplyOutcome::TimedOut);
        QVERIFY(clock.elapsed() >= 350 && clock.elapsed() < 3000);
        QCOMPARE(timer->Interval(), 0);
    }

    void cancel()
    {
        bCancelOp = true; // already set: one cycle, then Cancelled
        auto r = WaitForReply(*port, *timer, ask("x\r", {"\r\n"}));
        QCOMPARE(r.outcome, ReplyOutcome::Cancelled);
        // Not cancellable: the flag does not count.
        QTimer::singleShot(100, this, [this] { pty->write("9600 baud"); });
        r = WaitForReply(*port, *timer, ask("#PrgmMode#", {"9600 baud"}, false));
        QCOMPARE(r.outcome, ReplyOutcome::Answered);
        // Raised while waiting.
        bCancelOp = false;
        QTimer::singleShot(100, [] { bCancelOp = true; });
        r = WaitForReply(*port, *timer, ask("x\r", {"\r\n"}));
        QCOMPARE(r.outcome, ReplyOutcome::Cancelled);
        // A closing program ends any wait.
        bCancelOp = false;
        QTimer::singleShot(100, [] { bAppClosing = true; });
        r = WaitForReply(*port, *timer, ask("#PrgmMode#", {"9600 baud"}, false));
        QCOMPARE(r.outcome, ReplyOutcome::Cancelled);
    }

    void answeredBeatsTimeoutInTheSameCycle()
    {
        pty->write("ID=");
        QTest::qWait(30);
        bRespTimeout = false;
        QTimer::singleShot(0, [] { bRespTimeout = true; });
        Exchange e = ask("ATI\r", {"ID="});
        e.discardFirst = false;
        const auto r = WaitForReply(*port, *timer, e);
        QCOMPARE(r.outcome, ReplyOutcome::Answered);
        QVERIFY(bRespTimeout);
    }

    void signatureInsideOtherText()
    {
        const QByteArray signature("\x89\x22\x21\x21\xA1\xFE", 6);
        QTimer::singleShot(20, this, [&] { pty->write("\xF0\x80" + signature + "\x81"); });
        const auto r = WaitForReply(*port, *timer, ask("#PrgmMode#", {"TAP", signature}));
        QCOMPARE(r.outcome, ReplyOutcome::Answered);
    }

    void writeToAClosedPortShowsTheErrorOnceThenTimesOut()
    {
        SetTimeScale(0.02);
        QVERIFY(!port->setPortOpen(false));
        ScriptedBoxes boxes;
        boxes.expect("Port not open").icon(MsgIcon::Exclamation);
        QElapsedTimer clock;
        clock.start();
        const auto r = WaitForReply(*port, *timer, ask("config sid?\r", {"\r\n"}));
        QCOMPARE(r.outcome, ReplyOutcome::TimedOut);
        QCOMPARE(boxes.shown().size(), 1);
        QVERIFY(clock.elapsed() < 1500);
    }
};

QTEST_MAIN(TestExchange)
#include "tst_exchange.moc"
