#pragma once
// Disks that say no, for tests of the file roads: a file-size limit (writes past it fail with
// EFBIG, "File too large") and a tiny file system that is full (ENOSPC, "No space left on
// device"). Both last for the object's scope.
//
//   FileSizeLimit limit(64);             // SIGXFSZ ignored meanwhile, as the programs do
//   SmallFileSystem disk;                // a tmpfs of 64 KB; QSKIP when !disk.ok()
//   QVERIFY(disk.fill());

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>

class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        m_handler = std::signal(SIGXFSZ, SIG_IGN);
        m_ok = ::getrlimit(RLIMIT_FSIZE, &m_before) == 0;
        rlimit limited = m_before;
        limited.rlim_cur = bytes;
        m_ok = m_ok && ::setrlimit(RLIMIT_FSIZE, &limited) == 0;
    }
    ~FileSizeLimit()
    {
        if (m_ok)
            ::setrlimit(RLIMIT_FSIZE, &m_before);
        std::signal(SIGXFSZ, m_handler);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;
    bool ok() const { return m_ok; }

private:
    rlimit m_before{};
    void (*m_handler)(int) = SIG_DFL;
    bool m_ok = false;
};

class SmallFileSystem {
public:
    explicit SmallFileSystem(int kilobytes = 64)
    {
        const QByteArray options = "size=" + QByteArray::number(kilobytes) + "k,mode=0777";
        m_mounted = m_dir.isValid() &&
                    ::mount("tmpfs", QFile::encodeName(m_dir.path()).constData(), "tmpfs", 0,
                            options.constData()) == 0;
    }
    ~SmallFileSystem()
    {
        if (m_mounted)
            ::umount2(QFile::encodeName(m_dir.path()).constData(), MNT_DETACH);
    }
    SmallFileSystem(const SmallFileSystem &) = delete;
    SmallFileSystem &operator=(const SmallFileSystem &) = delete;

    // False without the right to mount (tests then skip).
    bool ok() const { return m_mounted; }
    QString path() const { return m_dir.path(); }
    QString filePath(const QString &name) const { return QDir(m_dir.path()).filePath(name); }

    // Takes every free byte into one file; true once a write met ENOSPC.
    bool fill() const
    {
        const int fd = ::open(QFile::encodeName(filePath(QStringLiteral("filler"))).constData(),
                              O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
        if (fd < 0)
            return false;
        const QByteArray block(4096, 'f');
        bool full = false;
        for (int i = 0; i < 100000; ++i) {
            const ssize_t n = ::write(fd, block.constData(), size_t(block.size()));
            if (n <= 0) {
                full = n < 0 && errno == ENOSPC;
                break;
            }
        }
        ::close(fd);
        return full;
    }

private:
    QTemporaryDir m_dir;
    bool m_mounted = false;
};
