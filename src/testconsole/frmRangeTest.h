#pragma once
// The range test set-up dialog of the test console.

#include "platform/forms.h"

class frmRangeTest : public forms::DialogForm<frmRangeTest> {
    Q_OBJECT
public:
    explicit frmRangeTest(QWidget *parent = nullptr);
};
