#include "model/attenmath.h"

#include <algorithm>

int SliderPosition(const QByteArray &sliderVal)
{
    const QByteArray text = sliderVal.trimmed();
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    if (i == text.size())
        return SliderDefault;
    int value = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c < '0' || c > '9')
            return SliderDefault;
        if (value <= SliderMax) // beyond the range the exact size no longer matters
            value = value * 10 + (c - '0');
    }
    if (negative)
        value = -value;
    return std::clamp(value, SliderMin, SliderMax);
}

ModAtten ModAttenForGain(Decimal1 gain)
{
    const int wanted = -gain.tenths;
    int heldStep = -1;
    int heldTenths = 0;
    for (const AttenStep &row : AttenTable) {
        if (row.dB.tenths > wanted)
            break;
        heldStep = row.step;
        heldTenths = row.dB.tenths;
    }
    // Nothing held means even the first row lies above the wanted attenuation; the encoder then
    // gets the top step with the whole attenuation as its fine value.
    const int coarse = heldStep < 0 ? AttenSteps - 1 : heldStep;
    return ModAtten{QByteArray::number(coarse), QByteArray::number(wanted - heldTenths),
                    gain.toText()};
}

ModAtten ModAttenForSlider(const QByteArray &sliderVal)
{
    return ModAttenForGain(GainForSlider(SliderPosition(sliderVal)));
}
