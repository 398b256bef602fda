// File > Print Database Configuration through the real program, printed to a PDF file and read
// back with poppler's tools: every text on its page and at its place, the logo, the copies,
// and a cancelled dialog or a file that cannot be written.

#include "app/apptest.h"
#include "model/database.h"
#include "support/scriptedboxes.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

#include <optional>

using namespace Qt::StringLiterals;

namespace {

struct Word {
    QString text;
    double xMin = 0, yMin = 0, xMax = 0;
};
struct PdfPage {
    double width = 0, height = 0; // points
    QList<Word> words;
};

QByteArray run(const char *tool, const QStringList &args)
{
    QProcess p;
    p.start(QStandardPaths::findExecutable(QString::fromLatin1(tool)), args);
    return p.waitForFinished(20000) && p.exitCode() == 0 ? p.readAllStandardOutput() : QByteArray();
}

// The words of every page with their boxes.
QList<PdfPage> pdfWords(const QString &pdf)
{
    static const QRegularExpression pageRe(uR"re(<page width="([\d.]+)" height="([\d.]+)">)re"_s);
    static const QRegularExpression wordRe(
        uR"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="[\d.]+">(.*)</word>)re"_s);
    QList<PdfPage> pages;
    for (const QString &line : QString::fromUtf8(run("pdftotext", {u"-bbox"_s, pdf, u"-"_s})).split(u'\n')) {
        if (const auto m = pageRe.match(line); m.hasMatch()) {
            pages.append({m.captured(1).toDouble(), m.captured(2).toDouble(), {}});
        } else if (const auto w = wordRe.match(line); w.hasMatch() && !pages.isEmpty()) {
            QString text = w.captured(4).replace(u"&lt;"_s, u"<"_s).replace(u"&gt;"_s, u">"_s);
            text.replace(u"&quot;"_s, u"\""_s).replace(u"&amp;"_s, u"&"_s);
            // Ligatures ("fi" in "Configuration") come back as their letters.
            pages.last().words.append({text.normalized(QString::NormalizationForm_KC),
                                       w.captured(1).toDouble(), w.captured(2).toDouble(),
                                       w.captured(3).toDouble()});
        }
    }
    return pages;
}

// The pictures on each page (soft masks not counted).
QMap<int, int> pdfImages(const QString &pdf)
{
    QMap<int, int> perPage;
    for (const QByteArray &line : run("pdfimages", {u"-list"_s, pdf}).split('\n').mid(2)) {
        const QList<QByteArray> cols = line.simplified().split(' ');
        if (cols.size() > 2 && cols[2] == "image")
            ++perPage[cols[0].toInt()];
    }
    return perPage;
}

// A text of a page at its place in twips: Mono in the tables' fixed pitch, Left in Arial,
// RightOfCentre centred 1000 twips right of the page's centre, Footer centred with its top
// y above the bottom edge.
enum class Kind { Mono, Left, RightOfCentre, Footer };
struct Expected {
    Kind kind;
    int x, y;
    QString text;
};

// Finds every expected text within 2 points of its place, after one offset for the page
// (from the notes label), and no text that is not expected. advance: the fixed pitch.
void checkPage(const PdfPage &page, const QList<Expected> &expected, double advance, const QString &what)
{
    QList<Word> words = page.words;
    std::optional<QPointF> off;
    for (int i = 0; i + 1 < words.size(); ++i)
        if (words[i].text == "Configuration"_L1 && words[i + 1].text == "Notes:"_L1)
            off = QPointF(words[i].xMin - 25, words[i].yMin - 125);
    QVERIFY2(off && std::abs(off->x()) < 30 && std::abs(off->y()) < 30, qPrintable(what));

    const auto take = [&](const QString &text, double x, double top, bool exactX) -> std::optional<Word> {
        for (int i = 0; i < words.size(); ++i) {
            const Word w = words[i];
            if (w.text == text && std::abs(w.yMin - top) <= 2 &&
                (exactX ? std::abs(w.xMin - x) <= 2 : w.xMin >= x - 2)) {
                words.removeAt(i);
                return w;
            }
        }
        return std::nullopt;
    };
    static const QRegularExpression wordRe(u"\\S+"_s);
    // A text that would run into the one before it on its line (a font wider than Arial)
    // starts a blank after it instead.
    double lineTop = -1, lineEnd = 0;
    for (const Expected &e : expected) {
        const double top = (e.kind == Kind::Footer ? page.height - e.y / 20.0 : e.y / 20.0) + off->y();
        const double start = top == lineTop ? std::max(e.x / 20.0 + off->x(), lineEnd + 3)
                                            : e.x / 20.0 + off->x();
        const QString where = u"%1: \"%2\" at (%3, %4)"_s.arg(what, e.text).arg(e.x).arg(e.y);
        double first = -1, last = 0;
        for (auto it = wordRe.globalMatch(e.text); it.hasNext();) {
            const auto m = it.next();
            const bool mono = e.kind == Kind::Mono;
            const double x = mono ? start + m.capturedStart() * advance : first < 0 ? start : last;
            const auto w = take(m.captured(), x, top, mono || (e.kind == Kind::Left && first < 0));
            QVERIFY2(w, qPrintable(where + u", word \""_s + m.captured() + u"\" not found"_s));
            first = first < 0 ? w->xMin : first;
            last = w->xMax;
        }
        if (first < 0)
            continue;
        lineTop = top;
        lineEnd = last;
        if (e.kind == Kind::RightOfCentre || e.kind == Kind::Footer) {
            const double centre = (e.kind == Kind::Footer ? 0 : 50) + page.width / 2 + off->x();
            QVERIFY2(std::abs((first + last) / 2 - centre) <= 2, qPrintable(where + u" off centre"_s));
        }
    }
    QStringList left;
    for (const Word &w : words)
        left << u"%1 (%2, %3)"_s.arg(w.text).arg(w.xMin).arg(w.yMin);
    QVERIFY2(left.isEmpty(), qPrintable(what + u": unexpected "_s + left.join(u", "_s)));
}

// The expected pages, from the texts a database gives.
struct Listing {
    QString brand, notes, file;
    QStringList families;                        // 50 rows
    QStringList groupRows;                       // 25 rows of ten cells, Reference to Timer Msg #
    QStringList messages;                        // 15
    QStringList settings;                        // 16, left and right of each row

