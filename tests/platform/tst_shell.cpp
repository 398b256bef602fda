// Shell seams: file and printer dialogs, shell open, window flash, the single-instance check.
#include <QtTest>

#include "platform/shell.h"
#include "support/childprocess.h"
#include "support/pendingaction.h"

#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QTemporaryDir>
#include <QWidget>

#include <cstdio>
#include <functional>

using encodertest::StartSelfAsChild;
using encodertest::WaitForInputToClose;

namespace {
// Runs `act` on the first modal dialog of type T that appears (from inside its event loop),
// while the guard returned is kept.
template <typename T>
[[nodiscard]] PendingAction onNextDialog(std::function<void(T *)> act)
{
    return When([] { return qobject_cast<T *>(QApplication::activeModalWidget()) != nullptr; },
                [act = std::move(act)] {
                    if (auto *dialog = qobject_cast<T *>(QApplication::activeModalWidget()))
                        act(dialog);
                });
}

// Child process modes (see main): ask once, or hold the lock until stdin closes.
int childMain()
{
    if (qEnvironmentVariableIsSet("PS_LOCK_ASK")) {
        std::printf("result=%d\n", PreviousInstance(qEnvironmentVariable("PS_LOCK_ASK")) ? 1 : 0);
        return 0;
    }
    std::printf("locked=%d\n", PreviousInstance(qEnvironmentVariable("PS_LOCK_HOLD")) ? 1 : 0);
    std::fflush(stdout);
    WaitForInputToClose();
    return 0;
}


QString askChild(const QString &appName)
{
    QProcess child;
    StartSelfAsChild(child, "PS_LOCK_ASK", appName);
    if (!child.waitForFinished(10000))
        return QStringLiteral("timeout");
    return QString::fromLatin1(child.readAllStandardOutput()).trimmed();
}
} // namespace

// The temporary folder of this run and its children (TMPDIR). A static made before the first
// PreviousInstance call, so it is removed after the lock that lives in it is released.
QTemporaryDir &runTempDir()
{
    static QTemporaryDir dir;
    return dir;
}

