// The encoder's replies where a whole read does not reach: short, empty or odd records, and
// settings answers that are not the plain "0" or "1", per generation.

#include <QtTest>

#include "encoder/read/records.h"
#include "encoder/read/settingsqueries.h"
#include "model/database.h"
#include "model/state.h"

namespace {
// The named settings, joined by ','.
QByteArray settings(const QByteArray &names)
{
    const EncoderConfig &s = EncoderSettings;
    auto f = [](bool b) { return QByteArray(b ? "1" : "0"); };
    const QHash<QByteArray, QByteArray> all = {
        {"maxbatch", s.sMaxBatch},       {"invertdata", f(s.bInvertData)}, {"invertrfcd", f(s.bInvertRFCD)},
        {"capby8", f(s.bIncCapBy8)},     {"idascap2", f(s.bPort2IDAsCap)}, {"verbose1", f(s.bPort1Verbose)},
        {"briefack", f(s.bBriefAck)},    {"altfc", f(s.bNakBeforeFlow)},   {"flow1", s.sPort1Flow},
        {"pet", f(s.bPETSupport)},       {"protocol1", s.sPort1Protocol},  {"sid", s.sStationID}};
    QByteArrayList out;
    for (const QByteArray &name : names.split(','))
        out << all.value(name, "?");
    return out.join(',');
}
} // namespace

