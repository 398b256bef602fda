#include "editors/frmCfgGroup.h"

#include "editors/editorsteps.h"
#include "editors/groupscheck.h"
#include "model/changes.h"
#include "model/database.h"
#include "model/state.h"
#include "platform/msgbox.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

using namespace editorsteps;
using namespace gridedit;

namespace {

constexpr int GroupIDChars = 4;     // what may be typed into txtGrp
constexpr int ListExtraWidth = 20;  // the message list is wider than its cell

const char *const CheckingText = "Checking Groups Database";
const char *const NoneText = "None";

QString latin(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes);
}

bool isPagerIDRow(int row)
{
    return row >= frmCfgGroup::RowPagerID1 && row <= frmCfgGroup::RowPagerID20;
}

int pagerField(int row)
{
    return GrpPagerID1 + (row - frmCfgGroup::RowPagerID1);
}

// A group ID or pager ID as the grid shows it: a number without its leading zeros, nothing
// for 0 or an empty text. A text that is no number is shown as it is, so that the operator
// sees what to correct.
QString idShown(const QByteArray &text)
{
    if (const auto value = DigitsValue(text))
        return *value > 0 ? QString::number(*value) : QString();
    return latin(text);
}

// The text of a canned message for the message label, when number names one of the 15.
std::optional<QString> messageText(const QString &number)
{
    const auto n = DigitsValue(number.toLatin1());
    if (!n || *n < 1 || *n > MessageCount)
        return std::nullopt;
    return latin(DB.CannedMsgs[size_t(*n - 1)]);
}

} // namespace

// ---------------------------------------------------------------------------------------------
// The window

