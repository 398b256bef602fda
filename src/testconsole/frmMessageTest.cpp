#include "testconsole/frmMessageTest.h"

#include "encoder/connection.h"
#include "encoder/link.h"
#include "encoder/terminalview.h"
#include "model/database.h"
#include "model/encoderports.h"
#include "model/state.h"
#include "paging/commlog.h"
#include "paging/senderdispatch.h"
#include "platform/folders.h"
#include "platform/msgbox.h"
#include "platform/pointer.h"
#include "platform/shell.h"
#include "platform/timing.h"
#include "testconsole/frmRangeTest.h"
#include "testconsole/pagerid.h"
#include "testconsole/rangetest.h"
#include "testconsole/testpage.h"
#include "widgets/controls.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTextCursor>
#include <QTextDocument>
#include <QVBoxLayout>

namespace {

constexpr int MessageMaxLength = 513;
constexpr int PagerIDMaxLength = 10;

// The folder the log file dialog opens in: the last log file's, else the user's documents.
QString &lastLogFolder()
{
    static QString folder;
    return folder;
}

// The main window's commands held off for a scope (the view given back as it was at the end;
// a main window that has gone by then is not touched).
class CommandsHeld {
public:
    CommandsHeld() { Link().view().HoldCommands(true); }
    ~CommandsHeld() { Link().view().HoldCommands(false); }
    CommandsHeld(const CommandsHeld &) = delete;
    CommandsHeld &operator=(const CommandsHeld &) = delete;
};

} // namespace

QString AdmitPageText(const QString &text, int room)
{
    QString taken;
    taken.reserve(qBound(qsizetype(0), qsizetype(room), text.size()));
    for (qsizetype i = 0; i < text.size() && taken.size() < room; ++i) {
        QChar c = text[i];
        if (c == QLatin1Char('\r') && i + 1 < text.size() && text[i + 1] == QLatin1Char('\n'))
            ++i;
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n') || c == QChar::ParagraphSeparator ||
            c == QChar::LineSeparator)
            c = QLatin1Char(' ');
        else if (c.unicode() > 0xFF)
            continue;
        taken += c;
    }
    return taken;
}

namespace {

template <class W>
W *named(W *widget, const char *name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

} // namespace

// ---------------------------------------------------------------------------------------------

LogListBox::LogListBox(QWidget *parent) : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
}

void LogListBox::InsertTop(const QByteArray &line)
{
    insertItem(0, QString::fromLatin1(line));
}

int LogListBox::Count() const
{
    return count();
}

void LogListBox::RemoveBottom()
{
    delete takeItem(count() - 1);
}

void LogListBox::SelectTop()
{
    setCurrentRow(0);
}

// ---------------------------------------------------------------------------------------------

PageTextBox::PageTextBox(QWidget *parent) : QPlainTextEdit(parent)
{
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setTabChangesFocus(true);
    // Every change of the text passes here, whatever made it, before anything is drawn.
    connect(document(), &QTextDocument::contentsChanged, this, &PageTextBox::admitChange);
}

QString PageTextBox::text() const
{
    // Not toPlainText(): it turns a non-breaking space into a blank.
    QString raw = document()->toRawText();
    raw.remove(QChar::ParagraphSeparator);
    return raw;
}

QByteArray PageTextBox::bytes() const
{
    return text().toLatin1();
}

void PageTextBox::setBytes(const QByteArray &text)
{
    setPlainText(AdmitPageText(QString::fromLatin1(text), m_maxLength));
}

int PageTextBox::room() const
{
    return m_maxLength - int(text().size()) + int(textCursor().selectedText().size());
}

void PageTextBox::insertFromMimeData(const QMimeData *source)
{
    // Taken in before it reaches the text, so a long paste is cut at once.
    if (source && source->hasText())
        insertPlainText(AdmitPageText(source->text(), room()));
}

