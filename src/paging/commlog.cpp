#include "paging/commlog.h"

#include "encoder/lookup.h"
#include "paging/console.h"
#include "platform/files.h"
#include "platform/msgbox.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

void AddToLog(const QByteArray &line, bool toFile, bool selectTop)
{
    if (PagingConsole *console = CurrentPagingConsole()) {
        LogSink &list = console->LogList();
        list.InsertTop(line);
        while (list.Count() > MaxLogLines)
            list.RemoveBottom();
        if (selectTop)
            list.SelectTop();
    }
    if (toFile)
        CommLogFile().Append(line);
}

void AddLogLine(const QByteArray &line)
{
    AddToLog(line, false, true);
}

void LogInline(const QByteArray &line)
{
    AddToLog(line, true, false);
}

QByteArray NameControls(const QByteArray &reply, bool allTwelve)
{
    // One pass over the reply: each byte is looked up once, so a long answer costs its length.
    static const struct {
        char code;
        const char *name;
    } names[] = {
        {'\r', "<CR>"},   {'\x06', "<ACK>"}, {'\x1b', "<ESC>"}, {'\x1e', "<RS>"},
        {'\x04', "<EOT>"}, {'\x15', "<NAK>"}, {'\n', "<LF>"},   {'\x13', "<XOFF>"},
        {'\x11', "<XON>"}, {'\x01', "<SOH>"}, {'\x02', "<STX>"}, {'\x03', "<ETX>"},
    };
    const char *nameOf[32] = {};
    const int count = allTwelve ? 12 : 9;
    for (int i = 0; i < count; ++i)
        nameOf[static_cast<unsigned char>(names[i].code)] = names[i].name;

    QByteArray text;
    text.reserve(reply.size());
    for (char c : reply) {
        const auto code = static_cast<unsigned char>(c);
        if (code < 32 && nameOf[code])
            text.append(nameOf[code]);
        else
            text.append(c);
    }
    return text;
}

QByteArray TimePrefix(const QDateTime &at)
{
    const QLocale locale = QLocale::system();
    const QDate d = at.date();
    const QTime t = at.time();
    const int hour12 = t.hour() % 12 == 0 ? 12 : t.hour() % 12;
    QString designator = t.hour() < 12 ? locale.amText() : locale.pmText();
    if (designator.isEmpty())
        designator = t.hour() < 12 ? QStringLiteral("AM") : QStringLiteral("PM");
    const QString text = QStringLiteral("%1/%2/%3 %4:%5 %6")
                             .arg(d.month())
                             .arg(d.day())
                             .arg(d.year() % 100, 2, 10, QLatin1Char('0'))
                             .arg(hour12)
                             .arg(t.minute(), 2, 10, QLatin1Char('0'))
                             .arg(designator);
    return text.toLatin1();
}

QByteArray GeneralDate(const QDateTime &at)
{
    const QLocale locale = QLocale::system();
    // The long time form without its time zone ("t"), which the general date does not show.
    QString timeFormat = locale.timeFormat(QLocale::LongFormat);
    timeFormat.remove(QLatin1Char('t'));
    timeFormat = timeFormat.trimmed();
    return (locale.toString(at.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
            locale.toString(at.time(), timeFormat))
        .toLatin1();
}

// ---------------------------------------------------------------------------------------------

namespace {

// What the file's last line lacks of its ending: nothing for an empty file or one ending in a
// line feed, LF after a lone CR, else CR LF. A file that cannot be read is taken as ended.
QByteArray missingLineEnd(const QString &path)
{
    QString ignored;
    const int fd = OpenRegularFile(path, OpenFor::Reading, &ignored);
    if (fd < 0)
        return {};
    QByteArray end;
    struct stat st {};
    char last = '\n';
    if (::fstat(fd, &st) == 0 && st.st_size > 0 && ::pread(fd, &last, 1, st.st_size - 1) == 1 &&
        last != '\n')
        end = last == '\r' ? "\n" : "\r\n";
    ::close(fd);
    return end;
}

} // namespace

LogFile::LogFile() = default;

LogFile::~LogFile()
{
    Close();
}

bool LogFile::IsOpen() const
{
    return m_fd >= 0;
}

QString LogFile::FileName() const
{
    return IsOpen() ? m_name : QString();
}

bool LogFile::Open(const QString &path, bool replace, QString *error)
{
    QString failure;
    int fd = OpenRegularFile(path, OpenFor::Appending, &failure);
    if (fd >= 0 && replace && ::ftruncate(fd, 0) != 0) {
        failure = SystemErrorText(errno);
        ::close(fd);
        fd = -1;
    }
    if (fd < 0) {
        if (error)
            *error = failure;
        return false;
    }
    Close();
    m_fd = fd;
    m_name = path;
    if (!replace)
        m_lineEnd = missingLineEnd(path);
    return true;
}

bool LogFile::Append(const QByteArray &line, QString *error)
{
    if (!IsOpen()) {
        if (error)
            *error = QStringLiteral("The log file is not open");
        return false;
    }
    QString failure;
    qint64 written = 0;
    if (!m_lineEnd.isEmpty()) {
        const bool ended = WriteToFile(m_fd, m_lineEnd, &failure, &written);
        m_lineEnd.remove(0, written);
        if (!ended)
            return failed(failure, error);
    }
    if (!WriteToFile(m_fd, line + "\r\n", &failure, &written)) {
        // Cut in the line's text: CR LF ends it; after its CR: the LF.
        if (written > 0)
            m_lineEnd = written > line.size() ? "\n" : "\r\n";
        return failed(failure, error);
    }
    return true;
}

bool LogFile::failed(const QString &failure, QString *error)
{
    ++m_failedWrites;
    m_lastFailure = failure;
    m_lastFailedFile = m_name;
    if (error)
        *error = failure;
    return false;
}

void LogFile::Close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_name.clear();
    m_lineEnd.clear();
}

LogFile &CommLogFile()
{
    static LogFile file;
    static const bool closedAtTheEnd = [] {
        qAddPostRoutine([] { CommLogFile().Close(); });
        return true;
    }();
    (void)closedAtTheEnd;
    return file;
}

LogFileOpening OpenCommLogFile(const std::function<QString()> &chooseFile)
{
    QString path;
    bool replace = false;
    for (;;) {
        path = chooseFile();
        if (path.isEmpty())
            return {};
        const QFileInfo info(path);
        if (!info.exists() || !info.isFile())
            break; // a new file (what is not a file is refused by the opening)
        const MsgAnswer answer = MsgBox(QStringLiteral("Replace existing file - ") + path + QLatin1Char('?'),
                                        MsgButtons::YesNoCancel, MsgIcon::Question);
        if (answer == MsgAnswer::Cancel)
            continue;
        replace = answer == MsgAnswer::Yes;
        break;
    }

    LogFileOpening opening;
    if (!CommLogFile().Open(path, replace, &opening.openError))
        return opening;
    opening.opened = true;
    const QByteArray line =
        GeneralDate(QDateTime::currentDateTime()) + ": Log File Opened - " + QFile::encodeName(path);
    AddToLog(line, false, true);
    CommLogFile().Append(line, &opening.lineError);
    return opening;
}
