#pragma once
// The database records a write sends: the 10 groups, the 50 families and the 15 canned
// messages, each as one line of text in a record block addressed to the writer's configuration
// pager ID, each acknowledged by RS CR.

#include "encoder/read/records.h"
#include "encoder/write/writecommands.h"
#include "model/database.h"

#include <QByteArray>
#include <QList>

enum class WriterVariant { TwoPort, V7 };

inline constexpr char WriteConfigPagerID[] = "0047d16";
inline constexpr char WriteConfigPagerIDV7[] = "052e39";
inline constexpr int RecordCount = GroupCount + FamilyCount + MessageCount;

QByteArray WriteConfigPagerIDFor(WriterVariant variant);

// Record texts: letter, blank, number (1-based) and each field after one blank, copied as
// stored. A group or family whose Defined field is not exactly "YES" goes out as its writer's
// line of zeros.
QByteArray GroupRecordText(int number, const PagerGroupRec &grp, WriterVariant variant);
QByteArray FamilyRecordText(int number, const FamilyRec &fam);
// The message between double quotes, whole and unchanged.
QByteArray MessageRecordText(int number, const QByteArray &text);

// The 75 record texts from PagerGroups, Families and CannedMsgs, in sending order.
QList<QByteArray> RecordTexts(WriterVariant variant);

// The 75 record exchanges: status "Writing Pager Database - Group 1" and so on, the record
// block with no ending after it, the reply ended by RS CR; the two-port writer's group records
// set the reply interval to 4000 ms.
QList<WriteCommand> RecordCommands(WriterVariant variant);
