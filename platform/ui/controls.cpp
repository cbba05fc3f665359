#include "platform/ui/controls.h"

#include <algorithm>
#include <utility>

namespace qn::ui {

namespace {

// Length of the UTF-8 sequence that starts with `lead`.
size_t SequenceLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if ((lead >> 5) == 0x6) return 2;
  if ((lead >> 4) == 0xE) return 3;
  if ((lead >> 3) == 0x1E) return 4;
  return 1;  // stray continuation byte: count it alone
}

}  // namespace

int CharCount(const std::string& utf8) {
  int count = 0;
  for (size_t i = 0; i < utf8.size();) {
    size_t len = SequenceLength(static_cast<unsigned char>(utf8[i]));
    count += len == 4 ? 2 : 1;
    i += len;
  }
  return count;
}

size_t ByteOffsetOfChar(const std::string& utf8, int chars) {
  size_t i = 0;
  int seen = 0;
  while (i < utf8.size() && seen < chars) {
    size_t len = SequenceLength(static_cast<unsigned char>(utf8[i]));
    seen += len == 4 ? 2 : 1;
    i += len;
  }
  return std::min(i, utf8.size());
}

// ---- Control ----------------------------------------------------------------

Control::Control(Kind kind, std::string name) : kind_(kind), name_(std::move(name)) {}

void Control::Push(Prop what) {
  if (peer) peer->Sync(what);
}

void Control::SetEnabled(bool enabled) {
  if (enabled_ == enabled) return;
  enabled_ = enabled;
  Push(Prop::kEnabled);
}

void Control::SetVisible(bool visible) {
  if (visible_ == visible) return;
  visible_ = visible;
  Push(Prop::kVisible);
}

void Control::SetForeColor(Color color) {
  if (foreColor_ == color) return;
  foreColor_ = color;
  Push(Prop::kForeColor);
}

void Control::SetMousePointer(Pointer pointer) {
  if (pointer_ == pointer) return;
  pointer_ = pointer;
  Push(Prop::kPointer);
}

void Control::Refresh() { Push(Prop::kRepaint); }

void Control::SetCaption(std::string caption) {
  if (caption_ == caption) return;
  caption_ = std::move(caption);
  Push(Prop::kText);
}

void Control::UserClick() {
  if (onClick) onClick();
}

void Control::UserDblClick() {
  if (onDblClick) onDblClick();
}

void Control::UserMouseDown(int button) {
  if (onMouseDown) onMouseDown(button);
}

void Control::UserMouseUp(int button) {
  if (onMouseUp) onMouseUp(button);
}

void Control::UserKeyPress(int& key) {
  if (onKeyPress) onKeyPress(key);
}

void Control::UserGotFocus() {
  if (form) {
    form->GotFocus(*this);
  } else if (onGotFocus) {
    onGotFocus();
  }
}

void Control::UserLostFocus() {
  if (form) {
    form->LostFocus(*this);
  } else if (onLostFocus) {
    onLostFocus();
  }
}

// ---- TextBox ----------------------------------------------------------------

TextBox::TextBox(std::string name) : Control(Kind::kTextBox, std::move(name)) {}

int TextBox::Length() const { return CharCount(text_); }

void TextBox::SetText(std::string text) {
  if (text == text_) return;
  text_ = std::move(text);
  // Like an edit control given new text: the cursor goes to the start.
  selStart_ = 0;
  selLength_ = 0;
  Push(Prop::kText);
  if (onChange) onChange();
}

void TextBox::SetSelStart(int start) {
  start = std::clamp(start, 0, Length());
  selStart_ = start;
  selLength_ = 0;
  Push(Prop::kSelection);
}

void TextBox::SetSelLength(int length) {
  selLength_ = std::clamp(length, 0, Length() - selStart_);
  Push(Prop::kSelection);
}

void TextBox::SetMaxLength(int chars) {
  if (maxLength_ == chars) return;
  maxLength_ = std::max(0, chars);
  Push(Prop::kMaxLength);
}

void TextBox::UserEdit(std::string text, int caret) {
  bool changed = text != text_;
  text_ = std::move(text);
  selStart_ = std::clamp(caret, 0, Length());
  selLength_ = 0;
  if (changed && onChange) onChange();
}

void TextBox::UserKeyPress(int& key) {
  Control::UserKeyPress(key);
  if (key == 0 || !Enabled()) return;
  size_t from = ByteOffsetOfChar(text_, selStart_);
  size_t to = ByteOffsetOfChar(text_, selStart_ + selLength_);
  std::string text = text_;
  int caret = selStart_;
  if (key == 8) {
    if (from == to) {
      if (from == 0) return;
      size_t prev = ByteOffsetOfChar(text_, selStart_ - 1);
      text.erase(prev, from - prev);
      caret = selStart_ - 1;
    } else {
      text.erase(from, to - from);
    }
  } else {
    if (key < 32 || key > 126) return;  // the tests type ASCII; Win32 delivers the rest itself
    if (maxLength_ > 0 && Length() - selLength_ >= maxLength_) return;
    text.replace(from, to - from, 1, static_cast<char>(key));
    caret = selStart_ + 1;
  }
  UserEdit(std::move(text), caret);
}