frmCfgGroup::frmCfgGroup(QWidget *parent) : Form(parent)
{
    setObjectName(QStringLiteral("frmCfgGroup"));
    setWindowTitle(QStringLiteral(" Pager Groups Setup"));

    fgGroups = new EditorGrid(RowCount - 1, ColumnCount - 1, this);
    fgGroups->setObjectName(QStringLiteral("fgGroups"));
    fgGroups->setGridColours(UndefinedGrey, GridLines);

    QStringList rowTitles = {QStringLiteral(" Reference"), QStringLiteral(" Active"), QStringLiteral(" Group ID  ")};
    for (int k = 1; k <= GroupPagerIDs; ++k)
        rowTitles << QStringLiteral(" Pager ID %1").arg(k);
    rowTitles << QStringLiteral(" Timer Active  ") << QStringLiteral(" Timer Msg #");
    QStringList columnTitles;
    for (int c = 1; c < ColumnCount; ++c)
        columnTitles << QStringLiteral("Group %1").arg(c);
    fgGroups->setVerticalHeaderLabels(rowTitles);
    fgGroups->setHorizontalHeaderLabels(columnTitles);
    fgGroups->makeItems(Qt::AlignLeft | Qt::AlignVCenter);

    QHeaderView *columns = fgGroups->horizontalHeader();
    QHeaderView *rows = fgGroups->verticalHeader();
    columns->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    rows->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    // Every row and every group in view, no caption and no value cut.
    const QFontMetrics fm(fgGroups->font());
    const QFontMetrics hfm(columns->font());
    const int rowHeight = SetRowHeight(fgGroups, 6, 20);
    int captionWidth = 0;
    for (const QString &t : std::as_const(rowTitles))
        captionWidth = qMax(captionWidth, hfm.horizontalAdvance(t));
    rows->setFixedWidth(captionWidth + 16);
    int columnWidth = hfm.horizontalAdvance(QStringLiteral("Group 10")) + 16;
    for (const QString &widest : {QStringLiteral("WWWW"), QStringLiteral("8888"), QStringLiteral("None"),
                                  QStringLiteral("OFF")})
        columnWidth = qMax(columnWidth, fm.horizontalAdvance(widest) + 14);
    for (int c = 0; c < ColumnCount - 1; ++c)
        fgGroups->setColumnWidth(c, columnWidth);
    const int frame = 2 * fgGroups->frameWidth();
    fgGroups->setFixedSize(frame + rows->width() + (ColumnCount - 1) * columnWidth,
                           frame + columns->sizeHint().height() + (RowCount - 1) * rowHeight);
    fgGroups->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    fgGroups->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);

    lblMsg = new QLabel(QStringLiteral("Message:"), this);
    lblMsg->setObjectName(QStringLiteral("lblMsg"));
    lblMsg->setTextFormat(Qt::PlainText);
    lblMsg->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    cmdOK = MakeOKButton(this);

    auto *layout = MakeEditorLayout(this, fgGroups, 6);
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(lblMsg, 1);
    bottom->addWidget(cmdOK);
    layout->addLayout(bottom);

    // The overlay editors lie over the grid and are shown one at a time.
    txtGrp = new OverlayTextBox(this);
    txtGrp->setObjectName(QStringLiteral("txtGrp"));
    cmbMsg = new QComboBox(this);
    cmbMsg->setObjectName(QStringLiteral("cmbMsg"));
    cmbMsg->addItem(QLatin1String(NoneText));
    for (int n = 1; n <= MessageCount; ++n)
        cmbMsg->addItem(QString::number(n));
    cmbMsg->setMaxVisibleItems(MessageCount + 1);
    txtGrp->hide();
    // Every key passes the window first (see Form_KeyDown).
    FilterEditorKeys(this, fgGroups, {cmdOK, txtGrp}, {cmbMsg});

    connect(fgGroups, &QAbstractItemView::clicked, this, [this](const QModelIndex &index) {
        forms::HandlerScope scope(this);
        setCell(index.row() + 1, index.column() + 1);
        fgGroups_Click();
    });
    // A click on a row caption makes no group current: it only puts the editors away.
    connect(rows, &QHeaderView::sectionClicked, this, [this](int logical) {
        forms::HandlerScope scope(this);
        setCell(logical + 1, 0);
        fgGroups_Click();
    });
    for (QScrollBar *bar : {fgGroups->verticalScrollBar(), fgGroups->horizontalScrollBar()})
        connect(bar, &QScrollBar::valueChanged, this, [this] { hideOverlays(); });
    connect(txtGrp, &QLineEdit::textChanged, this, forms::Handler(this, &frmCfgGroup::txtGrp_Change));
    connect(cmbMsg, &QComboBox::activated, this, forms::Handler(this, &frmCfgGroup::cmbMsg_Click));
    connect(cmdOK, &QPushButton::clicked, this, forms::Handler(this, &frmCfgGroup::cmdOK_Click));

    connect(&ModelEvents::instance(), &ModelEvents::changed, this,
            [this](ModelChange what) { watchDatabase(what); });

    setFixedSize(sizeHint());
}

// ---------------------------------------------------------------------------------------------
// Cells

void frmCfgGroup::setCell(int row, int col)
{
    m_row = qBound(0, row, RowCount - 1);
    m_col = qBound(0, col, ColumnCount - 1);
    if (m_col >= 1)
        m_lastGroupCol = m_col;
    // The grid marks no cell as current: the editor over it shows where the operator is.
    fgGroups->selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
}

QTableWidgetItem *frmCfgGroup::Cell(int row, int col) const
{
    if (row < 1 || row >= RowCount || col < 1 || col >= ColumnCount)
        return nullptr;
    return fgGroups->item(row - 1, col - 1);
}

void frmCfgGroup::setText(int row, int col, const QString &text)
{
    if (QTableWidgetItem *item = Cell(row, col))
        item->setText(text);
}

void frmCfgGroup::setBack(int row, int col, unsigned colour)
{
    if (QTableWidgetItem *item = Cell(row, col))
        item->setBackground(Colour(colour));
}

void frmCfgGroup::paintRows(int col, int firstRow, int lastRow, unsigned colour)
{
    for (int r = firstRow; r <= lastRow; ++r)
        setBack(r, col, colour);
}

QString frmCfgGroup::text(int row, int col) const
{
    const QTableWidgetItem *item = Cell(row, col);
    return item ? item->text() : QString();
}

// ---------------------------------------------------------------------------------------------
// Drawing

