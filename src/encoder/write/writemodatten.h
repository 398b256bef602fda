#pragma once
// The modulation attenuation step of a two-port write (only while transmitter tuning is
// enabled): the tuning slider's value becomes the coarse step and the fine value, stored in
// sAttenDB, sModAttenC and sModAttenF and sent as "CONFIG MODATTENC " and "CONFIG MODATTENF ".

class EncoderLink;

enum class ModAttenOutcome {
    GoOn,    // both values accepted, or the port was found closed (said in a box): the write goes on
    Failed,  // "No Response" or "Improper Response" has been shown: the write ends
    Closing, // the program is closing: the write ends without a word
};

ModAttenOutcome WriteModAtten(EncoderLink &link);
