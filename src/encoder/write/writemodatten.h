#pragma once
// The modulation attenuation on the line: the coarse step with "CONFIG MODATTENC ", then the
// fine value with "CONFIG MODATTENF ", each answered by a line that begins with its key. A
// database write sends them from the tuning slider's stored value (two-port encoders, transmitter
// tuning enabled); transmitter tuning sends them when the slider is let go.

#include "encoder/link.h"

struct ModAtten;

enum class ModAttenOutcome {
    GoOn,    // both values accepted, or the port was found closed (said in a box): the write goes on
    Failed,  // "No Response" or "Improper Response" has been shown: the write ends
    Closing, // the program is closing, or the port's device has gone: the write ends without a word
};

// The two exchanges on an open port, waiting on the encoder reply timer at the interval it
// holds; complete says when an answer is whole. No answer to the coarse command shows "No
// Response from Encoder", an answer that does not begin with its key (for the fine command also
// none at all) "Improper Response from Encoder"; after a failure the fine command is not sent.
// Failed after such a box, Closing when the program closes meanwhile, GoOn otherwise.
ModAttenOutcome SendModAtten(EncoderLink &link, const ModAtten &atten, const ReplyTest &complete);

// The write's step: the tuning slider's value becomes the coarse step and the fine value,
// stored in sAttenDB, sModAttenC and sModAttenF and sent.
ModAttenOutcome WriteModAtten(EncoderLink &link);
