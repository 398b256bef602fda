// Reading the encoder without windows: both readers through the link against the simulated
// encoder, for every generation; the errors with their one message box (answers that are not
// the command's among them), the ID-as-capcode switch and its restore, the cancel, the
// program's close and the COMP1 check. (The questions before a read are asked through the
// windows: tests/e2e.)

#include <QtTest>

#include "encoder/controlbytes.h"
#include "encoder/read/reader.h"
#include "encoder/transferfixture.h"
#include "encoder/write/writer.h"
#include "model/dbfile.h"
#include "protocols/protocoltable.h"
#include "support/linktestaccess.h"

#include <QScopeGuard>

#include <vector>

using namespace encodertest;
using Command = TerminalView::Command;
using Label = TerminalView::Label;

namespace {

const QString kReadError = QStringLiteral("Error Reading Pager Database at\r9600,n,8,1  COM Port 1\r"
                                          "Please Check Connections, Paging Encoder Configuration,\r"
                                          "or COM Port Settings, and Try Again");
const QString kImproper = QStringLiteral("The Paging Encoder did not Properly Respond to IDASCAP Command.\r"
                                         "Please Check Connections, Paging Encoder Configuration,\r"
                                         "or COM Port Settings, and Try Again");
const QString kComp1 = QStringLiteral("COMP1 Protocol is Selected and Requires a Default Pager Assignment\r"
                                      "The First Pager ID in the First Pager Group is Used as the Default "
                                      "Pager ID\rThe Protocol has been set to TAP");
const QString kMatches = QStringLiteral("Current View Matches Encoder Configuration");
const QString kNoMatch = QStringLiteral("Current Configuration Modified, Does Not Match Encoder");
const QString kProgress = QStringLiteral("Reading Pager Database - ");

void setIDAsCap(DeviceState &s, bool on)
{
    s.config[s.portKey(s.effectiveAttachedPort(), "idascap")] = on ? "1" : "0";
}

// Before a read, every record holds something the encoder does not.
void fillWithOldValues()
{
    for (FamilyRec &f : DB.Families)
        f.fill("old");
    for (PagerGroupRec &g : DB.PagerGroups)
        g.fill("old");
    DB.CannedMsgs.fill("old message");
}

void read()
{
    if (Run.bV7Encoder)
        ReadEncoderDBV7();
    else
        ReadEncoderDB();
}

// A view that closes the port as it is given a status text: the command the read sends next
// cannot be written.
class PortClosingView : public ViewRecorder {
public:
    QString closeAt;
    void SetPanelText(int panel, const QString &text) override
    {
        ViewRecorder::SetPanelText(panel, text);
        if (panel == 1 && !closeAt.isEmpty() && text == closeAt)
            (void)Link().closePort();
    }
};

} // namespace

class TestReader : public QObject {
    Q_OBJECT

    std::unique_ptr<TransferFixture> fx;

    // Each answer must come within the reply time (6000 ms at start-up): at a tenth of real
    // time that leaves 600 ms for the encoder's thread on a loaded machine.
    [[nodiscard]] bool connectTo(DeviceState state, Knobs more = {}, double scale = 0.1)
    {
        fx = std::make_unique<TransferFixture>(scale);
        Knobs knobs{{"pacing", "off"}};
        knobs.insert(knobs.end(), more.begin(), more.end());
        if (!fx->connectTo(std::move(state), std::move(knobs)))
            return false;
        Run.bDBMatchesEncoder = true; // no question
        fillWithOldValues();
        return true;
    }

private slots:
    void cleanup() { fx.reset(); }

