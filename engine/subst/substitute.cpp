// The substitution stage: opening (table, sets, buffers), the main loop with its passes over the window,
// the matcher that advances each entry's attempt byte by byte, firing, extending a wildcard and sliding
// an attempt, the end of the input, and the writing of replacements and variables.
#include "engine/subst/substitute.h"

#include <climits>
#include <cstring>

#include "engine/charset/builtin_charset.h"
#include "engine/charset/charset.h"
#include "engine/charset/conv_tbl.h"
#include "engine/stream/allocator.h"
#include "engine/subst/entry_candidates.h"
#include "engine/subst/firing_log.h"
#include "engine/subst/pattern_units.h"
#include "engine/subst/reference.h"
#include "engine/subst/subst_tbl.h"
#include "engine/subst/variables.h"

IMPLEMENT_RUNTIME_CLASS(CSubstitute, CStreamObj)

namespace {

const int kDisabled = 2;  // an entry's state while its group is switched off

// Whether the attempt of e has outgrown its wildcard limit (it is dead until it slides on).
bool Exhausted(const sub_struct &e) { return e.wc == INT_MAX || static_cast<long long>(e.wc) - 1 > e.wmax; }

// Marks e's attempt dead: its next test rejects and it slides on.
void Exhaust(sub_struct &e) { e.wc = e.wmax < INT_MAX - 2 ? e.wmax + 2 : INT_MAX; }

const unsigned char *Bytes(const char *s) { return reinterpret_cast<const unsigned char *>(s); }

// The index of the lowest set bit of a non-zero word.
int LowestBit(uint64_t word) { return __builtin_ctzll(word); }
int LowestBit(uint32_t word) { return __builtin_ctz(word); }

}  // namespace

CSubstitute::CSubstitute()
    : table(nullptr),
      textset(nullptr),
      tblset(nullptr),
      window(nullptr),
      windowsize(0),
      outbuf(nullptr),
      outcount(0),
      envbuf(nullptr),
      firings(nullptr),
      candidates(nullptr),
      engaged(),
      engagedWords(0),
      enabledCount(0) {
  AppendVersion("3.1");
}

CSubstitute::~CSubstitute() { Release(nullptr); }

void CSubstitute::Release(const CCharSet *keep) {
  if (table != nullptr && table->errsink == this) delete table;
  table = nullptr;
  if (textset != nullptr && textset != keep && textset->errsink == this) delete textset;
  textset = nullptr;
  EngineFree(window);
  window = nullptr;
  windowsize = 0;
  EngineFree(outbuf);
  outbuf = nullptr;
  outcount = 0;
  EngineFree(envbuf);
  envbuf = nullptr;
  delete firings;
  firings = nullptr;
  delete candidates;
  candidates = nullptr;
}

// --- Opening ---------------------------------------------------------------------------------------

int CSubstitute::Open(const char *tableName, const char *setName) {
  ReleaseWork();
  Release(nullptr);
  tblset = BuiltinCharSet();  // its reference characters and tables are set by every call
  textset = new (std::nothrow) CCharSet;
  if (textset == nullptr) return ReportNoMemory();
  if (!textset->Open(this, setName)) return 0;
  return Open(tableName, textset, tblset);
}

int CSubstitute::Open(const char *tableName, CCharSet *newTextset, CCharSet *newTblset) {
  Release(newTextset);
  tblset = newTblset;
  textset = newTextset;
  if (!CStreamObj::Open()) return 0;
  if (!LoadTable(tableName) || !AllocateBuffers()) {
    ReleaseWork();  // a stage that is not completely open refuses its runs
    return 0;
  }
  return 1;
}

int CSubstitute::LoadTable(const char *name) {
  table = new (std::nothrow) CSubstTbl;
  if (table == nullptr) return ReportNoMemory();
  return table->Open(this, name, textset, tblset);
}

int CSubstitute::AllocateBuffers() {
  const int work = static_cast<int>(kWorkSize);
  windowsize = table->maxmatch >= work ? table->maxmatch : work;
  window = static_cast<unsigned char *>(EngineAlloc(static_cast<size_t>(windowsize)));
  if (window == nullptr) return ReportNoMemory();
  outbuf = static_cast<unsigned char *>(EngineAlloc(kWorkSize));
  if (outbuf == nullptr) return ReportNoMemory();
  outcount = 0;
  envbuf = static_cast<char *>(EngineAlloc(kEnvSize));
  if (envbuf == nullptr) {
    Eprintf("Memory allocation error d\n");
    return 0;
  }
  firings = new (std::nothrow) FiringLog;
  if (firings == nullptr || !firings->Reserve(table->count, work)) return ReportNoMemory();
  candidates = new (std::nothrow) EntryCandidates;
  if (candidates == nullptr || !candidates->Build(*table, *textset)) return ReportNoMemory();
  return 1;
}

