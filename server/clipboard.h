// CClipboard: the clipboard as the automation objects use it, opened for one transfer and closed again
// on every path, and the formats that texts are read from and written to by name. Clipboard data of
// every format is handled as an 8-bit text ended by a zero byte.
#ifndef RUNEFLOW_SERVER_CLIPBOARD_H
#define RUNEFLOW_SERVER_CLIPBOARD_H

#include <windows.h>

#include "server/framework/ansi_text.h"

class CClipboard {
 public:
  // Opens the clipboard with owner as its owner; IsOpen tells whether that worked.
  explicit CClipboard(HWND owner) : open_(OpenClipboard(owner) != FALSE) {}
  CClipboard(const CClipboard &) = delete;
  CClipboard &operator=(const CClipboard &) = delete;
  ~CClipboard() {
    if (open_) CloseClipboard();
  }
  bool IsOpen() const { return open_; }

  // The format to write a text under name in: one of the four standard names ("Text", "Sylk", "DIF",
  // "OEM Text", letter case counting), or else name registered as a format (a name the platform refuses,
  // or one holding a zero byte, gives 0).
  static UINT FormatToWrite(const CAnsiText &name);
  // The format on the clipboard to read a text under name from: a standard name's format if the
  // clipboard has it now, or else the first format in the clipboard's order whose registered name is
  // exactly name; 0 when there is none.
  UINT FormatToRead(const CAnsiText &name) const;

 private:
  // The standard format of name, or 0.
  static UINT StandardFormat(const CAnsiText &name);

  bool open_;  // the clipboard is open and is closed by the destructor
};

#endif
