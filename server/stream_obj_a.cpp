// The record of the automation classes' common base, the version text they share, and the work of the
// members that both classes do alike on their head stream. The clipboard is written from a copy of the
// queue, which is emptied only once the data is on the clipboard.
#include "server/stream_obj_a.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <new>

#include "engine/stream/block_struct.h"
#include "server/clipboard.h"
#include "server/framework/application.h"

IMPLEMENT_RUNTIME_CLASS(CStreamObjA, CAutomationObject)

const char CStreamObjA::kNoMemory[] = "Memory allocation error\n";

namespace {

const char kAutomationVersion[] = "1.0";

// The clipboard's owner: the server's hidden main window (none in a program without one).
HWND ClipboardOwner() {
  CApplication *application = CApplication::Current();
  return application != nullptr ? application->MainWindow() : nullptr;
}

// Copies the unread bytes of object's queue to to, leaving the queue as it is.
void CopyQueue(const CStreamObj *object, char *to) {
  for (const block_struct *block = object->m_pFirst; block != nullptr; block = block->next) {
    std::memcpy(to, block->data + block->readpos, block->used - block->readpos);
    to += block->used - block->readpos;
  }
}

// Fills block (movable, room for length bytes and a zero) with the length bytes of head's queue and
// hands it to the clipboard as its only data, in format. Null on success, when the block belongs to
// the clipboard; otherwise why not, and the block is still the caller's.
const char *PutOnClipboard(const CStream *head, unsigned long length, HGLOBAL block, UINT format) {
  char *bytes = static_cast<char *>(GlobalLock(block));
  if (bytes == nullptr) return "Can't lock clipboard memory";
  CopyQueue(head, bytes);
  bytes[length] = '\0';
  // Unlocking reports a failure only through the last-error code, which an earlier call may have set.
  SetLastError(NO_ERROR);
  GlobalUnlock(block);
  DWORD unlocking = GetLastError();
  if (unlocking != NO_ERROR) {
    return unlocking == ERROR_NOT_LOCKED ? "Clipboard memory not locked" : "Can't unlock clipboard memory";
  }
  CClipboard clipboard(ClipboardOwner());
  if (!clipboard.IsOpen()) return "Can't open clipboard";
  if (!EmptyClipboard()) return "Can't empty clipboard";
  if (SetClipboardData(format, block) == nullptr) return "Can't put data on clipboard";
  return nullptr;
}

}  // namespace

CStream *CStreamObjA::CreateHeadStream(CAnsiText &version) {
  CStream *head = new (std::nothrow) CStream;
  if (head != nullptr) {
    head->m_consume = 1;
    size_t used = std::strlen(head->m_version);
    std::snprintf(head->m_version + used, sizeof head->m_version - used, "-%s", kAutomationVersion);
    if (version.Assign(head->m_version)) return head;
    delete head;
  }
  ConstructionFailed(E_OUTOFMEMORY);
  return nullptr;
}

HRESULT CStreamObjA::Outcome(bool succeeded, const CStreamObj *reporter, CAnsiText &errMsg,
                             VARIANT_BOOL *ok) {
  if (ok == nullptr) return E_POINTER;
  *ok = AutomationBool(succeeded);
  if (succeeded) return S_OK;
  const char *text = reporter->m_errText != nullptr ? reporter->m_errText : "";
  return errMsg.Assign(text) ? S_OK : E_OUTOFMEMORY;
}

HRESULT CStreamObjA::Refuse(const char *message, CAnsiText &errMsg, VARIANT_BOOL *ok) {
  if (ok != nullptr) *ok = VARIANT_FALSE;
  return errMsg.Assign(message) ? S_OK : E_OUTOFMEMORY;
}

HRESULT CStreamObjA::WriteText(CStream *head, const char *bytes, size_t length, CAnsiText &errMsg,
                               VARIANT_BOOL *ok) {
  *ok = VARIANT_TRUE;
  if (length == 0 || head->Write(bytes, static_cast<unsigned int>(length)) != 0) return S_OK;
  return Refuse(kNoMemory, errMsg, ok);
}

HRESULT CStreamObjA::ReadString(CStream *head, BSTR text, LONG length, CAnsiText &errMsg, VARIANT_BOOL *ok) {
  if (ok == nullptr) return E_POINTER;
  *ok = VARIANT_TRUE;
  if (length <= 0) return S_OK;
  CAnsiText bytes;
  HRESULT result = bytes.Assign(text);
  if (FAILED(result)) return result;
  size_t wanted = static_cast<size_t>(length);
  return WriteText(head, bytes.Data(), wanted < bytes.Length() ? wanted : bytes.Length(), errMsg, ok);
}

HRESULT CStreamObjA::ReadClipboard(CStream *head, BSTR format, CAnsiText &errMsg, VARIANT_BOOL *ok) {
  if (ok == nullptr) return E_POINTER;
  CAnsiText name;
  HRESULT result = name.Assign(format);
  if (FAILED(result)) return result;
  CClipboard clipboard(ClipboardOwner());
  if (!clipboard.IsOpen()) return Refuse("Can't open Clipboard", errMsg, ok);
  UINT chosen = clipboard.FormatToRead(name);
  HANDLE data = chosen != 0 ? GetClipboardData(chosen) : nullptr;
  SIZE_T size = data != nullptr ? GlobalSize(data) : 0;
  const char *bytes = data != nullptr ? static_cast<const char *>(GlobalLock(data)) : nullptr;
  if (bytes == nullptr && size != 0) data = nullptr;  // only a block of no bytes cannot be locked
  if (data == nullptr) return Refuse("Clipboard format not available", errMsg, ok);
  // The text ends at its first zero byte, or with the data of a program that put none.
  const void *end = bytes != nullptr ? std::memchr(bytes, '\0', size) : nullptr;
  size_t length = end != nullptr ? static_cast<size_t>(static_cast<const char *>(end) - bytes) : size;
  result = WriteText(head, bytes, length, errMsg, ok);
  if (bytes != nullptr) GlobalUnlock(data);
  return result;
}

HRESULT CStreamObjA::WriteClipboard(CStream *head, BSTR format, bool refuseEmpty, CAnsiText &errMsg,
                                    VARIANT_BOOL *ok) {
  if (ok == nullptr) return E_POINTER;
  CAnsiText name;
  HRESULT result = name.Assign(format);
  if (FAILED(result)) return result;
  UINT chosen = CClipboard::FormatToWrite(name);
  if (chosen == 0) return Refuse("Can't register clipboard format", errMsg, ok);
  unsigned long length = head->GetLength();
  if (length == 0 && refuseEmpty) return Outcome(false, head, errMsg, ok);
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, length + 1);
  if (block == nullptr) return Refuse("Can't allocate clipboard memory", errMsg, ok);
  if (const char *failure = PutOnClipboard(head, length, block, chosen)) {
    GlobalFree(block);
    return Refuse(failure, errMsg, ok);
  }
  head->Clear();
  *ok = VARIANT_TRUE;
  return S_OK;
}

LONG CStreamObjA::Length(CStream *head) {
  unsigned long length = head->GetLength();
  return length > LONG_MAX ? LONG_MAX : static_cast<LONG>(length);
}
