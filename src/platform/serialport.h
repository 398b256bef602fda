#pragma once
// The PC's serial port as the program uses it: a port number ("COM 1" to "COM 8"), a line
// settings text such as "9600,n,8,1", an open state, and polled byte input and output.
// Built on QSerialPort. Every call that can fail returns a CommError; an empty one is success.
//
// The line itself: a change of line settings on the open port, and a close, first let the bytes
// written go out at the settings they were written at (the system's buffer drains, then the
// port waits out the rest of their time on the line: each character as wide as its format makes
// it, a start bit, 5 to 8 data bits, a parity bit or none and 1, 1.5 or 2 stop bits, so from 7
// bits for 5N1 (9 for 7N1, 10 for 8N1) to 12 for 8E2; each write after the ones before it, plus
// 20 ms for the buffer of a USB adapter; a physical time, which the tests' time scale does not
// shorten). Bytes count on the line from when they leave the port's own buffer for the device.
// A write that times out leaves there what the device has not taken; the port passes it on as
// the device takes bytes again (with the next write, from the event loop, or while a change of
// settings or a close waits), and the line counts as busy while the buffer holds any, so those
// bytes too go out at the settings they were written at. The account starts afresh once the
// bytes are out, thrown away or the port closed, and where the far end says it has taken in
// every byte (see SetLineTakenInHook). A close leaves the device at the settings it had, not
// the ones found when it was opened (QSerialPort puts those back as it closes; the port sets
// the current ones again through a second handle before it lets the device go). So bytes
// written just before a close or a change of speed reach the far end as they were sent.
//
// That wait handles events, so windows repaint and timers run, but takes no user input (keys
// and clicks wait for the next event loop that takes them). It is bounded: what the port and
// the system still hold when it has had its time on the line (12 bits a character) and half a
// second more is discarded and logged ("pagersetup.line"), so a driver that never empties its
// buffer cannot hold the program; bytes that left before then still have their time. Calls made
// from inside the wait (a timer's handler): a write goes out and is waited for as well; a close
// or a change of settings does not wait again, goes ahead at once and ends the wait; the call
// that began the wait then does its own part on the port as those calls left it. The port
// object may be deleted from inside the wait (it then closes without waiting again); deleted at
// any other time, it waits without handling events (what its own buffer holds then cannot leave
// it, and is discarded at the bound).

#include <QByteArray>
#include <QObject>
#include <QString>
#include <chrono>
#include <functional>
#include <memory>

class QEventLoop;
class QSerialPort;

struct CommError {
    enum Code {
        None = 0,
        PortNotOpen,        // Output, Input or discard on a closed port
        PortAlreadyOpen,    // the port number cannot change while the port is open
        InvalidPortNumber,  // outside 1..8
        InvalidSettings,    // a line settings text the port refuses
        OpenFailed,         // the device is missing, busy or not a serial port
        WriteFailed,        // the operating system refused the bytes
        ReadFailed,
        DeviceGone,         // the device went away while the port was open (a USB adapter
                            // pulled out, the far end of a pseudo-terminal closed)
    };
    Code code = None;
    QString text; // the system's error text, shown to the operator as it stands

    explicit operator bool() const { return code != None; }
    static CommError ok() { return {}; }
};

// A parsed line settings text.
struct LineSettings {
    int baud = 9600;
    char parity = 'n'; // n, e, o, m, s (lower case)
    int dataBits = 8;  // 4..8
    int stopTenths = 10; // 10, 15 or 20

    // "9600,n,8,1": baud, parity letter in either case, data bits, stop bits (1, 1.5, 2),
    // separated by commas, blanks around the parts allowed. Returns false for anything else.
    static bool parse(const QByteArray &text, LineSettings *out);
    // A character's time on the line in tenths of a bit: start bit, data bits, the parity bit
    // (any parity but n), stop bits.
    int tenthsPerCharacter() const;
    bool operator==(const LineSettings &) const = default;
};

class MSComm : public QObject {
    Q_OBJECT
public:
    explicit MSComm(QObject *parent = nullptr);
    ~MSComm() override;

    int CommPort() const { return m_commPort; }
    CommError setCommPort(int number); // refused while open and outside 1..8

    // The text as it was last accepted (blanks around it removed), e.g. "9600,N,8,1".
    QByteArray Settings() const { return m_settings; }
    // Refused (with InvalidSettings, text "Invalid property value") unless LineSettings::parse
    // accepts it; 4 data bits are refused as well (the port supports 5 to 8). Applied to the
    // open port at once, after the bytes written have had their time on the line at the old
    // settings (see above). A character format the device cannot carry is not an error: a
    // pseudo-terminal, for one, keeps 8 bits without parity; only the speed is seen there.
    CommError setSettings(const QByteArray &text);

    // True from a successful opening until the close, also after the device has gone away.
    bool PortOpen() const;
    // Opens the device ComDevicePath(CommPort()) (a link opens its target): PortAlreadyOpen
    // when open, OpenFailed when the device is missing, held by another port object or
    // program, or no serial device; its text names the device and gives the system's reason
    // ("/dev/ttyUSB0: Permission denied"), and when the user may not use the device it adds
    // that the user must be allowed to use serial devices. Never software or hardware flow
    // control. Closing lets the last bytes go out at their settings and keeps the device at
    // them (see above); it is no error when closed.
    CommError setPortOpen(bool open);

