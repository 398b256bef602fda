// pagersetup-manual: renders the user manual (docs/manual.md) into one brand's PDF help file.
//
//   pagersetup-manual --source docs/manual.md --output XJSETUP.PDF --brand Solvendra
//                     --program xjsetup --title "Solvendra Paging Encoder Setup"
//                     --manual XJSETUP.PDF --version 1.0.0
//
// --markdown FILE also (or, without --output, only) writes the brand's text as it is rendered.
//
// The PDF is A4: a title page, the contents with page numbers, then the manual, every
// chapter on a new page, with a footer naming the manual and the page. Its title metadata is
// the brand's window title followed by " Manual". It needs no display: without a platform
// chosen it runs offscreen. The file appears only when it is complete.

#include "manualtext.h"

#include <QAbstractTextDocumentLayout>
#include <QCommandLineParser>
#include <QFile>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTextList>
#include <QTextTable>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

namespace {

constexpr int Resolution = 300;          // dots per inch of the PDF's coordinates
constexpr double MarginLeftMm = 22;
constexpr double MarginRightMm = 20;
constexpr double MarginTopMm = 18;
constexpr double MarginBottomMm = 22;
constexpr double FooterFromBottomMm = 12;
constexpr double BodyPoints = 10;
constexpr const char *BodyFamily = "DejaVu Sans";

// How far a block may lie across a page's edge and still count as the page's own: far less
// than a line, far more than the layout's rounding.
constexpr double PageEdgeDots = 1.0;
// How far apart the tops of lines may lie that read as one line across the page (the cells of
// a table row): far less than a line.
constexpr double SameLineDots = 4.0;

double mm(double millimetres)
{
    return millimetres / 25.4 * Resolution;
}

// Lengths given in screen pixels (1/96 inch), as the text layout takes them.
double px(double pixels)
{
    return pixels * Resolution / 96.0;
}

void fail(const QString &text)
{
    std::fprintf(stderr, "pagersetup-manual: %s\n", qPrintable(text));
}

// The brand's colour for the title page, headings and rules.
QColor brandColour(const QString &brand)
{
    if (brand == QLatin1String("Solvendra"))
        return QColor(0, 105, 150);
    if (brand == QLatin1String("Kestrane"))
        return QColor(13, 48, 120);
    return QColor(50, 50, 50);
}

QFont bodyFont(double points, bool bold = false)
{
    QFont font(QString::fromLatin1(BodyFamily));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

// The page area that the text flows in, in the PDF's coordinates.
struct Geometry {
    QRectF page;
    QRectF body;
};

Geometry geometryOf(const QPdfWriter &writer)
{
    Geometry g;
    g.page = QRectF(0, 0, writer.width(), writer.height());
    g.body = g.page.adjusted(mm(MarginLeftMm), mm(MarginTopMm), -mm(MarginRightMm), -mm(MarginBottomMm));
    return g;
}

// Headings in the brand's colour with room above them, each chapter on a new page; code
// blocks and block quotes (the message texts) as shaded boxes; paragraphs and lists spaced;
// tables full width with thin rules.
void styleDocument(QTextDocument &doc, const QColor &colour)
{
    QTextCursor cursor(&doc);
    // One edit for the whole styling: the layout follows once, not after every change.
    cursor.beginEditBlock();
    bool first = true;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        QTextBlockFormat format = block.blockFormat();
        const int level = format.headingLevel();
        cursor.setPosition(block.position());
        if (level > 0) {
            // Our sizes instead of the importer's relative ones, fragment by fragment so that
            // code in a heading keeps its font.
            const double sizes[] = {0, 18, 13.5, 11.5, 10.5, 10, 10};
            for (auto it = block.begin(); !it.atEnd(); ++it) {
                const QTextFragment fragment = it.fragment();
                QTextCharFormat chars = fragment.charFormat();
                chars.clearProperty(QTextFormat::FontSizeAdjustment);
                chars.setFontPointSize(sizes[qBound(1, level, 6)]);
                chars.setForeground(colour);
                chars.setFontWeight(QFont::Bold);
                QTextCursor part(&doc);
                part.setPosition(fragment.position());
                part.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
                part.setCharFormat(chars);
            }
            format.setTopMargin(level == 1 ? 0 : level == 2 ? px(9) : px(6));
            format.setBottomMargin(level == 1 ? px(10) : px(4));
            if (level == 1 && !first)
                format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
            cursor.setBlockFormat(format);
        } else if (format.nonBreakableLines()) {
            // A code block: its lines close together on a light ground, set off from the text.
            const auto isCode = [](const QTextBlock &b) {
                return b.isValid() && b.blockFormat().nonBreakableLines();
            };
            format.setLeftMargin(px(14));
            format.setBackground(QColor(242, 243, 245));
            format.setTopMargin(isCode(block.previous()) ? 0 : px(2));
            format.setBottomMargin(isCode(block.next()) ? 0 : px(8));
            cursor.setBlockFormat(format);
        } else if (format.hasProperty(QTextFormat::BlockQuoteLevel)) {
            // A message text: its lines close together on a shaded ground, like the box shows them.
            const auto isQuote = [](const QTextBlock &b) {
                return b.isValid() && b.blockFormat().hasProperty(QTextFormat::BlockQuoteLevel);
            };
            const int depth = format.property(QTextFormat::BlockQuoteLevel).toInt();
            format.setLeftMargin(px(14) * depth);
            format.setBackground(QColor(234, 239, 244));
            format.setTopMargin(isQuote(block.previous()) ? 0 : px(2));
            format.setBottomMargin(isQuote(block.next()) ? 0 : px(8));
            cursor.setBlockFormat(format);
        } else if (!block.textList()) {
            format.setBottomMargin(qMax(format.bottomMargin(), px(5)));
            cursor.setBlockFormat(format);
        } else if (!block.next().isValid() || block.next().textList() != block.textList()) {
            // The last item of a list keeps a paragraph's distance from what follows.
            format.setBottomMargin(qMax(format.bottomMargin(), px(5)));
            cursor.setBlockFormat(format);
        }
        first = false;
    }
    // Tables: full width, thin grey rules, some room in the cells.
    for (QTextFrame *frame : doc.rootFrame()->childFrames()) {
        auto *table = qobject_cast<QTextTable *>(frame);
        if (!table)
            continue;
        QTextTableFormat format = table->format();
        format.setWidth(QTextLength(QTextLength::PercentageLength, 100));
        format.setBorder(1);
        format.setBorderBrush(QColor(150, 150, 150));
        format.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
        format.setBorderCollapse(true);
        format.setCellPadding(4);
        format.setCellSpacing(0);
        format.setHeaderRowCount(1);
        // Frame lengths are in screen pixels: the layout scales them itself.
        format.setTopMargin(2);
        format.setBottomMargin(6);
        table->setFormat(format);
        // The heading row shaded.
        for (int column = 0; column < table->columns(); ++column) {
            QTextTableCell cell = table->cellAt(0, column);
            QTextTableCellFormat cellFormat = cell.format().toTableCellFormat();
            cellFormat.setBackground(QColor(232, 236, 240));
            cell.setFormat(cellFormat);
        }
    }
    cursor.endEditBlock();
}

// Where a line of a block lies in the document, as laid out.
double lineTop(QAbstractTextDocumentLayout *layout, const QTextBlock &block, const QTextLine &line)
{
    return layout->blockBoundingRect(block).top() + line.y();
}

bool isHeading(const QTextBlock &block)
{
    return block.isValid() && block.blockFormat().headingLevel() > 0;
}

// A line of a message box's text: the importer makes each line of a block quote a block.
bool isQuote(const QTextBlock &block)
{
    return block.isValid() && block.blockFormat().hasProperty(QTextFormat::BlockQuoteLevel);
}

bool startsPage(const QTextBlock &block)
{
    return block.blockFormat().pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore;
}

// A page break straight before block: before a block, or before the table it starts.
bool breaksBefore(const QTextBlock &block)
{
    if (QTextTable *table = QTextCursor(block).currentTable())
        return table->cellAt(0, 0).firstCursorPosition().block() == block &&
               (table->format().pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore);
    return startsPage(block);
}

// Whether a page break or the document's end follows a table.
bool endsPageAfter(QTextTable *table)
{
    QTextCursor after = table->lastCursorPosition();
    if (!after.movePosition(QTextCursor::NextBlock))
        return true;
    // The empty block that the importer leaves after a table holds no text.
    QTextBlock next = after.block();
    while (next.text().isEmpty() && !QTextCursor(next).currentTable() && next.next().isValid())
        next = next.next();
    return breaksBefore(next) || (next.text().isEmpty() && !next.next().isValid());
}

void setStartsPage(QTextCursor cursor, QTextBlockFormat format)
{
    format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
    cursor.setBlockFormat(format);
}

// A table's format says so when it holds the rows of a table before it that was split.
constexpr int RestOfTable = QTextFormat::UserProperty;

// Splits a table before one of its rows: that row and the ones after it become a table of
// their own that starts the next page, under the heading rows again. (Each lays out its columns
// for its own rows.)
void splitTableBefore(QTextTable *table, int row)
{
    QTextTableFormat format = table->format();
    const int headings = format.headerRowCount();
    format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
    format.setProperty(RestOfTable, true);
    QTextCursor after = table->lastCursorPosition();
    after.movePosition(QTextCursor::NextBlock);
    QTextTable *rest = after.insertTable(headings + table->rows() - row, table->columns(), format);
    for (int to = 0; to < rest->rows(); ++to) {
        const int from = to < headings ? to : row + to - headings;
        for (int column = 0; column < table->columns(); ++column) {
            const QTextTableCell source = table->cellAt(from, column);
            QTextCursor content = source.firstCursorPosition();
            content.setPosition(source.lastCursorPosition().position(), QTextCursor::KeepAnchor);
            QTextTableCell target = rest->cellAt(to, column);
            target.setFormat(source.format());
            QTextCursor into = target.firstCursorPosition();
            into.setBlockFormat(source.firstCursorPosition().blockFormat());
            into.insertFragment(QTextDocumentFragment(content));
        }
    }
    table->removeRows(row, table->rows() - row);
}

// How many lines a block has, as laid out.
int lineCount(const QTextBlock &block)
{
    const QTextLayout *lines = block.layout();
    return lines ? lines->lineCount() : 0;
}

// A paragraph of one line, which may lead into a box or a table.
bool isOneLine(const QTextBlock &block)
{
    return block.isValid() && !isHeading(block) && !isQuote(block) && lineCount(block) == 1 &&
           !QTextCursor(block).currentTable();
}

// What goes to a page with the table that follows it: a line that leads into it, or a heading.
bool leadsIntoTable(const QTextBlock &block)
{
    return isOneLine(block) || isHeading(block);
}

QTextBlock firstBlockOf(QTextTable *table)
{
    return table->cellAt(0, 0).firstCursorPosition().block();
}

// The first block of a cell, and its last.
QTextBlock firstBlockOf(QTextTable *table, int row, int column)
{
    return table->cellAt(row, column).firstCursorPosition().block();
}

QTextBlock lastBlockOf(QTextTable *table, int row, int column)
{
    return table->cellAt(row, column).lastCursorPosition().block();
}

// The last line of the message box whose line block is.
QTextBlock lastOfBox(QTextBlock block)
{
    while (isQuote(block.next()))
        block = block.next();
    return block;
}

// The first of the headings straight before block, or block itself.
QTextBlock headingsBefore(QTextBlock block)
{
    while (isHeading(block.previous()))
        block = block.previous();
    return block;
}

// The message box whose line block is, from its first line, with the line that leads into it
// and the forms that such lines join to it.
QTextBlock boxWithItsLeadIns(QTextBlock block)
{
    for (;;) {
        while (isQuote(block.previous()))
            block = block.previous();
        if (!isOneLine(block.previous()))
            break;
        block = block.previous();
        if (!isQuote(block.previous()))
            break;
    }
    return block;
}

// The lines of the rows from from to to (not included) of a table: each row as many as its
// longest cell's first block.
int linesOfRows(QTextTable *table, int from, int to)
{
    int lines = 0;
    for (int row = from; row < to; ++row) {
        int most = 0;
        for (int column = 0; column < table->columns(); ++column)
            most = qMax(most, lineCount(firstBlockOf(table, row, column)));
        lines += most;
    }
    return lines;
}

// Whether a heading before the cut, lines into block, keeps two lines of what follows it
// (a table's first row counts for both) on its page.
bool keepsHeadingLines(QTextBlock block, int lines)
{
    while (lines < 2) {
        block = block.previous();
        if (!block.isValid() || QTextCursor(block).currentTable())
            return true;
        if (isHeading(block))
            return false;
        lines += lineCount(block);
    }
    return true;
}

// Makes the lines of a paragraph from its line-th on a block of its own that starts the
// next page and goes on with the same margins and indent.
void splitBefore(const QTextBlock &block, int line)
{
    const QTextBlockFormat format = block.blockFormat();
    QTextList *list = block.textList();
    const int listIndent = list ? list->format().indent() : 0;
    QTextCursor cursor(block);
    cursor.setPosition(block.position() + block.layout()->lineAt(line).textStart());
    cursor.insertBlock(format);
    QTextBlockFormat before = format;
    before.setBottomMargin(0);
    QTextCursor(block).setBlockFormat(before);
    // A block's format names its list: the second part names none.
    QTextBlockFormat after = format;
    after.setObjectIndex(-1);
    after.setTopMargin(0);
    after.setIndent(format.indent() + listIndent);
    setStartsPage(cursor, after);
    if (QTextList *restList = cursor.block().textList())
        restList->remove(cursor.block());
}

// A page that one or two lines of text would end before a page break, and the page before
// it, from which lines come over.
struct ShortPage {
    QList<double> lines;  // the tops of the lines on the page
    QList<double> before; // and on the page before
    QTextCursor first;    // at what starts the page

