// The encoder settings, advanced settings and access dialogs driven offscreen in the running
// program: what they show of the stored settings, every choice and what the main window shows of
// it, OK's checks and corrections, the preferences, and the road from the toolbar.

#include "app/apptest.h"

#include "model/encoderports.h"
#include "settings/frmPassword.h"
#include "settings/frmSettings.h"
#include "settings/frmSettings_Main.h"
#include "support/detected.h"
#include "support/scriptedboxes.h"

#include <QtWidgets>

namespace {

const QString Modified = QStringLiteral("Current Configuration Modified, Does Not Match Encoder");
const QString Matches = QStringLiteral("Current View Matches Encoder Configuration");
const QString InvalidValues = QStringLiteral("Please Enter Numerical Values For\rDuty Cycle And Batch Quantity");
const QString BatchCorrected = QStringLiteral("Max Msgs per Batch will be Changed to 32");
const QString IDAsCapBox = QStringLiteral("When 'ID As Capcode' mode is enabled");
const QString COMP1Box = QStringLiteral("COMP1 Protocol Requires a Default Pager Assignment\r");

template <class F>
F *open()
{
    F *f = forms::Get<F>();
    f->show();
    return f;
}

// Picks an item from a drop-down list as the operator does, also the one it shows.
void choose(QComboBox *list, const QString &item)
{
    list->showPopup();
    list->view()->setCurrentIndex(list->view()->model()->index(list->findText(item), 0));
    QTest::keyClick(list->view(), Qt::Key_Return);
}

} // namespace

class TestSettingsDialogs : public QObject, MainWindowTest {
    Q_OBJECT

    // Whether the main window shows the database modified; "matching" when it shows no change.
    QString shown() const
    {
        const bool modified = !Run.bDBMatchesEncoder && t->StatusBar1->panelText(1) == Modified &&
                              !t->cmdLookup->isEnabled() && !t->mnuSendMsg->isEnabled() &&
                              !t->Toolbar1->Buttons(8)->isEnabled();
        const bool unchanged = Run.bDBMatchesEncoder && t->StatusBar1->panelText(1) == Matches &&
                               t->cmdLookup->isEnabled() && t->Toolbar1->Buttons(8)->isEnabled();
        return modified ? QStringLiteral("modified") : unchanged ? QStringLiteral("matching") : QStringLiteral("mixed");
    }
    QString stored(const char *key) { return StoredPreference(AppTitle(), QString::fromLatin1(key)); }
    bool editorsOffered() const
    {
        return t->Toolbar1->Buttons(2)->isEnabled() && t->Toolbar1->Buttons(3)->isEnabled();
    }

private slots:
    void initTestCase() { IsolateSettingsForTestRun(); }
    void init()
    {
        QVERIFY(startProgram());
        ShowDatabaseMatchesEncoder(t);
    }
    void cleanup() { endProgram(); }

