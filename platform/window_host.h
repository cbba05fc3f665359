// What the start procedure asks of the main window's real (platform) side
// beyond System and Dialogs: making the window, letting it take dropped
// files, putting the drop hook in front of its own procedure and taking it
// away again, showing it and dialogs over it. The Win32 backend does it with
// a FormWindow; the simulated one records the calls for the native tests.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/system.h"
#include "platform/ui/controls.h"

namespace qn::platform {

// The items of one drop. Valid only while the drop handler runs.
class DroppedItems {
 public:
  virtual ~DroppedItems() = default;
  DroppedItems() = default;
  DroppedItems(const DroppedItems&) = delete;
  DroppedItems& operator=(const DroppedItems&) = delete;

  // How many files and folders were dropped.
  virtual uint32_t Count() = 0;
  // The full path of item `index` as the platform lists it, cut at 259
  // characters (a 260-character buffer); "" past the last item.
  virtual std::string Item(uint32_t index) = 0;
};

// Runs for every drop on the main window, before the drop message goes on to
// the window's own procedure.
using DropHandler = std::function<void(DroppedItems& items)>;

class WindowHost {
 public:
  virtual ~WindowHost() = default;
  WindowHost() = default;
  WindowHost(const WindowHost&) = delete;
  WindowHost& operator=(const WindowHost&) = delete;

  // Makes the real window of `form`, hidden, at the form's placement. `form`
  // must outlive the host. err::kNone, or why the platform refused (nothing is
  // left behind then).
  [[nodiscard]] virtual ErrorCode CreateMainWindow(ui::Form& form) = 0;
  // Lets the window receive dropped files (DragAcceptFiles).
  virtual void AcceptDroppedFiles() = 0;
  // Puts the drop hook in front of the window's own procedure. Every message
  // is passed on to the previous procedure unchanged; a drop runs `onDrop`
  // (when set) first. A second call only replaces the handler.
  virtual void InstallDropHook(DropHandler onDrop) = 0;
  // Puts the previous procedure back; nothing when no hook is installed.
  virtual void RemoveDropHook() = 0;
  // Shows the window, modeless and without an owner.
  virtual void Show() = 0;
  // Shows `form` (a dialog such as the version dialog) modally over the main
  // window: the main window takes no input until the form is closed, and its
  // window is destroyed then. Returns once it is closed; nothing is shown
  // when the platform cannot make the window. `form` must outlive the call.
  virtual void ShowModal(ui::Form& form) = 0;
  // The main window's handle as a number, the owner of what the shell opens
  // for it; 0 while there is no window.
  virtual uintptr_t WindowHandle() = 0;
  // Destroys the window, if it is still there, without unloading the form (no
  // unload handling runs) and lets go of the form. For a start-up that cannot
  // go on, and before the form itself goes.
  virtual void Release() = 0;
};

}  // namespace qn::platform
