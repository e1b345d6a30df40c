// The substitution stage's plain path as the tests' gold standard: a pipeline run once with the stage's
// shortcuts and once without them (full passes over every entry), from the same table variables, must
// give the same result text, report and variables.
#ifndef RUNEFLOW_TESTS_SUPPORT_PLAIN_PATH_H
#define RUNEFLOW_TESTS_SUPPORT_PLAIN_PATH_H

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "engine/stream/stream.h"
#include "engine/subst/shortcuts.h"
#include "engine/subst/variables.h"
#include "tests/support/drain.h"

// While it lives, substitution runs take no shortcuts.
class ShortcutsOff {
 public:
  ShortcutsOff() { SetShortcutsForTesting(false); }
  ~ShortcutsOff() { SetShortcutsForTesting(true); }
  ShortcutsOff(const ShortcutsOff &) = delete;
  ShortcutsOff &operator=(const ShortcutsOff &) = delete;
};

// The table variables that are set, by the name the environment holds them under.
inline std::map<char, std::string> TableVariables() {
  std::map<char, std::string> variables;
  for (int name = 1; name < 256; ++name) {
    if (name == '=' || (name >= 'a' && name <= 'z')) continue;  // a letter is held in upper case
    const char *value = GetVariable(static_cast<char>(name));
    if (value != nullptr) variables[static_cast<char>(name)] = value;
  }
  return variables;
}

// Sets the table variables to exactly those given.
inline void SetTableVariables(const std::map<char, std::string> &wanted) {
  for (const auto &[name, value] : TableVariables()) {
    if (wanted.count(name) == 0) {
      std::string removal = std::string(1, name) + "=";
      SetVariable(&removal[0]);
    }
  }
  for (const auto &[name, value] : wanted) {
    std::string assignment = std::string(1, name) + "=" + value;
    SetVariable(&assignment[0]);
  }
}

// One run of the pipeline behind head over text (see RunPipeline), then the same run without the
// shortcuts from the same variables. A difference in the result or the variables fails the test, named
// by what; the run with the shortcuts is what is left.
inline std::string RunBothPaths(CStream &head, const std::string &text, const std::string &what = "") {
  const std::map<char, std::string> before = TableVariables();
  std::string plain;
  std::map<char, std::string> plainVariables;
  {
    ShortcutsOff off;
    plain = RunPipeline(head, text);
    plainVariables = TableVariables();
  }
  SetTableVariables(before);
  const std::string fast = RunPipeline(head, text);
  if (fast != plain) {
    size_t at = 0;
    while (at < fast.size() && at < plain.size() && fast[at] == plain[at]) ++at;
    ADD_FAILURE() << what << ": the shortcuts change the result at byte " << at << " of " << fast.size()
                  << " (plain: " << plain.size() << "): \"" << fast.substr(at, 40) << "\" instead of \""
                  << plain.substr(at, 40) << "\"";
  }
  if (TableVariables() != plainVariables) ADD_FAILURE() << what << ": the shortcuts change the variables";
  return fast;
}

#endif
