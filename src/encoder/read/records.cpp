#include "encoder/read/records.h"

#include "encoder/recordblock.h"
#include "model/database.h"
#include "model/state.h"

QByteArray RecordRequest(RecordKind kind, int number)
{
    const char letter = kind == RecordKind::Group ? 'L' : kind == RecordKind::Family ? 'G' : 'M';
    return QByteArray(1, letter) + ' ' + QByteArray::number(number);
}

QByteArray RecordStatusItem(RecordKind kind, int number)
{
    const char *name = kind == RecordKind::Group ? "Group " : kind == RecordKind::Family ? "Family "
                                                                                         : "Message ";
    return QByteArray(name) + QByteArray::number(number);
}

QByteArray FirstLine(const QByteArray &reply)
{
    const qsizetype end = reply.indexOf("\r\n");
    return end < 0 ? reply : reply.left(end + 2);
}

bool AnswersRequest(const QByteArray &answer, const QByteArray &request)
{
    if (!answer.startsWith(request))
        return false;
    const qsizetype next = request.size();
    return next == answer.size() || answer.at(next) == ' ' || answer.at(next) == '\r';
}

bool LogonPromptOutsideQuotes(const QByteArray &text)
{
    const qsizetype open = text.indexOf('"');
    const qsizetype close = text.lastIndexOf('"');
    if (open < 0 || close == open)
        return text.contains(LogonPrompt);
    return text.left(open).contains(LogonPrompt) || text.mid(close + 1).contains(LogonPrompt);
}

bool RecordReplyHoldsLogonPrompt(RecordKind kind, const QByteArray &reply)
{
    if (kind != RecordKind::Message)
        return reply.contains(LogonPrompt);
    const QByteArray answer = FirstLine(reply);
    return LogonPromptOutsideQuotes(answer) || reply.mid(answer.size()).contains(LogonPrompt);
}

namespace {
// The reply less its CR LF, cut at blanks into sTokens; returns the field count.
int splitReply(const QByteArray &reply)
{
    QByteArray tail;
    Run.iTokenCount = SplitFields(Run.sTokens, tail, reply.chopped(qMin<qsizetype>(2, reply.size())), " ");
    return Run.iTokenCount;
}

// Field k of the line (1-based) when the line has it.
const QByteArray *token(int k)
{
    return k <= Run.iTokenCount ? &Run.sTokens[k] : nullptr;
}
} // namespace

void StoreGroupReply(int number, const QByteArray &reply, bool emptyGroupRule)
{
    PagerGroupRec &grp = DB.PagerGroups[number - 1];
    const int count = splitReply(reply);
    if (emptyGroupRule && count == 3) {
        grp[GrpDefined] = "NO";
        return;
    }
    // Fields 3..30 of the line are the group's first 28 fields; missing ones keep their text.
    for (int k = 0; k <= GrpPagerID20; ++k)
        if (const QByteArray *t = token(k + 3))
            grp[k] = *t;
    grp[GrpDefined] = "YES";
}

void StoreFamilyReply(int number, const QByteArray &reply)
{
    FamilyRec &fam = DB.Families[number - 1];
    const int count = splitReply(reply);
    if (count == 3) {
        fam[FamStartCap] = "0000000";
        fam[FamDefined] = "YES";
        return;
    }
    for (int k = 0; k <= FamSuffix; ++k) {
        const QByteArray *t = token(k + 3);
        if (!t)
            continue;
        fam[k] = *t;
        if (k == FamStartID) {
            // "0012" is kept as "012"; "0000" and "1000" stay as they are.
            bool isNumber = false;
            const long long value = t->toLongLong(&isNumber);
            if (t->startsWith('0') && !(isNumber && value == 0))
                fam[k] = t->right(3);
        }
    }
    if (fam[FamActive] == "0" && fam[FamPagerQty] == "000") {
        fam[FamStartCap] = "0000000";
        fam[FamDefined].clear();
    } else {
        fam[FamDefined] = "YES";
    }
}

void StoreMessageReply(int number, const QByteArray &reply)
{
    QByteArray &msg = DB.CannedMsgs[number - 1];
    if (reply.size() == 8) {
        msg.clear();
        return;
    }
    const qsizetype q = reply.indexOf('"'); // -1 when there is none: the text starts at 0
    const qsizetype length = reply.size() - (q + 1) - 3;
    // A quote among the last characters leaves no room for a text: store the empty text.
    msg = length > 0 ? reply.mid(q + 1, length) : QByteArray();
}
