// The simulated encoder's state machine, driven in virtual time.
#include <QtTest>

#include "encsim/core.h"
#include "encsim/records.h"
#include "encsim/virtual_line.h"

using namespace encsim;

namespace {

QByteArray qb(const std::string &s)
{
    return QByteArray(s.data(), static_cast<qsizetype>(s.size()));
}

std::string sb(const QByteArray &b)
{
    return std::string(b.constData(), static_cast<std::size_t>(b.size()));
}

// One encoder and the PC end of its line.
struct Rig {
    explicit Rig(DeviceState state = DeviceState::factory(9), Mode mode = Mode::Programming)
        : core(std::move(state), nullptr, mode), line(core)
    {
    }
    QByteArray cmd(const std::string &text, double ms = 200) { return qb(line.exchange(text, ms)); }
    QByteArray block(std::string_view id, std::string_view msg, double ms = 200)
    {
        return qb(line.exchange(buildBlock(id, msg), ms));
    }
    void knob(const std::string &name, const std::string &value)
    {
        std::string error;
        QVERIFY2(core.setKnob(line.now(), name, value, &error), error.c_str());
    }
    std::size_t count(std::string_view pattern) const { return core.logPtr()->count(pattern); }

    Core core;
    VirtualLine line;
};

const QByteArray kBanner97 = "\r\nKestrane Paging Encoder v9.7\r\nPort 1\r\nID=";
const QByteArray kAnnounce = "\r\nTAP Programming Mode, 9600 baud";
const QByteArray kSig("\x89\x22\x21\x21\xA1\xFE", 6);
const QByteArray kNak = "\x15\r";
const QByteArray kAck = "\x1e\r";

QByteArray emptyGroupV8(int n)
{
    return "L " + QByteArray::number(n) + " 0000 0 0 00 0 00 0 00" + QByteArray(" 0000").repeated(20);
}

} // namespace

class TestSimCore : public QObject {
    Q_OBJECT
private slots:
    void twoPortQueries_data();
    void twoPortQueries();
    void twoPortSettings_data();
    void twoPortSettings();
    void refusals_data();
    void refusals();
    void singlePortCommands_data();
    void singlePortCommands();
    void singlePortWithoutPet();
    void blockChecksums_data();
    void blockChecksums();
    void blockChecksumChecked();
    void recordReplies_data();
    void recordReplies();
    void recordWrites_data();
    void recordWrites();
    void strictRecords();
    void idAsCapcodeBlocksRecords();
    void foreignPagerIdsGetNoAnswer();
    void prgmModeEverywhere();
    void prgmModeAtOtherSpeeds();
    void prgmModeIgnoredAndDelayed();
    void identification_data();
    void identification();
    void pagingModeAnswers_data();
    void pagingModeAnswers();
    void rebootAndPower();
    void lookup_data();
    void lookup();
    void lookupUsesCapby8FromLastBoot();
    void testTones();
    void replyKnobs_data();
    void replyKnobs();
    void occurrenceRules_data();
    void occurrenceRules();
    void selectorActions();
    void burstPacingTakesTheLineTime();
    void fullTwoPortReadIsCounted();
    void stateRoundTrip();
};

// ---------------------------------------------------------------------------------------

void TestSimCore::twoPortQueries_data()
{
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QByteArray>("reply");
    const QList<QPair<QByteArray, QByteArray>> rows = {
        {"config sid?", ""},
        {"config maxbatch?", "10"},
        {"config dutycycle?", "66"},
        {"config ignorerfcd?", "0"},
        {"config invertrfcd?", "0"},
        {"config invertdata?", "1"},
        {"config capby8?", "0"},
        {"config serial1 idascap?", "0"},
        {"config serial2 idascap?", "0"},
        {"CONFIG SERIAL1 IDASCAP?", "0"},
        {"config serial1 flow?", "HW"},
        {"config serial2 flow?", "HW"},
        {"config serial1 pphreset?", "1"},
        {"config serial2 pphreset?", "1"},
        {"config serial1 protocol?", "TAP"},
        {"config serial2 protocol?", "TAP"},
        {"config serial1 verbose?", "0"},
        {"config serial2 verbose?", "0"},
        {"config serial1 databits?", "N81"},
        {"config serial2 databits?", "N81"},
        {"config serial1 baud?", "9600"},
        {"config serial2 baud?", "9600"},
        {"config MODATTENC?", "8"},
        {"config MODATTENF?", "2"},
    };
    for (const auto &[c, r] : rows)
        QTest::newRow(c.constData()) << c << r;
}

void TestSimCore::twoPortQueries()
{
    QFETCH(QByteArray, command);
    QFETCH(QByteArray, reply);
    for (int gen : {8, 9}) {
        Rig rig(DeviceState::factory(gen));
        QCOMPARE(rig.cmd(sb(command) + "\r"), reply + "\r\n");
    }
}

void TestSimCore::twoPortSettings_data()
{
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QByteArray>("query");
    QTest::addColumn<QByteArray>("value");
    const auto row = [](const char *name, const char *command, const char *reply, const char *query, const char *value) {
        QTest::newRow(name) << QByteArray(command) << QByteArray(reply) << QByteArray(query) << QByteArray(value);
    };
    row("invertdata", "config invertdata 0", "INVERTDATA updated\r\n", "config invertdata?", "0");
    row("sid with blanks", "config sid KQ 123 AB", "SID updated\r\n", "config sid?", "KQ 123 AB");
    row("sid empty", "config sid ", "SID updated\r\n", "config sid?", "");
    row("invertrfcd", "config invertrfcd 1", "INVERTRFCD updated\r\n", "config invertrfcd?", "1");
    row("ignorerfcd", "config ignorerfcd 1", "IGNORERFCD updated\r\n", "config ignorerfcd?", "1");
    row("dutycycle", "config dutycycle 50", "DUTYCYCLE updated\r\n", "config dutycycle?", "50");
    row("pphreset", "config serial2 pphreset 0", "PPHRESET updated\r\n", "config serial2 pphreset?", "0");
    row("verbose", "config serial1 verbose 1", "VERBOSE updated\r\n", "config serial1 verbose?", "1");
    row("sidint", "config sidint 14", "SIDINT updated\r\n", "config sidint?", "14");
    row("maxbatch leading zero", "config maxbatch 010", "MAXBATCH updated\r\n", "config maxbatch?", "10");
    row("capby8 upper", "config CAPBY8 1", "CAPBY8 updated\r\n", "config capby8?", "1");
    row("idascap guard", "CONFIG SERIAL2 IDASCAP 1", "IDASCAP updated\r\n", "config serial2 idascap?", "1");
    row("flow canonical case", "config serial1 flow asw", "FLOW updated\r\n", "config serial1 flow?", "ASW");
    row("protocol", "config serial2 protocol COMP2", "PROTOCOL updated\r\n", "config serial2 protocol?", "COMP2");
    row("snpp on 9.7", "config serial1 protocol SNPP", "PROTOCOL updated\r\n", "config serial1 protocol?", "SNPP");
    row("baud", "config serial1 baud 1200", "BAUD updated\r\n", "config serial1 baud?", "1200");
    row("databits", "config serial2 databits e71", "DATABITS updated\r\n", "config serial2 databits?", "E71");
    row("modattenc", "CONFIG MODATTENC 39", "MODATTENC 39\r", "config MODATTENC?", "39");
    row("modattenf negative", "CONFIG MODATTENF -70", "MODATTENF -70\r", "config modattenf?", "-70");
}

