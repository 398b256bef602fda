#pragma once
// The pager database: 50 families, 10 groups and 15 canned messages, one instance (DB) shared by
// every window and transfer.
// Every field is kept as the exact bytes the encoder and the "*.pg9" file exchange
// (digit strings keep their leading zeros); the empty text means "never set".

#include <QByteArray>
#include <array>

// Field numbers of a pager family record.
enum FamilyField : int {
    FamActive = 0,   // "1" on, "0" off, empty when never set
    FamStartCap,     // first capcode, 7 digits
    FamRate,         // "5" = 512, "1" = 1200, "2" = 2400 bps
    FamPgrType,      // "A" alpha, "N" numeric
    FamFunc,         // "0".."3", shown as 1..4
    FamPagerQty,     // 3 digits, 1..999
    FamStartID,      // first pager ID, 1..8999
    FamPrefix,       // canned message number, "00" = none
    FamSuffix,       // canned message number, "00" = none
    FamDefined,      // "YES" = complete and in use
    FamFieldCount
};

// Field numbers of a pager group record.
enum GroupField : int {
    GrpID = 0,          // group pager ID, "0000" = no group
    GrpActive,
    GrpAux1Active,
    GrpAux1Msg,
    GrpAux2Active,
    GrpAux2Msg,
    GrpTimerActive,
    GrpTimerMsg,        // canned message number; "00" or "None" = none
    GrpPagerID1,        // 8..27: Pager ID 1..20, "0000" = empty slot
    GrpPagerID20 = GrpPagerID1 + 19,
    GrpDefined,         // 28: "YES" = in use
    GrpReference,       // 29: operator's free text, at most 4 characters
    GrpFieldCount
};

constexpr int FamilyCount = 50;
constexpr int GroupCount = 10;
constexpr int MessageCount = 15;
constexpr int GroupPagerIDs = 20;

using FamilyRec = std::array<QByteArray, FamFieldCount>;
using PagerGroupRec = std::array<QByteArray, GrpFieldCount>;

struct PagerDatabase {
    std::array<FamilyRec, FamilyCount> Families;        // family n is Families[n - 1]
    std::array<PagerGroupRec, GroupCount> PagerGroups;  // group n is PagerGroups[n - 1]
    std::array<QByteArray, MessageCount> CannedMsgs;    // message n is CannedMsgs[n - 1]
};

// The displayed database: the editors change it in place, a read overwrites it, a write and
// Save send or save it as they find it.
extern PagerDatabase DB;

// Derived values of a family (never stored). Non-numeric fields count as 0.
long long EndID(const FamilyRec &fam);
// The last capcode; the capcodes step by 8 while incBy8 is set.
long long EndCap(const FamilyRec &fam, bool incBy8);

// The values the New command gives every record (the groups keep their Reference).
void ResetFamily(FamilyRec &fam);
void ResetGroupKeepingReference(PagerGroupRec &grp);
// New: resets every family, group and canned message; encoder settings are untouched.
void ResetDatabase();
// Program start: every field and message is the empty text.
void ClearDatabase();
