// File > Print Database Configuration through the real program, printed to a PDF file and read
// back with poppler's tools: every text on its page and at its place, the logo, the copies,
// and what happens when the dialog is cancelled or the file cannot be written.

#include "app/apptest.h"
#include "model/database.h"
#include "support/scriptedboxes.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

namespace {

struct Word {
    QString text;
    double xMin = 0, yMin = 0, xMax = 0;
};

struct PdfPage {
    double width = 0, height = 0; // points
    QList<Word> words;
};

QString tool(const char *name)
{
    return QStandardPaths::findExecutable(QString::fromLatin1(name));
}

QByteArray run(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(20000) || p.exitCode() != 0)
        return QByteArray();
    return p.readAllStandardOutput();
}

QString unescaped(QString s)
{
    s.replace(QLatin1String("&lt;"), QLatin1String("<"));
    s.replace(QLatin1String("&gt;"), QLatin1String(">"));
    s.replace(QLatin1String("&quot;"), QLatin1String("\""));
    s.replace(QLatin1String("&apos;"), QLatin1String("'"));
    s.replace(QLatin1String("&amp;"), QLatin1String("&"));
    // Ligatures ("fi" in "Configuration") come back as their letters.
    return s.normalized(QString::NormalizationForm_KC);
}

// The words of every page with their boxes (pdftotext -bbox).
QList<PdfPage> pdfWords(const QString &pdf)
{
    const QString xhtml =
        QString::fromUtf8(run(tool("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")}));
    static const QRegularExpression pageRe(
        QStringLiteral(R"re(<page width="([\d.]+)" height="([\d.]+)">)re"));
    static const QRegularExpression wordRe(QStringLiteral(
        R"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="[\d.]+">(.*)</word>)re"));
    QList<PdfPage> pages;
    for (const QString &line : xhtml.split(QLatin1Char('\n'))) {
        if (const auto m = pageRe.match(line); m.hasMatch())
            pages.append({m.captured(1).toDouble(), m.captured(2).toDouble(), {}});
        else if (const auto w = wordRe.match(line); w.hasMatch() && !pages.isEmpty())
            pages.last().words.append({unescaped(w.captured(4)), w.captured(1).toDouble(),
                                       w.captured(2).toDouble(), w.captured(3).toDouble()});
    }
    return pages;
}

// The number of pictures on each page (pdfimages -list; soft masks not counted).
QMap<int, int> pdfImages(const QString &pdf)
{
    QMap<int, int> perPage;
    const QList<QByteArray> lines = run(tool("pdfimages"), {QStringLiteral("-list"), pdf}).split('\n');
    for (const QByteArray &line : lines.mid(2)) {
        const QList<QByteArray> cols = line.simplified().split(' ');
        if (cols.size() > 2 && cols[2] == "image")
            ++perPage[cols[0].toInt()];
    }
    return perPage;
}

// What a page should hold: texts at places in twips, as the listing's layout gives them.
enum class Kind { Mono, Left, RightOfCentre, Centre };
struct Expected {
    Kind kind;
    int x;
    int y; // top; for Centre counted up from the bottom edge
    QString text;
};