// The group as the window shows it when it loads. A defined group's group ID loses its leading
// zeros in the database too; a timer without a message is switched off.
void frmCfgGroup::drawGroup(int col)
{
    PagerGroupRec &g = DB.PagerGroups[size_t(col - 1)];
    setText(RowReference, col, latin(g[GrpReference]));
    if (g[GrpDefined] != "YES") {
        setBack(RowActive, col, OffRed);
        setText(RowActive, col, QStringLiteral("OFF"));
        setBack(RowReference, col, UndefinedGrey);
        for (int r = RowGroupID; r < RowCount; ++r)
            setText(r, col, QString());
        paintRows(col, RowGroupID, RowCount - 1, UndefinedGrey);
        return;
    }
    const bool active = g[GrpActive] == "1";
    setBack(RowActive, col, active ? OnGreen : OffRed);
    setText(RowActive, col, active ? QStringLiteral("ON") : QStringLiteral("OFF"));
    const unsigned fields = active ? ActiveIvory : InactiveGrey;
    setBack(RowReference, col, fields);
    paintRows(col, RowGroupID, RowCount - 1, fields);

    if (const auto id = DigitsValue(g[GrpID]); id && *id > 0)
        g[GrpID] = QByteArray::number(*id);
    drawIDTexts(col);
    drawTimerRows(col);
    if (active && !HasPagerID(g))
        paintRows(col, RowPagerID1, RowPagerID20, IncompleteMagenta);
}

// The group ID and the pager IDs of the record.
void frmCfgGroup::drawIDTexts(int col)
{
    const PagerGroupRec &g = DB.PagerGroups[size_t(col - 1)];
    setText(RowGroupID, col, idShown(g[GrpID]));
    for (int r = RowPagerID1; r <= RowPagerID20; ++r)
        setText(r, col, idShown(g[pagerField(r)]));
}

void frmCfgGroup::drawTimerRows(int col)
{
    PagerGroupRec &g = DB.PagerGroups[size_t(col - 1)];
    const bool active = g[GrpActive] == "1";
    const bool timerOn = g[GrpTimerActive] == "1";
    setText(RowTimerActive, col, timerOn ? QStringLiteral("ON") : QStringLiteral("OFF"));
    if (active)
        setBack(RowTimerActive, col, timerOn ? OnGreen : OffRed);
    if (IsGiven(g[GrpTimerMsg])) {
        setText(RowTimerMsg, col, latin(g[GrpTimerMsg]));
        return;
    }
    setText(RowTimerMsg, col, QLatin1String(NoneText));
    if (timerOn) {
        setBack(RowTimerActive, col, OffRed);
        setText(RowTimerActive, col, QStringLiteral("OFF"));
        g[GrpTimerActive] = "0";
    }
}

void frmCfgGroup::fillGrid()
{
    for (int c = 1; c < ColumnCount; ++c)
        setBack(RowReference, c, InactiveGrey);
    for (int c = 1; c < ColumnCount; ++c)
        drawGroup(c);
}

void frmCfgGroup::Form_Load()
{
    BeginLoad(this);
    setCell(0, 1);
    fillGrid();
    show();
    fgGroups->setFocus();
    setCell(RowGroupID, 1);
    Run.bSuppressEvents = false;
    m_watch.followDatabase();
}

// ---------------------------------------------------------------------------------------------
// Clicks and overlays

void frmCfgGroup::hideOverlays()
{
    const QWidget *focus = focusWidget();
    const bool hadFocus = focus && (focus == txtGrp || focus == cmbMsg);
    cmbMsg->hide();
    txtGrp->hide();
    if (hadFocus && fgGroups->isEnabled())
        fgGroups->setFocus();
}

void frmCfgGroup::openTextBox()
{
    PlaceOverCell(this, fgGroups, txtGrp, m_row - 1, m_col - 1, false);
    txtGrp->setStoredText(text(m_row, m_col), GroupIDChars);
    txtGrp->show();
    txtGrp->setCursorPosition(int(txtGrp->text().size()));
    txtGrp->deselect();
    txtGrp->setFocus();
}

