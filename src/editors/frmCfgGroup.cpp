// The groups grid arrives with the groups editor; the window already stops the main window's
// TAP timer when it loads, asks before incomplete groups are lost and empties every group that
// is not in use when it closes.

#include "editors/frmCfgGroup.h"

#include "encoder/link.h"
#include "widgets/placeholder.h"
#include "model/database.h"
#include "platform/msgbox.h"
#include "platform/timing.h"

frmCfgGroup::frmCfgGroup(QWidget *parent) : Form(parent)
{
    setObjectName(QStringLiteral("frmCfgGroup"));
    BuildPlaceholder(this, QStringLiteral(" Pager Groups Setup"),
                     QStringLiteral("Editing the pager groups is not available in this version."),
                     [this] { forms::UnloadForm(this); });
}

void frmCfgGroup::Form_Load()
{
    Link().Timer1->setEnabled(false);
}

void frmCfgGroup::Form_QueryUnload(bool &Cancel, forms::UnloadMode UnloadMode)
{
    Q_UNUSED(UnloadMode);
    if (!bIncompleteRecord)
        return;
    bIncompleteRecord = false;
    const MsgAnswer answer =
        MsgBox(QStringLiteral("Pager Group Definition is Incomplete\rAs Shown by Magenta Fields\r"
                              "Are You Sure You Want to Exit?"),
               MsgButtons::YesNo, MsgIcon::Question, QStringLiteral("Incomplete Database Definition"));
    if (answer == MsgAnswer::No)
        Cancel = true;
}

void frmCfgGroup::Form_Unload()
{
    for (PagerGroupRec &group : DB.PagerGroups) {
        if (group[GrpDefined] == "YES")
            continue;
        ResetGroupKeepingReference(group);
        group[GrpDefined].clear();
        group[GrpReference].clear();
    }
}
