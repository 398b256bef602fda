#include "editors/frmCfgFam.h"

#include "editors/editorsteps.h"
#include "editors/familiescheck.h"
#include "editors/groupscheck.h"
#include "model/changes.h"
#include "model/encoderports.h"
#include "model/state.h"
#include "platform/msgbox.h"
#include "widgets/gridedit.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QVBoxLayout>

#include <optional>
#include <utility>

using namespace editorsteps;
using namespace gridedit;

namespace {

// Cell colours; the grey of an undefined family is also the text of End ID and End Capcode.
constexpr unsigned DerivedGrey = UndefinedGrey;
constexpr unsigned DarkGrey = UndefinedGrey;
constexpr unsigned InvalidMagenta = IncompleteMagenta;

constexpr int VisibleRows = 18;
constexpr int ListExtraWidth = 20;           // a drop-down list is wider than its cell
constexpr int LongMessage = 90;              // the load and list labels cut longer messages
constexpr int CutMessage = 85;

const char *const CheckingText = "Checking Families Database";

QString latin(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes);
}

// A field read as a number: blanks around it and a sign are allowed, nothing else.
std::optional<long long> fieldNumber(const QByteArray &text)
{
    const QByteArray t = text.trimmed();
    qsizetype i = (t.startsWith('+') || t.startsWith('-')) ? 1 : 0;
    if (t.size() == i || t.size() > 12)
        return std::nullopt;
    for (qsizetype k = i; k < t.size(); ++k)
        if (t[k] < '0' || t[k] > '9')
            return std::nullopt;
    return t.toLongLong();
}

QByteArray zeroFilled(const QByteArray &text, qsizetype width)
{
    return text.size() < width ? QByteArray(width - text.size(), '0') + text : text;
}

// End ID: StartID + PagerQty - 1, as long as the StartID text (longer when it must be).
std::optional<QByteArray> endIDText(const FamilyRec &f)
{
    const auto id = fieldNumber(f[FamStartID]);
    const auto qty = fieldNumber(f[FamPagerQty]);
    if (!id || !qty)
        return std::nullopt;
    return zeroFilled(QByteArray::number(*id + *qty - 1), f[FamStartID].size());
}

// End Capcode: the last capcode of the family, at least 7 digits.
std::optional<QByteArray> endCapText(const FamilyRec &f)
{
    const auto cap = fieldNumber(f[FamStartCap]);
    const auto qty = fieldNumber(f[FamPagerQty]);
    if (!cap || !qty)
        return std::nullopt;
    return zeroFilled(QByteArray::number(*cap + (*qty - 1) * (EncoderSettings.bIncCapBy8 ? 8 : 1)), 7);
}

std::optional<QString> funcShown(const QByteArray &func)
{
    if (func.size() == 1 && func[0] >= '0' && func[0] <= '3')
        return QString(QChar(func[0] + 1));
    return std::nullopt;
}

std::optional<QString> rateShown(const QByteArray &rate)
{
    if (rate == "5")
        return QStringLiteral("512");
    if (rate == "1")
        return QStringLiteral("1200");
    if (rate == "2")
        return QStringLiteral("2400");
    return std::nullopt;
}

// A canned message number as the grid shows it: "00" is None, "07" shows 7.
QString messageShown(const QByteArray &number)
{
    if (number == "00")
        return QStringLiteral("None");
    if (number.startsWith('0'))
        return latin(number.right(1));
    return latin(number);
}

QString quantityShown(const QByteArray &qty)
{
    const auto n = fieldNumber(qty);
    return n ? QString::number(*n) : latin(qty);
}

// Sets a prefix or suffix label to the canned message the field names. A field that names no
// message from 1 to 15 leaves the label as it is.
void setMessageLabel(QLabel *label, const QString &name, const QByteArray &field, bool cutLong,
                     bool emptyMeansNone)
{
    if (field == "00" || (emptyMeansNone && field.isEmpty())) {
        label->setText(name + QLatin1Char(':'));
        return;
    }
    const auto n = fieldNumber(field);
    if (!n || *n < 1 || *n > MessageCount)
        return;
    QByteArray message = DB.CannedMsgs[size_t(*n - 1)];
    if (cutLong && message.size() > LongMessage)
        message = message.left(CutMessage) + "...";
    label->setText(name + QStringLiteral(": ") + latin(message));
}

} // namespace

// ---------------------------------------------------------------------------------------------
// The window

