// The table of the paging protocols on its own: every row is whole, the default is offered by
// every encoder, and each firmware offers its rows.

#include <QtTest>

#include "protocols/protocoltable.h"

#include <set>
#include <string>

class TestProtocolTable : public QObject {
    Q_OBJECT

private slots:
    // One row per code, each with its caption and buttons that exist; the default is first and
    // offered by every encoder, so a code that cannot be shown always has somewhere to go. The
    // V7 runs TAP and PET; SNPP needs V9 firmware of minor version 7 or later.
    void everyRowIsWhole()
    {
        std::set<std::string> codes;
        for (const PagingProtocol &p : PagingProtocols()) {
            QVERIFY2(p.code && *p.code && codes.insert(p.code).second, p.code);
            QVERIFY2(p.caption && *p.caption, p.code);
            QVERIFY2(p.functionCodeButton >= 0 && p.functionCodeButton < 4, p.code);
            QVERIFY2(p.dataRateButton >= -1 && p.dataRateButton < 3, p.code);
            QCOMPARE(FindPagingProtocol(p.code), &p);
            QCOMPARE(&PagingProtocols()[size_t(PagingProtocolIndex(p))], &p);
        }
        QCOMPARE(&DefaultPagingProtocol(), &PagingProtocols().front());
        QVERIFY(OfferedBy(DefaultPagingProtocol(), {.v7 = true}));
        const auto offeredBy = [](Firmware f) {
            QByteArrayList codes;
            for (const PagingProtocol &p : PagingProtocols())
                if (OfferedBy(p, f))
                    codes << p.code;
            return codes.join(' ');
        };
        QCOMPARE(offeredBy({.v7 = true}), QByteArray("TAP PET"));
        QCOMPARE(offeredBy({}), QByteArray("TAP PET COMP1 COMP2 ZQ SCOPE"));
        QCOMPARE(offeredBy({.v97Plus = true}), QByteArray("TAP PET COMP1 COMP2 ZQ SCOPE SNPP"));
        QVERIFY(!FindPagingProtocol("tap") && !FindPagingProtocol(""));
        QVERIFY(PagesDefaultPager("COMP1") && !PagesDefaultPager("TAP") && !PagesDefaultPager("comp1"));
    }
};

QTEST_GUILESS_MAIN(TestProtocolTable)
#include "tst_protocoltable.moc"
