#include "testconsole/frmRangeTest.h"

#include "model/state.h"
#include "platform/msgbox.h"
#include "testconsole/rangetest.h"

#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QValidator>
#include <QVBoxLayout>

namespace {

// Typing and pasting: one byte per character (Latin-1), no line breaks.
class Latin1Validator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString &input, int &) const override
    {
        for (QChar c : input)
            if (c.unicode() > 0xFF || c == QLatin1Char('\r') || c == QLatin1Char('\n'))
                return Invalid;
        return Acceptable;
    }
};

QLineEdit *textBox(QWidget *parent, const char *name, int maxLength)
{
    auto *box = new QLineEdit(parent);
    box->setObjectName(QLatin1String(name));
    box->setMaxLength(maxLength);
    box->setValidator(new Latin1Validator(box));
    return box;
}

QLabel *label(QWidget *parent, const char *name, const QString &caption)
{
    auto *l = new QLabel(caption, parent);
    l->setObjectName(QLatin1String(name));
    return l;
}

} // namespace

frmRangeTest::frmRangeTest(QWidget *parent) : DialogForm(parent)
{
    setObjectName(QStringLiteral("frmRangeTest"));
    setWindowTitle(QStringLiteral("Range Test Setup"));

    auto *layout = new QVBoxLayout(this);
    Label1 = label(this, "Label1",
                   QStringLiteral("Range Test will transmit sequentially numbered paging messages.\n"
                                  "Please specify Base Message, Pager PIN, and Cycle Time, in seconds."));
    Label1->setWordWrap(true);
    layout->addWidget(Label1);

    auto *grid = new QGridLayout;
    txtBaseMsg = textBox(this, "txtBaseMsg", 100);
    txtPIN = textBox(this, "txtPIN", 10);
    txtCycleTime = textBox(this, "txtCycleTime", 2);
    txtCycleTime->setText(QStringLiteral("30"));
    QLabel *label2 = label(this, "Label2", QStringLiteral("Base Message:"));
    QLabel *label3 = label(this, "Label3", QStringLiteral("PIN:"));
    QLabel *label4 = label(this, "Label4", QStringLiteral("Cycle Time:"));
    label2->setBuddy(txtBaseMsg);
    label3->setBuddy(txtPIN);
    label4->setBuddy(txtCycleTime);
    grid->addWidget(label2, 0, 0);
    grid->addWidget(txtBaseMsg, 0, 1);
    grid->addWidget(label3, 1, 0);
    grid->addWidget(txtPIN, 1, 1);
    auto *cycle = new QHBoxLayout;
    cycle->addWidget(label(this, "Label5", QStringLiteral("Send page every")));
    txtCycleTime->setMaximumWidth(txtCycleTime->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 12);
    cycle->addWidget(txtCycleTime);
    cycle->addWidget(label(this, "Label6", QStringLiteral("seconds.")));
    cycle->addStretch(1);
    grid->addWidget(label4, 2, 0);
    grid->addLayout(cycle, 2, 1);
    grid->setColumnStretch(1, 1);
    layout->addLayout(grid);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    cmdStart = new QPushButton(QStringLiteral("&Start"), this);
    cmdStart->setObjectName(QStringLiteral("cmdStart"));
    cmdStart->setDefault(true);
    cmdCancel = new QPushButton(QStringLiteral("&Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    setEscapeButton(cmdCancel);
    buttons->addWidget(cmdStart);
    buttons->addWidget(cmdCancel);
    layout->addLayout(buttons);
    connect(cmdStart, &QPushButton::clicked, this, forms::Handler(this, &frmRangeTest::cmdStart_Click));
    connect(cmdCancel, &QPushButton::clicked, this, forms::Handler(this, &frmRangeTest::cmdCancel_Click));
    setMinimumWidth(420);
}

void frmRangeTest::Form_Load()
{
    adjustSize();
    if (QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.left() + (area.width() - width()) / 2, area.top() + (area.height() - height()) / 2);
    }
    QByteArray pagerID, base;
    if (const RangeTestConsole *console = RangeTest().Console()) {
        pagerID = console->PagerID();
        base = console->Message();
    }
    txtPIN->setText(QString::fromLatin1(pagerID));
    txtBaseMsg->setText(base.isEmpty() ? QStringLiteral("Test") : QString::fromLatin1(base));
}

void frmRangeTest::Form_Unload()
{
    // Closed without Start (Cancel, or Escape which presses it, the close box): the console's
    // Send is itself again.
    if (!m_started)
        RangeTest().Cancel();
}

void frmRangeTest::cmdStart_Click()
{
    const std::optional<int16_t> cycle = CycleTimeSeconds(txtCycleTime->text());
    if (!cycle) {
        MsgBox(QStringLiteral("Cycle Time must be a whole number of seconds."), MsgButtons::OK,
               MsgIcon::Exclamation, QStringLiteral("Invalid Cycle Time"));
        if (!isUnloaded()) {
            txtCycleTime->setFocus();
            txtCycleTime->selectAll();
        }
        return;
    }
    m_started = true;
    RangeTest().Start(txtPIN->text().toLatin1(), txtBaseMsg->text().toLatin1(), *cycle);
    hide();
}

void frmRangeTest::cmdCancel_Click()
{
    forms::UnloadForm(this);
}

void RangeTestMenuClick(QWidget *console)
{
    RangeTestRun &test = RangeTest();
    if (Run.bRangeTestOn) {
        test.Stop();
        forms::Unload<frmRangeTest>();
        return;
    }
    if (!test.Console())
        return;
    // A dialog left from an earlier start is not this start's.
    forms::Unload<frmRangeTest>();
    test.Prepare();
    forms::ShowModal<frmRangeTest>(console);
}

void RangeTestConsoleClosing()
{
    RangeTest().ConsoleClosed();
    forms::Unload<frmRangeTest>();
}
