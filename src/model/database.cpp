#include "model/database.h"

PagerDatabase DB;

namespace {
long long number(const QByteArray &text)
{
    bool ok = false;
    const long long v = text.trimmed().toLongLong(&ok);
    return ok ? v : 0;
}
} // namespace

long long EndID(const FamilyRec &fam)
{
    return number(fam[FamStartID]) + number(fam[FamPagerQty]) - 1;
}

long long EndCap(const FamilyRec &fam, bool incBy8)
{
    const long long step = incBy8 ? 8 : 1;
    return number(fam[FamStartCap]) + (number(fam[FamPagerQty]) - 1) * step;
}

void ResetFamily(FamilyRec &fam)
{
    fam = {"0", "0000000", "5", "A", "3", "000", "0000", "00", "00", ""};
}

void ResetGroupKeepingReference(PagerGroupRec &grp)
{
    grp[GrpID] = "0000";
    grp[GrpActive] = "0";
    grp[GrpAux1Active] = "0";
    grp[GrpAux1Msg] = "00";
    grp[GrpAux2Active] = "0";
    grp[GrpAux2Msg] = "00";
    grp[GrpTimerActive] = "0";
    grp[GrpTimerMsg] = "00";
    for (int i = 0; i < GroupPagerIDs; ++i)
        grp[GrpPagerID1 + i] = "0000";
    grp[GrpDefined].clear();
}

void ResetDatabase()
{
    for (auto &fam : DB.Families)
        ResetFamily(fam);
    for (auto &grp : DB.PagerGroups)
        ResetGroupKeepingReference(grp);
    for (auto &msg : DB.CannedMsgs)
        msg.clear();
}

void ClearDatabase()
{
    for (auto &fam : DB.Families)
        fam.fill(QByteArray());
    for (auto &grp : DB.PagerGroups)
        grp.fill(QByteArray());
    for (auto &msg : DB.CannedMsgs)
        msg.clear();
}
