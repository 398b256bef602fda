#pragma once
// The per-user settings store: values by application (the brand's window title), section and
// key. On Linux a QSettings file under the user's configuration folder; tests isolate it with
// QStandardPaths' test mode or a temporary XDG_CONFIG_HOME.

#include <QString>

QString GetSetting(const QString &appName, const QString &section, const QString &key,
                   const QString &defaultValue = QString());
void SaveSetting(const QString &appName, const QString &section, const QString &key,
                 const QString &value);
// The same under the current application title.
QString GetSetting(const QString &section, const QString &key,
                   const QString &defaultValue = QString());
void SaveSetting(const QString &section, const QString &key, const QString &value);
