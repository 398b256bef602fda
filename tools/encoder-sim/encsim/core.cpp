#include "encsim/core.h"

#include "encsim/config.h"
#include "encsim/paging.h"
#include "encsim/records.h"

#include <algorithm>
#include <limits>
#include <sstream>
#include <utility>

namespace encsim {

namespace {

constexpr std::size_t kMaxLine = 1024;
constexpr std::size_t kMaxBlock = 4096;
constexpr int kMaxMessageStrict = 60;
const Bytes kCrLf = "\r\n";
const Bytes kInvalid = "Invalid\r\n";
const Bytes kNakCr = std::string(1, ctl::NAK) + "\r";
const Bytes kRsCr = std::string(1, ctl::RS) + "\r";
const Bytes kAnnouncement = "\r\nTAP Programming Mode, 9600 baud";
constexpr Time kTimedPagingInterval = msToTime(120'000);
constexpr std::size_t kEarlierPcsKept = 4; // line settings a grace may go back to

int baudOf(const std::string &text)
{
    const auto v = parseDecimal(text);
    return v && *v > 0 && *v <= 1000000 ? static_cast<int>(*v) : 9600;
}

// Bits one character takes on the line in a format such as "E72": the start bit, the data
// bits, a parity bit unless the parity is N, the stop bits. A format not known counts as N81.
int charBits(const std::string &format)
{
    if (format.size() != 3 || format[1] < '5' || format[1] > '8' || (format[2] != '1' && format[2] != '2'))
        return 10;
    return 1 + (format[1] - '0') + (format[0] == 'N' ? 0 : 1) + (format[2] - '0');
}

// Microseconds one character takes on the line at the speed in the format.
Time charTime(int baud, const std::string &format)
{
    return baud > 0 ? charBits(format) * 1'000'000 / baud : 0;
}

std::string quoted(const Bytes &b)
{
    return "\"" + namedBytes(b) + "\"";
}

} // namespace

std::string_view modeName(Mode mode)
{
    switch (mode) {
    case Mode::Off: return "OFF";
    case Mode::Booting: return "BOOTING";
    case Mode::Paging: return "PAGING";
    case Mode::Programming: return "PROGRAMMING";
    }
    return "?";
}

// ---------------------------------------------------------------------------------------
// LineSettings

std::optional<LineSettings> LineSettings::parse(std::string_view text)
{
    const auto parts = splitKeep(text, ',');
    LineSettings s;
    const auto baud = parseDecimal(parts[0]);
    if (!baud || *baud <= 0 || *baud > 1000000)
        return std::nullopt;
    s.baud = static_cast<int>(*baud);
    if (parts.size() == 1)
        return s;
    if (parts.size() != 4 || parts[1].size() != 1)
        return std::nullopt;
    s.parity = static_cast<char>(toUpper(parts[1])[0]);
    if (s.parity != 'N' && s.parity != 'E' && s.parity != 'O' && s.parity != 'M' && s.parity != 'S')
        return std::nullopt;
    const auto data = parseDecimal(parts[2]);
    const auto stop = parseDecimal(parts[3]);
    if (!data || *data < 5 || *data > 8 || !stop || *stop < 1 || *stop > 2)
        return std::nullopt;
    s.dataBits = static_cast<int>(*data);
    s.stopBits = static_cast<int>(*stop);
    return s;
}

std::string LineSettings::format() const
{
    if (!parity || !dataBits)
        return {};
    return std::string(1, parity) + std::to_string(dataBits) + std::to_string(stopBits ? stopBits : 1);
}

std::string LineSettings::text() const
{
    if (!baud)
        return "unknown";
    std::string t = std::to_string(baud);
    if (parity)
        t += "," + std::string(1, static_cast<char>(parity + ('a' - 'A'))) + "," + std::to_string(dataBits) + "," +
             std::to_string(stopBits);
    return t;
}

std::string Snapshot::text() const
{
    std::ostringstream out;
    out << "mode=" << modeName(mode) << "\n";
    out << "firmware=" << escapeLine(firmware) << "\n";
    out << "generation=" << generation << "\n";
    out << "attached_port=" << attachedPort << "\n";
    out << "paging_port=" << pagingProtocol << " " << pagingBaud << " " << pagingFormat << "\n";
    out << "tone=" << (tone ? std::to_string(tone) : std::string("off")) << "\n";
    out << "tap_logged_in=" << (tapLoggedIn ? 1 : 0) << "\n";
    out << "capby8_in_force=" << (capby8InForce ? 1 : 0) << "\n";
    out << "pc_port_open=" << (pcPortOpen ? 1 : 0) << "\n";
    out << "cable_pulled=" << (cablePulled ? 1 : 0) << "\n";
    out << "v7_dip_switches_on=" << (dipSwitchesOn ? 1 : 0) << "\n";
    out << "v7_pet_supported=" << (petSupported ? 1 : 0) << "\n";
    for (const auto &[k, v] : config)
        out << "config " << k << "=" << escapeLine(v) << "\n";
    for (const auto &line : recordLines)
        out << escapeLine(line) << "\n";
    return out.str();
}

// ---------------------------------------------------------------------------------------
// The paging handlers' view of the core

class Core::Host final : public PagingHost {
public:
    explicit Host(Core &core) : m_core(core) {}

