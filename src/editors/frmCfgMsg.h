#pragma once
// The canned messages editor.

#include "platform/forms.h"

#include <QWidget>

class frmCfgMsg : public forms::Form<frmCfgMsg, QWidget> {
    Q_OBJECT
public:
    explicit frmCfgMsg(QWidget *parent = nullptr);

    void Form_Load();
};
