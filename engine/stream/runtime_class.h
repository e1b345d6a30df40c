// The run-time class record that every engine class carries: its name (used by error texts and by the
// pipeline to find its head), its size, its factory and its base. Records are linked into one class list
// when the library is loaded, so a class can be found and created knowing only its name.
#ifndef RUNEFLOW_ENGINE_STREAM_RUNTIME_CLASS_H
#define RUNEFLOW_ENGINE_STREAM_RUNTIME_CLASS_H

#include <cstddef>

#include "engine/export.h"

class CObject;

struct RUNEFLOW_API CRuntimeClass {
  const char *className;             // e.g. "CStream"
  int objectSize;                    // sizeof an object of the class
  unsigned int schema;               // 0xFFFF: no versioned archiving
  CObject *(*createObject)();        // factory; null for a class that cannot be created
  CRuntimeClass *(*getBaseClass)();  // record of the base class; null for CObject
  CRuntimeClass *nextClass;          // next record of the class list, linked at load

  // A new object of this class, or null when the class has no factory or memory ran out.
  CObject *CreateObject() const;
  // True when this class is baseClass or derives from it.
  bool IsDerivedFrom(const CRuntimeClass *baseClass) const;

  // Adds a record to the class list; run once per class by the library's static start-up.
  // Returns true so that it can initialise a static flag.
  static bool Register(CRuntimeClass *record);
  // The first record of the class list (then follow nextClass), and a record found by class name.
  static CRuntimeClass *FirstClass();
  static CRuntimeClass *Find(const char *className);
};

// Inside a class derived from CObject: declares its record class<Name>, its factory and base getter.
#define DECLARE_RUNTIME_CLASS(name)      \
 public:                                 \
  static CRuntimeClass class##name;      \
  static CObject *CreateObject();        \
  static CRuntimeClass *_GetBaseClass(); \
  CRuntimeClass *GetRuntimeClass() const override;

// In the class's source file: defines what DECLARE_RUNTIME_CLASS declared and registers the record.
#define IMPLEMENT_RUNTIME_CLASS(name, base)                                             \
  CObject *name::CreateObject() { return new (std::nothrow) name; }                     \
  CRuntimeClass *name::_GetBaseClass() { return &base::class##base; }                   \
  CRuntimeClass name::class##name = {                                                   \
      #name, sizeof(name), 0xFFFF, &name::CreateObject, &name::_GetBaseClass, nullptr}; \
  CRuntimeClass *name::GetRuntimeClass() const { return &name::class##name; }           \
  static const bool registered##name = CRuntimeClass::Register(&name::class##name);

#endif
