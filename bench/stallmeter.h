#pragma once
// How long the main window's event loop goes without turning during a transfer.
//
// A precise timer on the GUI thread fires every 5 ms while the meter runs. The transfers wait
// in nested event loops, so the timer keeps firing inside them; whatever holds the thread
// (a blocking call, a long computation) shows as a longer gap between two firings. The stall
// is the longest such gap minus the 5 ms period; the start and the stop of the meter count as
// firings, so work done before the first wait or after the last one is seen as well.
//
//   StallMeter meter;
//   meter.start();
//   ... the transfer ...
//   meter.stop();
//   std::printf("longest event-loop stall: %.1f ms\n", meter.longestStallMs());
//
// BENCH_STALL_TRACE_MS=N in the environment prints to stderr every gap longer than N ms beyond
// the period, with its place in the transfer, to find where a stall comes from.

#include <QElapsedTimer>
#include <QTimer>
#include <QtGlobal>

#include <cstdio>

class StallMeter {
public:
    static constexpr int PeriodMs = 5;
    static constexpr double GoalMs = 30;

    StallMeter()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(PeriodMs);
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] { tick(); });
        bool ok = false;
        const int trace = qEnvironmentVariableIntValue("BENCH_STALL_TRACE_MS", &ok);
        m_traceNs = ok ? qint64(trace) * 1000000 : -1;
    }

    void start()
    {
        m_longestGapNs = 0;
        m_longestAtNs = 0;
        m_firings = 0;
        m_clock.start();
        m_lastNs = 0;
        m_timer.start();
    }

    void stop()
    {
        m_timer.stop();
        note(m_clock.nsecsElapsed());
    }

    // The longest gap between two firings less the period, in ms (never below zero).
    double longestStallMs() const { return qMax(0.0, (m_longestGapNs - PeriodMs * 1000000LL) / 1e6); }
    // Where that gap ended, in ms since start().
    double longestStallAtMs() const { return m_longestAtNs / 1e6; }
    int firings() const { return m_firings; }

private:
    void tick()
    {
        ++m_firings;
        note(m_clock.nsecsElapsed());
    }

    void note(qint64 nowNs)
    {
        const qint64 gap = nowNs - m_lastNs;
        if (gap > m_longestGapNs) {
            m_longestGapNs = gap;
            m_longestAtNs = nowNs;
        }
        if (m_traceNs >= 0 && gap - PeriodMs * 1000000LL > m_traceNs)
            std::fprintf(stderr, "event-loop stall %.1f ms ending %.1f ms into the transfer\n",
                         (gap - PeriodMs * 1000000LL) / 1e6, nowNs / 1e6);
        m_lastNs = nowNs;
    }

    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_lastNs = 0;
    qint64 m_longestGapNs = 0;
    qint64 m_longestAtNs = 0;
    qint64 m_traceNs = -1;
    int m_firings = 0;
};
