#include "widgets/controls.h"

#include <QAction>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QValidator>

ClickLabel::ClickLabel(QWidget *parent) : QLabel(parent) {}

void ClickLabel::mousePressEvent(QMouseEvent *event)
{
    m_pressed = event->button() == Qt::LeftButton;
    event->accept();
}

void ClickLabel::mouseReleaseEvent(QMouseEvent *event)
{
    event->accept();
    const bool click = m_pressed && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    m_pressed = false;
    if (click)
        emit clicked();
}

// ---------------------------------------------------------------------------------------------

ButtonToolBar::ButtonToolBar(QWidget *parent) : QToolBar(parent)
{
    setMovable(false);
    setFloatable(false);
    setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    setIconSize(QSize(32, 32));
    connect(this, &QToolBar::actionTriggered, this, [this](QAction *action) {
        if (m_buttons.contains(action) && !action->isSeparator())
            emit ButtonClick(Key(action));
    });
}

QAction *ButtonToolBar::addSeparatorButton()
{
    QAction *sep = addSeparator();
    m_buttons.append(sep);
    return sep;
}

QAction *ButtonToolBar::addButton(const QString &key, const QString &caption, const QIcon &icon)
{
    auto *action = new QAction(icon, caption, this);
    action->setObjectName(key);
    action->setData(key);
    QString plain = caption;
    plain.remove(QLatin1Char('&'));
    action->setIconText(plain);
    action->setToolTip(plain);
    addAction(action);
    m_buttons.append(action);
    return action;
}

int ButtonToolBar::ButtonCount() const
{
    return int(m_buttons.size());
}

QAction *ButtonToolBar::Buttons(int position) const
{
    if (position < 1 || position > m_buttons.size())
        return nullptr;
    return m_buttons[position - 1];
}

QAction *ButtonToolBar::ButtonByKey(const QString &key) const
{
    for (QAction *a : m_buttons)
        if (!a->isSeparator() && Key(a) == key)
            return a;
    return nullptr;
}

QString ButtonToolBar::Key(const QAction *button)
{
    return button ? button->data().toString() : QString();
}

void ButtonToolBar::setAllButtonsEnabled(bool enabled)
{
    for (QAction *a : m_buttons)
        a->setEnabled(enabled);
}

// ---------------------------------------------------------------------------------------------

PanelStatusBar::PanelStatusBar(int panels, QWidget *parent) : QStatusBar(parent)
{
    setSizeGripEnabled(false);
    for (int i = 1; i <= panels; ++i) {
        auto *panel = new QLabel(this);
        panel->setObjectName(QStringLiteral("Panel%1").arg(i));
        panel->setContentsMargins(4, 0, 4, 0);
        if (i == 1) {
            panel->setMinimumWidth(200);
            addWidget(panel, 1);
        } else {
            auto *rule = new QFrame(this);
            rule->setFrameShape(QFrame::VLine);
            rule->setFrameShadow(QFrame::Sunken);
            addPermanentWidget(rule);
            panel->setMinimumWidth(130);
            addPermanentWidget(panel);
        }
        m_panels.append(panel);
    }
}

QLabel *PanelStatusBar::Panels(int number) const
{
    return (number >= 1 && number <= m_panels.size()) ? m_panels[number - 1] : nullptr;
}

void PanelStatusBar::setPanelText(int number, const QString &text)
{
    if (QLabel *p = Panels(number))
        p->setText(text);
}

QString PanelStatusBar::panelText(int number) const
{
    const QLabel *p = Panels(number);
    return p ? p->text() : QString();
}

// ---------------------------------------------------------------------------------------------

namespace {

// Typing and pasting: Latin-1 characters only (the file holds one byte per character), line
// breaks turned into blanks.
class NotesValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString &input, int &) const override
    {
        for (QChar &c : input) {
            if (c == QLatin1Char('\r') || c == QLatin1Char('\n'))
                c = QLatin1Char(' ');
            else if (c.unicode() > 0xFF)
                return Invalid;
        }
        return Acceptable;
    }
};

} // namespace

NotesBox::NotesBox(int maxChars, QWidget *parent) : QLineEdit(parent), m_limit(maxChars)
{
    setMaxLength(maxChars);
    setValidator(new NotesValidator(this));
    connect(this, &QLineEdit::textEdited, this, [this](const QString &text) {
        if (maxLength() > m_limit)
            setMaxLength(qMax(m_limit, int(text.size())));
    });
}

void NotesBox::setNotes(const QByteArray &bytes)
{
    const QString text = QString::fromLatin1(bytes);
    setMaxLength(qMax(m_limit, int(text.size())));
    setText(text);
    setCursorPosition(0);
}

QByteArray NotesBox::notes() const
{
    return text().toLatin1();
}
