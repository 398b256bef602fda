// The serial layer against the simulated encoder: what the encoder sees of the line settings,
// what a discard and a close do to bytes in flight, the replies and endings of both
// generations, record blocks, and what the fault knobs do to the line.

#include <QtTest>

#include "encoder/link.h"
#include "encoder/read/settingsqueries.h"
#include "encoder/recordblock.h"
#include "model/state.h"
#include "platform/serialport.h"
#include "platform/timing.h"
#include "support/scriptedboxes.h"

#include "support/simencoder.h"

using namespace std::chrono_literals;

namespace {
const QByteArray CRLF("\r\n");
}

class TestSerialSim : public QObject {
    Q_OBJECT

    std::unique_ptr<SimEncoder> encoder;
    MSComm *port = nullptr;

    bool plug(encsim::DeviceState state, encsim::Mode mode,
              std::vector<std::pair<std::string, std::string>> knobs = {})
    {
        encoder = std::make_unique<SimEncoder>(std::move(state), mode, std::move(knobs));
        if (!encoder->ok()) {
            qWarning() << encoder->error();
            return false;
        }
        port = Link().MSComm1;
        return !port->setCommPort(1) && !port->setSettings("9600,n,8,1") && !port->setPortOpen(true);
    }

    ExchangeResult ask(const QByteArray &command, const QList<QByteArray> &expected,
                       bool discard = true)
    {
        return Link().Wait({.send = command, .discardFirst = discard, .until = HoldsAny(expected)});
    }

    // Waits until the encoder has taken in a command (its log says so).
    bool encoderLogged(const char *pattern, std::chrono::milliseconds within = 2000ms)
    {
        return encoder->sim().waitForEvent(pattern, within).has_value();
    }

private slots:
    void init()
    {
        ResetProgramState();
        SetTimeScale(0.2); // the program's waits and the encoder's delays alike
        Link().Reset();
        Link().Timer2->setInterval(1500);
    }
    void cleanup()
    {
        Link().Reset();
        encoder.reset();
        SetTimeScale(1.0);
    }

    void theEncoderSeesTheBaudRateTheProgramSets()
    {
        QVERIFY(plug(encsim::DeviceState::factory(9), encsim::Mode::Paging));
        // At 2400 baud the encoder (listening at 9600) cannot make out "#PrgmMode#".
        QVERIFY(!port->setSettings("2400,n,8,1"));
        QVERIFY(!port->Output("#PrgmMode#"));
        QVERIFY(encoderLogged("PC line speed 2400"));
        QVERIFY(encoderLogged("ignored"));
        QVERIFY(encoder->sim().mode() != encsim::Mode::Programming);
        // Changed while open, the new speed is what the encoder hears next.
        QVERIFY(!port->setSettings("9600,n,8,1"));
        const auto r = ask("#PrgmMode#", {"9600 baud"}, false);
        QCOMPARE(r.outcome, ReplyOutcome::Answered);
        QCOMPARE(encoder->sim().mode(), encsim::Mode::Programming);
        QVERIFY(encoderLogged("PC line speed 9600"));
    }

    void discardDropsWhatHadArrived()
    {
        QVERIFY(plug(encsim::DeviceState::factory(9), encsim::Mode::Programming));
        QVERIFY(!port->Output("config maxbatch?\r"));
        QVERIFY(port->WaitForInput(1000));
        QTest::qWait(50);
        QVERIFY(port->InBufferCount() > 0);
        QVERIFY(!port->DiscardInput());
        QCOMPARE(port->InBufferCount(), 0);
        QCOMPARE(port->Input(), QByteArray());
    }

    void bytesWrittenJustBeforeACloseReachTheEncoder()
    {
        QVERIFY(plug(encsim::DeviceState::factory(9), encsim::Mode::Programming));
        QVERIFY(!port->Output("config maxbatch 33\r"));
        QVERIFY(!port->setPortOpen(false));
        QVERIFY(encoderLogged("maxbatch"));
        QTRY_COMPARE(encoder->sim().getState().config.at("maxbatch"), std::string("33"));
    }

    void aWriteToAClosedPortReportsPortNotOpen()
    {
        QVERIFY(plug(encsim::DeviceState::factory(9), encsim::Mode::Programming));
        QVERIFY(!port->setPortOpen(false));
        const CommError e = port->Output("config maxbatch?\r");
        QCOMPARE(e.code, CommError::PortNotOpen);
        QCOMPARE(e.text, QStringLiteral("Port not open"));
        CommError readError;
        port->Input(&readError);
        QCOMPARE(readError.code, CommError::PortNotOpen);
        QCOMPARE(port->DiscardInput().code, CommError::PortNotOpen);
    }

