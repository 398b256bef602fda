// Transmitter tuning in the running program against the simulated encoder: the slider's
// attenuation commands and what the window shows, the tones, the encoder's improper and missing
// answers, one exchange at a time on the line, the slider's start position and its preference,
// and the Test menu command's transfer guard.

#include "app/apptest.h"
#include "model/attenmath.h"
#include "settings/frmTXTune.h"
#include "support/detected.h"
#include "support/encoderstate.h"
#include "support/scriptedboxes.h"

#include <QtWidgets>

using namespace encodertest;

namespace {

QByteArrayList attenuation(int coarse, int fine)
{
    return {"CONFIG MODATTENC " + QByteArray::number(coarse) + '\r', "CONFIG MODATTENF " + QByteArray::number(fine) + '\r'};
}

} // namespace

class TestTXTune : public QObject, MainWindowTest {
    Q_OBJECT

    std::unique_ptr<SimEncoder> encoder;

    // A V9 encoder in programming mode on the open COM 1, as detection leaves it. Its
    // attenuation answers come behind its processing time, the coarse one late enough to act
    // meanwhile.
    void connectEncoder(Knobs knobs = {})
    {
        knobs.insert(knobs.begin(), {{"pacing", "off"},
                                     {"delay_reply", "\"CONFIG MODATTENC\" every ms=2000"},
                                     {"delay_reply", "\"CONFIG MODATTENF\" every ms=1000"}});
        encoder = std::make_unique<SimEncoder>(DeviceState::factory(9), encsim::Mode::Programming, knobs);
        QVERIFY2(encoder->ok(), qPrintable(encoder->error()));
        const QString error = OpenDetectedPort("9.7");
        QVERIFY2(error.isEmpty(), qPrintable(error));
        // The exchanges wait on the reply timer until their answers: a second of real time,
        // well beyond the encoder's processing, room for a loaded machine's encoder thread.
        Link().setReplyInterval(RealSecond());
    }
    frmTXTune *openTuning()
    {
        auto *w = forms::Get<frmTXTune>();
        w->show();
        return w;
    }
    // Lets go of the slider at a position.
    void releaseAt(frmTXTune *w, int position)
    {
        w->Slider1->setValue(position);
        QTest::mouseRelease(w->Slider1, Qt::LeftButton);
    }
    QByteArrayList sent() { return CommandsSent(*encoder); }
    QByteArray encoderAttenuation()
    {
        const encsim::Snapshot s = encoder->sim().getState();
        return QByteArray::fromStdString(s.config.at("modattenc") + '/' + s.config.at("modattenf"));
    }

private slots:
    void initTestCase() { IsolateSettingsForTestRun(); }
    void init() { QVERIFY(startProgram(0.05)); }
    void cleanup()
    {
        encoder.reset();
        endProgram();
    }

    void sliderReleases_data()
    {
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("gain");
        QTest::addColumn<int>("coarse");
        QTest::addColumn<int>("fine");
        QTest::addColumn<QString>("echo"); // what the line sends back before the answer
        QTest::newRow("0.0 dB") << 60 << "0.0" << 9 << 5 << "off";
        QTest::newRow("the end of the table") << 795 << "-73.5" << 39 << 0 << "off";
        QTest::newRow("the slider's end") << 834 << "-77.4" << 39 << 39 << "off";
        QTest::newRow("0.0 dB, echoing line") << 60 << "0.0" << 9 << 5 << "on";
        QTest::newRow("0.0 dB, line echoing CR as CR LF") << 60 << "0.0" << 9 << 5 << "crlf";
    }
    void sliderReleases()
    {
        QFETCH(int, position);
        QFETCH(QString, gain);
        QFETCH(int, coarse);
        QFETCH(int, fine);
        QFETCH(QString, echo);
        connectEncoder({{"echo", echo.toStdString()}});
        frmTXTune *w = openTuning();
        releaseAt(w, position);
        QCOMPARE(w->Text1->text(), gain);
        QCOMPARE(sent(), attenuation(coarse, fine));
        QCOMPARE(encoderAttenuation(), QByteArray::number(coarse) + '/' + QByteArray::number(fine));
        QCOMPARE(EncoderSettings.sModSliderVal + ' ' + EncoderSettings.sModAttenC + ' ' + EncoderSettings.sModAttenF,
                 QByteArray::number(position) + ' ' + QByteArray::number(coarse) + ' ' + QByteArray::number(fine));
        QVERIFY(Run.bDBMatchesEncoder && !HourglassShown()); // tuning is no change of the database
    }

    // The port closed: the buttons and the slider say so and send nothing. Open: each tone
    // command goes out, a right-button release sends nothing, Home and its release send the top.
    void tonesAndKeys()
    {
        EncoderSettings.sModSliderVal = "100";
        frmTXTune *w = openTuning();
        for (int i = 0; i < 2; ++i)
            noBoxes->expect(QStringLiteral("COM Port Not Open")).title(QStringLiteral("Communications Error")).icon(MsgIcon::None);
        w->cmd512->click();
        releaseAt(w, 70);
        QVERIFY(noBoxes->verifyAllShown());

        connectEncoder();
        w->cmd512->click();
        w->cmd1200->click();
        w->cmd2400->click();
        QVERIFY(encoder->sim().waitForEvent("tone 2400", std::chrono::milliseconds(5000)));
        QCOMPARE(encoder->sim().getState().tone, 2400);
        QTest::mouseRelease(w->Slider1, Qt::RightButton);
        QTest::keyClick(w->Slider1, Qt::Key_Home);
        QCOMPARE(w->Text1->text(), QStringLiteral("6.0"));
        QCOMPARE(sent(), QByteArrayList({"TEST512\r", "TEST1200\r", "TEST2400\r"}) + attenuation(0, 0));
    }

