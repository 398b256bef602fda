#pragma once
// The canned messages editor: the 15 messages of `CannedMsgs` in the grid fgMessages, one row
// per message (row n is message n, `CannedMsgs[n - 1]`). The text box txtMsg lies over the
// current message; every keystroke is stored at once and marks the database modified in the
// main window. A message holds no double quote (it would end the encoder's record; typing one
// is refused with a box) and no line break (a pasted one is dropped).
//
// The grid is drawn afresh when the database has been replaced (a read, a file opened, New).
// While the encoder's database is read or written (Run.bDBBusy()) the editor takes no input.

#include "editors/editorsteps.h"
#include "model/changes.h"
#include "platform/forms.h"
#include "widgets/gridedit.h"

#include <QWidget>

class QPushButton;
class QTableWidgetItem;

class frmCfgMsg : public forms::Form<frmCfgMsg, QWidget> {
    Q_OBJECT
public:
    explicit frmCfgMsg(QWidget *parent = nullptr);

    // Controls.
    gridedit::EditorGrid *fgMessages = nullptr;
    gridedit::OverlayTextBox *txtMsg = nullptr;
    QPushButton *cmdOK = nullptr;

    // The current message, 1..15.
    int Row() const { return m_row; }
    void setRow(int row);
    QTableWidgetItem *Cell(int row) const;

    // Window handlers.
    void Form_Load();
    // Sees every key before the focused control; sets KeyCode to 0 when it used the key. Shift+Tab
    // moves like Tab.
    void Form_KeyDown(int &KeyCode, Qt::KeyboardModifiers Shift);
    void cmdOK_Click();

    // Control handlers.
    void fgMessages_Click();
    void txtMsg_Change();

private:
    void drawMessage(int row);
    void setInputEnabled(bool enabled);
    void watchDatabase(ModelChange what);

    int m_row = 1;
    bool m_redrawPending = false;
    editorsteps::DatabaseWatch m_watch{this, [this](bool enabled) { setInputEnabled(enabled); },
                                       [this] { watchDatabase(ModelChange::Busy); }};
};
