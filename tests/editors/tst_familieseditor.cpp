// The pager families editor driven through its real window: clicks on the grid, keys into the
// text box, choices from the drop-down lists, OK with the families check under the cancel
// window, closing, and what the main window shows of the edits.

#include "app/apptest.h"

#include "editors/familiescheck.h"
#include "encoder/frmCancelSend.h"
#include "model/database.h"
#include "support/scriptedboxes.h"

#include "editors/editortest.h"

#include <QtWidgets>

using namespace editortest;

namespace {


using F = frmCfgFam;

FamilyRec family(const char *active, const char *cap, const char *rate, const char *type, const char *func,
                 const char *qty, const char *id, const char *prefix = "00", const char *defined = "YES")
{
    return {active, cap, rate, type, func, qty, id, prefix, "00", defined};
}

QString text(F *f, int row, int col) { return f->Cell(row, col)->text(); }
QStringList rowTexts(F *f, int row)
{
    QStringList texts;
    for (int c = F::ColActive; c < F::ColumnCount; ++c)
        texts << text(f, row, c);
    return texts;
}

QString backs(F *f, int row, std::initializer_list<int> cols)
{
    return BackgroundLetters(cols, [f, row](int col) { return f->Cell(row, col); });
}

// A click as the operator makes it, on a cell or (column 0) on the family number.
void clickCell(F *f, int row, int col)
{
    QTableWidget *g = f->fgFamilies;
    g->scrollTo(g->model()->index(row - 1, qMax(col, 1) - 1));
    if (col == F::ColFamily) {
        QHeaderView *h = g->verticalHeader();
        QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, QPoint(h->width() / 2, h->sectionViewportPosition(row - 1) + 4));
        return;
    }
    QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, g->visualRect(g->model()->index(row - 1, col - 1)).center());
}

void type(F *f, int row, int col, const QString &keys) // after what the cell holds
{
    clickCell(f, row, col);
    QTest::keyClicks(f->txtFam, keys);
}

void retype(F *f, const QString &keys) // over what the text box holds
{
    QTest::keyClick(f->txtFam, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(f->txtFam, keys);
}

// Picks an item in the open list's drop-down.
void choose(QComboBox *list, const QString &item)
{
    QVERIFY(list->isVisible());
    Choose(list, item);
}

} // namespace

class TestFamiliesEditor : public QObject, EditorTest {
    Q_OBJECT

    F *openEditor() { return OpenFromToolbar<F>(t, "sequence"); }

    void expectModifiedMarking()
    {
        QVERIFY(!Run.bDBMatchesEncoder);
        QCOMPARE(t->StatusBar1->panelText(1), Modified);
        QVERIFY(!t->cmdLookup->isEnabled() && !t->mnuSendMsg->isEnabled() && !t->Toolbar1->Buttons(8)->isEnabled());
    }

private slots:
    void initTestCase() { IsolateSettingsForTestRun(); }
    void init()
    {
        QVERIFY(startEditing());
    }
    void cleanup() { endProgram(); }

