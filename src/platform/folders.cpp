#include "platform/folders.h"

#include "platform/settingsstore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#ifndef PAGERSETUP_DATA_FROM_BIN
#error "PAGERSETUP_DATA_FROM_BIN must give the installed data folder relative to the programs' folder"
#endif

namespace {

QString &folderOverride()
{
    static QString folder;
    return folder;
}

} // namespace

QString DataFolder()
{
    if (!folderOverride().isEmpty())
        return folderOverride();
    // Installed, the data lies at a fixed place relative to the programs (whatever the prefix);
    // in the build tree there is no such folder and the data lies beside the programs.
    const QDir programs(QCoreApplication::applicationDirPath());
    const QString installed = QDir::cleanPath(programs.filePath(QStringLiteral(PAGERSETUP_DATA_FROM_BIN)));
    if (QFileInfo(installed).isDir())
        return installed;
    return programs.path();
}

void SetDataFolderOverride(const QString &folder)
{
    folderOverride() = folder;
}

QString SetupIniPath()
{
    // Beside the stored preferences: "<configuration folder>/pagersetup/setup.ini".
    const QString user = QFileInfo(SettingsStoreFile(QStringLiteral("setup"))).dir().filePath(QStringLiteral("setup.ini"));
    if (QFileInfo::exists(user))
        return user;
    return QDir(DataFolder()).filePath(QStringLiteral("setup.ini"));
}

QString UserDataFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}

QString DocumentsFolder()
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return !documents.isEmpty() && QFileInfo(documents).isDir() ? documents : QDir::homePath();
}

QString DialogFolder(const QString &preferred)
{
    return !preferred.isEmpty() && QFileInfo(preferred).isDir() ? preferred : DocumentsFolder();
}
