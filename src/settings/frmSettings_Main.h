#pragma once
// The encoder settings dialog: for each of the encoder's two serial ports the paging protocol,
// verbose or non-verbose answers, the baud rate and the character format. Every choice goes
// into EncoderSettings at once and marks the database modified; there is no Cancel. Opening it
// changes nothing: a stored value it cannot show (a baud outside its list, "Invalid" among them;
// a protocol code it does not know) shows none and stays stored until the operator chooses. Only
// "E71" and "N81" can be chosen; any other stored character format shows no parity and stays
// stored until the operator picks data bits or parity for its port. OK only rebuilds the
// character formats whose boxes show one and closes. "Advanced Settings" leads through the
// access dialog to the advanced settings, above this dialog.
//
// The main window shows it modally for a two-port encoder and before any detection. Firmware
// whose version holds "S" offers no second port: its frames are hidden, and neither OK nor
// Restore Defaults touches its settings. A protocol that the encoder's firmware does not offer
// shows greyed out. Controls of both ports come in pairs: index 0 is port 1, index 1 port 2.

#include "platform/forms.h"

#include <array>
#include <vector>

class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;

class frmSettings_Main : public forms::DialogForm<frmSettings_Main> {
    Q_OBJECT
public:
    explicit frmSettings_Main(QWidget *parent = nullptr);

    // Controls.
    QGroupBox *Frame1 = nullptr;     // "Protocol for 1st Serial Port"
    QGroupBox *frProtocol = nullptr; // "Protocol for 2nd Serial Port"
    QGroupBox *Frame4 = nullptr;     // "Settings for 1st Serial Port"
    QGroupBox *frSettings = nullptr; // "Settings for 2nd Serial Port"
    // One option per paging protocol, in the order of their table: TAP, PET & TAP, COMP1, COMP2,
    // Kestrane, Scope, SNPP.
    std::vector<QRadioButton *> opt1Protocol;
    std::vector<QRadioButton *> opt2Protocol;
    std::array<QRadioButton *, 2> opt1Verbose{};  // Verbose, Non-Verbose
    std::array<QRadioButton *, 2> opt2Verbose{};
    std::array<QGroupBox *, 2> Frame3{};          // "Baud Rate"
    std::array<QGroupBox *, 2> fraConnection{};   // "Connection Preferences"
    std::array<QLabel *, 2> Label3{};             // "Data Bits:"
    std::array<QLabel *, 2> Label4{};             // "Parity:"
    std::array<QComboBox *, 2> cboSpeed{};        // 300, 1200, 2400, 9600
    std::array<QComboBox *, 2> cboDataBits{};     // 7, 8
    std::array<QComboBox *, 2> cboParity{};       // Even, None
    QPushButton *cmdDefault = nullptr;
    QPushButton *cmdOK = nullptr;
    QPushButton *cmdSettings = nullptr;

    void Form_Load();
    void opt1Protocol_Click(int Index);
    void opt2Protocol_Click(int Index);
    void opt1Verbose_Click(int Index);
    void opt2Verbose_Click(int Index);
    // Index: the port's box, 0 or 1.
    void cboSpeed_Click(int Index);
    void cboDataBits_Click(int Index);
    void cboParity_Click(int Index);
    void cmdDefault_Click();
    void cmdOK_Click();
    void cmdSettings_Click();

private:
    void buildPortFrames(int port);
    void protocolChosen(int port, int option);
    void verboseChosen(int port, int option);
};
