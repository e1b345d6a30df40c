// Tests of Setup's command line: "/Install" and "/Remove" in any letter case and only as the last
// argument; every other argument counts once as a syntax error.
#include "setup/setup_command_line.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(SetupCommandLine, OnlyALastSwitchCountsAndEveryOtherArgumentIsASyntaxError) {
  struct Case {
    const char *what;
    std::vector<const char *> arguments;
    int install, remove, syntaxErrors;
  } const cases[] = {
      {"nothing: the dialog", {}, 0, 0, 0},
      {"/Install", {"/Install"}, 1, 0, 0},
      {"any letter case", {"/iNSTALL"}, 1, 0, 0},
      {"with a hyphen", {"-install"}, 1, 0, 0},
      {"/Remove", {"/REMOVE"}, 0, 1, 0},
      {"a plain word is no switch", {"Install"}, 0, 0, 1},
      {"longer", {"/Installs"}, 0, 0, 1},
      {"followed by a word: two syntax errors", {"/Install", "now"}, 0, 0, 2},
      {"after a word", {"now", "/Remove"}, 0, 1, 1},
      {"two switches: the last counts", {"/Install", "/Remove"}, 0, 1, 1},
      {"the object runtime's switch is no switch of Setup", {"/Embedding"}, 0, 0, 1},
      {"a bare flag character", {"/"}, 0, 0, 1},
  };
  for (const Case &c : cases) {
    CSetupCommandLine commandLine;
    commandLine.Parse(static_cast<int>(c.arguments.size()), c.arguments.data());
    EXPECT_EQ(c.install, commandLine.install) << c.what;
    EXPECT_EQ(c.remove, commandLine.remove) << c.what;
    EXPECT_EQ(c.syntaxErrors, commandLine.syntaxErrors) << c.what;
  }
}

}  // namespace
