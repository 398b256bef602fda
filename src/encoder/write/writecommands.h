#pragma once
// The commands of a database write, in the order they go out, each with the bytes that end it
// and what ends and judges its reply. The write loop walks these lists; building them sends
// nothing. Every list is built from the settings as they stand at the call.

#include "model/attenmath.h"

#include <QByteArray>
#include <QList>
#include <chrono>
#include <functional>

inline constexpr char EndingCR[] = "\r";
inline constexpr char EndingCRLF[] = "\r\n";
inline constexpr char EndingLF[] = "\n";
// RS CR: the encoder's acknowledgement of a record.
inline constexpr char RecordAck[] = "\x1e\r";
// What every progress text of a write begins with.
inline constexpr char WritingProgress[] = "Writing Pager Database - ";
// The status of a write that went through but for settings the encoder refused.
inline constexpr char WriteRefusedStatus[] = "Programming Ended - The Encoder Refused Some Settings";

struct WriteCommand {
    QByteArray status;        // first status-bar panel, shown before sending; empty: left as is
    QByteArray label;         // ID-as-capcode label, set before sending; empty: left as is
    QByteArray command;       // command text or record block, without its ending
    QByteArray ending;        // written right after the command
    QByteArray replyEnd;      // the wait for the reply ends once the reply holds this
    QByteArray mustContain;   // when set, a reply without this text is improper
    QByteArray mustStartWith; // when set, a reply not beginning with this text is improper
    std::chrono::milliseconds replyTimeout{0}; // the reply timer set to it first; 0: the one in place
    std::function<void()> onSend; // when set, runs just before the command goes out
    // A setting ("config ..."): the encoder may refuse its value (SettingRefused) and the write
    // goes on.
    bool setting = false;
    // A canned message record: the encoder's reply may quote the message, whose text may
    // hold "ID=" without it being the logon prompt.
    bool messageRecord = false;
    // After the records: the port (1 or 2; a V7's one port is 1) whose ID-as-capcode this sets
    // as the database says; 0 for every other command.
    int idAsCapPort = 0;

    QByteArray bytes() const { return command + ending; }
};

// The ID-as-capcode guard at the start of a write: the query of the attached port's mode, the
// command that switches it off for the transfer when the query's answer is "1"
// (JudgeIDAsCapAnswer), and the one that switches it back on when the write ends before the
// port's own setting has gone out. Each ends with CR; each reply ends at LF.
struct IDAsCapGuard {
    WriteCommand query;
    WriteCommand switchOff; // mustContain: the encoder's confirmation
    WriteCommand switchOn;  // mustContain: the encoder's confirmation
    QByteArray labelOn;
    QByteArray labelOff;
    int port = 1;           // the attached port, as WriteCommand::idAsCapPort counts it
};

// Two-port (V8/V9) encoder, port by sTestPort.
IDAsCapGuard TwoPortIDAsCapGuard(const QByteArray &testPort);
// Single-port (V7) encoder.
IDAsCapGuard V7IDAsCapGuard();

// The coarse then the fine modulation attenuation. Each ends with CR; its reply ends at a CR
// that follows at least one other character and must begin with the command's key word.
// The status text goes with the first.
QList<WriteCommand> ModAttenCommands(const ModAtten &atten);

// The settings of a two-port encoder (ending CR, reply ending CR LF), from the current settings,
// sTestPort and sFirmwareVer: 21 commands, 19 without the station ID pair on "9.01" firmware,
// and one fewer for each port whose baud is stored as the encoder's refusal ("Invalid"). The
// duty cycle and the batch size go out as a read gives them back ("+10" as "10").
// On firmware whose version holds a capital "S" port 2's timed-paging reset goes out off, and the
// command's onSend stores that in bPort2PPHReset. While the guard has switched port 2's
// ID-as-capcode off (the PC on port 2), port 2's ID-as-capcode goes out off here too, so that
// the records reach the attached port with the mode off; the operator's setting follows the
// records (TwoPortIDAsCapCommands).
QList<WriteCommand> TwoPortSettingsCommands();

// After the records: port 1's then port 2's ID-as-capcode as the database says, each setting
// the ID-as-capcode label first (ending CR, reply ending CR LF).
QList<WriteCommand> TwoPortIDAsCapCommands();

// The nine settings of a V7 encoder (ending CR LF; reply ending CR LF, CR for the PET command);
// the duty cycle and the batch size as a read gives them back.
QList<WriteCommand> V7SettingsCommands();

// After the records: the V7 port's ID-as-capcode as the database says (ending CR LF, reply
// ending CR LF). The label is left as the guard set it.
WriteCommand V7IDAsCapCommand();
