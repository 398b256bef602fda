// The manual's pagination: the rules that decide where its pages break.

#include "paginator.h"

#include <QAbstractTextDocumentLayout>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTextLayout>
#include <QTextList>
#include <QTextTable>

#include <algorithm>
#include <cmath>

namespace {

// How far apart the tops of lines may lie that read as one line across the page (the cells of
// a table row): far less than a line.
constexpr double SameLineDots = 4.0;
// The fewest lines of text a page but the last may hold.
constexpr int MinPageLines = 4;

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

// The lines of text after a table up to the next page break or the document's end, counted up
// to most.
int linesAfter(QTextTable *table, int most)
{
    QTextCursor after = table->lastCursorPosition();
    if (!after.movePosition(QTextCursor::NextBlock))
        return 0;
    int lines = 0;
    for (QTextBlock block = after.block(); block.isValid() && !breaksBefore(block) && lines < most; block = block.next()) {
        // The empty block that the importer leaves after a table holds no text.
        if (!block.text().isEmpty())
            lines += lineCount(block);
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

// A page that fewer than MinPageLines lines of text would end before a page break, and the
// page before it, from which lines come over.
struct ShortPage {
    QList<double> lines;  // the tops of the lines on the page
    QList<double> before; // and on the page before
    QTextCursor first;    // at what starts the page

    // A cut at top gives the page MinPageLines lines and leaves some on the page before.
    bool enough(double top) const
    {
        const auto moved = std::count_if(before.cbegin(), before.cend(), [top](double t) { return t > top - SameLineDots; });
        return lines.size() + moved >= MinPageLines && moved < before.size();
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
// headings before. The rows that end a table go over with enough rows of the page before to
// make four lines with the text that follows them up to a page break.
//
// Every paragraph lies on one page. The layout breaks a paragraph between two lines at the
// foot of a page, but it draws a block whole wherever any of it shows: a paragraph that runs
// onto the next page would be drawn on both, the lines of the other page hidden by the clip
// but in the PDF's text all the same, where a search finds them twice. So a paragraph that
// crosses the foot of a page is split there into two blocks: the lines on the next page
// become a block of their own that starts that page and goes on with the same margins and
// indent (without a second list marker). The layout may also leave a line across the foot of a
// page, by up to its block's bottom margin, drawn on both pages: the paragraph is split before
// that line, or starts the next page when it is its first (a box, whole).
//
// No page but the last holds fewer than four lines of text. When the end of a chapter would
// leave one to three lines on a page of their own, enough lines of the page before go over
// with them, cut where the rules above allow.
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

    // The page that a line of text reaches down to. The layout lets a line's foot run past the
    // page's by up to the block's bottom margin, where the next page draws it too. An empty
    // line reaches no further than its top.
    int pageOfLineFoot(const QTextBlock &block, int line) const
    {
        const QTextLayout *lines = block.layout();
        if (!lines || line < 0 || line >= lines->lineCount() || lines->lineAt(line).textLength() == 0)
            return pageOfLine(block, line);
        const QTextLine text = lines->lineAt(line);
        return pageOf(lineTop(m_layout, block, text) + text.height() - 2 * PageEdgeDots);
    }

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
        if (pageOfLine(first, 0) == pageOfLineFoot(last, lineCount(last) - 1))
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
        // Rows of a table's end take rows along to the next page: with the text that follows
        // them there, up to a page break, they make four lines at least.
        const int after = linesAfter(table, MinPageLines);
        while (broken > headings &&
               linesOfRows(table, 0, headings) + linesOfRows(table, broken, table->rows()) + after < MinPageLines)
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

    // Splits a paragraph that crosses the foot of a page before the first line that does not
    // lie on its first page, or starts the next page with it when that is its first line; true
    // when it changed something.
    bool splitAtPageFoot(const QTextBlock &block)
    {
        if (QTextCursor(block).currentTable())
            return false; // a table's rows go to the next page whole
        const int firstPage = pageOfLine(block, 0);
        for (int i = 0; i < lineCount(block); ++i) {
            if (pageOfLine(block, i) == firstPage && pageOfLineFoot(block, i) == firstPage)
                continue;
            if (i == 0)
                return startNextPage(block);
            splitBefore(block, i);
            return true;
        }
        return false;
    }

    // A page other than the last holds at least four lines of text. When fewer would end
    // a page before a page break (before next), lines of the page before come over, cut there
    // as late as the rules above allow (a paragraph between two lines, a table before a row, a
    // box and what joins it whole, or between two lines when it is longer than a page, a heading
    // with two lines of what follows). Gives the first block that came over, judged again from
    // there; invalid when none did.
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
        if (onPage.isEmpty() || onPage.size() >= MinPageLines || !first.previous().isValid() ||
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
                // A box longer than a page goes on as it falls: its lines come over one by one.
                if (pageOfLine(whole, 0) != lastPageOf(lastOfBox(block)))
                    whole = block;
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
        // The layout may have taken the table's last rows whole to the short page, which then
        // starts in this very table: it has no start of its own to undo (undoing it would undo
        // the table's move, and the same move would come again and again).
        const bool startsInTable = shortPage.first.currentTable() == table;
        const auto cameOver = [&] { return startsInTable ? start : shortPage.cameOver(start); };
        for (int row = table->rows() - 1; row > table->format().headerRowCount(); --row) {
            if (shortPage.enough(topOf(firstBlockOf(table, row, 0)))) {
                splitTableBefore(table, row);
                return cameOver();
            }
        }
        if (!leadsIntoTable(start.previous()) && shortPage.enough(topOf(start)) && keepsHeadingLines(start, 0)) {
            QTextTableFormat format = table->format();
            format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
            table->setFormat(format);
            return cameOver();
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

} // namespace

void paginate(QTextDocument &doc, double pageHeight)
{
    Paginator(doc, pageHeight).run();
}
