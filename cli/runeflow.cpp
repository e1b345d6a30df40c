// The runeflow command: passes text through a pipeline of conversion and substitution stages named on
// the command line, from files or standard input to standard output or a file, or converts files in
// place. It is a thin front end over the engine's public interface: a head stream, the stages in the
// order given, one run (one per file in place).
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "cli/data_path.h"
#include "cli/file_jobs.h"
#include "cli/output_file.h"
#include "cli/variable_snapshot.h"
#include "engine/charset/convert.h"
#include "engine/charset/utf8_convert.h"
#include "engine/stream/about.h"
#include "engine/stream/stream.h"
#include "engine/subst/substitute.h"

#include <fcntl.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

// Exit codes: the run succeeded; the run failed; the command line is wrong; a set, table or file could
// not be loaded or opened.
enum ExitCode { kSuccess = 0, kRunFailed = 1, kUsageError = 2, kNotLoaded = 3 };

// A printf format: its one conversion is the separator of RUNEFLOW_PATH.
const char kUsage[] =
    "Usage: runeflow [OPTION]... [FILE]...\n"
    "Pass the FILEs (one text, in the order given; standard input when none or \"-\") through\n"
    "conversion and substitution stages, which run in the order given, to standard output.\n"
    "\n"
    "Stages:\n"
    "  -c, --convert=FROM[:TO]   convert from character set FROM to TO (default FROM: only\n"
    "                            the entity references of FROM are resolved); utf8 (or\n"
    "                            UTF-8) is UTF-8 text\n"
    "  -t, --table=TABLE[:SET]   apply substitution table TABLE to a text in character set SET\n"
    "                            (default: the set that the stage before leaves the text in)\n"
    "Options:\n"
    "  -o, --output=FILE         write to FILE, which is replaced only when the whole run succeeds\n"
    "  -d, --data-dir=DIR        look for sets and tables in DIR first (may be repeated)\n"
    "  -v, --variables           after the run, print on standard error the table variables that\n"
    "                            the run set, changed or removed, as NAME='value' lines\n"
    "  -i, --in-place            convert each FILE on its own and replace it with the result,\n"
    "                            only when its whole run succeeded\n"
    "  -j, --jobs=N              with --in-place, convert N files at once\n"
    "  -l, --list                list the character sets and tables that can be named\n"
    "  -h, --help                show this help\n"
    "      --version             show the version\n"
    "\n"
    "A set or table name that holds a \"/\" or a \".\" is a file name. Other names are looked up,\n"
    "as NAME.chs or NAME.sub, in the -d directories, then in those of RUNEFLOW_PATH (separated\n"
    "by \"%c\"), then among the shipped files.\n"
    "\n"
    "Exit status: 0 success, 1 the run failed or memory ran out (with --in-place: a file could\n"
    "not be converted; the others were), 2 wrong usage, 3 a set, table or file could not be\n"
    "loaded or created.\n"
    "\n"
    "Example: runeflow -t html2text:latin1 -c latin1:ascii page.html\n";

const char kProgram[] = "runeflow";

// Writes "runeflow: text" on standard error, ending it with a line end when it has none.
void Report(const std::string &text) {
  const bool ended = !text.empty() && text.back() == '\n';
  std::fprintf(stderr, "%s: %s%s", kProgram, text.c_str(), ended ? "" : "\n");
}

// What the command says whenever memory ran out, in the engine's words.
const char kNoMemory[] = "Memory allocation error";

// Whether a queue of object's pipeline could not grow for lack of memory.
bool QueueRanOutOfMemory(const CStreamObj &object) {
  const CStreamObj *each = &object;
  do {
    if (each->Error() == kErrNoMemory) return true;
    each = each->m_pNext;
  } while (each != nullptr && each != &object);
  return false;
}

