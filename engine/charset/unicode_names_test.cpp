// The lookups in the generated tables of Unicode names: every name is found with its characters, every
// written name reads back as its character, and "uni" names are read in their one spelling.
#include "engine/charset/unicode_names.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

std::string Found(const std::string &name) {
  unsigned int points[2];
  const int count = FindUnicodeName(name.data(), name.size(), points);
  std::string found;
  for (int k = 0; k < count; ++k) found += (k ? " " : "") + std::to_string(points[k]);
  return found;
}

TEST(UnicodeNames, EveryNameIsFoundWithItsCharacters) {
  for (unsigned int i = 0; i < kUnicodeNameCount; ++i) {
    const UnicodeName &entry = kUnicodeNames[i];
    if (i > 0) {
      ASSERT_LT(std::strcmp(kUnicodeNames[i - 1].name, entry.name), 0) << "not in byte order: " << entry.name;
    }
    std::string expected = std::to_string(entry.first);
    if (entry.second != kNoPoint) expected += " " + std::to_string(entry.second);
    ASSERT_EQ(Found(entry.name), expected) << entry.name;
  }
}

TEST(UnicodeNames, EveryWrittenNameReadsBackAsItsCharacter) {
  for (unsigned int i = 0; i < kWrittenNameCount; ++i) {
    const unsigned int point = kWrittenNames[i].point;
    const char *name = UnicodeNameOf(point);
    ASSERT_NE(name, nullptr) << point;
    ASSERT_EQ(Found(name), std::to_string(point)) << name;
  }
  EXPECT_EQ(UnicodeNameOf(0x4E00), nullptr);
  EXPECT_EQ(UnicodeNameOf(0x110000), nullptr);
}

TEST(UnicodeNames, NamesAndTheirMeanings) {
  const struct {
    const char *name;
    std::string found;
  } cases[] = {
      {"eacute", "233"},
      {"Eacute", "201"},
      {"circ", "94"},
      {"tilde", "126"},
      {"hyphen", "45"},
      {"dash", "8208"},
      {"NEL", "133"},
      {"A", "65"},
      {"NotEqualTilde", "8770 824"},
      {"uni02C6", "710"},
      {"uni4E00", "19968"},
      {"uni1F600", "128512"},
      {"uni10FFFF", "1114111"},
      {"uni0041", "65"},
      {"uni110000", ""},
      {"uniD800", ""},
      {"uni04E00", ""},
      {"uni4e00", ""},
      {"uni41", ""},
      {"uni", ""},
      {"", ""},
      {"zzz", ""},
      {"eacut", ""},
      {"eacutee", ""},
      {"EACUTE", ""},
  };
  for (const auto &c : cases) EXPECT_EQ(Found(c.name), c.found) << c.name;
  EXPECT_EQ(Found(std::string("amp\0", 4)), "") << "a NUL matches nothing";
}

}  // namespace
