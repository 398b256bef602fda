// Reading the encoder from the program's own windows against the simulated encoder: the read
// that follows a detection and the read commands, for every generation; the errors with their
// one message box, the ID-as-capcode switch and its restore, the COMP1 check and the questions.

#include "app/apptest.h"
#include "encoder/frmCancelSend.h"
#include "support/scriptedboxes.h"

#include "e2e/programfixture.h"

#include <QAction>
#include <QPushButton>

using namespace e2e;

namespace {

// The encoder answers at once (no line pacing), which keeps the reads short; the one test
// that cares about the real character rate sets the pacing itself.
Knobs fastLine(Knobs more = {})
{
    Knobs k{{"pacing", "off"}, {"reply_latency_ms", "0"}, {"reboot_ms", "100"}};
    k.insert(k.end(), more.begin(), more.end());
    return k;
}

const QString kDetected = QStringLiteral("Paging Encoder Was Detected\rThe Encoder Database will Now be Read");
const QString kReadError = QStringLiteral("Error Reading Pager Database at\r9600,n,8,1  COM Port 1\r"
                                          "Please Check Connections, Paging Encoder Configuration,\r"
                                          "or COM Port Settings, and Try Again");
const QString kImproper = QStringLiteral("The Paging Encoder did not Properly Respond to IDASCAP Command.\r"
                                         "Please Check Connections, Paging Encoder Configuration,\r"
                                         "or COM Port Settings, and Try Again");
const QString kComp1 = QStringLiteral("COMP1 Protocol is Selected and Requires a Default Pager Assignment");
const QString kMatches = QStringLiteral("Current View Matches Encoder Configuration");

void setIDAsCap(DeviceState &s, bool on)
{
    s.config[s.portKey(s.effectiveAttachedPort(), "idascap")] = on ? "1" : "0";
}

} // namespace

class TestRead : public QObject {
    Q_OBJECT

    std::unique_ptr<AppTestEnv> env;
    std::unique_ptr<SimEncoder> encoder;
    std::size_t mark = 0; // the encoder's log when the detection announced the encoder

    frmTerminal *start(const DeviceState &state, Knobs knobs, bool kestrane = false)
    {
        return StartOnEncoder(encoder, state, std::move(knobs), kestrane);
    }

    // Runs action (once) inside the read's waits when the status bar shows the given step.
    void atStatus(frmTerminal *t, const QString &step, std::function<void()> action)
    {
        auto *poll = new QTimer(this);
        connect(poll, &QTimer::timeout, this, [=] {
            if (t->StatusBar1->panelText(1) != QStringLiteral("Reading Pager Database - ") + step)
                return;
            poll->stop();
            poll->deleteLater();
            action();
        });
        poll->start(1);
    }

    // The announcement of a detected encoder; the log is marked there, so that what follows
    // is the read.
    void expectDetected(ScriptedBoxes &boxes)
    {
        boxes.expect(kDetected)
            .title(QStringLiteral("Paging Encoder Detected"))
            .buttons(MsgButtons::OK)
            .icon(MsgIcon::None)
            .then([this] {
                mark = encoder->sim().eventCount();
                QVERIFY(!forms::IsLoaded<frmCancelSend>());
            });
    }

    void expectReadError(ScriptedBoxes &boxes)
    {
        boxes.expect(kReadError).title(QStringLiteral("Read Error")).icon(MsgIcon::None);
    }

    // Before a read, every record holds something the encoder does not.
    static void fillWithOldValues()
    {
        for (FamilyRec &f : DB.Families)
            f.fill("old");
        for (PagerGroupRec &g : DB.PagerGroups)
            g.fill("old");
        DB.CannedMsgs.fill("old message");
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
        encoder.reset();
        env.reset();
    }