// Finds every expected text on the page within 2 points of its place, after one offset for the
// page (taken from the notes label), and no text that is not expected.
void checkPage(const PdfPage &page, const QList<Expected> &expected, double advance,
               const QString &what)
{
    QList<Word> words = page.words;
    double offX = 0, offY = 0;
    bool anchored = false;
    for (int i = 0; i + 1 < words.size(); ++i) {
        if (words[i].text == QLatin1String("Configuration") && words[i + 1].text == QLatin1String("Notes:")) {
            offX = words[i].xMin - 500 / 20.0;
            offY = words[i].yMin - 2500 / 20.0;
            anchored = true;
        }
    }
    QVERIFY2(anchored, qPrintable(what + QStringLiteral(": no notes label")));
    QVERIFY2(std::abs(offX) < 30 && std::abs(offY) < 30, qPrintable(what));

    const auto take = [&](const QString &text, double x, double top, bool exactX) -> const Word * {
        for (int i = 0; i < words.size(); ++i) {
            const Word &w = words[i];
            if (w.text == text && std::abs(w.yMin - top) <= 2 &&
                (!exactX || std::abs(w.xMin - x) <= 2) && (exactX || w.xMin >= x - 2)) {
                static Word found;
                found = w;
                words.removeAt(i);
                return &found;
            }
        }
        return nullptr;
    };

    // A text that would run into the one before it on its line (a font wider than Arial)
    // starts a blank after it instead.
    double lineTop = -1, lineEnd = 0;
    for (const Expected &e : expected) {
        const double top = (e.kind == Kind::Centre ? page.height - e.y / 20.0 : e.y / 20.0) + offY;
        double start = e.x / 20.0 + offX;
        if (top == lineTop)
            start = std::max(start, lineEnd + 3);
        const QString where = QStringLiteral("%1: \"%2\" at (%3, %4)").arg(what, e.text).arg(e.x).arg(e.y);
        // The words and the columns they start in.
        QList<std::pair<QString, int>> parts;
        static const QRegularExpression wordRe(QStringLiteral("\\S+"));
        for (auto it = wordRe.globalMatch(e.text); it.hasNext();) {
            const auto m = it.next();
            parts.append({m.captured(), int(m.capturedStart())});
        }
        if (parts.isEmpty())
            continue;
        double first = 0, last = 0, next = start;
        for (int i = 0; i < parts.size(); ++i) {
            const bool mono = e.kind == Kind::Mono;
            const bool exact = mono || (e.kind == Kind::Left && i == 0);
            const double x = mono ? start + parts[i].second * advance
                                  : (e.kind == Kind::Left ? next : 0);
            const Word *w = take(parts[i].first, x, top, exact);
            QVERIFY2(w, qPrintable(where + QStringLiteral(", word \"") + parts[i].first +
                                   QStringLiteral("\" not found")));
            if (i == 0)
                first = w->xMin;
            last = w->xMax;
            next = w->xMax;
        }
        lineTop = top;
        lineEnd = last;
        if (e.kind == Kind::RightOfCentre || e.kind == Kind::Centre) {
            const double centre = (e.kind == Kind::RightOfCentre ? 1000 / 20.0 : 0) + page.width / 2 + offX;
            QVERIFY2(std::abs((first + last) / 2 - centre) <= 2,
                     qPrintable(where + QStringLiteral(", centred at %1, not %2").arg((first + last) / 2).arg(centre)));
        }
    }
    QStringList left;
    for (const Word &w : words)
        left << QStringLiteral("%1 (%2, %3)").arg(w.text).arg(w.xMin).arg(w.yMin);
    QVERIFY2(left.isEmpty(), qPrintable(what + QStringLiteral(": unexpected ") + left.join(QStringLiteral(", "))));
}

// The header block; the footer; both as the layout places them.
QList<Expected> header(const QString &brand, const QString &notes)
{
    const QDate today = QDate::currentDate();
    const QString date = QLocale(QLocale::English).toString(today, QStringLiteral("MMM")) +
                         QStringLiteral(". %1, %2").arg(today.day()).arg(today.year());
    return {{Kind::RightOfCentre, 0, 1200, brand + QStringLiteral(" Paging Encoder Configuration")},
            {Kind::RightOfCentre, 0, 1900, date},
            {Kind::Left, 500, 2500, QStringLiteral("Configuration Notes:")},
            {Kind::Left, 2600, 2500, notes}};
}

Expected footer(const QString &file, int page)
{
    const QString number = QStringLiteral("p. %1 of 2").arg(page);
    return {Kind::Centre, 0, 750,
            file.isEmpty() ? number : QStringLiteral("Filename: ") + file + QStringLiteral("    ") + number};
}

QList<Expected> pageOne(const QString &brand, const QString &notes, const QString &file,
                        const QStringList &familyLines)
{
    QList<Expected> e = header(brand, notes);
    e.append({Kind::Mono, 500, 2800,
              QStringLiteral("Family Active PagerQty StartID EndID StartCap  EndCap   PgrType Func Rate Prefix Suffix")});
    for (int r = 0; r < familyLines.size(); ++r)
        e.append({Kind::Mono, 500, 3050 + 230 * r, familyLines[r]});
    e.append(footer(file, 1));
    return e;
}

