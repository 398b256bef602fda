#pragma once
// The record block that carries a database record (or a request for one) to the encoder,
// and the splitting of the encoder's one-line record replies into fields.

#include <QByteArray>
#include <QList>
#include <cstdint>

// STX, pager ID, CR, message, CR, ETX, three checksum characters, CR. The checksum is the sum
// of the byte values from STX to ETX; its low 12 bits go out as three characters "0" + nibble,
// most significant first.
QByteArray BuildTAPBlock(const QByteArray &pagerID, const QByteArray &message);

// The three checksum characters of a block body (STX through ETX).
QByteArray TAPChecksum(const QByteArray &body);

// Cuts text at delim. fields is emptied to the single empty element 0, then gets every
// non-empty piece as elements 1..count; tail gets the text after the last delimiter.
// A text that does not begin with delim is first wrapped in one delim on each side, so all its
// words become fields; a text that begins with delim gives its last word as the tail instead.
int16_t SplitFields(QList<QByteArray> &fields, QByteArray &tail, const QByteArray &text,
                    const QByteArray &delim);
