// A serial device that goes away (a USB adapter pulled out, played by the simulated encoder
// hanging up its pseudo-terminal): whatever meets it ends at once and tries nothing more on it,
// one box names the device and says it has gone, and the main window then shows the port
// closed as its Close Port command leaves it, without a reboot sent into the line that is gone.

#include "app/apptest.h"
#include "encoder/connection.h"
#include "encoder/link.h"
#include "platform/pointer.h"
#include "support/scriptedboxes.h"
#include "testconsole/frmMessageTest.h"

#include "e2e/programfixture.h"
#include "support/linewrites.h"

#include <QAction>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include <cerrno>
#include <optional>

using namespace encodertest;

namespace {

// Leaves EAGAIN in errno before every event the program handles, as an earlier read that found
// nothing does: the reason the box gives must be the answer of the call that failed on the
// device, not what such a call left behind.
class EarlierTryAgain : public QObject {
protected:
    bool eventFilter(QObject *, QEvent *) override
    {
        errno = EAGAIN;
        return false;
    }
};

} // namespace

class TestLostDevice : public QObject, ProgramOnEncoder {
    Q_OBJECT

    EarlierTryAgain earlierTryAgain;

    // Detected and read, the port open.
    frmTerminal *connected(Knobs knobs = {})
    {
        return StartDetectedAndRead(encoder, DeviceState::demo(), FastLine(std::move(knobs)));
    }

    // The main window of a closed port, as the Close Port command leaves it.
    static void verifyShownClosed(frmTerminal *t)
    {
        QCOMPARE(t->StatusBar1->panelText(2), QStringLiteral("COM 1 Closed"));
        QVERIFY(!Link().isOpen());
        QCOMPARE(t->FrontImage(), t->ImgNotConnected);
        QCOMPARE(t->mnuOpen->text(), QStringLiteral("&Open Port"));
        QCOMPARE(t->cmdComStatus->text(), QStringLiteral("Open COM 1"));
        QVERIFY(t->cmdComStatus->isEnabled());
        for (QAction *a : {t->mnuReadDB, t->mnuWriteDB, t->mnuTest, t->mnuSendMsg})
            QVERIFY2(!a->isEnabled(), qPrintable(a->objectName()));
        QVERIFY(!t->cmdLookup->isEnabled());
        for (const char *key : {"program", "read", "test"})
            QVERIFY2(!t->Toolbar1->ButtonByKey(QLatin1String(key))->isEnabled(), key);
        QVERIFY(!HourglassShown() && !Run.TransferRunning());
    }

    // The box that says the device has gone, with the reason: what the device answered (a
    // terminal hung up answers every request with an I/O error).
    static QString goneText() { return LineGoneText(Link().devicePath(), 1, QStringLiteral("Input/output error")); }

