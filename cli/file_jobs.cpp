// Running file jobs: a queue of files handed out to at most N child processes, each started with fork
// and waited for with waitpid; a file seen before (by device and inode) is skipped.
#include "cli/file_jobs.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <utility>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

// The files without those named before: the same name, or on POSIX the same file under another name.
std::vector<std::string> Distinct(const std::vector<std::string> &files) {
  std::vector<std::string> distinct;
  std::set<std::string> names;
#ifndef _WIN32
  std::set<std::pair<dev_t, ino_t>> seen;
#endif
  for (const std::string &file : files) {
    if (!names.insert(file).second) continue;
#ifndef _WIN32
    struct stat status;
    if (stat(file.c_str(), &status) == 0 && !seen.insert({status.st_dev, status.st_ino}).second) continue;
#endif
    distinct.push_back(file);
  }
  return distinct;
}

}  // namespace

int RunFileJobs(const std::vector<std::string> &files, int jobs,
                const std::function<bool(const std::string &)> &job,
                const std::function<void(const std::string &, const std::string &)> &report) {
  int failed = 0;
  const std::vector<std::string> distinct = Distinct(files);
#ifdef _WIN32
  (void)jobs;
  (void)report;
  for (const std::string &file : distinct) failed += !job(file);
#else
  std::map<pid_t, const std::string *> running;  // the children and the file each works on
  size_t next = 0;
  while (next < distinct.size() || !running.empty()) {
    if (next < distinct.size() && static_cast<int>(running.size()) < jobs) {
      const std::string &file = distinct[next++];
      pid_t child = -1;
      if (jobs > 1) {
        std::fflush(nullptr);  // what this process buffered is written once, not once more by the child
        child = fork();
        if (child == 0) {
          const bool succeeded = job(file);
          std::fflush(nullptr);
          _exit(succeeded ? 0 : 1);
        }
      }
      if (child > 0) {
        running[child] = &file;
      } else {
        failed += !job(file);  // one job at a time, or no process to be had
      }
      continue;
    }
    int status = 0;
    const pid_t ended = waitpid(-1, &status, 0);
    if (ended < 0) {  // the children are gone without word of how they ended
      if (errno == EINTR) continue;
      for (const auto &child : running) report(*child.second, std::string("lost: ") + std::strerror(errno));
      failed += static_cast<int>(running.size());
      running.clear();
      continue;
    }
    const auto found = running.find(ended);
    if (found == running.end()) continue;
    if (WIFSIGNALED(status)) report(*found->second, "ended by signal " + std::to_string(WTERMSIG(status)));
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) ++failed;
    running.erase(found);
  }
#endif
  return failed;
}
