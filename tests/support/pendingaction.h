#pragma once
// Actions a test leaves waiting to run inside whichever loop the program runs next (a modal
// window's, a wait's): each is held by a guard that the test keeps beside the locals the action
// uses. When the guard goes (its scope ends: the test function returns, however early, or a
// failed row's helper does) an action that has not run never will, so it cannot meet locals
// that are gone or act on the next row's windows.
//
//   bool seen = false;
//   const PendingAction closer = When([] { return forms::Find<frmX>() != nullptr; }, [&] { seen = true; ... });
//   t->mnuX->trigger();    // the action runs inside the window's loop
//
// There is no time limit: the guard ends the wait once the code that should have brought the
// moment about has returned.

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <utility>

class PendingAction {
public:
    PendingAction() = default;
    explicit PendingAction(QTimer *poll) : m_poll(poll) {}
    PendingAction(PendingAction &&other) noexcept : m_poll(std::exchange(other.m_poll, nullptr)) {}
    PendingAction &operator=(PendingAction &&other) noexcept
    {
        if (this != &other) {
            cancel();
            m_poll = std::exchange(other.m_poll, nullptr);
        }
        return *this;
    }
    PendingAction(const PendingAction &) = delete;
    PendingAction &operator=(const PendingAction &) = delete;
    ~PendingAction() { cancel(); }

    // The action will not run from here on (it may be running now: it finishes).
    void cancel()
    {
        if (!m_poll)
            return;
        m_poll->stop();
        m_poll->deleteLater(); // not deleted at once: this may run inside the timer's own call
        m_poll = nullptr;
    }
    // Still waiting for its moment.
    bool pending() const { return m_poll && m_poll->isActive(); }

private:
    QPointer<QTimer> m_poll;
};

// Runs step every intervalMs from inside whichever loop is running until it returns true, the
// guard goes, or context (when given) is destroyed.
[[nodiscard]] inline PendingAction Repeatedly(std::function<bool()> step, QObject *context = nullptr, int intervalMs = 2)
{
    auto *poll = new QTimer(context);
    // The step may take its context (and the timer with it) away.
    QObject::connect(poll, &QTimer::timeout, poll, [poll = QPointer<QTimer>(poll), step = std::move(step)] {
        if (step() && poll) {
            poll->stop();
            poll->deleteLater();
        }
    });
    poll->start(intervalMs);
    return PendingAction(poll);
}

// Runs action once, as soon as ready() holds.
[[nodiscard]] inline PendingAction When(std::function<bool()> ready, std::function<void()> action)
{
    auto *poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, poll, [poll, ready = std::move(ready), action = std::move(action)] {
        if (!ready())
            return;
        poll->stop();
        poll->deleteLater();
        action();
    });
    poll->start(2);
    return PendingAction(poll);
}
