// Programming the encoder without windows: both writers through the link against the
// simulated encoder. Each test puts the program in the state detection leaves (port open at
// 9600 baud on an encoder in programming mode, generation, firmware and attached port noted)
// and runs the writer of the generation.

#include <QtTest>

#include "encoder/read/reader.h"
#include "encoder/settingforms.h"
#include "encoder/transferfixture.h"
#include "support/linktestaccess.h"
#include "encoder/write/writer.h"
#include "encoder/write/writerecords.h"
#include "model/dbfile.h"

#include <QRegularExpression>

using namespace encodertest;
using Command = TerminalView::Command;
using Label = TerminalView::Label;

namespace {

const QString kWriteError = QStringLiteral(
    "Error Writing Pager Database at\r9600,n,8,1  COM Port 1\rPlease Check Connections, Paging "
    "Encoder Configuration,\ror COM Port Settings, and Try Again");
const QByteArray kMatches = "Encoder Matches Current Configuration";
// No line pacing: every answer, the modulation attenuation's included, comes as soon as the
// encoder has it.
const Knobs kFast = {{"pacing", "off"}};

QStringList lines(const std::string &text)
{
    return QString::fromLatin1(text.c_str()).split(QLatin1Char('\n'));
}

// The settings lines of a two-port write at the program's start values.
QByteArrayList twoPortDefaultSettings(bool stationID)
{
    QByteArrayList s{"config invertdata 1\r"};
    if (stationID)
        s << "config sid \r" << "config sidint 14\r";
    s << "config invertrfcd 0\r" << "config dutycycle 66\r" << "config maxbatch 10\r"
      << "config CAPBY8 0\r" << "config serial1 pphreset 1\r" << "config serial2 pphreset 1\r"
      << "config ignorerfcd 0\r" << "config serial2 idascap 0\r" << "config serial1 verbose 0\r"
      << "config serial2 verbose 0\r" << "config serial1 flow HW\r" << "config serial2 flow HW\r"
      << "config serial1 protocol TAP\r" << "config serial2 protocol TAP\r"
      << "config serial1 baud 9600\r" << "config serial2 baud 9600\r"
      << "config serial1 databits N81\r" << "config serial2 databits N81\r";
    return s;
}

// The 75 records of an empty database, as "[pager ID] record text".
QByteArrayList emptyRecords(bool v7)
{
    const QByteArray id = v7 ? "[052e39] " : "[0047d16] ";
    QByteArrayList r;
    for (int n = 1; n <= 10; ++n)
        r << id + "L " + QByteArray::number(n) +
                 (v7 ? " 0 0 0 0 0 0 0 0" : " 0000 0 0 00 0 00 0 00" + QByteArray(" 0000").repeated(20));
    for (int n = 1; n <= 50; ++n)
        r << id + "G " + QByteArray::number(n) + " 0 8 5 A 0 0 0 0 0";
    for (int n = 1; n <= 15; ++n)
        r << id + "M " + QByteArray::number(n) + " \"\"";
    return r;
}

PagerGroupRec group(std::initializer_list<const char *> head, QByteArrayList pagers, const char *defined)
{
    PagerGroupRec g{};
    int f = 0;
    for (const char *h : head)
        g[f++] = h;
    for (int i = 0; i < GroupPagerIDs; ++i)
        g[GrpPagerID1 + i] = i < pagers.size() ? pagers[i] : "0000";
    g[GrpDefined] = defined;
    return g;
}

// A database with every kind of record: defined, inactive, wrongly marked and undefined families,
// groups with and without members, messages with quotes and a Latin-1 letter. The simulated
// encoder's state it must leave is the generation's factory state with these records.
encsim::DeviceState fillDatabase(int generation)
{
    DB.Families[0] = {"1", "1234000", "5", "A", "3", "050", "0100", "00", "00", "YES"};
    DB.Families[1] = {"1", "1300000", "1", "N", "0", "020", "200", "01", "2", "YES"};
    DB.Families[2] = {"0", "0204800", "2", "N", "2", "250", "1000", "15", "00", "YES"};
    DB.Families[3] = {"1", "0999999", "5", "A", "1", "010", "300", "00", "00", "yes"};
    DB.Families[49] = {"1", "2000000", "2", "A", "3", "999", "8000", "03", "04", "YES"};
    DB.PagerGroups[0] = group({"10", "1", "0", "00", "0", "00", "0", "00"}, {"0100", "0101", "0102", "0200"}, "YES");
    DB.PagerGroups[0][GrpReference] = "REF1";
    DB.PagerGroups[4] = group({"44", "1"}, {"0100"}, "NO");
    DB.PagerGroups[9] = group({"12", "1", "0", "00", "0", "00", "1", "03"}, {"0150"}, "YES");
    DB.CannedMsgs[0] = "Call the office";
    DB.CannedMsgs[1] = "Meeting in 5 minutes";
    DB.CannedMsgs[14] = "Say \"hi\" at the caf\xe9";

    encsim::DeviceState s = encsim::DeviceState::factory(generation);
    for (encsim::Family &f : s.families)
        f = encsim::Family{0, 8, 5, "A", 0, 0, 0, 0, 0};
    s.families[0] = {1, 1234000, 5, "A", 3, 50, 100, 0, 0};
    s.families[1] = {1, 1300000, 1, "N", 0, 20, 200, 1, 2};
    s.families[2] = {0, 204800, 2, "N", 2, 250, 1000, 15, 0};
    s.families[49] = {1, 2000000, 2, "A", 3, 999, 8000, 3, 4};
    s.groups[0].f = {10, 1, 0, 0, 0, 0, 0, 0, 100, 101, 102, 200};
    s.groups[9].f = {12, 1, 0, 0, 0, 0, 1, 3, 150};
    s.messages[0] = "Call the office";
    s.messages[1] = "Meeting in 5 minutes";
    s.messages[14] = "Say \"hi\" at the caf\xe9";
    return s;
}

} // namespace

class TestWriter : public QObject {
    Q_OBJECT

    std::unique_ptr<TransferFixture> fx;

    encsim::Simulator &sim() { return fx->sim(); }

    // The program as detection leaves it, on the encoder of state. The encoder's clock runs at
    // a twentieth of real time, the program's waits in real time: the encoder's answers, not a
    // loaded machine, end them. A wait that no answer ends is run out by the test.
    [[nodiscard]] bool connectTo(encsim::DeviceState state, Knobs knobs = kFast)
    {
        fx = std::make_unique<TransferFixture>(0.05);
        const bool connected = fx->connectTo(std::move(state), std::move(knobs));
        SetTimeScale(1.0);
        return connected;
    }

