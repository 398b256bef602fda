// The simulated encoder on a pseudo-terminal, seen from the PC side as a program sees it:
// a slave device opened by path, its speed set with termios.
#include <QtTest>

#include "encsim/simulator.h"

#include <cerrno>
#include <chrono>
#include <cmath>
#include <limits>
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

using namespace encsim;
using namespace std::chrono_literals;

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point t0)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

// The PC's end: a serial port opened by path.
class PcPort {
public:
    explicit PcPort(const std::string &path, speed_t speed = B9600)
    {
        m_fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (m_fd >= 0)
            setSpeed(speed);
    }
    ~PcPort() { close(); }
    bool isOpen() const { return m_fd >= 0; }
    void close()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }
    void setSpeed(speed_t speed)
    {
        termios t{};
        ::tcgetattr(m_fd, &t);
        ::cfmakeraw(&t);
        t.c_cflag |= CLOCAL | CREAD;
        ::cfsetospeed(&t, speed);
        ::cfsetispeed(&t, speed);
        ::tcsetattr(m_fd, TCSANOW, &t);
    }
    ssize_t write(const QByteArray &bytes) { return ::write(m_fd, bytes.constData(), static_cast<size_t>(bytes.size())); }
    // Reads until the text holds `until` (when given) or the time is up.
    QByteArray read(double ms, const QByteArray &until = {}, double *firstByteMs = nullptr)
    {
        QByteArray got;
        const auto t0 = Clock::now();
        for (;;) {
            const double left = ms - msSince(t0);
            if (left <= 0 || (!until.isEmpty() && got.contains(until)))
                break;
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left) + 1) <= 0)
                continue;
            char buf[512];
            const ssize_t n = ::read(m_fd, buf, sizeof buf);
            if (n > 0) {
                if (got.isEmpty() && firstByteMs)
                    *firstByteMs = msSince(t0);
                got.append(buf, n);
            } else if (n < 0 && errno != EAGAIN) {
                m_readError = errno;
                break;
            }
        }
        return got;
    }
    int readError() const { return m_readError; }

private:
    int m_fd = -1;
    int m_readError = 0;
};

const QByteArray kBanner = "\r\nKestrane Paging Encoder v9.7\r\nPort 1\r\nID=";
const QByteArray kAnnounce = "\r\nTAP Programming Mode, 9600 baud";
const QByteArray kSig("\x89\x22\x21\x21\xA1\xFE", 6);

SimulatorOptions options(Mode mode, DeviceState state = DeviceState::factory(9))
{
    SimulatorOptions o;
    o.state = std::move(state);
    o.startMode = mode;
    return o;
}

double cpuMs()
{
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000.0 + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1000.0;
}

} // namespace

class TestSimPty : public QObject {
    Q_OBJECT
private slots:
    void roundTripThroughTheSymlink();
    void speedIsObserved();
    void burstPacingTakesTheLineTime();
    void pcCloseAndReopen();
    void hangup();
    void cablePull();
    void detectionAndConsoleHandOver();
    void controlApi();
    void timeScale();
};

void TestSimPty::roundTripThroughTheSymlink()
{
    const QString link = QDir::temp().filePath(QString("encoder-sim-test-%1").arg(::getpid()));
    SimulatorOptions o = options(Mode::Programming);
    o.symlinkPath = link.toStdString();
    std::string slave;
    {
        Simulator sim(o);
        std::string error;
        QVERIFY2(sim.start(&error), error.c_str());
        slave = sim.slavePath();
        QCOMPARE(QFileInfo(link).symLinkTarget(), QString::fromStdString(slave));
        PcPort pc(link.toStdString());
        QVERIFY(pc.isOpen());
        QVERIFY(sim.waitForEvent("line PC port open", 2s));
        pc.write("config maxbatch?\r");
        QCOMPARE(pc.read(2000, "\r\n"), QByteArray("10\r\n"));
        pc.write("config maxbatch 25\r");
        QCOMPARE(pc.read(2000, "\r\n"), QByteArray("MAXBATCH updated\r\n"));
        QCOMPARE(sim.getState().config.at("maxbatch"), std::string("25"));
        QCOMPARE(sim.stats().queries, 1);
    }
    // Destruction stops the thread and takes the symlink away.
    QVERIFY(!QFileInfo::exists(link) && !QFileInfo(link).isSymLink());
}