void TestSimCore::twoPortSettings()
{
    QFETCH(QByteArray, command);
    QFETCH(QByteArray, reply);
    QFETCH(QByteArray, query);
    QFETCH(QByteArray, value);
    Rig rig;
    QCOMPARE(rig.cmd(sb(command) + "\r"), reply);
    QCOMPARE(rig.cmd(sb(query) + "\r"), value + "\r\n");
    QCOMPARE(rig.core.stats().refusals, 0);
}

void TestSimCore::refusals_data()
{
    QTest::addColumn<QString>("firmware");
    QTest::addColumn<int>("generation");
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("violation");
    QTest::newRow("unknown command") << "9.7" << 9 << QByteArray("hello") << QByteArray("Invalid\r\n") << false;
    QTest::newRow("unknown key") << "9.7" << 9 << QByteArray("config foo?") << QByteArray("Invalid\r\n") << false;
    QTest::newRow("flag out of range") << "9.7" << 9 << QByteArray("config capby8 2") << QByteArray("Invalid\r\n")
                                       << false;
    QTest::newRow("bad baud") << "9.7" << 9 << QByteArray("config serial1 baud 4800") << QByteArray("Invalid\r\n")
                              << false;
    QTest::newRow("maxbatch not a number") << "9.7" << 9 << QByteArray("config maxbatch abc")
                                           << QByteArray("Invalid\r\n") << false;
    QTest::newRow("sidint 0") << "9.7" << 9 << QByteArray("config sidint 0") << QByteArray("Invalid\r\n") << false;
    QTest::newRow("sid too long") << "9.7" << 9 << QByteArray("config sid " + QByteArray(33, 'x'))
                                  << QByteArray("Invalid\r\n") << false;
    QTest::newRow("setting without value") << "9.7" << 9 << QByteArray("config maxbatch")
                                           << QByteArray("Invalid\r\n") << false;
    QTest::newRow("snpp on 9.6") << "9.6" << 9 << QByteArray("config serial1 protocol SNPP")
                                 << QByteArray("Invalid\r\n") << false;
    QTest::newRow("snpp on 8.12") << "8.12" << 8 << QByteArray("config serial2 protocol SNPP")
                                  << QByteArray("Invalid\r\n") << false;
    QTest::newRow("sid? on 9.01") << "9.01" << 9 << QByteArray("config sid?") << QByteArray("Invalid\r\n") << true;
    QTest::newRow("sidint on 9.01") << "9.01" << 9 << QByteArray("config sidint 14") << QByteArray("Invalid\r\n")
                                    << true;
    QTest::newRow("V7 key on V9") << "9.7" << 9 << QByteArray("CONFIG IDASCAP?") << QByteArray("Invalid\r\n") << true;
    QTest::newRow("V9 key on V7") << "7.2" << 7 << QByteArray("CONFIG SERIAL1 IDASCAP?")
                                  << QByteArray("Invalid\r\n") << true;
    QTest::newRow("sid on V7") << "7.2" << 7 << QByteArray("config sid?") << QByteArray("Invalid\r\n") << true;
    QTest::newRow("modattenc out of range") << "9.7" << 9 << QByteArray("CONFIG MODATTENC 40")
                                            << QByteArray("Invalid\r") << false;
    QTest::newRow("modattenf not a number") << "7.2" << 7 << QByteArray("CONFIG MODATTENF x")
                                            << QByteArray("Invalid\r") << false;
    // The reported text and the behaviour may disagree: "7.2" talking like a V9.
    QTest::newRow("7.2 behaving as V9") << "7.2" << 9 << QByteArray("config pphreset?")
                                        << QByteArray("Invalid\r\n") << true;
}

void TestSimCore::refusals()
{
    QFETCH(QString, firmware);
    QFETCH(int, generation);
    QFETCH(QByteArray, command);
    QFETCH(QByteArray, reply);
    QFETCH(bool, violation);
    DeviceState s = DeviceState::factory(generation);
    s.firmware = firmware.toStdString();
    if (s.generation() != generation)
        s.generationOverride = generation;
    Rig rig(s);
    const std::string before = rig.core.saveState();
    QCOMPARE(rig.cmd(sb(command) + "\r"), reply);
    QCOMPARE(rig.core.stats().refusals, 1);
    QCOMPARE(rig.core.stats().violations > 0, violation);
    QCOMPARE(rig.core.saveState(), before);
}

void TestSimCore::singlePortCommands_data()
{
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QByteArray>("reply");
    QTest::newRow("maxbatch?") << QByteArray("config maxbatch?") << QByteArray("10\r\n");
    QTest::newRow("dutycycle?") << QByteArray("config dutycycle?") << QByteArray("66\r\n");
    QTest::newRow("pphreset?") << QByteArray("config pphreset?") << QByteArray("1\r\n");
    QTest::newRow("ignorerfcd?") << QByteArray("config ignorerfcd?") << QByteArray("0\r\n");
    QTest::newRow("pet?") << QByteArray("config pet?") << QByteArray("0\r\n");
    QTest::newRow("invertrfcd?") << QByteArray("config invertrfcd?") << QByteArray("1\r\n");
    QTest::newRow("invertdata?") << QByteArray("config invertdata?") << QByteArray("0\r\n");
    QTest::newRow("briefack?") << QByteArray("config briefack?") << QByteArray("0\r\n");
    QTest::newRow("altfc?") << QByteArray("config altfc?") << QByteArray("0\r\n");
    QTest::newRow("IDASCAP?") << QByteArray("CONFIG IDASCAP?") << QByteArray("0\r\n");
    QTest::newRow("IDASCAP 0") << QByteArray("CONFIG IDASCAP 0") << QByteArray("IDASCAP option updated\r\n");
    QTest::newRow("idascap 1") << QByteArray("config idascap 1") << QByteArray("IDASCAP option updated\r\n");
    QTest::newRow("pet 1") << QByteArray("config pet 1") << QByteArray("PET option updated\r\n");
    QTest::newRow("briefack 1") << QByteArray("config briefack 1") << QByteArray("BRIEFACK option updated\r\n");
    QTest::newRow("maxbatch") << QByteArray("config maxbatch 25") << QByteArray("MAXBATCH option updated\r\n");
    QTest::newRow("modattenc") << QByteArray("CONFIG MODATTENC 9") << QByteArray("MODATTENC 9\r");
    QTest::newRow("invertdata 1") << QByteArray("config invertdata 1") << QByteArray("INVERTDATA option updated\r\n");
    QTest::newRow("invertrfcd 0") << QByteArray("config invertrfcd 0") << QByteArray("INVERTRFCD option updated\r\n");
    QTest::newRow("dutycycle") << QByteArray("config dutycycle 50") << QByteArray("DUTYCYCLE option updated\r\n");
    QTest::newRow("pphreset 0") << QByteArray("config pphreset 0") << QByteArray("PPHRESET option updated\r\n");
    QTest::newRow("ignorerfcd 1") << QByteArray("config ignorerfcd 1") << QByteArray("IGNORERFCD option updated\r\n");
    QTest::newRow("altfc 1") << QByteArray("config altfc 1") << QByteArray("ALTFC option updated\r\n");
    QTest::newRow("lookup") << QByteArray("LOOKUP 5") << QByteArray("ID 5 not found\r\n");
}