    void theGridShowsTheFamiliesWhenTheWindowLoads()
    {
        DB.Families[0] = family("1", "1000000", "5", "A", "3", "010", "0100", "03");
        DB.Families[2] = family("0", "0000000", "2", "N", "0", "005", "995");
        DB.Families[3] = family("1", "12a4567", "1", "N", "7", "002", "0000");
        DB.Families[4] = family("0", "0000100", "9", "A", "1", "003", "0200", "00", "");
        DB.CannedMsgs[2] = QByteArray(100, 'm');
        F *f = openEditor();
        QCOMPARE(rowTexts(f, 1), QStringList({"ON", "10", "0100", "0109", "1000000", "1000009", "Alpha", "4", "512", "3", "None"}));
        QCOMPARE(backs(f, 1, {1, 11}), QStringLiteral("GI"));
        QCOMPARE(f->Cell(1, 6)->foreground().color(), QColor(128, 128, 128));
        // A New family: OFF on red, nothing else.
        QCOMPARE(rowTexts(f, 2), QStringList({"OFF", "", "", "", "", "", "", "", "", "", ""}));
        QCOMPARE(backs(f, 2, {1, 2}) + backs(f, 5, {2}), QStringLiteral("R.."));
        // Capcode 0000000 with a quantity becomes 1234567; an End ID longer than the Start ID.
        QCOMPARE(DB.Families[2][FamStartCap], QByteArray("1234567"));
        QCOMPARE(rowTexts(f, 3).mid(1, 5), QStringList({"5", "995", "999", "1234567", "1234571"}));
        QCOMPARE(backs(f, 3, {5}), QStringLiteral("g"));
        // A capcode that is no number becomes 0000008; unknown codes show nothing.
        QCOMPARE(DB.Families[3][FamStartCap], QByteArray("0000008"));
        QCOMPARE(rowTexts(f, 4), QStringList({"ON", "2", "", "", "0000008", "0000009", "Numeric", "", "1200", "None", "None"}));
        QCOMPARE(text(f, 5, 9), QString());
        // The window opens clicked on family 1's quantity.
        QVERIFY(TextBoxOver(f, 1, 2));
        QCOMPARE(f->txtFam->text(), QStringLiteral("10"));
        QCOMPARE(f->lblPrefix->text(), QStringLiteral("Prefix: ") + QString(100, 'm'));
        QCOMPARE(f->lblIncCapBy8->text(), QStringLiteral("Increment Capcodes by 8 Mode is OFF"));
        QVERIFY(!bFamiliesEdited && Run.bDBMatchesEncoder);
    }

    void aClickOnActiveSwitchesTheFamilyOnAndOff()
    {
        DB.Families[3] = family("1", "0000100", "5", "A", "3", "003", "0300", "2");
        DB.CannedMsgs[1] = "Second";
        EncoderSettings.bIncCapBy8 = true;
        F *f = openEditor();
        ShowDatabaseMatchesEncoder(t);

        // A New family switched on: only Active changes; the missing fields are marked.
        FamilyRec expected = DB.Families[1];
        expected[FamActive] = "1";
        clickCell(f, 2, 1);
        QCOMPARE(DB.Families[1], expected);
        QCOMPARE(rowTexts(f, 2), QStringList({"ON", "", "", "", "", "", "Alpha", "4", "512", "None", "None"}));
        QCOMPARE(backs(f, 2, {2, 3, 4, 5}), QStringLiteral("MMIM"));
        QVERIFY(f->Col() == F::ColFamily && !f->txtFam->isVisible() && bFamiliesEdited);
        expectModifiedMarking();

        // Off again, undefined: its cells empty on dark grey.
        clickCell(f, 2, 1);
        QCOMPARE(DB.Families[1][FamActive], QByteArray("0"));
        QCOMPARE(rowTexts(f, 2), QStringList({"OFF", "", "", "", "", "", "", "", "", "", ""}));
        QCOMPARE(backs(f, 2, {7}), QStringLiteral("D"));

        // On again: a missing function code and prefix get their defaults.
        DB.Families[1][FamFunc] = DB.Families[1][FamPrefix] = "";
        clickCell(f, 2, 1);
        QCOMPARE(text(f, 2, 8), QStringLiteral("4"));
        QCOMPARE(DB.Families[1][FamFunc] + DB.Families[1][FamPrefix], QByteArray("300"));

        // A defined family keeps its texts on grey; on again, End Capcode steps by 8.
        clickCell(f, 4, 1);
        QCOMPARE(backs(f, 4, {5}) + text(f, 4, 5), QStringLiteral("g0000100"));
        clickCell(f, 4, 1);
        QCOMPARE(text(f, 4, 6), QStringLiteral("0000116"));

        // A derived column opens nothing; the labels follow the clicked family.
        clickCell(f, 4, 4);
        QVERIFY(f->Col() == F::ColFamily && !f->txtFam->isVisible());
        QCOMPARE(f->lblPrefix->text() + f->lblSuffix->text(), QStringLiteral("Prefix: SecondSuffix:"));

        // The close box keeps the edits as typed and settles nothing; the groups editor's
        // incomplete records are not this window's question.
        frmCfgGroup::bIncompleteRecord = true;
        type(f, 5, 3, QStringLiteral("77"));
        f->close();
        QVERIFY(!forms::IsLoaded<F>() && frmCfgGroup::bIncompleteRecord);
        QCOMPARE(DB.Families[4][FamStartID] + DB.Families[4][FamDefined], QByteArray("77"));
    }

