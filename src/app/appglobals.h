#pragma once
// The program's version, as the splash and about windows show it.

#include <QString>

// "Version " and the program's major, minor and revision numbers joined by points.
QString VersionText();