    // Opening the port finds the encoder, announces it and reads it: the displayed database
    // is then the encoder's, the read sent exactly its commands, and the encoder's ID-as-capcode
    // mode is as it was. Closing the port reboots a two-port encoder out of programming mode.
    void openingThePortReadsTheEncoder_data()
    {
        QTest::addColumn<int>("generation");
        QTest::addColumn<QByteArray>("firmware");
        QTest::addColumn<int>("port");
        QTest::addColumn<bool>("idAsCap");
        QTest::addColumn<bool>("kestrane");
        QTest::addColumn<QStringList>("knobs"); // extra name=value
        QTest::addColumn<QString>("label25");
        QTest::addColumn<int>("commands");

        QTest::newRow("V9 9.7S, real line rate") << 9 << QByteArray("9.7S") << 1 << false << true
                                                << QStringList{"pacing=burst", "reply_latency_ms=10"}
                                                << "Paging Encoder V9" << 98;
        QTest::newRow("V9 9.01 on port 2, first request ignored")
            << 9 << QByteArray("9.01") << 2 << true << false << QStringList{"ignore_prgmmode_count=1"}
            << "R-740 Paging Encoder" << 99;
        QTest::newRow("V8, ID as capcode on") << 8 << QByteArray("8.12") << 1 << true << true << QStringList{}
                                              << "Paging Encoder V8" << 100;
        QTest::newRow("V7, ID as capcode on") << 7 << QByteArray("7.2") << 1 << true << true << QStringList{}
                                              << "Paging Encoder V7" << 87;
        QTest::newRow("V7 without PET") << 7 << QByteArray("7.2") << 1 << false << false
                                        << QStringList{"v7_pet_supported=off"} << "R-740 Paging Encoder" << 85;
    }
    void openingThePortReadsTheEncoder()
    {
        QFETCH(int, generation);
        QFETCH(QByteArray, firmware);
        QFETCH(int, port);
        QFETCH(bool, idAsCap);
        QFETCH(bool, kestrane);
        QFETCH(QStringList, knobs);
        QFETCH(QString, label25);
        QFETCH(int, commands);

        DeviceState state = FullState(generation, port);
        state.firmware = firmware.toStdString();
        setIDAsCap(state, idAsCap);
        state.v7PetSupported = !knobs.contains(QStringLiteral("v7_pet_supported=off"));
        frmTerminal *t = start(state, fastLine(KnobsFrom(knobs)), kestrane);
        fillWithOldValues();

        ScriptedBoxes boxes;
        expectDetected(boxes);
        t->mnuOpen->trigger();
        QVERIFY(boxes.verifyAllShown());

        // Who was found.
        const bool v7 = generation == 7;
        const QByteArray testPort = QByteArray::number(state.effectiveAttachedPort());
        QCOMPARE(Run.sFirmwareVer, firmware);
        QCOMPARE(Run.sTestPort, testPort);
        QCOMPARE(Run.bV7Encoder, v7);
        QCOMPARE(Run.bFwV97Plus, firmware == "9.7S");
        QCOMPARE(t->lblVersion->text(), QStringLiteral("Firmware Version: ") + QString::fromLatin1(firmware));
        QCOMPARE(t->Label25->text(), label25);

        // What the read sent, and what it left.
        const QList<QByteArray> sent = CommandsSent(*encoder, mark);
        const QList<QByteArray> expected =
            v7 ? V7ReadCommands(idAsCap) : TwoPortReadCommands(testPort, firmware, idAsCap);
        QCOMPARE(expected.size(), commands);
        QVERIFY2(sent == expected, qPrintable(FirstDifference(sent, expected)));
        const QStringList db = DatabaseDifferences(state);
        QVERIFY2(db.isEmpty(), qPrintable(db.join(QLatin1String("; "))));
        const QStringList settings = SettingsDifferences(state);
        QVERIFY2(settings.isEmpty(), qPrintable(settings.join(QLatin1String("; "))));
        QVERIFY(encoder->sim().getState().config == state.config); // ID-as-capcode is back as it was
        QCOMPARE(encoder->sim().stats().violations, 0);

        // The window says so.
        QString idLabel = QStringLiteral("ID As Capcode Mode is ") + (idAsCap ? "ON" : "OFF");
        if (!v7)
            idLabel += QStringLiteral(" for Port ") + QString::fromLatin1(testPort);
        QCOMPARE(t->lblIDAsCap->text(), idLabel);
        QCOMPARE(t->StatusBar1->panelText(1), kMatches);
        QCOMPARE(t->StatusBar1->panelText(2), QStringLiteral("COM 1 Open"));
        QVERIFY(Run.bDBMatchesEncoder);
        for (int position = 1; position <= 8; ++position)
            QVERIFY(t->Toolbar1->Buttons(position)->isEnabled());
        for (QAction *a : {t->mnuReadDB, t->mnuWriteDB, t->mnuTest, t->mnuSendMsg})
            QVERIFY(a->isEnabled());
        QVERIFY(t->cmdLookup->isEnabled());
        QCOMPARE(t->FrontImage(), t->ImgConnected);
        QVERIFY(!Run.bDBBusy() && !Run.bNoDetect && !HourglassShown());
        QVERIFY(Link().MSComm1->PortOpen());

        // Closing: a two-port encoder is rebooted out of programming mode, a V7 gets nothing.
        const std::size_t beforeClose = encoder->sim().eventCount();
        t->cmdComStatus->click();
        QVERIFY(!Link().MSComm1->PortOpen());
        QCOMPARE(t->StatusBar1->panelText(2), QStringLiteral("COM 1 Closed"));
        QCOMPARE(Link().Timer2->Interval(), 8000);
        QTest::qWait(50);
        const QList<QByteArray> closing = CommandsSent(*encoder, beforeClose);
        QCOMPARE(closing, v7 ? QList<QByteArray>{} : QList<QByteArray>{"config reboot\r"});
    }

