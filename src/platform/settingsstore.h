#pragma once
// The per-user settings store: values by application (the brand's window title), section and
// key. On Linux an INI file per application name in QSettings' layout, SettingsStoreFile(appName):
// "<folder>/pagersetup/<appName>.ini", where the folder is the user's configuration folder
// ($XDG_CONFIG_HOME, else ~/.config; looked up on every call). Tests isolate the store with a
// temporary XDG_CONFIG_HOME, QStandardPaths' test mode or SetSettingsStoreFolder.
//
// QSettings reads the file; every save rewrites it whole the way the pager database files are
// written (a temporary file beside it, forced to the disk, then put in its place), so a full disk
// or a file-size limit leaves the old file as it was. Each save reads and rewrites the file
// holding "<file>.lock", the lock QSettings takes around its own writes, so two programs saving
// at once keep each other's values; a lock held by another program for longer than the bounded
// wait fails the save. A save that would make the file larger than the program reads back
// (MaxFileBytes) is refused. The first save of a run that fails says so in a box with the
// system's text ("No space left on device") or the store's own; later failures in the same run
// show none.

#include <QString>

#include <chrono>

QString GetSetting(const QString &appName, const QString &section, const QString &key,
                   const QString &defaultValue = QString());
// True when the file holds the value.
bool SaveSetting(const QString &appName, const QString &section, const QString &key,
                 const QString &value);
// Whether the store holds the key at all (an empty value counts).
bool HasSetting(const QString &appName, const QString &section, const QString &key);
// The same under the current application title.
// Note: a call with three texts matches both forms and does not compile; write the
// application name (AppTitle()) and all four texts, or the two-text form.
QString GetSetting(const QString &section, const QString &key,
                   const QString &defaultValue = QString());
bool SaveSetting(const QString &section, const QString &key, const QString &value);

// The folder that holds the store's files, and a way to point the store elsewhere (tests);
// an empty folder goes back to the user's configuration folder.
QString SettingsStoreFolder();
void SetSettingsStoreFolder(const QString &folder);
// The file that holds the values of one application name.
QString SettingsStoreFile(const QString &appName);
// The next failed save shows its box again, as at the start of a run (tests).
void ForgetSettingsStoreFailure();
// How long a save waits for another program's save of the same file before it fails, and a way
// to change it (tests).
std::chrono::milliseconds SettingsStoreLockWait();
void SetSettingsStoreLockWait(std::chrono::milliseconds wait);
