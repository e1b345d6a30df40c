// The block queue, the pipeline step (Close) and error reporting shared by every stream object.
#include "engine/stream/stream_obj.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "engine/check.h"
#include "engine/stream/allocator.h"
#include "engine/stream/block_pool.h"

IMPLEMENT_RUNTIME_CLASS(CStreamObj, CObject)

namespace {

// A new empty block linked after prev (which may be null), or null when memory ran out.
block_struct *NewBlock(block_struct *prev) {
  block_struct *block = BlockPool::Take();
  if (block == nullptr) return nullptr;
  block->used = 0;
  block->readpos = 0;
  block->prev = prev;
  block->next = nullptr;
  if (prev != nullptr) prev->next = block;
  return block;
}

// The ring ends at the head stream: only an object whose most-derived class is CStream stops it (and
// a chain made with Connect may simply end).
bool EndsTheRing(const CStreamObj *object) {
  return object == nullptr || std::strcmp(object->GetRuntimeClass()->className, "CStream") == 0;
}

}  // namespace

CStreamObj::CStreamObj()
    : m_errText(nullptr),
      m_pNext(nullptr),
      m_pPrev(nullptr),
      m_pOwner(nullptr),
      m_consume(0),
      m_version("1.0"),
      m_work(nullptr),
      m_workLen(0),
      m_eof(0),
      m_error(0),
      m_pFirst(nullptr),
      m_pCur(nullptr),
      m_pLast(nullptr) {}

CStreamObj::~CStreamObj() {
  Clear();
  EngineFree(m_errText);
  EngineFree(m_work);
}

int CStreamObj::Open() {
  ReleaseWork();
  m_work = static_cast<unsigned char *>(EngineAlloc(kWorkSize));
  if (m_work == nullptr) return ReportNoMemory();
  m_eof = 0;
  m_error = 0;
  m_consume = 1;
  return 1;
}

int CStreamObj::Process() {
  if (m_work == nullptr) {
    ReportTarget()->Eprintf("Object was not opened\n");
    return 0;
  }
  m_error = 0;  // a failed write of an earlier run is not this run's
  return 1;
}

void CStreamObj::Connect(CStreamObj *next) {
  m_pNext = next;
  if (next != nullptr) next->m_pPrev = this;
}

bool CStreamObj::StartAppending() {
  CStreamObj *target = m_pNext;
  if (target == nullptr) {
    m_error = kErrNotConnected;
    return false;
  }
  target->m_eof = 0;
  if (target->m_pFirst == nullptr) {
    block_struct *block = NewBlock(nullptr);
    if (block == nullptr) {
      m_error = kErrNoMemory;
      return false;
    }
    target->m_pFirst = target->m_pCur = target->m_pLast = block;
  }
  return true;
}

unsigned char *CStreamObj::AppendRoom(unsigned int *room) {
  if (!StartAppending()) return nullptr;
  CStreamObj *target = m_pNext;
  // A block filled exactly stays last until more bytes arrive, so a write that ends on a block border
  // allocates nothing more.
  if (target->m_pLast->used == kBlockSize) {
    block_struct *block = NewBlock(target->m_pLast);
    if (block == nullptr) {
      m_error = kErrNoMemory;
      return nullptr;
    }
    target->m_pLast = block;
  }
  block_struct *last = target->m_pLast;
  *room = kBlockSize - last->used;
  return last->data + last->used;
}

void CStreamObj::Appended(unsigned int n) { m_pNext->m_pLast->used += n; }

unsigned int CStreamObj::Write(const void *bytes, unsigned int n) {
  if (!StartAppending()) return 0;
  const unsigned char *source = static_cast<const unsigned char *>(bytes);
  // Invariant: the first `taken` bytes are queued.
  for (unsigned int taken = 0; taken < n;) {
    unsigned int room = 0;
    unsigned char *space = AppendRoom(&room);
    if (space == nullptr) return 0;
    const unsigned int chunk = room < n - taken ? room : n - taken;
    std::memcpy(space, source + taken, chunk);
    Appended(chunk);
    taken += chunk;
  }
  return n;
}

unsigned int CStreamObj::Read(void *buffer, unsigned int n) {
  unsigned char *at = static_cast<unsigned char *>(buffer);
  return ReadPieces(
      n,
      [](const unsigned char *piece, unsigned int length, void *context) {
        unsigned char *&dest = *static_cast<unsigned char **>(context);
        std::memcpy(dest, piece, length);
        dest += length;
      },
      &at);
}

