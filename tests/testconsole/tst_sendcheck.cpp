// What a test page is checked against and how it goes to its sender: the capcode rule, the
// pager-ID forms of both encoder ports, the check's boxes, and the senders' arguments for a
// Send and for a range-test page.

#include <QtTest>

#include "model/database.h"
#include "model/state.h"
#include "support/scriptedboxes.h"
#include "testconsole/pagerid.h"
#include "testconsole/testpage.h"

namespace {

using V = PagerIDVerdict;

const QString CapcodeBoxText = QStringLiteral(
    "The Capcode value cannot include alpha characters\ror the following illegal Capcodes:\r\r"
    "0 through 8\r2007664 through 2007671\r2045056 through 2045063\ror greater than 2097143");

// Port 1 speaks TAP, port 2 Scope. Family 3 (defined, switched off) holds pager IDs 10 to 19,
// family 5 (100 to 109) is not defined; group 2 has the ID "0025".
struct Setup {
    EncoderConfig settings;
    PagerDatabase db;
    Setup()
    {
        settings.sPort1Protocol = "TAP";
        settings.sPort2Protocol = "SCOPE";
        db.Families[2] = {"0", "0001000", "5", "A", "3", "010", "0010", "00", "00", "YES"};
        db.Families[4] = {"1", "0002000", "5", "A", "3", "010", "0100", "00", "00", ""};
        db.PagerGroups[1][GrpID] = "0025";
        db.PagerGroups[1][GrpDefined] = "YES";
    }
};

} // namespace

class TestSendCheck : public QObject {
    Q_OBJECT
private slots:
    // Port 2 speaks Scope: capcode mode, whatever the database holds. Then the mode: "1" is
    // port 1, anything else port 2; Kestrane, Scope or ID-as-capcode mean capcode mode (5 is
    // neither a legal capcode nor a pager ID of the database: the box tells the modes apart).
    void capcodeRule()
    {
        Setup s;
        const struct { const char *typed; V::Result result; } rows[] = {
            {"8", V::Invalid},       {"9", V::Valid},         {"0000009", V::Valid},   {"2007663", V::Valid},
            {"2007664", V::Invalid}, {"2007671", V::Invalid}, {"2007672", V::Valid},   {"2045055", V::Valid},
            {"2045056", V::Invalid}, {"2045063", V::Invalid}, {"2045064", V::Valid},   {"2097143", V::Valid},
            {"2097144", V::Invalid}, {"12a", V::Invalid},     {"-12", V::Invalid},     {"2147483647", V::Invalid},
            // Not taken as a number: refused without a box of its own.
            {"", V::NotANumber},     {"2147483648", V::NotANumber},
        };
        for (const auto &r : rows) {
            const V v = CheckPagerID(r.typed, "2", s.settings, s.db);
            QVERIFY2(v.capcodeMode && v.result == r.result, r.typed);
            QCOMPARE(v.text, r.result == V::Invalid ? CapcodeBoxText : QString());
        }
        const struct { const char *port, *protocol1; bool cap1, capcodeMode; } modes[] = {
            {"1", "TAP", false, false}, {"", "TAP", false, true}, {"1", "ZQ", false, true}, {"1", "COMP2", true, true}};
        for (const auto &m : modes) {
            s.settings.sPort1Protocol = m.protocol1;
            s.settings.bPort1IDAsCap = m.cap1;
            const V v = CheckPagerID("5", m.port, s.settings, s.db);
            QVERIFY2(v.capcodeMode == m.capcodeMode && v.result == V::Invalid, m.protocol1);
            QCOMPARE(v.title, m.capcodeMode ? QStringLiteral("Invalid Capcode") : QStringLiteral("Invalid ID"));
        }
    }

