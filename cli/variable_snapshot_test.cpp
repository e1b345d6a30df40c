// What the runeflow command prints for the variables a run changed.
#include "cli/variable_snapshot.h"

#include <gtest/gtest.h>

namespace {

TEST(VariableSnapshot, ReportsSetChangedAndRemovedVariablesQuoted) {
  VariableSnapshot before, after;
  before.Set('A', "same");
  before.Set('B', "old");
  before.Set('C', "gone");
  after.Set('A', "same");
  after.Set('B', "it's new");
  after.Set('D', "");
  after.Set('E', "e");
  const std::vector<std::string> expected{"B='it'\\''s new'", "C=''", "D=''", "E='e'"};
  EXPECT_EQ(before.Changes(after), expected);
}

}  // namespace
