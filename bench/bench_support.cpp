// The shared part of the engine's micro-benchmarks: the main that takes --text_bytes before handing the
// command line to Google Benchmark, the deterministic texts and the pipeline in a temporary directory.
#include "bench/bench_support.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>

namespace {

size_t textBytes = 1 << 20;  // set from --text_bytes by main

const char kTextBytesFlag[] = "--text_bytes=";

}  // namespace

size_t TextBytes() { return textBytes; }

std::vector<std::string> Vocabulary() {
  static const char *const syllables[] = {"ka", "lo", "mi", "ne", "su", "ta", "ri", "po", "de",
                                          "gu", "ba", "fe", "hi", "jo", "ve", "zu", "wa", "ce",
                                          "ni", "ro", "pa", "le", "mu", "so", "ti"};
  std::vector<std::string> words;
  for (const char *first : syllables)
    for (const char *second : syllables) words.push_back(std::string(first) + second);
  return words;
}

std::string Text(size_t bytes, const std::vector<std::string> &common, const std::vector<std::string> &rare,
                 unsigned rareEvery) {
  std::mt19937 random(20261207);  // raw outputs of mt19937 are the same everywhere
  std::string text;
  text.reserve(bytes + 64);
  for (unsigned count = 1; text.size() < bytes; ++count) {
    const bool takeRare = !rare.empty() && random() % rareEvery == 0;
    const std::vector<std::string> &words = takeRare ? rare : common;
    text += words[random() % words.size()];
    text += count % 12 == 0 ? '\n' : ' ';
  }
  return text;
}

BenchPipeline::BenchPipeline() {
  for (const char *set : {"latin1.chs", "cp850.chs"}) {
    std::filesystem::copy_file(std::filesystem::path(RUNEFLOW_DATA_DIR) / set, dir.File(set));
  }
  head.Open(dir.Path().c_str());
}

bool BenchPipeline::Run(benchmark::State &state, const std::string &text, std::string *result) {
  state.PauseTiming();
  head.Write(text.data(), static_cast<unsigned>(text.size()));
  if (head.Error() != 0) {
    state.SkipWithError("the text could not be written into the pipeline");
    head.Clear();
    return false;
  }
  state.ResumeTiming();
  const int succeeded = head.Close();
  state.PauseTiming();
  if (!succeeded) {
    state.SkipWithError(Reason(head).c_str());
  } else if (result != nullptr) {
    result->resize(head.GetLength());
    head.Read(result->data(), static_cast<unsigned>(result->size()));
  }
  head.Clear();
  state.ResumeTiming();
  return succeeded != 0;
}

std::string Reason(const CStreamObj &object) {
  return object.m_errText != nullptr ? object.m_errText : "out of memory";
}

int main(int argc, char **argv) {
  int kept = 0;
  for (int i = 0; i < argc; ++i) {
    if (std::strncmp(argv[i], kTextBytesFlag, sizeof kTextBytesFlag - 1) == 0) {
      textBytes = std::strtoul(argv[i] + sizeof kTextBytesFlag - 1, nullptr, 10);
    } else {
      argv[kept++] = argv[i];
    }
  }
  argc = kept;
  if (textBytes == 0) {
    std::fprintf(stderr, "%s: %sN wants a positive number of bytes\n", argv[0], kTextBytesFlag);
    return 1;
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
