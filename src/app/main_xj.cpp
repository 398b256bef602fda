// xjsetup: the Solvendra program. It starts with the Solvendra splash window, which sets the
// brand and loads the main window. There is no command line.

#include "app/frmXJSplash.h"
#include "app/program.h"
#include "platform/forms.h"

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    PrepareApplication(QStringLiteral("xjsetup"));
    forms::Get<frmXJSplash>();
    const int result = QApplication::exec();
    forms::DestroyAll();
    return result;
}
