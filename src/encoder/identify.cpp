#include "encoder/identify.h"

#include "encoder/timeouts.h"

std::optional<QByteArray> GetEncoderVersion(const QByteArray &reply)
{
    // The "v" is looked for from just after "Encoder" (from the seventh character when the
    // reply does not hold "Encoder").
    const qsizetype a = reply.indexOf("Encoder");
    const qsizetype v = reply.indexOf('v', a < 0 ? 6 : a + 7);
    if (v < 0)
        return std::nullopt;
    const qsizetype c = reply.indexOf('\r', v);
    if (c < 0)
        return std::nullopt;
    QByteArray version = reply.mid(v + 1, c - v - 1);
    const qsizetype blank = version.indexOf(' ');
    if (blank >= 0)
        version.truncate(blank);
    return version;
}

QByteArray GetEncoderPort(const QByteArray &reply)
{
    const qsizetype p = reply.indexOf("Port");
    // Without "Port" the fifth character of the reply is taken.
    const qsizetype at = p < 0 ? 4 : p + 5;
    if (at < reply.size()) {
        const char c = reply.at(at);
        if (c >= '0' && c <= '9')
            return QByteArray(1, c);
    }
    return "1";
}

std::optional<int> FirmwareMinor(const QByteArray &version)
{
    // Everything after the first point (the whole text when there is none), less a final
    // "S" in either case.
    QByteArray digits = version.mid(version.indexOf('.') + 1);
    if (!version.isEmpty() && (version.back() == 'S' || version.back() == 's'))
        digits.chop(1);
    if (digits.isEmpty() || digits.size() > 9)
        return std::nullopt;
    for (char c : digits)
        if (c < '0' || c > '9')
            return std::nullopt;
    return digits.toInt();
}

std::chrono::milliseconds DetectionTimeout(const QByteArray &settings)
{
    if (settings == "9600,n,8,1" || settings == "9600,e,7,1")
        return timeouts::Detect9600;
    if (settings == "2400,n,8,1" || settings == "2400,e,7,1")
        return timeouts::Detect2400;
    if (settings == "1200,n,8,1" || settings == "1200,e,7,1")
        return timeouts::Detect1200;
    if (settings == "300,n,8,1" || settings == "300,e,7,1")
        return timeouts::Detect300;
    return timeouts::DetectOther;
}

const QList<QByteArray> &DetectionSettingsTable()
{
    static const QList<QByteArray> table = {"9600,n,8,1", "9600,e,7,1", "2400,n,8,1",
                                            "2400,e,7,1", "1200,n,8,1", "1200,e,7,1",
                                            "300,n,8,1",  "300,e,7,1"};
    return table;
}