    void encoderFailures_data()
    {
        QTest::addColumn<QString>("knob");
        QTest::addColumn<QString>("box");
        QTest::addColumn<int>("commands");
        QTest::newRow("coarse unanswered") << "drop_reply=\"CONFIG MODATTENC\"" << "No Response from Encoder" << 1;
        QTest::newRow("coarse answered wrongly") << "replace_reply=\"CONFIG MODATTENC\" bytes=XYZ<CR>"
                                                 << "Improper Response from Encoder" << 1;
        QTest::newRow("coarse answered by a lone CR") << "replace_reply=\"CONFIG MODATTENC\" bytes=<CR>"
                                                      << "Improper Response from Encoder" << 1;
        QTest::newRow("fine unanswered") << "drop_reply=\"CONFIG MODATTENF\"" << "Improper Response from Encoder" << 2;
    }
    void encoderFailures()
    {
        QFETCH(QString, knob);
        QFETCH(QString, box);
        QFETCH(int, commands);
        connectEncoder(KnobsFrom({knob}));
        frmTXTune *w = openTuning();
        noBoxes->expect(box).title(QStringLiteral("Communication Failure")).icon(MsgIcon::None);
        releaseAt(w, 60);
        QVERIFY(noBoxes->verifyAllShown());
        // An unanswered command may reach the encoder's log after the wait has ended.
        QTRY_COMPARE(sent(), attenuation(9, 5).mid(0, commands));
        QVERIFY(!HourglassShown() && w->isVisible());
    }

    // Let go twice and a tone pressed while the coarse answer is awaited: nothing more goes on
    // the line until the exchange ends, then the slider's last position goes once.
    void oneExchangeAtATime()
    {
        SetTimeScale(0.2); // a wide window for acting inside the wait
        connectEncoder();
        frmTXTune *w = openTuning();
        QObject scope;
        auto *poll = new QTimer(&scope);
        connect(poll, &QTimer::timeout, poll, [this, w, poll] {
            if (!encoder->sim().log().find("modattenc:"))
                return;
            poll->stop();
            releaseAt(w, 100);
            releaseAt(w, 120);
            w->cmd512->click();
        });
        poll->start(1);
        releaseAt(w, 60);
        QCOMPARE(sent(), attenuation(9, 5) + attenuation(13, 5));
        QCOMPARE(encoderAttenuation(), QByteArray("13/5"));
        QCOMPARE(w->Text1->text(), QStringLiteral("-6.0"));
    }

    // The stored position is read as a write reads it; only Exit stores it, the close box keeps
    // it for the run.
    void startPositionAndPreference()
    {
        const QString stored = QStringLiteral("ModSliderVal");
        for (const auto &[text, position] : {std::pair{"abc", 47}, std::pair{"2000", 834}}) {
            EncoderSettings.sModSliderVal = text;
            frmTXTune *w = openTuning();
            QCOMPARE(w->Slider1->value(), position);
            QCOMPARE(w->Text1->text(), QString::fromLatin1(GainForSlider(position).toText()));
            // The wheel moves nothing: it would show a gain that is never sent.
            QWheelEvent wheel(QPointF(5, 5), QPointF(5, 5), QPoint(), QPoint(0, -120), Qt::NoButton,
                              Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(w->Slider1, &wheel);
            QCOMPARE(w->Slider1->value(), position);
            w->close();
        }
        openTuning()->Slider1->setValue(500);
        forms::Find<frmTXTune>()->close();
        QCOMPARE(StoredPreference(kSolvendraTitle, stored), QStringLiteral("<absent>"));
        frmTXTune *w = openTuning();
        QCOMPARE(w->Slider1->value(), 500);
        w->mnuExit->trigger();
        QVERIFY(!forms::IsLoaded<frmTXTune>());
        QCOMPARE(StoredPreference(kSolvendraTitle, stored), QStringLiteral("500"));
    }

    // The command waits for a running transfer; while tuning runs it holds off the others, and
    // the Test menu stays offered with the port open.
    void menuCommand()
    {
        connectEncoder();
        t->mnuTXTune->setVisible(true);
        t->mnuTXTune->setEnabled(true);
        bool opened = false;
        {
            QObject scope; // closes a window that should not have come, so nothing hangs
            QTimer::singleShot(0, &scope, [&opened] {
                opened = forms::IsLoaded<frmTXTune>();
                forms::Unload<frmTXTune>();
            });
            BusyScope line(Busy::Line);
            t->mnuTXTune->trigger();
        }
        QVERIFY(!opened && !forms::IsLoaded<frmTXTune>());

        bool heldOff = false;
        t->mnuTest->setEnabled(false);
        const PendingAction onTXTune = WhenShown<frmTXTune>([&heldOff](frmTXTune *w) {
            heldOff = Run.TransferRunning();
            w->mnuExit_Click();
        });
        t->mnuTXTune->trigger();
        QVERIFY(heldOff && !Run.TransferRunning());
        QVERIFY(t->mnuTest->isEnabled());
    }
};

QTEST_MAIN(TestTXTune)
#include "tst_txtune.moc"
