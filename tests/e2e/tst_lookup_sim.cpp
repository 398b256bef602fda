// The main window's pager-ID lookup against the simulated encoder: the encoder's answers in
// the program's words, the endings and the time-out, one lookup at a time, the increment-by-8
// warning, and the local answer while port 1 takes pager IDs as capcodes.

#include "app/apptest.h"
#include "support/scriptedboxes.h"

#include "e2e/programfixture.h"

#include <QAction>
#include <QElapsedTimer>
#include <QPushButton>

using namespace e2e;

class TestLookupSim : public QObject {
    Q_OBJECT

    std::unique_ptr<AppTestEnv> env;
    std::unique_ptr<SimEncoder> encoder;
    frmTerminal *t = nullptr;

    // The demo encoder (family 1: pager IDs 100 to 149 from capcode 1234000, alpha, 512 bps,
    // function 4; group 1 with the ID 10), found and read.
    void connectEncoder(bool idAsCapOnPort1)
    {
        DeviceState state = DeviceState::demo();
        state.config["serial1 idascap"] = idAsCapOnPort1 ? "1" : "0";
        encoder = std::make_unique<SimEncoder>(
            state, encsim::Mode::Paging,
            std::vector<std::pair<std::string, std::string>>{
                {"pacing", "off"}, {"reply_latency_ms", "0"}, {"reboot_ms", "100"}});
        QVERIFY2(encoder->ok(), qPrintable(encoder->error()));
        t = StartAndShowMainWindow<frmXJSplash>();
        QVERIFY(t && t->isVisible());
        ScriptedBoxes boxes;
        boxes.expect(QStringLiteral("Paging Encoder Was Detected"));
        t->mnuOpen->trigger();
        QVERIFY(boxes.verifyAllShown());
        QVERIFY(Run.bDBMatchesEncoder);
        QVERIFY(t->cmdLookup->isEnabled());
        QCOMPARE(EncoderSettings.bPort1IDAsCap, idAsCapOnPort1);
    }

    // Types the pager ID, clicks the button; returns what went to the encoder.
    QList<QByteArray> lookUp(const QString &id)
    {
        const std::size_t before = encoder->sim().eventCount();
        t->txLookup->setText(id);
        QTest::mouseClick(t->cmdLookup, Qt::LeftButton);
        return CommandsSent(*encoder, before);
    }

    QString invalidCapcode(const QString &firstLine)
    {
        return firstLine + QStringLiteral("\rThe Capcode value cannot include alpha characters\r"
                                          "or the following illegal Capcodes:\r\r0 through 8\r"
                                          "2007664 through 2007671\r2045056 through 2045063\r"
                                          "or greater than 2097143");
    }

private slots:
    void initTestCase() { IsolateSettingsForTestRun(); }
    void init()
    {
        env = std::make_unique<AppTestEnv>();
        SetTimeScale(0.25);
    }
    void cleanup()
    {
        encoder.reset();
        env.reset();
    }

