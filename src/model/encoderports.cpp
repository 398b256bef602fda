#include "model/encoderports.h"

namespace {
template <class Port, class Config>
Port portOf(Config &s, int number)
{
    if (number == 1)
        return {1, &s.sPort1Protocol, &s.sPort1Baud, &s.sPort1DataBits, &s.sPort1Flow,
                &s.bPort1Verbose, &s.bPort1IDAsCap, &s.bPort1PPHReset};
    return {2, &s.sPort2Protocol, &s.sPort2Baud, &s.sPort2DataBits, &s.sPort2Flow,
            &s.bPort2Verbose, &s.bPort2IDAsCap, &s.bPort2PPHReset};
}
} // namespace

EncoderPort EncoderPortOf(EncoderConfig &settings, int number)
{
    return portOf<EncoderPort>(settings, number);
}

ConstEncoderPort EncoderPortOf(const EncoderConfig &settings, int number)
{
    return portOf<ConstEncoderPort>(settings, number);
}

int AttachedPortNumber(const QByteArray &testPort)
{
    return testPort == "1" ? 1 : 2;
}

EncoderPort AttachedPort()
{
    return EncoderPortOf(EncoderSettings, AttachedPortNumber(Run.sTestPort));
}

QByteArray AttachedPortLineSettings()
{
    const EncoderPort port = AttachedPort();
    return PortLineSettings(*port.baud, *port.dataBits);
}

bool IsPortCharFormat(const QByteArray &text)
{
    return text.size() == 3 && (text[0] == 'N' || text[0] == 'E' || text[0] == 'O') &&
           (text[1] == '7' || text[1] == '8') && (text[2] == '1' || text[2] == '2');
}

QByteArray PortLineSettings(const QByteArray &baud, const QByteArray &dataBits)
{
    if (!IsPortCharFormat(dataBits))
        return baud + ",o,7,1";
    return baud + ',' + char(dataBits[0] - 'A' + 'a') + ',' + dataBits[1] + ',' + dataBits[2];
}

QByteArray IncBy8LabelText(bool on)
{
    return on ? "Increment Capcodes by 8 Mode is ON" : "Increment Capcodes by 8 Mode is OFF";
}

QByteArray IDAsCapLabelText(bool on, int port)
{
    QByteArray text = on ? "ID As Capcode Mode is ON" : "ID As Capcode Mode is OFF";
    if (port > 0)
        text += " for Port " + QByteArray::number(port);
    return text;
}
