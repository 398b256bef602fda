#pragma once
// The encoder's serial ports as the program speaks of them: which one the PC is cabled to, the
// settings of each as the encoder settings hold them, the PC's line settings for one, and the
// texts of the mode labels that name them.

#include "model/state.h"

#include <QByteArray>

#include <array>

// The baud rates the settings dialog offers and the flow-control codes (in the order the
// dialog lists them). An encoder port may run at other bauds too.
inline constexpr std::array<const char *, 4> PortBaudRates{"300", "1200", "2400", "9600"};
inline constexpr std::array<const char *, 5> PortFlowCodes{"NONE", "HW", "SW", "AHW", "ASW"};

// Whether text is a character format: a parity letter N, E or O, data bits 7 or 8 and stop
// bits 1 or 2 ("N81", "E71", "O82").
bool IsPortCharFormat(const QByteArray &text);

// One encoder port's settings in an EncoderConfig (its port-1 or port-2 members).
template <class Text, class Flag>
struct BasicEncoderPort {
    int number = 1; // 1 or 2
    Text *protocol = nullptr;
    Text *baud = nullptr;
    Text *dataBits = nullptr; // the character format: "N81", "E71", "O71", ...
    Text *flow = nullptr;
    Flag *verbose = nullptr;
    Flag *idAsCap = nullptr;
    Flag *pphReset = nullptr;
};
using EncoderPort = BasicEncoderPort<QByteArray, bool>;
using ConstEncoderPort = BasicEncoderPort<const QByteArray, const bool>;
EncoderPort EncoderPortOf(EncoderConfig &settings, int number);
ConstEncoderPort EncoderPortOf(const EncoderConfig &settings, int number);

// The encoder port the PC is cabled to, by the attached-port text that detection found: "1" is
// port 1, anything else port 2 (a V7's one port counts as port 1 wherever the text is "1").
int AttachedPortNumber(const QByteArray &testPort);
// The attached port in the program's settings (Run.sTestPort in EncoderSettings).
EncoderPort AttachedPort();

// The PC's line settings for the attached port: its baud and character format.
QByteArray AttachedPortLineSettings();

// The PC's line settings for an encoder port at baud with its character format: "N81" is
// ",n,8,1", "E71" ",e,7,1", "O82" ",o,8,2"; a text that is no character format gives odd parity
// with 7 bits.
QByteArray PortLineSettings(const QByteArray &baud, const QByteArray &dataBits);

// The mode labels: "Increment Capcodes by 8 Mode is ON" / "OFF", and "ID As Capcode Mode is ON"
// / "OFF" followed by " for Port " and the port's number when one is named (port 0: a V7's
// one port, none named).
QByteArray IncBy8LabelText(bool on);
QByteArray IDAsCapLabelText(bool on, int port);
