// Message boxes: the scripted responder of tests/support, the title default, and the real box.
#include <QtTest>

#include "platform/msgbox.h"
#include "platform/msgboxwidget.h"
#include "support/scriptedboxes.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>

#include <functional>

namespace {
// Runs `check` on the first modal message box that appears (from inside its event loop).
void onNextMessageBox(std::function<void(QMessageBox *)> check)
{
    auto *timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, check] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            check(box);
        }
    });
    timer->start();
}
} // namespace

// Run in a child process (see scriptedFailuresFailTheTest): each function must fail.
class InnerFailingTest : public QObject {
    Q_OBJECT
private slots:
    void unexpectedBox()
    {
        ScriptedBoxes boxes;
        const MsgAnswer a = MsgBox(QStringLiteral("Surprise box"), MsgButtons::YesNo,
                                   MsgIcon::Question, QStringLiteral("Inner Title"));
        // The code under test goes on with No.
        if (a != MsgAnswer::No)
            qWarning("INNER: unexpected answer");
    }
    void scriptedBoxNeverShown()
    {
        ScriptedBoxes boxes;
        boxes.expect(QStringLiteral("Never shown text"), MsgAnswer::OK);
    }
    void wrongBox()
    {
        ScriptedBoxes boxes;
        boxes.expect(QStringLiteral("Expected text"), MsgAnswer::OK);
        MsgBox(QStringLiteral("Other text"));
    }
    void allShownPasses()
    {
        ScriptedBoxes boxes;
        boxes.expect(QStringLiteral("fine"), MsgAnswer::OK);
        MsgBox(QStringLiteral("All fine"));
    }
};

class TestMsgBox : public QObject {
    Q_OBJECT
private slots:
    void init() { SetAppTitle(QStringLiteral("Platform Box Test")); }

    void answeredFromTheScriptInOrder()
    {
        ScriptedBoxes boxes;
        boxes.expect(QStringLiteral("Overwrite"), MsgAnswer::Yes)
            .title(QStringLiteral("Save As"))
            .buttons(MsgButtons::YesNo)
            .icon(MsgIcon::Question)
            .defaultButton(2);
        boxes.expect(QStringLiteral("saved"), MsgAnswer::OK);
        boxes.expect(QString(), MsgAnswer::Retry); // any text
        QCOMPARE(boxes.pending(), 3);

        QCOMPARE(MsgBox(QStringLiteral("File exists.\rOverwrite?"), MsgButtons::YesNo,
                        MsgIcon::Question, QStringLiteral("Save As"), 2),
                 MsgAnswer::Yes);
        QCOMPARE(MsgBox(QStringLiteral("Database saved")), MsgAnswer::OK);
        QCOMPARE(MsgBox(QStringLiteral("Port busy"), MsgButtons::RetryCancel,
                        MsgIcon::Exclamation),
                 MsgAnswer::Retry);
        QCOMPARE(boxes.pending(), 0);
        QVERIFY(boxes.verifyAllShown());
        QVERIFY(!boxes.failed());

        const auto &shown = boxes.shown();
        QCOMPARE(shown.size(), 3);
        QCOMPARE(shown[0].title, QStringLiteral("Save As"));
        QCOMPARE(shown[0].text, QStringLiteral("File exists.\rOverwrite?")); // as built
        QCOMPARE(shown[0].buttons, MsgButtons::YesNo);
        QCOMPARE(shown[0].icon, MsgIcon::Question);
        QCOMPARE(shown[0].defaultButton, 2);
        QCOMPARE(shown[0].answer, MsgAnswer::Yes);
        QVERIFY(shown[0].scripted);
        QCOMPARE(shown[1].title, QStringLiteral("Platform Box Test"));
        QCOMPARE(shown[2].icon, MsgIcon::Exclamation);
        QCOMPARE(boxes.texts(),
                 QStringList({QStringLiteral("File exists.\rOverwrite?"),
                              QStringLiteral("Database saved"), QStringLiteral("Port busy")}));
    }