frmCfgFam::frmCfgFam(QWidget *parent) : Form(parent)
{
    setObjectName(QStringLiteral("frmCfgFam"));
    setWindowTitle(QStringLiteral(" Pager Families Setup"));

    const QStringList titles = {QStringLiteral("Active"),        QStringLiteral("Pager Qty"),
                                QStringLiteral("Start ID"),      QStringLiteral("End ID "),
                                QStringLiteral("Start Capcode "), QStringLiteral("End Capcode"),
                                QStringLiteral("Pager Type"),    QStringLiteral("Func Code"),
                                QStringLiteral("Data Rate"),     QStringLiteral("Prefix Msg"),
                                QStringLiteral("Suffix Msg")};
    // The widest text each column shows, so that no value is ever cut.
    const QStringList widest = {QStringLiteral("OFF"),     QStringLiteral("999"),
                                QStringLiteral("88888"),   QStringLiteral("88888"),
                                QStringLiteral("8888888"), QStringLiteral("8888888"),
                                QStringLiteral("Numeric"), QStringLiteral("4"),
                                QStringLiteral("2400"),    QStringLiteral("None"),
                                QStringLiteral("None")};

    fgFamilies = new EditorGrid(FamilyCount, ColumnCount - 1, this);
    fgFamilies->setObjectName(QStringLiteral("fgFamilies"));
    fgFamilies->setHorizontalHeaderLabels(titles);
    fgFamilies->setSelectionMode(QAbstractItemView::NoSelection);
    fgFamilies->setEditTriggers(QAbstractItemView::NoEditTriggers);
    fgFamilies->setTabKeyNavigation(false);
    fgFamilies->setAutoScroll(false);
    fgFamilies->setCornerButtonEnabled(false);
    fgFamilies->setWordWrap(false);
    fgFamilies->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    fgFamilies->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    fgFamilies->setFocusPolicy(Qt::StrongFocus);

    QHeaderView *columns = fgFamilies->horizontalHeader();
    QHeaderView *rows = fgFamilies->verticalHeader();
    columns->setSectionsClickable(false);
    columns->setHighlightSections(false);
    columns->setSectionResizeMode(QHeaderView::Fixed);
    columns->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setHighlightSections(false);
    rows->setDefaultAlignment(Qt::AlignCenter);

    const QFontMetrics fm(fgFamilies->font());
    const QFontMetrics hfm(columns->font());
    const int rowHeight = SetRowHeight(fgFamilies, 8, 22);
    QStringList rowTitles;
    for (int r = 1; r <= FamilyCount; ++r)
        rowTitles << QLatin1Char(' ') + QString::number(r);
    fgFamilies->setVerticalHeaderLabels(rowTitles);
    rows->setFixedWidth(hfm.horizontalAdvance(QStringLiteral(" 50")) + 18);

    int columnsWidth = 0;
    for (int c = 0; c < titles.size(); ++c) {
        const int width = qMax(hfm.horizontalAdvance(titles[c]) + 16,
                               fm.horizontalAdvance(widest[c]) + 14);
        fgFamilies->setColumnWidth(c, width);
        columnsWidth += width;
    }
    for (int r = 0; r < FamilyCount; ++r) {
        for (int c = 0; c < titles.size(); ++c) {
            auto *item = new QTableWidgetItem;
            item->setFlags(Qt::ItemIsEnabled);
            item->setTextAlignment(c + 1 == ColActive ? Qt::Alignment(Qt::AlignCenter)
                                                      : Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
            fgFamilies->setItem(r, c, item);
        }
    }
    if (QTableWidgetItem *title = fgFamilies->horizontalHeaderItem(ColActive - 1))
        title->setTextAlignment(Qt::Alignment(Qt::AlignCenter));
    const int frame = 2 * fgFamilies->frameWidth();
    fgFamilies->setFixedSize(frame + rows->width() + columnsWidth +
                                 fgFamilies->verticalScrollBar()->sizeHint().width(),
                             frame + columns->sizeHint().height() + VisibleRows * rowHeight);

    lblPrefix = new QLabel(QStringLiteral("Prefix:"), this);
    lblPrefix->setObjectName(QStringLiteral("lblPrefix"));
    lblSuffix = new QLabel(QStringLiteral("Suffix:"), this);
    lblSuffix->setObjectName(QStringLiteral("lblSuffix"));
    lblIncCapBy8 = new QLabel(QStringLiteral("Increment Capcodes by 8 Mode is OFF"), this);
    lblIncCapBy8->setObjectName(QStringLiteral("lblIncCapBy8"));
    for (QLabel *label : {lblPrefix, lblSuffix, lblIncCapBy8}) {
        label->setTextFormat(Qt::PlainText);
        label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    }
    cmdOK = MakeOKButton(this);

    auto *layout = MakeEditorLayout(this, fgFamilies, 2);
    layout->addSpacing(4);
    layout->addWidget(lblPrefix);
    layout->addWidget(lblSuffix);
    layout->addSpacing(6);
    auto *bottom = new QGridLayout;
    bottom->addWidget(lblIncCapBy8, 0, 0);
    bottom->addWidget(cmdOK, 0, 1);
    bottom->setColumnStretch(0, 1);
    bottom->setColumnStretch(2, 1);
    layout->addLayout(bottom);

    // The overlay editors lie over the grid and are shown one at a time.
    txtFam = new OverlayTextBox(this);
    txtFam->setObjectName(QStringLiteral("txtFam"));
    auto makeList = [this](const char *name, const QStringList &items) {
        auto *list = new QComboBox(this);
        list->setObjectName(QLatin1String(name));
        list->addItems(items);
        list->setMaxVisibleItems(items.size());
        return list;
    };
    cmbPgrType = makeList("cmbPgrType", {QStringLiteral("Alpha"), QStringLiteral("Numeric")});
    cmbFunc = makeList("cmbFunc", {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"),
                                   QStringLiteral("4")});
    cmbRate = makeList("cmbRate", {QStringLiteral("512"), QStringLiteral("1200"),
                                   QStringLiteral("2400")});
    QStringList messages{QStringLiteral("None")};
    for (int n = 1; n <= MessageCount; ++n)
        messages << QString::number(n);
    cmbMsg = makeList("cmbMsg", messages);
    // Every key passes the window first (see Form_KeyDown).
    FilterEditorKeys(this, fgFamilies, {cmdOK}, {txtFam, cmbPgrType, cmbFunc, cmbRate, cmbMsg});

    connect(fgFamilies, &QAbstractItemView::clicked, this, [this](const QModelIndex &index) {
        forms::HandlerScope scope(this);
        m_row = index.row() + 1;
        setCol(index.column() + 1);
        fgFamilies_Click();
    });
    connect(rows, &QHeaderView::sectionClicked, this, [this](int logical) {
        forms::HandlerScope scope(this);
        m_row = logical + 1;
        setCol(ColFamily);
        fgFamilies_Click();
    });
    connect(fgFamilies->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] {
        if (m_ignoreScroll == 0) {
            forms::HandlerScope scope(this);
            fgFamilies_Scroll();
        }
    });
    connect(txtFam, &QLineEdit::textChanged, this, forms::Handler(this, &frmCfgFam::txtFam_Change));
    connect(cmbPgrType, &QComboBox::activated, this, forms::Handler(this, &frmCfgFam::cmbPgrType_Click));
    connect(cmbFunc, &QComboBox::activated, this, forms::Handler(this, &frmCfgFam::cmbFunc_Click));
    connect(cmbRate, &QComboBox::activated, this, forms::Handler(this, &frmCfgFam::cmbRate_Click));
    connect(cmbMsg, &QComboBox::activated, this, forms::Handler(this, &frmCfgFam::cmbMsg_Click));
    connect(cmdOK, &QPushButton::clicked, this, forms::Handler(this, &frmCfgFam::cmdOK_Click));

    connect(&ModelEvents::instance(), &ModelEvents::changed, this, [this] { watchDatabase(); });

    setFixedSize(sizeHint());
}

