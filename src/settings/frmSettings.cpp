#include "settings/frmSettings.h"

#include "encoder/link.h"
#include "encoder/settingforms.h"
#include "encoder/terminalview.h"
#include "model/changes.h"
#include "model/dbfile.h"
#include "model/encoderports.h"
#include "model/state.h"
#include "platform/msgbox.h"
#include "platform/settingsstore.h"
#include "settings/settingsrules.h"
#include "settings/settingswidgets.h"
#include "widgets/controls.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

const QString kProperties = QStringLiteral("Properties");
constexpr int StationIDLength = 20;

QString latin(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes);
}

QRadioButton *option(QWidget *parent, const char *name, const char *caption)
{
    auto *b = new QRadioButton(QString::fromLatin1(caption), parent);
    b->setObjectName(QString::fromLatin1(name));
    return b;
}

QCheckBox *checkBox(QWidget *parent, const QString &name, const char *caption, const char *tip = nullptr)
{
    auto *b = new QCheckBox(QString::fromLatin1(caption), parent);
    b->setObjectName(name);
    if (tip)
        b->setToolTip(QString::fromLatin1(tip));
    return b;
}

void invalidValuesBox()
{
    MsgBox(QStringLiteral("Please Enter Numerical Values For\rDuty Cycle And Batch Quantity"), MsgButtons::OK,
           MsgIcon::Exclamation, QStringLiteral("Invalid Values Detected"));
}

void invalidStationIDBox()
{
    MsgBox(QStringLiteral("Please Enter a Paging Site License Call Sign\r"
                          "The Encoder Cannot Take \"OK\", \"Invalid\", Control Characters\r"
                          "Or a Call Sign Beginning With \"config\""),
           MsgButtons::OK, MsgIcon::Exclamation, QStringLiteral("Invalid Values Detected"));
}

// Whether Program can send a value as the setting: one a read of the encoder would take back.
bool programmable(QByteArray EncoderConfig::*setting, const QByteArray &value)
{
    return HasForm(FormOf(setting), value);
}

TerminalView &mainWindow()
{
    return Link().view();
}

} // namespace

