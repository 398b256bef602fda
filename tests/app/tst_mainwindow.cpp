// The main window at work: every menu item and toolbar button, the port toggle, the file
// commands with real files, New, closing, the keys, the timers and the transfer guard.
// Where the port must be open, COM 1 leads to a simulated encoder.

#include "apptest.h"

#include "support/simencoder.h"

#include "editors/frmCfgMsg.h"
#include "encoder/frmProperties.h"
#include "model/database.h"
#include "model/dbfile.h"
#include "settings/frmPassword.h"
#include "settings/frmSettings_Main.h"
#include "settings/frmTXTune.h"
#include "support/ptypair.h"
#include "support/scriptedboxes.h"
#include "testconsole/frmMessageTest.h"

#include <QAction>
#include <QComboBox>
#include <QPushButton>

namespace {
const QString kNotOpen = QStringLiteral("COM Port 1 is Not Open\rPlease Open Port and Try Again");
const QString kWriteOnClosedPort = QStringLiteral("Port not open"); // the serial layer's error
const QString kReadError = QStringLiteral("Error Reading Pager Database at\r9600,n,8,1  COM Port 1\r");
const QString kDetected = QStringLiteral("Paging Encoder Was Detected\rThe Encoder Database will Now be Read");
} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<AppTestEnv> env;
    std::unique_ptr<ScriptedBoxes> noBoxes; // any box a test does not script fails it
    std::unique_ptr<SimEncoder> encoder;

    frmTerminal *mainWindow()
    {
        frmTerminal *t = StartAndShowMainWindow<frmXJSplash>();
        if (!t || !t->isVisible())
            qFatal("the main window did not come up");
        return t;
    }

    // COM 1 leads to a pseudo-terminal, so the port opens.
    void lineOnCom1(PtyPair &pty)
    {
        QVERIFY2(pty.ok(), qPrintable(pty.error()));
        SetComDevicePathOverride(1, pty.linkPath());
    }

    // COM 1 leads to an encoder that answers at once; the program's and the encoder's times run
    // at a tenth.
    void encoderOnCom1()
    {
        SetTimeScale(0.1);
        encoder = std::make_unique<SimEncoder>(
            encsim::DeviceState::factory(9), encsim::Mode::Paging,
            std::vector<std::pair<std::string, std::string>>{
                {"pacing", "off"}, {"reply_latency_ms", "0"}, {"reboot_ms", "100"}});
        if (!encoder->ok())
            qFatal("simulated encoder: %s", qPrintable(encoder->error()));
    }

    // Opening the port finds the encoder and, the database matching, reads it without a question.
    void openFindingTheEncoder(frmTerminal *t)
    {
        ScriptedBoxes boxes;
        boxes.expect(kDetected).title(QStringLiteral("Paging Encoder Detected"));
        t->mnuOpen->trigger();
        QVERIFY(boxes.verifyAllShown());
        QVERIFY(Run.bDBMatchesEncoder);
        QVERIFY(Link().MSComm1->PortOpen());
    }

    // What the encoder received from its log entry since on.
    QByteArray receivedSince(std::size_t since)
    {
        QByteArray bytes;
        for (const encsim::Event &e : encoder->sim().events(since))
            if (e.kind == encsim::EventKind::Input)
                bytes += QByteArray::fromStdString(e.bytes);
        return bytes;
    }

    QString stored(const QString &key) { return StoredPreference(kSolvendraTitle, key); }

    // The connection controls as they stand for COM 1, open or closed.
    void expectPortControls(frmTerminal *t, bool open)
    {
        QCOMPARE(Link().MSComm1->PortOpen(), open);
        QCOMPARE(t->StatusBar1->panelText(2), open ? QStringLiteral("COM 1 Open") : QStringLiteral("COM 1 Closed"));
        QCOMPARE(t->FrontImage(), open ? t->ImgConnected : t->ImgNotConnected);
        QCOMPARE(t->mnuOpen->text(), open ? QStringLiteral("&Close Port") : QStringLiteral("&Open Port"));
        QCOMPARE(t->cmdComStatus->text(), open ? QStringLiteral("Close COM 1") : QStringLiteral("Open COM 1"));
    }

    // A database with every kind of text a file must carry: Latin-1 bytes, commas and quotes in
    // a message, a group reference, notes beyond the box's 80 characters.
    QByteArray richDatabaseFile()
    {
        DB.Families[4] = {"1", "0204800", "2", "N", "3", "250", "1000", "01", "02", ""};
        DB.PagerGroups[3] = {};
        DB.PagerGroups[3][GrpID] = "77";
        DB.PagerGroups[3][GrpActive] = "1";
        for (int i = GrpAux1Active; i <= GrpTimerMsg; ++i)
            DB.PagerGroups[3][i] = "0";
        for (int i = 0; i < GroupPagerIDs; ++i)
            DB.PagerGroups[3][GrpPagerID1 + i] = "0000";
        DB.PagerGroups[3][GrpReference] = "RF,1";
        DB.CannedMsgs[0] = "Caf\xe9 \"closed\", back at 5";
        EncoderSettings.bInvertData = true;
        EncoderSettings.sPort2Protocol = "SNPP";
        const QByteArray notes = QByteArray("Relay site, \"north\" - ").append(QByteArray(90, 'x'));
        const QByteArray content = WriteDBFile(notes);
        ResetProgramState();
        return content;
    }