    // A whole read: the displayed database is then the encoder's, the read sent exactly its
    // commands, and the encoder's ID-as-capcode mode is as it was.
    void theWholeConfiguration_data()
    {
        QTest::addColumn<int>("generation");
        QTest::addColumn<QByteArray>("firmware");
        QTest::addColumn<int>("port");
        QTest::addColumn<bool>("idAsCap");
        QTest::addColumn<bool>("pet");
        QTest::addColumn<int>("commands");

        QTest::newRow("V9 9.7S") << 9 << QByteArray("9.7S") << 1 << false << true << 98;
        QTest::newRow("V9 9.01 on port 2, ID as capcode on") << 9 << QByteArray("9.01") << 2 << true << true << 99;
        QTest::newRow("V8, ID as capcode on") << 8 << QByteArray("8.12") << 1 << true << true << 100;
        QTest::newRow("V7, ID as capcode on") << 7 << QByteArray("7.2") << 1 << true << true << 87;
        QTest::newRow("V7 without PET") << 7 << QByteArray("7.2") << 1 << false << false << 85;
    }
    void theWholeConfiguration()
    {
        QFETCH(int, generation);
        QFETCH(QByteArray, firmware);
        QFETCH(int, port);
        QFETCH(bool, idAsCap);
        QFETCH(bool, pet);
        QFETCH(int, commands);

        DeviceState state = FullState(generation, port);
        state.firmware = firmware.toStdString();
        setIDAsCap(state, idAsCap);
        state.v7PetSupported = pet;
        QVERIFY(connectTo(state));
        bool busyDuringTheRead = false;
        fx->onEncoderEvent("read \"G 25\"", [&] { busyDuringTheRead = Run.bDBBusy(); });
        read();

        const bool v7 = generation == 7;
        const QByteArray testPort = QByteArray::number(state.effectiveAttachedPort());
        const QList<QByteArray> sent = fx->sent();
        const QList<QByteArray> expected =
            v7 ? V7ReadCommands(idAsCap) : TwoPortReadCommands(testPort, firmware, idAsCap);
        QCOMPARE(expected.size(), commands);
        QVERIFY2(sent == expected, qPrintable(FirstDifference(sent, expected)));
        const QStringList db = DatabaseDifferences(state);
        QVERIFY2(db.isEmpty(), qPrintable(db.join(QLatin1String("; "))));
        const QStringList settings = SettingsDifferences(state);
        QVERIFY2(settings.isEmpty(), qPrintable(settings.join(QLatin1String("; "))));
        QVERIFY(fx->sim().getState().config == state.config); // ID-as-capcode is back as it was
        QCOMPARE(fx->sim().stats().violations, 0);
        QCOMPARE(fx->boxes.shown().size(), 0);

        const ViewRecorder &v = fx->view;
        QString idLabel = QStringLiteral("ID As Capcode Mode is ") + (idAsCap ? "ON" : "OFF");
        if (!v7)
            idLabel += QStringLiteral(" for Port ") + QString::fromLatin1(testPort);
        QCOMPARE(v.label(Label::IDAsCap), idLabel);
        if (!v7)
            QCOMPARE(v.label(Label::IncBy8), QStringLiteral("Increment Capcodes by 8 Mode is OFF"));
        QCOMPARE(v.panel(1), kMatches);
        QCOMPARE(v.panel1History.first(), kProgress + (v7 ? "Max Msgs/Batch" : firmware == "9.01" ? "Max Msgs/Batch" : "Station ID"));
        QVERIFY(Run.bDBMatchesEncoder);
        QVERIFY(v.toolbarEnabled);
        for (Command c : {Command::Lookup, Command::SendMsg, Command::TestMenu})
            QVERIFY(v.enabled(c));
        QVERIFY(busyDuringTheRead);
        QVERIFY(!Run.bDBBusy() && !HourglassShown() && !v.cancelWindowShown);
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
        QTest::newRow("no answer for family 21") << "drop_reply" << "\"read:G 21\"" << "Family 21" << 20 << true;
        QTest::newRow("cable pulled at family 21") << "cable_pull" << "\"read:G 21\"" << "Family 21" << 20 << false;
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
        // In real time, each answer has the whole reply time however loaded the machine. The
        // dropped answer's wait is run out once the encoder has dropped it; once the cable is
        // pulled, every wait is.
        QVERIFY(connectTo(state, {{knob.toStdString(), value.toStdString()}}, 1.0));
        if (knob == QLatin1String("drop_reply"))
            fx->onEncoderEvent("drop_reply fired", [] { LinkTestAccess::fireReplyTimer(Link()); });
        if (knob == QLatin1String("cable_pull"))
            fx->onEncoderEvent("cable_pull fired", [this] {
                auto *runOut = new QTimer(fx->scope.get());
                connect(runOut, &QTimer::timeout, runOut, [] {
                    if (LinkTestAccess::replyTimer(Link()).Enabled())
                        LinkTestAccess::fireReplyTimer(Link());
                });
                runOut->start(10);
            });
        const QByteArray oldStationID = EncoderSettings.sStationID = "OLD ID";
        fx->boxes.expect(kReadError).title(QStringLiteral("Read Error")).icon(MsgIcon::None);
        read();
        QVERIFY(fx->boxes.verifyAllShown());
        QCOMPARE(fx->boxes.shown().size(), 1);

        const ViewRecorder &v = fx->view;
        QCOMPARE(v.panel(1), kProgress + status);
        QVERIFY(!Run.bDBMatchesEncoder);
        QVERIFY(!v.enabled(Command::Lookup, true) && !v.enabled(Command::SendMsg, true));
        QVERIFY(v.enabled(Command::TestMenu));
        QVERIFY(!v.toolbarEnabled);
        QVERIFY(!Run.bDBBusy() && !HourglassShown());

        // The last command's wait may end before the encoder has read it (the cable is pulled).
        QTRY_COMPARE(fx->sim().inputNotTakenIn(), std::size_t(0));
        const QList<QByteArray> sent = fx->sent();
        if (familiesRead == 0) {
            // The station ID and the batch size were read; nothing after the failing query.
            QCOMPARE(EncoderSettings.sStationID, QByteArray("RELAY 7"));
            QCOMPARE(EncoderSettings.sMaxBatch, QByteArray("25"));
            QVERIFY(!sent.contains("config ignorerfcd?\r"));
            QCOMPARE(DB.Families[0][FamActive], QByteArray("old"));
        } else {
            QVERIFY(EncoderSettings.sStationID != oldStationID);
            for (int i = 0; i < FamilyCount; ++i)
                QVERIFY2((DB.Families[std::size_t(i)][FamActive] == "old") != (i < familiesRead),
                         qPrintable(QString::number(i)));
            QCOMPARE(DB.PagerGroups[0][GrpDefined], QByteArray("YES"));
            QCOMPARE(DB.CannedMsgs[0], QByteArray("old message"));
            QVERIFY(!sent.contains(Block("G 22")));
        }
        // One more try puts ID-as-capcode back on; the label says what the encoder is left with.
        QCOMPARE(sent.last(), QByteArray("CONFIG SERIAL1 IDASCAP 1\r"));
        QCOMPARE(sent.count("CONFIG SERIAL1 IDASCAP 1\r"), 1);
        QVERIFY(EncoderSettings.bPort1IDAsCap);
        fx->sim().cablePlug();
        QCOMPARE(fx->sim().getState().config.at("serial1 idascap"), std::string(restored ? "1" : "0"));
        QCOMPARE(v.label(Label::IDAsCap), QStringLiteral("ID As Capcode Mode is %1 for Port 1").arg(restored ? "ON" : "OFF"));
    }

    // A line that sends every command back before the encoder's answer (a terminal server,
    // say; some add an LF after each CR, some leave out the LF of a CR LF) changes nothing in
    // what is read: the displayed database, the settings and the saved file are those of a read
    // on a plain line. Nor does an answer that comes in pieces with pauses between them (a V7
    // without PET answering RS CR LF): each reply is taken whole, and nothing of it is left to
    // shift the answers after it.
    void anEchoingLineReadsTheSame_data()
    {
        QTest::addColumn<int>("generation");
        QTest::addColumn<bool>("pet");
        QTest::addColumn<QStringList>("knobs");
        QTest::newRow("V9, echo") << 9 << true << QStringList{"echo=on"};
        QTest::newRow("V9, echo with CR LF, at the line's pace") << 9 << true << QStringList{"echo=crlf", "pacing=burst"};
        QTest::newRow("V9, the encoder's own echo") << 9 << true << QStringList{"echo_commands=on"};
        QTest::newRow("V7, echo") << 7 << true << QStringList{"echo=on"};
        QTest::newRow("V7, echo with CR LF") << 7 << true << QStringList{"echo=crlf"};
        QTest::newRow("V7, echo of the text and CR") << 7 << true << QStringList{"echo=cr"};
        QTest::newRow("V7 without PET, RS CR LF in pieces")
            << 7 << false
            << QStringList{"replace_reply=\"config pet?\" bytes=<RS><CR><LF>",
                           "split_reply=\"config pet?\" pieces=3 gap_ms=40"};
        QTest::newRow("V7 without PET, RS CR") << 7 << false << QStringList{};
    }
    void anEchoingLineReadsTheSame()
    {
        QFETCH(int, generation);
        QFETCH(bool, pet);
        QFETCH(QStringList, knobs);
        DeviceState state = FullState(generation);
        setIDAsCap(state, true);
        state.v7PetSupported = pet;

        // Both reads wait in real time (the encoder keeps its quick clock): each answer has the
        // whole reply time however loaded the machine, and ends its wait as it comes.
        QVERIFY(connectTo(state));
        SetTimeScale(1.0);
        read();
        QCOMPARE(fx->view.panel(1), kMatches);
        const QByteArray plainFile = WriteDBFile("notes");

        fx.reset();
        QVERIFY(connectTo(state, KnobsFrom(knobs)));
        SetTimeScale(1.0);
        read();
        QCOMPARE(fx->boxes.shown().size(), 0);
        QCOMPARE(fx->view.panel(1), kMatches);
        QVERIFY(Run.bDBMatchesEncoder);
        const QStringList differences = SettingsDifferences(state) + DatabaseDifferences(state);
        QVERIFY2(differences.isEmpty(), qPrintable(differences.join(QLatin1String("; "))));
        QCOMPARE(WriteDBFile("notes"), plainFile);
        QVERIFY(fx->sim().getState().config == state.config); // ID-as-capcode back on
        if (knobs.join(QString()).contains(QLatin1String("echo")))
            QVERIFY(fx->received().contains("config maxbatch?\r")); // the line did echo
    }