// --- Output ----------------------------------------------------------------------------------------

int CSubstitute::ReportQueueError() {
  ReportTarget()->Eprintf("I/O error %d on stream\n", Error());
  return 0;
}

int CSubstitute::PutDst(int c) {
  if (c != -1) {
    outbuf[outcount++] = static_cast<unsigned char>(c);
    if (outcount < static_cast<int>(kWorkSize)) return 1;
  }
  Write(outbuf, static_cast<unsigned int>(outcount));  // also when empty: the flush always writes
  if (Error()) return ReportQueueError();
  outcount = 0;
  return 1;
}

int CSubstitute::putunmatched(int first, int end) {
  if (table->dropunmatched) return 1;
  // Copied into outbuf as far as it has room; a full outbuf goes out as PutDst would send it.
  while (first < end) {
    int chunk = static_cast<int>(kWorkSize) - outcount;
    if (chunk > end - first) chunk = end - first;
    std::memcpy(outbuf + outcount, window + first, static_cast<size_t>(chunk));
    outcount += chunk;
    first += chunk;
    if (outcount == static_cast<int>(kWorkSize) && !PutDst(-1)) return 0;
  }
  return 1;
}

// --- The matcher -----------------------------------------------------------------------------------

bool CSubstitute::InSubset(int t, int subset) const { return (textset->chars[t].subsets >> subset) & 1u; }

int CSubstitute::terminate(int t, sub_struct *e) {
  if (Exhausted(*e)) return 1;
  if (e->term < 0) return InSubset(t, -e->term);
  return t == e->term;
}

int CSubstitute::match(int p, sub_struct *e) {
  if (Exhausted(*e)) return 0;
  const unsigned char *from = Bytes(e->from);
  const int k = PatternIndex(p, *e);
  const int t = window[p];
  if (from[k] == '\0') return 0;
  if (!IsEscape(*table, from, k)) return from[k] == t;
  const unsigned char letter = from[k + 1];
  const int subset = e->subs[k];
  if (IsParameter(*table, letter)) {
    if (subset != 0 && !InSubset(t, subset)) return 0;
    ++e->pi;
    return 1;
  }
  if (IsWildcard(*table, letter)) {
    if (e->wc == 0) {  // entering the wildcard, nothing absorbed yet
      e->wc = 1;
      ++e->pi;
    }
    // The byte may already be the first one after the wildcard; then the wildcard's text is final.
    e->pi += 2;
    if (match(p, e)) return 1;
    e->pi -= 2;
    if (subset != 0 && !InSubset(t, subset)) {
      e->wc = 0;
      return 0;
    }
    if (terminate(t, e)) {
      Exhaust(*e);
      return 0;
    }
    ++e->wc;  // absorbed
    return 1;
  }
  // An escaped literal: the letter itself, or its case partner when it is a letter that has one.
  if (t == letter || (InSubset(letter, kSubsetPaired) && textset->othercase[t] == letter)) {
    ++e->pi;
    return 1;
  }
  return 0;
}

void CSubstitute::Slide(int pos, sub_struct *e) {
  // Invariant: the attempt from e->start matches the text up to p - 1.
  ++e->start;
  e->pi = 0;
  e->wc = 0;
  for (int p = e->start; p <= pos;) {
    if (match(p, e)) {
      ++p;
    } else {
      ++e->start;
      e->pi = 0;
      e->wc = 0;
      p = e->start;
    }
  }
}

void CSubstitute::SlidePlain(int pos, sub_struct &e) const {
  // The next start from which the text up to pos is the beginning of the pattern, as Slide finds it;
  // from a start that leaves more text than the pattern holds, the matcher meets the pattern's end.
  const int length = static_cast<int>(std::strlen(e.from));
  int start = e.start + 1;
  if (start < pos + 1 - length) start = pos + 1 - length;
  while (start <= pos && std::memcmp(window + start, e.from, static_cast<size_t>(pos - start + 1)) != 0) ++start;
  e.start = start;
}