void TestSimCore::singlePortCommands()
{
    QFETCH(QByteArray, command);
    QFETCH(QByteArray, reply);
    Rig rig(DeviceState::factory(7));
    // The single-port reader and writer end their lines with CR LF.
    QCOMPARE(rig.cmd(sb(command) + "\r\n"), reply);
    QCOMPARE(rig.core.stats().refusals, 0);
}

void TestSimCore::singlePortWithoutPet()
{
    DeviceState s = DeviceState::factory(7);
    s.v7PetSupported = false;
    Rig rig(s);
    QCOMPARE(rig.cmd("config pet?\r\n"), QByteArray("\x1e\r"));
    QCOMPARE(rig.cmd("config pet 1\r\n"), QByteArray("\x1e\r"));
    QCOMPARE(rig.core.state().cfg("pet"), std::string("0"));
    // The rest of the line is unaffected.
    QCOMPARE(rig.cmd("config altfc 1\r\n"), QByteArray("ALTFC option updated\r\n"));
}

void TestSimCore::blockChecksums_data()
{
    QTest::addColumn<QByteArray>("id");
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<QByteArray>("checksum");
    QTest::newRow("123 abc") << QByteArray("123") << QByteArray("abc") << QByteArray("1=;");
    QTest::newRow("123 ABC") << QByteArray("123") << QByteArray("ABC") << QByteArray("17;");
    QTest::newRow("empty") << QByteArray("") << QByteArray("") << QByteArray("01?");
    QTest::newRow("L 1") << QByteArray("061c74") << QByteArray("L 1") << QByteArray("221");
    QTest::newRow("G 50") << QByteArray("061c74") << QByteArray("G 50") << QByteArray("250");
    QTest::newRow("M 15") << QByteArray("061c74") << QByteArray("M 15") << QByteArray("257");
    QTest::newRow("group write") << QByteArray("0047d16") << QByteArray("G 1 0 8 5 A 0 0 0 0 0")
                                 << QByteArray("53;");
    QTest::newRow("message write") << QByteArray("0047d16") << QByteArray("M 2 \"HELLO\"") << QByteArray("42<");
    QTest::newRow("V7 empty group") << QByteArray("052e39") << QByteArray("L 3 0 0 0 0 0 0 0 0") << QByteArray("4:6");
}

void TestSimCore::blockChecksums()
{
    QFETCH(QByteArray, id);
    QFETCH(QByteArray, message);
    QFETCH(QByteArray, checksum);
    const std::string block = buildBlock(sb(id), sb(message));
    QCOMPARE(qb(block.substr(block.size() - 4)), checksum + "\r");
    if (id == "123" && message == "abc")
        QCOMPARE(qb(block).toHex(' '), QByteArray("02 31 32 33 0d 61 62 63 0d 03 31 3d 3b 0d"));
    // The encoder accepts each of these blocks: none of them is NAKed.
    Rig rig(DeviceState::factory(id == "052e39" ? 7 : 9));
    QVERIFY(!rig.cmd(block).contains('\x15'));
    // Sums that differ by 4096 carry the same characters (only the low 12 bits count).
    std::string pad(16, static_cast<char>(0xFF)); // 16 x 255 = 4080, + 16 = 4096 with 16 more ones
    const std::string a = buildBlock(sb(id), sb(message) + pad + std::string(16, '\x01'));
    QCOMPARE(qb(a.substr(a.size() - 4)), checksum + "\r");
}

void TestSimCore::blockChecksumChecked()
{
    Rig rig;
    std::string block = buildBlock(kReadConfigId, "L 1");
    block[block.size() - 2] = static_cast<char>(block[block.size() - 2] + 1);
    QCOMPARE(rig.cmd(block), kNak);
    QVERIFY(rig.count("refusal record block") == 1);
    rig.knob("checksum_check", "off");
    QCOMPARE(rig.cmd(block), QByteArray("L 1 0000\r\n"));
}

void TestSimCore::recordReplies_data()
{
    QTest::addColumn<QString>("preset");
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("reply");
    QTest::newRow("V9 empty group") << "factory-v9" << QByteArray("L 1") << QByteArray("L 1 0000");
    QTest::newRow("V9 group 10") << "factory-v9" << QByteArray("L 10") << QByteArray("L 10 0000");
    QTest::newRow("V7 empty group") << "factory-v7" << QByteArray("L 3") << emptyGroupV8(3);
    QTest::newRow("factory family") << "factory-v9" << QByteArray("G 9")
                                    << QByteArray("G 9 0 0000000 5 A 0 000 0000 00 00");
    QTest::newRow("factory message") << "factory-v8" << QByteArray("M 1") << QByteArray("M 1 \"\"");
    QTest::newRow("factory message 15") << "factory-v7" << QByteArray("M 15") << QByteArray("M 15 \"\"");
    QTest::newRow("demo group") << "demo" << QByteArray("L 1")
                                << QByteArray("L 1 0010 1 0 00 0 00 0 00 0100 0101 0102 0200") +
                                       QByteArray(" 0000").repeated(16);
    QTest::newRow("demo family") << "demo" << QByteArray("G 1") << QByteArray("G 1 1 1234000 5 A 3 050 0100 00 00");
    QTest::newRow("demo family 2") << "demo" << QByteArray("G 2")
                                   << QByteArray("G 2 1 1300000 1 N 0 020 0200 00 00");
    QTest::newRow("demo message") << "demo" << QByteArray("M 2") << QByteArray("M 2 \"Meeting in 5 minutes\"");
    QTest::newRow("out of range") << "factory-v9" << QByteArray("G 51") << QByteArray("Invalid");
    QTest::newRow("unknown letter") << "factory-v9" << QByteArray("X 1") << QByteArray("Invalid");
}

void TestSimCore::recordReplies()
{
    QFETCH(QString, preset);
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, reply);
    Rig rig(*DeviceState::preset(preset.toStdString()));
    QCOMPARE(rig.block(kReadConfigId, sb(request)), reply + "\r\n");
}

