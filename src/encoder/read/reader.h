#pragma once
// Reading the encoder's whole configuration into the displayed database.

// Two-port (V8, V9) encoders.
void ReadEncoderDB();
// Single-port (V7) encoders.
void ReadEncoderDBV7();
