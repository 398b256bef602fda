#include "encoder/lookup.h"

#include "encoder/link.h"
#include "encoder/terminalview.h"
#include "model/state.h"
#include "platform/msgbox.h"
#include "platform/pointer.h"

#include <cstdint>
#include <limits>

QByteArray ReplaceText(QByteArray text, QByteArray search, QByteArray replacement)
{
    if (search.isEmpty())
        return text;
    // The result is built in one go (no replacement inside the text, which would move its rest
    // each time): the cost grows with the text's length.
    qsizetype at = text.indexOf(search);
    if (at < 0)
        return text;
    QByteArray result;
    result.reserve(text.size());
    qsizetype from = 0;
    while (at >= 0) {
        result.append(text.constData() + from, at - from);
        result.append(replacement);
        from = at + search.size();
        at = text.indexOf(search, from);
    }
    result.append(text.constData() + from, text.size() - from);
    return result;
}

QByteArray LookupCommand(const QByteArray &pagerID)
{
    return "LOOKUP " + pagerID + "\r\n";
}

QByteArray RewriteLookupReply(const QByteArray &reply)
{
    static const struct {
        const char *search;
        const char *replacement;
    } steps[] = {
        {"list", "Group"},
        {" capcode ", ", Cap="},
        {"msg enc:", "Type="},
        {"baud:", "Rate="},
        {" func bits:00", ", Func=1"},
        {" func bits:01", ", Func=2"},
        {" func bits:10", ", Func=3"},
        {" func bits:11", ", Func=4"},
    };
    QByteArray text = reply;
    for (const auto &step : steps)
        text = ReplaceText(text, step.search, step.replacement);
    return text;
}

CapcodeCheck CheckLookupCapcode(const QByteArray &entry)
{
    CapcodeCheck check;
    // An empty entry names no capcode.
    if (entry.isEmpty())
        return check;
    for (char c : entry)
        if (c < '0' || c > '9')
            return check;

    // The digits as a whole number; anything beyond a 32-bit number is certainly too large.
    std::int64_t value = 0;
    for (char c : entry) {
        value = value * 10 + (c - '0');
        if (value > std::numeric_limits<std::int32_t>::max()) {
            check.result = CapcodeCheck::RefusedTooLarge;
            return check;
        }
    }
    if (value < 9)
        return check;
    if (value > 2097143) {
        check.result = CapcodeCheck::RefusedTooLarge;
        return check;
    }
    if ((value >= 2045056 && value <= 2045063) || (value >= 2007664 && value <= 2007671))
        return check;

    check.result = CapcodeCheck::Valid;
    check.capcode = entry.size() >= 7 ? entry : QByteArray(7 - entry.size(), '0') + entry;
    return check;
}

QString InvalidCapcodeText(bool tooLarge)
{
    const QString first = tooLarge ? QStringLiteral("Pager ID as Capcode mode is active")
                                   : QStringLiteral("Pager ID as Capcode mode is active for Port 1");
    return first + QStringLiteral("\rThe Capcode value cannot include alpha characters"
                                  "\ror the following illegal Capcodes:"
                                  "\r"
                                  "\r0 through 8"
                                  "\r2007664 through 2007671"
                                  "\r2045056 through 2045063"
                                  "\ror greater than 2097143");
}

QByteArray LocalLookupAnswer(const QByteArray &entry, const QByteArray &capcode)
{
    return "ID \"" + entry + "\", Cap=" + capcode + ", Type=A, Rate=512 Func=4";
}

void LookupPagerID(const QByteArray &entry)
{
    EncoderLink &link = Link();
    using Label = TerminalView::Label;

    // ID-as-capcode mode on port 1: the pager ID is the capcode; checked here, nothing is sent.
    if (EncoderSettings.bPort1IDAsCap) {
        const CapcodeCheck check = CheckLookupCapcode(entry);
        if (check.result != CapcodeCheck::Valid) {
            MsgBox(InvalidCapcodeText(check.result == CapcodeCheck::RefusedTooLarge),
                   MsgButtons::OK, MsgIcon::None, QStringLiteral("Invalid Capcode"));
            SetDefaultPointer();
            return;
        }
        link.view().SetLabel(Label::LookupResponse, QString::fromLatin1(LocalLookupAnswer(entry, check.capcode)));
        return;
    }

    if (EncoderSettings.bIncCapBy8) {
        MsgBox(QStringLiteral("Increment Capcodes by 8 Mode is Active.  You May Need\r"
                              "to Close and Open the COM Port to Restart the Encoder,\r"
                              "in Order to Obtain Valid Lookup Results"),
               MsgButtons::OK, MsgIcon::None, QStringLiteral("Increment Capcodes by 8 Mode Active"));
        if (link.Gone())
            return;
    }
    link.view().SetLabel(Label::LookupResponse, QString());
    // The lookup's interval stays on the reply timer for later exchanges.
    const ExchangeResult r = link.Wait({.send = LookupCommand(entry),
                                        .discardFirst = true,
                                        .until = HoldsAny({"\r\n", "\n\r"}),
                                        .deadline = Deadline::ReplyTimer(timeouts::Lookup),
                                        .cancellable = false});
    if (!link.hasView() || r.outcome == ReplyOutcome::LineGone)
        return; // a device that has gone is said by the main window as it closes the port
    // The line ending is part of the answer; the label shows it as a line break.
    QString shown = QString::fromLatin1(RewriteLookupReply(r.reply));
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    shown.replace(QLatin1String("\n\r"), QLatin1String("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    while (shown.endsWith(QLatin1Char('\n')))
        shown.chop(1);
    link.view().SetLabel(Label::LookupResponse, QStringLiteral("Response: ") + shown);
}
