#include "encoder/connection.h"

#include "encoder/identify.h"
#include "encoder/link.h"
#include "encoder/read/reader.h"
#include "encoder/terminalview.h"
#include "model/encoderports.h"
#include "model/state.h"
#include "platform/files.h"
#include "platform/msgbox.h"
#include "platform/pointer.h"
#include "platform/serialport.h"

#include <QFileInfo>

#include <cerrno>
#include <optional>

namespace {

using Command = TerminalView::Command;
using Label = TerminalView::Label;
using Disc = TerminalView::Disc;

const QByteArray kProgrammingSettings("9600,n,8,1");
const QByteArray kPrgmMode("#PrgmMode#");
const QByteArray kATI("ATI\r\r");

bool gone()
{
    return Link().Gone();
}

QString portNumber()
{
    return QString::number(Link().portNumber());
}

void setLine(const QByteArray &settings)
{
    Link().setLine(settings); // settings the port refuses leave the previous ones
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
void labelGeneration(bool flagV7)
{
    TerminalView &view = Link().view();
    const bool kestrane = Run.sBrand == BrandKestrane;
    const char generation = Run.sFirmwareVer.isEmpty() ? '\0' : Run.sFirmwareVer.at(0);
    // SNPP is offered by V9 firmware of minor version 7 or later: this encoder's, not one
    // detected before it in this run.
    const auto minor = FirmwareMinor(Run.sFirmwareVer);
    Run.bFwV97Plus = generation == '9' && minor && *minor >= 7;
    view.SetLabel(Label::Firmware, QStringLiteral("Firmware Version: ") + QString::fromLatin1(Run.sFirmwareVer));
    if (generation == '7') {
        if (flagV7)
            Run.bV7Encoder = true;
        if (kestrane)
            view.SetLabel(Label::Model, QStringLiteral("Paging Encoder V7"));
    } else if (generation == '9') {
        if (kestrane)
            view.SetLabel(Label::Model, QStringLiteral("Paging Encoder V9"));
    } else if (generation == '8') {
        if (kestrane)
            view.SetLabel(Label::Model, QStringLiteral("Paging Encoder V8"));
    }
}

// ---------------------------------------------------------------------------------------------
// Detection

enum class Ending { Detected, V7Refusal, NotDetectedQuiet, NotDetectedReboot, Cancelled, LineGone, Gone };

class Detection {
public:
    explicit Detection(std::chrono::milliseconds entryInterval) : m_entry(entryInterval) {}

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
        if (Run.bVirginMode)
            setLine(kProgrammingSettings);
        if (Run.bDBMatchesEncoder)
            setLine(AttachedPortLineSettings());
        QList<QByteArray> attempts{Link().lineSettings()};
        for (const QByteArray &settings : DetectionSettingsTable())
            if (settings != attempts.first())
                attempts << settings;
        return attempts;
    }

    // One exchange, on the reply timer at the interval it holds unless a deadline is given;
    // every wait of a detection puts the entry interval back afterwards. A command the port
    // cannot write is reported once and ends the detection (a line that has gone away gives
    // the same error at every write).
    ExchangeResult exchange(const QByteArray &command, const QList<QByteArray> &expected,
                            bool cancellable, bool discardFirst,
                            Deadline deadline = Deadline::ReplyTimer())
    {
        ExchangeResult r = Link().Wait({.send = command,
                                        .discardFirst = discardFirst,
                                        .until = HoldsAny(expected),
                                        .deadline = deadline,
                                        .cancellable = cancellable,
                                        .onWriteFailure = OnWriteFailure::ShowAndEnd});
        if (r.outcome == ReplyOutcome::WriteFailed) {
            m_writeFailed = true;
            return r;
        }
        Link().setReplyInterval(m_entry);
        return r;
    }

    // After an exchange or a pause: the program is closing, the port's device has gone, or the
    // line is broken.
    std::optional<Ending> interrupted() const
    {
        if (gone())
            return Ending::Gone;
        if (Link().lineGone())
            return Ending::LineGone;
        if (m_writeFailed)
            return Ending::NotDetectedQuiet;
        return std::nullopt;
    }

    // One line setting; no ending when the next one is to be tried.
    std::optional<Ending> attempt(const QByteArray &settings, bool last)
    {
        setLine(settings);
        SetHourglassPointer();

        Link().discardInput();
        Link().view().ShowCancelWindow(QStringLiteral("Attempting to Detect Paging Encoder\non COM Port ") +
                                       portNumber() + QStringLiteral(" at ") + QString::fromLatin1(settings));

        ExchangeResult r = exchange(kPrgmMode, {"TAP", ProgrammingSignature()}, true, false,
                                    Deadline::ReplyTimer(DetectionTimeout(settings)));
        if (const auto stop = interrupted())
            return *stop;
        if (r.outcome == ReplyOutcome::Cancelled)
            return Ending::Cancelled;

        if (r.reply.contains("TAP") || r.reply.contains(ProgrammingSignature())) {
            // Programming mode: the encoder now talks at 9600 baud.
            const ReplyOutcome paused = Link().Pause(timeouts::Reboot, true);
            if (const auto stop = interrupted())
                return *stop;
            if (paused == ReplyOutcome::Cancelled)
                return Ending::Cancelled;
            setLine(kProgrammingSettings);
            r = exchange(kATI, {"ID="}, true, true);
            if (const auto stop = interrupted())
                return *stop;
            if (r.outcome == ReplyOutcome::Cancelled)
                return Ending::Cancelled;
            if (r.reply.contains("ID=")) {
                takeIdentity(r.reply);
                labelGeneration(true);
            }
            return Ending::Detected;
        }

        // No programming mode yet: ask who answers.
        setLine(kProgrammingSettings);
        r = exchange(kATI, {"ID="}, true, true);
        if (const auto stop = interrupted())
            return *stop;
        if (r.outcome == ReplyOutcome::Cancelled)
            return Ending::Cancelled;
        const QByteArray &reply = r.reply;

        if (reply.contains("ID=")) {
            takeIdentity(reply);
            labelGeneration(true);
            return switchToProgramming();
        }
        if (reply.contains("Encoder")) {
            takeIdentity(reply);
            if (Run.sFirmwareVer.startsWith('7'))
                return Ending::V7Refusal;
            labelGeneration(false);
            return switchToProgramming();
        }
        if (reply.contains("COMP1>")) {
            // A V7 with its switches off echoes the request instead of switching. The link
            // takes an answer that begins with the request for a line's echo and judges what
            // follows it; so the request counts as come back when it stands after such an
            // echo, or when it came and no switch to programming mode was announced.
            const ExchangeResult p = exchange(kPrgmMode, {"9600 baud"}, false, false);
            if (const auto stop = interrupted())
                return *stop;
            if (p.reply.contains(kPrgmMode) || (p.raw.contains(kPrgmMode) && !p.reply.contains("9600 baud")))
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
        setLine(kProgrammingSettings);
        Link().Pause(timeouts::Settle, false);
        if (const auto stop = interrupted())
            return *stop;
        return Ending::Detected;
    }

    // After a protocol prompt and the switch: the identification, which labels the window only.
    Ending lateIdentification()
    {
        setLine(kProgrammingSettings);
        Link().Pause(timeouts::Settle, false);
        if (const auto stop = interrupted())
            return *stop;
        const ExchangeResult r = exchange(kATI, {"ID="}, false, false);
        if (const auto stop = interrupted())
            return *stop;
        if (r.reply.contains("ID=")) {
            takeIdentity(r.reply);
            labelGeneration(false);
        }
        return Ending::Detected;
    }

    std::chrono::milliseconds m_entry;
    bool m_writeFailed = false;
};

// ---------------------------------------------------------------------------------------------
// Endings and the steps around them

void exitSteps()
{
    Link().view().CloseCancelWindow();
    SetDefaultPointer();
    Run.bNoDetect = false;
}

void detectedEnding()
{
    TerminalView &view = Link().view();
    view.CloseCancelWindow();
    SetDefaultPointer();
    Run.bNoDetect = true;
    view.SetEnabled(Command::TestMenu, true);
    view.SetEnabled(Command::ReadDB, true);
    view.SetEnabled(Command::WriteDB, true);
    MsgBox(QStringLiteral("Paging Encoder Was Detected\rThe Encoder Database will Now be Read"),
           MsgButtons::OK, MsgIcon::None, QStringLiteral("Paging Encoder Detected"));
    if (gone() || Link().lineGone()) // a device that went while the box was up is not read
        return;
    bool read = true;
    if (!Run.bDBMatchesEncoder)
        read = MsgBox(QStringLiteral("You are About to Read the Encoder and Replace the Current "
                                     "Configuration\rAre You Sure?"),
                      MsgButtons::YesNo, MsgIcon::Question,
                      QStringLiteral("Read Encoder?")) == MsgAnswer::Yes;
    if (gone() || Link().lineGone())
        return;
    if (read) {
        if (Run.bV7Encoder)
            ReadEncoderDBV7();
        else
            ReadEncoderDB();
        if (gone() || Link().lineGone())
            return;
    }
    Link().view().SetEnabled(Command::TXTune, true);
}

void v7RefusalEnding()
{
    // The detection is over: its cancel window gives way to the message.
    Link().view().CloseCancelWindow();
    SetDefaultPointer();
    MsgBox(QStringLiteral("A Version 7 Paging System was Detected.  Please set all DIP Switches\r"
                          "on the Paging System to the ON position, then Cycle Power on the\r"
                          "Paging System and Try Again"),
           MsgButtons::OK, MsgIcon::None, QStringLiteral("V7 Paging System Detected"));
    if (gone())
        return;
    Run.bV7Encoder = true;
    Toggle(); // closes the port; a V7 encoder gets no reboot
}

void notDetectedEnding(bool rebootForm)
{
    Link().view().CloseCancelWindow();
    SetDefaultPointer();
    MsgBox(QStringLiteral("The Paging Encoder was Not Detected.\r"
                          "Please Check Connections, Paging Encoder Configuration,\r"
                          "or COM Port Settings, and Try Again"),
           MsgButtons::OK, MsgIcon::None, QStringLiteral("Paging Encoder Not Detected"));
    if (gone())
        return;
    if (rebootForm) {
        // Something answered: in case it was an encoder that did switch, out of programming mode.
        SetHourglassPointer();
        Link().Send("config reboot\r", false);
    }
    SetDefaultPointer();
    Link().view().BringToFront(Disc::NotConnected);
    Toggle();
}

void cancelledEnding()
{
    Link().clearCancel();
    Toggle();
}

void openingSteps(std::chrono::milliseconds entryInterval)
{
    TerminalView &view = Link().view();
    const QString n = portNumber();
    Run.bV7Encoder = false;
    Run.bFwV97Plus = false; // until this detection's identification says otherwise
    view.BringToFront(Disc::Connected);
    view.SetPanelText(2, QStringLiteral("COM ") + n + QStringLiteral(" Open"));
    view.SetPortTexts(QStringLiteral("&Close Port"), QStringLiteral("Close COM ") + n);
    view.SetEnabled(Command::ToolbarProgram, true);
    view.SetEnabled(Command::ToolbarRead, true);
    if (Run.bDBMatchesEncoder) {
        view.SetEnabled(Command::Lookup, true);
        view.SetEnabled(Command::SendMsg, true);
        view.SetEnabled(Command::ToolbarTest, true);
    }
    if (Run.bNoDetect) {
        exitSteps();
        return;
    }

    Ending ending;
    {
        BusyScope detecting(Busy::Detecting);
        ending = Detection(entryInterval).run();
    }
    switch (ending) {
    case Ending::Detected: detectedEnding(); break;
    case Ending::V7Refusal: v7RefusalEnding(); break;
    case Ending::NotDetectedQuiet: notDetectedEnding(false); break;
    case Ending::NotDetectedReboot: notDetectedEnding(true); break;
    case Ending::Cancelled: cancelledEnding(); break;
    case Ending::LineGone: // the main window says so as it shows the port closed
    case Ending::Gone: break;
    }
    exitSteps();
}

// The main window of a closed port; the COM port button stays off until the close has ended.
void showPortClosed(TerminalView &view, const QString &n)
{
    view.SetEnabled(Command::ComStatus, false);
    view.SetEnabled(Command::TestMenu, false);
    view.SetEnabled(Command::Lookup, false);
    view.SetEnabled(Command::SendMsg, false);
    view.SetEnabled(Command::ToolbarProgram, false);
    view.SetEnabled(Command::ToolbarRead, false);
    view.SetEnabled(Command::ToolbarTest, false);
    view.BringToFront(Disc::NotConnected);
    view.SetPortTexts(QStringLiteral("&Open Port"), QStringLiteral("Open COM ") + n);
    view.SetPanelText(2, QStringLiteral("COM ") + n + QStringLiteral(" Closed"));
    view.SetEnabled(Command::ReadDB, false);
    view.SetEnabled(Command::WriteDB, false);
}

// lineGone: the device has gone away; nothing is sent and there is no reboot to wait for. So
// too when it went while a close waited for the last bytes on the line.
void closingSteps(bool lineGone = false)
{
    EncoderLink &l = Link();
    const QString n = portNumber();
    bool rebooted = false;
    if (!Run.bV7Encoder && !lineGone && !l.lineWentAway()) {
        // Out of programming mode (a port that cannot be opened gets nothing and no message).
        SetHourglassPointer();
        if (!l.isOpen())
            l.openPort();
        rebooted = l.Send("config reboot\r", false);
    }
    TerminalView &view = l.view();
    showPortClosed(view, n);

    // The test console's own closing talks to the encoder and may yield.
    view.CloseTestConsole();
    if (gone())
        return;

    l.closePort();
    setLine(kProgrammingSettings);
    if (!Run.bV7Encoder) {
        // The encoder reboots; nothing is sent its way meanwhile. Without a reboot on the line
        // there is nothing to wait for, nor once the device went as the reboot went out (the
        // main window then says so).
        if (rebooted && !l.lineWentAway())
            l.Pause(timeouts::Reboot, false);
        if (gone())
            return;
        SetDefaultPointer();
    }
    l.view().SetEnabled(Command::ComStatus, true);
}

void Toggle()
{
    EncoderLink &l = Link();
    if (!l.hasView())
        return;
    l.clearCancel();

    if (const CommError e = l.isOpen() ? l.closePort() : l.openPort())
        MsgBox(e.text, MsgButtons::OK, MsgIcon::Exclamation);
    if (gone())
        return;
    const std::chrono::milliseconds entryInterval = l.replyInterval();
    l.setReplyInterval(timeouts::AfterToggle);

    if (l.isOpen()) {
        openingSteps(entryInterval);
        return;
    }
    closingSteps();
    if (gone())
        return;
    exitSteps();
}

} // namespace

void CloseGonePort()
{
    EncoderLink &l = Link();
    if (!l.hasView() || Run.busy == Busy::Detecting)
        return;
    l.clearCancel();
    // One box for the device's going away, whatever met it; then the port is closed as Close
    // Port leaves it, with nothing sent.
    SetDefaultPointer();
    MsgBox(LineGoneText(l.devicePath(), l.portNumber(), l.lineGoneReason()), MsgButtons::OK,
           MsgIcon::Exclamation, QStringLiteral("Serial Device Gone"));
    if (gone())
        return;
    l.closePort();
    l.setReplyInterval(timeouts::AfterToggle);
    closingSteps(true);
    if (gone())
        return;
    exitSteps();
}

bool ReopenPort()
{
    EncoderLink &l = Link();
    const CommError e = l.openPort();
    if (!e)
        return true;
    if (gone())
        return false;
    // The device is missing when the path its COM number leads to (a link's target) is not
    // there: a USB adapter pulled out takes its device node and its /dev/serial/by-id link
    // with it, and one that went while the port was closed leaves no other trace. A device
    // that is there but busy, refused or no serial device is said in the opening's own words.
    SetDefaultPointer();
    if (e.code == CommError::OpenFailed && !QFileInfo::exists(l.devicePath()))
        MsgBox(LineGoneText(l.devicePath(), l.portNumber(), SystemErrorText(ENOENT)), MsgButtons::OK,
               MsgIcon::Exclamation, QStringLiteral("Serial Device Gone"));
    else
        MsgBox(e.text, MsgButtons::OK, MsgIcon::Exclamation);
    if (gone())
        return false;
    // As a failed opening leaves the main window, with no reboot sent and the test console
    // left alone: its own closing may be the caller.
    l.setReplyInterval(timeouts::AfterToggle);
    showPortClosed(l.view(), portNumber());
    setLine(kProgrammingSettings);
    l.view().SetEnabled(Command::ComStatus, true);
    exitSteps();
    return false;
}

QString LineGoneText(const QString &device, int portNumber, const QString &reason)
{
    QString text = device + QStringLiteral(": The Serial Device has Gone Away");
    if (!reason.isEmpty())
        text += QStringLiteral(" (") + reason + QLatin1Char(')');
    return text + QStringLiteral("\rCOM Port ") + QString::number(portNumber) +
           QStringLiteral(" is Closed\rPlease Reconnect the Device, then Open the Port Again");
}

void OpenClosePort()
{
    // The cancel window stops a detection; the toggle leaves it alone.
    if (Run.busy == Busy::Detecting)
        return;
    Toggle();
}
