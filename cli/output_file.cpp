// Writes a result beside its target and renames it into place: POSIX rename(2) and Windows MoveFileEx
// both replace the old file in one step. On POSIX the new file is created, renamed and removed through
// a descriptor of the target's directory, so its short name never meets the path length limit.
#include "cli/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstring>

#include "cli/signal_cleanup.h"

#ifdef _WIN32
#include <io.h>
#include <process.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

const int kCreateAttempts = 100;  // new names tried before giving up
const char kPrefix[] = "runeflow";
const int kRandomLetters = 6;

// kRandomLetters letters and digits after kPrefix: 14 characters, the least every POSIX file system
// takes. Calls in one process never repeat a name; processes mix their id and the clock in.
std::string NewName() {
  static std::atomic<uint64_t> calls{0};
#ifdef _WIN32
  const uint64_t process = static_cast<uint64_t>(_getpid());
#else
  const uint64_t process = static_cast<uint64_t>(getpid());
#endif
  uint64_t mixed = calls.fetch_add(1) * 0x9E3779B97F4A7C15ull ^ process << 40 ^
                   static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  mixed = (mixed ^ (mixed >> 30)) * 0xBF58476D1CE4E5B9ull;  // splitmix64's finaliser
  mixed = (mixed ^ (mixed >> 27)) * 0x94D049BB133111EBull;
  mixed ^= mixed >> 31;
  static const char kLetters[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  std::string name = kPrefix;
  for (int i = 0; i < kRandomLetters; ++i, mixed /= 62) name += kLetters[mixed % 62];
  return name;
}

#ifdef _WIN32
const char kSeparators[] = "\\/";
#else
const char kSeparators[] = "/";
#endif

#ifndef _WIN32
const int kMaxLinks = 40;  // links followed before the name counts as a loop, as the kernel counts

#if defined(O_PATH)
const int kDirectoryAccess = O_PATH | O_DIRECTORY | O_CLOEXEC;  // no read permission needed
#elif defined(O_SEARCH)
const int kDirectoryAccess = O_SEARCH | O_DIRECTORY | O_CLOEXEC;
#else
const int kDirectoryAccess = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
#endif

// path with its symbolic links followed, the last one also when it points nowhere. False, with errno
// set, when a link cannot be read or they loop.
bool FollowLinks(std::string path, std::string *followed) {
  for (int hop = 0; hop <= kMaxLinks; ++hop) {
    struct stat status;
    const bool exists = lstat(path.c_str(), &status) == 0;
    if (!exists && errno != ENOENT) return false;
    if (!exists || !S_ISLNK(status.st_mode)) {  // a new file, or not a link
      *followed = path;
      return true;
    }
    char link[PATH_MAX];
    const ssize_t length = readlink(path.c_str(), link, sizeof link);
    if (length < 0) return false;
    if (length == static_cast<ssize_t>(sizeof link)) {
      errno = ENAMETOOLONG;
      return false;
    }
    std::string next(link, static_cast<size_t>(length));
    const size_t slash = path.rfind('/');
    if (next[0] != '/' && slash != std::string::npos) next = path.substr(0, slash + 1) + next;
    path = next;
  }
  errno = ELOOP;
  return false;
}

// Gives the file open as fd the owner and group of status, or the group alone, as far as the system
// allows.
void KeepOwner(int fd, const struct stat &status) {
  if (fchown(fd, status.st_uid, status.st_gid) != 0 && fchown(fd, static_cast<uid_t>(-1), status.st_gid) != 0) {
    // neither is allowed: the new file keeps the caller's owner and group
  }
}
#endif

}  // namespace

OutputFile::~OutputFile() { Abandon(); }

void OutputFile::UseLargeBuffer() {
  buffer_.resize(kStdioBuffer);
  std::setvbuf(file_, buffer_.data(), _IOFBF, buffer_.size());
}

bool OutputFile::Fail(const char *what, const std::string &file) {
  error_ = std::string(what) + " " + file + ": " + std::strerror(errno);
  return false;
}

bool OutputFile::FindTarget(const std::string &path, bool *inPlace) {
  target_ = path;
#ifdef _WIN32
  struct _stat status;
  const bool exists = _stat(path.c_str(), &status) == 0;
  if (exists && (status.st_mode & _S_IFDIR)) {
    errno = EISDIR;
    return Fail("can't write", path);
  }
  *inPlace = exists && !(status.st_mode & _S_IFREG);
  if (exists && !*inPlace && _access(path.c_str(), 2) != 0) return Fail("can't write", path);
#else
  // A device or a pipe cannot be replaced: it is written in place, through the name as given (the
  // name of a descriptor in /proc leads nowhere when its links are followed by hand).
  struct stat status;
  if (stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode)) {
    if (S_ISDIR(status.st_mode)) {
      errno = EISDIR;
      return Fail("can't write", path);
    }
    *inPlace = true;
    return true;
  }
  *inPlace = false;
  if (!FollowLinks(path, &target_)) return Fail("can't write", path);
  // As for a redirection: a file the caller may not write is not replaced either.
  if (access(target_.c_str(), F_OK) == 0 && faccessat(AT_FDCWD, target_.c_str(), W_OK, AT_EACCESS) != 0)
    return Fail("can't write", target_);
#endif
  const size_t separator = target_.find_last_of(kSeparators);
  directory_ = separator == std::string::npos ? "." : target_.substr(0, separator == 0 ? 1 : separator);
  base_ = separator == std::string::npos ? target_ : target_.substr(separator + 1);
  if (base_.empty()) {
    errno = EISDIR;
    return Fail("can't write", target_);
  }
  return true;
}