// ---------------------------------------------------------------------------------------------
// Current cell and cells

void frmCfgFam::setRow(int row)
{
    m_row = qBound(1, row, FamilyCount);
    setCol(m_col);
    fgFamilies->scrollTo(fgFamilies->model()->index(m_row - 1, 0));
}

void frmCfgFam::setCol(int col)
{
    m_col = qBound(0, col, ColumnCount - 1);
    // The view's focus frame marks the current cell; on the family-number column it marks
    // the row's Active cell.
    fgFamilies->setCurrentCell(m_row - 1, qMax(m_col, 1) - 1, QItemSelectionModel::NoUpdate);
}

QTableWidgetItem *frmCfgFam::Cell(int row, int col) const
{
    if (row < 1 || row > FamilyCount || col < ColActive || col >= ColumnCount)
        return nullptr;
    return fgFamilies->item(row - 1, col - 1);
}

FamilyRec &frmCfgFam::family() const
{
    return DB.Families[size_t(m_row - 1)];
}

QString frmCfgFam::cellText(int col) const
{
    const QTableWidgetItem *item = Cell(m_row, col);
    return item ? item->text() : QString();
}

void frmCfgFam::setCellText(int col, const QString &text)
{
    if (QTableWidgetItem *item = Cell(m_row, col))
        item->setText(text);
}

void frmCfgFam::setCellText(int col, const QByteArray &text)
{
    setCellText(col, latin(text));
}

void frmCfgFam::setCellBack(int col, Rgb color)
{
    if (QTableWidgetItem *item = Cell(m_row, col))
        item->setBackground(Colour(color));
}

void frmCfgFam::clearCellBack(int col)
{
    if (QTableWidgetItem *item = Cell(m_row, col))
        item->setBackground(QBrush());
}

void frmCfgFam::setCellFore(int col, Rgb color)
{
    if (QTableWidgetItem *item = Cell(m_row, col))
        item->setForeground(Colour(color));
}

void frmCfgFam::paintRun(int firstCol, int lastCol, Rgb color)
{
    for (int c = firstCol; c <= lastCol; ++c)
        setCellBack(c, color);
}

void frmCfgFam::writeDerivedEndID()
{
    setCellText(ColEndID, endIDText(family()).value_or(QByteArray()));
    setCellFore(ColEndID, DerivedGrey);
}

void frmCfgFam::writeDerivedEndCap()
{
    setCellText(ColEndCap, endCapText(family()).value_or(QByteArray()));
    setCellFore(ColEndCap, DerivedGrey);
}

// ---------------------------------------------------------------------------------------------
// Loading and filling

void frmCfgFam::fillRow(int index)
{
    const int keepRow = m_row;
    m_row = index + 1;
    FamilyRec &f = family();
    for (int c = ColActive; c < ColumnCount; ++c) {
        setCellText(c, QString());
        clearCellBack(c);
        if (QTableWidgetItem *item = Cell(m_row, c))
            item->setForeground(c == ColEndID || c == ColEndCap ? QBrush(Colour(DerivedGrey)) : QBrush());
    }

    if (f[FamActive] == "1") {
        setCellBack(ColActive, OnGreen);
        setCellText(ColActive, QStringLiteral("ON"));
        paintRun(FirstFieldColumn, LastFieldColumn, ActiveIvory);
    } else {
        setCellBack(ColActive, OffRed);
        setCellText(ColActive, QStringLiteral("OFF"));
        if (f[FamDefined] == "YES")
            paintRun(FirstFieldColumn, LastFieldColumn, InactiveGrey);
    }

    if (f[FamPagerQty] != "000") {
        if (const auto qty = fieldNumber(f[FamPagerQty]))
            setCellText(ColPagerQty, QString::number(*qty));
        setCellText(ColStartID, f[FamStartID] == "0000" ? QByteArray() : f[FamStartID]);
        // A placeholder capcode keeps a family with a quantity from reading as capcode 0.
        if (f[FamStartCap] == "0000000")
            f[FamStartCap] = "1234567";
        setCellText(ColStartCap, f[FamStartCap]);
        if (f[FamStartID] != "0000")
            writeDerivedEndID();
        const auto cap = fieldNumber(f[FamStartCap]);
        if (!cap) {
            f[FamStartCap] = "0000008";
            setCellText(ColStartCap, f[FamStartCap]);
        }
        if (!cap || *cap > 0)
            writeDerivedEndCap();
        setCellText(ColPgrType, f[FamPgrType] == "A" ? QStringLiteral("Alpha") : QStringLiteral("Numeric"));
        if (const auto func = funcShown(f[FamFunc]))
            setCellText(ColFunc, *func);
        if (const auto rate = rateShown(f[FamRate]))
            setCellText(ColRate, *rate);
        setCellText(ColPrefix, messageShown(f[FamPrefix]));
        setCellText(ColSuffix, messageShown(f[FamSuffix]));
    }
    m_row = keepRow;
}

