// A pager group and a canned message edited in their windows go everywhere the database goes:
// into a "*.pg9" file and back, into the simulated encoder and back by a read, and come back
// with the same values (the encoder writes IDs and message numbers zero-filled).

#include "app/apptest.h"
#include "support/simencoder.h"
#include "editors/frmCfgGroup.h"
#include "editors/frmCfgMsg.h"
#include "model/database.h"
#include "editors/grouprecord.h"
#include "support/scriptedboxes.h"

#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QPushButton>
#include <QTableWidget>

namespace {

void clickCell(frmCfgGroup *f, int row, int col)
{
    QTableWidget *g = f->fgGroups;
    QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, g->visualRect(g->model()->index(row - 1, col - 1)).center());
}

void type(frmCfgGroup *f, int row, int col, const QString &keys)
{
    clickCell(f, row, col);
    QTest::keyClicks(f->txtGrp, keys);
}

// The fields the encoder keeps, numbers by value.
QByteArrayList values(const PagerGroupRec &g)
{
    QByteArrayList fields;
    for (int i = GrpID; i <= GrpPagerID20; ++i) {
        bool number = false;
        const int v = g[i].toInt(&number);
        fields << (number ? QByteArray::number(v) : g[i]);
    }
    return fields;
}

} // namespace

class TestEditedGroup : public QObject {
    Q_OBJECT

    std::unique_ptr<AppTestEnv> env;
    std::unique_ptr<SimEncoder> encoder;

private slots:
    void initTestCase() { IsolateSettingsForTestRun(); }
    void init()
    {
        env = std::make_unique<AppTestEnv>();
        SetTimeScale(0.2);
    }
    void cleanup()
    {
        forms::DestroyAll();
        encoder.reset();
        env.reset();
    }

    void anEditedGroupAndMessageComeBackFromTheFileAndTheEncoder()
    {
        encoder = std::make_unique<SimEncoder>(encsim::DeviceState::factory(9), encsim::Mode::Programming,
                                               std::vector<std::pair<std::string, std::string>>{{"pacing", "off"}});
        QVERIFY2(encoder->ok(), qPrintable(encoder->error()));
        frmTerminal *t = StartAndShowMainWindow<frmXJSplash>();
        QVERIFY(t && t->isVisible());
        QVERIFY(!Link().setPortNumber(1) && !Link().setLine("9600,n,8,1") &&
                !Link().openPort());
        Run.sFirmwareVer = "9.7";
        Run.sTestPort = "1";
        Run.bV7Encoder = false;
        ResetDatabase();
        DB.Families[0] = {"1", "1000000", "5", "A", "3", "050", "0100", "00", "00", "YES"};
        ScriptedBoxes boxes;

        // Message 3, typed.
        t->Toolbar1->ButtonByKey(QStringLiteral("message"))->trigger();
        frmCfgMsg *m = forms::Find<frmCfgMsg>();
        QVERIFY(m);
        QTest::keyClick(m->txtMsg, Qt::Key_Down);
        QTest::keyClick(m->txtMsg, Qt::Key_Down);
        QTest::keyClicks(m->txtMsg, QStringLiteral("Evacuate, stairs B"));
        QTest::mouseClick(m->cmdOK, Qt::LeftButton);
        QVERIFY(!forms::IsLoaded<frmCfgMsg>());

        // Group 2: its pager IDs first, then the group ID, a reference and a timer with
        // message 3.
        t->Toolbar1->ButtonByKey(QStringLiteral("group"))->trigger();
        frmCfgGroup *f = forms::Find<frmCfgGroup>();
        QVERIFY(f);
        type(f, 4, 2, QStringLiteral("101"));
        type(f, 5, 2, QStringLiteral("0102"));
        type(f, 6, 2, QStringLiteral("149"));
        type(f, frmCfgGroup::RowGroupID, 2, QStringLiteral("12"));
        type(f, frmCfgGroup::RowReference, 2, QStringLiteral("OPS"));
        boxes.expect(QStringLiteral("Are You Sure You Want to Enable Timer Mode?"), MsgAnswer::Yes);
        clickCell(f, frmCfgGroup::RowTimerActive, 2);
        clickCell(f, frmCfgGroup::RowTimerMsg, 2);
        f->cmbMsg->showPopup();
        f->cmbMsg->view()->setCurrentIndex(f->cmbMsg->view()->model()->index(3, 0));
        QTest::keyClick(f->cmbMsg->view(), Qt::Key_Return);
        QTest::mouseClick(f->cmdOK, Qt::LeftButton);
        QVERIFY(!forms::IsLoaded<frmCfgGroup>());
        QVERIFY(Run.bDBCheckOK && boxes.verifyAllShown());

        const PagerGroupRec edited = group("12", "1", {"101", "0102", "149"}, "YES", "1", "3", "OPS");
        QCOMPARE(DB.PagerGroups[1], edited);
        QCOMPARE(DB.CannedMsgs[2], QByteArray("Evacuate, stairs B"));
        const PagerDatabase typed = DB;

        // Saved and opened again.
        const QString path = QDir(env->programFolder()).filePath(QStringLiteral("groups.pg9"));
        env->dialogAnswers.push_back(path);
        t->mnuSaveAs_Click();
        ResetDatabase();
        env->dialogAnswers.push_back(path);
        t->mnuOpenFile_Click();
        for (int i = 0; i < GroupCount; ++i)
            QCOMPARE(values(DB.PagerGroups[i]), values(typed.PagerGroups[i]));
        QCOMPARE(DB.PagerGroups[1][GrpDefined] + DB.PagerGroups[1][GrpReference], QByteArray("YESOPS"));
        QCOMPARE(DB.CannedMsgs, typed.CannedMsgs);

        // Programmed into the encoder and read back into an emptied database.
        boxes.expect(QStringLiteral("You are About to Program the Encoder"), MsgAnswer::Yes);
        t->mnuWriteDB_Click();
        QVERIFY(boxes.verifyAllShown());
        QVERIFY(Run.bDBMatchesEncoder);
        ResetDatabase();
        t->mnuReadDB_Click();
        QVERIFY(Run.bDBMatchesEncoder);
        for (int i = 0; i < GroupCount; ++i)
            QCOMPARE(values(DB.PagerGroups[i]), values(typed.PagerGroups[i]));
        QCOMPARE(DB.PagerGroups[1][GrpID] + DB.PagerGroups[1][GrpTimerMsg], QByteArray("001203"));
        QCOMPARE(DB.CannedMsgs, typed.CannedMsgs);
        const encsim::Stats s = encoder->sim().stats();
        QCOMPARE(s.refusals + s.warnings + s.violations, 0);
    }
};

QTEST_MAIN(TestEditedGroup)
#include "tst_editedgroup.moc"
