#pragma once
// The printed listing of the pager database.

// File > Print Database Configuration: the printer dialog, then the listing, as many copies
// as the dialog asks for. A cancelled dialog prints nothing.
void mnuPrintDB_Click();
