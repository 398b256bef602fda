#pragma once
// Message boxes drawn with QMessageBox: the presenter that both programs install at start.

// From here on MsgBox shows a real, application-modal box (unless a test's responder answers).
void UseWidgetMessageBoxes();
