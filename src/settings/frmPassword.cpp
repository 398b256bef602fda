// The access code check arrives with the settings dialogs.

#include "settings/frmPassword.h"

#include "widgets/placeholder.h"

frmPassword::frmPassword(QWidget *parent) : DialogForm(parent)
{
    setObjectName(QStringLiteral("frmPassword"));
    BuildPlaceholder(this, QStringLiteral("Access Advanced Encoder Settings"),
                     QStringLiteral("The advanced encoder settings are not available in this version."),
                     [this] { forms::UnloadForm(this); });
}
