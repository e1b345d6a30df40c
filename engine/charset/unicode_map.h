// UnicodeMap: the Unicode characters of one loaded 8-bit character set, both ways, compiled when a UTF-8
// stage is opened. A byte's character is the one its name stands for (unicode_names.h), so a set meets
// Unicode through the same names by which sets meet each other. The map is immutable once built and
// holds no pointer into the set.
#ifndef RUNEFLOW_ENGINE_CHARSET_UNICODE_MAP_H
#define RUNEFLOW_ENGINE_CHARSET_UNICODE_MAP_H

#include <cstddef>
#include <new>

class CCharSet;

const int kUnnamed = -2;                    // PointOf: the byte is defined, but its name is no character's
const unsigned int kTwoBytePoints = 0x800;  // code points below it take one or two bytes in UTF-8
const int kLongestUtf8 = 8;                 // bytes of a byte's UTF-8 form: two code points of four bytes

class UnicodeMap {
 public:
  UnicodeMap() = default;
  UnicodeMap(const UnicodeMap &) = delete;
  UnicodeMap &operator=(const UnicodeMap &) = delete;

  // The map lives in engine memory like the stage that owns it.
  static void *operator new(size_t size, const std::nothrow_t &) noexcept;
  static void operator delete(void *memory) noexcept;

  // Compiles the map of a loaded set (one that never loaded maps nothing).
  void Build(const CCharSet &set);

  // The code point of a byte: 0 or more; kUndefined (-1) when the set does not define the byte; kUnnamed
  // when its name stands for no character, or for two (its UTF-8 form then holds both).
  int PointOf(unsigned char byte) const { return points_[byte]; }
  // The UTF-8 form of a byte's character, utf8Length(byte) bytes; none for kUndefined and kUnnamed bytes.
  const unsigned char *Utf8Of(unsigned char byte) const { return utf8_[byte]; }
  int Utf8Length(unsigned char byte) const { return utf8Length_[byte]; }
  // The lowest byte whose character is point, or -1 when the set has none.
  int ByteOf(unsigned int point) const {
    return point < kTwoBytePoints ? lowBytes_[point] : HighByteOf(point);
  }

 private:
  int HighByteOf(unsigned int point) const;

  int points_[256];                        // code point by byte, or kUndefined, kUnnamed
  unsigned char utf8_[256][kLongestUtf8];  // UTF-8 form by byte
  unsigned char utf8Length_[256];          // its length, 0 when none
  short lowBytes_[kTwoBytePoints];         // byte by code point below U+0800, -1 when none
  unsigned int highPoints_[256];           // the other code points of the set, ascending
  unsigned char highBytes_[256];           // the byte of each
  int highCount_;                          // how many there are
};

#endif
