#include "platform/settingsstore.h"

#include "platform/files.h"
#include "platform/msgbox.h"

#include <QDataStream>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QMap>
#include <QPoint>
#include <QRect>
#include <QSettings>
#include <QSize>
#include <QStandardPaths>
#include <QStringEncoder>
#include <QStringList>
#include <QVariant>

#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <utility>

namespace {

QString &folderOverride()
{
    static QString folder;
    return folder;
}

// Another program's save takes a few milliseconds; a lock held for longer than this belongs to
// a program that is stuck, and the operator is told rather than kept waiting.
std::chrono::milliseconds &lockWait()
{
    static std::chrono::milliseconds wait{5000};
    return wait;
}

// One file per application name; characters that would make folders are replaced.
QString fileNameFor(const QString &appName)
{
    QString name = appName.trimmed();
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    name.replace(QLatin1Char('\\'), QLatin1Char('_'));
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        name = QStringLiteral("_");
    return name + QLatin1String(".ini");
}

QString keyFor(const QString &section, const QString &key)
{
    if (section.isEmpty())
        return key;
    return section + QLatin1Char('/') + key;
}

// The store writes its files itself, whole, through the checked replace (QSettings' own writing
// can leave a file cut short without a word when the disk fills or a size limit is met), in the
// layout QSettings writes: the keys outside any section under "[General]", then one section per
// first part of the key, sections and keys in order, names and texts escaped as QSettings
// escapes them, so that QSettings reads every value back as it was.

void appendName(QByteArray &out, const QString &name)
{
    static const char hex[] = "0123456789ABCDEF";
    for (const QChar c : name) {
        const char16_t ch = c.unicode();
        if (ch == u'/') {
            out += '\\';
        } else if ((ch >= u'a' && ch <= u'z') || (ch >= u'A' && ch <= u'Z') ||
                   (ch >= u'0' && ch <= u'9') || ch == u'_' || ch == u'-' || ch == u'.') {
            out += char(ch);
        } else if (ch <= 0xFF) {
            out += '%';
            out += hex[ch >> 4];
            out += hex[ch & 0xF];
        } else {
            out += "%U";
            for (int shift = 12; shift >= 0; shift -= 4)
                out += hex[(ch >> shift) & 0xF];
        }
    }
}

bool isHexDigit(char16_t ch)
{
    return (ch >= u'0' && ch <= u'9') || (ch >= u'a' && ch <= u'f') || (ch >= u'A' && ch <= u'F');
}

void appendText(QByteArray &out, const QString &text)
{
    // Bytes ("@ByteArray(...)", "@Variant(...)") past ASCII go as \x escapes, text as UTF-8.
    const bool bytes = text.startsWith(QLatin1String("@ByteArray(")) ||
                       text.startsWith(QLatin1String("@Variant("));
    const qsizetype start = out.size();
    bool quoted = false;
    bool digitWouldJoin = false; // a hex digit after a \x or \0 escape would be read as part of it
    QStringEncoder toUtf8(QStringEncoder::Utf8);
    for (const QChar c : text) {
        const char16_t ch = c.unicode();
        quoted = quoted || ch == u';' || ch == u',' || ch == u'=';
        if (digitWouldJoin && isHexDigit(ch)) {
            out += "\\x" + QByteArray::number(ch, 16);
            continue;
        }
        digitWouldJoin = false;
        switch (ch) {
        case u'\0': out += "\\0"; digitWouldJoin = true; break;
        case u'\a': out += "\\a"; break;
        case u'\b': out += "\\b"; break;
        case u'\f': out += "\\f"; break;
        case u'\n': out += "\\n"; break;
        case u'\r': out += "\\r"; break;
        case u'\t': out += "\\t"; break;
        case u'\v': out += "\\v"; break;
        case u'"':
        case u'\\':
            out += '\\';
            out += char(ch);
            break;
        default:
            if (ch <= 0x1F || (ch >= 0x7F && bytes)) {
                out += "\\x" + QByteArray::number(ch, 16);
                digitWouldJoin = true;
            } else if (bytes) {
                out += char(ch);
            } else {
                out += QByteArray(toUtf8(QStringView(&c, 1)));
            }
        }
    }
    if (quoted || (out.size() > start && (out.at(start) == ' ' || out.back() == ' '))) {
        out.insert(start, '"');
        out += '"';
    }
}

// A single value as QSettings puts it in text: a text (a leading '@' doubled, one holding NUL
// wrapped), bytes, nothing, or QSettings' form of any other kind of value (a hand-edited file
// may hold them).
QString textOf(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::UnknownType:
        return QStringLiteral("@Invalid()");
    case QMetaType::QString: {
        const QString text = value.toString();
        if (text.contains(QChar::Null))
            return QStringLiteral("@String(") + text + QLatin1Char(')');
        return text.startsWith(QLatin1Char('@')) ? QLatin1Char('@') + text : text;
    }
    case QMetaType::QByteArray:
        return QStringLiteral("@ByteArray(") + QString::fromLatin1(value.toByteArray()) +
               QLatin1Char(')');
    case QMetaType::QRect: {
        const QRect r = value.toRect();
        return QStringLiteral("@Rect(%1 %2 %3 %4)")
            .arg(r.x())
            .arg(r.y())
            .arg(r.width())
            .arg(r.height());
    }
    case QMetaType::QSize: {
        const QSize size = value.toSize();
        return QStringLiteral("@Size(%1 %2)").arg(size.width()).arg(size.height());
    }
    case QMetaType::QPoint:
        return QStringLiteral("@Point(%1 %2)").arg(value.toPoint().x()).arg(value.toPoint().y());
    default: {
        QByteArray data;
        QDataStream stream(&data, QIODevice::WriteOnly);
        stream.setVersion(QDataStream::Qt_4_0);
        stream << value;
        return QStringLiteral("@Variant(") + QString::fromLatin1(data) + QLatin1Char(')');
    }
    }
}

