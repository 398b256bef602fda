#pragma once
// The program's own folder: where it finds "setup.ini" and the help manuals, and what start-up
// makes the current folder.

#include <QString>

// The executable's folder. Tests point it elsewhere; an empty text restores the executable's
// folder.
QString ProgramFolder();
void SetProgramFolderOverride(const QString &folder);
