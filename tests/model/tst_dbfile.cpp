// The "*.pg9" file: the exact bytes the writer gives, and how the reader takes lines out of
// place, short or odd fields, settings values, the notes and content that is no such file.

#include <QtTest>

#include "model/database.h"
#include "model/dbfile.h"
#include "model/encoderports.h"
#include "model/state.h"

namespace {

QByteArray num(int n) { return QByteArray::number(n); }

// A database with every kind of content; `on` flips the flags and the Active fields and
// `tag` marks the texts, so that two variants differ everywhere.
void fillKnownDatabase(bool on, const QByteArray &tag = {})
{
    for (int n = 0; n < FamilyCount; ++n)
        DB.Families[n] = {on == (n % 2 == 0) ? "1" : "0", num(1200000 + 100 * n), "1", "A",
                          num(n % 4), "010", num(1000 + 10 * n), "00", "0" + num(n % 10), ""};
    DB.Families[3].fill(QByteArray());
    DB.Families[9][FamStartID] = "7";
    DB.Families[10][FamStartID] = "45";

    for (int n = 0; n < GroupCount; ++n) {
        PagerGroupRec &g = DB.PagerGroups[n];
        auto id = [n](int k) { return num(100 * (n + 1) + k).rightJustified(4, '0'); };
        const QByteArrayList head = {id(0), on ? "1" : "0", "0", "00", "0", "00",
                                     num(n % 2), "0" + num(n % 10), id(1), id(2)};
        g.fill("0000");
        std::copy(head.begin(), head.end(), g.begin());
        g[GrpDefined].clear();
        g[GrpReference] = "R" + num(n + 1);
    }
    DB.PagerGroups[2].fill(QByteArray());
    DB.PagerGroups[3][GrpReference] = "a,\"b\"";
    DB.PagerGroups[4][GrpReference].clear();
    DB.PagerGroups[5][GrpID] = "0000";

    for (int n = 0; n < MessageCount; ++n)
        DB.CannedMsgs[n] = "MESSAGE " + num(n + 1) + tag;
    DB.CannedMsgs[1] = "CALL THE OFFICE";
    DB.CannedMsgs[4] = "Call 555-1234, \"urgent\", now" + tag;
    DB.CannedMsgs[6] = "caf\xE9 \xFF" + tag;
    DB.CannedMsgs[14].clear();

    EncoderConfig &s = EncoderSettings;
    int i = 0;
    for (bool *flag : {&s.bInvertData, &s.bInvertRFCD, &s.bIgnoreRFCD, &s.bIncCapBy8, &s.bPort1PPHReset,
                       &s.bPort2PPHReset, &s.bPort1IDAsCap, &s.bPort2IDAsCap, &s.bPort2Verbose, &s.bPort1Verbose})
        *flag = on == (i++ % 2 == 0);
    const std::pair<QByteArray *, const char *> texts[] = {
        {&s.sDutyCycle, "66"},       {&s.sMaxBatch, "10"},        {&s.sPort1Flow, "HW"},      {&s.sPort2Flow, "ASW"},
        {&s.sPort1Protocol, "TAP"},  {&s.sPort2Protocol, " PET, x"}, {&s.sPort1Baud, "9600"}, {&s.sPort2Baud, "1200"},
        {&s.sPort1DataBits, "N81"},  {&s.sPort2DataBits, "E71"}};
    for (const auto &[text, value] : texts)
        *text = value + tag;
}

// A complete group line for group 1 with the given ID and Reference.
QByteArray groupLine(const QByteArray &id, const QByteArray &reference)
{
    return "Grp1," + id + ",1,1,05,0,00,1,07,0101,0102" + QByteArray(",0000").repeated(17) + ",0120," + reference;
}

} // namespace

class TestDBFile : public QObject {
    Q_OBJECT
private slots:
    void init() { ResetProgramState(); }

