#include "platform/shell.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QLockFile>
#include <QPrintDialog>
#include <QPrinter>
#include <QUrl>

#include <map>
#include <unistd.h>
#include <memory>

namespace {

std::function<QString(const FileDialogRequest &)> &fileDialogHook()
{
    static std::function<QString(const FileDialogRequest &)> h;
    return h;
}
std::function<bool(QPrinter &)> &printerDialogHook()
{
    static std::function<bool(QPrinter &)> h;
    return h;
}
std::function<void(const QString &)> &shellOpenHook()
{
    static std::function<void(const QString &)> h;
    return h;
}
std::function<void(QWidget *)> &flashWindowHook()
{
    static std::function<void(QWidget *)> h;
    return h;
}
std::function<bool(const QString &)> &previousInstanceHook()
{
    static std::function<bool(const QString &)> h;
    return h;
}

struct InstanceLock {
    std::unique_ptr<QLockFile> lock;
    bool otherRunning = false;
};

// The locks taken by PreviousInstance, held until the process ends.
std::map<QString, InstanceLock> &instanceLocks()
{
    static std::map<QString, InstanceLock> locks;
    return locks;
}

QString sanitised(const QString &appName)
{
    QString out;
    for (QChar c : appName) {
        if (c.isLetterOrNumber() && c.unicode() < 128)
            out += c;
        else if (c == QLatin1Char('-') || c == QLatin1Char('.'))
            out += c;
        else
            out += QLatin1Char('_');
    }
    if (out.isEmpty())
        out = QStringLiteral("_");
    return out;
}

} // namespace

QString FileDialog(QWidget *parent, const FileDialogRequest &request)
{
    if (fileDialogHook()) {
        const auto hook = fileDialogHook();
        return hook(request);
    }
    QString start = request.directory;
    if (!request.defaultName.isEmpty())
        start = start.isEmpty() ? request.defaultName
                                : QDir(start).filePath(request.defaultName);
    QFileDialog::Options options = QFileDialog::DontUseNativeDialog;
    if (!request.confirmOverwrite)
        options |= QFileDialog::DontConfirmOverwrite;

    // Our dialogs never change the current folder, whatever the dialog does.
    const QString current = QDir::currentPath();
    const QString chosen =
        request.save
            ? QFileDialog::getSaveFileName(parent, request.title, start, request.filter,
                                           nullptr, options)
            : QFileDialog::getOpenFileName(parent, request.title, start, request.filter,
                                           nullptr, options);
    if (QDir::currentPath() != current)
        QDir::setCurrent(current);
    return chosen;
}

void SetFileDialogHook(std::function<QString(const FileDialogRequest &)> hook)
{
    fileDialogHook() = std::move(hook);
}

bool PrinterDialog(QWidget *parent, QPrinter &printer)
{
    if (printerDialogHook()) {
        const auto hook = printerDialogHook();
        return hook(printer);
    }
    QPrintDialog dialog(&printer, parent);
    return dialog.exec() == QDialog::Accepted;
}

void SetPrinterDialogHook(std::function<bool(QPrinter &)> hook)
{
    printerDialogHook() = std::move(hook);
}

void ShellOpen(const QString &target)
{
    if (shellOpenHook()) {
        const auto hook = shellOpenHook();
        hook(target);
        return;
    }
    QDesktopServices::openUrl(
        QUrl::fromUserInput(target, QDir::currentPath(), QUrl::AssumeLocalFile));
}

void SetShellOpenHook(std::function<void(const QString &)> hook)
{
    shellOpenHook() = std::move(hook);
}

void FlashWindow(QWidget *window)
{
    if (flashWindowHook()) {
        const auto hook = flashWindowHook();
        hook(window);
        return;
    }
    if (qobject_cast<QApplication *>(QCoreApplication::instance()))
        QApplication::alert(window);
}

void SetFlashWindowHook(std::function<void(QWidget *)> hook)
{
    flashWindowHook() = std::move(hook);
}

QString PreviousInstanceLockPath(const QString &appName)
{
    // Per user, as the temporary folder is usually shared.
    return QDir(QDir::tempPath())
        .filePath(QStringLiteral("pagersetup-%1-%2.lock").arg(::getuid()).arg(sanitised(appName)));
}

bool PreviousInstance(const QString &appName)
{
    if (previousInstanceHook()) {
        const auto hook = previousInstanceHook();
        return hook(appName);
    }
    auto &locks = instanceLocks();
    const auto it = locks.find(appName);
    if (it != locks.end())
        return it->second.otherRunning;

    InstanceLock entry;
    entry.lock = std::make_unique<QLockFile>(PreviousInstanceLockPath(appName));
    // Only a dead owner makes a lock stale, never its age: a copy may run for days.
    entry.lock->setStaleLockTime(0);
    if (!entry.lock->tryLock(0))
        entry.otherRunning = entry.lock->error() == QLockFile::LockFailedError;
    const bool otherRunning = entry.otherRunning;
    locks.emplace(appName, std::move(entry));
    return otherRunning;
}

void SetPreviousInstanceHook(std::function<bool(const QString &)> hook)
{
    previousInstanceHook() = std::move(hook);
}

QString HelpFile;

void OpenHelpManual()
{
    if (!HelpFile.isEmpty())
        ShellOpen(HelpFile);
}
