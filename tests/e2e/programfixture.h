#pragma once
// Starting the program's main window on a simulated encoder, for the end-to-end tests.

#include "app/apptest.h"
#include "app/frmTerminal.h"
#include "support/encoderstate.h"

#include <memory>

namespace encodertest {

// A simulated encoder in paging mode on COM 1 (a refused knob ends the run: it would leave a
// road untested) and the program's main window, shown from the Kestrane or the XJ splash.
inline frmTerminal *StartOnEncoder(std::unique_ptr<SimEncoder> &encoder, const DeviceState &state, Knobs knobs,
                                   bool kestrane)
{
    encoder = std::make_unique<SimEncoder>(state, encsim::Mode::Paging, std::move(knobs));
    if (!encoder->ok() || encoder->count("refused") != 0)
        qFatal("simulated encoder: %s", qPrintable(encoder->error()));
    frmTerminal *t = kestrane ? StartAndShowMainWindow<frmSplash>() : StartAndShowMainWindow<frmXJSplash>();
    if (!t || !t->isVisible())
        qFatal("the main window did not come up");
    return t;
}

} // namespace encodertest
