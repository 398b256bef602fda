// The pager database file commands: Open, Save, Save As, and New.
//
// A file is read whole before anything is stored, so a read error leaves the displayed
// database as it was; a file is written to a temporary file beside it and renamed over the old
// one, so a write error never leaves half a file. Both errors are reported like a file that
// cannot be opened.

#include "platform/folders.h"
#include "platform/shell.h"
#include "app/frmTerminal.h"
#include "model/changes.h"
#include "model/database.h"
#include "model/dbfile.h"
#include "model/state.h"
#include "platform/msgbox.h"
#include "platform/pointer.h"
#include "platform/settingsstore.h"
#include "platform/shell.h"
#include "testconsole/frmMessageTest.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QSaveFile>

namespace {

const QString kProperties = QStringLiteral("Properties");
const QString kFilter = QStringLiteral("Pager Database Files (*.pg9)");

// The file dialog's request: it starts at the current file, else in the program's folder.
FileDialogRequest dialogRequest(bool save)
{
    FileDialogRequest request;
    request.save = save;
    request.title = save ? QStringLiteral("Save Pager Database File")
                         : QStringLiteral("Open Pager Database File");
    request.filter = kFilter;
    request.confirmOverwrite = false;
    if (!Run.sDBFilePath.isEmpty()) {
        const QFileInfo current(Run.sDBFilePath);
        request.directory = current.absolutePath();
        request.defaultName = current.fileName();
    } else {
        request.directory = ProgramFolder();
        if (!Run.sDBFileName.isEmpty())
            request.defaultName = QString::fromLatin1(Run.sDBFileName);
    }
    return request;
}

// Reads the whole file; on failure returns false with the system's description.
bool readWholeFile(const QString &path, QByteArray *content, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return false;
    }
    *content = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        *error = file.errorString();
        return false;
    }
    return true;
}

// Replaces the file with content, all or nothing.
bool writeWholeFile(const QString &path, const QByteArray &content, QString *error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = file.errorString();
        return false;
    }
    if (file.write(content) != content.size() || !file.commit()) {
        *error = file.errorString();
        file.cancelWriting();
        return false;
    }
    return true;
}

} // namespace

void frmTerminal::showFileError(const QString &description)
{
    MsgBox(description, MsgButtons::OK, MsgIcon::Exclamation);
    SetDefaultPointer();
}

QString frmTerminal::databaseStateSuffix() const
{
    return Run.bDBMatchesEncoder ? QStringLiteral(", Matches Encoder")
                             : QStringLiteral(", Doesn't Match Encoder");
}

void frmTerminal::mnuOpenFile_Click()
{
    // A read or write in progress owns the database: replacing it underneath would leave the
    // transfer to mark a database as matching the encoder that the encoder does not hold.
    BusyScope filling(Busy::FillingDatabase, BusyScope::WhenIdle);
    if (!filling)
        return;
    forms::HandlerScope scope(this);
    const QString path = FileDialog(this, dialogRequest(false));
    if (path.isEmpty() || isUnloaded()) {
        SetDefaultPointer();
        return;
    }

    QByteArray content;
    QString error;
    if (!readWholeFile(path, &content, &error)) {
        showFileError(error);
        return;
    }

    const DBFileReadResult result = ReadDBFile(content);
    NotifyModelChanged(ModelChange::DatabaseReplaced);
    if (result.notes)
        txtConfigNotes->setNotes(*result.notes);
    if (result.incCapBy8Label)
        lblIncBy8->setText(QString::fromLatin1(IncBy8LabelText(*result.incCapBy8Label)));
    if (result.port1IDAsCapLabel)
        lblIDAsCap->setText(
            QString::fromLatin1(Port1IDAsCapLabelText(*result.port1IDAsCapLabel)));

    Run.sDBFilePath = QFileInfo(path).absoluteFilePath();
    Run.sDBFileName = QFileInfo(path).fileName().toLatin1();
    StatusBar1->setPanelText(1, QStringLiteral("Loaded File: ") + QString::fromLatin1(Run.sDBFileName) +
                                    QStringLiteral(", Doesn't Match Encoder"));
    SaveSetting(kProperties, QStringLiteral("LastFile"), Run.sDBFilePath);
    mnuSave->setEnabled(true);
    Run.bDBMatchesEncoder = false;
    cmdLookup->setEnabled(false);
    mnuSendMsg->setEnabled(false);
    Toolbar1->Buttons(8)->setEnabled(false);
    forms::Unload<frmMessageTest>();
}

void frmTerminal::mnuSave_Click()
{
    forms::HandlerScope scope(this);
    if (!Run.bDBCheckOK)
        return;
    QString error;
    if (!writeWholeFile(Run.sDBFilePath, WriteDBFile(txtConfigNotes->notes()), &error)) {
        showFileError(error);
        return;
    }
    StatusBar1->setPanelText(1, QStringLiteral("Saved Database to File: ") +
                                    QString::fromLatin1(Run.sDBFileName) + databaseStateSuffix());
    QDir::setCurrent(ProgramFolder());
}

void frmTerminal::mnuSaveAs_Click()
{
    forms::HandlerScope scope(this);
    if (!Run.bDBCheckOK)
        return;
    QString path = FileDialog(this, dialogRequest(true));
    if (path.isEmpty() || isUnloaded())
        return;
    QFileInfo info(path);
    if (info.suffix().isEmpty() && !path.endsWith(QLatin1Char('.')))
        info = QFileInfo(path + QStringLiteral(".pg9"));
    path = info.absoluteFilePath();

    Run.sDBFilePath = path;
    Run.sDBFileName = info.fileName().toLatin1();
    SaveSetting(kProperties, QStringLiteral("LastFile"), Run.sDBFilePath);

    QString error;
    if (!writeWholeFile(path, WriteDBFile(txtConfigNotes->notes()), &error)) {
        showFileError(error);
        return;
    }
    StatusBar1->setPanelText(1, QStringLiteral("Saved Database to File: ") +
                                    QString::fromLatin1(Run.sDBFileName) + databaseStateSuffix());
    SaveSetting(kProperties, QStringLiteral("LastFile"), Run.sDBFilePath);
    QDir::setCurrent(ProgramFolder());
    mnuSave->setEnabled(true);
}

void frmTerminal::mnuNewDB_Click()
{
    if (Run.TransferRunning())
        return;
    forms::HandlerScope scope(this);
    const MsgAnswer answer =
        MsgBox(QStringLiteral("Are You Sure You Want to Clear the Pager Database?\r"
                              "This Action Will Not Erase the Encoder's Database"),
               MsgButtons::YesNo, MsgIcon::Question, QStringLiteral("Clear Pager Database"), 1);
    if (answer != MsgAnswer::Yes || isUnloaded())
        return;
    SetHourglassPointer();
    ResetDatabase();
    NotifyModelChanged(ModelChange::DatabaseReplaced);
    StatusBar1->setPanelText(1, QStringLiteral("New Configuration, Does Not Match Encoder"));
    Run.bDBMatchesEncoder = false;
    SetDefaultPointer();
}
