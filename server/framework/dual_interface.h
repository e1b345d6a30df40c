// CDualInterface: implements the IUnknown and IDispatch part of a dual interface generated from the IDL
// file by handing each call to the automation object that owns it, so that an automation class writes
// only its own members:
//   class CStreamA : public CStreamObjA, public CDualInterface<IRuneflowStream> { ... };
//   CStreamA::CStreamA() : CDualInterface<IRuneflowStream>(this) { EnableAutomation(this, IID_...); }
#ifndef RUNEFLOW_SERVER_FRAMEWORK_DUAL_INTERFACE_H
#define RUNEFLOW_SERVER_FRAMEWORK_DUAL_INTERFACE_H

#include "server/framework/automation_object.h"

template <class Interface>
class CDualInterface : public Interface {
 public:
  explicit CDualInterface(CAutomationObject *owner) : m_pOwner(owner) {}
  CDualInterface(const CDualInterface &) = delete;
  CDualInterface &operator=(const CDualInterface &) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **object) override {
    return m_pOwner->QueryInterface(iid, object);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return m_pOwner->AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return m_pOwner->Release(); }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT *count) override {
    return m_pOwner->GetTypeInfoCount(count);
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo **info) override {
    return m_pOwner->GetTypeInfo(index, info);
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR *names, UINT count, LCID, DISPID *ids) override {
    return m_pOwner->GetIDsOfNames(names, count, ids);
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS *parameters,
                                   VARIANT *result, EXCEPINFO *exception, UINT *argumentError) override {
    return m_pOwner->Invoke(id, flags, parameters, result, exception, argumentError);
  }

 private:
  CAutomationObject *m_pOwner;  // the object this interface belongs to; it outlives the interface
};

#endif