    // A cut at top gives the page three lines and leaves some on the page before.
    bool enough(double top) const
    {
        const auto moved = std::count_if(before.cbegin(), before.cend(), [top](double t) { return t > top - SameLineDots; });
        return lines.size() + moved >= 3 && moved < before.size();
    }

    // The lines that came over from from on start the page: what started it goes on after
    // them. Gives from.
    QTextBlock cameOver(const QTextBlock &from) const
    {
        if (QTextTable *table = first.currentTable()) {
            QTextTableFormat format = table->format();
            format.setPageBreakPolicy(QTextFormat::PageBreak_Auto);
            table->setFormat(format);
        } else {
            QTextBlockFormat format = first.blockFormat();
            format.setPageBreakPolicy(QTextFormat::PageBreak_Auto);
            QTextCursor(first.block()).setBlockFormat(format);
        }
        return from;
    }
};

// Lays the manual's text out on pages, from the first block to the last, so that what lies
// before a block is final when the block is judged. Five rules:
//
// A heading never ends a page, nor does it end one with a single line after it. A heading,
// with the headings straight after it, stays on the page of the first two lines of what
// follows (a table counts as its first row below its heading row, which the layout repeats
// on the next page): when the second of them lies on the next page, the first of the headings
// starts that page.
//
// A message box's text (a block quote: the consecutive blocks of its lines) lies on one page,
// as the box shows it whole, with a paragraph of one line straight before it (what leads into
// the box: "or", "for example:") and the other forms of the message that such a line joins to
// it. When they cross the foot of a page they start the next one, with the headings before
// them, which would otherwise end the page.
//
// A table row lies on one page. The layout takes a row to the next page only when none of its
// cells' first lines fits on this one, and otherwise breaks the cells between lines. A table
// that would break a row is split before it, the rest a table that starts the next page under
// the heading rows again, as the layout repeats them; when that is the first row below the
// heading rows, the whole table starts the next page, with a line that leads into it and the
// headings before. The rows that end a table before a page break go over with enough rows of
// the page before to make three lines.
//
// Every paragraph lies on one page. The layout breaks a paragraph between two lines at the
// foot of a page, but it draws a block whole wherever any of it shows: a paragraph that runs
// onto the next page would be drawn on both, the lines of the other page hidden by the clip
// but in the PDF's text all the same, where a search finds them twice. So a paragraph that
// crosses the foot of a page is split there into two blocks: the lines on the next page
// become a block of their own that starts that page and goes on with the same margins and
// indent (without a second list marker).
//
// No page but the last holds fewer than three lines of text. When the end of a chapter would
// leave one or two lines on a page of their own, enough lines of the page before go over with
// them, cut where the rules above allow.
class Paginator {
public:
    Paginator(QTextDocument &doc, double pageHeight)
        : m_doc(doc), m_layout(doc.documentLayout()), m_pageHeight(pageHeight)
    {
    }

