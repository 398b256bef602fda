#pragma once
// An isolated settings store for a test: a temporary folder that the store uses (through
// SetSettingsStoreFolder) and that XDG_CONFIG_HOME names while the object lives, so neither the
// code under test nor anything else writes to the user's real configuration.
//
//   IsolatedSettings store;              // in a test function or as a test-class member
//   SaveSetting("Kestrane Paging Encoder Setup", "Properties", "CommPort", "3");
//
// A fresh store reports its first failed save again, as at the start of a run.
// The destructor puts the previous folder and XDG_CONFIG_HOME back and removes the folder.
// IsolateSettingsForTestRun() does the same for the whole run (call it first in main or in
// initTestCase, before anything touches QSettings).

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

class IsolatedSettings {
public:
    IsolatedSettings();
    ~IsolatedSettings();
    IsolatedSettings(const IsolatedSettings &) = delete;
    IsolatedSettings &operator=(const IsolatedSettings &) = delete;

    bool ok() const { return m_dir.isValid(); }
    QString folder() const { return m_dir.path(); }
    // The file the store keeps an application name's values in.
    QString fileFor(const QString &appName) const;

private:
    QTemporaryDir m_dir;
    QString m_previousFolder;
    QByteArray m_previousXdg;
    bool m_hadXdg = false;
};

// Points the store and XDG_CONFIG_HOME at a temporary folder that lives until the process ends.
// Returns the folder.
QString IsolateSettingsForTestRun();
