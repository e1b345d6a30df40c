// The record of the root class (CObject has no factory and no base; it is not in the class list,
// which holds the library's own classes) and the allocation of engine objects.
#include "engine/stream/object.h"

#include "engine/stream/allocator.h"

CRuntimeClass CObject::classCObject = {"CObject", sizeof(CObject), 0xFFFF, nullptr, nullptr, nullptr};

CRuntimeClass *CObject::GetRuntimeClass() const { return &classCObject; }

bool CObject::IsKindOf(const CRuntimeClass *record) const { return GetRuntimeClass()->IsDerivedFrom(record); }

void *CObject::operator new(size_t size) {
  void *memory = EngineAlloc(size);
  if (memory == nullptr) throw std::bad_alloc();
  return memory;
}

void *CObject::operator new(size_t size, const std::nothrow_t &) noexcept { return EngineAlloc(size); }

void CObject::operator delete(void *memory) noexcept { EngineFree(memory); }
