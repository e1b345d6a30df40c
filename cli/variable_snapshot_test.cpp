// What the runeflow command prints for the variables a run changed.
#include "cli/variable_snapshot.h"

#include <gtest/gtest.h>

#include <cstdlib>

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

TEST(VariableSnapshot, RestorePutsTheVariablesBack) {
  VariableSnapshot start;
  start.Set('Q', "kept");
  start.Restore();
  const VariableSnapshot before = VariableSnapshot::Take();
  VariableSnapshot changed;
  changed.Set('Q', "changed");
  changed.Set('W', "new");
  changed.Restore();
  ASSERT_STREQ(std::getenv("W"), "new");
  before.Restore();
  EXPECT_STREQ(std::getenv("Q"), "kept");
  EXPECT_EQ(std::getenv("W"), nullptr);
  EXPECT_TRUE(before.Changes(VariableSnapshot::Take()).empty());
}

}  // namespace
