#include "encsim/virtual_line.h"

namespace encsim {

VirtualLine::VirtualLine(Core &core, Time start) : m_core(core), m_now(start)
{
    m_pc.baud = 9600;
    m_core.observeLine(m_now, m_pc);
}

void VirtualLine::setPc(std::string_view settings)
{
    if (const auto s = LineSettings::parse(settings))
        m_pc = *s;
    m_core.observeLine(m_now, m_pc);
}

void VirtualLine::write(std::string_view bytes)
{
    m_core.observeLine(m_now, m_pc);
    m_core.receive(m_now, bytes);
}

Bytes VirtualLine::run(double ms)
{
    const Time end = m_now + msToTime(ms);
    Bytes out;
    for (;;) {
        m_core.observeLine(m_now, m_pc);
        m_core.advance(m_now);
        const Bytes b = m_core.transmit(m_now);
        if (!b.empty()) {
            out += b;
            m_lastOutput = m_now;
        }
        const auto next = m_core.nextWake();
        if (!next || *next > end)
            break;
        m_now = std::max(m_now + 1, *next);
    }
    m_now = end;
    m_core.observeLine(m_now, m_pc);
    m_core.advance(m_now);
    const Bytes b = m_core.transmit(m_now);
    if (!b.empty()) {
        out += b;
        m_lastOutput = m_now;
    }
    return out;
}

Bytes VirtualLine::exchange(std::string_view bytes, double ms)
{
    write(bytes);
    return run(ms);
}

} // namespace encsim
