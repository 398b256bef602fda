#include "platform/files.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace {

QString notRegular(const QString &path)
{
    return QStringLiteral("%1 is not a regular file").arg(QFileInfo(path).fileName());
}

} // namespace

bool ReadWholeFile(const QString &path, QByteArray *content, QString *error)
{
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) {
        *error = notRegular(path);
        return false;
    }
    if (info.size() > MaxFileBytes) {
        *error = QStringLiteral("%1 is too large for a pager database file").arg(info.fileName());
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return false;
    }
    // The size can change between the look and the read: never more than the limit.
    const QByteArray bytes = file.read(MaxFileBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        *error = file.errorString();
        return false;
    }
    if (bytes.size() > MaxFileBytes) {
        *error = QStringLiteral("%1 is too large for a pager database file").arg(info.fileName());
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
    if (!file.open(QIODevice::WriteOnly)) {
        *error = file.errorString();
        return false;
    }
    const auto fail = [&](const QString &text) {
        *error = text.isEmpty() ? QStringLiteral("The file could not be written") : text;
        file.cancelWriting();
        return false;
    };
    // Each step is checked on its own: the write only fills a buffer, the flush hands the bytes
    // to the system (where a full disk or a size limit refuses them), and the sync makes the
    // file system keep them, before the rename makes them the file.
    if (file.write(content) != content.size())
        return fail(file.errorString());
    if (!file.flush())
        return fail(file.errorString());
    if (::fsync(file.handle()) != 0)
        return fail(QString::fromLocal8Bit(std::strerror(errno)));
    if (!file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}
