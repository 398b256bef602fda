#include <QtTest>

#include "encoder/recordblock.h"

class TestRecordBlock : public QObject {
    Q_OBJECT
private slots:
    void blocks_data()
    {
        QTest::addColumn<QByteArray>("pagerID");
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("abc") << QByteArray("123") << QByteArray("abc")
                             << QByteArray::fromHex("02313233 0D 616263 0D 03 313D3B 0D");
        QTest::newRow("ABC") << QByteArray("123") << QByteArray("ABC")
                             << QByteArray::fromHex("02313233 0D 414243 0D 03 31373B 0D");
        QTest::newRow("empty") << QByteArray() << QByteArray()
                               << QByteArray::fromHex("020D0D03 30313F 0D");
        QTest::newRow("group request")
            << QByteArray("061c74") << QByteArray("L 1")
            << QByteArray::fromHex("02 303631633734 0D 4C2031 0D 03 323231 0D");
        QTest::newRow("family request") << QByteArray("061c74") << QByteArray("G 50")
                                        << QByteArray("\x02" "061c74\rG 50\r\x03" "250\r");
        QTest::newRow("message request") << QByteArray("061c74") << QByteArray("M 15")
                                         << QByteArray("\x02" "061c74\rM 15\r\x03" "257\r");
        QTest::newRow("empty family record")
            << QByteArray("0047d16") << QByteArray("G 1 0 8 5 A 0 0 0 0 0")
            << QByteArray("\x02" "0047d16\rG 1 0 8 5 A 0 0 0 0 0\r\x03" "53;\r");
        QTest::newRow("message record")
            << QByteArray("0047d16") << QByteArray("M 2 \"HELLO\"")
            << QByteArray("\x02" "0047d16\rM 2 \"HELLO\"\r\x03" "42<\r");
        QTest::newRow("V7 empty group")
            << QByteArray("052e39") << QByteArray("L 3 0 0 0 0 0 0 0 0")
            << QByteArray("\x02" "052e39\rL 3 0 0 0 0 0 0 0 0\r\x03" "4:6\r");
        // Bytes above 127 count with their 8-bit value: 2 + 13 + 0xFF + 13 + 3 = 286 = 0x11E.
        QTest::newRow("high byte") << QByteArray() << QByteArray("\xFF")
                                   << QByteArray("\x02\r\xFF\r\x03" "11>\r");
    }
    void blocks()
    {
        QFETCH(QByteArray, pagerID);
        QFETCH(QByteArray, message);
        QFETCH(QByteArray, expected);
        QCOMPARE(BuildTAPBlock(pagerID, message), expected);
    }

    void checksumKeepsLowTwelveBits()
    {
        // Sums 4096 apart carry the same characters, and the characters are never letters.
        const QByteArray a(16, '\x80');          // 2048
        const QByteArray b = a + QByteArray(16, '\x80'); // 4096 more than nothing
        QCOMPARE(TAPChecksum(b), QByteArray("000"));
        QCOMPARE(TAPChecksum(a + b), TAPChecksum(a));
        const QByteArray big(300, '\x7F'); // far above a 16-bit sum
        const QByteArray check = TAPChecksum(big);
        for (char c : check)
            QVERIFY(c >= '0' && c <= '?');
        QCOMPARE(check, QByteArray("4=4")); // 38100 mod 4096 = 1236 = 0x4D4
    }

    void split_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QList<QByteArray>>("fields");
        QTest::addColumn<QByteArray>("tail");
        using L = QList<QByteArray>;
        QTest::newRow("four words") << QByteArray("a bb c dd") << L{"a", "bb", "c", "dd"} << QByteArray();
        QTest::newRow("leading blank") << QByteArray(" a bb c dd") << L{"a", "bb", "c"} << QByteArray("dd");
        QTest::newRow("double blank") << QByteArray("a  b") << L{"a", "b"} << QByteArray();
        QTest::newRow("trailing blank") << QByteArray("a b ") << L{"a", "b"} << QByteArray();
        QTest::newRow("one word") << QByteArray("word") << L{"word"} << QByteArray();
        QTest::newRow("empty") << QByteArray() << L{} << QByteArray();
        QTest::newRow("blanks only") << QByteArray("   ") << L{} << QByteArray();
        QTest::newRow("two blanks then word") << QByteArray("  word") << L{} << QByteArray("word");
        QTest::newRow("family reply")
            << QByteArray("G 7 1 1234000 5 A 3 050 0100 00 02")
            << L{"G", "7", "1", "1234000", "5", "A", "3", "050", "0100", "00", "02"} << QByteArray();
    }
    void split()
    {
        QFETCH(QByteArray, text);
        QFETCH(QList<QByteArray>, fields);
        QFETCH(QByteArray, tail);
        QList<QByteArray> got = {"stale", "from", "an", "earlier", "call", "x", "y", "z"};
        QByteArray gotTail = "stale";
        const int16_t n = SplitFields(got, gotTail, text, " ");
        QCOMPARE(n, fields.size());
        QCOMPARE(got.size(), fields.size() + 1);
        QVERIFY(got[0].isEmpty());
        QCOMPARE(got.mid(1), fields);
        QCOMPARE(gotTail, tail);
    }
};

QTEST_APPLESS_MAIN(TestRecordBlock)
#include "tst_recordblock.moc"
