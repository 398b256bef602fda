#include "encsim/paging.h"

#include "encsim/records.h"

#include <algorithm>
#include <optional>

namespace encsim {

namespace {

constexpr std::size_t kMaxLine = 1024;
constexpr std::size_t kMaxBlock = 4096;
constexpr Time kEmptyLineQuiet = msToTime(100);

// Splits input into lines ended by CR, LF or CR LF.
class LineSplitter {
public:
    // Returns true when b ended a line, which is then in *line.
    bool feed(char b, Bytes *line)
    {
        if (b == ctl::LF && m_lastCR) {
            m_lastCR = false;
            return false;
        }
        m_lastCR = b == ctl::CR;
        if (b == ctl::CR || b == ctl::LF) {
            *line = std::move(m_line);
            m_line.clear();
            return true;
        }
        if (m_line.size() < kMaxBlock)
            m_line += b;
        return false;
    }
    void reset()
    {
        m_line.clear();
        m_lastCR = false;
    }
    const Bytes &partial() const { return m_line; }

private:
    Bytes m_line;
    bool m_lastCR = false;
};

bool take(int &count)
{
    if (count == 0)
        return false;
    if (count > 0)
        --count;
    return true;
}

std::string left(int count)
{
    return count < 0 ? " (every frame)" : " (" + std::to_string(count) + " more)";
}

std::string quoted(const Bytes &b)
{
    return "\"" + namedBytes(b) + "\"";
}

const Bytes kNakCr{ctl::NAK, ctl::CR};

Bytes rsAnswer(const char *text)
{
    return Bytes(text) + ctl::CR + ctl::RS + ctl::CR;
}

// TAP and PET. Logged out (after every boot), each line end is answered with the logon
// prompt "ID=" and "ATI" with the identification banner; ESC "PG1" logs the session in.
// Logged in, page blocks are checked, resolved and answered ACK, NAK or a code and RS.
class TapHandler final : public PagingHandler {
public:
    TapHandler(PagingHost &host, std::string name)
        : m_host(host), m_name(std::move(name)), m_loggedIn(host.knobs().tapLoggedInAtBoot), m_lastInput(host.now())
    {
    }

    void byte(Time t, char b) override
    {
        m_lastInput = t;
        if (m_inBlock) {
            blockByte(t, b);
            return;
        }
        if (b == ctl::STX && m_loggedIn) {
            if (!m_line.empty())
                m_host.warn("partial line " + quoted(m_line) + " dropped by a page block");
            m_line.clear();
            m_inBlock = true;
            m_block = Bytes(1, b);
            m_tail = -1;
            return;
        }
        if (b == ctl::LF)
            return;
        if (b != ctl::CR) {
            if (m_line.size() < kMaxLine)
                m_line += b;
            return;
        }
        Bytes text = std::move(m_line);
        m_line.clear();
        line(t, text);
    }

    void reset() override
    {
        m_line.clear();
        m_inBlock = false;
        m_block.clear();
        m_tail = -1;
    }

    bool loggedIn() const override { return m_loggedIn; }
    void logIn() override
    {
        m_loggedIn = true;
        m_lastInput = m_host.now();
    }

    std::optional<Time> nextTimer() const override
    {
        const int idle = m_host.knobs().tapIdleLogoutS;
        if (!m_loggedIn || idle <= 0)
            return std::nullopt;
        return m_lastInput + msToTime(idle * 1000.0);
    }

    void timer(Time t) override
    {
        if (const auto due = nextTimer(); due && *due <= t) {
            m_loggedIn = false;
            m_host.knobFired("tap_idle_logout_s: no input for " + std::to_string(m_host.knobs().tapIdleLogoutS) +
                             " s, session logged out");
        }
    }

private:
    void blockByte(Time t, char b)
    {
        if (m_tail < 0) {
            m_block += b;
            if (b == ctl::ETX || b == ctl::ETB) {
                m_tail = 0;
            } else if (m_block.size() > kMaxBlock) {
                m_inBlock = false;
                m_block.clear();
                m_host.unit(t, "page:");
                m_host.refuse(m_name + " block of more than " + std::to_string(kMaxBlock) + " bytes without ETX: NAK");
                m_host.reply(kNakCr);
                m_host.endUnit();
            }
            return;
        }
        if (m_tail < 3) {
            m_block += b;
            ++m_tail;
            return;
        }
        // The byte after the three checksum characters ends the block.
        Bytes frame = std::move(m_block);
        m_block.clear();
        m_inBlock = false;
        m_tail = -1;
        block(t, frame);
        if (b != ctl::CR) {
            m_host.warn(m_name + " block not ended by CR after its checksum");
            byte(t, b);
        }
    }

