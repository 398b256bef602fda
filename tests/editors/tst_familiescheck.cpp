#include <QtTest>

#include "editors/familiescheck.h"
#include "encoder/link.h"
#include "model/database.h"
#include "model/state.h"

using Reason = FamilyCorrectionReason;
Q_DECLARE_METATYPE(Reason)

namespace {
// A complete family taking part in the check unless active/defined say otherwise.
void setFamily(int row, const char *startCap, const char *qty, const char *startID,
               const char *active = "1", const char *defined = "YES")
{
    DB.Families[row] = {active, startCap, "5", "A", "3", qty, startID, "00", "00", defined};
}

// Family 2 has a low start capcode; family 3 holds the upper illegal block and its pager IDs
// overlap both others.
void setThreeFamilies()
{
    setFamily(0, "1000000", "010", "20");
    setFamily(1, "0000003", "010", "1");
    setFamily(2, "2045060", "015", "0008");
}

QString describe(const FamilyCorrection &c)
{
    return QStringLiteral("%1 f%2 %3>%4 r%5 p%6 id:%7 cap:%8")
        .arg(c.row).arg(int(c.field))
        .arg(QString::fromLatin1(c.oldText), QString::fromLatin1(c.newText))
        .arg(int(c.reason)).arg(c.pass)
        .arg(QString::fromLatin1(c.endIDText), QString::fromLatin1(c.endCapText));
}
} // namespace

