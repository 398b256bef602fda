// The main window's pager-ID lookup against the simulated encoder: the typed ID, the label, and
// one lookup at a time. The lookup's answers are tested without windows (tests/encoder).

#include "app/apptest.h"
#include "support/scriptedboxes.h"

#include "e2e/programfixture.h"

#include <QAction>
#include <QPushButton>

using namespace encodertest;

class TestLookupSim : public QObject, ProgramOnEncoder {
    Q_OBJECT

    frmTerminal *t = nullptr;

    // The demo encoder (family 1: pager IDs 100 to 149 from capcode 1234000, alpha, 512 bps,
    // function 4; group 1 with the ID 10), found and read; the lookup is offered.
    bool connectEncoder()
    {
        t = StartDetectedAndRead(encoder, DeviceState::demo(), FastLine());
        return t && t->cmdLookup->isEnabled();
    }

    // Types the pager ID, clicks the button; returns what went to the encoder.
    QList<QByteArray> lookUp(const QString &id)
    {
        const std::size_t before = encoder->sim().eventCount();
        t->txLookup->setText(id);
        QTest::mouseClick(t->cmdLookup, Qt::LeftButton);
        return CommandsSent(*encoder, before);
    }

private slots:
    void initTestCase() { IsolateSettingsForTestRun(); }
    void init() { startProgram(0.05); }
    void cleanup() { endProgram(); }

    // The typed pager ID goes to the encoder and its answer to the label; a click while the
    // encoder is being asked does nothing.
    void oneLookupAtATime()
    {
        SetTimeScale(0.1); // the answer comes late, but within the lookup's 4000 ms
        QVERIFY(connectEncoder());
        QVERIFY(encoder->sim().setKnob("delay_reply", "LOOKUP ms=3000"));
        QTimer::singleShot(20, row.get(), [this] {
            t->txLookup->setText(QStringLiteral("10"));
            QTest::mouseClick(t->cmdLookup, Qt::LeftButton);
        });
        QCOMPARE(lookUp("123"), QList<QByteArray>{"LOOKUP 123\r\n"});
        QCOMPARE(t->lblLookup->text(), QStringLiteral("Response: ID 123, Cap=1234023, Type=A, Rate=512, Func=4"));
        QVERIFY(t->cmdLookup->isEnabled());
    }
};

QTEST_MAIN(TestLookupSim)
#include "tst_lookup_sim.moc"