void TestSimCore::recordWrites_data()
{
    QTest::addColumn<int>("generation");
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<QByteArray>("readBack");
    QTest::addColumn<int>("warnings");
    const QByteArray members = " 0101 0102" + QByteArray(" 0000").repeated(18);
    QTest::newRow("group as stored") << 9 << QByteArray("L 2 12 1 0 00 0 00 1 3 101 102" + QByteArray(" 0").repeated(18))
                                     << QByteArray("L 2 0012 1 0 00 0 00 1 03") + members << 0;
    QTest::newRow("group with empty field and None")
        << 9 << QByteArray("L 2 12 1  00 0 00 1 None 101 102" + QByteArray(" 0").repeated(18))
        << QByteArray("L 2 0012 1 0 00 0 00 1 00") + members << 2;
    QTest::newRow("two-port empty group") << 9 << emptyGroupV8(4) << QByteArray("L 4 0000") << 0;
    QTest::newRow("V7 empty group") << 7 << QByteArray("L 3 0 0 0 0 0 0 0 0") << emptyGroupV8(3) << 0;
    QTest::newRow("family") << 9 << QByteArray("G 7 1 1234000 5 a 3 50 100 0 2")
                            << QByteArray("G 7 1 1234000 5 A 3 050 0100 00 02") << 0;
    QTest::newRow("empty family slot") << 9 << QByteArray("G 9 0 8 5 A 0 0 0 0 0")
                                       << QByteArray("G 9 0 0000008 5 A 0 000 0000 00 00") << 0;
    QTest::newRow("family short") << 9 << QByteArray("G 5 1 1234000") << QByteArray("G 5 1 1234000 5 A 0 000 0000 00 00")
                                  << 1;
    QTest::newRow("message") << 9 << QByteArray("M 12 \"HELLO\"") << QByteArray("M 12 \"HELLO\"") << 0;
    QTest::newRow("message with quotes") << 9 << QByteArray("M 3 \"say \"hi\" now\"")
                                         << QByteArray("M 3 \"say \"hi\" now\"") << 0;
    QTest::newRow("empty message") << 7 << QByteArray("M 1 \"\"") << QByteArray("M 1 \"\"") << 0;
    QTest::newRow("long message kept") << 9 << QByteArray("M 4 \"" + QByteArray(80, 'x') + "\"")
                                       << QByteArray("M 4 \"" + QByteArray(80, 'x') + "\"") << 0;
}

void TestSimCore::recordWrites()
{
    QFETCH(int, generation);
    QFETCH(QByteArray, record);
    QFETCH(QByteArray, readBack);
    QFETCH(int, warnings);
    Rig rig(DeviceState::factory(generation));
    const std::string_view writeId = generation == 7 ? kWriteConfigIdV7 : kWriteConfigId;
    QCOMPARE(rig.block(writeId, sb(record)), kAck);
    QCOMPARE(rig.core.stats().warnings, warnings);
    const std::string request = sb(record.left(record.indexOf(' ', 2)));
    QCOMPARE(rig.block(kReadConfigId, request), readBack + "\r\n");
}

void TestSimCore::strictRecords()
{
    Rig rig;
    rig.knob("strict_records", "on");
    std::string withNone = "L 2 12 1 0 00 0 00 1 None";
    for (int i = 0; i < 20; ++i)
        withNone += " 0";
    QCOMPARE(rig.block(kWriteConfigId, withNone), QByteArray("Invalid\r\n"));
    QCOMPARE(rig.block(kReadConfigId, "L 2"), QByteArray("L 2 0000\r\n"));
    QCOMPARE(rig.block(kWriteConfigId, "M 4 \"" + std::string(61, 'x') + "\""), QByteArray("Invalid\r\n"));
    QCOMPARE(rig.block(kReadConfigId, "M 4"), QByteArray("M 4 \"\"\r\n"));
    QCOMPARE(rig.block(kWriteConfigId, "M 4 \"" + std::string(60, 'x') + "\""), kAck);
    // max_message_len cuts what is stored, leniently.
    rig.knob("strict_records", "off");
    rig.knob("max_message_len", "5");
    QCOMPARE(rig.block(kWriteConfigId, "M 5 \"HELLO WORLD\""), kAck);
    QCOMPARE(rig.block(kReadConfigId, "M 5"), QByteArray("M 5 \"HELLO\"\r\n"));
}

void TestSimCore::idAsCapcodeBlocksRecords()
{
    for (int port : {1, 2}) {
        DeviceState s = DeviceState::factory(9);
        s.attachedPort = port;
        Rig rig(s);
        // The other port's ID-as-capcode does not matter.
        QCOMPARE(rig.cmd("CONFIG SERIAL" + std::to_string(3 - port) + " IDASCAP 1\r"), QByteArray("IDASCAP updated\r\n"));
        QCOMPARE(rig.block(kReadConfigId, "G 1"), QByteArray("G 1 0 0000000 5 A 0 000 0000 00 00\r\n"));
        QCOMPARE(rig.cmd("CONFIG SERIAL" + std::to_string(port) + " IDASCAP 1\r"), QByteArray("IDASCAP updated\r\n"));
        QCOMPARE(rig.block(kReadConfigId, "G 1"), kNak);
        QCOMPARE(rig.block(kWriteConfigId, "M 1 \"x\""), kNak);
        QCOMPARE(rig.block(kReadConfigId, "M 1"), kNak);
        QVERIFY(rig.core.stats().violations >= 3);
        rig.knob("idascap_blocks_records", "off");
        QCOMPARE(rig.block(kWriteConfigId, "M 1 \"x\""), kAck);
    }
    // V7: "CONFIG IDASCAP" is the one port's setting.
    Rig v7(DeviceState::factory(7));
    QCOMPARE(v7.cmd("CONFIG IDASCAP 1\r"), QByteArray("IDASCAP option updated\r\n"));
    QCOMPARE(v7.block(kWriteConfigIdV7, "M 1 \"x\""), kNak);
}

void TestSimCore::foreignPagerIdsGetNoAnswer()
{
    Rig v9;
    QCOMPARE(v9.block("1234", "L 1"), QByteArray());
    QCOMPARE(v9.block(kWriteConfigIdV7, "M 1 \"x\""), QByteArray());
    QCOMPARE(v9.core.stats().violations, 2);
    QCOMPARE(v9.core.state().messages[0], std::string());
    Rig v7(DeviceState::factory(7));
    QCOMPARE(v7.block(kWriteConfigId, "M 1 \"x\""), QByteArray());
    QCOMPARE(v7.core.state().messages[0], std::string());
    // A block not closed by CR is still judged, and the byte after it is taken as input.
    std::string block = buildBlock(kReadConfigId, "M 1");
    block.back() = 'A';
    QCOMPARE(v9.cmd(block + "TI\r"), "M 1 \"\"\r\n" + kBanner97);
}

