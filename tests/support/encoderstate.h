#pragma once
// What tests of the transfers share: an encoder with every slot in use, the commands the
// encoder received (taken from its own log), the command lists a read must send, and a
// comparison of the displayed database with the encoder's state.

#include "model/database.h"
#include "model/encoderports.h"
#include "model/state.h"

#include "support/simencoder.h"
#include "encsim/records.h"

#include <QByteArray>
#include <QList>
#include <QStringList>
#include <QTest>

#include <algorithm>
#include <chrono>
#include <string>

namespace encodertest {

using encsim::DeviceState;
using Knobs = std::vector<std::pair<std::string, std::string>>;

// Simulator knobs written as "name=value" entries, for test data rows.
inline Knobs KnobsFrom(const QStringList &entries)
{
    Knobs k;
    for (const QString &kv : entries)
        k.emplace_back(kv.section(QLatin1Char('='), 0, 0).toStdString(), kv.section(QLatin1Char('='), 1).toStdString());
    return k;
}

// An encoder whose settings differ from the program's start values and whose database uses
// every kind of record: defined and undefined groups, active, inactive and empty families
// (start IDs with leading zeros on the line), empty messages and messages holding quotes and
// Latin-1 bytes. The attached port stays at 9600 baud, so the first detection attempt finds it.
inline DeviceState FullState(int generation, int attachedPort = 1)
{
    DeviceState s = DeviceState::factory(generation);
    s.attachedPort = attachedPort;
    for (int i = 0; i < encsim::kFamilies; ++i) {
        encsim::Family &f = s.families[std::size_t(i)];
        if (i % 7 == 6)
            continue; // an empty slot
        const long long rates[] = {5, 1, 2};
        f = encsim::Family{i == 10 ? 0 : 1, 100000 + i * 20000, rates[i % 3],
                           i % 2 ? "A" : "N", i % 4, 5 + i, 12 + i * 20, i % 16, (i + 3) % 16};
    }
    for (int g = 0; g < encsim::kGroups; ++g) {
        if (g == 4 || g == 9)
            continue; // not in use
        encsim::Group &grp = s.groups[std::size_t(g)];
        grp.f[0] = 100 + g;
        grp.f[1] = g % 2;
        grp.f[2] = 1;
        grp.f[3] = g + 1;
        grp.f[4] = 0;
        grp.f[5] = 0;
        grp.f[6] = g % 3 == 0;
        grp.f[7] = g % 3 == 0 ? 15 - g : 0;
        for (int p = 0; p < 20; ++p)
            grp.f[std::size_t(8 + p)] = p < 3 + g ? 12 + p * 20 + g : 0;
    }
    for (int m = 0; m < encsim::kMessages; ++m)
        s.messages[std::size_t(m)] = "Message " + std::to_string(m + 1);
    s.messages[2] = "";
    s.messages[4] = "Say \"now\" twice";
    s.messages[7] = "Caf\xe9 closed";
    s.messages[11] = std::string(60, 'x');
    s.messages[14] = "";

    if (generation == 7) {
        s.config["maxbatch"] = "25";
        s.config["dutycycle"] = "80";
        s.config["serial1 pphreset"] = "0";
        s.config["ignorerfcd"] = "1";
        s.config["pet"] = "1";
        s.config["invertrfcd"] = "0";
        s.config["invertdata"] = "1";
        s.config["briefack"] = "1";
        s.config["altfc"] = "1";
        return s;
    }
    const int other = attachedPort == 1 ? 2 : 1;
    s.config["sid"] = "RELAY 7";
    s.config["maxbatch"] = "25";
    s.config["dutycycle"] = "80";
    s.config["ignorerfcd"] = "1";
    s.config["invertrfcd"] = "1";
    s.config["invertdata"] = "0";
    s.config["modattenc"] = "12";
    s.config["modattenf"] = "-3";
    s.config["serial1 flow"] = "AHW";
    s.config["serial2 flow"] = "NONE";
    s.config["serial1 verbose"] = "1";
    s.config["serial2 pphreset"] = "0";
    s.config[s.portKey(other, "protocol")] = "COMP2";
    s.config[s.portKey(other, "baud")] = "1200";
    s.config[s.portKey(other, "databits")] = "E71";
    s.config[s.portKey(other, "idascap")] = "1";
    return s;
}

// A second of real time on the program's clock (under the time scale): room for a loaded
// machine's encoder thread to answer in, where an answer ends the wait.
inline std::chrono::milliseconds RealSecond()
{
    return std::chrono::milliseconds(qRound(1000 / TimeScale()));
}

// After a failed test: the encoder's side of what went before, its last events (their times
// are the encoder's clock, under the time scale).
inline void ShowEventsAfterAFailure(SimEncoder *encoder)
{
    if (!encoder || !QTest::currentTestFailed())
        return;
    const std::vector<encsim::Event> events = encoder->sim().events();
    const std::size_t shown = std::min<std::size_t>(events.size(), 150);
    qInfo("The simulated encoder's last %zu events:", shown);
    for (std::size_t i = events.size() - shown; i < events.size(); ++i)
        qInfo().noquote() << QString::fromStdString(events[i].line());
}

// The PC's speed as the encoder saw it when it took in the first write from log entry `since`
// on that holds bytes (e.g. "2400"); "<not received>" when none did.
inline QByteArray SpeedReceivedAt(SimEncoder &encoder, const QByteArray &bytes, std::size_t since = 0)
{
    for (const encsim::Event &e : encoder->events(since)) {
        if (e.kind != encsim::EventKind::Input || !QByteArray::fromStdString(e.bytes).contains(bytes))
            continue;
        const QByteArray text = QByteArray::fromStdString(e.text);
        const qsizetype from = text.lastIndexOf("[PC ");
        return from < 0 ? text : text.mid(from + 4, text.indexOf(']', from) - from - 4);
    }
    return "<not received>";
}

// The commands the encoder received from log entry `since` on, each with its ending: record
// blocks whole, every other command up to its CR (and the LF right after it).
inline QList<QByteArray> CommandsSent(SimEncoder &encoder, std::size_t since = 0)
{
    QByteArray stream;
    for (const encsim::Event &e : encoder->events(since))
        if (e.kind == encsim::EventKind::Input)
            stream += QByteArray::fromStdString(e.bytes);
    QList<QByteArray> commands;
    qsizetype i = 0;
    while (i < stream.size()) {
        qsizetype end;
        if (stream.at(i) == '\x02') {
            const qsizetype etx = stream.indexOf('\x03', i);
            end = etx < 0 ? stream.size() : qMin(stream.size(), etx + 5);
        } else {
            const qsizetype cr = stream.indexOf('\r', i);
            end = cr < 0 ? stream.size() : cr + 1;
            if (end < stream.size() && stream.at(end) == '\n')
                ++end;
        }
        commands << stream.mid(i, end - i);
        i = end;
    }
    return commands;
}

inline QByteArray Block(const std::string &message)
{
    return QByteArray::fromStdString(encsim::buildBlock(encsim::kReadConfigId, message));
}

// Every command of a complete two-port read, in order.
inline QList<QByteArray> TwoPortReadCommands(const QByteArray &testPort, const QByteArray &firmware,
                                             bool idAsCapOn)
{
    const QByteArray serial = "SERIAL" + QByteArray::number(AttachedPortNumber(testPort));
    QList<QByteArray> c{"CONFIG " + serial + " IDASCAP?\r"};
    if (idAsCapOn)
        c << "CONFIG " + serial + " IDASCAP 0\r";
    QList<QByteArray> queries;
    if (firmware != "9.01")
        queries << "sid";
    queries << "maxbatch" << "dutycycle" << "ignorerfcd" << "invertrfcd" << "invertdata" << "capby8"
            << (testPort == "2" ? "serial1 idascap" : "serial2 idascap") << "serial1 flow"
            << "serial2 flow" << "serial1 pphreset" << "serial2 pphreset" << "serial1 protocol"
            << "serial2 protocol" << "serial1 verbose" << "serial2 verbose" << "serial1 databits"
            << "serial2 databits" << "serial1 baud" << "serial2 baud" << "MODATTENC" << "MODATTENF";
    for (const QByteArray &q : queries)
        c << "config " + q + "?\r";
    for (int n = 1; n <= 10; ++n)
        c << Block("L " + std::to_string(n));
    for (int n = 1; n <= 50; ++n)
        c << Block("G " + std::to_string(n));
    for (int n = 1; n <= 15; ++n)
        c << Block("M " + std::to_string(n));
    if (idAsCapOn)
        c << "CONFIG " + serial + " IDASCAP 1\r";
    return c;
}

inline QList<QByteArray> V7ReadCommands(bool idAsCapOn)
{
    QList<QByteArray> c{"CONFIG IDASCAP?\r"};
    if (idAsCapOn)
        c << "CONFIG IDASCAP 0\r";
    for (const char *q : {"maxbatch", "dutycycle", "pphreset", "ignorerfcd", "pet", "invertrfcd",
                          "invertdata", "briefack", "altfc"})
        c << QByteArray("config ") + q + "?\r\n";
    for (int n = 1; n <= 10; ++n)
        c << Block("L " + std::to_string(n));
    for (int n = 1; n <= 50; ++n)
        c << Block("G " + std::to_string(n));
    for (int n = 1; n <= 15; ++n)
        c << Block("M " + std::to_string(n));
    if (idAsCapOn)
        c << "CONFIG IDASCAP 1\r";
    return c;
}

// The first difference between two command lists, for failure messages.
inline QString FirstDifference(const QList<QByteArray> &got, const QList<QByteArray> &want)
{
    for (qsizetype i = 0; i < qMax(got.size(), want.size()); ++i) {
        const QByteArray g = got.value(i, "<none>"), w = want.value(i, "<none>");
        if (g != w)
            return QStringLiteral("command %1 of %2 (expected %3): got %4, expected %5")
                .arg(i + 1)
                .arg(got.size())
                .arg(want.size())
                .arg(QString::fromLatin1(g.toPercentEncoding(" ?")),
                     QString::fromLatin1(w.toPercentEncoding(" ?")));
    }
    return QString();
}

// Families and groups from their fields as numbers, as the encoder keeps them.
inline long long num(const QByteArray &field)
{
    bool ok = false;
    const long long v = field.toLongLong(&ok);
    return ok ? v : -1;
}

// The pager database and the groups, families and messages of the encoder.
inline QStringList DatabaseDifferences(const DeviceState &s)
{
    QStringList d;
    const bool v7 = s.generation() == 7;
    for (int i = 0; i < encsim::kFamilies; ++i) {
        const encsim::Family &f = s.families[std::size_t(i)];
        const FamilyRec &r = DB.Families[std::size_t(i)];
        const QString at = QStringLiteral("family %1: ").arg(i + 1);
        if (f.active == 0 && f.qty == 0) {
            if (!r[FamDefined].isEmpty() || r[FamStartCap] != "0000000")
                d << at + QStringLiteral("not shown as an empty slot");
            continue;
        }
        const long long want[] = {f.active, f.startCap, f.rate, f.func, f.qty, f.startId, f.prefix, f.suffix};
        const long long got[] = {num(r[FamActive]), num(r[FamStartCap]), num(r[FamRate]), num(r[FamFunc]),
                                 num(r[FamPagerQty]), num(r[FamStartID]), num(r[FamPrefix]), num(r[FamSuffix])};
        for (int k = 0; k < 8; ++k)
            if (want[k] != got[k])
                d << at + QStringLiteral("field %1 is %2, encoder %3").arg(k).arg(got[k]).arg(want[k]);
        if (r[FamPgrType] != QByteArray::fromStdString(f.type) || r[FamDefined] != "YES")
            d << at + QStringLiteral("type or defined");
    }
    for (int g = 0; g < encsim::kGroups; ++g) {
        const encsim::Group &e = s.groups[std::size_t(g)];
        const PagerGroupRec &r = DB.PagerGroups[std::size_t(g)];
        const QString at = QStringLiteral("group %1: ").arg(g + 1);
        if (!e.defined() && !v7) {
            if (r[GrpDefined] != "NO")
                d << at + QStringLiteral("not shown as unused");
            continue;
        }
        if (r[GrpDefined] != "YES")
            d << at + QStringLiteral("not defined");
        for (int k = 0; k < encsim::Group::kFields; ++k)
            if (num(r[std::size_t(k)]) != e.f[std::size_t(k)])
                d << at + QStringLiteral("field %1 is %2, encoder %3")
                              .arg(k)
                              .arg(QString::fromLatin1(r[std::size_t(k)]))
                              .arg(e.f[std::size_t(k)]);
    }
    for (int m = 0; m < encsim::kMessages; ++m)
        if (DB.CannedMsgs[std::size_t(m)] != QByteArray::fromStdString(s.messages[std::size_t(m)]))
            d << QStringLiteral("message %1: %2").arg(m + 1).arg(QString::fromLatin1(DB.CannedMsgs[std::size_t(m)]));
    return d;
}

// The encoder settings of the displayed database against the encoder's configuration, each
// read the way the encoder's generation means it.
inline QStringList SettingsDifferences(const DeviceState &s)
{
    QStringList d;
    auto cfg = [&](const char *key) { return QByteArray::fromStdString(s.cfg(key)); };
    auto expect = [&](const char *what, bool ok) {
        if (!ok)
            d << QString::fromLatin1(what);
    };
    expect("maxbatch", EncoderSettings.sMaxBatch == QByteArray::number(cfg("maxbatch").toInt()));
    expect("dutycycle", EncoderSettings.sDutyCycle == QByteArray::number(cfg("dutycycle").toInt()));
    expect("ignorerfcd", EncoderSettings.bIgnoreRFCD == (cfg("ignorerfcd") == "1"));
    if (s.generation() == 7) {
        expect("pphreset", EncoderSettings.bPort1PPHReset == (cfg("serial1 pphreset") == "1"));
        expect("pet", EncoderSettings.sPort1Protocol == "PET" && EncoderSettings.bPETSupport == (s.v7PetSupported && cfg("pet") == "1"));
        expect("invertrfcd", EncoderSettings.bInvertRFCD == (cfg("invertrfcd") == "0"));
        expect("invertdata", EncoderSettings.bInvertData == (cfg("invertdata") != "0"));
        expect("briefack", EncoderSettings.bBriefAck == (cfg("briefack") == "1") && EncoderSettings.bPort1Verbose == !EncoderSettings.bBriefAck);
        expect("altfc", EncoderSettings.bNakBeforeFlow == (cfg("altfc") == "1") &&
                            EncoderSettings.sPort1Flow == (EncoderSettings.bNakBeforeFlow ? "AHW" : "HW"));
        expect("idascap", EncoderSettings.bPort1IDAsCap == (cfg("serial1 idascap") == "1"));
        return d;
    }
    if (s.hasStationId())
        expect("sid", EncoderSettings.sStationID == cfg("sid"));
    expect("invertrfcd", EncoderSettings.bInvertRFCD == (cfg("invertrfcd") == "1"));
    expect("invertdata", EncoderSettings.bInvertData == (cfg("invertdata") != "1"));
    expect("capby8", EncoderSettings.bIncCapBy8 == (cfg("capby8") != "0"));
    expect("serial1 idascap", EncoderSettings.bPort1IDAsCap == (cfg("serial1 idascap") != "0"));
    expect("serial2 idascap", EncoderSettings.bPort2IDAsCap == (cfg("serial2 idascap") != "0"));
    expect("flow", EncoderSettings.sPort1Flow == cfg("serial1 flow") && EncoderSettings.sPort2Flow == cfg("serial2 flow"));
    expect("pphreset", EncoderSettings.bPort1PPHReset == (cfg("serial1 pphreset") == "1") &&
                           EncoderSettings.bPort2PPHReset == (cfg("serial2 pphreset") == "1"));
    expect("protocol", EncoderSettings.sPort1Protocol == cfg("serial1 protocol") && EncoderSettings.sPort2Protocol == cfg("serial2 protocol"));
    expect("verbose", EncoderSettings.bPort1Verbose == (cfg("serial1 verbose") == "1") &&
                          EncoderSettings.bPort2Verbose == (cfg("serial2 verbose") == "1"));
    expect("databits", EncoderSettings.sPort1DataBits == cfg("serial1 databits") && EncoderSettings.sPort2DataBits == cfg("serial2 databits"));
    expect("baud", EncoderSettings.sPort1Baud == cfg("serial1 baud") && EncoderSettings.sPort2Baud == cfg("serial2 baud"));
    expect("modatten", EncoderSettings.sModAttenC == cfg("modattenc") && EncoderSettings.sModAttenF == cfg("modattenf"));
    return d;
}

} // namespace encodertest
