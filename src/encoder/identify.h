#pragma once
// Reading the encoder's identification reply and the line settings that detection tries.

#include <QByteArray>
#include <QList>
#include <chrono>
#include <optional>

// The firmware version after the "v" that follows "Encoder", up to the CR and cut at the
// first blank. No "v" or no CR after it: no version.
std::optional<QByteArray> GetEncoderVersion(const QByteArray &reply);

// The character after "Port "; "1" when it is not a digit or missing.
QByteArray GetEncoderPort(const QByteArray &reply);

// The minor number of a version text: the digits after the first "." (without a trailing
// "S"/"s"); the whole text after the generation digit when there is no point. No whole
// number: no value.
std::optional<int> FirmwareMinor(const QByteArray &version);

// The time-out of a detection attempt's first wait for its line settings.
std::chrono::milliseconds DetectionTimeout(const QByteArray &settings);

// The line settings detection tries after its first attempt, in order.
const QList<QByteArray> &DetectionSettingsTable();

// The programming-mode signature the encoder sends instead of its announcement when the PC
// listens at another speed.
inline const QByteArray &ProgrammingSignature()
{
    static const QByteArray sig("\x89\x22\x21\x21\xA1\xFE", 6);
    return sig;
}
