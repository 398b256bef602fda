#include "encsim/knobs.h"

#include <cctype>

namespace encsim {

namespace {

bool isWordChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) != 0;
}

std::optional<int> parseNonNegative(std::string_view text)
{
    const auto v = parseDecimal(text);
    if (!v || *v > 100000000)
        return std::nullopt;
    return static_cast<int>(*v);
}

bool fail(std::string *error, const std::string &why)
{
    if (error)
        *error = why;
    return false;
}

std::optional<RuleKind> ruleKindOf(const std::string &name)
{
    static const std::pair<const char *, RuleKind> kinds[] = {
        {"drop_reply", RuleKind::DropReply},
        {"delay_reply", RuleKind::DelayReply},
        {"split_reply", RuleKind::SplitReply},
        {"replace_reply", RuleKind::ReplaceReply},
        {"line_ending", RuleKind::LineEnding},
        {"garbage", RuleKind::Garbage},
        {"inject_id_prompt", RuleKind::InjectIdPrompt},
        {"record_ack", RuleKind::RecordAck},
        {"record_reply_override", RuleKind::RecordReplyOverride},
        {"signature_inside", RuleKind::SignatureInside},
        {"hangup", RuleKind::Hangup},
        {"cable_pull", RuleKind::CablePull},
        {"power_cycle", RuleKind::PowerCycle},
        {"line_noise", RuleKind::LineNoise},
    };
    for (const auto &[n, k] : kinds)
        if (name == n)
            return k;
    return std::nullopt;
}

std::optional<Bytes> endingBytes(std::string_view text)
{
    const std::string t = toLower(text);
    if (t == "crlf")
        return Bytes("\r\n");
    if (t == "lfcr")
        return Bytes("\n\r");
    if (t == "cr")
        return Bytes("\r");
    if (t == "lf")
        return Bytes("\n");
    if (t == "none" || t.empty())
        return Bytes();
    return std::nullopt;
}

bool parseOccurrence(std::string_view text, Selector &sel)
{
    const std::string t = toLower(text);
    if (t == "next") {
        sel.rule = Occurrence::Next;
        sel.n = 1;
        return true;
    }
    if (t == "every" || t == "always") {
        sel.rule = Occurrence::Every;
        return true;
    }
    const auto colon = t.find(':');
    if (colon == std::string::npos)
        return false;
    const auto n = parseNonNegative(std::string_view(t).substr(colon + 1));
    if (!n || *n < 1)
        return false;
    const std::string head = t.substr(0, colon);
    if (head == "nth")
        sel.rule = Occurrence::Nth;
    else if (head == "next")
        sel.rule = Occurrence::NextN;
    else
        return false;
    sel.n = *n;
    return true;
}

std::string unquoteEscapes(std::string_view s)
{
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size() && s[i + 1] == '"') {
            out += '"';
            ++i;
        } else {
            out += s[i];
        }
    }
    return out;
}

// "N" frames, "every" (-1) or "off" (0).
std::optional<int> parseCount(std::string_view text)
{
    const std::string t = toLower(text);
    if (t == "every" || t == "on" || t == "always")
        return -1;
    if (t == "off" || t == "none")
        return 0;
    return parseNonNegative(t);
}

// "CODE[:N]": the code answered after NAK to the next N frames (1 when not given).
bool parseForcedNak(const std::string &name, const std::string &value, ForcedAnswer &target, std::string *error)
{
    if (iequals(value, "off") || value.empty()) {
        target = ForcedAnswer{};
        return true;
    }
    std::string code = value;
    int count = 1;
    if (const auto colon = value.rfind(':'); colon != std::string::npos && colon > 0) {
        const auto n = parseCount(std::string_view(value).substr(colon + 1));
        if (!n)
            return fail(error, name + " is CODE[:N], N a count or every");
        code = value.substr(0, colon);
        count = *n;
    }
    const auto bytes = parseBytes(code);
    if (!bytes || bytes->empty())
        return fail(error, name + " needs a code such as 04");
    target = ForcedAnswer{};
    target.code = *bytes;
    target.count = count;
    return true;
}

