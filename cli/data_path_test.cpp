// Where the runeflow command finds sets and tables: the search order and the file-name rule.
#include "cli/data_path.h"

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"

namespace {

TEST(DataPath, SearchesOptionsThenTheEnvironmentThenTheShippedFiles) {
  TempDir option, listed, shipped;
  shipped.Write("a.chs", "");
  shipped.Write("t.sub", "");
  listed.Write("a.chs", "");
  listed.Write("b.chs", "");
  option.Write("b.chs", "");
  const std::string searchPath = kSearchPathSeparator + listed.Path() + kSearchPathSeparator;
  const DataPath path({option.Path()}, searchPath.c_str(), shipped.Path());
  ASSERT_EQ(path.directories().size(), 3u);  // empty list entries are skipped
  EXPECT_EQ(path.Find("b", "chs"), option.File("b.chs"));
  EXPECT_EQ(path.Find("a", "chs"), listed.File("a.chs"));
  EXPECT_EQ(path.Find("t", "sub"), shipped.File("t.sub"));
  EXPECT_EQ(path.Find("t", "chs"), "");  // the extension is part of the kind
  EXPECT_EQ(path.Find("missing", "chs"), "");
}

TEST(DataPath, NamesWithASeparatorOrADotAreFileNames) {
  const DataPath path({}, nullptr, std::string());
  for (const char *name : {"own/set", "set.chs", "./set", "/abs/set"}) {
    EXPECT_TRUE(IsFileName(name)) << name;
    EXPECT_EQ(path.Find(name, "chs"), name);
  }
  EXPECT_FALSE(IsFileName("iso-8859-1"));
}

TEST(DataPath, ListsSetsAndTablesWithTheirDescriptions) {
  TempDir dir;
  dir.Write("b.chs", "! b: the B set\n");
  dir.Write("a.chs", "!a set without its name\n");
  dir.Write("t.sub", "\"x\" \"y\"\n");
  dir.Write("other.txt", "");
  const DataPath path({dir.Path()}, nullptr, std::string());
  TempDir out;
  const std::string listing = out.File("list");
  FILE *file = std::fopen(listing.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  path.List(file);
  std::fclose(file);
  EXPECT_EQ(out.Read("list"),
            "Character sets in " + dir.Path() + ":\n  a            a set without its name\n" +
                "  b            the B set\nSubstitution tables in " + dir.Path() + ":\n  t            \n");
}

}  // namespace