    void typedFieldsAreCheckedAndStoredKeystrokeByKeystroke()
    {
        F *f = openEditor();
        ShowDatabaseMatchesEncoder(t);

        // Typing into a New family switches it on with the default fields.
        type(f, 3, 2, QStringLiteral("25"));
        QCOMPARE(DB.Families[2], family("1", "0000000", "5", "A", "3", "025", "0000", "00", ""));
        QCOMPARE(rowTexts(f, 3), QStringList({"ON", "25", "", "", "", "", "Alpha", "4", "512", "None", "None"}));
        QCOMPARE(backs(f, 3, {2, 3, 5}), QStringLiteral("IMM"));
        expectModifiedMarking();

        // Every keystroke is stored; an entry out of range is marked and not stored.
        QByteArrayList stored;
        f->txtFam->clear();
        for (const char *keys : {"", "1", "2", "0"}) {
            QTest::keyClicks(f->txtFam, QString::fromLatin1(keys));
            stored << DB.Families[2][FamPagerQty];
        }
        retype(f, QStringLiteral("0"));
        stored << DB.Families[2][FamPagerQty];
        QCOMPARE(stored, QByteArrayList({"000", "001", "012", "120", "120"}));
        QCOMPARE(backs(f, 3, {2}) + text(f, 3, 2), QStringLiteral("M"));
        retype(f, QStringLiteral("5"));

        // Start ID: 1 to 8999, stored as typed; End ID as long as the Start ID.
        type(f, 3, 3, QStringLiteral("9000"));
        QCOMPARE(DB.Families[2][FamStartID], QByteArray("900"));
        QCOMPARE(text(f, 3, 3) + text(f, 3, 4), QString());
        QTest::keyClick(f->txtFam, Qt::Key_Backspace);
        QCOMPARE(text(f, 3, 4), QStringLiteral("904"));
        retype(f, QStringLiteral("12"));
        QCOMPARE(DB.Families[2][FamStartID] + '/' + text(f, 3, 4).toLatin1(), QByteArray("12/16"));

        // Start Capcode: zero-filled; below 8 kept but marked.
        type(f, 3, 5, QStringLiteral("5"));
        QCOMPARE(DB.Families[2][FamStartCap], QByteArray("0000005"));
        QCOMPARE(text(f, 3, 5) + text(f, 3, 6) + backs(f, 3, {5}), QStringLiteral("00000050000009M"));
        EncoderSettings.bIncCapBy8 = true;
        retype(f, QStringLiteral("123"));
        QCOMPARE(text(f, 3, 6), QStringLiteral("0000155"));

        // A comma is refused; the box gets a usable value and nothing is stored.
        ScriptedBoxes boxes;
        boxes.expect(QStringLiteral("Entry Should be Numeric Value Greater Than 7"))
            .title(QStringLiteral("Invalid Entry")).buttons(MsgButtons::OK);
        QTest::keyClicks(f->txtFam, QStringLiteral(","));
        QCOMPARE(f->txtFam->text(), QStringLiteral("8"));
        QCOMPARE(DB.Families[2][FamStartCap] + '/' + text(f, 3, 5).toLatin1(), QByteArray("0000123/0000123"));
    }

