#include <QtTest>

#include "paging/frames.h"
#include "paging/senders.h"

#include "paging/pagingfixture.h"
#include "support/linktestaccess.h"

namespace {

// The row's page: the pager ID or capcode, "Hi", function D (COMP2: none for 8 characters or
// more, as Send gives it), 512 bps.
int16_t sendPage(PagingFixture &fx, const QByteArray &protocol, const QByteArray &pin)
{
    if (protocol == "TAP")
        return OutTAP(pin, "Hi", "Hi");
    if (protocol == "COMP1") {
        fx.console.pin = pin;
        return OutCOMP1("Hi");
    }
    if (protocol == "COMP2")
        return OutCOMP2(pin, "Hi", pin.size() >= 8 ? "" : "D");
    if (protocol == "SNPP")
        return OutSNPP(pin, "Hi", "");
    if (protocol == "ZQ")
        return OutKestrane(pin, "Hi", "D", "512");
    return OutScope(pin, "Hi", "D", "512");
}

QByteArray firstFrame(const QByteArray &protocol, const QByteArray &pin)
{
    if (protocol == "TAP")
        return TAPPageBlock(pin, "Hi");
    if (protocol == "COMP2")
        return COMP2Frame(pin, "Hi", "D");
    if (protocol == "SNPP")
        return SNPPPageCommand(pin, "");
    return protocol == "ZQ" ? KestraneFrame(pin, "Hi", "D", "512") : ScopeFrame(pin, "Hi", "D", "512");
}

// The expected lines, "|" between them, with the shorthands of the protocol: {A} the line
// announcing the page, {R} the retry line, {O} buffer overflow, {F} formatting error, {X}
// retried 3 times, {I} invalid address. "F " marks a line that also went to the log file,
// "{T}" the time of a timed line.
QStringList expand(const QByteArray &protocol, const QByteArray &pin, const QString &lines)
{
    const bool capcodes = protocol == "ZQ" || protocol == "SCOPE";
    const QString p = QString::fromLatin1(pin);
    const QString timed = capcodes ? QStringLiteral("F {T}: ") : QStringLiteral("F ");
    QString announce = QStringLiteral("TAP Output: PIN - '%1', MSG - 'Hi'").arg(p);
    if (protocol != "TAP") {
        const QString name = protocol == "ZQ" ? QStringLiteral("Kestrane")
                             : protocol == "SCOPE" ? QStringLiteral("Scope") : QString::fromLatin1(protocol);
        announce = QStringLiteral("F %1 Output, PIN - '%2").arg(name, p);
        if (capcodes || (protocol == "COMP2" && pin.size() < 8))
            announce += QStringLiteral("', FC - 'D");
        announce += capcodes ? QStringLiteral("', MSG - 'Hi', DR - '512'") : QStringLiteral("', MSG - 'Hi'");
    }
    QString text = lines;
    text.replace(QStringLiteral("{A}"), announce)
        .replace(QStringLiteral("{R}"), protocol == "TAP" ? QStringLiteral("Retry TAP Output: PIN - '%1', MSG - 'Hi'").arg(p)
                                                        : QStringLiteral("F Retry Paging System Output, PIN - '%1', MSG - 'Hi'").arg(p))
        .replace(QStringLiteral("{O}"), timed + QStringLiteral("Paging System Buffer Overflow Detected, Resending Message"))
        .replace(QStringLiteral("{F}"), timed + QStringLiteral("Msg Formatting Error, Resending Message"))
        .replace(QStringLiteral("{I}"), timed + QStringLiteral("ERROR - Invalid Address - Msg Rejected by Paging System - Msg Discarded"))
        .replace(QStringLiteral("{X}"), QStringLiteral("F ERROR - Retried 3 Times, Msg Discarded"));
    return text.split(QLatin1Char('|'), Qt::SkipEmptyParts);
}

// The rows a test function takes: TAP's roads, the other protocols' roads, or failed writes and
// closings (their knobs begin with "!").
enum class Rows { TAP, Others, Interrupted };
Rows g_rows = Rows::TAP;

void row(const char *protocol, const char *name, const char *knobs, const char *pin, const QString &lines,
         int result, int pages)
{
    const Rows kind = *knobs == '!' ? Rows::Interrupted : QByteArray(protocol) == "TAP" ? Rows::TAP : Rows::Others;
    if (kind != g_rows)
        return;
    QTest::addRow("%s %s", protocol, name) << QByteArray(protocol) << QString::fromLatin1(knobs) << QByteArray(pin)
                                            << lines << result << pages;
}

} // namespace