void frmCfgGroup::openList()
{
    const int col = m_col;
    PlaceOverCell(this, fgGroups, cmbMsg, m_row - 1, m_col - 1, true, ListExtraWidth);
    cmbMsg->show();
    const QString shown = text(RowTimerMsg, col);
    if (shown != QLatin1String(NoneText)) {
        const QString number = shown == QLatin1String("0") ? QLatin1String(NoneText) : shown;
        // "03" from the encoder is message 3.
        int index = cmbMsg->findText(number, Qt::MatchExactly);
        if (const auto n = DigitsValue(number.toLatin1()); index < 0 && n && *n >= 1 && *n <= MessageCount)
            index = int(*n);
        cmbMsg->setCurrentIndex(index);
        if (const auto message = messageText(number))
            lblMsg->setText(QStringLiteral("Message: ") + *message);
    } else {
        // "None" is taken at once, as if the operator chose it.
        cmbMsg->setCurrentIndex(-1);
        Run.bSuppressEvents = false;
        cmbMsg->setCurrentIndex(0);
        cmbMsg_Click();
        if (isUnloaded() || cmbMsg->isHidden())
            return;
    }
    cmbMsg->setFocus();
}

void frmCfgGroup::fgGroups_Click()
{
    if (!HandlerGoesOn(m_checking, [this] { hideOverlays(); }))
        return;
    Run.bSuppressEvents = true;
    hideOverlays();
    const int col = m_col;
    if (col >= 1) {
        switch (m_row) {
        case RowReference:
            bGroupsEdited = true;
            openTextBox();
            break;
        case RowActive:
            bGroupsEdited = true;
            MarkDatabaseModified();
            toggleActive(col);
            break;
        case RowTimerActive:
            bGroupsEdited = true;
            MarkDatabaseModified();
            toggleTimer(col);
            break;
        case RowTimerMsg:
            bGroupsEdited = true;
            FillEmptyGroupFields(DB.PagerGroups[size_t(col - 1)]);
            MarkDatabaseModified();
            openList();
            break;
        default:
            if (m_row == RowGroupID || isPagerIDRow(m_row))
                openTextBox();
            break;
        }
    }
    Run.bSuppressEvents = false;
}

// ---------------------------------------------------------------------------------------------
// Switching a group and its timer

void frmCfgGroup::toggleActive(int col)
{
    PagerGroupRec &g = DB.PagerGroups[size_t(col - 1)];
    FillEmptyGroupFields(g);
    if (g[GrpActive] == "1") {
        setBack(RowActive, col, OffRed);
        setText(RowActive, col, QStringLiteral("OFF"));
        g[GrpActive] = "0";
        if (!g[GrpDefined].isEmpty()) {
            setBack(RowReference, col, InactiveGrey);
            paintRows(col, RowGroupID, RowCount - 1, InactiveGrey);
        } else {
            // A group never completed shows nothing but its reference; the record keeps its values.
            setBack(RowReference, col, UndefinedGrey);
            paintRows(col, RowGroupID, RowCount - 1, UndefinedGrey);
            for (int r = RowGroupID; r < RowCount; ++r)
                setText(r, col, QString());
        }
    } else {
        switchOn(col, false);
    }
    setCell(RowActive, 0);
}

// A group switched on by a click on Active, or by the first keystroke into it. It is in use
// (Defined "YES") when it has a group ID and a pager ID, or a timer with its message; otherwise
// its cells turn magenta.
void frmCfgGroup::switchOn(int col, bool typing)
{
    PagerGroupRec &g = DB.PagerGroups[size_t(col - 1)];
    setText(RowActive, col, QStringLiteral("ON"));
    g[GrpActive] = "1";
    bool defined = false;
    if (g[GrpID] != "0000" && !g[GrpID].isEmpty() && HasPagerID(g)) {
        g[GrpDefined] = "YES";
        paintRows(col, RowReference, RowCount - 1, ActiveIvory);
        defined = true;
    }
    if (!defined) {
        if (typing) {
            g[GrpAux1Active] = "0";
            g[GrpAux1Msg] = "00";
            g[GrpAux2Active] = "0";
            g[GrpAux2Msg] = "00";
        }
        if (g[GrpTimerActive] == "1" && g[GrpTimerMsg] != "00") {
            g[GrpDefined] = "YES";
            paintRows(col, RowReference, RowCount - 1, ActiveIvory);
        } else {
            paintRows(col, RowReference, RowCount - 1, IncompleteMagenta);
        }
    }
    // The cells show what the record holds, also when they were blanked by switching off.
    drawIDTexts(col);
    const bool timerOn = g[GrpTimerActive] == "1";
    setBack(RowTimerActive, col, timerOn ? OnGreen : OffRed);
    setText(RowTimerActive, col, timerOn ? QStringLiteral("ON") : QStringLiteral("OFF"));
    setText(RowTimerMsg, col, IsGiven(g[GrpTimerMsg]) ? latin(g[GrpTimerMsg]) : QLatin1String(NoneText));
    if (timerOn && text(RowTimerMsg, col) == QLatin1String(NoneText))
        setBack(RowTimerMsg, col, IncompleteMagenta);
    setBack(RowActive, col, OnGreen);
}

