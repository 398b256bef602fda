// Test pages from the console window opened from the main window's menu, against the simulated
// encoder: Send in each protocol, one page on the line at a time, the range test stopped by
// Send and by closing the console; and the message archive kept in its file.

#include "app/apptest.h"
#include "model/database.h"
#include "paging/commlog.h"
#include "support/filelimits.h"
#include "support/scriptedboxes.h"
#include "testconsole/archive.h"
#include "testconsole/frmMessageTest.h"
#include "testconsole/frmRangeTest.h"

#include "e2e/programfixture.h"

#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <sys/stat.h>

using namespace encodertest;
using namespace Qt::StringLiterals;

namespace {

// Lets the program run until done() or, at the latest, after a generous bound.
void RunUntil(const std::function<bool()> &done)
{
    const QDeadlineTimer bound(20000);
    while (!done() && !bound.hasExpired())
        QTest::qWait(5);
}

// The console's range-test menu, then the set-up dialog's Start with the cycle time.
void StartRangeTest(frmMessageTest *c, const QString &cycle)
{
    const PendingAction onRangeTest = WhenShown<frmRangeTest>([cycle](frmRangeTest *d) {
        d->txtCycleTime->setText(cycle);
        d->cmdStart->click();
    });
    c->mnuRangeTest->trigger();
}

QStringList texts(const std::vector<encsim::Page> &pages)
{
    QStringList t;
    for (const encsim::Page &p : pages)
        t << QString::fromStdString(p.message);
    return t;
}

} // namespace

class TestConsolePages : public QObject, ProgramOnEncoder {
    Q_OBJECT

    // The demo encoder (pager IDs 100 to 149 at capcodes 1234000 on, group 1 is Group ID 10,
    // its first pager 100), its port 1 speaking protocol and a TAP session already open; the
    // program detects and reads it from the main window.
    frmTerminal *connect(const char *protocol)
    {
        DeviceState state = DeviceState::demo();
        state.config["serial1 protocol"] = protocol;
        return StartDetectedAndRead(encoder, state, {{"tap_logged_in_at_boot", "on"}}, encsim::Mode::Programming);
    }

    static QString archivePath() { return MessageArchive(UserDataFolder()).Path(); }

private slots:
    void initTestCase() { IsolateSettingsForTestRun(); }
    void init()
    {
        startProgram(0.05);
        QFile::remove(archivePath());
    }
    void cleanup() { endProgram(); }

    // Send hands the page to the sender of the attached port's protocol with the console's
    // pager field, function code and data rate; the encoder puts it on the air.
    void sendInEachProtocol_data()
    {
        QTest::addColumn<QByteArray>("protocol");
        QTest::addColumn<QString>("pin");
        QTest::addColumn<int>("fc");
        QTest::addColumn<int>("rate");
        QTest::addColumn<QString>("page");
        // protocol, capcode, pager field as received, rate, function, how it was resolved, text
        QTest::newRow("TAP") << QByteArray("TAP") << "123" << -1 << -1 << "TAP 1234023 123 512/4 family 1: Hi there";
        QTest::newRow("COMP1") << QByteArray("COMP1") << "" << -1 << -1 << "COMP1 1234000 100 512/4 family 1: Hi there";
        QTest::newRow("COMP2") << QByteArray("COMP2") << "123" << 1 << -1 << "COMP2 1234023 123B 512/2 family 1: Hi there";
        QTest::newRow("SNPP") << QByteArray("SNPP") << "123" << -1 << -1 << "SNPP 1234023 123 512/4 family 1: Hi there";
        QTest::newRow("ZQ") << QByteArray("ZQ") << "1234023" << 2 << 1 << "ZQ 1234023 1234023 1200/3 capcode: Hi there";
        QTest::newRow("SCOPE") << QByteArray("SCOPE") << "1234023" << 0 << 2 << "SCOPE 1234023 1234023 2400/1 capcode: Hi there";
    }
    void sendInEachProtocol()
    {
        QFETCH(QByteArray, protocol);
        QFETCH(QString, pin);
        QFETCH(int, fc);
        QFETCH(int, rate);
        QFETCH(QString, page);
        frmTerminal *t = connect(protocol.constData());
        QVERIFY(t);
        QStringList log;
        const PendingAction onConsole = WhenTheConsoleIsUp(*encoder, [&](frmMessageTest *c) {
            if (!pin.isEmpty())
                c->txtPIN->setText(pin);
            c->txtMessage->setBytes("Hi there");
            if (fc >= 0)
                c->optFC[std::size_t(fc)]->setChecked(true);
            if (rate >= 0)
                c->optDataRate[std::size_t(rate)]->setChecked(true);
            // Each answer has the console's one-second reply time in real time: at the test's
            // scale that second is 50 ms, which a loaded machine's encoder thread can miss (and
            // an SNPP page waits for three answers).
            SetTimeScale(1.0);
            c->cmdSendMsg->click();
            SetTimeScale(0.05);
            encoder->sim().waitForPages(1, std::chrono::seconds(5));
            log = ConsoleLogLines(c);
            c->mnuExit->trigger();
        });
        t->mnuSendMsg->trigger();
        const std::vector<encsim::Page> pages = encoder->sim().pages();
        QCOMPARE(pages.size(), std::size_t(1));
        const encsim::Page &p = pages.front();
        QCOMPARE(QStringLiteral("%1 %2 %3 %4/%5 %6: %7")
                     .arg(QString::fromStdString(p.protocol))
                     .arg(p.capcode)
                     .arg(QString::fromLatin1(p.pager.c_str()))
                     .arg(p.rate)
                     .arg(p.function)
                     .arg(QString::fromStdString(p.via), QString::fromStdString(p.message)),
                 page);
        QVERIFY(log.first().contains(QStringLiteral("Hi there")));
    }

