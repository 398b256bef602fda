#pragma once
// The per-user settings store: values by application (the brand's window title), section and
// key. On Linux a QSettings INI file per application name, SettingsStoreFile(appName):
// "<folder>/pagersetup/<appName>.ini", where the folder is the user's configuration folder
// ($XDG_CONFIG_HOME, else ~/.config; looked up on every call). Tests isolate the store with a
// temporary XDG_CONFIG_HOME, QStandardPaths' test mode or SetSettingsStoreFolder.

#include <QString>

QString GetSetting(const QString &appName, const QString &section, const QString &key,
                   const QString &defaultValue = QString());
void SaveSetting(const QString &appName, const QString &section, const QString &key,
                 const QString &value);
// Whether the store holds the key at all (an empty value counts).
bool HasSetting(const QString &appName, const QString &section, const QString &key);
// The same under the current application title.
// Note: a call with three texts matches both forms and does not compile; write the
// application name (AppTitle()) and all four texts, or the two-text form.
QString GetSetting(const QString &section, const QString &key,
                   const QString &defaultValue = QString());
void SaveSetting(const QString &section, const QString &key, const QString &value);

// The folder that holds the store's files, and a way to point the store elsewhere (tests);
// an empty folder goes back to the user's configuration folder.
QString SettingsStoreFolder();
void SetSettingsStoreFolder(const QString &folder);
// The file that holds the values of one application name.
QString SettingsStoreFile(const QString &appName);
