// The substitution stage: opening (the text set, the table, the buffers and the run, with what the stage
// owns recorded once), and Process, which hands the run over to SubstitutionRun.
#include "engine/subst/substitute.h"

#include <new>

#include "engine/charset/builtin_charset.h"
#include "engine/charset/charset.h"
#include "engine/stream/allocator.h"
#include "engine/stream/run_failure.h"
#include "engine/subst/subst_tbl.h"
#include "engine/subst/substitution_run.h"

IMPLEMENT_RUNTIME_CLASS(CSubstitute, CStreamObj)

CSubstitute::CSubstitute()
    : table(nullptr),
      textset(nullptr),
      tblset(nullptr),
      window(nullptr),
      windowsize(0),
      outbuf(nullptr),
      outcount(0),
      envbuf(nullptr),
      run_(nullptr),
      ownsTextset_(false) {
  AppendVersion("3.1");
}

CSubstitute::~CSubstitute() { Release(nullptr); }

void CSubstitute::Release(const CCharSet *keep) {
  delete run_;
  run_ = nullptr;
  delete table;
  table = nullptr;
  if (ownsTextset_ && textset != keep) delete textset;
  textset = nullptr;
  ownsTextset_ = false;
  EngineFree(window);
  window = nullptr;
  windowsize = 0;
  EngineFree(outbuf);
  outbuf = nullptr;
  outcount = 0;
  EngineFree(envbuf);
  envbuf = nullptr;
}

int CSubstitute::Open(const char *tableName, const char *setName) {
  ReleaseWork();
  Release(nullptr);
  tblset = BuiltinCharSet();  // its reference characters and tables are set by every call
  textset = new (std::nothrow) CCharSet;
  if (textset == nullptr) return ReportNoMemory();
  ownsTextset_ = true;
  if (!textset->Open(this, setName)) return 0;
  return Open(tableName, textset, tblset);
}

int CSubstitute::Open(const char *tableName, CCharSet *newTextset, CCharSet *newTblset) {
  const bool keptOwned = ownsTextset_ && newTextset == textset;
  Release(newTextset);
  tblset = newTblset;
  textset = newTextset;
  // A set loaded with the stage as its error target is the stage's, whoever created it.
  ownsTextset_ = keptOwned || (textset != nullptr && textset->errsink == this);
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
  // The window and room for it to move on in.
  window = static_cast<unsigned char *>(EngineAlloc(
      static_cast<size_t>(windowsize) + static_cast<size_t>(SubstitutionRun::RoomAfterWindow(windowsize))));
  if (window == nullptr) return ReportNoMemory();
  outbuf = static_cast<unsigned char *>(EngineAlloc(kWorkSize));
  if (outbuf == nullptr) return ReportNoMemory();
  outcount = 0;
  envbuf = static_cast<char *>(EngineAlloc(kEnvSize));
  if (envbuf == nullptr) {
    Eprintf("Memory allocation error d\n");
    return 0;
  }
  run_ = new (std::nothrow) SubstitutionRun(*this);
  if (run_ == nullptr || !run_->Reserve()) return ReportNoMemory();
  return 1;
}

int CSubstitute::Process() {
  if (!CStreamObj::Process()) return 0;
  try {
    run_->Run(*ReportTarget());
  } catch (const RunFailure &) {
    return 0;  // reported on the head stream
  }
  return Close();
}