    // A wait that no answer ends runs out once the encoder has logged what keeps the answer
    // away (a knob that takes it away, bends it or loses it with the line, a refusal).
    void runOutOnce(std::string encoderEvent)
    {
        fx->onEncoderEvent(std::move(encoderEvent), [] { LinkTestAccess::fireReplyTimer(Link()); });
    }
    void runOutOnceFired(const QString &knob) { runOutOnce((knob + QStringLiteral(" fired")).toStdString()); }

    void program()
    {
        if (Run.bV7Encoder)
            WriteEncoderDBV7();
        else
            WriteEncoderDB();
    }

    // Everything the program sent, one command or record block per entry: command texts with
    // their endings, record blocks as "[pager ID] record text" (the encoder checks the checksums).
    QByteArrayList sent()
    {
        QByteArray all;
        for (const encsim::Event &e : sim().events())
            if (e.kind == encsim::EventKind::Input)
                all += QByteArray::fromStdString(e.bytes);
        QByteArrayList units;
        qsizetype i = 0;
        while (i < all.size()) {
            if (all[i] == '\x02') {
                const qsizetype cr = all.indexOf('\r', i), etx = all.indexOf('\x03', i);
                units << "[" + all.mid(i + 1, cr - i - 1) + "] " + all.mid(cr + 1, etx - cr - 2);
                i = etx + 5;
                continue;
            }
            qsizetype end = i;
            while (end < all.size() && all[end] != '\r' && all[end] != '\n')
                ++end;
            end += end < all.size() && all[end] == '\r' && end + 1 < all.size() && all[end + 1] == '\n' ? 2 : 1;
            units << all.mid(i, end - i);
            i = end;
        }
        return units;
    }

    void verifyNothingRefused()
    {
        const encsim::Stats s = sim().stats();
        QCOMPARE(s.refusals + s.warnings + s.violations, 0);
    }

    // What every road after the start leaves behind.
    void verifyCleanedUp()
    {
        QVERIFY(!Run.bDBBusy());
        QVERIFY(!Link().cancelled());
        QVERIFY(!HourglassShown());
        QVERIFY(!fx->view.cancelWindowShown);
        QVERIFY(!LinkTestAccess::replyTimer(Link()).Enabled());
        QVERIFY(!LinkTestAccess::replyTimedOut(Link()));
        QVERIFY(fx->view.toolbarEnabled);
    }

    QString status() { return fx->view.panel(1); }

private slots:
    void cleanup() { fx.reset(); }

    // The database lands in a factory encoder field for field: a V9's opened from a file and
    // programmed with the toolbar's button at the real line rate, a V7's set in the program.
    void writesTheDatabaseIntoAFactoryEncoder_data()
    {
        QTest::addColumn<int>("generation");
        QTest::newRow("V9 from a file's contents") << 9;
        QTest::newRow("V7") << 7;
    }
    void writesTheDatabaseIntoAFactoryEncoder()
    {
        QFETCH(int, generation);
        const bool v7 = generation == 7;
        QVERIFY(connectTo(encsim::DeviceState::factory(generation)));
        encsim::DeviceState expected = fillDatabase(generation);
        if (v7) {
            EncoderSettings.bInvertData = EncoderSettings.bPETSupport = EncoderSettings.bInvertRFCD = EncoderSettings.bBriefAck = EncoderSettings.bNakBeforeFlow = true;
            EncoderSettings.sDutyCycle = "40";
            EncoderSettings.sMaxBatch = "5";
            EncoderSettings.bPort1PPHReset = false;
            EncoderSettings.bPort1IDAsCap = true;
            Run.bDBMatchesEncoder = false;
            for (const auto &[k, v] : {std::pair{"invertdata", "1"}, {"pet", "1"}, {"invertrfcd", "0"},
                                       {"dutycycle", "40"}, {"maxbatch", "5"}, {"serial1 pphreset", "0"},
                                       {"briefack", "1"}, {"altfc", "1"}, {"serial1 idascap", "1"}})
                expected.config[k] = v;
        } else {
            ClearDatabase(); // the same records from the file, but family 3 is inactive: not in use
            expected.families[2] = {0, 8, 5, "A", 0, 0, 0, 0, 0};
            QByteArray file;
            const auto line = [&](const QByteArray &l) { file += l + "\r\n"; };
            line("Fam1,1,1234000,5,A,3,050,0100,00,00");
            line("Fam2,1,1300000,1,N,0,020,200,01,2");
            line("Fam3,0,0204800,2,N,2,250,1000,15,00");
            for (int n = 4; n <= 49; ++n)
                line("Fam" + QByteArray::number(n) + ",0,0000000,5,A,0,000,000,00,00");
            line("Fam50,1,2000000,2,A,3,999,8000,03,04");
            line("Grp1,0010,1,0,00,0,00,0,00,0100,0101,0102,0200" + QByteArray(",0000").repeated(16) + ",REF1");
            for (int n = 2; n <= 9; ++n)
                line("Grp" + QByteArray::number(n) + ",0000,0,0,00,0,00,0,00" + QByteArray(",0000").repeated(20) +
                     ",");
            line("Grp10,12,1,0,00,0,00,1,03,0150" + QByteArray(",0000").repeated(19) + ",");
            line("Msg1,Call the office");
            line("Msg2,Meeting in 5 minutes");
            for (int n = 3; n <= 14; ++n)
                line("Msg" + QByteArray::number(n) + ",");
            line("Msg15,Say \"hi\" at the caf\xe9");
            for (const char *l : {"InvertData,1", "InvertRFCD,0", "DutyCycle,50", "MaxBatch,20", "IgnoreRFCD,1",
                                  "IncCapsby8,1", "Serial1 PPHReset,0", "Serial2 PPHReset,1", "Serial1 IDAsCap,1",
                                  "Serial2 IDAsCap,0", "Serial1 Flow,NONE", "Serial2 Flow,SW",
                                  "Serial1 Protocol,TAP", "Serial2 Protocol,COMP1", "Serial1 Baud,2400",
                                  "Serial2 Baud,1200", "Serial1 Databits,E71", "Serial2 Databits,N81",
                                  "Serial1 Verbose,1", "Serial2 Verbose,0", "Notes,\"north site\""})
                line(l);
            ReadDBFile(file);
            Run.bDBMatchesEncoder = false;
            EncoderSettings.sStationID = "KB1XYZ"; // not kept in the file
            for (const auto &[k, v] :
                 {std::pair{"invertdata", "0"}, {"sid", "KB1XYZ"}, {"dutycycle", "50"}, {"maxbatch", "20"},
                  {"ignorerfcd", "1"}, {"capby8", "1"}, {"serial1 pphreset", "0"}, {"serial1 idascap", "1"},
                  {"serial1 flow", "NONE"}, {"serial2 flow", "SW"}, {"serial2 protocol", "COMP1"},
                  {"serial1 baud", "2400"}, {"serial2 baud", "1200"}, {"serial1 databits", "E71"},
                  {"serial1 verbose", "1"}})
                expected.config[k] = v;
        }
        bool busyMidWrite = false;
        fx->onEncoderEvent("write G 25 stored", [&] { busyMidWrite = Run.bDBBusy(); });
        program();

        QCOMPARE(lines(sim().saveState()), lines(expected.toText()));
        verifyNothingRefused();
        QVERIFY(busyMidWrite);
        QCOMPARE(status(), QString::fromLatin1(kMatches));
        QVERIFY(Run.bDBMatchesEncoder);
        QVERIFY(fx->view.enabled(Command::Lookup) && fx->view.enabled(Command::SendMsg));
        verifyCleanedUp();
        // The V7 label keeps what the guard found; the two-port label ends on port 2's setting.
        QCOMPARE(fx->view.label(Label::IDAsCap), v7 ? QStringLiteral("ID As Capcode Mode is OFF")
                                           : QStringLiteral("ID As Capcode Mode is OFF for Port 2"));
        QCOMPARE(Link().replyInterval().count(), v7 ? 8000 : 4000);
    }