    // A stored text longer than its field (a file's five-digit Start ID, an eight-digit Start
    // Capcode) opens whole and is not cut by opening; only typing is held to the field's length.
    void aLongStoredTextOpensWholeAndTypingKeepsTheLimit()
    {
        DB.Families[0] = family("1", "00001000", "5", "A", "3", "010", "00100");
        DB.Families[1] = family("1", "1100000", "5", "A", "3", "010", "0200");
        F *f = openEditor();

        const struct { int col; FamilyField field; const char *stored, *afterDelete, *retyped; } fields[] = {
            {F::ColStartID, FamStartID, "00100", "0010", "0017"},
            {F::ColStartCap, FamStartCap, "00001000", "0000100", "0000117"},
        };
        for (const auto &c : fields) {
            const QByteArray stored(c.stored);
            clickCell(f, 1, c.col);
            QCOMPARE(f->txtFam->text().toLatin1(), stored);
            QTest::keyClicks(f->txtFam, QStringLiteral("5"));
            QCOMPARE(f->txtFam->text().toLatin1() + '/' + DB.Families[0][c.field], stored + '/' + stored);
            QTest::keyClick(f->txtFam, Qt::Key_Backspace);
            QCOMPARE(DB.Families[0][c.field], QByteArray(c.afterDelete));
            QTest::keyClicks(f->txtFam, QStringLiteral("5")); // the field is full again
            QCOMPARE(DB.Families[0][c.field], QByteArray(c.afterDelete));
            QTest::keyClick(f->txtFam, Qt::Key_Backspace);
            QTest::keyClick(f->txtFam, Qt::Key_Backspace);
            QTest::keyClicks(f->txtFam, QStringLiteral("17"));
            QCOMPARE(DB.Families[0][c.field], QByteArray(c.retyped));
        }

        // Fields of normal length keep their limits.
        type(f, 2, F::ColStartID, QStringLiteral("5"));
        type(f, 2, F::ColPagerQty, QStringLiteral("55"));
        QCOMPARE(DB.Families[1][FamStartID] + '/' + DB.Families[1][FamPagerQty], QByteArray("0200/105"));
    }