void TestSimPty::speedIsObserved()
{
    DeviceState s = DeviceState::factory(9);
    s.config["serial1 baud"] = "2400";
    Simulator sim(options(Mode::Paging, s));
    QVERIFY(sim.start());
    PcPort pc(sim.slavePath(), B9600);
    QVERIFY(sim.waitForEvent("speed PC line speed 9600; encoder at 2400: mismatch", 2s));
    // Wrong speed: the encoder hears nothing it understands.
    pc.write("#PrgmMode#");
    QVERIFY(sim.waitForEvent("speed ignored 10 bytes sent at 9600", 2s));
    QCOMPARE(pc.read(200), QByteArray());
    QCOMPARE(sim.mode(), Mode::Paging);
    // The port's own speed: programming mode, and the 9600 announcement reaches the PC at
    // 2400 as the signature.
    pc.setSpeed(B2400);
    QVERIFY(sim.waitForEvent("speed PC line speed 2400; encoder at 2400: match", 2s));
    std::this_thread::sleep_for(80ms); // past the grace period of the old speed
    pc.write("#PrgmMode#");
    QCOMPARE(pc.read(2000, kSig), kSig);
    QCOMPARE(sim.mode(), Mode::Programming);
    // The PC follows to 9600 and is understood.
    pc.setSpeed(B9600);
    QVERIFY(sim.waitForEvent("speed PC line speed 9600; encoder at 9600: match", 2s));
    pc.write("ATI\r\r");
    QCOMPARE(pc.read(2000, "ID="), kBanner);
}

void TestSimPty::burstPacingTakesTheLineTime()
{
    Simulator sim(options(Mode::Programming, DeviceState::demo()));
    QVERIFY(sim.start());
    PcPort pc(sim.slavePath());
    QVERIFY(sim.waitForEvent("line PC port open", 2s));
    // The group 1 line is 127 bytes: 132 ms at 9600, after the 14-byte request (15 ms) and 10 ms.
    const QByteArray request("\x02" "061c74\rL 1\r\x03" "221\r");
    const auto t0 = Clock::now();
    pc.write(request);
    double first = 0;
    const QByteArray reply = pc.read(3000, "\r\n", &first);
    const double elapsed = msSince(t0);
    QCOMPARE(reply.size(), 127);
    QVERIFY(reply.startsWith("L 1 0010 1 "));
    QVERIFY2(first >= 150, qPrintable(QString("first byte after %1 ms").arg(first)));
    QVERIFY2(elapsed >= 155 && elapsed < 600, qPrintable(QString("reply after %1 ms").arg(elapsed)));
    // Pacing off: at once (the 10 ms latency only).
    QVERIFY(sim.setKnob("pacing", "off"));
    const auto t1 = Clock::now();
    pc.write(request);
    QCOMPARE(pc.read(3000, "\r\n").size(), 127);
    QVERIFY2(msSince(t1) < 120, qPrintable(QString("unpaced reply after %1 ms").arg(msSince(t1))));
}

void TestSimPty::pcCloseAndReopen()
{
    Simulator sim(options(Mode::Programming));
    QVERIFY(sim.start());
    QVERIFY(sim.setKnob("pacing", "off"));
    auto pc = std::make_unique<PcPort>(sim.slavePath());
    QVERIFY(sim.waitForEvent("line PC port open", 2s));
    // A reply still queued when the PC closes its port is dropped.
    QVERIFY(sim.setKnob("delay_reply", "ATI ms=300"));
    pc->write("ATI\r");
    std::this_thread::sleep_for(50ms);
    const std::size_t mark = sim.eventCount();
    pc->close();
    QVERIFY(sim.waitForEvent("line PC port closed", 2s, mark));
    // While it is closed the encoder neither spins nor delivers anything later.
    const double cpu0 = cpuMs();
    std::this_thread::sleep_for(500ms);
    QVERIFY2(cpuMs() - cpu0 < 150, qPrintable(QString("%1 ms of CPU while closed").arg(cpuMs() - cpu0)));
    pc = std::make_unique<PcPort>(sim.slavePath());
    QVERIFY(sim.waitForEvent("line PC port open", 2s, mark));
    QCOMPARE(pc->read(300), QByteArray());
    pc->write("ATI\r");
    QCOMPARE(pc->read(2000, "ID="), kBanner);
}

