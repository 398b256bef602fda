#pragma once
// Time: the pause of the wait loops, window timers and the global time scale that tests use
// to shorten every interval. The program runs at scale 1 (real time).

#include <QDateTime>
#include <QObject>
#include <QTimer>

double TimeScale();
void SetTimeScale(double scale);      // 0 < scale; 0.01 makes 8000 ms last 80 ms
int ScaledMs(int ms);                 // ms under the scale, at least 1 for ms > 0

// The current date and time by the program's clock: the system's clock at the first look, then
// advanced by a steady clock at the pace of the time scale (at scale 0.01 a hundred seconds
// pass each real second, as for the timers and Sleep). It never goes back, also when the system
// clock is set or the scale changes.
QDateTime CurrentTime();

// Blocks the thread for ms (scaled).
void Sleep(int ms);
// Runs pending events once (the program's yield inside wait loops).
void DoEvents();

// A window timer: Interval in ms (scaled when it runs), Enabled starts and stops it.
// Fires Timer() on the GUI thread. An interval of 0 or less never fires.
class WindowTimer : public QObject {
    Q_OBJECT
public:
    explicit WindowTimer(QObject *parent = nullptr, bool singleShot = true);
    int Interval() const { return m_interval; }
    void setInterval(int ms);
    bool Enabled() const { return m_enabled; }
    void setEnabled(bool on);
signals:
    void Timer();
private:
    void restart();
    QTimer m_timer;
    int m_interval = 0;
    bool m_enabled = false;
};
