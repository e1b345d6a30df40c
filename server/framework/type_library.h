// CTypeLibrary: the type library embedded in the program (resource TYPELIB 1), compiled from the IDL file
// that describes its automation classes. The standard dispatch takes member names, identifiers and
// argument types from it; registering it lets clients with early binding or member discovery see them.
#ifndef RUNEFLOW_SERVER_FRAMEWORK_TYPE_LIBRARY_H
#define RUNEFLOW_SERVER_FRAMEWORK_TYPE_LIBRARY_H

#include <windows.h>

#include <oaidl.h>

class CTypeLibrary {
 public:
  // The description of the interface iid, from the program's library (loaded on first use and kept
  // until Release). The caller releases *info.
  static HRESULT GetTypeInfo(REFIID iid, ITypeInfo **info);
  // The library's identifier.
  static HRESULT GetLibraryId(GUID *id);
  // Registers the library, with the program's path, and the interfaces it describes.
  static HRESULT Register();
  // Removes the registration of the library and of its interfaces.
  static HRESULT Unregister();
  // Lets go of the loaded library; done before the object libraries are uninitialised.
  static void Release();

  // The path of the program's file. False when it does not fit path (MAX_PATH characters).
  static bool GetProgramPath(wchar_t (&path)[MAX_PATH]);

 private:
  // The loaded library (not AddRef'd for the caller).
  static HRESULT Get(ITypeLib **library);
  // A copy of the library's attributes: identifier, version, locale and system.
  static HRESULT GetAttributes(TLIBATTR *attributes);

  static ITypeLib *s_library;  // the program's library once loaded, owned; null before and after
};

#endif
