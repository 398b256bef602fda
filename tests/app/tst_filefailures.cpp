// Disks that say no, met through the program's windows: a save past a file-size limit (the
// program lives, the old file stays, the box says "File too large"), a save that fills the
// disk half way and a PDF listing past a file-size limit, each said in the system's own words.

#include "app/apptest.h"
#include "app/program.h"
#include "model/database.h"
#include "model/dbfile.h"
#include "support/filelimits.h"
#include "support/scriptedboxes.h"

#include <QProcess>

#include <cstdio>

namespace {

// The child: started as the programs start, it saves a database larger than the file-size limit
// over an older, smaller file with Save As, and prints every box and then "alive".
int saveUnderALimit(int argc, char **argv, const QString &file)
{
    QApplication app(argc, argv);
    PrepareApplication(QStringLiteral("zqsetup"));
    IsolateSettingsForTestRun();
    AppTestEnv env;
    frmTerminal *t = StartProgram<frmSplash>();
    if (!t)
        return 3;
    SetMsgBoxResponder([](const MsgBoxRequest &box) {
        std::printf("box: %s | %s\n", qPrintable(box.title), qPrintable(MsgBoxDisplayText(box.text)));
        std::fflush(stdout);
        return MsgAnswer::OK;
    });
    const rlim_t limit = rlim_t(QFileInfo(file).size() + 64);
    if (rlim_t(WriteDBFile(t->txtConfigNotes->notes()).size()) <= limit)
        return 4;
    rlimit limited{};
    ::getrlimit(RLIMIT_FSIZE, &limited);
    limited.rlim_cur = limit;
    if (::setrlimit(RLIMIT_FSIZE, &limited) != 0)
        return 5;
    env.dialogAnswers.push_back(file);
    t->mnuSaveAs->trigger();
    std::printf("alive\n");
    return 0;
}

} // namespace

class TestFileFailures : public QObject {
    Q_OBJECT

    std::unique_ptr<AppTestEnv> env;

private slots:
    void initTestCase() { IsolateSettingsForTestRun(); }
    void init() { env = std::make_unique<AppTestEnv>(); }
    void cleanup() { env.reset(); }

    void aSaveUnderAFileSizeLimit()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("site.pg9"));
        WriteFile(file, "the old database\r\n");
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("PS_SAVE_UNDER_LIMIT"), file);
        child.setProcessEnvironment(environment);
        child.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(child.waitForFinished(60000));
        const QByteArray out = child.readAllStandardOutput();
        QVERIFY2(child.exitStatus() == QProcess::NormalExit, "the program ended by a signal");
        QVERIFY2(child.exitCode() == 0, out.constData());
        // The limit stops the preferences (the file's name) too: their box comes once.
        QVERIFY2(out.startsWith("box: Preferences Not Saved | The preferences could not be saved to ") &&
                     out.count("box: ") == 2 && out.contains(".ini:\nFile too large\n") &&
                     out.endsWith("\nbox: Kestrane Paging Encoder Setup | File too large\nalive\n"),
                 out.constData());
        QCOMPARE(ReadFile(file), QByteArray("the old database\r\n"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("site.pg9")});
    }

    void aSaveOntoAFullDisk()
    {
        SmallFileSystem disk;
        if (!disk.ok())
            QSKIP("no right to mount a small file system");
        frmTerminal *t = StartProgram<frmSplash>();
        QVERIFY(t);
        // Room for the first page of the new file, not for all of it: the write stops half way.
        for (QByteArray &message : DB.CannedMsgs)
            message = QByteArray(200, 'm');
        QVERIFY(WriteDBFile(t->txtConfigNotes->notes()).size() > 4096);
        const QString file = disk.filePath(QStringLiteral("site.pg9"));
        WriteFile(file, "old\r\n");
        WriteFile(disk.filePath(QStringLiteral("room")), "r");
        QVERIFY(disk.fill());
        QVERIFY(QFile::remove(disk.filePath(QStringLiteral("room"))));
        const QString status = t->StatusBar1->panelText(1);
        ScriptedBoxes boxes;
        boxes.expect(QStringLiteral("No space left on device")).icon(MsgIcon::Exclamation).title(kKestraneTitle);
        env->dialogAnswers.push_back(file);
        t->mnuSaveAs->trigger();
        QVERIFY(boxes.verifyAllShown());
        QCOMPARE(boxes.shown().first().text, QStringLiteral("No space left on device"));
        QCOMPARE(ReadFile(file), QByteArray("old\r\n"));
        QCOMPARE(t->StatusBar1->panelText(1), status);
    }

    void aListingPastAFileSizeLimit()
    {
        frmTerminal *t = StartProgram<frmSplash>();
        QVERIFY(t);
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("listing.pdf"));
        WriteFile(pdf, "the old listing");
        SetPrinterDialogHook([pdf](QPrinter &printer) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(pdf);
            return true;
        });
        ScriptedBoxes boxes;
        boxes.expect(QStringLiteral("The listing could not be written to ") + pdf + QStringLiteral(":\rFile too large"))
            .icon(MsgIcon::Exclamation);
        {
            FileSizeLimit limit(1024);
            QVERIFY(limit.ok());
            t->mnuPrintDB->trigger();
        }
        QVERIFY(boxes.verifyAllShown());
        QCOMPARE(ReadFile(pdf), QByteArray("the old listing"));
        QVERIFY(!HourglassShown());
    }
};

int main(int argc, char **argv)
{
    const QString file = qEnvironmentVariable("PS_SAVE_UNDER_LIMIT");
    if (!file.isEmpty())
        return saveUnderALimit(argc, argv, file);
    QApplication app(argc, argv);
    TestFileFailures test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_filefailures.moc"
