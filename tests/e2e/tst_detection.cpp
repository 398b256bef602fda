// Finding the encoder when the port opens, from the program's own windows against the
// simulated encoder: the roads through the line settings and the encoder's answers, nothing
// connected, the V7 refusal, the cancel window and what may happen while a detection waits.

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

using namespace e2e;

namespace {

const QString kDetected = QStringLiteral("Paging Encoder Was Detected\rThe Encoder Database will Now be Read");
const QString kReadQuestion = QStringLiteral("You are About to Read the Encoder and Replace the Current "
                                             "Configuration\rAre You Sure?");
const QString kNotDetected = QStringLiteral("The Paging Encoder was Not Detected.\rPlease Check Connections, "
                                            "Paging Encoder Configuration,\ror COM Port Settings, and Try Again");
const QString kV7 = QStringLiteral("A Version 7 Paging System was Detected.  Please set all DIP Switches\r"
                                   "on the Paging System to the ON position, then Cycle Power on the\r"
                                   "Paging System and Try Again");

} // namespace

class TestDetection : public QObject {
    Q_OBJECT

    std::unique_ptr<AppTestEnv> env;
    std::unique_ptr<SimEncoder> encoder;
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
    void init()
    {
        env = std::make_unique<AppTestEnv>();
        SetTimeScale(0.1);
    }
    void cleanup()
    {
        watch.stop();
        watch.disconnect();
        encoder.reset();
        env.reset();
    }

    // The roads by which an encoder is found; the read that follows is declined here.
    void theEncoderIsFound_data()
    {
        QTest::addColumn<int>("generation");
        QTest::addColumn<QByteArray>("firmware");
        QTest::addColumn<QString>("protocol");
        QTest::addColumn<QString>("baud");
        QTest::addColumn<QStringList>("knobs"); // name=value
        QTest::addColumn<QStringList>("settingsTried");
        QTest::addColumn<QString>("label25");

        const QStringList first{"9600,n,8,1"}, ignoreOne{"ignore_prgmmode_count=1"};
        QTest::newRow("encoder port at 2400 baud") << 9 << QByteArray("9.6") << "TAP" << "2400" << QStringList{}
                                                   << QStringList{"9600,n,8,1", "9600,e,7,1", "2400,n,8,1"}
                                                   << "Paging Encoder V9";
        QTest::newRow("TAP port ignoring the request")
            << 8 << QByteArray("8.12 beta") << "TAP" << "9600" << ignoreOne << first << "Paging Encoder V8";
        QTest::newRow("identification without logon prompt") << 9 << QByteArray("9.10") << "TAP" << "9600"
                                                             << ignoreOne + QStringList{"ati_style=banner_only"}
                                                             << first << "Paging Encoder V9";
        QTest::newRow("COMP1 prompt") << 8 << QByteArray("8.12") << "COMP1" << "9600" << ignoreOne << first
                                      << "Paging Encoder V8";
        QTest::newRow("Scope port") << 9 << QByteArray("9.7") << "SCOPE" << "9600" << ignoreOne << first
                                    << "Paging Encoder V9";
        QTest::newRow("encoder left in programming mode") << 9 << QByteArray("9.01") << "TAP" << "9600"
                                                          << QStringList{"start_mode=programming"} << first
                                                          << "Paging Encoder V9";
    }
    void theEncoderIsFound()
    {
        QFETCH(int, generation);
        QFETCH(QByteArray, firmware);
        QFETCH(QString, protocol);
        QFETCH(QString, baud);
        QFETCH(QStringList, knobs);
        QFETCH(QStringList, settingsTried);
        QFETCH(QString, label25);

        DeviceState state = DeviceState::factory(generation);
        state.firmware = firmware.toStdString();
        state.config["serial1 protocol"] = protocol.toStdString();
        state.config["serial1 baud"] = baud.toStdString();
        frmTerminal *t = start(state, KnobsFrom(QStringList{"pacing=burst"} + knobs));
        Run.bDBMatchesEncoder = false; // the first attempt then uses the port's own settings
        watchAttempts();

        ScriptedBoxes boxes;
        boxes.expect(kDetected).title(QStringLiteral("Paging Encoder Detected"));
        boxes.expect(kReadQuestion, MsgAnswer::No).title(QStringLiteral("Read Encoder?"));
        QTest::mouseClick(t->ImgNotConnected, Qt::LeftButton);
        QVERIFY(boxes.verifyAllShown());

        QCOMPARE(attemptSettings(), settingsTried);
        QCOMPARE(attempts.first(), QStringLiteral("Attempting to Detect Paging Encoder\non COM Port 1 at ") +
                                       settingsTried.first());
        const QByteArray version = firmware.split(' ').first();
        QCOMPARE(Run.sFirmwareVer, version);
        QCOMPARE(Run.sTestPort, QByteArray("1"));
        QCOMPARE(t->lblVersion->text(), QStringLiteral("Firmware Version: ") + QString::fromLatin1(version));
        QCOMPARE(t->Label25->text(), label25);
        QCOMPARE(Run.bFwV97Plus, version == "9.7" || version == "9.10");
        QVERIFY(!Run.bV7Encoder);
        QCOMPARE(encoder->sim().mode(), encsim::Mode::Programming);
        QCOMPARE(Link().MSComm1->Settings(), QByteArray("9600,n,8,1"));
        QVERIFY(Link().MSComm1->PortOpen());
        QCOMPARE(t->StatusBar1->panelText(2), QStringLiteral("COM 1 Open"));
        for (QAction *a : {t->mnuReadDB, t->mnuWriteDB, t->mnuTest})
            QVERIFY(a->isEnabled());
        QVERIFY(!forms::IsLoaded<frmCancelSend>());
        QVERIFY(!Run.bNoDetect && !HourglassShown());
    }

