#pragma once
// The pager-ID lookup: the exchange with the encoder, its texts (the command, the rewriting of
// the encoder's terse answer) and the local check of a pager ID that stands for its capcode
// (ID-as-capcode mode on port 1).

#include <QByteArray>
#include <QString>

// Every occurrence of search in text replaced by replacement, left to right; the search goes on
// right after each inserted replacement, so inserted text is never searched again and
// occurrences do not overlap. Case matters. An empty search text changes nothing.
QByteArray ReplaceText(QByteArray text, QByteArray search, QByteArray replacement);

// "LOOKUP " followed by the pager ID as typed (also an empty one) and CR LF.
QByteArray LookupCommand(const QByteArray &pagerID);

// The encoder's answer in the program's words ("list" becomes "Group", " capcode " ", Cap=",
// the function bits 00..11 ", Func=1".."4", ...).
QByteArray RewriteLookupReply(const QByteArray &reply);

// The local answer of ID-as-capcode mode.
struct CapcodeCheck {
    enum Result {
        Valid,
        Refused,          // not digits, empty, 0 through 8 or one of the illegal blocks
        RefusedTooLarge,  // above 2097143, including values beyond a 32-bit number
    };
    Result result = Refused;
    QByteArray capcode; // when valid: the entry left-padded with "0" to 7 characters
};
CapcodeCheck CheckLookupCapcode(const QByteArray &entry);

// The "Invalid Capcode" box's text; tooLarge chooses the first line's form.
QString InvalidCapcodeText(bool tooLarge);

// The label text of a valid local answer: ID "<entry>", Cap=<capcode>, Type=A, Rate=512 Func=4.
QByteArray LocalLookupAnswer(const QByteArray &entry, const QByteArray &capcode);

// Looks the pager ID up and shows the answer in the view's lookup label: checked here in
// ID-as-capcode mode on port 1 (an invalid entry gets the "Invalid Capcode" box and the label
// stays), otherwise asked of the encoder ("Response: " and its answer, up to 4000 ms).
void LookupPagerID(const QByteArray &entry);