void TestSimCore::prgmModeEverywhere()
{
    // Paging (TAP at 9600), the announcement after 30 ms, the mode switch at once.
    Rig rig(DeviceState::factory(9), Mode::Paging);
    rig.line.write("#PrgmMode#");
    QCOMPARE(rig.core.mode(), Mode::Paging); // the bytes are still on their way at 9600
    QCOMPARE(qb(rig.line.run(15)), QByteArray());
    QCOMPARE(rig.core.mode(), Mode::Programming);
    QCOMPARE(qb(rig.line.run(200)), kAnnounce);
    // Again in programming mode, in the middle of a partial line, which it drops.
    QCOMPARE(rig.cmd("config max#PrgmMode#"), kAnnounce);
    QCOMPARE(rig.cmd("config maxbatch?\r"), QByteArray("10\r\n"));
    // Booting: ignored.
    rig.cmd("config reboot\r");
    QCOMPARE(rig.core.mode(), Mode::Booting);
    QCOMPARE(rig.cmd("#PrgmMode#", 500), QByteArray());
    QCOMPARE(rig.core.mode(), Mode::Booting);
    rig.line.run(1500);
    QCOMPARE(rig.core.mode(), Mode::Paging);
    // Each paging protocol.
    for (const char *protocol : {"TAP", "PET", "COMP1", "COMP2", "ZQ", "SCOPE", "SNPP"}) {
        DeviceState s = DeviceState::factory(9);
        s.config["serial1 protocol"] = protocol;
        Rig p(s, Mode::Paging);
        QCOMPARE(p.cmd("#PrgmMode#"), kAnnounce);
        QCOMPARE(p.core.mode(), Mode::Programming);
    }
    // Power off: nothing.
    Rig off(DeviceState::factory(9), Mode::Off);
    QCOMPARE(off.cmd("#PrgmMode#ATI\r"), QByteArray());
    QCOMPARE(off.core.mode(), Mode::Off);
}

void TestSimCore::prgmModeAtOtherSpeeds()
{
    // A port at 2400: the PC's 9600 attempt goes unheard, its 2400 attempt hears the signature,
    // and the PC switching to 9600 then hears the announcement in clear.
    DeviceState s = DeviceState::factory(9);
    s.config["serial1 baud"] = "2400";
    Rig rig(s, Mode::Paging);
    QCOMPARE(rig.cmd("#PrgmMode#"), QByteArray());
    QCOMPARE(rig.core.mode(), Mode::Paging);
    QVERIFY(rig.count("speed ignored 10 bytes") == 1);
    rig.line.setPc("2400,n,8,1");
    QCOMPARE(rig.cmd("#PrgmMode#"), kSig);
    QCOMPARE(rig.core.mode(), Mode::Programming);
    QCOMPARE(rig.cmd("ATI\r"), QByteArray()); // a reply at 9600 to a PC at 2400 is lost
    rig.line.setPc("9600,n,8,1");
    QCOMPARE(rig.cmd("#PrgmMode#"), kAnnounce);
    QCOMPARE(rig.cmd("ATI\r\r"), kBanner97);

    // Other answers for a mismatched announcement; garbage never holds the signature.
    for (const char *how : {"garbage", "silence"}) {
        Rig r(s, Mode::Paging);
        r.knob("mismatch_announce", how);
        r.line.setPc("2400");
        const QByteArray out = r.cmd("#PrgmMode#");
        QVERIFY(!out.contains(kSig));
        QCOMPARE(out.isEmpty(), std::string(how) == "silence");
    }
    // Noise: mismatched input is taken as random bytes ending a line.
    Rig noisy(DeviceState::factory(9), Mode::Programming);
    noisy.knob("mismatch_input", "noise");
    noisy.knob("mismatch_output", "clear");
    noisy.line.setPc("1200");
    noisy.line.run(100); // past the grace period of the previous speed
    QVERIFY(noisy.cmd("config maxbatch?\r").contains("Invalid"));
    // line_check off: any speed is understood.
    Rig open(s, Mode::Paging);
    open.knob("line_check", "off");
    QCOMPARE(open.cmd("#PrgmMode#"), kAnnounce);
    // Side channel: the character format counts too.
    DeviceState e = DeviceState::factory(9);
    e.config["serial1 databits"] = "E71";
    Rig side(e, Mode::Paging);
    side.knob("line_check", "sidechannel");
    side.core.tellLineSettings(side.line.now(), *LineSettings::parse("9600,n,8,1"));
    QCOMPARE(side.cmd("#PrgmMode#"), QByteArray());
    side.core.tellLineSettings(side.line.now(), *LineSettings::parse("9600,e,7,1"));
    QCOMPARE(side.cmd("#PrgmMode#"), kSig); // programming mode talks N81: the E71 PC hears the signature
}

void TestSimCore::prgmModeIgnoredAndDelayed()
{
    Rig rig(DeviceState::factory(9), Mode::Paging);
    rig.knob("ignore_prgmmode_count", "1");
    QCOMPARE(rig.cmd("#PrgmMode#"), QByteArray());
    QCOMPARE(rig.core.mode(), Mode::Paging);
    QCOMPARE(rig.cmd("ATI\r\r"), kBanner97); // TAP: banner, the empty line right after gets nothing
    QCOMPARE(rig.cmd("#PrgmMode#"), kAnnounce);

    // A V7 with its DIP switches off never enters programming mode.
    DeviceState v7 = DeviceState::factory(7);
    v7.v7DipSwitchesOn = false;
    Rig dip(v7, Mode::Paging);
    QCOMPARE(dip.cmd("#PrgmMode#"), QByteArray());
    QCOMPARE(dip.cmd("ATI\r"), QByteArray("\r\nKestrane Paging Encoder v7.2\r\nPort 1\r\n"));
    QCOMPARE(dip.core.mode(), Mode::Paging);

    // Announcement later, and programming mode entered late.
    Rig late(DeviceState::factory(9), Mode::Paging);
    late.knob("announce_delay_ms", "2000");
    late.knob("switch_delay_ms", "300");
    late.line.write("#PrgmMode#");
    late.line.run(100);
    QCOMPARE(late.core.mode(), Mode::Paging);
    QCOMPARE(qb(late.line.run(400)), QByteArray());
    QCOMPARE(late.core.mode(), Mode::Programming);
    QCOMPARE(qb(late.line.run(2100)), kAnnounce);
    QVERIFY(late.line.lastOutputMs() > 2300);
}

