#include "paging/senderdispatch.h"

#include "paging/senders.h"

#include <array>

namespace {

// Each sender as a test page calls it.
int16_t pageByTAP(const TestPage &p)
{
    return OutTAP(p.pagerID, p.message, p.message);
}

int16_t pageByCOMP1(const TestPage &p)
{
    return OutCOMP1(p.message); // the sender reads the pager ID for its log line itself
}

int16_t pageByCOMP2(const TestPage &p)
{
    return OutCOMP2(p.pagerID, p.message, p.functionCode);
}

int16_t pageByKestrane(const TestPage &p)
{
    return OutKestrane(p.pagerID, p.message, p.functionCode, p.rate);
}

int16_t pageByScope(const TestPage &p)
{
    return OutScope(p.pagerID, p.message, p.functionCode, p.rate);
}

int16_t pageBySNPP(const TestPage &p)
{
    return OutSNPP(p.pagerID, p.message, p.functionCode);
}

constexpr std::array Senders{
    ProtocolSender{"TAP", pageByTAP},
    ProtocolSender{"PET", pageByTAP},
    ProtocolSender{"COMP1", pageByCOMP1},
    ProtocolSender{"COMP2", pageByCOMP2},
    ProtocolSender{"ZQ", pageByKestrane},
    ProtocolSender{"SCOPE", pageByScope},
    ProtocolSender{"SNPP", pageBySNPP},
};

std::span<const ProtocolSender> g_senders = Senders;

} // namespace

std::span<const ProtocolSender> ProtocolSenders()
{
    return g_senders;
}

PageSender SenderOf(const PagingProtocol &protocol)
{
    for (const ProtocolSender &s : g_senders)
        if (qstrcmp(s.code, protocol.code) == 0)
            return s.sender;
    return nullptr;
}

ProtocolSendersReplaced::ProtocolSendersReplaced(std::span<const ProtocolSender> senders) : m_before(g_senders)
{
    g_senders = senders;
}

ProtocolSendersReplaced::~ProtocolSendersReplaced()
{
    g_senders = m_before;
}
