// Tests of the server's unregistration on a classes root of the test's own (under the current user's
// key), so that a run never touches the real classes: which keys go, which stay, and that keys without
// a usable "CLSID" subkey, keys that cannot be deleted and trees too deep or too long for a path buffer
// never stop the walk or make it delete what is not the server's.
#include "server/registration.h"

#include <windows.h>

#include <gtest/gtest.h>
#include <winternl.h>

#include <algorithm>
#include <string>
#include <vector>

extern "C" NTSTATUS NTAPI NtDeleteKey(HANDLE key);

namespace {

const wchar_t kScratch[] = L"Software\\Runeflow tests\\Classes";

// A classes root of the test's own, empty at first and removed with everything in it afterwards.
class Registration : public ::testing::Test {
 protected:
  Registration() {
    RemoveScratch();
    EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, kScratch, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                             KEY_ALL_ACCESS, nullptr, &m_root, nullptr));
  }
  ~Registration() override {
    RegCloseKey(m_root);
    RemoveScratch();
  }

  // Creates the key path under the root; with a value, sets its default value to it.
  void Add(const std::wstring &path, const wchar_t *value = nullptr) {
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(m_root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                             KEY_ALL_ACCESS, nullptr, &key, nullptr))
        << "creating " << path.size() << " characters";
    if (value != nullptr) {
      RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE *>(value),
                     static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t)));
    }
    RegCloseKey(key);
  }

  // A symbolic link key that leads nowhere: it is listed but can be neither opened nor deleted by name.
  void AddDeadLink(const wchar_t *name) {
    HKEY link;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(m_root, name, 0, nullptr, REG_OPTION_CREATE_LINK, KEY_ALL_ACCESS,
                                             nullptr, &link, nullptr));
    const wchar_t target[] = L"\\Registry\\Machine\\Software\\Runeflow tests nowhere";
    RegSetValueExW(link, L"SymbolicLinkValue", 0, REG_LINK, reinterpret_cast<const BYTE *>(target),
                   sizeof target - sizeof target[0]);
    RegCloseKey(link);
  }

  void RemoveDeadLink(const wchar_t *name) {
    HKEY link;
    if (RegOpenKeyExW(m_root, name, REG_OPTION_OPEN_LINK, DELETE, &link) == ERROR_SUCCESS) {
      NtDeleteKey(link);
      RegCloseKey(link);
    }
  }

  bool Exists(const std::wstring &path) {
    HKEY key;
    if (RegOpenKeyExW(m_root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
  }

  // The names of the root's subkeys, in the registry's order.
  std::vector<std::wstring> Names(HKEY key) {
    std::vector<std::wstring> names;
    wchar_t name[256];
    DWORD length = 256;
    for (DWORD index = 0;
         RegEnumKeyExW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
         ++index, length = 256) {
      names.push_back(name);
    }
    return names;
  }

  static void RemoveScratch() { RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Runeflow tests"); }

  HKEY m_root = nullptr;
};

TEST_F(Registration, RemovesEveryClassOfThePrefixWithItsClassKeyAndNothingElse) {
  const wchar_t kStream[] = L"{F5BE267A-1DD6-4C00-8C3C-A32D2103C451}";
  const wchar_t kCobbleway[] = L"{37D4FAB1-86D2-4B05-82CC-7E9D1CA80C3A}";
  const wchar_t kOther[] = L"{00000000-1111-2222-3333-444444444444}";
  const wchar_t kForeign[] = L"{99999999-1111-2222-3333-444444444444}";
  Add(L"CLSID\\" + std::wstring(kForeign) + L"\\LocalServer32", L"C:\\other.exe");
  Add(L"Runeflow.Cobbleway\\CLSID", kCobbleway);
  Add(L"CLSID\\" + std::wstring(kCobbleway) + L"\\LocalServer32", L"C:\\Cobbleway.exe");
  Add(L"Runeflow.Stream\\CLSID", kStream);
  Add(L"CLSID\\" + std::wstring(kStream) + L"\\ProgID", L"Runeflow.Stream");
  Add(L"Runeflow.Other\\CLSID", kOther);
  Add(L"CLSID\\" + std::wstring(kOther));
  // Without a readable "CLSID" subkey (sorted before Runeflow.Stream, so they are met first).
  Add(L"Runeflow.A-no-clsid\\Shell\\Open");
  Add(L"Runeflow.B-empty-clsid\\CLSID", L"");
  Add(L"Runeflow.C-clsid-path\\CLSID", (std::wstring(kForeign) + L"\\LocalServer32").c_str());
  Add(L"Runeflow.D-clsid-too-long\\CLSID", std::wstring(300, L'A').c_str());
  Add(L"Runeflow.E-clsid-missing\\CLSID", L"{12345678-0000-0000-0000-000000000000}");
  // A tree whose key paths run far beyond 256 characters.
  std::wstring deep = L"Runeflow.Deep";
  for (int level = 0; level < 30; ++level)
    deep += L"\\" + std::wstring(200, static_cast<wchar_t>(L'a' + level % 26));
  Add(deep);
  Add(L"Runeflow.Deep\\second branch\\leaf");
  // Names the prefix does not cover.
  for (const wchar_t *name :
       {L"Runeflow", L"RuneflowX.y", L"Runeflow_Z.y", L"runeflow.lower", L"My.Runeflow.x"}) {
    Add(name);
  }

  EXPECT_TRUE(UnregisterClasses(m_root, L"Runeflow"));

  std::vector<std::wstring> left = Names(m_root);
  std::sort(left.begin(), left.end());
  EXPECT_EQ((std::vector<std::wstring>{L"CLSID", L"My.Runeflow.x", L"Runeflow", L"RuneflowX.y",
                                       L"Runeflow_Z.y", L"runeflow.lower"}),
            left);
  HKEY clsid;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(m_root, L"CLSID", 0, KEY_READ, &clsid));
  EXPECT_EQ(std::vector<std::wstring>{kForeign}, Names(clsid));
  RegCloseKey(clsid);
  EXPECT_TRUE(Exists(L"CLSID\\" + std::wstring(kForeign) + L"\\LocalServer32"));
}

TEST_F(Registration, AKeyThatCannotBeDeletedIsPassedOver) {
  Add(L"CLSID");
  AddDeadLink(L"Runeflow.Broken");
  Add(L"Runeflow.Stream\\CLSID", L"{F5BE267A-1DD6-4C00-8C3C-A32D2103C451}");
  Add(L"CLSID\\{F5BE267A-1DD6-4C00-8C3C-A32D2103C451}");
  Add(L"Runeflow.Zeta");

  EXPECT_FALSE(UnregisterClasses(m_root, L"Runeflow"));

  EXPECT_EQ((std::vector<std::wstring>{L"CLSID", L"Runeflow.Broken"}), Names(m_root));
  EXPECT_FALSE(Exists(L"CLSID\\{F5BE267A-1DD6-4C00-8C3C-A32D2103C451}"));
  RemoveDeadLink(L"Runeflow.Broken");
}

TEST_F(Registration, NothingIsRemovedWithoutAClsidKey) {
  Add(L"Runeflow.Stream\\CLSID", L"{F5BE267A-1DD6-4C00-8C3C-A32D2103C451}");
  EXPECT_FALSE(UnregisterClasses(m_root, L"Runeflow"));
  EXPECT_TRUE(Exists(L"Runeflow.Stream\\CLSID"));
}

TEST_F(Registration, KeyTreesAreDeletedWholeOrReportTheirError) {
  Add(L"tree\\a\\b\\c");
  Add(L"tree\\a\\d");
  Add(L"tree\\e");
  Add(L"sibling");
  EXPECT_EQ(ERROR_SUCCESS, DeleteKeyTree(m_root, L"tree"));
  EXPECT_EQ(std::vector<std::wstring>{L"sibling"}, Names(m_root));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, DeleteKeyTree(m_root, L"tree"));

  // Deeper than the registry allows on Windows: refused without exhausting the stack.
  HKEY key;
  ASSERT_EQ(ERROR_SUCCESS,
            RegCreateKeyExW(m_root, L"deep", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
  for (int depth = 0; depth < 520; ++depth) {
    HKEY next;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExW(key, L"d", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &next, nullptr));
    RegCloseKey(key);
    key = next;
  }
  RegCloseKey(key);
  EXPECT_EQ(ERROR_BADKEY, DeleteKeyTree(m_root, L"deep"));
}

}  // namespace
