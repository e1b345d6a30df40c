// Table variables over the C library's environment. Windows compares environment names without regard
// to case and removes a variable set to an empty value; POSIX environments do neither, so there the
// letter is folded to upper case and an empty value unsets the variable.
#include "engine/subst/variables.h"

#include <cstdlib>

namespace {

// The environment's spelling of the variable name: a letter in upper case, any other character as is.
char EnvironmentName(char name) {
  return name >= 'a' && name <= 'z' ? static_cast<char>(name - 'a' + 'A') : name;
}

}  // namespace

const char *GetVariable(char name) {
  const char key[2] = {EnvironmentName(name), '\0'};
  return std::getenv(key);
}

int SetVariable(char *assignment) {
  assignment[0] = EnvironmentName(assignment[0]);
#if defined(_WIN32)
  return _putenv(assignment) == 0;
#else
  const char key[2] = {assignment[0], '\0'};
  const char *value = assignment + 2;
  if (*value == '\0') return unsetenv(key) == 0;
  return setenv(key, value, 1) == 0;
#endif
}
