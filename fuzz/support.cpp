// The shared pieces of the fuzz targets: input parts, the scratch directory, the variable reset and the
// invariant checks with their reports.
#include "fuzz/support.h"

#include <unistd.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>

#include "engine/stream/allocator.h"
#include "engine/subst/shortcuts.h"
#include "tests/support/drain.h"

std::vector<std::string> SplitInput(const uint8_t *data, size_t size, size_t count) {
  const char *text = reinterpret_cast<const char *>(data);
  const size_t separatorLength = sizeof kPartSeparator - 1;
  std::vector<std::string> parts;
  size_t start = 0;
  while (parts.size() + 1 < count) {
    const void *found =
        size > start ? memmem(text + start, size - start, kPartSeparator, separatorLength) : nullptr;
    if (found == nullptr) break;
    const size_t at = static_cast<size_t>(static_cast<const char *>(found) - text);
    parts.emplace_back(text + start, at - start);
    start = at + separatorLength;
  }
  parts.emplace_back(text + start, size - start);
  return parts;
}

namespace {

void RemoveScratch() {
  std::error_code ignored;
  std::filesystem::remove_all(ScratchDir(), ignored);
}

}  // namespace

const std::string &ScratchDir() {
  // Never destroyed, so that the exit handler that removes the directory can still name it.
  static const std::string &dir = *new std::string([] {
    const std::filesystem::path base =
        std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : std::filesystem::temp_directory_path();
    const std::filesystem::path path = base / ("runeflow-fuzz-" + std::to_string(getpid()));
    std::filesystem::create_directories(path);
    std::atexit(RemoveScratch);
    return path.string();
  }());
  return dir;
}

void WriteScratch(const std::string &name, const std::string &bytes) {
  std::ofstream file(ScratchDir() + "/" + name, std::ios::binary | std::ios::trunc);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  Check(file.good(), "could not write %s in %s", name.c_str(), ScratchDir().c_str());
}

std::string ShippedFile(const std::string &name) { return std::string(RUNEFLOW_FUZZ_DATA) + "/" + name; }

CCharSet &ShippedSet(const std::string &name) {
  static CStream sink;
  static std::map<std::string, std::unique_ptr<CCharSet>> sets;
  std::unique_ptr<CCharSet> &set = sets[name];
  if (set == nullptr) {
    set.reset(new CCharSet);
    Check(set->Open(&sink, ShippedFile(name + ".chs").c_str()) == 1, "shipped set %s: %s", name.c_str(),
          Report(sink).c_str());
  }
  return *set;
}

namespace {

// The environment's entries of one-character names, sorted.
std::vector<std::string> Variables() {
  std::vector<std::string> variables;
  for (char **entry = environ; *entry != nullptr; ++entry) {
    if ((*entry)[0] != '\0' && (*entry)[1] == '=') variables.emplace_back(*entry);
  }
  std::sort(variables.begin(), variables.end());
  return variables;
}

}  // namespace

void ClearVariables() {
  for (const std::string &variable : Variables()) unsetenv(variable.substr(0, 1).c_str());
}

RunResult RunOnce(CStream &head, const std::string &text, unsigned long starve) {
  ClearVariables();
  ClearReport(head);
  head.Write(text.data(), static_cast<unsigned int>(text.size()));
  RunResult run;
  FailAllocationAt(starve);
  run.result = head.Close();
  FailAllocationAt(0);
  run.output = Drain(head);
  run.report = Report(head);
  run.variables = Variables();
  return run;
}

namespace {

bool Same(const RunResult &a, const RunResult &b) {
  return a.result == b.result && a.output == b.output && a.report == b.report && a.variables == b.variables;
}

// A run-time report of a lack of memory: a queue that could not grow, or a firing log.
bool OutOfMemory(const std::string &report) {
  return report.rfind("Stream: I/O error 12 on stream", 0) == 0 ||
         report == "Stream: Memory allocation error\n";
}

}  // namespace

RunResult RunChecked(CStream &head, const std::string &text, unsigned long starve, const char *what) {
  if (head.m_errText == nullptr) head.Eprintf("ready");  // so that a report needs no allocation of its own
  const RunResult first = RunOnce(head, text, 0);
  if (first.result == 1) {
    CheckNoReport(head, what);
  } else {
    Check(first.result == 0, "%s: Close returned %d", what, first.result);
    CheckReport(head, what);
  }
  const RunResult starved = RunOnce(head, text, starve);
  Check(Same(starved, first) || (starved.result == 0 && OutOfMemory(starved.report)),
        "%s: with allocation %lu failing the run gives %d \"%s\"", what, starve, starved.result,
        starved.report.c_str());
  if (Same(starved, first)) return first;  // the failure came too late to matter: a second normal run
  const RunResult again = RunOnce(head, text, 0);
  Check(Same(again, first), "%s: a later run differs: %d \"%s\" (%zu bytes) after %d \"%s\" (%zu bytes)",
        what, again.result, again.report.c_str(), again.output.size(), first.result, first.report.c_str(),
        first.output.size());
  return first;
}

void CheckPlainPath(CStream &head, const std::string &text, const RunResult &run, const char *what) {
  SetShortcutsForTesting(false);
  const RunResult plain = RunOnce(head, text, 0);
  SetShortcutsForTesting(true);
  size_t at = 0;
  while (at < run.output.size() && at < plain.output.size() && run.output[at] == plain.output[at]) ++at;
  Check(Same(run, plain),
        "%s: the shortcuts change the run: %d \"%s\" (%zu bytes, %zu variables) instead of %d \"%s\" "
        "(%zu bytes, %zu variables); the output differs from byte %zu on",
        what, run.result, run.report.c_str(), run.output.size(), run.variables.size(), plain.result,
        plain.report.c_str(), plain.output.size(), plain.variables.size(), at);
}

void Check(bool ok, const char *format, ...) {
  if (ok) return;
  std::fprintf(stderr, "invariant broken: ");
  va_list args;
  va_start(args, format);
  std::vfprintf(stderr, format, args);
  va_end(args);
  std::fprintf(stderr, "\n");
  std::abort();
}

std::string Report(const CStreamObj &object) { return object.m_errText != nullptr ? object.m_errText : ""; }

void ClearReport(CStreamObj &object) {
  if (object.m_errText != nullptr) object.m_errText[0] = '\0';
}

std::string CheckReport(const CStreamObj &object, const char *what) {
  const std::string text = Report(object);
  const std::string prefix = std::string(object.GetRuntimeClass()->className + 1) + ": ";
  Check(text.size() <= kErrTextMax, "%s: report of %zu characters: %s", what, text.size(), text.c_str());
  Check(text.compare(0, prefix.size(), prefix) == 0 && text.size() > prefix.size(),
        "%s: no report, or not in the form \"%s<message>\": \"%s\"", what, prefix.c_str(), text.c_str());
  return text.substr(prefix.size());
}

void CheckNoReport(const CStreamObj &object, const char *what) {
  Check(Report(object).empty(), "%s: unexpected report \"%s\"", what, Report(object).c_str());
}

bool CheckOpening(CStream &head, CStreamObj &stage, int opened, const std::string &text, const char *what) {
  if (opened) {
    CheckNoReport(stage, what);
    return true;
  }
  CheckReport(stage, what);
  CheckNoReport(head, what);
  const RunResult run = RunOnce(head, text);
  Check(run.result == 0 && run.report == "Stream: Object was not opened\n",
        "a stage that failed to open ran: %d \"%s\"", run.result, run.report.c_str());
  return false;
}
