// Windows are polled every 50 ms until they appear or go; a button is pressed with BM_CLICK posted to
// it, so that the caller never waits on whatever the press starts (such as another message box).
#include "tests/windows/window_probe.h"

#include <cctype>
#include <cstdio>

namespace {

const DWORD kPollMs = 50;
const DWORD kPaintMs = 5000;  // the longest a window that has appeared may take to paint its icon

std::string WindowText(HWND window) {
  int length = GetWindowTextLengthA(window);
  std::string text(static_cast<size_t>(length) + 1, '\0');
  text.resize(static_cast<size_t>(GetWindowTextA(window, &text[0], length + 1)));
  return text;
}

// The pixels of a w by h area of dc, row by row.
std::vector<COLORREF> Pixels(HDC dc, int w, int h) {
  std::vector<COLORREF> pixels;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) pixels.push_back(GetPixel(dc, x, y));
  }
  return pixels;
}

// The system icon that the icon control shows ("information", ...), or "" when none fits. Icon handles
// belong to their process, so the control is compared by what it shows on the screen with each standard
// icon drawn on the same background; a window that has just appeared is given up to kPaintMs to paint.
std::string SystemIconName(HWND control) {
  struct Standard {
    LPCSTR id;
    const char *name;
  } const standards[] = {{IDI_INFORMATION, "information"},
                         {IDI_WARNING, "warning"},
                         {IDI_ERROR, "error"},
                         {IDI_QUESTION, "question"}};
  RECT area;
  GetClientRect(control, &area);
  POINT origin = {0, 0};
  ClientToScreen(control, &origin);
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, area.right, area.bottom);
  HGDIOBJ previous = SelectObject(memory, bitmap);
  std::string name;
  DWORD start = GetTickCount();
  while (name.empty() && area.right > 0 && area.bottom > 0) {
    BitBlt(memory, 0, 0, area.right, area.bottom, screen, origin.x, origin.y, SRCCOPY);
    std::vector<COLORREF> shown = Pixels(memory, area.right, area.bottom);
    for (const Standard &standard : standards) {
      HBRUSH background = CreateSolidBrush(shown[0]);
      FillRect(memory, &area, background);
      DeleteObject(background);
      DrawIconEx(memory, 0, 0, LoadIconA(nullptr, standard.id), 0, 0, 0, nullptr, DI_NORMAL);
      if (Pixels(memory, area.right, area.bottom) == shown) {
        name = standard.name;
        break;
      }
    }
    if (name.empty() && GetTickCount() - start >= kPaintMs) break;
    if (name.empty()) Sleep(kPollMs);
  }
  SelectObject(memory, previous);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return name;
}

