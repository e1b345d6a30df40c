// The number of a numeric reference: which names after the numeric character are numbers, and what they
// read as. Whatever is refused here stays in the text as written.
#include "engine/charset/numeric_reference.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace {

TEST(NumericReference, ReadsDecimalAndHexadecimalDigitsOnly) {
  struct Case {
    const char *what;
    std::string digits;
    int value;  // -1: no reference
  };
  const Case cases[] = {
      {"decimal", "65", 65},
      {"zero", "0", 0},
      {"leading zeros", "000065", 65},
      {"hexadecimal after x", "x41", 65},
      {"after X, digits of either case", "XfF", 255},
      {"hexadecimal zero", "x00", 0},
      {"decimal beyond int saturates", "99999999999999999999999999999999", INT_MAX},
      {"hexadecimal beyond int saturates", "xFFFFFFFFFFFFFFFF", INT_MAX},
      {"the largest int", "x7FFFFFFF", INT_MAX},
      {"no digits", "", -1},
      {"x without digits", "x", -1},
      {"a sign", "-5", -1},
      {"a plus sign", "+65", -1},
      {"leading blank", " 65", -1},
      {"text after the digits", "38 Jerry", -1},
      {"trailing blank", "65 ", -1},
      {"hexadecimal digit in a decimal number", "6A", -1},
      {"x inside a decimal number", "6x5", -1},
      {"a C prefix", "0x41", -1},
      {"no hexadecimal digit", "x4G", -1},
      {"two x", "xx41", -1},
      {"NUL among the digits",
       std::string("6\0"
                   "5",
                   3),
       -1},
      {"a digit above 127", "6\xB5", -1},
  };
  for (const Case &c : cases) {
    int value = -7;
    const bool read = ReadNumericReference(reinterpret_cast<const unsigned char *>(c.digits.data()),
                                           c.digits.size(), &value);
    EXPECT_EQ(read, c.value >= 0) << c.what;
    EXPECT_EQ(value, c.value >= 0 ? c.value : -7) << c.what;
  }
}

TEST(NumericReference, ReadsOnlyItsLength) {
  int value = 0;
  EXPECT_TRUE(ReadNumericReference(reinterpret_cast<const unsigned char *>("123;abc"), 2, &value));
  EXPECT_EQ(value, 12);
}

}  // namespace
