#pragma once
// What the program's window tests share: a fresh program for every test (no windows, the
// program-start state, an isolated settings store, a temporary program folder, no other copy
// running, recorded shell opens and file dialogs, COM ports that lead nowhere), starting the
// program the way the two programs do, a test class's program with its main window, the main
// window as a read leaves it, and acting on a modal window once it is up.

#include "platform/folders.h"
#include "platform/shell.h"
#include "app/frmSplash.h"
#include "app/frmTerminal.h"
#include "app/frmXJSplash.h"
#include "editors/frmCfgFam.h"
#include "editors/frmCfgGroup.h"
#include "model/state.h"
#include "encoder/link.h"
#include "platform/forms.h"
#include "platform/msgbox.h"
#include "platform/pointer.h"
#include "platform/serialport.h"
#include "platform/settingsstore.h"
#include "platform/timing.h"
#include "support/isolatedsettings.h"
#include "support/pendingaction.h"
#include "support/scriptedboxes.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <deque>
#include <functional>
#include <memory>

inline const QString kSolvendraTitle = QStringLiteral("Solvendra Paging Encoder Setup");
inline const QString kKestraneTitle = QStringLiteral("Kestrane Paging Encoder Setup");

class AppTestEnv {
public:
    AppTestEnv()
    {
        forms::DestroyAll();
        ResetProgramState();
        Link().Reset();
        SetAppTitle(QStringLiteral("pagersetup-test"));
        HelpFile.clear();
        frmCfgFam::bIncompleteRecord = false;
        frmCfgGroup::bIncompleteRecord = false;
        SetTimeScale(1.0);
        SetDefaultPointer();
        m_previousFolder = QDir::currentPath();
        SetDataFolderOverride(m_program.path());
        m_previousHome = qgetenv("HOME");
        qputenv("HOME", QFile::encodeName(m_home.path()));
        for (int n = 1; n <= 8; ++n)
            SetComDevicePathOverride(n, QStringLiteral("/nonexistent-pagersetup/tty%1").arg(n));
        SetPreviousInstanceHook([this](const QString &name) {
            instanceChecks << name;
            return otherCopyRunning;
        });
        SetShellOpenHook([this](const QString &target) { shellOpened << target; });
        SetFileDialogHook([this](const FileDialogRequest &request) {
            dialogs.push_back(request);
            if (dialogAnswers.empty())
                return QString();
            const QString answer = dialogAnswers.front();
            dialogAnswers.pop_front();
            return answer;
        });
        SetPrinterDialogHook([](QPrinter &) { return false; });
    }

    ~AppTestEnv()
    {
        forms::DestroyAll();
        Link().Reset();
        SetPreviousInstanceHook({});
        SetShellOpenHook({});
        SetFileDialogHook({});
        SetPrinterDialogHook({});
        for (int n = 1; n <= 8; ++n)
            SetComDevicePathOverride(n, QString());
        SetDataFolderOverride(QString());
        qputenv("HOME", m_previousHome);
        SetTimeScale(1.0);
        SetDefaultPointer();
        QDir::setCurrent(m_previousFolder);
    }

    QString programFolder() const { return m_program.path(); }
    QString programFile(const QString &name) const { return m_program.filePath(name); }
    // The user's home folder while the test runs (start-up makes it the current folder).
    QString homeFolder() const { return m_home.path(); }

    bool otherCopyRunning = false;
    QStringList instanceChecks;
    QStringList shellOpened;
    QList<FileDialogRequest> dialogs;
    std::deque<QString> dialogAnswers;

private:
    IsolatedSettings m_store;
    QTemporaryDir m_program;
    QTemporaryDir m_home;
    QByteArray m_previousHome;
    QString m_previousFolder;
};

// Starts the program as the two programs do: the start window loads, and it loads the main
// window. Returns the main window (loaded, not shown yet).
template <class Splash>
frmTerminal *StartProgram()
{
    forms::Get<Splash>();
    return forms::Find<frmTerminal>();
}

// Starts the program and hands over from the splash window to the main window.
template <class Splash>
frmTerminal *StartAndShowMainWindow()
{
    frmTerminal *t = StartProgram<Splash>();
    if (Splash *s = forms::Find<Splash>())
        s->Timer1_Timer();
    return t;
}

// What a test class of the program's windows holds for each test: a fresh program environment,
// scripted boxes that fail the test on a box it does not script, and the XJ program's main
// window, shown.
//
//   class TestX : public QObject, MainWindowTest {
//       void init() { QVERIFY(startProgram()); }
//       void cleanup() { endProgram(); }
class MainWindowTest {
protected:
    // The program started at the time scale given; false when its main window did not come up.
    [[nodiscard]] bool startProgram(double timeScale = 1.0)
    {
        env = std::make_unique<AppTestEnv>();
        SetTimeScale(timeScale);
        noBoxes = std::make_unique<ScriptedBoxes>();
        t = StartAndShowMainWindow<frmXJSplash>();
        return t && t->isVisible();
    }
    void endProgram()
    {
        env.reset();
        noBoxes.reset();
    }

    std::unique_ptr<AppTestEnv> env;
    std::unique_ptr<ScriptedBoxes> noBoxes; // a box no test scripts fails the test
    frmTerminal *t = nullptr;
};

// The main window as a read that found the database matching the encoder leaves it: the status
// says so, and the lookup, the test console and the toolbar's test button are offered.
inline void ShowDatabaseMatchesEncoder(frmTerminal *t)
{
    Run.bDBMatchesEncoder = true;
    TerminalView &view = *t;
    view.SetPanelText(1, QStringLiteral("Current View Matches Encoder Configuration"));
    for (TerminalView::Command c : {TerminalView::Command::Lookup, TerminalView::Command::SendMsg,
                                    TerminalView::Command::ToolbarTest})
        view.SetEnabled(c, true);
}

// Runs action on the modal window F once it is up (from inside its event loop), as long as the
// guard returned is there: keep it until the window has had its turn.
//
//   const PendingAction exit = WhenShown<frmTXTune>([&](frmTXTune *w) { ...; w->mnuExit_Click(); });
//   t->mnuTXTune->trigger();
template <class F>
[[nodiscard]] PendingAction WhenShown(std::function<void(F *)> action)
{
    return When(
        [] {
            const F *f = forms::Find<F>();
            return f && f->isVisible();
        },
        [action = std::move(action)] {
            if (F *f = forms::Find<F>())
                action(f);
        });
}

// Closes the modal window F once it is up.
template <class F>
[[nodiscard]] PendingAction CloseWhenShown()
{
    return WhenShown<F>([](F *f) { forms::UnloadForm(f); });
}

inline void WriteFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
}

inline QByteArray ReadFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray("<missing>");
    return f.readAll();
}

// A stored preference of the brand's program ("<absent>" if there is none), and storing one.
inline QString StoredPreference(const QString &app, const QString &key)
{
    return GetSetting(app, QStringLiteral("Properties"), key, QStringLiteral("<absent>"));
}

inline void StorePreference(const QString &app, const QString &key, const QString &value)
{
    SaveSetting(app, QStringLiteral("Properties"), key, value);
}
