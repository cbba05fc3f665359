// The main window's platform side for native tests: no real window, every
// call recorded in order, a drop delivered by the test through the installed
// hook. Closing is the form's own headless Close(), which runs its unload
// handling as the real window does.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/window_host.h"

namespace qn::platform::sim {

class SimWindowHost : public WindowHost {
 public:
  // ---- knobs ----------------------------------------------------------------
  // What CreateMainWindow answers; anything but err::kNone refuses the window.
  ErrorCode createResult = err::kNone;
  // Runs at Show(), before the window counts as shown, for a test to look at
  // the window as it appears.
  std::function<void(ui::Form& form)> onShow;
  // Runs while a modal form is shown, for a test to look at it and act on
  // it (click its buttons). The form is closed afterwards if it is still open.
  std::function<void(ui::Form& form)> onModal;
  // What WindowHandle() gives while the window exists.
  uintptr_t handle = 0x1A2B;

  // ---- records --------------------------------------------------------------
  // "create", "accept drops", "hook", "unhook", "show", "release", in order.
  std::vector<std::string> calls;
  ui::Form* form = nullptr;  // the form while it has a window; not owned
  bool shown = false;
  bool acceptsDrops = false;
  bool hooked = false;
  // Titles of the forms shown modally, in order.
  std::vector<std::string> modalForms;

  // Drops `paths` on the window: the hook's handler sees them, when a hook is
  // installed. False when no hook took the drop.
  bool Drop(std::vector<std::string> paths);

  // ---- WindowHost -----------------------------------------------------------
  [[nodiscard]] ErrorCode CreateMainWindow(ui::Form& mainForm) override;
  void AcceptDroppedFiles() override;
  void InstallDropHook(DropHandler onDrop) override;
  void RemoveDropHook() override;
  void Show() override;
  void ShowModal(ui::Form& modal) override;
  uintptr_t WindowHandle() override;
  void Release() override;

 private:
  DropHandler onDrop_;
};

}  // namespace qn::platform::sim
