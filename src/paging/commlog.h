#pragma once
// The communications log: the test console's log list (at most 299 lines, the latest on top),
// the optional log file, and the forms of the log's lines. The senders add every step of a
// test page as one line; which lines also reach the log file and whether the list's top line is
// then selected depends on how a line is added (AddLogLine or LogInline).

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>

class QDateTime;

constexpr int MaxLogLines = 299;

// Puts the line at the top of the console's list, trims the list to MaxLogLines (the oldest
// lines go), selects the top line when selectTop, and appends the line to the log file when
// toFile and a log file is open. Without a console the list part does nothing.
void AddToLog(const QByteArray &line, bool toFile, bool selectTop);
// The list only, its top line selected: every line of the TAP and COMP1 senders, and the
// encoder's reply as the COMP2 and SNPP senders log it.
void AddLogLine(const QByteArray &line);
// The list, its selection left alone, and the log file: the other lines of the COMP2, SNPP,
// Kestrane and Scope senders.
void LogInline(const QByteArray &line);

// A reply with its control characters written by name ("<CR>", "<ACK>", "<ESC>", "<RS>",
// "<EOT>", "<NAK>", "<LF>", "<XOFF>", "<XON>", and with allTwelve also "<SOH>", "<STX>",
// "<ETX>"); other bytes stay as they are.
QByteArray NameControls(const QByteArray &reply, bool allTwelve);

// "m/d/yy h:mm AM": month, day and hour without leading zeros, two-digit year and minutes, the
// system's AM or PM designator. The timed lines of the Kestrane and Scope senders begin with it.
QByteArray TimePrefix(const QDateTime &at);
// The system's general date: the short date, a blank and the long time (without a time zone).
QByteArray GeneralDate(const QDateTime &at);

// A log file: lines ended by CR LF, each written at the end of the file and handed to the
// system at once. Every line starts on a line of its own: one that a full disk or a size limit
// cut short is ended (CR LF) before the next line that is written, and so is the last line of
// a file opened to be written after its content.
class LogFile {
public:
    LogFile();
    ~LogFile();
    LogFile(const LogFile &) = delete;
    LogFile &operator=(const LogFile &) = delete;

    bool IsOpen() const;
    QString FileName() const; // as it was opened; empty when closed

    // Opens path, emptied first when replace, else to be written after its content; creates it
    // when it does not exist. Only a regular file is taken (a FIFO or a device is refused
    // without waiting on it). The file open before is closed only once path is open, so a
    // failed open keeps it. On failure returns false with the system's text in error.
    bool Open(const QString &path, bool replace, QString *error);
    // The line and CR LF at the end of the file, after the end of a line a failed write cut
    // short. False (with the system's text) when the file is closed or the write failed; a failed
    // write is counted.
    bool Append(const QByteArray &line, QString *error = nullptr);
    void Close();

    // Writes that failed since the program started, the file each went to and why the latest
    // failed: the console says once per opening that the log file is incomplete.
    int FailedWrites() const { return m_failedWrites; }
    QString LastFailure() const { return m_lastFailure; }
    QString LastFailedFile() const { return m_lastFailedFile; }

private:
    // Counts the failure; false.
    bool failed(const QString &failure, QString *error);

    int m_fd = -1;
    QString m_name;
    QByteArray m_lineEnd; // what the file's last line lacks of its CR LF
    int m_failedWrites = 0;
    QString m_lastFailure;
    QString m_lastFailedFile;
};

// The program's one log file. It outlives the console: it is closed when the console's "Log to
// File" box is unchecked, and when the program ends.
LogFile &CommLogFile();

// What asking for a log file came to.
struct LogFileOpening {
    bool opened = false; // false with no openError: the operator cancelled
    QString openError;   // the chosen file could not be opened: the system's text
    QString lineError;   // opened, but its first line could not be written: the system's text
};

// Asks for a log file and opens it: chooseFile shows the file dialog and returns the chosen
// name, empty when the operator cancelled (then nothing changes). For an existing file asks
// "Replace existing file - <name>?": Yes empties it, No keeps its content and writes after it,
// Cancel shows the dialog again. Then the opening line: the date and time, ": Log File Opened -
// " and the name, in the list and the file. A file that cannot be opened leaves the file open
// before in use. The console says what failed.
LogFileOpening OpenCommLogFile(const std::function<QString()> &chooseFile);
