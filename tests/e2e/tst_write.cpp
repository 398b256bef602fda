// Programming the encoder from the program's own windows against the simulated encoder. The
// writer's roads are tested without windows (tests/encoder).

#include "app/apptest.h"
#include "support/scriptedboxes.h"

#include "e2e/programfixture.h"

#include <QAction>
#include <QLabel>

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
};

QTEST_MAIN(TestWrite)
#include "tst_write.moc"
