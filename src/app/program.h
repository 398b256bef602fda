#pragma once
// What both programs do before their start window loads.

#include "platform/msgboxwidget.h"

#include <QApplication>
#include <QString>

inline void PrepareApplication(const QString &programName)
{
    QCoreApplication::setApplicationName(programName);
    QGuiApplication::setDesktopFileName(programName);
    QApplication::setQuitOnLastWindowClosed(true);
    UseWidgetMessageBoxes();
}
