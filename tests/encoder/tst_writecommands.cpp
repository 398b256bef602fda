// The command texts of a write where a whole transfer does not reach: odd setting values, the
// senses of the flags and their status texts per generation, the firmware rules, the attached
// port's ID-as-capcode, and the record texts of undefined or unusual records.

#include <QtTest>

#include "encoder/read/settingsqueries.h"
#include "encoder/settingforms.h"
#include "encoder/write/writecheck.h"
#include "encoder/write/writecommands.h"
#include "encoder/write/writerecords.h"
#include "model/database.h"
#include "model/encoderports.h"
#include "model/state.h"
#include "support/detected.h"

namespace {
const QByteArray W = "Writing Pager Database - ";

// The commands less "config ", joined by '|'; one not ended by `ending` is marked.
QByteArray commands(const QList<WriteCommand> &list, const QByteArray &ending)
{
    QByteArrayList out;
    for (const WriteCommand &c : list)
        out << (c.bytes() == c.command + ending ? c.command.mid(7) : "ENDING? " + c.command);
    return out.join('|');
}

// Per command, ON or OFF as its status text says, "-" for a setting without a sense.
QByteArray senses(const QList<WriteCommand> &list)
{
    QByteArrayList out;
    for (const WriteCommand &c : list) {
        const QByteArrayList words = c.status.split(' ');
        out << (!c.status.startsWith(W) ? "?" : words.contains("ON") ? "ON" : words.contains("OFF") ? "OFF" : "-");
    }
    return out.join(' ');
}
} // namespace

