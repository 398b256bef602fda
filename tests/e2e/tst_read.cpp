// Reading the encoder from the program's own windows against the simulated encoder: the read
// that follows a detection and what the main window shows of it, the program's close during a
// read and the questions before one. The reader's roads are tested without windows
// (tests/encoder).

#include "app/apptest.h"
#include "encoder/frmCancelSend.h"
#include "support/scriptedboxes.h"

#include "e2e/programfixture.h"

#include <QAction>
#include <QPushButton>

using namespace encodertest;

namespace {

const QString kDetected = QStringLiteral("Paging Encoder Was Detected\rThe Encoder Database will Now be Read");
const QString kMatches = QStringLiteral("Current View Matches Encoder Configuration");

void setIDAsCap(DeviceState &s, bool on)
{
    s.config[s.portKey(s.effectiveAttachedPort(), "idascap")] = on ? "1" : "0";
}

} // namespace

class TestRead : public QObject, ProgramOnEncoder {
    Q_OBJECT

    std::size_t mark = 0; // the encoder's log when the detection announced the encoder
    bool cancelWindowAtTheAnnouncement = true;

    frmTerminal *start(const DeviceState &state, Knobs knobs, bool kestrane = false)
    {
        return StartOnEncoder(encoder, state, std::move(knobs), kestrane);
    }

    // Runs action (once) inside the read's waits when the status bar shows the given step,
    // while the guard returned is kept.
    [[nodiscard]] static PendingAction atStatus(frmTerminal *t, const QString &step, std::function<void()> action)
    {
        return When([t = QPointer<frmTerminal>(t), step] {
            return t && t->StatusBar1->panelText(1) == QStringLiteral("Reading Pager Database - ") + step;
        }, std::move(action));
    }

    // The announcement of a detected encoder; the log is marked there, so that what follows
    // is the read.
    void expectDetected(ScriptedBoxes &boxes)
    {
        boxes.expect(kDetected)
            .title(QStringLiteral("Paging Encoder Detected"))
            .buttons(MsgButtons::OK)
            .icon(MsgIcon::None)
            .then([this] {
                mark = encoder->sim().eventCount();
                cancelWindowAtTheAnnouncement = forms::IsLoaded<frmCancelSend>();
            });
    }

    // Before a read, every record holds something the encoder does not.
    static void fillWithOldValues()
    {
        for (FamilyRec &f : DB.Families)
            f.fill("old");
        for (PagerGroupRec &g : DB.PagerGroups)
            g.fill("old");
        DB.CannedMsgs.fill("old message");
    }

private slots:
    void initTestCase() { IsolateSettingsForTestRun(); }
    void init() { startProgram(0.05); }
    void cleanup() { endProgram(); }

