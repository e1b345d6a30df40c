// Fuzzes file-name resolution under both path syntaxes. The input holds up to four parts (see
// SplitInput): the name, then the default directory, the default extension and the current directory,
// each absent (null) when the input has no part for it. A name is refused without touching the result
// buffer, or resolved within it; an absolute result resolves to itself (when the default extension holds
// no path syntax).
#include <cstring>
#include <string>
#include <vector>

#include "common/mergepath.h"
#include "fuzz/support.h"

namespace {

const char kFill = '#';

// Resolves name into *resolved through a buffer of exactly maxPath bytes; false when it is refused.
bool Resolve(const PathRules &rules, const char *dir, const char *name, const char *ext, const char *current,
             std::string *resolved) {
  std::vector<char> out(rules.maxPath, kFill);
  const int result = mergepath(out.data(), dir, name, ext, rules, current);
  Check(result == 0 || result == 1, "mergepath returned %d", result);
  if (result == 0) {
    for (char c : out) Check(c == kFill, "a refused name changed the result buffer");
    return false;
  }
  Check(std::memchr(out.data(), '\0', out.size()) != nullptr, "result not terminated within %zu bytes",
        rules.maxPath);
  *resolved = out.data();
  return true;
}

// Whether path is absolute under rules: its drive (where the rules have drives) and then a separator.
bool Absolute(const PathRules &rules, const std::string &path) {
  size_t root = 0;
  if (rules.hasDrives) {
    root = path.find(':');
    if (root == std::string::npos) return false;
    ++root;
  }
  return root < path.size() && path[root] == rules.separator;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const std::vector<std::string> parts = SplitInput(data, size, 4);
  auto part = [&parts](size_t index) { return index < parts.size() ? parts[index].c_str() : nullptr; };
  // A default extension with path syntax in it (callers give "chs" or "sub") makes the result another
  // name when it is read again.
  const bool plainExtension = part(2) == nullptr || std::strpbrk(part(2), ":/\\") == nullptr;
  for (const PathRules *rules : {&kWindowsPathRules, &kPosixPathRules}) {
    std::string resolved;
    if (!Resolve(*rules, part(1), part(0), part(2), part(3), &resolved) || !plainExtension ||
        !Absolute(*rules, resolved))
      continue;
    std::string again;
    Check(Resolve(*rules, nullptr, resolved.c_str(), nullptr, part(3), &again) && again == resolved,
          "\"%s\" resolves to \"%s\"", resolved.c_str(), again.c_str());
  }
  return 0;
}