    void run()
    {
        QTextBlock from = m_doc.begin();
        for (bool changed = true; changed;) {
            m_doc.pageCount(); // the layout is lazy: this finishes it
            changed = false;
            for (QTextBlock block = from; block.isValid() && !changed; block = block.next()) {
                m_moved = QTextBlock();
                changed = judge(block);
                // The blocks before it are final; it is judged again after a change, or the
                // first block moved before it.
                from = m_moved.isValid() && m_moved.position() < block.position() ? m_moved : block;
            }
        }
    }

private:
    // Applies the rules to block, whose blocks before are final; true when one changed the
    // text.
    bool judge(const QTextBlock &block)
    {
        if (const QTextBlock over = keepPageFull(block); over.isValid()) {
            m_moved = over;
            return true;
        }
        if (isHeading(block))
            return keepWithText(block);
        if (QTextCursor(block).currentTable())
            return keepRowsWhole(block);
        return (isQuote(block) && keepBoxWhole(block)) || splitAtPageFoot(block);
    }

    // A block that starts a page may begin a hair above it (the layout rounds to 1/64).
    int pageOf(double y) const { return int(std::floor((y + PageEdgeDots) / m_pageHeight)); }

    int pageOfLine(const QTextBlock &block, int line) const
    {
        const QTextLayout *lines = block.layout();
        if (!lines || lines->lineCount() == 0)
            return pageOf(m_layout->blockBoundingRect(block).top());
        return pageOf(lineTop(m_layout, block, lines->lineAt(qMin(line, lines->lineCount() - 1))));
    }

