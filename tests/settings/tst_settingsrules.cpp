// The advanced settings' check of the duty cycle and the batch quantity, without a window.

#include <QtTest>

#include "settings/settingsrules.h"

using Check = DutyBatchCheck;
Q_DECLARE_METATYPE(DutyBatchCheck)

class TestSettingsRules : public QObject {
    Q_OBJECT
private slots:
    // OK's checks in their order: the first failure answers.
    void dutyAndBatch_data()
    {
        QTest::addColumn<QByteArray>("duty");
        QTest::addColumn<QByteArray>("batch");
        QTest::addColumn<Check>("check");
        QTest::newRow("no management, big batch") << QByteArray("0") << QByteArray("50") << Check::Accepted;
        QTest::newRow("at the limit") << QByteArray("66") << QByteArray("32") << Check::Accepted;
        QTest::newRow("above the limit") << QByteArray("66") << QByteArray("33") << Check::BatchTooHigh;
        QTest::newRow("leading zeros") << QByteArray("66") << QByteArray("00032") << Check::Accepted;
        QTest::newRow("more digits than any integer") << QByteArray("66") << QByteArray("123456789012345678901234")
                                                      << Check::BatchTooHigh;
        QTest::newRow("exactly 100 passes") << QByteArray("66") << QByteArray("100") << Check::Accepted;
        QTest::newRow("100 written otherwise") << QByteArray("66") << QByteArray("+0100") << Check::Accepted;
        QTest::newRow("\"00\" is no management") << QByteArray("00") << QByteArray("50") << Check::Accepted;
        QTest::newRow("\"-0\" is no management") << QByteArray("-0") << QByteArray("40000") << Check::BatchNotNumber;
        QTest::newRow("no lower limits") << QByteArray("250") << QByteArray("0") << Check::Accepted;
        QTest::newRow("empty batch before a bad duty") << QByteArray("x") << QByteArray() << Check::EmptyBox;
        QTest::newRow("empty duty") << QByteArray() << QByteArray("10") << Check::EmptyBox;
        QTest::newRow("duty before batch") << QByteArray("6 6") << QByteArray("1a") << Check::DutyNotNumber;
        QTest::newRow("batch not a number") << QByteArray("66") << QByteArray("1a") << Check::BatchNotNumber;
        // Numbers as a read gives them and Program sends them.
        QTest::newRow("signs") << QByteArray("+66") << QByteArray("-5") << Check::Accepted;
        QTest::newRow("the smallest") << QByteArray("-32768") << QByteArray("-32768") << Check::Accepted;
        QTest::newRow("duty below") << QByteArray("-32769") << QByteArray("10") << Check::DutyNotNumber;
        QTest::newRow("duty above") << QByteArray("32768") << QByteArray("10") << Check::DutyNotNumber;
        QTest::newRow("a sign alone") << QByteArray("66") << QByteArray("+") << Check::BatchNotNumber;
        QTest::newRow("two signs") << QByteArray("66") << QByteArray("+-5") << Check::BatchNotNumber;
        QTest::newRow("signed, above the limit") << QByteArray("-1") << QByteArray("+33") << Check::BatchTooHigh;
        QTest::newRow("far below, managed") << QByteArray("66") << QByteArray("-40000") << Check::BatchNotNumber;
    }
    void dutyAndBatch()
    {
        QFETCH(QByteArray, duty);
        QFETCH(QByteArray, batch);
        QFETCH(Check, check);
        QCOMPARE(CheckDutyAndBatch(duty, batch), check);
    }
};

QTEST_APPLESS_MAIN(TestSettingsRules)
#include "tst_settingsrules.moc"
