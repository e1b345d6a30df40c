// Tests of Cobbleway's resources, linked into this test program from the same resource file: the message
// string, the icon, the version values, the manifest, and the type library with the classes' fixed
// identifiers, which installed clients rely on and must never change.
#include <windows.h>

#include <gtest/gtest.h>
#include <oleauto.h>

#include <string>
#include <vector>

#include "server/resource.h"

namespace {

std::wstring ProgramPath() {
  wchar_t path[MAX_PATH];
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  return path;
}

TEST(Resources, StringOneHundredHasItsTwoBlanks) {
  char text[256];
  ASSERT_GT(LoadStringA(GetModuleHandleA(nullptr), IDP_OLE_INIT_FAILED, text, sizeof text), 0);
  EXPECT_STREQ("OLE initialization failed.  Make sure that the OLE libraries are the correct version.", text);
}

TEST(Resources, TheApplicationIconIsThere) {
  EXPECT_NE(nullptr, LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME)));
}

TEST(Resources, TheVersionResourceGivesTheFiveValues) {
  std::wstring path = ProgramPath();
  DWORD size = GetFileVersionInfoSizeW(path.c_str(), nullptr);
  ASSERT_GT(size, 0u);
  std::vector<char> block(size);
  ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, block.data()));
  VS_FIXEDFILEINFO *fixed;
  UINT length;
  ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void **>(&fixed), &length));
  EXPECT_EQ(MAKELONG(0, 1), fixed->dwFileVersionMS);
  EXPECT_EQ(0u, fixed->dwFileVersionLS);
  EXPECT_EQ(MAKELONG(0, 3), fixed->dwProductVersionMS);
  struct Value {
    const wchar_t *name;
    const wchar_t *text;
  } const values[] = {
      {L"FileDescription", L"Cobbleway OLE automation server"},
      {L"InternalName", L"Server"},
      {L"ProductName", L"Runeflow"},
      {L"FileVersion", L"1, 0, 0, 0"},
      {L"ProductVersion", L"3, 0, 0, 0"},
  };
  for (const Value &value : values) {
    wchar_t *text;
    std::wstring query = std::wstring(L"\\StringFileInfo\\040904B0\\") + value.name;
    ASSERT_TRUE(VerQueryValueW(block.data(), query.c_str(), reinterpret_cast<void **>(&text), &length))
        << value.name;
    EXPECT_EQ(std::wstring(value.text), text);
  }
}

TEST(Resources, TheManifestRunsTheProgramAsItsInvoker) {
  HRSRC resource = FindResourceA(nullptr, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
  ASSERT_NE(nullptr, resource);
  const char *text = static_cast<const char *>(LockResource(LoadResource(nullptr, resource)));
  std::string manifest(text, SizeofResource(nullptr, resource));
  EXPECT_NE(std::string::npos, manifest.find("<requestedExecutionLevel level=\"asInvoker\""));
}

TEST(Resources, TheTypeLibraryHoldsBothClassesUnderTheirFixedIdentifiers) {
  ITypeLib *library;
  ASSERT_EQ(S_OK, LoadTypeLibEx(ProgramPath().c_str(), REGKIND_NONE, &library));
  struct Class {
    const wchar_t *clsid;
    const wchar_t *name;
    const wchar_t *interfaceId;
  } const classes[] = {
      {L"{F5BE267A-1DD6-4C00-8C3C-A32D2103C451}", L"Stream", L"{D0909FFC-2202-4AC7-A6DB-501EB7BDA4C9}"},
      {L"{37D4FAB1-86D2-4B05-82CC-7E9D1CA80C3A}", L"Cobbleway", L"{3CBF7D4D-92C6-4A21-B3DF-FDEDD3555B0B}"},
  };
  for (const Class &c : classes) {
    CLSID clsid;
    ASSERT_EQ(S_OK, CLSIDFromString(const_cast<LPOLESTR>(c.clsid), &clsid));
    ITypeInfo *coclass;
    ASSERT_EQ(S_OK, library->GetTypeInfoOfGuid(clsid, &coclass)) << c.name;
    BSTR name;
    coclass->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
    EXPECT_EQ(std::wstring(c.name), name);
    SysFreeString(name);
    HREFTYPE reference;
    ITypeInfo *defaultInterface;
    ASSERT_EQ(S_OK, coclass->GetRefTypeOfImplType(0, &reference));
    ASSERT_EQ(S_OK, coclass->GetRefTypeInfo(reference, &defaultInterface));
    TYPEATTR *attributes;
    defaultInterface->GetTypeAttr(&attributes);
    wchar_t interfaceId[40];
    StringFromGUID2(attributes->guid, interfaceId, 40);
    EXPECT_EQ(std::wstring(c.interfaceId), interfaceId) << c.name;
    EXPECT_TRUE(attributes->wTypeFlags & TYPEFLAG_FDUAL) << c.name;
    defaultInterface->ReleaseTypeAttr(attributes);
    defaultInterface->Release();
    coclass->Release();
  }
  TLIBATTR *attributes;
  library->GetLibAttr(&attributes);
  wchar_t libraryId[40];
  StringFromGUID2(attributes->guid, libraryId, 40);
  EXPECT_EQ(std::wstring(L"{8A05F7D5-52B2-4381-BE98-7F7F012C44D8}"), libraryId);
  library->ReleaseTLibAttr(attributes);
  library->Release();
}

}  // namespace
