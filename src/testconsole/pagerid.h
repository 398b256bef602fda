#pragma once
// The check of the pager ID or capcode typed into the test console before a Send.
//
// The attached encoder port decides the mode. Capcode mode (its protocol's pager field takes
// capcodes, as the Kestrane and Scope protocols' do, or the port takes pager IDs as capcodes):
// the text must be a legal capcode, digits only, not 0 to 8, not 2007664 to 2007671, not
// 2045056 to 2045063, not above 2097143. Pager-ID mode, a text of 5 or more characters (the
// long form): digits followed by a type code (A, a, N, n, 0, 1), a rate code (5, 1, 2) and a
// function code (0 to 4); it is taken as it is. A shorter text: digits, optionally ending in a
// function letter A to D that the look-up leaves out, which a defined family's pager-ID range
// holds or a defined group has as its ID (port 1 compares group IDs as numbers, port 2 as
// texts: "0012" is not "12" there).

#include <QByteArray>
#include <QString>

struct EncoderConfig;
struct PagerDatabase;

struct PagerIDVerdict {
    enum Result {
        Valid,
        Invalid,    // refused with the check's own box (title and text below)
        NotANumber, // a value the check takes as a number is none (an empty capcode, one beyond
                    // a 32-bit number, an empty short ID that meets a defined record, a record
                    // field that is no number): refused without a box of its own
    };
    Result result = NotANumber;
    bool capcodeMode = false;
    QString title;         // "Invalid Capcode" or "Invalid ID"
    QString text;          // the box's lines joined by carriage returns
    QByteArray sLastIDError; // pager-ID mode: the detail of the failure
    QByteArray checked;    // the text as looked up (a short ID without its function letter)
};

// The check alone: the typed text, the attached port ("1" is port 1, anything else port 2),
// the settings of the encoder's ports and the displayed database.
PagerIDVerdict CheckPagerID(const QByteArray &typed, const QByteArray &testPort,
                            const EncoderConfig &settings, const PagerDatabase &db);

// ValidatePagerID: the check of the typed text against the program's settings (Run.sTestPort,
// EncoderSettings) and the displayed database (DB). A refusal shows the check's box (OK, no
// icon; in capcode mode the default pointer afterwards). True when the text is valid; after
// false the caller shows its own box.
bool ValidatePagerID(const QByteArray &typed);