    // Opening the dialog changes nothing: stored values it cannot show (a protocol the firmware
    // lacks or it does not know, a baud outside its list, "Invalid" among them, a character
    // format it cannot choose) show as far as they can and stay, through the close box and OK,
    // and the database still matches. A second port the firmware does not offer is hidden, and
    // neither OK nor Restore Defaults touches it.
    void encoderSettingsShowTheStoredSettings()
    {
        encodertest::NoteDetected("9.6S"); // before 9.7, no second port
        EncoderConfig &s = EncoderSettings;
        s.sPort1Protocol = "SNPP";
        s.sPort2Protocol = "";
        s.sPort1Baud = "Invalid";
        s.sPort2Baud = "Invalid";
        s.sPort1DataBits = "O71";
        s.sPort2DataBits = "E71";
        s.bPort1Verbose = false;
        const auto port = [&s](int number) {
            const ConstEncoderPort p = EncoderPortOf(std::as_const(s), number);
            return *p.protocol + '/' + *p.baud + '/' + *p.dataBits + '/' + (*p.verbose ? "V" : "-");
        };
        const QByteArray port2 = port(2);
        auto *d = open<frmSettings_Main>();
        QVERIFY(d->Frame1->isVisible() && d->Frame4->isVisible());
        QVERIFY(!d->frProtocol->isVisible() && !d->frSettings->isVisible());
        QVERIFY(!d->opt1Protocol[6]->isEnabled() && !d->opt2Protocol[6]->isEnabled());
        QVERIFY(d->opt1Protocol[6]->isChecked() && d->opt1Verbose[1]->isChecked());
        QVERIFY(std::none_of(d->opt2Protocol.begin(), d->opt2Protocol.end(),
                             [](const QRadioButton *b) { return b->isChecked(); }));
        QCOMPARE(QString::number(d->cboSpeed[0]->currentIndex()) + '/' + QString::number(d->cboSpeed[1]->currentIndex()),
                 QStringLiteral("-1/-1"));
        QCOMPARE(QStringList({d->cboParity[0]->currentText(), d->cboDataBits[0]->currentText(),
                              d->cboParity[1]->currentText(), d->cboDataBits[1]->currentText()}),
                 QStringList({"", "7", "Even", "7"}));
        QCOMPARE(port(1) + ' ' + port(2), "SNPP/Invalid/O71/- " + port2);
        d->close();
        QVERIFY(!forms::IsLoaded<frmSettings_Main>());
        QCOMPARE(port(1) + ' ' + port(2), "SNPP/Invalid/O71/- " + port2);
        QCOMPARE(shown(), QStringLiteral("matching"));

        d = open<frmSettings_Main>();
        s.sPort2DataBits = "N81"; // the hidden boxes show E71
        d->cmdOK->click();
        QCOMPARE(port(1) + ' ' + port(2), "SNPP/Invalid/O71/- " + s.sPort2Protocol + "/Invalid/N81/" +
                                              (s.bPort2Verbose ? "V" : "-"));
        QCOMPARE(shown(), QStringLiteral("matching"));

        const QByteArray hidden = port(2);
        open<frmSettings_Main>()->cmdDefault->click();
        QCOMPARE(port(1) + ' ' + port(2), "TAP/9600/N81/V " + hidden);
    }

    // Every choice is stored and marks the database modified, also one that changes nothing;
    // COMP1 on port 1 needs group 1's first pager and is the only port that may use it. Data
    // bits or parity chosen for a port with a format the lists cannot show give "E71" or "N81".
    void encoderSettingsChoices()
    {
        encodertest::NoteDetected("9.7");
        DB.PagerGroups[0][GrpActive] = "1";
        DB.PagerGroups[0][GrpPagerID1] = "0000";
        EncoderSettings.sPort1DataBits = EncoderSettings.sPort2DataBits = "O71";
        auto *d = open<frmSettings_Main>();
        QVERIFY(d->frSettings->isVisible() && d->opt2Protocol[6]->isEnabled());
        choose(d->cboSpeed[1], QStringLiteral("9600"));
        QCOMPARE(shown(), QStringLiteral("modified"));

        ShowDatabaseMatchesEncoder(t);
        d->opt1Verbose[1]->click();
        QVERIFY(!EncoderSettings.bPort1Verbose);
        noBoxes->expect(COMP1Box).title(QStringLiteral("COMP1 Pager ID Not Defined")).icon(MsgIcon::None);
        d->opt1Protocol[2]->click();
        QVERIFY(noBoxes->verifyAllShown());
        QCOMPARE(EncoderSettings.sPort1Protocol, QByteArray("TAP"));
        QVERIFY(d->opt1Protocol[0]->isChecked() && d->opt1Verbose[0]->isChecked() && EncoderSettings.bPort1Verbose);
        QCOMPARE(shown(), QStringLiteral("modified"));

        d->opt2Protocol[2]->click(); // never refused on port 2
        DB.PagerGroups[0][GrpPagerID1] = "0012";
        noBoxes->expect(COMP1Box);
        d->opt1Protocol[2]->click();
        QVERIFY(noBoxes->verifyAllShown());
        QCOMPARE(EncoderSettings.sPort1Protocol + '/' + EncoderSettings.sPort2Protocol, QByteArray("COMP1/TAP"));
        QVERIFY(d->opt2Protocol[0]->isChecked());

        choose(d->cboDataBits[0], QStringLiteral("7"));
        QCOMPARE(d->cboParity[0]->currentText() + EncoderSettings.sPort1DataBits, QStringLiteral("EvenE71"));
        choose(d->cboParity[0], QStringLiteral("None"));
        QCOMPARE(d->cboDataBits[0]->currentText() + EncoderSettings.sPort1DataBits, QStringLiteral("8N81"));

        ShowDatabaseMatchesEncoder(t);
        choose(d->cboParity[1], QStringLiteral("None"));
        QCOMPARE(d->cboDataBits[1]->currentText() + EncoderSettings.sPort2DataBits + shown(),
                 QStringLiteral("8N81modified"));

        d->opt2Verbose[1]->click();
        choose(d->cboSpeed[0], QStringLiteral("300"));
        choose(d->cboDataBits[1], QStringLiteral("7"));
        d->cmdDefault->click();
        const EncoderConfig &s = EncoderSettings;
        QCOMPARE(s.sPort1Protocol + s.sPort2Protocol + s.sPort1Baud + s.sPort2Baud + s.sPort1DataBits + s.sPort2DataBits,
                 QByteArray("TAPTAP96009600N81N81"));
        QVERIFY(s.bPort1Verbose && s.bPort2Verbose && d->opt2Verbose[0]->isChecked());
        QCOMPARE(d->cboSpeed[0]->currentText() + d->cboDataBits[1]->currentText(), QStringLiteral("96008"));
    }

