// Tests of the framework's command-line parsing: the marks each argument arrives with, and the object
// runtime's switches.
#include "server/framework/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Records every argument as "param flag last", e.g. "Install 1 1".
class CRecordingCommandLine : public CCommandLine {
 public:
  void ParseParam(const char *param, bool flag, bool last) override {
    CCommandLine::ParseParam(param, flag, last);
    seen.push_back(std::string(param) + " " + (flag ? "1" : "0") + " " + (last ? "1" : "0"));
  }
  std::vector<std::string> seen;
};

TEST(CommandLine, HandsOverEachArgumentWithItsMarks) {
  struct Case {
    const char *what;
    std::vector<const char *> arguments;
    std::vector<std::string> seen;
    bool startedByRuntime;
  } const cases[] = {
      {"no argument", {}, {}, false},
      {"a slash and a dash make a flag, removed", {"/Install", "-x"}, {"Install 1 0", "x 1 1"}, false},
      {"a plain word is no flag", {"Install"}, {"Install 0 1"}, false},
      {"only the first flag character goes", {"//a", "-/b"}, {"/a 1 0", "/b 1 1"}, false},
      {"a lone slash is an empty flag", {"/"}, {" 1 1"}, false},
      {"the runtime's embedding switch", {"-Embedding"}, {"Embedding 1 1"}, true},
      {"and its automation switch, in any case", {"/AUTOMATION", "x"}, {"AUTOMATION 1 0", "x 0 1"}, true},
      {"the switches count only as flags",
       {"Embedding", "Automation"},
       {"Embedding 0 0", "Automation 0 1"},
       false},
      {"nor with anything after them", {"/Embeddings"}, {"Embeddings 1 1"}, false},
  };
  for (const Case &c : cases) {
    CRecordingCommandLine commandLine;
    commandLine.Parse(static_cast<int>(c.arguments.size()), c.arguments.data());
    EXPECT_EQ(c.seen, commandLine.seen) << c.what;
    EXPECT_EQ(c.startedByRuntime, commandLine.m_startedByRuntime) << c.what;
  }
}

}  // namespace
