// The simulated encoder on a pseudo-terminal: the core, a clock and its own thread, like a
// device on the other end of a cable. The clock is real time divided by a time scale, so that
// tests can run the encoder's latencies, reboots and line times faster (or slower) than real.
// Every public method is thread-safe.
#pragma once

#include "encsim/core.h"
#include "encsim/pty.h"

#include <atomic>
#include <condition_variable>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace encsim {

struct SimulatorOptions {
    DeviceState state = DeviceState::factory(9);
    Mode startMode = Mode::Paging;
    std::string symlinkPath; // optional stable name for the slave, e.g. /tmp/encoder-com1
    std::vector<std::pair<std::string, std::string>> knobs;
    // The pace of the encoder's clock: it runs at real time divided by this, so 0.05 makes
    // every reply latency, reboot and byte time pass 20 times faster. Positive and finite; any
    // other value is refused (logged) and the clock runs at real time.
    double timeScale = 1.0;
};

class Simulator {
public:
    explicit Simulator(SimulatorOptions options = {});
    ~Simulator(); // stops the thread, closes the pty, removes the symlink
    Simulator(const Simulator &) = delete;
    Simulator &operator=(const Simulator &) = delete;

    bool start(std::string *error = nullptr);
    void stop();
    bool running() const { return m_thread.joinable(); }
    std::string slavePath() const;
    std::string symlinkPath() const { return m_symlink; }

    // --- control ---
    bool setKnob(const std::string &name, const std::string &value, std::string *error = nullptr);
    void clearKnobs();
    bool loadState(const std::string &text, std::string *error = nullptr);
    bool loadStateFile(const std::string &path, std::string *error = nullptr);
    bool saveStateFile(const std::string &path, std::string *error = nullptr) const;
    std::string saveState() const;
    void powerOn();
    void powerOff();
    void powerCycle();
    void hangup();
    void cablePull();
    void cablePlug();
    bool tellLineSettings(const std::string &settings, std::string *error = nullptr);
    // Changes the clock's pace (see SimulatorOptions::timeScale). The clock goes on from where
    // it is, so what is due later comes at the new pace. A scale that is not positive and
    // finite is refused (logged) and the old one kept.
    void setTimeScale(double scale);
    double timeScale() const;

    Snapshot getState() const;
    Stats stats() const;
    Mode mode() const;
    // Bytes the PC has written that the encoder has not taken in yet: not read from the
    // pseudo-terminal, or read and still on their way at the line's pace. A test harness can
    // have the PC's port count them as not sent yet, so that the port changes its speed only
    // once the encoder has taken in, at the speed in force, everything written before.
    std::size_t inputNotTakenIn() const;

    // --- events ---
    EventLog &log() { return *m_log; }
    std::size_t eventCount() const { return m_log->size(); }
    std::vector<Event> events(std::size_t since = 0) const { return m_log->since(since); }
    std::optional<Event> waitForEvent(std::string_view pattern, std::chrono::milliseconds timeout,
                                      std::size_t since = 0, std::size_t *index = nullptr) const
    {
        return m_log->waitFor(pattern, timeout, since, index);
    }

    // --- pages on the air (see paging.h) ---
    // The pages transmitted, in order; `since` skips the first ones.
    std::vector<Page> pages(std::size_t since = 0) const;
    std::size_t pageCount() const;
    // Waits until at least `count` pages have been transmitted since the simulator was made.
    bool waitForPages(std::size_t count, std::chrono::milliseconds timeout) const;

    // Milliseconds since the simulator was made, on the clock its events carry (scaled time).
    double nowMs() const { return static_cast<double>(now()) / 1000.0; }

private:
    Time now() const;
    Time clockAt(std::chrono::steady_clock::time_point real) const; // m_clockMutex held
    void wake();
    void run();
    void serviceMaster(Time t, short revents);
    void flushOutput(Time t);
    void doHangup(Time t);
    bool recreate(Time t);

    std::shared_ptr<EventLog> m_log;
    mutable std::mutex m_mutex;
    Core m_core;
    Pty m_pty;
    std::string m_symlink;
    std::string m_slave;
    // The clock: m_virtualAnchor at m_realAnchor, then real time divided by m_scale.
    mutable std::mutex m_clockMutex; // taken after m_mutex when both are held
    std::chrono::steady_clock::time_point m_realAnchor;
    Time m_virtualAnchor = 0;
    double m_scale = 1.0;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    int m_wakeFd = -1;
    bool m_pcClosed = true;
    std::optional<Time> m_recreateAt;
    bool m_hangupRequested = false;
    std::condition_variable m_hangupDone;
    Bytes m_pending; // output the pty did not take yet
};

} // namespace encsim
