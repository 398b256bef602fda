// Programming the encoder with the displayed database.
//
// A write runs: start (the port must be open, and no value to be sent may hold a control
// byte or, for a setting, be of another form than a read takes back: each refusal sends
// nothing), the ID-as-capcode guard on the attached encoder
// port, the modulation attenuation (two-port encoders, transmitter tuning enabled), the
// settings, the 75 records, the ID-as-capcode setting of the port(s), the success step and the
// clean-up. The first command that fails ends the write with one message box; nothing is
// retried; a write that ends so after the guard switched ID-as-capcode off switches it back on.
// A setting the encoder refuses ("Invalid") does not stop the write, but the write
// then ends with a box naming every refused setting instead of the success step. While it runs
// the database is busy (Run.bDBBusy()) and the toolbar is disabled.
//
// Every wait yields to the event loop. When the program is being closed meanwhile, the write
// ends at once without a message and leaves the main window alone; when the port's device goes
// away, it ends at once without a message of its own.

#include "encoder/write/writer.h"

#include "encoder/idascap.h"
#include "encoder/link.h"
#include "encoder/read/records.h"
#include "encoder/settingforms.h"
#include "encoder/terminalview.h"
#include "encoder/write/writecheck.h"
#include "encoder/write/writecommands.h"
#include "encoder/write/writemodatten.h"
#include "encoder/write/writerecords.h"
#include "model/state.h"
#include "platform/msgbox.h"
#include "platform/pointer.h"

#include <optional>

namespace {

QString latin1(const QByteArray &text)
{
    return QString::fromLatin1(text);
}

// "Max Msgs/Batch 10" of "Writing Pager Database - Max Msgs/Batch 10".
QByteArray progressItem(const QByteArray &status)
{
    const QByteArray prefix = WritingProgress;
    return status.startsWith(prefix) ? status.mid(prefix.size()) : status;
}

// One run of a write, from the start to the clean-up.
class WriteRun {
public:
    WriteRun() : m_link(Link()) {}

    // The start. False when the write does not run: no main window, the port is closed, or a
    // value to be sent cannot go (either said in a box); nothing then needs
    // cleaning up, and nothing has been sent.
    bool start(WriterVariant variant, std::optional<std::chrono::milliseconds> replyTimeout)
    {
        if (gone())
            return false;
        m_filling.emplace(Busy::FillingDatabase);
        if (replyTimeout)
            m_link.setReplyInterval(*replyTimeout);
        m_link.clearCancel();
        m_tapInterval = m_link.tapInterval();
        SetHourglassPointer();
        if (!m_link.isOpen()) {
            MsgBox(QStringLiteral("COM Port ") + QString::number(m_link.portNumber()) +
                       QStringLiteral(" is Not Open\rPlease Open Port and Try Again"),
                   MsgButtons::OK, MsgIcon::Critical, QStringLiteral("COM Port Not Open"));
            SetDefaultPointer();
            m_filling.reset();
            return false;
        }
        if (const auto bad = FirstUnsendableValue(variant, Run.sFirmwareVer)) {
            const QString what = bad->controlByte
                                     ? QStringLiteral(" Holds a Control Character (Such as a Line Break)")
                                     : QStringLiteral(" Holds \"") + latin1(bad->value) +
                                           QStringLiteral("\", Which is Not a Valid Setting");
            MsgBox(latin1(bad->field) + what +
                       QStringLiteral("\rNothing was Written to the Encoder\r"
                                      "Please Correct the Entry and Try Again"),
                   MsgButtons::OK, MsgIcon::None, QStringLiteral("Write Error"));
            SetDefaultPointer();
            m_filling.reset();
            return false;
        }
        m_link.clearCancel();
        view().SetToolbarEnabled(false);
        return true;
    }

