#include "protocols/protocoltable.h"

#include <array>

namespace {

using enum FirmwareOffer;
using enum PagerCaption;
using ID = PagerIDArg;
using FC = FunctionCodeArg;

constexpr int FunctionCodeD = 3;
constexpr int Rate512 = 0;
constexpr int NoRate = -1;

constexpr std::array Table{
    PagingProtocol{.code = "TAP", .caption = "TAP", .offeredBy = EveryEncoder,
                   .chosenVerbose = true, .defaultPager = false,
                   .send = {ID::AsTyped, FC::None, false}, .range = {ID::AsTyped, FC::None, false},
                   .consoleName = nullptr, .consoleNamesPort = true, .pagerCaption = ByIDAsCapcode,
                   .functionCodes = false, .functionCodeButton = FunctionCodeD,
                   .dataRates = false, .dataRateButton = NoRate},
    PagingProtocol{.code = "PET", .caption = "PET && TAP", .offeredBy = EveryEncoder,
                   .chosenVerbose = false, .defaultPager = false,
                   .send = {ID::AsTyped, FC::None, false}, .range = {ID::AsTyped, FC::None, false},
                   .consoleName = nullptr, .consoleNamesPort = true, .pagerCaption = ByIDAsCapcode,
                   .functionCodes = false, .functionCodeButton = FunctionCodeD,
                   .dataRates = false, .dataRateButton = NoRate},
    PagingProtocol{.code = "COMP1", .caption = "COMP1", .offeredBy = TwoPort,
                   .chosenVerbose = true, .defaultPager = true,
                   .send = {ID::None, FC::None, false}, .range = {ID::None, FC::None, false},
                   .consoleName = nullptr, .consoleNamesPort = true, .pagerCaption = Unchanged,
                   .functionCodes = false, .functionCodeButton = FunctionCodeD,
                   .dataRates = false, .dataRateButton = NoRate},
    PagingProtocol{.code = "COMP2", .caption = "COMP2", .offeredBy = TwoPort,
                   .chosenVerbose = false, .defaultPager = false,
                   .send = {ID::AsTyped, FC::LetterUpTo7, false}, .range = {ID::AsTyped, FC::Letter, false},
                   .consoleName = nullptr, .consoleNamesPort = true, .pagerCaption = ByIDAsCapcode,
                   .functionCodes = true, .functionCodeButton = FunctionCodeD,
                   .dataRates = false, .dataRateButton = NoRate},
    // The maker's own protocol.
    PagingProtocol{.code = "ZQ", .caption = "Kestrane", .offeredBy = TwoPort,
                   .chosenVerbose = false, .defaultPager = false,
                   .send = {ID::Padded, FC::Letter, true}, .range = {ID::Padded, FC::Letter, true},
                   .consoleName = "Kestrane", .consoleNamesPort = false, .pagerCaption = Capcode,
                   .functionCodes = true, .functionCodeButton = FunctionCodeD,
                   .dataRates = true, .dataRateButton = Rate512},
    PagingProtocol{.code = "SCOPE", .caption = "Scope", .offeredBy = TwoPort,
                   .chosenVerbose = false, .defaultPager = false,
                   .send = {ID::Padded, FC::Letter, true}, .range = {ID::Padded, FC::Letter, true},
                   .consoleName = nullptr, .consoleNamesPort = true, .pagerCaption = Capcode,
                   .functionCodes = true, .functionCodeButton = FunctionCodeD,
                   .dataRates = true, .dataRateButton = Rate512},
    PagingProtocol{.code = "SNPP", .caption = "SNPP", .offeredBy = V97Plus,
                   .chosenVerbose = false, .defaultPager = false,
                   .send = {ID::AsTyped, FC::None, false}, .range = {ID::Padded, FC::Letter, false},
                   .consoleName = nullptr, .consoleNamesPort = true, .pagerCaption = PagerID,
                   .functionCodes = false, .functionCodeButton = FunctionCodeD,
                   .dataRates = false, .dataRateButton = Rate512},
};

std::span<const PagingProtocol> g_protocols = Table;

} // namespace

std::span<const PagingProtocol> PagingProtocols()
{
    return g_protocols;
}

const PagingProtocol *FindPagingProtocol(const QByteArray &code)
{
    for (const PagingProtocol &p : g_protocols)
        if (code == p.code)
            return &p;
    return nullptr;
}

bool PagesDefaultPager(const QByteArray &code)
{
    const PagingProtocol *protocol = FindPagingProtocol(code);
    return protocol && protocol->defaultPager;
}

int PagingProtocolIndex(const PagingProtocol &protocol)
{
    return int(&protocol - g_protocols.data());
}

const PagingProtocol &DefaultPagingProtocol()
{
    return g_protocols.front();
}

bool OfferedBy(const PagingProtocol &protocol, const Firmware &firmware)
{
    switch (protocol.offeredBy) {
    case FirmwareOffer::EveryEncoder:
        return true;
    case FirmwareOffer::TwoPort:
        return !firmware.v7;
    case FirmwareOffer::V97Plus:
        return !firmware.v7 && firmware.v97Plus;
    }
    return false;
}

PagingProtocolsReplaced::PagingProtocolsReplaced(std::span<const PagingProtocol> table) : m_before(g_protocols)
{
    g_protocols = table;
}

PagingProtocolsReplaced::~PagingProtocolsReplaced()
{
    g_protocols = m_before;
}
