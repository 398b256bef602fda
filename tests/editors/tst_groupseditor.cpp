// The pager groups editor driven through its real window: clicks on the transposed grid, keys
// into the text box, the timer question and the message list, OK with the completeness pass,
// the groups check under the cancel window and the COMP1 test, closing, and what the main
// window shows of the edits.

#include "app/apptest.h"

#include "editors/frmCfgGroup.h"
#include "editors/grouprecord.h"
#include "editors/groupscheck.h"
#include "encoder/frmCancelSend.h"
#include "model/changes.h"
#include "model/database.h"
#include "support/scriptedboxes.h"

#include "editors/editortest.h"

#include <QtWidgets>

using namespace editortest;

namespace {

const QString TimerQuestion = QStringLiteral("Timer Function Causes Automatic Paging Every 2 Minutes");
const QString Incomplete = QStringLiteral("Pager Group Definition is Incomplete\rAs Shown by Magenta Fields\r"
                                          "Are You Sure You Want to Exit?");

using G = frmCfgGroup;

// The texts of the rows given, "|" between them.
QString texts(G *f, int col, std::initializer_list<int> rows)
{
    QStringList t;
    for (int r : rows)
        t << f->Cell(r, col)->text();
    return t.join(QLatin1Char('|'));
}

QString backs(G *f, int col, std::initializer_list<int> rows)
{
    return BackgroundLetters(rows, [f, col](int row) { return f->Cell(row, col); });
}

void clickCell(G *f, int row, int col)
{
    QTableWidget *g = f->fgGroups;
    QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, g->visualRect(g->model()->index(row - 1, col - 1)).center());
}

void type(G *f, int row, int col, const QString &keys) // over what the cell holds
{
    clickCell(f, row, col);
    QTest::keyClick(f->txtGrp, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(f->txtGrp, Qt::Key_Delete);
    QTest::keyClicks(f->txtGrp, keys);
}

void choose(G *f, int col, const QString &item)
{
    clickCell(f, G::RowTimerMsg, col);
    Choose(f->cmbMsg, item);
}

} // namespace

class TestGroupsEditor : public QObject, EditorTest {
    Q_OBJECT

    G *openEditor() { return OpenFromToolbar<G>(t, "group"); }

    bool markedModified() const
    {
        return !Run.bDBMatchesEncoder && t->StatusBar1->panelText(1) == Modified && !t->Toolbar1->Buttons(8)->isEnabled();
    }

private slots:
    void initTestCase() { IsolateSettingsForTestRun(); }
    void init()
    {
        QVERIFY(startEditing());
        DB.Families[0] = {"1", "1000000", "5", "A", "3", "010", "0100", "00", "00", "YES"}; // pager IDs 100..109
        DB.CannedMsgs[2] = "Third message";
        ShowDatabaseMatchesEncoder(t);
    }
    void cleanup() { endProgram(); }

    void theGridShowsTheGroupsWhenTheWindowLoads()
    {
        DB.PagerGroups[0] = group("0042", "1", {"0101", "0000", "0007"}, "YES", "1", "03", "OPS");
        DB.PagerGroups[1] = group("0012", "1", {"0101"}, "", "0", "00", "REF");
        DB.PagerGroups[2] = group("0013", "0", {"0102"}, "YES", "1", "00");
        DB.PagerGroups[3] = group("0014", "1", {}, "YES");
        DB.PagerGroups[4] = group("0000", "1", {"12a"}, "YES", "1", "None");
        G *f = openEditor();
        const auto all = {int(G::RowReference), int(G::RowActive), int(G::RowGroupID), 4, 5, 6, 23, 24, 25};
        QCOMPARE(texts(f, 1, all), QStringLiteral("OPS|ON|42|101||7||ON|03"));
        QCOMPARE(backs(f, 1, all), QStringLiteral("IGIIIIIGI"));
        QCOMPARE(DB.PagerGroups[0][GrpID], QByteArray("42"));
        // Not in use: OFF whatever Active holds, only the reference shown.
        QCOMPARE(texts(f, 2, all), QStringLiteral("REF|OFF|||||||"));
        QCOMPARE(backs(f, 2, all), QStringLiteral("DRDDDDDDD"));
        // Off: its values on light grey; a timer without a message goes off.
        QCOMPARE(texts(f, 3, all), QStringLiteral("|OFF|13|102||||OFF|None"));
        QCOMPARE(backs(f, 3, all), QStringLiteral("gRgggggRg"));
        QCOMPARE(DB.PagerGroups[2][GrpTimerActive], QByteArray("0"));
        // On without a pager ID: incomplete.
        QCOMPARE(backs(f, 4, {3, 4, 23, 24}), QStringLiteral("IMMR"));
        QCOMPARE(texts(f, 5, {3, 4, 24, 25}), QStringLiteral("|12a|ON|None"));
        QVERIFY(!f->txtGrp->isVisible() && !f->cmbMsg->isVisible() && f->Row() == 3 && f->Col() == 1);
        QVERIFY(Run.bDBMatchesEncoder && !bGroupsEdited);
        QCOMPARE(f->windowTitle(), QStringLiteral(" Pager Groups Setup"));
    }