    // Opening the port finds the encoder, announces it and reads it: the displayed database
    // is then the encoder's, the read sent exactly its commands, and the encoder's ID-as-capcode
    // mode is as it was. Closing the port reboots a two-port encoder out of programming mode.
    void openingThePortReadsTheEncoder_data()
    {
        QTest::addColumn<int>("generation");
        QTest::addColumn<QByteArray>("firmware");
        QTest::addColumn<int>("port");
        QTest::addColumn<bool>("idAsCap");
        QTest::addColumn<bool>("kestrane");
        QTest::addColumn<QStringList>("knobs"); // extra name=value
        QTest::addColumn<QString>("label25");
        QTest::addColumn<int>("commands");

        QTest::newRow("V9 9.7S") << 9 << QByteArray("9.7S") << 1 << false << true << QStringList{}
                                 << "Paging Encoder V9" << 98;
        QTest::newRow("V7 from the XJ program, ID as capcode on")
            << 7 << QByteArray("7.2") << 1 << true << false << QStringList{"ignore_prgmmode_count=1"}
            << "R-740 Paging Encoder" << 87;
    }
    void openingThePortReadsTheEncoder()
    {
        QFETCH(int, generation);
        QFETCH(QByteArray, firmware);
        QFETCH(int, port);
        QFETCH(bool, idAsCap);
        QFETCH(bool, kestrane);
        QFETCH(QStringList, knobs);
        QFETCH(QString, label25);
        QFETCH(int, commands);

        DeviceState state = FullState(generation, port);
        state.firmware = firmware.toStdString();
        setIDAsCap(state, idAsCap);
        state.v7PetSupported = !knobs.contains(QStringLiteral("v7_pet_supported=off"));
        frmTerminal *t = start(state, FastLine(KnobsFrom(knobs)), kestrane);
        fillWithOldValues();

        ScriptedBoxes boxes;
        expectDetected(boxes);
        t->mnuOpen->trigger();
        QVERIFY(boxes.verifyAllShown());
        QVERIFY(!cancelWindowAtTheAnnouncement);

        // Who was found.
        const bool v7 = generation == 7;
        const QByteArray testPort = QByteArray::number(state.effectiveAttachedPort());
        QCOMPARE(Run.sFirmwareVer, firmware);
        QCOMPARE(Run.sTestPort, testPort);
        QCOMPARE(Run.bV7Encoder, v7);
        QCOMPARE(Run.bFwV97Plus, firmware == "9.7S");
        QCOMPARE(t->lblVersion->text(), QStringLiteral("Firmware Version: ") + QString::fromLatin1(firmware));
        QCOMPARE(t->Label25->text(), label25);

        // The read that followed (its commands and fields are compared in the reader's tests).
        QCOMPARE(CommandsSent(*encoder, mark).size(), commands);
        QVERIFY(DatabaseDifferences(state).isEmpty());

        // The window says so.
        QString idLabel = QStringLiteral("ID As Capcode Mode is ") + (idAsCap ? "ON" : "OFF");
        if (!v7)
            idLabel += QStringLiteral(" for Port ") + QString::fromLatin1(testPort);
        QCOMPARE(t->lblIDAsCap->text(), idLabel);
        QCOMPARE(t->StatusBar1->panelText(1), kMatches);
        QCOMPARE(t->StatusBar1->panelText(2), QStringLiteral("COM 1 Open"));
        QVERIFY(Run.bDBMatchesEncoder);
        for (int position = 1; position <= 8; ++position)
            QVERIFY(t->Toolbar1->Buttons(position)->isEnabled());
        for (QAction *a : {t->mnuReadDB, t->mnuWriteDB, t->mnuTest, t->mnuSendMsg})
            QVERIFY(a->isEnabled());
        QVERIFY(t->cmdLookup->isEnabled());
        QCOMPARE(t->FrontImage(), t->ImgConnected);
        QVERIFY(!Run.bDBBusy() && !Run.bNoDetect && !HourglassShown());
        QVERIFY(Link().isOpen());

        // Closing: a two-port encoder is rebooted out of programming mode, a V7 gets nothing.
        const std::size_t beforeClose = encoder->sim().eventCount();
        t->cmdComStatus->click();
        QVERIFY(!Link().isOpen());
        QCOMPARE(t->StatusBar1->panelText(2), QStringLiteral("COM 1 Closed"));
        QCOMPARE(Link().replyInterval().count(), 8000);
        QTest::qWait(50);
        const QList<QByteArray> closing = CommandsSent(*encoder, beforeClose);
        QCOMPARE(closing, v7 ? QList<QByteArray>{} : QList<QByteArray>{"config reboot\r"});
    }

    // A read that stops before it stores anything (here at the ID-as-capcode question, right
    // after start-up, whose database counts as matching) still leaves the displayed database
    // not matching the encoder: Program asks first (No sends nothing), and the test console
    // is refused.
    void aReadStoppedAtTheGuardLeavesNoMatch()
    {
        DeviceState state = FullState(9);
        setIDAsCap(state, true);
        frmTerminal *t = start(state, FastLine({{"replace_reply", "\"CONFIG SERIAL1 IDASCAP?\" bytes=OK<CR><LF>"}}));
        QVERIFY(Run.bDBMatchesEncoder); // as start-up leaves it
        {
            ScriptedBoxes boxes;
            expectDetected(boxes);
            boxes.expect(QStringLiteral("Error Reading Pager Database")).title(QStringLiteral("Read Error"));
            t->mnuOpen->trigger();
            QVERIFY(boxes.verifyAllShown());
        }
        QCOMPARE(CommandsSent(*encoder, mark), QList<QByteArray>{"CONFIG SERIAL1 IDASCAP?\r"});
        QVERIFY(!Run.bDBMatchesEncoder);
        QCOMPARE(t->StatusBar1->panelText(1), QStringLiteral("Current Configuration Modified, Does Not Match Encoder"));
        QVERIFY(!t->cmdLookup->isEnabled() && !t->mnuSendMsg->isEnabled());

        const std::size_t before = encoder->sim().eventCount();
        {
            ScriptedBoxes boxes;
            boxes.expect(QStringLiteral("You are About to Program the Encoder"), MsgAnswer::No)
                .title(QStringLiteral("Program Encoder?"));
            boxes.expect(QStringLiteral("Must Match the Encoder's Database"))
                .title(QStringLiteral("Pager Database Doesn't Match Displayed Database"));
            t->mnuWriteDB->trigger();
            t->mnuSendMsg_Click();
            QVERIFY(boxes.verifyAllShown());
        }
        QVERIFY(!forms::IsLoaded<frmMessageTest>());
        QVERIFY(CommandsSent(*encoder, before).isEmpty());
        QCOMPARE(encoder->sim().getState().config.at("serial1 idascap"), std::string("1"));
    }

