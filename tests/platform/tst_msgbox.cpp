// Message boxes: the scripted responder of tests/support, the title default, the real box and
// the answer without a window system.
#include <QtTest>

#include "platform/msgbox.h"
#include "platform/msgboxwidget.h"
#include "support/pendingaction.h"
#include "support/scriptedboxes.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>

#include <functional>
#include <memory>

namespace {
// Runs `act` on the first modal message box that appears (from inside its event loop), while
// the guard returned is kept.
[[nodiscard]] PendingAction onNextMessageBox(std::function<void(QMessageBox *)> act)
{
    return When([] { return qobject_cast<QMessageBox *>(QApplication::activeModalWidget()) != nullptr; },
                [act = std::move(act)] {
                    if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget()))
                        act(box);
                });
}

// The responder in place before the scripts of a test, while it lives: it records each box's
// text and answers OK.
class OutsideResponder {
public:
    OutsideResponder()
    {
        SetMsgBoxResponder([this](const MsgBoxRequest &r) {
            m_texts << r.text;
            return MsgAnswer::OK;
        });
    }
    ~OutsideResponder() { SetMsgBoxResponder({}); }
    OutsideResponder(const OutsideResponder &) = delete;
    OutsideResponder &operator=(const OutsideResponder &) = delete;

    const QStringList &texts() const { return m_texts; }

private:
    QStringList m_texts;
};
} // namespace

// Run in a child process without a window system (see inChildProcess): its failing functions
// must be reported as failures.
class InnerTest : public QObject {
    Q_OBJECT
private slots:
    void unexpectedBox()
    {
        ScriptedBoxes boxes;
        if (MsgBox("Surprise box", MsgButtons::YesNo, MsgIcon::Question, "Inner Title") != MsgAnswer::No)
            qWarning("INNER: unexpected answer");
    }
    void scriptedBoxNeverShown()
    {
        ScriptedBoxes boxes;
        boxes.expect("Never shown text");
    }
    void allShownPasses()
    {
        ScriptedBoxes boxes;
        boxes.expect("fine");
        MsgBox("All fine");
    }
    // Without a window system a box is logged and answered with its default button.
    void noWindowSystem()
    {
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("without a window system.*Quit"));
        QCOMPARE(MsgBox("Quit?", MsgButtons::YesNoCancel, MsgIcon::Question, QString(), 2), MsgAnswer::No);
        SetMsgBoxPresenter({});
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("without a window system.*Save"));
        QCOMPARE(MsgBox("Save?", MsgButtons::OKCancel, MsgIcon::Question, QString(), 7), MsgAnswer::OK);
    }
};

class TestMsgBox : public QObject {
    Q_OBJECT
private slots:
    void init() { SetAppTitle("Platform Box Test"); }

    void answeredFromTheScriptInOrder()
    {
        ScriptedBoxes outer;
        outer.expect("outer");
        {
            ScriptedBoxes boxes; // scripts nest
            int ran = 0;
            boxes.expect("Overwrite", MsgAnswer::Yes)
                .title("Save As")
                .buttons(MsgButtons::YesNo)
                .icon(MsgIcon::Question)
                .defaultButton(2)
                .then([&ran] { ++ran; });
            boxes.expect(QString(), MsgAnswer::Retry); // any text
            QCOMPARE(boxes.pending(), 2);
            QCOMPARE(MsgBox("File exists.\rOverwrite?", MsgButtons::YesNo, MsgIcon::Question, "Save As", 2), MsgAnswer::Yes);
            QCOMPARE(ran, 1);
            QCOMPARE(MsgBox("Port busy", MsgButtons::RetryCancel, MsgIcon::Exclamation), MsgAnswer::Retry);
            QVERIFY(boxes.verifyAllShown() && !boxes.failed());
            const auto &shown = boxes.shown();
            QCOMPARE(boxes.texts(), QStringList({"File exists.\rOverwrite?", "Port busy"})); // as built
            QVERIFY(shown[0].scripted && shown[0].defaultButton == 2 && shown[0].answer == MsgAnswer::Yes);
            QCOMPARE(shown[1].title, QStringLiteral("Platform Box Test"));
            QCOMPARE(shown[1].icon, MsgIcon::Exclamation);
        }
        QCOMPARE(MsgBox("outer"), MsgAnswer::OK);
        QCOMPARE(outer.shown().size(), 1);
    }