    Bytes accepted() const
    {
        const DeviceState &s = m_host.state();
        const Bytes verbose = Bytes("211 Page Accepted\r") + ctl::ACK + ctl::CR;
        if (s.generation() == 7)
            return s.cfg("briefack") == "1" ? Bytes{ctl::CR, ctl::ACK, ctl::CR} : verbose;
        return s.attachedCfg("verbose") == "1" ? verbose : Bytes{ctl::ACK, ctl::CR};
    }

    void block(Time t, const Bytes &frame)
    {
        const auto pb = parseBlock(frame);
        const Bytes pager = pb ? pb->pagerId : Bytes();
        m_host.unit(t, "page:" + pager);
        Knobs &k = m_host.knobs();
        if (!pb) {
            m_host.refuse("malformed " + m_name + " block " + quoted(frame) + ": NAK");
            m_host.reply(kNakCr);
        } else if (k.checksumCheck && !pb->checksumOk()) {
            m_host.refuse(m_name + " block for " + quoted(pager) + " with checksum " + quoted(pb->checksum) +
                          ", expected " + quoted(pb->expectedChecksum) + ": NAK");
            m_host.reply(kNakCr);
        } else if (take(k.nakBlocks)) {
            m_host.knobFired("nak_blocks: block for " + quoted(pager) + " answered NAK" + left(k.nakBlocks));
            m_host.reply(kNakCr);
        } else if (take(k.tapBusy)) {
            m_host.knobFired("tap_busy: block for " + quoted(pager) + " answered 111 busy" + left(k.tapBusy));
            m_host.reply(rsAnswer("111 System Busy"));
        } else if (take(k.tapReject)) {
            m_host.knobFired("tap_reject: block for " + quoted(pager) + " answered 512 rejected" + left(k.tapReject));
            m_host.reply(rsAnswer("512 Message Rejected"));
        } else if (k.tapMaxLen && pb->message.size() > static_cast<std::size_t>(*k.tapMaxLen)) {
            m_host.refuse(m_name + " page for " + quoted(pager) + " refused (512): message of " +
                          std::to_string(pb->message.size()) + " characters, more than tap_max_len " +
                          std::to_string(*k.tapMaxLen));
            m_host.reply(rsAnswer("512 Message Rejected"));
        } else if (const Resolution r = m_host.resolve(pager); !r.ok()) {
            m_host.refuse(m_name + " page for " + quoted(pager) + " refused (511): " + r.error);
            m_host.reply(rsAnswer("511 Invalid Pager ID"));
        } else {
            m_host.transmit(t, pager, r, pb->message);
            if (take(k.tapXoff)) {
                m_host.knobFired("tap_xoff: page answered XOFF, XON after " + std::to_string(k.xoffMs) + " ms" +
                                 left(k.tapXoff));
                m_host.reply(Bytes(1, ctl::XOFF));
                m_host.reply(Bytes(1, ctl::XON), msToTime(k.xoffMs));
            } else {
                m_host.reply(accepted());
            }
        }
        m_host.endUnit();
    }

    void logon(Time t)
    {
        m_host.unit(t, "logon");
        Knobs &k = m_host.knobs();
        if (!k.tapPrompt) {
            m_host.knobFired("tap_prompt off: log-on not answered");
        } else if (take(k.tapLogonRefuse)) {
            m_host.knobFired("tap_logon: log-on refused with NAK" + left(k.tapLogonRefuse));
            m_loggedIn = false;
            m_host.reply(kNakCr);
            m_lastAnswered = t;
        } else {
            m_loggedIn = true;
            m_host.note(m_name + " log-on accepted: session logged in");
            m_host.reply(Bytes{ctl::ACK, ctl::CR, ctl::ESC} + "[p" + ctl::CR);
            m_lastAnswered = t;
        }
        m_host.endUnit();
    }