    void advancedSettingsArrangement_data()
    {
        QTest::addColumn<bool>("v7");
        QTest::addColumn<QByteArray>("firmware");
        QTest::newRow("V7") << true << QByteArray("7.2");
        QTest::newRow("no second port") << false << QByteArray("9.7S");
    }
    void advancedSettingsArrangement()
    {
        QFETCH(bool, v7);
        QFETCH(QByteArray, firmware);
        encodertest::NoteDetected(firmware);
        QCOMPARE(Run.bV7Encoder, v7);
        EncoderConfig &s = EncoderSettings;
        s.sDutyCycle.clear();
        s.sMaxBatch.clear();
        s.sPort1Protocol = "COMP2";
        s.sPort1Baud = "1200";
        s.sPort1DataBits = "E71";
        s.bPort1Verbose = false;
        s.sPort2Flow = "SW";
        s.bPort2IDAsCap = true;
        s.bPort2PPHReset = false;
        auto *d = open<frmSettings>();
        for (QWidget *w : {d->chkPET, d->chkBriefACK, d->chkFlowBeforeACK})
            QCOMPARE(w->isVisible(), v7);
        QCOMPARE(d->Frame7->isVisible(), !v7);
        QCOMPARE(d->chkIncCapby8->isVisible(), !v7);
        QCOMPARE(d->frSettings->isVisible(), !firmware.contains('S'));
        QCOMPARE(d->txDutyCycle->text() + '/' + d->txtBatchQty->text(), QStringLiteral("66/10"));
        QCOMPARE(s.sDutyCycle + '/' + s.sMaxBatch, QByteArray("/"));
        // A V7's one port runs at fixed line settings, which count as no change.
        const QByteArray line = s.sPort1Protocol + s.sPort1Baud + s.sPort1DataBits + (s.bPort1Verbose ? "V" : "-");
        QCOMPARE(line, v7 ? QByteArray("TAP9600N81V") : QByteArray("COMP21200E71-"));
        QCOMPARE(shown(), QStringLiteral("matching"));

        // Restore Defaults leaves a second port the window does not show as it is.
        d->cmdResetDefaults->click();
        const QByteArray port2 = s.sPort2Flow + (s.bPort2IDAsCap ? "/ID" : "/-") + (s.bPort2PPHReset ? "/reset" : "/-");
        QCOMPARE(port2, d->frSettings->isVisible() ? QByteArray("HW/-/reset") : QByteArray("SW/ID/-"));
    }

    // An empty duty cycle or batch (a refusal's emptied box left by the close box, or a file's)
    // shows the default, which becomes the setting by OK, not by opening the window.
    void emptyNumbersShowTheirDefaults_data()
    {
        QTest::addColumn<QByteArray>("duty");
        QTest::addColumn<QByteArray>("batch");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("both, close box") << QByteArray() << QByteArray() << false << QByteArray("/");
        QTest::newRow("both, OK") << QByteArray() << QByteArray() << true << QByteArray("66/10");
        QTest::newRow("the batch, close box") << QByteArray("50") << QByteArray() << false << QByteArray("50/");
        QTest::newRow("the batch, OK") << QByteArray("0") << QByteArray() << true << QByteArray("0/10");
        QTest::newRow("neither, OK") << QByteArray("50") << QByteArray("5") << true << QByteArray("50/5");
    }
    void emptyNumbersShowTheirDefaults()
    {
        QFETCH(QByteArray, duty);
        QFETCH(QByteArray, batch);
        QFETCH(bool, ok);
        QFETCH(QByteArray, after);
        EncoderConfig &s = EncoderSettings;
        s.sDutyCycle = duty;
        s.sMaxBatch = batch;
        auto *d = open<frmSettings>();
        QCOMPARE(d->txDutyCycle->text() + '/' + d->txtBatchQty->text(),
                 QString::fromLatin1((duty.isEmpty() ? "66" : duty) + '/' + (batch.isEmpty() ? "10" : batch)));
        QCOMPARE(s.sDutyCycle + '/' + s.sMaxBatch + '/' + shown().toLatin1(), duty + '/' + batch + "/matching");
        if (ok)
            d->cmdOK->click();
        else
            d->close();
        QVERIFY(!forms::IsLoaded<frmSettings>());
        const bool changed = after != duty + '/' + batch;
        QCOMPARE(s.sDutyCycle + '/' + s.sMaxBatch + '/' + shown().toLatin1(),
                 after + (changed ? "/modified" : "/matching"));
    }

