#include "model/dbfile.h"

#include "model/database.h"
#include "model/state.h"

namespace {

const QByteArray LineEnd = "\r\n";

// One settings line: the key as written (comma included), the beginning the reader
// recognises, and the variable it carries (a flag or a text).
struct SettingLine {
    const char *key;
    const char *beginning;
    bool *flag;
    QByteArray *text;
};

// In the order they are written.
const SettingLine SettingLines[] = {
    {"InvertData,", "InvertD", &EncoderSettings.bInvertData, nullptr},
    {"InvertRFCD,", "InvertR", &EncoderSettings.bInvertRFCD, nullptr},
    {"DutyCycle,", "Dut", nullptr, &EncoderSettings.sDutyCycle},
    {"MaxBatch,", "Max", nullptr, &EncoderSettings.sMaxBatch},
    {"IgnoreRFCD,", "Ign", &EncoderSettings.bIgnoreRFCD, nullptr},
    {"IncCapsby8,", "IncCaps", &EncoderSettings.bIncCapBy8, nullptr},
    {"Serial1 PPHReset,", "Serial1 PPH", &EncoderSettings.bPort1PPHReset, nullptr},
    {"Serial2 PPHReset,", "Serial2 PPH", &EncoderSettings.bPort2PPHReset, nullptr},
    {"Serial1 IDAsCap,", "Serial1 IDA", &EncoderSettings.bPort1IDAsCap, nullptr},
    {"Serial2 IDAsCap,", "Serial2 IDA", &EncoderSettings.bPort2IDAsCap, nullptr},
    {"Serial1 Flow,", "Serial1 Flo", nullptr, &EncoderSettings.sPort1Flow},
    {"Serial2 Flow,", "Serial2 Flo", nullptr, &EncoderSettings.sPort2Flow},
    {"Serial1 Protocol,", "Serial1 Pro", nullptr, &EncoderSettings.sPort1Protocol},
    {"Serial2 Protocol,", "Serial2 Pro", nullptr, &EncoderSettings.sPort2Protocol},
    {"Serial1 Baud,", "Serial1 Bau", nullptr, &EncoderSettings.sPort1Baud},
    {"Serial2 Baud,", "Serial2 Bau", nullptr, &EncoderSettings.sPort2Baud},
    {"Serial1 Databits,", "Serial1 Dat", nullptr, &EncoderSettings.sPort1DataBits},
    {"Serial2 Databits,", "Serial2 Dat", nullptr, &EncoderSettings.sPort2DataBits},
    {"Serial1 Verbose,", "Serial1 Ver", &EncoderSettings.bPort1Verbose, nullptr},
    {"Serial2 Verbose,", "Serial2 Ver", &EncoderSettings.bPort2Verbose, nullptr},
};

// Positions of the record lines in the file (0-based line numbers).
constexpr qsizetype FirstGroupLine = FamilyCount;
constexpr qsizetype FirstMessageLine = FirstGroupLine + GroupCount;

// Takes the comma-separated fields of a family or group line one by one. An empty field
// (a comma straight away) leaves its target alone. A field with no comma after it takes the
// whole rest and uses the line up: every later field is left alone as well.
class FieldReader {
public:
    explicit FieldReader(const QByteArray &value) : value_(value) {}

    // Stores the next field into target; true when it was taken from text that a comma follows.
    bool next(QByteArray &target)
    {
        if (usedUp_)
            return false;
        const qsizetype comma = value_.indexOf(',', pos_);
        if (comma < 0) {
            target = value_.mid(pos_);
            usedUp_ = true;
            return false;
        }
        const bool taken = comma > pos_;
        if (taken)
            target = value_.mid(pos_, comma - pos_);
        pos_ = comma + 1;
        return taken;
    }

