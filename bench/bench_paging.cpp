// How close TAP test pages come to the time their bytes need on the line.
//
// The test console (its real window, offscreen) hands a simulated encoder over to paging mode
// and sends TAP pages of 80 characters to it, one after another, over a pseudo-terminal paced
// at the real character rate of 9600 baud with the encoder's default reply latency. The first
// page logs on and is not counted, nor is the console's opening. For the pages counted it
// prints the wall time, the bytes that crossed the line each way, the floor (those bytes at 10
// bits a character, plus the encoder's latency before each reply) and the ratio of the two,
// and the longest stall of the event loop while they ran (see stallmeter.h).
//
//   bench_paging [pages]        (offscreen unless QT_QPA_PLATFORM says otherwise; default 200)

#include "benchprogram.h"
#include "paging/senders.h"
#include "platform/forms.h"
#include "stallmeter.h"
#include "support/simencoder.h"
#include "testconsole/frmMessageTest.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

namespace {

constexpr int Baud = 9600;
constexpr double LatencyMs = 10; // the simulated encoder's default reply latency

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir config, program;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QApplication app(argc, argv);
    const int pages = argc > 1 ? std::atoi(argv[1]) : 200;
    IsolateBenchProgram(config, program);

    // The demo encoder in programming mode, its port 1 a TAP port at 9600 baud, as detection
    // leaves it; pager ID 123 is one of its pagers.
    SimEncoder encoder(encsim::DeviceState::demo(), encsim::Mode::Programming);
    if (!encoder.ok()) {
        std::fprintf(stderr, "simulated encoder: %s\n", qPrintable(encoder.error()));
        return 1;
    }
    if (!OpenOnDemoTAPPort())
        return 1;

    frmMessageTest *console = forms::Get<frmMessageTest>();
    const QByteArray message = QByteArray("Range check ") + QByteArray(68, 'x');
    OutTAP("123", message, message); // logs on

    const std::size_t first = encoder->eventCount();
    StallMeter stalls;
    stalls.start();
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < pages; ++i)
        OutTAP("123", message, message);
    const double wallS = clock.nsecsElapsed() / 1e9;
    stalls.stop();

    long long bytesOut = 0, bytesIn = 0;
    for (const encsim::Event &e : encoder->events(first)) {
        if (e.kind == encsim::EventKind::Input)
            bytesOut += static_cast<long long>(e.bytes.size());
        else if (e.kind == encsim::EventKind::Output)
            bytesIn += static_cast<long long>(e.bytes.size());
    }
    const QString top = console->lb_log->count() ? console->lb_log->item(0)->text() : QString();
    if (top != QLatin1String("Encoder: <ACK><CR>") || encoder->stats().refusals) {
        std::fprintf(stderr, "the pages did not go through cleanly: %s\n", qPrintable(top));
        return 1;
    }
    const double floorS = (bytesOut + bytesIn) * 10.0 / Baud + pages * LatencyMs / 1000.0;
    std::printf("TAP paging (%d pages of %d characters) wall %7.3f s  out %6lld B  in %5lld B  floor %7.3f s  "
                "ratio %.3f  longest event-loop stall: %.1f ms (goal < %.0f ms)\n",
                pages, int(message.size()), wallS, bytesOut, bytesIn, floorS, wallS / floorS,
                stalls.longestStallMs(), StallMeter::GoalMs);
    forms::DestroyAll();
    return 0;
}
