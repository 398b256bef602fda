#include "editors/groupscheck.h"

#include "model/changes.h"
#include "model/state.h"
#include "protocols/protocoltable.h"

bool bGroupsEdited = false;
bool bPagerIDsAdjusted = false;

std::optional<long long> DigitsValue(const QByteArray &text)
{
    if (text.isEmpty() || text.size() > 9)
        return std::nullopt;
    for (char ch : text)
        if (ch < '0' || ch > '9')
            return std::nullopt;
    return text.toLongLong();
}

bool IsGiven(const QByteArray &text)
{
    if (text.isEmpty())
        return false;
    const auto value = DigitsValue(text);
    return !value || *value > 0;
}

bool HasPagerID(const PagerGroupRec &group)
{
    for (int k = 0; k < GroupPagerIDs; ++k)
        if (IsGiven(group[GrpPagerID1 + k]))
            return true;
    return false;
}

bool FillEmptyGroupFields(PagerGroupRec &group)
{
    bool filled = false;
    auto fill = [&](int field, const char *value) {
        if (group[field].isEmpty()) {
            group[field] = value;
            filled = true;
        }
    };
    fill(GrpID, "0000");
    for (int field : {GrpActive, GrpAux1Active, GrpAux2Active, GrpTimerActive})
        fill(field, "0");
    for (int field : {GrpAux1Msg, GrpAux2Msg, GrpTimerMsg})
        fill(field, "00");
    for (int k = 0; k < GroupPagerIDs; ++k)
        fill(GrpPagerID1 + k, "0000");
    return filled;
}

GroupsSettled SettleGroups()
{
    GroupsSettled settled;
    for (int i = 0; i < GroupCount; ++i) {
        PagerGroupRec &g = DB.PagerGroups[i];
        if (g[GrpActive] == "0")
            continue;
        bool hasID = false;
        for (int k = 0; k < GroupPagerIDs; ++k)
            hasID = hasID || g[GrpPagerID1 + k] != "0000";
        const bool aux1 = g[GrpAux1Active] == "1" && g[GrpAux1Msg] != "00";
        const bool aux2 = g[GrpAux2Active] == "1" && g[GrpAux2Msg] != "00";
        const bool timer = g[GrpTimerActive] == "1" && g[GrpTimerMsg] != "00";
        const bool complete = hasID && (g[GrpID] != "0000" || aux1 || aux2 || timer);

        // A flag whose message is none is switched off.
        for (const auto &[flag, message] : {std::pair{GrpAux1Active, GrpAux1Msg}, std::pair{GrpAux2Active, GrpAux2Msg},
                                            std::pair{GrpTimerActive, GrpTimerMsg}}) {
            if (g[flag] == "1" && g[message] == "00") {
                g[flag] = "0";
                settled.changed = true;
                if (flag == GrpTimerActive)
                    settled.timersSwitchedOff.append(i);
            }
        }

        if (!complete) {
            settled.incomplete = true;
            if (!g[GrpDefined].isEmpty()) {
                g[GrpDefined].clear();
                settled.changed = true;
            }
        } else if (g[GrpDefined] != "YES" && HasPagerID(g)) {
            g[GrpDefined] = "YES";
            settled.changed = true;
        }
    }
    if (settled.changed)
        MarkDatabaseModified();
    return settled;
}

void ResetUndefinedGroups()
{
    for (PagerGroupRec &group : DB.PagerGroups) {
        if (group[GrpDefined] == "YES")
            continue;
        ResetGroupKeepingReference(group);
        group[GrpDefined].clear();
        group[GrpReference].clear();
    }
}

namespace {

// A family's number field as the families check reads it.
std::optional<long long> familyNumber(const QByteArray &text)
{
    bool ok = false;
    const long long v = text.trimmed().toLongLong(&ok, 10);
    return ok ? std::optional<long long>(v) : std::nullopt;
}

class GroupsChecker {
public:
    explicit GroupsChecker(const GroupsCheckHooks &hooks) : m_hooks(hooks) {}

    GroupsCheckResult run()
    {
        if (m_hooks.clearCancel)
            m_hooks.clearCancel();
        if (m_hooks.started)
            m_hooks.started();
        for (int i = 0; i < GroupCount; ++i) {
            if (stopRequested())
                return cancelled();
            const PagerGroupRec &g = DB.PagerGroups[i];
            if (g[GrpDefined] != "YES" || g[GrpActive] != "1")
                continue;
            for (int k = 0; k < GroupPagerIDs; ++k) {
                if (stopRequested())
                    return cancelled();
                QByteArray &id = DB.PagerGroups[i][GrpPagerID1 + k];
                if (id == "0000")
                    continue;
                bool stop = false;
                const bool found = inSomeFamily(id, stop);
                if (stop)
                    return cancelled();
                if (!found) {
                    m_result.cleared.append({i, k, id});
                    id = "0000";
                    bPagerIDsAdjusted = true;
                    MarkDatabaseModified();
                }
            }
        }
        bGroupsEdited = false;
        m_result.ok = true;
        return m_result;
    }

private:
    bool stopRequested() const { return m_hooks.yieldAndStop && m_hooks.yieldAndStop(); }

    GroupsCheckResult cancelled()
    {
        m_result.cancelled = true;
        m_result.ok = false;
        return m_result;
    }

    // Whether a family in use holds the pager ID; stop is set when the operator stopped the
    // search.
    bool inSomeFamily(const QByteArray &id, bool &stop) const
    {
        const auto value = DigitsValue(id);
        for (const FamilyRec &f : DB.Families) {
            if (stopRequested()) {
                stop = true;
                return false;
            }
            if (!value || f[FamDefined] != "YES" || f[FamActive] != "1")
                continue;
            const auto start = familyNumber(f[FamStartID]);
            const auto qty = familyNumber(f[FamPagerQty]);
            if (start && qty && *start <= *value && *value <= *start + *qty - 1)
                return true;
        }
        return false;
    }

    const GroupsCheckHooks &m_hooks;
    GroupsCheckResult m_result;
};

} // namespace

GroupsCheckResult CheckGroupPagerIDs(const GroupsCheckHooks &hooks)
{
    return GroupsChecker(hooks).run();
}

int SwitchCOMP1PortWithoutDefaultPager()
{
    const PagerGroupRec &first = DB.PagerGroups[0];
    if (first[GrpActive] != "0" && IsGiven(first[GrpPagerID1]))
        return 0;
    const QByteArray fallback = DefaultPagingProtocol().code;
    int port = 0;
    if (PagesDefaultPager(EncoderSettings.sPort1Protocol)) {
        EncoderSettings.sPort1Protocol = fallback;
        port = 1;
    } else if (PagesDefaultPager(EncoderSettings.sPort2Protocol)) {
        EncoderSettings.sPort2Protocol = fallback;
        port = 2;
    }
    if (port != 0)
        MarkDatabaseModified();
    return port;
}
