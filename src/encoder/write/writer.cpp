// Programming the encoder with the displayed database.
//
// A write runs: start (the port must be open), the ID-as-capcode guard on the attached encoder
// port, the modulation attenuation (two-port encoders, transmitter tuning enabled), the
// settings, the 75 records, the ID-as-capcode setting of the port(s), the success step and the
// clean-up. The first command that fails ends the write with one message box; nothing is
// retried. While it runs the database is busy (Run.bDBBusy()) and the toolbar is disabled.
//
// Every wait yields to the event loop. When the program is being closed meanwhile, the write
// ends at once without a message and leaves the main window alone.

#include "encoder/write/writer.h"

#include "app/frmTerminal.h"
#include "encoder/exchange.h"
#include "encoder/frmCancelSend.h"
#include "encoder/write/writecommands.h"
#include "encoder/write/writemodatten.h"
#include "encoder/write/writerecords.h"
#include "model/state.h"
#include "platform/msgbox.h"
#include "platform/pointer.h"
#include "platform/serialport.h"
#include "platform/timing.h"

#include <QAction>
#include <QPointer>
#include <QPushButton>

#include <optional>

namespace {

QString latin1(const QByteArray &text)
{
    return QString::fromLatin1(text);
}

// One run of a write, from the start to the clean-up.
class WriteRun {
public:
    explicit WriteRun(frmTerminal *t) : m_t(t), m_scope(t) {}

    // The start. False when the write does not run: no main window, or the port is closed
    // (said in a box); nothing then needs cleaning up.
    bool start(std::optional<int> replyTimeoutMs)
    {
        if (gone())
            return false;
        m_filling.emplace(Busy::FillingDatabase);
        if (replyTimeoutMs)
            m_t->Timer2->setInterval(*replyTimeoutMs);
        bCancelOp = false;
        m_timer1Interval = m_t->Timer1->Interval();
        SetHourglassPointer();
        if (!m_t->MSComm1->PortOpen()) {
            MsgBox(QStringLiteral("COM Port ") + QString::number(m_t->MSComm1->CommPort()) +
                       QStringLiteral(" is Not Open\rPlease Open Port and Try Again"),
                   MsgButtons::OK, MsgIcon::Critical, QStringLiteral("COM Port Not Open"));
            SetDefaultPointer();
            m_filling.reset();
            return false;
        }
        bCancelOp = false;
        m_t->Toolbar1->setAllButtonsEnabled(false);
        return true;
    }

    // The ID-as-capcode guard: while the attached port takes pager IDs as capcodes the encoder
    // would take the record blocks' configuration pager ID as a capcode, so the mode is
    // switched off for the transfer. True when the write goes on.
    bool guard(const IDAsCapGuard &g)
    {
        // The query keeps what is already waiting in the port: it becomes the reply's start.
        const ExchangeResult query =
            WaitForReply(port(), timer(), Exchange{g.query.bytes(), {g.query.replyEnd}, true, false});
        if (gone())
            return false;
        if (query.reply.contains("COMP2")) {
            // The port speaks COMP2 (it is not in programming mode): nothing has been written.
            MsgBox(QStringLiteral("COMP2 protocol is detected.  Please change to TAP protocol and "
                                  "try again."),
                   MsgButtons::OK, MsgIcon::None, QStringLiteral("COMP2 Detected"));
            return false;
        }
        if (query.outcome == ReplyOutcome::Cancelled) {
            bCancelOp = false;
            bRespTimeout = false;
            return false;
        }
        bRespTimeout = false; // no answer means the mode is off
        const bool on = query.reply.startsWith('1');
        m_t->lblIDAsCap->setText(latin1(on ? g.labelOn : g.labelOff));
        if (!on)
            return true;

        const ExchangeResult off = WaitForReply(
            port(), timer(), Exchange{g.switchOff.bytes(), {g.switchOff.replyEnd}, true, false});
        if (gone())
            return false;
        if (off.outcome == ReplyOutcome::Cancelled) {
            bCancelOp = false;
            bRespTimeout = false;
            return false;
        }
        bRespTimeout = false; // what has arrived is judged
        if (!off.reply.contains(g.switchOff.mustContain)) {
            MsgBox(QStringLiteral("The Paging Encoder did not Properly Respond to IDASCAP Command.\r"
                                  "Please Check Connections, Paging Encoder Configuration,\r"
                                  "or COM Port Settings, and Try Again"),
                   MsgButtons::OK, MsgIcon::None, QStringLiteral("Paging Encoder Improper Response"));
            if (gone())
                return false;
            forms::Unload<frmCancelSend>();
            SetDefaultPointer();
            m_t->BringToFront(m_t->ImgNotConnected);
            return false;
        }
        return true;
    }

