// encoder-sim: a simulated paging encoder on a pseudo-terminal, for trying the setup tool
// without hardware. Prints the slave path, then the line traffic and what the encoder makes
// of it; takes control commands on standard input.
#include "encsim/knobs.h"
#include "encsim/simulator.h"

#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <poll.h>
#include <sstream>
#include <unistd.h>

using namespace encsim;

namespace {

volatile std::sig_atomic_t g_signal = 0;

void onSignal(int sig)
{
    g_signal = sig;
}

void usage(std::FILE *out)
{
    std::fputs(
        "usage: encoder-sim [options]\n"
        "  --link PATH             symbolic link to the pseudo-terminal (e.g. /tmp/encoder-com1)\n"
        "  --preset NAME           factory-v9 (default), factory-v8, factory-v7, demo\n"
        "  --firmware TEXT         version text reported by ATI (e.g. 9.7S, 8.12, 7.2)\n"
        "  --port 1|2              encoder port the PC is cabled to\n"
        "  --state FILE            load the encoder's state from FILE; 'save' writes it back\n"
        "  --start-mode MODE       paging (default) or programming\n"
        "  --line-check MODE       baud (default), off or sidechannel\n"
        "  --pacing MODE           burst (default), bytewise or off\n"
        "  --knob NAME=VALUE       any knob, repeatable; among them:\n"
        "                          echo=on|crlf|cr  send every byte taken back at once, as a\n"
        "                          terminal server may (crlf: each CR as CR LF; cr: the LF of a\n"
        "                          CR LF left out); default off\n"
        "  --time-scale X          run the encoder's clock at real time divided by X\n"
        "                          (0.1: latencies and reboots ten times faster; default 1)\n"
        "  --log FILE              write the event transcript to FILE; besides what goes\n"
        "                          over the line, it tells what the encoder made of it, e.g.\n"
        "                          'reboot N bytes lost while booting' for input that met\n"
        "                          the encoder while it booted\n"
        "  --quiet                 print only the pseudo-terminal path\n"
        "  --no-stdin              take no commands; run until SIGINT or SIGTERM\n"
        "Commands on standard input (end of input keeps the encoder running):\n"
        "  knob NAME VALUE...      set a knob         clear-knobs    clear all knobs\n"
        "  set KEY VALUE           set a configuration value, e.g. 'set serial1 protocol COMP1'\n"
        "  preset NAME             load a preset      load FILE      load a state file\n"
        "  save [FILE]             save the state     state          show mode, settings, records\n"
        "  power on|off|cycle      hangup             cable pull|plug\n"
        "  line SETTINGS           tell the PC's line settings (line-check sidechannel)\n"
        "  stats                   command counts     pages          the pages transmitted\n"
        "  help                    this text          quit\n",
        out);
}

struct Printer {
    bool quiet = false;
    std::ofstream log;
    std::size_t next = 0;

