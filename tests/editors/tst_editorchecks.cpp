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

class TestEditorChecks : public QObject, EditorTest {
    Q_OBJECT

private slots:
    void initTestCase() { IsolateSettingsForTestRun(); }
    void init()
    {
        QVERIFY(startEditing());
        DB.Families[0] = {"1", "1000000", "5", "A", "3", "010", "0100", "00", "00", "YES"}; // pager IDs 100..109
        DB.Families[1] = {"1", "1000100", "5", "A", "3", "010", "0200", "00", "00", "YES"}; // pager IDs 200..209
        for (int i = 0; i < 6; ++i)
            DB.PagerGroups[size_t(i)] = group(QByteArray::number(20 + i).constData(), "1", {"0101", "0205"});
    }
    void cleanup() { endProgram(); }

    // Both editors open with an edit to check; the families and groups are sound, so a check
    // that runs to its end closes its editor. Inside the first editor's check (at its cancel
    // window) the other editor's OK and its own are pressed: no second check starts, the
    // cancel window stays, the other editor stays open with its edit. Afterwards the other
    // editor's OK works again.
    void noSecondCheckInsideTheFirst_data()
    {
        QTest::addColumn<bool>("groupsFirst");
        QTest::newRow("families OK inside the groups check") << true;
        QTest::newRow("groups OK inside the families check") << false;
    }
    void noSecondCheckInsideTheFirst()
    {
        QFETCH(bool, groupsFirst);
        frmCfgFam *fam = OpenFromToolbar<frmCfgFam>(t, "sequence");
        frmCfgGroup *grp = OpenFromToolbar<frmCfgGroup>(t, "group");
        bFamiliesEdited = bGroupsEdited = true;
        QPushButton *first = groupsFirst ? grp->cmdOK : fam->cmdOK;
        QPushButton *other = groupsFirst ? fam->cmdOK : grp->cmdOK;
        const auto otherOpenAndEdited = [groupsFirst] {
            return groupsFirst ? forms::IsLoaded<frmCfgFam>() && bFamiliesEdited
                               : forms::IsLoaded<frmCfgGroup>() && bGroupsEdited;
        };

        // Noted from inside the check's waits, compared once it has returned.
        int presses = 0;
        bool cancelWindowStayed = false, otherStayed = false, firstStayed = false;
        QTimer presser;
        connect(&presser, &QTimer::timeout, this, [&] {
            QPointer<frmCancelSend> cancel = forms::Find<frmCancelSend>();
            if (!cancel || !cancel->isVisible())
                return;
            presser.stop();
            ++presses;
            other->click();
            first->click();
            cancelWindowStayed = cancel && cancel->isVisible() && !cancel->isUnloaded();
            otherStayed = otherOpenAndEdited();
            firstStayed = groupsFirst ? forms::IsLoaded<frmCfgGroup>() : forms::IsLoaded<frmCfgFam>();
        });
        presser.start(0);
        first->click();
        presser.stop();

        QCOMPARE(presses, 1);
        QVERIFY(cancelWindowStayed);
        QVERIFY(otherStayed && firstStayed);
        // The first check ran to its end alone and closed its editor and the cancel window.
        QVERIFY(!forms::IsLoaded<frmCancelSend>() && !Run.bEditorCheckRunning && Run.busy == Busy::Idle);
        QVERIFY(groupsFirst ? !forms::IsLoaded<frmCfgGroup>() && !bGroupsEdited
                            : !forms::IsLoaded<frmCfgFam>() && !bFamiliesEdited);
        QVERIFY(otherOpenAndEdited());

        other->click();
        QVERIFY(!forms::IsLoaded<frmCfgFam>() && !forms::IsLoaded<frmCfgGroup>());
        QVERIFY(!bFamiliesEdited && !bGroupsEdited && Run.bDBCheckOK);
    }
};

QTEST_MAIN(TestEditorChecks)
#include "tst_editorchecks.moc"
