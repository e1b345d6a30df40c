// Tests of CWindowsSystem on Windows itself: registry strings written with the length of their text and
// read back terminated, the copy's two modes, the append-open that creates nothing and fails while another
// program holds the file, and starting a program (its exit status, or the C library's error number).
#include "setup/windows_system.h"

#include <errno.h>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

namespace {

class WindowsSystem : public ::testing::Test {
 protected:
  void SetUp() override {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    m_folder = std::string(temp) + "setup test " + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(m_folder.c_str(), nullptr);
    m_keyPath = "Software\\Runeflow setup test " + std::to_string(GetCurrentProcessId());
    ASSERT_EQ(ERROR_SUCCESS, m_system.CreateKey(HKEY_CURRENT_USER, m_keyPath.c_str(), &m_key));
  }
  void TearDown() override {
    m_system.CloseKey(m_key);
    m_system.DeleteKey(HKEY_CURRENT_USER, m_keyPath.c_str());
    for (const char *name : {"a", "b", "missing", "shell.exe"}) DeleteFileA(Path(name).c_str());
    RemoveDirectoryA(m_folder.c_str());
  }
  std::string Path(const char *name) const { return m_folder + "\\" + name; }
  static void Write(const std::string &path, const std::string &text) {
    std::ofstream(path, std::ios::binary) << text;
  }
  static std::string Read(const std::string &path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  }

  CWindowsSystem m_system;
  std::string m_folder;   // a scratch folder whose name holds blanks
  std::string m_keyPath;  // a scratch key under HKEY_CURRENT_USER
  HKEY m_key = nullptr;
};

TEST_F(WindowsSystem, StringsAreWrittenWithTheLengthOfTheirTextAndReadBackTerminated) {
  ASSERT_EQ(ERROR_SUCCESS, m_system.SetString(m_key, "DisplayName", "Cobbleway 1.0"));
  DWORD type = 0;
  wchar_t stored[32] = L"";
  DWORD bytes = sizeof stored;
  ASSERT_EQ(ERROR_SUCCESS,
            RegQueryValueExW(m_key, L"DisplayName", nullptr, &type, reinterpret_cast<BYTE *>(stored), &bytes));
  EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
  EXPECT_EQ(std::wstring(L"Cobbleway 1.0"), std::wstring(stored, 13));
  EXPECT_LE(bytes, 14 * sizeof(wchar_t)) << "the text, and at most the terminator the system adds";

  // A value stored without its terminator is read back terminated.
  RegSetValueExW(m_key, L"Bare", 0, REG_SZ, reinterpret_cast<const BYTE *>(L"abcd"), 3 * sizeof(wchar_t));
  char value[14];
  memset(value, 'x', sizeof value);
  EXPECT_EQ(ERROR_SUCCESS, m_system.QueryString(m_key, "Bare", value, 4));
  EXPECT_STREQ("abc", value);
  EXPECT_EQ(ERROR_MORE_DATA, m_system.QueryString(m_key, "Bare", value, 3));
  EXPECT_EQ(ERROR_SUCCESS, m_system.QueryString(m_key, "DisplayName", value, sizeof value));
  EXPECT_STREQ("Cobbleway 1.0", value) << "exactly fits with its terminator";
  EXPECT_EQ(ERROR_MORE_DATA, m_system.QueryString(m_key, "DisplayName", value, sizeof value - 1));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, m_system.QueryString(m_key, "Desktop", value, sizeof value));
  DWORD number = 1;
  RegSetValueExA(m_key, "Number", 0, REG_DWORD, reinterpret_cast<const BYTE *>(&number), sizeof number);
  EXPECT_EQ(ERROR_UNSUPPORTED_TYPE, m_system.QueryString(m_key, "Number", value, sizeof value));
}

TEST_F(WindowsSystem, CopiesReplaceOnlyWhenAskedTo) {
  Write(Path("a"), std::string("first\0\xff", 7));
  EXPECT_EQ(ERROR_SUCCESS, m_system.Copy(Path("a").c_str(), Path("b").c_str(), false));
  EXPECT_EQ(std::string("first\0\xff", 7), Read(Path("b")));
  Write(Path("a"), "second");
  EXPECT_EQ(ERROR_FILE_EXISTS, m_system.Copy(Path("a").c_str(), Path("b").c_str(), false));
  EXPECT_EQ(std::string("first\0\xff", 7), Read(Path("b")));
  EXPECT_EQ(ERROR_SUCCESS, m_system.Copy(Path("a").c_str(), Path("b").c_str(), true));
  EXPECT_EQ("second", Read(Path("b")));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, m_system.Copy(Path("missing").c_str(), Path("b").c_str(), true));
  EXPECT_EQ(ERROR_SUCCESS, m_system.Delete(Path("b").c_str()));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, m_system.Delete(Path("b").c_str()));
  EXPECT_EQ(ERROR_ALREADY_EXISTS, m_system.MakeDirectory(m_folder.c_str()));
}

TEST_F(WindowsSystem, TheAppendOpenWritesNothingAndFailsWhileTheFileIsHeld) {
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, m_system.OpenForAppend(Path("missing").c_str()));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(Path("missing").c_str())) << "it made the file";
  Write(Path("a"), "text");
  EXPECT_EQ(ERROR_SUCCESS, m_system.OpenForAppend(Path("a").c_str()));
  EXPECT_EQ("text", Read(Path("a")));
  HANDLE held =
      CreateFileA(Path("a").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, held);
  EXPECT_EQ(ERROR_SHARING_VIOLATION, m_system.OpenForAppend(Path("a").c_str()));
  CloseHandle(held);
  EXPECT_EQ(ERROR_SUCCESS, m_system.OpenForAppend(Path("a").c_str()));
}

TEST_F(WindowsSystem, AProgramIsWaitedForAndGivesItsExitStatus) {
  char shell[MAX_PATH];
  ASSERT_TRUE(m_system.SystemDirectory(shell, sizeof shell));
  std::string original = std::string(shell) + "\\cmd.exe";
  std::string program = Path("shell.exe");  // cmd.exe in a folder whose name holds blanks
  ASSERT_TRUE(CopyFileA(original.c_str(), program.c_str(), FALSE));
  int error = 0;
  EXPECT_EQ(7, m_system.RunAndWait(program.c_str(), "/c exit 7", &error));
  EXPECT_EQ(0, m_system.RunAndWait(original.c_str(), "/c exit 0", &error));
  EXPECT_EQ(-1, m_system.RunAndWait(Path("missing").c_str(), "/Install", &error));
  EXPECT_EQ(ENOENT, error);
}

}  // namespace
