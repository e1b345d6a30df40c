// CClassFactory: the class factory of one creatable automation class, built with the class's CLSID, its
// run-time class record and its ProgID. Factories are multiple-use (one running program creates every
// object of every class) and all factories of the program form one list, so that one call registers
// them all with the object runtime and one call writes the registry entries of all.
#ifndef RUNEFLOW_SERVER_FRAMEWORK_CLASS_FACTORY_H
#define RUNEFLOW_SERVER_FRAMEWORK_CLASS_FACTORY_H

#include <windows.h>

#include <unknwn.h>

struct CRuntimeClass;

class CClassFactory : public IClassFactory {
 public:
  // record must describe a class derived from CAutomationObject whose objects enable automation when
  // constructed. The factory lives as long as the program (it is not reference counted) and joins the
  // list of the program's factories.
  CClassFactory(REFCLSID clsid, const CRuntimeClass *record, const wchar_t *progId);
  CClassFactory(const CClassFactory &) = delete;
  CClassFactory &operator=(const CClassFactory &) = delete;
  virtual ~CClassFactory();

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  // A new object of the class, asked for interface iid. Aggregation is refused, and so is creation once
  // the program is ending.
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown *outer, REFIID iid, void **object) override;
  // Locks or unlocks the application.
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

  // Registers every factory with the object runtime as a multiple-use local server; on failure none
  // stays registered.
  static HRESULT RegisterAll();
  // Withdraws the registrations that RegisterAll made.
  static void RevokeAll();
  // Writes the standard entries of every class under classesRoot: the ProgID key with its "CLSID"
  // subkey, whose default value is the CLSID in braces, and the CLSID key naming the ProgID, the
  // program as "LocalServer32" (quoted when its path holds a blank) and the type library.
  static HRESULT UpdateRegistryAll(HKEY classesRoot);

 private:
  HRESULT UpdateRegistry(HKEY classesRoot, const wchar_t *serverCommand, const wchar_t *libraryId) const;

  CLSID m_clsid;                  // the class's fixed identifier
  const CRuntimeClass *m_record;  // creates the objects
  const wchar_t *m_progId;        // e.g. "Runeflow.Stream"; a text that lives as long as the factory
  DWORD m_registration;           // cookie from the object runtime; 0 while not registered
  CClassFactory *m_pNext;         // next factory of the program
  static CClassFactory *s_pFirst;
};

#endif