    int lastPageOf(const QTextBlock &block) const { return pageOfLine(block, lineCount(block) - 1); }

    double topOf(const QTextBlock &block) const
    {
        return lineCount(block) ? lineTop(m_layout, block, block.layout()->lineAt(0))
                                : m_layout->blockBoundingRect(block).top();
    }

    // The page of the line-th line (from 0) of the text from block on, in this chapter; -1 when
    // the chapter ends before it.
    int pageOfLineFrom(QTextBlock block, int line) const
    {
        for (; block.isValid() && !startsPage(block); block = block.next()) {
            if (QTextTable *table = QTextCursor(block).currentTable()) {
                const int row = qMin(table->format().headerRowCount(), table->rows() - 1);
                return pageOf(m_layout->blockBoundingRect(firstBlockOf(table, row, 0)).top());
            }
            if (line < lineCount(block))
                return pageOfLine(block, line);
            line -= lineCount(block);
        }
        return -1;
    }

    // The tops of the lines of text on a page, as they read across it (the cells of a table row
    // make one line), from the blocks up to last.
    QList<double> lineTopsOn(int page, const QTextBlock &last) const
    {
        QList<double> tops;
        for (QTextBlock block = last; block.isValid() && lastPageOf(block) >= page; block = block.previous())
            for (int i = 0; i < lineCount(block); ++i)
                if (block.layout()->lineAt(i).textLength() > 0 && pageOfLine(block, i) == page)
                    tops << lineTop(m_layout, block, block.layout()->lineAt(i));
        std::sort(tops.begin(), tops.end());
        QList<double> lines;
        for (const double top : std::as_const(tops))
            if (lines.isEmpty() || top - lines.last() > SameLineDots)
                lines << top;
        return lines;
    }

    // Starts the next page with first and the headings straight before it, which would
    // otherwise end this page; false when they start a page already.
    bool startNextPage(QTextBlock first)
    {
        first = headingsBefore(first);
        if (startsPage(first))
            return false; // longer than a page: its lines go on as they fall
        setStartsPage(QTextCursor(first), first.blockFormat());
        m_moved = first;
        return true;
    }

    // Moves a heading that would end its page, alone or with one line, to the next one; true
    // when it did.
    bool keepWithText(const QTextBlock &heading)
    {
        if (isHeading(heading.previous()) || startsPage(heading))
            return false; // moved with the first of its run, or starting a page already
        QTextBlock text = heading.next();
        while (isHeading(text))
            text = text.next();
        int page = pageOfLineFrom(text, 1);
        if (page < 0)
            page = pageOfLineFrom(text, 0);
        if (page < 0 || pageOf(m_layout->blockBoundingRect(heading).top()) == page)
            return false;
        setStartsPage(QTextCursor(heading), heading.blockFormat());
        return true;
    }

