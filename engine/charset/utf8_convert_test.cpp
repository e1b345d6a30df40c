// The UTF-8 stage on real pipelines: sets written into a temporary directory and loaded through the head
// stream's name, text written into the head, converted by Close and drained from the head. Cases are
// grouped by direction; windows and blocks are crossed at every offset near their borders.
#include "engine/charset/utf8_convert.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "engine/charset/charset.h"
#include "engine/charset/utf8_sequence.h"
#include "engine/stream/allocator.h"
#include "tests/support/ascii_set.h"
#include "tests/support/drain.h"
#include "tests/support/stage_in_dir.h"

namespace {

// ASCII by the built-in set's names with "&", ";" and "#", and above it: characters by their entity
// names, one by a "uni" name, one by a name of two characters, one by a name that is no character's.
// 0xC8 is undefined. (A function: the built-in set is not there yet while globals are made.)
std::string Western() {
  return AsciiSetFile(
      " E9\t\teacute\n BD\t\tfrac12\n A4\t\teuro\n A0\t\tnbsp\n 81\t\tuni02C6\n 82\t\tNotEqualTilde\n"
      " 80\t\tfoo\n 83\t\tba\xE9r\n");
}
// The same characters in another syntax, {name} and {$number}, at other values.
const std::string kBraces =
    "#BASE 16\n"
    " 7B\tB\tlcub\n 7D\tE\trcub\n 24\tN\tdollar\n 30\t\t0\n 31\t\t1\n 32\t\t2\n 33\t\t3\n 34\t\t4\n 35\t\t5\n"
    " 36\t\t6\n 37\t\t7\n 38\t\t8\n 39\t\t9\n 61\t\ta\n 63\t\tc\n 65\t\te\n 74\t\tt\n 75\t\tu\n 72\t\tr\n"
    " 20\t\tspace\n 6F\t\to\n 78\t\tx\n 8E\t\teacute\n";
// No reference characters at all.
const std::string kPlain = "#BASE 16\n 41\t\tA\n 42\t\tB\n E9\t\teacute\n";
// References, but no letters to write a name with, and digits for numbers.
const std::string kDigitsOnly =
    "#BASE 16\n 26\tB\tamp\n 3B\tE\tsemi\n 23\tN\tnum\n 30\t\t0\n 31\t\t1\n 32\t\t2\n 33\t\t3\n 34\t\t4\n"
    " 35\t\t5\n 36\t\t6\n 37\t\t7\n 38\t\t8\n 39\t\t9\n 41\t\tA\n";
// Named references only, and nothing to write a name with.
const std::string kNamesOnly = "#BASE 16\n 26\tB\tamp\n 3B\tE\tsemi\n 41\t\tA\n";

// A head stream named after a temporary directory, with a UTF-8 stage opened from and to the given set
// files (empty: UTF-8).
struct Utf8Stage : StageInDir<CUtf8Convert> {
  Utf8Stage(const std::string &fromFile, const std::string &toFile) {
    if (!fromFile.empty()) dir.Write("from.chs", fromFile);
    if (!toFile.empty()) dir.Write("to.chs", toFile);
    opened = stage.Open(fromFile.empty() ? kUtf8 : "from", toFile.empty() ? kUtf8 : "to");
  }
  // One run; after a failure what reached the head before it is dropped, so that runs stay apart.
  std::string Run(const std::string &text) {
    const std::string result = StageInDir<CUtf8Convert>::Run(text);
    if (result.rfind("failed: ", 0) == 0) Drain(head);
    return result;
  }
  int opened;
};

struct Case {
  const char *what;
  std::string input;
  std::string output;
};

void ExpectConversions(const std::string &fromFile, const std::string &toFile,
                       const std::vector<Case> &cases) {
  Utf8Stage conversion(fromFile, toFile);
  ASSERT_TRUE(conversion.opened) << conversion.StageError();
  for (const Case &c : cases) EXPECT_EQ(conversion.Run(c.input), c.output) << c.what;
}

TEST(Utf8Convert, FromUtf8IntoASet) {
  ExpectConversions(
      "", Western(),
      {
          {"ASCII and the set's characters", "caf\xC3\xA9 \xC2\xBD\xE2\x82\xAC", "caf\xE9 \xBD\xA4"},
          {"a name the set uses for its character", "\xCB\x86", "\x81"},
          {"a character the set lacks by its entity name", "\xE2\x80\xA6 \xE2\x80\x99", "&hellip; &rsquo;"},
          {"where a set's name means another character, a name that cannot be misread",
           "\xE2\x80\x90 \xCB\x9C", "&dash; &DiacriticalTilde;"},
          {"a character without a name by its number", "\xE4\xB8\x80\xF0\x9F\x98\x80", "&#19968;&#128512;"},
          {"a control character by its abbreviation", "\xC2\x85", "&NEL;"},
          {"named and numeric references resolved", "&eacute;&#233;&#xE9;&#XE9;&#x00e9;",
           "\xE9\xE9\xE9\xE9\xE9"},
          {"any entity name, the set's meaning winning", "&half;&circ;&tilde;&hyphen;", "\xBD^~-"},
          {"a name standing for two characters", "&nvlt;&bne;", "<&#8402;=&#8421;"},
          {"the set's own names first", "&foo;&uni02C6;&NotEqualTilde;", "\x80\x81\x82"},
          {"a reference to a character the set lacks, written again by its name", "&#8230;&mldr;",
           "&hellip;&hellip;"},
          {"text that is no reference stays", "&zzz; AT&T a & b; &", "&zzz; AT&T a & b; &"},
          {"numbers of any other form are no references", "&#; &#x; &#12a; &# 65; &#-5; &#+5; &#x-1;",
           "&#; &#x; &#12a; &# 65; &#-5; &#+5; &#x-1;"},
          {"numbers that are no characters", "&#55296; &#xDFFF; &#1114112; &#99999999999999999999;",
           "&#55296; &#xDFFF; &#1114112; &#99999999999999999999;"},
          {"number 0 and leading zeros", "&#0;&#00065;", "&NUL;A"},
          {"a name that is not ASCII stays", "&caf\xC3\xA9;", "&caf\xE9;"},
          {"the byte-order mark that opens the text goes", "\xEF\xBB\xBFx\xEF\xBB\xBF", "x&#65279;"},
          {"empty input", "", ""},
      });
}

TEST(Utf8Convert, FromASetIntoUtf8) {
  ExpectConversions(
      Western(), "",
      {
          {"bytes become their characters", "caf\xE9 \xBD\xA4\xA0\x81",
           "caf\xC3\xA9 \xC2\xBD\xE2\x82\xAC\xC2\xA0\xCB\x86"},
          {"a byte whose name stands for two characters", "\x82", "\xE2\x89\x82\xCC\xB8"},
          {"an undefined byte by its value", "\xC8", "&#200;"},
          {"a byte whose name is no character's by that name", "\x80", "&foo;"},
          {"a name is written through the characters of its bytes", "\x83", "&ba\xC3\xA9r;"},
          {"numeric references are code points", "&#8364;&#x20AC;&#X20ac;&#233;",
           "\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xC3\xA9"},
          {"named references: entity names, the sets' names, uni names", "&hellip;&circ;&NEL;&uni4E00;&foo;",
           "\xE2\x80\xA6^\xC2\x85\xE4\xB8\x80&foo;"},
          {"uni names only in their one spelling", "&uni04E00;&uni4e00;&uniD800;&uni110000;&uni41;",
           "&uni04E00;&uni4e00;&uniD800;&uni110000;&uni41;"},
          {"a name that names nothing stays", "&zzz;&#12a;&#;", "&zzz;&#12a;&#;"},
          {"more than a name's length before the end", "&" + std::string(33, 'a') + ";",
           "&" + std::string(33, 'a') + ";"},
          {"an unfinished reference at the end", "x&eacute", "x&eacute"},
      });
}

TEST(Utf8Convert, WithTheSetsOwnSyntax) {
  ExpectConversions(kBraces, "",
                    {
                        {"named and numeric references", "{eacute}{$8364}{$x41}{euro}",
                         "\xC3\xA9\xE2\x82\xAC"
                         "A\xE2\x82\xAC"},
                        {"an undefined byte in UTF-8's syntax", "\xC8", "&#200;"},
                        {"the begin character alone", "{a", "{a"},
                    });
  ExpectConversions("", kBraces,
                    {
                        {"a character the set lacks", "\xE2\x82\xAC", "{euro}"},
                        {"a name the set cannot spell is written by number", "\xE2\x80\xA6", "{$8230}"},
                        {"references of UTF-8 text", "&eacute;&#233;", "\x8E\x8E"},
                    });
}

TEST(Utf8Convert, FromUtf8IntoUtf8) {
  ExpectConversions("", "",
                    {
                        {"characters pass", "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80",
                         "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"},
                        {"references resolve", "&eacute;&#x1F600;&circ;&NotEqualTilde;&zzz;",
                         "\xC3\xA9\xF0\x9F\x98\x80^\xE2\x89\x82\xCC\xB8&zzz;"},
                        {"the byte-order mark stays", "\xEF\xBB\xBFx", "\xEF\xBB\xBFx"},
                    });
}

TEST(Utf8Convert, InvalidUtf8FailsWithItsOffset) {
  Utf8Stage conversion("", Western());
  ASSERT_TRUE(conversion.opened) << conversion.StageError();
  const std::string prefix = "failed: Stream: Invalid UTF-8 at byte offset ";
  const std::vector<Case> cases = {
      {"a stray continuation byte", "ab\x80", "2: continuation byte without a lead byte"},
      {"a byte UTF-8 never uses", "\xF5\x80\x80\x80", "0: byte that UTF-8 never uses"},
      {"0xFF", "a\xFF", "1: byte that UTF-8 never uses"},
      {"an overlong two-byte form", "\xC0\xAF", "0: overlong sequence"},
      {"an overlong three-byte form", "x\xE0\x80\xAF", "1: overlong sequence"},
      {"an overlong four-byte form", "\xF0\x8F\xBF\xBF", "0: overlong sequence"},
      {"a surrogate", "\xED\xA0\x80", "0: surrogate"},
      {"beyond U+10FFFF", "\xF4\x90\x80\x80", "0: code point beyond U+10FFFF"},
      {"cut by another character",
       "\xC3"
       "a",
       "0: sequence cut short"},
      {"cut in its third byte",
       "\xE2\x82"
       "a",
       "0: sequence cut short"},
      {"cut by the end of the text", "abc\xF0\x9F\x98", "3: sequence cut short"},
      {"after a reference", "&eacute;\x80", "8: continuation byte without a lead byte"},
      {"a later window", std::string(1234, 'a') + "\xC3\xA9\xC3", "1236: sequence cut short"},
  };
  for (const Case &c : cases) EXPECT_EQ(conversion.Run(c.input), prefix + c.output + "\n") << c.what;
  EXPECT_EQ(conversion.Run("ok"), "ok") << "the next run starts afresh";

  Utf8Stage same("", "");
  ASSERT_TRUE(same.opened);
  EXPECT_EQ(same.Run("\xEF\xBB"), prefix + "0: sequence cut short\n") << "UTF-8 to UTF-8 checks too";
}

TEST(Utf8Convert, ACharacterTheSetCannotHoldFailsTheRun) {
  Utf8Stage plain("", kPlain);
  ASSERT_TRUE(plain.opened) << plain.StageError();
  EXPECT_EQ(plain.Run("AB\xC3\xA9\xE2\x82\xAC"),
            "failed: Stream: Character U+20AC at byte offset 4 has neither a byte "
            "nor a reference in " +
                plain.dir.File("to.chs") + "\n");
  EXPECT_EQ(plain.Run("B&#x41;"), "BA") << "references still resolve";

  Utf8Stage digits("", kDigitsOnly);
  ASSERT_TRUE(digits.opened) << digits.StageError();
  EXPECT_EQ(digits.Run("A\xE2\x82\xAC"), "A&#8364;") << "no letters for the name: by number";

  Utf8Stage names("", kNamesOnly);
  ASSERT_TRUE(names.opened) << names.StageError();
  EXPECT_EQ(names.Run("A&euro;"),
            "failed: Stream: Character U+20AC at byte offset 1 has neither a byte nor a "
            "reference in " +
                names.dir.File("to.chs") + "\n")
      << "no letters for the name, no numeric references";
}

// Every offset near the border of the queue's first block, and of the first and second window (which
// begins where the first left off): a character of each length, a reference, and a character cut by the
// end of the text.
TEST(Utf8Convert, CharactersAndReferencesAcrossBorders) {
  Utf8Stage decode("", Western());
  Utf8Stage encode(Western(), "");
  ASSERT_TRUE(decode.opened && encode.opened);
  std::vector<size_t> offsets;
  for (size_t border :
       {size_t(500), size_t(CUtf8Convert::kWindowSize), size_t(2 * CUtf8Convert::kWindowSize)}) {
    for (size_t at = border - 40; at <= border + 40; ++at) offsets.push_back(at);
  }
  for (size_t at : offsets) {
    const std::string before(at, 'a');
    const std::string utf8 =
        before + "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80&eacute;&" + std::string(31, 'q') + ";b";
    EXPECT_EQ(decode.Run(utf8), before + "\xE9\xA4&#128512;\xE9&" + std::string(31, 'q') + ";b") << at;
    EXPECT_EQ(encode.Run(before + "\xE9\xA4&#128512;&eacute;"),
              before + "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\xC3\xA9")
        << at;
    EXPECT_EQ(decode.Run(before + "\xC3"),
              "failed: Stream: Invalid UTF-8 at byte offset " + std::to_string(at) + ": sequence cut short\n")
        << at;
  }
}

// A random text of valid UTF-8 without "&" goes into the set and back unchanged: characters the set
// lacks travel as references.
TEST(Utf8Convert, RoundTripsThroughASet) {
  Utf8Stage decode("", Western());
  Utf8Stage encode(Western(), "");
  ASSERT_TRUE(decode.opened && encode.opened);
  const std::vector<unsigned int> points = {'a',    ' ',    '\n',   ';',     '#',      0xE9,
                                            0xA4,   0xC8,   0x80,   0x2C6,   0x2026,   0x2010,
                                            0x20AC, 0xFEFF, 0x4E00, 0x1F600, 0x10FFFF, 0};
  std::mt19937 random(20261207);
  for (int round = 0; round < 50; ++round) {
    std::string text;
    const size_t length = random() % 3000;
    while (text.size() < length) {
      unsigned char bytes[4];
      const unsigned int point = random() % 4 == 0 ? random() % 0x30000 : points[random() % points.size()];
      if (point == '&' || (point >= 0xD800 && point <= 0xDFFF) || (text.empty() && point == 0xFEFF)) continue;
      text.append(reinterpret_cast<char *>(bytes), EncodeUtf8(point, bytes));
    }
    const std::string inSet = decode.Run(text);
    ASSERT_EQ(encode.Run(inSet), text) << "round " << round;
  }
}

TEST(Utf8ConvertFailures, OpenReportsOnTheStageAndLeavesItNotOpened) {
  Utf8Stage missing("", "");
  EXPECT_EQ(missing.stage.Open(kUtf8, "absent"), 0);
  EXPECT_EQ(missing.StageError(), "Utf8Convert: Can't open " + missing.dir.File("absent.chs") + "\n");
  EXPECT_EQ(missing.Run("text"), "failed: Stream: Object was not opened\n");

  Utf8Stage both(Western(), Western());
  EXPECT_EQ(both.opened, 0);
  EXPECT_EQ(both.StageError(), "Utf8Convert: One side must be UTF-8\n");
  EXPECT_EQ(both.Run("text"), "failed: Stream: Object was not opened\n");
}

TEST(Utf8ConvertFailures, AFailedWriteStopsTheRun) {
  Utf8Stage conversion("", "");
  ASSERT_TRUE(conversion.opened);
  const std::string text(1200, 't');
  conversion.head.Write(text.data(), static_cast<unsigned>(text.size()));
  FailAllocationAt(2);  // the head's second queue block
  EXPECT_EQ(conversion.head.Close(), 0);
  FailAllocationAt(0);
  EXPECT_EQ(conversion.HeadError(), "Stream: I/O error 12 on stream\n");
  EXPECT_EQ(Drain(conversion.head), std::string(500, 't'));  // what was written before stays
  EXPECT_EQ(conversion.Run("next"), "next");                 // the next run starts afresh
}

TEST(Utf8ConvertOwnership, SetsOfAnotherErrorTargetStayWithTheirCreator) {
  StageInDir<CStreamObj> loader;
  CCharSet western;
  ASSERT_TRUE(loader.LoadSet(western, "western", Western()));
  {
    CStream head;
    CUtf8Convert stage;
    head.Add(&stage);
    ASSERT_TRUE(head.Open(nullptr) && stage.Open(&western, nullptr));
    EXPECT_STREQ(stage.m_version, "1.0-3.2");
    EXPECT_EQ(RunPipeline(head, "\xE9"), "\xC3\xA9");
    ASSERT_TRUE(stage.Open(nullptr, &western));
    EXPECT_EQ(RunPipeline(head, "\xC3\xA9"), "\xE9");
  }
  EXPECT_EQ(western.chsval("eacute"), 0xE9);  // still loaded after the stage is gone
}

}  // namespace
