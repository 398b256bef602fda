#pragma once
// The families check without a window: it makes the active, defined families legal for the
// encoder (capcode ranges out of the illegal capcodes, overlapping pager-ID ranges pulled
// apart) by correcting `Families` in place, and returns every correction in the order made so
// that the families editor can mark the corrected cells. Also the completeness pass of the
// editor's OK: complete families become Defined "YES", incomplete ones are erased.

#include "model/database.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>

// Set by every change the families editor makes; the editor's OK runs the check only while it
// is set; a check that runs to its end clears it.
extern bool bFamiliesEdited;
// Set by the check at the end of a pass that corrected a field; only the editor clears it.
extern bool bFamFieldsAdjusted;

// Capcode limits of the encoder.
constexpr long long LowestStartCapcode = 8;
constexpr long long HighestCapcode = 2097143;
constexpr long long UpperIllegalFirst = 2045056;   // through UpperIllegalFirst + 7
constexpr long long LowerIllegalFirst = 2007664;   // through LowerIllegalFirst + 7
constexpr int IllegalBlockSize = 8;
constexpr int MaxPagerQty = 999;
// The highest pager ID a family's range may reach.
constexpr long long HighestPagerID = 8999;

// Grid columns of the families editor that the check writes.
constexpr int FamColPagerQty = 2;
constexpr int FamColStartID = 3;
constexpr int FamColEndID = 4;
constexpr int FamColStartCap = 5;
constexpr int FamColEndCap = 6;

enum class FamilyCorrectionReason {
    LowStartCapcode,      // StartCap below 8 raised to 8
    AboveHighestCapcode,  // range ran past 2097143, moved down below it
    UpperIllegalBlock,    // range held 2045056..2045063, moved down below it
    LowerIllegalBlock,    // range held 2007664..2007671, moved down below it
    StartIDOverlap,       // first pager ID inside an earlier family's IDs, moved after them
    EndIDOverlap,         // last pager ID inside an earlier family's IDs, quantity cut
    EnclosingIDOverlap    // pager IDs enclose an earlier family's IDs, moved after them
};

struct FamilyCorrection {
    int row = 0;                  // index into Families (family number and grid row: row + 1)
    FamilyField field = FamStartCap;  // FamStartCap, FamStartID or FamPagerQty
    int column = 0;               // the grid column of that field
    QByteArray oldText;
    QByteArray newText;
    FamilyCorrectionReason reason = FamilyCorrectionReason::LowStartCapcode;
    int pass = 1;                 // 1 = first pass
    // The derived cells after this correction (grid columns 4 and 6); empty when the
    // correction does not change that cell.
    QByteArray endIDText;
    QByteArray endCapText;
};

struct FamiliesCheckHooks {
    // Called at the start of every pass, after clearCancel: the window shows the cancel window
    // ("Checking Families Database") and the hourglass here.
    std::function<void()> passStarted;
    // Called at every point where the check lets pending events run; returns true when the
    // operator asked to stop. When empty the check runs to its end.
    std::function<bool()> yieldAndStop;
    // A family taking part whose StartCap, StartID or PagerQty cannot be used (not a whole
    // number, or a quantity outside 1..999). It is reported once per check and left alone.
    std::function<void(int row, const QString &text)> fault;
    // Called first in every pass: clears the operator's cancel that yieldAndStop reads, so that
    // a cancel left over from an earlier operation or pass does not stop this one.
    std::function<void()> clearCancel;
};

struct FamiliesCheckResult {
    // The value for bDBCheckOK: true only when the check ran to its end (corrections or not).
    // A cancelled or stopped check is always false, so Save writes nothing after an unfinished
    // check.
    bool ok = false;
    bool cancelled = false;
    // The family (index into Families) that the check would have had to move past pager ID
    // HighestPagerID; the check stopped there and left it as it was. -1 when none.
    int pagerIDsExceededRow = -1;
    // Every correction made, in order; the ones made before a cancel stay in Families too.
    QList<FamilyCorrection> corrections;
};

// Checks and corrects the shared Families with the capcode step of bIncCapBy8. Clears
// the operator's cancel at the start of every pass, sets bFamFieldsAdjusted at the end of a pass that
// corrected anything and clears bFamiliesEdited when it runs to its end (a cancel leaves it
// set). The final "fields were adjusted" box is the window's: it shows it when the result is
// ok and bFamFieldsAdjusted is set, and the "cannot be moved" box when pagerIDsExceededRow
// names a family.
FamiliesCheckResult CheckFamiliesDatabase(const FamiliesCheckHooks &hooks = {});

// The completeness rule of the families editor's OK: none of Active, StartCap, Rate, PgrType,
// Func, PagerQty, StartID, Prefix and Suffix empty; PagerQty not "000", StartID not "0000",
// StartCap a number of at least 1 (the check raises 1 to 7 to 8), PgrType "N" or "A".
bool IsFamilyComplete(const FamilyRec &fam);

// Erases an incomplete family: Defined "", PagerQty "000", StartID "0000", StartCap
// "0000000", PgrType "A", Func "3", Active "1" becomes "0"; Rate, Prefix and Suffix stay.
// Returns true when the family was switched off (the window redraws its Active cell).
bool EraseIncompleteFamily(FamilyRec &fam);

// The OK's pass over the shared Families: complete families get Defined "YES", incomplete
// ones are erased. Returns the rows that were switched off, in order.
QList<int> DefineOrEraseFamilies();
