#pragma once
// Where the program's files are. Files it only reads ("setup.ini", the help manuals) come from
// its data folder: the executable's folder when it runs from the build tree,
// <prefix>/share/pagersetup when it is installed. A "setup.ini" in the user's configuration
// folder (beside the stored preferences) is read instead of the data folder's. Files it writes
// go to the user's data folder. Start-up makes the user's home folder the current folder, and
// the file dialogs open in the folder of the last file used, else in the user's documents
// folder.

#include <QString>

// The data folder. Tests point it elsewhere; an empty text puts the real one back.
QString DataFolder();
void SetDataFolderOverride(const QString &folder);

// The "setup.ini" that start-up reads: the user's configuration folder's when there is one,
// else the data folder's (which need not exist).
QString SetupIniPath();

// The user's data folder of the program under its current application name (one per brand),
// for the files it writes. Not created here.
QString UserDataFolder();

// Where file dialogs open when no file has been used yet: the user's documents folder, or the
// home folder when there is no documents folder.
QString DocumentsFolder();

// The folder a file dialog opens in: preferred (the folder of the last file used) when it is
// an existing folder, else DocumentsFolder(). A dialog told to open in a folder that is not
// there takes the folder's name for the file's.
QString DialogFolder(const QString &preferred);
