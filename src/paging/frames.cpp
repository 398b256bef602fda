#include "paging/frames.h"

#include "encoder/recordblock.h"

QByteArray TAPPageBlock(const QByteArray &pagerID, const QByteArray &message)
{
    return BuildTAPBlock(pagerID, message);
}

QByteArray TAPLogonCommand()
{
    return QByteArray(1, ctl::ESC) + "PG1" + ctl::CR;
}

QByteArray TAPWakeUp()
{
    return QByteArray(1, ctl::CR);
}

QByteArray COMP1Frame(const QByteArray &message)
{
    return message + "\r\n";
}

QByteArray COMP2Frame(const QByteArray &pagerID, const QByteArray &message,
                      const QByteArray &functionCode)
{
    return QByteArray(3, ctl::DEL) + pagerID + functionCode + ctl::CR + message + ctl::CR;
}

QByteArray COMP2Prompt()
{
    return "okay\r\nCOMP2>";
}

QByteArray SNPPPageCommand(const QByteArray &pagerID, const QByteArray &functionCode)
{
    QByteArray command = "PAGE " + pagerID;
    if (!functionCode.isEmpty() && pagerID.size() < 4)
        command += functionCode;
    return command + "\r\n";
}

QByteArray SNPPMessageCommand(const QByteArray &message)
{
    return "MESS " + message + "\r\n";
}

QByteArray SNPPSendCommand()
{
    return "SEND\r\n";
}

QByteArray SNPPRefusalReason(const QByteArray &answer)
{
    const qsizetype at = answer.indexOf("550 ");
    return at < 0 ? QByteArray() : answer.mid(at + 4, 10);
}

QByteArray KestraneFrame(const QByteArray &capcode, const QByteArray &message,
                         const QByteArray &functionCode, const QByteArray &rate)
{
    char function = '4';
    if (functionCode == "A")
        function = '1';
    else if (functionCode == "B")
        function = '2';
    else if (functionCode == "C")
        function = '3';
    char rateDigit = '2';
    if (rate == "512")
        rateDigit = '5';
    else if (rate == "1200")
        rateDigit = '1';
    return QByteArray(1, ctl::SOH) + function + rateDigit + capcode + ctl::STX + message +
           ctl::ETX + ctl::EOT;
}

QByteArray ScopeFrame(const QByteArray &capcode, const QByteArray &message,
                      const QByteArray &functionCode, const QByteArray &rate)
{
    QByteArray prefix = "AS";
    if (rate == "512")
        prefix = "AN";
    else if (rate == "1200")
        prefix = "AF";
    return prefix + capcode + functionCode + message + ctl::CR;
}

QByteArray NakCode(const QByteArray &answer)
{
    const qsizetype at = answer.indexOf(ctl::NAK);
    return at < 0 ? QByteArray() : answer.mid(at + 1, 2);
}

NakMeaning MeaningOfNak(const QByteArray &code)
{
    if (code == "03")
        return NakMeaning::InvalidAddress;
    if (code == "04" || code == "05")
        return NakMeaning::BufferOverflow;
    if (code == "08")
        return NakMeaning::FormattingError;
    return NakMeaning::Other;
}