    // One command exchange: the label and the progress text, the command after a discard, and
    // the wait for its reply ending. A time-out, a cancel or the encoder's log-on prompt in the
    // reply fails it with the "Write Error" box. True when the write goes on.
    bool send(const WriteCommand &command)
    {
        if (gone())
            return false;
        if (!command.label.isEmpty())
            m_t->lblIDAsCap->setText(latin1(command.label));
        if (!command.status.isEmpty())
            m_t->StatusBar1->setPanelText(1, latin1(command.status));
        if (command.replyTimeoutMs > 0)
            m_t->Timer2->setInterval(command.replyTimeoutMs);
        if (command.onSend)
            command.onSend();
        const ExchangeResult result =
            WaitForReply(port(), timer(), Exchange{command.bytes(), {command.replyEnd}, true, true});
        if (gone())
            return false;
        if (result.outcome != ReplyOutcome::Answered || result.reply.contains(LogonPrompt)) {
            bRespTimeout = false;
            bCancelOp = false;
            MsgBox(QStringLiteral("Error Writing Pager Database at\r") + latin1(port().Settings()) +
                       QStringLiteral("  COM Port ") + QString::number(port().CommPort()) +
                       QStringLiteral("\rPlease Check Connections, Paging Encoder Configuration,\r"
                                      "or COM Port Settings, and Try Again"),
                   MsgButtons::OK, MsgIcon::None, QStringLiteral("Write Error"));
            SetDefaultPointer();
            return false;
        }
        bRespTimeout = false;
        return true;
    }

    bool sendAll(const QList<WriteCommand> &commands)
    {
        for (const WriteCommand &command : commands)
            if (!send(command))
                return false;
        return true;
    }

    bool modAtten()
    {
        return !gone() && WriteModAtten(*m_t) == ModAttenOutcome::GoOn;
    }

    void discardInput()
    {
        if (!gone())
            port().DiscardInput();
    }

    void succeed()
    {
        if (gone())
            return;
        m_t->StatusBar1->setPanelText(1, QStringLiteral("Encoder Matches Current Configuration"));
        Run.bDBMatchesEncoder = true;
        m_t->cmdLookup->setEnabled(true);
        m_t->mnuSendMsg->setEnabled(true);
    }

    // The clean-up, on every road after the start.
    void finish()
    {
        if (!gone()) {
            m_t->Toolbar1->setAllButtonsEnabled(true);
            m_t->Timer1->setInterval(m_timer1Interval);
        }
        SetDefaultPointer();
        forms::Unload<frmCancelSend>();
        m_filling.reset();
    }

private:
    // The program is closing (the main window has gone or is going): the write stops at once.
    bool gone() const { return !m_t || m_t->isUnloaded() || bAppClosing; }
    MSComm &port() { return *m_t->MSComm1; }
    WindowTimer &timer() { return *m_t->Timer2; }

    QPointer<frmTerminal> m_t;
    forms::HandlerScope m_scope; // the main window outlives the run's waits
    int m_timer1Interval = 0;
    std::optional<BusyScope> m_filling;
};

} // namespace

void WriteEncoderDB()
{
    WriteRun run(forms::Find<frmTerminal>());
    if (!run.start(std::nullopt))
        return;
    if (run.guard(TwoPortIDAsCapGuard(Run.sTestPort)) && (!Run.bTestEnabled || run.modAtten()) &&
        run.sendAll(TwoPortSettingsCommands()) && run.sendAll(RecordCommands(WriterVariant::TwoPort)) &&
        run.sendAll(TwoPortIDAsCapCommands()))
        run.succeed();
    run.finish();
}

void WriteEncoderDBV7()
{
    WriteRun run(forms::Find<frmTerminal>());
    if (!run.start(V7WriteTimeoutMs))
        return;
    bool ok = run.guard(V7IDAsCapGuard());
    if (ok) {
        run.discardInput();
        ok = run.sendAll(V7SettingsCommands()) && run.sendAll(RecordCommands(WriterVariant::V7)) &&
             run.send(V7IDAsCapCommand());
    }
    if (ok)
        run.succeed();
    run.finish();
}
