#pragma once
// From the transmitter tuning slider to the encoder's modulation attenuation: the gain in dB,
// the coarse step of AttenTable and the fine remainder in tenths of a dB. All in exact tenths.

#include "model/atten.h"

#include <QByteArray>

constexpr int SliderMin = 0;
constexpr int SliderMax = 834;
constexpr int SliderDefault = 47;

// The slider position a stored slider text stands for: a whole number (blanks around it and a
// sign allowed) held to SliderMin..SliderMax; any other text is the default position.
int SliderPosition(const QByteArray &sliderVal);

// The gain of a slider position: 6.0 dB less a tenth of a dB per position.
constexpr Decimal1 GainForSlider(int position) { return Decimal1::fromTenths(60 - position); }

struct ModAtten {
    QByteArray coarse; // step number "0".."39"
    QByteArray fine;   // tenths of a dB, no decimal point; negative below the table
    QByteArray dB;     // the gain with one decimal: "1.3", "0.0", "-0.5", "-77.4"
};

// The attenuation wanted is the negated gain. The coarse step is the last table row whose
// attenuation is not above it; the fine value is what is left, in tenths. With no such row
// (a gain above the table's first row) the step is 39 and the fine value the whole attenuation.
// AttenTable must have been built.
ModAtten ModAttenForGain(Decimal1 gain);

// ModAttenForGain of the slider position that sliderVal stands for.
ModAtten ModAttenForSlider(const QByteArray &sliderVal);