void frmCfgFam::fillGrid()
{
    for (int i = 0; i < FamilyCount; ++i)
        fillRow(i);
}

void frmCfgFam::Form_Load()
{
    BeginLoad(this);
    m_row = 1;
    setCol(ColFamily);

    if (EncoderSettings.bIncCapBy8)
        lblIncCapBy8->setText(QString::fromLatin1(IncBy8LabelText(true)));
    fillGrid();

    m_row = 1;
    setCol(ColFamily);
    if (DB.Families[0][FamActive] == "1")
        showMessageLabels();

    show();
    fgFamilies->setFocus();
    setCol(ColPagerQty);
    fgFamilies_Click();
    Run.bSuppressEvents = false;

    takeSnapshot();
    m_watch.followDatabase();
}

void frmCfgFam::Form_QueryUnload(bool &Cancel, forms::UnloadMode UnloadMode)
{
    Q_UNUSED(UnloadMode);
    if (KeepOpenWhenIncomplete(bIncompleteRecord,
                               QStringLiteral("Pager Families Definition is Incomplete\rAs Shown by Magenta Fields.\r"
                                              "Incomplete Records Will be Erased.\rAre You Sure You Want to Exit?")))
        Cancel = true;
}

// ---------------------------------------------------------------------------------------------
// The modified marking and the labels

// The labels after a list choice or at load: long messages are cut.
void frmCfgFam::showMessageLabels()
{
    setMessageLabel(lblPrefix, QStringLiteral("Prefix"), family()[FamPrefix], true, false);
    setMessageLabel(lblSuffix, QStringLiteral("Suffix"), family()[FamSuffix], true, false);
}

// The labels after a click on a row: the whole message.
void frmCfgFam::showClickLabels()
{
    setMessageLabel(lblPrefix, QStringLiteral("Prefix"), family()[FamPrefix], false, true);
    setMessageLabel(lblSuffix, QStringLiteral("Suffix"), family()[FamSuffix], false, true);
}

// ---------------------------------------------------------------------------------------------
// Clicks, overlays and scrolling

void frmCfgFam::hideOverlays()
{
    const QWidget *focus = focusWidget();
    const bool hadFocus = focus && (focus == txtFam || focus == cmbMsg || focus == cmbPgrType ||
                                    focus == cmbFunc || focus == cmbRate);
    cmbMsg->hide();
    txtFam->hide();
    cmbPgrType->hide();
    cmbFunc->hide();
    cmbRate->hide();
    if (hadFocus && fgFamilies->isEnabled())
        fgFamilies->setFocus();
}

void frmCfgFam::placeOverCell(QWidget *editor, bool list)
{
    ++m_ignoreScroll; // bringing the cell fully into view is part of opening the editor
    PlaceOverCell(this, fgFamilies, editor, m_row - 1, m_col - 1, list, ListExtraWidth);
    --m_ignoreScroll;
}

void frmCfgFam::openTextBox(int maxLength)
{
    placeOverCell(txtFam, false);
    // The cell's text goes in whole, even when it is longer than the field takes (a five-digit
    // Start ID from a file); typing stops at the field's length.
    txtFam->setStoredText(cellText(m_col), maxLength);
    txtFam->show();
    txtFam->setCursorPosition(int(txtFam->text().size()));
    txtFam->deselect();
    txtFam->setFocus();
}

void frmCfgFam::openList(QComboBox *list)
{
    bFamiliesEdited = true;
    placeOverCell(list, true);
    list->show();

    const QString text = cellText(m_col);
    int preselect = -1;
    if (m_col == ColPgrType)
        preselect = text == QLatin1String("Alpha") ? 0 : 1;
    else if (m_col == ColRate)
        preselect = text == QLatin1String("512") ? 0 : text == QLatin1String("1200") ? 1 : 2;
    else
        preselect = list->findText(text, Qt::MatchExactly);

    if (!text.isEmpty()) {
        list->setCurrentIndex(preselect);
    } else {
        // An empty cell takes the list's first item at once, as if the operator chose it.
        list->setCurrentIndex(-1);
        Run.bSuppressEvents = false;
        list->setCurrentIndex(0);
        if (list == cmbPgrType)
            cmbPgrType_Click();
        else if (list == cmbFunc)
            cmbFunc_Click();
        else if (list == cmbRate)
            cmbRate_Click();
        else
            cmbMsg_Click();
        if (isUnloaded() || list->isHidden())
            return;
    }
    list->setFocus();
}

