// The block queue, the pipeline step and error reporting of CStreamObj, through small pipelines.
#include "engine/stream/stream_obj.h"

#include <gtest/gtest.h>

#include <cctype>
#include <deque>
#include <random>
#include <string>
#include <vector>

#include "engine/stream/allocator.h"
#include "engine/stream/stream.h"

namespace {

// The `used` count of every block of an object's queue, first to last.
std::vector<unsigned> BlockSizes(const CStreamObj &object) {
  std::vector<unsigned> sizes;
  for (const block_struct *block = object.m_pFirst; block != nullptr; block = block->next) {
    sizes.push_back(block->used);
  }
  return sizes;
}

std::string ReadAll(CStreamObj &object) {
  std::string text;
  char buffer[123];
  while (unsigned n = object.Read(buffer, sizeof buffer)) text.append(buffer, n);
  return text;
}

// A stage that follows the stage contract and upper-cases its input.
class UpperStage : public CStreamObj {
 public:
  int Process() override {
    if (!CStreamObj::Process()) return 0;
    while (!Eof()) {
      m_workLen = static_cast<int>(Read(m_work, kWorkSize));
      for (int i = 0; i < m_workLen; ++i) m_work[i] = static_cast<unsigned char>(std::toupper(m_work[i]));
      Write(m_work, m_workLen);
      if (Error() != 0) {
        m_pOwner->Eprintf("I/O error %d on stream\n", Error());
        return 0;
      }
    }
    return Close();
  }
};

// A stage whose run always fails, reporting on its owner.
class FailingStage : public CStreamObj {
 public:
  int Process() override {
    if (!CStreamObj::Process()) return 0;
    m_pOwner->Eprintf("stage failed\n");
    return 0;
  }
};

TEST(StreamObjQueue, WritesFillBlocksOfFiveHundredBytes) {
  struct Case {
    const char *name;
    std::vector<unsigned> writes;
    std::vector<unsigned> blocks;
  } cases[] = {
      {"empty write creates one empty block", {0}, {0}},
      {"exactly one block", {500}, {500}},
      {"one byte over starts a second block", {501}, {500, 1}},
      {"a full block stays last until more arrives", {500, 0}, {500}},
      {"pieces across a border", {499, 2}, {500, 1}},
      {"many blocks", {1250}, {500, 500, 250}},
      {"small pieces", {200, 200, 200}, {500, 100}},
  };
  for (const Case &c : cases) {
    CStream head;
    std::string text;
    for (unsigned n : c.writes) {
      std::string piece(n, 'x');
      EXPECT_EQ(head.Write(piece.data(), n), n) << c.name;
    }
    EXPECT_EQ(BlockSizes(head), c.blocks) << c.name;
    EXPECT_EQ(head.Error(), 0) << c.name;
  }
}

TEST(StreamObjQueue, EndFlagIsSetOnlyByAReadPastTheEnd) {
  CStream head;
  ASSERT_TRUE(head.Open(nullptr));
  char buffer[600];
  EXPECT_EQ(head.Read(buffer, 10), 0u);  // empty queue
  EXPECT_EQ(head.Eof(), 1);
  EXPECT_EQ(head.Read(buffer, 10), 0u);  // still at the end
  std::string text(500, 'a');
  head.Write(text.data(), 500);
  EXPECT_EQ(head.Eof(), 0);              // a write clears the flag
  EXPECT_EQ(head.Read(buffer, 500), 500u);
  EXPECT_EQ(head.Eof(), 0);              // took exactly the rest
  EXPECT_EQ(head.Read(buffer, 500), 0u);
  EXPECT_EQ(head.Eof(), 1);
  EXPECT_EQ(head.m_pFirst, nullptr);     // a consuming read to the end leaves no block
  EXPECT_EQ(head.GetLength(), 0u);
}

TEST(StreamObjQueue, ConsumingReadReleasesBlocksAsItPassesThem) {
  CStream head;
  ASSERT_TRUE(head.Open(nullptr));
  std::string text(1200, 'b');
  head.Write(text.data(), 1200);
  char buffer[600];
  ASSERT_EQ(head.Read(buffer, 600), 600u);
  EXPECT_EQ(BlockSizes(head), (std::vector<unsigned>{500, 200}));
  EXPECT_EQ(head.m_pFirst->prev, nullptr);
  EXPECT_EQ(head.GetLength(), 600u);
}

TEST(StreamObjQueue, RewindMakesTheCurrentBlockUnreadAgain) {
  CStream head;
  ASSERT_TRUE(head.Open(nullptr));
  std::string text;
  for (int i = 0; i < 800; ++i) text += static_cast<char>('a' + i % 26);
  head.Write(text.data(), 800);
  char buffer[550];
  ASSERT_EQ(head.Read(buffer, 550), 550u);  // the first block is released, 50 of the second are read
  head.Rewind();
  EXPECT_EQ(head.GetLength(), 300u);
  EXPECT_EQ(ReadAll(head), text.substr(500));
}

TEST(StreamObjQueue, WriteAppendsAfterTheLastBlockWhateverWasRead) {
  // Reading and appending keep separate positions: a lone head can be written, read in part, written
  // again and read, with the text coming out whole and in order.
  CStream head;
  ASSERT_TRUE(head.Open(nullptr));
  std::string first(1200, '1'), second(700, '2');
  head.Write(first.data(), 1200);
  char buffer[100];
  ASSERT_EQ(head.Read(buffer, 100), 100u);  // no GetLength, Rewind or Close in between
  head.Write(second.data(), 700);
  EXPECT_EQ(ReadAll(head), first.substr(100) + second);
}

TEST(StreamObjQueue, RandomWritesAndReadsMatchAPlainQueue) {
  std::mt19937 random(20261207);
  for (int round = 0; round < 50; ++round) {
    CStream head;
    ASSERT_TRUE(head.Open(nullptr));
    std::deque<char> model;
    for (int step = 0; step < 200; ++step) {
      unsigned n = random() % 3 == 0 ? random() % 1600 : random() % 40;
      if (random() % 2 == 0) {
        std::string bytes;
        for (unsigned i = 0; i < n; ++i) bytes += static_cast<char>(random());
        head.Write(bytes.data(), n);
        model.insert(model.end(), bytes.begin(), bytes.end());
      } else {
        std::vector<char> buffer(n + 1);
        unsigned got = head.Read(buffer.data(), n);
        unsigned expected = static_cast<unsigned>(std::min<size_t>(n, model.size()));
        ASSERT_EQ(got, expected) << "round " << round << " step " << step;
        ASSERT_TRUE(std::equal(buffer.begin(), buffer.begin() + got, model.begin()));
        model.erase(model.begin(), model.begin() + got);
      }
      if (step % 17 == 0) {
        ASSERT_EQ(head.GetLength(), model.size());
      }
    }
  }
}

TEST(StreamObjQueue, FailedBlockAllocationKeepsWhatWasAppended) {
  CStream head;
  ASSERT_TRUE(head.Open(nullptr));
  std::string text(1200, 'c');
  FailAllocationAt(3);  // the third block
  EXPECT_EQ(head.Write(text.data(), 1200), 0u);
  FailAllocationAt(0);
  EXPECT_EQ(head.Error(), kErrNoMemory);
  EXPECT_EQ(BlockSizes(head), (std::vector<unsigned>{500, 500}));
}

TEST(StreamObjQueue, WriteWithoutANextObjectFailsCleanly) {
  CStreamObj loose;
  char byte = 'x';
  EXPECT_EQ(loose.Write(&byte, 1), 0u);
  EXPECT_EQ(loose.Error(), kErrNotConnected);
}

TEST(StreamObjOpen, OpenAllocatesTheWorkBufferAndResetsTheFlags) {
  CStreamObj object;
  EXPECT_EQ(object.m_work, nullptr);
  object.m_eof = 1;
  object.m_error = kErrNoMemory;
  ASSERT_TRUE(object.Open());
  EXPECT_NE(object.m_work, nullptr);
  EXPECT_EQ(object.m_eof, 0);
  EXPECT_EQ(object.m_error, 0);
  EXPECT_EQ(object.m_consume, 1);

  FailAllocationAt(1);
  EXPECT_FALSE(object.Open());
  FailAllocationAt(0);
  EXPECT_STREQ(object.m_errText, "StreamObj: Memory allocation error\n");
  EXPECT_EQ(object.m_work, nullptr);  // a failed Open leaves the object unopened
}

TEST(StreamObjProcess, AnUnopenedStageIsReportedOnItsOwnerOrItself) {
  CStream head;
  CStreamObj stage;
  head.Add(&stage);
  EXPECT_FALSE(stage.Process());
  EXPECT_STREQ(head.m_errText, "Stream: Object was not opened\n");
  EXPECT_EQ(stage.m_errText, nullptr);

  CStreamObj loose;
  EXPECT_FALSE(loose.Process());
  EXPECT_STREQ(loose.m_errText, "StreamObj: Object was not opened\n");
}

TEST(StreamObjClose, RunsEveryStageAndLeavesTheResultInTheHead) {
  CStream head;
  UpperStage first, second;
  head.Add(&first);
  head.Add(&second);
  ASSERT_TRUE(head.Open(nullptr) && first.Open() && second.Open());
  std::string text(1234, 'q');
  head.Write(text.data(), static_cast<unsigned>(text.size()));
  EXPECT_EQ(first.GetLength(), 1234u);
  EXPECT_EQ(head.GetLength(), 0u);
  ASSERT_TRUE(head.Close());
  EXPECT_EQ(first.m_pFirst, nullptr);
  EXPECT_EQ(second.m_pFirst, nullptr);
  EXPECT_EQ(ReadAll(head), std::string(1234, 'Q'));
}

TEST(StreamObjClose, ALoneHeadStreamRunsNothing) {
  CStream head;
  ASSERT_TRUE(head.Open(nullptr));
  head.Write("abc", 3);
  EXPECT_TRUE(head.Close());
  EXPECT_EQ(ReadAll(head), "abc");
}

TEST(StreamObjClose, AFailingStageStopsTheRunAndLosesItsQueue) {
  CStream head;
  UpperStage upper;
  FailingStage failing;
  UpperStage never;
  head.Add(&upper);
  head.Add(&failing);
  head.Add(&never);
  ASSERT_TRUE(head.Open(nullptr) && upper.Open() && failing.Open() && never.Open());
  head.Write("abc", 3);
  EXPECT_FALSE(head.Close());
  EXPECT_STREQ(head.m_errText, "Stream: stage failed\n");
  EXPECT_EQ(failing.m_pFirst, nullptr);
  EXPECT_EQ(head.GetLength(), 0u);
}

TEST(StreamObjClose, APlainStreamObjectAsStagePassesNothingOn) {
  CStream head;
  CStreamObj plain;
  head.Add(&plain);
  ASSERT_TRUE(head.Open(nullptr) && plain.Open());
  head.Write("kept", 4);
  EXPECT_TRUE(head.Close());
  EXPECT_EQ(head.GetLength(), 0u);
  EXPECT_EQ(ReadAll(plain), "kept");
}

TEST(StreamObjClose, AnUnopenedStageFailsTheRun) {
  CStream head;
  UpperStage stage;
  head.Add(&stage);
  ASSERT_TRUE(head.Open(nullptr));
  head.Write("abc", 3);
  EXPECT_FALSE(head.Close());
  EXPECT_STREQ(head.m_errText, "Stream: Object was not opened\n");
}

TEST(StreamObjEprintf, ComposesClassNameAndMessageWithinTwoHundredFiftyCharacters) {
  CStream head;
  struct Case {
    const char *name;
    std::string message;
    std::string expected;
  } cases[] = {
      {"short message", "Can't open x\n", "Stream: Can't open x\n"},
      {"message that just fits", std::string(242, 'm'), "Stream: " + std::string(242, 'm')},
      {"message cut at 250", std::string(300, 'm'), "Stream: " + std::string(242, 'm')},
  };
  for (const Case &c : cases) {
    int length = head.Eprintf("%s", c.message.c_str());
    EXPECT_EQ(std::string(head.m_errText), c.expected) << c.name;
    EXPECT_EQ(length, static_cast<int>(c.expected.size())) << c.name;
  }
  CStreamObj object;
  object.Eprintf("%d\n", 7);
  EXPECT_STREQ(object.m_errText, "StreamObj: 7\n");
}

TEST(StreamObjEprintf, ALaterReportReplacesTheEarlierAndMayQuoteIt) {
  CStreamObj object;
  object.Eprintf("first\n");
  object.Eprintf("%s and second\n", object.m_errText);
  EXPECT_STREQ(object.m_errText, "StreamObj: StreamObj: first\n and second\n");
}

TEST(StreamObjVersion, EachClassAppendsItsVersion) {
  class Stage : public CStreamObj {
   public:
    Stage() { AppendVersion("3.0"); }
  };
  EXPECT_STREQ(CStreamObj().m_version, "1.0");
  EXPECT_STREQ(CStream().m_version, "1.0-1.0");
  EXPECT_STREQ(Stage().m_version, "1.0-3.0");
}

TEST(StreamObjConnect, JoinsTwoObjectsWithoutTouchingOwners) {
  CStreamObj a, b;
  a.Connect(&b);
  EXPECT_EQ(a.m_pNext, &b);
  EXPECT_EQ(b.m_pPrev, &a);
  EXPECT_EQ(b.m_pOwner, nullptr);
  a.Write("xy", 2);
  EXPECT_EQ(b.GetLength(), 2u);
}

}  // namespace
