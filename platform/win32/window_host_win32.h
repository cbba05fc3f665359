// The main window's platform side on the real machine: a FormWindow for the
// form, drop acceptance, and the drop hook put in front of the window's own
// procedure with SetWindowLongPtr (GWLP_WNDPROC), the previous procedure kept
// to pass every message on to and to be put back at exit.
#pragma once

#include <windows.h>

#include <memory>

#include "platform/win32/dialogs_win32.h"
#include "platform/win32/ui_form.h"
#include "platform/window_host.h"

namespace qn::platform::win32 {

class Win32WindowHost final : public WindowHost {
 public:
  // `dialogs` gets the window as the owner of its boxes while the window
  // exists; `showCommand` is the program's show mode (WinMain's), used by Show().
  Win32WindowHost(Win32Dialogs& dialogs, int showCommand, HINSTANCE instance = GetModuleHandleA(nullptr));
  ~Win32WindowHost() override;
  Win32WindowHost(const Win32WindowHost&) = delete;
  Win32WindowHost& operator=(const Win32WindowHost&) = delete;

  [[nodiscard]] ErrorCode CreateMainWindow(ui::Form& form) override;
  void AcceptDroppedFiles() override;
  void InstallDropHook(DropHandler onDrop) override;
  void RemoveDropHook() override;
  void Show() override;
  void ShowModal(ui::Form& form) override;
  uintptr_t WindowHandle() override;
  void Release() override;

  // Runs the message loop until the window is gone: 0, or the WM_QUIT code.
  int RunMessageLoop();
  HWND hwnd() const { return window_ ? window_->hwnd() : nullptr; }

 private:
  static LRESULT CALLBACK DropWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  void Unhook(HWND hwnd);

  Win32Dialogs& dialogs_;
  int showCommand_;
  HINSTANCE instance_;
  std::unique_ptr<FormWindow> window_;
  WNDPROC previousWindowProc_ = nullptr;  // while the hook is installed
  DropHandler onDrop_;
};

}  // namespace qn::platform::win32