    void choicesStoreTheirCodesAndWarnAboutUnusualFunctionCodes()
    {
        DB.Families[0] = family("1", "1000000", "5", "N", "0", "010", "0100");
        DB.Families[1] = family("1", "1100000", "5", "A", "3", "010", "0200");
        DB.Families[6] = FamilyRec{}; // never defined
        DB.CannedMsgs[4] = QByteArray(91, 'p');
        DB.CannedMsgs[5] = QByteArray(90, 's');
        F *f = openEditor();
        ShowDatabaseMatchesEncoder(t);

        // Unusual codes ask; No keeps the code, shows it again and marks nothing. (A pager type
        // resets the code without asking: the typed family's round trip.)
        ScriptedBoxes boxes;
        const QString numeric = QStringLiteral("The Normal Function Code Value for Numeric Pagers is 1\r"
                                               "Are You Sure You Want to Change This Function Code Value?");
        boxes.expect(numeric, MsgAnswer::No).title(QStringLiteral("Non-Standard Function Code Warning"))
            .buttons(MsgButtons::YesNo).icon(MsgIcon::Question);
        boxes.expect(numeric, MsgAnswer::Yes);
        boxes.expect(QStringLiteral("The Normal Function Code Value for Alphanumeric Pagers is 4"), MsgAnswer::Yes);
        boxes.expect(numeric, MsgAnswer::Yes);
        clickCell(f, 1, 8);
        QCOMPARE(f->focusWidget(), f->cmbFunc);
        choose(f->cmbFunc, QStringLiteral("3"));
        QCOMPARE(DB.Families[0][FamFunc], QByteArray("0"));
        QCOMPARE(text(f, 1, 8) + f->cmbFunc->currentText(), QStringLiteral("11"));
        QVERIFY(Run.bDBMatchesEncoder);
        choose(f->cmbFunc, QStringLiteral("3"));
        QCOMPARE(DB.Families[0][FamFunc], QByteArray("2"));
        expectModifiedMarking();
        clickCell(f, 2, 8); // alpha pagers: 1 asks
        choose(f->cmbFunc, QStringLiteral("1"));
        QCOMPARE(DB.Families[1][FamFunc], QByteArray("0"));

        // An empty rate cell takes 512 at once and switches a never-defined family on; without
        // a pager type, function code 3 asks as for numeric pagers.
        clickCell(f, 7, 9);
        QCOMPARE(DB.Families[6][FamActive] + DB.Families[6][FamRate] + DB.Families[6][FamPagerQty], QByteArray("15001"));
        QCOMPARE(backs(f, 7, {2, 9}), QStringLiteral("MI"));
        clickCell(f, 7, 8);
        choose(f->cmbFunc, QStringLiteral("3"));
        QCOMPARE(DB.Families[6][FamFunc], QByteArray("2"));
        QVERIFY(boxes.verifyAllShown());

        // A message choice shows both labels, long ones cut.
        clickCell(f, 2, 10);
        choose(f->cmbMsg, QStringLiteral("5"));
        clickCell(f, 2, 11);
        choose(f->cmbMsg, QStringLiteral("6"));
        QCOMPARE(f->lblPrefix->text(), QStringLiteral("Prefix: ") + QString(85, 'p') + QStringLiteral("..."));
        QCOMPARE(f->lblSuffix->text(), QStringLiteral("Suffix: ") + QString(90, 's'));

        // The wheel over a list scrolls the grid (which puts the list away), never the value.
        clickCell(f, 2, 9);
        QWheelEvent wheel(QPointF(5, 5), f->cmbRate->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, -120),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(f->cmbRate, &wheel);
        QCOMPARE(DB.Families[1][FamRate], QByteArray("5"));
        QVERIFY(f->fgFamilies->verticalScrollBar()->value() > 0);
        QVERIFY(!f->cmbRate->isVisible() && f->Col() == F::ColFamily);
    }

    void keysMoveThroughTheTypedFieldsWithWrapAround()
    {
        DB.Families[0] = family("1", "1000000", "5", "A", "3", "010", "0100");
        F *f = openEditor();
        const std::pair<Qt::Key, std::pair<int, int>> moves[] = {
            {Qt::Key_Tab, {1, 3}},  {Qt::Key_Left, {1, 2}},    {Qt::Key_Up, {50, 2}},
            {Qt::Key_Return, {50, 3}}, {Qt::Key_Backtab, {50, 5}}, {Qt::Key_Enter, {1, 2}},
            {Qt::Key_Left, {50, 5}}, {Qt::Key_Down, {1, 5}},    {Qt::Key_Right, {2, 2}}};
        for (const auto &[key, cell] : moves) {
            QTest::keyClick(f->txtFam, key);
            QVERIFY2(TextBoxOver(f, cell.first, cell.second), qPrintable(QStringLiteral("%1,%2").arg(f->Row()).arg(f->Col())));
        }
        QVERIFY(!bFamiliesEdited);

        // From the family-number column Tab goes on with the next row.
        clickCell(f, 5, 0);
        QTest::keyClick(f->fgFamilies, Qt::Key_Tab);
        QVERIFY(TextBoxOver(f, 6, 2));

        // Right on a list does nothing; Down moves to the next family without changing the list.
        clickCell(f, 1, 9);
        QTest::keyClick(f->cmbRate, Qt::Key_Right);
        QVERIFY(f->Row() == 1 && f->Col() == F::ColRate && f->cmbRate->isVisible());
        QTest::keyClick(f->cmbRate, Qt::Key_Down);
        QCOMPARE(f->Row(), 2);
        QCOMPARE(DB.Families[0][FamRate], QByteArray("5"));

        // F1 opens the manual and leaves the position.
        clickCell(f, 1, 3);
        QTest::keyClick(f->txtFam, Qt::Key_F1);
        QCOMPARE(env->shellOpened, QStringList({HelpFile}));
        QVERIFY(TextBoxOver(f, 1, 3));
    }

