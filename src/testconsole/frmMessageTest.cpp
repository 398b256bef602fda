// The console's sending, log and archive arrive with the test console; its closing already
// returns the encoder to programming mode at 9600 baud.

#include "testconsole/frmMessageTest.h"

#include "encoder/link.h"
#include "encoder/terminalview.h"
#include "model/state.h"
#include "platform/pointer.h"
#include "testconsole/frmRangeTest.h"
#include "widgets/placeholder.h"

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
    EncoderLink &link = Link();
    if (link.hasView()) {
        // Back into programming mode, then the identification at 9600 baud.
        link.MSComm1->DiscardInput();
        link.Send("#PrgmMode#", true);
    }
    if (link.hasView()) {
        link.MSComm1->setPortOpen(false);
        link.MSComm1->setSettings("9600,n,8,1");
        link.MSComm1->setPortOpen(true);
        // Until the identification's "Port", the reply time-out, or the program's end.
        link.Wait({.send = "ATI\r",
                   .until = HoldsAny({"Port"}),
                   .cancellable = false,
                   .onWriteFailure = OnWriteFailure::Wait});
        link.bRespTimeout = false;
        link.Pause(timeouts::Settle, false);
        if (link.hasView() && !link.bAppClosing && link.MSComm1->PortOpen())
            link.view().SetEnabled(TerminalView::Command::TestMenu, true);
    }
    Run.bRangeTestOn = false;
    forms::Unload<frmRangeTest>();
    SetDefaultPointer();
}
