#pragma once
// The pager families editor: the 50 families of `Families` in the grid fgFamilies, one row per
// family, one column per field plus the derived End ID and End Capcode. The grid's cells are
// never typed into: a click on the Active column switches the family on or off, a click on a
// field lays a text box (txtFam) or a drop-down list over the cell. Every keystroke and every
// choice is stored into `Families` at once and marks the database modified in the main window.
// OK erases incomplete families, runs the families check (under the cancel window) and marks
// the cells it corrected.
//
// Grid coordinates follow the families: row 1 to 50 is family 1 to 50 (`Families[row - 1]`),
// column 0 is the family-number column (the grid's row header), columns 1 to 11 are Active,
// Pager Qty, Start ID, End ID, Start Capcode, End Capcode, Pager Type, Func Code, Data Rate,
// Prefix Msg and Suffix Msg. Row() and Col() give the current cell.
//
// While the encoder's database is being read or written (Run.bDBBusy()) the editor takes no
// input; when the database has changed under it (a read, a file opened, New) it shows the new
// contents. It hears of both through the model's change notification.

#include "editors/editorsteps.h"
#include "model/database.h"
#include "platform/forms.h"
#include "widgets/gridedit.h"

#include <QWidget>

#include <array>

class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;
class QTableWidgetItem;
struct FamiliesCheckResult;

class frmCfgFam : public forms::Form<frmCfgFam, QWidget> {
    Q_OBJECT
public:
    explicit frmCfgFam(QWidget *parent = nullptr);

    // Set by OK when a family lacks a required field; the close asks while it is set. Each
    // editor keeps its own: the groups editor's flag never makes this window ask.
    static inline bool bIncompleteRecord = false;

    // Grid columns.
    enum Column : int {
        ColFamily = 0,
        ColActive,
        ColPagerQty,
        ColStartID,
        ColEndID,
        ColStartCap,
        ColEndCap,
        ColPgrType,
        ColFunc,
        ColRate,
        ColPrefix,
        ColSuffix,
        ColumnCount
    };
    static constexpr int FirstFieldColumn = ColPagerQty;
    static constexpr int LastFieldColumn = ColSuffix;

    // Controls.
    QTableWidget *fgFamilies = nullptr;
    gridedit::OverlayTextBox *txtFam = nullptr;
    QComboBox *cmbPgrType = nullptr;
    QComboBox *cmbFunc = nullptr;
    QComboBox *cmbRate = nullptr;
    QComboBox *cmbMsg = nullptr;
    QLabel *lblPrefix = nullptr;
    QLabel *lblSuffix = nullptr;
    QLabel *lblIncCapBy8 = nullptr;
    QPushButton *cmdOK = nullptr;

    // The current cell (row 1..50, column 0..11).
    int Row() const { return m_row; }
    int Col() const { return m_col; }
    void setRow(int row);   // brings the row into view (which counts as a scroll)
    void setCol(int col);
    // The grid cell of a family row and a column 1..11 (nullptr for column 0).
    QTableWidgetItem *Cell(int row, int col) const;

    // Window handlers.
    void Form_Load();
    void Form_QueryUnload(bool &Cancel, forms::UnloadMode UnloadMode);
    // Sees every key before the focused control; sets KeyCode to 0 when it used the key. Shift+Tab
    // moves like Tab.
    // KeyCode: 9 Tab, 13 Enter, 37 Left, 38 Up, 39 Right, 40 Down, 112 F1.
    void Form_KeyDown(int &KeyCode, Qt::KeyboardModifiers Shift);

    // Control handlers.
    void fgFamilies_Click();
    void fgFamilies_Scroll();
    void txtFam_Change();
    void cmbPgrType_Click();
    void cmbFunc_Click();
    void cmbRate_Click();
    void cmbMsg_Click();
    void cmdOK_Click();

    // Runs the families check under the cancel window, marks the cells it corrected and tells
    // the operator when anything was adjusted. True only when the check ran to its end.
    bool CheckFamiliesDatabase();

private:
    using Rgb = unsigned;

    // Cells of the current row.
    FamilyRec &family() const;
    QString cellText(int col) const;
    void setCellText(int col, const QString &text);
    void setCellText(int col, const QByteArray &text);
    void setCellBack(int col, Rgb color);
    void clearCellBack(int col);
    void setCellFore(int col, Rgb color);
    void paintRun(int firstCol, int lastCol, Rgb color);

    // The row as the window shows it when it loads (with the load's two StartCap fixes).
    void fillRow(int index);
    void fillGrid();
    // A family being switched on: every cell from its record.
    void refreshSwitchedOnRow(bool keepMissingTexts);
    void writeDerivedEndID();
    void writeDerivedEndCap();

    void toggleActive();
    void activateForTyping();
    void activateForChoice();
    bool beginChoice(QComboBox *list, bool &activated);
    void openTextBox(int maxLength);
    void openList(QComboBox *list);
    void placeOverCell(QWidget *editor, bool list);
    void hideOverlays();
    void showClickLabels();
    void showMessageLabels();

    void markCorrections(const FamiliesCheckResult &result);
    void setInputEnabled(bool enabled);
    void watchDatabase();
    void takeSnapshot();
    bool databaseChangedElsewhere() const;

    int m_row = 1;
    int m_col = 0;
    int m_ignoreScroll = 0;
    bool m_checking = false;
    // The check stopped at a family it could not move: OK keeps the window open.
    bool m_pagerIDsExceeded = false;
    editorsteps::DatabaseWatch m_watch{this, [this](bool enabled) { setInputEnabled(enabled); },
                                       [this] { watchDatabase(); }};

    // What the grid shows, to notice changes made behind the editor's back.
    struct Shown {
        std::array<FamilyRec, FamilyCount> families;
        std::array<QByteArray, MessageCount> messages;
        bool incCapBy8 = false;
    };
    Shown m_shown;
};
