// The head stream: its ring, its name and the transfers between files, other streams and the pipeline.
// Transfers move text in chunks of the work buffer's size and never hold a whole file at once.
#include "engine/stream/stream.h"

#include <cerrno>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#endif

#include "common/mergepath.h"
#include "engine/stream/allocator.h"

IMPLEMENT_RUNTIME_CLASS(CStream, CStreamObj)

namespace {

const char kOutputFile[] = "output file";  // the name in messages when WriteFile is given none

// The C stream buffer of a file the stream opens and closes itself: a transfer still moves chunks of
// the work buffer's size, but the file is read and written in large pieces.
const size_t kOwnFileBuffer = 64 * 1024;

// Binary mode: no line-end translation.
void SetBinary(FILE *file) {
#if defined(_WIN32)
  _setmode(_fileno(file), _O_BINARY);
#else
  (void)file;
#endif
}

// Binary mode and a fully buffered C stream buffer of one chunk, for a caller's C stream.
void PrepareForTransfer(FILE *file) {
  SetBinary(file);
  std::setvbuf(file, nullptr, _IOFBF, kWorkSize);
}

// Binary mode and buffer (kOwnFileBuffer bytes), for a file the stream opened; the buffer must outlive
// the file's closing.
void PrepareOwnFile(FILE *file, char *buffer) {
  SetBinary(file);
  std::setvbuf(file, buffer, _IOFBF, kOwnFileBuffer);
}

}  // namespace

CStream::CStream() : m_name(nullptr) {
  m_pNext = this;
  m_pPrev = this;
  m_pOwner = this;
  AppendVersion("1.0");
}

CStream::~CStream() { EngineFree(m_name); }

int CStream::Open(const char *name) {
  if (!CStreamObj::Open()) return 0;
  if (name == nullptr) return 1;
  char *copy = EngineCopy(name);
  if (copy == nullptr) return ReportNoMemory();
  EngineFree(m_name);
  m_name = copy;
  return 1;
}

const char *CStream::DirectoryOf(const CStreamObj *stage) {
  CStreamObj *head = stage->m_pOwner;
  if (head == nullptr || !head->IsKindOf(&CStream::classCStream)) return nullptr;
  return static_cast<CStream *>(head)->m_name;
}

void CStream::Add(CStreamObj *stage) {
  CStreamObj *last = this;
  while (last->m_pNext != this) last = last->m_pNext;
  stage->m_pNext = this;
  stage->m_pPrev = last;
  stage->m_pOwner = this;
  last->m_pNext = stage;
}

bool CStream::CheckOpened() {
  if (m_work != nullptr) return true;
  Eprintf("Object was not opened\n");
  return false;
}

int CStream::ReportFileError(int code, const char *name) {
  Eprintf("I/O error %d on %s\n", code, name);
  return 0;
}

bool CStream::ReportQueueError(int code) {
  if (code == 0) return false;
  Eprintf("I/O error %d on stream\n", code);
  return true;
}

int CStream::ReadFile(FILE *file, const char *name) {
  if (!CheckOpened()) return 0;
  PrepareForTransfer(file);
  return ReadChunks(file, name);
}