    void everyQueryIsAnsweredWithItsEnding_data()
    {
        QTest::addColumn<int>("generation");
        QTest::newRow("V9") << 9;
        QTest::newRow("V8") << 8;
        QTest::newRow("V7") << 7;
    }
    void everyQueryIsAnsweredWithItsEnding()
    {
        QFETCH(int, generation);
        QVERIFY(plug(encsim::DeviceState::factory(generation), encsim::Mode::Programming));
        const bool v7 = generation == 7;
        const QByteArray ending = v7 ? CRLF : QByteArray("\r");
        QList<QByteArray> commands;
        for (const SettingsQuery &q : v7 ? V7SettingsQueries() : TwoPortSettingsQueries("1", "9.7"))
            commands << q.command;
        for (const QByteArray &c : commands) {
            const auto r = ask(c + ending, {CRLF});
            QVERIFY2(r.outcome == ReplyOutcome::Answered, c.constData());
            QVERIFY2(r.reply.endsWith(CRLF) && r.reply.count(CRLF) == 1, c.constData());
            QVERIFY2(!r.reply.contains("Invalid") && !r.reply.contains("ID="), (c + ": " + r.reply).constData());
        }
        // A setting answers "<KEY> updated" (V7: "<KEY> option updated") on one CR LF line.
        const auto s = ask("config maxbatch 12" + ending, {CRLF});
        QCOMPARE(s.reply, QByteArray(v7 ? "MAXBATCH option updated\r\n" : "MAXBATCH updated\r\n"));
        // The ID-as-capcode commands end with a line feed.
        const QByteArray idascap = v7 ? "CONFIG IDASCAP" : "CONFIG SERIAL1 IDASCAP";
        auto r = ask(idascap + "?\r", {"\n"});
        QCOMPARE(r.reply, QByteArray("0\r\n"));
        r = ask(idascap + " 1\r", {"\n"});
        QCOMPARE(r.reply, QByteArray(v7 ? "IDASCAP option updated\r\n" : "IDASCAP updated\r\n"));
        // The modulation attenuation answers on a line ended by a CR alone.
        r = ask("CONFIG MODATTENC 9\r", {"\r"});
        QCOMPARE(r.reply, QByteArray("MODATTENC 9\r"));
        // The other generation's keys are refused.
        r = ask((v7 ? "config serial1 baud?" : "config pet?") + ending, {CRLF});
        QCOMPARE(r.reply, QByteArray("Invalid\r\n"));
    }

    void recordBlocksAreCheckedByTheirChecksum()
    {
        QVERIFY(plug(encsim::DeviceState::demo(), encsim::Mode::Programming));
        QByteArray block = BuildTAPBlock("061c74", "G 1");
        auto r = ask(block, {CRLF, "\x15\r"});
        QVERIFY(r.reply.startsWith("G 1 "));
        QVERIFY(r.reply.endsWith(CRLF));
        block[block.size() - 2] = block.at(block.size() - 2) == '0' ? '1' : '0';
        r = ask(block, {CRLF, "\x15\r"});
        QCOMPARE(r.reply, QByteArray("\x15\r"));
        // A record written with the right checksum is taken and acknowledged RS CR.
        r = ask(BuildTAPBlock("0047d16", "M 3 \"TEST PAGE\""), {"\x1E\r"});
        QCOMPARE(r.outcome, ReplyOutcome::Answered);
        r = ask(BuildTAPBlock("061c74", "M 3"), {CRLF});
        QCOMPARE(r.reply, QByteArray("M 3 \"TEST PAGE\"\r\n"));
    }

    void identificationAndFirmwareKnobs()
    {
        encsim::DeviceState state = encsim::DeviceState::factory(9);
        state.firmware = "9.01";
        state.attachedPort = 2;
        QVERIFY(plug(state, encsim::Mode::Programming));
        auto r = ask("ATI\r\r", {"ID="});
        QCOMPARE(r.reply, QByteArray("\r\nKestrane Paging Encoder v9.01\r\nPort 2\r\nID="));
        r = ask("config sid?\r", {CRLF}); // no station ID on this firmware
        QCOMPARE(r.reply, QByteArray("Invalid\r\n"));
        QVERIFY(encoder->sim().setKnob("ati_style", "banner_only"));
        r = ask("ATI\r\r", {"ID=", "Port 2\r\n"});
        QVERIFY(!r.reply.contains("ID="));
    }

