// The listing's texts in the cases the printed test database does not reach.

#include "print/listing.h"

#include <QtTest>

class TestListing : public QObject {
    Q_OBJECT

private slots:
    // Number fields that are not numbers count as 0 and print blank; the rest of the row is
    // printed as stored.
    void nonNumericFieldsPrintBlank()
    {
        const FamilyRec junk = {"1", "12x", "1", "A", "1", "abc", "-5", "00", "00", "YES"};
        QCOMPARE(FamilyLine(10, junk),
                 QByteArray("  10     ON                                              Alpha    2  1200  None   None "));
        // A quantity with a start ID that is not a number: the range starts at 0.
        const FamilyRec noStart = {"1", "", "1", "A", "1", "005", "?", "00", "00", "YES"};
        QCOMPARE(FamilyLine(3, noStart).mid(14, 40),
                 QByteArray("    5                4           0000004"));
        QCOMPARE(ListingNumber("40000", 32767), 0); // beyond 16 bits
        QCOMPARE(ListingNumber(" 12", 32767), 0);
        PagerGroupRec g{};
        g[GrpPagerID1] = "12a";
        QCOMPARE(GroupCell(GroupRow::PagerID, g, 1), QByteArray(7, ' '));
    }

    void timerMessageCells()
    {
        PagerGroupRec g;
        ResetGroupKeepingReference(g);
        g[GrpTimerActive] = "1";
        g[GrpTimerMsg] = "15";
        QCOMPARE(GroupCell(GroupRow::TimerMsg, g), QByteArray("  15   "));
        g[GrpTimerMsg] = "None"; // how the groups editor stores no message: the width stays
        QCOMPARE(GroupCell(GroupRow::TimerMsg, g), QByteArray(" None  "));
    }

    void polarityAndDate()
    {
        ApplyStartValues();
        EncoderSettings.bInvertRFCD = true;
        const ListingPage two = ListingPages({})[1];
        const auto polarity = std::find_if(two.texts.begin(), two.texts.end(), [](const ListingText &t) {
            return t.x == 8000 && t.y == 11600;
        });
        QVERIFY(polarity != two.texts.end());
        QCOMPARE(polarity->text, QStringLiteral("5V"));

        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QCOMPARE(ListingDate(QDate(2025, 12, 6)), QStringLiteral("Dec. 6, 2025"));
        QCOMPARE(ListingDate(QDate(2026, 5, 15)), QStringLiteral("May. 15, 2026"));
    }
};

QTEST_GUILESS_MAIN(TestListing)
#include "tst_listing.moc"