    // Each control's setting and sense, the main window's labels and editors, the preferences,
    // the station ID taken only while Program can send it, and Restore Defaults.
    void advancedSettingsChanges()
    {
        EncoderSettings.bPort2IDAsCap = true;
        EncoderSettings.sStationID = "RELAY 7";
        auto *d = open<frmSettings>();
        QCOMPARE(d->txStationID->text(), QStringLiteral("RELAY 7"));
        QCOMPARE(shown(), QStringLiteral("matching"));
        d->txStationID->selectAll();
        QTest::keyClicks(d->txStationID, QStringLiteral("Invali"));
        QCOMPARE(EncoderSettings.sStationID + '/' + shown().toLatin1(), QByteArray("Invali/modified"));
        QTest::keyClicks(d->txStationID, QStringLiteral("d"));
        QCOMPARE(EncoderSettings.sStationID, QByteArray("RELAY 7")); // the encoder's answer: not taken
        d->txStationID->setText(QStringLiteral("RELAY 7"));
        QTest::keyClick(d->txStationID, Qt::Key_End);
        QTest::keyClicks(d->txStationID, QStringLiteral("-B"));
        QCOMPARE(EncoderSettings.sStationID, QByteArray("RELAY 7-B"));
        ShowDatabaseMatchesEncoder(t);

        noBoxes->expect(IDAsCapBox).title(QStringLiteral("Pager Family and Group Settings Ignored"));
        d->chkIDAsCap[0]->click();
        QVERIFY(noBoxes->verifyAllShown());
        QVERIFY(EncoderSettings.bPort1IDAsCap && !editorsOffered());
        QCOMPARE(t->lblIDAsCap->text(), QStringLiteral("ID As Capcode Mode is ON for Port 1"));
        QCOMPARE(stored("Serial1IDAsCap"), QStringLiteral("1"));
        QCOMPARE(shown(), QStringLiteral("modified"));
        d->chkIDAsCap[0]->click();
        d->chkIDAsCap[1]->click();
        QVERIFY(!EncoderSettings.bPort1IDAsCap && editorsOffered());
        noBoxes->expect(IDAsCapBox);
        t->lblIDAsCap->setText(QStringLiteral("unchanged"));
        d->chkIDAsCap[1]->click(); // port 1 has it off: the label and the editors stay
        QVERIFY(noBoxes->verifyAllShown());
        QVERIFY(EncoderSettings.bPort2IDAsCap && editorsOffered());
        QCOMPARE(t->lblIDAsCap->text(), QStringLiteral("unchanged"));

        d->chkCarrierDetect->click();
        d->optCDPolarity[1]->click();
        d->chkPPHReset[1]->click();
        d->optFlow2[3]->click();
        d->chkIncCapby8->click();
        QTest::keyClick(d->txtBatchQty, Qt::Key_Backspace);
        const EncoderConfig &s = EncoderSettings;
        QVERIFY(s.bIgnoreRFCD && s.bInvertRFCD && !s.bInvertData && !s.bPort2PPHReset && s.bIncCapBy8);
        QCOMPARE(s.sPort2Flow + '/' + stored("Serial2Flow").toLatin1() + '/' + s.sMaxBatch, QByteArray("AHW/AHW/1"));
        QCOMPARE(t->lblIncBy8->text(), QStringLiteral("Increment Capcodes by 8 Mode is ON"));

        ShowDatabaseMatchesEncoder(t);
        d->cmdResetDefaults->click();
        QVERIFY(!s.bPort1IDAsCap && !s.bPort2IDAsCap && s.bPort1PPHReset && s.bPort2PPHReset);
        QVERIFY(!s.bIgnoreRFCD && !s.bInvertRFCD && !s.bInvertData && !s.bIncCapBy8 && editorsOffered());
        QCOMPARE(s.sPort1Flow + s.sPort2Flow + s.sDutyCycle + '/' + s.sMaxBatch + '/' + s.sStationID,
                 QByteArray("HWHW66/10/RELAY 7-B"));
        QCOMPARE(stored("Serial1IDAsCap") + stored("Serial2IDAsCap") + stored("Serial1Flow"), QStringLiteral("00HW"));
        QCOMPARE(t->lblIncBy8->text() + '/' + t->lblIDAsCap->text(),
                 QStringLiteral("Increment Capcodes by 8 Mode is OFF/ID As Capcode Mode is OFF for Port 1"));
        QVERIFY(d->chkCarrierDetect->isChecked() && d->optFlow1[1]->isChecked() && d->optCDPolarity[0]->isChecked());
        QCOMPARE(shown(), QStringLiteral("modified"));
        QCOMPARE(stored("StationID"), QStringLiteral("<absent>")); // written by OK only
    }

