// The main window's surface: controls, menus, toolbar, timers, keys and help.

#include "app/frmTerminal.h"

#include "platform/folders.h"
#include "platform/shell.h"
#include "widgets/artwork.h"
#include "app/frmSplash.h"
#include "app/frmXJSplash.h"
#include "model/changes.h"
#include "model/state.h"
#include "encoder/frmCancelSend.h"
#include "encoder/link.h"
#include "print/printout.h"
#include "testconsole/frmMessageTest.h"

#include <QAction>
#include <QApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStackedLayout>
#include <QVBoxLayout>

namespace {

constexpr int kDiscSize = 44;

QLabel *makeLabel(QWidget *parent, const char *name, const QString &caption)
{
    auto *label = new QLabel(caption, parent);
    label->setObjectName(QString::fromLatin1(name));
    return label;
}

} // namespace

frmTerminal::frmTerminal(QWidget *parent) : Form(parent)
{
    setObjectName(QStringLiteral("frmTerminal"));
    setAttribute(Qt::WA_QuitOnClose, true);

    buildMenus();
    buildToolbar();
    buildSurface();

    StatusBar1 = new PanelStatusBar(2, this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    setStatusBar(StatusBar1);

    // Key preview: the window sees every key before the control that has the focus.
    qApp->installEventFilter(this);

    connect(&ModelEvents::instance(), &ModelEvents::changed, this, [this](ModelChange what) {
        if (what == ModelChange::DatabaseModified && !isUnloaded())
            ShowDatabaseModified();
        if (what == ModelChange::Busy && m_deviceGone) // after the handler that ended the busy state
            QMetaObject::invokeMethod(this, &frmTerminal::closeGonePortWhenIdle, Qt::QueuedConnection);
    });
    connect(&Link(), &EncoderLink::deviceGone, this, [this] {
        m_deviceGone = true;
        closeGonePortWhenIdle();
    }, Qt::QueuedConnection);

    Link().setView(this);
}

frmTerminal::~frmTerminal()
{
    if (&Link().view() == this)
        Link().setView(nullptr);
}

void frmTerminal::ShowDatabaseModified()
{
    cmdLookup->setEnabled(false);
    mnuSendMsg->setEnabled(false);
    StatusBar1->setPanelText(1, QStringLiteral("Current Configuration Modified, Does Not Match Encoder"));
    if (QAction *test = Toolbar1->Buttons(8))
        test->setEnabled(false);
}


void frmTerminal::buildMenus()
{
    QMenuBar *bar = menuBar();
    auto menu = [&](const char *name, const QString &caption) {
        QMenu *m = bar->addMenu(caption);
        m->setObjectName(QString::fromLatin1(name));
        m->menuAction()->setObjectName(QString::fromLatin1(name));
        return m;
    };
    auto item = [this](QMenu *m, const char *name, const QString &caption,
                       void (frmTerminal::*handler)()) {
        QAction *a = m->addAction(caption);
        a->setObjectName(QString::fromLatin1(name));
        if (handler)
            connect(a, &QAction::triggered, this, forms::Handler(this, handler));
        return a;
    };
    auto bar_ = [](QMenu *m, const char *name) {
        m->addSeparator()->setObjectName(QString::fromLatin1(name));
    };

    QMenu *file = menu("mnuFile", tr("&File"));
    mnuFile = file->menuAction();
    mnuOpenFile = item(file, "mnuOpenFile", tr("&Open Database File"), &frmTerminal::mnuOpenFile_Click);
    mnuNewDB = item(file, "mnuNewDB", tr("&New Database"), &frmTerminal::mnuNewDB_Click);
    bar_(file, "Bar1");
    mnuWriteDB = item(file, "mnuWriteDB", tr("&Program Encoder Database"), &frmTerminal::mnuWriteDB_Click);
    mnuWriteDB->setEnabled(false);
    mnuReadDB = item(file, "mnuReadDB", tr("&Read Encoder Database"), &frmTerminal::mnuReadDB_Click);
    mnuReadDB->setEnabled(false);
    bar_(file, "Bar2");
    mnuSave = item(file, "mnuSave", tr("&Save"), &frmTerminal::mnuSave_Click);
    mnuSaveAs = item(file, "mnuSaveAs", tr("Save &As"), &frmTerminal::mnuSaveAs_Click);
    bar_(file, "Bar3");
    mnuPrintDB = item(file, "mnuPrintDB", tr("&Print Database Configuration"), nullptr);
    connect(mnuPrintDB, &QAction::triggered, this, [this] {
        forms::HandlerScope scope(this);
        if (Run.TransferRunning()) // a half-read or half-corrected database is not printed
            return;
        mnuPrintDB_Click(this, txtConfigNotes->notes());
    });
    bar_(file, "Bar4");
    mnuFileExit = item(file, "mnuFileExit", tr("E&xit"), &frmTerminal::mnuFileExit_Click);

    QMenu *port = menu("mnuPort", tr("&COM Port"));
    mnuPort = port->menuAction();
    mnuOpen = item(port, "mnuOpen", tr("&Open Port"), &frmTerminal::mnuOpen_Click);
    bar_(port, "Bar5");
    mnuProperties = item(port, "mnuProperties", tr("&Properties..."), &frmTerminal::mnuProperties_Click);

    QMenu *test = menu("mnuTest", tr("&Test"));
    mnuTest = test->menuAction();
    mnuSendMsg = item(test, "mnuSendMsg", tr("&Send Messages"), &frmTerminal::mnuSendMsg_Click);
    mnuSendMsg->setEnabled(false);
    mnuTXTune = item(test, "mnuTXTune", tr("&Transmitter Tuning"), &frmTerminal::mnuTXTune_Click);
    mnuTXTune->setVisible(false);
    mnuTXTune->setEnabled(false);

    QMenu *help = menu("mnuHelp", tr("&Help"));
    mnuHelp = help->menuAction();
    mnuZQHelp = item(help, "mnuZQHelp", tr("&Paging Encoder Setup Help Topics"), &frmTerminal::mnuZQHelp_Click);
    bar_(help, "Bar6");
    mnuAbout = item(help, "mnuAbout", tr("&About Paging Encoder Setup"), &frmTerminal::mnuAbout_Click);
}

void frmTerminal::buildToolbar()
{
    Toolbar1 = new ButtonToolBar(this);
    Toolbar1->setObjectName(QStringLiteral("Toolbar1"));
    Toolbar1->setWindowTitle(tr("Commands"));
    Toolbar1->setContextMenuPolicy(Qt::PreventContextMenu);
    Toolbar1->addSeparatorButton();
    const struct {
        const char *key;
        QString caption;
        QString tip;
    } buttons[] = {
        {"sequence", tr("Pager &Families"), tr("Edit the pager families")},
        {"group", tr("&Group Paging"), tr("Edit the pager groups")},
        {"message", tr("Canned &Msgs"), tr("Edit the canned messages")},
        {"settings", tr("&Settings"), tr("Encoder and serial port settings")},
        {"program", tr("&Program Encoder"), tr("Program the encoder with the displayed database")},
        {"read", tr("&Read Encoder"), tr("Read the encoder's database")},
        {"test", tr("&Test Encoder"), tr("Send test messages through the encoder")},
    };
    for (const auto &b : buttons) {
        const QString key = QString::fromLatin1(b.key);
        QAction *a = Toolbar1->addButton(key, b.caption, ToolbarIcon(key));
        a->setToolTip(b.tip);
    }
    // Editing works without an encoder; the encoder commands wait for the port.
    for (int position = 6; position <= 8; ++position)
        Toolbar1->Buttons(position)->setEnabled(false);
    connect(Toolbar1, &ButtonToolBar::ButtonClick, this,
            forms::Handler(this, &frmTerminal::Toolbar1_ButtonClick));
    addToolBar(Qt::TopToolBarArea, Toolbar1);
}

void frmTerminal::buildSurface()
{
    auto *central = new QWidget(this);
    central->setObjectName(QStringLiteral("centralWidget"));
    auto *outer = new QVBoxLayout(central);
    outer->setContentsMargins(10, 8, 10, 6);
    outer->setSpacing(8);

    auto *row = new QHBoxLayout;
    row->setSpacing(10);
    outer->addLayout(row, 1);

    // Brand picture box with the logo.
    Picture1 = new QFrame(central);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setFrameShape(QFrame::StyledPanel);
    Picture1->setAutoFillBackground(true);
    {
        QPalette pal = Picture1->palette();
        pal.setColor(QPalette::Window, Qt::white);
        Picture1->setPalette(pal);
    }
    auto *picLayout = new QVBoxLayout(Picture1);
    picLayout->setContentsMargins(10, 8, 10, 8);
    Image1 = new QLabel(Picture1);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(BrandLogo(BrandKestrane, 190, 58));
    Image1->setAlignment(Qt::AlignCenter);
    picLayout->addWidget(Image1, 1);
    row->addWidget(Picture1);

    // Encoder: generation or model, firmware and modes.
    auto *encoderBox = new QGroupBox(tr("Encoder"), central);
    encoderBox->setObjectName(QStringLiteral("fraEncoder"));
    auto *enc = new QVBoxLayout(encoderBox);
    enc->setSpacing(3);
    Label25 = makeLabel(encoderBox, "Label25", tr("Paging Encoder V9"));
    QFont big = Label25->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.2);
    Label25->setFont(big);
    lblVersion = makeLabel(encoderBox, "lblVersion", tr("Firmware Version:"));
    lblIDAsCap = makeLabel(encoderBox, "lblIDAsCap", tr("ID As Capcode Mode is OFF for Port 1"));
    lblIncBy8 = makeLabel(encoderBox, "lblIncBy8", tr("Increment Capcodes by 8 Mode is OFF"));
    lblVirgin = makeLabel(encoderBox, "lblVirgin", tr("Virgin Mode"));
    {
        QFont f = lblVirgin->font();
        f.setBold(true);
        lblVirgin->setFont(f);
        QPalette pal = lblVirgin->palette();
        pal.setColor(QPalette::WindowText, QColor(192, 0, 0));
        lblVirgin->setPalette(pal);
    }
    lblVirgin->hide();
    auto *line = new QFrame(encoderBox);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    enc->addWidget(Label25);
    enc->addWidget(lblVersion);
    enc->addWidget(line);
    enc->addWidget(lblIDAsCap);
    enc->addWidget(lblIncBy8);
    enc->addWidget(lblVirgin);
    enc->addStretch(1);
    row->addWidget(encoderBox, 3);

    // COM port: connection disc and toggle button.
    auto *portBox = new QGroupBox(tr("COM Port"), central);
    portBox->setObjectName(QStringLiteral("fraComPort"));
    auto *portLayout = new QVBoxLayout(portBox);
    portLayout->setSpacing(6);
    auto *discHolder = new QWidget(portBox);
    discHolder->setFixedSize(kDiscSize, kDiscSize);
    m_discs = new QStackedLayout(discHolder);
    m_discs->setContentsMargins(0, 0, 0, 0);
    ImgConnected = new ClickLabel(discHolder);
    ImgConnected->setObjectName(QStringLiteral("ImgConnected"));
    ImgConnected->setPixmap(ConnectionDisc(true, kDiscSize));
    ImgConnected->setToolTip(tr("COM Port Status/Toggle"));
    ImgConnected->setCursor(Qt::PointingHandCursor);
    ImgNotConnected = new ClickLabel(discHolder);
    ImgNotConnected->setObjectName(QStringLiteral("ImgNotConnected"));
    ImgNotConnected->setPixmap(ConnectionDisc(false, kDiscSize));
    ImgNotConnected->setToolTip(tr("Toggles Port"));
    ImgNotConnected->setCursor(Qt::PointingHandCursor);
    m_discs->addWidget(ImgConnected);
    m_discs->addWidget(ImgNotConnected);
    m_discs->setCurrentWidget(ImgConnected);
    connect(ImgConnected, &ClickLabel::clicked, this,
            forms::Handler(this, &frmTerminal::ImgConnected_Click));
    connect(ImgNotConnected, &ClickLabel::clicked, this,
            forms::Handler(this, &frmTerminal::ImgNotConnected_Click));
    cmdComStatus = new QPushButton(tr("Close COM 1"), portBox);
    cmdComStatus->setObjectName(QStringLiteral("cmdComStatus"));
    cmdComStatus->setMinimumWidth(100);
    connect(cmdComStatus, &QPushButton::clicked, this,
            forms::Handler(this, &frmTerminal::cmdComStatus_Click));
    portLayout->addWidget(discHolder, 0, Qt::AlignHCenter);
    portLayout->addWidget(cmdComStatus, 0, Qt::AlignHCenter);
    portLayout->addStretch(1);
    row->addWidget(portBox, 0);

    // Pager-ID lookup.
    auto *lookupBox = new QGroupBox(tr("Pager ID Lookup"), central);
    lookupBox->setObjectName(QStringLiteral("fraLookup"));
    auto *lookup = new QGridLayout(lookupBox);
    lookup->setHorizontalSpacing(6);
    txLookup = new QLineEdit(lookupBox);
    txLookup->setObjectName(QStringLiteral("txLookup"));
    txLookup->setMaxLength(10);
    txLookup->setPlaceholderText(tr("Pager ID"));
    cmdLookup = new QPushButton(tr("Lookup ID"), lookupBox);
    cmdLookup->setObjectName(QStringLiteral("cmdLookup"));
    cmdLookup->setEnabled(false);
    connect(cmdLookup, &QPushButton::clicked, this,
            forms::Handler(this, &frmTerminal::cmdLookup_Click));
    lblLookup = makeLabel(lookupBox, "lblLookup", tr("Response:"));
    lblLookup->setWordWrap(true);
    lblLookup->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblLookup->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lookup->addWidget(txLookup, 0, 0);
    lookup->addWidget(cmdLookup, 0, 1);
    lookup->addWidget(lblLookup, 1, 0, 1, 2);
    lookup->setRowStretch(1, 1);
    lookup->setColumnStretch(0, 1);
    row->addWidget(lookupBox, 3);

    // Configuration notes.
    auto *notesBox = new QGroupBox(central);
    notesBox->setObjectName(QStringLiteral("fraNotes"));
    auto *notes = new QVBoxLayout(notesBox);
    notes->setContentsMargins(9, 6, 9, 8);
    notes->setSpacing(3);
    Label14 = makeLabel(notesBox, "Label14", tr("Config Notes - Saved to Disk and Printed Only"));
    txtConfigNotes = new NotesBox(80, notesBox);
    txtConfigNotes->setObjectName(QStringLiteral("txtConfigNotes"));
    Label14->setBuddy(txtConfigNotes);
    notes->addWidget(Label14);
    notes->addWidget(txtConfigNotes);
    outer->addWidget(notesBox);

    setCentralWidget(central);
}

