// The configuration keys each generation answers, with their vocabulary.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace encsim {

enum class ValueKind { Flag, Number, Text, Choice };

struct ConfigKey {
    std::string_view command; // as written after "config ", lower case ("serial1 baud")
    std::string_view storage; // key in DeviceState::config
    ValueKind kind;
    long long min = 0;
    long long max = 0;
    std::vector<std::string_view> choices = {};
};

// nullopt/nullptr when this generation has no such key.
const ConfigKey *findKey(int generation, std::string_view commandLower);
std::span<const ConfigKey> keysOf(int generation);

// The last word of the key in capitals: "serial1 baud" -> "BAUD".
std::string replyWord(std::string_view command);

// Checks a value against the key's vocabulary; returns the canonical wire value.
std::optional<std::string> canonicalValue(const ConfigKey &info, std::string_view value);

} // namespace encsim
