// The simulated encoder's state machine, driven in virtual time.
#include <QtTest>

#include "simrig.h"

#include <array>
#include <tuple>

using namespace encsim;

using namespace simtest;

namespace {

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

QByteArray emptyGroupV8(int n)
{
    return "L " + QByteArray::number(n) + " 0000 0 0 00 0 00 0 00" + QByteArray(" 0000").repeated(20);
}

// A row of the exchanges table. `after` lists the counts of refusals, violations and warnings
// (0 when not given), "mode=..." to check the mode, and "same" when the state must be untouched.
void row(const QByteArray &name, const QByteArray &setup, const QByteArray &input, const QByteArray &reply,
         const QByteArray &after = {})
{
    QTest::newRow(name.constData()) << setup << input << reply << after;
}

void queriesAndSettings()
{
    for (const QByteArray gen : {"gen=8", "gen=9"}) {
        for (const auto &[key, value] : kGlobalDefaults)
            row(gen + " " + key, gen, "config " + key + "?\r", value + "\r\n");
        for (const QByteArray port : {"serial1 ", "serial2 "})
            for (const auto &[key, value] : kPortDefaults)
                row(gen + " " + port + key, gen, "config " + port + key + "?\r", value + "\r\n");
    }
    // The ID-as-capcode check, in capitals, is answered by a line ended by LF; the same key's
    // settings query by CR LF.
    row("the check", "gen=9;serial1 idascap=1", "CONFIG SERIAL1 IDASCAP?\r", "1\n");
    row("the check, V7", "gen=7", "CONFIG IDASCAP?\r", "0\n");
    row("the settings query of the same key", "gen=9;serial1 idascap=1", "config serial1 idascap?\r", "1\r\n");
    // "<key> <value>" answers "<KEY> updated"; "<key>?" then reads the value back.
    const auto set = [](const QByteArray &key, const QByteArray &value, const QByteArray &readBack = {}) {
        row(key + " " + value, {}, key + " " + value + "\r" + key.toLower() + "?\r",
            key.mid(key.lastIndexOf(' ') + 1).toUpper() + " updated\r\n" + (readBack.isNull() ? value : readBack) + "\r\n");
    };
    set("config sid", "KQ 123 AB");
    set("config sid", "");
    set("config invertdata", "0");
    set("config serial2 pphreset", "0");
    set("config sidint", "14");
    set("config maxbatch", "010", "10");
    set("config CAPBY8", "1");
    set("CONFIG SERIAL2 IDASCAP", "1");
    set("config serial1 flow", "asw", "ASW");
    set("config serial2 protocol", "COMP2");
    set("config serial1 protocol", "SNPP"); // allowed from 9.7 on
    set("config serial1 baud", "1200");
    set("config serial2 databits", "e71", "E71");
    // The attenuation commands end their reply with CR alone.
    row("modattenc", {}, "CONFIG MODATTENC 39\rconfig MODATTENC?\r", "MODATTENC 39\r39\r\n");
    row("modattenf negative", {}, "CONFIG MODATTENF -70\rconfig modattenf?\r", "MODATTENF -70\r-70\r\n");

    // Refusals change nothing; a command the generation or firmware does not know is the PC's mistake.
    const auto refused = [](const char *name, const char *setup, const QByteArray &command, bool violation = false,
                            const char *reply = "Invalid\r\n") {
        row(name, setup, command + "\r", reply, violation ? "refusals=1;violations=1;same" : "refusals=1;same");
    };
    refused("unknown command", "", "hello");
    refused("unknown key", "", "config foo?");
    refused("flag out of range", "", "config capby8 2");
    refused("bad baud", "", "config serial1 baud 4800");
    refused("sidint 0", "", "config sidint 0");
    refused("sid too long", "", "config sid " + QByteArray(33, 'x'));
    refused("setting without value", "", "config maxbatch");
    refused("snpp on 9.6", "fw=9.6", "config serial1 protocol SNPP");
    refused("snpp on 8.12", "gen=8;fw=8.12", "config serial2 protocol SNPP");
    refused("sidint on 9.01", "fw=9.01", "config sidint 14", true);
    refused("V7 key on V9", "", "CONFIG IDASCAP?", true);
    refused("V9 key on V7", "gen=7", "CONFIG SERIAL1 IDASCAP?", true);
    refused("modattenc out of range", "", "CONFIG MODATTENC 40", false, "Invalid\r");
    refused("modattenf not a number", "gen=7", "CONFIG MODATTENF x", false, "Invalid\r");
    // The reported text and the behaviour may disagree: "7.2" talking like a V9.
    refused("7.2 behaving as V9", "fw=7.2;gen=9", "config pphreset?", true);

    // The single-port encoder: its reader and writer end their lines with CR LF.
    for (const auto &[key, value] : QList<QPair<QByteArray, QByteArray>>{
             {"maxbatch", "10"}, {"dutycycle", "66"}, {"pphreset", "1"}, {"ignorerfcd", "0"}, {"pet", "0"},
             {"invertrfcd", "1"}, {"invertdata", "0"}, {"briefack", "0"}, {"altfc", "0"}, {"IDASCAP", "0"}})
        row("V7 " + key, "gen=7", "config " + key + "?\r\n", value + "\r\n");
    for (const QByteArray key : {"IDASCAP", "pet", "maxbatch", "altfc"})
        row("V7 set " + key, "gen=7", "config " + key + " 1\r\n", key.toUpper() + " option updated\r\n");
    row("V7 modattenc", "gen=7", "CONFIG MODATTENC 9\r\n", "MODATTENC 9\r");
    row("V7 lookup", "gen=7", "LOOKUP 5\r\n", "ID 5 not found\r\n");
    // Without PET its PET commands get RS and keep nothing.
    row("V7 no pet: query", "gen=7;pet=off", "config pet?\r\n", kAck, "refusals=1;same");
    row("V7 no pet: setting", "gen=7;pet=off", "config pet 1\r\n", kAck, "refusals=1;same");
    row("V7 no pet: other setting", "gen=7;pet=off", "config altfc 1\r\n", "ALTFC option updated\r\n");

    for (const auto &[id, reply] : QList<QPair<QByteArray, QByteArray>>{
             {"123", "ID 123 capcode 1234023, msg enc:A, baud:512 func bits:11"},
             {"200", "ID 200 capcode 1300000, msg enc:N, baud:1200 func bits:00"},
             {"10", "ID 10 is list 1"}, {"150", "ID 150 not found"}, {"", "Invalid ID"}, {"12a", "Invalid ID"}})
        row("lookup " + id, "preset=demo", "LOOKUP " + id + "\r\n", reply + "\r\n");
    row("lookup ending", "preset=demo;knob lookup_ending=lfcr", "LOOKUP 10\r\n", "ID 10 is list 1\n\r");
}

void records()
{
    const auto read = [](const char *name, const char *setup, const char *request, const QByteArray &reply) {
        row(name, setup, blk(kReadConfigId, request), reply + "\r\n");
    };
    read("V9 empty group", "", "L 10", "L 10 0000");
    read("V7 empty group", "gen=7", "L 3", emptyGroupV8(3));
    read("factory family", "", "G 9", "G 9 0 0000000 5 A 0 000 0000 00 00");
    read("factory message", "gen=8", "M 1", "M 1 \"\"");
    read("demo group", "preset=demo", "L 1",
         "L 1 0010 1 0 00 0 00 0 00 0100 0101 0102 0200" + QByteArray(" 0000").repeated(16));
    read("demo family", "preset=demo", "G 2", "G 2 1 1300000 1 N 0 020 0200 00 00");
    read("demo message", "preset=demo", "M 2", "M 2 \"Meeting in 5 minutes\"");
    for (const char *request : {"G 51", "X 1"}) // out of range, unknown letter
        row(request, {}, blk(kReadConfigId, request), "Invalid\r\n", "refusals=1;same");

    // Written, acknowledged and read back (as written unless given).
    const auto write = [](const char *name, int gen, const QByteArray &record, QByteArray readBack = {},
                          int warnings = 0) {
        const std::string_view id = gen == 7 ? kWriteConfigIdV7 : kWriteConfigId;
        row(name, "gen=" + QByteArray::number(gen),
            blk(id, sb(record)) + blk(kReadConfigId, sb(record.left(record.indexOf(' ', 2)))),
            kAck + (readBack.isEmpty() ? record : readBack) + "\r\n", "warnings=" + QByteArray::number(warnings));
    };
    const QByteArray members = " 0101 0102" + QByteArray(" 0000").repeated(18);
    const QByteArray zeros = QByteArray(" 0").repeated(18);
    write("group as stored", 9, "L 2 12 1 0 00 0 00 1 3 101 102" + zeros, "L 2 0012 1 0 00 0 00 1 03" + members);
    write("group with empty field and None", 9, "L 2 12 1  00 0 00 1 None 101 102" + zeros,
          "L 2 0012 1 0 00 0 00 1 00" + members, 2);
    write("two-port empty group", 9, emptyGroupV8(4), "L 4 0000");
    write("V7 empty group", 7, "L 3 0 0 0 0 0 0 0 0", emptyGroupV8(3));
    write("family", 9, "G 7 1 1234000 5 a 3 50 100 0 2", "G 7 1 1234000 5 A 3 050 0100 00 02");
    write("family short", 9, "G 5 1 1234000", "G 5 1 1234000 5 A 0 000 0000 00 00", 1);
    write("message with quotes", 9, "M 3 \"say \"hi\" now\"");
    write("empty message", 7, "M 1 \"\"");
    write("long message kept", 9, "M 4 \"" + QByteArray(80, 'x') + "\"");

    QByteArray bad = blk(kReadConfigId, "L 1");
    bad[bad.size() - 2] = char(bad[bad.size() - 2] + 1);
    row("checksum wrong", "", bad, kNak, "refusals=1;same");
    row("checksum not checked", "knob checksum_check=off", bad, "L 1 0000\r\n");
    const QByteArray withNone = blk(kWriteConfigId, "L 2 12 1 0 00 0 00 1 None" + sb(QByteArray(" 0").repeated(20)));
    row("strict: None", "knob strict_records=on", withNone, "Invalid\r\n", "refusals=1;same");
    row("strict: 61 characters", "knob strict_records=on", blk(kWriteConfigId, "M 4 \"" + std::string(61, 'x') + "\""),
        "Invalid\r\n", "refusals=1;same");
    row("strict: 60 characters", "knob strict_records=on", blk(kWriteConfigId, "M 4 \"" + std::string(60, 'x') + "\""),
        kAck);
    row("max_message_len cuts", "knob max_message_len=5",
        blk(kWriteConfigId, "M 5 \"HELLO WORLD\"") + blk(kReadConfigId, "M 5"), kAck + "M 5 \"HELLO\"\r\n",
        "warnings=1");

    // ID-as-capcode on the attached port (only that one) NAKs records, unless the knob says not.
    for (const char *port : {"1", "2"}) {
        const QByteArray setup = QByteArray("port=") + port + ";serial" + port + " idascap=1";
        row(setup + ": read", setup, blk(kReadConfigId, "G 1"), kNak, "refusals=1;violations=1;same");
        row(setup + ": write", setup, blk(kWriteConfigId, "M 1 \"x\""), kNak, "refusals=1;violations=1;same");
    }
    row("idascap on the other port", "port=1;serial2 idascap=1", blk(kReadConfigId, "M 1"), "M 1 \"\"\r\n");
    row("idascap not blocking", "serial1 idascap=1;knob idascap_blocks_records=off", blk(kWriteConfigId, "M 1 \"x\""),
        kAck);
    row("V7 idascap", "gen=7", "CONFIG IDASCAP 1\r\n" + blk(kWriteConfigIdV7, "M 1 \"x\""),
        "IDASCAP option updated\r\n" + kNak, "refusals=1;violations=1");

    // Another generation's pager ID gets no answer.
    row("foreign ID", "", blk("1234", "L 1"), {}, "violations=1;same");
    row("V7 ID on V9", "", blk(kWriteConfigIdV7, "M 1 \"x\""), {}, "violations=1;same");
    row("V9 ID on V7", "gen=7", blk(kWriteConfigId, "M 1 \"x\""), {}, "violations=1;same");
    // A block not closed by CR is still judged, and the byte after it is taken as input.
    QByteArray open = blk(kReadConfigId, "M 1");
    open.back() = 'A';
    row("block without CR", "", open + "TI\r", "M 1 \"\"\r\n" + kBanner97, "violations=1");
}

void modes()
{
    // Nothing of "#PrgmMode#" leaks through before the announcement, whatever the paging protocol.
    for (const QByteArray protocol : {"TAP", "PET", "COMP1", "COMP2", "ZQ", "SCOPE", "SNPP"})
        row("#PrgmMode# " + protocol, "mode=paging;serial1 protocol=" + protocol, "#PrgmMode#", kAnnounce,
            "mode=PROGRAMMING");
    row("#PrgmMode# mid-line", "", "config max#PrgmMode#", kAnnounce, "mode=PROGRAMMING");
    row("#PrgmMode# power off", "mode=off", "#PrgmMode#ATI\r", {}, "mode=OFF");
    row("#PrgmMode# port at 2400, PC at 9600", "mode=paging;serial1 baud=2400", "#PrgmMode#", {}, "mode=PAGING");
    // The announcement at 9600 reaches a PC at 2400 as the signature.
    row("#PrgmMode# port and PC at 2400", "mode=paging;serial1 baud=2400;pc=2400", "#PrgmMode#", kSig,
        "mode=PROGRAMMING");
    row("#PrgmMode# line check off", "mode=paging;serial1 baud=2400;knob line_check=off", "#PrgmMode#", kAnnounce,
        "mode=PROGRAMMING");
    row("#PrgmMode# ignored once", "mode=paging;knob ignore_prgmmode_count=1", "#PrgmMode#ATI\r\r#PrgmMode#",
        kBanner97 + kAnnounce, "mode=PROGRAMMING");
    // A V7 with its DIP switches off never enters programming mode.
    row("#PrgmMode# V7 DIP off", "gen=7;dip=off;mode=paging", "#PrgmMode#ATI\r",
        "\r\nKestrane Paging Encoder v7.2\r\nPort 1\r\n", "mode=PAGING");

    // The detection's "ATI" CR CR, in both modes: the second CR is an empty line and gets nothing.
    const QByteArray head = "\r\nKestrane Paging Encoder v";
    for (const QByteArray mode : {"", ";mode=paging"}) {
        const auto ati = [&mode](const char *name, const QByteArray &setup, const QByteArray &reply) {
            row(name + mode, setup + mode, "ati\r\r", reply);
        };
        ati("9.7S on port 2 reports 1", "fw=9.7S;port=2", head + "9.7S\r\nPort 1\r\nID=");
        ati("9.7 on port 2", "port=2", head + "9.7\r\nPort 2\r\nID=");
        ati("8.12 beta", "fw=8.12 beta", head + "8.12 beta\r\nPort 1\r\nID=");
        ati("V7 on port 2 reports 1", "gen=7;port=2", head + "7.2\r\nPort 1\r\nID=");
        ati("banner only", "knob ati_style=banner_only", head + "9.7\r\nPort 1\r\n");
        ati("id only", "knob ati_style=id_only", "ID=");
        ati("no v", "knob ati_style=no_v", "\r\nKestrane Paging Encoder 9.7\r\nPort 1\r\nID=");
        ati("no CR after version", "knob ati_style=no_cr_after_version", head + "9.7 \nPort 1\nID=");
        ati("port letter", "knob ati_style=port_letter", head + "9.7\r\nPort X\r\nID=");
        ati("no port", "knob ati_style=no_port", head + "9.7\r\nID=");
        ati("trailing", "knob ati_style=trailing <CR><LF>xy", head + "9.7\r\nPort 1\r\nID=\r\nxy");
    }

    // Paging mode answers in its protocol; a "config" line there is the PC's mistake.
    const auto paging = [](const char *name, const QByteArray &setup, const QByteArray &input, const QByteArray &reply,
                           const QByteArray &after = "mode=PAGING") {
        row(name, "mode=paging;serial1 protocol=" + setup, input, reply, after);
    };
    paging("TAP wake-up CR", "TAP", "\r", "ID=");
    paging("TAP ATI", "TAP", "ATI\r\r", kBanner97);
    paging("TAP config line", "TAP", "config maxbatch?\r", "ID=", "mode=PAGING;violations=1");
    paging("TAP block: one prompt per CR", "TAP", blk(kReadConfigId, "L 1"), "ID=ID=ID=");
    paging("config reboot is TAP input", "TAP", "config reboot\r", "ID=", "mode=PAGING;violations=1");
    paging("PET ATI", "PET", "ATI\r\r", kBanner97);
    // A factory encoder has no default pager for COMP1: each line is dropped with a warning.
    const QByteArray dropped = "mode=PAGING;warnings=1";
    paging("COMP1", "COMP1", "ATI\r", "\r\nCOMP1>", dropped);
    paging("COMP1 CR LF is one line end", "COMP1", "hello\r\n", "\r\nCOMP1>", dropped);
    paging("COMP1 V7 DIP off echoes", "COMP1;gen=7;dip=off", "#PrgmMode#ATI\r", "#PrgmMode#ATI\r\r\nCOMP1>", dropped);
    paging("COMP2", "COMP2", "ATI\r", "\r\nCOMP2>");
    paging("COMP2 V7 DIP off prompts", "COMP2;gen=7;dip=off", "ATI\r", "\r\nCOMP2>");
    paging("COMP2 V7 DIP off silent to #PrgmMode#", "COMP2;gen=7;dip=off", "#PrgmMode#", {});
    paging("COMP2 frame for an unknown pager", "COMP2", "\x7f\x7f\x7f" "123A\rHELLO\r", "\x15" "03\r\nCOMP2>",
           "mode=PAGING;refusals=1");
    paging("ZQ echo and bell", "ZQ", "ATI\r\r", "ATI\r\a\r");
    paging("SCOPE", "SCOPE", "ATI\r\r", "INVALID\r\n");
    paging("SNPP", "SNPP", "ATI\r\r", "\r\nError - Invalid Command\r\n");
}

void replyKnobs()
{
    const auto knob = [](const char *name, const QByteArray &knob, const QByteArray &input, const QByteArray &reply) {
        row(name, "knob " + knob, input, reply);
    };
    knob("drop", "drop_reply=\"config dutycycle?\"", "config dutycycle?\r", {});
    knob("drop, other command", "drop_reply=\"config dutycycle?\"", "config maxbatch?\r", "10\r\n");
    knob("replace", "replace_reply=sel=\"config maxbatch?\" bytes=abc<CR><LF>", "CONFIG MAXBATCH?\r", "abc\r\n");
    knob("replace prefix selector", "replace_reply=\"CONFIG SERIAL1 IDASCAP\" bytes=COMP2>", "CONFIG SERIAL1 IDASCAP?\r",
         "COMP2>");
    knob("garbage before", "garbage=ATI where=before bytes=\\x00\\xff", "ATI\r", QByteArray("\x00\xff", 2) + kBanner97);
    knob("garbage after", "garbage=\"config sid?\" where=after bytes=\" 1\"", "config sid?\r", "\r\n 1");
    knob("garbage instead", "garbage=#PrgmMode# where=instead bytes=zz", "#PrgmMode#", "zz");
    knob("inject ID= config", "inject_id_prompt=\"config dutycycle?\"", "config dutycycle?\r", "ID=\r\n");
    knob("inject ID= record", "inject_id_prompt=write:L", blk(kWriteConfigId, "L 1 0 0 0 0 0 0 0 0"), "ID=\x1e\r");
    knob("inject ID= other", "inject_id_prompt=LOOKUP", "LOOKUP 1\r\n", "ID=");
    knob("line ending", "line_ending=\"config maxbatch?\" ending=cr", "config maxbatch?\r", "10\r");
    knob("the check ended by CR LF", "line_ending=\"CONFIG SERIAL1 IDASCAP?\" ending=crlf", "CONFIG SERIAL1 IDASCAP?\r",
         "0\r\n");
    knob("record ack", "record_ack=write:M bytes=<ACK><CR>", blk(kWriteConfigId, "M 1 \"a\""), "\x06\r");
    knob("record reply override", "record_reply_override=\"read:G 21\" bytes=\" G 21 1\\r\\n\"",
         blk(kReadConfigId, "G 21"), " G 21 1\r\n");
    knob("selector word boundary", "drop_reply=\"read:G 2\"", blk(kReadConfigId, "G 21"),
         "G 21 0 0000000 5 A 0 000 0000 00 00\r\n");
    knob("signature inside", "signature_inside=", "#PrgmMode#", "\r\n*" + kSig + "*\r\n");
    knob("echo", "echo_commands=on", "config maxbatch?\r", "config maxbatch?\r10\r\n");
    // The line's echo: every byte taken, the LF after the CR included, ahead of the answer.
    knob("line echo", "echo=on", "config maxbatch?\r\n", "config maxbatch?\r\n10\r\n");
    knob("line echo, CR as CR LF", "echo=crlf", "ATI\r\r", "ATI\r\n\r\n" + kBanner97);
    knob("line echo of a record block", "echo=crlf", blk(kReadConfigId, "M 1"),
         blk(kReadConfigId, "M 1").replace("\r", "\r\n") + "M 1 \"\"\r\n");
    knob("line echo and the announcement", "echo=on", "#PrgmMode#", "#PrgmMode#\r\nTAP Programming Mode, 9600 baud");
}

} // namespace

