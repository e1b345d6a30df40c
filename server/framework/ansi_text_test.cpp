// Tests of CAnsiText: texts cross between scripts and the engine through the ANSI code page (Windows-1252
// here), every character counted, zero bytes included.
#include "server/framework/ansi_text.h"

#include <windows.h>

#include <gtest/gtest.h>
#include <oleauto.h>

#include <string>

namespace {

// An automation string holding exactly text (zero characters included), freed with the object.
class CAutomationString {
 public:
  explicit CAutomationString(const std::wstring &text)
      : m_string(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
  ~CAutomationString() { SysFreeString(m_string); }
  BSTR Get() const { return m_string; }

 private:
  BSTR m_string;
};

std::wstring Copied(const CAnsiText &text) {
  BSTR copy;
  EXPECT_EQ(S_OK, text.Copy(&copy));
  std::wstring wide(copy, SysStringLen(copy));
  SysFreeString(copy);
  return wide;
}

TEST(AnsiText, AutomationStringsBecomeBytesOfTheAnsiCodePage) {
  ASSERT_EQ(1252u, GetACP()) << "the cases are written for Windows-1252";
  struct Case {
    const char *what;
    std::wstring script;  // what a script hands over
    std::string bytes;    // what the object holds
    std::wstring back;    // what the script reads back
  } const cases[] = {
      {"empty", L"", "", L""},
      {"plain ASCII", L"Stream: Can't open x\n", "Stream: Can't open x\n", L"Stream: Can't open x\n"},
      {"zero characters are kept", std::wstring(L"a\0b\0", 4), std::string("a\0b\0", 4),
       std::wstring(L"a\0b\0", 4)},
      {"Latin-1 letters", L"caf\u00e9 \u00fc", "caf\xe9 \xfc", L"caf\u00e9 \u00fc"},
      {"Windows-1252's own characters", L"\u20ac\u2026\u0152", "\x80\x85\x8c", L"\u20ac\u2026\u0152"},
      {"characters the code page lacks: a look-alike or a question mark", L"\u03a9\u4e2d", "O?", L"O?"},
  };
  for (const Case &c : cases) {
    CAutomationString script(c.script);
    CAnsiText text;
    ASSERT_EQ(S_OK, text.Assign(script.Get())) << c.what;
    EXPECT_EQ(c.bytes, std::string(text.Data(), text.Length())) << c.what;
    EXPECT_EQ('\0', text.Data()[text.Length()]) << c.what;
    EXPECT_EQ(c.back, Copied(text)) << c.what;
  }
}

TEST(AnsiText, EveryByteSurvivesTheWayToAScriptAndBack) {
  std::string bytes;
  for (int value = 0; value < 256; ++value) bytes += static_cast<char>(value);
  CAnsiText text;
  ASSERT_TRUE(text.Assign(bytes.data(), bytes.size()));
  CAutomationString script(Copied(text));
  CAnsiText back;
  ASSERT_EQ(S_OK, back.Assign(script.Get()));
  EXPECT_EQ(bytes, std::string(back.Data(), back.Length()));
}

TEST(AnsiText, NullStringIsEmptyAndEmptyTextGivesAnEmptyString) {
  CAnsiText text;
  ASSERT_TRUE(text.Assign("old"));
  EXPECT_EQ(S_OK, text.Assign(static_cast<BSTR>(nullptr)));
  EXPECT_EQ(0u, text.Length());
  EXPECT_STREQ("", text.Data());
  BSTR copy = nullptr;
  EXPECT_EQ(S_OK, text.Copy(&copy));
  ASSERT_NE(nullptr, copy);  // an empty string, never null, for clients that do not expect null
  EXPECT_EQ(0u, SysStringLen(copy));
  SysFreeString(copy);
  EXPECT_EQ(E_POINTER, text.Copy(nullptr));
}

}  // namespace
