#pragma once
// Programming the encoder with the displayed database.

// Two-port (V8, V9) encoders.
void WriteEncoderDB();
// Single-port (V7) encoders.
void WriteEncoderDBV7();