    void unit(Time t, const std::string &text) override
    {
        if (istartsWith(text, "config"))
            m_core.violation("\"" + namedBytes(text) + "\" sent while the encoder is in paging mode (" +
                             m_core.m_pagingProtocol + ")");
        m_core.beginUnit(t, text, UnitClass::Other);
    }
    void reply(const Bytes &bytes, Time extraDelay) override
    {
        m_core.respond(bytes, ChunkKind::Normal,
                       extraDelay > 0 ? msToTime(m_core.m_knobs.replyLatencyMs) + extraDelay : -1);
    }
    void endUnit() override { m_core.finishUnit(); }
    void echo(Time t, const Bytes &bytes) override
    {
        m_core.schedule(t, bytes, ChunkKind::Normal, m_core.listenBaud(), m_core.listenFormat());
    }
    Bytes banner(bool withIdPrompt) const override { return m_core.atiBanner(withIdPrompt); }
    bool dipSwitchesOff() const override
    {
        return m_core.m_state.generation() == 7 && !m_core.m_state.v7DipSwitchesOn;
    }
    void note(const std::string &text) override { m_core.event(EventKind::Paging, text); }
    void refuse(const std::string &text) override { m_core.refusal(text); }
    void warn(const std::string &text) override { m_core.warn(text); }
    void knobFired(const std::string &text) override { m_core.event(EventKind::Knob, text); }
    Time now() const override { return m_core.m_now; }
    Knobs &knobs() override { return m_core.m_knobs; }
    const DeviceState &state() const override { return m_core.m_state; }
    Resolution resolve(std::string_view field, PagerForm form, std::optional<int> function) const override
    {
        const ResolveContext ctx{m_core.m_state, m_core.m_capby8InForce, m_core.m_state.attachedCfg("idascap") == "1",
                                 m_core.m_knobs.allDigitIds};
        return resolvePager(field, ctx, form, function);
    }
    void transmit(Time t, const Bytes &pager, const Resolution &resolution, const Bytes &message) override
    {
        m_core.transmitPages(t, pager, resolution, message);
    }

private:
    Core &m_core;
};

// ---------------------------------------------------------------------------------------
// Construction and bookkeeping

Core::Core(DeviceState state, std::shared_ptr<EventLog> log, Mode startMode, Time now)
    : m_state(std::move(state)), m_log(log ? std::move(log) : std::make_shared<EventLog>()), m_now(now),
      m_host(std::make_unique<Host>(*this))
{
    latch();
    m_mode = startMode;
    event(EventKind::Mode, std::string("start in ") + std::string(modeName(startMode)) + ", firmware " +
                               m_state.firmware + ", generation " + std::to_string(m_state.generation()) +
                               ", attached port " + std::to_string(m_state.effectiveAttachedPort()));
    if (startMode == Mode::Booting)
        m_bootDoneAt = now + msToTime(m_knobs.rebootMs);
}

Core::~Core() = default;

void Core::event(EventKind kind, std::string text)
{
    switch (kind) {
    case EventKind::Warning: ++m_stats.warnings; break;
    case EventKind::Violation: ++m_stats.violations; break;
    case EventKind::Refusal: ++m_stats.refusals; break;
    default: break;
    }
    m_log->add(m_now, kind, std::move(text));
}

void Core::warn(std::string text)
{
    event(EventKind::Warning, std::move(text));
}

void Core::violation(std::string text)
{
    if (m_knobs.strictProtocol)
        event(EventKind::Violation, std::move(text));
}

void Core::refusal(std::string text)
{
    event(EventKind::Refusal, std::move(text));
}

void Core::latch()
{
    const int port = m_state.effectiveAttachedPort();
    m_pagingProtocol = m_state.cfg(m_state.portKey(port, "protocol"));
    m_pagingBaud = m_state.cfg(m_state.portKey(port, "baud"));
    m_pagingFormat = m_state.cfg(m_state.portKey(port, "databits"));
    if (m_pagingProtocol.empty())
        m_pagingProtocol = "TAP";
    if (m_pagingBaud.empty())
        m_pagingBaud = "9600";
    if (m_pagingFormat.empty())
        m_pagingFormat = "N81";
    m_capby8InForce = m_state.cfg("capby8") == "1";
    m_paging = makePagingHandler(m_pagingProtocol, *m_host);
}

int Core::listenBaud() const
{
    switch (m_mode) {
    case Mode::Off: return 0;
    case Mode::Programming: return 9600;
    case Mode::Booting:
    case Mode::Paging: return baudOf(m_pagingBaud);
    }
    return 0;
}

std::string Core::listenFormat() const
{
    return m_mode == Mode::Programming ? std::string("N81") : m_pagingFormat;
}

// ---------------------------------------------------------------------------------------
// The line

LineSettings Core::pcLine() const
{
    if (m_knobs.lineCheck == LineCheck::Sidechannel && m_told)
        return *m_told;
    return m_pc;
}

bool Core::lineMatches(const LineSettings &pc, int baud, const std::string &format) const
{
    if (m_knobs.lineCheck == LineCheck::Off || pc.baud == 0)
        return true;
    if (pc.baud != baud)
        return false;
    if (m_knobs.lineCheck == LineCheck::Sidechannel && !pc.format().empty() && !format.empty() &&
        pc.format() != format)
        return false;
    return true;
}

void Core::observeLine(Time now, const LineSettings &pc)
{
    m_now = std::max(m_now, now);
    if (!(pc == m_pc)) {
        std::erase_if(m_earlierPcs, [&](const auto &seen) { return seen.first == m_pc || seen.first == pc; });
        m_earlierPcs.emplace_back(m_pc, m_pcSeenAt);
        if (m_earlierPcs.size() > kEarlierPcsKept)
            m_earlierPcs.erase(m_earlierPcs.begin());
        m_pc = pc;
        if (m_knobs.lineCheck != LineCheck::Sidechannel) {
            const bool ok = m_mode == Mode::Off || lineMatches(pc, listenBaud(), listenFormat());
            event(EventKind::Speed, "PC line speed " + pc.text() + "; encoder at " + std::to_string(listenBaud()) +
                                        (ok ? ": match" : ": mismatch"));
        }
    }
    m_pcSeenAt = now;
}

void Core::tellLineSettings(Time now, const LineSettings &told)
{
    m_now = std::max(m_now, now);
    m_told = told;
    const bool ok = m_mode == Mode::Off || lineMatches(told, listenBaud(), listenFormat());
    event(EventKind::Speed, "PC line settings told: " + told.text() + "; encoder at " +
                                std::to_string(listenBaud()) + " " + listenFormat() + (ok ? ": match" : ": mismatch"));
}

void Core::pcPortOpened(Time now)
{
    m_now = std::max(m_now, now);
    if (m_pcOpen)
        return;
    m_pcOpen = true;
    event(EventKind::Line, "PC port open");
}

void Core::pcPortClosed(Time now)
{
    m_now = std::max(m_now, now);
    if (!m_pcOpen)
        return;
    m_pcOpen = false;
    std::size_t dropped = 0;
    for (const auto &c : m_output)
        dropped += c.bytes.size();
    m_output.clear();
    event(EventKind::Line,
          "PC port closed" + (dropped ? "; " + std::to_string(dropped) + " queued bytes dropped" : std::string()));
}

void Core::noteLine(Time now, const std::string &text)
{
    m_now = std::max(m_now, now);
    event(EventKind::Line, text);
}

std::vector<Core::Action> Core::takeActions()
{
    return std::exchange(m_actions, {});
}

Bytes Core::noise(std::size_t count, bool highOnly)
{
    std::uniform_int_distribution<int> dist(highOnly ? 0x80 : 0x00, 0xFF);
    Bytes out;
    for (std::size_t i = 0; i < count; ++i)
        out += static_cast<char>(dist(m_rng));
    return out;
}

void Core::receive(Time now, std::string_view bytes)
{
    m_now = std::max(m_now, now);
    if (bytes.empty())
        return;
    if (m_mode == Mode::Off) {
        m_log->add(m_now, EventKind::Input, "(power off, ignored) " + namedBytes(bytes), Bytes(bytes));
        return;
    }
    if (m_cablePulled) {
        m_log->add(m_now, EventKind::Input, "(cable pulled, lost) " + namedBytes(bytes), Bytes(bytes));
        return;
    }
    // The bytes are on the line at the PC's speed; the receiver judges each one as it takes it
    // in (heard()), by the line settings in force then: a PC that changes its speed, or
    // closes a port that puts other settings back, before its bytes are out garbles them.
    const LineSettings pc = pcLine();
    m_log->add(m_now, EventKind::Input, namedBytes(bytes) + "   [PC " + pc.text() + "]", Bytes(bytes));
    // In the PC's format when the side channel told it (a pseudo-terminal carries only the
    // speed), else in the one the encoder listens in.
    const std::string format = pc.format().empty() ? listenFormat() : pc.format();
    const Time ct = m_knobs.pacing == Pacing::Off ? 0 : charTime(pc.baud > 0 ? pc.baud : listenBaud(), format);
    Time at = ct == 0 ? m_now : std::max(m_now, m_inputFreeAt);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        at += ct;
        m_input.push_back(InByte{at, bytes[i], i + 1 == bytes.size()});
    }
    if (ct != 0)
        m_inputFreeAt = at;
}

bool Core::heard(const InByte &in)
{
    const int listen = listenBaud();
    const std::string format = listenFormat();
    const LineSettings pc = pcLine();
    bool ok = lineMatches(pc, listen, format);
    if (!ok && m_knobs.lineCheck == LineCheck::Baud && m_knobs.graceMs > 0) {
        // A speed the PC had a moment before: its bytes may reach the encoder late (a loaded
        // machine's pseudo-terminal), after the PC has changed it, perhaps more than once.
        for (const auto &[earlier, lastSeen] : m_earlierPcs) {
            if (earlier.baud <= 0 || m_now - lastSeen > msToTime(m_knobs.graceMs) ||
                !lineMatches(earlier, listen, format))
                continue;
            ok = true;
            if (!m_graceNoted)
                event(EventKind::Speed, "input accepted at the earlier speed " + earlier.text() + " (within grace_ms)");
            m_graceNoted = true;
            break;
        }
    }
    if (ok) {
        endGarbled();
    } else {
        if (m_garbled.count == 0) {
            m_garbled.pc = pc;
            m_garbled.listen = listen;
        }
        ++m_garbled.count;
    }
    if (in.lastOfWrite) {
        endGarbled();
        m_graceNoted = false;
    }
    return ok;
}

void Core::endGarbled()
{
    if (m_garbled.count == 0)
        return;
    const Garbled g = std::exchange(m_garbled, Garbled{});
    if (m_mode == Mode::Programming)
        violation("command bytes sent at " + g.pc.text() + " while the encoder is in programming mode at 9600");
    if (m_knobs.mismatchInput == MismatchInput::Ignore) {
        event(EventKind::Speed, "ignored " + std::to_string(g.count) + " bytes sent at " + g.pc.text() +
                                    ": the encoder listens at " + std::to_string(g.listen));
        return;
    }
    // What a receiver at the wrong speed makes of it: a few garbled characters, taken as a line.
    const std::size_t n = std::max<std::size_t>(
        1, g.count * static_cast<std::size_t>(g.listen) / static_cast<std::size_t>(std::max(1, g.pc.baud)));
    const Bytes data = noise(n, true) + "\r";
    event(EventKind::Knob, "mismatch_input noise: " + std::to_string(g.count) + " bytes at " + g.pc.text() +
                               " received as " + namedBytes(data));
    for (char c : data)
        processByte(m_now, c);
}

void Core::endLostWhileBooting()
{
    if (m_lostWhileBooting == 0)
        return;
    event(EventKind::Reboot, std::to_string(std::exchange(m_lostWhileBooting, 0)) + " bytes lost while booting");
}

void Core::advance(Time now)
{
    m_now = std::max(m_now, now);
    for (;;) {
        scheduleOwnTransmissions(m_now);
        Time best = std::numeric_limits<Time>::max();
        int which = -1;
        if (m_bootDoneAt && *m_bootDoneAt <= now && *m_bootDoneAt < best) {
            best = *m_bootDoneAt;
            which = 0;
        }
        if (m_switchAt && *m_switchAt <= now && *m_switchAt < best) {
            best = *m_switchAt;
            which = 1;
        }
        if (!m_input.empty() && m_input.front().at <= now && m_input.front().at < best) {
            best = m_input.front().at;
            which = 2;
        }
        if (const auto due = pagingTimer(); due && *due <= now && *due < best) {
            best = *due;
            which = 3;
        }
        if (m_timedAt && *m_timedAt <= now && *m_timedAt < best) {
            best = *m_timedAt;
            which = 4;
        }
        if (m_stationAt && *m_stationAt <= now && *m_stationAt < best) {
            best = *m_stationAt;
            which = 5;
        }
        if (which < 0)
            break;
        const Time saved = m_now;
        m_now = best;
        if (which == 0) {
            finishBoot(best);
        } else if (which == 1) {
            m_switchAt.reset();
            enterProgramming(best);
        } else if (which == 2) {
            const InByte in = m_input.front();
            m_input.pop_front();
            if (heard(in))
                processByte(in.at, in.byte);
            if (in.lastOfWrite)
                endLostWhileBooting();
        } else if (which == 3) {
            m_paging->timer(best);
        } else if (which == 4) {
            timedGroupPages(best);
        } else {
            stationId(best);
        }
        m_now = std::max(saved, m_now);
    }
    if (m_knobs.lineNoiseRate > 0 && m_mode != Mode::Off) {
        const Time period = static_cast<Time>(1e6 / m_knobs.lineNoiseRate);
        if (!m_noiseAt)
            m_noiseAt = now + period;
        while (*m_noiseAt <= now) {
            const Bytes b = noise(1, false);
            event(EventKind::Knob, "line_noise: " + namedBytes(b));
            schedule(*m_noiseAt, b, ChunkKind::Normal, listenBaud(), listenFormat());
            *m_noiseAt += std::max<Time>(period, 1);
        }
    } else {
        m_noiseAt.reset();
    }
}

std::optional<Time> Core::pagingTimer() const
{
    if (m_mode != Mode::Paging || !m_paging)
        return std::nullopt;
    return m_paging->nextTimer();
}

std::optional<Time> Core::nextWake() const
{
    std::optional<Time> best;
    auto consider = [&](std::optional<Time> t) {
        if (t && (!best || *t < *best))
            best = t;
    };
    consider(m_bootDoneAt);
    consider(m_switchAt);
    consider(m_noiseAt);
    consider(pagingTimer());
    consider(m_timedAt);
    consider(m_stationAt);
    if (!m_input.empty())
        consider(m_input.front().at);
    if (!m_output.empty())
        consider(m_output.front().due);
    return best;
}

Bytes Core::transmit(Time now)
{
    m_now = std::max(m_now, now);
    Bytes out;
    while (!m_output.empty() && m_output.front().due <= now) {
        OutChunk chunk = std::move(m_output.front());
        m_output.pop_front();
        if (m_cablePulled) {
            m_log->add(m_now, EventKind::Output, "(cable pulled, lost) " + namedBytes(chunk.bytes), chunk.bytes);
            continue;
        }
        if (!m_pcOpen) {
            m_log->add(m_now, EventKind::Output, "(PC port closed, lost) " + namedBytes(chunk.bytes), chunk.bytes);
            continue;
        }
        const LineSettings pc = pcLine();
        Bytes sent = chunk.bytes;
        if (!lineMatches(pc, chunk.baud, chunk.format)) {
            std::string what;
            if (chunk.kind == ChunkKind::Announcement) {
                switch (m_knobs.mismatchAnnounce) {
                case MismatchAnnounce::Signature:
                    sent = kSignature;
                    what = "the PC hears the programming-mode signature";
                    break;
                case MismatchAnnounce::Garbage:
                    sent = noise(std::max<std::size_t>(1, chunk.bytes.size() * static_cast<std::size_t>(pc.baud) /
                                                              static_cast<std::size_t>(chunk.baud)),
                                 true);
                    what = "the PC hears garbage";
                    break;
                case MismatchAnnounce::Silence:
                    sent.clear();
                    what = "the PC hears nothing";
                    break;
                }
            } else {
                switch (m_knobs.mismatchOutput) {
                case MismatchOutput::Garbage:
                    sent = noise(std::max<std::size_t>(1, chunk.bytes.size() * static_cast<std::size_t>(pc.baud) /
                                                              static_cast<std::size_t>(chunk.baud)),
                                 true);
                    what = "the PC hears garbage";
                    break;
                case MismatchOutput::Silence:
                    sent.clear();
                    what = "the PC hears nothing";
                    break;
                case MismatchOutput::Clear: what = "sent clear (mismatch_output clear)"; break;
                }
            }
            event(EventKind::Speed, "reply " + namedBytes(chunk.bytes) + " sent at " + std::to_string(chunk.baud) +
                                        " while the PC is at " + pc.text() + ": " + what);
        }
        if (!sent.empty()) {
            m_log->add(m_now, EventKind::Output, namedBytes(sent), sent);
            out += sent;
        }
    }
    return out;
}

void Core::schedule(Time ready, const Bytes &bytes, ChunkKind kind, int baud, const std::string &format)
{
    if (bytes.empty() || m_mode == Mode::Off)
        return;
    if (baud <= 0)
        baud = 9600;
    const Time ct = charTime(baud, format);
    const Time start = std::max(ready, m_outputFreeAt);
    switch (m_knobs.pacing) {
    case Pacing::Off:
        m_output.push_back(OutChunk{start, bytes, baud, format, kind});
        m_outputFreeAt = start;
        break;
    case Pacing::Burst: {
        const Time due = start + ct * static_cast<Time>(bytes.size());
        m_output.push_back(OutChunk{due, bytes, baud, format, kind});
        m_outputFreeAt = due;
        break;
    }
    case Pacing::Bytewise: {
        Time due = start;
        for (char c : bytes) {
            due += ct;
            m_output.push_back(OutChunk{due, Bytes(1, c), baud, format, kind});
        }
        m_outputFreeAt = due;
        break;
    }
    }
}

// The line's echo of a byte taken: it goes back as the byte arrives, at the line's pace, ahead
// of any reply the encoder has queued for later (the encoder answers a command at its CR, while
// the LF after it is still being echoed).
void Core::scheduleEcho(Time t, char b)
{
    if (m_mode == Mode::Off)
        return;
    const bool lfDropped = m_knobs.echo == Echo::Cr && b == '\n' && m_echoLast == '\r';
    m_echoLast = b;
    if (lfDropped)
        return;
    const Bytes bytes = b == '\r' && m_knobs.echo == Echo::CrLf ? Bytes("\r\n") : Bytes(1, b);
    const int baud = listenBaud() > 0 ? listenBaud() : 9600;
    const std::string format = listenFormat();
    const Time ct = m_knobs.pacing == Pacing::Off ? 0 : charTime(baud, format);
    Time due = std::max(t, m_echoFreeAt);
    for (char c : bytes) {
        due += ct;
        const OutChunk chunk{due, Bytes(1, c), baud, format, ChunkKind::Normal};
        const auto at = std::upper_bound(m_output.begin(), m_output.end(), due,
                                         [](Time d, const OutChunk &o) { return d < o.due; });
        m_output.insert(at, chunk);
    }
    m_echoFreeAt = due;
    m_outputFreeAt = std::max(m_outputFreeAt, due);
}

// ---------------------------------------------------------------------------------------
// Units of decoded input and their replies

void Core::beginUnit(Time t, std::string text, UnitClass cls)
{
    m_unit = Unit{std::move(text), cls, t, {}, false};
    for (auto &rule : m_knobs.rules) {
        if (rule.sel.offer(m_unit->text)) {
            event(EventKind::Knob, rule.name + " fired on " + quoted(m_unit->text) + " (" + rule.sel.describe() +
                                       ", occurrence " + std::to_string(rule.sel.seen) + ")");
            m_unit->fired.push_back(rule);
        }
    }
}

void Core::respond(Bytes reply, ChunkKind kind, Time baseDelay)
{
    if (!m_unit)
        return;
    Unit &u = *m_unit;
    u.replied = true;
    Time ready = u.end + (baseDelay >= 0 ? baseDelay : msToTime(m_knobs.replyLatencyMs));
    bool dropped = false;
    int pieces = 1;
    Time gap = 0;
    for (const auto &r : u.fired) {
        switch (r.kind) {
        case RuleKind::ReplaceReply:
        case RuleKind::RecordReplyOverride: reply = r.bytes; break;
        case RuleKind::RecordAck:
            if (u.cls == UnitClass::Record && reply == kRsCr)
                reply = r.bytes;
            break;
        case RuleKind::InjectIdPrompt:
            reply = u.cls == UnitClass::ConfigLine ? Bytes("ID=\r\n")
                    : u.cls == UnitClass::Record   ? Bytes("ID=") + ctl::RS + "\r"
                                                   : Bytes("ID=");
            break;
        case RuleKind::SignatureInside: reply = r.bytes + kSignature + r.bytesAfter; break;
        default: break;
        }
    }
    for (const auto &r : u.fired) {
        if (r.kind == RuleKind::LineEnding && !reply.empty()) {
            std::size_t strip = 0;
            while (strip < 2 && strip < reply.size() &&
                   (reply[reply.size() - 1 - strip] == '\r' || reply[reply.size() - 1 - strip] == '\n'))
                ++strip;
            reply = reply.substr(0, reply.size() - strip) + r.bytes;
        }
    }
    for (const auto &r : u.fired) {
        switch (r.kind) {
        case RuleKind::Garbage:
            if (r.where == GarbageWhere::Before)
                reply = r.bytes + reply;
            else if (r.where == GarbageWhere::After)
                reply += r.bytes;
            else
                reply = r.bytes;
            break;
        case RuleKind::DropReply: dropped = true; break;
        case RuleKind::DelayReply: ready += msToTime(r.ms); break;
        case RuleKind::SplitReply:
            pieces = r.pieces;
            gap = msToTime(r.gapMs);
            break;
        case RuleKind::PowerCycle: dropped = true; break;
        default: break;
        }
    }
    if (dropped || reply.empty())
        return;
    const int baud = kind == ChunkKind::Announcement ? 9600 : listenBaud();
    const std::string format = kind == ChunkKind::Announcement ? std::string("N81") : listenFormat();
    if (pieces <= 1 || reply.size() < 2) {
        schedule(ready, reply, kind, baud, format);
        return;
    }
    pieces = std::min<int>(pieces, static_cast<int>(reply.size()));
    const std::size_t size = reply.size() / static_cast<std::size_t>(pieces);
    std::size_t pos = 0;
    for (int i = 0; i < pieces; ++i) {
        const std::size_t len = i == pieces - 1 ? reply.size() - pos : size;
        schedule(ready, reply.substr(pos, len), kind, baud, format);
        pos += len;
        ready = m_outputFreeAt + gap;
    }
}

void Core::finishUnit()
{
    if (!m_unit)
        return;
    if (!m_unit->replied)
        respond(Bytes());
    const Unit u = std::move(*m_unit);
    m_unit.reset();
    for (const auto &r : u.fired) {
        switch (r.kind) {
        case RuleKind::Hangup:
            event(EventKind::Line, "hangup requested");
            m_actions.push_back(Action::Hangup);
            break;
        case RuleKind::CablePull: cablePull(m_now); break;
        case RuleKind::PowerCycle: powerCycle(m_now); break;
        case RuleKind::LineNoise: {
            const Bytes b = noise(static_cast<std::size_t>(r.length), false);
            event(EventKind::Knob, "line_noise: " + namedBytes(b));
            schedule(u.end + msToTime(m_knobs.replyLatencyMs), b, ChunkKind::Normal, listenBaud(), listenFormat());
            break;
        }
        default: break;
        }
    }
}

// ---------------------------------------------------------------------------------------
// Input by mode

void Core::resetParsers()
{
    m_window.clear();
    m_line.clear();
    m_lastCR = false;
    m_inBlock = false;
    m_block.clear();
    m_blockTail = -1;
    if (m_paging)
        m_paging->reset();
}

void Core::processByte(Time t, char b)
{
    if (m_mode == Mode::Off)
        return;
    if (m_knobs.echo != Echo::Off)
        scheduleEcho(t, b);
    if (m_mode == Mode::Booting) {
        ++m_lostWhileBooting;
        return;
    }
    m_window += b;
    if (m_window.size() > kPrgmMode.size())
        m_window.erase(0, m_window.size() - kPrgmMode.size());
    if (m_window == kPrgmMode) {
        m_window.clear();
        bool ignored = true;
        if (m_state.generation() == 7 && !m_state.v7DipSwitchesOn) {
            event(EventKind::Command, "#PrgmMode# ignored: the DIP switches are not all on");
        } else if (m_knobs.ignorePrgmModeCount > 0) {
            --m_knobs.ignorePrgmModeCount;
            event(EventKind::Knob, "ignore_prgmmode_count: #PrgmMode# ignored (" +
                                       std::to_string(m_knobs.ignorePrgmModeCount) + " more to ignore)");
        } else {
            ignored = false;
        }
        if (!ignored) {
            onPrgmMode(t);
            return;
        }
        // An ignored occurrence still passes through the port (a V7 COMP1 port echoes it),
        // but the line it interrupted is gone.
        if (m_mode == Mode::Programming)
            programmingByte(t, b);
        else if (m_paging)
            m_paging->byte(t, b);
        resetParsers();
        return;
    }
    if (m_mode == Mode::Programming) {
        programmingByte(t, b);
    } else if (m_paging) {
        // Serial activity holds off the timed pages on a port whose timed-paging reset is on.
        if (m_timedAt && m_state.attachedCfg("pphreset") == "1")
            m_timedAt = t + kTimedPagingInterval;
        m_paging->byte(t, b);
    }
}

void Core::onPrgmMode(Time t)
{
    ++m_stats.prgmModes;
    event(EventKind::Command, std::string("#PrgmMode# recognised in ") + std::string(modeName(m_mode)) + " mode");
    resetParsers();
    beginUnit(t, std::string(kPrgmMode), UnitClass::PrgmMode);
    const Time switchDelay = msToTime(m_knobs.switchDelayMs);
    if (switchDelay > 0 && m_mode != Mode::Programming) {
        event(EventKind::Knob, "switch_delay_ms: programming mode in " + std::to_string(m_knobs.switchDelayMs) + " ms");
        m_switchAt = t + switchDelay;
    } else {
        enterProgramming(t);
    }
    respond(kAnnouncement, ChunkKind::Announcement, switchDelay + msToTime(m_knobs.announceDelayMs));
    finishUnit();
}

void Core::enterProgramming(Time t)
{
    (void)t;
    if (m_mode == Mode::Programming)
        return;
    event(EventKind::Mode, std::string(modeName(m_mode)) + " -> PROGRAMMING at 9600 N81");
    m_mode = Mode::Programming;
    resetParsers();
}

void Core::programmingByte(Time t, char b)
{
    if (m_inBlock) {
        if (m_blockTail < 0) {
            m_block += b;
            if (b == ctl::ETX)
                m_blockTail = 0;
            else if (m_block.size() > kMaxBlock) {
                violation("record block longer than " + std::to_string(kMaxBlock) + " bytes without ETX: dropped");
                m_inBlock = false;
                m_block.clear();
            }
            return;
        }
        if (m_blockTail < 3) {
            m_block += b;
            ++m_blockTail;
            return;
        }
        // The byte after the three checksum characters ends the block.
        Bytes frame = std::move(m_block);
        m_block.clear();
        m_inBlock = false;
        m_blockTail = -1;
        if (b == ctl::CR) {
            handleBlock(t, frame);
            m_lastCR = true;
            return;
        }
        violation("record block not ended by CR after its checksum");
        handleBlock(t, frame);
        if (m_mode != Mode::Programming)
            return;
    }
    if (b == ctl::STX) {
        if (!m_line.empty())
            warn("partial line " + quoted(m_line) + " dropped by a record block");
        m_line.clear();
        m_inBlock = true;
        m_block = Bytes(1, b);
        m_blockTail = -1;
        m_lastCR = false;
        return;
    }
    if (b == ctl::LF && m_lastCR) {
        m_lastCR = false;
        return;
    }
    if (b == ctl::CR || b == ctl::LF) {
        m_lastCR = b == ctl::CR;
        Bytes line = std::move(m_line);
        m_line.clear();
        handleLine(t, line);
        return;
    }
    m_lastCR = false;
    if (m_line.size() >= kMaxLine) {
        warn("line longer than " + std::to_string(kMaxLine) + " bytes dropped");
        m_line.clear();
    }
    m_line += b;
}

Bytes Core::atiBanner(bool withIdPrompt) const
{
    const std::string port = std::to_string(m_state.effectiveAttachedPort());
    const Bytes head = "\r\nKestrane Paging Encoder ";
    switch (m_knobs.atiStyle) {
    case AtiStyle::Normal: break;
    case AtiStyle::BannerOnly: return head + "v" + m_state.firmware + "\r\nPort " + port + "\r\n";
    case AtiStyle::IdOnly: return "ID=";
    case AtiStyle::NoV: return head + m_state.firmware + "\r\nPort " + port + "\r\nID=";
    case AtiStyle::NoCrAfterVersion: return head + "v" + m_state.firmware + " \nPort " + port + "\nID=";
    case AtiStyle::PortLetter: return head + "v" + m_state.firmware + "\r\nPort X\r\nID=";
    case AtiStyle::NoPort: return head + "v" + m_state.firmware + "\r\nID=";
    case AtiStyle::Trailing:
        return head + "v" + m_state.firmware + "\r\nPort " + port + "\r\nID=" + m_knobs.atiTrailing;
    }
    return head + "v" + m_state.firmware + "\r\nPort " + port + "\r\n" + (withIdPrompt ? "ID=" : "");
}

void Core::handleLine(Time t, const Bytes &line)
{
    if (line.empty())
        return;
    ++m_stats.commands;
    const std::string lower = toLower(line);
    beginUnit(t, line, lower.rfind("config", 0) == 0 ? UnitClass::ConfigLine : UnitClass::Other);
    if (m_knobs.echoCommands) {
        event(EventKind::Knob, "echo_commands: " + quoted(line) + " echoed");
        schedule(t, line + "\r", ChunkKind::Normal, listenBaud(), listenFormat());
    }
    if (lower == "ati") {
        ++m_stats.atis;
        event(EventKind::Command, "ATI: identification, firmware " + m_state.firmware + ", port " +
                                      std::to_string(m_state.effectiveAttachedPort()));
        respond(atiBanner(true));
        finishUnit();
    } else if (lower == "config reboot") {
        event(EventKind::Command, "config reboot");
        finishUnit();
        startReboot(t, "config reboot");
    } else if (lower == "lookup" || lower.rfind("lookup ", 0) == 0) {
        handleLookup(t, line.size() > 7 ? line.substr(7) : Bytes());
        finishUnit();
    } else if (lower == "test512" || lower == "test1200" || lower == "test2400") {
        const int tone = std::stoi(lower.substr(4));
        event(EventKind::Tone, "test tone " + std::to_string(tone) + (m_tone && m_tone != tone
                                                                         ? " (was " + std::to_string(m_tone) + ")"
                                                                         : std::string()));
        m_tone = tone;
        if (m_knobs.toneReply) {
            event(EventKind::Knob, "tone_reply: " + namedBytes(*m_knobs.toneReply));
            respond(*m_knobs.toneReply);
        }
        finishUnit();
    } else if (lower.rfind("config ", 0) == 0) {
        handleConfig(t, line);
        finishUnit();
    } else {
        event(EventKind::Command, "unknown command " + quoted(line));
        refusal("unknown command " + quoted(line) + ": Invalid");
        respond(kInvalid);
        finishUnit();
    }
}

const ConfigKey *Core::availableKey(const std::string &key)
{
    const int gen = m_state.generation();
    const ConfigKey *info = findKey(gen, key);
    if (!info) {
        if (findKey(gen == 7 ? 9 : 7, key))
            violation("\"config " + key + "\" belongs to the other generation's command set (this encoder is V" +
                      std::to_string(gen) + ")");
        refusal("unknown key \"" + namedBytes(key) + "\": Invalid");
        return nullptr;
    }
    if (gen != 7 && (key == "sid" || key == "sidint") && !m_state.hasStationId()) {
        violation("\"config " + key + "\" sent to firmware 9.01, which has no station ID");
        refusal("firmware 9.01 has no \"" + key + "\": Invalid");
        return nullptr;
    }
    if (gen != 7 && key.rfind("serial2 ", 0) == 0 && m_knobs.serial2Absent) {
        event(EventKind::Knob, "serial2_absent: \"config " + key + "\" answered Invalid");
        refusal("serial2 keys absent: Invalid");
        return nullptr;
    }
    return info;
}

void Core::handleConfig(Time t, const Bytes &line)
{
    (void)t;
    const Bytes rest = line.substr(7);
    const std::string restLower = toLower(rest);
    const int gen = m_state.generation();
    const bool modatten = restLower.rfind("modatten", 0) == 0;

    if (!restLower.empty() && restLower.back() == '?') {
        const std::string key = restLower.substr(0, restLower.size() - 1);
        ++m_stats.queries;
        const ConfigKey *info = availableKey(key);
        if (!info) {
            event(EventKind::Query, quoted(line) + " -> Invalid");
            respond(kInvalid);
            return;
        }
        if (gen == 7 && key == "pet" && !m_state.v7PetSupported) {
            event(EventKind::Query, "pet? -> RS: this firmware has no PET option");
            refusal("no PET option: RS");
            respond(kRsCr);
            return;
        }
        const std::string value = m_state.cfg(std::string(info->storage));
        event(EventKind::Query, key + "? -> " + quoted(value));
        // The ID-as-capcode check ("CONFIG SERIAL1 IDASCAP?", V7 "CONFIG IDASCAP?", in
        // capitals) is answered by a line ended by LF alone; the settings' own queries of the
        // same key ("config serial2 idascap?") by CR LF, as every other query.
        const bool idAsCapCheck = line.rfind("CONFIG ", 0) == 0 && key.size() >= 7 &&
                                  key.compare(key.size() - 7, 7, "idascap") == 0;
        respond(value + (idAsCapCheck ? Bytes("\n") : kCrLf));
        return;
    }

    // A setting: "config KEY VALUE", KEY being one word or "serialN word".
    ++m_stats.settings;
    std::size_t keyEnd = restLower.find(' ');
    if (keyEnd != std::string::npos && (restLower.rfind("serial1 ", 0) == 0 || restLower.rfind("serial2 ", 0) == 0))
        keyEnd = restLower.find(' ', keyEnd + 1);
    const std::string key = restLower.substr(0, keyEnd);
    const ConfigKey *info = availableKey(key);
    const Bytes invalid = modatten ? Bytes("Invalid\r") : kInvalid;
    if (!info) {
        event(EventKind::Setting, quoted(line) + " -> Invalid");
        respond(invalid);
        return;
    }
    if (gen == 7 && key == "pet" && !m_state.v7PetSupported) {
        event(EventKind::Setting, "pet -> RS: this firmware has no PET option");
        refusal("no PET option: RS");
        respond(kRsCr);
        return;
    }
    if (keyEnd == std::string::npos) {
        refusal("\"config " + key + "\" without a value: Invalid");
        event(EventKind::Setting, quoted(line) + " -> Invalid");
        respond(invalid);
        return;
    }
    const Bytes value = rest.substr(keyEnd + 1);
    auto canonical = canonicalValue(*info, value);
    if (canonical && info->storage.size() > 9 && info->storage.substr(8) == "protocol" && *canonical == "SNPP" &&
        !m_state.snppAllowed()) {
        refusal("SNPP needs V9 firmware of minor version 7 or more (firmware " + m_state.firmware + "): Invalid");
        canonical.reset();
    } else if (!canonical) {
        refusal("value " + quoted(value) + " not accepted for \"" + key + "\": Invalid");
    }
    if (!canonical) {
        event(EventKind::Setting, quoted(line) + " -> Invalid");
        respond(invalid);
        return;
    }
    const std::string storage(info->storage);
    const std::string old = m_state.cfg(storage);
    m_state.config[storage] = *canonical;
    event(EventKind::Setting, key + ": " + quoted(old) + " -> " + quoted(*canonical));
    if (modatten) {
        if (m_tone) {
            event(EventKind::Tone, "test tone off (modulation attenuation changed)");
            m_tone = 0;
        }
        respond(toUpper(key) + " " + *canonical + "\r");
        return;
    }
    respond(replyWord(key) + (gen == 7 ? " option updated" : " updated") + kCrLf);
}

void Core::handleLookup(Time t, const Bytes &idText)
{
    (void)t;
    Bytes reply;
    if (!allDigits(idText) || !parseDecimal(idText)) {
        reply = "Invalid ID";
    } else {
        const long long id = *parseDecimal(idText);
        const long long step = m_capby8InForce ? 8 : 1;
        for (int i = 0; i < kFamilies && reply.empty(); ++i) {
            const Family &f = m_state.families[static_cast<std::size_t>(i)];
            if (f.active != 1 || f.qty <= 0 || id < f.startId || id > f.startId + f.qty - 1)
                continue;
            std::string cap = std::to_string(f.startCap + (id - f.startId) * step);
            if (cap.size() < 7)
                cap.insert(0, 7 - cap.size(), '0');
            const char *rate = f.rate == 5 ? "512" : f.rate == 1 ? "1200" : f.rate == 2 ? "2400" : "?";
            const int func = static_cast<int>(f.func & 3);
            reply = "ID " + idText + " capcode " + cap + ", msg enc:" + f.type + ", baud:" + rate +
                    " func bits:" + std::string(1, static_cast<char>('0' + (func >> 1))) +
                    std::string(1, static_cast<char>('0' + (func & 1)));
        }
        for (int i = 0; i < kGroups && reply.empty(); ++i) {
            const Group &g = m_state.groups[static_cast<std::size_t>(i)];
            if (g.defined() && g.groupId() == id)
                reply = "ID " + idText + " is list " + std::to_string(i + 1);
        }
        if (reply.empty())
            reply = "ID " + idText + " not found";
    }
    event(EventKind::Lookup, "LOOKUP " + quoted(idText) + " -> " + quoted(reply));
    respond(reply + m_knobs.lookupEnding);
}

void Core::handleBlock(Time t, const Bytes &frame)
{
    const auto block = parseBlock(frame);
    const Bytes writeId(m_state.generation() == 7 ? kWriteConfigIdV7 : kWriteConfigId);
    std::string unitText = "block:";
    if (block) {
        if (block->pagerId == kReadConfigId)
            unitText = "read:" + block->message;
        else if (block->pagerId == kWriteConfigId || block->pagerId == kWriteConfigIdV7)
            unitText = "write:" + block->message;
        else
            unitText += block->pagerId;
    }
    beginUnit(t, unitText, UnitClass::Record);
    if (!block) {
        violation("malformed record block " + namedBytes(frame));
        refusal("malformed record block: NAK");
        respond(kNakCr);
    } else if (m_knobs.checksumCheck && !block->checksumOk()) {
        refusal("record block " + quoted(block->message) + " with checksum " + quoted(block->checksum) +
                ", expected " + quoted(block->expectedChecksum) + ": NAK");
        respond(kNakCr);
    } else if (m_knobs.idascapBlocksRecords && m_state.attachedCfg("idascap") == "1") {
        violation("record block " + quoted(block->message) + " while the attached port's ID-as-capcode is on");
        refusal("ID-as-capcode on: record block NAKed");
        respond(kNakCr);
    } else if (block->pagerId == kReadConfigId) {
        handleRequest(block->message);
    } else if (block->pagerId == writeId) {
        handleWrite(block->message);
    } else {
        violation("block for pager ID " + quoted(block->pagerId) +
                  ", not a configuration pager ID of this encoder: no answer");
    }
    finishUnit();
}

void Core::handleRequest(const Bytes &message)
{
    const auto req = parseRequest(message);
    if (!req) {
        refusal("record request " + quoted(message) + ": Invalid");
        respond(kInvalid);
        return;
    }
    ++m_stats.recordRequests;
    if (req->leadingZeros)
        violation("record request " + quoted(message) + " with leading zeros");
    const auto idx = static_cast<std::size_t>(req->number - 1);
    Bytes line;
    switch (req->letter) {
    case 'L': {
        const EmptyGroupStyle style = m_knobs.emptyGroupReply.value_or(
            m_state.generation() == 7 ? EmptyGroupStyle::Full : EmptyGroupStyle::Short);
        line = groupLine(req->number, m_state.groups[idx], style);
        break;
    }
    case 'G': line = familyLine(req->number, m_state.families[idx]); break;
    default: line = messageLine(req->number, m_state.messages[idx]); break;
    }
    event(EventKind::Record, "read " + quoted(message) + " -> " + quoted(line));
    respond(line + kCrLf);
}

void Core::handleWrite(const Bytes &message)
{
    auto w = parseWrite(message);
    if (!w) {
        refusal("record write " + quoted(message) + " names no slot: Invalid");
        respond(kInvalid);
        return;
    }
    ++m_stats.recordWrites;
    if (w->leadingZeros)
        violation("record write " + quoted(message.substr(0, message.find(' ', 2))) + " with leading zeros");
    const std::string slot = std::string(1, w->letter) + " " + std::to_string(w->number);
    if (w->letter == 'M') {
        if (m_knobs.strictRecords && static_cast<int>(w->message.size()) > kMaxMessageStrict)
            w->issues.push_back("message of " + std::to_string(w->message.size()) + " characters (more than 60)");
        if (m_knobs.maxMessageLen && static_cast<int>(w->message.size()) > *m_knobs.maxMessageLen) {
            w->issues.push_back("message cut to " + std::to_string(*m_knobs.maxMessageLen) + " characters");
            w->message.resize(static_cast<std::size_t>(*m_knobs.maxMessageLen));
        }
    }
    if (m_knobs.strictRecords && (w->malformed || !w->issues.empty())) {
        std::string why;
        for (const auto &i : w->issues)
            why += (why.empty() ? "" : "; ") + i;
        refusal("record write " + slot + " refused (strict_records): " + why);
        respond(kInvalid);
        return;
    }
    for (const auto &i : w->issues)
        warn("record write " + slot + ": " + i);
    const auto idx = static_cast<std::size_t>(w->number - 1);
    std::string what;
    switch (w->letter) {
    case 'L':
        m_state.groups[idx] = w->group;
        what = w->group.defined() ? "" : " (undefined)";
        break;
    case 'G': m_state.families[idx] = w->family; break;
    default: m_state.messages[idx] = w->message; break;
    }
    event(EventKind::Record, "write " + slot + " stored" + what + ": " + quoted(message));
    respond(kRsCr);
}

// ---------------------------------------------------------------------------------------
// Pages on the air

void Core::transmitPages(Time t, const Bytes &pager, const Resolution &resolution, const Bytes &message,
                         const std::string &protocol)
{
    for (const auto &n : resolution.notes)
        warn(n);
    for (const Target &target : resolution.targets) {
        Page p;
        p.time = t;
        p.port = m_state.effectiveAttachedPort();
        p.protocol = protocol.empty() ? m_pagingProtocol : protocol;
        p.pager = pager;
        p.via = target.via;
        p.capcode = target.capcode;
        p.rate = target.rate;
        p.type = target.type;
        p.function = target.function;
        p.message = message;
        p.text = pageText(m_state, target, message);
        ++m_stats.pages;
        m_log->add(m_now, EventKind::Page, p.describe(), p.text);
        m_pages.push_back(std::move(p));
    }
}

// The encoder's own transmissions run in paging mode only: timed group pages every two
// minutes, the station ID every sidint minutes.
void Core::scheduleOwnTransmissions(Time t)
{
    const bool paging = m_mode == Mode::Paging;
    if (!paging || !m_knobs.timedPaging)
        m_timedAt.reset();
    else if (!m_timedAt)
        m_timedAt = t + kTimedPagingInterval;
    if (!paging || !m_knobs.stationIdTx)
        m_stationAt.reset();
    else if (!m_stationAt)
        m_stationAt = t + msToTime(60'000.0 * static_cast<double>(std::max(1LL, m_state.cfgNumber("sidint"))));
}

void Core::timedGroupPages(Time t)
{
    m_timedAt = t + kTimedPagingInterval;
    const ResolveContext ctx{m_state, m_capby8InForce, false, m_knobs.allDigitIds};
    for (int i = 0; i < kGroups; ++i) {
        const Group &g = m_state.groups[static_cast<std::size_t>(i)];
        const long long msg = g.f[7];
        if (!g.defined() || !g.active() || g.f[6] != 1 || msg < 1 || msg > kMessages)
            continue;
        Resolution r = groupTargets(i + 1, ctx);
        if (!r.ok()) {
            warn("timed page of group " + std::to_string(i + 1) + " not sent: " + r.error);
            continue;
        }
        for (auto &target : r.targets) {
            target.via = "timer " + target.via;
            target.prefix = target.suffix = 0;
        }
        event(EventKind::Paging, "timer: group " + std::to_string(i + 1) + " pages canned message " + std::to_string(msg));
        transmitPages(t, std::to_string(g.groupId()), r, m_state.messages[static_cast<std::size_t>(msg - 1)], "TIMER");
    }
}

void Core::stationId(Time t)
{
    m_stationAt.reset();
    scheduleOwnTransmissions(t);
    const std::string sid = m_state.cfg("sid");
    if (m_state.generation() == 7 || !m_state.hasStationId() || sid.empty())
        return;
    event(EventKind::Paging, "station ID " + quoted(sid) + " transmitted");
}

// ---------------------------------------------------------------------------------------
// Boot and power

void Core::startReboot(Time t, const std::string &why)
{
    if (m_tone) {
        event(EventKind::Tone, "test tone off");
        m_tone = 0;
    }
    event(EventKind::Reboot, "booting (" + why + "), ready in " + std::to_string(m_knobs.rebootMs) + " ms");
    event(EventKind::Mode, std::string(modeName(m_mode)) + " -> BOOTING");
    m_mode = Mode::Booting;
    m_switchAt.reset();
    resetParsers();
    m_bootDoneAt = t + msToTime(m_knobs.rebootMs);
}

void Core::finishBoot(Time t)
{
    endLostWhileBooting();
    m_bootDoneAt.reset();
    latch();
    m_mode = Mode::Paging;
    event(EventKind::Reboot, "boot finished");
    event(EventKind::Mode, "BOOTING -> PAGING: port " + std::to_string(m_state.effectiveAttachedPort()) + " " +
                               m_pagingProtocol + " at " + m_pagingBaud + " " + m_pagingFormat +
                               (m_capby8InForce ? ", capcodes by 8" : ""));
    if (m_knobs.bootBanner) {
        event(EventKind::Knob, "boot_banner: " + namedBytes(*m_knobs.bootBanner));
        schedule(t, *m_knobs.bootBanner, ChunkKind::Normal, listenBaud(), listenFormat());
    }
}

void Core::powerOff(Time now)
{
    m_now = std::max(m_now, now);
    event(EventKind::Control, "power off");
    if (m_mode != Mode::Off)
        event(EventKind::Mode, std::string(modeName(m_mode)) + " -> OFF");
    m_mode = Mode::Off;
    m_input.clear();
    m_garbled = Garbled{};
    m_output.clear();
    m_bootDoneAt.reset();
    m_switchAt.reset();
    m_noiseAt.reset();
    m_tone = 0;
    m_inputFreeAt = 0;
    m_outputFreeAt = 0;
    resetParsers();
}

void Core::powerOn(Time now)
{
    m_now = std::max(m_now, now);
    if (m_mode != Mode::Off) {
        event(EventKind::Control, "power on: already on");
        return;
    }
    event(EventKind::Control, "power on");
    event(EventKind::Mode, "OFF -> BOOTING");
    m_mode = Mode::Booting;
    m_bootDoneAt = m_now + msToTime(m_knobs.rebootMs);
}

void Core::powerCycle(Time now)
{
    powerOff(now);
    powerOn(now);
}

void Core::cablePull(Time now)
{
    m_now = std::max(m_now, now);
    m_cablePulled = true;
    event(EventKind::Line, "cable pulled: silence both ways");
}

void Core::cablePlug(Time now)
{
    m_now = std::max(m_now, now);
    m_cablePulled = false;
    event(EventKind::Line, "cable plugged in");
}

// ---------------------------------------------------------------------------------------
// Control

void Core::loadState(Time now, const DeviceState &state)
{
    m_now = std::max(m_now, now);
    m_state = state;
    latch();
    event(EventKind::Control, "state loaded: firmware " + m_state.firmware + ", generation " +
                                  std::to_string(m_state.generation()) + ", attached port " +
                                  std::to_string(m_state.effectiveAttachedPort()));
}

bool Core::loadState(Time now, const std::string &text, std::string *error)
{
    const auto s = DeviceState::fromText(text, error);
    if (!s)
        return false;
    loadState(now, *s);
    return true;
}

void Core::clearKnobs(Time now)
{
    m_now = std::max(m_now, now);
    m_knobs = Knobs{};
    m_noiseAt.reset();
    scheduleOwnTransmissions(m_now);
    event(EventKind::Knob, "all knobs cleared");
}

bool Core::setKnob(Time now, const std::string &nameIn, const std::string &value, std::string *error)
{
    m_now = std::max(m_now, now);
    const std::string name = toLower(nameIn);
    const auto tokens = tokenize(value);
    const std::string single = tokens.size() == 1 ? tokens[0] : value;
    auto fail = [&](const std::string &why) {
        if (error)
            *error = why;
        return false;
    };
    auto done = [&] {
        event(EventKind::Knob, "set " + name + " = " + value);
        return true;
    };

    if (name == "firmware") {
        const auto fw = parseBytes(single);
        if (!fw || fw->empty())
            return fail("firmware needs a version text");
        m_state.firmware = *fw;
        return done();
    }
    if (name == "generation") {
        if (iequals(single, "auto")) {
            m_state.generationOverride.reset();
            return done();
        }
        const auto g = parseDecimal(single);
        if (!g || (*g != 7 && *g != 8 && *g != 9))
            return fail("generation is 7, 8, 9 or auto");
        m_state.generationOverride = static_cast<int>(*g);
        return done();
    }
    if (name == "attached_port") {
        if (single != "1" && single != "2")
            return fail("attached_port is 1 or 2");
        m_state.attachedPort = single[0] - '0';
        if (m_state.effectiveAttachedPort() != m_state.attachedPort)
            warn("attached_port 2 has no effect: a V7 or \"S\" firmware reports port 1");
        return done();
    }
    if (name == "v7_dip_switches_on" || name == "v7_pet_supported") {
        const auto b = parseBool(single);
        if (!b)
            return fail(name + " is on or off");
        (name == "v7_dip_switches_on" ? m_state.v7DipSwitchesOn : m_state.v7PetSupported) = *b;
        return done();
    }
    if (name == "preset") {
        const auto s = DeviceState::preset(single);
        if (!s)
            return fail("preset is factory-v9, factory-v8, factory-v7 or demo");
        loadState(now, *s);
        return done();
    }
    if (name == "start_mode") {
        const std::string v = toLower(single);
        if (v != "paging" && v != "programming")
            return fail("start_mode is paging or programming");
        if (m_mode == Mode::Off)
            return fail("start_mode: the encoder is off");
        latch();
        m_bootDoneAt.reset();
        m_switchAt.reset();
        resetParsers();
        if (v == "programming") {
            enterProgramming(now);
        } else if (m_mode != Mode::Paging) {
            event(EventKind::Mode, std::string(modeName(m_mode)) + " -> PAGING");
            m_mode = Mode::Paging;
        }
        return done();
    }
    if (name == "power") {
        const std::string v = toLower(single);
        if (v == "on")
            powerOn(now);
        else if (v == "off")
            powerOff(now);
        else if (v == "cycle")
            powerCycle(now);
        else
            return fail("power is on, off or cycle");
        return done();
    }
    if ((name == "hangup" || name == "cable_pull" || name == "power_cycle") &&
        (single.empty() || iequals(single, "now"))) {
        if (name == "hangup") {
            event(EventKind::Line, "hangup requested");
            m_actions.push_back(Action::Hangup);
        } else if (name == "cable_pull") {
            cablePull(now);
        } else {
            powerCycle(now);
        }
        return done();
    }
    if (name == "cable_plug") {
        cablePlug(now);
        return done();
    }
    if (name.rfind("config.", 0) == 0) {
        std::string key = name.substr(7);
        std::replace(key.begin(), key.end(), '.', ' ');
        const ConfigKey *info = findKey(9, key);
        if (!info)
            info = findKey(7, key);
        if (!info)
            return fail("no configuration key \"" + key + "\"");
        const auto canonical = canonicalValue(*info, value);
        if (!canonical)
            return fail("value not accepted for \"" + key + "\"");
        m_state.config[std::string(info->storage)] = *canonical;
        if (key.find("idascap") == std::string::npos)
            event(EventKind::Control, "config " + std::string(info->storage) +
                                          " set; port settings take effect at the next boot");
        return done();
    }
    if (!m_knobs.set(name, value, error))
        return false;
    if (name == "tap_logged_in_at_boot" && m_knobs.tapLoggedInAtBoot && m_mode == Mode::Paging && m_paging &&
        !m_paging->loggedIn()) {
        m_paging->logIn();
        event(EventKind::Paging, "TAP session logged in now (tap_logged_in_at_boot)");
    }
    scheduleOwnTransmissions(m_now);
    return done();
}

Snapshot Core::snapshot() const
{
    Snapshot s;
    s.mode = m_mode;
    s.firmware = m_state.firmware;
    s.generation = m_state.generation();
    s.attachedPort = m_state.effectiveAttachedPort();
    s.dipSwitchesOn = m_state.v7DipSwitchesOn;
    s.petSupported = m_state.v7PetSupported;
    s.config = m_state.config;
    const EmptyGroupStyle style =
        m_knobs.emptyGroupReply.value_or(m_state.generation() == 7 ? EmptyGroupStyle::Full : EmptyGroupStyle::Short);
    for (int i = 0; i < kGroups; ++i)
        s.recordLines.push_back(groupLine(i + 1, m_state.groups[static_cast<std::size_t>(i)], style));
    for (int i = 0; i < kFamilies; ++i)
        s.recordLines.push_back(familyLine(i + 1, m_state.families[static_cast<std::size_t>(i)]));
    for (int i = 0; i < kMessages; ++i)
        s.recordLines.push_back(messageLine(i + 1, m_state.messages[static_cast<std::size_t>(i)]));
    s.tone = m_tone;
    s.tapLoggedIn = m_paging && m_paging->loggedIn();
    s.capby8InForce = m_capby8InForce;
    s.pagingProtocol = m_pagingProtocol;
    s.pagingBaud = m_pagingBaud;
    s.pagingFormat = m_pagingFormat;
    s.pcPortOpen = m_pcOpen;
    s.cablePulled = m_cablePulled;
    return s;
}

} // namespace encsim
