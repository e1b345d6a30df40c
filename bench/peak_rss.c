/* peak_rss: runs one command and reports its peak memory, for bench/compare.py.
   A process forked from Python keeps Python's resident set as its high-water mark across exec, so
   the benchmark starts the programs it measures from this small process instead.
   Usage: peak_rss REPORT COMMAND [ARG]...
   Writes the command's ru_maxrss in KiB (from wait4) and a newline to REPORT, and exits with the
   command's exit status, 128 + the signal when a signal ended it, 125 when it could not measure. */
#include <stdio.h>
#include <sys/resource.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

int main(int argc, char **argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: peak_rss REPORT COMMAND [ARG]...\n");
    return 125;
  }
  pid_t child = fork();
  if (child < 0) {
    perror("peak_rss: fork");
    return 125;
  }
  if (child == 0) {
    execvp(argv[2], argv + 2);
    perror(argv[2]);
    _exit(127);
  }
  int status;
  struct rusage usage;
  if (wait4(child, &status, 0, &usage) < 0) {
    perror("peak_rss: wait4");
    return 125;
  }
  FILE *report = fopen(argv[1], "w");
  if (report == NULL) {
    perror(argv[1]);
    return 125;
  }
  int written = fprintf(report, "%ld\n", usage.ru_maxrss);
  if (fclose(report) != 0 || written < 0) {
    perror(argv[1]);
    return 125;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
