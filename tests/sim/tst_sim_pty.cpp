// The simulated encoder on a pseudo-terminal, seen from the PC side as a program sees it:
// a slave device opened by path, its speed set with termios.
#include <QtTest>

#include "encsim/simulator.h"

#include <QTemporaryDir>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <limits>
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/stat.h>
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
    explicit PcPort(const std::string &path) : m_fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK))
    {
        setSpeed(B9600);
    }
    ~PcPort() { close(); }
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
    // Reads until the text holds `until` (when given), the port fails or the time is up.
    QByteArray read(double ms, const QByteArray &until = {}, double *firstByteMs = nullptr)
    {
        QByteArray got;
        const auto t0 = Clock::now();
        for (double left = ms; left > 0 && (until.isEmpty() || !got.contains(until)); left = ms - msSince(t0)) {
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left) + 1) <= 0)
                continue;
            char buf[512];
            const ssize_t n = ::read(m_fd, buf, sizeof buf);
            if (n > 0 && got.isEmpty() && firstByteMs)
                *firstByteMs = msSince(t0);
            if (n > 0)
                got.append(buf, n);
            else if (n < 0 && errno != EAGAIN)
                break;
        }
        return got;
    }

private:
    int m_fd = -1;
};

const QByteArray kBanner = "\r\nKestrane Paging Encoder v9.7\r\nPort 1\r\nID=";
const QByteArray kAnnounce = "\r\nTAP Programming Mode, 9600 baud";
const QByteArray kSig("\x89\x22\x21\x21\xA1\xFE", 6);

// A fresh link name for each simulator, in a folder of this run's own. The PC's end opens the
// link, never the bare /dev/pts/N, which the system gives to the next pseudo-terminal (another
// test's, perhaps) once this one is closed.
std::string freshLink()
{
    static QTemporaryDir folder;
    static int count = 0;
    return folder.filePath(QString("encoder%1").arg(++count)).toStdString();
}

SimulatorOptions options(Mode mode, double timeScale, std::vector<std::pair<std::string, std::string>> knobs = {},
                         DeviceState state = DeviceState::factory(9))
{
    SimulatorOptions o;
    o.symlinkPath = freshLink();
    o.state = std::move(state);
    o.startMode = mode;
    o.timeScale = timeScale;
    o.knobs = std::move(knobs);
    return o;
}

// Starts the simulator and opens the PC's port on it (by `path` when given); null on failure.
std::unique_ptr<PcPort> plugIn(Simulator &sim, const std::string &path = {})
{
    const std::size_t mark = sim.eventCount();
    if (!sim.running() && !sim.start())
        return nullptr;
    auto pc = std::make_unique<PcPort>(path.empty() ? sim.symlinkPath() : path);
    return sim.waitForEvent("line PC port open", 2s, mark) ? std::move(pc) : nullptr;
}

double cpuMs()
{
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000.0 + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1000.0;
}

// From the PC's last byte to the encoder's first, on the encoder's clock (-1: no reply).
double replyGapMs(const Simulator &sim, std::size_t since)
{
    double in = -1;
    for (const Event &e : sim.events(since)) {
        if (e.kind == EventKind::Output)
            return in < 0 ? -1 : e.ms() - in;
        if (e.kind == EventKind::Input)
            in = e.ms();
    }
    return -1;
}

} // namespace