// Every sender's roads against the simulated encoder: what it logs, in the list and in the log
// file, what it returns and what went on the air; a write that fails; the console or the
// program closing before or during a page.
class TestSenders : public QObject {
    Q_OBJECT
    static void rows()
    {
        QTest::addColumn<QByteArray>("protocol");
        QTest::addColumn<QString>("knobs"); // "name=value;..."; "!" entries act on the line
        QTest::addColumn<QByteArray>("pin");
        QTest::addColumn<QString>("lines");
        QTest::addColumn<int>("result");
        QTest::addColumn<int>("pages");

        const QString ack = QStringLiteral("|Encoder: <ACK><CR>");
        const QString nak = QStringLiteral("|Encoder: <NAK><CR>");
        const QString busy = QStringLiteral("|Encoder: 111 System Busy<CR><RS><CR>");
        const QString logon = QStringLiteral("|Encoder: ID=<CR><LF>|Sending Terminal ID");
        const QString login = QStringLiteral("{A}|Encoder: ID=ID=ID=|Paging System Requires Login, Logging In");
        const QString logonFailed = QStringLiteral("|ERROR - Error Logging Into Paging System, Message Discarded");
        const char *in = "tap_logged_in_at_boot=on";
        row("TAP", "delivered", in, "123", QStringLiteral("{A}") + ack, 1, 1);
        row("TAP", "log-on on demand", "", "123", login + logon + QStringLiteral("|{A}") + ack, 1, 1);
        row("TAP", "NAKed three times", "tap_logged_in_at_boot=on;nak_blocks=3", "123",
            QStringLiteral("{A}") + nak + QStringLiteral("|{R}") + nak + QStringLiteral("|{R}") + nak +
                QStringLiteral("|ERROR - NAKed 3 Times by Paging System - Msg Discarded"),
            1, 0);
        row("TAP", "PIN rejected", in, "999",
            QStringLiteral("{A}|Encoder: 511 Invalid Pager ID<CR><RS><CR>|ERROR - PIN Rejected by Paging System - Msg Discarded"),
            1, 0);
        row("TAP", "busy, then delivered", "tap_logged_in_at_boot=on;tap_busy=1", "123",
            QStringLiteral("{A}") + busy + QStringLiteral("|Paging System Busy - Retrying|{R}") + ack, 1, 1);
        row("TAP", "busy ten times", "tap_logged_in_at_boot=on;tap_busy=every", "123",
            QStringLiteral("{A}") + busy + QStringLiteral("|Paging System Busy - Retrying|{R}").append(busy).repeated(9) +
                QStringLiteral("|ERROR - Paging System Busy - Msg Discarded"),
            0, 0);
        row("TAP", "message rejected", "tap_logged_in_at_boot=on;tap_reject=1", "123",
            QStringLiteral("{A}|Encoder: 512 Message Rejected<CR><RS><CR>|ERROR - Message Rejected by Paging System - Msg Discarded"),
            1, 0);
        row("TAP", "no response", "tap_logged_in_at_boot=on;drop_reply=page", "123",
            QStringLiteral("{A}|Encoder: |ERROR - No Response from Paging System"), 1, 1);
        // The XON comes two seconds later: not within the sender's look, however loaded the machine.
        row("TAP", "XOFF", "tap_logged_in_at_boot=on;tap_xoff=1;xoff_ms=20000", "123", QStringLiteral("{A}|Encoder: <XOFF>"), 1, 1);
        // Each refused log-on brings a wake-up and the prompt; the third ends the page.
        row("TAP", "log-on refused", "tap_logon=refuse", "123", login + logon.repeated(3) + logonFailed, 0, 0);
        row("TAP", "no log-on prompt", "tap_prompt=off", "123",
            QStringLiteral("{A}|Encoder: ID=|Paging System Requires Login, Logging In") + logon + logonFailed, 1, 0);

        row("COMP1", "written", "", "42", QStringLiteral("COMP1 Output: PIN - '42', MSG - 'Hi'"), 1, 1);

        const QString okay = QStringLiteral("|Encoder: okay<CR><LF>COMP2>");
        row("COMP2", "prompt", "", "123", QStringLiteral("{A}") + okay, 1, 1);
        row("COMP2", "no function code", "", "1234567N12", QStringLiteral("{A}") + okay, 1, 1);
        row("COMP2", "invalid address", "", "999", QStringLiteral("{A}|{I}|Encoder: <NAK>03<CR><LF>COMP2>"), 1, 0);
        row("COMP2", "buffer overflow four times", "comp2_nak=04:4", "123",
            QStringLiteral("{A}") + QStringLiteral("|{O}|{R}").repeated(3) + QStringLiteral("|{O}|{X}"), 0, 0);
        row("COMP2", "formatting error once", "comp2_nak=08:1", "123", QStringLiteral("{A}|{F}|{R}") + okay, 1, 1);
        row("COMP2", "other code", "comp2_nak=XX", "123", QStringLiteral("{A}|Encoder: <NAK>XX<CR><LF>COMP2>"), 1, 0);
        row("COMP2", "silence", "drop_reply=page", "123", QStringLiteral("{A}"), 1, 1);

        // SNPP's accepting answers are not logged; its resend codes count only when the answer
        // ends right after them (taken at the time-out).
        row("SNPP", "delivered", "", "123", QStringLiteral("{A}"), 1, 1);
        row("SNPP", "invalid pager ID", "", "999",
            QStringLiteral("{A}|F ERROR - Invalid Pager ID - Msg Rejected by Paging System - Msg Discarded"
                           "|Encoder: 550 Error, Invalid Pager ID<CR><LF>"),
            1, 0);
        row("SNPP", "buffer overflow four times", "snpp_fail=PAGE:550 04:4:noeol", "123",
            QStringLiteral("{A}") + QStringLiteral("|{O}|{R}").repeated(3) + QStringLiteral("|{O}|{X}"), 0, 0);
        row("SNPP", "formatting error once", "snpp_fail=PAGE:550 08:1:noeol", "123", QStringLiteral("{A}|{F}|{R}"), 1, 1);
        row("SNPP", "message refused", "snpp_fail=MESS:554 Message Too Long", "123",
            QStringLiteral("{A}|Encoder: 554 Message Too Long<CR><LF>"), 1, 0);
        row("SNPP", "silence", "drop_reply=PAGE", "123", QStringLiteral("{A}"), 1, 0);

        for (const char *protocol : {"ZQ", "SCOPE"}) {
            const QString nakKnob = QString::fromLatin1(QByteArray(protocol) == "ZQ" ? "zq_nak=" : "scope_nak=");
            const QString accepted = QStringLiteral("|F {T}: Paging System: <ACK><EOT>");
            row(protocol, "accepted", "", "0000123", QStringLiteral("{A}") + accepted, 1, 1);
            row(protocol, "invalid address", "", "0000008", QStringLiteral("{A}|{I}|F {T}: Paging System: <NAK>03<EOT>"), 1, 0);
            row(protocol, "buffer overflow four times", qPrintable(nakKnob + QStringLiteral("05:4")), "0000123",
                QStringLiteral("{A}") + QStringLiteral("|{O}|{R}").repeated(3) + QStringLiteral("|{O}|{X}"), 0, 0);
            row(protocol, "formatting error once", qPrintable(nakKnob + QStringLiteral("08:1")), "0000123",
                QStringLiteral("{A}|{F}|{R}") + accepted, 1, 1);
            // Neither an unknown code nor silence repeats the announcing line.
            row(protocol, "other code", qPrintable(nakKnob + QStringLiteral("XX")), "0000123",
                QStringLiteral("{A}|F {T}: Paging System: <NAK>XX<EOT>"), 1, 0);
            row(protocol, "silence", "drop_reply=page", "0000123",
                QStringLiteral("{A}|F {T}: ERROR - No Response from Paging System"), 1, 1);
        }
        row("SCOPE", "ACK CR", "scope_reply=ack_cr", "0000123", QStringLiteral("{A}|F {T}: Paging System: <ACK><CR>"), 1, 1);

        // A write that fails ends the page with the port's error; only the COMP1 sender says 0,
        // and it names a closed port in its own words. Closing stops a page at once.
        for (const char *protocol : {"TAP", "COMP2", "SNPP", "ZQ", "SCOPE"}) {
            const bool capcodes = QByteArray(protocol) == "ZQ" || QByteArray(protocol) == "SCOPE";
            const char *pin = capcodes ? "0000123" : "123";
            const QString error = QByteArray(protocol) == "TAP" ? QStringLiteral("{A}|ERROR - {E}")
                                  : capcodes                  ? QStringLiteral("{A}|F {T}: ERROR - {E}")
                                                              : QStringLiteral("{A}|F ERROR - {E}");
            row(protocol, "hung up", "!hangup", pin, error, 1, 0);
            row(protocol, "port closed", "!closed", pin, error, 1, 0);
            row(protocol, "console closed", "!console", pin, QString(), 0, 0);
            row(protocol, "program closing", "!program", pin, QString(), 0, 0);
            row(protocol, "console closes in the wait", "!console-in-wait", pin, QStringLiteral("{A}"), 0, 0);
            row(protocol, "program closes in the wait", "!program-in-wait", pin, QStringLiteral("{A}"), 0, 0);
        }
        row("COMP1", "hung up", "!hangup", "42", QStringLiteral("ERROR - {E}"), 0, 0);
        row("COMP1", "port closed", "!closed", "42",
            QStringLiteral("ERROR - COM Port Not Open, Message Discarded for Serial Port Plain Text Output"), 0, 0);
        row("COMP1", "console closed", "!console", "42", QString(), 0, 0);
    }

