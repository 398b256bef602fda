// The encoder settings arrive with the settings dialogs.

#include "settings/frmSettings_Main.h"

#include "widgets/placeholder.h"

frmSettings_Main::frmSettings_Main(QWidget *parent) : DialogForm(parent)
{
    setObjectName(QStringLiteral("frmSettings_Main"));
    BuildPlaceholder(this, QStringLiteral(" Encoder Settings"),
                     QStringLiteral("Changing the encoder settings is not available in this version."),
                     [this] { forms::UnloadForm(this); });
}