void PageTextBox::admitChange()
{
    if (m_admitting)
        return;
    const QString now = document()->toRawText(); // line breaks as paragraph separators
    const QString &before = m_admitted;
    const qsizetype shorter = qMin(before.size(), now.size());
    qsizetype prefix = 0;
    while (prefix < shorter && before[prefix] == now[prefix])
        ++prefix;
    qsizetype suffix = 0;
    while (suffix < shorter && before[before.size() - 1 - suffix] == now[now.size() - 1 - suffix])
        ++suffix;

    // What came in ends where the caret stands after it, when the text behind the caret is the
    // text that was there before; otherwise at the end of what differs.
    const qsizetype growth = now.size() - before.size();
    const qsizetype caret = textCursor().position();
    qsizetype end = now.size() - qMin(suffix, shorter - prefix);
    if (caret <= now.size() && now.size() - caret <= suffix && caret >= qMax(qsizetype(0), growth))
        end = caret;
    const qsizetype start = qMin(prefix, end - qMax(qsizetype(0), growth));
    const QString came = now.mid(start, end - start);
    const QString taken = AdmitPageText(came, int(m_maxLength - start - (now.size() - end)));
    if (taken == came) {
        m_admitted = now;
        return;
    }

    // Corrected as part of the same edit, so that one undo takes back both.
    m_admitting = true;
    QTextCursor fix(document());
    fix.joinPreviousEditBlock();
    fix.setPosition(int(start));
    fix.setPosition(int(end), QTextCursor::KeepAnchor);
    fix.insertText(taken);
    fix.endEditBlock();
    if (caret == end) {
        QTextCursor moved = textCursor();
        moved.setPosition(int(start + taken.size()));
        setTextCursor(moved);
    }
    m_admitting = false;
    m_admitted = document()->toRawText();
}

// ---------------------------------------------------------------------------------------------

// The console as the range test sees it.
class frmMessageTest::RangeSide : public RangeTestConsole {
public:
    explicit RangeSide(frmMessageTest *console) : c(console) {}
    QByteArray PagerID() const override { return c->txtPIN->text().toLatin1(); }
    void SetPagerID(const QByteArray &pagerID) override { c->txtPIN->setText(QString::fromLatin1(pagerID)); }
    QByteArray Message() const override { return c->txtMessage->bytes(); }
    void SetMessage(const QByteArray &message) override { c->txtMessage->setBytes(message); }
    void SetTitle(const QString &title) override { c->setWindowTitle(title); }
    void SetSendCaption(const QString &caption) override { c->cmdSendMsg->setText(caption); }
    void EnableSend() override { c->cmdSendMsg->setEnabled(true); }
    void SetRangeMenuCaption(const QString &caption) override { c->mnuRangeTest->setText(caption); }
    int FunctionCodeButton() const override { return c->m_fcGroup->checkedId(); }
    int DataRateButton() const override { return c->m_rateGroup->checkedId(); }
    WindowTimer &Timer1() override { return *c->Timer1; }
    WindowTimer &Timer2() override { return *c->Timer2; }
    void SendPage(const TestPage &page) override { c->SendPage(page); }

private:
    frmMessageTest *c;
};

// ---------------------------------------------------------------------------------------------

