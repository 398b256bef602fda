#include "platform/serialport.h"

#include "platform/files.h"
#include "platform/settingsstore.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QMap>
#include <QPointer>
#include <QSerialPort>
#include <QThread>
#include <QTimer>

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <functional>
#include <sys/ioctl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

// The line's own events, under the name the encoder link logs the exchanges with.
Q_LOGGING_CATEGORY(lcPort, "pagersetup.line", QtWarningMsg)

const char *const kNotOpenText = "Port not open";
const char *const kAlreadyOpenText = "Port already open";
const char *const kInvalidPortText = "Invalid port number";
const char *const kInvalidSettingsText = "Invalid property value";

// What a serial device is given beyond its bytes' own time on the line before its settings
// change or it is closed: the buffer of a USB adapter drains after the driver's.
constexpr std::chrono::milliseconds kLineMargin{20};
// Character widths in tenths of a bit, so that 1.5 stop bits count exactly.
constexpr int kMostTenthsPerCharacter = 120; // any format: start, 8 data bits, parity, 2 stop
// How long the bytes still held may take beyond their time on the line before they are given
// up (a driver that never empties its buffer), and how often the held count is looked at.
constexpr std::chrono::milliseconds kDrainGrace{500};
constexpr std::chrono::milliseconds kDrainLook{10};
// How long a write waits, beyond its bytes' time on the line, for a far end that takes nothing.
constexpr std::chrono::milliseconds kWriteStall{3000};

std::chrono::milliseconds &writeStallWait()
{
    static std::chrono::milliseconds wait = kWriteStall;
    return wait;
}

std::function<qint64(int)> &outputQueueHook()
{
    static std::function<qint64(int)> hook;
    return hook;
}

std::function<bool(int)> &lineTakenInHook()
{
    static std::function<bool(int)> hook;
    return hook;
}

// Bytes the system still holds to send on the device; none when it cannot tell (the bytes'
// time on the line is waited out all the same).
qint64 systemOutputQueue(int fd)
{
    if (outputQueueHook())
        return qMax<qint64>(0, outputQueueHook()(fd));
    int held = 0;
    if (::ioctl(fd, TIOCOUTQ, &held) != 0)
        return 0;
    return qMax(0, held);
}

// The open failure as the operator sees it: the device and the system's reason, and what to
// do when the user may not use the device at all.
QString openFailureText(const QString &path, const QString &reason, bool permission)
{
    QString text = path + QStringLiteral(": ") + reason;
    if (permission)
        text += QStringLiteral("\rYour user must be allowed to use serial devices "
                               "(on Debian: a member of the dialout group, then log in again).");
    return text;
}

CommError makeError(CommError::Code code, const QString &text)
{
    CommError e;
    e.code = code;
    e.text = text;
    return e;
}

// Blanks around a part: spaces and tabs.
QByteArray trimBlanks(const QByteArray &part)
{
    int begin = 0;
    int end = int(part.size());
    while (begin < end && (part[begin] == ' ' || part[begin] == '\t'))
        ++begin;
    while (end > begin && (part[end - 1] == ' ' || part[end - 1] == '\t'))
        --end;
    return part.mid(begin, end - begin);
}

bool allDigits(const QByteArray &text)
{
    if (text.isEmpty())
        return false;
    for (char c : text)
        if (c < '0' || c > '9')
            return false;
    return true;
}

QSerialPort::Parity toQtParity(char parity)
{
    switch (parity) {
    case 'e': return QSerialPort::EvenParity;
    case 'o': return QSerialPort::OddParity;
    case 'm': return QSerialPort::MarkParity;
    case 's': return QSerialPort::SpaceParity;
    default: return QSerialPort::NoParity;
    }
}

QSerialPort::StopBits toQtStopBits(int stopTenths)
{
    switch (stopTenths) {
    case 15: return QSerialPort::OneAndHalfStop;
    case 20: return QSerialPort::TwoStop;
    default: return QSerialPort::OneStop;
    }
}

