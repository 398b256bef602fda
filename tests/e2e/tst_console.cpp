// The message test console offscreen: how it shapes itself for the attached port, its message
// box and buttons, the log file chosen through its box, its timer; and against the simulated
// encoder the hand-over to paging mode and back, the opening's wait for the encoder's reboot, a
// console closed while a page waits and while a long page is still on the line.

#include "app/apptest.h"
#include "model/database.h"
#include "model/encoderports.h"
#include "paging/commlog.h"
#include "paging/frames.h"
#include "paging/senders.h"
#include "support/filelimits.h"
#include "support/linewrites.h"
#include "support/linktestaccess.h"
#include "support/scriptedboxes.h"
#include "testconsole/frmMessageTest.h"
#include "testconsole/rangetest.h"
#include "widgets/controls.h"

#include "e2e/programfixture.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <sys/stat.h>

using namespace encodertest;

class TestConsole : public QObject, ProgramOnEncoder {
    Q_OBJECT

    // The console opened without a main window and without an encoder (the port leads nowhere),
    // the attached port's ID-as-capcode mode, baud and format as given.
    static frmMessageTest *openAlone(const QByteArray &port, const QByteArray &protocol, bool idAsCap,
                                     const QByteArray &baud = "9600", const QByteArray &format = "N81")
    {
        const EncoderPort attached = EncoderPortOf(EncoderSettings, AttachedPortNumber(port));
        *attached.idAsCap = idAsCap;
        *attached.baud = baud;
        *attached.dataBits = format;
        return OpenConsoleAlone(port, protocol);
    }

    // The demo encoder (pager IDs 100 to 149, group 1 is Group ID 10) in programming mode, its
    // attached port 1 running protocol at baud and format; the program detects and reads it.
    // From then on the port changes its speed only once the encoder has taken in what was
    // written before (see holdWritesUntilTakenIn): the encoder forgives no byte at an earlier
    // speed, and its log gives the speed each write went out at.
    frmTerminal *connect(const char *protocol, const char *baud, const char *format)
    {
        frmTerminal *t = connectAsIs(protocol, baud, format);
        if (t)
            encoder->holdWritesUntilTakenIn();
        return t;
    }
    // The same without holding the port's writes, for tests of the port's own wait.
    frmTerminal *connectAsIs(const char *protocol, const char *baud, const char *format, Knobs knobs = {})
    {
        DeviceState state = DeviceState::demo();
        state.config["serial1 protocol"] = protocol;
        state.config["serial1 baud"] = baud;
        state.config["serial1 databits"] = format;
        return StartDetectedAndRead(encoder, state, std::move(knobs), encsim::Mode::Programming);
    }

    // The PC's speed as the encoder saw it when "#PrgmMode#" came in, from log entry since on.
    QByteArray handBackSpeed(std::size_t since) { return SpeedReceivedAt(*encoder, "#PrgmMode#", since); }

private slots:
    void initTestCase() { IsolateSettingsForTestRun(); }
    void init() { startProgram(0.05); }
    void cleanup() { endProgram(); }