private slots:
    void initTestCase() { IsolateSettingsForTestRun(); }
    void init()
    {
        env = std::make_unique<AppTestEnv>();
        noBoxes = std::make_unique<ScriptedBoxes>();
    }
    void cleanup()
    {
        encoder.reset();
        env.reset();
        noBoxes.reset();
    }

    void menuItemsReachTheirHandlers()
    {
        frmTerminal *t = mainWindow();
        {
            t->mnuOpenFile->trigger();
            QCOMPARE(env->dialogs.size(), 1);
            QCOMPARE(env->dialogs[0].title, QStringLiteral("Open Pager Database File"));
            QVERIFY(!env->dialogs[0].save);
            QVERIFY(env->dialogs[0].filter.contains(QStringLiteral("*.pg9")));
            QCOMPARE(env->dialogs[0].directory, env->programFolder());
            t->mnuSaveAs->trigger();
            QCOMPARE(env->dialogs.size(), 2);
            QCOMPARE(env->dialogs[1].title, QStringLiteral("Save Pager Database File"));
            QVERIFY(env->dialogs[1].save);
            QVERIFY(!env->dialogs[1].confirmOverwrite);
        }
        {
            ScriptedBoxes boxes;
            boxes.expect(QStringLiteral("Are You Sure You Want to Clear the Pager Database?\r"
                                        "This Action Will Not Erase the Encoder's Database"),
                         MsgAnswer::No)
                .title(QStringLiteral("Clear Pager Database"))
                .buttons(MsgButtons::YesNo)
                .icon(MsgIcon::Question)
                .defaultButton(1);
            t->mnuNewDB->trigger();
            QCOMPARE(t->StatusBar1->panelText(1), QStringLiteral("No Database Loaded"));
            QVERIFY(Run.bDBMatchesEncoder);
        }
        t->mnuPrintDB->trigger();
        QCOMPARE(env->printerDialogs, 1);
        t->mnuZQHelp->trigger();
        QCOMPARE(env->shellOpened, QStringList{env->programFile("XJSETUP.PDF")});

        CloseWhenShown<frmProperties>();
        t->mnuProperties->trigger();
        QVERIFY(!forms::IsLoaded<frmProperties>());
        t->mnuTXTune->setVisible(true);
        t->mnuTXTune->setEnabled(true);
        EncoderSettings.sModSliderVal = "31";
        WhenShown<frmTXTune>([](frmTXTune *w) { w->mnuExit_Click(); });
        t->mnuTXTune->trigger();
        QVERIFY(!forms::IsLoaded<frmTXTune>());
        QCOMPARE(stored(QStringLiteral("ModSliderVal")), QStringLiteral("31"));

        t->mnuAbout->trigger();
        QVERIFY(forms::Find<frmXJSplash>() && forms::Find<frmXJSplash>()->isVisible());
        {
            ScriptedBoxes boxes; // the question is checked in full with Escape
            boxes.expect(QStringLiteral("Are You Sure You Want to Exit"), MsgAnswer::No);
            t->mnuFileExit->trigger();
            QVERIFY(forms::IsLoaded<frmTerminal>());
            QVERIFY(!Link().bAppClosing);
        }
        {
            // The port is closed. The read's first write fails and its first query ends it; the
            // lookup's write fails and it waits its time-out.
            SetTimeScale(0.02);
            ScriptedBoxes boxes;
            boxes.expect(kNotOpen).title(QStringLiteral("COM Port Not Open")).icon(MsgIcon::Critical);
            boxes.expect(kWriteOnClosedPort).icon(MsgIcon::Exclamation);
            boxes.expect(kReadError).title(QStringLiteral("Read Error"));
            boxes.expect(kNotOpen).title(QStringLiteral("COM Port Not Open")).icon(MsgIcon::Critical);
            boxes.expect(kWriteOnClosedPort).icon(MsgIcon::Exclamation);
            t->mnuWriteDB->setEnabled(true);
            t->mnuWriteDB->trigger(); // the database matches: no question, the port check
            t->mnuReadDB->setEnabled(true);
            t->mnuReadDB->trigger();
            t->mnuSendMsg->setEnabled(true);
            t->mnuSendMsg->trigger();
            QVERIFY(!Run.bDBBusy());
            t->cmdLookup->setEnabled(true);
            t->cmdLookup->click();
            QCOMPARE(t->lblLookup->text(), QStringLiteral("Response: "));
            QVERIFY(boxes.verifyAllShown());
        }
        // No device behind COM 1: each port control reports it and the port stays closed.
        {
            ScriptedBoxes boxes;
            for (int i = 0; i < 4; ++i)
                boxes.expect(QString()).icon(MsgIcon::Exclamation).buttons(MsgButtons::OK);
            t->mnuOpen->trigger();
            t->cmdComStatus->click();
            QTest::mouseClick(t->ImgNotConnected, Qt::LeftButton);
            t->BringToFront(t->ImgConnected);
            QTest::mouseClick(t->ImgConnected, Qt::LeftButton);
            QVERIFY(boxes.verifyAllShown());
            expectPortControls(t, false);
        }
    }

    void toolbarButtonsReachTheirHandlers()
    {
        frmTerminal *t = mainWindow();
        t->Toolbar1->Buttons(2)->trigger();
        QVERIFY(forms::Find<frmCfgFam>() && forms::Find<frmCfgFam>()->isVisible());
        t->Toolbar1->Buttons(3)->trigger();
        QVERIFY(forms::Find<frmCfgGroup>() && forms::Find<frmCfgGroup>()->isVisible());
        t->Toolbar1->Buttons(4)->trigger();
        QVERIFY(forms::Find<frmCfgMsg>() && forms::Find<frmCfgMsg>()->isVisible());
        frmCfgFam *fam = forms::Find<frmCfgFam>();
        t->Toolbar1->Buttons(2)->trigger();
        QCOMPARE(forms::Find<frmCfgFam>(), fam); // each editor exists once

        CloseWhenShown<frmSettings_Main>();
        t->Toolbar1->Buttons(5)->trigger();
        QVERIFY(!forms::IsLoaded<frmSettings_Main>());
        Run.bV7Encoder = true;
        CloseWhenShown<frmPassword>();
        t->Toolbar1->Buttons(5)->trigger();
        QCOMPARE(Run.sPwdTarget, QByteArray("advanced"));
        QVERIFY(!forms::IsLoaded<frmPassword>());
        QVERIFY(!forms::IsLoaded<frmSettings_Main>());

        for (int position = 6; position <= 8; ++position)
            t->Toolbar1->Buttons(position)->setEnabled(true);
        {
            // The port is closed; the read goes last, as a failed read leaves the toolbar
            // disabled and the database marked as not matching.
            ScriptedBoxes boxes;
            boxes.expect(kNotOpen).title(QStringLiteral("COM Port Not Open"));
            boxes.expect(kNotOpen).title(QStringLiteral("COM Port Not Open"));
            boxes.expect(kWriteOnClosedPort);
            boxes.expect(kReadError).title(QStringLiteral("Read Error"));
            t->Toolbar1->Buttons(6)->trigger();
            t->Toolbar1->Buttons(8)->trigger();
            t->Toolbar1->Buttons(7)->trigger();
            QVERIFY(boxes.verifyAllShown());
        }
        {
            // While the database does not match, reading asks first; No does nothing.
            QVERIFY(!Run.bDBMatchesEncoder);
            t->Toolbar1->Buttons(7)->setEnabled(true);
            ScriptedBoxes boxes;
            boxes.expect(QStringLiteral("You are About to Read the Encoder and Replace the Current "
                                        "Configuration\rAre You Sure?"),
                         MsgAnswer::No)
                .title(QStringLiteral("Read Encoder?"))
                .icon(MsgIcon::Question);
            t->Toolbar1->Buttons(7)->trigger();
            t->Toolbar1_ButtonClick(QStringLiteral("Sequence")); // keys are exact
            t->Toolbar1_ButtonClick(QStringLiteral("bogus"));
            QVERIFY(boxes.verifyAllShown());
        }
    }

    void portToggleDrivesTheConnectionControls()
    {
        encoderOnCom1();
        frmTerminal *t = mainWindow();
        openFindingTheEncoder(t);
        expectPortControls(t, true);
        const auto transferControls = [t] {
            return QList<bool>{t->Toolbar1->Buttons(6)->isEnabled(), t->Toolbar1->Buttons(7)->isEnabled(),
                               t->Toolbar1->Buttons(8)->isEnabled(), t->cmdLookup->isEnabled(),
                               t->mnuSendMsg->isEnabled()};
        };
        QCOMPARE(transferControls(), QList<bool>(5, true));
        QCOMPARE(Link().Timer2->Interval(), 6000); // the detection put back the interval it found

        QTest::mouseClick(t->ImgConnected, Qt::LeftButton);
        expectPortControls(t, false);
        QCOMPARE(transferControls(), QList<bool>(5, false));
        QVERIFY(!t->mnuTest->isEnabled());
        QVERIFY(t->cmdComStatus->isEnabled());
        QCOMPARE(Link().Timer2->Interval(), 8000);

        // Opened while the database does not match (the read declined): no test button, no lookup.
        Run.bDBMatchesEncoder = false;
        ScriptedBoxes boxes;
        boxes.expect(kDetected);
        boxes.expect(QStringLiteral("You are About to Read the Encoder"), MsgAnswer::No)
            .title(QStringLiteral("Read Encoder?"));
        t->cmdComStatus->click();
        QVERIFY(boxes.verifyAllShown());
        QVERIFY(Link().MSComm1->PortOpen());
        QVERIFY(t->Toolbar1->Buttons(6)->isEnabled());
        QVERIFY(!t->Toolbar1->Buttons(8)->isEnabled());
        QVERIFY(!t->cmdLookup->isEnabled());
    }

    // The properties dialog offers the ports that open, shows the stored line settings, and
    // applies and keeps the choice; the port is closed first and stays closed.
    void portPropertiesDialog()
    {
        encoderOnCom1();
        PtyPair three;
        QVERIFY(three.ok());
        SetComDevicePathOverride(3, three.linkPath());
        frmTerminal *t = mainWindow();
        SaveSetting(kSolvendraTitle, QStringLiteral("Properties"), QStringLiteral("Settings"),
                    QStringLiteral("2400,e,7,1.5"));
        openFindingTheEncoder(t);

        QStringList ports;
        QString speed, parity, bits;
        WhenShown<frmProperties>([&](frmProperties *d) {
            for (int i = 0; i < d->cboPort->count(); ++i)
                ports << d->cboPort->itemText(i);
            speed = d->cboSpeed->currentText();
            parity = d->cboParity->currentText();
            bits = d->cboDataBits->currentText();
            d->cboPort->setCurrentText(QStringLiteral("Com3"));
            d->cmdOK->click();
        });
        t->mnuProperties->trigger();
        QCOMPARE(ports, QStringList({"Com1", "Com3"}));
        QCOMPARE(speed, QStringLiteral("2400"));
        QCOMPARE(parity, QStringLiteral("Even"));
        QCOMPARE(bits, QStringLiteral("7"));
        QVERIFY(!forms::IsLoaded<frmProperties>());
        QVERIFY(!Link().MSComm1->PortOpen());
        QCOMPARE(t->cmdComStatus->text(), QStringLiteral("Open COM 3"));
        QCOMPARE(Link().MSComm1->CommPort(), 3);
        QCOMPARE(Run.iCommPort, int16_t(3));
        QCOMPARE(t->ImgNotConnected->toolTip(), QStringLiteral(" Enable COM 3 "));
        QCOMPARE(t->ImgConnected->toolTip(), QStringLiteral(" Disable COM 3 "));
        QVERIFY(!t->mnuReadDB->isEnabled());
        QCOMPARE(stored(QStringLiteral("CommPort")), QStringLiteral("3"));
        QCOMPARE(stored(QStringLiteral("Settings")).toLower(), QStringLiteral("2400,e,7,1"));

        // No port to offer: OK reports the error and the dialog stays; Cancel changes nothing.
        for (int n = 1; n <= 8; ++n)
            SetComDevicePathOverride(n, QStringLiteral("/nonexistent-pagersetup/tty%1").arg(n));
        ScriptedBoxes boxes;
        boxes.expect(QString()).icon(MsgIcon::Exclamation);
        bool stayedOpen = false;
        WhenShown<frmProperties>([&](frmProperties *d) {
            d->cmdOK->click();
            stayedOpen = forms::IsLoaded<frmProperties>() && d->isVisible();
            d->cmdCancel->click();
        });
        t->mnuProperties->trigger();
        QVERIFY(stayedOpen);
        QVERIFY(!forms::IsLoaded<frmProperties>());
        QCOMPARE(Link().MSComm1->CommPort(), 3);
        QCOMPARE(stored(QStringLiteral("CommPort")), QStringLiteral("3"));
    }

    void newClearsTheDatabaseOnly()
    {
        frmTerminal *t = mainWindow();
        DB.Families[0][FamActive] = "1";
        DB.Families[0][FamDefined] = "YES";
        DB.PagerGroups[2][GrpID] = "55";
        DB.PagerGroups[2][GrpDefined] = "YES";
        DB.PagerGroups[2][GrpReference] = "LOBB";
        DB.CannedMsgs[3] = "FIRE DRILL";
        EncoderSettings.sDutyCycle = "50";
        Run.sDBFileName = "keep.pg9";
        t->txtConfigNotes->setText(QStringLiteral("keep these notes"));
        ScriptedBoxes boxes;
        boxes.expect(QStringLiteral("Clear the Pager Database"), MsgAnswer::Yes);
        t->mnuNewDB->trigger();
        const FamilyRec newFamily = {"0", "0000000", "5", "A", "3", "000", "0000", "00", "00", ""};
        for (const FamilyRec &fam : DB.Families)
            QCOMPARE(fam, newFamily);
        QCOMPARE(DB.PagerGroups[2][GrpID], QByteArray("0000"));
        QCOMPARE(DB.PagerGroups[2][GrpPagerID1 + 19], QByteArray("0000"));
        QVERIFY(DB.PagerGroups[2][GrpDefined].isEmpty());
        QCOMPARE(DB.PagerGroups[2][GrpReference], QByteArray("LOBB"));
        QVERIFY(DB.CannedMsgs[3].isEmpty());
        QCOMPARE(EncoderSettings.sDutyCycle, QByteArray("50"));
        QCOMPARE(Run.sDBFileName, QByteArray("keep.pg9"));
        QCOMPARE(t->txtConfigNotes->text(), QStringLiteral("keep these notes"));
        QCOMPARE(t->StatusBar1->panelText(1),
                 QStringLiteral("New Configuration, Does Not Match Encoder"));
        QVERIFY(!Run.bDBMatchesEncoder);
        QVERIFY(!HourglassShown());
    }

    // Open, Save and Save As with real files; every byte survives, the file last opened or
    // saved is the one Save writes, and the dialogs leave the current folder alone.
    void fileCommandsRoundTrip()
    {
        const QByteArray content = richDatabaseFile();
        QTemporaryDir site;
        const QString original = site.filePath("site.pg9");
        WriteFile(original, content);
        frmTerminal *t = mainWindow();
        const QString programFolder = QDir::currentPath();

        env->dialogAnswers.push_back(original);
        t->mnuOpenFile->trigger();
        QCOMPARE(t->StatusBar1->panelText(1),
                 QStringLiteral("Loaded File: site.pg9, Doesn't Match Encoder"));
        QCOMPARE(Run.sDBFileName, QByteArray("site.pg9"));
        QCOMPARE(stored(QStringLiteral("LastFile")), original);
        QVERIFY(t->mnuSave->isEnabled());
        QVERIFY(!Run.bDBMatchesEncoder && !Run.bDBBusy());
        QVERIFY(!t->cmdLookup->isEnabled() && !t->mnuSendMsg->isEnabled());
        QVERIFY(!t->Toolbar1->Buttons(8)->isEnabled());
        QCOMPARE(QDir::currentPath(), programFolder);
        QCOMPARE(DB.CannedMsgs[0], QByteArray("Caf\xe9 \"closed\", back at 5"));
        QCOMPARE(t->txtConfigNotes->text().size(), 112); // longer than the box lets one type
        QCOMPARE(DB.PagerGroups[3][GrpReference], QByteArray("RF,1"));

        // Save writes the opened file where it is, not a file of that name here.
        QFile::remove(original);
        t->mnuSave->trigger();
        QCOMPARE(ReadFile(original), content);
        QVERIFY(!QFile::exists(env->programFile("site.pg9")));
        QCOMPARE(t->StatusBar1->panelText(1),
                 QStringLiteral("Saved Database to File: site.pg9, Doesn't Match Encoder"));
        QCOMPARE(QDir::currentPath(), programFolder);

        // Save As starts at the current file and adds the extension a typed name lacks.
        env->dialogAnswers.push_back(site.filePath("copy"));
        t->mnuSaveAs->trigger();
        QCOMPARE(env->dialogs.last().directory, site.path());
        QCOMPARE(env->dialogs.last().defaultName, QStringLiteral("site.pg9"));
        const QString copy = site.filePath("copy.pg9");
        QCOMPARE(ReadFile(copy), content);
        QCOMPARE(Run.sDBFileName, QByteArray("copy.pg9"));
        QCOMPARE(stored(QStringLiteral("LastFile")), copy);
        QCOMPARE(t->StatusBar1->panelText(1),
                 QStringLiteral("Saved Database to File: copy.pg9, Doesn't Match Encoder"));

        // Save As onto an existing file replaces it without a question.
        const QString existing = site.filePath("old.pg9");
        WriteFile(existing, "something else entirely\r\n");
        env->dialogAnswers.push_back(existing);
        t->mnuSaveAs->trigger();
        QCOMPARE(ReadFile(existing), content);
        QCOMPARE(QDir(site.path()).entryList(QDir::Files).size(), 3); // no temporary left over

        // A file saved while the database matches says so.
        Run.bDBMatchesEncoder = true;
        t->mnuSave->trigger();
        QCOMPARE(t->StatusBar1->panelText(1),
                 QStringLiteral("Saved Database to File: old.pg9, Matches Encoder"));
    }

    // A file that cannot be opened or read changes nothing and is reported once.
    void fileErrorsAreReportedAndChangeNothing()
    {
        const QByteArray content = richDatabaseFile();
        QTemporaryDir site;
        const QString original = site.filePath("site.pg9");
        WriteFile(original, content);
        frmTerminal *t = mainWindow();
        env->dialogAnswers.push_back(original);
        t->mnuOpenFile->trigger();
        const QString status = t->StatusBar1->panelText(1);

        ScriptedBoxes boxes;
        boxes.expect(QString()).icon(MsgIcon::Exclamation).title(kSolvendraTitle); // missing
        boxes.expect(QString()).icon(MsgIcon::Exclamation).title(kSolvendraTitle); // unreadable
        env->dialogAnswers.push_back(site.filePath("no such file.pg9"));
        t->mnuOpenFile->trigger();
        env->dialogAnswers.push_back(QStringLiteral("/proc/self/mem")); // opens, then fails to read
        t->mnuOpenFile->trigger();
        QVERIFY(boxes.verifyAllShown());
        QCOMPARE(Run.sDBFileName, QByteArray("site.pg9"));
        QCOMPARE(Run.sDBFilePath, original);
        QCOMPARE(stored(QStringLiteral("LastFile")), original);
        QCOMPARE(t->StatusBar1->panelText(1), status);
        QCOMPARE(DB.Families[4][FamStartCap], QByteArray("0204800"));
        QVERIFY(!Run.bDBBusy());
        QVERIFY(!HourglassShown());

        // A failed write shows the box and no success text.
        boxes.reset();
        boxes.expect(QString()).icon(MsgIcon::Exclamation);
        env->dialogAnswers.push_back(site.filePath("missing folder/out.pg9"));
        t->mnuSaveAs->trigger();
        QVERIFY(boxes.verifyAllShown());
        QCOMPARE(t->StatusBar1->panelText(1), status);

        // After a failed families or groups check, Save and Save As do nothing at all.
        Run.bDBCheckOK = false;
        const int dialogs = env->dialogs.size();
        t->mnuSave->trigger();
        t->mnuSaveAs->trigger();
        QCOMPARE(env->dialogs.size(), dialogs);
        QCOMPARE(t->StatusBar1->panelText(1), status);
    }

    // While a transfer runs, the commands that would start another do nothing.
    void aRunningTransferKeepsTheOthersOut()
    {
        frmTerminal *t = mainWindow();
        Run.bDBMatchesEncoder = false;
        for (QAction *a : {t->mnuReadDB, t->mnuWriteDB, t->mnuSendMsg, t->Toolbar1->Buttons(6),
                           t->Toolbar1->Buttons(7), t->Toolbar1->Buttons(8)})
            a->setEnabled(true);
        t->cmdLookup->setEnabled(true);
        {
            BusyScope running(Busy::Line, BusyScope::WhenIdle);
            QVERIFY(running);
            t->mnuOpen->trigger();
            t->cmdComStatus->click();
            QTest::mouseClick(t->ImgNotConnected, Qt::LeftButton);
            t->mnuProperties->trigger();
            t->mnuReadDB->trigger();
            t->mnuWriteDB->trigger();
            t->mnuSendMsg->trigger();
            t->cmdLookup->click();
            for (int position = 6; position <= 8; ++position)
                t->Toolbar1->Buttons(position)->trigger();
            QVERIFY(!forms::IsLoaded<frmProperties>());
            // The database belongs to the running transfer: Open and New leave it alone
            // (no question, no file dialog).
            const int dialogs = env->dialogs.size();
            t->mnuOpenFile->trigger();
            t->mnuNewDB->trigger();
            QCOMPARE(env->dialogs.size(), dialogs);
        }
        QVERIFY(!Run.TransferRunning());
        ScriptedBoxes boxes;
        boxes.expect(kNotOpen);
        t->mnuSendMsg->trigger();
    }

    // The test console holds the guard while it is open; closing the program from inside it
    // takes the encoder out of programming mode and ends every window without a crash.
    void closingWhileTheConsoleIsOpen()
    {
        encoderOnCom1();
        QPointer<frmTerminal> t = mainWindow();
        openFindingTheEncoder(t);
        const std::size_t mark = encoder->sim().eventCount();

        ScriptedBoxes boxes;
        boxes.expect(QStringLiteral("Are You Sure You Want to Exit"), MsgAnswer::Yes);
        boxes.expect(QString()).icon(MsgIcon::Exclamation); // "#PrgmMode#" on the closed port
        bool portStayedOpen = false;
        bool consoleWasUp = false;
        WhenShown<frmMessageTest>([&](frmMessageTest *) {
            consoleWasUp = true;
            t->mnuOpen->trigger(); // a second transfer: ignored
            t->cmdLookup->click();
            portStayedOpen = Link().MSComm1->PortOpen();
            t->close();
        });
        t->Toolbar1->Buttons(8)->trigger();
        QVERIFY(consoleWasUp);
        QVERIFY(portStayedOpen);
        QVERIFY(boxes.verifyAllShown());
        QVERIFY(Link().bAppClosing);
        QVERIFY(!forms::IsLoaded<frmTerminal>());
        QVERIFY(!forms::IsLoaded<frmMessageTest>());
        QVERIFY(!Run.TransferRunning());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(t.isNull());
        QTRY_VERIFY_WITH_TIMEOUT(receivedSince(mark).contains("ATI\r"), 2000);
        const QByteArray sent = receivedSince(mark);
        QVERIFY2(sent.startsWith("config reboot\r"), sent.constData());
    }

    void programCommandAndTheTestMenu()
    {
        encoderOnCom1();
        frmTerminal *t = mainWindow();
        openFindingTheEncoder(t);
        // The encoder leaves the last record unanswered: the write ends with its error box.
        QVERIFY(encoder->sim().setKnob("drop_reply", "\"write:M 15\""));
        Run.bDBMatchesEncoder = false;
        t->mnuTest->setEnabled(false);
        t->mnuWriteDB->setEnabled(true);
        Link().Timer1->setInterval(1234);
        bool toolbarOffAtTheBox = true;
        ScriptedBoxes boxes;
        boxes.expect(QStringLiteral("You are About to Program the Encoder with the Current "
                                    "Configuration\rAre You Sure?"),
                     MsgAnswer::No)
            .title(QStringLiteral("Program Encoder?"));
        boxes.expect(QStringLiteral("Program the Encoder"), MsgAnswer::Yes);
        boxes.expect(QStringLiteral("Error Writing Pager Database at\r9600,n,8,1  COM Port 1\r"))
            .title(QStringLiteral("Write Error"))
            .then([t, &toolbarOffAtTheBox] {
                for (int position = 1; position <= 8; ++position)
                    toolbarOffAtTheBox = toolbarOffAtTheBox && !t->Toolbar1->Buttons(position)->isEnabled();
                Link().Timer1->setInterval(1);
            });
        t->mnuWriteDB->trigger();
        QVERIFY(toolbarOffAtTheBox);
        QVERIFY(t->mnuTest->isEnabled()); // also after No
        t->mnuTest->setEnabled(false);
        t->Toolbar1->Buttons(6)->trigger();
        QVERIFY(t->mnuTest->isEnabled());
        for (int position = 2; position <= 8; ++position)
            QVERIFY(t->Toolbar1->Buttons(position)->isEnabled());
        QCOMPARE(Link().Timer1->Interval(), 1234);
        QVERIFY(!Run.bDBBusy());
    }

    void transmitterTuningLeavesTheTestMenuWithThePort()
    {
        encoderOnCom1();
        frmTerminal *t = mainWindow();
        t->mnuTXTune->setVisible(true);
        t->mnuTXTune->setEnabled(true);
        CloseWhenShown<frmTXTune>();
        t->mnuTXTune->trigger();
        QVERIFY(!t->mnuTest->isEnabled());
        openFindingTheEncoder(t);
        t->mnuTest->setEnabled(false);
        CloseWhenShown<frmTXTune>();
        t->mnuTXTune->trigger();
        QVERIFY(t->mnuTest->isEnabled());
    }

    void escapeAsksBeforeClosing()
    {
        PtyPair pty;
        lineOnCom1(pty);
        frmTerminal *t = mainWindow();
        t->txLookup->setFocus();
        {
            ScriptedBoxes boxes;
            boxes.expect(QStringLiteral("Are You Sure You Want to Exit Solvendra Paging Encoder "
                                        "Setup?"),
                         MsgAnswer::No)
                .title(QStringLiteral("Exit Solvendra Paging Encoder Setup"))
                .icon(MsgIcon::Question)
                .buttons(MsgButtons::YesNo);
            QTest::keyClick(t->txLookup, Qt::Key_Escape);
            QVERIFY(boxes.verifyAllShown());
            QVERIFY(forms::IsLoaded<frmTerminal>());
            QVERIFY(t->isVisible());
            QVERIFY(!Link().bAppClosing);
        }
        t->mnuAbout->trigger();
        Run.bDBMatchesEncoder = false;
        ScriptedBoxes boxes;
        boxes.expect(QStringLiteral("You Have Not Programmed the Encoder with Your Current Edits\r"
                                    "Are You Sure You Want to Exit Paging Encoder Setup?"),
                     MsgAnswer::Yes)
            .title(QStringLiteral("Exit Solvendra Paging Encoder Setup"))
            .icon(MsgIcon::Exclamation);
        QTest::keyClick(t->txtConfigNotes, Qt::Key_Escape);
        QVERIFY(!forms::IsLoaded<frmTerminal>());
        QVERIFY(!forms::IsLoaded<frmXJSplash>()); // the About window goes with it
        QVERIFY(Link().bAppClosing);
        // The port was closed: it is opened just to take the encoder out of programming mode.
        QCOMPARE(pty.readUntilQuiet(30, 1000), QByteArray("config reboot\r"));
    }

    void closingAsksTheEditors()
    {
        frmTerminal *t = mainWindow();
        t->Toolbar1->Buttons(2)->trigger();
        t->Toolbar1->Buttons(3)->trigger();
        frmCfgFam::bIncompleteRecord = true;
        frmCfgGroup::bIncompleteRecord = true;
        DB.PagerGroups[0][GrpID] = "12";
        DB.PagerGroups[0][GrpDefined] = "YES";
        DB.PagerGroups[1][GrpID] = "13";
        DB.PagerGroups[1][GrpReference] = "ABCD";
        ScriptedBoxes boxes;
        boxes.expect(QStringLiteral("Are You Sure You Want to Exit"), MsgAnswer::Yes);
        boxes.expect(QStringLiteral("Pager Group Definition is Incomplete\rAs Shown by Magenta "
                                    "Fields\rAre You Sure You Want to Exit?"),
                     MsgAnswer::Yes)
            .title(QStringLiteral("Incomplete Database Definition"));
        boxes.expect(QStringLiteral("Pager Families Definition is Incomplete\rAs Shown by "
                                    "Magenta Fields.\rIncomplete Records Will be Erased.\rAre You "
                                    "Sure You Want to Exit?"),
                     MsgAnswer::No)
            .title(QStringLiteral("Incomplete Database Definition"))
            .icon(MsgIcon::Question);
        t->close();
        QVERIFY(boxes.verifyAllShown());
        QVERIFY(!forms::IsLoaded<frmTerminal>());
        QVERIFY(!forms::IsLoaded<frmCfgGroup>());
        frmCfgFam *fam = forms::Find<frmCfgFam>();
        QVERIFY(fam && fam->isVisible()); // No keeps it, after the main window has gone
        QCOMPARE(DB.PagerGroups[0][GrpID], QByteArray("12"));
        QCOMPARE(DB.PagerGroups[1][GrpID], QByteArray("0000"));
        QVERIFY(DB.PagerGroups[1][GrpReference].isEmpty());
        fam->close(); // the flag was cleared when it asked
        QVERIFY(!forms::IsLoaded<frmCfgFam>());
    }

    void f1OpensTheManualWhateverHasTheFocus()
    {
        frmTerminal *t = mainWindow();
        t->txtConfigNotes->setText(QStringLiteral("abc"));
        QTest::keyClick(t->txtConfigNotes, Qt::Key_F1, Qt::ShiftModifier);
        QTest::keyClick(t->txLookup, Qt::Key_F1);
        QCOMPARE(env->shellOpened,
                 QStringList({env->programFile("XJSETUP.PDF"), env->programFile("XJSETUP.PDF")}));
        QCOMPARE(t->txtConfigNotes->text(), QStringLiteral("abc"));
    }

    void timersRaiseTheirFlagOncePerArming()
    {
        mainWindow();
        QCOMPARE(Link().Timer1->Interval(), 1000);
        QCOMPARE(Link().Timer2->Interval(), 6000);
        QVERIFY(!Link().Timer1->Enabled());
        QVERIFY(!Link().Timer2->Enabled());
        for (auto [timer, flag] : {std::pair{Link().Timer1, &Link().bTimer1Expired}, {Link().Timer2, &Link().bRespTimeout}}) {
            *flag = false;
            timer->setInterval(10);
            timer->setEnabled(true);
            QTRY_VERIFY_WITH_TIMEOUT(*flag, 2000);
            QVERIFY(!timer->Enabled());
            *flag = false;
            QTest::qWait(60);
            QVERIFY(!*flag);
            QCOMPARE(timer->Interval(), 10); // the interval stays as its last user left it
        }
    }

    void printingGoesToThePrinterTheDialogChose()
    {
        QTemporaryDir out;
        const QString pdf = out.filePath("listing.pdf");
        SetPrinterDialogHook([pdf](QPrinter &printer) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(pdf);
            return true;
        });
        frmTerminal *t = mainWindow();
        DB.Families[0] = {"1", "0001000", "5", "A", "3", "005", "0100", "00", "00", "YES"};
        t->mnuPrintDB->trigger();
        QVERIFY(QFileInfo(pdf).size() > 1000);
        QVERIFY(!HourglassShown());
    }

    void notesBoxTakesOneLineOfLatin1()
    {
        frmTerminal *t = mainWindow();
        NotesBox *notes = t->txtConfigNotes;
        QCOMPARE(notes->maxLength(), 80);
        notes->insert(QStringLiteral("one\rtwo\nthree"));
        QCOMPARE(notes->text(), QStringLiteral("one two three"));
        notes->insert(QStringLiteral("\u20ac"));
        QCOMPARE(notes->text(), QStringLiteral("one two three"));
        notes->clear();
        QTest::keyClicks(notes, QString(90, QLatin1Char('y')));
        QCOMPARE(notes->text().size(), 80);
        notes->setNotes(QByteArray(100, 'z'));
        QCOMPARE(notes->notes(), QByteArray(100, 'z'));
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
