// CommandLine: what the runeflow command was asked to do, read from its arguments. The stages keep the
// order in which they were given, because that is the order in which they run.
#ifndef RUNEFLOW_CLI_COMMAND_LINE_H
#define RUNEFLOW_CLI_COMMAND_LINE_H

#include <string>
#include <vector>

// One stage of the pipeline as named on the command line.
struct StageRequest {
  enum Kind { kConvert, kTable };
  Kind kind;
  std::string first;   // the source set of a conversion, the table of a substitution
  std::string second;  // the destination set of a conversion, the text's set of a substitution
  std::string option;  // the option and its value, a long option in full, for messages ("-c latin1:ascii")
};

const int kMostJobs = 256;  // files converted at once at the most (-j)

class CommandLine {
 public:
  // Reads the arguments after the program name. On a usage error Parse returns false and error() says
  // what is wrong, without the program name.
  bool Parse(const std::vector<std::string> &arguments);
  const std::string &error() const { return error_; }

  std::vector<StageRequest> stages;
  std::vector<std::string> inputs;    // files to read, in order; "-" is standard input; none: standard input
  std::string output;                 // file to write; empty or "-" is standard output
  std::vector<std::string> dataDirs;  // directories searched first for sets and tables, in order
  bool list = false;
  bool help = false;
  bool version = false;
  bool variables = false;
  bool inPlace = false;  // each input is converted on its own and replaced by its result
  int jobs = 1;          // inputs converted at once in place, 1 to kMostJobs

 private:
  enum class Option {
    kConvert,
    kTable,
    kOutput,
    kDataDir,
    kList,
    kVariables,
    kHelp,
    kVersion,
    kInPlace,
    kJobs
  };
  struct OptionName {
    char letter;       // 0: no short form
    const char *word;  // long form without "--"
    Option option;
    bool takesValue;
  };
  static const OptionName kOptions[];

  // Carries out one option, written as given (a long one in full, for messages), with its value.
  bool Apply(Option option, const std::string &written, const std::string &value);
  // Finds the long option named by word (what follows "--", up to any "="): the one of that name, else
  // the only one that begins with it. False, with the usage error recorded, when none or several do.
  bool FindLong(const std::string &word, const OptionName **found);
  // Records a usage error and returns false.
  bool Fail(const std::string &message);
  // The usage errors of options that go together only in some ways, found once all were read.
  bool CheckCombinations();
  // Adds a stage for the option name with its argument value.
  bool AddStage(StageRequest::Kind kind, const std::string &name, const std::string &value);

  std::string error_;  // the first usage error found
};

// Splits "A:B" at its first colon; false when there is none. On Windows a colon that follows a single
// letter at the start of A or B and comes before a path separator belongs to a drive letter.
bool SplitPair(const std::string &text, std::string *first, std::string *second);

#endif