    void writesTheNinetySixLines()
    {
        fillKnownDatabase(true);
        const QByteArray file = WriteDBFile("Spare encoder, east wing \"B\"");

        // 96 lines, each ended by CR LF and holding no other CR or LF.
        QVERIFY(file.endsWith("\r\n"));
        QCOMPARE(file.count("\r\n"), 96);
        QCOMPARE(file.count('\r') + file.count('\n'), 192);
        const QList<QByteArray> lines = QByteArray(file).replace("\r\n", "\n").chopped(1).split('\n');

        QCOMPARE(lines[0], QByteArray("Fam1,1,1200000,1,A,0,010,1000,00,00"));
        QCOMPARE(lines[2], QByteArray("Fam3,1,1200200,1,A,2,010,1020,00,02"));
        QCOMPARE(lines[3], QByteArray("Fam4,,,,,,,,,"));
        QCOMPARE(lines[9], QByteArray("Fam10,0,1200900,1,A,1,010,7,00,09"));
        QCOMPARE(lines[49], QByteArray("Fam50,0,1204900,1,A,1,010,1490,00,09"));
        QCOMPARE(lines[51], "Grp2,0200,1,0,00,0,00,1,01,0201,0202" + QByteArray(",0000").repeated(18) + ",R2");
        QCOMPARE(lines[52], "Grp3" + QByteArray(29, ','));
        QVERIFY(lines[53].endsWith(",0000,a,\"b\""));
        QVERIFY(lines[54].endsWith(",0000,"));
        QCOMPARE(lines[61], QByteArray("Msg2,CALL THE OFFICE"));
        QCOMPARE(lines[64], QByteArray("Msg5,Call 555-1234, \"urgent\", now"));
        QCOMPARE(lines[66], QByteArray("Msg7,caf\xE9 \xFF"));
        QCOMPARE(lines[74], QByteArray("Msg15,"));
        const QList<QByteArray> settings = {
            "InvertData,1",         "InvertRFCD,0",        "DutyCycle,66",          "MaxBatch,10",
            "IgnoreRFCD,1",         "IncCapsby8,0",        "Serial1 PPHReset,1",    "Serial2 PPHReset,0",
            "Serial1 IDAsCap,1",    "Serial2 IDAsCap,0",   "Serial1 Flow,HW",       "Serial2 Flow,ASW",
            "Serial1 Protocol,TAP", "Serial2 Protocol, PET, x", "Serial1 Baud,9600", "Serial2 Baud,1200",
            "Serial1 Databits,N81", "Serial2 Databits,E71", "Serial1 Verbose,0",    "Serial2 Verbose,1"};
        QCOMPARE(lines.mid(75, 20), settings);
        QCOMPARE(lines[95], QByteArray("Notes,\"Spare encoder, east wing \"B\"\""));
    }

    // Read into an empty database with settings that differ everywhere, the file gives back
    // what was saved: written again it is the same file, but for the Start IDs of fewer than
    // three digits, which come back padded. Families are in use when active, groups when
    // their ID is not 0000.
    void roundTripGivesTheDatabaseBack_data()
    {
        QTest::addColumn<bool>("on");
        QTest::addColumn<QByteArray>("lineEnd");
        QTest::addColumn<bool>("finalLineEnd");
        QTest::addColumn<QByteArray>("start"); // what a text editor may have put first
        QTest::newRow("flags on") << true << QByteArray("\r\n") << true << QByteArray();
        QTest::newRow("flags off") << false << QByteArray("\r\n") << true << QByteArray();
        QTest::newRow("LF line ends") << true << QByteArray("\n") << true << QByteArray();
        QTest::newRow("CR line ends") << false << QByteArray("\r") << true << QByteArray();
        QTest::newRow("no final line end") << true << QByteArray("\r\n") << false << QByteArray();
        QTest::newRow("UTF-8 byte-order mark") << true << QByteArray("\r\n") << true << QByteArray("\xEF\xBB\xBF");
    }
    void roundTripGivesTheDatabaseBack()
    {
        QFETCH(bool, on);
        QFETCH(QByteArray, lineEnd);
        QFETCH(bool, finalLineEnd);
        QFETCH(QByteArray, start);
        fillKnownDatabase(on);
        const QByteArray written = WriteDBFile("Spare, \"east\" wing \xE9");
        QByteArray file = start + QByteArray(written).replace("\r\n", lineEnd);
        if (!finalLineEnd)
            file.chop(lineEnd.size());

        fillKnownDatabase(!on, "x");
        ClearDatabase();
        const DBFileReadResult result = ReadDBFile(file);
        QCOMPARE(WriteDBFile(result.notes.value_or("(none)")),
                 QByteArray(written).replace(",010,7,", ",010,007,").replace(",010,45,", ",010,045,"));
        for (const FamilyRec &f : DB.Families)
            QCOMPARE(f[FamDefined], QByteArray(f[FamActive] == "1" ? "YES" : ""));
        for (const PagerGroupRec &g : DB.PagerGroups)
            QCOMPARE(g[GrpDefined], QByteArray(g[GrpID] != "0000" ? "YES" : ""));
        QCOMPARE(result.incCapBy8Label, std::optional<bool>(!on));
        QCOMPARE(result.port1IDAsCapLabel, std::optional<bool>(on));
    }

