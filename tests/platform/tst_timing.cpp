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
        for (const Row r : {Row{1.0, 8000, 8000}, Row{1.0, 0, 0}, Row{1.0, -5, 0}, Row{0.01, 8000, 80},
                            Row{0.01, 150, 2} /* 1.5 rounds up */, Row{0.01, 49, 1} /* at least 1 */,
                            Row{0.01, 0, 0}, Row{2.0, 50, 100}}) {
            SetTimeScale(r.scale);
            QVERIFY2(ScaledMs(r.ms) == r.scaled, qPrintable(QStringLiteral("%1 ms at %2").arg(r.ms).arg(r.scale)));
        }
        // Not positive: ignored.
        for (double bad : {0.0, -1.0}) {
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("SetTimeScale"));
            SetTimeScale(bad);
        }
        QCOMPARE(TimeScale(), 2.0);
    }

    // Sleep and the window timer take the scale; unscaled, these 1000 s intervals would never
    // end within the test's time (the bound of ten seconds catches only that).
    void sleepAndTimerAreScaled()
    {
        QElapsedTimer t;
        t.start();
        Sleep(30); // real time at scale 1
        QVERIFY(t.elapsed() >= 29);
        SetTimeScale(0.00005);
        t.restart();
        Sleep(1000000); // 50 ms
        QVERIFY2(t.elapsed() >= 49 && t.elapsed() < 10000, qPrintable(QString::number(t.elapsed())));

        WindowTimer timer;
        QCOMPARE(timer.Interval(), 0);
        QVERIFY(!timer.Enabled());
        SetTimeScale(1.0);
        timer.setInterval(1000000);
        QCOMPARE(timer.Interval(), 1000000); // as set: scaled when it starts
        SetTimeScale(0.00005);
        QSignalSpy spy(&timer, &WindowTimer::Timer);
        t.restart();
        timer.setEnabled(true);
        QVERIFY(spy.wait(10000));
        QVERIFY2(t.elapsed() >= 49, qPrintable(QString::number(t.elapsed())));
    }

    // The program's clock runs at the scale's pace, and goes on from where it was when the
    // scale changes.
    void currentTimeFollowsTheScale()
    {
        SetTimeScale(0.001);
        const QDateTime before = CurrentTime();
        Sleep(60000); // 60 ms
        const QDateTime after = CurrentTime();
        QVERIFY2(before.msecsTo(after) >= 60000, qPrintable(QString::number(before.msecsTo(after))));
        SetTimeScale(1.0);
        const QDateTime unscaled = CurrentTime();
        QVERIFY(unscaled >= after);
        Sleep(20);
        QVERIFY(unscaled.msecsTo(CurrentTime()) >= 20);
    }

    void doEventsRunsPendingEvents()
    {
        bool ran = false;
        QMetaObject::invokeMethod(this, [&ran] { ran = true; }, Qt::QueuedConnection);
        DoEvents();
        QVERIFY(ran);
    }

    // A single-shot timer is disabled before its handler runs, so the handler may enable it again.
    void singleShotAndRepeatingTimers()
    {
        SetTimeScale(0.01);
        WindowTimer timer(nullptr, true);
        QList<bool> enabledInHandler;
        connect(&timer, &WindowTimer::Timer, this, [&] {
            enabledInHandler << timer.Enabled();
            if (enabledInHandler.size() < 3)
                timer.setEnabled(true);
        });
        timer.setInterval(1000); // 10 ms
        timer.setEnabled(true);
        QTRY_COMPARE_WITH_TIMEOUT(enabledInHandler.size(), 3, 5000);
        QCOMPARE(enabledInHandler, QList<bool>({false, false, false}));
        QVERIFY(!timer.Enabled());
        QCOMPARE(timer.Interval(), 1000);

        // A repeating timer stays enabled until disabled.
        WindowTimer repeating(nullptr, false);
        QSignalSpy spy(&repeating, &WindowTimer::Timer);
        repeating.setInterval(1000);
        repeating.setEnabled(true);
        QTRY_VERIFY_WITH_TIMEOUT(spy.count() >= 3, 5000);
        QVERIFY(repeating.Enabled());
        repeating.setEnabled(false);
        const int count = int(spy.count());
        QTest::qWait(40);
        QCOMPARE(int(spy.count()), count);
        QCOMPARE(enabledInHandler.size(), 3); // the single-shot one did not fire again
    }

    // Timers that must not fire: stopped before the event loop ran, never given a positive
    // interval, or given one while disabled. A timer given a positive interval while enabled starts.
    void timersThatDoNotFire()
    {
        SetTimeScale(0.01);
        WindowTimer stopped, zero, negative, disabled, late;
        QSignalSpy spy(&stopped, &WindowTimer::Timer), spyZero(&zero, &WindowTimer::Timer),
            spyNegative(&negative, &WindowTimer::Timer), spyDisabled(&disabled, &WindowTimer::Timer),
            spyLate(&late, &WindowTimer::Timer);
        stopped.setInterval(1000);
        stopped.setEnabled(true);
        stopped.setEnabled(false);
        zero.setEnabled(true);
        negative.setInterval(-100);
        negative.setEnabled(true);
        disabled.setInterval(1000);
        late.setEnabled(true);
        late.setInterval(1000);
        QVERIFY(spyLate.wait(5000));
        QTest::qWait(30); // three intervals
        QCOMPARE(spy.count() + spyZero.count() + spyNegative.count() + spyDisabled.count(), 0);
        QVERIFY(zero.Enabled() && negative.Enabled() && !disabled.Enabled());
    }

    // Setting the interval or enabling again while enabled counts the interval from then on.
    void restartWhileEnabled()
    {
        SetTimeScale(0.01);
        for (bool bySetInterval : {true, false}) {
            WindowTimer timer;
            QSignalSpy spy(&timer, &WindowTimer::Timer);
            timer.setInterval(10000); // 100 ms
            QElapsedTimer t;
            t.start();
            timer.setEnabled(true);
            QThread::msleep(60); // no event loop: the timer cannot fire meanwhile
            if (bySetInterval)
                timer.setInterval(10000);
            else
                timer.setEnabled(true);
            QVERIFY(spy.wait(5000));
            QVERIFY2(spy.count() == 1 && t.elapsed() >= 155, qPrintable(QString::number(t.elapsed())));
        }
    }
};

QTEST_GUILESS_MAIN(TestTiming)
#include "tst_timing.moc"