    // Scripts may end in another order than they began: a fixture replaced by a new one ends
    // after the new one began. The script still alive answers, and once every script has
    // ended, the responder that was in place before them answers again. (The answers are
    // compared last: a box that reached an ended script would be a fault of its own.)
    void scriptsMayEndOutOfOrder()
    {
        const OutsideResponder outside;
        auto first = std::make_unique<ScriptedBoxes>();
        auto second = std::make_unique<ScriptedBoxes>();
        first.reset();
        second->expect("to the second", MsgAnswer::Yes);
        const MsgAnswer toSecond = MsgBox("to the second", MsgButtons::YesNo);
        second.reset();
        const MsgAnswer afterBoth = MsgBox("after both", MsgButtons::YesNo);
        QCOMPARE(toSecond, MsgAnswer::Yes);
        QCOMPARE(afterBoth, MsgAnswer::OK);
        QCOMPARE(outside.texts(), QStringList{"after both"});
    }

    // A script that ends between two others: the last one answers while it lives, then the
    // first one again.
    void aMiddleScriptMayEndFirst()
    {
        const OutsideResponder outside;
        auto first = std::make_unique<ScriptedBoxes>();
        auto middle = std::make_unique<ScriptedBoxes>();
        auto last = std::make_unique<ScriptedBoxes>();
        first->expect("to the first", MsgAnswer::No);
        last->expect("to the last", MsgAnswer::Yes);
        middle.reset();
        const MsgAnswer toLast = MsgBox("to the last", MsgButtons::YesNo);
        last.reset();
        const MsgAnswer toFirst = MsgBox("to the first", MsgButtons::YesNo);
        first.reset();
        const MsgAnswer afterAll = MsgBox("after all", MsgButtons::YesNo);
        QCOMPARE(toLast, MsgAnswer::Yes);
        QCOMPARE(toFirst, MsgAnswer::No);
        QCOMPARE(afterAll, MsgAnswer::OK);
        QCOMPARE(outside.texts(), QStringList{"after all"});
    }

    // A copy of a script's responder that something kept past the script's end reaches nothing
    // that has gone: the box is a failure, answered as a box nobody scripted.
    void aResponderKeptPastItsScriptFails()
    {
        MsgBoxResponder kept;
        {
            ScriptedBoxes boxes;
            kept = CurrentMsgBoxResponder();
        }
        MsgBoxRequest late;
        late.text = QStringLiteral("Late box");
        late.buttons = MsgButtons::YesNo;
        QEXPECT_FAIL("", "the box comes after its script ended", Continue);
        const MsgAnswer answer = kept(late);
        QCOMPARE(answer, MsgAnswer::No);
    }

    // A box nobody scripted is a failure naming it, and is answered Cancel, else No, else its
    // first button, so that the code under test goes on.
    void anUnexpectedBoxIsRecordedAndAnsweredNegatively()
    {
        for (const auto &[buttons, answer] : QList<QPair<MsgButtons, MsgAnswer>>{
                 {MsgButtons::OK, MsgAnswer::OK}, {MsgButtons::OKCancel, MsgAnswer::Cancel},
                 {MsgButtons::YesNo, MsgAnswer::No}, {MsgButtons::YesNoCancel, MsgAnswer::Cancel},
                 {MsgButtons::RetryCancel, MsgAnswer::Cancel}, {MsgButtons::AbortRetryIgnore, MsgAnswer::Abort}}) {
            ScriptedBoxes boxes(ScriptedBoxes::RecordFailures);
            QCOMPARE(MsgBox("Surprise", buttons, MsgIcon::Critical, "Odd Title"), answer);
            QCOMPARE(boxes.failures().size(), 1);
            QVERIFY2(boxes.failures()[0].contains("Surprise") && boxes.failures()[0].contains("Odd Title"),
                     qPrintable(boxes.failures()[0]));
            QVERIFY(boxes.shown().size() == 1 && !boxes.shown()[0].scripted);
        }
    }

