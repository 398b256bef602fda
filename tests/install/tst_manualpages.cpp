// The manual's PDF holds each line of its text once. A paragraph that runs over the foot of a
// page must not leave copies of its lines (hidden by the page's clip, yet in the PDF's text)
// on the page before or after, where a search finds them twice. Every line of the PDF's text,
// as pdftotext reads it from the manual's pages, is counted against the times its text comes
// in the manual's source. And no page of the manual ends with a heading, nor with a heading and
// a single line, and no message box's text (a block quote) runs from one page onto the next; nor
// does a table row, in a document made to bring rows to the foot of a page. No page but the
// last holds fewer than four lines of text, in the manual and in a document made to bring the
// ends of chapters to the top of a page.

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>
#include <QtTest>

#include <algorithm>

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
    // No bound of its own: a sanitized tool on a loaded machine takes what it takes, and the
    // test's time-out ends a run that never does.
    *ok = process.waitForFinished(-1) && process.exitStatus() == QProcess::NormalExit &&
          process.exitCode() == 0;
    return process.readAllStandardOutput();
}

// The lines of text on each page of a PDF (the first page first), as the page shows them
// (pdftotext -layout: a table row is one line), without the footer.
QList<QStringList> linesOnPages(const QString &pdf, const QString &title)
{
    bool ok = false;
    const QString text = QString::fromUtf8(run(QStringLiteral("pdftotext"), {"-layout", "-enc", "UTF-8", pdf, "-"}, &ok));
    if (!ok)
        return {};
    const QRegularExpression footer(QStringLiteral("^%1 Manual Page \\d+$").arg(QRegularExpression::escape(title)));
    QList<QStringList> pages;
    for (const QString &page : text.split(QChar(u'\f'))) {
        pages.append(QStringList());
        for (const QString &line : page.split(QLatin1Char('\n')))
            if (!normalized(line).isEmpty() && !footer.match(normalized(line)).hasMatch())
                pages.last() << normalized(line);
    }
    pages.removeLast(); // after the last page's form feed
    return pages;
}

QList<int> linesPerPage(const QString &pdf, const QString &title)
{
    QList<int> counts;
    for (const QStringList &lines : linesOnPages(pdf, title))
        counts << int(lines.size());
    return counts;
}

// The fewest lines of text a page but the last may hold.
constexpr int MinPageLines = 4;

