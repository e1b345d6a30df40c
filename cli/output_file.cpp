// Writes the runeflow command's result beside its output file and renames it into place: POSIX
// rename(2) and Windows MoveFileEx both replace the old file in one step.
#include "cli/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#include <io.h>
#include <process.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

const int kCreateAttempts = 100;  // new names tried before giving up

#ifdef _WIN32
int CreateNew(const std::string &path, const std::string &) {
  return _open(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
}
int ProcessId() { return _getpid(); }
#else
// Creates path with the permissions of the file at like, when there is one, or those of a new file.
int CreateNew(const std::string &path, const std::string &like) {
  struct stat existing;
  const bool replacing = stat(like.c_str(), &existing) == 0 && S_ISREG(existing.st_mode);
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
  if (fd >= 0 && replacing) (void)fchmod(fd, existing.st_mode & 07777);
  return fd;
}
int ProcessId() { return static_cast<int>(getpid()); }
#endif

}  // namespace

OutputFile::~OutputFile() {
  if (file_ != nullptr) std::fclose(file_);
  if (!temporary_.empty()) std::remove(temporary_.c_str());
}

void OutputFile::UseLargeBuffer() {
  buffer_.resize(kStdioBuffer);
  std::setvbuf(file_, buffer_.data(), _IOFBF, buffer_.size());
}

bool OutputFile::Fail(const char *what, const std::string &path) {
  error_ = std::string(what) + " " + path + ": " + std::strerror(errno);
  return false;
}

bool OutputFile::Open(const std::string &path) {
  target_ = path;
#ifndef _WIN32
  // Replacing a symbolic link would cut the link; the file it points to is replaced instead.
  struct stat link;
  char resolved[PATH_MAX];
  if (lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode) && realpath(path.c_str(), resolved) != nullptr)
    target_ = resolved;
#endif
#ifndef _WIN32
  // A device or a pipe cannot be replaced: it is written in place.
  struct stat existing;
  if (stat(target_.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode)) {
    file_ = std::fopen(target_.c_str(), "wb");
    if (file_ == nullptr) return Fail("can't open", target_);
    UseLargeBuffer();
    return true;
  }
#endif
  int fd = -1;
  for (int attempt = 0; fd < 0 && attempt < kCreateAttempts; ++attempt) {
    temporary_ = target_ + ".runeflow-" + std::to_string(ProcessId()) + "-" + std::to_string(attempt);
    fd = CreateNew(temporary_, target_);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) {
    temporary_.clear();
    return Fail("can't create a file beside", target_);
  }
  file_ = fdopen(fd, "wb");
  if (file_ == nullptr) {
    const int reason = errno;
    close(fd);
    errno = reason;
    return Fail("can't write", temporary_);
  }
  UseLargeBuffer();
  return true;
}

bool OutputFile::Commit() {
  FILE *file = file_;
  file_ = nullptr;
  int reason = 0;  // errno of the first step that failed
  if (std::fflush(file) != 0) reason = errno;
#ifndef _WIN32
  if (reason == 0 && !temporary_.empty() && fsync(fileno(file)) != 0) reason = errno;
#endif
  if (std::fclose(file) != 0 && reason == 0) reason = errno;
  if (reason != 0) {
    errno = reason;
    return Fail("can't write", target_);
  }
  if (temporary_.empty()) return true;  // written in place
#ifdef _WIN32
  if (!MoveFileExA(temporary_.c_str(), target_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    errno = EACCES;
    return Fail("can't replace", target_);
  }
#else
  if (std::rename(temporary_.c_str(), target_.c_str()) != 0) return Fail("can't replace", target_);
#endif
  temporary_.clear();
  return true;
}