BOOL CALLBACK CollectControl(HWND control, LPARAM list) {
  if (!IsWindowVisible(control)) return TRUE;
  char className[64] = "";
  GetClassNameA(control, className, sizeof className);
  ProbedControl probed{className, WindowText(control), IsWindowEnabled(control) != FALSE};
  if (lstrcmpiA(className, "Static") == 0) {
    probed.kind = "static";
    if ((GetWindowLongA(control, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
      HICON icon = reinterpret_cast<HICON>(SendMessageA(control, STM_GETICON, 0, 0));
      if (icon == nullptr) return TRUE;  // a place for an icon, left empty
      probed.kind = "icon";
      probed.text = SystemIconName(control);
    }
  } else if (lstrcmpiA(className, "Button") == 0) {
    probed.kind = "button";
  }
  reinterpret_cast<std::vector<ProbedControl> *>(list)->push_back(probed);
  return TRUE;
}

struct ButtonSearch {
  std::string text;  // wanted, without "&" marks
  HWND found = nullptr;
};

std::string WithoutMarks(const std::string &text) {
  std::string plain;
  for (char c : text) {
    if (c != '&') plain += c;
  }
  return plain;
}

BOOL CALLBACK FindButton(HWND control, LPARAM search) {
  ButtonSearch *wanted = reinterpret_cast<ButtonSearch *>(search);
  char className[64] = "";
  GetClassNameA(control, className, sizeof className);
  if (lstrcmpiA(className, "Button") == 0 && WithoutMarks(WindowText(control)) == wanted->text) {
    wanted->found = control;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

HWND WaitForWindow(const char *caption, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  for (;;) {
    HWND window = FindWindowA(nullptr, caption);
    if (window != nullptr && IsWindowVisible(window)) return window;
    if (GetTickCount() - start >= timeoutMs) return nullptr;
    Sleep(kPollMs);
  }
}

std::vector<ProbedControl> ReadControls(HWND window) {
  std::vector<ProbedControl> controls;
  EnumChildWindows(window, CollectControl, reinterpret_cast<LPARAM>(&controls));
  return controls;
}

std::string DescribeControls(const std::vector<ProbedControl> &controls) {
  std::string lines;
  for (const ProbedControl &control : controls) {
    lines += control.kind + ": " + EscapeText(control.text) + (control.enabled ? "" : " (disabled)") + "\n";
  }
  return lines;
}

bool PressButton(HWND window, const char *text, std::string *error) {
  ButtonSearch search;
  search.text = text;
  EnumChildWindows(window, FindButton, reinterpret_cast<LPARAM>(&search));
  if (search.found == nullptr) {
    *error = std::string("no button \"") + text + "\"";
    return false;
  }
  if (!IsWindowEnabled(search.found)) {
    *error = std::string("button \"") + text + "\" is disabled";
    return false;
  }
  PostMessageA(search.found, BM_CLICK, 0, 0);
  return true;
}

bool WaitUntilGone(HWND window, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  while (IsWindow(window)) {
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(kPollMs);
  }
  return true;
}

bool AnswerWindow(const char *caption, const char *button, DWORD timeoutMs, std::string *description,
                  std::string *error) {
  HWND window = WaitForWindow(caption, timeoutMs);
  if (window == nullptr) {
    *error = std::string("no window \"") + caption + "\"";
    return false;
  }
  *description = "window: " + EscapeText(caption) + "\n" + DescribeControls(ReadControls(window));
  if (!PressButton(window, button, error)) return false;
  if (!WaitUntilGone(window, timeoutMs)) {
    *error = std::string("\"") + caption + "\" stayed open";
    return false;
  }
  return true;
}

std::string EscapeText(const std::string &text) {
  std::string escaped;
  for (unsigned char c : text) {
    switch (c) {
      case '\n':
        escaped += "\\n";
        break;
      case '\r':
        escaped += "\\r";
        break;
      case '\t':
        escaped += "\\t";
        break;
      case '\\':
        escaped += "\\\\";
        break;
      default:
        if (c < 0x20 || c >= 0x7f) {
          char hex[5];
          std::snprintf(hex, sizeof hex, "\\x%02X", c);
          escaped += hex;
        } else {
          escaped += static_cast<char>(c);
        }
    }
  }
  return escaped;
}

bool UnescapeText(const std::string &text, std::string *bytes) {
  bytes->clear();
  for (size_t at = 0; at < text.size(); ++at) {
    if (text[at] != '\\') {
      *bytes += text[at];
      continue;
    }
    if (++at == text.size()) return false;
    switch (text[at]) {
      case 'n':
        *bytes += '\n';
        break;
      case 'r':
        *bytes += '\r';
        break;
      case 't':
        *bytes += '\t';
        break;
      case '\\':
        *bytes += '\\';
        break;
      case 'x':
        if (text.size() - at < 3 || !std::isxdigit(static_cast<unsigned char>(text[at + 1])) ||
            !std::isxdigit(static_cast<unsigned char>(text[at + 2]))) {
          return false;
        }
        *bytes += static_cast<char>(std::stoi(text.substr(at + 1, 2), nullptr, 16));
        at += 2;
        break;
      default:
        return false;
    }
  }
  return true;
}
