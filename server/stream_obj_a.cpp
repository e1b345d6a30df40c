// The record of the automation classes' common base and the version text they share.
#include "server/stream_obj_a.h"

#include <cstdio>
#include <cstring>

IMPLEMENT_RUNTIME_CLASS(CStreamObjA, CAutomationObject)

namespace {
const char kAutomationVersion[] = "1.0";
}  // namespace

bool CStreamObjA::TakeVersion(CStreamObj *head, CAnsiText &version) {
  size_t used = std::strlen(head->m_version);
  std::snprintf(head->m_version + used, sizeof head->m_version - used, "-%s", kAutomationVersion);
  return version.Assign(head->m_version);
}
