// What a test page is checked against and how it goes to its sender: the capcode rule and the
// pager-ID forms of both encoder ports, the check's boxes, the senders' arguments for a Send and
// for a range-test page, and the guard that keeps a second page off the line.

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

// Port 1 speaks TAP, port 2 Scope; neither takes IDs as capcodes. Family 3 (defined, switched
// off) holds pager IDs 10 to 19, family 5 is not defined; group 2 has the ID "0025" stored.
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
    void capcodeRule_data()
    {
        QTest::addColumn<QByteArray>("typed");
        QTest::addColumn<int>("result");
        const struct { const char *typed; int result; } rows[] = {
            {"8", V::Invalid},         {"9", V::Valid},           {"0000009", V::Valid},
            {"00000008", V::Invalid},  {"2007663", V::Valid},     {"2007664", V::Invalid},
            {"2007671", V::Invalid},   {"2007672", V::Valid},     {"2045055", V::Valid},
            {"2045056", V::Invalid},   {"2045063", V::Invalid},   {"2045064", V::Valid},
            {"2097143", V::Valid},     {"2097144", V::Invalid},   {"2147483647", V::Invalid},
            {"12a", V::Invalid},       {" 12", V::Invalid},       {"-12", V::Invalid},
            {"", V::NotANumber},       {"2147483648", V::NotANumber}, {"9999999999", V::NotANumber},
        };
        for (const auto &r : rows)
            QTest::newRow(r.typed) << QByteArray(r.typed) << r.result;
    }
    // Port 2 speaks Scope: capcode mode whatever the database holds.
    void capcodeRule()
    {
        QFETCH(QByteArray, typed);
        QFETCH(int, result);
        const Setup s;
        const V v = CheckPagerID(typed, "2", s.settings, s.db);
        QVERIFY(v.capcodeMode);
        QCOMPARE(int(v.result), result);
        if (result == V::Invalid)
            QCOMPARE(v.text, CapcodeBoxText);
    }

    // Which port's settings choose the mode: "1" is port 1, anything else port 2; Kestrane and
    // Scope, or ID-as-capcode, mean capcode mode.
    void modeOfTheAttachedPort()
    {
        const struct { const char *port, *protocol1, *protocol2; bool cap1, cap2, capcodeMode; } rows[] = {
            {"1", "TAP", "SCOPE", false, false, false}, {"2", "TAP", "SCOPE", false, false, true},
            {"", "TAP", "SCOPE", false, false, true},   {"1", "SCOPE", "TAP", false, false, true},
            {"1", "ZQ", "TAP", false, false, true},     {"1", "COMP2", "TAP", true, false, true},
            {"2", "ZQ", "SNPP", false, false, false},   {"2", "SNPP", "PET", true, true, true},
        };
        for (const auto &r : rows) {
            Setup s;
            s.settings.sPort1Protocol = r.protocol1;
            s.settings.sPort2Protocol = r.protocol2;
            s.settings.bPort1IDAsCap = r.cap1;
            s.settings.bPort2IDAsCap = r.cap2;
            // 5 is neither a legal capcode nor a pager ID of the database: the box tells the modes apart.
            const V v = CheckPagerID("5", r.port, s.settings, s.db);
            QVERIFY2(v.capcodeMode == r.capcodeMode && v.result == V::Invalid, r.port);
            QCOMPARE(v.title, r.capcodeMode ? QStringLiteral("Invalid Capcode") : QStringLiteral("Invalid ID"));
        }
    }

    void pagerIDForms_data()
    {
        QTest::addColumn<QByteArray>("port");
        QTest::addColumn<QByteArray>("typed");
        QTest::addColumn<int>("result");
        QTest::addColumn<QByteArray>("detail");
        const QByteArray numeric = "Expected Numeric Characters\rGot Alpha Characters";
        const QByteArray notThere = "Pager ID value not in current database";
        const struct { const char *port, *typed; int result; QByteArray detail; } rows[] = {
            // Short forms: a family's range (switched off but defined), bounds included.
            {"1", "10", V::Valid, ""}, {"1", "19", V::Valid, ""}, {"1", "9", V::Invalid, notThere},
            {"1", "20", V::Invalid, notThere}, {"1", "0019", V::Valid, ""},
            {"1", "12a", V::Valid, ""}, {"1", "12D", V::Valid, ""}, {"1", "12E", V::Invalid, numeric},
            {"1", "1a2", V::Invalid, numeric}, {"1", "a", V::NotANumber, ""},
            // An undefined family counts for nothing.
            {"1", "105", V::Invalid, notThere},
            // Group ID "0025": port 1 compares numbers, port 2 texts.
            {"1", "25", V::Valid, ""}, {"1", "0025", V::Valid, ""}, {"2", "0025", V::Valid, ""},
            {"2", "25", V::Invalid, notThere},
            // Long forms are taken as they are: no look-up, no capcode rule.
            {"2", "1234A50", V::Valid, ""}, {"2", "9999999n24", V::Valid, ""},
            {"2", "1234X50", V::Invalid, "Expected A, a, N, n, 0, or 1\rGot X"},
            {"2", "1234A70", V::Invalid, "Expected 1, 2, or 5\rGot 7"},
            {"2", "1234A15", V::Invalid, "Expected 0, 1, 2, 3, or 4\rGot 5"},
            {"2", "12Z4A10", V::Invalid, numeric},
        };
        for (const auto &r : rows)
            QTest::addRow("port %s %s", r.port, r.typed) << QByteArray(r.port) << QByteArray(r.typed) << r.result << r.detail;
    }
    void pagerIDForms()
    {
        QFETCH(QByteArray, port);
        QFETCH(QByteArray, typed);
        QFETCH(int, result);
        QFETCH(QByteArray, detail);
        Setup s;
        s.settings.sPort2Protocol = "COMP2";
        const V v = CheckPagerID(typed, port, s.settings, s.db);
        QVERIFY(!v.capcodeMode);
        QCOMPARE(int(v.result), result);
        QCOMPARE(v.sLastIDError, detail);
        if (result == V::Invalid)
            QCOMPARE(v.text, QStringLiteral("Pager ID value is incorrect.\r") + QString::fromLatin1(detail));
    }

    // An empty text cannot be looked up as a number: it fails without a box of its own once it
    // meets a defined family or, on port 1, a defined group; port 2 compares group IDs as texts,
    // and with nothing to meet the text is not in the database.
    void lookUpEdges()
    {
        Setup s;
        s.settings.sPort2Protocol = "TAP";
        QCOMPARE(CheckPagerID("12b", "1", s.settings, s.db).checked, QByteArray("12"));
        QCOMPARE(int(CheckPagerID("", "2", s.settings, s.db).result), int(V::NotANumber));
        s.db.Families[2][FamDefined] = "";
        QCOMPARE(int(CheckPagerID("", "1", s.settings, s.db).result), int(V::NotANumber));
        QCOMPARE(int(CheckPagerID("", "2", s.settings, s.db).result), int(V::Invalid));
        s.db.PagerGroups[1][GrpDefined] = "";
        QCOMPARE(CheckPagerID("", "1", s.settings, s.db).sLastIDError, QByteArray("Pager ID value not in current database"));
        // A defined family whose quantity is no number cannot be looked in.
        s.db.Families[2] = {"1", "0001000", "5", "A", "3", "", "0010", "00", "00", "YES"};
        QCOMPARE(int(CheckPagerID("10", "1", s.settings, s.db).result), int(V::NotANumber));
    }

    // ValidatePagerID works on the program's settings and database and shows the check's box.
    void validationShowsItsBox()
    {
        ResetProgramState();
        const Setup s;
        EncoderSettings = s.settings;
        DB = s.db;
        ScriptedBoxes boxes;
        Run.sTestPort = "1";
        boxes.expect(QStringLiteral("Pager ID value is incorrect.\rExpected Numeric Characters\rGot Alpha Characters"))
            .title(QStringLiteral("Invalid ID")).buttons(MsgButtons::OK).icon(MsgIcon::None);
        QVERIFY(!ValidatePagerID("1x"));
        QVERIFY(ValidatePagerID("15"));
        Run.sTestPort = "2";
        boxes.expect(CapcodeBoxText).title(QStringLiteral("Invalid Capcode")).buttons(MsgButtons::OK).icon(MsgIcon::None);
        QVERIFY(!ValidatePagerID("2097144"));
        QVERIFY(!ValidatePagerID("")); // no box of its own
        QVERIFY(ValidatePagerID("15"));
        boxes.verifyAllShown();
        QCOMPARE(boxes.shown().size(), 2);
        ResetProgramState();
    }

    // The senders' arguments: a Send and a range-test page differ for COMP2 and SNPP.
    void pagesForTheSenders()
    {
        using S = PageSender;
        const struct { const char *protocol, *typed; int fc, rate; bool range; S sender; const char *id, *code, *rate_; } rows[] = {
            {"TAP", "123", 3, -1, false, S::TAP, "123", "", ""},
            {"PET", "123", 0, 0, true, S::TAP, "123", "", ""},
            {"COMP1", "42", 3, -1, false, S::COMP1, "", "", ""},
            {"COMP2", "1234567", 0, -1, false, S::COMP2, "1234567", "A", ""},
            {"COMP2", "12345678", 0, -1, false, S::COMP2, "12345678", "", ""},
            {"COMP2", "12345678", 0, -1, true, S::COMP2, "12345678", "A", ""},
            {"ZQ", "123", 3, 2, false, S::Kestrane, "0000123", "D", "2400"},
            {"ZQ", "12345678", 1, 0, false, S::Kestrane, "12345678", "B", "512"},
            {"SCOPE", "5", 2, 1, true, S::Scope, "0000005", "C", "1200"},
            {"SCOPE", "", -1, -1, false, S::Scope, "0000000", "D", "2400"},
            {"SNPP", "123", 1, 0, false, S::SNPP, "123", "", ""},
            {"SNPP", "123", 1, 0, true, S::SNPP, "0000123", "B", ""},
            {"tap", "123", 3, 0, false, S::None, "", "", ""},
        };
        for (const auto &r : rows) {
            const TestPage p = r.range ? RangeTestPage(r.protocol, r.typed, "Hello", r.fc, r.rate)
                                       : SendMsgPage(r.protocol, r.typed, "Hello", r.fc, r.rate);
            const QByteArray row = QByteArray(r.protocol) + ' ' + r.typed + (r.range ? " range" : " send");
            QVERIFY2(p.sender == r.sender, row);
            QCOMPARE(p.pagerID, QByteArray(r.id));
            QCOMPARE(p.functionCode, QByteArray(r.code));
            QCOMPARE(p.rate, QByteArray(r.rate_));
            QCOMPARE(p.message, r.sender == S::None ? QByteArray() : QByteArray("Hello"));
        }
        EncoderConfig settings;
        settings.sPort1Protocol = "ZQ";
        settings.sPort2Protocol = "SNPP";
        QCOMPARE(AttachedPortProtocol("1", settings), QByteArray("ZQ"));
        for (const char *port : {"2", "", "3"})
            QCOMPARE(AttachedPortProtocol(port, settings), QByteArray("SNPP"));
    }

    // Only the first of nested pages holds the line.
    void onePageOnTheLine()
    {
        QVERIFY(!PageInFlight::Active());
        {
            PageInFlight first;
            QVERIFY(first && PageInFlight::Active());
            {
                PageInFlight second;
                QVERIFY(!second);
            }
            QVERIFY(PageInFlight::Active());
        }
        QVERIFY(!PageInFlight::Active());
    }
};

QTEST_GUILESS_MAIN(TestSendCheck)
#include "tst_sendcheck.moc"
