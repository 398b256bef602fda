// Whole files: a replacement that does not fit leaves the old file as it was, and reading
// refuses what is not a regular file or is too large.

#include <QtTest>

#include "platform/files.h"

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

// The content of a pager database file of about 4.7 KB.
QByteArray newContent()
{
    QByteArray bytes;
    for (int n = 1; bytes.size() < 4800; ++n)
        bytes += "Fam" + QByteArray::number(n) + ",1,1234000,5,A,3,050,0100,00,00\r\n";
    return bytes;
}

// In a child process whose files may not grow past 4 KB (a disk that is nearly full, as the
// program meets it): the replacement must fail and say so. Exit code 0 when it did.
int replaceUnderASizeLimit(const QString &path)
{
    std::signal(SIGXFSZ, SIG_IGN); // a write past the limit then fails with EFBIG
    const rlimit limit{4096, 4096};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
        return 3;
    QString error;
    if (ReplaceWholeFile(path, newContent(), &error))
        return 1;
    return error.isEmpty() ? 2 : 0;
}

} // namespace

class TestFiles : public QObject {
    Q_OBJECT

private slots:
    void aReplacementThatDoesNotFitKeepsTheOldFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("site.pg9"));
        const QByteArray old = "the old database\r\n";
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(old) == old.size());
        f.close();

        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("PS_REPLACE_UNDER_LIMIT"), path);
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(child.waitForFinished(30000));
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.exitCode(), 0);

        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), old);
        f.close();
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("site.pg9")}); // nothing left over

        // Without the limit the same replacement goes through.
        QString error;
        QVERIFY2(ReplaceWholeFile(path, newContent(), &error), qPrintable(error));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), newContent());
    }

    void onlyRegularFilesOfASensibleSize()
    {
        QTemporaryDir dir;
        const QString fifo = dir.filePath(QStringLiteral("fifo"));
        QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
        const QString large = dir.filePath(QStringLiteral("large"));
        QFile f(large);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.resize(MaxFileBytes + 1));
        f.close();

        QByteArray content = "untouched";
        QString error;
        for (const QString &path : {fifo, large, QStringLiteral("/dev/zero"), dir.path(), dir.filePath("missing")}) {
            error.clear();
            QVERIFY2(!ReadWholeFile(path, &content, &error), qPrintable(path));
            QVERIFY2(!error.isEmpty(), qPrintable(path));
        }
        QCOMPARE(content, QByteArray("untouched"));
        // Nor is anything but a regular file replaced.
        QVERIFY(!ReplaceWholeFile(fifo, "x", &error));
        QVERIFY(QFileInfo(fifo).exists() && !QFileInfo(fifo).isFile());
    }
};

int main(int argc, char **argv)
{
    const QString underLimit = qEnvironmentVariable("PS_REPLACE_UNDER_LIMIT");
    if (!underLimit.isEmpty())
        return replaceUnderASizeLimit(underLimit);
    QCoreApplication app(argc, argv);
    TestFiles test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_files.moc"
