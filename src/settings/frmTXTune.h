#pragma once
// Transmitter tuning: test tones and the modulation attenuation slider.

#include "platform/forms.h"

class frmTXTune : public forms::DialogForm<frmTXTune> {
    Q_OBJECT
public:
    explicit frmTXTune(QWidget *parent = nullptr);

    void mnuExit_Click();
    void Form_Unload();
};
