// VariableSnapshot: the table variables (environment entries named by one character) at one moment, so
// that the runeflow command can print those that a run of its tables set, changed or removed, and start
// each file it converts in place with the variables it started with.
#ifndef RUNEFLOW_CLI_VARIABLE_SNAPSHOT_H
#define RUNEFLOW_CLI_VARIABLE_SNAPSHOT_H

#include <map>
#include <string>
#include <vector>

class VariableSnapshot {
 public:
  // The one-character entries of the process environment now.
  static VariableSnapshot Take();
  // Adds or replaces one entry; for building snapshots by hand.
  void Set(char name, const std::string &value) { values_[name] = value; }

  // "NAME='value'" for every variable whose value differs in later, ordered by name; a variable that
  // later lacks is given the empty value. Values are quoted for a POSIX shell.
  std::vector<std::string> Changes(const VariableSnapshot &later) const;
  // Makes the one-character entries of the process environment those of the snapshot again: those it
  // lacks are removed, the others set to its values.
  void Restore() const;

 private:
  std::map<char, std::string> values_;  // value by name
};

#endif
