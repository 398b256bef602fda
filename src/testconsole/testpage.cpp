#include "testconsole/testpage.h"

#include "model/encoderports.h"
#include "model/state.h"

namespace {

bool g_pageInFlight = false;

QByteArray pagerIDArg(PagerIDArg arg, const QByteArray &typed)
{
    switch (arg) {
    case PagerIDArg::AsTyped: return typed;
    case PagerIDArg::Padded: return PaddedPagerID(typed);
    case PagerIDArg::None: break;
    }
    return {};
}

QByteArray functionCodeArg(FunctionCodeArg arg, const QByteArray &typed, int button)
{
    switch (arg) {
    case FunctionCodeArg::Letter: return FunctionCodeLetter(button);
    case FunctionCodeArg::LetterUpTo7: return typed.size() <= 7 ? FunctionCodeLetter(button) : QByteArray();
    case FunctionCodeArg::None: break;
    }
    return {};
}

TestPage page(const QByteArray &protocol, const QByteArray &typed, const QByteArray &message,
              int functionCodeButton, int dataRateButton, bool rangeTest)
{
    const PagingProtocol *row = FindPagingProtocol(protocol);
    if (!row)
        return {};
    const PageArgs &args = rangeTest ? row->range : row->send;
    TestPage p;
    p.sender = SenderOf(*row);
    p.message = message;
    p.pagerID = pagerIDArg(args.pagerID, typed);
    p.functionCode = functionCodeArg(args.functionCode, typed, functionCodeButton);
    if (args.rate)
        p.rate = DataRateText(dataRateButton);
    return p;
}

} // namespace

QByteArray AttachedPortProtocol(const QByteArray &testPort, const EncoderConfig &settings)
{
    return *EncoderPortOf(settings, AttachedPortNumber(testPort)).protocol;
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