    // What the program reads from one encoder it writes into another: the second ends up
    // holding the first one's settings and database. Empty family slots go out as the program's
    // empty-slot line (start capcode 8).
    void oneEncodersDatabaseLandsInAnother()
    {
        encsim::DeviceState source = fillDatabase(9);
        ClearDatabase();
        source.families[20] = encsim::Family{}; // an empty slot as it leaves the factory
        source.config["serial1 idascap"] = "1";
        for (const auto &[k, v] : {std::pair{"sid", "RELAY 7"}, {"maxbatch", "25"}, {"dutycycle", "80"},
                                   {"ignorerfcd", "1"}, {"invertrfcd", "1"}, {"invertdata", "0"}, {"capby8", "1"},
                                   {"serial2 idascap", "1"}, {"serial1 flow", "SW"}, {"serial2 flow", "ASW"},
                                   {"serial1 pphreset", "0"}, {"serial2 protocol", "SCOPE"},
                                   {"serial2 verbose", "1"}, {"serial1 databits", "E71"}, {"serial2 baud", "300"}})
            source.config[k] = v;
        QVERIFY(connectTo(source));
        ReadEncoderDB();
        QVERIFY(Run.bDBMatchesEncoder);
        QVERIFY(EncoderSettings.bPort1IDAsCap && EncoderSettings.bPort2IDAsCap);

        SimEncoder other(encsim::DeviceState::factory(9), encsim::Mode::Programming, kFast, 2);
        QVERIFY2(other.ok(), qPrintable(other.error()));
        QVERIFY(!Link().closePort());
        QVERIFY(!Link().setPortNumber(2));
        QVERIFY(!Link().openPort());
        program();
        QCOMPARE(status(), QString::fromLatin1(kMatches));

        QStringList expected = lines(sim().saveState());
        expected.replaceInStrings(QRegularExpression(QStringLiteral("^(G \\d+) 0 0000000 5 A 0 000 0000 00 00$")),
                                  QStringLiteral("\\1 0 0000008 5 A 0 000 0000 00 00"));
        QCOMPARE(lines(other->saveState()), expected);
        QCOMPARE(other->stats().refusals + other->stats().warnings + other->stats().violations, 0);
    }

    void commandSequence_data()
    {
        QTest::addColumn<int>("generation");
        QTest::addColumn<QByteArray>("firmware");
        QTest::addColumn<bool>("testEnabled");
        QTest::addColumn<QByteArrayList>("expected");
        const QByteArrayList last{"config serial1 idascap 0\r", "config serial2 idascap 0\r"};
        const QByteArrayList guard{"CONFIG SERIAL1 IDASCAP?\r"};
        QTest::newRow("9.7") << 9 << QByteArray("9.7") << false
                             << guard + twoPortDefaultSettings(true) + emptyRecords(false) + last;
        QTest::newRow("9.01: no station ID") << 9 << QByteArray("9.01") << false
                                             << guard + twoPortDefaultSettings(false) + emptyRecords(false) + last;
        QByteArrayList sFirmware = twoPortDefaultSettings(true);
        sFirmware.replace(sFirmware.indexOf("config serial2 pphreset 1\r"), "config serial2 pphreset 0\r");
        QTest::newRow("9.01S: port 2 reset off") << 9 << QByteArray("9.01S") << false
                                                 << guard + sFirmware + emptyRecords(false) + last;
        QTest::newRow("8.12, tuning enabled")
            << 8 << QByteArray("8.12") << true
            << guard + QByteArrayList{"CONFIG MODATTENC 8\r", "CONFIG MODATTENF 2\r"} +
                   twoPortDefaultSettings(true) + emptyRecords(false) + last;
        const QByteArrayList v7{"CONFIG IDASCAP?\r",       "config invertdata 0\r\n", "config pet 0\r\n",
                                "config invertrfcd 1\r\n", "config dutycycle 66\r\n", "config maxbatch 10\r\n",
                                "config pphreset 1\r\n",   "config ignorerfcd 0\r\n", "config briefack 0\r\n",
                                "config altfc 0\r\n"};
        QTest::newRow("7.2, tuning enabled") << 7 << QByteArray("7.2") << true
                                             << v7 + emptyRecords(true) + QByteArrayList{"config idascap 0\r\n"};
    }
    void commandSequence()
    {
        QFETCH(int, generation);
        QFETCH(QByteArray, firmware);
        QFETCH(bool, testEnabled);
        QFETCH(QByteArrayList, expected);
        encsim::DeviceState state = encsim::DeviceState::factory(generation);
        state.firmware = firmware.toStdString();
        QVERIFY(connectTo(state));
        Run.bTestEnabled = testEnabled;
        program();
        QCOMPARE(sent(), expected);
        QCOMPARE(EncoderSettings.bPort2PPHReset, !firmware.contains('S'));
        QCOMPARE(status(), QString::fromLatin1(kMatches));
    }

    // Port 2's baud as a read stores it from an encoder without that port ("Invalid"), and a
    // duty cycle as a file may hold it ("+10"): the encoder gets no port 2 baud and the duty
    // cycle as a read gives it back, refuses nothing, and the write ends matching.
    void aStoredRefusalStaysOutAndNumbersGoAsRead()
    {
        QVERIFY(connectTo(encsim::DeviceState::factory(9)));
        EncoderSettings.sPort2Baud = SettingRefusal;
        EncoderSettings.sDutyCycle = "+10";
        program();
        QByteArrayList expected = QByteArrayList{"CONFIG SERIAL1 IDASCAP?\r"} + twoPortDefaultSettings(true) +
                                  emptyRecords(false) +
                                  QByteArrayList{"config serial1 idascap 0\r", "config serial2 idascap 0\r"};
        QVERIFY(expected.removeOne("config serial2 baud 9600\r"));
        expected.replace(expected.indexOf("config dutycycle 66\r"), "config dutycycle 10\r");
        QCOMPARE(sent(), expected);
        verifyNothingRefused();
        QCOMPARE(fx->boxes.shown().size(), 0); // no "Settings Refused"
        QCOMPARE(status(), QString::fromLatin1(kMatches));
    }

