// The Scope sender (port protocol "SCOPE"): the Kestrane sender's exchange with the Scope
// protocol's frame.

#include "paging/frames.h"
#include "paging/sendercommon.h"
#include "paging/senders.h"

int16_t OutScope(QByteArray capcode, const QByteArray &message, QByteArray functionCode,
                 const QByteArray &rate)
{
    return paging::SendCapcodePage(ScopeFrame(capcode, message, functionCode, rate),
                                   "Scope Output, PIN - '" + capcode + "', FC - '" + functionCode +
                                       "', MSG - '" + message + "', DR - '" + rate + "'",
                                   capcode, message);
}
