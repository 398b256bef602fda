#pragma once
// Windows with one default instance each, loaded on first use and reachable from everywhere.
//
//   frmCfgFam *f = forms::Get<frmCfgFam>();   // loads it (runs Form_Load) when not loaded
//   forms::Show<frmCfgFam>();                  // loads if needed, shows modeless
//   forms::ShowModal<frmTXTune>(owner);        // loads if needed, returns when it has closed
//   if (auto *t = forms::Find<frmTerminal>())  // the instance, or nullptr: never loads
//   forms::Unload<frmCfgFam>();                // Form_QueryUnload (may refuse), Form_Unload
//
// A window class derives from forms::Form<Self, QWidget-or-QMainWindow> or, when it is shown
// modally, from forms::DialogForm<Self>. Its handlers are public members with these names, each
// optional:
//   void Form_Load();
//   void Form_QueryUnload(bool &Cancel, forms::UnloadMode mode);
//   void Form_Unload();
// The close box and QDialog::accept/reject all go through the same unload. Escape in a modal
// window presses the Cancel button the window names (DialogForm::setEscapeButton); a window that
// names none takes no action on Escape.
//
// Unloading ends the instance: the next Get makes a fresh one. The object itself is deleted
// only once no handler of it is running: handlers connected with forms::Handler (and Load,
// Unload, ShowModal) count as running, and the deletion waits for the last of them to return.
// Code that yields to the event loop (wait loops, modal boxes) and then goes on touching a
// window keeps a QPointer or asks Find again, and checks isUnloaded() on the window it holds.

#include <QAbstractButton>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDialog>
#include <QEvent>
#include <QKeyEvent>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <type_traits>
#include <utility>
#include <vector>

namespace forms {

// Why a window is being unloaded (the close box, or code).
enum class UnloadMode { ControlMenu = 0, Code = 1 };

enum class FormState { Loading, Loaded, Unloading, Unloaded };

// Bookkeeping every window carries.
struct FormCore {
    FormState state = FormState::Loading;
    int busy = 0;              // handlers of this window on the stack
    bool querying = false;     // Form_QueryUnload is running
    bool inCloseEvent = false; // the unload came from the window's own close event
};

namespace detail {

template <class F>
QPointer<F> &slot()
{
    static QPointer<F> instance;
    return instance;
}

// One entry per window class that was ever loaded: ends its instance without handlers.
inline std::vector<std::function<void()>> &destroyers()
{
    static std::vector<std::function<void()>> list;
    return list;
}

inline void releaseIfDone(QObject *obj, FormCore &core)
{
    if (core.busy == 0 && core.state == FormState::Unloaded)
        obj->deleteLater();
}

} // namespace detail

// Marks a window's handler as running for the scope's lifetime, so an unload that happens
// meanwhile (inside a yield) defers the deletion until the scope ends.
class HandlerScope {
public:
    template <class F>
    explicit HandlerScope(F *form) : m_obj(form), m_core(form ? &form->core() : nullptr)
    {
        if (m_core)
            ++m_core->busy;
    }
    ~HandlerScope()
    {
        if (m_obj && m_core) {
            --m_core->busy;
            detail::releaseIfDone(m_obj, *m_core);
        }
    }
    HandlerScope(const HandlerScope &) = delete;
    HandlerScope &operator=(const HandlerScope &) = delete;

private:
    QPointer<QObject> m_obj;
    FormCore *m_core;
};

template <class F>
bool UnloadForm(F *f, UnloadMode mode = UnloadMode::Code);

// The base of every window: Base is QWidget, QMainWindow or QDialog.
template <class F, class Base>
class Form : public Base {
public:
    explicit Form(QWidget *parent = nullptr) : Base(parent) {}

    FormCore &core() { return m_core; }
    const FormCore &core() const { return m_core; }
    bool isUnloaded() const { return m_core.state == FormState::Unloaded; }

protected:
    void closeEvent(QCloseEvent *event) override
    {
        if (m_core.state == FormState::Unloaded) { // our own close at the end of an unload
            event->accept();
            return;
        }
        if (m_core.state == FormState::Unloading || m_core.querying) {
            event->ignore();
            return;
        }
        HandlerScope scope(static_cast<F *>(this));
        m_core.inCloseEvent = true;
        const bool gone = UnloadForm(static_cast<F *>(this), UnloadMode::ControlMenu);
        m_core.inCloseEvent = false;
        if (gone)
            event->accept();
        else
            event->ignore();
    }

private:
    FormCore m_core;
};

// A window that is shown modally: accept, reject and the close box unload it. Escape is the
// window's Cancel button when it has one (named with setEscapeButton): it clicks it, so it does
// exactly what Cancel does. In a window without Cancel, Escape does nothing: the test console,
// say, is not closed by a stray key while a page or a range test runs.
template <class F>
class DialogForm : public Form<F, QDialog> {
public:
    explicit DialogForm(QWidget *parent = nullptr) : Form<F, QDialog>(parent) {}

