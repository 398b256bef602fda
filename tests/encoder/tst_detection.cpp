// Detection without windows: the port toggle through the link against the simulated encoder,
// the roads through the line settings and the encoder's answers, nothing connected, the V7
// refusal, a broken line, the cancel and the program's close, as the view is shown them.

#include <QtTest>

#include <QRegularExpression>

#include "encoder/connection.h"
#include "encoder/write/writer.h"
#include "encoder/transferfixture.h"
#include "support/linktestaccess.h"

using namespace encodertest;
using Command = TerminalView::Command;
using Label = TerminalView::Label;
using Disc = TerminalView::Disc;

namespace {

const QString kDetected = QStringLiteral("Paging Encoder Was Detected\rThe Encoder Database will Now be Read");
const QString kReadQuestion = QStringLiteral("You are About to Read the Encoder and Replace the Current "
                                             "Configuration\rAre You Sure?");
const QString kNotDetected = QStringLiteral("The Paging Encoder was Not Detected.\rPlease Check Connections, "
                                            "Paging Encoder Configuration,\ror COM Port Settings, and Try Again");
const QString kV7 = QStringLiteral("A Version 7 Paging System was Detected.  Please set all DIP Switches\r"
                                   "on the Paging System to the ON position, then Cycle Power on the\r"
                                   "Paging System and Try Again");

QStringList settingsOf(const QStringList &steps)
{
    QStringList s;
    for (const QString &text : steps)
        s << text.section(QStringLiteral(" at "), -1);
    return s;
}

} // namespace

class TestDetection : public QObject {
    Q_OBJECT

    std::unique_ptr<TransferFixture> fx;

    [[nodiscard]] bool start(DeviceState state, Knobs knobs, double scale = 0.05)
    {
        fx = std::make_unique<TransferFixture>(scale);
        knobs.emplace_back("reboot_ms", "100");
        return fx->plug(std::move(state), encsim::Mode::Paging, std::move(knobs));
    }

    // The reply timer's interval as the detection finds it, which every wait of an attempt
    // after its first one runs on: a second of real time. A wait that no answer ends (a
    // protocol prompt's) lasts that long.
    static void secondForEachAnswer() { Link().setReplyInterval(RealSecond()); }

private slots:
    void cleanup() { fx.reset(); }

