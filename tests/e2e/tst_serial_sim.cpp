// The serial layer against the simulated encoder: what the encoder sees of the line settings the
// program sets, and that bytes written just before a close reach it. (The replies, endings and
// fault knobs of the encoder are tested with the simulator; the transfers, with the link.)

#include <QFileInfo>
#include <QtTest>

#include <cerrno>
#include <sys/stat.h>

#include "encoder/link.h"
#include "model/state.h"
#include "platform/serialport.h"
#include "platform/timing.h"
#include "support/simencoder.h"

using namespace std::chrono_literals;

class TestSerialSim : public QObject {
    Q_OBJECT

    std::unique_ptr<SimEncoder> encoder;
    EncoderLink *port = nullptr;

    bool plug(encsim::DeviceState state, encsim::Mode mode,
              std::vector<std::pair<std::string, std::string>> knobs = {})
    {
        encoder = std::make_unique<SimEncoder>(std::move(state), mode, std::move(knobs));
        if (!encoder->ok()) {
            qWarning() << encoder->error();
            return false;
        }
        port = &Link();
        return !port->setPortNumber(1) && !port->setLine("9600,n,8,1") && !port->openPort();
    }

    ExchangeResult ask(const QByteArray &command, const QList<QByteArray> &expected,
                       bool discard = true)
    {
        return Link().Wait({.send = command, .discardFirst = discard, .until = HoldsAny(expected)});
    }

    // Waits until the encoder has taken in a command (its log says so).
    bool encoderLogged(const char *pattern, std::chrono::milliseconds within = 2000ms)
    {
        return encoder->sim().waitForEvent(pattern, within).has_value();
    }

private slots:
    void init()
    {
        ResetProgramState();
        SetTimeScale(0.2); // the program's waits and the encoder's delays alike
        Link().Reset();
        Link().setReplyInterval(std::chrono::milliseconds(1500));
    }
    void cleanup()
    {
        Link().Reset();
        encoder.reset();
        SetTimeScale(1.0);
    }

    void theEncoderSeesTheBaudRateTheProgramSets()
    {
        // No grace for bytes at the speed the port had a moment before: the port was opened at
        // 9600 just now, and the bytes below go out at 2400.
        QVERIFY(plug(encsim::DeviceState::factory(9), encsim::Mode::Paging, {{"grace_ms", "0"}}));
        // At 2400 baud the encoder (listening at 9600) cannot make out "#PrgmMode#".
        QVERIFY(!port->setLine("2400,n,8,1"));
        QVERIFY(!port->Write("#PrgmMode#"));
        QVERIFY(encoderLogged("PC line speed 2400"));
        QVERIFY(encoderLogged("ignored"));
        QVERIFY(encoder->sim().mode() != encsim::Mode::Programming);
        // Changed while open, the new speed is what the encoder hears next.
        QVERIFY(!port->setLine("9600,n,8,1"));
        const auto r = ask("#PrgmMode#", {"9600 baud"}, false);
        QCOMPARE(r.outcome, ReplyOutcome::Answered);
        QCOMPARE(encoder->sim().mode(), encsim::Mode::Programming);
        QVERIFY(encoderLogged("PC line speed 9600"));
    }

    void bytesWrittenJustBeforeACloseReachTheEncoder()
    {
        QVERIFY(plug(encsim::DeviceState::factory(9), encsim::Mode::Programming));
        QVERIFY(!port->Write("config maxbatch 33\r"));
        QVERIFY(!port->closePort());
        QVERIFY(encoderLogged("maxbatch"));
        QTRY_COMPARE(encoder->sim().getState().config.at("maxbatch"), std::string("33"));
    }


    // The encoder is reached through its own link only. When it hangs up, or goes, a late open
    // of COM 1 fails instead of reaching the pseudo-terminal that next gets its number (another
    // test's encoder, perhaps). Going, it first closes the program's port, and COM 1 leads back
    // to where it led before.
    void aLateOpenReachesNoOtherEncoder()
    {
        const QString before = QStringLiteral("/nonexistent-pagersetup/tty1");
        SetComDevicePathOverride(1, before);
        QVERIFY(plug(encsim::DeviceState::factory(9), encsim::Mode::Paging));
        const QString link = encoder->linkPath();
        QCOMPARE(port->devicePath(), link);
        QVERIFY(!link.startsWith(QLatin1String("/dev/")) && QFileInfo(link).isSymLink());
        encoder->sim().hangup();
        QVERIFY(encoderLogged("hangup: pseudo-terminal closed"));
        struct stat st {};
        QVERIFY(::lstat(QFile::encodeName(link).constData(), &st) != 0 && errno == ENOENT);
        port->closePort();
        QCOMPARE(port->openPort().code, CommError::OpenFailed);

        encoder.reset();
        QCOMPARE(ComDevicePath(1), before);
        QVERIFY(plug(encsim::DeviceState::factory(9), encsim::Mode::Paging));
        QVERIFY(port->isOpen() && port->devicePath() == encoder->linkPath());
        encoder.reset();
        QVERIFY(!port->isOpen());
        QCOMPARE(ComDevicePath(1), before);
        QCOMPARE(port->openPort().code, CommError::OpenFailed);
        SetComDevicePathOverride(1, QString());
    }
};

QTEST_MAIN(TestSerialSim)
#include "tst_serial_sim.moc"
