#include "encoder/recordblock.h"

namespace {
constexpr char STX = 0x02;
constexpr char ETX = 0x03;
constexpr char CR = 0x0D;
} // namespace

QByteArray TAPChecksum(const QByteArray &body)
{
    // A wide sum: only its low 12 bits reach the characters, so overflow never matters.
    unsigned sum = 0;
    for (char c : body)
        sum += static_cast<unsigned char>(c);
    QByteArray check(3, '0');
    check[2] = static_cast<char>('0' + (sum & 0xF));
    check[1] = static_cast<char>('0' + ((sum >> 4) & 0xF));
    check[0] = static_cast<char>('0' + ((sum >> 8) & 0xF));
    return check;
}

QByteArray BuildTAPBlock(const QByteArray &pagerID, const QByteArray &message)
{
    QByteArray block;
    block.reserve(pagerID.size() + message.size() + 8);
    block += STX;
    block += pagerID;
    block += CR;
    block += message;
    block += CR;
    block += ETX;
    return block + TAPChecksum(block) + CR;
}

int16_t SplitFields(QList<QByteArray> &fields, QByteArray &tail, const QByteArray &text,
                    const QByteArray &delim)
{
    fields.clear();
    fields.append(QByteArray());
    tail.clear();
    if (delim.isEmpty())
        return 0;

    const QByteArray work = text.startsWith(delim) ? text : delim + text + delim;
    qsizetype prev = 0; // position of the delimiter the current piece starts after
    qsizetype next = work.indexOf(delim, prev + delim.size());
    while (next >= 0) {
        const QByteArray piece = work.mid(prev + delim.size(), next - prev - delim.size());
        if (!piece.isEmpty())
            fields.append(piece);
        prev = next;
        next = work.indexOf(delim, prev + delim.size());
    }
    tail = work.mid(prev + delim.size());
    return static_cast<int16_t>(fields.size() - 1);
}
