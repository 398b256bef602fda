#pragma once
// The pager groups without a window: the check that clears every pager ID of a group in use
// that no family in use holds, the completeness pass of the groups editor's OK, the reset of
// the groups not in use when the editor closes, the COMP1 default-pager test, and the rules
// the editor applies to group IDs and pager IDs.

#include "model/database.h"

#include <QByteArray>
#include <QList>
#include <functional>
#include <optional>

// Set by every edit in the groups editor; the editor's OK runs the check only while it is set;
// a check that runs to its end clears it.
extern bool bGroupsEdited;
// Set by the check when it cleared a pager ID; the editor's OK reads and clears it.
extern bool bPagerIDsAdjusted;

// The value of a typed number (a group ID, a pager ID, a family's field): digits only (a blank,
// sign or point would break the encoder's blank-separated record), at most nine of them.
// Nothing for any other text.
std::optional<long long> DigitsValue(const QByteArray &text);

// Whether a pager ID or message number field is given: not empty, and above 0 when it is a
// number. A text that is not a number counts ("None" in Timer Msg #; the check clears a pager
// ID that is not a number).
bool IsGiven(const QByteArray &text);
// Whether any of the group's 20 pager IDs is given.
bool HasPagerID(const PagerGroupRec &group);

// Gives every empty field of the group the value of an empty group: "0000" for the group ID
// and the pager IDs, "0" for the flags, "00" for the message numbers. Defined and Reference
// stay as they are. True when a field was filled.
bool FillEmptyGroupFields(PagerGroupRec &group);

struct GroupsSettled {
    bool incomplete = false;        // a group examined lacks what the encoder needs
    bool changed = false;           // the pass changed a field of the database
    QList<int> timersSwitchedOff;   // groups whose Timer Active went off for want of a message
};

// The completeness pass of the editor's OK, over every group whose Active field is not "0".
// A group is complete when it has a pager ID (one that is not "0000") together with a group
// ID, or an Aux or timer flag whose message is given. A flag whose message is "00" is switched
// off. An incomplete group loses its Defined mark (it is reset when the editor closes); a
// complete one with a pager ID that is given is marked Defined "YES", whatever order its
// fields were typed in. A pass that changes anything marks the database modified.
GroupsSettled SettleGroups();

// Resets every group whose Defined field is not "YES" to an empty group, Reference included.
void ResetUndefinedGroups();

struct ClearedPagerID {
    int group = 0;          // index into PagerGroups (group number and grid column: group + 1)
    int pagerID = 0;        // 0..19 (Pager ID 1..20, grid row pagerID + 4)
    QByteArray oldText;
};

struct GroupsCheckHooks {
    // Called once at the start, after clearCancel: the window shows the cancel window
    // ("Checking Groups Database") and the hourglass here.
    std::function<void()> started;
    // Called at every point where the check lets pending events run (once per group, per
    // pager ID and per family looked at); returns true when the operator asked to stop. When
    // empty the check runs to its end.
    std::function<bool()> yieldAndStop;
    // Called first: clears the operator's cancel that yieldAndStop reads, so that a cancel left
    // over from an earlier operation does not stop the check.
    std::function<void()> clearCancel;
};

struct GroupsCheckResult {
    bool ok = false;        // the value for bDBCheckOK: the check ran over all 10 groups
    bool cancelled = false;
    // Every pager ID cleared, in order; the ones cleared before a cancel stay cleared.
    QList<ClearedPagerID> cleared;
};

// Checks every pager ID of every group that is defined ("YES") and active ("1") against the
// families that are defined and active: a pager ID that lies in no such family's range
// (StartID to StartID + PagerQty - 1) becomes "0000". A pager ID that is not a number is never
// found; a family whose StartID or PagerQty is not a number holds no pager ID. Sets
// bPagerIDsAdjusted and marks the database modified when it clears one; clears bGroupsEdited
// when it runs to its end. The closing box is the window's.
GroupsCheckResult CheckGroupPagerIDs(const GroupsCheckHooks &hooks = {});

// The COMP1 protocol takes its default pager from Pager ID 1 of group 1. When group 1 is off
// or that pager ID is empty, the first of the two ports set to such a protocol (a row of the
// table marked defaultPager) is set to the default protocol (DefaultPagingProtocol(): TAP) and
// the database is marked modified. Returns the port switched (1 or 2), 0 when none.
int SwitchCOMP1PortWithoutDefaultPager();
