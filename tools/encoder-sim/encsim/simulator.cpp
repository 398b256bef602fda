#include "encsim/simulator.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace encsim {

namespace {

// How often the device thread looks at the line when nothing else wakes it, in the encoder's
// time: sampling the PC's speed while its port is open, checking whether it opened the port.
// In real time the look comes no more often than kMinPollUs (a fast clock must not make the
// thread spin) and no less often than at scale 1 (a slow one must not leave an open port
// unnoticed for seconds).
constexpr Time kSampleInterval = msToTime(10);
constexpr Time kClosedInterval = msToTime(20);
constexpr double kMinPollUs = 1000.0;
// Far beyond any run; keeps a tiny scale from overflowing the clock.
constexpr double kFarUs = 1e15;

bool validScale(double scale)
{
    return std::isfinite(scale) && scale > 0;
}

std::string scaleText(double scale)
{
    std::ostringstream out;
    out << scale;
    return out.str();
}

} // namespace

Simulator::Simulator(SimulatorOptions options)
    : m_log(std::make_shared<EventLog>()),
      m_core(std::move(options.state), m_log, options.startMode, 0),
      m_symlink(std::move(options.symlinkPath)),
      m_realAnchor(std::chrono::steady_clock::now())
{
    if (validScale(options.timeScale))
        m_scale = options.timeScale;
    else
        m_log->add(0, EventKind::Control, "time scale " + scaleText(options.timeScale) + " refused: running at 1");
    for (const auto &[name, value] : options.knobs) {
        std::string error;
        if (!m_core.setKnob(0, name, value, &error))
            m_core.noteLine(0, "knob " + name + " refused: " + error);
    }
    m_wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
}

Simulator::~Simulator()
{
    stop();
    if (!m_symlink.empty() && !m_slave.empty())
        Pty::unlinkIfPointsTo(m_symlink, m_slave);
    m_pty.close();
    if (m_wakeFd >= 0)
        ::close(m_wakeFd);
}

Time Simulator::now() const
{
    std::lock_guard lock(m_clockMutex);
    return clockAt(std::chrono::steady_clock::now());
}

Time Simulator::clockAt(std::chrono::steady_clock::time_point real) const
{
    const double realUs = std::chrono::duration<double, std::micro>(real - m_realAnchor).count();
    return m_virtualAnchor + static_cast<Time>(std::min(realUs / m_scale, kFarUs));
}

void Simulator::setTimeScale(double scale)
{
    if (!validScale(scale)) {
        std::lock_guard lock(m_mutex);
        m_log->add(now(), EventKind::Control, "time scale " + scaleText(scale) + " refused: kept at " + scaleText(timeScale()));
        return;
    }
    {
        std::lock_guard lock(m_clockMutex);
        const auto real = std::chrono::steady_clock::now();
        m_virtualAnchor = clockAt(real);
        m_realAnchor = real;
        m_scale = scale;
    }
    wake(); // the device thread's sleep was measured at the old pace
}

double Simulator::timeScale() const
{
    std::lock_guard lock(m_clockMutex);
    return m_scale;
}

void Simulator::wake()
{
    if (m_wakeFd >= 0) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const auto n = ::write(m_wakeFd, &one, sizeof one);
    }
}

bool Simulator::start(std::string *error)
{
    if (m_thread.joinable())
        return true;
    std::lock_guard lock(m_mutex);
    if (!m_pty.open(error))
        return false;
    m_slave = m_pty.slavePath();
    if (!m_symlink.empty() && !Pty::link(m_symlink, m_slave, error)) {
        m_pty.close();
        return false;
    }
    m_core.noteLine(now(), "pseudo-terminal " + m_slave + (m_symlink.empty() ? "" : " linked at " + m_symlink));
    m_pcClosed = true;
    m_core.pcPortClosed(now());
    m_stop = false;
    m_thread = std::thread([this] { run(); });
    return true;
}

