#pragma once
// The two-page database listing as texts and places, without a printer: page 1 holds the
// 50 pager families as a fixed-pitch table, page 2 the pager groups, the canned messages and
// the encoder settings; both carry the header block and a footer. Places are in twips
// (1440 to the inch) from the sheet's top left corner; the printer turns them into its own
// units (printout.h).

#include "model/database.h"
#include "model/state.h"

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QRect>
#include <QString>

// The five fonts of the listing.
enum class ListingFont {
    Title,     // Arial 20 bold
    Bold,      // Arial 10 bold: the date, the notes label, the footer
    Regular,   // Arial 10: the notes
    TableBold, // Courier New 10 bold: table headers and labels
    Table,     // Courier New 10: table rows and values
};

// How a text is placed across the page.
enum class ListingAnchor {
    Left,          // its left edge at x
    RightOfCentre, // centred on a point 1000 twips right of the page's centre (title, date)
    Centre,        // centred on the page (footer)
};

struct ListingText {
    ListingFont font = ListingFont::Table;
    ListingAnchor anchor = ListingAnchor::Left;
    int x = 0;               // twips; used by Left only
    int y = 0;               // twips, top of the text line
    bool fromBottom = false; // y counts up from the sheet's bottom edge instead
    QString text;
};

struct ListingPage {
    bool logo = false;       // the brand logo, drawn first into ListingLogoBox
    QList<ListingText> texts;
};

// Where the logo goes (twips): the Kestrane brand only.
inline constexpr QRect ListingLogoBox{500, 500, 2035, 1735};

// A field the listing reads as a number: digits only, up to max. An empty text, anything
// else, or a value over max counts as 0.
qint64 ListingNumber(const QByteArray &text, qint64 max);

// One family's row of the table (87 characters for the values the database holds).
QByteArray FamilyLine(int familyNumber, const FamilyRec &fam);
// The table's column header.
QByteArray FamilyHeader();

// The rows of the groups grid, each the ten groups' cells of 7 characters in group order.
enum class GroupRow { Reference, Active, GroupID, PagerID, TimerActive, TimerMsg };
QByteArray GroupCell(GroupRow row, const PagerGroupRec &grp, int pagerID = 1);
QByteArray GroupLine(GroupRow row, const std::array<PagerGroupRec, GroupCount> &groups,
                     int pagerID = 1);

// The printed date, "mmm. d, yyyy" ("Dec. 6, 2025"), month names from the default locale.
QString ListingDate(QDate date);
// The footer of page 1 or 2: "Filename: ", the file's name (without its folder) and the page;
// fileName empty: the page alone.
QString ListingFooter(const QString &fileName, int page);

struct ListingInput {
    const PagerDatabase *db = &DB;
    const EncoderConfig *settings = &EncoderSettings;
    QByteArray brand;    // "Kestrane" or "Solvendra"
    QByteArray notes;    // the configuration notes
    QString fileName;    // the database file's name without its folder, empty when none
    QDate today;
};

// Both pages of one copy.
QList<ListingPage> ListingPages(const ListingInput &in);