frmSettings::frmSettings(QWidget *parent) : DialogForm(parent)
{
    setObjectName(QStringLiteral("frmSettings"));
    setWindowTitle(QStringLiteral(" Encoder Advanced Settings"));
    auto *grid = new QGridLayout(this);
    grid->setSizeConstraint(QLayout::SetFixedSize);

    // Global settings.
    Frame3 = new QGroupBox(QStringLiteral("Global Settings"), this);
    Frame3->setObjectName(QStringLiteral("Frame3"));
    auto *global = new QGridLayout(Frame3);
    Frame1 = new QGroupBox(QStringLiteral("Carrier Detect Polarity"), Frame3);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    optCDPolarity = {option(Frame1, "optCDPolarity_0", "0V = Carrier Detected (Default)"),
                     option(Frame1, "optCDPolarity_1", "5V = Carrier Detected")};
    auto *cd = new QVBoxLayout(Frame1);
    for (QRadioButton *b : optCDPolarity)
        cd->addWidget(b);
    Frame2 = new QGroupBox(QStringLiteral("Data Polarity"), Frame3);
    Frame2->setObjectName(QStringLiteral("Frame2"));
    optDataPolarity = {option(Frame2, "optDataPolarity_0", "Normal (Default)"),
                       option(Frame2, "optDataPolarity_1", "Reverse")};
    auto *data = new QVBoxLayout(Frame2);
    for (QRadioButton *b : optDataPolarity)
        data->addWidget(b);
    global->addWidget(Frame1, 0, 0, 1, 2);
    global->addWidget(Frame2, 1, 0, 1, 2);

    Label2 = new QLabel(QStringLiteral("Transmitter Duty Cycle %"), Frame3);
    Label2->setObjectName(QStringLiteral("Label2"));
    txDutyCycle = new QLineEdit(Frame3);
    txDutyCycle->setObjectName(QStringLiteral("txDutyCycle"));
    Label2->setBuddy(txDutyCycle);
    Label1 = new QLabel(QStringLiteral("Max Msgs per Batch (1 to 32)"), Frame3);
    Label1->setObjectName(QStringLiteral("Label1"));
    txtBatchQty = new QLineEdit(Frame3);
    txtBatchQty->setObjectName(QStringLiteral("txtBatchQty"));
    Label1->setBuddy(txtBatchQty);
    for (QLineEdit *box : {txDutyCycle, txtBatchQty})
        box->setMaximumWidth(60);
    global->addWidget(Label2, 2, 0);
    global->addWidget(txDutyCycle, 2, 1);
    global->addWidget(Label1, 3, 0);
    global->addWidget(txtBatchQty, 3, 1);
    chkCarrierDetect = checkBox(Frame3, QStringLiteral("chkCarrierDetect"), "Carrier Signal Detection",
                                " Toggles Detection of Clear Radio Channel Before Transmitting ");
    chkIncCapby8 = checkBox(Frame3, QStringLiteral("chkIncCapby8"), "Increment Capcodes by 8");
    global->addWidget(chkCarrierDetect, 4, 0, 1, 2);
    global->addWidget(chkIncCapby8, 5, 0, 1, 2);
    lblStationID = new QLabel(QStringLiteral("Paging Site License Call Sign"), Frame3);
    lblStationID->setObjectName(QStringLiteral("lblStationID"));
    txStationID = new NotesBox(StationIDLength, Frame3);
    txStationID->setObjectName(QStringLiteral("txStationID"));
    lblStationID->setBuddy(txStationID);
    global->addWidget(lblStationID, 6, 0, 1, 2);
    global->addWidget(txStationID, 7, 0, 1, 2);
    global->setRowStretch(8, 1);
    grid->addWidget(Frame3, 0, 0, 2, 1);

    // The ports; the V7 options lie in the first port's column.
    Frame5 = buildPortFrame(0);
    frSettings = buildPortFrame(1);
    auto *port1Column = new QVBoxLayout;
    port1Column->addWidget(Frame5);
    chkPET = checkBox(this, QStringLiteral("chkPET"), "PET Support in TAP");
    chkBriefACK = checkBox(this, QStringLiteral("chkBriefACK"), "<CR><ACK><CR> TAP Response");
    chkFlowBeforeACK = checkBox(this, QStringLiteral("chkFlowBeforeACK"), "Flow Control Before ACK Response");
    for (QCheckBox *v7 : {chkPET, chkBriefACK, chkFlowBeforeACK}) {
        v7->setEnabled(false);
        v7->hide();
        port1Column->addWidget(v7);
    }
    port1Column->addStretch(1);
    grid->addLayout(port1Column, 0, 1, 2, 1);
    grid->addWidget(frSettings, 0, 2, 2, 1);

    auto *buttons = new QHBoxLayout;
    cmdResetDefaults = new QPushButton(QStringLiteral("Restore Defaults"), this);
    cmdResetDefaults->setObjectName(QStringLiteral("cmdResetDefaults"));
    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    buttons->addWidget(cmdResetDefaults);
    buttons->addStretch(1);
    buttons->addWidget(cmdOK);
    grid->addLayout(buttons, 2, 0, 1, 3);

    for (int i = 0; i < 2; ++i) {
        connect(optCDPolarity[size_t(i)], &QRadioButton::clicked, this,
                [h = forms::Handler(this, &frmSettings::optCDPolarity_Click), i] { h(i); });
        connect(optDataPolarity[size_t(i)], &QRadioButton::clicked, this,
                [h = forms::Handler(this, &frmSettings::optDataPolarity_Click), i] { h(i); });
    }
    connect(chkCarrierDetect, &QCheckBox::clicked, this, forms::Handler(this, &frmSettings::chkCarrierDetect_Click));
    connect(chkIncCapby8, &QCheckBox::clicked, this, forms::Handler(this, &frmSettings::chkIncCapby8_Click));
    connect(chkPET, &QCheckBox::clicked, this, forms::Handler(this, &frmSettings::chkPET_Click));
    connect(chkBriefACK, &QCheckBox::clicked, this, forms::Handler(this, &frmSettings::chkBriefACK_Click));
    connect(chkFlowBeforeACK, &QCheckBox::clicked, this, forms::Handler(this, &frmSettings::chkFlowBeforeACK_Click));
    // Text boxes report every change of their text, also one made by the program.
    connect(txDutyCycle, &QLineEdit::textChanged, this, forms::Handler(this, &frmSettings::txDutyCycle_Change));
    connect(txtBatchQty, &QLineEdit::textChanged, this, forms::Handler(this, &frmSettings::txtBatchQty_Change));
    connect(txStationID, &QLineEdit::textChanged, this, forms::Handler(this, &frmSettings::txStationID_Change));
    connect(cmdResetDefaults, &QPushButton::clicked, this, forms::Handler(this, &frmSettings::cmdResetDefaults_Click));
    connect(cmdOK, &QPushButton::clicked, this, forms::Handler(this, &frmSettings::cmdOK_Click));
}

