// The simulated encoder's event log: what went over the line and what the device made of it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace encsim {

// Microseconds since the simulator started (virtual time in the core's unit tests).
using Time = std::int64_t;
constexpr Time msToTime(double ms) { return static_cast<Time>(ms * 1000.0); }

enum class EventKind {
    Input,      // bytes received from the PC
    Output,     // bytes sent to the PC
    Command,    // a programming-mode command (ATI, reboot, LOOKUP, test tone, unknown line)
    Query,      // "config KEY?" answered
    Setting,    // "config KEY VALUE" with old and new value
    Refusal,    // "Invalid", NAK and the like
    Record,     // record block read or written
    Mode,       // mode change
    Speed,      // line speed observed, matched or not
    Tone,       // test tone on/off
    Reboot,     // boot started/finished
    Lookup,     // LOOKUP answered
    Paging,     // paging-mode input and answers
    Page,       // a page transmitted (one capcode)
    Knob,       // a knob fired or was set
    Warning,    // coercions, lenient acceptance
    Violation,  // the PC broke the protocol
    Line,       // PC port open/closed, hangup, cable
    Control,    // control-interface operations
};

std::string_view kindName(EventKind kind);

struct Event {
    Time time = 0;
    EventKind kind = EventKind::Control;
    std::string text;
    std::string bytes; // raw bytes for Input/Output events

    double ms() const { return static_cast<double>(time) / 1000.0; }
    // "   123.456 out      <CR><LF>TAP Programming Mode, 9600 baud"
    std::string line() const;
    // Case-insensitive substring match on "kind text", e.g. "mode PROGRAMMING".
    bool matches(std::string_view pattern) const;
};

// Thread-safe append-only log with waiting.
class EventLog {
public:
    void add(Time time, EventKind kind, std::string text, std::string bytes = {});

    std::size_t size() const;
    std::vector<Event> since(std::size_t index) const;
    std::vector<Event> all() const { return since(0); }
    std::size_t count(EventKind kind) const;
    std::size_t count(std::string_view pattern) const;
    std::optional<Event> find(std::string_view pattern, std::size_t since = 0) const;

    // Waits until an event at index >= since matches the pattern; its index is stored in *index.
    std::optional<Event> waitFor(std::string_view pattern, std::chrono::milliseconds timeout,
                                 std::size_t since = 0, std::size_t *index = nullptr) const;

    // Optional mirror of every event (the command-line program's transcript file).
    void setSink(std::function<void(const Event &)> sink);

private:
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_cond;
    std::vector<Event> m_events;
    std::function<void(const Event &)> m_sink;
};

} // namespace encsim
