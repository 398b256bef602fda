// Time: the global scale, Sleep, DoEvents and the window timers.
#include <QtTest>

#include "platform/timing.h"

class TestTiming : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { SetTimeScale(1.0); }

    void scaledMs()
    {
        QCOMPARE(TimeScale(), 1.0);
        QCOMPARE(ScaledMs(8000), 8000);
        QCOMPARE(ScaledMs(1), 1);
        QCOMPARE(ScaledMs(0), 0);
        QCOMPARE(ScaledMs(-5), 0);
        SetTimeScale(0.01);
        QCOMPARE(TimeScale(), 0.01);
        QCOMPARE(ScaledMs(8000), 80);
        QCOMPARE(ScaledMs(6000), 60);
        QCOMPARE(ScaledMs(150), 2); // 1.5 rounds up
        QCOMPARE(ScaledMs(49), 1);  // at least 1 for a positive interval
        QCOMPARE(ScaledMs(1), 1);
        QCOMPARE(ScaledMs(0), 0);
        SetTimeScale(2.0);
        QCOMPARE(ScaledMs(50), 100);
        // Not positive: ignored.
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("SetTimeScale"));
        SetTimeScale(0.0);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("SetTimeScale"));
        SetTimeScale(-1.0);
        QCOMPARE(TimeScale(), 2.0);
    }

    void sleepIsScaled()
    {
        SetTimeScale(0.01);
        QElapsedTimer t;
        t.start();
        Sleep(5000); // 50 ms
        const qint64 ms = t.elapsed();
        QVERIFY2(ms >= 49 && ms < 1000, qPrintable(QString::number(ms)));
        t.restart();
        Sleep(0);
        Sleep(-10);
        QVERIFY(t.elapsed() < 20);
    }

    void realTimeSleep()
    {
        QElapsedTimer t;
        t.start();
        Sleep(50);
        QVERIFY(t.elapsed() >= 49);
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

    void timerIntervalIsScaled()
    {
        SetTimeScale(0.01);
        WindowTimer timer;
        QCOMPARE(timer.Interval(), 0);
        QVERIFY(!timer.Enabled());
        timer.setInterval(6000); // 60 ms
        QCOMPARE(timer.Interval(), 6000);
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
        // Enabled again, it fires again.
        timer.setEnabled(true);
        QTRY_COMPARE_WITH_TIMEOUT(fired, 2, 2000);
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

    void changingTheIntervalWhileEnabledRestartsIt()
    {
        SetTimeScale(0.01);
        WindowTimer timer;
        QSignalSpy spy(&timer, &WindowTimer::Timer);
        timer.setInterval(10000); // 100 ms
        QElapsedTimer t;
        t.start();
        timer.setEnabled(true);
        QTest::qWait(60);
        QCOMPARE(spy.count(), 0);
        timer.setInterval(10000); // counts from now again
        QVERIFY(spy.wait(2000));
        QVERIFY2(t.elapsed() >= 150, qPrintable(QString::number(t.elapsed())));
    }

    void enablingAnEnabledTimerRestartsIt()
    {
        SetTimeScale(0.01);
        WindowTimer timer;
        QSignalSpy spy(&timer, &WindowTimer::Timer);
        timer.setInterval(10000); // 100 ms
        QElapsedTimer t;
        t.start();
        timer.setEnabled(true);
        QTest::qWait(60);
        timer.setEnabled(true);
        QVERIFY(spy.wait(2000));
        QVERIFY2(t.elapsed() >= 150, qPrintable(QString::number(t.elapsed())));
    }

    void scaleIsTakenWhenTheTimerStarts()
    {
        WindowTimer timer;
        QSignalSpy spy(&timer, &WindowTimer::Timer);
        timer.setInterval(5000);
        SetTimeScale(0.01); // after setInterval, before the start
        QElapsedTimer t;
        t.start();
        timer.setEnabled(true);
        QVERIFY(spy.wait(2000));
        QVERIFY(t.elapsed() < 1000);
    }
};

QTEST_GUILESS_MAIN(TestTiming)
#include "tst_timing.moc"
