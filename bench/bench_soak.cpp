// A long range test: whether the program's memory stays flat and every page arrives.
//
// The test console (its real window, offscreen) runs a range test of TAP pages with cycle time
// 0 to a simulated encoder whose TAP session is open from its start, with no pacing of the line
// and the clock scaled down, so that the pages follow each other as fast as the one-second tick
// of the run allows. The encoder runs in a child process, so that what it records of every page
// does not count in the program's memory. The benchmark prints the program's resident memory
// after 1,000 and after the last page, their difference (goal: under 2 MB), the lines in the
// log list (299 at most), and the pages the encoder put on the air against the pages the
// program sent (goal: equal). Its last line is
//   soak: rss growth <X> MB, sent <N> received <M>
//
//   bench_soak [pages]        (offscreen unless QT_QPA_PLATFORM says otherwise; default 10000)

#include "benchprogram.h"
#include "platform/forms.h"
#include "platform/serialport.h"
#include "platform/timing.h"
#include "testconsole/frmMessageTest.h"
#include "testconsole/frmRangeTest.h"

#include "encsim/simulator.h"

#include <QAction>
#include <QApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr double Scale = 0.002; // one second of the program's and the encoder's clocks: 2 ms

// The resident memory of this process, in kB.
long residentKB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

bool writeLine(int fd, const std::string &line)
{
    const std::string out = line + "\n";
    return ::write(fd, out.data(), out.size()) == ssize_t(out.size());
}

std::string readLine(int fd)
{
    std::string line;
    char c;
    while (::read(fd, &c, 1) == 1 && c != '\n')
        line += c;
    return line;
}

// The child: the demo encoder in programming mode (its port 1 a TAP port at 9600 baud), its
// TAP session open from every start, no pacing. It tells the parent its link's path, then
// answers "count" with the pages put on the air and "taken" with 1 when it has taken in every
// byte written to it (else 0), until "quit" or the pipe closes.
int runEncoderAt(const std::string &link, int commands, int answers)
{
    encsim::SimulatorOptions options;
    options.symlinkPath = link;
    options.state = encsim::DeviceState::demo();
    options.startMode = encsim::Mode::Programming;
    options.knobs = {{"pacing", "off"}, {"tap_logged_in_at_boot", "on"}};
    options.timeScale = Scale;
    encsim::Simulator sim(options);
    std::string error;
    if (!sim.start(&error)) {
        writeLine(answers, "");
        std::fprintf(stderr, "simulated encoder: %s\n", error.c_str());
        return 1;
    }
    writeLine(answers, sim.symlinkPath());
    for (;;) {
        const std::string command = readLine(commands);
        if (command == "count")
            writeLine(answers, std::to_string(sim.pageCount()));
        else if (command == "taken")
            writeLine(answers, sim.inputNotTakenIn() == 0 ? "1" : "0");
        else
            return 0;
    }
}

int runEncoder(int commands, int answers)
{
    // The program opens a link of the encoder's own, never the bare /dev/pts/N that the
    // system may hand to another program's pseudo-terminal once this one closes.
    char folder[] = "/tmp/bench-soak-XXXXXX";
    if (!::mkdtemp(folder)) {
        writeLine(answers, "");
        std::fprintf(stderr, "no folder for the encoder's link\n");
        return 1;
    }
    const int status = runEncoderAt(std::string(folder) + "/encoder", commands, answers);
    ::rmdir(folder);
    return status;
}

} // namespace

int main(int argc, char **argv)
{
    const int pages = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int early = qMin(1000, pages);

    // The encoder first, before this process has threads of its own.
    int toEncoder[2], fromEncoder[2];
    if (::pipe(toEncoder) != 0 || ::pipe(fromEncoder) != 0)
        return 1;
    const pid_t child = ::fork();
    if (child < 0)
        return 1;
    if (child == 0) {
        ::close(toEncoder[1]);
        ::close(fromEncoder[0]);
        ::_exit(runEncoder(toEncoder[0], fromEncoder[1]));
    }
    ::close(toEncoder[0]);
    ::close(fromEncoder[1]);
    const int commands = toEncoder[1], answers = fromEncoder[0];
    const auto encoderPages = [&] {
        writeLine(commands, "count");
        return std::atol(readLine(answers).c_str());
    };
    const auto finish = [&](int status) {
        SetLineTakenInHook(nullptr);
        writeLine(commands, "quit");
        ::close(commands);
        ::waitpid(child, nullptr, 0);
        return status;
    };
    const std::string link = readLine(answers);
    if (link.empty())
        return finish(1);

    QTemporaryDir config, program;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    qputenv("XDG_DATA_HOME", program.path().toLocal8Bit());
    QApplication app(argc, argv);
    IsolateBenchProgram(config, program);
    SetFlashWindowHook([](QWidget *) {});
    SetTimeScale(Scale);
    SetComDevicePathOverride(1, QString::fromStdString(link));
    // The unpaced encoder takes each page in far sooner than its time at 9600 baud. Its word
    // that it has taken in every byte keeps the port's account of the line from running ahead
    // of it by minutes over the run, which the port's close would wait out before the exit.
    SetLineTakenInHook([commands, answers](int) {
        writeLine(commands, "taken");
        return readLine(answers) == "1";
    });

    Run.sBrand = "Kestrane";
    if (!OpenOnDemoTAPPort())
        return finish(1);
    frmMessageTest *console = forms::Get<frmMessageTest>();
    console->txtPIN->setText(QStringLiteral("123"));
    console->txtMessage->setBytes("Soak");

    // Every page the sender writes starts with its "TAP Output" line at the top of the log.
    int sent = 0;
    long rssEarly = -1, rssLast = -1;
    QObject::connect(console->lb_log->model(), &QAbstractItemModel::rowsInserted, console, [&] {
        if (!console->lb_log->item(0)->text().startsWith(QLatin1String("TAP Output:")))
            return;
        ++sent;
        if (sent == early)
            rssEarly = residentKB();
        if (sent == pages) {
            rssLast = residentKB();
            QTimer::singleShot(0, console, [console] { console->cmdSendMsg->click(); }); // Stop
        }
    });

    // The range test from the console's menu: the set-up dialog's Start with cycle time 0.
    QTimer setup;
    QObject::connect(&setup, &QTimer::timeout, &setup, [&setup] {
        if (frmRangeTest *dialog = forms::Find<frmRangeTest>(); dialog && dialog->isVisible()) {
            setup.stop();
            dialog->txtCycleTime->setText(QStringLiteral("0"));
            dialog->cmdStart->click();
        }
    });
    setup.start(1);
    QElapsedTimer clock;
    clock.start();
    console->mnuRangeTest->trigger();
    while (Run.bRangeTestOn || console->windowTitle() != QLatin1String("Kestrane Paging Test"))
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const double wallS = clock.nsecsElapsed() / 1e9;

    // The encoder's last page may still be on its way to the air.
    long received = encoderPages();
    for (QDeadlineTimer settle(5000); received < sent && !settle.hasExpired(); received = encoderPages())
        QThread::msleep(20);
    const int logLines = console->lb_log->count();
    const double growthMB = (rssLast - rssEarly) / 1024.0;
    std::printf("range test soak (%d TAP pages, cycle 0): wall %.1f s  rss at %d pages %.1f MB, at %d pages %.1f MB  "
                "log %d lines (at most 299)\n",
                sent, wallS, early, rssEarly / 1024.0, sent, rssLast / 1024.0, logLines);
    std::printf("soak: rss growth %.2f MB, sent %d received %ld\n", growthMB, sent, received);
    forms::DestroyAll();
    return finish(0);
}
