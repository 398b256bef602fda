// Reading the encoder arrives with the database reader; until then the command says so.

#include "encoder/read/reader.h"

#include "platform/msgbox.h"

namespace {
void notYet()
{
    MsgBox(QStringLiteral("Reading the encoder database is not available in this version."),
           MsgButtons::OK, MsgIcon::Information, QStringLiteral("Read Encoder"));
}
} // namespace

void ReadEncoderDB()
{
    notYet();
}

void ReadEncoderDBV7()
{
    notYet();
}
