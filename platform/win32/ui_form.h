// The Win32 binding of the control model: a real top-level window for a
// ui::Form and a real child window for each of its controls and menu items.
//
// Changes made by code reach the windows through the model's peers, with the
// windows' own notifications suppressed; what the user does comes back through
// the model's User...() entry points, so every handler runs exactly once and
// the event rule holds as it does headless.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "platform/ui/controls.h"

namespace qn::platform::win32 {

class ControlPeer;
class MenuPeer;
class FontCache;

class FormWindow final : private ui::Peer {
 public:
  // The form, its controls and menu items must outlive this object; the
  // peers it attaches are detached again by the destructor.
  explicit FormWindow(ui::Form& form, HINSTANCE instance = GetModuleHandleA(nullptr));
  ~FormWindow() override;
  FormWindow(const FormWindow&) = delete;
  FormWindow& operator=(const FormWindow&) = delete;

  // Creates the window hidden, with every control and the menu bar, at the
  // form's placement (or, while the form has no outer size yet, around its
  // design client area). `owner` makes it an owned pop-up (a dialog). Reports
  // the placement back to the form, which may run its resize handler. False
  // when Windows refused to create a window; nothing is left behind then.
  [[nodiscard]] bool Create(HWND owner = nullptr);
  // ShowWindow with the form's window state folded into `showCommand`.
  void Show(int showCommand);
  // Shows the form modally over `owner`: the owner is disabled, a nested
  // message loop runs until this form is closed, then the owner is enabled and
  // activated again. Creates the window first when needed; centres it over the
  // owner while the form has no position of its own. False when the window
  // could not be created. A WM_QUIT met on the way closes this form and is
  // posted again for the outer loop.
  [[nodiscard]] bool ShowModal(HWND owner);

  HWND hwnd() const { return hwnd_; }  // nullptr before Create and after the window is gone
  HWND ControlWindow(const ui::Control& control) const;
  HMENU MenuBar() const { return menuBar_; }

  // Every message the form window receives goes to `hook` first, before the
  // window's own handling (dropped files, for instance). The hook only watches.
  void SetMessageHook(std::function<void(UINT, WPARAM, LPARAM)> hook) { hook_ = std::move(hook); }

  // Twips to pixels and back at the screen's resolution (15 twips a pixel at 96 dpi).
  int PixelsX(int twips) const;
  int PixelsY(int twips) const;
  int TwipsX(int pixels) const;
  int TwipsY(int pixels) const;

 private:
  friend class ControlPeer;
  friend class MenuPeer;

  static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam);
  void Sync(ui::Prop what) override;

  [[nodiscard]] bool CreateControls();
  void CreateMenus();
  void CreateTooltips();
  void ReportPlacement();
  void ApplyPlacement();
  void ApplyState();
  void CloseNow();
  void MoveFocusToRequest();
  void ForgetWindow();
  void OnCommand(WPARAM wParam, LPARAM lParam);
  LRESULT OnControlColor(UINT message, WPARAM wParam, LPARAM lParam);
  bool OnSetCursor(HWND target, UINT hitTest);
  ControlPeer* PeerOf(HWND child) const;
  ControlPeer* PeerOf(const ui::Control& control) const;
  // Lets the keyboard reach the window again after the focused control was disabled or hidden.
  void RescueFocusLater();
  void RescueFocus();
  // Tab and Shift+Tab from `from`: the next usable control by tab index.
  // False when the focused control takes Tab itself.
  bool TabFrom(HWND from, bool backward);
  friend bool TranslateFormMessage(MSG& msg);

  ui::Form& form_;
  HINSTANCE instance_;
  HWND hwnd_ = nullptr;
  HWND owner_ = nullptr;
  HWND tooltip_ = nullptr;     // owned by hwnd_, destroyed with it
  HMENU menuBar_ = nullptr;    // owned by hwnd_ once attached
  HWND modalOwner_ = nullptr;  // the window ShowModal disabled
  int dpiX_ = 96;
  int dpiY_ = 96;
  bool ready_ = false;  // every control exists; placement reports reach the form
  bool closing_ = false;
  int focusNotifying_ = 0;  // >0 inside a control's focus message
  int lostFocusDepth_ = 0;  // >0 while a lost-focus handler runs
  bool focusArrivedDuringLost_ = false;
  ui::Control* focusTarget_ = nullptr;  // where a posted focus request goes
  bool destroyingQuietly_ = false;      // the object goes away: no handlers run
  bool rescuePosted_ = false;
  std::vector<std::unique_ptr<ControlPeer>> controls_;
  std::vector<std::unique_ptr<MenuPeer>> menus_;
  std::unique_ptr<FontCache> fonts_;
  std::function<void(UINT, WPARAM, LPARAM)> hook_;
};

// Offers `msg` to the dialog keyboard handling (Tab, arrows, Enter for the
// default button, access keys) of the form window it belongs to. True when it
// was handled there and must not be dispatched.
bool TranslateFormMessage(MSG& msg);

// Runs the thread's message loop until `main` is gone or WM_QUIT arrives.
// Gives the WM_QUIT code, or 0 when the window was closed.
int RunMessageLoop(const FormWindow& main);

}  // namespace qn::platform::win32
