#include "platform/folders.h"

#include <QCoreApplication>

namespace {
QString &folderOverride()
{
    static QString folder;
    return folder;
}
} // namespace

QString ProgramFolder()
{
    if (!folderOverride().isEmpty())
        return folderOverride();
    return QCoreApplication::applicationDirPath();
}

void SetProgramFolderOverride(const QString &folder)
{
    folderOverride() = folder;
}
