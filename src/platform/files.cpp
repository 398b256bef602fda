#include "platform/files.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString notRegular(const QString &path)
{
    return QStringLiteral("%1 is not a regular file").arg(QFileInfo(path).fileName());
}

QString tooLarge(const QString &path, qint64 maxBytes)
{
    return QStringLiteral("%1 is too large (more than %2 MB)")
        .arg(QFileInfo(path).fileName())
        .arg(double(maxBytes) / (1024 * 1024));
}

// Reads up to maxBytes + 1 bytes (one more than allowed tells a file that grew past the limit).
bool readUpTo(int fd, qint64 maxBytes, QByteArray *bytes, QString *error)
{
    bytes->clear();
    char buffer[64 * 1024];
    while (bytes->size() <= maxBytes) {
        const qint64 want = std::min<qint64>(qint64(sizeof buffer), maxBytes + 1 - bytes->size());
        const ssize_t got = ::read(fd, buffer, size_t(want));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            *error = SystemErrorText(errno);
            return false;
        }
        if (got == 0)
            break;
        bytes->append(buffer, qsizetype(got));
    }
    return true;
}

// The file object's description of its last failure, or the system's text for err when the
// object has none of its own.
QString describe(const QFileDevice &file, int err)
{
    const QString text = file.errorString();
    if (err != 0 && (text.isEmpty() || text == QLatin1String("Unknown error")))
        return SystemErrorText(err);
    return text;
}

} // namespace

QString SystemErrorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

int OpenRegularFile(const QString &path, OpenFor purpose, QString *error)
{
    const QByteArray name = QFile::encodeName(path);
    // A look first, so that what is not a regular file is refused in the same words whether
    // or not the opening itself would have gone through (a FIFO without a reader refuses a
    // writer with "No such device or address").
    struct stat st {};
    if (::stat(name.constData(), &st) == 0 && !S_ISREG(st.st_mode)) {
        *error = notRegular(path);
        return -1;
    }
    int flags = O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    flags |= purpose == OpenFor::Reading ? O_RDONLY : (O_WRONLY | O_APPEND | O_CREAT);
    int fd;
    do
        fd = ::open(name.constData(), flags, 0666);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        *error = SystemErrorText(errno);
        return -1;
    }
    // What the name leads to now (it may have changed since the look).
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        *error = notRegular(path);
        return -1;
    }
    const int status = ::fcntl(fd, F_GETFL);
    if (status != -1)
        ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK);
    return fd;
}

bool WriteToFile(int fd, const QByteArray &bytes, QString *error, qint64 *written)
{
    qint64 done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (error)
                *error = SystemErrorText(errno);
            if (written)
                *written = done;
            return false;
        }
        done += n;
    }
    if (written)
        *written = done;
    return true;
}

bool ReadWholeFile(const QString &path, QByteArray *content, QString *error, qint64 maxBytes)
{
    const int fd = OpenRegularFile(path, OpenFor::Reading, error);
    if (fd < 0)
        return false;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && st.st_size > maxBytes) {
        ::close(fd);
        *error = tooLarge(path, maxBytes);
        return false;
    }
    // The size can change between the look and the read: never more than the limit.
    QByteArray bytes;
    const bool read = readUpTo(fd, maxBytes, &bytes, error);
    ::close(fd);
    if (!read)
        return false;
    if (bytes.size() > maxBytes) {
        *error = tooLarge(path, maxBytes);
        return false;
    }
    *content = bytes;
    return true;
}

bool ReplaceWholeFile(const QString &path, const QByteArray &content, QString *error)
{
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) {
        *error = notRegular(path);
        return false;
    }
    QSaveFile file(path);
    file.setDirectWriteFallback(false);
    errno = 0;
    if (!file.open(QIODevice::WriteOnly)) {
        *error = describe(file, errno);
        return false;
    }
    // Each step is checked where it fails, with the system's text for that failure (the file
    // object's own description of a write that stopped half way is "Unknown error"): the write
    // hands the bytes to the system (where a full disk or a size limit refuses them), and the
    // sync makes the file system keep them, before the rename makes them the file.
    QString failure;
    if (!WriteToFile(file.handle(), content, &failure)) {
        *error = failure;
        file.cancelWriting();
        return false;
    }
    if (::fsync(file.handle()) != 0) {
        *error = SystemErrorText(errno);
        file.cancelWriting();
        return false;
    }
    errno = 0;
    if (!file.commit()) {
        *error = describe(file, errno);
        return false;
    }
    return true;
}
