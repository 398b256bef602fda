// The simulated encoder's paging protocols at the byte level, in virtual time: what each
// protocol answers and which pages go on the air.
#include <QtTest>

#include "simrig.h"

using namespace encsim;
using namespace simtest;

namespace {

const QByteArray kAckCr = "\x06\r";
const QByteArray kNakCr = "\x15\r";
const QByteArray kLogOn = "\x1bPG1\r";
const QByteArray kGoAhead = "\x06\r\x1b[p\r";
const QByteArray kDemo = "preset=demo;mode=paging;";
const QByteArray kLoggedIn = "preset=demo;mode=paging;knob tap_logged_in_at_boot=on;";

QByteArray tap(std::string_view id, std::string_view msg)
{
    return qb(buildBlock(id, msg));
}

QByteArray rs(const QByteArray &code)
{
    return code + "\r\x1e\r";
}

// A group record: Group ID, Active, then members.
QByteArray group(int n, int id, int active, const QList<int> &members)
{
    QByteArray line = "record=L " + QByteArray::number(n) + " " + QByteArray::number(id) + " " +
                      QByteArray::number(active) + " 0 0 0 0 0 0";
    for (int i = 0; i < 20; ++i)
        line += " " + QByteArray::number(i < members.size() ? members[i] : 0);
    return line + ";";
}

void row(const char *name, const QByteArray &setup, const QByteArray &input, const QByteArray &reply,
         const QByteArray &pages = {}, int refusals = 0)
{
    QTest::newRow(name) << setup << input << reply << pages << refusals;
}

void tapRows()
{
    const QByteArray f1 = "G 1 1 1234000 5 A 3 50 100 1 2";
    row("TAP family member", kLoggedIn, tap("123", "Hello"), kAckCr, "1234023 512 A 4 Hello");
    row("TAP function letter", kLoggedIn, tap("205c", "42"), kAckCr, "1300005 1200 N 3 42");
    row("TAP group", kLoggedIn, tap("10", "All"), kAckCr,
        "1234000 512 A 4 All|1234001 512 A 4 All|1234002 512 A 4 All|1300000 1200 N 1 All");
    row("TAP prefix and suffix", kLoggedIn + "record=" + f1, tap("100", "Hi"), kAckCr,
        "1234000 512 A 4 Call the office Hi Meeting in 5 minutes");
    row("TAP increment by 8", kLoggedIn + "capby8=1", tap("102", "x"), kAckCr, "1234016 512 A 4 x");
    row("TAP verbose", kLoggedIn + "serial1 verbose=1", tap("123", "x"), "211 Page Accepted\r\x06\r",
        "1234023 512 A 4 x");
    row("TAP on port 2", kLoggedIn + "port=2;serial1 verbose=1", tap("123", "x"), kAckCr, "1234023 512 A 4 x");
    row("V7 verbose", "gen=7;mode=paging;serial1 idascap=1;knob tap_logged_in_at_boot=on", tap("1234567", "x"),
        "211 Page Accepted\r\x06\r", "1234567 512 A 4 x");
    row("V7 brief", "gen=7;mode=paging;serial1 idascap=1;briefack=1;knob tap_logged_in_at_boot=on",
        tap("1234567", "x"), "\r\x06\r", "1234567 512 A 4 x");
    row("ID as capcode", kLoggedIn + "serial1 idascap=1", tap("0001234", "x"), kAckCr, "0001234 512 A 4 x");
    row("ID as capcode, illegal", kLoggedIn + "serial1 idascap=1", tap("2045060", "x"), rs("511 Invalid Pager ID"),
        {}, 1);
    row("long form", kLoggedIn, tap("1234567N12", "x"), kAckCr, "1234567 1200 N 3 x");
    row("long form, illegal capcode", kLoggedIn, tap("2007664A50", "x"), rs("511 Invalid Pager ID"), {}, 1);
    row("long form, bad type", kLoggedIn, tap("1234X50", "x"), rs("511 Invalid Pager ID"), {}, 1);
    // The range test's zero-filled pager IDs: capcode 0000 as a long form, pager ID 123 by value.
    row("all digits: long form", kLoggedIn, tap("0000123", "x"), rs("511 Invalid Pager ID"), {}, 1);
    row("all digits: numeric", kLoggedIn + "knob all_digit_ids=numeric", tap("0000123", "x"), kAckCr,
        "1234023 512 A 4 x");
    row("unknown pager ID", kLoggedIn, tap("999", "x"), rs("511 Invalid Pager ID"), {}, 1);
    row("empty pager ID", kLoggedIn, tap("", "x"), rs("511 Invalid Pager ID"), {}, 1);
    row("inactive family", kLoggedIn + "record=G 1 0 1234000 5 A 3 50 100 0 0", tap("123", "x"),
        rs("511 Invalid Pager ID"), {}, 1);
    row("inactive group", kLoggedIn + group(1, 10, 0, {100}), tap("10", "x"), rs("511 Invalid Pager ID"), {}, 1);
    row("group member outside the families", kLoggedIn + group(1, 10, 1, {100, 999}), tap("10", "x"), kAckCr,
        "1234000 512 A 4 x");
    QByteArray bad = tap("123", "x");
    bad[bad.size() - 2] = '0';
    row("wrong checksum", kLoggedIn, bad, kNakCr, {}, 1);
    row("checksum not checked", kLoggedIn + "knob checksum_check=off", bad, kAckCr, "1234023 512 A 4 x");
    QByteArray etb = tap("123", "x").chopped(5) + '\x17';
    etb += qb(blockChecksum(sb(etb))) + "\r";
    row("block ended by ETB", kLoggedIn, etb, kAckCr, "1234023 512 A 4 x");
    row("nak_blocks", kLoggedIn + "knob nak_blocks=2", tap("123", "a").repeated(3), kNakCr + kNakCr + kAckCr,
        "1234023 512 A 4 a");
    row("tap_busy", kLoggedIn + "knob tap_busy=1", tap("123", "a").repeated(2), rs("111 System Busy") + kAckCr,
        "1234023 512 A 4 a");
    row("tap_reject", kLoggedIn + "knob tap_reject=every", tap("123", "a").repeated(2),
        rs("512 Message Rejected").repeated(2));
    row("tap_max_len", kLoggedIn + "knob tap_max_len=5", tap("123", "Hello!") + tap("123", "Hello"),
        rs("512 Message Rejected") + kAckCr, "1234023 512 A 4 Hello", 1);
    // A lost answer: the page still goes out.
    row("drop_reply page", kLoggedIn + "knob drop_reply=page", tap("123", "x"), {}, "1234023 512 A 4 x");
    row("logged in: bare CR", kLoggedIn, "\r", {});
    row("logged in: log-off", kLoggedIn, "\x04\r", "\x1b\x04\r");
}

void comp1Rows()
{
    const QByteArray comp1 = kDemo + "serial1 protocol=COMP1;";
    const QByteArray prompt = "\r\nCOMP1>";
    row("COMP1 line to the default pager", comp1, "Hello\r\n", prompt, "1234000 512 A 4 Hello");
    row("COMP1 one page per line", comp1, "a\rb\n\r", prompt.repeated(3), "1234000 512 A 4 a|1234000 512 A 4 b");
    row("COMP1 long line", comp1 + "knob pacing=off", QByteArray(2000, 'x') + "\r", prompt, "1234000 512 A 4 " + QByteArray(2000, 'x'));
    row("COMP1 default pager is a pager ID", comp1 + "serial1 idascap=1", "x\r", prompt, "1234000 512 A 4 x");
    row("COMP1 no default pager", "mode=paging;serial1 protocol=COMP1", "x\r", prompt);
    row("COMP1 default pager in no family", comp1 + group(1, 10, 1, {999}), "x\r", prompt);
}

void comp2Rows()
{
    const QByteArray comp2 = kDemo + "serial1 protocol=COMP2;";
    const QByteArray okay = "okay\r\nCOMP2>";
    const auto nak = [](const char *code) { return "\x15" + QByteArray(code) + "\r\nCOMP2>"; };
    const QByteArray del3 = "\x7f\x7f\x7f";
    row("COMP2 page", comp2, del3 + "123A\rHello\r", okay, "1234023 512 A 1 Hello");
    row("COMP2 one DEL", comp2, "\x7f" "123\rx\r", okay, "1234023 512 A 4 x");
    row("COMP2 long form without letter", comp2, del3 + "1234567N12\rx\r", okay, "1234567 1200 N 3 x");
    row("COMP2 long form and letter", comp2, del3 + "1234A50B\rx\r", okay, "0001234 512 A 2 x");
    row("COMP2 group", comp2 + group(1, 10, 1, {100, 200}), del3 + "10D\rx\r", okay,
        "1234000 512 A 4 x|1300000 1200 N 4 x");
    row("COMP2 unknown pager", comp2, del3 + "999A\rx\r", nak("03"), {}, 1);
    row("COMP2 illegal capcode", comp2 + "serial1 idascap=1", del3 + "8A\rx\r", nak("03"), {}, 1);
    row("COMP2 malformed pager line", comp2, del3 + "12X4A\rx\r", nak("08"), {}, 1);
    row("COMP2 empty pager line", comp2, del3 + "\rx\r", nak("08"), {}, 1);
    row("comp2_nak four times", comp2 + "knob comp2_nak=04:4", (del3 + "123A\rx\r").repeated(5),
        nak("04").repeated(4) + okay, "1234023 512 A 1 x");
    row("comp2_nak other code", comp2 + "knob comp2_nak=XX", (del3 + "123A\rx\r").repeated(2), nak("XX") + okay,
        "1234023 512 A 1 x");
    row("COMP2 other line", comp2, "ATI\r\r", QByteArray("\r\nCOMP2>").repeated(2));
}

void snppRows()
{
    const QByteArray snpp = kDemo + "serial1 protocol=SNPP;";
    const QByteArray page = "250 Pager ID Accepted\r\n", mess = "250 Message OK\r\n",
                     sent = "250 Message Sent Successfully\r\n", invalid = "550 Error, Invalid Pager ID\r\n",
                     incomplete = "503 Error, Pager ID or Message Incomplete\r\n";
    row("SNPP page", snpp, "PAGE 123\r\nMESS Hello there\r\nSEND\r\n", page + mess + sent,
        "1234023 512 A 4 Hello there");
    row("SNPP words in any case, function letter", snpp, "page 205B\rmess x\nsend\r", page + mess + sent,
        "1300005 1200 N 2 x");
    row("SNPP later PAGE replaces", snpp, "PAGE 123\r\nPAGE 124\r\nMESS x\r\nSEND\r\n", page + page + mess + sent,
        "1234024 512 A 4 x");
    row("SNPP unknown pager", snpp, "PAGE 999\r\nMESS x\r\nSEND\r\n", invalid + mess + incomplete, {}, 2);
    row("SNPP range test pager ID", snpp, "PAGE 0000123\r\n", invalid, {}, 1);
    row("SNPP range test pager ID, numeric", snpp + "knob all_digit_ids=numeric", "PAGE 0000123\r\nMESS x\r\nSEND\r\n",
        page + mess + sent, "1234023 512 A 4 x");
    row("SNPP empty message", snpp, "PAGE 123\r\nMESS \r\nSEND\r\n", page + "550 Error, Message Required\r\n" + incomplete,
        {}, 2);
    row("SNPP reset and quit", snpp, "PAGE 123\r\nMESS x\r\nRESE\r\nSEND\r\nQUIT\r\n",
        page + mess + "250 Reset OK\r\n" + incomplete + "221 OK, Goodbye\r\n", {}, 1);
    row("snpp_fail at PAGE without line end", snpp + "knob snpp_fail=PAGE:550 04:2:noeol",
        "PAGE 123\r\nPAGE 123\r\nPAGE 123\r\nMESS x\r\nSEND\r\n", "550 04550 04" + page + mess + sent,
        "1234023 512 A 4 x");
    row("snpp_fail at MESS", snpp + "knob snpp_fail=MESS:554 Message Too Long", "PAGE 123\r\nMESS x\r\nSEND\r\n",
        page + "554 Message Too Long\r\n" + incomplete, {}, 1);
    row("SNPP other line", snpp, "ATI\r\r", "\r\nError - Invalid Command\r\n");
}

void zqRows()
{
    const QByteArray zq = kDemo + "serial1 protocol=ZQ;";
    const QByteArray ack = "\x06\x04";
    const auto nak = [](const char *code) { return "\x15" + QByteArray(code) + "\x04"; };
    const auto frame = [](const QByteArray &head, const QByteArray &capcode, const QByteArray &message) {
        return "\x01" + head + capcode + "\x02" + message + "\x03\x04";
    };
    row("ZQ page", zq, QByteArray::fromHex("013231303030303132330248454C4C4F0304"), ack, "0000123 1200 A 2 HELLO");
    row("ZQ function 4 at 2400", zq, frame("42", "1234567", "x"), ack, "1234567 2400 A 4 x");
    row("ZQ illegal capcode", zq, frame("15", "0000008", "x"), nak("03"), {}, 1);
    row("ZQ bad function digit", zq, frame("55", "0000123", "x"), nak("08"), {}, 1);
    row("ZQ bad rate digit", zq, frame("13", "0000123", "x"), nak("08"), {}, 1);
    row("ZQ capcode not digits", zq, frame("15", "00001X3", "x"), nak("08"), {}, 1);
    row("ZQ no STX", zq, "\x01" "150000123x\x03\x04", nak("08"), {}, 1);
    row("zq_nak", zq + "knob zq_nak=05:1", frame("15", "0000123", "x").repeated(2), nak("05") + ack,
        "0000123 512 A 1 x");
    row("ZQ other line", zq, "ATI\r\r", "ATI\r\a\r");
}

void scopeRows()
{
    const QByteArray scope = kDemo + "serial1 protocol=SCOPE;";
    const QByteArray ack = "\x06\x04";
    const auto nak = [](const char *code) { return "\x15" + QByteArray(code) + "\x04"; };
    row("Scope page", scope, QByteArray::fromHex("41463030303031323342" "48454C4C4F0D"), ack, "0000123 1200 A 2 HELLO");
    row("Scope rates", scope, "AN0000123Dx\rAS1234567A2y\r", ack + ack, "0000123 512 A 4 x|1234567 2400 A 1 2y");
    row("Scope ACK CR", scope + "knob scope_reply=ack_cr", "AN0000123Dx\r", "\x06\r", "0000123 512 A 4 x");
    row("Scope illegal capcode", scope, "AN2097144Ax\r", nak("03"), {}, 1);
    row("Scope no function letter", scope, "AN0000123\r", nak("08"), {}, 1);
    row("Scope no capcode", scope, "ANAx\r", nak("08"), {}, 1);
    row("Scope letter past D", scope, "AN0000123Ex\r", nak("08"), {}, 1);
    row("scope_nak", scope + "knob scope_nak=04:every", "AN0000123Dx\r", nak("04"));
}

} // namespace

