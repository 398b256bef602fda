#pragma once
// Opening and closing the PC's COM port, with the detection of the encoder.
//
// Opening the port finds the encoder: up to nine line settings are tried, the encoder is put
// into programming mode, its firmware generation (V7, V8, V9) and the encoder port the PC is
// cabled to are read from its identification, the main window is labelled, the encoder is
// announced and its database read. The cancel window stops a detection; while a detection
// runs the toggle does nothing. Closing the port takes a V8 or V9 encoder out of programming
// mode ("config reboot"), resets the main window's connection controls and closes the message
// test console.

#include <QString>

// Toggles the link's port (the port command, the COM status button and the connection discs
// call it). A port that cannot be opened is reported with the system's error text. Does
// nothing while there is no main window's view.
void OpenClosePort();

// The port's device has gone away (a USB adapter pulled out): one box names the device and
// says it has gone, then the port is closed as the port command closes it, without the reboot
// that could not reach the encoder, and the main window shows it closed. Does nothing while
// there is no main window's view or a detection runs.
void CloseGonePort();

// Opens the link's port again after a step that closed it to change its line (the test
// console's hand-back at 9600 baud); true when it is open. An opening that fails leaves the
// main window showing the port closed as after any failed opening, with nothing sent and one
// box: "Serial Device Gone" (LineGoneText) when the device is missing, otherwise the opening's
// own error text. While the program is closing, a failure only returns false.
bool ReopenPort();

// That box's text: "<device>: The Serial Device has Gone Away (<the system's reason>)", then
// that the COM port is closed and what to do.
QString LineGoneText(const QString &device, int portNumber, const QString &reason);