    void advancedSettingsOK_data()
    {
        QTest::addColumn<QString>("duty");
        QTest::addColumn<QString>("batch");
        QTest::addColumn<QString>("sid");   // stored when the window opens
        QTest::addColumn<QString>("typed"); // then typed over it (null: left as it is)
        QTest::addColumn<QString>("box");
        QTest::addColumn<QByteArray>("after"); // duty cycle / batch quantity / station ID
        QTest::addColumn<bool>("closes");
        const QString r7 = QStringLiteral("RELAY 7");
        const QString sidBox = QStringLiteral("Please Enter a Paging Site License Call Sign\r");
        QTest::newRow("batch above 32") << "66" << "50" << r7 << QString() << BatchCorrected << QByteArray("66/32/RELAY 7") << true;
        QTest::newRow("batch not a number") << "66" << "1a" << r7 << QString()
            << InvalidValues << QByteArray("66//RELAY 7") << false;
        QTest::newRow("duty not a number") << "6x" << "10" << r7 << QString() << InvalidValues << QByteArray("/10/RELAY 7") << false;
        QTest::newRow("an empty box empties both") << "" << "10" << r7 << QString()
            << InvalidValues << QByteArray("//RELAY 7") << false;
        // What OK lets through, Program can send: a signed 16-bit whole number, and a
        // station ID that does not read back as the encoder's own answer or a command's echo.
        QTest::newRow("duty beyond") << "99999" << "10" << r7 << QString() << InvalidValues << QByteArray("/10/RELAY 7") << false;
        QTest::newRow("duty just beyond") << "32768" << "10" << r7 << QString()
            << InvalidValues << QByteArray("/10/RELAY 7") << false;
        QTest::newRow("duty at the edge") << "32767" << "10" << r7 << QString()
            << QString() << QByteArray("32767/10/RELAY 7") << true;
        QTest::newRow("batch beyond, no management") << "0" << "40000" << r7 << QString()
            << InvalidValues << QByteArray("0//RELAY 7") << false;
        QTest::newRow("batch at the edge") << "0" << "0032767" << r7 << QString()
            << QString() << QByteArray("0/0032767/RELAY 7") << true;
        QTest::newRow("batch beyond, managed: corrected") << "66" << "40000" << r7 << QString()
            << BatchCorrected << QByteArray("66/32/RELAY 7") << true;
        // Numbers as a read gives them and Program sends them.
        QTest::newRow("signed") << "-5" << "+10" << r7 << QString() << QString() << QByteArray("-5/+10/RELAY 7") << true;
        QTest::newRow("the smallest") << "-32768" << "-32768" << r7 << QString()
            << QString() << QByteArray("-32768/-32768/RELAY 7") << true;
        QTest::newRow("signed, managed: corrected") << "+66" << "+40" << r7 << QString()
            << BatchCorrected << QByteArray("+66/32/RELAY 7") << true;
        // A call sign Program cannot send: the box gets back the one the window opened with, and
        // nothing refused is in the database. One stored so stays as it is until one is typed.
        for (const auto &[name, typed] : {std::pair{"OK", "OK"}, {"Invalid", "Invalid"}, {"a command", "Config sid W1AW"}})
            QTest::addRow("station ID %s", name) << "66" << "10" << r7 << typed << sidBox << QByteArray("66/10/RELAY 7") << false;
        QTest::newRow("station ID with a tab, stored") << "66" << "10" << "W1\tAW" << QString() << sidBox
            << QByteArray("66/10/W1\tAW") << false;
        QTest::newRow("station ID like an answer") << "66" << "10" << r7 << "OKAY INVALID"
            << QString() << QByteArray("66/10/OKAY INVALID") << true;
    }
    void advancedSettingsOK()
    {
        QFETCH(QString, duty);
        QFETCH(QString, batch);
        QFETCH(QString, sid);
        QFETCH(QString, typed);
        QFETCH(QString, box);
        QFETCH(QByteArray, after);
        QFETCH(bool, closes);
        EncoderSettings.sStationID = sid.toLatin1();
        auto *d = open<frmSettings>();
        d->txDutyCycle->setText(duty);
        d->txtBatchQty->setText(batch);
        if (!typed.isNull()) {
            d->txStationID->selectAll();
            QTest::keyClicks(d->txStationID, typed);
        }
        if (!box.isEmpty())
            noBoxes->expect(box).icon(MsgIcon::Exclamation).title(box == BatchCorrected
                                                                      ? QStringLiteral("Max Msgs per Batch Too High")
                                                                      : QStringLiteral("Invalid Values Detected"));
        d->cmdOK->click();
        QVERIFY(noBoxes->verifyAllShown());
        const EncoderConfig &s = EncoderSettings;
        QCOMPARE(s.sDutyCycle + '/' + s.sMaxBatch + '/' + s.sStationID, after);
        QCOMPARE(forms::IsLoaded<frmSettings>(), !closes);
        if (!closes)
            QCOMPARE(d->txDutyCycle->text() + '/' + d->txtBatchQty->text() + '/' + d->txStationID->text(),
                     QString::fromLatin1(after));
        QCOMPARE(stored("StationID"), closes ? QString::fromLatin1(s.sStationID) : QStringLiteral("<absent>"));
    }

