#pragma once
// Lays the manual's text out on pages (see paginator.cpp for the rules).

class QTextDocument;

// How far a block may lie across a page's edge and still count as the page's own: far less
// than a line, far more than the layout's rounding.
constexpr double PageEdgeDots = 1.0;

// Lays doc out on pages of pageHeight (in the layout's coordinates) by the paginator's rules:
// splits paragraphs and tables and moves blocks to the next page, so that each block lies on
// one page.
void paginate(QTextDocument &doc, double pageHeight);