    // The roads by which an encoder is found; the read that follows is declined here.
    void theEncoderIsFound_data()
    {
        QTest::addColumn<int>("generation");
        QTest::addColumn<QByteArray>("firmware");
        QTest::addColumn<QString>("protocol");
        QTest::addColumn<QString>("baud");
        QTest::addColumn<QStringList>("knobs"); // name=value
        QTest::addColumn<QStringList>("settingsTried");
        QTest::addColumn<QString>("model");
        QTest::addColumn<QByteArray>("notAnIdentification"); // the answer an identification's wait runs out on

        const QStringList first{"9600,n,8,1"}, ignoreOne{"ignore_prgmmode_count=1"};
        QTest::newRow("encoder port at 2400 baud") << 9 << QByteArray("9.6") << "TAP" << "2400" << QStringList{}
                                                   << QStringList{"9600,n,8,1", "9600,e,7,1", "2400,n,8,1"}
                                                   << "Paging Encoder V9" << QByteArray();
        QTest::newRow("TAP port ignoring the request")
            << 8 << QByteArray("8.12 beta") << "TAP" << "9600" << ignoreOne << first << "Paging Encoder V8" << QByteArray();
        QTest::newRow("identification without logon prompt") << 9 << QByteArray("9.10") << "TAP" << "9600"
                                                             << ignoreOne + QStringList{"ati_style=banner_only"}
                                                             << first << "Paging Encoder V9"
                                                             << QByteArray("Port 1\r\n");
        QTest::newRow("COMP1 prompt") << 8 << QByteArray("8.12") << "COMP1" << "9600" << ignoreOne << first
                                      << "Paging Encoder V8" << QByteArray("COMP1>\r\nCOMP1>");
        QTest::newRow("Scope port") << 9 << QByteArray("9.7") << "SCOPE" << "9600" << ignoreOne << first
                                    << "Paging Encoder V9" << QByteArray("INVALID\r\n");
        QTest::newRow("encoder left in programming mode") << 9 << QByteArray("9.01") << "TAP" << "9600"
                                                          << QStringList{"start_mode=programming"} << first
                                                          << "Paging Encoder V9" << QByteArray();
        // A line that sends every byte back: the request's echo is not the encoder's.
        QTest::newRow("echoing line, TAP port ignoring the request")
            << 8 << QByteArray("8.12") << "TAP" << "9600" << ignoreOne + QStringList{"echo=crlf"} << first
            << "Paging Encoder V8" << QByteArray();
        QTest::newRow("echoing line, COMP1 prompt") << 8 << QByteArray("8.12") << "COMP1" << "9600"
                                                   << ignoreOne + QStringList{"echo=on"} << first << "Paging Encoder V8"
                                                   << QByteArray("COMP1>\r\nCOMP1>");

    }
    void theEncoderIsFound()
    {
        QFETCH(int, generation);
        QFETCH(QByteArray, firmware);
        QFETCH(QString, protocol);
        QFETCH(QString, baud);
        QFETCH(QStringList, knobs);
        QFETCH(QStringList, settingsTried);
        QFETCH(QString, model);
        QFETCH(QByteArray, notAnIdentification);

        DeviceState state = DeviceState::factory(generation);
        state.firmware = firmware.toStdString();
        state.config["serial1 protocol"] = protocol.toStdString();
        state.config["serial1 baud"] = baud.toStdString();
        // The encoder judges the bytes of an attempt by the line speed it sees when it reads
        // them; read after the attempt's wait, they would be judged at the next attempt's
        // speed. Where the speed changes, a fifth of real time leaves its thread 300 ms and
        // more on a loaded machine.
        const double scale = baud == "9600" ? 0.05 : 0.2;
        QVERIFY(start(state, KnobsFrom(QStringList{"pacing=off"} + knobs), scale));
        secondForEachAnswer();
        Run.sBrand = BrandKestrane;
        Run.bDBMatchesEncoder = false; // the first attempt then uses the port's own settings
        Run.bFwV97Plus = true; // a V9.7 detected earlier in the run: this encoder's own firmware counts
        // The identification's wait runs out on a whole answer of another kind, as its time-out
        // ends it.
        PendingAction runOut;
        if (!notAnIdentification.isEmpty())
            runOut = RunOutWaitsHolding({notAnIdentification});

        fx->boxes.expect(kDetected).title(QStringLiteral("Paging Encoder Detected"));
        fx->boxes.expect(kReadQuestion, MsgAnswer::No).title(QStringLiteral("Read Encoder?"));
        OpenClosePort();
        QVERIFY(fx->boxes.verifyAllShown());

        const ViewRecorder &v = fx->view;
        QCOMPARE(settingsOf(v.cancelSteps), settingsTried);
        QCOMPARE(v.cancelSteps.first(),
                 QStringLiteral("Attempting to Detect Paging Encoder\non COM Port 1 at ") + settingsTried.first());
        const QByteArray version = firmware.split(' ').first();
        QCOMPARE(Run.sFirmwareVer, version);
        QCOMPARE(Run.sTestPort, QByteArray("1"));
        QCOMPARE(v.label(Label::Firmware), QStringLiteral("Firmware Version: ") + QString::fromLatin1(version));
        QCOMPARE(v.label(Label::Model), model);
        QCOMPARE(Run.bFwV97Plus, version == "9.7" || version == "9.10");
        QVERIFY(!Run.bV7Encoder);
        QCOMPARE(fx->sim().mode(), encsim::Mode::Programming);
        QCOMPARE(Link().lineSettings(), QByteArray("9600,n,8,1"));
        QVERIFY(Link().isOpen());
        QCOMPARE(v.panel(2), QStringLiteral("COM 1 Open"));
        QCOMPARE(v.portButtonText, QStringLiteral("Close COM 1"));
        QCOMPARE(v.portMenuText, QStringLiteral("&Close Port"));
        QCOMPARE(v.front, Disc::Connected);
        for (Command c : {Command::ReadDB, Command::WriteDB, Command::TestMenu, Command::ToolbarProgram,
                          Command::ToolbarRead, Command::TXTune})
            QVERIFY(v.enabled(c));
        // The database did not match: the lookup and the test console stay as they were.
        QVERIFY(!v.mentioned(Command::Lookup) && !v.mentioned(Command::SendMsg));
        QVERIFY(!v.cancelWindowShown);
        QVERIFY(!Run.bNoDetect && !HourglassShown());
        QCOMPARE(Run.busy, Busy::Idle);
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
        QTest::addColumn<double>("scale"); // silence needs no time to answer in

        const QStringList table{"9600,n,8,1", "9600,e,7,1", "2400,n,8,1", "2400,e,7,1",
                                "1200,n,8,1", "1200,e,7,1", "300,n,8,1",  "300,e,7,1"};
        const QStringList off{"power=off"};
        QTest::newRow("after a close: eight attempts") << QByteArray("9600,n,8,1") << true << 8000 << table << off << 1 << 0.005;
        QTest::newRow("at 4800 baud: nine attempts")
            << QByteArray("4800,n,8,1") << false << 6000 << (QStringList{"4800,n,8,1"} + table) << off << 1 << 0.005;
        // A wait never runs without a time-out, whatever interval the reply timer was left with.
        QTest::newRow("reply timer left at 0") << QByteArray("9600,n,8,1") << true << 0 << table << off << 1 << 0.005;
        // The unknown answer has to come within the attempt's wait (see below for the last).
        QTest::newRow("an unknown answer") << QByteArray("9600,n,8,1") << true << 8000 << table
                                           << QStringList{"pacing=off", "ignore_prgmmode_count=100",
                                                          "replace_reply=ATI every bytes=\"HELLO\\r\\n\""}
                                           << 2 << 0.025;
    }
    void nothingAnswers()
    {
        QFETCH(QByteArray, portSettings);
        QFETCH(bool, matching);
        QFETCH(int, entryInterval);
        QFETCH(QStringList, settingsTried);
        QFETCH(QStringList, knobs);
        QFETCH(int, reboots);
        QFETCH(double, scale);

        QVERIFY(start(DeviceState::factory(9), KnobsFrom(knobs), scale));
        Run.bDBMatchesEncoder = matching;
        QVERIFY(!Link().setLine(portSettings));
        Link().setReplyInterval(std::chrono::milliseconds(entryInterval));
        // The last attempt's answer decides the ending: from that attempt on, its
        // identification's wait (on the reply timer at the entry interval) lasts a second of
        // real time, room for a loaded machine's encoder thread.
        PendingAction lastAttempt;
        if (!knobs.contains(QStringLiteral("power=off")))
            lastAttempt = When([this, attempts = settingsTried.size()] { return fx->view.cancelSteps.size() == attempts; },
                               [entryInterval] { SetTimeScale(1000.0 / entryInterval); });
        // The identification's wait runs out on the whole unknown answer.
        const PendingAction runOut = RunOutWaitsHolding({"HELLO\r\n"});

        bool cancelWindowAtTheBox = true;
        fx->boxes.expect(kNotDetected)
            .title(QStringLiteral("Paging Encoder Not Detected"))
            .buttons(MsgButtons::OK)
            .icon(MsgIcon::None)
            .then([&] { cancelWindowAtTheBox = fx->view.cancelWindowShown; });
        OpenClosePort();
        QVERIFY(fx->boxes.verifyAllShown());
        QVERIFY(!cancelWindowAtTheBox);

        const ViewRecorder &v = fx->view;
        QCOMPARE(settingsOf(v.cancelSteps), settingsTried);
        // The encoder may take in the last bytes a moment after the program has closed its port.
        const auto sent = [this] { return fx->sent().join(); };
        QTRY_COMPARE(sent().count("config reboot\r"), reboots);
        QCOMPARE(sent().count("#PrgmMode#"), settingsTried.size());
        QCOMPARE(sent().count("ATI\r\r"), settingsTried.size());
        QVERIFY(!Link().isOpen());
        QCOMPARE(v.panel(2), QStringLiteral("COM 1 Closed"));
        QCOMPARE(v.portButtonText, QStringLiteral("Open COM 1"));
        QCOMPARE(v.front, Disc::NotConnected);
        for (Command c : {Command::ReadDB, Command::WriteDB, Command::TestMenu, Command::Lookup, Command::SendMsg,
                          Command::ToolbarProgram, Command::ToolbarRead, Command::ToolbarTest})
            QVERIFY(!v.enabled(c, true));
        QVERIFY(v.enabled(Command::ComStatus));
        QCOMPARE(Link().replyInterval().count(), 8000);
        QVERIFY(!v.cancelWindowShown && !HourglassShown() && !Run.bNoDetect);
    }

