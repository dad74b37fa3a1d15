// The text forms of the settings file's 32-bit values.
//
// Integers are written in decimal (a value with the top bit set as a
// negative number) and read in decimal, signed or unsigned, or in
// hexadecimal with a 0x prefix; a number that does not fit in 32 bits is
// not a value.
//
// A float is written as the shortest decimal text that reads back to the
// same bits ("270", "0.1", "-0", "1e+20"); a NaN or an infinity, which has no
// such text, as its bit pattern in hexadecimal. A float is read from decimal
// text (with or without fraction or exponent) that names a finite float, or
// from a hexadecimal bit pattern with a 0x prefix. Which form a value has is
// decided by who reads it: the reader asks for an integer or for a float.
#pragma once

#include <cstdint>

namespace platform::files {

// Longest text format_integer_text or format_float_text produce, with the zero.
inline constexpr uint32_t kValueTextSize = 32;

bool parse_integer_text(const char* text, uint32_t& value);
bool parse_float_text(const char* text, uint32_t& bits);

void format_integer_text(uint32_t value, char (&text)[kValueTextSize]);
void format_float_text(uint32_t bits, char (&text)[kValueTextSize]);

}  // namespace platform::files