class TestSimPty : public QObject {
    Q_OBJECT
private slots:
    void symlinkStateAndControl()
    {
        const QString link = QDir::temp().filePath(QString("encoder-sim-test-%1").arg(::getpid()));
        const std::string file = QDir::temp().filePath(QString("encoder-sim-state-%1.txt").arg(::getpid())).toStdString();
        SimulatorOptions o = options(Mode::Programming, 0.01);
        o.symlinkPath = link.toStdString();
        {
            Simulator sim(o);
            auto pc = plugIn(sim, o.symlinkPath);
            QVERIFY(pc);
            QCOMPARE(QFileInfo(link).symLinkTarget(), QString::fromStdString(sim.slavePath()));
            pc->write("config maxbatch?\r");
            QCOMPARE(pc->read(5000, "\r\n"), QByteArray("10\r\n"));
            QVERIFY(sim.saveStateFile(file));
            pc->write("config maxbatch 25\r");
            QCOMPARE(pc->read(5000, "\r\n"), QByteArray("MAXBATCH updated\r\n"));
            QCOMPARE(sim.getState().config.at("maxbatch"), std::string("25"));
            QCOMPARE(sim.stats().queries, 1);
            // Control: knobs and line settings are checked (the reasons are the core's), state files load back.
            QVERIFY(!sim.setKnob("pacing", "sideways") && !sim.tellLineSettings("fast"));
            QVERIFY(sim.tellLineSettings("1200,e,7,1"));
            QVERIFY(sim.loadStateFile(file));
            QCOMPARE(sim.getState().config.at("maxbatch"), std::string("10"));
            QFile::remove(QString::fromStdString(file));
            QVERIFY(!sim.loadStateFile(file));
            // Power: off, then on boots into paging mode.
            sim.powerOff();
            QCOMPARE(sim.mode(), Mode::Off);
            sim.powerOn();
            QCOMPARE(sim.mode(), Mode::Booting);
            QVERIFY(sim.waitForEvent("mode BOOTING -> PAGING", 5s));
            // Events: waited for, counted, read from an index on.
            QVERIFY(!sim.waitForEvent("no such event ever", 20ms));
            QCOMPARE(sim.events().size(), sim.eventCount());
            QCOMPARE(sim.events(sim.eventCount() - 1).size(), std::size_t(1));
        }
        // Destruction stops the thread and takes the symlink away.
        QVERIFY(!QFileInfo::exists(link) && !QFileInfo(link).isSymLink());
    }

    void speedIsObserved()
    {
        DeviceState s = DeviceState::factory(9);
        s.config["serial1 baud"] = "2400";
        Simulator sim(options(Mode::Paging, 0.1, {}, s));
        auto pc = plugIn(sim);
        QVERIFY(pc);
        QVERIFY(sim.waitForEvent("speed PC line speed 9600; encoder at 2400: mismatch", 2s));
        // Wrong speed: the encoder hears nothing it understands.
        pc->write("#PrgmMode#");
        QVERIFY(sim.waitForEvent("speed ignored 10 bytes sent at 9600", 2s));
        QCOMPARE(sim.mode(), Mode::Paging);
        // The port's own speed: programming mode, and the 9600 announcement reaches the PC at
        // 2400 as the signature.
        pc->setSpeed(B2400);
        QVERIFY(sim.waitForEvent("speed PC line speed 2400; encoder at 2400: match", 2s));
        pc->write("#PrgmMode#");
        QCOMPARE(pc->read(5000, kSig), kSig);
        QCOMPARE(sim.mode(), Mode::Programming);
        // The PC follows to 9600 and is understood.
        pc->setSpeed(B9600);
        QVERIFY(sim.waitForEvent("speed PC line speed 9600; encoder at 9600: match", 2s));
        pc->write("ATI\r\r");
        QCOMPARE(pc->read(5000, "ID="), kBanner);
    }

    // Bytes are judged by the speed the line has when they arrive, also when the PC has closed
    // its port by then: a port that puts other settings back as it closes garbles them, one
    // that keeps its settings does not.
    void bytesWrittenJustBeforeACloseAreJudgedAtTheLinesSpeed()
    {
        DeviceState s = DeviceState::factory(9);
        s.config["serial1 baud"] = "1200";
        Simulator sim(options(Mode::Paging, 1.0, {}, s));
        for (const bool restored : {true, false}) {
            auto pc = plugIn(sim);
            QVERIFY(pc);
            pc->setSpeed(B1200);
            QVERIFY(sim.waitForEvent("speed PC line speed 1200; encoder at 1200: match", 2s));
            const std::size_t mark = sim.eventCount();
            // 83 ms on the line at 1200 baud; the port closes at once.
            QCOMPARE(pc->write("#PrgmMode#"), ssize_t(10));
            if (restored)
                pc->setSpeed(B9600);
            pc->close();
            if (restored) {
                QVERIFY(sim.waitForEvent("speed ignored", 2s, mark));
                QCOMPARE(sim.mode(), Mode::Paging);
            } else {
                QVERIFY(sim.waitForEvent("mode PAGING -> PROGRAMMING", 2s, mark));
            }
        }
    }

