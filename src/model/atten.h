#pragma once
// The modulation attenuation table: 40 steps, each an attenuation in dB (an exact decimal with
// one digit after the point) and its step number, which is what the encoder's coarse
// modulation attenuation carries.

#include <QByteArray>
#include <array>
#include <cstdint>

// An exact decimal with one digit after the point, held in tenths.
struct Decimal1 {
    int tenths = 0;

    static constexpr Decimal1 fromTenths(int t) { return Decimal1{t}; }
    QByteArray toText() const; // "-6.0", "0.5", "73.5"
    friend constexpr bool operator==(Decimal1 a, Decimal1 b) { return a.tenths == b.tenths; }
    friend constexpr auto operator<=>(Decimal1 a, Decimal1 b) { return a.tenths <=> b.tenths; }
};

struct AttenStep {
    Decimal1 dB;
    int16_t step = 0;
    friend constexpr bool operator==(const AttenStep &, const AttenStep &) = default;
};

constexpr int AttenSteps = 40;
extern std::array<AttenStep, AttenSteps> AttenTable;

// Fills all 40 rows.
void InitAttenTable();