class TestWriteCommands : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        ResetProgramState();
        ApplyStartValues();
        encodertest::NoteDetected("9.7");
    }

    // A two-port encoder takes data polarity inverted and carrier detection as "ignore"; a V7
    // takes the carrier polarity inverted. Texts go out as they stand, numbers as a read gives
    // them back, and a port whose baud the encoder refused to tell (it has no such port) gets
    // no baud; a V7's PET reply ends at CR.
    void settings_data()
    {
        QTest::addColumn<bool>("v7");
        QTest::addColumn<QByteArray>("defaults"); // the status senses at the start values
        QTest::addColumn<QByteArray>("commands"); // every flag on but the resets, odd texts
        QTest::addColumn<QByteArray>("senses");
        QTest::newRow("two-port") << false << QByteArray("OFF - - OFF - - OFF ON ON ON OFF OFF OFF - - - - - - - -")
            << QByteArray("invertdata 0|sid W1 AW|sidint 14|invertrfcd 1|dutycycle 10|maxbatch 10|CAPBY8 1|"
                          "serial1 pphreset 0|serial2 pphreset 0|ignorerfcd 1|serial2 idascap 1|"
                          "serial1 verbose 1|serial2 verbose 1|serial1 flow NONE|serial2 flow ASW|"
                          "serial1 protocol COMP2|serial2 protocol SNPP|serial1 baud 300|"
                          "serial1 databits E71|serial2 databits O71")
            << QByteArray("ON - - ON - - ON OFF OFF OFF ON ON ON - - - - - - -");
        QTest::newRow("V7") << true << QByteArray("OFF OFF ON - - ON ON OFF OFF OFF")
            << QByteArray("invertdata 1|pet 1|invertrfcd 0|dutycycle 10|maxbatch 10|pphreset 0|ignorerfcd 1|"
                          "briefack 1|altfc 1|idascap 1")
            << QByteArray("ON ON OFF - - OFF OFF ON ON ON");
    }
    void settings()
    {
        QFETCH(bool, v7);
        auto build = [v7] { return v7 ? V7SettingsCommands() << V7IDAsCapCommand() : TwoPortSettingsCommands(); };
        QTEST(senses(build()), "defaults");
        EncoderConfig &s = EncoderSettings;
        s.bInvertData = s.bInvertRFCD = s.bIncCapBy8 = s.bIgnoreRFCD = s.bPort1IDAsCap = s.bPort2IDAsCap = true;
        s.bPort1Verbose = s.bPort2Verbose = s.bPETSupport = s.bBriefAck = s.bNakBeforeFlow = true;
        s.bPort1PPHReset = s.bPort2PPHReset = false;
        s.sStationID = "W1 AW", s.sDutyCycle = "+10", s.sMaxBatch = "010";
        s.sPort1Flow = "NONE", s.sPort2Flow = "ASW", s.sPort1Protocol = "COMP2", s.sPort2Protocol = "SNPP";
        s.sPort1Baud = "300", s.sPort2Baud = "Invalid", s.sPort1DataBits = "E71", s.sPort2DataBits = "O71";
        const QList<WriteCommand> list = build();
        QTEST(commands(list, v7 ? "\r\n" : "\r"), "commands");
        QTEST(senses(list), "senses");
        if (!v7)
            QCOMPARE(list[1].status, W + "Station ID: W1 AW");
        QCOMPARE(list[v7 ? 3 : 4].status + '|' + list[v7 ? 4 : 5].status, W + "Duty Cycle 10%|" + W + "Max Msgs/Batch 10");
        for (const WriteCommand &c : list) {
            QCOMPARE(c.replyEnd, QByteArray(v7 && c.command.startsWith("config pet") ? "\r" : "\r\n"));
            QVERIFY(c.setting && !c.messageRecord);
        }
    }

    // The encoder refuses a setting with "Invalid"; anything else it answers takes it.
    void aRefusedSetting()
    {
        const std::pair<const char *, bool> rows[] = {
            {"\r\nInvalid\r\n", true}, {"MAXBATCH updated\r\n", false}, {"\x1E\r", false}};
        for (const auto &[reply, refused] : rows)
            QVERIFY2(SettingRefused(reply) == refused, reply);
    }

    // Only "9.01" lacks the station ID; a capital S turns port 2's reset off once it is sent.
    void firmwareRules()
    {
        const std::tuple<const char *, int, bool> rows[] = { // version, commands, port 2's reset off
            {"9.01", 19, false}, {"9.01S", 21, true}, {"9.7S", 21, true}, {"9.7s", 21, false}};
        for (const auto &[version, count, resetOff] : rows) {
            init();
            Run.sFirmwareVer = version;
            const QList<WriteCommand> list = TwoPortSettingsCommands();
            QCOMPARE(list.size(), count);
            QCOMPARE(list[1].command, QByteArray(count == 21 ? "config sid " : "config invertrfcd 0"));
            const WriteCommand &reset2 = list[count - 13];
            QCOMPARE(reset2.command + ' ' + senses({reset2}),
                     QByteArray(resetOff ? "config serial2 pphreset 0 OFF" : "config serial2 pphreset 1 ON"));
            QVERIFY(EncoderSettings.bPort2PPHReset);
            if (reset2.onSend)
                reset2.onSend();
            QCOMPARE(EncoderSettings.bPort2PPHReset, !resetOff);
        }
    }

    // Port 2's ID-as-capcode among the settings stays off while the guard holds the attached
    // port 2 off (the operator's setting goes out after the records). The guard addresses
    // port 2 for every test port but "1"; its replies end at LF, a V7's too.
    void idAsCap()
    {
        const std::tuple<const char *, bool, const char *> rows[] = { // test port, setting, in the settings
            {"1", true, "1 ON"}, {"1", false, "0 OFF"}, {"2", true, "0 OFF"}, {"", true, "0 OFF"}};
        for (const auto &[testPort, setting, inSettings] : rows) {
            Run.sTestPort = testPort;
            EncoderSettings.bPort2IDAsCap = setting;
            const QList<WriteCommand> list = TwoPortSettingsCommands();
            QCOMPARE(list[10].command.mid(23) + ' ' + senses({list[10]}), QByteArray(inSettings));

            const IDAsCapGuard g = TwoPortIDAsCapGuard(testPort);
            const QByteArray port = QByteArray::number(AttachedPortNumber(testPort)), serial = "CONFIG SERIAL" + port;
            QCOMPARE(g.query.bytes() + g.switchOff.bytes(), serial + " IDASCAP?\r" + serial + " IDASCAP 0\r");
            QCOMPARE(g.query.replyEnd + g.switchOff.replyEnd + V7IDAsCapGuard().query.replyEnd, QByteArray("\n\n\n"));
            QCOMPARE(g.labelOn + '|' + g.labelOff,
                     "ID As Capcode Mode is ON for Port " + port + "|ID As Capcode Mode is OFF for Port " + port);
        }
    }

    // A record goes out with its fields only when its Defined marker is exactly "YES".
    void recordTexts()
    {
        PagerGroupRec g;
        const QByteArrayList head = QByteArray("0012|1|0|00||00|1|None").split('|');
        for (int i = 0; i <= GrpPagerID20; ++i)
            g[i] = i < GrpPagerID1 ? head[i] : QByteArray::number(101 + i - GrpPagerID1).rightJustified(4, '0');
        g[GrpDefined] = "YES";
        const QByteArray text = GroupRecordText(10, g, WriterVariant::TwoPort);
        QCOMPARE(text.left(40) + '~' + text.right(10),
                 QByteArray("L 10 0012 1 0 00  00 1 None 0101 0102 01~ 0119 0120"));
        QCOMPARE(GroupRecordText(10, g, WriterVariant::V7), text);
        for (const QByteArray defined : {"yes", "NO", "", "YES "}) {
            g[GrpDefined] = defined;
            QCOMPARE(GroupRecordText(1, g, WriterVariant::TwoPort),
                     "L 1 0000 0 0 00 0 00 0 00" + QByteArray(" 0000").repeated(20));
            QCOMPARE(GroupRecordText(3, g, WriterVariant::V7), QByteArray("L 3 0 0 0 0 0 0 0 0"));
        }
        FamilyRec f = {"1", "0123456", "2", "N", "3", "010", "", "07", "00", "YES"};
        QCOMPARE(FamilyRecordText(50, f), QByteArray("G 50 1 0123456 2 N 3 010  07 00"));
        f[FamDefined] = "Yes";
        QCOMPARE(FamilyRecordText(7, f), QByteArray("G 7 0 8 5 A 0 0 0 0 0"));
        QCOMPARE(MessageRecordText(15, "SAY \"HI\" caf\xE9"), QByteArray("M 15 \"SAY \"HI\" caf\xE9\""));
    }

    // The first value a write would send that holds a control byte, named as the editors and
    // the settings name it; the values a write does not send are passed over.
    void aValueWithAControlByteIsNamed()
    {
        const auto named = [](WriterVariant v, const QByteArray &firmware = "9.7") -> QByteArray {
            const auto bad = FirstUnsendableValue(v, firmware);
            if (!bad)
                return "none";
            return bad->controlByte ? bad->field : bad->field + " (form)";
        };
        const auto both = [&] { return named(WriterVariant::TwoPort) + " / " + named(WriterVariant::V7); };
        QCOMPARE(both(), QByteArray("none / none"));

        DB.CannedMsgs[14] = "caf\xe9 \"open\" ~"; // Latin-1 letters, quotes, tilde: text
        DB.Families[5] = {"1", "0123456", "2", "N", "3", "010", "0100", "07", "0\x7f", "NO"};
        DB.PagerGroups[3][GrpTimerMsg] = "0\r3";
        QCOMPARE(both(), QByteArray("none / none")); // neither record is in use
        DB.CannedMsgs[11] = "\x1b[p";
        QCOMPARE(both(), QByteArray("Canned Message 12 / Canned Message 12"));
        DB.Families[5][FamDefined] = "YES";
        QCOMPARE(both(), QByteArray("Family 6 Suffix Msg / Family 6 Suffix Msg"));
        DB.PagerGroups[3][GrpDefined] = "YES";
        QCOMPARE(both(), QByteArray("Group 4 Timer Msg # / Group 4 Timer Msg #"));
        DB.PagerGroups[1][GrpDefined] = "YES";
        DB.PagerGroups[1][GrpPagerID20] = "01\n0";
        QCOMPARE(both(), QByteArray("Group 2 Pager ID 20 / Group 2 Pager ID 20"));
        DB.PagerGroups[1][GrpReference] = "\r"; // kept in the file, never sent
        DB.PagerGroups[1][GrpAux1Msg] = "\r";
        QCOMPARE(both(), QByteArray("Group 2 Aux 1 Msg / Group 2 Aux 1 Msg"));

        // The settings go first; a V7 sends two of the texts.
        EncoderSettings.sPort2DataBits = "N81\r";
        QCOMPARE(both(), QByteArray("Port 2 Data Bits / Group 2 Aux 1 Msg"));
        EncoderSettings.sPort1Flow = "HW\rX";
        QCOMPARE(both(), QByteArray("Port 1 Flow Control / Group 2 Aux 1 Msg"));
        EncoderSettings.sStationID = "\tW1AW";
        QCOMPARE(both(), QByteArray("Station ID / Group 2 Aux 1 Msg"));
        QCOMPARE(named(WriterVariant::TwoPort, "9.01"), QByteArray("Port 1 Flow Control")); // no station ID
        EncoderSettings.sMaxBatch = "1\r";
        QCOMPARE(both(), QByteArray("Station ID / Max Msgs/Batch"));
    }

    // A setting goes out only in a form that a read takes back: the read's query of the
    // setting and the write's check judge every value alike, and the check names the field.
    void aSettingIsSentOnlyInAFormTheReadTakesBack_data()
    {
        QTest::addColumn<QByteArray>("query");
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<QByteArray>("refusedAs"); // empty: the value goes

        const auto row = [](const char *query, const char *value, const char *refusedAs = "") {
            QTest::addRow("%s %s", query, value) << QByteArray(query) << QByteArray(value) << QByteArray(refusedAs);
        };
        for (const char *baud : {"4800", "19200", "300", "Invalid"})
            row("config serial2 baud?", baud);
        for (const char *baud : {"fast", "", "-300", "9600 ", "invalid"})
            row("config serial2 baud?", baud, "Port 2 Baud Rate");
        for (const char *format : {"O81", "N82", "E71", "O72"})
            row("config serial1 databits?", format);
        for (const char *format : {"X81", "N91", "n81", "N8", "N811"})
            row("config serial1 databits?", format, "Port 1 Data Bits");
        for (const char *number : {"-5", "+10", "010", "32767", "-32768", "0"})
            row("config maxbatch?", number);
        for (const char *number : {"99999", "32768", "-32769", "", "1 0", " 10", "abc", "+", "1.5"})
            row("config maxbatch?", number, "Max Msgs/Batch");
        row("config dutycycle?", "66");
        row("config dutycycle?", "66%", "Duty Cycle");
        row("config serial2 protocol?", "SNPP");
        row("config serial2 protocol?", "FOO", "Port 2 Protocol");
        row("config serial1 flow?", "ASW");
        row("config serial1 flow?", "XON", "Port 1 Flow Control");
        row("config sid?", "");
        row("config sid?", "RELAY 7");
        row("config sid?", "OK", "Station ID");
        row("config sid?", "config sid", "Station ID");
    }
    void aSettingIsSentOnlyInAFormTheReadTakesBack()
    {
        QFETCH(QByteArray, query);
        QFETCH(QByteArray, value);
        QFETCH(QByteArray, refusedAs);
        const QList<SettingsQuery> queries = TwoPortSettingsQueries("1", "9.7");
        const auto q = std::find_if(queries.begin(), queries.end(), [&](const SettingsQuery &q) { return q.command == query; });
        QVERIFY(q != queries.end());
        QCOMPARE(HasForm(q->form, value), refusedAs.isEmpty());

        if (refusedAs.isEmpty()) {
            q->store(value); // the query stores into the setting that the write sends
            QVERIFY(!FirstUnsendableValue(WriterVariant::TwoPort, "9.7"));
            return;
        }
        const QList<TextSetting> &table = TextSettings();
        const auto setting = std::find_if(table.begin(), table.end(), [&](const TextSetting &t) { return t.name == refusedAs; });
        QVERIFY(setting != table.end());
        QVERIFY(FormOf(setting->value) == q->form);
        EncoderSettings.*setting->value = value;
        const auto bad = FirstUnsendableValue(WriterVariant::TwoPort, "9.7");
        QVERIFY(bad && !bad->controlByte);
        QCOMPARE(bad->field, refusedAs);
    }

    // The guard's answer is a flag on its own line or the encoder's refusal; what came by the
    // time-out counts as no answer only when nothing came.
    void guardAnswers()
    {
        const std::tuple<const char *, bool, IDAsCapAnswer> rows[] = {
            {"1\r\n", true, IDAsCapAnswer::On},          {"0\n", true, IDAsCapAnswer::Off},
            {"Invalid\r\n", true, IDAsCapAnswer::Off},   {"0\r\nlate\r\n", true, IDAsCapAnswer::Off},
            {"", false, IDAsCapAnswer::None},            {"1", false, IDAsCapAnswer::Garbled},
            {"1\r", false, IDAsCapAnswer::Garbled},      {"\r\n", true, IDAsCapAnswer::Garbled},
            {"10\r\n", true, IDAsCapAnswer::Garbled},    {" 1\r\n", true, IDAsCapAnswer::Garbled},
            {"INVALID\r\n", true, IDAsCapAnswer::Garbled}, {"ID=\r\n", true, IDAsCapAnswer::Garbled}};
        for (const auto &[reply, complete, counts] : rows)
            QVERIFY2(JudgeIDAsCapAnswer(reply, complete) == counts, reply);
    }

    // A number is stored as its decimal text.
    void numbersAreReadAsWholeNumbers()
    {
        QByteArray text;
        QByteArrayList stored;
        for (const char *value : {"+10", "-5", "010", "-0", "99999"})
            stored << (ToInt16Text(value, &text) ? text : "refused");
        QCOMPARE(stored.join(' '), QByteArray("10 -5 10 0 refused"));
    }

    // Each record waits for RS CR; only a two-port encoder's groups get the long reply wait.
    void recordCommands()
    {
        for (const auto v : {WriterVariant::TwoPort, WriterVariant::V7}) {
            const QList<WriteCommand> list = RecordCommands(v);
            QCOMPARE(list.size(), 75);
            QCOMPARE(list[9].status + '|' + list[10].status + '|' + list[74].status,
                     W + "Group 10|" + W + "Family 1|" + W + "Message 15");
            for (int i = 0; i < 75; ++i)
                QCOMPARE(list[i].replyEnd + QByteArray::number(list[i].replyTimeout.count()) +
                             (list[i].messageRecord ? " message" : "") + (list[i].setting ? " setting" : ""),
                         "\x1e\r" + QByteArray(v == WriterVariant::TwoPort && i < 10 ? "4000" : "0") +
                             (i >= 60 ? " message" : ""));
        }
    }
};

QTEST_APPLESS_MAIN(TestWriteCommands)
#include "tst_writecommands.moc"
