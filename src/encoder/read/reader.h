#pragma once
// Reading the encoder's whole configuration into the displayed database: the settings of the
// encoder and its serial ports, then every pager group, family and canned message record.
//
// Both readers ask before they overwrite unsaved edits, take the attached port out of
// ID-as-capcode mode for the transfer and put it back afterwards, show their progress in the
// main window's status bar and end every road the same way (cancel window closed, pointer
// back, Test menu enabled). A read that fails or is cancelled once it has changed the displayed
// database leaves it marked as not matching the encoder, and a read that switched
// ID-as-capcode off tries once to switch it back on, so a failed read leaves the encoder as it
// found it.
//
// Every settings query and record request throws away what is waiting before it goes out, and
// takes only the first line of its reply. A record request is answered only by its own record:
// anything else (a late answer to an earlier command, which would shift every later answer onto
// the wrong item, or the prompt of a port that has rebooted into paging mode) fails the read
// like a time-out.

// Two-port (V8, V9) encoders.
void ReadEncoderDB();
// Single-port (V7) encoders.
void ReadEncoderDBV7();
