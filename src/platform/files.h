#pragma once
// Whole files, read and written byte for byte. The program's files are small (a pager database
// is about 6 KB), so each is read whole before anything is stored and written whole before it
// takes the old file's place.

#include <QByteArray>
#include <QString>

// The largest file the program reads.
constexpr qint64 MaxFileBytes = 1024 * 1024;

// Reads the regular file at path whole. Refuses what is not a regular file (a folder, a FIFO,
// a device) and anything over MaxFileBytes. On failure returns false with a description for
// the operator (the system's text where the system said no).
bool ReadWholeFile(const QString &path, QByteArray *content, QString *error);

// Puts content in the place of the file at path, all or nothing: the bytes go to a temporary
// file beside it, are handed to the system and forced to the disk, and only then does the
// temporary file take the old one's place. A full disk, a file-size limit or any other failure
// on the way leaves the old file as it was and returns false with a description. What is there
// and is not a regular file is not replaced.
bool ReplaceWholeFile(const QString &path, const QByteArray &content, QString *error);
