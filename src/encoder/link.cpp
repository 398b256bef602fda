#include "encoder/link.h"

#include "encoder/terminalview.h"
#include "platform/msgbox.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QLoggingCategory>
#include <QPointer>
#include <QTimer>

#include <algorithm>

// QT_LOGGING_RULES="pagersetup.line.debug=true" logs every command and reply.
Q_LOGGING_CATEGORY(lcLine, "pagersetup.line", QtWarningMsg)

namespace {

// The view while there is no main window: shows nothing.
class NoView final : public TerminalView {
public:
    void SetPanelText(int, const QString &) override {}
    QString PanelText(int) const override { return QString(); }
    void SetLabel(Label, const QString &) override {}
    void SetEnabled(Command, bool) override {}
    void SetToolbarEnabled(bool) override {}
    void SetPortTexts(const QString &, const QString &) override {}
    void SetDiscTips(const QString &, const QString &) override {}
    void BringToFront(Disc) override {}
    void ShowCancelWindow(const QString &) override {}
    void CloseCancelWindow() override {}
    void CloseTestConsole() override {}
};

const char *outcomeName(ReplyOutcome outcome)
{
    switch (outcome) {
    case ReplyOutcome::Answered: return "answered";
    case ReplyOutcome::TimedOut: return "timed out";
    case ReplyOutcome::Cancelled: return "cancelled";
    case ReplyOutcome::Closing: return "closing";
    case ReplyOutcome::WriteFailed: return "write failed";
    case ReplyOutcome::LineGone: return "line gone";
    }
    return "";
}

} // namespace

ReplyTest HoldsAny(QList<QByteArray> texts)
{
    return [texts = std::move(texts)](const QByteArray &reply) {
        for (const QByteArray &text : texts)
            if (reply.contains(text))
                return true;
        return false;
    };
}

ReplyTest HoldsLine(QList<QByteArray> texts, QByteArray ending)
{
    return [texts = std::move(texts), ending = std::move(ending)](const QByteArray &reply) {
        for (const QByteArray &text : texts) {
            const qsizetype at = reply.indexOf(text);
            if (at < 0)
                continue;
            if (text.endsWith(ending) || reply.indexOf(ending, at + text.size()) >= 0)
                return true;
        }
        return false;
    };
}

QByteArray ReplyAfterEcho(const QByteArray &sent, const QByteArray &gathered)
{
    if (sent.isEmpty())
        return gathered;
    // Every way the echo may go: the written bytes, each CR of them optionally followed by an
    // LF the line added, and the LF of each CR LF of them optionally left out. ends holds where
    // each way has got to in gathered.
    QList<qsizetype> ends{0};
    bool more = false; // gathered stops inside a possible echo
    for (qsizetype i = 0; i < sent.size() && !ends.isEmpty(); ++i) {
        const char c = sent.at(i);
        const bool lfMayBeLeftOut = c == '\n' && i > 0 && sent.at(i - 1) == '\r';
        QList<qsizetype> next;
        for (const qsizetype at : std::as_const(ends)) {
            if (lfMayBeLeftOut)
                next << at;
            if (at == gathered.size()) {
                more = true;
                continue;
            }
            if (gathered.at(at) != c)
                continue; // this way diverges
            next << at + 1;
            if (c == '\r') {
                if (at + 1 == gathered.size())
                    more = true; // an added LF may still come
                else if (gathered.at(at + 1) == '\n')
                    next << at + 2;
            }
        }
        std::sort(next.begin(), next.end());
        next.erase(std::unique(next.begin(), next.end()), next.end());
        ends = next;
    }
    if (more)
        return QByteArray();
    if (ends.isEmpty())
        return gathered; // no echo
    return gathered.mid(*std::max_element(ends.cbegin(), ends.cend()));
}

EncoderLink::EncoderLink(QObject *parent) : QObject(parent)
{
    setObjectName(QStringLiteral("EncoderLink"));
    MSComm1 = new MSComm(this);
    MSComm1->setObjectName(QStringLiteral("MSComm1"));
    connect(MSComm1, &MSComm::deviceGone, this, &EncoderLink::deviceGone);
    Timer1 = new WindowTimer(this, true);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer2 = new WindowTimer(this, true);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    setTapInterval(timeouts::TAPAtStart);
    setReplyInterval(timeouts::ReplyAtStart);
    connect(Timer1, &WindowTimer::Timer, this, &EncoderLink::Timer1_Timer);
    connect(Timer2, &WindowTimer::Timer, this, &EncoderLink::Timer2_Timer);
}

EncoderLink::~EncoderLink() = default;

void EncoderLink::Timer1_Timer()
{
    bTimer1Expired = true;
    Timer1->setEnabled(false);
}

void EncoderLink::Timer2_Timer()
{
    Timer2->setEnabled(false);
    bRespTimeout = true;
}

CommError EncoderLink::openPort()
{
    m_lfOwed = false;
    return MSComm1->setPortOpen(true);
}

CommError EncoderLink::closePort()
{
    m_lfOwed = false;
    return MSComm1->setPortOpen(false);
}

