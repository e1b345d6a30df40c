// One UTF-8 sequence: a Unicode scalar value written as UTF-8, and the strict reading of a sequence that
// tells every kind of invalid input apart (RFC 3629: no overlong forms, no surrogates, nothing beyond
// U+10FFFF). The UTF-8 stage and its tests share them.
#ifndef RUNEFLOW_ENGINE_CHARSET_UTF8_SEQUENCE_H
#define RUNEFLOW_ENGINE_CHARSET_UTF8_SEQUENCE_H

#include <cstddef>

// Why bytes are no UTF-8 sequence.
enum class Utf8Fault {
  kCutShort,           // a lead byte without all its continuation bytes
  kStrayContinuation,  // a continuation byte (0x80 to 0xBF) where a character begins
  kNeverUsed,          // 0xF5 to 0xFF, which no sequence holds
  kOverlong,           // a longer form of a character than needed (0xC0, 0xC1, 0xE0 0x80.., 0xF0 0x80..)
  kSurrogate,          // U+D800 to U+DFFF (0xED 0xA0..)
  kBeyondLastPoint,    // above U+10FFFF (0xF4 0x90.. )
};

// Writes the UTF-8 form of a Unicode scalar value into out (room for 4 bytes); returns its length.
int EncodeUtf8(unsigned int point, unsigned char *out);

// Reads the sequence that begins at text, of which available bytes (at least 1) are at hand. Returns its
// length with *point set to its code point; 0 when the bytes at hand are a valid beginning that needs
// more; -1 with *fault set when they can be no valid sequence.
int DecodeUtf8(const unsigned char *text, size_t available, unsigned int *point, Utf8Fault *fault);

#endif