void CSubstitute::Extend(int pos, sub_struct *e) {
  // Where the wildcard stands in the pattern: its index, and the pattern units before it.
  const unsigned char *from = Bytes(e->from);
  int wildcard = 0;
  int units = 0;
  while (!(IsEscape(*table, from, wildcard) && IsWildcard(*table, from[wildcard + 1]))) {
    wildcard += IsEscape(*table, from, wildcard) ? 2 : 1;
    ++units;
  }
  for (;;) {
    // Back to the first byte after the wildcard's text, with the pattern index on the wildcard: the
    // text matched after the wildcard is given to it, one byte more each round.
    int p = e->start + units + e->wc - 1;
    e->pi = wildcard - units + 1;
    if (terminate(window[p], e)) {
      Exhaust(*e);
      return;
    }
    ++e->wc;
    ++p;
    // Invariant: the attempt matches the text from e->start up to p - 1.
    while (p <= pos && !Exhausted(*e) && match(p, e)) ++p;
    if (p > pos) return;  // caught up again
    if (static_cast<long long>(e->wc) - 1 >= e->wmax) {
      // The wildcard cannot take the byte more it would need: the attempt is dead.
      Exhaust(*e);
      return;
    }
  }
}

// --- The main loop ---------------------------------------------------------------------------------

int CSubstitute::Process() {
  if (!CStreamObj::Process()) return 0;
  outcount = 0;  // what a failed run left in outbuf is not this run's
  table->InitState();
  Scan s{0, 0, 0, 0, false, true};
  for (;;) {
    if (Eof()) return Close();
    s.n += static_cast<int>(Read(window + s.n, static_cast<unsigned int>(windowsize - s.n)));
    if (Error()) return ReportQueueError();
    if (s.statesChanged) {
      if (!firings->Restart(table->entries)) return ReportRunOutOfMemory();
      CountEnabled();
      s.statesChanged = false;
    } else {
      firings->Forget();  // the states it holds are the present ones
    }
    s.pos = 0;
    s.lim = 0;
    s.out = 0;
    s.dense = false;
    DisengageAll();
    while (s.pos < s.n) {
      switch (Pass(s)) {
        case Outcome::kFailed:
          return 0;
        case Outcome::kStopped:
          if (!PutDst(-1)) return 0;
          Clear();
          return Close();
        default:
          break;
      }
    }
    if (Eof()) {
      if (!PutDst(-1)) return 0;
    } else if (!KeepUnresolved(s)) {
      return 0;
    }
  }
}

void CSubstitute::CountEnabled() {
  enabledCount = 0;
  for (int index = 0; index < table->count; ++index) {
    if (table->entries[index].state != kDisabled) ++enabledCount;
  }
}

bool CSubstitute::Doomed(const Scan &s, int index, int p) const {
  if (!candidates->IsPlain(index)) return false;
  const char *from = table->entries[index].from;
  const int reach = candidates->ShortestLater(index);
  for (int k = 0; k < reach && p + k < s.n && from[k] != '\0'; ++k) {
    if (from[k] != static_cast<char>(window[p + k])) return true;
  }
  return false;
}

int CSubstitute::FirstBeginning(const Scan &s, int p, int below) const {
  const unsigned char t = window[p];
  int found = -1;
  const auto lowest = [&](int w, uint64_t bits) {
    if (bits != 0 && (found < 0 || w * 64 + LowestBit(bits) < found)) found = w * 64 + LowestBit(bits);
  };
  if (p + 1 == s.n) {  // with no next byte in the window, no attempt can be known to die
    const uint64_t *first = candidates->ForFirst(t);
    for (uint32_t words = candidates->FirstWords(t); words != 0 && found < 0; words &= words - 1) {
      lowest(LowestBit(words), first[LowestBit(words)]);
    }
    return found >= 0 && found < below ? found : -1;
  }
  const unsigned char next = window[p + 1];
  if (p + 2 < s.n ? !candidates->AnyForTriple(t, next, window[p + 2]) : !candidates->AnyForPair(t, next)) return -1;
  int count = 0;
  const uint16_t *plainEntries = candidates->PlainBeginning(t, next, &count);
  for (int i = 0; i < count && plainEntries[i] < below; ++i) {
    if (!Doomed(s, plainEntries[i], p)) {
      found = plainEntries[i];
      break;
    }
  }
  // Any other entry may begin here: it is not plain, or a single byte that matches whole.
  const uint64_t *first = candidates->ForFirst(t);
  const uint64_t *second = candidates->ForSecond(next);
  for (uint32_t words = candidates->UnlistedWords(t, next); words != 0; words &= words - 1) {
    const int w = LowestBit(words);
    if (found >= 0 && w * 64 >= found) break;
    lowest(w, first[w] & second[w] & ~candidates->Listed(w));
  }
  return found >= 0 && found < below ? found : -1;
}

