#pragma once
// What the grid editors' window tests share: opening an editor from the main window's toolbar,
// the cell colours as letters, a text box lying over its cell with the focus, and a choice
// from a drop-down list.

#include "app/frmTerminal.h"
#include "platform/forms.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QHash>
#include <QTableWidget>
#include <QtTest>

namespace editortest {

inline const QString Modified = QStringLiteral("Current Configuration Modified, Does Not Match Encoder");

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

// The text box is shown over the grid's cell (view row and column) and holds the focus.
inline bool LiesOver(QWidget *form, QTableWidget *grid, QWidget *box, int viewRow, int viewCol)
{
    const QPoint centre =
        grid->viewport()->mapTo(form, grid->visualRect(grid->model()->index(viewRow, viewCol)).center());
    return box->isVisible() && form->focusWidget() == box && box->geometry().contains(centre);
}

// Picks an item in a drop-down list as the operator does.
inline void Choose(QComboBox *list, const QString &item)
{
    list->showPopup();
    list->view()->setCurrentIndex(list->view()->model()->index(list->findText(item), 0));
    QTest::keyClick(list->view(), Qt::Key_Return);
}

} // namespace editortest