// "STAGE:REPLY[:N][:noeol]"; a stage set again replaces its earlier failure.
bool parseSnppFail(const std::string &value, std::vector<ForcedAnswer> &target, std::string *error)
{
    if (iequals(value, "off") || value.empty()) {
        target.clear();
        return true;
    }
    std::vector<std::string> parts = splitKeep(value, ':');
    ForcedAnswer f;
    f.count = 1;
    f.stage = toUpper(parts.front());
    if (f.stage != "PAGE" && f.stage != "MESS" && f.stage != "SEND")
        return fail(error, "snpp_fail is STAGE:REPLY[:N][:noeol], STAGE being PAGE, MESS or SEND");
    parts.erase(parts.begin());
    if (parts.size() > 1 && iequals(parts.back(), "noeol")) {
        f.noEol = true;
        parts.pop_back();
    }
    if (parts.size() > 1) {
        if (const auto n = parseCount(parts.back())) {
            f.count = *n;
            parts.pop_back();
        }
    }
    std::string reply;
    for (std::size_t i = 0; i < parts.size(); ++i)
        reply += (i ? ":" : "") + parts[i];
    const auto bytes = parseBytes(reply);
    if (parts.empty() || !bytes || bytes->empty())
        return fail(error, "snpp_fail needs a reply, e.g. PAGE:550 04:4:noeol");
    f.code = *bytes;
    std::erase_if(target, [&f](const ForcedAnswer &o) { return o.stage == f.stage; });
    target.push_back(f);
    return true;
}

} // namespace

bool ForcedAnswer::take()
{
    if (count == 0)
        return false;
    if (count > 0)
        --count;
    return true;
}

bool Selector::matches(std::string_view unitText) const
{
    if (pattern.empty() || pattern == "*")
        return true;
    if (!istartsWith(unitText, pattern))
        return false;
    if (unitText.size() == pattern.size())
        return true;
    // The pattern must end at a word boundary: "write:G 3" is not "write:G 31".
    return !(isWordChar(pattern.back()) && isWordChar(unitText[pattern.size()]));
}

bool Selector::exhausted() const
{
    switch (rule) {
    case Occurrence::Next: return fired >= 1;
    case Occurrence::Nth: return seen >= n;
    case Occurrence::NextN: return fired >= n;
    case Occurrence::Every: return false;
    }
    return true;
}

bool Selector::offer(std::string_view unitText)
{
    if (exhausted() || !matches(unitText))
        return false;
    ++seen;
    bool fire = false;
    switch (rule) {
    case Occurrence::Next:
    case Occurrence::NextN:
    case Occurrence::Every: fire = true; break;
    case Occurrence::Nth: fire = seen == n; break;
    }
    if (fire)
        ++fired;
    return fire;
}

std::string Selector::describe() const
{
    std::string r;
    switch (rule) {
    case Occurrence::Next: r = "next"; break;
    case Occurrence::Nth: r = "nth:" + std::to_string(n); break;
    case Occurrence::NextN: r = "next:" + std::to_string(n); break;
    case Occurrence::Every: r = "every"; break;
    }
    return "'" + (pattern.empty() ? std::string("*") : pattern) + "' " + r;
}

std::vector<std::string> tokenize(std::string_view text)
{
    std::vector<std::string> out;
    std::string cur;
    bool inToken = false, quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '\\' && i + 1 < text.size()) {
                cur += c;
                cur += text[++i];
            } else if (c == '"') {
                quoted = false;
            } else {
                cur += c;
            }
        } else if (c == '"') {
            quoted = true;
            inToken = true;
        } else if (c == ' ' || c == '\t') {
            if (inToken)
                out.push_back(cur);
            cur.clear();
            inToken = false;
        } else {
            cur += c;
            inToken = true;
        }
    }
    if (inToken)
        out.push_back(cur);
    return out;
}

std::optional<bool> parseBool(std::string_view text)
{
    const std::string t = toLower(text);
    if (t == "1" || t == "on" || t == "true" || t == "yes")
        return true;
    if (t == "0" || t == "off" || t == "false" || t == "no")
        return false;
    return std::nullopt;
}

bool Knobs::isKnob(const std::string &name)
{
    static const char *scalars[] = {
        "pacing", "reply_latency_ms", "announce_delay_ms", "reboot_ms", "switch_delay_ms", "line_check",
        "grace_ms", "mismatch_announce", "mismatch_input", "mismatch_output", "hangup_recreate_ms",
        "stall_input", "echo_commands", "echo", "ati_style", "empty_group_reply", "lookup_ending",
        "serial2_absent", "tone_reply", "boot_banner", "max_message_len", "ignore_prgmmode_count",
        "idascap_blocks_records", "checksum_check", "strict_records", "strict_protocol",
        "nak_blocks", "tap_busy", "tap_reject", "tap_max_len", "tap_logon", "tap_prompt", "tap_idle_logout_s",
        "tap_logged_in_at_boot", "tap_xoff", "xoff_ms", "comp2_nak", "snpp_fail", "zq_nak", "scope_nak",
        "scope_reply", "timed_paging", "station_id_tx", "all_digit_ids",
    };
    for (const char *s : scalars)
        if (name == s)
            return true;
    return ruleKindOf(name).has_value();
}

