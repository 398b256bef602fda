#pragma once
// A pseudo-terminal pair that stands in for the far end of the serial line. The master is held
// here in raw mode (no echo, no line editing, no CR/LF mapping, no XON/XOFF handling); the
// program under test opens the slave, by its path or by a symbolic link to it.
//
//   PtyPair pty;
//   QVERIFY2(pty.ok(), qPrintable(pty.error()));
//   SetComDevicePathOverride(1, pty.linkPath());
//   ... MSComm opens COM 1 ...
//   pty.write("ATI\r");
//   QByteArray got = pty.read(1000, 5);   // up to 1 s, or until 5 bytes came
//
// Facts of the Linux pty: bytes written by the master while
// no slave is open are lost; bytes the program wrote before closing the slave can still be
// read here; the slave's line settings (speed, CSTOPB) can be read here with tcgetattr.

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <memory>
#include <termios.h>

class PtyPair {
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    bool ok() const { return m_master >= 0 && !m_slavePath.isEmpty(); }
    QString error() const { return m_error; }

    // e.g. /dev/pts/7. Open the link instead: once the master closes, the system hands this
    // number to the next pseudo-terminal, which may be another test's.
    QString slavePath() const { return m_slavePath; }
    QString linkPath() const { return m_linkPath; }   // a symbolic link to it in a temp folder
    int masterFd() const { return m_master; }

    // Writes every byte to the master (the far end sends). False on an error.
    bool write(const QByteArray &bytes);
    // Reads what the program has sent: waits up to timeoutMs for at least `atLeast` bytes
    // (with atLeast <= 0: returns what is there after waiting until the first byte or the
    // time-out); never blocks longer than timeoutMs.
    QByteArray read(int timeoutMs = 0, int atLeast = 1);
    // Reads until timeoutMs has passed with nothing new for quietMs.
    QByteArray readUntilQuiet(int quietMs = 50, int timeoutMs = 2000);

    // The slave's line settings as the program set them, read on the master.
    termios slaveTermios() const;
    int slaveBaud() const; // the output speed in bits per second (0 when unknown)
    bool slaveTwoStopBits() const;

    // Closes the master: the far end hangs up (the slave then reports errors). The link goes
    // first, so that no later open reaches the pseudo-terminal that next gets this number.
    void closeMaster();

private:
    int m_master = -1;
    QString m_slavePath;
    QString m_linkPath;
    QString m_error;
    std::unique_ptr<QTemporaryDir> m_dir;
};

// speed_t (B9600, ...) to bits per second; 0 for B0 or an unknown value.
int SpeedToBaud(speed_t speed);