    void burstPacingTakesTheLineTime()
    {
        // Real time: the group 1 line is 127 bytes, 132 ms at 9600, after the 14-byte request
        // (15 ms) and 10 ms of latency.
        Simulator sim(options(Mode::Programming, 1.0, {}, DeviceState::demo()));
        auto pc = plugIn(sim);
        QVERIFY(pc);
        const auto t0 = Clock::now();
        pc->write(QByteArray("\x02" "061c74\rL 1\r\x03" "221\r"));
        double first = 0;
        const QByteArray reply = pc->read(5000, "\r\n", &first);
        const double elapsed = msSince(t0);
        QCOMPARE(reply.size(), 127);
        QVERIFY(reply.startsWith("L 1 0010 1 "));
        QVERIFY2(first >= 150 && elapsed >= 155, qPrintable(QString("first byte %1 ms, last %2 ms").arg(first).arg(elapsed)));
    }

    void pcCloseAndReopen()
    {
        // Real time, so that the closed port is looked at no more often than a program sees.
        Simulator sim(options(Mode::Programming, 1.0, {{"pacing", "off"}, {"delay_reply", "ATI ms=100"}}));
        auto pc = plugIn(sim);
        QVERIFY(pc);
        // A reply still queued when the PC closes its port is dropped.
        pc->write("ATI\r");
        QVERIFY(sim.waitForEvent("command ATI", 2s));
        const std::size_t mark = sim.eventCount();
        pc->close();
        QVERIFY(sim.waitForEvent("line PC port closed", 2s, mark));
        // While it is closed the encoder neither spins nor delivers anything later.
        const double cpu0 = cpuMs();
        std::this_thread::sleep_for(200ms);
        QVERIFY2(cpuMs() - cpu0 < 100, qPrintable(QString("%1 ms of CPU while closed").arg(cpuMs() - cpu0)));
        pc = plugIn(sim);
        QVERIFY(pc);
        pc->write("ATI\r");
        QCOMPARE(pc->read(5000, "ID="), kBanner);
    }

    // What the PC wrote and the encoder has not taken in yet: unread while the encoder takes
    // no input, then on its way at the line's pace (ten seconds at 300 baud, until the clock
    // is sped up), then none.
    void inputNotTakenInYet()
    {
        Simulator sim(options(Mode::Programming, 1.0, {{"stall_input", "on"}}));
        auto pc = plugIn(sim);
        QVERIFY(pc);
        pc->setSpeed(B300);
        QCOMPARE(sim.inputNotTakenIn(), std::size_t(0));
        QCOMPARE(pc->write(QByteArray(299, ' ') + '\r'), ssize_t(300));
        QTRY_COMPARE(sim.inputNotTakenIn(), std::size_t(300));
        const std::size_t mark = sim.eventCount();
        QVERIFY(sim.setKnob("stall_input", "off"));
        QVERIFY(sim.waitForEvent("[PC 300]", 2s, mark));
        QVERIFY(sim.inputNotTakenIn() > 0);
        sim.setTimeScale(0.01);
        QTRY_COMPARE(sim.inputNotTakenIn(), std::size_t(0));
    }

