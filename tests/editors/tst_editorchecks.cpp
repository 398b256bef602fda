// The families and the groups editors open side by side: while one editor's check runs under
// the cancel window, the other editor's OK (and its own) does nothing, so the running check
// keeps its cancel window until it ends.

#include "app/apptest.h"

#include "editors/frmCfgFam.h"
#include "editors/frmCfgGroup.h"
#include "editors/grouprecord.h"
#include "editors/familiescheck.h"
#include "editors/groupscheck.h"
#include "encoder/frmCancelSend.h"
#include "model/database.h"
#include "support/scriptedboxes.h"

#include "editors/editortest.h"

#include <QtWidgets>

using namespace editortest;

namespace {

// What an OK pressed inside the running check left behind, noted from inside the check's
// waits and compared once the check has returned.
struct PressedInside {
    int presses = 0;
    bool cancelWindowStayed = false;
    bool otherEditorStayed = false;
    bool otherStillEdited = false;
    bool ownEditorStayed = false;
};

} // namespace

class TestEditorChecks : public QObject {
    Q_OBJECT

    std::unique_ptr<AppTestEnv> env;
    std::unique_ptr<ScriptedBoxes> noBoxes; // a box no test scripts fails the test
    frmTerminal *t = nullptr;

    // Both editors open, each with an edit to check. The families and groups are sound, so
    // each check passes and closes its editor when it runs to the end.
    void openBoth(frmCfgFam *&fam, frmCfgGroup *&grp)
    {
        fam = OpenFromToolbar<frmCfgFam>(t, "sequence");
        grp = OpenFromToolbar<frmCfgGroup>(t, "group");
        bFamiliesEdited = true;
        bGroupsEdited = true;
    }

    // Presses `other`'s OK, then `own`'s OK, once the running check shows its cancel window.
    void pressInside(QTimer &presser, PressedInside &seen, QPushButton *other, QPushButton *own,
                     const std::function<bool()> &otherEditorOpen, const std::function<bool()> &otherEdited,
                     const std::function<bool()> &ownEditorOpen)
    {
        connect(&presser, &QTimer::timeout, this, [&seen, &presser, other, own, otherEditorOpen, otherEdited, ownEditorOpen] {
            QPointer<frmCancelSend> cancel = forms::Find<frmCancelSend>();
            if (!cancel || !cancel->isVisible())
                return;
            presser.stop();
            ++seen.presses;
            other->click();
            own->click();
            seen.cancelWindowStayed = cancel && cancel->isVisible() && !cancel->isUnloaded();
            seen.otherEditorStayed = otherEditorOpen();
            seen.otherStillEdited = otherEdited();
            seen.ownEditorStayed = ownEditorOpen();
        });
        presser.start(0);
    }

private slots:
    void initTestCase() { IsolateSettingsForTestRun(); }
    void init()
    {
        env = std::make_unique<AppTestEnv>();
        noBoxes = std::make_unique<ScriptedBoxes>();
        t = StartAndShowMainWindow<frmXJSplash>();
        QVERIFY(t && t->isVisible());
        ResetDatabase();
        bFamiliesEdited = bFamFieldsAdjusted = bGroupsEdited = bPagerIDsAdjusted = false;
        DB.Families[0] = {"1", "1000000", "5", "A", "3", "010", "0100", "00", "00", "YES"}; // pager IDs 100..109
        DB.Families[1] = {"1", "1000100", "5", "A", "3", "010", "0200", "00", "00", "YES"}; // pager IDs 200..209
        for (int i = 0; i < 6; ++i)
            DB.PagerGroups[size_t(i)] = group(QByteArray::number(20 + i).constData(), "1", {"0101", "0205"});
    }
    void cleanup()
    {
        env.reset();
        noBoxes.reset();
    }

    // The families editor's OK inside the groups check: no families check starts, the groups
    // check keeps its cancel window, and the families editor stays open with its edit. Once the
    // groups check is over, the families editor's OK works again.
    void familiesOKInsideTheGroupsCheck()
    {
        frmCfgFam *fam = nullptr;
        frmCfgGroup *grp = nullptr;
        openBoth(fam, grp);
        QTimer presser;
        PressedInside seen;
        pressInside(
            presser, seen, fam->cmdOK, grp->cmdOK, [] { return forms::IsLoaded<frmCfgFam>(); },
            [] { return bFamiliesEdited; }, [] { return forms::IsLoaded<frmCfgGroup>(); });
        grp->cmdOK->click();
        presser.stop();

        QCOMPARE(seen.presses, 1);
        QVERIFY(seen.cancelWindowStayed);
        QVERIFY(seen.otherEditorStayed && seen.otherStillEdited);
        QVERIFY(seen.ownEditorStayed);
        // The groups check ran to its end alone and closed its editor and the cancel window.
        QVERIFY(!forms::IsLoaded<frmCfgGroup>() && !forms::IsLoaded<frmCancelSend>());
        QVERIFY(!bGroupsEdited && !Run.bEditorCheckRunning && Run.busy == Busy::Idle);
        QVERIFY(forms::IsLoaded<frmCfgFam>() && fam->isVisible() && bFamiliesEdited);

        fam->cmdOK->click();
        QVERIFY(!forms::IsLoaded<frmCfgFam>() && !bFamiliesEdited && Run.bDBCheckOK);
    }

    // The other way round: the groups editor's OK inside the families check.
    void groupsOKInsideTheFamiliesCheck()
    {
        frmCfgFam *fam = nullptr;
        frmCfgGroup *grp = nullptr;
        openBoth(fam, grp);
        QTimer presser;
        PressedInside seen;
        pressInside(
            presser, seen, grp->cmdOK, fam->cmdOK, [] { return forms::IsLoaded<frmCfgGroup>(); },
            [] { return bGroupsEdited; }, [] { return forms::IsLoaded<frmCfgFam>(); });
        fam->cmdOK->click();
        presser.stop();

        QCOMPARE(seen.presses, 1);
        QVERIFY(seen.cancelWindowStayed);
        QVERIFY(seen.otherEditorStayed && seen.otherStillEdited);
        QVERIFY(seen.ownEditorStayed);
        QVERIFY(!forms::IsLoaded<frmCfgFam>() && !forms::IsLoaded<frmCancelSend>());
        QVERIFY(!bFamiliesEdited && !Run.bEditorCheckRunning && Run.busy == Busy::Idle);
        QVERIFY(forms::IsLoaded<frmCfgGroup>() && grp->isVisible() && bGroupsEdited);

        grp->cmdOK->click();
        QVERIFY(!forms::IsLoaded<frmCfgGroup>() && !bGroupsEdited && Run.bDBCheckOK);
    }
};

QTEST_MAIN(TestEditorChecks)
#include "tst_editorchecks.moc"
