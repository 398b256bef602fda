// Starting the program under each brand: the splash windows, the main window's first state,
// "setup.ini", the stored preferences, the reopen of the last file and the hand-over.

#include "apptest.h"

#include <sys/stat.h>

#include "model/atten.h"
#include "model/database.h"
#include "model/dbfile.h"
#include "support/scriptedboxes.h"

#include <QAction>
#include <QPushButton>

namespace {
// Starts the program under the splash S and leaves the splash the way `how` names: a letter
// key, a click on its picture, or the window manager closing it. Before that, a key that types
// nothing and a click on the version label leave it up.
template <class S, class Picture>
void leaveSplash(const QString &how, Picture picture)
{
    ScriptedBoxes boxes;
    frmTerminal *t = StartProgram<S>();
    S *s = forms::Find<S>();
    QTest::keyClick(s, Qt::Key_Left);
    QTest::mouseClick(s->lblVersion, Qt::LeftButton);
    QVERIFY(forms::IsLoaded<S>());
    QVERIFY(!t->isVisible()); // hidden until the hand-over
    if (how == QLatin1String("key"))
        QTest::keyClick(s, Qt::Key_A);
    else if (how == QLatin1String("click"))
        QTest::mouseClick(picture(s), Qt::LeftButton);
    else
        s->close();
    QVERIFY(!forms::IsLoaded<S>());
    QVERIFY(t->isVisible());
}
} // namespace

class TestStartup : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<AppTestEnv> env;

    // A database file: groups 1 to 3 with the IDs "0", "0042" and "12a", increment-by-8 on,
    // notes with commas and quotes.
    QByteArray sampleFile()
    {
        DB.PagerGroups[0][GrpID] = "0";
        DB.PagerGroups[1][GrpID] = "0042";
        DB.PagerGroups[2][GrpID] = "12a";
        EncoderSettings.bIncCapBy8 = true;
        const QByteArray content = WriteDBFile("Spare encoder, \"east\" wing");
        ResetProgramState();
        return content;
    }