    void flush(Simulator &sim)
    {
        const auto events = sim.events(next);
        next += events.size();
        for (const auto &e : events) {
            const std::string line = e.line();
            if (!quiet)
                std::printf("%s\n", line.c_str());
            if (log)
                log << line << '\n';
        }
        if (!events.empty()) {
            std::fflush(stdout);
            if (log)
                log.flush();
        }
    }
};

std::string restAfter(const std::string &line, std::size_t words)
{
    std::size_t pos = 0;
    for (std::size_t i = 0; i < words; ++i) {
        pos = line.find_first_not_of(' ', pos);
        if (pos == std::string::npos)
            return {};
        pos = line.find(' ', pos);
        if (pos == std::string::npos)
            return {};
    }
    const auto start = line.find_first_not_of(' ', pos);
    return start == std::string::npos ? std::string() : line.substr(start);
}

// Returns false when the program should end.
bool command(Simulator &sim, const std::string &line, const std::string &stateFile)
{
    std::istringstream in(line);
    std::string verb, arg;
    in >> verb;
    in >> arg;
    std::string error;
    auto report = [&](bool ok) {
        if (!ok)
            std::printf("error: %s\n", error.c_str());
        else
            std::printf("ok\n");
    };
    if (verb.empty() || verb[0] == '#')
        return true;
    if (verb == "quit" || verb == "exit")
        return false;
    if (verb == "help") {
        usage(stdout);
    } else if (verb == "knob") {
        report(sim.setKnob(arg, restAfter(line, 2), &error));
    } else if (verb == "clear-knobs") {
        sim.clearKnobs();
        report(true);
    } else if (verb == "set") {
        // "set serial1 protocol COMP1": the key is one word, or "serialN word".
        const bool portKey = arg == "serial1" || arg == "serial2";
        std::string key = arg;
        if (portKey) {
            std::string second;
            in >> second;
            key += "." + second;
        }
        report(sim.setKnob("config." + key, restAfter(line, portKey ? 3 : 2), &error));
    } else if (verb == "preset") {
        report(sim.setKnob("preset", arg, &error));
    } else if (verb == "load") {
        report(sim.loadStateFile(arg, &error));
    } else if (verb == "save") {
        const std::string file = arg.empty() ? stateFile : arg;
        if (file.empty()) {
            error = "no file named (and no --state)";
            report(false);
        } else {
            report(sim.saveStateFile(file, &error));
        }
    } else if (verb == "state") {
        std::printf("%s", sim.getState().text().c_str());
    } else if (verb == "stats") {
        const Stats s = sim.stats();
        std::printf("commands %d, queries %d, settings %d, record requests %d, record writes %d, refusals %d, "
                    "warnings %d, violations %d, #PrgmMode# %d, ATI %d, pages %d\n",
                    s.commands, s.queries, s.settings, s.recordRequests, s.recordWrites, s.refusals, s.warnings,
                    s.violations, s.prgmModes, s.atis, s.pages);
    } else if (verb == "pages") {
        const auto pages = sim.pages();
        for (const Page &p : pages)
            std::printf("%12.3f %s\n", p.ms(), p.describe().c_str());
        std::printf("%zu pages\n", pages.size());
    } else if (verb == "power") {
        if (arg == "on")
            sim.powerOn();
        else if (arg == "off")
            sim.powerOff();
        else if (arg == "cycle")
            sim.powerCycle();
        else {
            error = "power on, off or cycle";
            report(false);
            return true;
        }
        report(true);
    } else if (verb == "hangup") {
        sim.hangup();
        report(true);
    } else if (verb == "cable") {
        if (arg == "pull")
            sim.cablePull();
        else if (arg == "plug")
            sim.cablePlug();
        else {
            error = "cable pull or plug";
            report(false);
            return true;
        }
        report(true);
    } else if (verb == "line") {
        report(sim.tellLineSettings(arg, &error));
    } else {
        error = "unknown command '" + verb + "' (try help)";
        report(false);
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    SimulatorOptions options;
    std::string preset = "factory-v9", firmware, port, stateFile, logFile;
    std::vector<std::pair<std::string, std::string>> knobs;
    bool quiet = false, useStdin = true;
    Mode startMode = Mode::Paging;

    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "encoder-sim: %s needs a value\n", a.c_str());
                std::exit(2);
            }
            return argv[++i];
        };
        if (a == "-h" || a == "--help") {
            usage(stdout);
            return 0;
        } else if (a == "--link") {
            options.symlinkPath = value();
        } else if (a == "--preset") {
            preset = value();
        } else if (a == "--firmware") {
            firmware = value();
        } else if (a == "--port") {
            port = value();
        } else if (a == "--state") {
            stateFile = value();
        } else if (a == "--start-mode") {
            const std::string m = value();
            if (m == "programming")
                startMode = Mode::Programming;
            else if (m != "paging") {
                std::fprintf(stderr, "encoder-sim: --start-mode is paging or programming\n");
                return 2;
            }
        } else if (a == "--line-check") {
            knobs.emplace_back("line_check", value());
        } else if (a == "--pacing") {
            knobs.emplace_back("pacing", value());
        } else if (a == "--knob") {
            const std::string kv = value();
            const auto eq = kv.find('=');
            if (eq == std::string::npos) {
                std::fprintf(stderr, "encoder-sim: --knob NAME=VALUE\n");
                return 2;
            }
            knobs.emplace_back(kv.substr(0, eq), kv.substr(eq + 1));
        } else if (a == "--time-scale") {
            const std::string text = value();
            char *end = nullptr;
            const double scale = std::strtod(text.c_str(), &end);
            if (text.empty() || *end != '\0' || !std::isfinite(scale) || scale <= 0) {
                std::fprintf(stderr, "encoder-sim: --time-scale is a positive number\n");
                return 2;
            }
            options.timeScale = scale;
        } else if (a == "--log") {
            logFile = value();
        } else if (a == "--quiet") {
            quiet = true;
        } else if (a == "--no-stdin") {
            useStdin = false;
        } else {
            std::fprintf(stderr, "encoder-sim: unknown option %s\n", a.c_str());
            usage(stderr);
            return 2;
        }
    }

    const auto base = DeviceState::preset(preset);
    if (!base) {
        std::fprintf(stderr, "encoder-sim: unknown preset %s\n", preset.c_str());
        return 2;
    }
    options.state = *base;
    if (!stateFile.empty()) {
        std::ifstream in(stateFile, std::ios::binary);
        if (in) {
            std::ostringstream text;
            text << in.rdbuf();
            std::string error;
            const auto s = DeviceState::fromText(text.str(), &error);
            if (!s) {
                std::fprintf(stderr, "encoder-sim: %s: %s\n", stateFile.c_str(), error.c_str());
                return 2;
            }
            options.state = *s;
        }
    }
    // Checked here so that a typing error stops the program instead of being logged.
    {
        Core probe(options.state);
        std::string error;
        if (!firmware.empty() && !probe.setKnob(0, "firmware", firmware, &error)) {
            std::fprintf(stderr, "encoder-sim: --firmware: %s\n", error.c_str());
            return 2;
        }
        if (!port.empty() && !probe.setKnob(0, "attached_port", port, &error)) {
            std::fprintf(stderr, "encoder-sim: --port: %s\n", error.c_str());
            return 2;
        }
        for (const auto &[name, value] : knobs) {
            if (!probe.setKnob(0, name, value, &error)) {
                std::fprintf(stderr, "encoder-sim: %s: %s\n", name.c_str(), error.c_str());
                return 2;
            }
        }
        options.state = probe.state();
    }
    options.startMode = startMode;
    options.knobs = knobs;

    Printer printer;
    printer.quiet = quiet;
    if (!logFile.empty()) {
        printer.log.open(logFile, std::ios::out | std::ios::app);
        if (!printer.log) {
            std::fprintf(stderr, "encoder-sim: cannot write %s\n", logFile.c_str());
            return 2;
        }
    }

    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    Simulator sim(options);
    std::string error;
    if (!sim.start(&error)) {
        std::fprintf(stderr, "encoder-sim: %s\n", error.c_str());
        return 1;
    }
    std::printf("%s\n", sim.slavePath().c_str());
    if (!options.symlinkPath.empty() && !quiet)
        std::printf("linked at %s\n", options.symlinkPath.c_str());
    std::fflush(stdout);

    std::string pending;
    bool running = true;
    while (running && !g_signal) {
        pollfd p{useStdin ? STDIN_FILENO : -1, POLLIN, 0};
        ::poll(&p, 1, 50);
        printer.flush(sim);
        if (!useStdin || !(p.revents & (POLLIN | POLLHUP)))
            continue;
        char buf[1024];
        const ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
        if (n <= 0) {
            useStdin = false; // end of input: keep running until a signal
            continue;
        }
        pending.append(buf, static_cast<std::size_t>(n));
        std::size_t nl;
        while ((nl = pending.find('\n')) != std::string::npos) {
            std::string line = pending.substr(0, nl);
            pending.erase(0, nl + 1);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            printer.flush(sim);
            if (!command(sim, line, stateFile)) {
                running = false;
                break;
            }
            std::fflush(stdout);
        }
    }
    sim.stop();
    printer.flush(sim);
    return 0;
}
