#pragma once
// The cancel window of long operations: a step text and a Cancel button that raises the link's
// cancel (Link().cancel()).
// The running operation shows it, polls the flag between its yields and unloads the window at
// its end; the button itself stops nothing.
//
// While it is shown and no cancel was asked for, the window keeps itself in front of the
// program's other windows, topmost and centred on the screen: whenever it loses the activation
// it takes it back - except while a modal dialog (a message box, say) is open, which it never
// fights for the front.

#include "platform/forms.h"

#include <QWidget>

class QLabel;
class QPushButton;

class frmCancelSend : public forms::Form<frmCancelSend, QWidget> {
    Q_OBJECT
public:
    explicit frmCancelSend(QWidget *parent = nullptr);

    QLabel *Label1 = nullptr;      // the step text, set by the operation before showing
    QPushButton *Command1 = nullptr;

    void Command1_Click();
    void Form_Activate();
    void Form_Deactivate();
    // The close box (or the window manager's close) asks for the cancel; the window stays until
    // the operation unloads it.
    void Form_QueryUnload(bool &Cancel, forms::UnloadMode UnloadMode);

protected:
    bool event(QEvent *event) override;

private:
    void comeBack();
    bool m_comeBackQueued = false;
};
