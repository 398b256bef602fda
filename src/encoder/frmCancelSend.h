#pragma once
// The cancel window of long operations: a step text and a Cancel button that raises bCancelOp.
// It stays on top while shown; the running operation polls the flag and unloads the window.

#include "platform/forms.h"

#include <QWidget>

class QLabel;
class QPushButton;

class frmCancelSend : public forms::Form<frmCancelSend, QWidget> {
    Q_OBJECT
public:
    explicit frmCancelSend(QWidget *parent = nullptr);

    QLabel *Label1 = nullptr;
    QPushButton *Command1 = nullptr;

    void Command1_Click();
};
