#pragma once
// The printed listing of the pager database.

class QString;
class QWidget;

// File > Print Database Configuration: the printer dialog (owned by owner), then the listing
// with the configuration notes, as many copies as the dialog asks for. A cancelled dialog
// prints nothing.
void mnuPrintDB_Click(QWidget *owner, const QString &notes);