int CSubstitute::SkipUnmatchable(Scan &s, int *first) {
  int p = s.pos;
  *first = -1;
  const int sole = candidates->SoleFirstByte();
  for (; p < s.n; ++p) {
    if (sole >= 0) {  // one byte begins every entry: the C library finds it fastest
      const void *hit = std::memchr(window + p, sole, static_cast<size_t>(s.n - p));
      if (hit == nullptr) {
        p = s.n;
        break;
      }
      p = static_cast<int>(static_cast<const unsigned char *>(hit) - window);
    } else if (!candidates->AnyForByte(window[p])) {
      continue;
    }
    if (p + 2 < s.n && !candidates->AnyForTriple(window[p], window[p + 1], window[p + 2])) continue;
    *first = FirstBeginning(s, p, table->count);
    if (*first >= 0) break;
  }
  if (p == s.pos) return 1;
  // Each pass over these bytes would have started every enabled entry again at the next byte.
  s.pos = p;
  s.lim = enabledCount > 0 ? p : s.n;
  if (!putunmatched(s.out, s.lim)) return 0;
  s.out = s.lim;
  return 1;
}

template <class Action>
void CSubstitute::ForEachHeld(const Scan &s, Action act) {
  if (s.dense) {
    for (int index = 0; index < table->count; ++index) act(table->entries[index]);
    return;
  }
  for (uint32_t words = engagedWords; words != 0; words &= words - 1) {
    const int w = LowestBit(words);
    for (uint64_t held = engaged[w]; held != 0; held &= held - 1) act(table->entries[w * 64 + LowestBit(held)]);
  }
}

void CSubstitute::DisengageAll() {
  std::memset(engaged, 0, sizeof engaged);
  engagedWords = 0;
}

int CSubstitute::LoneEngaged() const {
  if (engagedWords == 0 || (engagedWords & (engagedWords - 1)) != 0) return -1;
  const int w = LowestBit(engagedWords);
  const uint64_t bits = engaged[w];
  if ((bits & (bits - 1)) != 0) return -1;
  return w * 64 + LowestBit(bits);
}

int CSubstitute::WildcardRun(const Scan &s, int index) const {
  const sub_struct &e = table->entries[index];
  if (e.start < 0 || e.start > s.pos || e.wc < 1 || Exhausted(e)) return 0;
  const unsigned char *from = Bytes(e.from);
  const int k = PatternIndex(s.pos, e);  // the wildcard's code while it takes text
  if (!IsEscape(*table, from, k) || IsParameter(*table, from[k + 1]) || !IsWildcard(*table, from[k + 1])) return 0;
  // Only a plain byte after the wildcard is looked for here.
  if (from[k + 2] == '\0' || IsEscape(*table, from, k + 2)) return 0;
  const int after = from[k + 2];
  const int subset = e.subs[k];
  long long taken = e.wc;  // the wildcard's text so far, plus one
  int p = s.pos;
  // Each byte is one the matcher would give the wildcard: not the byte after it, in its subset, no
  // terminator, the limit not reached, and no attempt of any entry can begin on it. The window's last
  // byte is left to a pass.
  for (; p < s.n - 1; ++p, ++taken) {
    const int t = window[p];
    if (t == after || taken - 1 > e.wmax || (subset != 0 && !InSubset(t, subset))) break;
    if (e.term < 0 ? InSubset(t, -e.term) : t == e.term) break;
    if (MayBeginAt(s, p, table->count)) break;
  }
  return p - s.pos;
}

int CSubstitute::SureCompletion(const Scan &s) const {
  const int index = LoneEngaged();
  if (index < 0) return -1;
  const int start = table->entries[index].start;
  return start >= 0 && start <= s.pos && SureFiring(s, index, start, s.pos) ? index : -1;
}

bool CSubstitute::SureFiring(const Scan &s, int index, int start, int checkFrom) const {
  const sub_struct &e = table->entries[index];
  if (!candidates->IsPlain(index) || e.state == kDisabled) return false;
  // The rest of the pattern must stand in the window from pos on.
  const int last = start + static_cast<int>(std::strlen(e.from)) - 1;
  if (last >= s.n || last < s.pos) return false;
  if (std::memcmp(window + s.pos, e.from + (s.pos - start), static_cast<size_t>(last - s.pos + 1)) != 0) return false;
  // No earlier entry may begin meanwhile (it could complete first); later ones would have to wait.
  for (int p = checkFrom; p <= last; ++p) {
    if (MayBeginAt(s, p, index)) return false;
  }
  const int resume = last + 1 - e.back > 0 ? last + 1 - e.back : 0;
  return !firings->Contains(index, start, resume);
}

