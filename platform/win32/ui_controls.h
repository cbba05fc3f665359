// Inside the Win32 binding: the peers of single controls and menu items, and
// the fonts they share. Only the binding's own files include this.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "platform/ui/controls.h"

namespace qn::platform::win32 {

class FormWindow;

// Tab position of a control; one without an index goes last, in design order.
int TabKey(const ui::Control& control);
// The members of an option's group (or the option alone) in tab order.
std::vector<ui::OptionButton*> GroupInTabOrder(ui::OptionButton& option);

// A model colour as a COLORREF; a system colour is looked up now.
COLORREF ResolveColor(ui::Color color);

// Fonts made from the model's descriptions, one per distinct description,
// deleted with the cache.
class FontCache {
 public:
  explicit FontCache(int dpiY) : dpiY_(dpiY) {}
  ~FontCache();
  FontCache(const FontCache&) = delete;
  FontCache& operator=(const FontCache&) = delete;

  // The font for `font`; an empty face is the default GUI font with the
  // given style. A face that Windows can only replace by a font without the
  // requested character set gives way to the system's own choice for that
  // character set, so Japanese captions stay readable. Never null.
  HFONT Get(const ui::Font& font);
  // Height in pixels of one line of text in that font.
  int LineHeight(const ui::Font& font);

 private:
  using Key = std::tuple<std::string, int, bool, bool, int>;
  int dpiY_;
  std::map<Key, HFONT> fonts_;
};

// Binds one control to its child window.
class ControlPeer final : public ui::Peer {
 public:
  ControlPeer(FormWindow& owner, ui::Control& control, int id);
  ~ControlPeer() override;
  ControlPeer(const ControlPeer&) = delete;
  ControlPeer& operator=(const ControlPeer&) = delete;

  // Creates the child window inside `parent` and attaches this peer to the
  // control. `groupStart` marks the first control of a keyboard group. False
  // when Windows refused to create it.
  [[nodiscard]] bool Create(HWND parent, bool groupStart);
  void Sync(ui::Prop what) override;

  // A WM_COMMAND notification of this control reached the form.
  void OnNotify(int code);
  // The font the control is drawn with: its own, or the form's; underlined for a label button.
  ui::Font EffectiveFont() const;
  // Gives WS_TABSTOP to the one member of this option's group that Tab should
  // reach: the selected one, or the first while none is selected.
  void UpdateGroupTabStops();
  // True when the control and every window above it inside the form take input.
  bool Usable() const;

  ui::Control& control;
  const int id;
  HWND hwnd = nullptr;

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK FrameProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT Handle(HWND self, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleFrame(HWND self, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT CallOriginal(HWND self, UINT message, WPARAM wParam, LPARAM lParam);
  void PaintFrame(HWND self);
  void OnUserEdit();
  bool OnChar(WPARAM& key);
  void OnArrow(bool forward);
  void OnGotFocus();
  void OnLostFocus(HWND next);
  void OnMouse(UINT message, LPARAM lParam);
  void PushText();
  void PushSelection();
  void PushValue();
  void ApplyFont();
  bool HasFocusInside() const;

  friend class FormWindow;
  FormWindow& owner_;
  WNDPROC original_ = nullptr;
  int suppress_ = 0;        // >0 while a change made by code is pushed: notifications are echoes
  bool pressed_ = false;    // a mouse button went down on this label or image
  bool skipClick_ = false;  // that press was the second of a double-click
  HICON icon_ = nullptr;    // owned
  HFONT font_ = nullptr;    // owned by the form's font cache
};

// Binds one menu item to its place in a menu.
class MenuPeer final : public ui::Peer {
 public:
  MenuPeer(FormWindow& owner, ui::MenuItem& bound, MenuPeer* above, HMENU holder, UINT at, UINT command);
  ~MenuPeer() override;
  MenuPeer(const MenuPeer&) = delete;
  MenuPeer& operator=(const MenuPeer&) = delete;

  void Sync(ui::Prop what) override;
  // The user can reach it: the item and every menu above it are enabled.
  bool Reachable() const;

  ui::MenuItem& item;
  MenuPeer* const parent;  // nullptr for a menu of the menu bar
  const HMENU menu;        // the menu that holds the item
  const UINT position;
  const UINT id;  // 0 for an item that opens a submenu

 private:
  FormWindow& owner_;
};

}  // namespace qn::platform::win32
