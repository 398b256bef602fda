#include "encoder/lookup.h"

#include <cstdint>
#include <limits>

QByteArray ReplaceText(QByteArray text, QByteArray search, QByteArray replacement)
{
    if (search.isEmpty())
        return text;
    qsizetype from = 0;
    for (;;) {
        const qsizetype at = text.indexOf(search, from);
        if (at < 0)
            return text;
        text.replace(at, search.size(), replacement);
        from = at + replacement.size();
    }
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
