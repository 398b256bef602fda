#include "testconsole/archive.h"

#include "platform/files.h"
#include "platform/msgbox.h"
#include "platform/pointer.h"

#include <QDir>
#include <QFileInfo>

namespace {

QByteArray withoutLineBreaks(QByteArray text)
{
    text.removeIf([](char c) { return c == '\r' || c == '\n'; });
    return text;
}

const QString ArchiveTitle = QStringLiteral("Message Archive");

} // namespace

MessageArchive::MessageArchive(const QString &folder) : m_folder(folder) {}

QString MessageArchive::Path() const
{
    return QDir(m_folder).filePath(FileName());
}

void MessageArchive::Load()
{
    m_entries.clear();
    m_readError.clear();
    const QFileInfo file(Path());
    if (!file.exists() && !file.isSymLink())
        return; // not made yet: the first Add makes it
    QByteArray content;
    if (!ReadWholeFile(Path(), &content, &m_readError, MaxArchiveBytes)) {
        // Kept as it is: a rewrite would put the empty list in place of every message it holds.
        if (m_readError.isEmpty())
            m_readError = QStringLiteral("The file could not be read");
        return;
    }
    qsizetype start = 0;
    for (qsizetype i = 0; i < content.size(); ++i) {
        if (content[i] != '\r' && content[i] != '\n')
            continue;
        m_entries.append(content.mid(start, i - start));
        if (content[i] == '\r' && i + 1 < content.size() && content[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < content.size())
        m_entries.append(content.mid(start));
}

void MessageArchive::SayUnreadable() const
{
    MsgBox(QStringLiteral("The message archive could not be read:\r") + m_readError +
               QStringLiteral("\rIt is kept as it is; messages cannot be added, replaced or deleted "
                              "in this session."),
           MsgButtons::OK, MsgIcon::Exclamation, ArchiveTitle);
}

bool MessageArchive::refuseChange() const
{
    if (m_readError.isEmpty())
        return false;
    MsgBox(QStringLiteral("The message archive could not be read when this window opened:\r") + m_readError +
               QStringLiteral("\rNothing was changed."),
           MsgButtons::OK, MsgIcon::Exclamation, ArchiveTitle);
    SetDefaultPointer();
    return true;
}

bool MessageArchive::refuseFull(const QList<QByteArray> &entries)
{
    qint64 size = 0;
    for (const QByteArray &entry : entries)
        size += entry.size() + 2; // and CR LF
    if (size <= MaxArchiveBytes)
        return false;
    MsgBox(QStringLiteral("The message archive is full: with this message it would pass its limit "
                          "of %1 MB.\rDelete or shorten messages first. Nothing was changed.")
               .arg(MaxArchiveBytes / (1024 * 1024)),
           MsgButtons::OK, MsgIcon::Exclamation, ArchiveTitle);
    SetDefaultPointer();
    return true;
}

MessageArchive::Change MessageArchive::Add(const QByteArray &message)
{
    if (refuseChange())
        return {};
    const QByteArray entry = withoutLineBreaks(message);
    if (entry.isEmpty() || m_entries.contains(entry))
        return {};
    QList<QByteArray> entries = m_entries;
    entries.append(entry);
    if (entries.size() >= MaxEntries)
        entries.removeFirst();
    if (refuseFull(entries))
        return {};
    m_entries = entries;
    Change change{.changed = true};
    if (rewrite())
        change.select = int(m_entries.size()) - 1;
    return change;
}

MessageArchive::Change MessageArchive::Delete(int selected)
{
    if (refuseChange())
        return {};
    if (selected < 0 || selected >= m_entries.size())
        return {};
    if (MsgBox(QStringLiteral("Are you sure you want to delete the selected item?"), MsgButtons::YesNo,
               MsgIcon::None, QStringLiteral("Verify")) != MsgAnswer::Yes)
        return {};
    m_entries.removeAt(selected);
    rewrite();
    return {.changed = true};
}

MessageArchive::Change MessageArchive::Replace(int selected, const QByteArray &message)
{
    if (refuseChange())
        return {};
    const QByteArray entry = withoutLineBreaks(message);
    if (selected < 0 || selected >= m_entries.size() || entry.isEmpty() || m_entries.contains(entry))
        return {};
    QList<QByteArray> entries = m_entries;
    entries[selected] = entry;
    if (entries.size() >= MaxEntries)
        entries.removeLast();
    if (refuseFull(entries))
        return {};
    if (MsgBox(QStringLiteral("Are You Sure You Want to Replace the Selected Item?"), MsgButtons::YesNo,
               MsgIcon::None, QStringLiteral("Verify")) != MsgAnswer::Yes)
        return {};
    m_entries = entries;
    rewrite();
    Change change{.changed = true, .showSelected = true};
    if (selected < m_entries.size())
        change.select = selected;
    else
        change.showSelected = false;
    return change;
}

bool MessageArchive::rewrite()
{
    QByteArray content;
    for (const QByteArray &entry : m_entries)
        content += entry + "\r\n";
    QString error;
    // The first write makes the user's data folder; a folder that cannot be made is reported
    // by the write.
    QDir().mkpath(m_folder);
    if (ReplaceWholeFile(Path(), content, &error))
        return true;
    MsgBox(error, MsgButtons::OK, MsgIcon::Exclamation);
    SetDefaultPointer();
    return false;
}