    // Every settings answer must have its setting's form. One of another form (a control byte
    // left in it, a garbled line, an echo that is not byte for byte the command, the encoder's
    // own "OK") is no answer: the read ends as on a time-out, and nothing of it is stored (a
    // text setting keeps its "old" value). Answers of the form are read as the encoder sent
    // them.
    void aSettingsAnswerMustHaveItsForm_data()
    {
        QTest::addColumn<int>("generation");
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("answer"); // empty: the encoder's own
        QTest::addColumn<QString>("status");
        QTest::addColumn<QByteArray>("stored"); // empty: no answer, the read fails there

        const auto bad = [](const char *name, int generation, const char *command, const char *answer,
                            const char *status) {
            QTest::newRow(name) << generation << command << answer << status << QByteArray();
        };
        const auto good = [](const char *name, int generation, const char *command, const char *answer,
                             const char *status, const char *stored) {
            QTest::newRow(name) << generation << command << answer << status << QByteArray(stored);
        };
        bad("V9 protocol with a bare CR", 9, "config serial1 protocol?", "T<CR>AP<CR><LF>", "Port 1 Protocol");
        bad("V9 station ID with an LF", 9, "config sid?", "RELAY<LF>7<CR><LF>", "Station ID");
        bad("V9 batch size with a tab", 9, "config maxbatch?", "2<0x09>5<CR><LF>", "Max Msgs/Batch");
        bad("V9 batch size OK", 9, "config maxbatch?", "OK<CR><LF>", "Max Msgs/Batch");
        bad("V9 batch size after its echo without the CR", 9, "config maxbatch?", "\"config maxbatch?25<CR><LF>\"",
            "Max Msgs/Batch");
        bad("V9 station ID: a cut echo", 9, "config sid?", "\"config sRELAY 7<CR><LF>\"", "Station ID");
        bad("V9 station ID: another command's echo", 9, "config sid?", "\"CONFIG SERIAL1 IDASCAP?<CR><LF>\"",
            "Station ID");
        bad("V9 station ID OK", 9, "config sid?", "OK<CR><LF>", "Station ID");
        bad("V9 station ID Invalid", 9, "config sid?", "Invalid<CR><LF>", "Station ID");
        bad("V9 flag 1 and a blank", 9, "config invertdata?", "\"1 <CR><LF>\"", "Data Polarity");
        bad("V9 flag x", 9, "config capby8?", "x<CR><LF>", "Increment Capcodes by 8");
        bad("V9 protocol not in the table", 9, "config serial2 protocol?", "TAPX<CR><LF>", "Port 2 Protocol");
        bad("V9 baud fast", 9, "config serial1 baud?", "fast<CR><LF>", "Port 1 Baud");
        bad("V9 format N92", 9, "config serial2 databits?", "N92<CR><LF>", "Port 2 Data Bits");
        bad("V9 batch size beyond 16 bits", 9, "config maxbatch?", "99999<CR><LF>", "Max Msgs/Batch");
        bad("V9 batch size abc", 9, "config maxbatch?", "abc<CR><LF>", "Max Msgs/Batch");
        bad("V9 flow XON", 9, "config serial1 flow?", "XON<CR><LF>", "Serial Port 1 Flow Control");
        bad("V9 attenuation 1.5", 9, "config MODATTENF?", "1.5<CR><LF>", "Coarse Modulation Attenuation");
        bad("V7 flow with a bare CR", 7, "config altfc?", "altfc<CR>1<CR><LF>", "NAK Before Flow Mode");
        bad("V7 flag OK", 7, "config briefack?", "OK<CR><LF>", "Brief ACK Mode");
        bad("V7 PET 2", 7, "config pet?", "2<CR><LF>", "PET Protocol Support");
        bad("V7 batch size empty", 7, "config maxbatch?", "<CR><LF>", "Max Msgs/Batch");
        good("V9 batch size with a leading zero", 9, "config maxbatch?", "012<CR><LF>", "", "12");
        good("V9 batch size with a plus", 9, "config maxbatch?", "+10<CR><LF>", "", "10");
        good("V9 batch size below zero", 9, "config maxbatch?", "-5<CR><LF>", "", "-5");
        good("V9 baud 4800", 9, "config serial1 baud?", "4800<CR><LF>", "", "4800");
        good("V9 format N82", 9, "config serial2 databits?", "N82<CR><LF>", "", "N82");
        good("V9 baud Invalid (no such port)", 9, "config serial2 baud?", "Invalid<CR><LF>", "", "Invalid");
        good("V9 station ID empty", 9, "config sid?", "<CR><LF>", "", "");
        good("V9 port 2 format O71", 9, "config serial2 databits?", "O71<CR><LF>", "", "O71");
        good("V9 protocol SNPP", 9, "config serial1 protocol?", "SNPP<CR><LF>", "", "SNPP");
        good("V7 batch size", 7, "config maxbatch?", "", "", "25");
    }
    void aSettingsAnswerMustHaveItsForm()
    {
        QFETCH(int, generation);
        QFETCH(QString, command);
        QFETCH(QString, answer);
        QFETCH(QString, status);
        QFETCH(QByteArray, stored);
        const bool fails = !status.isEmpty();
        Knobs knobs;
        if (!answer.isEmpty())
            knobs.push_back({"replace_reply", (QLatin1Char('"') + command + QStringLiteral("\" bytes=") + answer).toStdString()});
        QVERIFY(connectTo(FullState(generation), knobs));
        for (QByteArray *text : {&EncoderSettings.sStationID, &EncoderSettings.sMaxBatch, &EncoderSettings.sDutyCycle,
                                 &EncoderSettings.sPort1Protocol, &EncoderSettings.sPort2Protocol,
                                 &EncoderSettings.sPort1Baud, &EncoderSettings.sPort2Baud, &EncoderSettings.sPort1DataBits,
                                 &EncoderSettings.sPort2DataBits, &EncoderSettings.sPort1Flow, &EncoderSettings.sPort2Flow,
                                 &EncoderSettings.sModAttenC, &EncoderSettings.sModAttenF})
            *text = "old";
        if (fails)
            fx->boxes.expect(kReadError).title(QStringLiteral("Read Error")).icon(MsgIcon::None);
        read();
        QVERIFY(fx->boxes.verifyAllShown());
        QCOMPARE(fx->boxes.shown().size(), fails ? 1 : 0);
        QCOMPARE(Run.bDBMatchesEncoder, !fails);
        const QByteArray *setting = command == "config sid?"                 ? &EncoderSettings.sStationID
                                    : command == "config maxbatch?"          ? &EncoderSettings.sMaxBatch
                                    : command == "config serial1 protocol?"  ? &EncoderSettings.sPort1Protocol
                                    : command == "config serial2 protocol?"  ? &EncoderSettings.sPort2Protocol
                                    : command == "config serial1 baud?"      ? &EncoderSettings.sPort1Baud
                                    : command == "config serial2 baud?"      ? &EncoderSettings.sPort2Baud
                                    : command == "config serial2 databits?"  ? &EncoderSettings.sPort2DataBits
                                    : command == "config serial1 flow?"      ? &EncoderSettings.sPort1Flow
                                    : command == "config MODATTENF?"         ? &EncoderSettings.sModAttenF
                                                                             : nullptr;
        if (!fails) {
            QCOMPARE(fx->view.panel(1), kMatches);
            if (setting)
                QCOMPARE(*setting, stored);
            return;
        }
        QCOMPARE(fx->view.panel(1), kProgress + status);
        QCOMPARE(fx->sent().last(), command.toLatin1() + (generation == 7 ? "\r\n" : "\r"));
        if (setting)
            QCOMPARE(*setting, QByteArray("old"));
        QVERIFY(!HoldsControlByte(WriteDBFile(QByteArray()).replace("\r\n", "")));
    }

