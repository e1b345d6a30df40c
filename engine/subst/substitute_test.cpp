// The substitution stage on real pipelines: tables written into the head stream's directory, text
// written into the head, substituted by Close and drained from the head. Covers the order in which
// entries fire, waiting matches, the wildcard, given-back text, groups, windows, replacements and
// variables. Every run is made with the stage's shortcuts and without them, and both must agree.
#include "engine/subst/substitute.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "engine/charset/builtin_charset.h"
#include "engine/stream/allocator.h"
#include "engine/subst/subst_tbl.h"
#include "engine/subst/substitution_run.h"
#include "engine/subst/variables.h"
#include "tests/support/ascii_set.h"
#include "tests/support/drain.h"
#include "tests/support/plain_path.h"
#include "tests/support/stage_in_dir.h"

namespace {

// A substitution stage opened on a table file, for a text in the built-in set unless a set is given.
struct Substitution : StageInDir<CSubstitute> {
  explicit Substitution(const std::string &table, CCharSet *textSet = nullptr) {
    dir.Write("table.sub", table);
    opened = stage.Open("table", textSet != nullptr ? textSet : BuiltinCharSet(), BuiltinCharSet());
  }
  int opened;
};

// One run of the pipeline over text, with the shortcuts and without them (see RunBothPaths).
std::string BothPaths(StageInDir<CSubstitute> &pipeline, const std::string &text) {
  return RunBothPaths(pipeline.head, text, text.substr(0, 40));
}

struct Case {
  const char *what;
  std::string table;
  std::vector<std::pair<std::string, std::string>> runs;  // input, output
};

void ExpectRuns(const std::vector<Case> &cases) {
  for (const Case &c : cases) {
    Substitution substitution(c.table);
    ASSERT_TRUE(substitution.opened) << c.what << ": " << substitution.StageError();
    for (const auto &[input, output] : c.runs) EXPECT_EQ(BothPaths(substitution, input), output) << c.what;
  }
}

// Clears the one-letter variables the tests use.
void ClearVariables() {
  for (char name : std::string("AVXY")) {
    char assignment[3] = {name, '=', '\0'};
    SetVariable(assignment);
  }
}

std::string Variable(char name) {
  const char *value = GetVariable(name);
  return value != nullptr ? value : "(unset)";
}

TEST(Substitute, EntryOrderAndWaitingMatches) {
  ExpectRuns({
      {"empty input", "\"a\" \"X\"\n", {{"", ""}}},
      {"a shorter entry first", "\"ab\" \"X\"\n\"abc\" \"Y\"\n", {{"abc", "Xc"}, {"abd", "Xd"}}},
      {"a longer entry first: the shorter match waits",
       "\"abc\" \"Y\"\n\"ab\" \"X\"\n",
       {{"abc", "Y"}, {"abd", "Xd"}}},
      {"a later entry's earlier attempt is not consulted", "\"b\" \"Y\"\n\"ab\" \"X\"\n", {{"ab", "aY"}}},
      {"a waiting match resolved at the end of the input", "\"abcd\" \"Z\"\n\"bc\" \"A\"\n", {{"abc", "aA"}}},
      {"waiting matches at the end: the first in table order fires",
       "\"abcdef\" \"Q\"\n\"cd\" \"C\"\n\"bcd\" \"B\"\n",
       {{"abcde", "abCe"}}},
      {"unmatched text passes through", "\"zz\" \"X\"\n", {{"hello, world\n", "hello, world\n"}}},
      {"byte values above 127 in patterns", "\"&#233;t&#233;\" \"summer\"\n", {{"\xE9t\xE9!", "summer!"}}},
      {"escaped letters match both cases", "\"x\\q\" \"R\"\n", {{"xq xQ", "R R"}}},
      {"a one-character parameter", "\"a\\?c\" \"R\"\n", {{"abc adc", "R R"}}},
      {"a parameter restricted to lower-case letters", "\"a\\3?c\" \"R\"\n", {{"abc aDc", "R aDc"}}},
      {"! and . match one character", "\"a\\!c\\.\" \"<\\?\\?>\"\n", {{"abcd", "<bd>"}}},
      {"unmatched text dropped", "\"\\*\" \"\"\n\"b\" \"X\"\n", {{"abcb", "XX"}}},
      {"a backslash that ends a pattern", "#ALIAS \"\\e\" \"\"\n\"a\\\\e\" \"X\"\n", {{"a\\b", "Xb"}}},
      {"empty patterns never match", "\"\" \"x\"\n\"\\<\" \"y\"\n", {{"abc", "abc"}}},
  });
}

// An attempt that dies a few bytes after its start still holds back later entries' matches while it
// lives, and an earlier entry that begins inside a longer match can fire before it completes: the
// stage may take neither shortcut where it would change what fires.
TEST(Substitute, AttemptsThatDieOrArePreempted) {
  ExpectRuns({
      {"a dying attempt makes a later match wait, and an earlier entry fires meanwhile",
       "\"abcd\" \"1\"\n\"cx\" \"2\"\n\"bc\" \"3\"\n",
       {{"abcx", "ab2"}, {"abcd", "1"}}},
      {"an earlier entry inside a longer match", "\"bc\" \"1\"\n\"abcd\" \"2\"\n", {{"abcd", "a1d"}}},
      {"a later entry inside a longer match",
       "\"abcd\" \"1\"\n\"bc\" \"2\"\n",
       {{"abcd", "1"}, {"abcbcd", "a22d"}}},
      {"matches after a dead attempt",
       "\"abcdef\" \"1\"\n\"cde\" \"2\"\n\"x\" \"3\"\n",
       {{"abcdexabcdef", "ab231"}}},
      {"a disabled entry does not fire, however whole its match",
       "\"\\1[abc\" \"X\"\n\"go\" \"\\1[\"\n",
       {{"abcgoabc", "abcX"}}},
      {"a dead attempt, then a later and shorter entry",
       "\"abcdef\" \"1\"\n\"cdx\" \"2\"\n\"de\" \"3\"\n",
       {{"abcdxabcdef", "ab21"}}},
  });
}

TEST(Substitute, Wildcard) {
  ExpectRuns({
      {"shortest text", "\"a\\*c\" \"R\"\n", {{"abcbc", "Rbc"}, {"ac", "R"}}},
      {"the limit", "\"a\\*c\" 3 \"R\"\n", {{"abbbc", "R"}, {"abbbbc", "abbbbc"}}},
      {"extended after a mismatch", "\"a\\*bc\" \"R\"\n", {{"axbxbc", "R"}}},
      {"a restricted wildcard is not extended", "\"a\\3*bc\" \"R\"\n", {{"axbxbc", "axbxbc"}}},
      {"a restricted wildcard", "\"a\\3*c\" \"R\"\n", {{"abbc", "R"}, {"abXc", "abXc"}}},
      {"a blank terminates it", "\"a\\*c\" &space; \"R\"\n", {{"ab c abc", "ab c R"}}},
      {"a subset terminates it", "\"a\\*c\" &*4; \"R\"\n", {{"aBc abc", "aBc R"}}},
      {"+ and - are wildcards too",
       "\"<\\+>\" \"[\\*]\"\n\"(\\->\" \"{\\*}\"\n",
       {{"<ab> (cd>", "[ab] {cd}"}}},
      {"extension that runs into the limit",
       "\"a\\*bc\" 3 \"R\"\n",
       {{"axbxbc", "R"}, {"axbxxbc", "axbxxbc"}}},
      {"parameters after the wildcard", "\"a\\*b\\?c\" \"[\\*|\\?]\"\n", {{"axbybzbqc", "[xbybz|q]"}}},
      {"an escaped backslash after the wildcard", "\"a\\*\\\\b\" \"[\\*]\"\n", {{"ax\\x\\b", "[x\\x]"}}},
  });
}

TEST(Substitute, GivenBackTextAndStop) {
  ExpectRuns({
      {"one character given back", "\"ab\\<\" \"X\"\n", {{"abab", "XbXb"}}},
      {"the whole match given back fires once", "\"ab\\2<\" \"X\"\n", {{"zabz", "zXabz"}}},
      {"given back to a later entry", "\"ab\\<\" \"X\"\n\"bc\" \"Y\"\n", {{"abc", "XY"}}},
      {"stop", "\"ab\" \"X\\^\"\n", {{"zzabqq", "zzX"}, {"qq", "qq"}}},
  });
}

// A give-back reaches back at most to the start of its own match: the text before the match is written
// already and is never read again, however many characters the entry gives back.
TEST(Substitute, GivenBackTextNeverReachesBeforeItsMatch) {
  const std::string dots(497, '.');
  ExpectRuns({
      {"more than the match", "\"ab\\3<\" \"X\"\n", {{"zabz", "zXabz"}}},
      {"far more than the match", "\"b\\5<\" \"X\"\n", {{"123ab45", "123aXb45"}}},
      {"at the window's start", "\"ab\\5<\" \"X\"\n", {{"abz", "Xabz"}}},
      {"a waiting match", "\"abcd\" \"Z\"\n\"bc\\5<\" \"A\"\n", {{"abcx", "aAbcx"}}},
      {"late in a full window", "\"ab\\9<\" \"X\"\n", {{dots + "ab" + dots, dots + "Xab" + dots}}},
      {"within the match, as before", "\"abc\\2<\" \"X\"\n\"bc\" \"Y\"\n", {{"abc", "XY"}}},
  });
}

std::string Repeat(const std::string &text, int times) {
  std::string repeated;
  for (int n = 0; n < times; ++n) repeated += text;
  return repeated;
}

// A wildcard whose closing part never comes: its attempt lives until its limit, holding back the
// matches of later entries, which then fire one by one. The stage foresees that death instead of living
// through it (and through the rescan after each firing); what it writes stays the same.
TEST(Substitute, WildcardsWhoseClosingPartNeverComes) {
  const std::string tags =
      "\"<!--\\*-->\" 300 \"\"\n\"<\\s\\c\\r\\i\\p\\t\\*</\\s\\c\\r\\i\\p\\t>\" 500 \"\"\n"
      "\"<br>\" \"|\"\n\"<\\*>\" 100 &lt; \"\"\n";
  ExpectRuns({
      {"an unclosed script over more than a window",
       tags,
       {{Repeat("<script>", 150), ""}, {Repeat("<script>", 40), ""}}},
      {"a later entry's match fires first at each death",
       tags,
       {{Repeat("<script><br>", 60), Repeat("<script>|", 19) + Repeat("|", 41)}}},
      {"the closing part beyond the wildcard's reach",
       tags,
       {{Repeat("<script>x", 80) + "</script>tail", Repeat("x", 24) + "tail"}}},
      {"an unclosed comment before tags", tags, {{"<!--" + Repeat("<b>x", 200), "<!--" + Repeat("x", 200)}}},
      {"an earlier entry completes before the death",
       "\"ab\" \"AB\"\n\"<\\s\\c\\r\\i\\p\\t\\*</\\s\\c\\r\\i\\p\\t>\" 500 \"\"\n\"<\\*>\" 100 &lt; \"\"\n",
       {{Repeat("<script>xxab", 80), Repeat("<script>xxAB", 80)}}},
      {"several elements open at once",
       "\"<!--\\*-->\" 300 \"\"\n\"<\\s\\c\\r\\i\\p\\t\\*</\\s\\c\\r\\i\\p\\t>\" 500 \"\"\n"
       "\"<\\s\\t\\y\\l\\e\\*</\\s\\t\\y\\l\\e>\" 500 \"\"\n\"<\\*>\" 100 &lt; \"\"\n",
       {{Repeat("<style><script>", 100), ""},
        {Repeat("<!--<script>x", 80), Repeat("<!--x", 80)},
        {Repeat("<script><style>x<!--", 60), Repeat("x<!--", 60)}}},
      {"an attempt that dies and slides on to a start that outlives the window",
       "\"<\\*>\" 100 \"A\"\n\"[\\*]\" 600 \"B\"\n",
       {{std::string(420, 'x') + "<" + std::string(84, 'y') + "<yyyy[" + std::string(93, 'y') + ">" +
             std::string(2000, 'w'),
         std::string(420, 'x') + "<" + std::string(84, 'y') + "A" + std::string(2000, 'w')}}},
      {"two wildcards open with nothing waiting",
       "\"<\\*>\" 600 \"\"\n\"[\\*]\" 600 \"\"\n",
       {{Repeat("<[", 2000), Repeat("<[", 2000)}}},
      {"a match still held back by the start its blocker slides on to",
       "\"<\\*>\" 40 \"\"\n\"<<\" \"L\"\n",
       {{"<x<<" + std::string(39, 'x') + ">tail", "<xtail"}}},
      {"a window that gives up its first byte again and again",
       "\"<\\*>\" 600 \"\"\n",
       {{Repeat("<", 2000), Repeat("<", 2000)}}},
  });
}

TEST(Substitute, GroupsSwitchWithinARunAndResetAtTheNext) {
  ExpectRuns({
      {"a group enabled by a replacement",
       "\"\\1[b\" \"B\"\n\"a\" \"A\\1[\"\n",
       {{"babb", "bABB"}, {"b", "b"}}},
      {"an entry that disables itself", "\"\\1]b\" \"B\"\n\"a\" \"A\\1[\"\n", {{"babb", "bABb"}}},
      {"a group disabled by a replacement",
       "\"\\1[b\" \"B\"\n\"a\" \"A\\1[\"\n\"c\" \"C\\1]\"\n",
       {{"abcb", "ABCb"}}},
      {"enabled and disabled at once ends enabled", "\"\\1[b\" \"B\"\n\"a\" \"A\\1]\\1[\"\n", {{"ab", "AB"}}},
  });
}

TEST(Substitute, Replacements) {
  ExpectRuns({
      {"captures in order", "\"a\\?c\\?\" \"\\?\\?\"\n", {{"abcd", "bd"}}},
      {"the capture counter reset", "\"a\\?c\\?\" \"\\?\\<\\?\"\n", {{"abcd", "bb"}}},
      {"a capture skipped", "\"a\\?c\\?\" \"\\>\\?\"\n", {{"abcd", "d"}}},
      {"a capture the pattern lacks", "\"a\\?c\\?\" \"\\?\\?\\?\\<\"\n", {{"abcd", "bd"}}},
      {"upper-cased capture", "\"x\\?\" \"\\!\"\n", {{"xq x1", "Q 1"}}},
      {"lower-cased capture", "\"x\\?\" \"\\.\"\n", {{"xQ x1", "q 1"}}},
      {"the wildcard's text", "\"<\\*>\" \"[\\*]\"\n", {{"<aBc>", "[aBc]"}}},
      {"upper-cased", "\"<\\*>\" \"[\\+]\"\n", {{"<aBc>", "[ABC]"}}},
      {"lower-cased", "\"<\\*>\" \"[\\-]\"\n", {{"<aBc>", "[abc]"}}},
      {"restricted to a subset", "\"<\\*>\" \"[\\3*]\"\n", {{"<aBc>", "[ac]"}}},
      {"a capture after the wildcard", "\"a\\*b\\?\" \"\\?\"\n", {{"axyzbq", "q"}}},
      {"an empty wildcard text", "\"a\\*b\" \"[\\*]\"\n", {{"ab", "[]"}}},
      {"escapes without meaning", "\"x\" \"\\\\\\q\\%a\"\n", {{"x", "\\q%a"}}},
      {"a backslash keeps a percent sign and a reference as text",
       "\"\\%a\" \"\\&#37;a\"\n",
       {{"%a %b", "&#37;a %b"}}},
      {"a percent sign ending the replacement", "\"x\" \"50%\"\n", {{"x", "50%"}}},
      {"byte 255", "\"y\" \"&#255;\"\n", {{"y", "\xFF"}}},
  });
}

TEST(Substitute, OutputLeavesInPiecesAndTheWindowMovesOn) {
  const std::string thousand(1000, 'z');
  const std::string before(499, '.');
  const std::string inside(800, 'q');
  ExpectRuns({
      {"1000 unmatched bytes", "\"ab\" \"X\"\n", {{thousand, thousand}}},
      {"a waiting match across a refill",
       "\"abcd\" \"Z\"\n\"bc\" \"A\"\n",
       {{std::string(498, '.') + "abcx", std::string(498, '.') + "aAx"}}},
      {"a match across a refill", "\"abc\" \"X\"\n", {{before + "abc" + before, before + "X" + before}}},
      {"a match longer than 500", "\"<\\*>\" 1000 \"[\\*]\"\n", {{"<" + inside + ">!", "[" + inside + "]!"}}},
      {"a wildcard that fills the window",
       "\"a\\*c\" 498 \"R\"\n",
       {{"a" + std::string(600, 'x'), "a" + std::string(600, 'x')},
        {"a" + std::string(497, 'x') + "c", "R"},
        {"a" + std::string(499, 'x') + "c", "a" + std::string(499, 'x') + "c"}}},
  });
}

TEST(Substitute, Variables) {
  ClearVariables();
  {
    Substitution save("#CONCAT \", \"\n\"[%A]\" \"\"\n\"(%v)\" \"\"\n\"x\" \"<%a|%V%v>\"\n");
    ASSERT_TRUE(save.opened) << save.StageError();
    EXPECT_EQ(BothPaths(save, "[x](1)"), "");
    EXPECT_EQ(Variable('a'), "x");
    EXPECT_EQ(BothPaths(save, "[y]"), "");  // across runs, appended after the separator
    EXPECT_EQ(Variable('A'), "x, y");
    EXPECT_EQ(BothPaths(save, "(2)x"), "<x, y|>");  // %V removes v before %v reads it
    EXPECT_EQ(Variable('V'), "(unset)");
    EXPECT_EQ(BothPaths(save, "(3)"), "");
    EXPECT_EQ(Variable('V'), "3");
    EXPECT_EQ(BothPaths(save, "()"), "");  // an empty text removes the variable
    EXPECT_EQ(Variable('v'), "(unset)");
  }
  {
    Substitution replace("\"[%a]\" \"\"\n\"x\" \"%x%a%A\"\n");
    ASSERT_TRUE(replace.opened) << replace.StageError();
    EXPECT_EQ(BothPaths(replace, "[y]"), "");
    EXPECT_EQ(Variable('A'), "y");  // %a replaces what %A had appended
    EXPECT_EQ(BothPaths(replace, "x"), "y");
    EXPECT_EQ(Variable('a'), "(unset)");

    char value[] = "X=x&amp;y&#65;&nosuch;&#;;&";
    ASSERT_TRUE(SetVariable(value));
    EXPECT_EQ(BothPaths(replace, "x"), std::string("x&yA&nosuch;\0;&", 15));
  }
  ClearVariables();
}

// A Latin text set: the built-in set's characters under their names, and e acute (233) with its capital.
std::string LatinSet() { return AsciiSetFile(" C9\t4\tEacute\n E9\t3\teacute\n"); }

TEST(SubstituteOpen, ATableAndASetFile) {
  ClearVariables();
  StageInDir<CSubstitute> pipeline;
  pipeline.dir.Write("latin.chs", LatinSet());
  pipeline.dir.Write("accents.sub", "\"[%x]\" \"\"\n\"e'\" \"&eacute;\"\n\"x\" \"<%x>\"\n\"y\\?\" \"\\!\"\n");
  ASSERT_TRUE(pipeline.stage.Open("accents", "latin")) << pipeline.StageError();
  EXPECT_STREQ(pipeline.stage.m_version, "1.0-3.1");
  EXPECT_EQ(pipeline.stage.textset->errsink, &pipeline.stage);
  EXPECT_EQ(pipeline.stage.tblset, BuiltinCharSet());
  EXPECT_EQ(pipeline.stage.windowsize, 500);
  const std::string text = "caf\xE9 [\xE9t\xC9] x e' y\xE9";
  // A saved byte that the table's set lacks is inserted again as it was; case partners come from the
  // text's set.
  EXPECT_EQ(BothPaths(pipeline, text), "caf\xE9  <\xE9t\xC9> \xE9 \xC9");
  ClearVariables();
}

TEST(SubstituteOpen, FailuresLeaveTheStageNotOpened) {
  struct Failure {
    const char *what;
    const char *table;
    const char *set;
    std::string message;
  };
  const std::vector<Failure> failures = {
      {"no table file", "none", "latin", "Can't open "},
      {"no set file", "good", "none", "Can't open "},
      {"a bad table", "bad", "latin", ": Missing quote (\")\n  \"x\n"},
  };
  for (const Failure &f : failures) {
    StageInDir<CSubstitute> pipeline;
    pipeline.dir.Write("latin.chs", LatinSet());
    pipeline.dir.Write("good.sub", "\"a\" \"b\"\n");
    pipeline.dir.Write("bad.sub", "\"x\n");
    EXPECT_FALSE(pipeline.stage.Open(f.table, f.set)) << f.what;
    EXPECT_NE(pipeline.StageError().find(f.message), std::string::npos)
        << f.what << ": " << pipeline.StageError();
    EXPECT_EQ(BothPaths(pipeline, "a"), "failed: Stream: Object was not opened\n") << f.what;
  }
}

TEST(SubstituteRun, OutputLeavesInPiecesOf500Bytes) {
  Substitution substitution("\"ab\" \"X\"\n");
  ASSERT_TRUE(substitution.opened) << substitution.StageError();
  const std::string text(1200, 't');
  substitution.head.Write(text.data(), static_cast<unsigned>(text.size()));
  FailAllocationAt(2);  // the head's second queue block: the second piece fails
  EXPECT_EQ(substitution.head.Close(), 0);
  FailAllocationAt(0);
  EXPECT_EQ(substitution.HeadError(), "Stream: I/O error 12 on stream\n");
  EXPECT_EQ(Drain(substitution.head), std::string(500, 't'));
}

TEST(SubstituteRun, RoomAfterTheWindowIsBoundedAndNeverOverflows) {
  const struct {
    int window;
    int room;
  } cases[] = {
      {500, 500},            // as much again
      {1 << 20, 1 << 20},    // up to a megabyte
      {5 << 20, 1 << 20},    // never more
      {INT_MAX - 100, 100},  // the whole buffer fits an int
      {INT_MAX, 0},          // a window of the largest limit moves back on each move
  };
  for (const auto &c : cases) EXPECT_EQ(SubstitutionRun::RoomAfterWindow(c.window), c.room) << c.window;
}

TEST(Substitute, VariableLengthLimit) {
  ClearVariables();
  Substitution limit("\"[%y]\" 5000 \"\"\n\"{%Y}\" 5000 \"\"\n");
  ASSERT_TRUE(limit.opened) << limit.StageError();
  const std::string longest(4093, 'v');
  EXPECT_EQ(BothPaths(limit, "[" + longest + "]{}"), "");
  EXPECT_EQ(Variable('y'), longest);
  EXPECT_EQ(BothPaths(limit, "[" + longest + "w]"), "failed: Stream: Environment string too long\n");
  EXPECT_EQ(Variable('y'), longest);                                                    // kept
  EXPECT_EQ(BothPaths(limit, "{w}"), "failed: Stream: Environment string too long\n");  // old value and text
  std::string tooLong = "Y=" + longest + "v";
  ASSERT_TRUE(SetVariable(&tooLong[0]));
  EXPECT_EQ(BothPaths(limit, "{}"), "failed: Stream: Environment string too long\n");  // the old value alone
  ClearVariables();
}

// A text set without "\\", "%", "*", "<" or ">" maps them all to one code, so a variable's wildcard can
// read as a parameter and fire without ever taking text: the variable is then set to the empty text.
TEST(Substitute, AVariableWhoseWildcardWasNeverEntered) {
  ClearVariables();
  StageInDir<CSubstitute> stage;
  stage.dir.Write("table.sub", "\"<%L>\" 5000 \"\"\n");
  stage.dir.Write("tiny.chs", "038\tB\tamp\n059\tE\tsemi\n048\t\t0\n");
  ASSERT_TRUE(stage.stage.Open("table", "tiny")) << stage.StageError();
  EXPECT_EQ(BothPaths(stage, "<" + std::string(5000, '0') + ">").find("failed"), std::string::npos);
  EXPECT_EQ(Variable('L'), "(unset)");
  ClearVariables();
}

}  // namespace

