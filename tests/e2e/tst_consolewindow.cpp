// The test console as a window among the program's windows, offscreen and against the simulated
// encoder: Escape in every modal window, the main window while the console hands the encoder
// over, closing the program then and while the console is open, what the message box takes in
// and how a non-breaking space reaches the encoder, the archive and the log, and closing the
// console once its line has gone.

#include "app/apptest.h"
#include "editors/frmCfgMsg.h"
#include "encoder/frmProperties.h"
#include "paging/commlog.h"
#include "settings/frmPassword.h"
#include "settings/frmSettings.h"
#include "settings/frmSettings_Main.h"
#include "settings/frmTXTune.h"
#include "support/linktestaccess.h"
#include "support/scriptedboxes.h"
#include "testconsole/archive.h"
#include "testconsole/frmMessageTest.h"
#include "testconsole/frmRangeTest.h"
#include "widgets/controls.h"

#include "e2e/programfixture.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>

using namespace encodertest;

namespace {

// Runs action once, inside the console's opening pause: the console is loading (not shown yet)
// and the encoder has been told to reboot.
[[nodiscard]] PendingAction DuringTheOpeningPause(SimEncoder &encoder, std::size_t since, std::function<void()> action)
{
    return When(
        [&encoder, since] {
            const frmMessageTest *c = forms::Find<frmMessageTest>();
            return c && !c->isVisible() && !c->isUnloaded() && CommandsSent(encoder, since).contains("config reboot\r");
        },
        action);
}

QList<bool> toolbarStates(const frmTerminal *t)
{
    QList<bool> states;
    for (int position = 1; position <= t->Toolbar1->ButtonCount(); ++position)
        states << t->Toolbar1->Buttons(position)->isEnabled();
    return states;
}

// Types text key by key, each key bringing its character (as a keyboard layout or a dead key
// would, whatever the character).
void type(QWidget *box, const QString &text)
{
    for (QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QCoreApplication::sendEvent(box, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QCoreApplication::sendEvent(box, &release);
    }
}

void commit(QWidget *box, const QString &text)
{
    QInputMethodEvent event;
    event.setCommitString(text);
    QCoreApplication::sendEvent(box, &event);
}

QMimeData *textData(const QString &text)
{
    auto *data = new QMimeData;
    data->setText(text);
    return data;
}

const QString kEuro(1, QChar(0x20AC));
const QChar kNbsp(0xA0);

} // namespace

class TestConsoleWindow : public QObject, ProgramOnEncoder {
    Q_OBJECT

    // The demo encoder, its port 1 speaking TAP at 9600 baud with a TAP session open, in
    // programming mode; the program detects and reads it from the main window.
    frmTerminal *connect()
    {
        DeviceState state = DeviceState::demo();
        state.config["serial1 protocol"] = "TAP";
        state.config["serial1 baud"] = "9600";
        state.config["serial1 databits"] = "N81";
        return StartDetectedAndRead(encoder, state, {{"tap_logged_in_at_boot", "on"}}, encsim::Mode::Programming);
    }

    void fresh()
    {
        cleanup();
        init();
    }

    // The program closed from the main window and every window gone; the simulated encoder has
    // seen the port closed (so everything written before has reached it).
    void expectClosedWithTheLine(QPointer<frmTerminal> t, std::size_t since)
    {
        QVERIFY(Link().closing());
        QVERIFY(!forms::IsLoaded<frmTerminal>() && !forms::IsLoaded<frmMessageTest>());
        QVERIFY(!Link().isOpen()); // the exit closed it and nothing opened it again
        QVERIFY(encoder->sim().waitForEvent("line PC port closed", std::chrono::seconds(5), since));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(t.isNull());
    }

private slots:
    void initTestCase() { IsolateSettingsForTestRun(); }
    void init()
    {
        startProgram(0.05);
        QFile::remove(MessageArchive(UserDataFolder()).Path());
    }
    void cleanup() { endProgram(); }