class TestSimCore : public QObject {
    Q_OBJECT
private slots:
    // What the encoder answers to one input, and what it counted.
    void exchanges_data()
    {
        QTest::addColumn<QByteArray>("setup");
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QByteArray>("after");
        queriesAndSettings();
        records();
        modes();
        replyKnobs();
    }

    void exchanges()
    {
        QFETCH(QByteArray, setup);
        QFETCH(QByteArray, input);
        QFETCH(QByteArray, reply);
        QFETCH(QByteArray, after);
        Rig rig(setup);
        const std::string before = rig.core.saveState();
        QCOMPARE(rig.cmd(sb(input), 1000), reply);
        QMap<QByteArray, QByteArray> expected;
        for (const auto &[key, value] : items(after))
            expected[key] = value;
        QCOMPARE(rig.core.stats().refusals, expected.value("refusals", "0").toInt());
        QCOMPARE(rig.core.stats().violations, expected.value("violations", "0").toInt());
        QCOMPARE(rig.core.stats().warnings, expected.value("warnings", "0").toInt());
        if (expected.contains("mode"))
            QCOMPARE(qb(std::string(modeName(rig.core.mode()))), expected["mode"]);
        if (after.contains("same"))
            QCOMPARE(rig.core.saveState(), before);
    }

    void blockChecksums()
    {
        const QList<std::array<const char *, 3>> table = {
            {"123", "abc", "1=;"}, {"123", "ABC", "17;"}, {"", "", "01?"}, {"061c74", "G 50", "250"},
            {"0047d16", "G 1 0 8 5 A 0 0 0 0 0", "53;"}, {"0047d16", "M 2 \"HELLO\"", "42<"},
            {"052e39", "L 3 0 0 0 0 0 0 0 0", "4:6"}};
        QCOMPARE(blk("123", "abc").toHex(' '), QByteArray("02 31 32 33 0d 61 62 63 0d 03 31 3d 3b 0d"));
        for (const auto &[id, message, checksum] : table) {
            QCOMPARE(blk(id, message).right(4), QByteArray(checksum) + "\r");
            // Sums that differ by 4096 carry the same characters (only the low 12 bits count).
            const std::string padded = message + std::string(16, '\xFF') + std::string(16, '\x01');
            QCOMPARE(blk(id, padded).right(4), QByteArray(checksum) + "\r");
            // The encoder accepts each of these blocks: none of them is NAKed.
            Rig rig(std::string_view(id) == "052e39" ? "gen=7" : "");
            QVERIFY2(!rig.cmd(buildBlock(id, message)).contains('\x15'), message);
        }
    }

