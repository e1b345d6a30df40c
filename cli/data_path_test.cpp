// Where the runeflow command finds sets and tables: the search order and the file-name rule.
#include "cli/data_path.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/temp_dir.h"

namespace {

// What path.List writes.
std::string Listing(const DataPath &path) {
  TempDir out;
  FILE *file = std::fopen(out.File("list").c_str(), "wb");
  if (file == nullptr) return "cannot write the listing";
  path.List(file);
  std::fclose(file);
  return out.Read("list");
}

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

TEST(DataPath, AFileThatCannotBeReadIsFoundAndADirectoryIsNot) {
  TempDir first, second;
  first.Write("locked.chs", "");
  std::filesystem::permissions(first.File("locked.chs"), std::filesystem::perms::none);
  std::filesystem::create_directory(first.File("dir.chs"));
  second.Write("dir.chs", "");
  const DataPath path({first.Path(), second.Path()}, nullptr, std::string());
  EXPECT_EQ(path.Find("locked", "chs"), first.File("locked.chs"));  // its load says why it fails
  EXPECT_EQ(path.Find("dir", "chs"), second.File("dir.chs"));
}

TEST(DataPath, SaysWhyADirectoryCannotBeSearched) {
  TempDir dir;
  EXPECT_EQ(DirectoryProblem(dir.Path()), "");
  EXPECT_EQ(DirectoryProblem(dir.File("missing")), "No such file or directory");
  EXPECT_EQ(DirectoryProblem(dir.Write("file", "")), "Not a directory");
}

TEST(DataPath, VisibleText) {
  const struct {
    const char *proves;
    std::string text;
    std::string visible;
  } cases[] = {
      {"printable ASCII as it is", "Latin-1 {&amp;} ~", "Latin-1 {&amp;} ~"},
      {"an escape sequence cannot act", "\x1b]0;title\x07red", "{1B}]0;title{07}red"},
      {"controls, DEL and NUL", std::string("\t\r\x7f\0", 4), "{09}{0D}{7F}{00}"},
      {"UTF-8 of printable characters as it is", "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80",
       "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80"},
      {"a C1 control, raw or in UTF-8", "\x9b\xc2\x9b", "{9B}{C2}{9B}"},
      {"8-bit text that is no UTF-8", "caf\xe9!", "caf{E9}!"},
      {"overlong, surrogate, beyond U+10FFFF, cut short", "\xc0\xaf\xed\xa0\x80\xf4\x90\x80\x80\xe2\x82",
       "{C0}{AF}{ED}{A0}{80}{F4}{90}{80}{80}{E2}{82}"},
  };
  for (const auto &c : cases) EXPECT_EQ(VisibleText(c.text), c.visible) << c.proves;
}

TEST(DataPath, ListsSetsAndTablesWithTheirDescriptions) {
  TempDir dir;
  dir.Write("b.chs", "! b: the B set\n");
  dir.Write("a.chs", "!a set without its name\n");
  dir.Write("t.sub", "\"x\" \"y\"\n");
  dir.Write("other.txt", "");
  const DataPath path({dir.Path()}, nullptr, std::string());
  EXPECT_EQ(Listing(path),
            "Character sets in " + dir.Path() + ":\n  a            a set without its name\n" +
                "  b            the B set\nSubstitution tables in " + dir.Path() + ":\n  t            \n");
}

TEST(DataPath, ListsOnlyNamesThatCanBeGivenAndShowsControlsVisibly) {
  TempDir dir;
  dir.Write("ok.chs", "! ok: \x1b[2J\x1b[31mred\r\n038\tB\tamp\n");
  dir.Write(".hidden.chs", "");  // a name with a "." is a file name
  dir.Write("two.dots.chs", "");
  dir.Write("a:b.chs", "");      // "-c a:b" names two sets
  dir.Write(".chs", "");
  std::filesystem::create_directory(dir.File("dir.sub"));
  const DataPath path({dir.Path()}, nullptr, std::string());
  std::string expected = "Character sets in " + dir.Path() + ":\n  ok           {1B}[2J{1B}[31mred\n";
#ifndef _WIN32  // Windows file names take no control characters
  dir.Write("\x1b[1m.sub", "!\tbold\n");
  expected += "Substitution tables in " + dir.Path() + ":\n  {1B}[1m      {09}bold\n";
#endif
  EXPECT_EQ(Listing(path), expected);
}

}  // namespace