    // Moves a message box that crosses the foot of a page to the next one; true when it did.
    bool keepBoxWhole(const QTextBlock &box)
    {
        if (isQuote(box.previous()))
            return false; // judged with the box's first line
        // Boxes joined by a line ("or") are the forms of one message: they stay together.
        QTextBlock last = lastOfBox(box);
        while (isOneLine(last.next()) && isQuote(last.next().next()))
            last = lastOfBox(last.next().next());
        // With a line that leads into the box ("or", "for example:").
        const QTextBlock first = isOneLine(box.previous()) ? box.previous() : box;
        if (pageOfLine(first, 0) == pageOfLine(last, lineCount(last) - 1))
            return false;
        return startNextPage(first);
    }

    // Keeps each row of a table on one page; true when it changed something.
    bool keepRowsWhole(const QTextBlock &block)
    {
        QTextTable *table = QTextCursor(block).currentTable();
        if (firstBlockOf(table) != block)
            return false; // judged at the table's first block
        const int headings = table->format().headerRowCount();
        int broken = brokenRow(table);
        if (broken < 0)
            return false;
        // Rows of a table's end take rows along to the next page, three lines at least, unless
        // more text follows them there.
        while (broken > headings && endsPageAfter(table) &&
               linesOfRows(table, 0, headings) + linesOfRows(table, broken, table->rows()) < 3)
            --broken;
        if (broken > headings) {
            splitTableBefore(table, broken);
            return true;
        }
        return startTableOnNextPage(table);
    }

    // The first row below a table's heading rows that does not lie on one page; -1 when every
    // row does.
    int brokenRow(QTextTable *table) const
    {
        for (int row = table->format().headerRowCount(); row < table->rows(); ++row) {
            const int top = pageOfLine(firstBlockOf(table, row, 0), 0);
            for (int column = 0; column < table->columns(); ++column) {
                const QTextBlock last = lastBlockOf(table, row, column);
                if (pageOfLine(last, lineCount(last) - 1) != top)
                    return row;
            }
        }
        // The frame's foot (its border and padding) on the next page would bring the heading
        // rows there again, over no row: the last row goes with them.
        const int lastRowPage = pageOfLine(firstBlockOf(table, table->rows() - 1, 0), 0);
        if (int(std::floor(m_layout->frameBoundingRect(table).bottom() / m_pageHeight)) > lastRowPage)
            return table->rows() - 1;
        return -1;
    }

    // A table whose first row does not lie on one page starts the next page, with a line that
    // leads into it and the headings before; true when it changed something.
    bool startTableOnNextPage(QTextTable *table)
    {
        const QTextBlock before = firstBlockOf(table).previous();
        if (leadsIntoTable(before))
            return startNextPage(before);
        QTextTableFormat format = table->format();
        if (format.pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore)
            return false; // a row longer than a page: its lines go on as they fall
        format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
        table->setFormat(format);
        return true;
    }

    // Splits a paragraph that crosses the foot of a page; true when it did.
    bool splitAtPageFoot(const QTextBlock &block)
    {
        if (lineCount(block) < 2 || QTextCursor(block).currentTable())
            return false; // a table's rows go to the next page whole
        const int firstPage = pageOfLine(block, 0);
        for (int i = 1; i < lineCount(block); ++i) {
            if (pageOfLine(block, i) != firstPage) {
                splitBefore(block, i);
                return true;
            }
        }
        return false;
    }

    // A page other than the last holds at least three lines of text. When one or two would end
    // a page before a page break (before next), lines of the page before come over, cut there
    // as late as the rules above allow (a paragraph between two lines, a table before a row, a
    // box and what joins it whole, a heading with two lines of what follows). Gives the first
    // block that came over, judged again from there; invalid when none did.
    QTextBlock keepPageFull(const QTextBlock &next)
    {
        const QTextBlock last = next.previous();
        if (!last.isValid() || !breaksBefore(next))
            return QTextBlock();
        const int page = lastPageOf(last);
        const QList<double> onPage = lineTopsOn(page, last);
        QTextBlock first = last; // the first block of the page
        while (first.previous().isValid() && lastPageOf(first.previous()) == page)
            first = first.previous();
        QTextTable *firstTable = QTextCursor(first).currentTable();
        if (onPage.isEmpty() || onPage.size() >= 3 || !first.previous().isValid() ||
            first.blockFormat().headingLevel() == 1 || (firstTable && firstTable->format().hasProperty(RestOfTable)))
            return QTextBlock(); // a chapter this short stays so; the rest of a table takes rows along itself
        const ShortPage shortPage{onPage, lineTopsOn(page - 1, first.previous()), QTextCursor(first)};
        return bringLinesOver(shortPage, first.previous(), page - 1);
    }

