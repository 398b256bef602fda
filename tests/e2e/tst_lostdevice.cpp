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

private slots:
    void initTestCase() { IsolateSettingsForTestRun(); }
    void init() { startProgram(0.05); }
    void cleanup() { endProgram(); }

    // Gone during a read: the read's own box, then the port is shown closed. The port can be
    // opened again once the device is back.
    void duringARead()
    {
        frmTerminal *t = connected();
        QVERIFY(t);
        // The request goes unanswered: the read waits for it, and no later request is written.
        QVERIFY(encoder->sim().setKnob("drop_reply", "\"read:G 21\"") && encoder->sim().setKnob("hangup", "\"read:G 21\""));
        QString portWhileTheBoxIsUp;
        ScriptedBoxes boxes;
        boxes.expect(QStringLiteral("Error Reading Pager Database")).title(QStringLiteral("Read Error")).then([&] {
            portWhileTheBoxIsUp = t->StatusBar1->panelText(2);
        });
        t->Toolbar1->ButtonByKey(QStringLiteral("read"))->trigger();
        QTRY_COMPARE(t->StatusBar1->panelText(2), QStringLiteral("COM 1 Closed"));
        QCOMPARE(portWhileTheBoxIsUp, QStringLiteral("COM 1 Open"));
        QVERIFY(boxes.verifyAllShown());
        QCOMPARE(boxes.shown().size(), 1);
        verifyShownClosed(t);
        QCOMPARE(Link().lineSettings(), QByteArray("9600,n,8,1"));
        QCOMPARE(Link().replyInterval().count(), 8000);
    }

    // Gone during a write: the write's box, then the port is shown closed.
    void duringAWrite()
    {
        frmTerminal *t = connected();
        QVERIFY(t);
        QVERIFY(encoder->sim().setKnob("drop_reply", "\"write:G 3\"") && encoder->sim().setKnob("hangup", "\"write:G 3\""));
        QString portWhileTheBoxIsUp;
        ScriptedBoxes boxes;
        boxes.expect(QStringLiteral("Error Writing Pager Database")).title(QStringLiteral("Write Error")).then([&] {
            portWhileTheBoxIsUp = t->StatusBar1->panelText(2);
        });
        t->Toolbar1->ButtonByKey(QStringLiteral("program"))->trigger();
        QTRY_COMPARE(t->StatusBar1->panelText(2), QStringLiteral("COM 1 Closed"));
        QCOMPARE(portWhileTheBoxIsUp, QStringLiteral("COM 1 Open"));
        QVERIFY(boxes.verifyAllShown());
        QCOMPARE(boxes.shown().size(), 1);
        verifyShownClosed(t);
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
