// Toolkit-neutral controls that hold their state in plain members and run
// their handlers by one rule, the same headless and in a real window:
//
//   - setting a text box to a different text runs its change handler at once;
//   - setting a check box to a different state runs its click handler;
//   - selecting an option button runs its click handler, even when it was
//     selected already;
//   - setting the same text or state again runs nothing.
//
// Handlers run nested inside the statement that caused them. A binding (the
// Win32 one, or none in tests) attaches a Peer to each control: a change made
// by code is pushed to the peer; a user's action comes back through the
// User...() entry points, which tests call directly.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace qn::ui {

// Geometry in twips (1/1440 inch; 15 twips a pixel at 96 dpi).
struct Rect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
};

// RGB colours are 0x00BBGGRR; a value with the top bit set names a system
// colour by its GetSysColor index.
using Color = uint32_t;
inline constexpr Color kDefaultColor = 0xFFFFFFFFu;
inline constexpr Color SystemColor(int index) { return 0x80000000u | static_cast<uint32_t>(index); }
inline constexpr Color kButtonTextColor = SystemColor(18);  // COLOR_BTNTEXT
inline constexpr Color kHighlightColor = SystemColor(13);   // COLOR_HIGHLIGHT
inline constexpr Color Rgb(int r, int g, int b) {
  return static_cast<Color>(r) | (static_cast<Color>(g) << 8) | (static_cast<Color>(b) << 16);
}

struct Font {
  std::string face;  // empty: the window's default GUI font
  double points = 9.0;
  bool bold = false;
  bool underline = false;
  int charset = 1;  // DEFAULT_CHARSET; 128 is SHIFTJIS_CHARSET
};

enum class Pointer { kDefault, kHand };

// What changed, for the peer to push to the real control.
enum class Prop {
  kText,
  kEnabled,
  kVisible,
  kValue,
  kSelection,
  kMaxLength,
  kForeColor,
  kFont,
  kPointer,
  kRepaint,
  kFocus,
  kTitle,
  kPlacement,
  kWindowState,
  kCloseEnabled,
  kChecked,
  kClose,
};

class Peer {
 public:
  virtual ~Peer() = default;
  virtual void Sync(Prop what) = 0;
};

enum class Kind { kTextBox, kLabel, kCheckBox, kOptionButton, kFrame, kCommandButton, kImage };

class Form;

class Control {
 public:
  Control(Kind kind, std::string name);
  virtual ~Control() = default;
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  Kind kind() const { return kind_; }
  const std::string& name() const { return name_; }

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  bool Visible() const { return visible_; }
  void SetVisible(bool visible);
  Color ForeColor() const { return foreColor_; }
  void SetForeColor(Color color);
  Pointer MousePointer() const { return pointer_; }
  void SetMousePointer(Pointer pointer);
  // Asks the peer to repaint this control now (synchronously).
  void Refresh();

  // Caption of a label, check box, option button, frame or button.
  const std::string& Caption() const { return caption_; }
  void SetCaption(std::string caption);

  // Design-time properties; the binding reads them when it creates the control.
  Rect rect;                     // within the form's client area, or within `container`
  Control* container = nullptr;  // the frame that holds this control, if any
  int tabIndex = -1;
  bool tabStop = true;
  std::string tooltip;
  std::string tag;
  Font font;
  bool ownFont = false;  // false: the form's font

  Form* form = nullptr;  // set when added to a form
  Peer* peer = nullptr;  // set by a binding; not owned

  // Mouse and focus events shared by the kinds that have them.
  std::function<void()> onClick;
  std::function<void()> onDblClick;
  std::function<void(int button)> onMouseDown;
  std::function<void(int button)> onMouseUp;
  std::function<void()> onGotFocus;
  std::function<void()> onLostFocus;
  std::function<void(int& key)> onKeyPress;

  // User actions: the binding calls these for real input, tests call them to act as a user.
  virtual void UserClick();
  void UserDblClick();
  void UserMouseDown(int button);
  void UserMouseUp(int button);
  // A character typed while this control has the focus. The key press handler
  // may replace it by 0 to discard it; the control then takes what is left.
  virtual void UserKeyPress(int& key);
  void UserGotFocus();
  void UserLostFocus();

 protected:
  void Push(Prop what);

  std::string caption_;

 private:
  Kind kind_;
  std::string name_;
  bool enabled_ = true;
  bool visible_ = true;
  Color foreColor_ = kDefaultColor;
  Pointer pointer_ = Pointer::kDefault;
};

class TextBox : public Control {
 public:
  explicit TextBox(std::string name);

  const std::string& Text() const { return text_; }
  // Runs onChange when the text differs from the current one.
  void SetText(std::string text);
  // Selection in characters (UTF-8 code points), as Win32 counts them in an edit control.
  int SelStart() const { return selStart_; }
  int SelLength() const { return selLength_; }
  void SetSelStart(int start);
  void SetSelLength(int length);
  int MaxLength() const { return maxLength_; }  // 0: no limit
  void SetMaxLength(int chars);
  int Length() const;  // in characters

  std::function<void()> onChange;

  // The user edited the text (typing, pasting, deleting); `caret` is where the
  // cursor stands afterwards. Runs onChange when the text changed.
  void UserEdit(std::string text, int caret);
  // Typing one character as a user would: key press handler first, then the
  // character replaces the selection (backspace, 8, deletes), within MaxLength.
  void UserKeyPress(int& key) override;

