// Helpers of the GUI tests under Wine: pumping this thread's messages, finding
// the windows and message boxes of a process (this one or a started program),
// answering boxes, walking menus, and saving what the screen shows of a window.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qn::guitest {

// Handles every message queued for this thread, the forms' dialog keys
// included, and returns when the queue is empty. Keyboard input posted to a
// control takes this way, as typed keys do.
void PumpPending();
// Pumps this thread's messages until `done` holds or `milliseconds` have
// passed; true when it held. For waiting on another process.
bool PumpUntil(const std::function<bool()>& done, int milliseconds);
// Pumps this thread's messages for `milliseconds`.
void PumpFor(int milliseconds);

// Posts a key press (WM_KEYDOWN, then WM_KEYUP) to `hwnd` and pumps it
// through, the way the keyboard delivers it to the focused control.
void PressKey(HWND hwnd, UINT virtualKey);
// Posts the characters of `text` (UTF-8) as WM_CHAR to `hwnd` and pumps them through.
void TypeText(HWND hwnd, std::string_view text);

// Visible (or all) top-level windows of a process, in z-order.
std::vector<HWND> TopLevelWindows(DWORD processId, bool visibleOnly = true);
// A window's text and class name in UTF-8.
std::string WindowText(HWND hwnd);
std::string ClassName(HWND hwnd);

// What a message box shows: a "#32770" dialog, its text in the static with
// id 0xFFFF, its buttons by id (IDOK, IDCANCEL, IDYES, ...).
struct MessageBoxInfo {
  HWND hwnd = nullptr;
  std::string title;
  std::string text;
  std::vector<int> buttons;
};
// Reads `hwnd` as a message box; nothing when it is not one.
std::optional<MessageBoxInfo> ReadMessageBox(HWND hwnd);
// Waits (pumping) up to `milliseconds` for a message box of `processId`.
std::optional<MessageBoxInfo> WaitForMessageBox(DWORD processId, int milliseconds);
// Presses button `id` of a message box as its button would; false when it has no such button.
bool AnswerMessageBox(HWND box, int id);

// An item of a menu: its menu, position and command id (-1 for a submenu).
struct MenuPlace {
  HMENU menu = nullptr;
  UINT position = 0;
  UINT id = 0;
};
// Finds an item by its captions along the path from `menu` ("&" included,
// exactly as shown in the menu text); nothing when a step is missing.
std::optional<MenuPlace> FindMenuItem(HMENU menu, const std::vector<std::string>& path);

// The pixels the screen shows in `area` (screen coordinates), top-down and
// 32 bits each, with `over` painted on them first; empty on failure.
std::vector<uint32_t> ScreenPixels(const RECT& area, const std::function<void(HDC)>& over = {});
// Saves what the screen shows in `area` (screen coordinates), or of `hwnd`
// with its frame, as a 32-bit .bmp (copied from the screen DC, so it is what
// the user sees, menus and boxes above it included); false on failure.
bool SaveScreenImage(const RECT& area, const std::string& path);
bool SaveWindowImage(HWND hwnd, const std::string& path);
// `<build dir>\screenshots`, created when missing; "" when the build dir is unknown.
std::string ScreenshotFolder();

}  // namespace qn::guitest
