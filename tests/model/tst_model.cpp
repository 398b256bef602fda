#include <QtTest>

#include "model/atten.h"
#include "model/database.h"
#include "model/encoderports.h"
#include "model/state.h"

class TestModel : public QObject {
    Q_OBJECT
private slots:
    void init() { ResetProgramState(); }

    // The attached port: "1" is port 1, anything else port 2, and its settings are that port's
    // members; the PC's line settings follow its character format.
    void encoderPorts()
    {
        QCOMPARE(QList<int>({AttachedPortNumber("1"), AttachedPortNumber("2"), AttachedPortNumber("")}),
                 QList<int>({1, 2, 2}));
        Run.sTestPort = "2";
        EncoderSettings.sPort2Baud = "2400";
        EncoderSettings.sPort2DataBits = "O71";
        *AttachedPort().protocol = "COMP2";
        *EncoderPortOf(EncoderSettings, 1).idAsCap = true;
        QCOMPARE(EncoderSettings.sPort2Protocol, QByteArray("COMP2"));
        QVERIFY(EncoderSettings.bPort1IDAsCap && !EncoderSettings.bPort2IDAsCap);
        QCOMPARE(AttachedPortLineSettings(), QByteArray("2400,o,7,1"));
        QCOMPARE(PortLineSettings("1200", "N81") + ' ' + PortLineSettings("300", "E71") + ' ' +
                     PortLineSettings("4800", "O81") + ' ' + PortLineSettings("300", "N72") + ' ' +
                     PortLineSettings("300", "n81") + ' ' + PortLineSettings("300", "O91"),
                 QByteArray("1200,n,8,1 300,e,7,1 4800,o,8,1 300,n,7,2 300,o,7,1 300,o,7,1"));
    }

    void attenTableHasTheFortySteps()
    {
        InitAttenTable();
        QByteArrayList dB;
        for (int row = 0; row < AttenSteps; ++row) {
            QCOMPARE(AttenTable[row].step, row);
            dB << AttenTable[row].dB.toText();
        }
        QCOMPARE(dB.join(' '), QByteArray("-6.0 -5.5 -5.0 -4.5 -4.0 -3.5 -3.0 -2.5 -1.5 -0.5 0.5 1.5 3.5 5.5 7.5 9.5 "
                                          "11.5 13.5 15.5 17.5 19.5 21.5 23.5 25.5 27.5 29.5 31.5 33.5 35.5 37.5 "
                                          "39.5 41.5 45.5 49.5 53.5 57.5 61.5 65.5 69.5 73.5"));
    }

    // The program starts with every record and message the empty text; the start values then
    // set the settings and the run state, and leave the database alone.
    void startValues()
    {
        const PagerDatabase empty{};
        QVERIFY(DB.Families == empty.Families && DB.PagerGroups == empty.PagerGroups);
        QVERIFY(DB.CannedMsgs == empty.CannedMsgs);
        Run.sDBFileName = "x.pg9";
        EncoderConfig &s = EncoderSettings;
        s.bPort1IDAsCap = s.bPort2IDAsCap = s.bInvertData = s.bInvertRFCD = s.bIgnoreRFCD = true;
        ApplyStartValues();
        QVERIFY(Run.bDBMatchesEncoder && Run.bDBCheckOK && Run.bSuppressEvents && Run.sDBFileName.isEmpty());
        QCOMPARE(QByteArrayList({s.sDutyCycle, s.sMaxBatch, s.sPort1Flow, s.sPort2Flow, s.sPort1Protocol,
                                 s.sPort2Protocol, s.sPort1Baud, s.sPort2Baud, s.sPort1DataBits, s.sPort2DataBits})
                     .join(' '),
                 QByteArray("66 10 HW HW TAP TAP 9600 9600 N81 N81"));
        QVERIFY(s.bPort1PPHReset && s.bPort2PPHReset);
        QVERIFY(!s.bPort1IDAsCap && !s.bPort2IDAsCap && !s.bInvertData && !s.bInvertRFCD && !s.bIgnoreRFCD);
        QVERIFY(DB.Families == empty.Families);
    }

    // New resets every record; a group keeps its Reference, and the settings stay.
    void newResetsRecordsButKeepsGroupReferenceAndSettings()
    {
        EncoderSettings.sDutyCycle = "50";
        DB.PagerGroups[3].fill("X");
        DB.PagerGroups[3][GrpReference] = "ABCD";
        DB.Families[7].fill("X");
        DB.CannedMsgs[2] = "HELLO";
        ResetDatabase();
        for (const FamilyRec &f : DB.Families)
            QCOMPARE(QByteArrayList(f.begin(), f.end()).join(','), QByteArray("0,0000000,5,A,3,000,0000,00,00,"));
        for (int n = 0; n < GroupCount; ++n)
            QCOMPARE(QByteArrayList(DB.PagerGroups[n].begin(), DB.PagerGroups[n].end()).join(','),
                     "0000,0,0,00,0,00,0,00" + QByteArray(",0000").repeated(20) + ",," + (n == 3 ? "ABCD" : ""));
        QVERIFY(DB.CannedMsgs == PagerDatabase{}.CannedMsgs);
        QCOMPARE(EncoderSettings.sDutyCycle, QByteArray("50"));
    }

    // Non-numeric fields count as 0; capcodes step by 8 in that mode.
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