    void aFailedExchangeEndsTheWrite_data()
    {
        QTest::addColumn<int>("generation");
        QTest::addColumn<QString>("knob");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("lastSent");
        QTest::addColumn<QString>("lastStatus");
        QTest::addColumn<bool>("matchedBefore");
        QTest::newRow("setting unanswered")
            << 9 << "drop_reply" << "\"config maxbatch\"" << QByteArray("config maxbatch 10\r")
            << "Writing Pager Database - Max Msgs/Batch 10" << true;
        QTest::newRow("setting ended by a lone CR")
            << 9 << "line_ending" << "\"config sidint\" ending=cr" << QByteArray("config sidint 14\r")
            << "Writing Pager Database - Station ID Interval: 14 min." << false;
        QTest::newRow("log-on prompt to a setting") << 9 << "inject_id_prompt" << "\"config dutycycle\""
                                                    << QByteArray("config dutycycle 66\r")
                                                    << "Writing Pager Database - Duty Cycle 66%" << false;
        QTest::newRow("log-on prompt with the acknowledgement")
            << 9 << "record_ack" << "\"write:G 3\" bytes=ID=<RS><CR>"
            << QByteArray("[0047d16] G 3 0 8 5 A 0 0 0 0 0") << "Writing Pager Database - Family 3" << true;
        QTest::newRow("port 1's ID-as-capcode unanswered: port 2's not sent")
            << 9 << "drop_reply" << "\"config serial1 idascap 0\"" << QByteArray("config serial1 idascap 0\r")
            << "Writing Pager Database - ID Assumed as Capcode OFF for Port 1" << true;
        QTest::newRow("V7 message record unanswered") << 7 << "drop_reply" << "\"write:M 15\""
                                                      << QByteArray("[052e39] M 15 \"\"")
                                                      << "Writing Pager Database - Message 15" << false;
        QTest::newRow("V7 setting with the log-on prompt")
            << 7 << "inject_id_prompt" << "\"config altfc\"" << QByteArray("config altfc 0\r\n")
            << "Writing Pager Database - Flow Control Before ACK OFF" << true;
    }
    void aFailedExchangeEndsTheWrite()
    {
        QFETCH(int, generation);
        QFETCH(QString, knob);
        QFETCH(QString, value);
        QFETCH(QByteArray, lastSent);
        QFETCH(QString, lastStatus);
        QFETCH(bool, matchedBefore);
        QVERIFY(connectTo(encsim::DeviceState::factory(generation)));
        QVERIFY(sim().setKnob(knob.toStdString(), value.toStdString()));
        runOutOnceFired(knob);
        Run.bDBMatchesEncoder = matchedBefore;
        fx->boxes.expect(kWriteError).title("Write Error").buttons(MsgButtons::OK).icon(MsgIcon::None);
        program();
        QCOMPARE(sent().last(), lastSent);
        QCOMPARE(status(), lastStatus);
        QCOMPARE(Run.bDBMatchesEncoder, matchedBefore);
        verifyCleanedUp();
    }

    // A setting the encoder answers "Invalid" does not stop the write; at its end a box names
    // every refused setting by its progress text, and the database does not count as matching
    // the encoder.
    void refusedSettingsAreNamed_data()
    {
        QTest::addColumn<int>("generation");
        QTest::addColumn<QByteArray>("firmware");
        QTest::addColumn<QByteArray>("maxBatch");
        QTest::addColumn<QByteArray>("port2Protocol");
        QTest::addColumn<QStringList>("knobs");
        QTest::addColumn<bool>("matchedBefore");
        QTest::addColumn<QByteArray>("lastSent");
        QTest::addColumn<QStringList>("refused");
        QTest::newRow("V9: a batch size, SNPP before 9.7, port 2's ID-as-capcode")
            << 9 << QByteArray("9.6") << QByteArray("-5") << QByteArray("SNPP")
            << QStringList{"replace_reply=\"config serial2 idascap 0\" nth:2 bytes=Invalid<CR><LF>"} << false
            << QByteArray("config serial2 idascap 0\r")
            << QStringList{"Max Msgs/Batch -5", "Protocol: SNPP for Port 2", "ID Assumed as Capcode OFF for Port 2"};
        QTest::newRow("V7: PET (its answer ends at CR), a batch size, ID-as-capcode")
            << 7 << QByteArray("7.2") << QByteArray("-5") << QByteArray("TAP")
            << QStringList{"replace_reply=\"config pet\" bytes=Invalid<CR>",
                           "replace_reply=\"config idascap 0\" bytes=Invalid<CR><LF>"}
            << true << QByteArray("config idascap 0\r\n")
            << QStringList{"PET Protocol Support OFF", "Max Msgs/Batch -5", "ID Assumed as Capcode OFF"};
    }
    void refusedSettingsAreNamed()
    {
        QFETCH(int, generation);
        QFETCH(QByteArray, firmware);
        QFETCH(QByteArray, maxBatch);
        QFETCH(QByteArray, port2Protocol);
        QFETCH(QStringList, knobs);
        QFETCH(bool, matchedBefore);
        QFETCH(QByteArray, lastSent);
        QFETCH(QStringList, refused);
        encsim::DeviceState state = encsim::DeviceState::factory(generation);
        state.firmware = firmware.toStdString();
        Knobs all = kFast;
        for (const auto &knob : KnobsFrom(knobs))
            all.push_back(knob);
        QVERIFY(connectTo(state, all));
        EncoderSettings.sMaxBatch = maxBatch;
        EncoderSettings.sPort2Protocol = port2Protocol;
        Run.bDBMatchesEncoder = matchedBefore;
        refused.prepend(QStringLiteral("The Paging Encoder Refused These Settings:"));
        fx->boxes.expect(refused.join(QLatin1Char('\r')))
            .title("Settings Refused").buttons(MsgButtons::OK).icon(MsgIcon::Exclamation);
        program();
        QVERIFY(fx->boxes.verifyAllShown());
        QCOMPARE(fx->boxes.shown().size(), 1);
        QCOMPARE(sent().last(), lastSent); // everything went out
        QCOMPARE(sim().stats().recordWrites, 75);
        QVERIFY(!fx->view.panel1History.contains(QString::fromLatin1(kMatches)));
        QCOMPARE(status(), QString::fromLatin1(WriteRefusedStatus)); // not the last progress text
        QCOMPARE(Run.bDBMatchesEncoder, matchedBefore);
        QVERIFY(!fx->view.mentioned(Command::Lookup) && !fx->view.mentioned(Command::SendMsg));
        verifyCleanedUp();
    }

