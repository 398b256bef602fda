// The table of the paging protocols through the windows: every row has its sender, the encoder
// settings dialog offers the rows the firmware offers, and a new row with its sender reaches
// all its uses (the settings dialog, the console's fields and pager check, and the sender of a
// Send and of a range-test page) with no other change.

#include "app/apptest.h"

#include "model/database.h"
#include "paging/senderdispatch.h"
#include "settings/frmSettings_Main.h"
#include "support/scriptedboxes.h"
#include "testconsole/frmMessageTest.h"
#include "testconsole/pagerid.h"
#include "testconsole/testpage.h"
#include "widgets/controls.h"

#include <QtWidgets>

#include <vector>

namespace {

QList<TestPage> g_fakePages;

int16_t fakeSender(const TestPage &page)
{
    g_fakePages << page;
    return 1;
}

// A protocol unlike any other row in each column the console and the pages read.
constexpr PagingProtocol Fake{.code = "FAKE", .caption = "Fake", .offeredBy = FirmwareOffer::V97Plus,
                              .chosenVerbose = false, .defaultPager = false,
                              .send = {PagerIDArg::Padded, FunctionCodeArg::LetterUpTo7, true},
                              .range = {PagerIDArg::AsTyped, FunctionCodeArg::Letter, false},
                              .consoleName = "Faux", .consoleNamesPort = false, .pagerCaption = PagerCaption::Capcode,
                              .functionCodes = true, .functionCodeButton = 1,
                              .dataRates = true, .dataRateButton = 2};

// The codes of the rows whose options are enabled.
QByteArrayList offered(const frmSettings_Main *d)
{
    QByteArrayList codes;
    for (size_t i = 0; i < d->opt1Protocol.size(); ++i)
        if (d->opt1Protocol[i]->isEnabled() && d->opt2Protocol[i]->isEnabled())
            codes << PagingProtocols()[i].code;
    return codes;
}

} // namespace

class TestProtocols : public QObject {
    Q_OBJECT

    std::unique_ptr<AppTestEnv> env;

private slots:
    void initTestCase() { IsolateSettingsForTestRun(); }
    void init()
    {
        env = std::make_unique<AppTestEnv>();
        SetTimeScale(0.05);
        g_fakePages.clear();
    }
    void cleanup() { env.reset(); }

    // The senders' dispatch has one entry per row of the table (the rows themselves are
    // checked without the senders, in the table's own test).
    void everyRowHasItsSender()
    {
        for (const PagingProtocol &p : PagingProtocols())
            QVERIFY2(SenderOf(p), p.code);
        QCOMPARE(ProtocolSenders().size(), PagingProtocols().size());
        for (const ProtocolSender &s : ProtocolSenders())
            QVERIFY2(FindPagingProtocol(s.code), s.code);
    }

    // The dialog lists every row with its caption and greys out what the firmware lacks.
    void settingsOfferWhatTheFirmwareOffers()
    {
        for (const bool v97Plus : {false, true}) {
            Run.bFwV97Plus = v97Plus;
            auto *d = forms::Get<frmSettings_Main>();
            QCOMPARE(d->opt1Protocol.size(), PagingProtocols().size());
            QCOMPARE(d->opt2Protocol.size(), PagingProtocols().size());
            QByteArrayList expected;
            for (size_t i = 0; i < PagingProtocols().size(); ++i) {
                const PagingProtocol &p = PagingProtocols()[i];
                QCOMPARE(d->opt1Protocol[i]->text(), QString::fromLatin1(p.caption));
                QCOMPARE(d->opt2Protocol[i]->text(), QString::fromLatin1(p.caption));
                if (OfferedBy(p, {.v97Plus = v97Plus}))
                    expected << p.code;
            }
            QCOMPARE(offered(d), expected);
            forms::Unload<frmSettings_Main>();
        }
    }

    // A row added to the table is offered and chosen in the settings, shapes the console, makes
    // the pager check a capcode check, and takes the pages of Send and of the range test.
    void aNewRowReachesEveryUse()
    {
        std::vector<PagingProtocol> table(PagingProtocols().begin(), PagingProtocols().end());
        table.push_back(Fake);
        const PagingProtocolsReplaced replaced(table);
        std::vector<ProtocolSender> senders(ProtocolSenders().begin(), ProtocolSenders().end());
        senders.push_back({Fake.code, fakeSender});
        const ProtocolSendersReplaced sendersReplaced(senders);

        // Settings: greyed out where the firmware lacks it, and a stored code shown, not changed.
        Run.bFwV97Plus = false;
        EncoderSettings.sPort1Protocol = "FAKE";
        auto *d = forms::Get<frmSettings_Main>();
        QVERIFY(!offered(d).contains("FAKE") && d->opt1Protocol.back()->text() == QStringLiteral("Fake"));
        QVERIFY(d->opt1Protocol.back()->isChecked());
        QCOMPARE(EncoderSettings.sPort1Protocol, QByteArray("FAKE"));
        forms::Unload<frmSettings_Main>();
        Run.bFwV97Plus = true;
        EncoderSettings.sPort1Protocol = "FAKE";
        d = forms::Get<frmSettings_Main>();
        QVERIFY(offered(d).contains("FAKE") && d->opt1Protocol.back()->isChecked());
        d->show();
        d->opt2Protocol.back()->click();
        QCOMPARE(EncoderSettings.sPort1Protocol + '/' + EncoderSettings.sPort2Protocol, QByteArray("FAKE/FAKE"));
        forms::Unload<frmSettings_Main>();

        // The pager check.
        EncoderConfig settings;
        settings.sPort2Protocol = "FAKE";
        QVERIFY(CheckPagerID("12", "2", settings, PagerDatabase{}).capcodeMode);

        // The console and its Send.
        Run.sTestPort = "1";
        EncoderSettings.sPort1Baud = "9600";
        EncoderSettings.sPort1DataBits = "N81";
        frmMessageTest *c = forms::Get<frmMessageTest>();
        QCOMPARE(c->StatusBar1->panelText(1), QStringLiteral("Faux Protocol, 9600,n,8,1"));
        QCOMPARE(c->lblPIN->text(), QStringLiteral("Pager Capcode:"));
        QVERIFY(c->lblFC->isVisibleTo(c) && c->optFC[1]->isChecked() && c->optFC[0]->isEnabled());
        QVERIFY(c->optDataRate[2]->isChecked() && c->optDataRate[0]->isEnabled());
        c->txtPIN->setText(QStringLiteral("123"));
        c->txtMessage->setBytes("Hi");
        c->cmdSendMsg->click();
        QCOMPARE(g_fakePages.size(), 1);
        const TestPage &sent = g_fakePages.first();
        QCOMPARE(sent.pagerID + '/' + sent.functionCode + '/' + sent.rate + '/' + sent.message,
                 QByteArray("0000123/B/2400/Hi"));
        forms::Unload<frmMessageTest>();

        // A range-test page as the row says.
        const TestPage range = RangeTestPage("FAKE", "123456789", "Hi", 2, 0);
        QVERIFY(range.sender == fakeSender);
        QCOMPARE(range.pagerID + '/' + range.functionCode + '/' + range.rate, QByteArray("123456789/C/"));
        QCOMPARE(SendMsgPage("FAKE", "123456789", "Hi", 2, 0).functionCode, QByteArray());
    }
};

QTEST_MAIN(TestProtocols)
#include "tst_protocols.moc"
