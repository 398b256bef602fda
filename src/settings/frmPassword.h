#pragma once
// The access dialog in front of the encoder advanced settings: OK opens what sPwdTarget names
// ("advanced": frmSettings, above this dialog) once the access code has been typed, and closes
// this dialog when that has closed. A wrong entry is never announced: OK stays disabled until
// the code is typed, and does nothing when the text no longer is the code.

#include "platform/forms.h"

class QLabel;
class QLineEdit;
class QPushButton;

class frmPassword : public forms::DialogForm<frmPassword> {
    Q_OBJECT
public:
    explicit frmPassword(QWidget *parent = nullptr);

    // Controls.
    QLabel *Label1 = nullptr;       // "Password:"
    QLineEdit *txtName = nullptr;   // the entry, shown in clear
    QPushButton *cmdOK = nullptr;   // the default button
    QPushButton *cmdCancel = nullptr;

    void Form_Load();
    void txtName_Change();
    void cmdOK_Click();
    void cmdCancel_Click();
};
