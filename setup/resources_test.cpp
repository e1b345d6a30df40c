// Tests of Setup's resources, linked into this test program from the same resource file: the dialog
// template as the system reads it (caption, size, font, and each control's class, identifier, text,
// place, style and state at start) and the manifest's request for administrator rights.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "setup/resource.h"

namespace {

// Reads a dialog template (DLGTEMPLATE and its DLGITEMTEMPLATEs) field by field.
class CTemplateReader {
 public:
  explicit CTemplateReader(const void *data) : m_at(static_cast<const BYTE *>(data)), m_start(m_at) {}
  DWORD Dword() { return Take<DWORD>(); }
  WORD Word() { return Take<WORD>(); }
  short Short() { return Take<short>(); }
  // A string or an ordinal (0xFFFF and a number, written here as "#number").
  std::string TextOrOrdinal() {
    if (*reinterpret_cast<const WORD *>(m_at) == 0xFFFF) {
      Word();
      return "#" + std::to_string(Word());
    }
    std::string text;
    for (WORD c = Word(); c != 0; c = Word()) text += static_cast<char>(c);
    return text;
  }
  void AlignToDword() {
    while ((m_at - m_start) % 4 != 0) ++m_at;
  }

 private:
  template <typename T>
  T Take() {
    T value;
    memcpy(&value, m_at, sizeof value);
    m_at += sizeof value;
    return value;
  }
  const BYTE *m_at;
  const BYTE *m_start;
};

struct Control {
  std::string kind;  // "#128" a button, "#130" a static text
  int id;
  std::string text;
  short x, y, cx, cy;
  DWORD typeStyle;  // the class's own style bits (the low four)
  bool disabled;
};

bool operator==(const Control &a, const Control &b) {
  return a.kind == b.kind && a.id == b.id && a.text == b.text && a.x == b.x && a.y == b.y && a.cx == b.cx &&
         a.cy == b.cy && a.typeStyle == b.typeStyle && a.disabled == b.disabled;
}

std::ostream &operator<<(std::ostream &out, const Control &c) {
  return out << c.kind << " " << c.id << " \"" << c.text << "\" at " << c.x << "," << c.y << " " << c.cx
             << "x" << c.cy << " style " << c.typeStyle << (c.disabled ? " disabled" : "");
}

TEST(Resources, TheDialogTemplateIsTheOneUsersKnow) {
  HRSRC resource = FindResourceA(nullptr, MAKEINTRESOURCEA(IDD_SETUP), MAKEINTRESOURCEA(5));  // RT_DIALOG
  ASSERT_NE(nullptr, resource);
  CTemplateReader reader(LockResource(LoadResource(nullptr, resource)));
  DWORD style = reader.Dword();
  reader.Dword();  // extended style
  WORD controls = reader.Word();
  reader.Short();  // x and y: the dialog is centred
  reader.Short();
  EXPECT_EQ(186, reader.Short());
  EXPECT_EQ(95, reader.Short());
  EXPECT_EQ("", reader.TextOrOrdinal()) << "no menu";
  EXPECT_EQ("", reader.TextOrOrdinal()) << "the standard dialog class";
  EXPECT_EQ("Setup", reader.TextOrOrdinal());
  ASSERT_TRUE(style & DS_SETFONT);
  EXPECT_EQ(8, reader.Word());
  EXPECT_EQ("MS Sans Serif", reader.TextOrOrdinal());
  EXPECT_TRUE(style & WS_CAPTION);
  EXPECT_TRUE(style & WS_POPUP);

  std::vector<Control> found;
  for (WORD index = 0; index < controls; ++index) {
    reader.AlignToDword();
    DWORD controlStyle = reader.Dword();
    reader.Dword();  // extended style
    Control control;
    control.x = reader.Short();
    control.y = reader.Short();
    control.cx = reader.Short();
    control.cy = reader.Short();
    control.id = static_cast<short>(reader.Word());
    control.kind = reader.TextOrOrdinal();
    control.text = reader.TextOrOrdinal();
    EXPECT_EQ(0, reader.Word()) << "no creation data";
    control.typeStyle = controlStyle & 0xF;
    control.disabled = (controlStyle & WS_DISABLED) != 0;
    EXPECT_TRUE(controlStyle & WS_VISIBLE) << control;
    found.push_back(control);
  }
  const std::vector<Control> expected = {
      {"#128", IDCANCEL, "Cancel", 129, 74, 50, 14, BS_DEFPUSHBUTTON, false},
      {"#128", IDC_INSTALL, "Install", 7, 74, 50, 14, BS_PUSHBUTTON, true},
      {"#128", IDC_REMOVE, "Remove", 69, 74, 50, 14, BS_PUSHBUTTON, true},
      {"#130", -1, "Welcome to Cobbleway setup", 7, 30, 172, 35, SS_CENTER, false},
  };
  EXPECT_EQ(expected, found);
}

TEST(Resources, TheManifestAsksForAdministratorRights) {
  HRSRC resource = FindResourceA(nullptr, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));  // RT_MANIFEST
  ASSERT_NE(nullptr, resource);
  const char *text = static_cast<const char *>(LockResource(LoadResource(nullptr, resource)));
  std::string manifest(text, SizeofResource(nullptr, resource));
  EXPECT_NE(std::string::npos, manifest.find("<requestedExecutionLevel level=\"requireAdministrator\""));
}

}  // namespace
