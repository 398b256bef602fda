#pragma once
// The program as a detection leaves it, for tests and benchmarks about what comes after one (a
// read, a write, the test console, a settings dialog): what the detection learned of the encoder
// (its firmware, the generation flags the firmware gives, the encoder port the PC is cabled to)
// and, where the test needs the line, the port open on COM 1 at the programming-mode settings.
// Tests about the program end to end detect for real instead: the main window's Open Port
// against the simulated encoder (e2e/programfixture.h).
//
//   NoteDetected("9.7S");                    // a V9 without a second port, no line
//   QVERIFY2(OpenDetectedPort("7.2").isEmpty(), ...);   // a V7 on the line

#include "encoder/identify.h"
#include "encoder/link.h"
#include "model/state.h"
#include "platform/serialport.h"

#include <QByteArray>
#include <QString>

namespace encodertest {

// What a detection notes of the encoder: its firmware version, the encoder port the PC is
// attached to, a V7 (firmware 7.x), a V9 from 9.7 on.
inline void NoteDetected(const QByteArray &firmware, int attachedPort = 1)
{
    Run.sFirmwareVer = firmware;
    Run.sTestPort = QByteArray::number(attachedPort);
    Run.bV7Encoder = firmware.startsWith('7');
    const auto minor = FirmwareMinor(firmware);
    Run.bFwV97Plus = firmware.startsWith('9') && minor && *minor >= 7;
}

// The same with the port open on COM 1 at 9600,n,8,1, where a detection leaves the line to the
// encoder in programming mode. Returns the port's error text, empty once it is open.
[[nodiscard]] inline QString OpenDetectedPort(const QByteArray &firmware, int attachedPort = 1)
{
    EncoderLink &link = Link();
    CommError error = link.setPortNumber(1);
    if (!error)
        error = link.setLine("9600,n,8,1");
    if (!error)
        error = link.openPort();
    if (error)
        return error.text.isEmpty() ? QStringLiteral("the port did not open") : error.text;
    NoteDetected(firmware, attachedPort);
    return QString();
}

} // namespace encodertest
