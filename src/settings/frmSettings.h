#pragma once
// The encoder advanced settings dialog.

#include "platform/forms.h"

class frmSettings : public forms::DialogForm<frmSettings> {
    Q_OBJECT
public:
    explicit frmSettings(QWidget *parent = nullptr);
};
