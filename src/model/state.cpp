#include "model/state.h"

#include "model/database.h"

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
bool bBriefAck = false;
bool bPETSupport = false;
bool bNakBeforeFlow = false;
QByteArray sStationID;
QByteArray sModAttenC;
QByteArray sModAttenF;
QByteArray sModSliderVal;
QByteArray sAttenDB;

QByteArray sBrand;
bool bDBMatchesEncoder = false;
bool bDBBusy = false;
bool bSuppressEvents = false;
bool bCancelOp = false;
bool bRespTimeout = false;
bool bTimer1Expired = false;
bool bAppClosing = false;
bool bV7Encoder = false;
QByteArray sTestPort;
QByteArray sFirmwareVer;
bool bFwV97Plus = false;
bool bNoDetect = false;
bool bDBCheckOK = false;
QByteArray sDBFileName;
QString sDBFilePath;
int16_t iCommPort = 0;
bool bVirginMode = false;
bool bTestEnabled = false;
bool bRangeTestOn = false;
QByteArray sPwdTarget;
QList<QByteArray> sTokens;
int16_t iTokenCount = 0;

QString BrandTitle()
{
    if (sBrand == BrandKestrane)
        return QStringLiteral("Kestrane Paging Encoder Setup");
    if (sBrand == BrandSolvendra)
        return QStringLiteral("Solvendra Paging Encoder Setup");
    return QString();
}

void ApplyStartValues()
{
    bDBCheckOK = true;
    bSuppressEvents = true;
    bRangeTestOn = false;
    bDBMatchesEncoder = true;
    sDutyCycle = "66";
    sMaxBatch = "10";
    bIgnoreRFCD = false;
    bInvertData = false;
    bInvertRFCD = false;
    bNoDetect = false;
    bPort1PPHReset = true;
    bPort2PPHReset = true;
    bPort1IDAsCap = false;
    bPort2IDAsCap = false;
    sPort1Flow = "HW";
    sPort2Flow = "HW";
    sPort1Protocol = "TAP";
    sPort2Protocol = "TAP";
    sPort1Baud = "9600";
    sPort2Baud = "9600";
    sPort1DataBits = "N81";
    sPort2DataBits = "N81";
    sDBFileName.clear();
}

void ResetProgramState()
{
    sDutyCycle.clear();
    sMaxBatch.clear();
    bIgnoreRFCD = bInvertRFCD = bInvertData = bIncCapBy8 = false;
    bPort1PPHReset = bPort2PPHReset = bPort1Verbose = bPort2Verbose = false;
    bPort1IDAsCap = bPort2IDAsCap = false;
    for (QByteArray *t : {&sPort1Flow, &sPort2Flow, &sPort1Protocol, &sPort2Protocol, &sPort1Baud,
                          &sPort2Baud, &sPort1DataBits, &sPort2DataBits, &sStationID, &sModAttenC,
                          &sModAttenF, &sModSliderVal, &sAttenDB, &sBrand, &sTestPort,
                          &sFirmwareVer, &sDBFileName, &sPwdTarget})
        t->clear();
    sDBFilePath.clear();
    bBriefAck = bPETSupport = bNakBeforeFlow = false;
    bDBMatchesEncoder = bDBBusy = bSuppressEvents = bCancelOp = bRespTimeout = false;
    bTimer1Expired = bAppClosing = bV7Encoder = bFwV97Plus = bNoDetect = false;
    bDBCheckOK = bVirginMode = bTestEnabled = bRangeTestOn = false;
    iCommPort = 0;
    sTokens.clear();
    iTokenCount = 0;
    ClearDatabase();
}