    // A read that fails shows one box and stops; the records before the failure are the
    // encoder's, the later ones what was there before, and the database is marked as not
    // matching. ID-as-capcode, switched off for the read, is switched on again.
    void aFailedReadShowsOneBox_data()
    {
        QTest::addColumn<QString>("knob");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("status");
        QTest::addColumn<int>("familiesRead");
        QTest::addColumn<bool>("restored"); // the encoder confirmed ID-as-capcode on again

        QTest::newRow("logon prompt at the duty cycle")
            << "inject_id_prompt" << "\"config dutycycle?\"" << "Transmitter Duty Cycle %" << 0 << true;
        QTest::newRow("no answer for family 21") << "drop_reply" << "\"read:G 21\"" << "Family 21" << 20
                                                 << true;
        QTest::newRow("cable pulled at family 21")
            << "cable_pull" << "\"read:G 21\"" << "Family 21" << 20 << false;
    }
    void aFailedReadShowsOneBox()
    {
        QFETCH(QString, knob);
        QFETCH(QString, value);
        QFETCH(QString, status);
        QFETCH(int, familiesRead);
        QFETCH(bool, restored);

        DeviceState state = FullState(9);
        setIDAsCap(state, true);
        frmTerminal *t = start(state, fastLine({{knob.toStdString(), value.toStdString()}}));
        fillWithOldValues();
        const QByteArray oldStationID = EncoderSettings.sStationID = "OLD ID";

        ScriptedBoxes boxes;
        expectDetected(boxes);
        expectReadError(boxes);
        t->mnuOpen->trigger();
        QVERIFY(boxes.verifyAllShown());
        QCOMPARE(boxes.shown().size(), 2);

        QCOMPARE(t->StatusBar1->panelText(1), QStringLiteral("Reading Pager Database - ") + status);
        QVERIFY(!Run.bDBMatchesEncoder);
        QVERIFY(!t->cmdLookup->isEnabled());
        QVERIFY(!t->mnuSendMsg->isEnabled());
        QVERIFY(t->mnuTest->isEnabled());
        for (int position = 1; position <= 8; ++position)
            QVERIFY(!t->Toolbar1->Buttons(position)->isEnabled());
        QVERIFY(!Run.bDBBusy() && !HourglassShown());

        const QList<QByteArray> sent = CommandsSent(*encoder, mark);
        if (familiesRead == 0) {
            // The station ID and the batch size were read; nothing after the failing query.
            QCOMPARE(EncoderSettings.sStationID, QByteArray("RELAY 7"));
            QCOMPARE(EncoderSettings.sMaxBatch, QByteArray("25"));
            QVERIFY(!sent.contains("config ignorerfcd?\r"));
            QCOMPARE(DB.Families[0][FamActive], QByteArray("old"));
        } else {
            QVERIFY(EncoderSettings.sStationID != oldStationID);
            for (int i = 0; i < FamilyCount; ++i) {
                const bool read = i < familiesRead;
                QVERIFY2((DB.Families[std::size_t(i)][FamActive] == "old") != read, qPrintable(QString::number(i)));
            }
            QCOMPARE(DB.PagerGroups[0][GrpDefined], QByteArray("YES"));
            QCOMPARE(DB.CannedMsgs[0], QByteArray("old message"));
            QVERIFY(!sent.contains(Block("G 22")));
        }
        // One more try puts ID-as-capcode back on; the label says what the encoder is left with.
        QCOMPARE(sent.last(), QByteArray("CONFIG SERIAL1 IDASCAP 1\r"));
        QCOMPARE(sent.count("CONFIG SERIAL1 IDASCAP 1\r"), 1);
        QVERIFY(EncoderSettings.bPort1IDAsCap);
        encoder->sim().cablePlug();
        QCOMPARE(encoder->sim().getState().config.at("serial1 idascap"), std::string(restored ? "1" : "0"));
        QCOMPARE(t->lblIDAsCap->text(),
                 QStringLiteral("ID As Capcode Mode is %1 for Port 1").arg(restored ? "ON" : "OFF"));
    }