    // A line that goes away ends the detection at once, without a box of its own and without
    // trying anything more on it. Closing the gone port then says once that the device has
    // gone, sends nothing and shows the port closed.
    void aLineThatGoesAwayEndsTheDetection()
    {
        // The first attempt's answer must come within its wait, or the second attempt finds the
        // encoder before any "ATI" is sent: room for a loaded machine (the line's end stops
        // the detection long before any wait runs out).
        QVERIFY(start(DeviceState::factory(9), {{"ignore_prgmmode_count", "1"}, {"hangup", "ATI"}}, 0.2));
        OpenClosePort();
        QVERIFY(fx->boxes.shown().isEmpty());
        QVERIFY(Link().lineGone());
        QVERIFY(!fx->view.cancelWindowShown && !HourglassShown() && !Run.bNoDetect);
        const qsizetype sentBefore = fx->sent().size();

        fx->boxes.expect(LineGoneText(Link().devicePath(), 1, QStringLiteral("Input/output error")))
            .title(QStringLiteral("Serial Device Gone"))
            .icon(MsgIcon::Exclamation);
        CloseGonePort();
        QVERIFY(fx->boxes.verifyAllShown());
        QCOMPARE(fx->boxes.shown().size(), 1);
        QVERIFY(!Link().isOpen());
        QCOMPARE(fx->view.panel(2), QStringLiteral("COM 1 Closed"));
        QCOMPARE(fx->sent().size(), sentBefore);
    }