#ifdef _WIN32
bool OutputFile::CreateBeside() {
  const std::string prefix = directory_ == "." ? std::string() : directory_ + "\\";
  HANDLE handle = INVALID_HANDLE_VALUE;
  cleanupEntry_ = SignalCleanup::Reserve();
  for (int attempt = 0; cleanupEntry_ >= 0 && attempt < kCreateAttempts; ++attempt) {
    temporary_ = prefix + NewName();
    // Shared for deletion, so that a console signal can remove it while it is open.
    handle = CreateFileA(temporary_.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) break;
  }
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD reason = GetLastError();
    errno = cleanupEntry_ < 0 ? EMFILE
            : reason == ERROR_PATH_NOT_FOUND ? ENOENT
            : reason == ERROR_ACCESS_DENIED  ? EACCES
                                             : EIO;
    temporary_.clear();
    Forget();
    return Fail("can't create a file beside", target_);
  }
  SignalCleanup::Arm(cleanupEntry_, -1, temporary_.c_str());
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
  if (fd < 0) CloseHandle(handle);
  file_ = fd >= 0 ? _fdopen(fd, "wb") : nullptr;
  if (file_ == nullptr) {
    if (fd >= 0) _close(fd);
    Abandon();
    return Fail("can't write", temporary_);
  }
  return true;
}
#else
bool OutputFile::CreateBeside() {
  struct stat existing;
  const bool replacing = stat(target_.c_str(), &existing) == 0;
  directoryFd_ = open(directory_.c_str(), kDirectoryAccess);
  if (directoryFd_ < 0) return Fail("can't create a file beside", target_);
  int fd = -1;
  {
    SignalCleanup::Deferral deferral;
    cleanupEntry_ = SignalCleanup::Reserve();
    if (cleanupEntry_ < 0) errno = EMFILE;
    for (int attempt = 0; cleanupEntry_ >= 0 && attempt < kCreateAttempts; ++attempt) {
      temporary_ = NewName();
      // Only the caller can read it until it has the target's owner and permissions.
      fd = openat(directoryFd_, temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, replacing ? 0600 : 0666);
      if (fd >= 0 || errno != EEXIST) break;
    }
    if (fd < 0) {
      temporary_.clear();
      Forget();
      return Fail("can't create a file beside", target_);
    }
    SignalCleanup::Arm(cleanupEntry_, directoryFd_, temporary_.c_str());
  }
  // The owner first: changing it clears the set-user-ID and set-group-ID bits.
  if (replacing) KeepOwner(fd, existing);
  if (replacing && fchmod(fd, existing.st_mode & 07777) != 0) {
    const int reason = errno;
    close(fd);
    Abandon();
    errno = reason;
    return Fail("can't create a file beside", target_);
  }
  file_ = fdopen(fd, "wb");
  if (file_ == nullptr) {
    const int reason = errno;
    close(fd);
    Abandon();
    errno = reason;
    return Fail("can't write", target_);
  }
  return true;
}
#endif

bool OutputFile::Open(const std::string &path) {
  Abandon();
  error_.clear();
  bool inPlace = false;
  if (!FindTarget(path, &inPlace)) return false;
  if (inPlace) {
    file_ = std::fopen(target_.c_str(), "wb");
    if (file_ == nullptr) return Fail("can't write", target_);
  } else if (!CreateBeside()) {
    return false;
  }
  UseLargeBuffer();
  return true;
}

bool OutputFile::CloseFile() {
  int reason = 0;  // errno of the first step that failed
  if (std::fflush(file_) != 0) reason = errno;
#ifndef _WIN32
  if (reason == 0 && !temporary_.empty() && fsync(fileno(file_)) != 0) reason = errno;
#endif
  if (std::fclose(file_) != 0 && reason == 0) reason = errno;
  file_ = nullptr;
  errno = reason;
  return reason == 0 || Fail("can't write", target_);
}

bool OutputFile::Commit() {
  if (file_ == nullptr) {
    errno = EBADF;
    return Fail("can't write", target_);
  }
  if (!CloseFile()) {
    Abandon();
    return false;
  }
  if (temporary_.empty()) return true;  // written in place
  SignalCleanup::Deferral deferral;
#ifdef _WIN32
  const bool renamed =
      MoveFileExA(temporary_.c_str(), target_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
  if (!renamed) errno = EACCES;
#else
  const bool renamed = renameat(directoryFd_, temporary_.c_str(), directoryFd_, base_.c_str()) == 0;
#endif
  if (!renamed) {
    Fail("can't replace", target_);
    Abandon();
    return false;
  }
  temporary_.clear();
  Forget();
  return true;
}

void OutputFile::Abandon() {
  const int reason = errno;
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
  if (!temporary_.empty()) {
    SignalCleanup::Deferral deferral;
#ifdef _WIN32
    DeleteFileA(temporary_.c_str());
#else
    unlinkat(directoryFd_, temporary_.c_str(), 0);
#endif
    temporary_.clear();
    Forget();
  }
  errno = reason;
}

void OutputFile::Forget() {
  if (cleanupEntry_ >= 0) SignalCleanup::Release(cleanupEntry_);
  cleanupEntry_ = -1;
#ifndef _WIN32
  if (directoryFd_ >= 0) close(directoryFd_);
#endif
  directoryFd_ = -1;
}