QGroupBox *frmSettings::buildPortFrame(int port)
{
    const size_t p = size_t(port);
    auto *frame = new QGroupBox(port == 0 ? QStringLiteral("Settings for 1st Serial Port")
                                          : QStringLiteral("Settings for 2nd Serial Port"), this);
    frame->setObjectName(port == 0 ? QStringLiteral("Frame5") : QStringLiteral("frSettings"));
    auto *layout = new QVBoxLayout(frame);
    chkPPHReset[p] = checkBox(frame, QStringLiteral("chkPPHReset_%1").arg(port), "Serial Port Reset of Timed Paging",
                              "Toggles timer being able to be reset by serial port activity");
    chkIDAsCap[p] = checkBox(frame, QStringLiteral("chkIDAsCap_%1").arg(port), "Assume Pager ID is Capcode",
                             "Toggles use of ID as capcode, bypassing pager database");
    layout->addWidget(chkPPHReset[p]);
    layout->addWidget(chkIDAsCap[p]);
    connect(chkPPHReset[p], &QCheckBox::clicked, this,
            [h = forms::Handler(this, &frmSettings::chkPPHReset_Click), port] { h(port); });
    connect(chkIDAsCap[p], &QCheckBox::clicked, this,
            [h = forms::Handler(this, &frmSettings::chkIDAsCap_Click), port] { h(port); });

    auto *flowFrame = new QGroupBox(QStringLiteral("Flow Control"), frame);
    flowFrame->setObjectName(port == 0 ? QStringLiteral("Frame7") : QStringLiteral("Frame4"));
    (port == 0 ? Frame7 : Frame4) = flowFrame;
    auto *flowLayout = new QVBoxLayout(flowFrame);
    auto &flow = port == 0 ? optFlow1 : optFlow2;
    const char *const captions[] = {"None", "Hardware (RTS/CTS)", "Software (XON/XOFF)",
                                    "Alt Hardware (Flow before ACK/NAK)", "Alt Software (Flow before ACK/NAK)"};
    const auto click = forms::Handler(this, port == 0 ? &frmSettings::optFlow1_Click : &frmSettings::optFlow2_Click);
    for (int i = 0; i < int(flow.size()); ++i) {
        auto *b = new QRadioButton(QString::fromLatin1(captions[i]), flowFrame);
        b->setObjectName(QStringLiteral("optFlow%1_%2").arg(port + 1).arg(i));
        flow[size_t(i)] = b;
        flowLayout->addWidget(b);
        connect(b, &QRadioButton::clicked, this, [click, i] { click(i); });
    }
    layout->addWidget(flowFrame);
    layout->addStretch(1);
    return frame;
}