void frmCfgGroup::toggleTimer(int col)
{
    PagerGroupRec &g = DB.PagerGroups[size_t(col - 1)];
    FillEmptyGroupFields(g);
    const bool active = g[GrpActive] == "1";
    if (g[GrpTimerActive] == "1") {
        if (active)
            setBack(RowTimerActive, col, OffRed);
        g[GrpTimerActive] = "0";
        setText(RowTimerActive, col, QStringLiteral("OFF"));
        if (active)
            setBack(RowTimerMsg, col, ActiveIvory);
    } else {
        const MsgAnswer answer =
            MsgBox(QStringLiteral("Timer Function Causes Automatic Paging Every 2 Minutes\r"
                                  "Unless Host System Periodically Issues Timer Reset Command\r"
                                  "Are You Sure You Want to Enable Timer Mode?"),
                   MsgButtons::YesNo, MsgIcon::Question, QStringLiteral("Periodic Paging Warning"), 1);
        if (isUnloaded())
            return;
        if (answer == MsgAnswer::Yes) {
            // (The box let everything run: the group is looked at afresh.)
            const bool on = g[GrpActive] == "1";
            if (on)
                setBack(RowTimerActive, col, OnGreen);
            g[GrpTimerActive] = "1";
            setText(RowTimerActive, col, QStringLiteral("ON"));
            if (on) {
                if (text(RowTimerMsg, col) == QLatin1String(NoneText))
                    setBack(RowTimerMsg, col, IncompleteMagenta);
                else if (g[GrpDefined] == "YES")
                    setBack(RowTimerMsg, col, ActiveIvory);
            }
        }
    }
    setCell(RowTimerActive, 0);
}

// ---------------------------------------------------------------------------------------------
// Typing and choosing

void frmCfgGroup::txtGrp_Change()
{
    if (!HandlerGoesOn(m_checking, [this] { hideOverlays(); }))
        return;
    const int row = m_row;
    const int col = m_col;
    if (col < 1 || !(row == RowReference || row == RowGroupID || isPagerIDRow(row)))
        return;
    bGroupsEdited = true;
    PagerGroupRec &g = DB.PagerGroups[size_t(col - 1)];
    FillEmptyGroupFields(g);
    const bool activated = g[GrpActive] == "0";
    if (activated)
        switchOn(col, true);

    const QByteArray typed = txtGrp->text().toLatin1();
    const auto value = DigitsValue(typed);
    if (row == RowReference) {
        g[GrpReference] = typed;
        setText(row, col, latin(typed));
    } else if (row == RowGroupID) {
        // Only digits are a group ID; anything else counts as none.
        if (!value || *value <= 0) {
            g[GrpID] = "0000";
            setText(row, col, QString());
            if (activated)
                setBack(row, col, IncompleteMagenta);
        } else {
            g[GrpID] = typed;
            setText(row, col, latin(typed));
            if (activated)
                setBack(row, col, ActiveIvory);
        }
    } else if (!value || *value <= 0) {
        g[pagerField(row)] = "0000";
        setText(row, col, QString());
        if (!HasPagerID(g)) {
            g[GrpDefined].clear();
            if (activated) {
                setBack(RowReference, col, IncompleteMagenta);
                paintRows(col, RowGroupID, RowPagerID20, IncompleteMagenta);
                setBack(RowTimerMsg, col, IncompleteMagenta);
            }
        } else if (activated) {
            paintRows(col, RowGroupID, RowPagerID20, ActiveIvory);
        }
    } else {
        g[pagerField(row)] = typed;
        setText(row, col, latin(typed));
        const auto groupID = DigitsValue(g[GrpID]);
        if (!groupID || *groupID != 0) {
            g[GrpDefined] = "YES";
            if (activated) {
                setBack(RowReference, col, ActiveIvory);
                paintRows(col, RowGroupID, RowPagerID20, ActiveIvory);
                setBack(RowTimerMsg, col, ActiveIvory);
            }
        } else if (activated) {
            paintRows(col, RowPagerID1, RowPagerID20, ActiveIvory);
        }
    }
    MarkDatabaseModified();
}

