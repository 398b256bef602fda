#pragma once
// What the encoder code shows the operator, and nothing more: the main window's status panels,
// its mode and firmware labels, which of its commands are enabled, which connection disc is in
// front, the cancel window and the test console. The main window implements it; tests implement
// it with a recorder, so that a whole detection, read or write runs without any window.
//
// The encoder code reaches the view through the link (EncoderLink::view()); while no main
// window is there every call does nothing.

#include <QString>

class TerminalView {
public:
    enum class Label {
        Model,          // the encoder's generation or model ("Paging Encoder V9")
        Firmware,       // "Firmware Version: " and the version
        IDAsCap,        // the ID-as-capcode mode
        IncBy8,         // the increment-capcodes-by-8 mode
        LookupResponse, // the pager-ID lookup's answer
    };
    enum class Command {
        ReadDB,         // File > Read Encoder Database
        WriteDB,        // File > Program Encoder Database
        TestMenu,       // the Test menu
        SendMsg,        // Test > Send Messages
        TXTune,         // Test > Transmitter Tuning; enabling it counts only while it is offered
        Lookup,         // the lookup button
        ComStatus,      // the COM port button
        ToolbarProgram, // the toolbar buttons keyed "program", "read" and "test"
        ToolbarRead,
        ToolbarTest,
        ToolbarSequence, // the toolbar buttons keyed "sequence" and "group" (the families and
        ToolbarGroup,    // groups editors)
    };
    enum class Disc { Connected, NotConnected };

    virtual ~TerminalView() = default;

    // Panel 1 shows the database and the progress of transfers, panel 2 the COM port.
    virtual void SetPanelText(int panel, const QString &text) = 0;
    virtual QString PanelText(int panel) const = 0;
    virtual void SetLabel(Label label, const QString &text) = 0;
    virtual void SetEnabled(Command command, bool enabled) = 0;
    // Every toolbar button at once.
    virtual void SetToolbarEnabled(bool enabled) = 0;
    // The port command's texts: the COM Port menu's item ("&Open Port") and the button
    // ("Open COM 1").
    virtual void SetPortTexts(const QString &menuItem, const QString &button) = 0;
    // The tool tips of the two connection discs.
    virtual void SetDiscTips(const QString &connected, const QString &notConnected) = 0;
    virtual void BringToFront(Disc disc) = 0;

    // The cancel window of long operations: shown with its step text, or unloaded. Its button
    // raises the link's cancel (Link().cancel()).
    virtual void ShowCancelWindow(const QString &step) = 0;
    virtual void CloseCancelWindow() = 0;
    // The message test console closes (its closing talks to the encoder and may yield).
    virtual void CloseTestConsole() = 0;
    // While the test console hands the encoder over to paging mode the main window takes no
    // command (every toolbar button is off, as during a read); released, each button is as it
    // was. A view that shows no commands does nothing.
    virtual void HoldCommands(bool held) { (void)held; }
};