void frmTerminal::BringToFront(QWidget *image)
{
    if (image == ImgConnected || image == ImgNotConnected)
        m_discs->setCurrentWidget(image);
}

QWidget *frmTerminal::FrontImage() const
{
    return m_discs->currentWidget();
}

// ---------------------------------------------------------------------------------------------
// The view of the encoder code

void frmTerminal::SetPanelText(int panel, const QString &text)
{
    StatusBar1->setPanelText(panel, text);
}

QString frmTerminal::PanelText(int panel) const
{
    return StatusBar1->panelText(panel);
}

void frmTerminal::SetLabel(Label label, const QString &text)
{
    switch (label) {
    case Label::Model: Label25->setText(text); break;
    case Label::Firmware: lblVersion->setText(text); break;
    case Label::IDAsCap: lblIDAsCap->setText(text); break;
    case Label::IncBy8: lblIncBy8->setText(text); break;
    case Label::LookupResponse: lblLookup->setText(text); break;
    }
}

void frmTerminal::SetEnabled(Command command, bool enabled)
{
    switch (command) {
    case Command::ReadDB: mnuReadDB->setEnabled(enabled); break;
    case Command::WriteDB: mnuWriteDB->setEnabled(enabled); break;
    case Command::TestMenu: mnuTest->setEnabled(enabled); break;
    case Command::SendMsg: mnuSendMsg->setEnabled(enabled); break;
    case Command::TXTune:
        if (!enabled || mnuTXTune->isVisible())
            mnuTXTune->setEnabled(enabled);
        break;
    case Command::Lookup: cmdLookup->setEnabled(enabled); break;
    case Command::ComStatus: cmdComStatus->setEnabled(enabled); break;
    case Command::ToolbarProgram: Toolbar1->ButtonByKey(QStringLiteral("program"))->setEnabled(enabled); break;
    case Command::ToolbarRead: Toolbar1->ButtonByKey(QStringLiteral("read"))->setEnabled(enabled); break;
    case Command::ToolbarTest: Toolbar1->ButtonByKey(QStringLiteral("test"))->setEnabled(enabled); break;
    case Command::ToolbarSequence: Toolbar1->ButtonByKey(QStringLiteral("sequence"))->setEnabled(enabled); break;
    case Command::ToolbarGroup: Toolbar1->ButtonByKey(QStringLiteral("group"))->setEnabled(enabled); break;
    }
}

