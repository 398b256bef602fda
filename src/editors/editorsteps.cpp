#include "editors/editorsteps.h"

#include "encoder/frmCancelSend.h"
#include "encoder/link.h"
#include "platform/msgbox.h"
#include "platform/pointer.h"
#include "platform/timing.h"

#include <QLabel>
#include <QScreen>
#include <QWidget>

namespace editorsteps {

void BeginLoad(QWidget *editor)
{
    Link().stopTapTimer();
    Run.bSuppressEvents = true;
    if (QScreen *s = editor->screen())
        editor->move(s->availableGeometry().center() - editor->rect().center());
}

bool HandlerGoesOn(bool checking, const std::function<void()> &hideOverlays)
{
    if (Run.bSuppressEvents)
        return false;
    if (Run.bDBBusy() || checking) {
        hideOverlays();
        return false;
    }
    return true;
}

void SetGridInput(QWidget *grid, QWidget *ok, bool enabled, bool gridTakesFocus)
{
    grid->setEnabled(enabled);
    ok->setEnabled(enabled);
    if (enabled && gridTakesFocus)
        grid->setFocus();
}

bool KeepOpenWhenIncomplete(bool &incompleteRecord, const QString &question)
{
    if (!incompleteRecord)
        return false;
    incompleteRecord = false;
    return MsgBox(question, MsgButtons::YesNo, MsgIcon::Question, QStringLiteral("Incomplete Database Definition")) ==
           MsgAnswer::No;
}

// ---------------------------------------------------------------------------------------------

void DatabaseWatch::followDatabase()
{
    if (inputFollows())
        return;
    m_inputRefused = Run.bDBBusy();
    m_setInput(!m_inputRefused);
}

bool DatabaseWatch::mayLook(bool inHandler)
{
    if (!m_later.now(inHandler))
        return false;
    followDatabase();
    return !Run.bDBBusy();
}

// ---------------------------------------------------------------------------------------------

EditorCheck::EditorCheck(Busy state, bool &checking, const char *cancelText, std::function<bool()> editorGone)
    : m_busy(state, BusyScope::WhenIdle), m_running(Run.bEditorCheckRunning, true), m_checking(checking),
      m_cancelText(cancelText), m_editorGone(std::move(editorGone))
{
    m_checking = true;
}

bool EditorCheck::MayStart(bool checking)
{
    return !Run.bDBBusy() && !checking && !Run.bEditorCheckRunning;
}

void EditorCheck::ClearCancel()
{
    Link().clearCancel();
}

void EditorCheck::passStarted() const
{
    SetHourglassPointer();
    if (frmCancelSend *cancel = forms::Get<frmCancelSend>(); cancel && !cancel->isUnloaded()) {
        cancel->Label1->setText(QString::fromLatin1(m_cancelText));
        forms::Show<frmCancelSend>();
    }
}

bool EditorCheck::yieldAndStop() const
{
    DoEvents();
    return Link().cancelled() || Link().closing() || m_editorGone();
}

bool EditorCheck::finished()
{
    forms::Unload<frmCancelSend>();
    SetDefaultPointer();
    if (m_editorGone())
        return false;
    m_checking = false;
    return true;
}

} // namespace editorsteps
