#pragma once
// Every time-out and pause of the conversations with the encoder, in one place. Under the tests'
// time scale each is shortened when it runs (see platform/timing.h).

#include <chrono>

namespace timeouts {
using namespace std::chrono_literals;
using ms = std::chrono::milliseconds;

// The link's wait.
constexpr ms Poll = 50ms;             // between two looks at the flags
constexpr ms Fallback = 8000ms;       // a reply timer that holds no interval

// The encoder reply timer and the TAP reply timer at start-up.
constexpr ms ReplyAtStart = 6000ms;
constexpr ms TAPAtStart = 1000ms;

// Pauses that give the encoder time to change its mode.
constexpr ms Reboot = 2500ms;         // the encoder reboots or switches mode
constexpr ms Settle = 75ms;           // after a switch to 9600 baud

// The port toggle sets the reply timer to this; it stays after a close.
constexpr ms AfterToggle = 8000ms;

// Detection: the first wait of an attempt, by the attempt's line settings.
constexpr ms Detect9600 = 1500ms;
constexpr ms Detect2400 = 3000ms;
constexpr ms Detect1200 = 6000ms;
constexpr ms Detect300 = 7500ms;
constexpr ms DetectOther = 8000ms;    // settings the detection table does not hold

// The pager-ID lookup's answer.
constexpr ms Lookup = 4000ms;

// Writers: the V7 writer's reply interval, set at its start for every command and record; the
// two-port writer's, set before each group record.
constexpr ms V7Write = 8000ms;
constexpr ms TwoPortRecord = 4000ms;

// The test console's Send sets the reply timer to this before a page.
constexpr ms SendPage = 10000ms;

// The TAP sender's waits on the TAP timer.
constexpr ms TAPBlock = 8000ms;       // the encoder's answer to a page block
constexpr ms TAPLogon = 3000ms;       // the go-ahead after the log-on command
constexpr ms TAPWakeUp = 2000ms;      // the log-on prompt after a wake-up

// The test console's timers: the senders' one-second reply timer (Timer1) and the range test's
// tick (Timer2).
constexpr ms ConsoleReply = 1000ms;
constexpr ms RangeTick = 1000ms;
} // namespace timeouts
