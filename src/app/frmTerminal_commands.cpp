// The main window's commands: the port, its properties, reading and programming the encoder,
// the test console, transmitter tuning, the toolbar and the lookup.
//
// An encoder transfer yields to the event loop while it waits, so these commands can be
// clicked while another one runs; the ones that start a transfer then do nothing.

#include "app/frmTerminal.h"
#include "editors/frmCfgFam.h"
#include "editors/frmCfgGroup.h"
#include "editors/frmCfgMsg.h"
#include "encoder/connection.h"
#include "encoder/frmProperties.h"
#include "encoder/link.h"
#include "encoder/lookup.h"
#include "encoder/read/reader.h"
#include "encoder/write/writer.h"
#include "model/state.h"
#include "platform/msgbox.h"
#include "platform/pointer.h"
#include "settings/frmPassword.h"
#include "settings/frmSettings_Main.h"
#include "settings/frmTXTune.h"
#include "testconsole/frmMessageTest.h"

#include <QAction>

void frmTerminal::mnuOpen_Click()
{
    forms::HandlerScope scope(this);
    BusyScope line(Busy::Line, BusyScope::WhenIdle);
    if (!line)
        return;
    OpenClosePort();
}

void frmTerminal::cmdComStatus_Click()
{
    forms::HandlerScope scope(this);
    mnuOpen_Click();
}

void frmTerminal::ImgConnected_Click()
{
    forms::HandlerScope scope(this);
    mnuOpen_Click();
}

void frmTerminal::ImgNotConnected_Click()
{
    forms::HandlerScope scope(this);
    mnuOpen_Click();
}

void frmTerminal::mnuProperties_Click()
{
    forms::HandlerScope scope(this);
    BusyScope line(Busy::Line, BusyScope::WhenIdle);
    if (!line)
        return;
    if (Link().isOpen())
        OpenClosePort();
    if (isUnloaded())
        return;
    forms::ShowModal<frmProperties>();
}

void frmTerminal::mnuReadDB_Click()
{
    forms::HandlerScope scope(this);
    BusyScope line(Busy::Line, BusyScope::WhenIdle);
    if (!line)
        return;
    if (Run.bV7Encoder)
        ReadEncoderDBV7();
    else
        ReadEncoderDB();
}

void frmTerminal::mnuWriteDB_Click()
{
    forms::HandlerScope scope(this);
    BusyScope line(Busy::Line, BusyScope::WhenIdle);
    if (!line)
        return;
    MsgAnswer answer = MsgAnswer::Yes;
    if (!Run.bDBMatchesEncoder)
        answer = MsgBox(QStringLiteral("You are About to Program the Encoder with the Current "
                                       "Configuration\rAre You Sure?"),
                        MsgButtons::YesNo, MsgIcon::Question, QStringLiteral("Program Encoder?"));
    if (isUnloaded())
        return;
    if (answer == MsgAnswer::Yes) {
        if (Run.bV7Encoder)
            WriteEncoderDBV7();
        else
            WriteEncoderDB();
    }
    if (!isUnloaded() && Link().isOpen())
        mnuTest->setEnabled(true);
}

void frmTerminal::mnuSendMsg_Click()
{
    forms::HandlerScope scope(this);
    BusyScope line(Busy::Line, BusyScope::WhenIdle);
    if (!line)
        return;
    if (!Link().isOpen()) {
        MsgBox(QStringLiteral("COM Port ") + QString::number(Link().portNumber()) +
                   QStringLiteral(" is Not Open\rPlease Open Port and Try Again"),
               MsgButtons::OK, MsgIcon::Critical, QStringLiteral("COM Port Not Open"));
        SetDefaultPointer();
        return;
    }
    if (Run.bDBMatchesEncoder) {
        forms::ShowModal<frmMessageTest>(this);
        return;
    }
    MsgBox(QStringLiteral("The Displayed Pager Database Must Match the Encoder's Database\r"
                          "You can Either Read the Encoder or Program the Encoder."),
           MsgButtons::OK, MsgIcon::Exclamation,
           QStringLiteral("Pager Database Doesn't Match Displayed Database"));
    SetDefaultPointer();
}

void frmTerminal::mnuTXTune_Click()
{
    forms::HandlerScope scope(this);
    BusyScope line(Busy::Line, BusyScope::WhenIdle);
    if (!line)
        return;
    forms::ShowModal<frmTXTune>(this);
    // The tuning window gives the Test menu back when the port is open; it stays so.
    if (!isUnloaded() && !Link().isOpen())
        mnuTest->setEnabled(false);
}

void frmTerminal::Toolbar1_ButtonClick(const QString &Key)
{
    forms::HandlerScope scope(this);
    if (Key == QLatin1String("sequence")) {
        forms::Show<frmCfgFam>();
    } else if (Key == QLatin1String("group")) {
        forms::Show<frmCfgGroup>();
    } else if (Key == QLatin1String("message")) {
        forms::Show<frmCfgMsg>();
    } else if (Key == QLatin1String("settings")) {
        if (Run.TransferRunning()) // the settings a running transfer reads or sends stay as they are
            return;
        if (!Run.bV7Encoder) {
            forms::ShowModal<frmSettings_Main>(this);
        } else {
            Run.sPwdTarget = "advanced";
            forms::ShowModal<frmPassword>(this);
        }
    } else if (Key == QLatin1String("program")) {
        mnuWriteDB_Click();
    } else if (Key == QLatin1String("read")) {
        if (Run.TransferRunning())
            return;
        MsgAnswer answer = MsgAnswer::Yes;
        if (!Run.bDBMatchesEncoder)
            answer = MsgBox(QStringLiteral("You are About to Read the Encoder and Replace the "
                                           "Current Configuration\rAre You Sure?"),
                            MsgButtons::YesNo, MsgIcon::Question, QStringLiteral("Read Encoder?"));
        if (answer == MsgAnswer::Yes && !isUnloaded())
            mnuReadDB_Click();
    } else if (Key == QLatin1String("test")) {
        mnuSendMsg_Click();
    }
}

void frmTerminal::cmdLookup_Click()
{
    forms::HandlerScope scope(this);
    BusyScope line(Busy::Line, BusyScope::WhenIdle); // a second click while a lookup waits does nothing
    if (!line)
        return;
    LookupPagerID(txLookup->text().toLatin1());
}

void frmTerminal::closeGonePortWhenIdle()
{
    const EncoderLink &link = Link();
    if (!m_deviceGone || isUnloaded() || link.closing() || Run.busy != Busy::Idle)
        return;
    m_deviceGone = false;
    if (link.isOpen() && !link.lineGone())
        return; // opened again since, on a device that is there
    forms::HandlerScope scope(this);
    BusyScope line(Busy::Line, BusyScope::WhenIdle);
    CloseGonePort();
}
