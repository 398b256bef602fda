#pragma once
// The access dialog in front of the advanced encoder settings (sPwdTarget says what it opens).

#include "platform/forms.h"

class frmPassword : public forms::DialogForm<frmPassword> {
    Q_OBJECT
public:
    explicit frmPassword(QWidget *parent = nullptr);
};