    void aClickOnActiveSwitchesTheGroup()
    {
        DB.PagerGroups[2] = group("0012", "0", {"0101"}, "");
        DB.PagerGroups[3] = group("0013", "1", {"0102"});
        G *f = openEditor();

        // A new group: on, but incomplete.
        clickCell(f, G::RowActive, 2);
        QCOMPARE(DB.PagerGroups[1][GrpActive] + DB.PagerGroups[1][GrpDefined], QByteArray("1"));
        QCOMPARE(backs(f, 2, {1, 2, 3, 4, 24, 25}), QStringLiteral("MGMMRM"));
        QVERIFY(markedModified() && bGroupsEdited && f->Col() == 0 && !f->txtGrp->isVisible());
        // Off again, never in use: blank and grey.
        clickCell(f, G::RowActive, 2);
        QCOMPARE(texts(f, 2, {2, 24, 25}) + backs(f, 2, {1, 3, 25}), QStringLiteral("OFF||DDD"));

        // A group with what it needs becomes in use, and shows what it holds.
        clickCell(f, G::RowActive, 3);
        QCOMPARE(DB.PagerGroups[2][GrpDefined], QByteArray("YES"));
        QCOMPARE(texts(f, 3, {2, 3, 4, 24, 25}) + backs(f, 3, {1, 3, 4}), QStringLiteral("ON|12|101|OFF|NoneIII"));
        // Off, a group in use keeps its values on light grey.
        clickCell(f, G::RowActive, 4);
        QCOMPARE(texts(f, 4, {2, 3, 4}) + backs(f, 4, {2, 3, 4}), QStringLiteral("OFF|13|102Rgg"));
        QCOMPARE(DB.PagerGroups[3][GrpActive], QByteArray("0"));
    }

    // Every keystroke is stored; group and pager IDs only when they are digits above 0.
    void typedValuesFollowTheirRowsRules()
    {
        ClearDatabase(); // a fresh start: every field empty
        DB.Families[0] = {"1", "1000000", "5", "A", "3", "010", "0100", "00", "00", "YES"};
        G *f = openEditor();

        // Typing into a group switches it on and gives its empty fields the empty group's values.
        type(f, 4, 1, QStringLiteral("5"));
        PagerGroupRec expected = group("0000", "1", {"5"}, "");
        QCOMPARE(DB.PagerGroups[0], expected);
        QCOMPARE(backs(f, 1, {1, 2, 3, 4, 23, 24, 25}), QStringLiteral("MGMIIRM"));
        QVERIFY(markedModified());

        const std::pair<const char *, const char *> typed[] = {
            {"0", "0000"}, {"-5", "0000"}, {"ab", "0000"}, {" 1", "0000"}, {"1.5", "0000"},
            {"12", "12"},  {"0012", "0012"}};
        for (const auto &[keys, stored] : typed) {
            type(f, 4, 1, QString::fromLatin1(keys));
            QCOMPARE(DB.PagerGroups[0][GrpPagerID1], QByteArray(stored));
            QCOMPARE(f->Cell(4, 1)->text(), QByteArray(stored) == "0000" ? QString() : QString::fromLatin1(keys));
        }
        type(f, G::RowGroupID, 1, QStringLiteral("+7"));
        QCOMPARE(DB.PagerGroups[0][GrpID], QByteArray("0000"));
        type(f, G::RowGroupID, 1, QStringLiteral("77"));
        type(f, G::RowReference, 1, QStringLiteral("ab\"c"));
        QCOMPARE(DB.PagerGroups[0][GrpID] + '/' + DB.PagerGroups[0][GrpReference], QByteArray("77/ab\"c"));

        // A pager ID typed into a group with a group ID puts it in use; clearing its only one
        // takes it out again.
        type(f, 5, 1, QStringLiteral("101"));
        QCOMPARE(DB.PagerGroups[0][GrpDefined], QByteArray("YES"));
        type(f, 4, 1, QString());
        type(f, 5, 1, QString());
        QCOMPARE(DB.PagerGroups[0][GrpDefined], QByteArray());
    }

