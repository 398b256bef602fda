#pragma once
// A pager group record for the groups tests: an empty group with the fields given.

#include "model/database.h"

#include <QByteArrayList>

inline PagerGroupRec group(const char *id, const char *active, const QByteArrayList &pagerIDs,
                           const char *defined = "YES", const char *timer = "0", const char *timerMsg = "00",
                           const char *reference = "")
{
    PagerGroupRec g;
    ResetGroupKeepingReference(g);
    g[GrpID] = id;
    g[GrpActive] = active;
    g[GrpTimerActive] = timer;
    g[GrpTimerMsg] = timerMsg;
    for (int k = 0; k < pagerIDs.size(); ++k)
        g[GrpPagerID1 + k] = pagerIDs[k];
    g[GrpDefined] = defined;
    g[GrpReference] = reference;
    return g;
}
