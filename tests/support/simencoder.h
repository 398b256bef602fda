#pragma once
// A simulated encoder on a pseudo-terminal, cabled to one of the program's COM ports for the
// life of the object. End-to-end tests make one per test, after the program's test
// environment (which points every COM port at nothing).
//
// The COM port leads to a link of the encoder's own in a temporary folder, never to the bare
// /dev/pts/N: the system hands that number to the next pseudo-terminal as soon as this one
// closes (after a hangup, or once the encoder is gone), and that may be another test's
// encoder. The link goes with the encoder (and with a hangup), so a late open fails instead.
// When the encoder goes, the program's port is closed first if it is open on the link, and
// the COM port leads back to where it led before.
//
// The encoder's clock runs at the program's time scale, TimeScale(), as it is when the
// SimEncoder is made: a test sets the scale first, and then the encoder's latencies, reboots
// and line times shrink with the program's timeouts. A later SetTimeScale does not reach the
// encoder (encoder->setTimeScale does). The port's account of the line stays in real time; the
// encoder tells the port when it has taken in every byte written (SetLineTakenInHook), so that
// its quicker line does not leave the account running ahead.
//
//   AppTestEnv env;
//   SimEncoder encoder(encsim::DeviceState::factory(9));
//   QVERIFY2(encoder.ok(), qPrintable(encoder.error()));
//   encoder->setKnob("reply_latency_ms", "0");
//   ... drive the program ...
//   QCOMPARE(encoder->stats().recordRequests, 75);

#include "encoder/link.h"
#include "encsim/simulator.h"
#include "platform/serialport.h"
#include "platform/timing.h"

#include <QString>
#include <QTemporaryDir>

#include <string>
#include <utility>
#include <vector>

#include <sys/stat.h>

class SimEncoder {
public:
    explicit SimEncoder(encsim::DeviceState state = encsim::DeviceState::factory(9),
                        encsim::Mode startMode = encsim::Mode::Paging,
                        std::vector<std::pair<std::string, std::string>> knobs = {}, int com = 1)
        : m_com(com), m_previous(ComDevicePathOverride(com)),
          m_sim(options(std::move(state), startMode, std::move(knobs), linkIn(m_dir)))
    {
        if (!m_dir.isValid()) {
            m_error = QStringLiteral("no temporary folder for the encoder's link: ") + m_dir.errorString();
            return;
        }
        std::string error;
        if (!m_sim.start(&error)) {
            m_error = QString::fromStdString(error);
            return;
        }
        // A knob the simulator refused (a typing error, say) would leave a road untested.
        for (const encsim::Event &e : m_sim.events())
            if (e.text.rfind("knob ", 0) == 0 && e.text.find(" refused: ") != std::string::npos)
                m_error += QString::fromStdString(e.text) + QLatin1Char('\n');
        m_link = QString::fromStdString(m_sim.symlinkPath());
        SetComDevicePathOverride(m_com, m_link);
        struct stat slave {};
        if (::stat(m_sim.slavePath().c_str(), &slave) == 0)
            m_slave = slave.st_rdev;
        // The encoder says when it has taken in every byte the program's port wrote to it: its
        // answers come sooner than the bytes' time on a real line would allow (its clock runs
        // under the time scale, or without line pacing), and the port's account of the line
        // would otherwise run ahead of it, for seconds after a long exchange.
        s_owner = this;
        SetLineTakenInHook([this](int fd) { return onThisLine(fd) && m_sim.inputNotTakenIn() == 0; });
    }
    ~SimEncoder()
    {
        if (!m_link.isEmpty()) {
            EncoderLink &link = Link();
            if (link.isOpen() && link.devicePath() == m_link)
                link.closePort();
            // A later encoder on the same COM port keeps its own link.
            if (ComDevicePathOverride(m_com) == m_link)
                SetComDevicePathOverride(m_com, m_previous);
        }
        if (s_owner == this) { // a later encoder keeps its own word
            SetLineTakenInHook(nullptr);
            if (m_holdsWrites)
                SetOutputQueueHook(nullptr);
            s_owner = nullptr;
        }
    }
    SimEncoder(const SimEncoder &) = delete;
    SimEncoder &operator=(const SimEncoder &) = delete;

    bool ok() const { return m_error.isEmpty() && m_sim.running(); }
    QString error() const { return m_error; }

    encsim::Simulator &sim() { return m_sim; }
    encsim::Simulator *operator->() { return &m_sim; }

    // The path the COM port leads to: a link to the encoder's pseudo-terminal.
    QString linkPath() const { return m_link; }

    // From here until the encoder goes, the program's port counts the bytes the encoder has not
    // taken in yet as held by the system, as a real port counts those not on the wire yet: a
    // change of speed or a close waits until the encoder has taken in what was written before
    // it, at the speed in force, however late a loaded machine runs the encoder's thread. So
    // the encoder needs no grace for late bytes, and what its log gives as the PC's speed for
    // each write is the one the write went out at. (It also covers for a port that changed its
    // speed too early: not for tests of the port's own wait.)
    void holdWritesUntilTakenIn()
    {
        SetOutputQueueHook([this](int fd) { return onThisLine(fd) ? qint64(m_sim.inputNotTakenIn()) : qint64(0); });
        m_holdsWrites = true;
    }

    // How many logged events match pattern (the event log's own matching).
    std::size_t count(std::string_view pattern) { return m_sim.log().count(pattern); }

private:
    // Whether the device open as fd is this encoder's line.
    bool onThisLine(int fd) const
    {
        struct stat device {};
        return m_slave != 0 && ::fstat(fd, &device) == 0 && device.st_rdev == m_slave;
    }

    static encsim::SimulatorOptions options(encsim::DeviceState state, encsim::Mode startMode,
                                            std::vector<std::pair<std::string, std::string>> knobs,
                                            std::string link)
    {
        encsim::SimulatorOptions o;
        o.symlinkPath = std::move(link);
        o.state = std::move(state);
        o.startMode = startMode;
        o.knobs = std::move(knobs);
        o.timeScale = TimeScale();
        return o;
    }
    static std::string linkIn(const QTemporaryDir &dir)
    {
        return dir.isValid() ? dir.filePath(QStringLiteral("encoder")).toStdString() : std::string();
    }

    int m_com;
    QString m_previous; // where the COM port led before
    QTemporaryDir m_dir;
    QString m_link;
    QString m_error;
    bool m_holdsWrites = false;
    dev_t m_slave = 0; // the encoder's end of the line, as the program's port opens it
    inline static SimEncoder *s_owner = nullptr; // whose word the port's hooks give
    encsim::Simulator m_sim; // after m_dir: its link goes before the folder
};
