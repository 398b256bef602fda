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
// Input until `count` bytes came or timeoutMs passed (no event loop needed).
QByteArray inputAtLeast(MSComm &comm, int count, int timeoutMs = 5000)
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

    void openCloseAndPortNumber()
    {
        QCOMPARE(comm->CommPort(), 1);
        QCOMPARE(comm->Settings(), QByteArray("9600,n,8,1"));
        QCOMPARE(comm->devicePath(), pty->linkPath());
        QVERIFY(!comm->setPortOpen(true));
        QVERIFY(comm->PortOpen());
        // Opening an open port and changing its number are refused; the port stays as it was.
        CommError err = comm->setPortOpen(true);
        QCOMPARE(err.code, CommError::PortAlreadyOpen);
        QVERIFY(!err.text.isEmpty());
        err = comm->setCommPort(3);
        QCOMPARE(err.code, CommError::PortAlreadyOpen);
        QVERIFY(!err.text.isEmpty());
        QCOMPARE(comm->CommPort(), 1);
        QVERIFY(comm->PortOpen());
        // Closing twice is no error; the port opens again.
        QVERIFY(!comm->setPortOpen(false) && !comm->PortOpen());
        QVERIFY(!comm->setPortOpen(false));
        QVERIFY(!comm->setPortOpen(true) && !comm->setPortOpen(false));
        // Numbers 1 to 8 only.
        for (int bad : {0, 9, -1}) {
            err = comm->setCommPort(bad);
            QCOMPARE(err.code, CommError::InvalidPortNumber);
            QVERIFY(!err.text.isEmpty());
        }
        QCOMPARE(comm->CommPort(), 1);
        QVERIFY(!comm->setCommPort(8));
        QCOMPARE(comm->CommPort(), 8);
    }

    // Opening fails, with the system's reason, on a port another object holds (by the same link
    // or by another name) and on what is no port; the held port opens once it is free.
    void openFailsOnWhatIsNoFreePort()
    {
        const auto failsToOpen = [](MSComm &port) {
            const CommError err = port.setPortOpen(true);
            return err.code == CommError::OpenFailed && !err.text.isEmpty() && !port.PortOpen();
        };
        QVERIFY(!comm->setPortOpen(true));
        MSComm other;
        QVERIFY(failsToOpen(other));
        QTemporaryDir dir;
        const QString secondName = dir.filePath("second-name");
        QVERIFY(QFile::link(pty->slavePath(), secondName));
        SetComDevicePathOverride(2, secondName);
        QVERIFY(!other.setCommPort(2) && failsToOpen(other));
        comm->setPortOpen(false);
        QVERIFY(!other.setPortOpen(true) && !other.Output("x"));
        QCOMPARE(pty->read(1000, 1), QByteArray("x"));
        other.setPortOpen(false);

        QVERIFY(QFile::link(dir.filePath("gone"), dir.filePath("dangling")));
        QFile file(dir.filePath("file"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("x") == 1);
        file.close();
        for (const char *name : {"missing", "dangling", "file"}) {
            SetComDevicePathOverride(2, dir.filePath(name));
            QVERIFY2(!comm->setCommPort(2) && failsToOpen(*comm), name);
        }
    }

    void settingsAccepted_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("parsed"); // baud, parity, data bits, stop bits in tenths
        for (const auto &[text, parsed] : QList<QPair<QByteArray, QByteArray>>{
                 {"9600,n,8,1", "9600 n 8 10"}, {"9600,N,8,1", "9600 n 8 10"}, {"2400,e,7,1.5", "2400 e 7 15"},
                 {"1200,E,7,1", "1200 e 7 10"}, {"300,o,8,2", "300 o 8 20"}, {"110,m,5,1", "110 m 5 10"},
                 {"115200,S,6,2", "115200 s 6 20"}, {" 19200 , n , 8 , 1 ", "19200 n 8 10"}})
            QTest::newRow(text.constData()) << text << parsed;
    }

    void settingsAccepted()
    {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, parsed);
        LineSettings ls;
        QVERIFY(LineSettings::parse(text.trimmed(), &ls));
        QCOMPARE(QByteArray::number(ls.baud) + ' ' + ls.parity + ' ' + QByteArray::number(ls.dataBits) + ' ' +
                     QByteArray::number(ls.stopTenths),
                 parsed);
        // Closed, then open: accepted both ways, reported as given (without the blanks around
        // it), and applied to the line.
        QVERIFY(!comm->setSettings(text));
        QCOMPARE(comm->Settings(), text.trimmed());
        QVERIFY(!comm->setPortOpen(true));
        QCOMPARE(pty->slaveBaud(), ls.baud);
        QCOMPARE(pty->slaveTwoStopBits(), ls.stopTenths == 20);
        QVERIFY(!comm->setSettings("9600,n,8,1"));
        QVERIFY(pty->slaveBaud() == 9600 && !pty->slaveTwoStopBits());
        const CommError err = comm->setSettings(text);
        QVERIFY2(!err, qPrintable(err.text));
        QCOMPARE(comm->Settings(), text.trimmed());
        QCOMPARE(pty->slaveBaud(), ls.baud);
        QCOMPARE(pty->slaveTwoStopBits(), ls.stopTenths == 20);
        // The line carries bytes as they are: no flow control, no echo, no mapping.
        const termios tio = pty->slaveTermios();
        QVERIFY(!(tio.c_iflag & (IXON | IXOFF | IXANY | ICRNL | INLCR | IGNCR | ISTRIP)));
        QVERIFY(!(tio.c_lflag & (ECHO | ICANON | ISIG)));
        QVERIFY(!(tio.c_oflag & OPOST));
        QVERIFY(!comm->Output("ok"));
        QCOMPARE(pty->read(1000, 2), QByteArray("ok"));
    }

    void settingsRefused_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("parses"); // LineSettings::parse's own answer
        for (const char *text : {"", "9600", "9600,n,8", "9600,n,8,1,1", "9600,n,8,1,", "9600,x,8,1", "9600,none,8,1",
                                 "9600,,8,1", "9600,n,9,1", "9600,n,3,1", "9600,n,8,3", "9600,n,8,1.0", "9600,n,8,0",
                                 "0,n,8,1", "-9600,n,8,1", "fast,n,8,1", "96 00,n,8,1", "99999999999,n,8,1", "9600;n;8;1"})
            QTest::newRow(*text ? text : "empty") << QByteArray(text) << false;
        QTest::newRow("4 data bits") << QByteArray("9600,n,4,1") << true; // the port takes 5 to 8
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
    }

    void closedPortReportsNotOpen()
    {
        for (bool wasOpen : {false, true}) {
            if (wasOpen)
                QVERIFY(!comm->setPortOpen(true) && !comm->setPortOpen(false));
            CommError err = comm->Output("ATI\r");
            QCOMPARE(err.code, CommError::PortNotOpen);
            QCOMPARE(err.text, QStringLiteral("Port not open"));
            QCOMPARE(comm->DiscardInput().code, CommError::PortNotOpen);
            QCOMPARE(comm->Input(&err), QByteArray());
            QCOMPARE(err.code, CommError::PortNotOpen);
            QCOMPARE(comm->InBufferCount(), 0);
        }
        QCOMPARE(MSComm::notOpenError().code, CommError::PortNotOpen);
    }

    // Every byte value both ways, XON and XOFF included; after an XOFF from the far end the
    // program's output still goes out.
    void bytesBothWays()
    {
        QByteArray bytes;
        for (int i = 0; i < 256; ++i)
            bytes.append(char(i));
        for (const char *settings : {"9600,n,8,1", "1200,e,7,1"}) {
            QVERIFY(!comm->setSettings(settings) && !comm->setPortOpen(true));
            QVERIFY(!comm->Output(bytes) && !comm->Output(QByteArray()));
            QCOMPARE(pty->read(2000, 256), bytes);
            CommError err;
            QCOMPARE(comm->Input(&err), QByteArray());
            QVERIFY(!err);
            QSignalSpy spy(comm.get(), &MSComm::readyRead);
            QVERIFY(pty->write(bytes + '\x13'));
            QVERIFY(spy.wait(5000));
            QCOMPARE(inputAtLeast(*comm, 257), bytes + '\x13');
            QCOMPARE(comm->Input(), QByteArray()); // read and removed
            QVERIFY(!comm->Output("after XOFF"));
            QCOMPARE(pty->read(1000, 10), QByteArray("after XOFF"));
            QVERIFY(!comm->setPortOpen(false));
        }
    }

    // Stale bytes are dropped wherever they wait: in the system, or already in the port's buffer.
    void discardInputDropsStaleBytes()
    {
        QVERIFY(!comm->setPortOpen(true));
        for (bool inThePort : {false, true}) {
            QSignalSpy spy(comm.get(), &MSComm::readyRead);
            QVERIFY(pty->write("stale"));
            if (inThePort)
                QVERIFY(spy.wait(5000));
            else
                QThread::msleep(100); // nothing pulls it into the port
            QVERIFY(!comm->DiscardInput());
            QCOMPARE(comm->InBufferCount(), 0);
            QCOMPARE(comm->Input(), QByteArray());
            QVERIFY(pty->write("fresh"));
            QCOMPARE(inputAtLeast(*comm, 5), QByteArray("fresh"));
            QCOMPARE(comm->InBufferCount(), 0);
        }
    }

    // Output returns once the system holds every byte: a close right after it loses nothing,
    // and a large write is handed over while the far end reads.
    void outputHandsEveryByteOver()
    {
        QVERIFY(!comm->setPortOpen(true));
        QByteArray bytes;
        for (int i = 0; i < 3000; ++i)
            bytes.append(char('A' + i % 26));
        bytes.append("config reboot\r");
        QVERIFY(!comm->Output(bytes));
        QVERIFY(!comm->setPortOpen(false));
        QCOMPARE(pty->read(2000, int(bytes.size())), bytes);

        QVERIFY(!comm->setPortOpen(true));
        bytes.clear();
        for (int i = 0; i < 200000; ++i)
            bytes.append(char(i * 7));
        QByteArray received; // the reader's until it is joined
        std::thread reader([&received, far = pty.get(), expected = bytes.size()] {
            QDeadlineTimer deadline(10000);
            while (received.size() < expected && !deadline.hasExpired())
                received += far->read(20, 1);
        });
        const CommError err = comm->Output(bytes);
        reader.join();
        QVERIFY2(!err, qPrintable(err.text));
        QVERIFY(received == bytes);
    }

    void farEndHungUpReportsAWriteError()
    {
        QVERIFY(!comm->setPortOpen(true));
        pty->closeMaster();
        // At once with the system's reason, not after the write time-out.
        for (int i = 0; i < 2; ++i) {
            const CommError err = comm->Output("ATI\r");
            QCOMPARE(err.code, CommError::WriteFailed);
            QVERIFY(!err.text.isEmpty());
            QVERIFY2(err.text != QLatin1String("Write timed out"), qPrintable(err.text));
        }
        // Reading and counting neither hang nor crash, nor does the event loop.
        CommError err;
        QCOMPARE(comm->Input(&err), QByteArray());
        QVERIFY2(err.code == CommError::None || err.code == CommError::ReadFailed, qPrintable(err.text));
        QCOMPARE(comm->InBufferCount(), 0);
        QVERIFY(!comm->DiscardInput());
        QTest::qWait(20);
        QVERIFY(!comm->setPortOpen(false));
        QVERIFY(!comm->PortOpen());
    }
};

QTEST_GUILESS_MAIN(TestSerialPort)
#include "tst_serialport.moc"