    // Every line counts one place, and the place alone says which record a line fills.
    void recordsFillByPlace()
    {
        for (const QByteArray kind : {"Fam", "Grp", "Msg"}) {
            ClearDatabase();
            QByteArray file;
            for (int p = 0; p < 120; ++p)
                file += kind + "1," + num(p) + "\r\n";
            ReadDBFile(file);
            for (int i = 0; i < FamilyCount; ++i)
                QCOMPARE(DB.Families[i][FamActive], kind == "Fam" ? num(i) : QByteArray());
            for (int i = 0; i < GroupCount; ++i)
                QCOMPARE(DB.PagerGroups[i][GrpID], kind == "Grp" ? num(50 + i) : QByteArray());
            for (int i = 0; i < MessageCount; ++i)
                QCOMPARE(DB.CannedMsgs[i], kind == "Msg" ? num(60 + i) : QByteArray());
        }
    }

    // Record 1 keeps what it held; every later one gets what the one before it would have got,
    // and the file's last family, group and message have no place.
    void extraLineShiftsEveryRecord()
    {
        fillKnownDatabase(true);
        const QByteArray file = WriteDBFile({});
        ClearDatabase();
        ReadDBFile(file);
        const PagerDatabase inPlace = DB;
        // An unknown line, an empty one, a settings line, a key in another case, bare line ends.
        for (const QByteArray extra : {"Junk\r\n", "\r\n", "DutyCycle,77\r\n", "fam1,1,2,3\r\n", "Junk\n", "Junk\r"}) {
            ClearDatabase();
            DB.Families[0].fill("M");
            DB.PagerGroups[0].fill("M");
            DB.CannedMsgs[0] = "M";
            const PagerDatabase marked = DB;
            ReadDBFile(extra + file);
            QCOMPARE(DB.Families[0], marked.Families[0]);
            QCOMPARE(DB.PagerGroups[0], marked.PagerGroups[0]);
            QCOMPARE(DB.CannedMsgs[0], marked.CannedMsgs[0]);
            for (int n = 1; n < FamilyCount; ++n)
                QCOMPARE(DB.Families[n], inPlace.Families[n - 1]);
            for (int n = 1; n < GroupCount; ++n)
                QCOMPARE(DB.PagerGroups[n], inPlace.PagerGroups[n - 1]);
            for (int n = 1; n < MessageCount; ++n)
                QCOMPARE(DB.CannedMsgs[n], inPlace.CannedMsgs[n - 1]);
        }
    }

