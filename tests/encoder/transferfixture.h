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
#include "support/scriptedboxes.h"
#include "support/simencoder.h"
#include "support/viewrecorder.h"

#include <QObject>
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