void TestSimCore::identification_data()
{
    QTest::addColumn<QString>("firmware");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("style");
    QTest::addColumn<QByteArray>("reply");
    QTest::newRow("9.7S on port 2 reports 1") << "9.7S" << 2 << "normal"
                                              << QByteArray("\r\nKestrane Paging Encoder v9.7S\r\nPort 1\r\nID=");
    QTest::newRow("9.7 on port 2") << "9.7" << 2 << "normal"
                                   << QByteArray("\r\nKestrane Paging Encoder v9.7\r\nPort 2\r\nID=");
    QTest::newRow("8.12 beta") << "8.12 beta" << 1 << "normal"
                               << QByteArray("\r\nKestrane Paging Encoder v8.12 beta\r\nPort 1\r\nID=");
    QTest::newRow("V7 on port 2 reports 1") << "7.2" << 2 << "normal"
                                            << QByteArray("\r\nKestrane Paging Encoder v7.2\r\nPort 1\r\nID=");
    QTest::newRow("banner only") << "9.7" << 1 << "banner_only"
                                 << QByteArray("\r\nKestrane Paging Encoder v9.7\r\nPort 1\r\n");
    QTest::newRow("id only") << "9.7" << 1 << "id_only" << QByteArray("ID=");
    QTest::newRow("no v") << "9.7" << 1 << "no_v" << QByteArray("\r\nKestrane Paging Encoder 9.7\r\nPort 1\r\nID=");
    QTest::newRow("no CR after version") << "9.7" << 1 << "no_cr_after_version"
                                         << QByteArray("\r\nKestrane Paging Encoder v9.7 \nPort 1\nID=");
    QTest::newRow("port letter") << "9.7" << 1 << "port_letter"
                                 << QByteArray("\r\nKestrane Paging Encoder v9.7\r\nPort X\r\nID=");
    QTest::newRow("no port") << "9.7" << 1 << "no_port" << QByteArray("\r\nKestrane Paging Encoder v9.7\r\nID=");
    QTest::newRow("trailing") << "9.7" << 1 << "trailing <CR><LF>xy"
                              << QByteArray("\r\nKestrane Paging Encoder v9.7\r\nPort 1\r\nID=\r\nxy");
}

void TestSimCore::identification()
{
    QFETCH(QString, firmware);
    QFETCH(int, port);
    QFETCH(QString, style);
    QFETCH(QByteArray, reply);
    DeviceState s = DeviceState::factory(firmware.startsWith('7') ? 7 : 9);
    s.firmware = firmware.toStdString();
    s.attachedPort = port;
    for (Mode mode : {Mode::Programming, Mode::Paging}) {
        Rig rig(s, mode);
        rig.knob("ati_style", style.toStdString());
        // The detection's "ATI" CR CR: the second CR is an empty line and gets nothing.
        QCOMPARE(rig.cmd("ati\r\r"), reply);
    }
}

void TestSimCore::pagingModeAnswers_data()
{
    QTest::addColumn<QString>("protocol");
    QTest::addColumn<bool>("dipOff");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("reply");
    QTest::newRow("TAP wake-up CR") << "TAP" << false << QByteArray("\r") << QByteArray("ID=");
    QTest::newRow("TAP config line") << "TAP" << false << QByteArray("config maxbatch?\r") << QByteArray("ID=");
    QTest::newRow("TAP block: one prompt per CR")
        << "TAP" << false << QByteArray::fromStdString(buildBlock(kReadConfigId, "L 1")) << QByteArray("ID=ID=ID=");
    QTest::newRow("PET ATI") << "PET" << false << QByteArray("ATI\r\r") << kBanner97;
    QTest::newRow("COMP1") << "COMP1" << false << QByteArray("ATI\r") << QByteArray("\r\nCOMP1>");
    QTest::newRow("COMP1 CR LF is one line end") << "COMP1" << false << QByteArray("hello\r\n")
                                                 << QByteArray("\r\nCOMP1>");
    QTest::newRow("COMP1 V7 DIP off echoes") << "COMP1" << true << QByteArray("#PrgmMode#ATI\r")
                                             << QByteArray("#PrgmMode#ATI\r\r\nCOMP1>");
    QTest::newRow("COMP2") << "COMP2" << false << QByteArray("ATI\r") << QByteArray("\r\nCOMP2>");
    QTest::newRow("COMP2 V7 DIP off prompts") << "COMP2" << true << QByteArray("ATI\r") << QByteArray("\r\nCOMP2>");
    QTest::newRow("COMP2 V7 DIP off silent to #PrgmMode#") << "COMP2" << true << QByteArray("#PrgmMode#") << QByteArray();
    QTest::newRow("COMP2 frame unanswered") << "COMP2" << false << QByteArray("\x7f\x7f\x7f" "123A\rHELLO\r")
                                            << QByteArray();
    QTest::newRow("ZQ echo and bell") << "ZQ" << false << QByteArray("ATI\r\r") << QByteArray("ATI\r\a\r");
    QTest::newRow("SCOPE") << "SCOPE" << false << QByteArray("ATI\r\r") << QByteArray("INVALID\r\n");
    QTest::newRow("SNPP") << "SNPP" << false << QByteArray("ATI\r\r") << QByteArray("\r\nError - Invalid Command\r\n");
    QTest::newRow("config reboot is TAP input") << "TAP" << false << QByteArray("config reboot\r")
                                                << QByteArray("ID=");
}

void TestSimCore::pagingModeAnswers()
{
    QFETCH(QString, protocol);
    QFETCH(bool, dipOff);
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, reply);
    DeviceState s = DeviceState::factory(dipOff ? 7 : 9);
    s.v7DipSwitchesOn = !dipOff;
    s.config["serial1 protocol"] = protocol.toStdString();
    Rig rig(s, Mode::Paging);
    QCOMPARE(rig.cmd(sb(input)), reply);
    QCOMPARE(rig.core.mode(), Mode::Paging);
    // A "config" line reaching a paging-mode port is the PC's mistake, and logged as one.
    QCOMPARE(rig.core.stats().violations > 0, input.startsWith("config"));
}

void TestSimCore::rebootAndPower()
{
    Rig rig;
    rig.cmd("config serial1 baud 2400\r");
    rig.cmd("config serial1 protocol COMP1\r");
    QCOMPARE(rig.core.snapshot().pagingBaud, std::string("9600")); // stored, used from the next boot
    QCOMPARE(rig.cmd("config reboot\r", 100), QByteArray());
    QCOMPARE(rig.core.mode(), Mode::Booting);
    QCOMPARE(rig.cmd("ATI\r", 1000), QByteArray()); // input while booting is discarded
    rig.line.run(500);
    QCOMPARE(rig.core.mode(), Mode::Paging);
    QCOMPARE(rig.core.listenBaud(), 2400);
    QCOMPARE(rig.core.snapshot().pagingProtocol, std::string("COMP1"));
    QCOMPARE(rig.cmd("x\r"), QByteArray()); // the PC is still at 9600
    rig.line.setPc("2400,n,8,1");
    QCOMPARE(rig.cmd("x\r"), QByteArray("\r\nCOMP1>"));

    // Power: off is dead, on boots into paging mode with the same non-volatile state.
    rig.core.powerOff(rig.line.now());
    QCOMPARE(rig.cmd("x\r"), QByteArray());
    rig.core.powerOn(rig.line.now());
    QCOMPARE(rig.core.mode(), Mode::Booting);
    rig.line.run(1600);
    QCOMPARE(rig.core.mode(), Mode::Paging);
    QCOMPARE(rig.core.state().cfg("serial1 baud"), std::string("2400"));
    // reboot_ms and boot_banner.
    rig.knob("reboot_ms", "3000");
    rig.knob("boot_banner", "READY<CR><LF>");
    rig.core.powerCycle(rig.line.now());
    rig.line.run(2900);
    QCOMPARE(rig.core.mode(), Mode::Booting);
    QCOMPARE(qb(rig.line.run(200)), QByteArray("READY\r\n"));
    QVERIFY(rig.count("reboot boot finished") >= 3);
}

