// Reading the encoder without windows: both readers through the link against the simulated
// encoder, for every generation; the errors with their one message box (answers that are not
// the command's among them), the ID-as-capcode switch and its restore, the cancel, the
// program's close and the COMP1 check. (The questions before a read are asked through the
// windows: tests/e2e.)

#include <QtTest>

#include "encoder/read/reader.h"
#include "encoder/transferfixture.h"
#include "support/linktestaccess.h"
#include "encoder/controlbytes.h"
#include "model/dbfile.h"

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
        QVERIFY(connectTo(state, {{knob.toStdString(), value.toStdString()}}));
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
    // say; some add an LF after each CR) changes nothing in what is read: the displayed
    // database, the settings and the saved file are those of a read on a plain line.
    void anEchoingLineReadsTheSame_data()
    {
        QTest::addColumn<int>("generation");
        QTest::addColumn<QStringList>("knobs");
        QTest::newRow("V9, echo") << 9 << QStringList{"echo=on"};
        QTest::newRow("V9, echo with CR LF, at the line's pace") << 9 << QStringList{"echo=crlf", "pacing=burst"};
        QTest::newRow("V9, the encoder's own echo") << 9 << QStringList{"echo_commands=on"};
        QTest::newRow("V7, echo") << 7 << QStringList{"echo=on"};
        QTest::newRow("V7, echo with CR LF") << 7 << QStringList{"echo=crlf"};
    }
    void anEchoingLineReadsTheSame()
    {
        QFETCH(int, generation);
        QFETCH(QStringList, knobs);
        DeviceState state = FullState(generation);
        setIDAsCap(state, true);

        QVERIFY(connectTo(state));
        read();
        QCOMPARE(fx->view.panel(1), kMatches);
        const QByteArray plainFile = WriteDBFile("notes");

        fx.reset();
        QVERIFY(connectTo(state, KnobsFrom(knobs)));
        read();
        QCOMPARE(fx->boxes.shown().size(), 0);
        QCOMPARE(fx->view.panel(1), kMatches);
        QVERIFY(Run.bDBMatchesEncoder);
        const QStringList differences = SettingsDifferences(state) + DatabaseDifferences(state);
        QVERIFY2(differences.isEmpty(), qPrintable(differences.join(QLatin1String("; "))));
        QCOMPARE(WriteDBFile("notes"), plainFile);
        QVERIFY(fx->sim().getState().config == state.config); // ID-as-capcode back on
        QVERIFY(fx->received().contains("config maxbatch?\r")); // the line did echo
    }

    // A settings answer whose value still holds a control byte (a bare CR, say) is not a value:
    // the read ends as on a time-out, and the setting keeps what it held.
    void aValueHoldingAControlByteIsNoAnswer_data()
    {
        QTest::addColumn<int>("generation");
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("status");
        QTest::newRow("V9 protocol with a bare CR")
            << 9 << "config serial1 protocol?" << "T<CR>AP<CR><LF>" << "Port 1 Protocol";
        QTest::newRow("V9 station ID with an LF") << 9 << "config sid?" << "RELAY<LF>7<CR><LF>" << "Station ID";
        QTest::newRow("V9 batch size with a tab") << 9 << "config maxbatch?" << "2<0x09>5<CR><LF>" << "Max Msgs/Batch";
        QTest::newRow("V7 flow with a bare CR")
            << 7 << "config altfc?" << "altfc<CR>1<CR><LF>" << "NAK Before Flow Mode";
    }
    void aValueHoldingAControlByteIsNoAnswer()
    {
        QFETCH(int, generation);
        QFETCH(QString, command);
        QFETCH(QString, answer);
        QFETCH(QString, status);
        const QString knob = QLatin1Char('"') + command + QStringLiteral("\" bytes=") + answer;
        QVERIFY(connectTo(FullState(generation), {{"replace_reply", knob.toStdString()}}));
        const EncoderConfig before = EncoderSettings;
        fx->boxes.expect(kReadError).title(QStringLiteral("Read Error")).icon(MsgIcon::None);
        read();
        QVERIFY(fx->boxes.verifyAllShown());
        QCOMPARE(fx->boxes.shown().size(), 1);
        QCOMPARE(fx->view.panel(1), kProgress + status);
        QVERIFY(!Run.bDBMatchesEncoder);
        QCOMPARE(fx->sent().last(), command.toLatin1() + (generation == 7 ? "\r\n" : "\r"));
        // Nothing of the answer was stored.
        if (generation == 7)
            QCOMPARE(EncoderSettings.sPort1Flow, before.sPort1Flow);
        else
            QCOMPARE(EncoderSettings.sPort1Protocol, before.sPort1Protocol);
        QVERIFY(!HoldsControlByte(WriteDBFile(QByteArray()).replace("\r\n", "")));
    }

    // A line that goes away during the read: the read error, and the port's own error once
    // (when the attempt to switch ID-as-capcode back on cannot be written).
    void aLineThatGoesAwayIsReportedOnce()
    {
        DeviceState state = FullState(9);
        setIDAsCap(state, true);
        QVERIFY(connectTo(state, {{"hangup", "\"read:G 21\""}}));
        fx->boxes.expect(kReadError).title(QStringLiteral("Read Error"));
        fx->boxes.expect(QString()).icon(MsgIcon::Exclamation).buttons(MsgButtons::OK);
        read();
        QVERIFY(fx->boxes.verifyAllShown());
        QCOMPARE(fx->boxes.shown().size(), 2);
        QVERIFY(!fx->boxes.shown().last().text.isEmpty());
        QCOMPARE(fx->view.panel(1), kProgress + QStringLiteral("Family 21"));
        QCOMPARE(fx->view.label(Label::IDAsCap), QStringLiteral("ID As Capcode Mode is OFF for Port 1"));
        QVERIFY(!Run.bDBMatchesEncoder);
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

    // A cancel that comes in the same look as the reply time-out counts as the time-out: the
    // read error, not a silent stop.
    void aCancelWithTheTimeoutIsAReadError()
    {
        QVERIFY(connectTo(FullState(8), {{"drop_reply", "\"read:G 5\""}}));
        WindowTimer &replyTimer = LinkTestAccess::replyTimer(Link());
        QMetaObject::Connection once;
        once = connect(&replyTimer, &WindowTimer::Timer, this, [&once] {
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
    // complete read and after a failed one.
    void comp1NeedsADefaultPager_data()
    {
        QTest::addColumn<QByteArray>("port1");
        QTest::addColumn<QByteArray>("port2");
        QTest::addColumn<bool>("fail");
        QTest::addColumn<QByteArray>("port1After");
        QTest::addColumn<QByteArray>("port2After");
        QTest::newRow("port 2") << QByteArray("TAP") << QByteArray("COMP1") << false << QByteArray("TAP") << QByteArray("TAP");
        QTest::newRow("both ports") << QByteArray("COMP1") << QByteArray("COMP1") << false << QByteArray("TAP")
                                    << QByteArray("COMP1");
        QTest::newRow("after a failed read") << QByteArray("TAP") << QByteArray("COMP1") << true << QByteArray("TAP")
                                             << QByteArray("TAP");
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

    // A record request is answered only by its own record. A read that takes a late answer
    // to an earlier command shifts every answer after it onto the wrong item, and an encoder
    // that has rebooted into paging mode answers with its port's prompts: both reach the first
    // record as an answer that is not that record, which fails the read like a time-out.
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
                << 9 << QString::fromLatin1(protocol) << QStringList{} << QByteArray("L 1") << "Group 1";
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

        QCOMPARE(fx->view.panel(1), kProgress + item);
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
