// The strict UTF-8 reader against the writer: a sequence is read exactly when it is the written form of
// a Unicode scalar value, checked for every value and for every two- and three-byte input.
#include "engine/charset/utf8_sequence.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

bool IsScalar(unsigned int point) { return point <= 0x10FFFF && (point < 0xD800 || point > 0xDFFF); }

TEST(Utf8Sequence, EveryScalarValueReadsBackAndItsBeginningsWaitForMore) {
  for (unsigned int point = 0; point <= 0x10FFFF; ++point) {
    if (!IsScalar(point)) continue;
    unsigned char bytes[4];
    const int length = EncodeUtf8(point, bytes);
    ASSERT_EQ(length, point < 0x80 ? 1 : point < 0x800 ? 2 : point < 0x10000 ? 3 : 4) << point;
    unsigned int read = 0;
    Utf8Fault fault;
    ASSERT_EQ(DecodeUtf8(bytes, 4, &read, &fault), length) << point;
    ASSERT_EQ(read, point);
    for (int available = 1; available < length; ++available)
      ASSERT_EQ(DecodeUtf8(bytes, static_cast<size_t>(available), &read, &fault), 0)
          << point << " " << available;
  }
}

// Every input of two and three bytes (whose lead byte asks for that length) is read exactly when it is
// some value's written form; anything else is a fault, never a wrong value.
TEST(Utf8Sequence, OnlyWrittenFormsAreRead) {
  std::set<std::string> written;
  for (unsigned int point = 0x80; point < 0x10000; ++point) {
    if (!IsScalar(point)) continue;
    unsigned char bytes[4];
    written.insert(std::string(reinterpret_cast<char *>(bytes), EncodeUtf8(point, bytes)));
  }
  for (unsigned int lead = 0xC0; lead < 0xF0; ++lead) {
    const size_t length = lead < 0xE0 ? 2 : 3;
    for (unsigned int rest = 0; rest < (length == 2 ? 0x100u : 0x10000u); ++rest) {
      const unsigned char bytes[3] = {static_cast<unsigned char>(lead),
                                      static_cast<unsigned char>(length == 2 ? rest : rest >> 8),
                                      static_cast<unsigned char>(rest)};
      unsigned int read = 0;
      Utf8Fault fault;
      const int result = DecodeUtf8(bytes, length, &read, &fault);
      const bool valid = written.count(std::string(reinterpret_cast<const char *>(bytes), length)) == 1;
      ASSERT_EQ(result, valid ? static_cast<int>(length) : -1) << std::hex << lead << " " << rest;
    }
  }
}

TEST(Utf8Sequence, FaultsAreToldApart) {
  const struct {
    std::string bytes;
    Utf8Fault fault;
  } cases[] = {
      {"\x80", Utf8Fault::kStrayContinuation},
      {"\xBF", Utf8Fault::kStrayContinuation},
      {"\xC0\x80", Utf8Fault::kOverlong},
      {"\xC1\xBF", Utf8Fault::kOverlong},
      {"\xE0\x9F\xBF", Utf8Fault::kOverlong},
      {"\xF0\x8F\xBF\xBF", Utf8Fault::kOverlong},
      {"\xED\xA0\x80", Utf8Fault::kSurrogate},
      {"\xED\xBF\xBF", Utf8Fault::kSurrogate},
      {"\xF4\x90\x80\x80", Utf8Fault::kBeyondLastPoint},
      {"\xF5\x80\x80\x80", Utf8Fault::kNeverUsed},
      {"\xFF", Utf8Fault::kNeverUsed},
      {"\xC3\x41", Utf8Fault::kCutShort},
      {"\xF0\x9F\x98\xC3", Utf8Fault::kCutShort},
  };
  for (const auto &c : cases) {
    unsigned int read = 0;
    Utf8Fault fault = Utf8Fault::kCutShort;
    EXPECT_EQ(
        DecodeUtf8(reinterpret_cast<const unsigned char *>(c.bytes.data()), c.bytes.size(), &read, &fault),
        -1);
    EXPECT_EQ(static_cast<int>(fault), static_cast<int>(c.fault)) << testing::PrintToString(c.bytes);
  }
}

}  // namespace