    // Brings lines of the page before a short page over to it, cut as late as the rules allow,
    // judging the blocks from the foot of that page (last, on page) up. Gives the first block
    // that came over; invalid when none could.
    QTextBlock bringLinesOver(const ShortPage &shortPage, const QTextBlock &last, int page)
    {
        for (QTextBlock block = last; block.isValid() && lastPageOf(block) == page;) {
            QTextBlock whole = block; // what comes over whole, from here to the page's foot
            if (QTextTable *table = QTextCursor(block).currentTable()) {
                if (const QTextBlock over = bringRowsOver(shortPage, table); over.isValid())
                    return over;
                const QTextBlock start = firstBlockOf(table);
                whole = leadsIntoTable(start.previous()) ? start.previous() : start;
            } else if (isQuote(block)) {
                whole = boxWithItsLeadIns(block);
            } else if (!isHeading(block)) {
                if (const QTextBlock over = bringParagraphLinesOver(shortPage, block, page); over.isValid())
                    return over;
            }
            whole = headingsBefore(whole);
            if (shortPage.enough(topOf(whole)) && keepsHeadingLines(whole, 0)) {
                if (!startNextPage(whole))
                    return QTextBlock();
                return shortPage.cameOver(whole);
            }
            block = whole.previous();
        }
        return QTextBlock();
    }

    // Rows of a table at the foot of the page before a short page come over: the table is
    // split before the latest row that gives the page enough lines, or comes over whole when
    // nothing leads into it. Gives the table's first block when it did.
    QTextBlock bringRowsOver(const ShortPage &shortPage, QTextTable *table)
    {
        const QTextBlock start = firstBlockOf(table);
        for (int row = table->rows() - 1; row > table->format().headerRowCount(); --row) {
            if (shortPage.enough(topOf(firstBlockOf(table, row, 0)))) {
                splitTableBefore(table, row);
                return shortPage.cameOver(start);
            }
        }
        if (!leadsIntoTable(start.previous()) && shortPage.enough(topOf(start)) && keepsHeadingLines(start, 0)) {
            QTextTableFormat format = table->format();
            format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
            table->setFormat(format);
            return shortPage.cameOver(start);
        }
        return QTextBlock();
    }

    // The last lines of a paragraph at the foot of the page before a short page (page) come
    // over: it is split before the latest line that gives the page enough lines and keeps a
    // heading's lines with it. Gives the paragraph when it did.
    QTextBlock bringParagraphLinesOver(const ShortPage &shortPage, const QTextBlock &block, int page)
    {
        for (int i = lineCount(block) - 1; i > 0 && pageOfLine(block, i) == page; --i) {
            if (shortPage.enough(lineTop(m_layout, block, block.layout()->lineAt(i))) && keepsHeadingLines(block, i)) {
                splitBefore(block, i);
                return shortPage.cameOver(block);
            }
        }
        return QTextBlock();
    }

    QTextDocument &m_doc;
    QAbstractTextDocumentLayout *m_layout;
    double m_pageHeight;
    // The first block that a rule moved to the next page, judged again from there.
    QTextBlock m_moved;
};

void paginate(QTextDocument &doc, double pageHeight)
{
    Paginator(doc, pageHeight).run();
}

struct Heading {
    int level;
    QString text;
    int page; // 0-based page of the manual's own pages
};

QList<Heading> headingsOf(QTextDocument &doc, double pageHeight)
{
    doc.pageCount(); // the layout is lazy: this finishes it
    QList<Heading> out;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        const int level = block.blockFormat().headingLevel();
        if (level < 1 || level > 2)
            continue;
        const QRectF rect = doc.documentLayout()->blockBoundingRect(block);
        out.append({level, block.text().trimmed(), int(rect.top() / pageHeight)});
    }
    return out;
}

// The contents, with each chapter's and section's page as the PDF numbers it.
std::unique_ptr<QTextDocument> contentsDocument(QPdfWriter &writer, const Geometry &g,
                                                const QList<Heading> &headings, int firstBodyPage,
                                                const QColor &colour)
{
    auto doc = std::make_unique<QTextDocument>();
    doc->documentLayout()->setPaintDevice(&writer);
    doc->setDefaultFont(bodyFont(BodyPoints));
    doc->setDocumentMargin(0);
    doc->setPageSize(g.body.size());

    QTextCursor cursor(doc.get());
    cursor.beginEditBlock(); // laid out once, when the contents are whole
    QTextBlockFormat titleBlock;
    titleBlock.setBottomMargin(14);
    QTextCharFormat titleChars;
    titleChars.setFont(bodyFont(18, true));
    titleChars.setForeground(colour);
    cursor.setBlockFormat(titleBlock);
    cursor.insertText(QStringLiteral("Contents"), titleChars);

    QTextTableFormat tableFormat;
    tableFormat.setWidth(QTextLength(QTextLength::PercentageLength, 100));
    tableFormat.setBorder(0);
    tableFormat.setCellPadding(2);
    tableFormat.setCellSpacing(0);
    tableFormat.setColumnWidthConstraints({QTextLength(QTextLength::PercentageLength, 90),
                                           QTextLength(QTextLength::PercentageLength, 10)});
    cursor.movePosition(QTextCursor::End);
    QTextTable *table = cursor.insertTable(int(headings.size()), 2, tableFormat);
    for (int row = 0; row < headings.size(); ++row) {
        const Heading &h = headings[row];
        QTextCharFormat chars;
        chars.setFont(bodyFont(h.level == 1 ? 10.5 : 9.5, h.level == 1));
        QTextBlockFormat entry;
        entry.setLeftMargin(h.level == 1 ? 0 : 30);
        entry.setTopMargin(h.level == 1 && row > 0 ? 6 : 0);
        QTextCursor cell = table->cellAt(row, 0).firstCursorPosition();
        cell.setBlockFormat(entry);
        cell.insertText(h.text, chars);
        QTextBlockFormat number = entry;
        number.setLeftMargin(0);
        number.setAlignment(Qt::AlignRight);
        QTextCursor pageCell = table->cellAt(row, 1).firstCursorPosition();
        pageCell.setBlockFormat(number);
        pageCell.insertText(QString::number(firstBodyPage + h.page + 1), chars);
    }
    cursor.endEditBlock();
    return doc;
}

