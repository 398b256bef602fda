// Finding the encoder when the port opens, from the program's own windows against the
// simulated encoder: the disc and the labels of the main window, the cancel window and the
// program's close while a detection waits. The roads of the detection itself are tested
// without windows (tests/encoder).

#include "app/apptest.h"
#include "encoder/connection.h"
#include "encoder/frmCancelSend.h"
#include "support/scriptedboxes.h"

#include "e2e/programfixture.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>

using namespace encodertest;

namespace {

const QString kDetected = QStringLiteral("Paging Encoder Was Detected\rThe Encoder Database will Now be Read");
const QString kReadQuestion = QStringLiteral("You are About to Read the Encoder and Replace the Current "
                                             "Configuration\rAre You Sure?");
} // namespace

class TestDetection : public QObject, ProgramOnEncoder {
    Q_OBJECT

    QStringList attempts; // the cancel window's step texts, in the order they were shown
    QTimer watch;

    frmTerminal *start(const DeviceState &state, Knobs knobs)
    {
        knobs.emplace_back("reboot_ms", "100");
        return StartOnEncoder(encoder, state, std::move(knobs), true);
    }

    // Each attempt shows its line settings in the cancel window.
    void watchAttempts()
    {
        attempts.clear();
        watch.setInterval(1);
        connect(&watch, &QTimer::timeout, this, [this] {
            frmCancelSend *c = forms::Find<frmCancelSend>();
            if (!c || !c->isVisible())
                return;
            const QString text = c->Label1->text();
            if (attempts.isEmpty() || attempts.last() != text)
                attempts << text;
        });
        watch.start();
    }
    QStringList attemptSettings() const
    {
        QStringList s;
        for (const QString &text : attempts)
            s << text.section(QStringLiteral(" at "), -1);
        return s;
    }

private slots:
    void initTestCase() { IsolateSettingsForTestRun(); }
    void init() { startProgram(0.05); }
    void cleanup()
    {
        watch.stop();
        watch.disconnect();
        endProgram();
    }

    // An encoder is found: each attempt shows its line settings in the cancel window, and the
    // main window shows the encoder. The read that follows is declined here.
    void theEncoderIsFound()
    {
        DeviceState state = DeviceState::factory(9);
        state.firmware = "9.7";
        state.config["serial1 baud"] = "2400";
        // The encoder judges an attempt's bytes by the line speed it sees when it reads them:
        // its thread must read them within the attempt's wait, 300 ms and more at a fifth.
        SetTimeScale(0.2);
        frmTerminal *t = start(state, {{"pacing", "off"}});
        Run.bDBMatchesEncoder = false; // the first attempt then uses the port's own settings
        watchAttempts();

        ScriptedBoxes boxes;
        boxes.expect(kDetected).title(QStringLiteral("Paging Encoder Detected"));
        boxes.expect(kReadQuestion, MsgAnswer::No).title(QStringLiteral("Read Encoder?"));
        QTest::mouseClick(t->ImgNotConnected, Qt::LeftButton);
        QVERIFY(boxes.verifyAllShown());

        QCOMPARE(attemptSettings(), QStringList({"9600,n,8,1", "9600,e,7,1", "2400,n,8,1"}));
        QCOMPARE(attempts.first(), QStringLiteral("Attempting to Detect Paging Encoder\non COM Port 1 at 9600,n,8,1"));
        QCOMPARE(t->lblVersion->text(), QStringLiteral("Firmware Version: 9.7"));
        QCOMPARE(t->Label25->text(), QStringLiteral("Paging Encoder V9"));
        QCOMPARE(t->StatusBar1->panelText(2), QStringLiteral("COM 1 Open"));
        QCOMPARE(t->cmdComStatus->text(), QStringLiteral("Close COM 1"));
        QCOMPARE(t->mnuOpen->text(), QStringLiteral("&Close Port"));
        QCOMPARE(t->FrontImage(), t->ImgConnected);
        for (QAction *a : {t->mnuReadDB, t->mnuWriteDB, t->mnuTest})
            QVERIFY(a->isEnabled());
        QVERIFY(t->Toolbar1->ButtonByKey(QStringLiteral("program"))->isEnabled());
        QVERIFY(!t->Toolbar1->ButtonByKey(QStringLiteral("test"))->isEnabled()); // no match yet
        QVERIFY(!forms::IsLoaded<frmCancelSend>());
        QVERIFY(!HourglassShown());
    }