    // What the tests take for a detected encoder when they are about something else
    // (support/detected.h) is what a detection of that encoder leaves: its firmware, the encoder
    // port the PC is cabled to, the generation flags and the port open at the programming
    // mode's settings.
    void theTestsDetectedStateIsTheDetectionsOwn_data()
    {
        QTest::addColumn<int>("generation");
        QTest::addColumn<QByteArray>("firmware");
        QTest::addColumn<int>("attachedPort");
        QTest::newRow("V9 from 9.7, port 1") << 9 << QByteArray("9.7") << 1;
        QTest::newRow("V9 before 9.7, port 2") << 9 << QByteArray("9.01") << 2;
        QTest::newRow("V9 without a second port") << 9 << QByteArray("9.6S") << 2;
        QTest::newRow("V8, port 2") << 8 << QByteArray("8.12") << 2;
        QTest::newRow("V7") << 7 << QByteArray("7.2") << 1;
    }
    void theTestsDetectedStateIsTheDetectionsOwn()
    {
        QFETCH(int, generation);
        QFETCH(QByteArray, firmware);
        QFETCH(int, attachedPort);
        DeviceState state = DeviceState::factory(generation);
        state.firmware = firmware.toStdString();
        state.attachedPort = attachedPort;
        const auto noted = [] {
            const EncoderLink &link = Link();
            return QStringList{QString::fromLatin1(Run.sFirmwareVer), QString::fromLatin1(Run.sTestPort),
                               Run.bV7Encoder ? QStringLiteral("V7") : QStringLiteral("not V7"),
                               Run.bFwV97Plus ? QStringLiteral("9.7 on") : QStringLiteral("before 9.7"),
                               link.isOpen() ? QStringLiteral("open") : QStringLiteral("closed"),
                               QString::number(link.portNumber()), QString::fromLatin1(link.lineSettings())};
        };

        QVERIFY(start(state, {{"pacing", "off"}}));
        Run.bDBMatchesEncoder = false; // the read that follows is declined
        fx->boxes.expect(kDetected);
        fx->boxes.expect(kReadQuestion, MsgAnswer::No);
        OpenClosePort();
        QVERIFY(fx->boxes.verifyAllShown());
        const QStringList detected = noted();
        QCOMPARE(detected.mid(4), QStringList({"open", "1", "9600,n,8,1"}));

        // The link, the time scale and the port paths are the program's own: the detection's
        // fixture ends before the next one sets them up.
        fx.reset();
        fx = std::make_unique<TransferFixture>(0.05);
        QVERIFY(fx->connectTo(state));
        QCOMPARE(noted(), detected);
    }

