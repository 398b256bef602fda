// Records edited in the editors go everywhere the database goes: into a "*.pg9" file and back,
// into the simulated encoder and back by a read, and come back unchanged (the encoder writes IDs
// and message numbers zero-filled). A port setting the encoder settings dialog cannot choose
// passes the dialog and a write unchanged.

#include "editors/frmCfgFam.h"
#include "editors/frmCfgGroup.h"
#include "editors/frmCfgMsg.h"
#include "editors/grouprecord.h"
#include "model/database.h"
#include "settings/frmSettings_Main.h"
#include "support/scriptedboxes.h"

#include "e2e/programfixture.h"
#include "editors/editortest.h"

#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

using namespace encodertest;

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

void clickCell(frmCfgGroup *f, int row, int col)
{
    QTableWidget *g = f->fgGroups;
    QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, g->visualRect(g->model()->index(row - 1, col - 1)).center());
}

void type(frmCfgGroup *f, int row, int col, const QString &keys)
{
    clickCell(f, row, col);
    QTest::keyClicks(f->txtGrp, keys);
}

// The fields the encoder keeps, numbers by value.
QByteArrayList values(const PagerGroupRec &g)
{
    QByteArrayList fields;
    for (int i = GrpID; i <= GrpPagerID20; ++i) {
        bool number = false;
        const int v = g[i].toInt(&number);
        fields << (number ? QByteArray::number(v) : g[i]);
    }
    return fields;
}

} // namespace

class TestEditedRecords : public QObject, ProgramOnEncoder {
    Q_OBJECT

    frmTerminal *t = nullptr;

private slots:
    void initTestCase() { IsolateSettingsForTestRun(); }
    // A V9 encoder in programming mode, found and read; the edits start from an empty database.
    // Its second port feeds a paging terminal at the terminal's own character format.
    void init()
    {
        startProgram(0.2);
        DeviceState state = DeviceState::factory(9);
        state.config["serial2 protocol"] = "COMP2";
        state.config["serial2 baud"] = "2400";
        state.config["serial2 databits"] = "O71";
        t = StartDetectedAndRead(encoder, state, FastLine(), encsim::Mode::Programming);
        QVERIFY(t);
        ResetDatabase();
    }
    void cleanup() { endProgram(); }

    void aTypedFamilyComesBackFromTheFileAndTheEncoder()
    {
        ScriptedBoxes noBoxes; // a box no step scripts fails the test

        // A family typed and chosen in the editor.
        frmCfgFam *f = editortest::OpenFromToolbar<frmCfgFam>(t, "sequence");
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
        SaveAndOpenAgain(t, *env, QStringLiteral("typed.pg9"));
        for (int i = 0; i < FamilyCount; ++i)
            QCOMPARE(kept(DB.Families[i]), kept(typed[i]));
        QCOMPARE(shownRows(t, 2), shown);

        // Programmed into the encoder and read back into an emptied database.
        QVERIFY(ProgramAndReadBack(t));
        QCOMPARE(kept(DB.Families[0]), kept(first));
        QCOMPARE(kept(DB.Families[1]), kept(second));
        QCOMPARE(shownRows(t, 2), shown);
        const encsim::Stats s = encoder->sim().stats();
        QCOMPARE(s.refusals + s.warnings + s.violations, 0);
    }

    void anEditedGroupAndMessageComeBackFromTheFileAndTheEncoder()
    {
        DB.Families[0] = {"1", "1000000", "5", "A", "3", "050", "0100", "00", "00", "YES"};
        ScriptedBoxes boxes;

        // Message 3, typed.
        frmCfgMsg *m = editortest::OpenFromToolbar<frmCfgMsg>(t, "message");
        QTest::keyClick(m->txtMsg, Qt::Key_Down);
        QTest::keyClick(m->txtMsg, Qt::Key_Down);
        QTest::keyClicks(m->txtMsg, QStringLiteral("Evacuate, stairs B"));
        QTest::mouseClick(m->cmdOK, Qt::LeftButton);
        QVERIFY(!forms::IsLoaded<frmCfgMsg>());

        // Group 2: its pager IDs first, then the group ID, a reference and a timer with
        // message 3.
        frmCfgGroup *f = editortest::OpenFromToolbar<frmCfgGroup>(t, "group");
        type(f, 4, 2, QStringLiteral("101"));
        type(f, 5, 2, QStringLiteral("0102"));
        type(f, 6, 2, QStringLiteral("149"));
        type(f, frmCfgGroup::RowGroupID, 2, QStringLiteral("12"));
        type(f, frmCfgGroup::RowReference, 2, QStringLiteral("OPS"));
        boxes.expect(QStringLiteral("Are You Sure You Want to Enable Timer Mode?"), MsgAnswer::Yes);
        clickCell(f, frmCfgGroup::RowTimerActive, 2);
        clickCell(f, frmCfgGroup::RowTimerMsg, 2);
        f->cmbMsg->showPopup();
        f->cmbMsg->view()->setCurrentIndex(f->cmbMsg->view()->model()->index(3, 0));
        QTest::keyClick(f->cmbMsg->view(), Qt::Key_Return);
        QTest::mouseClick(f->cmdOK, Qt::LeftButton);
        QVERIFY(!forms::IsLoaded<frmCfgGroup>());
        QVERIFY(Run.bDBCheckOK && boxes.verifyAllShown());

        const PagerGroupRec edited = group("12", "1", {"101", "0102", "149"}, "YES", "1", "3", "OPS");
        QCOMPARE(DB.PagerGroups[1], edited);
        QCOMPARE(DB.CannedMsgs[2], QByteArray("Evacuate, stairs B"));
        const PagerDatabase typed = DB;

        // Saved and opened again.
        SaveAndOpenAgain(t, *env, QStringLiteral("groups.pg9"));
        for (int i = 0; i < GroupCount; ++i)
            QCOMPARE(values(DB.PagerGroups[i]), values(typed.PagerGroups[i]));
        QCOMPARE(DB.PagerGroups[1][GrpDefined] + DB.PagerGroups[1][GrpReference], QByteArray("YESOPS"));
        QCOMPARE(DB.CannedMsgs, typed.CannedMsgs);

        // Programmed into the encoder and read back into an emptied database.
        QVERIFY(ProgramAndReadBack(t));
        for (int i = 0; i < GroupCount; ++i)
            QCOMPARE(values(DB.PagerGroups[i]), values(typed.PagerGroups[i]));
        QCOMPARE(DB.PagerGroups[1][GrpID] + DB.PagerGroups[1][GrpTimerMsg], QByteArray("001203"));
        QCOMPARE(DB.CannedMsgs, typed.CannedMsgs);
        const encsim::Stats s = encoder->sim().stats();
        QCOMPARE(s.refusals + s.warnings + s.violations, 0);
    }

