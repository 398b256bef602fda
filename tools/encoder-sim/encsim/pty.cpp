#include "encsim/pty.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace encsim {

namespace {

std::string sysError(const char *what)
{
    return std::string(what) + ": " + std::strerror(errno);
}

} // namespace

int baudFromSpeed(unsigned speed)
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
    default: return 0;
    }
}

Pty::~Pty()
{
    close();
}

bool Pty::open(std::string *error)
{
    close();
    const int fd = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (error)
            *error = sysError("posix_openpt");
        return false;
    }
    char name[128];
    if (::grantpt(fd) != 0 || ::unlockpt(fd) != 0 || ::ptsname_r(fd, name, sizeof name) != 0) {
        if (error)
            *error = sysError("pty set-up");
        ::close(fd);
        return false;
    }
    // Raw mode before the PC ever sees the slave: otherwise CRs become LFs, lines are held
    // until LF and the slave echoes the encoder's own output back to it.
    termios t{};
    if (::tcgetattr(fd, &t) == 0) {
        const speed_t speed = ::cfgetospeed(&t);
        ::cfmakeraw(&t);
        t.c_cflag |= CLOCAL | CREAD;
        t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
        ::cfsetospeed(&t, speed);
        ::cfsetispeed(&t, speed);
        ::tcsetattr(fd, TCSANOW, &t);
    }
    // Open and close the slave once: from then on the master reports POLLHUP exactly while
    // no program has the slave open, and bytes written meanwhile are discarded as on a real
    // line. The slave fd is not kept.
    const int slave = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (slave >= 0)
        ::close(slave);
    m_fd = fd;
    m_slave = name;
    return true;
}

void Pty::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

std::optional<LineSettings> Pty::sampleLine() const
{
    if (m_fd < 0)
        return std::nullopt;
    termios t{};
    if (::tcgetattr(m_fd, &t) != 0)
        return std::nullopt;
    LineSettings s;
    s.baud = baudFromSpeed(static_cast<unsigned>(::cfgetospeed(&t)));
    return s;
}

bool Pty::link(const std::string &linkPath, const std::string &target, std::string *error)
{
    struct stat st {};
    if (::lstat(linkPath.c_str(), &st) == 0 && !S_ISLNK(st.st_mode)) {
        if (error)
            *error = linkPath + " exists and is not a symbolic link";
        return false;
    }
    const std::string tmp = linkPath + ".tmp" + std::to_string(::getpid());
    ::unlink(tmp.c_str());
    if (::symlink(target.c_str(), tmp.c_str()) != 0) {
        if (error)
            *error = sysError(("symlink " + linkPath).c_str());
        return false;
    }
    if (::rename(tmp.c_str(), linkPath.c_str()) != 0) {
        if (error)
            *error = sysError(("rename to " + linkPath).c_str());
        ::unlink(tmp.c_str());
        return false;
    }
    return true;
}

void Pty::unlinkIfPointsTo(const std::string &linkPath, const std::string &target)
{
    char buf[512];
    const ssize_t n = ::readlink(linkPath.c_str(), buf, sizeof buf - 1);
    if (n > 0 && std::string(buf, static_cast<std::size_t>(n)) == target)
        ::unlink(linkPath.c_str());
}

} // namespace encsim