void frmCfgFam::fgFamilies_Click()
{
    if (Run.bDBBusy() || m_checking) {
        hideOverlays();
        return;
    }
    Run.bSuppressEvents = true;
    hideOverlays();
    switch (m_col) {
    case ColActive: toggleActive(); break;
    case ColPagerQty: openTextBox(3); break;
    case ColStartID: openTextBox(4); break;
    case ColEndID:
    case ColEndCap: setCol(ColFamily); break;
    case ColStartCap: openTextBox(7); break;
    case ColPgrType: openList(cmbPgrType); break;
    case ColFunc: openList(cmbFunc); break;
    case ColRate: openList(cmbRate); break;
    case ColPrefix:
    case ColSuffix: openList(cmbMsg); break;
    default: break;
    }
    if (!isUnloaded())
        showClickLabels();
    Run.bSuppressEvents = false;
    takeSnapshot();
}

void frmCfgFam::fgFamilies_Scroll()
{
    hideOverlays();
    setCol(ColFamily);
}

// ---------------------------------------------------------------------------------------------
// Switching families on and off

// A family being switched on shows every field from its record; missing values are marked.
void frmCfgFam::refreshSwitchedOnRow(bool keepMissingTexts)
{
    FamilyRec &f = family();
    auto field = [&](int col, bool missing, const QString &text) {
        if (missing) {
            setCellBack(col, InvalidMagenta);
            if (!keepMissingTexts)
                setCellText(col, QString());
        } else {
            setCellBack(col, ActiveIvory);
            setCellText(col, text);
        }
    };
    const bool qtyMissing = f[FamPagerQty] == "000" || f[FamPagerQty].isEmpty();
    const bool idMissing = f[FamStartID] == "0000" || f[FamStartID].isEmpty();
    const bool capMissing = f[FamStartCap] == "0000000";
    field(ColPagerQty, qtyMissing, quantityShown(f[FamPagerQty]));
    field(ColStartID, idMissing, latin(f[FamStartID]));
    field(ColStartCap, capMissing, latin(f[FamStartCap]));

    for (int col : {int(ColEndID), int(ColEndCap)}) {
        setCellBack(col, ActiveIvory);
        setCellFore(col, DerivedGrey);
    }
    if (!qtyMissing && !idMissing)
        writeDerivedEndID();
    else if (!keepMissingTexts)
        setCellText(ColEndID, QString());
    if (!qtyMissing && !capMissing && !f[FamStartCap].isEmpty())
        writeDerivedEndCap();
    else if (!keepMissingTexts)
        setCellText(ColEndCap, QString());

    const QByteArray type = f[FamPgrType];
    field(ColPgrType, type != "A" && type != "N",
         type == "A" ? QStringLiteral("Alpha") : QStringLiteral("Numeric"));

    if (const auto func = funcShown(f[FamFunc])) {
        setCellText(ColFunc, *func);
    } else {
        setCellText(ColFunc, QStringLiteral("4"));
        f[FamFunc] = "3";
    }
    setCellBack(ColFunc, ActiveIvory);

    field(ColRate, f[FamRate].isEmpty(), rateShown(f[FamRate]).value_or(QStringLiteral("2400")));

    for (const auto &[col, number] : {std::pair{int(ColPrefix), FamPrefix}, std::pair{int(ColSuffix), FamSuffix}}) {
        if (f[number].isEmpty())
            f[number] = "00";
        setCellText(col, messageShown(f[number]));
        setCellBack(col, ActiveIvory);
    }
}

void frmCfgFam::toggleActive()
{
    MarkDatabaseModified();
    bFamiliesEdited = true;
    FamilyRec &f = family();
    if (f[FamActive] == "1") {
        setCellBack(ColActive, OffRed);
        setCellText(ColActive, QStringLiteral("OFF"));
        f[FamActive] = "0";
        if (f[FamDefined] == "YES") {
            paintRun(FirstFieldColumn, LastFieldColumn, InactiveGrey);
        } else {
            paintRun(FirstFieldColumn, LastFieldColumn, DarkGrey);
            for (int c = FirstFieldColumn; c <= LastFieldColumn; ++c)
                setCellText(c, QString());
        }
    } else {
        setCellBack(ColActive, OnGreen);
        f[FamActive] = "1";
        setCellText(ColActive, QStringLiteral("ON"));
        refreshSwitchedOnRow(true);
    }
    setCol(ColFamily);
}

// Typing into a family that is not on switches it on. Only the fields it lacks get defaults:
// a family that was switched off keeps everything it holds, and the row shows the record.
void frmCfgFam::activateForTyping()
{
    FamilyRec &f = family();
    f[FamActive] = "1";
    if (f[FamPagerQty] == "000" || f[FamPagerQty].isEmpty())
        f[FamPagerQty] = "001";
    if (f[FamStartID].isEmpty())
        f[FamStartID] = "0000";
    if (f[FamStartCap].isEmpty())
        f[FamStartCap] = "0000000";
    if (f[FamPgrType] != "A" && f[FamPgrType] != "N")
        f[FamPgrType] = "A";
    if (!funcShown(f[FamFunc]))
        f[FamFunc] = "3";
    if (!rateShown(f[FamRate]))
        f[FamRate] = "5";
    if (f[FamPrefix].isEmpty())
        f[FamPrefix] = "00";
    if (f[FamSuffix].isEmpty())
        f[FamSuffix] = "00";
    setCellBack(ColActive, OnGreen);
    setCellText(ColActive, QStringLiteral("ON"));
    refreshSwitchedOnRow(false);
}

