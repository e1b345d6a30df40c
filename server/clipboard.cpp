// Format names: the four standard ones from a table, any other as a registered name, compared whole.
#include "server/clipboard.h"

#include <cstring>

namespace {

struct StandardName {
  const char *name;
  UINT format;
};

const StandardName kStandardNames[] = {
    {"Text", CF_TEXT},
    {"Sylk", CF_SYLK},
    {"DIF", CF_DIF},
    {"OEM Text", CF_OEMTEXT},
};

// Registered names are atoms: at most 255 characters.
const int kNameRoom = 256;

// Whether name holds no zero byte, so that it can be a registered name.
bool IsPlainName(const CAnsiText &name) { return std::strlen(name.Data()) == name.Length(); }

}  // namespace

UINT CClipboard::StandardFormat(const CAnsiText &name) {
  if (!IsPlainName(name)) return 0;
  for (const StandardName &standard : kStandardNames) {
    if (std::strcmp(name.Data(), standard.name) == 0) return standard.format;
  }
  return 0;
}

UINT CClipboard::FormatToWrite(const CAnsiText &name) {
  UINT standard = StandardFormat(name);
  if (standard != 0) return standard;
  return IsPlainName(name) ? RegisterClipboardFormatA(name.Data()) : 0;
}

UINT CClipboard::FormatToRead(const CAnsiText &name) const {
  UINT standard = StandardFormat(name);
  if (standard != 0) return IsClipboardFormatAvailable(standard) ? standard : 0;
  if (!IsPlainName(name)) return 0;
  for (UINT format = EnumClipboardFormats(0); format != 0; format = EnumClipboardFormats(format)) {
    char registered[kNameRoom];
    int length = GetClipboardFormatNameA(format, registered, kNameRoom);  // 0 for the standard formats
    if (length > 0 && static_cast<size_t>(length) == name.Length() &&
        std::memcmp(registered, name.Data(), name.Length()) == 0) {
      return format;
    }
  }
  return 0;
}