    // A page is on the line from the click until its sender returns: a second click meanwhile
    // (the pager-ID check yields) sends nothing, a pager ID the check refuses sends nothing, and
    // a range test started meanwhile neither cuts the Send's wait for its answer short nor sends
    // its first page before that answer.
    void onePageOnTheLineAtATime()
    {
        frmTerminal *t = connect("TAP");
        QVERIFY(t);
        ScriptedBoxes boxes;
        boxes.expect(QStringLiteral("Pager ID value is incorrect.\rPager ID value not in current database"))
            .title(QStringLiteral("Invalid ID"));
        boxes.expect(QStringLiteral("Pager ID Value is Invalid")).title(QStringLiteral("Invalid PIN")).icon(MsgIcon::None);
        std::size_t afterDoubleClick = 0, afterRefusal = 0;
        QStringList log, pagesBeforeStop;
        PendingAction stopper; // the range test's Stop, once its pages are out
        const PendingAction onConsole = WhenTheConsoleIsUp(*encoder, [&](frmMessageTest *c) {
            c->txtPIN->setText(QStringLiteral("123"));
            c->txtMessage->setBytes("Hi");
            QTimer::singleShot(0, c, [c] { c->cmdSendMsg->click(); });
            c->cmdSendMsg->click();
            encoder->sim().waitForPages(2, std::chrono::milliseconds(300)); // a second page would show here
            afterDoubleClick = encoder->sim().pageCount();

            c->txtPIN->setText(QStringLiteral("999"));
            c->cmdSendMsg->click();
            afterRefusal = encoder->sim().pageCount();

            // The encoder takes its time over the next page; the range test is started while
            // the Send waits for its answer.
            c->txtPIN->setText(QStringLiteral("123"));
            c->txtMessage->setBytes("Before the range test");
            encoder->sim().setKnob("reply_latency_ms", "2000");
            QTimer::singleShot(0, c, [c] { StartRangeTest(c, QStringLiteral("0")); });
            c->cmdSendMsg->click();
            encoder->sim().setKnob("reply_latency_ms", "10");
            stopper = Repeatedly([&, c] {
                if (encoder->sim().pageCount() < afterRefusal + 3)
                    return false;
                c->cmdSendMsg->click(); // Stop
                return true;
            }, c);
            RunUntil([c] { return !Run.bRangeTestOn && c->cmdSendMsg->text() == QStringLiteral("&Send"); });
            log = ConsoleLogLines(c);
            c->mnuExit->trigger();
        });
        t->mnuSendMsg->trigger();
        QCOMPARE(afterDoubleClick, std::size_t(1));
        QCOMPARE(afterRefusal, std::size_t(1));
        QVERIFY(boxes.verifyAllShown());
        const QStringList sent = texts(encoder->sim().pages());
        QCOMPARE(sent.mid(0, 4), (QStringList{"Hi", "Before the range test", "Before the range test 1",
                                              "Before the range test 2"}));
        // The range page was written after the encoder had answered the Send's page.
        const qsizetype before = log.indexOf(QStringLiteral("TAP Output: PIN - '123', MSG - 'Before the range test'"));
        const qsizetype first = log.indexOf(QStringLiteral("TAP Output: PIN - '123', MSG - 'Before the range test 1'"));
        QVERIFY(before >= 0 && first > before);
        QVERIFY2(log.mid(before, first - before).contains(QStringLiteral("Encoder: <ACK><CR>")), qPrintable(log.join("\n")));
    }