    void theTimerAsksAndTakesItsMessageFromTheList()
    {
        DB.PagerGroups[0] = group("0000", "0", {"0101"}, "");
        DB.PagerGroups[1] = group("0012", "1", {"0101"}, "YES", "1", "03");
        G *f = openEditor();
        clickCell(f, G::RowActive, 1); // on, incomplete: no group ID, no timer

        ScriptedBoxes boxes;
        boxes.expect(TimerQuestion, MsgAnswer::No).title(QStringLiteral("Periodic Paging Warning"))
            .buttons(MsgButtons::YesNo).icon(MsgIcon::Question).defaultButton(1);
        clickCell(f, G::RowTimerActive, 1);
        QCOMPARE(DB.PagerGroups[0][GrpTimerActive], QByteArray("0"));
        QCOMPARE(texts(f, 1, {24}), QStringLiteral("OFF"));
        QVERIFY(markedModified()); // asking was an edit already
        boxes.expect(TimerQuestion, MsgAnswer::Yes);
        clickCell(f, G::RowTimerActive, 1);
        QVERIFY(boxes.verifyAllShown());
        QCOMPARE(texts(f, 1, {24, 25}) + backs(f, 1, {24, 25}), QStringLiteral("ON|NoneGM"));

        // A click on "None" stores "no message" at once (never the word); a message chosen with
        // the timer on puts the group in use.
        ShowDatabaseMatchesEncoder(t);
        clickCell(f, G::RowTimerMsg, 1);
        QVERIFY(f->cmbMsg->isVisible() && f->focusWidget() == f->cmbMsg && markedModified());
        QCOMPARE(DB.PagerGroups[0][GrpTimerMsg], QByteArray("00"));
        choose(f, 1, QStringLiteral("3"));
        QCOMPARE(DB.PagerGroups[0][GrpTimerMsg] + DB.PagerGroups[0][GrpDefined], QByteArray("3YES"));
        QCOMPARE(f->lblMsg->text(), QStringLiteral("Message: Third message"));
        QCOMPARE(backs(f, 1, {4, 25}), QStringLiteral("II"));
        QCOMPARE(DB.PagerGroups[0][GrpActive], QByteArray("1"));

        // The encoder's "03" is message 3 in the list; switching the timer off asks nothing.
        clickCell(f, G::RowTimerMsg, 2);
        QCOMPARE(f->cmbMsg->currentText(), QStringLiteral("3"));
        clickCell(f, G::RowTimerActive, 2);
        QCOMPARE(DB.PagerGroups[1][GrpTimerActive] + texts(f, 2, {24}).toLatin1() + backs(f, 2, {24, 25}).toLatin1(),
                 QByteArray("0OFFRI"));
    }

