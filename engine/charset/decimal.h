// ReadDecimal: the number reader of the set and table files (the references written in tables among
// them). It reads the way atoi does, but within a given length (the bytes need not be NUL-terminated) and
// without undefined behaviour on numbers that do not fit an int.
#ifndef RUNEFLOW_ENGINE_CHARSET_DECIMAL_H
#define RUNEFLOW_ENGINE_CHARSET_DECIMAL_H

#include <cstddef>

// Reads leading white space, an optional sign and then decimal digits up to the first other byte from
// the length bytes at text, never reading past them; no digits read as 0. A number beyond the range of
// int saturates to INT_MAX or INT_MIN, and *fits (when given) tells whether it was in range.
int ReadDecimal(const char *text, size_t length, bool *fits = nullptr);

#endif
