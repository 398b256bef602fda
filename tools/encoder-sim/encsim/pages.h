// Pages the encoder puts on the air, and how the pager field of a paging-mode frame becomes
// capcodes: the pager database (families and groups) for pager IDs, the field itself for
// capcodes.
#pragma once

#include "encsim/bytes.h"
#include "encsim/device.h"
#include "encsim/events.h"
#include "encsim/knobs.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace encsim {

// One transmitted page: one capcode. A group ID gives one page per member pager.
struct Page {
    Time time = 0;
    int port = 1;
    std::string protocol; // the port's protocol ("TAP", "PET", "COMP1", ...); "TIMER" for timed group pages
    Bytes pager;          // the pager field as the frame carried it ("123", "1234A50", "0000123")
    std::string via;      // "family 1", "group 1 / family 2", "capcode", "long form", "timer group 3"
    long long capcode = 0;
    int rate = 512;       // bits per second: 512, 1200 or 2400
    char type = 'A';      // 'A' alphanumeric, 'N' numeric
    int function = 4;     // 1 to 4
    Bytes message;        // the message as received
    Bytes text;           // as transmitted: prefix canned message, message, suffix canned message

    double ms() const { return static_cast<double>(time) / 1000.0; }
    std::string capcodeText() const; // seven digits, zero-filled
    // The event text: "port 1 TAP capcode 1234023 rate 512 type A function 4 pager "123" via
    // family 1 text "..."" (control characters named).
    std::string describe() const;
};

// Where one page goes; a resolution yields one target per capcode.
struct Target {
    long long capcode = 0;
    int rate = 512;
    char type = 'A';
    int function = 4;
    int prefix = 0; // canned message numbers, 0 = none
    int suffix = 0;
    std::string via;
};

struct Resolution {
    std::vector<Target> targets;
    std::string error;              // why the field names no pager; empty when resolved
    bool malformed = false;         // the field is no pager ID, long form or capcode at all
    std::vector<std::string> notes; // group members left out, and why
    bool ok() const { return error.empty() && !targets.empty(); }
};

// What the resolution needs of the encoder.
struct ResolveContext {
    const DeviceState &state;
    bool capby8 = false;      // capcodes of a family step by 8 (latched at boot)
    bool idAsCapcode = false; // the port takes pager IDs as capcodes
    AllDigitIds allDigitIds = AllDigitIds::LongForm;
};

enum class PagerForm {
    Any,   // the port's rules: capcode when ID-as-capcode, else long form or short form
    Short, // a short pager ID whatever the port's mode (COMP1's default pager)
};

// The capcode rule: decimal, not 0-8, not 2007664-2007671, not 2045056-2045063, not above 2097143.
bool capcodeLegal(long long capcode);
// 512, 1200, 2400 for the family codes "5", "1", "2"; 0 for any other code.
int rateOfCode(long long code);
// 1-4 for "A"-"D" in either case; 0 otherwise.
int functionOfLetter(char letter);

// Resolves a pager field. `function` (1-4), when given, overrides the function of every target.
Resolution resolvePager(std::string_view field, const ResolveContext &ctx, PagerForm form = PagerForm::Any,
                        std::optional<int> function = std::nullopt);
// Every member of group n (1-10) that an active family holds.
Resolution groupTargets(int n, const ResolveContext &ctx, std::optional<int> function = std::nullopt);
// A capcode given as digits (the capcode protocols), with the frame's rate and function.
Resolution capcodeTarget(std::string_view digits, int rate, int function);

// The page's text on the air: the prefix and suffix canned messages (when set and not empty)
// around the message, one blank between the parts.
Bytes pageText(const DeviceState &state, const Target &target, const Bytes &message);

} // namespace encsim
