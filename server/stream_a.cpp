// The members of a Stream object. Stream objects join their engine streams into pipelines of head
// streams (Add, Connect), which scripts may shape as they like: a stream that leaves keeps no pointer
// behind it, and Add walks a pipeline only once it is known to lead back to its stream.
#include "server/stream_a.h"

#include <cstdlib>

#include "server/framework/application.h"

IMPLEMENT_RUNTIME_CLASS(CStreamA, CStreamObjA)

namespace {

const char kMustBeStream[] = "Object must be a Stream";
const char kNoRing[] = "Pipeline does not lead back to this Stream";
const char kAlreadyAdded[] = "Stream is already in this pipeline";
const char kNotOpened[] = "Object was not opened\n";

// Whether following the pipeline from head comes back to head, as CStream::Add needs to find the last
// object. A walk that meets itself (the fast walker catching up with the slow one) before head never
// comes back; either way the walk ends within a few rounds of the objects it passes.
bool LeadsBack(const CStreamObj *head) {
  const CStreamObj *slow = head;
  const CStreamObj *fast = head;
  for (;;) {
    for (int step = 0; step < 2; ++step) {
      fast = fast->m_pNext;
      if (fast == head) return true;
      if (fast == nullptr) return false;
    }
    slow = slow->m_pNext;
    if (slow == fast) return false;
  }
}

// Whether object is head or one of the stages of head's pipeline, which must lead back to head.
bool InPipeline(const CStreamObj *head, const CStreamObj *object) {
  const CStreamObj *stage = head;
  do {
    if (stage == object) return true;
    stage = stage->m_pNext;
  } while (stage != head);
  return false;
}

}  // namespace

CStreamA::CStreamA() : CDualInterface<IRuneflowStream>(this) {
  EnableAutomation(this, IID_IRuneflowStream);
  CApplication::Lock();
  m_pEngine = CreateHeadStream(m_strVersion);
}

CStreamA::~CStreamA() {
  if (m_pEngine != nullptr) Unlink();
  delete m_pEngine;
  CApplication::Unlock();
}

void CStreamA::Unlink() {
  CStreamObj *leaving = m_pEngine;
  for (CAutomationObject *live = FirstLive(); live != nullptr; live = live->NextLive()) {
    if (live == this || !live->IsKindOf(&CStreamA::classCStreamA)) continue;
    CStreamA *other = static_cast<CStreamA *>(live);
    CStreamObj *engine = other->m_pEngine;
    if (engine->m_pNext == leaving) engine->m_pNext = leaving->m_pNext != leaving ? leaving->m_pNext : engine;
    if (engine->m_pPrev == leaving) engine->m_pPrev = leaving->m_pPrev != leaving ? leaving->m_pPrev : engine;
    if (engine->m_pOwner == leaving) engine->m_pOwner = engine;
    if (other->m_pAddedTo == this) other->m_pAddedTo = nullptr;
  }
}

CStreamA *CStreamA::StreamBehind(IDispatch *object) {
  return static_cast<CStreamA *>(FromDispatch(object, &CStreamA::classCStreamA));
}

HRESULT CStreamA::get_ErrMsg(BSTR *text) { return m_strErrMsg.Copy(text); }

HRESULT CStreamA::put_ErrMsg(BSTR text) { return m_strErrMsg.Assign(text); }

HRESULT CStreamA::get_Version(BSTR *text) { return m_strVersion.Copy(text); }

HRESULT CStreamA::put_Version(BSTR text) { return m_strVersion.Assign(text); }

HRESULT CStreamA::Open(BSTR name, VARIANT_BOOL *ok) {
  CAnsiText text;
  HRESULT result = text.Assign(name);
  if (FAILED(result)) return result;
  return Outcome(Engine()->Open(text.Data()) != 0, Engine(), m_strErrMsg, ok);
}

