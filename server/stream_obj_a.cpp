// The record of the automation classes' common base and the version text they share.
#include "server/stream_obj_a.h"

#include <cstdio>
#include <cstring>
#include <new>

IMPLEMENT_RUNTIME_CLASS(CStreamObjA, CAutomationObject)

namespace {
const char kAutomationVersion[] = "1.0";
}  // namespace

CStream *CStreamObjA::CreateHeadStream(CAnsiText &version) {
  CStream *head = new (std::nothrow) CStream;
  if (head != nullptr) {
    size_t used = std::strlen(head->m_version);
    std::snprintf(head->m_version + used, sizeof head->m_version - used, "-%s", kAutomationVersion);
    if (version.Assign(head->m_version)) return head;
    delete head;
  }
  ConstructionFailed(E_OUTOFMEMORY);
  return nullptr;
}