void appendValue(QByteArray &out, const QVariant &value)
{
    if (value.typeId() != QMetaType::QStringList) {
        appendText(out, textOf(value));
        return;
    }
    const QStringList list = value.toStringList();
    if (list.isEmpty())
        out += "@Invalid()";
    for (qsizetype i = 0; i < list.size(); ++i) {
        if (i > 0)
            out += ", ";
        appendText(out, textOf(list[i]));
    }
}

QByteArray iniFileOf(const QMap<QString, QVariant> &values)
{
    QMap<QString, QMap<QString, QVariant>> sections; // "": the keys outside any section
    for (auto value = values.cbegin(); value != values.cend(); ++value) {
        const qsizetype slash = value.key().indexOf(QLatin1Char('/'));
        sections[slash < 0 ? QString() : value.key().left(slash)].insert(value.key().mid(slash + 1),
                                                                          value.value());
    }
    QByteArray out;
    for (auto section = sections.cbegin(); section != sections.cend(); ++section) {
        QByteArray name;
        appendName(name, section.key());
        if (name.isEmpty())
            name = "General";
        else if (name.compare("general", Qt::CaseInsensitive) == 0)
            name = "%General"; // a section of that name, not the keys outside any section
        if (!out.isEmpty())
            out += '\n';
        out += '[' + name + "]\n";
        for (auto value = section->cbegin(); value != section->cend(); ++value) {
            appendName(out, value.key());
            out += '=';
            appendValue(out, value.value());
            out += '\n';
        }
    }
    return out;
}

// QSettings keeps what it read of a file and reads it again only when its size or its time of
// change (to the millisecond) is not what it saw. A file written within the millisecond of the
// one it replaced gets the next millisecond, so that no reader keeps the old values.
void markAsChanged(const QString &path, const QDateTime &previous)
{
    if (!previous.isValid())
        return;
    const qint64 before = previous.toMSecsSinceEpoch();
    if (QFileInfo(path).lastModified().toMSecsSinceEpoch() > before)
        return;
    const qint64 later = before + 1;
    const timespec times[2] = {{0, UTIME_OMIT}, {later / 1000, (later % 1000) * 1000000}};
    ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0);
}