    // The device went away while the port was open: from then on Output and Input report
    // DeviceGone with the system's text, and the device itself has been let go. The port still
    // counts as open until it is closed; deviceGone() told of it once.
    bool DeviceGone() const { return m_gone; }
    // What the system said as the device went (DeviceGone, "Input/output error"): the answer
    // of the request that showed it gone, never an earlier call's.
    CommError goneError() const;
    // The device went away since the port was last opened, also when it has been closed since
    // (a close that waited for the last bytes may be where it went); the reason is goneError's
    // text. The next opening attempt forgets it.
    bool DeviceWentAway() const { return !m_goneText.isEmpty(); }
    // Forgets it on a closed port, as a fresh program knows nothing of it.
    void forgetWentAway();

    // Bytes received and not yet read.
    int InBufferCount();
    // Throws away everything received and not yet read (the program's "count = 0").
    CommError DiscardInput();

    // Writes the bytes and returns once the operating system holds all of them, so a close
    // right after a write loses nothing. PortNotOpen ("Port not open") when closed;
    // DeviceGone when the device has gone away; WriteFailed with the system's text when the
    // system refuses them, or "Write timed out" when the far end takes nothing for a few
    // seconds beyond the bytes' time on the line (the port keeps what the device has not
    // taken and passes it on later: see above).
    CommError Output(const QByteArray &bytes);
    // Reads and removes everything received so far (possibly nothing), including what the
    // system holds and the event loop has not yet fetched. PortNotOpen when closed,
    // DeviceGone when the device has gone away.
    QByteArray Input(CommError *error = nullptr);

    // The device path "COM n" stands for (see the COM map).
    QString devicePath() const;

    static CommError notOpenError();

signals:
    // Bytes have arrived; the link's wait wakes on it.
    void readyRead();
    // The device has gone away while the port was open (once until the port is closed). It
    // may come from inside Output or Input, and from the event loop while nothing is sent.
    void deviceGone();

private:
    bool applyLine(const LineSettings &line); // to the QSerialPort (open or not)
    void pullPending();                       // what the OS holds into the port's buffer
    std::chrono::microseconds lineTime(qint64 bytes, int tenthsPerCharacter) const;
    // The bytes' time on the line from now, after the others' unless the far end had taken
    // them in.
    void lineWritten(qint64 bytes, bool takenIn);
    // Counts what has left the port's own buffer for the device since the last look.
    void lineHandedOver(bool takenIn);
    void lineCleared();                       // nothing written is on its way out any more
    void endDrainWait();                      // wakes letLastBytesGo's wait to look again
    // Before a change of settings or a close; false when the object was deleted meanwhile.
    bool letLastBytesGo();
    void closeKeepingSettings();
    // After a failure: whether the device has gone away (its terminal is hung up, or its
    // device node has vanished); marks it gone when it has, with the system's answer then.
    bool checkGone();
    void markGone(const QString &text);
    void releaseGoneDevice();

    std::unique_ptr<QSerialPort> m_port;
    bool m_pulling = false;
    int m_commPort = 1;
    QByteArray m_settings = "9600,n,8,1";
    LineSettings m_line;
    QString m_openedPath;      // the device node the port opened (a link's target)
    bool m_lineBusy = false;   // bytes were written whose line time may not be over
    std::chrono::steady_clock::time_point m_lineFreeAt; // every byte written is out
    qint64 m_portHeld = 0;     // in the port's own buffer at the last look
    quint64 m_writes = 0;      // writes so far
    bool m_draining = false;   // inside letLastBytesGo's wait
    QEventLoop *m_drainWait = nullptr; // the wait's loop while it runs
    bool m_dying = false;      // in the destructor
    bool m_gone = false;
    QString m_goneText;        // why the device went; kept past the close (DeviceWentAway)
};

// The seam for the count of bytes the system still holds to send on an open device (fd);
// tests stand a driver that never empties its buffer in with it. An empty hook: the system's.
void SetOutputQueueHook(std::function<qint64(int fd)> hook);
// The seam for the far end's own word, asked before each write on an open device (fd), that
// it has taken in every byte written so far: the line is then free, and the write goes on it
// at once. A real line never says so (an empty hook: no word); a simulated encoder knows, and
// one that takes bytes in faster than their time on the line would otherwise see the port's
// account run ahead of it.
void SetLineTakenInHook(std::function<bool(int fd)> hook);
// The seam for the few seconds a write waits, beyond its bytes' time on the line, for a far end
// that takes nothing before it reports "Write timed out" (3 s; zero or less puts that back).
// Tests of a stalled line shorten it.
void SetWriteStallWait(std::chrono::milliseconds wait);

// The COM map: "COM n" to a device path. Defaults: COM1..COM4 = /dev/ttyS0..3,
// COM5..COM8 = /dev/ttyUSB0..3. The brand's stored preferences override any number in section
// "Ports", key "COM1".."COM8". Tests may override a number directly.
QString ComDevicePath(int number);
// The default map alone (empty outside 1..8); start-up writes it into the stored preferences.
QString DefaultComDevicePath(int number);
void SetComDevicePathOverride(int number, const QString &path); // empty path removes it
QString ComDevicePathOverride(int number); // empty when there is none