    // A write is counted from the moment it returns, however late the system passes the bytes
    // on to the encoder's end (a loaded machine's pseudo-terminal): a port that waits for the
    // count to reach none never changes its speed under bytes still on their way.
    void aWriteIsCountedAtOnce()
    {
        Simulator sim(options(Mode::Programming, 0.01, {{"stall_input", "on"}}));
        auto pc = plugIn(sim);
        QVERIFY(pc);
        QList<std::size_t> counted;
        for (int round = 0; round < 20; ++round) {
            QCOMPARE(pc->write("ATI\r"), ssize_t(4));
            counted << sim.inputNotTakenIn();
            // Taken in, then none is read again: the next write meets an empty line.
            QVERIFY(sim.setKnob("stall_input", "off"));
            QVERIFY(QTest::qWaitFor([&sim] { return sim.inputNotTakenIn() == 0; }, 2000));
            QVERIFY(sim.setKnob("stall_input", "on"));
        }
        QCOMPARE(counted, QList<std::size_t>(20, 4));
    }

    void hangupAndCablePull()
    {
        const QString link = QDir::temp().filePath(QString("encoder-sim-hangup-%1").arg(::getpid()));
        SimulatorOptions o = options(Mode::Programming, 0.1, {{"hangup_recreate_ms", "300"}, {"pacing", "off"}});
        o.symlinkPath = link.toStdString();
        Simulator sim(o);
        auto pc = plugIn(sim, o.symlinkPath);
        QVERIFY(pc);
        sim.hangup();
        QVERIFY(sim.waitForEvent("line hangup: pseudo-terminal closed", 2s));
        // The PC's writes now fail; after closing, the link leads to a new pseudo-terminal.
        errno = 0;
        QCOMPARE(pc->write("ATI\r"), ssize_t(-1));
        QCOMPARE(errno, EIO);
        pc->close();
        QVERIFY(sim.waitForEvent("line pseudo-terminal recreated", 3s));
        QCOMPARE(QFileInfo(link).symLinkTarget(), QString::fromStdString(sim.slavePath()));
        pc = std::make_unique<PcPort>(o.symlinkPath);
        pc->write("ATI\r");
        QCOMPARE(pc->read(5000, "ID="), kBanner);

        // A pulled cable: the port stays writable; nothing comes back and nothing is understood.
        sim.cablePull();
        std::size_t mark = sim.eventCount();
        QCOMPARE(pc->write("config maxbatch 30\r"), ssize_t(19));
        QVERIFY(sim.waitForEvent("(cable pulled, lost)", 2s, mark));
        QCOMPARE(pc->read(50), QByteArray());
        QCOMPARE(sim.getState().config.at("maxbatch"), std::string("10"));
        sim.cablePlug();
        pc->write("config maxbatch?\r");
        QCOMPARE(pc->read(5000, "\r\n"), QByteArray("10\r\n"));

        // Hangup at a selector.
        QVERIFY(sim.setKnob("hangup_recreate_ms", "0") && sim.setKnob("hangup", "\"config maxbatch?\""));
        mark = sim.eventCount();
        pc->write("config maxbatch?\r");
        QVERIFY(sim.waitForEvent("line hangup: pseudo-terminal closed", 2s, mark));
        QCOMPARE(pc->read(50), QByteArray());
        // The device's name went with it: a new open cannot reach the next pseudo-terminal
        // that gets the old one's number.
        struct stat st {};
        QVERIFY(::lstat(o.symlinkPath.c_str(), &st) != 0 && errno == ENOENT);
        QVERIFY(::open(o.symlinkPath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK) < 0 && errno == ENOENT);
    }

