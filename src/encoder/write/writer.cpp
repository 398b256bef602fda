// Programming the encoder arrives with the database writer; until then only the port check
// and the common end run, and the command says that programming is not available.

#include "encoder/write/writer.h"

#include "app/frmTerminal.h"
#include "encoder/frmCancelSend.h"
#include "model/state.h"
#include "platform/msgbox.h"
#include "platform/pointer.h"
#include "platform/serialport.h"
#include "platform/timing.h"

#include <QPointer>

namespace {

void writeDatabase()
{
    QPointer<frmTerminal> t = forms::Find<frmTerminal>();
    if (!t || t->isUnloaded())
        return;
    if (!t->MSComm1->PortOpen()) {
        MsgBox(QStringLiteral("COM Port ") + QString::number(t->MSComm1->CommPort()) +
                   QStringLiteral(" is Not Open\rPlease Open Port and Try Again"),
               MsgButtons::OK, MsgIcon::Critical, QStringLiteral("COM Port Not Open"));
        SetDefaultPointer();
        bDBBusy = false;
        return;
    }
    forms::HandlerScope scope(t.data());
    bDBBusy = true;
    const int timer1Interval = t->Timer1->Interval();
    t->Toolbar1->setAllButtonsEnabled(false);

    MsgBox(QStringLiteral("Programming the encoder is not available in this version."),
           MsgButtons::OK, MsgIcon::Information, QStringLiteral("Program Encoder"));

    // The common end, on every road after the port check.
    if (t && !t->isUnloaded()) {
        t->Toolbar1->setAllButtonsEnabled(true);
        t->Timer1->setInterval(timer1Interval);
    }
    SetDefaultPointer();
    forms::Unload<frmCancelSend>();
    bDBBusy = false;
}

} // namespace

void WriteEncoderDB()
{
    writeDatabase();
}

void WriteEncoderDBV7()
{
    writeDatabase();
}
