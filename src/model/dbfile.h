#pragma once
// The "*.pg9" pager database file: 50 family lines, 10 group lines, 15 message lines,
// 20 settings lines and the notes line, each ended by CR LF. The reader and the writer work on
// the shared database and settings variables; the notes box and the two mode labels of the
// main window are handed in and out here, so these functions need no window.

#include <QByteArray>
#include <optional>

// The whole file as WriteDBFile writes it: 96 lines, every text taken unchanged.
QByteArray WriteDBFile(const QByteArray &notes);

// What reading a file asks of the main window besides the shared variables.
struct DBFileReadResult {
    std::optional<QByteArray> notes;     // set when a notes line was read
    std::optional<bool> incCapBy8Label;  // set by the "IncCaps" line: label shows ON/OFF
    std::optional<bool> port1IDAsCapLabel; // set by the "Serial1 IDA" line
};

// Reads the file content into the shared variables, line by line; the line's place in the file
// (not the number in its key) says which record it fills. Fields the file leaves out keep the
// values they had. Never fails: unknown lines are skipped. A leading UTF-8 byte-order mark is
// not part of the first line.
DBFileReadResult ReadDBFile(const QByteArray &content);