// Reports an engine step that failed and returns its exit code. The report is on reporter, written
// after context; systemError is errno after the step (cleared before it), which is the reason for the
// failure when the step callsSystem: it is then added to the engine's text. Lack of memory is reported
// as such, with kRunFailed, whatever the step.
int StepFailed(const std::string &context, const CStreamObj &reporter, int systemError, bool callsSystem,
               int exitCode) {
  if (systemError == ENOMEM || reporter.m_errText == nullptr || QueueRanOutOfMemory(reporter)) {
    Report(kNoMemory);
    return kRunFailed;
  }
  std::string text = reporter.m_errText;
  if (callsSystem && systemError != 0) {
    const size_t lineEnd = text.find('\n');
    text.insert(lineEnd == std::string::npos ? text.size() : lineEnd, std::string(": ") + std::strerror(systemError));
  }
  Report(context + text);
  return exitCode;
}

int UsageError(const std::string &text) {
  Report(text);
  std::fprintf(stderr, "Try '%s --help' for more information.\n", kProgram);
  return kUsageError;
}

// In a conversion, the name that stands for UTF-8 text instead of a set file.
const char kUtf8Name[] = "utf8";

// Whether name is a spelling of UTF-8 that users of other converters write: "utf8" or "utf-8" in
// any letter case, each standing for kUtf8Name.
bool NamesUtf8(const std::string &name) {
  std::string lower;
  for (const char c : name) lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return lower == kUtf8Name || lower == "utf-8";
}

// The set name as the stages take it: a spelling of UTF-8 becomes kUtf8Name.
std::string SetName(const std::string &name) { return NamesUtf8(name) ? kUtf8Name : name; }

// A stage of the command line with the files it loads.
struct ResolvedStage {
  const StageRequest *request;
  std::string first;   // the source set or the table file; empty for UTF-8
  std::string second;  // the destination set or the text's set; empty for UTF-8
  // A conversion with UTF-8 on either side runs in the UTF-8 stage.
  bool Utf8() const { return request->kind == StageRequest::kConvert && (first.empty() || second.empty()); }
};

// Finds name (of kind "character set" or "substitution table") in path; empty, reported, when it is
// not there.
std::string FindFile(const DataPath &path, const StageRequest &stage, const std::string &name,
                     const char *extension, const char *kind) {
  std::string file = path.Find(name, extension);
  if (file.empty()) {
    std::string where;
    for (const std::string &directory : path.directories()) where += (where.empty() ? "" : ", ") + directory;
    Report(stage.option + ": no " + kind + " \"" + name + "\" in " +
           (where.empty() ? "no directory" : where) + " (see " + kProgram + " --list)");
  }
  return file;
}

// Resolves the stages' names into files. Returns kSuccess, or the exit code of the (reported) failure.
int ResolveStages(const CommandLine &command, const DataPath &path, std::vector<ResolvedStage> *resolved) {
  std::string textSet;  // the set the text is in after the stages so far; empty while unknown
  for (const StageRequest &stage : command.stages) {
    ResolvedStage files{&stage, std::string(), std::string()};
    if (stage.kind == StageRequest::kConvert) {
      if (SetName(stage.first) != kUtf8Name) {
        files.first = FindFile(path, stage, stage.first, "chs", "character set");
        if (files.first.empty()) return kNotLoaded;
      }
      textSet = SetName(stage.second);
      if (textSet == kUtf8Name) {
        resolved->push_back(files);
        continue;
      }
      files.second = FindFile(path, stage, stage.second, "chs", "character set");
    } else {
      if (!stage.second.empty()) textSet = SetName(stage.second);
      if (textSet.empty())
        return UsageError(stage.option + ": the text's character set is needed (" + stage.option + ":SET)");
      files.first = FindFile(path, stage, stage.first, "sub", "substitution table");
      if (files.first.empty()) return kNotLoaded;
      files.second = FindFile(path, stage, textSet, "chs", "character set");
    }
    if (files.second.empty()) return kNotLoaded;
    resolved->push_back(files);
  }
  return kSuccess;
}

