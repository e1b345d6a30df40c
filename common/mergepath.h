// mergepath: turns a file name given to the engine into a full path before any file is opened, completing
// it from a default directory, a default extension and the current directory and tidying its directory.
// Every file the engine, the table readers and the setup program open is resolved by this one routine.
#ifndef RUNEFLOW_COMMON_MERGEPATH_H
#define RUNEFLOW_COMMON_MERGEPATH_H

#include <cstddef>

// Which path syntax applies: Windows (backslash, drive prefixes "X:") or POSIX ("/" separator, no drive
// part: ':' is an ordinary character).
struct PathRules {
  char separator;     // '\\' or '/'
  bool hasDrives;     // a drive part is everything up to and including the first ':'
  size_t maxPath;     // size (with terminator) of the result buffer and of directory parts
  size_t maxElement;  // size (with terminator) of the base name and of the extension
};

extern const PathRules kWindowsPathRules;  // '\\', drives, 260, 256
extern const PathRules kPosixPathRules;    // '/', no drives, 4096, 256
extern const PathRules kHostPathRules;     // Windows rules in a _WIN32 build, POSIX rules otherwise

// kHostPathRules.maxPath, usable as an array size: char path[kMaxPath].
#ifdef _WIN32
const size_t kMaxPath = 260;
#else
const size_t kMaxPath = 4096;
#endif

// Resolves name into a full path in out (at least kMaxPath bytes) with the host rules and the process's
// current directory. defaultDir and defaultExt (without its dot) may be null. Returns 1 on success, 0
// when the name is illegal: null, a ".." step above the root, or a part or result beyond the rules'
// sizes. out is left untouched on failure.
int mergepath(char *out, const char *defaultDir, const char *name, const char *defaultExt);

// Same with an explicit rule set and current directory (null currentDir: the process's own); out holds
// rules.maxPath bytes. Rule sets with larger sizes than kWindowsPathRules or kPosixPathRules are refused.
int mergepath(char *out, const char *defaultDir, const char *name, const char *defaultExt,
              const PathRules &rules, const char *currentDir);

#endif
