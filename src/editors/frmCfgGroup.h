#pragma once
// The pager groups editor: the 10 groups of `PagerGroups` in the grid fgGroups, transposed:
// column c (1 to 10) is group c (`PagerGroups[c - 1]`), each row one field. Column 0 holds the
// row captions, row 0 the column captions. The grid's cells are never typed into: a click on
// Active or Timer Active switches it, a click on Reference, Group ID or a pager ID lays the
// text box txtGrp over the cell, a click on Timer Msg # the list cmbMsg. Every keystroke and
// every choice is stored into `PagerGroups` at once and marks the database modified in the
// main window. OK settles which groups are complete, runs the groups check (under the cancel
// window) and marks the pager IDs it cleared; closing empties every group not in use.
//
// The cells keep the colours and texts that the edits give them; the grid is drawn afresh
// only when the window loads and when the database has been replaced (a read, a file opened,
// New). While the encoder's database is read or written (Run.bDBBusy()) the editor takes no
// input.

#include "editors/editorsteps.h"
#include "model/changes.h"
#include "platform/forms.h"
#include "widgets/gridedit.h"

#include <QWidget>

class QComboBox;
class QLabel;
class QPushButton;
class QTableWidgetItem;

class frmCfgGroup : public forms::Form<frmCfgGroup, QWidget> {
    Q_OBJECT
public:
    explicit frmCfgGroup(QWidget *parent = nullptr);

    // Set by OK when a group is incomplete; the close asks while it is set. Each editor keeps
    // its own: the families editor's flag never makes this window ask.
    static inline bool bIncompleteRecord = false;

    // Grid rows (row 0 holds the column captions).
    enum GridRow : int {
        RowReference = 1,
        RowActive,
        RowGroupID,
        RowPagerID1,                    // Pager ID k is row k + 3
        RowPagerID20 = RowPagerID1 + 19,
        RowTimerActive,
        RowTimerMsg,
        RowCount
    };
    static constexpr int ColumnCount = 11; // column 0 holds the row captions

    // Controls.
    gridedit::EditorGrid *fgGroups = nullptr;
    gridedit::OverlayTextBox *txtGrp = nullptr;
    QComboBox *cmbMsg = nullptr;
    QLabel *lblMsg = nullptr;
    QPushButton *cmdOK = nullptr;

    // The current cell (row 0..25, column 0..10).
    int Row() const { return m_row; }
    int Col() const { return m_col; }
    void setCell(int row, int col);
    // The grid cell of a field row 1..25 and a group column 1..10 (nullptr otherwise).
    QTableWidgetItem *Cell(int row, int col) const;

    // Window handlers.
    void Form_Load();
    // Sees every key before the focused control; sets KeyCode to 0 when it used the key. Shift+Tab
    // moves like Tab.
    void Form_KeyDown(int &KeyCode, Qt::KeyboardModifiers Shift);
    void cmdOK_Click();
    void Form_QueryUnload(bool &Cancel, forms::UnloadMode UnloadMode);
    void Form_Unload();

    // Control handlers.
    void fgGroups_Click();
    void txtGrp_Change();
    void cmbMsg_Click();

    // Runs the groups check under the cancel window, marks the pager IDs it cleared and tells
    // the operator when any was. True only when the check ran to its end.
    bool CheckGroupPagerIDs();

private:
    void setText(int row, int col, const QString &text);
    void setBack(int row, int col, unsigned colour);
    void paintRows(int col, int firstRow, int lastRow, unsigned colour);
    QString text(int row, int col) const;

    void drawGroup(int col);
    void drawTimerRows(int col);
    void drawIDTexts(int col);
    void fillGrid();

    void toggleActive(int col);
    void switchOn(int col, bool typing);
    void toggleTimer(int col);
    void openTextBox();
    void openList();
    void hideOverlays();

    void setInputEnabled(bool enabled);
    void watchDatabase(ModelChange what);

    int m_row = 0;
    int m_col = 0;
    int m_lastGroupCol = 1;  // the group the keys go on with when the current cell is a caption
    bool m_checking = false;
    bool m_redrawPending = false;
    editorsteps::DatabaseWatch m_watch{this, [this](bool enabled) { setInputEnabled(enabled); },
                                       [this] { watchDatabase(ModelChange::Busy); }};
};
