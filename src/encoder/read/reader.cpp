#include "encoder/read/reader.h"

#include "encoder/idascap.h"
#include "encoder/link.h"
#include "encoder/read/records.h"
#include "encoder/read/settingsqueries.h"
#include "encoder/recordblock.h"
#include "encoder/settingforms.h"
#include "encoder/terminalview.h"
#include "model/changes.h"
#include "model/database.h"
#include "model/encoderports.h"
#include "model/state.h"
#include "platform/msgbox.h"
#include "platform/pointer.h"
#include "protocols/protocoltable.h"

#include <functional>
#include <optional>
#include <utility>

namespace {

const QByteArray CRLF("\r\n");
const QString kProgressPrefix = QStringLiteral("Reading Pager Database - ");

// How a step of the read ended.
enum class Stop {
    None,      // go on with the next step
    Failed,    // its message box has been shown
    Cancelled, // the operator's cancel, no message
    LineGone,  // the port's device has gone: nothing more is tried on it, and the main window
               // says so as it shows the port closed
    Gone,      // the program is closing: nothing more is done
};

class DatabaseRead {
public:
    explicit DatabaseRead(bool v7) : m_link(Link()), m_v7(v7), m_port(AttachedPortNumber(Run.sTestPort)) {}

    void run()
    {
        SetHourglassPointer();
        if (!Run.bDBMatchesEncoder) {
            const MsgAnswer answer =
                MsgBox(QStringLiteral("You Have Edited the Pager Database\r"
                                      "If You Read the Encoder, You Will Lose Your Edits.\r"
                                      "Are You Sure You Want to Continue?"),
                       MsgButtons::YesNoCancel, MsgIcon::Exclamation,
                       QStringLiteral("About to OverWrite Edits"), 1);
            if (gone() || answer != MsgAnswer::Yes) {
                SetDefaultPointer();
                return;
            }
        }

        {
            BusyScope filling(Busy::FillingDatabase);
            m_link.clearCancel();
            view().SetToolbarEnabled(false);

            Stop stop = guard();
            if (stop == Stop::None)
                stop = settings();
            if (stop == Stop::None)
                stop = records();
            if (stop == Stop::None)
                stop = restore();
            if (stop == Stop::None)
                success();
            end(stop);
        }
        if (m_changed)
            NotifyModelChanged(ModelChange::DatabaseReplaced);
    }

private:
    bool gone() const { return m_link.Gone(); }
    TerminalView &view() { return m_link.view(); }

    // One exchange, until its reply is whole (until). A command the port cannot write gets no
    // answer: it counts as timed out at once, and the port's error is shown the first time only.
    ExchangeResult exchange(const QByteArray &command, ReplyTest until, bool discardFirst,
                            bool cancellable = true)
    {
        ExchangeResult r = m_link.Wait(
            {.send = command,
             .discardFirst = discardFirst,
             .until = std::move(until),
             .cancellable = cancellable,
             .onWriteFailure = m_writeErrorShown ? OnWriteFailure::End : OnWriteFailure::ShowAndEnd});
        if (r.outcome == ReplyOutcome::WriteFailed) {
            m_writeErrorShown = true;
            r.outcome = ReplyOutcome::TimedOut;
            r.timedOut = true;
        }
        return r;
    }

    // What the reply to a settings query or a record request must pass besides arriving in
    // time.
    struct ReplyCheck {
        // The encoder's logon prompt in the reply: it answered as a paging terminal.
        std::function<bool(const QByteArray &reply)> logonPrompt;
        // A record request: its complete answer must be that record. Anything else (a late
        // answer to an earlier command, a paging port's prompt) would shift every answer after
        // it onto the wrong record.
        QByteArray record = {};
        // A settings query: the value of a complete answer must have the setting's form. Any
        // other answer (a garbled line, an echo that is not the command, a late answer to
        // another query) fails the read like a time-out, and nothing of it is stored.
        std::function<bool(const QByteArray &value)> valueForm = {};
    };

    // A settings query or a record request failed: no answer in time, the logon prompt, or an
    // answer to something else. Judged before the cancel: a cancel that meets the time-out is
    // a read error.
    bool failedReply(const ExchangeResult &r, const ReplyCheck &check) const
    {
        if (r.outcome != ReplyOutcome::Answered && r.timedOut)
            return true;
        if (check.logonPrompt(r.reply))
            return true;
        if (check.valueForm && r.outcome == ReplyOutcome::Answered &&
            !check.valueForm(SettingAnswerValue(r.reply)))
            return true;
        return !check.record.isEmpty() && r.reply.contains(CRLF) &&
               !AnswersRequest(FirstLine(r.reply), check.record);
    }

