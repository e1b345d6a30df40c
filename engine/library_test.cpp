// The engine as a client program sees it: only the exported interface of the shared library, with
// the class records and the about text imported from it.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "engine/charset/charset.h"
#include "engine/charset/conv_tbl.h"
#include "engine/charset/convert.h"
#include "engine/charset/utf8_convert.h"
#include "engine/stream/about.h"
#include "engine/stream/stream.h"
#include "engine/subst/subst_tbl.h"
#include "engine/subst/substitute.h"
#include "tests/support/temp_dir.h"

namespace {

TEST(Library, AboutTextNamesProductAndEdition) {
  const char *first = AboutMsg();
  EXPECT_STREQ(first, "Runeflow 3.0\nCobbleway edition\n");
  EXPECT_EQ(AboutMsg(), first);  // one buffer, rebuilt by each call
}

TEST(Library, ClassRecordsAreSharedWithClients) {
  EXPECT_EQ(CRuntimeClass::Find("CStream"), &CStream::classCStream);
  EXPECT_EQ(CRuntimeClass::Find("CStreamObj"), &CStreamObj::classCStreamObj);
  EXPECT_EQ(CRuntimeClass::Find("CConvert"), &CConvert::classCConvert);
  EXPECT_EQ(CRuntimeClass::Find("CUtf8Convert"), &CUtf8Convert::classCUtf8Convert);
  EXPECT_EQ(CRuntimeClass::Find("CCharSet"), &CCharSet::classCCharSet);
  EXPECT_EQ(CRuntimeClass::Find("CConvTbl"), &CConvTbl::classCConvTbl);
  EXPECT_EQ(CRuntimeClass::Find("CSubstTbl"), &CSubstTbl::classCSubstTbl);
  EXPECT_EQ(CRuntimeClass::Find("CSubstitute"), &CSubstitute::classCSubstitute);
  std::unique_ptr<CObject> object(CStream::classCStream.CreateObject());
  ASSERT_NE(object, nullptr);
  EXPECT_EQ(object->GetRuntimeClass(), &CStream::classCStream);
}

TEST(Library, APipelineRunsThroughTheExportedInterface) {
  CStream head;
  CStreamObj stage;
  head.Add(&stage);
  ASSERT_TRUE(head.Open(nullptr) && stage.Open());
  std::string text(1500, 'z');
  head.Write(text.data(), static_cast<unsigned>(text.size()));
  ASSERT_TRUE(head.Close());
  EXPECT_EQ(stage.GetLength(), 1500u);
  EXPECT_FALSE(head.ReadFile("no-such-file.txt"));
  EXPECT_STREQ(head.m_errText, "Stream: Can't open no-such-file.txt\n");
  EXPECT_STREQ(head.m_version, "1.0-1.0");
}

TEST(Library, SetsTablesAndTheConversionStageWorkThroughTheExportedInterface) {
  TempDir dir;
  dir.Write("latin.chs", "038\tB\tamp\n059\tE\tsemi\n035\tN\tnum\n101\t\te\n233\t\teacute\n");
  dir.Write("other.chs", "038\tB\tamp\n059\tE\tsemi\n035\tN\tnum\n101\t\te\n142\t\teacute\n");
  CStream head;
  CConvert convert;
  head.Add(&convert);
  ASSERT_TRUE(head.Open(dir.Path().c_str()));
  ASSERT_TRUE(convert.Open("latin", "other")) << convert.m_errText;
  head.Write("e\xE9&eacute;&#233;\x01", 17);
  ASSERT_TRUE(head.Close());
  char result[32];
  EXPECT_EQ(std::string(result, head.Read(result, sizeof result)), "e\x8E\x8E\x8E&#1;");
  EXPECT_STREQ(convert.m_version, "1.0-3.0");

  // A table written in one of the stage's sets, for a text in the other.
  dir.Write("accents.sub", "\"e\" \"&eacute;\"\n");
  CSubstTbl table;
  ASSERT_TRUE(table.Open(&convert, "accents", convert.to, convert.from)) << convert.m_errText;
  ASSERT_EQ(table.count, 1);
  EXPECT_STREQ(table.entries[0].from, "e");
  EXPECT_STREQ(table.entries[0].to, "\x8E");
}

// UTF-8 in, through a set and a conversion into another set, and UTF-8 out again.
TEST(Library, TheUtf8StageWorksThroughTheExportedInterface) {
  TempDir dir;
  dir.Write("latin.chs",
            "038\tB\tamp\n059\tE\tsemi\n035\tN\tnum\n101\t\te\n117\t\tu\n114\t\tr\n111\t\to\n"
            "233\t\teacute\n");
  dir.Write("other.chs",
            "038\tB\tamp\n059\tE\tsemi\n035\tN\tnum\n101\t\te\n117\t\tu\n114\t\tr\n111\t\to\n"
            "142\t\teacute\n");
  CStream head;
  CUtf8Convert in, out;
  CConvert convert;
  head.Add(&in);
  head.Add(&convert);
  head.Add(&out);
  ASSERT_TRUE(head.Open(dir.Path().c_str()));
  ASSERT_TRUE(in.Open(kUtf8, "latin")) << in.m_errText;
  ASSERT_TRUE(convert.Open("latin", "other")) << convert.m_errText;
  ASSERT_TRUE(out.Open("other", kUtf8)) << out.m_errText;
  head.Write("e\xC3\xA9\xE2\x82\xAC", 6);
  ASSERT_TRUE(head.Close()) << head.m_errText;
  char result[32];
  EXPECT_EQ(std::string(result, head.Read(result, sizeof result)), "e\xC3\xA9\xE2\x82\xAC");
  EXPECT_STREQ(in.m_version, "1.0-3.2");
  head.Write("\xC3", 1);
  EXPECT_FALSE(head.Close());
  EXPECT_STREQ(head.m_errText, "Stream: Invalid UTF-8 at byte offset 0: sequence cut short\n");
}

// The system's typical pipeline: references resolved by a conversion stage with one set on both sides,
// then three substitution stages, each with its own table and that set. The first table keeps the title
// in a variable that the third one inserts.
TEST(Library, TheTypicalPipelineRunsEndToEnd) {
  TempDir dir;
  std::string latin = "#BASE 16\n 26\tB\tamp\n 3B\tE\tsemi\n 23\tN\tnum\n 0A\t\tLF\n 20\t\tspace\n";
  const char *punctuation[][2] = {{"2A", "ast"},  {"5C", "bsol"},   {"3F", "quest"}, {"25", "percnt"},
                                  {"3C", "lt"},   {"3E", "gt"},     {"2F", "sol"},   {"3A", "colon"},
                                  {"21", "excl"}, {"2E", "period"}, {"2B", "plus"},  {"2D", "hyphen"},
                                  {"5E", "circ"}, {"5B", "lsqb"},   {"5D", "rsqb"}};
  for (const auto &p : punctuation) latin += std::string(" ") + p[0] + "\t\t" + p[1] + "\n";
  for (char c = 'a'; c <= 'z'; ++c) {
    char lines[32];
    std::snprintf(lines, sizeof lines, " %X\t4\t%c\n %X\t3\t%c\n", c - 32, c - 32, c, c);
    latin += lines;
  }
  for (char c = '0'; c <= '9'; ++c) latin += std::string(" 3") + c + "\t\t" + c + "\n";
  dir.Write("latin.chs", latin + " C9\t4\tEacute\n E9\t3\teacute\n");
  dir.Write("title.sub", "! the title goes into variable t\n\"<title>%t</title>\" 60 &LF; \"\"\n");
  dir.Write("names.sub", "\"name: \\?\" \"Name: \\!\"\n\"\\? eur\" \"\\? EUR\"\n");
  dir.Write("footer.sub", "\"price:\" \"%t price:\"\n\"<\\*>\" &LF; \"[\\+]\"\n");

  CStream head;
  CConvert convert;
  CSubstitute stages[3];
  head.Add(&convert);
  for (CSubstitute &stage : stages) head.Add(&stage);
  ASSERT_TRUE(head.Open(dir.Path().c_str()));
  ASSERT_TRUE(convert.Open("latin", "latin")) << convert.m_errText;
  const char *tables[] = {"title", "names", "footer"};
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(stages[i].Open(tables[i], "latin")) << stages[i].m_errText;
  EXPECT_STREQ(stages[0].m_version, "1.0-3.1");

  const std::string text = "<title>Caf&eacute; Menu</title>\nname: bob\nprice: 3 eur <note>\n";
  head.Write(text.data(), static_cast<unsigned>(text.size()));
  ASSERT_TRUE(head.Close()) << head.m_errText;
  char result[128];
  EXPECT_EQ(std::string(result, head.Read(result, sizeof result)),
            "\nName: Bob\nCaf\xE9 Menu price: 3 EUR [NOTE]\n");
  EXPECT_STREQ(std::getenv("T"), "Caf\xE9 Menu");  // the host program sees the variable
}

}  // namespace
