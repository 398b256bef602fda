#include "encoder/idascap.h"

#include "encoder/terminalview.h"
#include "platform/pointer.h"

bool PutIDAsCapBack(EncoderLink &link, const IDAsCapSwitchOn &on, bool switchedOff, OnWriteFailure onWriteFailure)
{
    SetHourglassPointer();
    // Late answers of the failed exchange may still arrive: only the confirmation counts,
    // taken with the LF that ends its line.
    const ExchangeResult r = link.Wait({.send = on.command,
                                        .discardFirst = true,
                                        .until = HoldsLine({on.confirmation}, "\n"),
                                        .cancellable = false,
                                        .onWriteFailure = onWriteFailure});
    if (link.Gone() || r.outcome == ReplyOutcome::LineGone)
        return false;
    const bool restored = r.reply.contains(on.confirmation);
    if (restored || switchedOff)
        link.view().SetLabel(TerminalView::Label::IDAsCap,
                             QString::fromLatin1(restored ? on.labelOn : on.labelOff));
    return restored;
}
