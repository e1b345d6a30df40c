// Micro-benchmarks of the block queue that carries text from stage to stage: an object's queue filled in
// pieces of various sizes and drained as a stage drains its input, and the block walks of GetLength and
// Rewind over a full queue.
#include <algorithm>
#include <string>

#include "bench/bench_support.h"
#include "engine/stream/stream.h"
#include "engine/stream/stream_obj.h"

namespace {

// The text written into a stage's queue in pieces of range(0) bytes, then read back in pieces of
// kWorkSize with the consume flag set, as a stage reads its input: every block is released again.
void BM_QueueWriteThenConsume(benchmark::State &state) {
  const size_t piece = static_cast<size_t>(state.range(0));
  const std::string text = Text(TextBytes(), Vocabulary(), {}, 0);
  CStream head;
  CStreamObj stage;
  head.Add(&stage);
  if (!head.Open(nullptr) || !stage.Open()) {
    state.SkipWithError("the pipeline could not be opened");
    return;
  }
  unsigned char buffer[kWorkSize];
  for (auto _ : state) {
    for (size_t at = 0; at < text.size(); at += piece) {
      head.Write(text.data() + at, static_cast<unsigned>(std::min(piece, text.size() - at)));
    }
    size_t read = 0;
    while (unsigned n = stage.Read(buffer, kWorkSize)) read += n;
    if (head.Error() != 0 || read != text.size()) {
      state.SkipWithError("the queue did not give back what was written into it");
      break;
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_QueueWriteThenConsume)->ArgName("piece")->Arg(1)->Arg(64)->Arg(500)->Arg(4096);

// GetLength and Rewind over a queue holding the whole text: both walk every block.
void BM_QueueGetLengthRewind(benchmark::State &state) {
  const std::string text = Text(TextBytes(), Vocabulary(), {}, 0);
  CStream queue;  // a lone stream writes into its own queue
  queue.Write(text.data(), static_cast<unsigned>(text.size()));
  if (queue.Error() != 0) {
    state.SkipWithError("the queue could not be filled");
    return;
  }
  for (auto _ : state) {
    const unsigned long length = queue.GetLength();
    queue.Rewind();
    if (length != text.size()) {
      state.SkipWithError("GetLength did not count the whole queue");
      break;
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_QueueGetLengthRewind);

}  // namespace
