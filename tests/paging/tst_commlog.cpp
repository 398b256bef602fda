#include <QtTest>

#include "paging/commlog.h"
#include "support/filelimits.h"
#include "support/scriptedboxes.h"

#include "paging/recorderconsole.h"

#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/stat.h>

// The log list's bound and selection, and the log file: which lines reach it, how a file is
// chosen, replaced or continued, and that a failed choice keeps the file in use.
class TestCommLog : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

    QString path(const char *name) const { return dir.filePath(QLatin1String(name)); }
    static QByteArray contents(const QString &file)
    {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    // Opens the log file through the dialog's answers, in turn.
    static LogFileOpening open(QStringList answers)
    {
        return OpenCommLogFile([&answers] { return answers.isEmpty() ? QString() : answers.takeFirst(); });
    }

private slots:
    void cleanup() { CommLogFile().Close(); }

    void listKeepsTheLatest299()
    {
        RecorderConsole console;
        for (int i = 1; i <= 301; ++i)
            AddLogLine(QByteArray::number(i));
        QCOMPARE(console.lines.size(), 299);
        QCOMPARE(console.lines.first(), QByteArray("301"));
        QCOMPARE(console.lines.last(), QByteArray("3"));
        QCOMPARE(console.selected, 0);
        // An inline line leaves the selection on the line it was on.
        LogInline("inline");
        QCOMPARE(console.lines.size(), 299);
        QCOMPARE(console.selected, 1);
    }

    // A new file starts with the opening line; inline lines follow, list-only lines do not.
    // Choosing an existing file asks: Cancel shows the dialog again, No writes after the old
    // content, Yes starts afresh. A failed choice keeps the file in use; closing ends the writing.
    void choosingAFile()
    {
        RecorderConsole console;
        ScriptedBoxes boxes;
        open({path("a.log")});
        QVERIFY(CommLogFile().IsOpen());
        QCOMPARE(console.lines.size(), 1);
        QVERIFY(console.lines[0].endsWith(": Log File Opened - " + QFile::encodeName(path("a.log"))));
        LogInline("to the file");
        AddLogLine("list only");
        // Every line is in the file as soon as it is logged.
        QCOMPARE(contents(path("a.log")), console.lines[2] + "\r\nto the file\r\n");

        boxes.expect(QStringLiteral("Replace existing file - ") + path("a.log") + QLatin1Char('?'), MsgAnswer::Cancel)
            .buttons(MsgButtons::YesNoCancel)
            .icon(MsgIcon::Question);
        boxes.expect(QStringLiteral("Replace existing file"), MsgAnswer::No);
        open({path("a.log"), path("a.log")});
        QVERIFY(boxes.verifyAllShown());
        LogInline("second");
        const QByteArray a = contents(path("a.log"));
        QVERIFY2(a.startsWith(console.lines[4] + "\r\nto the file\r\n" + console.lines[1] + "\r\nsecond\r\n"), a);

        boxes.expect(QStringLiteral("Replace existing file"), MsgAnswer::Yes);
        open({path("a.log")});
        QCOMPARE(contents(path("a.log")), console.lines[0] + "\r\n");

        // Cancelled, or a file that cannot be opened (the system's text for the console to
        // say): the file in use stays.
        const LogFileOpening cancelled = open({});
        QVERIFY(!cancelled.opened && cancelled.openError.isEmpty());
        QCOMPARE(open({dir.filePath(QStringLiteral("missing/folder/c.log"))}).openError,
                 QStringLiteral("No such file or directory"));
        QVERIFY(boxes.verifyAllShown());
        LogInline("still here");
        QVERIFY(contents(path("a.log")).endsWith("\r\nstill here\r\n"));
        CommLogFile().Close();
        LogInline("gone");
        QVERIFY(!contents(path("a.log")).contains("gone"));
    }

    // A line a file-size limit cuts short is ended before the next line that fits, and a file
    // taken up again after a line cut after its CR gets the LF: every line starts on its own.
    void aLineCutShort()
    {
        const QString name = path("cut.log");
        LogFile file;
        QString error;
        QVERIFY(file.Open(name, true, &error));
        QVERIFY(file.Append("first"));
        {
            FileSizeLimit limit(7 + 4);
            QVERIFY(limit.ok());
            QVERIFY(!file.Append("second", &error));
            QCOMPARE(error, QStringLiteral("File too large"));
            QVERIFY(!file.Append("third")); // no room even to end the cut line
        }
        QVERIFY(file.Append("fourth"));
        QCOMPARE(contents(name), QByteArray("first\r\nseco\r\nfourth\r\n"));
        {
            FileSizeLimit limit(QFileInfo(name).size() + 6);
            QVERIFY(limit.ok());
            QVERIFY(!file.Append("fifth"));
        }
        file.Close();
        QVERIFY(file.Open(name, false, &error));
        QVERIFY(file.Append("sixth"));
        QCOMPARE(contents(name), QByteArray("first\r\nseco\r\nfourth\r\nfifth\r\nsixth\r\n"));
        QCOMPARE(file.FailedWrites(), 3);
    }

    // A FIFO chosen as log file is refused at once, whether something reads it or not (the
    // opening would otherwise wait for a reader for ever), and the file in use stays.
    void aFifoIsRefused()
    {
        RecorderConsole console;
        QVERIFY(open({path("in use.log")}).opened);
        const QString fifo = path("fifo.log");
        QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
        const int reader = ::open(QFile::encodeName(fifo).constData(), O_RDONLY | O_NONBLOCK);
        QVERIFY(reader >= 0);
        const LogFileOpening withReader = open({fifo});
        ::close(reader);
        QCOMPARE(withReader.openError, QStringLiteral("fifo.log is not a regular file"));
        QCOMPARE(open({fifo}).openError, QStringLiteral("fifo.log is not a regular file"));
        QCOMPARE(CommLogFile().FileName(), path("in use.log"));
        QCOMPARE(console.lines.size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestCommLog)
#include "tst_commlog.moc"
