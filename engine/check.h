// RUNEFLOW_ASSERT: an invariant that the code relies on, checked where the sanitizer and fuzz builds run
// (they define RUNEFLOW_CHECKED) and compiled away elsewhere. A broken invariant prints where it broke
// and aborts, so that the sanitizers, the fuzzers and the tests run under them stop on it.
#ifndef RUNEFLOW_ENGINE_CHECK_H
#define RUNEFLOW_ENGINE_CHECK_H

// Prints "file:line: invariant broken: condition" on standard error and aborts.
[[noreturn]] void BrokenInvariant(const char *file, int line, const char *condition);

#if defined(RUNEFLOW_CHECKED)

#define RUNEFLOW_ASSERT(condition) \
  ((condition) ? static_cast<void>(0) : BrokenInvariant(__FILE__, __LINE__, #condition))

#else

// Not evaluated, but still compiled, so that what it names stays in use and correct.
#define RUNEFLOW_ASSERT(condition) static_cast<void>(sizeof((condition) ? 1 : 0))

#endif

#endif
