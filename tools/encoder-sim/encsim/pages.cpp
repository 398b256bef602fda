#include "encsim/pages.h"

namespace encsim {

namespace {

constexpr long long kMaxCapcode = 2097143;

// A digit string as a number; nullopt when empty, not digits or out of range.
std::optional<long long> digitsValue(std::string_view text)
{
    if (!allDigits(text))
        return std::nullopt;
    return parseDecimal(text);
}

// The long form: digits, then the page type ("A", "a", "1" alphanumeric; "N", "n", "0"
// numeric), the rate code ("5", "1", "2") and the function code ("0"-"3" are functions 1-4 as
// in a family record; "4" is function 4 too).
Resolution longForm(std::string_view field, std::optional<int> function)
{
    Resolution r;
    const std::size_t n = field.size();
    const char type = field[n - 3], rate = field[n - 2], func = field[n - 1];
    const std::string_view digits = field.substr(0, n - 3);
    if (std::string_view("AaNn01").find(type) == std::string_view::npos || std::string_view("512").find(rate) ==
            std::string_view::npos || func < '0' || func > '4' || !digitsValue(digits)) {
        r.error = "\"" + namedBytes(field) + "\" is neither a pager ID nor a long form";
        r.malformed = true;
        return r;
    }
    const long long capcode = *digitsValue(digits);
    if (!capcodeLegal(capcode)) {
        r.error = "long form \"" + namedBytes(field) + "\": capcode " + std::to_string(capcode) + " is illegal";
        return r;
    }
    Target t;
    t.capcode = capcode;
    t.rate = rateOfCode(rate - '0');
    t.type = (type == 'A' || type == 'a' || type == '1') ? 'A' : 'N';
    t.function = function ? *function : (func == '4' ? 4 : func - '0' + 1);
    t.via = "long form";
    r.targets.push_back(t);
    return r;
}

// The active family that holds pager ID `id`; fills *why when none does.
std::optional<Target> familyTarget(long long id, const ResolveContext &ctx, std::optional<int> function,
                                   std::string *why)
{
    const long long step = ctx.capby8 ? 8 : 1;
    std::string inactive;
    for (int i = 0; i < kFamilies; ++i) {
        const Family &f = ctx.state.families[static_cast<std::size_t>(i)];
        if (f.qty <= 0 || id < f.startId || id > f.startId + f.qty - 1)
            continue;
        const std::string name = "family " + std::to_string(i + 1);
        if (f.active != 1) {
            if (inactive.empty())
                inactive = name;
            continue;
        }
        Target t;
        t.capcode = f.startCap + (id - f.startId) * step;
        t.rate = rateOfCode(f.rate);
        t.type = !f.type.empty() && (f.type[0] == 'N' || f.type[0] == 'n') ? 'N' : 'A';
        t.function = function ? *function : static_cast<int>(f.func & 3) + 1;
        t.prefix = static_cast<int>(f.prefix);
        t.suffix = static_cast<int>(f.suffix);
        t.via = name;
        if (!t.rate) {
            *why = name + " has no valid rate code (" + std::to_string(f.rate) + ")";
            return std::nullopt;
        }
        if (!capcodeLegal(t.capcode)) {
            *why = "pager ID " + std::to_string(id) + " of " + name + " gives the illegal capcode " +
                   std::to_string(t.capcode);
            return std::nullopt;
        }
        return t;
    }
    *why = inactive.empty() ? "pager ID " + std::to_string(id) + " is in no family"
                            : "pager ID " + std::to_string(id) + " is in " + inactive + ", which is not active";
    return std::nullopt;
}

Resolution shortForm(long long id, const ResolveContext &ctx, std::optional<int> function)
{
    Resolution r;
    std::string why;
    if (auto t = familyTarget(id, ctx, function, &why)) {
        r.targets.push_back(*t);
        return r;
    }
    for (int i = 0; i < kGroups; ++i) {
        const Group &g = ctx.state.groups[static_cast<std::size_t>(i)];
        if (!g.defined() || g.groupId() != id)
            continue;
        if (!g.active()) {
            r.error = "group ID " + std::to_string(id) + " is group " + std::to_string(i + 1) + ", which is not active";
            return r;
        }
        return groupTargets(i + 1, ctx, function);
    }
    r.error = why;
    return r;
}

} // namespace

Resolution groupTargets(int n, const ResolveContext &ctx, std::optional<int> function)
{
    Resolution r;
    const Group &g = ctx.state.groups[static_cast<std::size_t>(n - 1)];
    const std::string name = "group " + std::to_string(n);
    for (int m = 0; m < 20; ++m) {
        const long long member = g.pager(m);
        if (member == 0)
            continue;
        std::string why;
        if (auto t = familyTarget(member, ctx, function, &why)) {
            t->via = name + " / " + t->via;
            r.targets.push_back(*t);
        } else {
            r.notes.push_back(name + " member left out: " + why);
        }
    }
    if (r.targets.empty())
        r.error = name + " (group ID " + std::to_string(g.groupId()) + ") has no member an active family holds";
    return r;
}

std::string Page::capcodeText() const
{
    std::string c = std::to_string(capcode);
    if (c.size() < 7)
        c.insert(0, 7 - c.size(), '0');
    return c;
}

std::string Page::describe() const
{
    return "port " + std::to_string(port) + " " + protocol + " capcode " + capcodeText() + " rate " +
           std::to_string(rate) + " type " + std::string(1, type) + " function " + std::to_string(function) +
           " pager \"" + namedBytes(pager) + "\" via " + via + " text \"" + namedBytes(text) + "\"";
}

bool capcodeLegal(long long capcode)
{
    if (capcode <= 8 || capcode > kMaxCapcode)
        return false;
    if (capcode >= 2007664 && capcode <= 2007671)
        return false;
    if (capcode >= 2045056 && capcode <= 2045063)
        return false;
    return true;
}

int rateOfCode(long long code)
{
    switch (code) {
    case 5: return 512;
    case 1: return 1200;
    case 2: return 2400;
    default: return 0;
    }
}

int functionOfLetter(char letter)
{
    if (letter >= 'a' && letter <= 'd')
        return letter - 'a' + 1;
    if (letter >= 'A' && letter <= 'D')
        return letter - 'A' + 1;
    return 0;
}

Resolution resolvePager(std::string_view field, const ResolveContext &ctx, PagerForm form,
                        std::optional<int> function)
{
    Resolution r;
    if (field.empty()) {
        r.error = "empty pager ID";
        r.malformed = true;
        return r;
    }
    // Digits with an optional function letter at the end.
    std::string_view digits = field;
    std::optional<int> letter;
    if (functionOfLetter(field.back())) {
        letter = functionOfLetter(field.back());
        digits = field.substr(0, field.size() - 1);
    }
    if (!function)
        function = letter;
    const bool digitsOnly = digitsValue(digits).has_value();

    if (form == PagerForm::Any && ctx.idAsCapcode) {
        if (!digitsOnly) {
            r.error = "\"" + namedBytes(field) + "\" is not a capcode (the port takes pager IDs as capcodes)";
            r.malformed = true;
            return r;
        }
        Resolution c = capcodeTarget(digits, 512, function.value_or(4));
        for (auto &t : c.targets)
            t.type = 'A';
        return c;
    }
    const bool numeric = form == PagerForm::Short || ctx.allDigitIds == AllDigitIds::Numeric;
    if (!(numeric && digitsOnly) && field.size() >= 5)
        return longForm(field, function);
    if (!digitsOnly) {
        r.error = "\"" + namedBytes(field) + "\" is not a pager ID";
        r.malformed = true;
        return r;
    }
    return shortForm(*digitsValue(digits), ctx, function);
}

Resolution capcodeTarget(std::string_view digits, int rate, int function)
{
    Resolution r;
    const auto value = digitsValue(digits);
    if (!value) {
        r.error = "capcode \"" + namedBytes(digits) + "\" is not a number";
        r.malformed = true;
        return r;
    }
    if (!capcodeLegal(*value)) {
        r.error = "capcode " + std::to_string(*value) + " is illegal";
        return r;
    }
    Target t;
    t.capcode = *value;
    t.rate = rate;
    t.function = function;
    t.via = "capcode";
    r.targets.push_back(t);
    return r;
}

Bytes pageText(const DeviceState &state, const Target &target, const Bytes &message)
{
    const auto canned = [&state](int n) -> Bytes {
        return n >= 1 && n <= kMessages ? state.messages[static_cast<std::size_t>(n - 1)] : Bytes();
    };
    Bytes text;
    for (const Bytes &part : {canned(target.prefix), message, canned(target.suffix)}) {
        if (part.empty())
            continue;
        if (!text.empty())
            text += ' ';
        text += part;
    }
    return text;
}

} // namespace encsim
