// The settings store (isolation, one file per brand, values) and the COM map.
#include <QtTest>

#include "platform/msgbox.h"
#include "platform/serialport.h"
#include "platform/settingsstore.h"
#include "support/isolatedsettings.h"

#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace {
const QString Kestrane = QStringLiteral("Kestrane Paging Encoder Setup");
const QString Solvendra = QStringLiteral("Solvendra R-740 Paging Encoder Setup");

void writeFile(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(content);
}
} // namespace

class TestSettingsStore : public QObject {
    Q_OBJECT
private slots:
    void init() { SetAppTitle(Kestrane); }
    void cleanup()
    {
        for (int n = 1; n <= 8; ++n)
            SetComDevicePathOverride(n, QString());
    }

    void xdgConfigHomeIsolatesTheStore()
    {
        const QString app = QStringLiteral("Isolation Probe %1").arg(QCoreApplication::applicationPid());
        SetSettingsStoreFolder(QString());
        const QByteArray previous = qgetenv("XDG_CONFIG_HOME");
        const bool hadPrevious = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
        qunsetenv("XDG_CONFIG_HOME");
        const QString realFile = SettingsStoreFile(app); // the user's real store, never written
        QVERIFY(realFile.startsWith(QDir::homePath() + QLatin1String("/.config/")));

        QTemporaryDir first, second;
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(first.path()));
        QCOMPARE(SettingsStoreFolder(), first.path());
        SaveSetting(app, QStringLiteral("Properties"), QStringLiteral("CommPort"), QStringLiteral("3"));
        QVERIFY(QFile::exists(first.path() + QLatin1String("/pagersetup/") + app + QLatin1String(".ini")));
        QCOMPARE(GetSetting(app, QStringLiteral("Properties"), QStringLiteral("CommPort"), QString()), QStringLiteral("3"));

