#pragma once
// File > Print Database Configuration: the two-page listing on the printer, or in a PDF file,
// that the printer dialog chose.

class QByteArray;
class QWidget;

// The printer dialog (owned by owner), then as many copies of the listing as it asks for, with
// the configuration notes, in one print job. A cancelled dialog prints nothing and says
// nothing. A printer or file that fails ends the job with nothing printed or written, and a
// box says why.
void mnuPrintDB_Click(QWidget *owner, const QByteArray &notes);
