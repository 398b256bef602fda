#pragma once
// What only a test may do to the encoder link: look at its timers and their flags, fire the reply
// timer at once, and count what waits unread in its port. The link befriends this one struct.

#include "encoder/link.h"
#include "platform/serialport.h"
#include "platform/timing.h"

struct LinkTestAccess {
    static WindowTimer &replyTimer(EncoderLink &link) { return *link.Timer2; }
    static WindowTimer &tapTimer(EncoderLink &link) { return *link.Timer1; }
    // bRespTimeout and bTimer1Expired as they stand.
    static bool replyTimedOut(const EncoderLink &link) { return link.bRespTimeout; }
    static bool timer1Expired(const EncoderLink &link) { return link.bTimer1Expired; }
    // The reply timer's event, now.
    static void fireReplyTimer(EncoderLink &link) { link.Timer2_Timer(); }
    // Bytes received and not yet read.
    static int unread(EncoderLink &link) { return link.MSComm1->InBufferCount(); }
};
