// What the three grid editors do alike, driven through their real windows: the keys they use
// pass the window first wherever the focus is (the grid, OK, the window itself), and an editor
// opened while the encoder's database is being filled takes no input until the filling ends.

#include "app/apptest.h"

#include "editors/frmCfgMsg.h"
#include "model/database.h"

#include "editors/editortest.h"

#include <QtWidgets>

using namespace editortest;

namespace {

// An editor window with its grid and OK, and whether its text box lies over the cell Down
// leads to from where the editor opens (families: row 2's Pager Qty; groups: group 1's Pager
// ID 1; messages: message 2).
struct Editor {
    QWidget *form = nullptr;
    QWidget *grid = nullptr;
    QPushButton *ok = nullptr;
    std::function<bool()> movedDown;
};

Editor Open(frmTerminal *t, const QString &which)
{
    if (which == QLatin1String("families")) {
        auto *f = OpenFromToolbar<frmCfgFam>(t, "sequence");
        return {f, f->fgFamilies, f->cmdOK, [f] { return TextBoxOver(f, 2, frmCfgFam::ColPagerQty); }};
    }
    if (which == QLatin1String("groups")) {
        auto *f = OpenFromToolbar<frmCfgGroup>(t, "group");
        return {f, f->fgGroups, f->cmdOK, [f] { return TextBoxOver(f, frmCfgGroup::RowPagerID1, 1); }};
    }
    auto *f = OpenFromToolbar<frmCfgMsg>(t, "message");
    return {f, f->fgMessages, f->cmdOK, [f] {
                return LiesOver(f, f->fgMessages, f->txtMsg, 1, 0) && f->Row() == 2;
            }};
}

} // namespace

class TestEditorSteps : public QObject, EditorTest {
    Q_OBJECT

private slots:
    void initTestCase() { IsolateSettingsForTestRun(); }
    void init()
    {
        QVERIFY(startEditing());
        DB.Families[0] = {"1", "1000000", "5", "A", "3", "010", "0100", "00", "00", "YES"};
    }
    void cleanup() { endProgram(); }

    void keysPassTheWindowFirst_data()
    {
        QTest::addColumn<QString>("editor");
        QTest::addColumn<QString>("focus"); // where the keys are pressed
        for (const char *editor : {"families", "groups", "messages"})
            for (const char *focus : {"OK", "grid", "window"})
                QTest::addRow("%s, %s", editor, focus) << QString::fromLatin1(editor) << QString::fromLatin1(focus);
    }
    void keysPassTheWindowFirst()
    {
        QFETCH(QString, editor);
        QFETCH(QString, focus);
        const Editor e = Open(t, editor);
        QWidget *target = focus == QLatin1String("OK") ? e.ok : focus == QLatin1String("grid") ? e.grid : e.form;
        QVERIFY(!e.movedDown());
        QTest::keyClick(target, Qt::Key_Down);
        QVERIFY(e.movedDown());
        QVERIFY(e.form->isVisible());

        QTest::keyClick(target, Qt::Key_F1);
        QCOMPARE(env->shellOpened, QStringList({HelpFile}));
        // A key the editors leave alone reaches the control: Space on OK presses it.
        if (target == e.ok) {
            QTest::keyClick(e.ok, Qt::Key_Space);
            QVERIFY(!e.form->isVisible());
        }
    }

    void openedWhileTheDatabaseIsFilled_data()
    {
        QTest::addColumn<QString>("editor");
        QTest::newRow("families") << QStringLiteral("families");
        QTest::newRow("groups") << QStringLiteral("groups");
        QTest::newRow("messages") << QStringLiteral("messages");
    }
    void openedWhileTheDatabaseIsFilled()
    {
        QFETCH(QString, editor);
        auto filling = std::make_unique<BusyScope>(Busy::FillingDatabase);
        const Editor e = Open(t, editor);
        QVERIFY(!e.grid->isEnabled() && !e.ok->isEnabled());
        QVERIFY(Run.bDBMatchesEncoder);

        filling.reset();
        QTRY_VERIFY(e.grid->isEnabled() && e.ok->isEnabled());
        QTest::keyClick(e.ok, Qt::Key_Down);
        QVERIFY(e.movedDown());
    }
};

QTEST_MAIN(TestEditorSteps)
#include "tst_editorsteps.moc"
