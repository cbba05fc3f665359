#include "tests/wine/support/gui.h"

#include <cstdint>
#include <fstream>

#include "platform/win32/ui_form.h"
#include "platform/win32/shim.h"
#include "tests/wine/wine_test_util.h"

namespace qn::guitest {

using platform::win32::Narrow;
using platform::win32::Widen;

void PumpPending() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));  // for the loop that waits for it
      return;
    }
    if (platform::win32::TranslateFormMessage(msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

bool PumpUntil(const std::function<bool()>& done, int milliseconds) {
  const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(milliseconds);
  for (;;) {
    PumpPending();
    if (done()) return true;
    if (GetTickCount64() >= end) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
}

void PumpFor(int milliseconds) {
  PumpUntil([] { return false; }, milliseconds);
}

void PressKey(HWND hwnd, UINT virtualKey) {
  UINT scan = MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC);
  PostMessageW(hwnd, WM_KEYDOWN, virtualKey, 1 | (static_cast<LPARAM>(scan) << 16));
  PostMessageW(hwnd, WM_KEYUP, virtualKey, 1 | (static_cast<LPARAM>(scan) << 16) | (LPARAM{3} << 30));
  PumpPending();
}

void TypeText(HWND hwnd, std::string_view text) {
  for (wchar_t c : Widen(text)) PostMessageW(hwnd, WM_CHAR, c, 1);
  PumpPending();
}

std::vector<HWND> TopLevelWindows(DWORD processId, bool visibleOnly) {
  std::vector<HWND> found;
  EnumWindows(
      [](HWND hwnd, LPARAM all) {
        reinterpret_cast<std::vector<HWND>*>(all)->push_back(hwnd);  // NOLINT(performance-no-int-to-ptr)
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  std::erase_if(found, [&](HWND hwnd) {
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    return pid != processId || (visibleOnly && !IsWindowVisible(hwnd));
  });
  return found;
}

std::string WindowText(HWND hwnd) {
  int length = GetWindowTextLengthW(hwnd);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  int got = GetWindowTextW(hwnd, text.data(), length + 1);
  text.resize(static_cast<size_t>(got > 0 ? got : 0));
  return Narrow(text);
}

std::string ClassName(HWND hwnd) {
  wchar_t name[256] = {};
  int got = GetClassNameW(hwnd, name, 256);
  return Narrow(std::wstring_view(name, static_cast<size_t>(got > 0 ? got : 0)));
}

std::optional<MessageBoxInfo> ReadMessageBox(HWND hwnd) {
  if (!IsWindow(hwnd) || ClassName(hwnd) != "#32770") return std::nullopt;
  MessageBoxInfo info;
  info.hwnd = hwnd;
  info.title = WindowText(hwnd);
  if (HWND text = GetDlgItem(hwnd, 0xFFFF)) info.text = WindowText(text);
  for (int id : {IDOK, IDCANCEL, IDABORT, IDRETRY, IDIGNORE, IDYES, IDNO, IDTRYAGAIN, IDCONTINUE}) {
    if (HWND button = GetDlgItem(hwnd, id); button && ClassName(button) == "Button")
      info.buttons.push_back(id);
  }
  return info;
}

std::optional<MessageBoxInfo> WaitForMessageBox(DWORD processId, int milliseconds) {
  std::optional<MessageBoxInfo> found;
  PumpUntil(
      [&] {
        for (HWND hwnd : TopLevelWindows(processId)) {
          if ((found = ReadMessageBox(hwnd))) return true;
        }
        return false;
      },
      milliseconds);
  return found;
}

bool AnswerMessageBox(HWND box, int id) {
  HWND button = GetDlgItem(box, id);
  if (!button) return false;
  return PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button)) != FALSE;
}

std::optional<MenuPlace> FindMenuItem(HMENU menu, const std::vector<std::string>& path) {
  std::optional<MenuPlace> place;
  for (const std::string& caption : path) {
    if (!menu) return std::nullopt;
    place.reset();
    int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
      wchar_t text[256] = {};
      int got = GetMenuStringW(menu, static_cast<UINT>(i), text, 256, MF_BYPOSITION);
      if (Narrow(std::wstring_view(text, static_cast<size_t>(got > 0 ? got : 0))) != caption) continue;
      place = MenuPlace{menu, static_cast<UINT>(i), GetMenuItemID(menu, i)};
      break;
    }
    if (!place) return std::nullopt;
    menu = GetSubMenu(place->menu, static_cast<int>(place->position));
  }
  return place;
}

std::vector<uint32_t> ScreenPixels(const RECT& area, const std::function<void(HDC)>& over) {
  const int width = area.right - area.left;
  const int height = area.bottom - area.top;
  std::vector<uint32_t> pixels;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader = {sizeof info.bmiHeader, width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (width > 0 && height > 0 && bitmap != nullptr && bits != nullptr) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    if (BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY)) {
      if (over) over(memory);
      GdiFlush();
      const auto* from = static_cast<const uint32_t*>(bits);
      pixels.assign(from, from + static_cast<size_t>(width) * static_cast<size_t>(height));
    }
    SelectObject(memory, old);
  }
  if (bitmap != nullptr) DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return pixels;
}

bool SaveWindowImage(HWND hwnd, const std::string& path) {
  RECT r;
  return GetWindowRect(hwnd, &r) && SaveScreenImage(r, path);
}

bool SaveScreenImage(const RECT& r, const std::string& path) {
  if (r.right <= r.left || r.bottom <= r.top) return false;
  std::vector<uint32_t> pixels = ScreenPixels(r);
  if (pixels.empty()) return false;
  for (uint32_t& pixel : pixels) pixel |= 0xFF000000u;  // opaque, for viewers that read the fourth byte
  const auto imageSize = static_cast<DWORD>(pixels.size() * sizeof(uint32_t));
  const BITMAPINFOHEADER info{
      sizeof info, r.right - r.left, -(r.bottom - r.top), 1, 32, BI_RGB, imageSize, 0, 0, 0, 0};
  const BITMAPFILEHEADER file{0x4D42 /* "BM" */, static_cast<DWORD>(sizeof file + sizeof info + imageSize), 0,
                              0, sizeof file + sizeof info};
  std::ofstream out(Widen(path).c_str(), std::ios::binary);
  out.write(reinterpret_cast<const char*>(&file), sizeof file);
  out.write(reinterpret_cast<const char*>(&info), sizeof info);
  out.write(reinterpret_cast<const char*>(pixels.data()), imageSize);
  return out.good();
}

std::string ScreenshotFolder() {
  const std::string build = winetest::BuildDir();
  if (build.empty()) return {};
  std::string folder = build + "\\screenshots";
  CreateDirectoryW(Widen(folder).c_str(), nullptr);
  return folder;
}

}  // namespace qn::guitest
