#include "encoder/frmCancelSend.h"

#include "encoder/link.h"

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

frmCancelSend::frmCancelSend(QWidget *parent) : Form(parent)
{
    setObjectName(QStringLiteral("frmCancelSend"));
    setWindowTitle(QStringLiteral("Paging Encoder Programming"));
    // Topmost; a title without a close box (the Cancel button is the way out).
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowStaysOnTopHint);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 14, 16, 12);
    layout->setSpacing(12);
    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setWordWrap(true);
    Label1->setMinimumWidth(320);
    Command1 = new QPushButton(QStringLiteral("Cancel"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setDefault(true);
    layout->addWidget(Label1, 1);
    layout->addWidget(Command1, 0, Qt::AlignHCenter);
    connect(Command1, &QPushButton::clicked, this,
            forms::Handler(this, &frmCancelSend::Command1_Click));
    // A modal dialog that closes hands the activation to its parent; the window was not
    // active then, so it hears of that only here.
    connect(qApp, &QGuiApplication::focusWindowChanged, this, [this] {
        if (isVisible() && !isUnloaded() && !isActiveWindow())
            Form_Deactivate();
    });
}

void frmCancelSend::Command1_Click()
{
    Link().cancel();
}

bool frmCancelSend::event(QEvent *e)
{
    if (!isUnloaded()) {
        if (e->type() == QEvent::WindowActivate) {
            forms::HandlerScope scope(this);
            Form_Activate();
        } else if (e->type() == QEvent::WindowDeactivate) {
            forms::HandlerScope scope(this);
            Form_Deactivate();
        }
    }
    return Form::event(e);
}

void frmCancelSend::Form_Activate()
{
    raise();
    // Centred on the screen it stands on; only the position changes.
    QScreen *s = screen() ? screen() : QGuiApplication::primaryScreen();
    if (!s)
        return;
    const QRect area = s->geometry();
    const QSize size = frameGeometry().size();
    move(area.left() + (area.width() - size.width()) / 2,
         area.top() + (area.height() - size.height()) / 2);
}

void frmCancelSend::Form_Deactivate()
{
    if (Link().cancelled() || m_comeBackQueued || isUnloaded())
        return;
    // Coming back is queued: the activation that is going on finishes first.
    m_comeBackQueued = true;
    QPointer<frmCancelSend> self(this);
    QTimer::singleShot(0, this, [self] {
        if (!self)
            return;
        forms::HandlerScope scope(self.data());
        self->m_comeBackQueued = false;
        self->comeBack();
    });
}

void frmCancelSend::comeBack()
{
    if (isUnloaded() || !isVisible() || Link().cancelled())
        return;
    // A modal dialog keeps the front; so do the windows of other programs (only another window
    // of this program going active calls the window back).
    if (QApplication::activeModalWidget())
        return;
    QWidget *active = QApplication::activeWindow();
    if (!active || active == this)
        return;
    show();
    raise();
    activateWindow();
}

void frmCancelSend::Form_QueryUnload(bool &Cancel, forms::UnloadMode UnloadMode)
{
    if (UnloadMode == forms::UnloadMode::ControlMenu) {
        Command1_Click();
        Cancel = true;
    }
}
