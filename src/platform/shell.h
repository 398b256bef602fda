#pragma once
// Operating-system services behind seams that tests replace: file and printer dialogs,
// opening documents and web pages, flashing a window, and the single-instance check.

#include <QString>
#include <functional>

class QWidget;
class QPrinter;

struct FileDialogRequest {
    bool save = false;
    QString title;
    QString filter;       // Qt filter text, e.g. "Pager Database (*.pg9)"
    QString directory;
    QString defaultName;
    bool confirmOverwrite = true;
};

// Returns the chosen path, or an empty text when the operator cancelled.
// Our file dialogs never change the current folder.
QString FileDialog(QWidget *parent, const FileDialogRequest &request);
void SetFileDialogHook(std::function<QString(const FileDialogRequest &)> hook);

// Shows the printer dialog for printer; returns false when cancelled.
bool PrinterDialog(QWidget *parent, QPrinter &printer);
void SetPrinterDialogHook(std::function<bool(QPrinter &)> hook);

// Opens a document or web address with the desktop's handler; the result is not examined.
void ShellOpen(const QString &target);
void SetShellOpenHook(std::function<void(const QString &)> hook);

// The help manual of the brand, as a full path; set at start-up.
extern QString HelpFile;
// Opens the help manual with the desktop's viewer (F1, the help menu); a failure is not reported.
void OpenHelpManual();

// Draws the operator's attention to a window (the taskbar entry flashes).
void FlashWindow(QWidget *window);
void SetFlashWindowHook(std::function<void(QWidget *)> hook);

// True when another copy of the program under this application name is already running.
// The first call takes a lock that lives until the process ends; later calls with the same
// name repeat the first answer.
bool PreviousInstance(const QString &appName);
void SetPreviousInstanceHook(std::function<bool(const QString &)> hook);
// The lock file PreviousInstance uses: in the temporary folder, named from the user and appName.
// A lock whose owner process is gone does not count, however old or new it is.
QString PreviousInstanceLockPath(const QString &appName);
