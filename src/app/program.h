#pragma once
// What both programs do before their start window loads.

#include "platform/msgboxwidget.h"

#include <QApplication>
#include <QString>

#include <csignal>

inline void PrepareApplication(const QString &programName)
{
    // Under a file-size limit (ulimit -f) a write past it would end the program with SIGXFSZ,
    // unsaved edits and all; ignored, the write fails with "File too large" and takes the
    // failure's road (the old file kept, a box that says why).
    std::signal(SIGXFSZ, SIG_IGN);
    QCoreApplication::setApplicationName(programName);
    QGuiApplication::setDesktopFileName(programName);
    QApplication::setQuitOnLastWindowClosed(true);
    UseWidgetMessageBoxes();
}