void Simulator::stop()
{
    if (!m_thread.joinable())
        return;
    m_stop = true;
    wake();
    m_thread.join();
}

std::string Simulator::slavePath() const
{
    std::lock_guard lock(m_mutex);
    return m_slave;
}

// ---------------------------------------------------------------------------------------
// The device thread

void Simulator::run()
{
    std::unique_lock lock(m_mutex);
    while (!m_stop) {
        Time t = now();
        if (!m_pty.isOpen() && m_recreateAt && t >= *m_recreateAt)
            recreate(t);

        // Sleep until the next due time, a speed sample, or input. Due times are the encoder's;
        // the sleep is real: rounded up, so that the thread wakes when they are due, not just
        // before.
        const double scale = timeScale();
        const Time interval = m_pty.isOpen() && !m_pcClosed ? kSampleInterval : kClosedInterval;
        double waitUs = std::clamp(static_cast<double>(interval) * scale, kMinPollUs, static_cast<double>(interval));
        std::optional<Time> due = m_core.nextWake();
        if (m_recreateAt)
            due = due ? std::min(*due, *m_recreateAt) : *m_recreateAt;
        if (due)
            waitUs = std::min(waitUs, std::ceil(static_cast<double>(std::max<Time>(0, *due - t)) * scale));
        const auto wait = static_cast<Time>(waitUs);
        pollfd fds[2] = {{m_wakeFd, POLLIN, 0}, {-1, 0, 0}};
        // While the PC port is closed the master reports POLLHUP continuously: it is then
        // looked at once per interval instead of being polled.
        if (m_pty.isOpen() && !m_pcClosed) {
            fds[1].fd = m_pty.fd();
            fds[1].events = static_cast<short>((m_core.inputStalled() ? 0 : POLLIN) | (m_pending.empty() ? 0 : POLLOUT));
        }
        const timespec ts{static_cast<time_t>(wait / 1'000'000), static_cast<long>((wait % 1'000'000) * 1000)};
        lock.unlock();
        const int rc = ::ppoll(fds, 2, &ts, nullptr);
        lock.lock();
        if (m_stop)
            break;
        if (rc > 0 && (fds[0].revents & POLLIN)) {
            std::uint64_t v = 0;
            [[maybe_unused]] const auto n = ::read(m_wakeFd, &v, sizeof v);
        }
        t = now();
        if (m_pty.isOpen()) {
            short revents = fds[1].fd >= 0 ? fds[1].revents : 0;
            // The line settings as they are now, also while the PC's port is closed (the
            // device keeps what was set last): bytes still on their way in are judged by them.
            if (const auto line = m_pty.sampleLine())
                m_core.observeLine(t, *line);
            if (m_pcClosed) {
                pollfd probe{m_pty.fd(), POLLIN, 0};
                ::poll(&probe, 1, 0);
                // Bytes waiting while the port looks closed: the PC opened it, wrote and
                // closed it again between two looks. They went out on the line, so they are
                // read, and judged like any others.
                const bool raced = (probe.revents & POLLHUP) && (probe.revents & POLLIN);
                if (!(probe.revents & POLLHUP) || raced) {
                    m_pcClosed = false;
                    m_core.pcPortOpened(t);
                    revents = POLLIN; // look for bytes at once
                }
            }
            if (!m_pcClosed) {
                serviceMaster(t, revents);
                // The PC may have set its line and written between the look above and the
                // read: bytes still queued when the speed changes go out at the new one, so
                // what was just read is judged by the line as it is now.
                if (const auto line = m_pty.sampleLine())
                    m_core.observeLine(t, *line);
            }
        }
        m_core.advance(t);
        const Bytes out = m_core.transmit(t);
        if (m_pty.isOpen() && !m_pcClosed)
            m_pending += out;
        flushOutput(t);
        for (const auto action : m_core.takeActions())
            if (action == Core::Action::Hangup)
                doHangup(t);
        if (m_hangupRequested) {
            doHangup(t);
            m_hangupRequested = false;
            m_hangupDone.notify_all();
        }
    }
    m_hangupRequested = false;
    m_hangupDone.notify_all();
}

