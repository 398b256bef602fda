#include "editors/familiescheck.h"

#include "model/state.h"

#include <optional>

bool bFamiliesEdited = false;
bool bFamFieldsAdjusted = false;

namespace {

// A whole number as the check reads a field; anything else cannot be used.
std::optional<long long> wholeNumber(const QByteArray &text)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok, 10);
    if (!ok)
        return std::nullopt;
    return v;
}

QByteArray zeroFilled(long long value, qsizetype width)
{
    QByteArray text = QByteArray::number(value);
    if (text.size() < width)
        text.prepend(QByteArray(width - text.size(), '0'));
    return text;
}

class Checker {
public:
    Checker(std::array<FamilyRec, FamilyCount> &fams, bool incBy8, const FamiliesCheckHooks &hooks)
        : m_fams(fams), m_step(incBy8 ? 8 : 1), m_hooks(hooks)
    {
    }

    FamiliesCheckResult run()
    {
        for (m_pass = 1;; ++m_pass) {
            m_passUnchanged = true;
            if (m_hooks.clearCancel)
                m_hooks.clearCancel();
            if (m_hooks.passStarted)
                m_hooks.passStarted();
            if (!capcodeScan() || !pagerIDScan()) {
                // Stopped by the operator, or at a family that cannot be moved.
                m_result.cancelled = m_result.pagerIDsExceededRow < 0;
                m_result.ok = false;
                return m_result;
            }
            if (m_passUnchanged)
                break;
            bFamFieldsAdjusted = true;
        }
        bFamiliesEdited = false;
        m_result.ok = true;
        return m_result;
    }

private:
    struct Numbers {
        long long startCap;
        long long startID;
        long long qty;
    };

    bool stopRequested() const
    {
        return m_hooks.yieldAndStop && m_hooks.yieldAndStop();
    }

    bool takesPart(int row) const
    {
        return m_fams[row][FamDefined] == "YES" && m_fams[row][FamActive] == "1";
    }

    // The family's numbers, or nothing when one of them cannot be used (reported once).
    std::optional<Numbers> numbers(int row)
    {
        const FamilyRec &fam = m_fams[row];
        const auto cap = wholeNumber(fam[FamStartCap]);
        const auto id = wholeNumber(fam[FamStartID]);
        const auto qty = wholeNumber(fam[FamPagerQty]);
        QString problem;
        if (!cap)
            problem = QStringLiteral("Start Capcode \"%1\" is not a number").arg(QString::fromLatin1(fam[FamStartCap]));
        else if (!id)
            problem = QStringLiteral("Start ID \"%1\" is not a number").arg(QString::fromLatin1(fam[FamStartID]));
        else if (!qty || *qty < 1 || *qty > MaxPagerQty)
            problem = QStringLiteral("Pager Qty \"%1\" is not a number from 1 to %2")
                          .arg(QString::fromLatin1(fam[FamPagerQty]))
                          .arg(MaxPagerQty);
        if (problem.isEmpty())
            return Numbers{*cap, *id, *qty};
        if (!m_reported[row]) {
            m_reported[row] = true;
            if (m_hooks.fault)
                m_hooks.fault(row, QStringLiteral("Family %1: %2; the family was not checked.").arg(row + 1).arg(problem));
        }
        return std::nullopt;
    }

    long long lastCapcode(const Numbers &n) const { return n.startCap + (n.qty - 1) * m_step; }

    QByteArray endCapText(const Numbers &n) const { return zeroFilled(lastCapcode(n), 7); }

    QByteArray endIDText(int row, const Numbers &n) const
    {
        return zeroFilled(n.startID + n.qty - 1, m_fams[row][FamStartID].size());
    }

    void record(int row, FamilyField field, const QByteArray &newText, FamilyCorrectionReason reason,
                const Numbers &after)
    {
        FamilyCorrection c;
        c.row = row;
        c.field = field;
        c.column = field == FamStartCap ? FamColStartCap : field == FamStartID ? FamColStartID : FamColPagerQty;
        c.oldText = m_fams[row][field];
        c.newText = newText;
        c.reason = reason;
        c.pass = m_pass;
        m_fams[row][field] = newText;
        if (field != FamStartID)
            c.endCapText = endCapText(after);
        if (field != FamStartCap)
            c.endIDText = endIDText(row, after);
        m_result.corrections.append(c);
        m_passUnchanged = false;
    }

    void moveCapcodes(int row, Numbers &n, long long newStart, FamilyCorrectionReason reason)
    {
        n.startCap = newStart;
        const QByteArray text = reason == FamilyCorrectionReason::LowStartCapcode ? QByteArray("0000008")
                                                                                  : QByteArray::number(newStart);
        record(row, FamStartCap, text, reason, n);
    }

    // Moves the range below an illegal block when it holds any of its values. False on a stop.
    bool clearBlock(int row, Numbers &n, long long blockFirst, FamilyCorrectionReason reason)
    {
        for (long long c = blockFirst; c < blockFirst + IllegalBlockSize; ++c) {
            if (stopRequested())
                return false;
            if (n.startCap <= c && c <= lastCapcode(n))
                moveCapcodes(row, n, blockFirst - n.qty * m_step, reason);
        }
        return true;
    }

