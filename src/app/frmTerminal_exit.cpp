// Closing the program: the confirmation, then the encoder is taken out of programming mode,
// the port is closed and every other window is unloaded.

#include "app/frmSplash.h"
#include "app/frmTerminal.h"
#include "app/frmXJSplash.h"
#include "editors/frmCfgFam.h"
#include "editors/frmCfgGroup.h"
#include "editors/frmCfgMsg.h"
#include "encoder/frmCancelSend.h"
#include "encoder/frmProperties.h"
#include "model/state.h"
#include "platform/msgbox.h"
#include "encoder/link.h"
#include "settings/frmSettings.h"
#include "settings/frmSettings_Main.h"
#include "settings/frmTXTune.h"
#include "testconsole/frmMessageTest.h"
#include "testconsole/frmRangeTest.h"

void frmTerminal::mnuFileExit_Click()
{
    forms::HandlerScope scope(this);
    forms::UnloadForm(this, forms::UnloadMode::Code);
}

void frmTerminal::Form_QueryUnload(bool &Cancel, forms::UnloadMode UnloadMode)
{
    Q_UNUSED(UnloadMode);
    QString brand;
    if (Run.sBrand == BrandKestrane)
        brand = QStringLiteral("Kestrane Paging Encoder Setup");
    else if (Run.sBrand == BrandSolvendra)
        brand = QStringLiteral("Solvendra Paging Encoder Setup");
    const QString title = brand.isEmpty() ? QString() : QStringLiteral("Exit ") + brand;

    MsgAnswer answer;
    if (!Run.bDBMatchesEncoder)
        answer = MsgBox(QStringLiteral("You Have Not Programmed the Encoder with Your Current Edits\r"
                                       "Are You Sure You Want to Exit Paging Encoder Setup?"),
                        MsgButtons::YesNo, MsgIcon::Exclamation, title, 1);
    else
        answer = MsgBox(QStringLiteral("Are You Sure You Want to Exit ") + brand + QLatin1Char('?'),
                        MsgButtons::YesNo, MsgIcon::Question, title, 1);
    if (answer != MsgAnswer::Yes) {
        Cancel = true;
        return;
    }
    Link().setClosing();
}

void frmTerminal::Form_Unload()
{
    // The encoder leaves programming mode; V7 encoders and a never-detected encoder too. No
    // step here reports a failure.
    EncoderLink &link = Link();
    if (!link.isOpen())
        link.openPort();
    link.Send("config reboot\r", false);
    link.closePort();

    forms::Unload<frmMessageTest>();
    forms::Unload<frmRangeTest>();
    forms::Unload<frmProperties>();
    forms::Unload<frmSettings>();
    forms::Unload<frmSettings_Main>();
    forms::Unload<frmCancelSend>();
    forms::Unload<frmSplash>();
    forms::Unload<frmXJSplash>();
    forms::Unload<frmCfgGroup>();
    forms::Unload<frmCfgMsg>();
    forms::Unload<frmCfgFam>();
    forms::Unload<frmTXTune>();

    link.stopTimers();
    // From here on the encoder code has no main window to show anything in.
    link.setView(nullptr);
}
