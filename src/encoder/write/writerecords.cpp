#include "encoder/write/writerecords.h"

#include "encoder/recordblock.h"
#include "encoder/timeouts.h"

namespace {
QByteArray head(char letter, int number) { return QByteArray(1, letter) + ' ' + QByteArray::number(number); }

template <typename Rec>
QByteArray withFields(QByteArray text, const Rec &rec, int count)
{
    for (int i = 0; i < count; ++i)
        text += ' ' + rec[i];
    return text;
}

QByteArray twoPortEmptyGroup()
{
    QByteArray text = " 0000 0 0 00 0 00 0 00";
    for (int i = 0; i < GroupPagerIDs; ++i)
        text += " 0000";
    return text;
}
} // namespace

QByteArray WriteConfigPagerIDFor(WriterVariant variant)
{
    return variant == WriterVariant::TwoPort ? WriteConfigPagerID : WriteConfigPagerIDV7;
}

QByteArray GroupRecordText(int number, const PagerGroupRec &grp, WriterVariant variant)
{
    const QByteArray text = head('L', number);
    if (grp[GrpDefined] == "YES")
        return withFields(text, grp, GrpDefined); // Defined and Reference stay here
    return text + (variant == WriterVariant::TwoPort ? twoPortEmptyGroup() : " 0 0 0 0 0 0 0 0");
}

QByteArray FamilyRecordText(int number, const FamilyRec &fam)
{
    const QByteArray text = head('G', number);
    if (fam[FamDefined] == "YES")
        return withFields(text, fam, FamDefined);
    return text + " 0 8 5 A 0 0 0 0 0";
}

QByteArray MessageRecordText(int number, const QByteArray &text)
{
    return head('M', number) + " \"" + text + '"';
}

QList<QByteArray> RecordTexts(WriterVariant variant)
{
    QList<QByteArray> texts;
    texts.reserve(RecordCount);
    for (int i = 0; i < GroupCount; ++i)
        texts.append(GroupRecordText(i + 1, DB.PagerGroups[i], variant));
    for (int i = 0; i < FamilyCount; ++i)
        texts.append(FamilyRecordText(i + 1, DB.Families[i]));
    for (int i = 0; i < MessageCount; ++i)
        texts.append(MessageRecordText(i + 1, DB.CannedMsgs[i]));
    return texts;
}

QList<WriteCommand> RecordCommands(WriterVariant variant)
{
    const QByteArray pagerID = WriteConfigPagerIDFor(variant);
    const QList<QByteArray> texts = RecordTexts(variant);
    QList<WriteCommand> list;
    list.reserve(texts.size());
    for (int i = 0; i < texts.size(); ++i) {
        const RecordKind kind = i < GroupCount ? RecordKind::Group
                                : i < GroupCount + FamilyCount ? RecordKind::Family
                                                               : RecordKind::Message;
        const int number = kind == RecordKind::Group    ? i + 1
                           : kind == RecordKind::Family ? i + 1 - GroupCount
                                                        : i + 1 - GroupCount - FamilyCount;
        WriteCommand c;
        c.status = WritingProgress + RecordStatusItem(kind, number);
        c.command = BuildTAPBlock(pagerID, texts[i]);
        c.replyEnd = RecordAck;
        c.messageRecord = kind == RecordKind::Message;
        if (variant == WriterVariant::TwoPort && kind == RecordKind::Group)
            c.replyTimeout = timeouts::TwoPortRecord;
        list.append(c);
    }
    return list;
}