    // A canned message may hold "ID=": quoted in the acknowledgement of its record it is the
    // message's text, not the encoder's logon prompt.
    void aMessageMayHoldTheLogonPromptsText_data()
    {
        QTest::addColumn<int>("generation");
        QTest::addColumn<QString>("ack");
        QTest::addColumn<bool>("accepted");
        const QString quoted = QStringLiteral("M 12 <0x22>CALLER ID=5<0x22>");
        QTest::newRow("V9") << 9 << quoted + "<RS><CR>" << true;
        QTest::newRow("V7") << 7 << quoted + "<RS><CR>" << true;
        QTest::newRow("the prompt after the quote") << 9 << quoted + " ID=<RS><CR>" << false;
    }
    void aMessageMayHoldTheLogonPromptsText()
    {
        QFETCH(int, generation);
        QFETCH(QString, ack);
        QFETCH(bool, accepted);
        QVERIFY(connectTo(encsim::DeviceState::factory(generation)));
        QVERIFY(sim().setKnob("record_ack", "\"write:M 12\" bytes=\"" + ack.toStdString() + "\""));
        DB.CannedMsgs[11] = "CALLER ID=5";
        Run.bDBMatchesEncoder = false;
        if (!accepted)
            fx->boxes.expect(kWriteError).title("Write Error");
        program();
        QVERIFY(fx->boxes.verifyAllShown());
        QCOMPARE(sim().getState().recordLines.at(71), std::string("M 12 \"CALLER ID=5\""));
        QCOMPARE(status(), accepted ? QString::fromLatin1(kMatches)
                                    : QStringLiteral("Writing Pager Database - Message 12"));
        QCOMPARE(Run.bDBMatchesEncoder, accepted);
    }

    // The cable comes out while family 12 is on its way: what was acknowledged stays in the
    // encoder, and the attached port's ID-as-capcode stays off as the guard left it.
    void aCablePulledMidWrite()
    {
        encsim::DeviceState state = encsim::DeviceState::factory(9);
        state.config["serial1 idascap"] = "1";
        QVERIFY(connectTo(state));
        encsim::DeviceState source = fillDatabase(9);
        EncoderSettings.bPort1IDAsCap = true;
        QVERIFY(sim().setKnob("cable_pull", "\"write:G 12\""));
        runOutOnceFired(QStringLiteral("cable_pull"));
        fx->boxes.expect(kWriteError).title("Write Error").then([this] { runOutOnce("IDASCAP 1"); });
        program();
        const encsim::Snapshot after = sim().getState();
        QCOMPARE(after.config.at("serial1 idascap"), std::string("0"));
        // The switch-on goes after the last record, and is lost like it: the label says off.
        QCOMPARE(sent().last(), QByteArray("CONFIG SERIAL1 IDASCAP 1\r"));
        QCOMPARE(sent().at(sent().size() - 2).left(15), QByteArray("[0047d16] G 12 "));
        const encsim::Snapshot written = encsim::Core(source).snapshot();
        for (int i = 0; i < 21; ++i) // groups 1 to 10, families 1 to 11
            QCOMPARE(after.recordLines[i], written.recordLines[i]);
        QCOMPARE(after.recordLines[59], std::string("G 50 0 0000000 5 A 0 000 0000 00 00"));
        QCOMPARE(fx->view.label(Label::IDAsCap), QStringLiteral("ID As Capcode Mode is OFF for Port 1"));
        QVERIFY(Run.bDBMatchesEncoder);
        verifyCleanedUp();
    }

    void aCOMP2PortIsRefused()
    {
        QVERIFY(connectTo(encsim::DeviceState::factory(9)));
        QVERIFY(sim().setKnob("replace_reply", "\"CONFIG SERIAL1 IDASCAP?\" bytes=COMP2>"));
        SetTimeScale(0.2); // the answer has no line end: it is taken at the time-out
        const QString label = fx->view.label(Label::IDAsCap), before = status();
        fx->boxes.expect("COMP2 protocol is detected.  Please change to TAP protocol and try again.")
            .title("COMP2 Detected").icon(MsgIcon::None);
        program();
        QCOMPARE(sent(), QByteArrayList{"CONFIG SERIAL1 IDASCAP?\r"});
        QCOMPARE(fx->view.label(Label::IDAsCap), label);
        QCOMPARE(status(), before);
        verifyCleanedUp(); // the reply timer is not left running either
    }

    void anImproperSwitchOffAnswerStopsTheWrite_data()
    {
        QTest::addColumn<int>("generation");
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QByteArrayList>("expected");
        // The mode may be off all the same: one try to switch it back on.
        QTest::newRow("V9 answering as a V7")
            << 9 << "IDASCAP option updated"
            << QByteArrayList{"CONFIG SERIAL1 IDASCAP?\r", "CONFIG SERIAL1 IDASCAP 0\r", "CONFIG SERIAL1 IDASCAP 1\r"};
        QTest::newRow("V7 answering as a V9")
            << 7 << "IDASCAP updated"
            << QByteArrayList{"CONFIG IDASCAP?\r", "CONFIG IDASCAP 0\r", "CONFIG IDASCAP 1\r"};
    }
    void anImproperSwitchOffAnswerStopsTheWrite()
    {
        QFETCH(int, generation);
        QFETCH(QString, reply);
        QFETCH(QByteArrayList, expected);
        encsim::DeviceState state = encsim::DeviceState::factory(generation);
        state.config["serial1 idascap"] = "1";
        QVERIFY(connectTo(state));
        const std::string command = expected.at(1).chopped(1).toStdString();
        QVERIFY(sim().setKnob("replace_reply",
                              "\"" + command + "\" bytes=\"" + reply.toStdString() + "<CR><LF>\""));
        fx->view.BringToFront(TerminalView::Disc::Connected);
        fx->boxes.expect("The Paging Encoder did not Properly Respond to IDASCAP Command.\rPlease Check Connections, "
                     "Paging Encoder Configuration,\ror COM Port Settings, and Try Again")
            .title("Paging Encoder Improper Response");
        program();
        QCOMPARE(sent(), expected);
        QCOMPARE(fx->view.front, TerminalView::Disc::NotConnected);
        QVERIFY(Link().isOpen());
        QVERIFY(fx->view.label(Label::IDAsCap).startsWith(QStringLiteral("ID As Capcode Mode is ON")));
        verifyCleanedUp();
    }

