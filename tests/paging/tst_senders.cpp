#include <QtTest>

#include "paging/frames.h"
#include "paging/senders.h"

#include "paging/pagingfixture.h"

#include <functional>

using encodertest::KnobsFrom;

namespace {

// A page of the protocol: pager ID 123 (capcode 0000123), "Hi", function D, 512 bps.
int16_t sendPage(const QByteArray &protocol)
{
    if (protocol == "TAP")
        return OutTAP("123", "Hi", "Hi");
    if (protocol == "COMP1")
        return OutCOMP1("Hi");
    if (protocol == "COMP2")
        return OutCOMP2("123", "Hi", "D");
    if (protocol == "SNPP")
        return OutSNPP("123", "Hi", "");
    if (protocol == "ZQ")
        return OutKestrane("0000123", "Hi", "D", "512");
    return OutScope("0000123", "Hi", "D", "512");
}

// The frame that page puts on the line first.
QByteArray firstFrame(const QByteArray &protocol)
{
    if (protocol == "TAP")
        return TAPPageBlock("123", "Hi");
    if (protocol == "COMP2")
        return COMP2Frame("123", "Hi", "D");
    if (protocol == "SNPP")
        return SNPPPageCommand("123", "");
    if (protocol == "ZQ")
        return KestraneFrame("0000123", "Hi", "D", "512");
    return ScopeFrame("0000123", "Hi", "D", "512");
}

const char *const kAnnounce[][2] = {
    {"TAP", "TAP Output: PIN - '123', MSG - 'Hi'"},
    {"COMP2", "F COMP2 Output, PIN - '123', FC - 'D', MSG - 'Hi'"},
    {"SNPP", "F SNPP Output, PIN - '123', MSG - 'Hi'"},
    {"ZQ", "F Kestrane Output, PIN - '0000123', FC - 'D', MSG - 'Hi', DR - '512'"},
    {"SCOPE", "F Scope Output, PIN - '0000123', FC - 'D', MSG - 'Hi', DR - '512'"},
};

} // namespace

// Every sender's roads against the simulated encoder: what it logs, in the list and in the log
// file, what it returns and what went on the air.
class TestSenders : public QObject {
    Q_OBJECT

        static void columns()
    {
        QTest::addColumn<QStringList>("knobs");
        QTest::addColumn<QByteArray>("pin");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<int>("result");
        QTest::addColumn<int>("pages");
    }
    static void row(const char *name, const QStringList &knobs, const QByteArray &pin, const QStringList &expected,
                    int result, int pages)
    {
        QTest::newRow(name) << knobs << pin << expected << result << pages;
    }

