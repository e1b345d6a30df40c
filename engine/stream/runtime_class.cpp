// The class list and the queries on run-time class records.
#include "engine/stream/runtime_class.h"

#include <cstring>

namespace {
CRuntimeClass *firstClass = nullptr;  // head of the class list; records are prepended as they register
}

CObject *CRuntimeClass::CreateObject() const { return createObject != nullptr ? createObject() : nullptr; }

bool CRuntimeClass::IsDerivedFrom(const CRuntimeClass *baseClass) const {
  for (const CRuntimeClass *record = this; record != nullptr;
       record = record->getBaseClass != nullptr ? record->getBaseClass() : nullptr) {
    if (record == baseClass) return true;
  }
  return false;
}

bool CRuntimeClass::Register(CRuntimeClass *record) {
  record->nextClass = firstClass;
  firstClass = record;
  return true;
}

CRuntimeClass *CRuntimeClass::FirstClass() { return firstClass; }

CRuntimeClass *CRuntimeClass::Find(const char *className) {
  for (CRuntimeClass *record = firstClass; record != nullptr; record = record->nextClass) {
    if (std::strcmp(record->className, className) == 0) return record;
  }
  return nullptr;
}
