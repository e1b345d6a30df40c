// The by-name index must answer every lookup exactly as the set's own scan: lowest value first, exact
// length, empty names, names with a NUL inside, names no character bears, and a set never loaded.
#include "engine/charset/name_index.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/charset/charset.h"
#include "tests/support/ascii_set.h"
#include "tests/support/stage_in_dir.h"

namespace {

TEST(NameIndex, AnswersAsTheSetsOwnLookup) {
  StageInDir<CStreamObj> load;
  CCharSet set;
  // Duplicates (the lowest value wins), a name that is a prefix of another, an empty name, and the
  // names of a whole set so that buckets hold several names.
  ASSERT_EQ(load.LoadSet(set, "set", AsciiSetFile(" C8\t\tdup\n C4\t\tdup\n C9\t\tdupe\n CA\t\t\n CB\t\t" +
                                                  std::string(32, 'n') + "\n")),
            1);
  const NameIndex index(set);
  std::vector<std::string> names = {"dup", "dupe", "du", "dupes", "", std::string(32, 'n'),
                                    std::string(31, 'n'), std::string("du\0p", 4), "none", "A", "a"};
  for (int value = 0; value < 256; ++value) {
    if (set.chars[value].name != nullptr) names.push_back(set.chars[value].name);
  }
  for (const std::string &name : names) {
    EXPECT_EQ(index.Find(name.data(), name.size()), set.chsval(name.data(), name.size())) << name;
  }
  EXPECT_EQ(index.Find("dup", 3), 0xC4);
  EXPECT_EQ(index.Find("", 0), set.chsval(""));

  CCharSet unloaded;
  EXPECT_EQ(NameIndex(unloaded).Find("A", 1), -2);
}

}  // namespace
