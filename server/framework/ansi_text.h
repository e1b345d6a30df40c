// CAnsiText: an 8-bit text as the automation objects hold it (their error and version texts, the texts
// that scripts hand over), converted from and to the automation string through the ANSI code page, so
// that each byte the code page maps stands for one character of the script's string.
#ifndef RUNEFLOW_SERVER_FRAMEWORK_ANSI_TEXT_H
#define RUNEFLOW_SERVER_FRAMEWORK_ANSI_TEXT_H

#include <windows.h>

#include <cstddef>

class CAnsiText {
 public:
  CAnsiText() = default;
  CAnsiText(const CAnsiText &) = delete;
  CAnsiText &operator=(const CAnsiText &) = delete;
  ~CAnsiText();

  // Replaces the text with a copy of length bytes (zero bytes included). False, with the text left as
  // it was, when memory runs out.
  bool Assign(const char *bytes, size_t length);
  // Replaces the text with a copy of a zero-terminated text.
  bool Assign(const char *text);
  // Replaces the text with an automation string converted to the ANSI code page, every character
  // counted (a null string is empty; a character the code page lacks becomes the look-alike the system
  // chooses, or else its default character "?").
  // E_OUTOFMEMORY (or E_FAIL when the conversion fails), with the text left as it was.
  HRESULT Assign(BSTR text);

  // A new automation string of the text's characters, zero bytes included, for the caller to free.
  // E_OUTOFMEMORY or E_FAIL, and *text null, when that fails.
  HRESULT Copy(BSTR *text) const { return Copy(Data(), m_length, text); }
  // The same for length bytes that no CAnsiText holds.
  static HRESULT Copy(const char *bytes, size_t length, BSTR *text);

  // The bytes, always followed by a zero byte (an empty text is ""), and their number.
  const char *Data() const { return m_bytes != nullptr ? m_bytes : ""; }
  size_t Length() const { return m_length; }

 private:
  // Takes over bytes, allocated with malloc and zero-terminated after length bytes.
  void Adopt(char *bytes, size_t length);

  char *m_bytes = nullptr;  // owned, zero-terminated; null while the text is empty
  size_t m_length = 0;      // bytes before the terminating zero
};

#endif
