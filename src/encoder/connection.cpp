#include "encoder/connection.h"

#include "app/frmTerminal.h"
#include "encoder/exchange.h"
#include "encoder/frmCancelSend.h"
#include "encoder/identify.h"
#include "encoder/read/reader.h"
#include "model/state.h"
#include "platform/msgbox.h"
#include "platform/pointer.h"
#include "platform/serialport.h"
#include "platform/timing.h"
#include "testconsole/frmMessageTest.h"

#include <QAction>
#include <QDeadlineTimer>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QThread>

#include <optional>

namespace {

using Terminal = QPointer<frmTerminal>;

const QByteArray kProgrammingSettings("9600,n,8,1");
const QByteArray kPrgmMode("#PrgmMode#");
const QByteArray kATI("ATI\r\r");

bool gone(const Terminal &t)
{
    return !t || t->isUnloaded() || bAppClosing;
}

// A pause that keeps the windows painted and answering (the cancel window's button among
// them). Ends early when the program closes, and when cancellable once the operator cancels.
void Pause(int ms, bool cancellable)
{
    QDeadlineTimer deadline(ScaledMs(ms));
    while (!deadline.hasExpired()) {
        DoEvents();
        if (bAppClosing || (cancellable && bCancelOp))
            return;
        const qint64 left = qBound(qint64(1), deadline.remainingTime(), qint64(10));
        QThread::msleep(static_cast<unsigned long>(left));
    }
}

QString portNumber(const Terminal &t)
{
    return QString::number(t->MSComm1->CommPort());
}

void setLine(const Terminal &t, const QByteArray &settings)
{
    t->MSComm1->setSettings(settings); // settings the port refuses leave the previous ones
}

void Toggle();

// ---------------------------------------------------------------------------------------------
// Identification

void takeIdentity(const QByteArray &reply)
{
    if (const auto version = GetEncoderVersion(reply))
        Run.sFirmwareVer = *version;
    Run.sTestPort = GetEncoderPort(reply);
}

// Labels the main window with the firmware's generation. flagV7 marks a V7 encoder as such
// (the late identification labels it only).
void labelGeneration(const Terminal &t, bool flagV7)
{
    const bool kestrane = Run.sBrand == BrandKestrane;
    const char generation = Run.sFirmwareVer.isEmpty() ? '\0' : Run.sFirmwareVer.at(0);
    t->lblVersion->setText(QStringLiteral("Firmware Version: ") + QString::fromLatin1(Run.sFirmwareVer));
    if (generation == '7') {
        if (flagV7)
            Run.bV7Encoder = true;
        if (kestrane)
            t->Label25->setText(QStringLiteral("Paging Encoder V7"));
    } else if (generation == '9') {
        if (const auto minor = FirmwareMinor(Run.sFirmwareVer); minor && *minor >= 7)
            Run.bFwV97Plus = true;
        if (kestrane)
            t->Label25->setText(QStringLiteral("Paging Encoder V9"));
    } else if (generation == '8') {
        if (kestrane)
            t->Label25->setText(QStringLiteral("Paging Encoder V8"));
    }
}

// ---------------------------------------------------------------------------------------------
// Detection

enum class Ending { Detected, V7Refusal, NotDetectedQuiet, NotDetectedReboot, Cancelled, Gone };

class Detection {
public:
    Detection(const Terminal &t, int entryInterval) : m_t(t), m_entry(entryInterval) {}

    Ending run()
    {
        const QList<QByteArray> attempts = lineSettingsToTry();
        for (qsizetype i = 0; i < attempts.size(); ++i)
            if (const auto ending = attempt(attempts[i], i == attempts.size() - 1))
                return *ending;
        return Ending::NotDetectedQuiet; // the last attempt always ends the detection
    }

private:
    // Attempt 0 is the port's settings (9600,n,8,1 in virgin mode; the attached encoder port's
    // while the database matches the encoder); then the table, less what attempt 0 tried.
    QList<QByteArray> lineSettingsToTry()
    {
        bRespTimeout = false;
        m_t->Timer2->setEnabled(false);
        if (Run.bVirginMode)
            setLine(m_t, kProgrammingSettings);
        if (Run.bDBMatchesEncoder) {
            const bool one = Run.sTestPort == "1";
            setLine(m_t, AttachedPortSettings(one ? EncoderSettings.sPort1Baud : EncoderSettings.sPort2Baud,
                                              one ? EncoderSettings.sPort1DataBits : EncoderSettings.sPort2DataBits));
        }
        QList<QByteArray> attempts{m_t->MSComm1->Settings()};
        for (const QByteArray &settings : DetectionSettingsTable())
            if (settings != attempts.first())
                attempts << settings;
        return attempts;
    }