    void status(const QString &text) { view().SetPanelText(1, text); }

    // The ID-as-capcode commands of the attached port.
    QByteArray idAsCapCommand(const char *suffix) const
    {
        if (m_v7)
            return QByteArray("CONFIG IDASCAP") + suffix + '\r';
        return QByteArray("CONFIG SERIAL") + char('0' + m_port) + " IDASCAP" + suffix + '\r';
    }
    QByteArray idAsCapConfirmation() const
    {
        return m_v7 ? "IDASCAP option updated" : "IDASCAP updated";
    }
    // The port the ID-as-capcode label names (0: a V7's one port, none named).
    int idAsCapLabelPort() const { return m_v7 ? 0 : m_port; }
    QString idAsCapLabel(bool on) const
    {
        return QString::fromLatin1(IDAsCapLabelText(on, idAsCapLabelPort()));
    }
    bool &attachedIDAsCap() const
    {
        return *EncoderPortOf(EncoderSettings, m_v7 ? 1 : m_port).idAsCap;
    }

    Stop cancelledAtGuard()
    {
        m_link.clearCancel();
        return Stop::Cancelled;
    }

    // Whether the reply's first line is one the ID-as-capcode check takes for its answer.
    static bool lineTheCheckTakes(const QByteArray &reply)
    {
        const IDAsCapAnswer answer = JudgeIDAsCapAnswer(reply, reply.contains('\n'));
        return answer == IDAsCapAnswer::On || answer == IDAsCapAnswer::Off;
    }

    // The reply to an ID-as-capcode command is one line ended by LF.
    static ReplyTest idAsCapLine(const QByteArray &text = QByteArray("\n"))
    {
        return HoldsLine({text}, "\n");
    }

    // After an exchange: the program closes, or the line has gone.
    std::optional<Stop> ended(const ExchangeResult &r) const
    {
        if (gone())
            return Stop::Gone;
        if (r.outcome == ReplyOutcome::LineGone)
            return Stop::LineGone;
        return std::nullopt;
    }

    // Records need the attached port out of ID-as-capcode mode (the encoder would take the
    // block's configuration pager ID as a capcode).
    Stop guard()
    {
        // From an empty input: nothing that came before is taken for the answer.
        ExchangeResult r = exchange(idAsCapCommand("?"), idAsCapLine(), true);
        if (const auto stop = ended(r))
            return *stop;
        if (r.outcome == ReplyOutcome::Cancelled)
            return cancelledAtGuard();
        // No answer counts as off. An answer that is no flag (a late answer to something else,
        // the logon prompt) leaves the mode unknown: the read stops before it stores anything.
        const IDAsCapAnswer answer = JudgeIDAsCapAnswer(r.reply, r.outcome == ReplyOutcome::Answered);
        if (answer == IDAsCapAnswer::Garbled)
            return readError();
        m_checkUnanswered = answer == IDAsCapAnswer::None;

        m_changed = true;
        if (answer != IDAsCapAnswer::On) {
            attachedIDAsCap() = false;
            view().SetLabel(TerminalView::Label::IDAsCap, idAsCapLabel(false));
            return Stop::None;
        }
        attachedIDAsCap() = true;
        m_restore = true;
        view().SetLabel(TerminalView::Label::IDAsCap, idAsCapLabel(true));

        r = exchange(idAsCapCommand(" 0"), idAsCapLine(), false);
        if (const auto stop = ended(r))
            return *stop;
        if (r.outcome == ReplyOutcome::Cancelled)
            return cancelledAtGuard();
        if (!r.reply.contains(idAsCapConfirmation()))
            return improperResponse();
        m_switchedOff = true;
        return Stop::None;
    }

    Stop improperResponse()
    {
        MsgBox(QStringLiteral("The Paging Encoder did not Properly Respond to IDASCAP Command.\r"
                              "Please Check Connections, Paging Encoder Configuration,\r"
                              "or COM Port Settings, and Try Again"),
               MsgButtons::OK, MsgIcon::None, QStringLiteral("Paging Encoder Improper Response"));
        if (gone())
            return Stop::Gone;
        view().CloseCancelWindow();
        SetDefaultPointer();
        view().BringToFront(TerminalView::Disc::NotConnected);
        return Stop::Failed;
    }

    Stop readError()
    {
        MsgBox(QStringLiteral("Error Reading Pager Database at\r") +
                   QString::fromLatin1(m_link.lineSettings()) + QStringLiteral("  COM Port ") +
                   QString::number(m_link.portNumber()) +
                   QStringLiteral("\rPlease Check Connections, Paging Encoder Configuration,\r"
                                  "or COM Port Settings, and Try Again"),
               MsgButtons::OK, MsgIcon::None, QStringLiteral("Read Error"));
        if (gone())
            return Stop::Gone;
        SetDefaultPointer();
        return Stop::Failed;
    }

