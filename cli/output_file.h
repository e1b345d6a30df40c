// OutputFile: a file that the runeflow command replaces whole or not at all. The text goes into a new
// file beside it, which takes the file's place in one step (a rename) only once everything was written
// and synced; a failed run, and a run ended by a signal, leave the file as it was and nothing beside it.
#ifndef RUNEFLOW_CLI_OUTPUT_FILE_H
#define RUNEFLOW_CLI_OUTPUT_FILE_H

#include <cstdio>
#include <string>
#include <vector>

// The C stream buffer of the command's own files: texts come and go in large pieces, and the engine
// keeps a buffer it finds in place.
const size_t kStdioBuffer = 64 * 1024;

// The contract, for a single output (-o) as for many files converted in place:
// - The target is the path given with its symbolic links followed, also a dangling one (the file it
//   names is then created); its directory must exist. Other hard links of a replaced file keep the
//   old text, since the target's name gets a new file.
// - An existing target must be a regular file that the caller may write (as for a redirection, root
//   may write any); a device or pipe is written in place, without the all-or-nothing guarantee.
// - The new file, "runeflow" and six letters or digits (it fits wherever the target's name fits),
//   gets the target's owner and group where the system allows it, then its permission bits; a new
//   target gets those of any new file. Until Commit the target is untouched and may still be read,
//   so the target may also be the input.
// - While the new file exists, a signal that ends the process removes it first (SignalCleanup).
// - Separate objects may be used from separate threads, SignalCleanup::kCapacity of them at once.
class OutputFile {
 public:
  OutputFile() = default;
  OutputFile(const OutputFile &) = delete;
  OutputFile &operator=(const OutputFile &) = delete;
  // Abandons the new file unless Commit put it in place.
  ~OutputFile();

  // Creates the new file for path (see above), open for writing in binary. False, with error() set
  // and nothing created, on failure.
  bool Open(const std::string &path);
  // The new file while it is written; null before Open and after Commit or Abandon.
  FILE *file() const { return file_; }
  // Flushes, syncs and closes the new file and puts it in place of the target. False, with error()
  // set, the target untouched and the new file removed, on failure.
  bool Commit();
  // Closes and removes the new file; the target stays as it was. Keeps errno.
  void Abandon();

  // The file that Commit replaces: the path given to Open with its links followed.
  const std::string &target() const { return target_; }
  // Why Open or Commit failed: what failed, the file, and the system's reason.
  const std::string &error() const { return error_; }

 private:
  // Sets error() to what, the file and the system's reason (errno), and returns false.
  bool Fail(const char *what, const std::string &file);
  // Finds the target and checks that it may be replaced, or written in place (inPlace).
  bool FindTarget(const std::string &path, bool *inPlace);
  // Creates the new file beside the target, with its owner, group and permissions.
  bool CreateBeside();
  // Closes file_, reporting a failed flush, sync or close as a failure to write the target.
  bool CloseFile();
  // After the new file was renamed or removed: gives up its entry and closes the directory.
  void Forget();
  // Gives file_ a buffer of kStdioBuffer bytes (before anything is written to it).
  void UseLargeBuffer();

  std::string target_;        // the file to replace
  std::string directory_;     // the target's directory ("." when the name has none)
  std::string base_;          // the target's name in directory_
  std::string temporary_;     // the new file's name in directory_ (its full path on Windows); empty when none
  int directoryFd_ = -1;      // directory_, open while the new file exists (POSIX)
  int cleanupEntry_ = -1;     // the new file's SignalCleanup entry, or -1
  FILE *file_ = nullptr;      // the file being written
  std::vector<char> buffer_;  // file_'s C stream buffer, kStdioBuffer bytes
  std::string error_;
};

#endif