// A text set that lacks the table's backslash, "+" and "-" gives the codes of an escaped letter and of
// those wildcards one value: the pattern "a\?" then begins with what the matcher reads as a wildcard,
// which may take nothing, so the entry matches on the one byte its second unit names. An index of the
// bytes an entry can begin with must allow for it.
TEST(Substitute, APatternThatBeginsWithAWildcardCodeMatchesOnItsSecondUnit) {
  StageInDir<CSubstitute> pipeline;
  CCharSet *textSet = new (std::nothrow) CCharSet;  // loaded for the stage, which then owns it
  ASSERT_EQ(
      pipeline.LoadSet(*textSet, "odd", "033\t\texcl\n038\t\tamp\n042\t\tast\n046\t\tperiod\n053\t\tquest\n"),
      1);
  pipeline.dir.Write("table.sub", "\"a\\?\" \"\"\n");
  ASSERT_EQ(pipeline.stage.Open("table", textSet, BuiltinCharSet()), 1) << pipeline.StageError();
  EXPECT_EQ(BothPaths(pipeline, "5&"), "&");  // the wildcard takes nothing
  EXPECT_EQ(BothPaths(pipeline, "&&5"), "");  // or what comes before the "5"
  EXPECT_EQ(BothPaths(pipeline, "55&"), "&");
}
