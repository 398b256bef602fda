#include "encsim/events.h"

#include "encsim/bytes.h"

#include <cstdio>

namespace encsim {

std::string_view kindName(EventKind kind)
{
    switch (kind) {
    case EventKind::Input: return "in";
    case EventKind::Output: return "out";
    case EventKind::Command: return "command";
    case EventKind::Query: return "query";
    case EventKind::Setting: return "setting";
    case EventKind::Refusal: return "refusal";
    case EventKind::Record: return "record";
    case EventKind::Mode: return "mode";
    case EventKind::Speed: return "speed";
    case EventKind::Tone: return "tone";
    case EventKind::Reboot: return "reboot";
    case EventKind::Lookup: return "lookup";
    case EventKind::Paging: return "paging";
    case EventKind::Page: return "page";
    case EventKind::Knob: return "knob";
    case EventKind::Warning: return "warning";
    case EventKind::Violation: return "violation";
    case EventKind::Line: return "line";
    case EventKind::Control: return "control";
    }
    return "?";
}

std::string Event::line() const
{
    char head[48];
    std::snprintf(head, sizeof head, "%12.3f %-9s ", ms(), std::string(kindName(kind)).c_str());
    return head + text;
}

bool Event::matches(std::string_view pattern) const
{
    if (pattern.empty())
        return true;
    std::string subject(kindName(kind));
    subject += ' ';
    subject += text;
    return icontains(subject, pattern);
}

void EventLog::add(Time time, EventKind kind, std::string text, std::string bytes)
{
    std::function<void(const Event &)> sink;
    Event copy;
    {
        std::lock_guard lock(m_mutex);
        m_events.push_back(Event{time, kind, std::move(text), std::move(bytes)});
        sink = m_sink;
        if (sink)
            copy = m_events.back();
    }
    m_cond.notify_all();
    if (sink)
        sink(copy);
}

std::size_t EventLog::size() const
{
    std::lock_guard lock(m_mutex);
    return m_events.size();
}

std::vector<Event> EventLog::since(std::size_t index) const
{
    std::lock_guard lock(m_mutex);
    if (index >= m_events.size())
        return {};
    return std::vector<Event>(m_events.begin() + static_cast<std::ptrdiff_t>(index), m_events.end());
}

std::size_t EventLog::count(EventKind kind) const
{
    std::lock_guard lock(m_mutex);
    std::size_t n = 0;
    for (const auto &e : m_events)
        n += e.kind == kind;
    return n;
}

std::size_t EventLog::count(std::string_view pattern) const
{
    std::lock_guard lock(m_mutex);
    std::size_t n = 0;
    for (const auto &e : m_events)
        n += e.matches(pattern);
    return n;
}

std::optional<Event> EventLog::find(std::string_view pattern, std::size_t since) const
{
    std::lock_guard lock(m_mutex);
    for (std::size_t i = since; i < m_events.size(); ++i)
        if (m_events[i].matches(pattern))
            return m_events[i];
    return std::nullopt;
}

std::optional<Event> EventLog::waitFor(std::string_view pattern, std::chrono::milliseconds timeout,
                                       std::size_t since, std::size_t *index) const
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::unique_lock lock(m_mutex);
    std::size_t next = since;
    for (;;) {
        for (; next < m_events.size(); ++next) {
            if (m_events[next].matches(pattern)) {
                if (index)
                    *index = next;
                return m_events[next];
            }
        }
        if (m_cond.wait_until(lock, deadline) == std::cv_status::timeout) {
            for (; next < m_events.size(); ++next) {
                if (m_events[next].matches(pattern)) {
                    if (index)
                        *index = next;
                    return m_events[next];
                }
            }
            return std::nullopt;
        }
    }
}

void EventLog::setSink(std::function<void(const Event &)> sink)
{
    std::lock_guard lock(m_mutex);
    m_sink = std::move(sink);
}

} // namespace encsim
