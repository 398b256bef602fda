// Paging-mode input on the attached port, one handler per protocol ("TAP"/"PET", "COMP1",
// "COMP2", "SNPP", "ZQ", "SCOPE"). A handler frames the input, answers it as the protocol
// does, and hands every page it accepts to the core, which puts it on the air.
//
// Reading the pages the encoder transmitted (one page per capcode; a group ID gives one page
// per member pager):
//
//   Simulator sim(...);                      // or SimEncoder encoder(...); encoder->...
//   ... the program sends test pages ...
//   sim.waitForPages(3, 5s);                 // blocks this thread; a Qt test uses
//                                            // QTRY_COMPARE(sim.pageCount(), 3) instead
//   std::vector<Page> pages = sim.pages();   // sim.pages(n): those after the first n
//   pages[0].capcode == 1234023, pages[0].rate == 512, pages[0].type == 'A',
//   pages[0].function == 4, pages[0].message == "Hello" (as received),
//   pages[0].text == "Call the office Hello" (with the family's prefix/suffix canned messages),
//   pages[0].protocol == "TAP", pages[0].port == 1, pages[0].pager == "123",
//   pages[0].via == "family 1", pages[0].time (scaled encoder clock, microseconds)
//   sim.stats().pages                       // how many were transmitted
//
// Every page is also an event of kind "page" in the event log, e.g.
//   "page port 1 TAP capcode 1234023 rate 512 type A function 4 pager "123" via family 1
//    text "Call the office Hello""
// so sim.log().count("page port 1 TAP capcode 1234023") counts them, waitForEvent("page ")
// waits for one, and the event's `bytes` hold the transmitted text exactly. Refused frames are
// "refusal" events (for instance "refusal TAP page for "999" refused (511): pager ID 999 is in
// no family"); a knob that forced an answer is a "knob" event. The command-line program prints
// every event and lists the pages with its "pages" command. In virtual-time tests Core::pages()
// and Core::stats() give the same.
#pragma once

#include "encsim/bytes.h"
#include "encsim/device.h"
#include "encsim/events.h"
#include "encsim/knobs.h"
#include "encsim/pages.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace encsim {

// What a handler may do: open a unit of decoded input (knob selectors act on its text; page
// frames are "page:" + pager field), answer it, echo bytes at once, log, resolve pager fields
// and transmit pages.
class PagingHost {
public:
    virtual ~PagingHost() = default;
    virtual void unit(Time t, const std::string &text) = 0;
    // Answers the open unit after the reply latency plus extraDelay.
    virtual void reply(const Bytes &bytes, Time extraDelay = 0) = 0;
    virtual void endUnit() = 0;
    virtual void echo(Time t, const Bytes &bytes) = 0;
    virtual Bytes banner(bool withIdPrompt) const = 0;
    virtual bool dipSwitchesOff() const = 0; // a V7 whose DIP switches are not all on
    virtual void note(const std::string &text) = 0;       // a "paging" event
    virtual void refuse(const std::string &text) = 0;     // a "refusal" event
    virtual void warn(const std::string &text) = 0;       // a "warning" event
    virtual void knobFired(const std::string &text) = 0;  // a "knob" event
    virtual Time now() const = 0;
    virtual Knobs &knobs() = 0;
    virtual const DeviceState &state() const = 0;
    virtual Resolution resolve(std::string_view field, PagerForm form = PagerForm::Any,
                               std::optional<int> function = std::nullopt) const = 0;
    // Puts one page per target on the air.
    virtual void transmit(Time t, const Bytes &pager, const Resolution &resolution, const Bytes &message) = 0;
};

class PagingHandler {
public:
    virtual ~PagingHandler() = default;
    virtual void byte(Time t, char b) = 0;
    virtual void reset() = 0; // drop a partial line or frame
    virtual bool loggedIn() const { return false; }
    virtual void logIn() {}
    // A time at which the handler wants timer() called (a frame left unfinished, an idle session).
    virtual std::optional<Time> nextTimer() const { return std::nullopt; }
    virtual void timer(Time t) { (void)t; }
};

// "TAP", "PET", "COMP1", "COMP2", "ZQ", "SCOPE", "SNPP"; unknown names behave as TAP.
std::unique_ptr<PagingHandler> makePagingHandler(const std::string &protocol, PagingHost &host);

} // namespace encsim
