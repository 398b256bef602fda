// The settings store (isolation, one file per brand, values, saves of two programs at once,
// the size the reader takes) and the COM map.
#include <QtTest>

#include "platform/files.h"
#include "platform/msgbox.h"
#include "platform/serialport.h"
#include "platform/settingsstore.h"
#include "support/childprocess.h"
#include "support/filelimits.h"
#include "support/isolatedsettings.h"
#include "support/scriptedboxes.h"

#include <QFile>
#include <QLockFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <optional>

using encodertest::StartSelfAsChild;
using encodertest::WaitForInputToClose;

namespace {
const QString Kestrane = QStringLiteral("Kestrane Paging Encoder Setup");
const QString Solvendra = QStringLiteral("Solvendra R-740 Paging Encoder Setup");

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// The store's file is the one QSettings writes for the same values.
bool writtenAsQSettingsWrites(const QString &file)
{
    const QString copy = file + QStringLiteral(".qsettings");
    {
        const QSettings store(file, QSettings::IniFormat);
        QSettings same(copy, QSettings::IniFormat);
        for (const QString &key : store.allKeys())
            same.setValue(key, store.value(key));
    }
    const bool same = readFile(copy) == readFile(file);
    QFile::remove(copy);
    return same;
}

// Child process modes (see main). Saves 150 keys of its own once told "go" on its input; exit
// code 0 when every save went through without a box.
int saveKeysAsChild()
{
    SetSettingsStoreFolder(qEnvironmentVariable("PS_SETTINGS_SAVE_KEYS"));
    SetSettingsStoreLockWait(std::chrono::seconds(30));
    ScriptedBoxes boxes(ScriptedBoxes::RecordFailures);
    std::printf("ready\n");
    std::fflush(stdout);
    char line[16];
    if (!std::fgets(line, sizeof line, stdin))
        return 3;
    int failed = 0;
    for (int i = 0; i < 150; ++i)
        failed += SaveSetting(Kestrane, "Child", QStringLiteral("K%1").arg(i), QString::number(i)) ? 0 : 1;
    std::printf("failed=%d boxes=%d\n", failed, int(boxes.shown().size()));
    return failed == 0 && boxes.shown().isEmpty() ? 0 : 1;
}

// Holds the lock file named until its input closes.
int holdLockAsChild()
{
    QLockFile lock(qEnvironmentVariable("PS_SETTINGS_HOLD_LOCK"));
    std::printf("locked=%d\n", lock.tryLock(0) ? 1 : 0);
    std::fflush(stdout);
    WaitForInputToClose();
    return 0;
}

} // namespace

class TestSettingsStore : public QObject {
    Q_OBJECT
private:
    std::chrono::milliseconds m_lockWait{};

private slots:
    void initTestCase() { m_lockWait = SettingsStoreLockWait(); }
    void init() { SetAppTitle(Kestrane); }
    void cleanup()
    {
        for (int n = 1; n <= 8; ++n)
            SetComDevicePathOverride(n, QString());
        SetSettingsStoreLockWait(m_lockWait);
    }

