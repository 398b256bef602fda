#include <QtTest>

#include "model/database.h"
#include "model/dbfile.h"
#include "model/state.h"

namespace {

QByteArray num(int n)
{
    return QByteArray::number(n);
}

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
        g[GrpID] = num(100 * (n + 1)).rightJustified(4, '0');
        g[GrpActive] = on ? "1" : "0";
        g[GrpAux1Active] = "0";
        g[GrpAux1Msg] = "00";
        g[GrpAux2Active] = "0";
        g[GrpAux2Msg] = "00";
        g[GrpTimerActive] = n % 2 ? "1" : "0";
        g[GrpTimerMsg] = "0" + num(n % 10);
        for (int i = 0; i < GroupPagerIDs; ++i)
            g[GrpPagerID1 + i] = i < 2 ? num(100 * (n + 1) + i + 1).rightJustified(4, '0') : "0000";
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

    int i = 0;
    for (bool *flag : {&EncoderSettings.bInvertData, &EncoderSettings.bInvertRFCD, &EncoderSettings.bIgnoreRFCD, &EncoderSettings.bIncCapBy8, &EncoderSettings.bPort1PPHReset,
                       &EncoderSettings.bPort2PPHReset, &EncoderSettings.bPort1IDAsCap, &EncoderSettings.bPort2IDAsCap, &EncoderSettings.bPort2Verbose, &EncoderSettings.bPort1Verbose})
        *flag = on == (i++ % 2 == 0);
    const std::pair<QByteArray *, const char *> texts[] = {
        {&EncoderSettings.sDutyCycle, "66"},       {&EncoderSettings.sMaxBatch, "10"},        {&EncoderSettings.sPort1Flow, "HW"},
        {&EncoderSettings.sPort2Flow, "ASW"},      {&EncoderSettings.sPort1Protocol, "TAP"},  {&EncoderSettings.sPort2Protocol, " PET, x"},
        {&EncoderSettings.sPort1Baud, "9600"},     {&EncoderSettings.sPort2Baud, "1200"},     {&EncoderSettings.sPort1DataBits, "N81"},
        {&EncoderSettings.sPort2DataBits, "E71"}};
    for (const auto &[text, value] : texts)
        *text = value + tag;
}

QList<QByteArray> settingsText()
{
    auto f = [](bool b) { return QByteArray(b ? "1" : "0"); };
    return {EncoderSettings.sDutyCycle,     EncoderSettings.sMaxBatch,         f(EncoderSettings.bIgnoreRFCD),   f(EncoderSettings.bInvertRFCD),
            f(EncoderSettings.bInvertData), f(EncoderSettings.bIncCapBy8),     f(EncoderSettings.bPort1PPHReset), f(EncoderSettings.bPort2PPHReset),
            f(EncoderSettings.bPort1IDAsCap), f(EncoderSettings.bPort2IDAsCap), f(EncoderSettings.bPort1Verbose), f(EncoderSettings.bPort2Verbose),
            EncoderSettings.sPort1Flow,     EncoderSettings.sPort2Flow,        EncoderSettings.sPort1Protocol,   EncoderSettings.sPort2Protocol,
            EncoderSettings.sPort1Baud,     EncoderSettings.sPort2Baud,        EncoderSettings.sPort1DataBits,   EncoderSettings.sPort2DataBits};
}

// A family or group as the reader gives it back when it is read into an empty database.
FamilyRec familyAsRead(FamilyRec fam)
{
    if (!fam[FamStartID].isEmpty())
        fam[FamStartID] = fam[FamStartID].rightJustified(3, '0');
    fam[FamDefined] = fam[FamActive] == "1" ? "YES" : "";
    return fam;
}

PagerGroupRec groupAsRead(PagerGroupRec grp)
{
    grp[GrpDefined] = grp[GrpID] != "0000" ? "YES" : "";
    return grp;
}

QByteArray joined(const FamilyRec &fam)
{
    return QList<QByteArray>(fam.begin(), fam.end()).join('|');
}

