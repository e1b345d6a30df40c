// Jobs over files: every file once, in order when one at a time, at once in processes of their own
// (which a job shows by the process it ran in), failures counted, a job that dies reported.
#include "cli/file_jobs.h"

#include <gtest/gtest.h>

#include <csignal>
#include <set>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace {

struct Jobs {
  // Runs a job over files that appends the file's name to a record (in the file "ran.FILE", so that
  // children leave it too) and fails for names that begin with "bad".
  int Run(const std::vector<std::string> &names, int jobs) {
    std::vector<std::string> files;
    for (const std::string &name : names) files.push_back(dir.Write(name, name));
    return RunFileJobs(
        files, jobs,
        [&](const std::string &file) {
          const std::string name = file.substr(dir.Path().size() + 1);
#ifndef _WIN32
          dir.Write("ran." + name, std::to_string(getpid()));
#else
          dir.Write("ran." + name, "here");
#endif
          if (name == "dies") std::raise(SIGABRT);
          return name.rfind("bad", 0) != 0;
        },
        [&](const std::string &file, const std::string &reason) {
          reports.push_back(file.substr(dir.Path().size() + 1) + ": " + reason);
        });
  }
  std::set<std::string> Ran(const std::vector<std::string> &names) const {
    std::set<std::string> ran;
    for (const std::string &name : names) ran.insert(dir.Read("ran." + name));
    return ran;
  }
  TempDir dir;
  std::vector<std::string> reports;
};

TEST(FileJobs, EveryFileRunsOnceAndFailuresAreCounted) {
  for (int jobs : {1, 3}) {
    Jobs run;
    const std::vector<std::string> names = {"a", "bad1", "c", "d", "bad2", "f"};
    EXPECT_EQ(run.Run(names, jobs), 2) << jobs;
    for (const std::string &name : names)
      EXPECT_FALSE(run.dir.Read("ran." + name).empty()) << name << ", " << jobs;
    EXPECT_TRUE(run.reports.empty());
#ifndef _WIN32
    const std::set<std::string> processes = run.Ran(names);
    if (jobs == 1) {
      EXPECT_EQ(processes, std::set<std::string>{std::to_string(getpid())}) << "one at a time, here";
    } else {
      EXPECT_EQ(processes.size(), names.size()) << "each in a process of its own";
      EXPECT_EQ(processes.count(std::to_string(getpid())), 0u);
    }
#endif
  }
}

TEST(FileJobs, AFileNamedTwiceRunsOnce) {
  Jobs run;
  const std::string file = run.dir.Write("once", "x");
  int calls = 0;
  RunFileJobs(
      {file, file, run.dir.Path() + "/./once"}, 1, [&](const std::string &) { return ++calls > 0; },
      [](const std::string &, const std::string &) {});
#ifdef _WIN32
  EXPECT_EQ(calls, 2) << "the same name is known, another name for the file is not";
#else
  EXPECT_EQ(calls, 1);
#endif
}

#ifndef _WIN32
TEST(FileJobs, AJobThatDiesIsReportedAndTheOthersGoOn) {
  Jobs run;
  EXPECT_EQ(run.Run({"a", "dies", "c"}, 2), 1);
  EXPECT_EQ(run.reports, std::vector<std::string>{"dies: ended by signal " + std::to_string(SIGABRT)});
  EXPECT_FALSE(run.dir.Read("ran.c").empty());
}
#endif

}  // namespace