    void line(Time t, const Bytes &text)
    {
        if (text.size() >= 4 && text[0] == ctl::ESC && text.compare(1, 3, "PG1") == 0) {
            logon(t);
            return;
        }
        m_host.unit(t, text);
        if (iequals(text, "ATI")) {
            m_host.note("ATI answered with the banner");
            m_host.reply(m_host.banner(!m_host.dipSwitchesOff()));
            m_lastAnswered = t;
        } else if (m_loggedIn) {
            if (text == Bytes(1, ctl::EOT)) {
                m_host.note(m_name + " log-off: session logged out");
                m_host.reply(Bytes{ctl::ESC, ctl::EOT, ctl::CR});
                m_loggedIn = false;
                m_lastAnswered = t;
            } else if (!text.empty()) {
                m_host.note("logged in: line " + quoted(text) + " is not a page block: no answer");
            }
        } else if (text.empty() && m_lastAnswered >= 0 && t - m_lastAnswered <= kEmptyLineQuiet) {
            m_host.note("empty line right after an answered one: no prompt");
        } else if (!m_host.knobs().tapPrompt && (text.empty() || text[0] != ctl::STX)) {
            m_host.knobFired("tap_prompt off: line " + quoted(text) + " not prompted");
        } else {
            m_host.note("logged out: line " + quoted(text) + " answered with the logon prompt");
            m_host.reply("ID=");
            m_lastAnswered = t;
        }
        m_host.endUnit();
    }

    PagingHost &m_host;
    std::string m_name;
    bool m_loggedIn = false;
    Bytes m_line;
    bool m_inBlock = false;
    Bytes m_block;
    int m_tail = -1; // checksum characters after ETX, -1 before ETX
    Time m_lastAnswered = -1;
    Time m_lastInput;
};

// COMP1: every line is one page to the default pager, the first pager ID of group 1,
// resolved as a short pager ID; the prompt follows each line. A V7 whose DIP switches are not
// all on echoes every byte.
class Comp1Handler final : public PagingHandler {
public:
    explicit Comp1Handler(PagingHost &host) : m_host(host) {}

    void byte(Time t, char b) override
    {
        if (m_host.dipSwitchesOff())
            m_host.echo(t, Bytes(1, b));
        Bytes line;
        if (!m_lines.feed(b, &line))
            return;
        m_host.unit(t, line);
        if (!line.empty())
            page(t, line);
        m_host.reply("\r\nCOMP1>");
        m_host.endUnit();
    }

    void reset() override { m_lines.reset(); }

private:
    void page(Time t, const Bytes &line)
    {
        const long long id = m_host.state().groups[0].pager(0);
        if (id == 0) {
            m_host.warn("COMP1 line " + quoted(line) + " not paged: group 1 has no first pager ID");
            return;
        }
        const Bytes pager = std::to_string(id);
        const Resolution r = m_host.resolve(pager, PagerForm::Short);
        if (!r.ok()) {
            m_host.warn("COMP1 line " + quoted(line) + " not paged: default pager " + pager + ": " + r.error);
            return;
        }
        m_host.transmit(t, pager, r, line);
    }

    PagingHost &m_host;
    LineSplitter m_lines;
};

// COMP2: DEL DEL DEL + pager line (pager field and an optional function letter) + CR +
// message + CR is a page; "okay" CR LF "COMP2>" accepts it, NAK + code CR LF "COMP2>" refuses
// it. Any other line gets the prompt.
class Comp2Handler final : public PagingHandler {
public:
    explicit Comp2Handler(PagingHost &host) : m_host(host) {}

    void byte(Time t, char b) override
    {
        switch (m_state) {
        case State::Line: {
            if (b == ctl::DEL && m_lines.partial().empty()) {
                m_state = State::Pager;
                m_frameStart = t;
                m_pager.clear();
                m_message.clear();
                return;
            }
            Bytes line;
            if (!m_lines.feed(b, &line))
                return;
            m_host.unit(t, line);
            m_host.reply(kPrompt);
            m_host.endUnit();
            return;
        }
        case State::Pager:
            if (b == ctl::DEL && m_pager.empty())
                return;
            if (b == ctl::CR)
                m_state = State::Message;
            else if (m_pager.size() < kMaxLine)
                m_pager += b;
            return;
        case State::Message:
            if (b == ctl::CR) {
                m_state = State::Line;
                m_lines.reset();
                frame(t);
            } else if (m_message.size() < kMaxBlock) {
                m_message += b;
            }
            return;
        }
    }