    // A range test of numbered pages at the cycle time, the title counting down, stopped by
    // Send: no page after the stop, and the console as before the test.
    void rangeTestStoppedBySend()
    {
        frmTerminal *t = connect("TAP");
        QVERIFY(t);
        QStringList titles;
        std::size_t atStop = 0, later = 0;
        QString captionWhileRunning, message, menu, send;
        QObject row; // ends the title's recording with the row
        PendingAction stopper;
        const PendingAction onConsole = WhenTheConsoleIsUp(*encoder, [&](frmMessageTest *c) {
            QObject::connect(c, &QWidget::windowTitleChanged, &row, [&titles](const QString &title) { titles << title; });
            c->txtPIN->setText(QStringLiteral("123"));
            SetTimeScale(0.2); // the countdown's one-second ticks well apart
            stopper = Repeatedly([&, c] {
                if (encoder->sim().pageCount() < 3)
                    return false;
                captionWhileRunning = c->cmdSendMsg->text();
                atStop = encoder->sim().pageCount();
                c->cmdSendMsg->click();
                return true;
            }, c);
            StartRangeTest(c, QStringLiteral("2"));
            RunUntil([&titles] { return titles.endsWith(QStringLiteral("Solvendra Paging Test")); });
            QTest::qWait(ScaledMs(4000)); // past the next page's time
            later = encoder->sim().pageCount();
            message = c->txtMessage->toPlainText();
            menu = c->mnuRangeTest->text();
            send = c->cmdSendMsg->text();
            c->mnuExit->trigger();
        });
        t->mnuSendMsg->trigger();
        QCOMPARE(captionWhileRunning, QStringLiteral("&Stop"));
        QVERIFY(atStop >= 3);
        QCOMPARE(later, atStop);
        QCOMPARE((QStringList{message, menu, send}), (QStringList{"Test", "Start &Range Test", "&Send"}));

        const std::vector<encsim::Page> pages = encoder->sim().pages();
        QCOMPARE(texts(pages).mid(0, 3), (QStringList{"Test 1", "Test 2", "Test 3"}));
        // The second page is due the cycle time after Start, each later one the cycle time
        // after the page before it.
        for (std::size_t i = 2; i < pages.size(); ++i)
            QVERIFY2(pages[i].ms() - pages[i - 1].ms() > 1900, qPrintable(QString::number(pages[i].ms() - pages[i - 1].ms())));
        // The countdown from the cycle time down (a tick the machine delays may skip a second),
        // the end title after the stop.
        const QString countdown = QStringLiteral("Solvendra Range Test - Next Msg. in %1 Sec.");
        QCOMPARE(titles.first(), countdown.arg(2));
        QVERIFY(titles.contains(countdown.arg(1)) || titles.contains(countdown.arg(0)));
        QCOMPARE(titles.last(), QStringLiteral("Solvendra Paging Test"));
        for (const QString &title : titles.mid(1, titles.size() - 2))
            QVERIFY2(title == countdown.arg(0) || title == countdown.arg(1) || title == countdown.arg(2), qPrintable(title));
    }