void frmCfgGroup::cmbMsg_Click()
{
    if (!HandlerGoesOn(m_checking, [this] { hideOverlays(); }))
        return;
    const int col = m_col;
    if (col < 1 || m_row != RowTimerMsg || cmbMsg->currentIndex() < 0)
        return;
    bGroupsEdited = true;
    PagerGroupRec &g = DB.PagerGroups[size_t(col - 1)];
    FillEmptyGroupFields(g);
    const QString chosen = cmbMsg->currentText();
    const bool none = chosen == QLatin1String(NoneText);
    if (!none && (g[GrpAux1Active] == "1" || g[GrpAux2Active] == "1" || g[GrpTimerActive] == "1") && HasPagerID(g)) {
        g[GrpDefined] = "YES";
        paintRows(col, RowGroupID, RowPagerID20, ActiveIvory);
        setBack(RowTimerMsg, col, ActiveIvory);
    }
    setText(RowTimerMsg, col, chosen);
    if (none)
        lblMsg->setText(QStringLiteral("Message:"));
    else if (const auto message = messageText(chosen))
        lblMsg->setText(QStringLiteral("Message: ") + *message);
    // "None" is no message: the record keeps the empty group's "00" (the word itself would
    // reach the encoder inside the group's record and the "*.pg9" file).
    g[GrpTimerMsg] = none ? QByteArray("00") : chosen.toLatin1();
    MarkDatabaseModified();
}

// ---------------------------------------------------------------------------------------------
// Keys

// Rows 3 to 23 (Group ID and the pager IDs) form the keys' cycle through a group; the
// Reference, Active and timer rows are reached with the mouse only, so a key never switches
// anything. From a row caption the keys go on with the group last used.
void frmCfgGroup::Form_KeyDown(int &KeyCode, Qt::KeyboardModifiers)
{
    const auto key = TakeEditorKey(KeyCode);
    if (!key || Run.bDBBusy() || m_checking)
        return;

    constexpr int first = RowGroupID;
    constexpr int last = RowPagerID20;
    constexpr int groups = ColumnCount - 1;
    int col = m_col >= 1 ? m_col : m_lastGroupCol;
    int row = m_row;
    switch (*key) {
    case KeyTab:
    case KeyEnter:
    case KeyRight:
        if (row < first) {
            row = first;
        } else if (row < last) {
            ++row;
        } else {
            row = first;
            col = col % groups + 1;
        }
        break;
    case KeyLeft:
        if (row > last) {
            row = last;
        } else if (row > first) {
            --row;
        } else {
            row = last;
            col = col == 1 ? groups : col - 1;
        }
        break;
    case KeyDown:
        row = row >= first && row < last ? row + 1 : first;
        break;
    case KeyUp:
        row = row > first && row <= last ? row - 1 : last;
        break;
    default:
        break;
    }
    setCell(row, col);
    fgGroups_Click();
}

// ---------------------------------------------------------------------------------------------
// OK, the groups check and closing

