// Time: the global scale, Sleep, DoEvents and the window timers.
#include <QtTest>

#include "platform/timing.h"

class TestTiming : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { SetTimeScale(1.0); }

    void scaledMs()
    {
        QCOMPARE(TimeScale(), 1.0); // the program's default
        struct Row { double scale; int ms, scaled; };
        for (const Row r : {Row{1.0, 8000, 8000}, Row{1.0, 1, 1}, Row{1.0, 0, 0}, Row{1.0, -5, 0},
                            Row{0.01, 8000, 80}, Row{0.01, 150, 2} /* 1.5 rounds up */,
                            Row{0.01, 49, 1} /* at least 1 */, Row{0.01, 1, 1}, Row{0.01, 0, 0},
                            Row{2.0, 50, 100}}) {
            SetTimeScale(r.scale);
            QCOMPARE(TimeScale(), r.scale);
            QVERIFY2(ScaledMs(r.ms) == r.scaled, qPrintable(QStringLiteral("%1 ms at %2").arg(r.ms).arg(r.scale)));
        }
        // Not positive: ignored.
        for (double bad : {0.0, -1.0}) {
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("SetTimeScale"));
            SetTimeScale(bad);
        }
        QCOMPARE(TimeScale(), 2.0);
    }

    void sleepIsScaled()
    {
        QElapsedTimer t;
        t.start();
        Sleep(50); // real time at scale 1
        QVERIFY(t.elapsed() >= 49);
        SetTimeScale(0.01);
        t.restart();
        Sleep(5000); // 50 ms
        const qint64 ms = t.elapsed();
        QVERIFY2(ms >= 49 && ms < 1000, qPrintable(QString::number(ms)));
        t.restart();
        Sleep(0);
        Sleep(-10);
        QVERIFY(t.elapsed() < 20);
    }

    void doEventsRunsPendingEvents()
    {
        bool ran = false;
        QTimer::singleShot(0, this, [&ran] { ran = true; });
        QElapsedTimer t;
        t.start();
        while (!ran && t.elapsed() < 1000)
            DoEvents();
        QVERIFY(ran);
    }

    void timerIntervalIsScaledWhenItStarts()
    {
        WindowTimer timer;
        QCOMPARE(timer.Interval(), 0);
        QVERIFY(!timer.Enabled());
        timer.setInterval(6000);
        QCOMPARE(timer.Interval(), 6000);
        SetTimeScale(0.01); // after setInterval, before the start: 60 ms
        QSignalSpy spy(&timer, &WindowTimer::Timer);
        QElapsedTimer t;
        t.start();
        timer.setEnabled(true);
        QVERIFY(spy.wait(2000));
        const qint64 ms = t.elapsed();
        QVERIFY2(ms >= 55 && ms < 1000, qPrintable(QString::number(ms)));
    }

    void singleShotTimerDisablesItselfBeforeItsEvent()
    {
        SetTimeScale(0.01);
        WindowTimer timer(nullptr, true);
        bool enabledInHandler = true;
        int fired = 0;
        connect(&timer, &WindowTimer::Timer, this, [&] {
            enabledInHandler = timer.Enabled();
            ++fired;
        });
        timer.setInterval(2000); // 20 ms
        timer.setEnabled(true);
        QTRY_COMPARE_WITH_TIMEOUT(fired, 1, 2000);
        QVERIFY(!enabledInHandler);
        QVERIFY(!timer.Enabled());
        QTest::qWait(100);
        QCOMPARE(fired, 1);
        QCOMPARE(timer.Interval(), 2000);
    }

    void aHandlerMayEnableTheSingleShotTimerAgain()
    {
        SetTimeScale(0.01);
        WindowTimer timer;
        int fired = 0;
        connect(&timer, &WindowTimer::Timer, this, [&] {
            if (++fired < 3)
                timer.setEnabled(true);
        });
        timer.setInterval(1000);
        timer.setEnabled(true);
        QTRY_COMPARE_WITH_TIMEOUT(fired, 3, 2000);
        QVERIFY(!timer.Enabled());
    }

    void repeatingTimerStaysEnabled()
    {
        SetTimeScale(0.01);
        WindowTimer timer(nullptr, false);
        QSignalSpy spy(&timer, &WindowTimer::Timer);
        timer.setInterval(1000); // 10 ms
        timer.setEnabled(true);
        QTRY_VERIFY_WITH_TIMEOUT(spy.count() >= 3, 2000);
        QVERIFY(timer.Enabled());
        timer.setEnabled(false);
        const int count = int(spy.count());
        QTest::qWait(60);
        QCOMPARE(int(spy.count()), count);
    }

    void intervalZeroOrLessNeverFires()
    {
        for (int interval : {0, -100}) {
            WindowTimer timer;
            QSignalSpy spy(&timer, &WindowTimer::Timer);
            timer.setInterval(interval);
            timer.setEnabled(true);
            QVERIFY(timer.Enabled());
            QTest::qWait(100);
            QCOMPARE(spy.count(), 0);
            QVERIFY(timer.Enabled());
        }
        // Given a positive interval while enabled, it starts.
        SetTimeScale(0.01);
        WindowTimer timer;
        QSignalSpy spy(&timer, &WindowTimer::Timer);
        timer.setEnabled(true);
        timer.setInterval(1000);
        QVERIFY(spy.wait(2000));
    }

    void disablingStopsIt()
    {
        SetTimeScale(0.01);
        WindowTimer timer;
        QSignalSpy spy(&timer, &WindowTimer::Timer);
        timer.setInterval(3000); // 30 ms
        timer.setEnabled(true);
        QTest::qWait(5);
        timer.setEnabled(false);
        QTest::qWait(100);
        QCOMPARE(spy.count(), 0);
        // Setting the interval of a disabled timer does not start it.
        timer.setInterval(1000);
        QTest::qWait(60);
        QCOMPARE(spy.count(), 0);
    }

    // Setting the interval or enabling again while enabled counts the interval from then on.
    void restartWhileEnabled_data()
    {
        QTest::addColumn<bool>("bySetInterval");
        QTest::newRow("setInterval") << true;
        QTest::newRow("setEnabled") << false;
    }

    void restartWhileEnabled()
    {
        QFETCH(bool, bySetInterval);
        SetTimeScale(0.01);
        WindowTimer timer;
        QSignalSpy spy(&timer, &WindowTimer::Timer);
        timer.setInterval(10000); // 100 ms
        QElapsedTimer t;
        t.start();
        timer.setEnabled(true);
        QTest::qWait(60);
        QCOMPARE(spy.count(), 0);
        if (bySetInterval)
            timer.setInterval(10000);
        else
            timer.setEnabled(true);
        QVERIFY(spy.wait(2000));
        QVERIFY2(t.elapsed() >= 150, qPrintable(QString::number(t.elapsed())));
    }

};

QTEST_GUILESS_MAIN(TestTiming)
#include "tst_timing.moc"