QMap<int, QString> &comOverrides()
{
    static QMap<int, QString> map;
    return map;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// LineSettings

bool LineSettings::parse(const QByteArray &text, LineSettings *out)
{
    const QList<QByteArray> parts = text.split(',');
    if (parts.size() != 4)
        return false;

    LineSettings s;

    const QByteArray baud = trimBlanks(parts[0]);
    if (!allDigits(baud) || baud.size() > 10)
        return false;
    bool ok = false;
    const qlonglong baudValue = baud.toLongLong(&ok);
    if (!ok || baudValue <= 0 || baudValue > INT_MAX)
        return false;
    s.baud = int(baudValue);

    const QByteArray parity = trimBlanks(parts[1]);
    if (parity.size() != 1)
        return false;
    const char p = char(parity[0] | 0x20); // lower case for letters
    if (p != 'n' && p != 'e' && p != 'o' && p != 'm' && p != 's')
        return false;
    if (!((parity[0] >= 'a' && parity[0] <= 'z') || (parity[0] >= 'A' && parity[0] <= 'Z')))
        return false;
    s.parity = p;

    const QByteArray data = trimBlanks(parts[2]);
    if (data.size() != 1 || data[0] < '4' || data[0] > '8')
        return false;
    s.dataBits = data[0] - '0';

    const QByteArray stop = trimBlanks(parts[3]);
    if (stop == "1")
        s.stopTenths = 10;
    else if (stop == "1.5")
        s.stopTenths = 15;
    else if (stop == "2")
        s.stopTenths = 20;
    else
        return false;

    if (out)
        *out = s;
    return true;
}

int LineSettings::tenthsPerCharacter() const
{
    const int parityBits = parity == 'n' ? 0 : 1;
    return 10 * (1 + dataBits + parityBits) + stopTenths;
}

// ---------------------------------------------------------------------------------------------
// MSComm

MSComm::MSComm(QObject *parent)
    : QObject(parent), m_port(std::make_unique<QSerialPort>())
{
    LineSettings::parse(m_settings, &m_line);
    connect(m_port.get(), &QSerialPort::readyRead, this, [this] {
        if (!m_pulling)
            emit readyRead();
    });
    // A device that goes away is noticed by the event loop as well (QSerialPort would then
    // report its error over and over). The device is let go outside QSerialPort's own handler.
    connect(m_port.get(), &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError error) {
        if (error != QSerialPort::ResourceError && error != QSerialPort::ReadError &&
            error != QSerialPort::WriteError)
            return;
        if (m_gone || !checkGone())
            return;
        QMetaObject::invokeMethod(this, &MSComm::releaseGoneDevice, Qt::QueuedConnection);
    });
}

MSComm::~MSComm()
{
    m_dying = true; // no events while the object goes: its owner may be half gone
    setPortOpen(false);
}

CommError MSComm::notOpenError()
{
    return makeError(CommError::PortNotOpen, QString::fromLatin1(kNotOpenText));
}

CommError MSComm::setCommPort(int number)
{
    if (PortOpen()) {
        if (number == m_commPort)
            return CommError::ok();
        return makeError(CommError::PortAlreadyOpen, QString::fromLatin1(kAlreadyOpenText));
    }
    if (number < 1 || number > 8)
        return makeError(CommError::InvalidPortNumber, QString::fromLatin1(kInvalidPortText));
    m_commPort = number;
    return CommError::ok();
}

bool MSComm::applyLine(const LineSettings &line)
{
    if (line.dataBits < 5 || line.dataBits > 8)
        return false;
    // QSerialPort reads the settings back after each change. A device that cannot carry a
    // character format adjusts it (a pseudo-terminal keeps 8 bits without parity whatever is
    // asked), which QSerialPort reports as an unsupported operation; the port then runs in the
    // format the device allows, as a lenient driver would. The speed and any other failure
    // count.
    const auto formatOk = [this](bool ok) {
        if (ok)
            return true;
        if (m_port->error() == QSerialPort::UnsupportedOperationError) {
            m_port->clearError();
            return true;
        }
        return false;
    };
    bool ok = m_port->setBaudRate(line.baud);
    ok = formatOk(m_port->setDataBits(QSerialPort::DataBits(line.dataBits))) && ok;
    ok = formatOk(m_port->setParity(toQtParity(line.parity))) && ok;
    ok = formatOk(m_port->setStopBits(toQtStopBits(line.stopTenths))) && ok;
    ok = m_port->setFlowControl(QSerialPort::NoFlowControl) && ok;
    return ok;
}

