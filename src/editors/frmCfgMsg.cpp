#include "editors/frmCfgMsg.h"

#include "editors/editorsteps.h"
#include "model/changes.h"
#include "model/database.h"
#include "model/state.h"
#include "platform/msgbox.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

using namespace editorsteps;
using namespace gridedit;

namespace {

constexpr int MessageChars = 60;    // what may be typed into a message

} // namespace

frmCfgMsg::frmCfgMsg(QWidget *parent) : Form(parent)
{
    setObjectName(QStringLiteral("frmCfgMsg"));
    setWindowTitle(QStringLiteral(" Predefined Messages Setup"));

    fgMessages = new EditorGrid(MessageCount, 1, this);
    fgMessages->setObjectName(QStringLiteral("fgMessages"));
    fgMessages->setGridColours(UndefinedGrey, GridLines);
    fgMessages->setHorizontalHeaderLabels({QStringLiteral("Message")});
    QStringList rowTitles;
    for (int n = 1; n <= MessageCount; ++n)
        rowTitles << QLatin1Char(' ') + QString::number(n);
    fgMessages->setVerticalHeaderLabels(rowTitles);
    fgMessages->makeItems(Qt::AlignLeft | Qt::AlignVCenter);

    QHeaderView *columns = fgMessages->horizontalHeader();
    QHeaderView *rows = fgMessages->verticalHeader();
    columns->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    rows->setDefaultAlignment(Qt::AlignCenter);

    // Every message in view, as wide as 60 capitals.
    const QFontMetrics fm(fgMessages->font());
    const QFontMetrics hfm(columns->font());
    const int rowHeight = SetRowHeight(fgMessages, 6, 20);
    rows->setFixedWidth(hfm.horizontalAdvance(QStringLiteral(" 15")) + 18);
    const int columnWidth = fm.horizontalAdvance(QString(MessageChars, QLatin1Char('N'))) + 14;
    fgMessages->setColumnWidth(0, columnWidth);
    const int frame = 2 * fgMessages->frameWidth();
    fgMessages->setFixedSize(frame + rows->width() + columnWidth,
                             frame + columns->sizeHint().height() + MessageCount * rowHeight);
    fgMessages->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    fgMessages->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);

    cmdOK = MakeOKButton(this);

    auto *layout = MakeEditorLayout(this, fgMessages, 8);
    auto *bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(cmdOK);
    bottom->addStretch(1);
    layout->addLayout(bottom);

    txtMsg = new OverlayTextBox(this);
    txtMsg->setObjectName(QStringLiteral("txtMsg"));
    txtMsg->hide();
    // Every key passes the window first (see Form_KeyDown).
    FilterEditorKeys(this, fgMessages, {cmdOK, txtMsg}, {});

    connect(fgMessages, &QAbstractItemView::clicked, this, [this](const QModelIndex &index) {
        forms::HandlerScope scope(this);
        setRow(index.row() + 1);
        fgMessages_Click();
    });
    // A click on the message number opens the message too.
    connect(rows, &QHeaderView::sectionClicked, this, [this](int logical) {
        forms::HandlerScope scope(this);
        setRow(logical + 1);
        fgMessages_Click();
    });
    connect(fgMessages->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] {
        if (!Run.bSuppressEvents)
            txtMsg->hide();
    });
    connect(txtMsg, &QLineEdit::textChanged, this, forms::Handler(this, &frmCfgMsg::txtMsg_Change));
    connect(cmdOK, &QPushButton::clicked, this, forms::Handler(this, &frmCfgMsg::cmdOK_Click));
    connect(&ModelEvents::instance(), &ModelEvents::changed, this,
            [this](ModelChange what) { watchDatabase(what); });

    setFixedSize(sizeHint());
}

void frmCfgMsg::setRow(int row)
{
    m_row = qBound(1, row, MessageCount);
    // The grid marks no cell as current: the text box over it shows where the operator is.
    fgMessages->selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
}

QTableWidgetItem *frmCfgMsg::Cell(int row) const
{
    return row >= 1 && row <= MessageCount ? fgMessages->item(row - 1, 0) : nullptr;
}

