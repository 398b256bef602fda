#pragma once
// The ID-as-capcode guard's last step, shared by reads and writes: a transfer that switched the
// attached port's ID-as-capcode off for its records and ended before it put the mode back
// (an error or a cancel) tries once to switch it on again.

#include "encoder/link.h"

#include <QByteArray>

// The switch-on of the attached port's ID-as-capcode.
struct IDAsCapSwitchOn {
    QByteArray command;      // the whole command, its CR included
    QByteArray confirmation; // what the encoder's answer holds when it took the command
    QByteArray labelOn;      // the ID-as-capcode label when the mode is known to be on
    QByteArray labelOff;     // and when it is known to be off
};

// Sends the switch-on (not cancellable) and waits for its confirmation; onWriteFailure says
// what a command the port cannot write does. The label then says what the encoder is known to
// be left with: on when it confirmed, off when it had confirmed the switch-off (switchedOff);
// otherwise it is left as it is. Nothing more is done when the program is closing or the line
// goes away meanwhile. True when the encoder confirmed.
bool PutIDAsCapBack(EncoderLink &link, const IDAsCapSwitchOn &on, bool switchedOff, OnWriteFailure onWriteFailure);
