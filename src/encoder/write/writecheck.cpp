#include "encoder/write/writecheck.h"

#include "encoder/controlbytes.h"
#include "encoder/settingforms.h"
#include "model/database.h"
#include "model/state.h"

namespace {

// The group fields a record carries, as the groups editor names them.
const char *const kGroupFields[] = {"Group ID", "Active", "Aux 1 Active", "Aux 1 Msg",
                                    "Aux 2 Active", "Aux 2 Msg", "Timer Active", "Timer Msg #"};
// The family fields a record carries, as the families editor names them.
const char *const kFamilyFields[] = {"Active",    "Start Capcode", "Data Rate",  "Pager Type", "Func Code",
                                     "Pager Qty", "Start ID",      "Prefix Msg", "Suffix Msg"};
static_assert(std::size(kGroupFields) == GrpPagerID1);
static_assert(std::size(kFamilyFields) == FamDefined);

QByteArray groupFieldName(int field)
{
    if (field >= GrpPagerID1)
        return "Pager ID " + QByteArray::number(field - GrpPagerID1 + 1);
    return kGroupFields[field];
}

} // namespace

std::optional<UnsendableValue> FirstUnsendableValue(WriterVariant variant, const QByteArray &firmwareVer)
{
    for (const TextSetting &setting : TextSettings()) {
        if (setting.twoPortOnly && variant != WriterVariant::TwoPort)
            continue;
        if (setting.value == &EncoderConfig::sStationID && firmwareVer == "9.01")
            continue;
        const QByteArray &value = EncoderSettings.*setting.value;
        if (HoldsControlByte(value))
            return UnsendableValue{setting.name, value, true};
        if (!HasForm(setting.form, value))
            return UnsendableValue{setting.name, value, false};
    }

    // Groups and families not in use go out as lines of zeros: their fields are not sent.
    for (int g = 0; g < GroupCount; ++g) {
        const PagerGroupRec &grp = DB.PagerGroups[g];
        if (grp[GrpDefined] != "YES")
            continue;
        for (int field = 0; field < GrpDefined; ++field)
            if (HoldsControlByte(grp[field]))
                return UnsendableValue{"Group " + QByteArray::number(g + 1) + ' ' + groupFieldName(field),
                                       grp[field], true};
    }
    for (int f = 0; f < FamilyCount; ++f) {
        const FamilyRec &fam = DB.Families[f];
        if (fam[FamDefined] != "YES")
            continue;
        for (int field = 0; field < FamDefined; ++field)
            if (HoldsControlByte(fam[field]))
                return UnsendableValue{"Family " + QByteArray::number(f + 1) + ' ' + kFamilyFields[field],
                                       fam[field], true};
    }
    for (int m = 0; m < MessageCount; ++m)
        if (HoldsControlByte(DB.CannedMsgs[m]))
            return UnsendableValue{"Canned Message " + QByteArray::number(m + 1), DB.CannedMsgs[m], true};
    return std::nullopt;
}
