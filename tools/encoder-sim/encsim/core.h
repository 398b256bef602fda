// The simulated encoder's state machine: no I/O, driven by input bytes and time stamps,
// producing output bytes with due times and an event log. Times are microseconds.
#pragma once

#include "encsim/bytes.h"
#include "encsim/device.h"
#include "encsim/events.h"
#include "encsim/knobs.h"
#include "encsim/pages.h"

#include <deque>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace encsim {

class PagingHandler;
struct ConfigKey;

enum class Mode { Off, Booting, Paging, Programming };
std::string_view modeName(Mode mode);

// The PC's line settings. Through a pseudo-terminal only the baud rate is visible; the
// character format is known only when told through the side channel.
struct LineSettings {
    int baud = 0;      // 0: unknown
    char parity = 0;   // 'N', 'E', 'O'; 0: unknown
    int dataBits = 0;  // 0: unknown
    int stopBits = 0;

    static std::optional<LineSettings> parse(std::string_view text); // "1200,e,7,1"
    std::string format() const;                                     // "E71", "" when unknown
    std::string text() const;
    bool operator==(const LineSettings &) const = default;
};

// What tests and the control channel see of the device.
struct Snapshot {
    Mode mode = Mode::Off;
    std::string firmware;
    int generation = 9;
    int attachedPort = 1;
    bool dipSwitchesOn = true;
    bool petSupported = true;
    std::map<std::string, std::string> config;
    std::vector<Bytes> recordLines; // the 75 record lines as a request would return them
    int tone = 0;                   // 0, 512, 1200, 2400
    bool tapLoggedIn = false;
    bool capby8InForce = false;
    std::string pagingProtocol;     // protocol, baud and format the paging port runs at
    std::string pagingBaud;
    std::string pagingFormat;
    bool pcPortOpen = true;
    bool cablePulled = false;
    std::string text() const;
};

struct Stats {
    int commands = 0;       // programming-mode lines handled (queries, settings and others)
    int queries = 0;
    int settings = 0;
    int recordRequests = 0;
    int recordWrites = 0;
    int refusals = 0;       // "Invalid", NAK, RS answers
    int warnings = 0;
    int violations = 0;
    int prgmModes = 0;      // "#PrgmMode#" recognised
    int atis = 0;
    int pages = 0;          // pages transmitted, one per capcode
};

class Core {
public:
    explicit Core(DeviceState state, std::shared_ptr<EventLog> log = nullptr, Mode startMode = Mode::Paging,
                  Time now = 0);
    ~Core();
    Core(const Core &) = delete;
    Core &operator=(const Core &) = delete;

    // --- the line ---
    void observeLine(Time now, const LineSettings &pc);  // sampled PC line settings
    void tellLineSettings(Time now, const LineSettings &told); // side channel
    void receive(Time now, std::string_view bytes);      // bytes read from the PC
    void advance(Time now);                              // run input and timers due by now
    Bytes transmit(Time now);                            // bytes due on the line by now
    std::optional<Time> nextWake() const;
    void pcPortOpened(Time now);
    void pcPortClosed(Time now);
    bool inputStalled() const { return m_knobs.stallInput; }
    // Bytes received and not yet taken in (still on their way at the line's pace).
    std::size_t inputOnItsWay() const { return m_input.size(); }

    // --- control ---
    bool setKnob(Time now, const std::string &name, const std::string &value, std::string *error = nullptr);
    void clearKnobs(Time now);
    void powerOn(Time now);
    void powerOff(Time now);
    void powerCycle(Time now);
    void cablePull(Time now);
    void cablePlug(Time now);
    bool loadState(Time now, const std::string &text, std::string *error = nullptr);
    void loadState(Time now, const DeviceState &state);
    std::string saveState() const { return m_state.toText(); }

    // Hangups are carried out by the transport; the core asks for them and is told of them.
    enum class Action { Hangup };
    std::vector<Action> takeActions();
    void noteLine(Time now, const std::string &text);

    Mode mode() const { return m_mode; }
    const DeviceState &state() const { return m_state; }
    const Knobs &knobs() const { return m_knobs; }
    const Stats &stats() const { return m_stats; }
    // Every page transmitted since the core was made, in order.
    const std::vector<Page> &pages() const { return m_pages; }
    EventLog &log() { return *m_log; }
    std::shared_ptr<EventLog> logPtr() const { return m_log; }
    Snapshot snapshot() const;
    int listenBaud() const;      // speed the encoder listens and talks at now
    std::string listenFormat() const;

private:
    enum class UnitClass { ConfigLine, Record, PrgmMode, Other };
    enum class ChunkKind { Normal, Announcement };
    // A byte on its way in: taken in by the encoder's receiver at `at` (its time on the line
    // after the PC wrote it), and judged by the PC's line settings at that moment.
    struct InByte {
        Time at;
        char byte;
        bool lastOfWrite; // the last byte of what the PC wrote at once
    };
    // Bytes taken in at a speed other than the encoder's, one after the other.
    struct Garbled {
        std::size_t count = 0;
        LineSettings pc;
        int listen = 0;
    };
    struct OutChunk {
        Time due;
        Bytes bytes;
        int baud;
        std::string format;
        ChunkKind kind;
    };
    struct Unit {
        std::string text;
        UnitClass cls = UnitClass::Other;
        Time end = 0;
        std::vector<Rule> fired;
        bool replied = false;
    };