void frmCfgGroup::cmdOK_Click()
{
    if (!EditorCheck::MayStart(m_checking))
        return;
    hideOverlays();

    const GroupsSettled settled = SettleGroups();
    bIncompleteRecord = settled.incomplete;
    for (int index : settled.timersSwitchedOff) {
        const int col = index + 1;
        setText(RowTimerActive, col, QStringLiteral("OFF"));
        if (DB.PagerGroups[size_t(index)][GrpActive] == "1")
            setBack(RowTimerActive, col, OffRed);
    }

    if (!bGroupsEdited) {
        forms::UnloadForm(this);
        return;
    }
    Run.bDBCheckOK = CheckGroupPagerIDs();
    if (isUnloaded())
        return;

    // COMP1 pages its default pager: Pager ID 1 of group 1.
    if (SwitchCOMP1PortWithoutDefaultPager() != 0) {
        MsgBox(QStringLiteral("COMP1 Protocol is Selected and Requires a Default Pager Assignment\r"
                              "The First Pager ID in the First Pager Group is Used as the Default Pager ID\r"
                              "The Protocol has been set to TAP"),
               MsgButtons::OK, MsgIcon::None, QStringLiteral("COMP1 Pager ID Not Defined"));
        bPagerIDsAdjusted = false;
        return;
    }
    if (bPagerIDsAdjusted) {
        bPagerIDsAdjusted = false;
        return; // the operator looks at the cleared pager IDs
    }
    forms::UnloadForm(this);
}

bool frmCfgGroup::CheckGroupPagerIDs()
{
    // No encoder command and no file starts while the pager IDs are checked.
    EditorCheck check(this, Busy::CheckingGroups, m_checking, CheckingText);
    GroupsCheckHooks hooks;
    hooks.clearCancel = EditorCheck::ClearCancel;
    hooks.started = [&check] { check.passStarted(); };
    hooks.yieldAndStop = [&check] { return check.yieldAndStop(); };
    const GroupsCheckResult result = ::CheckGroupPagerIDs(hooks);
    if (!check.finished())
        return result.ok;

    for (const ClearedPagerID &cleared : result.cleared) {
        const int row = RowPagerID1 + cleared.pagerID;
        const int col = cleared.group + 1;
        setBack(row, col, CorrectedCyan);
        setText(row, col, QString());
    }
    setCell(0, 0);
    if (result.ok && bPagerIDsAdjusted)
        MsgBox(QStringLiteral("One or More Pager ID Fields Were Adjusted\rto Correct Non-Existent Pager IDs\r"
                              "as Indicated by Blue Fields"),
               MsgButtons::OK, MsgIcon::Exclamation, QStringLiteral("Non-Existent Pager IDs"));
    return result.ok;
}

void frmCfgGroup::Form_QueryUnload(bool &Cancel, forms::UnloadMode UnloadMode)
{
    Q_UNUSED(UnloadMode);
    if (KeepOpenWhenIncomplete(bIncompleteRecord, QStringLiteral("Pager Group Definition is Incomplete\r"
                                                                 "As Shown by Magenta Fields\r"
                                                                 "Are You Sure You Want to Exit?")))
        Cancel = true;
}

void frmCfgGroup::Form_Unload()
{
    ResetUndefinedGroups();
}

// ---------------------------------------------------------------------------------------------
// A database that changes under the editor: no input while the encoder is read or written,
// and the new contents drawn once it has been replaced.

void frmCfgGroup::setInputEnabled(bool enabled)
{
    if (!enabled)
        hideOverlays();
    SetGridInput(fgGroups, cmdOK, enabled, isActiveWindow());
}

void frmCfgGroup::watchDatabase(ModelChange what)
{
    if (what == ModelChange::DatabaseReplaced)
        m_redrawPending = true;
    if (isUnloaded() || (!m_redrawPending && m_watch.inputFollows()))
        return;
    if (!m_watch.mayLook(core().busy > 0 || m_checking) || !m_redrawPending)
        return;
    m_redrawPending = false;
    const bool suppressed = Run.bSuppressEvents;
    Run.bSuppressEvents = true;
    hideOverlays();
    fillGrid();
    lblMsg->setText(QStringLiteral("Message:"));
    setCell(RowGroupID, 1);
    Run.bSuppressEvents = suppressed;
}
