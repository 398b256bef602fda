// Starting the program under each brand: the splash windows, the main window's first state,
// "setup.ini", the stored preferences, the reopen of the last file and the hand-over.

#include "apptest.h"

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

    // A database file: family 1 defined, groups 1 to 3 with the IDs "0", "0042" and "12a",
    // increment-by-8 on, notes with commas and quotes.
    QByteArray sampleFile()
    {
        DB.Families[0] = {"1", "0001234", "1", "A", "0", "010", "7", "00", "00", ""};
        DB.PagerGroups[0][GrpID] = "0";
        DB.PagerGroups[1][GrpID] = "0042";
        DB.PagerGroups[2][GrpID] = "12a";
        DB.CannedMsgs[1] = "CALL THE OFFICE";
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
    // stored port is not used) and the same first state of the main window.
    void firstRun_data()
    {
        QTest::addColumn<bool>("solvendra");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("manual");
        QTest::addColumn<QString>("model");
        QTest::newRow("Solvendra") << true << kSolvendraTitle << "XJSETUP.PDF" << "R-740 Paging Encoder";
        QTest::newRow("Kestrane") << false << kKestraneTitle << "ZQSETUP.PDF" << "Paging Encoder V9";
    }
    void firstRun()
    {
        QFETCH(bool, solvendra);
        QFETCH(QString, title);
        QFETCH(QString, manual);
        QFETCH(QString, model);
        const QString other = solvendra ? kKestraneTitle : kSolvendraTitle;
        StorePreference(other, QStringLiteral("CommPort"), QStringLiteral("3"));
        ScriptedBoxes boxes;
        frmTerminal *t = solvendra ? StartProgram<frmXJSplash>() : StartProgram<frmSplash>();
        QVERIFY(t);
        QWidget *splash = solvendra ? static_cast<QWidget *>(forms::Find<frmXJSplash>())
                                    : static_cast<QWidget *>(forms::Find<frmSplash>());
        QVERIFY(splash && splash->isVisible());
        QVERIFY(!t->isVisible());
        QCOMPARE(solvendra ? forms::Find<frmXJSplash>()->lblVersion->text()
                           : forms::Find<frmSplash>()->lblVersion->text(),
                 QStringLiteral("Version 1.0.0"));

        QCOMPARE(Run.sBrand, solvendra ? QByteArray("Solvendra") : QByteArray("Kestrane"));
        QCOMPARE(env->instanceChecks, QStringList{title});
        QCOMPARE(AppTitle(), title);
        QCOMPARE(t->windowTitle(), title);
        QCOMPARE(StoredPreference(title, "Settings"), QStringLiteral("9600,n,8,1"));
        QCOMPARE(StoredPreference(title, "CommPort"), QStringLiteral("1"));
        QCOMPARE(StoredPreference(title, "LastFile"), QStringLiteral("<absent>"));
        QCOMPARE(StoredPreference(other, "CommPort"), QStringLiteral("3"));
        QCOMPARE(QDir::currentPath(), QDir(env->programFolder()).canonicalPath());
        QCOMPARE(HelpFile, env->programFile(manual));
        QCOMPARE(t->Label25->text(), model);
        QCOMPARE(t->Image1->isHidden(), solvendra);
        QCOMPARE(t->Picture1->isHidden(), solvendra);

        QCOMPARE(t->StatusBar1->panelText(1), QStringLiteral("No Database Loaded"));
        QCOMPARE(t->StatusBar1->panelText(2), QStringLiteral("COM 1 Closed"));
        QCOMPARE(t->cmdComStatus->text(), QStringLiteral("Open COM 1"));
        QCOMPARE(t->ImgNotConnected->toolTip(), QStringLiteral(" Enable COM 1 "));
        QCOMPARE(t->FrontImage(), t->ImgNotConnected);
        QVERIFY(t->ImgConnected->isHidden());
        QCOMPARE(t->lblVersion->text(), QStringLiteral("Firmware Version:"));
        QCOMPARE(t->lblIDAsCap->text(), QStringLiteral("ID As Capcode Mode is OFF for port 1"));
        QCOMPARE(t->lblIncBy8->text(), QStringLiteral("Increment Capcodes by 8 Mode is OFF"));
        QVERIFY(t->lblVirgin->isHidden());
        QVERIFY(!Link().MSComm1->PortOpen());
        QCOMPARE(Link().MSComm1->Settings(), QByteArray("9600,n,8,1"));

        // Menus and toolbar as a technician finds them.
        QVERIFY(!t->mnuSave->isEnabled());
        QVERIFY(t->mnuSaveAs->isEnabled());
        for (QAction *a : {t->mnuReadDB, t->mnuWriteDB, t->mnuSendMsg})
            QVERIFY(!a->isEnabled());
        QVERIFY(!t->mnuTXTune->isVisible());
        QVERIFY(!t->cmdLookup->isEnabled());
        QCOMPARE(t->Toolbar1->ButtonCount(), 8);
        QVERIFY(t->Toolbar1->Buttons(1)->isSeparator());
        const QStringList keys = {"sequence", "group", "message", "settings",
                                  "program", "read", "test"};
        for (int position = 2; position <= 8; ++position) {
            QAction *b = t->Toolbar1->Buttons(position);
            QCOMPARE(ButtonToolBar::Key(b), keys[position - 2]);
            QCOMPARE(b->isEnabled(), position <= 5); // editors work without an encoder
        }

        QCOMPARE(EncoderSettings.sModSliderVal, QByteArray("47"));
        QVERIFY(EncoderSettings.sStationID.isEmpty());
        QCOMPARE(Run.iCommPort, int16_t(1));
        QVERIFY(Run.bDBMatchesEncoder);
        QVERIFY(!Run.bSuppressEvents);
        QCOMPARE(AttenTable[39].dB.toText(), QByteArray("73.5"));
        for (const FamilyRec &fam : DB.Families)
            QVERIFY(fam[FamActive].isEmpty()); // program-start texts, not the New values
    }

    // The stored line settings, slider and station are applied; a stored port that is not a
    // number leaves the number at 0 and the control at COM 1.
    void storedPreferencesAreApplied_data()
    {
        QTest::addColumn<QString>("port");
        QTest::addColumn<int>("number");
        QTest::addColumn<int>("control");
        QTest::newRow("port 3") << "3" << 3 << 3;
        QTest::newRow("port no number") << "abc" << 0 << 1;
    }
    void storedPreferencesAreApplied()
    {
        QFETCH(QString, port);
        QFETCH(int, number);
        QFETCH(int, control);
        for (const auto &[key, value] : {std::pair{"Settings", "2400,e,7,1"}, {"ModSliderVal", "12"},
                                         {"StationID", "WXY123"}})
            StorePreference(kSolvendraTitle, QString::fromLatin1(key), QString::fromLatin1(value));
        StorePreference(kSolvendraTitle, QStringLiteral("CommPort"), port);
        ScriptedBoxes boxes;
        frmTerminal *t = StartProgram<frmXJSplash>();
        QCOMPARE(Link().MSComm1->Settings(), QByteArray("2400,e,7,1"));
        QCOMPARE(Link().MSComm1->CommPort(), control);
        QCOMPARE(Run.iCommPort, int16_t(number));
        QCOMPARE(EncoderSettings.sModSliderVal, QByteArray("12"));
        QCOMPARE(EncoderSettings.sStationID, QByteArray("WXY123"));
        QCOMPARE(t->StatusBar1->panelText(2), QStringLiteral("COM %1 Closed").arg(control));
        QCOMPARE(t->cmdComStatus->text(), QStringLiteral("Open COM %1").arg(control));
    }

    void refusedStoredSettingsStillFinishStartUp()
    {
        const QByteArray content = sampleFile();
        const QString file = env->programFile("site.pg9");
        WriteFile(file, content);
        for (const auto &[key, value] : {std::pair{"Settings", "fast,n,8,1"}, {"CommPort", "4"},
                                         {"ModSliderVal", "30"}})
            StorePreference(kKestraneTitle, QString::fromLatin1(key), QString::fromLatin1(value));
        StorePreference(kKestraneTitle, QStringLiteral("LastFile"), file);

        ScriptedBoxes boxes;
        boxes.expect(QStringLiteral("Error in setting COM object: "))
            .title(kKestraneTitle)
            .icon(MsgIcon::Exclamation)
            .buttons(MsgButtons::OK);
        frmTerminal *t = StartProgram<frmSplash>();
        QVERIFY(boxes.verifyAllShown());
        QCOMPARE(Link().MSComm1->Settings(), QByteArray("9600,n,8,1"));
        QCOMPARE(Link().MSComm1->CommPort(), 4);
        QCOMPARE(t->StatusBar1->panelText(2), QStringLiteral("COM 4 Closed"));
        QCOMPARE(t->cmdComStatus->text(), QStringLiteral("Open COM 4"));
        QCOMPARE(EncoderSettings.sModSliderVal, QByteArray("30"));
        QCOMPARE(t->StatusBar1->panelText(1), QStringLiteral("Loaded Database File: site.pg9"));
        QVERIFY(!Run.bSuppressEvents);
        QCOMPARE(AttenTable[8].dB.toText(), QByteArray("-1.5"));
        // The operator's stored text is left for the properties dialog to correct.
        QCOMPARE(StoredPreference(kKestraneTitle, "Settings"), QStringLiteral("fast,n,8,1"));
    }

    void otherCopyRunningIsAWarningOnly_data()
    {
        QTest::addColumn<bool>("solvendra");
        QTest::addColumn<QString>("text");
        QTest::newRow("Solvendra") << true
                                   << "Solvendra R-740 Paging Encoder Setup is already running.";
        QTest::newRow("Kestrane") << false << "Kestrane Paging Encoder Setup is already running.";
    }
    void otherCopyRunningIsAWarningOnly()
    {
        QFETCH(bool, solvendra);
        QFETCH(QString, text);
        env->otherCopyRunning = true;
        ScriptedBoxes boxes;
        boxes.expect(text)
            .title(solvendra ? kSolvendraTitle : kKestraneTitle)
            .icon(MsgIcon::Exclamation)
            .buttons(MsgButtons::OK);
        frmTerminal *t = solvendra ? StartProgram<frmXJSplash>() : StartProgram<frmSplash>();
        QVERIFY(boxes.verifyAllShown());
        QCOMPARE(boxes.shown().first().text, text);
        QCOMPARE(t->StatusBar1->panelText(2), QStringLiteral("COM 1 Closed"));
        QVERIFY(!Run.bSuppressEvents);
    }

    void setupIniSwitches_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<bool>("virgin");
        QTest::addColumn<bool>("test");
        QTest::newRow("none") << QByteArray() << false << false;
        QTest::newRow("both on") << QByteArray("[Main]\r\nVirginMode=True\r\nTestEnabled=1\r\n")
                                 << true << true;
        QTest::newRow("header and TestEnabled only")
            << QByteArray("[Main]\r\nTestEnabled=True\r\n") << false << true;
        QTest::newRow("empty line ends the search")
            << QByteArray("[Main]\r\n\r\nTestEnabled=True\r\n") << false << false;
        QTest::newRow("above the header counts")
            << QByteArray("TestEnabled=True\r\n[Main]\r\n") << false << true;
        QTest::newRow("Yes is no flag") << QByteArray("[Main]\r\nVirginMode=Yes\r\n") << false
                                        << false;
        QTest::newRow("any case, numbers") << QByteArray("[Main]\r\nVirginMode=tRUE\r\nTestEnabled=0\r\n")
                                           << true << false;
    }
    void setupIniSwitches()
    {
        QFETCH(QByteArray, ini);
        QFETCH(bool, virgin);
        QFETCH(bool, test);
        if (!ini.isNull())
            WriteFile(env->programFile("setup.ini"), ini);
        ScriptedBoxes boxes;
        frmTerminal *t = StartProgram<frmXJSplash>();
        QCOMPARE(Run.bVirginMode, virgin);
        QCOMPARE(Run.bTestEnabled, test);
        QCOMPARE(!t->lblVirgin->isHidden(), virgin);
        QCOMPARE(t->mnuTXTune->isVisible(), test);
        QVERIFY(!t->mnuTXTune->isEnabled()); // detection enables it
    }

    // The last file is reopened by its full path; it counts as matching the encoder.
    void secondRunReopensTheLastFile()
    {
        const QByteArray content = sampleFile();
        QTemporaryDir elsewhere;
        const QString file = elsewhere.filePath("north mast.pg9");
        WriteFile(file, content);
        StorePreference(kSolvendraTitle, QStringLiteral("LastFile"), file);

        ScriptedBoxes boxes;
        frmTerminal *t = StartProgram<frmXJSplash>();
        QCOMPARE(t->StatusBar1->panelText(1),
                 QStringLiteral("Loaded Database File: north mast.pg9"));
        QCOMPARE(Run.sDBFileName, QByteArray("north mast.pg9"));
        QCOMPARE(Run.sDBFilePath, file);
        QCOMPARE(DB.Families[0][FamStartCap], QByteArray("0001234"));
        QCOMPARE(DB.Families[0][FamStartID], QByteArray("007"));
        QCOMPARE(DB.Families[0][FamDefined], QByteArray("YES"));
        QCOMPARE(DB.CannedMsgs[1], QByteArray("CALL THE OFFICE"));
        // The reopen judges the Group ID by its value: "0" is no group, "12a" is one.
        QVERIFY(DB.PagerGroups[0][GrpDefined].isEmpty());
        QCOMPARE(DB.PagerGroups[1][GrpDefined], QByteArray("YES"));
        QCOMPARE(DB.PagerGroups[2][GrpDefined], QByteArray("YES"));
        QCOMPARE(t->txtConfigNotes->text(), QStringLiteral("Spare encoder, \"east\" wing"));
        QVERIFY(EncoderSettings.bIncCapBy8);
        QCOMPARE(t->lblIncBy8->text(), QStringLiteral("Increment Capcodes by 8 Mode is ON"));
        QVERIFY(Run.bDBMatchesEncoder);
        QVERIFY(!t->mnuSave->isEnabled());
        QCOMPARE(StoredPreference(kSolvendraTitle, "LastFile"), file);
    }

    // A bare name (as older versions stored it) is looked for in the program's folder; a
    // missing file is skipped without a word.
    void lastFileByNameOrMissing()
    {
        WriteFile(env->programFile("old.pg9"), sampleFile());
        StorePreference(kSolvendraTitle, QStringLiteral("LastFile"), QStringLiteral("old.pg9"));
        {
            ScriptedBoxes boxes;
            frmTerminal *t = StartProgram<frmXJSplash>();
            QCOMPARE(t->StatusBar1->panelText(1), QStringLiteral("Loaded Database File: old.pg9"));
            QCOMPARE(Run.sDBFilePath, env->programFile("old.pg9"));
        }
        forms::DestroyAll();
        ResetProgramState();
        QFile::remove(env->programFile("old.pg9"));
        ScriptedBoxes boxes;
        frmTerminal *t = StartProgram<frmXJSplash>();
        QCOMPARE(t->StatusBar1->panelText(1), QStringLiteral("No Database Loaded"));
        QCOMPARE(Run.sDBFileName, QByteArray("old.pg9"));
        for (const PagerGroupRec &g : DB.PagerGroups)
            QVERIFY(g[GrpID].isEmpty());
    }

    void splashTimerHandsOverAfterTenSeconds()
    {
        SetTimeScale(0.002); // ten seconds become 20 ms
        ScriptedBoxes boxes;
        frmTerminal *t = StartProgram<frmXJSplash>();
        QVERIFY(forms::IsLoaded<frmXJSplash>());
        QTRY_VERIFY_WITH_TIMEOUT(!forms::IsLoaded<frmXJSplash>(), 3000);
        QVERIFY(t->isVisible());
    }

    // A hand-over asked for while start-up waits on a box comes after the load, not inside.
    void handOverDuringStartUpWaitsForTheLoad()
    {
        SetTimeScale(0.002);
        env->otherCopyRunning = true;
        ScriptedBoxes boxes;
        bool splashLoadedInside = false;
        boxes.expect(QStringLiteral("already running")).then([&] {
            QTest::qWait(100); // the splash's ten seconds pass while the box is up
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
        QVERIFY(forms::IsLoaded<frmSplash>());
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
        QVERIFY(!forms::IsLoaded<frmXJSplash>());
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