    // The program may be closed while a read waits: the read stops there, nothing more is said.
    void closingTheProgramDuringARead()
    {
        SetTimeScale(0.2); // family 5 is never answered: the close comes within its reply time
        QPointer<frmTerminal> t = start(FullState(9), FastLine({{"drop_reply", "\"read:G 5\""}}));
        const PendingAction closer = atStatus(t, QStringLiteral("Family 5"), [&] { t->close(); });
        ScriptedBoxes boxes;
        expectDetected(boxes);
        boxes.expect(QStringLiteral("Are You Sure You Want to Exit"), MsgAnswer::Yes);
        t->mnuOpen->trigger();
        QVERIFY(boxes.verifyAllShown());
        QCOMPARE(boxes.shown().size(), 2);
        QVERIFY(Link().closing());
        QVERIFY(!forms::IsLoaded<frmTerminal>());
        QVERIFY(!Run.bDBBusy() && !HourglassShown());
        // The encoder may take in the last bytes a moment after the program has closed its port.
        const auto lastSent = [&] {
            const QList<QByteArray> sent = CommandsSent(*encoder, mark);
            return sent.isEmpty() ? QByteArray() : sent.last();
        };
        QTRY_COMPARE(lastSent(), QByteArray("config reboot\r"));
        QVERIFY(!CommandsSent(*encoder, mark).contains(Block("G 6")));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(t.isNull());
    }

    // The questions before a read: the detection asks while the database does not match, the
    // reader asks before it overwrites edits; declining either changes nothing. File > Read
    // asks nothing itself, the toolbar's read button asks first.
    void readingAsksBeforeItOverwritesEdits()
    {
        DeviceState state = FullState(9);
        frmTerminal *t = start(state, FastLine());
        Run.bDBMatchesEncoder = false;
        fillWithOldValues();
        const QString readQuestion = QStringLiteral("You are About to Read the Encoder and Replace the "
                                                    "Current Configuration\rAre You Sure?");
        const QString overwrite = QStringLiteral("You Have Edited the Pager Database\rIf You Read the "
                                                 "Encoder, You Will Lose Your Edits.\rAre You Sure You "
                                                 "Want to Continue?");
        {
            ScriptedBoxes boxes;
            expectDetected(boxes);
            boxes.expect(readQuestion, MsgAnswer::No).title(QStringLiteral("Read Encoder?")).icon(MsgIcon::Question);
            QTest::mouseClick(t->ImgNotConnected, Qt::LeftButton);
            QVERIFY(boxes.verifyAllShown());
        }
        QVERIFY(Link().isOpen());
        QVERIFY(CommandsSent(*encoder, mark).isEmpty());
        QVERIFY(t->mnuReadDB->isEnabled() && t->mnuTest->isEnabled());
        QVERIFY(!t->Toolbar1->Buttons(8)->isEnabled()); // the database does not match

        {
            ScriptedBoxes boxes;
            for (MsgAnswer answer : {MsgAnswer::No, MsgAnswer::Cancel})
                boxes.expect(overwrite, answer)
                    .title(QStringLiteral("About to OverWrite Edits"))
                    .buttons(MsgButtons::YesNoCancel)
                    .icon(MsgIcon::Exclamation)
                    .defaultButton(1);
            const std::size_t before = encoder->sim().eventCount();
            t->mnuReadDB->trigger();
            t->mnuReadDB->trigger();
            QVERIFY(boxes.verifyAllShown());
            QVERIFY(CommandsSent(*encoder, before).isEmpty());
            QVERIFY(!HourglassShown() && !Run.bDBBusy());
            QVERIFY(t->Toolbar1->Buttons(2)->isEnabled());
            QCOMPARE(DB.Families[0][FamActive], QByteArray("old"));
        }
        {
            ScriptedBoxes boxes;
            boxes.expect(readQuestion, MsgAnswer::Yes).title(QStringLiteral("Read Encoder?"));
            boxes.expect(overwrite, MsgAnswer::Yes).title(QStringLiteral("About to OverWrite Edits"));
            const std::size_t before = encoder->sim().eventCount();
            t->Toolbar1->ButtonByKey(QStringLiteral("read"))->trigger();
            QVERIFY(boxes.verifyAllShown());
            QCOMPARE(CommandsSent(*encoder, before), TwoPortReadCommands("1", "9.7", false));
        }
        QVERIFY(Run.bDBMatchesEncoder);
        QVERIFY(DatabaseDifferences(state).isEmpty());
        QCOMPARE(t->StatusBar1->panelText(1), kMatches);
    }
};

QTEST_MAIN(TestRead)
#include "tst_read.moc"