    // The port's protocol decides what the pager field is called, which function codes and
    // data rates exist, and the status line; the PC's port takes the port's baud and format.
    void shapes_data()
    {
        QTest::addColumn<QByteArray>("port");
        QTest::addColumn<QByteArray>("protocol");
        QTest::addColumn<bool>("idAsCap");
        QTest::addColumn<QByteArray>("format");
        QTest::addColumn<QString>("shown");
        QTest::newRow("TAP") << QByteArray("1") << QByteArray("TAP") << false << QByteArray("N81")
                             << "2400,n,8,1 | TAP Protocol, 2400,n,8,1: Port 1 - COM1 | Pager ID: | "
                                "ID As Capcode Mode is OFF for Port 1 | FC hidden, off D | rate off none";
        QTest::newRow("PET, capcodes, port 2")
            << QByteArray("2") << QByteArray("PET") << true << QByteArray("E71")
            << "2400,e,7,1 | PET Protocol, 2400,e,7,1: Port 2 - COM1 | Pager Capcode: | "
               "ID As Capcode Mode is ON for Port 2 | FC hidden, off D | rate off none";
        QTest::newRow("COMP2, no port") << QByteArray("") << QByteArray("COMP2") << false << QByteArray("O71")
                                        << "2400,o,7,1 | COMP2 Protocol, 2400,o,7,1: Port 2 - COM1 | Pager ID: | "
                                           "ID As Capcode Mode is OFF for Port 2 | FC shown, on D | rate off none";
        QTest::newRow("ZQ") << QByteArray("1") << QByteArray("ZQ") << false << QByteArray("N81")
                            << "2400,n,8,1 | Kestrane Protocol, 2400,n,8,1 | Pager Capcode: | "
                               "ID As Capcode Mode is OFF for Port 1 | FC shown, on D | rate on 512";
        QTest::newRow("SCOPE") << QByteArray("1") << QByteArray("SCOPE") << false << QByteArray("N81")
                               << "2400,n,8,1 | SCOPE Protocol, 2400,n,8,1: Port 1 - COM1 | Pager Capcode: | "
                                  "ID As Capcode Mode is OFF for Port 1 | FC shown, on D | rate on 512";
        QTest::newRow("SNPP, capcodes") << QByteArray("1") << QByteArray("SNPP") << true << QByteArray("N81")
                                        << "2400,n,8,1 | SNPP Protocol, 2400,n,8,1: Port 1 - COM1 | Pager ID: | "
                                           "ID As Capcode Mode is ON for Port 1 | FC hidden, off D | rate off 512";
    }
    void shapes()
    {
        QFETCH(QByteArray, port);
        QFETCH(QByteArray, protocol);
        QFETCH(bool, idAsCap);
        QFETCH(QByteArray, format);
        QFETCH(QString, shown);
        frmMessageTest *c = openAlone(port, protocol, idAsCap, "2400", format);
        const auto options = [](const auto &buttons, const QStringList &names) {
            QString chosen = QStringLiteral("none");
            for (std::size_t i = 0; i < buttons.size(); ++i)
                if (buttons[i]->isChecked())
                    chosen = names[int(i)];
            const bool on = std::all_of(buttons.begin(), buttons.end(), [](auto *b) { return b->isEnabled(); });
            return (on ? QStringLiteral("on ") : QStringLiteral("off ")) + chosen;
        };
        const QStringList got = {QString::fromLatin1(Link().lineSettings()), c->StatusBar1->panelText(1),
                                 c->lblPIN->text(), c->lblIDAsCap->text(),
                                 (c->lblFC->isVisibleTo(c) ? QStringLiteral("FC shown, ") : QStringLiteral("FC hidden, ")) +
                                     options(c->optFC, {"A", "B", "C", "D"}),
                                 QStringLiteral("rate ") + options(c->optDataRate, {"512", "1200", "2400"})};
        QCOMPARE(got.join(QStringLiteral(" | ")), shown);
        QVERIFY(c->txtPIN->isEnabled() && c->txtPIN->text().isEmpty());
        QVERIFY(!c->cmdSendMsg->isEnabled() && !c->mnuRangeTest->isEnabled() && !HourglassShown());
    }

    // COMP1 pages go to the first pager ID of group 1, shown without its leading zeros and not
    // editable; with none assigned the console says so and does not stay open.
    void comp1DefaultPager()
    {
        DB.PagerGroups[0][GrpPagerID1] = "0042";
        frmMessageTest *c = openAlone("1", "COMP1", false);
        QCOMPARE(c->txtPIN->text(), QStringLiteral("42"));
        QVERIFY(!c->txtPIN->isEnabled() && c->mnuRangeTest->isEnabled() && !c->cmdSendMsg->isEnabled());
        QVERIFY(!c->lblFC->isVisibleTo(c));
        forms::Unload<frmMessageTest>();

        DB.PagerGroups[0][GrpPagerID1] = "0000";
        RangeTest().bMsgTestClosed = false;
        ScriptedBoxes boxes;
        boxes.expect(QStringLiteral("COMP1 Protocol Requires a Default Pager Assignment\r"
                                    "The First Pager ID in the First Pager Group is Used as the Default Pager ID\r"
                                    "The Protocol has been set to TAP"))
            .title(QStringLiteral("COMP1 Pager ID Not Defined"))
            .icon(MsgIcon::None);
        c = openAlone("1", "COMP1", false);
        QVERIFY(boxes.verifyAllShown());
        QVERIFY(c->isUnloaded() && !forms::IsLoaded<frmMessageTest>());
        QVERIFY(RangeTest().bMsgTestClosed);
    }

