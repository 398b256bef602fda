// The cancel window. Re-activating itself when another window takes the focus arrives with the
// encoder exchange.

#include "encoder/frmCancelSend.h"

#include "model/state.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

frmCancelSend::frmCancelSend(QWidget *parent) : Form(parent)
{
    setObjectName(QStringLiteral("frmCancelSend"));
    setWindowTitle(QStringLiteral("Paging Encoder Programming"));
    setWindowFlags(Qt::Window | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint);
    auto *layout = new QVBoxLayout(this);
    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setMinimumWidth(320);
    Command1 = new QPushButton(QStringLiteral("Cancel"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    layout->addWidget(Label1);
    layout->addWidget(Command1, 0, Qt::AlignHCenter);
    connect(Command1, &QPushButton::clicked, this,
            forms::Handler(this, &frmCancelSend::Command1_Click));
}

void frmCancelSend::Command1_Click()
{
    bCancelOp = true;
}