    // The guard's answer is a flag on its own line, or the encoder's refusal of a query it does
    // not know (off). Without an answer, or with any other, the mode is unknown: the write stops
    // with its error box before it sends anything more, so no record reaches a port that may take
    // it as a page, and nothing was switched that needs putting back.
    void theGuardMustGetAFlag_data() { AddGuardAnswerRows(); }
    void theGuardMustGetAFlag()
    {
        QFETCH(int, generation);
        QFETCH(QString, answer);
        QFETCH(GuardAnswer, counts);
        const bool goesOn = counts == GuardAnswer::Flag || counts == GuardAnswer::Refusal;
        Knobs knobs = kFast;
        knobs.push_back(GuardAnswerKnob(generation, answer));
        // A write that stops meets the mode on, where records would be taken as pages.
        encsim::DeviceState state = encsim::DeviceState::factory(generation);
        state.config[state.portKey(state.effectiveAttachedPort(), "idascap")] = goesOn ? "0" : "1";
        QVERIFY(connectTo(state, knobs));
        if (counts == GuardAnswer::None) // no whole line comes
            runOutOnceFired(QString::fromStdString(knobs.back().first));
        if (!goesOn)
            fx->boxes.expect(kWriteError).title(QStringLiteral("Write Error")).icon(MsgIcon::None);
        const bool matchedBefore = Run.bDBMatchesEncoder;
        program();
        QVERIFY(fx->boxes.verifyAllShown());
        if (goesOn) {
            QCOMPARE(sent().at(1), QByteArray(generation == 7 ? "config invertdata 0\r\n" : "config invertdata 1\r"));
            QCOMPARE(sim().stats().recordWrites, 75);
            QCOMPARE(status(), QString::fromLatin1(kMatches));
            return;
        }
        QCOMPARE(fx->boxes.shown().size(), 1);
        QCOMPARE(sent(), QByteArrayList{GuardQuery(generation) + '\r'});
        QCOMPARE(fx->view.label(Label::IDAsCap), QString()); // the mode is not known
        QCOMPARE(sim().stats().recordWrites, 0);
        QCOMPARE(sim().getState().config.at(state.portKey(state.effectiveAttachedPort(), "idascap")), std::string("1"));
        QCOMPARE(Run.bDBMatchesEncoder, matchedBefore);
        verifyCleanedUp();
    }

    // With the PC on port 2 and port 2's ID-as-capcode wanted on, the settings keep the
    // attached port's mode off until the records are in; it is switched on last.
    void theAttachedPortTakesTheRecordsWithIDAsCapcodeOff()
    {
        encsim::DeviceState state = encsim::DeviceState::factory(9);
        state.attachedPort = 2;
        state.config["serial2 idascap"] = "1";
        QVERIFY(connectTo(state));
        EncoderSettings.bPort2IDAsCap = true;
        program();
        const QByteArrayList units = sent();
        QCOMPARE(units.mid(0, 2), (QByteArrayList{"CONFIG SERIAL2 IDASCAP?\r", "CONFIG SERIAL2 IDASCAP 0\r"}));
        QVERIFY(units.contains("config serial2 idascap 0\r"));
        QCOMPARE(units.last(), QByteArray("config serial2 idascap 1\r"));
        QCOMPARE(sim().getState().config.at("serial2 idascap"), std::string("1"));
        verifyNothingRefused();
        QCOMPARE(fx->view.label(Label::IDAsCap), QStringLiteral("ID As Capcode Mode is ON for Port 2"));
        QCOMPARE(status(), QString::fromLatin1(kMatches));
    }

    // The guard's query starts from an empty input: an answer left unread by an earlier
    // exchange (a "0" that would read as off) is thrown away, so the mode is switched off for
    // the records and put back after them.
    void theGuardAsksFromAnEmptyInput()
    {
        encsim::DeviceState state = encsim::DeviceState::factory(9);
        state.config["serial1 idascap"] = "1";
        QVERIFY(connectTo(state));
        QVERIFY(!Link().Write("config ignorerfcd?\r"));
        QTRY_VERIFY(LinkTestAccess::unread(Link()) >= 3); // "0" CR LF waits unread
        program();
        QCOMPARE(sent().mid(0, 3), (QByteArrayList{"config ignorerfcd?\r", "CONFIG SERIAL1 IDASCAP?\r",
                                                    "CONFIG SERIAL1 IDASCAP 0\r"}));
        QCOMPARE(status(), QString::fromLatin1(kMatches));
        QCOMPARE(fx->sim().getState().config.at("serial1 idascap"), EncoderSettings.bPort1IDAsCap ? "1" : "0");
    }

    void cancel_data()
    {
        QTest::addColumn<QString>("during");
        QTest::addColumn<bool>("writeError");
        QTest::addColumn<bool>("idAsCap"); // the mode on: switched off, and back on at the end
        QTest::newRow("the guard: silent") << "CONFIG SERIAL1 IDASCAP?" << false << false;
        QTest::newRow("a record: Write Error") << "write:G 5" << true << false;
        QTest::newRow("a record, ID as capcode on") << "write:G 5" << true << true;
    }
    void cancel()
    {
        QFETCH(QString, during);
        QFETCH(bool, writeError);
        QFETCH(bool, idAsCap);
        // The command is never answered: the cancel comes within its reply time.
        encsim::DeviceState state = encsim::DeviceState::factory(9);
        state.config["serial1 idascap"] = idAsCap ? "1" : "0";
        QVERIFY(connectTo(state));
        QVERIFY(sim().setKnob("drop_reply", "\"" + during.toStdString() + "\""));
        // Another operation's cancel window is up; its button is what the write honours, once
        // the encoder has taken the command in (the knob's own setting names the command too).
        fx->onEncoderEvent("drop_reply fired", [] { Link().cancel(); });
        if (writeError)
            fx->boxes.expect(kWriteError).title("Write Error");
        program();
        QCOMPARE(sent().size(), writeError ? 1 + 21 + 15 + (idAsCap ? 2 : 0) : 1);
        if (idAsCap) {
            QCOMPARE(sent().last(), QByteArray("CONFIG SERIAL1 IDASCAP 1\r"));
            QCOMPARE(fx->sim().getState().config.at("serial1 idascap"), std::string("1"));
            QCOMPARE(fx->view.label(Label::IDAsCap), QStringLiteral("ID As Capcode Mode is ON for Port 1"));
        }
        QVERIFY(Run.bDBMatchesEncoder);
        QVERIFY(status() != QString::fromLatin1(kMatches));
        verifyCleanedUp();
    }

