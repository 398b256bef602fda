#include "platform/settingsstore.h"

#include "platform/msgbox.h"

#include <QSettings>
#include <QStandardPaths>
#include <QStringList>
#include <QVariant>

namespace {

QString &folderOverride()
{
    static QString folder;
    return folder;
}

// One file per application name; characters that would make folders are replaced.
QString fileNameFor(const QString &appName)
{
    QString name = appName.trimmed();
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    name.replace(QLatin1Char('\\'), QLatin1Char('_'));
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        name = QStringLiteral("_");
    return name + QLatin1String(".ini");
}

QString keyFor(const QString &section, const QString &key)
{
    if (section.isEmpty())
        return key;
    return section + QLatin1Char('/') + key;
}

} // namespace

QString SettingsStoreFolder()
{
    if (!folderOverride().isEmpty())
        return folderOverride();
    // Looked up on every use, so XDG_CONFIG_HOME (and QStandardPaths' test mode) set at any
    // time are honoured.
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
}

void SetSettingsStoreFolder(const QString &folder)
{
    folderOverride() = folder;
}

QString SettingsStoreFile(const QString &appName)
{
    return SettingsStoreFolder() + QLatin1String("/pagersetup/") + fileNameFor(appName);
}

QString GetSetting(const QString &appName, const QString &section, const QString &key,
                   const QString &defaultValue)
{
    QSettings store(SettingsStoreFile(appName), QSettings::IniFormat);
    const QVariant value = store.value(keyFor(section, key));
    if (!value.isValid())
        return defaultValue;
    // A hand-edited value with unquoted commas comes back as a list.
    if (value.userType() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(','));
    return value.toString();
}

void SaveSetting(const QString &appName, const QString &section, const QString &key,
                 const QString &value)
{
    QSettings store(SettingsStoreFile(appName), QSettings::IniFormat);
    store.setValue(keyFor(section, key), value);
    store.sync();
}

bool HasSetting(const QString &appName, const QString &section, const QString &key)
{
    QSettings store(SettingsStoreFile(appName), QSettings::IniFormat);
    return store.contains(keyFor(section, key));
}

QString GetSetting(const QString &section, const QString &key, const QString &defaultValue)
{
    return GetSetting(AppTitle(), section, key, defaultValue);
}

void SaveSetting(const QString &section, const QString &key, const QString &value)
{
    SaveSetting(AppTitle(), section, key, value);
}
