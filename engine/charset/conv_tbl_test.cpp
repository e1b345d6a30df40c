// Building the conversion table: pairing by exact name only, markers for undefined and unnamed values.
#include "engine/charset/conv_tbl.h"

#include <gtest/gtest.h>

#include "engine/stream/allocator.h"
#include "tests/support/stage_in_dir.h"

namespace {

TEST(ConvTbl, PairsValuesByExactNameOnly) {
  StageInDir<CStreamObj> pipeline;
  CCharSet from, to;
  ASSERT_TRUE(pipeline.LoadSet(from, "from",
                               "038\tB\tamp\n059\tE\tsemi\n065\t\tA\n066\t\tdup\n067\t\tdup\n"
                               "068\t\t\n069\t\ta\n070\t\tonly here\n"));
  ASSERT_TRUE(
      pipeline.LoadSet(to, "to", "200\t\tA\n100\t\tamp\n101\t\tsemi\n066\t\tdup\n050\t\t\n040\t\t\n"));
  CConvTbl table;
  ASSERT_EQ(table.Open(&pipeline.stage, &from, &to), 1);
  EXPECT_EQ(table.errsink, &pipeline.stage);
  const std::vector<std::pair<int, int>> expected = {
      {38, 100},       {59, 101},  // entity roles play no part
      {65, 200},       {66, 66},          {67, 66},
      {68, 40},        {69, kNoSuchName}, {70, kNoSuchName},  // "a" is not "A"
      {0, kUndefined}, {71, kUndefined},  {255, kUndefined}};
  for (const auto &[source, destination] : expected) EXPECT_EQ(table.map[source], destination) << source;

  ASSERT_EQ(table.Open(&pipeline.stage, &from, &from), 1);
  EXPECT_EQ(table.map[65], 65);
  EXPECT_EQ(table.map[67], 66);  // a shared name maps to the value that bears it first
  EXPECT_EQ(table.map[71], kUndefined);

  ASSERT_EQ(table.Open(&pipeline.stage, &from, nullptr), 1);
  EXPECT_EQ(table.map[65], kNoSuchName);
  ASSERT_EQ(table.Open(&pipeline.stage, nullptr, &to), 1);
  EXPECT_EQ(table.map[65], kUndefined);
}

TEST(ConvTbl, ReportsWhenItsMapCannotBeAllocated) {
  StageInDir<CStreamObj> pipeline;
  CCharSet set;
  ASSERT_TRUE(pipeline.LoadSet(set, "set", "065\t\tA\n"));
  CConvTbl table;
  FailAllocationAt(1);
  EXPECT_EQ(table.Open(&pipeline.stage, &set, &set), 0);
  FailAllocationAt(0);
  EXPECT_EQ(table.map, nullptr);
  EXPECT_EQ(pipeline.StageError(), "StreamObj: CConvTbl: Memory allocation error\n");
}

}  // namespace