void frmTerminal::SetToolbarEnabled(bool enabled)
{
    Toolbar1->setAllButtonsEnabled(enabled);
}

void frmTerminal::SetPortTexts(const QString &menuItem, const QString &button)
{
    mnuOpen->setText(menuItem);
    cmdComStatus->setText(button);
}

void frmTerminal::SetDiscTips(const QString &connected, const QString &notConnected)
{
    ImgConnected->setToolTip(connected);
    ImgNotConnected->setToolTip(notConnected);
}

void frmTerminal::BringToFront(Disc disc)
{
    BringToFront(disc == Disc::Connected ? ImgConnected : ImgNotConnected);
}

void frmTerminal::ShowCancelWindow(const QString &step)
{
    frmCancelSend *cancel = forms::Get<frmCancelSend>();
    cancel->Label1->setText(step);
    forms::Show<frmCancelSend>();
}

void frmTerminal::CloseCancelWindow()
{
    forms::Unload<frmCancelSend>();
}

void frmTerminal::CloseTestConsole()
{
    forms::Unload<frmMessageTest>();
}

void frmTerminal::HoldCommands(bool held)
{
    if (held == m_commandsHeld)
        return;
    m_commandsHeld = held;
    if (held) {
        m_heldButtons.clear();
        for (int position = 1; position <= Toolbar1->ButtonCount(); ++position)
            m_heldButtons << Toolbar1->Buttons(position)->isEnabled();
        Toolbar1->setAllButtonsEnabled(false);
        return;
    }
    for (int position = 1; position <= Toolbar1->ButtonCount() && position <= m_heldButtons.size(); ++position)
        Toolbar1->Buttons(position)->setEnabled(m_heldButtons[position - 1]);
    m_heldButtons.clear();
}