frmMessageTest::frmMessageTest(QWidget *parent) : DialogForm(parent), m_range(std::make_unique<RangeSide>(this))
{
    setObjectName(QStringLiteral("frmMessageTest"));
    setWindowTitle(QStringLiteral("Paging Encoder Test"));

    auto *menuBar = new QMenuBar(this);
    QMenu *fileMenu = menuBar->addMenu(QStringLiteral("&File"));
    mnuExit = named(fileMenu->addAction(QStringLiteral("E&xit")), "mnuExit");
    mnuRangeTest = named(menuBar->addAction(QStringLiteral("Start Range &Test")), "mnuRangeTest");

    // The page: pager ID or capcode, message, function code and data rate, Send.
    lblPIN = named(new QLabel(QStringLiteral("Pager ID:"), this), "lblPIN");
    txtPIN = named(new QLineEdit(this), "txtPIN");
    txtPIN->setMaxLength(PagerIDMaxLength);
    txtPIN->setMinimumWidth(txtPIN->fontMetrics().horizontalAdvance(QString(PagerIDMaxLength + 2, QLatin1Char('0'))));
    lblPIN->setBuddy(txtPIN);
    lblIDAsCap = named(new QLabel(QStringLiteral("ID As Capcode Mode is OFF for Port 1"), this), "lblIDAsCap");
    Label7 = named(new QLabel(QStringLiteral("Pager Message:"), this), "Label7");
    QFont heading = Label7->font();
    heading.setBold(true);
    Label7->setFont(heading);
    Label3 = named(new QLabel(QStringLiteral("Message:"), this), "Label3");
    txtMessage = named(new PageTextBox(this), "txtMessage");
    txtMessage->setMinimumHeight(80);
    Label3->setBuddy(txtMessage);
    lblMsgLen = named(new QLabel(QStringLiteral("Message Length:"), this), "lblMsgLen");
    cmdSendMsg = named(new QPushButton(QStringLiteral("&Send"), this), "cmdSendMsg");
    cmdSendMsg->setDefault(true);

    lblFC = named(new QLabel(QStringLiteral("Function Code:"), this), "lblFC");
    m_fcGroup = new QButtonGroup(this);
    const char *fcNames[] = {"A", "B", "C", "D"};
    for (int i = 0; i < 4; ++i) {
        optFC[std::size_t(i)] = new QRadioButton(QLatin1String(fcNames[i]), this);
        optFC[std::size_t(i)]->setObjectName(QStringLiteral("optFC_%1").arg(i));
        m_fcGroup->addButton(optFC[std::size_t(i)], i);
    }
    lblDataRate = named(new QLabel(QStringLiteral("RF Data Rate:"), this), "lblDataRate");
    m_rateGroup = new QButtonGroup(this);
    const char *rateNames[] = {"512", "1200", "2400"};
    for (int i = 0; i < 3; ++i) {
        optDataRate[std::size_t(i)] = new QRadioButton(QLatin1String(rateNames[i]), this);
        optDataRate[std::size_t(i)]->setObjectName(QStringLiteral("optDataRate_%1").arg(i));
        m_rateGroup->addButton(optDataRate[std::size_t(i)], i);
    }

    auto *page = new QGridLayout;
    auto *pinRow = new QHBoxLayout;
    pinRow->addWidget(lblPIN);
    pinRow->addWidget(txtPIN);
    pinRow->addSpacing(16);
    pinRow->addWidget(lblIDAsCap, 1);
    page->addLayout(pinRow, 0, 0, 1, 2);
    page->addWidget(Label7, 1, 0, 1, 2);
    page->addWidget(Label3, 2, 0, Qt::AlignTop);
    page->addWidget(txtMessage, 2, 1);
    auto *lengthRow = new QHBoxLayout;
    lengthRow->addWidget(lblMsgLen, 1);
    lengthRow->addWidget(cmdSendMsg);
    page->addLayout(lengthRow, 3, 1);
    auto *fcRow = new QHBoxLayout;
    fcRow->addWidget(lblFC);
    for (QRadioButton *b : optFC)
        fcRow->addWidget(b);
    fcRow->addStretch(1);
    page->addLayout(fcRow, 4, 1);
    auto *rateRow = new QHBoxLayout;
    rateRow->addWidget(lblDataRate);
    for (QRadioButton *b : optDataRate)
        rateRow->addWidget(b);
    rateRow->addStretch(1);
    page->addLayout(rateRow, 5, 1);
    page->setColumnStretch(1, 1);

    // The message archive.
    Label2 = named(new QLabel(QStringLiteral("Message Archive"), this), "Label2");
    Label2->setFont(heading);
    lb_Archive = named(new QListWidget(this), "lb_Archive");
    cmdAdd = named(new QPushButton(QStringLiteral("&Add"), this), "cmdAdd");
    cmdDelete = named(new QPushButton(QStringLiteral("&Delete"), this), "cmdDelete");
    cmdReplace = named(new QPushButton(QStringLiteral("&Replace"), this), "cmdReplace");
    auto *archive = new QVBoxLayout;
    archive->addWidget(Label2);
    archive->addWidget(lb_Archive, 1);
    auto *archiveButtons = new QHBoxLayout;
    archiveButtons->addWidget(cmdAdd);
    archiveButtons->addWidget(cmdDelete);
    archiveButtons->addWidget(cmdReplace);
    archive->addLayout(archiveButtons);

    // The communications log.
    Label1 = named(new QLabel(QStringLiteral("COM Port Log"), this), "Label1");
    Label1->setFont(heading);
    Check1 = named(new QCheckBox(QStringLiteral("Log to File"), this), "Check1");
    lb_log = named(new LogListBox(this), "lb_log");
    lb_log->setMinimumHeight(160);
    auto *logHeader = new QHBoxLayout;
    logHeader->addWidget(Label1);
    logHeader->addStretch(1);
    logHeader->addWidget(Check1);

    StatusBar1 = named(new PanelStatusBar(1, this), "StatusBar1");
    StatusBar1->setSizeGripEnabled(false);

    auto *top = new QHBoxLayout;
    top->addLayout(page, 3);
    top->addSpacing(12);
    top->addLayout(archive, 2);
    auto *layout = new QVBoxLayout(this);
    layout->setMenuBar(menuBar);
    layout->addLayout(top);
    layout->addLayout(logHeader);
    layout->addWidget(lb_log, 1);
    layout->addWidget(StatusBar1);
    resize(760, 560);

    Timer1 = named(new WindowTimer(this, true), "Timer1");
    Timer1->setInterval(int(timeouts::ConsoleReply.count()));
    Timer2 = named(new WindowTimer(this, false), "Timer2");
    Timer2->setInterval(int(timeouts::RangeTick.count()));

    txtMessage->installEventFilter(this);
    connect(txtMessage, &QPlainTextEdit::textChanged, this,
            forms::Handler(this, &frmMessageTest::txtMessage_Change));
    connect(txtPIN, &QLineEdit::textChanged, this,
            [h = forms::Handler(this, &frmMessageTest::txtPIN_Change)](const QString &) { h(); });
    connect(Check1, &QCheckBox::clicked, this,
            [h = forms::Handler(this, &frmMessageTest::Check1_Click)](bool) { h(); });
    connect(Timer1, &WindowTimer::Timer, this, forms::Handler(this, &frmMessageTest::Timer1_Timer));
    connect(Timer2, &WindowTimer::Timer, this, forms::Handler(this, &frmMessageTest::Timer2_Timer));
    connect(mnuExit, &QAction::triggered, this, [h = forms::Handler(this, &frmMessageTest::mnuExit_Click)] { h(); });
    connect(mnuRangeTest, &QAction::triggered, this,
            [h = forms::Handler(this, &frmMessageTest::mnuRangeTest_Click)] { h(); });
    connect(cmdSendMsg, &QPushButton::clicked, this,
            [h = forms::Handler(this, &frmMessageTest::cmdSendMsg_Click)] { h(); });
    connect(cmdAdd, &QPushButton::clicked, this, [h = forms::Handler(this, &frmMessageTest::cmdAdd_Click)] { h(); });
    connect(cmdDelete, &QPushButton::clicked, this,
            [h = forms::Handler(this, &frmMessageTest::cmdDelete_Click)] { h(); });
    connect(cmdReplace, &QPushButton::clicked, this,
            [h = forms::Handler(this, &frmMessageTest::cmdReplace_Click)] { h(); });
    // An entry chosen by the mouse or the keys, or clicked again after the message was edited.
    connect(lb_Archive, &QListWidget::itemClicked, this,
            [h = forms::Handler(this, &frmMessageTest::lb_Archive_Click)](QListWidgetItem *) { h(); });
    connect(lb_Archive, &QListWidget::currentRowChanged, this,
            [h = forms::Handler(this, &frmMessageTest::lb_Archive_Click)](int row) {
                if (row >= 0)
                    h();
            });
}

