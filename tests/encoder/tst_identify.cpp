#include <QtTest>

#include "encoder/identify.h"

class TestIdentify : public QObject {
    Q_OBJECT
private slots:
    // The "v" is looked for after "Encoder", or from the seventh character without it; the
    // version ends at the CR or a blank.
    void version()
    {
        const char *rows[][2] = { // reply, version ("-": none)
            {"\r\nKestrane Paging Encoder v9.7S\r\nPort 2\r\nID=", "9.7S"},
            {"Encoder v8.12 beta\r", "8.12"},
            {"Encoder v\r", ""},
            {"Encoder v9.6", "-"},
            {"Encoder 9.6\r", "-"},
            {"vEncoder x\r", "-"},
            {"abcdefv7.2\r", "7.2"},
            {"abv7.2\r", "-"}};
        for (const auto &[reply, version] : rows)
            QCOMPARE(GetEncoderVersion(reply).value_or("-"), QByteArray(version));
    }

    // The character after "Port ", the fifth of the reply without it; "1" unless a digit.
    void port()
    {
        const char *rows[][2] = {{"v9.7\r\nPort 2\r\nID=", "2"}, {"Port X\r\n", "1"}, {"abc Port", "1"},
                                 {"abcd7", "7"}, {"", "1"}};
        for (const auto &[reply, port] : rows)
            QCOMPARE(GetEncoderPort(reply), QByteArray(port));
    }

    void minor()
    {
        for (const char *row : {"9.6=6", "9.10=10", "9.7s=7", "9.7S=7", "9.01=1", "9=9", "9S=9", "9.x=-1", "=-1"}) {
            const QByteArrayList f = QByteArray(row).split('='); // -1: no whole number
            QVERIFY2(FirmwareMinor(f[0]).value_or(-1) == f[1].toInt(), row);
        }
    }

    void detectionSettings()
    {
        QByteArrayList tried;
        for (const QByteArray &s : DetectionSettingsTable())
            tried << s + '=' + QByteArray::number(DetectionTimeout(s).count());
        QCOMPARE(tried.join(' '), QByteArray("9600,n,8,1=1500 9600,e,7,1=1500 2400,n,8,1=3000 2400,e,7,1=3000 "
                                             "1200,n,8,1=6000 1200,e,7,1=6000 300,n,8,1=7500 300,e,7,1=7500"));
        QCOMPARE(DetectionTimeout("4800,n,8,1").count(), 8000);
        QCOMPARE(DetectionTimeout("9600,N,8,1").count(), 8000); // the table's texts are exact
    }
};

QTEST_APPLESS_MAIN(TestIdentify)
#include "tst_identify.moc"