    // Escape in each modal window: where the window has a Cancel button it does exactly what a
    // click on Cancel does; elsewhere it does nothing, and the test console stays open with its
    // encoder in paging mode.
    void escapeInModalWindows_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<bool>("hasCancel");
        QTest::newRow("test console") << QStringLiteral("frmMessageTest") << false;
        QTest::newRow("range test setup") << QStringLiteral("frmRangeTest") << true;
        QTest::newRow("COM port properties") << QStringLiteral("frmProperties") << true;
        QTest::newRow("access dialog") << QStringLiteral("frmPassword") << true;
        QTest::newRow("transmitter tuning") << QStringLiteral("frmTXTune") << false;
        QTest::newRow("encoder settings") << QStringLiteral("frmSettings_Main") << false;
        QTest::newRow("advanced settings") << QStringLiteral("frmSettings") << false;
    }
    void escapeInModalWindows()
    {
        QFETCH(QString, window);
        QFETCH(bool, hasCancel);
        struct Road {
            bool stayedOpen = false;
            QString before, during, after; // what a closing may change: before, after the key or
                                           // click, once the window has gone
        };
        const auto run = [&](bool escape) {
            fresh();
            Road road;
            std::size_t mark = 0;
            const auto state = [&] {
                QStringList s = {GetSetting(QStringLiteral("Properties"), QStringLiteral("Settings")),
                                 GetSetting(QStringLiteral("Properties"), QStringLiteral("ModSliderVal")),
                                 QString::fromLatin1(Link().lineSettings()),
                                 QString::number(Run.bDBMatchesEncoder), QString::number(Run.bRangeTestOn)};
                QStringList shown;
                for (QWidget *w : QApplication::topLevelWidgets())
                    if (w->isVisible())
                        shown << w->objectName();
                shown.sort();
                s << shown;
                if (const frmMessageTest *c = forms::Find<frmMessageTest>())
                    s << c->cmdSendMsg->text() << QString::number(c->cmdSendMsg->isEnabled()) << c->mnuRangeTest->text();
                if (encoder) {
                    s << QString::fromLatin1(encsim::modeName(encoder->sim().mode()).data());
                    for (const QByteArray &command : CommandsSent(*encoder, mark))
                        s << QString::fromLatin1(command);
                }
                return s.join(QLatin1Char('|'));
            };
            std::function<void()> open;
            if (window == QLatin1String("frmMessageTest")) {
                frmTerminal *t = connect();
                mark = encoder ? encoder->sim().eventCount() : 0;
                open = [t] { if (t) t->mnuSendMsg->trigger(); };
            } else if (window == QLatin1String("frmRangeTest")) {
                frmMessageTest *alone = OpenConsoleAlone();
                alone->txtPIN->setText(QStringLiteral("100"));
                open = [alone] { alone->mnuRangeTest->trigger(); };
            } else if (window == QLatin1String("frmProperties")) {
                SaveSetting(QStringLiteral("Properties"), QStringLiteral("Settings"), QStringLiteral("2400,e,7,1"));
                open = [] { forms::ShowModal<frmProperties>(); };
            } else if (window == QLatin1String("frmPassword")) {
                Run.sPwdTarget = "advanced";
                open = [] { forms::ShowModal<frmPassword>(); };
            } else if (window == QLatin1String("frmTXTune")) {
                open = [] { forms::ShowModal<frmTXTune>(); };
            } else if (window == QLatin1String("frmSettings_Main")) {
                open = [] { forms::ShowModal<frmSettings_Main>(); };
            } else {
                open = [] { forms::ShowModal<frmSettings>(); };
            }
            const auto find = [window]() -> QWidget * {
                for (QWidget *w : QApplication::topLevelWidgets())
                    if (w->objectName() == window && w->isVisible())
                        return w;
                return nullptr;
            };
            const PendingAction inTheWindow = When([&] { return find() != nullptr; }, [&] {
                QWidget *w = find();
                if (encoder) // the encoder has come up in paging mode
                    encoder->sim().waitForEvent("mode BOOTING -> PAGING", std::chrono::seconds(5), mark);
                if (auto *access = qobject_cast<frmPassword *>(w)) // the code typed: Cancel still opens nothing
                    access->txtName->setText(QStringLiteral("kvern"));
                road.before = state();
                if (!escape)
                    w->findChild<QPushButton *>(QStringLiteral("cmdCancel"))->click();
                else
                    QTest::keyClick(w->focusWidget() ? w->focusWidget() : w, Qt::Key_Escape);
                if (auto *c = qobject_cast<frmMessageTest *>(w); c && !c->isUnloaded())
                    QTest::keyClick(c->txtMessage, Qt::Key_Escape);
                road.stayedOpen = find() == w;
                road.during = state();
                if (road.stayedOpen)
                    w->close(); // the close box ends the test of this window
            });
            open();
            road.after = state();
            forms::Unload<frmMessageTest>();
            return road;
        };

        const Road escaped = run(true);
        if (!hasCancel) {
            QVERIFY2(escaped.stayedOpen, qPrintable(window));
            QCOMPARE(escaped.during, escaped.before);
            if (window == QLatin1String("frmMessageTest"))
                QVERIFY(escaped.during.endsWith(QStringLiteral("|PAGING|config reboot\r")));
            return;
        }
        const Road clicked = run(false);
        QVERIFY(!escaped.stayedOpen && !clicked.stayedOpen);
        QCOMPARE(escaped.before, clicked.before);
        QCOMPARE(escaped.during, clicked.during);
        QCOMPARE(escaped.after, clicked.after);
    }

