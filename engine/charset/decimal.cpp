// The atoi-like number reader, bounded by length and saturating instead of overflowing.
#include "engine/charset/decimal.h"

#include <climits>

int ReadDecimal(const char *text, size_t length, bool *fits) {
  size_t at = 0;
  while (at < length && (text[at] == ' ' || (text[at] >= '\t' && text[at] <= '\r'))) ++at;
  bool negative = false;
  if (at < length && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
  // Accumulated as a negative number, whose range includes INT_MIN.
  long long value = 0;
  bool inRange = true;
  for (; at < length && text[at] >= '0' && text[at] <= '9'; ++at) {
    if (inRange) value = value * 10 - (text[at] - '0');
    if (value < INT_MIN || (!negative && value < -INT_MAX)) inRange = false;
  }
  if (fits != nullptr) *fits = inRange;
  if (!inRange) return negative ? INT_MIN : INT_MAX;
  return static_cast<int>(negative ? value : -value);
}
