// What the settings dialogs decide without a window.

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
        QTest::newRow("100 written otherwise") << QByteArray("66") << QByteArray("0100") << Check::BatchTooHigh;
        QTest::newRow("\"00\" is management on") << QByteArray("00") << QByteArray("50") << Check::BatchTooHigh;
        QTest::newRow("no lower limits") << QByteArray("250") << QByteArray("0") << Check::Accepted;
        QTest::newRow("empty batch before a bad duty") << QByteArray("x") << QByteArray() << Check::EmptyBox;
        QTest::newRow("empty duty") << QByteArray() << QByteArray("10") << Check::EmptyBox;
        QTest::newRow("duty before batch") << QByteArray("6 6") << QByteArray("1a") << Check::DutyNotNumber;
        QTest::newRow("batch not a number") << QByteArray("66") << QByteArray("1a") << Check::BatchNotNumber;
        QTest::newRow("sign") << QByteArray("66") << QByteArray("+5") << Check::BatchNotNumber;
    }
    void dutyAndBatch()
    {
        QFETCH(QByteArray, duty);
        QFETCH(QByteArray, batch);
        QFETCH(Check, check);
        QCOMPARE(CheckDutyAndBatch(duty, batch), check);
    }

    // What the encoder settings dialog shows of stored codes, and what it makes of the ones it
    // cannot show.
    void storedCodes()
    {
        const struct {
            const char *code;
            bool snpp;
            int option;
            const char *after;
        } protocols[] = {{"ZQ", false, OptZQ, "ZQ"},       {"SCOPE", false, OptScope, "SCOPE"},
                         {"SNPP", true, OptSNPP, "SNPP"},  {"SNPP", false, OptTAP, "TAP"},
                         {"", true, OptTAP, "TAP"},        {"tap", true, OptTAP, "TAP"}};
        for (const auto &p : protocols) {
            QByteArray code = p.code;
            QCOMPARE(ProtocolOptionOnLoad(code, p.snpp), p.option);
            QCOMPARE(code, QByteArray(p.after));
        }
        const struct {
            const char *format;
            bool even;
            const char *after;
        } formats[] = {{"E71", true, "E71"}, {"N81", false, "N81"}, {"E81", true, "E81"},
                       {"O71", false, "N81"}, {"", false, "N81"}};
        for (const auto &f : formats) {
            QByteArray format = f.format;
            QCOMPARE(EvenParityOnLoad(format), f.even);
            QCOMPARE(format, QByteArray(f.after));
        }
        QCOMPARE(FlowOption("AHW"), 3);
        QCOMPARE(FlowOption("hw"), -1);
    }

    void accessCode()
    {
        for (const char *typed : {"KVERN", "kvern", "kVeRn"})
            QVERIFY2(AccessCodeMatches(QString::fromLatin1(typed)), typed);
        for (const char *typed : {"", "KVER", "KVERNS", " KVERN", "KVE RN"})
            QVERIFY2(!AccessCodeMatches(QString::fromLatin1(typed)), typed);
    }

    // The default pager is missing only for these exact texts; an empty field passes.
    void comp1DefaultPager()
    {
        PagerGroupRec g{};
        QVERIFY(!COMP1DefaultPagerMissing(g));
        g[GrpActive] = "1";
        g[GrpPagerID1] = "0000";
        QVERIFY(COMP1DefaultPagerMissing(g));
        g[GrpPagerID1] = "0012";
        QVERIFY(!COMP1DefaultPagerMissing(g));
        g[GrpActive] = "0";
        QVERIFY(COMP1DefaultPagerMissing(g));
    }
};

QTEST_APPLESS_MAIN(TestSettingsRules)
#include "tst_settingsrules.moc"