bool EncoderLink::isOpen() const
{
    return MSComm1->PortOpen();
}

bool EncoderLink::lineGone() const
{
    return MSComm1->DeviceGone();
}

bool EncoderLink::lineWentAway() const
{
    return MSComm1->DeviceWentAway();
}

QString EncoderLink::lineGoneReason() const
{
    return MSComm1->DeviceWentAway() ? MSComm1->goneError().text : QString();
}

int EncoderLink::portNumber() const
{
    return MSComm1->CommPort();
}

CommError EncoderLink::setPortNumber(int number)
{
    return MSComm1->setCommPort(number);
}

QByteArray EncoderLink::lineSettings() const
{
    return MSComm1->Settings();
}

CommError EncoderLink::setLine(const QByteArray &settings)
{
    m_lfOwed = false; // what comes at other settings answers nothing of before
    return MSComm1->setSettings(settings);
}

QString EncoderLink::devicePath() const
{
    return MSComm1->devicePath();
}

void EncoderLink::discardInput()
{
    MSComm1->DiscardInput();
}

std::chrono::milliseconds EncoderLink::replyInterval() const
{
    return std::chrono::milliseconds(Timer2->Interval());
}

void EncoderLink::setReplyInterval(std::chrono::milliseconds interval)
{
    Timer2->setInterval(int(interval.count()));
}

std::chrono::milliseconds EncoderLink::tapInterval() const
{
    return std::chrono::milliseconds(Timer1->Interval());
}

void EncoderLink::setTapInterval(std::chrono::milliseconds interval)
{
    Timer1->setInterval(int(interval.count()));
}

void EncoderLink::stopTapTimer()
{
    Timer1->setEnabled(false);
}

bool EncoderLink::tapTimerStopped() const
{
    return !Timer1->Enabled() && !bTimer1Expired;
}

void EncoderLink::stopTimers()
{
    Timer1->setEnabled(false);
    Timer2->setEnabled(false);
}

void EncoderLink::consoleTimerTicked()
{
    bTimer1Expired = true;
}

void EncoderLink::cancel()
{
    bCancelOp = true;
}

void EncoderLink::clearCancel()
{
    bCancelOp = false;
}

void EncoderLink::setClosing()
{
    bAppClosing = true;
}

void EncoderLink::setConsoleClosing(bool closing)
{
    bConsoleClosing = closing;
}

TerminalView &EncoderLink::view()
{
    static NoView none;
    return m_view ? *m_view : none;
}

void EncoderLink::setView(TerminalView *view)
{
    m_view = view;
}

void EncoderLink::Reset()
{
    MSComm1->setPortOpen(false);
    MSComm1->forgetWentAway();
    MSComm1->setCommPort(1);
    MSComm1->setSettings("9600,n,8,1");
    Timer1->setEnabled(false);
    Timer2->setEnabled(false);
    setTapInterval(timeouts::TAPAtStart);
    setReplyInterval(timeouts::ReplyAtStart);
    bCancelOp = bRespTimeout = bTimer1Expired = bAppClosing = bConsoleClosing = m_lfOwed = false;
}

CommError EncoderLink::Write(const QByteArray &bytes)
{
    qCDebug(lcLine) << "send" << bytes;
    const CommError error = MSComm1->Output(bytes);
    if (error)
        qCDebug(lcLine) << "write failed:" << error.text;
    return error;
}

bool EncoderLink::Send(const QByteArray &bytes, bool showFailure)
{
    const CommError error = Write(bytes);
    if (!error)
        return true;
    if (showFailure)
        MsgBox(error.text, MsgButtons::OK, MsgIcon::Exclamation);
    return false;
}

ExchangeResult EncoderLink::Wait(const Exchange &exchange)
{
    ExchangeResult result;
    if (MSComm1->DeviceGone()) {
        // Nothing more is tried on a line that has gone.
        result.outcome = ReplyOutcome::LineGone;
        result.writeError = MSComm1->goneError();
        qCDebug(lcLine) << "line gone:" << result.writeError.text;
        return result;
    }
    if (exchange.discardFirst)
        MSComm1->DiscardInput();
    if (!exchange.send.isEmpty()) {
        const OnWriteFailure policy = exchange.onWriteFailure;
        const bool show = policy == OnWriteFailure::ShowAndWait || policy == OnWriteFailure::ShowAndEnd;
        result.writeError = Write(exchange.send);
        if (result.writeError && show)
            MsgBox(result.writeError.text, MsgButtons::OK, MsgIcon::Exclamation);
        if (result.writeError && (policy == OnWriteFailure::ShowAndEnd || policy == OnWriteFailure::End)) {
            result.outcome = ReplyOutcome::WriteFailed;
            return result;
        }
    }
    result.outcome = waitFor(exchange.send, exchange.until, exchange.deadline, exchange.cancellable,
                             exchange.endsWithConsole, result.raw, result.timedOut);
    if (result.outcome == ReplyOutcome::LineGone)
        result.writeError = MSComm1->goneError();
    result.reply = ReplyAfterEcho(exchange.send, result.raw);
    qCDebug(lcLine) << outcomeName(result.outcome) << result.raw;
    return result;
}