CSubstitute::Outcome CSubstitute::FireSure(Scan &s, int index, int start) {
  sub_struct &e = table->entries[index];
  e.start = start;
  e.pi = 0;
  e.wc = 0;
  // The passes up to the match's last byte would only carry its attempt on, and that pass fires it.
  s.pos = start + static_cast<int>(std::strlen(e.from)) - 1;
  s.lim = s.n;
  const Outcome fired = Fire(s, index, false);
  return fired == Outcome::kDone ? EndPass(s) : fired;
}

CSubstitute::Outcome CSubstitute::EndPass(Scan &s) {
  if (!putunmatched(s.out, s.lim)) return Outcome::kFailed;
  s.out = s.lim;
  ++s.pos;
  if (s.pos >= s.n && Eof() && !EndOfInput(s)) return Outcome::kFailed;
  return Outcome::kDone;
}

CSubstitute::Outcome CSubstitute::Pass(Scan &s) {
  if (!s.dense) {
    if (engagedWords == 0) {
      int first = -1;  // the first entry that can begin at pos: no earlier one can
      if (!SkipUnmatchable(s, &first)) return Outcome::kFailed;
      if (s.pos >= s.n) return Eof() && !EndOfInput(s) ? Outcome::kFailed : Outcome::kDone;
      // When it fires for sure, no pass needs to run up to its end.
      if (first >= 0 && SureFiring(s, first, s.pos, s.pos + 1)) return FireSure(s, first, s.pos);
    } else {
      const int sure = SureCompletion(s);
      if (sure >= 0) return FireSure(s, sure, table->entries[sure].start);
      const int lone = LoneEngaged();
      const int taken = lone >= 0 ? WildcardRun(s, lone) : 0;
      if (taken > 0) {
        // The passes over these bytes would each give one to the wildcard and hold back the text from
        // the attempt's start.
        table->entries[lone].wc += taken;
        s.pos += taken;
        if (!putunmatched(s.out, table->entries[lone].start)) return Outcome::kFailed;
        s.out = table->entries[lone].start;
      }
    }
  }
  s.lim = s.n;
  // The entries that can begin here and, when the next byte is in the window, still be alive after it.
  const uint64_t *beginning = candidates->ForFirst(window[s.pos]);
  const uint64_t *going = s.pos + 1 < s.n ? candidates->ForSecond(window[s.pos + 1]) : nullptr;
  uint32_t words = (1u << candidates->words()) - 1;
  if (!s.dense) {
    words = engagedWords | (candidates->FirstWords(window[s.pos]) &
                            (going != nullptr ? candidates->SecondWords(window[s.pos + 1]) : words));
  }
  int testedEnabled = 0;
  bool fired = false;
  // Invariant: lim is the earliest start of the attempts in progress of the entries before index, and
  // no earlier entry holds a waiting match that begins before lim. An entry that is neither engaged nor
  // able to begin at pos would only start again at pos + 1, which changes no decision of this pass;
  // neither does one whose attempt would die at pos + 1 (see EntryCandidates::ForSecond).
  for (; words != 0 && !fired; words &= words - 1) {
    const int w = LowestBit(words);
    uint64_t pending = ~uint64_t{0};
    if (!s.dense) pending = engaged[w] | (beginning[w] & (going != nullptr ? going[w] : ~uint64_t{0}));
    while (pending != 0) {
      const int bit = LowestBit(pending);
      pending &= pending - 1;
      const int index = w * 64 + bit;
      if (index >= table->count) break;
      sub_struct &e = table->entries[index];
      const uint64_t mask = uint64_t{1} << bit;
      if (!s.dense && (engaged[w] & mask) == 0) {
        if (Doomed(s, index, s.pos)) continue;  // as if it had not been able to begin
        e.start = s.pos;  // a fresh attempt, as every entry that is not engaged has
        e.pi = 0;
        e.wc = 0;
      }
      if (e.state != kDisabled) ++testedEnabled;
      const Outcome outcome = Step(s, index);
      if (outcome != Outcome::kRefused) {
        if (outcome != Outcome::kDone) return outcome;
        fired = true;  // a firing ends the pass
        break;
      }
      if (!s.dense) {
        if (e.state != kDisabled && Engaged(e, s.pos + 1)) {
          engaged[w] |= mask;
          engagedWords |= 1u << w;
        } else if ((engaged[w] &= ~mask) == 0) {
          engagedWords &= ~(1u << w);
        }
      }
    }
  }
  if (!fired && !s.dense && testedEnabled < enabledCount && s.pos + 1 < s.lim) s.lim = s.pos + 1;
  return EndPass(s);
}

