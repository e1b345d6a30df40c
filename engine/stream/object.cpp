// The record of the root class. CObject has no factory and no base; it is not in the class list,
// which holds the library's own classes.
#include "engine/stream/object.h"

CRuntimeClass CObject::classCObject = {"CObject", sizeof(CObject), 0xFFFF, nullptr, nullptr, nullptr};

CRuntimeClass *CObject::GetRuntimeClass() const { return &classCObject; }

bool CObject::IsKindOf(const CRuntimeClass *record) const { return GetRuntimeClass()->IsDerivedFrom(record); }
