#include "testconsole/rangetest.h"

#include "encoder/link.h"
#include "model/state.h"
#include "platform/timing.h"
#include "testconsole/testpage.h"

#include <QScopedValueRollback>

namespace {

QString brandWord(const QByteArray &brand)
{
    return QString::fromLatin1(brand);
}

QDateTime wholeSeconds(const QDateTime &t)
{
    return t.addMSecs(-t.time().msec());
}

} // namespace

QString RangeCountdownTitle(const QByteArray &brand, qint64 seconds)
{
    return brandWord(brand) + QStringLiteral(" Range Test - Next Msg. in ") + QString::number(seconds) +
           QStringLiteral(" Sec.");
}

QString RangeEndTitle(const QByteArray &brand)
{
    return brandWord(brand) + QStringLiteral(" Paging Test");
}

QByteArray RangePageText(const QByteArray &base, int16_t page)
{
    return base + ' ' + QByteArray::number(page);
}

int16_t NextRangePage(int16_t page)
{
    return page >= 32767 || page < 0 ? 1 : int16_t(page + 1);
}

std::optional<int16_t> CycleTimeSeconds(const QString &text)
{
    const QString t = text.trimmed();
    if (t.isEmpty() || t.size() > 4)
        return std::nullopt;
    for (QChar c : t)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
    return int16_t(t.toInt());
}

void RangeTestRun::Attach(RangeTestConsole *console)
{
    m_console = console;
    if (console)
        bMsgTestClosed = false;
}

void RangeTestRun::Prepare()
{
    if (!m_console)
        return;
    m_console->SetSendCaption(QStringLiteral("&Stop"));
    m_console->Timer2().setEnabled(true);
}

void RangeTestRun::Start(const QByteArray &pagerID, const QByteArray &baseMessage, int16_t cycleSec)
{
    if (!m_console)
        return;
    // A run that is still on its way out ends at its next look: it is no longer the current one.
    ++m_generation;
    m_console->SetPagerID(pagerID);
    m_console->SetRangeMenuCaption(QStringLiteral("Stop &Range Test"));
    Run.bRangeTestOn = true;
    m_base = baseMessage;
    iRangeCycleSec = cycleSec;
    m_console->SetTitle(RangeCountdownTitle(Run.sBrand, cycleSec));
    dtRangeNextMsg = wholeSeconds(CurrentTime()).addSecs(cycleSec);
    // Timer1's tick raises the flag that a page's wait for the encoder also ends on: while a
    // Send's page is on its way it is left alone, or that page would give up on an encoder
    // that is still answering.
    if (!PageInFlight::Active())
        m_console->Timer1().setEnabled(true);
    m_console->Timer2().setEnabled(true);
}

void RangeTestRun::Cancel()
{
    if (!m_console)
        return;
    m_console->EnableSend();
    m_console->SetSendCaption(QStringLiteral("&Send"));
}

void RangeTestRun::Stop()
{
    Run.bRangeTestOn = false;
    if (!m_console)
        return;
    m_console->SetSendCaption(QStringLiteral("&Send"));
    m_console->SetMessage(m_base);
    m_console->SetRangeMenuCaption(QStringLiteral("Start &Range Test"));
}

void RangeTestRun::ConsoleClosed()
{
    Run.bRangeTestOn = false;
    ++m_generation;
    bMsgTestClosed = true;
    if (RangeTestConsole *console = m_console) {
        m_console = nullptr;
        console->SetRangeMenuCaption(QStringLiteral("Start &Range Test"));
        console->Timer1().setEnabled(false);
        console->Timer2().setEnabled(false);
        console->EnableSend();
    }
}

void RangeTestRun::Timer2_Timer()
{
    RangeTestConsole *console = m_console;
    if (!console || !Run.bRangeTestOn)
        return;
    // One run at a time, and never a page beside another: while an earlier run is still on its
    // way out or a Send's page is on the line, the tick starts nothing and a later tick starts
    // the run.
    if (m_running || PageInFlight::Active()) {
        console->Timer2().setEnabled(true);
        return;
    }
    const QScopedValueRollback running(m_running, true);
    const quint64 run = m_generation;
    EncoderLink &link = Link();
    console->Timer2().setEnabled(false);

    // Whether this run goes on: not stopped, not replaced by a new Start, the console still
    // there, the program not closing, the port's device not gone (nothing more is tried on it).
    const auto current = [this, run, &link] {
        return m_console && Run.bRangeTestOn && m_generation == run && !link.closing() && !link.lineGone();
    };
    int16_t page = 0;
    for (;;) {
        page = NextRangePage(page);
        console->SetMessage(RangePageText(m_base, page));
        console->SetTitle(RangeCountdownTitle(Run.sBrand, 0));
        {
            PageInFlight onTheLine;
            console->SendPage(RangeTestPage(AttachedPortProtocol(), console->PagerID(), console->Message(),
                                            console->FunctionCodeButton(), console->DataRateButton()));
        }
        // The ticks until the next page is due. Each is a wait on the console's Timer1 that also
        // ends as soon as the run is no longer current; what the encoder says meanwhile answers
        // no page and is dropped.
        for (;;) {
            if (current()) {
                link.Wait({.until = [&current](const QByteArray &) { return !current(); },
                           .deadline = Deadline::ConsoleTimer(m_console->Timer1()),
                           .cancellable = false});
            }
            if (!current()) {
                // Stopped: the console says so. Replaced or closed: the new run or nothing. A
                // device gone stops the run as the operator's Stop does.
                if (m_console && m_generation == run && !link.closing()) {
                    if (Run.bRangeTestOn && link.lineGone())
                        Stop();
                    m_console->SetTitle(RangeEndTitle(Run.sBrand));
                }
                return;
            }
            console = m_console;
            const QDateTime now = wholeSeconds(CurrentTime());
            if (now > dtRangeNextMsg) {
                dtRangeNextMsg = now.addSecs(iRangeCycleSec);
                break;
            }
            console->SetTitle(RangeCountdownTitle(Run.sBrand, now.secsTo(dtRangeNextMsg)));
        }
    }
}

void RangeTestRun::Reset()
{
    Run.bRangeTestOn = false;
    iRangeCycleSec = 0;
    dtRangeNextMsg = QDateTime();
    bMsgTestClosed = false;
    m_console = nullptr;
    m_base.clear();
    ++m_generation;
}

RangeTestRun &RangeTest()
{
    static RangeTestRun test;
    return test;
}
