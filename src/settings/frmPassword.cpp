#include "settings/frmPassword.h"

#include "model/state.h"
#include "settings/frmSettings.h"
#include "settings/settingsrules.h"
#include "settings/settingswidgets.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

frmPassword::frmPassword(QWidget *parent) : DialogForm(parent)
{
    setObjectName(QStringLiteral("frmPassword"));
    auto *grid = new QGridLayout(this);
    grid->setSizeConstraint(QLayout::SetFixedSize);
    Label1 = new QLabel(QStringLiteral("Password:"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    txtName = new QLineEdit(this);
    txtName->setObjectName(QStringLiteral("txtName"));
    txtName->setMinimumWidth(180);
    Label1->setBuddy(txtName);
    grid->addWidget(Label1, 0, 0);
    grid->addWidget(txtName, 0, 1);

    auto *buttons = new QHBoxLayout;
    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    setEscapeButton(cmdCancel);
    buttons->addStretch(1);
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    grid->addLayout(buttons, 1, 0, 1, 2);
    setTabOrder(txtName, cmdOK);
    setTabOrder(cmdOK, cmdCancel);
    txtName->setFocus();

    connect(txtName, &QLineEdit::textChanged, this, forms::Handler(this, &frmPassword::txtName_Change));
    connect(cmdOK, &QPushButton::clicked, this, forms::Handler(this, &frmPassword::cmdOK_Click));
    connect(cmdCancel, &QPushButton::clicked, this, forms::Handler(this, &frmPassword::cmdCancel_Click));
}

void frmPassword::Form_Load()
{
    cmdOK->setEnabled(false);
    if (Run.sPwdTarget == "advanced")
        setWindowTitle(QStringLiteral("Access Advanced Encoder Settings"));
    settingsui::CentreOnScreen(this);
}

// Once the code has been typed OK stays enabled.
void frmPassword::txtName_Change()
{
    if (AccessCodeMatches(txtName->text()))
        cmdOK->setEnabled(true);
}

void frmPassword::cmdOK_Click()
{
    if (!AccessCodeMatches(txtName->text()))
        return;
    if (Run.sPwdTarget == "advanced")
        forms::ShowModal<frmSettings>(this);
    forms::UnloadForm(this);
}

void frmPassword::cmdCancel_Click()
{
    forms::UnloadForm(this);
}