class TestFamiliesCheck : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        ResetProgramState();
        ResetDatabase();
        bFamiliesEdited = true;
        bFamFieldsAdjusted = false;
    }

    void capcodeRangesLeaveTheIllegalCapcodes_data()
    {
        QTest::addColumn<QByteArray>("startCap");
        QTest::addColumn<QByteArray>("qty");
        QTest::addColumn<bool>("by8");
        QTest::addColumn<QByteArray>("expected");   // empty: unchanged
        QTest::addColumn<Reason>("reason");
        auto row = [](const char *name, const char *cap, const char *qty, bool by8, const char *exp, Reason r = {}) {
            QTest::newRow(name) << QByteArray(cap) << QByteArray(qty) << by8 << QByteArray(exp) << r;
        };
        row("start below 8", "0000003", "010", false, "0000008", Reason::LowStartCapcode);
        row("start 0, by 8", "0000000", "003", true, "0000008", Reason::LowStartCapcode);
        row("ends on 2097143 stays", "2097134", "010", false, "");
        row("past the top", "2097135", "010", false, "2097133", Reason::AboveHighestCapcode);
        row("past the top, by 8", "2097100", "010", true, "2097063", Reason::AboveHighestCapcode);
        row("upper block", "2045050", "010", false, "2045046", Reason::UpperIllegalBlock);
        row("upper block's last value", "2045063", "001", false, "2045055", Reason::UpperIllegalBlock);
        row("by 8 span holds the block", "2045050", "002", true, "2045040", Reason::UpperIllegalBlock);
        row("above upper block stays", "2045064", "010", false, "");
        row("lower block, by 8", "2007660", "005", true, "2007624", Reason::LowerIllegalBlock);
        row("ends below lower block stays", "2007655", "009", false, "");
    }
    void capcodeRangesLeaveTheIllegalCapcodes()
    {
        QFETCH(QByteArray, startCap);
        QFETCH(QByteArray, qty);
        QFETCH(bool, by8);
        QFETCH(QByteArray, expected);
        QFETCH(Reason, reason);
        EncoderSettings.bIncCapBy8 = by8;
        setFamily(3, startCap, qty, "0100");
        FamilyRec after = DB.Families[3];
        const auto result = CheckFamiliesDatabase();
        QVERIFY(result.ok && !bFamiliesEdited);
        QCOMPARE(bFamFieldsAdjusted, !expected.isEmpty());
        if (!expected.isEmpty())
            after[FamStartCap] = expected;
        QCOMPARE(DB.Families[3], after);
        QCOMPARE(result.corrections.size(), expected.isEmpty() ? 0 : 1);
        if (!expected.isEmpty())
            QCOMPARE(result.corrections[0].reason, reason);
    }

    void overlappingPagerIDsArePulledApart_data()
    {
        QTest::addColumn<QByteArray>("laterID");
        QTest::addColumn<QByteArray>("laterQty");
        QTest::addColumn<QByteArray>("active");
        QTest::addColumn<QByteArray>("defined");
        QTest::addColumn<QByteArray>("expectedID");
        QTest::addColumn<QByteArray>("expectedQty");
        auto row = [](const char *name, const char *id, const char *qty, const char *active, const char *defined,
                      const char *expID, const char *expQty) {
            QTest::newRow(name) << QByteArray(id) << QByteArray(qty) << QByteArray(active) << QByteArray(defined)
                                << QByteArray(expID) << QByteArray(expQty);
        };
        // The earlier family holds IDs 100 to 149.
        row("starts inside", "0120", "010", "1", "YES", "150", "010");
        row("ends inside", "0090", "020", "1", "YES", "0090", "10");
        row("ends on its first ID", "0090", "011", "1", "YES", "0090", "10");
        row("encloses it", "0090", "100", "1", "YES", "0090", "100");
        row("just after", "0150", "010", "1", "YES", "0150", "010");
        row("just before", "0090", "010", "1", "YES", "0090", "010");
        row("inactive", "0120", "010", "0", "YES", "0120", "010");
        row("not defined", "0120", "010", "1", "", "0120", "010");
    }
    void overlappingPagerIDsArePulledApart()
    {
        QFETCH(QByteArray, laterID);
        QFETCH(QByteArray, laterQty);
        QFETCH(QByteArray, active);
        QFETCH(QByteArray, defined);
        QFETCH(QByteArray, expectedID);
        QFETCH(QByteArray, expectedQty);
        setFamily(2, "1000000", "050", "0100");
        setFamily(9, "1100000", laterQty, laterID, active, defined);
        const FamilyRec earlier = DB.Families[2];
        QVERIFY(CheckFamiliesDatabase().ok);
        QCOMPARE(DB.Families[2], earlier);
        QCOMPARE(DB.Families[9][FamStartID], expectedID);
        QCOMPARE(DB.Families[9][FamPagerQty], expectedQty);
    }

    // Capcode corrections come first, then the pager-ID ones; a later pass finds what an
    // earlier correction caused (family 3 is cut against family 1 after it moved).
    void correctionsComeInOrderOverPasses()
    {
        setThreeFamilies();
        int passes = 0;
        const auto result = CheckFamiliesDatabase({[&] { ++passes; }, {}, {}});
        QVERIFY(result.ok);
        QCOMPARE(passes, 3);
        QStringList got;
        for (const auto &c : result.corrections)
            got << describe(c);
        const QStringList expected = {
            "1 f1 0000003>0000008 r0 p1 id: cap:0000017",
            "2 f1 2045060>2045041 r2 p1 id: cap:2045055",
            "2 f5 015>12 r5 p1 id:0019 cap:2045052",
            "2 f6 0008>11 r4 p1 id:22 cap:",
            "2 f5 12>9 r5 p2 id:19 cap:2045049",
        };
        QCOMPARE(got, expected);
        QCOMPARE(DB.Families[2][FamStartCap], QByteArray("2045041"));
        QCOMPARE(DB.Families[2][FamStartID], QByteArray("11"));
        QCOMPARE(DB.Families[2][FamPagerQty], QByteArray("9"));
        QVERIFY(bFamFieldsAdjusted && !bFamiliesEdited);
    }

    void nothingToCorrectLeavesTheAdjustedFlag()
    {
        setFamily(0, "1000000", "010", "20");
        bFamFieldsAdjusted = true;
        const auto result = CheckFamiliesDatabase();
        QVERIFY(result.ok && result.corrections.isEmpty());
        QVERIFY(bFamFieldsAdjusted && !bFamiliesEdited);
    }

    // A cancelled check is never reported as passed, even when it came in a later pass before
    // that pass corrected anything.
    void cancelledCheckFails_data()
    {
        QTest::addColumn<int>("cancelInPass");
        QTest::addColumn<int>("corrections");
        QTest::addColumn<bool>("adjusted");
        QTest::newRow("first pass") << 1 << 0 << false;
        QTest::newRow("second pass") << 2 << 4 << true;
    }
    void cancelledCheckFails()
    {
        QFETCH(int, cancelInPass);
        QFETCH(int, corrections);
        QFETCH(bool, adjusted);
        setThreeFamilies();
        Link().bCancelOp = true;   // left over from an earlier operation: each pass starts clear
        int passes = 0;
        const auto result = CheckFamiliesDatabase({[&] { ++passes; }, [&] {
                                                       if (passes == cancelInPass)
                                                           Link().bCancelOp = true;
                                                       return Link().bCancelOp;
                                                   }, {}});
        QVERIFY(result.cancelled);
        QVERIFY(!result.ok);
        QCOMPARE(result.corrections.size(), corrections);
        QCOMPARE(DB.Families[2][FamStartID], QByteArray(cancelInPass == 1 ? "0008" : "11"));
        QCOMPARE(bFamFieldsAdjusted, adjusted);
        QVERIFY(bFamiliesEdited);
    }

    void unusableFamilyIsReportedOnceAndLeftAlone_data()
    {
        QTest::addColumn<int>("field");
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("quantity not a number") << int(FamPagerQty) << QByteArray("1x0");
        QTest::newRow("quantity above 999") << int(FamPagerQty) << QByteArray("3000000");
        QTest::newRow("empty start ID") << int(FamStartID) << QByteArray("");
    }
    void unusableFamilyIsReportedOnceAndLeftAlone()
    {
        QFETCH(int, field);
        QFETCH(QByteArray, text);
        setFamily(0, "1000000", "010", "100");
        setFamily(1, "0000003", "010", "105");
        DB.Families[1][field] = text;
        setFamily(2, "0000004", "010", "105");
        const FamilyRec bad = DB.Families[1];
        QList<int> faultRows;
        const auto result = CheckFamiliesDatabase({{}, {}, [&](int row, const QString &) { faultRows << row; }});
        QVERIFY(result.ok);
        QCOMPARE(faultRows, QList<int>{1});
        QCOMPARE(DB.Families[1], bad);
        QCOMPARE(DB.Families[2][FamStartCap], QByteArray("0000008"));
        QCOMPARE(DB.Families[2][FamStartID], QByteArray("110"));
    }

    void completeness_data()
    {
        QTest::addColumn<int>("field");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("complete");
        QTest::newRow("as set") << int(FamSuffix) << QByteArray("00") << true;
        QTest::newRow("quantity 000") << int(FamPagerQty) << QByteArray("000") << false;
        QTest::newRow("start ID 0000") << int(FamStartID) << QByteArray("0000") << false;
        QTest::newRow("start capcode 7") << int(FamStartCap) << QByteArray("0000007") << false;
        QTest::newRow("start capcode 8") << int(FamStartCap) << QByteArray("0000008") << true;
        QTest::newRow("start capcode not a number") << int(FamStartCap) << QByteArray("12x4567") << false;
        QTest::newRow("pager type lower case") << int(FamPgrType) << QByteArray("n") << false;
        QTest::newRow("inactive") << int(FamActive) << QByteArray("0") << true;
    }
    void completeness()
    {
        QFETCH(int, field);
        QFETCH(QByteArray, text);
        QFETCH(bool, complete);
        setFamily(4, "1000000", "010", "0100", "1", "");
        DB.Families[4][FamRate] = "2";
        DB.Families[4][FamFunc] = "0";
        DB.Families[4][FamPrefix] = "07";
        DB.Families[4][field] = text;
        const FamilyRec before = DB.Families[4];
        const QList<int> switchedOff = DefineOrEraseFamilies();
        FamilyRec expected = before;
        if (complete) {
            expected[FamDefined] = "YES";
        } else {
            expected = {"0", "0000000", "2", "A", "3", "000", "0000", "07", "00", ""};
        }
        QCOMPARE(DB.Families[4], expected);
        QCOMPARE(switchedOff, complete ? QList<int>{} : QList<int>{4});
    }
};

QTEST_GUILESS_MAIN(TestFamiliesCheck)
#include "tst_familiescheck.moc"
