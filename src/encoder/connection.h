#pragma once
// Opening and closing the PC's COM port from the main window.

// Toggles the port of the main window's MSComm1: opens it when it is closed, closes it when it
// is open, and brings the main window's connection controls, captions, status and menus into
// line. A port that cannot be opened or closed is reported with the system's error text.
void OpenClosePort();
