// What the simulated encoder keeps in its non-volatile memory: identity, configuration
// and the pager database. Survives reboots and power cycles.
#pragma once

#include "encsim/bytes.h"

#include <array>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace encsim {

// One pager group: Group ID, Active, Aux1 Active, Aux1 Msg, Aux2 Active, Aux2 Msg,
// Timer Active, Timer Msg, then 20 pager IDs.
struct Group {
    static constexpr int kFields = 28;
    std::array<long long, kFields> f{};

    long long groupId() const { return f[0]; }
    bool defined() const { return f[0] != 0; }
    bool active() const { return f[1] == 1; }
    long long pager(int i) const { return f[static_cast<std::size_t>(8 + i)]; }
};

struct Family {
    long long active = 0;
    long long startCap = 0;
    long long rate = 5;  // "5" = 512, "1" = 1200, "2" = 2400
    std::string type = "A";
    long long func = 0;  // 0-3 = function 1-4
    long long qty = 0;
    long long startId = 0;
    long long prefix = 0;
    long long suffix = 0;
};

inline constexpr int kGroups = 10;
inline constexpr int kFamilies = 50;
inline constexpr int kMessages = 15;

struct DeviceState {
    std::string firmware = "9.7";
    std::optional<int> generationOverride; // behaviour that disagrees with the reported text
    int attachedPort = 1;
    bool v7DipSwitchesOn = true;
    bool v7PetSupported = true;

    // Wire values by canonical key: "maxbatch", "serial1 baud", "modattenc", ...
    std::map<std::string, std::string> config;

    std::array<Group, kGroups> groups{};
    std::array<Family, kFamilies> families{};
    std::array<Bytes, kMessages> messages{};

    int generation() const;
    // V7 and capital-"S" firmware have one port: they always report port 1.
    int effectiveAttachedPort() const;
    // Minor number as the program computes it from the firmware text; nullopt when not a number.
    std::optional<long long> firmwareMinor() const;
    bool snppAllowed() const;
    bool hasStationId() const { return firmware != "9.01"; }

    std::string cfg(const std::string &key) const;
    long long cfgNumber(const std::string &key) const; // 0 when absent or not a number
    std::string portKey(int port, const std::string &item) const
    {
        return "serial" + std::to_string(port) + " " + item;
    }
    std::string attachedCfg(const std::string &item) const { return cfg(portKey(effectiveAttachedPort(), item)); }

    static DeviceState factory(int generation);
    static DeviceState demo();
    // "factory-v9", "factory-v8", "factory-v7", "demo"
    static std::optional<DeviceState> preset(const std::string &name);

    // A line-based text form: "key=value" with byte escapes; records as their reply lines.
    std::string toText() const;
    static std::optional<DeviceState> fromText(const std::string &text, std::string *error);
};

} // namespace encsim
