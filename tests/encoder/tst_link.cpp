#include <QtTest>

#include "encoder/link.h"
#include "encoder/terminalview.h"
#include "model/state.h"
#include "platform/serialport.h"
#include "platform/timing.h"
#include "support/ptypair.h"
#include "support/scriptedboxes.h"

// The link's wait against a far end that the test plays by hand over a pseudo-terminal.
class TestLink : public QObject {
    Q_OBJECT
    std::unique_ptr<PtyPair> pty;
    EncoderLink &link = Link();

    ExchangeResult ask(const QByteArray &command, QList<QByteArray> expected, bool cancellable = true)
    {
        return link.Wait({.send = command, .discardFirst = true, .until = HoldsAny(std::move(expected)),
                          .cancellable = cancellable});
    }

private slots:
    void init()
    {
        ResetProgramState();
        SetTimeScale(1.0);
        link.Reset();
        pty = std::make_unique<PtyPair>();
        QVERIFY2(pty->ok(), qPrintable(pty->error()));
        SetComDevicePathOverride(1, pty->linkPath());
        const CommError opened = link.MSComm1->setPortOpen(true);
        QVERIFY2(!opened, qPrintable(opened.text));
        link.Timer2->setInterval(2000);
    }
    void cleanup()
    {
        link.Reset();
        pty.reset();
        SetComDevicePathOverride(1, QString());
        SetTimeScale(1.0);
    }

    // The reply is gathered over several wake-ups until it holds what the wait asks for; the
    // command went out first, and the reply timer is stopped afterwards.
    void answeredWhenTheReplyArrivesInPieces()
    {
        QTimer::singleShot(30, this, [this] { pty->write("MAXB"); });
        QTimer::singleShot(120, this, [this] { pty->write("ATCH 10\r"); });
        QTimer::singleShot(200, this, [this] { pty->write("\nrest"); });
        const auto r = ask("config maxbatch?\r", {"\r\n"});
        QCOMPARE(r.outcome, ReplyOutcome::Answered);
        QVERIFY(r.reply.startsWith("MAXBATCH 10\r\n"));
        QCOMPARE(pty->read(500, 17), QByteArray("config maxbatch?\r"));
        QVERIFY(!link.Timer2->Enabled());
        QVERIFY(!link.bRespTimeout);
    }

    void discardDropsWhatCameBefore()
    {
        pty->write("stale ID=\r\n");
        QTRY_VERIFY(link.MSComm1->InBufferCount() > 0);
        QTimer::singleShot(20, this, [this] { pty->write("fresh\r\n"); });
        const auto r = ask("q\r", {"\r\n"});
        QCOMPARE(r.reply, QByteArray("fresh\r\n"));

        // Without the discard, what was waiting is gathered into the reply.
        pty->write("left over ");
        QTRY_VERIFY(link.MSComm1->InBufferCount() > 0);
        QTimer::singleShot(20, this, [this] { pty->write("9600 baud"); });
        const auto r2 = link.Wait({.send = "#PrgmMode#", .until = HoldsAny({"9600 baud"}), .cancellable = false});
        QCOMPARE(r2.outcome, ReplyOutcome::Answered);
        QCOMPARE(r2.reply, QByteArray("left over 9600 baud"));
    }

    // The reply timer ends a silent wait and raises its flag; a timer without an interval still
    // ends it and keeps its interval for the next user. A pause lasts its time.
    void deadlines()
    {
        SetTimeScale(0.02);
        link.Timer2->setInterval(6000); // 120 ms under the scale
        QElapsedTimer clock;
        clock.start();
        auto r = ask("config sid?\r", {"\r\n"});
        QCOMPARE(r.outcome, ReplyOutcome::TimedOut);
        QVERIFY(link.bRespTimeout);
        QVERIFY(clock.elapsed() >= 100);

        link.Timer2->setInterval(0);
        clock.restart();
        r = ask("config sid?\r", {"\r\n"});
        QCOMPARE(r.outcome, ReplyOutcome::TimedOut);
        QVERIFY(clock.elapsed() >= 140); // 8000 ms under the scale
        QCOMPARE(link.Timer2->Interval(), 0);

        // Another timer and its own flag.
        bool expired = false;
        WindowTimer other;
        connect(&other, &WindowTimer::Timer, this, [&] { expired = true; });
        other.setInterval(1000);
        r = link.Wait({.send = "x\r", .until = HoldsAny({"never"}), .deadline = Deadline::Timer(other, expired)});
        QCOMPARE(r.outcome, ReplyOutcome::TimedOut);
        QVERIFY(expired && !other.Enabled());

        clock.restart();
        QCOMPARE(link.Pause(std::chrono::milliseconds(5000), true), ReplyOutcome::TimedOut);
        QVERIFY(clock.elapsed() >= 90);
    }

