#pragma once
// The encoder advanced settings: the global transmitter and paging settings, and for each
// encoder port its flow control, ID-as-capcode mode and timed-paging reset; on a V7 encoder also
// its three TAP options. Every change goes into EncoderSettings at once and marks the database
// modified; a station ID goes in once it is a call sign Program can send. OK checks that the
// duty cycle, the batch quantity and the station ID are values Program can send (values a read
// of the encoder takes back), stores the station ID as a preference and closes. Opened only by
// the access dialog.
//
// A V7 encoder has one port at fixed line settings: its flow-control frame and the
// capcodes-by-8 box are hidden and its TAP options shown. Firmware whose version holds "S"
// offers no second port. Controls of both ports come in pairs: index 0 is port 1, index 1
// port 2.

#include "platform/forms.h"

#include <QByteArray>

#include <array>

class NotesBox;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

class frmSettings : public forms::DialogForm<frmSettings> {
    Q_OBJECT
public:
    explicit frmSettings(QWidget *parent = nullptr);

    // Controls.
    QGroupBox *Frame3 = nullptr;     // "Global Settings"
    QGroupBox *Frame1 = nullptr;     // "Carrier Detect Polarity"
    QGroupBox *Frame2 = nullptr;     // "Data Polarity"
    QGroupBox *Frame5 = nullptr;     // "Settings for 1st Serial Port"
    QGroupBox *Frame7 = nullptr;     // port 1 "Flow Control"
    QGroupBox *frSettings = nullptr; // "Settings for 2nd Serial Port"
    QGroupBox *Frame4 = nullptr;     // port 2 "Flow Control"
    std::array<QRadioButton *, 2> optCDPolarity{};   // 0V (default), 5V = carrier detected
    std::array<QRadioButton *, 2> optDataPolarity{}; // Normal (default), Reverse
    QLabel *Label2 = nullptr;
    QLineEdit *txDutyCycle = nullptr;
    QLabel *Label1 = nullptr;
    QLineEdit *txtBatchQty = nullptr;
    QCheckBox *chkCarrierDetect = nullptr; // checked: carrier detection on (bIgnoreRFCD False)
    QCheckBox *chkIncCapby8 = nullptr;
    QLabel *lblStationID = nullptr;
    NotesBox *txStationID = nullptr;       // at most 20 characters typed
    std::array<QCheckBox *, 2> chkPPHReset{};
    std::array<QCheckBox *, 2> chkIDAsCap{};
    std::array<QRadioButton *, 5> optFlow1{}; // NONE, HW, SW, AHW, ASW
    std::array<QRadioButton *, 5> optFlow2{};
    QCheckBox *chkPET = nullptr;           // V7 only
    QCheckBox *chkBriefACK = nullptr;      // V7 only
    QCheckBox *chkFlowBeforeACK = nullptr; // V7 only
    QPushButton *cmdResetDefaults = nullptr;
    QPushButton *cmdOK = nullptr;

    void Form_Load();
    void optCDPolarity_Click(int Index);
    void optDataPolarity_Click(int Index);
    void chkPPHReset_Click(int Index);
    void chkIDAsCap_Click(int Index);
    void optFlow1_Click(int Index);
    void optFlow2_Click(int Index);
    void chkCarrierDetect_Click();
    void chkIncCapby8_Click();
    void chkPET_Click();
    void chkBriefACK_Click();
    void chkFlowBeforeACK_Click();
    void txDutyCycle_Change();
    void txtBatchQty_Change();
    void txStationID_Change();
    void cmdOK_Click();
    void cmdResetDefaults_Click();

private:
    QGroupBox *buildPortFrame(int port);
    void flowChosen(int port, int option);
    // The duty cycle's or the batch's box into its setting; a change marks the database modified.
    void takeNumber(QByteArray &setting, const QLineEdit *box);

    QByteArray m_openedStationID; // the station ID when the window opened
};
