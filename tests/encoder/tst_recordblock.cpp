#include <QtTest>

#include "encoder/recordblock.h"

class TestRecordBlock : public QObject {
    Q_OBJECT
private slots:
    // STX, pager ID, CR, text, CR, ETX, the three checksum characters, CR.
    void blocks()
    {
        QCOMPARE(BuildTAPBlock("123", "abc"), QByteArray::fromHex("02313233 0D 616263 0D 03 313D3B 0D"));
        const char *rows[][3] = { // pager ID, text, checksum
            {"123", "ABC", "17;"},
            {"", "", "01?"},
            {"061c74", "L 1", "221"},
            {"061c74", "G 50", "250"},
            {"061c74", "M 15", "257"},
            {"0047d16", "G 1 0 8 5 A 0 0 0 0 0", "53;"},
            {"0047d16", "M 2 \"HELLO\"", "42<"},
            {"052e39", "L 3 0 0 0 0 0 0 0 0", "4:6"},
            // Bytes above 127 count with their 8-bit value: 2 + 13 + 0xFF + 13 + 3 = 286 = 0x11E.
            {"", "\xFF", "11>"}};
        for (const auto &[id, text, sum] : rows)
            QCOMPARE(BuildTAPBlock(id, text), "\x02" + QByteArray(id) + '\r' + text + "\r\x03" + sum + '\r');
    }

    // Sums 4096 apart carry the same characters, and the characters are never letters.
    void checksumKeepsLowTwelveBits()
    {
        const QByteArray a(16, '\x80'); // 2048
        QCOMPARE(TAPChecksum(a + a), QByteArray("000"));
        QCOMPARE(TAPChecksum(a + a + a), TAPChecksum(a));
        const QByteArray check = TAPChecksum(QByteArray(300, '\x7F')); // far above a 16-bit sum
        QCOMPARE(check, QByteArray("4=4")); // 38100 mod 4096 = 1236 = 0x4D4
        QVERIFY(std::all_of(check.begin(), check.end(), [](char c) { return c >= '0' && c <= '?'; }));
    }

    // One field per word; a leading blank leaves the last word to the tail. The list holds an
    // empty entry before the fields, and nothing from an earlier call.
    void split()
    {
        const char *rows[][3] = { // text, fields joined by '|', tail
            {"a bb c dd", "a|bb|c|dd", ""},
            {" a bb c dd", "a|bb|c", "dd"},
            {"a  b", "a|b", ""},
            {"a b ", "a|b", ""},
            {"word", "word", ""},
            {"", "", ""},
            {"   ", "", ""},
            {"  word", "", "word"},
            {"G 7 1 1234000 5 A 3 050 0100 00 02", "G|7|1|1234000|5|A|3|050|0100|00|02", ""}};
        for (const auto &[text, fields, tail] : rows) {
            QList<QByteArray> got = {"stale", "from", "an", "earlier", "call", "x", "y", "z"};
            QByteArray gotTail = "stale";
            const int n = SplitFields(got, gotTail, text, " ");
            const QByteArrayList expected = *fields ? QByteArray(fields).split('|') : QByteArrayList();
            QCOMPARE(n, int(expected.size()));
            QCOMPARE(got, QByteArrayList{QByteArray()} + expected);
            QCOMPARE(gotTail, QByteArray(tail));
        }
    }
};

QTEST_APPLESS_MAIN(TestRecordBlock)
#include "tst_recordblock.moc"
