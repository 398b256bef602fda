#pragma once
// The mouse pointer of the whole program: the hourglass while something long runs, and the
// default pointer. One setting, not a stack: showing the hourglass twice and the default once
// leaves the default pointer.

#include <QCursor>
#include <QGuiApplication>

inline void SetHourglassPointer()
{
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance()) &&
        !QGuiApplication::overrideCursor())
        QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
}

inline void SetDefaultPointer()
{
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return;
    while (QGuiApplication::overrideCursor())
        QGuiApplication::restoreOverrideCursor();
}

inline bool HourglassShown()
{
    return qobject_cast<QGuiApplication *>(QCoreApplication::instance()) &&
           QGuiApplication::overrideCursor() != nullptr;
}