    void cancelAndClosing()
    {
        link.bCancelOp = true; // already set: one look, then Cancelled
        auto r = ask("x\r", {"\r\n"});
        QCOMPARE(r.outcome, ReplyOutcome::Cancelled);
        // Not cancellable: the flag does not count.
        QTimer::singleShot(100, this, [this] { pty->write("9600 baud"); });
        r = ask("#PrgmMode#", {"9600 baud"}, false);
        QCOMPARE(r.outcome, ReplyOutcome::Answered);
        // Raised while waiting; a pause ends too.
        link.bCancelOp = false;
        QTimer::singleShot(100, this, [this] { link.bCancelOp = true; });
        r = ask("x\r", {"\r\n"});
        QCOMPARE(r.outcome, ReplyOutcome::Cancelled);
        QCOMPARE(link.Pause(std::chrono::minutes(1), true), ReplyOutcome::Cancelled);
        // A closing program ends any wait.
        link.bCancelOp = false;
        QTimer::singleShot(100, this, [this] { link.bAppClosing = true; });
        r = ask("#PrgmMode#", {"9600 baud"}, false);
        QCOMPARE(r.outcome, ReplyOutcome::Closing);
        QCOMPARE(link.Pause(std::chrono::minutes(1), false), ReplyOutcome::Closing);
        QVERIFY(link.Gone());
    }

    void answeredBeatsTimeoutInTheSameLook()
    {
        pty->write("ID=");
        QTRY_VERIFY(link.MSComm1->InBufferCount() > 0);
        QTimer::singleShot(0, this, [this] { link.bRespTimeout = true; });
        const auto r = link.Wait({.send = "ATI\r", .until = HoldsAny({"ID="})});
        QCOMPARE(r.outcome, ReplyOutcome::Answered);
        QVERIFY(link.bRespTimeout);
    }

    void signatureInsideOtherText()
    {
        const QByteArray signature("\x89\x22\x21\x21\xA1\xFE", 6);
        QTimer::singleShot(20, this, [&] { pty->write("\xF0\x80" + signature + "\x81"); });
        const auto r = ask("#PrgmMode#", {"TAP", signature});
        QCOMPARE(r.outcome, ReplyOutcome::Answered);
    }

    // What a command that cannot be written does is the caller's choice.
    void aFailedWrite_data()
    {
        QTest::addColumn<int>("policy");
        QTest::addColumn<bool>("box");
        QTest::addColumn<int>("outcome");
        QTest::newRow("box, then the wait") << int(OnWriteFailure::ShowAndWait) << true << int(ReplyOutcome::TimedOut);
        QTest::newRow("the wait alone") << int(OnWriteFailure::Wait) << false << int(ReplyOutcome::TimedOut);
        QTest::newRow("box, then the end") << int(OnWriteFailure::ShowAndEnd) << true << int(ReplyOutcome::WriteFailed);
        QTest::newRow("the end alone") << int(OnWriteFailure::End) << false << int(ReplyOutcome::WriteFailed);
    }
    void aFailedWrite()
    {
        QFETCH(int, policy);
        QFETCH(bool, box);
        QFETCH(int, outcome);
        SetTimeScale(0.01);
        QVERIFY(!link.MSComm1->setPortOpen(false));
        ScriptedBoxes boxes;
        if (box)
            boxes.expect("Port not open").icon(MsgIcon::Exclamation).buttons(MsgButtons::OK);
        const auto r = link.Wait({.send = "config sid?\r",
                                  .until = HoldsAny({"\r\n"}),
                                  .onWriteFailure = OnWriteFailure(policy)});
        QCOMPARE(int(r.outcome), outcome);
        QVERIFY(boxes.verifyAllShown());
        QCOMPARE(link.bRespTimeout, outcome == int(ReplyOutcome::TimedOut));
        QVERIFY(!link.Timer2->Enabled());
    }

    // The view is the main window's while one is registered, and does nothing otherwise.
    void withoutAViewNothingIsShown()
    {
        QVERIFY(!link.hasView());
        QVERIFY(link.Gone());
        link.view().SetPanelText(1, QStringLiteral("ignored"));
        QCOMPARE(link.view().PanelText(1), QString());
    }
};

QTEST_MAIN(TestLink)
#include "tst_link.moc"