    void replyKnobsChangeTheLine()
    {
        Link().Timer2->setInterval(700);
        QVERIFY(plug(encsim::DeviceState::factory(9), encsim::Mode::Programming));
        auto &sim = encoder->sim();

        QVERIFY(sim.setKnob("drop_reply", "\"config maxbatch?\" next"));
        auto r = ask("config maxbatch?\r", {CRLF});
        QCOMPARE(r.outcome, ReplyOutcome::TimedOut);
        QVERIFY(r.reply.isEmpty());
        r = ask("config maxbatch?\r", {CRLF}); // only the next one was dropped
        QCOMPARE(r.reply, QByteArray("10\r\n"));

        QVERIFY(sim.setKnob("inject_id_prompt", "\"config dutycycle?\""));
        r = ask("config dutycycle?\r", {CRLF});
        QVERIFY(r.reply.contains("ID="));

        QVERIFY(sim.setKnob("replace_reply", "\"config capby8?\" bytes=x\\r\\n"));
        r = ask("config capby8?\r", {CRLF});
        QCOMPARE(r.reply, QByteArray("x\r\n"));

        QVERIFY(sim.setKnob("garbage", "\"config invertdata?\" where=before bytes=ZZ"));
        r = ask("config invertdata?\r", {CRLF});
        QCOMPARE(r.reply, QByteArray("ZZ1\r\n"));

        QVERIFY(sim.setKnob("line_ending", "\"config serial1 baud?\" ending=lf"));
        r = ask("config serial1 baud?\r", {CRLF});
        QCOMPARE(r.outcome, ReplyOutcome::TimedOut);
        QCOMPARE(r.reply, QByteArray("9600\n"));

        // A late reply misses its wait and is thrown away by the next exchange's discard.
        QVERIFY(sim.setKnob("delay_reply", "\"config serial2 baud?\" ms=1200"));
        r = ask("config serial2 baud?\r", {CRLF});
        QCOMPARE(r.outcome, ReplyOutcome::TimedOut);
        QTest::qWait(ScaledMs(700));
        r = ask("config serial1 flow?\r", {CRLF});
        QCOMPARE(r.reply, QByteArray("HW\r\n"));

        // A reply in pieces is gathered whole over several polls.
        QVERIFY(sim.setKnob("split_reply", "\"config serial1 protocol?\" pieces=3 gap_ms=80"));
        r = ask("config serial1 protocol?\r", {CRLF});
        QCOMPARE(r.outcome, ReplyOutcome::Answered);
        QCOMPARE(r.reply, QByteArray("TAP\r\n"));
    }

    void lineKnobs()
    {
        Link().Timer2->setInterval(600);
        QVERIFY(plug(encsim::DeviceState::factory(9), encsim::Mode::Programming));
        auto &sim = encoder->sim();

        sim.cablePull(); // silence both ways
        auto r = ask("config maxbatch?\r", {CRLF});
        QCOMPARE(r.outcome, ReplyOutcome::TimedOut);
        sim.cablePlug();
        r = ask("config maxbatch?\r", {CRLF});
        QCOMPARE(r.reply, QByteArray("10\r\n"));

        // A power cycle leaves the encoder in paging mode: a TAP port answers "ID=".
        QVERIFY(sim.setKnob("reboot_ms", "100"));
        sim.powerCycle();
        QTRY_COMPARE_WITH_TIMEOUT(encoder->sim().mode(), encsim::Mode::Paging, 2000);
        r = ask("config maxbatch?\r", {CRLF, "ID="});
        QVERIFY(r.reply.contains("ID="));

        // Powered off: nothing comes back.
        sim.powerOff();
        r = ask("ATI\r\r", {"ID="});
        QCOMPARE(r.outcome, ReplyOutcome::TimedOut);
        QVERIFY(r.reply.isEmpty());

        // A hang-up makes the program's writes fail (and said once, in a box).
        sim.powerOn();
        sim.hangup();
        ScriptedBoxes boxes;
        boxes.expect(QString());
        r = ask("config maxbatch?\r", {CRLF});
        QCOMPARE(r.outcome, ReplyOutcome::TimedOut);
        QCOMPARE(boxes.shown().size(), 1);
    }
};

QTEST_MAIN(TestSerialSim)
#include "tst_serial_sim.moc"