class TestSimPaging : public QObject {
    Q_OBJECT
private slots:
    void answersAndPages_data()
    {
        QTest::addColumn<QByteArray>("setup");
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QByteArray>("pages");
        QTest::addColumn<int>("refusals");
        tapRows();
        comp1Rows();
        comp2Rows();
        snppRows();
        zqRows();
        scopeRows();
    }

    void answersAndPages()
    {
        QFETCH(QByteArray, setup);
        QFETCH(QByteArray, input);
        QFETCH(QByteArray, reply);
        QFETCH(QByteArray, pages);
        QFETCH(int, refusals);
        Rig rig(setup);
        QCOMPARE(rig.cmd(sb(input), 1000), reply);
        QCOMPARE(rig.pages(), pages);
        QCOMPARE(rig.core.stats().pages, static_cast<int>(rig.core.pages().size()));
        QCOMPARE(rig.core.stats().refusals, refusals);
        QCOMPARE(rig.core.stats().violations, 0);
    }

    void tapLogOn()
    {
        // The first page after boot: every CR of the block is prompted, the log-on gets the
        // go-ahead, and the same block (sent without a discard) goes through.
        for (const char *protocol : {"TAP", "PET"}) {
            Rig rig(kDemo + "serial1 protocol=" + protocol);
            QCOMPARE(rig.cmd(sb(tap("123", "Hello"))), QByteArray("ID=ID=ID="));
            QCOMPARE(rig.cmd(sb(kLogOn)), kGoAhead);
            QVERIFY(rig.core.snapshot().tapLoggedIn);
            QCOMPARE(rig.cmd(sb(tap("123", "Hello"))), kAckCr);
            QCOMPARE(rig.core.pages().size(), std::size_t(1));
            QCOMPARE(rig.core.pages()[0].protocol, std::string(protocol));
            QCOMPARE(rig.count(std::string("page port 1 ") + protocol + " capcode 1234023 rate 512 type A function 4"),
                     std::size_t(1));
        }

        // A refused log-on, the wake-up CR prompted, the log-on again.
        Rig rig(kDemo + "knob tap_logon=refuse:1");
        QCOMPARE(rig.cmd("\r"), QByteArray("ID="));
        QCOMPARE(rig.cmd(sb(kLogOn)), kNakCr);
        QCOMPARE(rig.cmd("\r"), QByteArray("ID="));
        QCOMPARE(rig.cmd(sb(kLogOn)), kGoAhead);
        // A reboot logs the session out; tap_logged_in_at_boot logs it in at once and after boots.
        rig.core.powerCycle(rig.line.now());
        rig.line.run(1600);
        QVERIFY(!rig.core.snapshot().tapLoggedIn);
        rig.knob("tap_logged_in_at_boot", "on");
        QVERIFY(rig.core.snapshot().tapLoggedIn);
        rig.core.powerCycle(rig.line.now());
        rig.line.run(1600);
        QCOMPARE(rig.cmd(sb(tap("123", "x"))), kAckCr);

        // Prompts off: a block gets one prompt, the log-on and the wake-up nothing.
        Rig quiet(kDemo + "knob tap_prompt=off");
        QCOMPARE(quiet.cmd(sb(tap("123", "x"))), QByteArray("ID="));
        QCOMPARE(quiet.cmd(sb(kLogOn), 3000), QByteArray());
        QCOMPARE(quiet.cmd("\r\r\r", 6000), QByteArray());
        QVERIFY(!quiet.core.snapshot().tapLoggedIn);
    }