    // Sends the row's page with send under the protocol and compares.
    static void check(const char *protocol, double timeScale,
                      const std::function<int16_t(PagingFixture &, const QByteArray &)> &send)
    {
        QFETCH(QStringList, knobs);
        QFETCH(QByteArray, pin);
        QFETCH(QStringList, expected);
        QFETCH(int, result);
        QFETCH(int, pages);
        PagingFixture fx(protocol, KnobsFrom(knobs), timeScale);
        QVERIFY(fx.ready);
        QCOMPARE(send(fx, pin), result);
        QCOMPARE(fx.lines(), expected);
        QTRY_COMPARE(fx.pages().size(), pages); // a page goes on the air after its frame has arrived
    }

private slots:
    void tap_data()
    {
        columns();
        const QStringList in = {QStringLiteral("tap_logged_in_at_boot=on")};
        const QString page = QStringLiteral("TAP Output: PIN - '123', MSG - 'Hi'");
        const QString retry = QStringLiteral("Retry TAP Output: PIN - '123', MSG - 'Hi'");
        const QString ack = QStringLiteral("Encoder: <ACK><CR>");
        const QString nak = QStringLiteral("Encoder: <NAK><CR>");
        const QString busy = QStringLiteral("Encoder: 111 System Busy<CR><RS><CR>");
        const QStringList logon = {QStringLiteral("Encoder: ID=<CR><LF>"), QStringLiteral("Sending Terminal ID")};
        const QString logonFailed = QStringLiteral("ERROR - Error Logging Into Paging System, Message Discarded");
        row("delivered", in, "123", {page, ack}, 1, 1);
        row("log-on on demand", {}, "123",
            QStringList{page, QStringLiteral("Encoder: ID=ID=ID="),
                        QStringLiteral("Paging System Requires Login, Logging In")} +
                logon + QStringList{page, ack},
            1, 1);
        row("NAKed three times", in + QStringList{QStringLiteral("nak_blocks=3")}, "123",
            {page, nak, retry, nak, retry, nak, QStringLiteral("ERROR - NAKed 3 Times by Paging System - Msg Discarded")},
            1, 0);
        row("PIN rejected", in, "999",
            {QStringLiteral("TAP Output: PIN - '999', MSG - 'Hi'"), QStringLiteral("Encoder: 511 Invalid Pager ID<CR><RS><CR>"),
             QStringLiteral("ERROR - PIN Rejected by Paging System - Msg Discarded")},
            1, 0);
        row("busy, then delivered", in + QStringList{QStringLiteral("tap_busy=1")}, "123",
            {page, busy, QStringLiteral("Paging System Busy - Retrying"), retry, ack}, 1, 1);
        QStringList busyTenTimes = {page, busy};
        for (int i = 1; i < 10; ++i)
            busyTenTimes << QStringLiteral("Paging System Busy - Retrying") << retry << busy;
        row("busy ten times", in + QStringList{QStringLiteral("tap_busy=every")}, "123",
            busyTenTimes << QStringLiteral("ERROR - Paging System Busy - Msg Discarded"), 0, 0);
        row("message rejected", in + QStringList{QStringLiteral("tap_reject=1")}, "123",
            {page, QStringLiteral("Encoder: 512 Message Rejected<CR><RS><CR>"),
             QStringLiteral("ERROR - Message Rejected by Paging System - Msg Discarded")},
            1, 0);
        row("no response", in + QStringList{QStringLiteral("drop_reply=page")}, "123",
            {page, QStringLiteral("Encoder: "), QStringLiteral("ERROR - No Response from Paging System")}, 1, 1);
        row("XOFF", in + QStringList{QStringLiteral("tap_xoff=1")}, "123", {page, QStringLiteral("Encoder: <XOFF>")},
            1, 1);
        // Three log-ons without the go-ahead, each followed by a wake-up that brings the prompt.
        QStringList refused = {page, QStringLiteral("Encoder: ID=ID=ID="),
                               QStringLiteral("Paging System Requires Login, Logging In")};
        refused << logon << logon << logon << logonFailed;
        row("log-on refused", {QStringLiteral("tap_logon=refuse")}, "123", refused, 0, 0);
        // No prompt to the wake-ups: three CRs, then the error.
        row("no log-on prompt", {QStringLiteral("tap_prompt=off")}, "123",
            QStringList{page, QStringLiteral("Encoder: ID="), QStringLiteral("Paging System Requires Login, Logging In")} +
                logon + QStringList{logonFailed},
            1, 0);
    }
    void tap()
    {
        check("TAP", 0.1, [](PagingFixture &, const QByteArray &pin) { return OutTAP(pin, "Hi", "Hi"); });
    }

    void comp1_data()
    {
        columns();
        row("written", {}, "42", {QStringLiteral("COMP1 Output: PIN - '42', MSG - 'Hi'")}, 1, 1);
    }
    void comp1()
    {
        check("COMP1", 0.05, [](PagingFixture &fx, const QByteArray &pin) {
            fx.console.pin = pin;
            return OutCOMP1("Hi");
        });
    }