    // Group ID and the pager IDs form the keys' cycle; a key never lands on a switch.
    void keysCycleThroughTheIDRows()
    {
        G *f = openEditor();
        clickCell(f, G::RowGroupID, 1);
        const std::pair<Qt::Key, std::pair<int, int>> moves[] = {
            {Qt::Key_Left, {23, 10}}, {Qt::Key_Tab, {3, 1}},     {Qt::Key_Up, {23, 1}},  {Qt::Key_Down, {3, 1}},
            {Qt::Key_Return, {4, 1}}, {Qt::Key_Backtab, {5, 1}}, {Qt::Key_Left, {4, 1}}, {Qt::Key_Enter, {5, 1}}};
        for (const auto &[key, cell] : moves) {
            QTest::keyClick(f->txtGrp, key);
            QVERIFY2(TextBoxOver(f, cell.first, cell.second), qPrintable(QStringLiteral("%1,%2").arg(f->Row()).arg(f->Col())));
        }
        clickCell(f, G::RowPagerID20, 4);
        QTest::keyClick(f->txtGrp, Qt::Key_Right);
        QVERIFY(TextBoxOver(f, 3, 5));
        clickCell(f, G::RowReference, 6);
        QTest::keyClick(f->txtGrp, Qt::Key_Tab);
        QVERIFY(TextBoxOver(f, 3, 6));
        // From a switch toggled by a click, the keys go on in its group.
        clickCell(f, G::RowActive, 7);
        QTest::keyClick(f->fgGroups, Qt::Key_Down);
        QVERIFY(TextBoxOver(f, 3, 7));
        clickCell(f, G::RowTimerMsg, 8);
        QTest::keyClick(f->cmbMsg, Qt::Key_Up);
        QVERIFY(TextBoxOver(f, 23, 8));
        QCOMPARE(DB.PagerGroups[5][GrpActive] + DB.PagerGroups[7][GrpTimerActive], QByteArray("00"));
        QTest::keyClick(f->txtGrp, Qt::Key_F1);
        QCOMPARE(env->shellOpened, QStringList({HelpFile}));
    }

    void okSettlesChecksAndCloses()
    {
        DB.PagerGroups[3] = group("0050", "1", {"0500", "0102"});
        G *f = openEditor();
        // Without an edit OK closes without a check.
        QTest::mouseClick(f->cmdOK, Qt::LeftButton);
        QVERIFY(!forms::IsLoaded<G>());
        QCOMPARE(DB.PagerGroups[3][GrpPagerID1], QByteArray("0500"));

        // Pager IDs typed before the group ID: the group is in use all the same. The check
        // clears the pager IDs no family holds, says so once and keeps the window open.
        f = openEditor();
        type(f, 4, 1, QStringLiteral("101"));
        type(f, 5, 1, QStringLiteral("150"));
        type(f, G::RowGroupID, 1, QStringLiteral("12"));
        ShowDatabaseMatchesEncoder(t);
        ScriptedBoxes boxes;
        boxes.expect(QStringLiteral("One or More Pager ID Fields Were Adjusted\rto Correct Non-Existent Pager IDs\r"
                                    "as Indicated by Blue Fields"))
            .title(QStringLiteral("Non-Existent Pager IDs")).buttons(MsgButtons::OK).icon(MsgIcon::Exclamation);
        Link().cancel(); // left over from an earlier operation: the check does not stop for it
        QTest::mouseClick(f->cmdOK, Qt::LeftButton);
        QVERIFY(boxes.verifyAllShown());
        QCOMPARE(boxes.shown().size(), 1);
        QVERIFY(f->isVisible() && !forms::IsLoaded<frmCancelSend>() && !HourglassShown());
        QVERIFY(Run.bDBCheckOK && !bGroupsEdited && !bPagerIDsAdjusted && markedModified());
        QCOMPARE(texts(f, 1, {4, 5}) + backs(f, 1, {4, 5}), QStringLiteral("101|IC"));
        QCOMPARE(DB.PagerGroups[3][GrpPagerID1], QByteArray("0000"));
        QTest::mouseClick(f->cmdOK, Qt::LeftButton);
        QVERIFY(!forms::IsLoaded<G>());
        QCOMPARE(DB.PagerGroups[0], group("12", "1", {"101"}));

        // An incomplete group asks; No keeps the window, Yes erases the group. The families
        // editor's pending question is not this window's.
        frmCfgFam::bIncompleteRecord = true;
        f = openEditor();
        type(f, G::RowGroupID, 2, QStringLiteral("20"));
        boxes.expect(Incomplete, MsgAnswer::No).title(QStringLiteral("Incomplete Database Definition"))
            .buttons(MsgButtons::YesNo).icon(MsgIcon::Question);
        boxes.expect(Incomplete, MsgAnswer::Yes);
        QTest::mouseClick(f->cmdOK, Qt::LeftButton);
        QVERIFY(f->isVisible());
        QTest::mouseClick(f->cmdOK, Qt::LeftButton);
        QVERIFY(boxes.verifyAllShown() && !forms::IsLoaded<G>() && frmCfgFam::bIncompleteRecord);
        QCOMPARE(DB.PagerGroups[1], group("0000", "0", {}, ""));

        // The close box settles nothing: a group not in use is emptied without a question.
        f = openEditor();
        clickCell(f, G::RowActive, 3);
        f->close();
        QVERIFY(!forms::IsLoaded<G>());
        QCOMPARE(DB.PagerGroups[2][GrpActive], QByteArray("0"));
    }

