#include "platform/win32/ui_form.h"

#include <commctrl.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>

#include "platform/win32/shim.h"
#include "platform/win32/ui_controls.h"

namespace qn::platform::win32 {

namespace {

constexpr char kFormClass[] = "QuarnimoForm";
constexpr char kFrameClass[] = "QuarnimoFrame";
// Private messages of the form window.
constexpr UINT kFocusMessage = WM_APP + 0x51;   // move the focus to the control a handler asked for
constexpr UINT kRescueMessage = WM_APP + 0x52;  // the focused control was disabled or hidden
constexpr int kFirstControlId = 100;
constexpr UINT kFirstMenuId = 1000;  // below the system commands (0xF000 up)
constexpr int kMaxFrameDepth = 16;

bool RegisterClasses(HINSTANCE instance, WNDPROC formProc, WNDPROC frameProc) {
  static bool commonControls = false;
  if (!commonControls) {
    // The common controls of 95 and NT 4.0 (4.00) register their classes with
    // the older call only; the extended one came with 4.70.
    InitCommonControls();
    commonControls = true;
  }
  // The class names are ASCII: the A call answers for a class of either kind.
  WNDCLASSEXA existing{};
  existing.cbSize = sizeof existing;
  if (!GetClassInfoExA(instance, kFormClass, &existing)) {
    // A dialog class of our own: DefDlgProc gives Tab, the default button and
    // the saved focus, and our procedure sees every message first.
    WNDCLASSEXA form{};
    form.cbSize = sizeof form;
    form.lpfnWndProc = formProc;
    form.cbWndExtra = DLGWINDOWEXTRA;
    form.hInstance = instance;
    form.hCursor = LoadCursorU(nullptr, IDC_ARROW);
    form.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    form.lpszClassName = kFormClass;
    if (!RegisterClassExU(form) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
  }
  if (!GetClassInfoExA(instance, kFrameClass, &existing)) {
    WNDCLASSEXA frame{};
    frame.cbSize = sizeof frame;
    frame.style = CS_HREDRAW | CS_VREDRAW;
    frame.lpfnWndProc = frameProc;
    frame.hInstance = instance;
    frame.hCursor = LoadCursorU(nullptr, IDC_ARROW);
    frame.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    frame.lpszClassName = kFrameClass;
    if (!RegisterClassExU(frame) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
  }
  return true;
}

bool IsFormWindow(HWND hwnd) {
  char name[32];
  return GetClassNameA(hwnd, name, 32) > 0 && std::strcmp(name, kFormClass) == 0;
}

// A frame stands in the tab order where its first control does, so the
// keyboard visits its contents among the other controls by their indexes.
int EffectiveTabKey(const ui::Control& control, const std::vector<ui::Control*>& all, int depth) {
  int key = TabKey(control);
  if (control.kind() != ui::Kind::kFrame || depth > kMaxFrameDepth) return key;
  for (const ui::Control* inner : all) {
    if (inner->container == &control) key = std::min(key, EffectiveTabKey(*inner, all, depth + 1));
  }
  return key;
}

}  // namespace

FormWindow::FormWindow(ui::Form& form, HINSTANCE instance) : form_(form), instance_(instance) {
  HDC screen = GetDC(nullptr);
  if (screen) {
    dpiX_ = std::max(1, GetDeviceCaps(screen, LOGPIXELSX));
    dpiY_ = std::max(1, GetDeviceCaps(screen, LOGPIXELSY));
    ReleaseDC(nullptr, screen);
  }
  fonts_ = std::make_unique<FontCache>(dpiY_);
}

FormWindow::~FormWindow() {
  destroyingQuietly_ = true;
  if (hwnd_) DestroyWindow(hwnd_);
  if (form_.peer == this) form_.peer = nullptr;
  controls_.clear();
  menus_.clear();
}

int FormWindow::PixelsX(int twips) const { return MulDiv(twips, dpiX_, 1440); }
int FormWindow::PixelsY(int twips) const { return MulDiv(twips, dpiY_, 1440); }
int FormWindow::TwipsX(int pixels) const { return MulDiv(pixels, 1440, dpiX_); }
int FormWindow::TwipsY(int pixels) const { return MulDiv(pixels, 1440, dpiY_); }

HWND FormWindow::ControlWindow(const ui::Control& control) const {
  ControlPeer* peer = PeerOf(control);
  return peer ? peer->hwnd : nullptr;
}

ControlPeer* FormWindow::PeerOf(HWND child) const {
  if (!child) return nullptr;
  for (const auto& peer : controls_) {
    if (peer->hwnd == child) return peer.get();
  }
  return nullptr;
}

ControlPeer* FormWindow::PeerOf(const ui::Control& control) const {
  for (const auto& peer : controls_) {
    if (&peer->control == &control) return peer.get();
  }
  return nullptr;
}

// ---- creation -------------------------------------------------------------------

bool FormWindow::Create(HWND owner) {
  if (hwnd_) return true;
  if (!RegisterClasses(instance_, &FormWindow::Proc, &ControlPeer::FrameProc)) return false;
  controls_.clear();
  menus_.clear();
  owner_ = owner;

  DWORD style = WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN | (owner ? WS_POPUP : WS_OVERLAPPED);
  if (form_.minButton) style |= WS_MINIMIZEBOX;
  if (form_.maxButton) style |= WS_MAXIMIZEBOX;
  DWORD exStyle = WS_EX_CONTROLPARENT;
  if (!form_.minButton && !form_.maxButton) exStyle |= WS_EX_DLGMODALFRAME;

  CreateMenus();
  int width = PixelsX(form_.Width());
  int height = PixelsY(form_.Height());
  if (width <= 0 || height <= 0) {
    RECT outer{0, 0, PixelsX(form_.designClient.width), PixelsY(form_.designClient.height)};
    AdjustWindowRectEx(&outer, style, menuBar_ != nullptr, exStyle);
    width = outer.right - outer.left;
    height = outer.bottom - outer.top;
  }
  HWND made = CreateWindowExU(exStyle, kFormClass, form_.Title(), style, PixelsX(form_.Left()),
                              PixelsY(form_.Top()), width, height, owner, menuBar_, instance_, this);
  if (!made) {
    if (menuBar_) DestroyMenu(menuBar_);
    menuBar_ = nullptr;
    menus_.clear();
    return false;
  }
  if (!CreateControls()) {
    destroyingQuietly_ = true;
    DestroyWindow(made);
    destroyingQuietly_ = false;
    controls_.clear();  // detaches the controls made so far
    menus_.clear();
    return false;
  }
  CreateTooltips();
  if (form_.iconResource != 0) {
    auto* id = MAKEINTRESOURCEW(form_.iconResource);
    HANDLE big = LoadImageU(instance_, id, IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                            GetSystemMetrics(SM_CYICON), LR_SHARED);
    HANDLE small = LoadImageU(instance_, id, IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                              GetSystemMetrics(SM_CYSMICON), LR_SHARED);
    if (big) SendMessageU(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
    if (small) SendMessageU(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
  }
  form_.peer = this;
  form_.PlatformLoaded();
  if (!form_.CloseEnabled()) Sync(ui::Prop::kCloseEnabled);
  ready_ = true;
  ReportPlacement();
  return true;
}

bool FormWindow::CreateControls() {
  const std::vector<ui::Control*>& all = form_.Controls();
  for (size_t i = 0; i < all.size(); ++i) {
    controls_.push_back(std::make_unique<ControlPeer>(*this, *all[i], kFirstControlId + static_cast<int>(i)));
  }
  // Children follow their parent in creation order, which is the z-order and
  // so the order of Tab.
  struct Level {
    static bool Create(FormWindow& self, const ui::Control* container, HWND parent, int depth) {
      if (depth > kMaxFrameDepth) return true;
      const std::vector<ui::Control*>& all = self.form_.Controls();
      std::vector<ControlPeer*> inside;
      for (const auto& peer : self.controls_) {
        if (peer->control.container == container) inside.push_back(peer.get());
      }
      std::stable_sort(inside.begin(), inside.end(), [&all](const ControlPeer* a, const ControlPeer* b) {
        return EffectiveTabKey(a->control, all, 0) < EffectiveTabKey(b->control, all, 0);
      });
      const ui::OptionButton* previous = nullptr;
      for (ControlPeer* peer : inside) {
        const ui::OptionButton* option = peer->control.kind() == ui::Kind::kOptionButton
                                             ? static_cast<const ui::OptionButton*>(&peer->control)
                                             : nullptr;
        bool groupStart = !(option && previous && option->group && option->group == previous->group);
        if (!peer->Create(parent, groupStart)) return false;
        if (peer->control.kind() == ui::Kind::kFrame &&
            !Create(self, &peer->control, peer->hwnd, depth + 1)) {
          return false;
        }
        previous = option;
      }
      return true;
    }
  };
  if (!Level::Create(*this, nullptr, hwnd_, 0)) return false;
  for (const auto& peer : controls_) {
    peer->UpdateGroupTabStops();
    if (peer->control.kind() == ui::Kind::kCommandButton &&
        static_cast<ui::CommandButton&>(peer->control).isDefault && GetParent(peer->hwnd) == hwnd_) {
      SendMessageU(hwnd_, DM_SETDEFID, static_cast<WPARAM>(peer->id), 0);
    }
  }
  return true;
}

void FormWindow::CreateMenus() {
  if (form_.menuBar.empty()) return;
  menuBar_ = CreateMenu();
  if (!menuBar_) return;
  struct Level {
    static void Fill(FormWindow& self, HMENU menu, const std::vector<ui::MenuItem*>& items, MenuPeer* parent,
                     int depth) {
      UINT position = 0;
      for (ui::MenuItem* item : items) {
        if (!item) continue;
        UINT id = kFirstMenuId + static_cast<UINT>(self.menus_.size());
        UINT flags = MF_STRING;
        if (!item->Enabled()) flags |= MF_GRAYED;
        if (item->Checked()) flags |= MF_CHECKED;
        HMENU sub = nullptr;
        if (item->IsSeparator()) {
          flags = MF_SEPARATOR;
        } else if (!item->items.empty() && depth < kMaxFrameDepth) {
          sub = CreatePopupMenu();
          if (sub) flags |= MF_POPUP;
        }
        UINT_PTR handle = sub ? reinterpret_cast<UINT_PTR>(sub) : id;
        if (!AppendMenuU(menu, flags, handle, item->Caption())) {
          if (sub) DestroyMenu(sub);
          continue;
        }
        self.menus_.push_back(std::make_unique<MenuPeer>(self, *item, parent, menu, position, sub ? 0 : id));
        MenuPeer* peer = self.menus_.back().get();
        if (sub) Fill(self, sub, item->items, peer, depth + 1);
        ++position;
      }
    }
  };
  Level::Fill(*this, menuBar_, form_.menuBar, nullptr, 0);
}

void FormWindow::CreateTooltips() {
  bool any = std::any_of(controls_.begin(), controls_.end(),
                         [](const auto& peer) { return peer->hwnd && !peer->control.tooltip.empty(); });
  if (!any) return;
  tooltip_ = CreateWindowExU(WS_EX_TOPMOST, TOOLTIPS_CLASSA, "", WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr,
                             instance_, nullptr);
  if (!tooltip_) return;
  // The form's font draws the Japanese tips where the system's tooltip font may not.
  SendMessageU(tooltip_, WM_SETFONT, reinterpret_cast<WPARAM>(fonts_->Get(form_.font)), FALSE);
  for (const auto& peer : controls_) {
    if (!peer->hwnd || peer->control.tooltip.empty()) continue;
    AddToolU(tooltip_, GetParent(peer->hwnd), peer->hwnd, TTF_IDISHWND | TTF_SUBCLASS, peer->control.tooltip);
  }
}

// ---- showing --------------------------------------------------------------------

void FormWindow::Show(int showCommand) {
  if (!hwnd_) return;
  bool plain = showCommand == SW_SHOW || showCommand == SW_SHOWNORMAL || showCommand == SW_SHOWDEFAULT ||
               showCommand == SW_SHOWNA || showCommand == SW_SHOWNOACTIVATE;
  if (plain && form_.State() == ui::WindowState::kMaximized) showCommand = SW_SHOWMAXIMIZED;
  if (plain && form_.State() == ui::WindowState::kMinimized) showCommand = SW_SHOWMINIMIZED;
  ShowWindow(hwnd_, showCommand);
  if (hwnd_) UpdateWindow(hwnd_);
  ReportPlacement();
}

bool FormWindow::ShowModal(HWND owner) {
  if (!hwnd_ && !Create(owner)) return false;
  if (owner && form_.Left() == 0 && form_.Top() == 0) {
    RECT outer;
    RECT mine;
    GetWindowRect(owner, &outer);
    GetWindowRect(hwnd_, &mine);
    int x = outer.left + ((outer.right - outer.left) - (mine.right - mine.left)) / 2;
    int y = outer.top + ((outer.bottom - outer.top) - (mine.bottom - mine.top)) / 2;
    SetWindowPos(hwnd_, nullptr, std::max(0, x), std::max(0, y), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  if (owner && IsWindowEnabled(owner)) {
    modalOwner_ = owner;
    EnableWindow(owner, FALSE);
  }
  Show(SW_SHOWNORMAL);
  MSG msg;
  while (hwnd_) {
    BOOL got = GetMessageU(&msg);
    if (got == 0) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      CloseNow();
      break;
    }
    if (got == -1) break;
    if (!TranslateFormMessage(msg)) {
      TranslateMessage(&msg);
      DispatchMessageU(&msg);
    }
  }
  if (hwnd_) CloseNow();  // the loop ended another way: the form is unloaded all the same
  if (hwnd_) DestroyWindow(hwnd_);
  if (HWND previous = std::exchange(modalOwner_, nullptr)) {
    EnableWindow(previous, TRUE);
    SetActiveWindow(previous);
  }
  return true;
}

// ---- model to window ------------------------------------------------------------

void FormWindow::Sync(ui::Prop what) {
  if (!hwnd_) return;
  switch (what) {
    case ui::Prop::kTitle:
      SetWindowTextU(hwnd_, form_.Title());
      break;
    case ui::Prop::kPlacement:
      ApplyPlacement();
      break;
    case ui::Prop::kWindowState:
      ApplyState();
      break;
    case ui::Prop::kCloseEnabled:
      if (HMENU system = GetSystemMenu(hwnd_, FALSE)) {
        EnableMenuItem(system, SC_CLOSE, MF_BYCOMMAND | (form_.CloseEnabled() ? MF_ENABLED : MF_GRAYED));
        RedrawWindow(hwnd_, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE);  // the close box follows the item
      }
      break;
    case ui::Prop::kClose:
      CloseNow();
      break;
    case ui::Prop::kFocus:
      // Inside a focus message Windows is still moving the focus: go there
      // once that message is done, as the model promises.
      if (focusNotifying_ > 0 || !IsWindowVisible(hwnd_)) {
        bool posted = focusTarget_ != nullptr;
        focusTarget_ = form_.RequestedFocus();
        if (!posted && focusTarget_) PostMessageU(hwnd_, kFocusMessage, 0, 0);
      } else {
        focusTarget_ = form_.RequestedFocus();
        MoveFocusToRequest();
      }
      break;
    default:
      break;
  }
}

void FormWindow::MoveFocusToRequest() {
  ui::Control* target = std::exchange(focusTarget_, nullptr);
  if (!target || !hwnd_) return;
  ControlPeer* peer = PeerOf(*target);
  if (!peer || !peer->hwnd) return;
  if (GetFocus() == peer->hwnd) {
    if (form_.Focused() != target) {
      ++focusNotifying_;
      form_.UserMoveFocus(target);
      --focusNotifying_;
    }
    return;
  }
  SetFocus(peer->hwnd);
}

void FormWindow::RescueFocusLater() {
  if (!hwnd_ || rescuePosted_) return;
  rescuePosted_ = PostMessageU(hwnd_, kRescueMessage, 0, 0) != FALSE;
}

void FormWindow::RescueFocus() {
  if (!hwnd_ || GetActiveWindow() != hwnd_) return;  // activation brings the focus back itself
  HWND focus = GetFocus();
  if (focus && focus != hwnd_ && IsChild(hwnd_, focus) && IsWindowEnabled(focus) && IsWindowVisible(focus))
    return;
  HWND next = GetNextDlgTabItem(hwnd_, nullptr, FALSE);
  if (next && IsWindowEnabled(next) && IsWindowVisible(next)) {
    SetFocus(next);
  } else if (focus != hwnd_) {
    SetFocus(hwnd_);  // keeps the keyboard (Alt+F4, the menus) with the window
  }
}

bool FormWindow::TabFrom(HWND from, bool backward) {
  MSG probe{from, WM_KEYDOWN, VK_TAB, 0, 0, {}};
  const LRESULT code = SendMessageU(from, WM_GETDLGCODE, VK_TAB, reinterpret_cast<LPARAM>(&probe));
  if (code & (DLGC_WANTTAB | DLGC_WANTMESSAGE)) return false;
  // The frames are windows of their own, and the dialog manager would visit
  // a frame's contents all at once; the design's order runs across them.
  std::vector<ControlPeer*> order;
  for (const auto& peer : controls_) order.push_back(peer.get());
  std::stable_sort(order.begin(), order.end(), [](const ControlPeer* a, const ControlPeer* b) {
    return TabKey(a->control) < TabKey(b->control);
  });
  const auto count = static_cast<ptrdiff_t>(order.size());
  const ControlPeer* current = PeerOf(from);
  ptrdiff_t at = std::find(order.begin(), order.end(), current) - order.begin();
  if (at == count) at = backward ? 0 : count - 1;  // from the form itself: the first or the last
  for (ptrdiff_t step = 1; step <= count; ++step) {
    const ControlPeer* next = order[static_cast<size_t>((at + (backward ? count - step : step)) % count)];
    if (next == current) break;
    const bool stop = next->hwnd && (GetWindowLongPtrU(next->hwnd, GWL_STYLE) & WS_TABSTOP) &&
                      IsWindowVisible(next->hwnd) && next->Usable();
    if (stop) {
      // As the dialog manager moves it: an edit's text selected, the default button kept.
      SendMessageU(hwnd_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(next->hwnd), TRUE);
      break;
    }
  }
  return true;
}

void FormWindow::ApplyPlacement() {
  int x = PixelsX(form_.Left());
  int y = PixelsY(form_.Top());
  bool sized = form_.Width() > 0 && form_.Height() > 0;
  int width = PixelsX(form_.Width());
  int height = PixelsY(form_.Height());
  if (IsIconic(hwnd_) || IsZoomed(hwnd_)) {
    // Only the normal placement can change; it shows when the window is restored.
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    if (!GetWindowPlacement(hwnd_, &placement)) return;
    RECT& normal = placement.rcNormalPosition;
    if (!sized) {
      width = normal.right - normal.left;
      height = normal.bottom - normal.top;
    }
    normal = RECT{x, y, x + width, y + height};
    placement.showCmd = IsIconic(hwnd_) ? SW_SHOWMINNOACTIVE : SW_SHOWMAXIMIZED;
    placement.flags = 0;
    SetWindowPlacement(hwnd_, &placement);
    return;
  }
  SetWindowPos(hwnd_, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE | (sized ? 0 : SWP_NOSIZE));
}

void FormWindow::ApplyState() {
  if (!IsWindowVisible(hwnd_)) return;  // Show() applies it
  switch (form_.State()) {
    case ui::WindowState::kNormal:
      ShowWindow(hwnd_, SW_SHOWNORMAL);
      break;
    case ui::WindowState::kMinimized:
      ShowWindow(hwnd_, SW_MINIMIZE);
      break;
    case ui::WindowState::kMaximized:
      ShowWindow(hwnd_, SW_MAXIMIZE);
      break;
  }
}

// ---- window to model ------------------------------------------------------------

void FormWindow::ReportPlacement() {
  if (!ready_ || !hwnd_ || closing_) return;
  ui::WindowState state = ui::WindowState::kNormal;
  if (IsIconic(hwnd_)) {
    state = ui::WindowState::kMinimized;
  } else if (IsZoomed(hwnd_)) {
    state = ui::WindowState::kMaximized;
  }
  RECT r{};
  if (state == ui::WindowState::kMinimized) {
    // The place it comes back to, not the parking place of the minimized window.
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    GetWindowPlacement(hwnd_, &placement);
    r = placement.rcNormalPosition;
  } else {
    GetWindowRect(hwnd_, &r);
  }
  // Twips that round to the pixels the window has are kept as the form holds
  // them, so a size set from code reads back unchanged at any resolution.
  auto keepX = [this](int twips, int pixels) { return PixelsX(twips) == pixels ? twips : TwipsX(pixels); };
  auto keepY = [this](int twips, int pixels) { return PixelsY(twips) == pixels ? twips : TwipsY(pixels); };
  form_.PlatformPlaced(keepX(form_.Left(), r.left), keepY(form_.Top(), r.top),
                       keepX(form_.Width(), r.right - r.left), keepY(form_.Height(), r.bottom - r.top),
                       state);
}

void FormWindow::CloseNow() {
  if (!hwnd_ || closing_) return;
  closing_ = true;
  form_.PlatformUnloading();
  if (!hwnd_) return;
  if (modalOwner_) EnableWindow(modalOwner_, TRUE);  // before the dialog goes, so the owner is activated
  DestroyWindow(hwnd_);
}

void FormWindow::ForgetWindow() {
  hwnd_ = nullptr;
  tooltip_ = nullptr;
  menuBar_ = nullptr;
  ready_ = false;
  closing_ = false;
  focusTarget_ = nullptr;
  rescuePosted_ = false;
  lostFocusDepth_ = 0;
  focusArrivedDuringLost_ = false;
  for (const auto& peer : controls_) peer->hwnd = nullptr;
  // Wakes a message loop that waits for this window to go.
  PostMessageU(nullptr, WM_NULL, 0, 0);
}

void FormWindow::OnCommand(WPARAM wParam, LPARAM lParam) {
  int id = LOWORD(wParam);
  int code = HIWORD(wParam);
  if (id >= kFirstControlId && id < kFirstControlId + static_cast<int>(controls_.size())) {
    ControlPeer* peer = controls_[static_cast<size_t>(id - kFirstControlId)].get();
    // lParam is the control, or nothing when the dialog keys name the default button.
    if (peer->hwnd && (lParam == 0 || reinterpret_cast<HWND>(lParam) == peer->hwnd)) peer->OnNotify(code);
    return;
  }
  if (lParam != 0 || code != 0) return;
  UINT index = static_cast<UINT>(id) - kFirstMenuId;
  if (static_cast<UINT>(id) < kFirstMenuId || index >= menus_.size()) return;
  MenuPeer* menu = menus_[index].get();
  if (menu->id == static_cast<UINT>(id) && menu->Reachable()) menu->item.UserClick();
}

LRESULT FormWindow::OnControlColor(UINT message, WPARAM wParam, LPARAM lParam) {
  // The default colours, as a dialog without a theme has them. Not through
  // DefDlgProc: under Wine it looks up a window property first, a trip to
  // the window server on every paint of every control, the status line's
  // after each part included.
  LRESULT brush = DefWindowProcU(hwnd_, message, wParam, lParam);
  ControlPeer* peer = PeerOf(reinterpret_cast<HWND>(lParam));
  if (!peer) return brush;
  auto dc = reinterpret_cast<HDC>(wParam);
  ui::Kind kind = peer->control.kind();
  if (!IsWindowEnabled(peer->hwnd) && (kind == ui::Kind::kLabel || kind == ui::Kind::kFrame)) {
    SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
  } else if (peer->control.ForeColor() != ui::kDefaultColor) {
    SetTextColor(dc, ResolveColor(peer->control.ForeColor()));
  }
  return brush;
}

bool FormWindow::OnSetCursor(HWND target, UINT hitTest) {
  if (hitTest != HTCLIENT) return false;
  ControlPeer* peer = PeerOf(target);
  if (!peer || peer->control.MousePointer() != ui::Pointer::kHand || !IsWindowEnabled(target)) return false;
  // 95 and NT 4.0 have no hand cursor: the class's arrow stays there.
  HCURSOR hand = LoadCursorU(nullptr, IDC_HAND);
  if (!hand) return false;
  SetCursor(hand);
  return true;
}

LRESULT CALLBACK FormWindow::Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  FormWindow* self = nullptr;
  if (message == WM_NCCREATE) {
    // The parameter is where both kinds of creation record keep it.
    self = static_cast<FormWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    SetWindowLongPtrU(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    if (self) self->hwnd_ = hwnd;
  } else {
    self = reinterpret_cast<FormWindow*>(GetWindowLongPtrU(hwnd, GWLP_USERDATA));
  }
  if (!self) return DefDlgProcU(hwnd, message, wParam, lParam);
  try {
    LRESULT result = self->Handle(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
      SetWindowLongPtrU(hwnd, GWLP_USERDATA, 0);
      self->ForgetWindow();
    }
    return result;
  } catch (...) {
    return 0;  // a handler failed; the window goes on
  }
}

LRESULT FormWindow::Default(UINT message, WPARAM wParam, LPARAM lParam) {
  return DefDlgProcU(hwnd_, message, wParam, lParam);
}

LRESULT FormWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  if (hook_) hook_(message, wParam, lParam);
  switch (message) {
    case WM_COMMAND:
      OnCommand(wParam, lParam);
      return 0;
    case WM_SYSCOMMAND:
      // Greyed Close: the close box, Alt+F4 and the system menu do nothing.
      if ((wParam & 0xFFF0) == SC_CLOSE && !form_.CloseEnabled()) return 0;
      break;
    case WM_CLOSE:
      if (form_.CloseEnabled()) CloseNow();
      return 0;
    case WM_QUERYENDSESSION:
      return TRUE;
    case WM_ENDSESSION:
      if (wParam) CloseNow();
      return 0;
    case WM_MOVE:
    case WM_SIZE: {
      LRESULT result = Default(message, wParam, lParam);
      ReportPlacement();
      return result;
    }
    case WM_SETCURSOR:
      if (OnSetCursor(reinterpret_cast<HWND>(wParam), LOWORD(lParam))) return TRUE;
      break;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      return OnControlColor(message, wParam, lParam);
    case DM_GETDEFID:
      // Enter presses the default button only while it can be used.
      for (const auto& peer : controls_) {
        if (peer->control.kind() == ui::Kind::kCommandButton &&
            static_cast<ui::CommandButton&>(peer->control).isDefault && peer->Usable() &&
            IsWindowVisible(peer->hwnd)) {
          return MAKELRESULT(peer->id, DC_HASDEFID);
        }
      }
      return 0;
    case kFocusMessage:
      MoveFocusToRequest();
      return 0;
    case kRescueMessage:
      rescuePosted_ = false;
      RescueFocus();
      return 0;
    case WM_DESTROY:
      // Closed some other way than through WM_CLOSE (destroyed with its owner, say).
      if (!destroyingQuietly_ && !closing_ && !form_.Closed()) form_.PlatformUnloading();
      break;
    default:
      break;
  }
  return Default(message, wParam, lParam);
}

// ---- message loop ---------------------------------------------------------------

bool TranslateFormMessage(MSG& msg) {
  if (!msg.hwnd) return false;
  // The top-level window above it (GetAncestor's GA_ROOT, which 95 and NT 4.0 lack).
  HWND root = msg.hwnd;
  while (root && (GetWindowLongPtrU(root, GWL_STYLE) & WS_CHILD)) root = GetParent(root);
  if (!root || !IsFormWindow(root)) return false;
  if (msg.message == WM_KEYDOWN && msg.wParam == VK_TAB) {
    auto* form = reinterpret_cast<FormWindow*>(GetWindowLongPtrU(root, GWLP_USERDATA));
    if (form && form->TabFrom(msg.hwnd, GetKeyState(VK_SHIFT) < 0)) return true;
  }
  return IsDialogMessageU(root, &msg) != FALSE;
}

int RunMessageLoop(const FormWindow& main) {
  MSG msg;
  while (main.hwnd()) {
    BOOL got = GetMessageU(&msg);
    if (got == 0) return static_cast<int>(msg.wParam);
    if (got == -1) return -1;
    if (!TranslateFormMessage(msg)) {
      TranslateMessage(&msg);
      DispatchMessageU(&msg);
    }
  }
  return 0;
}

}  // namespace qn::platform::win32