    void comp2_data()
    {
        columns();
        const QString page = QStringLiteral("F COMP2 Output, PIN - '123', FC - 'D', MSG - 'Hi'");
        const QString retry = QStringLiteral("F Retry Paging System Output, PIN - '123', MSG - 'Hi'");
        const QString overflow = QStringLiteral("F Paging System Buffer Overflow Detected, Resending Message");
        const QString okay = QStringLiteral("Encoder: okay<CR><LF>COMP2>");
        row("prompt", {}, "123", {page, okay}, 1, 1);
        // A pager ID of 8 or more characters goes without a function code (as Send gives it).
        row("no function code", {}, "1234567N12", {QStringLiteral("F COMP2 Output, PIN - '1234567N12', MSG - 'Hi'"), okay},
            1, 1);
        row("invalid address", {}, "999",
            {QStringLiteral("F COMP2 Output, PIN - '999', FC - 'D', MSG - 'Hi'"),
             QStringLiteral("F ERROR - Invalid Address - Msg Rejected by Paging System - Msg Discarded"),
             QStringLiteral("Encoder: <NAK>03<CR><LF>COMP2>")},
            1, 0);
        row("buffer overflow four times", {QStringLiteral("comp2_nak=04:4")}, "123",
            {page, overflow, retry, overflow, retry, overflow, retry, overflow,
             QStringLiteral("F ERROR - Retried 3 Times, Msg Discarded")},
            0, 0);
        row("formatting error once", {QStringLiteral("comp2_nak=08:1")}, "123",
            {page, QStringLiteral("F Msg Formatting Error, Resending Message"), retry, okay}, 1, 1);
        row("other code", {QStringLiteral("comp2_nak=XX")}, "123", {page, QStringLiteral("Encoder: <NAK>XX<CR><LF>COMP2>")},
            1, 0);
        row("silence", {QStringLiteral("drop_reply=page")}, "123", {page}, 1, 1);
    }
    void comp2()
    {
        check("COMP2", 0.25, [](PagingFixture &, const QByteArray &pin) {
            return OutCOMP2(pin, "Hi", pin.size() >= 8 ? "" : "D");
        });
    }

    void snpp_data()
    {
        columns();
        const QString page = QStringLiteral("F SNPP Output, PIN - '123', MSG - 'Hi'");
        const QString retry = QStringLiteral("F Retry Paging System Output, PIN - '123', MSG - 'Hi'");
        const QString overflow = QStringLiteral("F Paging System Buffer Overflow Detected, Resending Message");
        row("delivered", {}, "123", {page}, 1, 1);
        row("invalid pager ID", {}, "999",
            {QStringLiteral("F SNPP Output, PIN - '999', MSG - 'Hi'"),
             QStringLiteral("F ERROR - Invalid Pager ID - Msg Rejected by Paging System - Msg Discarded"),
             QStringLiteral("Encoder: 550 Error, Invalid Pager ID<CR><LF>")},
            1, 0);
        // The resend codes count only when the answer ends right after them: taken at the time-out.
        row("buffer overflow four times", {QStringLiteral("snpp_fail=PAGE:550 04:4:noeol")}, "123",
            {page, overflow, retry, overflow, retry, overflow, retry, overflow,
             QStringLiteral("F ERROR - Retried 3 Times, Msg Discarded")},
            0, 0);
        row("formatting error once", {QStringLiteral("snpp_fail=PAGE:550 08:1:noeol")}, "123",
            {page, QStringLiteral("F Msg Formatting Error, Resending Message"), retry}, 1, 1);
        row("message refused", {QStringLiteral("snpp_fail=MESS:554 Message Too Long")}, "123",
            {page, QStringLiteral("Encoder: 554 Message Too Long<CR><LF>")}, 1, 0);
        row("silence", {QStringLiteral("drop_reply=PAGE")}, "123", {page}, 1, 0);
    }
    void snpp()
    {
        check("SNPP", 0.25, [](PagingFixture &, const QByteArray &pin) { return OutSNPP(pin, "Hi", ""); });
    }

