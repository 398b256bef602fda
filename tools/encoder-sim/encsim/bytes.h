// Byte helpers of the simulated encoder: the line carries bytes, never Unicode.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace encsim {

using Bytes = std::string;

namespace ctl {
inline constexpr char NUL = 0x00, SOH = 0x01, STX = 0x02, ETX = 0x03, EOT = 0x04, ACK = 0x06,
                      BEL = 0x07, LF = 0x0A, CR = 0x0D, XON = 0x11, XOFF = 0x13, NAK = 0x15,
                      ETB = 0x17, ESC = 0x1B, RS = 0x1E, DEL = 0x7F;
}

// The six bytes a PC hears when the 9600-baud announcement reaches it at another speed.
inline const Bytes kSignature("\x89\x22\x21\x21\xA1\xFE", 6);
inline constexpr std::string_view kPrgmMode = "#PrgmMode#";

// Control characters by name ("<CR>", "<NAK>", "<0x89>"), printable bytes as they are.
std::string namedBytes(std::string_view bytes);

// The reverse, for knob values and control commands: "<CR>", "<RS>", "<0x89>" and the
// backslash escapes \r \n \t \\ \xHH; everything else is taken byte for byte.
std::optional<Bytes> parseBytes(std::string_view text);

std::string toLower(std::string_view s);
std::string toUpper(std::string_view s);
bool iequals(std::string_view a, std::string_view b);
bool istartsWith(std::string_view s, std::string_view prefix);
bool icontains(std::string_view haystack, std::string_view needle);

bool allDigits(std::string_view s); // non-empty and only 0-9
// Decimal with an optional leading minus; nullopt when not a number or out of int64 range.
std::optional<long long> parseDecimal(std::string_view s, bool allowMinus = false);

// Splits at every occurrence of sep, keeping empty pieces.
std::vector<std::string> splitKeep(std::string_view s, char sep);

// Escapes a byte string for one line of a text file (\\, \xHH for control bytes and 0x7F+).
std::string escapeLine(std::string_view bytes);
std::optional<Bytes> unescapeLine(std::string_view text);

} // namespace encsim