    // Nothing answers (or nothing the detection knows): every attempt waits its time, then the
    // port is closed again. After an unknown answer the encoder is told to reboot before the
    // close (it might have switched after all); silence gets the close's own reboot only.
    void nothingAnswers_data()
    {
        QTest::addColumn<QByteArray>("portSettings");
        QTest::addColumn<bool>("matching");
        QTest::addColumn<int>("entryInterval");
        QTest::addColumn<QStringList>("settingsTried");
        QTest::addColumn<QStringList>("knobs");
        QTest::addColumn<int>("reboots");

        const QStringList table{"9600,n,8,1", "9600,e,7,1", "2400,n,8,1", "2400,e,7,1",
                                "1200,n,8,1", "1200,e,7,1", "300,n,8,1",  "300,e,7,1"};
        const QStringList off{"power=off"};
        QTest::newRow("after a close: eight attempts") << QByteArray("9600,n,8,1") << true << 8000 << table << off << 1;
        QTest::newRow("at 4800 baud: nine attempts")
            << QByteArray("4800,n,8,1") << false << 6000 << (QStringList{"4800,n,8,1"} + table) << off << 1;
        // A wait never runs without a time-out, whatever interval the reply timer was left with.
        QTest::newRow("reply timer left at 0") << QByteArray("9600,n,8,1") << true << 0 << table << off << 1;
        QTest::newRow("an unknown answer") << QByteArray("9600,n,8,1") << true << 8000 << table
                                           << QStringList{"pacing=off", "ignore_prgmmode_count=100",
                                                          "replace_reply=ATI every bytes=\"HELLO\\r\\n\""}
                                           << 2;
    }
    void nothingAnswers()
    {
        QFETCH(QByteArray, portSettings);
        QFETCH(bool, matching);
        QFETCH(int, entryInterval);
        QFETCH(QStringList, settingsTried);
        QFETCH(QStringList, knobs);
        QFETCH(int, reboots);

        SetTimeScale(0.03);
        frmTerminal *t = start(DeviceState::factory(9), KnobsFrom(knobs));
        Run.bDBMatchesEncoder = matching;
        QVERIFY(!Link().MSComm1->setSettings(portSettings));
        Link().Timer2->setInterval(entryInterval);
        watchAttempts();

        ScriptedBoxes boxes;
        boxes.expect(kNotDetected)
            .title(QStringLiteral("Paging Encoder Not Detected"))
            .buttons(MsgButtons::OK)
            .icon(MsgIcon::None)
            .then([] { QVERIFY(!forms::IsLoaded<frmCancelSend>()); });
        t->cmdComStatus->click();
        QVERIFY(boxes.verifyAllShown());

        QCOMPARE(attemptSettings(), settingsTried);
        const QByteArray sent = CommandsSent(*encoder).join();
        QCOMPARE(sent.count("#PrgmMode#"), settingsTried.size());
        QCOMPARE(sent.count("ATI\r\r"), settingsTried.size());
        QCOMPARE(sent.count("config reboot\r"), reboots);
        QVERIFY(!Link().MSComm1->PortOpen());
        QCOMPARE(t->StatusBar1->panelText(2), QStringLiteral("COM 1 Closed"));
        QCOMPARE(t->FrontImage(), t->ImgNotConnected);
        QCOMPARE(Link().Timer2->Interval(), 8000);
        QVERIFY(!forms::IsLoaded<frmCancelSend>());
        QVERIFY(!HourglassShown() && !Run.bNoDetect);
    }

    // A line that goes away: the port's error is shown once and the detection ends there.
    void aBrokenLineEndsTheDetection()
    {
        frmTerminal *t = start(DeviceState::factory(9), {{"ignore_prgmmode_count", "1"}, {"hangup", "ATI"}});
        ScriptedBoxes boxes;
        boxes.expect(QString()).icon(MsgIcon::Exclamation).buttons(MsgButtons::OK);
        boxes.expect(kNotDetected);
        t->mnuOpen->trigger();
        QVERIFY(boxes.verifyAllShown());
        QCOMPARE(boxes.shown().size(), 2);
        QVERIFY(!Link().MSComm1->PortOpen());
        QCOMPARE(t->StatusBar1->panelText(2), QStringLiteral("COM 1 Closed"));
        QVERIFY(!forms::IsLoaded<frmCancelSend>() && !HourglassShown());
    }