    // The cancel window stops a detection at once and without a message; the port toggle does
    // nothing meanwhile. The next detection starts afresh.
    void cancellingADetection()
    {
        SetTimeScale(0.3); // the cancel comes within the first attempt's time
        frmTerminal *t = start(DeviceState::factory(9), {{"power", "off"}});
        int round = 0;
        bool stillDetecting = false;
        QString caption;
        bool topmost = false;
        bool flagClearAtStart = false, cancelRaised = false, windowStays = false;
        const PendingAction onCancelSend = WhenShown<frmCancelSend>([&](frmCancelSend *c) {
            ++round;
            caption = c->windowTitle();
            topmost = c->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
            flagClearAtStart = !Link().cancelled();
            // Every way to toggle the port is ignored while the detection runs.
            OpenClosePort();
            t->mnuOpen->trigger();
            t->cmdComStatus->click();
            QTest::mouseClick(t->ImgConnected, Qt::LeftButton);
            stillDetecting = (Run.busy == Busy::Detecting) && Link().isOpen();
            c->Command1->click();
            cancelRaised = Link().cancelled();
            windowStays = forms::IsLoaded<frmCancelSend>(); // the detection unloads it
        });
        t->mnuOpen->trigger();
        QCOMPARE(round, 1);
        QVERIFY(stillDetecting && cancelRaised && windowStays);
        QVERIFY(topmost);
        QCOMPARE(caption, QStringLiteral("Paging Encoder Programming"));
        QVERIFY(flagClearAtStart);
        QVERIFY(!Link().isOpen());
        QVERIFY(!Link().cancelled() && !(Run.busy == Busy::Detecting));
        QVERIFY(!forms::IsLoaded<frmCancelSend>());
        const QByteArray sent = CommandsSent(*encoder).join();
        QCOMPARE(sent.count("#PrgmMode#"), 1);
        QCOMPARE(sent.count("config reboot\r"), 1); // the close

        // A cancel left over from before does not stop the next one.
        Link().cancel();
        const PendingAction onCancelSendAgain = WhenShown<frmCancelSend>([&](frmCancelSend *c) {
            ++round;
            flagClearAtStart = !Link().cancelled();
            c->Command1->click();
        });
        t->mnuOpen->trigger();
        QCOMPARE(round, 2);
        QVERIFY(flagClearAtStart);
        QVERIFY(!Link().isOpen());
    }

    // The program may be closed while a detection waits: everything ends without another box.
    void closingTheProgramDuringADetection()
    {
        SetTimeScale(0.3);
        QPointer<frmTerminal> t = start(DeviceState::factory(9), {{"power", "off"}});
        ScriptedBoxes boxes;
        boxes.expect(QStringLiteral("Are You Sure You Want to Exit"), MsgAnswer::Yes);
        const PendingAction onCancelSend = WhenShown<frmCancelSend>([&](frmCancelSend *) { t->close(); });
        t->mnuOpen->trigger();
        QVERIFY(boxes.verifyAllShown());
        QVERIFY(Link().closing());
        QVERIFY(!forms::IsLoaded<frmTerminal>());
        QVERIFY(!forms::IsLoaded<frmCancelSend>());
        QVERIFY(!(Run.busy == Busy::Detecting));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(t.isNull());
    }

    // The cancel window keeps itself in front of the program's other windows, centred, until
    // Cancel is pressed; it never takes the front from a modal dialog.
    void theCancelWindowKeepsTheFront()
    {
        SetTimeScale(1.0);
        frmTerminal *t = StartAndShowMainWindow<frmXJSplash>();
        QVERIFY(QTest::qWaitForWindowActive(t));
        Link().clearCancel();
        frmCancelSend *c = forms::Show<frmCancelSend>();
        QVERIFY(QTest::qWaitForWindowActive(c));
        const QRect screen = c->screen()->geometry();
        auto centred = [&] {
            return qAbs(c->frameGeometry().center().x() - screen.center().x()) <= 1 &&
                   qAbs(c->frameGeometry().center().y() - screen.center().y()) <= 1;
        };
        QVERIFY(centred());

        // Another window of the program goes active: the cancel window comes back, centred.
        c->move(10, 10);
        t->activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), static_cast<QWidget *>(c));
        QTRY_VERIFY(centred());

        // A modal dialog keeps the front.
        QMessageBox box(QMessageBox::Information, QStringLiteral("t"), QStringLiteral("modal"),
                        QMessageBox::Ok, QApplication::activeWindow());
        box.setWindowModality(Qt::ApplicationModal);
        box.show();
        box.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&box));
        QTest::qWait(50);
        QCOMPARE(QApplication::activeWindow(), static_cast<QWidget *>(&box));
        box.close();
        t->activateWindow(); // where the window system puts the activation back

        // After Cancel it stays where it is when another window goes active.
        QTRY_COMPARE(QApplication::activeWindow(), static_cast<QWidget *>(c));
        c->Command1->click();
        QVERIFY(Link().cancelled());
        t->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(t));
        QTest::qWait(50);
        QCOMPARE(QApplication::activeWindow(), static_cast<QWidget *>(t));
        QVERIFY(c->isVisible());
        forms::Unload<frmCancelSend>();
        QVERIFY(!forms::IsLoaded<frmCancelSend>());
    }
};

QTEST_MAIN(TestDetection)
#include "tst_detection.moc"