void frmSettings::Form_Load()
{
    if (!settingsui::SecondPortShown()) {
        frSettings->setEnabled(false);
        frSettings->hide();
    }
    Run.bSuppressEvents = true;
    EncoderConfig &s = EncoderSettings;
    if (Run.bV7Encoder) {
        // The V7's one port always runs these line settings; they are no change of the operator's.
        s.sPort1Baud = "9600";
        s.sPort1DataBits = "N81";
        s.sPort1Protocol = "TAP";
        s.bPort1Verbose = true;
        for (QCheckBox *v7 : {chkPET, chkBriefACK, chkFlowBeforeACK}) {
            v7->setEnabled(true);
            v7->show();
        }
        for (QWidget *w : {static_cast<QWidget *>(chkIncCapby8), static_cast<QWidget *>(Frame7)}) {
            w->setEnabled(false);
            w->hide();
        }
    }
    chkPET->setChecked(s.bPETSupport);
    chkBriefACK->setChecked(s.bBriefAck);
    chkFlowBeforeACK->setChecked(s.bNakBeforeFlow);
    // An empty duty cycle or batch (left so by a refusal, or from a file) shows the default;
    // like every value shown here, it becomes the setting by OK or an edit, not by opening.
    txDutyCycle->setText(s.sDutyCycle.isEmpty() ? QStringLiteral("66") : latin(s.sDutyCycle));
    txtBatchQty->setText(s.sMaxBatch.isEmpty() ? QStringLiteral("10") : latin(s.sMaxBatch));
    chkCarrierDetect->setChecked(!s.bIgnoreRFCD);
    if (!Run.bV7Encoder)
        chkIncCapby8->setChecked(s.bIncCapBy8);
    chkPPHReset[0]->setChecked(s.bPort1PPHReset);
    chkPPHReset[1]->setChecked(s.bPort2PPHReset);
    settingsui::SelectOption(optDataPolarity, s.bInvertData ? 1 : 0);
    chkIDAsCap[0]->setChecked(s.bPort1IDAsCap);
    chkIDAsCap[1]->setChecked(s.bPort2IDAsCap);
    settingsui::SelectOption(optCDPolarity, s.bInvertRFCD ? 1 : 0);
    settingsui::SelectOption(optFlow1, FlowOption(s.sPort1Flow));
    settingsui::SelectOption(optFlow2, FlowOption(s.sPort2Flow));
    m_openedStationID = s.sStationID;
    txStationID->setNotes(s.sStationID);
    settingsui::CentreOnScreen(this);
    Run.bSuppressEvents = false;
}

void frmSettings::optCDPolarity_Click(int Index)
{
    if (Run.bSuppressEvents)
        return;
    EncoderSettings.bInvertRFCD = Index == 1;
    MarkDatabaseModified();
}

void frmSettings::optDataPolarity_Click(int Index)
{
    if (Run.bSuppressEvents)
        return;
    EncoderSettings.bInvertData = Index == 1;
    MarkDatabaseModified();
}

void frmSettings::chkCarrierDetect_Click()
{
    if (Run.bSuppressEvents)
        return;
    EncoderSettings.bIgnoreRFCD = !chkCarrierDetect->isChecked();
    MarkDatabaseModified();
}

void frmSettings::chkPPHReset_Click(int Index)
{
    if (Run.bSuppressEvents)
        return;
    *EncoderPortOf(EncoderSettings, Index + 1).pphReset = chkPPHReset[size_t(Index)]->isChecked();
    MarkDatabaseModified();
}

void frmSettings::chkPET_Click()
{
    if (Run.bSuppressEvents)
        return;
    EncoderSettings.bPETSupport = chkPET->isChecked();
    MarkDatabaseModified();
}

void frmSettings::chkBriefACK_Click()
{
    if (Run.bSuppressEvents)
        return;
    EncoderSettings.bBriefAck = chkBriefACK->isChecked();
    MarkDatabaseModified();
}