    void aClosedPortIsRefused()
    {
        QVERIFY(connectTo(encsim::DeviceState::factory(9)));
        QVERIFY(!Link().closePort());
        const QString label = fx->view.label(Label::IDAsCap), before = status();
        fx->boxes.expect("COM Port 1 is Not Open\rPlease Open Port and Try Again")
            .title("COM Port Not Open").icon(MsgIcon::Critical);
        program();
        QVERIFY(sent().isEmpty());
        QVERIFY(!fx->view.mentioned(Command::ToolbarProgram)); // the toolbar was left alone
        QCOMPARE(fx->view.label(Label::IDAsCap), label);
        QCOMPARE(status(), before);
        QVERIFY(!Run.bDBBusy() && !HourglassShown());
    }

    // A line that sends every byte back before the encoder's answer (as it is, or each CR as CR
    // LF): the encoder takes the same commands, one record after the other, and ends up as
    // after a write on a plain line.
    void anEchoingLineTakesTheSameWrite_data()
    {
        QTest::addColumn<int>("generation");
        QTest::addColumn<QString>("echo");
        QTest::newRow("V9 with tuning, echo") << 9 << "on";
        QTest::newRow("V9 with tuning, echo with CR LF") << 9 << "crlf";
        QTest::newRow("V7, echo") << 7 << "on";
        QTest::newRow("V7, echo with CR LF") << 7 << "crlf";
    }
    void anEchoingLineTakesTheSameWrite()
    {
        QFETCH(int, generation);
        QFETCH(QString, echo);
        encsim::DeviceState factory = encsim::DeviceState::factory(generation);
        factory.config[factory.portKey(1, "idascap")] = "1"; // the guard switches it off and back

        QVERIFY(connectTo(factory));
        fillDatabase(generation);
        EncoderSettings.bPort1IDAsCap = true;
        Run.bTestEnabled = true;
        program();
        QCOMPARE(status(), QString::fromLatin1(kMatches));
        const QByteArrayList plainSent = sent();
        const QStringList plainState = lines(sim().saveState());

        Knobs knobs = kFast;
        knobs.emplace_back("echo", echo.toStdString());
        fx.reset();
        QVERIFY(connectTo(factory, knobs));
        fillDatabase(generation);
        EncoderSettings.bPort1IDAsCap = true;
        Run.bTestEnabled = true;
        program();
        QCOMPARE(fx->boxes.shown().size(), 0);
        QCOMPARE(status(), QString::fromLatin1(kMatches));
        QVERIFY(Run.bDBMatchesEncoder);
        QCOMPARE(sent(), plainSent);
        QCOMPARE(sim().stats().recordWrites, RecordCount);
        QCOMPARE(lines(sim().saveState()), plainState);
        verifyNothingRefused();
        verifyCleanedUp();
        QVERIFY(fx->received().contains(generation == 7 ? "\x02" "052e39\r" : "\x02" "0047d16\r")); // echoed
    }

    // A value that holds a control byte would not arrive as it stands (a CR ends its command
    // and sends the rest as another): nothing is written, and one box names the value. Values
    // the write does not send do not count.
    void aValueWithAControlByteIsNotSent_data()
    {
        QTest::addColumn<int>("generation");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("named"); // empty: the write goes through
        QTest::newRow("V9 canned message with a bare CR") << 9 << "message 5" << "Canned Message 5";
        QTest::newRow("V9 protocol holding an echo") << 9 << "port 1 protocol" << "Port 1 Protocol";
        QTest::newRow("V9 start capcode of a family in use") << 9 << "family 3" << "Family 3 Start Capcode";
        QTest::newRow("V7 batch size with a tab") << 7 << "batch size" << "Max Msgs/Batch";
        QTest::newRow("V7: the protocol is not sent") << 7 << "port 1 protocol" << QString();
        QTest::newRow("V9: a family not in use is not sent") << 9 << "family 4" << QString();
    }
    void aValueWithAControlByteIsNotSent()
    {
        QFETCH(int, generation);
        QFETCH(QString, value);
        QFETCH(QString, named);
        QVERIFY(connectTo(encsim::DeviceState::factory(generation)));
        fillDatabase(generation);
        if (value == "message 5")
            DB.CannedMsgs[4] = "Gate open\rcall 555";
        else if (value == "port 1 protocol")
            EncoderSettings.sPort1Protocol = "config serial1 protocol?\rTAP";
        else if (value == "family 3")
            DB.Families[2][FamStartCap] = "0204\r800";
        else if (value == "family 4")
            DB.Families[3][FamStartCap] = "0999\r999"; // Defined is "yes": not in use
        else if (value == "batch size")
            EncoderSettings.sMaxBatch = "1\t0";
        const QString label = fx->view.label(Label::IDAsCap), before = status();
        if (named.isEmpty()) {
            program();
            QCOMPARE(fx->boxes.shown().size(), 0);
            QCOMPARE(status(), QString::fromLatin1(kMatches));
            return;
        }
        fx->boxes.expect(named + " Holds a Control Character (Such as a Line Break)\r"
                                 "Nothing was Written to the Encoder\r"
                                 "Please Correct the Entry and Try Again")
            .title("Write Error").icon(MsgIcon::None).buttons(MsgButtons::OK);
        program();
        QVERIFY(fx->boxes.verifyAllShown());
        QVERIFY(sent().isEmpty());
        QCOMPARE(sim().stats().commands, 0);
        QVERIFY(!fx->view.mentioned(Command::ToolbarProgram)); // the toolbar was left alone
        QCOMPARE(fx->view.label(Label::IDAsCap), label);
        QCOMPARE(status(), before);
        QVERIFY(!Run.bDBBusy() && !HourglassShown());
    }

    // The tuning slider's value, held to the slider's range (a value that is not a whole number
    // counts as the default position), becomes the coarse step and the fine value.
    void modulationAttenuation_data()
    {
        QTest::addColumn<QByteArray>("slider");
        QTest::addColumn<QByteArray>("coarse");
        QTest::addColumn<QByteArray>("fine");
        QTest::addColumn<QByteArray>("dB");
        QTest::newRow("on a table step") << QByteArray("55") << QByteArray("9") << QByteArray("0") << QByteArray("0.5");
        QTest::newRow("beyond the slider's end") << QByteArray("2000") << QByteArray("39") << QByteArray("39")
                                                 << QByteArray("-77.4");
        QTest::newRow("not a whole number") << QByteArray("4.7") << QByteArray("8") << QByteArray("2")
                                            << QByteArray("1.3");
    }
    void modulationAttenuation()
    {
        QFETCH(QByteArray, slider);
        QFETCH(QByteArray, coarse);
        QFETCH(QByteArray, fine);
        QFETCH(QByteArray, dB);
        QVERIFY(connectTo(encsim::DeviceState::factory(9)));
        Run.bTestEnabled = true;
        EncoderSettings.sModSliderVal = slider;
        program();
        QCOMPARE(sent().mid(1, 2),
                 (QByteArrayList{"CONFIG MODATTENC " + coarse + "\r", "CONFIG MODATTENF " + fine + "\r"}));
        QCOMPARE(EncoderSettings.sModAttenC + '/' + EncoderSettings.sModAttenF + '/' + EncoderSettings.sAttenDB, coarse + '/' + fine + '/' + dB);
        const encsim::Snapshot s = sim().getState();
        QCOMPARE(QByteArray::fromStdString(s.config.at("modattenc") + '/' + s.config.at("modattenf")),
                 coarse + '/' + fine);
        QCOMPARE(status(), QString::fromLatin1(kMatches));
    }