void TestSimCore::lookup_data()
{
    QTest::addColumn<QByteArray>("id");
    QTest::addColumn<QByteArray>("reply");
    QTest::newRow("family member") << QByteArray("123") << QByteArray("ID 123 capcode 1234023, msg enc:A, baud:512 func bits:11");
    QTest::newRow("numeric family") << QByteArray("200")
                                    << QByteArray("ID 200 capcode 1300000, msg enc:N, baud:1200 func bits:00");
    QTest::newRow("group") << QByteArray("10") << QByteArray("ID 10 is list 1");
    QTest::newRow("past the family") << QByteArray("150") << QByteArray("ID 150 not found");
    QTest::newRow("empty") << QByteArray("") << QByteArray("Invalid ID");
    QTest::newRow("not digits") << QByteArray("12a") << QByteArray("Invalid ID");
}

void TestSimCore::lookup()
{
    QFETCH(QByteArray, id);
    QFETCH(QByteArray, reply);
    Rig rig(DeviceState::demo());
    QCOMPARE(rig.cmd("LOOKUP " + sb(id) + "\r\n"), reply + "\r\n");
}

void TestSimCore::lookupUsesCapby8FromLastBoot()
{
    Rig rig(DeviceState::demo());
    rig.knob("lookup_ending", "lfcr");
    rig.cmd("config CAPBY8 1\r");
    QVERIFY(rig.cmd("LOOKUP 101\r\n").startsWith("ID 101 capcode 1234001,"));
    rig.cmd("config reboot\r", 1600);
    rig.cmd("#PrgmMode#");
    QCOMPARE(rig.cmd("LOOKUP 101\r\n"), QByteArray("ID 101 capcode 1234008, msg enc:A, baud:512 func bits:11\n\r"));
}

void TestSimCore::testTones()
{
    Rig rig;
    QCOMPARE(rig.cmd("TEST1200\r"), QByteArray());
    QCOMPARE(rig.core.snapshot().tone, 1200);
    QCOMPARE(rig.cmd("CONFIG MODATTENC 7\r"), QByteArray("MODATTENC 7\r"));
    QCOMPARE(rig.core.snapshot().tone, 0);
    rig.knob("tone_reply", "beep");
    QCOMPARE(rig.cmd("TEST512\r"), QByteArray("beep"));
    QCOMPARE(rig.core.snapshot().tone, 512);
    rig.cmd("config reboot\r");
    QCOMPARE(rig.core.snapshot().tone, 0);
}

void TestSimCore::replyKnobs_data()
{
    QTest::addColumn<QString>("knob");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("reply");
    QTest::newRow("drop") << "drop_reply" << "\"config dutycycle?\"" << QByteArray("config dutycycle?\r") << QByteArray();
    QTest::newRow("drop, other command") << "drop_reply" << "\"config dutycycle?\"" << QByteArray("config maxbatch?\r")
                                         << QByteArray("10\r\n");
    QTest::newRow("replace") << "replace_reply" << "sel=\"config maxbatch?\" bytes=abc<CR><LF>"
                             << QByteArray("CONFIG MAXBATCH?\r") << QByteArray("abc\r\n");
    QTest::newRow("replace prefix selector") << "replace_reply" << "\"CONFIG SERIAL1 IDASCAP\" bytes=COMP2>"
                                             << QByteArray("CONFIG SERIAL1 IDASCAP?\r") << QByteArray("COMP2>");
    QTest::newRow("garbage before") << "garbage" << "ATI where=before bytes=\\x00\\xff"
                                    << QByteArray("ATI\r") << QByteArray("\x00\xff", 2) + kBanner97;
    QTest::newRow("garbage after") << "garbage" << "\"config sid?\" where=after bytes=\" 1\"" << QByteArray("config sid?\r")
                                   << QByteArray("\r\n 1");
    QTest::newRow("garbage instead") << "garbage" << "#PrgmMode# where=instead bytes=zz"
                                     << QByteArray("#PrgmMode#") << QByteArray("zz");
    QTest::newRow("inject ID= config") << "inject_id_prompt" << "\"config dutycycle?\""
                                       << QByteArray("config dutycycle?\r") << QByteArray("ID=\r\n");
    QTest::newRow("inject ID= record") << "inject_id_prompt" << "write:L"
                                       << QByteArray::fromStdString(buildBlock(kWriteConfigId, "L 1 0 0 0 0 0 0 0 0"))
                                       << QByteArray("ID=\x1e\r");
    QTest::newRow("inject ID= other") << "inject_id_prompt" << "LOOKUP" << QByteArray("LOOKUP 1\r\n")
                                      << QByteArray("ID=");
    QTest::newRow("line ending") << "line_ending" << "\"config maxbatch?\" ending=cr"
                                 << QByteArray("config maxbatch?\r") << QByteArray("10\r");
    QTest::newRow("record ack") << "record_ack" << "write:M bytes=<ACK><CR>"
                                << QByteArray::fromStdString(buildBlock(kWriteConfigId, "M 1 \"a\""))
                                << QByteArray("\x06\r");
    QTest::newRow("record reply override") << "record_reply_override" << "\"read:G 21\" bytes=\" G 21 1\\r\\n\""
                                           << QByteArray::fromStdString(buildBlock(kReadConfigId, "G 21"))
                                           << QByteArray(" G 21 1\r\n");
    QTest::newRow("selector word boundary") << "drop_reply" << "\"read:G 2\""
                                            << QByteArray::fromStdString(buildBlock(kReadConfigId, "G 21"))
                                            << QByteArray("G 21 0 0000000 5 A 0 000 0000 00 00\r\n");
    QTest::newRow("signature inside") << "signature_inside" << "" << QByteArray("#PrgmMode#")
                                      << QByteArray("\r\n*") + kSig + "*\r\n";
    QTest::newRow("echo") << "echo_commands" << "on" << QByteArray("config maxbatch?\r")
                          << QByteArray("config maxbatch?\r10\r\n");
    QTest::newRow("serial2 absent") << "serial2_absent" << "on" << QByteArray("config serial2 idascap?\r")
                                    << QByteArray("Invalid\r\n");
}

void TestSimCore::replyKnobs()
{
    QFETCH(QString, knob);
    QFETCH(QString, value);
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, reply);
    Rig rig;
    rig.knob(knob.toStdString(), value.toStdString());
    QCOMPARE(rig.cmd(sb(input)), reply);
}