class TestShell : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(runTempDir().isValid());
        qputenv("TMPDIR", QFile::encodeName(runTempDir().path()));
        QCOMPARE(QDir::tempPath(), QDir(runTempDir().path()).canonicalPath());
    }

    void cleanup()
    {
        SetFileDialogHook({});
        SetPrinterDialogHook({});
        SetShellOpenHook({});
        SetFlashWindowHook({});
        SetPreviousInstanceHook({});
    }

    // Every service goes to its hook when one is set, with the caller's request unchanged (the
    // program's window tests answer their dialogs, shell and instance checks through these).
    void hooksReplaceTheServices()
    {
        FileDialogRequest seen;
        SetFileDialogHook([&seen](const FileDialogRequest &r) {
            seen = r;
            return QStringLiteral("/data/site.pg9");
        });
        const FileDialogRequest r{.save = true, .title = "Save As", .filter = "Pager Database (*.pg9)",
                                  .directory = "/data", .defaultName = "site.pg9", .confirmOverwrite = false};
        QCOMPARE(FileDialog(nullptr, r), QStringLiteral("/data/site.pg9"));
        QVERIFY(seen.save && !seen.confirmOverwrite);
        QCOMPARE(QStringList({seen.title, seen.filter, seen.directory, seen.defaultName}),
                 QStringList({r.title, r.filter, r.directory, r.defaultName}));
        QPrinter printer;
        SetPrinterDialogHook([&printer](QPrinter &p) { return &p == &printer; }); // the caller's printer
        QVERIFY(PrinterDialog(nullptr, printer));

        QWidget w;
        QList<QWidget *> flashed;
        SetFlashWindowHook([&flashed](QWidget *x) { flashed << x; });
        FlashWindow(&w);
        QCOMPARE(flashed, QList<QWidget *>({&w}));
        SetFlashWindowHook({});
        w.show();
        FlashWindow(&w); // the real call does no harm offscreen
        FlashWindow(nullptr);
    }

    // The real dialogs: they open in the request's folder under its title, offer the default
    // name, give nothing when cancelled, and never change the current folder.
    void realDialogs()
    {
        QTemporaryDir here, there;
        QFile f(there.filePath("site.pg9"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(here.path()));
        const QString current = QDir::currentPath();

        QString shownDir, shownTitle, offered;
        const PendingAction open = onNextDialog<QFileDialog>([&](QFileDialog *d) {
            shownDir = d->directory().absolutePath();
            shownTitle = d->windowTitle();
            d->selectFile(f.fileName());
            static_cast<QDialog *>(d)->accept();
        });
        FileDialogRequest request{.save = false, .title = "Open Database", .filter = "Pager Database (*.pg9)",
                                  .directory = there.path(), .defaultName = QString(), .confirmOverwrite = true};
        const QString opened = FileDialog(nullptr, request);
        const PendingAction save = onNextDialog<QFileDialog>([&](QFileDialog *d) {
            if (auto *edit = d->findChild<QLineEdit *>("fileNameEdit"))
                offered = edit->text();
            static_cast<QDialog *>(d)->accept();
        });
        request.save = true;
        request.title = "Save As";
        request.defaultName = "new.pg9";
        const QString saved = FileDialog(nullptr, request);
        const PendingAction cancel = onNextDialog<QFileDialog>([](QFileDialog *d) { d->reject(); });
        const QString cancelled = FileDialog(nullptr, request);
        const QString after = QDir::currentPath();
        QDir::setCurrent(before);

        QCOMPARE(after, current);
        QCOMPARE(QFileInfo(opened).canonicalFilePath(), QFileInfo(f).canonicalFilePath());
        QCOMPARE(shownTitle, QStringLiteral("Open Database"));
        QCOMPARE(QDir(shownDir).canonicalPath(), QDir(there.path()).canonicalPath());
        QCOMPARE(offered, QStringLiteral("new.pg9"));
        QCOMPARE(QFileInfo(saved).fileName(), QStringLiteral("new.pg9"));
        QCOMPARE(QDir(QFileInfo(saved).absolutePath()).canonicalPath(), QDir(there.path()).canonicalPath());
        QCOMPARE(cancelled, QString());

        QPrinter printer;
        const PendingAction cancelPrint = onNextDialog<QPrintDialog>([](QPrintDialog *d) { d->reject(); });
        QVERIFY(!PrinterDialog(nullptr, printer));
    }

    void firstCopyTakesTheLockForItsLifetime()
    {
        const QString name = QStringLiteral("Kestrane Paging Encoder Setup");
        QVERIFY(!PreviousInstance(name));
        QVERIFY(!PreviousInstance(name)); // the same answer again
        const QString lockPath = PreviousInstanceLockPath(name);
        QVERIFY(lockPath.startsWith(QDir::tempPath()));
        QVERIFY(!QFileInfo(lockPath).fileName().contains(QLatin1Char(' ')));
        QVERIFY(QFile::exists(lockPath));
        // Another process under the same name sees this copy; under another name it does not.
        QCOMPARE(askChild(name), QStringLiteral("result=1"));
        QCOMPARE(askChild(QStringLiteral("Solvendra R-740 Paging Encoder Setup")), QStringLiteral("result=0"));
    }

    // A copy holding the name is seen (however old its lock file) until it ends, normally or
    // killed with its lock file left behind.
    void anotherRunningCopyIsSeenUntilItEnds_data()
    {
        QTest::addColumn<bool>("killed");
        QTest::newRow("ends normally") << false;
        QTest::newRow("killed") << true;
    }

    void anotherRunningCopyIsSeenUntilItEnds()
    {
        QFETCH(bool, killed);
        const QString name = killed ? QStringLiteral("Crashed Holder") : QStringLiteral("Held By Child");
        QProcess holder;
        StartSelfAsChild(holder, "PS_LOCK_HOLD", name);
        QVERIFY(holder.waitForStarted(10000));
        QTRY_VERIFY_WITH_TIMEOUT(holder.canReadLine() || holder.state() != QProcess::Running, 10000);
        QCOMPARE(QString::fromLatin1(holder.readLine()).trimmed(), QStringLiteral("locked=0"));

        QVERIFY(PreviousInstance(name));
        {
            QFile lock(PreviousInstanceLockPath(name));
            QVERIFY(lock.open(QIODevice::ReadWrite));
            QVERIFY(lock.setFileTime(QDateTime::currentDateTime().addSecs(-3600), QFileDevice::FileModificationTime));
        }
        QCOMPARE(askChild(name), QStringLiteral("result=1"));
        if (killed)
            holder.kill(); // SIGKILL: the lock file stays behind
        else
            holder.closeWriteChannel();
        QVERIFY(holder.waitForFinished(10000));
        if (killed)
            QVERIFY(QFile::exists(PreviousInstanceLockPath(name)));
        QCOMPARE(askChild(name), QStringLiteral("result=0"));
    }
};

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsSet("PS_LOCK_ASK") || qEnvironmentVariableIsSet("PS_LOCK_HOLD")) {
        QCoreApplication app(argc, argv);
        return childMain();
    }
    QApplication app(argc, argv);
    TestShell test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_shell.moc"
