#pragma once
// "setup.ini": the switches of section "Main".

#include <QByteArray>
#include <QString>

// The text after the first "=" of the first line that contains key (the whole line when it has
// no "="). The section header is only noted, never a limit: a matching line before it or in
// another section counts. An empty line ends the search with "False"; the end of the file with
// an empty text. ok is false when the file cannot be read, is not a regular file or is larger
// than a megabyte.
QByteArray GetIniValue(const QString &fileName, const QByteArray &section, const QByteArray &key,
                       bool *ok = nullptr);

// A switch value as a flag: "True"/"False" in any letter case, or a number (0 = False, any
// other = True). Anything else is no flag: returns false and sets *valid to false.
bool IniFlag(const QByteArray &value, bool *valid = nullptr);
