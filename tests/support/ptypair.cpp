#include "support/ptypair.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

int SpeedToBaud(speed_t speed)
{
    switch (speed) {
    case B50: return 50;
    case B75: return 75;
    case B110: return 110;
    case B134: return 134;
    case B150: return 150;
    case B200: return 200;
    case B300: return 300;
    case B600: return 600;
    case B1200: return 1200;
    case B1800: return 1800;
    case B2400: return 2400;
    case B4800: return 4800;
    case B9600: return 9600;
    case B19200: return 19200;
    case B38400: return 38400;
    case B57600: return 57600;
    case B115200: return 115200;
    case B230400: return 230400;
    case B460800: return 460800;
    case B921600: return 921600;
    default: return 0;
    }
}

PtyPair::PtyPair()
{
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master < 0) {
        m_error = QStringLiteral("posix_openpt: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        return;
    }
    if (::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) {
        m_error = QStringLiteral("grantpt/unlockpt: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        closeMaster();
        return;
    }
    char name[128] = {};
    if (::ptsname_r(m_master, name, sizeof name) != 0) {
        m_error = QStringLiteral("ptsname_r: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        closeMaster();
        return;
    }

    // Raw mode on the slave's settings (termios calls on the master act on the slave), keeping
    // the speed; no software flow control.
    termios tio {};
    if (::tcgetattr(m_master, &tio) == 0) {
        const speed_t speed = ::cfgetospeed(&tio);
        ::cfmakeraw(&tio);
        tio.c_cflag |= CLOCAL | CREAD;
        tio.c_iflag &= ~(IXON | IXOFF | IXANY);
        tio.c_cc[VMIN] = 1;
        tio.c_cc[VTIME] = 0;
        ::cfsetispeed(&tio, speed);
        ::cfsetospeed(&tio, speed);
        ::tcsetattr(m_master, TCSANOW, &tio);
    }
    const int flags = ::fcntl(m_master, F_GETFL);
    ::fcntl(m_master, F_SETFL, flags | O_NONBLOCK);

    m_slavePath = QString::fromLocal8Bit(name);
    m_dir = std::make_unique<QTemporaryDir>();
    if (m_dir->isValid()) {
        const QString link = m_dir->filePath(QStringLiteral("ttyLINK"));
        if (QFile::link(m_slavePath, link))
            m_linkPath = link;
    }
    if (m_linkPath.isEmpty())
        m_error = QStringLiteral("could not make a link to %1").arg(m_slavePath);
}

PtyPair::~PtyPair()
{
    closeMaster();
}

void PtyPair::closeMaster()
{
    // The device's name goes first, as a pulled adapter's does: once the master is closed the
    // system may give its number to another pseudo-terminal, and the link must not lead there.
    if (!m_linkPath.isEmpty())
        QFile::remove(m_linkPath);
    if (m_master >= 0) {
        ::close(m_master);
        m_master = -1;
    }
}

bool PtyPair::write(const QByteArray &bytes)
{
    if (m_master < 0)
        return false;
    qsizetype done = 0;
    QDeadlineTimer deadline(5000);
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_master, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN && !deadline.hasExpired()) {
            pollfd pfd {m_master, POLLOUT, 0};
            ::poll(&pfd, 1, 10);
            continue;
        }
        return false;
    }
    return true;
}

QByteArray PtyPair::read(int timeoutMs, int atLeast)
{
    QByteArray out;
    if (m_master < 0)
        return out;
    const int want = atLeast <= 0 ? 1 : atLeast;
    QDeadlineTimer deadline(qMax(0, timeoutMs));
    for (;;) {
        char buf[4096];
        const ssize_t n = ::read(m_master, buf, sizeof buf);
        if (n > 0) {
            out.append(buf, n);
            if (out.size() >= want)
                break;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        // EAGAIN: nothing yet; EIO: no slave open (nothing more until it opens again).
        if (deadline.hasExpired())
            break;
        pollfd pfd {m_master, POLLIN, 0};
        const int r = ::poll(&pfd, 1, int(qMin<qint64>(10, deadline.remainingTime())));
        if (r > 0 && !(pfd.revents & POLLIN))
            ::usleep(2000); // hung up (no slave): POLLHUP alone, do not spin
    }
    return out;
}

QByteArray PtyPair::readUntilQuiet(int quietMs, int timeoutMs)
{
    QByteArray out;
    QDeadlineTimer deadline(timeoutMs);
    QElapsedTimer quiet;
    quiet.start();
    while (!deadline.hasExpired()) {
        const QByteArray got = read(qMin<qint64>(quietMs, deadline.remainingTime()), 1);
        if (!got.isEmpty()) {
            out += got;
            quiet.restart();
        } else if (quiet.elapsed() >= quietMs) {
            break;
        }
    }
    return out;
}

termios PtyPair::slaveTermios() const
{
    termios tio {};
    if (m_master >= 0)
        ::tcgetattr(m_master, &tio);
    return tio;
}

int PtyPair::slaveBaud() const
{
    if (m_master < 0)
        return 0;
    const termios tio = slaveTermios();
    return SpeedToBaud(::cfgetospeed(&tio));
}

bool PtyPair::slaveTwoStopBits() const
{
    return (slaveTermios().c_cflag & CSTOPB) != 0;
}