    // From the reboot until the PC's port runs at the paging port's settings the console owns
    // the line: no command of the main window does anything then, whether its button is on or
    // not, and afterwards every toolbar button is as it was.
    void noCommandDuringTheOpeningPause()
    {
        frmTerminal *t = connect();
        QVERIFY(t);
        const QList<bool> toolbarBefore = toolbarStates(t);
        const std::size_t mark = encoder->sim().eventCount();
        bool printerAsked = false;
        SetPrinterDialogHook([&](QPrinter &) { return printerAsked = true; });
        ScriptedBoxes boxes; // no box at all
        QList<bool> toolbarDuring, toolbarWhileUp;
        bool paused = false;
        SetTimeScale(0.4); // a second's pause: the encoder takes in the reboot within it
        const PendingAction inThePause = DuringTheOpeningPause(*encoder, mark, [&] {
            paused = true;
            toolbarDuring = toolbarStates(t);
            for (int position = 2; position <= t->Toolbar1->ButtonCount(); ++position) {
                QAction *button = t->Toolbar1->Buttons(position);
                if (QWidget *tool = t->Toolbar1->widgetForAction(button))
                    QTest::mouseClick(tool, Qt::LeftButton);
                button->trigger();
            }
            for (QAction *item : {t->mnuOpenFile, t->mnuNewDB, t->mnuWriteDB, t->mnuReadDB, t->mnuSave,
                                  t->mnuSaveAs, t->mnuPrintDB, t->mnuOpen, t->mnuProperties, t->mnuSendMsg,
                                  t->mnuTXTune})
                item->trigger();
            t->cmdComStatus->click();
            QTest::mouseClick(t->ImgConnected, Qt::LeftButton);
            t->txLookup->setText(QStringLiteral("100"));
            t->cmdLookup->click();
        });
        const PendingAction onMessageTest = WhenShown<frmMessageTest>([&](frmMessageTest *c) {
            toolbarWhileUp = toolbarStates(t);
            c->mnuExit->trigger();
        });
        t->mnuSendMsg->trigger();
        SetPrinterDialogHook([](QPrinter &) { return false; });

        QVERIFY(paused);
        for (const bool loaded : {forms::IsLoaded<frmCfgFam>(), forms::IsLoaded<frmCfgGroup>(),
                                  forms::IsLoaded<frmCfgMsg>(), forms::IsLoaded<frmProperties>(),
                                  forms::IsLoaded<frmSettings_Main>(), forms::IsLoaded<frmPassword>(),
                                  forms::IsLoaded<frmTXTune>()})
            QVERIFY(!loaded);
        QVERIFY(env->dialogs.isEmpty() && !printerAsked);
        QVERIFY(boxes.shown().isEmpty());
        QCOMPARE(toolbarDuring, QList<bool>(toolbarBefore.size(), false));
        QCOMPARE(toolbarWhileUp, toolbarBefore);
        QCOMPARE(toolbarStates(t), toolbarBefore);
        QVERIFY(Run.bDBMatchesEncoder && !Run.TransferRunning());
        QCOMPARE(CommandsSent(*encoder, mark), (QList<QByteArray>{"config reboot\r", "#PrgmMode#ATI\r"}));
    }

