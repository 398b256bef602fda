#pragma once
// The range test's set-up dialog "Range Test Setup": the base message, the pager ID and the
// cycle time of the test (rangetest.h runs it). Shown modally, owned by the console. Start
// hides it (it stays loaded until the test stops); Cancel (Escape presses it) and the close box
// leave it without starting.

#include "platform/forms.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

class frmRangeTest : public forms::DialogForm<frmRangeTest> {
    Q_OBJECT
public:
    explicit frmRangeTest(QWidget *parent = nullptr);

    QLabel *Label1 = nullptr;
    QLineEdit *txtBaseMsg = nullptr;
    QLineEdit *txtPIN = nullptr;
    QLineEdit *txtCycleTime = nullptr;
    QPushButton *cmdStart = nullptr;
    QPushButton *cmdCancel = nullptr;

    void Form_Load();
    void Form_Unload();
    void cmdStart_Click();
    void cmdCancel_Click();

private:
    bool m_started = false;
};

// The console's range-test menu entry (its mnuRangeTest_Click): stops a running test, or
// shows this dialog modally, owned by console, to start one.
void RangeTestMenuClick(QWidget *console);
// The console closes: the test ends at once, the console's timers stop, its menu entry reads
// "Start &Range Test" and Send is enabled; this dialog is unloaded.
void RangeTestConsoleClosing();
