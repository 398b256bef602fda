#pragma once
// The record step of a database read: the requests for the groups, families and canned
// messages, and how each one-line reply is stored into the displayed database.

#include <QByteArray>

// The configuration pager ID that record requests are addressed to.
inline constexpr char ReadConfigPagerID[] = "061c74";
// The encoder's logon prompt: in the reply to a settings, record or ID-as-capcode command it
// means the encoder is not in programming mode (it answers as a paging terminal), and the
// command has failed.
inline constexpr char LogonPrompt[] = "ID=";

enum class RecordKind { Group, Family, Message };

// "L 3", "G 17", "M 15".
QByteArray RecordRequest(RecordKind kind, int number);
// "Group 3", "Family 17", "Message 15": the item of the status text.
QByteArray RecordStatusItem(RecordKind kind, int number);

// The answer in a reply: everything up to its first CR LF, the CR LF included. What arrives
// after it (a late answer to an earlier command, say) is not part of the answer. A reply
// without CR LF is returned whole.
QByteArray FirstLine(const QByteArray &reply);

// Whether the answer (FirstLine) is the record asked for: the request's letter and number,
// then a blank or the line's end ("G 17 ..." answers "G 17", not "G 1").
bool AnswersRequest(const QByteArray &answer, const QByteArray &request);

// Whether text holds the encoder's logon prompt "ID=" (it answered as a paging terminal)
// outside the part that runs from its first double quote to its last: a canned message
// between quotes may hold "ID=" as text.
bool LogonPromptOutsideQuotes(const QByteArray &text);
// The logon prompt in the reply to a record request: anywhere but inside the quoted text of
// a message's answer.
bool RecordReplyHoldsLogonPrompt(RecordKind kind, const QByteArray &reply);

// Stores the reply (CR LF included) to the request for group/family number (1-based).
// The fields go through SplitFields into sTokens/iTokenCount. A two-port encoder answers an
// unused group with a three-field line, which marks the group not defined; the V7 reader
// stores every group reply as a defined group (emptyGroupRule false).
void StoreGroupReply(int number, const QByteArray &reply, bool emptyGroupRule);
void StoreFamilyReply(int number, const QByteArray &reply);
// The text between the first double quote and the last three characters of the reply.
void StoreMessageReply(int number, const QByteArray &reply);
