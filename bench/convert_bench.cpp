// Micro-benchmarks of the conversion window: a conversion stage from latin1 to cp850 run by the head's
// Close over a text already in its queue (the refill before each run is not timed), once over plain text
// with a few accented words and once over text dense with entity references.
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "engine/charset/convert.h"

namespace {

// The accented letters of the texts: their bytes in latin1 and in cp850, and the references naming them.
struct Letter {
  char latin1;
  char cp850;
  std::string named;
  std::string numeric;
};
const Letter kLetters[] = {{'\xE9', '\x82', "&eacute;", "&#233;"}, {'\xEF', '\x8B', "&iuml;", "&#239;"},
                           {'\xFC', '\x81', "&uuml;", "&#252;"},   {'\xE7', '\x87', "&ccedil;", "&#231;"},
                           {'\xE0', '\x85', "&agrave;", "&#224;"}};

// Latin1 words with those letters, and words that write them with named and numeric references.
const std::vector<std::string> kAccentedWords = {"caf\xE9", "na\xEFve", "\xFC" "ber", "gar\xE7on", "voil\xE0"};
const std::vector<std::string> kReferenceWords = {"caf&eacute;", "na&#239;ve", "&uuml;ber", "gar&#231;on",
                                                  "voil&agrave;", "&#233;t&#233;"};

// The text in cp850: ASCII stays, the accented letters and the references to them become cp850 bytes.
std::string InCp850(const std::string &text) {
  std::string converted;
  for (size_t at = 0; at < text.size();) {
    const Letter *found = nullptr;
    size_t length = 1;  // bytes of the text that become one byte
    for (const Letter &letter : kLetters) {
      if (text[at] == letter.latin1) found = &letter;
      for (const std::string *reference : {&letter.named, &letter.numeric}) {
        if (text.compare(at, reference->size(), *reference) == 0) {
          found = &letter;
          length = reference->size();
        }
      }
    }
    converted += found != nullptr ? found->cp850 : text[at];
    at += length;
  }
  return converted;
}

// The text is words of the vocabulary with one word in `rareEvery` taken from `rare`.
void BM_ConvertLatin1ToCp850(benchmark::State &state, const std::vector<std::string> &rare, unsigned rareEvery) {
  const std::string text = Text(TextBytes(), Vocabulary(), rare, rareEvery);
  BenchPipeline pipeline;
  CConvert convert;
  pipeline.head.Add(&convert);
  if (!pipeline.Opened() || !convert.Open("latin1", "cp850")) {
    state.SkipWithError(("the pipeline could not be opened: " + Reason(convert)).c_str());
    return;
  }
  std::string converted;  // the first run's result, checked against InCp850
  for (auto _ : state) {
    const bool first = converted.empty();
    if (!pipeline.Run(state, text, first ? &converted : nullptr)) break;
    if (first && converted != InCp850(text)) {
      state.SkipWithError("the converted text is wrong");
      break;
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK_CAPTURE(BM_ConvertLatin1ToCp850, plain, kAccentedWords, 8)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ConvertLatin1ToCp850, references, kReferenceWords, 2)->Unit(benchmark::kMillisecond);

}  // namespace
