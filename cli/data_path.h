// DataPath: where the runeflow command finds character sets and substitution tables. A name that holds
// a path separator or a "." is a file name; any other name is looked up in the directories given with
// options, then in those of the RUNEFLOW_PATH environment variable, then among the shipped files.
#ifndef RUNEFLOW_CLI_DATA_PATH_H
#define RUNEFLOW_CLI_DATA_PATH_H

#include <cstdio>
#include <string>
#include <vector>

// Separates the directories of RUNEFLOW_PATH.
#ifdef _WIN32
const char kSearchPathSeparator = ';';
#else
const char kSearchPathSeparator = ':';
#endif

class DataPath {
 public:
  // The search directories: optionDirs in order, then the entries of searchPath (a list separated by
  // kSearchPathSeparator; null or empty entries are skipped), then shippedDir when it is not empty.
  DataPath(const std::vector<std::string> &optionDirs, const char *searchPath, const std::string &shippedDir);

  // The file that the set or table name (extension "chs" or "sub") stands for. A file name comes back
  // as given; a looked-up name as the full path of the first directory that has it, or empty when none
  // has it.
  std::string Find(const std::string &name, const char *extension) const;
  // Writes, for every search directory, the sets and tables it holds under a name that Find looks up,
  // each with its description: the first line of the file when that is a comment ("! name:
  // description"). Names, descriptions and directories are shown with VisibleText.
  void List(FILE *out) const;

  const std::vector<std::string> &directories() const { return directories_; }

  // The shipped files' directory, "share/runeflow" beside the program's own directory (as in an
  // installed tree and in the build tree), or empty when the program's location is unknown.
  static std::string ShippedDirectory();

 private:
  std::vector<std::string> directories_;  // the search order
};

// Whether name is a file name rather than the name of a shipped or installed set or table.
bool IsFileName(const std::string &name);

// Why path cannot serve as a search directory (the system's reason), or empty when it can.
std::string DirectoryProblem(const std::string &path);

// text as it may safely go to a terminal: printable ASCII and well-formed UTF-8 of printable
// characters as they are, every other byte (controls, escape sequences) as "{1B}".
std::string VisibleText(const std::string &text);

#endif
