#include "platform/win32/window_host_win32.h"

#include <shellapi.h>

#include <string>
#include <utility>

#include "platform/win32/shim.h"

namespace qn::platform::win32 {

namespace {

// The host whose window the drop hook is in front of: one a process, as
// the procedure it replaced. Not a window property: that would be a trip to
// the window server (under Wine) for every message the window gets.
Win32WindowHost* hookOwner = nullptr;

// One WM_DROPFILES' items, read through DragQueryFile.
class Win32DroppedItems final : public DroppedItems {
 public:
  explicit Win32DroppedItems(HDROP drop) : drop_(drop) {}
  uint32_t Count() override { return DragQueryFileCountU(drop_); }
  std::string Item(uint32_t index) override { return DragQueryFileU(drop_, index); }

 private:
  HDROP drop_;  // owned by the message
};

}  // namespace

Win32WindowHost::Win32WindowHost(Win32Dialogs& dialogs, int showCommand, HINSTANCE instance)
    : dialogs_(dialogs), showCommand_(showCommand), instance_(instance) {}

Win32WindowHost::~Win32WindowHost() { Release(); }

ErrorCode Win32WindowHost::CreateMainWindow(ui::Form& form) {
  Release();
  auto window = std::make_unique<FormWindow>(form, instance_);
  SetLastError(ERROR_SUCCESS);
  if (!window->Create()) {
    const DWORD error = GetLastError();
    return error != ERROR_SUCCESS ? error : err::kGenFailure;
  }
  window_ = std::move(window);
  dialogs_.SetOwner(window_->hwnd());
  return err::kNone;
}

void Win32WindowHost::AcceptDroppedFiles() {
  if (HWND window = hwnd()) DragAcceptFiles(window, TRUE);
}

void Win32WindowHost::InstallDropHook(DropHandler onDrop) {
  HWND window = hwnd();
  if (!window) return;
  onDrop_ = std::move(onDrop);
  if (previousWindowProc_ || hookOwner != nullptr) return;
  hookOwner = this;
  const LONG_PTR previous =
      SetWindowLongPtrU(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Win32WindowHost::DropWindowProc));
  if (previous == 0) {
    hookOwner = nullptr;
    return;
  }
  previousWindowProc_ =
      reinterpret_cast<WNDPROC>(previous);  // NOLINT(performance-no-int-to-ptr): a procedure
}

void Win32WindowHost::RemoveDropHook() {
  if (HWND window = hwnd()) Unhook(window);
}

void Win32WindowHost::Unhook(HWND window) {
  if (!previousWindowProc_) return;
  // Put back only our own link; a procedure put in front of ours later would be cut off.
  if (GetWindowLongPtrU(window, GWLP_WNDPROC) !=
      reinterpret_cast<LONG_PTR>(&Win32WindowHost::DropWindowProc)) {
    return;
  }
  SetWindowLongPtrU(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previousWindowProc_));
  hookOwner = nullptr;
  previousWindowProc_ = nullptr;
}

void Win32WindowHost::Show() {
  if (window_) window_->Show(showCommand_);
}

void Win32WindowHost::ShowModal(ui::Form& form) {
  FormWindow dialog(form, instance_);
  (void)dialog.ShowModal(hwnd());  // a dialog Windows refuses to make is not shown
}

uintptr_t Win32WindowHost::WindowHandle() { return reinterpret_cast<uintptr_t>(hwnd()); }

void Win32WindowHost::Release() {
  RemoveDropHook();
  onDrop_ = nullptr;
  dialogs_.SetOwner(nullptr);
  window_.reset();  // destroys a remaining window without unloading the form
}

int Win32WindowHost::RunMessageLoop() { return window_ ? win32::RunMessageLoop(*window_) : 0; }

LRESULT CALLBACK Win32WindowHost::DropWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  Win32WindowHost* self = hookOwner;
  if (!self || !self->previousWindowProc_) return DefWindowProcU(hwnd, message, wParam, lParam);
  const WNDPROC previous = self->previousWindowProc_;
  if (message == WM_NCDESTROY) self->Unhook(hwnd);    // the window goes without an unload
  const auto drop = reinterpret_cast<HDROP>(wParam);  // NOLINT(performance-no-int-to-ptr): a handle
  if (message == WM_DROPFILES && self->onDrop_) {
    try {
      Win32DroppedItems items(drop);
      self->onDrop_(items);
    } catch (...) {
      // A failed drop leaves the window as it is; nothing crosses the window procedure.
    }
  }
  const LRESULT result = CallWindowProcU(previous, hwnd, message, wParam, lParam);
  // Nobody after us uses the drop handle; free it as the end of the drop.
  if (message == WM_DROPFILES) DragFinish(drop);
  return result;
}

}  // namespace qn::platform::win32
