// What the Windows tests need to see and drive the program's windows as a user would: find a top-level
// window by its caption, read its static texts and buttons, and press a button. Used in-process by the
// framework's tests and, through winhelper, by the harness's scripts.
#ifndef RUNEFLOW_TESTS_WINDOWS_WINDOW_PROBE_H
#define RUNEFLOW_TESTS_WINDOWS_WINDOW_PROBE_H

#include <windows.h>

#include <string>
#include <vector>

// One control of a window, in the window's own order.
struct ProbedControl {
  std::string kind;  // "static", "icon" (a static showing an icon), "button" or the window class name
  std::string text;  // its text; for an icon, the system icon it shows ("information", ...) or ""
  bool enabled;
};

// The visible top-level window with exactly this caption, waited for up to timeoutMs; null when none
// appeared.
HWND WaitForWindow(const char *caption, DWORD timeoutMs);
// The window's visible controls (a static meant for an icon counts only when it shows one).
std::vector<ProbedControl> ReadControls(HWND window);
// One line per control, "kind: text" (with " (disabled)" for a disabled one), the text escaped with
// EscapeText.
std::string DescribeControls(const std::vector<ProbedControl> &controls);
// Presses the enabled button whose text, without its "&" marks, is text. False, with the reason in
// *error, when there is no such button or it is disabled.
bool PressButton(HWND window, const char *text, std::string *error);
// Waits up to timeoutMs for the window to be destroyed.
bool WaitUntilGone(HWND window, DWORD timeoutMs);
// What a user does with a message box or dialog: waits up to timeoutMs for the window caption, describes
// its controls (DescribeControls, after a first line "window: CAPTION") into *description, presses
// button and waits up to timeoutMs for the window to close. False, with the reason in *error, when any
// step fails.
bool AnswerWindow(const char *caption, const char *button, DWORD timeoutMs, std::string *description,
                  std::string *error);
// The bytes of text with "\\", line breaks, tabs and every byte outside printable ASCII written as
// C escapes (\n, \r, \t, \\, \xHH), so that any text fits on one line.
std::string EscapeText(const std::string &text);
// The bytes that EscapeText wrote as text (any other byte stands for itself). False, with *bytes
// unspecified, when a backslash starts no such escape.
bool UnescapeText(const std::string &text, std::string *bytes);

#endif