    // The Kestrane and Scope senders: the encoder's side of the exchange is timed.
    void capcodes_data()
    {
        QTest::addColumn<QByteArray>("protocol");
        columns();
        const QStringList retry = {QStringLiteral("F Retry Paging System Output, PIN - '0000123', MSG - 'Hi'")};
        const QString overflow = QStringLiteral("F {T}: Paging System Buffer Overflow Detected, Resending Message");
        const QString accepted = QStringLiteral("F {T}: Paging System: <ACK><EOT>");
        for (const QByteArray protocol : {"ZQ", "SCOPE"}) {
            const QString name = protocol == "ZQ" ? QStringLiteral("Kestrane") : QStringLiteral("Scope");
            const auto announce = [&](const char *capcode) {
                return QStringLiteral("F %1 Output, PIN - '%2', FC - 'D', MSG - 'Hi', DR - '512'").arg(name, QLatin1String(capcode));
            };
            const QString nak = (protocol == "ZQ" ? QStringLiteral("zq_nak=") : QStringLiteral("scope_nak="));
            const auto addRow = [&](const char *road, const QStringList &knobs, const char *capcode,
                                    const QStringList &expected, int result, int pages) {
                QTest::addRow("%s %s", protocol.constData(), road)
                    << protocol << knobs << QByteArray(capcode) << expected << result << pages;
            };
            addRow("accepted", {}, "0000123", {announce("0000123"), accepted}, 1, 1);
            addRow("invalid address", {}, "0000008",
                   {announce("0000008"),
                    QStringLiteral("F {T}: ERROR - Invalid Address - Msg Rejected by Paging System - Msg Discarded"),
                    QStringLiteral("F {T}: Paging System: <NAK>03<EOT>")},
                   1, 0);
            addRow("buffer overflow four times", {nak + QStringLiteral("05:4")}, "0000123",
                   QStringList{announce("0000123"), overflow} + retry + QStringList{overflow} + retry +
                       QStringList{overflow} + retry +
                       QStringList{overflow, QStringLiteral("F ERROR - Retried 3 Times, Msg Discarded")},
                   0, 0);
            addRow("formatting error once", {nak + QStringLiteral("08:1")}, "0000123",
                   QStringList{announce("0000123"), QStringLiteral("F {T}: Msg Formatting Error, Resending Message")} +
                       retry + QStringList{accepted},
                   1, 1);
            addRow("other code", {nak + QStringLiteral("XX")}, "0000123",
                   {announce("0000123"), QStringLiteral("F {T}: Paging System: <NAK>XX<EOT>")}, 1, 0);
            addRow("silence", {QStringLiteral("drop_reply=page")}, "0000123",
                   {announce("0000123"), QStringLiteral("F {T}: ERROR - No Response from Paging System")}, 1, 1);
        }
        // An answer without EOT is taken when the second has passed.
        QTest::newRow("SCOPE ACK CR") << QByteArray("SCOPE") << QStringList{QStringLiteral("scope_reply=ack_cr")}
                                      << QByteArray("0000123")
                                      << QStringList{QStringLiteral("F Scope Output, PIN - '0000123', FC - 'D', MSG - 'Hi', DR - '512'"),
                                                     QStringLiteral("F {T}: Paging System: <ACK><CR>")}
                                      << 1 << 1;
    }
    void capcodes()
    {
        QFETCH(QByteArray, protocol);
        check(protocol.constData(), 0.25, [protocol](PagingFixture &, const QByteArray &capcode) {
            return protocol == "ZQ" ? OutKestrane(capcode, "Hi", "D", "512") : OutScope(capcode, "Hi", "D", "512");
        });
    }

