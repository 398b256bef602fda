#pragma once
// What the window-less tests of the transfers share: the state a program start leaves, the link with a
// recording view, a simulated encoder on COM 1 under the tests' time scale, scripted message
// boxes, and the program's close as the main window does it for the link.
//
//   TransferFixture fx;
//   QVERIFY(fx.plug(encsim::DeviceState::factory(9), encsim::Mode::Programming));
//   ReadEncoderDB();
//   QCOMPARE(fx.view.panel(1), ...);

#include "encoder/link.h"
#include "model/atten.h"
#include "model/state.h"
#include "platform/pointer.h"
#include "platform/serialport.h"
#include "platform/timing.h"
#include "support/detected.h"
#include "support/encoderstate.h"
#include "support/pendingaction.h"
#include "support/scriptedboxes.h"
#include "support/simencoder.h"
#include "support/viewrecorder.h"

#include <QObject>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>
#include <string>

class TransferFixture {
public:
    explicit TransferFixture(double timeScale)
    {
        // What start-up leaves: the start values, the tuning slider's default position and the
        // attenuation table.
        ResetProgramState();
        ApplyStartValues();
        Run.bSuppressEvents = false;
        EncoderSettings.sModSliderVal = "47";
        InitAttenTable();
        Link().Reset();
        SetTimeScale(timeScale);
        for (int n = 1; n <= 8; ++n)
            SetComDevicePathOverride(n, QStringLiteral("/nonexistent-pagersetup/tty%1").arg(n));
        Link().setView(&view);
    }
    ~TransferFixture()
    {
        scope.reset(); // pending actions first
        encodertest::ShowEventsAfterAFailure(encoder.get());
        Link().setView(nullptr);
        Link().Reset();
        encoder.reset();
        for (int n = 1; n <= 8; ++n)
            SetComDevicePathOverride(n, QString());
        SetDefaultPointer();
        SetTimeScale(1.0);
    }
    TransferFixture(const TransferFixture &) = delete;
    TransferFixture &operator=(const TransferFixture &) = delete;

    // A simulated encoder on COM 1 (a refused knob fails: it would leave a road untested).
    [[nodiscard]] bool plug(encsim::DeviceState state, encsim::Mode mode, encodertest::Knobs knobs = {})
    {
        encoder = std::make_unique<SimEncoder>(std::move(state), mode, std::move(knobs));
        if (!encoder->ok())
            qWarning().noquote() << encoder->error();
        return encoder->ok();
    }

    // The program as detection leaves it (support/detected.h) on an encoder in programming
    // mode.
    [[nodiscard]] bool connectTo(encsim::DeviceState state, encodertest::Knobs knobs = {{"pacing", "off"}})
    {
        const QByteArray firmware = QByteArray::fromStdString(state.firmware);
        const int attached = state.effectiveAttachedPort();
        if (!plug(std::move(state), encsim::Mode::Programming, std::move(knobs)))
            return false;
        const QString error = encodertest::OpenDetectedPort(firmware, attached);
        if (!error.isEmpty())
            qWarning("the port did not open: %s", qPrintable(error));
        return error.isEmpty();
    }

    encsim::Simulator &sim() { return encoder->sim(); }

    // Everything the program sent, one command or record block per entry.
    QList<QByteArray> sent(std::size_t since = 0) { return encodertest::CommandsSent(*encoder, since); }

    // Every byte the encoder (and a line that echoes) sent the program, in order.
    QByteArray received()
    {
        QByteArray bytes;
        for (const encsim::Event &e : sim().events())
            if (e.kind == encsim::EventKind::Output)
                bytes += QByteArray::fromStdString(e.bytes);
        return bytes;
    }

    // Runs action inside the program's waits once the encoder has logged an event matching
    // pattern. The action records; the test asserts after the transfer has returned.
    void onEncoderEvent(std::string pattern, std::function<void()> action)
    {
        auto *poll = new QTimer(scope.get());
        QObject::connect(poll, &QTimer::timeout, poll, [this, poll, pattern, action] {
            if (!sim().log().find(pattern))
                return;
            poll->stop();
            action();
        });
        poll->start(1);
    }

    // What the main window's unload does for the link: the program is closing and there is
    // no view any more.
    void closeProgram()
    {
        Link().setClosing();
        Link().setView(nullptr);
    }

    ViewRecorder view;
    ScriptedBoxes boxes;
    std::unique_ptr<SimEncoder> encoder;
    std::unique_ptr<QObject> scope = std::make_unique<QObject>();
};

namespace encodertest {

// How an answer to the ID-as-capcode guard's query counts.
enum class GuardAnswer { Flag, Refusal, None, Garbled };

// Answers to the guard's query, for both readers' and both writers' tests: the generation, the
// answer as the encoder's replace_reply knob writes it (empty: none comes) and how it counts. An
// echo alone leaves the wait to its time-out, as no answer does.
inline void AddGuardAnswerRows()
{
    QTest::addColumn<int>("generation");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<GuardAnswer>("counts");
    const auto row = [](const char *name, int generation, const char *answer, GuardAnswer counts) {
        QTest::newRow(name) << generation << QString::fromLatin1(answer) << counts;
    };
    row("V9 identification", 9, "\"Kestrane Paging Encoder v9.7<CR><LF>\"", GuardAnswer::Garbled);
    row("V9 the tail of a logon prompt", 9, "=<CR><LF>", GuardAnswer::Garbled);
    row("V9 OK", 9, "OK<CR><LF>", GuardAnswer::Garbled);
    row("V9 an empty line", 9, "<CR><LF>", GuardAnswer::Garbled);
    row("V9 10", 9, "10<CR><LF>", GuardAnswer::Garbled);
    row("V9 its echo alone", 9, "\"CONFIG SERIAL1 IDASCAP?<CR><LF>\"", GuardAnswer::None);
    row("V9 no answer", 9, "", GuardAnswer::None);
    row("V9 Invalid", 9, "Invalid<CR><LF>", GuardAnswer::Refusal);
    row("V9 0 ended by LF alone", 9, "0<LF>", GuardAnswer::Flag);
    row("V7 identification", 7, "\"Kestrane Paging Encoder v7.2<CR><LF>\"", GuardAnswer::Garbled);
    row("V7 no answer", 7, "", GuardAnswer::None);
    row("V7 Invalid", 7, "Invalid<CR><LF>", GuardAnswer::Refusal);
}

// The guard's query of the generation, and the knob that gives it the answer of a row.
inline QByteArray GuardQuery(int generation)
{
    return generation == 7 ? "CONFIG IDASCAP?" : "CONFIG SERIAL1 IDASCAP?";
}
inline std::pair<std::string, std::string> GuardAnswerKnob(int generation, const QString &answer)
{
    const std::string query = '"' + GuardQuery(generation).toStdString() + '"';
    if (answer.isEmpty())
        return {"drop_reply", query};
    return {"replace_reply", query + " bytes=" + answer.toStdString()};
}

} // namespace encodertest

Q_DECLARE_METATYPE(encodertest::GuardAnswer)