    bool usedUp() const { return usedUp_; }
    QByteArray rest() const { return value_.mid(pos_); }

private:
    const QByteArray &value_;
    qsizetype pos_ = 0;
    bool usedUp_ = false;
};

void readFamily(FamilyRec &fam, const QByteArray &value)
{
    FieldReader fields(value);
    for (int f = FamActive; f <= FamSuffix; ++f) {
        const bool commaFollows = fields.next(fam[f]);
        if (f == FamStartID && commaFollows && fam[f].size() < 3)
            fam[f].prepend(QByteArray(3 - fam[f].size(), '0'));
    }
    if (fam[FamActive] == "1")
        fam[FamDefined] = "YES";
}

void readGroup(PagerGroupRec &grp, const QByteArray &value)
{
    FieldReader fields(value);
    for (int f = GrpID; f <= GrpPagerID20; ++f)
        fields.next(grp[f]);
    if (!fields.usedUp())
        grp[GrpReference] = fields.rest();
    if (grp[GrpID] != "0000")
        grp[GrpDefined] = "YES";
}

// Calls take(line) for every line of content. A line ends with CR LF, a bare LF or a bare CR;
// the text after the last line end, when there is any, is one more line.
template <typename Take> void forEachLine(const QByteArray &content, Take take)
{
    const qsizetype size = content.size();
    qsizetype start = 0;
    while (start < size) {
        qsizetype end = start;
        while (end < size && content[end] != '\r' && content[end] != '\n')
            ++end;
        take(content.mid(start, end - start));
        if (end < size && content[end] == '\r' && end + 1 < size && content[end + 1] == '\n')
            ++end;
        start = end + 1;
    }
}

} // namespace

QByteArray WriteDBFile(const QByteArray &notes)
{
    QByteArray out;
    for (int n = 0; n < FamilyCount; ++n) {
        out += "Fam" + QByteArray::number(n + 1);
        for (int f = FamActive; f <= FamSuffix; ++f)
            out += ',' + DB.Families[n][f];
        out += LineEnd;
    }
    for (int n = 0; n < GroupCount; ++n) {
        out += "Grp" + QByteArray::number(n + 1);
        for (int f = GrpID; f <= GrpPagerID20; ++f)
            out += ',' + DB.PagerGroups[n][f];
        out += ',' + DB.PagerGroups[n][GrpReference] + LineEnd;
    }
    for (int n = 0; n < MessageCount; ++n)
        out += "Msg" + QByteArray::number(n + 1) + ',' + DB.CannedMsgs[n] + LineEnd;
    for (const SettingLine &s : SettingLines) {
        out += s.key;
        out += s.flag ? QByteArray(*s.flag ? "1" : "0") : *s.text;
        out += LineEnd;
    }
    out += "Notes,\"" + notes + '"' + LineEnd;
    return out;
}

DBFileReadResult ReadDBFile(const QByteArray &file)
{
    // A text editor may have put a UTF-8 byte-order mark before the first line.
    const QByteArray content = file.startsWith("\xEF\xBB\xBF") ? file.mid(3) : file;
    DBFileReadResult result;
    qsizetype p = 0;
    forEachLine(content, [&](const QByteArray &line) {
        const qsizetype comma = line.indexOf(',');
        const QByteArray value = comma < 0 ? line : line.mid(comma + 1);

        if (line.startsWith("Fam")) {
            if (p < FamilyCount)
                readFamily(DB.Families[p], value);
        } else if (line.startsWith("Grp")) {
            if (p >= FirstGroupLine && p < FirstGroupLine + GroupCount)
                readGroup(DB.PagerGroups[p - FirstGroupLine], value);
        } else if (line.startsWith("Msg")) {
            if (p >= FirstMessageLine && p < FirstMessageLine + MessageCount)
                DB.CannedMsgs[p - FirstMessageLine] = value;
        } else if (line.startsWith("Not")) {
            // The notes stand between two quote characters; whatever the outer two are, they go.
            result.notes = value.size() < 2 ? QByteArray() : value.mid(1, value.size() - 2);
        } else {
            for (const SettingLine &s : SettingLines) {
                if (!line.startsWith(s.beginning))
                    continue;
                if (s.flag) {
                    *s.flag = value == "1";
                    if (s.flag == &EncoderSettings.bIncCapBy8)
                        result.incCapBy8Label = *s.flag;
                    else if (s.flag == &EncoderSettings.bPort1IDAsCap)
                        result.port1IDAsCapLabel = *s.flag;
                } else {
                    *s.text = value;
                }
                break;
            }
        }
        ++p;
    });
    return result;
}
