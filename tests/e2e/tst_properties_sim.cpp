// The COM port properties dialog with the encoder connected: the port is closed the ordinary
// way first (the encoder leaves programming mode), every COM port is probed (the one the
// program was using included), the stored line settings are preselected, OK applies and keeps
// the choice, Cancel changes nothing.

#include "encoder/link.h"
#include "app/apptest.h"
#include "encoder/frmProperties.h"
#include "support/ptypair.h"
#include "support/scriptedboxes.h"

#include "e2e/programfixture.h"

#include <QAction>
#include <QComboBox>
#include <QPushButton>

using namespace encodertest;

namespace {
const QString kProperties = QStringLiteral("Properties");

QString stored(const QString &key)
{
    return GetSetting(kSolvendraTitle, kProperties, key, QStringLiteral("<absent>"));
}

QStringList items(const QComboBox *box)
{
    QStringList list;
    for (int i = 0; i < box->count(); ++i)
        list << box->itemText(i);
    return list;
}

struct Shown {
    QStringList ports;
    QString port, speed, parity, bits;
    bool portWasOpen = true;
};

Shown look(const frmProperties *d)
{
    return Shown{items(d->cboPort), d->cboPort->currentText(), d->cboSpeed->currentText(),
                 d->cboParity->currentText(), d->cboDataBits->currentText(), Link().isOpen()};
}
} // namespace

class TestPropertiesSim : public QObject {
    Q_OBJECT

    std::unique_ptr<AppTestEnv> env;

private slots:
    void initTestCase() { IsolateSettingsForTestRun(); }
    void init()
    {
        env = std::make_unique<AppTestEnv>();
        SetTimeScale(0.1);
    }
    void cleanup() { env.reset(); }

    void choosingThePortAndItsSettings()
    {
        SimEncoder encoder(DeviceState::factory(9), encsim::Mode::Paging,
                           {{"pacing", "off"}, {"reply_latency_ms", "0"}, {"reboot_ms", "100"}});
        QVERIFY2(encoder.ok(), qPrintable(encoder.error()));
        PtyPair three; // another serial device on COM 3
        QVERIFY(three.ok());
        SetComDevicePathOverride(3, three.linkPath());
        SaveSetting(kSolvendraTitle, kProperties, QStringLiteral("Settings"), QStringLiteral("2400,e,7,1.5"));
        frmTerminal *t = StartAndShowMainWindow<frmXJSplash>();
        QCOMPARE(Link().lineSettings(), QByteArray("2400,e,7,1.5"));

        {
            ScriptedBoxes boxes;
            boxes.expect(QStringLiteral("Paging Encoder Was Detected"));
            t->mnuOpen->trigger();
            QVERIFY(boxes.verifyAllShown());
        }
        QVERIFY(Link().isOpen());
        const std::size_t beforeDialog = encoder->eventCount();

        // Opened with the port open: the port is closed first, with the encoder's reboot.
        Shown shown;
        QList<QByteArray> sentBeforeDialog;
        const PendingAction onProperties = WhenShown<frmProperties>([&](frmProperties *d) {
            shown = look(d);
            sentBeforeDialog = CommandsSent(encoder, beforeDialog);
            d->cboPort->setCurrentText(QStringLiteral("Com3"));
            d->cboSpeed->setCurrentText(QStringLiteral("9600"));
            d->cboParity->setCurrentText(QStringLiteral("None"));
            d->cboDataBits->setCurrentText(QStringLiteral("8"));
            QTest::mouseClick(d->cmdOK, Qt::LeftButton);
        });
        t->mnuProperties->trigger();
        QCOMPARE(sentBeforeDialog, QList<QByteArray>{"config reboot\r"});
        QVERIFY(!shown.portWasOpen);
        QCOMPARE(shown.ports, QStringList({"Com1", "Com3"}));
        QCOMPARE(shown.port, QStringLiteral("Com1"));
        QCOMPARE(shown.speed, QStringLiteral("2400"));
        QCOMPARE(shown.parity, QStringLiteral("Even"));
        QCOMPARE(shown.bits, QStringLiteral("7"));

        QVERIFY(!forms::IsLoaded<frmProperties>());
        QVERIFY(!Link().isOpen());
        QCOMPARE(Link().portNumber(), 3);
        QCOMPARE(Run.iCommPort, int16_t(3));
        QCOMPARE(Link().lineSettings(), QByteArray("9600,N,8,1"));
        QCOMPARE(stored(QStringLiteral("Settings")), QStringLiteral("9600,N,8,1"));
        QCOMPARE(stored(QStringLiteral("CommPort")), QStringLiteral("3"));
        QCOMPARE(t->cmdComStatus->text(), QStringLiteral("Open COM 3"));
        QCOMPARE(t->ImgNotConnected->toolTip(), QStringLiteral(" Enable COM 3 "));
        QCOMPARE(t->ImgConnected->toolTip(), QStringLiteral(" Disable COM 3 "));
        QVERIFY(!t->mnuReadDB->isEnabled() && !t->mnuWriteDB->isEnabled());
        QCOMPARE(t->StatusBar1->panelText(2), QStringLiteral("COM 1 Closed")); // not the dialog's

        // An upper-case parity letter is read like a lower-case one; Cancel keeps everything.
        SaveSetting(kSolvendraTitle, kProperties, QStringLiteral("Settings"), QStringLiteral("1200,O,8,1"));
        const PendingAction onPropertiesAgain = WhenShown<frmProperties>([&](frmProperties *d) {
            shown = look(d);
            d->cboPort->setCurrentText(QStringLiteral("Com1"));
            d->cboSpeed->setCurrentText(QStringLiteral("300"));
            QTest::mouseClick(d->cmdCancel, Qt::LeftButton);
        });
        t->mnuProperties->trigger();
        QCOMPARE(shown.port, QStringLiteral("Com3"));
        QCOMPARE(shown.speed, QStringLiteral("1200"));
        QCOMPARE(shown.parity, QStringLiteral("Odd"));
        QCOMPARE(shown.bits, QStringLiteral("8"));
        QVERIFY(!forms::IsLoaded<frmProperties>());
        QCOMPARE(Link().portNumber(), 3);
        QCOMPARE(Link().lineSettings(), QByteArray("9600,N,8,1"));
        QCOMPARE(stored(QStringLiteral("Settings")), QStringLiteral("1200,O,8,1"));
        QCOMPARE(stored(QStringLiteral("CommPort")), QStringLiteral("3"));
        QVERIFY(!Link().isOpen());
        QCOMPARE(three.read(50, 1), QByteArray()); // probing sends nothing
    }
};

QTEST_MAIN(TestPropertiesSim)
#include "tst_properties_sim.moc"