    // Closing the program while the console opens or while it is open: the exit's question is
    // the only box, and after the exit's "config reboot" the encoder hears nothing (no
    // "#PrgmMode#", no "ATI" on a port opened again).
    void closingTheProgram_data()
    {
        QTest::addColumn<bool>("duringThePause");
        QTest::newRow("during the opening pause") << true;
        QTest::newRow("with the console open") << false;
    }
    void closingTheProgram()
    {
        QFETCH(bool, duringThePause);
        QPointer<frmTerminal> t = connect();
        QVERIFY(t);
        const std::size_t mark = encoder->sim().eventCount();
        ScriptedBoxes boxes;
        boxes.expect(QStringLiteral("Are You Sure You Want to Exit Solvendra Paging Encoder Setup?"), MsgAnswer::Yes);
        PendingAction closer;
        if (duringThePause) {
            SetTimeScale(1.0); // the encoder takes in the reboot within the pause, which the close ends
            closer = DuringTheOpeningPause(*encoder, mark, [&] { t->close(); });
        } else {
            closer = WhenShown<frmMessageTest>([&](frmMessageTest *) { t->close(); });
        }
        t->mnuSendMsg->trigger();
        QVERIFY(boxes.verifyAllShown());
        QCOMPARE(boxes.shown().size(), 1);
        expectClosedWithTheLine(t, mark);
        QList<QByteArray> sent = CommandsSent(*encoder, mark);
        QCOMPARE(sent, (QList<QByteArray>{"config reboot\r", "config reboot\r"}));
    }

