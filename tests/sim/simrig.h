// One simulated encoder and the PC end of its line, driven in virtual time: the rig of the
// simulator's own tests.
#pragma once

#include <QtTest>

#include "encsim/core.h"
#include "encsim/records.h"
#include "encsim/virtual_line.h"

namespace simtest {

using namespace encsim;


inline QByteArray qb(const std::string &s)
{
    return QByteArray(s.data(), static_cast<qsizetype>(s.size()));
}

inline std::string sb(const QByteArray &b)
{
    return std::string(b.constData(), static_cast<std::size_t>(b.size()));
}

// "a=1;b c=2" as ordered pairs (split at the first '=').
inline QList<QPair<QByteArray, QByteArray>> items(const QByteArray &text)
{
    QList<QPair<QByteArray, QByteArray>> out;
    for (const QByteArray &item : text.split(';'))
        if (const qsizetype eq = item.indexOf('='); eq > 0)
            out.append({item.left(eq), item.mid(eq + 1)});
    return out;
}

// One encoder and the PC end of its line. The setup text lists ';'-separated items:
// "gen=7", "preset=demo", "fw=9.01", "port=2", "dip=off", "pet=off", "mode=paging" (or "off";
// programming mode otherwise), "pc=2400", "knob NAME=VALUE", or a configuration value such as
// "serial1 baud=2400", or "record=G 1 1 1234000 5 A 3 50 100 1 2" (a record stored as a write
// would store it). A "gen" the firmware text does not imply overrides the behaviour.
struct Rig {
    struct Setup {
        DeviceState state = DeviceState::factory(9);
        Mode mode = Mode::Programming;
        QList<QPair<QByteArray, QByteArray>> knobs;
        QByteArray pc;
    };
    static Setup parse(const QByteArray &text)
    {
        Setup s;
        int gen = 0;
        for (const auto &[key, value] : items(text)) {
            if (key == "gen")
                s.state = DeviceState::factory(gen = value.toInt());
            else if (key == "preset")
                s.state = *DeviceState::preset(sb(value));
        }
        for (const auto &[key, value] : items(text)) {
            if (key == "fw")
                s.state.firmware = sb(value);
            else if (key == "port")
                s.state.attachedPort = value.toInt();
            else if (key == "dip")
                s.state.v7DipSwitchesOn = value != "off";
            else if (key == "pet")
                s.state.v7PetSupported = value != "off";
            else if (key == "mode")
                s.mode = value == "paging" ? Mode::Paging : value == "off" ? Mode::Off : Mode::Programming;
            else if (key == "pc")
                s.pc = value;
            else if (key.startsWith("knob "))
                s.knobs.append({key.mid(5), value});
            else if (key == "record")
                store(s.state, sb(value));
            else if (key != "gen" && key != "preset")
                s.state.config[sb(key)] = sb(value);
        }
        if (gen && s.state.generation() != gen)
            s.state.generationOverride = gen;
        return s;
    }

    static void store(DeviceState &state, const std::string &record)
    {
        const auto w = parseWrite(record);
        QVERIFY2(w && !w->malformed, record.c_str());
        const auto i = static_cast<std::size_t>(w->number - 1);
        if (w->letter == 'L')
            state.groups[i] = w->group;
        else if (w->letter == 'G')
            state.families[i] = w->family;
        else
            state.messages[i] = w->message;
    }

    explicit Rig(const QByteArray &setup = {}) : Rig(parse(setup)) {}
    explicit Rig(const Setup &s) : core(s.state, nullptr, s.mode), line(core)
    {
        for (const auto &[name, value] : s.knobs)
            knob(sb(name), sb(value));
        if (!s.pc.isEmpty())
            line.setPc(sb(s.pc));
    }
    QByteArray cmd(const std::string &text, double ms = 200) { return qb(line.exchange(text, ms)); }
    QByteArray block(std::string_view id, std::string_view msg, double ms = 200) { return cmd(buildBlock(id, msg), ms); }
    void knob(const std::string &name, const std::string &value)
    {
        std::string error;
        QVERIFY2(core.setKnob(line.now(), name, value, &error), error.c_str());
    }
    std::size_t count(std::string_view pattern) const { return core.logPtr()->count(pattern); }
    // The pages transmitted, "capcode rate type function text" each, joined by '|'.
    QByteArray pages() const
    {
        QByteArrayList out;
        for (const Page &p : core.pages())
            out << qb(p.capcodeText() + " " + std::to_string(p.rate) + " " + p.type + " " +
                      std::to_string(p.function) + " " + p.text);
        return out.join('|');
    }

    Core core;
    VirtualLine line;
};

} // namespace simtest
