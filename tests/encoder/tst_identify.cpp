#include <QtTest>

#include "encoder/identify.h"

class TestIdentify : public QObject {
    Q_OBJECT
private slots:
    void version_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<bool>("found");
        QTest::addColumn<QByteArray>("version");
        QTest::newRow("banner") << QByteArray("\r\nKestrane Paging Encoder v9.7S\r\nPort 2\r\nID=") << true << QByteArray("9.7S");
        QTest::newRow("cut at blank") << QByteArray("Encoder v8.12 beta\r") << true << QByteArray("8.12");
        QTest::newRow("empty version") << QByteArray("Encoder v\r") << true << QByteArray();
        QTest::newRow("no CR after v") << QByteArray("Encoder v9.6") << false << QByteArray();
        QTest::newRow("no v") << QByteArray("Encoder 9.6\r") << false << QByteArray();
        // The "v" is searched from just after "Encoder", so a "v" before it does not count.
        QTest::newRow("v before Encoder") << QByteArray("vEncoder x\r") << false << QByteArray();
        QTest::newRow("no Encoder") << QByteArray("abcdefv7.2\r") << true << QByteArray("7.2");
    }
    void version()
    {
        QFETCH(QByteArray, reply);
        QFETCH(bool, found);
        QFETCH(QByteArray, version);
        const auto got = GetEncoderVersion(reply);
        QCOMPARE(got.has_value(), found);
        if (found)
            QCOMPARE(*got, version);
    }

    void port_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QByteArray>("port");
        QTest::newRow("port 2") << QByteArray("v9.7\r\nPort 2\r\nID=") << QByteArray("2");
        QTest::newRow("letter") << QByteArray("Port X\r\n") << QByteArray("1");
        QTest::newRow("at the end") << QByteArray("abc Port") << QByteArray("1");
        QTest::newRow("no Port, fifth char digit") << QByteArray("abcd7") << QByteArray("7");
        QTest::newRow("empty") << QByteArray() << QByteArray("1");
    }
    void port()
    {
        QFETCH(QByteArray, reply);
        QFETCH(QByteArray, port);
        QCOMPARE(GetEncoderPort(reply), port);
    }

    void minor_data()
    {
        QTest::addColumn<QByteArray>("version");
        QTest::addColumn<int>("minor"); // -1: no whole number
        QTest::newRow("9.6") << QByteArray("9.6") << 6;
        QTest::newRow("9.10") << QByteArray("9.10") << 10;
        QTest::newRow("9.7s") << QByteArray("9.7s") << 7;
        QTest::newRow("9.7S") << QByteArray("9.7S") << 7;
        QTest::newRow("9.01") << QByteArray("9.01") << 1;
        QTest::newRow("9") << QByteArray("9") << 9;
        QTest::newRow("9S") << QByteArray("9S") << 9;
        QTest::newRow("9.x") << QByteArray("9.x") << -1;
        QTest::newRow("empty") << QByteArray() << -1;
    }
    void minor()
    {
        QFETCH(QByteArray, version);
        QFETCH(int, minor);
        const auto got = FirmwareMinor(version);
        QCOMPARE(got.value_or(-1), minor);
    }

    void detectionSettings()
    {
        QCOMPARE(DetectionSettingsTable().size(), 8);
        QCOMPARE(DetectionTimeoutMs("9600,e,7,1"), 1500);
        QCOMPARE(DetectionTimeoutMs("2400,n,8,1"), 3000);
        QCOMPARE(DetectionTimeoutMs("1200,e,7,1"), 6000);
        QCOMPARE(DetectionTimeoutMs("300,n,8,1"), 7500);
        QCOMPARE(DetectionTimeoutMs("4800,n,8,1"), 8000);
        QCOMPARE(DetectionTimeoutMs("9600,N,8,1"), 8000); // the table's texts are exact
        QCOMPARE(AttachedPortSettings("2400", "E71"), QByteArray("2400,e,7,1"));
        QCOMPARE(AttachedPortSettings("1200", "N81"), QByteArray("1200,n,8,1"));
        QCOMPARE(AttachedPortSettings("300", "O71"), QByteArray("300,o,7,1"));
    }
};

QTEST_APPLESS_MAIN(TestIdentify)
#include "tst_identify.moc"
