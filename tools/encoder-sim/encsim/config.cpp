#include "encsim/config.h"

#include "encsim/bytes.h"

#include <optional>

namespace encsim {

namespace {

const std::vector<std::string_view> kFlows = {"NONE", "HW", "SW", "AHW", "ASW"};
const std::vector<std::string_view> kProtocols = {"TAP", "PET", "COMP1", "COMP2", "ZQ", "SCOPE", "SNPP"};
const std::vector<std::string_view> kFormats = {"N81", "E71", "O71"};
const std::vector<std::string_view> kBauds = {"300", "1200", "2400", "9600"};

#define PORT_KEYS(n)                                                                   \
    ConfigKey{"serial" #n " idascap", "serial" #n " idascap", ValueKind::Flag},          \
        ConfigKey{"serial" #n " flow", "serial" #n " flow", ValueKind::Choice, 0, 0, kFlows}, \
        ConfigKey{"serial" #n " pphreset", "serial" #n " pphreset", ValueKind::Flag},    \
        ConfigKey{"serial" #n " protocol", "serial" #n " protocol", ValueKind::Choice, 0, 0, kProtocols}, \
        ConfigKey{"serial" #n " verbose", "serial" #n " verbose", ValueKind::Flag},      \
        ConfigKey{"serial" #n " databits", "serial" #n " databits", ValueKind::Choice, 0, 0, kFormats}, \
        ConfigKey{"serial" #n " baud", "serial" #n " baud", ValueKind::Choice, 0, 0, kBauds}

const std::vector<ConfigKey> kTwoPortKeys = {
    {"sid", "sid", ValueKind::Text, 0, 32},
    {"sidint", "sidint", ValueKind::Number, 1, 255},
    {"maxbatch", "maxbatch", ValueKind::Number, 0, 65535},
    {"dutycycle", "dutycycle", ValueKind::Number, 0, 65535},
    {"ignorerfcd", "ignorerfcd", ValueKind::Flag},
    {"invertrfcd", "invertrfcd", ValueKind::Flag},
    {"invertdata", "invertdata", ValueKind::Flag},
    {"capby8", "capby8", ValueKind::Flag},
    PORT_KEYS(1),
    PORT_KEYS(2),
    {"modattenc", "modattenc", ValueKind::Number, 0, 39},
    {"modattenf", "modattenf", ValueKind::Number, -99, 99},
};

const std::vector<ConfigKey> kV7Keys = {
    {"maxbatch", "maxbatch", ValueKind::Number, 0, 65535},
    {"dutycycle", "dutycycle", ValueKind::Number, 0, 65535},
    {"pphreset", "serial1 pphreset", ValueKind::Flag},
    {"ignorerfcd", "ignorerfcd", ValueKind::Flag},
    {"pet", "pet", ValueKind::Flag},
    {"invertrfcd", "invertrfcd", ValueKind::Flag},
    {"invertdata", "invertdata", ValueKind::Flag},
    {"briefack", "briefack", ValueKind::Flag},
    {"altfc", "altfc", ValueKind::Flag},
    {"idascap", "serial1 idascap", ValueKind::Flag},
    {"modattenc", "modattenc", ValueKind::Number, 0, 39},
    {"modattenf", "modattenf", ValueKind::Number, -99, 99},
};

#undef PORT_KEYS

} // namespace

std::span<const ConfigKey> keysOf(int generation)
{
    return generation == 7 ? std::span<const ConfigKey>(kV7Keys) : std::span<const ConfigKey>(kTwoPortKeys);
}

const ConfigKey *findKey(int generation, std::string_view commandLower)
{
    for (const auto &k : keysOf(generation))
        if (k.command == commandLower)
            return &k;
    return nullptr;
}

std::string replyWord(std::string_view command)
{
    const auto blank = command.rfind(' ');
    return toUpper(blank == std::string_view::npos ? command : command.substr(blank + 1));
}

std::optional<std::string> canonicalValue(const ConfigKey &info, std::string_view value)
{
    switch (info.kind) {
    case ValueKind::Flag:
        if (value == "0" || value == "1")
            return std::string(value);
        return std::nullopt;
    case ValueKind::Number: {
        const auto v = parseDecimal(value, info.min < 0);
        if (!v || *v < info.min || *v > info.max)
            return std::nullopt;
        return std::to_string(*v);
    }
    case ValueKind::Text:
        if (static_cast<long long>(value.size()) > info.max)
            return std::nullopt;
        return std::string(value);
    case ValueKind::Choice:
        for (auto c : info.choices)
            if (iequals(c, value))
                return std::string(c);
        return std::nullopt;
    }
    return std::nullopt;
}

} // namespace encsim