void drawDocumentPage(QPainter &painter, QTextDocument &doc, const Geometry &g, int page)
{
    const double height = g.body.height();
    painter.save();
    painter.translate(g.body.left(), g.body.top() - page * height);
    const QRectF band(0, page * height, g.body.width(), height);
    painter.setClipRect(band);
    // The layout draws every block that touches the band, edges included. Each block lies on
    // one page (see paginate), but one that starts a page starts on the band's edge:
    // it would be drawn on the page before too, hidden by the clip yet in the PDF's text. So
    // the blocks are picked by a band a hair smaller than the clip.
    QAbstractTextDocumentLayout::PaintContext context;
    context.clip = band.adjusted(0, PageEdgeDots, 0, -PageEdgeDots);
    doc.documentLayout()->draw(&painter, context);
    painter.restore();
}

void drawFooter(QPainter &painter, const Geometry &g, const QString &left, int pageNumber)
{
    painter.save();
    const double y = g.page.bottom() - mm(FooterFromBottomMm);
    painter.setPen(QPen(QColor(160, 160, 160), mm(0.2)));
    painter.drawLine(QPointF(g.body.left(), y - mm(4.5)), QPointF(g.body.right(), y - mm(4.5)));
    painter.setPen(QColor(90, 90, 90));
    painter.setFont(bodyFont(8));
    const QRectF line(g.body.left(), y - mm(4), g.body.width(), mm(5));
    painter.drawText(line, Qt::AlignLeft | Qt::AlignVCenter, left);
    painter.drawText(line, Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("Page %1").arg(pageNumber));
    painter.restore();
}

