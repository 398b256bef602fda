// The serial port (MSComm on QSerialPort) against a pseudo-terminal far end.
#include <QtTest>

#include "platform/msgbox.h"
#include "platform/serialport.h"
#include "support/isolatedsettings.h"
#include "support/ptypair.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cerrno>
#include <cstring>
#include <linux/capability.h>
#include <memory>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

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

QString systemText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// While it lives, the calling thread works without the right to override file permissions (a
// process run by root has it), so that a device's permissions count as for any user.
class WithoutPermissionOverride {
public:
    WithoutPermissionOverride()
    {
        if (::geteuid() != 0) {
            m_ok = true; // nothing to give up
            return;
        }
        m_header.version = _LINUX_CAPABILITY_VERSION_3;
        if (::syscall(SYS_capget, &m_header, m_saved) != 0)
            return;
        __user_cap_data_struct lowered[2] = {m_saved[0], m_saved[1]};
        lowered[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        m_ok = ::syscall(SYS_capset, &m_header, lowered) == 0;
        m_lowered = m_ok;
    }
    ~WithoutPermissionOverride()
    {
        if (m_lowered)
            ::syscall(SYS_capset, &m_header, m_saved);
    }
    bool ok() const { return m_ok; }

private:
    __user_cap_header_struct m_header{};
    __user_cap_data_struct m_saved[2]{};
    bool m_ok = false;
    bool m_lowered = false;
};

// The port's descriptor, as the far end's word is asked for it before the second of two
// writes ("ab", read here); -1 when it was not asked.
int portDescriptor(MSComm &comm, PtyPair &pty)
{
    int fd = -1;
    SetLineTakenInHook([&fd](int handle) { fd = handle; return false; });
    const bool written = !comm.Output("a") && !comm.Output("b");
    SetLineTakenInHook(nullptr);
    return written && pty.read(1000, 2) == "ab" ? fd : -1;
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
        SetOutputQueueHook(nullptr);
        SetLineTakenInHook(nullptr);
        SetWriteStallWait({});
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
        for (const char *settings : {"9600,n,8,1", "19200,e,7,1"}) {
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
    // and a write larger than the system's buffer is handed over while the far end reads. (At
    // a high speed: the close lets the bytes have their time on the line.)
    void outputHandsEveryByteOver()
    {
        QVERIFY(!comm->setSettings("921600,n,8,1") && !comm->setPortOpen(true));
        QByteArray bytes;
        for (int i = 0; i < 3000; ++i)
            bytes.append(char('A' + i % 26));
        bytes.append("config reboot\r");
        QVERIFY(!comm->Output(bytes));
        QVERIFY(!comm->setPortOpen(false));
        QCOMPARE(pty->read(2000, int(bytes.size())), bytes);

        QVERIFY(!comm->setPortOpen(true));
        bytes.clear();
        for (int i = 0; i < 40000; ++i)
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

    // A far end that hangs up (a USB adapter pulled out): the port says the device is gone, at
    // once and with the system's reason, tells of it once, and still counts as open until it
    // is closed; the device itself is let go (its node has vanished: it does not open again).
    void farEndHungUpReportsTheDeviceGone()
    {
        QVERIFY(!comm->setPortOpen(true));
        QSignalSpy gone(comm.get(), &MSComm::deviceGone);
        pty->closeMaster();
        for (int i = 0; i < 2; ++i) {
            const CommError err = comm->Output("ATI\r");
            QCOMPARE(err.code, CommError::DeviceGone);
            QCOMPARE(err.text, systemText(EIO));
        }
        CommError err;
        QCOMPARE(comm->Input(&err), QByteArray());
        QCOMPARE(err.code, CommError::DeviceGone);
        QCOMPARE(comm->InBufferCount(), 0);
        QVERIFY(!comm->DiscardInput());
        QVERIFY(!comm->setSettings("2400,n,8,1")); // kept for the next opening
        QTest::qWait(20);                            // the event loop does not report it again
        QCOMPARE(gone.count(), 1);
        QVERIFY(comm->PortOpen() && comm->DeviceGone());
        QCOMPARE(comm->setPortOpen(true).code, CommError::PortAlreadyOpen);

        // Closed, it still knows that the device went and why, until it tries to open again.
        QVERIFY(!comm->setPortOpen(false));
        QVERIFY(!comm->PortOpen() && !comm->DeviceGone());
        QVERIFY(comm->DeviceWentAway());
        QCOMPARE(comm->goneError().text, systemText(EIO));
        QCOMPARE(comm->Output("x").code, CommError::PortNotOpen);
        err = comm->setPortOpen(true);
        QCOMPARE(err.code, CommError::OpenFailed);
        QVERIFY2(err.text.startsWith(pty->linkPath() + QStringLiteral(": ")), qPrintable(err.text));
        QVERIFY(!comm->DeviceWentAway());
    }

    // Noticed while nothing is sent: the event loop alone tells of it.
    void farEndHangingUpWhileIdleIsNoticed()
    {
        QVERIFY(!comm->setPortOpen(true));
        QSignalSpy gone(comm.get(), &MSComm::deviceGone);
        pty->closeMaster();
        QVERIFY(gone.wait(2000));
        QTest::qWait(20);
        QCOMPARE(gone.count(), 1);
        QVERIFY(comm->PortOpen() && comm->DeviceGone());
        QCOMPARE(comm->Output("x").code, CommError::DeviceGone);
    }

    // A change of speed and a close right after a write wait until the bytes have had their
    // time on the line at the old speed (10 bits a character, and a margin); the close leaves
    // the device at the settings in force, not those it had when the port opened.
    void lastBytesGoOutAtTheirSpeed()
    {
        QVERIFY(!comm->setPortOpen(true));
        QVERIFY(!comm->setSettings("1200,n,8,1"));
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!comm->Output("#PrgmMode#"));
        QVERIFY(!comm->setSettings("9600,n,8,1"));
        QVERIFY2(clock.elapsed() >= 10 * 10 * 1000 / 1200 + 20, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(pty->slaveBaud(), 9600);

        QVERIFY(!comm->setSettings("2400,n,8,2"));
        clock.restart();
        QVERIFY(!comm->Output("config reboot\r"));
        QVERIFY(!comm->setPortOpen(false));
        QVERIFY2(clock.elapsed() >= 14 * 10 * 1000 / 2400 + 20, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(pty->slaveBaud(), 2400);
        QVERIFY(pty->slaveTwoStopBits());
        QCOMPARE(pty->read(1000, 24), QByteArray("#PrgmMode#config reboot\r"));

        // Opened again in another character format, which the device cannot carry.
        QVERIFY(!comm->setSettings("1200,e,7,1") && !comm->setPortOpen(true));
        QCOMPARE(pty->slaveBaud(), 1200);
    }

    // Each write goes on the line after the ones before it, so a change of speed or a close
    // waits for the end of all of them: a short write after a long one hides nothing. The
    // system here says it holds nothing (as a pseudo-terminal, or a USB adapter whose own
    // buffer it does not count): the port's own account must hold.
    void writesFollowOneAnotherOnTheLine_data()
    {
        QTest::addColumn<bool>("close"); // else a change of speed
        QTest::newRow("change of speed") << false;
        QTest::newRow("close") << true;
    }

    void writesFollowOneAnotherOnTheLine()
    {
        QFETCH(bool, close);
        SetOutputQueueHook([](int) { return qint64(0); });
        QVERIFY(!comm->setSettings("2400,n,8,1") && !comm->setPortOpen(true));
        const QByteArray page(48, 'p'); // 200 ms on the line, "#PrgmMode#" 42 ms more
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!comm->Output(page) && !comm->Output("#PrgmMode#"));
        QVERIFY(!(close ? comm->setPortOpen(false) : comm->setSettings("9600,n,8,1")));
        QVERIFY2(clock.elapsed() >= 58 * 10 * 1000 / 2400 + 20, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(pty->read(1000, 58), page + "#PrgmMode#");
    }

    // A character is as wide as its format makes it: the start bit, the data bits, a parity
    // bit (any parity but none), the stop bits, 1.5 of them as they are. A change of settings
    // waits at the width the bytes were written in.
    void charactersAsWideAsTheirFormat_data()
    {
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<int>("tenths"); // a character's width in tenths of a bit
        QTest::addColumn<bool>("close"); // else a change to 9600,n,8,1
        for (const auto &[settings, tenths, close] :
             {std::tuple{"1200,o,8,1", 110, true}, {"1200,s,8,1", 110, false}, {"1200,n,8,2", 110, true},
              {"1200,e,7,2", 110, false}, {"1200,e,8,2", 120, false}, {"1200,o,8,2", 120, true},
              {"1200,m,8,1.5", 115, true}})
            QTest::newRow(settings) << QByteArray(settings) << tenths << close;
    }

    void charactersAsWideAsTheirFormat()
    {
        QFETCH(QByteArray, settings);
        QFETCH(int, tenths);
        QFETCH(bool, close);
        SetOutputQueueHook([](int) { return qint64(0); });
        QVERIFY(!comm->setSettings(settings) && !comm->setPortOpen(true));
        const QByteArray page(30, 'p'); // with "#PrgmMode#" 40 characters, 33 ms a bit of each
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!comm->Output(page) && !comm->Output("#PrgmMode#"));
        QVERIFY(!(close ? comm->setPortOpen(false) : comm->setSettings("9600,n,8,1")));
        const qint64 least = 40 * tenths * 100 / 1200 + 20;
        QVERIFY2(clock.elapsed() >= least, qPrintable(QStringLiteral("%1 < %2").arg(clock.elapsed()).arg(least)));
        QCOMPARE(pty->read(1000, 40), page + "#PrgmMode#");
    }

    // A write the far end stops taking times out; what the device took of it is on the line
    // all the same. The rest, passed on once the far end reads again (as the close waits, or
    // with the next write), follows it on the line: the close waits for all of it.
    void aWriteThatTimesOutCountsWhatWentOut_data()
    {
        QTest::addColumn<QByteArray>("next"); // written once the far end reads again
        QTest::newRow("rest passed on by the close") << QByteArray();
        QTest::newRow("rest passed on with the next write") << QByteArray("x");
    }

    void aWriteThatTimesOutCountsWhatWentOut()
    {
        QFETCH(QByteArray, next);
        SetOutputQueueHook([](int) { return qint64(0); });
        SetWriteStallWait(std::chrono::milliseconds(200));
        QVERIFY(!comm->setSettings("921600,n,8,1") && !comm->setPortOpen(true));
        const QByteArray bytes(65536, 'p'); // a pseudo-terminal takes 14 to 20 KB
        const CommError err = comm->Output(bytes); // about a second
        QElapsedTimer clock;
        clock.start();
        if (!err)
            QSKIP("the pseudo-terminal took the whole write");
        QCOMPARE(err.text, QStringLiteral("Write timed out"));
        const QByteArray taken = pty->readUntilQuiet(50, 2000);
        QVERIFY2(!taken.isEmpty() && taken.size() < bytes.size(), qPrintable(QString::number(taken.size())));
        SetWriteStallWait(std::chrono::seconds(10)); // the next write's: a loaded far end reads late
        const qsizetype all = bytes.size() + next.size();
        QByteArray rest; // the reader's until it is joined
        std::thread reader([&rest, far = pty.get(), left = all - taken.size()] { rest = far->read(5000, int(left)); });
        const bool written = !comm->Output(next);
        const CommError closed = comm->setPortOpen(false);
        const qint64 elapsed = clock.elapsed();
        reader.join();
        QVERIFY(written && !closed);
        const qint64 least = all * 10 * 1000 / 921600;
        QVERIFY2(elapsed >= least, qPrintable(QStringLiteral("%1 < %2").arg(elapsed).arg(least)));
        QVERIFY(taken + rest == bytes + next);
    }

    // A write the device took nothing of before it timed out (its output stopped) stays with
    // the port: a change of speed does not go ahead until the device takes bytes again and
    // those bytes have had their time at the old speed.
    void aWriteNothingWasTakenOfGoesOutAtItsSpeed()
    {
        auto fd = std::make_shared<int>(-1); // the port's descriptor, as the hook is given it
        SetLineTakenInHook([fd](int handle) { *fd = handle; return false; });
        SetWriteStallWait(std::chrono::milliseconds(200));
        QVERIFY(!comm->setPortOpen(true) && !comm->Output("a") && !comm->Output("b") && *fd >= 0);
        QVERIFY(!comm->setSettings("2400,n,8,1")); // waits for "ab": the line is free
        QCOMPARE(pty->read(1000, 2), QByteArray("ab"));
        // Stopped, the device takes nothing at all; a full buffer may take bytes again a moment
        // after it refused some.
        QVERIFY(::tcflow(*fd, TCOOFF) == 0);
        const QByteArray bytes(60, 'p'); // 250 ms at 2400
        QCOMPARE(comm->Output(bytes).text, QStringLiteral("Write timed out"));
        QVERIFY(::tcflow(*fd, TCOON) == 0); // the device takes bytes again
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!comm->setSettings("9600,n,8,1"));
        QVERIFY2(clock.elapsed() >= 60 * 10 * 1000 / 2400 + 20, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(pty->read(1000, 60), bytes);
    }

    // A write the system refuses throws away what the port held: the account starts afresh,
    // and a close right after it does not wait for the ten seconds of bytes written before.
    void aRefusedWriteFreesTheLine()
    {
        auto fd = std::make_shared<int>(-1); // the port's descriptor, as the hook is given it
        SetLineTakenInHook([fd](int handle) { *fd = handle; return false; });
        QVERIFY(!comm->setSettings("300,n,8,1") && !comm->setPortOpen(true));
        QVERIFY(!comm->Output(QByteArray(300, 'p')) && !comm->Output("p"));
        // The descriptor becomes one that is no terminal and refuses a write of one byte: the
        // device is still there, the system says no.
        const int refusing = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        QVERIFY(*fd >= 0 && refusing >= 0 && ::dup2(refusing, *fd) == *fd);
        ::close(refusing);
        QCOMPARE(comm->Output("x").code, CommError::WriteFailed);
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!comm->setPortOpen(false));
        QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
    }

    // The account starts afresh when the port closes, and where the far end says it has
    // taken in every byte: after ten seconds of bytes, a write then waits only for its own
    // time. A close from inside the wait for those bytes ends the wait at once.
    void theLineIsFreeAgain_data()
    {
        QTest::addColumn<bool>("closedInside"); // else the far end's word
        QTest::newRow("after a close inside the wait") << true;
        QTest::newRow("on the far end's word") << false;
    }

    void theLineIsFreeAgain()
    {
        QFETCH(bool, closedInside);
        SetOutputQueueHook([](int) { return qint64(0); });
        QVERIFY(!comm->setSettings("300,n,8,1") && !comm->setPortOpen(true));
        QVERIFY(!comm->Output(QByteArray(300, 'p')));
        QElapsedTimer clock;
        if (closedInside) {
            QTimer::singleShot(20, comm.get(), [this] { comm->setPortOpen(false); });
            clock.start();
            QVERIFY(!comm->setSettings("9600,n,8,1") && !comm->PortOpen());
            QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
            QVERIFY(!comm->setPortOpen(true));
        } else {
            SetLineTakenInHook([](int) { return true; });
        }
        const QByteArray otherSpeed = comm->Settings() == "300,n,8,1" ? "9600,n,8,1" : "300,n,8,1";
        clock.start();
        QVERIFY(!comm->Output("x") && !comm->setSettings(otherSpeed));
        QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
    }

    // The close's wait for the last bytes (here about half a second) keeps the event loop
    // going: a timer ticks meanwhile. A write from the timer's handler goes out and is waited
    // for too; a close from there, or the port's deletion, ends the wait.
    void closeWaitsWithEventsRunning_data()
    {
        QTest::addColumn<QByteArray>("fromTimer"); // what the timer's handler does on its 2nd tick
        QTest::newRow("nothing") << QByteArray();
        QTest::newRow("a write") << QByteArray("config reboot\r");
        QTest::newRow("a close") << QByteArray("close");
        QTest::newRow("a deletion") << QByteArray("delete");
    }

    void closeWaitsWithEventsRunning()
    {
        QFETCH(QByteArray, fromTimer);
        QVERIFY(!comm->setSettings("9600,n,8,1") && !comm->setPortOpen(true));
        const QByteArray page(513, 'p');
        QByteArray expected = page;
        int ticks = 0;
        bool closedInside = false;
        QTimer timer;
        connect(&timer, &QTimer::timeout, this, [&] {
            if (++ticks != 2)
                return;
            if (fromTimer == "close")
                closedInside = !comm->setPortOpen(false) && !comm->PortOpen();
            else if (fromTimer == "delete")
                comm.reset();
            else if (!fromTimer.isEmpty() && !comm->Output(fromTimer))
                expected += fromTimer;
        });
        QVERIFY(!comm->Output(page));
        timer.start(50);
        QVERIFY(!comm->setPortOpen(false));
        timer.stop();
        QVERIFY(!comm || !comm->PortOpen());
        const bool endedInside = fromTimer == "close" || fromTimer == "delete";
        QVERIFY2(ticks >= (endedInside ? 2 : 3), qPrintable(QString::number(ticks)));
        QCOMPARE(closedInside, fromTimer == "close");
        QCOMPARE(pty->read(2000, int(expected.size())), expected);
    }

    // A driver that never empties its buffer: the close gives up at its bound, discards what
    // is held (the far end, which reads nothing meanwhile, gets only part of it) and closes.
    void closeGivesUpOnAnOutputThatNeverDrains()
    {
        SetOutputQueueHook([](int) { return qint64(100); });
        QVERIFY(!comm->setSettings("230400,n,8,1") && !comm->setPortOpen(true));
        const QByteArray bytes(6000, 'x');
        QVERIFY(!comm->Output(bytes));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("did not send its last 100 bytes"));
        QVERIFY(!comm->setPortOpen(false));
        QVERIFY(!comm->PortOpen());
        const QByteArray received = pty->readUntilQuiet(100, 2000);
        QVERIFY2(received.size() < bytes.size(), qPrintable(QString::number(received.size())));
    }

    // Bytes the device takes only as the wait's bound comes still have their time on the line
    // before a close: the wait gives up only what is still held then, and then waits out the
    // time of those that left. Here the device takes them at the wait's second look, and the
    // machine stays busy past the bound (12 bytes at 12 bits, 120 ms, and half a second).
    void bytesTakenAtTheBoundHaveTheirTime_data()
    {
        QTest::addColumn<qint64>("neverSent"); // what the system holds and never sends
        QTest::newRow("every byte taken") << qint64(0);
        QTest::newRow("the system keeps one") << qint64(1);
    }

    void bytesTakenAtTheBoundHaveTheirTime()
    {
        QFETCH(qint64, neverSent);
        SetWriteStallWait(std::chrono::milliseconds(200));
        QVERIFY(!comm->setSettings("1200,n,8,1") && !comm->setPortOpen(true));
        const int fd = portDescriptor(*comm, *pty);
        QVERIFY(fd >= 0 && ::tcflow(fd, TCOOFF) == 0); // stopped: the device takes nothing
        const QByteArray bytes(12, 'p'); // 100 ms at 1200
        QCOMPARE(comm->Output(bytes).text, QStringLiteral("Write timed out"));
        QElapsedTimer clock;
        qint64 takenFrom = -1; // the wait can see them taken from here on
        int looks = 0;
        SetOutputQueueHook([&](int) {
            if (++looks == 2) {
                ::tcflow(fd, TCOON);
                std::this_thread::sleep_for(std::chrono::seconds(1));
                takenFrom = clock.elapsed();
            }
            return neverSent;
        });
        if (neverSent > 0)
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("did not send its last 1 bytes"));
        else
            QTest::failOnWarning(QRegularExpression("did not send"));
        clock.start();
        QVERIFY(!comm->setPortOpen(false));
        const qint64 elapsed = clock.elapsed();
        const qint64 least = takenFrom + 12 * 10 * 1000 / 1200 + 20;
        QVERIFY2(takenFrom >= 0 && elapsed >= least, qPrintable(QStringLiteral("%1 < %2").arg(elapsed).arg(least)));
        // What the system discards as the wait gives up may include bytes still on their way.
        if (neverSent == 0)
            QCOMPARE(pty->read(1000, 12), bytes);
    }

