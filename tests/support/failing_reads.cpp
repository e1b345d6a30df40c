// Preloaded into a program under test (LD_PRELOAD): the file named by FAIL_READ_PATH opens as usual,
// but once FAIL_READ_AFTER bytes of it were read every further read fails with EIO, as on a disk that
// goes bad part way. The program meets a real stream error indicator, set by the C library itself.
#include <dlfcn.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

struct FailingFile {
  FILE *file;  // the file as opened
  long left;   // bytes still delivered before reads fail
};

ssize_t ReadSome(void *cookie, char *buffer, size_t size) {
  auto *failing = static_cast<FailingFile *>(cookie);
  if (failing->left <= 0) {
    errno = EIO;
    return -1;
  }
  const size_t n = std::fread(buffer, 1, std::min(size, static_cast<size_t>(failing->left)), failing->file);
  failing->left -= static_cast<long>(n);
  return static_cast<ssize_t>(n);
}

int CloseFile(void *cookie) {
  auto *failing = static_cast<FailingFile *>(cookie);
  const int result = std::fclose(failing->file);
  delete failing;
  return result;
}

using OpenFunction = FILE *(*)(const char *, const char *);

FILE *OpenThrough(OpenFunction open, const char *path, const char *mode) {
  FILE *file = open(path, mode);
  const char *target = std::getenv("FAIL_READ_PATH");
  if (file == nullptr || target == nullptr || std::strcmp(path, target) != 0) return file;
  const char *after = std::getenv("FAIL_READ_AFTER");
  auto *failing = new FailingFile{file, after != nullptr ? std::atol(after) : 0};
  return fopencookie(failing, mode, cookie_io_functions_t{ReadSome, nullptr, nullptr, CloseFile});
}

}  // namespace

extern "C" FILE *fopen(const char *path, const char *mode) {
  static const auto open = reinterpret_cast<OpenFunction>(dlsym(RTLD_NEXT, "fopen"));
  return OpenThrough(open, path, mode);
}

extern "C" FILE *fopen64(const char *path, const char *mode) {
  static const auto open = reinterpret_cast<OpenFunction>(dlsym(RTLD_NEXT, "fopen64"));
  return OpenThrough(open, path, mode);
}
