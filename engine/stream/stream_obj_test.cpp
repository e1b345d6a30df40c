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
#include "tests/support/drain.h"

namespace {

// The `used` count of every block of an object's queue, first to last.
std::vector<unsigned> BlockSizes(const CStreamObj &object) {
  std::vector<unsigned> sizes;
  for (const block_struct *block = object.m_pFirst; block != nullptr; block = block->next) {
    sizes.push_back(block->used);
  }
  return sizes;
}

// A stage that keeps the stage contract: upper-cases its input, or fails when told to, at once or after
// passing its text on.
class TestStage : public CStreamObj {
 public:
  enum Failure { kNever, kAtOnce, kAfterWriting };
  explicit TestStage(Failure failure = kNever) : failure_(failure) {}
  int Process() override {
    if (!CStreamObj::Process()) return 0;
    if (failure_ == kAtOnce) return Fail();
    while (!Eof()) {
      m_workLen = static_cast<int>(Read(m_work, kWorkSize));
      for (int i = 0; i < m_workLen; ++i) m_work[i] = static_cast<unsigned char>(std::toupper(m_work[i]));
      Write(m_work, m_workLen);
      if (Error() != 0) {
        m_pOwner->Eprintf("I/O error %d on stream\n", Error());
        return 0;
      }
    }
    if (failure_ == kAfterWriting) return Fail();
    return Close();
  }

 private:
  int Fail() {
    m_pOwner->Eprintf("stage failed\n");
    return 0;
  }
  Failure failure_;  // when every run fails
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
      {"small pieces", {200, 200, 200}, {500, 100}},
  };
  for (const Case &c : cases) {
    CStream head;
    for (unsigned n : c.writes) EXPECT_EQ(head.Write(std::string(n, 'x').data(), n), n) << c.name;
    EXPECT_EQ(BlockSizes(head), c.blocks) << c.name;
  }
}

TEST(StreamObjQueue, EndFlagIsSetOnlyByAReadPastTheEnd) {
  CStream head;
  ASSERT_TRUE(head.Open(nullptr));
  char buffer[600];
  EXPECT_EQ(head.Read(buffer, 10), 0u);  // empty queue
  EXPECT_EQ(head.Eof(), 1);
  head.Write(std::string(500, 'a').data(), 500);
  EXPECT_EQ(head.Eof(), 0);  // a write clears the flag
  EXPECT_EQ(head.Read(buffer, 500), 500u);
  EXPECT_EQ(head.Eof(), 0);  // took exactly the rest
  EXPECT_EQ(head.Read(buffer, 500), 0u);
  EXPECT_EQ(head.Eof(), 1);
  EXPECT_EQ(head.m_pFirst, nullptr);  // a consuming read to the end leaves no block
}

TEST(StreamObjQueue, ConsumingReadReleasesPassedBlocksAndRewindRereadsTheCurrentOne) {
  CStream head;
  ASSERT_TRUE(head.Open(nullptr));
  std::string text;
  for (int i = 0; i < 800; ++i) text += static_cast<char>('a' + i % 26);
  head.Write(text.data(), 800);
  char buffer[550];
  ASSERT_EQ(head.Read(buffer, 550), 550u);  // the first block is released, 50 of the second are read
  EXPECT_EQ(BlockSizes(head), (std::vector<unsigned>{300}));
  head.Rewind();
  EXPECT_EQ(head.GetLength(), 300u);
  EXPECT_EQ(Drain(head), text.substr(500));
}

TEST(StreamObjQueue, RewindMakesEveryByteUnreadAfterAnyReads) {
  // Reads that keep their blocks, interrupted by GetLength (which goes back to the first block without
  // making anything unread) and by writes.
  std::mt19937 random(7);
  for (int round = 0; round < 30; ++round) {
    CStream head;
    ASSERT_TRUE(head.Open(nullptr));
    head.m_consume = 0;
    std::string text;
    for (int step = 0; step < 40; ++step) {
      char buffer[1300];
      const unsigned n = random() % sizeof buffer;
      switch (random() % 3) {
        case 0:
          text += std::string(n, static_cast<char>('a' + step % 26));
          head.Write(text.data() + text.size() - n, n);
          break;
        case 1:
          head.Read(buffer, n);
          break;
        default:
          head.GetLength();
      }
    }
    head.Rewind();
    ASSERT_EQ(head.GetLength(), text.size()) << "round " << round;
    ASSERT_EQ(Drain(head), text) << "round " << round;
  }
}

TEST(StreamObjQueue, RandomWritesAndReadsMatchAPlainQueue) {
  // Reading and appending keep separate positions: a lone head written, partly read and written again
  // gives its text back whole and in order, with no GetLength, Rewind or Close in between.
  std::mt19937 random(20261207);
  for (int round = 0; round < 50; ++round) {
    CStream head;
    ASSERT_TRUE(head.Open(nullptr));
    std::deque<char> model;
    for (int step = 0; step < 200; ++step) {
      unsigned n = random() % 3 == 0 ? random() % 1600 : random() % 40;
      std::vector<char> bytes(n + 1);
      if (random() % 2 == 0) {
        for (char &byte : bytes) byte = static_cast<char>(random());
        head.Write(bytes.data(), n);
        model.insert(model.end(), bytes.begin(), bytes.begin() + n);
      } else {
        unsigned got = head.Read(bytes.data(), n);
        ASSERT_EQ(got, std::min<size_t>(n, model.size())) << "round " << round << " step " << step;
        ASSERT_TRUE(std::equal(bytes.begin(), bytes.begin() + got, model.begin()));
        model.erase(model.begin(), model.begin() + got);
      }
    }
    ASSERT_EQ(head.GetLength(), model.size());
  }
}