frmMessageTest::~frmMessageTest()
{
    if (CurrentPagingConsole() == this)
        SetPagingConsole(nullptr);
    if (RangeTest().Console() == m_range.get())
        RangeTest().Attach(nullptr);
}

LogSink &frmMessageTest::LogList()
{
    return *lb_log;
}

QByteArray frmMessageTest::PagerIDText() const
{
    return txtPIN->text().toLatin1();
}

WindowTimer &frmMessageTest::ReplyTimer()
{
    return *Timer1;
}

void frmMessageTest::setOptions(QButtonGroup *group, bool enabled, int selected)
{
    const QList<QAbstractButton *> buttons = group->buttons();
    if (selected < 0) {
        group->setExclusive(false);
        for (QAbstractButton *b : buttons)
            b->setChecked(false);
        group->setExclusive(true);
    } else if (QAbstractButton *b = group->button(selected)) {
        b->setChecked(true);
    }
    for (QAbstractButton *b : buttons)
        b->setEnabled(enabled);
}

void frmMessageTest::Form_Load()
{
    EncoderLink &link = Link();
    link.setConsoleClosing(false);
    SetPagingConsole(this);
    RangeTest().Attach(m_range.get());

    SetHourglassPointer();
    adjustSize();
    if (QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.left() + (area.width() - width()) / 2, area.top() + (area.height() - height()) / 2);
    }
    txtMessage->setMaxLength(MessageMaxLength);
    mnuRangeTest->setEnabled(false);
    cmdSendMsg->setEnabled(false);

    // The message archive; without a file the list starts empty. One that is there but cannot
    // be read is said once, and left alone for the rest of this opening.
    m_archive = std::make_unique<MessageArchive>(UserDataFolder());
    m_archive->Load();
    showArchive({.changed = true});
    if (!m_archive->ReadError().isEmpty()) {
        SetDefaultPointer();
        m_archive->SayUnreadable();
        if (isUnloaded())
            return;
        SetHourglassPointer();
    }
    // From here on, a line the log file refuses is said once in this opening.
    m_logFailuresBefore = CommLogFile().FailedWrites();

    // Out of programming mode: the encoder reboots into paging mode on its ports. Until the PC's
    // port runs at the attached port's settings the line is the console's: the main window
    // takes no command (its close box still ends the program, as during a read).
    BusyScope line(Busy::Line);
    const CommandsHeld held;
    // The main window opens the console only on an open port, which a device that goes leaves
    // counted open until the main window closes it after the console: this opening is for a
    // console without a main window, where a failure has nothing to be shown in.
    if (!link.isOpen())
        link.openPort();
    link.Send("config reboot\r", false);
    link.Pause(timeouts::Reboot, false);
    SetDefaultPointer();
    if (isUnloaded() || link.closing())
        return;

    // The PC's port at the attached encoder port's baud and character format.
    const EncoderPort port = AttachedPort();
    const QByteArray protocol = *port.protocol;
    const bool idAsCap = *port.idAsCap;
    const QByteArray settings = AttachedPortLineSettings();
    link.setLine(settings);

    // The status line names the protocol (a code without a row by itself), the line settings
    // and, unless its row says not, the encoder port and the PC's COM port.
    const PagingProtocol *row = FindPagingProtocol(protocol);
    QString status = (row && row->consoleName ? QString::fromLatin1(row->consoleName) : QString::fromLatin1(protocol)) +
                     QStringLiteral(" Protocol, ") + QString::fromLatin1(settings);
    if (!row || row->consoleNamesPort)
        status += QStringLiteral(": Port %1 - COM%2").arg(port.number).arg(link.portNumber());
    StatusBar1->setPanelText(1, status);
    optFC[3]->setChecked(true);
    lblIDAsCap->setText(QString::fromLatin1(IDAsCapLabelText(idAsCap, port.number)));
    if (row)
        shapeForProtocol(*row, idAsCap);
    SetDefaultPointer();
}

