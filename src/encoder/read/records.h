#pragma once
// The record step of a database read: the requests for the groups, families and canned
// messages, and how each one-line reply is stored into the displayed database.

#include <QByteArray>

// The configuration pager ID that record requests are addressed to.
inline constexpr char ReadConfigPagerID[] = "061c74";

enum class RecordKind { Group, Family, Message };

// "L 3", "G 17", "M 15".
QByteArray RecordRequest(RecordKind kind, int number);
// "Group 3", "Family 17", "Message 15": the item of the status text.
QByteArray RecordStatusItem(RecordKind kind, int number);

// Stores the reply (CR LF included) to the request for group/family number (1-based).
// The fields go through SplitFields into sTokens/iTokenCount. A two-port encoder answers an
// unused group with a three-field line, which marks the group not defined; the V7 reader
// stores every group reply as a defined group (emptyGroupRule false).
void StoreGroupReply(int number, const QByteArray &reply, bool emptyGroupRule);
void StoreFamilyReply(int number, const QByteArray &reply);
// The text between the first double quote and the last three characters of the reply.
void StoreMessageReply(int number, const QByteArray &reply);