    void tapPagesOverThePty()
    {
        // The TAP sender's first page after a boot, through the pseudo-terminal: prompted block,
        // log-on, the block again; the page is then read back as the test console's tests do.
        Simulator sim(options(Mode::Paging, 0.1, {}, DeviceState::demo()));
        auto pc = plugIn(sim);
        QVERIFY(pc);
        const QByteArray block("\x02" "123\rHello\r\x03" "2:9\r");
        pc->write(block);
        QCOMPARE(pc->read(5000, "ID=ID=ID="), QByteArray("ID=ID=ID="));
        pc->write("\x1bPG1\r");
        QCOMPARE(pc->read(5000, "[p\r"), QByteArray("\x06\r\x1b[p\r"));
        pc->write(block);
        QCOMPARE(pc->read(5000, "\r"), QByteArray("\x06\r"));
        QVERIFY(sim.waitForPages(1, 2s));
        const std::vector<Page> pages = sim.pages();
        QCOMPARE(pages.size(), std::size_t(1));
        QCOMPARE(pages[0].capcode, 1234023LL);
        QCOMPARE(pages[0].text, std::string("Hello"));
        QCOMPARE(sim.stats().pages, 1);
        QVERIFY(sim.pages(1).empty() && !sim.waitForPages(2, 20ms));
    }

    void comp2PageAtTheLineRate()
    {
        // Real time at 2400 baud: the 18-byte frame takes 75 ms to arrive, the encoder answers
        // 10 ms later, and its 12-byte answer takes 50 ms more.
        DeviceState s = DeviceState::demo();
        s.config["serial1 protocol"] = "COMP2";
        s.config["serial1 baud"] = "2400";
        Simulator sim(options(Mode::Paging, 1.0, {}, s));
        auto pc = plugIn(sim);
        QVERIFY(pc);
        pc->setSpeed(B2400);
        QVERIFY(sim.waitForEvent("speed PC line speed 2400; encoder at 2400: match", 2s));
        const auto t0 = Clock::now();
        pc->write("\x7f\x7f\x7f" "123A\rHello you\r");
        double first = 0;
        QCOMPARE(pc->read(5000, "COMP2>", &first), QByteArray("okay\r\nCOMP2>"));
        const double elapsed = msSince(t0);
        QVERIFY2(first >= 130 && elapsed >= 130, qPrintable(QString("first byte %1 ms, last %2 ms").arg(first).arg(elapsed)));
        QVERIFY(sim.waitForPages(1, 2s));
        QCOMPARE(sim.pages().at(0).text, std::string("Hello you"));
        QCOMPARE(sim.pages().at(0).function, 1);
    }

    void timeScale()
    {
        // A 100 s reply latency on a clock at 1/5000 of real time: 20 ms for the PC. Unscaled
        // the reply would not come within the read's time.
        Simulator sim(options(Mode::Programming, 0.0002, {{"reply_latency_ms", "100000"}}));
        auto pc = plugIn(sim);
        QVERIFY(pc);
        std::size_t mark = sim.eventCount();
        pc->write("ATI\r");
        QCOMPARE(pc->read(10000, "ID="), kBanner);
        QVERIFY2(replyGapMs(sim, mark) >= 100000, qPrintable(QString("latency %1 ms").arg(replyGapMs(sim, mark))));

        // Nonsense is refused and the pace kept.
        for (const double bad : {0.0, -1.0, std::nan(""), std::numeric_limits<double>::infinity()})
            sim.setTimeScale(bad);
        QCOMPARE(sim.timeScale(), 0.0002);
        QCOMPARE(sim.log().count("control time scale"), std::size_t(4));

        // The pace changes under a running clock without turning it back, and what is already
        // due comes at the new pace: a reply pending at real time arrives after the change.
        double before = sim.nowMs();
        sim.setTimeScale(1.0);
        QVERIFY2(sim.nowMs() >= before, qPrintable(QString("clock back from %1 to %2 ms").arg(before).arg(sim.nowMs())));
        mark = sim.eventCount();
        pc->write("ATI\r");
        QVERIFY(sim.waitForEvent("command ATI", 2s, mark));
        before = sim.nowMs();
        sim.setTimeScale(0.0002);
        QVERIFY(sim.nowMs() >= before);
        QCOMPARE(pc->read(10000, "ID="), kBanner);
        QVERIFY2(replyGapMs(sim, mark) >= 100000, qPrintable(QString("latency %1 ms").arg(replyGapMs(sim, mark))));
    }
};

QTEST_GUILESS_MAIN(TestSimPty)
#include "tst_sim_pty.moc"