    // One exchange; every wait of a detection puts the entry interval back afterwards. A
    // command the port cannot write is reported once and ends the detection (a line that has
    // gone away gives the same error at every write).
    ExchangeResult exchange(const QByteArray &command, const QList<QByteArray> &expected,
                            bool cancellable, bool discardFirst)
    {
        ExchangeResult r;
        MSComm &port = *m_t->MSComm1;
        if (discardFirst)
            port.DiscardInput();
        if (!WriteToEncoder(port, command)) {
            m_writeFailed = true;
            return r;
        }
        if (gone(m_t))
            return r;
        r.outcome = WaitForExpected(port, *m_t->Timer2, expected, cancellable, r.reply);
        if (m_t)
            m_t->Timer2->setInterval(m_entry);
        return r;
    }

    // After an exchange: the program is closing, or the line is broken.
    std::optional<Ending> interrupted() const
    {
        if (gone(m_t))
            return Ending::Gone;
        if (m_writeFailed)
            return Ending::NotDetectedQuiet;
        return std::nullopt;
    }

    // One line setting; no ending when the next one is to be tried.
    std::optional<Ending> attempt(const QByteArray &settings, bool last)
    {
        bRespTimeout = false;
        m_t->Timer2->setEnabled(false);
        setLine(m_t, settings);
        m_t->Timer2->setInterval(DetectionTimeoutMs(settings));
        SetHourglassPointer();

        m_t->MSComm1->DiscardInput();
        frmCancelSend *cancel = forms::Get<frmCancelSend>();
        cancel->Label1->setText(QStringLiteral("Attempting to Detect Paging Encoder\non COM Port ") +
                                portNumber(m_t) + QStringLiteral(" at ") +
                                QString::fromLatin1(settings));
        forms::Show<frmCancelSend>();

        ExchangeResult r = exchange(kPrgmMode, {"TAP", ProgrammingSignature()}, true, false);
        if (const auto stop = interrupted())
            return *stop;
        if (r.outcome == ReplyOutcome::Cancelled)
            return Ending::Cancelled;
        bRespTimeout = false;

        if (r.reply.contains("TAP") || r.reply.contains(ProgrammingSignature())) {
            // Programming mode: the encoder now talks at 9600 baud.
            Pause(2500, true);
            if (const auto stop = interrupted())
                return *stop;
            if (bCancelOp)
                return Ending::Cancelled;
            setLine(m_t, kProgrammingSettings);
            r = exchange(kATI, {"ID="}, true, true);
            if (const auto stop = interrupted())
                return *stop;
            if (r.outcome == ReplyOutcome::Cancelled)
                return Ending::Cancelled;
            bRespTimeout = false;
            if (r.reply.contains("ID=")) {
                takeIdentity(r.reply);
                labelGeneration(m_t, true);
            }
            return Ending::Detected;
        }

        // No programming mode yet: ask who answers.
        setLine(m_t, kProgrammingSettings);
        r = exchange(kATI, {"ID="}, true, true);
        if (const auto stop = interrupted())
            return *stop;
        if (r.outcome == ReplyOutcome::Cancelled)
            return Ending::Cancelled;
        bRespTimeout = false;
        const QByteArray &reply = r.reply;

        if (reply.contains("ID=")) {
            takeIdentity(reply);
            labelGeneration(m_t, true);
            return switchToProgramming();
        }
        if (reply.contains("Encoder")) {
            takeIdentity(reply);
            if (Run.sFirmwareVer.startsWith('7'))
                return Ending::V7Refusal;
            labelGeneration(m_t, false);
            return switchToProgramming();
        }
        if (reply.contains("COMP1>")) {
            // A V7 with its switches off echoes the request instead of switching.
            const ExchangeResult p = exchange(kPrgmMode, {"9600 baud"}, false, false);
            if (const auto stop = interrupted())
                return *stop;
            if (p.reply.contains(kPrgmMode))
                return Ending::V7Refusal;
            return lateIdentification();
        }
        if (reply.contains("COMP2>")) {
            // ... and stays silent on a COMP2 port.
            const ExchangeResult p = exchange(kPrgmMode, {"9600 baud"}, false, false);
            if (const auto stop = interrupted())
                return *stop;
            if (p.reply.isEmpty())
                return Ending::V7Refusal;
            return lateIdentification();
        }
        if (reply.contains("ATI\r\x07\r") || reply.contains("INVALID") ||
            reply.contains("\nError - Invalid")) {
            exchange(kPrgmMode, {"9600 baud"}, false, false);
            if (const auto stop = interrupted())
                return *stop;
            return lateIdentification();
        }
        if (!last)
            return std::nullopt;
        return reply.isEmpty() ? Ending::NotDetectedQuiet : Ending::NotDetectedReboot;
    }

