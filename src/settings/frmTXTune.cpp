// The tones and the slider arrive with transmitter tuning; the window already keeps the
// slider position and gives the main window's Test menu back when it closes.

#include "settings/frmTXTune.h"

#include "app/frmTerminal.h"
#include "widgets/placeholder.h"
#include "model/state.h"
#include "platform/serialport.h"
#include "platform/settingsstore.h"

#include <QAction>

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
    frmTerminal *t = forms::Find<frmTerminal>();
    if (t && t->mnuTest->isVisible() && t->MSComm1->PortOpen())
        t->mnuTest->setEnabled(true);
}
