// Loading set files (every refusal with its exact message, the value, type and name fields, line ends),
// the case pairing, chsval, and the built-in set.
#include "engine/charset/charset.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engine/charset/builtin_charset.h"
#include "engine/charset/read_line.h"
#include "tests/support/line_report.h"
#include "tests/support/stage_in_dir.h"

namespace {

const unsigned kAll = 1u << 1, kPaired = 1u << 2, kLower = 1u << 3, kUpper = 1u << 4;

// A set file in a head stream's directory, loaded with a plain stage as error sink.
struct SetLoad : StageInDir<CStreamObj> {
  int Load(const std::string &bytes, const std::string &name = "set") { return LoadSet(set, name, bytes); }
  std::string Path(const std::string &name = "set") const { return dir.File(name + ".chs"); }
  CCharSet set;
};

struct Refusal {
  const char *what;
  std::string file;
  std::string message;  // after "StreamObj: " and the file's path
};

TEST(CharSetLoad, RefusesBadLinesWithTheirMessages) {
  const std::string name33(33, 'n');
  const std::vector<Refusal> cases = {
      {"base other than 8, 10, 16", "#BASE 7\n065\t\tA\n", ": Illegal base\n  065\t\tA\n\n"},
      {"value twice", "065\t\tA\n065\t\tB\n", ": Duplicate character value (65)\n  065\t\tB\n\n"},
      {"value twice, octal", "65 \t\tA\n#BASE 8\n101\t\tB\n",
       ": Duplicate character value (65)\n  101\t\tB\n\n"},
      {"value twice, hex", "065\t\tA\n#BASE 16\n 41\t\tB\n",
       ": Duplicate character value (65)\n   41\t\tB\n\n"},
      {"digit in the fourth column", "65\t1\tA\n",
       ": Missing tab (49) after character value\n  65\t1\tA\n\n"},
      {"four-digit value", "1000\t\tA\n", ": Missing tab (48) after character value\n  1000\t\tA\n\n"},
      {"byte above 127 in the fourth column", "065\xE9\tA\n",
       ": Missing tab (233) after character value\n  065\xE9\tA\n\n"},
      {"last line of two characters", "65", ": Missing tab (0) after character value\n  65\n"},
      {"value above 255", "999\t\tA\n", ": Illegal character value (999)\n  999\t\tA\n\n"},
      {"negative value", "-5\t\t\tA\n", ": Illegal character value (-5)\n  -5\t\t\tA\n\n"},
      {"octal value above 255", "#BASE 8\n777\t\tA\n", ": Illegal character value (511)\n  777\t\tA\n\n"},
      {"hex value above 255", "#BASE 16\nfff\t\tA\n", ": Illegal character value (4095)\n  fff\t\tA\n\n"},
      {"range checked before the tab", "999X\tA\n", ": Illegal character value (999)\n  999X\tA\n\n"},
      {"no second tab", "065\t1\n", ": Illegal subset\n  065\t1\n\n"},
      {"subset 0", "065\t0\tA\n", ": Illegal subset\n  065\t0\tA\n\n"},
      {"lower-case role letter", "065\tb\tA\n", ": Illegal subset\n  065\tb\tA\n\n"},
      {"number after the field's tab is not read", "065\t \t12\n", ": Illegal subset\n  065\t \t12\n\n"},
      {"subset 32", "065\t32\tA\n", ": Illegal subset: 32 (Max 31)\n  065\t32\tA\n\n"},
      {"subset -32", "065\t-32\tA\n", ": Illegal subset: -32 (Max 31)\n  065\t-32\tA\n\n"},
      {"huge subset number", "065\t99999999999\tA\n",
       ": Illegal subset: 2147483647 (Max 31)\n  065\t99999999999\tA\n\n"},
      {"second begin", "038\tB\tamp\n059\tE\tsemi\n060\tB\tlt\n",
       ": Duplicate begin entity character\n  060\tB\tlt\n\n"},
      {"second end", "038\tB\tamp\n059\tE\tsemi\n060\tE\tlt\n",
       ": Duplicate end entity character\n  060\tE\tlt\n\n"},
      {"second numeric on one line", "035\tN,N\tnum\n",
       ": Duplicate numeric entity character\n  035\tN,N\tnum\n\n"},
      {"last line ends in the type field", "065\t1", ": Missing tab after character type\n  065\t1\n"},
      {"last line ends after the value's tab", "065\t", ": Missing tab after character type\n  065\t\n"},
      {"name of 33 characters", "065\t\t" + name33 + "\n",
       ": Character name too long (Max 32)\n  065\t\t" + name33 + "\n\n"},
      {"begin without end", "038\tB\tamp\n065\t\tA\n", ": Missing end entity character\n"},
      {"end without begin", "059\tE\tsemi\n", ": Missing begin entity character\n"},
  };
  for (const Refusal &refusal : cases) {
    SetLoad load;
    EXPECT_EQ(load.Load(refusal.file), 0) << refusal.what;
    EXPECT_EQ(load.StageError(), "StreamObj: " + load.Path() + refusal.message) << refusal.what;
  }
}

TEST(CharSetLoad, CommentsMayBeLongerThanOtherLines) {
  // The tail of a long comment would read as a character line if the comment were cut.
  const std::string tail = std::string(256 - 1, ' ') + "065\t\tA";
  SetLoad comment;
  ASSERT_EQ(comment.Load("!" + tail + "\n" + "!" + std::string(9000, '!') + "\r\n066\t\tB\n"), 1);
  EXPECT_EQ(comment.set.chsval("A"), -2);
  EXPECT_EQ(comment.set.chsval("B"), 66);

  const std::string longest = "067\t1,1,1\t" + std::string(kLineMax - 10, 'n');  // refused for its name only
  const std::string base = "#BASE 16" + std::string(300, ' ');
  struct Long {
    const char *what;
    std::string file;
    std::string message;  // after the path
    std::string line;     // as the report shows it
  };
  const std::vector<Long> cases = {
      {"the longest line is read whole", longest + "\n", ": Character name too long (Max 32)\n", longest + "\n"},
      {"a character line one byte longer", "! first\n\n" + longest + "n\n",
       ": Line 3 is longer than 255 characters\n", longest},
      {"a long base directive", base + "\n", ": Line 1 is longer than 255 characters\n", base.substr(0, kLineMax)},
  };
  for (const Long &c : cases) {
    SetLoad load;
    EXPECT_EQ(load.Load(c.file), 0) << c.what;
    EXPECT_TRUE(ShowsLine(load.StageError(), "StreamObj: " + load.Path() + c.message, c.line)) << c.what;
  }
}

TEST(CharSetLoad, RefusesNamesItCannotOpen) {
  SetLoad load;
  EXPECT_EQ(load.set.Open(&load.stage, ""), 0);
  EXPECT_EQ(load.StageError(), "StreamObj: CCharSet: Empty FileName\n");
  EXPECT_EQ(load.set.Open(&load.stage, "absent"), 0);
  EXPECT_EQ(load.StageError(), "StreamObj: Can't open " + load.Path("absent") + "\n");
#ifndef _WIN32
  std::filesystem::create_directory(load.Path("folder"));  // opens, but every read fails
  EXPECT_EQ(load.set.Open(&load.stage, "folder"), 0);
  EXPECT_EQ(load.StageError().rfind("StreamObj: I/O error ", 0), 0u) << load.StageError();
  EXPECT_NE(load.StageError().find(" on " + load.Path("folder") + "\n"), std::string::npos);
#endif
  const std::string tooLong(300, 'n');
  EXPECT_EQ(load.set.Open(&load.stage, tooLong.c_str()), 0);
  EXPECT_EQ(load.StageError(), ("StreamObj: Illegal file name: " + tooLong).substr(0, 250));  // texts are cut
}

TEST(CharSetLoad, CommentsAndEmptyLinesDefineNothing) {
  SetLoad load;
  ASSERT_EQ(load.Load("! nothing here\n\n\r\n!065\t\tA\n"), 1);
  for (int value = 0; value < 256; ++value) {
    EXPECT_EQ(load.set.chars[value].value, -1);
    EXPECT_EQ(load.set.othercase[value], -1);
  }
  EXPECT_EQ(load.set.begin_entity, -1);
  EXPECT_EQ(load.set.end_entity, -1);
  EXPECT_EQ(load.set.numeric_entity, -1);
}

TEST(CharSetLoad, ReadsValuesInEachBase) {
  const std::vector<std::string> files = {"065\t\tA\n",
                                          "65 \t\tA\n",
                                          " 65\t\tA\n",
                                          "#BASE 8\n101\t\tA\n",
                                          "#BASE 16\n 41\t\tA\n",
                                          "#BASE 16\n41 \t\tA\n",
                                          "#BASE 16\n#BASE 10\n065\t\tA\n"};
  for (const std::string &file : files) {
    SetLoad load;
    ASSERT_EQ(load.Load(file), 1) << file << load.StageError();
    EXPECT_EQ(load.set.chsval("A"), 65) << file;
  }
}

TEST(CharSetLoad, ReadsTypeFields) {
  struct Case {
    const char *type;
    unsigned subsets;
  };
  const std::vector<Case> cases = {
      {"", kAll},
      {"-1", 0},
      {"1,-1", 0},
      {"-1,1", kAll},
      {"5,31", kAll | 1u << 5 | 1u << 31},
      {"12,7,", kAll | 1u << 12 | 1u << 7},
      {"-2,-5,-31", kAll},
      {"3", kAll | kLower},
      {"B,E", kAll},
  };
  for (const Case &c : cases) {
    SetLoad load;
    ASSERT_EQ(load.Load(std::string("200\t") + c.type + "\tname\n"), 1) << c.type << load.StageError();
    EXPECT_EQ(load.set.chars[200].value, 200) << c.type;
    EXPECT_EQ(load.set.chars[200].subsets, c.subsets) << c.type;
  }
  SetLoad roles;
  ASSERT_EQ(roles.Load("038\tB,E\tamp\n035\tN\tnum\n"), 1);
  EXPECT_EQ(roles.set.begin_entity, 38);
  EXPECT_EQ(roles.set.end_entity, 38);
  EXPECT_EQ(roles.set.numeric_entity, 35);
  SetLoad numericAlone;
  ASSERT_EQ(numericAlone.Load("035\tN\tnum\n"), 1);
  EXPECT_EQ(numericAlone.set.begin_entity, -1);
}

TEST(CharSetLoad, ReadsNamesToTheLineEnd) {
  const std::string name32(32, 'n');
  SetLoad load;
  ASSERT_EQ(load.Load("065\t\tcapital a\r\n"
                      "066\t\t\n"
                      "067\t\t" +
                      name32 +
                      "\n"
                      "068\t\tcr\rin\r\n"
                      "069\t\tctrl-z\x1a"
                      "end\n"
                      "070\t\tlast line"),
            1)
      << load.StageError();
  EXPECT_STREQ(load.set.chars[65].name, "capital a");
  EXPECT_STREQ(load.set.chars[66].name, "");
  EXPECT_EQ(load.set.chars[67].name, name32);
  EXPECT_STREQ(load.set.chars[68].name, "cr\rin");
  EXPECT_STREQ(load.set.chars[69].name,
               "ctrl-z\x1a"
               "end");
  EXPECT_STREQ(load.set.chars[70].name, "last line");
}

TEST(CharSetLoad, AFailedLineLeavesNoCharacterWithoutName) {
  SetLoad load;
  ASSERT_EQ(load.Load("065\t\tA\n066\t0\tB\n"), 0);
  EXPECT_EQ(load.set.chars[66].value, -1);
  EXPECT_EQ(load.set.chsval("A"), 65);
}

TEST(CharSetLoad, OpenAgainStartsOver) {
  SetLoad load;
  ASSERT_EQ(load.Load("038\tB\tamp\n059\tE\tsemi\n065\t\tA\n", "first"), 1);
  ASSERT_EQ(load.Load("066\t\tB\n", "second"), 1);
  EXPECT_EQ(load.set.chsval("A"), -2);
  EXPECT_EQ(load.set.chsval("B"), 66);
  EXPECT_EQ(load.set.begin_entity, -1);
  EXPECT_EQ(std::string(load.set.filename), load.Path("second"));
}

TEST(CharSetPairing, PairsUpperWithAllSmallNames) {
  SetLoad load;
  ASSERT_EQ(load.Load("065\t\tA\n097\t\ta\n"
                      "066\t\tABcde\n098\t\tabcde\n"
                      "067\t-4\tC\n099\t\tc\n"
                      "068\t\tD\n100\t-3\td\n"
                      "069\t\tQ\n"
                      "070\t\tE1\n071\t\tE1x\n101\t\te1\n"
                      "072\t5\tH\n104\t4\th\n"),
            1)
      << load.StageError();
  const CCharSet &set = load.set;
  EXPECT_EQ(set.chars[65].subsets, kAll | kPaired | kUpper);
  EXPECT_EQ(set.chars[97].subsets, kAll | kPaired | kLower);
  EXPECT_EQ(set.othercase[65], 97);
  EXPECT_EQ(set.othercase[97], 65);
  EXPECT_EQ(set.othercase[66], 98);  // every capital folds, not only the first
  EXPECT_EQ(set.othercase[98], 66);
  for (int unpaired : {67, 99, 68, 100, 69, 71}) EXPECT_EQ(set.othercase[unpaired], -1) << unpaired;
  EXPECT_EQ(set.chars[67].subsets, kAll);
  EXPECT_EQ(set.chars[69].subsets, kAll);
  EXPECT_EQ(set.othercase[70], 101);
  EXPECT_EQ(set.othercase[101], 70);
  EXPECT_EQ(set.chars[72].subsets, kAll | 1u << 5 | kPaired | kUpper);  // pairing only adds
  EXPECT_EQ(set.chars[104].subsets, kAll | kPaired | kLower | kUpper);
}

TEST(CharSetPairing, TheLaterUpperCaseNameWinsTheLowerSide) {
  SetLoad load;
  ASSERT_EQ(load.Load("065\t\tAe\n066\t\tAE\n097\t\tae\n"), 1);
  EXPECT_EQ(load.set.othercase[65], 97);
  EXPECT_EQ(load.set.othercase[66], 97);
  EXPECT_EQ(load.set.othercase[97], 66);
}

TEST(CharSetLookup, FindsTheLowestValueByExactName) {
  SetLoad load;
  ASSERT_EQ(load.Load("200\t\tdup\n100\t\tdup\n065\t\tA\n"), 1);
  EXPECT_EQ(load.set.chsval("dup"), 100);
  EXPECT_EQ(load.set.chsval("A"), 65);
  EXPECT_EQ(load.set.chsval("a"), -2);
  EXPECT_EQ(load.set.chsval("none"), -2);
  EXPECT_EQ(load.set.chsval(nullptr), -2);
  CCharSet unloaded;
  EXPECT_EQ(unloaded.chsval("A"), -2);
}

TEST(BuiltinCharSet, HoldsItsFixedTables) {
  CCharSet *set = BuiltinCharSet();
  ASSERT_EQ(set, BuiltinCharSet());
  EXPECT_EQ(set->begin_entity, 38);
  EXPECT_EQ(set->end_entity, 59);
  EXPECT_EQ(set->numeric_entity, 35);
  EXPECT_EQ(set->errsink, nullptr);
  EXPECT_EQ(set->filename, nullptr);
  int defined = 0;
  for (int value = 0; value < 256; ++value) {
    if (set->chars[value].value != value) continue;
    ++defined;
    unsigned expected = kAll;
    if (value >= 'A' && value <= 'Z') expected |= kPaired | kUpper;
    if (value >= 'a' && value <= 'z') expected |= kPaired | kLower;
    EXPECT_EQ(set->chars[value].subsets, expected) << value;
    EXPECT_EQ(set->chsval(set->chars[value].name), value) << "names are unique";
  }
  EXPECT_EQ(defined, 97);
  const std::vector<std::pair<const char *, int>> names = {
      {"TAB", 9},     {"LF", 10}, {"CR", 13}, {"space", 32},   {"amp", 38},   {"num", 35},
      {"semi", 59},   {"0", 48},  {"9", 57},  {"commat", 64},  {"A", 65},     {"Z", 90},
      {"lowbar", 95}, {"a", 97},  {"z", 122}, {"verbar", 124}, {"tilde", 126}};
  for (const auto &[name, value] : names) EXPECT_EQ(set->chsval(name), value) << name;
  EXPECT_EQ(set->chars[96].value, -1);
  EXPECT_EQ(set->chars[127].value, -1);
  EXPECT_EQ(set->othercase['Q'], 'q');
  EXPECT_EQ(set->othercase['q'], 'Q');
  EXPECT_EQ(set->othercase['1'], -1);
  set->begin_entity = -1;  // a user may change the fields; the next call sets them again
  EXPECT_EQ(BuiltinCharSet()->begin_entity, 38);
}

}  // namespace