    // The message box takes at most 513 characters and no Enter; Send follows both boxes, the
    // range test the pager field.
    void messageAndButtons()
    {
        frmMessageTest *c = openAlone("1", "TAP", false);
        c->show();
        c->txtPIN->setText(QStringLiteral("123"));
        QVERIFY(c->mnuRangeTest->isEnabled() && !c->cmdSendMsg->isEnabled());
        c->txtMessage->setFocus();
        QTest::keyClicks(c->txtMessage, QStringLiteral("ab"));
        QTest::keyClick(c->txtMessage, Qt::Key_Return);
        QCOMPARE(c->txtMessage->toPlainText(), QStringLiteral("ab"));
        QVERIFY(c->cmdSendMsg->isEnabled());
        QTest::keyClicks(c->txtMessage, QString(520, QLatin1Char('x')));
        QCOMPARE(c->txtMessage->toPlainText().size(), 513);
        QCOMPARE(c->lblMsgLen->text(), QStringLiteral("Message Length: 513"));
        c->txtPIN->clear();
        QVERIFY(!c->mnuRangeTest->isEnabled() && !c->cmdSendMsg->isEnabled());
        c->txtMessage->clear();
        c->txtPIN->setText(QStringLiteral("1"));
        QTest::keyClicks(c->txtMessage, QStringLiteral("z"));
        QVERIFY(c->cmdSendMsg->isEnabled());
        QCOMPARE(c->lblMsgLen->text(), QStringLiteral("Message Length: 1"));
    }

    // "Log to File" asks for a file in the documents folder; a new name is taken as it stands,
    // and the opening line is the list's selected top line. Unchecking closes the file; closing
    // the console does not.
    void logFileBox()
    {
        frmMessageTest *c = openAlone("1", "TAP", false);
        const QString path = env->homeFolder() + QStringLiteral("/new name");
        env->dialogAnswers.push_back(path);
        c->Check1->click();
        QCOMPARE(env->dialogs.size(), 1);
        const FileDialogRequest &asked = env->dialogs.first();
        // No documents folder in this home: the home folder, not a file named "Documents".
        QVERIFY(asked.save && !asked.confirmOverwrite && asked.directory == env->homeFolder());
        QVERIFY(asked.defaultName.isEmpty());
        QCOMPARE(asked.title, QStringLiteral("Open Communications Log File"));
        QVERIFY(c->lb_log->item(0)->text().endsWith(QStringLiteral(": Log File Opened - ") + path));
        QCOMPARE(c->lb_log->currentRow(), 0);
        forms::Unload<frmMessageTest>();
        QCOMPARE(CommLogFile().FileName(), path);

        c = openAlone("1", "TAP", false);
        QVERIFY(!c->Check1->isChecked());
        c->Check1->click(); // checked: the dialog is cancelled, the file stays open
        QVERIFY(CommLogFile().IsOpen() && c->Check1->isChecked());
        c->Check1->click();
        QVERIFY(!CommLogFile().IsOpen());
    }

