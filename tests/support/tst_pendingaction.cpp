// Actions left waiting for their moment: they run once, inside whichever loop runs then, and
// never after their guard has gone.

#include "support/pendingaction.h"

#include <QtTest>

#include <memory>

class TestPendingAction : public QObject {
    Q_OBJECT

private slots:
    // How the guard is kept until the moment comes (there from the start), and how often the
    // action runs then.
    void runsOnceWhileItsGuardIsThere_data()
    {
        QTest::addColumn<QString>("guard");
        QTest::addColumn<int>("runs");
        QTest::newRow("kept") << "kept" << 1;
        QTest::newRow("gone with its scope") << "scope" << 0;
        QTest::newRow("cancelled") << "cancelled" << 0;
        QTest::newRow("moved on") << "moved" << 1;
    }
    void runsOnceWhileItsGuardIsThere()
    {
        QFETCH(QString, guard);
        QFETCH(int, runs);
        const auto count = std::make_shared<int>(0);
        const auto action = [count] { ++*count; };
        PendingAction kept;
        if (guard == QLatin1String("scope")) {
            const PendingAction gone = When([] { return true; }, action);
        } else if (guard == QLatin1String("moved")) {
            PendingAction first = When([] { return true; }, action);
            kept = std::move(first);
        } else {
            kept = When([] { return true; }, action);
            if (guard == QLatin1String("cancelled"))
                kept.cancel();
        }
        QTest::qWait(60);
        QCOMPARE(*count, runs);
    }

    // Steps run until one says done, or until their context goes.
    void stepsEndWhenDoneOrWithTheirContext()
    {
        int steps = 0;
        const PendingAction three = Repeatedly([&steps] { return ++steps == 3; });
        QTRY_COMPARE(steps, 3);
        QTest::qWait(20);
        QCOMPARE(steps, 3);

        int contextSteps = 0;
        auto context = std::make_unique<QObject>();
        const PendingAction withContext = Repeatedly([&contextSteps] { return ++contextSteps < 0; }, context.get());
        QTRY_VERIFY(contextSteps > 0);
        context.reset();
        const int atTheEnd = contextSteps;
        QTest::qWait(20);
        QCOMPARE(contextSteps, atTheEnd);
        QVERIFY(!withContext.pending());
    }
};

QTEST_MAIN(TestPendingAction)
#include "tst_pendingaction.moc"