    void done(int result) override
    {
        if (this->core().state == FormState::Unloaded) {
            QDialog::done(result);
            return;
        }
        this->setResult(result);
        UnloadForm(static_cast<F *>(this), UnloadMode::Code);
    }

    void setEscapeButton(QAbstractButton *button) { m_escapeButton = button; }
    QAbstractButton *escapeButton() const { return m_escapeButton.data(); }

protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        if (!event->matches(QKeySequence::Cancel)) {
            Form<F, QDialog>::keyPressEvent(event);
            return;
        }
        event->accept();
        QAbstractButton *cancel = m_escapeButton.data();
        if (cancel && cancel->isEnabled() && cancel->isVisibleTo(this))
            cancel->click();
    }

private:
    QPointer<QAbstractButton> m_escapeButton;
};

// The loaded instance, or nullptr. Never loads. A window that is running its Form_Unload is
// still found (its unload handler and the windows it unloads may need it).
template <class F>
F *Find()
{
    return detail::slot<F>().data();
}

template <class F>
bool IsLoaded()
{
    return Find<F>() != nullptr;
}

// The instance, loaded (and its Form_Load run) when it was not loaded.
template <class F>
F *Get()
{
    if (F *f = Find<F>())
        return f;
    static const bool registered = [] {
        detail::destroyers().push_back([] {
            F *f = detail::slot<F>().data();
            if (!f)
                return;
            detail::slot<F>() = nullptr;
            f->core().state = FormState::Unloaded;
            f->hide();
            if (f->core().busy > 0)
                f->deleteLater();
            else
                delete f;
        });
        return true;
    }();
    (void)registered;
    F *f = new F();
    detail::slot<F>() = f;
    HandlerScope scope(f);
    if constexpr (requires { f->Form_Load(); })
        f->Form_Load();
    if (f->core().state == FormState::Loading)
        f->core().state = FormState::Loaded;
    return f;
}

// Unloads the window: asks Form_QueryUnload, which may refuse, then runs Form_Unload and hides
// the window. Returns true when the window is gone (or was not loaded).
template <class F>
bool UnloadForm(F *f, UnloadMode mode)
{
    if (!f)
        return true;
    FormCore &core = f->core();
    if (core.state == FormState::Unloaded)
        return true;
    if (core.state == FormState::Unloading || core.querying)
        return false;
    HandlerScope scope(f);
    if constexpr (requires(bool &cancel) { f->Form_QueryUnload(cancel, mode); }) {
        bool cancel = false;
        core.querying = true;
        f->Form_QueryUnload(cancel, mode);
        core.querying = false;
        if (cancel)
            return false;
        if (core.state == FormState::Unloaded || core.state == FormState::Unloading)
            return core.state == FormState::Unloaded;
    }
    core.state = FormState::Unloading;
    if constexpr (requires { f->Form_Unload(); })
        f->Form_Unload();
    core.state = FormState::Unloaded;
    if (detail::slot<F>().data() == f)
        detail::slot<F>() = nullptr;
    if (!core.inCloseEvent)
        f->close();
    return true;
}

template <class F>
bool Unload(UnloadMode mode = UnloadMode::Code)
{
    return UnloadForm(Find<F>(), mode);
}

// Loads the window if needed and shows it modeless, in front.
template <class F>
F *Show()
{
    F *f = Get<F>();
    if (!f || f->isUnloaded())
        return f;
    f->show();
    f->raise();
    f->activateWindow();
    return f;
}

// Loads the window if needed and shows it modal, centred on its owner; returns when it has
// closed (been unloaded or hidden).
template <class F>
void ShowModal(QWidget *owner = nullptr)
{
    static_assert(std::is_base_of_v<QDialog, F>, "modal windows derive from forms::DialogForm");
    F *f = Get<F>();
    if (!f || f->isUnloaded())
        return;
    HandlerScope scope(f);
    if (owner && owner->isVisible()) {
        f->adjustSize();
        f->move(owner->frameGeometry().center() - f->rect().center());
    }
    f->setWindowModality(Qt::ApplicationModal);
    f->exec();
}

// Wraps a handler for a signal connection: the window counts as busy while it runs.
template <class F, class... Args>
auto Handler(F *form, void (F::*method)(Args...))
{
    QPointer<F> guard(form);
    return [guard, method](Args... args) {
        if (!guard)
            return;
        HandlerScope scope(guard.data());
        (guard.data()->*method)(std::forward<Args>(args)...);
    };
}

// Ends every loaded window at once, without its close handling (tests, and the very end of the
// program), and deletes what can be deleted now.
inline void DestroyAll()
{
    for (const auto &destroy : detail::destroyers())
        destroy();
    if (QCoreApplication::instance())
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace forms