// Puts the value in the file, all or nothing, under the lock (see storeValue). A file that is
// there but cannot be read is not replaced (its other values would be lost), nor one whose
// values would make it larger than the program reads back. Nothing is written when the file
// holds the value already.
bool storeValueLocked(const QString &path, const QString &key, const QString &value, QString *error)
{
    const QFileInfo file(path);
    const QDateTime previous = file.lastModified();
    QByteArray before;
    if ((file.exists() || file.isSymLink()) && !ReadWholeFile(path, &before, error))
        return false;
    QMap<QString, QVariant> values;
    {
        const QSettings store(path, QSettings::IniFormat);
        for (const QString &name : store.allKeys())
            values.insert(name, store.value(name));
    }
    values.insert(key, value);
    const QByteArray after = iniFileOf(values);
    if (after == before)
        return true;
    if (after.size() > MaxFileBytes) {
        *error = QStringLiteral("The preferences would pass 1 MB, more than the program can read back");
        return false;
    }
    if (!ReplaceWholeFile(path, after, error))
        return false;
    markAsChanged(path, previous);
    return true;
}

// Each read-and-rewrite holds "<file>.lock", the lock QSettings takes around its own writes, so
// that two programs saving at once (two copies of this one, or one writing through QSettings)
// never put back a file without the other's latest value. The wait for it is bounded; a lock
// whose program has ended (killed, crashed) is taken over at once, which QLockFile does when
// the process it names is gone. A lock file that cannot be made at all (no right to write in
// the folder, a full disk) does not stop the save: what stops the lock file stops the rewrite
// too, and that reports the system's own words.
bool storeValue(const QString &path, const QString &key, const QString &value, QString *error)
{
    // The first save makes the folder; one that cannot be made is reported by the write.
    QDir().mkpath(QFileInfo(path).absolutePath());
    QLockFile lock(path + QLatin1String(".lock"));
    const QDeadlineTimer deadline(lockWait());
    while (!lock.tryLock(0) && lock.error() == QLockFile::LockFailedError) {
        if (deadline.hasExpired()) {
            *error = QStringLiteral("Another program is saving these preferences; try again");
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return storeValueLocked(path, key, value, error);
}

bool &failureShown()
{
    static bool shown = false;
    return shown;
}

void sayNotSaved(const QString &path, const QString &error)
{
    if (std::exchange(failureShown(), true))
        return;
    MsgBox(QStringLiteral("The preferences could not be saved to ") + path + QStringLiteral(":\r") +
               error +
               QStringLiteral("\rThe file keeps the preferences it held before. Later failures to "
                              "save preferences in this session are not reported."),
           MsgButtons::OK, MsgIcon::Exclamation, QStringLiteral("Preferences Not Saved"));
}

} // namespace

QString SettingsStoreFolder()
{
    if (!folderOverride().isEmpty())
        return folderOverride();
    // Looked up on every use, so XDG_CONFIG_HOME (and QStandardPaths' test mode) set at any
    // time are honoured.
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
}

void SetSettingsStoreFolder(const QString &folder)
{
    folderOverride() = folder;
}

QString SettingsStoreFile(const QString &appName)
{
    return SettingsStoreFolder() + QLatin1String("/pagersetup/") + fileNameFor(appName);
}

QString GetSetting(const QString &appName, const QString &section, const QString &key,
                   const QString &defaultValue)
{
    QSettings store(SettingsStoreFile(appName), QSettings::IniFormat);
    const QVariant value = store.value(keyFor(section, key));
    if (!value.isValid())
        return defaultValue;
    // A hand-edited value with unquoted commas comes back as a list.
    if (value.userType() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(','));
    return value.toString();
}

bool SaveSetting(const QString &appName, const QString &section, const QString &key,
                 const QString &value)
{
    const QString path = SettingsStoreFile(appName);
    QString error;
    if (storeValue(path, keyFor(section, key), value, &error))
        return true;
    sayNotSaved(path, error);
    return false;
}

bool HasSetting(const QString &appName, const QString &section, const QString &key)
{
    QSettings store(SettingsStoreFile(appName), QSettings::IniFormat);
    return store.contains(keyFor(section, key));
}

QString GetSetting(const QString &section, const QString &key, const QString &defaultValue)
{
    return GetSetting(AppTitle(), section, key, defaultValue);
}

bool SaveSetting(const QString &section, const QString &key, const QString &value)
{
    return SaveSetting(AppTitle(), section, key, value);
}

void ForgetSettingsStoreFailure()
{
    failureShown() = false;
}

std::chrono::milliseconds SettingsStoreLockWait()
{
    return lockWait();
}

void SetSettingsStoreLockWait(std::chrono::milliseconds wait)
{
    lockWait() = wait;
}
