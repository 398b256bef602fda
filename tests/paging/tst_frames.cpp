#include <QtTest>

#include "paging/commlog.h"
#include "paging/frames.h"

#include <QDateTime>

// The frames of the paging protocols and the forms of the log's lines.
class TestFrames : public QObject {
    Q_OBJECT
private slots:
    void tapBlock()
    {
        // The peers' own checksum vector: 2+49+13+84+69+83+84+13+3 = 400 = 0x190.
        QCOMPARE(TAPPageBlock("1", "TEST"), QByteArray("\x02" "1\rTEST\r\x03" "190\r"));
        QCOMPARE(TAPLogonCommand(), QByteArray("\x1bPG1\r"));
        QCOMPARE(TAPWakeUp(), QByteArray("\r"));
    }

    void kestraneAndScope()
    {
        QCOMPARE(KestraneFrame("0000123", "HELLO", "B", "1200"),
                 QByteArray::fromHex("01 32 31 30 30 30 30 31 32 33 02 48 45 4C 4C 4F 03 04"));
        QCOMPARE(ScopeFrame("0000123", "HELLO", "B", "1200"),
                 QByteArray::fromHex("41 46 30 30 30 30 31 32 33 42 48 45 4C 4C 4F 0D"));
        const char *rows[][4] = { // function code, rate, Kestrane digits, Scope prefix
            {"A", "512", "15", "AN"}, {"C", "2400", "32", "AS"}, {"D", "1200", "41", "AF"},
            {"a", "9600", "42", "AS"}, {"", "", "42", "AS"}};
        for (const auto &[fc, rate, digits, prefix] : rows) {
            QCOMPARE(KestraneFrame("1", "m", fc, rate), "\x01" + QByteArray(digits) + "1\x02m\x03\x04");
            QCOMPARE(ScopeFrame("1", "m", fc, rate), QByteArray(prefix) + "1" + fc + "m\r");
        }
    }

    // Codes are read right after the first NAK, or after the first "550 "; an answer that ends
    // early gives a shorter text, which matches no code.
    void answers()
    {
        QCOMPARE(NakCode("x\x15" "03\x04\x15" "08"), QByteArray("03"));
        QCOMPARE(NakCode("\x06\x15"), QByteArray());
        QCOMPARE(NakCode("\x15" "0"), QByteArray("0"));
        QCOMPARE(MeaningOfNak("0"), NakMeaning::Other);
        QCOMPARE(MeaningOfNak("05"), NakMeaning::BufferOverflow);
        QCOMPARE(MeaningOfNak("08"), NakMeaning::FormattingError);
        QCOMPARE(MeaningOfNak("03"), NakMeaning::InvalidAddress);
        QCOMPARE(MeaningOfNak("99"), NakMeaning::Other);
        QCOMPARE(SNPPRefusalReason("550 Error, Invalid Pager ID\r\n"), QByteArray("Error, Inv"));
        QCOMPARE(SNPPRefusalReason("550 04"), QByteArray("04"));
        QCOMPARE(SNPPRefusalReason("550 04\r\n"), QByteArray("04\r\n"));
        QCOMPARE(SNPPRefusalReason("550-04"), QByteArray());
        // The function code follows a pager ID of fewer than 4 characters only.
        QCOMPARE(SNPPPageCommand("123", "B"), QByteArray("PAGE 123B\r\n"));
        QCOMPARE(SNPPPageCommand("1234", "B"), QByteArray("PAGE 1234\r\n"));
    }

    void controlNames()
    {
        const QByteArray all("\r\x06\x1b\x1e\x04\x15\n\x13\x11\x01\x02\x03\x07", 13);
        QCOMPARE(NameControls(all, true),
                 QByteArray("<CR><ACK><ESC><RS><EOT><NAK><LF><XOFF><XON><SOH><STX><ETX>\x07"));
        QCOMPARE(NameControls(all, false), QByteArray("<CR><ACK><ESC><RS><EOT><NAK><LF><XOFF><XON>\x01\x02\x03\x07"));
        QCOMPARE(NameControls("okay 250", true), QByteArray("okay 250"));
        QCOMPARE(NameControls("", true), QByteArray());
        // Bytes around the named ones are kept as they are, 0x80 and above included.
        QCOMPARE(NameControls(QByteArray("\x00" "a\r\n\xa0\xff\x1f", 7), false),
                 QByteArray("\x00" "a<CR><LF>\xa0\xff\x1f", 13));

        // An answer of 1.35 MB that is nearly all control characters is named whole.
        QByteArray big;
        QByteArray expected;
        for (int i = 0; i < 135000; ++i) {
            big += QByteArray("\r\n\x06x\x15\x02\x03\x13\x11\x1b", 10);
            expected += "<CR><LF><ACK>x<NAK><STX><ETX><XOFF><XON><ESC>";
        }
        QCOMPARE(big.size(), 1350000);
        const QByteArray named = NameControls(big, true);
        QCOMPARE(named.size(), expected.size());
        QVERIFY(named == expected);
    }

    void timePrefix()
    {
        const auto at = [](int month, int day, int year, int hour, int minute) {
            return QDateTime(QDate(year, month, day), QTime(hour, minute));
        };
        const QLocale locale = QLocale::system();
        const QString am = locale.amText().isEmpty() ? QStringLiteral("AM") : locale.amText();
        const QString pm = locale.pmText().isEmpty() ? QStringLiteral("PM") : locale.pmText();
        QCOMPARE(TimePrefix(at(1, 2, 2009, 0, 5)), (QStringLiteral("1/2/09 12:05 ") + am).toLatin1());
        QCOMPARE(TimePrefix(at(12, 31, 2025, 12, 0)), (QStringLiteral("12/31/25 12:00 ") + pm).toLatin1());
        QCOMPARE(TimePrefix(at(7, 14, 2030, 23, 59)), (QStringLiteral("7/14/30 11:59 ") + pm).toLatin1());
        // The general date: the system's short date, then the time with its seconds.
        const QByteArray general = GeneralDate(at(3, 4, 2026, 13, 7).addSecs(9));
        QVERIFY2(general.startsWith(locale.toString(QDate(2026, 3, 4), QLocale::ShortFormat).toLatin1() + ' ') &&
                     general.contains(":07:09"),
                 general);
    }
};

QTEST_APPLESS_MAIN(TestFrames)
#include "tst_frames.moc"
