// The COMP1 sender: the message as one line of plain text, no answer read.

#include "paging/commlog.h"
#include "paging/console.h"
#include "paging/frames.h"
#include "paging/sendercommon.h"
#include "paging/senders.h"

int16_t OutCOMP1(QByteArray message)
{
    if (paging::Stopped())
        return 0;
    EncoderLink &link = Link();
    link.discardInput();
    const CommError error = link.Write(COMP1Frame(message));
    if (error.code == CommError::PortNotOpen) {
        AddLogLine("ERROR - COM Port Not Open, Message Discarded for Serial Port Plain Text Output");
        return 0;
    }
    if (error) {
        AddLogLine("ERROR - " + error.text.toLatin1());
        return 0;
    }
    AddLogLine("COMP1 Output: PIN - '" + CurrentPagingConsole()->PagerIDText() + "', MSG - '" +
               message + "'");
    return 1;
}
