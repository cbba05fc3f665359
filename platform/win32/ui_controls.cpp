#include "platform/win32/ui_controls.h"

#include <windowsx.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cwchar>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/win32/shim.h"
#include "platform/win32/ui_form.h"

namespace qn::platform::win32 {

namespace {

// Counts nesting while it lives.
class Nesting {
 public:
  explicit Nesting(int& depth) : depth_(depth) { ++depth_; }
  ~Nesting() { --depth_; }
  Nesting(const Nesting&) = delete;
  Nesting& operator=(const Nesting&) = delete;

 private:
  int& depth_;
};

// Mouse buttons as the model numbers them: left 1, right 2, middle 4.
int ButtonOf(UINT message) {
  switch (message) {
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
      return 2;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_MBUTTONDBLCLK:
      return 4;
    default:
      return 1;
  }
}

// Face names compared as the system does, letters without regard to case.
bool SameFace(std::wstring_view a, const wchar_t* b) {
  const std::wstring_view other(b, wcsnlen(b, LF_FACESIZE));
  auto fold = [](wchar_t c) { return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c; };
  return a.size() == other.size() && std::equal(a.begin(), a.end(), other.begin(),
                                                [&](wchar_t x, wchar_t y) { return fold(x) == fold(y); });
}

}  // namespace

int TabKey(const ui::Control& control) { return control.tabIndex < 0 ? INT_MAX : control.tabIndex; }

std::vector<ui::OptionButton*> GroupInTabOrder(ui::OptionButton& option) {
  std::vector<ui::OptionButton*> members;
  if (option.group) {
    members = *option.group;
  } else {
    members.push_back(&option);
  }
  std::stable_sort(members.begin(), members.end(), [](const ui::OptionButton* a, const ui::OptionButton* b) {
    return TabKey(*a) < TabKey(*b);
  });
  return members;
}

COLORREF ResolveColor(ui::Color color) {
  if (color & 0x80000000u) return GetSysColor(static_cast<int>(color & 0xFFu));
  return static_cast<COLORREF>(color & 0xFFFFFFu);
}

// ---- FontCache ------------------------------------------------------------------

FontCache::~FontCache() {
  for (auto& [key, font] : fonts_) DeleteObject(font);
}

HFONT FontCache::Get(const ui::Font& font) {
  auto stock = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  if (font.face.empty() && !font.bold && !font.underline) return stock;
  Key key{font.face, static_cast<int>(std::lround(font.points * 100)), font.bold, font.underline,
          font.charset};
  if (auto found = fonts_.find(key); found != fonts_.end()) return found->second;

  LOGFONTW lf{};
  if (font.face.empty()) {
    GetFontU(stock, &lf);
  } else {
    lf.lfHeight = -static_cast<LONG>(std::lround(font.points * dpiY_ / 72.0));
    lf.lfCharSet = static_cast<BYTE>(font.charset);
    std::wstring face = Widen(font.face);
    face.resize(std::min<size_t>(face.size(), LF_FACESIZE - 1));
    std::copy(face.begin(), face.end(), lf.lfFaceName);
  }
  lf.lfWeight = font.bold ? FW_BOLD : FW_NORMAL;
  lf.lfUnderline = font.underline ? TRUE : FALSE;
  HFONT made = CreateFontIndirectU(lf);
  if (made && !font.face.empty() && font.charset != DEFAULT_CHARSET) {
    // A face this system lacks may be replaced by one that cannot draw the
    // character set (Japanese captions as boxes); then let Windows pick by
    // the character set alone.
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, made);
    const int charset = GetTextCharset(dc);
    const std::wstring got = GetTextFaceU(dc);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    const bool substituted = !SameFace(got, lf.lfFaceName);
    if (charset != font.charset) lf.lfFaceName[0] = L'\0';
    // A bitmap face such as Terminal is sized by its cell; an outline face
    // standing in for it is sized by its glyphs and comes out a pixel or two
    // wider per character, which the fixed layout cannot take. Ask the stand-in
    // for the same cell height instead.
    if (substituted) lf.lfHeight = -lf.lfHeight;
    if (charset != font.charset || substituted) {
      DeleteObject(made);
      made = CreateFontIndirectU(lf);
    }
  }
  if (!made) return stock;
  fonts_.emplace(std::move(key), made);
  return made;
}

