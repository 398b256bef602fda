#include "model/state.h"

#include "model/changes.h"
#include "model/database.h"

#include <algorithm>
#include <limits>

EncoderConfig EncoderSettings;

bool ToInt16Text(const QByteArray &value, QByteArray *out)
{
    const QByteArrayView number = value.startsWith('-') || value.startsWith('+') ? QByteArrayView(value).sliced(1)
                                                                                 : QByteArrayView(value);
    if (number.isEmpty() || !std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    bool ok = false;
    const qlonglong n = QByteArrayView(value).toLongLong(&ok, 10);
    if (!ok || n < std::numeric_limits<qint16>::min() || n > std::numeric_limits<qint16>::max())
        return false;
    *out = QByteArray::number(n);
    return true;
}

RunState Run;

QString BrandTitle()
{
    if (Run.sBrand == BrandKestrane)
        return QStringLiteral("Kestrane Paging Encoder Setup");
    if (Run.sBrand == BrandSolvendra)
        return QStringLiteral("Solvendra Paging Encoder Setup");
    return QString();
}

BusyScope::BusyScope(Busy state, Entry entry)
{
    if (entry == WhenIdle && Run.busy != Busy::Idle)
        return;
    m_entered = true;
    m_before = Run.busy;
    if (state == m_before)
        return;
    Run.busy = state;
    NotifyModelChanged(ModelChange::Busy);
}

BusyScope::~BusyScope()
{
    if (!m_entered || Run.busy == m_before)
        return;
    Run.busy = m_before;
    NotifyModelChanged(ModelChange::Busy);
}

void ApplyStartValues()
{
    Run.bDBCheckOK = true;
    Run.bSuppressEvents = true;
    Run.bRangeTestOn = false;
    Run.bDBMatchesEncoder = true;
    EncoderConfig &s = EncoderSettings;
    s.sDutyCycle = "66";
    s.sMaxBatch = "10";
    s.bIgnoreRFCD = false;
    s.bInvertData = false;
    s.bInvertRFCD = false;
    Run.bNoDetect = false;
    s.bPort1PPHReset = true;
    s.bPort2PPHReset = true;
    s.bPort1IDAsCap = false;
    s.bPort2IDAsCap = false;
    s.sPort1Flow = "HW";
    s.sPort2Flow = "HW";
    s.sPort1Protocol = "TAP";
    s.sPort2Protocol = "TAP";
    s.sPort1Baud = "9600";
    s.sPort2Baud = "9600";
    s.sPort1DataBits = "N81";
    s.sPort2DataBits = "N81";
    Run.sDBFileName.clear();
}

void ResetProgramState()
{
    EncoderSettings = EncoderConfig{};
    Run = RunState{};
    ClearDatabase();
}
