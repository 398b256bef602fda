#include "print/printout.h"

#include "print/listing.h"
#include "widgets/artwork.h"
#include "model/state.h"
#include "platform/files.h"
#include "platform/msgbox.h"
#include "platform/pointer.h"
#include "platform/shell.h"

#include <QBuffer>
#include <QFontMetricsF>
#include <QPageRanges>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>

#include <algorithm>

namespace {

constexpr double TwipsPerInch = 1440.0;
constexpr double TwipsPerPoint = 20.0;
// The logo picture's proportions (the main window's logo).
constexpr int LogoWidth = 190;
constexpr int LogoHeight = 58;
// The logo is rendered at this resolution, whatever the printer's.
constexpr double LogoDpi = 600.0;

QFont listingFont(ListingFont kind)
{
    const bool table = kind == ListingFont::TableBold || kind == ListingFont::Table;
    QFont font(table ? QStringLiteral("Courier New") : QStringLiteral("Arial"));
    font.setStyleHint(table ? QFont::TypeWriter : QFont::SansSerif);
    if (table)
        font.setFixedPitch(true);
    font.setKerning(false);
    font.setPointSizeF(kind == ListingFont::Title ? 20 : 10);
    font.setBold(kind == ListingFont::Title || kind == ListingFont::Bold ||
                 kind == ListingFont::TableBold);
    return font;
}

// The logo fitted into its box with its proportions kept, at the box's top left corner so
// that it stays clear of the title below.
QRectF logoTwips()
{
    const QRectF box(ListingLogoBox);
    const double scale = std::min(box.width() / LogoWidth, box.height() / LogoHeight);
    return {box.topLeft(), QSizeF(LogoWidth * scale, LogoHeight * scale)};
}

// Draws the pages of a listing on a device whose origin is the sheet's top left corner.
class ListingPainter {
public:
    ListingPainter(QPainter &painter, QPagedPaintDevice &device)
        : m_p(painter), m_device(device),
          m_dotsX(device.logicalDpiX() / TwipsPerInch), m_dotsY(device.logicalDpiY() / TwipsPerInch)
    {
        const QRectF logo = logoTwips();
        m_logo = BrandLogo(BrandKestrane, qRound(logo.width() / TwipsPerInch * LogoDpi),
                           qRound(logo.height() / TwipsPerInch * LogoDpi));
    }

    // copies × the pages, each after the first on a new page; false when the device refused
    // a new page.
    bool drawCopies(const QList<ListingPage> &pages, int copies)
    {
        bool first = true;
        for (int copy = 0; copy < copies; ++copy) {
            for (const ListingPage &page : pages) {
                if (!first && !m_device.newPage())
                    return false;
                first = false;
                draw(page);
            }
        }
        return true;
    }

private:
    void draw(const ListingPage &page)
    {
        // The sheet's size, as the printer reports it for this page.
        const QSizeF sheet = m_device.pageLayout().fullRectPoints().size() * TwipsPerPoint;
        if (page.logo) {
            const QRectF logo = logoTwips();
            m_p.drawPixmap(QRectF(logo.x() * m_dotsX, logo.y() * m_dotsY,
                                  logo.width() * m_dotsX, logo.height() * m_dotsY),
                           m_logo, QRectF(m_logo.rect()));
        }
        // The right end of the last text drawn and its line.
        double lineTop = -1;
        double lineEnd = 0;
        for (const ListingText &item : page.texts) {
            if (item.text.isEmpty())
                continue;
            const QFont font = listingFont(item.font);
            m_p.setFont(font);
            const QFontMetricsF metrics(font, &m_device);
            const double width = metrics.horizontalAdvance(item.text) / m_dotsX;
            const double top = item.fromBottom ? sheet.height() - item.y : item.y;
            double x = item.x;
            if (item.anchor == ListingAnchor::RightOfCentre)
                x = 1000 + sheet.width() / 2 - width / 2;
            else if (item.anchor == ListingAnchor::Centre)
                x = sheet.width() / 2 - width / 2;
            else if (top == lineTop)
                // A font wider than the one the places were made for (no Arial on this
                // system) moves a text along its line rather than over the label before it.
                x = std::max(x, lineEnd + metrics.horizontalAdvance(QLatin1Char(' ')) / m_dotsX);
            lineTop = top;
            QString inked = item.text;
            while (inked.endsWith(QLatin1Char(' ')))
                inked.chop(1);
            lineEnd = x + metrics.horizontalAdvance(inked) / m_dotsX;
            // The place is the top of the text line; the painter wants the baseline.
            m_p.drawText(QPointF(x * m_dotsX, top * m_dotsY + metrics.ascent()), item.text);
        }
    }

