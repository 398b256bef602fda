#pragma once
// What the three grid editors (pager families, pager groups, canned messages) do alike beyond
// their cells: the first steps of a load, no input while the encoder's database is being
// filled, the question when an editor with incomplete records closes, and a check run under
// the cancel window.

#include "model/state.h"
#include "widgets/gridedit.h"

#include <QPointer>
#include <QScopedValueRollback>
#include <QString>

#include <functional>

class QWidget;

namespace editorsteps {

// The first steps of an editor's Form_Load: the TAP reply timer stops, the editor's handlers
// ignore the changes the load makes (Run.bSuppressEvents, which the load clears at its end) and
// the window is centred on its screen.
void BeginLoad(QWidget *editor);

// The first step of a handler of the editor's grid, text box or lists: nothing happens while the
// editor makes its own changes (Run.bSuppressEvents); while the encoder's database is being
// filled or the editor's check runs (checking) the overlays go (hideOverlays). True when the
// handler goes on.
bool HandlerGoesOn(bool checking, const std::function<void()> &hideOverlays);

// The grid and OK take input or refuse it. Taking it again, the grid gets the focus when
// gridTakesFocus (the editor's window is the active one).
void SetGridInput(QWidget *grid, QWidget *ok, bool enabled, bool gridTakesFocus);

// Asked when an editor closes while incompleteRecord is set (its OK found an incomplete record):
// the question (buttons Yes and No) and whether the operator keeps the window open. The flag is
// cleared either way, so that the question comes once.
bool KeepOpenWhenIncomplete(bool &incompleteRecord, const QString &question);

// An editor's watch over the shared database. While the encoder's database is being filled
// (Run.bDBBusy()) the editor takes no input; once it is free the editor may look at what
// changed. Never in the middle of one of the editor's own handlers (a message box, its check):
// the look is then taken once, a short while later.
class DatabaseWatch {
public:
    // setInput switches the editor's input on or off; look is the editor's look at the database.
    DatabaseWatch(QObject *editor, std::function<void(bool enabled)> setInput, std::function<void()> look)
        : m_setInput(std::move(setInput)), m_later(editor, std::move(look))
    {
    }

    // Whether the editor's input is as the database's state asks (nothing to switch).
    bool inputFollows() const { return m_inputRefused == Run.bDBBusy(); }
    // Switches the input off when the database is being filled, on again when it is free.
    void followDatabase();
    // Inside one of the editor's handlers (inHandler) the look is put off; otherwise the input
    // follows the database. True when the editor may look at the database now.
    bool mayLook(bool inHandler);

private:
    std::function<void(bool)> m_setInput;
    gridedit::LookLater m_later;
    bool m_inputRefused = false;
};

// An editor's check (the families or the groups check) under the cancel window, for the life of
// the object: no encoder command and no file starts (the busy state, taken when the program is
// idle), no other editor's check starts (Run.bEditorCheckRunning) and the editor takes no input
// (its checking flag). The check's hooks are ClearCancel, passStarted and yieldAndStop.
class EditorCheck {
public:
    template <class Editor>
    EditorCheck(Editor *editor, Busy state, bool &checking, const char *cancelText)
        : EditorCheck(state, checking, cancelText,
                      [self = QPointer<Editor>(editor)] { return !self || self->isUnloaded(); })
    {
    }
    EditorCheck(const EditorCheck &) = delete;
    EditorCheck &operator=(const EditorCheck &) = delete;

    // An editor's OK does nothing while a check runs (this editor's or the other's): a second
    // check would end with the first one's cancel window.
    static bool MayStart(bool checking);

    // First in a pass: the operator's cancel (the cancel window's button) is cleared.
    static void ClearCancel();
    // At the start of a pass: the hourglass, and the cancel window with the check's text.
    void passStarted() const;
    // Lets pending events run; true when the check is to stop: the operator cancelled, the
    // program is closing or the editor has gone.
    bool yieldAndStop() const;
    // The check has returned: the cancel window goes and the pointer is the default again. True
    // when the editor is still there; its checking flag is then cleared.
    bool finished();

private:
    EditorCheck(Busy state, bool &checking, const char *cancelText, std::function<bool()> editorGone);

    BusyScope m_busy;
    QScopedValueRollback<bool> m_running;
    bool &m_checking;
    const char *m_cancelText;
    std::function<bool()> m_editorGone;
};

} // namespace editorsteps
