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

QByteArray blk(std::string_view id, std::string_view msg)
{
    return qb(buildBlock(id, msg));
}

// The two-port configuration keys and their factory values, shared by every port.
const QList<QPair<QByteArray, QByteArray>> kGlobalDefaults = {
    {"sid", ""},         {"maxbatch", "10"}, {"dutycycle", "66"}, {"ignorerfcd", "0"}, {"invertrfcd", "0"},
    {"invertdata", "1"}, {"capby8", "0"},    {"MODATTENC", "8"},  {"MODATTENF", "2"},
};
const QList<QPair<QByteArray, QByteArray>> kPortDefaults = {
    {"idascap", "0"}, {"flow", "HW"}, {"pphreset", "1"}, {"protocol", "TAP"},
    {"verbose", "0"}, {"databits", "N81"}, {"baud", "9600"},
};

DeviceState withConfig(const std::string &key, const std::string &value, int generation = 9)
{
    DeviceState s = DeviceState::factory(generation);
    s.config[key] = value;
    return s;
}

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
    for (const auto &[key, value] : kGlobalDefaults)
        QTest::newRow(key.constData()) << "config " + key + "?" << value;
    for (const QByteArray port : {"serial1 ", "serial2 "})
        for (const auto &[key, value] : kPortDefaults)
            QTest::newRow((port + key).constData()) << "config " + port + key + "?" << value;
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
    // "<key> <value>" answers "<KEY> updated"; "<key>?" then reads back `readBack` (default: the value).
    const auto set = [](const QByteArray &key, const QByteArray &value, const QByteArray &readBack = {}) {
        const QByteArray command = key + " " + value;
        QTest::newRow(command.constData()) << command << key.mid(key.lastIndexOf(' ') + 1).toUpper() + " updated\r\n"
                                           << key.toLower() + "?" << (readBack.isNull() ? value : readBack);
    };
    set("config invertdata", "0");
    set("config sid", "KQ 123 AB");
    set("config sid", "");
    set("config invertrfcd", "1");
    set("config ignorerfcd", "1");
    set("config dutycycle", "50");
    set("config serial2 pphreset", "0");
    set("config serial1 verbose", "1");
    set("config sidint", "14");
    set("config maxbatch", "010", "10");
    set("config CAPBY8", "1");
    set("CONFIG SERIAL2 IDASCAP", "1");
    set("config serial1 flow", "asw", "ASW");
    set("config serial2 protocol", "COMP2");
    set("config serial1 protocol", "SNPP"); // allowed from 9.7 on
    set("config serial1 baud", "1200");
    set("config serial2 databits", "e71", "E71");
    QTest::newRow("modattenc") << QByteArray("CONFIG MODATTENC 39") << QByteArray("MODATTENC 39\r")
                               << QByteArray("config MODATTENC?") << QByteArray("39");
    QTest::newRow("modattenf negative") << QByteArray("CONFIG MODATTENF -70") << QByteArray("MODATTENF -70\r")
                                        << QByteArray("config modattenf?") << QByteArray("-70");
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
    const auto row = [](const char *name, const char *fw, int gen, const QByteArray &command, bool violation = false,
                        const char *reply = "Invalid\r\n") {
        QTest::newRow(name) << QString(fw) << gen << command << QByteArray(reply) << violation;
    };
    row("unknown command", "9.7", 9, "hello");
    row("unknown key", "9.7", 9, "config foo?");
    row("flag out of range", "9.7", 9, "config capby8 2");
    row("bad baud", "9.7", 9, "config serial1 baud 4800");
    row("maxbatch not a number", "9.7", 9, "config maxbatch abc");
    row("sidint 0", "9.7", 9, "config sidint 0");
    row("sid too long", "9.7", 9, "config sid " + QByteArray(33, 'x'));
    row("setting without value", "9.7", 9, "config maxbatch");
    row("snpp on 9.6", "9.6", 9, "config serial1 protocol SNPP");
    row("snpp on 8.12", "8.12", 8, "config serial2 protocol SNPP");
    row("sid? on 9.01", "9.01", 9, "config sid?", true);
    row("sidint on 9.01", "9.01", 9, "config sidint 14", true);
    row("V7 key on V9", "9.7", 9, "CONFIG IDASCAP?", true);
    row("V9 key on V7", "7.2", 7, "CONFIG SERIAL1 IDASCAP?", true);
    row("sid on V7", "7.2", 7, "config sid?", true);
    row("modattenc out of range", "9.7", 9, "CONFIG MODATTENC 40", false, "Invalid\r");
    row("modattenf not a number", "7.2", 7, "CONFIG MODATTENF x", false, "Invalid\r");
    // The reported text and the behaviour may disagree: "7.2" talking like a V9.
    row("7.2 behaving as V9", "7.2", 9, "config pphreset?", true);
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
    const auto row = [](const char *command, const QByteArray &reply) { QTest::newRow(command) << QByteArray(command) << reply; };
    // A setting that takes: "<KEY> option updated".
    const auto set = [&row](const char *command, const char *key) { row(command, key + QByteArray(" option updated\r\n")); };
    for (const auto &[key, value] : QList<QPair<const char *, const char *>>{
             {"maxbatch", "10"}, {"dutycycle", "66"}, {"pphreset", "1"}, {"ignorerfcd", "0"}, {"pet", "0"},
             {"invertrfcd", "1"}, {"invertdata", "0"}, {"briefack", "0"}, {"altfc", "0"}})
        QTest::newRow(key) << "config " + QByteArray(key) + "?" << value + QByteArray("\r\n");
    row("CONFIG IDASCAP?", "0\r\n");
    set("CONFIG IDASCAP 0", "IDASCAP");
    set("config idascap 1", "IDASCAP");
    set("config pet 1", "PET");
    set("config briefack 1", "BRIEFACK");
    set("config maxbatch 25", "MAXBATCH");
    set("config invertdata 1", "INVERTDATA");
    set("config invertrfcd 0", "INVERTRFCD");
    set("config dutycycle 50", "DUTYCYCLE");
    set("config pphreset 0", "PPHRESET");
    set("config ignorerfcd 1", "IGNORERFCD");
    set("config altfc 1", "ALTFC");
    row("CONFIG MODATTENC 9", "MODATTENC 9\r");
    row("LOOKUP 5", "ID 5 not found\r\n");
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
    const auto row = [](const char *name, const char *id, const char *message, const char *checksum) {
        QTest::newRow(name) << QByteArray(id) << QByteArray(message) << QByteArray(checksum);
    };
    row("123 abc", "123", "abc", "1=;");
    row("123 ABC", "123", "ABC", "17;");
    row("empty", "", "", "01?");
    row("L 1", "061c74", "L 1", "221");
    row("G 50", "061c74", "G 50", "250");
    row("M 15", "061c74", "M 15", "257");
    row("group write", "0047d16", "G 1 0 8 5 A 0 0 0 0 0", "53;");
    row("message write", "0047d16", "M 2 \"HELLO\"", "42<");
    row("V7 empty group", "052e39", "L 3 0 0 0 0 0 0 0 0", "4:6");
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
    const auto row = [](const char *name, const char *preset, const char *request, const QByteArray &reply) {
        QTest::newRow(name) << QString(preset) << QByteArray(request) << reply;
    };
    row("V9 empty group", "factory-v9", "L 1", "L 1 0000");
    row("V9 group 10", "factory-v9", "L 10", "L 10 0000");
    row("V7 empty group", "factory-v7", "L 3", emptyGroupV8(3));
    row("factory family", "factory-v9", "G 9", "G 9 0 0000000 5 A 0 000 0000 00 00");
    row("factory message", "factory-v8", "M 1", "M 1 \"\"");
    row("factory message 15", "factory-v7", "M 15", "M 15 \"\"");
    row("demo group", "demo", "L 1", "L 1 0010 1 0 00 0 00 0 00 0100 0101 0102 0200" + QByteArray(" 0000").repeated(16));
    row("demo family", "demo", "G 1", "G 1 1 1234000 5 A 3 050 0100 00 00");
    row("demo family 2", "demo", "G 2", "G 2 1 1300000 1 N 0 020 0200 00 00");
    row("demo message", "demo", "M 2", "M 2 \"Meeting in 5 minutes\"");
    row("out of range", "factory-v9", "G 51", "Invalid");
    row("unknown letter", "factory-v9", "X 1", "Invalid");
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
    // An empty read-back means the record reads back as written.
    const auto row = [](const char *name, int gen, const QByteArray &record, const QByteArray &readBack = {},
                        int warnings = 0) {
        QTest::newRow(name) << gen << record << (readBack.isEmpty() ? record : readBack) << warnings;
    };
    const QByteArray members = " 0101 0102" + QByteArray(" 0000").repeated(18);
    const QByteArray zeros = QByteArray(" 0").repeated(18);
    row("group as stored", 9, "L 2 12 1 0 00 0 00 1 3 101 102" + zeros, "L 2 0012 1 0 00 0 00 1 03" + members);
    row("group with empty field and None", 9, "L 2 12 1  00 0 00 1 None 101 102" + zeros,
        "L 2 0012 1 0 00 0 00 1 00" + members, 2);
    row("two-port empty group", 9, emptyGroupV8(4), "L 4 0000");
    row("V7 empty group", 7, "L 3 0 0 0 0 0 0 0 0", emptyGroupV8(3));
    row("family", 9, "G 7 1 1234000 5 a 3 50 100 0 2", "G 7 1 1234000 5 A 3 050 0100 00 02");
    row("empty family slot", 9, "G 9 0 8 5 A 0 0 0 0 0", "G 9 0 0000008 5 A 0 000 0000 00 00");
    row("family short", 9, "G 5 1 1234000", "G 5 1 1234000 5 A 0 000 0000 00 00", 1);
    row("message", 9, "M 12 \"HELLO\"");
    row("message with quotes", 9, "M 3 \"say \"hi\" now\"");
    row("empty message", 7, "M 1 \"\"");
    row("long message kept", 9, "M 4 \"" + QByteArray(80, 'x') + "\"");
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
    // Each paging protocol: nothing of the command leaks through before the announcement.
    for (const char *protocol : {"TAP", "PET", "COMP1", "COMP2", "ZQ", "SCOPE", "SNPP"}) {
        Rig p(withConfig("serial1 protocol", protocol), Mode::Paging);
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
    const DeviceState s = withConfig("serial1 baud", "2400");
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
    Rig side(withConfig("serial1 databits", "E71"), Mode::Paging);
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
    QCOMPARE(dip.cmd("#PrgmMode#ATI\r"), QByteArray("\r\nKestrane Paging Encoder v7.2\r\nPort 1\r\n"));
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
    const auto row = [](const char *name, const char *fw, int port, const char *style, const QByteArray &reply) {
        QTest::newRow(name) << QString(fw) << port << QString(style) << reply;
    };
    const QByteArray head = "\r\nKestrane Paging Encoder v";
    row("9.7S on port 2 reports 1", "9.7S", 2, "normal", head + "9.7S\r\nPort 1\r\nID=");
    row("9.7 on port 2", "9.7", 2, "normal", head + "9.7\r\nPort 2\r\nID=");
    row("8.12 beta", "8.12 beta", 1, "normal", head + "8.12 beta\r\nPort 1\r\nID=");
    row("V7 on port 2 reports 1", "7.2", 2, "normal", head + "7.2\r\nPort 1\r\nID=");
    row("banner only", "9.7", 1, "banner_only", head + "9.7\r\nPort 1\r\n");
    row("id only", "9.7", 1, "id_only", "ID=");
    row("no v", "9.7", 1, "no_v", "\r\nKestrane Paging Encoder 9.7\r\nPort 1\r\nID=");
    row("no CR after version", "9.7", 1, "no_cr_after_version", head + "9.7 \nPort 1\nID=");
    row("port letter", "9.7", 1, "port_letter", head + "9.7\r\nPort X\r\nID=");
    row("no port", "9.7", 1, "no_port", head + "9.7\r\nID=");
    row("trailing", "9.7", 1, "trailing <CR><LF>xy", head + "9.7\r\nPort 1\r\nID=\r\nxy");
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
    const auto row = [](const char *name, const char *protocol, bool dipOff, const QByteArray &input,
                        const QByteArray &reply) { QTest::newRow(name) << QString(protocol) << dipOff << input << reply; };
    row("TAP wake-up CR", "TAP", false, "\r", "ID=");
    row("TAP config line", "TAP", false, "config maxbatch?\r", "ID=");
    row("TAP block: one prompt per CR", "TAP", false, blk(kReadConfigId, "L 1"), "ID=ID=ID=");
    row("PET ATI", "PET", false, "ATI\r\r", kBanner97);
    row("COMP1", "COMP1", false, "ATI\r", "\r\nCOMP1>");
    row("COMP1 CR LF is one line end", "COMP1", false, "hello\r\n", "\r\nCOMP1>");
    row("COMP1 V7 DIP off echoes", "COMP1", true, "#PrgmMode#ATI\r", "#PrgmMode#ATI\r\r\nCOMP1>");
    row("COMP2", "COMP2", false, "ATI\r", "\r\nCOMP2>");
    row("COMP2 V7 DIP off prompts", "COMP2", true, "ATI\r", "\r\nCOMP2>");
    row("COMP2 V7 DIP off silent to #PrgmMode#", "COMP2", true, "#PrgmMode#", {});
    row("COMP2 frame unanswered", "COMP2", false, "\x7f\x7f\x7f" "123A\rHELLO\r", {});
    row("ZQ echo and bell", "ZQ", false, "ATI\r\r", "ATI\r\a\r");
    row("SCOPE", "SCOPE", false, "ATI\r\r", "INVALID\r\n");
    row("SNPP", "SNPP", false, "ATI\r\r", "\r\nError - Invalid Command\r\n");
    row("config reboot is TAP input", "TAP", false, "config reboot\r", "ID=");
}

