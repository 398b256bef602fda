#pragma once
// What the grid editors' window tests share: the program an editor test starts from, opening
// an editor from the main window's toolbar, the cell colours as letters, a text box lying over
// its cell with the focus, and a choice from a drop-down list.

#include "app/apptest.h"
#include "app/frmTerminal.h"
#include "editors/familiescheck.h"
#include "editors/frmCfgFam.h"
#include "editors/frmCfgGroup.h"
#include "editors/groupscheck.h"
#include "model/database.h"
#include "platform/forms.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QHash>
#include <QTableWidget>
#include <QtTest>

namespace editortest {

inline const QString Modified = QStringLiteral("Current Configuration Modified, Does Not Match Encoder");

// What an editor test class holds for each test (MainWindowTest), starting from an empty
// database in which no check has noted an edit or a correction.
class EditorTest : public MainWindowTest {
protected:
    [[nodiscard]] bool startEditing()
    {
        if (!startProgram())
            return false;
        ResetDatabase();
        bFamiliesEdited = bFamFieldsAdjusted = bGroupsEdited = bPagerIDsAdjusted = false;
        return true;
    }
};

// The editor the toolbar button keyed key opens, shown.
template <class Editor>
Editor *OpenFromToolbar(frmTerminal *t, const char *key)
{
    t->Toolbar1->ButtonByKey(QLatin1String(key))->trigger();
    Editor *f = forms::Find<Editor>();
    if (!f || !f->isVisible())
        qFatal("the editor of the \"%s\" button did not come up", key);
    return f;
}

// A cell's background as a letter: G on green, R off red, I ivory, g inactive grey, D dark
// grey, M magenta (missing), C cyan (corrected), "." none.
inline QChar BackgroundLetter(const QTableWidgetItem *cell)
{
    static const QHash<QRgb, QChar> codes = {{qRgb(0, 255, 0), 'G'},     {qRgb(255, 0, 0), 'R'},
                                             {qRgb(255, 255, 245), 'I'}, {qRgb(192, 192, 192), 'g'},
                                             {qRgb(128, 128, 128), 'D'}, {qRgb(255, 0, 255), 'M'},
                                             {qRgb(0, 255, 255), 'C'}};
    const QBrush b = cell->background();
    return b.style() == Qt::NoBrush ? QChar('.') : codes.value(b.color().rgb(), '?');
}

// The backgrounds of the cells cellOf gives for the indexes, a letter each (BackgroundLetter).
template <class CellOf>
QString BackgroundLetters(std::initializer_list<int> indexes, CellOf cellOf)
{
    QString letters;
    for (int i : indexes)
        letters += BackgroundLetter(cellOf(i));
    return letters;
}

// The text box is shown over the grid's cell (view row and column) and holds the focus.
inline bool LiesOver(QWidget *form, QTableWidget *grid, QWidget *box, int viewRow, int viewCol)
{
    const QPoint centre =
        grid->viewport()->mapTo(form, grid->visualRect(grid->model()->index(viewRow, viewCol)).center());
    return box->isVisible() && form->focusWidget() == box && box->geometry().contains(centre);
}

// The families or the groups editor's text box lies over the cell of its row and column (numbered
// from 1), holding the focus, and that cell is the editor's current one.
inline bool TextBoxOver(frmCfgFam *f, int row, int col)
{
    return LiesOver(f, f->fgFamilies, f->txtFam, row - 1, col - 1) && f->Row() == row && f->Col() == col;
}
inline bool TextBoxOver(frmCfgGroup *f, int row, int col)
{
    return LiesOver(f, f->fgGroups, f->txtGrp, row - 1, col - 1) && f->Row() == row && f->Col() == col;
}

// Picks an item in a drop-down list as the operator does.
inline void Choose(QComboBox *list, const QString &item)
{
    list->showPopup();
    list->view()->setCurrentIndex(list->view()->model()->index(list->findText(item), 0));
    QTest::keyClick(list->view(), Qt::Key_Return);
}

} // namespace editortest
