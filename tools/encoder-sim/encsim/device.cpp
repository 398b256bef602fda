#include "encsim/device.h"

#include "encsim/config.h"
#include "encsim/records.h"

#include <sstream>

namespace encsim {

int DeviceState::generation() const
{
    if (generationOverride)
        return *generationOverride;
    if (!firmware.empty() && (firmware[0] == '7' || firmware[0] == '8'))
        return firmware[0] - '0';
    return 9;
}

int DeviceState::effectiveAttachedPort() const
{
    if (generation() == 7 || firmware.find('S') != std::string::npos)
        return 1;
    return attachedPort == 2 ? 2 : 1;
}

std::optional<long long> DeviceState::firmwareMinor() const
{
    // p = 1-based position of the first "." (0 when none); the minor number is what follows,
    // less a final "S"/"s".
    const auto dot = firmware.find('.');
    const std::size_t p = dot == std::string::npos ? 0 : dot + 1;
    const std::size_t len = firmware.size();
    if (len < p)
        return std::nullopt;
    std::size_t count = len - p;
    if (!firmware.empty() && (firmware.back() == 'S' || firmware.back() == 's'))
        count = count > 0 ? count - 1 : 0;
    return parseDecimal(std::string_view(firmware).substr(p, count));
}

bool DeviceState::snppAllowed() const
{
    const auto minor = firmwareMinor();
    return generation() == 9 && minor && *minor >= 7;
}

std::string DeviceState::cfg(const std::string &key) const
{
    const auto it = config.find(key);
    return it == config.end() ? std::string() : it->second;
}

long long DeviceState::cfgNumber(const std::string &key) const
{
    return parseDecimal(cfg(key), true).value_or(0);
}

DeviceState DeviceState::factory(int generation)
{
    DeviceState s;
    s.firmware = generation == 7 ? "7.2" : generation == 8 ? "8.12" : "9.7";
    s.config = {
        {"sid", ""},          {"sidint", "14"},    {"maxbatch", "10"},  {"dutycycle", "66"},
        {"ignorerfcd", "0"},  {"invertrfcd", "0"}, {"invertdata", "1"}, {"capby8", "0"},
        {"modattenc", "8"},   {"modattenf", "2"},  {"pet", "0"},        {"briefack", "0"},
        {"altfc", "0"},
    };
    for (int port = 1; port <= 2; ++port) {
        s.config[s.portKey(port, "protocol")] = "TAP";
        s.config[s.portKey(port, "baud")] = "9600";
        s.config[s.portKey(port, "databits")] = "N81";
        s.config[s.portKey(port, "flow")] = "HW";
        s.config[s.portKey(port, "verbose")] = "0";
        s.config[s.portKey(port, "pphreset")] = "1";
        s.config[s.portKey(port, "idascap")] = "0";
    }
    if (generation == 7) {
        // The single-port encoder's wire senses: invertrfcd "1" and invertdata "0" are normal.
        s.config["invertrfcd"] = "1";
        s.config["invertdata"] = "0";
    }
    return s;
}

DeviceState DeviceState::demo()
{
    DeviceState s = factory(9);
    // Family 1: alphanumeric pagers at 512 bps, function 4, IDs 100-149.
    s.families[0] = Family{1, 1234000, 5, "A", 3, 50, 100, 0, 0};
    // Family 2: numeric pagers at 1200 bps, function 1, IDs 200-219.
    s.families[1] = Family{1, 1300000, 1, "N", 0, 20, 200, 0, 0};
    // Group 1 (Group ID 10): three alpha pagers and one numeric pager.
    Group &g = s.groups[0];
    g.f[0] = 10;
    g.f[1] = 1;
    g.f[8] = 100;
    g.f[9] = 101;
    g.f[10] = 102;
    g.f[11] = 200;
    s.messages[0] = "Call the office";
    s.messages[1] = "Meeting in 5 minutes";
    return s;
}

std::optional<DeviceState> DeviceState::preset(const std::string &name)
{
    const std::string n = toLower(name);
    if (n == "factory-v9" || n == "factory")
        return factory(9);
    if (n == "factory-v8")
        return factory(8);
    if (n == "factory-v7")
        return factory(7);
    if (n == "demo")
        return demo();
    return std::nullopt;
}

std::string DeviceState::toText() const
{
    std::ostringstream out;
    out << "# encoder-sim state\n";
    out << "firmware=" << escapeLine(firmware) << "\n";
    if (generationOverride)
        out << "generation=" << *generationOverride << "\n";
    out << "attached_port=" << attachedPort << "\n";
    out << "v7_dip_switches_on=" << (v7DipSwitchesOn ? 1 : 0) << "\n";
    out << "v7_pet_supported=" << (v7PetSupported ? 1 : 0) << "\n";
    for (const auto &[key, value] : config) {
        std::string k = key;
        for (char &c : k)
            if (c == ' ')
                c = '.';
        out << "config." << k << "=" << escapeLine(value) << "\n";
    }
    for (int i = 0; i < kGroups; ++i)
        out << escapeLine(groupLine(i + 1, groups[static_cast<std::size_t>(i)], EmptyGroupStyle::Full)) << "\n";
    for (int i = 0; i < kFamilies; ++i)
        out << escapeLine(familyLine(i + 1, families[static_cast<std::size_t>(i)])) << "\n";
    for (int i = 0; i < kMessages; ++i)
        out << escapeLine(messageLine(i + 1, messages[static_cast<std::size_t>(i)])) << "\n";
    return out.str();
}

std::optional<DeviceState> DeviceState::fromText(const std::string &text, std::string *error)
{
    auto fail = [&](int lineNo, const std::string &why) -> std::optional<DeviceState> {
        if (error)
            *error = "line " + std::to_string(lineNo) + ": " + why;
        return std::nullopt;
    };
    DeviceState s = factory(9);
    bool firmwareSeen = false;
    std::istringstream in(text);
    std::string raw;
    int lineNo = 0;
    while (std::getline(in, raw)) {
        ++lineNo;
        if (!raw.empty() && raw.back() == '\r')
            raw.pop_back();
        if (raw.empty() || raw[0] == '#')
            continue;
        const auto line = unescapeLine(raw);
        if (!line)
            return fail(lineNo, "bad escape");
        if (line->size() > 2 && (line->at(0) == 'L' || line->at(0) == 'G' || line->at(0) == 'M') &&
            line->at(1) == ' ') {
            const auto w = parseWrite(*line);
            if (!w || w->malformed)
                return fail(lineNo, "bad record line");
            const auto idx = static_cast<std::size_t>(w->number - 1);
            if (w->letter == 'L')
                s.groups[idx] = w->group;
            else if (w->letter == 'G')
                s.families[idx] = w->family;
            else
                s.messages[idx] = w->message;
            continue;
        }
        const auto eq = line->find('=');
        if (eq == std::string::npos)
            return fail(lineNo, "expected key=value");
        const std::string key = line->substr(0, eq);
        const std::string value = line->substr(eq + 1);
        if (key == "firmware") {
            s.firmware = value;
            firmwareSeen = true;
        } else if (key == "generation") {
            const auto g = parseDecimal(value);
            if (!g || (*g != 7 && *g != 8 && *g != 9))
                return fail(lineNo, "generation must be 7, 8 or 9");
            s.generationOverride = static_cast<int>(*g);
        } else if (key == "attached_port") {
            if (value != "1" && value != "2")
                return fail(lineNo, "attached_port must be 1 or 2");
            s.attachedPort = value[0] - '0';
        } else if (key == "v7_dip_switches_on" || key == "v7_pet_supported") {
            if (value != "0" && value != "1")
                return fail(lineNo, key + " must be 0 or 1");
            (key == "v7_dip_switches_on" ? s.v7DipSwitchesOn : s.v7PetSupported) = value == "1";
        } else if (key.rfind("config.", 0) == 0) {
            std::string k = key.substr(7);
            for (char &c : k)
                if (c == '.')
                    c = ' ';
            s.config[k] = value;
        } else {
            return fail(lineNo, "unknown key " + key);
        }
    }
    if (!firmwareSeen)
        return fail(lineNo, "no firmware line");
    return s;
}

} // namespace encsim