bool Knobs::set(const std::string &nameIn, const std::string &value, std::string *error)
{
    const std::string name = toLower(nameIn);
    const auto tokens = tokenize(value);
    const std::string single = tokens.size() == 1 ? tokens[0] : value;

    auto setInt = [&](int &target) {
        const auto v = parseNonNegative(single);
        if (!v)
            return fail(error, name + " needs a whole number of 0 or more");
        target = *v;
        return true;
    };
    auto setBool = [&](bool &target) {
        const auto v = parseBool(single);
        if (!v)
            return fail(error, name + " needs on or off");
        target = *v;
        return true;
    };
    auto setOptBytes = [&](std::optional<Bytes> &target) {
        if (single.empty() || iequals(single, "off") || iequals(single, "none")) {
            target.reset();
            return true;
        }
        const auto b = parseBytes(single);
        if (!b)
            return fail(error, name + ": bad byte escape");
        target = *b;
        return true;
    };
    const std::string v = toLower(single);

    if (name == "pacing") {
        if (v == "burst")
            pacing = Pacing::Burst;
        else if (v == "bytewise")
            pacing = Pacing::Bytewise;
        else if (v == "off")
            pacing = Pacing::Off;
        else
            return fail(error, "pacing is burst, bytewise or off");
        return true;
    }
    if (name == "reply_latency_ms")
        return setInt(replyLatencyMs);
    if (name == "announce_delay_ms")
        return setInt(announceDelayMs);
    if (name == "reboot_ms")
        return setInt(rebootMs);
    if (name == "switch_delay_ms")
        return setInt(switchDelayMs);
    if (name == "grace_ms")
        return setInt(graceMs);
    if (name == "hangup_recreate_ms")
        return setInt(hangupRecreateMs);
    if (name == "line_check") {
        if (v == "baud")
            lineCheck = LineCheck::Baud;
        else if (v == "off")
            lineCheck = LineCheck::Off;
        else if (v == "sidechannel")
            lineCheck = LineCheck::Sidechannel;
        else
            return fail(error, "line_check is baud, off or sidechannel");
        return true;
    }
    if (name == "mismatch_announce") {
        if (v == "signature")
            mismatchAnnounce = MismatchAnnounce::Signature;
        else if (v == "garbage")
            mismatchAnnounce = MismatchAnnounce::Garbage;
        else if (v == "silence")
            mismatchAnnounce = MismatchAnnounce::Silence;
        else
            return fail(error, "mismatch_announce is signature, garbage or silence");
        return true;
    }
    if (name == "mismatch_input") {
        if (v == "ignore")
            mismatchInput = MismatchInput::Ignore;
        else if (v == "noise")
            mismatchInput = MismatchInput::Noise;
        else
            return fail(error, "mismatch_input is ignore or noise");
        return true;
    }
    if (name == "mismatch_output") {
        if (v == "garbage")
            mismatchOutput = MismatchOutput::Garbage;
        else if (v == "silence")
            mismatchOutput = MismatchOutput::Silence;
        else if (v == "clear")
            mismatchOutput = MismatchOutput::Clear;
        else
            return fail(error, "mismatch_output is garbage, silence or clear");
        return true;
    }
    if (name == "stall_input")
        return setBool(stallInput);
    if (name == "echo_commands")
        return setBool(echoCommands);
    if (name == "echo") {
        if (v == "crlf") {
            echo = Echo::CrLf;
        } else if (v == "cr") {
            echo = Echo::Cr;
        } else if (const auto on = parseBool(v)) {
            echo = *on ? Echo::On : Echo::Off;
        } else {
            return fail(error, "echo is off, on, crlf or cr");
        }
        return true;
    }
    if (name == "serial2_absent")
        return setBool(serial2Absent);
    if (name == "idascap_blocks_records")
        return setBool(idascapBlocksRecords);
    if (name == "checksum_check")
        return setBool(checksumCheck);
    if (name == "strict_records")
        return setBool(strictRecords);
    if (name == "strict_protocol")
        return setBool(strictProtocol);
    if (name == "ignore_prgmmode_count")
        return setInt(ignorePrgmModeCount);
    if (name == "tone_reply")
        return setOptBytes(toneReply);
    if (name == "boot_banner")
        return setOptBytes(bootBanner);
    if (name == "max_message_len") {
        if (v.empty() || v == "unlimited" || v == "off" || v == "none") {
            maxMessageLen.reset();
            return true;
        }
        int n = 0;
        if (!setInt(n))
            return false;
        maxMessageLen = n;
        return true;
    }
    if (name == "lookup_ending") {
        const auto e = endingBytes(single);
        if (!e)
            return fail(error, "lookup_ending is crlf, lfcr, lf, cr or none");
        lookupEnding = *e;
        return true;
    }
    if (name == "empty_group_reply") {
        if (v == "short")
            emptyGroupReply = EmptyGroupStyle::Short;
        else if (v == "full")
            emptyGroupReply = EmptyGroupStyle::Full;
        else if (v == "as_written")
            emptyGroupReply = EmptyGroupStyle::AsWritten;
        else if (v == "auto" || v == "default")
            emptyGroupReply.reset();
        else
            return fail(error, "empty_group_reply is short, full, as_written or auto");
        return true;
    }
    if (name == "ati_style") {
        static const std::pair<const char *, AtiStyle> styles[] = {
            {"normal", AtiStyle::Normal},       {"banner_only", AtiStyle::BannerOnly},
            {"id_only", AtiStyle::IdOnly},      {"no_v", AtiStyle::NoV},
            {"no_cr_after_version", AtiStyle::NoCrAfterVersion},
            {"port_letter", AtiStyle::PortLetter}, {"no_port", AtiStyle::NoPort},
        };
        for (const auto &[n, s] : styles) {
            if (tokens.size() == 1 && v == n) {
                atiStyle = s;
                return true;
            }
        }
        // "trailing BYTES" or "trailing:BYTES"
        std::string rest;
        if (!tokens.empty() && toLower(tokens[0]) == "trailing")
            rest = tokens.size() > 1 ? tokens[1] : std::string();
        else if (!tokens.empty() && istartsWith(tokens[0], "trailing:"))
            rest = tokens[0].substr(9);
        else
            return fail(error, "unknown ati_style");
        const auto b = parseBytes(rest);
        if (!b)
            return fail(error, "ati_style trailing: bad byte escape");
        atiStyle = AtiStyle::Trailing;
        atiTrailing = *b;
        return true;
    }

    // Paging mode.
    auto setCount = [&](int &target) {
        const auto n = parseCount(single);
        if (!n)
            return fail(error, name + " needs a count, every or off");
        target = *n;
        return true;
    };
    if (name == "nak_blocks")
        return setCount(nakBlocks);
    if (name == "tap_busy")
        return setCount(tapBusy);
    if (name == "tap_reject")
        return setCount(tapReject);
    if (name == "tap_xoff")
        return setCount(tapXoff);
    if (name == "xoff_ms")
        return setInt(xoffMs);
    if (name == "tap_max_len" || name == "tap_idle_logout_s") {
        int n = 0;
        if (!(v == "off" || v == "none" || v.empty()) && !setInt(n))
            return false;
        if (name == "tap_idle_logout_s")
            tapIdleLogoutS = n;
        else if (n > 0)
            tapMaxLen = n;
        else
            tapMaxLen.reset();
        return true;
    }
    if (name == "tap_logon") {
        if (v == "accept") {
            tapLogonRefuse = 0;
            return true;
        }
        if (v == "refuse") {
            tapLogonRefuse = -1;
            return true;
        }
        const auto n = istartsWith(v, "refuse:") ? parseCount(std::string_view(v).substr(7)) : std::nullopt;
        if (!n)
            return fail(error, "tap_logon is accept, refuse or refuse:N");
        tapLogonRefuse = *n;
        return true;
    }
    if (name == "tap_prompt")
        return setBool(tapPrompt);
    if (name == "tap_logged_in_at_boot")
        return setBool(tapLoggedInAtBoot);
    if (name == "timed_paging")
        return setBool(timedPaging);
    if (name == "station_id_tx")
        return setBool(stationIdTx);
    if (name == "comp2_nak")
        return parseForcedNak(name, single, comp2Nak, error);
    if (name == "zq_nak")
        return parseForcedNak(name, single, zqNak, error);
    if (name == "scope_nak")
        return parseForcedNak(name, single, scopeNak, error);
    if (name == "snpp_fail")
        return parseSnppFail(single, snppFail, error);
    if (name == "scope_reply") {
        if (v != "ack_eot" && v != "ack_cr")
            return fail(error, "scope_reply is ack_eot or ack_cr");
        scopeReplyCr = v == "ack_cr";
        return true;
    }
    if (name == "all_digit_ids") {
        if (v == "long_form" || v == "default")
            allDigitIds = AllDigitIds::LongForm;
        else if (v == "numeric")
            allDigitIds = AllDigitIds::Numeric;
        else
            return fail(error, "all_digit_ids is long_form or numeric");
        return true;
    }

    const auto kind = ruleKindOf(name);
    if (!kind)
        return fail(error, "unknown knob " + nameIn);

    if (*kind == RuleKind::LineNoise && tokens.size() == 1 && istartsWith(tokens[0], "rate=")) {
        const auto r = parseNonNegative(tokens[0].substr(5));
        if (!r)
            return fail(error, "line_noise rate= needs bytes per second");
        lineNoiseRate = *r;
        return true;
    }

    Rule rule;
    rule.kind = *kind;
    rule.name = name;
    if (*kind == RuleKind::SignatureInside) {
        rule.sel.pattern = std::string(kPrgmMode);
        rule.sel.rule = Occurrence::Every;
        rule.bytes = "\r\n*";
        rule.bytesAfter = "*\r\n";
    }
    bool patternSeen = false;
    bool needsBytes = *kind == RuleKind::ReplaceReply || *kind == RuleKind::Garbage ||
                      *kind == RuleKind::RecordAck || *kind == RuleKind::RecordReplyOverride;
    bool bytesSeen = false;
    for (const auto &tok : tokens) {
        const auto eq = tok.find('=');
        if (eq == std::string::npos) {
            if (parseOccurrence(tok, rule.sel))
                continue;
            if (!patternSeen) {
                rule.sel.pattern = unquoteEscapes(tok);
                patternSeen = true;
                continue;
            }
            return fail(error, name + ": unexpected \"" + tok + "\"");
        }
        const std::string key = toLower(tok.substr(0, eq));
        const std::string val = tok.substr(eq + 1);
        if (key == "sel" || key == "selector") {
            rule.sel.pattern = unquoteEscapes(val);
            patternSeen = true;
        } else if (key == "when") {
            if (!parseOccurrence(val, rule.sel))
                return fail(error, name + ": when is next, every, nth:N or next:N");
        } else if (key == "count") {
            const auto n = parseNonNegative(val);
            if (!n || *n < 1)
                return fail(error, name + ": count needs a number of 1 or more");
            rule.sel.rule = Occurrence::NextN;
            rule.sel.n = *n;
        } else if (key == "ms") {
            const auto n = parseNonNegative(val);
            if (!n)
                return fail(error, name + ": ms needs a number");
            rule.ms = *n;
        } else if (key == "pieces") {
            const auto n = parseNonNegative(val);
            if (!n || *n < 1)
                return fail(error, name + ": pieces needs a number of 1 or more");
            rule.pieces = *n;
        } else if (key == "gap_ms" || key == "gap") {
            const auto n = parseNonNegative(val);
            if (!n)
                return fail(error, name + ": gap_ms needs a number");
            rule.gapMs = *n;
        } else if (key == "len" || key == "length") {
            const auto n = parseNonNegative(val);
            if (!n || *n < 1)
                return fail(error, name + ": len needs a number of 1 or more");
            rule.length = *n;
        } else if (key == "bytes" || key == "before" || key == "after") {
            const auto b = parseBytes(val);
            if (!b)
                return fail(error, name + ": bad byte escape in " + key);
            if (key == "after")
                rule.bytesAfter = *b;
            else
                rule.bytes = *b;
            bytesSeen = true;
        } else if (key == "where") {
            const std::string w = toLower(val);
            if (w == "before")
                rule.where = GarbageWhere::Before;
            else if (w == "after")
                rule.where = GarbageWhere::After;
            else if (w == "instead")
                rule.where = GarbageWhere::Instead;
            else
                return fail(error, "garbage where= is before, after or instead");
        } else if (key == "ending") {
            const auto e = endingBytes(val);
            if (!e)
                return fail(error, "line_ending ending= is crlf, lfcr, lf, cr or none");
            rule.bytes = *e;
            bytesSeen = true;
        } else {
            return fail(error, name + ": unknown parameter " + key);
        }
    }
    if (*kind == RuleKind::LineEnding && !bytesSeen)
        return fail(error, "line_ending needs ending=crlf|lfcr|lf|cr|none");
    if (needsBytes && !bytesSeen)
        return fail(error, name + " needs bytes=...");
    if (*kind == RuleKind::DelayReply && rule.ms == 0)
        return fail(error, "delay_reply needs ms=N");
    rules.push_back(std::move(rule));
    return true;
}

} // namespace encsim
