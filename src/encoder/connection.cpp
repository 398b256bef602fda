// Toggling the COM port. Detecting the encoder when the port opens (programming mode, firmware
// generation, the attached encoder port) and the reboot when it closes arrive with the
// encoder exchange; until then the port opens as if detection had been skipped.

#include "encoder/connection.h"

#include "app/frmTerminal.h"
#include "model/state.h"
#include "platform/msgbox.h"
#include "platform/pointer.h"
#include "platform/serialport.h"
#include "platform/timing.h"
#include "testconsole/frmMessageTest.h"

#include <QAction>
#include <QPointer>
#include <QPushButton>

namespace {

void openingSteps(frmTerminal *t)
{
    const QString n = QString::number(t->MSComm1->CommPort());
    bV7Encoder = false;
    t->BringToFront(t->ImgConnected);
    t->StatusBar1->setPanelText(2, QStringLiteral("COM ") + n + QStringLiteral(" Open"));
    t->mnuOpen->setText(QStringLiteral("&Close Port"));
    t->cmdComStatus->setText(QStringLiteral("Close COM ") + n);
    t->Toolbar1->ButtonByKey(QStringLiteral("program"))->setEnabled(true);
    t->Toolbar1->ButtonByKey(QStringLiteral("read"))->setEnabled(true);
    if (bDBMatchesEncoder) {
        t->cmdLookup->setEnabled(true);
        t->mnuSendMsg->setEnabled(true);
        t->Toolbar1->ButtonByKey(QStringLiteral("test"))->setEnabled(true);
    }
}

void closingSteps(QPointer<frmTerminal> t)
{
    const QString n = QString::number(t->MSComm1->CommPort());
    t->cmdComStatus->setEnabled(false);
    t->mnuTest->setEnabled(false);
    t->cmdLookup->setEnabled(false);
    t->mnuSendMsg->setEnabled(false);
    t->Toolbar1->ButtonByKey(QStringLiteral("program"))->setEnabled(false);
    t->Toolbar1->ButtonByKey(QStringLiteral("read"))->setEnabled(false);
    t->Toolbar1->ButtonByKey(QStringLiteral("test"))->setEnabled(false);
    t->BringToFront(t->ImgNotConnected);
    t->mnuOpen->setText(QStringLiteral("&Open Port"));
    t->cmdComStatus->setText(QStringLiteral("Open COM ") + n);
    t->StatusBar1->setPanelText(2, QStringLiteral("COM ") + n + QStringLiteral(" Closed"));
    t->mnuReadDB->setEnabled(false);
    t->mnuWriteDB->setEnabled(false);

    // The test console's own closing talks to the encoder and may yield.
    forms::Unload<frmMessageTest>();
    if (!t || t->isUnloaded())
        return;

    if (t->MSComm1->PortOpen())
        t->MSComm1->setPortOpen(false);
    t->MSComm1->setSettings("9600,n,8,1");
    t->cmdComStatus->setEnabled(true);
}

} // namespace

void OpenClosePort()
{
    QPointer<frmTerminal> t = forms::Find<frmTerminal>();
    if (!t || t->isUnloaded())
        return;
    forms::HandlerScope scope(t.data());
    bCancelOp = false;

    const bool wasOpen = t->MSComm1->PortOpen();
    if (const CommError e = t->MSComm1->setPortOpen(!wasOpen))
        MsgBox(e.text, MsgButtons::OK, MsgIcon::Exclamation);
    if (!t || t->isUnloaded())
        return;
    t->Timer2->setInterval(8000);

    if (t->MSComm1->PortOpen())
        openingSteps(t);
    else
        closingSteps(t);
    if (t && !t->isUnloaded()) {
        SetDefaultPointer();
        bNoDetect = false;
    }
}