HRESULT CStreamA::Add(IDispatch *object) {
  CStreamA *stage = StreamBehind(object);
  if (stage == nullptr) return Refuse(kMustBeStream, m_strErrMsg);
  if (!LeadsBack(Engine())) return Refuse(kNoRing, m_strErrMsg);
  // Added again, it would point at itself and cut the pipeline short.
  if (InPipeline(Engine(), stage->Engine())) return Refuse(kAlreadyAdded, m_strErrMsg);
  Engine()->Add(stage->Engine());
  stage->m_pAddedTo = this;
  return S_OK;
}

HRESULT CStreamA::Connect(IDispatch *from, IDispatch *to) {
  CStreamA *first = StreamBehind(from);
  CStreamA *second = StreamBehind(to);
  if (first == nullptr || second == nullptr) return Refuse(kMustBeStream, m_strErrMsg);
  first->Engine()->Connect(second->Engine());
  return S_OK;
}

HRESULT CStreamA::Close(VARIANT_BOOL *ok) {
  if (Engine()->m_work == nullptr) {
    Engine()->Eprintf(kNotOpened);
    return Outcome(false, Engine(), m_strErrMsg, ok);
  }
  return Outcome(Engine()->Close() != 0, Engine(), m_strErrMsg, ok);
}

HRESULT CStreamA::ReadFile(BSTR fileName, VARIANT_BOOL *ok) {
  CAnsiText name;
  HRESULT result = name.Assign(fileName);
  if (FAILED(result)) return result;
  return Outcome(Engine()->ReadFile(name.Data()) != 0, Engine(), m_strErrMsg, ok);
}

HRESULT CStreamA::WriteFile(BSTR fileName, VARIANT_BOOL *ok) {
  CAnsiText name;
  HRESULT result = name.Assign(fileName);
  if (FAILED(result)) return result;
  return Outcome(Engine()->WriteFile(name.Data()) != 0, Engine(), m_strErrMsg, ok);
}

HRESULT CStreamA::ReadString(BSTR text, LONG length, VARIANT_BOOL *ok) {
  return CStreamObjA::ReadString(Engine(), text, length, m_strErrMsg, ok);
}

HRESULT CStreamA::WriteString(LONG length, BSTR *text) {
  if (text == nullptr) return E_POINTER;
  unsigned long wanted = length > 0 ? static_cast<unsigned long>(length) : 0;
  // Room for what the queue holds and one byte more: asking for more than it holds then reads past its
  // end, which sets the end flag as a read of length bytes would.
  unsigned long available = Engine()->GetLength();
  unsigned long capacity = wanted <= available ? wanted : available + 1;
  char *bytes = static_cast<char *>(std::malloc(capacity > 0 ? capacity : 1));
  if (bytes == nullptr) {
    HRESULT result = Refuse(kNoMemory, m_strErrMsg);
    return FAILED(result) ? result : CAnsiText::Copy("", 0, text);
  }
  unsigned int taken = Engine()->Read(bytes, static_cast<unsigned int>(capacity));
  HRESULT result = CAnsiText::Copy(bytes, taken, text);
  std::free(bytes);
  return result;
}

HRESULT CStreamA::Eos(VARIANT_BOOL *end) {
  if (end == nullptr) return E_POINTER;
  *end = AutomationBool(Engine()->Eof() != 0);
  return S_OK;
}

HRESULT CStreamA::Length(LONG *length) {
  if (length == nullptr) return E_POINTER;
  *length = CStreamObjA::Length(Engine());
  return S_OK;
}

HRESULT CStreamA::Clear() {
  Engine()->Clear();
  return S_OK;
}

HRESULT CStreamA::ReadStream(IDispatch *object, VARIANT_BOOL *ok) {
  CStreamA *other = StreamBehind(object);
  if (other == nullptr) return Refuse(kMustBeStream, m_strErrMsg, ok);
  return Outcome(Engine()->ReadStream(other->Engine()) != 0, Engine(), m_strErrMsg, ok);
}

HRESULT CStreamA::ReadClipboard(BSTR format, VARIANT_BOOL *ok) {
  return CStreamObjA::ReadClipboard(Engine(), format, m_strErrMsg, ok);
}

HRESULT CStreamA::WriteClipboard(BSTR format, VARIANT_BOOL *ok) {
  return CStreamObjA::WriteClipboard(Engine(), format, false, m_strErrMsg, ok);
}
