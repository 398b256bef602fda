#include "testconsole/testpage.h"

#include "model/state.h"

namespace {

bool g_pageInFlight = false;

TestPage page(const QByteArray &protocol, const QByteArray &typed, const QByteArray &message,
              int functionCodeButton, int dataRateButton, bool rangeTest)
{
    const QByteArray letter = FunctionCodeLetter(functionCodeButton);
    TestPage p;
    p.message = message;
    if (protocol == "TAP" || protocol == "PET") {
        p.sender = PageSender::TAP;
        p.pagerID = typed;
    } else if (protocol == "COMP1") {
        p.sender = PageSender::COMP1;
    } else if (protocol == "COMP2") {
        p.sender = PageSender::COMP2;
        p.pagerID = typed;
        if (rangeTest || typed.size() <= 7)
            p.functionCode = letter;
    } else if (protocol == "ZQ" || protocol == "SCOPE") {
        p.sender = protocol == "ZQ" ? PageSender::Kestrane : PageSender::Scope;
        p.pagerID = PaddedPagerID(typed);
        p.functionCode = letter;
        p.rate = DataRateText(dataRateButton);
    } else if (protocol == "SNPP") {
        p.sender = PageSender::SNPP;
        p.pagerID = rangeTest ? PaddedPagerID(typed) : typed;
        if (rangeTest)
            p.functionCode = letter;
    } else {
        p.message.clear();
    }
    return p;
}

} // namespace

QByteArray AttachedPortProtocol(const QByteArray &testPort, const EncoderConfig &settings)
{
    return testPort == "1" ? settings.sPort1Protocol : settings.sPort2Protocol;
}

QByteArray AttachedPortProtocol()
{
    return AttachedPortProtocol(Run.sTestPort, EncoderSettings);
}

QByteArray PaddedPagerID(const QByteArray &typed)
{
    return typed.size() >= 7 ? typed : QByteArray(7 - typed.size(), '0') + typed;
}

QByteArray FunctionCodeLetter(int button)
{
    switch (button) {
    case 0: return "A";
    case 1: return "B";
    case 2: return "C";
    default: return "D";
    }
}

QByteArray DataRateText(int button)
{
    switch (button) {
    case 0: return "512";
    case 1: return "1200";
    default: return "2400";
    }
}

TestPage SendMsgPage(const QByteArray &protocol, const QByteArray &typedPagerID,
                     const QByteArray &message, int functionCodeButton, int dataRateButton)
{
    return page(protocol, typedPagerID, message, functionCodeButton, dataRateButton, false);
}

TestPage RangeTestPage(const QByteArray &protocol, const QByteArray &typedPagerID,
                       const QByteArray &message, int functionCodeButton, int dataRateButton)
{
    return page(protocol, typedPagerID, message, functionCodeButton, dataRateButton, true);
}

PageInFlight::PageInFlight()
{
    if (g_pageInFlight)
        return;
    g_pageInFlight = true;
    m_holds = true;
}

PageInFlight::~PageInFlight()
{
    if (m_holds)
        g_pageInFlight = false;
}

bool PageInFlight::Active()
{
    return g_pageInFlight;
}
