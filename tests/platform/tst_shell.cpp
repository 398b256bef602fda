// Shell seams: file and printer dialogs, shell open, window flash, the single-instance check.
#include <QtTest>

#include "platform/shell.h"

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

namespace {
// Runs `act` on the first modal dialog of type T that appears (from inside its event loop).
template <typename T>
void onNextDialog(std::function<void(T *)> act)
{
    auto *timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        if (auto *dialog = qobject_cast<T *>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            act(dialog);
        }
    });
    timer->start();
}

// Child process modes (see main): ask once, or hold the lock until told to stop.
int childMain()
{
    if (qEnvironmentVariableIsSet("PS_LOCK_ASK")) {
        const bool other = PreviousInstance(qEnvironmentVariable("PS_LOCK_ASK"));
        std::printf("result=%d\n", other ? 1 : 0);
        return 0;
    }
    const bool other = PreviousInstance(qEnvironmentVariable("PS_LOCK_HOLD"));
    std::printf("locked=%d\n", other ? 1 : 0);
    std::fflush(stdout);
    char line[16];
    while (std::fgets(line, sizeof line, stdin)) { // until stdin closes
    }
    return 0;
}

QString askChild(const QString &appName)
{
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PS_LOCK_ASK"), appName);
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), {});
    if (!child.waitForFinished(10000))
        return QStringLiteral("timeout");
    return QString::fromLatin1(child.readAllStandardOutput()).trimmed();
}

FileDialogRequest dbRequest(bool save, const QString &title, const QString &directory)
{
    FileDialogRequest r;
    r.save = save;
    r.title = title;
    r.filter = QStringLiteral("Pager Database (*.pg9)");
    r.directory = directory;
    return r;
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

    // Every service goes to its hook when one is set, with the caller's request unchanged.
    void hooksReplaceTheServices()
    {
        FileDialogRequest seen;
        SetFileDialogHook([&seen](const FileDialogRequest &r) {
            seen = r;
            return QStringLiteral("/data/site.pg9");
        });
        FileDialogRequest r = dbRequest(true, QStringLiteral("Save As"), QStringLiteral("/data"));
        r.defaultName = QStringLiteral("site.pg9");
        QCOMPARE(FileDialog(nullptr, r), QStringLiteral("/data/site.pg9"));
        QVERIFY(seen.save);
        QCOMPARE(seen.title, r.title);
        QCOMPARE(seen.filter, r.filter);
        QCOMPARE(seen.defaultName, r.defaultName);

        QPrinter printer;
        SetPrinterDialogHook([](QPrinter &p) {
            p.setDocName(QStringLiteral("hooked"));
            return true;
        });
        QVERIFY(PrinterDialog(nullptr, printer));
        QCOMPARE(printer.docName(), QStringLiteral("hooked"));

        QStringList asked;
        SetShellOpenHook([&asked](const QString &t) { asked << t; });
        ShellOpen(QStringLiteral("XJSETUP.PDF"));
        ShellOpen(QStringLiteral("http://www.example.com"));
        QCOMPARE(asked, QStringList({QStringLiteral("XJSETUP.PDF"), QStringLiteral("http://www.example.com")}));

        asked.clear();
        SetPreviousInstanceHook([&asked](const QString &name) {
            asked << name;
            return true;
        });
        QVERIFY(PreviousInstance(QStringLiteral("Hooked Name")));
        QCOMPARE(asked, QStringList({QStringLiteral("Hooked Name")}));

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

    void realOpenDialogDoesNotChangeTheCurrentFolder()
    {
        QTemporaryDir here, there;
        QFile f(there.filePath(QStringLiteral("site.pg9")));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(here.path()));
        const QString current = QDir::currentPath();

        QString shownDir, shownTitle;
        onNextDialog<QFileDialog>([&](QFileDialog *d) {
            shownDir = d->directory().absolutePath();
            shownTitle = d->windowTitle();
            d->selectFile(there.filePath(QStringLiteral("site.pg9")));
            static_cast<QDialog *>(d)->accept();
        });
        const QString chosen = FileDialog(nullptr, dbRequest(false, QStringLiteral("Open Database"), there.path()));
        QCOMPARE(QDir::currentPath(), current);
        QDir::setCurrent(before);
        QCOMPARE(QFileInfo(chosen).canonicalFilePath(),
                 QFileInfo(there.filePath(QStringLiteral("site.pg9"))).canonicalFilePath());
        QCOMPARE(shownTitle, QStringLiteral("Open Database"));
        QCOMPARE(QDir(shownDir).canonicalPath(), QDir(there.path()).canonicalPath());
    }

    void realSaveDialogOffersTheDefaultNameAndCancelGivesNothing()
    {
        QTemporaryDir there;
        const QString before = QDir::currentPath();
        QString offered;
        onNextDialog<QFileDialog>([&](QFileDialog *d) {
            if (auto *edit = d->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
                offered = edit->text();
            static_cast<QDialog *>(d)->accept();
        });
        FileDialogRequest r = dbRequest(true, QStringLiteral("Save As"), there.path());
        r.defaultName = QStringLiteral("new.pg9");
        const QString chosen = FileDialog(nullptr, r);
        QCOMPARE(offered, QStringLiteral("new.pg9"));
        QCOMPARE(QFileInfo(chosen).fileName(), QStringLiteral("new.pg9"));
        QCOMPARE(QDir(QFileInfo(chosen).absolutePath()).canonicalPath(), QDir(there.path()).canonicalPath());
        QCOMPARE(QDir::currentPath(), before);

        onNextDialog<QFileDialog>([](QFileDialog *d) { d->reject(); });
        QCOMPARE(FileDialog(nullptr, r), QString());
    }

    void realPrinterDialogCancelled()
    {
        QPrinter printer;
        onNextDialog<QPrintDialog>([](QPrintDialog *d) { d->reject(); });
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
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("PS_LOCK_HOLD"), name);
        holder.setProcessEnvironment(env);
        holder.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(holder.waitForStarted(10000));
        QTRY_VERIFY_WITH_TIMEOUT(holder.canReadLine() || holder.state() != QProcess::Running, 10000);
        QCOMPARE(QString::fromLatin1(holder.readLine()).trimmed(), QStringLiteral("locked=0"));

        QVERIFY(PreviousInstance(name));
        {
            QFile lock(PreviousInstanceLockPath(name));
            QVERIFY(lock.open(QIODevice::ReadWrite));
            QVERIFY(lock.setFileTime(QDateTime::currentDateTime().addSecs(-3600),
                                     QFileDevice::FileModificationTime));
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