// Opens the stages on their files, in a pipeline behind head. Returns kSuccess, or the exit code of
// the (reported) failure.
int OpenStages(CStream &head, const std::vector<ResolvedStage> &resolved,
               std::vector<std::unique_ptr<CStreamObj>> *stages) {
  for (const ResolvedStage &files : resolved) {
    if (files.Utf8())
      stages->push_back(std::make_unique<CUtf8Convert>());
    else if (files.request->kind == StageRequest::kConvert)
      stages->push_back(std::make_unique<CConvert>());
    else
      stages->push_back(std::make_unique<CSubstitute>());
    head.Add(stages->back().get());
  }
  errno = 0;
  if (!head.Open(nullptr))  // no name: relative file names are taken from the current directory
    return StepFailed("", head, errno, false, kNotLoaded);
  for (size_t i = 0; i < resolved.size(); ++i) {
    CStreamObj &stage = *(*stages)[i];
    const ResolvedStage &files = resolved[i];
    errno = 0;
    const char *first = files.first.c_str(), *second = files.second.c_str();
    bool opened;
    if (files.Utf8())
      opened = static_cast<CUtf8Convert &>(stage).Open(*first ? first : kUtf8, *second ? second : kUtf8);
    else if (files.request->kind == StageRequest::kConvert)
      opened = static_cast<CConvert &>(stage).Open(first, second);
    else
      opened = static_cast<CSubstitute &>(stage).Open(first, second);
    if (!opened) return StepFailed(files.request->option + ": ", stage, errno, true, kNotLoaded);
  }
  return kSuccess;
}

// Fills the pipeline from the inputs, or from standard input when there are none. Returns kSuccess, or
// the exit code of the (reported) failure.
int ReadInputs(CStream &head, const std::vector<std::string> &inputs) {
  const std::vector<std::string> standardInput{"-"};
  for (const std::string &input : inputs.empty() ? standardInput : inputs) {
    errno = 0;
    const bool read = input == "-" ? head.ReadFile(stdin, "standard input") : head.ReadFile(input.c_str());
    if (!read) return StepFailed("", head, errno, true, kNotLoaded);
  }
  return kSuccess;
}

// Warns about each -d directory that is not there or is no directory: names are then found elsewhere
// or not at all, which the warning explains.
void WarnAboutDataDirs(const std::vector<std::string> &dataDirs) {
  for (const std::string &directory : dataDirs) {
    const std::string problem = DirectoryProblem(directory);
    if (!problem.empty()) Report("warning: -d " + directory + ": " + problem);
  }
}

// Empties every queue of the pipeline behind head, so that what a failed run left cannot begin the
// next file's text.
void EmptyPipeline(CStream &head) {
  for (CStreamObj *object = head.m_pNext; object != nullptr && object != &head; object = object->m_pNext)
    object->Clear();
  head.Clear();
}

// Converts file on its own through the pipeline behind head and puts the result in its place, which
// OutputFile does only once the whole run succeeded. Returns whether it did; a failure is reported,
// naming the file, and leaves the file as it was. The pipeline is empty again afterwards.
bool ConvertInPlace(CStream &head, const std::string &file) {
  OutputFile output;
  errno = 0;
  bool converted = head.ReadFile(file.c_str());
  if (!converted) StepFailed("", head, errno, true, kNotLoaded);  // the engine's text names the file
  if (converted) {
    errno = 0;
    converted = head.Close();  // runs every stage; the last one writes the result into the head
    if (!converted) StepFailed(file + ": ", head, errno, false, kRunFailed);
  }
  if (converted && !(converted = output.Open(file))) Report(output.error());
  if (converted) {
    errno = 0;
    converted = head.WriteFile(output.file(), output.target().c_str());
    if (!converted) StepFailed("", head, errno, true, kRunFailed);
  }
  if (converted && !(converted = output.Commit())) Report(output.error());
  EmptyPipeline(head);
  return converted;
}

