#include "encoder/settingforms.h"

#include "encoder/controlbytes.h"
#include "model/encoderports.h"
#include "protocols/protocoltable.h"

#include <algorithm>

namespace {

bool digits(QByteArrayView value)
{
    return !value.isEmpty() &&
           std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool oneOf(const QByteArray &value, const auto &texts)
{
    return std::any_of(texts.begin(), texts.end(), [&](const char *t) { return value == t; });
}

} // namespace

bool HasForm(SettingForm form, const QByteArray &value)
{
    QByteArray number;
    switch (form) {
    case SettingForm::Flag: return value == "0" || value == "1";
    case SettingForm::Number: return ToInt16Text(value, &number);
    case SettingForm::Attenuation: return digits(value.startsWith('-') ? value.mid(1) : value);
    case SettingForm::Protocol: return FindPagingProtocol(value) != nullptr;
    case SettingForm::Baud: return digits(value) || value == SettingRefusal;
    case SettingForm::CharFormat: return IsPortCharFormat(value);
    case SettingForm::Flow: return oneOf(value, PortFlowCodes);
    case SettingForm::StationID:
        return !HoldsControlByte(value) && !value.toLower().startsWith("config") && value != "OK" &&
               value != SettingRefusal;
    case SettingForm::PETSupport: return value == "0" || value == "1" || value == "\x1E";
    }
    return false;
}

const QList<TextSetting> &TextSettings()
{
    using C = EncoderConfig;
    static const QList<TextSetting> table{
        {"Station ID", &C::sStationID, SettingForm::StationID, true},
        {"Duty Cycle", &C::sDutyCycle, SettingForm::Number, false},
        {"Max Msgs/Batch", &C::sMaxBatch, SettingForm::Number, false},
        {"Port 1 Flow Control", &C::sPort1Flow, SettingForm::Flow, true},
        {"Port 2 Flow Control", &C::sPort2Flow, SettingForm::Flow, true},
        {"Port 1 Protocol", &C::sPort1Protocol, SettingForm::Protocol, true},
        {"Port 2 Protocol", &C::sPort2Protocol, SettingForm::Protocol, true},
        {"Port 1 Baud Rate", &C::sPort1Baud, SettingForm::Baud, true},
        {"Port 2 Baud Rate", &C::sPort2Baud, SettingForm::Baud, true},
        {"Port 1 Data Bits", &C::sPort1DataBits, SettingForm::CharFormat, true},
        {"Port 2 Data Bits", &C::sPort2DataBits, SettingForm::CharFormat, true},
    };
    return table;
}

SettingForm FormOf(QByteArray EncoderConfig::*value)
{
    const QList<TextSetting> &table = TextSettings();
    const auto row = std::find_if(table.begin(), table.end(), [&](const TextSetting &s) { return s.value == value; });
    Q_ASSERT(row != table.end());
    return row->form;
}

bool SettingRefused(const QByteArray &reply)
{
    qsizetype start = 0;
    while (start < reply.size() && (reply.at(start) == '\r' || reply.at(start) == '\n'))
        ++start;
    return reply.mid(start).startsWith(SettingRefusal);
}

IDAsCapAnswer JudgeIDAsCapAnswer(const QByteArray &reply, bool complete)
{
    if (!complete)
        return reply.isEmpty() ? IDAsCapAnswer::None : IDAsCapAnswer::Garbled;
    QByteArray line = reply.left(reply.indexOf('\n'));
    if (line.endsWith('\r'))
        line.chop(1);
    if (line == "1")
        return IDAsCapAnswer::On;
    if (line == "0" || line.startsWith(SettingRefusal))
        return IDAsCapAnswer::Off;
    return IDAsCapAnswer::Garbled;
}
