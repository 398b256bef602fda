#include "encoder/read/settingsqueries.h"

#include "encoder/controlbytes.h"
#include "encoder/read/records.h"
#include "model/encoderports.h"
#include "model/state.h"
#include "protocols/protocoltable.h"

#include <algorithm>

bool ToInt16Text(const QByteArray &value, QByteArray *out)
{
    bool ok = false;
    const int number = value.trimmed().toInt(&ok, 10);
    if (!ok || number < -32768 || number > 32767)
        return false;
    *out = QByteArray::number(number);
    return true;
}

namespace {
bool oneOf(const QByteArray &value, const auto &texts)
{
    return std::any_of(texts.begin(), texts.end(), [&](const char *t) { return value == t; });
}

bool digits(const QByteArray &value)
{
    return !value.isEmpty() && std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; });
}
} // namespace

bool HasForm(AnswerForm form, const QByteArray &value)
{
    switch (form) {
    case AnswerForm::Flag: return value == "0" || value == "1";
    case AnswerForm::Digits: return digits(value);
    case AnswerForm::Attenuation: return digits(value.startsWith('-') ? value.mid(1) : value);
    case AnswerForm::Protocol: return FindPagingProtocol(value) != nullptr;
    case AnswerForm::Baud: return oneOf(value, PortBaudRates) || value == "Invalid";
    case AnswerForm::CharFormat: return oneOf(value, PortCharFormats);
    case AnswerForm::Flow: return oneOf(value, PortFlowCodes);
    case AnswerForm::StationID:
        return !HoldsControlByte(value) && !value.toLower().startsWith("config") && value != "OK" &&
               value != "Invalid";
    case AnswerForm::PETSupport: return value == "0" || value == "1" || value == "\x1E";
    }
    return false;
}

QByteArray SettingAnswerValue(const QByteArray &reply)
{
    QByteArray line = FirstLine(reply);
    if (line.endsWith("\r\n"))
        line.chop(2);
    else if (line.startsWith('\x1E') && line.endsWith('\r'))
        line.chop(1);
    return line;
}

namespace {
std::function<void(const QByteArray &)> int16Into(QByteArray &target)
{
    return [&target](const QByteArray &v) {
        QByteArray text;
        if (ToInt16Text(v, &text))
            target = text;
    };
}
std::function<void(const QByteArray &)> textInto(QByteArray &target)
{
    return [&target](const QByteArray &v) { target = v; };
}
// True exactly when the value is onValue.
std::function<void(const QByteArray &)> flagWhen(bool &target, const char *onValue)
{
    return [&target, onValue](const QByteArray &v) { target = (v == onValue); };
}
// False exactly when the value is offValue.
std::function<void(const QByteArray &)> flagUnless(bool &target, const char *offValue)
{
    return [&target, offValue](const QByteArray &v) { target = (v != offValue); };
}
} // namespace