    void setAppTitleAlsoNamesTheApplication()
    {
        SetAppTitle(QStringLiteral("Kestrane Paging Encoder Setup"));
        QCOMPARE(AppTitle(), QStringLiteral("Kestrane Paging Encoder Setup"));
        QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("Kestrane Paging Encoder Setup"));
    }

    void anUnexpectedBoxIsRecordedAndAnsweredNegatively_data()
    {
        QTest::addColumn<int>("buttons");
        QTest::addColumn<int>("answer");
        QTest::newRow("OK") << int(MsgButtons::OK) << int(MsgAnswer::OK);
        QTest::newRow("OKCancel") << int(MsgButtons::OKCancel) << int(MsgAnswer::Cancel);
        QTest::newRow("YesNo") << int(MsgButtons::YesNo) << int(MsgAnswer::No);
        QTest::newRow("YesNoCancel") << int(MsgButtons::YesNoCancel) << int(MsgAnswer::Cancel);
        QTest::newRow("RetryCancel") << int(MsgButtons::RetryCancel) << int(MsgAnswer::Cancel);
        QTest::newRow("AbortRetryIgnore") << int(MsgButtons::AbortRetryIgnore) << int(MsgAnswer::Abort);
    }

    void anUnexpectedBoxIsRecordedAndAnsweredNegatively()
    {
        QFETCH(int, buttons);
        QFETCH(int, answer);
        ScriptedBoxes boxes(ScriptedBoxes::RecordFailures);
        QCOMPARE(MsgBox(QStringLiteral("Surprise\rsecond line"), MsgButtons(buttons),
                        MsgIcon::Critical, QStringLiteral("Odd Title")),
                 MsgAnswer(answer));
        QVERIFY(boxes.failed());
        QCOMPARE(boxes.failures().size(), 1);
        QVERIFY2(boxes.failures()[0].contains(QStringLiteral("Surprise")), qPrintable(boxes.failures()[0]));
        QVERIFY(boxes.failures()[0].contains(QStringLiteral("Odd Title")));
        QCOMPARE(boxes.shown().size(), 1);
        QVERIFY(!boxes.shown()[0].scripted);
        QCOMPARE(boxes.shown()[0].answer, MsgAnswer(answer));
    }

    void aBoxThatDoesNotMatchTheNextEntryIsAFailure()
    {
        ScriptedBoxes boxes(ScriptedBoxes::RecordFailures);
        boxes.expect(QStringLiteral("first"), MsgAnswer::OK);
        boxes.expect(QStringLiteral("second"), MsgAnswer::OK);
        MsgBox(QStringLiteral("the second box")); // out of order
        QCOMPARE(boxes.failures().size(), 1);
        QCOMPARE(boxes.pending(), 2);
        MsgBox(QStringLiteral("the first box"));
        MsgBox(QStringLiteral("the second box"));
        QCOMPARE(boxes.failures().size(), 1);
        QVERIFY(boxes.verifyAllShown());

        // Title, buttons and icon are checked when scripted.
        boxes.expect(QStringLiteral("x"), MsgAnswer::OK).title(QStringLiteral("Read Error"));
        MsgBox(QStringLiteral("x"), MsgButtons::OK, MsgIcon::None, QStringLiteral("Write Error"));
        QCOMPARE(boxes.failures().size(), 2);
        QVERIFY(boxes.failures().last().contains(QStringLiteral("Read Error")));
        boxes.reset();
        boxes.expect(QStringLiteral("x"), MsgAnswer::OK).buttons(MsgButtons::OKCancel);
        MsgBox(QStringLiteral("x"));
        QCOMPARE(boxes.failures().size(), 3);
        boxes.reset();
        boxes.expect(QStringLiteral("x"), MsgAnswer::OK).icon(MsgIcon::Exclamation);
        MsgBox(QStringLiteral("x"), MsgButtons::OK, MsgIcon::Information);
        QCOMPARE(boxes.failures().size(), 4);
        // A scripted box never shown is reported by name.
        boxes.reset();
        boxes.expect(QStringLiteral("never appears"), MsgAnswer::OK);
        QVERIFY(!boxes.verifyAllShown());
        QCOMPARE(boxes.failures().size(), 5);
        QVERIFY(boxes.failures().last().contains(QStringLiteral("never appears")));
    }

    void aScriptedAnswerThatIsNoButtonIsAFailure()
    {
        ScriptedBoxes boxes(ScriptedBoxes::RecordFailures);
        boxes.expect(QStringLiteral("Continue"), MsgAnswer::Yes);
        QCOMPARE(MsgBox(QStringLiteral("Continue?"), MsgButtons::OKCancel), MsgAnswer::Cancel);
        QCOMPARE(boxes.failures().size(), 1);
        QVERIFY(boxes.failures()[0].contains(QStringLiteral("Yes")));
    }

    void scriptsNestAndRunActionsWhileTheBoxIsShown()
    {
        ScriptedBoxes outer;
        outer.expect(QStringLiteral("outer"), MsgAnswer::OK);
        {
            ScriptedBoxes inner;
            int ran = 0;
            inner.expect(QStringLiteral("Cancel the transfer"), MsgAnswer::Yes).then([&ran] { ++ran; });
            QCOMPARE(MsgBox(QStringLiteral("Cancel the transfer?"), MsgButtons::YesNo), MsgAnswer::Yes);
            QCOMPARE(ran, 1);
        }
        QCOMPARE(MsgBox(QStringLiteral("outer")), MsgAnswer::OK);
        QCOMPARE(outer.shown().size(), 1);
    }

    void theResponderSeesTheResolvedTitle()
    {
        QList<MsgBoxRequest> seen;
        SetMsgBoxResponder([&seen](const MsgBoxRequest &r) {
            seen << r;
            return MsgAnswer::Ignore;
        });
        QCOMPARE(MsgBox(QStringLiteral("a\rb"), MsgButtons::AbortRetryIgnore, MsgIcon::Critical,
                        QString(), 3),
                 MsgAnswer::Ignore);
        SetMsgBoxResponder({});
        QVERIFY(!CurrentMsgBoxResponder());
        QCOMPARE(seen.size(), 1);
        QCOMPARE(seen[0].title, QStringLiteral("Platform Box Test"));
        QCOMPARE(seen[0].text, QStringLiteral("a\rb"));
        QCOMPARE(seen[0].defaultButton, 3);
    }

    void scriptedFailuresFailTheTest()
    {
        // The inner test class runs in a child process, where its failures cannot fail us.
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("PS_INNER_FAILING_TEST"), QStringLiteral("1"));
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(child.waitForFinished(20000));
        const QString out = QString::fromLocal8Bit(child.readAll());
        QCOMPARE(child.exitCode(), 3); // three of the four functions fail
        QVERIFY2(out.contains(QStringLiteral("FAIL!  : InnerFailingTest::unexpectedBox()")), qPrintable(out));
        QVERIFY2(out.contains(QStringLiteral("Surprise box")), qPrintable(out));
        QVERIFY2(out.contains(QStringLiteral("Inner Title")), qPrintable(out));
        QVERIFY2(out.contains(QStringLiteral("FAIL!  : InnerFailingTest::scriptedBoxNeverShown()")), qPrintable(out));
        QVERIFY2(out.contains(QStringLiteral("Never shown text")), qPrintable(out));
        QVERIFY2(out.contains(QStringLiteral("FAIL!  : InnerFailingTest::wrongBox()")), qPrintable(out));
        QVERIFY2(out.contains(QStringLiteral("PASS   : InnerFailingTest::allShownPasses()")), qPrintable(out));
        QVERIFY2(!out.contains(QStringLiteral("INNER: unexpected answer")), qPrintable(out));
    }

    void realBoxShowsTheLinesTitleIconAndDefault()
    {
        SetMsgBoxResponder({});
        QString text, title;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QStringList buttonTexts;
        QString defaultText;
        onNextMessageBox([&](QMessageBox *box) {
            text = box->text();
            title = box->windowTitle();
            icon = box->icon();
            for (QAbstractButton *b : box->buttons())
                buttonTexts << b->text();
            if (box->defaultButton())
                defaultText = box->defaultButton()->text();
            box->button(QMessageBox::No)->click();
        });
        const MsgAnswer a = MsgBox(QStringLiteral("Line one\r\nLine two\rLine three"),
                                   MsgButtons::YesNoCancel, MsgIcon::Exclamation, QString(), 2);
        QCOMPARE(a, MsgAnswer::No);
        QCOMPARE(text, QStringLiteral("Line one\nLine two\nLine three"));
        QCOMPARE(title, QStringLiteral("Platform Box Test"));
        QCOMPARE(icon, QMessageBox::Warning);
        QCOMPARE(buttonTexts.size(), 3);
        QCOMPARE(defaultText, QMessageBox().addButton(QMessageBox::No)->text());

        // Escape answers Cancel.
        onNextMessageBox([](QMessageBox *box) { box->reject(); });
        QCOMPARE(MsgBox(QStringLiteral("Quit?"), MsgButtons::OKCancel, MsgIcon::Question,
                        QStringLiteral("Exit")),
                 MsgAnswer::Cancel);
    }

    void displayText()
    {
        QCOMPARE(MsgBoxDisplayText(QStringLiteral("a\r\nb\rc\nd")), QStringLiteral("a\nb\nc\nd"));
        QCOMPARE(MsgBoxAnswers(MsgButtons::YesNoCancel),
                 QList<MsgAnswer>({MsgAnswer::Yes, MsgAnswer::No, MsgAnswer::Cancel}));
    }
};

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    UseWidgetMessageBoxes();
    if (qEnvironmentVariableIsSet("PS_INNER_FAILING_TEST")) {
        InnerFailingTest inner;
        return QTest::qExec(&inner, argc, argv);
    }
    TestMsgBox test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_msgbox.moc"
