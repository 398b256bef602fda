#pragma once
// One test page of the console: which sender takes it and with what, for a Send click and for a
// page of the range test (the protocol's row says what each gives its sender), and the guard
// that keeps two pages off the line at once.

#include "paging/senderdispatch.h"

#include <QByteArray>

struct EncoderConfig;

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

// The page of a Send click, by the protocol's row (a code without one gives a page without a
// sender). COMP2 gets an empty function code for a pager ID longer than 7 characters; SNPP
// gets the pager ID as typed and an empty function code.
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