    // The code in any case enables OK for good; OK does nothing once the text is no longer the
    // code, and Enter nothing before it.
    void accessCode()
    {
        Run.sPwdTarget = "advanced";
        auto *d = open<frmPassword>();
        QCOMPARE(d->windowTitle(), QStringLiteral("Access Advanced Encoder Settings"));
        QTest::keyClicks(d->txtName, QStringLiteral("kVer"));
        QTest::keyClick(d->txtName, Qt::Key_Return);
        QVERIFY(!d->cmdOK->isEnabled() && d->isVisible());
        QTest::keyClicks(d->txtName, QStringLiteral("nx"));
        QVERIFY(d->cmdOK->isEnabled());
        d->cmdOK->click();
        QVERIFY(d->isVisible() && !forms::IsLoaded<frmSettings>());
    }

    // A V7's settings button opens the access dialog, whose OK opens the advanced settings above
    // it; both close with them.
    void v7RoadFromTheToolbar()
    {
        encodertest::NoteDetected("7.2");
        bool aboveAccess = false;
        const PendingAction onPassword = WhenShown<frmPassword>([](frmPassword *p) {
            QTest::keyClicks(p->txtName, QStringLiteral("KVERN"));
            QTest::keyClick(p->txtName, Qt::Key_Return);
        });
        const PendingAction onSettings = WhenShown<frmSettings>([&](frmSettings *d) {
            aboveAccess = forms::Find<frmPassword>() && forms::Find<frmPassword>()->isVisible();
            d->cmdOK->click();
        });
        t->Toolbar1->ButtonByKey(QStringLiteral("settings"))->trigger();
        QVERIFY(aboveAccess);
        QVERIFY(!forms::IsLoaded<frmPassword>() && !forms::IsLoaded<frmSettings>());
    }

    // While a transfer runs the settings it reads or sends cannot be changed.
    void settingsWaitForTransfers()
    {
        QObject scope; // closes a dialog that should not have come, so nothing hangs
        bool opened = false;
        QTimer::singleShot(0, &scope, [&opened] {
            opened = forms::IsLoaded<frmSettings_Main>();
            forms::Unload<frmSettings_Main>();
        });
        BusyScope line(Busy::Line);
        t->Toolbar1->ButtonByKey(QStringLiteral("settings"))->trigger();
        QVERIFY(!opened && !forms::IsLoaded<frmSettings_Main>());
    }
};

QTEST_MAIN(TestSettingsDialogs)
#include "tst_settingsdialogs.moc"
