// The serial port (MSComm on QSerialPort) against a pseudo-terminal far end.
#include <QtTest>

#include "platform/msgbox.h"
#include "platform/serialport.h"
#include "support/isolatedsettings.h"
#include "support/ptypair.h"

#include <QFile>
#include <QTemporaryDir>

#include <memory>
#include <thread>

namespace {
QByteArray allByteValues()
{
    QByteArray b;
    for (int i = 0; i < 256; ++i)
        b.append(char(i));
    return b;
}

// Input until `count` bytes came or timeoutMs passed (no event loop needed).
QByteArray inputAtLeast(MSComm &comm, int count, int timeoutMs = 2000)
{
    QByteArray got;
    QDeadlineTimer deadline(timeoutMs);
    while (got.size() < count && !deadline.hasExpired()) {
        CommError err;
        got += comm.Input(&err);
        if (err)
            break;
        if (got.size() < count)
            QThread::msleep(2);
    }
    return got;
}
} // namespace

class TestSerialPort : public QObject {
    Q_OBJECT
    std::unique_ptr<PtyPair> pty;
    std::unique_ptr<MSComm> comm;

private slots:
    void initTestCase()
    {
        IsolateSettingsForTestRun();
        SetAppTitle(QStringLiteral("Platform Serial Test"));
    }

    void init()
    {
        pty = std::make_unique<PtyPair>();
        QVERIFY2(pty->ok(), qPrintable(pty->error()));
        SetComDevicePathOverride(1, pty->linkPath());
        comm = std::make_unique<MSComm>();
    }

    void cleanup()
    {
        comm.reset();
        pty.reset();
        for (int n = 1; n <= 8; ++n)
            SetComDevicePathOverride(n, QString());
    }

    void openAndClose()
    {
        QCOMPARE(comm->CommPort(), 1);
        QCOMPARE(comm->Settings(), QByteArray("9600,n,8,1"));
        QVERIFY(!comm->PortOpen());
        QCOMPARE(comm->devicePath(), pty->linkPath());
        QVERIFY(!comm->setPortOpen(true));
        QVERIFY(comm->PortOpen());
        const CommError err = comm->setPortOpen(true); // opening an open port is refused
        QCOMPARE(err.code, CommError::PortAlreadyOpen);
        QVERIFY(!err.text.isEmpty());
        QVERIFY(comm->PortOpen());
        QVERIFY(!comm->setPortOpen(false));
        QVERIFY(!comm->PortOpen());
        // Closing a closed port is no error; the port opens again.
        QVERIFY(!comm->setPortOpen(false));
        QVERIFY(!comm->setPortOpen(true));
        QVERIFY(comm->PortOpen());
    }

    void aPortHeldByAnotherObjectDoesNotOpen()
    {
        QVERIFY(!comm->setPortOpen(true));
        MSComm other;
        const CommError err = other.setPortOpen(true);
        QCOMPARE(err.code, CommError::OpenFailed);
        QVERIFY(!err.text.isEmpty());
        QVERIFY(!other.PortOpen());
        // Through the slave's own path as well (the link is resolved).
        SetComDevicePathOverride(2, pty->slavePath());
        QVERIFY(!other.setCommPort(2));
        QCOMPARE(other.setPortOpen(true).code, CommError::OpenFailed);
        comm->setPortOpen(false);
        QVERIFY(!other.setPortOpen(true)); // the slave's own path opens and carries bytes
        QVERIFY(!other.Output("x"));
        QCOMPARE(pty->read(1000, 1), QByteArray("x"));
    }

    void noSoftwareFlowControlOnTheLine()
    {
        QVERIFY(!comm->setPortOpen(true));
        for (const char *s : {"9600,n,8,1", "1200,e,7,1", "2400,o,7,2"}) {
            QVERIFY(!comm->setSettings(s));
            const termios tio = pty->slaveTermios();
            QVERIFY2(!(tio.c_iflag & (IXON | IXOFF | IXANY)), s);
            QVERIFY2(!(tio.c_lflag & (ECHO | ICANON | ISIG)), s);
            QVERIFY2(!(tio.c_oflag & OPOST), s);
            QVERIFY2(!(tio.c_iflag & (ICRNL | INLCR | IGNCR | ISTRIP)), s);
        }
    }

