// Paging-mode input on the attached port, one handler per protocol. Until the paging
// protocols themselves are simulated, each handler answers what the port says to input that
// is not its protocol (the prompts detection relies on) and logs protocol frames unanswered.
#pragma once

#include "encsim/bytes.h"
#include "encsim/events.h"

#include <memory>
#include <string>

namespace encsim {

// What a handler may do: open a unit of decoded input (knob selectors act on it), answer it,
// echo bytes at once, and log.
class PagingHost {
public:
    virtual ~PagingHost() = default;
    virtual void unit(Time t, const std::string &text) = 0;
    virtual void reply(const Bytes &bytes) = 0;
    virtual void endUnit() = 0;
    virtual void echo(Time t, const Bytes &bytes) = 0;
    virtual Bytes banner(bool withIdPrompt) const = 0;
    virtual bool dipSwitchesOff() const = 0; // a V7 whose DIP switches are not all on
    virtual void note(const std::string &text) = 0;
};

class PagingHandler {
public:
    virtual ~PagingHandler() = default;
    virtual void byte(Time t, char b) = 0;
    virtual void reset() = 0; // drop a partial line or frame
    virtual bool loggedIn() const { return false; }
};

// "TAP", "PET", "COMP1", "COMP2", "ZQ", "SCOPE", "SNPP"; unknown names behave as TAP.
std::unique_ptr<PagingHandler> makePagingHandler(const std::string &protocol, PagingHost &host);

} // namespace encsim
