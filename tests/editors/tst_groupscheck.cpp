// The groups check against the families, the completeness pass of the groups editor's OK and
// the COMP1 default-pager test, without any window.

#include <QtTest>

#include "editors/grouprecord.h"
#include "editors/groupscheck.h"
#include "model/database.h"
#include "model/state.h"
#include "protocols/protocoltable.h"

#include <utility>
#include <vector>

namespace {

void setFamily(int row, const QByteArray &startID, const QByteArray &qty, const QByteArray &active = "1",
               const QByteArray &defined = "YES")
{
    DB.Families[row] = {active, "1000000", "5", "A", "3", qty, startID, "00", "00", defined};
}

QByteArrayList pagerIDs(int index)
{
    QByteArrayList ids;
    for (int k = 0; k < 4; ++k)
        ids << DB.PagerGroups[index][GrpPagerID1 + k];
    return ids;
}

} // namespace

class TestGroupsCheck : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        ResetProgramState();
        ResetDatabase();
        Run.bDBMatchesEncoder = true;
        bGroupsEdited = true;
        bPagerIDsAdjusted = false;
    }

    // Family 1 holds 100..109 (active), family 2 holds 200..209 but is off, family 3 holds
    // 300..309 but is not in use, family 4 and 5 have fields that are no numbers.
    void pagerIDsNoActiveFamilyHoldsAreCleared_data()
    {
        QTest::addColumn<QByteArray>("id");
        QTest::addColumn<bool>("kept");
        QTest::newRow("first of range") << QByteArray("100") << true;
        QTest::newRow("last of range") << QByteArray("0109") << true;
        QTest::newRow("leading zeros") << QByteArray("0042") << true;
        QTest::newRow("one past") << QByteArray("110") << false;
        QTest::newRow("one below") << QByteArray("99") << false;
        QTest::newRow("inactive family") << QByteArray("205") << false;
        QTest::newRow("undefined family") << QByteArray("305") << false;
        QTest::newRow("bad family fields") << QByteArray("400") << false;
        QTest::newRow("not a number") << QByteArray("10a") << false;
        QTest::newRow("blank inside") << QByteArray("1 00") << false;
        QTest::newRow("empty") << QByteArray("") << false;
    }
    void pagerIDsNoActiveFamilyHoldsAreCleared()
    {
        QFETCH(QByteArray, id);
        QFETCH(bool, kept);
        setFamily(0, "0100", "010");
        setFamily(1, "0200", "010", "0");
        setFamily(2, "0300", "010", "1", "");
        setFamily(3, "04x0", "010");
        setFamily(4, "0400", "");
        setFamily(5, "0040", "003");
        DB.PagerGroups[2] = group("0012", "1", {"0101", id});

        const GroupsCheckResult r = CheckGroupPagerIDs();
        QVERIFY(r.ok && !r.cancelled && !bGroupsEdited);
        QCOMPARE(pagerIDs(2), QByteArrayList({"0101", kept ? id : "0000", "0000", "0000"}));
        QCOMPARE(r.cleared.size(), kept ? 0 : 1);
        QCOMPARE(bPagerIDsAdjusted, !kept);
        // A cleared pager ID is a change of the database.
        QCOMPARE(Run.bDBMatchesEncoder, kept);
    }

    // Only groups in use and on are looked at; without any family in use every pager ID of
    // those goes, in order.
    void onlyGroupsInUseAndOnAreChecked()
    {
        DB.PagerGroups[0] = group("0012", "1", {"0101", "0000", "0102"});
        DB.PagerGroups[1] = group("0013", "0", {"0101"});
        DB.PagerGroups[2] = group("0014", "1", {"0101"}, "");
        DB.PagerGroups[3] = group("0015", "1", {"0101"}, "NO");
        DB.PagerGroups[9] = group("0016", "1", {"0000", "0000", "0000", "0005"});
        const GroupsCheckResult r = CheckGroupPagerIDs();
        QVERIFY(r.ok);
        QList<std::pair<int, int>> cleared;
        for (const ClearedPagerID &c : r.cleared)
            cleared.append({c.group, c.pagerID});
        QCOMPARE(cleared, (QList<std::pair<int, int>>{{0, 0}, {0, 2}, {9, 3}}));
        for (int i : {1, 2, 3})
            QCOMPARE(pagerIDs(i).first(), QByteArray("0101"));
    }

    // A cancel ends the check at once (here inside group 2's first search, after group 1's
    // 1 + 20 + 2 x 50 yields): what it cleared stays cleared, and it is not counted as checked.
    void aCancelKeepsWhatWasClearedAndTheEditedMark()
    {
        DB.PagerGroups[0] = group("0012", "1", {"0101", "0102"});
        DB.PagerGroups[1] = group("0013", "1", {"0101"});
        int yields = 0;
        bool cancel = true; // left over from an earlier operation: cleared at the start
        const GroupsCheckResult r = CheckGroupPagerIDs({{}, [&] { return ++yields >= 130 || cancel; }, [&] { cancel = false; }});
        QVERIFY(r.cancelled && !r.ok && bGroupsEdited && bPagerIDsAdjusted && yields == 130);
        QCOMPARE(pagerIDs(0).mid(0, 2) + pagerIDs(1).mid(0, 1), QByteArrayList({"0000", "0000", "0101"}));
    }

    // OK's pass: which groups are complete, which lose their Defined mark, which are marked in
    // use however their fields were typed, and which flags go off for want of a message.
    void theOkPassSettlesEveryGroupThatIsNotOff()
    {
        struct Case { PagerGroupRec g; QByteArray defined; bool incomplete; QByteArray timer; };
        const Case cases[] = {
            {group("0012", "1", {"0101"}, ""), "YES", false, "0"},            // pager ID typed before the group ID
            {group("0000", "1", {"0101"}, "", "1", "03"), "YES", false, "1"}, // timer message chosen first
            {group("0012", "1", {}, "YES"), "", true, "0"},                   // no pager ID
            {group("0000", "1", {"0101"}, "YES", "1", "00"), "", true, "0"},  // timer without message
            {group("0012", "0", {}, "YES"), "YES", false, "0"},               // off: left alone
            {group("0012", "1", {"0101"}, "NO", "1", "None"), "YES", false, "1"},
        };
        for (size_t i = 0; i < std::size(cases); ++i)
            DB.PagerGroups[i] = cases[i].g;
        DB.PagerGroups[6].fill(QByteArray()); // never set: complete by the rule, but names no pager
        const GroupsSettled s = SettleGroups();
        QVERIFY(s.incomplete && s.changed && !Run.bDBMatchesEncoder);
        QCOMPARE(s.timersSwitchedOff, QList<int>({3}));
        for (size_t i = 0; i < std::size(cases); ++i) {
            QCOMPARE(DB.PagerGroups[i][GrpDefined], cases[i].defined);
            QCOMPARE(DB.PagerGroups[i][GrpTimerActive], cases[i].timer);
        }
        QCOMPARE(DB.PagerGroups[6][GrpDefined], QByteArray());

        // A second pass finds nothing to change; at unload the groups not in use are emptied.
        Run.bDBMatchesEncoder = true;
        QVERIFY(!SettleGroups().changed && Run.bDBMatchesEncoder);
        DB.PagerGroups[2][GrpReference] = "REF";
        ResetUndefinedGroups();
        PagerGroupRec empty = group("0000", "0", {}, "");
        QCOMPARE(DB.PagerGroups[2], empty);
        QCOMPARE(DB.PagerGroups[6], empty);
        QCOMPARE(DB.PagerGroups[0][GrpID], QByteArray("0012"));
    }

    // COMP1 pages Pager ID 1 of group 1 when nothing else is named: without it the first port
    // on COMP1 goes to the protocols' default (TAP; PET in a table that lists PET first), and
    // the database no longer matches the encoder. The port is found by its row's flag, not by
    // the code "COMP1".
    void comp1WithoutDefaultPagerFallsBackToTap()
    {
        struct Case { const char *active, *pagerID1, *ports, *after; bool switched; };
        const Case cases[] = {{"1", "0000", "TAP/COMP1", "TAP/TAP", true},
                              {"1", "", "COMP1/COMP1", "TAP/COMP1", true},
                              {"1", "0101", "COMP1/COMP1", "COMP1/COMP1", false},
                              {"0", "0000", "TAP/SNPP", "TAP/SNPP", false}};
        for (const Case &c : cases) {
            Run.bDBMatchesEncoder = true;
            DB.PagerGroups[0] = group("0012", c.active, {c.pagerID1});
            const QByteArrayList ports = QByteArray(c.ports).split('/');
            EncoderSettings.sPort1Protocol = ports[0];
            EncoderSettings.sPort2Protocol = ports[1];
            QCOMPARE(SwitchCOMP1PortWithoutDefaultPager() != 0, c.switched);
            QCOMPARE(EncoderSettings.sPort1Protocol + '/' + EncoderSettings.sPort2Protocol, QByteArray(c.after));
            QCOMPARE(Run.bDBMatchesEncoder, !c.switched);
        }
        std::vector<PagingProtocol> table(PagingProtocols().begin(), PagingProtocols().end());
        {
            std::vector<PagingProtocol> petFirst = table;
            std::swap(petFirst[0], petFirst[1]);
            const PagingProtocolsReplaced replaced(petFirst);
            EncoderSettings.sPort2Protocol = "COMP1";
            QCOMPARE(SwitchCOMP1PortWithoutDefaultPager(), 2);
            QCOMPARE(EncoderSettings.sPort2Protocol, QByteArray("PET"));
        }
        for (PagingProtocol &p : table)
            p.defaultPager = qstrcmp(p.code, "SNPP") == 0;
        const PagingProtocolsReplaced flagOnSNPP(table);
        EncoderSettings.sPort1Protocol = "COMP1";
        EncoderSettings.sPort2Protocol = "SNPP";
        QCOMPARE(SwitchCOMP1PortWithoutDefaultPager(), 2);
        QCOMPARE(EncoderSettings.sPort1Protocol + '/' + EncoderSettings.sPort2Protocol, QByteArray("COMP1/TAP"));
    }
};

QTEST_GUILESS_MAIN(TestGroupsCheck)
#include "tst_groupscheck.moc"
