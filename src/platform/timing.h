#pragma once
// Time: the pause of the wait loops, window timers and the global time scale that tests use
// to shorten every interval. The program runs at scale 1 (real time).

#include <QObject>
#include <QTimer>

double TimeScale();
void SetTimeScale(double scale);      // 0 < scale; 0.01 makes 8000 ms last 80 ms
int ScaledMs(int ms);                 // ms under the scale, at least 1 for ms > 0

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
