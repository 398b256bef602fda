#include "manualtext.h"

#include <QList>
#include <QRegularExpression>

namespace {

// Drops every <!-- ... --> note, keeping its line breaks so that line numbers stay true.
QString withoutNotes(const QString &source, QStringList &errors)
{
    QString out;
    out.reserve(source.size());
    qsizetype pos = 0;
    for (;;) {
        const qsizetype open = source.indexOf(QLatin1String("<!--"), pos);
        if (open < 0) {
            out += source.mid(pos);
            return out;
        }
        out += source.mid(pos, open - pos);
        const qsizetype close = source.indexOf(QLatin1String("-->"), open + 4);
        if (close < 0) {
            const qsizetype line = source.left(open).count(QLatin1Char('\n')) + 1;
            errors << QStringLiteral("line %1: a note <!-- is never closed").arg(line);
            return out;
        }
        out += QString(source.mid(open, close + 3 - open).count(QLatin1Char('\n')), QLatin1Char('\n'));
        pos = close + 3;
    }
}

struct Block {
    int line;        // where it opened
    bool keep;       // the current branch is kept for this brand
    bool parentKeep; // the enclosing text is kept
    bool inElse;
};

} // namespace

FilledManual FillManual(const QString &source, const ManualBrand &brand)
{
    FilledManual result;
    const QMap<QString, QString> values{{QStringLiteral("BRAND"), brand.brand},
                                        {QStringLiteral("PROGRAM"), brand.program},
                                        {QStringLiteral("TITLE"), brand.title},
                                        {QStringLiteral("MANUAL"), brand.manual},
                                        {QStringLiteral("VERSION"), brand.version}};
    for (auto it = values.begin(); it != values.end(); ++it)
        if (it.value().isEmpty())
            result.errors << QStringLiteral("no value given for {{%1}}").arg(it.key());

    static const QRegularExpression ifLine(QStringLiteral("^\\s*\\{\\{#if ([A-Za-z]+)\\}\\}\\s*$"));
    static const QRegularExpression elseLine(QStringLiteral("^\\s*\\{\\{else\\}\\}\\s*$"));
    static const QRegularExpression endLine(QStringLiteral("^\\s*\\{\\{/if\\}\\}\\s*$"));
    static const QRegularExpression placeholder(QStringLiteral("\\{\\{([^{}]*)\\}\\}"));

    QString text = withoutNotes(source, result.errors);
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    const QStringList lines = text.split(QLatin1Char('\n'));

    QList<Block> blocks;
    QStringList kept;
    for (int i = 0; i < lines.size(); ++i) {
        const int lineNo = i + 1;
        const QString &line = lines[i];
        const bool keeping = blocks.isEmpty() || blocks.last().keep;
        if (const auto m = ifLine.match(line); m.hasMatch()) {
            blocks.append({lineNo, keeping && m.captured(1) == brand.brand, keeping, false});
            continue;
        }
        if (elseLine.match(line).hasMatch()) {
            if (blocks.isEmpty() || blocks.last().inElse) {
                result.errors << QStringLiteral("line %1: {{else}} without its {{#if}}").arg(lineNo);
                continue;
            }
            Block &b = blocks.last();
            b.inElse = true;
            b.keep = b.parentKeep && !b.keep;
            continue;
        }
        if (endLine.match(line).hasMatch()) {
            if (blocks.isEmpty())
                result.errors << QStringLiteral("line %1: {{/if}} without its {{#if}}").arg(lineNo);
            else
                blocks.removeLast();
            continue;
        }
        if (!keeping)
            continue;

        QString filled;
        qsizetype from = 0;
        auto it = placeholder.globalMatch(line);
        while (it.hasNext()) {
            const auto m = it.next();
            filled += line.mid(from, m.capturedStart() - from);
            const QString name = m.captured(1);
            if (values.contains(name))
                filled += values.value(name);
            else
                result.errors << QStringLiteral("line %1: unknown placeholder {{%2}}").arg(lineNo).arg(name);
            from = m.capturedEnd();
        }
        filled += line.mid(from);
        if (filled.contains(QLatin1String("{{")) || filled.contains(QLatin1String("}}")))
            result.errors << QStringLiteral("line %1: stray double brace").arg(lineNo);
        kept << filled;
    }
    for (const Block &b : blocks)
        result.errors << QStringLiteral("line %1: {{#if}} is never closed").arg(b.line);

    if (result.errors.isEmpty())
        result.markdown = kept.join(QLatin1Char('\n'));
    return result;
}