    // The ID-as-capcode guard: while the attached port takes pager IDs as capcodes the encoder
    // would take the record blocks' configuration pager ID as a capcode, so the mode is
    // switched off for the transfer. True when the write goes on.
    bool guard(const IDAsCapGuard &g)
    {
        // From an empty input: nothing that came before is taken for the answer.
        const ExchangeResult query = m_link.Wait(
            {.send = g.query.bytes(), .discardFirst = true, .until = HoldsAny({g.query.replyEnd})});
        if (ended(query))
            return false;
        if (query.reply.contains("COMP2")) {
            // The port speaks COMP2 (it is not in programming mode): nothing has been written.
            MsgBox(QStringLiteral("COMP2 protocol is detected.  Please change to TAP protocol and "
                                  "try again."),
                   MsgButtons::OK, MsgIcon::None, QStringLiteral("COMP2 Detected"));
            return false;
        }
        if (query.outcome == ReplyOutcome::Cancelled) {
            m_link.clearCancel();
            return false;
        }
        // Without a flag for an answer the mode is unknown, and the records would be taken as
        // pages if it were on: nothing is sent. (The encoder's refusal of the query is a
        // firmware without the mode: off.)
        const IDAsCapAnswer answer =
            JudgeIDAsCapAnswer(query.reply, query.outcome == ReplyOutcome::Answered);
        if (answer == IDAsCapAnswer::None || answer == IDAsCapAnswer::Garbled) {
            writeError();
            return false;
        }
        const bool on = answer == IDAsCapAnswer::On;
        view().SetLabel(TerminalView::Label::IDAsCap, latin1(on ? g.labelOn : g.labelOff));
        if (!on)
            return true;

        // From here until the port's own setting goes out after the records, a write that ends
        // early puts the mode back on (putIDAsCapBack).
        m_guard = g;
        m_putBack = true;
        const ExchangeResult off =
            m_link.Wait({.send = g.switchOff.bytes(), .until = HoldsAny({g.switchOff.replyEnd})});
        if (ended(off))
            return false;
        if (off.outcome == ReplyOutcome::Cancelled) {
            m_link.clearCancel();
            return false;
        }
        // What has arrived is judged.
        if (!off.reply.contains(g.switchOff.mustContain)) {
            MsgBox(QStringLiteral("The Paging Encoder did not Properly Respond to IDASCAP Command.\r"
                                  "Please Check Connections, Paging Encoder Configuration,\r"
                                  "or COM Port Settings, and Try Again"),
                   MsgButtons::OK, MsgIcon::None, QStringLiteral("Paging Encoder Improper Response"));
            if (gone())
                return false;
            view().CloseCancelWindow();
            SetDefaultPointer();
            view().BringToFront(TerminalView::Disc::NotConnected);
            return false;
        }
        m_switchedOff = true;
        return true;
    }

    // One command exchange: the label and the progress text, the command after a discard, and
    // the wait for its reply ending. A time-out, a cancel or the encoder's log-on prompt in the
    // reply fails it with the "Write Error" box. A setting the encoder refuses is noted and the
    // write goes on. True when the write goes on.
    bool send(const WriteCommand &command)
    {
        if (gone())
            return false;
        if (!command.label.isEmpty())
            view().SetLabel(TerminalView::Label::IDAsCap, latin1(command.label));
        if (!command.status.isEmpty())
            view().SetPanelText(1, latin1(command.status));
        if (command.onSend)
            command.onSend();
        const ExchangeResult result =
            m_link.Wait({.send = command.bytes(),
                         .discardFirst = true,
                         .until = HoldsAny({command.replyEnd}),
                         .deadline = Deadline::ReplyTimer(command.replyTimeout)});
        if (ended(result))
            return false;
        const bool logonPrompt = command.messageRecord ? LogonPromptOutsideQuotes(result.reply)
                                                       : result.reply.contains(LogonPrompt);
        if (result.outcome != ReplyOutcome::Answered || logonPrompt) {
            writeError();
            return false;
        }
        if (command.setting && SettingRefused(result.reply))
            m_refused << progressItem(command.status);
        if (m_guard && command.idAsCapPort == m_guard->port)
            m_putBack = false; // the encoder has had the database's own setting for the port
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
        return !gone() && WriteModAtten(m_link) == ModAttenOutcome::GoOn && !m_link.lineGone();
    }