    void okErasesIncompleteFamiliesAndMarksTheCheckedCorrections()
    {
        DB.Families[0] = family("1", "1000000", "5", "A", "3", "050", "0100", "00", "");
        DB.Families[1] = family("1", "1100000", "5", "A", "3", "010", "0130", "00", "");
        DB.Families[2] = family("1", "1200000", "5", "A", "3", "010", "0000");
        DB.Families[3] = family("0", "1300000", "5", "N", "0", "010", "0500", "00", "");
        DB.Families[4] = family("1", "2045050", "5", "A", "3", "010", "0600", "00", "");
        F *f = openEditor();

        // Without an edit OK only settles the families and closes.
        QTest::mouseClick(f->cmdOK, Qt::LeftButton);
        QVERIFY(!forms::IsLoaded<F>());
        QCOMPARE(DB.Families[1][FamStartID] + DB.Families[1][FamDefined], QByteArray("0130YES"));

        DB.Families[2] = family("1", "1200000", "5", "A", "3", "010", "0000");
        f = openEditor();
        clickCell(f, 2, 3);
        retype(f, QStringLiteral("0130")); // the same Start ID again: an edit all the same
        ShowDatabaseMatchesEncoder(t);
        ScriptedBoxes boxes;
        boxes.expect(QStringLiteral("One or More Fields Were Adjusted\rto Correct Illegal Capcodes\r"
                                    "or to Correct Overlapping Pager IDs\ras Indicated by Blue Fields"))
            .title(QStringLiteral("Pager ID Overlap or Illegal Capcodes")).icon(MsgIcon::Exclamation);
        QTest::mouseClick(f->cmdOK, Qt::LeftButton);
        QVERIFY(boxes.verifyAllShown());
        QVERIFY(f->isVisible() && !forms::IsLoaded<frmCancelSend>() && !HourglassShown());
        QVERIFY(Run.bDBCheckOK && !bFamFieldsAdjusted && !bFamiliesEdited);

        // Family 2 moves after family 1's IDs, family 5 below the illegal capcodes: marked.
        QCOMPARE(DB.Families[1][FamStartID] + '/' + DB.Families[4][FamStartCap], QByteArray("150/2045046"));
        QCOMPARE(text(f, 2, 3) + text(f, 2, 4) + backs(f, 2, {3}), QStringLiteral("150159C"));
        QCOMPARE(text(f, 5, 5) + text(f, 5, 6) + backs(f, 5, {5}), QStringLiteral("20450462045055C"));
        // Family 3 had no Start ID: erased and shown OFF; the inactive complete family 4 is in use.
        QCOMPARE(DB.Families[2], family("0", "0000000", "5", "A", "3", "000", "0000", "00", ""));
        QCOMPARE(text(f, 3, 1) + backs(f, 3, {1}), QStringLiteral("OFFR"));
        QCOMPARE(DB.Families[3][FamDefined], QByteArray("YES"));
        QVERIFY(Run.bDBMatchesEncoder); // neither the erasing nor the check is the operator's edit

        QTest::mouseClick(f->cmdOK, Qt::LeftButton);
        QVERIFY(!forms::IsLoaded<F>());
    }

