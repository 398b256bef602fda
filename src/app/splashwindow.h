#pragma once
// What the two splash windows share: the dark blue borderless window, the ten-second timer,
// the hand-over to the main window on the timer, a click or a key, and the load sequence that
// fixes the brand and loads the main window. Each splash window is also its brand's About
// window.

#include "app/appglobals.h"
#include "app/frmTerminal.h"
#include "model/state.h"
#include "platform/forms.h"
#include "platform/timing.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWidget>

template <class F>
class SplashWindow : public forms::Form<F, QWidget> {
public:
    explicit SplashWindow(QWidget *parent = nullptr) : forms::Form<F, QWidget>(parent)
    {
        this->setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
        this->setAutoFillBackground(true);
        QPalette pal = this->palette();
        pal.setColor(QPalette::Window, QColor(0, 0, 192));
        this->setPalette(pal);
        this->setFocusPolicy(Qt::StrongFocus);

        // Counts from the window's creation, so start-up's time is part of the ten seconds.
        Timer1 = new WindowTimer(this, true);
        Timer1->setObjectName(QStringLiteral("Timer1"));
        Timer1->setInterval(10000);
        Timer1->setEnabled(true);
        QObject::connect(Timer1, &WindowTimer::Timer, this, [this] {
            forms::HandlerScope scope(static_cast<F *>(this));
            static_cast<F *>(this)->Timer1_Timer();
        });
    }

    WindowTimer *Timer1 = nullptr;

    void Form_Click() { HandOver(); }
    void Form_KeyPress(int &KeyAscii)
    {
        Q_UNUSED(KeyAscii);
        HandOver();
    }
    void Timer1_Timer() { HandOver(); }
    void Form_Terminate() {}

    // Closed by the window manager (it has no close box of its own): the main window is shown
    // first, so the program never ends up without a window on the screen.
    void Form_QueryUnload(bool &Cancel, forms::UnloadMode UnloadMode)
    {
        if (UnloadMode != forms::UnloadMode::ControlMenu)
            return;
        if (m_loading)
            Cancel = true; // the main window is still starting
        else
            ShowMainWindow();
    }

protected:
    // The load sequence: version, brand and show (in the window's order), the main window
    // loaded, the window centred.
    void loadSequence(QLabel *versionLabel, const char *brand, bool brandBeforeShow)
    {
        m_loading = true;
        versionLabel->setText(VersionText());
        if (brandBeforeShow)
            Run.sBrand = brand;
        centre();
        this->show();
        if (!brandBeforeShow)
            Run.sBrand = brand;
        forms::Get<frmTerminal>();
        centre();
        m_loading = false;
        if (m_handOverPending) {
            // Asked for while the main window was starting: served now that the load is over.
            QTimer::singleShot(0, this, [this] {
                forms::HandlerScope scope(static_cast<F *>(this));
                HandOver();
            });
        }
    }

    // Shows the main window and unloads this window.
    void HandOver()
    {
        if (m_loading) {
            m_handOverPending = true;
            return;
        }
        if (this->isUnloaded())
            return;
        ShowMainWindow();
        forms::UnloadForm(static_cast<F *>(this), forms::UnloadMode::Code);
    }

    static void ShowMainWindow()
    {
        if (frmTerminal *main = forms::Find<frmTerminal>()) {
            if (main->isUnloaded() || main->core().state == forms::FormState::Unloading)
                return;
            main->show();
            main->raise();
            main->activateWindow();
        }
    }

    void centre()
    {
        this->adjustSize();
        if (QScreen *screen = QGuiApplication::primaryScreen()) {
            const QRect area = screen->geometry();
            const QSize outer = this->frameGeometry().size();
            this->move(area.left() + (area.width() - outer.width()) / 2,
                       area.top() + (area.height() - outer.height()) / 2);
        }
    }

    void keyPressEvent(QKeyEvent *event) override
    {
        // Only keys that type a character (letters, digits, Enter, Escape) dismiss the window.
        if (event->text().isEmpty()) {
            QWidget::keyPressEvent(event);
            return;
        }
        forms::HandlerScope scope(static_cast<F *>(this));
        int ascii = event->text().at(0).unicode();
        static_cast<F *>(this)->Form_KeyPress(ascii);
    }

    void mousePressEvent(QMouseEvent *event) override { event->accept(); }

    void mouseReleaseEvent(QMouseEvent *event) override
    {
        if (event->button() != Qt::LeftButton)
            return;
        forms::HandlerScope scope(static_cast<F *>(this));
        static_cast<F *>(this)->Form_Click();
    }

    void paintEvent(QPaintEvent *event) override
    {
        QWidget::paintEvent(event);
        QPainter p(this);
        p.setPen(QPen(QColor(0, 0, 96), 2));
        p.setBrush(Qt::NoBrush);
        p.drawRect(this->rect().adjusted(1, 1, -1, -1));
    }

private:
    bool m_loading = false;
    bool m_handOverPending = false;
};
