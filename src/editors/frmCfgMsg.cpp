// The messages grid arrives with the canned messages editor.

#include "editors/frmCfgMsg.h"

#include "encoder/link.h"
#include "widgets/placeholder.h"
#include "platform/timing.h"

frmCfgMsg::frmCfgMsg(QWidget *parent) : Form(parent)
{
    setObjectName(QStringLiteral("frmCfgMsg"));
    BuildPlaceholder(this, QStringLiteral(" Predefined Messages Setup"),
                     QStringLiteral("Editing the canned messages is not available in this version."),
                     [this] { forms::UnloadForm(this); });
}

void frmCfgMsg::Form_Load()
{
    Link().Timer1->setEnabled(false);
}