    void prgmModeOverTime()
    {
        // TAP at 9600: the mode switches as the last byte arrives, the announcement follows 30 ms later.
        Rig rig("mode=paging");
        rig.line.write("#PrgmMode#");
        QCOMPARE(rig.core.mode(), Mode::Paging); // the bytes are still on their way at 9600
        QCOMPARE(qb(rig.line.run(15)), QByteArray());
        QCOMPARE(rig.core.mode(), Mode::Programming);
        QCOMPARE(qb(rig.line.run(200)), kAnnounce);

        // Announcement later, and programming mode entered late.
        Rig late("mode=paging;knob announce_delay_ms=2000;knob switch_delay_ms=300");
        late.line.write("#PrgmMode#");
        late.line.run(100);
        QCOMPARE(late.core.mode(), Mode::Paging);
        QCOMPARE(qb(late.line.run(400)), QByteArray());
        QCOMPARE(late.core.mode(), Mode::Programming);
        QCOMPARE(qb(late.line.run(2100)), kAnnounce);
        QVERIFY(late.line.lastOutputMs() > 2300);

        // The console's closing: "#PrgmMode#" and, a few milliseconds later, "ATI" CR.
        Rig console("mode=paging");
        console.line.write("#PrgmMode#");
        console.line.run(5);
        QCOMPARE(console.cmd("ATI\r"), kAnnounce + kBanner97);

        // Other answers for a mismatched announcement; garbage never holds the signature.
        for (const QByteArray how : {"garbage", "silence"}) {
            Rig r("mode=paging;serial1 baud=2400;pc=2400;knob mismatch_announce=" + how);
            const QByteArray out = r.cmd("#PrgmMode#");
            QVERIFY(!out.contains(kSig));
            QCOMPARE(out.isEmpty(), how == "silence");
        }
        // Noise: mismatched input is taken as random bytes ending a line.
        Rig noisy("knob mismatch_input=noise;knob mismatch_output=clear;pc=1200");
        QVERIFY(noisy.cmd("config maxbatch?\r").contains("Invalid"));
        // Side channel: the character format counts too; programming mode talks N81, so the
        // E71 PC hears the signature.
        Rig side("mode=paging;serial1 databits=E71;knob line_check=sidechannel");
        side.core.tellLineSettings(side.line.now(), *LineSettings::parse("9600,n,8,1"));
        QCOMPARE(side.cmd("#PrgmMode#"), QByteArray());
        side.core.tellLineSettings(side.line.now(), *LineSettings::parse("9600,e,7,1"));
        QCOMPARE(side.cmd("#PrgmMode#"), kSig);
    }

