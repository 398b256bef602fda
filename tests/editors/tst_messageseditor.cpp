// The canned messages editor driven through its real window: typing stored at every
// keystroke, double quotes refused, line breaks dropped, the keys, and no input while the
// encoder's database is being filled.

#include "app/apptest.h"

#include "editors/frmCfgMsg.h"
#include "model/changes.h"
#include "model/database.h"
#include "support/scriptedboxes.h"

#include "editors/editortest.h"

#include <QtWidgets>

using namespace editortest;

namespace {

const QString QuoteRefused = QStringLiteral("Double Quote Characters (\") are Not Allowed");

using M = frmCfgMsg;

QChar back(M *f, int row)
{
    const QColor c = f->Cell(row)->background().color();
    return c == QColor(255, 255, 245) ? QChar('I') : c == QColor(192, 192, 192) ? QChar('g') : QChar('?');
}

bool textBoxOver(M *f, int row)
{
    return LiesOver(f, f->fgMessages, f->txtMsg, row - 1, 0) && f->Row() == row &&
           f->txtMsg->cursorPosition() == f->txtMsg->text().size();
}

void paste(QLineEdit *box, const QString &text)
{
    QGuiApplication::clipboard()->setText(text);
    QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
}

} // namespace

class TestMessagesEditor : public QObject, EditorTest {
    Q_OBJECT

    M *openEditor() { return OpenFromToolbar<M>(t, "message"); }

private slots:
    void initTestCase() { IsolateSettingsForTestRun(); }
    void init()
    {
        QVERIFY(startEditing());
        ShowDatabaseMatchesEncoder(t);
    }
    void cleanup() { endProgram(); }

    void everyKeystrokeIsStoredAndShown()
    {
        DB.CannedMsgs[0] = "Fire";
        DB.CannedMsgs[14] = QByteArray(70, 'x'); // longer than may be typed, from a file
        M *f = openEditor();
        QCOMPARE(f->windowTitle(), QStringLiteral(" Predefined Messages Setup"));
        QCOMPARE(QString(back(f, 1)) + back(f, 2) + back(f, 15), QStringLiteral("IgI"));
        QVERIFY(textBoxOver(f, 1));
        QCOMPARE(f->txtMsg->text(), QStringLiteral("Fire"));
        QVERIFY(Run.bDBMatchesEncoder);

        QTest::keyClicks(f->txtMsg, QStringLiteral(" drill"));
        QCOMPARE(DB.CannedMsgs[0], QByteArray("Fire drill"));
        QCOMPARE(f->Cell(1)->text(), QStringLiteral("Fire drill"));
        QVERIFY(!Run.bDBMatchesEncoder && t->StatusBar1->panelText(1) == Modified);

        // Emptied it turns light grey; the first character makes it ivory again.
        QTest::keyClick(f->txtMsg, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(f->txtMsg, Qt::Key_Delete);
        QCOMPARE(DB.CannedMsgs[0] + back(f, 1).toLatin1(), QByteArray("g"));
        QTest::keyClicks(f->txtMsg, QStringLiteral("E"));
        QCOMPARE(DB.CannedMsgs[0] + back(f, 1).toLatin1(), QByteArray("EI"));

        // 60 characters may be typed, no more; a longer stored message shows whole.
        QTest::keyClicks(f->txtMsg, QString(70, QLatin1Char('y')));
        QCOMPARE(DB.CannedMsgs[0], "E" + QByteArray(59, 'y'));
        QTest::keyClick(f->txtMsg, Qt::Key_Up);
        QVERIFY(textBoxOver(f, 15));
        QCOMPARE(f->txtMsg->text().size(), 70);
        QTest::keyClicks(f->txtMsg, QStringLiteral("z"));
        QCOMPARE(DB.CannedMsgs[14], QByteArray(70, 'x'));
    }

    // No message holds a double quote or a line break: a quote is refused with a box wherever
    // it comes, a pasted line break goes without one.
    void quotesAreRefusedAndLineBreaksDropped()
    {
        M *f = openEditor();
        ScriptedBoxes boxes;
        boxes.expect(QuoteRefused).title(QStringLiteral("Invalid Entry")).buttons(MsgButtons::OK).icon(MsgIcon::None);
        QTest::keyClicks(f->txtMsg, QStringLiteral("Gate \""));
        QCOMPARE(f->txtMsg->text(), QStringLiteral("Gate "));
        QCOMPARE(DB.CannedMsgs[0], QByteArray("Gate "));

        // In the middle of the text, and pasted with several: every quote goes, the caret
        // stays where the first one was.
        boxes.expect(QuoteRefused);
        f->txtMsg->setCursorPosition(2);
        QTest::keyClicks(f->txtMsg, QStringLiteral("\""));
        QCOMPARE(f->txtMsg->text() + QString::number(f->txtMsg->cursorPosition()), QStringLiteral("Gate 2"));
        boxes.expect(QuoteRefused);
        paste(f->txtMsg, QStringLiteral("\"A\" \"B\""));
        QVERIFY(boxes.verifyAllShown());
        QCOMPARE(boxes.shown().size(), 3);
        QCOMPARE(DB.CannedMsgs[0] + QByteArray::number(f->txtMsg->cursorPosition()), QByteArray("GaA Bte 2"));

        paste(f->txtMsg, QStringLiteral("line 1\r\nline 2\n"));
        QCOMPARE(DB.CannedMsgs[0], QByteArray("Galine 1line 2A Bte "));
        QCOMPARE(boxes.shown().size(), 3);
    }

    void keysGoRoundTheMessages()
    {
        M *f = openEditor();
        const std::pair<Qt::Key, int> moves[] = {{Qt::Key_Up, 15},    {Qt::Key_Down, 1}, {Qt::Key_Right, 2},
                                                 {Qt::Key_Tab, 3},    {Qt::Key_Return, 4}, {Qt::Key_Left, 3},
                                                 {Qt::Key_Backtab, 4}};
        for (const auto &[key, row] : moves) {
            QTest::keyClick(f->txtMsg, key);
            QVERIFY2(textBoxOver(f, row), qPrintable(QString::number(f->Row())));
        }
        QTest::keyClick(f->txtMsg, Qt::Key_F1);
        QCOMPARE(env->shellOpened, QStringList({HelpFile}));
        QTest::mouseClick(f->cmdOK, Qt::LeftButton);
        QVERIFY(!forms::IsLoaded<M>());
        QVERIFY(Run.bDBMatchesEncoder);
    }

    void noEditsWhileATransferRunsAndAReplacedDatabaseIsDrawn()
    {
        M *f = openEditor();
        auto filling = std::make_unique<BusyScope>(Busy::FillingDatabase);
        QTRY_VERIFY(!f->fgMessages->isEnabled() && !f->txtMsg->isVisible());
        QTest::keyClicks(f->txtMsg, QStringLiteral("x"));
        QVERIFY(DB.CannedMsgs[0].isEmpty() && Run.bDBMatchesEncoder);

        DB.CannedMsgs[0] = "Read";
        NotifyModelChanged(ModelChange::DatabaseReplaced);
        filling.reset();
        QTRY_VERIFY(f->fgMessages->isEnabled() && textBoxOver(f, 1));
        QCOMPARE(f->txtMsg->text() + back(f, 1), QStringLiteral("ReadI"));
    }
};

QTEST_MAIN(TestMessagesEditor)
#include "tst_messageseditor.moc"
