#include <QtTest>

#include "editors/familiescheck.h"
#include "model/database.h"
#include "model/state.h"

using Reason = FamilyCorrectionReason;
Q_DECLARE_METATYPE(Reason)

struct CapcodeCase { QByteArray startCap, qty; bool by8; QByteArray expected; Reason reason; };
struct OverlapCase { QByteArray startID, qty, active, defined, expectedID, expectedQty; };
struct FieldCase { int field; QByteArray text; bool complete = false; };
struct RangeCase { QByteArray startID, qty, expectedID; bool stops; };
Q_DECLARE_METATYPE(CapcodeCase)
Q_DECLARE_METATYPE(OverlapCase)
Q_DECLARE_METATYPE(FieldCase)
Q_DECLARE_METATYPE(RangeCase)

namespace {
// A complete family taking part in the check unless active/defined say otherwise.
void setFamily(int row, const QByteArray &startCap, const QByteArray &qty, const QByteArray &startID,
               const QByteArray &active = "1", const QByteArray &defined = "YES")
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
        .arg(c.row).arg(int(c.field)).arg(c.oldText, c.newText).arg(int(c.reason)).arg(c.pass)
        .arg(c.endIDText, c.endCapText);
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

    // A range holding an illegal capcode moves down below it (a low start moves up to 8);
    // nothing else of the family changes.
    void capcodeRangesLeaveTheIllegalCapcodes_data()
    {
        QTest::addColumn<CapcodeCase>("c");
        auto row = [](const char *name, const char *cap, const char *qty, bool by8, const char *exp, Reason r = {}) {
            QTest::newRow(name) << CapcodeCase{cap, qty, by8, exp, r};
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
        QFETCH(CapcodeCase, c);
        const bool corrected = !c.expected.isEmpty();
        EncoderSettings.bIncCapBy8 = c.by8;
        setFamily(3, c.startCap, c.qty, "0100");
        FamilyRec after = DB.Families[3];
        after[FamStartCap] = corrected ? c.expected : c.startCap;
        const auto result = CheckFamiliesDatabase();
        QVERIFY(result.ok && !bFamiliesEdited);
        QCOMPARE(bFamFieldsAdjusted, corrected);
        QCOMPARE(DB.Families[3], after);
        QCOMPARE(result.corrections.size(), corrected ? 1 : 0);
        if (corrected)
            QCOMPARE(result.corrections[0].reason, c.reason);
    }

    // The earlier family, 3, holds IDs 100 to 149; family 10 is moved after them or cut before
    // them, unless it takes no part. Family 3 stays as it is. Only the editor clears the
    // adjusted flag: a check with nothing to correct leaves it set.
    void overlappingPagerIDsArePulledApart_data()
    {
        QTest::addColumn<OverlapCase>("c");
        QTest::newRow("starts inside") << OverlapCase{"0120", "010", "1", "YES", "150", "010"};
        QTest::newRow("ends inside") << OverlapCase{"0090", "020", "1", "YES", "0090", "10"};
        QTest::newRow("ends on its first ID") << OverlapCase{"0090", "011", "1", "YES", "0090", "10"};
        QTest::newRow("encloses it") << OverlapCase{"0090", "100", "1", "YES", "150", "100"};
        QTest::newRow("encloses it by one ID") << OverlapCase{"0099", "052", "1", "YES", "150", "052"};
        QTest::newRow("just after") << OverlapCase{"0150", "010", "1", "YES", "0150", "010"};
        QTest::newRow("just before") << OverlapCase{"0090", "010", "1", "YES", "0090", "010"};
        QTest::newRow("inactive") << OverlapCase{"0120", "010", "0", "YES", "0120", "010"};
        QTest::newRow("not defined") << OverlapCase{"0120", "010", "1", "", "0120", "010"};
    }
    void overlappingPagerIDsArePulledApart()
    {
        QFETCH(OverlapCase, c);
        setFamily(2, "1000000", "050", "0100");
        setFamily(9, "1100000", c.qty, c.startID, c.active, c.defined);
        const FamilyRec earlier = DB.Families[2];
        bFamFieldsAdjusted = true;
        QVERIFY(CheckFamiliesDatabase().ok);
        QVERIFY(bFamFieldsAdjusted && !bFamiliesEdited);
        QCOMPARE(DB.Families[2], earlier);
        QCOMPARE(DB.Families[9][FamStartID] + '/' + DB.Families[9][FamPagerQty], c.expectedID + '/' + c.expectedQty);
    }

    // Capcode corrections come first, then the pager-ID ones; a later pass finds what an
    // earlier correction caused (family 3 is cut against family 1 after it moved).
    void correctionsComeInOrderOverPasses()
    {
        setThreeFamilies();
        int passes = 0;
        const auto result = CheckFamiliesDatabase({[&] { ++passes; }, {}, {}, {}});
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
        QCOMPARE(DB.Families[2][FamStartCap] + '/' + DB.Families[2][FamStartID] + '/' + DB.Families[2][FamPagerQty],
                 QByteArray("2045041/11/9"));
        QVERIFY(bFamFieldsAdjusted && !bFamiliesEdited);
    }

    // A cancelled check is never reported as passed, even when it came in a later pass before
    // that pass corrected anything. A cancel left over from an earlier operation does not count:
    // each pass starts clear.
    void cancelledCheckFails()
    {
        for (const int cancelInPass : {1, 2}) {
            init();
            setThreeFamilies();
            bool cancel = true;
            int passes = 0;
            const auto result = CheckFamiliesDatabase({[&] { ++passes; }, [&] {
                                                           if (passes == cancelInPass)
                                                               cancel = true;
                                                           return cancel;
                                                       }, {}, [&] { cancel = false; }});
            QVERIFY(result.cancelled && !result.ok && bFamiliesEdited);
            QCOMPARE(result.corrections.size(), cancelInPass == 1 ? 0 : 4);
            QCOMPARE(DB.Families[2][FamStartID], QByteArray(cancelInPass == 1 ? "0008" : "11"));
            QCOMPARE(bFamFieldsAdjusted, cancelInPass == 2);
        }
    }

    // Family 2 cannot be used: reported once, left as it is, and family 3 is still corrected
    // against family 1.
    void unusableFamilyIsReportedOnceAndLeftAlone_data()
    {
        QTest::addColumn<FieldCase>("c");
        QTest::newRow("quantity not a number") << FieldCase{FamPagerQty, "1x0"};
        QTest::newRow("quantity above 999") << FieldCase{FamPagerQty, "3000000"};
        QTest::newRow("empty start ID") << FieldCase{FamStartID, ""};
    }
    void unusableFamilyIsReportedOnceAndLeftAlone()
    {
        QFETCH(FieldCase, c);
        setFamily(0, "1000000", "010", "100");
        setFamily(1, "0000003", "010", "105");
        DB.Families[1][c.field] = c.text;
        setFamily(2, "0000004", "010", "105");
        const FamilyRec bad = DB.Families[1];
        QList<int> faultRows;
        const auto result = CheckFamiliesDatabase({{}, {}, [&](int row, const QString &) { faultRows << row; }, {}});
        QVERIFY(result.ok);
        QCOMPARE(faultRows, QList<int>{1});
        QCOMPARE(DB.Families[1], bad);
        QCOMPARE(DB.Families[2][FamStartCap] + '/' + DB.Families[2][FamStartID], QByteArray("0000008/110"));
    }

    // Family 1 holds IDs 8970 to 8979. A move of family 4 after them that would end past 8999
    // stops the check there: family 4 stays as it is, the check is not finished and reports the
    // family. What was corrected before (family 2's capcode) stays.
    void noMovePastTheHighestPagerID_data()
    {
        QTest::addColumn<RangeCase>("c");
        QTest::newRow("starts inside, ends on 8999") << RangeCase{"8975", "020", "8980", false};
        QTest::newRow("starts inside, would end on 9000") << RangeCase{"8975", "021", "8975", true};
        QTest::newRow("encloses, ends below 8999") << RangeCase{"8969", "012", "8980", false};
        QTest::newRow("encloses, would end past 8999") << RangeCase{"8960", "050", "8960", true};
    }
    void noMovePastTheHighestPagerID()
    {
        QFETCH(RangeCase, c);
        setFamily(0, "1000000", "010", "8970");
        setFamily(1, "0000003", "010", "0100");
        setFamily(3, "1100000", c.qty, c.startID);
        const auto result = CheckFamiliesDatabase();
        QCOMPARE(result.ok, !c.stops);
        QVERIFY(!result.cancelled);
        QCOMPARE(result.pagerIDsExceededRow, c.stops ? 3 : -1);
        QCOMPARE(DB.Families[3][FamStartID] + '/' + DB.Families[3][FamPagerQty], c.expectedID + '/' + c.qty);
        QCOMPARE(DB.Families[1][FamStartCap], QByteArray("0000008"));
        QCOMPARE(result.corrections.size(), c.stops ? 1 : 2);
        QCOMPARE(bFamiliesEdited, c.stops);
        QCOMPARE(bFamFieldsAdjusted, !c.stops);
    }

    // An incomplete family is erased at OK: off, its numbers cleared, Rate, Prefix and Suffix
    // kept; a complete one, active or not, is in use.
    void completeness_data()
    {
        QTest::addColumn<FieldCase>("c");
        QTest::newRow("as set") << FieldCase{FamSuffix, "00", true};
        QTest::newRow("quantity 000") << FieldCase{FamPagerQty, "000", false};
        QTest::newRow("start ID 0000") << FieldCase{FamStartID, "0000", false};
        QTest::newRow("start capcode 0") << FieldCase{FamStartCap, "0000000", false};
        QTest::newRow("start capcode 1 (the check raises it)") << FieldCase{FamStartCap, "0000001", true};
        QTest::newRow("start capcode 7 (the check raises it)") << FieldCase{FamStartCap, "0000007", true};
        QTest::newRow("start capcode 8") << FieldCase{FamStartCap, "0000008", true};
        QTest::newRow("start capcode not a number") << FieldCase{FamStartCap, "12x4567", false};
        QTest::newRow("pager type lower case") << FieldCase{FamPgrType, "n", false};
        QTest::newRow("inactive") << FieldCase{FamActive, "0", true};
        // No field of the record sent to the encoder may be missing.
        const std::pair<const char *, FamilyField> fields[] = {
            {"Active", FamActive}, {"StartCap", FamStartCap}, {"Rate", FamRate},
            {"PgrType", FamPgrType}, {"Func", FamFunc}, {"PagerQty", FamPagerQty},
            {"StartID", FamStartID}, {"Prefix", FamPrefix}, {"Suffix", FamSuffix}};
        for (const auto &[name, field] : fields)
            QTest::newRow(qPrintable(QStringLiteral("%1 empty").arg(QLatin1String(name)))) << FieldCase{field, "", false};
    }
    void completeness()
    {
        QFETCH(FieldCase, c);
        DB.Families[4] = {"1", "1000000", "2", "A", "0", "010", "0100", "07", "00", ""};
        DB.Families[4][c.field] = c.text;
        FamilyRec expected = DB.Families[4];
        expected[FamDefined] = "YES";
        const bool wasOn = DB.Families[4][FamActive] == "1";
        if (!c.complete) {
            // Erased: Rate, Prefix and Suffix as they were; only an active family is switched off.
            expected = {wasOn ? "0" : expected[FamActive], "0000000", expected[FamRate], "A", "3", "000", "0000",
                        expected[FamPrefix], expected[FamSuffix], ""};
        }
        const QList<int> switchedOff = DefineOrEraseFamilies();
        QCOMPARE(DB.Families[4], expected);
        QCOMPARE(switchedOff, !c.complete && wasOn ? QList<int>{4} : QList<int>{});
    }
};

QTEST_GUILESS_MAIN(TestFamiliesCheck)
#include "tst_familiescheck.moc"