    // The encoder settings dialog opened from the toolbar and closed with OK leaves the paging
    // terminal's "O71", which it cannot choose, and the next write keeps the terminal working.
    void aPortFormatTheSettingsDialogCannotChooseStaysInTheEncoder()
    {
        QCOMPARE(EncoderSettings.sPort2DataBits, QByteArray("O71"));
        const PendingAction onSettings_Main = WhenShown<frmSettings_Main>([](frmSettings_Main *d) { d->cmdOK->click(); });
        t->Toolbar1->ButtonByKey(QStringLiteral("settings"))->trigger();
        QVERIFY(!forms::IsLoaded<frmSettings_Main>());
        QVERIFY(Run.bDBMatchesEncoder);
        QCOMPARE(EncoderSettings.sPort2DataBits, QByteArray("O71"));
        ScriptedBoxes noBoxes; // matching, so programming asks nothing
        t->mnuWriteDB_Click();
        QVERIFY(Run.bDBMatchesEncoder);
        QCOMPARE(encoder->sim().getState().config.at("serial2 databits"), std::string("O71"));
    }

    // What the program reads it keeps and writes as it stands: a paging terminal's port at a
    // baud and a character format the settings dialog does not offer is read and saved as it
    // is. A file whose protocol no read would take back is refused before anything goes out.
    void whatTheProgramWritesItReadsBack()
    {
        encoder->sim().setKnob("replace_reply", "\"config serial2 baud?\" bytes=4800<CR><LF>");
        encoder->sim().setKnob("replace_reply", "\"config serial2 databits?\" bytes=O81<CR><LF>");
        {
            ScriptedBoxes noBoxes;
            t->mnuReadDB_Click();
        }
        QVERIFY(Run.bDBMatchesEncoder);
        QCOMPARE(EncoderSettings.sPort2Baud + ' ' + EncoderSettings.sPort2DataBits, QByteArray("4800 O81"));
        const QString path = QDir(env->programFolder()).filePath(QStringLiteral("terminal.pg9"));
        env->dialogAnswers.push_back(path);
        t->mnuSaveAs_Click();
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QByteArray saved = file.readAll();
        QVERIFY(saved.contains("\r\nSerial2 Baud,4800\r\n"));
        QVERIFY(saved.contains("\r\nSerial2 Databits,O81\r\n"));
        file.close();

        saved.replace("Serial2 Protocol,COMP2", "Serial2 Protocol,FOO");
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(saved) == saved.size());
        file.close();
        env->dialogAnswers.push_back(path);
        t->mnuOpenFile_Click();
        QCOMPARE(EncoderSettings.sPort2Protocol, QByteArray("FOO"));
        const std::size_t before = encoder->sim().events().size();
        ScriptedBoxes boxes;
        boxes.expect(QStringLiteral("You are About to Program the Encoder"), MsgAnswer::Yes);
        boxes.expect(QStringLiteral("Port 2 Protocol Holds \"FOO\", Which is Not a Valid Setting\r"
                                    "Nothing was Written to the Encoder\r"
                                    "Please Correct the Entry and Try Again"))
            .title(QStringLiteral("Write Error"));
        t->mnuWriteDB_Click();
        QVERIFY(boxes.verifyAllShown());
        QTest::qWait(50);
        for (const encsim::Event &e : encoder->sim().events(before))
            QVERIFY2(e.kind != encsim::EventKind::Input, e.bytes.c_str());
        QCOMPARE(encoder->sim().getState().config.at("serial2 protocol"), std::string("COMP2"));
    }
};

QTEST_MAIN(TestEditedRecords)
#include "tst_editedrecords.moc"
