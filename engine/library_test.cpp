// The engine as a client program sees it: only the exported interface of the shared library, with
// the class records and the about text imported from it.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "engine/stream/about.h"
#include "engine/stream/stream.h"

namespace {

TEST(Library, AboutTextNamesProductAndEdition) {
  const char *first = AboutMsg();
  EXPECT_STREQ(first, "Runeflow 3.0\nCobbleway edition\n");
  EXPECT_EQ(AboutMsg(), first);  // one buffer, rebuilt by each call
}

TEST(Library, ClassRecordsAreSharedWithClients) {
  EXPECT_EQ(CRuntimeClass::Find("CStream"), &CStream::classCStream);
  EXPECT_EQ(CRuntimeClass::Find("CStreamObj"), &CStreamObj::classCStreamObj);
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

}  // namespace