 private:
  std::string text_;
  int selStart_ = 0;
  int selLength_ = 0;
  int maxLength_ = 0;
};

class Label : public Control {
 public:
  explicit Label(std::string name);
  bool underline = false;
};

class CheckBox : public Control {
 public:
  explicit CheckBox(std::string name);
  int Value() const { return value_; }
  // Runs onClick when the state differs from the current one.
  void SetValue(int value);
  void UserClick() override;  // toggles

 private:
  int value_ = 0;
};

class OptionButton : public Control {
 public:
  explicit OptionButton(std::string name);
  bool Value() const { return value_; }
  // Selects this option, clears the others of its group, and runs onClick
  // even when it was selected already.
  void Select();
  void UserClick() override;  // selects
  // Options that exclude each other; set by the form's design.
  std::vector<OptionButton*>* group = nullptr;

 private:
  friend class Form;
  void SetValueSilently(bool value);
  bool value_ = false;
};

class Frame : public Control {
 public:
  explicit Frame(std::string name);
};

class CommandButton : public Control {
 public:
  explicit CommandButton(std::string name);
  bool isDefault = false;
};

class Image : public Control {
 public:
  explicit Image(std::string name);
  int iconResource = 0;
};

class MenuItem {
 public:
  explicit MenuItem(std::string name, std::string caption = {});
  MenuItem(const MenuItem&) = delete;
  MenuItem& operator=(const MenuItem&) = delete;

  const std::string& name() const { return name_; }
  const std::string& Caption() const { return caption_; }
  bool IsSeparator() const { return caption_ == "-"; }
  bool Checked() const { return checked_; }
  void SetChecked(bool checked);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);

  std::vector<MenuItem*> items;  // a submenu's items; not owned
  std::function<void()> onClick;
  void UserClick();

  Peer* peer = nullptr;

 private:
  void Push(Prop what);
  std::string name_;
  std::string caption_;
  bool checked_ = false;
  bool enabled_ = true;
};

enum class WindowState { kNormal, kMinimized, kMaximized };

class Form {
 public:
  explicit Form(std::string name);
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;

  const std::string& name() const { return name_; }

  // Adds a control (not owned) in design order.
  void Add(Control& control);
  const std::vector<Control*>& Controls() const { return controls_; }
  std::vector<MenuItem*> menuBar;  // top-level menus; not owned

  const std::string& Title() const { return title_; }
  void SetTitle(std::string title);

  // Outer geometry in twips, borders, title and menu bar included.
  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  void Move(int left, int top);
  void SetOuterSize(int width, int height);
  WindowState State() const { return state_; }
  void SetState(WindowState state);

  // Closes the window as the close box does: the binding runs onQueryUnload and
  // destroys the window; headless, onQueryUnload runs here.
  void Close();
  bool Closed() const { return closed_; }

  // The system menu's Close command.
  bool CloseEnabled() const { return closeEnabled_; }
  void SetCloseEnabled(bool enabled);

  // Focus. SetFocus from inside a lost-focus handler takes effect after that
  // handler, as Windows does it.
  Control* Focused() const { return focused_; }
  void SetFocus(Control& control);

  Rect designClient;  // client area at design, twips
  Font font;          // the controls' font unless they have their own
  int iconResource = 0;
  bool minButton = true;  // the title bar's minimize and maximize boxes
  bool maxButton = true;

  std::function<void()> onResize;
  std::function<void()> onQueryUnload;

  Peer* peer = nullptr;

  // ---- what the platform reports; tests call these to act as the platform --
  // The window was moved, resized or changed state; runs onResize when the
  // size or the state changed.
  void PlatformPlaced(int left, int top, int width, int height, WindowState state);
  // The user moved the focus (tab, click); runs the lost and got handlers.
  void UserMoveFocus(Control* to);
  // The window is going away (close box, system menu, end of session, Close()).
  // Runs onQueryUnload once.
  void PlatformUnloading();
  // A window was made for this form (again): it can be unloaded once more.
  void PlatformLoaded() { closed_ = false; }
  // The control a handler asked to focus; the binding moves the real focus there.
  Control* RequestedFocus() const { return requestedFocus_; }

 private:
  std::string name_;
  std::vector<Control*> controls_;
  std::string title_;
  int left_ = 0;
  int top_ = 0;
  int width_ = 0;
  int height_ = 0;
  WindowState state_ = WindowState::kNormal;
  bool closeEnabled_ = true;
  bool closed_ = false;
  Control* focused_ = nullptr;
  Control* requestedFocus_ = nullptr;
  Control* pendingFocus_ = nullptr;  // asked for inside a lost-focus handler
  int inLostFocus_ = 0;

  friend class Control;
  void GotFocus(Control& control);
  // Runs the lost-focus handler; returns the control a handler asked to focus instead, if any.
  Control* LostFocus(Control& control);
};

// Counts characters of UTF-8 text as an edit control does (one per code
// point; characters outside the BMP count two, as UTF-16 units).
int CharCount(const std::string& utf8);
// Byte offset of character `chars` in UTF-8 text (clamped to the end).
size_t ByteOffsetOfChar(const std::string& utf8, int chars);

}  // namespace qn::ui