// The fields of a group that the group-line rows check.
QByteArray groupSummary(const PagerGroupRec &g)
{
    return QList<QByteArray>{g[GrpID],       g[GrpActive],   g[GrpAux1Active],
                             g[GrpAux1Msg],  g[GrpTimerMsg], g[GrpPagerID1],
                             g[GrpPagerID1 + 1], g[GrpPagerID20], g[GrpDefined],
                             g[GrpReference]}
        .join('|');
}

// A complete group line for group 1 with the given ID and Reference.
QByteArray groupLine(const QByteArray &id, const QByteArray &reference)
{
    QByteArray line = "Grp1," + id + ",1,1,05,0,00,1,07,0101,0102";
    for (int i = 0; i < 17; ++i)
        line += ",0000";
    return line + ",0120," + reference;
}

// The tables and settings as they stand, to compare with after a read.
struct Saved {
    std::array<FamilyRec, FamilyCount> families = DB.Families;
    std::array<PagerGroupRec, GroupCount> groups = DB.PagerGroups;
    std::array<QByteArray, MessageCount> messages = DB.CannedMsgs;
    QList<QByteArray> settings = settingsText();
};

// Every record from place `shift` on holds what the saved record `shift` places earlier held,
// as read into an empty database.
void compareRecords(const Saved &saved, int shift)
{
    for (int n = shift; n < FamilyCount; ++n)
        QCOMPARE(DB.Families[n], familyAsRead(saved.families[n - shift]));
    for (int n = shift; n < GroupCount; ++n)
        QCOMPARE(DB.PagerGroups[n], groupAsRead(saved.groups[n - shift]));
    for (int n = shift; n < MessageCount; ++n)
        QCOMPARE(DB.CannedMsgs[n], saved.messages[n - shift]);
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
        QCOMPARE(lines[51], "Grp2,0200,1,0,00,0,00,1,01,0201,0202" + QByteArray(",0000").repeated(18)
                                + ",R2");
        QCOMPARE(lines[52], "Grp3" + QByteArray(29, ','));
        QVERIFY(lines[53].endsWith(",0000,a,\"b\""));
        QVERIFY(lines[54].endsWith(",0000,"));
        QCOMPARE(lines[61], QByteArray("Msg2,CALL THE OFFICE"));
        QCOMPARE(lines[64], QByteArray("Msg5,Call 555-1234, \"urgent\", now"));
        QCOMPARE(lines[66], QByteArray("Msg7,caf\xE9 \xFF"));
        QCOMPARE(lines[74], QByteArray("Msg15,"));

        const QList<QByteArray> settings = {
            "InvertData,1",      "InvertRFCD,0",        "DutyCycle,66",
            "MaxBatch,10",       "IgnoreRFCD,1",        "IncCapsby8,0",
            "Serial1 PPHReset,1", "Serial2 PPHReset,0", "Serial1 IDAsCap,1",
            "Serial2 IDAsCap,0", "Serial1 Flow,HW",     "Serial2 Flow,ASW",
            "Serial1 Protocol,TAP", "Serial2 Protocol, PET, x", "Serial1 Baud,9600",
            "Serial2 Baud,1200", "Serial1 Databits,N81", "Serial2 Databits,E71",
            "Serial1 Verbose,0", "Serial2 Verbose,1"};
        QCOMPARE(lines.mid(75, 20), settings);
        QCOMPARE(lines[95], QByteArray("Notes,\"Spare encoder, east wing \"B\"\""));
    }

    void roundTripGivesTheDatabaseBack_data()
    {
        QTest::addColumn<bool>("on");
        QTest::addColumn<QByteArray>("lineEnd");
        QTest::addColumn<bool>("finalLineEnd");
        QTest::newRow("flags on") << true << QByteArray("\r\n") << true;
        QTest::newRow("flags off") << false << QByteArray("\r\n") << true;
        QTest::newRow("LF line ends") << true << QByteArray("\n") << true;
        QTest::newRow("CR line ends") << false << QByteArray("\r") << true;
        QTest::newRow("no final line end") << true << QByteArray("\r\n") << false;
    }

    void roundTripGivesTheDatabaseBack()
    {
        QFETCH(bool, on);
        QFETCH(QByteArray, lineEnd);
        QFETCH(bool, finalLineEnd);
        fillKnownDatabase(on);
        const QByteArray notes = "Spare, \"east\" wing \xE9";
        QByteArray file = WriteDBFile(notes);
        const Saved saved;
        file.replace("\r\n", lineEnd);
        if (!finalLineEnd)
            file.chop(lineEnd.size());

        // Start from an empty database and settings that differ everywhere.
        fillKnownDatabase(!on, "x");
        ClearDatabase();
        const DBFileReadResult result = ReadDBFile(file);

        compareRecords(saved, 0);
        QCOMPARE(DB.Families[9][FamStartID], QByteArray("007"));
        QCOMPARE(DB.Families[10][FamStartID], QByteArray("045"));
        QCOMPARE(DB.PagerGroups[5][GrpDefined], QByteArray());
        QCOMPARE(settingsText(), saved.settings);
        QCOMPARE(result.notes, std::optional<QByteArray>(notes));
        QCOMPARE(result.incCapBy8Label, std::optional<bool>(!on));
        QCOMPARE(result.port1IDAsCapLabel, std::optional<bool>(on));
    }

    // Every line counts one place, and the place alone says which record a line fills.
    void recordsFillByPlace_data()
    {
        QTest::addColumn<QByteArray>("kind");
        QTest::newRow("families") << QByteArray("Fam");
        QTest::newRow("groups") << QByteArray("Grp");
        QTest::newRow("messages") << QByteArray("Msg");
    }

    void recordsFillByPlace()
    {
        QFETCH(QByteArray, kind);
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

    void extraLineShiftsEveryRecord_data()
    {
        QTest::addColumn<QByteArray>("extra");
        QTest::newRow("unknown line") << QByteArray("Junk\r\n");
        QTest::newRow("empty line") << QByteArray("\r\n");
        QTest::newRow("settings line") << QByteArray("DutyCycle,77\r\n");
        QTest::newRow("key in other case") << QByteArray("fam1,1,2,3\r\n");
        QTest::newRow("bare LF") << QByteArray("Junk\n");
        QTest::newRow("bare CR") << QByteArray("Junk\r");
    }

    void extraLineShiftsEveryRecord()
    {
        QFETCH(QByteArray, extra);
        fillKnownDatabase(true);
        const QByteArray file = WriteDBFile({});
        const Saved saved;

        ClearDatabase();
        DB.Families[0].fill("M");
        DB.PagerGroups[0].fill("M");
        DB.CannedMsgs[0] = "M";
        ReadDBFile(extra + file);

        // Record 1 keeps its marks; the file's last family, group and message have no place.
        QCOMPARE(joined(DB.Families[0]), QByteArray("M|M|M|M|M|M|M|M|M|M"));
        QCOMPARE(DB.PagerGroups[0][GrpID] + DB.PagerGroups[0][GrpPagerID20] + DB.PagerGroups[0][GrpReference],
                 QByteArray("MMM"));
        QCOMPARE(DB.CannedMsgs[0], QByteArray("M"));
        compareRecords(saved, 1);
    }

    void familyLineFields_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QByteArray>("definedBefore");
        QTest::addColumn<QByteArray>("expected");
        // Before reading, family 1 holds the New values "0|0000000|5|A|3|000|0000|00|00|".
        auto row = [](const char *name, const char *line, const char *before, const char *expected) {
            QTest::newRow(name) << QByteArray(line) << QByteArray(before) << QByteArray(expected);
        };
        row("complete", "Fam1,1,1234567,1,N,2,010,0123,03,04", "", "1|1234567|1|N|2|010|0123|03|04|YES");
        row("StartID padded to 3", "Fam1,0,1234567,1,N,2,010,7,03,04", "", "0|1234567|1|N|2|010|007|03|04|");
        row("bare commas change only Suffix", "Fam1,,,,,,,,,", "", "0|0000000|5|A|3|000|0000|00||");
        row("empty fields keep their values", "Fam1,1,,2,,,,,05,06", "", "1|0000000|2|A|3|000|0000|05|06|YES");
        row("short line ends the fields", "Fam1,1,1234567", "", "1|1234567|5|A|3|000|0000|00|00|YES");
        row("StartID last: not padded, rest kept", "Fam1,0,1234567,1,N,2,010,7", "",
            "0|1234567|1|N|2|010|7|00|00|");
        row("trailing comma after StartID", "Fam1,0,1234567,1,N,2,010,7,", "", "0|1234567|1|N|2|010|007||00|");
        row("text after the ninth field ignored", "Fam1,1,2,3,4,5,6,7,8,9,10,11", "", "1|2|3|4|5|6|007|8|9|YES");
        row("Active 0 keeps YES", "Fam1,0,1234567,1,N,2,010,0123,03,04", "YES",
            "0|1234567|1|N|2|010|0123|03|04|YES");
    }

    void familyLineFields()
    {
        QFETCH(QByteArray, line);
        QFETCH(QByteArray, definedBefore);
        QFETCH(QByteArray, expected);
        ResetFamily(DB.Families[0]);
        DB.Families[0][FamDefined] = definedBefore;
        ReadDBFile(line + "\r\n");
        QCOMPARE(joined(DB.Families[0]), expected);
    }

    void groupLineFields_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QByteArray>("definedBefore");
        QTest::addColumn<QByteArray>("expected");
        // Before reading, group 1 holds the New values and the Reference "OLD".
        // Checked: ID, Active, Aux1Active, Aux1Msg, TimerMsg, IDs 1, 2 and 20, Defined, Reference.
        auto row = [](const char *name, const QByteArray &line, const char *before, const char *expected) {
            QTest::newRow(name) << line << QByteArray(before) << QByteArray(expected);
        };
        row("complete", groupLine("0100", "A,B,\"C"), "", "0100|1|1|05|07|0101|0102|0120|YES|A,B,\"C");
        row("empty reference", groupLine("0100", ""), "", "0100|1|1|05|07|0101|0102|0120|YES|");
        row("ID 0 is defined", groupLine("0", "R"), "", "0|1|1|05|07|0101|0102|0120|YES|R");
        row("ID 000 is defined", groupLine("000", "R"), "", "000|1|1|05|07|0101|0102|0120|YES|R");
        row("ID 0000 is not", groupLine("0000", "R"), "", "0000|1|1|05|07|0101|0102|0120||R");
        row("ID 0000 keeps YES", groupLine("0000", "R"), "YES", "0000|1|1|05|07|0101|0102|0120|YES|R");
        row("short line keeps the rest and the reference", "Grp1,0100,1", "",
            "0100|1|0|00|00|0000|0000|0000|YES|OLD");
        row("short line ending in a pager ID", "Grp1,0100,1,1,05,0,00,1,07,0101", "",
            "0100|1|1|05|07|0101|0000|0000|YES|OLD");
    }

    void groupLineFields()
    {
        QFETCH(QByteArray, line);
        QFETCH(QByteArray, definedBefore);
        QFETCH(QByteArray, expected);
        ResetGroupKeepingReference(DB.PagerGroups[0]);
        DB.PagerGroups[0][GrpDefined] = definedBefore;
        DB.PagerGroups[0][GrpReference] = "OLD";
        ReadDBFile(QByteArray(50, '\n') + line + "\r\n");
        QCOMPARE(groupSummary(DB.PagerGroups[0]), expected);
    }

    void flagValues_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<bool>("before");
        QTest::addColumn<bool>("expected");
        // Only "1" exactly sets the flag; anything else clears it, an unknown key leaves it.
        for (const char *line : {"InvertData,-1", "InvertData,True", "InvertData, 1", "InvertData,1 "})
            QTest::newRow(line) << QByteArray(line) << true << false;
        QTest::newRow("1") << QByteArray("InvertData,1") << false << true;
        QTest::newRow("key in other case") << QByteArray("invertData,1") << false << false;
    }

    void flagValues()
    {
        QFETCH(QByteArray, line);
        QFETCH(bool, before);
        QFETCH(bool, expected);
        EncoderSettings.bInvertData = before;
        ReadDBFile(line + "\r\n");
        QCOMPARE(EncoderSettings.bInvertData, expected);
    }

    void modeLabels_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("incLabel"); // -1 = not set
        QTest::addColumn<int>("idaLabel");
        QTest::addColumn<QByteArray>("flags"); // bIncCapBy8, bPort1IDAsCap, bPort2IDAsCap
        QTest::newRow("IncCaps on") << QByteArray("IncCapsby8,1\r\n") << 1 << -1 << QByteArray("100");
        QTest::newRow("Serial2 IDA sets no label")
            << QByteArray("Serial2 IDAsCap,1\r\n") << -1 << -1 << QByteArray("001");
        QTest::newRow("both, off and on")
            << QByteArray("Serial1 IDAsCap,1\r\nIncCapsby8,0\r\n") << 0 << 1 << QByteArray("010");
    }

    void modeLabels()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, incLabel);
        QFETCH(int, idaLabel);
        QFETCH(QByteArray, flags);
        const DBFileReadResult result = ReadDBFile(content);
        auto label = [](int v) { return v < 0 ? std::optional<bool>() : std::optional<bool>(v == 1); };
        QCOMPARE(result.incCapBy8Label, label(incLabel));
        QCOMPARE(result.port1IDAsCapLabel, label(idaLabel));
        QCOMPARE(QByteArray() + (EncoderSettings.bIncCapBy8 ? '1' : '0') + (EncoderSettings.bPort1IDAsCap ? '1' : '0')
                     + (EncoderSettings.bPort2IDAsCap ? '1' : '0'),
                 flags);
        QVERIFY(!result.notes);
        QCOMPARE(IncBy8LabelText(false), QByteArray("Increment Capcodes by 8 Mode is OFF"));
        QCOMPARE(IncBy8LabelText(true), QByteArray("Increment Capcodes by 8 Mode is ON"));
        QCOMPARE(Port1IDAsCapLabelText(true), QByteArray("ID As Capcode Mode is ON for Port 1"));
        QCOMPARE(Port1IDAsCapLabelText(false), QByteArray("ID As Capcode Mode is OFF for Port 1"));
    }

    void notesValue_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("quoted") << QByteArray("Notes,\"a, \"b\"\"") << QByteArray("a, \"b\"");
        QTest::newRow("outer characters dropped") << QByteArray("Notes,xy z!") << QByteArray("y z");
        QTest::newRow("one character") << QByteArray("Notes,\"") << QByteArray();
        QTest::newRow("nothing") << QByteArray("Notes,") << QByteArray();
    }

    void notesValue()
    {
        QFETCH(QByteArray, line);
        QFETCH(QByteArray, expected);
        const DBFileReadResult result = ReadDBFile(line + "\r\n");
        QVERIFY(result.notes);
        QCOMPARE(*result.notes, expected);
    }

    void bytesAreKeptExactly()
    {
        QByteArray file = QByteArray(60, '\n');
        file += QByteArray("Msg1,a\0b\xFF", 9) + "\r\n";
        file += QByteArray("Notes,\"\0\x80\"", 10);
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
            "Fam1,", "Grp2,", "Msg3,", "Notes,", "Not", "\"", ",", ",,", "\r", "\n", "\r\n",
            QByteArray(1, '\0'), "IncCapsby8,", "Serial1 IDAsCap,", "Serial2 Flow,", "DutyCycle,",
            "1", "0", "0000", "YES", "\xFF", "abc"};
        quint32 seed = 12345;
        auto random = [&seed]() {
            seed = seed * 1103515245u + 12345u;
            return (seed >> 16) & 0x7FFF;
        };
        for (int round = 0; round < 3000; ++round) {
            QByteArray content;
            const int count = int(random() % 300);
            for (int i = 0; i < count; ++i) {
                if (random() % 4 == 0)
                    content += char(random() & 0xFF);
                else
                    content += fragments[random() % fragments.size()];
            }
            ReadDBFile(content);
        }

        ReadDBFile("Grp1," + QByteArray(1 << 20, ','));
        ReadDBFile("Msg1," + QByteArray(1 << 20, 'x'));
        ReadDBFile(QByteArray("Fam1,1\r\n").repeated(20000));
        ReadDBFile(QByteArray(5000, '\r'));
        ReadDBFile("Fam1,1,2,3");
        QCOMPARE(DB.Families[0][FamStartCap], QByteArray("2"));
        ReadDBFile({});
    }
};

QTEST_APPLESS_MAIN(TestDBFile)
#include "tst_dbfile.moc"
