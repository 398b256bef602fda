#include <QtTest>

#include "model/inifile.h"
#include "model/state.h"

class TestIniFile : public QObject {
    Q_OBJECT
private slots:
    void init() { ResetProgramState(); }

    void getIniValue_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<QByteArray>("expected");
        auto row = [](const char *name, const char *content, const char *key, const char *expected) {
            QTest::newRow(name) << QByteArray(content) << QByteArray(key) << QByteArray(expected);
        };
        row("under the header", "[Main]\r\nVirginMode=False\r\nTestEnabled=True\r\n", "TestEnabled", "True");
        row("empty line ends the search", "[Main]\r\n\r\nTestEnabled=True\r\n", "TestEnabled", "False");
        row("before the header", "TestEnabled=True\r\n[Main]\r\n", "TestEnabled", "True");
        row("in another section", "[Main]\r\nVirginMode=0\r\n[Other]\r\nTestEnabled=True\r\n", "TestEnabled",
            "True");
        row("only header and key, no line end", "[Main]\r\nTestEnabled=True", "TestEnabled", "True");
        row("missing key: end of file", "[Main]\r\nTestEnabled=True\r\n", "VirginMode", "");
        row("header line is not searched", "[Main] TestEnabled=1\r\n", "TestEnabled", "");
        row("part of a longer word, after the first =", "[Main]\r\nNoTestEnabledHere=a=b\r\n", "TestEnabled",
            "a=b");
        row("no = gives the whole line", "[Main]\r\nTestEnabled\r\n", "TestEnabled", "TestEnabled");
        row("blanks kept", "[Main]\r\nTestEnabled = True \r\n", "TestEnabled", " True ");
        row("key is case-sensitive", "[Main]\r\ntestenabled=True\r\n", "TestEnabled", "");
        row("LF line ends", "[Main]\nX=1\nTestEnabled=True\n", "TestEnabled", "True");
        row("CR line ends, empty line", "[Main]\r\rTestEnabled=True\r", "TestEnabled", "False");
    }

    void getIniValue()
    {
        QFETCH(QByteArray, content);
        QFETCH(QByteArray, key);
        QFETCH(QByteArray, expected);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath("setup.ini");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
        file.close();

        bool ok = false;
        QCOMPARE(GetIniValue(path, "Main", key, &ok), expected);
        QVERIFY(ok);
    }

    void missingFile()
    {
        QTemporaryDir dir;
        bool ok = true;
        QCOMPARE(GetIniValue(dir.filePath("setup.ini"), "Main", "TestEnabled", &ok), QByteArray());
        QVERIFY(!ok);
        QVERIFY(!IniFlag(GetIniValue(dir.filePath("setup.ini"), "Main", "TestEnabled")));
    }

    void iniFlag_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<bool>("flag");
        QTest::newRow("True") << QByteArray("True") << true << true;
        QTest::newRow("TRUE") << QByteArray("TRUE") << true << true;
        QTest::newRow("false") << QByteArray("false") << true << false;
        QTest::newRow("1") << QByteArray("1") << true << true;
        QTest::newRow("0") << QByteArray("0") << true << false;
        QTest::newRow("-1") << QByteArray("-1") << true << true;
        QTest::newRow("-0") << QByteArray("-0") << true << false;
        QTest::newRow("0.0") << QByteArray("0.0") << true << false;
        QTest::newRow(".5") << QByteArray(".5") << true << true;
        QTest::newRow("blanks around a number") << QByteArray(" 1 ") << true << true;
        QTest::newRow("Yes") << QByteArray("Yes") << false << false;
        QTest::newRow("empty") << QByteArray() << false << false;
        QTest::newRow("blank before True") << QByteArray(" True") << false << false;
        QTest::newRow("1x") << QByteArray("1x") << false << false;
        QTest::newRow("1.2.3") << QByteArray("1.2.3") << false << false;
        QTest::newRow("point only") << QByteArray(".") << false << false;
    }

    void iniFlag()
    {
        QFETCH(QByteArray, value);
        QFETCH(bool, valid);
        QFETCH(bool, flag);
        bool isFlag = !valid;
        QCOMPARE(IniFlag(value, &isFlag), flag);
        QCOMPARE(isFlag, valid);
    }
};

QTEST_APPLESS_MAIN(TestIniFile)
#include "tst_inifile.moc"