    QList<Expected> header() const
    {
        const QDate today = QDate::currentDate();
        const QString date = QLocale(QLocale::English).toString(today, u"MMM"_s) +
                             u". %1, %2"_s.arg(today.day()).arg(today.year());
        return {{Kind::RightOfCentre, 0, 1200, brand + u" Paging Encoder Configuration"_s},
                {Kind::RightOfCentre, 0, 1900, date},
                {Kind::Left, 500, 2500, u"Configuration Notes:"_s},
                {Kind::Left, 2600, 2500, notes}};
    }
    Expected footer(int page) const
    {
        const QString number = u"p. %1 of 2"_s.arg(page);
        return {Kind::Footer, 0, 750, file.isEmpty() ? number : u"Filename: "_s + file + u"    "_s + number};
    }
    QList<Expected> pageOne() const
    {
        QList<Expected> e = header();
        e.append({Kind::Mono, 500, 2800,
                  u"Family Active PagerQty StartID EndID StartCap  EndCap   PgrType Func Rate Prefix Suffix"_s});
        for (int r = 0; r < 50; ++r)
            e.append({Kind::Mono, 500, 3050 + 230 * r, families.value(r)});
        return e << footer(1);
    }
    QList<Expected> pageTwo() const
    {
        static const QStringList labels = {
            u"Reference:"_s, u"Active:"_s, u"Group ID:"_s, u"Pager ID 1:"_s, u"Pager ID 2:"_s,
            u"Pager ID 3:"_s, u"Pager ID 4:"_s, u"Pager ID 5:"_s, u"Pager ID 6:"_s, u"Pager ID 7:"_s,
            u"Pager ID 8:"_s, u"Pager ID 9:"_s, u"Pager ID 10:"_s, u"Pager ID 11:"_s, u"Pager ID 12:"_s,
            u"Pager ID 13:"_s, u"Pager ID 14:"_s, u"Pager ID 15:"_s, u"Pager ID 16:"_s, u"Pager ID 17:"_s,
            u"Pager ID 18:"_s, u"Pager ID 19:"_s, u"Pager ID 20:"_s, u"Timer Active:"_s, u"Timer Msg #:"_s};
        static const QStringList settingLabels = {
            u"Duty Cycle %:"_s, u"Max Msg/Batch:"_s, u"Carrier Detect:"_s, u"CD Polarity:"_s,
            u"Data Polarity:"_s, u"Incr Caps by 8:"_s, u"Port 1 Protocol:"_s, u"Port 2 Protocol:"_s,
            u"Port 1 Settings:"_s, u"Port 2 Settings:"_s, u"Port 1 Flow Control:"_s,
            u"Port 2 Flow Control:"_s, u"Port 1 Timer Reset:"_s, u"Port 2 Timer Reset:"_s,
            u"Port 1 ID = Cap:"_s, u"Port 2 ID = Cap:"_s};
        QList<Expected> e = header();
        e.append({Kind::Mono, 500, 2800, u"Pager Group:"_s});
        e.append({Kind::Mono, 2500, 2800, u"   1      2      3      4      5      6      7      8      9     10"_s});
        for (int r = 0; r < labels.size(); ++r)
            e << Expected{Kind::Mono, 500, 3000 + 200 * r, labels[r]}
              << Expected{Kind::Mono, 2500, 3000 + 200 * r, groupRows.value(r)};
        for (int m = 0; m < 15; ++m)
            e << Expected{Kind::Mono, 500, 8200 + 200 * m, u"Canned Msg #%1:"_s.arg(m + 1)}
              << Expected{Kind::Mono, 2500, 8200 + 200 * m, messages.value(m)};
        for (int i = 0; i < 16; ++i)
            e << Expected{Kind::Mono, i % 2 ? 5500 : 500, 11400 + 200 * (i / 2), settingLabels[i]}
              << Expected{Kind::Mono, i % 2 ? 8000 : 3000, 11400 + 200 * (i / 2), settings.value(i)};
        return e << footer(2);
    }
};

// Ten cells of 7: the first ones given, the rest all fill.
QString cells(QStringList c, const QString &fill = QString())
{
    while (c.size() < 10)
        c << fill;
    QString s;
    for (const QString &cell : c)
        s += cell.leftJustified(7);
    return s;
}

// The fixed pitch from the families' column header ("Family" in column 0, "Suffix" in 81);
// -1 unless it is 10 points' (0.6 of the size).
double monoAdvance(const PdfPage &page)
{
    double family = -1, suffix = -1;
    for (const Word &w : page.words) {
        if (w.text == "Family"_L1)
            family = w.xMin;
        else if (w.text == "Suffix"_L1)
            suffix = w.xMin;
    }
    const double advance = (suffix - family) / 81;
    return family >= 0 && suffix >= 0 && std::abs(advance - 6.0) < 0.05 ? advance : -1;
}

} // namespace