    bool capcodeScan()
    {
        for (int i = 0; i < FamilyCount; ++i) {
            if (stopRequested())
                return false;
            if (!takesPart(i))
                continue;
            auto n = numbers(i);
            if (!n)
                continue;
            if (n->startCap < LowestStartCapcode)
                moveCapcodes(i, *n, LowestStartCapcode, FamilyCorrectionReason::LowStartCapcode);
            if (lastCapcode(*n) > HighestCapcode)
                moveCapcodes(i, *n, HighestCapcode - n->qty * m_step, FamilyCorrectionReason::AboveHighestCapcode);
            if (!clearBlock(i, *n, UpperIllegalFirst, FamilyCorrectionReason::UpperIllegalBlock)
                || !clearBlock(i, *n, LowerIllegalFirst, FamilyCorrectionReason::LowerIllegalBlock))
                return false;
        }
        return true;
    }

    // Moves family j's pager IDs to start after e. False, with nothing changed, when its range
    // would then end past the highest pager ID: the check stops there.
    bool moveIDsAfter(int j, Numbers &nj, long long e, FamilyCorrectionReason reason)
    {
        if (e + nj.qty > HighestPagerID) {
            m_result.pagerIDsExceededRow = j;
            return false;
        }
        nj.startID = e + 1;
        record(j, FamStartID, QByteArray::number(nj.startID), reason, nj);
        return true;
    }

    // The later family of an overlapping pair moves after the earlier one (it starts inside
    // it or encloses it) or is cut short before it (it ends inside it); the earlier family
    // never changes. False on a stop.
    bool pagerIDScan()
    {
        for (int i = 0; i < FamilyCount; ++i) {
            if (stopRequested())
                return false;
            if (!takesPart(i))
                continue;
            const auto ni = numbers(i);
            if (!ni)
                continue;
            const long long s = ni->startID;
            const long long e = s + ni->qty - 1;
            for (int j = i + 1; j < FamilyCount; ++j) {
                if (stopRequested())
                    return false;
                if (!takesPart(j))
                    continue;
                auto nj = numbers(j);
                if (!nj)
                    continue;
                if (s <= nj->startID && nj->startID <= e
                    && !moveIDsAfter(j, *nj, e, FamilyCorrectionReason::StartIDOverlap))
                    return false;
                const long long ej = nj->startID + nj->qty - 1;
                if (s <= ej && ej <= e) {
                    nj->qty = s - nj->startID;
                    record(j, FamPagerQty, QByteArray::number(nj->qty), FamilyCorrectionReason::EndIDOverlap, *nj);
                } else if (nj->startID < s && ej > e
                           && !moveIDsAfter(j, *nj, e, FamilyCorrectionReason::EnclosingIDOverlap)) {
                    return false;
                }
            }
        }
        return true;
    }

    std::array<FamilyRec, FamilyCount> &m_fams;
    const long long m_step;
    const FamiliesCheckHooks &m_hooks;
    FamiliesCheckResult m_result;
    std::array<bool, FamilyCount> m_reported{};
    int m_pass = 0;
    bool m_passUnchanged = true;
};

} // namespace

FamiliesCheckResult CheckFamiliesDatabase(const FamiliesCheckHooks &hooks)
{
    return Checker(DB.Families, EncoderSettings.bIncCapBy8, hooks).run();
}

bool IsFamilyComplete(const FamilyRec &fam)
{
    for (FamilyField field : {FamActive, FamStartCap, FamRate, FamPgrType, FamFunc, FamPagerQty, FamStartID,
                              FamPrefix, FamSuffix})
        if (fam[field].isEmpty())
            return false;
    if (fam[FamPagerQty] == "000" || fam[FamStartID] == "0000")
        return false;
    // A start capcode of 1 to 7 is kept: the families check raises it to the lowest one.
    bool ok = false;
    const long long cap = fam[FamStartCap].trimmed().toLongLong(&ok, 10);
    if (!ok || cap < 1)
        return false;
    return fam[FamPgrType] == "N" || fam[FamPgrType] == "A";
}

bool EraseIncompleteFamily(FamilyRec &fam)
{
    fam[FamDefined].clear();
    fam[FamPagerQty] = "000";
    fam[FamStartID] = "0000";
    fam[FamStartCap] = "0000000";
    fam[FamPgrType] = "A";
    fam[FamFunc] = "3";
    if (fam[FamActive] != "1")
        return false;
    fam[FamActive] = "0";
    return true;
}

QList<int> DefineOrEraseFamilies()
{
    QList<int> switchedOff;
    for (int row = 0; row < FamilyCount; ++row) {
        FamilyRec &fam = DB.Families[row];
        if (IsFamilyComplete(fam))
            fam[FamDefined] = "YES";
        else if (EraseIncompleteFamily(fam))
            switchedOff.append(row);
    }
    return switchedOff;
}