    // Each mismatch is one more failure, whose message names what was expected.
    void mismatchesAreFailures()
    {
        ScriptedBoxes boxes(ScriptedBoxes::RecordFailures);
        int failures = 0;
        const auto failedNaming = [&](const char *expected) {
            boxes.reset();
            return boxes.failures().size() == ++failures && boxes.failures().last().contains(QLatin1String(expected));
        };
        const char *x = "x";
        boxes.expect("first");
        boxes.expect("second");
        MsgBox("the second box"); // out of order
        QCOMPARE(boxes.pending(), 2);
        MsgBox("the first box");
        MsgBox("the second box");
        QVERIFY(boxes.verifyAllShown());
        QVERIFY(failedNaming("first"));
        boxes.expect(x).title("Read Error");
        MsgBox(x, MsgButtons::OK, MsgIcon::None, "Write Error");
        QVERIFY(failedNaming("Read Error"));
        boxes.expect(x).buttons(MsgButtons::OKCancel);
        MsgBox(x);
        QVERIFY(failedNaming("OKCancel"));
        boxes.expect(x).icon(MsgIcon::Exclamation);
        MsgBox(x, MsgButtons::OK, MsgIcon::Information);
        QVERIFY(failedNaming("Exclamation"));
        boxes.expect("Continue", MsgAnswer::Yes); // an answer that is no button
        QCOMPARE(MsgBox("Continue?", MsgButtons::OKCancel), MsgAnswer::Cancel);
        QVERIFY(failedNaming("Yes"));
        boxes.expect("never appears");
        QVERIFY(!boxes.verifyAllShown());
        QVERIFY(failedNaming("never appears"));
    }

    void theResponderSeesTheResolvedTitle()
    {
        SetAppTitle("Kestrane Paging Encoder Setup"); // names the application too
        QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("Kestrane Paging Encoder Setup"));
        QList<MsgBoxRequest> seen;
        SetMsgBoxResponder([&seen](const MsgBoxRequest &r) {
            seen << r;
            return MsgAnswer::Ignore;
        });
        QCOMPARE(MsgBox("a\rb", MsgButtons::AbortRetryIgnore, MsgIcon::Critical, QString(), 3), MsgAnswer::Ignore);
        SetMsgBoxResponder({});
        QVERIFY(!CurrentMsgBoxResponder());
        QCOMPARE(seen.size(), 1);
        QCOMPARE(seen[0].title + '|' + seen[0].text, QStringLiteral("Kestrane Paging Encoder Setup|a\rb"));
        QVERIFY(seen[0].buttons == MsgButtons::AbortRetryIgnore && seen[0].icon == MsgIcon::Critical);
        QCOMPARE(seen[0].defaultButton, 3);
    }

    void inChildProcess()
    {
        // The inner test class runs in a child process, where its failures cannot fail us.
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("PS_INNER_TEST", "1");
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(child.waitForFinished(20000));
        const QString out = QString::fromLocal8Bit(child.readAll());
        QCOMPARE(child.exitCode(), 2); // two of the four functions fail
        for (const char *expected : {"FAIL!  : InnerTest::unexpectedBox()", "Surprise box", "Inner Title",
                                     "FAIL!  : InnerTest::scriptedBoxNeverShown()", "Never shown text",
                                     "PASS   : InnerTest::allShownPasses()", "PASS   : InnerTest::noWindowSystem()"})
            QVERIFY2(out.contains(QLatin1String(expected)), qPrintable(out));
        QVERIFY2(!out.contains(QStringLiteral("INNER: unexpected answer")), qPrintable(out));
    }

    void realBoxShowsTheLinesTitleIconAndDefault()
    {
        SetMsgBoxResponder({});
        QString text, title, defaultText;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        int buttons = 0;
        const PendingAction answer = onNextMessageBox([&](QMessageBox *box) {
            text = box->text();
            title = box->windowTitle();
            icon = box->icon();
            buttons = int(box->buttons().size());
            if (box->defaultButton())
                defaultText = box->defaultButton()->text();
            box->button(QMessageBox::No)->click();
        });
        QCOMPARE(MsgBox("Line one\r\nLine two\rLine three\nLine four", MsgButtons::YesNoCancel, MsgIcon::Exclamation,
                        QString(), 2),
                 MsgAnswer::No);
        QCOMPARE(text, QStringLiteral("Line one\nLine two\nLine three\nLine four"));
        QCOMPARE(title, QStringLiteral("Platform Box Test"));
        QCOMPARE(icon, QMessageBox::Warning);
        QCOMPARE(buttons, 3);
        QCOMPARE(defaultText, QMessageBox().addButton(QMessageBox::No)->text());

        // Escape answers Cancel.
        const PendingAction escape = onNextMessageBox([](QMessageBox *box) { box->reject(); });
        QCOMPARE(MsgBox("Quit?", MsgButtons::OKCancel, MsgIcon::Question, "Exit"), MsgAnswer::Cancel);
    }
};

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsSet("PS_INNER_TEST")) {
        QCoreApplication app(argc, argv); // no window system
        UseWidgetMessageBoxes();
        InnerTest inner;
        return QTest::qExec(&inner, argc, argv);
    }
    QApplication app(argc, argv);
    UseWidgetMessageBoxes();
    TestMsgBox test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_msgbox.moc"
