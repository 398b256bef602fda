#pragma once
// The six paging senders. Each delivers one test page to the encoder port the PC is attached
// to, in that port's protocol, through the encoder link: it frames the page, writes it, waits
// for the encoder's answer, sends again or gives up by the protocol's rules, and adds every
// step to the communications log. They run only while the test console is open (its log list
// and its one-second timer are theirs to use), and stop at once, logging nothing more, when the
// console or the program closes. Their results tell the caller little; no caller acts on them.

#include <QByteArray>
#include <cstdint>

// Port protocols "TAP" and "PET". The pager ID and the message go into the block unchanged;
// messageToLog is what the log lines show. Returns 0 when the page was given up because the
// encoder stayed busy, the log-on failed for good, the main window's timer was stopped from
// outside during a wake-up, or the console or the program closed; 1 otherwise.
int16_t OutTAP(QByteArray pagerID, const QByteArray &message, QByteArray messageToLog);

// Port protocol "COMP1": the message as one line, no answer. The log line shows the console's
// pager field. 1 when the line was written, 0 when it was not.
int16_t OutCOMP1(QByteArray message);

// Port protocol "COMP2". functionCode is "A" to "D", or empty (then none is sent). 0 when the
// console or the program closed or after three resends, 1 otherwise.
int16_t OutCOMP2(QByteArray pagerID, const QByteArray &message, QByteArray functionCode);

// Port protocol "SNPP": "PAGE", "MESS", "SEND". 0 when the console or the program closed or
// after three resends, 1 otherwise.
int16_t OutSNPP(QByteArray pagerID, const QByteArray &message, QByteArray functionCode);

// Port protocol "ZQ", the maker's own protocol, and port protocol "SCOPE". The capcode as the
// console gives it (7 digits), the function code letter "A" to "D", the rate "512", "1200" or
// "2400". 0 when the console or the program closed or after three resends, 1 otherwise.
int16_t OutKestrane(QByteArray capcode, const QByteArray &message, QByteArray functionCode,
                    const QByteArray &rate);
int16_t OutScope(QByteArray capcode, const QByteArray &message, QByteArray functionCode,
                 const QByteArray &rate);
