// The engine as a client program sees it: only the exported interface of the shared library, with
// the class records and the about text imported from it.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "engine/charset/charset.h"
#include "engine/charset/conv_tbl.h"
#include "engine/charset/convert.h"
#include "engine/stream/about.h"
#include "engine/stream/stream.h"
#include "engine/subst/subst_tbl.h"
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
  EXPECT_EQ(CRuntimeClass::Find("CCharSet"), &CCharSet::classCCharSet);
  EXPECT_EQ(CRuntimeClass::Find("CConvTbl"), &CConvTbl::classCConvTbl);
  EXPECT_EQ(CRuntimeClass::Find("CSubstTbl"), &CSubstTbl::classCSubstTbl);
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

}  // namespace