    // Each byte is judged by the PC's speed when the encoder's receiver takes it in, its time on
    // the line after it was written: a PC that changes its speed (or closes a port that puts
    // other settings back) before its bytes are out garbles them; grace_ms forgives that.
    void bytesAreJudgedAsTheyArrive()
    {
        // "#PrgmMode#" at 2400 takes 42 ms to arrive.
        Rig early("mode=paging;serial1 baud=2400;pc=2400");
        early.line.write("#PrgmMode#");
        early.line.run(20);
        early.line.setPc("9600,n,8,1");
        early.line.run(100);
        QCOMPARE(early.core.mode(), Mode::Paging);
        QCOMPARE(early.core.log().count("ignored 6 bytes sent at 9600"), std::size_t(1)); // 4 were in

        Rig waited("mode=paging;serial1 baud=2400;pc=2400");
        waited.line.write("#PrgmMode#");
        waited.line.run(45);
        waited.line.setPc("9600,n,8,1");
        QCOMPARE(waited.cmd("ATI\r"), kAnnounce + kBanner97);
        QCOMPARE(waited.core.mode(), Mode::Programming);

        // The speed before the change is forgiven within grace_ms (none by default).
        Rig forgiven("mode=paging;serial1 baud=2400;pc=2400;knob grace_ms=50");
        forgiven.line.write("#PrgmMode#");
        forgiven.line.run(20);
        forgiven.line.setPc("9600,n,8,1");
        forgiven.line.run(100);
        QCOMPARE(forgiven.core.mode(), Mode::Programming);
        QCOMPARE(forgiven.core.log().count("within grace_ms"), std::size_t(1));
        // Also after more than one change (a port that passes through other settings as it
        // closes), but not once grace_ms has passed since the speed was last seen.
        for (const int grace : {50, 5}) {
            Rig twice("mode=paging;serial1 baud=2400;pc=2400;knob grace_ms=" + QByteArray::number(grace));
            twice.line.write("#PrgmMode#");
            twice.line.run(20);
            twice.line.setPc("38400,n,8,1");
            twice.line.run(1);
            twice.line.setPc("9600,n,8,1");
            twice.line.run(100);
            QCOMPARE(twice.core.mode(), grace == 50 ? Mode::Programming : Mode::Paging);
        }

        // Bytes that arrive at the right speed after garbled ones are understood again.
        Rig mixed("mode=paging;serial1 baud=2400;pc=9600");
        mixed.line.write("xx");
        mixed.line.run(5);
        mixed.line.setPc("2400,n,8,1");
        mixed.line.write("#PrgmMode#");
        mixed.line.run(100);
        QCOMPARE(mixed.core.mode(), Mode::Programming);
        QCOMPARE(mixed.core.log().count("ignored 2 bytes sent at 9600"), std::size_t(1));
    }