int FontCache::LineHeight(const ui::Font& font) {
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, Get(font));
  TEXTMETRICA metrics{};  // only its height: the A call serves both lines
  GetTextMetricsA(dc, &metrics);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  return std::max<int>(1, metrics.tmHeight);
}

// ---- ControlPeer ----------------------------------------------------------------

ControlPeer::ControlPeer(FormWindow& owner, ui::Control& bound, int controlId)
    : control(bound), id(controlId), owner_(owner) {}

ControlPeer::~ControlPeer() {
  if (control.peer == this) control.peer = nullptr;
  if (hwnd) {
    SetWindowLongPtrU(hwnd, GWLP_USERDATA, 0);
    if (original_) SetWindowLongPtrU(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original_));
  }
  if (icon_) DestroyIcon(icon_);
}

bool ControlPeer::Create(HWND parent, bool groupStart) {
  DWORD style = WS_CHILD | WS_CLIPSIBLINGS;
  if (control.Visible()) style |= WS_VISIBLE;
  if (!control.Enabled()) style |= WS_DISABLED;
  if (groupStart) style |= WS_GROUP;
  DWORD exStyle = 0;
  const char* windowClass = "STATIC";
  std::string text = control.Caption();
  switch (control.kind()) {
    case ui::Kind::kTextBox:
      windowClass = "EDIT";
      style |= ES_LEFT | ES_AUTOHSCROLL | (control.tabStop ? WS_TABSTOP : 0);
      exStyle |= WS_EX_CLIENTEDGE;
      text = static_cast<ui::TextBox&>(control).Text();
      break;
    case ui::Kind::kLabel:
      // A label one line high is clipped rather than wrapped: a substituted
      // font a little wider than the design's must not push words out of sight.
      style |=
          SS_NOTIFY | (owner_.PixelsY(control.rect.height) >= 2 * owner_.fonts_->LineHeight(EffectiveFont())
                           ? SS_LEFT
                           : SS_LEFTNOWORDWRAP);
      break;
    case ui::Kind::kCheckBox:
      windowClass = "BUTTON";
      style |= BS_CHECKBOX | (control.tabStop ? WS_TABSTOP : 0);
      break;
    case ui::Kind::kOptionButton:
      windowClass = "BUTTON";
      style |= BS_RADIOBUTTON;  // WS_TABSTOP follows the selection (UpdateGroupTabStops)
      break;
    case ui::Kind::kFrame:
      windowClass = "QuarnimoFrame";
      style |= WS_CLIPCHILDREN;
      exStyle |= WS_EX_CONTROLPARENT;  // Tab and the arrow keys go on into the frame
      break;
    case ui::Kind::kCommandButton:
      windowClass = "BUTTON";
      style |= (static_cast<ui::CommandButton&>(control).isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON) |
               (control.tabStop ? WS_TABSTOP : 0);
      break;
    case ui::Kind::kImage:
      style |= SS_ICON | SS_NOTIFY | SS_CENTERIMAGE;
      text.clear();
      break;
  }
  const ui::Rect& r = control.rect;
  hwnd = CreateWindowExU(exStyle, windowClass, text, style, owner_.PixelsX(r.left), owner_.PixelsY(r.top),
                         owner_.PixelsX(r.width), owner_.PixelsY(r.height), parent,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), owner_.instance_, nullptr);
  if (!hwnd) return false;
  SetWindowLongPtrU(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  if (control.kind() != ui::Kind::kFrame) {
    original_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrU(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ControlPeer::Proc)));
  }
  ApplyFont();
  switch (control.kind()) {
    case ui::Kind::kTextBox: {
      auto& box = static_cast<ui::TextBox&>(control);
      if (box.MaxLength() > 0) SendMessageU(hwnd, EM_LIMITTEXT, static_cast<WPARAM>(box.MaxLength()), 0);
      PushSelection();
      break;
    }
    case ui::Kind::kCheckBox:
    case ui::Kind::kOptionButton:
      PushValue();
      break;
    case ui::Kind::kImage: {
      auto& image = static_cast<ui::Image&>(control);
      if (image.iconResource != 0) {
        icon_ =
            static_cast<HICON>(LoadImageU(owner_.instance_, MAKEINTRESOURCEW(image.iconResource), IMAGE_ICON,
                                          owner_.PixelsX(r.width), owner_.PixelsY(r.height), 0));
        if (icon_) SendMessageU(hwnd, STM_SETICON, reinterpret_cast<WPARAM>(icon_), 0);
      }
      break;
    }
    default:
      break;
  }
  control.peer = this;
  return true;
}