    void event(EventKind kind, std::string text);
    void warn(std::string text);
    void violation(std::string text);
    void refusal(std::string text);

    // Input
    bool lineMatches(const LineSettings &pc, int baud, const std::string &format) const;
    LineSettings pcLine() const;
    bool heard(const InByte &in); // the receiver makes out the byte at the line's settings now
    void endGarbled();
    void endLostWhileBooting(); // logs the bytes heard while booting, if any
    void processByte(Time t, char b);
    void onPrgmMode(Time t);
    void enterProgramming(Time t);
    void programmingByte(Time t, char b);
    void resetParsers();
    void handleLine(Time t, const Bytes &line);
    void handleBlock(Time t, const Bytes &frame);
    void handleConfig(Time t, const Bytes &line);
    void handleLookup(Time t, const Bytes &idText);
    void handleRequest(const Bytes &message);
    void handleWrite(const Bytes &message);
    void startReboot(Time t, const std::string &why);
    void finishBoot(Time t);
    void latch();
    const ConfigKey *availableKey(const std::string &key);

    // Replies
    void beginUnit(Time t, std::string text, UnitClass cls);
    void respond(Bytes reply, ChunkKind kind = ChunkKind::Normal, Time baseDelay = -1);
    void finishUnit();
    void schedule(Time ready, const Bytes &bytes, ChunkKind kind, int baud, const std::string &format);
    void scheduleEcho(Time t, char b);
    Bytes atiBanner(bool withIdPrompt) const;
    Bytes noise(std::size_t count, bool highOnly);

    // Paging
    std::optional<Time> pagingTimer() const;
    void transmitPages(Time t, const Bytes &pager, const Resolution &resolution, const Bytes &message,
                       const std::string &protocol = {});
    void scheduleOwnTransmissions(Time t);
    void timedGroupPages(Time t);
    void stationId(Time t);

    class Host;
    friend class Host;

    DeviceState m_state;
    Knobs m_knobs;
    std::shared_ptr<EventLog> m_log;
    Stats m_stats;
    std::vector<Page> m_pages;
    Time m_now = 0;
    Mode m_mode = Mode::Off;
    std::optional<Time> m_bootDoneAt;
    std::optional<Time> m_switchAt;
    std::optional<Time> m_noiseAt;
    std::optional<Time> m_timedAt;   // next timed group pages (timed_paging)
    std::optional<Time> m_stationAt; // next station ID (station_id_tx)
    int m_tone = 0;
    bool m_capby8InForce = false;
    std::string m_pagingProtocol = "TAP", m_pagingBaud = "9600", m_pagingFormat = "N81";

    // Line observation
    LineSettings m_pc;
    Time m_pcSeenAt = 0;
    // The settings seen before the ones in force, each with the time it was last seen (the
    // latest few): grace_ms forgives input at any of them.
    std::vector<std::pair<LineSettings, Time>> m_earlierPcs;
    std::optional<LineSettings> m_told;
    bool m_pcOpen = true;
    bool m_cablePulled = false;
    std::vector<Action> m_actions;

    // Input
    std::deque<InByte> m_input;
    Time m_inputFreeAt = 0;
    Garbled m_garbled;
    std::size_t m_lostWhileBooting = 0; // bytes of the current write heard while booting
    bool m_graceNoted = false;
    Bytes m_window; // last bytes, for "#PrgmMode#"
    Bytes m_line;
    bool m_lastCR = false;
    bool m_inBlock = false;
    Bytes m_block;
    int m_blockTail = -1; // bytes seen after ETX, -1 before ETX
    std::unique_ptr<PagingHandler> m_paging;
    std::unique_ptr<Host> m_host;

    // Output
    std::deque<OutChunk> m_output;
    Time m_outputFreeAt = 0;
    Time m_echoFreeAt = 0; // the line's echo (knob echo) goes out on its own pace
    char m_echoLast = 0;   // the byte the line took last (echo=cr drops the LF after a CR)
    std::optional<Unit> m_unit;
    std::mt19937 m_rng{20240601u};
};

} // namespace encsim