    // The store follows XDG_CONFIG_HOME on every call, test mode and an explicit folder, and
    // never writes the user's real store meanwhile.
    void theStoreFolderIsLookedUpEachTime()
    {
        const QString app = QStringLiteral("Isolation Probe %1").arg(QCoreApplication::applicationPid());
        SetSettingsStoreFolder(QString());
        const QByteArray previous = qgetenv("XDG_CONFIG_HOME");
        const bool hadPrevious = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
        qunsetenv("XDG_CONFIG_HOME");
        const QString realFile = SettingsStoreFile(app);
        QVERIFY(realFile.startsWith(QDir::homePath() + "/.config/"));

        QTemporaryDir first, second;
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(first.path()));
        SaveSetting(app, "Properties", "CommPort", "3");
        QVERIFY(QFile::exists(first.path() + "/pagersetup/" + app + ".ini"));
        // A second folder is a fresh store, even after QSettings was used in this process.
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(second.path()));
        QCOMPARE(GetSetting(app, "Properties", "CommPort", "none"), QStringLiteral("none"));
        SaveSetting(app, "Properties", "CommPort", "5");
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(first.path()));
        QCOMPARE(GetSetting(app, "Properties", "CommPort", QString()), QStringLiteral("3"));
        QVERIFY(!QFile::exists(realFile));
        if (hadPrevious)
            qputenv("XDG_CONFIG_HOME", previous);
        else
            qunsetenv("XDG_CONFIG_HOME");

        QStandardPaths::setTestModeEnabled(true);
        QCOMPARE(SettingsStoreFolder(), QDir::homePath() + "/.qttest/config");
        QStandardPaths::setTestModeEnabled(false);
        SetSettingsStoreFolder(first.path());
        QCOMPARE(SettingsStoreFile(Kestrane), first.path() + "/pagersetup/" + Kestrane + ".ini");
        QCOMPARE(GetSetting(app, "Properties", "CommPort", QString()), QStringLiteral("3"));
        SetSettingsStoreFolder(QString());
    }

    // Two brands, sections, defaults and values, in a store of the tests' helper (which nests
    // and takes its folder away at the end).
    void brandsSectionsAndValues()
    {
        std::optional<IsolatedSettings> store(std::in_place);
        QVERIFY(store->ok());
        const QString folder = store->folder();
        QCOMPARE(SettingsStoreFolder(), folder);
        QCOMPARE(qEnvironmentVariable("XDG_CONFIG_HOME"), folder);
        SaveSetting(Kestrane, "Properties", "CommPort", "3");
        SaveSetting(Solvendra, "Properties", "CommPort", "5");
        SaveSetting(Kestrane, "Other", "CommPort", "o");
        QCOMPARE(GetSetting(Kestrane, "Properties", "CommPort", QString()), QStringLiteral("3"));
        QCOMPARE(GetSetting(Kestrane, "Other", "CommPort", QString()), QStringLiteral("o"));
        QVERIFY(store->fileFor(Kestrane) != store->fileFor(Solvendra));
        // The short forms use the application title; a missing value gives the default, a value
        // saved empty is empty.
        SetAppTitle(Solvendra);
        QCOMPARE(GetSetting("Properties", "CommPort"), QStringLiteral("5"));
        QCOMPARE(GetSetting(AppTitle(), "Properties", "Settings", "9600,n,8,1"), QStringLiteral("9600,n,8,1"));
        SaveSetting("Properties", "Settings", QString());
        QCOMPARE(GetSetting(AppTitle(), "Properties", "Settings", "d"), QString());
        QCOMPARE(GetSetting(Kestrane, "Properties", "Settings", "-"), QStringLiteral("-"));
        // Names that would make folders stay in the store's folder.
        SaveSetting("A/B\\C", "Properties", "K", "v");
        QCOMPARE(GetSetting("A/B\\C", "Properties", "K", QString()), QStringLiteral("v"));
        QCOMPARE(QFileInfo(store->fileFor("A/B\\C")).absolutePath(), folder + "/pagersetup");
        for (const QString &value : {QStringLiteral("2400,e,7,1.5"), QStringLiteral("/home/tech/My Databases/site 1.pg9"),
                                     QStringLiteral("a=b;c#d\\e\"f'g[h],i"), QString::fromLatin1("caf\xe9 \xb0 \xff"),
                                     QStringLiteral("  padded  "), QStringLiteral("007"), QStringLiteral("true")}) {
            SaveSetting("Properties", "Value", value);
            QCOMPARE(GetSetting("Properties", "Value"), value);
            QVERIFY(writtenAsQSettingsWrites(store->fileFor(Solvendra)));
        }
        {
            IsolatedSettings inner;
            QCOMPARE(GetSetting("Properties", "Value"), QString());
        }
        QCOMPARE(GetSetting("Properties", "Value"), QStringLiteral("true"));
        store.reset();
        QVERIFY(SettingsStoreFolder() != folder);
        QVERIFY(!QFile::exists(folder));
    }

    // COM n: a test's override, else the brand's stored preference, else the default device.
    void comMap()
    {
        IsolatedSettings store;
        for (int n = 1; n <= 8; ++n)
            QCOMPARE(ComDevicePath(n), n <= 4 ? QStringLiteral("/dev/ttyS%1").arg(n - 1) : QStringLiteral("/dev/ttyUSB%1").arg(n - 5));
        QCOMPARE(ComDevicePath(0) + ComDevicePath(9), QString());
        MSComm comm;
        QVERIFY(!comm.setCommPort(6));
        QCOMPARE(comm.devicePath(), QStringLiteral("/dev/ttyUSB1"));

        SaveSetting(Kestrane, "Ports", "COM3", "/tmp/encoder-link");
        SaveSetting(Kestrane, "Ports", "COM4", "  /dev/pts/9  ");
        SaveSetting(Kestrane, "Ports", "COM5", QString());
        SaveSetting(Solvendra, "Ports", "COM1", "/dev/pts/4");
        QCOMPARE(ComDevicePath(3), QStringLiteral("/tmp/encoder-link"));
        QCOMPARE(ComDevicePath(4), QStringLiteral("/dev/pts/9"));
        QCOMPARE(ComDevicePath(5), QStringLiteral("/dev/ttyUSB0")); // empty: the default
        QCOMPARE(ComDevicePath(1), QStringLiteral("/dev/ttyS0"));   // the other brand's
        SetComDevicePathOverride(3, "/tmp/test-link");
        QCOMPARE(ComDevicePath(3), QStringLiteral("/tmp/test-link"));
        SetComDevicePathOverride(3, QString());
        QCOMPARE(ComDevicePath(3), QStringLiteral("/tmp/encoder-link"));
        SetAppTitle(Solvendra);
        QCOMPARE(ComDevicePath(1), QStringLiteral("/dev/pts/4"));
        QCOMPARE(ComDevicePath(3), QStringLiteral("/dev/ttyS2"));

        // A hand-edited file is read as it stands.
        SetAppTitle(Kestrane);
        IsolatedSettings edited;
        QFile f(edited.fileFor(Kestrane));
        QVERIFY(QDir().mkpath(QFileInfo(f).absolutePath()) && f.open(QIODevice::WriteOnly));
        f.write("[Properties]\nSettings=1200,e,7,1\nWindow=@Rect(1 2 3 4)\n[Ports]\nCOM2=/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1-if00-port0\n");
        f.close();
        QCOMPARE(GetSetting("Properties", "Settings"), QStringLiteral("1200,e,7,1"));
        QCOMPARE(ComDevicePath(2), QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1-if00-port0"));
        // A save keeps what the hand-edited file holds.
        SaveSetting("Ports", "COM3", "/dev/ttyUSB7");
        QCOMPARE(GetSetting("Properties", "Settings"), QStringLiteral("1200,e,7,1"));
        QCOMPARE(ComDevicePath(2), QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1-if00-port0"));
        QCOMPARE(ComDevicePath(3), QStringLiteral("/dev/ttyUSB7"));
        QVERIFY(writtenAsQSettingsWrites(edited.fileFor(Kestrane)));
    }

    // A save the disk refuses leaves the file whole and says so once a run, in the system's
    // words; the store goes on once the disk takes writes again.
    void aRefusedSave_data()
    {
        QTest::addColumn<bool>("fullDisk");
        QTest::newRow("file-size limit") << false;
        QTest::newRow("full file system") << true;
    }
    void aRefusedSave()
    {
        QFETCH(bool, fullDisk);
        IsolatedSettings isolated;
        std::optional<SmallFileSystem> disk;
        if (fullDisk) {
            disk.emplace();
            if (!disk->ok())
                QSKIP("no right to mount a small file system");
            SetSettingsStoreFolder(disk->path());
        }
        const QString file = SettingsStoreFile(Kestrane);
        for (int n = 1; n <= 8; ++n)
            QVERIFY(SaveSetting(Kestrane, "Ports", QStringLiteral("COM%1").arg(n), DefaultComDevicePath(n)));
        const QByteArray before = readFile(file);
        ScriptedBoxes boxes;
        boxes.expect(QStringLiteral("The preferences could not be saved to ") + file + QStringLiteral(":\r") +
                     (fullDisk ? "No space left on device" : "File too large"))
            .title(QStringLiteral("Preferences Not Saved"))
            .icon(MsgIcon::Exclamation);
        const QString lastFile = QStringLiteral("/home/tech/Databases/site %1.pg9");
        {
            std::optional<FileSizeLimit> limit;
            if (fullDisk)
                QVERIFY(disk->fill());
            else
                QVERIFY(limit.emplace(before.size() + 8).ok());
            QVERIFY(!SaveSetting(Kestrane, "Properties", "LastFile", lastFile.arg(1)));
            QVERIFY(!SaveSetting(Kestrane, "Properties", "LastFile", lastFile.arg(2)));
            if (fullDisk)
                QVERIFY(QFile::remove(disk->filePath(QStringLiteral("filler"))));
        }
        QVERIFY(boxes.verifyAllShown());
        QCOMPARE(boxes.shown().size(), 1);
        QCOMPARE(readFile(file), before);
        QCOMPARE(QDir(QFileInfo(file).path()).entryList(QDir::Files), QStringList{QFileInfo(file).fileName()});
        QVERIFY(SaveSetting(Kestrane, "Properties", "LastFile", lastFile.arg(3)));
        QCOMPARE(GetSetting(Kestrane, "Properties", "LastFile", QString()), lastFile.arg(3));
        QCOMPARE(GetSetting(Kestrane, "Ports", "COM8", QString()), DefaultComDevicePath(8));
        // Saves of the same size within a millisecond (a small file system forces to the disk
        // at once) are all seen.
        for (int i = 0; i < 40; ++i) {
            SaveSetting(Kestrane, "Properties", "Flip", QString::number(i % 2));
            QCOMPARE(GetSetting(Kestrane, "Properties", "Flip", QString()), QString::number(i % 2));
        }
    }

    // A save that would make the file larger than the program reads back is refused as a full
    // disk is; one that brings it to the limit exactly is kept and read back.
    void aSaveTooLargeToReadBack_data()
    {
        QTest::addColumn<qint64>("pastLimit");
        QTest::newRow("up to the limit") << qint64(0);
        QTest::newRow("a byte past it") << qint64(1);
    }
    void aSaveTooLargeToReadBack()
    {
        QFETCH(qint64, pastLimit);
        IsolatedSettings isolated;
        const QString file = SettingsStoreFile(Kestrane);
        for (int n = 1; n <= 8; ++n)
            QVERIFY(SaveSetting(Kestrane, "Ports", QStringLiteral("COM%1").arg(n), DefaultComDevicePath(n)));
        QVERIFY(SaveSetting(Kestrane, "Properties", "Notes", QString()));
        const QByteArray before = readFile(file);
        ScriptedBoxes boxes;
        if (pastLimit > 0)
            boxes.expect(QStringLiteral("The preferences could not be saved to ") + file +
                         QStringLiteral(":\rThe preferences would pass 1 MB, more than the program can read back"))
                .title(QStringLiteral("Preferences Not Saved"))
                .icon(MsgIcon::Exclamation);
        const QString notes(MaxFileBytes - before.size() + pastLimit, QLatin1Char('n'));
        QCOMPARE(SaveSetting(Kestrane, "Properties", "Notes", notes), pastLimit == 0);
        if (pastLimit > 0) {
            QVERIFY(!SaveSetting(Kestrane, "Properties", "Notes", notes));
            QCOMPARE(readFile(file), before);
        } else {
            QCOMPARE(QFileInfo(file).size(), MaxFileBytes);
            QCOMPARE(GetSetting(Kestrane, "Properties", "Notes", QString()), notes);
        }
        QVERIFY(boxes.verifyAllShown());
        QCOMPARE(boxes.shown().size(), pastLimit > 0 ? 1 : 0);
        QCOMPARE(QDir(QFileInfo(file).path()).entryList(QDir::Files), QStringList{QFileInfo(file).fileName()});
        QVERIFY(SaveSetting(Kestrane, "Properties", "Notes", "short"));
        QCOMPARE(GetSetting(Kestrane, "Properties", "Notes", QString()), QStringLiteral("short"));
        QCOMPARE(GetSetting(Kestrane, "Ports", "COM8", QString()), DefaultComDevicePath(8));
    }

    // Two programs saving at the same moment: each save reads and rewrites the file under the
    // lock, so neither puts back a file without the other's latest key.
    void twoProgramsSavingAtOnceKeepEveryKey()
    {
        IsolatedSettings isolated;
        SetSettingsStoreLockWait(std::chrono::seconds(30));
        ScriptedBoxes boxes;
        QProcess child;
        StartSelfAsChild(child, "PS_SETTINGS_SAVE_KEYS", isolated.folder());
        QVERIFY(child.waitForStarted(10000));
        QTRY_VERIFY_WITH_TIMEOUT(child.canReadLine() || child.state() != QProcess::Running, 10000);
        QCOMPARE(child.readLine().trimmed(), QByteArray("ready"));
        child.write("go\n");
        QVERIFY(child.waitForBytesWritten(10000));
        int failed = 0;
        for (int i = 0; i < 150; ++i)
            failed += SaveSetting(Kestrane, "Parent", QStringLiteral("K%1").arg(i), QString::number(i)) ? 0 : 1;
        QVERIFY(child.waitForFinished(30000));
        QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0, child.readAll().constData());
        QCOMPARE(failed, 0);
        const QSettings store(SettingsStoreFile(Kestrane), QSettings::IniFormat);
        QCOMPARE(store.allKeys().size(), 300);
        for (int i = 0; i < 150; ++i) {
            QCOMPARE(store.value(QStringLiteral("Parent/K%1").arg(i)).toString(), QString::number(i));
            QCOMPARE(store.value(QStringLiteral("Child/K%1").arg(i)).toString(), QString::number(i));
        }
    }

    // The lock file of a running program makes a save fail after a bounded wait, reported as
    // any failed save; one a killed program left behind is taken over at once.
    void aLockHeldByAnotherProgram_data()
    {
        QTest::addColumn<bool>("killed");
        QTest::newRow("program running") << false;
        QTest::newRow("program killed") << true;
    }
    void aLockHeldByAnotherProgram()
    {
        QFETCH(bool, killed);
        IsolatedSettings isolated;
        const QString file = SettingsStoreFile(Kestrane);
        QVERIFY(SaveSetting(Kestrane, "Properties", "CommPort", "3"));
        const QByteArray before = readFile(file);
        QProcess holder;
        StartSelfAsChild(holder, "PS_SETTINGS_HOLD_LOCK", file + QStringLiteral(".lock"));
        QVERIFY(holder.waitForStarted(10000));
        QTRY_VERIFY_WITH_TIMEOUT(holder.canReadLine() || holder.state() != QProcess::Running, 10000);
        QCOMPARE(holder.readLine().trimmed(), QByteArray("locked=1"));
        if (killed) {
            holder.kill(); // SIGKILL: the lock file stays behind
            QVERIFY(holder.waitForFinished(10000));
            QVERIFY(QFile::exists(file + QStringLiteral(".lock")));
        }
        SetSettingsStoreLockWait(std::chrono::milliseconds(100));
        ScriptedBoxes boxes;
        if (!killed)
            boxes.expect(QStringLiteral("The preferences could not be saved to ") + file +
                         QStringLiteral(":\rAnother program is saving these preferences; try again"))
                .title(QStringLiteral("Preferences Not Saved"))
                .icon(MsgIcon::Exclamation);
        QCOMPARE(SaveSetting(Kestrane, "Properties", "CommPort", "4"), killed);
        QVERIFY(boxes.verifyAllShown());
        QCOMPARE(boxes.shown().size(), killed ? 0 : 1);
        if (!killed) {
            QCOMPARE(readFile(file), before);
            holder.closeWriteChannel();
            QVERIFY(holder.waitForFinished(10000));
            QVERIFY(SaveSetting(Kestrane, "Properties", "CommPort", "4"));
        }
        QCOMPARE(GetSetting(Kestrane, "Properties", "CommPort", QString()), QStringLiteral("4"));
        QCOMPARE(QDir(QFileInfo(file).path()).entryList(QDir::Files), QStringList{QFileInfo(file).fileName()});
    }
};

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsSet("PS_SETTINGS_SAVE_KEYS"))
        return saveKeysAsChild();
    if (qEnvironmentVariableIsSet("PS_SETTINGS_HOLD_LOCK"))
        return holdLockAsChild();
    TestSettingsStore test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_settingsstore.moc"