void TestSimPty::hangup()
{
    const QString link = QDir::temp().filePath(QString("encoder-sim-hangup-%1").arg(::getpid()));
    SimulatorOptions o = options(Mode::Programming);
    o.symlinkPath = link.toStdString();
    o.knobs = {{"hangup_recreate_ms", "300"}, {"pacing", "off"}};
    Simulator sim(o);
    QVERIFY(sim.start());
    const std::string first = sim.slavePath();
    PcPort pc(link.toStdString());
    QVERIFY(sim.waitForEvent("line PC port open", 2s));
    sim.hangup();
    QVERIFY(sim.waitForEvent("line hangup: pseudo-terminal closed", 2s));
    // The PC's writes now fail, and so does reading.
    errno = 0;
    QCOMPARE(pc.write("ATI\r"), ssize_t(-1));
    QCOMPARE(errno, EIO);
    pc.close();
    QVERIFY(sim.waitForEvent("line pseudo-terminal recreated", 3s));
    QVERIFY(sim.slavePath() != first || QFileInfo(link).symLinkTarget() == QString::fromStdString(sim.slavePath()));
    PcPort again(link.toStdString());
    QVERIFY(again.isOpen());
    QVERIFY(sim.waitForEvent("line PC port open", 2s));
    again.write("ATI\r");
    QCOMPARE(again.read(2000, "ID="), kBanner);
    // Hangup at a selector.
    QVERIFY(sim.setKnob("hangup_recreate_ms", "0"));
    QVERIFY(sim.setKnob("hangup", "\"config maxbatch?\""));
    again.write("config maxbatch?\r");
    QVERIFY(sim.waitForEvent("line hangup: pseudo-terminal closed", 2s));
    QCOMPARE(again.read(200), QByteArray());
}

void TestSimPty::cablePull()
{
    Simulator sim(options(Mode::Programming));
    QVERIFY(sim.start());
    QVERIFY(sim.setKnob("pacing", "off"));
    PcPort pc(sim.slavePath());
    QVERIFY(sim.waitForEvent("line PC port open", 2s));
    sim.cablePull();
    // The port stays writable; nothing comes back and nothing is understood.
    QCOMPARE(pc.write("config maxbatch 30\r"), ssize_t(19));
    QCOMPARE(pc.read(300), QByteArray());
    QCOMPARE(sim.getState().config.at("maxbatch"), std::string("10"));
    sim.cablePlug();
    pc.write("config maxbatch?\r");
    QCOMPARE(pc.read(2000, "\r\n"), QByteArray("10\r\n"));
}

void TestSimPty::detectionAndConsoleHandOver()
{
    // What the program's detection and test console do, at real time.
    SimulatorOptions o = options(Mode::Paging);
    o.knobs = {{"reboot_ms", "300"}};
    Simulator sim(o);
    QVERIFY(sim.start());
    PcPort pc(sim.slavePath());
    QVERIFY(sim.waitForEvent("line PC port open", 2s));
    pc.write("#PrgmMode#");
    QCOMPARE(pc.read(2000, "9600 baud"), kAnnounce);
    pc.write("ATI\r\r");
    QCOMPARE(pc.read(2000, "ID="), kBanner);
    QCOMPARE(pc.read(150), QByteArray()); // nothing after "ID="
    // Console opening: reboot into paging mode, TAP logged out.
    pc.write("config reboot\r");
    QVERIFY(sim.waitForEvent("mode BOOTING -> PAGING", 3s));
    pc.write("\r");
    QCOMPARE(pc.read(2000, "ID="), QByteArray("ID="));
    // Console closing: "#PrgmMode#" and, a few milliseconds later at 9600, "ATI" CR.
    pc.write("#PrgmMode#");
    std::this_thread::sleep_for(5ms);
    pc.write("ATI\r");
    const QByteArray reply = pc.read(2000, "ID=");
    QVERIFY(reply.startsWith(kAnnounce));
    QVERIFY(reply.endsWith(kBanner));
    QCOMPARE(sim.stats().atis, 2);
    QCOMPARE(sim.stats().prgmModes, 2);
}