    static void check()
    {
        QFETCH(QByteArray, protocol);
        QFETCH(QString, knobs);
        QFETCH(QByteArray, pin);
        QFETCH(QString, lines);
        QFETCH(int, result);
        QFETCH(int, pages);
        QStringList settings = knobs.split(QLatin1Char(';'), Qt::SkipEmptyParts);
        const QString action = !settings.isEmpty() && settings.first().startsWith(QLatin1Char('!'))
                                   ? settings.takeFirst().mid(1)
                                   : QString();
        const bool tap = protocol == "TAP";
        PagingFixture fx(protocol.constData(), encodertest::KnobsFrom(settings),
                         action.contains(QStringLiteral("in-wait")) ? 1.0 : tap ? 0.1 : 0.25);
        QVERIFY(fx.ready);
        // The other protocols' waits last a second on the console's timer: in real time, so
        // that the encoder's answer (not a loaded machine) ends each. One whose answer is taken
        // at the time-out (COMP2's refusals, as only "okay" and the prompt end its wait; SNPP's
        // resend codes without a line end; Scope's ACK CR) runs out once the whole answer has
        // come; one that nothing answers, once the encoder has dropped the answer.
        QTimer runOut;
        QObject::connect(&runOut, &QTimer::timeout, [&fx, &runOut] {
            if (fx.encoder->count("drop_reply fired") == 0)
                return;
            runOut.stop();
            Link().consoleTimerTicked();
        });
        PendingAction runOutOnTheAnswer;
        if (!tap && action.isEmpty()) {
            SetTimeScale(1.0);
            if (protocol == "COMP2" && (pin == "999" || knobs.contains(QStringLiteral("comp2_nak"))))
                runOutOnTheAnswer = RunOutWaitsHolding({"COMP2>"});
            else if (knobs.contains(QStringLiteral(":noeol"))) // "PAGE:550 04:4:noeol": the code
                runOutOnTheAnswer = RunOutWaitsHolding({knobs.section(QLatin1Char(':'), 1, 1).toLatin1()});
            else if (knobs.contains(QStringLiteral("ack_cr")))
                runOutOnTheAnswer = RunOutWaitsHolding({"\x06\r"});
            if (knobs.contains(QStringLiteral("drop_reply")))
                runOut.start(1);
        } else if (tap && action.isEmpty() && (knobs.isEmpty() || knobs.contains(QStringLiteral("tap_logon=refuse")))) {
            // A page before the log-on gets an "ID=" for each of its three CRs; a refused
            // log-on, a NAK. Neither ends its wait.
            runOutOnTheAnswer = RunOutWaitsHolding({"ID=ID=ID=", "\x15\r"});
        }
        // The console stays the current one when it closes, so that a line logged after it would show.
        QObject row; // a closing not come by the end of the row does not come later
        const auto close = [action] {
            if (action.startsWith(QStringLiteral("console")))
                Link().setConsoleClosing(true);
            else
                Link().setClosing();
        };
        if (action == QLatin1String("hangup"))
            fx.encoder->sim().hangup();
        else if (action == QLatin1String("closed"))
            Link().closePort();
        else if (action == QLatin1String("console") || action == QLatin1String("program"))
            close();
        else if (!action.isEmpty()) {
            fx.encoder->sim().powerOff(); // silence: the wait would run its whole time
            QTimer::singleShot(100, &row, close);
        }

        QCOMPARE(sendPage(fx, protocol, pin), result);
        QStringList got = fx.lines();
        if (action == QLatin1String("hangup") || action == QLatin1String("closed")) // the system's text
            got.replaceInStrings(QRegularExpression(QStringLiteral("ERROR - (?!COM Port Not Open, Message).+$")),
                                 QStringLiteral("ERROR - {E}"));
        QCOMPARE(got, expand(protocol, pin, lines));
        QTRY_COMPARE(fx.pages().size(), pages); // a page goes on the air after its frame has arrived

        if (action.startsWith(QStringLiteral("console")) || action.startsWith(QStringLiteral("program"))) {
            // On the line: the first frame when the closing came in its wait, else nothing.
            Link().Write("|");
            const auto written = [&fx] {
                QByteArray all;
                for (const encsim::Event &e : fx.encoder->sim().events())
                    if (e.kind == encsim::EventKind::Input)
                        all += QByteArray::fromStdString(e.bytes);
                return all;
            };
            QTRY_VERIFY(written().endsWith('|'));
            QCOMPARE(written(), (action.endsWith(QStringLiteral("in-wait")) ? firstFrame(protocol, pin) : QByteArray()) + '|');
        }
    }

private slots:
    void tap_data() { g_rows = Rows::TAP, rows(); }
    void tap() { check(); }
    void others_data() { g_rows = Rows::Others, rows(); }
    void others() { check(); }
    void interrupted_data() { g_rows = Rows::Interrupted, rows(); }
    void interrupted() { check(); }

