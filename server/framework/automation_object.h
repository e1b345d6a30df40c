// CAutomationObject: the base of the program's automation classes. It is a framework object, with its
// run-time class record, that clients reach through one dual interface described by the program's type
// library; the Automation runtime's standard dispatch finds members by name (without regard to letter
// case), numbers them as the library does, converts the arguments and calls the interface's methods.
#ifndef RUNEFLOW_SERVER_FRAMEWORK_AUTOMATION_OBJECT_H
#define RUNEFLOW_SERVER_FRAMEWORK_AUTOMATION_OBJECT_H

#include <windows.h>

#include <oaidl.h>

#include "engine/stream/object.h"

// The automation boolean for a result: VARIANT_TRUE (-1) or VARIANT_FALSE (0).
inline VARIANT_BOOL AutomationBool(bool value) { return value ? VARIANT_TRUE : VARIANT_FALSE; }

class CAutomationObject : public CObject {
  DECLARE_RUNTIME_CLASS(CAutomationObject)

 public:
  ~CAutomationObject() override;

  // IUnknown and IDispatch of the object, reached through its dual interface (see CDualInterface).
  // The object's identity is that interface; the last Release destroys the object.
  HRESULT QueryInterface(REFIID iid, void **object);
  ULONG AddRef();
  ULONG Release();
  HRESULT GetTypeInfoCount(UINT *count);
  HRESULT GetTypeInfo(UINT index, ITypeInfo **info);
  HRESULT GetIDsOfNames(OLECHAR **names, UINT count, DISPID *ids);
  HRESULT Invoke(DISPID id, WORD flags, DISPPARAMS *parameters, VARIANT *result, EXCEPINFO *exception,
                 UINT *argumentError);

  // S_OK when construction gave a usable object: EnableAutomation found the interface's description
  // and the derived class reported no failure. A class factory hands out only such objects.
  HRESULT ConstructionResult() const { return m_construction; }

  // The object of this program behind an automation argument when its class is kind or derives from
  // it; null for nothing, a foreign object, or an object of another class.
  static CAutomationObject *FromDispatch(IDispatch *argument, const CRuntimeClass *kind);
  // The program's live objects, newest first (an object being destroyed is still among them until the
  // base destructor runs): for a class whose objects point at one another.
  static CAutomationObject *FirstLive() { return s_pFirstLive; }
  CAutomationObject *NextLive() const { return m_pNextLive; }

 protected:
  // One reference, held by the creator; not reachable by clients until EnableAutomation.
  CAutomationObject();
  // Makes the object reachable through its dual interface dispatch, whose identifier is iid and whose
  // description is in the program's type library.
  void EnableAutomation(IDispatch *dispatch, REFIID iid);
  // Marks construction as failed (for example E_OUTOFMEMORY); the first failure is kept.
  void ConstructionFailed(HRESULT reason);

 private:
  ULONG m_references;              // client and creator references; the last Release deletes the object
  IDispatch *m_dispatch;           // the dual interface of the derived class; null before EnableAutomation
  IID m_iid;                       // its identifier
  ITypeInfo *m_typeInfo;           // its description, owned
  HRESULT m_construction;          // S_OK, or why the object is not usable
  CAutomationObject *m_pPrevLive;  // objects alive in the program, for FromDispatch
  CAutomationObject *m_pNextLive;
  static CAutomationObject *s_pFirstLive;
};

#endif