    // A V7 encoder whose switches keep it out of programming mode is refused; it gets no
    // reboot when the port closes.
    void aV7NotInProgrammingModeIsRefused_data()
    {
        QTest::addColumn<int>("generation");
        QTest::addColumn<QString>("protocol");
        QTest::addColumn<int>("ignoredRequests");
        QTest::addColumn<QString>("echo"); // what the line sends back
        QTest::addColumn<QByteArrayList>("answers"); // whole answers the waits run out on
        QTest::newRow("TAP port: identification without logon prompt")
            << 7 << "TAP" << 0 << "off" << QByteArrayList{"Port 1\r\n"};
        // (The COMP1 port's own echo of the request is the encoder's whole answer.)
        QTest::newRow("COMP1 port: the request comes back")
            << 7 << "COMP1" << 0 << "off" << QByteArrayList{"COMP1>\r\r\nCOMP1>", "#PrgmMode#"};
        // (A V7 that stays silent on a COMP2 port is played by an encoder that ignores every
        // programming request.)
        QTest::newRow("COMP2 port: no answer to the request")
            << 9 << "COMP2" << 100 << "off" << QByteArrayList{"COMP2>\r\nCOMP2>"};
        // The line sends the request back at once: the encoder's silence after it lasts the
        // wait's whole time.
        QTest::newRow("COMP2 port behind an echoing line")
            << 9 << "COMP2" << 100 << "crlf" << QByteArrayList{"COMP2>\r\nCOMP2>"};
    }
    void aV7NotInProgrammingModeIsRefused()
    {
        QFETCH(int, generation);
        QFETCH(QString, protocol);
        QFETCH(int, ignoredRequests);
        QFETCH(QString, echo);
        QFETCH(QByteArrayList, answers);
        DeviceState state = DeviceState::factory(generation);
        state.v7DipSwitchesOn = false;
        state.config["serial1 protocol"] = protocol.toStdString();
        QVERIFY(start(state, {{"pacing", "off"},
                              {"ignore_prgmmode_count", std::to_string(ignoredRequests)},
                              {"echo", echo.toStdString()}}));
        secondForEachAnswer();
        const PendingAction runOut = RunOutWaitsHolding(answers);

        fx->boxes.expect(kV7).title(QStringLiteral("V7 Paging System Detected")).buttons(MsgButtons::OK);
        OpenClosePort();
        QVERIFY(fx->boxes.verifyAllShown());
        QVERIFY(Run.bV7Encoder);
        QVERIFY(!Link().isOpen());
        QCOMPARE(fx->view.panel(2), QStringLiteral("COM 1 Closed"));
        const QByteArray sent = fx->sent().join();
        QCOMPARE(sent.count("config reboot"), 0);
        QCOMPARE(sent.count("ATI\r\r"), 1); // found at the first attempt
        QVERIFY(!fx->view.cancelWindowShown && !Run.bNoDetect);
    }

