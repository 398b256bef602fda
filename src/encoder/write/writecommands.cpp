#include "encoder/write/writecommands.h"

#include "encoder/settingforms.h"
#include "model/encoderports.h"
#include "model/state.h"

namespace {
const QByteArray Writing = WritingProgress;

QByteArray onOff(bool on) { return on ? "ON" : "OFF"; }
QByteArray digit(bool one) { return one ? "1" : "0"; }

// A number as a read gives it back ("+10" and "010" go out as "10"), so that the encoder holds
// and shows the very text the next read stores. A value of another form goes as it stands: the
// write's check (FirstUnsendableValue) has refused it before anything is sent.
QByteArray asRead(const QByteArray &number)
{
    QByteArray text;
    return ToInt16Text(number, &text) ? text : number;
}

// A two-port command: CR after it, its reply ended by CR LF.
WriteCommand twoPort(const QByteArray &statusItem, const QByteArray &command)
{
    WriteCommand c;
    c.status = Writing + statusItem;
    c.command = command;
    c.ending = EndingCR;
    c.replyEnd = EndingCRLF;
    c.setting = true;
    return c;
}

// A V7 command: CR LF after it, its reply ended by CR LF unless said otherwise.
WriteCommand v7(const QByteArray &statusItem, const QByteArray &command,
                const QByteArray &replyEnd = EndingCRLF)
{
    WriteCommand c;
    c.status = Writing + statusItem;
    c.command = command;
    c.ending = EndingCRLF;
    c.replyEnd = replyEnd;
    c.setting = true;
    return c;
}

// A guard command: CR after it, its reply ended by LF.
WriteCommand guardCommand(const QByteArray &command, const QByteArray &mustContain = {})
{
    WriteCommand c;
    c.command = command;
    c.ending = EndingCR;
    c.replyEnd = EndingLF;
    c.mustContain = mustContain;
    return c;
}

WriteCommand modAtten(const QByteArray &key, const QByteArray &value)
{
    WriteCommand c;
    c.command = "CONFIG " + key + ' ' + value;
    c.ending = EndingCR;
    c.replyEnd = EndingCR;
    c.mustStartWith = key;
    return c;
}

// Port 1's or port 2's ID-as-capcode after the records.
WriteCommand idAsCap(int port, bool on)
{
    const QByteArray n = QByteArray::number(port);
    WriteCommand c = twoPort("ID Assumed as Capcode " + onOff(on) + " for Port " + n,
                             "config serial" + n + " idascap " + digit(on));
    c.label = IDAsCapLabelText(on, port);
    c.idAsCapPort = port;
    return c;
}
} // namespace

IDAsCapGuard TwoPortIDAsCapGuard(const QByteArray &testPort)
{
    const int port = AttachedPortNumber(testPort);
    const QByteArray n = QByteArray::number(port);
    return IDAsCapGuard{guardCommand("CONFIG SERIAL" + n + " IDASCAP?"),
                        guardCommand("CONFIG SERIAL" + n + " IDASCAP 0", "IDASCAP updated"),
                        guardCommand("CONFIG SERIAL" + n + " IDASCAP 1", "IDASCAP updated"),
                        IDAsCapLabelText(true, port), IDAsCapLabelText(false, port), port};
}

IDAsCapGuard V7IDAsCapGuard()
{
    return IDAsCapGuard{guardCommand("CONFIG IDASCAP?"),
                        guardCommand("CONFIG IDASCAP 0", "IDASCAP option updated"),
                        guardCommand("CONFIG IDASCAP 1", "IDASCAP option updated"),
                        IDAsCapLabelText(true, 0), IDAsCapLabelText(false, 0), 1};
}

QList<WriteCommand> ModAttenCommands(const ModAtten &atten)
{
    QList<WriteCommand> list{modAtten("MODATTENC", atten.coarse), modAtten("MODATTENF", atten.fine)};
    list[0].status = Writing + "Modulation Attenuation";
    return list;
}

