#pragma once
// The senders' dispatch: the sender of each row of the paging protocols' table
// (protocoltable.h) and the test page it takes. The test console builds a page by its port's
// row and hands it to the sender found here; a new protocol is a row of the table and an entry
// here.

#include "protocols/protocoltable.h"

#include <QByteArray>

#include <cstdint>
#include <span>

struct TestPage;

// Delivers one test page in a protocol (see senders.h); the result tells the caller little.
using PageSender = int16_t (*)(const TestPage &page);

// A test page as its protocol's sender takes it: the arguments the sender does not take are
// empty.
struct TestPage {
    PageSender sender = nullptr; // none: a protocol without a sender, nothing is sent or said
    QByteArray pagerID;          // as typed, or padded to 7 characters
    QByteArray message;
    QByteArray functionCode;     // "A" to "D"; empty where the sender is given an empty text
    QByteArray rate;             // "512", "1200" or "2400"
};

// One entry of the dispatch: the code of a row of the table and its sender.
struct ProtocolSender {
    const char *code;
    PageSender sender;
};

// The entries, one per row of the table.
std::span<const ProtocolSender> ProtocolSenders();

// The sender of a row, or nullptr for a row that has none.
PageSender SenderOf(const PagingProtocol &protocol);

// Puts other entries in place of the dispatch for the scope's life (tests, together with
// PagingProtocolsReplaced).
class ProtocolSendersReplaced {
public:
    explicit ProtocolSendersReplaced(std::span<const ProtocolSender> senders);
    ~ProtocolSendersReplaced();
    ProtocolSendersReplaced(const ProtocolSendersReplaced &) = delete;
    ProtocolSendersReplaced &operator=(const ProtocolSendersReplaced &) = delete;

private:
    std::span<const ProtocolSender> m_before;
};
