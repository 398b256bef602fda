#include <QtTest>

#include "model/attenmath.h"

class TestAttenMath : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { InitAttenTable(); }

    void sliderPositions_data()
    {
        QTest::addColumn<QByteArray>("slider");
        QTest::addColumn<QByteArray>("expected"); // dB, coarse, fine
        for (const char *r : {"0 6.0 0 0", "47 1.3 8 2", "55 0.5 9 0", "60 0.0 9 5", "65 -0.5 10 0",
                              "100 -4.0 12 5", "200 -14.0 17 5", "795 -73.5 39 0", "834 -77.4 39 39",
                              "-10 6.0 0 0", "900 -77.4 39 39", "junk 1.3 8 2"}) {
            const QByteArrayList f = QByteArray(r).split(' ');
            QTest::newRow(f[0].constData()) << f[0] << f.mid(1).join(' ');
        }
    }
    void sliderPositions()
    {
        QFETCH(QByteArray, slider);
        const ModAtten m = ModAttenForSlider(slider);
        QTEST(m.dB + ' ' + m.coarse + ' ' + m.fine, "expected");
    }

    // Above the table's first row (unreachable from the slider): top step, negative fine value.
    void gainAboveTable()
    {
        const ModAtten m = ModAttenForGain(Decimal1::fromTenths(70));
        QCOMPARE(m.dB + ' ' + m.coarse + ' ' + m.fine, QByteArray("7.0 39 -70"));
        QCOMPARE(ModAttenForGain(Decimal1::fromTenths(60)).coarse, QByteArray("0"));
    }

    void sliderTexts_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("position");
        QTest::newRow("blanks") << QByteArray(" 60 ") << 60;
        QTest::newRow("plus") << QByteArray("+5") << 5;
        QTest::newRow("negative") << QByteArray("-10") << 0;
        QTest::newRow("above") << QByteArray("835") << 834;
        QTest::newRow("huge") << QByteArray("99999999999999999999999") << 834;
        for (const char *bad : {"", "-", "4.7", "60dB", "6 0"})
            QTest::newRow(*bad ? bad : "empty") << QByteArray(bad) << 47;
    }
    void sliderTexts()
    {
        QFETCH(QByteArray, text);
        QTEST(SliderPosition(text), "position");
    }
};

QTEST_APPLESS_MAIN(TestAttenMath)
#include "tst_attenmath.moc"
