#include "app/appglobals.h"

#include "model/state.h"
#include "platform/shell.h"

#include <QCoreApplication>

#ifndef PAGERSETUP_VERSION
#error "PAGERSETUP_VERSION must name the program's version (major.minor.revision)"
#endif

QString HelpFile;
QString sDBFilePath;

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

QString VersionText()
{
    return QStringLiteral("Version ") + QStringLiteral(PAGERSETUP_VERSION);
}

QString BrandTitle()
{
    if (sBrand == BrandKestrane)
        return QStringLiteral("Kestrane Paging Encoder Setup");
    if (sBrand == BrandSolvendra)
        return QStringLiteral("Solvendra Paging Encoder Setup");
    return QString();
}

void OpenHelpManual()
{
    if (!HelpFile.isEmpty())
        ShellOpen(HelpFile);
}
