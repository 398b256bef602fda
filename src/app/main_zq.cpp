// zqsetup: the Kestrane program. It starts with the Kestrane splash window, which sets the
// brand and loads the main window. There is no command line.

#include "app/frmSplash.h"
#include "app/program.h"
#include "platform/forms.h"

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    PrepareApplication(QStringLiteral("zqsetup"));
    forms::Get<frmSplash>();
    const int result = QApplication::exec();
    forms::DestroyAll();
    return result;
}
