// A serial device that goes away (a USB adapter pulled out, played by the simulated encoder
// hanging up its pseudo-terminal): whatever meets it ends with its own boxes, and the main
// window then shows the port closed as its Close Port command leaves it, without a further
// box and without a reboot sent into the line that is gone.

#include "app/apptest.h"
#include "platform/pointer.h"
#include "support/scriptedboxes.h"
#include "testconsole/frmMessageTest.h"

#include "e2e/programfixture.h"

#include <QAction>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

using namespace encodertest;

class TestLostDevice : public QObject, ProgramOnEncoder {
    Q_OBJECT


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

    // The device goes during a transfer: the request named by `when` goes unanswered, so the
    // transfer waits for it and writes no later one. The transfer's own box comes first, with
    // the port still shown open; then the port is shown closed, and nothing more is said.
    void goneDuringATransfer(const char *when, const char *toolbarKey, const QString &text, const QString &title)
    {
        frmTerminal *t = connected();
        QVERIFY(t);
        const std::string where = '"' + std::string(when) + '"';
        QVERIFY(encoder->sim().setKnob("drop_reply", where) && encoder->sim().setKnob("hangup", where));
        QString portWhileTheBoxIsUp;
        ScriptedBoxes boxes;
        boxes.expect(text).title(title).then([&] { portWhileTheBoxIsUp = t->StatusBar1->panelText(2); });
        t->Toolbar1->ButtonByKey(QLatin1String(toolbarKey))->trigger();
        QTRY_COMPARE(t->StatusBar1->panelText(2), QStringLiteral("COM 1 Closed"));
        QCOMPARE(portWhileTheBoxIsUp, QStringLiteral("COM 1 Open"));
        QVERIFY(boxes.verifyAllShown());
        QCOMPARE(boxes.shown().size(), 1);
        verifyShownClosed(t);
    }

private slots:
    void initTestCase() { IsolateSettingsForTestRun(); }
    void init() { startProgram(0.05); }
    void cleanup() { endProgram(); }

    // Gone during a read, then during a write. After the read the port can be opened again
    // once the device is back, at the settings it had.
    void duringARead()
    {
        goneDuringATransfer("read:G 21", "read", QStringLiteral("Error Reading Pager Database"),
                            QStringLiteral("Read Error"));
        QCOMPARE(Link().lineSettings(), QByteArray("9600,n,8,1"));
        QCOMPARE(Link().replyInterval().count(), 8000);
    }
    void duringAWrite()
    {
        goneDuringATransfer("write:G 3", "program", QStringLiteral("Error Writing Pager Database"),
                            QStringLiteral("Write Error"));
    }


    // Gone while nothing runs: noticed all the same.
    void whileIdle()
    {
        frmTerminal *t = connected();
        QVERIFY(t);
        ScriptedBoxes boxes; // none
        encoder->sim().hangup();
        QTRY_COMPARE(t->StatusBar1->panelText(2), QStringLiteral("COM 1 Closed"));
        verifyShownClosed(t);
        QCOMPARE(boxes.shown().size(), 0);
    }

    // Gone while the test console is open: its page fails in its log; the console stays until
    // it is closed, its closing says that its "#PrgmMode#" could not be written, and the port
    // is then shown closed.
    void whileTheTestConsoleIsOpen()
    {
        frmTerminal *t = connected({{"tap_logged_in_at_boot", "on"}});
        QVERIFY(t);
        QStringList log;
        bool stillOpenAfterThePage = false;
        WhenShown<frmMessageTest>([&](frmMessageTest *c) {
            encoder->sim().hangup();
            c->txtPIN->setText(QStringLiteral("123"));
            c->txtMessage->setPlainText(QStringLiteral("Hi"));
            c->cmdSendMsg->click();
            for (int i = c->lb_log->count() - 1; i >= 0; --i)
                log << c->lb_log->item(i)->text();
            stillOpenAfterThePage = !c->isUnloaded();
            c->mnuExit->trigger();
        });
        ScriptedBoxes boxes;
        boxes.expect(QStringLiteral("Input/output error")).icon(MsgIcon::Exclamation);
        t->mnuSendMsg->trigger();
        QTRY_COMPARE(t->StatusBar1->panelText(2), QStringLiteral("COM 1 Closed"));
        QVERIFY(stillOpenAfterThePage);
        QVERIFY2(log.size() >= 2 && log.last().endsWith(QStringLiteral("ERROR - Input/output error")),
                 qPrintable(log.join(QLatin1Char('|'))));
        QVERIFY(boxes.verifyAllShown());
        QCOMPARE(boxes.shown().size(), 1);
        QVERIFY(!forms::IsLoaded<frmMessageTest>());
        verifyShownClosed(t);
    }
};

QTEST_MAIN(TestLostDevice)
#include "tst_lostdevice.moc"
