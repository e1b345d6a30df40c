// Reads the runeflow command's arguments: short options, alone or grouped ("-lv"), with their value
// attached or following ("-clatin1", "-c latin1"); long options ("--convert latin1", "--convert=latin1"),
// also shortened to any beginning that only one of them has ("--conv"); "--" before file names that
// begin with "-"; "-" for standard input. Options and file names may come in any order.
#include "cli/command_line.h"

const CommandLine::OptionName CommandLine::kOptions[] = {
    {'c', "convert", Option::kConvert, true},   {'t', "table", Option::kTable, true},
    {'o', "output", Option::kOutput, true},     {'d', "data-dir", Option::kDataDir, true},
    {'l', "list", Option::kList, false},        {'v', "variables", Option::kVariables, false},
    {'h', "help", Option::kHelp, false},        {0, "version", Option::kVersion, false},
    {'i', "in-place", Option::kInPlace, false}, {'j', "jobs", Option::kJobs, true},
};

namespace {

bool IsDriveColon(const std::string &text, size_t colon, size_t partStart) {
#ifdef _WIN32
  const char letter = static_cast<char>(text[partStart] | 0x20);
  return colon == partStart + 1 && letter >= 'a' && letter <= 'z' && colon + 1 < text.size() &&
         (text[colon + 1] == '\\' || text[colon + 1] == '/');
#else
  (void)text;
  (void)colon;
  (void)partStart;
  return false;
#endif
}

}  // namespace

bool SplitPair(const std::string &text, std::string *first, std::string *second) {
  size_t colon = text.find(':');
  if (colon != std::string::npos && IsDriveColon(text, colon, 0)) colon = text.find(':', colon + 1);
  if (colon == std::string::npos) return false;
  *first = text.substr(0, colon);
  *second = text.substr(colon + 1);
  return true;
}

bool CommandLine::FindLong(const std::string &word, const OptionName **found) {
  std::string candidates;
  for (const OptionName &name : kOptions) {
    if (word == name.word) {
      *found = &name;
      return true;
    }
    if (!word.empty() && std::string(name.word).compare(0, word.size(), word) == 0) {
      candidates += std::string(candidates.empty() ? "" : ", ") + "--" + name.word;
      *found = &name;
    }
  }
  if (candidates.empty()) return Fail("unknown option --" + word);
  if (candidates.find(',') != std::string::npos)
    return Fail("option --" + word + " is ambiguous (" + candidates + ")");
  return true;
}

bool CommandLine::Fail(const std::string &message) {
  if (error_.empty()) error_ = message;
  return false;
}

bool CommandLine::AddStage(StageRequest::Kind kind, const std::string &written, const std::string &value) {
  StageRequest stage{kind, value, std::string(), written + " " + value};
  if (SplitPair(value, &stage.first, &stage.second)) {
    if (stage.second.empty()) return Fail(stage.option + ": the name after \":\" is missing");
  } else if (kind == StageRequest::kConvert) {
    stage.second = value;  // a set into itself: only its references are resolved
  }
  if (stage.first.empty()) return Fail(stage.option + ": a name is missing");
  stages.push_back(stage);
  return true;
}

bool CommandLine::Apply(Option option, const std::string &written, const std::string &value) {
  switch (option) {
    case Option::kConvert:
      return AddStage(StageRequest::kConvert, written, value);
    case Option::kTable:
      return AddStage(StageRequest::kTable, written, value);
    case Option::kOutput:
      if (!output.empty()) return Fail("only one output file can be given");
      if (value.empty()) return Fail("option " + written + " needs a file name");
      output = value;
      return true;
    case Option::kDataDir:
      if (value.empty()) return Fail("option " + written + " needs a directory");
      dataDirs.push_back(value);
      return true;
    case Option::kList:
      list = true;
      return true;
    case Option::kVariables:
      variables = true;
      return true;
    case Option::kHelp:
      help = true;
      return true;
    case Option::kVersion:
      version = true;
      return true;
    case Option::kInPlace:
      inPlace = true;
      return true;
    case Option::kJobs: {
      const bool digits =
          !value.empty() && value.size() <= 3 && value.find_first_not_of("0123456789") == std::string::npos;
      jobs = digits ? std::stoi(value) : 0;
      if (jobs < 1 || jobs > kMostJobs)
        return Fail("option " + written + " needs a number of files from 1 to " + std::to_string(kMostJobs));
      return true;
    }
  }
  return true;
}

bool CommandLine::CheckCombinations() {
  if (help || version || list) return true;  // nothing is converted
  if (jobs > 1 && !inPlace) return Fail("-j converts files at once only with --in-place");
  if (!inPlace) return true;
  if (inputs.empty()) return Fail("--in-place needs the files to convert");
  for (const std::string &input : inputs)
    if (input == "-") return Fail("--in-place cannot replace standard input (-)");
  if (!output.empty()) return Fail("--in-place writes each file itself, without -o");
  if (variables) return Fail("--in-place converts each file with the variables it started with, without -v");
  return true;
}

bool CommandLine::Parse(const std::vector<std::string> &arguments) {
  bool optionsEnded = false;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string &argument = arguments[i];
    if (optionsEnded || argument.size() < 2 || argument[0] != '-') {
      inputs.push_back(argument);
    } else if (argument == "--") {
      optionsEnded = true;
    } else if (argument[1] == '-') {
      const size_t equals = argument.find('=');
      const std::string word = argument.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
      const OptionName *found = nullptr;
      if (!FindLong(word, &found)) return false;
      const std::string written = std::string("--") + found->word;
      std::string value;
      if (equals != std::string::npos) {
        if (!found->takesValue) return Fail("option " + written + " takes no value");
        value = argument.substr(equals + 1);
      } else if (found->takesValue) {
        if (i + 1 == arguments.size()) return Fail("option " + written + " needs a value");
        value = arguments[++i];
      }
      if (!Apply(found->option, written, value)) return false;
    } else {
      // A group of short options; one that takes a value takes the rest of the group or the next argument.
      for (size_t k = 1; k < argument.size(); ++k) {
        const std::string written = std::string("-") + argument[k];
        const OptionName *found = nullptr;
        for (const OptionName &name : kOptions)
          if (name.letter == argument[k]) found = &name;
        if (found == nullptr) return Fail("unknown option " + written);
        if (!found->takesValue) {
          if (!Apply(found->option, written, std::string())) return false;
          continue;
        }
        std::string value = argument.substr(k + 1);
        if (value.empty()) {
          if (i + 1 == arguments.size()) return Fail("option " + written + " needs a value");
          value = arguments[++i];
        }
        if (!Apply(found->option, written, value)) return false;
        break;
      }
    }
  }
  return CheckCombinations();
}
