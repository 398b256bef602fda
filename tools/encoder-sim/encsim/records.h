// Record blocks (TAP framing with a three-character checksum) and the record lines
// the encoder sends and receives inside them.
#pragma once

#include "encsim/bytes.h"
#include "encsim/device.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace encsim {

inline constexpr std::string_view kReadConfigId = "061c74";
inline constexpr std::string_view kWriteConfigId = "0047d16";
inline constexpr std::string_view kWriteConfigIdV7 = "052e39";

// Low 12 bits of the byte sum, as three characters '0' + nibble, most significant first.
Bytes blockChecksum(std::string_view stxThroughEtx);
Bytes buildBlock(std::string_view pagerId, std::string_view message);

struct ParsedBlock {
    Bytes pagerId;
    Bytes message;
    Bytes checksum;         // as received
    Bytes expectedChecksum; // as computed
    bool checksumOk() const { return checksum == expectedChecksum; }
};
// Takes STX ... ETX ccc (without the final CR). nullopt when the frame has no CR after the pager ID.
std::optional<ParsedBlock> parseBlock(std::string_view frame);

enum class EmptyGroupStyle { Short, Full, AsWritten };

// Record reply lines, without the CR LF.
Bytes groupLine(int n, const Group &g, EmptyGroupStyle emptyStyle);
Bytes familyLine(int n, const Family &f);
Bytes messageLine(int n, const Bytes &text);

// A record request "L n", "G n", "M n".
struct RecordRequest {
    char letter = 0;
    int number = 0;
    bool leadingZeros = false;
};
std::optional<RecordRequest> parseRequest(std::string_view text);

// A written record, as the encoder stores it.
struct RecordWrite {
    char letter = 0;
    int number = 0;
    bool leadingZeros = false;
    Group group;
    Family family;
    Bytes message;
    bool malformed = false;           // wrong field count, missing quotes
    std::vector<std::string> issues;  // coercions, out-of-range values, malformations
};
// nullopt when the record names no letter or slot this encoder has.
std::optional<RecordWrite> parseWrite(std::string_view text);

} // namespace encsim