    // A line that goes away during the read: the read error, and the port's own error once
    // (when the attempt to switch ID-as-capcode back on cannot be written).
    void aLineThatGoesAwayIsReportedOnce()
    {
        DeviceState state = FullState(9);
        setIDAsCap(state, true);
        frmTerminal *t = start(state, fastLine({{"hangup", "\"read:G 21\""}}));
        ScriptedBoxes boxes;
        expectDetected(boxes);
        expectReadError(boxes);
        boxes.expect(QString()).icon(MsgIcon::Exclamation).buttons(MsgButtons::OK);
        t->mnuOpen->trigger();
        QVERIFY(boxes.verifyAllShown());
        QCOMPARE(boxes.shown().size(), 3);
        QVERIFY(!boxes.shown().last().text.isEmpty());
        QCOMPARE(t->StatusBar1->panelText(1), QStringLiteral("Reading Pager Database - Family 21"));
        QCOMPARE(t->lblIDAsCap->text(), QStringLiteral("ID As Capcode Mode is OFF for Port 1"));
        QVERIFY(!Run.bDBMatchesEncoder);
    }

    // The operator's cancel (raised by another operation's cancel window) ends a read without a
    // message; ID-as-capcode is put back all the same.
    void aCancelledReadEndsQuietly()
    {
        DeviceState state = FullState(8);
        setIDAsCap(state, true);
        frmTerminal *t = start(state, fastLine({{"delay_reply", "\"read:G 5\" ms=300"}}));
        atStatus(t, QStringLiteral("Family 5"), [] { Link().bCancelOp = true; });

        ScriptedBoxes boxes;
        expectDetected(boxes);
        t->mnuOpen->trigger();
        QVERIFY(boxes.verifyAllShown());
        QCOMPARE(boxes.shown().size(), 1);

        const QList<QByteArray> sent = CommandsSent(*encoder, mark);
        QVERIFY(sent.contains(Block("G 5")));
        QVERIFY(!sent.contains(Block("G 6")));
        QCOMPARE(sent.last(), QByteArray("CONFIG SERIAL1 IDASCAP 1\r"));
        QCOMPARE(encoder->sim().getState().config.at("serial1 idascap"), std::string("1"));
        QCOMPARE(t->StatusBar1->panelText(1), QStringLiteral("Reading Pager Database - Family 5"));
        QVERIFY(!Run.bDBMatchesEncoder);
        QVERIFY(Link().MSComm1->PortOpen());
    }

    // The program may be closed while a read waits: the read stops there, nothing more is said.
    void closingTheProgramDuringARead()
    {
        QPointer<frmTerminal> t = start(FullState(9), fastLine({{"delay_reply", "\"read:G 5\" ms=200"}}));
        atStatus(t, QStringLiteral("Family 5"), [&] { t->close(); });
        ScriptedBoxes boxes;
        expectDetected(boxes);
        boxes.expect(QStringLiteral("Are You Sure You Want to Exit"), MsgAnswer::Yes);
        t->mnuOpen->trigger();
        QVERIFY(boxes.verifyAllShown());
        QCOMPARE(boxes.shown().size(), 2);
        QVERIFY(Link().bAppClosing);
        QVERIFY(!forms::IsLoaded<frmTerminal>());
        QVERIFY(!Run.bDBBusy() && !HourglassShown());
        const QList<QByteArray> sent = CommandsSent(*encoder, mark);
        QVERIFY(!sent.contains(Block("G 6")));
        QCOMPARE(sent.last(), QByteArray("config reboot\r"));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(t.isNull());
    }

