// The text is kept as bytes with their length, so a zero byte is an ordinary character; conversions to
// and from the automation string give every character of the other side, never stopping at a zero.
#include "server/framework/ansi_text.h"

#include <windows.h>

#include <oleauto.h>

#include <climits>
#include <cstdlib>
#include <cstring>

CAnsiText::~CAnsiText() { std::free(m_bytes); }

void CAnsiText::Adopt(char *bytes, size_t length) {
  std::free(m_bytes);
  m_bytes = bytes;
  m_length = length;
}

bool CAnsiText::Assign(const char *bytes, size_t length) {
  if (length == 0) {
    Adopt(nullptr, 0);
    return true;
  }
  if (length == SIZE_MAX) return false;
  char *copy = static_cast<char *>(std::malloc(length + 1));
  if (copy == nullptr) return false;
  std::memcpy(copy, bytes, length);
  copy[length] = '\0';
  Adopt(copy, length);
  return true;
}

bool CAnsiText::Assign(const char *text) { return Assign(text, std::strlen(text)); }

HRESULT CAnsiText::Assign(BSTR text) {
  UINT characters = SysStringLen(text);
  if (characters == 0) {
    Adopt(nullptr, 0);
    return S_OK;
  }
  if (characters > INT_MAX) return E_OUTOFMEMORY;
  int count = static_cast<int>(characters);
  int length = WideCharToMultiByte(CP_ACP, 0, text, count, nullptr, 0, nullptr, nullptr);
  if (length <= 0) return E_FAIL;
  char *bytes = static_cast<char *>(std::malloc(static_cast<size_t>(length) + 1));
  if (bytes == nullptr) return E_OUTOFMEMORY;
  if (WideCharToMultiByte(CP_ACP, 0, text, count, bytes, length, nullptr, nullptr) != length) {
    std::free(bytes);
    return E_FAIL;
  }
  bytes[length] = '\0';
  Adopt(bytes, static_cast<size_t>(length));
  return S_OK;
}

HRESULT CAnsiText::Copy(const char *bytes, size_t byteCount, BSTR *text) {
  if (text == nullptr) return E_POINTER;
  *text = nullptr;
  if (byteCount > INT_MAX) return E_OUTOFMEMORY;
  int length = static_cast<int>(byteCount);
  int characters = length == 0 ? 0 : MultiByteToWideChar(CP_ACP, 0, bytes, length, nullptr, 0);
  if (length != 0 && characters <= 0) return E_FAIL;
  BSTR copy = SysAllocStringLen(nullptr, static_cast<UINT>(characters));
  if (copy == nullptr) return E_OUTOFMEMORY;
  if (characters != 0 && MultiByteToWideChar(CP_ACP, 0, bytes, length, copy, characters) != characters) {
    SysFreeString(copy);
    return E_FAIL;
  }
  *text = copy;
  return S_OK;
}
