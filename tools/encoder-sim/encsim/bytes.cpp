#include "encsim/bytes.h"

#include <cctype>
#include <cstdio>

namespace encsim {

namespace {

const char *controlName(unsigned char c)
{
    switch (c) {
    case 0x00: return "NUL";
    case 0x01: return "SOH";
    case 0x02: return "STX";
    case 0x03: return "ETX";
    case 0x04: return "EOT";
    case 0x05: return "ENQ";
    case 0x06: return "ACK";
    case 0x07: return "BEL";
    case 0x08: return "BS";
    case 0x09: return "TAB";
    case 0x0A: return "LF";
    case 0x0D: return "CR";
    case 0x11: return "XON";
    case 0x13: return "XOFF";
    case 0x15: return "NAK";
    case 0x17: return "ETB";
    case 0x1B: return "ESC";
    case 0x1E: return "RS";
    case 0x7F: return "DEL";
    default: return nullptr;
    }
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

std::string namedBytes(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size());
    for (char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (const char *name = controlName(c)) {
            out += '<';
            out += name;
            out += '>';
        } else if (c < 0x20 || c >= 0x80) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "<0x%02X>", c);
            out += buf;
        } else {
            out += ch;
        }
    }
    return out;
}

std::optional<Bytes> parseBytes(std::string_view text)
{
    Bytes out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '<') {
            const auto close = text.find('>', i);
            if (close != std::string_view::npos) {
                const std::string name = toUpper(text.substr(i + 1, close - i - 1));
                bool found = false;
                if (name.size() == 4 && name[0] == '0' && name[1] == 'X') {
                    const int hi = hexValue(name[2]), lo = hexValue(name[3]);
                    if (hi >= 0 && lo >= 0) {
                        out += static_cast<char>(hi * 16 + lo);
                        found = true;
                    }
                } else {
                    for (int b = 0; b < 0x80 && !found; ++b) {
                        const char *n = controlName(static_cast<unsigned char>(b));
                        if (n && name == n) {
                            out += static_cast<char>(b);
                            found = true;
                        }
                    }
                }
                if (found) {
                    i = close;
                    continue;
                }
            }
            out += c;
        } else if (c == '\\') {
            if (i + 1 >= text.size())
                return std::nullopt;
            const char e = text[++i];
            switch (e) {
            case 'r': out += '\r'; break;
            case 'n': out += '\n'; break;
            case 't': out += '\t'; break;
            case '\\': out += '\\'; break;
            case '"': out += '"'; break;
            case '<': out += '<'; break;
            case 'x': {
                if (i + 2 >= text.size())
                    return std::nullopt;
                const int hi = hexValue(text[i + 1]), lo = hexValue(text[i + 2]);
                if (hi < 0 || lo < 0)
                    return std::nullopt;
                out += static_cast<char>(hi * 16 + lo);
                i += 2;
                break;
            }
            default: return std::nullopt;
            }
        } else {
            out += c;
        }
    }
    return out;
}

std::string toLower(std::string_view s)
{
    std::string out(s);
    for (char &c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string toUpper(std::string_view s)
{
    std::string out(s);
    for (char &c : out)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

bool iequals(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && toLower(a) == toLower(b);
}

bool istartsWith(std::string_view s, std::string_view prefix)
{
    return s.size() >= prefix.size() && iequals(s.substr(0, prefix.size()), prefix);
}

bool icontains(std::string_view haystack, std::string_view needle)
{
    return toLower(haystack).find(toLower(needle)) != std::string::npos;
}

bool allDigits(std::string_view s)
{
    if (s.empty())
        return false;
    for (char c : s)
        if (c < '0' || c > '9')
            return false;
    return true;
}

std::optional<long long> parseDecimal(std::string_view s, bool allowMinus)
{
    bool negative = false;
    if (allowMinus && !s.empty() && s[0] == '-') {
        negative = true;
        s.remove_prefix(1);
    }
    if (!allDigits(s))
        return std::nullopt;
    // Leading zeros are fine; more than 18 significant digits is not a number we keep.
    while (s.size() > 1 && s[0] == '0')
        s.remove_prefix(1);
    if (s.size() > 18)
        return std::nullopt;
    long long v = 0;
    for (char c : s)
        v = v * 10 + (c - '0');
    return negative ? -v : v;
}

std::vector<std::string> splitKeep(std::string_view s, char sep)
{
    std::vector<std::string> out;
    std::size_t start = 0;
    for (;;) {
        const auto pos = s.find(sep, start);
        if (pos == std::string_view::npos) {
            out.emplace_back(s.substr(start));
            return out;
        }
        out.emplace_back(s.substr(start, pos - start));
        start = pos + 1;
    }
}

std::string escapeLine(std::string_view bytes)
{
    std::string out;
    for (char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (ch == '\\') {
            out += "\\\\";
        } else if (c < 0x20 || c >= 0x7F) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            out += buf;
        } else {
            out += ch;
        }
    }
    return out;
}

std::optional<Bytes> unescapeLine(std::string_view text)
{
    Bytes out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (i + 1 >= text.size())
            return std::nullopt;
        if (text[i + 1] == '\\') {
            out += '\\';
            ++i;
        } else if (text[i + 1] == 'x') {
            if (i + 3 >= text.size())
                return std::nullopt;
            const int hi = hexValue(text[i + 2]), lo = hexValue(text[i + 3]);
            if (hi < 0 || lo < 0)
                return std::nullopt;
            out += static_cast<char>(hi * 16 + lo);
            i += 3;
        } else {
            return std::nullopt;
        }
    }
    return out;
}

} // namespace encsim