// A choice in a family that was never defined switches it on with a quantity of 1, the
// normal function code and no messages; the fields still to be given are marked.
void frmCfgFam::activateForChoice()
{
    FamilyRec &f = family();
    setCellBack(ColActive, OnGreen);
    setCellText(ColActive, QStringLiteral("ON"));
    f[FamActive] = "1";
    paintRun(ColPagerQty, ColRate, InvalidMagenta);
    f[FamPagerQty] = "001";
    setCellText(ColPagerQty, QStringLiteral("1"));
    for (int col : {int(ColEndID), int(ColEndCap)}) {
        setCellBack(col, ActiveIvory);
        setCellFore(col, DerivedGrey);
    }
    setCellText(ColFunc, QStringLiteral("4"));
    setCellBack(ColFunc, ActiveIvory);
    f[FamFunc] = "3";
    for (int col : {int(ColPrefix), int(ColSuffix)}) {
        setCellText(col, QStringLiteral("None"));
        setCellBack(col, ActiveIvory);
    }
    f[FamPrefix] = "00";
    f[FamSuffix] = "00";
}

// ---------------------------------------------------------------------------------------------
// Typed fields: Pager Qty (1 to 999), Start ID (1 to 8999), Start Capcode (8 or more)

void frmCfgFam::txtFam_Change()
{
    if (!HandlerGoesOn(m_checking, [this] { hideOverlays(); }))
        return;
    const int c = m_col;
    if (c != ColPagerQty && c != ColStartID && c != ColStartCap)
        return;
    bFamiliesEdited = true;
    FamilyRec &f = family();
    bool activated = false;
    if (f[FamActive].isEmpty() || f[FamActive] == "0") {
        activateForTyping();
        activated = true;
    }

    const QByteArray text = txtFam->text().toLatin1();
    if (text.isEmpty()) {
        setCellBack(c, InvalidMagenta);
        setCellText(c, QString());
        if (c == ColPagerQty) {
            f[FamPagerQty] = "000";
            setCellText(ColEndID, QString());
            setCellText(ColEndCap, QString());
        } else if (c == ColStartID) {
            f[FamStartID] = "0000";
            setCellText(ColEndID, QString());
        } else {
            f[FamStartCap] = "0000000";
            setCellText(ColEndCap, QString());
        }
        MarkDatabaseModified();
        takeSnapshot();
        return;
    }

    setCellBack(c, f[FamActive] == "1" ? ActiveIvory : InactiveGrey);

    if (text.contains(',')) {
        const bool suppressed = Run.bSuppressEvents;
        Run.bSuppressEvents = true;
        const QString message = c == ColPagerQty   ? QStringLiteral("Entry Should be Numeric Value Between 1 and 999")
                                : c == ColStartID ? QStringLiteral("Entry Should be Numeric Value Between 1 and 8999")
                                                  : QStringLiteral("Entry Should be Numeric Value Greater Than 7");
        MsgBox(message, MsgButtons::OK, MsgIcon::None, QStringLiteral("Invalid Entry"));
        if (!isUnloaded())
            txtFam->setText(c == ColStartCap ? QStringLiteral("8") : QStringLiteral("1"));
        Run.bSuppressEvents = suppressed;
        if (activated)
            MarkDatabaseModified();
        takeSnapshot();
        return;
    }

    const auto n = DigitsValue(text); // digits only
    switch (c) {
    case ColPagerQty:
        if (!n || *n < 1 || *n > 999) {
            setCellBack(c, InvalidMagenta);
            setCellText(c, QString());
            setCellText(ColEndID, QString());
            setCellText(ColEndCap, QString());
            break;
        }
        setCellText(c, text);
        f[FamPagerQty] = zeroFilled(text, 3);
        if (f[FamStartID] != "0000")
            writeDerivedEndID();
        if (f[FamStartCap] != "0000000")
            writeDerivedEndCap();
        break;
    case ColStartID:
        if (!n || *n < 1 || *n > 8999) {
            setCellText(c, QString());
            setCellBack(c, InvalidMagenta);
            setCellText(ColEndID, QString());
            break;
        }
        setCellText(c, text);
        f[FamStartID] = text;
        if (f[FamPagerQty] != "000")
            writeDerivedEndID();
        break;
    default: // Start Capcode: a low value is kept, marked
        if (!n || *n < LowestStartCapcode)
            setCellBack(c, InvalidMagenta);
        f[FamStartCap] = zeroFilled(text, 7);
        setCellText(c, f[FamStartCap]);
        if (f[FamPagerQty] != "000")
            writeDerivedEndCap();
        break;
    }
    MarkDatabaseModified();
    takeSnapshot();
}

// ---------------------------------------------------------------------------------------------
// Choice fields

// The steps every list choice shares. False when the choice is not to be handled.
bool frmCfgFam::beginChoice(QComboBox *list, bool &activated)
{
    if (!HandlerGoesOn(m_checking, [this] { hideOverlays(); }))
        return false;
    const bool ownColumn = list == cmbPgrType ? m_col == ColPgrType
                           : list == cmbFunc  ? m_col == ColFunc
                           : list == cmbRate  ? m_col == ColRate
                                              : (m_col == ColPrefix || m_col == ColSuffix);
    if (!ownColumn || list->currentIndex() < 0)
        return false;
    bFamiliesEdited = true;
    if (family()[FamActive].isEmpty()) {
        activateForChoice();
        activated = true;
    }
    setCellText(m_col, list->currentText());
    if (family()[FamActive] == "1")
        setCellBack(m_col, ActiveIvory);
    return true;
}

