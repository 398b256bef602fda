#include <QtTest>

#include "model/inifile.h"
#include "model/state.h"

#include <sys/stat.h>

class TestIniFile : public QObject {
    Q_OBJECT
private slots:
    void init() { ResetProgramState(); }

    // The first line holding the key (case-sensitive) gives what follows its first "=", or the
    // whole line without one, wherever the section header stands; the header line itself is
    // not searched. An empty line ends the search with "False", the end of the file with "".
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
        QTemporaryDir dir;
        QFile file(dir.filePath("setup.ini"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
        file.close();
        bool ok = false;
        QTEST(GetIniValue(file.fileName(), "Main", key, &ok), "expected");
        QVERIFY(ok);
    }

    // Missing, or not a regular file of a sensible size (a FIFO would hold start-up, a device
    // could fill the memory): not read, no switch.
    void unreadableFiles()
    {
        QTemporaryDir dir;
        const QString fifo = dir.filePath("fifo.ini");
        QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
        const QString large = dir.filePath("large.ini");
        QFile f(large);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write("[Main]\r\nTestEnabled=True\r\n") > 0 &&
                f.resize(2 * 1024 * 1024));
        f.close();
        for (const QString &path : {dir.filePath("setup.ini"), fifo, large, QStringLiteral("/dev/zero")}) {
            bool ok = true;
            QCOMPARE(GetIniValue(path, "Main", "TestEnabled", &ok), QByteArray());
            QVERIFY(!ok);
        }
        QVERIFY(!IniFlag(GetIniValue(dir.filePath("setup.ini"), "Main", "TestEnabled")));
    }

    // True, False in any case, or a number (non-zero is true); anything else is no flag.
    void iniFlag()
    {
        const std::pair<const char *, const char *> rows[] = { // value, flag ("-": not a flag)
            {"True", "1"}, {"TRUE", "1"}, {"false", "0"}, {"1", "1"}, {"0", "0"}, {"-1", "1"}, {"-0", "0"},
            {"0.0", "0"}, {".5", "1"}, {" 1 ", "1"}, {"Yes", "-"}, {"", "-"}, {" True", "-"}, {"1x", "-"},
            {"1.2.3", "-"}, {".", "-"}};
        for (const auto &[value, expected] : rows) {
            bool isFlag = false;
            const bool flag = IniFlag(value, &isFlag);
            QCOMPARE(QByteArray(value) + ':' + (isFlag ? (flag ? "1" : "0") : flag ? "?" : "-"),
                     QByteArray(value) + ':' + expected);
        }
    }
};

QTEST_APPLESS_MAIN(TestIniFile)
#include "tst_inifile.moc"
