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
        rig.line.run(1000);
        QVERIFY(!rig.core.snapshot().tapLoggedIn);
        QCOMPARE(rig.cmd(sb(tap("123", "x"))), QByteArray("ID=ID=ID="));
    }
};

QTEST_GUILESS_MAIN(TestSimPaging)
#include "tst_sim_paging.moc"
