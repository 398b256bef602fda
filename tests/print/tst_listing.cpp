// The listing's texts: the family rows, the group grid's cells, the settings block, the
// footer and the date, without a printer.

#include "print/listing.h"

#include <QtTest>

namespace {

const ListingText *find(const ListingPage &page, int x, int y)
{
    for (const ListingText &t : page.texts)
        if (t.anchor == ListingAnchor::Left && t.x == x && t.y == y)
            return &t;
    return nullptr;
}

QString at(const ListingPage &page, int x, int y)
{
    const ListingText *t = find(page, x, y);
    return t ? t->text : QStringLiteral("<nothing>");
}

} // namespace

class TestListing : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        ResetProgramState();
        ApplyStartValues();
    }

    void familyRowsStandUnderTheirColumns()
    {
        const QByteArray header = FamilyHeader();
        QCOMPARE(header.size(), 87);
        const FamilyRec one = {"1", "0000100", "1", "A", "0", "010", "0001", "00", "03", "YES"};
        FamilyRec fifty;
        ResetFamily(fifty);
        QCOMPARE(FamilyLine(1, one),
                 QByteArray("   1     ON      10         1     10  0000100  0000109   Alpha    1  1200  None     3  "));
        QCOMPARE(FamilyLine(50, fifty),
                 QByteArray("  50    OFF                                                       4   512  None   None "));

        // An inactive family keeps its numbers, Func, Rate, Prefix and Suffix but no type.
        const FamilyRec off = {"0", "1234567", "2", "N", "2", "100", "2000", "12", "7", ""};
        QCOMPARE(FamilyLine(12, off),
                 QByteArray("  12    OFF     100      2000   2099  1234567  1234666            3  2400   12     7  "));
        // A numeric family on; no leading zeros to blank.
        const FamilyRec num = {"1", "2000000", "5", "N", "3", "999", "8001", "15", "09", "YES"};
        QCOMPARE(FamilyLine(9, num),
                 QByteArray("   9     ON     999      8001   8999  2000000  2000998  Numeric   4   512   15      9  "));
    }

    // Fields that are empty (a fresh start with no file) or not numbers count as 0: their
    // columns print blank and the rest of the row is printed as stored.
    void missingOrNonNumericFieldsPrintBlank()
    {
        const FamilyRec empty{};
        QCOMPARE(FamilyLine(5, empty),
                 QByteArray("   5    OFF") + QByteArray(77, ' '));
        const FamilyRec junk = {"1", "12x", "1", "A", "1", "abc", "-5", "00", "00", "YES"};
        QCOMPARE(FamilyLine(10, junk),
                 QByteArray("  10     ON                                              Alpha    2  1200  None   None "));
        // A quantity with a start ID that is not a number: the range starts at 0.
        const FamilyRec noStart = {"1", "", "1", "A", "1", "005", "?", "00", "00", "YES"};
        QCOMPARE(FamilyLine(3, noStart).mid(14, 40),
                 QByteArray("    5                4           0000004"));
        QCOMPARE(ListingNumber("0012", 32767), 12);
        QCOMPARE(ListingNumber("40000", 32767), 0);
        QCOMPARE(ListingNumber(" 12", 32767), 0);

        // A database nobody has filled still gives both whole pages.
        const QList<ListingPage> pages = ListingPages({});
        QCOMPARE(pages.size(), 2);
        QCOMPARE(at(pages[0], 500, 3050 + 230 * 49), QString::fromLatin1(FamilyLine(50, empty)));
        QCOMPARE(at(pages[1], 2500, 3600), QString(70, QLatin1Char(' ')));
        QCOMPARE(at(pages[1], 2500, 3400), QStringLiteral(" 0000  ").repeated(10));
    }

    void groupCellsKeepTheirColumns()
    {
        PagerGroupRec g;
        ResetGroupKeepingReference(g);
        g[GrpID] = "0";
        g[GrpReference] = "SITE";
        g[GrpPagerID1] = "12";
        QCOMPARE(GroupCell(GroupRow::Reference, g), QByteArray("  SITE "));
        QCOMPARE(GroupCell(GroupRow::GroupID, g), QByteArray(" 0000  "));
        QCOMPARE(GroupCell(GroupRow::PagerID, g, 1), QByteArray(" 0012  "));
        QCOMPARE(GroupCell(GroupRow::PagerID, g, 2), QByteArray(7, ' ')); // "0000"
        QCOMPARE(GroupCell(GroupRow::Active, g), QByteArray("  OFF  "));
        QCOMPARE(GroupCell(GroupRow::TimerMsg, g), QByteArray(" None  ")); // timer off

        g[GrpActive] = "1";
        g[GrpTimerActive] = "1";
        QCOMPARE(GroupCell(GroupRow::Active, g), QByteArray("  ON   "));
        QCOMPARE(GroupCell(GroupRow::TimerMsg, g), QByteArray("  00   ")); // "00" is printed
        g[GrpTimerMsg] = "7";
        QCOMPARE(GroupCell(GroupRow::TimerMsg, g), QByteArray("   7   "));
        g[GrpTimerMsg] = "None"; // as the groups editor stores no message: the width stays
        QCOMPARE(GroupCell(GroupRow::TimerMsg, g), QByteArray(" None  "));

        // The group numbers' last digits stand over each cell's fourth character.
        std::array<PagerGroupRec, GroupCount> groups;
        for (int i = 0; i < GroupCount; ++i) {
            ResetGroupKeepingReference(groups[i]);
            groups[i][GrpID] = QByteArray::number(1000 + i + 1);
        }
        const QByteArray ids = GroupLine(GroupRow::GroupID, groups);
        QCOMPARE(ids.size(), 70);
        for (int i = 0; i < GroupCount; ++i)
            QCOMPARE(ids.mid(7 * i + 1, 4), QByteArray::number(1000 + i + 1));
    }

    void settingsBlockFooterAndDate()
    {
        EncoderConfig &s = EncoderSettings;
        s.bInvertRFCD = false; // the advanced settings' default, "0V = Carrier Detected"
        s.bIgnoreRFCD = true;
        s.bIncCapBy8 = true;
        s.sPort2Protocol = "COMP2";
        s.bPort2Verbose = true;
        s.sPort2Baud = "1200";
        s.sPort2DataBits = "E71";
        s.bPort1PPHReset = false;
        ListingInput in;
        in.brand = "Solvendra";
        in.filePath = QStringLiteral("/home/tech/site.pg9");
        const QList<ListingPage> pages = ListingPages(in);
        const ListingPage &two = pages[1];
        QCOMPARE(at(two, 8000, 11600), QStringLiteral("0V"));
        QCOMPARE(at(two, 3000, 11600), QStringLiteral("Disabled"));
        QCOMPARE(at(two, 8000, 11800), QStringLiteral("Enabled"));
        QCOMPARE(at(two, 3000, 12000), QStringLiteral("TAP Non-Verbose"));
        QCOMPARE(at(two, 8000, 12000), QStringLiteral("COMP2 Verbose"));
        QCOMPARE(at(two, 8000, 12200), QStringLiteral("1200 E71"));
        QCOMPARE(at(two, 3000, 12600), QStringLiteral("Disabled"));
        QCOMPARE(at(two, 8000, 12600), QStringLiteral("Enabled"));
        s.bInvertRFCD = true;
        QCOMPARE(at(ListingPages(in)[1], 8000, 11600), QStringLiteral("5V"));
        QVERIFY(!pages[0].logo && !two.logo);
        in.brand = "Kestrane";
        QVERIFY(ListingPages(in)[0].logo && ListingPages(in)[1].logo);

        QCOMPARE(ListingFooter(QStringLiteral("/home/tech/site.pg9"), 2),
                 QStringLiteral("Filename: /home/tech/site.pg9    p. 2 of 2"));
        QCOMPARE(ListingFooter(QString(), 1), QStringLiteral("p. 1 of 2"));

        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QCOMPARE(ListingDate(QDate(2025, 12, 6)), QStringLiteral("Dec. 6, 2025"));
        QCOMPARE(ListingDate(QDate(2026, 1, 15)), QStringLiteral("Jan. 15, 2026"));
    }
};

QTEST_GUILESS_MAIN(TestListing)
#include "tst_listing.moc"
