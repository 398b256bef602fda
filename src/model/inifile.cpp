#include "model/inifile.h"

#include "platform/files.h"

namespace {

// The line that starts at *pos (without its line end: CR LF, a bare LF or a bare CR);
// *pos moves past the line end.
QByteArray nextLine(const QByteArray &content, qsizetype *pos)
{
    const qsizetype size = content.size();
    const qsizetype start = *pos;
    qsizetype end = start;
    while (end < size && content[end] != '\r' && content[end] != '\n')
        ++end;
    *pos = end;
    if (end < size) {
        *pos = end + 1;
        if (content[end] == '\r' && end + 1 < size && content[end + 1] == '\n')
            *pos = end + 2;
    }
    return content.mid(start, end - start);
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

// A decimal number with an optional sign and fraction, blanks around it allowed.
// Returns true when it is one; *nonZero tells whether its value differs from 0.
bool parseDecimal(const QByteArray &text, bool *nonZero)
{
    qsizetype i = 0;
    qsizetype end = text.size();
    while (i < end && isBlank(text[i]))
        ++i;
    while (end > i && isBlank(text[end - 1]))
        --end;
    if (i < end && (text[i] == '+' || text[i] == '-'))
        ++i;
    bool digits = false;
    bool point = false;
    *nonZero = false;
    for (; i < end; ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            digits = true;
            if (c != '0')
                *nonZero = true;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            return false;
        }
    }
    return digits;
}

} // namespace

QByteArray GetIniValue(const QString &fileName, const QByteArray &section, const QByteArray &key,
                       bool *ok)
{
    // Only a regular file of a sensible size is read (a FIFO would hold start-up, a device
    // could fill the memory).
    QByteArray content;
    QString error;
    const bool readable = ReadWholeFile(fileName, &content, &error);
    if (ok)
        *ok = readable;
    if (!readable)
        return {};

    const QByteArray header = '[' + section + ']';
    bool headerSeen = false;
    qsizetype pos = 0;
    while (pos < content.size()) {
        const QByteArray line = nextLine(content, &pos);
        if (line.isEmpty())
            return "False";
        if (!headerSeen && line.contains(header)) {
            headerSeen = true;
            continue;
        }
        if (line.contains(key)) {
            const qsizetype eq = line.indexOf('=');
            return eq < 0 ? line : line.mid(eq + 1);
        }
    }
    return {};
}

bool IniFlag(const QByteArray &value, bool *valid)
{
    bool isFlag = true;
    bool flag = false;
    const QByteArray lower = value.toLower();
    if (lower == "true")
        flag = true;
    else if (lower == "false")
        flag = false;
    else
        isFlag = parseDecimal(value, &flag);
    if (valid)
        *valid = isFlag;
    return isFlag && flag;
}
