// The output file is replaced only by a committed result, through its links, with its owner and
// permissions; nothing is left beside it, also when a signal ends the process.
#include "cli/output_file.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <csignal>
#include <filesystem>
#include <optional>

#include "cli/signal_cleanup.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

// The names in dir, sorted, separated by blanks.
std::string NamesIn(const TempDir &dir) {
  std::vector<std::string> names;
  for (const auto &entry : fs::directory_iterator(dir.Path())) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  std::string joined;
  for (const std::string &name : names) joined += (joined.empty() ? "" : " ") + name;
  return joined;
}

// Opens target, writes text and commits; the error text, or empty on success.
std::string Replace(const std::string &target, const char *text) {
  OutputFile output;
  if (!output.Open(target)) return output.error();
  std::fputs(text, output.file());
  return output.Commit() ? std::string() : output.error();
}

TEST(OutputFile, ACommittedResultReplacesTheFile) {
  TempDir dir;
  const std::string target = dir.Write("out.txt", "old");
  OutputFile output;
  ASSERT_TRUE(output.Open(target)) << output.error();
  std::fputs("new", output.file());
  EXPECT_EQ(dir.Read("out.txt"), "old");  // untouched until committed, and may be read meanwhile
  ASSERT_TRUE(output.Commit()) << output.error();
  EXPECT_EQ(dir.Read("out.txt"), "new");
  EXPECT_EQ(NamesIn(dir), "out.txt");
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
  EXPECT_EQ(NamesIn(dir), "out.txt");
}

TEST(OutputFile, TheNewFileHasAShortNameBesideTheTarget) {
  TempDir dir;
  const std::string longest(255, 'n');  // the longest name most file systems take
  OutputFile output;
  ASSERT_TRUE(output.Open(dir.File(longest))) << output.error();
  const std::string beside = NamesIn(dir);
  ASSERT_EQ(beside.size(), 14u) << beside;
  EXPECT_EQ(beside.compare(0, 8, "runeflow"), 0) << beside;
  ASSERT_TRUE(output.Commit()) << output.error();
  EXPECT_EQ(NamesIn(dir), longest);
}

TEST(OutputFile, TargetsAndTheirFailures) {
  TempDir dir;
  fs::create_directories(dir.File("sub"));
  dir.Write("sub/real.txt", "old");
  struct Case {
    const char *proves;
    std::string path;
    std::string error;   // empty: replaced
    std::string target;  // the file that holds the text afterwards
  };
  std::vector<Case> cases = {
      {"a directory", dir.File("sub"), "can't write " + dir.File("sub") + ": Is a directory", ""},
      {"a missing directory", dir.File("missing/out.txt"),
       "can't create a file beside " + dir.File("missing/out.txt") + ": No such file or directory", ""},
  };
#ifndef _WIN32  // symbolic links
  fs::create_symlink("sub/real.txt", dir.File("direct"));
  fs::create_symlink("../direct", dir.File("sub/chained"));  // relative to the link's own directory
  fs::create_symlink("made.txt", dir.File("sub/dangling"));
  fs::create_symlink("loop", dir.File("loop"));
  cases.push_back({"a link: the file it points to", dir.File("direct"), "", "sub/real.txt"});
  cases.push_back({"a chain of relative links", dir.File("sub/chained"), "", "sub/real.txt"});
  cases.push_back({"a dangling link: the file it names is made", dir.File("sub/dangling"), "", "sub/made.txt"});
  cases.push_back({"links that loop", dir.File("loop"),
                   "can't write " + dir.File("loop") + ": Too many levels of symbolic links", ""});
#endif
  const std::string before = NamesIn(dir);
  for (const Case &c : cases) {
    EXPECT_EQ(Replace(c.path, "new"), c.error) << c.proves;
    if (c.error.empty()) {
      EXPECT_EQ(dir.Read(c.target), "new") << c.proves;
      EXPECT_TRUE(fs::is_symlink(c.path)) << c.proves;
    }
  }
  EXPECT_EQ(NamesIn(dir), before);
}

#ifndef _WIN32
TEST(OutputFile, KeepsThePermissionsOrGivesThoseOfANewFile) {
  TempDir dir;
  const mode_t mask = umask(022);
  umask(mask);
  for (const mode_t mode : {0600, 0640, 0604, 0755}) {
    const std::string target = dir.Write("kept", "old");
    chmod(target.c_str(), mode);
    ASSERT_EQ(Replace(target, "new"), "");
    struct stat status;
    ASSERT_EQ(stat(target.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, mode);
  }
  ASSERT_EQ(Replace(dir.File("fresh"), "new"), "");
  struct stat status;
  ASSERT_EQ(stat(dir.File("fresh").c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 07777, 0666 & ~mask);
}

TEST(OutputFile, ADeviceIsWrittenInPlace) {
  OutputFile output;
  ASSERT_TRUE(output.Open("/dev/null")) << output.error();
  std::fputs("gone", output.file());
  EXPECT_TRUE(output.Commit()) << output.error();
}

// Each signal is sent in a copy of this process (a death test), which must end by it.
TEST(OutputFile, ASignalEndsTheProcessAndLeavesTheFileWholeWithNothingBeside) {
  const struct {
    const char *proves;
    int signal;
    bool duringCommit;  // the signal comes while the commit holds signals back
    const char *text;   // the file's text afterwards
  } cases[] = {
      {"a signal while the new file is written removes it", SIGTERM, false, "old"},
      {"a signal during a commit waits for its end", SIGINT, true, "new"},
  };
  for (const auto &c : cases) {
    TempDir dir;
    const std::string target = dir.Write("out.txt", "old");
    EXPECT_EXIT(
        {
          OutputFile output;
          output.Open(target);
          std::fputs("new", output.file());
          std::fflush(output.file());
          std::optional<SignalCleanup::Deferral> deferral;
          if (c.duringCommit) deferral.emplace();
          std::raise(c.signal);
          output.Commit();
        },
        ::testing::KilledBySignal(c.signal), "")
        << c.proves;
    EXPECT_EQ(dir.Read("out.txt"), c.text) << c.proves;
    EXPECT_EQ(NamesIn(dir), "out.txt") << c.proves;
  }
}
#endif

TEST(SignalCleanup, HoldsAtMostItsCapacityAtOnce) {
  std::vector<int> entries;
  for (int entry; (entry = SignalCleanup::Reserve()) >= 0;) entries.push_back(entry);
  EXPECT_EQ(entries.size(), static_cast<size_t>(SignalCleanup::kCapacity));
  OutputFile output;
  TempDir dir;
  EXPECT_FALSE(output.Open(dir.File("out.txt")));
  EXPECT_EQ(output.error(), "can't create a file beside " + dir.File("out.txt") + ": Too many open files");
  for (const int entry : entries) SignalCleanup::Release(entry);
  EXPECT_EQ(NamesIn(dir), "");
  EXPECT_EQ(Replace(dir.File("out.txt"), "new"), "");
}

}  // namespace
