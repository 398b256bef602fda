#include "print/listing.h"

#include <QLocale>

namespace {

constexpr qint64 Max16 = 32767;
constexpr qint64 Max32 = 2147483647;

QByteArray blanks(int n)
{
    return QByteArray(n, ' ');
}

QByteArray padLeft(const QByteArray &text, int width, char fill)
{
    return text.size() >= width ? text : QByteArray(width - text.size(), fill) + text;
}

// A run of up to k leading zeros becomes as many blanks; the longest run wins, the length stays.
QByteArray zerosToBlanks(QByteArray text, int k)
{
    for (int run = k; run >= 1; --run) {
        if (text.startsWith(QByteArray(run, '0'))) {
            text.replace(0, run, blanks(run));
            break;
        }
    }
    return text;
}

QByteArray onOff(const QByteArray &flag)
{
    return flag == "1" ? QByteArrayLiteral("  ON   ") : QByteArrayLiteral("  OFF  ");
}

QByteArray enabled(bool on)
{
    return on ? QByteArrayLiteral("Enabled") : QByteArrayLiteral("Disabled");
}

QByteArray protocolText(const QByteArray &protocol, bool verbose)
{
    return protocol + (verbose ? QByteArrayLiteral(" Verbose") : QByteArrayLiteral(" Non-Verbose"));
}

ListingText text(ListingFont font, int x, int y, const QByteArray &bytes)
{
    return {font, ListingAnchor::Left, x, y, false, QString::fromLatin1(bytes)};
}

// The header block of both pages.
void addHeader(ListingPage &page, const ListingInput &in)
{
    page.logo = in.brand == BrandKestrane;
    page.texts << ListingText{ListingFont::Title, ListingAnchor::RightOfCentre, 0, 1200, false,
                              QString::fromLatin1(in.brand) +
                                  QStringLiteral(" Paging Encoder Configuration")};
    page.texts << ListingText{ListingFont::Bold, ListingAnchor::RightOfCentre, 0, 1900, false,
                              ListingDate(in.today)};
    page.texts << text(ListingFont::Bold, 500, 2500, "Configuration Notes: ");
    page.texts << text(ListingFont::Regular, 2600, 2500, in.notes);
}

void addFooter(ListingPage &page, const ListingInput &in, int number)
{
    page.texts << ListingText{ListingFont::Bold, ListingAnchor::Centre, 0, 750, true,
                              ListingFooter(in.fileName, number)};
}

} // namespace

qint64 ListingNumber(const QByteArray &text, qint64 max)
{
    if (text.isEmpty() || text.size() > 18)
        return 0;
    qint64 value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return 0;
        value = value * 10 + (c - '0');
    }
    return value > max ? 0 : value;
}

QByteArray FamilyHeader()
{
    return QByteArrayLiteral("Family Active PagerQty StartID EndID StartCap  EndCap   PgrType "
                             "Func Rate Prefix Suffix");
}

