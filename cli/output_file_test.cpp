// The output file is replaced only by a committed result; nothing is left beside it either way.
#include "cli/output_file.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/temp_dir.h"

namespace {

size_t FilesIn(const TempDir &dir) {
  size_t count = 0;
  for (const auto &entry : std::filesystem::directory_iterator(dir.Path())) count += entry.is_regular_file();
  return count;
}

TEST(OutputFile, ACommittedResultReplacesTheFile) {
  TempDir dir;
  const std::string target = dir.Write("out.txt", "old");
  {
    OutputFile output;
    ASSERT_TRUE(output.Open(target)) << output.error();
    std::fputs("new", output.file());
    EXPECT_EQ(dir.Read("out.txt"), "old");  // untouched until committed
    ASSERT_TRUE(output.Commit()) << output.error();
  }
  EXPECT_EQ(dir.Read("out.txt"), "new");
  EXPECT_EQ(FilesIn(dir), 1u);
}

TEST(OutputFile, AnAbandonedResultLeavesTheFileAsItWas) {
  TempDir dir;
  const std::string target = dir.Write("out.txt", "old");
  {
    OutputFile output;
    ASSERT_TRUE(output.Open(target)) << output.error();
    std::fputs("half", output.file());
  }
  EXPECT_EQ(dir.Read("out.txt"), "old");
  EXPECT_EQ(FilesIn(dir), 1u);
}

TEST(OutputFile, ANewFileAndAMissingDirectory) {
  TempDir dir;
  {
    OutputFile output;
    ASSERT_TRUE(output.Open(dir.File("new.txt"))) << output.error();
    ASSERT_TRUE(output.Commit()) << output.error();
  }
  EXPECT_TRUE(std::filesystem::exists(dir.File("new.txt")));
  OutputFile output;
  EXPECT_FALSE(output.Open(dir.File("missing/out.txt")));
  EXPECT_EQ(output.error().rfind("can't create a file beside " + dir.File("missing/out.txt") + ": ", 0), 0u)
      << output.error();
}

}  // namespace