// A message on ivory; an empty one is an empty light grey cell.
void frmCfgMsg::drawMessage(int row)
{
    QTableWidgetItem *item = Cell(row);
    const QByteArray &message = DB.CannedMsgs[size_t(row - 1)];
    item->setText(QString::fromLatin1(message));
    item->setBackground(Colour(message.isEmpty() ? InactiveGrey : ActiveIvory));
}

void frmCfgMsg::Form_Load()
{
    BeginLoad(this);
    for (int n = 1; n <= MessageCount; ++n)
        drawMessage(n);
    setRow(1);
    show();
    fgMessages_Click();
    Run.bSuppressEvents = false;
    m_watch.followDatabase();
}

void frmCfgMsg::fgMessages_Click()
{
    if (Run.bDBBusy()) {
        txtMsg->hide();
        return;
    }
    Run.bSuppressEvents = true;
    txtMsg->hide();
    PlaceOverCell(this, fgMessages, txtMsg, m_row - 1, 0, false);
    // A stored message is shown whole; typing stops at 60 characters.
    txtMsg->setStoredText(Cell(m_row)->text(), MessageChars);
    txtMsg->show();
    txtMsg->setCursorPosition(int(txtMsg->text().size()));
    txtMsg->deselect();
    txtMsg->setFocus();
    Run.bSuppressEvents = false;
}

void frmCfgMsg::txtMsg_Change()
{
    if (!HandlerGoesOn(false, [this] { txtMsg->hide(); }))
        return;
    QString text = txtMsg->text();
    const qsizetype quote = text.indexOf(QLatin1Char('"'));
    if (quote >= 0) {
        // A quote would end the message in the encoder's record. Every quote goes, wherever it
        // was typed or pasted; the caret stays where the first one was. Setting the text runs
        // this handler again, which stores the message.
        MsgBox(QStringLiteral("Double Quote Characters (\") are Not Allowed"), MsgButtons::OK, MsgIcon::None,
               QStringLiteral("Invalid Entry"));
        if (isUnloaded())
            return;
        text.remove(QLatin1Char('"'));
        txtMsg->setText(text);
        txtMsg->setCursorPosition(int(quote));
        return;
    }
    DB.CannedMsgs[size_t(m_row - 1)] = text.toLatin1();
    drawMessage(m_row);
    MarkDatabaseModified();
}

void frmCfgMsg::Form_KeyDown(int &KeyCode, Qt::KeyboardModifiers)
{
    const auto key = TakeEditorKey(KeyCode);
    if (!key)
        return;
    if (*key == KeyUp || *key == KeyLeft)
        setRow(m_row == 1 ? MessageCount : m_row - 1);
    else
        setRow(m_row == MessageCount ? 1 : m_row + 1);
    fgMessages_Click();
}

void frmCfgMsg::cmdOK_Click()
{
    forms::UnloadForm(this);
}

// ---------------------------------------------------------------------------------------------
// A database that changes under the editor: no input while the encoder is read or written,
// and the new messages drawn once the database has been replaced.

void frmCfgMsg::setInputEnabled(bool enabled)
{
    if (!enabled)
        txtMsg->hide();
    SetGridInput(fgMessages, cmdOK, enabled, false);
}

void frmCfgMsg::watchDatabase(ModelChange what)
{
    if (what == ModelChange::DatabaseReplaced)
        m_redrawPending = true;
    if (isUnloaded() || (!m_redrawPending && m_watch.inputFollows()))
        return;
    // Never in the middle of one of the editor's own handlers (the quote's box).
    if (!m_watch.mayLook(core().busy > 0))
        return;
    // Back to typing on the same message, with what the database now holds.
    const bool suppressed = Run.bSuppressEvents;
    Run.bSuppressEvents = true;
    if (m_redrawPending) {
        m_redrawPending = false;
        for (int n = 1; n <= MessageCount; ++n)
            drawMessage(n);
    }
    Run.bSuppressEvents = suppressed;
    if (!suppressed)
        fgMessages_Click();
}