class TestReadRecords : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        ResetProgramState();
        ApplyStartValues();
    }

    // A two-port encoder's unused group changes only the marker; the V7 reader stores the same
    // line. The Reference is not the encoder's. Shown: ID, Active, Aux1Active, TimerMsg, pager
    // IDs 2 and 20, Defined, Reference.
    void groups()
    {
        const QByteArray full = "L 5 0012 1 0 00 0 00 1 03 0101 0102" + QByteArray(" 0000").repeated(17) + " 0077";
        const std::tuple<bool, QByteArray, const char *> rows[] = { // two-port, reply, shown
            {true, full, "0012|1|0|03|0102|0077|YES|REF"},
            {true, "L 5 0000", "old|old|old|old|old|old|NO|REF"},
            {false, "L 5 0000", "0000|old|old|old|old|old|YES|REF"},
            {true, " L 5 0070 1 0", "0070|1|old|old|old|old|YES|REF"}}; // a leading blank loses the last word
        for (const auto &[twoPort, reply, expected] : rows) {
            PagerGroupRec &g = DB.PagerGroups[4];
            g.fill("old");
            g[GrpReference] = "REF";
            StoreGroupReply(5, reply + "\r\n", twoPort);
            QCOMPARE(QByteArrayList({g[GrpID], g[GrpActive], g[GrpAux1Active], g[GrpTimerMsg], g[GrpPagerID1 + 1],
                                     g[GrpPagerID20], g[GrpDefined], g[GrpReference]}).join('|'),
                     QByteArray(expected));
        }
    }

    // A Start ID loses one leading zero of four, unless it is 0; an inactive family without
    // pagers is an empty slot; a reply of three fields marks the family in use with start
    // capcode 0000000 and changes nothing else.
    void families()
    {
        const char *rows[][2] = { // reply; StartCap|StartID|Defined
            {"G 7 1 1234000 5 A 3 050 0100 00 02", "1234000|100|YES"},
            {"G 7 1 1234000 5 A 3 050 0012 00 02", "1234000|012|YES"},
            {"G 7 1 1234000 5 A 3 050 0001 00 02", "1234000|001|YES"},
            {"G 7 1 1234000 5 A 3 050 1000 00 02", "1234000|1000|YES"},
            {"G 7 0 0000008 5 A 0 000 0000 00 00", "0000000|0000|"},
            {"G 7 0 0000008 5 A 0 005 0000 00 00", "0000008|0000|YES"},
            {"G 7 1", "0000000|0555|YES"}};
        for (const auto &[reply, expected] : rows) {
            FamilyRec &f = DB.Families[6];
            f[FamStartID] = "0555";
            StoreFamilyReply(7, QByteArray(reply) + "\r\n");
            QCOMPARE(f[FamStartCap] + '|' + f[FamStartID] + '|' + f[FamDefined], QByteArray(expected));
        }
    }

    // The text between the first quote and the last three characters.
    void messages()
    {
        const char *rows[][2] = {{"M 3 \"\"\r\n", ""}, {"M 1 \"SAY \"HI\" NOW\"\r\n", "SAY \"HI\" NOW"},
                                 {"M 12 \"caf\xE9\"\r\n", "caf\xE9"}, {"M 1 x\"\r\n", ""}, {"\"", ""}};
        for (const auto &[reply, text] : rows) {
            DB.CannedMsgs[0] = "OLD";
            StoreMessageReply(1, reply);
            QCOMPARE(DB.CannedMsgs[0], QByteArray(text));
        }
    }

    // Answers given one after another, each followed by the named settings it leaves. Firmware
    // "9.01S" has the station ID ("9.01" alone has not); without a test port, port 2's
    // ID-as-capcode is asked for.
    void queries()
    {
        const std::tuple<bool, const char *, const char *, const char *> rows[] = { // V7, query, names, steps
            {false, "config sid?", "sid", " W1 AW > W1 AW "},
            {false, "config maxbatch?", "maxbatch", "010>10|+7>7|-5>-5|abc>-5|40000>-5"}, // numbers only, in 16 bits
            {false, "config invertdata?", "invertdata", "0>1|1>0|2>1"},             // "1" is normal data
            {false, "config capby8?", "capby8", "x>1|0>0"},
            {false, "config serial2 idascap?", "idascap2", "Invalid>1|0>0"},
            {false, "config serial1 verbose?", "verbose1", "1>1|1 >0"},
            {true, "config invertrfcd?", "invertrfcd", "0>1|1>0"},                  // "0" is inverted
            {true, "config invertdata?", "invertdata", "2>1|0>0"},
            {true, "config briefack?", "briefack,verbose1", "1>1,0|0>0,1"},
            {true, "config altfc?", "altfc,flow1", "1>1,AHW|0>0,HW"},
            {true, "config pet?", "pet,protocol1", "1>1,PET|\x1E>0,PET"}};           // RS: no PET support
        for (const auto &[v7, command, names, steps] : rows) {
            init();
            const QList<SettingsQuery> all = v7 ? V7SettingsQueries() : TwoPortSettingsQueries("", "9.01S");
            const auto q = std::find_if(all.begin(), all.end(),
                                        [&](const SettingsQuery &s) { return s.command == command; });
            QVERIFY2(q != all.end(), command);
            QCOMPARE(q->endsAtRS, QByteArray(command) == "config pet?");
            for (const QByteArray &step : QByteArray(steps).split('|')) {
                q->store(step.split('>')[0]);
                QVERIFY2(settings(names) == step.split('>')[1], qPrintable(command + (" answered " + step)));
            }
        }
    }

    // A record's answer must name the record asked for ("G 1" is not answered by "G 17"), and
    // "ID=" is the logon prompt except inside a message's quoted text.
    void judgingARecordReply()
    {
        const std::tuple<const char *, const char *, bool> answers[] = { // answer, request, answers it
            {"G 17 1 0420000\r\n", "G 17", true}, {"G 17 1 0420000\r\n", "G 1", false},
            {"G 1\r\n", "G 1", true},              {" L 5 0000\r\n", "L 5", false}};
        for (const auto &[answer, request, expected] : answers)
            QVERIFY2(AnswersRequest(answer, request) == expected, answer);

        const std::tuple<RecordKind, const char *, bool> prompts[] = { // kind, reply, logon prompt
            {RecordKind::Message, "M 12 \"CALLER ID=5\"\r\n", false},
            {RecordKind::Message, "M 12 \"ID=\r\n", true},           // one quote: no quoted text
            {RecordKind::Message, "M 12 \"x\"\r\nID=\"\"", true},     // after the answer's line
            {RecordKind::Group, "L 1 \"ID=\"\r\n", true}};
        for (const auto &[kind, reply, expected] : prompts)
            QVERIFY2(RecordReplyHoldsLogonPrompt(kind, reply) == expected, reply);

    }
};

QTEST_APPLESS_MAIN(TestReadRecords)
#include "tst_readrecords.moc"