        // A second folder is a fresh store, even after QSettings was used in this process.
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(second.path()));
        QCOMPARE(GetSetting(app, QStringLiteral("Properties"), QStringLiteral("CommPort"), QStringLiteral("none")),
                 QStringLiteral("none"));
        SaveSetting(app, QStringLiteral("Properties"), QStringLiteral("CommPort"), QStringLiteral("5"));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(first.path()));
        QCOMPARE(GetSetting(app, QStringLiteral("Properties"), QStringLiteral("CommPort"), QString()), QStringLiteral("3"));

        QVERIFY(!QFile::exists(realFile));
        if (hadPrevious)
            qputenv("XDG_CONFIG_HOME", previous);
        else
            qunsetenv("XDG_CONFIG_HOME");
    }

    void testModeAndAnExplicitFolderAreHonoured()
    {
        SetSettingsStoreFolder(QString());
        QStandardPaths::setTestModeEnabled(true);
        QCOMPARE(SettingsStoreFolder(), QDir::homePath() + QLatin1String("/.qttest/config"));
        QStandardPaths::setTestModeEnabled(false);

        QTemporaryDir dir;
        SetSettingsStoreFolder(dir.path());
        QCOMPARE(SettingsStoreFolder(), dir.path());
        SaveSetting(Kestrane, QStringLiteral("Properties"), QStringLiteral("LastFile"), QStringLiteral("a.pg9"));
        QCOMPARE(SettingsStoreFile(Kestrane), dir.path() + QLatin1String("/pagersetup/") + Kestrane + QLatin1String(".ini"));
        QVERIFY(QFile::exists(SettingsStoreFile(Kestrane)));
        SetSettingsStoreFolder(QString());
    }

    void isolatedSettingsHelper()
    {
        QString folder;
        {
            IsolatedSettings store;
            QVERIFY(store.ok());
            folder = store.folder();
            QCOMPARE(SettingsStoreFolder(), folder);
            QCOMPARE(qEnvironmentVariable("XDG_CONFIG_HOME"), folder);
            SaveSetting(QStringLiteral("Properties"), QStringLiteral("StationID"), QStringLiteral("42"));
            QVERIFY(QFile::exists(store.fileFor(Kestrane)));
            QVERIFY(store.fileFor(Kestrane).startsWith(folder));
            {
                IsolatedSettings inner;
                QCOMPARE(GetSetting(QStringLiteral("Properties"), QStringLiteral("StationID")), QString());
            }
            QCOMPARE(SettingsStoreFolder(), folder);
            QCOMPARE(GetSetting(QStringLiteral("Properties"), QStringLiteral("StationID")), QStringLiteral("42"));
        }
        QVERIFY(SettingsStoreFolder() != folder);
        QVERIFY(!QFile::exists(folder));
    }

    void eachBrandKeepsItsOwnValues()
    {
        IsolatedSettings store;
        SaveSetting(Kestrane, QStringLiteral("Properties"), QStringLiteral("CommPort"), QStringLiteral("3"));
        SaveSetting(Solvendra, QStringLiteral("Properties"), QStringLiteral("CommPort"), QStringLiteral("5"));
        QCOMPARE(GetSetting(Kestrane, QStringLiteral("Properties"), QStringLiteral("CommPort"), QString()), QStringLiteral("3"));
        QCOMPARE(GetSetting(Solvendra, QStringLiteral("Properties"), QStringLiteral("CommPort"), QString()), QStringLiteral("5"));
        QVERIFY(store.fileFor(Kestrane) != store.fileFor(Solvendra));

        // The short forms use the application title.
        SetAppTitle(Solvendra);
        QCOMPARE(GetSetting(QStringLiteral("Properties"), QStringLiteral("CommPort")), QStringLiteral("5"));
        SaveSetting(QStringLiteral("Properties"), QStringLiteral("Settings"), QStringLiteral("2400,e,7,1"));
        QCOMPARE(GetSetting(Solvendra, QStringLiteral("Properties"), QStringLiteral("Settings"), QString()), QStringLiteral("2400,e,7,1"));
        QCOMPARE(GetSetting(Kestrane, QStringLiteral("Properties"), QStringLiteral("Settings"), QStringLiteral("-")), QStringLiteral("-"));
    }

    void sectionsAndDefaults()
    {
        IsolatedSettings store;
        QCOMPARE(GetSetting(QStringLiteral("Properties"), QStringLiteral("Settings")), QString());
        QCOMPARE(GetSetting(AppTitle(), QStringLiteral("Properties"), QStringLiteral("Settings"), QStringLiteral("9600,n,8,1")),
                 QStringLiteral("9600,n,8,1"));
        SaveSetting(QStringLiteral("Properties"), QStringLiteral("Key"), QStringLiteral("p"));
        SaveSetting(QStringLiteral("Other"), QStringLiteral("Key"), QStringLiteral("o"));
        QCOMPARE(GetSetting(QStringLiteral("Properties"), QStringLiteral("Key")), QStringLiteral("p"));
        QCOMPARE(GetSetting(QStringLiteral("Other"), QStringLiteral("Key")), QStringLiteral("o"));
        // Saved empty is an empty value, not a missing one.
        SaveSetting(QStringLiteral("Properties"), QStringLiteral("Empty"), QString());
        QCOMPARE(GetSetting(AppTitle(), QStringLiteral("Properties"), QStringLiteral("Empty"), QStringLiteral("d")), QString());
    }

    void valuesRoundTrip_data()
    {
        QTest::addColumn<QString>("value");
        QTest::newRow("settings") << QStringLiteral("9600,n,8,1");
        QTest::newRow("upper") << QStringLiteral("9600,N,8,1");
        QTest::newRow("1.5") << QStringLiteral("2400,e,7,1.5");
        QTest::newRow("path") << QStringLiteral("/home/tech/My Databases/site 1.pg9");
        QTest::newRow("punctuation") << QStringLiteral("a=b;c#d\\e\"f'g[h]");
        QTest::newRow("latin1") << QString::fromLatin1("caf\xe9 \xb0 \xff");
        QTest::newRow("blanks") << QStringLiteral("  padded  ");
        QTest::newRow("digits") << QStringLiteral("007");
        QTest::newRow("true") << QStringLiteral("true");
    }

    void valuesRoundTrip()
    {
        QFETCH(QString, value);
        IsolatedSettings store;
        SaveSetting(QStringLiteral("Properties"), QStringLiteral("Value"), value);
        QCOMPARE(GetSetting(QStringLiteral("Properties"), QStringLiteral("Value")), value);
    }

    void handEditedFiles()
    {
        IsolatedSettings store;
        writeFile(store.fileFor(Kestrane),
                  "[Properties]\nSettings=1200,e,7,1\nCommPort=2\n"
                  "[Ports]\nCOM2=/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1-if00-port0\n");
        QCOMPARE(GetSetting(QStringLiteral("Properties"), QStringLiteral("Settings")), QStringLiteral("1200,e,7,1"));
        QCOMPARE(GetSetting(QStringLiteral("Properties"), QStringLiteral("CommPort")), QStringLiteral("2"));
        QCOMPARE(ComDevicePath(2), QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1-if00-port0"));
    }

    void oddApplicationNamesStayInTheFolder()
    {
        IsolatedSettings store;
        const QString odd = QStringLiteral("A/B\\C");
        SaveSetting(odd, QStringLiteral("S"), QStringLiteral("K"), QStringLiteral("v"));
        QCOMPARE(GetSetting(odd, QStringLiteral("S"), QStringLiteral("K"), QString()), QStringLiteral("v"));
        QCOMPARE(QFileInfo(store.fileFor(odd)).absolutePath(), store.folder() + QLatin1String("/pagersetup"));
    }

    void comMapDefaults()
    {
        IsolatedSettings store;
        for (int n = 1; n <= 4; ++n)
            QCOMPARE(ComDevicePath(n), QStringLiteral("/dev/ttyS%1").arg(n - 1));
        for (int n = 5; n <= 8; ++n)
            QCOMPARE(ComDevicePath(n), QStringLiteral("/dev/ttyUSB%1").arg(n - 5));
        QCOMPARE(ComDevicePath(0), QString());
        QCOMPARE(ComDevicePath(9), QString());
        MSComm comm;
        QCOMPARE(comm.devicePath(), QStringLiteral("/dev/ttyS0"));
        QVERIFY(!comm.setCommPort(6));
        QCOMPARE(comm.devicePath(), QStringLiteral("/dev/ttyUSB1"));
    }

    void comMapStoredPreference()
    {
        IsolatedSettings store;
        SaveSetting(Kestrane, QStringLiteral("Ports"), QStringLiteral("COM3"), QStringLiteral("/tmp/encoder-link"));
        SaveSetting(Kestrane, QStringLiteral("Ports"), QStringLiteral("COM4"), QStringLiteral("  /dev/pts/9  "));
        SaveSetting(Kestrane, QStringLiteral("Ports"), QStringLiteral("COM5"), QString());
        SaveSetting(Solvendra, QStringLiteral("Ports"), QStringLiteral("COM1"), QStringLiteral("/dev/pts/4"));
        QCOMPARE(ComDevicePath(3), QStringLiteral("/tmp/encoder-link"));
        QCOMPARE(ComDevicePath(4), QStringLiteral("/dev/pts/9"));
        QCOMPARE(ComDevicePath(5), QStringLiteral("/dev/ttyUSB0")); // empty: the default
        QCOMPARE(ComDevicePath(1), QStringLiteral("/dev/ttyS0"));   // the other brand's
        SetAppTitle(Solvendra);
        QCOMPARE(ComDevicePath(1), QStringLiteral("/dev/pts/4"));
        QCOMPARE(ComDevicePath(3), QStringLiteral("/dev/ttyS2"));
    }

    void comMapTestOverrideComesFirst()
    {
        IsolatedSettings store;
        SaveSetting(QStringLiteral("Ports"), QStringLiteral("COM2"), QStringLiteral("/dev/pts/7"));
        SetComDevicePathOverride(2, QStringLiteral("/tmp/test-link"));
        SetComDevicePathOverride(6, QStringLiteral("/tmp/other-link"));
        QCOMPARE(ComDevicePath(2), QStringLiteral("/tmp/test-link"));
        QCOMPARE(ComDevicePath(6), QStringLiteral("/tmp/other-link"));
        SetComDevicePathOverride(2, QString());
        QCOMPARE(ComDevicePath(2), QStringLiteral("/dev/pts/7"));
        SetComDevicePathOverride(6, QString());
        QCOMPARE(ComDevicePath(6), QStringLiteral("/dev/ttyUSB1"));
    }
};

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "tst_settingsstore.moc"
