// The root of every engine class: it gives each object its run-time class record, so that an object
// can name its most-derived class and be tested for the classes it derives from.
#ifndef RUNEFLOW_ENGINE_STREAM_OBJECT_H
#define RUNEFLOW_ENGINE_STREAM_OBJECT_H

#include <new>

#include "engine/export.h"
#include "engine/stream/runtime_class.h"

class RUNEFLOW_API CObject {
 public:
  static CRuntimeClass classCObject;

  CObject() = default;
  CObject(const CObject &) = delete;
  CObject &operator=(const CObject &) = delete;
  virtual ~CObject() = default;

  // Engine objects created with new take their memory from the engine's allocator, like everything
  // else the engine holds. The plain form throws std::bad_alloc when memory runs out; the nothrow form
  // (used by the engine and the factories) returns null.
  static void *operator new(size_t size);
  static void *operator new(size_t size, const std::nothrow_t &) noexcept;
  static void operator delete(void *memory) noexcept;

  // The record of this object's most-derived class.
  virtual CRuntimeClass *GetRuntimeClass() const;
  // True when this object's class is record's class or derives from it.
  bool IsKindOf(const CRuntimeClass *record) const;
};

#endif
