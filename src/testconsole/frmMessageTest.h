#pragma once
// The message test console: sends test pages through the encoder port the PC is attached to.
// Modal; while it is open the encoder is out of programming mode, and its closing puts it back.

#include "platform/forms.h"

class frmMessageTest : public forms::DialogForm<frmMessageTest> {
    Q_OBJECT
public:
    explicit frmMessageTest(QWidget *parent = nullptr);

    void Form_Unload();
};
