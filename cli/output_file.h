// OutputFile: the file that the runeflow command writes its result to, written whole or not at all. The
// text goes into a new file beside it, which takes the file's place only once everything was written,
// so a failed run leaves an earlier file with that name as it was.
#ifndef RUNEFLOW_CLI_OUTPUT_FILE_H
#define RUNEFLOW_CLI_OUTPUT_FILE_H

#include <cstdio>
#include <string>
#include <vector>

// The C stream buffer of the command's own files: texts come and go in large pieces, and the engine
// keeps a buffer it finds in place.
const size_t kStdioBuffer = 64 * 1024;

class OutputFile {
 public:
  OutputFile() = default;
  OutputFile(const OutputFile &) = delete;
  OutputFile &operator=(const OutputFile &) = delete;
  // Removes the file beside the target unless Commit put it in place.
  ~OutputFile();

  // Creates the new file beside path (a symbolic link's target on POSIX), with the permissions of the
  // file it replaces, or those of a new file; a device or pipe is opened and written in place. False,
  // with error() set, on failure.
  bool Open(const std::string &path);
  // The new file, open for writing in binary; null before Open.
  FILE *file() const { return file_; }
  // Flushes, syncs and closes the new file and puts it in place of the target. False, with error() set
  // and the target untouched, on failure.
  bool Commit();

  const std::string &error() const { return error_; }

 private:
  // Sets error() to what, the path and the system's reason, and returns false.
  bool Fail(const char *what, const std::string &path);
  // Gives file_ a buffer of kStdioBuffer bytes (before anything is written to it).
  void UseLargeBuffer();

  std::string target_;     // the file to replace
  std::string temporary_;  // the new file beside it; empty when there is none (or it was renamed)
  FILE *file_ = nullptr;   // the new file while it is being written
  std::vector<char> buffer_;  // file_'s C stream buffer, kStdioBuffer bytes
  std::string error_;
};

#endif
