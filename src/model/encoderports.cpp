#include "model/encoderports.h"

EncoderPort PortSettings(EncoderConfig &s, int number)
{
    if (number == 1)
        return {1, &s.sPort1Protocol, &s.sPort1Baud, &s.sPort1DataBits, &s.sPort1Flow,
                &s.bPort1Verbose, &s.bPort1IDAsCap, &s.bPort1PPHReset};
    return {2, &s.sPort2Protocol, &s.sPort2Baud, &s.sPort2DataBits, &s.sPort2Flow,
            &s.bPort2Verbose, &s.bPort2IDAsCap, &s.bPort2PPHReset};
}

int AttachedPortNumber(const QByteArray &testPort)
{
    return testPort == "1" ? 1 : 2;
}

EncoderPort AttachedPort()
{
    return PortSettings(EncoderSettings, AttachedPortNumber(Run.sTestPort));
}

QByteArray PortLineSettings(const QByteArray &baud, const QByteArray &dataBits)
{
    if (dataBits == "N81")
        return baud + ",n,8,1";
    if (dataBits == "E71")
        return baud + ",e,7,1";
    return baud + ",o,7,1";
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