void Simulator::serviceMaster(Time t, short revents)
{
    if (!m_core.inputStalled() && (revents & (POLLIN | POLLHUP | POLLERR))) {
        char buf[4096];
        for (;;) {
            const ssize_t n = ::read(m_pty.fd(), buf, sizeof buf);
            if (n > 0) {
                m_core.receive(t, std::string_view(buf, static_cast<std::size_t>(n)));
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && errno == EIO) {
                // The PC closed its port (bytes it wrote before closing were read above).
                m_pcClosed = true;
                m_pending.clear();
                m_core.pcPortClosed(t);
            }
            break;
        }
    } else if (revents & POLLHUP) {
        m_pcClosed = true;
        m_pending.clear();
        m_core.pcPortClosed(t);
    }
}

void Simulator::flushOutput(Time t)
{
    while (!m_pending.empty() && m_pty.isOpen() && !m_pcClosed) {
        const ssize_t n = ::write(m_pty.fd(), m_pending.data(), m_pending.size());
        if (n > 0) {
            m_pending.erase(0, static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EIO) {
            m_pcClosed = true;
            m_pending.clear();
            m_core.pcPortClosed(t);
        }
        break; // EAGAIN: the PC is not reading; the rest goes when it does
    }
    if (m_pcClosed)
        m_pending.clear();
}

void Simulator::doHangup(Time t)
{
    if (!m_pty.isOpen())
        return;
    // Like a pulled adapter, the device's name goes with it; the link first, so that it never
    // leads to the next pseudo-terminal that gets this one's number.
    if (!m_symlink.empty())
        Pty::unlinkIfPointsTo(m_symlink, m_slave);
    m_pty.close();
    m_pending.clear();
    m_pcClosed = true;
    const int ms = m_core.knobs().hangupRecreateMs;
    m_core.noteLine(t, "hangup: pseudo-terminal closed" +
                           (ms > 0 ? ", a new one in " + std::to_string(ms) + " ms" : std::string()));
    if (ms > 0)
        m_recreateAt = t + msToTime(ms);
}

bool Simulator::recreate(Time t)
{
    m_recreateAt.reset();
    std::string error;
    const std::string old = m_slave;
    if (!m_pty.open(&error)) {
        m_core.noteLine(t, "pseudo-terminal not recreated: " + error);
        return false;
    }
    m_slave = m_pty.slavePath();
    if (!m_symlink.empty() && !Pty::link(m_symlink, m_slave, &error))
        m_core.noteLine(t, "symlink not updated: " + error);
    m_pcClosed = true;
    m_core.noteLine(t, "pseudo-terminal recreated: " + m_slave + (m_symlink.empty() ? "" : " at " + m_symlink));
    return true;
}

// ---------------------------------------------------------------------------------------
// Control

bool Simulator::setKnob(const std::string &name, const std::string &value, std::string *error)
{
    bool ok = false;
    {
        std::lock_guard lock(m_mutex);
        ok = m_core.setKnob(now(), name, value, error);
    }
    wake();
    return ok;
}

void Simulator::clearKnobs()
{
    {
        std::lock_guard lock(m_mutex);
        m_core.clearKnobs(now());
    }
    wake();
}

bool Simulator::loadState(const std::string &text, std::string *error)
{
    bool ok = false;
    {
        std::lock_guard lock(m_mutex);
        ok = m_core.loadState(now(), text, error);
    }
    wake();
    return ok;
}

bool Simulator::loadStateFile(const std::string &path, std::string *error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (error)
            *error = "cannot read " + path;
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    return loadState(text.str(), error);
}

bool Simulator::saveStateFile(const std::string &path, std::string *error) const
{
    // Written next to the target and renamed over it: never half a file.
    const std::string tmp = path + ".tmp";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        out << saveState();
        if (!out.flush()) {
            if (error)
                *error = "cannot write " + tmp;
            return false;
        }
    }
    if (std::rename(tmp.c_str(), path.c_str()) != 0) {
        if (error)
            *error = "cannot rename " + tmp + " to " + path;
        std::remove(tmp.c_str());
        return false;
    }
    return true;
}