    // OK keeps a family whose start capcode is 1 to 7 (the check raises it to 8) and erases one
    // with a field never given: here, on a fresh start, a family switched on by a click whose
    // data rate was never chosen.
    void okSettlesFamiliesByEveryFieldTheEncoderGets()
    {
        ClearDatabase();
        F *f = openEditor();
        for (int row : {1, 2}) {
            clickCell(f, row, F::ColActive);
            type(f, row, F::ColPagerQty, QStringLiteral("5"));
            type(f, row, F::ColStartID, QString::number(row * 100));
            clickCell(f, row, F::ColStartCap);
            retype(f, row == 1 ? QStringLiteral("1000") : QStringLiteral("5"));
            clickCell(f, row, F::ColPgrType);
            choose(f->cmbPgrType, QStringLiteral("Alpha"));
        }
        clickCell(f, 2, F::ColRate);
        choose(f->cmbRate, QStringLiteral("1200"));
        QCOMPARE(DB.Families[0][FamRate], QByteArray());

        ScriptedBoxes boxes;
        boxes.expect(QStringLiteral("One or More Fields Were Adjusted"));
        QTest::mouseClick(f->cmdOK, Qt::LeftButton);
        QVERIFY(boxes.verifyAllShown());
        QVERIFY(f->isVisible() && Run.bDBCheckOK);
        QCOMPARE(DB.Families[0], family("0", "0000000", "", "A", "3", "000", "0000", "00", ""));
        QCOMPARE(text(f, 1, 1) + backs(f, 1, {1}), QStringLiteral("OFFR"));
        QCOMPARE(DB.Families[1], family("1", "0000008", "1", "A", "3", "005", "200", "00", "YES"));
        QCOMPARE(text(f, 2, 5) + text(f, 2, 6) + backs(f, 2, {5}), QStringLiteral("00000080000012C"));
    }

    // A family that the check would have to move past pager ID 8999 stops it: the operator is
    // told which one, nothing counts as checked, and the window stays open for the correction.
    void aMovePastTheHighestPagerIDStopsTheCheck()
    {
        DB.Families[0] = family("1", "1000000", "5", "A", "3", "010", "8990");
        DB.Families[1] = family("1", "1100000", "5", "A", "3", "005", "8995");
        F *f = openEditor();
        clickCell(f, 2, F::ColStartID);
        retype(f, QStringLiteral("8995"));
        clickCell(f, 5, F::ColFamily);

        ScriptedBoxes boxes;
        boxes.expect(QStringLiteral("Family 2 Cannot be Moved Past Pager ID 8999\r"
                                    "Please Correct its Pager Quantity or Start ID"))
            .title(QStringLiteral("Pager ID Range Exceeded")).buttons(MsgButtons::OK).icon(MsgIcon::Exclamation);
        QTest::mouseClick(f->cmdOK, Qt::LeftButton);
        QVERIFY(boxes.verifyAllShown());
        QCOMPARE(boxes.shown().size(), 1);
        QVERIFY(f->isVisible() && !forms::IsLoaded<frmCancelSend>() && !HourglassShown());
        QVERIFY(!Run.bDBCheckOK && bFamiliesEdited && !bFamFieldsAdjusted);
        QCOMPARE(DB.Families[1][FamStartID] + '/' + text(f, 2, 3).toLatin1(), QByteArray("8995/8995"));
        QCOMPARE(f->Row(), 2);

        // Corrected by the operator, the next OK checks to the end and closes.
        clickCell(f, 2, F::ColStartID);
        retype(f, QStringLiteral("100"));
        QTest::mouseClick(f->cmdOK, Qt::LeftButton);
        QVERIFY(!forms::IsLoaded<F>() && Run.bDBCheckOK);
    }

