// Reads the table variables out of the process environment, reports what a run changed, and puts them
// back.
#include "cli/variable_snapshot.h"

#include <cstdlib>

#ifndef _WIN32
extern char **environ;
#endif

namespace {

char **Environment() {
#ifdef _WIN32
  return _environ;
#else
  return environ;
#endif
}

// value between single quotes, each quote in it written as '\''.
std::string ShellQuoted(const std::string &value) {
  std::string quoted = "'";
  for (char c : value) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// Sets the variable name to value, or removes it when remove is set.
void Put(char name, const std::string &value, bool remove) {
  const char key[2] = {name, '\0'};
#ifdef _WIN32
  _putenv_s(key, remove ? "" : value.c_str());  // an empty value removes it
#else
  if (remove) {
    unsetenv(key);
  } else {
    setenv(key, value.c_str(), 1);
  }
#endif
}

}  // namespace

VariableSnapshot VariableSnapshot::Take() {
  VariableSnapshot snapshot;
  for (char **entry = Environment(); entry != nullptr && *entry != nullptr; ++entry) {
    const char *text = *entry;
    if (text[0] != '\0' && text[0] != '=' && text[1] == '=') snapshot.Set(text[0], text + 2);
  }
  return snapshot;
}

std::vector<std::string> VariableSnapshot::Changes(const VariableSnapshot &later) const {
  std::map<char, std::string> changed;
  for (const auto &variable : later.values_) {
    const auto before = values_.find(variable.first);
    if (before == values_.end() || before->second != variable.second)
      changed[variable.first] = variable.second;
  }
  for (const auto &variable : values_)
    if (later.values_.count(variable.first) == 0) changed[variable.first] = std::string();
  std::vector<std::string> lines;
  for (const auto &variable : changed)
    lines.push_back(std::string(1, variable.first) + "=" + ShellQuoted(variable.second));
  return lines;
}

void VariableSnapshot::Restore() const {
  for (const auto &variable : Take().values_) {
    if (values_.count(variable.first) == 0) Put(variable.first, std::string(), true);
  }
  for (const auto &variable : values_) Put(variable.first, variable.second, false);
}
