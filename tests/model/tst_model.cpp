#include <QtTest>

#include "model/atten.h"
#include "model/database.h"
#include "model/state.h"

class TestModel : public QObject {
    Q_OBJECT
private slots:
    void init() { ResetProgramState(); }

    void attenTableHasTheFortySteps()
    {
        InitAttenTable();
        const QList<QByteArray> expected = {
            "-6.0", "-5.5", "-5.0", "-4.5", "-4.0", "-3.5", "-3.0", "-2.5", "-1.5", "-0.5",
            "0.5",  "1.5",  "3.5",  "5.5",  "7.5",  "9.5",  "11.5", "13.5", "15.5", "17.5",
            "19.5", "21.5", "23.5", "25.5", "27.5", "29.5", "31.5", "33.5", "35.5", "37.5",
            "39.5", "41.5", "45.5", "49.5", "53.5", "57.5", "61.5", "65.5", "69.5", "73.5"};
        QCOMPARE(expected.size(), AttenSteps);
        for (int row = 0; row < AttenSteps; ++row) {
            QCOMPARE(AttenTable[row].dB.toText(), expected[row]);
            QCOMPARE(AttenTable[row].step, row);
        }
        // Exact decimals: -0.5 + 1.0 lands exactly on 0.5.
        QVERIFY(AttenTable[10].dB == Decimal1::fromTenths(AttenTable[9].dB.tenths + 10));
    }

    void programStartIsEmpty()
    {
        for (const auto &fam : DB.Families)
            for (const auto &f : fam)
                QVERIFY(f.isEmpty());
        for (const auto &grp : DB.PagerGroups)
            for (const auto &f : grp)
                QVERIFY(f.isEmpty());
        for (const auto &m : DB.CannedMsgs)
            QVERIFY(m.isEmpty());
    }

    void startValues()
    {
        Run.sDBFileName = "x.pg9";
        ApplyStartValues();
        QVERIFY(Run.bDBMatchesEncoder && Run.bDBCheckOK && Run.bSuppressEvents);
        QCOMPARE(EncoderSettings.sDutyCycle, QByteArray("66"));
        QCOMPARE(EncoderSettings.sMaxBatch, QByteArray("10"));
        QVERIFY(EncoderSettings.bPort1PPHReset && EncoderSettings.bPort2PPHReset);
        QVERIFY(!EncoderSettings.bPort1IDAsCap && !EncoderSettings.bPort2IDAsCap && !EncoderSettings.bInvertData && !EncoderSettings.bInvertRFCD && !EncoderSettings.bIgnoreRFCD);
        QCOMPARE(EncoderSettings.sPort2Flow, QByteArray("HW"));
        QCOMPARE(EncoderSettings.sPort1Protocol, QByteArray("TAP"));
        QCOMPARE(EncoderSettings.sPort2Baud, QByteArray("9600"));
        QCOMPARE(EncoderSettings.sPort1DataBits, QByteArray("N81"));
        QVERIFY(Run.sDBFileName.isEmpty());
        // The database keeps its program-start empty texts.
        QVERIFY(DB.Families[0][FamActive].isEmpty());
    }

    void newResetsRecordsButKeepsGroupReferenceAndSettings()
    {
        ApplyStartValues();
        EncoderSettings.sDutyCycle = "50";
        DB.PagerGroups[3][GrpReference] = "ABCD";
        DB.PagerGroups[3][GrpDefined] = "YES";
        DB.Families[7][FamDefined] = "YES";
        DB.Families[7][FamStartCap] = "1234567";
        DB.CannedMsgs[2] = "HELLO";

        ResetDatabase();

        const FamilyRec fam = {"0", "0000000", "5", "A", "3", "000", "0000", "00", "00", ""};
        for (const auto &f : DB.Families)
            QCOMPARE(f, fam);
        for (const auto &g : DB.PagerGroups) {
            QCOMPARE(g[GrpID], QByteArray("0000"));
            QCOMPARE(g[GrpTimerMsg], QByteArray("00"));
            QCOMPARE(g[GrpAux2Active], QByteArray("0"));
            for (int i = GrpPagerID1; i <= GrpPagerID20; ++i)
                QCOMPARE(g[i], QByteArray("0000"));
            QVERIFY(g[GrpDefined].isEmpty());
        }
        QCOMPARE(DB.PagerGroups[3][GrpReference], QByteArray("ABCD"));
        QVERIFY(DB.PagerGroups[0][GrpReference].isEmpty());
        for (const auto &m : DB.CannedMsgs)
            QVERIFY(m.isEmpty());
        QCOMPARE(EncoderSettings.sDutyCycle, QByteArray("50"));
    }

    void derivedEnds()
    {
        FamilyRec fam = {"1", "1234000", "5", "A", "3", "050", "0100", "00", "00", "YES"};
        QCOMPARE(EndID(fam), 149);
        QCOMPARE(EndCap(fam, false), 1234049);
        QCOMPARE(EndCap(fam, true), 1234000 + 49 * 8);
        fam[FamPagerQty] = "";
        QCOMPARE(EndID(fam), 99);
    }
};

QTEST_APPLESS_MAIN(TestModel)
#include "tst_model.moc"
