// The test message archive against real files: what the file holds, what survives a restart,
// the size limit, the questions, and a rewrite that fails.

#include <QtTest>

#include "platform/files.h"
#include "platform/msgbox.h"
#include "support/scriptedboxes.h"
#include "testconsole/archive.h"

#include <csignal>
#include <sys/resource.h>

namespace {

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
}

QByteArray lines(int first, int last)
{
    QByteArray bytes;
    for (int n = first; n <= last; ++n)
        bytes += "Message " + QByteArray::number(n) + "\r\n";
    return bytes;
}

// changed, select, showSelected as one text: "1 2 0".
QString change(const MessageArchive::Change &c)
{
    return QStringLiteral("%1 %2 %3").arg(int(c.changed)).arg(c.select).arg(int(c.showSelected));
}

const QString Unchanged = QStringLiteral("0 -1 0");

} // namespace

class TestArchive : public QObject {
    Q_OBJECT
private slots:
    // The first Add makes the folder and the file; entries with commas and quotes come back
    // whole after a restart; a duplicate is not written again, a text differing in case is
    // new; CR and LF never reach the file; a file from elsewhere may end its lines any way.
    void entriesSurviveARestart()
    {
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("data/Kestrane Paging Encoder Setup"));
        MessageArchive archive(folder);
        archive.Load();
        QVERIFY(archive.Entries().isEmpty());
        QCOMPARE(change(archive.Add("Call \"Base\", now")), QStringLiteral("1 0 0"));
        QCOMPARE(readFile(folder + QStringLiteral("/messages.dat")), QByteArray("Call \"Base\", now\r\n"));
        QCOMPARE(change(archive.Add("Two\r\nlines\n")), QStringLiteral("1 1 0"));
        for (const QByteArray &nothing : {QByteArray(), QByteArray("\r\n")})
            QCOMPARE(change(archive.Add(nothing)), Unchanged);
        writeFile(archive.Path(), "changed behind its back\r\n");
        QCOMPARE(change(archive.Add("Twolines")), Unchanged);
        QCOMPARE(readFile(archive.Path()), QByteArray("changed behind its back\r\n"));
        QCOMPARE(change(archive.Add("call \"base\", now")), QStringLiteral("1 2 0"));
        QCOMPARE(readFile(archive.Path()), QByteArray("Call \"Base\", now\r\nTwolines\r\ncall \"base\", now\r\n"));