    void aPortOnComp1NeedsGroupOnesFirstPagerID()
    {
        EncoderSettings.sPort1Protocol = EncoderSettings.sPort2Protocol = "COMP1";
        DB.PagerGroups[0] = group("0012", "0", {"0101"}, "YES", "0", "00", "R");
        G *f = openEditor();
        clickCell(f, G::RowReference, 1); // an edit that changes nothing yet
        QVERIFY(Run.bDBMatchesEncoder);
        ScriptedBoxes boxes;
        boxes.expect(QStringLiteral("COMP1 Protocol is Selected and Requires a Default Pager Assignment\r"
                                    "The First Pager ID in the First Pager Group is Used as the Default Pager ID\r"
                                    "The Protocol has been set to TAP"))
            .title(QStringLiteral("COMP1 Pager ID Not Defined")).buttons(MsgButtons::OK).icon(MsgIcon::None);
        QTest::mouseClick(f->cmdOK, Qt::LeftButton);
        QVERIFY(boxes.verifyAllShown() && f->isVisible());
        QCOMPARE(EncoderSettings.sPort1Protocol + '/' + EncoderSettings.sPort2Protocol, QByteArray("TAP/COMP1"));
        QVERIFY(markedModified());
        // The check has run: the next OK closes without the test.
        QTest::mouseClick(f->cmdOK, Qt::LeftButton);
        QVERIFY(!forms::IsLoaded<G>());
    }

    // While the encoder is read or written the editor takes no input; a replaced database is
    // drawn afresh once the transfer is over, its own edits never are.
    void noEditsWhileATransferRunsAndAReplacedDatabaseIsDrawn()
    {
        G *f = openEditor();
        clickCell(f, 4, 1);
        auto filling = std::make_unique<BusyScope>(Busy::FillingDatabase);
        QTest::keyClicks(f->txtGrp, QStringLiteral("5"));
        QCOMPARE(DB.PagerGroups[0][GrpPagerID1], QByteArray("0000"));
        QTRY_VERIFY(!f->fgGroups->isEnabled() && !f->cmdOK->isEnabled() && !f->txtGrp->isVisible());
        QVERIFY(Run.bDBMatchesEncoder && !bGroupsEdited);

        DB.PagerGroups[0] = group("0012", "1", {"0101"});
        NotifyModelChanged(ModelChange::DatabaseReplaced);
        QCOMPARE(texts(f, 1, {3}), QString());
        filling.reset();
        QTRY_VERIFY(f->fgGroups->isEnabled() && f->cmdOK->isEnabled());
        QTRY_COMPARE(texts(f, 1, {2, 3, 4}), QStringLiteral("ON|12|101"));

        // The marks of an edit stay: a group switched on without a pager ID keeps its magenta
        // when one is typed (a full drawing would make it ivory).
        clickCell(f, G::RowActive, 2);
        type(f, 4, 2, QStringLiteral("101"));
        QCOMPARE(backs(f, 2, {4, 5}), QStringLiteral("MM"));
    }
};

QTEST_MAIN(TestGroupsEditor)
#include "tst_groupseditor.moc"