    void reset() override
    {
        m_lines.reset();
        m_state = State::Line;
    }

    std::optional<Time> nextTimer() const override
    {
        if (m_state == State::Line)
            return std::nullopt;
        return m_frameStart + kFrameTime;
    }

    void timer(Time t) override
    {
        if (m_state == State::Line || t < m_frameStart + kFrameTime)
            return;
        m_state = State::Line;
        m_lines.reset();
        m_host.unit(t, "page:" + m_pager);
        m_host.refuse("COMP2 frame for " + quoted(m_pager) + " not completed within 5 s: NAK 08");
        m_host.reply(nak("08"));
        m_host.endUnit();
    }

private:
    enum class State { Line, Pager, Message };
    static constexpr Time kFrameTime = msToTime(5000);
    inline static const Bytes kPrompt = "\r\nCOMP2>";

    static Bytes nak(const Bytes &code) { return Bytes(1, ctl::NAK) + code + kPrompt; }

    void frame(Time t)
    {
        m_host.unit(t, "page:" + m_pager);
        // The sender puts the function letter straight after the pager field.
        Bytes field = m_pager;
        std::optional<int> function;
        if (!field.empty() && functionOfLetter(field.back())) {
            function = functionOfLetter(field.back());
            field.pop_back();
        }
        Knobs &k = m_host.knobs();
        if (k.comp2Nak.take()) {
            m_host.knobFired("comp2_nak: frame for " + quoted(m_pager) + " answered NAK " +
                             quoted(k.comp2Nak.code) + left(k.comp2Nak.count));
            m_host.reply(nak(k.comp2Nak.code));
        } else if (const Resolution r = m_host.resolve(field, PagerForm::Any, function); !r.ok()) {
            const char *code = r.malformed ? "08" : "03";
            m_host.refuse("COMP2 page for " + quoted(m_pager) + " refused (" + code + "): " + r.error);
            m_host.reply(nak(code));
        } else {
            m_host.transmit(t, m_pager, r, m_message);
            m_host.reply("okay" + kPrompt);
        }
        m_host.endUnit();
    }

    PagingHost &m_host;
    LineSplitter m_lines;
    State m_state = State::Line;
    Time m_frameStart = 0;
    Bytes m_pager;
    Bytes m_message;
};

// The answer of the capcode protocols: ACK EOT for a page, NAK + code + EOT for a refusal.
Bytes nakEot(const Bytes &code)
{
    return Bytes(1, ctl::NAK) + code + ctl::EOT;
}

// The maker's own protocol: SOH, function digit, rate digit, capcode digits, STX, message,
// ETX, EOT. Any other line is echoed with CR BEL CR.
class ZqHandler final : public PagingHandler {
public:
    explicit ZqHandler(PagingHost &host) : m_host(host) {}

    void byte(Time t, char b) override
    {
        if (m_inFrame) {
            m_frame += b;
            if (b == ctl::EOT) {
                m_inFrame = false;
                frame(t, m_frame);
                m_frame.clear();
            } else if (m_frame.size() > kMaxBlock) {
                m_inFrame = false;
                m_host.unit(t, "page:");
                m_host.refuse("ZQ frame of more than " + std::to_string(kMaxBlock) + " bytes without EOT: NAK 08");
                m_host.reply(nakEot("08"));
                m_host.endUnit();
                m_frame.clear();
            }
            return;
        }
        if (b == ctl::SOH && m_lines.partial().empty()) {
            m_inFrame = true;
            m_frame = Bytes(1, b);
            return;
        }
        Bytes line;
        if (!m_lines.feed(b, &line))
            return;
        if (line.empty())
            return;
        m_host.unit(t, line);
        m_host.reply(line + "\r\a\r");
        m_host.endUnit();
    }

