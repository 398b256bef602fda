#include <QtTest>

#include "encoder/lookup.h"
#include "encoder/transferfixture.h"
#include "support/linktestaccess.h"

using Label = TerminalView::Label;

// The lookup's replace-all, the rewriting of the encoder's answer, the local capcode check, and
// the lookup itself through the link against the simulated encoder.
class TestLookup : public QObject {
    Q_OBJECT

private slots:
    void replaceTextGoesOnAfterEachReplacement_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("search");
        QTest::addColumn<QByteArray>("replacement");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("every occurrence") << QByteArray("a list list") << QByteArray("list")
                                          << QByteArray("Group") << QByteArray("a Group Group");
        QTest::newRow("no overlaps") << QByteArray("aaa") << QByteArray("aa") << QByteArray("b")
                                     << QByteArray("ba");
        QTest::newRow("inserted text not searched again")
            << QByteArray("list") << QByteArray("list") << QByteArray("listlist")
            << QByteArray("listlist");
        QTest::newRow("case matters") << QByteArray("List") << QByteArray("list")
                                      << QByteArray("Group") << QByteArray("List");
        QTest::newRow("empty text") << QByteArray() << QByteArray("list") << QByteArray("Group")
                                    << QByteArray();
        QTest::newRow("empty search") << QByteArray("abc") << QByteArray() << QByteArray("x")
                                      << QByteArray("abc");
        QTest::newRow("shorter replacement") << QByteArray("xxabxxab") << QByteArray("ab")
                                             << QByteArray("") << QByteArray("xxxx");
        QTest::newRow("at both ends, overlapping candidates")
            << QByteArray("aaaXaaa") << QByteArray("aa") << QByteArray("b") << QByteArray("baXba");
        QTest::newRow("a long text of many occurrences")
            << QByteArray("list ").repeated(20000) << QByteArray("list") << QByteArray("Group")
            << QByteArray("Group ").repeated(20000);
    }
    void replaceTextGoesOnAfterEachReplacement()
    {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, search);
        QFETCH(QByteArray, replacement);
        QFETCH(QByteArray, expected);
        const QByteArray before = text;
        QCOMPARE(ReplaceText(text, search, replacement), expected);
        QCOMPARE(text, before);
    }

    void theEncodersWordsAreRewritten()
    {
        QCOMPARE(LookupCommand("123"), QByteArray("LOOKUP 123\r\n"));
        QCOMPARE(LookupCommand(""), QByteArray("LOOKUP \r\n"));
        QCOMPARE(RewriteLookupReply("ID 123 capcode 1234023, msg enc:A, baud:512 func bits:11\r\n"),
                 QByteArray("ID 123, Cap=1234023, Type=A, Rate=512, Func=4\r\n"));
        QCOMPARE(RewriteLookupReply("ID 12 is list 3\n\r"), QByteArray("ID 12 is Group 3\n\r"));
        for (const char *bits : {"00", "01", "10"}) {
            const QByteArray func = QByteArray::number(QByteArray(bits).toInt(nullptr, 2) + 1);
            QCOMPARE(RewriteLookupReply(QByteArray("x func bits:") + bits),
                     QByteArray("x, Func=") + func);
        }
        QCOMPARE(RewriteLookupReply("ID 9 not found\r\n"), QByteArray("ID 9 not found\r\n"));
    }

    void capcodeCheck_data()
    {
        QTest::addColumn<QByteArray>("entry");
        QTest::addColumn<int>("result");
        QTest::addColumn<QByteArray>("capcode");
        const int ok = CapcodeCheck::Valid, bad = CapcodeCheck::Refused,
                  large = CapcodeCheck::RefusedTooLarge;
        QTest::newRow("123") << QByteArray("123") << ok << QByteArray("0000123");
        QTest::newRow("0000009") << QByteArray("0000009") << ok << QByteArray("0000009");
        QTest::newRow("long with zeros") << QByteArray("0000000009") << ok << QByteArray("0000000009");
        QTest::newRow("8") << QByteArray("8") << bad << QByteArray();
        QTest::newRow("0") << QByteArray("0") << bad << QByteArray();
        QTest::newRow("2097143") << QByteArray("2097143") << ok << QByteArray("2097143");
        QTest::newRow("2097144") << QByteArray("2097144") << large << QByteArray();
        QTest::newRow("beyond 32 bits") << QByteArray("9999999999") << large << QByteArray();
        QTest::newRow("2^31") << QByteArray("2147483648") << large << QByteArray();
        for (const char *v : {"2007663", "2007672", "2045055", "2045064"})
            QTest::newRow(v) << QByteArray(v) << ok << QByteArray(v);
        for (const char *v : {"2007664", "2007671", "2045056", "2045063"})
            QTest::newRow(v) << QByteArray(v) << bad << QByteArray();
        QTest::newRow("letters") << QByteArray("12a") << bad << QByteArray();
        QTest::newRow("point") << QByteArray("1.5") << bad << QByteArray();
        QTest::newRow("leading blank") << QByteArray(" 12") << bad << QByteArray();
        QTest::newRow("empty") << QByteArray() << bad << QByteArray();
    }
    void capcodeCheck()
    {
        QFETCH(QByteArray, entry);
        QFETCH(int, result);
        QFETCH(QByteArray, capcode);
        const CapcodeCheck check = CheckLookupCapcode(entry);
        QCOMPARE(int(check.result), result);
        QCOMPARE(check.capcode, capcode);
    }

    // The lookup against the demo encoder (family 1: pager IDs 100 to 149 from capcode 1234000,
    // alpha, 512 bps, function 4; group 1 with the ID 10): the answer in the program's words,
    // its endings and the time-out.
    void theEncoderIsAsked()
    {
        // The encoder answers at a twentieth of real time; the program waits its 4000 ms in real
        // time, so that an answer (not a loaded machine) ends each lookup that has one.
        TransferFixture fx(0.05);
        QVERIFY(fx.connectTo(encsim::DeviceState::demo()));
        SetTimeScale(1.0);
        const auto lookUp = [&](const char *id) {
            const std::size_t before = fx.sim().eventCount();
            LookupPagerID(id);
            // The command as the encoder took it in; unanswered, it may be read after the wait.
            (void)QTest::qWaitFor([&] { return fx.sent(before).join().endsWith('\n'); }, 5000);
            return fx.sent(before);
        };
        QCOMPARE(lookUp("123"), QList<QByteArray>{"LOOKUP 123\r\n"});
        QCOMPARE(fx.view.label(Label::LookupResponse), QStringLiteral("Response: ID 123, Cap=1234023, Type=A, Rate=512, Func=4"));
        QCOMPARE(lookUp("10"), QList<QByteArray>{"LOOKUP 10\r\n"});
        QCOMPARE(fx.view.label(Label::LookupResponse), QStringLiteral("Response: ID 10 is Group 1"));
        lookUp("999");
        QCOMPARE(fx.view.label(Label::LookupResponse), QStringLiteral("Response: ID 999 not found"));
        // An empty box is asked all the same.
        QCOMPARE(lookUp(""), QList<QByteArray>{"LOOKUP \r\n"});
        QCOMPARE(fx.view.label(Label::LookupResponse), QStringLiteral("Response: Invalid ID"));
        QCOMPARE(Link().replyInterval().count(), 4000);
        QVERIFY(!LinkTestAccess::replyTimer(Link()).Enabled());

        // A line feed followed by a carriage return ends the answer as well, before the time-out.
        QSignalSpy timeouts(&LinkTestAccess::replyTimer(Link()), &WindowTimer::Timer);
        QVERIFY(fx.sim().setKnob("lookup_ending", "lfcr"));
        lookUp("201");
        QCOMPARE(timeouts.count(), 0);
        QCOMPARE(fx.view.label(Label::LookupResponse), QStringLiteral("Response: ID 201, Cap=1300001, Type=N, Rate=1200, Func=1"));

        // No ending: what arrived is shown once the 4000 ms have passed (a second of real time,
        // for the answer to come in); no answer: nothing (nothing is to come in the wait).
        QVERIFY(fx.sim().setKnob("lookup_ending", "none"));
        SetTimeScale(0.25);
        lookUp("101");
        QCOMPARE(timeouts.count(), 1);
        QCOMPARE(fx.view.label(Label::LookupResponse), QStringLiteral("Response: ID 101, Cap=1234001, Type=A, Rate=512, Func=4"));
        QVERIFY(fx.sim().setKnob("drop_reply", "LOOKUP"));
        SetTimeScale(0.05);
        lookUp("102");
        QCOMPARE(fx.view.label(Label::LookupResponse), QStringLiteral("Response: "));
        SetTimeScale(1.0);

        // With increment-by-8 on, the warning comes first and the lookup follows.
        QVERIFY(fx.sim().setKnob("lookup_ending", "crlf"));
        EncoderSettings.bIncCapBy8 = true;
        const std::size_t before = fx.sim().eventCount();
        QList<QByteArray> sentAtTheBox{"<not shown>"};
        fx.boxes.expect(QStringLiteral("Increment Capcodes by 8 Mode is Active.  You May Need\r"
                                       "to Close and Open the COM Port to Restart the Encoder,\r"
                                       "in Order to Obtain Valid Lookup Results"))
            .title(QStringLiteral("Increment Capcodes by 8 Mode Active"))
            .buttons(MsgButtons::OK)
            .icon(MsgIcon::None)
            .then([&] { sentAtTheBox = fx.sent(before); });
        QCOMPARE(lookUp("124"), QList<QByteArray>{"LOOKUP 124\r\n"});
        QVERIFY(fx.boxes.verifyAllShown());
        QVERIFY(sentAtTheBox.isEmpty());
        QCOMPARE(fx.view.label(Label::LookupResponse), QStringLiteral("Response: ID 124, Cap=1234024, Type=A, Rate=512, Func=4"));
    }

    // A line that sends the command back first: its line ending is not the answer's.
    void anEchoIsNotTheAnswer_data()
    {
        QTest::addColumn<QString>("echo");
        QTest::newRow("echo") << "on";
        QTest::newRow("echo with CR LF") << "crlf";
        QTest::newRow("echo of the text and CR") << "cr";
    }
    void anEchoIsNotTheAnswer()
    {
        QFETCH(QString, echo);
        TransferFixture fx(0.05);
        QVERIFY(fx.connectTo(encsim::DeviceState::demo(), {{"pacing", "burst"}, {"echo", echo.toStdString()}}));
        SetTimeScale(1.0); // the answer ends the wait
        QSignalSpy timeouts(&LinkTestAccess::replyTimer(Link()), &WindowTimer::Timer);
        LookupPagerID("123");
        QCOMPARE(fx.view.label(Label::LookupResponse), QStringLiteral("Response: ID 123, Cap=1234023, Type=A, Rate=512, Func=4"));
        QCOMPARE(timeouts.count(), 0);
        QVERIFY(fx.received().startsWith("LOOKUP 123\r"));
    }

    // Port 1 takes pager IDs as capcodes: the lookup checks the capcode itself and asks nothing.
    void capcodeModeAnswersLocally()
    {
        TransferFixture fx(0.05);
        QVERIFY(fx.connectTo(encsim::DeviceState::demo()));
        EncoderSettings.bPort1IDAsCap = true;
        LookupPagerID("123");
        QCOMPARE(fx.view.label(Label::LookupResponse), QStringLiteral("ID \"123\", Cap=0000123, Type=A, Rate=512 Func=4"));

        const QString rest = QStringLiteral("\rThe Capcode value cannot include alpha characters\r"
                                            "or the following illegal Capcodes:\r\r0 through 8\r"
                                            "2007664 through 2007671\r2045056 through 2045063\r"
                                            "or greater than 2097143");
        const QString forPort1 = QStringLiteral("Pager ID as Capcode mode is active for Port 1") + rest;
        const QString tooLarge = QStringLiteral("Pager ID as Capcode mode is active") + rest;
        for (const QString &text : {forPort1, tooLarge, forPort1, tooLarge, forPort1})
            fx.boxes.expect(text).title(QStringLiteral("Invalid Capcode")).buttons(MsgButtons::OK).icon(MsgIcon::None);
        for (const char *entry : {"12a", "2097144", "", "9999999999", "2045060"})
            LookupPagerID(entry);
        QVERIFY(fx.boxes.verifyAllShown());
        QVERIFY(fx.sent().isEmpty());
        QCOMPARE(fx.view.label(Label::LookupResponse), QStringLiteral("ID \"123\", Cap=0000123, Type=A, Rate=512 Func=4"));
        QVERIFY(!HourglassShown());
    }
};

QTEST_MAIN(TestLookup)
#include "tst_lookup.moc"
