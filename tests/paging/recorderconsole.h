#pragma once
// A test console without widgets: it records the log list (with its selection, as a list box
// keeps it on the selected line), shows a pager field and owns the one-second reply timer,
// whose event it tells the link (consoleTimerTicked). It is the current console while it lives.

#include "encoder/link.h"
#include "paging/console.h"
#include "platform/timing.h"

#include <QList>

class RecorderConsole : public PagingConsole, public LogSink {
public:
    RecorderConsole()
    {
        timer.setInterval(1000);
        QObject::connect(&timer, &WindowTimer::Timer, [] { Link().consoleTimerTicked(); });
        SetPagingConsole(this);
    }
    ~RecorderConsole() override
    {
        if (CurrentPagingConsole() == this)
            SetPagingConsole(nullptr);
    }

    QList<QByteArray> lines; // index 0 the latest
    int selected = -1;       // the selected line's index, -1 none
    QByteArray pin;
    WindowTimer timer{nullptr, true};

    // The lines in the order they were added.
    QList<QByteArray> added() const { return {lines.rbegin(), lines.rend()}; }

    void InsertTop(const QByteArray &line) override
    {
        lines.prepend(line);
        if (selected >= 0)
            ++selected;
    }
    int Count() const override { return int(lines.size()); }
    void RemoveBottom() override
    {
        lines.removeLast();
        if (selected >= lines.size())
            selected = -1;
    }
    void SelectTop() override { selected = 0; }
    LogSink &LogList() override { return *this; }
    QByteArray PagerIDText() const override { return pin; }
    WindowTimer &ReplyTimer() override { return timer; }
};
