// The advanced settings arrive with the settings dialogs.

#include "settings/frmSettings.h"

#include "widgets/placeholder.h"

frmSettings::frmSettings(QWidget *parent) : DialogForm(parent)
{
    setObjectName(QStringLiteral("frmSettings"));
    BuildPlaceholder(this, QStringLiteral(" Encoder Advanced Settings"),
                     QStringLiteral("The advanced encoder settings are not available in this version."),
                     [this] { forms::UnloadForm(this); });
}