    // The device goes during a transfer, at the request named by `when`, which goes
    // unanswered: the transfer ends at once (a reply time of minutes would show), without a box
    // of its own and without trying more (a restore of ID-as-capcode would fail in a box); the
    // one box says the device has gone, with the port still shown open; then the port is shown
    // closed.
    void goneDuringATransfer(const char *when, const char *toolbarKey)
    {
        frmTerminal *t = connected();
        QVERIFY(t);
        const std::string where = '"' + std::string(when) + '"';
        QVERIFY(encoder->sim().setKnob("drop_reply", where) && encoder->sim().setKnob("hangup", where));
        Link().setReplyInterval(std::chrono::minutes(10));
        QString portWhileTheBoxIsUp;
        ScriptedBoxes boxes;
        boxes.expect(goneText()).title(QStringLiteral("Serial Device Gone")).then([&] {
            portWhileTheBoxIsUp = t->StatusBar1->panelText(2);
        });
        QElapsedTimer clock;
        clock.start();
        t->Toolbar1->ButtonByKey(QLatin1String(toolbarKey))->trigger();
        QTRY_COMPARE(t->StatusBar1->panelText(2), QStringLiteral("COM 1 Closed"));
        QVERIFY(clock.elapsed() < 60'000);
        QCOMPARE(portWhileTheBoxIsUp, QStringLiteral("COM 1 Open"));
        QVERIFY(boxes.verifyAllShown());
        QCOMPARE(boxes.shown().size(), 1);
        verifyShownClosed(t);
    }

private slots:
    void initTestCase() { IsolateSettingsForTestRun(); }
    void init()
    {
        startProgram(0.05);
        qApp->installEventFilter(&earlierTryAgain);
    }
    void cleanup()
    {
        qApp->removeEventFilter(&earlierTryAgain);
        endProgram();
    }

    // Gone during a read (ID-as-capcode on, so that a read that failed would try to put it
    // back), then during a write. After the read the port can be opened again once the device
    // is back, at the settings it had.
    void duringARead()
    {
        goneDuringATransfer("read:G 21", "read");
        QCOMPARE(Link().lineSettings(), QByteArray("9600,n,8,1"));
        QCOMPARE(Link().replyInterval().count(), 8000);
    }
    void duringAWrite() { goneDuringATransfer("write:G 3", "program"); }

    // Gone while the "Paging Encoder Detected" box is up: the read does not start on the lost
    // line, and the one box says the device has gone.
    void whileTheDetectedBoxIsUp()
    {
        frmTerminal *t = StartOnEncoder(encoder, DeviceState::demo(), FastLine(), false);
        ScriptedBoxes boxes;
        bool goneWhileUp = false;
        boxes.expect(QStringLiteral("Paging Encoder Was Detected")).then([this, &goneWhileUp] {
            encoder->sim().hangup();
            goneWhileUp = QTest::qWaitFor([] { return Link().lineGone(); }, 5000);
        });
        boxes.expect(goneText()).title(QStringLiteral("Serial Device Gone"));
        t->mnuOpen->trigger();
        QVERIFY(goneWhileUp);
        QTRY_COMPARE(t->StatusBar1->panelText(2), QStringLiteral("COM 1 Closed"));
        QVERIFY(boxes.verifyAllShown());
        QCOMPARE(boxes.shown().size(), 2);
        verifyShownClosed(t);
    }

    // Gone while nothing runs: noticed all the same, and said once.
    void whileIdle()
    {
        frmTerminal *t = connected();
        QVERIFY(t);
        ScriptedBoxes boxes;
        boxes.expect(goneText()).title(QStringLiteral("Serial Device Gone"));
        encoder->sim().hangup();
        QTRY_COMPARE(t->StatusBar1->panelText(2), QStringLiteral("COM 1 Closed"));
        verifyShownClosed(t);
        QVERIFY(boxes.verifyAllShown());
        QCOMPARE(boxes.shown().size(), 1);
    }

    // Gone while the test console is open: its page fails in its log; the console stays until
    // it is closed, its closing tries nothing on the lost line and waits for nothing (a reply
    // time of minutes would show), and the port is then shown closed after the one box.
    void whileTheTestConsoleIsOpen()
    {
        frmTerminal *t = connected({{"tap_logged_in_at_boot", "on"}});
        QVERIFY(t);
        QStringList log;
        bool stillOpenAfterThePage = false;
        const PendingAction onMessageTest = WhenShown<frmMessageTest>([&](frmMessageTest *c) {
            encoder->sim().hangup();
            c->txtPIN->setText(QStringLiteral("123"));
            c->txtMessage->setPlainText(QStringLiteral("Hi"));
            c->cmdSendMsg->click();
            for (int i = c->lb_log->count() - 1; i >= 0; --i)
                log << c->lb_log->item(i)->text();
            stillOpenAfterThePage = !c->isUnloaded();
            Link().setReplyInterval(std::chrono::minutes(10));
            c->mnuExit->trigger();
        });
        ScriptedBoxes boxes;
        boxes.expect(goneText()).title(QStringLiteral("Serial Device Gone"));
        QElapsedTimer clock;
        clock.start();
        t->mnuSendMsg->trigger();
        QTRY_COMPARE(t->StatusBar1->panelText(2), QStringLiteral("COM 1 Closed"));
        QVERIFY(clock.elapsed() < 60'000);
        QVERIFY(stillOpenAfterThePage);
        QVERIFY2(log.size() >= 2 && log.last().endsWith(QStringLiteral("ERROR - Input/output error")),
                 qPrintable(log.join(QLatin1Char('|'))));
        QVERIFY(boxes.verifyAllShown());
        QCOMPARE(boxes.shown().size(), 1);
        QVERIFY(!forms::IsLoaded<frmMessageTest>());
        verifyShownClosed(t);
    }

    // Gone while the console's closing waits for a long page still on the line (300 baud, the
    // encoder's clock at real time): the close meets the device's going, and the closing then
    // opens nothing and sends nothing ("ATI"); the one box names the device and the reason,
    // and the port is shown closed.
    void whileTheHandBackWaitsForALongPage()
    {
        DeviceState state = DeviceState::demo();
        state.config["serial1 baud"] = "300";
        frmTerminal *t = StartDetectedAndRead(encoder, state, {{"tap_logged_in_at_boot", "on"}}, encsim::Mode::Programming);
        QVERIFY(t);
        // The page and "#PrgmMode#" take 2 s on the line from Send; the console closes 0.1 s
        // after Send, the device goes 0.5 s later. The timers end with this test.
        QPointer<frmMessageTest> console;
        QTimer exit, hangup;
        exit.setSingleShot(true);
        hangup.setSingleShot(true);
        exit.callOnTimeout(this, [&console, &hangup] {
            hangup.start(500);
            if (console)
                console->mnuExit->trigger();
        });
        hangup.callOnTimeout(this, [this] { encoder->sim().hangup(); });
        const PendingAction onConsole = WhenTheConsoleIsUp(*encoder, [&](frmMessageTest *c) {
            encoder->sim().setTimeScale(1.0);
            console = c;
            c->txtPIN->setText(QStringLiteral("123"));
            c->txtMessage->setBytes(QByteArray(40, 'm'));
            exit.start(100);
            c->cmdSendMsg->click();
        });
        ScriptedBoxes boxes;
        boxes.expect(goneText()).title(QStringLiteral("Serial Device Gone"));
        const LineWrites writes;
        t->mnuSendMsg->trigger();
        QTRY_COMPARE(t->StatusBar1->panelText(2), QStringLiteral("COM 1 Closed"));
        QVERIFY(!hangup.isActive() && !forms::IsLoaded<frmMessageTest>());
        QCOMPARE(writes.settingsOf(QStringLiteral(R"("#PrgmMode#")")), QByteArray("300,n,8,1"));
        QCOMPARE(writes.settingsOf(QStringLiteral(R"("ATI\r")")), QByteArray("<not written>"));
        QVERIFY(boxes.verifyAllShown());
        QCOMPARE(boxes.shown().size(), 1);
        verifyShownClosed(t);
    }

    // Gone once the hand-back has closed the port, before it opens it at 9600 baud: the device's
    // link goes while the console is open (a pulled adapter's by-id link goes with it), so the
    // close goes through and the reopening finds no device. Nothing is sent after the close,
    // the one box says the device has gone, and the port is shown closed; with the device back,
    // the next Open Port detects the encoder.
    void beforeTheHandBackReopens()
    {
        frmTerminal *t = connected();
        QVERIFY(t);
        std::optional<LineWrites> writes; // from the console's exit on
        const PendingAction onConsole = WhenTheConsoleIsUp(*encoder, [&](frmMessageTest *c) {
            QFile::remove(encoder->linkPath());
            writes.emplace();
            c->mnuExit->trigger();
        });
        ScriptedBoxes boxes;
        boxes.expect(LineGoneText(encoder->linkPath(), 1, QStringLiteral("No such file or directory")))
            .title(QStringLiteral("Serial Device Gone"))
            .icon(MsgIcon::Exclamation);
        t->mnuSendMsg->trigger();
        QVERIFY(writes && !forms::IsLoaded<frmMessageTest>());
        QVERIFY(writes->settingsOf(QStringLiteral(R"("#PrgmMode#")")) != "<not written>");
        for (const char *after : {R"("ATI\r")", R"("config reboot\r")"})
            QCOMPARE(writes->settingsOf(QLatin1String(after)), QByteArray("<not written>"));
        QVERIFY(boxes.verifyAllShown());
        QCOMPARE(boxes.shown().size(), 1);
        verifyShownClosed(t);

        QVERIFY(QFile::link(QString::fromStdString(encoder->sim().slavePath()), encoder->linkPath()));
        Link().setReplyInterval(RealSecond()); // as the first opening had it
        boxes.expect(QStringLiteral("Paging Encoder Was Detected"));
        t->mnuOpen->trigger();
        QVERIFY(boxes.verifyAllShown());
        QCOMPARE(t->StatusBar1->panelText(2), QStringLiteral("COM 1 Open"));
    }

    // Gone while Close Port waits for the last bytes on a slow line (a reboot sent at the
    // detection's last settings, as a detection that found no encoder leaves it): the closing
    // opens nothing again and sends no reboot; the one box names the device and the reason.
    void whileTheCloseWaitsForTheLastBytes()
    {
        frmTerminal *t = connected();
        QVERIFY(t);
        QTimer hangup; // early in the close's wait of 0.47 s
        hangup.setSingleShot(true);
        hangup.callOnTimeout(this, [this] { encoder->sim().hangup(); });
        ScriptedBoxes boxes;
        boxes.expect(goneText()).title(QStringLiteral("Serial Device Gone"));
        QVERIFY(!Link().setLine("300,n,8,1") && Link().Send("config reboot\r", false));
        hangup.start(50);
        t->mnuOpen->trigger();
        QVERIFY(!hangup.isActive());
        QTRY_COMPARE(boxes.shown().size(), 1); // once the close has ended
        QVERIFY(boxes.verifyAllShown());
        verifyShownClosed(t);
    }
};

QTEST_MAIN(TestLostDevice)
#include "tst_lostdevice.moc"