    // An unfinished check never counts as passed: Save and Save As write nothing afterwards.
    void aCancelledCheckLetsNothingBeSaved()
    {
        DB.Families[0] = family("1", "1000000", "5", "A", "3", "010", "0001");
        DB.Families[1] = family("1", "1100000", "5", "A", "3", "010", "0005");
        DB.Families[2] = family("1", "1200000", "5", "A", "3", "009", "0012");
        Run.sDBFilePath = QDir(env->programFolder()).filePath(QStringLiteral("site.pg9"));
        Run.sDBFileName = "site.pg9";
        F *f = openEditor();
        clickCell(f, 1, 1);
        clickCell(f, 1, 1);

        // The operator cancels in the second pass, after the first has corrected the IDs.
        QTimer canceller;
        int cancels = 0;
        connect(&canceller, &QTimer::timeout, this, [&] {
            frmCancelSend *c = forms::Find<frmCancelSend>();
            if (bFamFieldsAdjusted && c && c->isVisible() && cancels++ == 0)
                c->Command1->click();
        });
        canceller.start(0);
        QTest::mouseClick(f->cmdOK, Qt::LeftButton);
        canceller.stop();
        QCOMPARE(cancels, 1);
        QVERIFY(!Run.bDBCheckOK && bFamiliesEdited);
        QVERIFY(f->isVisible() && !forms::IsLoaded<frmCancelSend>());
        QCOMPARE(text(f, 2, 3) + text(f, 3, 3) + backs(f, 3, {3}), QStringLiteral("1121C"));

        // Nothing is saved, and a box says why.
        {
            ScriptedBoxes boxes;
            for (int i = 0; i < 2; ++i)
                boxes.expect(QStringLiteral("The Pager Database was Not Saved.")).title(QStringLiteral("Database Not Saved"));
            t->mnuSave_Click();
            t->mnuSaveAs_Click();
        }
        QVERIFY(!QFile::exists(Run.sDBFilePath) && env->dialogs.isEmpty());

        // The next OK checks again, to the end, and the file can be saved.
        QTest::mouseClick(f->cmdOK, Qt::LeftButton);
        QVERIFY(!forms::IsLoaded<F>() && Run.bDBCheckOK);
        t->mnuSave_Click();
        QVERIFY(QFile::exists(Run.sDBFilePath));
    }

    // While the encoder is read or written the editor takes no input, and afterwards it shows
    // the database as the transfer left it. Typing into a family that is off switches it on
    // and keeps what it holds.
    void noEditsWhileATransferRuns()
    {
        DB.Families[0] = family("1", "1000000", "5", "A", "3", "010", "0100");
        F *f = openEditor();
        ShowDatabaseMatchesEncoder(t);

        auto filling = std::make_unique<BusyScope>(Busy::FillingDatabase);
        QTest::keyClicks(f->txtFam, QStringLiteral("5"));
        QCOMPARE(DB.Families[0][FamPagerQty], QByteArray("010"));
        QVERIFY(!f->txtFam->isVisible());
        QTRY_VERIFY(!f->fgFamilies->isEnabled() && !f->cmdOK->isEnabled());
        clickCell(f, 2, 1);
        QTest::keyClick(f, Qt::Key_Down);
        QCOMPARE(DB.Families[1][FamActive], QByteArray("0"));
        QVERIFY(Run.bDBMatchesEncoder && !bFamiliesEdited);

        // The transfer fills the database, as a read does, and ends.
        DB.Families[1] = family("0", "2000000", "1", "N", "0", "020", "0300", "07");
        EncoderSettings.bIncCapBy8 = true;
        filling.reset();
        QTRY_VERIFY(f->fgFamilies->isEnabled() && f->cmdOK->isEnabled());
        QTRY_COMPARE(rowTexts(f, 2), QStringList({"OFF", "20", "0300", "0319", "2000000", "2000152", "Numeric", "1", "1200", "7", "None"}));
        QCOMPARE(f->lblIncCapBy8->text(), QStringLiteral("Increment Capcodes by 8 Mode is ON"));
        type(f, 2, 2, QStringLiteral("1"));
        QCOMPARE(DB.Families[1], family("1", "2000000", "1", "N", "0", "201", "0300", "07"));
        QCOMPARE(rowTexts(f, 2), QStringList({"ON", "201", "0300", "0500", "2000000", "2001600", "Numeric", "1", "1200", "7", "None"}));
        QCOMPARE(backs(f, 2, {2, 3}), QStringLiteral("II"));
    }
};

QTEST_MAIN(TestFamiliesEditor)
#include "tst_familieseditor.moc"
