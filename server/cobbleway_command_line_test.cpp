// Tests of Cobbleway's command line: "Install" and "Remove" count only as a flag written exactly so and
// as the last argument; the object runtime's switch is still the framework's.
#include "server/cobbleway_command_line.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(CobblewayCommandLine, InstallAndRemoveOnlyAsTheLastFlagInTheirOwnLetterCase) {
  struct Case {
    const char *what;
    std::vector<const char *> arguments;
    int install, remove;
    bool startedByRuntime;
  } const cases[] = {
      {"nothing: the about box", {}, 0, 0, false},
      {"/Install", {"/Install"}, 1, 0, false},
      {"-Install", {"-Install"}, 1, 0, false},
      {"/Remove", {"/Remove"}, 0, 1, false},
      {"another letter case is not recognised", {"/install"}, 0, 0, false},
      {"nor in capitals", {"/REMOVE"}, 0, 0, false},
      {"a plain word is no switch", {"Install"}, 0, 0, false},
      {"followed by another argument", {"/Install", "x"}, 0, 0, false},
      {"followed by another switch", {"/Install", "/Remove"}, 0, 1, false},
      {"preceded by a word", {"x", "/Install"}, 1, 0, false},
      {"longer", {"/Installs"}, 0, 0, false},
      {"the object runtime's switch", {"-Embedding"}, 0, 0, true},
      {"after the object runtime's switch", {"/Automation", "/Install"}, 1, 0, true},
  };
  for (const Case &c : cases) {
    CCobblewayCommandLine commandLine;
    commandLine.Parse(static_cast<int>(c.arguments.size()), c.arguments.data());
    EXPECT_EQ(c.install, commandLine.install) << c.what;
    EXPECT_EQ(c.remove, commandLine.remove) << c.what;
    EXPECT_EQ(c.startedByRuntime, commandLine.m_startedByRuntime) << c.what;
  }
}

}  // namespace
