// The report of a broken invariant (see check.h).
#include "engine/check.h"

#include <cstdio>
#include <cstdlib>

void BrokenInvariant(const char *file, int line, const char *condition) {
  std::fprintf(stderr, "%s:%d: invariant broken: %s\n", file, line, condition);
  std::abort();
}