// Rows of the groups grid: label, then the cells of the ten groups.
QList<Expected> pageTwo(const QString &brand, const QString &notes, const QString &file,
                        const QList<std::pair<QString, QString>> &groupRows,
                        const QStringList &messages, const QStringList &settings)
{
    QList<Expected> e = header(brand, notes);
    e.append({Kind::Mono, 500, 2800, QStringLiteral("Pager Group:")});
    e.append({Kind::Mono, 2500, 2800,
              QStringLiteral("   1      2      3      4      5      6      7      8      9     10")});
    int y = 3000;
    for (const auto &[label, cells] : groupRows) {
        e.append({Kind::Mono, 500, y, label});
        e.append({Kind::Mono, 2500, y, cells});
        y += 200;
    }
    for (int m = 1; m <= 15; ++m) {
        e.append({Kind::Mono, 500, 8200 + 200 * (m - 1), QStringLiteral("Canned Msg #%1:").arg(m)});
        e.append({Kind::Mono, 2500, 8200 + 200 * (m - 1), messages.value(m - 1)});
    }
    static const QStringList labels = {
        QStringLiteral("Duty Cycle %:"), QStringLiteral("Max Msg/Batch:"),
        QStringLiteral("Carrier Detect:"), QStringLiteral("CD Polarity:"),
        QStringLiteral("Data Polarity:"), QStringLiteral("Incr Caps by 8:"),
        QStringLiteral("Port 1 Protocol:"), QStringLiteral("Port 2 Protocol:"),
        QStringLiteral("Port 1 Settings:"), QStringLiteral("Port 2 Settings:"),
        QStringLiteral("Port 1 Flow Control:"), QStringLiteral("Port 2 Flow Control:"),
        QStringLiteral("Port 1 Timer Reset:"), QStringLiteral("Port 2 Timer Reset:"),
        QStringLiteral("Port 1 ID = Cap:"), QStringLiteral("Port 2 ID = Cap:")};
    for (int i = 0; i < labels.size(); ++i) {
        const int row = 11400 + 200 * (i / 2);
        const bool right = i % 2;
        e.append({Kind::Mono, right ? 5500 : 500, row, labels[i]});
        e.append({Kind::Mono, right ? 8000 : 3000, row, settings[i]});
    }
    e.append(footer(file, 2));
    return e;
}

QString cells(const QStringList &c)
{
    QString s;
    for (const QString &cell : c)
        s += cell.leftJustified(7);
    return s;
}

// The ten cells: the first ones given, the rest all the same.
QString repeated(const QString &cell, const QStringList &first = {})
{
    QStringList c = first;
    while (c.size() < 10)
        c << cell;
    return cells(c);
}

// A family as New leaves it, numbered n (the example row of the layout).
QString newFamilyLine(int n)
{
    QString line = QStringLiteral("  50    OFF                                                       4   512  None   None ");
    line.replace(0, 4, QString::number(n).rightJustified(4));
    return line;
}

} // namespace

class TestPrintout : public QObject {
    Q_OBJECT

    std::unique_ptr<AppTestEnv> env;
    std::unique_ptr<ScriptedBoxes> noBoxes; // any box a test does not script fails it
    QTemporaryDir tmp;
    // Where the listings go: PRINTOUT_PDF_DIR keeps them for a look.
    QDir out{qEnvironmentVariableIsSet("PRINTOUT_PDF_DIR") ? qEnvironmentVariable("PRINTOUT_PDF_DIR")
                                                            : tmp.path()};

    // Prints through the menu item to a PDF file, with copies chosen in the dialog.
    void printToPdf(frmTerminal *t, const QString &pdf, int copies)
    {
        SetPrinterDialogHook([pdf, copies](QPrinter &printer) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(pdf);
            printer.setCopyCount(copies);
            printer.setFromTo(2, 2); // a page range has no effect
            return true;
        });
        t->mnuPrintDB->trigger();
    }