    // The guard's commands must be confirmed with the generation's own text; otherwise the
    // read stops with the improper-response box (and still tries to leave the mode as found).
    void idAsCapcodeSwitchingMustBeConfirmed_data()
    {
        QTest::addColumn<int>("generation");
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("reply");
        QTest::addColumn<int>("sentCount");

        QTest::newRow("V9 switch-off refused") << 9 << "CONFIG SERIAL1 IDASCAP 0" << "Invalid\\r\\n" << 3;
        QTest::newRow("V7 answering as a V9") << 7 << "CONFIG IDASCAP 0" << "\"IDASCAP updated\\r\\n\"" << 3;
        QTest::newRow("V9 restore refused") << 9 << "CONFIG SERIAL1 IDASCAP 1" << "Invalid\\r\\n" << 100;
    }
    void idAsCapcodeSwitchingMustBeConfirmed()
    {
        QFETCH(int, generation);
        QFETCH(QString, command);
        QFETCH(QString, reply);
        QFETCH(int, sentCount);

        DeviceState state = FullState(generation);
        setIDAsCap(state, true);
        frmTerminal *t = start(state, fastLine({{"replace_reply", QStringLiteral("\"%1\" bytes=%2")
                                                                      .arg(command, reply)
                                                                      .toStdString()}}));
        ScriptedBoxes boxes;
        expectDetected(boxes);
        boxes.expect(kImproper).title(QStringLiteral("Paging Encoder Improper Response")).icon(MsgIcon::None);
        t->mnuOpen->trigger();
        QVERIFY(boxes.verifyAllShown());
        QCOMPARE(boxes.shown().size(), 2);

        const QList<QByteArray> sent = CommandsSent(*encoder, mark);
        QCOMPARE(sent.size(), sentCount);
        if (sentCount == 3) // no settings query, and one try to switch the mode back on
            QCOMPARE(sent.last(), generation == 7 ? QByteArray("CONFIG IDASCAP 1\r")
                                                  : QByteArray("CONFIG SERIAL1 IDASCAP 1\r"));
        QCOMPARE(encoder->sim().getState().config.at("serial1 idascap"), std::string("1"));
        QVERIFY(EncoderSettings.bPort1IDAsCap);
        QVERIFY(!Run.bDBMatchesEncoder);
        QVERIFY(t->StatusBar1->panelText(1) != kMatches);
        QCOMPARE(t->FrontImage(), t->ImgNotConnected);
        QVERIFY(Link().MSComm1->PortOpen());
    }

    // A COMP1 port needs a default pager (the first pager ID of the first group): without one
    // the protocol is set to TAP in the displayed database, port 1 before port 2, after a
    // complete read and after a failed one.
    void comp1NeedsADefaultPager_data()
    {
        QTest::addColumn<QByteArray>("port1");
        QTest::addColumn<QByteArray>("port2");
        QTest::addColumn<bool>("fail");
        QTest::addColumn<QByteArray>("port1After");
        QTest::addColumn<QByteArray>("port2After");
        QTest::newRow("port 2") << QByteArray("TAP") << QByteArray("COMP1") << false << QByteArray("TAP")
                                << QByteArray("TAP");
        QTest::newRow("both ports") << QByteArray("COMP1") << QByteArray("COMP1") << false
                                    << QByteArray("TAP") << QByteArray("COMP1");
        QTest::newRow("after a failed read") << QByteArray("TAP") << QByteArray("COMP1") << true
                                             << QByteArray("TAP") << QByteArray("TAP");
    }
    void comp1NeedsADefaultPager()
    {
        QFETCH(QByteArray, port1);
        QFETCH(QByteArray, port2);
        QFETCH(bool, fail);
        QFETCH(QByteArray, port1After);
        QFETCH(QByteArray, port2After);

        DeviceState state = FullState(9);
        state.groups[0].f[8] = 0; // group 1 in use, without a first pager ID
        state.config["serial1 protocol"] = port1.toStdString();
        state.config["serial2 protocol"] = port2.toStdString();
        Knobs knobs = fail ? fastLine({{"drop_reply", "\"read:M 1\""}}) : fastLine();
        frmTerminal *t = start(state, knobs);

        ScriptedBoxes boxes;
        expectDetected(boxes);
        if (fail)
            expectReadError(boxes);
        boxes.expect(kComp1 + QStringLiteral("\rThe First Pager ID in the First Pager Group is Used as "
                                             "the Default Pager ID\rThe Protocol has been set to TAP"))
            .title(QStringLiteral("COMP1 Pager ID Not Defined"));
        t->mnuOpen->trigger();
        QVERIFY(boxes.verifyAllShown());
        QCOMPARE(EncoderSettings.sPort1Protocol, port1After);
        QCOMPARE(EncoderSettings.sPort2Protocol, port2After);
        QCOMPARE(Run.bDBMatchesEncoder, !fail);
        QCOMPARE(encoder->sim().getState().config.at("serial2 protocol"), port2.toStdString()); // nothing sent
    }

