// The windows' one-instance mechanism: loading once, the close question, a fresh instance after
// an unload, and no window deleted while one of its handlers is still running.

#include "platform/forms.h"
#include "platform/timing.h"

#include <QPushButton>
#include <QVBoxLayout>
#include <QtTest>

namespace {
int g_loads = 0;
int g_unloads = 0;
bool g_refuse = false;
} // namespace

class frmProbe : public forms::Form<frmProbe, QWidget> {
    Q_OBJECT
public:
    explicit frmProbe(QWidget *parent = nullptr) : Form(parent)
    {
        auto *layout = new QVBoxLayout(this);
        cmdGo = new QPushButton(QStringLiteral("Go"), this);
        layout->addWidget(cmdGo);
        connect(cmdGo, &QPushButton::clicked, this, forms::Handler(this, &frmProbe::cmdGo_Click));
    }

    QPushButton *cmdGo = nullptr;
    int counter = 0;
    bool survived = false;

    void Form_Load() { ++g_loads; }
    void Form_QueryUnload(bool &Cancel, forms::UnloadMode) { Cancel = g_refuse; }
    void Form_Unload() { ++g_unloads; }

    // Unloads its own window, then yields the way a wait loop does and goes on working.
    void cmdGo_Click()
    {
        forms::UnloadForm(this);
        for (int i = 0; i < 5; ++i) {
            DoEvents();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
        ++counter;
        survived = isUnloaded();
    }
};

class frmProbeDialog : public forms::DialogForm<frmProbeDialog> {
    Q_OBJECT
public:
    explicit frmProbeDialog(QWidget *parent = nullptr) : DialogForm(parent) {}
    void Form_QueryUnload(bool &Cancel, forms::UnloadMode) { Cancel = g_refuse; }
    void Form_Unload() { ++g_unloads; }
};

class TestForms : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        forms::DestroyAll();
        g_loads = g_unloads = 0;
        g_refuse = false;
    }

    void loadsOnceAndUnloadsToAFreshInstance()
    {
        QVERIFY(forms::Unload<frmProbe>()); // not loaded: nothing to do
        frmProbe *first = forms::Get<frmProbe>();
        QCOMPARE(forms::Get<frmProbe>(), first);
        QCOMPARE(g_loads, 1);
        QVERIFY(!first->isVisible()); // loading does not show

        g_refuse = true;
        first->show();
        first->close(); // the close box asks, and may be refused
        QVERIFY(first->isVisible());
        QVERIFY(!forms::Unload<frmProbe>());
        QCOMPARE(forms::Find<frmProbe>(), first);
        QCOMPARE(g_unloads, 0);

        g_refuse = false;
        QPointer<frmProbe> old = first;
        first->close();
        QCOMPARE(g_unloads, 1);
        QVERIFY(!forms::Find<frmProbe>());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(old.isNull());

        frmProbe *second = forms::Show<frmProbe>();
        QVERIFY(second->isVisible());
        QCOMPARE(g_loads, 2);
    }

    void aWindowOutlivesItsRunningHandler()
    {
        QPointer<frmProbe> probe = forms::Show<frmProbe>();
        QTest::mouseClick(probe->cmdGo, Qt::LeftButton);
        // The handler unloaded its window and kept working after several yields.
        QVERIFY(!forms::IsLoaded<frmProbe>());
        QVERIFY(!probe.isNull());
        QCOMPARE(probe->counter, 1);
        QVERIFY(probe->survived);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(probe.isNull());
    }

    void modalDialogsUnloadByEveryRoad()
    {
        for (int road = 0; road < 3; ++road) {
            bool shown = false;
            QObject thisRoad; // ends the timer with the road
            QTimer::singleShot(0, &thisRoad, [road, &shown] {
                frmProbeDialog *d = forms::Find<frmProbeDialog>();
                shown = d && d->isVisible();
                if (!d)
                    return;
                if (road == 0)
                    d->reject();
                else if (road == 1)
                    d->close();
                else
                    d->accept();
            });
            forms::ShowModal<frmProbeDialog>();
            QVERIFY(shown);
            QVERIFY(!forms::IsLoaded<frmProbeDialog>());
        }
        QCOMPARE(g_unloads, 3);

        // A refused close keeps the modal window up until it is allowed.
        g_refuse = true;
        bool stayedUp = false;
        QObject scope; // ends the timer with the test
        QTimer::singleShot(0, &scope, [&stayedUp] {
            forms::Find<frmProbeDialog>()->reject();
            stayedUp = forms::Find<frmProbeDialog>()->isVisible();
            g_refuse = false;
            forms::Find<frmProbeDialog>()->reject();
        });
        forms::ShowModal<frmProbeDialog>();
        QVERIFY(stayedUp);
        QVERIFY(!forms::IsLoaded<frmProbeDialog>());
        QCOMPARE(g_unloads, 4);
    }
};

QTEST_MAIN(TestForms)
#include "tst_forms.moc"
