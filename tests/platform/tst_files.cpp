// Whole files: a replacement that does not fit leaves the old file as it was and says why in the
// system's words; reading refuses what is not a regular file or is too large.

#include <QtTest>

#include "platform/files.h"
#include "support/filelimits.h"

#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
    const FileSizeLimit limit(4096); // a write past it fails with EFBIG
    if (!limit.ok())
        return 3;
    QString error;
    if (ReplaceWholeFile(path, newContent(), &error))
        return 1;
    std::printf("%s\n", qPrintable(error));
    return error == QLatin1String("File too large") ? 0 : 2;
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
        QVERIFY2(child.exitCode() == 0, child.readAllStandardOutput().constData()); // "File too large"

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
        const QList<std::pair<QString, QString>> refused = {
            {fifo, QStringLiteral("fifo is not a regular file")},
            {large, QStringLiteral("large is too large (more than 1 MB)")},
            {QStringLiteral("/dev/zero"), QStringLiteral("zero is not a regular file")},
            {dir.path(), QFileInfo(dir.path()).fileName() + QStringLiteral(" is not a regular file")},
            {dir.filePath("missing"), QStringLiteral("No such file or directory")},
            {QStringLiteral("/proc/self/mem"), QStringLiteral("Input/output error")}};
        for (const auto &[path, why] : refused) {
            error.clear();
            QVERIFY2(!ReadWholeFile(path, &content, &error), qPrintable(path));
            QCOMPARE(error, why);
        }
        QCOMPARE(content, QByteArray("untouched"));
        // A larger limit for the files that need one.
        QVERIFY(ReadWholeFile(large, &content, &error, MaxArchiveBytes));
        QCOMPARE(content.size(), MaxFileBytes + 1);
        // Nor is anything but a regular file replaced.
        QVERIFY(!ReplaceWholeFile(fifo, "x", &error));
        QVERIFY(QFileInfo(fifo).exists() && !QFileInfo(fifo).isFile());
    }

    // A write the device refuses, in the system's words.
    void aRefusedWrite()
    {
        const int full = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
        QVERIFY(full >= 0);
        QString error;
        QVERIFY(!WriteToFile(full, "line\r\n", &error));
        ::close(full);
        QCOMPARE(error, QStringLiteral("No space left on device"));
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
