#include "encoder/write/writecheck.h"

#include "encoder/controlbytes.h"
#include "model/database.h"
#include "model/state.h"

#include <utility>

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

std::optional<QByteArray> FieldWithControlByte(WriterVariant variant, const QByteArray &firmwareVer)
{
    const EncoderConfig &s = EncoderSettings;
    QList<std::pair<const char *, const QByteArray *>> settings;
    if (variant == WriterVariant::TwoPort && firmwareVer != "9.01")
        settings.append({"Station ID", &s.sStationID});
    settings.append({"Duty Cycle", &s.sDutyCycle});
    settings.append({"Max Msgs/Batch", &s.sMaxBatch});
    if (variant == WriterVariant::TwoPort)
        settings.append({{"Port 1 Flow Control", &s.sPort1Flow},
                         {"Port 2 Flow Control", &s.sPort2Flow},
                         {"Port 1 Protocol", &s.sPort1Protocol},
                         {"Port 2 Protocol", &s.sPort2Protocol},
                         {"Port 1 Baud Rate", &s.sPort1Baud},
                         {"Port 2 Baud Rate", &s.sPort2Baud},
                         {"Port 1 Data Bits", &s.sPort1DataBits},
                         {"Port 2 Data Bits", &s.sPort2DataBits}});
    for (const auto &[name, value] : std::as_const(settings))
        if (HoldsControlByte(*value))
            return QByteArray(name);

    // Groups and families not in use go out as lines of zeros: their fields are not sent.
    for (int g = 0; g < GroupCount; ++g) {
        const PagerGroupRec &grp = DB.PagerGroups[g];
        if (grp[GrpDefined] != "YES")
            continue;
        for (int field = 0; field < GrpDefined; ++field)
            if (HoldsControlByte(grp[field]))
                return "Group " + QByteArray::number(g + 1) + ' ' + groupFieldName(field);
    }
    for (int f = 0; f < FamilyCount; ++f) {
        const FamilyRec &fam = DB.Families[f];
        if (fam[FamDefined] != "YES")
            continue;
        for (int field = 0; field < FamDefined; ++field)
            if (HoldsControlByte(fam[field]))
                return "Family " + QByteArray::number(f + 1) + ' ' + kFamilyFields[field];
    }
    for (int m = 0; m < MessageCount; ++m)
        if (HoldsControlByte(DB.CannedMsgs[m]))
            return "Canned Message " + QByteArray::number(m + 1);
    return std::nullopt;
}
