#include <QtTest>

#include "encoder/recordblock.h"
#include "encoder/write/writecommands.h"
#include "encoder/write/writerecords.h"
#include "model/database.h"
#include "model/state.h"

namespace {
const QByteArray W = "Writing Pager Database - ";

QByteArrayList commandsOf(const QList<WriteCommand> &list)
{
    QByteArrayList out;
    for (const WriteCommand &c : list)
        out.append(c.command);
    return out;
}
QByteArrayList statusesOf(const QList<WriteCommand> &list)
{
    QByteArrayList out;
    for (const WriteCommand &c : list)
        out.append(c.status.mid(W.size()));
    return out;
}
QByteArray onOffOf(const QByteArray &status)
{
    return status.contains(" ON") ? "ON" : status.contains(" OFF") ? "OFF" : "?";
}
} // namespace

class TestWriteCommands : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        ResetProgramState();
        ApplyStartValues();
        Run.sTestPort = "1";
        Run.sFirmwareVer = "9.7";
    }

    void twoPortSettings_data()
    {
        QTest::addColumn<bool>("on");
        QTest::addColumn<QByteArray>("commands"); // one per line, "config " left out
        QTest::addColumn<QByteArray>("flagStatuses"); // rows 1, 4, 7 to 13
        QTest::newRow("defaults") << false
            << QByteArray("invertdata 1|sid |sidint 14|invertrfcd 0|dutycycle 66|maxbatch 10|CAPBY8 0|"
                          "serial1 pphreset 1|serial2 pphreset 1|ignorerfcd 0|serial2 idascap 0|"
                          "serial1 verbose 0|serial2 verbose 0|serial1 flow HW|serial2 flow HW|"
                          "serial1 protocol TAP|serial2 protocol TAP|serial1 baud 9600|"
                          "serial2 baud 9600|serial1 databits N81|serial2 databits N81")
            << QByteArray("OFF OFF OFF ON ON ON OFF OFF OFF");
        QTest::newRow("flags on") << true
            << QByteArray("invertdata 0|sid W1 AW|sidint 14|invertrfcd 1|dutycycle |maxbatch 010|"
                          "CAPBY8 1|serial1 pphreset 0|serial2 pphreset 0|ignorerfcd 1|"
                          "serial2 idascap 1|serial1 verbose 1|serial2 verbose 1|serial1 flow NONE|"
                          "serial2 flow ASW|serial1 protocol COMP2|serial2 protocol SNPP|"
                          "serial1 baud 300|serial2 baud 2400|serial1 databits E71|serial2 databits O71")
            << QByteArray("ON ON ON OFF OFF OFF ON ON ON");
    }
    void twoPortSettings()
    {
        QFETCH(bool, on);
        if (on) {
            EncoderSettings.bInvertData = EncoderSettings.bInvertRFCD = EncoderSettings.bIncCapBy8 = EncoderSettings.bIgnoreRFCD = EncoderSettings.bPort2IDAsCap = true;
            EncoderSettings.bPort1Verbose = EncoderSettings.bPort2Verbose = true;
            EncoderSettings.bPort1PPHReset = EncoderSettings.bPort2PPHReset = false;
            EncoderSettings.sStationID = "W1 AW";
            EncoderSettings.sDutyCycle = "";
            EncoderSettings.sMaxBatch = "010";
            EncoderSettings.sPort1Flow = "NONE", EncoderSettings.sPort2Flow = "ASW", EncoderSettings.sPort1Protocol = "COMP2", EncoderSettings.sPort2Protocol = "SNPP";
            EncoderSettings.sPort1Baud = "300", EncoderSettings.sPort2Baud = "2400", EncoderSettings.sPort1DataBits = "E71", EncoderSettings.sPort2DataBits = "O71";
        }
        const QList<WriteCommand> list = TwoPortSettingsCommands();
        QByteArrayList expected;
        QFETCH(QByteArray, commands);
        for (const QByteArray &c : commands.split('|'))
            expected.append("config " + c);
        QCOMPARE(commandsOf(list), expected);
        for (const WriteCommand &c : list) {
            QCOMPARE(c.bytes(), c.command + "\r");
            QCOMPARE(c.replyEnd, QByteArray("\r\n"));
        }
        const QByteArrayList st = statusesOf(list);
        QByteArrayList flags;
        for (int row : {0, 3, 6, 7, 8, 9, 10, 11, 12})
            flags.append(onOffOf(st[row]));
        QTEST(flags.join(' '), "flagStatuses");
        QCOMPARE(st[1], "Station ID: " + EncoderSettings.sStationID);
        QCOMPARE(st[4], "Duty Cycle " + EncoderSettings.sDutyCycle + '%');
    }

    void firmwareRules_data()
    {
        QTest::addColumn<QByteArray>("version");
        QTest::addColumn<int>("count");
        QTest::addColumn<bool>("port2ResetOff");
        QTest::newRow("9.01") << QByteArray("9.01") << 19 << false;
        QTest::newRow("9.01S") << QByteArray("9.01S") << 21 << true;
        QTest::newRow("9.7S") << QByteArray("9.7S") << 21 << true;
        QTest::newRow("9.7s") << QByteArray("9.7s") << 21 << false;
    }
    void firmwareRules()
    {
        QFETCH(QByteArray, version);
        QFETCH(int, count);
        QFETCH(bool, port2ResetOff);
        Run.sFirmwareVer = version;
        const QList<WriteCommand> list = TwoPortSettingsCommands();
        QCOMPARE(list.size(), count);
        QCOMPARE(list[1].command, QByteArray(count == 21 ? "config sid " : "config invertrfcd 0"));
        const WriteCommand &reset2 = list[count - 13];
        QCOMPARE(reset2.command, "config serial2 pphreset " + QByteArray(port2ResetOff ? "0" : "1"));
        QCOMPARE(reset2.status.contains("OFF"), port2ResetOff);
        // The setting itself turns off only once that command goes out.
        QVERIFY(EncoderSettings.bPort2PPHReset);
        if (reset2.onSend)
            reset2.onSend();
        QCOMPARE(EncoderSettings.bPort2PPHReset, !port2ResetOff);
    }

    // Port 2's ID-as-capcode among the settings stays off while the guard holds the attached
    // port 2 off; the operator's setting goes out after the records.
    void idAsCap_data()
    {
        QTest::addColumn<QByteArray>("testPort");
        QTest::addColumn<bool>("setting");
        QTest::addColumn<bool>("sentInSettings");
        QTest::newRow("port 1, on") << QByteArray("1") << true << true;
        QTest::newRow("port 1, off") << QByteArray("1") << false << false;
        QTest::newRow("port 2, on") << QByteArray("2") << true << false;
        QTest::newRow("no port, on") << QByteArray() << true << false;
    }
    void idAsCap()
    {
        QFETCH(QByteArray, testPort);
        QFETCH(bool, setting);
        QFETCH(bool, sentInSettings);
        Run.sTestPort = testPort;
        EncoderSettings.bPort2IDAsCap = setting;
        const WriteCommand row = TwoPortSettingsCommands()[10];
        QCOMPARE(row.command, "config serial2 idascap " + QByteArray(sentInSettings ? "1" : "0"));
        QCOMPARE(row.status, W + "ID Assumed as Capcode " + (sentInSettings ? "ON" : "OFF") + " for Port 2");

        const QList<WriteCommand> last = TwoPortIDAsCapCommands();
        QCOMPARE(commandsOf(last), QByteArrayList({"config serial1 idascap 0",
                                                   "config serial2 idascap " + QByteArray(setting ? "1" : "0")}));
        QCOMPARE(last[0].label, QByteArray("ID As Capcode Mode is OFF for Port 1"));
        QCOMPARE(last[1].label, "ID As Capcode Mode is " + QByteArray(setting ? "ON" : "OFF") + " for Port 2");
        QCOMPARE(last[1].bytes(), last[1].command + "\r");

        const IDAsCapGuard g = TwoPortIDAsCapGuard(testPort);
        const QByteArray port = testPort == "1" ? "1" : "2";
        QCOMPARE(g.query.bytes(), "CONFIG SERIAL" + port + " IDASCAP?\r");
        QCOMPARE(g.switchOff.bytes(), "CONFIG SERIAL" + port + " IDASCAP 0\r");
        QCOMPARE(g.labelOn, "ID As Capcode Mode is ON for Port " + port);
    }

    void v7Guard()
    {
        const IDAsCapGuard v7 = V7IDAsCapGuard();
        QCOMPARE(v7.query.bytes() + v7.query.replyEnd, QByteArray("CONFIG IDASCAP?\r\n"));
        QCOMPARE(v7.switchOff.bytes(), QByteArray("CONFIG IDASCAP 0\r"));
        QCOMPARE(v7.switchOff.mustContain, QByteArray("IDASCAP option updated"));
        QCOMPARE(TwoPortIDAsCapGuard("1").switchOff.mustContain, QByteArray("IDASCAP updated"));
    }

    void modAtten()
    {
        InitAttenTable();
        const QList<WriteCommand> list = ModAttenCommands(ModAttenForSlider("47"));
        QCOMPARE(list[0].bytes() + list[1].bytes(), QByteArray("CONFIG MODATTENC 8\rCONFIG MODATTENF 2\r"));
        QCOMPARE(list[0].mustStartWith + list[1].mustStartWith, QByteArray("MODATTENCMODATTENF"));
        QCOMPARE(list[0].status, W + "Modulation Attenuation");
    }

    void v7Settings_data()
    {
        QTest::addColumn<bool>("on");
        QTest::addColumn<QByteArray>("commands"); // the nine settings and the last command
        QTest::addColumn<QByteArray>("flagStatuses");
        QTest::newRow("defaults") << false
            << QByteArray("invertdata 0|pet 0|invertrfcd 1|dutycycle 66|maxbatch 10|pphreset 1|"
                          "ignorerfcd 0|briefack 0|altfc 0|idascap 0")
            << QByteArray("OFF OFF ON ON ON OFF OFF OFF");
        QTest::newRow("flags on") << true
            << QByteArray("invertdata 1|pet 1|invertrfcd 0|dutycycle 5|maxbatch 010|pphreset 0|"
                          "ignorerfcd 1|briefack 1|altfc 1|idascap 1")
            << QByteArray("ON ON OFF OFF OFF ON ON ON");
    }
    void v7Settings()
    {
        QFETCH(bool, on);
        if (on) {
            EncoderSettings.bInvertData = EncoderSettings.bPETSupport = EncoderSettings.bInvertRFCD = EncoderSettings.bIgnoreRFCD = EncoderSettings.bBriefAck = true;
            EncoderSettings.bNakBeforeFlow = EncoderSettings.bPort1IDAsCap = true;
            EncoderSettings.bPort1PPHReset = false;
            EncoderSettings.sDutyCycle = "5";
            EncoderSettings.sMaxBatch = "010";
        }
        const QList<WriteCommand> list = V7SettingsCommands() << V7IDAsCapCommand();
        QFETCH(QByteArray, commands);
        QByteArrayList expected;
        for (const QByteArray &c : commands.split('|'))
            expected.append("config " + c);
        QCOMPARE(commandsOf(list), expected);
        for (const WriteCommand &c : list) {
            QCOMPARE(c.bytes(), c.command + "\r\n");
            QCOMPARE(c.replyEnd, QByteArray(c.command.startsWith("config pet") ? "\r" : "\r\n"));
            QVERIFY(c.label.isEmpty());
        }
        const QByteArrayList st = statusesOf(list);
        QByteArrayList flags;
        for (int row : {0, 1, 2, 5, 6, 7, 8, 9})
            flags.append(onOffOf(st[row]));
        QTEST(flags.join(' '), "flagStatuses");
        QCOMPARE(st[3], "Duty Cycle " + EncoderSettings.sDutyCycle + '%');
    }

    void groupRecords()
    {
        PagerGroupRec g;
        const char *fields[] = {"0012", "1", "0", "00", "", "00", "1", "None"};
        for (int i = 0; i < 8; ++i)
            g[i] = fields[i];
        for (int i = 0; i < GroupPagerIDs; ++i)
            g[GrpPagerID1 + i] = QByteArray::number(101 + i).rightJustified(4, '0');
        g[GrpDefined] = "YES";
        g[GrpReference] = "REF";
        const QByteArray text = GroupRecordText(10, g, WriterVariant::TwoPort);
        QCOMPARE(text.left(40), QByteArray("L 10 0012 1 0 00  00 1 None 0101 0102 01"));
        QVERIFY(text.endsWith(" 0119 0120"));
        QCOMPARE(GroupRecordText(10, g, WriterVariant::V7), text);

        for (const QByteArray defined : {"yes", "NO", "", "YES "}) {
            g[GrpDefined] = defined;
            const QByteArray two = GroupRecordText(1, g, WriterVariant::TwoPort);
            QCOMPARE(two.size() - 3, 122);
            QCOMPARE(two, "L 1 0000 0 0 00 0 00 0 00" + QByteArray(" 0000").repeated(20));
            QCOMPARE(GroupRecordText(3, g, WriterVariant::V7), QByteArray("L 3 0 0 0 0 0 0 0 0"));
        }
    }

    void familyAndMessageRecords()
    {
        FamilyRec f = {"1", "0123456", "2", "N", "3", "010", "", "07", "00", "YES"};
        QCOMPARE(FamilyRecordText(50, f), QByteArray("G 50 1 0123456 2 N 3 010  07 00"));
        f[FamDefined] = "Yes";
        QCOMPARE(FamilyRecordText(7, f), QByteArray("G 7 0 8 5 A 0 0 0 0 0"));
        QCOMPARE(MessageRecordText(1, ""), QByteArray("M 1 \"\""));
        QCOMPARE(MessageRecordText(15, "SAY \"HI\""), QByteArray("M 15 \"SAY \"HI\"\""));
        QCOMPARE(MessageRecordText(2, QByteArray(70, 'x')), "M 2 \"" + QByteArray(70, 'x') + '"');
    }

    void recordCommands_data()
    {
        QTest::addColumn<bool>("twoPort");
        QTest::newRow("two-port") << true;
        QTest::newRow("V7") << false;
    }
    void recordCommands()
    {
        QFETCH(bool, twoPort);
        const auto v = twoPort ? WriterVariant::TwoPort : WriterVariant::V7;
        ClearDatabase(); // nothing defined, every message empty
        DB.CannedMsgs[14] = "LAST";
        const QList<QByteArray> texts = RecordTexts(v);
        const QList<WriteCommand> list = RecordCommands(v);
        QCOMPARE(texts.size(), 75);
        QCOMPARE(list.size(), 75);
        QCOMPARE(texts[9].left(5), QByteArray("L 10 "));
        QCOMPARE(texts[10] + texts[59], QByteArray("G 1 0 8 5 A 0 0 0 0 0G 50 0 8 5 A 0 0 0 0 0"));
        QCOMPARE(texts[60] + texts[74], QByteArray("M 1 \"\"M 15 \"LAST\""));
        QCOMPARE(statusesOf(list).mid(9, 2), QByteArrayList({"Group 10", "Family 1"}));
        QCOMPARE(list[74].status, W + "Message 15");
        for (int i = 0; i < 75; ++i) {
            QCOMPARE(list[i].bytes(), BuildTAPBlock(twoPort ? "0047d16" : "052e39", texts[i]));
            QCOMPARE(list[i].replyEnd, QByteArray("\x1e\r"));
            QCOMPARE(list[i].replyTimeoutMs, twoPort && i < 10 ? 4000 : 0);
        }
    }
};

QTEST_APPLESS_MAIN(TestWriteCommands)
#include "tst_writecommands.moc"
