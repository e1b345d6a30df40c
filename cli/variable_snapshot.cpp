// Reads the table variables out of the process environment and reports what a run changed.
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