    // Family 1 and group 1 hold the New values before the line is read, group 1 the Reference
    // "OLD". An empty field keeps its value; a field without a comma after it takes the rest
    // and ends the fields. Shown for a group: ID, Active, Aux1Active, Aux1Msg, TimerMsg,
    // pager IDs 1, 2 and 20, Defined, Reference.
    void recordLineFields_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QByteArray>("definedBefore");
        QTest::addColumn<QByteArray>("expected");
        auto row = [](const char *name, const QByteArray &line, const char *before, const char *expected) {
            QTest::newRow(name) << line << QByteArray(before) << QByteArray(expected);
        };
        row("family complete", "Fam1,1,1234567,1,N,2,010,0123,03,04", "", "1|1234567|1|N|2|010|0123|03|04|YES");
        row("StartID padded to 3", "Fam1,0,1234567,1,N,2,010,7,03,04", "", "0|1234567|1|N|2|010|007|03|04|");
        row("bare commas change only Suffix", "Fam1,,,,,,,,,", "", "0|0000000|5|A|3|000|0000|00||");
        row("empty fields keep their values", "Fam1,1,,2,,,,,05,06", "", "1|0000000|2|A|3|000|0000|05|06|YES");
        row("short family line", "Fam1,1,1234567", "", "1|1234567|5|A|3|000|0000|00|00|YES");
        row("StartID last: not padded", "Fam1,0,1234567,1,N,2,010,7", "", "0|1234567|1|N|2|010|7|00|00|");
        row("trailing comma after StartID", "Fam1,0,1234567,1,N,2,010,7,", "", "0|1234567|1|N|2|010|007||00|");
        row("text after the ninth field ignored", "Fam1,1,2,3,4,5,6,7,8,9,10,11", "", "1|2|3|4|5|6|007|8|9|YES");
        row("Active 0 keeps YES", "Fam1,0,1234567,1,N,2,010,0123,03,04", "YES", "0|1234567|1|N|2|010|0123|03|04|YES");
        row("group complete", groupLine("0100", "A,B,\"C"), "", "0100|1|1|05|07|0101|0102|0120|YES|A,B,\"C");
        row("empty reference", groupLine("0100", ""), "", "0100|1|1|05|07|0101|0102|0120|YES|");
        row("ID 000 is defined", groupLine("000", "R"), "", "000|1|1|05|07|0101|0102|0120|YES|R");
        row("ID 0000 is not", groupLine("0000", "R"), "", "0000|1|1|05|07|0101|0102|0120||R");
        row("ID 0000 keeps YES", groupLine("0000", "R"), "YES", "0000|1|1|05|07|0101|0102|0120|YES|R");
        row("short group line keeps the reference", "Grp1,0100,1", "", "0100|1|0|00|00|0000|0000|0000|YES|OLD");
        row("short line ending in a pager ID", "Grp1,0100,1,1,05,0,00,1,07,0101", "",
            "0100|1|1|05|07|0101|0000|0000|YES|OLD");
    }
    void recordLineFields()
    {
        QFETCH(QByteArray, line);
        QFETCH(QByteArray, definedBefore);
        FamilyRec &f = DB.Families[0];
        PagerGroupRec &g = DB.PagerGroups[0];
        ResetFamily(f);
        ResetGroupKeepingReference(g);
        f[FamDefined] = g[GrpDefined] = definedBefore;
        g[GrpReference] = "OLD";
        const bool family = line.startsWith("Fam");
        ReadDBFile(QByteArray(family ? 0 : 50, '\n') + line + "\r\n");
        const QByteArrayList shown = family ? QByteArrayList(f.begin(), f.end())
                                            : QByteArrayList{g[GrpID], g[GrpActive], g[GrpAux1Active], g[GrpAux1Msg],
                                                             g[GrpTimerMsg], g[GrpPagerID1], g[GrpPagerID1 + 1],
                                                             g[GrpPagerID20], g[GrpDefined], g[GrpReference]};
        QTEST(shown.join('|'), "expected");
    }

    // Shown: the InvertData, IncCapsby8 and both IDAsCap flags, the two mode labels to set
    // ("-": none) and the notes. InvertData is on before the lines are read.
    void settingsLines_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QByteArray>("expected");
        auto row = [](const char *name, const char *content, const char *expected) {
            QTest::newRow(name) << QByteArray(content) << QByteArray(expected);
        };
        // Only "1" exactly sets a flag; anything else clears it, an unknown key leaves it.
        for (const char *value : {"-1", "True", " 1", "1 "})
            QTest::newRow(value) << "InvertData," + QByteArray(value) << QByteArray("0000 -- none");
        row("0, then 1", "InvertData,0\r\nInvertData,1", "1000 -- none");
        row("key in other case", "invertData,0", "1000 -- none");
        row("IncCaps on", "IncCapsby8,1", "1100 1- none");
        row("Serial2 IDA sets no label", "Serial2 IDAsCap,1", "1001 -- none");
        row("both labels, off and on", "Serial1 IDAsCap,1\r\nIncCapsby8,0", "1010 01 none");
        row("quoted notes", "Notes,\"a, \"b\"\"", "1000 -- [a, \"b\"]");
        row("the notes' outer characters dropped", "Notes,xy z!", "1000 -- [y z]");
        row("notes of one character", "Notes,\"", "1000 -- []");
        row("no notes", "Notes,", "1000 -- []");
    }
    void settingsLines()
    {
        QFETCH(QByteArray, content);
        EncoderConfig &s = EncoderSettings;
        s.bInvertData = true;
        const DBFileReadResult r = ReadDBFile(content + "\r\n");
        auto flag = [](bool b) { return b ? '1' : '0'; };
        auto label = [](std::optional<bool> l) { return !l ? '-' : *l ? '1' : '0'; };
        QTEST(QByteArray() + flag(s.bInvertData) + flag(s.bIncCapBy8) + flag(s.bPort1IDAsCap) + flag(s.bPort2IDAsCap)
                  + ' ' + label(r.incCapBy8Label) + label(r.port1IDAsCapLabel) + ' '
                  + (r.notes ? '[' + *r.notes + ']' : QByteArray("none")),
              "expected");
        QCOMPARE(IDAsCapLabelText(false, 1) + '|' + IDAsCapLabelText(true, 2) + '|' + IDAsCapLabelText(true, 0),
                 QByteArray("ID As Capcode Mode is OFF for Port 1|ID As Capcode Mode is ON for Port 2|"
                            "ID As Capcode Mode is ON"));
    }

    void bytesAreKeptExactly()
    {
        const QByteArray file = QByteArray(60, '\n') + QByteArray("Msg1,a\0b\xFF\r\nNotes,\"\0\x80\"", 21);
        const DBFileReadResult result = ReadDBFile(file);
        QCOMPARE(DB.CannedMsgs[0], QByteArray("a\0b\xFF", 4));
        QCOMPARE(*result.notes, QByteArray("\0\x80", 2));
    }

    // Random, truncated and binary content: the reader must get through all of it.
    void hostileContentIsSurvived()
    {
        fillKnownDatabase(true);
        const QByteArray file = WriteDBFile("notes");
        for (qsizetype n = 0; n <= file.size(); ++n)
            ReadDBFile(file.left(n));

        const QList<QByteArray> fragments = {
            "Fam1,", "Grp2,", "Msg3,", "Notes,", "Not", "\"", ",", ",,", "\r", "\n", "\r\n", QByteArray(1, '\0'),
            "IncCapsby8,", "Serial1 IDAsCap,", "Serial2 Flow,", "DutyCycle,", "1", "0", "0000", "YES", "\xFF", "abc"};
        quint32 seed = 12345;
        auto random = [&seed] { return ((seed = seed * 1103515245u + 12345u) >> 16) & 0x7FFF; };
        for (int round = 0; round < 3000; ++round) {
            QByteArray content;
            for (int i = int(random() % 300); i > 0; --i)
                content += random() % 4 ? fragments[random() % fragments.size()] : QByteArray(1, char(random() & 0xFF));
            ReadDBFile(content);
        }
        ReadDBFile("Grp1," + QByteArray(1 << 20, ','));
        ReadDBFile("Msg1," + QByteArray(1 << 20, 'x'));
        ReadDBFile(QByteArray("Fam1,1\r\n").repeated(20000));
        ReadDBFile(QByteArray(5000, '\r'));
        ReadDBFile({});
        ReadDBFile("Fam1,1,2,3");
        QCOMPARE(DB.Families[0][FamStartCap], QByteArray("2"));
    }
};

QTEST_APPLESS_MAIN(TestDBFile)
#include "tst_dbfile.moc"