TEST(StreamObjQueue, FailedWritesKeepWhatWasAppended) {
  CStream head;
  ASSERT_TRUE(head.Open(nullptr));
  FailAllocationAt(3);  // the third block
  EXPECT_EQ(head.Write(std::string(1200, 'c').data(), 1200), 0u);
  FailAllocationAt(0);
  EXPECT_EQ(head.Error(), kErrNoMemory);
  EXPECT_EQ(BlockSizes(head), (std::vector<unsigned>{500, 500}));

  CStreamObj loose;  // nothing to write to
  EXPECT_EQ(loose.Write("x", 1), 0u);
  EXPECT_EQ(loose.Error(), kErrNotConnected);
}

TEST(StreamObjOpen, OpenAllocatesTheWorkBufferAndAFailureLeavesItUnopened) {
  CStream head;
  CStreamObj stage;
  head.Add(&stage);
  EXPECT_FALSE(stage.Process());
  EXPECT_STREQ(head.m_errText, "Stream: Object was not opened\n");  // reported on the owner
  stage.m_eof = 1;
  stage.m_error = kErrNoMemory;
  ASSERT_TRUE(stage.Open());
  EXPECT_TRUE(stage.m_work != nullptr && stage.m_eof == 0 && stage.m_error == 0 && stage.m_consume == 1);
  EXPECT_TRUE(stage.Process());

  FailAllocationAt(1);
  EXPECT_FALSE(stage.Open());
  FailAllocationAt(0);
  EXPECT_STREQ(stage.m_errText, "StreamObj: Memory allocation error\n");
  EXPECT_FALSE(stage.Process());

  CStreamObj loose;  // without an owner the report stays on the object
  EXPECT_FALSE(loose.Process());
  EXPECT_STREQ(loose.m_errText, "StreamObj: Object was not opened\n");
}

TEST(StreamObjClose, RunsEveryStageAndLeavesTheResultInTheHead) {
  CStream head;
  TestStage first, second;
  CStreamObj holder;  // a plain stream object passes nothing on
  head.Add(&first);
  head.Add(&second);
  ASSERT_TRUE(head.Open(nullptr) && first.Open() && second.Open() && holder.Open());
  head.Write(std::string(1234, 'q').data(), 1234);
  ASSERT_TRUE(head.Close());
  EXPECT_EQ(first.m_pFirst, nullptr);
  EXPECT_EQ(Drain(head), std::string(1234, 'Q'));

  head.Add(&holder);
  head.Write("kept", 4);
  EXPECT_TRUE(head.Close());
  EXPECT_EQ(head.GetLength(), 0u);
  EXPECT_EQ(Drain(holder), "KEPT");

  CStream lone;  // runs nothing, and the text stays readable
  ASSERT_TRUE(lone.Open(nullptr));
  lone.Write("abc", 3);
  EXPECT_TRUE(lone.Close());
  EXPECT_EQ(Drain(lone), "abc");
}

TEST(StreamObjClose, AFailingStageStopsTheRunAndLeavesNothingForTheNextRun) {
  for (TestStage::Failure failure : {TestStage::kAtOnce, TestStage::kAfterWriting}) {
    CStream head;
    TestStage upper, failing(failure), never, last;
    head.Add(&upper);
    head.Add(&failing);
    head.Add(&never);
    head.Add(&last);
    ASSERT_TRUE(head.Open(nullptr) && upper.Open() && failing.Open() && never.Open() && last.Open());
    head.Write("abc", 3);
    EXPECT_FALSE(head.Close());
    EXPECT_STREQ(head.m_errText, "Stream: stage failed\n");
    // The failing stage's input and what it passed on are gone, so a later run starts clean.
    EXPECT_EQ(failing.m_pFirst, nullptr) << failure;
    EXPECT_EQ(never.m_pFirst, nullptr) << failure;
    EXPECT_EQ(head.GetLength(), 0u);
  }
}

TEST(StreamObjEprintf, ComposesClassNameAndMessageWithinTwoHundredFiftyCharacters) {
  struct Case {
    const char *name;
    std::string message;
    std::string expected;
  } cases[] = {
      {"short message", "Can't open x\n", "Stream: Can't open x\n"},
      {"message that just fits", std::string(242, 'm'), "Stream: " + std::string(242, 'm')},
      {"message cut at 250", std::string(300, 'm'), "Stream: " + std::string(242, 'm')},
  };
  CStream head;
  for (const Case &c : cases) {
    EXPECT_EQ(head.Eprintf("%s", c.message.c_str()), static_cast<int>(c.expected.size())) << c.name;
    EXPECT_EQ(std::string(head.m_errText), c.expected) << c.name;
  }
  CStreamObj object;  // a later report replaces the earlier one, and may quote it
  object.Eprintf("first\n");
  object.Eprintf("%s and %d\n", object.m_errText, 2);
  EXPECT_STREQ(object.m_errText, "StreamObj: StreamObj: first\n and 2\n");
}

TEST(StreamObjVersion, EachClassAppendsItsVersion) {
  struct Stage : CStreamObj {
    Stage() { AppendVersion("3.0"); }
  };
  EXPECT_STREQ(CStreamObj().m_version, "1.0");
  EXPECT_STREQ(Stage().m_version, "1.0-3.0");
}

}  // namespace
