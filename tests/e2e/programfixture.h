#pragma once
// Starting the program's main window on a simulated encoder, for the end-to-end tests: what a
// test class holds for each test, the program started on the encoder, the program as the main
// window's Open Port leaves it (the encoder detected and read), and the test console opened
// without either.

#include "app/apptest.h"
#include "app/frmTerminal.h"
#include "model/encoderports.h"
#include "paging/commlog.h"
#include "support/detected.h"
#include "support/encoderstate.h"
#include "support/scriptedboxes.h"
#include "testconsole/frmMessageTest.h"

#include <QAction>

#include <functional>
#include <memory>

namespace encodertest {

// What an end-to-end test class holds for each test: the program's environment and the
// simulated encoder.
//
//   class TestX : public QObject, ProgramOnEncoder {
//       void init() { startProgram(0.05); }
//       void cleanup() { endProgram(); }
class ProgramOnEncoder {
protected:
    // A fresh environment at the program's time scale; an encoder made afterwards runs at it.
    void startProgram(double timeScale)
    {
        env = std::make_unique<AppTestEnv>();
        SetTimeScale(timeScale);
        row = std::make_unique<QObject>();
    }
    // The row's timers end, the communications log is closed (its file lies in the test's
    // folders), the encoder goes (the port is closed when it is open on it), then the
    // environment.
    void endProgram()
    {
        row.reset();
        ShowEventsAfterAFailure(encoder.get());
        CommLogFile().Close();
        encoder.reset();
        env.reset();
    }

    std::unique_ptr<AppTestEnv> env;
    std::unique_ptr<SimEncoder> encoder;
    std::unique_ptr<QObject> row; // a context for the test's timers: they end with the row
};

// Knobs of an encoder that answers at once (no line pacing, no reply latency, a short reboot),
// which keeps detections, reads and writes short; more knobs after them.
inline Knobs FastLine(Knobs more = {})
{
    Knobs k{{"pacing", "off"}, {"reply_latency_ms", "0"}, {"reboot_ms", "100"}};
    k.insert(k.end(), more.begin(), more.end());
    return k;
}

// A simulated encoder in startMode on COM 1 (a refused knob ends the run: it would leave a road
// untested) and the program's main window, shown from the Kestrane or the XJ splash.
inline frmTerminal *StartOnEncoder(std::unique_ptr<SimEncoder> &encoder, const DeviceState &state, Knobs knobs,
                                   bool kestrane, encsim::Mode startMode = encsim::Mode::Paging)
{
    encoder = std::make_unique<SimEncoder>(state, startMode, std::move(knobs));
    if (!encoder->ok() || encoder->count("refused") != 0)
        qFatal("simulated encoder: %s", qPrintable(encoder->error()));
    frmTerminal *t = kestrane ? StartAndShowMainWindow<frmSplash>() : StartAndShowMainWindow<frmXJSplash>();
    if (!t || !t->isVisible())
        qFatal("the main window did not come up");
    return t;
}

// The same, and the port opened from the XJ program's main window: the encoder is detected, its
// announcement answered, and read. Returns the main window, or nullptr when the displayed
// database does not match the encoder then.
inline frmTerminal *StartDetectedAndRead(std::unique_ptr<SimEncoder> &encoder, const DeviceState &state,
                                         Knobs knobs, encsim::Mode startMode = encsim::Mode::Paging)
{
    frmTerminal *t = StartOnEncoder(encoder, state, std::move(knobs), false, startMode);
    // The reply timer as the opening finds it: the detection's waits after an attempt's first
    // one and the read's run on it, each until its answer. A second of real time leaves a
    // loaded machine's encoder thread room to answer.
    Link().setReplyInterval(RealSecond());
    ScriptedBoxes boxes;
    boxes.expect(QStringLiteral("Paging Encoder Was Detected"));
    t->mnuOpen->trigger();
    return boxes.verifyAllShown() && Run.bDBMatchesEncoder ? t : nullptr;
}

// Runs action once the test console is up and the encoder, which its opening told to reboot,
// has finished booting into paging mode: on a loaded machine the encoder's thread may take in
// the reboot late, and a page written while it boots would be lost.
[[nodiscard]] inline PendingAction WhenTheConsoleIsUp(SimEncoder &encoder, std::function<void(frmMessageTest *)> action)
{
    return WhenShown<frmMessageTest>([&encoder, action = std::move(action)](frmMessageTest *c) {
        (void)QTest::qWaitFor([&encoder] { return encoder->mode() == encsim::Mode::Paging; }, 5000);
        action(c);
    });
}

// The displayed database saved as the file name in the program folder (Save As), emptied, and
// opened again from the file.
inline void SaveAndOpenAgain(frmTerminal *t, AppTestEnv &env, const QString &name)
{
    const QString path = QDir(env.programFolder()).filePath(name);
    env.dialogAnswers.push_back(path);
    t->mnuSaveAs_Click();
    ResetDatabase();
    env.dialogAnswers.push_back(path);
    t->mnuOpenFile_Click();
}

// The displayed database programmed into the encoder (the question before it answered Yes) and
// read back into an emptied database. True when the write and the read each ended with the
// database matching the encoder.
[[nodiscard]] inline bool ProgramAndReadBack(frmTerminal *t)
{
    ScriptedBoxes boxes;
    boxes.expect(QStringLiteral("You are About to Program the Encoder"), MsgAnswer::Yes);
    t->mnuWriteDB_Click();
    if (!boxes.verifyAllShown() || !Run.bDBMatchesEncoder)
        return false;
    ResetDatabase();
    t->mnuReadDB_Click();
    return Run.bDBMatchesEncoder;
}

// The test console opened without a main window and without an encoder (the port leads
// nowhere): the encoder port the PC is attached to and its protocol, as a read leaves them.
inline frmMessageTest *OpenConsoleAlone(const QByteArray &port = "1", const QByteArray &protocol = "TAP")
{
    Run.sTestPort = port;
    *EncoderPortOf(EncoderSettings, AttachedPortNumber(port)).protocol = protocol;
    return forms::Get<frmMessageTest>();
}

// The lines of the test console's log, in the order they were added (the newest stands on top).
inline QStringList ConsoleLogLines(const frmMessageTest *console)
{
    QStringList lines;
    for (int i = console->lb_log->count() - 1; i >= 0; --i)
        lines << console->lb_log->item(i)->text();
    return lines;
}

} // namespace encodertest