int CStream::ReadChunks(FILE *file, const char *name) {
  if (name == nullptr) name = "input file";
  if (std::feof(file)) return 1;  // nothing left to read: the pipeline is not touched
  // The file is read straight into the queue's blocks. Room is made only for bytes that are there, so
  // a file that ends on a block border leaves no empty block behind.
  unsigned long total = 0;
  for (int next; (next = std::getc(file)) != EOF;) {
    std::ungetc(next, file);
    unsigned int room = 0;
    unsigned char *space = AppendRoom(&room);
    if (space == nullptr) {
      ReportQueueError(Error());
      return 0;
    }
    const size_t got = std::fread(space, 1, room, file);
    if (int failure = std::ferror(file)) return ReportFileError(failure, name);
    // A short read sets the end or the error indicator; some C libraries set neither when the stream
    // cannot be read at all, which would otherwise repeat this loop for ever.
    if (got < room && !std::feof(file)) return ReportFileError(errno != 0 ? errno : EIO, name);
    Appended(static_cast<unsigned int>(got));
    total += got;
  }
  if (int failure = std::ferror(file)) return ReportFileError(failure, name);
  if (!std::feof(file)) return ReportFileError(errno != 0 ? errno : EIO, name);
  // As transfers go in chunks of the work buffer's size, the last chunk holds what is left over; its
  // write (empty when nothing is) gives an empty pipeline its first block.
  m_workLen = static_cast<int>(total % kWorkSize);
  Write(m_work, 0);
  return ReportQueueError(Error()) ? 0 : 1;
}

FILE *CStream::OpenFile(const char *fileName, const char *mode, char *path) {
  if (!mergepath(path, nullptr, fileName, nullptr)) {
    Eprintf("Illegal file name: %s\n", fileName != nullptr ? fileName : "");
    return nullptr;
  }
  FILE *file = std::fopen(path, mode);
  if (file == nullptr) Eprintf("Can't open %s\n", fileName);
  return file;
}

int CStream::ReadFile(const char *fileName) {
  if (!CheckOpened()) return 0;
  char path[kMaxPath];
  FILE *file = OpenFile(fileName, "rb", path);
  if (file == nullptr) return 0;
  char buffer[kOwnFileBuffer];
  PrepareOwnFile(file, buffer);
  int result = ReadChunks(file, path);
  std::fclose(file);
  return result;
}

int CStream::WriteFile(FILE *file, const char *name) {
  if (!CheckOpened()) return 0;
  PrepareForTransfer(file);
  return WriteChunks(file, name);
}

void CStream::ResumeReading() {
  m_pCur = m_pFirst;
  m_eof = 0;
}

int CStream::WriteChunks(FILE *file, const char *name) {
  ResumeReading();
  if (name == nullptr) name = kOutputFile;
  // Chunk by chunk, each written straight from the queue's blocks.
  const PieceTaker writePiece = [](const unsigned char *piece, unsigned int length, void *context) {
    std::fwrite(piece, 1, length, static_cast<FILE *>(context));
  };
  while (!Eof()) {
    m_workLen = static_cast<int>(ReadPieces(kWorkSize, writePiece, file));
    if (ReportQueueError(Error())) return 0;
    if (int failure = std::ferror(file)) return ReportFileError(failure, name);
  }
  // A buffered write can fail only when the buffer goes out: success means the bytes left the stream.
  if (std::fflush(file) != 0) {
    int failure = std::ferror(file);
    return ReportFileError(failure != 0 ? failure : errno, name);
  }
  return 1;
}

int CStream::WriteFile(const char *fileName) {
  if (!CheckOpened()) return 0;  // before the file is created or emptied
  char path[kMaxPath];
  FILE *file = OpenFile(fileName, "wb", path);
  if (file == nullptr) return 0;
  char buffer[kOwnFileBuffer];
  PrepareOwnFile(file, buffer);
  int result = WriteChunks(file, nullptr);
  if (std::fclose(file) != 0 && result) result = ReportFileError(errno, kOutputFile);
  return result;
}

int CStream::ReadStream(CStream *other) {
  if (!CheckOpened()) return 0;
  other->ResumeReading();
  // A stream whose pipeline writes straight into other's queue (a lone stream copied into itself, or one
  // joined to other): the text already stands where the copy would put it, and copying it onto its own
  // end would never finish.
  if (m_pNext == other) return 1;
  while (!other->Eof()) {
    m_workLen = static_cast<int>(other->Read(m_work, kWorkSize));
    if (ReportQueueError(other->Error())) return 0;
    Write(m_work, m_workLen);
    if (ReportQueueError(Error())) return 0;
  }
  return 1;
}
