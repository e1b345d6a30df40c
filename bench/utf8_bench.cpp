// Micro-benchmarks of the UTF-8 stage: UTF-8 into latin1 and latin1 into UTF-8, run by the head's Close
// over a text already in its queue (the refill before each run is not timed), over words with a few
// accented letters (one word in eight) and with many (every other word), all of which latin1 holds.
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "engine/charset/utf8_convert.h"

namespace {

const std::vector<std::string> kAccentedWords = {"caf\xE9", "na\xEFve",
                                                 "\xFC"
                                                 "ber",
                                                 "gar\xE7on", "voil\xE0"};

// A latin1 text in UTF-8: every byte is its own code point.
std::string Latin1ToUtf8(const std::string &text) {
  std::string utf8;
  for (unsigned char c : text) {
    if (c < 0x80) {
      utf8 += static_cast<char>(c);
    } else {
      utf8 += static_cast<char>(0xC0 | (c >> 6));
      utf8 += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return utf8;
}

void BM_Utf8(benchmark::State &state, bool toUtf8, unsigned accentedEvery) {
  const std::string latin1 = Text(TextBytes(), Vocabulary(), kAccentedWords, accentedEvery);
  const std::string utf8 = Latin1ToUtf8(latin1);
  BenchPipeline pipeline;
  CUtf8Convert stage;
  pipeline.head.Add(&stage);
  if (!pipeline.Opened() || !(toUtf8 ? stage.Open("latin1", kUtf8) : stage.Open(kUtf8, "latin1"))) {
    state.SkipWithError(("the pipeline could not be opened: " + Reason(stage)).c_str());
    return;
  }
  const std::string &input = toUtf8 ? latin1 : utf8;
  const std::string &expected = toUtf8 ? utf8 : latin1;
  std::string converted;  // the first run's result, checked
  for (auto _ : state) {
    const bool first = converted.empty();
    if (!pipeline.Run(state, input, first ? &converted : nullptr)) break;
    if (first && converted != expected) {
      state.SkipWithError("the converted text is wrong");
      break;
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * input.size()));
}
BENCHMARK_CAPTURE(BM_Utf8, utf8_to_latin1, false, 8)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Utf8, latin1_to_utf8, true, 8)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Utf8, utf8_to_latin1_dense, false, 2)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Utf8, latin1_to_utf8_dense, true, 2)->Unit(benchmark::kMillisecond);

}  // namespace
