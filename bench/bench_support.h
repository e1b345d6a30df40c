// What the engine's micro-benchmarks share: the size of the texts they run over (1 MB, or what
// --text_bytes=N asks for), the deterministic texts themselves, and a pipeline whose head stream is named
// by a temporary directory holding the shipped sets, so that stages find their files by bare names.
#ifndef RUNEFLOW_BENCH_BENCH_SUPPORT_H
#define RUNEFLOW_BENCH_BENCH_SUPPORT_H

#include <benchmark/benchmark.h>

#include <cstddef>
#include <string>
#include <vector>

#include "engine/stream/stream.h"
#include "tests/support/temp_dir.h"

// Bytes of every text a benchmark runs over: 1 MB unless the command line gave --text_bytes=N.
size_t TextBytes();

// 625 different words of four lower-case ASCII letters (two syllables each), always in the same order.
std::vector<std::string> Vocabulary();

// A text of at least `bytes` bytes, the same on every call: words picked from `common` by a fixed-seed
// generator, about one word in `rareEvery` picked from `rare` instead (none when rare is empty), with a
// space between words and a line end after every twelfth word.
std::string Text(size_t bytes, const std::vector<std::string> &common, const std::vector<std::string> &rare,
                 unsigned rareEvery);

// A head stream opened on a fresh temporary directory into which the shipped sets latin1.chs and
// cp850.chs are copied; stages are added to it by the benchmark.
struct BenchPipeline {
  BenchPipeline();
  // Whether the head stream was opened; a benchmark that finds it was not stops at once.
  bool Opened() const { return head.m_work != nullptr; }
  // Writes a file (a table) into the directory, where the stages find it by its bare name.
  void WriteFile(const std::string &name, const std::string &bytes) { dir.Write(name, bytes); }
  // One run: text written into the first stage's queue (not timed), the stages run by Close (timed) and
  // the head emptied (not timed), into *result when one is given. A failed run stops the benchmark with
  // the head's error text and returns false.
  bool Run(benchmark::State &state, const std::string &text, std::string *result = nullptr);

  TempDir dir;
  CStream head;
};

// Why an engine object failed: its error text, or the lack of memory for one.
std::string Reason(const CStreamObj &object);

#endif
