#include "encsim/records.h"

#include <algorithm>

namespace encsim {

namespace {

std::string zeroFill(long long v, int width)
{
    std::string digits = std::to_string(v < 0 ? -v : v);
    if (static_cast<int>(digits.size()) < width)
        digits.insert(0, static_cast<std::size_t>(width - static_cast<int>(digits.size())), '0');
    return v < 0 ? "-" + digits : digits;
}

constexpr int kGroupWidths[8] = {4, 1, 1, 2, 1, 2, 1, 2};
constexpr int kPagerIdWidth = 4;

int slotCount(char letter)
{
    switch (letter) {
    case 'L': return kGroups;
    case 'G': return kFamilies;
    case 'M': return kMessages;
    default: return 0;
    }
}

// Letter and slot number from the first two blank-separated words.
bool parseHead(std::string_view letterField, std::string_view numberField, char &letter, int &number,
               bool &leadingZeros)
{
    if (letterField.size() != 1)
        return false;
    letter = static_cast<char>(letterField[0]);
    if (letter >= 'a' && letter <= 'z')
        letter = static_cast<char>(letter - 'a' + 'A');
    const auto n = parseDecimal(numberField);
    if (!n || *n < 1 || *n > slotCount(letter))
        return false;
    number = static_cast<int>(*n);
    leadingZeros = numberField.size() > 1 && numberField[0] == '0';
    return true;
}

long long numberField(const std::string &text, const char *name, long long min, long long max,
                      std::vector<std::string> &issues)
{
    if (text.empty()) {
        issues.push_back(std::string(name) + ": empty field stored as 0");
        return 0;
    }
    const auto v = parseDecimal(text);
    if (!v) {
        issues.push_back(std::string(name) + ": \"" + namedBytes(text) + "\" is not a number, stored as 0");
        return 0;
    }
    if (*v < min || *v > max)
        issues.push_back(std::string(name) + ": " + std::to_string(*v) + " out of range " + std::to_string(min) +
                         "-" + std::to_string(max));
    return *v;
}

} // namespace

Bytes blockChecksum(std::string_view stxThroughEtx)
{
    unsigned long long sum = 0;
    for (char c : stxThroughEtx)
        sum += static_cast<unsigned char>(c);
    const unsigned v = static_cast<unsigned>(sum & 0xFFF);
    Bytes out(3, '0');
    out[0] = static_cast<char>('0' + ((v >> 8) & 0xF));
    out[1] = static_cast<char>('0' + ((v >> 4) & 0xF));
    out[2] = static_cast<char>('0' + (v & 0xF));
    return out;
}

Bytes buildBlock(std::string_view pagerId, std::string_view message)
{
    Bytes block;
    block += ctl::STX;
    block += pagerId;
    block += ctl::CR;
    block += message;
    block += ctl::CR;
    block += ctl::ETX;
    block += blockChecksum(block);
    block += ctl::CR;
    return block;
}

std::optional<ParsedBlock> parseBlock(std::string_view frame)
{
    // STX id CR message CR ETX c c c
    if (frame.size() < 6 || frame[0] != ctl::STX)
        return std::nullopt;
    const std::size_t etx = frame.size() - 4;
    if (frame[etx] != ctl::ETX && frame[etx] != ctl::ETB)
        return std::nullopt;
    const std::string_view body = frame.substr(1, etx - 1); // id CR message CR
    const auto cr = body.find(ctl::CR);
    if (cr == std::string_view::npos || body.empty() || body.back() != ctl::CR)
        return std::nullopt;
    ParsedBlock b;
    b.pagerId = Bytes(body.substr(0, cr));
    b.message = cr + 1 <= body.size() - 1 ? Bytes(body.substr(cr + 1, body.size() - 1 - (cr + 1))) : Bytes();
    b.checksum = Bytes(frame.substr(etx + 1, 3));
    b.expectedChecksum = blockChecksum(frame.substr(0, etx + 1));
    return b;
}

Bytes groupLine(int n, const Group &g, EmptyGroupStyle emptyStyle)
{
    Bytes line = "L " + std::to_string(n);
    if (!g.defined() && emptyStyle == EmptyGroupStyle::Short)
        return line + " 0000";
    if (!g.defined() && emptyStyle == EmptyGroupStyle::AsWritten)
        return line + " 0 0 0 0 0 0 0 0";
    for (int i = 0; i < Group::kFields; ++i)
        line += " " + zeroFill(g.f[static_cast<std::size_t>(i)], i < 8 ? kGroupWidths[i] : kPagerIdWidth);
    return line;
}

Bytes familyLine(int n, const Family &f)
{
    return "G " + std::to_string(n) + " " + zeroFill(f.active, 1) + " " + zeroFill(f.startCap, 7) + " " +
           zeroFill(f.rate, 1) + " " + f.type + " " + zeroFill(f.func, 1) + " " + zeroFill(f.qty, 3) + " " +
           zeroFill(f.startId, 4) + " " + zeroFill(f.prefix, 2) + " " + zeroFill(f.suffix, 2);
}

Bytes messageLine(int n, const Bytes &text)
{
    return "M " + std::to_string(n) + " \"" + text + "\"";
}

std::optional<RecordRequest> parseRequest(std::string_view text)
{
    const auto fields = splitKeep(text, ' ');
    if (fields.size() != 2)
        return std::nullopt;
    RecordRequest r;
    if (!parseHead(fields[0], fields[1], r.letter, r.number, r.leadingZeros))
        return std::nullopt;
    return r;
}

std::optional<RecordWrite> parseWrite(std::string_view text)
{
    const auto firstBlank = text.find(' ');
    if (firstBlank == std::string_view::npos)
        return std::nullopt;
    const auto secondBlank = text.find(' ', firstBlank + 1);
    const std::string_view numberText =
        text.substr(firstBlank + 1, secondBlank == std::string_view::npos ? std::string_view::npos
                                                                            : secondBlank - firstBlank - 1);
    RecordWrite w;
    if (!parseHead(text.substr(0, firstBlank), numberText, w.letter, w.number, w.leadingZeros))
        return std::nullopt;
    const std::string_view rest =
        secondBlank == std::string_view::npos ? std::string_view() : text.substr(secondBlank + 1);

    if (w.letter == 'M') {
        const auto first = rest.find('"');
        const auto last = rest.rfind('"');
        if (first == std::string_view::npos || last == first) {
            w.malformed = true;
            w.issues.push_back("message text not between double quotes");
            Bytes t(rest);
            if (first != std::string_view::npos)
                t.erase(first, 1);
            w.message = t;
        } else {
            if (first != 0)
                w.issues.push_back("bytes before the opening double quote");
            if (last + 1 != rest.size())
                w.issues.push_back("bytes after the closing double quote");
            w.message = Bytes(rest.substr(first + 1, last - first - 1));
        }
        return w;
    }

    const auto fields = secondBlank == std::string_view::npos ? std::vector<std::string>() : splitKeep(rest, ' ');
    if (w.letter == 'L') {
        static const char *names[8] = {"Group ID", "Active", "Aux1 Active", "Aux1 Msg",
                                       "Aux2 Active", "Aux2 Msg", "Timer Active", "Timer Msg"};
        static const long long maxima[8] = {9999, 1, 1, 15, 1, 15, 1, 15};
        if (fields.size() != 28 && fields.size() != 8) {
            w.malformed = true;
            w.issues.push_back("group record with " + std::to_string(fields.size()) + " fields");
        }
        // The short form (8 fields) is the single-port writer's empty group: pager IDs stay 0.
        const std::size_t n = std::min<std::size_t>(fields.size(), Group::kFields);
        for (std::size_t i = 0; i < n; ++i) {
            const std::string name = i < 8 ? std::string(names[i]) : "Pager ID " + std::to_string(i - 7);
            w.group.f[i] = numberField(fields[i], name.c_str(), 0, i < 8 ? maxima[i] : 9999, w.issues);
        }
        return w;
    }

    // Family: Active StartCap Rate PgrType Func PagerQty StartID Prefix Suffix
    if (fields.size() != 9) {
        w.malformed = true;
        w.issues.push_back("family record with " + std::to_string(fields.size()) + " fields");
    }
    auto field = [&](std::size_t i) -> std::optional<std::string> {
        if (i < fields.size())
            return fields[i];
        return std::nullopt;
    };
    Family &f = w.family;
    if (auto v = field(0))
        f.active = numberField(*v, "Active", 0, 1, w.issues);
    if (auto v = field(1))
        f.startCap = numberField(*v, "StartCap", 0, 2097151, w.issues);
    if (auto v = field(2)) {
        f.rate = numberField(*v, "Rate", 0, 9, w.issues);
        if (f.rate != 5 && f.rate != 1 && f.rate != 2)
            w.issues.push_back("Rate " + std::to_string(f.rate) + " is not 5, 1 or 2");
    }
    if (auto v = field(3)) {
        f.type = toUpper(*v);
        if (f.type.empty()) {
            w.issues.push_back("PgrType: empty field stored as A");
            f.type = "A";
        } else if (f.type != "A" && f.type != "N") {
            w.issues.push_back("PgrType \"" + namedBytes(f.type) + "\" is not A or N");
        }
    }
    if (auto v = field(4))
        f.func = numberField(*v, "Func", 0, 3, w.issues);
    if (auto v = field(5))
        f.qty = numberField(*v, "PagerQty", 0, 999, w.issues);
    if (auto v = field(6))
        f.startId = numberField(*v, "StartID", 0, 9999, w.issues);
    if (auto v = field(7))
        f.prefix = numberField(*v, "Prefix", 0, 15, w.issues);
    if (auto v = field(8))
        f.suffix = numberField(*v, "Suffix", 0, 15, w.issues);
    return w;
}

} // namespace encsim
