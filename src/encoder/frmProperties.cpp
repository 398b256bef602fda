#include "encoder/frmProperties.h"

#include "encoder/link.h"
#include "encoder/terminalview.h"
#include "model/state.h"
#include "platform/msgbox.h"
#include "platform/pointer.h"
#include "platform/serialport.h"
#include "platform/settingsstore.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace {

const QString kProperties = QStringLiteral("Properties");

void selectText(QComboBox *box, const QString &text)
{
    box->setCurrentIndex(box->findText(text));
}

} // namespace

frmProperties::frmProperties(QWidget *parent) : DialogForm(parent)
{
    setObjectName(QStringLiteral("frmProperties"));
    setWindowTitle(QStringLiteral("COM Port Properties"));

    auto *layout = new QVBoxLayout(this);
    auto *portRow = new QHBoxLayout;
    auto *label1 = new QLabel(QStringLiteral("Port:"), this);
    label1->setObjectName(QStringLiteral("Label1"));
    cboPort = new QComboBox(this);
    cboPort->setObjectName(QStringLiteral("cboPort"));
    label1->setBuddy(cboPort);
    portRow->addWidget(label1);
    portRow->addWidget(cboPort, 1);
    layout->addLayout(portRow);

    auto *frame1 = new QGroupBox(QStringLiteral("Baud Rate"), this);
    frame1->setObjectName(QStringLiteral("Frame1"));
    auto *speedRow = new QVBoxLayout(frame1);
    cboSpeed = new QComboBox(frame1);
    cboSpeed->setObjectName(QStringLiteral("cboSpeed"));
    speedRow->addWidget(cboSpeed);
    layout->addWidget(frame1);

    auto *connection = new QGroupBox(QStringLiteral("Connection Preferences"), this);
    connection->setObjectName(QStringLiteral("fraConnection"));
    auto *grid = new QGridLayout(connection);
    auto *label3 = new QLabel(QStringLiteral("Data Bits:"), connection);
    label3->setObjectName(QStringLiteral("Label3"));
    cboDataBits = new QComboBox(connection);
    cboDataBits->setObjectName(QStringLiteral("cboDataBits"));
    auto *label4 = new QLabel(QStringLiteral("Parity:"), connection);
    label4->setObjectName(QStringLiteral("Label4"));
    cboParity = new QComboBox(connection);
    cboParity->setObjectName(QStringLiteral("cboParity"));
    grid->addWidget(label3, 0, 0);
    grid->addWidget(cboDataBits, 0, 1);
    grid->addWidget(label4, 1, 0);
    grid->addWidget(cboParity, 1, 1);
    grid->setColumnStretch(1, 1);
    layout->addWidget(connection);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    setEscapeButton(cmdCancel);
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    layout->addLayout(buttons);
    connect(cmdOK, &QPushButton::clicked, this, forms::Handler(this, &frmProperties::cmdOK_Click));
    connect(cmdCancel, &QPushButton::clicked, this,
            forms::Handler(this, &frmProperties::cmdCancel_Click));
    setMinimumWidth(280);
}

void frmProperties::Form_Load()
{
    adjustSize();
    if (QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.left() + (area.width() - width()) / 2,
             area.top() + (area.height() - height()) / 2);
    }
    LoadPortProperties();
}

void frmProperties::LoadPortProperties()
{
    EncoderLink &link = Link();
    link.closePort();

    // Only the ports that open now are offered.
    for (int n = 1; n <= 8; ++n) {
        if (link.setPortNumber(n))
            continue;
        if (link.openPort())
            continue;
        link.closePort();
        cboPort->addItem(QStringLiteral("Com%1").arg(n));
    }
    link.closePort();

    cboSpeed->addItems({QStringLiteral("300"), QStringLiteral("1200"), QStringLiteral("2400"),
                        QStringLiteral("9600")});
    cboDataBits->addItems({QStringLiteral("7"), QStringLiteral("8")});
    cboParity->addItems({QStringLiteral("Even"), QStringLiteral("Odd"), QStringLiteral("None")});
    cboSpeed->setCurrentIndex(-1);
    cboDataBits->setCurrentIndex(-1);
    cboParity->setCurrentIndex(-1);

    // The stored settings, read from the end: "...,p,d,s" (stop bits "1.5" two longer).
    const QString settings = GetSetting(kProperties, QStringLiteral("Settings"));
    const int extra = settings.contains(QLatin1Char('.')) ? 2 : 0;
    const int len = int(settings.size());
    if (len - 6 - extra > 0)
        selectText(cboSpeed, settings.left(len - 6 - extra));
    const int parityPos = len - 4 - extra; // 1-based
    if (parityPos >= 1) {
        const QChar p = settings.at(parityPos - 1).toLower();
        if (p == QLatin1Char('e'))
            cboParity->setCurrentIndex(0);
        else if (p == QLatin1Char('o'))
            cboParity->setCurrentIndex(1);
        else if (p == QLatin1Char('n'))
            cboParity->setCurrentIndex(2);
    }
    const int bitsPos = len - 2 - extra;
    if (bitsPos >= 1)
        selectText(cboDataBits, settings.mid(bitsPos - 1, 1));

    if (Run.iCommPort > 0) {
        link.setPortNumber(Run.iCommPort);
    } else {
        Run.iCommPort = 1;
        link.setPortNumber(1);
        SaveSetting(kProperties, QStringLiteral("CommPort"), QStringLiteral("1"));
    }
    selectText(cboPort, QStringLiteral("Com%1").arg(link.portNumber()));
}

void frmProperties::cmdOK_Click()
{
    EncoderLink &link = Link();
    const int newPort = cboPort->currentIndex() >= 0 ? cboPort->currentText().mid(3).toInt() : 0;
    const int oldPort = link.portNumber();
    if (newPort != oldPort) {
        if (const CommError e = link.setPortNumber(newPort)) {
            MsgBox(e.text, MsgButtons::OK, MsgIcon::Exclamation);
            link.setPortNumber(oldPort);
            SetDefaultPointer();
            return;
        }
        const QString n = QString::number(link.portNumber());
        TerminalView &view = link.view();
        view.SetPortTexts(QStringLiteral("&Open Port"), QStringLiteral("Open COM ") + n);
        view.SetDiscTips(QStringLiteral(" Disable COM ") + n + QLatin1Char(' '),
                         QStringLiteral(" Enable COM ") + n + QLatin1Char(' '));
        view.SetEnabled(TerminalView::Command::ReadDB, false);
        view.SetEnabled(TerminalView::Command::WriteDB, false);
        Run.iCommPort = int16_t(link.portNumber());
    }

    const QString parity = cboParity->currentText().left(1);
    const QString settings = cboSpeed->currentText().trimmed() + QLatin1Char(',') + parity +
                             QLatin1Char(',') + cboDataBits->currentText().trimmed() +
                             QStringLiteral(",1");
    if (const CommError e = link.setLine(settings.toLatin1())) {
        MsgBox(e.text, MsgButtons::OK, MsgIcon::Exclamation);
        return;
    }
    SaveSetting(kProperties, QStringLiteral("Settings"), QString::fromLatin1(link.lineSettings()));
    SaveSetting(kProperties, QStringLiteral("CommPort"), QString::number(link.portNumber()));
    forms::UnloadForm(this);
}

void frmProperties::cmdCancel_Click()
{
    forms::UnloadForm(this);
}
