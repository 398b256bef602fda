#pragma once
// The paging protocols an encoder serial port can run, one row each: its code, its option in the
// encoder settings dialog and which encoders offer it, what a test page gives its sender, and
// how the message test console shapes itself for it. The settings dialog lists the rows, the
// console looks its port's code up, and the senders' dispatch (paging/senderdispatch.h) hands a
// test page to the row's sender: a new protocol is a row here and a sender there. Plain data and
// Qt Core only, so that the settings rules, the editors' checks and the reader can read it
// without the senders.

#include <QByteArray>

#include <span>

// Which encoders offer a protocol on their ports.
enum class FirmwareOffer {
    EveryEncoder, // the V7's one port as well
    TwoPort,      // V8 and V9 encoders
    V97Plus,      // V9 firmware of minor version 7 or later
};

// What is known of the encoder's firmware.
struct Firmware {
    bool v7 = false;      // a V7 encoder (one port)
    bool v97Plus = false; // V9 firmware of minor version 7 or later
};

// The pager field's caption in the console.
enum class PagerCaption {
    Unchanged,     // as it stands ("Pager ID:")
    ByIDAsCapcode, // "Pager Capcode:" while the port takes pager IDs as capcodes, else "Pager ID:"
    Capcode,       // "Pager Capcode:", and the field takes capcodes only, whatever the port's setting
    PagerID,       // "Pager ID:"
};

// What a test page gives its sender of the console's fields.
enum class PagerIDArg {
    None,
    AsTyped,
    Padded, // "0" put in front up to 7 characters
};
enum class FunctionCodeArg {
    None,   // an empty text
    Letter, // the letter of the function-code buttons
    LetterUpTo7, // the letter, but an empty text for a typed pager ID longer than 7 characters
};
struct PageArgs {
    PagerIDArg pagerID = PagerIDArg::None;
    FunctionCodeArg functionCode = FunctionCodeArg::None;
    bool rate = false; // the text of the data-rate buttons
};

struct PagingProtocol {
    const char *code;    // as the encoder settings hold it and the encoder takes it
    const char *caption; // its option in the encoder settings dialog ("&&" shows as one "&")
    FirmwareOffer offeredBy;
    bool chosenVerbose;  // choosing it in the settings dialog also selects verbose answers
    // Its pages go to the first pager ID of the first pager group: the console shows that ID
    // in its pager field, not to be edited, and the settings dialog lets only one port take it.
    bool defaultPager;

    PageArgs send;  // a page of the console's Send
    PageArgs range; // a page of the range test

    // The console. Its status line names the protocol by consoleName (the code when there is
    // none) and, unless consoleNamesPort is off, the encoder port and the PC's COM port.
    const char *consoleName;
    bool consoleNamesPort;
    PagerCaption pagerCaption;
    bool functionCodes;     // the function-code caption shows and its buttons are enabled
    int functionCodeButton; // the button selected at opening: 3 ("D")
    bool dataRates;         // the data-rate buttons are enabled
    int dataRateButton;     // the button selected at opening: 0 ("512"), or -1 for none
};

// The protocols in the order the settings dialog lists them; the first is the default.
std::span<const PagingProtocol> PagingProtocols();

// The row of a protocol code (compared exactly), or nullptr for a code that is none of them.
const PagingProtocol *FindPagingProtocol(const QByteArray &code);

// Whether a port on this code sends its pages to the first group's first pager ID (the row's
// defaultPager: COMP1); false for a code that is no row.
bool PagesDefaultPager(const QByteArray &code);

// Its position in PagingProtocols().
int PagingProtocolIndex(const PagingProtocol &protocol);

// The default protocol, the first row: what a code the settings dialog cannot show becomes,
// what Restore Defaults chooses, and what a port on a protocol that pages the first group's
// first pager ID (defaultPager) falls back to when that pager is missing.
const PagingProtocol &DefaultPagingProtocol();

// Whether encoders of this firmware offer the protocol.
bool OfferedBy(const PagingProtocol &protocol, const Firmware &firmware);

// Puts another table in place of the protocols for the scope's life (tests).
class PagingProtocolsReplaced {
public:
    explicit PagingProtocolsReplaced(std::span<const PagingProtocol> table);
    ~PagingProtocolsReplaced();
    PagingProtocolsReplaced(const PagingProtocolsReplaced &) = delete;
    PagingProtocolsReplaced &operator=(const PagingProtocolsReplaced &) = delete;

private:
    std::span<const PagingProtocol> m_before;
};