    // Closing the console during a range test ends the run at once: the hand-over back to
    // programming mode is the last thing the encoder hears.
    void closingTheConsoleEndsTheRange()
    {
        frmTerminal *t = connect("TAP");
        QVERIFY(t);
        PendingAction closer;
        const PendingAction onConsole = WhenTheConsoleIsUp(*encoder, [&](frmMessageTest *c) {
            c->txtPIN->setText(QStringLiteral("123"));
            closer = Repeatedly([&, c] {
                if (encoder->sim().pageCount() < 2)
                    return false;
                c->close();
                return true;
            }, c);
            StartRangeTest(c, QStringLiteral("0"));
        });
        t->mnuSendMsg->trigger(); // returns once the run has ended
        QVERIFY(!forms::IsLoaded<frmMessageTest>() && !Run.bRangeTestOn);
        QByteArray stream;
        for (const QByteArray &command : CommandsSent(*encoder))
            stream += command;
        QVERIFY(stream.contains("Test 2"));
        QCOMPARE(stream.mid(stream.lastIndexOf("#PrgmMode#")), QByteArray("#PrgmMode#ATI\r"));
        // The closing does not wait for the switch past its reply time-out; a busy machine may
        // see the encoder get there a little later.
        QTRY_COMPARE_WITH_TIMEOUT(encoder->sim().mode(), encsim::Mode::Programming, 5000);
    }

    // The archive in the console: Add, a click, Replace and Delete as the operator uses them,
    // the file they leave, and the list as it comes back when the console opens again.
    void archiveKeptInItsFile()
    {
        frmMessageTest *c = OpenConsoleAlone();
        QCOMPARE(c->lb_Archive->count(), 0);
        const QByteArray quoted = "Call 555-0100, \"now\", please";
        for (const QByteArray &m : {quoted, QByteArray("second"), QByteArray("third")}) {
            c->txtMessage->setBytes(m);
            c->cmdAdd->click();
        }
        QCOMPARE(c->lb_Archive->currentRow(), 2);
        c->lb_Archive->setCurrentRow(0);
        QCOMPARE(c->txtMessage->bytes(), quoted);

        ScriptedBoxes boxes;
        boxes.expect(QStringLiteral("Replace the Selected Item"), MsgAnswer::Yes).title(QStringLiteral("Verify"));
        c->lb_Archive->setCurrentRow(1);
        c->txtMessage->setBytes("replaced");
        c->cmdReplace->click();
        QCOMPARE(c->lb_Archive->currentRow(), 1);
        boxes.expect(QStringLiteral("delete the selected item"), MsgAnswer::Yes).title(QStringLiteral("Verify"));
        c->lb_Archive->setCurrentRow(2);
        c->cmdDelete->click();
        QVERIFY(boxes.verifyAllShown());
        QVERIFY(c->lb_Archive->selectedItems().isEmpty());
        QCOMPARE(c->txtMessage->bytes(), QByteArray("third")); // Delete leaves the message box alone

        QCOMPARE(ReadFile(archivePath()), quoted + "\r\nreplaced\r\n");
        forms::Unload<frmMessageTest>();
        forms::DestroyAll();
        c = OpenConsoleAlone();
        QStringList shown;
        for (int i = 0; i < c->lb_Archive->count(); ++i)
            shown << c->lb_Archive->item(i)->text();
        QCOMPARE(shown, (QStringList{QString::fromLatin1(quoted), "replaced"}));

        // A line of the file longer than a message comes into the message box cut at 513.
        forms::Unload<frmMessageTest>();
        WriteFile(archivePath(), QByteArray(600, 'x') + "\r\n");
        c = OpenConsoleAlone();
        c->lb_Archive->setCurrentRow(0);
        QCOMPARE(c->txtMessage->bytes(), QByteArray(513, 'x'));
        QCOMPARE(c->lblMsgLen->text(), QStringLiteral("Message Length: 513"));
    }

