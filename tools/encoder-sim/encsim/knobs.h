// Fault-injection and scenario knobs. Knobs that act on one exchange carry a selector:
// a command pattern matched on the decoded input plus an occurrence rule.
#pragma once

#include "encsim/bytes.h"
#include "encsim/records.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace encsim {

enum class Occurrence { Next, Nth, NextN, Every };

// Matches a unit of decoded input ("config dutycycle?", "ATI", "#PrgmMode#", "LOOKUP 12",
// "read:G 21", "write:L 3 0012 ...") case-insensitively: the pattern must equal the text or
// be a prefix of it that ends at a word boundary. "*" (or an empty pattern) matches anything.
struct Selector {
    std::string pattern;
    Occurrence rule = Occurrence::Next;
    int n = 1;
    int seen = 0;  // matching units so far
    int fired = 0; // times the rule fired

    bool matches(std::string_view unitText) const;
    bool exhausted() const;
    // Counts a matching unit and says whether the rule fires on it.
    bool offer(std::string_view unitText);
    std::string describe() const;
};

enum class RuleKind {
    DropReply,
    DelayReply,
    SplitReply,
    ReplaceReply,
    LineEnding,
    Garbage,
    InjectIdPrompt,
    RecordAck,
    RecordReplyOverride,
    SignatureInside,
    Hangup,
    CablePull,
    PowerCycle,
    LineNoise,
};

enum class GarbageWhere { Before, After, Instead };

struct Rule {
    RuleKind kind = RuleKind::DropReply;
    std::string name; // knob name as set
    Selector sel;
    int ms = 0;         // delay_reply
    int pieces = 2;     // split_reply
    int gapMs = 100;    // split_reply
    Bytes bytes;        // replace_reply, garbage, record_ack, line_ending, signature_inside (before)
    Bytes bytesAfter;   // signature_inside (after)
    GarbageWhere where = GarbageWhere::After;
    int length = 8;     // line_noise at a selector
};

enum class Pacing { Burst, Bytewise, Off };
enum class LineCheck { Baud, Off, Sidechannel };
enum class MismatchAnnounce { Signature, Garbage, Silence };
enum class MismatchInput { Ignore, Noise };
enum class MismatchOutput { Garbage, Silence, Clear };
// A line (a terminal server, say) that sends every byte it takes back to the PC: Off, every
// byte as it is, every CR as CR LF, or every byte but the LF of a CR LF.
enum class Echo { Off, On, CrLf, Cr };
enum class AtiStyle { Normal, BannerOnly, IdOnly, NoV, NoCrAfterVersion, PortLetter, NoPort, Trailing };
// How a pager field of digits only is read: by the console's own forms (5 or more characters
// are a long form, so "0000123" is capcode 0000 and refused) or as a pager ID by its value.
enum class AllDigitIds { LongForm, Numeric };

// An answer forced on the next frames: a count of -1 means every frame.
struct ForcedAnswer {
    Bytes code;           // the two characters after NAK (COMP2, ZQ, Scope), the reply (SNPP)
    int count = 0;
    std::string stage;    // SNPP: "PAGE", "MESS" or "SEND"
    bool noEol = false;   // SNPP: the reply without its CR LF

    // Says whether the answer applies to this frame, and counts it.
    bool take();
};

struct Knobs {
    Pacing pacing = Pacing::Burst;
    int replyLatencyMs = 10;
    int announceDelayMs = 30;
    int rebootMs = 1500;
    int switchDelayMs = 0;
    LineCheck lineCheck = LineCheck::Baud;
    int graceMs = 0; // input forgiven at a speed the PC had until this long before (0: none)
    MismatchAnnounce mismatchAnnounce = MismatchAnnounce::Signature;
    MismatchInput mismatchInput = MismatchInput::Ignore;
    MismatchOutput mismatchOutput = MismatchOutput::Garbage;
    int hangupRecreateMs = 0; // 0: the line stays hung up
    bool stallInput = false;
    bool echoCommands = false;
    Echo echo = Echo::Off;
    AtiStyle atiStyle = AtiStyle::Normal;
    Bytes atiTrailing;
    std::optional<EmptyGroupStyle> emptyGroupReply; // default: short on V8/V9, full on V7
    Bytes lookupEnding = "\r\n";
    bool serial2Absent = false;
    std::optional<Bytes> toneReply;
    std::optional<Bytes> bootBanner;
    std::optional<int> maxMessageLen;
    int ignorePrgmModeCount = 0;
    bool idascapBlocksRecords = true;
    bool checksumCheck = true;
    bool strictRecords = false;
    bool strictProtocol = true;
    double lineNoiseRate = 0; // random bytes per second, 0 = none

    // Paging mode. Counts are "the next N frames"; -1 is every frame.
    int nakBlocks = 0;              // TAP: blocks answered NAK
    int tapBusy = 0;                // TAP: blocks answered "111" (busy)
    int tapReject = 0;              // TAP: blocks answered "512" (message rejected)
    std::optional<int> tapMaxLen;   // TAP: longer messages are rejected ("512")
    int tapLogonRefuse = 0;         // TAP: log-ons answered NAK
    bool tapPrompt = true;          // TAP: off = logged out, only a page block gets "ID="
    int tapIdleLogoutS = 0;         // TAP: logged out after this idle time; 0 = never
    bool tapLoggedInAtBoot = false; // TAP: a session is logged in from boot on
    int tapXoff = 0;                // TAP: accepted blocks answered XOFF, then XON
    int xoffMs = 100;               // TAP: time from the XOFF to the XON
    ForcedAnswer comp2Nak;          // COMP2: NAK + code
    std::vector<ForcedAnswer> snppFail; // SNPP: a reply in place of the answer at a stage
    ForcedAnswer zqNak;             // ZQ: NAK + code
    ForcedAnswer scopeNak;          // Scope: NAK + code
    bool scopeReplyCr = false;      // Scope: accepted frames answered ACK CR (no EOT)
    bool timedPaging = false;       // groups with a timer page themselves every 2 minutes
    bool stationIdTx = false;       // the station ID goes out every sidint minutes
    AllDigitIds allDigitIds = AllDigitIds::LongForm;

    std::vector<Rule> rules;

    // Sets one knob from its text form. Selector knobs take "PATTERN [RULE] key=value ...",
    // RULE being next | every | nth:N | next:N, or when=RULE / count=N. Values may be quoted.
    // The names handled by the core itself (firmware, power, ...) are not known here.
    bool set(const std::string &name, const std::string &value, std::string *error);
    static bool isKnob(const std::string &name);
};

// Splits "a b=\"c d\" e" into {"a", "b=c d", "e"}; quotes group blanks, \" stays escaped.
std::vector<std::string> tokenize(std::string_view text);
std::optional<bool> parseBool(std::string_view text);

} // namespace encsim
