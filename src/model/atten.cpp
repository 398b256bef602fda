#include "model/atten.h"

std::array<AttenStep, AttenSteps> AttenTable;

QByteArray Decimal1::toText() const
{
    const int whole = tenths / 10;
    const int frac = (tenths < 0 ? -tenths : tenths) % 10;
    QByteArray text = (tenths < 0 && whole == 0) ? QByteArray("-0") : QByteArray::number(whole);
    return text + '.' + QByteArray::number(frac);
}

namespace {
// dB of a row, in tenths: four runs of equal steps.
int rowTenths(int row)
{
    if (row < 8)
        return -60 + 5 * row;
    if (row < 12)
        return -15 + 10 * (row - 8);
    if (row < 32)
        return 35 + 20 * (row - 12);
    return 455 + 40 * (row - 32);
}
} // namespace

void InitAttenTable()
{
    for (int row = 0; row < AttenSteps; ++row)
        AttenTable[row] = AttenStep{Decimal1::fromTenths(rowTenths(row)), static_cast<int16_t>(row)};
}
