#pragma once
// The encoder settings dialog: protocol, verbose mode, baud rate and character format of each
// encoder serial port.

#include "platform/forms.h"

class frmSettings_Main : public forms::DialogForm<frmSettings_Main> {
    Q_OBJECT
public:
    explicit frmSettings_Main(QWidget *parent = nullptr);
};
