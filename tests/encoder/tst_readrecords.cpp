#include <QtTest>

#include "encoder/read/records.h"
#include "encoder/read/settingsqueries.h"
#include "model/database.h"
#include "model/state.h"

namespace {
QByteArray line(const QByteArray &text) { return text + "\r\n"; }

void answer(const QList<SettingsQuery> &queries, const QByteArray &command, const QByteArray &value)
{
    for (const auto &q : queries)
        if (q.command == command) {
            q.store(value);
            return;
        }
    QFAIL(("no query " + command).constData());
}
} // namespace

class TestReadRecords : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        ResetProgramState();
        ResetDatabase();
    }

    void requests()
    {
        QCOMPARE(RecordRequest(RecordKind::Group, 10), QByteArray("L 10"));
        QCOMPARE(RecordRequest(RecordKind::Family, 7), QByteArray("G 7"));
        QCOMPARE(RecordRequest(RecordKind::Message, 15), QByteArray("M 15"));
        QCOMPARE(RecordStatusItem(RecordKind::Family, 7), QByteArray("Family 7"));
    }

    void groups()
    {
        DB.PagerGroups[1][GrpReference] = "REF";
        StoreGroupReply(2, line("L 2 0012 1 0 00 0 00 1 03 0101 0102 0000 0000 0000 0000 0000 0000 "
                                "0000 0000 0000 0000 0000 0000 0000 0000 0000 0000 0000 0077"),
                        true);
        const auto &g = DB.PagerGroups[1];
        QCOMPARE(g[GrpID], QByteArray("0012"));
        QCOMPARE(g[GrpTimerMsg], QByteArray("03"));
        QCOMPARE(g[GrpPagerID1 + 1], QByteArray("0102"));
        QCOMPARE(g[GrpPagerID20], QByteArray("0077"));
        QCOMPARE(g[GrpDefined], QByteArray("YES"));
        QCOMPARE(g[GrpReference], QByteArray("REF")); // the encoder does not hold it

        // A two-port encoder's unused group: only the marker changes.
        DB.PagerGroups[4][GrpID] = "0044";
        StoreGroupReply(5, line("L 5 0000"), true);
        QCOMPARE(DB.PagerGroups[4][GrpDefined], QByteArray("NO"));
        QCOMPARE(DB.PagerGroups[4][GrpID], QByteArray("0044"));
        // The V7 reader stores the same line as a defined group.
        StoreGroupReply(5, line("L 5 0000"), false);
        QCOMPARE(DB.PagerGroups[4][GrpDefined], QByteArray("YES"));
        QCOMPARE(DB.PagerGroups[4][GrpID], QByteArray("0000"));
        QCOMPARE(DB.PagerGroups[4][GrpActive], QByteArray("0"));

        // A line with a leading blank loses its last word to the tail.
        DB.PagerGroups[6][GrpAux1Active] = "9";
        StoreGroupReply(7, line(" L 7 0070 1 0"), true);
        QCOMPARE(Run.iTokenCount, 4);
        QCOMPARE(DB.PagerGroups[6][GrpID], QByteArray("0070"));
        QCOMPARE(DB.PagerGroups[6][GrpActive], QByteArray("1"));
        QCOMPARE(DB.PagerGroups[6][GrpAux1Active], QByteArray("9"));
    }

    void families_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QByteArray>("startCap");
        QTest::addColumn<QByteArray>("startID");
        QTest::addColumn<QByteArray>("defined");
        QTest::newRow("full") << QByteArray("G 7 1 1234000 5 A 3 050 0100 00 02") << QByteArray("1234000") << QByteArray("100") << QByteArray("YES");
        QTest::newRow("start 0012") << QByteArray("G 7 1 1234000 5 A 3 050 0012 00 02") << QByteArray("1234000") << QByteArray("012") << QByteArray("YES");
        QTest::newRow("start 0001") << QByteArray("G 7 1 1234000 5 A 3 050 0001 00 02") << QByteArray("1234000") << QByteArray("001") << QByteArray("YES");
        QTest::newRow("start 1000") << QByteArray("G 7 1 1234000 5 A 3 050 1000 00 02") << QByteArray("1234000") << QByteArray("1000") << QByteArray("YES");
        QTest::newRow("empty slot") << QByteArray("G 7 0 0000008 5 A 0 000 0000 00 00") << QByteArray("0000000") << QByteArray("0000") << QByteArray();
        QTest::newRow("inactive with pagers") << QByteArray("G 7 0 0000008 5 A 0 005 0000 00 00") << QByteArray("0000008") << QByteArray("0000") << QByteArray("YES");
        QTest::newRow("three fields") << QByteArray("G 7 1") << QByteArray("0000000") << QByteArray("0555") << QByteArray("YES");
    }
    void families()
    {
        QFETCH(QByteArray, reply);
        QFETCH(QByteArray, startCap);
        QFETCH(QByteArray, startID);
        QFETCH(QByteArray, defined);
        DB.Families[6][FamStartID] = "0555";
        StoreFamilyReply(7, line(reply));
        QCOMPARE(DB.Families[6][FamStartCap], startCap);
        QCOMPARE(DB.Families[6][FamStartID], startID);
        QCOMPARE(DB.Families[6][FamDefined], defined);
    }

    void messages_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("empty") << QByteArray("M 3 \"\"\r\n") << QByteArray();
        QTest::newRow("hello") << QByteArray("M 12 \"HELLO\"\r\n") << QByteArray("HELLO");
        QTest::newRow("inner quotes") << QByteArray("M 1 \"SAY \"HI\" NOW\"\r\n") << QByteArray("SAY \"HI\" NOW");
        QTest::newRow("no room for text") << QByteArray("M 1 x\"\r\n") << QByteArray();
        QTest::newRow("short") << QByteArray("\"") << QByteArray();
    }
    void messages()
    {
        QFETCH(QByteArray, reply);
        QFETCH(QByteArray, text);
        DB.CannedMsgs[0] = "OLD";
        DB.CannedMsgs[2] = "OLD";
        DB.CannedMsgs[11] = "OLD";
        const int number = reply.startsWith("M ") ? reply.mid(2, reply.indexOf(' ', 2) - 2).toInt() : 1;
        StoreMessageReply(number, reply);
        QCOMPARE(DB.CannedMsgs[number - 1], text);
    }

    void twoPortQueries()
    {
        auto q = TwoPortSettingsQueries("1", "9.7");
        QCOMPARE(q.size(), 22);
        QCOMPARE(q.first().command, QByteArray("config sid?"));
        QCOMPARE(TwoPortSettingsQueries("1", "9.01").size(), 21);
        QCOMPARE(TwoPortSettingsQueries("1", "9.01S").size(), 22);
        // The other port's ID-as-capcode is queried; an empty test port counts as port 1's peer.
        auto hasCommand = [](const QList<SettingsQuery> &l, const char *c) {
            return std::any_of(l.begin(), l.end(), [c](const SettingsQuery &s) { return s.command == c; });
        };
        QVERIFY(hasCommand(q, "config serial2 idascap?"));
        QVERIFY(hasCommand(TwoPortSettingsQueries("2", "9.7"), "config serial1 idascap?"));
        QVERIFY(hasCommand(TwoPortSettingsQueries("", "9.7"), "config serial2 idascap?"));

        EncoderSettings.sMaxBatch = "7";
        answer(q, "config maxbatch?", "010");
        QCOMPARE(EncoderSettings.sMaxBatch, QByteArray("10"));
        answer(q, "config maxbatch?", "abc");
        QCOMPARE(EncoderSettings.sMaxBatch, QByteArray("10"));
        answer(q, "config maxbatch?", "40000");
        QCOMPARE(EncoderSettings.sMaxBatch, QByteArray("10"));
        answer(q, "config invertdata?", "1");
        QVERIFY(!EncoderSettings.bInvertData);
        answer(q, "config invertdata?", "0");
        QVERIFY(EncoderSettings.bInvertData);
        answer(q, "config capby8?", "x");
        QVERIFY(EncoderSettings.bIncCapBy8);
        answer(q, "config capby8?", "0");
        QVERIFY(!EncoderSettings.bIncCapBy8);
        answer(q, "config serial2 idascap?", "Invalid");
        QVERIFY(EncoderSettings.bPort2IDAsCap);
        answer(q, "config serial1 verbose?", "1 ");
        QVERIFY(!EncoderSettings.bPort1Verbose);
        answer(q, "config serial2 baud?", "2400");
        QCOMPARE(EncoderSettings.sPort2Baud, QByteArray("2400"));
    }

    void v7Queries()
    {
        auto q = V7SettingsQueries();
        QCOMPARE(q.size(), 9);
        answer(q, "config invertrfcd?", "0");
        QVERIFY(EncoderSettings.bInvertRFCD);
        answer(q, "config invertrfcd?", "1");
        QVERIFY(!EncoderSettings.bInvertRFCD);
        answer(q, "config invertdata?", "0");
        QVERIFY(!EncoderSettings.bInvertData);
        answer(q, "config invertdata?", "2");
        QVERIFY(EncoderSettings.bInvertData);
        answer(q, "config briefack?", "1");
        QVERIFY(EncoderSettings.bBriefAck && !EncoderSettings.bPort1Verbose);
        answer(q, "config altfc?", "1");
        QCOMPARE(EncoderSettings.sPort1Flow, QByteArray("AHW"));
        QVERIFY(EncoderSettings.bNakBeforeFlow);
        answer(q, "config altfc?", "0");
        QCOMPARE(EncoderSettings.sPort1Flow, QByteArray("HW"));
        EncoderSettings.sPort1Protocol = "TAP";
        answer(q, "config pet?", "1");
        QCOMPARE(EncoderSettings.sPort1Protocol, QByteArray("PET"));
        QVERIFY(EncoderSettings.bPETSupport);
        answer(q, "config pet?", "\x1E");
        QVERIFY(!EncoderSettings.bPETSupport);
        QVERIFY(q[4].endsAtRS);
    }
};

QTEST_APPLESS_MAIN(TestReadRecords)
#include "tst_readrecords.moc"
