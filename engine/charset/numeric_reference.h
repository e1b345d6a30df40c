// ReadNumericReference: the one rule for the number of a numeric reference in text, shared by every stage
// that resolves references. A number is written in decimal digits only, or as "x" or "X" followed by
// hexadecimal digits only; anything else after the numeric character is no reference at all.
#ifndef RUNEFLOW_ENGINE_CHARSET_NUMERIC_REFERENCE_H
#define RUNEFLOW_ENGINE_CHARSET_NUMERIC_REFERENCE_H

#include <cstddef>

// Reads the length bytes at digits, the name of a reference after its numeric character (they need not
// be NUL-terminated). When they are one or more decimal digits, or "x"/"X" and one or more hexadecimal
// digits (either case), returns true with the number in *value, saturated at INT_MAX; leading zeros are
// allowed. Returns false, leaving *value alone, for anything else: no digits, a sign, blanks, or any other
// byte among the digits.
bool ReadNumericReference(const unsigned char *digits, size_t length, int *value);

#endif
