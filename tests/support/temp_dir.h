// A fresh directory under the system's temporary directory for one test, removed with everything in it
// when the test ends; tests put the files they read and write there.
#ifndef RUNEFLOW_TESTS_SUPPORT_TEMP_DIR_H
#define RUNEFLOW_TESTS_SUPPORT_TEMP_DIR_H

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

class TempDir {
 public:
  TempDir() {
    std::random_device random;
    path_ = std::filesystem::temp_directory_path() /
            ("runeflow-test-" + std::to_string(random()) + "-" + std::to_string(counter_++));
    std::filesystem::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir &) = delete;
  TempDir &operator=(const TempDir &) = delete;

  // The directory's own name.
  std::string Path() const { return path_.string(); }
  // A file name inside the directory, as the engine is given it.
  std::string File(const std::string &name) const { return (path_ / name).string(); }

  // Writes bytes to a file in the directory and returns its full name.
  std::string Write(const std::string &name, const std::string &bytes) const {
    std::ofstream(path_ / name, std::ios::binary) << bytes;
    return File(name);
  }
  // The bytes of a file in the directory (empty when it does not exist).
  std::string Read(const std::string &name) const {
    std::ifstream in(path_ / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

 private:
  static inline std::atomic<int> counter_{0};  // tells apart directories of one process
  std::filesystem::path path_;
};

#endif