    void reset() override
    {
        m_lines.reset();
        m_inFrame = false;
        m_frame.clear();
    }

private:
    void frame(Time t, const Bytes &f)
    {
        // SOH f r capcode STX message ETX EOT
        const std::size_t stx = f.find(ctl::STX, 3);
        const std::size_t etx = f.rfind(ctl::ETX);
        const Bytes capcode = stx == Bytes::npos ? Bytes() : f.substr(3, stx - 3);
        m_host.unit(t, "page:" + capcode);
        Knobs &k = m_host.knobs();
        std::string malformed;
        if (f.size() < 3 || f[1] < '1' || f[1] > '4')
            malformed = "function digit not 1-4";
        else if (!rateOfCode(f[2] - '0'))
            malformed = "rate digit not 5, 1 or 2";
        else if (stx == Bytes::npos)
            malformed = "no STX";
        else if (etx == Bytes::npos || etx < stx)
            malformed = "no ETX";
        else if (!allDigits(capcode))
            malformed = "capcode " + quoted(capcode) + " not digits";
        if (k.zqNak.take()) {
            m_host.knobFired("zq_nak: frame answered NAK " + quoted(k.zqNak.code) + left(k.zqNak.count));
            m_host.reply(nakEot(k.zqNak.code));
        } else if (!malformed.empty()) {
            m_host.refuse("ZQ frame " + quoted(f) + " malformed (08): " + malformed);
            m_host.reply(nakEot("08"));
        } else if (const Resolution r = capcodeTarget(capcode, rateOfCode(f[2] - '0'), f[1] - '0'); !r.ok()) {
            m_host.refuse("ZQ page refused (03): " + r.error);
            m_host.reply(nakEot("03"));
        } else {
            m_host.transmit(t, capcode, r, f.substr(stx + 1, etx - stx - 1));
            m_host.reply(Bytes{ctl::ACK, ctl::EOT});
        }
        m_host.endUnit();
    }

    PagingHost &m_host;
    LineSplitter m_lines;
    bool m_inFrame = false;
    Bytes m_frame;
};

// Scope: a CR-ended line "AN" (512), "AF" (1200) or "AS" (2400) + capcode digits + function
// letter + message is a page; any other line is invalid.
class ScopeHandler final : public PagingHandler {
public:
    explicit ScopeHandler(PagingHost &host) : m_host(host) {}

    void byte(Time t, char b) override
    {
        Bytes line;
        if (!m_lines.feed(b, &line) || line.empty())
            return;
        const int rate = line.rfind("AN", 0) == 0 ? 512 : line.rfind("AF", 0) == 0 ? 1200 : line.rfind("AS", 0) == 0 ? 2400 : 0;
        if (!rate) {
            m_host.unit(t, line);
            m_host.reply("INVALID\r\n");
            m_host.endUnit();
            return;
        }
        std::size_t end = 2;
        while (end < line.size() && line[end] >= '0' && line[end] <= '9')
            ++end;
        const Bytes capcode = line.substr(2, end - 2);
        const int function = end < line.size() ? functionOfLetter(line[end]) : 0;
        m_host.unit(t, "page:" + capcode);
        Knobs &k = m_host.knobs();
        if (k.scopeNak.take()) {
            m_host.knobFired("scope_nak: frame answered NAK " + quoted(k.scopeNak.code) + left(k.scopeNak.count));
            m_host.reply(nakEot(k.scopeNak.code));
        } else if (capcode.empty() || !function) {
            m_host.refuse("Scope frame " + quoted(line) + " malformed (08): " +
                          (capcode.empty() ? "no capcode" : "no function letter A-D after the capcode"));
            m_host.reply(nakEot("08"));
        } else if (const Resolution r = capcodeTarget(capcode, rate, function); !r.ok()) {
            m_host.refuse("Scope page refused (03): " + r.error);
            m_host.reply(nakEot("03"));
        } else {
            m_host.transmit(t, capcode, r, line.substr(end + 1));
            m_host.reply(k.scopeReplyCr ? Bytes{ctl::ACK, ctl::CR} : Bytes{ctl::ACK, ctl::EOT});
        }
        m_host.endUnit();
    }