    void modulationAttenuationFailures_data()
    {
        QTest::addColumn<QString>("knob");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("box");
        QTest::newRow("coarse unanswered") << "drop_reply" << "\"CONFIG MODATTENC\"" << "No Response from Encoder";
        QTest::newRow("coarse answered by a lone CR") << "replace_reply" << "\"CONFIG MODATTENC\" bytes=<CR>"
                                                      << "No Response from Encoder";
        QTest::newRow("fine answered wrongly") << "replace_reply" << "\"CONFIG MODATTENF\" bytes=XYZ<CR>"
                                               << "Improper Response from Encoder";
        QTest::newRow("fine unanswered")
            << "drop_reply" << "\"CONFIG MODATTENF\"" << "Improper Response from Encoder";
    }
    void modulationAttenuationFailures()
    {
        QFETCH(QString, knob);
        QFETCH(QString, value);
        QFETCH(QString, box);
        QVERIFY(connectTo(encsim::DeviceState::factory(9)));
        QVERIFY(sim().setKnob(knob.toStdString(), value.toStdString()));
        if (!value.contains(QStringLiteral("XYZ"))) // an answer ends that wait
            runOutOnceFired(knob);
        Run.bTestEnabled = true;
        fx->boxes.expect(box).title("Communication Failure").icon(MsgIcon::None);
        program();
        QCOMPARE(sent().size(), box.startsWith("No") ? 2 : 3); // no setting follows
        QCOMPARE(status(), QStringLiteral("Writing Pager Database - Modulation Attenuation"));
        verifyCleanedUp();
    }

    // A write that fails after the switch-off puts ID-as-capcode back with one switch-on, whose
    // answer is judged on its own: what came before it is thrown away, and a line before its
    // confirmation is not it. (An answer a knob holds back for hours of the encoder's time, and
    // every answer behind it, comes when the test makes the encoder's clock race.)

    // A second confirmation of the switch-off, come late while the write's error box was up, is
    // not the switch-on's: the switch-on goes unanswered, and the label keeps to what the
    // encoder confirmed last, OFF.
    void thePutBackThrowsAwayWhatCameBefore()
    {
        encsim::DeviceState state = encsim::DeviceState::factory(9);
        state.config["serial1 idascap"] = "1";
        Knobs knobs = kFast;
        knobs.emplace_back("replace_reply",
                           "\"CONFIG SERIAL1 IDASCAP 0\" bytes=\"IDASCAP updated<CR><LF>IDASCAP updated<CR><LF>\"");
        knobs.emplace_back("split_reply", "\"CONFIG SERIAL1 IDASCAP 0\" gap_ms=10000000"); // in two halves
        knobs.emplace_back("drop_reply", "\"CONFIG SERIAL1 IDASCAP 1\"");
        QVERIFY(connectTo(state, knobs));
        EncoderSettings.bPort1IDAsCap = true;
        runOutOnce("setting invertdata"); // its answer waits behind the second confirmation
        runOutOnceFired(QStringLiteral("drop_reply"));
        bool copyCame = false;
        fx->boxes.expect(kWriteError).title("Write Error").then([this, &copyCame] {
            sim().setTimeScale(1e-6);
            copyCame = QTest::qWaitFor([] { return LinkTestAccess::unread(Link()) >= 17; }, 10000);
            sim().setTimeScale(0.05);
        });
        program();
        QVERIFY(fx->boxes.verifyAllShown());
        QVERIFY(copyCame);
        QCOMPARE(fx->view.label(Label::IDAsCap), QStringLiteral("ID As Capcode Mode is OFF for Port 1"));
        QCOMPARE(sent().last(), QByteArray("CONFIG SERIAL1 IDASCAP 1\r"));
        verifyCleanedUp();
    }

    // The failed setting's late answer comes after the switch-on went out, and the confirmation
    // a while after it: the confirmation is waited for, and the label says ON.
    void aLineBeforeTheConfirmationIsNotIt()
    {
        encsim::DeviceState state = encsim::DeviceState::factory(9);
        state.config["serial1 idascap"] = "1";
        Knobs knobs = kFast;
        knobs.emplace_back("delay_reply", "\"config invertdata\" ms=1000000");
        knobs.emplace_back("delay_reply", "\"CONFIG SERIAL1 IDASCAP 1\" ms=100000000");
        QVERIFY(connectTo(state, knobs));
        EncoderSettings.bPort1IDAsCap = true;
        runOutOnce("delay_reply fired on \"config invertdata");
        // Once the encoder has the switch-on, the late answer comes within a tenth of a second;
        // once the put-back's wait holds it, the confirmation comes.
        fx->onEncoderEvent("delay_reply fired on \"CONFIG SERIAL1 IDASCAP 1", [this] { sim().setTimeScale(1e-4); });
        const PendingAction confirm = When(
            [] {
                const QByteArray *gathered = LinkTestAccess::gathered(Link());
                return gathered && gathered->contains("INVERTDATA updated\r\n");
            },
            [this] { sim().setTimeScale(1e-7); });
        fx->boxes.expect(kWriteError).title("Write Error");
        program();
        QVERIFY(fx->boxes.verifyAllShown());
        QCOMPARE(fx->view.label(Label::IDAsCap), QStringLiteral("ID As Capcode Mode is ON for Port 1"));
        QVERIFY(fx->received().endsWith("INVERTDATA updated\r\nIDASCAP updated\r\n"));
        verifyCleanedUp();
    }

    // Closing the program while a record waits for its answer ends the write without a word.
    void closingTheProgramMidWrite()
    {
        QVERIFY(connectTo(encsim::DeviceState::factory(9)));
        QVERIFY(sim().setKnob("drop_reply", "\"write:G 5\""));
        fx->onEncoderEvent("write G 5 stored", [this] { fx->closeProgram(); });
        program();
        QCOMPARE(fx->boxes.shown().size(), 0);
        QCOMPARE(sent().last().left(14), QByteArray("[0047d16] G 5 "));
        QVERIFY(!Run.bDBBusy() && !HourglassShown());
    }
};

QTEST_MAIN(TestWriter)
#include "tst_writer.moc"