    void theEncoderAnswersInTheProgramsWords()
    {
        connectEncoder(false);
        QCOMPARE(lookUp("123"), QList<QByteArray>{"LOOKUP 123\r\n"});
        QCOMPARE(t->lblLookup->text(), QStringLiteral("Response: ID 123, Cap=1234023, Type=A, Rate=512, Func=4"));
        QCOMPARE(lookUp("10"), QList<QByteArray>{"LOOKUP 10\r\n"});
        QCOMPARE(t->lblLookup->text(), QStringLiteral("Response: ID 10 is Group 1"));
        lookUp("999");
        QCOMPARE(t->lblLookup->text(), QStringLiteral("Response: ID 999 not found"));
        // An empty box is asked all the same.
        QCOMPARE(lookUp(""), QList<QByteArray>{"LOOKUP \r\n"});
        QCOMPARE(t->lblLookup->text(), QStringLiteral("Response: Invalid ID"));
        QCOMPARE(Link().Timer2->Interval(), 4000);
        QVERIFY(!Link().Timer2->Enabled());

        // A line feed followed by a carriage return ends the answer as well.
        QVERIFY(encoder->sim().setKnob("lookup_ending", "lfcr"));
        QElapsedTimer clock;
        clock.start();
        lookUp("201");
        QVERIFY2(clock.elapsed() < 700, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(t->lblLookup->text(), QStringLiteral("Response: ID 201, Cap=1300001, Type=N, Rate=1200, Func=1"));

        // No ending: what arrived is shown once the 4000 ms have passed; no answer: nothing.
        QVERIFY(encoder->sim().setKnob("lookup_ending", "none"));
        clock.restart();
        lookUp("101");
        QVERIFY(clock.elapsed() >= 900);
        QCOMPARE(t->lblLookup->text(), QStringLiteral("Response: ID 101, Cap=1234001, Type=A, Rate=512, Func=4"));
        QVERIFY(encoder->sim().setKnob("drop_reply", "LOOKUP"));
        lookUp("102");
        QCOMPARE(t->lblLookup->text(), QStringLiteral("Response: "));
    }

    // One lookup at a time: a click while the encoder is being asked does nothing. With
    // increment-by-8 on, the warning comes first and the lookup follows.
    void oneLookupAtATimeAndTheIncrementWarning()
    {
        connectEncoder(false);
        QVERIFY(encoder->sim().setKnob("delay_reply", "LOOKUP ms=300"));
        QTimer::singleShot(60, this, [this] {
            t->txLookup->setText(QStringLiteral("10"));
            QTest::mouseClick(t->cmdLookup, Qt::LeftButton);
        });
        QCOMPARE(lookUp("123"), QList<QByteArray>{"LOOKUP 123\r\n"});
        QCOMPARE(t->lblLookup->text(), QStringLiteral("Response: ID 123, Cap=1234023, Type=A, Rate=512, Func=4"));
        QVERIFY(t->cmdLookup->isEnabled());

        EncoderSettings.bIncCapBy8 = true;
        ScriptedBoxes boxes;
        const std::size_t before = encoder->sim().eventCount();
        boxes.expect(QStringLiteral("Increment Capcodes by 8 Mode is Active.  You May Need\r"
                                    "to Close and Open the COM Port to Restart the Encoder,\r"
                                    "in Order to Obtain Valid Lookup Results"))
            .title(QStringLiteral("Increment Capcodes by 8 Mode Active"))
            .buttons(MsgButtons::OK)
            .icon(MsgIcon::None)
            .then([&] { QVERIFY(CommandsSent(*encoder, before).isEmpty()); });
        QCOMPARE(lookUp("124"), QList<QByteArray>{"LOOKUP 124\r\n"});
        QVERIFY(boxes.verifyAllShown());
        QCOMPARE(t->lblLookup->text(), QStringLiteral("Response: ID 124, Cap=1234024, Type=A, Rate=512, Func=4"));
    }

    // Port 1 takes pager IDs as capcodes: the lookup checks the capcode itself and asks nothing.
    void capcodeModeAnswersLocally()
    {
        connectEncoder(true);
        t->lblLookup->setText(QStringLiteral("Response:"));
        QVERIFY(lookUp("123").isEmpty());
        QCOMPARE(t->lblLookup->text(), QStringLiteral("ID \"123\", Cap=0000123, Type=A, Rate=512 Func=4"));

        const QString forPort1 = invalidCapcode(QStringLiteral("Pager ID as Capcode mode is active for Port 1"));
        const QString tooLarge = invalidCapcode(QStringLiteral("Pager ID as Capcode mode is active"));
        ScriptedBoxes boxes;
        for (const QString &text : {forPort1, tooLarge, forPort1, tooLarge, forPort1})
            boxes.expect(text).title(QStringLiteral("Invalid Capcode")).buttons(MsgButtons::OK).icon(MsgIcon::None);
        for (const char *entry : {"12a", "2097144", "", "9999999999", "2045060"})
            QVERIFY(lookUp(entry).isEmpty());
        QVERIFY(boxes.verifyAllShown());
        QCOMPARE(t->lblLookup->text(), QStringLiteral("ID \"123\", Cap=0000123, Type=A, Rate=512 Func=4"));
        QVERIFY(!HourglassShown());
    }
};

QTEST_MAIN(TestLookupSim)
#include "tst_lookup_sim.moc"
