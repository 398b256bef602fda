#pragma once
// What the program writes to the encoder, each write with the line settings its port had then,
// taken from the link's own log ("pagersetup.line"). The program's side of a hand-over at
// another speed: the simulated encoder judges the bytes by the speed it sees when they reach
// it, and a loaded machine's pseudo-terminal may hand them over after the port has changed.
// The log's lines are not shown meanwhile (unless the logging rules asked for them already).
//
//   LineWrites writes;
//   ... drive the program ...
//   QCOMPARE(writes.settingsOf(R"("#PrgmMode#")"), QByteArray("2400,o,7,1"));

#include "encoder/link.h"

#include <QByteArray>
#include <QList>
#include <QLoggingCategory>
#include <QString>

#include <utility>

class LineWrites {
public:
    LineWrites()
    {
        m_shown = QLoggingCategory(kCategory, QtWarningMsg).isDebugEnabled(); // as the link declares it
        QLoggingCategory::setFilterRules(QStringLiteral("pagersetup.line.debug=true"));
        s_current = this;
        m_previous = qInstallMessageHandler(&LineWrites::handle);
    }
    ~LineWrites()
    {
        qInstallMessageHandler(m_previous);
        s_current = nullptr;
        QLoggingCategory::setFilterRules(QString());
    }
    LineWrites(const LineWrites &) = delete;
    LineWrites &operator=(const LineWrites &) = delete;

    // The line settings of the last write of the bytes as the log quotes them ("\"ATI\\r\"");
    // "<not written>" when there was none.
    QByteArray settingsOf(const QString &quoted) const
    {
        for (qsizetype i = m_writes.size() - 1; i >= 0; --i)
            if (m_writes.at(i).first == quoted)
                return m_writes.at(i).second;
        return "<not written>";
    }

private:
    static constexpr char kCategory[] = "pagersetup.line";

    static void handle(QtMsgType type, const QMessageLogContext &context, const QString &message)
    {
        LineWrites *self = s_current;
        if (self && context.category && qstrcmp(context.category, kCategory) == 0) {
            if (message.startsWith(QLatin1String("send ")))
                self->m_writes.append({message.mid(5), Link().lineSettings()});
            if (type == QtDebugMsg && !self->m_shown)
                return;
        }
        if (self && self->m_previous)
            self->m_previous(type, context, message);
    }

    inline static LineWrites *s_current = nullptr;
    QtMessageHandler m_previous = nullptr;
    bool m_shown = false;
    QList<std::pair<QString, QByteArray>> m_writes;
};
