#pragma once
// The senders without windows against the simulated encoder: the demo encoder (family 1 holds
// pager IDs 100 to 149, group 1 is Group ID 10) in paging mode on COM 1, its attached port
// running the protocol under test at 9600 baud, the program's port open at 9600,n,8,1, a
// recording console and an open log file.

#include "encoder/link.h"
#include "model/state.h"
#include "paging/commlog.h"
#include "platform/serialport.h"
#include "platform/timing.h"
#include "support/encoderstate.h"
#include "support/scriptedboxes.h"
#include "support/simencoder.h"

#include "paging/recorderconsole.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <memory>

class PagingFixture {
public:
    PagingFixture(const char *protocol, encodertest::Knobs knobs, double timeScale)
    {
        ResetProgramState();
        Link().Reset();
        SetTimeScale(timeScale);
        encsim::DeviceState state = encsim::DeviceState::demo();
        state.config["serial1 protocol"] = protocol;
        encoder = std::make_unique<SimEncoder>(state, encsim::Mode::Paging, std::move(knobs));
        EncoderLink &link = Link();
        ready = encoder->ok() && !link.setPortNumber(1) && !link.setLine("9600,n,8,1") &&
                !link.openPort() && CommLogFile().Open(logPath(), true, nullptr);
        if (!encoder->ok())
            qWarning().noquote() << encoder->error();
    }
    ~PagingFixture()
    {
        encodertest::ShowEventsAfterAFailure(encoder.get());
        CommLogFile().Close();
        Link().Reset();
        encoder.reset();
        SetComDevicePathOverride(1, QString());
        SetTimeScale(1.0);
    }
    PagingFixture(const PagingFixture &) = delete;
    PagingFixture &operator=(const PagingFixture &) = delete;

    QString logPath() const { return m_dir.filePath(QStringLiteral("test.log")); }

    // The log's lines in the order they were added, each timed line's time as "{T}"; a line
    // that also went to the log file begins "F ".
    QStringList lines() const
    {
        static const QRegularExpression time(QStringLiteral("^\\d{1,2}/\\d{1,2}/\\d\\d \\d{1,2}:\\d\\d \\S+(?=: )"));
        QStringList file = fileLines();
        QStringList out;
        for (const QByteArray &line : console.added()) {
            QString text = QString::fromLatin1(line);
            text.replace(time, QStringLiteral("{T}"));
            const bool inFile = !file.isEmpty() && file.first() == QString::fromLatin1(line);
            if (inFile)
                file.removeFirst();
            out << (inFile ? QStringLiteral("F ") : QString()) + text;
        }
        return out + file; // lines only in the file would show at the end
    }
    QStringList fileLines() const
    {
        QFile f(logPath());
        QStringList lines = QString::fromLatin1(f.open(QIODevice::ReadOnly) ? f.readAll() : "<no log file>")
                                .split(QStringLiteral("\r\n"));
        if (lines.last().isEmpty())
            lines.removeLast(); // else the last line was not ended by CR LF and shows
        return lines;
    }
    // The capcodes and texts of the pages the encoder put on the air.
    QStringList pages() const
    {
        QStringList out;
        for (const encsim::Event &e : encoder->sim().events())
            if (e.kind == encsim::EventKind::Page)
                out << QString::fromStdString(e.text);
        return out;
    }

    bool ready = false;
    std::unique_ptr<SimEncoder> encoder;
    RecorderConsole console;
    ScriptedBoxes boxes;

private:
    QTemporaryDir m_dir;
};
