#include "widgets/gridedit.h"

#include "platform/shell.h"

#include <QCoreApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>
#include <QValidator>

namespace gridedit {

QColor Colour(unsigned value)
{
    return QColor(int((value >> 16) & 0xFF), int((value >> 8) & 0xFF), int(value & 0xFF));
}

int KeyCodeOf(int qtKey)
{
    switch (qtKey) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return KeyTab;
    case Qt::Key_Return:
    case Qt::Key_Enter: return KeyEnter;
    case Qt::Key_Left: return KeyLeft;
    case Qt::Key_Up: return KeyUp;
    case Qt::Key_Right: return KeyRight;
    case Qt::Key_Down: return KeyDown;
    case Qt::Key_F1: return KeyF1;
    default: return -1;
    }
}

std::optional<int> TakeEditorKey(int &KeyCode)
{
    if (KeyCode == KeyF1) {
        OpenHelpManual();
        KeyCode = 0;
        return std::nullopt;
    }
    if (!IsNavigationKey(KeyCode))
        return std::nullopt;
    const int key = KeyCode;
    KeyCode = 0;
    return key;
}

bool LookLater::now(bool inHandler)
{
    if (!inHandler)
        return true;
    if (!m_queued) {
        m_queued = true;
        QTimer::singleShot(100, m_owner, [this] {
            m_queued = false;
            m_look();
        });
    }
    return false;
}

namespace {

class EditorKeyFilter : public QObject {
public:
    EditorKeyFilter(QWidget *form, QAbstractScrollArea *grid, std::initializer_list<QWidget *> overlays,
                    KeyDownHandler keyDown)
        : QObject(form), m_grid(grid), m_keyDown(std::move(keyDown))
    {
        for (QWidget *overlay : overlays)
            m_overlays << overlay;
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Wheel && m_overlays.contains(watched)) {
            QCoreApplication::sendEvent(m_grid->viewport(), event);
            return true;
        }
        if (event->type() != QEvent::KeyPress)
            return false;
        const auto *key = static_cast<QKeyEvent *>(event);
        int keyCode = KeyCodeOf(key->key());
        if (keyCode < 0)
            return false;
        m_keyDown(keyCode, key->modifiers());
        return keyCode == 0;
    }

private:
    QAbstractScrollArea *m_grid;
    QList<QObject *> m_overlays;
    KeyDownHandler m_keyDown;
};

} // namespace

void FilterEditorKeys(QWidget *form, QAbstractScrollArea *grid, std::initializer_list<QWidget *> controls,
                      std::initializer_list<QWidget *> overlays, KeyDownHandler keyDown)
{
    auto *filter = new EditorKeyFilter(form, grid, overlays, std::move(keyDown));
    form->installEventFilter(filter);
    grid->installEventFilter(filter);
    for (QWidget *control : controls)
        control->installEventFilter(filter);
    for (QWidget *overlay : overlays) {
        overlay->hide();
        overlay->installEventFilter(filter);
    }
}

// ---------------------------------------------------------------------------------------------

EditorGrid::EditorGrid(int rows, int columns, QWidget *parent) : QTableWidget(rows, columns, parent)
{
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTabKeyNavigation(false);
    setAutoScroll(false);
    setCornerButtonEnabled(false);
    setWordWrap(false);
    setFocusPolicy(Qt::StrongFocus);
    for (QHeaderView *header : {horizontalHeader(), verticalHeader()}) {
        header->setHighlightSections(false);
        header->setSectionResizeMode(QHeaderView::Fixed);
    }
    horizontalHeader()->setSectionsClickable(false);
    QPalette p = palette();
    p.setColor(QPalette::Text, Qt::black);
    setPalette(p);
}

void EditorGrid::makeItems(Qt::Alignment alignment)
{
    for (int r = 0; r < rowCount(); ++r) {
        for (int c = 0; c < columnCount(); ++c) {
            auto *item = new QTableWidgetItem;
            item->setFlags(Qt::ItemIsEnabled);
            item->setTextAlignment(alignment);
            setItem(r, c, item);
        }
    }
}