    // A line that goes away during the read ends it at once, without a box of its own (the
    // main window says the device has gone as it shows the port closed) and without trying
    // anything more on it: ID-as-capcode is not put back.
    void aLineThatGoesAwayEndsTheReadAtOnce()
    {
        DeviceState state = FullState(9);
        setIDAsCap(state, true);
        QVERIFY(connectTo(state, {{"drop_reply", "\"read:G 21\""}, {"hangup", "\"read:G 21\""}}, 1.0));
        Link().setReplyInterval(std::chrono::minutes(10)); // a wait that ran out would show
        QElapsedTimer clock;
        clock.start();
        read();
        QVERIFY(clock.elapsed() < 60'000);
        QVERIFY(fx->boxes.shown().isEmpty());
        QVERIFY(Link().lineGone());
        QCOMPARE(fx->view.panel(1), kProgress + QStringLiteral("Family 21"));
        QCOMPARE(fx->sent().last(), Block("G 21"));
        QCOMPARE(fx->view.label(Label::IDAsCap), QStringLiteral("ID As Capcode Mode is ON for Port 1"));
        QVERIFY(!Run.bDBMatchesEncoder);
        QVERIFY(!Run.bDBBusy() && !fx->view.enabled(Command::Lookup, true));
    }

    // After a read that failed with ID-as-capcode switched off, the restore's confirmation is
    // taken with its LF, even when it comes in pieces: nothing of it is left for what follows.
    // A second read right away then matches, and a write's guard reads the mode as on and
    // switches it off for the records before the write says it matches.
    void aFailedReadLeavesNothingOnTheLine_data()
    {
        QTest::addColumn<int>("generation");
        QTest::addColumn<QString>("restore");
        QTest::newRow("V9") << 9 << "CONFIG SERIAL1 IDASCAP 1";
        QTest::newRow("V7") << 7 << "CONFIG IDASCAP 1";
    }
    void aFailedReadLeavesNothingOnTheLine()
    {
        QFETCH(int, generation);
        QFETCH(QString, restore);
        DeviceState state = FullState(generation);
        setIDAsCap(state, true);
        // Each byte of the confirmation on its own, 15 ms apart: room within the reply time at
        // a fifth of real time.
        const std::string split = '"' + restore.toStdString() + "\" every pieces=32 gap_ms=15";
        QVERIFY(connectTo(state, {{"drop_reply", "\"read:G 21\""}, {"split_reply", split}}, 0.2));
        fx->boxes.expect(kReadError);
        read();
        QVERIFY(fx->boxes.verifyAllShown());
        QVERIFY(!Run.bDBMatchesEncoder);

        const std::size_t before = fx->sim().events().size();
        fx->boxes.expect(QStringLiteral("You Have Edited the Pager Database"), MsgAnswer::Yes);
        read();
        QVERIFY(fx->boxes.verifyAllShown());
        QCOMPARE(fx->boxes.shown().size(), 2);
        QCOMPARE(fx->view.panel(1), kMatches);

        const QList<QByteArray> guard = fx->sent(before).mid(0, 2);
        const QByteArray command = restore.toLatin1().chopped(2); // "CONFIG SERIAL1 IDASCAP"
        QCOMPARE(guard, (QList<QByteArray>{command + "?\r", command + " 0\r"}));
        const std::size_t beforeTheWrite = fx->sim().events().size();
        if (generation == 7)
            WriteEncoderDBV7();
        else
            WriteEncoderDB();
        QCOMPARE(fx->boxes.shown().size(), 2);
        QCOMPARE(fx->view.panel(1), QStringLiteral("Encoder Matches Current Configuration"));
        QCOMPARE(fx->sent(beforeTheWrite).mid(0, 2), (QList<QByteArray>{command + "?\r", command + " 0\r"}));
        QCOMPARE(fx->sim().getState().config.at(state.portKey(state.effectiveAttachedPort(), "idascap")), "1");
    }

    // The operator's cancel ends a read without a message; ID-as-capcode is put back all the
    // same. Closing the program stops a read there, and nothing more is sent or shown.
    void cancelAndClose_data()
    {
        QTest::addColumn<bool>("close");
        QTest::newRow("cancel") << false;
        QTest::newRow("the program closes") << true;
    }
    void cancelAndClose()
    {
        QFETCH(bool, close);
        DeviceState state = FullState(8);
        setIDAsCap(state, true);
        // Family 5 is never answered: the cancel or the close comes once the encoder has its
        // request, within its reply time.
        QVERIFY(connectTo(state, {{"drop_reply", "\"read:G 5\""}}, 0.2));
        fx->onEncoderEvent("read \"G 5\"", [&] {
            if (close)
                fx->closeProgram();
            else
                Link().cancel();
        });
        read();
        QCOMPARE(fx->boxes.shown().size(), 0);

        const QList<QByteArray> sent = fx->sent();
        QVERIFY(sent.contains(Block("G 5")));
        QVERIFY(!sent.contains(Block("G 6")));
        QVERIFY(!Run.bDBBusy() && !HourglassShown());
        if (close) {
            QCOMPARE(sent.last(), Block("G 5"));
            return;
        }
        QCOMPARE(sent.last(), QByteArray("CONFIG SERIAL1 IDASCAP 1\r"));
        QCOMPARE(fx->sim().getState().config.at("serial1 idascap"), std::string("1"));
        QCOMPARE(fx->view.panel(1), kProgress + QStringLiteral("Family 5"));
        QVERIFY(!Run.bDBMatchesEncoder);
        QVERIFY(Link().isOpen());
    }

    // The operator's cancel stays raised after it stopped the read, and does not end the
    // put-back's wait: the confirmation, come late, is taken, and the label says ON.
    void aCancelledReadWaitsForThePutBacksAnswer()
    {
        DeviceState state = FullState(9);
        setIDAsCap(state, true);
        // Family 5 is never answered; the switch-on is, 200 ms after it reached the encoder.
        QVERIFY(connectTo(state, {{"drop_reply", "\"read:G 5\""},
                                  {"delay_reply", "\"CONFIG SERIAL1 IDASCAP 1\" ms=2000"}}));
        Link().setReplyInterval(std::chrono::minutes(10)); // only an answer or the cancel ends a wait
        fx->onEncoderEvent("read \"G 5\"", [] { Link().cancel(); });
        read();
        QCOMPARE(fx->boxes.shown().size(), 0);
        QCOMPARE(fx->view.label(Label::IDAsCap), QStringLiteral("ID As Capcode Mode is ON for Port 1"));
        QCOMPARE(fx->sent().last(), QByteArray("CONFIG SERIAL1 IDASCAP 1\r"));
        QCOMPARE(fx->view.panel(1), kProgress + QStringLiteral("Family 5"));
        QVERIFY(!Run.bDBMatchesEncoder);
    }

    // A command the port cannot write stops the read with the port's own error box, shown once
    // in a read: the put-back that follows fails without a word when the read has shown it, and
    // shows it when it is the first to fail. The switch-on never reaches the encoder: the label
    // keeps to what the encoder confirmed last, OFF.
    void thePortsWriteErrorIsShownOnce_data()
    {
        // The port closes before family 5's request, or else while the Read Error box is up.
        QTest::addColumn<bool>("atARecord");
        QTest::newRow("a record's request") << true;
        QTest::newRow("the put-back") << false;
    }
    void thePortsWriteErrorIsShownOnce()
    {
        QFETCH(bool, atARecord);
        DeviceState state = FullState(9);
        setIDAsCap(state, true);
        QVERIFY(connectTo(state, atARecord ? Knobs{} : Knobs{{"drop_reply", "\"read:G 5\""}}));
        if (!atARecord)
            fx->onEncoderEvent("drop_reply fired", [] { LinkTestAccess::fireReplyTimer(Link()); });
        PortClosingView view;
        view.closeAt = atARecord ? kProgress + QStringLiteral("Family 5") : QString();
        Link().setView(&view);
        const auto fixturesViewAgain = qScopeGuard([this] { Link().setView(&fx->view); });
        const QString portError = QStringLiteral("Port not open"); // the serial layer's
        if (atARecord)
            fx->boxes.expect(portError).icon(MsgIcon::Exclamation);
        fx->boxes.expect(kReadError).title(QStringLiteral("Read Error")).then([atARecord] {
            if (!atARecord)
                (void)Link().closePort();
        });
        if (!atARecord)
            fx->boxes.expect(portError).icon(MsgIcon::Exclamation);
        read();
        QVERIFY(fx->boxes.verifyAllShown());
        QCOMPARE(fx->boxes.shown().size(), 2);
        QCOMPARE(view.label(Label::IDAsCap), QStringLiteral("ID As Capcode Mode is OFF for Port 1"));
        QCOMPARE(fx->sent().last(), Block(atARecord ? "G 4" : "G 5"));
        QCOMPARE(view.panel(1), kProgress + QStringLiteral("Family 5"));
        QVERIFY(!Run.bDBMatchesEncoder);
    }

    // A cancel that comes in the same look as the reply time-out counts as the time-out: the
    // read error, not a silent stop.
    void aCancelWithTheTimeoutIsAReadError()
    {
        QVERIFY(connectTo(FullState(8), {{"drop_reply", "\"read:G 5\""}}));
        WindowTimer &replyTimer = LinkTestAccess::replyTimer(Link());
        QMetaObject::Connection once;
        QObject row; // the link outlives the test: the connection ends with it
        once = connect(&replyTimer, &WindowTimer::Timer, &row, [&once] {
            Link().cancel();
            disconnect(once);
        });
        fx->boxes.expect(kReadError).title(QStringLiteral("Read Error"));
        read();
        QVERIFY(fx->boxes.verifyAllShown());
        QCOMPARE(fx->sent().last(), Block("G 5"));
        QCOMPARE(fx->view.panel(1), kProgress + QStringLiteral("Family 5"));
        QVERIFY(!Run.bDBMatchesEncoder);
    }

    // The guard's answer is a flag on its own line, or the encoder's refusal of a query it does
    // not know (off); no answer counts as off too. Any other answer leaves the mode unknown: the
    // read stops with its error box before it asks for or stores any setting, and switches
    // nothing.
    void theGuardMustGetAFlag_data() { AddGuardAnswerRows(); }
    void theGuardMustGetAFlag()
    {
        QFETCH(int, generation);
        QFETCH(QString, answer);
        QFETCH(GuardAnswer, counts);
        const bool goesOn = counts != GuardAnswer::Garbled;
        DeviceState state = FullState(generation);
        // A garbled answer meets the mode on, where records would be taken as pages; a read
        // that goes on meets it off (the guard counts no answer as off).
        setIDAsCap(state, !goesOn);
        // In real time, each answer of a read that goes on has the whole reply time however
        // loaded the machine; a guard that gets no answer has its wait run out once the encoder
        // has dropped the answer or sent the echo alone.
        const auto knob = GuardAnswerKnob(generation, answer);
        QVERIFY(connectTo(state, {knob, {"reply_latency_ms", "0"}}, 1.0));
        if (counts == GuardAnswer::None)
            fx->onEncoderEvent(knob.first + " fired", [] { LinkTestAccess::fireReplyTimer(Link()); });
        EncoderSettings.sMaxBatch = "old";
        EncoderSettings.bPort1IDAsCap = true;
        if (!goesOn)
            fx->boxes.expect(kReadError).title(QStringLiteral("Read Error")).icon(MsgIcon::None);
        read();
        QVERIFY(fx->boxes.verifyAllShown());
        if (goesOn) {
            QVERIFY(fx->boxes.shown().isEmpty());
            QCOMPARE(fx->view.panel(1), kMatches);
            QVERIFY(!EncoderSettings.bPort1IDAsCap);
            QCOMPARE(fx->view.label(Label::IDAsCap),
                     generation == 7 ? QStringLiteral("ID As Capcode Mode is OFF")
                                     : QStringLiteral("ID As Capcode Mode is OFF for Port 1"));
            return;
        }
        QCOMPARE(fx->boxes.shown().size(), 1);
        QCOMPARE(fx->sent(), QByteArrayList{GuardQuery(generation) + '\r'});
        QCOMPARE(EncoderSettings.sMaxBatch, QByteArray("old"));
        QVERIFY(EncoderSettings.bPort1IDAsCap); // as it was: the mode is not known
        QCOMPARE(fx->view.label(Label::IDAsCap), QString());
        QCOMPARE(DB.PagerGroups[0][GrpID], QByteArray("old"));
        QCOMPARE(fx->sim().getState().config.at("serial1 idascap"), std::string("1"));
        QVERIFY(!Run.bDBBusy());
        // Nothing was stored, yet the database is not known to be the encoder's.
        QVERIFY(!Run.bDBMatchesEncoder);
        QCOMPARE(fx->view.panel(1), kNoMatch);
    }

    // The ID-as-capcode check answered after its wait (no answer counts as off), in the
    // encoder's own form (a line ended by LF) and ended by CR LF: the late flag is never stored
    // as the setting the next query asks for, and the read never says it matches with it. It
    // stops with its error box; should the late answer be thrown away before the next query is
    // sent (a loaded machine), the read goes on with every answer in its place.
    void aLateCheckAnswerIsNeverASetting_data()
    {
        QTest::addColumn<int>("generation");
        QTest::addColumn<QByteArray>("firmware");
        QTest::addColumn<QByteArray>("ending");
        QTest::newRow("V9, LF") << 9 << QByteArray("9.7") << QByteArray("lf");
        QTest::newRow("V9, CR LF") << 9 << QByteArray("9.7") << QByteArray("crlf");
        QTest::newRow("9.01, the batch first, CR LF") << 9 << QByteArray("9.01") << QByteArray("crlf");
        QTest::newRow("V7, LF") << 7 << QByteArray("7.2") << QByteArray("lf");
        QTest::newRow("V7, CR LF") << 7 << QByteArray("7.2") << QByteArray("crlf");
    }
    void aLateCheckAnswerIsNeverASetting()
    {
        QFETCH(int, generation);
        QFETCH(QByteArray, firmware);
        QFETCH(QByteArray, ending);

        DeviceState state = FullState(generation);
        state.firmware = firmware.toStdString();
        if (generation != 7)
            state.config["sid"] = "W1AW";
        const std::string check = '"' + GuardQuery(generation).toStdString() + '"';
        Knobs knobs{{"delay_reply", check + " ms=400"}};
        if (ending == "crlf")
            knobs.push_back({"line_ending", check + " ending=crlf"});
        QVERIFY(connectTo(state, knobs, 1.0));
        fx->onEncoderEvent("delay_reply fired", [] { LinkTestAccess::fireReplyTimer(Link()); });
        EncoderSettings.sStationID = "old";
        EncoderSettings.sMaxBatch = "old";
        fx->boxes.expect(kReadError).title(QStringLiteral("Read Error"));
        read();

        QVERIFY(EncoderSettings.sStationID != "0");
        QVERIFY(EncoderSettings.sMaxBatch != "0");
        if (fx->boxes.pending() == 1) {
            fx->boxes.reset();
            QCOMPARE(fx->view.panel(1), kMatches);
            const QStringList settings = SettingsDifferences(state);
            QVERIFY2(settings.isEmpty(), qPrintable(settings.join(QLatin1String("; "))));
            return;
        }
        QCOMPARE(fx->boxes.shown().size(), 1);
        QCOMPARE(EncoderSettings.sStationID, QByteArray("old"));
        QCOMPARE(EncoderSettings.sMaxBatch, QByteArray("old"));
        QVERIFY(!Run.bDBMatchesEncoder);
        QCOMPARE(fx->view.panel(1), kProgress + (generation == 7 || firmware == "9.01" ? "Max Msgs/Batch" : "Station ID"));
    }

    // The check that gets no answer at all, ahead of a first answer that is a flag itself:
    // the read cannot tell it from the check's late answer and stops; answered in time, the
    // same flag is the setting.
    void aFlagFirstAfterAnUnansweredCheck_data()
    {
        QTest::addColumn<bool>("checkAnswered");
        QTest::newRow("the check unanswered") << false;
        QTest::newRow("the check answered") << true;
    }
    void aFlagFirstAfterAnUnansweredCheck()
    {
        QFETCH(bool, checkAnswered);
        DeviceState state = FullState(7);
        state.config["maxbatch"] = "1";
        QVERIFY(connectTo(state, checkAnswered ? Knobs{} : Knobs{{"drop_reply", '"' + GuardQuery(7).toStdString() + '"'}}));
        if (!checkAnswered)
            fx->onEncoderEvent("drop_reply fired", [] { LinkTestAccess::fireReplyTimer(Link()); });
        EncoderSettings.sMaxBatch = "old";
        if (!checkAnswered)
            fx->boxes.expect(kReadError).title(QStringLiteral("Read Error"));
        read();
        QVERIFY(fx->boxes.verifyAllShown());
        QCOMPARE(EncoderSettings.sMaxBatch, QByteArray(checkAnswered ? "1" : "old"));
        QCOMPARE(Run.bDBMatchesEncoder, checkAnswered);
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
        QVERIFY(connectTo(state, {{"replace_reply", QStringLiteral("\"%1\" bytes=%2").arg(command, reply).toStdString()}}));
        fx->view.BringToFront(TerminalView::Disc::Connected);
        fx->boxes.expect(kImproper).title(QStringLiteral("Paging Encoder Improper Response")).icon(MsgIcon::None);
        read();
        QVERIFY(fx->boxes.verifyAllShown());
        QCOMPARE(fx->boxes.shown().size(), 1);

        const QList<QByteArray> sent = fx->sent();
        QCOMPARE(sent.size(), sentCount);
        if (sentCount == 3) // no settings query, and one try to switch the mode back on
            QCOMPARE(sent.last(), generation == 7 ? QByteArray("CONFIG IDASCAP 1\r") : QByteArray("CONFIG SERIAL1 IDASCAP 1\r"));
        QCOMPARE(fx->sim().getState().config.at("serial1 idascap"), std::string("1"));
        QVERIFY(EncoderSettings.bPort1IDAsCap);
        QVERIFY(!Run.bDBMatchesEncoder);
        QVERIFY(fx->view.panel(1) != kMatches);
        QCOMPARE(fx->view.front, TerminalView::Disc::NotConnected);
        QVERIFY(Link().isOpen());
    }

    // A COMP1 port needs a default pager (the first pager ID of the first group): without one
    // the protocol is set to TAP in the displayed database, port 1 before port 2, after a
    // complete read and after a failed one. The port is found by its row's flag (flagged: the
    // code of the row that has it), not by the code "COMP1".
    void comp1NeedsADefaultPager_data()
    {
        QTest::addColumn<QByteArray>("port1");
        QTest::addColumn<QByteArray>("port2");
        QTest::addColumn<bool>("fail");
        QTest::addColumn<QByteArray>("port1After");
        QTest::addColumn<QByteArray>("port2After");
        QTest::addColumn<QByteArray>("flagged");
        QTest::newRow("port 2") << QByteArray("TAP") << QByteArray("COMP1") << false << QByteArray("TAP") << QByteArray("TAP")
                                << QByteArray("COMP1");
        QTest::newRow("both ports") << QByteArray("COMP1") << QByteArray("COMP1") << false << QByteArray("TAP")
                                    << QByteArray("COMP1") << QByteArray("COMP1");
        QTest::newRow("after a failed read") << QByteArray("TAP") << QByteArray("COMP1") << true << QByteArray("TAP")
                                             << QByteArray("TAP") << QByteArray("COMP1");
        QTest::newRow("the flag on another row") << QByteArray("COMP1") << QByteArray("SNPP") << false
                                                 << QByteArray("COMP1") << QByteArray("TAP") << QByteArray("SNPP");
    }
    void comp1NeedsADefaultPager()
    {
        QFETCH(QByteArray, port1);
        QFETCH(QByteArray, port2);
        QFETCH(bool, fail);
        QFETCH(QByteArray, port1After);
        QFETCH(QByteArray, port2After);
        QFETCH(QByteArray, flagged);
        std::vector<PagingProtocol> table(PagingProtocols().begin(), PagingProtocols().end());
        for (PagingProtocol &p : table)
            p.defaultPager = p.code == flagged;
        const PagingProtocolsReplaced replaced(table);

        DeviceState state = FullState(9);
        state.groups[0].f[8] = 0; // group 1 in use, without a first pager ID
        state.config["serial1 protocol"] = port1.toStdString();
        state.config["serial2 protocol"] = port2.toStdString();
        QVERIFY(connectTo(state, fail ? Knobs{{"drop_reply", "\"read:M 1\""}} : Knobs{}));
        if (fail)
            fx->boxes.expect(kReadError);
        fx->boxes.expect(kComp1).title(QStringLiteral("COMP1 Pager ID Not Defined"));
        read();
        QVERIFY(fx->boxes.verifyAllShown());
        QCOMPARE(EncoderSettings.sPort1Protocol, port1After);
        QCOMPARE(EncoderSettings.sPort2Protocol, port2After);
        QCOMPARE(Run.bDBMatchesEncoder, !fail);
        QCOMPARE(fx->sim().getState().config.at("serial2 protocol"), port2.toStdString()); // nothing sent
    }

    // A record request is answered only by its own record: a read that takes a late answer
    // to an earlier command shifts every answer after it onto the wrong item, which fails the
    // read like a time-out. An encoder that has rebooted into paging mode answers with its
    // port's prompts, which fail the read at the ID-as-capcode guard: its answer is no flag, so
    // nothing is read or stored, and the database is not taken for the encoder's.
    void onlyItsOwnRecordAnswersARequest_data()
    {
        QTest::addColumn<int>("generation");
        QTest::addColumn<QString>("pagingProtocol"); // empty: the encoder stays in programming mode
        QTest::addColumn<QStringList>("knobs");
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QString>("item");

        QTest::newRow("group 1 answered by the last setting's answer")
            << 9 << QString() << QStringList{"replace_reply=\"read:L 1\" bytes=2<CR><LF>"} << QByteArray("L 1")
            << "Group 1";
        QTest::newRow("family 1 answered by family 17's line")
            << 8 << QString()
            << QStringList{"replace_reply=\"read:G 1\" bytes=\"G 17 1 0420000 1 N 0 021 0332 00 03<CR><LF>\""}
            << QByteArray("G 1") << "Family 1";
        QTest::newRow("V7 message 3 answered by message 4's line")
            << 7 << QString()
            << QStringList{"replace_reply=\"read:M 3\" bytes=\"M 4 <0x22>Message 4<0x22><CR><LF>\""}
            << QByteArray("M 3") << "Message 3";
        for (const char *protocol : {"COMP1", "COMP2", "SCOPE", "SNPP"})
            QTest::addRow("rebooted into paging mode on a %s port", protocol)
                << 9 << QString::fromLatin1(protocol) << QStringList{} << QByteArray("CONFIG SERIAL1 IDASCAP?")
                << QString();
    }
    void onlyItsOwnRecordAnswersARequest()
    {
        QFETCH(int, generation);
        QFETCH(QString, pagingProtocol);
        QFETCH(QStringList, knobs);
        QFETCH(QByteArray, request);
        QFETCH(QString, item);

        DeviceState state = FullState(generation);
        if (!pagingProtocol.isEmpty())
            state.config["serial1 protocol"] = pagingProtocol.toStdString();
        QVERIFY(connectTo(state, KnobsFrom(knobs)));
        if (!pagingProtocol.isEmpty()) {
            fx->sim().powerCycle();
            QTRY_VERIFY(fx->sim().mode() == encsim::Mode::Paging);
        }
        fx->boxes.expect(kReadError).title(QStringLiteral("Read Error"));
        read();
        QVERIFY(fx->boxes.verifyAllShown());
        QCOMPARE(fx->boxes.shown().size(), 1);

        QCOMPARE(fx->view.panel(1), item.isEmpty() ? kNoMatch : kProgress + item);
        QVERIFY(!Run.bDBMatchesEncoder);
        if (request.startsWith("CONFIG")) {
            QCOMPARE(fx->sent(), QByteArrayList{request + '\r'}); // nothing after it
            QCOMPARE(fx->view.label(Label::IDAsCap), QString()); // the mode is not known
            QCOMPARE(DB.PagerGroups[0][GrpID], QByteArray("old"));
            return;
        }
        QVERIFY(!Run.bDBMatchesEncoder);
        QCOMPARE(fx->sent().last(), Block(request.toStdString())); // nothing after it
        const char kind = request.at(0);
        const std::size_t slot = std::size_t(request.mid(2).toInt() - 1);
        QVERIFY(kind == 'L' ? DB.PagerGroups[slot][GrpID] == "old"
                : kind == 'G' ? DB.Families[slot][FamActive] == "old"
                              : DB.CannedMsgs[slot] == "old message");
        QVERIFY(!Run.bDBMatchesEncoder);
        QVERIFY(!fx->view.enabled(Command::Lookup, true) && !fx->view.enabled(Command::SendMsg, true));
    }

    // An answer ends at its first CR LF: bytes that come with it after that are not part of
    // any value or field.
    void anAnswerEndsAtItsFirstLine_data()
    {
        QTest::addColumn<int>("generation");
        QTest::addColumn<QStringList>("after"); // commands whose answer has a second line
        QTest::newRow("V9") << 9 << QStringList{"config sid?", "config maxbatch?", "read:L 2", "read:G 3", "read:M 5"};
        QTest::newRow("V7") << 7 << QStringList{"config maxbatch?", "config pet?", "read:G 2", "read:M 5"};
    }
    void anAnswerEndsAtItsFirstLine()
    {
        QFETCH(int, generation);
        QFETCH(QStringList, after);
        Knobs knobs;
        for (const QString &command : after)
            knobs.emplace_back("garbage", ("\"" + command + "\" bytes=77<CR><LF>").toStdString());
        const DeviceState state = FullState(generation);
        QVERIFY(connectTo(state, knobs));
        read();
        QCOMPARE(fx->boxes.shown().size(), 0);
        QCOMPARE(fx->view.panel(1), kMatches);
        const QStringList differences = SettingsDifferences(state) + DatabaseDifferences(state);
        QVERIFY2(differences.isEmpty(), qPrintable(differences.join(QLatin1String("; "))));
    }

    // "ID=" in a reply is the logon prompt, except inside the operator's own texts: the quoted
    // text of a canned message and the station ID's value.
    void theLogonPromptIsNotInTheOperatorsTexts_data()
    {
        QTest::addColumn<int>("generation");
        QTest::addColumn<QStringList>("knobs");
        QTest::addColumn<QString>("failsAt"); // empty: the read succeeds

        QTest::newRow("V9 station ID and message") << 9 << QStringList{} << QString();
        QTest::newRow("V7 message") << 7 << QStringList{} << QString();
        QTest::newRow("after a message's closing quote")
            << 9 << QStringList{"replace_reply=\"read:M 12\" bytes=\"M 12 <0x22>CALLER ID=5<0x22> ID=<CR><LF>\""}
            << "Message 12";
        QTest::newRow("after the station ID's line") << 9 << QStringList{"garbage=\"config sid?\" bytes=ID="}
                                                     << "Station ID";
    }
    void theLogonPromptIsNotInTheOperatorsTexts()
    {
        QFETCH(int, generation);
        QFETCH(QStringList, knobs);
        QFETCH(QString, failsAt);

        DeviceState state = FullState(generation);
        state.config["sid"] = "W1AW ID=3";
        state.messages[11] = "CALLER ID=5";
        QVERIFY(connectTo(state, KnobsFrom(knobs)));
        if (!failsAt.isEmpty())
            fx->boxes.expect(kReadError).title(QStringLiteral("Read Error"));
        read();
        QVERIFY(fx->boxes.verifyAllShown());
        if (!failsAt.isEmpty()) {
            QCOMPARE(fx->view.panel(1), kProgress + failsAt);
            QVERIFY(!Run.bDBMatchesEncoder);
            return;
        }
        QCOMPARE(fx->boxes.shown().size(), 0);
        QCOMPARE(fx->view.panel(1), kMatches);
        QCOMPARE(DB.CannedMsgs[11], QByteArray("CALLER ID=5"));
        const QStringList differences = SettingsDifferences(state) + DatabaseDifferences(state);
        QVERIFY2(differences.isEmpty(), qPrintable(differences.join(QLatin1String("; "))));
    }
};

QTEST_MAIN(TestReader)
#include "tst_reader.moc"