CommError MSComm::setSettings(const QByteArray &text)
{
    const QByteArray trimmed = text.trimmed();
    LineSettings line;
    if (!LineSettings::parse(trimmed, &line) || line.dataBits < 5)
        return makeError(CommError::InvalidSettings, QString::fromLatin1(kInvalidSettingsText));

    if (m_port->isOpen() && !m_gone && !(line == m_line) && !letLastBytesGo())
        return CommError::ok(); // the port object was deleted while it waited
    if (m_gone)
        releaseGoneDevice();
    m_port->clearError();
    if (!applyLine(line)) {
        QString text = m_port->error() != QSerialPort::NoError ? m_port->errorString()
                                                              : QString();
        if (text.isEmpty())
            text = QString::fromLatin1(kInvalidSettingsText);
        applyLine(m_line); // back to the settings in force
        m_port->clearError();
        return makeError(CommError::InvalidSettings, text);
    }
    m_settings = trimmed;
    m_line = line;
    endDrainWait(); // set anew from inside the wait: nothing left to wait for
    return CommError::ok();
}

bool MSComm::PortOpen() const
{
    return m_port->isOpen() || m_gone;
}

std::chrono::microseconds MSComm::lineTime(qint64 bytes, int tenthsPerCharacter) const
{
    return std::chrono::microseconds(bytes * tenthsPerCharacter * 100'000 / qMax(1, m_line.baud));
}

void MSComm::lineWritten(qint64 bytes, bool takenIn)
{
    // The bytes go on the line after everything written before them: from where those end,
    // or from now when the line is free. The system's count of what it still holds cannot
    // stand in for this: a pseudo-terminal's is always empty, and the buffer of a USB adapter
    // is not in it.
    const auto now = std::chrono::steady_clock::now();
    const auto start = m_lineBusy && !takenIn ? std::max(now, m_lineFreeAt) : now;
    // At the settings in force now: a change of settings waits for these bytes first.
    m_lineFreeAt = start + lineTime(bytes, m_line.tenthsPerCharacter());
    m_lineBusy = true;
}

void MSComm::lineHandedOver(bool takenIn)
{
    // QSerialPort passes bytes on from its buffer during a write, and later from the event loop
    // when the device had not taken all of them before the write timed out.
    const qint64 held = m_port->bytesToWrite();
    if (held < m_portHeld)
        lineWritten(m_portHeld - held, takenIn);
    m_portHeld = held;
}

void MSComm::lineCleared()
{
    m_lineBusy = false;
    m_lineFreeAt = {};
    m_portHeld = 0;
    endDrainWait();
}

void MSComm::endDrainWait()
{
    if (m_drainWait)
        m_drainWait->quit();
}

bool MSComm::letLastBytesGo()
{
    lineHandedOver(false);
    // Busy while the port's buffer still holds bytes, even if the device has taken none yet.
    if ((!m_lineBusy && m_portHeld == 0) || m_draining)
        return true;
    using Clock = std::chrono::steady_clock;
    const auto heldBytes = [this] {
        const int fd = m_port->handle();
        return m_port->bytesToWrite() + (fd >= 0 ? systemOutputQueue(fd) : 0);
    };
    // Given up past the time on the line of what is held now and of what was written, with room.
    const auto giveUpFrom = [&](Clock::time_point now) {
        return now + lineTime(heldBytes(), kMostTenthsPerCharacter) +
               std::max(Clock::duration::zero(), m_lineFreeAt - now) + kDrainGrace;
    };
    m_draining = true;
    const QPointer<MSComm> alive(this);
    const LineSettings line = m_line;
    quint64 writes = m_writes;
    Clock::time_point giveUpAt = giveUpFrom(Clock::now());
    bool givenUp = false; // what was held is thrown away; only the line time is left to wait
    QEventLoop sleeper;
    QTimer look;
    look.setSingleShot(true);
    look.setTimerType(Qt::PreciseTimer);
    connect(&look, &QTimer::timeout, &sleeper, &QEventLoop::quit);
    // A physical time, never shortened. Windows repaint and timers run meanwhile, but no
    // input is taken; a call made from there is covered by the rules in the header.
    for (;;) {
        if (!m_port->isOpen() || m_gone || !(m_line == line))
            break; // closed, gone or set anew from inside the wait: nothing left to wait for
        lineHandedOver(false); // on the line from now: what left the port's buffer meanwhile
        const auto now = Clock::now();
        if (m_writes != writes) { // written from inside the wait: those bytes go out as well
            writes = m_writes;
            giveUpAt = std::max(giveUpAt, giveUpFrom(now));
            givenUp = false;
        }
        const qint64 held = givenUp ? 0 : heldBytes();
        const auto lineFree = m_lineFreeAt + kLineMargin;
        if (held == 0 && now >= lineFree)
            break;
        // Only what is still held at the bound is given up: bytes that left before it still have
        // their time on the line, and the wait stays bounded, as nothing leaves after it.
        if (held > 0 && now >= giveUpAt) {
            qCWarning(lcPort) << m_openedPath << "did not send its last" << held
                              << "bytes in time; they are discarded";
            m_port->clear(QSerialPort::Output);
            m_port->clearError();
            m_portHeld = 0; // thrown away, not on the line
            givenUp = true;
            continue;
        }
        const auto next = held > 0 ? std::min(giveUpAt, now + kDrainLook) : lineFree;
        // Without events while the object goes, and when no event loop may run (no
        // application, or it is quitting).
        bool slept = false;
        if (!m_dying && QCoreApplication::instance()) {
            const auto pause = std::chrono::ceil<std::chrono::milliseconds>(next - now);
            look.start(int(qMax<qint64>(1, pause.count())));
            m_drainWait = &sleeper;
            slept = sleeper.exec(QEventLoop::ExcludeUserInputEvents) == 0;
            if (!alive)
                return false;
            m_drainWait = nullptr;
            look.stop();
        }
        if (!slept)
            std::this_thread::sleep_until(next);
    }
    lineCleared();
    m_draining = false;
    return true;
}

void MSComm::closeKeepingSettings()
{
    // QSerialPort puts back the terminal settings it found at opening as it closes. A second
    // handle keeps the device open past that, so the settings in force go back on before the
    // device is let go.
    const int fd = m_port->handle();
    termios current{};
    int keep = -1;
    if (fd >= 0 && ::tcgetattr(fd, &current) == 0)
        keep = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    m_port->close();
    if (keep >= 0) {
        ::tcsetattr(keep, TCSANOW, &current);
        ::close(keep);
    }
}

bool MSComm::checkGone()
{
    if (m_gone)
        return true;
    if (!m_port->isOpen())
        return false;
    // The device itself is asked, and its answer is the reason. QSerialPort's error is no
    // evidence: a read that finds the terminal hung up gets no bytes and no error of its own,
    // and QSerialPort then reports what an earlier call left behind (often "Resource
    // temporarily unavailable"), which is also what a far end that takes nothing for a while
    // makes a write say.
    // A terminal that has been hung up answers every request with an error.
    int reason = 0;
    termios settings{};
    const int fd = m_port->handle();
    if (fd >= 0 && ::tcgetattr(fd, &settings) != 0 && (errno == EIO || errno == ENXIO || errno == ENODEV))
        reason = errno;
    if (reason == 0 && !m_openedPath.isEmpty() && !QFileInfo::exists(m_openedPath))
        reason = ENODEV;
    if (reason == 0)
        return false;
    markGone(SystemErrorText(reason));
    return true;
}

void MSComm::markGone(const QString &text)
{
    if (m_gone)
        return;
    m_gone = true;
    m_goneText = text.isEmpty() ? SystemErrorText(EIO) : text;
    lineCleared();
    emit deviceGone();
}

void MSComm::releaseGoneDevice()
{
    if (!m_gone || !m_port->isOpen())
        return;
    m_port->close();
    m_port->clearError();
}

CommError MSComm::goneError() const
{
    return makeError(CommError::DeviceGone, m_goneText);
}

void MSComm::forgetWentAway()
{
    if (!PortOpen())
        m_goneText.clear();
}

CommError MSComm::setPortOpen(bool open)
{
    if (!open) {
        if (m_port->isOpen() && !m_gone && !letLastBytesGo())
            return CommError::ok(); // the port object was deleted while it waited
        if (m_gone) {
            releaseGoneDevice();
            m_gone = false; // its reason stays until the next opening
        } else if (m_port->isOpen()) {
            closeKeepingSettings();
        }
        lineCleared();
        m_openedPath.clear();
        m_port->clearError();
        return CommError::ok();
    }
    if (PortOpen())
        return makeError(CommError::PortAlreadyOpen, QString::fromLatin1(kAlreadyOpenText));
    m_goneText.clear(); // a device that went before this opening is no news any more

    const QString configured = devicePath();
    if (configured.isEmpty())
        return makeError(CommError::OpenFailed, QString::fromLatin1(kInvalidPortText));
    // A link (a /dev/serial/by-id name, a pseudo-terminal's link) opens its target, so that
    // the port's lock file names the real device whichever name was used.
    QString path = configured;
    if (path.startsWith(QLatin1Char('/'))) {
        const QString target = QFileInfo(path).canonicalFilePath();
        if (!target.isEmpty())
            path = target;
    }

    m_port->clearError();
    m_port->setPortName(path);
    // Opened at the speed in 8N1, then given the character format: a device that cannot carry
    // the format (a pseudo-terminal, whose settings the last close left in place) would refuse
    // the opening itself.
    LineSettings plain = m_line;
    plain.parity = 'n';
    plain.dataBits = 8;
    plain.stopTenths = m_line.stopTenths == 20 ? 20 : 10;
    applyLine(plain);
    m_port->clearError();
    bool opened = m_port->open(QIODevice::ReadWrite);
    // The device's lock file may still be held for a moment by a program that has just let the
    // device go (it closes the device before it removes its lock): a few short tries more.
    for (int retry = 0; !opened && m_port->error() == QSerialPort::PermissionError && retry < 5; ++retry) {
        QThread::msleep(20);
        m_port->clearError();
        opened = m_port->open(QIODevice::ReadWrite);
    }
    if (!opened) {
        QString text = m_port->errorString();
        if (text.isEmpty())
            text = QStringLiteral("Open failed");
        // Refused by the device's own permissions (not by another program's lock on it).
        const QByteArray native = QFile::encodeName(path);
        const bool permission = m_port->error() == QSerialPort::PermissionError &&
                                ::faccessat(AT_FDCWD, native.constData(), R_OK | W_OK, AT_EACCESS) != 0 &&
                                errno == EACCES;
        m_port->clearError();
        return makeError(CommError::OpenFailed, openFailureText(configured, text, permission));
    }
    // A bare name ("ttyS0") is a device in /dev, as QSerialPort takes it.
    m_openedPath = path.startsWith(QLatin1Char('/')) ? path : QStringLiteral("/dev/") + path;
    applyLine(m_line);
    // Control lines up as a Windows port has them; a pseudo-terminal refuses both calls,
    // which is no error here.
    m_port->setDataTerminalReady(true);
    m_port->setRequestToSend(true);
    m_port->clearError();
    return CommError::ok();
}

void MSComm::pullPending()
{
    if (!m_port->isOpen())
        return;
    m_pulling = true;
    // Each round moves what the operating system holds into the port's buffer; bounded so
    // that a far end that keeps sending cannot hold the caller.
    for (int round = 0; round < 64; ++round) {
        const qint64 before = m_port->bytesAvailable();
        if (!m_port->waitForReadyRead(0))
            break;
        if (m_port->bytesAvailable() == before)
            break;
    }
    m_pulling = false;
    // "Nothing to read" ends waitForReadyRead with a time-out error; it is not one here.
    if (m_port->error() == QSerialPort::TimeoutError)
        m_port->clearError();
}

int MSComm::InBufferCount()
{
    if (m_gone || !m_port->isOpen())
        return 0;
    pullPending();
    const qint64 n = m_port->bytesAvailable();
    return n > INT_MAX ? INT_MAX : int(n);
}

CommError MSComm::DiscardInput()
{
    if (m_gone) // nothing comes from a device that is gone
        return CommError::ok();
    if (!m_port->isOpen())
        return notOpenError();
    m_port->clearError();
    // Drops the port's own buffer and what the operating system holds.
    m_port->clear(QSerialPort::Input);
    m_port->clearError();
    return CommError::ok();
}

CommError MSComm::Output(const QByteArray &bytes)
{
    if (m_gone)
        return goneError();
    if (!m_port->isOpen())
        return notOpenError();
    if (bytes.isEmpty())
        return CommError::ok();
    m_port->clearError();

    // The device gone: told as such, and let go at once.
    const auto failed = [this](const QString &text) {
        if (checkGone()) {
            releaseGoneDevice();
            return goneError();
        }
        m_port->clear(QSerialPort::Output);
        m_port->clearError();
        lineCleared(); // what was held is thrown away
        return makeError(CommError::WriteFailed, text);
    };

    lineHandedOver(false); // passed on from the event loop since the last look
    // Asked before the bytes go: the far end's word covers what went before them.
    const bool takenIn = m_lineBusy && lineTakenInHook() && lineTakenInHook()(m_port->handle());
    // What the port's own buffer still holds of an earlier write that timed out goes first.
    const qint64 written = m_port->write(bytes);
    if (written != bytes.size())
        return failed(m_port->errorString());
    m_portHeld += written;
    ++m_writes;

    // Hand every byte to the operating system before returning: a few seconds plus the time
    // the bytes take on the line in any format.
    const auto onLine = lineTime(bytes.size(), kMostTenthsPerCharacter);
    QDeadlineTimer deadline(writeStallWait() +
                            std::chrono::ceil<std::chrono::milliseconds>(onLine));
    while (m_port->bytesToWrite() > 0) {
        if (m_port->waitForBytesWritten(int(qMax<qint64>(1, deadline.remainingTime()))))
            continue;
        if (m_port->bytesToWrite() == 0)
            break;
        const QSerialPort::SerialPortError err = m_port->error();
        if (err != QSerialPort::NoError && err != QSerialPort::TimeoutError)
            return failed(m_port->errorString()); // the line is broken: what is left is dropped
        if (deadline.hasExpired()) {
            m_port->clearError();
            // What the device did take is on the line all the same; the rest stays held.
            lineHandedOver(takenIn);
            return makeError(CommError::WriteFailed, QStringLiteral("Write timed out"));
        }
    }
    m_port->clearError();
    lineHandedOver(takenIn);
    return CommError::ok();
}

QByteArray MSComm::Input(CommError *error)
{
    if (error)
        *error = CommError::ok();
    if (m_gone) {
        if (error)
            *error = goneError();
        return QByteArray();
    }
    if (!m_port->isOpen()) {
        if (error)
            *error = notOpenError();
        return QByteArray();
    }
    pullPending();
    const QSerialPort::SerialPortError err = m_port->error();
    QByteArray data = m_port->readAll();
    if (m_gone || (err != QSerialPort::NoError && err != QSerialPort::TimeoutError)) {
        // What arrived before the device went away is still handed over.
        if (checkGone()) {
            releaseGoneDevice();
            if (error && data.isEmpty())
                *error = goneError();
            return data;
        }
        if (error && data.isEmpty())
            *error = makeError(CommError::ReadFailed, m_port->errorString());
    }
    m_port->clearError();
    return data;
}

QString MSComm::devicePath() const
{
    return ComDevicePath(m_commPort);
}

// ---------------------------------------------------------------------------------------------
// COM map

QString ComDevicePath(int number)
{
    if (number < 1 || number > 8)
        return QString();
    const auto it = comOverrides().constFind(number);
    if (it != comOverrides().constEnd())
        return it.value();
    const QString stored =
        GetSetting(QStringLiteral("Ports"), QStringLiteral("COM%1").arg(number)).trimmed();
    if (!stored.isEmpty())
        return stored;
    return DefaultComDevicePath(number);
}

QString DefaultComDevicePath(int number)
{
    if (number < 1 || number > 8)
        return QString();
    if (number <= 4)
        return QStringLiteral("/dev/ttyS%1").arg(number - 1);
    return QStringLiteral("/dev/ttyUSB%1").arg(number - 5);
}

void SetOutputQueueHook(std::function<qint64(int fd)> hook)
{
    outputQueueHook() = std::move(hook);
}

void SetLineTakenInHook(std::function<bool(int fd)> hook)
{
    lineTakenInHook() = std::move(hook);
}

void SetWriteStallWait(std::chrono::milliseconds wait)
{
    writeStallWait() = wait > std::chrono::milliseconds::zero() ? wait : kWriteStall;
}

void SetComDevicePathOverride(int number, const QString &path)
{
    if (path.isEmpty())
        comOverrides().remove(number);
    else
        comOverrides().insert(number, path);
}

QString ComDevicePathOverride(int number)
{
    return comOverrides().value(number);
}
