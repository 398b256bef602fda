#include "encoder/write/writemodatten.h"

#include "app/frmTerminal.h"
#include "encoder/exchange.h"
#include "encoder/write/writecommands.h"
#include "model/attenmath.h"
#include "model/state.h"
#include "platform/msgbox.h"
#include "platform/pointer.h"
#include "platform/serialport.h"
#include "platform/timing.h"

namespace {

// The reply to a modulation attenuation command is complete at a CR that is not its first
// character: every pair of a character and a CR.
const QList<QByteArray> &CRAfterAnotherCharacter()
{
    static const QList<QByteArray> endings = [] {
        QList<QByteArray> list;
        for (int c = 0; c < 256; ++c)
            list.append(QByteArray(1, static_cast<char>(c)) + '\r');
        return list;
    }();
    return endings;
}

bool closing(const frmTerminal &t)
{
    return bAppClosing || t.isUnloaded();
}

void failureBox(const char *text)
{
    MsgBox(QString::fromLatin1(text), MsgButtons::OK, MsgIcon::None,
           QStringLiteral("Communication Failure"));
    SetDefaultPointer();
}

} // namespace

ModAttenOutcome WriteModAtten(frmTerminal &t)
{
    const ModAtten atten = ModAttenForSlider(EncoderSettings.sModSliderVal);
    const QList<WriteCommand> commands = ModAttenCommands(atten);
    t.StatusBar1->setPanelText(1, QString::fromLatin1(commands.first().status));
    EncoderSettings.sAttenDB = atten.dB;
    EncoderSettings.sModAttenC = atten.coarse;
    EncoderSettings.sModAttenF = atten.fine;

    if (!t.MSComm1->PortOpen()) {
        // The settings that follow meet the closed port and end the write with their own box.
        MsgBox(QStringLiteral("COM Port Not Open"), MsgButtons::OK, MsgIcon::None,
               QStringLiteral("Communications Error"));
        return ModAttenOutcome::GoOn;
    }

    for (const WriteCommand &command : commands) {
        MSComm &port = *t.MSComm1;
        port.DiscardInput();
        // A port that refuses the bytes gets no box of its own here: the silence that follows
        // is reported below.
        port.Output(command.bytes());
        // The count is cleared once more after the write; the encoder's processing time keeps
        // its answer behind it.
        port.DiscardInput();
        QByteArray reply;
        const ReplyOutcome outcome =
            WaitForExpected(port, *t.Timer2, CRAfterAnotherCharacter(), false, reply);
        if (closing(t))
            return ModAttenOutcome::Closing;
        const bool coarse = &command == &commands.first();
        if (coarse && outcome == ReplyOutcome::TimedOut) {
            failureBox("No Response from Encoder");
            return ModAttenOutcome::Failed;
        }
        if (!reply.startsWith(command.mustStartWith)) {
            failureBox("Improper Response from Encoder");
            return ModAttenOutcome::Failed;
        }
        bRespTimeout = false;
    }
    return ModAttenOutcome::GoOn;
}
