// A family typed in the families editor goes everywhere the database goes: into a "*.pg9"
// file and back, into the simulated encoder and back by a read, and comes back unchanged.

#include "app/apptest.h"
#include "support/simencoder.h"
#include "editors/frmCfgFam.h"
#include "model/database.h"
#include "support/scriptedboxes.h"

#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

namespace {

void clickCell(frmCfgFam *f, int row, int col)
{
    QTableWidget *g = f->fgFamilies;
    const QModelIndex index = g->model()->index(row - 1, col - 1);
    g->scrollTo(index);
    QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, g->visualRect(index).center());
}

void type(frmCfgFam *f, int row, int col, const QString &keys)
{
    clickCell(f, row, col);
    QTest::keyClick(f->txtFam, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(f->txtFam, keys);
}

void choose(frmCfgFam *f, int row, int col, QComboBox *list, const QString &item)
{
    clickCell(f, row, col);
    list->showPopup();
    list->view()->setCurrentIndex(list->view()->model()->index(list->findText(item), 0));
    QTest::keyClick(list->view(), Qt::Key_Return);
}

// The fields the encoder and the file keep (Defined is each reader's own conclusion). The
// encoder writes message numbers with two digits ("03" for 3).
QByteArrayList kept(const FamilyRec &f)
{
    QByteArrayList fields(f.begin(), f.begin() + FamDefined);
    for (int m : {FamPrefix, FamSuffix})
        fields[m] = QByteArray::number(fields[m].toInt());
    return fields;
}

// What the families editor shows of the first rows.
QStringList shownRows(frmTerminal *t, int rows)
{
    t->Toolbar1->ButtonByKey(QStringLiteral("sequence"))->trigger();
    frmCfgFam *f = forms::Find<frmCfgFam>();
    QStringList texts;
    for (int r = 1; r <= rows; ++r)
        for (int c = frmCfgFam::ColActive; c < frmCfgFam::ColumnCount; ++c)
            texts << f->Cell(r, c)->text();
    forms::UnloadForm(f);
    return texts;
}

} // namespace

class TestTypedFamily : public QObject {
    Q_OBJECT

    std::unique_ptr<AppTestEnv> env;
    std::unique_ptr<SimEncoder> encoder;

private slots:
    void initTestCase() { IsolateSettingsForTestRun(); }
    void init()
    {
        env = std::make_unique<AppTestEnv>();
        SetTimeScale(0.2);
    }
    void cleanup()
    {
        forms::DestroyAll();
        encoder.reset();
        env.reset();
    }

    void aTypedFamilyComesBackFromTheFileAndTheEncoder()
    {
        // The program as detection leaves it on a V9 encoder in programming mode.
        encoder = std::make_unique<SimEncoder>(encsim::DeviceState::factory(9), encsim::Mode::Programming,
                                               std::vector<std::pair<std::string, std::string>>{{"pacing", "off"}});
        QVERIFY2(encoder->ok(), qPrintable(encoder->error()));
        frmTerminal *t = StartAndShowMainWindow<frmXJSplash>();
        QVERIFY(t && t->isVisible());
        QVERIFY(!Link().setPortNumber(1) && !Link().setLine("9600,n,8,1") &&
                !Link().openPort());
        Run.sFirmwareVer = "9.7";
        Run.sTestPort = "1";
        Run.bV7Encoder = false;
        ResetDatabase();
        ScriptedBoxes boxes;

        // A family typed and chosen in the editor.
        t->Toolbar1->ButtonByKey(QStringLiteral("sequence"))->trigger();
        frmCfgFam *f = forms::Find<frmCfgFam>();
        QVERIFY(f);
        type(f, 1, 2, QStringLiteral("25"));
        type(f, 1, 3, QStringLiteral("1200"));
        type(f, 1, 5, QStringLiteral("1048576"));
        choose(f, 1, 7, f->cmbPgrType, QStringLiteral("Numeric"));
        choose(f, 1, 9, f->cmbRate, QStringLiteral("1200"));
        choose(f, 1, 11, f->cmbMsg, QStringLiteral("12"));
        choose(f, 2, 10, f->cmbMsg, QStringLiteral("3")); // a second family with only a prefix
        type(f, 2, 3, QStringLiteral("1300"));
        type(f, 2, 5, QStringLiteral("2000000"));
        QTest::mouseClick(f->cmdOK, Qt::LeftButton);
        QVERIFY(!forms::IsLoaded<frmCfgFam>());
        QVERIFY(Run.bDBCheckOK);
        const FamilyRec first{"1", "1048576", "1", "N", "0", "025", "1200", "00", "12", "YES"};
        const FamilyRec second{"1", "2000000", "5", "A", "3", "001", "1300", "3", "00", "YES"};
        QCOMPARE(DB.Families[0], first);
        QCOMPARE(DB.Families[1], second);
        const auto typed = DB.Families;
        const QStringList shown = shownRows(t, 2);
        QCOMPARE(shown.mid(0, 11), QStringList({"ON", "25", "1200", "1224", "1048576", "1048600",
                                                "Numeric", "1", "1200", "None", "12"}));

        // Saved and opened again.
        const QString path = QDir(env->programFolder()).filePath(QStringLiteral("typed.pg9"));
        env->dialogAnswers.push_back(path);
        t->mnuSaveAs_Click();
        ResetDatabase();
        env->dialogAnswers.push_back(path);
        t->mnuOpenFile_Click();
        for (int i = 0; i < FamilyCount; ++i)
            QCOMPARE(kept(DB.Families[i]), kept(typed[i]));
        QCOMPARE(shownRows(t, 2), shown);

        // Programmed into the encoder and read back into an emptied database.
        boxes.expect(QStringLiteral("You are About to Program the Encoder"), MsgAnswer::Yes);
        t->mnuWriteDB_Click();
        QVERIFY(boxes.verifyAllShown());
        QVERIFY(Run.bDBMatchesEncoder);
        ResetDatabase();
        t->mnuReadDB_Click();
        QVERIFY(Run.bDBMatchesEncoder);
        QCOMPARE(kept(DB.Families[0]), kept(first));
        QCOMPARE(kept(DB.Families[1]), kept(second));
        QCOMPARE(shownRows(t, 2), shown);
        const encsim::Stats s = encoder->sim().stats();
        QCOMPARE(s.refusals + s.warnings + s.violations, 0);
    }
};

QTEST_MAIN(TestTypedFamily)
#include "tst_typedfamily.moc"
