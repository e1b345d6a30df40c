// Micro-benchmarks of the substitution passes: a substitution stage run by the head's Close over a text
// already in its queue (the refill before each run is not timed), with tables of 1 to 600 literal
// entries, and with one wildcard entry that strips the tags of an HTML-like text.
#include <set>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "engine/subst/substitute.h"

namespace {

std::string UpperCase(std::string word) {
  for (char &c : word) c = static_cast<char>(c - 'a' + 'A');
  return word;
}

// The text with every word of `words` upper-cased: what a table replacing those words gives.
std::string UpperCaseWords(const std::string &text, const std::set<std::string> &words) {
  std::string result;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find_first_of(" \n", start);
    const std::string word = text.substr(start, end - start);
    result += words.count(word) != 0 ? UpperCase(word) : word;
    if (end == std::string::npos) break;
    result += text[end];
    start = end + 1;
  }
  return result;
}

// The text without its tags, what `"<\*>" 200 ""` gives when every tag is shorter than 200 characters.
std::string WithoutTags(const std::string &text) {
  std::string result;
  bool inTag = false;
  for (char c : text) {
    if (c == '<') inTag = true;
    if (!inTag) result += c;
    if (c == '>') inTag = false;
  }
  return result;
}

// Runs a substitution stage with the table file over the text in latin1, checks the first run's result
// against expected and reports the text's bytes as processed.
void RunSubstitution(benchmark::State &state, const std::string &table, const std::string &text,
                     const std::string &expected) {
  BenchPipeline pipeline;
  CSubstitute substitute;
  pipeline.head.Add(&substitute);
  pipeline.WriteFile("bench.sub", table);
  if (!pipeline.Opened() || !substitute.Open("bench", "latin1")) {
    state.SkipWithError(("the pipeline could not be opened: " + Reason(substitute)).c_str());
    return;
  }
  std::string substituted;  // the first run's result, checked
  for (auto _ : state) {
    const bool first = substituted.empty();
    if (!pipeline.Run(state, text, first ? &substituted : nullptr)) break;
    if (first && substituted != expected) {
      state.SkipWithError("the substituted text is wrong");
      break;
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

// range(0) literal entries, each a word of the text's vocabulary replaced by its upper-case form.
void BM_SubstituteLiteralEntries(benchmark::State &state) {
  const std::vector<std::string> vocabulary = Vocabulary();
  const std::string text = Text(TextBytes(), vocabulary, {}, 0);
  std::string table;
  std::set<std::string> replaced;
  for (int entry = 0; entry < state.range(0); ++entry) {
    const std::string &word = vocabulary[entry];
    table += "\"" + word + "\" \"" + UpperCase(word) + "\"\n";
    replaced.insert(word);
  }
  RunSubstitution(state, table, text, UpperCaseWords(text, replaced));
}
BENCHMARK(BM_SubstituteLiteralEntries)
    ->ArgName("entries")
    ->Arg(1)
    ->Arg(10)
    ->Arg(100)
    ->Arg(600)
    ->Unit(benchmark::kMillisecond);

// One wildcard entry that drops every tag of an HTML-like text: one word in three is markup.
void BM_SubstituteWildcardTags(benchmark::State &state) {
  const std::vector<std::string> markup = {"<p>", "</p>\n", "<b>kalo</b>", "<a href=\"page.html\">link</a>",
                                           "<br>", "<img src=\"figure.png\" alt=\"\">"};
  const std::string text = Text(TextBytes(), Vocabulary(), markup, 3);
  RunSubstitution(state, "\"<\\*>\" 200 \"\"\n", text, WithoutTags(text));
}
BENCHMARK(BM_SubstituteWildcardTags)->Unit(benchmark::kMillisecond);

}  // namespace
