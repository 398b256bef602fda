#include "support/isolatedsettings.h"

#include "platform/settingsstore.h"

#include <QDir>

#include <memory>

namespace {
// The folder the store was pointed at before (empty: the default).
QString currentStoreOverride()
{
    const QString folder = SettingsStoreFolder();
    SetSettingsStoreFolder(QString());
    const QString byDefault = SettingsStoreFolder();
    SetSettingsStoreFolder(folder);
    return folder == byDefault ? QString() : folder;
}
} // namespace

IsolatedSettings::IsolatedSettings()
{
    m_hadXdg = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
    m_previousXdg = qgetenv("XDG_CONFIG_HOME");
    m_previousFolder = currentStoreOverride();
    if (m_dir.isValid()) {
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.path()));
        SetSettingsStoreFolder(m_dir.path());
    }
    ForgetSettingsStoreFailure();
}

IsolatedSettings::~IsolatedSettings()
{
    SetSettingsStoreFolder(m_previousFolder);
    if (m_hadXdg)
        qputenv("XDG_CONFIG_HOME", m_previousXdg);
    else
        qunsetenv("XDG_CONFIG_HOME");
}

QString IsolatedSettings::fileFor(const QString &appName) const
{
    return SettingsStoreFile(appName);
}

QString IsolateSettingsForTestRun()
{
    static std::unique_ptr<QTemporaryDir> dir;
    if (!dir) {
        dir = std::make_unique<QTemporaryDir>();
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir->path()));
        SetSettingsStoreFolder(dir->path());
    }
    return dir->path();
}
