#include "settings/settingsrules.h"

#include "encoder/settingforms.h"

namespace {

bool allDigits(const QByteArray &text)
{
    if (text.isEmpty())
        return false;
    for (const char c : text)
        if (c < '0' || c > '9')
            return false;
    return true;
}

// Whether a text is a whole number above limit (digits, a "+" in front allowed), however many
// digits it has.
bool wholeNumberAbove(const QByteArray &text, int limit)
{
    const QByteArray digits = text.startsWith('+') ? text.mid(1) : text;
    if (!allDigits(digits))
        return false;
    qsizetype first = 0;
    while (first < digits.size() - 1 && digits.at(first) == '0')
        ++first;
    const QByteArray significant = digits.mid(first);
    const QByteArray bound = QByteArray::number(limit);
    if (significant.size() != bound.size())
        return significant.size() > bound.size();
    return significant > bound;
}

} // namespace

int ProtocolOptionShown(const QByteArray &code)
{
    const PagingProtocol *protocol = FindPagingProtocol(code);
    return protocol ? PagingProtocolIndex(*protocol) : -1;
}

std::optional<bool> EvenParityShown(const QByteArray &format)
{
    if (format == "E71")
        return true;
    if (format == "N81")
        return false;
    return std::nullopt;
}

QByteArray CharacterFormat(bool evenParity, const QByteArray &dataBits)
{
    return QByteArray(evenParity ? "E" : "N") + dataBits + '1';
}

int FlowOption(const QByteArray &code)
{
    for (int option = 0; option < int(FlowCodes.size()); ++option)
        if (code == FlowCodes[size_t(option)])
            return option;
    return -1;
}

bool COMP1DefaultPagerMissing(const PagerGroupRec &group1)
{
    return group1[GrpPagerID1] == "0000" || group1[GrpActive] == "0";
}

bool AccessCodeMatches(const QString &entry)
{
    return entry.toUpper() == QLatin1String(AccessCode);
}

DutyBatchCheck CheckDutyAndBatch(const QByteArray &dutyCycle, const QByteArray &batchQty)
{
    if (dutyCycle.isEmpty() || batchQty.isEmpty())
        return DutyBatchCheck::EmptyBox;
    QByteArray duty, batch;
    if (!ToInt16Text(dutyCycle, &duty))
        return DutyBatchCheck::DutyNotNumber;
    const bool batchIsNumber = ToInt16Text(batchQty, &batch);
    if (duty != "0" && batch != "100" && wholeNumberAbove(batchQty, MaxManagedBatch))
        return DutyBatchCheck::BatchTooHigh;
    if (!batchIsNumber)
        return DutyBatchCheck::BatchNotNumber;
    return DutyBatchCheck::Accepted;
}