// Which fields the operator fills in for the port's protocol, what the pager field is called,
// and which function codes and data rates exist.
void frmMessageTest::shapeForProtocol(const PagingProtocol &protocol, bool idAsCap)
{
    switch (protocol.pagerCaption) {
    case PagerCaption::Unchanged:
        break;
    case PagerCaption::ByIDAsCapcode:
        lblPIN->setText(idAsCap ? QStringLiteral("Pager Capcode:") : QStringLiteral("Pager ID:"));
        break;
    case PagerCaption::Capcode:
        lblPIN->setText(QStringLiteral("Pager Capcode:"));
        break;
    case PagerCaption::PagerID:
        lblPIN->setText(QStringLiteral("Pager ID:"));
        break;
    }
    lblFC->setVisible(protocol.functionCodes);
    setOptions(m_fcGroup, protocol.functionCodes, protocol.functionCodeButton);
    setOptions(m_rateGroup, protocol.dataRates, protocol.dataRateButton);
    if (!protocol.defaultPager) {
        txtPIN->setEnabled(true);
        txtPIN->clear();
        return;
    }
    // The protocol's pages go to the first pager ID of the first pager group.
    QByteArray id = DB.PagerGroups[0][GrpPagerID1];
    if (id == "0000") {
        MsgBox(QStringLiteral("COMP1 Protocol Requires a Default Pager Assignment\r"
                              "The First Pager ID in the First Pager Group is Used as the Default Pager ID\r"
                              "The Protocol has been set to TAP"),
               MsgButtons::OK, MsgIcon::None, QStringLiteral("COMP1 Pager ID Not Defined"));
        forms::UnloadForm(this);
        return;
    }
    while (id.startsWith('0'))
        id.remove(0, 1);
    txtPIN->setText(QString::fromLatin1(id));
    txtPIN->setEnabled(false);
}

