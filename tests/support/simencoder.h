#pragma once
// A simulated encoder on a pseudo-terminal, cabled to one of the program's COM ports for the
// life of the object. End-to-end tests make one per test, after the program's test
// environment (which points every COM port at nothing).
//
// The encoder's clock runs at the program's time scale, TimeScale(), as it is when the
// SimEncoder is made: a test sets the scale first, and then the encoder's latencies, reboots
// and line times shrink with the program's timeouts. A later SetTimeScale does not reach the
// encoder (encoder->setTimeScale does).
//
//   AppTestEnv env;
//   SimEncoder encoder(encsim::DeviceState::factory(9));
//   QVERIFY2(encoder.ok(), qPrintable(encoder.error()));
//   encoder->setKnob("reply_latency_ms", "0");
//   ... drive the program ...
//   QCOMPARE(encoder->stats().recordRequests, 75);

#include "encsim/simulator.h"
#include "platform/serialport.h"
#include "platform/timing.h"

#include <QString>

#include <string>
#include <utility>
#include <vector>

class SimEncoder {
public:
    explicit SimEncoder(encsim::DeviceState state = encsim::DeviceState::factory(9),
                        encsim::Mode startMode = encsim::Mode::Paging,
                        std::vector<std::pair<std::string, std::string>> knobs = {}, int com = 1)
        : m_com(com), m_sim(options(std::move(state), startMode, std::move(knobs)))
    {
        std::string error;
        if (!m_sim.start(&error)) {
            m_error = QString::fromStdString(error);
            return;
        }
        // A knob the simulator refused (a typing error, say) would leave a road untested.
        for (const encsim::Event &e : m_sim.events())
            if (e.text.rfind("knob ", 0) == 0 && e.text.find(" refused: ") != std::string::npos)
                m_error += QString::fromStdString(e.text) + QLatin1Char('\n');
        SetComDevicePathOverride(m_com, QString::fromStdString(m_sim.slavePath()));
    }
    ~SimEncoder() { SetComDevicePathOverride(m_com, QString()); }
    SimEncoder(const SimEncoder &) = delete;
    SimEncoder &operator=(const SimEncoder &) = delete;

    bool ok() const { return m_error.isEmpty() && m_sim.running(); }
    QString error() const { return m_error; }

    encsim::Simulator &sim() { return m_sim; }
    encsim::Simulator *operator->() { return &m_sim; }

    // How many logged events match pattern (the event log's own matching).
    std::size_t count(std::string_view pattern) { return m_sim.log().count(pattern); }

private:
    static encsim::SimulatorOptions options(encsim::DeviceState state, encsim::Mode startMode,
                                            std::vector<std::pair<std::string, std::string>> knobs)
    {
        encsim::SimulatorOptions o;
        o.state = std::move(state);
        o.startMode = startMode;
        o.knobs = std::move(knobs);
        o.timeScale = TimeScale();
        return o;
    }

    int m_com;
    QString m_error;
    encsim::Simulator m_sim;
};
