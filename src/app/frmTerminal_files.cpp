// The pager database file commands: Open, Save, Save As, and New.
//
// A file is read whole before anything is stored, so a read error leaves the displayed
// database as it was; a file is written to a temporary file beside it, forced to the disk and
// only then renamed over the old one, so a write error (a full disk among them) never leaves
// half a file. Both errors are reported like a file that cannot be opened. While a transfer or
// a check runs, the database belongs to it: the file commands do nothing.

#include "app/frmTerminal.h"
#include "model/changes.h"
#include "model/database.h"
#include "model/dbfile.h"
#include "model/encoderports.h"
#include "model/state.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/msgbox.h"
#include "platform/pointer.h"
#include "platform/settingsstore.h"
#include "platform/shell.h"
#include "testconsole/frmMessageTest.h"

#include <QAction>
#include <QFileInfo>
#include <QPushButton>

namespace {

const QString kProperties = QStringLiteral("Properties");
const QString kFilter = QStringLiteral("Pager Database Files (*.pg9)");

// The file dialog's request: it starts at the current file, else in the user's documents (or
// home) folder with no name; a current file whose folder is gone is proposed in the latter.
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
        request.directory = DialogFolder(current.absolutePath());
        request.defaultName = current.fileName();
    } else {
        request.directory = DocumentsFolder();
        if (!Run.sDBFileName.isEmpty())
            request.defaultName = QString::fromLatin1(Run.sDBFileName);
    }
    return request;
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
    if (!ReadWholeFile(path, &content, &error)) {
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
            QString::fromLatin1(IDAsCapLabelText(*result.port1IDAsCapLabel, 1)));

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

bool frmTerminal::mayWriteDatabaseFile()
{
    if (Run.TransferRunning())
        return false;
    if (Run.bDBCheckOK)
        return true;
    MsgBox(QStringLiteral("The Pager Database was Not Saved.\r"
                          "Its Check Did Not Finish: Press OK in the Pager Families or Pager\r"
                          "Groups Editor, Let the Check Finish, then Save Again."),
           MsgButtons::OK, MsgIcon::Exclamation, QStringLiteral("Database Not Saved"));
    return false;
}

void frmTerminal::mnuSave_Click()
{
    forms::HandlerScope scope(this);
    if (!mayWriteDatabaseFile())
        return;
    QString error;
    if (!ReplaceWholeFile(Run.sDBFilePath, WriteDBFile(txtConfigNotes->notes()), &error)) {
        showFileError(error);
        return;
    }
    StatusBar1->setPanelText(1, QStringLiteral("Saved Database to File: ") +
                                    QString::fromLatin1(Run.sDBFileName) + databaseStateSuffix());
}

void frmTerminal::mnuSaveAs_Click()
{
    forms::HandlerScope scope(this);
    if (!mayWriteDatabaseFile())
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
    if (!ReplaceWholeFile(path, WriteDBFile(txtConfigNotes->notes()), &error)) {
        showFileError(error);
        return;
    }
    StatusBar1->setPanelText(1, QStringLiteral("Saved Database to File: ") +
                                    QString::fromLatin1(Run.sDBFileName) + databaseStateSuffix());
    SaveSetting(kProperties, QStringLiteral("LastFile"), Run.sDBFilePath);
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
