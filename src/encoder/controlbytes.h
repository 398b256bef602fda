#pragma once
// Control bytes in the values that travel in commands and replies. On the line a control byte
// ends or frames something (CR and LF end a command and a reply, STX and ETX a record block, RS
// acknowledges a record), so a setting, a record field or a message that holds one would not
// arrive as it stands, and an answer whose value holds one is not a value the encoder stores.

#include <QByteArray>

// A byte below the blank, or DEL. (Latin-1 letters, 0xA0 and above, are text.)
inline bool IsControlByte(char c)
{
    const auto b = static_cast<unsigned char>(c);
    return b < 0x20 || b == 0x7F;
}

// Whether text holds a control byte other than those in allowed.
inline bool HoldsControlByte(const QByteArray &text, const QByteArray &allowed = QByteArray())
{
    for (const char c : text)
        if (IsControlByte(c) && !allowed.contains(c))
            return true;
    return false;
}
