// Drives a Core in virtual time, as a PC on the other end of the line would: for tests.
#pragma once

#include "encsim/core.h"

namespace encsim {

class VirtualLine {
public:
    explicit VirtualLine(Core &core, Time start = 0);

    // The PC's line settings ("9600,n,8,1" or just "2400"), as the encoder observes them.
    void setPc(std::string_view settings);
    void write(std::string_view bytes);
    // Lets ms of virtual time pass; returns what the encoder sent meanwhile.
    Bytes run(double ms);
    Bytes exchange(std::string_view bytes, double ms = 300);

    Time now() const { return m_now; }
    double nowMs() const { return static_cast<double>(m_now) / 1000.0; }
    // Virtual time (ms) at which the last non-empty transmission happened.
    double lastOutputMs() const { return static_cast<double>(m_lastOutput) / 1000.0; }

private:
    Core &m_core;
    Time m_now;
    Time m_lastOutput = 0;
    LineSettings m_pc;
};

} // namespace encsim