    // One settings query or record request, sent after what is waiting has been thrown away;
    // the answer of a reply that passes (its first line) is handed to store.
    template <class Store>
    Stop ask(const QString &statusItem, const QByteArray &command, const ReplyTest &until,
             const ReplyCheck &check, Store store)
    {
        status(kProgressPrefix + statusItem);
        // The ID-as-capcode check that got no answer in time may still be answered, ahead of
        // this answer: a reply whose first line the check would take for its answer cannot be
        // told from it, and the read stops before it stores anything of it.
        const bool afterUnansweredCheck = std::exchange(m_checkUnanswered, false);
        const ExchangeResult r = exchange(command, until, true);
        if (const auto stop = ended(r))
            return *stop;
        store(QByteArray(), /*checked=*/false);
        if (afterUnansweredCheck && lineTheCheckTakes(r.reply))
            return readError();
        if (failedReply(r, check))
            return readError();
        if (r.outcome == ReplyOutcome::Cancelled)
            return Stop::Cancelled; // the cancel flag stays set
        m_changed = true;
        store(r.reply, /*checked=*/true);
        return Stop::None;
    }

    Stop settings()
    {
        const QList<SettingsQuery> queries =
            m_v7 ? V7SettingsQueries() : TwoPortSettingsQueries(Run.sTestPort, Run.sFirmwareVer);
        for (const SettingsQuery &q : queries) {
            // The answer is one line ended by CR LF; an RS answer ends at its CR.
            ReplyTest until = HoldsLine({CRLF}, CRLF);
            if (q.endsAtRS)
                until = [line = std::move(until), rs = HoldsLine({"\x1E"}, "\r")](const QByteArray &reply) {
                    return line(reply) || rs(reply);
                };
            const QByteArray command = q.command + (m_v7 ? CRLF : QByteArray("\r"));
            ReplyCheck check;
            check.valueForm = [&q](const QByteArray &value) { return HasForm(q.form, value); };
            if (q.operatorText) // only what follows the value's line can be the prompt
                check.logonPrompt = [](const QByteArray &reply) {
                    return reply.mid(FirstLine(reply).size()).contains(LogonPrompt);
                };
            else
                check.logonPrompt = [](const QByteArray &reply) { return reply.contains(LogonPrompt); };
            const Stop stop = ask(QString::fromLatin1(q.statusItem), command, until, check,
                                  [&](const QByteArray &reply, bool checked) {
                                      if (!checked) {
                                          // PET support counts as present from the end of
                                          // the wait, whatever the reply turns out to be.
                                          if (q.endsAtRS) {
                                              EncoderSettings.bPETSupport = true;
                                              m_changed = true;
                                          }
                                          return;
                                      }
                                      q.store(SettingAnswerValue(reply));
                                      if (q.command == "config capby8?")
                                          view().SetLabel(TerminalView::Label::IncBy8,
                                                          QString::fromLatin1(IncBy8LabelText(EncoderSettings.bIncCapBy8)));
                                  });
            if (stop != Stop::None)
                return stop;
        }
        return Stop::None;
    }

    Stop records()
    {
        const struct {
            RecordKind kind;
            int count;
        } tables[] = {{RecordKind::Group, GroupCount},
                      {RecordKind::Family, FamilyCount},
                      {RecordKind::Message, MessageCount}};
        for (const auto &table : tables) {
            for (int n = 1; n <= table.count; ++n) {
                const QByteArray request = RecordRequest(table.kind, n);
                const ReplyCheck check{.logonPrompt =
                                           [kind = table.kind](const QByteArray &reply) {
                                               return RecordReplyHoldsLogonPrompt(kind, reply);
                                           },
                                       .record = request};
                const Stop stop =
                    ask(QString::fromLatin1(RecordStatusItem(table.kind, n)),
                        BuildTAPBlock(ReadConfigPagerID, request), HoldsLine({CRLF}, CRLF), check,
                        [&](const QByteArray &reply, bool checked) {
                            if (!checked)
                                return;
                            const QByteArray answer = FirstLine(reply);
                            switch (table.kind) {
                            case RecordKind::Group:
                                StoreGroupReply(n, answer, /*emptyGroupRule=*/!m_v7);
                                break;
                            case RecordKind::Family: StoreFamilyReply(n, answer); break;
                            case RecordKind::Message: StoreMessageReply(n, answer); break;
                            }
                        });
                if (stop != Stop::None)
                    return stop;
            }
        }
        return Stop::None;
    }

