#include "encoder/write/writemodatten.h"

#include "encoder/link.h"
#include "encoder/terminalview.h"
#include "encoder/write/writecommands.h"
#include "model/attenmath.h"
#include "model/state.h"
#include "platform/msgbox.h"
#include "platform/pointer.h"

namespace {

void failureBox(const char *text)
{
    MsgBox(QString::fromLatin1(text), MsgButtons::OK, MsgIcon::None,
           QStringLiteral("Communication Failure"));
    SetDefaultPointer();
}

// The reply to a modulation attenuation command is complete at a CR that is not its first
// character.
bool HoldsCRAfterAnotherCharacter(const QByteArray &reply)
{
    return reply.indexOf('\r', 1) > 0;
}

} // namespace

ModAttenOutcome SendModAtten(EncoderLink &link, const ModAtten &atten, const ReplyTest &complete)
{
    const QList<WriteCommand> commands = ModAttenCommands(atten);
    for (const WriteCommand &command : commands) {
        // A port that refuses the bytes gets no box of its own here: the silence that follows
        // is reported below. What arrives once the command is written is kept: an answer (or
        // the echo of the command, which the link takes off) may come at once.
        const ExchangeResult r = link.Wait({.send = command.bytes(),
                                            .discardFirst = true,
                                            .until = complete,
                                            .cancellable = false,
                                            .onWriteFailure = OnWriteFailure::Wait});
        if (link.Gone() || r.outcome == ReplyOutcome::LineGone)
            return ModAttenOutcome::Closing;
        const QByteArray &reply = r.reply;
        const ReplyOutcome outcome = r.outcome;
        const bool coarse = &command == &commands.first();
        if (coarse && outcome == ReplyOutcome::TimedOut) {
            failureBox("No Response from Encoder");
            return ModAttenOutcome::Failed;
        }
        if (!reply.startsWith(command.mustStartWith)) {
            failureBox("Improper Response from Encoder");
            return ModAttenOutcome::Failed;
        }
    }
    return ModAttenOutcome::GoOn;
}

ModAttenOutcome WriteModAtten(EncoderLink &link)
{
    const ModAtten atten = ModAttenForSlider(EncoderSettings.sModSliderVal);
    link.view().SetPanelText(1, QString::fromLatin1(ModAttenCommands(atten).first().status));
    EncoderSettings.sAttenDB = atten.dB;
    EncoderSettings.sModAttenC = atten.coarse;
    EncoderSettings.sModAttenF = atten.fine;

    if (!link.isOpen()) {
        // The settings that follow meet the closed port and end the write with their own box.
        MsgBox(QStringLiteral("COM Port Not Open"), MsgButtons::OK, MsgIcon::None,
               QStringLiteral("Communications Error"));
        return ModAttenOutcome::GoOn;
    }
    return SendModAtten(link, atten, HoldsCRAfterAnotherCharacter);
}