    void rebootPowerAndTones()
    {
        Rig rig("preset=demo");
        rig.cmd("config serial1 baud 2400\r");
        rig.cmd("config serial1 protocol COMP1\r");
        rig.cmd("config CAPBY8 1\r");
        QCOMPARE(rig.core.snapshot().pagingBaud, std::string("9600")); // stored, used from the next boot
        QVERIFY(rig.cmd("LOOKUP 101\r\n").startsWith("ID 101 capcode 1234001,"));
        QCOMPARE(rig.cmd("TEST1200\r"), QByteArray());
        QCOMPARE(rig.core.snapshot().tone, 1200);
        QCOMPARE(rig.cmd("config reboot\r", 100), QByteArray());
        QCOMPARE(rig.core.mode(), Mode::Booting);
        QCOMPARE(rig.core.snapshot().tone, 0);
        QCOMPARE(rig.cmd("ATI\r", 1000), QByteArray()); // input while booting is discarded, and told
        QCOMPARE(rig.count("reboot 4 bytes lost while booting"), std::size_t(1));
        rig.line.run(500);
        QCOMPARE(rig.core.mode(), Mode::Paging);
        QCOMPARE(rig.core.listenBaud(), 2400);
        QCOMPARE(rig.core.snapshot().pagingProtocol, std::string("COMP1"));
        QCOMPARE(rig.cmd("x\r"), QByteArray()); // the PC is still at 9600
        rig.line.setPc("2400,n,8,1");
        QCOMPARE(rig.cmd("x\r"), QByteArray("\r\nCOMP1>"));
        rig.line.setPc("9600,n,8,1");
        rig.knob("line_check", "off");
        rig.cmd("#PrgmMode#");
        QVERIFY(rig.cmd("LOOKUP 101\r\n").startsWith("ID 101 capcode 1234008,"));

        // Power: off is dead, on boots into paging mode with the same non-volatile state.
        rig.core.powerOff(rig.line.now());
        QCOMPARE(rig.cmd("x\r"), QByteArray());
        rig.core.powerOn(rig.line.now());
        QCOMPARE(rig.core.mode(), Mode::Booting);
        rig.line.run(1600);
        QCOMPARE(rig.core.mode(), Mode::Paging);
        QCOMPARE(rig.core.state().cfg("serial1 baud"), std::string("2400"));
        rig.knob("reboot_ms", "3000");
        rig.knob("boot_banner", "READY<CR><LF>");
        rig.core.powerCycle(rig.line.now());
        rig.line.run(2900);
        QCOMPARE(rig.core.mode(), Mode::Booting);
        QCOMPARE(qb(rig.line.run(200)), QByteArray("READY\r\n"));
        QVERIFY(rig.count("reboot boot finished") >= 3);

        // An attenuation command ends a test tone; tone_reply answers the tone commands.
        Rig tones;
        tones.cmd("TEST2400\r");
        QCOMPARE(tones.cmd("CONFIG MODATTENC 7\r"), QByteArray("MODATTENC 7\r"));
        QCOMPARE(tones.core.snapshot().tone, 0);
        tones.knob("tone_reply", "beep");
        QCOMPARE(tones.cmd("TEST512\r"), QByteArray("beep"));
        QCOMPARE(tones.core.snapshot().tone, 512);
    }

