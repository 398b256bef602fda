#pragma once
// One test page of the console: which sender takes it and with what, for a Send click and for a
// page of the range test (their calls differ for COMP2 and SNPP), and the guard that keeps two
// pages off the line at once.

#include <QByteArray>

struct EncoderConfig;

// The senders, by the attached encoder port's protocol.
enum class PageSender {
    None,     // a protocol without a sender: nothing is sent and nothing is said
    TAP,      // "TAP" and "PET": OutTAP(pagerID, message, message)
    COMP1,    // OutCOMP1(message); the sender reads the pager ID for its log line itself
    COMP2,    // OutCOMP2(pagerID, message, functionCode)
    Kestrane, // "ZQ": OutKestrane(pagerID, message, functionCode, rate)
    Scope,    // "SCOPE": OutScope(pagerID, message, functionCode, rate)
    SNPP,     // OutSNPP(pagerID, message, functionCode)
};

// A page as its sender takes it: the arguments the sender does not take are empty.
struct TestPage {
    PageSender sender = PageSender::None;
    QByteArray pagerID;      // as typed, or padded to 7 characters (Kestrane, Scope, range SNPP)
    QByteArray message;
    QByteArray functionCode; // "A" to "D"; empty where the sender is given an empty text
    QByteArray rate;         // "512", "1200" or "2400"
};

// The protocol of the encoder port the PC is attached to: port 1's when testPort is "1",
// port 2's for any other text (also an empty one).
QByteArray AttachedPortProtocol(const QByteArray &testPort, const EncoderConfig &settings);
// The same for the program's settings (Run.sTestPort, EncoderSettings).
QByteArray AttachedPortProtocol();

// "0" put in front until the text is 7 characters long; a longer text stays as it is.
QByteArray PaddedPagerID(const QByteArray &typed);

// The function code of the console's option buttons "A" to "D" (0 to 3): button 0 gives "A",
// 1 "B", 2 "C", any other (or none, -1) "D".
QByteArray FunctionCodeLetter(int button);
// The data rate of the option buttons "512", "1200", "2400": button 0 gives "512", 1 "1200",
// any other (or none) "2400".
QByteArray DataRateText(int button);

// The page of a Send click. COMP2 gets an empty function code for a pager ID longer than 7
// characters; SNPP gets the pager ID as typed and an empty function code.
TestPage SendMsgPage(const QByteArray &protocol, const QByteArray &typedPagerID,
                     const QByteArray &message, int functionCodeButton, int dataRateButton);
// A page of the range test. COMP2 always gets the function code; SNPP gets the padded pager ID
// and the function code.
TestPage RangeTestPage(const QByteArray &protocol, const QByteArray &typedPagerID,
                       const QByteArray &message, int functionCodeButton, int dataRateButton);

// A test page is on its way: from a Send click until its sender has returned, and around each
// page of the range test. Senders yield while they wait, so a second click or a timer can come
// in the middle of a page; only the first scope holds the line.
//
//   PageInFlight page;
//   if (!page)
//       return;          // another page is on the line: this one is not sent
class PageInFlight {
public:
    PageInFlight();
    ~PageInFlight();
    PageInFlight(const PageInFlight &) = delete;
    PageInFlight &operator=(const PageInFlight &) = delete;
    explicit operator bool() const { return m_holds; }
    // Whether a page is on its way.
    static bool Active();

private:
    bool m_holds = false;
};
