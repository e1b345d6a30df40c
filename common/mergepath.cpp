// File name resolution: splits a name into drive, directory, base name and extension, completes it from
// a default directory, a default extension and the current directory, then removes doubled separators,
// "." and ".." steps from the directory. Works in fixed buffers only; anything that does not fit is refused.
#include "common/mergepath.h"

#include <cstring>

#ifdef _WIN32
#include <direct.h>
#else
#include <unistd.h>
#endif

constexpr PathRules kWindowsPathRules = {'\\', true, 260, 256};
constexpr PathRules kPosixPathRules = {'/', false, 4096, 256};
#ifdef _WIN32
constexpr PathRules kHostPathRules = kWindowsPathRules;
#else
constexpr PathRules kHostPathRules = kPosixPathRules;
#endif
static_assert(kHostPathRules.maxPath == kMaxPath, "kMaxPath must be the host rules' maxPath");

namespace {

constexpr size_t kDriveSize = 4;  // a drive part of at most 3 characters ("X:" normally) and the terminator

constexpr size_t Larger(size_t a, size_t b) { return a > b ? a : b; }

// The working buffers hold the largest parts any built-in rule set allows; the rules in use set the limits.
constexpr size_t kPathCapacity = Larger(kWindowsPathRules.maxPath, kPosixPathRules.maxPath);
constexpr size_t kElementCapacity = Larger(kWindowsPathRules.maxElement, kPosixPathRules.maxElement);

// A name split into its parts; dir is empty or ends with the separator, ext is empty or starts with '.'.
struct NameParts {
  char drive[kDriveSize];
  char dir[kPathCapacity];
  char base[kElementCapacity];
  char ext[kElementCapacity];
};

// A default or current directory split into its drive and the rest, which ends with the separator.
struct DirParts {
  char drive[kDriveSize];
  char rest[kPathCapacity];
};

// Sets dst (size bytes) to the len characters at src; false when they do not fit with the terminator.
bool Assign(char *dst, size_t size, const char *src, size_t len) {
  if (len >= size) return false;
  std::memcpy(dst, src, len);
  dst[len] = '\0';
  return true;
}

// Appends the len characters at src to the string in dst (size bytes); false when they do not fit.
bool Append(char *dst, size_t size, const char *src, size_t len) {
  size_t used = std::strlen(dst);
  return Assign(dst + used, size - used, src, len);
}

// Puts prefix before the string in dst (size bytes); false when the two do not fit.
bool Prepend(char *dst, size_t size, const char *prefix) {
  size_t prefixLen = std::strlen(prefix);
  size_t len = std::strlen(dst);
  if (prefixLen + len >= size) return false;
  std::memmove(dst + prefixLen, dst, len + 1);
  std::memcpy(dst, prefix, prefixLen);
  return true;
}

// Removes count characters at pos from the string s of length len, and updates len.
void Erase(char *s, size_t &len, size_t pos, size_t count) {
  std::memmove(s + pos, s + pos + count, len - pos - count + 1);
  len -= count;
}

// Length of the drive part of s: up to and including the first ':', none when the rules have no drives.
size_t DriveLength(const char *s, const PathRules &rules) {
  if (!rules.hasDrives) return 0;
  const char *colon = std::strchr(s, ':');
  return colon == nullptr ? 0 : static_cast<size_t>(colon - s) + 1;
}

// Drive up to the first ':', directory up to the last separator, then base name and extension split at
// the first '.' of what is left.
bool SplitName(const char *name, const PathRules &rules, NameParts &parts) {
  size_t driveLen = DriveLength(name, rules);
  if (!Assign(parts.drive, kDriveSize, name, driveLen)) return false;
  const char *rest = name + driveLen;
  const char *lastSeparator = std::strrchr(rest, rules.separator);
  size_t dirLen = lastSeparator == nullptr ? 0 : static_cast<size_t>(lastSeparator - rest) + 1;
  if (!Assign(parts.dir, rules.maxPath, rest, dirLen)) return false;
  const char *file = rest + dirLen;
  size_t baseLen = std::strcspn(file, ".");
  return Assign(parts.base, rules.maxElement, file, baseLen) &&
         Assign(parts.ext, rules.maxElement, file + baseLen, std::strlen(file + baseLen));
}

// Splits a default or current directory. A separator is appended to the rest (even after one already
// there) when the rest is not empty, or always when alwaysSeparator.
bool SplitDir(const char *dir, const PathRules &rules, bool alwaysSeparator, DirParts &parts) {
  size_t driveLen = DriveLength(dir, rules);
  if (!Assign(parts.drive, kDriveSize, dir, driveLen)) return false;
  const char *rest = dir + driveLen;
  size_t restLen = std::strlen(rest);
  if (!Assign(parts.rest, rules.maxPath, rest, restLen)) return false;
  if (restLen == 0 && !alwaysSeparator) return true;
  return Append(parts.rest, rules.maxPath, &rules.separator, 1);
}

// A name is absolute when it has its drive (if the rules have drives) and its directory starts at the root.
bool IsAbsolute(const NameParts &parts, const PathRules &rules) {
  return (!rules.hasDrives || parts.drive[0] != '\0') && parts.dir[0] == rules.separator;
}

// Completes the name from dir: the drive when the name has none, the directory when the name has none,
// or dir's rest put before the name's directory when that is relative.
bool MergeDir(NameParts &parts, const char *dir, bool alwaysSeparator, const PathRules &rules) {
  DirParts from;
  if (!SplitDir(dir, rules, alwaysSeparator, from)) return false;
  if (parts.drive[0] == '\0') std::memcpy(parts.drive, from.drive, std::strlen(from.drive) + 1);
  if (parts.dir[0] == '\0') return Assign(parts.dir, rules.maxPath, from.rest, std::strlen(from.rest));
  if (parts.dir[0] == rules.separator || from.rest[0] == '\0') return true;
  return Prepend(parts.dir, rules.maxPath, from.rest);
}

// Fetches the process's current directory into buf (size bytes); false when it cannot be had.
bool GetProcessDir(char *buf, size_t size) {
#ifdef _WIN32
  return _getcwd(buf, static_cast<int>(size)) != nullptr;
#else
  return getcwd(buf, size) != nullptr;
#endif
}

// Completes the name from currentDir, or from the process's current directory when that is null.
bool MergeCurrentDir(NameParts &parts, const char *currentDir, const PathRules &rules) {
  char processDir[kMaxPath];
  if (currentDir == nullptr) {
    if (!GetProcessDir(processDir, sizeof processDir)) return false;
    currentDir = processDir;
  }
  return MergeDir(parts, currentDir, true, rules);
}

// Gives the name the extension "." + defaultExt when it has no extension at all (a bare "." counts as one).
bool AddDefaultExt(NameParts &parts, const char *defaultExt, const PathRules &rules) {
  if (defaultExt == nullptr || defaultExt[0] == '\0' || parts.ext[0] != '\0') return true;
  return Assign(parts.ext, rules.maxElement, ".", 1) &&
         Append(parts.ext, rules.maxElement, defaultExt, std::strlen(defaultExt));
}

// Drops doubled separators and "." steps: a separator loses a following separator, or a following "."
// and separator, and is looked at again. A removal never makes a match before the separator at hand, so
// this one pass equals starting over from the beginning after every change.
void TidyDir(char *dir, char separator) {
  size_t len = std::strlen(dir);
  size_t i = 0;
  while (i < len) {
    if (dir[i] == separator && dir[i + 1] == separator) {
      Erase(dir, len, i + 1, 1);
    } else if (dir[i] == separator && dir[i + 1] == '.' && dir[i + 2] == separator) {
      Erase(dir, len, i + 1, 2);
    } else {
      ++i;
    }
  }
}

// True when s starts with a separator, "..", and a separator.
bool IsParentStep(const char *s, char separator) {
  return s[0] == separator && s[1] == '.' && s[2] == '.' && s[3] == separator;
}

// Removes each ".." step together with the element before it, then looks again from the separator before
// that element. False when a ".." step stands at the start of the directory: nothing to climb out of.
bool ResolveParents(char *dir, char separator) {
  size_t len = std::strlen(dir);
  size_t i = 0;
  while (i < len) {
    if (!IsParentStep(dir + i, separator)) {
      ++i;
      continue;
    }
    if (i == 0) return false;
    size_t start = i;
    while (start > 0 && dir[start - 1] != separator) --start;
    Erase(dir, len, start, i + 4 - start);
    i = start == 0 ? 0 : start - 1;
  }
  return true;
}

// out = drive + directory + base name + extension, when that fits in rules.maxPath bytes.
bool Join(char *out, const NameParts &parts, const PathRules &rules) {
  const char *pieces[] = {parts.drive, parts.dir, parts.base, parts.ext};
  size_t lengths[4];
  size_t total = 0;
  for (size_t k = 0; k < 4; ++k) {
    lengths[k] = std::strlen(pieces[k]);
    total += lengths[k];
  }
  if (total >= rules.maxPath) return false;
  for (size_t k = 0; k < 4; ++k) {
    std::memcpy(out, pieces[k], lengths[k]);
    out += lengths[k];
  }
  *out = '\0';
  return true;
}

}  // namespace

int mergepath(char *out, const char *defaultDir, const char *name, const char *defaultExt,
              const PathRules &rules, const char *currentDir) {
  if (name == nullptr || rules.maxPath > kPathCapacity || rules.maxElement > kElementCapacity) return 0;
  NameParts parts;
  if (!SplitName(name, rules, parts) || !AddDefaultExt(parts, defaultExt, rules)) return 0;
  if (defaultDir != nullptr && !IsAbsolute(parts, rules) && !MergeDir(parts, defaultDir, false, rules)) {
    return 0;
  }
  if (!IsAbsolute(parts, rules) && !MergeCurrentDir(parts, currentDir, rules)) return 0;
  TidyDir(parts.dir, rules.separator);
  if (!ResolveParents(parts.dir, rules.separator)) return 0;
  return Join(out, parts, rules) ? 1 : 0;
}

int mergepath(char *out, const char *defaultDir, const char *name, const char *defaultExt) {
  return mergepath(out, defaultDir, name, defaultExt, kHostPathRules, nullptr);
}