void TestSimCore::pagingModeAnswers()
{
    QFETCH(QString, protocol);
    QFETCH(bool, dipOff);
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, reply);
    DeviceState s = withConfig("serial1 protocol", protocol.toStdString(), dipOff ? 7 : 9);
    s.v7DipSwitchesOn = !dipOff;
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
    const auto row = [](const char *name, const char *id, const char *reply) {
        QTest::newRow(name) << QByteArray(id) << QByteArray(reply);
    };
    row("family member", "123", "ID 123 capcode 1234023, msg enc:A, baud:512 func bits:11");
    row("numeric family", "200", "ID 200 capcode 1300000, msg enc:N, baud:1200 func bits:00");
    row("group", "10", "ID 10 is list 1");
    row("past the family", "150", "ID 150 not found");
    row("empty", "", "Invalid ID");
    row("not digits", "12a", "Invalid ID");
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
    const auto row = [](const char *name, const char *knob, const char *value, const QByteArray &input,
                        const QByteArray &reply) { QTest::newRow(name) << QString(knob) << QString(value) << input << reply; };
    row("drop", "drop_reply", "\"config dutycycle?\"", "config dutycycle?\r", {});
    row("drop, other command", "drop_reply", "\"config dutycycle?\"", "config maxbatch?\r", "10\r\n");
    row("replace", "replace_reply", "sel=\"config maxbatch?\" bytes=abc<CR><LF>", "CONFIG MAXBATCH?\r", "abc\r\n");
    row("replace prefix selector", "replace_reply", "\"CONFIG SERIAL1 IDASCAP\" bytes=COMP2>", "CONFIG SERIAL1 IDASCAP?\r",
        "COMP2>");
    row("garbage before", "garbage", "ATI where=before bytes=\\x00\\xff", "ATI\r", QByteArray("\x00\xff", 2) + kBanner97);
    row("garbage after", "garbage", "\"config sid?\" where=after bytes=\" 1\"", "config sid?\r", "\r\n 1");
    row("garbage instead", "garbage", "#PrgmMode# where=instead bytes=zz", "#PrgmMode#", "zz");
    row("inject ID= config", "inject_id_prompt", "\"config dutycycle?\"", "config dutycycle?\r", "ID=\r\n");
    row("inject ID= record", "inject_id_prompt", "write:L", blk(kWriteConfigId, "L 1 0 0 0 0 0 0 0 0"), "ID=\x1e\r");
    row("inject ID= other", "inject_id_prompt", "LOOKUP", "LOOKUP 1\r\n", "ID=");
    row("line ending", "line_ending", "\"config maxbatch?\" ending=cr", "config maxbatch?\r", "10\r");
    row("record ack", "record_ack", "write:M bytes=<ACK><CR>", blk(kWriteConfigId, "M 1 \"a\""), "\x06\r");
    row("record reply override", "record_reply_override", "\"read:G 21\" bytes=\" G 21 1\\r\\n\"",
        blk(kReadConfigId, "G 21"), " G 21 1\r\n");
    row("selector word boundary", "drop_reply", "\"read:G 2\"", blk(kReadConfigId, "G 21"),
        "G 21 0 0000000 5 A 0 000 0000 00 00\r\n");
    row("signature inside", "signature_inside", "", "#PrgmMode#", "\r\n*" + kSig + "*\r\n");
    row("echo", "echo_commands", "on", "config maxbatch?\r", "config maxbatch?\r10\r\n");
    row("serial2 absent", "serial2_absent", "on", "config serial2 idascap?\r", "Invalid\r\n");
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
    for (const auto &kv : kGlobalDefaults)
        QVERIFY(rig.cmd("config " + sb(kv.first) + "?\r", 20).endsWith("\r\n"));
    for (const auto &kv : kPortDefaults.mid(1)) // idascap of port 1 was the guard
        for (const char *port : {"config serial1 ", "config serial2 "})
            QVERIFY(rig.cmd(port + sb(kv.first) + "?\r", 20).endsWith("\r\n"));
    QVERIFY(rig.cmd("config serial2 idascap?\r", 20).endsWith("\r\n"));
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