void TestSimPty::controlApi()
{
    Simulator sim(options(Mode::Programming));
    QVERIFY(sim.start());
    std::string error;
    QVERIFY(!sim.setKnob("pacing", "sideways", &error)); // the reasons are the core's, tested there
    QVERIFY(!sim.tellLineSettings("fast", &error));
    QVERIFY(sim.tellLineSettings("1200,e,7,1"));
    // State files: save, change, load back.
    const QString file = QDir::temp().filePath(QString("encoder-sim-state-%1.txt").arg(::getpid()));
    QVERIFY(sim.saveStateFile(file.toStdString(), &error));
    QVERIFY(sim.setKnob("preset", "demo"));
    QCOMPARE(sim.getState().recordLines[10], std::string("G 1 1 1234000 5 A 3 050 0100 00 00"));
    QVERIFY(sim.loadStateFile(file.toStdString(), &error));
    QCOMPARE(sim.getState().recordLines[10], std::string("G 1 0 0000000 5 A 0 000 0000 00 00"));
    QFile::remove(file);
    QVERIFY(!sim.loadStateFile(file.toStdString(), &error));
    // Power.
    sim.powerOff();
    QCOMPARE(sim.mode(), Mode::Off);
    sim.powerOn();
    QCOMPARE(sim.mode(), Mode::Booting);
    QVERIFY(sim.waitForEvent("mode BOOTING -> PAGING", 3s));
    QVERIFY(!sim.waitForEvent("no such event ever", 50ms));
    const auto all = sim.events();
    QVERIFY(all.size() == sim.eventCount());
    QVERIFY(sim.events(all.size() - 1).size() == 1);
}

void TestSimPty::timeScale()
{
    // A 2000 ms reply latency on a clock at a hundredth of real time: 20 ms for the PC.
    SimulatorOptions o = options(Mode::Programming);
    o.knobs = {{"reply_latency_ms", "2000"}};
    o.timeScale = 0.01;
    Simulator sim(o);
    QVERIFY(sim.start());
    PcPort pc(sim.slavePath());
    QVERIFY(sim.waitForEvent("line PC port open", 2s));
    // From the PC's last byte to the encoder's first, on the encoder's clock.
    const auto replyGapMs = [&sim](std::size_t since) {
        double in = -1;
        for (const Event &e : sim.events(since)) {
            if (e.kind == EventKind::Output)
                return in < 0 ? -1 : e.ms() - in;
            if (e.kind == EventKind::Input)
                in = e.ms();
        }
        return -1.0;
    };
    std::size_t mark = sim.eventCount();
    auto t0 = Clock::now();
    pc.write("ATI\r");
    QCOMPARE(pc.read(3000, "ID="), kBanner);
    QVERIFY2(msSince(t0) < 1000, qPrintable(QString("reply after %1 ms").arg(msSince(t0))));
    QVERIFY2(replyGapMs(mark) >= 2000, qPrintable(QString("latency %1 ms").arg(replyGapMs(mark))));

    // Nonsense is refused and the pace kept.
    for (const double bad : {0.0, -1.0, std::nan(""), std::numeric_limits<double>::infinity()})
        sim.setTimeScale(bad);
    QCOMPARE(sim.timeScale(), 0.01);
    QCOMPARE(sim.log().count("control time scale"), std::size_t(4));

    // The pace changes under a running clock without turning it back, and what is already due
    // comes at the new pace: a reply pending at real time arrives at once after the change.
    double before = sim.nowMs();
    sim.setTimeScale(1.0);
    QVERIFY2(sim.nowMs() >= before, qPrintable(QString("clock back from %1 to %2 ms").arg(before).arg(sim.nowMs())));
    mark = sim.eventCount();
    pc.write("ATI\r");
    QVERIFY(sim.waitForEvent("command ATI", 2s, mark));
    before = sim.nowMs();
    t0 = Clock::now();
    sim.setTimeScale(0.01);
    QVERIFY(sim.nowMs() >= before);
    QCOMPARE(pc.read(3000, "ID="), kBanner);
    QVERIFY2(msSince(t0) < 1000, qPrintable(QString("reply %1 ms after the change").arg(msSince(t0))));
    QVERIFY2(replyGapMs(mark) >= 2000, qPrintable(QString("latency %1 ms").arg(replyGapMs(mark))));
}

QTEST_GUILESS_MAIN(TestSimPty)
#include "tst_sim_pty.moc"
