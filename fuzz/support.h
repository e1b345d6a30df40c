// What every fuzz target shares: the splitting of one input into parts, a per-process scratch directory
// where set and table files are written for the engine to find, the table variables reset between runs,
// and the checks that stop the fuzzer with a reason when an invariant does not hold.
#ifndef RUNEFLOW_FUZZ_SUPPORT_H
#define RUNEFLOW_FUZZ_SUPPORT_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/charset/charset.h"
#include "engine/stream/stream.h"

// The separator between the parts of a multi-part input: a line "=====" of its own. The line feed that
// ends the line before it belongs to the separator, so a part that must end with a line feed is followed
// by an empty line. Only the first count - 1 separators split; the last part takes the rest, separators
// included. Missing parts are absent from the result, which holds between 1 and count parts.
const char kPartSeparator[] = "\n=====\n";
std::vector<std::string> SplitInput(const uint8_t *data, size_t size, size_t count);

// The directory where this process writes its files (under /dev/shm when there is one), created on
// first use and removed at exit.
const std::string &ScratchDir();
// Writes bytes to the file name in the scratch directory.
void WriteScratch(const std::string &name, const std::string &bytes);
// The full name of a shipped set or table file, such as "latin1.chs".
std::string ShippedFile(const std::string &name);

// A shipped set (such as "latin1"), loaded once for the life of the process; a failed load aborts.
CCharSet &ShippedSet(const std::string &name);

// Removes every one-character environment variable, so that table variables start each run unset.
void ClearVariables();

// What one run of a pipeline gave: Close's result, the text drained from the head, the head's report,
// and the table variables afterwards ("NAME=value" entries of one-character names, sorted).
struct RunResult {
  int result;
  std::string output;
  std::string report;
  std::vector<std::string> variables;
};
// Runs the pipeline behind head once over text, with the table variables cleared first and, when starve
// is not 0, allocation number starve of the run failing.
RunResult RunOnce(CStream &head, const std::string &text, unsigned long starve = 0);
// Runs it normally, then with allocation number starve failing, and, when that run failed, normally
// again. A normal run leaves no report on the head when it succeeds and one when it fails; the starved
// run gives the same outcome or fails for lack of memory; the last run gives what the first gave (the
// pipeline is reusable, also after a failed run). Returns the first run.
RunResult RunChecked(CStream &head, const std::string &text, unsigned long starve, const char *what);

// Runs the pipeline once more without the substitution stage's shortcuts (the plain pass-by-pass
// path) and checks that it gives exactly what run, a run with them, gave.
void CheckPlainPath(CStream &head, const std::string &text, const RunResult &run, const char *what);

// Prints "invariant broken: " and the formatted reason, then aborts, unless ok.
void Check(bool ok, const char *format, ...) __attribute__((format(printf, 2, 3)));

// An object's error text, "" when it has none.
std::string Report(const CStreamObj &object);
// Empties the object's error text, so that the next check sees only what happens after it.
void ClearReport(CStreamObj &object);
// One report on object after a failure: at most kErrTextMax characters, the object's class name
// (without its "C") and ": " before a non-empty message. Returns the message.
std::string CheckReport(const CStreamObj &object, const char *what);
// No report on object after a success.
void CheckNoReport(const CStreamObj &object, const char *what);
// What Open of a stage behind head must leave, opened telling whether it succeeded: no report on the
// stage after a success; after a failure one report on the stage, none on head, and a stage that refuses
// to run over text. Returns whether the stage opened.
bool CheckOpening(CStream &head, CStreamObj &stage, int opened, const std::string &text, const char *what);

#endif
