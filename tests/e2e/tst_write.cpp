// Programming the encoder from the program's own windows against the simulated encoder. The
// writer's roads are tested without windows (tests/encoder).

#include "app/apptest.h"
#include "settings/frmPassword.h"
#include "settings/frmSettings.h"
#include "settings/frmSettings_Main.h"
#include "support/scriptedboxes.h"

#include "e2e/programfixture.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using namespace encodertest;

class TestWrite : public QObject, ProgramOnEncoder {
    Q_OBJECT

private slots:
    void initTestCase() { IsolateSettingsForTestRun(); }
    void init() { startProgram(0.05); }
    void cleanup() { endProgram(); }

    // A write stopped part-way by a "Write Error", after the program switched the attached
    // port's ID-as-capcode off for the records, switches it back on: the encoder is left with
    // the mode as it was found, and the Encoder panel says what the encoder confirmed.
    void aStoppedWritePutsIDAsCapcodeBack_data()
    {
        QTest::addColumn<int>("generation");
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("unanswered");
        QTest::addColumn<QByteArray>("switchOn");
        QTest::newRow("V9 port 1, a setting") << 9 << 1 << "config maxbatch" << QByteArray("CONFIG SERIAL1 IDASCAP 1\r");
        QTest::newRow("V9 port 2, a record") << 9 << 2 << "write:G 3" << QByteArray("CONFIG SERIAL2 IDASCAP 1\r");
        QTest::newRow("V7, a message") << 7 << 1 << "write:M 2" << QByteArray("CONFIG IDASCAP 1\r");
    }
    void aStoppedWritePutsIDAsCapcodeBack()
    {
        QFETCH(int, generation);
        QFETCH(int, port);
        QFETCH(QString, unanswered);
        QFETCH(QByteArray, switchOn);
        DeviceState state = FullState(generation, port);
        state.config[state.portKey(state.effectiveAttachedPort(), "idascap")] = "1";
        frmTerminal *t = StartDetectedAndRead(encoder, state, FastLine());
        QVERIFY(t);
        const QString onLabel = t->lblIDAsCap->text();
        QVERIFY(onLabel.startsWith(QStringLiteral("ID As Capcode Mode is ON")));

        QVERIFY(encoder->sim().setKnob("drop_reply", "\"" + unanswered.toStdString() + "\""));
        const std::size_t before = encoder->sim().eventCount();
        {
            ScriptedBoxes boxes;
            boxes.expect(QStringLiteral("Error Writing Pager Database")).title(QStringLiteral("Write Error"));
            t->mnuWriteDB->trigger();
            QVERIFY(boxes.verifyAllShown());
        }
        const QList<QByteArray> sent = CommandsSent(*encoder, before);
        QVERIFY(sent.size() > 3);
        QCOMPARE(sent.last(), switchOn);
        QCOMPARE(encoder->sim().getState().config.at(state.portKey(state.effectiveAttachedPort(), "idascap")),
                 std::string("1"));
        QCOMPARE(t->lblIDAsCap->text(), onLabel);
        QVERIFY(t->Toolbar1->ButtonByKey(QStringLiteral("program"))->isEnabled());
    }

    // A call sign the encoder cannot take, typed into the advanced settings, then the window left
    // by its close box, whether OK refused the call sign first or not: nothing refused, and
    // nothing typed on the way to it, reaches the encoder. The attempt counts as a change, so
    // Program asks first, and sends the station ID the encoder had.
    void aRefusedStationIDNeverReachesTheEncoder_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("okFirst"); // OK is pressed, and refuses it, before the close box
        QTest::newRow("refused by OK") << "OK" << true;
        QTest::newRow("left in the box") << "Invalid" << false;
    }
    void aRefusedStationIDNeverReachesTheEncoder()
    {
        QFETCH(QString, typed);
        QFETCH(bool, okFirst);
        DeviceState state = FullState(9);
        state.config["sid"] = "W1AW";
        frmTerminal *t = StartDetectedAndRead(encoder, state, FastLine());
        QVERIFY(t);
        QCOMPARE(EncoderSettings.sStationID, QByteArray("W1AW"));

        QString fieldAfterRefusal;
        const PendingAction onSettings = WhenShown<frmSettings_Main>([](frmSettings_Main *d) {
            d->cmdSettings->click(); // the access dialog and the advanced settings run above it
            d->close();
        });
        const PendingAction onPassword = WhenShown<frmPassword>([](frmPassword *p) {
            QTest::keyClicks(p->txtName, QStringLiteral("KVERN"));
            QTest::keyClick(p->txtName, Qt::Key_Return);
        });
        const PendingAction onAdvanced = WhenShown<frmSettings>([&](frmSettings *d) {
            d->txStationID->selectAll();
            QTest::keyClicks(d->txStationID, typed);
            if (okFirst) {
                d->cmdOK->click();
                fieldAfterRefusal = d->txStationID->text();
            }
            d->close();
        });
        {
            ScriptedBoxes boxes;
            if (okFirst)
                boxes.expect(QStringLiteral("Please Enter a Paging Site License Call Sign"))
                    .title(QStringLiteral("Invalid Values Detected"));
            t->Toolbar1->ButtonByKey(QStringLiteral("settings"))->trigger();
            QVERIFY(boxes.verifyAllShown());
        }
        QVERIFY(!forms::IsLoaded<frmSettings>() && !forms::IsLoaded<frmSettings_Main>());
        if (okFirst)
            QCOMPARE(fieldAfterRefusal, QStringLiteral("W1AW"));
        QCOMPARE(EncoderSettings.sStationID, QByteArray("W1AW"));
        QCOMPARE(t->StatusBar1->panelText(1), QStringLiteral("Current Configuration Modified, Does Not Match Encoder"));

        // The write's waits in real time (the encoder keeps its quick clock): a record has its
        // four seconds however loaded the machine, and its answer ends its wait.
        SetTimeScale(1.0);
        const std::size_t before = encoder->sim().eventCount();
        {
            ScriptedBoxes boxes;
            boxes.expect(QStringLiteral("You are About to Program the Encoder"), MsgAnswer::Yes)
                .title(QStringLiteral("Program Encoder?"));
            t->mnuWriteDB->trigger();
            QVERIFY(boxes.verifyAllShown());
        }
        QVERIFY(Run.bDBMatchesEncoder);
        QVERIFY(CommandsSent(*encoder, before).contains("config sid W1AW\r"));
        QCOMPARE(encoder->sim().getState().config.at("sid"), std::string("W1AW"));
    }
};

QTEST_MAIN(TestWrite)
#include "tst_write.moc"
