// Programming a whole database into the simulated encoder at the real 9600-baud character
// rate: a two-port (V9) write with the modulation attenuation and a single-port (V7) write,
// each of a database with every slot in use. Prints the wall time, the bytes each way, the
// line-time floor (every byte at 10 bits per character at 9600 baud, plus the encoder's
// reply latency once per command) and the ratio of the two, and the longest stall of the main
// window's event loop during the write (see stallmeter.h).
//
//   QT_QPA_PLATFORM=offscreen ./bench_write

#include "app/frmTerminal.h"
#include "app/frmXJSplash.h"
#include "support/simencoder.h"
#include "encoder/write/writer.h"
#include "model/database.h"
#include "model/state.h"
#include "benchprogram.h"
#include "platform/forms.h"
#include "stallmeter.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

namespace {

constexpr int Baud = 9600;
constexpr double LatencyMs = 10; // the simulated encoder's default reply latency

void fillDatabase()
{
    for (int i = 0; i < FamilyCount; ++i) {
        const QByteArray qty = "020";
        DB.Families[i] = {"1", QByteArray::number(1000000 + i * 1000).rightJustified(7, '0'), "5", "A", "3", qty,
                       QByteArray::number(100 + i * 20), "01", "02", "YES"};
    }
    for (int g = 0; g < GroupCount; ++g) {
        PagerGroupRec &grp = DB.PagerGroups[g];
        grp[GrpID] = QByteArray::number(9000 + g);
        for (int f = GrpActive; f <= GrpTimerMsg; ++f)
            grp[f] = f == GrpAux1Msg || f == GrpAux2Msg || f == GrpTimerMsg ? "00" : "1";
        for (int p = 0; p < GroupPagerIDs; ++p)
            grp[GrpPagerID1 + p] = QByteArray::number(100 + g * 20 + p).rightJustified(4, '0');
        grp[GrpDefined] = "YES";
    }
    for (int m = 0; m < MessageCount; ++m)
        DB.CannedMsgs[m] = QByteArray("Canned message ") + QByteArray::number(m + 1) + ' ' + QByteArray(40, 'x');
}

struct Figures {
    double wallS = 0;
    long long bytesOut = 0; // program to encoder
    long long bytesIn = 0;  // encoder to program
    int commands = 0;
    double stallMs = 0; // the longest event-loop stall
};

// Commands and record blocks in what the program sent.
int countCommands(const QByteArray &all)
{
    int n = 0;
    for (qsizetype i = 0; i < all.size();) {
        if (all[i] == '\x02') {
            i = all.indexOf('\x03', i) + 5;
        } else {
            while (i < all.size() && all[i] != '\r' && all[i] != '\n')
                ++i;
            i += i + 1 < all.size() && all[i] == '\r' && all[i + 1] == '\n' ? 2 : 1;
        }
        ++n;
    }
    return n;
}

bool runWrite(frmTerminal *, int generation, Figures *out)
{
    SimEncoder encoder(encsim::DeviceState::factory(generation), encsim::Mode::Programming);
    if (!encoder.ok()) {
        std::fprintf(stderr, "simulated encoder: %s\n", qPrintable(encoder.error()));
        return false;
    }
    if (const QString error = encodertest::OpenDetectedPort(generation == 7 ? "7.2" : "9.7"); !error.isEmpty()) {
        std::fprintf(stderr, "the port does not open: %s\n", qPrintable(error));
        return false;
    }
    Run.bTestEnabled = generation != 7;
    Run.bDBMatchesEncoder = true;

    const std::size_t first = encoder->eventCount();
    StallMeter stalls;
    stalls.start();
    QElapsedTimer clock;
    clock.start();
    if (generation == 7)
        WriteEncoderDBV7();
    else
        WriteEncoderDB();
    out->wallS = clock.nsecsElapsed() / 1e9;
    stalls.stop();
    out->stallMs = stalls.longestStallMs();
    Link().closePort();

    QByteArray sent;
    for (const encsim::Event &e : encoder->events(first)) {
        if (e.kind == encsim::EventKind::Input) {
            out->bytesOut += static_cast<long long>(e.bytes.size());
            sent += QByteArray::fromStdString(e.bytes);
        } else if (e.kind == encsim::EventKind::Output) {
            out->bytesIn += static_cast<long long>(e.bytes.size());
        }
    }
    out->commands = countCommands(sent);
    const encsim::Stats stats = encoder->stats();
    if (!Run.bDBMatchesEncoder || stats.refusals || stats.violations) {
        std::fprintf(stderr, "the write did not complete cleanly\n");
        return false;
    }
    return true;
}

void report(const char *name, const Figures &f)
{
    const double floorS = (f.bytesOut + f.bytesIn) * 10.0 / Baud + f.commands * LatencyMs / 1000.0;
    std::printf("%-28s wall %7.3f s  out %5lld B  in %5lld B  commands %3d  floor %7.3f s  ratio %.3f  "
                "longest event-loop stall: %.1f ms (goal < %.0f ms)\n",
                name, f.wallS, f.bytesOut, f.bytesIn, f.commands, floorS, f.wallS / floorS, f.stallMs,
                StallMeter::GoalMs);
}

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir config, program;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QApplication app(argc, argv);
    IsolateBenchProgram(config, program);

    forms::Get<frmXJSplash>();
    frmTerminal *t = forms::Find<frmTerminal>();
    if (!t) {
        std::fprintf(stderr, "the main window did not load\n");
        return 1;
    }
    fillDatabase();

    Figures v9, v7;
    if (!runWrite(t, 9, &v9) || !runWrite(t, 7, &v7))
        return 1;
    std::printf("event-loop stall: the longest gap between two firings of a %d-ms timer on the GUI "
                "thread, minus %d ms\n",
                StallMeter::PeriodMs, StallMeter::PeriodMs);
    report("V9 write (with attenuation)", v9);
    report("V7 write", v7);
    forms::DestroyAll();
    return 0;
}