    void reset() override { m_lines.reset(); }

private:
    PagingHost &m_host;
    LineSplitter m_lines;
};

// SNPP: "PAGE" names the pager (a later PAGE replaces it), "MESS" the message, "SEND"
// transmits them; "RESE" and "QUIT" clear them. Every command is answered with one line.
class SnppHandler final : public PagingHandler {
public:
    explicit SnppHandler(PagingHost &host) : m_host(host) {}

    void byte(Time t, char b) override
    {
        Bytes line;
        if (!m_lines.feed(b, &line) || line.empty())
            return;
        m_host.unit(t, line);
        const std::size_t blank = line.find(' ');
        const std::string word = toUpper(line.substr(0, blank));
        const Bytes arg = blank == Bytes::npos ? Bytes() : line.substr(blank + 1);
        if (word != "PAGE" && word != "MESS" && word != "SEND" && word != "RESE" && word != "QUIT") {
            m_host.note("SNPP: unknown command " + quoted(line));
            m_host.reply("\r\nError - Invalid Command\r\n");
        } else if (!forced(word)) {
            command(t, word, arg);
        }
        m_host.endUnit();
    }

    void reset() override { m_lines.reset(); }

private:
    // snpp_fail: a reply of the knob's in place of the command's own; the command is not carried out.
    bool forced(const std::string &word)
    {
        for (ForcedAnswer &f : m_host.knobs().snppFail) {
            if (f.stage != word || !f.take())
                continue;
            m_host.knobFired("snpp_fail: " + word + " answered " + quoted(f.code) + (f.noEol ? " without CR LF" : "") +
                             left(f.count));
            m_host.reply(f.noEol ? f.code : f.code + "\r\n");
            return true;
        }
        return false;
    }

    void clear()
    {
        m_pager.reset();
        m_resolution = Resolution{};
        m_message.reset();
    }

    void command(Time t, const std::string &word, const Bytes &arg)
    {
        if (word == "PAGE") {
            const Bytes id = arg.substr(0, arg.find(' '));
            m_resolution = m_host.resolve(id);
            if (m_resolution.ok()) {
                m_pager = id;
                m_host.reply("250 Pager ID Accepted\r\n");
            } else {
                m_pager.reset();
                m_host.refuse("SNPP pager " + quoted(id) + " refused (550): " + m_resolution.error);
                m_host.reply("550 Error, Invalid Pager ID\r\n");
            }
        } else if (word == "MESS") {
            if (arg.empty()) {
                m_host.refuse("SNPP message empty (550)");
                m_host.reply("550 Error, Message Required\r\n");
            } else {
                m_message = arg;
                m_host.reply("250 Message OK\r\n");
            }
        } else if (word == "SEND") {
            if (m_pager && m_message) {
                m_host.transmit(t, *m_pager, m_resolution, *m_message);
                clear();
                m_host.reply("250 Message Sent Successfully\r\n");
            } else {
                m_host.refuse(std::string("SNPP SEND without ") + (m_pager ? "a message" : "a pager ID") + " (503)");
                m_host.reply("503 Error, Pager ID or Message Incomplete\r\n");
            }
        } else if (word == "RESE") {
            clear();
            m_host.reply("250 Reset OK\r\n");
        } else {
            clear();
            m_host.reply("221 OK, Goodbye\r\n");
        }
    }

    PagingHost &m_host;
    LineSplitter m_lines;
    std::optional<Bytes> m_pager;
    Resolution m_resolution;
    std::optional<Bytes> m_message;
};

} // namespace

std::unique_ptr<PagingHandler> makePagingHandler(const std::string &protocol, PagingHost &host)
{
    const std::string p = toUpper(protocol);
    if (p == "COMP1")
        return std::make_unique<Comp1Handler>(host);
    if (p == "COMP2")
        return std::make_unique<Comp2Handler>(host);
    if (p == "ZQ")
        return std::make_unique<ZqHandler>(host);
    if (p == "SCOPE")
        return std::make_unique<ScopeHandler>(host);
    if (p == "SNPP")
        return std::make_unique<SnppHandler>(host);
    return std::make_unique<TapHandler>(host, p == "PET" ? "PET" : "TAP");
}

} // namespace encsim