private slots:
    void initTestCase()
    {
        if (tool("pdftotext").isEmpty() || tool("pdfimages").isEmpty())
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

    // Kestrane, a known database with a file name, two copies: pages 1, 2, 1, 2 in one document,
    // whatever page range the dialog held.
    void kestraneListing()
    {
        frmTerminal *t = StartProgram<frmSplash>();
        QVERIFY(t);
        ResetDatabase();
        DB.Families[0] = {"1", "0000100", "1", "A", "0", "010", "0001", "00", "03", "YES"};
        DB.Families[1] = {"1", "1234567", "2", "N", "2", "100", "2000", "12", "07", "YES"};
        DB.Families[2] = {"0", "0000200", "5", "A", "1", "005", "0050", "00", "00", ""};
        PagerGroupRec &g1 = DB.PagerGroups[0];
        g1[GrpID] = "1000"; g1[GrpActive] = "1"; g1[GrpTimerActive] = "1"; g1[GrpTimerMsg] = "00";
        g1[GrpPagerID1] = "0001"; g1[GrpPagerID1 + 1] = "0002"; g1[GrpPagerID1 + 2] = "0012";
        g1[GrpReference] = "SITE";
        DB.PagerGroups[1][GrpID] = "0";
        PagerGroupRec &g3 = DB.PagerGroups[2];
        g3[GrpID] = "2000"; g3[GrpActive] = "1"; g3[GrpTimerActive] = "1"; g3[GrpTimerMsg] = "5";
        g3[GrpPagerID1] = "0100"; g3[GrpPagerID20] = "8999"; g3[GrpReference] = "B";
        DB.CannedMsgs[0] = "Test message one";
        DB.CannedMsgs[2] = "Fire alarm - building 2";
        DB.CannedMsgs[14] = "Last message";
        EncoderSettings.bIncCapBy8 = true;
        EncoderSettings.sPort2Protocol = "COMP2";
        EncoderSettings.bPort2Verbose = true;
        EncoderSettings.sPort2Baud = "1200";
        EncoderSettings.sPort2DataBits = "E71";
        EncoderSettings.sPort2Flow = "NONE";
        const QString file = QStringLiteral("/home/tech/hilltop.pg9");
        Run.sDBFilePath = file;
        Run.sDBFileName = "hilltop.pg9";
        const QString notes = QStringLiteral("Hilltop site, rack 2 & spare");
        t->txtConfigNotes->setNotes(notes.toLatin1());

        const QString pdf = out.filePath(QStringLiteral("kestrane.pdf"));
        printToPdf(t, pdf, 2);
        QVERIFY(!HourglassShown());
        const QList<PdfPage> pages = pdfWords(pdf);
        QCOMPARE(pages.size(), 4);

        QStringList families = {
            QStringLiteral("   1     ON      10         1     10  0000100  0000109   Alpha    1  1200  None     3  "),
            QStringLiteral("   2     ON     100      2000   2099  1234567  1234666  Numeric   3  2400   12      7  "),
            QStringLiteral("   3    OFF       5        50     54  0000200  0000204            2   512  None   None "),
        };
        for (int n = 4; n <= 50; ++n)
            families << newFamilyLine(n);
        const QString off = QStringLiteral("  OFF  "), on = QStringLiteral("  ON   ");
        QList<std::pair<QString, QString>> groups = {
            {QStringLiteral("Reference:"), cells({QStringLiteral("  SITE"), QString(), QStringLiteral("     B")})},
            {QStringLiteral("Active:"), repeated(off, {on, off, on})},
            {QStringLiteral("Group ID:"), repeated(QStringLiteral(" 0000"),
                                                  {QStringLiteral(" 1000"), QStringLiteral(" 0000"), QStringLiteral(" 2000")})},
            {QStringLiteral("Pager ID 1:"), cells({QStringLiteral(" 0001"), QString(), QStringLiteral(" 0100")})},
            {QStringLiteral("Pager ID 2:"), cells({QStringLiteral(" 0002")})},
            {QStringLiteral("Pager ID 3:"), cells({QStringLiteral(" 0012")})},
        };
        for (int n = 4; n <= 19; ++n)
            groups.append({QStringLiteral("Pager ID %1:").arg(n), QString()});
        groups.append({QStringLiteral("Pager ID 20:"), cells({QString(), QString(), QStringLiteral(" 8999")})});
        groups.append({QStringLiteral("Timer Active:"), repeated(off, {on, off, on})});
        groups.append({QStringLiteral("Timer Msg #:"), repeated(QStringLiteral(" None"),
                                                              {QStringLiteral("  00"), QStringLiteral(" None"), QStringLiteral("   5")})});
        const QStringList messages = {QStringLiteral("Test message one"), QString(),
                                      QStringLiteral("Fire alarm - building 2"),
                                      QString(), QString(), QString(), QString(), QString(),
                                      QString(), QString(), QString(), QString(), QString(),
                                      QString(), QStringLiteral("Last message")};
        const QStringList settings = {
            QStringLiteral("66"), QStringLiteral("10"), QStringLiteral("Enabled"), QStringLiteral("0V"),
            QStringLiteral("Normal"), QStringLiteral("Enabled"),
            QStringLiteral("TAP Non-Verbose"), QStringLiteral("COMP2 Verbose"),
            QStringLiteral("9600 N81"), QStringLiteral("1200 E71"), QStringLiteral("HW"), QStringLiteral("NONE"),
            QStringLiteral("Enabled"), QStringLiteral("Enabled"), QStringLiteral("Disabled"), QStringLiteral("Disabled")};

        const double advance = monoAdvance(pages[0]);
        QVERIFY2(advance > 0, "the table is not in a 10-point fixed-pitch font");
        const QString brand = QStringLiteral("Kestrane");
        for (int copy = 0; copy < 2; ++copy) {
            checkPage(pages[2 * copy], pageOne(brand, notes, file, families), advance,
                      QStringLiteral("page %1").arg(2 * copy + 1));
            checkPage(pages[2 * copy + 1], pageTwo(brand, notes, file, groups, messages, settings),
                      advance, QStringLiteral("page %1").arg(2 * copy + 2));
        }
        const QMap<int, int> images = pdfImages(pdf);
        QCOMPARE(images.value(1), 1); // the logo, on every page of the header block
        QCOMPARE(images.value(2), 1);
    }

    // Solvendra, right after a start with no file (every field empty): the listing still
    // completes, without a logo, and the footers name only the page.
    void solvendraListingOfAnEmptyDatabase()
    {
        frmTerminal *t = StartProgram<frmXJSplash>();
        QVERIFY(t);
        ClearDatabase();
        QVERIFY(Run.sDBFilePath.isEmpty());
        const QString pdf = out.filePath(QStringLiteral("solvendra.pdf"));
        printToPdf(t, pdf, 1);
        const QList<PdfPage> pages = pdfWords(pdf);
        QCOMPARE(pages.size(), 2);

        QStringList families;
        for (int n = 1; n <= 50; ++n)
            families << QString::number(n).rightJustified(4) + QStringLiteral("    OFF");
        QList<std::pair<QString, QString>> groups = {
            {QStringLiteral("Reference:"), QString()},
            {QStringLiteral("Active:"), repeated(QStringLiteral("  OFF"))},
            {QStringLiteral("Group ID:"), repeated(QStringLiteral(" 0000"))},
        };
        for (int n = 1; n <= 20; ++n)
            groups.append({QStringLiteral("Pager ID %1:").arg(n), QString()});
        groups.append({QStringLiteral("Timer Active:"), repeated(QStringLiteral("  OFF"))});
        groups.append({QStringLiteral("Timer Msg #:"), repeated(QStringLiteral(" None"))});
        const QStringList settings = {
            QStringLiteral("66"), QStringLiteral("10"), QStringLiteral("Enabled"), QStringLiteral("0V"),
            QStringLiteral("Normal"), QStringLiteral("Disabled"),
            QStringLiteral("TAP Non-Verbose"), QStringLiteral("TAP Non-Verbose"),
            QStringLiteral("9600 N81"), QStringLiteral("9600 N81"), QStringLiteral("HW"), QStringLiteral("HW"),
            QStringLiteral("Enabled"), QStringLiteral("Enabled"), QStringLiteral("Disabled"), QStringLiteral("Disabled")};

        const double advance = monoAdvance(pages[0]);
        QVERIFY2(advance > 0, "the table is not in a 10-point fixed-pitch font");
        const QString brand = QStringLiteral("Solvendra");
        checkPage(pages[0], pageOne(brand, QString(), QString(), families), advance, QStringLiteral("page 1"));
        checkPage(pages[1], pageTwo(brand, QString(), QString(), groups, {}, settings), advance,
                  QStringLiteral("page 2"));
        QVERIFY(pdfImages(pdf).isEmpty());
    }

    // A cancelled dialog prints nothing and says nothing; a file that cannot be written says why,
    // with the system's reason, and leaves no file.
    void cancelledOrUnwritable()
    {
        frmTerminal *t = StartProgram<frmSplash>();
        QVERIFY(t);
        ResetDatabase();
        bool asked = false;
        SetPrinterDialogHook([&asked](QPrinter &) { asked = true; return false; });
        t->mnuPrintDB->trigger();
        QVERIFY(asked);
        QVERIFY(!HourglassShown());

        const QString missing = out.filePath(QStringLiteral("no-such-folder/listing.pdf"));
        ScriptedBoxes boxes;
        boxes.expect(missing).icon(MsgIcon::Exclamation).buttons(MsgButtons::OK);
        printToPdf(t, missing, 1);
        QVERIFY(boxes.verifyAllShown());
        QVERIFY(boxes.shown().value(0).text.contains(QStringLiteral("No such file or directory")));
        QVERIFY(!QFile::exists(missing));
        QVERIFY(!HourglassShown());
    }

private:
    // The table font's advance per character, from the families' column header ("Family" in
    // column 0, "Suffix" in column 81); -1 unless it is a 10-point fixed pitch.
    double monoAdvance(const PdfPage &page)
    {
        double family = -1, suffix = -1;
        for (const Word &w : page.words) {
            if (w.text == QLatin1String("Family"))
                family = w.xMin;
            else if (w.text == QLatin1String("Suffix"))
                suffix = w.xMin;
        }
        const double advance = (suffix - family) / 81;
        return family >= 0 && suffix >= 0 && std::abs(advance - 6.0) < 0.05 ? advance : -1;
    }
};

QTEST_MAIN(TestPrintout)
#include "tst_printout.moc"
