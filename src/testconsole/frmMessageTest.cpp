// The console's sending, log and archive arrive with the test console; its closing already
// returns the encoder to programming mode at 9600 baud.

#include "testconsole/frmMessageTest.h"

#include "app/frmTerminal.h"
#include "widgets/placeholder.h"
#include "model/state.h"
#include "platform/msgbox.h"
#include "platform/pointer.h"
#include "platform/serialport.h"
#include "platform/timing.h"
#include "testconsole/frmRangeTest.h"

#include <QAction>
#include <QPointer>

frmMessageTest::frmMessageTest(QWidget *parent) : DialogForm(parent)
{
    setObjectName(QStringLiteral("frmMessageTest"));
    BuildPlaceholder(this, QStringLiteral("Paging Encoder Test"),
                     QStringLiteral("Sending test messages is not available in this version."),
                     [this] { forms::UnloadForm(this); });
}

void frmMessageTest::Form_Unload()
{
    SetHourglassPointer();
    QPointer<frmTerminal> t = forms::Find<frmTerminal>();
    if (t) {
        MSComm *comm = t->MSComm1;
        comm->DiscardInput();
        if (const CommError e = comm->Output("#PrgmMode#"))
            MsgBox(e.text, MsgButtons::OK, MsgIcon::Exclamation);
    }
    if (t) {
        MSComm *comm = t->MSComm1;
        comm->setPortOpen(false);
        comm->setSettings("9600,n,8,1");
        comm->setPortOpen(true);
        comm->Output("ATI\r");

        // Wait for the identification's "Port", the reply time-out, or the program's end.
        QByteArray reply;
        bRespTimeout = false;
        t->Timer2->setEnabled(true);
        while (true) {
            DoEvents();
            if (!t || bAppClosing)
                break;
            Sleep(50);
            reply += t->MSComm1->Input();
            if (reply.contains("Port") || bRespTimeout)
                break;
        }
        if (t)
            t->Timer2->setEnabled(false);
        bRespTimeout = false;
        Sleep(75);
        if (t && !t->isUnloaded() && t->MSComm1->PortOpen())
            t->mnuTest->setEnabled(true);
    }
    Run.bRangeTestOn = false;
    forms::Unload<frmRangeTest>();
    SetDefaultPointer();
}