    // The cancel stops a detection at once and without a message; the port toggle does nothing
    // meanwhile. A cancel left over from before does not stop the next one.
    void cancellingADetection()
    {
        // The cancel comes within the first attempt's time.
        QVERIFY(start(DeviceState::factory(9), {{"power", "off"}}, 0.3));
        Link().cancel();
        bool flagClearAtStart = false, stillDetecting = false;
        fx->onEncoderEvent("#PrgmMode#", [&] {
            flagClearAtStart = !Link().cancelled();
            OpenClosePort(); // ignored while the detection runs
            stillDetecting = Run.busy == Busy::Detecting && Link().isOpen();
            Link().cancel(); // the cancel window's button
        });
        OpenClosePort();
        QVERIFY(flagClearAtStart && stillDetecting);
        QVERIFY(!Link().isOpen());
        QVERIFY(!Link().cancelled() && Run.busy == Busy::Idle);
        QVERIFY(!fx->view.cancelWindowShown);
        QCOMPARE(fx->view.cancelSteps.size(), 1);
        QCOMPARE(fx->boxes.shown().size(), 0);
        const QByteArray sent = fx->sent().join();
        QCOMPARE(sent.count("#PrgmMode#"), 1);
        QCOMPARE(sent.count("config reboot\r"), 1); // the close
    }

    // The program may be closed while a detection waits: everything ends without a box, and
    // nothing more is shown.
    void closingTheProgramDuringADetection()
    {
        QVERIFY(start(DeviceState::factory(9), {{"power", "off"}}, 0.3));
        fx->onEncoderEvent("#PrgmMode#", [&] { fx->closeProgram(); });
        OpenClosePort();
        QCOMPARE(fx->boxes.shown().size(), 0);
        QCOMPARE(fx->view.cancelSteps.size(), 1);
        QCOMPARE(fx->sent().join().count("#PrgmMode#"), 1);
        QCOMPARE(Run.busy, Busy::Idle);
    }

    // The whole road without a window: the toggle finds the encoder, announces it and reads it
    // at once; the database then matches the encoder, and writing it back leaves the encoder
    // as it was.
    void foundReadAndWrittenBack_data()
    {
        QTest::addColumn<QString>("echo"); // what the line sends back
        QTest::newRow("plain line") << "off";
        QTest::newRow("echoing line") << "on";
        QTest::newRow("line echoing CR as CR LF") << "crlf";
    }
    void foundReadAndWrittenBack()
    {
        QFETCH(QString, echo);
        DeviceState state = FullState(9);
        QVERIFY(start(state, {{"pacing", "off"}, {"echo", echo.toStdString()}}));
        Run.bDBMatchesEncoder = true; // no question before the read
        Run.sTestPort = "1";
        EncoderSettings.sPort1Baud = "9600";
        EncoderSettings.sPort1DataBits = "N81";
        secondForEachAnswer();
        fx->boxes.expect(kDetected);
        OpenClosePort();
        QVERIFY(fx->boxes.verifyAllShown());
        QCOMPARE(DatabaseDifferences(state), QStringList());
        QCOMPARE(SettingsDifferences(state), QStringList());
        QCOMPARE(fx->view.panel(1), QStringLiteral("Current View Matches Encoder Configuration"));
        QVERIFY(fx->view.enabled(Command::Lookup) && fx->view.enabled(Command::SendMsg));

        // The write's waits in real time (the encoder keeps its quick clock): a record has its
        // four seconds however loaded the machine, and its answer ends its wait.
        SetTimeScale(1.0);
        const std::string before = fx->sim().saveState();
        WriteEncoderDB();
        QCOMPARE(fx->view.panel(1), QStringLiteral("Encoder Matches Current Configuration"));
        // Empty family slots go out as the program's empty-slot line (start capcode 8).
        QString expected = QString::fromStdString(before);
        expected.replace(QRegularExpression(QStringLiteral("(?m)^(G \\d+) 0 0000000 ")), QStringLiteral("\\1 0 0000008 "));
        QCOMPARE(QString::fromStdString(fx->sim().saveState()), expected);
        QCOMPARE(fx->sim().stats().refusals + fx->sim().stats().violations, 0);
    }
};

QTEST_MAIN(TestDetection)
#include "tst_detection.moc"
