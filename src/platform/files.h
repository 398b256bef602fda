#pragma once
// Whole files, read and written byte for byte, and files opened for appending. The program's
// files are small (a pager database is about 6 KB), so each is read whole before anything is
// stored and written whole before it takes the old file's place.
//
// Nothing here waits on what is not a regular file: a FIFO or a device is refused before a
// byte moves (a FIFO without a writer would hold the program for ever, a device could fill
// its memory). Every failure is described with the system's own text for the error, taken
// where the failing call returned ("No space left on device", "File too large").

#include <QByteArray>
#include <QString>

// The largest pager database file ("*.pg9") or "setup.ini" the program reads.
constexpr qint64 MaxFileBytes = 1024 * 1024;
// The largest message archive ("messages.dat") the program reads: far more than a year of
// heavy use puts in it.
constexpr qint64 MaxArchiveBytes = 16 * 1024 * 1024;

// The system's text for an errno value.
QString SystemErrorText(int error);

// Reads the regular file at path whole. Refuses what is not a regular file (a folder, a FIFO,
// a device) and anything over maxBytes. On failure returns false with a description for the
// operator (the system's text where the system said no).
bool ReadWholeFile(const QString &path, QByteArray *content, QString *error,
                   qint64 maxBytes = MaxFileBytes);

// Puts content in the place of the file at path, all or nothing: the bytes go to a temporary
// file beside it, are handed to the system and forced to the disk, and only then does the
// temporary file take the old one's place. A full disk, a file-size limit or any other failure
// on the way leaves the old file as it was and returns false with a description. What is there
// and is not a regular file is not replaced.
bool ReplaceWholeFile(const QString &path, const QByteArray &content, QString *error);

// Opens the regular file at path for reading, or for appending (created when it does not
// exist; every write goes to its end). Never waits: what is not a regular file is refused with
// the words ReadWholeFile uses. Returns the descriptor (closed on exec), or -1 with a
// description in error.
enum class OpenFor { Reading, Appending };
int OpenRegularFile(const QString &path, OpenFor purpose, QString *error);

// Writes all of bytes to the descriptor, as many calls as it takes. False with the system's
// text when a call fails (a full disk, a file-size limit); what went before it stays written,
// and written (when given) says how many bytes that was.
bool WriteToFile(int fd, const QByteArray &bytes, QString *error, qint64 *written = nullptr);