void frmMessageTest::Form_Unload()
{
    // A page on its way stops at once, and nothing more reaches the log; a range test ends
    // before the hand-over talks to the encoder.
    EncoderLink &link = Link();
    link.setConsoleClosing(true);
    if (CurrentPagingConsole() == this)
        SetPagingConsole(nullptr);
    RangeTestConsoleClosing();

    SetHourglassPointer();
    // Back into programming mode, then the identification at 9600 baud. Not when the program is
    // closing: its exit has already told the encoder to reboot and closed the port, which stays
    // closed, and the encoder hears nothing more. Nor on a device that has gone, also when it
    // went while the close waited for the page still on the line: nothing is opened or sent
    // after that, and the main window says so as it shows the port closed. A reopening that
    // fails (the device went once the port was closed) sends nothing either; the main window
    // then shows the port closed after its box.
    const auto handOver = [&link] { return !link.Gone() && !link.lineWentAway(); };
    bool handedBack = false;
    if (handOver()) {
        link.discardInput();
        handedBack = link.Send("#PrgmMode#", true);
    }
    if (handOver())
        link.closePort();
    if (handOver())
        link.setLine("9600,n,8,1");
    if (handOver() && ReopenPort()) {
        // Until the identification has named the port and ended ("ID="), the reply time-out,
        // the program's end or the device's going away. A line that took neither command
        // gives no answer to wait for.
        if (handedBack)
            link.Wait({.send = "ATI\r",
                       .until = HoldsLine({"Port"}, "ID="),
                       .cancellable = false,
                       .onWriteFailure = OnWriteFailure::End});
        else
            link.Write("ATI\r");
        link.Pause(timeouts::Settle, false);
        if (!link.Gone() && link.isOpen())
            link.view().SetEnabled(TerminalView::Command::TestMenu, true);
    }
    mnuRangeTest->setText(QStringLiteral("Start &Range Test"));
    Timer1->setEnabled(false);
    Timer2->setEnabled(false);
    cmdSendMsg->setEnabled(true);
    SetDefaultPointer();
}

void frmMessageTest::txtMessage_Change()
{
    const int length = int(txtMessage->text().size());
    lblMsgLen->setText(QStringLiteral("Message Length: ") + QString::number(length));
    cmdSendMsg->setEnabled(length > 0);
}

void frmMessageTest::txtMessage_KeyPress(int &KeyAscii)
{
    if (KeyAscii == 13)
        KeyAscii = 0; // Enter never reaches the message
}

bool frmMessageTest::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == txtMessage && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        int KeyAscii = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter
                           ? 13
                           : (key->text().isEmpty() ? -1 : int(key->text().at(0).unicode()));
        txtMessage_KeyPress(KeyAscii);
        if (KeyAscii == 0)
            return true;
    }
    return DialogForm::eventFilter(watched, event);
}

void frmMessageTest::txtPIN_Change()
{
    if (!txtPIN->text().isEmpty()) {
        mnuRangeTest->setEnabled(true);
        if (!txtMessage->text().isEmpty())
            cmdSendMsg->setEnabled(true);
    } else {
        mnuRangeTest->setEnabled(false);
        cmdSendMsg->setEnabled(false);
    }
}

void frmMessageTest::Check1_Click()
{
    if (Check1->isChecked()) {
        QPointer<frmMessageTest> self(this);
        const LogFileOpening opening = OpenCommLogFile([self] {
            if (!self || self->isUnloaded())
                return QString();
            FileDialogRequest request;
            request.save = true; // the operator may name a file that does not exist yet
            request.title = QStringLiteral("Open Communications Log File");
            request.filter = QStringLiteral("Log Files (*.log *.LOG);;All Files (*)");
            request.directory = DialogFolder(lastLogFolder());
            request.confirmOverwrite = false; // asked with the program's own question
            const QString path = FileDialog(self, request);
            if (!path.isEmpty())
                lastLogFolder() = QFileInfo(path).absolutePath();
            return path;
        });
        if (!opening.openError.isEmpty()) {
            MsgBox(opening.openError, MsgButtons::OK, MsgIcon::Exclamation);
            SetDefaultPointer();
        } else if (!opening.lineError.isEmpty()) {
            MsgBox(opening.lineError);
            m_logFailuresBefore = CommLogFile().FailedWrites(); // said already
        }
    } else if (CommLogFile().IsOpen()) {
        CommLogFile().Close();
    }
}