QByteArray FamilyLine(int familyNumber, const FamilyRec &fam)
{
    const QByteArray number = QByteArray::number(familyNumber);
    const bool active = fam[FamActive] == "1";
    const qint64 qty = ListingNumber(fam[FamPagerQty], Max16);
    const qint64 startID = ListingNumber(fam[FamStartID], Max16);
    const qint64 startCap = ListingNumber(fam[FamStartCap], Max32);

    QByteArray line;
    line += (familyNumber < 10 ? blanks(3) : blanks(2)) + number + blanks(3);
    line += active ? QByteArrayLiteral("  ON   ") : QByteArrayLiteral(" OFF   ");

    // Numbers that are zero, missing or not numbers print as their column's blanks.
    const QByteArray qtyCell = qty > 0 ? zerosToBlanks(fam[FamPagerQty], 2) : blanks(3);
    line += blanks(2) + qtyCell + blanks(4);
    const QByteArray idCell =
        startID > 0 ? zerosToBlanks(padLeft(fam[FamStartID], 4, '0'), 3) : blanks(4);
    line += blanks(2) + idCell + blanks(2);
    const QByteArray endIDCell =
        qty > 0 ? zerosToBlanks(padLeft(QByteArray::number(startID + qty - 1), 4, '0'), 3)
                : blanks(4);
    line += blanks(1) + endIDCell + blanks(2);
    line += (startCap > 0 ? padLeft(fam[FamStartCap], 7, '0') : blanks(7)) + blanks(2);
    // The last capcode counts one by one here, whatever Increment Capcodes by 8 says.
    line += (qty > 0 ? padLeft(QByteArray::number(startCap + qty - 1), 7, '0') : blanks(7)) +
            blanks(2);

    if (!active)
        line += blanks(8);
    else
        line += fam[FamPgrType] == "A" ? QByteArrayLiteral(" Alpha  ")
                                       : QByteArrayLiteral("Numeric ");

    const QByteArray &func = fam[FamFunc];
    QByteArray funcCell = func;
    if (func.isEmpty())
        funcCell = blanks(1);
    else if (func.size() == 1 && func[0] >= '0' && func[0] <= '3')
        funcCell = QByteArray(1, char(func[0] + 1));
    line += blanks(2) + funcCell + blanks(2);

    const QByteArray &rate = fam[FamRate];
    if (rate == "5")
        line += QByteArrayLiteral(" 512 ");
    else if (rate == "1")
        line += QByteArrayLiteral("1200 ");
    else if (rate == "2")
        line += QByteArrayLiteral("2400 ");
    else
        line += rate.leftJustified(5, ' ');

    const QByteArray &prefix = fam[FamPrefix];
    if (prefix == "00")
        line += QByteArrayLiteral(" None  ");
    else if (prefix.startsWith('0'))
        line += blanks(3) + prefix.right(1) + blanks(3);
    else if (prefix.isEmpty())
        line += blanks(7);
    else
        line += blanks(2) + prefix + blanks(3);

    const QByteArray &suffix = fam[FamSuffix];
    if (suffix == "00")
        line += QByteArrayLiteral(" None ");
    else if (suffix.startsWith('0'))
        line += blanks(3) + suffix.right(1) + blanks(2);
    else if (suffix.isEmpty())
        line += blanks(7);
    else
        line += blanks(2) + suffix + blanks(2);
    return line;
}

QByteArray GroupCell(GroupRow row, const PagerGroupRec &grp, int pagerID)
{
    switch (row) {
    case GroupRow::Reference:
        return padLeft(grp[GrpReference], 6, ' ') + blanks(1);
    case GroupRow::Active:
        return onOff(grp[GrpActive]);
    case GroupRow::GroupID:
        return blanks(1) + padLeft(grp[GrpID], 4, '0') + blanks(2);
    case GroupRow::PagerID: {
        const QByteArray &id = grp[GrpPagerID1 + pagerID - 1];
        return ListingNumber(id, Max16) > 0 ? blanks(1) + padLeft(id, 4, '0') + blanks(2)
                                            : blanks(7);
    }
    case GroupRow::TimerActive:
        return onOff(grp[GrpTimerActive]);
    case GroupRow::TimerMsg: {
        const QByteArray &msg = grp[GrpTimerMsg];
        // "None" is how the groups editor stores no message: it keeps the cell's width.
        if (grp[GrpTimerActive] != "1" || msg == "None")
            return QByteArrayLiteral(" None  ");
        return (msg.size() < 2 ? blanks(3) : blanks(2)) + msg + blanks(3);
    }
    }
    return blanks(7);
}

QByteArray GroupLine(GroupRow row, const std::array<PagerGroupRec, GroupCount> &groups,
                     int pagerID)
{
    QByteArray line;
    for (const PagerGroupRec &grp : groups)
        line += GroupCell(row, grp, pagerID);
    return line;
}

QString ListingDate(QDate date)
{
    QString month = QLocale().monthName(date.month(), QLocale::ShortFormat);
    if (month.endsWith(QLatin1Char('.')))
        month.chop(1);
    return QStringLiteral("%1. %2, %3").arg(month).arg(date.day()).arg(date.year());
}