class TestPrintout : public QObject {
    Q_OBJECT

    std::unique_ptr<AppTestEnv> env;
    std::unique_ptr<ScriptedBoxes> noBoxes; // any box a test does not script fails it
    QTemporaryDir tmp;
    // PRINTOUT_PDF_DIR keeps the listings for a look.
    QDir out{qEnvironmentVariableIsSet("PRINTOUT_PDF_DIR") ? qEnvironmentVariable("PRINTOUT_PDF_DIR") : tmp.path()};

    // Prints through the menu item to a PDF file, with copies and a page range in the dialog.
    void printToPdf(frmTerminal *t, const QString &pdf, int copies)
    {
        SetPrinterDialogHook([pdf, copies](QPrinter &printer) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(pdf);
            printer.setCopyCount(copies);
            printer.setFromTo(2, 2);
            return true;
        });
        t->mnuPrintDB->trigger();
    }

    void checkListing(const QString &pdf, const Listing &expected, int copies)
    {
        const QList<PdfPage> pages = pdfWords(pdf);
        QCOMPARE(pages.size(), 2 * copies);
        const double advance = monoAdvance(pages[0]);
        QVERIFY2(advance > 0, "the tables are not in a 10-point fixed pitch");
        for (int p = 0; p < pages.size(); ++p)
            checkPage(pages[p], p % 2 ? expected.pageTwo() : expected.pageOne(), advance,
                      u"page %1"_s.arg(p + 1));
        const QMap<int, int> images = pdfImages(pdf);
        for (int p = 1; p <= pages.size(); ++p)
            QCOMPARE(images.value(p), expected.brand == "Kestrane"_L1 ? 1 : 0); // the logo
    }

