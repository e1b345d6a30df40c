// The head stream: its ring, its name, and moving text between files, other streams and the pipeline.
#include "engine/stream/stream.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>

#include "engine/stream/allocator.h"
#include "tests/support/drain.h"
#include "tests/support/temp_dir.h"

namespace {

#if defined(_WIN32)
const std::string kSeparator = "\\";
#else
const std::string kSeparator = "/";
#endif

std::string RandomBytes(size_t n, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(n, '\0');
  for (char &byte : bytes) byte = static_cast<char>(random());
  return bytes;
}

TEST(Stream, IsARingOfOneThatOwnsItselfAndAddsStagesBeforeItself) {
  CStream head;
  EXPECT_TRUE(head.m_pNext == &head && head.m_pPrev == &head && head.m_pOwner == &head);
  EXPECT_STREQ(head.m_version, "1.0-1.0");
  CStreamObj a, b;
  head.Add(&a);
  head.Add(&b);
  EXPECT_TRUE(head.m_pNext == &a && a.m_pNext == &b && b.m_pNext == &head);
  EXPECT_TRUE(a.m_pPrev == &head && b.m_pPrev == &a && head.m_pPrev == &head);
  EXPECT_TRUE(a.m_pOwner == &head && b.m_pOwner == &head);
}

TEST(Stream, OpenKeepsACopyOfTheName) {
  CStream head;
  char name[] = "tables";
  ASSERT_TRUE(head.Open(name));
  name[0] = 'T';
  EXPECT_STREQ(head.m_name, "tables");
  ASSERT_TRUE(head.Open(nullptr));
  EXPECT_STREQ(head.m_name, "tables");  // no new name: the old one stays
}

TEST(StreamFiles, FilesPassThroughByteForByteInBlocksOfTheChunks) {
  TempDir dir;
  struct Case {
    const char *name;
    std::string bytes;
    unsigned firstBlock;  // bytes in the first queue block after reading
  } cases[] = {
      {"empty file gives one empty block", "", 0},
      {"one byte", "x", 1},
      {"exactly one block, no second one for the empty last chunk", RandomBytes(500, 1), 500},
      {"one over a block", RandomBytes(501, 2), 500},
      {"exactly two blocks", RandomBytes(1000, 4), 500},
      {"line ends and control-Z kept", std::string("a\r\nb\nc\r\x1a\r\n\x1a\x00z", 14), 14},
      {"large binary", RandomBytes(300000, 3), 500},
  };
  for (const Case &c : cases) {
    std::string in = dir.Write("in.bin", c.bytes);
    CStream head;
    ASSERT_TRUE(head.Open(nullptr));
    ASSERT_TRUE(head.ReadFile(in.c_str())) << c.name << ": " << head.m_errText;
    ASSERT_NE(head.m_pFirst, nullptr) << c.name;
    EXPECT_EQ(head.m_pFirst->used, c.firstBlock) << c.name;
    EXPECT_EQ(head.m_pFirst->next == nullptr, c.bytes.size() <= 500) << c.name;
    EXPECT_EQ(head.GetLength(), c.bytes.size()) << c.name;
    // Transfers go in chunks of the work buffer's size: the last one holds what is left over.
    EXPECT_EQ(static_cast<size_t>(head.m_workLen), c.bytes.size() % 500) << c.name;
    ASSERT_TRUE(head.Close());
    ASSERT_TRUE(head.WriteFile(dir.File("out.bin").c_str())) << c.name;
    EXPECT_EQ(dir.Read("out.bin"), c.bytes) << c.name;
    EXPECT_EQ(static_cast<size_t>(head.m_workLen), c.bytes.size() % 500) << c.name;
    ASSERT_TRUE(head.WriteFile(dir.File("again.bin").c_str())) << c.name;
    EXPECT_EQ(dir.Read("again.bin"), "") << c.name << ": the first write drained the queue";
  }
}

TEST(StreamFiles, NamesThatFailReportTheNameAsGiven) {
  TempDir dir;
  std::string missing = dir.File("missing.txt");
  std::string climbing = kSeparator + ".." + kSeparator + "x";
  std::string noDir = dir.File("no") + kSeparator + "x";
  struct Case {
    const char *name;
    const char *file;
    std::string expected;
    bool writeToo;  // WriteFile fails the same way
  } cases[] = {
      {"missing file", missing.c_str(), "Stream: Can't open " + missing + "\n", false},
      {"climbs above the root", climbing.c_str(), "Stream: Illegal file name: " + climbing + "\n", true},
      {"directory that does not exist", noDir.c_str(), "Stream: Can't open " + noDir + "\n", true},
      {"no name at all", nullptr, "Stream: Illegal file name: \n", true},
  };
  for (const Case &c : cases) {
    CStream head;
    ASSERT_TRUE(head.Open(nullptr));
    EXPECT_FALSE(head.ReadFile(c.file)) << c.name;
    EXPECT_STREQ(head.m_errText, c.expected.c_str()) << c.name;
    if (!c.writeToo) continue;
    EXPECT_FALSE(head.WriteFile(c.file)) << c.name;
    EXPECT_STREQ(head.m_errText, c.expected.c_str()) << c.name;
  }
}

// "I/O error N on NAME\n" with a non-zero N: the number is whatever the C library's indicator holds.
void ExpectIoError(const CStream &head, const std::string &name) {
  ASSERT_NE(head.m_errText, nullptr);
  std::string text = head.m_errText;
  const std::string prefix = "Stream: I/O error ", suffix = " on " + name + "\n";
  ASSERT_GT(text.size(), prefix.size() + suffix.size()) << text;
  EXPECT_EQ(text.substr(0, prefix.size()), prefix) << text;
  EXPECT_EQ(text.substr(text.size() - suffix.size()), suffix) << text;
  EXPECT_NE(std::atoi(text.c_str() + prefix.size()), 0) << text;
}

TEST(StreamFiles, ErrorsOfTheCStreamAreReportedWithTheirName) {
  TempDir dir;
  std::string path = dir.Write("file", "some text");
  CStream head;
  ASSERT_TRUE(head.Open(nullptr));

  FILE *writeOnly = std::fopen(path.c_str(), "ab");  // some C libraries set no indicator here at all
  EXPECT_FALSE(head.ReadFile(writeOnly, nullptr));
  std::fclose(writeOnly);
  ExpectIoError(head, "input file");

  head.Write("text", 4);
  FILE *readOnly = std::fopen(path.c_str(), "rb");
  EXPECT_FALSE(head.WriteFile(readOnly, "the file"));
  std::fclose(readOnly);
  ExpectIoError(head, "the file");

  FILE *full = std::fopen("/dev/full", "wb");  // a short text fails only when the C stream flushes
  if (full == nullptr) return;
  head.Write("short text", 10);
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

TEST(StreamFiles, TransfersNeedAnOpenedStreamAndTouchNoFileWithout) {
  TempDir dir;
  CStream head, other;
  std::string kept = dir.Write("kept", "text");
  // The result of a transfer with the report it left (braced lists are evaluated in order).
  auto outcome = [&head](int result) { return std::to_string(result) + " " + head.m_errText; };
  struct Case {
    const char *what;
    std::string outcome;
  } const cases[] = {
      {"ReadFile", outcome(head.ReadFile(kept.c_str()))},
      {"ReadFile of a missing file", outcome(head.ReadFile(dir.File("missing").c_str()))},
      {"WriteFile, which would empty the file", outcome(head.WriteFile(kept.c_str()))},
      {"ReadStream", outcome(head.ReadStream(&other))},
  };
  for (const Case &c : cases) EXPECT_EQ(c.outcome, "0 Stream: Object was not opened\n") << c.what;
  EXPECT_EQ(dir.Read("kept"), "text");
}

TEST(StreamTransfers, TakeOutOnlyWhatWasNotReadBefore) {
  TempDir dir;
  std::string text = RandomBytes(1234, 7);
  // Read stops inside the second block, and at the end of the first (which stays current).
  for (unsigned int taken : {700u, 500u, 1u}) {
    CStream head, target;
    ASSERT_TRUE(head.Open(nullptr) && target.Open(nullptr));
    head.Write(text.data(), static_cast<unsigned>(text.size()));
    std::string out(taken, '\0');
    ASSERT_EQ(head.Read(&out[0], taken), taken);
    ASSERT_TRUE(head.WriteFile(dir.File("rest.bin").c_str()));
    EXPECT_EQ(dir.Read("rest.bin"), text.substr(taken)) << taken << " bytes read first";
    head.Write(text.data(), static_cast<unsigned>(text.size()));
    ASSERT_EQ(head.Read(&out[0], taken), taken);
    ASSERT_TRUE(target.ReadStream(&head));
    EXPECT_EQ(Drain(target), text.substr(taken)) << taken << " bytes read first";
  }
}

TEST(StreamReadStream, MovesTheOtherQueueIntoThisPipelineAndALoneStreamOntoItself) {
  CStream source, target;
  ASSERT_TRUE(source.Open(nullptr) && target.Open(nullptr));
  std::string text = RandomBytes(1700, 5);
  source.Write(text.data(), static_cast<unsigned>(text.size()));
  ASSERT_TRUE(target.ReadStream(&source));
  EXPECT_EQ(source.GetLength(), 0u);
  ASSERT_TRUE(target.ReadStream(&target));
  EXPECT_EQ(Drain(target), text);
}

TEST(StreamReadStream, AStreamJoinedToTheOtherLeavesItsTextWhereItIs) {
  CStream head, other;
  ASSERT_TRUE(head.Open(nullptr) && other.Open(nullptr));
  head.Add(&other);  // head writes into other's queue, which ReadStream reads
  std::string text = RandomBytes(1700, 6);
  head.Write(text.data(), static_cast<unsigned>(text.size()));
  ASSERT_TRUE(head.ReadStream(&other));
  EXPECT_EQ(Drain(other), text);
}

}  // namespace
