#pragma once
// Facts of the running program that every window uses: its folder, its version, the brand's
// titles, the help manual and the full path of the current pager database file.

#include <QString>

// The program's folder (the executable's folder). It holds "setup.ini" and the help manuals,
// and start-up makes it the current folder. Tests point it elsewhere; an empty text restores
// the executable's folder.
QString ProgramFolder();
void SetProgramFolderOverride(const QString &folder);

// "Version " and the program's major, minor and revision numbers joined by points.
QString VersionText();

// The brand's window title ("Kestrane Paging Encoder Setup", "Solvendra Paging Encoder Setup")
// after sBrand; empty for any other brand text.
QString BrandTitle();

// The help manual of the brand, as a full path; set at start-up.
extern QString HelpFile;
// Opens the help manual with the desktop's viewer; a failure is not reported.
void OpenHelpManual();

// Full path of the pager database file last opened or saved (empty = none). sDBFileName keeps
// its bare name for the status texts; Save writes here, and "LastFile" stores this path.
extern QString sDBFilePath;