void frmCfgFam::cmbPgrType_Click()
{
    bool activated = false;
    if (!beginChoice(cmbPgrType, activated))
        return;
    FamilyRec &f = family();
    if (cmbPgrType->currentText() == QLatin1String("Alpha")) {
        f[FamPgrType] = "A";
        f[FamFunc] = "3";
        setCellText(ColFunc, QStringLiteral("4"));
    } else {
        f[FamPgrType] = "N";
        f[FamFunc] = "0";
        setCellText(ColFunc, QStringLiteral("1"));
    }
    MarkDatabaseModified();
    takeSnapshot();
}

void frmCfgFam::cmbFunc_Click()
{
    bool activated = false;
    if (!beginChoice(cmbFunc, activated))
        return;
    FamilyRec &f = family();
    const QString item = cmbFunc->currentText();
    const bool alpha = f[FamPgrType] == "A";
    const QString alphaText = QStringLiteral("The Normal Function Code Value for Alpha Pagers is 4");
    const QString numericText = QStringLiteral("The Normal Function Code Value for Numeric Pagers is 1");
    // 4 is the normal code of alpha pagers, 1 of numeric ones; a family whose pager type is
    // not given yet counts as numeric.
    QByteArray code;
    QString warning;
    if (item == QLatin1String("4")) {
        code = "3";
        if (!alpha)
            warning = numericText;
    } else if (item == QLatin1String("3") || item == QLatin1String("2")) {
        code = item == QLatin1String("3") ? "2" : "1";
        warning = alpha ? alphaText : numericText;
    } else {
        code = "0";
        if (alpha)
            warning = QStringLiteral("The Normal Function Code Value for Alphanumeric Pagers is 4");
    }
    if (!warning.isEmpty()) {
        const MsgAnswer answer =
            MsgBox(warning + QStringLiteral("\rAre You Sure You Want to Change This Function Code Value?"),
                   MsgButtons::YesNo, MsgIcon::Question,
                   QStringLiteral("Non-Standard Function Code Warning"));
        if (isUnloaded())
            return;
        if (answer != MsgAnswer::Yes) {
            // The cell and the list show the code the family keeps.
            const bool suppressed = Run.bSuppressEvents;
            Run.bSuppressEvents = true;
            const auto kept = funcShown(f[FamFunc]);
            setCellText(ColFunc, kept.value_or(QString()));
            cmbFunc->setCurrentIndex(kept ? cmbFunc->findText(*kept) : -1);
            Run.bSuppressEvents = suppressed;
            if (activated)
                MarkDatabaseModified();
            takeSnapshot();
            return;
        }
    }
    f[FamFunc] = code;
    MarkDatabaseModified();
    takeSnapshot();
}

void frmCfgFam::cmbRate_Click()
{
    bool activated = false;
    if (!beginChoice(cmbRate, activated))
        return;
    const QString item = cmbRate->currentText();
    family()[FamRate] = item == QLatin1String("512") ? "5" : item == QLatin1String("1200") ? "1" : "2";
    MarkDatabaseModified();
    takeSnapshot();
}

void frmCfgFam::cmbMsg_Click()
{
    bool activated = false;
    if (!beginChoice(cmbMsg, activated))
        return;
    const QString item = cmbMsg->currentText();
    const QByteArray number = item == QLatin1String("None") ? QByteArray("00") : item.toLatin1();
    family()[m_col == ColPrefix ? FamPrefix : FamSuffix] = number;
    showMessageLabels();
    MarkDatabaseModified();
    takeSnapshot();
}

// ---------------------------------------------------------------------------------------------
// Keys

void frmCfgFam::Form_KeyDown(int &KeyCode, Qt::KeyboardModifiers)
{
    const auto key = TakeEditorKey(KeyCode);
    if (!key || Run.bDBBusy() || m_checking)
        return;

    const int next = m_row == FamilyCount ? 1 : m_row + 1;
    const int previous = m_row == 1 ? FamilyCount : m_row - 1;
    auto click = [this](int col) {
        setCol(col);
        fgFamilies_Click();
    };
    // A new row may scroll the grid, which closes the editor: the cell is clicked twice.
    auto clickTwice = [&](int row, int col) {
        setRow(row);
        click(col);
        if (!isUnloaded())
            click(col);
    };

    switch (*key) {
    case KeyTab:
    case KeyEnter:
    case KeyRight:
        switch (m_col) {
        case ColActive: click(ColPagerQty); break;
        case ColPagerQty: click(ColStartID); break;
        case ColStartID: click(ColStartCap); break;
        case ColStartCap:
        case ColFamily: clickTwice(next, ColPagerQty); break;
        default: break;
        }
        break;
    case KeyLeft:
        switch (m_col) {
        case ColPagerQty: clickTwice(previous, ColStartCap); break;
        case ColStartID: click(ColPagerQty); break;
        case ColStartCap: click(ColStartID); break;
        default: break;
        }
        break;
    case KeyDown:
        clickTwice(next, m_col);
        break;
    case KeyUp:
        clickTwice(previous, m_col);
        break;
    default:
        break;
    }
}

