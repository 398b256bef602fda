#include "app/appglobals.h"

#ifndef PAGERSETUP_VERSION
#error "PAGERSETUP_VERSION must name the program's version (major.minor.revision)"
#endif

QString VersionText()
{
    return QStringLiteral("Version ") + QStringLiteral(PAGERSETUP_VERSION);
}
