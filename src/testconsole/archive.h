#pragma once
// The test message archive: the messages the operator keeps in the test console to pick instead
// of typing them again, stored in "messages.dat" in the user's data folder (one per brand),
// one message per line, each line ended by CR LF, in list order. The file is read when the
// console opens and written whole after every change, through the checked replace of whole
// files: a failed write leaves the old file as it was and says why, and the list keeps its
// change. An archive that is there but cannot be read (too large, unreadable, not a regular
// file) is never written in that session: the list starts empty, and Add, Replace and Delete
// say that it could not be read and change nothing. A message never holds CR or LF (they are
// taken out on Add and Replace), so each one comes back as one entry.
//
// The list is plain data; the console's list box shows Entries() and applies each Change:
//
//   const MessageArchive::Change c = archive.Add(message);
//   if (c.changed) { fill the list from Entries(); select c.select (none when -1), without
//                    the click's effect; if c.showSelected, run the click's effect }

#include <QByteArray>
#include <QList>
#include <QString>

class MessageArchive {
public:
    static constexpr int MaxEntries = 300; // Add keeps the list below this
    static QString FileName() { return QStringLiteral("messages.dat"); }

    // The archive kept in folder (the console: UserDataFolder()). Empty until Load.
    explicit MessageArchive(const QString &folder);

    QString Path() const;
    const QList<QByteArray> &Entries() const { return m_entries; }

    // Reads the file: each line one entry (a line may end in CR LF, CR or LF; a last line
    // without an ending is an entry too). A missing file leaves the list empty. A file that is
    // there but cannot be read whole leaves it empty too, and ReadError() says why.
    void Load();
    // Why the file could not be read at the last Load (the system's text, or that it is too
    // large or not a regular file); empty when it was read or is not there yet.
    const QString &ReadError() const { return m_readError; }
    // The box the console shows once at its opening when the file could not be read.
    void SayUnreadable() const;

    // What an operation did to the list.
    struct Change {
        bool changed = false;      // the entries changed (and the file was written, or the
                                   // failure was shown)
        int select = -1;           // the entry to select afterwards; -1: none
        bool showSelected = false; // the selected entry goes into the message box
    };

    // Add, Delete and Replace of an archive that could not be read say so in a box
    // ("Message Archive", exclamation icon, OK) and change nothing, whatever they are given.
    // The file never grows past what Load reads (MaxArchiveBytes): an Add or a Replace whose
    // list would pass it says in the same kind of box that the archive is full, and changes
    // nothing (a Replace asks nothing then).
    //
    // Appends the message (CR and LF taken out) unless it is empty or already in the list
    // (exact comparison); a list that then holds MaxEntries or more loses its first entry. The
    // new entry is selected once the file is written; its text is already the message box's.
    Change Add(const QByteArray &message);
    // Asks "Verify" (Yes, No) and removes the selected entry; nothing stays selected.
    Change Delete(int selected);
    // Puts the message (CR and LF taken out) in the selected entry's place, after the "Verify"
    // question (Yes, No); nothing happens for an empty message or a text already in the list,
    // the selected entry's own included. A list of MaxEntries or more (from a longer file)
    // loses its last entry. The entry stays selected and goes into the message box.
    Change Replace(int selected, const QByteArray &message);

private:
    // Writes the whole list; a failure shows the system's text (exclamation icon, OK, the
    // application title). True when the file holds the list.
    bool rewrite();
    // True (after the box) when the archive could not be read and so must not be changed.
    bool refuseChange() const;
    // True (after the box) when the entries would make a file larger than Load reads.
    static bool refuseFull(const QList<QByteArray> &entries);

    QString m_folder;
    QList<QByteArray> m_entries;
    QString m_readError;
};