// ---------------------------------------------------------------------------------------------
// OK and the families check

void frmCfgFam::cmdOK_Click()
{
    if (!EditorCheck::MayStart(m_checking))
        return;
    hideOverlays();
    setCol(ColFamily);

    // Complete families are in use; incomplete ones are erased, and an erased family that was
    // on shows OFF.
    bIncompleteRecord = false;
    for (int index : DefineOrEraseFamilies()) {
        if (QTableWidgetItem *active = Cell(index + 1, ColActive)) {
            active->setBackground(Colour(OffRed));
            active->setText(QStringLiteral("OFF"));
        }
    }
    takeSnapshot();

    if (bFamiliesEdited) {
        Run.bDBCheckOK = CheckFamiliesDatabase();
        if (isUnloaded())
            return;
        if (bFamFieldsAdjusted) {
            bFamFieldsAdjusted = false;
            return; // the operator looks at the corrected cells
        }
        if (m_pagerIDsExceeded)
            return; // the operator corrects the family the check could not move
    }
    forms::UnloadForm(this);
}

bool frmCfgFam::CheckFamiliesDatabase()
{
    // No encoder command starts while the families are corrected.
    EditorCheck check(this, Busy::CheckingFamilies, m_checking, CheckingText);
    m_pagerIDsExceeded = false;
    const std::array<FamilyRec, FamilyCount> before = DB.Families;

    FamiliesCheckHooks hooks;
    hooks.clearCancel = EditorCheck::ClearCancel;
    hooks.passStarted = [&check] { check.passStarted(); };
    hooks.yieldAndStop = [&check] { return check.yieldAndStop(); };
    hooks.fault = [](int, const QString &text) { MsgBox(text, MsgButtons::OK); };
    const FamiliesCheckResult result = ::CheckFamiliesDatabase(hooks);
    if (!check.finished())
        return result.ok;

    markCorrections(result);
    // What the grid now shows: the families as they were, with the corrections.
    m_shown.families = before;
    for (const FamilyCorrection &c : result.corrections)
        m_shown.families[size_t(c.row)][c.field] = c.newText;

    if (result.pagerIDsExceededRow >= 0) {
        m_pagerIDsExceeded = true;
        setRow(result.pagerIDsExceededRow + 1);
        setCol(ColFamily);
        MsgBox(QStringLiteral("Family %1 Cannot be Moved Past Pager ID %2\rPlease Correct its Pager Quantity or Start ID")
                   .arg(result.pagerIDsExceededRow + 1)
                   .arg(HighestPagerID),
               MsgButtons::OK, MsgIcon::Exclamation, QStringLiteral("Pager ID Range Exceeded"));
    }
    if (result.ok && bFamFieldsAdjusted)
        MsgBox(QStringLiteral("One or More Fields Were Adjusted\rto Correct Illegal Capcodes\r"
                              "or to Correct Overlapping Pager IDs\ras Indicated by Blue Fields"),
               MsgButtons::OK, MsgIcon::Exclamation,
               QStringLiteral("Pager ID Overlap or Illegal Capcodes"));
    return result.ok;
}

void frmCfgFam::markCorrections(const FamiliesCheckResult &result)
{
    for (const FamilyCorrection &c : result.corrections) {
        const int row = c.row + 1;
        if (QTableWidgetItem *item = Cell(row, c.column)) {
            item->setText(latin(c.newText));
            item->setBackground(Colour(CorrectedCyan));
        }
        const std::pair<int, QByteArray> derived[] = {{ColEndID, c.endIDText}, {ColEndCap, c.endCapText}};
        for (const auto &[col, text] : derived) {
            QTableWidgetItem *item = Cell(row, col);
            if (item && !text.isEmpty()) {
                item->setText(latin(text));
                item->setForeground(Colour(DerivedGrey));
            }
        }
    }
    if (!result.corrections.isEmpty()) {
        // The first corrected family comes into view.
        setRow(result.corrections.first().row + 1);
        setCol(ColFamily);
    }
}

// ---------------------------------------------------------------------------------------------
// A database that changes under the editor: no input while the encoder is read or written,
// and the new contents shown afterwards.

void frmCfgFam::setInputEnabled(bool enabled)
{
    if (!enabled)
        hideOverlays();
    SetGridInput(fgFamilies, cmdOK, enabled, isActiveWindow());
}

void frmCfgFam::takeSnapshot()
{
    m_shown.families = DB.Families;
    m_shown.messages = DB.CannedMsgs;
    m_shown.incCapBy8 = EncoderSettings.bIncCapBy8;
}

bool frmCfgFam::databaseChangedElsewhere() const
{
    return m_shown.families != DB.Families || m_shown.incCapBy8 != EncoderSettings.bIncCapBy8;
}

void frmCfgFam::watchDatabase()
{
    if (isUnloaded() || !m_watch.mayLook(core().busy > 0))
        return;
    if (databaseChangedElsewhere()) {
        const bool suppressed = Run.bSuppressEvents;
        Run.bSuppressEvents = true;
        hideOverlays();
        lblIncCapBy8->setText(QString::fromLatin1(IncBy8LabelText(EncoderSettings.bIncCapBy8)));
        fillGrid();
        setCol(ColFamily);
        showClickLabels();
        Run.bSuppressEvents = suppressed;
        takeSnapshot();
    } else if (m_shown.messages != DB.CannedMsgs) {
        showClickLabels();
        m_shown.messages = DB.CannedMsgs;
    }
}