void frmMessageTest::Timer1_Timer()
{
    Link().consoleTimerTicked();
    Timer1->setEnabled(false);
    if (Run.bRangeTestOn)
        FlashWindow(this);
}

void frmMessageTest::mnuExit_Click()
{
    if (Run.bRangeTestOn)
        mnuRangeTest_Click();
    forms::UnloadForm(this);
}

void frmMessageTest::cmdSendMsg_Click()
{
    // During a range test this button is its Stop.
    if (Run.bRangeTestOn) {
        mnuRangeTest_Click();
        return;
    }
    // One page on the line at a time: a click while a page is on its way (the check below
    // yields too) does nothing.
    PageInFlight page;
    if (!page)
        return;
    Link().setReplyInterval(timeouts::SendPage); // for the exchanges that follow
    if (!ValidatePagerID(txtPIN->text().toLatin1())) {
        MsgBox(QStringLiteral("Pager ID Value is Invalid"), MsgButtons::OK, MsgIcon::None, QStringLiteral("Invalid PIN"));
        SetDefaultPointer();
        return;
    }
    if (isUnloaded())
        return;
    SendPage(SendMsgPage(AttachedPortProtocol(), txtPIN->text().toLatin1(), txtMessage->bytes(),
                         m_fcGroup->checkedId(), m_rateGroup->checkedId()));
}

void frmMessageTest::SendPage(const TestPage &p)
{
    if (p.sender)
        p.sender(p);
    sayIfLogIncomplete();
}

// The first line of this opening that the log file refused (a full disk, a file-size limit) is
// said once, after the page; the log list goes on as before.
void frmMessageTest::sayIfLogIncomplete()
{
    const LogFile &log = CommLogFile();
    if (m_logIncompleteSaid || isUnloaded() || log.FailedWrites() == m_logFailuresBefore)
        return;
    m_logIncompleteSaid = true;
    MsgBox(QStringLiteral("The Log File is Incomplete: a Line Could Not Be Written to ") + log.LastFailedFile() +
               QStringLiteral("\r") + log.LastFailure(),
           MsgButtons::OK, MsgIcon::Exclamation);
}

void frmMessageTest::mnuRangeTest_Click()
{
    RangeTestMenuClick(this);
}

void frmMessageTest::Timer2_Timer()
{
    RangeTest().Timer2_Timer();
}

// Shows the archive's list after a change: the entry to select is selected without putting it
// into the message box, unless the change says so.
void frmMessageTest::showArchive(const MessageArchive::Change &change)
{
    if (!change.changed || !m_archive)
        return;
    bArchiveBusy = true;
    lb_Archive->clear();
    for (const QByteArray &entry : m_archive->Entries())
        lb_Archive->addItem(QString::fromLatin1(entry));
    lb_Archive->setCurrentRow(change.select);
    if (change.select < 0)
        lb_Archive->clearSelection();
    bArchiveBusy = false;
    if (change.showSelected && change.select >= 0)
        lb_Archive_Click();
}

void frmMessageTest::cmdAdd_Click()
{
    if (m_archive)
        showArchive(m_archive->Add(txtMessage->bytes()));
}

// The selected entry of the archive list, -1 when none is.
int frmMessageTest::selectedArchiveRow() const
{
    const QListWidgetItem *item = lb_Archive->currentItem();
    return item && item->isSelected() ? lb_Archive->currentRow() : -1;
}

void frmMessageTest::cmdDelete_Click()
{
    if (m_archive)
        showArchive(m_archive->Delete(selectedArchiveRow()));
}

void frmMessageTest::cmdReplace_Click()
{
    if (m_archive)
        showArchive(m_archive->Replace(selectedArchiveRow(), txtMessage->bytes()));
}

void frmMessageTest::lb_Archive_Click()
{
    if (bArchiveBusy)
        return;
    QListWidgetItem *item = lb_Archive->currentItem();
    if (!item || !item->isSelected())
        return;
    txtMessage->setBytes(item->text().toLatin1());
    if (!txtPIN->text().isEmpty() && Link().isOpen())
        mnuRangeTest->setEnabled(true);
}