void TestSimCore::occurrenceRules_data()
{
    QTest::addColumn<QString>("rule");
    QTest::addColumn<QString>("dropped"); // which of six identical queries get no answer
    QTest::newRow("next") << "next" << "100000";
    QTest::newRow("nth") << "nth:3" << "001000";
    QTest::newRow("next N") << "next:2" << "110000";
    QTest::newRow("count") << "count=4" << "111100";
    QTest::newRow("every") << "every" << "111111";
}

void TestSimCore::occurrenceRules()
{
    QFETCH(QString, rule);
    QFETCH(QString, dropped);
    Rig rig;
    rig.knob("drop_reply", "\"config maxbatch?\" " + rule.toStdString());
    QString got;
    for (int i = 0; i < 6; ++i) {
        rig.cmd("config dutycycle?\r"); // not selected: does not count
        got += rig.cmd("config maxbatch?\r").isEmpty() ? '1' : '0';
    }
    QCOMPARE(got, dropped);
    QCOMPARE(rig.count("knob drop_reply fired"), static_cast<std::size_t>(dropped.count('1')));
}

void TestSimCore::selectorActions()
{
    // Delay and split change when bytes arrive, not what arrives.
    Rig rig;
    rig.knob("pacing", "off");
    rig.knob("delay_reply", "ATI ms=3000");
    rig.line.write("ATI\r");
    QCOMPARE(qb(rig.line.run(2900)), QByteArray());
    QCOMPARE(qb(rig.line.run(200)), kBanner97);
    rig.knob("split_reply", "ATI pieces=3 gap_ms=500");
    rig.line.write("ATI\r");
    QByteArray pieces;
    int parts = 0;
    for (int i = 0; i < 30; ++i) {
        const QByteArray got = qb(rig.line.run(50));
        if (!got.isEmpty()) {
            ++parts;
            pieces += got;
        }
    }
    QCOMPARE(parts, 3);
    QCOMPARE(pieces, kBanner97);

    // Cable pull at a selector silences both ways until plugged.
    rig.knob("cable_pull", "\"read:L 3\"");
    QCOMPARE(rig.block(kReadConfigId, "L 2"), QByteArray("L 2 0000\r\n"));
    QCOMPARE(rig.block(kReadConfigId, "L 3"), QByteArray());
    QCOMPARE(rig.cmd("ATI\r"), QByteArray());
    rig.core.cablePlug(rig.line.now());
    QCOMPARE(rig.block(kReadConfigId, "L 4"), QByteArray("L 4 0000\r\n"));
    // Power cycle at a selector: no reply, the encoder boots into paging mode.
    rig.knob("power_cycle", "\"config maxbatch?\"");
    QCOMPARE(rig.cmd("config maxbatch?\r"), QByteArray());
    QCOMPARE(rig.core.mode(), Mode::Booting);
    // Hangup is the transport's: the core asks for it.
    rig.knob("hangup", "now");
    QCOMPARE(rig.core.takeActions().size(), std::size_t(1));
    // Bad knob texts are refused with a reason.
    std::string error;
    QVERIFY(!rig.core.setKnob(0, "delay_reply", "ATI", &error));
    QVERIFY(!error.empty());
    QVERIFY(!rig.core.setKnob(0, "pacing", "fast", &error));
    QVERIFY(!rig.core.setKnob(0, "no_such_knob", "1", &error));
    QVERIFY(!rig.core.setKnob(0, "replace_reply", "ATI bytes=\\xZZ", &error));
}

void TestSimCore::burstPacingTakesTheLineTime()
{
    // 9600 baud: 10 bits a character. The query's 17 bytes arrive, 10 ms pass, then the
    // 4-byte reply is delivered whole once its own line time has passed.
    Rig rig;
    rig.line.write("config maxbatch?\r");
    QCOMPARE(qb(rig.line.run(1000)), QByteArray("10\r\n"));
    const double expected = 17 * 10000.0 / 9600 / 1000 * 1000 + 10 + 4 * 10000.0 / 9600;
    QVERIFY2(qAbs(rig.line.lastOutputMs() - expected) < 0.1, qPrintable(QString::number(rig.line.lastOutputMs())));
    // Bytewise: one byte at a time at the line rate.
    rig.knob("pacing", "bytewise");
    rig.line.write("ATI\r");
    int writes = 0;
    for (int i = 0; i < 200; ++i)
        writes += !rig.line.run(0.5).empty();
    QCOMPARE(writes, static_cast<int>(kBanner97.size()));
}

void TestSimCore::fullTwoPortReadIsCounted()
{
    // A whole two-port read: guard, 22 queries, 75 record requests.
    Rig rig(DeviceState::demo());
    rig.knob("pacing", "off");
    QCOMPARE(rig.cmd("CONFIG SERIAL1 IDASCAP?\r"), QByteArray("0\r\n"));
    for (const char *q : {"sid", "maxbatch", "dutycycle", "ignorerfcd", "invertrfcd", "invertdata", "capby8",
                          "serial2 idascap", "serial1 flow", "serial2 flow", "serial1 pphreset", "serial2 pphreset",
                          "serial1 protocol", "serial2 protocol", "serial1 verbose", "serial2 verbose",
                          "serial1 databits", "serial2 databits", "serial1 baud", "serial2 baud", "MODATTENC",
                          "MODATTENF"})
        QVERIFY(rig.cmd(std::string("config ") + q + "?\r", 20).endsWith("\r\n"));
    const auto snapshot = rig.core.snapshot();
    for (int i = 0; i < 75; ++i) {
        const std::string &line = snapshot.recordLines[static_cast<std::size_t>(i)];
        const std::string request = line.substr(0, line.find(' ', 2));
        QCOMPARE(rig.block(kReadConfigId, request, 20), qb(line) + "\r\n");
    }
    QCOMPARE(rig.core.stats().queries, 23);
    QCOMPARE(rig.core.stats().recordRequests, 75);
    QCOMPARE(rig.core.stats().refusals + rig.core.stats().warnings + rig.core.stats().violations, 0);
}

void TestSimCore::stateRoundTrip()
{
    DeviceState s = DeviceState::demo();
    s.firmware = "9.7S";
    s.generationOverride = 8;
    s.attachedPort = 2;
    s.messages[4] = std::string("a\\b\r\"c\"\x89", 8);
    s.config["sid"] = "KQ 1";
    std::string error;
    const auto back = DeviceState::fromText(s.toText(), &error);
    QVERIFY2(back, error.c_str());
    QCOMPARE(back->toText(), s.toText());
    QCOMPARE(back->messages[4], s.messages[4]);
    QCOMPARE(back->generation(), 8);
    QVERIFY(!DeviceState::fromText("firmware=9.7\ngeneration=6\n", &error));
    QVERIFY(!DeviceState::fromText("nonsense\n", &error));
    // A running core loads and saves it too.
    Rig rig;
    QVERIFY(rig.core.loadState(0, s.toText(), &error));
    QCOMPARE(rig.block(kReadConfigId, "M 5"), qb(messageLine(5, s.messages[4])) + "\r\n");
}

QTEST_GUILESS_MAIN(TestSimCore)
#include "tst_sim_core.moc"