    // Bytes the port held when the line was cleared are gone from the account: given up at the
    // bound, or thrown away by a close from inside the wait, they are not counted again, and
    // the next close (at 300 baud, where they would take ten seconds) closes at once.
    void heldBytesAreNotCountedAgain_data()
    {
        QTest::addColumn<bool>("closedInside"); // else given up at the bound
        QTest::newRow("given up at the bound") << false;
        QTest::newRow("closed inside the wait") << true;
    }

    void heldBytesAreNotCountedAgain()
    {
        QFETCH(bool, closedInside);
        SetWriteStallWait(std::chrono::milliseconds(200));
        QVERIFY(!comm->setSettings("115200,n,8,1") && !comm->setPortOpen(true));
        const int fd = portDescriptor(*comm, *pty);
        QVERIFY(fd >= 0 && ::tcflow(fd, TCOOFF) == 0); // stopped: the device takes nothing
        QCOMPARE(comm->Output(QByteArray(300, 'p')).text, QStringLiteral("Write timed out"));
        if (closedInside) {
            QTimer::singleShot(0, comm.get(), [this] { comm->setPortOpen(false); });
            QVERIFY(!comm->setSettings("300,n,8,1") && !comm->PortOpen());
        } else {
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("did not send its last 300 bytes"));
            QVERIFY(!comm->setPortOpen(false) && !comm->setSettings("300,n,8,1"));
        }
        QVERIFY(!comm->setPortOpen(true));
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!comm->setPortOpen(false));
        QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
    }

    // An open that fails names the device and the system's reason; a device the user may not
    // use says what the user needs. A device held by another program is no matter of rights.
    void openFailureNamesTheDevice()
    {
        QTemporaryDir dir;
        const QString missing = dir.filePath(QStringLiteral("ttyUSB9"));
        SetComDevicePathOverride(5, missing);
        QVERIFY(!comm->setCommPort(5));
        CommError err = comm->setPortOpen(true);
        QCOMPARE(err.code, CommError::OpenFailed);
        QCOMPARE(err.text, missing + QStringLiteral(": ") + systemText(ENOENT));

        QVERIFY(!comm->setCommPort(1));
        MSComm holder;
        QVERIFY(!holder.setPortOpen(true));
        err = comm->setPortOpen(true);
        QCOMPARE(err.code, CommError::OpenFailed);
        QVERIFY2(err.text.startsWith(pty->linkPath() + QStringLiteral(": ")), qPrintable(err.text));
        QVERIFY2(!err.text.contains(QStringLiteral("dialout")), qPrintable(err.text));
        QVERIFY(!holder.setPortOpen(false));

        QVERIFY(::chmod(QFile::encodeName(pty->slavePath()).constData(), 0) == 0);
        {
            WithoutPermissionOverride asAUser;
            if (!asAUser.ok())
                QSKIP("the right to override file permissions cannot be given up");
            err = comm->setPortOpen(true);
        }
        QCOMPARE(err.code, CommError::OpenFailed);
        const QStringList lines = err.text.split(QLatin1Char('\r'));
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines[0], pty->linkPath() + QStringLiteral(": ") + systemText(EACCES));
        QVERIFY2(lines[1].contains(QStringLiteral("serial devices")) && lines[1].contains(QStringLiteral("dialout group")),
                 qPrintable(lines[1]));
        QVERIFY(!comm->PortOpen());
    }
};

QTEST_GUILESS_MAIN(TestSerialPort)
#include "tst_serialport.moc"