    // A FIFO chosen as log file is refused at once with the reason in the open failure's box.
    // A line the disk refuses (here a file-size limit) is said once in an opening of the
    // console, after the page, and again in the next opening; the list goes on.
    void aLogFileThatSaysNo()
    {
        frmMessageTest *c = openAlone("1", "ZQ", false);
        const QString fifo = env->homeFolder() + QStringLiteral("/pipe.log");
        QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
        ScriptedBoxes boxes;
        boxes.expect(QStringLiteral("pipe.log is not a regular file")).icon(MsgIcon::Exclamation).title(AppTitle());
        env->dialogAnswers.push_back(fifo);
        c->Check1->click();
        QVERIFY(boxes.verifyAllShown());
        QVERIFY(!CommLogFile().IsOpen() && c->lb_log->count() == 0 && !HourglassShown());

        const QString log = env->homeFolder() + QStringLiteral("/limited.log");
        env->dialogAnswers.push_back(log);
        c->Check1->click();
        c->Check1->click();
        QVERIFY(CommLogFile().IsOpen());
        const auto sendTwoPagesPastTheLimit = [&](frmMessageTest *console) {
            console->txtPIN->setText(QStringLiteral("1234000"));
            console->txtMessage->setBytes("Hi");
            boxes.expect(QStringLiteral("The Log File is Incomplete: a Line Could Not Be Written to ") + log +
                         QStringLiteral("\rFile too large"))
                .icon(MsgIcon::Exclamation)
                .title(AppTitle());
            const int lines = console->lb_log->count();
            {
                FileSizeLimit limit(QFileInfo(log).size() + 4);
                QVERIFY(limit.ok());
                console->cmdSendMsg->click();
                console->cmdSendMsg->click();
            }
            QVERIFY(boxes.verifyAllShown());
            QCOMPARE(console->lb_log->count(), lines + 4); // two lines for each page
        };
        sendTwoPagesPastTheLimit(c);
        QCOMPARE(boxes.shown().size(), 2);
        forms::Unload<frmMessageTest>();
        sendTwoPagesPastTheLimit(openAlone("1", "ZQ", false));
        QCOMPARE(boxes.shown().size(), 3);
    }

    // The one-second timer raises the senders' flag; during a range test it also flashes the
    // console.
    void replyTimer()
    {
        QList<QWidget *> flashed;
        SetFlashWindowHook([&flashed](QWidget *w) { flashed << w; });
        frmMessageTest *c = openAlone("1", "TAP", false);
        Run.bRangeTestOn = true;
        c->Timer1->setEnabled(true);
        QTRY_VERIFY(LinkTestAccess::timer1Expired(Link()));
        SetFlashWindowHook({});
        QVERIFY(!c->Timer1->Enabled());
        QCOMPARE(flashed, QList<QWidget *>{c});
    }

    // Opening hands the encoder to paging mode at the port's line settings, a page goes through
    // (logging on first), and closing brings it back to programming mode at 9600 baud: the
    // program reads and programs the encoder as before.
    void handOverAndBack()
    {
        frmTerminal *t = connect("TAP", "2400", "O71");
        QVERIFY(t);
        // The page goes straight in (the log-on's roads are the senders' tests).
        QVERIFY(encoder->sim().setKnob("tap_logged_in_at_boot", "on"));
        const std::size_t opened = encoder->sim().eventCount();
        QByteArray settings;
        QStringList lines;
        int16_t result = -1;
        const PendingAction onConsole = WhenTheConsoleIsUp(*encoder, [&](frmMessageTest *c) {
            settings = Link().lineSettings();
            SetTimeScale(0.2); // room for the page's answer at 2400 baud
            result = OutTAP("123", "Hi", "Hi");
            SetTimeScale(0.05);
            lines = ConsoleLogLines(c);
            c->mnuExit->trigger();
        });
        t->mnuSendMsg->trigger();
        QCOMPARE(settings, QByteArray("2400,o,7,1"));
        QCOMPARE(result, int16_t(1));
        QCOMPARE(lines.first(), QStringLiteral("TAP Output: PIN - '123', MSG - 'Hi'"));
        QCOMPARE(lines.last(), QStringLiteral("Encoder: <ACK><CR>"));
        const QList<QByteArray> sent = CommandsSent(*encoder, opened);
        QCOMPARE(sent.first(), QByteArray("config reboot\r"));
        QCOMPARE(sent.last(), QByteArray("#PrgmMode#ATI\r"));
        QCOMPARE(handBackSpeed(opened), QByteArray("2400"));
        QCOMPARE(Link().lineSettings(), QByteArray("9600,n,8,1"));
        QCOMPARE(encoder->sim().mode(), encsim::Mode::Programming);
        QVERIFY(t->mnuTest->isEnabled());

        // The read and the write wait in real time (the encoder keeps its quick clock): each
        // answer has its whole time however loaded the machine, and ends its wait as it comes.
        SetTimeScale(1.0);
        ScriptedBoxes boxes;
        t->Toolbar1->ButtonByKey(QStringLiteral("read"))->trigger();
        t->Toolbar1->ButtonByKey(QStringLiteral("program"))->trigger();
        QVERIFY(Run.bDBMatchesEncoder);
        QCOMPARE(t->StatusBar1->panelText(1), QStringLiteral("Encoder Matches Current Configuration"));
    }

