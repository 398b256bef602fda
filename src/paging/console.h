#pragma once
// What the senders and the communications log need of the message test console, without its
// widgets: the log list (lb_log), the pager field (txtPIN) and the console's one-second reply
// timer (Timer1). The console window implements it and makes itself the current console while
// it is open; tests put a recorder in its place.

#include <QByteArray>

class WindowTimer;

// The log list: text lines, index 0 the latest.
class LogSink {
public:
    virtual ~LogSink() = default;
    virtual void InsertTop(const QByteArray &line) = 0;
    virtual int Count() const = 0;
    virtual void RemoveBottom() = 0;
    virtual void SelectTop() = 0;
};

class PagingConsole {
public:
    virtual ~PagingConsole() = default;
    virtual LogSink &LogList() = 0;
    // The pager field as it stands (the COMP1 sender's log line reads it).
    virtual QByteArray PagerIDText() const = 0;
    // The one-second, one-shot timer; its event tells the link (EncoderLink::consoleTimerTicked).
    virtual WindowTimer &ReplyTimer() = 0;
};

// The open console, or nullptr: without one no test page goes out and nothing is logged.
PagingConsole *CurrentPagingConsole();
void SetPagingConsole(PagingConsole *console);
