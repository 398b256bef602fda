// The tones and the slider arrive with transmitter tuning; the window already keeps the
// slider position and gives the main window's Test menu back when it closes.

#include "settings/frmTXTune.h"

#include "encoder/link.h"
#include "encoder/terminalview.h"
#include "model/state.h"
#include "platform/settingsstore.h"
#include "widgets/placeholder.h"

frmTXTune::frmTXTune(QWidget *parent) : DialogForm(parent)
{
    setObjectName(QStringLiteral("frmTXTune"));
    BuildPlaceholder(this, QStringLiteral("Transmitter Tuning"),
                     QStringLiteral("Transmitter tuning is not available in this version."),
                     [this] { mnuExit_Click(); });
}

void frmTXTune::mnuExit_Click()
{
    SaveSetting(QStringLiteral("Properties"), QStringLiteral("ModSliderVal"),
                QString::fromLatin1(EncoderSettings.sModSliderVal));
    forms::UnloadForm(this);
}

void frmTXTune::Form_Unload()
{
    EncoderLink &link = Link();
    if (link.MSComm1->PortOpen())
        link.view().SetEnabled(TerminalView::Command::TestMenu, true);
}
