#pragma once
// The main window: menus, the toolbar, the COM port status and connection discs, the pager-ID
// lookup, the mode labels, the configuration notes and the status bar. The encoder code and the
// other windows reach it only as the link's view (TerminalView): while it is loaded it is that
// view, and from its unload on the link has none. The line itself (the port and the reply
// timers) is the link's.

#include "encoder/terminalview.h"
#include "platform/forms.h"
#include "widgets/controls.h"

#include <QList>
#include <QMainWindow>

class QAction;
class QGroupBox;
class QMenu;
class QPushButton;
class QStackedLayout;

class frmTerminal : public forms::Form<frmTerminal, QMainWindow>, public TerminalView {
    Q_OBJECT
public:
    explicit frmTerminal(QWidget *parent = nullptr);
    ~frmTerminal() override;

    // Controls.
    ButtonToolBar *Toolbar1 = nullptr;     // 1 separator; 2..8 sequence group message settings
                                           // program read test
    PanelStatusBar *StatusBar1 = nullptr;  // panel 1 database and progress, panel 2 COM port
    QPushButton *cmdComStatus = nullptr;
    ClickLabel *ImgConnected = nullptr;    // green disc
    ClickLabel *ImgNotConnected = nullptr; // red disc
    QLineEdit *txLookup = nullptr;
    QPushButton *cmdLookup = nullptr;
    QLabel *lblLookup = nullptr;
    QLabel *lblIDAsCap = nullptr;
    QLabel *lblIncBy8 = nullptr;
    QLabel *lblVirgin = nullptr;
    QLabel *lblVersion = nullptr;
    QLabel *Label25 = nullptr;
    QLabel *Label14 = nullptr;
    NotesBox *txtConfigNotes = nullptr;
    QLabel *Image1 = nullptr;              // brand logo (printed)
    QFrame *Picture1 = nullptr;            // picture box behind the logo

    // Menus: the menu titles are QActions too (mnuFile, mnuPort, mnuTest, mnuHelp).
    QAction *mnuFile = nullptr;
    QAction *mnuOpenFile = nullptr;
    QAction *mnuNewDB = nullptr;
    QAction *mnuWriteDB = nullptr;
    QAction *mnuReadDB = nullptr;
    QAction *mnuSave = nullptr;
    QAction *mnuSaveAs = nullptr;
    QAction *mnuPrintDB = nullptr;
    QAction *mnuFileExit = nullptr;
    QAction *mnuPort = nullptr;
    QAction *mnuOpen = nullptr;
    QAction *mnuProperties = nullptr;
    QAction *mnuTest = nullptr;
    QAction *mnuSendMsg = nullptr;
    QAction *mnuTXTune = nullptr;
    QAction *mnuHelp = nullptr;
    QAction *mnuZQHelp = nullptr;
    QAction *mnuAbout = nullptr;

    // What marking the database modified shows: the lookup, Send Messages and the "test"
    // button disabled and "Current Configuration Modified, Does Not Match Encoder" in panel 1.
    void ShowDatabaseModified();

    // Puts one connection disc in front of the other (ImgConnected or ImgNotConnected).
    void BringToFront(QWidget *image);
    QWidget *FrontImage() const;

    // Window handlers.
    void Form_Load();
    void Form_QueryUnload(bool &Cancel, forms::UnloadMode UnloadMode);
    void Form_Unload();
    void Form_KeyDown(int &KeyCode, Qt::KeyboardModifiers Shift);
    void Form_KeyPress(int &KeyAscii);

    // File commands.
    void mnuOpenFile_Click();
    void mnuNewDB_Click();
    void mnuSave_Click();
    void mnuSaveAs_Click();
    void mnuFileExit_Click();

    // Encoder, port and window commands.
    void mnuOpen_Click();
    void cmdComStatus_Click();
    void ImgConnected_Click();
    void ImgNotConnected_Click();
    void mnuProperties_Click();
    void mnuReadDB_Click();
    void mnuWriteDB_Click();
    void mnuSendMsg_Click();
    void mnuTXTune_Click();
    void Toolbar1_ButtonClick(const QString &Key);
    void cmdLookup_Click();

    // Help.
    void mnuZQHelp_Click();
    void mnuAbout_Click();

    // The view of the encoder code.
    void SetPanelText(int panel, const QString &text) override;
    QString PanelText(int panel) const override;
    void SetLabel(Label label, const QString &text) override;
    void SetEnabled(Command command, bool enabled) override;
    void SetToolbarEnabled(bool enabled) override;
    void SetPortTexts(const QString &menuItem, const QString &button) override;
    void SetDiscTips(const QString &connected, const QString &notConnected) override;
    void BringToFront(Disc disc) override;
    void ShowCancelWindow(const QString &step) override;
    void CloseCancelWindow() override;
    void CloseTestConsole() override;
    void HoldCommands(bool held) override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildMenus();
    void buildToolbar();
    void buildSurface();
    void reopenLastFile();
    void showFileError(const QString &description);
    // Save and Save As write only when nothing else owns the database and its last check
    // finished (the "Database Not Saved" box says so otherwise).
    bool mayWriteDatabaseFile();
    QString databaseStateSuffix() const;
    // The port's device has gone away: once nothing runs on the line any more (the transfer
    // that met it has shown its own boxes), the port is closed as the port command closes it.
    void closeGonePortWhenIdle();

    QStackedLayout *m_discs = nullptr;
    QList<bool> m_heldButtons; // while the commands are held: each toolbar button's state before
    bool m_commandsHeld = false;
    bool m_deviceGone = false;
};