    void occurrenceRules()
    {
        // Which of six identical queries get no answer.
        for (const auto &[rule, dropped] : QList<QPair<const char *, QString>>{
                 {"next", "100000"}, {"nth:3", "001000"}, {"next:2", "110000"}, {"count=4", "111100"}, {"every", "111111"}}) {
            Rig rig(QByteArray("knob drop_reply=\"config maxbatch?\" ") + rule);
            QString got;
            for (int i = 0; i < 6; ++i) {
                rig.cmd("config dutycycle?\r"); // not selected: does not count
                got += rig.cmd("config maxbatch?\r").isEmpty() ? '1' : '0';
            }
            QCOMPARE(got, dropped);
            QCOMPARE(rig.count("knob drop_reply fired"), static_cast<std::size_t>(dropped.count('1')));
        }
    }

    void selectorActions()
    {
        // Delay and split change when bytes arrive, not what arrives.
        Rig rig("knob pacing=off;knob delay_reply=ATI ms=3000");
        rig.line.write("ATI\r");
        QCOMPARE(qb(rig.line.run(2900)), QByteArray());
        QCOMPARE(qb(rig.line.run(200)), kBanner97);
        rig.knob("split_reply", "ATI gap_ms=500"); // two parts by default
        rig.line.write("ATI\r");
        QByteArray whole;
        int parts = 0;
        for (int i = 0; i < 30; ++i) {
            const QByteArray got = qb(rig.line.run(50));
            parts += !got.isEmpty();
            whole += got;
        }
        QCOMPARE(parts, 2);
        QCOMPARE(whole, kBanner97);

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
        // serial2_absent: the second port's keys are unknown.
        Rig single("knob serial2_absent=on");
        QCOMPARE(single.cmd("config serial2 idascap?\r"), QByteArray("Invalid\r\n"));
        // Bad knob texts are refused with a reason.
        using Text = std::pair<const char *, const char *>;
        for (const auto &[name, value] : {Text{"delay_reply", "ATI"}, Text{"pacing", "fast"},
                                          Text{"no_such_knob", "1"}, Text{"replace_reply", "ATI bytes=\\xZZ"}}) {
            std::string error;
            QVERIFY2(!rig.core.setKnob(0, name, value, &error), name);
            QVERIFY(!error.empty());
        }
    }