private slots:
    void initTestCase()
    {
        if (QStandardPaths::findExecutable(u"pdftotext"_s).isEmpty() ||
            QStandardPaths::findExecutable(u"pdfimages"_s).isEmpty())
            QSKIP("poppler-utils (pdftotext, pdfimages) are not installed");
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }
    void init()
    {
        env = std::make_unique<AppTestEnv>();
        noBoxes = std::make_unique<ScriptedBoxes>();
    }
    void cleanup()
    {
        env.reset();
        noBoxes.reset();
    }

    // Kestrane, a known database with a file name, two copies: pages 1, 2, 1, 2 in one
    // document, whatever page range the dialog held.
    void kestraneListing()
    {
        frmTerminal *t = StartProgram<frmSplash>();
        QVERIFY(t);
        ResetDatabase();
        DB.Families[0] = {"1", "0000100", "1", "A", "0", "010", "0001", "00", "03", "YES"};
        DB.Families[1] = {"1", "1234567", "2", "N", "2", "100", "2000", "12", "07", "YES"};
        DB.Families[2] = {"0", "0000200", "5", "A", "1", "005", "0050", "00", "00", ""};
        PagerGroupRec &g1 = DB.PagerGroups[0], &g3 = DB.PagerGroups[2];
        g1[GrpID] = "1000"; g1[GrpActive] = "1"; g1[GrpTimerActive] = "1"; g1[GrpReference] = "SITE";
        g1[GrpPagerID1] = "0001"; g1[GrpPagerID1 + 1] = "0002"; g1[GrpPagerID1 + 2] = "0012";
        DB.PagerGroups[1][GrpID] = "0";
        g3[GrpID] = "2000"; g3[GrpActive] = "1"; g3[GrpTimerActive] = "1"; g3[GrpTimerMsg] = "5";
        g3[GrpPagerID1] = "0100"; g3[GrpPagerID20] = "8999"; g3[GrpReference] = "B";
        DB.CannedMsgs[0] = "Test message one";
        DB.CannedMsgs[2] = "Fire alarm - building 2";
        DB.CannedMsgs[14] = "Last message";
        EncoderSettings.bIncCapBy8 = true; // EndCap still counts one by one
        EncoderSettings.sPort2Protocol = "COMP2";
        EncoderSettings.bPort2Verbose = true;
        EncoderSettings.sPort2Baud = "1200";
        EncoderSettings.sPort2DataBits = "E71";
        EncoderSettings.sPort2Flow = "NONE";
        // The footer names the file without its folder, however deep it lies.
        Run.sDBFilePath = u"/home/tech/customers/north region/hilltop relay station/2025/hilltop.pg9"_s;
        Run.sDBFileName = "hilltop.pg9";
        t->txtConfigNotes->setNotes("Hilltop site, rack 2 & spare");

        Listing e{u"Kestrane"_s, u"Hilltop site, rack 2 & spare"_s, u"hilltop.pg9"_s, {}, {}, {}, {}};
        e.families = QStringList{
            u"   1     ON      10         1     10  0000100  0000109   Alpha    1  1200  None     3  "_s,
            u"   2     ON     100      2000   2099  1234567  1234666  Numeric   3  2400   12      7  "_s,
            u"   3    OFF       5        50     54  0000200  0000204            2   512  None   None "_s};
        for (int n = 4; n <= 50; ++n) // as New leaves a family
            e.families << QString::number(n).rightJustified(4) +
                              u"    OFF                                                       4   512  None   None "_s;
        e.groupRows = QStringList{cells({u"  SITE"_s, {}, u"     B"_s}),
                                  cells({u"  ON"_s, u"  OFF"_s, u"  ON"_s}, u"  OFF"_s),
                                  cells({u" 1000"_s, u" 0000"_s, u" 2000"_s}, u" 0000"_s),
                                  cells({u" 0001"_s, {}, u" 0100"_s}), cells({u" 0002"_s}), cells({u" 0012"_s})};
        for (int n = 4; n <= 19; ++n)
            e.groupRows << QString();
        e.groupRows << cells({{}, {}, u" 8999"_s}) << cells({u"  ON"_s, u"  OFF"_s, u"  ON"_s}, u"  OFF"_s)
                    << cells({u"  00"_s, u" None"_s, u"   5"_s}, u" None"_s);
        e.messages = QStringList{u"Test message one"_s, {}, u"Fire alarm - building 2"_s};
        for (int m = 4; m <= 14; ++m)
            e.messages << QString();
        e.messages << u"Last message"_s;
        e.settings = QStringList{u"66"_s, u"10"_s, u"Enabled"_s, u"0V"_s, u"Normal"_s, u"Enabled"_s,
                                 u"TAP Non-Verbose"_s, u"COMP2 Verbose"_s, u"9600 N81"_s, u"1200 E71"_s,
                                 u"HW"_s, u"NONE"_s, u"Enabled"_s, u"Enabled"_s, u"Disabled"_s, u"Disabled"_s};

        const QString pdf = out.filePath(u"kestrane.pdf"_s);
        printToPdf(t, pdf, 2);
        QVERIFY(!HourglassShown());
        checkListing(pdf, e, 2);
    }

    // Solvendra right after a start with no file, every field empty: the listing completes,
    // with blanks for the numbers, no logo, and footers that name only the page.
    void solvendraListingOfAnEmptyDatabase()
    {
        frmTerminal *t = StartProgram<frmXJSplash>();
        QVERIFY(t);
        ClearDatabase();
        QVERIFY(Run.sDBFilePath.isEmpty());

        Listing e{u"Solvendra"_s, {}, {}, {}, {}, {}, {}};
        for (int n = 1; n <= 50; ++n)
            e.families << QString::number(n).rightJustified(4) + u"    OFF"_s;
        e.groupRows = QStringList{{}, cells({}, u"  OFF"_s), cells({}, u" 0000"_s)};
        for (int n = 1; n <= 20; ++n)
            e.groupRows << QString();
        e.groupRows << cells({}, u"  OFF"_s) << cells({}, u" None"_s);
        e.settings = QStringList{u"66"_s, u"10"_s, u"Enabled"_s, u"0V"_s, u"Normal"_s, u"Disabled"_s,
                                 u"TAP Non-Verbose"_s, u"TAP Non-Verbose"_s, u"9600 N81"_s, u"9600 N81"_s,
                                 u"HW"_s, u"HW"_s, u"Enabled"_s, u"Enabled"_s, u"Disabled"_s, u"Disabled"_s};

        const QString pdf = out.filePath(u"solvendra.pdf"_s);
        printToPdf(t, pdf, 1);
        checkListing(pdf, e, 1);
    }

    // A cancelled dialog prints nothing and says nothing; a file that cannot be written says
    // why, with the system's reason, and leaves no file.
    void cancelledOrUnwritable()
    {
        frmTerminal *t = StartProgram<frmSplash>();
        QVERIFY(t);
        bool asked = false;
        SetPrinterDialogHook([&asked](QPrinter &) { asked = true; return false; });
        t->mnuPrintDB->trigger();
        QVERIFY(asked);

        const QString missing = out.filePath(u"no-such-folder/listing.pdf"_s);
        ScriptedBoxes boxes;
        boxes.expect(u"The listing could not be written to "_s + missing + u":\rNo such file or directory"_s)
            .icon(MsgIcon::Exclamation)
            .buttons(MsgButtons::OK);
        printToPdf(t, missing, 1);
        QVERIFY(boxes.verifyAllShown());
        QVERIFY(!QFile::exists(missing));
        QVERIFY(!HourglassShown());
    }
};

QTEST_MAIN(TestPrintout)
#include "tst_printout.moc"