CSubstitute::Outcome CSubstitute::Step(Scan &s, int index) {
  sub_struct &e = table->entries[index];
  Outcome fired = Outcome::kRefused;
  if (e.start < 0) {  // a waiting match
    int begins = -(e.start + 1);
    if (begins >= s.lim) return Outcome::kRefused;
    e.start = begins;
    fired = Fire(s, index, true);
  } else {
    if (e.start >= s.n || e.state == kDisabled) return Outcome::kRefused;
    if (e.start > s.pos) {  // an attempt slid past a refused waiting match: its text is still ahead
      if (e.start < s.lim) s.lim = e.start;
      return Outcome::kRefused;
    }
    const bool plain = candidates->IsPlain(index);
    if (plain ? MatchPlain(s.pos, e) : match(s.pos, &e)) {
      if (e.from[PatternIndex(s.pos, e) + 1] != '\0') {
        if (e.start < s.lim) s.lim = e.start;
        return Outcome::kRefused;
      }
      if (e.start >= s.lim) {  // complete, but an earlier entry holds an attempt that began no later
        e.start = -(e.start + 1);
        return Outcome::kRefused;
      }
      fired = Fire(s, index, false);
    } else if (e.wc != 0 && !Exhausted(e) && e.wsubset == 0) {
      Extend(s.pos, &e);
      if (e.start < s.lim) s.lim = e.start;
      return Outcome::kRefused;
    }
  }
  if (fired != Outcome::kRefused) return fired;
  // Rejected, or a firing refused as a repeat: the attempt slides on.
  if (candidates->IsPlain(index)) {
    SlidePlain(s.pos, e);
  } else {
    Slide(s.pos, &e);
  }
  if (e.start < s.lim) s.lim = e.start;
  return Outcome::kRefused;
}

CSubstitute::Outcome CSubstitute::Fire(Scan &s, int index, bool waiting) {
  sub_struct &e = table->entries[index];
  const int begins = e.start;
  // Where scanning goes on: after the match, less the characters given back, but never before the
  // window's start.
  long long end =
      waiting ? static_cast<long long>(begins) + static_cast<long long>(std::strlen(e.from)) - e.pi + e.wc
              : static_cast<long long>(s.pos) + 1;
  end -= e.back;
  if (end < 0) end = 0;
  const int resume = static_cast<int>(end);
  if (firings->Contains(index, begins, resume)) return Outcome::kRefused;
  if (!firings->Add(index, begins, resume)) {
    ReportRunOutOfMemory();
    return Outcome::kFailed;
  }
  // On the window's last byte, with the states the pass saw (the replacement may switch groups).
  if (!s.dense && s.pos == s.n - 1) AbandonPastWindow(s, index);
  if (!putunmatched(s.out, begins)) return Outcome::kFailed;
  if (e.var != 0 && !savevar(&e)) return Outcome::kFailed;
  if (!putto(&e)) return Outcome::kFailed;
  if (e.stop) return Outcome::kStopped;
  if (e.after != 0 || e.on_mask != 0 || e.off_mask != 0) {
    if (!firings->Restate(table->entries)) {
      ReportRunOutOfMemory();
      return Outcome::kFailed;
    }
    CountEnabled();
    s.statesChanged = true;
  }
  s.out = resume;
  s.lim = resume;
  s.pos = resume - 1;
  // Every attempt, waiting matches included, starts again where scanning goes on; attempts abandoned at
  // the end of the input stay abandoned. Before the end of the input only the engaged entries and this
  // one hold anything but a fresh start, and every entry is fresh again.
  auto restart = [&](sub_struct &o) {
    if (o.start < s.n) {
      o.start = resume;
      o.pi = 0;
      o.wc = 0;
    }
  };
  if (!s.dense) restart(e);
  ForEachHeld(s, restart);
  if (!s.dense) DisengageAll();
  return Outcome::kDone;
}

void CSubstitute::AbandonPastWindow(Scan &s, int firing) {
  for (int other = 0; other < table->count; ++other) {
    if (other == firing || (engaged[other / 64] >> (other % 64)) & 1u) continue;  // its state is exact
    sub_struct &o = table->entries[other];
    // Tested before the firing one, an enabled entry was refused the window's last byte and starts
    // again past the window; any other starts again where scanning goes on.
    o.start = other < firing && o.state != kDisabled ? s.n : s.pos;
    o.pi = 0;
    o.wc = 0;
  }
  s.dense = true;
}