QString ListingFooter(const QString &fileName, int page)
{
    const QString number = QStringLiteral("p. %1 of 2").arg(page);
    return fileName.isEmpty() ? number
                              : QStringLiteral("Filename: ") + fileName + QStringLiteral("    ") + number;
}

QList<ListingPage> ListingPages(const ListingInput &in)
{
    const PagerDatabase &db = *in.db;
    const EncoderConfig &s = *in.settings;

    ListingPage one;
    addHeader(one, in);
    one.texts << text(ListingFont::TableBold, 500, 2800, FamilyHeader());
    for (int r = 0; r < FamilyCount; ++r)
        one.texts << text(ListingFont::Table, 500, 3050 + 230 * r, FamilyLine(r + 1, db.Families[r]));
    addFooter(one, in, 1);

    ListingPage two;
    addHeader(two, in);
    const auto row = [&two](int y, const QByteArray &label, const QByteArray &values,
                            ListingFont valueFont = ListingFont::Table) {
        two.texts << text(ListingFont::TableBold, 500, y, label);
        two.texts << text(valueFont, 2500, y, values);
    };
    row(2800, "Pager Group:",
        "   1      2      3      4      5      6      7      8      9     10",
        ListingFont::TableBold);
    row(3000, "Reference:", GroupLine(GroupRow::Reference, db.PagerGroups));
    row(3200, "Active:", GroupLine(GroupRow::Active, db.PagerGroups));
    row(3400, "Group ID:", GroupLine(GroupRow::GroupID, db.PagerGroups));
    for (int n = 1; n <= GroupPagerIDs; ++n)
        row(3600 + 200 * (n - 1), "Pager ID " + QByteArray::number(n) + ":",
            GroupLine(GroupRow::PagerID, db.PagerGroups, n));
    row(7600, "Timer Active:", GroupLine(GroupRow::TimerActive, db.PagerGroups));
    row(7800, "Timer Msg #:", GroupLine(GroupRow::TimerMsg, db.PagerGroups));
    for (int m = 1; m <= MessageCount; ++m)
        row(8200 + 200 * (m - 1), "Canned Msg #" + QByteArray::number(m) + ":", db.CannedMsgs[m - 1]);

    const auto setting = [&two](int y, const QByteArray &leftLabel, const QByteArray &leftValue,
                                const QByteArray &rightLabel, const QByteArray &rightValue) {
        two.texts << text(ListingFont::TableBold, 500, y, leftLabel);
        two.texts << text(ListingFont::Table, 3000, y, leftValue);
        two.texts << text(ListingFont::TableBold, 5500, y, rightLabel);
        two.texts << text(ListingFont::Table, 8000, y, rightValue);
    };
    setting(11400, "Duty Cycle %:", s.sDutyCycle, "Max Msg/Batch:", s.sMaxBatch);
    // Polarity in the advanced settings' sense: 0V means carrier detected, the default.
    setting(11600, "Carrier Detect:", enabled(!s.bIgnoreRFCD), "CD Polarity:",
            s.bInvertRFCD ? "5V" : "0V");
    setting(11800, "Data Polarity:", s.bInvertData ? "Inverted" : "Normal", "Incr Caps by 8:",
            enabled(s.bIncCapBy8));
    setting(12000, "Port 1 Protocol:", protocolText(s.sPort1Protocol, s.bPort1Verbose),
            "Port 2 Protocol:", protocolText(s.sPort2Protocol, s.bPort2Verbose));
    setting(12200, "Port 1 Settings:", s.sPort1Baud + ' ' + s.sPort1DataBits, "Port 2 Settings:",
            s.sPort2Baud + ' ' + s.sPort2DataBits);
    setting(12400, "Port 1 Flow Control:", s.sPort1Flow, "Port 2 Flow Control:", s.sPort2Flow);
    setting(12600, "Port 1 Timer Reset:", enabled(s.bPort1PPHReset), "Port 2 Timer Reset:",
            enabled(s.bPort2PPHReset));
    setting(12800, "Port 1 ID = Cap:", enabled(s.bPort1IDAsCap), "Port 2 ID = Cap:",
            enabled(s.bPort2IDAsCap));
    addFooter(two, in, 2);

    return {one, two};
}
