// Run-time class records: names, bases, factories and the class list, which error texts and the end of
// a pipeline depend on.
#include "engine/stream/runtime_class.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "engine/charset/charset.h"
#include "engine/charset/conv_tbl.h"
#include "engine/charset/convert.h"
#include "engine/charset/utf8_convert.h"
#include "engine/stream/allocator.h"
#include "engine/stream/stream.h"
#include "engine/stream/stream_obj.h"
#include "engine/subst/subst_tbl.h"

namespace {

TEST(RuntimeClass, EveryEngineClassHasItsRecord) {
  struct Case {
    CRuntimeClass *record;
    const char *name;
    int size;
    CRuntimeClass *base;
  } cases[] = {
      {&CStreamObj::classCStreamObj, "CStreamObj", sizeof(CStreamObj), &CObject::classCObject},
      {&CStream::classCStream, "CStream", sizeof(CStream), &CStreamObj::classCStreamObj},
      {&CConvert::classCConvert, "CConvert", sizeof(CConvert), &CStreamObj::classCStreamObj},
      {&CUtf8Convert::classCUtf8Convert, "CUtf8Convert", sizeof(CUtf8Convert), &CStreamObj::classCStreamObj},
      {&CCharSet::classCCharSet, "CCharSet", sizeof(CCharSet), &CObject::classCObject},
      {&CConvTbl::classCConvTbl, "CConvTbl", sizeof(CConvTbl), &CObject::classCObject},
      {&CSubstTbl::classCSubstTbl, "CSubstTbl", sizeof(CSubstTbl), &CObject::classCObject},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_STREQ(c.record->className, c.name);
    EXPECT_EQ(c.record->objectSize, c.size);
    EXPECT_EQ(c.record->schema, 0xFFFFu);
    EXPECT_EQ(c.record->getBaseClass(), c.base);
    EXPECT_EQ(CRuntimeClass::Find(c.name), c.record);

    int inList = 0;
    for (CRuntimeClass *r = CRuntimeClass::FirstClass(); r != nullptr; r = r->nextClass)
      inList += r == c.record;
    EXPECT_EQ(inList, 1);

    std::unique_ptr<CObject> object(c.record->CreateObject());
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(object->GetRuntimeClass(), c.record);
    EXPECT_TRUE(object->IsKindOf(&CObject::classCObject));
    EXPECT_TRUE(object->IsKindOf(c.base));
    FailAllocationAt(1);  // objects come from the engine's allocator; a factory never throws
    EXPECT_EQ(c.record->CreateObject(), nullptr);
    FailAllocationAt(0);
  }
  EXPECT_EQ(CStream::_GetBaseClass(), &CStreamObj::classCStreamObj);
  EXPECT_EQ(CStreamObj::_GetBaseClass(), &CObject::classCObject);
}

TEST(RuntimeClass, AnObjectAnswersWithItsMostDerivedClass) {
  std::unique_ptr<CStreamObj> head(new CStream);
  EXPECT_STREQ(head->GetRuntimeClass()->className, "CStream");
  EXPECT_TRUE(head->IsKindOf(&CStreamObj::classCStreamObj));
  CStreamObj plain;
  EXPECT_FALSE(plain.IsKindOf(&CStream::classCStream));
}

TEST(RuntimeClass, UnknownNamesAndTheRootCannotBeCreated) {
  EXPECT_EQ(CRuntimeClass::Find("CNothing"), nullptr);
  EXPECT_EQ(CObject::classCObject.CreateObject(), nullptr);
  EXPECT_EQ(CObject::classCObject.getBaseClass, nullptr);
}

}  // namespace