int CSubstitute::EndOfInput(Scan &s) {
  // Only waiting matches remain candidates: each one that begins before every waiting match kept so far
  // (in table order) is kept; every other attempt is abandoned.
  s.lim = s.n;
  for (int index = 0; index < table->count; ++index) {
    sub_struct &e = table->entries[index];
    if (e.start < 0 && -(e.start + 1) < s.lim) {
      s.lim = -(e.start + 1);
    } else {
      e.start = s.n;
    }
  }
  if (!putunmatched(s.out, s.lim)) return 0;
  s.out = s.lim;
  s.pos = s.lim;
  s.dense = true;  // every entry's state is now set, and the abandoned ones must stay so
  return 1;
}

int CSubstitute::KeepUnresolved(Scan &s) {
  if (s.lim == 0 && s.n == windowsize) {
    // The window is full and its earliest attempt still needs its first byte: reading could add
    // nothing, so that byte is given up as unmatched text.
    if (!putunmatched(0, 1)) return 0;
    s.lim = 1;
  }
  std::memmove(window, window + s.lim, static_cast<size_t>(s.n - s.lim));
  s.n -= s.lim;
  // Waiting matches are dropped too: their text is still in the window and they are found again. Every
  // attempt starts again at the window's start; before the end of the input is resolved, only the
  // engaged entries hold anything else.
  const auto restart = [](sub_struct &e) {
    e.start = 0;
    e.pi = 0;
    e.wc = 0;
  };
  ForEachHeld(s, restart);
  return 1;
}

// --- Replacements and variables --------------------------------------------------------------------

int CSubstitute::ToUpper(int t) const {
  return InSubset(t, kSubsetLower) && textset->othercase[t] != -1 ? textset->othercase[t] : t;
}

int CSubstitute::ToLower(int t) const {
  return InSubset(t, kSubsetUpper) && textset->othercase[t] != -1 ? textset->othercase[t] : t;
}

int CSubstitute::PartPosition(const sub_struct &e, int capture) const {
  const unsigned char *from = Bytes(e.from);
  int shift = 0;  // text bytes beyond one per unit, once the wildcard has been passed
  int captures = 0;
  for (int k = 0, unit = 0; from[k] != '\0'; ++unit) {
    if (!IsEscape(*table, from, k)) {
      ++k;
      continue;
    }
    const unsigned char letter = from[k + 1];
    if (IsWildcard(*table, letter)) {
      if (capture == 0) return e.start + unit;
      shift = e.wc - 2;
    } else if (IsParameter(*table, letter) && ++captures == capture) {
      return e.start + unit + shift;
    }
    k += 2;
  }
  return -1;
}

int CSubstitute::PutCapture(const sub_struct &e, int capture, unsigned char letter) {
  const int at = PartPosition(e, capture);
  if (at < 0) return 1;
  const int t = window[at];
  return PutDst(letter == table->c_bang ? ToUpper(t) : letter == table->c_dot ? ToLower(t) : t);
}

int CSubstitute::PutWildcardText(const sub_struct &e, unsigned char letter) {
  const int at = PartPosition(e, 0);
  if (at < 0) return 1;
  for (int p = at; p < at + e.wc - 1; ++p) {
    const int t = window[p];
    if (e.to_subset != 0 && !InSubset(t, e.to_subset)) continue;
    if (!PutDst(letter == table->c_plus ? ToUpper(t) : letter == table->c_minus ? ToLower(t) : t)) return 0;
  }
  return 1;
}

int CSubstitute::PutValueByte(unsigned char b) {
  const int mapped = table->conv->map[b];
  if (mapped == kUndefined) return PutDst(b);  // a byte the table set does not define stays as it is
  return PutDst(mapped == kNoSuchName ? 254 : mapped);
}