    // An archive that is there but cannot be read is said once at the opening, with the
    // reason, and is never written in that opening: Add, Replace and Delete say so and change
    // neither the list nor the file.
    void anUnreadableArchiveIsKept_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");
        QTest::newRow("over the limit") << "large" << "messages.dat is too large (more than 16 MB)";
        QTest::newRow("unreadable") << "no rights" << "Permission denied";
        QTest::newRow("read error") << "read error" << "Input/output error";
        QTest::newRow("a folder") << "folder" << "messages.dat is not a regular file";
        QTest::newRow("a FIFO") << "fifo" << "messages.dat is not a regular file";
    }
    void anUnreadableArchiveIsKept()
    {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        QDir().mkpath(UserDataFolder());
        const QString path = archivePath();
        const QByteArray name = QFile::encodeName(path);
        if (kind == "large"_L1) {
            WriteFile(path, "first\r\n");
            QFile f(path);
            QVERIFY(f.resize(17 * 1024 * 1024)); // sparse: cheap
        } else if (kind == "no rights"_L1) {
            WriteFile(path, "first\r\n");
            QVERIFY(::chmod(name.constData(), 0) == 0);
            if (QFile(path).open(QIODevice::ReadOnly))
                QSKIP("this user reads files without read rights");
        } else if (kind == "read error"_L1) {
            QVERIFY(QFile::link(QStringLiteral("/proc/self/mem"), path));
        } else if (kind == "folder"_L1) {
            QVERIFY(QDir().mkdir(path));
        } else {
            QVERIFY(::mkfifo(name.constData(), 0600) == 0);
        }
        const auto state = [&] {
            const QFileInfo info(path);
            return QStringLiteral("%1 %2 %3 %4")
                .arg(info.isSymLink() ? info.symLinkTarget() : QString())
                .arg(info.isDir())
                .arg(info.size())
                .arg(info.lastModified().toMSecsSinceEpoch());
        };
        const QString before = state();

        ScriptedBoxes boxes;
        boxes.expect(QStringLiteral("The message archive could not be read:\r") + reason +
                     QStringLiteral("\rIt is kept as it is"))
            .title(QStringLiteral("Message Archive"))
            .icon(MsgIcon::Exclamation);
        frmMessageTest *c = OpenConsoleAlone();
        QVERIFY(boxes.verifyAllShown());
        QCOMPARE(c->lb_Archive->count(), 0);
        for (int button = 0; button < 3; ++button) // Add, Replace, Delete
            boxes.expect(QStringLiteral("The message archive could not be read when this window opened:\r") + reason +
                         QStringLiteral("\rNothing was changed."))
                .title(QStringLiteral("Message Archive"))
                .icon(MsgIcon::Exclamation);
        c->txtMessage->setBytes("A new message");
        c->cmdAdd->click();
        c->cmdReplace->click();
        c->cmdDelete->click();
        QVERIFY(boxes.verifyAllShown());
        QCOMPARE(c->lb_Archive->count(), 0);
        QVERIFY(!HourglassShown());
        forms::Unload<frmMessageTest>();
        QCOMPARE(state(), before);
        if (kind == "large"_L1) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadOnly));
            QCOMPARE(f.read(7), QByteArray("first\r\n"));
        }
        if (kind == "no rights"_L1)
            ::chmod(name.constData(), 0600);
        QFile::remove(path);
        QDir().rmdir(path);
    }

    // The archive reads files far larger than a pager database file.
    void aLargeArchiveIsRead()
    {
        QDir().mkpath(UserDataFolder());
        QByteArray bytes;
        for (int n = 0; n < 3000; ++n)
            bytes += QByteArray::number(n) + QByteArray(500, 'm') + "\r\n";
        QVERIFY(bytes.size() > 1024 * 1024);
        WriteFile(archivePath(), bytes);
        frmMessageTest *c = OpenConsoleAlone();
        QCOMPARE(c->lb_Archive->count(), 3000);
        QVERIFY(c->lb_Archive->item(2999)->text().startsWith("2999mmm"_L1));
    }

    // A rewrite the disk refuses (files may not grow past 16 bytes): the system's reason in a
    // box, the old file as it was, the list with the new entry.
    void aFailedArchiveRewrite()
    {
        QDir().mkpath(UserDataFolder());
        WriteFile(archivePath(), "old\r\n");
        frmMessageTest *c = OpenConsoleAlone();
        ScriptedBoxes boxes;
        boxes.expect(QString()).title(AppTitle()).buttons(MsgButtons::OK).icon(MsgIcon::Exclamation);
        c->txtMessage->setBytes("A message longer than the disk allows");

        {
            FileSizeLimit limit(16);
            QVERIFY(limit.ok());
            c->cmdAdd->click();
        }

        QVERIFY(boxes.verifyAllShown());
        QVERIFY(!boxes.shown().first().text.isEmpty());
        QCOMPARE(ReadFile(archivePath()), QByteArray("old\r\n"));
        QCOMPARE(c->lb_Archive->count(), 2);
        QCOMPARE(c->lb_Archive->item(1)->text(), QStringLiteral("A message longer than the disk allows"));
        QVERIFY(!HourglassShown());
    }
};

QTEST_MAIN(TestConsolePages)
#include "tst_consolepages.moc"