    void discardInput()
    {
        if (!gone())
            m_link.discardInput();
    }

    // The last command has been answered. Unless the encoder refused a setting, it now holds
    // the displayed database; otherwise a box names what it refused, and the database is not
    // counted as matching.
    void succeed()
    {
        if (gone())
            return;
        if (!m_refused.isEmpty()) {
            // Everything went out, and the encoder refused some of it: the last progress text
            // gives way to that end state.
            view().SetPanelText(1, QString::fromLatin1(WriteRefusedStatus));
            MsgBox(QStringLiteral("The Paging Encoder Refused These Settings:\r") +
                       latin1(m_refused.join('\r')),
                   MsgButtons::OK, MsgIcon::Exclamation, QStringLiteral("Settings Refused"));
            return;
        }
        view().SetPanelText(1, QStringLiteral("Encoder Matches Current Configuration"));
        Run.bDBMatchesEncoder = true;
        view().SetEnabled(TerminalView::Command::Lookup, true);
        view().SetEnabled(TerminalView::Command::SendMsg, true);
    }

    // The clean-up, on every road after the start.
    void finish()
    {
        putIDAsCapBack();
        if (!gone()) {
            view().SetToolbarEnabled(true);
            m_link.setTapInterval(m_tapInterval);
        }
        SetDefaultPointer();
        view().CloseCancelWindow();
        m_filling.reset();
    }

private:
    // A write that ended early (an error or a cancel) after the guard sent the switch-off tries
    // once to switch the mode back on, as a read does; not when the program is closing or the
    // device has gone.
    void putIDAsCapBack()
    {
        if (!m_putBack || gone() || m_link.lineGone())
            return;
        m_putBack = false;
        const WriteCommand &on = m_guard->switchOn;
        PutIDAsCapBack(m_link, {on.bytes(), on.mustContain, m_guard->labelOn, m_guard->labelOff}, m_switchedOff,
                       OnWriteFailure::End);
    }

    // The "Write Error" box of a command that failed.
    void writeError()
    {
        m_link.clearCancel();
        MsgBox(QStringLiteral("Error Writing Pager Database at\r") + latin1(m_link.lineSettings()) +
                   QStringLiteral("  COM Port ") + QString::number(m_link.portNumber()) +
                   QStringLiteral("\rPlease Check Connections, Paging Encoder Configuration,\r"
                                  "or COM Port Settings, and Try Again"),
               MsgButtons::OK, MsgIcon::None, QStringLiteral("Write Error"));
        SetDefaultPointer();
    }

    // The program is closing (the main window has gone or is going): the write stops at once.
    bool gone() const { return m_link.Gone(); }
    // After an exchange: the program is closing, or the port's device has gone (nothing more
    // is tried on it, and the main window says so as it shows the port closed).
    bool ended(const ExchangeResult &r) const { return gone() || r.outcome == ReplyOutcome::LineGone; }
    TerminalView &view() { return m_link.view(); }

    EncoderLink &m_link;
    QByteArrayList m_refused; // the progress items of the settings the encoder refused
    std::chrono::milliseconds m_tapInterval{0}; // the TAP timer's, put back at the end
    std::optional<BusyScope> m_filling;
    std::optional<IDAsCapGuard> m_guard; // the guard that found the mode on
    bool m_putBack = false;     // its switch-off was sent, and the port's own setting was not
    bool m_switchedOff = false; // the encoder confirmed the switch-off
};

} // namespace

void WriteEncoderDB()
{
    WriteRun run;
    if (!run.start(WriterVariant::TwoPort, std::nullopt))
        return;
    if (run.guard(TwoPortIDAsCapGuard(Run.sTestPort)) && (!Run.bTestEnabled || run.modAtten()) &&
        run.sendAll(TwoPortSettingsCommands()) && run.sendAll(RecordCommands(WriterVariant::TwoPort)) &&
        run.sendAll(TwoPortIDAsCapCommands()))
        run.succeed();
    run.finish();
}

void WriteEncoderDBV7()
{
    WriteRun run;
    if (!run.start(WriterVariant::V7, timeouts::V7Write))
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