    void pagerIDForms()
    {
        Setup s;
        s.settings.sPort2Protocol = "COMP2";
        const QByteArray numeric = "Expected Numeric Characters\rGot Alpha Characters";
        const QByteArray notThere = "Pager ID value not in current database";
        const struct { const char *port, *typed; V::Result result; QByteArray detail; } rows[] = {
            // Short forms: a defined family's range (bounds included), with a function letter.
            {"1", "10", V::Valid, ""}, {"1", "19", V::Valid, ""}, {"1", "9", V::Invalid, notThere},
            {"1", "20", V::Invalid, notThere}, {"1", "105", V::Invalid, notThere},
            {"1", "12a", V::Valid, ""}, {"1", "12E", V::Invalid, numeric}, {"1", "1a2", V::Invalid, numeric},
            {"1", "a", V::NotANumber, ""},
            // Group ID "0025": port 1 compares numbers, port 2 texts.
            {"1", "25", V::Valid, ""}, {"2", "0025", V::Valid, ""}, {"2", "25", V::Invalid, notThere},
            // Long forms are taken as they are: no look-up, no capcode rule.
            {"2", "1234A50", V::Valid, ""}, {"2", "9999999n24", V::Valid, ""},
            {"2", "1234X50", V::Invalid, "Expected A, a, N, n, 0, or 1\rGot X"},
            {"2", "1234A70", V::Invalid, "Expected 1, 2, or 5\rGot 7"},
            {"2", "1234A15", V::Invalid, "Expected 0, 1, 2, 3, or 4\rGot 5"},
            {"2", "12Z4A10", V::Invalid, numeric},
        };
        for (const auto &r : rows) {
            const V v = CheckPagerID(r.typed, r.port, s.settings, s.db);
            QVERIFY2(!v.capcodeMode && v.result == r.result, r.typed);
            QCOMPARE(v.sLastIDError, r.detail);
            if (r.result == V::Invalid)
                QCOMPARE(v.text, QStringLiteral("Pager ID value is incorrect.\r") + QString::fromLatin1(r.detail));
        }
    }

    // ValidatePagerID checks the program's settings and database and shows the check's box.
    void validationShowsItsBox()
    {
        const Setup s;
        EncoderSettings = s.settings;
        DB = s.db;
        ScriptedBoxes boxes;
        boxes.expect(QStringLiteral("Pager ID value is incorrect.\rExpected Numeric")).title(QStringLiteral("Invalid ID"))
            .buttons(MsgButtons::OK).icon(MsgIcon::None);
        boxes.expect(CapcodeBoxText).title(QStringLiteral("Invalid Capcode")).buttons(MsgButtons::OK).icon(MsgIcon::None);
        Run.sTestPort = "1";
        QVERIFY(!ValidatePagerID("1x") && ValidatePagerID("15"));
        Run.sTestPort = "2";
        QVERIFY(!ValidatePagerID("2097144") && !ValidatePagerID("") && ValidatePagerID("15"));
        boxes.verifyAllShown();
        QCOMPARE(boxes.shown().size(), 2);
        ResetProgramState();
    }

    // A range-test page differs from a Send's for COMP2 and SNPP.
    void pagesForTheSenders()
    {
        const auto senderOf = [](const char *protocol) { return SenderOf(*FindPagingProtocol(protocol)); };
        const PageSender TAP = senderOf("TAP"), COMP2 = senderOf("COMP2"), Kestrane = senderOf("ZQ"), SNPP = senderOf("SNPP");
        const struct { const char *protocol, *typed; int fc, rate; bool range; PageSender sender; const char *id, *code, *rateText; } rows[] = {
            {"PET", "123", 0, 0, false, TAP, "123", "", ""},
            {"COMP2", "1234567", 0, -1, false, COMP2, "1234567", "A", ""},
            {"COMP2", "12345678", 0, -1, false, COMP2, "12345678", "", ""},
            {"COMP2", "12345678", 0, -1, true, COMP2, "12345678", "A", ""},
            {"ZQ", "123", 3, 2, false, Kestrane, "0000123", "D", "2400"},
            {"SNPP", "123", 1, 0, false, SNPP, "123", "", ""},
            {"SNPP", "123", 1, 0, true, SNPP, "0000123", "B", ""},
            {"tap", "123", 3, 0, false, nullptr, "", "", ""},
        };
        for (const auto &r : rows) {
            const TestPage p = (r.range ? RangeTestPage : SendMsgPage)(r.protocol, r.typed, "Hi", r.fc, r.rate);
            QVERIFY2(p.sender == r.sender && p.pagerID == r.id && p.functionCode == r.code && p.rate == r.rateText,
                     qPrintable(QStringLiteral("%1 %2 %3").arg(r.protocol, r.typed).arg(r.range)));
        }
        EncoderConfig settings;
        settings.sPort1Protocol = "ZQ";
        settings.sPort2Protocol = "SNPP";
        QCOMPARE(AttachedPortProtocol("1", settings) + AttachedPortProtocol("", settings), QByteArray("ZQSNPP"));
    }
};

QTEST_GUILESS_MAIN(TestSendCheck)
#include "tst_sendcheck.moc"
