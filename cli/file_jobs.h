// FileJobs: runs one job per file, several at once where the system can fork processes. The runeflow
// command converts files in place this way: each file in a process of its own, so that files neither
// share memory nor the table variables of the environment, and a job that ends badly ends only itself.
#ifndef RUNEFLOW_CLI_FILE_JOBS_H
#define RUNEFLOW_CLI_FILE_JOBS_H

#include <functional>
#include <string>
#include <vector>

// Runs job(file) for each of files, in their order, up to jobs (at least 1) at once. With more than
// one, each job runs in a child process (POSIX; elsewhere, and when no process can be had, they run one
// after another in this one); a child that ends by a signal is reported with report(file, reason). A job
// returns whether it succeeded; a file named twice (the same file, under any name) runs once. Returns how
// many jobs failed.
int RunFileJobs(const std::vector<std::string> &files, int jobs,
                const std::function<bool(const std::string &)> &job,
                const std::function<void(const std::string &, const std::string &)> &report);

#endif