    // A V7 encoder whose switches keep it out of programming mode is refused; it gets no
    // reboot when the port closes.
    void aV7NotInProgrammingModeIsRefused_data()
    {
        QTest::addColumn<int>("generation");
        QTest::addColumn<QString>("protocol");
        QTest::addColumn<int>("ignoredRequests");
        QTest::newRow("TAP port: identification without logon prompt") << 7 << "TAP" << 0;
        QTest::newRow("COMP1 port: the request comes back") << 7 << "COMP1" << 0;
        // (A V7 that stays silent on a COMP2 port is played by an encoder that ignores both
        // programming requests.)
        QTest::newRow("COMP2 port: no answer to the request") << 9 << "COMP2" << 2;
    }
    void aV7NotInProgrammingModeIsRefused()
    {
        QFETCH(int, generation);
        QFETCH(QString, protocol);
        QFETCH(int, ignoredRequests);
        SetTimeScale(0.05);
        DeviceState state = DeviceState::factory(generation);
        state.v7DipSwitchesOn = false;
        state.config["serial1 protocol"] = protocol.toStdString();
        frmTerminal *t = start(state, {{"pacing", "off"},
                                       {"ignore_prgmmode_count", std::to_string(ignoredRequests)}});

        ScriptedBoxes boxes;
        boxes.expect(kV7).title(QStringLiteral("V7 Paging System Detected")).buttons(MsgButtons::OK);
        t->mnuOpen->trigger();
        QVERIFY(boxes.verifyAllShown());
        QVERIFY(Run.bV7Encoder);
        QVERIFY(!Link().MSComm1->PortOpen());
        QCOMPARE(t->StatusBar1->panelText(2), QStringLiteral("COM 1 Closed"));
        QTest::qWait(30);
        const QByteArray sent = CommandsSent(*encoder).join();
        QCOMPARE(sent.count("config reboot"), 0);
        QCOMPARE(sent.count("ATI\r\r"), 1); // found at the first attempt
        QVERIFY(!forms::IsLoaded<frmCancelSend>() && !Run.bNoDetect);
    }

    // The cancel window stops a detection at once and without a message; the port toggle does
    // nothing meanwhile. The next detection starts afresh.
    void cancellingADetection()
    {
        frmTerminal *t = start(DeviceState::factory(9), {{"power", "off"}});
        int round = 0;
        bool stillDetecting = false;
        QString caption;
        bool topmost = false;
        bool flagClearAtStart = false;
        WhenShown<frmCancelSend>([&](frmCancelSend *c) {
            ++round;
            caption = c->windowTitle();
            topmost = c->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
            flagClearAtStart = !Link().bCancelOp;
            // Every way to toggle the port is ignored while the detection runs.
            OpenClosePort();
            t->mnuOpen->trigger();
            t->cmdComStatus->click();
            QTest::mouseClick(t->ImgConnected, Qt::LeftButton);
            stillDetecting = (Run.busy == Busy::Detecting) && Link().MSComm1->PortOpen();
            c->Command1->click();
            QVERIFY(Link().bCancelOp);
            QVERIFY(forms::IsLoaded<frmCancelSend>()); // the detection unloads it
        });
        t->mnuOpen->trigger();
        QCOMPARE(round, 1);
        QVERIFY(stillDetecting);
        QVERIFY(topmost);
        QCOMPARE(caption, QStringLiteral("Paging Encoder Programming"));
        QVERIFY(flagClearAtStart);
        QVERIFY(!Link().MSComm1->PortOpen());
        QVERIFY(!Link().bCancelOp && !(Run.busy == Busy::Detecting));
        QVERIFY(!forms::IsLoaded<frmCancelSend>());
        const QByteArray sent = CommandsSent(*encoder).join();
        QCOMPARE(sent.count("#PrgmMode#"), 1);
        QCOMPARE(sent.count("config reboot\r"), 1); // the close

        // A cancel left over from before does not stop the next one.
        Link().bCancelOp = true;
        WhenShown<frmCancelSend>([&](frmCancelSend *c) {
            ++round;
            flagClearAtStart = !Link().bCancelOp;
            c->Command1->click();
        });
        t->mnuOpen->trigger();
        QCOMPARE(round, 2);
        QVERIFY(flagClearAtStart);
        QVERIFY(!Link().MSComm1->PortOpen());
    }

    // The program may be closed while a detection waits: everything ends without another box.
    void closingTheProgramDuringADetection()
    {
        QPointer<frmTerminal> t = start(DeviceState::factory(9), {{"power", "off"}});
        ScriptedBoxes boxes;
        boxes.expect(QStringLiteral("Are You Sure You Want to Exit"), MsgAnswer::Yes);
        WhenShown<frmCancelSend>([&](frmCancelSend *) { t->close(); });
        t->mnuOpen->trigger();
        QVERIFY(boxes.verifyAllShown());
        QVERIFY(Link().bAppClosing);
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
        Link().bCancelOp = false;
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
        QVERIFY(Link().bCancelOp);
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
