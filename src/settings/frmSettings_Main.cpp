#include "settings/frmSettings_Main.h"

#include "model/changes.h"
#include "model/database.h"
#include "model/encoderports.h"
#include "model/state.h"
#include "platform/msgbox.h"
#include "protocols/protocoltable.h"
#include "settings/frmPassword.h"
#include "settings/settingsrules.h"
#include "settings/settingswidgets.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <optional>

namespace {

// The settings of the dialog's port (0: encoder port 1, 1: encoder port 2).
EncoderPort portSettings(int port)
{
    return EncoderPortOf(EncoderSettings, port + 1);
}

QString latin(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes);
}

// What the detected encoder's firmware offers; before any detection, a two-port encoder's.
Firmware encoderFirmware()
{
    return {.v7 = Run.bV7Encoder, .v97Plus = Run.bFwV97Plus};
}

constexpr int ParityEven = 0; // list positions of cboParity
constexpr int ParityNone = 1;

void selectText(QComboBox *box, const QString &text)
{
    box->setCurrentIndex(box->findText(text));
}

void comp1DefaultPagerBox()
{
    MsgBox(QStringLiteral("COMP1 Protocol Requires a Default Pager Assignment\r"
                          "The First Pager ID in the First Pager Group is Used as the Default Pager ID\r"
                          "The Protocol has been set to TAP"),
           MsgButtons::OK, MsgIcon::None, QStringLiteral("COMP1 Pager ID Not Defined"));
}

} // namespace

