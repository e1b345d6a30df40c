// The number of a numeric reference: decimal, or hexadecimal after "x" or "X", digits only.
#include "engine/charset/numeric_reference.h"

#include <climits>

namespace {

// The value of the digit c in base 10 or 16, or -1 when c is none.
int DigitValue(unsigned char c, int base) {
  if (c >= '0' && c <= '9') return c - '0';
  if (base == 16 && c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (base == 16 && c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

bool ReadNumericReference(const unsigned char *digits, size_t length, int *value) {
  size_t at = 0;
  int base = 10;
  if (length > 0 && (digits[0] == 'x' || digits[0] == 'X')) {
    base = 16;
    at = 1;
  }
  if (at == length) return false;
  long long number = 0;
  for (; at < length; ++at) {
    const int digit = DigitValue(digits[at], base);
    if (digit < 0) return false;
    if (number <= INT_MAX) number = number * base + digit;  // stays far below LLONG_MAX
  }
  *value = number > INT_MAX ? INT_MAX : static_cast<int>(number);
  return true;
}
