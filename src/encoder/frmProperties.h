#pragma once
// The COM port properties dialog: the PC's COM port and the line settings (speed, data bits,
// parity) that the main window's serial port uses, kept in the stored preferences "CommPort"
// and "Settings". The port is closed while the dialog is open and stays closed after it.

#include "platform/forms.h"

class QComboBox;
class QLabel;
class QPushButton;

class frmProperties : public forms::DialogForm<frmProperties> {
    Q_OBJECT
public:
    explicit frmProperties(QWidget *parent = nullptr);

    QComboBox *cboPort = nullptr;
    QComboBox *cboSpeed = nullptr;
    QComboBox *cboDataBits = nullptr;
    QComboBox *cboParity = nullptr;
    QPushButton *cmdOK = nullptr;
    QPushButton *cmdCancel = nullptr;

    void Form_Load();
    void LoadPortProperties();
    void cmdOK_Click();
    void cmdCancel_Click();
};