    void pacing()
    {
        // 9600 baud: 10 bits a character. The query's 17 bytes arrive, 10 ms pass, then the
        // 4-byte reply goes out whole (burst) or byte by byte; unpaced, all of it at once.
        const double paced = 17 * 10000.0 / 9600 + 10 + 4 * 10000.0 / 9600;
        for (const auto &[pacing, lastByteMs, deliveries] :
             {std::tuple{"burst", paced, 1}, std::tuple{"bytewise", paced, 4}, std::tuple{"off", 10.0, 1}}) {
            Rig rig(QByteArray("knob pacing=") + pacing);
            rig.line.write("config maxbatch?\r");
            QByteArray got;
            int writes = 0;
            for (int i = 0; i < 200; ++i) {
                const QByteArray part = qb(rig.line.run(0.5));
                writes += !part.isEmpty();
                got += part;
            }
            QCOMPARE(got, QByteArray("10\r\n"));
            QCOMPARE(writes, deliveries);
            QVERIFY2(qAbs(rig.line.lastOutputMs() - lastByteMs) < 0.1, pacing);
        }
    }

    void fullTwoPortReadIsCounted()
    {
        // A whole two-port read: 23 queries and the 75 record requests, each answered as stored.
        Rig rig("preset=demo;knob pacing=off");
        for (const auto &kv : kGlobalDefaults)
            rig.cmd("config " + sb(kv.first) + "?\r", 20);
        for (const char *port : {"config serial1 ", "config serial2 "})
            for (const auto &kv : kPortDefaults)
                rig.cmd(port + sb(kv.first) + "?\r", 20);
        for (const std::string &line : rig.core.snapshot().recordLines)
            QCOMPARE(rig.block(kReadConfigId, line.substr(0, line.find(' ', 2)), 20), qb(line) + "\r\n");
        QCOMPARE(rig.core.stats().queries, 23);
        QCOMPARE(rig.core.stats().recordRequests, 75);
        QCOMPARE(rig.core.stats().refusals + rig.core.stats().warnings + rig.core.stats().violations, 0);
    }

    void stateRoundTrip()
    {
        DeviceState s = DeviceState::demo();
        s.firmware = "9.7S";
        s.generationOverride = 8;
        s.attachedPort = 2;
        s.messages[4] = std::string("a\\b\r\"c\"\x89", 8);
        std::string error;
        const auto back = DeviceState::fromText(s.toText(), &error);
        QVERIFY2(back && back->toText() == s.toText() && back->messages[4] == s.messages[4], error.c_str());
        QCOMPARE(back->generation(), 8);
        QVERIFY(!DeviceState::fromText("firmware=9.7\ngeneration=6\n", &error) && !DeviceState::fromText("nonsense\n", &error));
        // A running core loads it too.
        Rig rig;
        QVERIFY(rig.core.loadState(0, s.toText(), &error));
        QCOMPARE(rig.block(kReadConfigId, "M 5"), qb(messageLine(5, s.messages[4])) + "\r\n");
    }
};

QTEST_GUILESS_MAIN(TestSimCore)
#include "tst_sim_core.moc"