private slots:
    void initTestCase() { IsolateSettingsForTestRun(); }
    void init() { env = std::make_unique<AppTestEnv>(); }
    void cleanup() { env.reset(); }

    // Each brand starts with its own splash, title, manual and preferences (the other brand's
    // stored port is not used) and the same first state of the main window. Another copy
    // running is a warning only.
    void firstRun_data()
    {
        QTest::addColumn<bool>("solvendra");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("manual");
        QTest::addColumn<QString>("model");
        QTest::addColumn<QString>("running");
        QTest::newRow("Solvendra") << true << kSolvendraTitle << "XJSETUP.PDF" << "R-740 Paging Encoder"
                                   << "Solvendra R-740 Paging Encoder Setup is already running.";
        QTest::newRow("Kestrane") << false << kKestraneTitle << "ZQSETUP.PDF" << "Paging Encoder V9"
                                  << "Kestrane Paging Encoder Setup is already running.";
    }
    void firstRun()
    {
        QFETCH(bool, solvendra);
        QFETCH(QString, title);
        QFETCH(QString, manual);
        QFETCH(QString, model);
        QFETCH(QString, running);
        const QString other = solvendra ? kKestraneTitle : kSolvendraTitle;
        StorePreference(other, QStringLiteral("CommPort"), QStringLiteral("3"));
        env->otherCopyRunning = true;
        ScriptedBoxes boxes;
        boxes.expect(running).title(title).icon(MsgIcon::Exclamation).buttons(MsgButtons::OK);
        frmTerminal *t = solvendra ? StartProgram<frmXJSplash>() : StartProgram<frmSplash>();
        QVERIFY(boxes.verifyAllShown());
        QVERIFY(t && !t->isVisible());
        ClickLabel *version = solvendra ? forms::Find<frmXJSplash>()->lblVersion : forms::Find<frmSplash>()->lblVersion;
        QVERIFY(version->window()->isVisible()); // the splash
        QCOMPARE(version->text(), QStringLiteral("Version 9.0.39"));

        QCOMPARE(env->instanceChecks, QStringList{title});
        QCOMPARE(AppTitle(), title);
        QCOMPARE(t->windowTitle(), title);
        QCOMPARE(StoredPreference(title, "Settings"), QStringLiteral("9600,n,8,1"));
        QCOMPARE(StoredPreference(title, "CommPort"), QStringLiteral("1"));
        QCOMPARE(StoredPreference(other, "CommPort"), QStringLiteral("3"));
        QCOMPARE(QDir::currentPath(), QDir(env->homeFolder()).canonicalPath());
        QCOMPARE(HelpFile, env->programFile(manual));
        QCOMPARE(t->Label25->text(), model);
        QCOMPARE(t->Image1->isHidden(), solvendra);
        QCOMPARE(t->Picture1->isHidden(), solvendra);

        QCOMPARE(t->StatusBar1->panelText(1), QStringLiteral("No Database Loaded"));
        QCOMPARE(t->StatusBar1->panelText(2), QStringLiteral("COM 1 Closed"));
        QCOMPARE(t->cmdComStatus->text(), QStringLiteral("Open COM 1"));
        QCOMPARE(t->ImgNotConnected->toolTip(), QStringLiteral(" Enable COM 1 "));
        QCOMPARE(t->FrontImage(), t->ImgNotConnected);
        QCOMPARE(t->lblVersion->text(), QStringLiteral("Firmware Version:"));
        QCOMPARE(t->lblIDAsCap->text(), QStringLiteral("ID As Capcode Mode is OFF for Port 1"));
        QCOMPARE(t->lblIncBy8->text(), QStringLiteral("Increment Capcodes by 8 Mode is OFF"));
        QVERIFY(!Link().isOpen());
        QCOMPARE(EncoderSettings.sModSliderVal, QByteArray("47"));
        QCOMPARE(AttenTable[39].dB.toText(), QByteArray("73.5"));

        // Menus and toolbar as a technician finds them: the editors work without an encoder.
        QVERIFY(!t->mnuSave->isEnabled());
        QVERIFY(t->mnuSaveAs->isEnabled());
        for (QAction *a : {t->mnuReadDB, t->mnuWriteDB, t->mnuSendMsg})
            QVERIFY(!a->isEnabled());
        QVERIFY(!t->cmdLookup->isEnabled());
        QCOMPARE(t->Toolbar1->ButtonCount(), 8);
        QVERIFY(t->Toolbar1->Buttons(1)->isSeparator());
        for (int position = 2; position <= 8; ++position)
            QCOMPARE(t->Toolbar1->Buttons(position)->isEnabled(), position <= 5);
    }

    // The COM map is written out beside "Settings" and "CommPort": at a first start the eight
    // keys with the default paths; a user's own entries (an empty one too) stay, only missing
    // keys are added; the next start changes nothing; the tests' own COM paths still win.
    void theComMapIsWrittenOnce()
    {
        const QString ports = QStringLiteral("Ports");
        const auto stored = [&ports](const QString &app, int n) {
            return GetSetting(app, ports, QStringLiteral("COM%1").arg(n), QStringLiteral("<absent>"));
        };
        const QStringList defaults = {"/dev/ttyS0",   "/dev/ttyS1",   "/dev/ttyS2",   "/dev/ttyS3",
                                      "/dev/ttyUSB0", "/dev/ttyUSB1", "/dev/ttyUSB2", "/dev/ttyUSB3"};
        SaveSetting(kKestraneTitle, ports, QStringLiteral("COM1"), QStringLiteral("/dev/ttyACM0"));
        SaveSetting(kKestraneTitle, ports, QStringLiteral("COM6"), QString());

        ScriptedBoxes boxes; // no box comes
        StartProgram<frmXJSplash>();
        QStringList written;
        for (int n = 1; n <= 8; ++n)
            written << stored(kSolvendraTitle, n);
        QCOMPARE(written, defaults);
        QCOMPARE(StoredPreference(kSolvendraTitle, "Settings"), QStringLiteral("9600,n,8,1"));
        QCOMPARE(stored(kKestraneTitle, 2), QStringLiteral("<absent>")); // the other brand's own
        QCOMPARE(ComDevicePath(1), QStringLiteral("/nonexistent-pagersetup/tty1"));

        // The other brand, where the user led COM 1 elsewhere and emptied COM 6.
        forms::DestroyAll();
        ResetProgramState();
        StartProgram<frmSplash>();
        QStringList kept;
        for (int n = 1; n <= 8; ++n)
            kept << stored(kKestraneTitle, n);
        QStringList expected = defaults;
        expected[0] = QStringLiteral("/dev/ttyACM0");
        expected[5] = QString();
        QCOMPARE(kept, expected);

        // A second start leaves the file as it is.
        const QByteArray before = ReadFile(SettingsStoreFile(kKestraneTitle));
        QVERIFY(before.contains("[Ports]") && before.contains("COM1=/dev/ttyACM0"));
        forms::DestroyAll();
        ResetProgramState();
        StartProgram<frmSplash>();
        QCOMPARE(ReadFile(SettingsStoreFile(kKestraneTitle)), before);

        // The map the program uses: the user's entry, the default for an empty one.
        SetComDevicePathOverride(1, QString());
        SetComDevicePathOverride(6, QString());
        QCOMPARE(ComDevicePath(1), QStringLiteral("/dev/ttyACM0"));
        QCOMPARE(ComDevicePath(6), QStringLiteral("/dev/ttyUSB1"));
    }

    // The stored line settings, port, slider and station are applied. A stored port that is not
    // a number leaves the number at 0 and the control at COM 1. Settings the port refuses are
    // reported, the port runs at 9600,n,8,1 and start-up goes on; the stored text is left for
    // the properties dialog to correct.
    void storedPreferencesAreApplied_data()
    {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<QString>("port");
        QTest::addColumn<QByteArray>("applied");
        QTest::addColumn<int>("number");
        QTest::addColumn<int>("control");
        QTest::newRow("port 3") << "2400,e,7,1" << "3" << QByteArray("2400,e,7,1") << 3 << 3;
        QTest::newRow("port no number") << "2400,e,7,1" << "abc" << QByteArray("2400,e,7,1") << 0 << 1;
        QTest::newRow("refused settings") << "fast,n,8,1" << "4" << QByteArray("9600,n,8,1") << 4 << 4;
    }
    void storedPreferencesAreApplied()
    {
        QFETCH(QString, settings);
        QFETCH(QString, port);
        QFETCH(QByteArray, applied);
        QFETCH(int, number);
        QFETCH(int, control);
        const QStringList preferences = {"Settings", settings, "CommPort", port, "ModSliderVal", "12",
                                         "StationID", "WXY123"};
        for (int i = 0; i < preferences.size(); i += 2)
            StorePreference(kSolvendraTitle, preferences[i], preferences[i + 1]);
        ScriptedBoxes boxes;
        if (applied != settings.toLatin1())
            boxes.expect(QStringLiteral("Error in setting COM object: "))
                .title(kSolvendraTitle)
                .icon(MsgIcon::Exclamation)
                .buttons(MsgButtons::OK);
        frmTerminal *t = StartProgram<frmXJSplash>();
        QVERIFY(boxes.verifyAllShown());
        QCOMPARE(Link().lineSettings(), applied);
        QCOMPARE(Link().portNumber(), control);
        QCOMPARE(Run.iCommPort, int16_t(number));
        QCOMPARE(EncoderSettings.sModSliderVal, QByteArray("12"));
        QCOMPARE(EncoderSettings.sStationID, QByteArray("WXY123"));
        QCOMPARE(t->StatusBar1->panelText(2), QStringLiteral("COM %1 Closed").arg(control));
        QCOMPARE(t->cmdComStatus->text(), QStringLiteral("Open COM %1").arg(control));
        QCOMPARE(StoredPreference(kSolvendraTitle, "Settings"), settings);
        QVERIFY(!Run.bSuppressEvents); // start-up went to its end
    }

    // "setup.ini" of the data folder, or the user's own beside the stored preferences, which
    // comes first.
    void setupIniSwitches_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QByteArray>("usersIni");
        QTest::addColumn<bool>("virgin");
        QTest::addColumn<bool>("test");
        const QByteArray both("[Main]\r\nVirginMode=True\r\nTestEnabled=1\r\n");
        QTest::newRow("none") << QByteArray() << QByteArray() << false << false;
        QTest::newRow("both on") << both << QByteArray() << true << true;
        QTest::newRow("TestEnabled only") << QByteArray("[Main]\r\nTestEnabled=True\r\n") << QByteArray() << false << true;
        QTest::newRow("the user's first") << both << QByteArray("[Main]\r\nTestEnabled=True\r\n") << false << true;
    }
    void setupIniSwitches()
    {
        QFETCH(QByteArray, ini);
        QFETCH(QByteArray, usersIni);
        QFETCH(bool, virgin);
        QFETCH(bool, test);
        if (!ini.isNull())
            WriteFile(env->programFile("setup.ini"), ini);
        if (!usersIni.isNull()) {
            const QString folder = QFileInfo(SettingsStoreFile(kSolvendraTitle)).path();
            QVERIFY(QDir().mkpath(folder));
            WriteFile(QDir(folder).filePath("setup.ini"), usersIni);
        }
        ScriptedBoxes boxes;
        frmTerminal *t = StartProgram<frmXJSplash>();
        QCOMPARE(Run.bVirginMode, virgin);
        QCOMPARE(Run.bTestEnabled, test);
        QCOMPARE(!t->lblVirgin->isHidden(), virgin);
        QCOMPARE(t->mnuTXTune->isVisible(), test);
        QVERIFY(!t->mnuTXTune->isEnabled()); // detection enables it
    }

    // The last file is reopened by its full path, or by a bare name (as older versions stored
    // it) in the home folder; it counts as matching the encoder. A missing file is skipped
    // without a word.
    void reopeningTheLastFile_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("bareName");
        QTest::addColumn<bool>("present");
        QTest::addColumn<bool>("fifo"); // what stands there is not a regular file
        QTest::newRow("full path") << "north mast.pg9" << false << true << false;
        QTest::newRow("bare name") << "old.pg9" << true << true << false;
        QTest::newRow("missing") << "old.pg9" << true << false << false;
        QTest::newRow("not a regular file") << "old.pg9" << false << false << true;
    }
    void reopeningTheLastFile()
    {
        QFETCH(QString, name);
        QFETCH(bool, bareName);
        QFETCH(bool, present);
        QFETCH(bool, fifo);
        QTemporaryDir elsewhere;
        // A bare name (as older versions kept it) lies in the home folder.
        const QString file = bareName ? QDir(env->homeFolder()).filePath(name) : elsewhere.filePath(name);
        const QByteArray content = sampleFile();
        if (present)
            WriteFile(file, content);
        if (fifo) // reading it would hold start-up
            QVERIFY(::mkfifo(QFile::encodeName(file).constData(), 0600) == 0);
        StorePreference(kSolvendraTitle, QStringLiteral("LastFile"), bareName ? name : file);

        ScriptedBoxes boxes;
        frmTerminal *t = StartProgram<frmXJSplash>();
        QCOMPARE(Run.sDBFileName, name.toLatin1());
        if (!present) {
            QCOMPARE(t->StatusBar1->panelText(1), QStringLiteral("No Database Loaded"));
            QVERIFY(DB.PagerGroups[1][GrpID].isEmpty());
            return;
        }
        QCOMPARE(t->StatusBar1->panelText(1), QStringLiteral("Loaded Database File: ") + name);
        QCOMPARE(Run.sDBFilePath, file);
        // The reopen judges the Group ID by its value: "0" is no group, "12a" is one.
        QVERIFY(DB.PagerGroups[0][GrpDefined].isEmpty());
        QCOMPARE(DB.PagerGroups[1][GrpDefined], QByteArray("YES"));
        QCOMPARE(DB.PagerGroups[2][GrpDefined], QByteArray("YES"));
        QCOMPARE(t->txtConfigNotes->text(), QStringLiteral("Spare encoder, \"east\" wing"));
        QCOMPARE(t->lblIncBy8->text(), QStringLiteral("Increment Capcodes by 8 Mode is ON"));
        QVERIFY(Run.bDBMatchesEncoder);
        QVERIFY(!t->mnuSave->isEnabled());
    }

    // The splash's ten seconds end while start-up waits on a box: the hand-over comes after
    // the load, not inside it.
    void splashTimerHandsOverAfterTheLoad()
    {
        SetTimeScale(0.002); // ten seconds become 20 ms
        env->otherCopyRunning = true;
        ScriptedBoxes boxes;
        bool splashLoadedInside = false;
        boxes.expect(QStringLiteral("already running")).then([&] {
            QTest::qWait(100);
            splashLoadedInside = forms::IsLoaded<frmXJSplash>();
        });
        frmTerminal *t = StartProgram<frmXJSplash>();
        QVERIFY(splashLoadedInside);
        QVERIFY(forms::IsLoaded<frmXJSplash>());
        QVERIFY(!t->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(!forms::IsLoaded<frmXJSplash>(), 3000);
        QVERIFY(t->isVisible());
    }

    void leavingTheSplash_data()
    {
        QTest::addColumn<bool>("solvendra");
        QTest::addColumn<QString>("how");
        for (const char *how : {"key", "click", "close"}) {
            QTest::addRow("Solvendra %s", how) << true << QString::fromLatin1(how);
            QTest::addRow("Kestrane %s", how) << false << QString::fromLatin1(how);
        }
    }
    void leavingTheSplash()
    {
        QFETCH(bool, solvendra);
        QFETCH(QString, how);
        if (solvendra)
            leaveSplash<frmXJSplash>(how, [](frmXJSplash *s) { return s->Picture1; });
        else
            leaveSplash<frmSplash>(how, [](frmSplash *s) { return s->Image1; });
    }

    void kestraneWebLinkAndAbout()
    {
        ScriptedBoxes boxes;
        frmTerminal *t = StartProgram<frmSplash>();
        frmSplash *splash = forms::Find<frmSplash>();
        QTest::mouseClick(splash->lblProductName, Qt::LeftButton);
        QTest::mouseClick(splash->lblWarning, Qt::LeftButton);
        QCOMPARE(env->shellOpened, QStringList{frmSplash::WebAddress()});
        QVERIFY(t->isVisible());
        QVERIFY(forms::IsLoaded<frmSplash>()); // stays until its time, a click or a key
        QTest::mouseClick(splash->Image1, Qt::LeftButton);
        QVERIFY(!forms::IsLoaded<frmSplash>());

        // About shows the brand's splash again without a second start-up.
        t->StatusBar1->setPanelText(1, QStringLiteral("edited"));
        t->mnuAbout->trigger();
        frmSplash *about = forms::Find<frmSplash>();
        QVERIFY(about && about->isVisible());
        t->mnuAbout->trigger();
        QCOMPARE(forms::Find<frmSplash>(), about); // already open: the same window
        QCOMPARE(t->StatusBar1->panelText(1), QStringLiteral("edited"));
        QTest::keyClick(about, Qt::Key_Escape);
        QVERIFY(!forms::IsLoaded<frmSplash>());
        QVERIFY(t->isVisible());
    }
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
