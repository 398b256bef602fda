#include <QtTest>

#include "model/attenmath.h"

class TestAttenMath : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { InitAttenTable(); }

    // "slider dB coarse fine"
    void sliderPositions()
    {
        for (const char *row : {"0 6.0 0 0", "47 1.3 8 2", "55 0.5 9 0", "60 0.0 9 5", "65 -0.5 10 0", "100 -4.0 12 5",
                                "200 -14.0 17 5", "795 -73.5 39 0", "834 -77.4 39 39", "-10 6.0 0 0",
                                "900 -77.4 39 39", "junk 1.3 8 2"}) {
            const QByteArrayList f = QByteArray(row).split(' ');
            const ModAtten m = ModAttenForSlider(f[0]);
            QCOMPARE(m.dB + ' ' + m.coarse + ' ' + m.fine, f.mid(1).join(' '));
        }
    }

    // Anything but a whole number counts as the default position 47.
    void sliderTexts()
    {
        const std::pair<const char *, int> rows[] = {
            {" 60 ", 60}, {"+5", 5}, {"-10", 0}, {"835", 834}, {"99999999999999999999999", 834},
            {"", 47}, {"-", 47}, {"4.7", 47}, {"60dB", 47}, {"6 0", 47}};
        for (const auto &[text, position] : rows)
            QVERIFY2(SliderPosition(text) == position, text);
    }
};

QTEST_APPLESS_MAIN(TestAttenMath)
#include "tst_attenmath.moc"
