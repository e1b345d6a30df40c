// The bounded, saturating atoi of the file readers and numeric references.
#include "engine/charset/decimal.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace {

TEST(ReadDecimal, ReadsLikeAtoiWithinItsLength) {
  struct Case {
    std::string text;
    size_t length;
    int value;
    bool fits;
  };
  const std::vector<Case> cases = {
      {"65", 2, 65, true},
      {"0065x", 5, 65, true},
      {" \t\n+7", 5, 7, true},
      {"-12;", 4, -12, true},
      {"", 0, 0, true},
      {"abc", 3, 0, true},
      {"-", 1, 0, true},
      {"1234", 2, 12, true},
      {"2147483647", 10, INT_MAX, true},
      {"-2147483648", 11, INT_MIN, true},
      {"2147483648", 10, INT_MAX, false},
      {"-99999999999999999999", 21, INT_MIN, false},
      {"99999999999999999999", 20, INT_MAX, false},
  };
  for (const Case &c : cases) {
    bool fits = !c.fits;
    EXPECT_EQ(ReadDecimal(c.text.data(), c.length, &fits), c.value) << c.text;
    EXPECT_EQ(fits, c.fits) << c.text;
  }
}

}  // namespace