        MessageArchive restarted(folder);
        restarted.Load();
        QCOMPARE(restarted.Entries(), archive.Entries());
        writeFile(archive.Path(), QByteArray("a\r\nb\nc\r\r\nd\xE9", 11));
        restarted.Load();
        QCOMPARE(restarted.Entries(), QList<QByteArray>({"a", "b", "c", "", QByteArray("d\xE9", 2)}));
    }

    // Add keeps the list below 300 by dropping the oldest; Replace drops the last entry of a
    // longer list (only a longer file makes one); loading shortens nothing. The file never passes
    // what a session reads: an Add or a Replace past it is refused with a box, one that reaches
    // it exactly goes in.
    void sizeLimit()
    {
        QTemporaryDir dir;
        MessageArchive archive(dir.path());
        writeFile(archive.Path(), lines(1, 299));
        archive.Load();
        QCOMPARE(change(archive.Add("New")), QStringLiteral("1 298 0"));
        QCOMPARE(readFile(archive.Path()), lines(2, 299) + "New\r\n");
        writeFile(archive.Path(), lines(1, 305));
        archive.Load();
        QCOMPARE(archive.Entries().size(), 305);
        ScriptedBoxes boxes;
        boxes.expect(QStringLiteral("Replace"), MsgAnswer::Yes);
        QCOMPARE(change(archive.Replace(0, "First")), QStringLiteral("1 0 1"));
        QCOMPARE(readFile(archive.Path()), "First\r\n" + lines(2, 304));

        // Three bytes under the limit: "zz" and CR LF would pass it, "z" and CR LF reach it.
        const QByteArray nearlyFull = QByteArray(MaxArchiveBytes / 2, 'a') + "\r\n" +
                                      QByteArray(MaxArchiveBytes / 2 - 7, 'b') + "\r\n";
        writeFile(archive.Path(), nearlyFull);
        archive.Load();
        for (int i = 0; i < 2; ++i)
            boxes.expect(QStringLiteral("The message archive is full: with this message it would pass its "
                                        "limit of 16 MB."))
                .title(QStringLiteral("Message Archive"))
                .icon(MsgIcon::Exclamation);
        QCOMPARE(change(archive.Add("zz")), Unchanged);
        QCOMPARE(archive.Entries().size(), 2);
        QCOMPARE(change(archive.Add("z")), QStringLiteral("1 2 0"));
        QCOMPARE(change(archive.Replace(2, "zz")), Unchanged);
        QVERIFY(boxes.verifyAllShown());
        QCOMPARE(readFile(archive.Path()), nearlyFull + "z\r\n");
        archive.Load();
        QCOMPARE(archive.Entries().last(), QByteArray("z"));
        QVERIFY(archive.ReadError().isEmpty());
    }

    // Delete and Replace ask first, and No changes nothing. Replace neither asks nor changes
    // for a text already in the list (the selected entry's own included), an empty message or
    // no selection. After Delete nothing is selected; Replace shows the entry it put in.
    void questions()
    {
        QTemporaryDir dir;
        MessageArchive archive(dir.path());
        writeFile(archive.Path(), "one\r\ntwo\r\nthree\r\n");
        archive.Load();
        ScriptedBoxes boxes;
        const auto ask = [&](const char *text, MsgAnswer answer) {
            boxes.expect(QString::fromLatin1(text), answer).title(QStringLiteral("Verify")).buttons(MsgButtons::YesNo).icon(MsgIcon::None);
        };
        ask("Are you sure you want to delete the selected item?", MsgAnswer::No);
        ask("Are You Sure You Want to Replace the Selected Item?", MsgAnswer::No);
        QCOMPARE(change(archive.Delete(1)), Unchanged);
        QCOMPARE(change(archive.Replace(1, "2")), Unchanged);
        for (const QByteArray &text : {QByteArray("two"), QByteArray("three"), QByteArray("\n")})
            QCOMPARE(change(archive.Replace(1, text)), Unchanged);
        QCOMPARE(change(archive.Delete(3)), Unchanged);
        QCOMPARE(readFile(archive.Path()), QByteArray("one\r\ntwo\r\nthree\r\n"));

        ask("Replace", MsgAnswer::Yes);
        ask("delete", MsgAnswer::Yes);
        QCOMPARE(change(archive.Replace(1, "2\r\n")), QStringLiteral("1 1 1"));
        QCOMPARE(change(archive.Delete(0)), QStringLiteral("1 -1 0"));
        QCOMPARE(readFile(archive.Path()), QByteArray("2\r\nthree\r\n"));
        boxes.verifyAllShown();
    }

    // A rewrite the disk refuses (files may not grow past 64 bytes) keeps the old file whole
    // and says why; the list keeps its change, and the next rewrite that fits saves it.
    void aFailedRewriteKeepsTheOldFile()
    {
        QTemporaryDir dir;
        MessageArchive archive(dir.path());
        const QByteArray old = lines(1, 5); // 55 bytes
        writeFile(archive.Path(), old);
        archive.Load();
        ScriptedBoxes boxes;
        boxes.expect(QString()).title(AppTitle()).buttons(MsgButtons::OK).icon(MsgIcon::Exclamation);

        rlimit before{};
        QVERIFY(::getrlimit(RLIMIT_FSIZE, &before) == 0);
        const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limited = before;
        limited.rlim_cur = 64;
        QVERIFY(::setrlimit(RLIMIT_FSIZE, &limited) == 0);
        const MessageArchive::Change failed = archive.Add("A message that does not fit");
        ::setrlimit(RLIMIT_FSIZE, &before);
        std::signal(SIGXFSZ, previousHandler);

        QCOMPARE(change(failed), QStringLiteral("1 -1 0"));
        boxes.verifyAllShown();
        QVERIFY(!boxes.shown().first().text.isEmpty());
        QCOMPARE(readFile(archive.Path()), old);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{MessageArchive::FileName()});
        boxes.expect(QStringLiteral("delete"), MsgAnswer::Yes);
        archive.Delete(0);
        QCOMPARE(readFile(archive.Path()), lines(2, 5) + "A message that does not fit\r\n");
    }
};

QTEST_GUILESS_MAIN(TestArchive)
#include "tst_archive.moc"
