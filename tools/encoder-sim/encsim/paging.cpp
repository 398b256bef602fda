#include "encsim/paging.h"

#include <optional>

namespace encsim {

namespace {

constexpr std::size_t kMaxLine = 1024;
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
        if (m_line.size() < kMaxLine)
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

// TAP and PET: logged out, every line end (CR) is answered with the logon prompt, "ATI"
// with the identification banner. An empty line right after an answered one gets nothing.
class TapHandler final : public PagingHandler {
public:
    explicit TapHandler(PagingHost &host) : m_host(host) {}

    void byte(Time t, char b) override
    {
        if (b != ctl::CR) {
            if (m_line.size() < kMaxLine)
                m_line += b;
            return;
        }
        Bytes text;
        for (char c : m_line)
            if (c != ctl::LF)
                text += c;
        m_line.clear();
        m_host.unit(t, text);
        if (iequals(text, "ATI")) {
            m_host.note("ATI answered with the banner");
            m_host.reply(m_host.banner(!m_host.dipSwitchesOff()));
            m_lastAnswered = t;
        } else if (text.empty() && m_lastAnswered >= 0 && t - m_lastAnswered <= kEmptyLineQuiet) {
            m_host.note("empty line right after an answered one: no prompt");
        } else {
            m_host.note("logged out: line \"" + namedBytes(text) + "\" answered with the logon prompt");
            m_host.reply("ID=");
            m_lastAnswered = t;
        }
        m_host.endUnit();
    }

    void reset() override { m_line.clear(); }

private:
    PagingHost &m_host;
    Bytes m_line;
    Time m_lastAnswered = -1;
};

// COMP1: every line is a page to the default pager; the prompt follows each line. A V7 whose
// DIP switches are not all on echoes every byte.
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
            m_host.note("COMP1 line \"" + namedBytes(line) + "\" for the default pager (pages are not transmitted yet)");
        m_host.reply("\r\nCOMP1>");
        m_host.endUnit();
    }

    void reset() override { m_lines.reset(); }

private:
    PagingHost &m_host;
    LineSplitter m_lines;
};

// COMP2: DEL-framed pages (pager line, message line); any other line gets the prompt.
// A V7 whose DIP switches are not all on stays silent.
class Comp2Handler final : public PagingHandler {
public:
    explicit Comp2Handler(PagingHost &host) : m_host(host) {}

    void byte(Time t, char b) override
    {
        Bytes line;
        if (!m_lines.feed(b, &line))
            return;
        if (m_framePager) {
            m_host.unit(t, *m_framePager);
            m_host.note("COMP2 page frame for \"" + namedBytes(*m_framePager) + "\", message \"" + namedBytes(line) +
                        "\" (pages are not transmitted yet)");
            m_host.endUnit();
            m_framePager.reset();
            return;
        }
        if (!line.empty() && line[0] == ctl::DEL) {
            std::size_t i = 0;
            while (i < line.size() && line[i] == ctl::DEL)
                ++i;
            m_framePager = line.substr(i);
            return;
        }
        // Every line gets the prompt, with the DIP switches off too: such a V7 only stays
        // silent to "#PrgmMode#", which comes without a line end.
        m_host.unit(t, line);
        m_host.reply("\r\nCOMP2>");
        m_host.endUnit();
    }

    void reset() override
    {
        m_lines.reset();
        m_framePager.reset();
    }

private:
    PagingHost &m_host;
    LineSplitter m_lines;
    std::optional<Bytes> m_framePager;
};

// The maker's own protocol: SOH ... EOT frames; any other line is echoed with CR BEL CR.
class ZqHandler final : public PagingHandler {
public:
    explicit ZqHandler(PagingHost &host) : m_host(host) {}

    void byte(Time t, char b) override
    {
        if (m_inFrame) {
            if (m_frame.size() < kMaxLine)
                m_frame += b;
            if (b == ctl::EOT) {
                m_inFrame = false;
                m_host.unit(t, m_frame);
                m_host.note("ZQ frame \"" + namedBytes(m_frame) + "\" (pages are not transmitted yet)");
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
    PagingHost &m_host;
    LineSplitter m_lines;
    bool m_inFrame = false;
    Bytes m_frame;
};

// Scope: CR-ended lines beginning "AN", "AF" or "AS" are frames; other lines are invalid.
class ScopeHandler final : public PagingHandler {
public:
    explicit ScopeHandler(PagingHost &host) : m_host(host) {}

    void byte(Time t, char b) override
    {
        Bytes line;
        if (!m_lines.feed(b, &line) || line.empty())
            return;
        m_host.unit(t, line);
        if (line.rfind("AN", 0) == 0 || line.rfind("AF", 0) == 0 || line.rfind("AS", 0) == 0)
            m_host.note("Scope frame \"" + namedBytes(line) + "\" (pages are not transmitted yet)");
        else
            m_host.reply("INVALID\r\n");
        m_host.endUnit();
    }

    void reset() override { m_lines.reset(); }

private:
    PagingHost &m_host;
    LineSplitter m_lines;
};

// SNPP: PAGE, MESS, SEND, RESE and QUIT are its commands; anything else is refused.
class SnppHandler final : public PagingHandler {
public:
    explicit SnppHandler(PagingHost &host) : m_host(host) {}

    void byte(Time t, char b) override
    {
        Bytes line;
        if (!m_lines.feed(b, &line) || line.empty())
            return;
        m_host.unit(t, line);
        const std::string word = toUpper(line.substr(0, line.find(' ')));
        if (word == "PAGE" || word == "MESS" || word == "SEND" || word == "RESE" || word == "QUIT")
            m_host.note("SNPP command \"" + namedBytes(line) + "\" (pages are not transmitted yet)");
        else
            m_host.reply("\r\nError - Invalid Command\r\n");
        m_host.endUnit();
    }

    void reset() override { m_lines.reset(); }

private:
    PagingHost &m_host;
    LineSplitter m_lines;
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
    return std::make_unique<TapHandler>(host);
}

} // namespace encsim