int CSubstitute::PutVariable(char name) {
  if (name >= 'A' && name <= 'Z') {
    envbuf[0] = name;
    envbuf[1] = '=';
    envbuf[2] = '\0';
    if (SetVariable(envbuf)) return 1;
    ReportTarget()->Eprintf("Out of environment space\n");
    return 0;
  }
  const unsigned char *value = Bytes(GetVariable(name));
  if (value == nullptr) return 1;
  const int begin = tblset->begin_entity;
  const int end = tblset->end_entity;
  // Invariant: the value's bytes before i are written.
  for (size_t i = 0; value[i] != '\0';) {
    const unsigned char b = value[i];
    if (b == begin) {
      int length = 0;
      const int v = ReferenceValue(value + i + 1, *tblset, *textset, &length);
      if (v >= 0 && v <= 255) {
        if (!PutDst(v)) return 0;
        i += static_cast<size_t>(length) + 2;
        continue;
      }
      // No reference: the begin character, then the name's bytes one by one.
      if (!(textset->begin_entity >= 0 ? PutDst(textset->begin_entity) : PutValueByte(b))) return 0;
    } else if (b == end) {
      if (!(textset->end_entity >= 0 ? PutDst(textset->end_entity) : PutValueByte(b))) return 0;
    } else if (!PutValueByte(b)) {
      return 0;
    }
    ++i;
  }
  return 1;
}

void CSubstitute::SwitchGroups(sub_struct &e) {
  if (e.after == 1) e.state = kDisabled;
  if (e.after == 2) e.state = 1;
  sub_struct *entries = table->entries;
  if (e.off_mask != 0) {
    for (int index = 0; index < table->count; ++index) {
      if (entries[index].group & e.off_mask) entries[index].state = kDisabled;
    }
  }
  if (e.on_mask != 0) {
    for (int index = 0; index < table->count; ++index) {
      if (entries[index].group & e.on_mask) entries[index].state = 1;
    }
  }
}

int CSubstitute::putto(sub_struct *e) {
  const unsigned char *to = Bytes(e->to);
  int capture = 0;
  // Invariant: the replacement's bytes before i are written (or acted upon).
  for (size_t i = 0; to[i] != '\0';) {
    const unsigned char b = to[i];
    if (IsEscape(*table, to, static_cast<int>(i))) {
      const unsigned char letter = to[i + 1];
      i += 2;
      if (IsParameter(*table, letter)) {
        if (!PutCapture(*e, ++capture, letter)) return 0;
      } else if (IsWildcard(*table, letter)) {
        if (!PutWildcardText(*e, letter)) return 0;
      } else if (letter == table->c_lt) {
        capture = 0;
      } else if (letter == table->c_gt) {
        ++capture;
      } else if (letter != table->c_caret && !PutDst(letter)) {
        return 0;
      }
    } else if (b == table->c_pct && to[i + 1] != '\0') {
      const char name = static_cast<char>(to[i + 1]);
      i += 2;
      if (!PutVariable(name)) return 0;
    } else {
      // Any other byte, and a variable code that ends the string (a plain percent sign).
      if (!PutDst(b)) return 0;
      ++i;
    }
  }
  e->pi = 0;
  e->wc = 0;
  SwitchGroups(*e);
  return 1;
}

int CSubstitute::ReportRunOutOfMemory() {
  ReportTarget()->Eprintf("Memory allocation error\n");
  return 0;
}

int CSubstitute::ReportTooLong() {
  ReportTarget()->Eprintf("Environment string too long\n");
  return 0;
}

int CSubstitute::savevar(sub_struct *e) {
  const int at = PartPosition(*e, 0);
  if (at < 0) return 1;
  // A set that lacks the table's special characters can make the wildcard's code read as a parameter,
  // so the wildcard may never have been entered: its text is then empty.
  const size_t textLength = e->wc > 0 ? static_cast<size_t>(e->wc - 1) : 0;
  envbuf[0] = e->var;
  envbuf[1] = '=';
  size_t used = 2;
  if (e->var >= 'A' && e->var <= 'Z') {  // append mode
    const char *old = GetVariable(e->var);
    if (old != nullptr) {
      const size_t oldLength = std::strlen(old);
      if (used + oldLength >= static_cast<size_t>(kEnvSize)) return ReportTooLong();
      std::memcpy(envbuf + used, old, oldLength);
      used += oldLength;
      const size_t separatorLength = std::strlen(table->concat);
      if (separatorLength != 0) {
        if (used + separatorLength >= static_cast<size_t>(kEnvSize)) return ReportTooLong();
        std::memcpy(envbuf + used, table->concat, separatorLength);
        used += separatorLength;
      }
    }
  }
  if (used + textLength >= static_cast<size_t>(kEnvSize)) return ReportTooLong();
  std::memcpy(envbuf + used, window + at, textLength);
  envbuf[used + textLength] = '\0';
  if (SetVariable(envbuf)) return 1;
  ReportTarget()->Eprintf("Out of environment space\n");
  return 0;
}