ui::Font ControlPeer::EffectiveFont() const {
  ui::Font font = control.ownFont || !control.form ? control.font : control.form->font;
  if (control.kind() == ui::Kind::kLabel && static_cast<const ui::Label&>(control).underline)
    font.underline = true;
  return font;
}

void ControlPeer::ApplyFont() {
  font_ = owner_.fonts_->Get(EffectiveFont());
  SendMessageU(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
}

bool ControlPeer::HasFocusInside() const {
  HWND focus = GetFocus();
  return focus && (focus == hwnd || IsChild(hwnd, focus));
}

bool ControlPeer::Usable() const {
  for (HWND h = hwnd; h && h != owner_.hwnd_; h = GetParent(h)) {
    if (!IsWindowEnabled(h)) return false;
  }
  return hwnd != nullptr;
}

void ControlPeer::Sync(ui::Prop what) {
  if (!hwnd) return;
  switch (what) {
    case ui::Prop::kText:
      PushText();
      break;
    case ui::Prop::kEnabled: {
      bool hadFocus = HasFocusInside();
      EnableWindow(hwnd, control.Enabled() ? TRUE : FALSE);
      if (control.kind() == ui::Kind::kFrame) InvalidateRect(hwnd, nullptr, TRUE);
      if (hadFocus && !control.Enabled()) owner_.RescueFocusLater();
      break;
    }
    case ui::Prop::kVisible: {
      bool hadFocus = HasFocusInside();
      ShowWindow(hwnd, control.Visible() ? SW_SHOWNA : SW_HIDE);
      if (hadFocus && !control.Visible()) owner_.RescueFocusLater();
      break;
    }
    case ui::Prop::kValue:
      PushValue();
      break;
    case ui::Prop::kSelection:
      PushSelection();
      break;
    case ui::Prop::kMaxLength:
      if (control.kind() == ui::Kind::kTextBox) {
        SendMessageU(hwnd, EM_LIMITTEXT, static_cast<WPARAM>(static_cast<ui::TextBox&>(control).MaxLength()),
                     0);
      }
      break;
    case ui::Prop::kForeColor:
      InvalidateRect(hwnd, nullptr, TRUE);
      break;
    case ui::Prop::kFont:
      ApplyFont();
      break;
    case ui::Prop::kRepaint:
      // The caller keeps the thread busy: paint now, not when the loop comes
      // round. A new caption has invalidated the control already; painting
      // only what is invalid keeps a status line per part cheap.
      UpdateWindow(hwnd);
      break;
    default:
      break;  // the pointer is read when the cursor is set; focus goes through the form
  }
}

void ControlPeer::PushText() {
  Nesting echo(suppress_);
  if (control.kind() == ui::Kind::kTextBox) {
    SetWindowTextU(hwnd, static_cast<ui::TextBox&>(control).Text());
    PushSelection();
  } else {
    SetWindowTextU(hwnd, control.Caption());
    if (control.kind() == ui::Kind::kFrame) InvalidateRect(hwnd, nullptr, TRUE);
  }
}

void ControlPeer::PushSelection() {
  if (control.kind() != ui::Kind::kTextBox) return;
  auto& box = static_cast<ui::TextBox&>(control);
  Nesting echo(suppress_);
  SetEditSelectionU(hwnd, box.SelStart(), box.SelStart() + box.SelLength());
  SendMessageU(hwnd, EM_SCROLLCARET, 0, 0);
}

void ControlPeer::PushValue() {
  Nesting echo(suppress_);
  if (control.kind() == ui::Kind::kCheckBox) {
    bool on = static_cast<ui::CheckBox&>(control).Value() != 0;
    SendMessageU(hwnd, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
  } else if (control.kind() == ui::Kind::kOptionButton) {
    bool on = static_cast<ui::OptionButton&>(control).Value();
    SendMessageU(hwnd, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
    UpdateGroupTabStops();
  }
}

void ControlPeer::UpdateGroupTabStops() {
  if (control.kind() != ui::Kind::kOptionButton) return;
  std::vector<ui::OptionButton*> members = GroupInTabOrder(static_cast<ui::OptionButton&>(control));
  const ui::OptionButton* stop = nullptr;
  for (const ui::OptionButton* member : members) {
    if (member->Value()) stop = member;
  }
  if (!stop && !members.empty()) stop = members.front();
  for (ui::OptionButton* member : members) {
    ControlPeer* peer = owner_.PeerOf(*member);
    if (!peer || !peer->hwnd) continue;
    LONG_PTR style = GetWindowLongPtrU(peer->hwnd, GWL_STYLE);
    LONG_PTR wanted =
        (member == stop && member->tabStop) ? (style | WS_TABSTOP) : (style & ~LONG_PTR{WS_TABSTOP});
    if (wanted != style) SetWindowLongPtrU(peer->hwnd, GWL_STYLE, wanted);
  }
}

void ControlPeer::OnNotify(int code) {
  if (suppress_ > 0 || !hwnd) return;
  switch (control.kind()) {
    case ui::Kind::kTextBox:
      if (code == EN_CHANGE) OnUserEdit();
      break;
    case ui::Kind::kCheckBox:
    case ui::Kind::kCommandButton:
      if (code == BN_CLICKED && Usable()) control.UserClick();
      break;
    case ui::Kind::kOptionButton:
      if (code == BN_CLICKED && Usable()) {
        control.UserClick();
      } else if (code == BN_DOUBLECLICKED && Usable()) {
        control.UserDblClick();
      }
      break;
    default:
      break;  // labels and images report their mouse themselves
  }
}

void ControlPeer::OnUserEdit() {
  auto& box = static_cast<ui::TextBox&>(control);
  std::string text = GetWindowTextU(hwnd);
  int start = 0;
  int end = 0;
  GetEditSelectionU(hwnd, &start, &end);
  box.UserEdit(std::move(text), end);
}

bool ControlPeer::OnChar(WPARAM& key) {
  if (!control.onKeyPress) return true;
  int code = static_cast<int>(key & 0xFFFF);
  // Only the handler: the real control does the editing, and EN_CHANGE brings it to the model.
  control.Control::UserKeyPress(code);
  if (code == 0 || !hwnd) return false;
  key = static_cast<WPARAM>(code & 0xFFFF);
  return true;
}

void ControlPeer::OnArrow(bool forward) {
  auto& option = static_cast<ui::OptionButton&>(control);
  if (!option.group) return;
  std::vector<ui::OptionButton*> members = GroupInTabOrder(option);
  auto at = std::find(members.begin(), members.end(), &option);
  if (at == members.end()) return;
  size_t count = members.size();
  size_t index = static_cast<size_t>(at - members.begin());
  for (size_t step = 1; step < count; ++step) {
    size_t next = forward ? (index + step) % count : (index + count - step) % count;
    ControlPeer* peer = owner_.PeerOf(*members[next]);
    if (!peer || !peer->hwnd || !IsWindowVisible(peer->hwnd) || !peer->Usable()) continue;
    SetFocus(peer->hwnd);
    if (!members[next]->Value()) members[next]->UserClick();
    return;
  }
}

void ControlPeer::OnGotFocus() {
  Nesting notifying(owner_.focusNotifying_);
  ui::Form* form = control.form;
  if (!form) {
    control.UserGotFocus();
    return;
  }
  if (owner_.lostFocusDepth_ > 0) {
    // Focus came back here while a lost-focus handler still runs (it showed a
    // message box, say): sorted out once that handler is done.
    owner_.focusArrivedDuringLost_ = true;
    return;
  }
  if (owner_.focusTarget_ && owner_.focusTarget_ != &control) {
    return;  // passing through on the way to the control a handler asked for
  }
  if (form->Focused() == &control) return;  // back from another window: no change for the form
  form->UserMoveFocus(&control);
}

void ControlPeer::OnLostFocus(HWND next) {
  Nesting notifying(owner_.focusNotifying_);
  ui::Form* form = control.form;
  if (!form) {
    control.UserLostFocus();
    return;
  }
  if (form->Focused() != &control) return;
  HWND window = owner_.hwnd_;
  bool staysInForm = next && window && (next == window || IsChild(window, next));
  if (!staysInForm)
    return;  // another window takes the keyboard for a while; the control keeps the form's focus
  {
    Nesting running(owner_.lostFocusDepth_);
    control.UserLostFocus();
  }
  if (owner_.lostFocusDepth_ == 0 && owner_.focusArrivedDuringLost_) {
    owner_.focusArrivedDuringLost_ = false;
    if (!owner_.focusTarget_) {
      ControlPeer* now = owner_.PeerOf(GetFocus());
      if (now && form->Focused() != &now->control) form->UserMoveFocus(&now->control);
    }
  }
}

void ControlPeer::OnMouse(UINT message, LPARAM lParam) {
  switch (message) {
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDBLCLK:
      SetCapture(hwnd);
      pressed_ = true;
      skipClick_ = false;
      control.UserMouseDown(ButtonOf(message));
      break;
    case WM_LBUTTONDBLCLK:
      // The second press of a double-click arrives instead of a press: the
      // model hears a double-click, and the release that follows is no click.
      SetCapture(hwnd);
      pressed_ = true;
      skipClick_ = true;
      control.UserDblClick();
      break;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP: {
      bool wasPressed = pressed_;
      bool skip = skipClick_;
      pressed_ = false;
      skipClick_ = false;
      if (GetCapture() == hwnd) ReleaseCapture();
      control.UserMouseUp(ButtonOf(message));
      if (message != WM_LBUTTONUP || !wasPressed || skip || !hwnd) break;
      RECT client;
      GetClientRect(hwnd, &client);
      POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      if (PtInRect(&client, at)) control.UserClick();
      break;
    }
    default:
      break;
  }
}

LRESULT ControlPeer::CallOriginal(HWND self, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!original_) return DefWindowProcU(self, message, wParam, lParam);
  if (message != WM_NCDESTROY && !IsWindow(self)) return 0;
  return CallWindowProcU(original_, self, message, wParam, lParam);
}

LRESULT CALLBACK ControlPeer::Proc(HWND self, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* peer = reinterpret_cast<ControlPeer*>(GetWindowLongPtrU(self, GWLP_USERDATA));
  if (!peer) return DefWindowProcU(self, message, wParam, lParam);
  try {
    return peer->Handle(self, message, wParam, lParam);
  } catch (...) {
    return 0;  // a handler failed; the window goes on
  }
}

LRESULT ControlPeer::Handle(HWND self, UINT message, WPARAM wParam, LPARAM lParam) {
  const ui::Kind kind = control.kind();
  switch (message) {
    case WM_GETDLGCODE: {
      LRESULT code = CallOriginal(self, message, wParam, lParam);
      if (kind == ui::Kind::kOptionButton) code |= DLGC_WANTARROWS;
      // Characters go to the key press handler, not to the access keys of
      // other controls (digits typed on a size option, for instance).
      if (kind != ui::Kind::kTextBox && control.onKeyPress) code |= DLGC_WANTCHARS;
      return code;
    }
    case WM_KEYDOWN:
      if (kind == ui::Kind::kOptionButton &&
          (wParam == VK_LEFT || wParam == VK_RIGHT || wParam == VK_UP || wParam == VK_DOWN)) {
        OnArrow(wParam == VK_RIGHT || wParam == VK_DOWN);
        return 0;
      }
      break;
    case WM_CHAR:
    case WM_IME_CHAR:  // an edit control takes these straight, without a WM_CHAR
      if (!OnChar(wParam)) return 0;
      break;
    case WM_SETFOCUS: {
      LRESULT result;
      {
        // A radio button that gets the focus may report a click of its own;
        // the user's click, space bar and arrow keys report theirs.
        Nesting echo(suppress_);
        result = CallOriginal(self, message, wParam, lParam);
      }
      OnGotFocus();
      return result;
    }
    case WM_KILLFOCUS: {
      LRESULT result = CallOriginal(self, message, wParam, lParam);
      OnLostFocus(reinterpret_cast<HWND>(wParam));
      return result;
    }
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDBLCLK:
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
      if (kind == ui::Kind::kLabel || kind == ui::Kind::kImage) {
        LRESULT result = CallOriginal(self, message, wParam, lParam);
        OnMouse(message, lParam);
        return result;
      }
      break;
    case WM_CAPTURECHANGED:
      pressed_ = false;
      break;
    case WM_NCDESTROY: {
      LRESULT result = CallOriginal(self, message, wParam, lParam);
      SetWindowLongPtrU(self, GWLP_USERDATA, 0);
      hwnd = nullptr;
      return result;
    }
    default:
      break;
  }
  return CallOriginal(self, message, wParam, lParam);
}

// ---- frames ---------------------------------------------------------------------

LRESULT CALLBACK ControlPeer::FrameProc(HWND self, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* peer = reinterpret_cast<ControlPeer*>(GetWindowLongPtrU(self, GWLP_USERDATA));
  if (!peer) return DefWindowProcU(self, message, wParam, lParam);
  try {
    return peer->HandleFrame(self, message, wParam, lParam);
  } catch (...) {
    return 0;
  }
}

LRESULT ControlPeer::HandleFrame(HWND self, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    // The contents' notifications belong to the form.
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX:
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
      return SendMessageU(GetParent(self), message, wParam, lParam);
    case WM_SETFONT:
      font_ = reinterpret_cast<HFONT>(wParam);
      if (LOWORD(lParam)) InvalidateRect(self, nullptr, TRUE);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(font_);
    case WM_SETTEXT: {
      LRESULT result = DefWindowProcU(self, message, wParam, lParam);
      InvalidateRect(self, nullptr, TRUE);
      return result;
    }
    case WM_ENABLE:
      InvalidateRect(self, nullptr, TRUE);
      return 0;
    case WM_PAINT:
      PaintFrame(self);
      return 0;
    case WM_NCDESTROY:
      SetWindowLongPtrU(self, GWLP_USERDATA, 0);
      hwnd = nullptr;
      return DefWindowProcU(self, message, wParam, lParam);
    default:
      return DefWindowProcU(self, message, wParam, lParam);
  }
}

void ControlPeer::PaintFrame(HWND self) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(self, &ps);
  RECT client;
  GetClientRect(self, &client);
  HGDIOBJ oldFont = SelectObject(dc, font_ ? font_ : GetStockObject(DEFAULT_GUI_FONT));
  TEXTMETRICA metrics{};
  GetTextMetricsA(dc, &metrics);
  std::string caption = control.Caption();
  RECT box = client;
  if (!caption.empty()) box.top += metrics.tmHeight / 2;
  DrawEdge(dc, &box, EDGE_ETCHED, BF_RECT);
  if (!caption.empty()) {
    // The caption interrupts the top line, with a blank either side.
    caption = " " + caption + " ";
    COLORREF color = GetSysColor(COLOR_BTNTEXT);
    if (!IsWindowEnabled(self)) {
      color = GetSysColor(COLOR_GRAYTEXT);
    } else if (control.ForeColor() != ui::kDefaultColor) {
      color = ResolveColor(control.ForeColor());
    }
    SetTextColor(dc, color);
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    SetBkMode(dc, OPAQUE);
    RECT text{owner_.PixelsX(90), 0, client.right - owner_.PixelsX(90), metrics.tmHeight};
    DrawTextU(dc, caption, &text, DT_LEFT | DT_TOP | DT_SINGLELINE);
  }
  SelectObject(dc, oldFont);
  EndPaint(self, &ps);
}

// ---- MenuPeer -------------------------------------------------------------------

MenuPeer::MenuPeer(FormWindow& owner, ui::MenuItem& bound, MenuPeer* above, HMENU holder, UINT at,
                   UINT command)
    : item(bound), parent(above), menu(holder), position(at), id(command), owner_(owner) {
  item.peer = this;
}

MenuPeer::~MenuPeer() {
  if (item.peer == this) item.peer = nullptr;
}

bool MenuPeer::Reachable() const {
  for (const MenuPeer* at = this; at; at = at->parent) {
    if (!at->item.Enabled()) return false;
  }
  return true;
}

void MenuPeer::Sync(ui::Prop what) {
  if (!owner_.hwnd_) return;  // the menus went with the window
  if (what == ui::Prop::kChecked) {
    CheckMenuItem(menu, position, MF_BYPOSITION | (item.Checked() ? MF_CHECKED : MF_UNCHECKED));
  } else if (what == ui::Prop::kEnabled) {
    EnableMenuItem(menu, position, MF_BYPOSITION | (item.Enabled() ? MF_ENABLED : MF_GRAYED));
    if (!parent) DrawMenuBar(owner_.hwnd_);
  }
}

}  // namespace qn::platform::win32