    // The questions before a read: the detection asks while the database does not match, the
    // reader asks before it overwrites edits; declining either changes nothing. File > Read
    // asks nothing itself, the toolbar's read button asks first.
    void readingAsksBeforeItOverwritesEdits()
    {
        DeviceState state = FullState(9);
        frmTerminal *t = start(state, fastLine());
        Run.bDBMatchesEncoder = false;
        fillWithOldValues();
        const QString readQuestion = QStringLiteral("You are About to Read the Encoder and Replace the "
                                                    "Current Configuration\rAre You Sure?");
        const QString overwrite = QStringLiteral("You Have Edited the Pager Database\rIf You Read the "
                                                 "Encoder, You Will Lose Your Edits.\rAre You Sure You "
                                                 "Want to Continue?");
        {
            ScriptedBoxes boxes;
            expectDetected(boxes);
            boxes.expect(readQuestion, MsgAnswer::No).title(QStringLiteral("Read Encoder?")).icon(MsgIcon::Question);
            QTest::mouseClick(t->ImgNotConnected, Qt::LeftButton);
            QVERIFY(boxes.verifyAllShown());
        }
        QVERIFY(Link().MSComm1->PortOpen());
        QVERIFY(CommandsSent(*encoder, mark).isEmpty());
        QVERIFY(t->mnuReadDB->isEnabled() && t->mnuTest->isEnabled());
        QVERIFY(!t->Toolbar1->Buttons(8)->isEnabled()); // the database does not match

        {
            ScriptedBoxes boxes;
            for (MsgAnswer answer : {MsgAnswer::No, MsgAnswer::Cancel})
                boxes.expect(overwrite, answer)
                    .title(QStringLiteral("About to OverWrite Edits"))
                    .buttons(MsgButtons::YesNoCancel)
                    .icon(MsgIcon::Exclamation)
                    .defaultButton(1);
            const std::size_t before = encoder->sim().eventCount();
            t->mnuReadDB->trigger();
            t->mnuReadDB->trigger();
            QVERIFY(boxes.verifyAllShown());
            QVERIFY(CommandsSent(*encoder, before).isEmpty());
            QVERIFY(!HourglassShown() && !Run.bDBBusy());
            QVERIFY(t->Toolbar1->Buttons(2)->isEnabled());
            QCOMPARE(DB.Families[0][FamActive], QByteArray("old"));
        }
        {
            ScriptedBoxes boxes;
            boxes.expect(readQuestion, MsgAnswer::Yes).title(QStringLiteral("Read Encoder?"));
            boxes.expect(overwrite, MsgAnswer::Yes).title(QStringLiteral("About to OverWrite Edits"));
            const std::size_t before = encoder->sim().eventCount();
            t->Toolbar1->ButtonByKey(QStringLiteral("read"))->trigger();
            QVERIFY(boxes.verifyAllShown());
            QCOMPARE(CommandsSent(*encoder, before), TwoPortReadCommands("1", "9.7", false));
        }
        QVERIFY(Run.bDBMatchesEncoder);
        QVERIFY(DatabaseDifferences(state).isEmpty());
        QCOMPARE(t->StatusBar1->panelText(1), kMatches);
    }
};

QTEST_MAIN(TestRead)
#include "tst_read.moc"
