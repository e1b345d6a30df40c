// The head stream: its ring, its name, and moving text between files, other streams and the pipeline.
#include "engine/stream/stream.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>

#include "engine/stream/allocator.h"
#include "tests/support/temp_dir.h"

namespace {

#if defined(_WIN32)
const char kSeparator[] = "\\";
#else
const char kSeparator[] = "/";
#endif

std::string RandomBytes(size_t n, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(n, '\0');
  for (char &byte : bytes) byte = static_cast<char>(random());
  return bytes;
}

std::string Drain(CStreamObj &object) {
  std::string text;
  char buffer[500];
  while (unsigned n = object.Read(buffer, sizeof buffer)) text.append(buffer, n);
  return text;
}

TEST(Stream, IsARingOfOneThatOwnsItself) {
  CStream head;
  EXPECT_EQ(head.m_pNext, &head);
  EXPECT_EQ(head.m_pPrev, &head);
  EXPECT_EQ(head.m_pOwner, &head);
  EXPECT_EQ(head.m_name, nullptr);
  EXPECT_STREQ(head.m_version, "1.0-1.0");
}

TEST(Stream, OpenKeepsACopyOfTheName) {
  CStream head;
  char name[] = "tables";
  ASSERT_TRUE(head.Open(name));
  name[0] = 'T';
  EXPECT_STREQ(head.m_name, "tables");
  ASSERT_TRUE(head.Open("other"));
  EXPECT_STREQ(head.m_name, "other");

  CStream unnamed;
  ASSERT_TRUE(unnamed.Open(nullptr));
  EXPECT_EQ(unnamed.m_name, nullptr);
}

TEST(Stream, OpenReportsMemoryForTheWorkBufferAndTheName) {
  for (unsigned long failing : {1ul, 2ul}) {  // work buffer, then the name's copy
    CStream head;
    FailAllocationAt(failing);
    EXPECT_FALSE(head.Open("dir"));
    FailAllocationAt(0);
    EXPECT_STREQ(head.m_errText, "Stream: Memory allocation error\n") << "allocation " << failing;
  }
}

TEST(Stream, AddPutsStagesBeforeTheHeadInOrder) {
  CStream head;
  CStreamObj a, b;
  head.Add(&a);
  head.Add(&b);
  EXPECT_EQ(head.m_pNext, &a);
  EXPECT_EQ(a.m_pNext, &b);
  EXPECT_EQ(b.m_pNext, &head);
  EXPECT_EQ(a.m_pPrev, &head);
  EXPECT_EQ(b.m_pPrev, &a);
  EXPECT_EQ(head.m_pPrev, &head);  // the head's own back link is left alone
  EXPECT_EQ(a.m_pOwner, &head);
  EXPECT_EQ(b.m_pOwner, &head);
}

TEST(StreamFiles, FilesPassThroughByteForByte) {
  TempDir dir;
  struct Case {
    const char *name;
    std::string bytes;
  } cases[] = {
      {"empty", ""},
      {"one byte", "x"},
      {"one short of a block", std::string(499, 'a')},
      {"exactly one block", RandomBytes(500, 1)},
      {"one over a block", RandomBytes(501, 2)},
      {"line ends and control-Z kept", "a\r\nb\nc\r\x1a\r\n\x1a\x00z"},
      {"large binary", RandomBytes(300000, 3)},
  };
  for (const Case &c : cases) {
    std::string in = dir.Write("in.bin", c.bytes);
    CStream head;
    ASSERT_TRUE(head.Open(nullptr));
    ASSERT_TRUE(head.ReadFile(in.c_str())) << c.name << ": " << head.m_errText;
    EXPECT_EQ(head.GetLength(), c.bytes.size()) << c.name;
    ASSERT_TRUE(head.Close());
    ASSERT_TRUE(head.WriteFile(dir.File("out.bin").c_str())) << c.name;
    EXPECT_EQ(dir.Read("out.bin"), c.bytes) << c.name;
    EXPECT_EQ(head.GetLength(), 0u) << c.name;
  }
}

TEST(StreamFiles, ReadingLeavesTheBlockLayoutOfTheChunks) {
  TempDir dir;
  CStream head;
  ASSERT_TRUE(head.Open(nullptr));
  ASSERT_TRUE(head.ReadFile(dir.Write("empty", "").c_str()));
  ASSERT_NE(head.m_pFirst, nullptr);  // the empty chunk made one empty block
  EXPECT_EQ(head.m_pFirst->used, 0u);
  EXPECT_EQ(head.m_pFirst->next, nullptr);

  CStream full;
  ASSERT_TRUE(full.Open(nullptr));
  ASSERT_TRUE(full.ReadFile(dir.Write("500", std::string(500, 'f')).c_str()));
  ASSERT_NE(full.m_pFirst, nullptr);
  EXPECT_EQ(full.m_pFirst->used, 500u);
  EXPECT_EQ(full.m_pFirst->next, nullptr);  // the empty chunk at the end did not start a block
}

TEST(StreamFiles, ASecondWriteFileWritesNothingBecauseTheFirstDrained) {
  TempDir dir;
  CStream head;
  ASSERT_TRUE(head.Open(nullptr));
  head.Write("text", 4);
  ASSERT_TRUE(head.WriteFile(dir.File("first").c_str()));
  ASSERT_TRUE(head.WriteFile(dir.File("second").c_str()));
  EXPECT_EQ(dir.Read("first"), "text");
  EXPECT_EQ(dir.Read("second"), "");
}

TEST(StreamFiles, StagesRunBetweenFillingAndEmptying) {
  TempDir dir;
  CStream head;
  CStreamObj stage;  // holds its input: nothing reaches the head
  head.Add(&stage);
  ASSERT_TRUE(head.Open(dir.Path().c_str()) && stage.Open());
  ASSERT_TRUE(head.ReadFile(dir.Write("in", "abc").c_str()));
  EXPECT_EQ(stage.GetLength(), 3u);
  EXPECT_EQ(head.GetLength(), 0u);
}

TEST(StreamFiles, NamesThatFailReportTheNameAsGiven) {
  TempDir dir;
  std::string missing = dir.File("missing.txt");
  std::string climbing = std::string(kSeparator) + ".." + kSeparator + "x";
  struct Case {
    const char *name;
    std::string file;
    std::string expected;
  } cases[] = {
      {"missing file", missing, "Stream: Can't open " + missing + "\n"},
      {"climbs above the root", climbing, "Stream: Illegal file name: " + climbing + "\n"},
      {"directory that does not exist", dir.File("no") + kSeparator + "x",
       "Stream: Can't open " + dir.File("no") + kSeparator + "x\n"},
  };
  for (const Case &c : cases) {
    CStream head;
    ASSERT_TRUE(head.Open(nullptr));
    EXPECT_FALSE(head.ReadFile(c.file.c_str())) << c.name;
    EXPECT_STREQ(head.m_errText, c.expected.c_str()) << c.name;
    if (c.file == missing) continue;  // writing there would create it
    EXPECT_FALSE(head.WriteFile(c.file.c_str())) << c.name;
    EXPECT_STREQ(head.m_errText, c.expected.c_str()) << c.name;
  }
  CStream head;
  ASSERT_TRUE(head.Open(nullptr));
  EXPECT_FALSE(head.ReadFile(static_cast<const char *>(nullptr)));
  EXPECT_STREQ(head.m_errText, "Stream: Illegal file name: \n");
}

// "I/O error N on NAME\n" with a non-zero N: the number is whatever the C library's indicator holds.
void ExpectIoError(const CStream &head, const std::string &name) {
  ASSERT_NE(head.m_errText, nullptr);
  std::string text = head.m_errText;
  const std::string prefix = "Stream: I/O error ", suffix = " on " + name + "\n";
  ASSERT_EQ(text.compare(0, prefix.size(), prefix), 0) << text;
  ASSERT_GT(text.size(), prefix.size() + suffix.size()) << text;
  EXPECT_EQ(text.substr(text.size() - suffix.size()), suffix) << text;
  EXPECT_NE(std::stoi(text.substr(prefix.size())), 0) << text;
}

TEST(StreamFiles, ErrorsOfTheCStreamAreReportedWithTheirName) {
  TempDir dir;
  dir.Write("file", "some text");
  {
    CStream head;  // reading a stream that was opened only for writing
    ASSERT_TRUE(head.Open(nullptr));
    FILE *file = std::fopen(dir.File("file").c_str(), "ab");
    ASSERT_NE(file, nullptr);
    EXPECT_FALSE(head.ReadFile(file, nullptr));
    std::fclose(file);
    ExpectIoError(head, "input file");
  }
  {
    CStream head;  // writing into a stream that was opened only for reading
    ASSERT_TRUE(head.Open(nullptr));
    head.Write("text", 4);
    FILE *file = std::fopen(dir.File("file").c_str(), "rb");
    ASSERT_NE(file, nullptr);
    EXPECT_FALSE(head.WriteFile(file, "the file"));
    std::fclose(file);
    ExpectIoError(head, "the file");
  }
}

TEST(StreamFiles, AFullDeviceIsAnErrorNotASuccess) {
  FILE *full = std::fopen("/dev/full", "wb");
  if (full == nullptr) GTEST_SKIP() << "no /dev/full here";
  CStream head;
  ASSERT_TRUE(head.Open(nullptr));
  head.Write("short text that stays in the C stream's buffer", 46);
  EXPECT_FALSE(head.WriteFile(full, nullptr));
  std::fclose(full);
  ExpectIoError(head, "output file");
}

TEST(StreamFiles, MemoryRunningOutWhileFillingIsAnIoErrorOnTheStream) {
  TempDir dir;
  std::string in = dir.Write("in", RandomBytes(2000, 4));
  CStream head;
  ASSERT_TRUE(head.Open(nullptr));
  FailAllocationAt(3);  // the third queue block
  EXPECT_FALSE(head.ReadFile(in.c_str()));
  FailAllocationAt(0);
  EXPECT_STREQ(head.m_errText, "Stream: I/O error 12 on stream\n");
  EXPECT_EQ(head.GetLength(), 1000u);  // what was queued before the failure stays
}

TEST(StreamFiles, TransfersNeedAnOpenedStream) {
  TempDir dir;
  CStream head, other;
  EXPECT_FALSE(head.ReadFile(dir.Write("in", "x").c_str()));
  EXPECT_STREQ(head.m_errText, "Stream: Object was not opened\n");
  EXPECT_FALSE(head.WriteFile(dir.File("out").c_str()));
  EXPECT_FALSE(head.ReadStream(&other));
  EXPECT_STREQ(head.m_errText, "Stream: Object was not opened\n");
}

TEST(StreamReadStream, MovesTheOtherQueueIntoThisPipeline) {
  CStream source, target;
  ASSERT_TRUE(source.Open(nullptr) && target.Open(nullptr));
  std::string text = RandomBytes(1700, 5);
  source.Write(text.data(), static_cast<unsigned>(text.size()));
  ASSERT_TRUE(target.ReadStream(&source));
  EXPECT_EQ(source.GetLength(), 0u);
  EXPECT_EQ(Drain(target), text);
}

TEST(StreamReadStream, ALoneStreamReadIntoItselfKeepsItsText) {
  CStream head;
  ASSERT_TRUE(head.Open(nullptr));
  std::string text = RandomBytes(1200, 6);
  head.Write(text.data(), static_cast<unsigned>(text.size()));
  ASSERT_TRUE(head.ReadStream(&head));
  EXPECT_EQ(Drain(head), text);
}

TEST(StreamReadStream, AStreamReadIntoItsOwnStagesRefillsThem) {
  CStream head;
  CStreamObj stage;
  head.Add(&stage);
  ASSERT_TRUE(head.Open(nullptr) && stage.Open());
  CStream source;
  ASSERT_TRUE(source.Open(nullptr));
  source.Write("abc", 3);
  ASSERT_TRUE(head.ReadStream(&source));
  EXPECT_EQ(Drain(stage), "abc");
}

}  // namespace
