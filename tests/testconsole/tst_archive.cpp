// The test message archive against real files: what the file holds, what survives a restart,
// the size limit, the questions, and a rewrite that fails.

#include <QtTest>

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
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
}

QByteArray numberedLines(int first, int last)
{
    QByteArray bytes;
    for (int n = first; n <= last; ++n)
        bytes += "Message " + QByteArray::number(n) + "\r\n";
    return bytes;
}

using Change = MessageArchive::Change;

bool same(const Change &c, bool changed, int select, bool showSelected)
{
    return c.changed == changed && c.select == select && c.showSelected == showSelected;
}

} // namespace

class TestArchive : public QObject {
    Q_OBJECT
private slots:
    // The first Add makes the folder and the file; entries with commas and quotes come back
    // whole after a restart; a duplicate changes nothing (the file is not written), a text
    // differing in case is new; CR and LF never reach the file.
    void entriesSurviveARestart()
    {
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("data/Kestrane Paging Encoder Setup"));
        MessageArchive archive(folder);
        archive.Load();
        QVERIFY(archive.Entries().isEmpty());

        QVERIFY(same(archive.Add("Call \"Base\", now"), true, 0, false));
        QCOMPARE(archive.Path(), folder + QStringLiteral("/messages.dat"));
        QCOMPARE(readFile(archive.Path()), QByteArray("Call \"Base\", now\r\n"));
        QVERIFY(same(archive.Add("Two\r\nlines\n"), true, 1, false));
        QVERIFY(same(archive.Add(""), false, -1, false));
        QVERIFY(same(archive.Add("\r\n"), false, -1, false));

        writeFile(archive.Path(), "changed behind its back\r\n");
        QVERIFY(same(archive.Add("Twolines"), false, -1, false));
        QCOMPARE(readFile(archive.Path()), QByteArray("changed behind its back\r\n"));
        QVERIFY(same(archive.Add("call \"base\", now"), true, 2, false));

        const QByteArray expected = "Call \"Base\", now\r\nTwolines\r\ncall \"base\", now\r\n";
        QCOMPARE(readFile(archive.Path()), expected);
        MessageArchive restarted(folder);
        restarted.Load();
        QCOMPARE(restarted.Entries(), QList<QByteArray>({"Call \"Base\", now", "Twolines", "call \"base\", now"}));

        // A file written elsewhere: any line ending, a last line without one, empty lines.
        writeFile(archive.Path(), QByteArray("a\r\nb\nc\r\r\nd\xE9", 11));
        restarted.Load();
        QCOMPARE(restarted.Entries(), QList<QByteArray>({"a", "b", "c", "", QByteArray("d\xE9", 2)}));
    }

    // Add keeps the list below 300 by dropping the oldest; Replace drops the last entry of a
    // longer list (only a longer file makes one); loading shortens nothing.
    void sizeLimit()
    {
        QTemporaryDir dir;
        MessageArchive archive(dir.path());
        writeFile(archive.Path(), numberedLines(1, 299));
        archive.Load();
        QVERIFY(same(archive.Add("New"), true, 298, false));
        QCOMPARE(archive.Entries().size(), 299);
        QCOMPARE(archive.Entries().first(), QByteArray("Message 2"));
        QCOMPARE(readFile(archive.Path()), numberedLines(2, 299) + "New\r\n");

        writeFile(archive.Path(), numberedLines(1, 305));
        archive.Load();
        QCOMPARE(archive.Entries().size(), 305);
        ScriptedBoxes boxes;
        boxes.expect(QStringLiteral("Replace"), MsgAnswer::Yes);
        QVERIFY(same(archive.Replace(0, "First"), true, 0, true));
        QCOMPARE(readFile(archive.Path()), "First\r\n" + numberedLines(2, 304));
    }

    // Delete and Replace ask first; No changes nothing. Replace does nothing (and asks nothing)
    // for a text already in the list, the selected entry's own included, for an empty message
    // or without a selection. After Delete nothing is selected.
    void questions()
    {
        QTemporaryDir dir;
        MessageArchive archive(dir.path());
        writeFile(archive.Path(), "one\r\ntwo\r\nthree\r\n");
        archive.Load();
        ScriptedBoxes boxes;
        const auto ask = [&](const QString &text, MsgAnswer answer) {
            boxes.expect(text, answer).title(QStringLiteral("Verify")).buttons(MsgButtons::YesNo).icon(MsgIcon::None);
        };
        ask(QStringLiteral("Are you sure you want to delete the selected item?"), MsgAnswer::No);
        ask(QStringLiteral("Are You Sure You Want to Replace the Selected Item?"), MsgAnswer::No);
        QVERIFY(same(archive.Delete(1), false, -1, false));
        QVERIFY(same(archive.Replace(1, "2"), false, -1, false));
        for (const QByteArray &text : {QByteArray("two"), QByteArray("three"), QByteArray(), QByteArray("\n")})
            QVERIFY(same(archive.Replace(1, text), false, -1, false));
        QVERIFY(same(archive.Replace(-1, "2"), false, -1, false));
        QVERIFY(same(archive.Delete(3), false, -1, false));
        QCOMPARE(readFile(archive.Path()), QByteArray("one\r\ntwo\r\nthree\r\n"));

        ask(QStringLiteral("Replace"), MsgAnswer::Yes);
        QVERIFY(same(archive.Replace(1, "2\r\n"), true, 1, true));
        ask(QStringLiteral("delete"), MsgAnswer::Yes);
        QVERIFY(same(archive.Delete(0), true, -1, false));
        QCOMPARE(readFile(archive.Path()), QByteArray("2\r\nthree\r\n"));
        boxes.verifyAllShown();
    }

    // A rewrite the disk refuses (here: files may not grow past 64 bytes) keeps the old file
    // whole and says why; the list keeps its change, and the next rewrite that fits saves it.
    void aFailedRewriteKeepsTheOldFile()
    {
        QTemporaryDir dir;
        MessageArchive archive(dir.path());
        const QByteArray old = numberedLines(1, 5); // 55 bytes
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
        const Change change = archive.Add("A message that does not fit");
        ::setrlimit(RLIMIT_FSIZE, &before);
        std::signal(SIGXFSZ, previousHandler);

        QVERIFY(same(change, true, -1, false));
        boxes.verifyAllShown();
        QVERIFY(!boxes.shown().first().text.isEmpty());
        QCOMPARE(readFile(archive.Path()), old);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{MessageArchive::FileName()});
        QCOMPARE(archive.Entries().last(), QByteArray("A message that does not fit"));

        boxes.expect(QStringLiteral("delete"), MsgAnswer::Yes);
        QVERIFY(same(archive.Delete(0), true, -1, false));
        QCOMPARE(readFile(archive.Path()), numberedLines(2, 5) + "A message that does not fit\r\n");
    }
};

QTEST_GUILESS_MAIN(TestArchive)
#include "tst_archive.moc"