// The pages, of those counted, that hold too few lines: all but the first (the title page) and
// the last.
QStringList shortPagesOf(const QList<int> &counts)
{
    QStringList shortPages;
    for (qsizetype page = 1; page + 1 < counts.size(); ++page)
        if (counts[page] < MinPageLines)
            shortPages << QStringLiteral("page %1 holds %2 lines").arg(page + 1).arg(counts[page]);
    return shortPages;
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

        // Nor with a heading and one line of what follows it.
        QStringList headingAndLine;
        for (qsizetype page = first; page < pageLines.size(); ++page) {
            const QStringList &lines = pageLines[page];
            const qsizetype n = lines.size();
            if ((n >= 2 && headings.contains(lines[n - 2])) ||
                (n >= 3 && headings.contains(lines[n - 3] + ' ' + lines[n - 2])))
                headingAndLine << QStringLiteral("page %1 ends with a heading and: %2").arg(page + 2).arg(lines.last());
        }
        QVERIFY2(headingAndLine.isEmpty(), qPrintable(headingAndLine.join(QLatin1Char('\n'))));

        // Each message box's lines (consecutive quote blocks, one for each line of the box) lie
        // on one page; every box is looked for wherever it comes.
        QStringList boxes;
        for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
            const bool quote = block.blockFormat().hasProperty(QTextFormat::BlockQuoteLevel);
            if (quote && block.previous().blockFormat().hasProperty(QTextFormat::BlockQuoteLevel))
                boxes.last() = normalized(boxes.last() + ' ' + block.text());
            else if (quote)
                boxes << normalized(block.text());
        }
        boxes.removeDuplicates();
        QString pagesText; // the pages' text end to end, and where each page starts in it
        QList<qsizetype> pageStarts;
        for (const QStringList &lines : std::as_const(pageLines)) {
            pageStarts << pagesText.size();
            pagesText += lines.join(QLatin1Char(' ')) + ' ';
        }
        const auto pageAt = [&](qsizetype at) {
            return std::upper_bound(pageStarts.cbegin(), pageStarts.cend(), at) - pageStarts.cbegin() + 1;
        };
        QStringList broken;
        int found = 0;
        for (const QString &box : std::as_const(boxes)) {
            qsizetype at = pagesText.indexOf(box);
            found += at >= 0;
            for (; at >= 0; at = pagesText.indexOf(box, at + 1))
                if (pageAt(at) != pageAt(at + box.size() - 1))
                    broken << QStringLiteral("pages %1/%2: %3").arg(pageAt(at)).arg(pageAt(at + box.size() - 1)).arg(box);
        }
        QVERIFY2(found == boxes.size(), qPrintable(QStringLiteral("%1 of %2 boxes found").arg(found).arg(boxes.size())));
        QVERIFY2(broken.isEmpty(), qPrintable(broken.join(QLatin1Char('\n'))));

        // No page but the last holds fewer than four lines of text.
        const QList<int> counts = linesPerPage(pdf, title);
        QVERIFY(counts.size() > 20);
        const QStringList shortPages = shortPagesOf(counts);
        QVERIFY2(shortPages.isEmpty(), qPrintable(shortPages.join(QLatin1Char('\n'))));
    }

    // A table row lies on one page: the layout would break its cells between lines. Chapters
    // (each on a page of its own) with ever more lines before a table of three-line rows bring
    // the rows to the foot of a page at every height, the table led in by a line of its own or
    // by a longer paragraph; each row's first and last word must be on one page.
    void tableRows()
    {
        QTemporaryDir work;
        QVERIFY(work.isValid());
        QString source;
        const int chapters = 32;
        for (int chapter = 0; chapter < chapters; ++chapter) {
            source += QStringLiteral("# Chapter %1\n\n").arg(chapter);
            for (int line = 0; line < 18 + chapter / 2; ++line)
                source += QStringLiteral("Line %1.\n\n").arg(line);
            if (chapter % 2)
                source += QStringLiteral("A paragraph of two lines. ").repeated(6) + "\n\n";
            source += QStringLiteral("| Row | Text |\n|---|---|\n");
            for (int row = 0; row < 3; ++row)
                source += QStringLiteral("| %1 | First%2x%1 %3 Last%2x%1 |\n")
                              .arg(row).arg(chapter).arg(QStringLiteral("words to fill the cell ").repeated(8));
            source += '\n';
        }
        QFile file(work.filePath("rows.md"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(source.toUtf8()) > 0);
        file.close();
        bool ok = false;
        run(QStringLiteral(MANUAL_TOOL),
            {"--source", file.fileName(), "--output", work.filePath("rows.pdf"), "--brand", "Solvendra", "--program",
             "xjsetup", "--title", "Solvendra Paging Encoder Setup", "--manual", "XJSETUP.PDF", "--version", "1"},
            &ok);
        QVERIFY2(ok, "the manual tool failed");
        const QStringList pages =
            QString::fromUtf8(run(QStringLiteral("pdftotext"), {"-enc", "UTF-8", work.filePath("rows.pdf"), "-"}, &ok))
                .split(QChar(u'\f'));
        QVERIFY2(ok, "pdftotext failed (poppler-utils)");
        const auto pageOf = [&](const QString &word) {
            for (qsizetype page = 0; page < pages.size(); ++page)
                if (pages[page].contains(QRegularExpression("\\b" + word + "\\b")))
                    return page + 1;
            return qsizetype(-1);
        };
        QStringList broken;
        for (int chapter = 0; chapter < chapters; ++chapter)
            for (int row = 0; row < 3; ++row) {
                const QString cell = QStringLiteral("%1x%2").arg(chapter).arg(row);
                if (pageOf("First" + cell) < 0 || pageOf("First" + cell) != pageOf("Last" + cell))
                    broken << QStringLiteral("row %1: pages %2 and %3").arg(cell).arg(pageOf("First" + cell)).arg(pageOf("Last" + cell));
            }
        QVERIFY2(broken.isEmpty(), qPrintable(broken.join(QLatin1Char('\n'))));
    }

    // No page but the last holds fewer than four lines of text: chapters (each on a page of
    // its own) with ever more lines before their last paragraph, box, section, table, list or
    // table with a line after it (with or without a paragraph before it) or box longer than a
    // page bring its last lines to the top of a page at every height.
    void shortPages()
    {
        QTemporaryDir work;
        QVERIFY(work.isValid());
        const QString words = QStringLiteral("Words that fill the last paragraph of the chapter. ");
        QString longBox; // a page of box lines and two more
        for (int line = 0; line < 61; ++line)
            longBox += QStringLiteral("> Box line %1\\\n").arg(line);
        const QStringList endings = {
            words.repeated(6) + "End%1.\n\n",
            QStringLiteral("or:\n\n> A box\\\n> End%1\n\n"),
            "## Section\n\n" + words.repeated(2) + "End%1.\n\n",
            QStringLiteral("| Row | Text |\n|---|---|\n| 1 | One |\n| 2 | End%1 |\n\n"),
            QStringLiteral("- One\n- Two\n- End%1\n\n"),
            "| Row | Text |\n|---|---|\n| 1 | " + words.repeated(3) + "|\n| 2 | " + words.repeated(3) +
                "|\n| 3 | End%1 |\n\nAfter the table.\n\n",
            words.repeated(2) + "\n\n| Row | Text |\n|---|---|\n| 1 | One |\n| 2 | Two |\n\nEnd%1.\n\n",
            longBox + "> End%1\n\n",
        };
        const int heights = 12; // in steps of about a line
        const int chapters = heights * endings.size();
        QString source;
        int lines = 0; // of the form "Line N."
        for (int chapter = 0; chapter < chapters; ++chapter) {
            const int height = chapter / endings.size();
            source += QStringLiteral("# Chapter %1\n\n").arg(chapter);
            for (int line = 0; line < 24 + height / 2; ++line, ++lines)
                source += QStringLiteral("Line %1.\n\n").arg(line);
            source += (height % 2 ? QStringLiteral("Short.") : words.repeated(2)) + "\n\n";
            source += endings[chapter % endings.size()].arg(chapter);
        }
        QFile file(work.filePath("short.md"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(source.toUtf8()) > 0);
        file.close();
        const QString pdf = work.filePath("short.pdf");
        bool ok = false;
        run(QStringLiteral(MANUAL_TOOL),
            {"--source", file.fileName(), "--output", pdf, "--brand", "Kestrane", "--program", "zqsetup", "--title",
             "Kestrane Paging Encoder Setup", "--manual", "ZQSETUP.PDF", "--version", "1"},
            &ok);
        QVERIFY2(ok, "the manual tool failed");
        const QList<QStringList> pages = linesOnPages(pdf, "Kestrane Paging Encoder Setup");
        QList<int> counts;
        for (const QStringList &lines : pages)
            counts << int(lines.size());
        QVERIFY2(counts.size() > chapters, qPrintable(QString::number(counts.size())));
        const QStringList shortPages = shortPagesOf(counts);
        QVERIFY2(shortPages.isEmpty(), qPrintable(shortPages.join(QLatin1Char('\n'))));
        // No line at the foot of a page comes again at the top of the next, as a line that lies
        // on both pages would (a table's heading row repeats there by design). The document runs
        // past 80 pages, where pages drawn at the wrong height would start a line too early.
        QVERIFY2(counts.size() > 100, qPrintable(QString::number(counts.size())));
        QStringList twice;
        for (qsizetype page = 1; page < pages.size(); ++page)
            if (!pages[page].isEmpty() && !pages[page - 1].isEmpty() && pages[page].first() == pages[page - 1].last() &&
                pages[page].first() != "Row Text")
                twice << QStringLiteral("pages %1 and %2: %3").arg(page).arg(page + 1).arg(pages[page].first());
        QVERIFY2(twice.isEmpty(), qPrintable(twice.join(QLatin1Char('\n'))));
        // Each chapter's end once: nothing was lost or drawn twice.
        const QString text = QString::fromUtf8(run(QStringLiteral("pdftotext"), {"-enc", "UTF-8", pdf, "-"}, &ok));
        for (int chapter = 0; chapter < chapters; ++chapter)
            QCOMPARE(text.count(QRegularExpression(QStringLiteral("\\bEnd%1\\b").arg(chapter))), 1);
        // Nor a line before it, such as one that the layout left across the foot of a page.
        QCOMPARE(text.count(QRegularExpression(QStringLiteral("\\bLine \\d+\\."))), lines);
    }
};

QTEST_MAIN(TestManualPages)
#include "tst_manualpages.moc"
