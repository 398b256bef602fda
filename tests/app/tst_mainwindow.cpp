// The main window at work: every menu item and toolbar button, the port toggle, the file
// commands with real files, New, closing, the keys, the timers and the transfer guard.
// Where the port must be open, COM 1 leads to a simulated encoder.

#include "apptest.h"

#include "support/simencoder.h"

#include "editors/frmCfgMsg.h"
#include "encoder/frmProperties.h"
#include "model/database.h"
#include "model/dbfile.h"
#include "platform/files.h"
#include "settings/frmPassword.h"
#include "settings/frmSettings_Main.h"
#include "settings/frmTXTune.h"
#include "support/detected.h"
#include "support/linktestaccess.h"
#include "support/ptypair.h"
#include "support/scriptedboxes.h"
#include "testconsole/frmMessageTest.h"

#include <QAction>
#include <QPushButton>

#include <sys/stat.h>

namespace {
const QString kNotOpen = QStringLiteral("COM Port 1 is Not Open\rPlease Open Port and Try Again");
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
        boxes.expect(QStringLiteral("Paging Encoder Was Detected\rThe Encoder Database will Now be Read"))
            .title(QStringLiteral("Paging Encoder Detected"));
        t->mnuOpen->trigger();
        QVERIFY(boxes.verifyAllShown());
        QVERIFY(Run.bDBMatchesEncoder);
        QVERIFY(Link().isOpen());
    }

    QString stored(const QString &key) { return StoredPreference(kSolvendraTitle, key); }

    // The connection controls as they stand for COM 1, open or closed.
    void expectPortControls(frmTerminal *t, bool open)
    {
        QCOMPARE(Link().isOpen(), open);
        QCOMPARE(t->StatusBar1->panelText(2), open ? QStringLiteral("COM 1 Open") : QStringLiteral("COM 1 Closed"));
        QCOMPARE(t->FrontImage(), open ? t->ImgConnected : t->ImgNotConnected);
        QCOMPARE(t->mnuOpen->text(), open ? QStringLiteral("&Close Port") : QStringLiteral("&Open Port"));
        QCOMPARE(t->cmdComStatus->text(), open ? QStringLiteral("Close COM 1") : QStringLiteral("Open COM 1"));
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

    // Each menu item reaches its handler. Nothing is behind COM 1: the transfers, the properties
    // dialog and every port control say so, and the port stays closed.
    void menuItemsReachTheirHandlers()
    {
        frmTerminal *t = mainWindow();
        // Help and F1 open the manual, whatever has the focus; F1 types nothing.
        t->txtConfigNotes->setText(QStringLiteral("abc"));
        t->mnuZQHelp->trigger();
        QTest::keyClick(t->txtConfigNotes, Qt::Key_F1, Qt::ShiftModifier);
        QTest::keyClick(t->txLookup, Qt::Key_F1);
        QCOMPARE(env->shellOpened, QStringList(3, env->programFile("XJSETUP.PDF")));
        QCOMPARE(t->txtConfigNotes->text(), QStringLiteral("abc"));

        // No port to offer: OK in the properties reports it and the dialog stays.
        bool stayedOpen = false;
        {
            ScriptedBoxes boxes;
            boxes.expect(QString()).icon(MsgIcon::Exclamation);
            const PendingAction onProperties = WhenShown<frmProperties>([&](frmProperties *d) {
                d->cmdOK->click();
                stayedOpen = d->isVisible();
                d->cmdCancel->click();
            });
            t->mnuProperties->trigger();
            QVERIFY(boxes.verifyAllShown());
        }
        QVERIFY(stayedOpen);
        QVERIFY(!forms::IsLoaded<frmProperties>());

        // Transmitter tuning keeps its slider; with the port closed the Test menu goes.
        t->mnuTXTune->setVisible(true);
        t->mnuTXTune->setEnabled(true);
        t->mnuTest->setEnabled(true);
        EncoderSettings.sModSliderVal = "31";
        const PendingAction onTXTune = WhenShown<frmTXTune>([](frmTXTune *w) { w->mnuExit_Click(); });
        t->mnuTXTune->trigger();
        QVERIFY(!forms::IsLoaded<frmTXTune>());
        QVERIFY(!t->mnuTest->isEnabled());
        QCOMPARE(stored(QStringLiteral("ModSliderVal")), QStringLiteral("31"));

        {
            // The read's first write fails and its first query ends it.
            SetTimeScale(0.02);
            ScriptedBoxes boxes;
            boxes.expect(kNotOpen).title(QStringLiteral("COM Port Not Open")).icon(MsgIcon::Critical);
            boxes.expect(QStringLiteral("Port not open")).icon(MsgIcon::Exclamation); // the serial layer's
            boxes.expect(QStringLiteral("Error Reading Pager Database at\r9600,n,8,1  COM Port 1\r"))
                .title(QStringLiteral("Read Error"));
            boxes.expect(kNotOpen).title(QStringLiteral("COM Port Not Open")).icon(MsgIcon::Critical);
            for (QAction *a : {t->mnuWriteDB, t->mnuReadDB, t->mnuSendMsg}) {
                a->setEnabled(true);
                a->trigger(); // the database matches: programming asks nothing
            }
            QVERIFY(boxes.verifyAllShown());
            QVERIFY(!Run.bDBBusy());
        }
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

        const PendingAction closeSettings_Main = CloseWhenShown<frmSettings_Main>();
        t->Toolbar1->Buttons(5)->trigger();
        QVERIFY(!forms::IsLoaded<frmSettings_Main>());
        encodertest::NoteDetected("7.2");
        const PendingAction closePassword = CloseWhenShown<frmPassword>();
        t->Toolbar1->Buttons(5)->trigger();
        QCOMPARE(Run.sPwdTarget, QByteArray("advanced"));
        QVERIFY(!forms::IsLoaded<frmPassword>());
        QVERIFY(!forms::IsLoaded<frmSettings_Main>());

        // The port is closed and the database does not match: programming and reading ask
        // first, the test console finds the port closed.
        Run.bDBMatchesEncoder = false;
        ScriptedBoxes boxes;
        boxes.expect(QStringLiteral("You are About to Program the Encoder"), MsgAnswer::No);
        boxes.expect(QStringLiteral("You are About to Read the Encoder and Replace the Current "
                                    "Configuration\rAre You Sure?"),
                     MsgAnswer::No)
            .title(QStringLiteral("Read Encoder?"))
            .icon(MsgIcon::Question);
        boxes.expect(kNotOpen).title(QStringLiteral("COM Port Not Open"));
        for (int position = 6; position <= 8; ++position) {
            t->Toolbar1->Buttons(position)->setEnabled(true);
            t->Toolbar1->Buttons(position)->trigger();
        }
        QVERIFY(boxes.verifyAllShown());
    }

    // New asks first; Yes clears the database and keeps the notes and the file name.
    void newClearsTheDatabaseOnly()
    {
        frmTerminal *t = mainWindow();
        DB.Families[0][FamActive] = "1";
        Run.sDBFileName = "keep.pg9";
        t->txtConfigNotes->setText(QStringLiteral("keep these notes"));
        ScriptedBoxes boxes;
        boxes.expect(QStringLiteral("Are You Sure You Want to Clear the Pager Database?\r"
                                    "This Action Will Not Erase the Encoder's Database"),
                     MsgAnswer::No)
            .title(QStringLiteral("Clear Pager Database"))
            .buttons(MsgButtons::YesNo)
            .icon(MsgIcon::Question)
            .defaultButton(1);
        boxes.expect(QStringLiteral("Clear the Pager Database"), MsgAnswer::Yes);
        t->mnuNewDB->trigger();
        QCOMPARE(DB.Families[0][FamActive], QByteArray("1"));
        QVERIFY(Run.bDBMatchesEncoder);

        t->mnuNewDB->trigger();
        QVERIFY(boxes.verifyAllShown());
        QCOMPARE(DB.Families[0][FamActive], QByteArray("0"));
        QCOMPARE(Run.sDBFileName, QByteArray("keep.pg9"));
        QCOMPARE(t->txtConfigNotes->text(), QStringLiteral("keep these notes"));
        QCOMPARE(t->StatusBar1->panelText(1), QStringLiteral("New Configuration, Does Not Match Encoder"));
        QVERIFY(!Run.bDBMatchesEncoder);
        QVERIFY(!HourglassShown());
    }

    // Open, Save and Save As with real files; every byte survives, the file last opened or
    // saved is the one Save writes, and the dialogs leave the current folder alone. A file that
    // cannot be opened, read or written is reported once and changes nothing; after a failed
    // families or groups check, Save and Save As do nothing at all.
    void fileCommands()
    {
        // A message in Latin-1 with commas and quotes, notes beyond the box's 80 characters.
        DB.Families[4] = {"1", "0204800", "2", "N", "3", "250", "1000", "01", "02", ""};
        DB.CannedMsgs[0] = "Caf\xe9 \"closed\", back at 5";
        const QByteArray content = WriteDBFile(QByteArray("Relay site, \"north\" - ").append(QByteArray(90, 'x')));
        ResetProgramState();
        QTemporaryDir site;
        const QString original = site.filePath("site.pg9");
        WriteFile(original, content);
        frmTerminal *t = mainWindow();
        const QString programFolder = QDir::currentPath();
        QVERIFY(QDir(env->homeFolder()).mkdir(QStringLiteral("Documents")));

        env->dialogAnswers.push_back(original);
        t->mnuOpenFile->trigger();
        QCOMPARE(env->dialogs[0].title, QStringLiteral("Open Pager Database File"));
        QVERIFY(!env->dialogs[0].save && env->dialogs[0].filter.contains(QStringLiteral("*.pg9")));
        // The first dialog opens in the documents folder, later ones where the last file lies.
        QCOMPARE(env->dialogs[0].directory, QDir(env->homeFolder()).filePath(QStringLiteral("Documents")));
        QCOMPARE(t->StatusBar1->panelText(1), QStringLiteral("Loaded File: site.pg9, Doesn't Match Encoder"));
        QCOMPARE(stored(QStringLiteral("LastFile")), original);
        QVERIFY(t->mnuSave->isEnabled());
        QVERIFY(!Run.bDBMatchesEncoder);
        QVERIFY(!t->cmdLookup->isEnabled() && !t->mnuSendMsg->isEnabled());
        QVERIFY(!t->Toolbar1->Buttons(8)->isEnabled());
        QCOMPARE(t->txtConfigNotes->text().size(), 112); // longer than the box lets one type

        // Save writes the opened file where it is, not a file of that name here.
        QFile::remove(original);
        t->mnuSave->trigger();
        QCOMPARE(ReadFile(original), content);
        QVERIFY(!QFile::exists(env->programFile("site.pg9")));
        QCOMPARE(t->StatusBar1->panelText(1),
                 QStringLiteral("Saved Database to File: site.pg9, Doesn't Match Encoder"));

        // Save As starts at the current file and adds the extension a typed name lacks.
        env->dialogAnswers.push_back(site.filePath("copy"));
        t->mnuSaveAs->trigger();
        QCOMPARE(env->dialogs.last().title, QStringLiteral("Save Pager Database File"));
        QVERIFY(env->dialogs.last().save && !env->dialogs.last().confirmOverwrite);
        QCOMPARE(env->dialogs.last().directory, site.path());
        QCOMPARE(env->dialogs.last().defaultName, QStringLiteral("site.pg9"));
        const QString copy = site.filePath("copy.pg9");
        QCOMPARE(ReadFile(copy), content);
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
        QCOMPARE(t->StatusBar1->panelText(1), QStringLiteral("Saved Database to File: old.pg9, Matches Encoder"));
        QCOMPARE(QDir::currentPath(), programFolder);

        // The errors. What is not a regular file or is too large is refused before it is read
        // (a FIFO would hold the program, a device could fill the memory).
        const QString status = t->StatusBar1->panelText(1);
        const QString fifo = site.filePath("fifo.pg9");
        QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
        const QString large = site.filePath("large.pg9");
        WriteFile(large, QByteArray(MaxFileBytes + 1, 'x'));
        // Each box holds the system's words, or says what is wrong with the file.
        ScriptedBoxes boxes;
        const QList<std::pair<QString, QString>> refused = {
            {site.filePath("no such file.pg9"), QStringLiteral("No such file or directory")},
            {QStringLiteral("/proc/self/mem"), QStringLiteral("Input/output error")},
            {fifo, QStringLiteral("fifo.pg9 is not a regular file")},
            {QStringLiteral("/dev/zero"), QStringLiteral("zero is not a regular file")},
            {large, QStringLiteral("large.pg9 is too large (more than 1 MB)")}};
        for (const auto &[bad, why] : refused) {
            boxes.expect(why).icon(MsgIcon::Exclamation).title(kSolvendraTitle);
            env->dialogAnswers.push_back(bad);
            t->mnuOpenFile->trigger();
        }
        QVERIFY(boxes.verifyAllShown());
        QCOMPARE(stored(QStringLiteral("LastFile")), existing);
        QCOMPARE(t->StatusBar1->panelText(1), status);
        QCOMPARE(DB.Families[4][FamStartCap], QByteArray("0204800"));
        QVERIFY(!HourglassShown());

        // Save As into a missing folder or onto what is not a regular file: the box, and what
        // is there stays.
        boxes.reset();
        QVERIFY(QDir(site.path()).mkdir(QStringLiteral("folder.pg9")));
        for (const QString &bad : {site.filePath("missing folder/out.pg9"), fifo, site.filePath("folder.pg9")}) {
            boxes.expect(QString()).icon(MsgIcon::Exclamation);
            env->dialogAnswers.push_back(bad);
            t->mnuSaveAs->trigger();
        }
        QVERIFY(boxes.verifyAllShown());
        QVERIFY(QFileInfo(fifo).exists() && !QFileInfo(fifo).isFile());
        QCOMPARE(t->StatusBar1->panelText(1), status);

        // After a check that did not finish nothing is written, and a box says why.
        Run.bDBCheckOK = false;
        const int dialogs = env->dialogs.size();
        boxes.reset();
        for (int i = 0; i < 2; ++i)
            boxes.expect(QStringLiteral("The Pager Database was Not Saved.\rIts Check Did Not Finish"))
                .title(QStringLiteral("Database Not Saved"))
                .icon(MsgIcon::Exclamation)
                .buttons(MsgButtons::OK);
        const QByteArray before = ReadFile(existing);
        t->mnuSave->trigger();
        t->mnuSaveAs->trigger();
        QVERIFY(boxes.verifyAllShown());
        QCOMPARE(env->dialogs.size(), dialogs);
        QCOMPARE(ReadFile(existing), before);
        QCOMPARE(t->StatusBar1->panelText(1), status);
    }

    // Without a documents folder Open and Save As start in the home folder with no name (a
    // folder that is not there would be proposed as the file's name); a current file whose
    // folder has gone is proposed there under its own name.
    void dialogsStartInAFolderThatIsThere()
    {
        frmTerminal *t = mainWindow();
        t->mnuOpenFile->trigger();
        t->mnuSaveAs->trigger();
        QCOMPARE(env->dialogs.size(), 2);
        for (const FileDialogRequest &asked : env->dialogs) {
            QCOMPARE(asked.directory, env->homeFolder());
            QCOMPARE(asked.defaultName, QString());
        }
        {
            QTemporaryDir gone;
            Run.sDBFilePath = gone.filePath(QStringLiteral("site.pg9"));
        }
        t->mnuSaveAs->trigger();
        QCOMPARE(env->dialogs.last().directory, env->homeFolder());
        QCOMPARE(env->dialogs.last().defaultName, QStringLiteral("site.pg9"));
    }

    // While a transfer runs, the commands that would start another do nothing.
    void aRunningTransferKeepsTheOthersOut()
    {
        frmTerminal *t = mainWindow();
        Run.bDBMatchesEncoder = false;
        // The database belongs to the running transfer: the file commands and printing leave it
        // alone too (no question, no dialog, nothing written).
        const QList<QAction *> commands = {t->mnuOpen, t->mnuProperties, t->mnuReadDB, t->mnuWriteDB,
                                           t->mnuSendMsg, t->Toolbar1->Buttons(6), t->Toolbar1->Buttons(7),
                                           t->Toolbar1->Buttons(8), t->mnuOpenFile, t->mnuNewDB,
                                           t->mnuSave, t->mnuSaveAs, t->mnuPrintDB};
        t->cmdLookup->setEnabled(true);
        Run.sDBFilePath = QDir(env->homeFolder()).filePath(QStringLiteral("half.pg9"));
        bool printerAsked = false;
        SetPrinterDialogHook([&](QPrinter &) { return printerAsked = true; });
        {
            BusyScope running(Busy::FillingDatabase, BusyScope::WhenIdle);
            QVERIFY(running);
            for (QAction *a : commands) {
                a->setEnabled(true);
                a->trigger();
            }
            t->cmdComStatus->click();
            QTest::mouseClick(t->ImgNotConnected, Qt::LeftButton);
            t->cmdLookup->click();
            QVERIFY(!forms::IsLoaded<frmProperties>());
            QVERIFY(env->dialogs.isEmpty());
            QVERIFY(!QFile::exists(Run.sDBFilePath) && !printerAsked);
        }
        QVERIFY(!Run.TransferRunning());
        ScriptedBoxes boxes;
        boxes.expect(kNotOpen);
        t->mnuSendMsg->trigger();
    }

    // The test console holds the guard while it is open; closing the program from inside it
    // ends every window without a crash, and with no box but the exit's question (the console
    // does not talk to the encoder the exit has just rebooted).
    void closingWhileTheConsoleIsOpen()
    {
        encoderOnCom1();
        QPointer<frmTerminal> t = mainWindow();
        openFindingTheEncoder(t);
        ScriptedBoxes boxes;
        boxes.expect(QStringLiteral("Are You Sure You Want to Exit"), MsgAnswer::Yes);
        bool consoleWasUp = false, portStayedOpen = false;
        const PendingAction onMessageTest = WhenShown<frmMessageTest>([&](frmMessageTest *) {
            consoleWasUp = true;
            t->mnuOpen->trigger(); // a second transfer: ignored
            t->cmdLookup->click();
            portStayedOpen = Link().isOpen();
            t->close();
        });
        t->Toolbar1->Buttons(8)->trigger();
        QVERIFY(consoleWasUp && portStayedOpen);
        QVERIFY(boxes.verifyAllShown());
        QVERIFY(Link().closing());
        QVERIFY(!Link().isOpen()); // as the exit left it
        QVERIFY(!forms::IsLoaded<frmTerminal>());
        QVERIFY(!forms::IsLoaded<frmMessageTest>());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(t.isNull());
    }

    // With the encoder connected: programming asks while the database does not match; the
    // toolbar is off while the write runs, and afterwards the toolbar and the Test menu are on
    // again. The test console wants a matching database; transmitter tuning leaves the Test menu
    // on while the port is open. Closing the port by its disc turns the transfer controls off.
    void withTheEncoderConnected()
    {
        encoderOnCom1();
        frmTerminal *t = mainWindow();
        openFindingTheEncoder(t);
        expectPortControls(t, true);
        // The encoder leaves the last record unanswered: the write ends with its error box.
        QVERIFY(encoder->sim().setKnob("drop_reply", "\"write:M 15\""));
        Run.bDBMatchesEncoder = false;
        t->mnuTest->setEnabled(false);
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
            });
        boxes.expect(QStringLiteral("The Displayed Pager Database Must Match the Encoder's Database"))
            .title(QStringLiteral("Pager Database Doesn't Match Displayed Database"));
        t->mnuWriteDB->trigger();
        QVERIFY(t->mnuTest->isEnabled()); // also after No
        t->mnuTest->setEnabled(false);
        t->Toolbar1->Buttons(6)->trigger();
        QVERIFY(toolbarOffAtTheBox);
        QVERIFY(t->mnuTest->isEnabled());
        for (int position = 2; position <= 8; ++position)
            QVERIFY(t->Toolbar1->Buttons(position)->isEnabled());
        t->mnuSendMsg->setEnabled(true);
        t->mnuSendMsg->trigger();
        QVERIFY(boxes.verifyAllShown());

        t->mnuTest->setEnabled(false);
        t->mnuTXTune->setVisible(true);
        t->mnuTXTune->setEnabled(true);
        const PendingAction closeTXTune = CloseWhenShown<frmTXTune>();
        t->mnuTXTune->trigger();
        QVERIFY(t->mnuTest->isEnabled());

        QTest::mouseClick(t->ImgConnected, Qt::LeftButton);
        expectPortControls(t, false);
        for (QAction *a : {t->Toolbar1->Buttons(6), t->Toolbar1->Buttons(7), t->Toolbar1->Buttons(8),
                           t->mnuSendMsg, t->mnuTest})
            QVERIFY(!a->isEnabled());
        QVERIFY(!t->cmdLookup->isEnabled() && t->cmdComStatus->isEnabled());
    }

    // File > Exit and Escape ask first; No keeps the program, Yes ends it and every window.
    void exitAndEscapeAskBeforeClosing()
    {
        PtyPair pty;
        QVERIFY2(pty.ok(), qPrintable(pty.error()));
        SetComDevicePathOverride(1, pty.linkPath());
        frmTerminal *t = mainWindow();
        {
            ScriptedBoxes boxes;
            boxes.expect(QStringLiteral("Are You Sure You Want to Exit Solvendra Paging Encoder "
                                        "Setup?"),
                         MsgAnswer::No)
                .title(QStringLiteral("Exit Solvendra Paging Encoder Setup"))
                .icon(MsgIcon::Question)
                .buttons(MsgButtons::YesNo);
            t->mnuFileExit->trigger();
            QVERIFY(boxes.verifyAllShown());
            QVERIFY(forms::IsLoaded<frmTerminal>() && !Link().closing());
        }
        t->mnuAbout->trigger();
        QVERIFY(forms::Find<frmXJSplash>() && forms::Find<frmXJSplash>()->isVisible());
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
        QVERIFY(Link().closing());
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

    void timersRaiseTheirFlagOncePerArming()
    {
        mainWindow();
        EncoderLink &link = Link();
        QCOMPARE(link.tapInterval().count(), 1000);
        QCOMPARE(link.replyInterval().count(), 6000);
        QVERIFY(!LinkTestAccess::tapTimer(link).Enabled());
        QVERIFY(!LinkTestAccess::replyTimer(link).Enabled());
        // Armed outside a wait, each raises its flag once and stops.
        using Flag = bool (*)(const EncoderLink &);
        for (auto [timer, flag] : {std::pair<WindowTimer *, Flag>{&LinkTestAccess::tapTimer(link), &LinkTestAccess::timer1Expired},
                                   {&LinkTestAccess::replyTimer(link), &LinkTestAccess::replyTimedOut}}) {
            QSignalSpy ticks(timer, &WindowTimer::Timer);
            timer->setInterval(10);
            timer->setEnabled(true);
            QTRY_VERIFY_WITH_TIMEOUT(flag(link), 2000);
            QVERIFY(!timer->Enabled());
            QTest::qWait(60);
            QCOMPARE(ticks.count(), 1);
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

    // The notes are one line of Latin-1: line ends become blanks, text beyond Latin-1 is refused,
    // typing stops at 80.
    void notesBoxTakesOneLineOfLatin1()
    {
        NotesBox *notes = mainWindow()->txtConfigNotes;
        notes->insert(QStringLiteral("one\rtwo\nthree"));
        notes->insert(QStringLiteral("\u20ac"));
        QCOMPARE(notes->text(), QStringLiteral("one two three"));
        notes->clear();
        QTest::keyClicks(notes, QString(90, QLatin1Char('y')));
        QCOMPARE(notes->text().size(), 80);
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