ReplyOutcome EncoderLink::Pause(std::chrono::milliseconds time, bool cancellable)
{
    QByteArray ignored;
    bool timedOut = false;
    return waitFor(QByteArray(), ReplyTest(), Deadline::After(time), cancellable, false, ignored, timedOut);
}

ReplyOutcome EncoderLink::waitFor(const QByteArray &sent, const ReplyTest &until,
                                  const Deadline &deadline, bool cancellable, bool endsWithConsole,
                                  QByteArray &raw, bool &timedOut)
{
    // The deadline: a one-shot window timer raising its flag, or a fixed time.
    WindowTimer *timer = nullptr;
    bool *expiredFlag = nullptr;
    switch (deadline.m_kind) {
    case Deadline::Kind::ReplyTimer:
        timer = Timer2;
        expiredFlag = &bRespTimeout;
        break;
    case Deadline::Kind::TAPTimer:
        timer = Timer1;
        expiredFlag = &bTimer1Expired;
        break;
    case Deadline::Kind::ConsoleTimer:
        timer = deadline.m_timer;
        expiredFlag = &bTimer1Expired;
        break;
    case Deadline::Kind::After:
        break;
    }
    if (timer && deadline.m_kind != Deadline::Kind::ConsoleTimer && deadline.m_time.count() > 0)
        timer->setInterval(int(deadline.m_time.count()));
    QPointer<WindowTimer> timerGuard(timer);
    const int interval = timer ? timer->Interval() : 0;
    QDeadlineTimer fixedEnd(timer ? 0 : ScaledMs(int(deadline.m_time.count())));
    if (timer) {
        if (interval <= 0)
            timer->setInterval(int(timeouts::Fallback.count()));
        *expiredFlag = false;
        timer->setEnabled(true);
    }
    WaitUnderWay underWay{.gathered = &raw, .number = ++m_waits};
    WaitUnderWay *const outer = m_waitUnderWay;
    if (until)
        m_waitUnderWay = &underWay;
    const auto expired = [&] { return underWay.runOut || (timer ? *expiredFlag : fixedEnd.hasExpired()); };

    // Between two looks the wait sleeps in an event loop that arriving bytes, the timer's event
    // and the poll interval end; everything else the windows do runs meanwhile.
    QEventLoop sleeper;
    QTimer poll;
    poll.setSingleShot(true);
    connect(&poll, &QTimer::timeout, &sleeper, &QEventLoop::quit);
    connect(MSComm1, &MSComm::readyRead, &sleeper, &QEventLoop::quit);
    connect(MSComm1, &MSComm::deviceGone, &sleeper, &QEventLoop::quit);
    if (timer)
        connect(timer, &WindowTimer::Timer, &sleeper, &QEventLoop::quit);
    const int pollMs = ScaledMs(int(timeouts::Poll.count()));

    raw.clear();
    bool answered = false;
    const auto closing = [&] { return bAppClosing || (endsWithConsole && bConsoleClosing); };
    for (;;) {
        DoEvents();
        if (closing() || MSComm1->DeviceGone())
            break;
        if (MSComm1->InBufferCount() == 0) {
            int sleep = pollMs;
            if (!timer)
                sleep = int(qBound(qint64(0), fixedEnd.remainingTime(), qint64(pollMs)));
            if (sleep > 0) {
                poll.start(sleep);
                sleeper.exec();
                poll.stop();
            }
        }
        QByteArray bytes = MSComm1->Input();
        if (m_lfOwed && !bytes.isEmpty()) {
            // The LF of the last reply, which ended at its CR.
            if (bytes.startsWith('\n'))
                bytes.remove(0, 1);
            m_lfOwed = false;
        }
        raw += bytes;
        if (MSComm1->DeviceGone())
            break;
        // The echo is taken off the whole of what has come each time: its LF may come later.
        answered = until && until(ReplyAfterEcho(sent, raw));
        if (answered || expired() || (cancellable && bCancelOp))
            break;
    }
    timedOut = expired();
    m_waitUnderWay = outer;
    if (answered && raw.endsWith('\r'))
        m_lfOwed = true;
    // The timer stops and its flag goes down: the outcome (and timedOut) tell the caller.
    if (timerGuard) {
        timerGuard->setEnabled(false);
        if (interval <= 0)
            timerGuard->setInterval(interval);
    }
    if (expiredFlag)
        *expiredFlag = false;

    if (closing())
        return ReplyOutcome::Closing;
    if (MSComm1->DeviceGone())
        return ReplyOutcome::LineGone;
    if (cancellable && bCancelOp)
        return ReplyOutcome::Cancelled;
    return answered ? ReplyOutcome::Answered : ReplyOutcome::TimedOut;
}

EncoderLink &Link()
{
    static QPointer<EncoderLink> link;
    if (!link)
        link = new EncoderLink(QCoreApplication::instance());
    return *link;
}