    // However text comes into the message box, it is one line of at most 513 Latin-1
    // characters: an input method's commit, typing, a paste, a drop and the program all go
    // through the same door.
    void messageBoxTakesOnlyWhatAPageCan()
    {
        frmMessageTest *c = OpenConsoleAlone();
        c->show();
        PageTextBox *box = c->txtMessage;

        commit(box, QString(600, kEuro.at(0)));
        QCOMPARE(box->text(), QString());
        QCOMPARE(c->lblMsgLen->text(), QStringLiteral("Message Length: 0"));
        QVERIFY(!c->cmdSendMsg->isEnabled());

        commit(box, QStringLiteral("ab") + kEuro + QStringLiteral("c"));
        QCOMPARE(box->text(), QStringLiteral("abc"));
        commit(box, QString(600, QLatin1Char('x')));
        QCOMPARE(box->text().size(), 513);
        QVERIFY(box->text().startsWith(QStringLiteral("abcxxx")));
        QCOMPARE(c->lblMsgLen->text(), QStringLiteral("Message Length: 513"));
        commit(box, QStringLiteral("y"));
        QCOMPARE(box->text().size(), 513);
        QVERIFY(!box->text().contains(QLatin1Char('y')));

        // In the middle of a full box a typed character is refused and the caret stays put.
        QTextCursor caret = box->textCursor();
        caret.setPosition(2);
        box->setTextCursor(caret);
        type(box, QStringLiteral("z") + kEuro);
        QCOMPARE(box->text().size(), 513);
        QVERIFY(box->text().startsWith(QStringLiteral("abcxxx")));
        QCOMPARE(box->textCursor().position(), 2);

        // Typing: Latin-1 goes in, anything else does not; Enter does not.
        box->clear();
        type(box, QStringLiteral("caf") + QChar(0xE9) + kEuro + QStringLiteral("!"));
        QTest::keyClick(box, Qt::Key_Return);
        QCOMPARE(box->text(), QStringLiteral("caf\u00e9!"));

        // A paste: CR LF, CR and LF each one blank, the euro sign left out, cut at the limit where
        // the caret stands; the text after the caret stays.
        box->setBytes("<>");
        caret = box->textCursor();
        caret.setPosition(1);
        box->setTextCursor(caret);
        QGuiApplication::clipboard()->setMimeData(
            textData(QStringLiteral("a\r\nb\rc\nd") + kEuro + QString(600, QLatin1Char('p'))));
        box->paste();
        QCOMPARE(box->text().size(), 513);
        QVERIFY(box->text().startsWith(QStringLiteral("<a b c dppp")));
        QVERIFY(box->text().endsWith(QStringLiteral("pp>")));
        QCOMPARE(box->textCursor().position(), 512);

        // A drop, the same.
        box->clear();
        const std::unique_ptr<QMimeData> dropped(textData(kEuro + QStringLiteral("1\n2") + QString(600, QLatin1Char('q'))));
        QDragEnterEvent enter(QPoint(4, 4), Qt::CopyAction, dropped.get(), Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(box->viewport(), &enter);
        QDropEvent drop(QPointF(4, 4), Qt::CopyAction, dropped.get(), Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(box->viewport(), &drop);
        QVERIFY(drop.isAccepted());
        QCOMPARE(box->text().size(), 513);
        QVERIFY(box->text().startsWith(QStringLiteral("1 2qqq")));

        // The program: an over-long or broken line from the archive file.
        box->setBytes(QByteArray(700, 'r'));
        QCOMPARE(box->bytes(), QByteArray(513, 'r'));
        box->setBytes("one\r\ntwo\xa0three");
        QCOMPARE(box->bytes(), QByteArray("one two\xa0three"));
        QCOMPARE(c->lblMsgLen->text(), QStringLiteral("Message Length: 13"));

        // A line break that still reaches the text (the text cursor's own insert) becomes a
        // blank; an undo takes back the insert and its correction together.
        box->clear();
        box->insertPlainText(QStringLiteral("x"));
        box->textCursor().insertText(QStringLiteral("1\n2") + kEuro);
        QCOMPARE(box->text(), QStringLiteral("x1 2"));
        QCOMPARE(box->document()->blockCount(), 1);
        box->undo();
        QCOMPARE(box->text(), QStringLiteral("x"));
    }

    // A non-breaking space typed or pasted into the message stays 0xA0 in the page the encoder
    // receives, in the log line and in the archive file.
    void nonBreakingSpaceReachesPageLogAndArchive()
    {
        frmTerminal *t = connect();
        QVERIFY(t);
        QStringList log;
        QByteArray message;
        const PendingAction onConsole = WhenTheConsoleIsUp(*encoder, [&](frmMessageTest *c) {
            c->txtPIN->setText(QStringLiteral("123"));
            c->txtMessage->setFocus();
            type(c->txtMessage, QStringLiteral("a") + kNbsp + QStringLiteral("b"));
            QGuiApplication::clipboard()->setText(QString(kNbsp) + QStringLiteral("c"));
            c->txtMessage->paste();
            message = c->txtMessage->bytes();
            SetTimeScale(0.2); // room for the page's answer
            c->cmdSendMsg->click();
            SetTimeScale(0.05);
            c->cmdAdd->click();
            log = ConsoleLogLines(c);
            c->mnuExit->trigger();
        });
        t->mnuSendMsg->trigger();
        QCOMPARE(message, QByteArray("a\xa0" "b\xa0" "c"));
        QVERIFY(encoder->sim().waitForPages(1, std::chrono::seconds(5)));
        QCOMPARE(QByteArray::fromStdString(encoder->sim().pages().front().message), message);
        QVERIFY(log.contains(QStringLiteral("TAP Output: PIN - '123', MSG - 'a\u00a0b\u00a0c'")));
        QCOMPARE(ReadFile(MessageArchive(UserDataFolder()).Path()), message + "\r\n");
    }

    // The adapter pulled out while the console is open: closing it says the one failure of
    // handing the encoder back, and does not wait for an answer to a command that never left
    // (the reply timer is not even started).
    void closingAfterTheLineHasGone()
    {
        frmTerminal *t = connect();
        QVERIFY(t);
        QSignalSpy expiries(&LinkTestAccess::replyTimer(Link()), &WindowTimer::Timer);
        ScriptedBoxes boxes;
        boxes.expect(QString()).icon(MsgIcon::Exclamation).buttons(MsgButtons::OK); // "#PrgmMode#" not written
        bool closed = false;
        const PendingAction onMessageTest = WhenShown<frmMessageTest>([&](frmMessageTest *c) {
            encoder->sim().hangup(); // returns once the line is gone
            c->mnuExit->trigger();
            closed = c->isUnloaded();
        });
        t->mnuSendMsg->trigger();
        QVERIFY(closed);
        QVERIFY(boxes.verifyAllShown());
        QCOMPARE(boxes.shown().size(), 1);
        QCOMPARE(expiries.count(), 0);
        QVERIFY(!LinkTestAccess::replyTimer(Link()).Enabled() && !LinkTestAccess::replyTimedOut(Link()));
        QVERIFY(!forms::IsLoaded<frmMessageTest>());
    }
};

QTEST_MAIN(TestConsoleWindow)
#include "tst_consolewindow.moc"
