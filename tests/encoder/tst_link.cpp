#include <QtTest>

#include "encoder/link.h"
#include "encoder/terminalview.h"
#include "model/state.h"
#include "platform/serialport.h"
#include "platform/timing.h"
#include "support/linktestaccess.h"
#include "support/ptypair.h"
#include "support/scriptedboxes.h"

using namespace std::chrono_literals;

// The link's wait against a far end that the test plays by hand over a pseudo-terminal.
class TestLink : public QObject {
    Q_OBJECT
    std::unique_ptr<PtyPair> pty;
    std::unique_ptr<QObject> row; // the far end's timed moves end with their row
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
        row = std::make_unique<QObject>();
        pty = std::make_unique<PtyPair>();
        QVERIFY2(pty->ok(), qPrintable(pty->error()));
        SetComDevicePathOverride(1, pty->linkPath());
        const CommError opened = link.openPort();
        QVERIFY2(!opened, qPrintable(opened.text));
        link.setReplyInterval(2000ms);
    }
    void cleanup()
    {
        row.reset();
        link.Reset();
        pty.reset();
        SetComDevicePathOverride(1, QString());
        SetTimeScale(1.0);
    }

    // The reply is gathered over several wake-ups until it holds what the wait asks for; the
    // command went out first, and the reply timer is stopped afterwards with its flag down.
    void answeredWhenTheReplyArrivesInPieces()
    {
        QTimer::singleShot(30, row.get(), [this] { pty->write("MAXB"); });
        QTimer::singleShot(120, row.get(), [this] { pty->write("ATCH 10\r"); });
        QTimer::singleShot(200, row.get(), [this] { pty->write("\nrest"); });
        const auto r = ask("config maxbatch?\r", {"\r\n"});
        QCOMPARE(r.outcome, ReplyOutcome::Answered);
        QVERIFY(r.reply.startsWith("MAXBATCH 10\r\n"));
        QCOMPARE(pty->read(500, 17), QByteArray("config maxbatch?\r"));
        QVERIFY(!r.timedOut);
        QVERIFY(!LinkTestAccess::replyTimer(link).Enabled());
        QVERIFY(!LinkTestAccess::replyTimedOut(link));
    }

    void discardDropsWhatCameBefore()
    {
        pty->write("stale ID=\r\n");
        QTRY_VERIFY(LinkTestAccess::unread(link) > 0);
        QTimer::singleShot(20, row.get(), [this] { pty->write("fresh\r\n"); });
        const auto r = ask("q\r", {"\r\n"});
        QCOMPARE(r.reply, QByteArray("fresh\r\n"));

        // Without the discard, what was waiting is gathered into the reply.
        pty->write("left over ");
        QTRY_VERIFY(LinkTestAccess::unread(link) > 0);
        QTimer::singleShot(20, row.get(), [this] { pty->write("9600 baud"); });
        const auto r2 = link.Wait({.send = "#PrgmMode#", .until = HoldsAny({"9600 baud"}), .cancellable = false});
        QCOMPARE(r2.outcome, ReplyOutcome::Answered);
        QCOMPARE(r2.reply, QByteArray("left over 9600 baud"));
    }

    // The reply timer ends a silent wait; the result says it timed out and the link takes its
    // flag down. A timer without an interval still ends it and keeps its interval for the next
    // user. A pause lasts its time.
    void deadlines()
    {
        SetTimeScale(0.02);
        link.setReplyInterval(6000ms); // 120 ms under the scale
        QElapsedTimer clock;
        clock.start();
        auto r = ask("config sid?\r", {"\r\n"});
        QCOMPARE(r.outcome, ReplyOutcome::TimedOut);
        QVERIFY(r.timedOut && !LinkTestAccess::replyTimedOut(link));
        QVERIFY(clock.elapsed() >= 100);

        link.setReplyInterval(0ms);
        clock.restart();
        r = ask("config sid?\r", {"\r\n"});
        QCOMPARE(r.outcome, ReplyOutcome::TimedOut);
        QVERIFY(r.timedOut);
        QVERIFY(clock.elapsed() >= 140); // 8000 ms under the scale
        QCOMPARE(link.replyInterval(), 0ms);

        // An exchange that brings its own interval leaves it on the reply timer for the next.
        r = link.Wait({.send = "x\r", .until = HoldsAny({"never"}), .deadline = Deadline::ReplyTimer(3000ms)});
        QVERIFY(r.outcome == ReplyOutcome::TimedOut && r.timedOut);
        QCOMPARE(link.replyInterval(), 3000ms);

        // The console's one-second timer: its event, told to the link, ends the wait.
        WindowTimer console;
        connect(&console, &WindowTimer::Timer, this, [this] { link.consoleTimerTicked(); });
        console.setInterval(1000);
        r = link.Wait({.send = "x\r", .until = HoldsAny({"never"}), .deadline = Deadline::ConsoleTimer(console)});
        QCOMPARE(r.outcome, ReplyOutcome::TimedOut);
        QVERIFY(r.timedOut && !console.Enabled() && !LinkTestAccess::timer1Expired(link));
        QCOMPARE(link.replyInterval(), 3000ms);

        // The TAP timer at the sender's interval, which stays on it.
        r = link.Wait({.send = "x\r", .until = HoldsAny({"never"}), .deadline = Deadline::TAPTimer(2000ms)});
        QVERIFY(r.outcome == ReplyOutcome::TimedOut && r.timedOut);
        QCOMPARE(link.tapInterval(), 2000ms);
        QVERIFY(!LinkTestAccess::tapTimer(link).Enabled() && !LinkTestAccess::timer1Expired(link));

        clock.restart();
        QCOMPARE(link.Pause(std::chrono::milliseconds(5000), true), ReplyOutcome::TimedOut);
        QVERIFY(clock.elapsed() >= 90);
    }

    // Another activity stops the TAP timer while a wait runs on it (a grid editor loading): the
    // wait's test can tell that from the timer's own end. The console's tick also ends a TAP
    // wait: both raise the same flag.
    void theTapTimerStoppedOrTheConsoleTicked()
    {
        SetTimeScale(0.02);
        bool stopped = false;
        QTimer::singleShot(20, row.get(), [this] { link.stopTapTimer(); });
        auto r = link.Wait({.until = [&](const QByteArray &) { return stopped = link.tapTimerStopped(); },
                            .deadline = Deadline::TAPTimer(std::chrono::minutes(5))});
        QCOMPARE(r.outcome, ReplyOutcome::Answered);
        QVERIFY(stopped && !r.timedOut);

        QTimer::singleShot(20, row.get(), [this] { link.consoleTimerTicked(); });
        r = link.Wait({.until = HoldsAny({"never"}), .deadline = Deadline::TAPTimer(std::chrono::minutes(5))});
        QVERIFY(r.outcome == ReplyOutcome::TimedOut && r.timedOut);
        QVERIFY(!LinkTestAccess::timer1Expired(link));
    }

    void cancelAndClosing()
    {
        link.cancel(); // already set: one look, then Cancelled
        auto r = ask("x\r", {"\r\n"});
        QCOMPARE(r.outcome, ReplyOutcome::Cancelled);
        // Not cancellable: the flag does not count.
        QTimer::singleShot(100, row.get(), [this] { pty->write("9600 baud"); });
        r = ask("#PrgmMode#", {"9600 baud"}, false);
        QCOMPARE(r.outcome, ReplyOutcome::Answered);
        // Raised while waiting; a pause ends too.
        link.clearCancel();
        QTimer::singleShot(100, row.get(), [this] { link.cancel(); });
        r = ask("x\r", {"\r\n"});
        QCOMPARE(r.outcome, ReplyOutcome::Cancelled);
        QCOMPARE(link.Pause(std::chrono::minutes(1), true), ReplyOutcome::Cancelled);
        // A closing program ends any wait.
        link.clearCancel();
        QTimer::singleShot(100, row.get(), [this] { link.setClosing(); });
        r = ask("#PrgmMode#", {"9600 baud"}, false);
        QCOMPARE(r.outcome, ReplyOutcome::Closing);
        QCOMPARE(link.Pause(std::chrono::minutes(1), false), ReplyOutcome::Closing);
        QVERIFY(link.Gone());
    }

    // The reply and the time-out in the same look: Answered, and the result says it timed out
    // too, for a caller that judges the time-out first.
    void answeredBeatsTimeoutInTheSameLook()
    {
        pty->write("ID=");
        QTRY_VERIFY(LinkTestAccess::unread(link) > 0);
        QTimer::singleShot(0, row.get(), [this] { LinkTestAccess::fireReplyTimer(link); });
        const auto r = link.Wait({.send = "ATI\r", .until = HoldsAny({"ID="})});
        QCOMPARE(r.outcome, ReplyOutcome::Answered);
        QVERIFY(r.timedOut);
        QVERIFY(!LinkTestAccess::replyTimedOut(link));
    }

    void signatureInsideOtherText()
    {
        const QByteArray signature("\x89\x22\x21\x21\xA1\xFE", 6);
        QTimer::singleShot(20, row.get(), [this, signature] { pty->write("\xF0\x80" + signature + "\x81"); });
        const auto r = ask("#PrgmMode#", {"TAP", signature});
        QCOMPARE(r.outcome, ReplyOutcome::Answered);
    }

    // A line that sends the command back before the answer (as it is, or with an LF after
    // each of its CRs): the echo is taken off what is judged, also while it comes in pieces.
    void theEchoIsTakenOffTheReply_data()
    {
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<QByteArray>("gathered");
        QTest::addColumn<QByteArray>("reply");
        const QByteArray q("config maxbatch?\r");
        QTest::newRow("no echo") << q << QByteArray("10\r\n") << QByteArray("10\r\n");
        QTest::newRow("echo, then the answer") << q << q + "10\r\n" << QByteArray("10\r\n");
        QTest::newRow("echo with CR LF, then the answer") << q << QByteArray("config maxbatch?\r\n10\r\n")
                                                         << QByteArray("10\r\n");
        QTest::newRow("part of the echo") << q << QByteArray("config max") << QByteArray();
        QTest::newRow("the echo whole: its LF may follow") << q << q << QByteArray();
        QTest::newRow("a reply that begins like the command")
            << q << QByteArray("config x\r\n") << QByteArray("config x\r\n");
        QTest::newRow("the paging port's bell answer") << QByteArray("ATI\r\r") << QByteArray("ATI\r\a\r")
                                                      << QByteArray("ATI\r\a\r");
        QTest::newRow("two CRs, each with an LF") << QByteArray("ATI\r\r") << QByteArray("ATI\r\n\r\n\r\nID=")
                                                  << QByteArray("\r\nID=");
        QTest::newRow("two CRs as they are, an answer beginning CR LF")
            << QByteArray("ATI\r\r") << QByteArray("ATI\r\r\r\nID=") << QByteArray("\r\nID=");
        QTest::newRow("CR LF command, LF added") << QByteArray("config pet?\r\n") << QByteArray("config pet?\r\n\n1\r\n")
                                                 << QByteArray("1\r\n");
        QTest::newRow("no ending") << QByteArray("#PrgmMode#") << QByteArray("#PrgmMode#\r\nTAP")
                                   << QByteArray("\r\nTAP");
        QTest::newRow("a record block") << QByteArray("\x02" "061c74\rL 1\r\x03" "123\r")
                                        << QByteArray("\x02" "061c74\r\nL 1\r\n\x03" "123\r\nL 1 0000\r\n")
                                        << QByteArray("L 1 0000\r\n");
        QTest::newRow("nothing sent") << QByteArray() << QByteArray("\r\nID=") << QByteArray("\r\nID=");
    }
    void theEchoIsTakenOffTheReply()
    {
        QFETCH(QByteArray, sent);
        QFETCH(QByteArray, gathered);
        QFETCH(QByteArray, reply);
        QCOMPARE(ReplyAfterEcho(sent, gathered), reply);
    }

    // Through the port: the echo arrives in pieces and its LF in a later read; its own CR LF
    // does not end the wait, the answer after it does. The whole text stays at hand.
    void anEchoDoesNotEndTheWait()
    {
        QTimer::singleShot(20, row.get(), [this] { pty->write("config max"); });
        QTimer::singleShot(120, row.get(), [this] { pty->write("batch?\r"); });
        QTimer::singleShot(220, row.get(), [this] { pty->write("\n"); });
        QTimer::singleShot(320, row.get(), [this] { pty->write("10\r\n"); });
        const auto r = ask("config maxbatch?\r", {"\r\n"});
        QCOMPARE(r.outcome, ReplyOutcome::Answered);
        QCOMPARE(r.reply, QByteArray("10\r\n"));
        QCOMPARE(r.raw, QByteArray("config maxbatch?\r\n10\r\n"));

        // An echo and nothing else: no answer.
        SetTimeScale(0.1);
        QTimer::singleShot(20, row.get(), [this] { pty->write("config sid?\r\n"); });
        const auto silent = ask("config sid?\r", {"\r\n"});
        QCOMPARE(silent.outcome, ReplyOutcome::TimedOut);
        QCOMPARE(silent.reply, QByteArray());
        QCOMPARE(silent.raw, QByteArray("config sid?\r\n"));
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
        QVERIFY(!link.closePort());
        ScriptedBoxes boxes;
        if (box)
            boxes.expect("Port not open").icon(MsgIcon::Exclamation).buttons(MsgButtons::OK);
        const auto r = link.Wait({.send = "config sid?\r",
                                  .until = HoldsAny({"\r\n"}),
                                  .onWriteFailure = OnWriteFailure(policy)});
        QCOMPARE(int(r.outcome), outcome);
        QVERIFY(boxes.verifyAllShown());
        QCOMPARE(r.timedOut, outcome == int(ReplyOutcome::TimedOut));
        QVERIFY(!LinkTestAccess::replyTimer(link).Enabled() && !LinkTestAccess::replyTimedOut(link));
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