void frmSettings::chkFlowBeforeACK_Click()
{
    if (Run.bSuppressEvents)
        return;
    EncoderSettings.bNakBeforeFlow = chkFlowBeforeACK->isChecked();
    MarkDatabaseModified();
}

void frmSettings::chkIncCapby8_Click()
{
    if (Run.bSuppressEvents)
        return;
    EncoderSettings.bIncCapBy8 = chkIncCapby8->isChecked();
    mainWindow().SetLabel(TerminalView::Label::IncBy8, latin(IncBy8LabelText(EncoderSettings.bIncCapBy8)));
    MarkDatabaseModified();
}

void frmSettings::flowChosen(int port, int option)
{
    if (Run.bSuppressEvents)
        return;
    const auto &flow = port == 0 ? optFlow1 : optFlow2;
    if (flow[size_t(option)]->isChecked()) {
        const QByteArray code = FlowCodes[size_t(option)];
        SaveSetting(kProperties, port == 0 ? QStringLiteral("Serial1Flow") : QStringLiteral("Serial2Flow"), latin(code));
        *EncoderPortOf(EncoderSettings, port + 1).flow = code;
    }
    MarkDatabaseModified();
}

void frmSettings::optFlow1_Click(int Index)
{
    flowChosen(0, Index);
}

void frmSettings::optFlow2_Click(int Index)
{
    flowChosen(1, Index);
}

// With ID as capcode on, the encoder takes every pager ID for the capcode and ignores the
// families and groups: their editors are offered while a port has the mode off.
void frmSettings::chkIDAsCap_Click(int Index)
{
    if (Run.bSuppressEvents)
        return;
    const bool on = chkIDAsCap[size_t(Index)]->isChecked();
    *EncoderPortOf(EncoderSettings, Index + 1).idAsCap = on;
    SaveSetting(kProperties, Index == 0 ? QStringLiteral("Serial1IDAsCap") : QStringLiteral("Serial2IDAsCap"),
                on ? QStringLiteral("1") : QStringLiteral("0"));
    if (Index == 0)
        mainWindow().SetLabel(TerminalView::Label::IDAsCap, latin(IDAsCapLabelText(on, 1)));
    if (!on) {
        mainWindow().SetEnabled(TerminalView::Command::ToolbarSequence, true);
        mainWindow().SetEnabled(TerminalView::Command::ToolbarGroup, true);
    } else {
        MsgBox(QStringLiteral("When 'ID As Capcode' mode is enabled\r"
                              "the encoder ignores your pager family and pager group settings"),
               MsgButtons::OK, MsgIcon::None, QStringLiteral("Pager Family and Group Settings Ignored"));
    }
    if (EncoderSettings.bPort1IDAsCap && EncoderSettings.bPort2IDAsCap) {
        mainWindow().SetEnabled(TerminalView::Command::ToolbarSequence, false);
        mainWindow().SetEnabled(TerminalView::Command::ToolbarGroup, false);
    }
    MarkDatabaseModified();
}

void frmSettings::txDutyCycle_Change()
{
    takeNumber(EncoderSettings.sDutyCycle, txDutyCycle);
}

void frmSettings::txtBatchQty_Change()
{
    takeNumber(EncoderSettings.sMaxBatch, txtBatchQty);
}

void frmSettings::takeNumber(QByteArray &setting, const QLineEdit *box)
{
    if (Run.bSuppressEvents)
        return;
    const QByteArray shown = box->text().toLatin1();
    if (shown == setting)
        return;
    setting = shown;
    MarkDatabaseModified();
}