// ---- other kinds --------------------------------------------------------------

Label::Label(std::string name) : Control(Kind::kLabel, std::move(name)) { tabStop = false; }

CheckBox::CheckBox(std::string name) : Control(Kind::kCheckBox, std::move(name)) {}

void CheckBox::SetValue(int value) {
  if (value == value_) return;
  value_ = value;
  Push(Prop::kValue);
  if (onClick) onClick();
}

void CheckBox::UserClick() { SetValue(value_ != 0 ? 0 : 1); }

OptionButton::OptionButton(std::string name) : Control(Kind::kOptionButton, std::move(name)) {}

void OptionButton::SetValueSilently(bool value) {
  if (value_ == value) return;
  value_ = value;
  Push(Prop::kValue);
}

void OptionButton::Select() {
  if (group) {
    for (OptionButton* other : *group) {
      if (other != this) other->SetValueSilently(false);
    }
  }
  SetValueSilently(true);
  if (onClick) onClick();
}

void OptionButton::UserClick() { Select(); }

Frame::Frame(std::string name) : Control(Kind::kFrame, std::move(name)) { tabStop = false; }

CommandButton::CommandButton(std::string name) : Control(Kind::kCommandButton, std::move(name)) {}

Image::Image(std::string name) : Control(Kind::kImage, std::move(name)) { tabStop = false; }

// ---- MenuItem -----------------------------------------------------------------

MenuItem::MenuItem(std::string name, std::string caption)
    : name_(std::move(name)), caption_(std::move(caption)) {}

void MenuItem::Push(Prop what) {
  if (peer) peer->Sync(what);
}

void MenuItem::SetChecked(bool checked) {
  if (checked_ == checked) return;
  checked_ = checked;
  Push(Prop::kChecked);
}

void MenuItem::SetEnabled(bool enabled) {
  if (enabled_ == enabled) return;
  enabled_ = enabled;
  Push(Prop::kEnabled);
}

void MenuItem::UserClick() {
  if (enabled_ && onClick) onClick();
}

// ---- Form ---------------------------------------------------------------------

Form::Form(std::string name) : name_(std::move(name)) {}

void Form::Add(Control& control) {
  control.form = this;
  controls_.push_back(&control);
}

void Form::SetTitle(std::string title) {
  if (title_ == title) return;
  title_ = std::move(title);
  if (peer) peer->Sync(Prop::kTitle);
}

void Form::Move(int left, int top) {
  if (left_ == left && top_ == top) return;
  left_ = left;
  top_ = top;
  if (peer) peer->Sync(Prop::kPlacement);
}

void Form::SetOuterSize(int width, int height) {
  if (width_ == width && height_ == height) return;
  width_ = width;
  height_ = height;
  if (peer) {
    peer->Sync(Prop::kPlacement);  // the window reports back through PlatformPlaced
  } else if (onResize) {
    onResize();
  }
}

void Form::SetState(WindowState state) {
  if (state_ == state) return;
  state_ = state;
  if (peer) {
    peer->Sync(Prop::kWindowState);
  } else if (onResize) {
    onResize();
  }
}

void Form::SetCloseEnabled(bool enabled) {
  closeEnabled_ = enabled;  // pushed every time: the system menu may have been rebuilt
  if (peer) peer->Sync(Prop::kCloseEnabled);
}

void Form::Close() {
  if (closed_) return;
  if (peer) {
    peer->Sync(Prop::kClose);
  } else {
    PlatformUnloading();
  }
}

void Form::PlatformUnloading() {
  if (closed_) return;
  closed_ = true;
  if (onQueryUnload) onQueryUnload();
}

void Form::PlatformPlaced(int left, int top, int width, int height, WindowState state) {
  bool resized = width != width_ || height != height_ || state != state_;
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
  state_ = state;
  if (resized && onResize) onResize();
}

void Form::SetFocus(Control& control) {
  if (inLostFocus_ > 0) {
    pendingFocus_ = &control;
    return;
  }
  requestedFocus_ = &control;
  if (peer) {
    peer->Sync(Prop::kFocus);
  } else if (focused_ != &control) {
    UserMoveFocus(&control);
  }
}

void Form::GotFocus(Control& control) {
  focused_ = &control;
  if (requestedFocus_ == &control) requestedFocus_ = nullptr;
  if (control.onGotFocus) control.onGotFocus();
}

Control* Form::LostFocus(Control& control) {
  if (focused_ == &control) focused_ = nullptr;
  ++inLostFocus_;
  if (control.onLostFocus) control.onLostFocus();
  --inLostFocus_;
  Control* redirect = inLostFocus_ == 0 ? std::exchange(pendingFocus_, nullptr) : nullptr;
  if (redirect && peer) {
    requestedFocus_ = redirect;
    peer->Sync(Prop::kFocus);  // the binding moves the real focus once the current message is done
  }
  return redirect;
}

void Form::UserMoveFocus(Control* to) {
  Control* target = to;
  if (focused_ && focused_ != to) {
    if (Control* redirect = LostFocus(*focused_)) target = redirect;
  }
  if (target && focused_ != target) GotFocus(*target);
}

}  // namespace qn::ui