    // Closing the console hands the encoder back to programming mode from any paging protocol
    // and speed: "#PrgmMode#" goes out at the port's speed before the PC's port changes to
    // 9600 baud (as the program's log shows each write's speed, and the encoder's log the speed
    // it took the bytes in at), and the main window then reads the encoder.
    void closingHandsTheEncoderBack_data()
    {
        QTest::addColumn<QByteArray>("protocol");
        QTest::addColumn<QByteArray>("baud");
        QTest::addColumn<QByteArray>("format");
        QTest::addColumn<QByteArray>("settings"); // the PC's port while the console is open
        QTest::newRow("TAP") << QByteArray("TAP") << QByteArray("2400") << QByteArray("O71") << QByteArray("2400,o,7,1");
        QTest::newRow("PET") << QByteArray("PET") << QByteArray("1200") << QByteArray("E71") << QByteArray("1200,e,7,1");
        QTest::newRow("COMP1") << QByteArray("COMP1") << QByteArray("2400") << QByteArray("N81") << QByteArray("2400,n,8,1");
        QTest::newRow("COMP2") << QByteArray("COMP2") << QByteArray("1200") << QByteArray("O71") << QByteArray("1200,o,7,1");
        QTest::newRow("SNPP") << QByteArray("SNPP") << QByteArray("2400") << QByteArray("E71") << QByteArray("2400,e,7,1");
        QTest::newRow("ZQ") << QByteArray("ZQ") << QByteArray("1200") << QByteArray("N81") << QByteArray("1200,n,8,1");
        QTest::newRow("SCOPE") << QByteArray("SCOPE") << QByteArray("2400") << QByteArray("O71") << QByteArray("2400,o,7,1");
    }
    void closingHandsTheEncoderBack()
    {
        QFETCH(QByteArray, protocol);
        QFETCH(QByteArray, baud);
        QFETCH(QByteArray, format);
        QFETCH(QByteArray, settings);
        // The encoder is in programming mode, as after a read; the program knows its attached
        // port (the detection and the read are other tests').
        DeviceState state = DeviceState::demo();
        state.config["serial1 protocol"] = protocol.toStdString();
        state.config["serial1 baud"] = baud.toStdString();
        state.config["serial1 databits"] = format.toStdString();
        encoder = std::make_unique<SimEncoder>(state, encsim::Mode::Programming);
        QVERIFY2(encoder->ok(), qPrintable(encoder->error()));
        encoder->holdWritesUntilTakenIn();
        frmTerminal *t = StartAndShowMainWindow<frmXJSplash>();
        // The closing's identification and the read wait on the reply timer until their
        // answers: a second of real time, room for a loaded machine's encoder thread.
        Link().setReplyInterval(RealSecond());
        NoteDetected("9.7");
        EncoderSettings.sPort1Protocol = protocol;
        EncoderSettings.sPort1Baud = baud;
        EncoderSettings.sPort1DataBits = format;
        DB.PagerGroups[0][GrpPagerID1] = "0100"; // COMP1's default pager
        Run.bDBMatchesEncoder = true;
        Run.bNoDetect = true; // the port opens without a detection
        t->mnuOpen->trigger();
        QVERIFY(Link().isOpen() && !Run.bNoDetect);

        const std::size_t opened = encoder->sim().eventCount();
        QByteArray consoleSettings;
        const PendingAction onConsole = WhenTheConsoleIsUp(*encoder, [&](frmMessageTest *c) {
            consoleSettings = Link().lineSettings();
            c->mnuExit->trigger();
        });
        const LineWrites writes;
        t->mnuSendMsg->trigger();
        QCOMPARE(consoleSettings, settings);
        QCOMPARE(handBackSpeed(opened), settings.left(settings.indexOf(',')));
        QCOMPARE(writes.settingsOf(QStringLiteral(R"("#PrgmMode#")")), settings);
        QCOMPARE(writes.settingsOf(QStringLiteral(R"("ATI\r")")), QByteArray("9600,n,8,1"));
        QCOMPARE(CommandsSent(*encoder, opened), (QList<QByteArray>{"config reboot\r", "#PrgmMode#ATI\r"}));
        QCOMPARE(encoder->sim().mode(), encsim::Mode::Programming);
        QCOMPARE(Link().lineSettings(), QByteArray("9600,n,8,1"));
        QCOMPARE(encoder->count("speed ignored"), std::size_t(0));

        ScriptedBoxes boxes; // none
        t->Toolbar1->ButtonByKey(QStringLiteral("read"))->trigger();
        QCOMPARE(boxes.shown().size(), 0);
        QVERIFY(Run.bDBMatchesEncoder);
        QCOMPARE(t->StatusBar1->panelText(1), QStringLiteral("Current View Matches Encoder Configuration"));
        QCOMPARE(EncoderSettings.sPort1Protocol, protocol);
    }

    // The console's opening waits for the encoder's reboot: a page sent as soon as the console
    // is up reaches the encoder, which heard nothing while it booted. (At a second's pause the
    // encoder, rebooting in 0.6 s, leaves a loaded machine room; without the pause the page
    // would come a few milliseconds after the reboot.)
    void aPageAsSoonAsTheConsoleIsUp()
    {
        frmTerminal *t = connect("TAP", "9600", "N81");
        QVERIFY(t);
        QVERIFY(encoder->sim().setKnob("tap_logged_in_at_boot", "on"));
        SetTimeScale(0.4);
        encoder->sim().setTimeScale(0.4);
        const std::size_t opened = encoder->sim().eventCount();
        int16_t result = -1;
        QStringList lines;
        const PendingAction onMessageTest = WhenShown<frmMessageTest>([&](frmMessageTest *c) {
            result = OutTAP("123", "Hi", "Hi");
            lines = ConsoleLogLines(c);
            c->mnuExit->trigger();
        });
        t->mnuSendMsg->trigger();
        QCOMPARE(encoder->count("while booting"), std::size_t(0));
        QCOMPARE(result, int16_t(1));
        QCOMPARE(lines.last(), QStringLiteral("Encoder: <ACK><CR>"));
        const std::vector<encsim::Page> pages = encoder->sim().pages();
        QVERIFY(pages.size() == 1 && pages.front().message == "Hi");
        QCOMPARE(CommandsSent(*encoder, opened).first(), QByteArray("config reboot\r"));
    }

    // A long page still on the line when the console closes: "#PrgmMode#" follows it at the
    // port's 300 baud, and the PC's port changes to 9600 baud only once both have had their
    // time on the line, each character as wide as the port's format makes it. The encoder puts
    // the page on the air, takes the hand-back, and a read right after it completes. (The
    // console closed 0.1 s after Send, while the page waits for its answer. The encoder's clock
    // runs at real time meanwhile, as the port's account of the line does. Its grace is shorter
    // than the rest of the page's time when the hand-back would go early: in N81, a page of 51
    // characters, 1.7 s on the line; in O81, 101 characters with the hand-back, 3.7 s, of which
    // a 10-bit account would leave out 0.34 s.)
    void theHandBackWaitsForALongPage_data()
    {
        QTest::addColumn<QByteArray>("format");
        QTest::addColumn<int>("length"); // the message's
        QTest::addColumn<QByteArray>("graceMs");
        QTest::addColumn<QByteArray>("settings"); // the PC's port while the console is open
        QTest::newRow("N81") << QByteArray("N81") << 40 << QByteArray("500") << QByteArray("300,n,8,1");
        QTest::newRow("O81") << QByteArray("O81") << 80 << QByteArray("150") << QByteArray("300,o,8,1");
    }
    void theHandBackWaitsForALongPage()
    {
        QFETCH(QByteArray, format);
        QFETCH(int, length);
        QFETCH(QByteArray, graceMs);
        QFETCH(QByteArray, settings);
        frmTerminal *t = connectAsIs("TAP", "300", format.constData(), {{"tap_logged_in_at_boot", "on"}});
        QVERIFY(t);
        const QByteArray message(length, 'm');
        const std::size_t opened = encoder->sim().eventCount();
        bool graceSet = false;
        const PendingAction onConsole = WhenTheConsoleIsUp(*encoder, [&](frmMessageTest *c) {
            encoder->sim().setTimeScale(1.0);
            graceSet = encoder->sim().setKnob("grace_ms", graceMs.toStdString());
            c->txtPIN->setText(QStringLiteral("123"));
            c->txtMessage->setBytes(message);
            QTimer::singleShot(100, c, [c] { c->mnuExit->trigger(); });
            c->cmdSendMsg->click();
        });
        const LineWrites writes;
        t->mnuSendMsg->trigger();
        encoder->sim().setTimeScale(TimeScale());
        QVERIFY(graceSet);
        QCOMPARE(writes.settingsOf(QStringLiteral(R"("#PrgmMode#")")), settings);
        QCOMPARE(handBackSpeed(opened), QByteArray("300"));
        const std::vector<encsim::Page> pages = encoder->sim().pages();
        QVERIFY(pages.size() == 1 && pages.front().message == message.toStdString());
        const auto onTheAir = encoder->sim().log().find("page port ", opened);
        const auto handedBack = encoder->sim().log().find("mode PAGING -> PROGRAMMING", opened);
        QVERIFY(onTheAir && handedBack && onTheAir->time <= handedBack->time);
        QCOMPARE(encoder->count("speed ignored"), std::size_t(0));
        QCOMPARE(encoder->sim().mode(), encsim::Mode::Programming);
        QCOMPARE(Link().lineSettings(), QByteArray("9600,n,8,1"));

        ScriptedBoxes boxes; // none
        t->Toolbar1->ButtonByKey(QStringLiteral("read"))->trigger();
        QCOMPARE(boxes.shown().size(), 0);
        QVERIFY(Run.bDBMatchesEncoder);
        QCOMPARE(t->StatusBar1->panelText(1), QStringLiteral("Current View Matches Encoder Configuration"));
    }

    // Closing the console while a page waits for the encoder ends the page at once: nothing
    // more is logged, and the closing's own commands go out after it.
    void closingWhileAPageWaits()
    {
        frmTerminal *t = connect("ZQ", "9600", "N81");
        QVERIFY(t);
        int16_t result = -1;
        QStringList lines;
        bool unloaded = false;
        const PendingAction onMessageTest = WhenShown<frmMessageTest>([&](frmMessageTest *c) {
            forms::HandlerScope running(c); // as Send's handler would be
            encoder->sim().powerOff();
            SetTimeScale(1.0); // the page's wait lasts its whole second; the console closes within it
            QTimer::singleShot(100, c, [c] {
                SetTimeScale(0.05); // the closing's wait for the silent encoder is short again
                c->mnuExit->trigger();
            });
            result = OutKestrane("0000123", "Hi", "D", "512");
            unloaded = c->isUnloaded();
            lines = ConsoleLogLines(c);
        });
        const std::chrono::milliseconds replyInterval = Link().replyInterval();
        t->mnuSendMsg->trigger();
        // The silent encoder's "ATI" ends with the reply timer, without a word, and leaves the
        // timer as it was for the exchanges that follow.
        QVERIFY(!LinkTestAccess::replyTimedOut(Link()) && !LinkTestAccess::replyTimer(Link()).Enabled());
        QCOMPARE(Link().replyInterval(), replyInterval);
        QCOMPARE(result, int16_t(0));
        QVERIFY(unloaded);
        QCOMPARE(lines, QStringList{QStringLiteral("Kestrane Output, PIN - '0000123', FC - 'D', MSG - 'Hi', DR - '512'")});
        QVERIFY(!forms::IsLoaded<frmMessageTest>());
        const QList<QByteArray> sent = CommandsSent(*encoder);
        QCOMPARE(sent.last(), KestraneFrame("0000123", "Hi", "D", "512") + "#PrgmMode#ATI\r");
    }
};

QTEST_MAIN(TestConsole)
#include "tst_console.moc"
