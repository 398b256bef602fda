#include "settings/settingsrules.h"

int ProtocolOptionOnLoad(QByteArray &code, const Firmware &firmware)
{
    const PagingProtocol *protocol = FindPagingProtocol(code);
    if (!protocol || !OfferedBy(*protocol, firmware))
        protocol = &DefaultPagingProtocol();
    code = protocol->code;
    return PagingProtocolIndex(*protocol);
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

void BaudOnLoad(QByteArray &baud)
{
    if (baud == "Invalid")
        baud = "9600";
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

bool AllDigits(const QByteArray &text)
{
    if (text.isEmpty())
        return false;
    for (const char c : text)
        if (c < '0' || c > '9')
            return false;
    return true;
}

bool DigitsAbove(const QByteArray &digits, int limit)
{
    qsizetype first = 0;
    while (first < digits.size() - 1 && digits.at(first) == '0')
        ++first;
    const QByteArray significant = digits.mid(first);
    const QByteArray bound = QByteArray::number(limit);
    if (significant.size() != bound.size())
        return significant.size() > bound.size();
    return significant > bound;
}

DutyBatchCheck CheckDutyAndBatch(const QByteArray &dutyCycle, const QByteArray &batchQty)
{
    if (dutyCycle.isEmpty() || batchQty.isEmpty())
        return DutyBatchCheck::EmptyBox;
    if (!AllDigits(dutyCycle))
        return DutyBatchCheck::DutyNotNumber;
    if (!AllDigits(batchQty))
        return DutyBatchCheck::BatchNotNumber;
    if (dutyCycle != "0" && batchQty != "100" && DigitsAbove(batchQty, MaxManagedBatch))
        return DutyBatchCheck::BatchTooHigh;
    return DutyBatchCheck::Accepted;
}