    void comp2FrameLeftUnfinished()
    {
        Rig rig(kDemo + "serial1 protocol=COMP2");
        rig.line.write("\x7f\x7f\x7f" "123A\rHel");
        QCOMPARE(rig.line.run(4900), std::string());
        QCOMPARE(qb(rig.line.run(200)), QByteArray("\x15" "08\r\nCOMP2>"));
        QCOMPARE(rig.cmd("lo\r"), QByteArray("\r\nCOMP2>")); // the rest is a line of its own
        QCOMPARE(rig.pages(), QByteArray());
    }

    void timedPagesAndStationId()
    {
        // Group 1 with its timer on and canned message 2: every two minutes, unless input on a
        // port with timed-paging reset holds it off.
        const QByteArray timed = "record=L 1 10 1 0 0 0 0 1 2 100 200" + QByteArray(" 0").repeated(18) + ";";
        const QByteArray both = "1234000 512 A 4 Meeting in 5 minutes|1300000 1200 N 1 Meeting in 5 minutes";
        Rig rig(kLoggedIn + timed + "knob timed_paging=on");
        rig.line.run(119'000);
        QCOMPARE(rig.pages(), QByteArray());
        rig.line.run(2000);
        QCOMPARE(rig.pages(), both);
        QCOMPARE(rig.core.pages()[0].protocol, std::string("TIMER"));
        rig.line.run(60'000);
        rig.cmd("\r"); // serial activity at 3 minutes: the next timed pages at 5 minutes
        rig.line.run(110'000);
        QCOMPARE(rig.core.pages().size(), std::size_t(2));
        rig.line.run(20'000);
        QCOMPARE(rig.core.pages().size(), std::size_t(4));
        // Without the reset, activity changes nothing; in programming mode nothing is paged.
        Rig noReset(kLoggedIn + timed + "serial1 pphreset=0;knob timed_paging=on");
        noReset.line.run(60'000);
        noReset.cmd("\r");
        noReset.line.run(61'000);
        QCOMPARE(noReset.core.pages().size(), std::size_t(2));
        Rig programming("preset=demo;" + timed + "knob timed_paging=on");
        programming.line.run(300'000);
        QCOMPARE(programming.pages(), QByteArray());

        Rig station(kDemo + "sid=KQ 123;sidint=1;knob station_id_tx=on");
        station.line.run(121'000);
        QCOMPARE(station.count("paging station ID \"KQ 123\" transmitted"), std::size_t(2));
        QCOMPARE(station.pages(), QByteArray()); // an identification, not a page
    }

    void knobTexts()
    {
        Rig rig;
        using Text = std::pair<const char *, const char *>;
        for (const auto &[name, value] :
             {Text{"nak_blocks", "-1"}, Text{"tap_logon", "maybe"}, Text{"tap_logon", "refuse:x"},
              Text{"comp2_nak", "04:-2"}, Text{"zq_nak", "04:x"}, Text{"snpp_fail", "DATA:250"},
              Text{"snpp_fail", "PAGE"}, Text{"scope_reply", "ack"}, Text{"all_digit_ids", "maybe"},
              Text{"tap_prompt", "sometimes"}}) {
            std::string error;
            QVERIFY2(!rig.core.setKnob(0, name, value, &error), name);
            QVERIFY(!error.empty());
        }
        for (const auto &[name, value] :
             {Text{"nak_blocks", "every"}, Text{"tap_logon", "refuse"}, Text{"tap_max_len", "off"},
              Text{"comp2_nak", "04"}, Text{"snpp_fail", "SEND:554 x:y:every:noeol"}, Text{"scope_reply", "ack_cr"},
              Text{"all_digit_ids", "numeric"}, Text{"tap_idle_logout_s", "off"}})
            rig.knob(name, value);
        const ForcedAnswer &f = rig.core.knobs().snppFail.at(0);
        QCOMPARE(f.code, std::string("554 x:y"));
        QVERIFY(f.count == -1 && f.noEol && f.stage == "SEND");
        QCOMPARE(rig.core.knobs().comp2Nak.count, 1);
    }

    void tapXoffAndIdleLogout()
    {
        Rig rig(kLoggedIn + "knob tap_xoff=1;knob xoff_ms=300;knob pacing=off");
        rig.line.write(sb(tap("123", "x")));
        QCOMPARE(rig.line.run(50), std::string("\x13"));
        QCOMPARE(rig.line.run(250), std::string());
        QCOMPARE(rig.line.run(100), std::string("\x11"));
        QCOMPARE(rig.pages(), QByteArray("1234023 512 A 4 x"));
        QCOMPARE(rig.cmd(sb(tap("123", "y"))), kAckCr); // one XOFF only

        rig.knob("tap_idle_logout_s", "5");
        rig.line.run(4500);
        QVERIFY(rig.core.snapshot().tapLoggedIn);
        // Logged in at boot: idle from the end of the boot on.
        rig.core.powerCycle(rig.line.now());
        rig.line.run(1500 + 4500);
        QVERIFY(rig.core.snapshot().tapLoggedIn);
        rig.line.run(1000);
        QVERIFY(!rig.core.snapshot().tapLoggedIn);
        QCOMPARE(rig.cmd(sb(tap("123", "x"))), QByteArray("ID=ID=ID="));
    }
};

QTEST_GUILESS_MAIN(TestSimPaging)
#include "tst_sim_paging.moc"