QList<WriteCommand> TwoPortSettingsCommands()
{
    QList<WriteCommand> list;
    // The encoder's data polarity travels inverted: "0" asks for inverted data.
    list.append(twoPort("RF Data Inversion " + onOff(EncoderSettings.bInvertData),
                        "config invertdata " + digit(!EncoderSettings.bInvertData)));
    if (Run.sFirmwareVer != "9.01") { // that firmware has no station ID
        list.append(twoPort("Station ID: " + EncoderSettings.sStationID, "config sid " + EncoderSettings.sStationID));
        list.append(twoPort("Station ID Interval: 14 min.", "config sidint 14"));
    }
    list.append(twoPort("RF Carrier Detect Inversion " + onOff(EncoderSettings.bInvertRFCD),
                        "config invertrfcd " + digit(EncoderSettings.bInvertRFCD)));
    const QByteArray dutyCycle = asRead(EncoderSettings.sDutyCycle), maxBatch = asRead(EncoderSettings.sMaxBatch);
    list.append(twoPort("Duty Cycle " + dutyCycle + '%', "config dutycycle " + dutyCycle));
    list.append(twoPort("Max Msgs/Batch " + maxBatch, "config maxbatch " + maxBatch));
    list.append(twoPort("Increment Capcodes by 8 " + onOff(EncoderSettings.bIncCapBy8),
                        "config CAPBY8 " + digit(EncoderSettings.bIncCapBy8)));
    list.append(twoPort("Message Timeout Reset Detection " + onOff(EncoderSettings.bPort1PPHReset) + " for Port 1",
                        "config serial1 pphreset " + digit(EncoderSettings.bPort1PPHReset)));

    // "S" firmware has no timed-paging reset on port 2: it is written off, and kept off in the
    // settings from the moment it is written.
    const bool sFirmware = Run.sFirmwareVer.contains('S');
    const bool port2Reset = EncoderSettings.bPort2PPHReset && !sFirmware;
    WriteCommand port2ResetCmd =
        twoPort("Message Timeout Reset Detection " + onOff(port2Reset) + " for Port 2",
                "config serial2 pphreset " + digit(port2Reset));
    if (sFirmware)
        port2ResetCmd.onSend = [] { EncoderSettings.bPort2PPHReset = false; };
    list.append(port2ResetCmd);

    // Carrier detection is ignored when the flag is set: "1" switches detection off.
    list.append(twoPort("Carrier Signal Detection " + onOff(!EncoderSettings.bIgnoreRFCD),
                        "config ignorerfcd " + digit(EncoderSettings.bIgnoreRFCD)));

    // The guard switched the attached port's ID-as-capcode off for the records; switching
    // port 2's back on here would make the encoder refuse them when the PC is on port 2.
    const bool port2IDAsCap = EncoderSettings.bPort2IDAsCap && (AttachedPortNumber(Run.sTestPort) == 1);
    list.append(twoPort("ID Assumed as Capcode " + onOff(port2IDAsCap) + " for Port 2",
                        "config serial2 idascap " + digit(port2IDAsCap)));

    list.append(twoPort("Verbose Mode " + onOff(EncoderSettings.bPort1Verbose) + " for Port 1",
                        "config serial1 verbose " + digit(EncoderSettings.bPort1Verbose)));
    list.append(twoPort("Verbose Mode " + onOff(EncoderSettings.bPort2Verbose) + " for Port 2",
                        "config serial2 verbose " + digit(EncoderSettings.bPort2Verbose)));
    list.append(twoPort("Flow Control: " + EncoderSettings.sPort1Flow + " for Port 1", "config serial1 flow " + EncoderSettings.sPort1Flow));
    list.append(twoPort("Flow Control: " + EncoderSettings.sPort2Flow + " for Port 2", "config serial2 flow " + EncoderSettings.sPort2Flow));
    list.append(twoPort("Protocol: " + EncoderSettings.sPort1Protocol + " for Port 1",
                        "config serial1 protocol " + EncoderSettings.sPort1Protocol));
    list.append(twoPort("Protocol: " + EncoderSettings.sPort2Protocol + " for Port 2",
                        "config serial2 protocol " + EncoderSettings.sPort2Protocol));
    // A baud stored as the encoder's refusal ("Invalid") is how an encoder without that port (a
    // 9.5S has no port 2) answered the read's query. Sent back, it would only be refused again
    // and end every write with the refused-settings box: that port's baud is left out, its
    // progress text too.
    for (const int port : {1, 2}) {
        const QByteArray n = QByteArray::number(port), &baud = *EncoderPortOf(EncoderSettings, port).baud;
        if (baud != SettingRefusal)
            list.append(twoPort("Baud Rate: " + baud + " for Port " + n, "config serial" + n + " baud " + baud));
    }
    list.append(twoPort("Data Bits: " + EncoderSettings.sPort1DataBits + " for Port 1",
                        "config serial1 databits " + EncoderSettings.sPort1DataBits));
    list.append(twoPort("Data Bits: " + EncoderSettings.sPort2DataBits + " for Port 2",
                        "config serial2 databits " + EncoderSettings.sPort2DataBits));
    return list;
}