bool frmTerminal::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress || isUnloaded())
        return false;
    auto *widget = qobject_cast<QWidget *>(watched);
    if (!widget || widget->window() != this)
        return false;
    auto *key = static_cast<QKeyEvent *>(event);
    forms::HandlerScope scope(this);
    int keyCode = -1;
    if (key->key() >= Qt::Key_F1 && key->key() <= Qt::Key_F12)
        keyCode = 112 + (key->key() - Qt::Key_F1);
    if (keyCode >= 0) {
        Form_KeyDown(keyCode, key->modifiers());
        if (keyCode == 0)
            return true;
    }
    const QString text = key->text();
    if (!text.isEmpty()) {
        int ascii = text.at(0).unicode();
        Form_KeyPress(ascii);
        if (ascii == 0)
            return true;
    }
    return false;
}

void frmTerminal::Form_KeyDown(int &KeyCode, Qt::KeyboardModifiers Shift)
{
    Q_UNUSED(Shift);
    if (KeyCode == 112) { // F1, whatever the shift state
        OpenHelpManual();
        KeyCode = 0;
    }
}

void frmTerminal::Form_KeyPress(int &KeyAscii)
{
    if (KeyAscii == 27) {
        KeyAscii = 0;
        forms::UnloadForm(this, forms::UnloadMode::Code);
    }
}


void frmTerminal::mnuZQHelp_Click()
{
    OpenHelpManual();
}

void frmTerminal::mnuAbout_Click()
{
    if (Run.sBrand == BrandKestrane)
        forms::Show<frmSplash>();
    else if (Run.sBrand == BrandSolvendra)
        forms::Show<frmXJSplash>();
}
