#include "platform/timing.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QtDebug>

#include <cmath>
#include <climits>

namespace {
double g_timeScale = 1.0;

// The clock: the time it showed when the scale last changed (or at its first look), and the
// steady time since then.
struct Clock {
    bool started = false;
    QDateTime anchor;
    QElapsedTimer since;
};

Clock &programClock()
{
    static Clock c;
    if (!c.started) {
        c.started = true;
        c.anchor = QDateTime::currentDateTime();
        c.since.start();
    }
    return c;
}

QDateTime clockNow(Clock &c)
{
    const qint64 elapsedNs = c.since.nsecsElapsed();
    return c.anchor.addMSecs(qint64(std::llround(double(elapsedNs) / 1e6 / g_timeScale)));
}
} // namespace

double TimeScale()
{
    return g_timeScale;
}

void SetTimeScale(double scale)
{
    if (!(scale > 0.0) || !std::isfinite(scale)) {
        qWarning() << "SetTimeScale: ignored scale" << scale;
        return;
    }
    // The clock goes on from where it is at the old pace.
    Clock &c = programClock();
    c.anchor = clockNow(c);
    c.since.restart();
    g_timeScale = scale;
}

QDateTime CurrentTime()
{
    return clockNow(programClock());
}

int ScaledMs(int ms)
{
    if (ms <= 0)
        return 0;
    const double scaled = std::round(double(ms) * g_timeScale);
    if (scaled < 1.0)
        return 1;
    if (scaled > double(INT_MAX))
        return INT_MAX;
    return int(scaled);
}

void Sleep(int ms)
{
    const int scaled = ScaledMs(ms);
    if (scaled > 0)
        QThread::msleep(static_cast<unsigned long>(scaled));
}

void DoEvents()
{
    if (QCoreApplication::instance())
        QCoreApplication::processEvents(QEventLoop::AllEvents);
}

// ---------------------------------------------------------------------------------------------
// WindowTimer

WindowTimer::WindowTimer(QObject *parent, bool singleShot) : QObject(parent)
{
    m_timer.setSingleShot(singleShot);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        if (!m_enabled)
            return;
        if (m_timer.isSingleShot())
            m_enabled = false; // before the event, whose handler may enable it again
        emit Timer();
    });
}

void WindowTimer::setInterval(int ms)
{
    m_interval = ms;
    if (m_enabled)
        restart();
}

void WindowTimer::setEnabled(bool on)
{
    m_enabled = on;
    if (on)
        restart();
    else
        m_timer.stop();
}

void WindowTimer::restart()
{
    m_timer.stop();
    if (m_interval > 0)
        m_timer.start(ScaledMs(m_interval));
}