std::string Simulator::saveState() const
{
    std::lock_guard lock(m_mutex);
    return m_core.saveState();
}

void Simulator::powerOn()
{
    {
        std::lock_guard lock(m_mutex);
        m_core.powerOn(now());
    }
    wake();
}

void Simulator::powerOff()
{
    {
        std::lock_guard lock(m_mutex);
        m_core.powerOff(now());
        m_pending.clear();
    }
    wake();
}

void Simulator::powerCycle()
{
    {
        std::lock_guard lock(m_mutex);
        m_core.powerCycle(now());
        m_pending.clear();
    }
    wake();
}

void Simulator::hangup()
{
    std::unique_lock lock(m_mutex);
    m_core.noteLine(now(), "hangup requested");
    if (!m_thread.joinable()) {
        doHangup(now());
        return;
    }
    // The device thread closes the master itself: a descriptor another thread is polling
    // is not released until that poll returns, and the PC must see the hangup at once.
    m_hangupRequested = true;
    lock.unlock();
    wake();
    lock.lock();
    m_hangupDone.wait(lock, [this] { return !m_hangupRequested || m_stop; });
}

void Simulator::cablePull()
{
    {
        std::lock_guard lock(m_mutex);
        m_core.cablePull(now());
    }
    wake();
}

void Simulator::cablePlug()
{
    {
        std::lock_guard lock(m_mutex);
        m_core.cablePlug(now());
    }
    wake();
}

bool Simulator::tellLineSettings(const std::string &settings, std::string *error)
{
    const auto s = LineSettings::parse(settings);
    if (!s) {
        if (error)
            *error = "line settings such as 9600,n,8,1 expected";
        return false;
    }
    {
        std::lock_guard lock(m_mutex);
        m_core.tellLineSettings(now(), *s);
    }
    wake();
    return true;
}

Snapshot Simulator::getState() const
{
    std::lock_guard lock(m_mutex);
    return m_core.snapshot();
}

Stats Simulator::stats() const
{
    std::lock_guard lock(m_mutex);
    return m_core.stats();
}

std::vector<Page> Simulator::pages(std::size_t since) const
{
    std::lock_guard lock(m_mutex);
    const auto &all = m_core.pages();
    if (since >= all.size())
        return {};
    return std::vector<Page>(all.begin() + static_cast<std::ptrdiff_t>(since), all.end());
}

std::size_t Simulator::pageCount() const
{
    std::lock_guard lock(m_mutex);
    return m_core.pages().size();
}

bool Simulator::waitForPages(std::size_t count, std::chrono::milliseconds timeout) const
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::size_t next = 0;
    while (pageCount() < count) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        std::size_t index = 0;
        if (left.count() <= 0 || !m_log->waitFor("page port ", left, next, &index))
            return pageCount() >= count;
        next = index + 1;
    }
    return true;
}

Mode Simulator::mode() const
{
    std::lock_guard lock(m_mutex);
    return m_core.mode();
}

std::size_t Simulator::inputNotTakenIn() const
{
    std::lock_guard lock(m_mutex);
    int unread = 0;
    if (m_pty.isOpen()) {
        // What the PC writes reaches the master's input through a kernel work item, which a
        // loaded machine may run many milliseconds later: until then the count would miss the
        // bytes. A look at the master (poll) has that work done first.
        pollfd look{m_pty.fd(), POLLIN, 0};
        ::poll(&look, 1, 0);
        if (::ioctl(m_pty.fd(), FIONREAD, &unread) != 0 || unread < 0)
            unread = 0;
    }
    return static_cast<std::size_t>(unread) + m_core.inputOnItsWay();
}

} // namespace encsim
