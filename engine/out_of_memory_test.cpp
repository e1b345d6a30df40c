// Every engine operation that allocates, walked through each of its allocation failures in turn: the
// failure is reported with its message on the object that owns the report, nothing leaks, the objects
// are destroyed cleanly, and the pipeline works again once memory is back.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "engine/charset/builtin_charset.h"
#include "engine/charset/charset.h"
#include "engine/charset/conv_tbl.h"
#include "engine/charset/convert.h"
#include "engine/charset/utf8_convert.h"
#include "engine/stream/stream.h"
#include "engine/subst/subst_tbl.h"
#include "engine/subst/substitute.h"
#include "engine/subst/variables.h"
#include "tests/support/allocation_walk.h"
#include "tests/support/ascii_set.h"
#include "tests/support/drain.h"
#include "tests/support/temp_dir.h"

namespace {

// Two sets that place their letters above 127 differently; the second lacks the copyright sign.
std::string WestSet() { return AsciiSetFile(" E9\t3\teacute\n C9\t4\tEacute\n A9\t\tcopy\n"); }
std::string EastSet() { return AsciiSetFile(" 8E\t3\teacute\n 83\t4\tEacute\n"); }
// Tables with groups, given-back text, wildcards, captures and variables, so that every kind of firing
// meets a failure.
const char kGroupsTable[] = "\"\\1[b\" \"B\"\n\"a\" \"A\\1[\"\n\"cd\\<\" \"C\"\n\"abcde\" \"Z\"\n";
const char kWildcardTable[] =
    "#ALIAS \"\\L\" \"\\3?\"\n\"<\\*>\" \"[\\+]\"\n\"\\L\\L\\L\" \"w\"\n\"e\" \"&eacute;\"\n";
const char kVariableTable[] = "#CONCAT \", \"\n\"[%Q]\" \"\"\n\"x\" \"<%q|%Q>\"\n";

std::string ErrorText(const CStreamObj &object) {
  return object.m_errText != nullptr ? object.m_errText : "";
}

// A head stream on a directory that holds the sets and tables above, and the stages of its pipeline.
struct Pipeline {
  Pipeline() {
    dir.Write("west.chs", WestSet());
    dir.Write("east.chs", EastSet());
    dir.Write("groups.sub", kGroupsTable);
    dir.Write("wildcard.sub", kWildcardTable);
    dir.Write("variable.sub", kVariableTable);
    head.Open(dir.Path().c_str());
  }
  template <class Stage>
  Stage &Add() {
    stages.emplace_back(new Stage);
    head.Add(stages.back().get());
    return static_cast<Stage &>(*stages.back());
  }
  std::string Run(const std::string &text) { return RunPipeline(head, text); }
  std::string HeadError() const { return ErrorText(head); }

