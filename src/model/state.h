#pragma once
// The encoder's settings and the run-time state that the windows and transfers share, one
// instance each for the whole run (EncoderSettings, Run). Texts hold the exact bytes exchanged
// with the encoder.

#include <QByteArray>
#include <QList>
#include <QString>
#include <cstdint>

// The encoder's global settings and the settings of its serial ports.
struct EncoderConfig {
    QByteArray sDutyCycle;
    QByteArray sMaxBatch;
    bool bIgnoreRFCD = false;
    bool bInvertRFCD = false;
    bool bInvertData = false;
    bool bIncCapBy8 = false;
    bool bPort1PPHReset = false;
    bool bPort2PPHReset = false;
    bool bPort1Verbose = false;
    bool bPort2Verbose = false;
    bool bPort1IDAsCap = false;
    bool bPort2IDAsCap = false;
    QByteArray sPort1Flow;
    QByteArray sPort2Flow;
    QByteArray sPort1Protocol;
    QByteArray sPort2Protocol;
    QByteArray sPort1Baud;
    QByteArray sPort2Baud;
    QByteArray sPort1DataBits;
    QByteArray sPort2DataBits;
    bool bBriefAck = false;      // V7 only
    bool bPETSupport = false;    // V7 only
    bool bNakBeforeFlow = false; // V7 only
    QByteArray sStationID;
    QByteArray sModAttenC;
    QByteArray sModAttenF;
    QByteArray sModSliderVal;    // the tuning slider's position
    QByteArray sAttenDB;
};
extern EncoderConfig EncoderSettings;

// The encoder's numbers (the duty cycle, the batch quantity) are signed 16-bit whole numbers, a
// sign and leading zeros allowed ("-5", "+10", "010"). Such a value as its decimal text ("010"
// -> "10", "+10" -> "10"); false, and out untouched, for a value that is none.
bool ToInt16Text(const QByteArray &value, QByteArray *out);

// What the program is busy with. The commands that talk to the encoder run one at a time: a
// command takes the line (Line or Detecting) and does nothing when something else runs; a read
// or write then fills the database (FillingDatabase) inside it, and a file being opened does
// too. The families check holds everything else off while it corrects the families.
enum class Busy {
    Idle,
    Line,             // a command talks to the encoder (lookup, test console, before a transfer)
    Detecting,        // opening the port: the line settings are being tried
    FillingDatabase,  // a read, a write or a file being opened owns the database
    CheckingFamilies, // the families check corrects the families
    CheckingGroups,   // the groups check clears pager IDs that no family holds
};

struct RunState {
    QByteArray sBrand;          // "Kestrane" or "Solvendra"
    bool bDBMatchesEncoder = false;
    bool bSuppressEvents = false;
    bool bV7Encoder = false;
    QByteArray sTestPort;       // "1" or "2"
    QByteArray sFirmwareVer;
    bool bFwV97Plus = false;
    bool bNoDetect = false;
    bool bDBCheckOK = false;
    QByteArray sDBFileName;
    // Full path of the pager database file last opened or saved (empty = none). sDBFileName
    // keeps its bare name for the status texts; Save writes here, and "LastFile" stores it.
    QString sDBFilePath;
    int16_t iCommPort = 0;
    bool bVirginMode = false;
    bool bTestEnabled = false;
    bool bRangeTestOn = false;
    QByteArray sPwdTarget;
    QList<QByteArray> sTokens;  // fields of the last record reply (element 0 empty)
    int16_t iTokenCount = 0;

    Busy busy = Busy::Idle;     // change it through BusyScope
    // The families or the groups check runs (under its cancel window): neither editor's OK
    // starts another check inside it.
    bool bEditorCheckRunning = false;
    // Program code is filling the database: the editors take no input and mark nothing.
    bool bDBBusy() const { return busy == Busy::FillingDatabase; }
    // A command talks to the encoder, or something holds the encoder commands off.
    bool TransferRunning() const { return busy != Busy::Idle; }
};
extern RunState Run;

inline const char *const BrandKestrane = "Kestrane";
inline const char *const BrandSolvendra = "Solvendra";

// The brand's window title ("Kestrane Paging Encoder Setup", "Solvendra Paging Encoder Setup")
// after Run.sBrand; empty for any other brand text.
QString BrandTitle();

// Enters a busy state for the scope's lifetime and puts the one before it back at the end.
//
//   BusyScope line(Busy::Line, BusyScope::WhenIdle);
//   if (!line)
//       return;            // another command is running
//   BusyScope filling(Busy::FillingDatabase);   // inside it: always entered
class BusyScope {
public:
    enum Entry { Always, WhenIdle };
    explicit BusyScope(Busy state, Entry entry = Always);
    ~BusyScope();
    BusyScope(const BusyScope &) = delete;
    BusyScope &operator=(const BusyScope &) = delete;
    explicit operator bool() const { return m_entered; }

private:
    Busy m_before = Busy::Idle;
    bool m_entered = false;
};

// Start-up's start values for the settings and flags (the database tables are left alone).
void ApplyStartValues();

// The settings, the run-time state and the database back to their program-start values
// (empty, False, 0): for tests that need a fresh process state.
void ResetProgramState();
