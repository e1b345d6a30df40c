// Loading substitution tables: quoted strings, directives and aliases, the fields of an entry line, the
// compiled form of patterns and replacements, every refusal with its message, and the table's limits.
#include "engine/subst/subst_tbl.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "engine/charset/builtin_charset.h"
#include "engine/charset/read_line.h"
#include "engine/subst/entry_dump.h"
#include "tests/support/line_report.h"
#include "tests/support/stage_in_dir.h"

namespace {

const char kSinkPrefix[] = "StreamObj: ";

// A table file in a head stream's directory, loaded with a plain stage as error sink, written in the
// built-in set and (unless a set is given) for a text in the built-in set.
struct TableLoad : StageInDir<CStreamObj> {
  int Load(const std::string &text, CCharSet *textSet = nullptr) {
    dir.Write("table.sub", text);
    return table.Open(&stage, "table", textSet != nullptr ? textSet : BuiltinCharSet(), BuiltinCharSet());
  }
  std::string Path() const { return dir.File("table.sub"); }
  // The error text after the sink's prefix and the table's path.
  std::string Message() const {
    const std::string prefix = kSinkPrefix + Path();
    const std::string error = StageError();
    return error.rfind(prefix, 0) == 0 ? error.substr(prefix.size()) : "unexpected: " + error;
  }
  std::string Entry(int index) const { return DumpEntry(table, table.entries[index]); }
  CSubstTbl table;
};

struct Compiled {
  const char *what;
  std::string line;  // one entry line, without its line feed
  std::string dump;
};

TEST(SubstTblCompile, EntriesCompileToTheirByteForms) {
  const std::string longest(127, 'p');
  const std::vector<Compiled> cases = {
      {"plain strings", R"("foo" "bar")", R"("foo" "bar")"},
      {"escaped quote", R"("a\"b" "\"")", R"("a"b" """)"},
      {"127 characters", "\"" + longest + "\" \"x\"", "\"" + longest + "\" \"x\""},
      {"wildcard with a subset", R"("a\3*b" "[\*]")", R"("a\3*b" "[\*]" wsubset=3)"},
      {"plus wildcard, then a digit", R"("a\+5b" "\-")", R"("a\5+5b" "\-" wsubset=5)"},
      {"subset in the replacement", R"("a\-b" "\4*")", R"("a\-b" "\*" to_subset=4)"},
      {"captures with subsets", R"("\?\3?\." "\>\?\<\?")", R"("\?\3?\." "\>\?\<\?")"},
      {"captures counted after the last <", R"("\?\?" "\?\?\<\?")", R"("\?\?" "\?\?\<\?")"},
      {"given back", R"("\2<abc" "x")", R"("abc" "x" back=2)"},
      {"given back one at a time", R"("a\<b\<" "x")", R"("ab" "x" back=2)"},
      {"variable wildcard, upper case", R"("a%Ab" "%a")", R"("a\*b" "%a" var=A)"},
      {"variable wildcard, lower case", R"("a%ab" "\%a")", R"("a\*b" "\%a" var=a)"},
      {"percent sign ending a string", R"("50%" "x%")", R"("50%" "x%")"},
      {"literal backslash", R"("a\\b" "\\")", R"("a\\b" "\\")"},
      {"letter without escape meaning", R"("\q" "\q")", R"("\q" "\q")"},
      {"zero before such a letter", R"("\0q" "x")", R"("\0q" "x")"},
      {"backslash before %, & or ;", R"("\%a\&amp;\;" "\&#37;a")", R"("\%a\&amp;\;" "\&#37;a")"},
      {"number before < in a replacement", R"("a\?" "\2<\?")", R"("a\?" "\<\?")"},
      {"group that enables itself", R"("\3[a" "b\4[\5]")", R"("a" "b" group=8 state=2 after=2 on=16 off=32)"},
      {"group that disables itself", R"("\]a" "b\]")", R"("a" "b" group=1 state=2 after=1 off=1)"},
      {"stop", R"("end" "\^")", R"("end" "" stop=1)"},
      {"numeric reference", R"("&#65;&#66;" "&#67;")", R"("AB" "C")"},
      {"named references", R"("&amp;&semi;&lt;" "&quot;")", R"("&;<" """)"},
      {"five-character number is a name", R"("&#1234;" "x")", R"("&#1234;" "x")"},
      {"beyond a byte", R"("&#256;" "x")", R"("&#256;" "x")"},
      {"reference to NUL", R"("a&#;b&#0;" "x")", R"("a&#;b&#0;" "x")"},
      {"unknown name", R"("&nosuch;" "x")", R"("&nosuch;" "x")"},
      {"unterminated reference", R"("&abc" "x")", R"("&abc" "x")"},
      {"lone end character", R"("a;" "x")", R"("a;" "x")"},
      {"reference to the backslash", R"("a&bsol;*" "&#92;")", R"("a\\*" "\\")"},
      {"reference to the percent sign", R"("&#37;a" "&percnt;a")", R"("%a" "\%a")"},
      {"wildcard limit given", R"("a\*b" 7 "x")", R"("a\*b" "x" wmax=7)"},
      {"wildcard limit 0", R"("a\*b" 0 "x")", R"("a\*b" "x")"},
      {"negative wildcard limit", R"("a\*b" -3 "x")", R"("a\*b" "x" wmax=-3)"},
      {"limit and replacement without blanks", R"("a\*b""x")", R"("a\*b" "x")"},
      {"subset terminator", R"("<\*>" 20 &*31; "[\*]")", R"("<\*>" "[\*]" wmax=20 term=-31)"},
      {"subset 0 is no terminator", R"("<\*>" &*; "x")", R"("<\*>" "x")"},
      {"character terminator", R"("<\*>" &amp; "x")", R"("<\*>" "x" term=38)"},
      {"the last terminator counts", R"("<\*>" &*3; &semi;xyz "x")", R"("<\*>" "x" term=59)"},
      {"field not beginning with &", R"("<\*>" 5&amp; "x")", R"("<\*>" "x" wmax=5)"},
      {"indented line", R"(   "a" "b")", R"("a" "b")"},
      {"#ALIAS without its blank", "#ALIAS\t\"\\a\" \"x\"", R"("\a" "x")"},
  };
  for (const Compiled &c : cases) {
    TableLoad load;
    ASSERT_EQ(load.Load(c.line + "\n"), 1) << c.what << ": " << load.StageError();
    ASSERT_EQ(load.table.count, 1) << c.what;
    EXPECT_EQ(load.Entry(0), c.dump) << c.what;
  }
}

struct Refused {
  const char *what;
  std::string file;
  std::string message;  // after the sink's prefix and the table's path
};

TEST(SubstTblCompile, RefusesBadLinesWithTheirMessages) {
  const std::string tooLong(128, 'p');
  std::string aliases;
  for (int n = 0; n < 20; ++n) aliases += "#ALIAS \"\\a" + std::to_string(n) + "\" \"x\"\n";
  std::string entries;
  for (int n = 0; n < 600; ++n) entries += "\"e" + std::to_string(n) + "\" \"x\"\n";
  const std::vector<Refused> cases = {
      {"no replacement", "\"abc\"\n", ": Missing quote (\")\n  \"abc\"\n\n"},
      {"blanks only", "   \n", ": Missing quote (\")\n     \n\n"},
      {"tab before the replacement", "\"a\"\t\"b\"\n", ": Missing quote (\")\n  \"a\"\t\"b\"\n\n"},
      {"replacement glued to a field", "\"a\" 5\"b\"\n", ": Missing quote (\")\n  \"a\" 5\"b\"\n\n"},
      {"unterminated pattern", "\"abc\\\"\n", ": Missing quote (\")\n  \"abc\\\"\n\n"},
      {"backslash before the quote", "\\\"a\" \"b\"\n", ": Missing quote (\")\n  \\\"a\" \"b\"\n\n"},
      {"last line without line end", "\"abc\"", ": Missing quote (\")\n  \"abc\"\n"},
      {"CR LF line end", "\"abc\"\r\n", ": Missing quote (\")\n  \"abc\"\n\n"},
      {"128 characters", "\"" + tooLong + "\" \"x\"\n",
       ": String too long.\n  \"" + tooLong + "\" \"x\"\n\n"},
      {"alias without a backslash", "#ALIAS \"a\" \"x\"\n",
       ": Illegal alias \"a\"\n  #ALIAS \"a\" \"x\"\n\n"},
      {"alias of the wildcard", "#ALIAS \"\\*\" \"x\"\n",
       ": Illegal alias \"\\*\"\n  #ALIAS \"\\*\" \"x\"\n\n"},
      {"alias of the backslash", "#ALIAS \"\\\\\" \"x\"\n",
       ": Illegal alias \"\\\\\"\n  #ALIAS \"\\\\\" \"x\"\n\n"},
      {"alias value of 20", "#ALIAS \"\\a\" \"12345678901234567890\"\n",
       ": String too long.\n  #ALIAS \"\\a\" \"12345678901234567890\"\n\n"},
      {"alias without value", "#ALIAS \"\\a\"\n", ": Missing quote (\")\n  #ALIAS \"\\a\"\n\n"},
      {"21st alias", aliases + "#ALIAS \"\\b\" \"y\"\n",
       ": Alias table is longer than 20\n  #ALIAS \"\\b\" \"y\"\n\n"},
      {"separator of 100", "#CONCAT \"" + std::string(100, ',') + "\"\n",
       ": String too long.\n  #CONCAT \"" + std::string(100, ',') + "\"\n\n"},
      {"601st entry", entries + "\"last\" \"x\"\n",
       ": Substitution table is longer than 600\n  \"last\" \"x\"\n\n"},
      {"wildcard subset 32", "\"a\\32*b\" \"x\"\n",
       ": Illegal parameter: 32 (Max 31)\n  \"a\\32*b\" \"x\"\n\n"},
      {"huge number", "\"a\\99999999999*b\" \"x\"\n",
       ": Illegal parameter: 2147483647 (Max 31)\n  \"a\\99999999999*b\" \"x\"\n\n"},
      {"negative number", "\"a\\-5b\" \"x\"\n", ": Illegal parameter: -5 (Max 31)\n  \"a\\-5b\" \"x\"\n\n"},
      {"group 32", "\"\\32[a\" \"x\"\n", ": Illegal parameter: 32 (Max 31)\n  \"\\32[a\" \"x\"\n\n"},
      {"number before !", "\"a\\5!\" \"x\"\n", ": Parameter not allowed: 5\n  \"a\\5!\" \"x\"\n\n"},
      {"number before > in a replacement", "\"a\\?\" \"\\2>\"\n",
       ": Parameter not allowed: 2\n  \"a\\?\" \"\\2>\"\n\n"},
      {"> in a pattern", "\"a\\>\" \"x\"\n", ": \"\\>\" not allowed\n  \"a\\>\" \"x\"\n\n"},
      {"^ in a pattern", "\"a\\^\" \"x\"\n", ": \"\\^\" not allowed\n  \"a\\^\" \"x\"\n\n"},
      {"two wildcards", "\"a\\*b\\+c\" \"x\"\n", ": Multiple \"\\*\" not allowed\n  \"a\\*b\\+c\" \"x\"\n\n"},
      {"wildcard after a variable", "\"a%Ab\\*c\" \"x\"\n",
       ": Multiple \"\\*\" not allowed\n  \"a%Ab\\*c\" \"x\"\n\n"},
      {"variable after a wildcard", "\"a\\*b%Bc\" \"x\"\n",
       ": Multiple \"%A\" not allowed\n  \"a\\*b%Bc\" \"x\"\n\n"},
      {"two wildcards in a replacement", "\"a\\*b\" \"\\*\\*\"\n",
       ": Multiple \"\\*\" not allowed\n  \"a\\*b\" \"\\*\\*\"\n\n"},
      {"[ then ]", "\"\\[a\\]\" \"x\"\n", ": \"\\]\" not allowed\n  \"\\[a\\]\" \"x\"\n\n"},
      {"] then [", "\"\\]a\\[\" \"x\"\n", ": \"\\[\" not allowed\n  \"\\]a\\[\" \"x\"\n\n"},
      {"two [", "\"\\[a\\2[\" \"x\"\n", ": multiple \"\\[\" not allowed\n  \"\\[a\\2[\" \"x\"\n\n"},
      {"two ]", "\"\\]a\\]\" \"x\"\n", ": multiple \"\\]\" not allowed\n  \"\\]a\\]\" \"x\"\n\n"},
      {"wildcard first", "\"\\*abc\" \"x\"\n",
       ": From string can't start with \"\\*\" or \"%A\"\n  \"\\*abc\" \"x\"\n\n"},
      {"wildcard alone", "\"\\*\" \"x\"\n",
       ": From string can't start with \"\\*\" or \"%A\"\n  \"\\*\" \"x\"\n\n"},
      {"wildcard last", "\"abc\\+\" \"x\"\n", ": From string can't end with \"\\*\"\n  \"abc\\+\" \"x\"\n\n"},
      {"variable last", "\"abc%A\" \"x\"\n", ": From string can't end with \"%A\"\n  \"abc%A\" \"x\"\n\n"},
      {"replacement wildcard only", "\"abc\" \"x\\*\"\n",
       ": From string doesn't have \"\\*\"\n  \"abc\" \"x\\*\"\n\n"},
      {"more captures than the pattern", "\"\\?\\?\" \"\\?\\?\\?\"\n",
       ": To string has too many \"\\?\"\n  \"\\?\\?\" \"\\?\\?\\?\"\n\n"},
      {"skips count as captures", "\"\\?\" \"\\>\\?\"\n",
       ": To string has too many \"\\?\"\n  \"\\?\" \"\\>\\?\"\n\n"},
      {"subset terminator 32", "\"(\\*)\" &*32; \"x\"\n",
       ": Invalid Subset in structure terminator\n  \"(\\*)\" &*32; \"x\"\n\n"},
      {"negative subset terminator", "\"(\\*)\" &*-1; \"x\"\n",
       ": Invalid Subset in structure terminator\n  \"(\\*)\" &*-1; \"x\"\n\n"},
      {"terminator the text set lacks", "\"(\\*)\" &eacute; \"x\"\n",
       ": Structure terminator char not in character set\n  \"(\\*)\" &eacute; \"x\"\n\n"},
      {"unterminated terminator", "\"(\\*)\" &*3 \"x\"\n",
       ": Illegal structure terminator char\n  \"(\\*)\" &*3 \"x\"\n\n"},
      {"terminator name of 32", "\"(\\*)\" &" + std::string(32, 'n') + "; \"x\"\n",
       ": Illegal structure terminator char\n  \"(\\*)\" &" + std::string(32, 'n') + "; \"x\"\n\n"},
      {"alias expansion reaching 128", "#ALIAS \"\\a\" \"xyz\"\n\"" + std::string(125, 'p') + "\\a\" \"x\"\n",
       ": String too long (Max 128)\n  \"" + std::string(125, 'p') + "\\a\" \"x\"\n\n"},
  };
  for (const Refused &c : cases) {
    TableLoad load;
    EXPECT_EQ(load.Load(c.file), 0) << c.what;
    EXPECT_EQ(load.Message(), c.message) << c.what;
  }
}

TEST(SubstTblCompile, AliasesExpandInLaterPatternsOnly) {
  TableLoad load;
  ASSERT_EQ(load.Load("\"1\\a2\" \"x\"\n"
                      "#ALIAS \"\\a\" \"xy\"\n"
                      "#ALIAS \"\\ab\" \"never\"\n"
                      "#ALIAS  \"\\!\"  \"[!]\"\n"
                      "#ALIAS \"\\L\" \"\\5?\"\n"
                      "\"1\\a2\" \"\\a\"\n"
                      "\"\\ab\" \"x\"\n"
                      "\"\\\\a\" \"x\"\n"
                      "\"x\\!\" \"x\"\n"
                      "\"\\L\\L\\L\" \"\\?\\?\\?\"\n"),
            1)
      << load.StageError();
  const std::vector<std::string> dumps = {
      R"("1\a2" "x")",            // defined below this line
      R"("1xy2" "\a")",           // not expanded in a replacement
      R"("xyb" "x")",             // the first alias defined wins
      R"("\xy" "x")",             // the second backslash of "\\" starts an alias
      R"("x[!]" "x")",            // an alias takes the place of an escape
      R"("\5?\5?\5?" "\?\?\?")",  // the expansion outgrows the string as written
  };
  ASSERT_EQ(load.table.count, static_cast<int>(dumps.size()));
  for (size_t index = 0; index < dumps.size(); ++index)
    EXPECT_EQ(load.Entry(static_cast<int>(index)), dumps[index]) << index;
  EXPECT_EQ(load.table.aliases, nullptr);  // aliases live only while the file is read
  EXPECT_EQ(load.table.strbuf, nullptr);
}

TEST(SubstTblLoad, DirectivesSwitchesAndLimits) {
  TableLoad directivesOnly;
  ASSERT_EQ(directivesOnly.Load("! a comment\n\n#CONCAT \"; \"\n#ALIAS \"\\a\" \"b\"\n#CONCAT \", \\n\"\r\n"),
            1);
  EXPECT_EQ(directivesOnly.table.count, 0);
  EXPECT_STREQ(directivesOnly.table.concat, ", \\n");  // raw, the later one replacing the earlier
  EXPECT_EQ(directivesOnly.table.dropunmatched, 0);

  std::string full = "\"\\*\" \"\"\n";
  for (int n = 0; n < 20; ++n) full += "#ALIAS \"\\a" + std::to_string(n) + "\" \"x\"\n";
  for (int n = 0; n < 600; ++n) full += "\"e" + std::to_string(n) + "\" \"x\"\n";
  TableLoad limits;
  ASSERT_EQ(limits.Load(full), 1) << limits.StageError();
  EXPECT_EQ(limits.table.count, 600);  // the switch takes no entry
  EXPECT_EQ(limits.table.dropunmatched, 1);
  EXPECT_EQ(limits.Entry(0), R"("e0" "x")");
}

TEST(SubstTblLoad, CommentsMayBeLongerThanOtherLines) {
  // The tail of a long comment would read as an entry if the comment were cut.
  TableLoad comment;
  ASSERT_EQ(comment.Load("!" + std::string(300, ' ') + "\"a\" \"b\"\n!" + std::string(9000, '"') +
                         "\n\"c\" \"d\"\n"),
            1)
      << comment.StageError();
  EXPECT_EQ(comment.table.count, 1);
  EXPECT_EQ(comment.Entry(0), R"("c" "d")");

  const std::string longest = "\"a\"" + std::string(kLineMax - 6, ' ') + "\"b\"";
  TableLoad whole;
  ASSERT_EQ(whole.Load(longest + "\n"), 1) << whole.StageError();
  EXPECT_EQ(whole.Entry(0), R"("a" "b")");

  TableLoad entry;
  EXPECT_EQ(entry.Load("\"x\" \"y\"\n" + longest + " \n"), 0);
  EXPECT_TRUE(ShowsLine(entry.StageError(),
                        kSinkPrefix + entry.Path() + ": Line 2 is longer than 255 characters\n", longest));
  TableLoad alias;
  EXPECT_EQ(alias.Load("#ALIAS \"\\a\"" + std::string(300, ' ') + "\"b\"\n"), 0);
  EXPECT_EQ(alias.Message().rfind(": Line 1 is longer than 255 characters\n  #ALIAS ", 0), 0u)
      << alias.Message();
}

TEST(SubstTblLoad, OpeningAgainStartsOver) {
  TableLoad load;
  ASSERT_EQ(load.Load("\"\\*\" \"\"\n\"a\" \"b\"\n\"c\" 90 \"d\"\n\"bad\"\n"), 0);
  EXPECT_EQ(load.table.count, 2);
  load.dir.Write("other.sub", "\"x\" \"y\"\n");
  ASSERT_EQ(load.table.Open(&load.stage, "other", BuiltinCharSet(), BuiltinCharSet()), 1);
  EXPECT_EQ(load.table.count, 1);
  EXPECT_EQ(load.table.dropunmatched, 0);
  EXPECT_EQ(load.table.maxmatch, 41);
  EXPECT_EQ(load.Entry(0), R"("x" "y")");
}

TEST(SubstTblLoad, MaxmatchIsTheLongestMatchAnyEntryMayNeed) {
  TableLoad load;
  ASSERT_EQ(load.Load("\"abc\" \"x\"\n\"a\\*b\" 100 \"x\"\n\"a%Ab\" 10 \"x\"\n\"\\?\\\\\" 1 \"x\"\n"), 1);
  EXPECT_EQ(load.table.maxmatch, 102);  // 100 + 4 bytes - the wildcard's weight 2
  TableLoad huge;
  ASSERT_EQ(huge.Load("\"a\\*b\" 99999999999 \"x\"\n"), 1);
  EXPECT_EQ(huge.table.maxmatch, INT_MAX);
}

TEST(SubstTblLoad, InitStateResetsEveryEntry) {
  TableLoad load;
  ASSERT_EQ(load.Load("\"\\3[a\" \"b\"\n\"c\" \"d\"\n"), 1);
  for (int index = 0; index < 2; ++index) {
    sub_struct &e = load.table.entries[index];
    e.state = 1;
    e.start = -5;
    e.pi = 3;
    e.wc = 2;
  }
  load.table.InitState();
  EXPECT_EQ(load.Entry(0), R"("a" "b" group=8 state=2 after=2)");
  EXPECT_EQ(load.Entry(1), R"("c" "d")");
}

TEST(SubstTblLoad, CompiledStringsHoldTextSetBytes) {
  TableLoad load;
  CCharSet text;
  ASSERT_EQ(load.LoadSet(text, "text",
                         "038\tB\tamp\n059\tE\tsemi\n035\tN\tnum\n"
                         "200\t\ta\n201\t\tast\n202\t\tbsol\n203\t\tb\n233\t3\teacute\n"),
            1)
      << load.StageError();
  ASSERT_EQ(load.Load("\"a\\*b\" &eacute; \"&eacute;\\*\"\n\"x\" \"&#233;\"\n", &text), 1)
      << load.StageError();
  EXPECT_EQ(load.table.c_esc, 202);
  EXPECT_EQ(load.table.c_star, 201);
  EXPECT_EQ(load.table.c_query, 0xFE);  // the text set has no question mark
  EXPECT_EQ(std::string(load.table.entries[0].from), "\xC8\xCA\xC9\xCB");
  EXPECT_EQ(load.Entry(0), R"("{C8}\*{CB}" "{E9}\*" term=233)");
  EXPECT_EQ(load.Entry(1), R"("{FE}" "{E9}")");  // "x" has no counterpart
}

TEST(SubstTblLoad, RefusesWhatItCannotRead) {
  TableLoad absent;
  EXPECT_EQ(absent.table.Open(&absent.stage, "absent", BuiltinCharSet(), BuiltinCharSet()), 0);
  EXPECT_EQ(absent.StageError(),
            kSinkPrefix + std::string("Can't open ") + absent.dir.File("absent.sub") + "\n");

  TableLoad illegal;
  EXPECT_EQ(
      illegal.table.Open(&illegal.stage, std::string(300, 'n').c_str(), BuiltinCharSet(), BuiltinCharSet()),
      0);
  EXPECT_EQ(illegal.StageError(),
            (kSinkPrefix + std::string("Illegal file name: ") + std::string(300, 'n')).substr(0, 250));

  TableLoad noSet;
  EXPECT_EQ(noSet.table.Open(&noSet.stage, "table", nullptr, BuiltinCharSet()), 0);
  EXPECT_EQ(noSet.StageError(), "StreamObj: CSubstTbl: Missing character set\n");
#ifndef _WIN32
  TableLoad folder;
  std::filesystem::create_directory(folder.dir.File("folder.sub"));  // opens, but every read fails
  EXPECT_EQ(folder.table.Open(&folder.stage, "folder", BuiltinCharSet(), BuiltinCharSet()), 0);
  EXPECT_EQ(folder.StageError().rfind("StreamObj: I/O error ", 0), 0u) << folder.StageError();
#endif
}

}  // namespace
