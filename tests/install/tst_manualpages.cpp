// The manual's PDF holds each line of its text once. A paragraph that runs over the foot of a
// page must not leave copies of its lines (hidden by the page's clip, yet in the PDF's text)
// on the page before or after, where a search finds them twice. Every line of the PDF's text,
// as pdftotext reads it from the manual's pages, is counted against the times its text comes
// in the manual's source. And no page of the manual ends with a heading.

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>
#include <QtTest>

namespace {

// Ligatures as pdftotext gives them, and every run of blanks as one space.
QString normalized(QString text)
{
    static const QList<QPair<QString, QString>> ligatures = {{QStringLiteral(u"\uFB00"), "ff"},
                                                             {QStringLiteral(u"\uFB01"), "fi"},
                                                             {QStringLiteral(u"\uFB02"), "fl"},
                                                             {QStringLiteral(u"\uFB03"), "ffi"},
                                                             {QStringLiteral(u"\uFB04"), "ffl"}};
    for (const auto &[from, to] : ligatures)
        text.replace(from, to);
    return text.simplified();
}

int occurrences(const QString &haystack, const QString &needle)
{
    int count = 0;
    for (qsizetype at = haystack.indexOf(needle); at >= 0; at = haystack.indexOf(needle, at + needle.size()))
        ++count;
    return count;
}

QByteArray run(const QString &program, const QStringList &arguments, bool *ok)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, arguments);
    *ok = process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit &&
          process.exitCode() == 0;
    return process.readAllStandardOutput();
}

} // namespace

class TestManualPages : public QObject {
    Q_OBJECT

private slots:
    void pages_data()
    {
        QTest::addColumn<QString>("brand");
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("file");
        QTest::newRow("Solvendra") << "Solvendra" << "xjsetup" << "XJSETUP.PDF";
        QTest::newRow("Kestrane") << "Kestrane" << "zqsetup" << "ZQSETUP.PDF";
    }
    void pages()
    {
        QFETCH(QString, brand);
        QFETCH(QString, program);
        QFETCH(QString, file);
        QTemporaryDir work;
        QVERIFY(work.isValid());
        const QString pdf = work.filePath(file);
        const QString markdown = work.filePath(program + ".md");
        const QString title = brand + " Paging Encoder Setup";
        bool ok = false;
        run(QStringLiteral(MANUAL_TOOL),
            {"--source", QStringLiteral(MANUAL_SOURCE), "--output", pdf, "--markdown", markdown, "--brand", brand,
             "--program", program, "--title", title, "--manual", file, "--version", "1.2.3"},
            &ok);
        QVERIFY2(ok, "the manual tool failed");

        // The manual's text as the PDF's importer reads it, and what repeats by design: the
        // headings (once more in the contents) and the tables' heading rows (again on each
        // page a table runs onto).
        QFile source(markdown);
        QVERIFY(source.open(QIODevice::ReadOnly));
        const QString filled = QString::fromUtf8(source.readAll());
        QTextDocument doc;
        doc.setMarkdown(filled, QTextDocument::MarkdownDialectGitHub);
        const QString text = normalized(doc.toPlainText());
        QSet<QString> repeated;
        static const QRegularExpression heading(QStringLiteral("^#{1,2} +(.*)$"), QRegularExpression::MultilineOption);
        for (auto m = heading.globalMatch(filled); m.hasNext();)
            repeated << normalized(m.next().captured(1).remove(QLatin1Char('`')).remove(QLatin1Char('*')));
        const QStringList sourceLines = filled.split(QLatin1Char('\n'));
        static const QRegularExpression rule(QStringLiteral("^\\|?\\s*:?-{3,}"));
        for (qsizetype i = 1; i < sourceLines.size(); ++i)
            if (rule.match(sourceLines[i]).hasMatch()) {
                // Each heading cell, and neighbouring cells the importer reads as one line.
                QStringList cells;
                for (const QString &cell : sourceLines[i - 1].split(QLatin1Char('|'), Qt::SkipEmptyParts))
                    cells << normalized(QString(cell).remove(QLatin1Char('`')).remove(QLatin1Char('*')));
                for (qsizetype first = 0; first < cells.size(); ++first)
                    for (qsizetype last = first; last < cells.size(); ++last)
                        repeated << cells.mid(first, last - first + 1).join(QLatin1Char(' '));
            }

        // The PDF's text without the title page and the footers.
        const QByteArray pages = run(QStringLiteral("pdftotext"), {"-f", "2", "-enc", "UTF-8", pdf, "-"}, &ok);
        QVERIFY2(ok, "pdftotext failed (poppler-utils)");
        static const QRegularExpression footerPage(QStringLiteral("^Page \\d+$"));
        static const QRegularExpression listNumber(QStringLiteral("^\\d+\\. "));
        QHash<QString, int> seen;
        QList<QStringList> pageLines{{}};
        for (const QString &raw : QString::fromUtf8(pages).split(QLatin1Char('\n'))) {
            if (raw.startsWith(QChar(u'\f')))
                pageLines.append(QStringList());
            QString line = normalized(raw);
            line.remove(QChar(u'\f'));
            if (line.isEmpty() || line == title + " Manual" || footerPage.match(line).hasMatch())
                continue;
            pageLines.last() << line;
            if (!text.contains(line))
                line.remove(listNumber); // an ordered list's number is drawn, not text
            ++seen[line];
        }
        QVERIFY(seen.size() > 500);

        QStringList twice;
        int judged = 0;
        for (auto it = seen.cbegin(); it != seen.cend(); ++it) {
            const int inSource = occurrences(text, it.key());
            if (inSource == 0)
                continue; // pieces of a line that the PDF's text splits differently
            ++judged;
            const bool byDesign = repeated.contains(it.key()) || it.key().contains(QRegularExpression("^\\d+$"));
            if (it.value() > inSource && !byDesign)
                twice << QStringLiteral("%1 times (%2 in the text): %3").arg(it.value()).arg(inSource).arg(it.key());
        }
        QVERIFY2(judged > 500, qPrintable(QString::number(judged)));
        QVERIFY2(twice.isEmpty(), qPrintable(twice.join(QLatin1Char('\n'))));

        // The manual's pages start after the contents, with the first heading; a heading of
        // two lines in the PDF's text counts too.
        QStringList headings;
        for (QTextBlock block = doc.begin(); block.isValid(); block = block.next())
            if (block.blockFormat().headingLevel() > 0)
                headings << normalized(block.text());
        qsizetype first = 1; // after the contents' first page
        while (first < pageLines.size() && pageLines[first].value(0) != headings.value(0))
            ++first;
        QVERIFY(pageLines.size() - first > 20);
        QStringList endingWithHeading;
        for (qsizetype page = first; page < pageLines.size(); ++page) {
            const QStringList &lines = pageLines[page];
            for (qsizetype last = 1; last <= qMin<qsizetype>(2, lines.size()); ++last)
                if (headings.contains(lines.mid(lines.size() - last).join(QLatin1Char(' '))))
                    endingWithHeading << QStringLiteral("page %1 ends with: %2").arg(page + 2).arg(lines.last());
        }
        QVERIFY2(endingWithHeading.isEmpty(), qPrintable(endingWithHeading.join(QLatin1Char('\n'))));
    }
};

QTEST_MAIN(TestManualPages)
#include "tst_manualpages.moc"