    QPainter &m_p;
    QPagedPaintDevice &m_device;
    double m_dotsX;
    double m_dotsY;
    QPixmap m_logo;
};

QString listingTitle()
{
    return QString::fromLatin1(Run.sBrand) + QStringLiteral(" Paging Encoder Configuration");
}

// A PDF file: the document is made in memory and then takes the file's place whole, so a
// file that cannot be written keeps what it held and no half listing is left.
bool printToPdfFile(const QPrinter &printer, const QList<ListingPage> &pages, int copies,
                    QString *error)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setResolution(printer.resolution());
        QPageLayout layout(printer.pageLayout().pageSize(), printer.pageLayout().orientation(),
                           QMarginsF());
        layout.setMode(QPageLayout::FullPageMode);
        writer.setPageLayout(layout);
        writer.setTitle(listingTitle());
        writer.setCreator(AppTitle());
        QPainter painter;
        if (!painter.begin(&writer)) {
            *error = QStringLiteral("The PDF file could not be made.");
            return false;
        }
        ListingPainter(painter, writer).drawCopies(pages, copies);
        painter.end();
    }
    const QString path = printer.outputFileName();
    QString reason;
    if (!ReplaceWholeFile(path, buffer.data(), &reason)) {
        *error = QStringLiteral("The listing could not be written to ") + path +
                 QStringLiteral(":\r") + reason;
        return false;
    }
    return true;
}

// A printer: the job goes to the printer when the painter ends. A printer that refuses a page
// ends the job at once and it is taken back where the printer allows it.
bool printToPrinter(QPrinter &printer, const QList<ListingPage> &pages, int copies,
                    QString *error)
{
    QPainter painter;
    if (!painter.begin(&printer)) {
        *error = QStringLiteral("The printer could not be started.");
        return false;
    }
    const bool drawn = ListingPainter(painter, printer).drawCopies(pages, copies);
    if (!drawn)
        printer.abort();
    painter.end();
    if (!drawn || printer.printerState() == QPrinter::Error) {
        *error = QStringLiteral("The printer stopped with an error; the listing was not printed.");
        return false;
    }
    return true;
}

} // namespace

void mnuPrintDB_Click(QWidget *owner, const QByteArray &notes)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setFullPage(true);
    printer.setDocName(listingTitle());
    if (!PrinterDialog(owner, printer))
        return;
    // The copies are drawn here, each with both pages, whatever range the dialog chose; the
    // printer's own count stays at 1 or it would multiply them again.
    const int copies = std::clamp(printer.copyCount(), 0, 32767);
    printer.setCopyCount(1);
    printer.setPrintRange(QPrinter::AllPages);
    printer.setPageRanges(QPageRanges());
    printer.setFullPage(true);
    if (copies < 1)
        return;

    ListingInput in;
    in.brand = Run.sBrand;
    in.notes = notes;
    in.fileName = QString::fromLatin1(Run.sDBFileName);
    in.today = QDate::currentDate();
    const QList<ListingPage> pages = ListingPages(in);

    SetHourglassPointer();
    QString error;
    const bool printed = printer.outputFormat() == QPrinter::PdfFormat
                             ? printToPdfFile(printer, pages, copies, &error)
                             : printToPrinter(printer, pages, copies, &error);
    SetDefaultPointer();
    if (!printed)
        MsgBox(error, MsgButtons::OK, MsgIcon::Exclamation);
}