frmSettings_Main::frmSettings_Main(QWidget *parent) : DialogForm(parent)
{
    setObjectName(QStringLiteral("frmSettings_Main"));
    setWindowTitle(QStringLiteral(" Encoder Settings"));

    auto *grid = new QGridLayout(this);
    grid->setSizeConstraint(QLayout::SetFixedSize);
    Frame1 = new QGroupBox(QStringLiteral("Protocol for 1st Serial Port"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    frProtocol = new QGroupBox(QStringLiteral("Protocol for 2nd Serial Port"), this);
    frProtocol->setObjectName(QStringLiteral("frProtocol"));
    Frame4 = new QGroupBox(QStringLiteral("Settings for 1st Serial Port"), this);
    Frame4->setObjectName(QStringLiteral("Frame4"));
    frSettings = new QGroupBox(QStringLiteral("Settings for 2nd Serial Port"), this);
    frSettings->setObjectName(QStringLiteral("frSettings"));
    grid->addWidget(Frame1, 0, 0);
    grid->addWidget(frProtocol, 0, 1);
    grid->addWidget(Frame4, 1, 0);
    grid->addWidget(frSettings, 1, 1);
    buildPortFrames(0);
    buildPortFrames(1);

    auto *buttons = new QHBoxLayout;
    cmdDefault = new QPushButton(QStringLiteral("Restore Defaults"), this);
    cmdDefault->setObjectName(QStringLiteral("cmdDefault"));
    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    cmdSettings = new QPushButton(QStringLiteral("Advanced Settings"), this);
    cmdSettings->setObjectName(QStringLiteral("cmdSettings"));
    buttons->addWidget(cmdDefault);
    buttons->addStretch(1);
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdSettings);
    grid->addLayout(buttons, 2, 0, 1, 2);
    connect(cmdDefault, &QPushButton::clicked, this, forms::Handler(this, &frmSettings_Main::cmdDefault_Click));
    connect(cmdOK, &QPushButton::clicked, this, forms::Handler(this, &frmSettings_Main::cmdOK_Click));
    connect(cmdSettings, &QPushButton::clicked, this, forms::Handler(this, &frmSettings_Main::cmdSettings_Click));
}

void frmSettings_Main::buildPortFrames(int port)
{
    const QString n = QString::number(port + 1);
    QGroupBox *protocolFrame = port == 0 ? Frame1 : frProtocol;
    QGroupBox *settingsFrame = port == 0 ? Frame4 : frSettings;
    auto &protocols = port == 0 ? opt1Protocol : opt2Protocol;
    auto &verbose = port == 0 ? opt1Verbose : opt2Verbose;
    const auto protocolClick = forms::Handler(this, port == 0 ? &frmSettings_Main::opt1Protocol_Click
                                                              : &frmSettings_Main::opt2Protocol_Click);
    const auto verboseClick = forms::Handler(this, port == 0 ? &frmSettings_Main::opt1Verbose_Click
                                                             : &frmSettings_Main::opt2Verbose_Click);

    auto *protocolLayout = new QVBoxLayout(protocolFrame);
    const std::span<const PagingProtocol> table = PagingProtocols();
    for (int i = 0; i < int(table.size()); ++i) {
        auto *option = new QRadioButton(QString::fromLatin1(table[size_t(i)].caption), protocolFrame);
        option->setObjectName(QStringLiteral("opt%1Protocol_%2").arg(n).arg(i));
        protocols.push_back(option);
        protocolLayout->addWidget(option);
        connect(option, &QRadioButton::clicked, this, [protocolClick, i] { protocolClick(i); });
    }
    protocolLayout->addStretch(1);

    auto *settingsLayout = new QVBoxLayout(settingsFrame);
    auto *verboseRow = new QHBoxLayout;
    const char *const verboseCaptions[] = {"Verbose", "Non-Verbose"};
    for (int i = 0; i < 2; ++i) {
        auto *option = new QRadioButton(QString::fromLatin1(verboseCaptions[i]), settingsFrame);
        option->setObjectName(QStringLiteral("opt%1Verbose_%2").arg(n).arg(i));
        verbose[size_t(i)] = option;
        verboseRow->addWidget(option);
        connect(option, &QRadioButton::clicked, this, [verboseClick, i] { verboseClick(i); });
    }
    verboseRow->addStretch(1);
    settingsLayout->addLayout(verboseRow);

    const size_t p = size_t(port);
    Frame3[p] = new QGroupBox(QStringLiteral("Baud Rate"), settingsFrame);
    Frame3[p]->setObjectName(QStringLiteral("Frame3_%1").arg(port));
    cboSpeed[p] = new QComboBox(Frame3[p]);
    cboSpeed[p]->setObjectName(QStringLiteral("cboSpeed_%1").arg(port));
    for (const char *baud : PortBaudRates)
        cboSpeed[p]->addItem(QString::fromLatin1(baud));
    (new QVBoxLayout(Frame3[p]))->addWidget(cboSpeed[p]);
    settingsLayout->addWidget(Frame3[p]);

    fraConnection[p] = new QGroupBox(QStringLiteral("Connection Preferences"), settingsFrame);
    fraConnection[p]->setObjectName(QStringLiteral("fraConnection_%1").arg(port));
    auto *connection = new QGridLayout(fraConnection[p]);
    Label3[p] = new QLabel(QStringLiteral("Data Bits:"), fraConnection[p]);
    Label3[p]->setObjectName(QStringLiteral("Label3_%1").arg(port));
    cboDataBits[p] = new QComboBox(fraConnection[p]);
    cboDataBits[p]->setObjectName(QStringLiteral("cboDataBits_%1").arg(port));
    cboDataBits[p]->addItems({QStringLiteral("7"), QStringLiteral("8")});
    Label3[p]->setBuddy(cboDataBits[p]);
    Label4[p] = new QLabel(QStringLiteral("Parity:"), fraConnection[p]);
    Label4[p]->setObjectName(QStringLiteral("Label4_%1").arg(port));
    cboParity[p] = new QComboBox(fraConnection[p]);
    cboParity[p]->setObjectName(QStringLiteral("cboParity_%1").arg(port));
    cboParity[p]->addItems({QStringLiteral("Even"), QStringLiteral("None")});
    Label4[p]->setBuddy(cboParity[p]);
    connection->addWidget(Label3[p], 0, 0);
    connection->addWidget(cboDataBits[p], 0, 1);
    connection->addWidget(Label4[p], 1, 0);
    connection->addWidget(cboParity[p], 1, 1);
    settingsLayout->addWidget(fraConnection[p]);
    settingsLayout->addStretch(1);

    // A pick from a list runs its handler, also when it picks what was shown.
    connect(cboSpeed[p], &QComboBox::activated, this,
            [h = forms::Handler(this, &frmSettings_Main::cboSpeed_Click), port] { h(port); });
    connect(cboDataBits[p], &QComboBox::activated, this,
            [h = forms::Handler(this, &frmSettings_Main::cboDataBits_Click), port] { h(port); });
    connect(cboParity[p], &QComboBox::activated, this,
            [h = forms::Handler(this, &frmSettings_Main::cboParity_Click), port] { h(port); });
}

void frmSettings_Main::Form_Load()
{
    Run.bSuppressEvents = true;
    if (!settingsui::SecondPortShown()) {
        for (QGroupBox *frame : {frProtocol, frSettings}) {
            frame->setEnabled(false);
            frame->hide();
        }
    }
    // What the encoder's firmware does not offer is greyed out.
    const Firmware firmware = encoderFirmware();
    for (size_t i = 0; i < opt1Protocol.size(); ++i) {
        if (!OfferedBy(PagingProtocols()[i], firmware)) {
            opt1Protocol[i]->setEnabled(false);
            opt2Protocol[i]->setEnabled(false);
        }
    }
    // Opening the dialog changes nothing: what it cannot show stays stored as it is until the
    // operator chooses. A baud the list does not hold ("Invalid", the encoder's answer for a port
    // it does not have) shows none, a character format it cannot choose no parity, a protocol
    // code it does not know no option (one the firmware does not offer shows greyed out).
    // Selecting by code sends no click, so the handlers stay quiet.
    for (int port = 0; port < 2; ++port) {
        const size_t p = size_t(port);
        const ConstEncoderPort s = EncoderPortOf(std::as_const(EncoderSettings), port + 1);
        selectText(cboSpeed[p], latin(*s.baud));
        const std::optional<bool> even = EvenParityShown(*s.dataBits);
        cboParity[p]->setCurrentIndex(!even ? -1 : *even ? ParityEven : ParityNone);
        selectText(cboDataBits[p], latin(s.dataBits->mid(1, 1)));
        settingsui::SelectOption(port == 0 ? opt1Protocol : opt2Protocol, ProtocolOptionShown(*s.protocol));
        settingsui::SelectOption(port == 0 ? opt1Verbose : opt2Verbose, *s.verbose ? 0 : 1);
    }
    settingsui::CentreOnScreen(this);
    Run.bSuppressEvents = false;
}

void frmSettings_Main::protocolChosen(int port, int option)
{
    if (Run.bSuppressEvents)
        return;
    const PagingProtocol &chosen = PagingProtocols()[size_t(option)];
    const EncoderPort s = portSettings(port);
    *s.protocol = chosen.code;
    if (chosen.chosenVerbose) {
        (port == 0 ? opt1Verbose : opt2Verbose)[0]->setChecked(true);
        *s.verbose = true;
    }
    // A protocol whose pages go to the first pager of the first group needs that pager, and
    // only port 1 is checked for it; only one port can take such pages.
    if (port == 0 && chosen.defaultPager) {
        const PagingProtocol &fallback = DefaultPagingProtocol();
        const size_t fallbackOption = size_t(PagingProtocolIndex(fallback));
        const PagingProtocol *port2 = FindPagingProtocol(EncoderSettings.sPort2Protocol);
        if (COMP1DefaultPagerMissing(DB.PagerGroups[0])) {
            comp1DefaultPagerBox();
            EncoderSettings.sPort1Protocol = fallback.code;
            opt1Protocol[fallbackOption]->setChecked(true);
        } else if (port2 && port2->defaultPager) {
            comp1DefaultPagerBox();
            EncoderSettings.sPort2Protocol = fallback.code;
            opt2Protocol[fallbackOption]->setChecked(true);
        }
    }
    MarkDatabaseModified();
}

void frmSettings_Main::opt1Protocol_Click(int Index)
{
    protocolChosen(0, Index);
}

void frmSettings_Main::opt2Protocol_Click(int Index)
{
    protocolChosen(1, Index);
}

void frmSettings_Main::verboseChosen(int port, int option)
{
    if (Run.bSuppressEvents)
        return;
    *portSettings(port).verbose = option == 0;
    MarkDatabaseModified();
}

void frmSettings_Main::opt1Verbose_Click(int Index)
{
    verboseChosen(0, Index);
}

void frmSettings_Main::opt2Verbose_Click(int Index)
{
    verboseChosen(1, Index);
}

void frmSettings_Main::cboSpeed_Click(int Index)
{
    if (Run.bSuppressEvents)
        return;
    *portSettings(Index).baud = cboSpeed[size_t(Index)]->currentText().toLatin1();
    MarkDatabaseModified();
}

// Only 7 data bits with even parity and 8 data bits without parity can be chosen here: each
// of the two boxes sets the other.
void frmSettings_Main::cboDataBits_Click(int Index)
{
    if (Run.bSuppressEvents)
        return;
    const size_t p = size_t(Index);
    const bool seven = cboDataBits[p]->currentText() == QLatin1String("7");
    cboParity[p]->setCurrentIndex(seven ? ParityEven : ParityNone);
    *portSettings(Index).dataBits = seven ? "E71" : "N81";
    MarkDatabaseModified();
}

void frmSettings_Main::cboParity_Click(int Index)
{
    if (Run.bSuppressEvents)
        return;
    const size_t p = size_t(Index);
    const bool even = cboParity[p]->currentIndex() == ParityEven;
    selectText(cboDataBits[p], even ? QStringLiteral("7") : QStringLiteral("8"));
    *portSettings(Index).dataBits = even ? "E71" : "N81";
    MarkDatabaseModified();
}

// Each choice as the operator would make it, so each runs its handler; a second port the dialog
// does not show keeps its settings.
void frmSettings_Main::cmdDefault_Click()
{
    const int ports = settingsui::SecondPortShown() ? 2 : 1;
    const int protocol = PagingProtocolIndex(DefaultPagingProtocol());
    opt1Protocol[size_t(protocol)]->setChecked(true);
    opt1Protocol_Click(protocol);
    if (ports == 2) {
        opt2Protocol[size_t(protocol)]->setChecked(true);
        opt2Protocol_Click(protocol);
    }
    for (int port = 0; port < ports; ++port) {
        selectText(cboSpeed[size_t(port)], QStringLiteral("9600"));
        cboSpeed_Click(port);
    }
    for (int port = 0; port < ports; ++port) {
        selectText(cboDataBits[size_t(port)], QStringLiteral("8"));
        cboDataBits_Click(port);
    }
    for (int port = 0; port < ports; ++port) {
        cboParity[size_t(port)]->setCurrentIndex(ParityNone);
        cboParity_Click(port);
    }
    opt1Verbose[0]->setChecked(true);
    opt1Verbose_Click(0);
    if (ports == 2) {
        opt2Verbose[0]->setChecked(true);
        opt2Verbose_Click(0);
    }
}

void frmSettings_Main::cmdOK_Click()
{
    // Only what the operator could see and change: a second port the dialog does not show keeps
    // its stored settings. A parity box that shows nothing (a stored format the operator did not
    // change and the dialog cannot choose, such as "O71") leaves that format as it is: a paging
    // terminal on the port keeps working after the next write.
    const int ports = settingsui::SecondPortShown() ? 2 : 1;
    for (int port = 0; port < ports; ++port) {
        const size_t p = size_t(port);
        if (cboParity[p]->currentIndex() != -1)
            *portSettings(port).dataBits = CharacterFormat(cboParity[p]->currentIndex() == ParityEven,
                                                        cboDataBits[p]->currentText().toLatin1());
    }
    forms::UnloadForm(this);
}

void frmSettings_Main::cmdSettings_Click()
{
    Run.sPwdTarget = "advanced";
    forms::ShowModal<frmPassword>(this);
}
