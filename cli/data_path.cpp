// Finds the runeflow command's sets and tables in its search directories and lists what they hold.
#include "cli/data_path.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "common/mergepath.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

// Whether path names something other than a directory: a set or table file, readable or not (a file
// that cannot be read is reported as such when it is loaded, not taken for a missing one).
bool IsThere(const std::string &path) {
  struct stat status;
  return stat(path.c_str(), &status) == 0 && !S_ISDIR(status.st_mode);
}

// Whether name is one that Find looks up: neither a file name nor split in two at a colon when given
// as FROM:TO or TABLE:SET.
bool CanBeNamed(const std::string &name) { return !IsFileName(name) && name.find(':') == std::string::npos; }

// The description of a set or table file: its first line when that is a comment, less the "!", the
// blanks after it and a leading "name:".
std::string Description(const std::string &path, const std::string &name) {
  FILE *file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return std::string();
  char line[256];
  const size_t length = std::fread(line, 1, sizeof line, file);
  std::fclose(file);
  std::string text(line, length);
  text.erase(std::min(text.find('\n'), text.size()));
  if (text.empty() || text[0] != '!') return std::string();
  if (text.back() == '\r') text.pop_back();
  text.erase(0, std::min(text.find_first_not_of(' ', 1), text.size()));
  if (text.compare(0, name.size() + 1, name + ":") == 0)
    text.erase(0, std::min(text.find_first_not_of(' ', name.size() + 1), text.size()));
  return text;
}

// The length of the well-formed UTF-8 sequence of a printable character (U+00A0 and above, no
// surrogate) at text[i], or 0.
size_t PrintableUtf8(const std::string &text, size_t i) {
  const unsigned char lead = static_cast<unsigned char>(text[i]);
  const size_t length = lead > 0xF4 ? 0 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
  if (length == 0 || i + length > text.size()) return 0;
  unsigned long code = lead & (0x7F >> length);
  for (size_t k = 1; k < length; ++k) {
    const unsigned char next = static_cast<unsigned char>(text[i + k]);
    if ((next & 0xC0) != 0x80) return 0;
    code = code << 6 | (next & 0x3F);
  }
  const unsigned long shortest[] = {0, 0, 0x80, 0x800, 0x10000};
  const bool printable = code >= 0xA0 && code >= shortest[length] && code <= 0x10FFFF &&
                         !(code >= 0xD800 && code <= 0xDFFF);
  return printable ? length : 0;
}

// The names (without extension) of the files in directory that end in "." extension, sorted.
std::vector<std::string> NamesWithExtension(const std::string &directory, const char *extension) {
  std::vector<std::string> names;
  DIR *dir = opendir(directory.c_str());
  if (dir == nullptr) return names;
  const std::string suffix = std::string(".") + extension;
  while (const dirent *entry = readdir(dir)) {
    const std::string file = entry->d_name;
    if (file.size() <= suffix.size() || file.compare(file.size() - suffix.size(), suffix.size(), suffix) != 0)
      continue;
    const std::string name = file.substr(0, file.size() - suffix.size());
    if (CanBeNamed(name) && IsThere(directory + kHostPathRules.separator + file)) names.push_back(name);
  }
  closedir(dir);
  std::sort(names.begin(), names.end());
  return names;
}

void ListKind(FILE *out, const std::string &directory, const char *extension, const char *heading) {
  const std::vector<std::string> names = NamesWithExtension(directory, extension);
  if (names.empty()) return;
  std::fprintf(out, "%s in %s:\n", heading, VisibleText(directory).c_str());
  for (const std::string &name : names) {
    const std::string path = directory + kHostPathRules.separator + name + "." + extension;
    std::fprintf(out, "  %-12s %s\n", VisibleText(name).c_str(), VisibleText(Description(path, name)).c_str());
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

std::string DirectoryProblem(const std::string &path) {
  struct stat status;
  if (stat(path.c_str(), &status) != 0) return std::strerror(errno);
  return S_ISDIR(status.st_mode) ? std::string() : std::strerror(ENOTDIR);
}

std::string VisibleText(const std::string &text) {
  std::string visible;
  for (size_t i = 0; i < text.size();) {
    const unsigned char byte = static_cast<unsigned char>(text[i]);
    if (byte >= 0x20 && byte < 0x7F) {
      visible += text[i++];
    } else if (const size_t length = PrintableUtf8(text, i)) {
      visible.append(text, i, length);
      i += length;
    } else {
      static const char kHex[] = "0123456789ABCDEF";
      visible += {'{', kHex[byte >> 4], kHex[byte & 15], '}'};
      ++i;
    }
  }
  return visible;
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
    if (mergepath(path, directory.c_str(), name.c_str(), extension) && IsThere(path)) return path;
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
