// Finds the runeflow command's sets and tables in its search directories and lists what they hold.
#include "cli/data_path.h"

#include <dirent.h>

#include <algorithm>
#include <cstring>

#include "common/mergepath.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

bool Readable(const std::string &path) {
  FILE *file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  std::fclose(file);
  return true;
}

// The description of a set or table file: its first line when that is a comment, less the "!", the
// blanks after it and a leading "name:".
std::string Description(const std::string &path, const std::string &name) {
  FILE *file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return std::string();
  char line[256];
  const bool read = std::fgets(line, sizeof line, file) != nullptr;
  std::fclose(file);
  if (!read || line[0] != '!') return std::string();
  std::string text(line + 1);
  text.erase(text.find_last_not_of("\r\n") + 1);
  text.erase(0, text.find_first_not_of(' '));
  if (text.compare(0, name.size() + 1, name + ":") == 0)
    text.erase(0, text.find_first_not_of(' ', name.size() + 1));
  return text;
}

// The names (without extension) of the files in directory that end in "." extension, sorted.
std::vector<std::string> NamesWithExtension(const std::string &directory, const char *extension) {
  std::vector<std::string> names;
  DIR *dir = opendir(directory.c_str());
  if (dir == nullptr) return names;
  const std::string suffix = std::string(".") + extension;
  while (const dirent *entry = readdir(dir)) {
    const std::string file = entry->d_name;
    if (file.size() > suffix.size() && file.compare(file.size() - suffix.size(), suffix.size(), suffix) == 0)
      names.push_back(file.substr(0, file.size() - suffix.size()));
  }
  closedir(dir);
  std::sort(names.begin(), names.end());
  return names;
}

void ListKind(FILE *out, const std::string &directory, const char *extension, const char *heading) {
  const std::vector<std::string> names = NamesWithExtension(directory, extension);
  if (names.empty()) return;
  std::fprintf(out, "%s in %s:\n", heading, directory.c_str());
  for (const std::string &name : names) {
    const std::string path = directory + kHostPathRules.separator + name + "." + extension;
    std::fprintf(out, "  %-12s %s\n", name.c_str(), Description(path, name).c_str());
  }
}

// The full path of the running program, or empty.
std::string ProgramPath() {
  char path[kMaxPath];
#ifdef _WIN32
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  if (length == 0 || length >= sizeof path) return std::string();
#else
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return std::string();
  path[length] = '\0';
#endif
  return path;
}

}  // namespace

bool IsFileName(const std::string &name) {
  return name.find_first_of(kHostPathRules.hasDrives ? "/\\:." : "/.") != std::string::npos;
}

DataPath::DataPath(const std::vector<std::string> &optionDirs, const char *searchPath,
                   const std::string &shippedDir)
    : directories_(optionDirs) {
  for (const char *entry = searchPath; entry != nullptr && *entry != '\0';) {
    const char *end = std::strchr(entry, kSearchPathSeparator);
    const size_t length = end != nullptr ? static_cast<size_t>(end - entry) : std::strlen(entry);
    if (length > 0) directories_.emplace_back(entry, length);
    entry = end != nullptr ? end + 1 : nullptr;
  }
  if (!shippedDir.empty()) directories_.push_back(shippedDir);
}

std::string DataPath::Find(const std::string &name, const char *extension) const {
  if (IsFileName(name)) return name;
  char path[kMaxPath];
  for (const std::string &directory : directories_) {
    if (mergepath(path, directory.c_str(), name.c_str(), extension) && Readable(path)) return path;
  }
  return std::string();
}

void DataPath::List(FILE *out) const {
  for (const std::string &directory : directories_) {
    ListKind(out, directory, "chs", "Character sets");
    ListKind(out, directory, "sub", "Substitution tables");
  }
}

std::string DataPath::ShippedDirectory() {
  const std::string program = ProgramPath();
  const size_t separator = program.find_last_of(kHostPathRules.hasDrives ? "\\/" : "/");
  if (separator == std::string::npos) return std::string();
  const std::string relative =
      std::string("..") + kHostPathRules.separator + "share" + kHostPathRules.separator + "runeflow";
  char path[kMaxPath];
  if (!mergepath(path, program.substr(0, separator).c_str(), relative.c_str(), nullptr)) return std::string();
  return path;
}
