// Writing and strictly reading one UTF-8 sequence. The reader checks the second byte against the range
// its lead byte allows (the table of well-formed sequences of the Unicode standard), which rules out
// overlong forms, surrogates and code points beyond U+10FFFF before the value is put together.
#include "engine/charset/utf8_sequence.h"

int EncodeUtf8(unsigned int point, unsigned char *out) {
  if (point < 0x80) {
    out[0] = static_cast<unsigned char>(point);
    return 1;
  }
  if (point < 0x800) {
    out[0] = static_cast<unsigned char>(0xC0 | (point >> 6));
    out[1] = static_cast<unsigned char>(0x80 | (point & 0x3F));
    return 2;
  }
  if (point < 0x10000) {
    out[0] = static_cast<unsigned char>(0xE0 | (point >> 12));
    out[1] = static_cast<unsigned char>(0x80 | ((point >> 6) & 0x3F));
    out[2] = static_cast<unsigned char>(0x80 | (point & 0x3F));
    return 3;
  }
  out[0] = static_cast<unsigned char>(0xF0 | (point >> 18));
  out[1] = static_cast<unsigned char>(0x80 | ((point >> 12) & 0x3F));
  out[2] = static_cast<unsigned char>(0x80 | ((point >> 6) & 0x3F));
  out[3] = static_cast<unsigned char>(0x80 | (point & 0x3F));
  return 4;
}

int DecodeUtf8(const unsigned char *text, size_t available, unsigned int *point, Utf8Fault *fault) {
  const unsigned int lead = text[0];
  if (lead < 0x80) {
    *point = lead;
    return 1;
  }
  if (lead < 0xC2 || lead > 0xF4) {
    *fault = lead < 0xC0   ? Utf8Fault::kStrayContinuation
             : lead < 0xC2 ? Utf8Fault::kOverlong
                           : Utf8Fault::kNeverUsed;
    return -1;
  }
  const size_t length = lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
  // The range of the second byte: narrower than 0x80..0xBF after the four lead bytes whose shortest,
  // surrogate or largest values it decides.
  unsigned int lowest = 0x80, highest = 0xBF;
  Utf8Fault outside = Utf8Fault::kOverlong;
  if (lead == 0xE0) lowest = 0xA0;
  if (lead == 0xF0) lowest = 0x90;
  if (lead == 0xED) {
    highest = 0x9F;
    outside = Utf8Fault::kSurrogate;
  }
  if (lead == 0xF4) {
    highest = 0x8F;
    outside = Utf8Fault::kBeyondLastPoint;
  }
  unsigned int value = lead & (0x7F >> length);
  for (size_t k = 1; k < length; ++k) {
    if (k >= available) return 0;
    const unsigned int next = text[k];
    if ((next & 0xC0) != 0x80) {
      *fault = Utf8Fault::kCutShort;
      return -1;
    }
    if (k == 1 && (next < lowest || next > highest)) {
      *fault = outside;
      return -1;
    }
    value = (value << 6) | (next & 0x3F);
  }
  *point = value;
  return static_cast<int>(length);
}