  TempDir dir;
  CStream head;
  std::vector<std::unique_ptr<CStreamObj>> stages;  // in pipeline order
};

// Clears the variable that the variable table sets ("q" and "Q" name the same one).
void ClearVariables() {
  char assignment[] = "Q=";
  SetVariable(assignment);
}

bool OneOf(const std::string &text, const std::vector<std::string> &texts) {
  return std::find(texts.begin(), texts.end(), text) != texts.end();
}

const std::string kQueueError = "Stream: I/O error 12 on stream\n";

TEST(OutOfMemory, OpeningTheStreamObjects) {
  WalkAllocationFailures("CStreamObj::Open", [](AllocationStep &step) {
    CStreamObj object;
    step.Arm();
    const int opened = object.Open();
    if (step.Disarm()) {
      EXPECT_EQ(opened, 0);
      EXPECT_EQ(object.m_work, nullptr);
      EXPECT_EQ(ErrorText(object), "StreamObj: Memory allocation error\n");
    }
  });
  WalkAllocationFailures("CStream::Open", [](AllocationStep &step) {
    CStream head;
    step.Arm();
    const int opened = head.Open("dir");
    if (step.Disarm()) {
      EXPECT_EQ(opened, 0);
      EXPECT_EQ(ErrorText(head), "Stream: Memory allocation error\n") << step.failing();
    } else {
      EXPECT_STREQ(head.m_name, "dir");
    }
  });
}

TEST(OutOfMemory, ReportsTheFirstErrorTextOnlyWhenItHasRoom) {
  // The text buffer is the object's first allocation for a report, and then kept.
  const unsigned long allocations = WalkAllocationFailures("Eprintf", [](AllocationStep &step) {
    CStreamObj object;
    step.Arm();
    const int length = object.Eprintf("first %d\n", 1);
    if (step.Disarm()) {
      EXPECT_EQ(length, 0);
      EXPECT_EQ(object.m_errText, nullptr);
    }
    EXPECT_EQ(object.Eprintf("second\n"), 18);  // memory is back
    EXPECT_EQ(ErrorText(object), "StreamObj: second\n");
  });
  EXPECT_EQ(allocations, 1u);
}

TEST(OutOfMemory, WritingKeepsWhatWasQueued) {
  const std::string text(1700, 'q');
  const unsigned long blocks = WalkAllocationFailures("Write", [&](AllocationStep &step) {
    CStreamObj writer, reader;
    writer.Connect(&reader);
    ASSERT_TRUE(reader.Open());
    step.Arm();
    const unsigned written = writer.Write(text.data(), static_cast<unsigned>(text.size()));
    if (step.Disarm()) {
      EXPECT_EQ(writer.Error(), kErrNoMemory);
      EXPECT_EQ(written, 0u);
      EXPECT_EQ(Drain(reader), text.substr(0, 500 * (step.failing() - 1)));
    } else {
      EXPECT_EQ(written, text.size());
      EXPECT_EQ(Drain(reader), text);
    }
  });
  EXPECT_EQ(blocks, 4u);
}

TEST(OutOfMemory, FileTransfers) {
  const std::string text(1234, 'f');
  auto expectQueued = [&](Pipeline &pipeline, AllocationStep &step, int transferred) {
    if (step.Disarm()) {
      EXPECT_EQ(transferred, 0);
      EXPECT_EQ(pipeline.HeadError(), kQueueError);
    }
    EXPECT_EQ(Drain(pipeline.head), transferred ? text : text.substr(0, 500 * (step.failing() - 1)));
  };
  WalkAllocationFailures("ReadFile", [&](AllocationStep &step) {
    Pipeline pipeline;
    const std::string name = pipeline.dir.Write("in.txt", text);
    step.Arm();
    expectQueued(pipeline, step, pipeline.head.ReadFile(name.c_str()));
  });
  WalkAllocationFailures("ReadStream", [&](AllocationStep &step) {
    Pipeline source, target;
    source.head.Write(text.data(), static_cast<unsigned>(text.size()));
    ASSERT_TRUE(source.head.Close());
    step.Arm();
    expectQueued(target, step, target.head.ReadStream(&source.head));
  });
  const unsigned long writeAllocations = WalkAllocationFailures("WriteFile", [&](AllocationStep &step) {
    Pipeline pipeline;
    pipeline.head.Write(text.data(), static_cast<unsigned>(text.size()));
    ASSERT_TRUE(pipeline.head.Close());
    const std::string name = pipeline.dir.File("out.txt");
    step.Arm();
    EXPECT_EQ(pipeline.head.WriteFile(name.c_str()), 1);
    step.Disarm();
    EXPECT_EQ(pipeline.dir.Read("out.txt"), text);
  });
  EXPECT_EQ(writeAllocations, 0u);
}

TEST(OutOfMemory, LoadingSetsAndTables) {
  WalkAllocationFailures("CCharSet::Open", [](AllocationStep &step) {
    Pipeline pipeline;
    CStreamObj &sink = pipeline.Add<CStreamObj>();
    CCharSet set;
    step.Arm();
    const int opened = set.Open(&sink, "west");
    if (step.Disarm()) {
      EXPECT_EQ(opened, 0);
      EXPECT_EQ(ErrorText(sink), "StreamObj: CCharSet: Memory allocation error\n") << step.failing();
    } else {
      EXPECT_EQ(set.chsval("eacute"), 0xE9);
    }
  });
  const unsigned long tableAllocations = WalkAllocationFailures("CConvTbl::Open", [](AllocationStep &step) {
    CStreamObj sink;
    CConvTbl table;
    step.Arm();
    const int opened = table.Open(&sink, BuiltinCharSet(), BuiltinCharSet());
    if (step.Disarm()) {
      EXPECT_EQ(opened, 0);
      EXPECT_EQ(ErrorText(sink), "StreamObj: CConvTbl: Memory allocation error\n");
    }
  });
  EXPECT_EQ(tableAllocations, 1u);
  for (const char *table : {"groups", "wildcard", "variable"}) {
    WalkAllocationFailures(table, [table](AllocationStep &step) {
      Pipeline pipeline;
      CStreamObj &sink = pipeline.Add<CStreamObj>();
      CSubstTbl loaded;
      step.Arm();
      const int opened = loaded.Open(&sink, table, BuiltinCharSet(), BuiltinCharSet());
      if (step.Disarm()) {
        EXPECT_EQ(opened, 0);
        EXPECT_TRUE(OneOf(ErrorText(sink),
                          {"StreamObj: CSubstTbl: Memory allocation error\n",
                           "StreamObj: CConvTbl: Memory allocation error\n",
                           "StreamObj: CSubstTbl: Memory allocation error\n  \"\\L\\L\\L\" \"w\"\n\n"}))
            << table << ", allocation " << step.failing() << ": " << ErrorText(sink);
      } else {
        EXPECT_GT(loaded.count, 0) << table;
      }
    });
  }
}

TEST(OutOfMemory, OpeningTheStages) {
  const std::string memory = "Memory allocation error\n";
  struct Opening {
    const char *what;
    int (*open)(Pipeline &pipeline, AllocationStep &step);  // adds the stage, arms the step, opens
    std::set<std::string> messages;                         // every one is reported, and nothing else
    std::string input, output;
  } openings[] = {
      {"CConvert::Open by names",
       [](Pipeline &p, AllocationStep &step) {
         auto &stage = p.Add<CConvert>();
         step.Arm();
         return stage.Open("west", "east");
       },
       {"Convert: " + memory, "Convert: CCharSet: " + memory, "Convert: CConvTbl: " + memory},
       "&eacute;\xC9",
       "\x8E\x83"},
      {"CConvert::Open with sets",
       [](Pipeline &p, AllocationStep &step) {
         auto &stage = p.Add<CConvert>();
         step.Arm();
         return stage.Open(BuiltinCharSet(), BuiltinCharSet());
       },
       {"Convert: " + memory, "Convert: CConvTbl: " + memory},
       "&lt;",
       "<"},
      {"CUtf8Convert::Open by names",
       [](Pipeline &p, AllocationStep &step) {
         auto &stage = p.Add<CUtf8Convert>();
         step.Arm();
         return stage.Open(kUtf8, "west");
       },
       {"Utf8Convert: " + memory, "Utf8Convert: CCharSet: " + memory},
       "&eacute;\xC3\xA9\xE2\x82\xAC",
       "\xE9\xE9&euro;"},
      {"CUtf8Convert::Open with sets",
       [](Pipeline &p, AllocationStep &step) {
         auto &stage = p.Add<CUtf8Convert>();
         step.Arm();
         return stage.Open(BuiltinCharSet(), nullptr);
       },
       {"Utf8Convert: " + memory},
       "&lt;&#xE9;",
       "<\xC3\xA9"},
      {"CSubstitute::Open by names",
       [](Pipeline &p, AllocationStep &step) {
         auto &stage = p.Add<CSubstitute>();
         step.Arm();
         return stage.Open("wildcard", "west");
       },
       {"Substitute: " + memory, "Substitute: Memory allocation error d\n", "Substitute: CCharSet: " + memory,
        "Substitute: CConvTbl: " + memory, "Substitute: CSubstTbl: " + memory,
        "Substitute: CSubstTbl: " + memory + "  \"\\L\\L\\L\" \"w\"\n\n"},
       "<ab> e abcd",
       "[AB] \xE9 wd"},
      {"CSubstitute::Open with sets",
       [](Pipeline &p, AllocationStep &step) {
         auto &stage = p.Add<CSubstitute>();
         step.Arm();
         return stage.Open("groups", BuiltinCharSet(), BuiltinCharSet());
       },
       {"Substitute: " + memory, "Substitute: Memory allocation error d\n", "Substitute: CConvTbl: " + memory,
        "Substitute: CSubstTbl: " + memory},
       "abcd",
       "ABCd"},
  };
  for (const Opening &o : openings) {
    std::set<std::string> reported;
    WalkAllocationFailures(o.what, [&](AllocationStep &step) {
      Pipeline pipeline;
      const int opened = o.open(pipeline, step);
      if (step.Disarm()) {
        const std::string error = ErrorText(*pipeline.stages.back());
        EXPECT_EQ(opened, 0);
        EXPECT_EQ(pipeline.Run(o.input), "failed: Stream: Object was not opened\n") << o.what;
        reported.insert(error);
      } else {
        EXPECT_EQ(pipeline.Run(o.input), o.output) << o.what;
      }
    });
    EXPECT_EQ(reported, o.messages) << o.what;
  }
}

// One conversion, then one conversion and three substitutions, run with each of their allocations
// failing: a run fails with one message on the head, and the next run gives the full output again.
TEST(OutOfMemory, RunningThePipelines) {
  std::string text;
  for (int i = 0; i < 150; ++i) text += "babcd.[x\xE9] x <e|a> ";
  const std::vector<std::string> runMessages = {kQueueError, "Stream: I/O error 12 on stream",
                                                "Stream: Memory allocation error\n"};
  struct Stages {
    const char *what;
    std::vector<const char *> tables;  // after a conversion from west to east
    std::string outputStart;           // of a run without failures
  } pipelines[] = {
      {"conversion", {}, "babcd.[x\x8E] x <e|a> b"},
      {"typical pipeline", {"groups", "wildcard", "variable"}, "bABCd. <x\x8E|>  BABCd. <E|A, x\x8E|>"}};
  for (const Stages &p : pipelines) {
    std::string expected;
    const unsigned long allocations = WalkAllocationFailures(p.what, [&](AllocationStep &step) {
      Pipeline pipeline;
      ASSERT_TRUE(pipeline.Add<CConvert>().Open("west", "east")) << ErrorText(*pipeline.stages.back());
      for (const char *table : p.tables)
        ASSERT_TRUE(pipeline.Add<CSubstitute>().Open(table, "east")) << ErrorText(*pipeline.stages.back());
      ClearVariables();
      if (expected.empty()) expected = pipeline.Run(text);
      ClearVariables();
      pipeline.head.Write(text.data(), static_cast<unsigned>(text.size()));
      step.Arm();
      const int ran = pipeline.head.Close();
      if (step.Disarm()) {
        EXPECT_EQ(ran, 0);
        EXPECT_TRUE(OneOf(pipeline.HeadError(), runMessages))
            << p.what << ", allocation " << step.failing() << ": " << pipeline.HeadError();
        Drain(pipeline.head);
        ClearVariables();
        EXPECT_EQ(pipeline.Run(text), expected) << p.what << ", after allocation " << step.failing();
      } else {
        EXPECT_EQ(Drain(pipeline.head), expected) << p.what;
      }
    });
    EXPECT_GT(allocations, 3u) << p.what;
    EXPECT_EQ(expected.substr(0, p.outputStart.size()), p.outputStart) << p.what;
  }
  ClearVariables();
}

// The UTF-8 stage in both directions, run with each of its allocations failing (the next queue's blocks
// and the head's error text): the run fails with the queue's message, and the next run is whole again.
TEST(OutOfMemory, RunningTheUtf8Stage) {
  const struct {
    bool toUtf8;
    const char *piece;  // the text is 150 of them
  } directions[] = {{false, "caf\xC3\xA9 &eacute; \xC2\xA9 &euro; \xE2\x82\xAC "},
                    {true, "caf\xE9 &eacute; \xA9 &euro; "}};
  for (const auto &direction : directions) {
    std::string text, expected;
    for (int i = 0; i < 150; ++i) text += direction.piece;
    const unsigned long allocations = WalkAllocationFailures("UTF-8 stage", [&](AllocationStep &step) {
      Pipeline pipeline;
      CUtf8Convert &stage = pipeline.Add<CUtf8Convert>();
      ASSERT_TRUE(direction.toUtf8 ? stage.Open("west", kUtf8) : stage.Open(kUtf8, "west"))
          << ErrorText(stage);
      if (expected.empty()) expected = pipeline.Run(text);
      pipeline.head.Write(text.data(), static_cast<unsigned>(text.size()));
      step.Arm();
      const int ran = pipeline.head.Close();
      if (step.Disarm()) {
        EXPECT_EQ(ran, 0);
        EXPECT_EQ(pipeline.HeadError(), kQueueError) << "allocation " << step.failing();
        Drain(pipeline.head);
        EXPECT_EQ(pipeline.Run(text), expected) << "after allocation " << step.failing();
      } else {
        EXPECT_EQ(Drain(pipeline.head), expected);
      }
    });
    EXPECT_GT(allocations, 3u);
    const std::string start =
        direction.toUtf8 ? "caf\xC3\xA9 \xC3\xA9 \xC2\xA9 \xE2\x82\xAC " : "caf\xE9 \xE9 \xA9 &euro; &euro; ";
    EXPECT_EQ(expected.substr(0, start.size()), start);
  }
}

}  // namespace