    void settingsAccepted_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<int>("baud");
        QTest::addColumn<char>("parity");
        QTest::addColumn<int>("dataBits");
        QTest::addColumn<int>("stopTenths");
        QTest::newRow("program's") << QByteArray("9600,n,8,1") << QByteArray("9600,n,8,1") << 9600 << 'n' << 8 << 10;
        QTest::newRow("dialog's") << QByteArray("9600,N,8,1") << QByteArray("9600,N,8,1") << 9600 << 'n' << 8 << 10;
        QTest::newRow("1.5 stop") << QByteArray("2400,e,7,1.5") << QByteArray("2400,e,7,1.5") << 2400 << 'e' << 7 << 15;
        QTest::newRow("E71") << QByteArray("1200,E,7,1") << QByteArray("1200,E,7,1") << 1200 << 'e' << 7 << 10;
        QTest::newRow("odd 2 stop") << QByteArray("300,o,8,2") << QByteArray("300,o,8,2") << 300 << 'o' << 8 << 20;
        QTest::newRow("mark 5") << QByteArray("110,m,5,1") << QByteArray("110,m,5,1") << 110 << 'm' << 5 << 10;
        QTest::newRow("space 6") << QByteArray("115200,S,6,2") << QByteArray("115200,S,6,2") << 115200 << 's' << 6 << 20;
        QTest::newRow("blanks") << QByteArray(" 19200 , n , 8 , 1 ") << QByteArray("19200 , n , 8 , 1") << 19200 << 'n' << 8 << 10;
        QTest::newRow("57600") << QByteArray("57600,n,8,1") << QByteArray("57600,n,8,1") << 57600 << 'n' << 8 << 10;
    }

    void settingsAccepted()
    {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, stored);
        QFETCH(int, baud);
        QFETCH(char, parity);
        QFETCH(int, dataBits);
        QFETCH(int, stopTenths);

        LineSettings ls;
        QVERIFY(LineSettings::parse(text.trimmed(), &ls));
        QCOMPARE(ls.baud, baud);
        QCOMPARE(ls.parity, parity);
        QCOMPARE(ls.dataBits, dataBits);
        QCOMPARE(ls.stopTenths, stopTenths);

        // Closed, then open: accepted both ways, reported as given.
        QVERIFY(!comm->setSettings(text));
        QCOMPARE(comm->Settings(), stored);
        QVERIFY(!comm->setPortOpen(true));
        QCOMPARE(pty->slaveBaud(), baud);
        QCOMPARE(pty->slaveTwoStopBits(), stopTenths == 20);
        QVERIFY(!comm->setSettings("9600,n,8,1"));
        QCOMPARE(pty->slaveBaud(), 9600);
        QVERIFY(!pty->slaveTwoStopBits());
        const CommError err = comm->setSettings(text);
        QVERIFY2(!err, qPrintable(err.text));
        QCOMPARE(comm->Settings(), stored);
        QCOMPARE(pty->slaveBaud(), baud);
        QCOMPARE(pty->slaveTwoStopBits(), stopTenths == 20);
        // The line still carries bytes.
        QVERIFY(!comm->Output("ok"));
        QCOMPARE(pty->read(1000, 2), QByteArray("ok"));
    }

    void settingsRefused_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("parses"); // LineSettings::parse's own answer
        QTest::newRow("empty") << QByteArray("") << false;
        QTest::newRow("baud only") << QByteArray("9600") << false;
        QTest::newRow("three parts") << QByteArray("9600,n,8") << false;
        QTest::newRow("five parts") << QByteArray("9600,n,8,1,1") << false;
        QTest::newRow("trailing comma") << QByteArray("9600,n,8,1,") << false;
        QTest::newRow("parity x") << QByteArray("9600,x,8,1") << false;
        QTest::newRow("parity word") << QByteArray("9600,none,8,1") << false;
        QTest::newRow("no parity") << QByteArray("9600,,8,1") << false;
        QTest::newRow("9 data bits") << QByteArray("9600,n,9,1") << false;
        QTest::newRow("3 data bits") << QByteArray("9600,n,3,1") << false;
        QTest::newRow("4 data bits") << QByteArray("9600,n,4,1") << true;
        QTest::newRow("3 stop bits") << QByteArray("9600,n,8,3") << false;
        QTest::newRow("stop 1.0") << QByteArray("9600,n,8,1.0") << false;
        QTest::newRow("stop 0") << QByteArray("9600,n,8,0") << false;
        QTest::newRow("baud 0") << QByteArray("0,n,8,1") << false;
        QTest::newRow("negative baud") << QByteArray("-9600,n,8,1") << false;
        QTest::newRow("baud word") << QByteArray("fast,n,8,1") << false;
        QTest::newRow("baud with blank inside") << QByteArray("96 00,n,8,1") << false;
        QTest::newRow("baud too large") << QByteArray("99999999999,n,8,1") << false;
        QTest::newRow("semicolons") << QByteArray("9600;n;8;1") << false;
    }

    void settingsRefused()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, parses);
        QCOMPARE(LineSettings::parse(text, nullptr), parses);

        QVERIFY(!comm->setSettings("2400,n,8,1"));
        CommError err = comm->setSettings(text);
        QCOMPARE(err.code, CommError::InvalidSettings);
        QVERIFY(!err.text.isEmpty());
        QCOMPARE(comm->Settings(), QByteArray("2400,n,8,1"));

        // Refused on the open port as well, which keeps its line settings.
        QVERIFY(!comm->setPortOpen(true));
        err = comm->setSettings(text);
        QCOMPARE(err.code, CommError::InvalidSettings);
        QCOMPARE(comm->Settings(), QByteArray("2400,n,8,1"));
        QCOMPARE(pty->slaveBaud(), 2400);
        QVERIFY(!comm->Output("ok"));
        QCOMPARE(pty->read(1000, 2), QByteArray("ok"));
    }

    void portNumber()
    {
        QCOMPARE(comm->setCommPort(0).code, CommError::InvalidPortNumber);
        QCOMPARE(comm->setCommPort(9).code, CommError::InvalidPortNumber);
        QCOMPARE(comm->setCommPort(-1).code, CommError::InvalidPortNumber);
        QVERIFY(!comm->setCommPort(0).text.isEmpty());
        QCOMPARE(comm->CommPort(), 1);
        for (int n = 1; n <= 8; ++n) {
            QVERIFY(!comm->setCommPort(n));
            QCOMPARE(comm->CommPort(), n);
        }
        QVERIFY(!comm->setCommPort(1));
        QVERIFY(!comm->setPortOpen(true));
        const CommError err = comm->setCommPort(3);
        QCOMPARE(err.code, CommError::PortAlreadyOpen);
        QVERIFY(!err.text.isEmpty());
        QCOMPARE(comm->CommPort(), 1);
        QCOMPARE(comm->setCommPort(9).code, CommError::PortAlreadyOpen);
        QVERIFY(comm->PortOpen());
        comm->setPortOpen(false);
        QVERIFY(!comm->setCommPort(3));
        QCOMPARE(comm->CommPort(), 3);
    }

    void closedPortReportsNotOpen()
    {
        CommError err = comm->Output("ATI\r");
        QCOMPARE(err.code, CommError::PortNotOpen);
        QCOMPARE(err.text, QStringLiteral("Port not open"));
        QCOMPARE(comm->DiscardInput().code, CommError::PortNotOpen);
        QCOMPARE(comm->Input(&err), QByteArray());
        QCOMPARE(err.code, CommError::PortNotOpen);
        QCOMPARE(comm->InBufferCount(), 0);
        QCOMPARE(MSComm::notOpenError().code, CommError::PortNotOpen);
        // Also after a close.
        QVERIFY(!comm->setPortOpen(true));
        QVERIFY(!comm->setPortOpen(false));
        QCOMPARE(comm->Output("x").code, CommError::PortNotOpen);
    }

    void outputAndInput()
    {
        QVERIFY(!comm->setPortOpen(true));
        QVERIFY(!comm->Output("ATI\r\r"));
        QCOMPARE(pty->read(1000, 5), QByteArray("ATI\r\r"));
        QVERIFY(!comm->Output(QByteArray()));

        CommError err;
        QCOMPARE(comm->Input(&err), QByteArray());
        QVERIFY(!err);
        QSignalSpy spy(comm.get(), &MSComm::readyRead);
        QVERIFY(pty->write("Encoder v9.07\r\nPort 1\r\nID="));
        QVERIFY(spy.wait(2000));
        QCOMPARE(inputAtLeast(*comm, 28), QByteArray("Encoder v9.07\r\nPort 1\r\nID="));
        QCOMPARE(comm->Input(), QByteArray()); // read and removed
    }

    // Stale bytes are dropped wherever they wait: in the system, counted by the port, or
    // already moved into the port's buffer by the event loop.
    void discardInputDropsStaleBytes_data()
    {
        QTest::addColumn<int>("where");
        QTest::newRow("system buffer") << 0;
        QTest::newRow("counted by the port") << 1;
        QTest::newRow("read by the event loop") << 2;
    }

    void discardInputDropsStaleBytes()
    {
        QFETCH(int, where);
        QVERIFY(!comm->setPortOpen(true));
        QCOMPARE(comm->InBufferCount(), 0);
        QSignalSpy spy(comm.get(), &MSComm::readyRead);
        QVERIFY(pty->write("stale"));
        if (where == 0) {
            QThread::msleep(100); // nothing pulls it into the port
        } else if (where == 1) {
            QDeadlineTimer deadline(2000);
            while (comm->InBufferCount() < 5 && !deadline.hasExpired())
                QThread::msleep(2);
            QCOMPARE(comm->InBufferCount(), 5);
        } else {
            QVERIFY(spy.wait(2000));
        }
        QVERIFY(!comm->DiscardInput());
        QCOMPARE(comm->InBufferCount(), 0);
        QCOMPARE(comm->Input(), QByteArray());
        QVERIFY(pty->write("fresh"));
        QCOMPARE(inputAtLeast(*comm, 5), QByteArray("fresh"));
        QCOMPARE(comm->InBufferCount(), 0);
    }

    void bytesWrittenJustBeforeCloseArrive()
    {
        QVERIFY(!comm->setPortOpen(true));
        QByteArray bytes;
        for (int i = 0; i < 3000; ++i)
            bytes.append(char('A' + i % 26));
        bytes.append("config reboot\r");
        QVERIFY(!comm->Output(bytes));
        QVERIFY(!comm->setPortOpen(false));
        QCOMPARE(pty->read(2000, int(bytes.size())), bytes);
    }

    void largeOutputIsHandedOverWhileTheFarEndReads()
    {
        QVERIFY(!comm->setPortOpen(true));
        QByteArray bytes;
        for (int i = 0; i < 200000; ++i)
            bytes.append(char(i * 7));
        QByteArray received; // the reader's until it is joined
        PtyPair *far = pty.get();
        const qsizetype expected = bytes.size();
        std::thread reader([&received, far, expected] {
            QDeadlineTimer deadline(5000);
            while (received.size() < expected && !deadline.hasExpired())
                received += far->read(20, 1);
        });
        const CommError err = comm->Output(bytes);
        reader.join();
        QVERIFY2(!err, qPrintable(err.text));
        QCOMPARE(received.size(), bytes.size());
        QVERIFY(received == bytes);
    }

    void openFailsOnWhatIsNoPort_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("missing") << QStringLiteral("missing");
        QTest::newRow("dangling link") << QStringLiteral("dangling");
        QTest::newRow("plain file") << QStringLiteral("file");
    }

    void openFailsOnWhatIsNoPort()
    {
        QFETCH(QString, kind);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("device"));
        if (kind == QLatin1String("dangling")) {
            QVERIFY(QFile::link(dir.filePath(QStringLiteral("gone")), path));
        } else if (kind == QLatin1String("file")) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("x");
        }
        SetComDevicePathOverride(2, path);
        QVERIFY(!comm->setCommPort(2));
        const CommError err = comm->setPortOpen(true);
        QCOMPARE(err.code, CommError::OpenFailed);
        QVERIFY(!err.text.isEmpty());
        QVERIFY(!comm->PortOpen());
    }

    void farEndHungUpReportsAWriteError()
    {
        QVERIFY(!comm->setPortOpen(true));
        pty->closeMaster();
        QElapsedTimer timer;
        timer.start();
        CommError err = comm->Output("ATI\r");
        QCOMPARE(err.code, CommError::WriteFailed);
        QVERIFY(!err.text.isEmpty());
        err = comm->Output("ATI\r");
        QCOMPARE(err.code, CommError::WriteFailed);
        QVERIFY(timer.elapsed() < 2000);
        // Reading and counting neither hang nor crash; the event loop does not spin on it.
        QCOMPARE(comm->Input(&err), QByteArray());
        QVERIFY2(err.code == CommError::None || err.code == CommError::ReadFailed, qPrintable(err.text));
        QCOMPARE(comm->InBufferCount(), 0);
        QVERIFY(!comm->DiscardInput());
        QTest::qWait(50);
        QVERIFY(!comm->setPortOpen(false));
        QVERIFY(!comm->PortOpen());
    }

    void xonXoffReachInputUnchanged()
    {
        QVERIFY(!comm->setPortOpen(true));
        const QByteArray bytes("\x13" "A" "\x11" "B" "\x13", 5);
        QVERIFY(pty->write(bytes));
        QCOMPARE(inputAtLeast(*comm, 5), bytes);
        // After an XOFF from the far end the program's output still goes out.
        QVERIFY(!comm->Output("after XOFF"));
        QCOMPARE(pty->read(1000, 10), QByteArray("after XOFF"));
    }

    void allByteValuesSurviveBothWays_data()
    {
        QTest::addColumn<QByteArray>("settings");
        QTest::newRow("9600,n,8,1") << QByteArray("9600,n,8,1");
        QTest::newRow("1200,e,7,1") << QByteArray("1200,e,7,1");
    }

    void allByteValuesSurviveBothWays()
    {
        QFETCH(QByteArray, settings);
        QVERIFY(!comm->setSettings(settings));
        QVERIFY(!comm->setPortOpen(true));
        const QByteArray bytes = allByteValues();
        QVERIFY(!comm->Output(bytes));
        QCOMPARE(pty->read(2000, 256), bytes);
        QVERIFY(pty->write(bytes));
        QCOMPARE(inputAtLeast(*comm, 256), bytes);
        QCOMPARE(comm->Input(), QByteArray());
    }
};

QTEST_GUILESS_MAIN(TestSerialPort)
#include "tst_serialport.moc"
