#pragma once
// What the benchmarks share: a program of their own for a run, and the program as a detection
// and a read of the demo encoder leave it for the test console.

#include "model/state.h"
#include "platform/folders.h"
#include "platform/msgbox.h"
#include "platform/settingsstore.h"
#include "platform/shell.h"
#include "support/detected.h"

#include <QString>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

// A program of its own, once the application exists: the settings store and the program folder
// in the folders given, no other copy running, and a message box ends the run (none is expected).
inline void IsolateBenchProgram(const QTemporaryDir &config, const QTemporaryDir &program)
{
    SetSettingsStoreFolder(config.path());
    SetDataFolderOverride(program.path());
    SetPreviousInstanceHook([](const QString &) { return false; });
    SetMsgBoxResponder([](const MsgBoxRequest &box) {
        std::fprintf(stderr, "unexpected message box \"%s\": %s\n", qPrintable(box.title), qPrintable(box.text));
        std::exit(1);
        return MsgAnswer::OK;
    });
}

// The demo encoder's port 1 a TAP port at 9600 baud, 8 data bits, as a read leaves it, and the
// port open as the detection left it. False (with the reason printed) when the port does not
// open.
[[nodiscard]] inline bool OpenOnDemoTAPPort()
{
    EncoderSettings.sPort1Protocol = "TAP";
    EncoderSettings.sPort1Baud = "9600";
    EncoderSettings.sPort1DataBits = "N81";
    const QString error = encodertest::OpenDetectedPort("9.7");
    if (!error.isEmpty())
        std::fprintf(stderr, "the port does not open: %s\n", qPrintable(error));
    return error.isEmpty();
}
