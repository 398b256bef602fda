#include "testconsole/pagerid.h"

#include "model/database.h"
#include "model/encoderports.h"
#include "model/state.h"
#include "platform/msgbox.h"
#include "platform/pointer.h"
#include "protocols/protocoltable.h"

#include <cstdint>
#include <limits>
#include <optional>

namespace {

const QString InvalidCapcodeText = QStringLiteral(
    "The Capcode value cannot include alpha characters\r"
    "or the following illegal Capcodes:\r"
    "\r"
    "0 through 8\r"
    "2007664 through 2007671\r"
    "2045056 through 2045063\r"
    "or greater than 2097143");

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// A text taken as a signed 32-bit number: blanks around it, an optional sign, digits.
std::optional<std::int32_t> asNumber(const QByteArray &text)
{
    const QByteArray t = text.trimmed();
    qsizetype i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == '+' || t[i] == '-'))
        negative = t[i++] == '-';
    if (i == t.size())
        return std::nullopt;
    std::int64_t value = 0;
    for (; i < t.size(); ++i) {
        if (!isDigit(t[i]))
            return std::nullopt;
        value = value * 10 + (t[i] - '0');
        if (value > std::int64_t(std::numeric_limits<std::int32_t>::max()) + 1)
            return std::nullopt;
    }
    value = negative ? -value : value;
    if (value > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return std::int32_t(value);
}

PagerIDVerdict capcodeVerdict(const QByteArray &typed)
{
    PagerIDVerdict v;
    v.capcodeMode = true;
    v.checked = typed;
    const auto refuse = [&v] {
        v.result = PagerIDVerdict::Invalid;
        v.title = QStringLiteral("Invalid Capcode");
        v.text = InvalidCapcodeText;
        return v;
    };
    for (char c : typed)
        if (!isDigit(c))
            return refuse();
    const std::optional<std::int32_t> value = asNumber(typed);
    if (!value)
        return v;
    if (*value < 9 || *value > 2097143 || (*value >= 2045056 && *value <= 2045063) ||
        (*value >= 2007664 && *value <= 2007671))
        return refuse();
    v.result = PagerIDVerdict::Valid;
    return v;
}

PagerIDVerdict pagerIDVerdict(const QByteArray &typed, bool port1, const PagerDatabase &db)
{
    PagerIDVerdict v;
    v.checked = typed;
    const auto refuse = [&v](const QByteArray &detail) {
        v.result = PagerIDVerdict::Invalid;
        v.sLastIDError = detail;
        v.title = QStringLiteral("Invalid ID");
        v.text = QStringLiteral("Pager ID value is incorrect.\r") + QString::fromLatin1(detail);
        return v;
    };
    const QByteArray numericDetail = "Expected Numeric Characters\rGot Alpha Characters";

    if (typed.size() >= 5) {
        const qsizetype n = typed.size();
        const char type = typed[n - 3], rate = typed[n - 2], function = typed[n - 1];
        if (!QByteArray("AaNn01").contains(type))
            return refuse(QByteArray("Expected A, a, N, n, 0, or 1\rGot ") + type);
        if (!QByteArray("512").contains(rate))
            return refuse(QByteArray("Expected 1, 2, or 5\rGot ") + rate);
        if (!QByteArray("01234").contains(function))
            return refuse(QByteArray("Expected 0, 1, 2, 3, or 4\rGot ") + function);
        for (qsizetype i = 0; i < n - 3; ++i)
            if (!isDigit(typed[i]))
                return refuse(numericDetail);
        v.result = PagerIDVerdict::Valid;
        return v;
    }

    // The short form: digits, and a function letter at the end that the look-up leaves out.
    QByteArray id = typed;
    for (qsizetype i = 0; i < id.size(); ++i) {
        if (isDigit(id[i]))
            continue;
        const char upper = (id[i] >= 'a' && id[i] <= 'z') ? char(id[i] - 'a' + 'A') : id[i];
        if (i == id.size() - 1 && upper >= 'A' && upper <= 'D') {
            id.chop(1);
            break;
        }
        return refuse(numericDetail);
    }
    v.checked = id;

    for (const FamilyRec &fam : db.Families) {
        if (fam[FamDefined] != "YES")
            continue;
        const std::optional<std::int32_t> value = asNumber(id), start = asNumber(fam[FamStartID]),
                                          qty = asNumber(fam[FamPagerQty]);
        if (!value || !start || !qty)
            return v;
        if (*value >= *start && std::int64_t(*value) <= std::int64_t(*start) + *qty - 1) {
            v.result = PagerIDVerdict::Valid;
            return v;
        }
    }
    for (const PagerGroupRec &grp : db.PagerGroups) {
        if (grp[GrpDefined] != "YES")
            continue;
        if (port1) {
            const std::optional<std::int32_t> value = asNumber(id), groupID = asNumber(grp[GrpID]);
            if (!value || !groupID)
                return v;
            if (*value == *groupID) {
                v.result = PagerIDVerdict::Valid;
                return v;
            }
        } else if (grp[GrpID] == id) {
            v.result = PagerIDVerdict::Valid;
            return v;
        }
    }
    return refuse("Pager ID value not in current database");
}

} // namespace

PagerIDVerdict CheckPagerID(const QByteArray &typed, const QByteArray &testPort,
                            const EncoderConfig &settings, const PagerDatabase &db)
{
    const ConstEncoderPort port = EncoderPortOf(settings, AttachedPortNumber(testPort));
    const PagingProtocol *row = FindPagingProtocol(*port.protocol);
    if ((row && row->pagerCaption == PagerCaption::Capcode) || *port.idAsCap)
        return capcodeVerdict(typed);
    return pagerIDVerdict(typed, port.number == 1, db);
}

bool ValidatePagerID(const QByteArray &typed)
{
    const PagerIDVerdict v = CheckPagerID(typed, Run.sTestPort, EncoderSettings, DB);
    if (v.result == PagerIDVerdict::Invalid) {
        MsgBox(v.text, MsgButtons::OK, MsgIcon::None, v.title);
        if (v.capcodeMode)
            SetDefaultPointer();
    }
    return v.result == PagerIDVerdict::Valid;
}
