// ReadNumericReference: the one rule for the number of a numeric reference in text, shared by every stage
// that resolves references. A number is written in decimal digits only, or as "x" or "X" followed by
// hexadecimal digits only; anything else after the numeric character is no reference at all. It is
// defined here, inline, because the conversion runs it for every numeric reference of a text.
#ifndef RUNEFLOW_ENGINE_CHARSET_NUMERIC_REFERENCE_H
#define RUNEFLOW_ENGINE_CHARSET_NUMERIC_REFERENCE_H

#include <climits>
#include <cstddef>

// Reads the length bytes at digits, the name of a reference after its numeric character (they need not
// be NUL-terminated). When they are one or more decimal digits, or "x"/"X" and one or more hexadecimal
// digits (either case), returns true with the number in *value, saturated at INT_MAX; leading zeros are
// allowed. Returns false, leaving *value alone, for anything else: no digits, a sign, blanks, or any other
// byte among the digits.
inline bool ReadNumericReference(const unsigned char *digits, size_t length, int *value) {
  const bool hex = length > 0 && (digits[0] == 'x' || digits[0] == 'X');
  size_t at = hex ? 1 : 0;
  if (at == length) return false;
  long long number = 0;  // stops growing past INT_MAX, so it stays far below LLONG_MAX
  for (; at < length; ++at) {
    const unsigned int c = digits[at];
    unsigned int digit = c - '0';
    if (hex && digit > 9) digit = (c | 0x20) - 'a' < 6 ? (c | 0x20) - 'a' + 10 : 16;
    if (digit >= (hex ? 16u : 10u)) return false;
    if (number <= INT_MAX) number = number * (hex ? 16 : 10) + digit;
  }
  *value = number > INT_MAX ? INT_MAX : static_cast<int>(number);
  return true;
}

#endif
