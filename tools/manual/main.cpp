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
#include "paginator.h"

#include <QAbstractTextDocumentLayout>
#include <QCommandLineParser>
#include <QFile>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHashSeed>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>
#include <QTextTable>

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
    // The text layout counts in 1/64 of a dot and cuts the page's height down to that: its pages
    // would start ever earlier than those drawn, by a dot after some 80 pages.
    g.body.setHeight(std::floor(g.body.height() * 64) / 64);
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
    // The PDF writer keeps its fonts in a hash and writes them in the hash's order: with Qt's
    // random seed, each run would order them differently and no two builds of a manual would
    // be the same file. The seed is fixed before anything makes a hash. (The source is ours,
    // so a fixed seed opens no door to colliding keys.)
    QHashSeed::setDeterministicGlobalSeed();
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
