#include <QtTest>

#include "encoder/lookup.h"

// The lookup's replace-all, the rewriting of the encoder's answer and the local capcode check.
class TestLookup : public QObject {
    Q_OBJECT

private slots:
    void replaceTextGoesOnAfterEachReplacement_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("search");
        QTest::addColumn<QByteArray>("replacement");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("every occurrence") << QByteArray("a list list") << QByteArray("list")
                                          << QByteArray("Group") << QByteArray("a Group Group");
        QTest::newRow("no overlaps") << QByteArray("aaa") << QByteArray("aa") << QByteArray("b")
                                     << QByteArray("ba");
        QTest::newRow("inserted text not searched again")
            << QByteArray("list") << QByteArray("list") << QByteArray("listlist")
            << QByteArray("listlist");
        QTest::newRow("case matters") << QByteArray("List") << QByteArray("list")
                                      << QByteArray("Group") << QByteArray("List");
        QTest::newRow("empty text") << QByteArray() << QByteArray("list") << QByteArray("Group")
                                    << QByteArray();
        QTest::newRow("empty search") << QByteArray("abc") << QByteArray() << QByteArray("x")
                                      << QByteArray("abc");
        QTest::newRow("shorter replacement") << QByteArray("xxabxxab") << QByteArray("ab")
                                             << QByteArray("") << QByteArray("xxxx");
    }
    void replaceTextGoesOnAfterEachReplacement()
    {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, search);
        QFETCH(QByteArray, replacement);
        QFETCH(QByteArray, expected);
        const QByteArray before = text;
        QCOMPARE(ReplaceText(text, search, replacement), expected);
        QCOMPARE(text, before);
    }

    void theEncodersWordsAreRewritten()
    {
        QCOMPARE(LookupCommand("123"), QByteArray("LOOKUP 123\r\n"));
        QCOMPARE(LookupCommand(""), QByteArray("LOOKUP \r\n"));
        QCOMPARE(RewriteLookupReply("ID 123 capcode 1234023, msg enc:A, baud:512 func bits:11\r\n"),
                 QByteArray("ID 123, Cap=1234023, Type=A, Rate=512, Func=4\r\n"));
        QCOMPARE(RewriteLookupReply("ID 12 is list 3\n\r"), QByteArray("ID 12 is Group 3\n\r"));
        for (const char *bits : {"00", "01", "10"}) {
            const QByteArray func = QByteArray::number(QByteArray(bits).toInt(nullptr, 2) + 1);
            QCOMPARE(RewriteLookupReply(QByteArray("x func bits:") + bits),
                     QByteArray("x, Func=") + func);
        }
        QCOMPARE(RewriteLookupReply("ID 9 not found\r\n"), QByteArray("ID 9 not found\r\n"));
    }

    void capcodeCheck_data()
    {
        QTest::addColumn<QByteArray>("entry");
        QTest::addColumn<int>("result");
        QTest::addColumn<QByteArray>("capcode");
        const int ok = CapcodeCheck::Valid, bad = CapcodeCheck::Refused,
                  large = CapcodeCheck::RefusedTooLarge;
        QTest::newRow("123") << QByteArray("123") << ok << QByteArray("0000123");
        QTest::newRow("0000009") << QByteArray("0000009") << ok << QByteArray("0000009");
        QTest::newRow("long with zeros") << QByteArray("0000000009") << ok << QByteArray("0000000009");
        QTest::newRow("8") << QByteArray("8") << bad << QByteArray();
        QTest::newRow("0") << QByteArray("0") << bad << QByteArray();
        QTest::newRow("2097143") << QByteArray("2097143") << ok << QByteArray("2097143");
        QTest::newRow("2097144") << QByteArray("2097144") << large << QByteArray();
        QTest::newRow("beyond 32 bits") << QByteArray("9999999999") << large << QByteArray();
        QTest::newRow("2^31") << QByteArray("2147483648") << large << QByteArray();
        for (const char *v : {"2007663", "2007672", "2045055", "2045064"})
            QTest::newRow(v) << QByteArray(v) << ok << QByteArray(v);
        for (const char *v : {"2007664", "2007671", "2045056", "2045063"})
            QTest::newRow(v) << QByteArray(v) << bad << QByteArray();
        QTest::newRow("letters") << QByteArray("12a") << bad << QByteArray();
        QTest::newRow("point") << QByteArray("1.5") << bad << QByteArray();
        QTest::newRow("leading blank") << QByteArray(" 12") << bad << QByteArray();
        QTest::newRow("empty") << QByteArray() << bad << QByteArray();
    }
    void capcodeCheck()
    {
        QFETCH(QByteArray, entry);
        QFETCH(int, result);
        QFETCH(QByteArray, capcode);
        const CapcodeCheck check = CheckLookupCapcode(entry);
        QCOMPARE(int(check.result), result);
        QCOMPARE(check.capcode, capcode);
    }

    void localAnswerAndRefusalTexts()
    {
        QCOMPARE(LocalLookupAnswer("123", "0000123"),
                 QByteArray("ID \"123\", Cap=0000123, Type=A, Rate=512 Func=4"));
        const QStringList first = InvalidCapcodeText(false).split(QLatin1Char('\r'));
        QCOMPARE(first.size(), 8);
        QCOMPARE(first[0], QStringLiteral("Pager ID as Capcode mode is active for Port 1"));
        QCOMPARE(first[3], QString());
        QCOMPARE(first[7], QStringLiteral("or greater than 2097143"));
        QCOMPARE(InvalidCapcodeText(true).split(QLatin1Char('\r'))[0],
                 QStringLiteral("Pager ID as Capcode mode is active"));
    }
};

QTEST_APPLESS_MAIN(TestLookup)
#include "tst_lookup.moc"
