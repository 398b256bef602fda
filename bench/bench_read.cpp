// How close a detection and a full database read come to the time the bytes need on the line.
//
// The program (its real windows, offscreen) reads a simulated encoder holding a full V9
// database (every setting, 10 groups, 50 families, 15 messages, every slot in use) over a
// pseudo-terminal paced at the real character rate of 9600 baud (10 bits a character) with the
// encoder's default reply latency. For each run it prints the wall time, the bytes that crossed
// the line each way, the floor (those bytes at 9600 baud plus the encoder's latency before each
// reply, plus the pauses the detection must make) and the ratio of the two, and the longest
// stall of the main window's event loop during the run (see stallmeter.h).
//
//   bench_read [reads]        (offscreen unless QT_QPA_PLATFORM says otherwise; default 3 reads)

#include "encoder/link.h"
#include "platform/folders.h"
#include "platform/shell.h"
#include "app/frmTerminal.h"
#include "app/frmXJSplash.h"
#include "model/state.h"
#include "platform/forms.h"
#include "platform/msgbox.h"
#include "platform/serialport.h"
#include "platform/settingsstore.h"
#include "platform/shell.h"

#include "encsim/simulator.h"
#include "stallmeter.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>
#include <string>

namespace {

constexpr int kBaud = 9600;
constexpr int kReplyLatencyMs = 10;    // the encoder's default
constexpr int kAnnounceDelayMs = 30;   // the encoder's programming-mode announcement, default
constexpr int kDetectionPauseMs = 2500; // the detection's own pause after programming mode

encsim::DeviceState fullDatabase()
{
    encsim::DeviceState s = encsim::DeviceState::demo();
    s.config["sid"] = "NORTH RELAY STATION 7";
    s.config["maxbatch"] = "25";
    for (int i = 0; i < encsim::kFamilies; ++i)
        s.families[std::size_t(i)] =
            encsim::Family{1, 100000 + i * 20000, 5, i % 2 ? "A" : "N", i % 4, 20, 100 + i * 20, 1, 2};
    for (int g = 0; g < encsim::kGroups; ++g) {
        encsim::Group &grp = s.groups[std::size_t(g)];
        grp.f = {};
        grp.f[0] = 10 + g;
        grp.f[1] = 1;
        grp.f[6] = 1;
        grp.f[7] = 3;
        for (int p = 0; p < 20; ++p)
            grp.f[std::size_t(8 + p)] = 100 + g * 20 + p;
    }
    for (int m = 0; m < encsim::kMessages; ++m)
        s.messages[std::size_t(m)] =
            "Canned message " + std::to_string(m + 1) + ": call the dispatch office at once please";
    return s;
}

struct LineUse {
    long long toEncoder = 0;
    long long fromEncoder = 0;
    int replies = 0;
};

LineUse lineUse(encsim::Simulator &sim, std::size_t since)
{
    LineUse use;
    for (const encsim::Event &e : sim.events(since)) {
        if (e.kind == encsim::EventKind::Input) {
            use.toEncoder += static_cast<long long>(e.bytes.size());
        } else if (e.kind == encsim::EventKind::Output) {
            use.fromEncoder += static_cast<long long>(e.bytes.size());
            ++use.replies;
        }
    }
    return use;
}

void report(const char *what, qint64 wallMs, const LineUse &use, double pausesMs, const StallMeter &stalls)
{
    const double lineMs = double(use.toEncoder + use.fromEncoder) * 10.0 * 1000.0 / kBaud;
    const double floorMs = lineMs + use.replies * kReplyLatencyMs + pausesMs;
    std::printf("%-26s wall %7lld ms | PC->encoder %5lld B, encoder->PC %5lld B, %3d replies | "
                "floor %7.0f ms (line %6.0f + latency %4d + pauses %5.0f) | ratio %.3f | "
                "longest event-loop stall: %.1f ms (goal < %.0f ms)\n",
                what, static_cast<long long>(wallMs), use.toEncoder, use.fromEncoder, use.replies,
                floorMs, lineMs, use.replies * kReplyLatencyMs, pausesMs, double(wallMs) / floorMs,
                stalls.longestStallMs(), StallMeter::GoalMs);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int reads = argc > 1 ? qMax(1, std::atoi(argv[1])) : 3;

    // A program of its own: private settings and program folder, no other copy, every box
    // answered (a detected encoder is not read right away; everything else is OK).
    QTemporaryDir store, folder;
    SetSettingsStoreFolder(store.path());
    SetDataFolderOverride(folder.path());
    SetPreviousInstanceHook([](const QString &) { return false; });
    int unexpected = 0;
    SetMsgBoxResponder([&](const MsgBoxRequest &r) {
        if (r.title == QLatin1String("Read Encoder?"))
            return MsgAnswer::No;
        if (r.title != QLatin1String("Paging Encoder Detected")) {
            ++unexpected;
            std::fprintf(stderr, "unexpected box: %s: %s\n", qPrintable(r.title), qPrintable(r.text));
        }
        return MsgAnswer::OK;
    });

    // COM 1 leads to a link of the encoder's own, never to the bare /dev/pts/N that the
    // system may hand to another program's pseudo-terminal once this one closes.
    QTemporaryDir linkFolder;
    encsim::SimulatorOptions options;
    options.symlinkPath = linkFolder.filePath(QStringLiteral("encoder")).toStdString();
    options.state = fullDatabase();
    options.startMode = encsim::Mode::Paging;
    options.knobs = {{"pacing", "burst"},
                     {"reply_latency_ms", std::to_string(kReplyLatencyMs)},
                     {"announce_delay_ms", std::to_string(kAnnounceDelayMs)}};
    encsim::Simulator sim(std::move(options));
    std::string error;
    if (!sim.start(&error)) {
        std::fprintf(stderr, "simulated encoder: %s\n", error.c_str());
        return 1;
    }
    SetComDevicePathOverride(1, QString::fromStdString(sim.symlinkPath()));

    forms::Get<frmXJSplash>();
    if (frmXJSplash *splash = forms::Find<frmXJSplash>())
        splash->Timer1_Timer();
    frmTerminal *t = forms::Find<frmTerminal>();
    if (!t) {
        std::fprintf(stderr, "the main window did not load\n");
        return 1;
    }
    std::printf("Full V9 database at %d baud, reply latency %d ms\n", kBaud, kReplyLatencyMs);
    std::printf("event-loop stall: the longest gap between two firings of a %d-ms timer on the GUI "
                "thread, minus %d ms\n",
                StallMeter::PeriodMs, StallMeter::PeriodMs);
    StallMeter stalls;

    // Detection of an encoder at 9600 baud (the read that would follow is declined).
    Run.bDBMatchesEncoder = false;
    std::size_t mark = sim.eventCount();
    QElapsedTimer clock;
    stalls.start();
    clock.start();
    t->mnuOpen->trigger();
    const qint64 detectionMs = clock.elapsed();
    stalls.stop();
    if (!Link().isOpen() || Run.sFirmwareVer.isEmpty()) {
        std::fprintf(stderr, "the encoder was not detected\n");
        return 1;
    }
    report("detection", detectionMs, lineUse(sim, mark), kAnnounceDelayMs - kReplyLatencyMs + kDetectionPauseMs, stalls);

    // Full reads from File > Read Encoder Database.
    double worst = 0;
    double worstStall = 0;
    for (int i = 1; i <= reads; ++i) {
        Run.bDBMatchesEncoder = true;
        mark = sim.eventCount();
        stalls.start();
        clock.restart();
        t->mnuReadDB->trigger();
        const qint64 readMs = clock.elapsed();
        stalls.stop();
        const LineUse use = lineUse(sim, mark);
        if (!Run.bDBMatchesEncoder || use.replies != 98) {
            std::fprintf(stderr, "read %d did not complete (%d replies)\n", i, use.replies);
            return 1;
        }
        const std::string name = "full read " + std::to_string(i) + " (98 commands)";
        report(name.c_str(), readMs, use, 0, stalls);
        worstStall = qMax(worstStall, stalls.longestStallMs());
        const double floorMs = double(use.toEncoder + use.fromEncoder) * 10.0 * 1000.0 / kBaud +
                               use.replies * kReplyLatencyMs;
        worst = qMax(worst, double(readMs) / floorMs);
    }
    std::printf("worst full-read ratio %.3f (goal <= 1.02)\n", worst);
    std::printf("longest event-loop stall over the full reads: %.1f ms (goal < %.0f ms)\n", worstStall,
                StallMeter::GoalMs);

    SetMsgBoxResponder({});
    forms::DestroyAll();
    SetComDevicePathOverride(1, QString());
    return unexpected == 0 ? 0 : 1;
}