    // A write that fails (the far end hung up, or the port is closed) ends the page with the
    // port's error; the COMP1 sender names a closed port in its own words. Only the COMP1
    // sender says 0: the others end their call as the encoder would have.
    void writeErrors_data()
    {
        QTest::addColumn<QByteArray>("protocol");
        QTest::addColumn<bool>("hangUp");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<int>("result");
        for (const auto &[protocol, announce] : kAnnounce) {
            QString error = QStringLiteral("ERROR - {E}");
            if (QByteArray(protocol) == "ZQ" || QByteArray(protocol) == "SCOPE")
                error = QStringLiteral("{T}: ") + error;
            if (*announce == 'F')
                error = QStringLiteral("F ") + error;
            for (const bool hangUp : {true, false})
                QTest::addRow("%s %s", protocol, hangUp ? "hung up" : "closed")
                    << QByteArray(protocol) << hangUp << QStringList{QLatin1String(announce), error} << 1;
        }
        QTest::newRow("COMP1 hung up") << QByteArray("COMP1") << true << QStringList{QStringLiteral("ERROR - {E}")} << 0;
        QTest::newRow("COMP1 closed")
            << QByteArray("COMP1") << false
            << QStringList{QStringLiteral("ERROR - COM Port Not Open, Message Discarded for Serial Port Plain Text Output")}
            << 0;
    }
    void writeErrors()
    {
        QFETCH(QByteArray, protocol);
        QFETCH(bool, hangUp);
        QFETCH(QStringList, expected);
        QFETCH(int, result);
        PagingFixture fx(protocol.constData(), {}, 0.05);
        QVERIFY(fx.ready);
        if (hangUp)
            fx.encoder->sim().hangup();
        else
            Link().MSComm1->setPortOpen(false);
        QCOMPARE(sendPage(protocol), result);
        // The error's text is the system's: any text will do.
        QStringList lines = fx.lines();
        lines.replaceInStrings(QRegularExpression(QStringLiteral("ERROR - (?!COM Port Not Open).+$")),
                               QStringLiteral("ERROR - {E}"));
        QCOMPARE(lines, expected);
    }

    // The console or the program closing ends a page's wait at once, and nothing more is logged;
    // a closed console or program sends nothing at all.
    void stopsWhenClosing_data()
    {
        QTest::addColumn<QByteArray>("protocol");
        QTest::addColumn<int>("when"); // 0: console closed before, 1: program closing before,
                                       // 2: console closes in the wait, 3: program closes in it
        QTest::addColumn<QStringList>("expected");
        for (const auto &[protocol, announce] : kAnnounce) {
            QTest::addRow("%s, console closed", protocol) << QByteArray(protocol) << 0 << QStringList();
            QTest::addRow("%s, program closing", protocol) << QByteArray(protocol) << 1 << QStringList();
            QTest::addRow("%s, console closes", protocol) << QByteArray(protocol) << 2 << QStringList{QLatin1String(announce)};
            QTest::addRow("%s, program closes", protocol) << QByteArray(protocol) << 3 << QStringList{QLatin1String(announce)};
        }
        QTest::newRow("COMP1, console closed") << QByteArray("COMP1") << 0 << QStringList();
    }
    void stopsWhenClosing()
    {
        QFETCH(QByteArray, protocol);
        QFETCH(int, when);
        QFETCH(QStringList, expected);
        PagingFixture fx(protocol.constData(), {}, 1.0);
        QVERIFY(fx.ready);
        fx.encoder->sim().powerOff(); // silence: every wait would run to its end
        // The console stays the current one, so that a line logged after the closing would show.
        const auto close = [when] { (when % 2 == 0 ? Link().bConsoleClosing : Link().bAppClosing) = true; };
        if (when < 2)
            close();
        else
            QTimer::singleShot(100, close);
        QCOMPARE(sendPage(protocol), 0);
        QCOMPARE(fx.lines(), expected);
        // What reached the line: the first frame when the closing came in its wait, else nothing.
        Link().MSComm1->Output("|");
        const auto written = [&fx] {
            QByteArray all;
            for (const encsim::Event &e : fx.encoder->sim().events())
                if (e.kind == encsim::EventKind::Input)
                    all += QByteArray::fromStdString(e.bytes);
            return all;
        };
        QTRY_VERIFY(written().endsWith('|'));
        QCOMPARE(written(), (when < 2 ? QByteArray() : firstFrame(protocol)) + '|');
    }
};

QTEST_GUILESS_MAIN(TestSenders)
#include "tst_senders.moc"
