#pragma once
// A test executable that runs itself again as a second program (another copy of the program
// saving preferences, holding a lock): the child is told what to do by an environment variable,
// which the test's main looks at first.

#include <QCoreApplication>
#include <QProcess>
#include <QProcessEnvironment>

#include <cstdio>

namespace encodertest {

// Starts this test executable again with the environment variable mode set to argument.
inline void StartSelfAsChild(QProcess &child, const char *mode, const QString &argument)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QLatin1String(mode), argument);
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), {});
}

// In a child: returns once the parent closes the child's input (or ends).
inline void WaitForInputToClose()
{
    char line[16];
    while (std::fgets(line, sizeof line, stdin)) {
    }
}

} // namespace encodertest