unsigned int CStreamObj::ReadPieces(unsigned int n, PieceTaker take, void *context) {
  if (m_pCur == nullptr) m_eof = 1;
  if (m_eof) return 0;
  unsigned int taken = 0;
  // Invariant: m_pCur is not null, every unread byte lies in m_pCur or after it, and `taken` bytes have
  // been taken. Only a read that wants more than the queue holds sets the end flag.
  while (taken < n && !m_eof) {
    block_struct *block = m_pCur;
    RUNEFLOW_ASSERT(block != nullptr && block->readpos <= block->used && block->used <= kBlockSize);
    unsigned int available = block->used - block->readpos;
    unsigned int wanted = n - taken;
    if (available >= wanted) {
      take(block->data + block->readpos, wanted, context);
      block->readpos += wanted;
      taken = n;
      break;
    }
    if (available > 0) take(block->data + block->readpos, available, context);
    block->readpos += available;
    taken += available;
    block_struct *next = block->next;
    if (next == nullptr) {
      if (m_consume) Clear();
      m_eof = 1;
    } else {
      if (m_consume) {
        // Release everything up to the block just read; the next block starts the queue.
        while (m_pFirst != next) {
          block_struct *passed = m_pFirst;
          m_pFirst = passed->next;
          BlockPool::Give(passed);
        }
        next->prev = nullptr;
      }
      m_pCur = next;
    }
  }
  RUNEFLOW_ASSERT(taken <= n);
  return taken;
}

unsigned long CStreamObj::GetLength() {
  unsigned long length = 0;
  for (const block_struct *block = m_pFirst; block != nullptr; block = block->next) {
    length += block->used - block->readpos;
  }
  m_pCur = m_pFirst;
  return length;
}

void CStreamObj::Clear() {
  while (m_pFirst != nullptr) {
    block_struct *block = m_pFirst;
    m_pFirst = block->next;
    BlockPool::Give(block);
  }
  m_pCur = nullptr;
  m_pLast = nullptr;
}

void CStreamObj::Rewind() {
  // Reads go forward from the first block and pass a block only once all of it was read, and only the
  // last block can be empty: after a block none of whose bytes were read, no block was read at all, so
  // the walk ends there. A queue that was only written costs nothing to rewind, however long it is.
  for (block_struct *block = m_pFirst; block != nullptr && block->readpos != 0; block = block->next)
    block->readpos = 0;
  m_pCur = m_pFirst;
  m_eof = 0;
}

int CStreamObj::Close() {
  CStreamObj *next = m_pNext;
  if (EndsTheRing(next)) return 1;
  next->m_pCur = next->m_pFirst;
  m_error = 0;
  if (!next->Process()) {
    // What the failed run left in the queues of the stages after this one would be taken for the start
    // of the next run's text: those queues are emptied. The head keeps what reached it.
    CStreamObj *stage = next;
    do {
      stage->Clear();
      stage = stage->m_pNext;
    } while (!EndsTheRing(stage) && stage != next);
    return 0;
  }
  if (m_pOwner == this) {
    m_pCur = m_pFirst;
    m_error = 0;
  }
  return 1;
}

int CStreamObj::Eprintf(const char *fmt, ...) {
  // Composed on the stack first, so the arguments may point into the current error text.
  char text[kErrTextMax + 1];
  const char *className = GetRuntimeClass()->className;
  if (className[0] != '\0') ++className;  // drop the leading "C"
  int prefix = std::snprintf(text, sizeof text, "%s: ", className);
  if (prefix < 0) prefix = 0;
  if (static_cast<unsigned int>(prefix) < kErrTextMax) {
    va_list args;
    va_start(args, fmt);
    std::vsnprintf(text + prefix, sizeof text - prefix, fmt, args);
    va_end(args);
  }
  text[kErrTextMax] = '\0';
  // The text buffer is kept from one report to the next, so only the first report can lack memory.
  if (m_errText == nullptr) {
    m_errText = static_cast<char *>(EngineAlloc(kErrTextMax + 1));
    if (m_errText == nullptr) return 0;
  }
  size_t length = std::strlen(text);
  std::memcpy(m_errText, text, length + 1);
  return static_cast<int>(length);
}

void CStreamObj::AppendVersion(const char *version) {
  size_t length = std::strlen(m_version);
  std::snprintf(m_version + length, sizeof m_version - length, "-%s", version);
}

int CStreamObj::ReportNoMemory() {
  Eprintf("Memory allocation error\n");
  return 0;
}

void CStreamObj::ReleaseWork() {
  EngineFree(m_work);
  m_work = nullptr;
  m_workLen = 0;
}