// Converts each input in place, up to command.jobs at once, each starting with the table variables the
// command started with. Returns kSuccess when every file was converted, else kRunFailed.
int ConvertAllInPlace(CStream &head, const CommandLine &command) {
  const VariableSnapshot variables = VariableSnapshot::Take();
  const int failed = RunFileJobs(
      command.inputs, command.jobs,
      [&](const std::string &file) {
        const bool converted = ConvertInPlace(head, file);
        variables.Restore();
        return converted;
      },
      [](const std::string &file, const std::string &reason) { Report(file + ": " + reason); });
  return failed == 0 ? kSuccess : kRunFailed;
}

int Run(const CommandLine &command) {
  WarnAboutDataDirs(command.dataDirs);
  const DataPath path(command.dataDirs, std::getenv("RUNEFLOW_PATH"), DataPath::ShippedDirectory());
  if (command.list) {
    path.List(stdout);
    return kSuccess;
  }
  std::vector<ResolvedStage> resolved;
  const int resolution = ResolveStages(command, path, &resolved);
  if (resolution != kSuccess) return resolution;

  CStream head;  // declared before the stages, so that it outlives them
  std::vector<std::unique_ptr<CStreamObj>> stages;
  const int opened = OpenStages(head, resolved, &stages);
  if (opened != kSuccess) return opened;
  if (command.inPlace) return ConvertAllInPlace(head, command);

  const bool toFile = !command.output.empty() && command.output != "-";
  OutputFile output;
  if (toFile && !output.Open(command.output)) {
    Report(output.error());
    return kNotLoaded;
  }
  const int read = ReadInputs(head, command.inputs);
  if (read != kSuccess) return read;

  const VariableSnapshot before = VariableSnapshot::Take();
  errno = 0;
  if (!head.Close())  // runs every stage; the last one writes the result into the head
    return StepFailed("", head, errno, false, kRunFailed);
  errno = 0;
  const bool written = toFile ? head.WriteFile(output.file(), output.target().c_str())
                              : head.WriteFile(stdout, "standard output");
  if (!written) return StepFailed("", head, errno, true, kRunFailed);
  if (toFile && !output.Commit()) {
    Report(output.error());
    return kRunFailed;
  }
  if (command.variables)
    for (const std::string &line : before.Changes(VariableSnapshot::Take()))
      std::fprintf(stderr, "%s\n", line.c_str());
  return kSuccess;
}

#ifndef _WIN32
// A standard descriptor that the caller closed would be the next file the command opens: a set file
// would become standard input, or messages would go into the output file. Each one closed is taken by
// /dev/null opened the other way round, so that using it fails as it would have.
void TakeClosedStandardDescriptors() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    const int taken = open("/dev/null", fd == 0 ? O_WRONLY : O_RDONLY);
    if (taken >= 0 && taken != fd) close(taken);
  }
}
#endif

}  // namespace

int main(int argc, char **argv) {
#ifdef _WIN32
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
#else
  TakeClosedStandardDescriptors();
#endif
  static char inputBuffer[kStdioBuffer];
  static char outputBuffer[kStdioBuffer];
  std::setvbuf(stdin, inputBuffer, _IOFBF, sizeof inputBuffer);
  std::setvbuf(stdout, outputBuffer, _IOFBF, sizeof outputBuffer);
  CommandLine command;
  if (!command.Parse(std::vector<std::string>(argv + 1, argv + argc))) return UsageError(command.error());
  if (command.help) {
    std::printf(kUsage, kSearchPathSeparator);
    return kSuccess;
  }
  if (command.version) {
    std::fputs(AboutMsg(), stdout);
    return kSuccess;
  }
  try {
    return Run(command);
  } catch (const std::bad_alloc &) {  // the command's own strings; the engine reports its own failures
    Report(kNoMemory);
    return kRunFailed;
  }
}