void EditorGrid::setGridColours(unsigned background, unsigned lines)
{
    QPalette p = viewport()->palette();
    p.setColor(QPalette::Base, Colour(background));
    viewport()->setPalette(p);
    viewport()->setAutoFillBackground(true);
    setStyleSheet(QStringLiteral("QTableView { gridline-color: %1; }").arg(Colour(lines).name()));
}

QModelIndex EditorGrid::moveCursor(CursorAction action, Qt::KeyboardModifiers)
{
    QScrollBar *bar = verticalScrollBar();
    switch (action) {
    case MovePageUp: bar->triggerAction(QAbstractSlider::SliderPageStepSub); break;
    case MovePageDown: bar->triggerAction(QAbstractSlider::SliderPageStepAdd); break;
    case MoveHome: bar->triggerAction(QAbstractSlider::SliderToMinimum); break;
    case MoveEnd: bar->triggerAction(QAbstractSlider::SliderToMaximum); break;
    default: break;
    }
    return currentIndex();
}

// ---------------------------------------------------------------------------------------------

namespace {

// Typing and pasting: Latin-1 characters only, line breaks dropped.
class OverlayValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString &input, int &pos) const override
    {
        for (qsizetype i = input.size() - 1; i >= 0; --i) {
            const QChar c = input.at(i);
            if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
                input.remove(i, 1);
                if (pos > i)
                    --pos;
            } else if (c.unicode() > 0xFF) {
                return Invalid;
            }
        }
        return Acceptable;
    }
};

constexpr int UnlimitedText = 32767; // a line edit's own largest length limit

} // namespace

OverlayTextBox::OverlayTextBox(QWidget *parent) : QLineEdit(parent)
{
    setValidator(new OverlayValidator(this));
    // Connected before any window's change handler, so that the handler finds the limit in
    // place.
    connect(this, &QLineEdit::textChanged, this, [this] { followText(); });
}

void OverlayTextBox::setStoredText(const QString &text, int typedLimit)
{
    // A line edit cuts its text to its length limit: the limit is lifted first and set to fit
    // afterwards.
    m_typedLimit = typedLimit;
    setMaxLength(UnlimitedText);
    setText(text);
    followText();
}

void OverlayTextBox::followText()
{
    const int limit = qMax(m_typedLimit, int(text().size()));
    if (limit <= 0 || maxLength() == limit)
        return;
    const int caret = cursorPosition();
    setMaxLength(limit); // the same text again: no change of text
    setCursorPosition(caret);
}

// ---------------------------------------------------------------------------------------------

int SetRowHeight(QTableView *grid, int padding, int least)
{
    const int height = qMax(QFontMetrics(grid->font()).height() + padding, least);
    grid->verticalHeader()->setMinimumSectionSize(height);
    grid->verticalHeader()->setDefaultSectionSize(height);
    return height;
}

QPushButton *MakeOKButton(QWidget *form)
{
    auto *ok = new QPushButton(QStringLiteral("&OK"), form);
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setMinimumWidth(88);
    return ok;
}

QVBoxLayout *MakeEditorLayout(QWidget *form, QWidget *grid, int spacing)
{
    auto *layout = new QVBoxLayout(form);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->setSpacing(spacing);
    layout->addWidget(grid);
    return layout;
}

void PlaceOverCell(QWidget *form, QTableWidget *grid, QWidget *editor, int row, int col, bool list,
                   int extraWidth)
{
    const QModelIndex index = grid->model()->index(row, col);
    grid->scrollTo(index);
    QRect cell = grid->visualRect(index);
    cell.moveTopLeft(grid->viewport()->mapTo(form, cell.topLeft()));
    if (!list) {
        editor->setGeometry(cell.adjusted(0, 0, 1, 1));
    } else {
        const int height = qMax(editor->sizeHint().height(), cell.height() + 1);
        editor->setGeometry(cell.left(), cell.center().y() - height / 2 + 1, cell.width() + extraWidth,
                            height);
    }
    editor->raise();
}

} // namespace gridedit