QList<SettingsQuery> TwoPortSettingsQueries(const QByteArray &testPort,
                                            const QByteArray &firmwareVer)
{
    QList<SettingsQuery> q;
    if (firmwareVer != "9.01")
        q.append({.statusItem = "Station ID",
                  .command = "config sid?",
                  .form = AnswerForm::StationID,
                  .store = textInto(EncoderSettings.sStationID),
                  .operatorText = true});
    q.append({"Max Msgs/Batch", "config maxbatch?", AnswerForm::Digits, int16Into(EncoderSettings.sMaxBatch)});
    q.append({"Transmitter Duty Cycle %", "config dutycycle?", AnswerForm::Digits, int16Into(EncoderSettings.sDutyCycle)});
    q.append({"Carrier Detection Mode", "config ignorerfcd?", AnswerForm::Flag, flagWhen(EncoderSettings.bIgnoreRFCD, "1")});
    q.append({"Carrier Detection Polarity", "config invertrfcd?", AnswerForm::Flag, flagWhen(EncoderSettings.bInvertRFCD, "1")});
    // Data polarity travels inverted: "1" means normal.
    q.append({"Data Polarity", "config invertdata?", AnswerForm::Flag, flagUnless(EncoderSettings.bInvertData, "1")});
    q.append({"Increment Capcodes by 8", "config capby8?", AnswerForm::Flag, flagUnless(EncoderSettings.bIncCapBy8, "0")});
    if (testPort == "2")
        q.append({"ID as Capcode for Port 1", "config serial1 idascap?", AnswerForm::Flag, flagUnless(EncoderSettings.bPort1IDAsCap, "0")});
    else
        q.append({"ID as Capcode for Port 2", "config serial2 idascap?", AnswerForm::Flag, flagUnless(EncoderSettings.bPort2IDAsCap, "0")});
    q.append({"Serial Port 1 Flow Control", "config serial1 flow?", AnswerForm::Flow, textInto(EncoderSettings.sPort1Flow)});
    q.append({"Serial Port 2 Flow Control", "config serial2 flow?", AnswerForm::Flow, textInto(EncoderSettings.sPort2Flow)});
    q.append({"Message Timeout Reset Mode", "config serial1 pphreset?", AnswerForm::Flag, flagWhen(EncoderSettings.bPort1PPHReset, "1")});
    q.append({"Message Timeout Reset Mode", "config serial2 pphreset?", AnswerForm::Flag, flagWhen(EncoderSettings.bPort2PPHReset, "1")});
    q.append({"Port 1 Protocol", "config serial1 protocol?", AnswerForm::Protocol, textInto(EncoderSettings.sPort1Protocol)});
    q.append({"Port 2 Protocol", "config serial2 protocol?", AnswerForm::Protocol, textInto(EncoderSettings.sPort2Protocol)});
    q.append({"Port 1 Verbose Mode", "config serial1 verbose?", AnswerForm::Flag, flagWhen(EncoderSettings.bPort1Verbose, "1")});
    q.append({"Port 2 Verbose Mode", "config serial2 verbose?", AnswerForm::Flag, flagWhen(EncoderSettings.bPort2Verbose, "1")});
    q.append({"Port 1 Data Bits", "config serial1 databits?", AnswerForm::CharFormat, textInto(EncoderSettings.sPort1DataBits)});
    q.append({"Port 2 Data Bits", "config serial2 databits?", AnswerForm::CharFormat, textInto(EncoderSettings.sPort2DataBits)});
    q.append({"Port 1 Baud", "config serial1 baud?", AnswerForm::Baud, textInto(EncoderSettings.sPort1Baud)});
    q.append({"Port 2 Baud", "config serial2 baud?", AnswerForm::Baud, textInto(EncoderSettings.sPort2Baud)});
    q.append({"Coarse Modulation Attenuation", "config MODATTENC?", AnswerForm::Attenuation, textInto(EncoderSettings.sModAttenC)});
    q.append({"Coarse Modulation Attenuation", "config MODATTENF?", AnswerForm::Attenuation, textInto(EncoderSettings.sModAttenF)});
    return q;
}

QList<SettingsQuery> V7SettingsQueries()
{
    QList<SettingsQuery> q;
    q.append({"Max Msgs/Batch", "config maxbatch?", AnswerForm::Digits, int16Into(EncoderSettings.sMaxBatch)});
    q.append({"Transmitter Duty Cycle %", "config dutycycle?", AnswerForm::Digits, int16Into(EncoderSettings.sDutyCycle)});
    q.append({"Message Timeout Reset Mode", "config pphreset?", AnswerForm::Flag, flagWhen(EncoderSettings.bPort1PPHReset, "1")});
    q.append({"Carrier Detection Mode", "config ignorerfcd?", AnswerForm::Flag, flagWhen(EncoderSettings.bIgnoreRFCD, "1")});
    // A V7 without PET support answers with an RS.
    q.append({"PET Protocol Support", "config pet?", AnswerForm::PETSupport,
              [](const QByteArray &v) {
                  EncoderSettings.sPort1Protocol = "PET";
                  EncoderSettings.bPETSupport = (v == "1");
              },
              true});
    // On a V7 the polarities travel the other way round: "0" is inverted carrier detect,
    // anything but "0" is inverted data.
    q.append({"Carrier Detection Polarity", "config invertrfcd?", AnswerForm::Flag, flagWhen(EncoderSettings.bInvertRFCD, "0")});
    q.append({"Data Polarity", "config invertdata?", AnswerForm::Flag, flagUnless(EncoderSettings.bInvertData, "0")});
    q.append({"Brief ACK Mode", "config briefack?", AnswerForm::Flag, [](const QByteArray &v) {
                  EncoderSettings.bBriefAck = (v == "1");
                  EncoderSettings.bPort1Verbose = !EncoderSettings.bBriefAck;
              }});
    q.append({"NAK Before Flow Mode", "config altfc?", AnswerForm::Flag, [](const QByteArray &v) {
                  EncoderSettings.bNakBeforeFlow = (v == "1");
                  EncoderSettings.sPort1Flow = EncoderSettings.bNakBeforeFlow ? "AHW" : "HW";
              }});
    return q;
}