void drawTitlePage(QPainter &painter, const Geometry &g, const ManualBrand &brand, const QColor &colour)
{
    painter.save();
    const QRectF band(0, 0, g.page.width(), mm(62));
    painter.fillRect(band, colour);

    const double left = g.body.left();
    const double width = g.body.width();
    painter.setPen(Qt::white);
    painter.setFont(bodyFont(34, true));
    painter.drawText(QRectF(left, mm(20), width, mm(18)), Qt::AlignLeft | Qt::AlignVCenter, brand.brand);
    painter.setFont(bodyFont(13));
    painter.drawText(QRectF(left, mm(40), width, mm(10)), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("Paging systems"));

    QString subject = brand.title;
    if (subject.startsWith(brand.brand + QLatin1Char(' ')))
        subject = subject.mid(brand.brand.size() + 1);
    painter.setPen(colour);
    painter.setFont(bodyFont(28, true));
    painter.drawText(QRectF(left, mm(95), width, mm(16)), Qt::AlignLeft | Qt::AlignVCenter, subject);
    painter.setPen(QColor(70, 70, 70));
    painter.setFont(bodyFont(20));
    painter.drawText(QRectF(left, mm(112), width, mm(12)), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("User Manual"));
    painter.setPen(QPen(colour, mm(0.6)));
    painter.drawLine(QPointF(left, mm(130)), QPointF(left + width, mm(130)));

    painter.setPen(QColor(40, 40, 40));
    painter.setFont(bodyFont(12));
    const QString lines[] = {
        brand.title,
        QStringLiteral("The program %1, version %2").arg(brand.program, brand.version),
        QStringLiteral("Setting up and testing a paging encoder from a PC on a serial line"),
    };
    double y = mm(138);
    for (const QString &line : lines) {
        painter.drawText(QRectF(left, y, width, mm(8)), Qt::AlignLeft | Qt::AlignVCenter, line);
        y += mm(8);
    }

    painter.setPen(QColor(90, 90, 90));
    painter.setFont(bodyFont(9));
    painter.drawText(QRectF(left, g.page.bottom() - mm(40), width, mm(20)),
                     Qt::AlignLeft | Qt::AlignBottom | Qt::TextWordWrap,
                     QStringLiteral("This manual is the help file %1. The program opens it with F1 "
                                    "and with Help > Paging Encoder Setup Help Topics.")
                         .arg(brand.manual));
    painter.restore();
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("pagersetup-manual"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Renders the user manual into a brand's PDF help file."));
    parser.addHelpOption();
    const QCommandLineOption source(QStringLiteral("source"), QStringLiteral("The manual's Markdown source."),
                                    QStringLiteral("file"));
    const QCommandLineOption output(QStringLiteral("output"), QStringLiteral("The PDF to write."),
                                    QStringLiteral("file"));
    const QCommandLineOption brandName(QStringLiteral("brand"), QStringLiteral("The brand, e.g. Solvendra."),
                                       QStringLiteral("name"));
    const QCommandLineOption program(QStringLiteral("program"), QStringLiteral("The program, e.g. xjsetup."),
                                     QStringLiteral("name"));
    const QCommandLineOption title(QStringLiteral("title"), QStringLiteral("The brand's window title."),
                                   QStringLiteral("text"));
    const QCommandLineOption manual(QStringLiteral("manual"), QStringLiteral("The help file's name."),
                                    QStringLiteral("name"));
    const QCommandLineOption version(QStringLiteral("version"), QStringLiteral("The program's version."),
                                     QStringLiteral("text"));
    const QCommandLineOption markdown(QStringLiteral("markdown"),
                                      QStringLiteral("Also write the brand's Markdown, as it is rendered, here."),
                                      QStringLiteral("file"));
    parser.addOptions({source, output, markdown, brandName, program, title, manual, version});
    parser.process(app);
    for (const QCommandLineOption *required : {&source, &brandName, &program, &title, &manual, &version}) {
        if (!parser.isSet(*required)) {
            fail(QStringLiteral("--%1 is required").arg(required->names().first()));
            return 2;
        }
    }
    if (!parser.isSet(output) && !parser.isSet(markdown)) {
        fail(QStringLiteral("--output or --markdown is required"));
        return 2;
    }

    const ManualBrand brand{parser.value(brandName), parser.value(program), parser.value(title),
                            parser.value(manual), parser.value(version)};

    QFile in(parser.value(source));
    if (!in.open(QIODevice::ReadOnly)) {
        fail(QStringLiteral("cannot read %1: %2").arg(in.fileName(), in.errorString()));
        return 1;
    }
    const FilledManual filled = FillManual(QString::fromUtf8(in.readAll()), brand);
    if (!filled.errors.isEmpty()) {
        for (const QString &error : filled.errors)
            fail(QStringLiteral("%1: %2").arg(in.fileName(), error));
        return 1;
    }
    if (parser.isSet(markdown)) {
        QSaveFile text(parser.value(markdown));
        if (!text.open(QIODevice::WriteOnly) || text.write(filled.markdown.toUtf8()) < 0 || !text.commit()) {
            fail(QStringLiteral("cannot write %1: %2").arg(text.fileName(), text.errorString()));
            return 1;
        }
        if (!parser.isSet(output))
            return 0;
    }
    if (!QFontDatabase::families().contains(QString::fromLatin1(BodyFamily)))
        fail(QStringLiteral("warning: the font %1 is missing; another is used").arg(QString::fromLatin1(BodyFamily)));

    QSaveFile out(parser.value(output));
    if (!out.open(QIODevice::WriteOnly)) {
        fail(QStringLiteral("cannot write %1: %2").arg(out.fileName(), out.errorString()));
        return 1;
    }
    const QString documentTitle = brand.title + QStringLiteral(" Manual");
    QPdfWriter writer(&out);
    writer.setResolution(Resolution);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
    writer.setTitle(documentTitle);
    writer.setCreator(brand.program + QStringLiteral(" manual"));
    const Geometry g = geometryOf(writer);
    const QColor colour = brandColour(brand.brand);

    QTextDocument body;
    body.setDefaultFont(bodyFont(BodyPoints));
    body.setDocumentMargin(0);
    // Imported before the document has a layout: with one, it would be laid out again after
    // every block the importer adds.
    body.setMarkdown(filled.markdown, QTextDocument::MarkdownDialectGitHub);
    body.documentLayout()->setPaintDevice(&writer);
    styleDocument(body, colour);
    body.setPageSize(g.body.size());
    paginate(body, g.body.height());
    const QList<Heading> headings = headingsOf(body, g.body.height());
    if (headings.isEmpty()) {
        fail(QStringLiteral("%1 has no headings").arg(in.fileName()));
        return 1;
    }

    // The contents' own length decides where the manual starts; its numbers do not change it.
    std::unique_ptr<QTextDocument> contents = contentsDocument(writer, g, headings, 1, colour);
    const int contentsPages = contents->pageCount();
    contents = contentsDocument(writer, g, headings, 1 + contentsPages, colour);
    if (contents->pageCount() != contentsPages) {
        fail(QStringLiteral("the contents do not settle on a page count"));
        return 1;
    }

    QPainter painter;
    if (!painter.begin(&writer)) {
        fail(QStringLiteral("cannot start the PDF %1").arg(out.fileName()));
        return 1;
    }
    painter.setRenderHint(QPainter::Antialiasing);
    drawTitlePage(painter, g, brand, colour);
    int pageNumber = 1;
    for (int page = 0; page < contentsPages; ++page) {
        writer.newPage();
        ++pageNumber;
        drawDocumentPage(painter, *contents, g, page);
        drawFooter(painter, g, documentTitle, pageNumber);
    }
    for (int page = 0; page < body.pageCount(); ++page) {
        writer.newPage();
        ++pageNumber;
        drawDocumentPage(painter, body, g, page);
        drawFooter(painter, g, documentTitle, pageNumber);
    }
    if (!painter.end() || !out.commit()) {
        fail(QStringLiteral("cannot write %1: %2").arg(out.fileName(), out.errorString()));
        return 1;
    }
    return 0;
}