// The station ID is taken as it is typed, like every other setting here, but only a call sign
// Program can send (one a read of the encoder takes back): while the text is one it cannot, the
// station ID is the one the window opened with, so neither OK nor the close box leaves a refused
// call sign, or what was typed on the way to it, for Program to send.
void frmSettings::txStationID_Change()
{
    const QByteArray typed = txStationID->notes();
    const QByteArray taken = programmable(&EncoderConfig::sStationID, typed) ? typed : m_openedStationID;
    if (taken == EncoderSettings.sStationID)
        return;
    EncoderSettings.sStationID = taken;
    MarkDatabaseModified();
}

void frmSettings::cmdOK_Click()
{
    const DutyBatchCheck check = CheckDutyAndBatch(txDutyCycle->text().toLatin1(), txtBatchQty->text().toLatin1());
    switch (check) {
    case DutyBatchCheck::EmptyBox:
        invalidValuesBox();
        txDutyCycle->clear();
        txtBatchQty->clear();
        return;
    case DutyBatchCheck::DutyNotNumber:
        invalidValuesBox();
        txDutyCycle->clear();
        return;
    case DutyBatchCheck::BatchNotNumber:
        invalidValuesBox();
        txtBatchQty->clear();
        return;
    case DutyBatchCheck::BatchTooHigh:
    case DutyBatchCheck::Accepted:
        break;
    }
    // A call sign Program cannot send was never taken (txStationID_Change): the box gets back
    // the one the window opened with. Also on an encoder that has no station ID: it is this PC's
    // preference and goes to the next encoder too.
    if (!programmable(&EncoderConfig::sStationID, txStationID->notes())) {
        invalidStationIDBox();
        txStationID->setNotes(m_openedStationID);
        txStationID->setFocus();
        txStationID->selectAll();
        return;
    }
    if (check == DutyBatchCheck::BatchTooHigh) {
        txtBatchQty->setText(QString::number(MaxManagedBatch));
        MsgBox(QStringLiteral("When Duty Cycle Management Mode is Active\r"
                              "The Max Msgs per Batch Cannot be Greater Than 32\r\r"
                              "Max Msgs per Batch will be Changed to 32"),
               MsgButtons::OK, MsgIcon::Exclamation, QStringLiteral("Max Msgs per Batch Too High"));
    }
    // OK leaves the values the boxes show, a default shown for an empty one included.
    txDutyCycle_Change();
    txtBatchQty_Change();
    SaveSetting(kProperties, QStringLiteral("StationID"), latin(EncoderSettings.sStationID));
    forms::UnloadForm(this);
}

// Each change as the operator would make it, so each runs its handler; the station ID stays, and
// so do the settings of a second port the window does not show.
void frmSettings::cmdResetDefaults_Click()
{
    const int ports = settingsui::SecondPortShown() ? 2 : 1;
    for (int port = 0; port < ports; ++port) {
        chkIDAsCap[size_t(port)]->setChecked(false);
        chkIDAsCap_Click(port);
        chkPPHReset[size_t(port)]->setChecked(true);
        chkPPHReset_Click(port);
    }
    settingsui::SelectOption(optFlow1, 1);
    optFlow1_Click(1);
    if (ports == 2) {
        settingsui::SelectOption(optFlow2, 1);
        optFlow2_Click(1);
    }
    chkCarrierDetect->setChecked(true);
    chkCarrierDetect_Click();
    settingsui::SelectOption(optCDPolarity, 0);
    optCDPolarity_Click(0);
    settingsui::SelectOption(optDataPolarity, 0);
    optDataPolarity_Click(0);
    txDutyCycle->setText(QStringLiteral("66")); // the change handlers run when the text changes
    txtBatchQty->setText(QStringLiteral("10"));
    chkIncCapby8->setChecked(false); // also on a V7, where the box is hidden
    chkIncCapby8_Click();
    if (Run.bV7Encoder) {
        chkPET->setChecked(false);
        chkPET_Click();
        chkBriefACK->setChecked(false);
        chkBriefACK_Click();
        chkFlowBeforeACK->setChecked(false);
        chkFlowBeforeACK_Click();
    }
    MarkDatabaseModified();
}
