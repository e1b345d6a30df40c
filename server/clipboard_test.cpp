// Tests of the clipboard's format names on the test's desktop: the four standard names only as written,
// registered names compared whole (a long name never matched by a shorter one), names that cannot name a
// format, and the clipboard closed again with the object.
#include "server/clipboard.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

namespace {

// Empties the clipboard and puts an empty text under each format.
void PutEmptyTexts(std::initializer_list<UINT> formats) {
  CClipboard clipboard(nullptr);
  ASSERT_TRUE(clipboard.IsOpen());
  ASSERT_TRUE(EmptyClipboard());
  for (UINT format : formats) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, 1);
    *static_cast<char *>(GlobalLock(block)) = '\0';
    GlobalUnlock(block);
    ASSERT_NE(nullptr, SetClipboardData(format, block));
  }
}

TEST(Clipboard, FormatsAreNamedExactly) {
  const std::string longName(100, 'L');
  UINT registered = RegisterClipboardFormatA("Runeflow test format");
  UINT longFormat = RegisterClipboardFormatA(longName.c_str());
  ASSERT_NE(0u, registered);
  ASSERT_NE(0u, longFormat);
  PutEmptyTexts({CF_TEXT, CF_SYLK, registered, longFormat});
  struct Case {
    const char *what;
    std::string name;
    UINT read;   // the format read from
    UINT write;  // the format written in (0: none)
  } const cases[] = {
      {"Text", "Text", CF_TEXT, CF_TEXT},
      {"Sylk", "Sylk", CF_SYLK, CF_SYLK},
      {"DIF, which the clipboard lacks", "DIF", 0, CF_DIF},
      {"OEM Text, which the clipboard makes from the text", "OEM Text", CF_OEMTEXT, CF_OEMTEXT},
      {"a standard name in other letters is a registered name", "text", 0, RegisterClipboardFormatA("text")},
      {"a registered name", "Runeflow test format", registered, registered},
      {"a registered name in other letters", "runeflow test format", 0,
       RegisterClipboardFormatA("runeflow test format")},
      {"a long registered name, whole", longName, longFormat, longFormat},
      {"its first 80 characters are another name", longName.substr(0, 80), 0,
       RegisterClipboardFormatA(longName.substr(0, 80).c_str())},
      {"a name holding a zero byte", std::string("Text\0x", 6), 0, 0},
      {"a registered name and a zero byte", std::string("Runeflow test format\0", 21), 0, 0},
      {"the empty name", "", 0, 0},
  };
  CClipboard clipboard(nullptr);
  ASSERT_TRUE(clipboard.IsOpen());
  for (const Case &c : cases) {
    CAnsiText name;
    ASSERT_TRUE(name.Assign(c.name.data(), c.name.size()));
    EXPECT_EQ(c.read, clipboard.FormatToRead(name)) << c.what;
    EXPECT_EQ(c.write, CClipboard::FormatToWrite(name)) << c.what;
  }
}

TEST(Clipboard, IsClosedWithTheObject) {
  {
    CClipboard first(nullptr);
    ASSERT_TRUE(first.IsOpen());
  }
  CClipboard again(nullptr);
  EXPECT_TRUE(again.IsOpen());
}

}  // namespace