    Stop restore()
    {
        if (!m_restore)
            return Stop::None;
        const ExchangeResult r = exchange(idAsCapCommand(" 1"), idAsCapLine(), false);
        if (const auto stop = ended(r))
            return *stop;
        if (r.outcome == ReplyOutcome::Cancelled)
            return cancelledAtGuard();
        m_restoreAnswered = true;
        if (!r.reply.contains(idAsCapConfirmation()))
            return improperResponse();
        m_restored = true;
        if (!m_v7)
            view().SetLabel(TerminalView::Label::IDAsCap, idAsCapLabel(true));
        return Stop::None;
    }

    // A read that asked for ID-as-capcode off and did not get to put it back tries once.
    void putIDAsCapBack()
    {
        if (!m_restore || m_restored || m_restoreAnswered)
            return;
        const IDAsCapSwitchOn on{idAsCapCommand(" 1"), idAsCapConfirmation(), IDAsCapLabelText(true, idAsCapLabelPort()),
                                 IDAsCapLabelText(false, idAsCapLabelPort())};
        m_restored = PutIDAsCapBack(m_link, on, m_switchedOff,
                                    m_writeErrorShown ? OnWriteFailure::End : OnWriteFailure::ShowAndEnd);
    }

    void success()
    {
        status(QStringLiteral("Current View Matches Encoder Configuration"));
        Run.bDBMatchesEncoder = true;
        view().SetEnabled(TerminalView::Command::Lookup, true);
        view().SetEnabled(TerminalView::Command::SendMsg, true);
        view().SetToolbarEnabled(true);
    }

    // The read stopped before its end: whatever the displayed database held before (start-up's
    // database counts as matching, though nothing was read), it is not known to be the
    // encoder's, and part of it may be the encoder's and part what was there before.
    void markIncomplete()
    {
        Run.bDBMatchesEncoder = false;
        if (!view().PanelText(1).startsWith(kProgressPrefix))
            status(QStringLiteral("Current Configuration Modified, Does Not Match Encoder"));
        view().SetEnabled(TerminalView::Command::Lookup, false);
        view().SetEnabled(TerminalView::Command::SendMsg, false);
    }

    // Port 1's protocol COMP1 (else port 2's; any row of the table marked defaultPager) needs a
    // default pager: the first pager ID of the first group. Without one the protocol becomes
    // the default one, TAP, in the displayed database.
    void comp1Check()
    {
        if (DB.PagerGroups[0][GrpPagerID1] != "0000")
            return;
        QByteArray *protocol = nullptr;
        if (PagesDefaultPager(EncoderSettings.sPort1Protocol))
            protocol = &EncoderSettings.sPort1Protocol;
        else if (PagesDefaultPager(EncoderSettings.sPort2Protocol))
            protocol = &EncoderSettings.sPort2Protocol;
        if (!protocol)
            return;
        *protocol = DefaultPagingProtocol().code;
        MsgBox(QStringLiteral("COMP1 Protocol is Selected and Requires a Default Pager Assignment\r"
                              "The First Pager ID in the First Pager Group is Used as the Default "
                              "Pager ID\r"
                              "The Protocol has been set to TAP"),
               MsgButtons::OK, MsgIcon::None, QStringLiteral("COMP1 Pager ID Not Defined"));
    }

    void end(Stop stop)
    {
        if (stop == Stop::Failed || stop == Stop::Cancelled)
            putIDAsCapBack();
        // At every step, the guard's question included: Program then asks first, and the test
        // console stays shut, as after any read that did not run to its end.
        if (stop != Stop::None && !gone())
            markIncomplete();
        view().CloseCancelWindow();
        if (!gone() && !m_v7 && stop != Stop::LineGone)
            comp1Check();
        SetDefaultPointer();
        if (!gone())
            view().SetEnabled(TerminalView::Command::TestMenu, true);
    }

    EncoderLink &m_link;
    const bool m_v7;
    const int m_port;              // the attached port of a two-port encoder
    bool m_writeErrorShown = false;
    bool m_changed = false;        // something of the displayed database was replaced
    bool m_restore = false;        // ID-as-capcode was found on and its switch-off sent
    bool m_switchedOff = false;    // the encoder confirmed the switch-off
    bool m_checkUnanswered = false; // nothing came in time to the ID-as-capcode check
    bool m_restoreAnswered = false;
    bool m_restored = false;
};

void readDatabase(bool v7)
{
    if (!Link().hasView())
        return;
    DatabaseRead(v7).run();
}

} // namespace

void ReadEncoderDB()
{
    readDatabase(false);
}

void ReadEncoderDBV7()
{
    readDatabase(true);
}
