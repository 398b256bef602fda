// The families grid arrives with the families editor; the window already stops the main
// window's TAP timer when it loads and asks before incomplete families are lost.

#include "editors/frmCfgFam.h"

#include "app/frmTerminal.h"
#include "app/placeholder.h"
#include "platform/msgbox.h"
#include "platform/timing.h"

frmCfgFam::frmCfgFam(QWidget *parent) : Form(parent)
{
    setObjectName(QStringLiteral("frmCfgFam"));
    BuildPlaceholder(this, QStringLiteral(" Pager Families Setup"),
                     QStringLiteral("Editing the pager families is not available in this version."),
                     [this] { forms::UnloadForm(this); });
}

void frmCfgFam::Form_Load()
{
    if (frmTerminal *t = forms::Find<frmTerminal>())
        t->Timer1->setEnabled(false);
}

void frmCfgFam::Form_QueryUnload(bool &Cancel, forms::UnloadMode UnloadMode)
{
    Q_UNUSED(UnloadMode);
    if (!bIncompleteRecord)
        return;
    bIncompleteRecord = false;
    const MsgAnswer answer =
        MsgBox(QStringLiteral("Pager Families Definition is Incomplete\rAs Shown by Magenta Fields.\r"
                              "Incomplete Records Will be Erased.\rAre You Sure You Want to Exit?"),
               MsgButtons::YesNo, MsgIcon::Question, QStringLiteral("Incomplete Database Definition"));
    if (answer == MsgAnswer::No)
        Cancel = true;
}