QList<WriteCommand> TwoPortIDAsCapCommands()
{
    return {idAsCap(1, EncoderSettings.bPort1IDAsCap), idAsCap(2, EncoderSettings.bPort2IDAsCap)};
}

QList<WriteCommand> V7SettingsCommands()
{
    QList<WriteCommand> list;
    // A V7 encoder takes both polarities the other way round from the two-port encoders:
    // "1" asks for inverted data, and "0" for an inverted carrier detect.
    list.append(v7("RF Data Inversion " + onOff(EncoderSettings.bInvertData), "config invertdata " + digit(EncoderSettings.bInvertData)));
    // An encoder without PET support answers RS CR: that reply ends at its CR.
    list.append(v7("PET Protocol Support " + onOff(EncoderSettings.bPETSupport), "config pet " + digit(EncoderSettings.bPETSupport),
                   EndingCR));
    list.append(v7("RF Carrier Detect Inversion " + onOff(!EncoderSettings.bInvertRFCD),
                   "config invertrfcd " + digit(!EncoderSettings.bInvertRFCD)));
    const QByteArray dutyCycle = asRead(EncoderSettings.sDutyCycle), maxBatch = asRead(EncoderSettings.sMaxBatch);
    list.append(v7("Duty Cycle " + dutyCycle + '%', "config dutycycle " + dutyCycle));
    list.append(v7("Max Msgs/Batch " + maxBatch, "config maxbatch " + maxBatch));
    list.append(v7("Message Timeout Reset Detection " + onOff(EncoderSettings.bPort1PPHReset),
                   "config pphreset " + digit(EncoderSettings.bPort1PPHReset)));
    list.append(v7("Carrier Signal Detection " + onOff(!EncoderSettings.bIgnoreRFCD),
                   "config ignorerfcd " + digit(EncoderSettings.bIgnoreRFCD)));
    list.append(v7("Brief ACK " + onOff(EncoderSettings.bBriefAck), "config briefack " + digit(EncoderSettings.bBriefAck)));
    list.append(v7("Flow Control Before ACK " + onOff(EncoderSettings.bNakBeforeFlow),
                   "config altfc " + digit(EncoderSettings.bNakBeforeFlow)));
    return list;
}

WriteCommand V7IDAsCapCommand()
{
    WriteCommand c = v7("ID Assumed as Capcode " + onOff(EncoderSettings.bPort1IDAsCap),
                        "config idascap " + digit(EncoderSettings.bPort1IDAsCap));
    c.idAsCapPort = 1;
    return c;
}