    // A grid editor that loads while the TAP sender waits for the log-on prompt after a wake-up
    // stops the TAP timer: the page ends there (0), with nothing more logged or sent.
    void aStoppedTapTimerEndsTheWakeUp()
    {
        PagingFixture fx("TAP", encodertest::KnobsFrom({QStringLiteral("tap_prompt=off")}), 0.1);
        QVERIFY(fx.ready);
        WindowTimer &tap = LinkTestAccess::tapTimer(Link());
        int wakeUpsStopped = 0;
        QTimer watch; // the wake-up's wait is the one on the TAP timer at its 2000 ms
        QObject::connect(&watch, &QTimer::timeout, [&] {
            if (tap.Enabled() && tap.Interval() == 2000) {
                ++wakeUpsStopped;
                Link().stopTapTimer();
            }
        });
        watch.start(1);
        bool fallback = false; // a wait that missed the stop would end only here
        QTimer closing;
        closing.setSingleShot(true);
        QObject::connect(&closing, &QTimer::timeout, [&fallback] {
            fallback = true;
            Link().setConsoleClosing(true);
        });
        closing.start(5000);
        QCOMPARE(sendPage(fx, "TAP", "123"), int16_t(0));
        watch.stop();
        QVERIFY(!fallback);
        QCOMPARE(wakeUpsStopped, 1);
        QCOMPARE(fx.lines(), expand("TAP", "123",
                                    QStringLiteral("{A}|Encoder: ID=|Paging System Requires Login, Logging In"
                                                   "|Encoder: ID=<CR><LF>|Sending Terminal ID")));
    }
};

QTEST_GUILESS_MAIN(TestSenders)
#include "tst_senders.moc"
