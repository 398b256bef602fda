#pragma once
// The encoder's settings and the run-time state that the windows share, one variable each,
// for the whole run. Texts hold the exact bytes exchanged with the encoder.

#include <QByteArray>
#include <QList>
#include <QString>
#include <cstdint>

// Encoder settings (global and per serial port).
extern QByteArray sDutyCycle;
extern QByteArray sMaxBatch;
extern bool bIgnoreRFCD;
extern bool bInvertRFCD;
extern bool bInvertData;
extern bool bIncCapBy8;
extern bool bPort1PPHReset;
extern bool bPort2PPHReset;
extern bool bPort1Verbose;
extern bool bPort2Verbose;
extern bool bPort1IDAsCap;
extern bool bPort2IDAsCap;
extern QByteArray sPort1Flow;
extern QByteArray sPort2Flow;
extern QByteArray sPort1Protocol;
extern QByteArray sPort2Protocol;
extern QByteArray sPort1Baud;
extern QByteArray sPort2Baud;
extern QByteArray sPort1DataBits;
extern QByteArray sPort2DataBits;
extern bool bBriefAck;       // V7 only
extern bool bPETSupport;     // V7 only
extern bool bNakBeforeFlow;  // V7 only
extern QByteArray sStationID;
extern QByteArray sModAttenC;
extern QByteArray sModAttenF;
extern QByteArray sModSliderVal;
extern QByteArray sAttenDB;

// Run-time state.
extern QByteArray sBrand;          // "Kestrane" or "Solvendra"
extern bool bDBMatchesEncoder;
extern bool bDBBusy;
extern bool bSuppressEvents;
extern bool bCancelOp;
extern bool bRespTimeout;
extern bool bTimer1Expired;
extern bool bAppClosing;
extern bool bV7Encoder;
extern QByteArray sTestPort;       // "1" or "2"
extern QByteArray sFirmwareVer;
extern bool bFwV97Plus;
extern bool bNoDetect;
extern bool bDBCheckOK;
extern QByteArray sDBFileName;
// Full path of the pager database file last opened or saved (empty = none). sDBFileName keeps
// its bare name for the status texts; Save writes here, and "LastFile" stores this path.
extern QString sDBFilePath;
extern int16_t iCommPort;
extern bool bVirginMode;
extern bool bTestEnabled;
extern bool bRangeTestOn;
extern QByteArray sPwdTarget;
extern QList<QByteArray> sTokens;  // fields of the last record reply (element 0 empty)
extern int16_t iTokenCount;

inline const char *const BrandKestrane = "Kestrane";
inline const char *const BrandSolvendra = "Solvendra";

// The brand's window title ("Kestrane Paging Encoder Setup", "Solvendra Paging Encoder Setup")
// after sBrand; empty for any other brand text.
QString BrandTitle();

// Start-up's start values for the settings and flags (the database tables are left alone).
void ApplyStartValues();

// Every variable and the database back to their program-start values (empty, False, 0):
// for tests that need a fresh process state.
void ResetProgramState();