    // After an identification in paging mode: into programming mode at 9600 baud.
    Ending switchToProgramming()
    {
        exchange(kPrgmMode, {"9600 baud"}, false, false);
        if (const auto stop = interrupted())
            return *stop;
        bRespTimeout = false;
        setLine(m_t, kProgrammingSettings);
        Sleep(75);
        return Ending::Detected;
    }

    // After a protocol prompt and the switch: the identification, which labels the window only.
    Ending lateIdentification()
    {
        bRespTimeout = false;
        setLine(m_t, kProgrammingSettings);
        Sleep(75);
        const ExchangeResult r = exchange(kATI, {"ID="}, false, false);
        if (const auto stop = interrupted())
            return *stop;
        bRespTimeout = false;
        if (r.reply.contains("ID=")) {
            takeIdentity(r.reply);
            labelGeneration(m_t, false);
        }
        return Ending::Detected;
    }

    Terminal m_t;
    int m_entry;
    bool m_writeFailed = false;
};

// ---------------------------------------------------------------------------------------------
// Endings and the steps around them

void exitSteps()
{
    forms::Unload<frmCancelSend>();
    SetDefaultPointer();
    Run.bNoDetect = false;
}

void detectedEnding(const Terminal &t)
{
    forms::Unload<frmCancelSend>();
    SetDefaultPointer();
    Run.bNoDetect = true;
    t->mnuTest->setEnabled(true);
    t->mnuReadDB->setEnabled(true);
    t->mnuWriteDB->setEnabled(true);
    MsgBox(QStringLiteral("Paging Encoder Was Detected\rThe Encoder Database will Now be Read"),
           MsgButtons::OK, MsgIcon::None, QStringLiteral("Paging Encoder Detected"));
    if (gone(t))
        return;
    bool read = true;
    if (!Run.bDBMatchesEncoder)
        read = MsgBox(QStringLiteral("You are About to Read the Encoder and Replace the Current "
                                     "Configuration\rAre You Sure?"),
                      MsgButtons::YesNo, MsgIcon::Question,
                      QStringLiteral("Read Encoder?")) == MsgAnswer::Yes;
    if (gone(t))
        return;
    if (read) {
        if (Run.bV7Encoder)
            ReadEncoderDBV7();
        else
            ReadEncoderDB();
        if (gone(t))
            return;
    }
    if (t->mnuTXTune->isVisible())
        t->mnuTXTune->setEnabled(true);
}

void v7RefusalEnding(const Terminal &t)
{
    // The detection is over: its cancel window gives way to the message.
    forms::Unload<frmCancelSend>();
    SetDefaultPointer();
    MsgBox(QStringLiteral("A Version 7 Paging System was Detected.  Please set all DIP Switches\r"
                          "on the Paging System to the ON position, then Cycle Power on the\r"
                          "Paging System and Try Again"),
           MsgButtons::OK, MsgIcon::None, QStringLiteral("V7 Paging System Detected"));
    if (gone(t))
        return;
    Run.bV7Encoder = true;
    Toggle(); // closes the port; a V7 encoder gets no reboot
}

void notDetectedEnding(const Terminal &t, bool rebootForm)
{
    forms::Unload<frmCancelSend>();
    SetDefaultPointer();
    MsgBox(QStringLiteral("The Paging Encoder was Not Detected.\r"
                          "Please Check Connections, Paging Encoder Configuration,\r"
                          "or COM Port Settings, and Try Again"),
           MsgButtons::OK, MsgIcon::None, QStringLiteral("Paging Encoder Not Detected"));
    if (gone(t))
        return;
    if (rebootForm) {
        // Something answered: in case it was an encoder that did switch, out of programming mode.
        SetHourglassPointer();
        t->MSComm1->Output("config reboot\r");
    }
    SetDefaultPointer();
    t->BringToFront(t->ImgNotConnected);
    Toggle();
}

void cancelledEnding(const Terminal &t)
{
    bCancelOp = false;
    bRespTimeout = false;
    t->Timer2->setEnabled(false);
    Toggle();
}

void openingSteps(const Terminal &t, int entryInterval)
{
    const QString n = portNumber(t);
    Run.bV7Encoder = false;
    t->BringToFront(t->ImgConnected);
    t->StatusBar1->setPanelText(2, QStringLiteral("COM ") + n + QStringLiteral(" Open"));
    t->mnuOpen->setText(QStringLiteral("&Close Port"));
    t->cmdComStatus->setText(QStringLiteral("Close COM ") + n);
    t->Toolbar1->ButtonByKey(QStringLiteral("program"))->setEnabled(true);
    t->Toolbar1->ButtonByKey(QStringLiteral("read"))->setEnabled(true);
    if (Run.bDBMatchesEncoder) {
        t->cmdLookup->setEnabled(true);
        t->mnuSendMsg->setEnabled(true);
        t->Toolbar1->ButtonByKey(QStringLiteral("test"))->setEnabled(true);
    }
    if (Run.bNoDetect) {
        exitSteps();
        return;
    }

    Ending ending;
    {
        BusyScope detecting(Busy::Detecting);
        ending = Detection(t, entryInterval).run();
    }
    switch (ending) {
    case Ending::Detected: detectedEnding(t); break;
    case Ending::V7Refusal: v7RefusalEnding(t); break;
    case Ending::NotDetectedQuiet: notDetectedEnding(t, false); break;
    case Ending::NotDetectedReboot: notDetectedEnding(t, true); break;
    case Ending::Cancelled: cancelledEnding(t); break;
    case Ending::Gone: break;
    }
    exitSteps();
}

void closingSteps(const Terminal &t)
{
    const QString n = portNumber(t);
    bool rebooted = false;
    if (!Run.bV7Encoder) {
        // Out of programming mode (a port that cannot be opened gets nothing and no message).
        SetHourglassPointer();
        if (!t->MSComm1->PortOpen())
            t->MSComm1->setPortOpen(true);
        rebooted = !t->MSComm1->Output("config reboot\r");
    }
    t->cmdComStatus->setEnabled(false);
    t->mnuTest->setEnabled(false);
    t->cmdLookup->setEnabled(false);
    t->mnuSendMsg->setEnabled(false);
    t->Toolbar1->ButtonByKey(QStringLiteral("program"))->setEnabled(false);
    t->Toolbar1->ButtonByKey(QStringLiteral("read"))->setEnabled(false);
    t->Toolbar1->ButtonByKey(QStringLiteral("test"))->setEnabled(false);
    t->BringToFront(t->ImgNotConnected);
    t->mnuOpen->setText(QStringLiteral("&Open Port"));
    t->cmdComStatus->setText(QStringLiteral("Open COM ") + n);
    t->StatusBar1->setPanelText(2, QStringLiteral("COM ") + n + QStringLiteral(" Closed"));
    t->mnuReadDB->setEnabled(false);
    t->mnuWriteDB->setEnabled(false);

    // The test console's own closing talks to the encoder and may yield.
    forms::Unload<frmMessageTest>();
    if (gone(t))
        return;

    t->MSComm1->setPortOpen(false);
    setLine(t, kProgrammingSettings);
    if (!Run.bV7Encoder) {
        // The encoder reboots; nothing is sent its way meanwhile. Without a reboot on the line
        // there is nothing to wait for.
        if (rebooted)
            Pause(2500, false);
        if (gone(t))
            return;
        SetDefaultPointer();
    }
    t->cmdComStatus->setEnabled(true);
}

void Toggle()
{
    Terminal t = forms::Find<frmTerminal>();
    if (!t || t->isUnloaded())
        return;
    forms::HandlerScope scope(t.data());
    bCancelOp = false;

    const bool wasOpen = t->MSComm1->PortOpen();
    if (const CommError e = t->MSComm1->setPortOpen(!wasOpen))
        MsgBox(e.text, MsgButtons::OK, MsgIcon::Exclamation);
    if (gone(t))
        return;
    const int entryInterval = t->Timer2->Interval();
    t->Timer2->setInterval(8000);

    if (t->MSComm1->PortOpen()) {
        openingSteps(t, entryInterval);
        return;
    }
    closingSteps(t);
    if (gone(t))
        return;
    exitSteps();
}

} // namespace

void OpenClosePort()
{
    // The cancel window stops a detection; the toggle leaves it alone.
    if (Run.busy == Busy::Detecting)
        return;
    Toggle();
}
