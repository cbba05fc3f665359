// The main window frmMAIN in a real Win32 window under Wine, driven through
// real window messages (button clicks, typed characters, menu commands, Tab):
// each case checks that what the user sees in the real controls, menus and
// message boxes is what the window's model says, and two screenshots record
// the window at both of its heights.
#include <windows.h>
// After <windows.h>, which it needs.
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/win32/dialogs_win32.h"
#include "platform/win32/system_win32.h"
#include "platform/win32/ui_form.h"
#include "platform/win32/wide.h"
#include "tests/wine/support/gui.h"
#include "window/frm_main.h"
#include "window/frm_main_design.h"

namespace qn {
namespace {

using guitest::PumpPending;
using guitest::WindowText;
using platform::win32::FormWindow;
namespace design = window::design;

const std::string kMemoryWarning =
    "CD-Rサイズで分割する場合は、それだけメモリの容量が必要になります。\r\n"
    "とりあえず警告しますが、もしこれにより、パソコンが不安定になっても知りません。\r\n"
    "（今後、要望があれば小メモリでも分割できるようにする予定です。）";
const std::string kSizeMessage = "ファイルのサイズは1-2,147,483,647バイトの範囲内にしてください";
const std::string kSizeTitle = "データ形式が不正です ";

// What a message box showed the user.
struct ShownBox {
  std::string title;
  std::string text;
  std::vector<int> buttons;
  HICON icon = nullptr;
};

// The picture a message box shows: the icon of its icon static, if any.
HICON BoxIcon(HWND box) {
  for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (guitest::ClassName(child) != "Static") continue;
    if ((GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON) continue;
    LRESULT icon = SendMessageW(child, STM_GETICON, 0, 0);
    return reinterpret_cast<HICON>(icon);  // NOLINT(performance-no-int-to-ptr): a handle
  }
  return nullptr;
}

// Reads and presses OK on every message box this process shows while it
// lives. A thread timer does it: the timer fires inside the box's own modal
// loop, so a box raised deep inside a handler is answered there, and a box
// nobody expected is recorded for the test to see instead of hanging it.
class BoxWatcher {
 public:
  BoxWatcher() {
    active_ = this;
    timer_ = SetTimer(nullptr, 0, 10, &Tick);
  }
  ~BoxWatcher() {
    KillTimer(nullptr, timer_);
    active_ = nullptr;
  }
  BoxWatcher(const BoxWatcher&) = delete;
  BoxWatcher& operator=(const BoxWatcher&) = delete;

  [[nodiscard]] bool running() const { return timer_ != 0; }
  // The boxes shown since the last call, oldest first.
  std::vector<ShownBox> Take() { return std::exchange(boxes_, {}); }

 private:
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    BoxWatcher* self = active_;
    if (!self) return;
    std::erase_if(self->answered_, [](HWND box) { return !IsWindow(box); });
    for (HWND top : guitest::TopLevelWindows(GetCurrentProcessId())) {
      if (std::find(self->answered_.begin(), self->answered_.end(), top) != self->answered_.end()) continue;
      std::optional<guitest::MessageBoxInfo> box = guitest::ReadMessageBox(top);
      if (!box) continue;
      self->boxes_.push_back({box->title, box->text, box->buttons, BoxIcon(top)});
      self->answered_.push_back(top);
      guitest::AnswerMessageBox(top, IDOK);
    }
  }

  static inline BoxWatcher* active_ = nullptr;
  UINT_PTR timer_ = 0;
  std::vector<ShownBox> boxes_;
  std::vector<HWND> answered_;
};

// frmMAIN on the real machine, in a real window, shown as the program shows it.
class LiveMain {
 public:
  LiveMain() {
    frm.form.Move(300, 300);  // clear of the screen's edge for the screenshots
    if (!window.Create()) return;
    dialogs.SetOwner(window.hwnd());
    window.Show(SW_SHOWNORMAL);
    frm.Form_Resize();  // start-up gives the window its height once the settings are applied
    PumpPending();
    shown_ = IsWindowVisible(window.hwnd()) != FALSE;
  }
  LiveMain(const LiveMain&) = delete;
  LiveMain& operator=(const LiveMain&) = delete;

  [[nodiscard]] bool shown() const { return shown_ && boxes.running(); }

  HWND Main() const { return window.hwnd(); }
  HWND H(const ui::Control& control) const { return window.ControlWindow(control); }
  std::string Text(const ui::Control& control) const { return WindowText(H(control)); }
  bool Checked(const ui::Control& control) const {
    return SendMessageW(H(control), BM_GETCHECK, 0, 0) == BST_CHECKED;
  }
  bool Enabled(const ui::Control& control) const { return IsWindowEnabled(H(control)) != FALSE; }
  // A mouse click on a button, check box or option button.
  void Click(const ui::Control& control) {
    SendMessageW(H(control), BM_CLICK, 0, 0);
    PumpPending();
  }
  void Focus(const ui::Control& control) {
    SetFocus(H(control));
    PumpPending();
  }
  // Characters typed on `control` (it should have the focus), as the keyboard sends them.
  void Type(const ui::Control& control, std::string_view text) { guitest::TypeText(H(control), text); }
  void Tab() { guitest::PressKey(GetFocus(), VK_TAB); }
  // The selection of an edit control: start and end in characters.
  std::pair<int, int> Selection(const ui::Control& control) const {
    DWORD start = 0;
    DWORD end = 0;
    SendMessageW(H(control), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    return {static_cast<int>(start), static_cast<int>(end)};
  }
  int TextLimit(const ui::Control& control) const {
    return static_cast<int>(SendMessageW(H(control), EM_GETLIMITTEXT, 0, 0));
  }

  // A menu item by the design names along its path ("mnuSet", "mnuSettings(3)").
  std::optional<guitest::MenuPlace> Menu(std::initializer_list<std::string_view> names) const {
    std::vector<std::string> captions;
    for (std::string_view name : names) captions.emplace_back(design::MenuCaption(name));
    return guitest::FindMenuItem(window.MenuBar(), captions);
  }
  // Chooses a menu item as the user does: the command the menu sends.
  void Choose(std::initializer_list<std::string_view> names) {
    std::optional<guitest::MenuPlace> place = Menu(names);
    ASSERT_TRUE(place) << "the menu item " << *(names.end() - 1) << " is missing from the menu bar";
    SendMessageW(Main(), WM_COMMAND, MAKEWPARAM(place->id, 0), 0);
    PumpPending();
  }
  bool MenuChecked(std::initializer_list<std::string_view> names) const {
    std::optional<guitest::MenuPlace> place = Menu(names);
    return place && (guitest::MenuItemState(*place) & MF_CHECKED) != 0;
  }

  // Outer size of the window in pixels.
  SIZE Outer() const {
    RECT r{};
    GetWindowRect(Main(), &r);
    return {r.right - r.left, r.bottom - r.top};
  }
  // A control's place in pixels within the client area of the window or frame that holds it.
  RECT PlaceInParent(const ui::Control& control) const {
    RECT r{};
    GetWindowRect(H(control), &r);
    MapWindowPoints(nullptr, GetParent(H(control)), reinterpret_cast<POINT*>(&r), 2);
    return r;
  }
  // The same within the window's client area, through any frame.
  RECT PlaceInClient(const ui::Control& control) const {
    RECT r{};
    GetWindowRect(H(control), &r);
    MapWindowPoints(nullptr, Main(), reinterpret_cast<POINT*>(&r), 2);
    return r;
  }

  // A source of `parts` parts of 1000 bytes, or no source when `parts` is 0,
  // with the plan refreshed as a new source refreshes it.
  void PlanParts(int parts) {
    frm.split.lngFileSize = parts > 0 ? parts * 1000.0 : -1;
    frm.split.lngSpltSize = 1000;
    frm.Size_Change(0, 1);
  }

  BoxWatcher boxes;
  platform::win32::Win32System system;
  platform::win32::Win32Dialogs dialogs;
  window::FrmMain frm{system, dialogs};
  FormWindow window{frm.form};

 private:
  bool shown_ = false;
};

int ScreenDpiY() {
  HDC screen = GetDC(nullptr);
  int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return dpi;
}

std::string RectText(const RECT& r) {
  return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + " " + std::to_string(r.right - r.left) +
         "x" + std::to_string(r.bottom - r.top) + ")";
}

const char* WindowClassOf(ui::Kind kind) {
  switch (kind) {
    case ui::Kind::kTextBox:
      return "Edit";
    case ui::Kind::kLabel:
    case ui::Kind::kImage:
      return "Static";
    case ui::Kind::kFrame:
      return "QuarnimoFrame";
    default:
      return "Button";
  }
}

TEST(MainWindow, RealControlsAndMenusShowTheDesign) {
  LiveMain w;
  ASSERT_TRUE(w.shown()) << "the main window could not be created and shown";
  std::printf("[ screen ] %d dpi\n", ScreenDpiY());

  // Every control: its kind of window, inside the right parent, at its place, with its caption.
  for (const design::ControlDesign& entry : design::kControls) {
    const ui::Control* control = nullptr;
    for (const ui::Control* c : w.frm.form.Controls()) {
      if (c->name() == entry.name) control = c;
    }
    ASSERT_NE(control, nullptr) << entry.name << " is not on the form";
    HWND hwnd = w.H(*control);
    ASSERT_NE(hwnd, nullptr) << entry.name << " has no window: the user would not see it";
    EXPECT_TRUE(IsWindowVisible(hwnd)) << entry.name << " is hidden";
    EXPECT_EQ(guitest::ClassName(hwnd), WindowClassOf(entry.kind))
        << entry.name << " is the wrong kind of control";
    HWND parent = entry.container.empty() ? w.Main() : w.H(*control->container);
    EXPECT_EQ(GetParent(hwnd), parent) << entry.name << " is not inside " << entry.container;
    EXPECT_EQ(WindowText(hwnd), entry.text) << entry.name << " shows another text than the design";

    RECT r = w.PlaceInParent(*control);
    RECT want{w.window.PixelsX(entry.rect.left), w.window.PixelsY(entry.rect.top),
              w.window.PixelsX(entry.rect.left + entry.rect.width),
              w.window.PixelsY(entry.rect.top + entry.rect.height)};
    EXPECT_EQ(r.left, want.left) << entry.name << " stands off its designed left edge";
    EXPECT_EQ(r.top, want.top) << entry.name << " stands off its designed top edge";
    EXPECT_NEAR(r.right - r.left, want.right - want.left, 1) << entry.name << " has the wrong width";
    EXPECT_NEAR(r.bottom - r.top, want.bottom - want.top, 1) << entry.name << " has the wrong height";
    std::printf("[ place ] %-15s in %-13s px %-20s twips (%d,%d %dx%d)\n", std::string(entry.name).c_str(),
                entry.container.empty() ? "client" : std::string(entry.container).c_str(),
                RectText(r).c_str(), w.window.TwipsX(r.left), w.window.TwipsY(r.top),
                w.window.TwipsX(r.right - r.left), w.window.TwipsY(r.bottom - r.top));
  }

  // Fonts: the form's "Terminal" with Shift-JIS for all but the free-size field,
  // which keeps the window's default font; the label buttons underlined.
  for (const ui::Control* control : w.frm.form.Controls()) {
    auto font = reinterpret_cast<HFONT>(SendMessageW(w.H(*control), WM_GETFONT, 0, 0));
    if (control == &w.frm.txt_Sizes) {
      EXPECT_EQ(font, GetStockObject(DEFAULT_GUI_FONT)) << "the free-size field is not in the default font";
      continue;
    }
    LOGFONTW lf{};
    ASSERT_TRUE(font && GetObjectW(font, sizeof lf, &lf)) << control->name() << " has no font of its own";
    EXPECT_EQ(lf.lfCharSet, SHIFTJIS_CHARSET) << control->name() << " cannot draw its Japanese caption";
    bool labelButton = control == &w.frm.lblInSelect || control == &w.frm.lblOutSelect;
    EXPECT_EQ(lf.lfUnderline != 0, labelButton)
        << control->name() << (labelButton ? " does not look like a link" : " is underlined");
  }

  // Colours: the output folder in red, the label buttons in the button-text colour.
  HDC probe = CreateCompatibleDC(nullptr);
  SendMessageW(w.Main(), WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(probe),
               reinterpret_cast<LPARAM>(w.H(w.frm.txtOutPath)));
  EXPECT_EQ(GetTextColor(probe), RGB(255, 0, 0)) << "the output folder is not drawn in red";
  SendMessageW(w.Main(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(probe),
               reinterpret_cast<LPARAM>(w.H(w.frm.lblInSelect)));
  EXPECT_EQ(GetTextColor(probe), GetSysColor(COLOR_BTNTEXT))
      << "the source label button has the wrong colour";
  DeleteDC(probe);

  // The split button is the default button; the source label shows the pointing hand.
  EXPECT_EQ(GetWindowLongW(w.H(w.frm.btnSpltExec), GWL_STYLE) & BS_TYPEMASK, BS_DEFPUSHBUTTON)
      << "Enter would not start the split";
  SendMessageW(w.H(w.frm.lblInSelect), WM_SETCURSOR, reinterpret_cast<WPARAM>(w.H(w.frm.lblInSelect)),
               MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_HAND)) << "the source label does not show the hand pointer";

  // Tooltips: one per control with a tip in the design, with its text.
  HWND tips = nullptr;
  for (HWND top : guitest::TopLevelWindows(GetCurrentProcessId(), false)) {
    if (guitest::ClassName(top) == "tooltips_class32" && GetWindow(top, GW_OWNER) == w.Main()) tips = top;
  }
  ASSERT_NE(tips, nullptr) << "the window shows no tooltips";
  int tipped = 0;
  for (const design::ControlDesign& entry : design::kControls) {
    if (entry.tooltip.empty()) continue;
    ++tipped;
    const ui::Control* control = nullptr;
    for (const ui::Control* c : w.frm.form.Controls()) {
      if (c->name() == entry.name) control = c;
    }
    ASSERT_NE(control, nullptr);
    wchar_t text[128] = {};
    TTTOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.hwnd = GetParent(w.H(*control));
    tool.uId = reinterpret_cast<UINT_PTR>(w.H(*control));
    tool.lpszText = text;
    SendMessageW(tips, TTM_GETTEXTW, 128, reinterpret_cast<LPARAM>(&tool));
    EXPECT_EQ(platform::win32::Narrow(text), entry.tooltip) << entry.name << " shows the wrong tooltip";
  }
  EXPECT_EQ(SendMessageW(tips, TTM_GETTOOLCOUNT, 0, 0), tipped)
      << "a control has a tooltip it should not have";

  // The menu bar, walked as the user opens it: every caption in design order
  // under its parent, separators as lines, nothing checked or greyed yet.
  struct Seen {
    std::string caption;
    std::string parent;
    bool operator==(const Seen&) const = default;
  };
  std::vector<Seen> real;
  struct Walk {
    static void Menu(HMENU menu, const std::string& parent, std::vector<Seen>& out) {
      for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_SUBMENU;
        GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info);
        wchar_t text[128] = {};
        GetMenuStringW(menu, static_cast<UINT>(i), text, 128, MF_BYPOSITION);
        std::string caption = (info.fType & MFT_SEPARATOR) ? "-" : platform::win32::Narrow(text);
        if (caption != "-") {  // a separator counts as greyed
          EXPECT_FALSE(info.fState & (MFS_CHECKED | MFS_GRAYED))
              << caption << " is checked or greyed at start";
        }
        out.push_back({caption, parent});
        if (info.hSubMenu) Walk::Menu(info.hSubMenu, caption, out);
      }
    }
  };
  Walk::Menu(w.window.MenuBar(), "", real);
  std::vector<Seen> designed;
  for (const design::MenuDesign& item : design::kMenus) {
    designed.push_back({std::string(item.caption), std::string(design::MenuCaption(item.parent))});
  }
  EXPECT_EQ(real, designed) << "the real menus differ from the design (order, captions or nesting)";

  LONG style = GetWindowLongW(w.Main(), GWL_STYLE);
  EXPECT_FALSE(style & WS_THICKFRAME) << "the window can be resized by dragging its border";
  EXPECT_NE(SendMessageW(w.Main(), WM_GETICON, ICON_BIG, 0), 0) << "the window shows no icon";
}

TEST(MainWindow, SizeOptionsSetTheSizeFieldAndWarnOnEveryCdChoice) {
  LiveMain w;
  ASSERT_TRUE(w.shown()) << "the main window could not be created and shown";
  const HICON information = LoadIconW(nullptr, IDI_INFORMATION);

  struct Case {
    int option;
    const char* size;  // what the size field shows
    double bytes;
    bool warning;
  };
  for (const Case& c : {
           Case{0, "1,457,664", 1457664, false}, Case{1, "1,250,304", 1250304, false},
           Case{2, "681,984,000", 681984000, true},
           Case{2, "681,984,000", 681984000, true},  // chosen again while selected: warned again
           Case{0, "1,457,664", 1457664, false},
           Case{3, "1,457,664", 1457664, false},  // the free size keeps the preset's size
       }) {
    const std::string what = "option " + std::to_string(c.option);
    w.Click(w.frm.optSpltSize[c.option]);
    std::vector<ShownBox> boxes = w.boxes.Take();
    if (c.warning) {
      ASSERT_EQ(boxes.size(), 1u) << what << ": the memory warning must show once on every CD choice";
      EXPECT_EQ(boxes[0].text, kMemoryWarning) << "the memory warning's text is wrong";
      EXPECT_EQ(boxes[0].title, "") << "the memory warning must have an empty title";
      EXPECT_EQ(boxes[0].buttons, std::vector<int>{IDOK}) << "the memory warning must offer only OK";
      EXPECT_EQ(boxes[0].icon, information) << "the memory warning must show the information icon";
    } else {
      EXPECT_TRUE(boxes.empty()) << what << " showed a message box: " << (boxes.empty() ? "" : boxes[0].text);
    }
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(w.Checked(w.frm.optSpltSize[i]), i == c.option)
          << what << ": option " << i << " shows the wrong dot";
    }
    EXPECT_EQ(w.Text(w.frm.txt_Sizes), c.size) << what << ": the size field shows the wrong size";
    EXPECT_EQ(w.Text(w.frm.lbl1[0]), "bytes") << what << ": the unit beside the size is wrong";
    EXPECT_EQ(w.Enabled(w.frm.txt_Sizes), c.option == 3)
        << what << ": the free-size field must be usable exactly with the free size";
    EXPECT_EQ(w.frm.split.lngSpltSize, c.bytes) << what << ": the split would use another part size";
    EXPECT_EQ(w.frm.split.byteSpltSize, c.option) << what;
  }

  // Keys typed on the focused free-size option build the size digit by digit.
  w.Focus(w.frm.optSpltSize[3]);
  w.Type(w.frm.optSpltSize[3], "\b\b\b\b\b\b\b");
  EXPECT_EQ(w.Text(w.frm.txt_Sizes), "0") << "backspace on the free-size option did not remove the digits";
  EXPECT_EQ(w.Text(w.frm.lbl1[0]), "byte") << "a size of 0 must read \"byte\"";
  w.Type(w.frm.optSpltSize[3], "1250304");
  EXPECT_EQ(w.Text(w.frm.txt_Sizes), "1,250,304")
      << "digits typed on the free-size option did not build the size";
  EXPECT_EQ(w.frm.split.lngSpltSize, 1250304);
  EXPECT_TRUE(w.Checked(w.frm.optSpltSize[3])) << "a digit typed on the option chose another option";
  EXPECT_TRUE(w.boxes.Take().empty()) << "typing on the option showed a message box";
}

TEST(MainWindow, FreeSizeFieldShowsPlainDigitsWhileFocusedAndChecksTheValueOnLeaving) {
  const HICON stop = LoadIconW(nullptr, IDI_ERROR);
  struct Case {
    const char* what;
    const char* typed;
    const char* whileFocused;  // the field's text before the focus leaves
    double size;               // the part size afterwards
    bool refused;              // the validation message shows and the focus comes back
    const char* shown;         // the field's text at the end
  };
  for (const Case& c : {
           Case{"plain digits", "2500000", "2500000", 2500000, false, "2,500,000"},
           Case{"grouped digits", "1,250,304", "1,250,304", 1250304, false, "1,250,304"},
           Case{"half to the even 2", "2.5", "2.5", 2, false, "2"},
           Case{"half to the even 4", "3.5", "3.5", 4, false, "4"},
           Case{"an eleventh digit", "12345678901", "1234567890", 1234567890, false, "1,234,567,890"},
           Case{"zero", "0", "0", 0, true, "0"},
           Case{"negative", "-5", "-5", 0, true, "0"},
           Case{"letters", "abc", "abc", 1457664, true, "1457664"},
           Case{"emptied", "\b", "", 1457664, true, "1457664"},
           Case{"beyond 32 bits", "2147483648", "2147483648", 1457664, true, "1457664"},
       }) {
    LiveMain w;
    ASSERT_TRUE(w.shown()) << "the main window could not be created and shown";
    w.Click(w.frm.optSpltSize[0]);
    w.Click(w.frm.optSpltSize[3]);
    w.Focus(w.frm.txt_Sizes);
    ASSERT_EQ(GetFocus(), w.H(w.frm.txt_Sizes)) << c.what << ": the free-size field cannot take the focus";
    EXPECT_EQ(w.Text(w.frm.txt_Sizes), "1457664") << c.what << ": the focused field must show plain digits";
    EXPECT_EQ(w.Selection(w.frm.txt_Sizes), std::make_pair(0, 7))
        << c.what << ": typing would not replace the size";
    EXPECT_EQ(w.TextLimit(w.frm.txt_Sizes), 10)
        << c.what << ": the focused field must take at most 10 characters";

    w.Type(w.frm.txt_Sizes, c.typed);
    EXPECT_EQ(w.Text(w.frm.txt_Sizes), c.whileFocused) << c.what << ": the field did not take the typing";
    EXPECT_EQ(w.frm.txt_Sizes.Text(), c.whileFocused) << c.what << ": the model missed the typing";
    w.Tab();

    std::vector<ShownBox> boxes = w.boxes.Take();
    if (c.refused) {
      ASSERT_EQ(boxes.size(), 1u) << c.what << ": the validation message must show once";
      EXPECT_EQ(boxes[0].text, kSizeMessage) << c.what;
      EXPECT_EQ(boxes[0].title, kSizeTitle) << c.what << ": the validation title is wrong (trailing blank?)";
      EXPECT_EQ(boxes[0].buttons, std::vector<int>{IDOK}) << c.what;
      EXPECT_EQ(boxes[0].icon, stop) << c.what << ": the validation message must show the stop icon";
      EXPECT_EQ(GetFocus(), w.H(w.frm.txt_Sizes)) << c.what << ": the focus did not come back to the field";
      EXPECT_EQ(w.frm.form.Focused(), &w.frm.txt_Sizes) << c.what;
      EXPECT_EQ(w.Selection(w.frm.txt_Sizes).second, w.frm.txt_Sizes.Length())
          << c.what << ": the field's text is not selected for retyping";
    } else {
      EXPECT_TRUE(boxes.empty()) << c.what << ": a good size was refused";
      EXPECT_NE(GetFocus(), w.H(w.frm.txt_Sizes)) << c.what << ": Tab did not leave the field";
      EXPECT_EQ(w.TextLimit(w.frm.txt_Sizes), 13) << c.what << ": the grouped size needs up to 13 characters";
    }
    EXPECT_EQ(w.Text(w.frm.txt_Sizes), c.shown) << c.what << ": the field shows the wrong size";
    EXPECT_EQ(w.frm.txt_Sizes.Text(), c.shown) << c.what << ": the model and the field differ";
    EXPECT_EQ(w.frm.split.lngSpltSize, c.size) << c.what << ": the split would use the wrong part size";
  }
}

TEST(MainWindow, RangeModeFromTheMenuResizesTheWindowAndUnlocksTheRange) {
  LiveMain w;
  ASSERT_TRUE(w.shown()) << "the main window could not be created and shown";
  const int dpi = ScreenDpiY();
  const SIZE tall = {MulDiv(design::kOuterWidth, dpi, 1440),
                     MulDiv(design::kOuterHeightWithRange, dpi, 1440)};
  const SIZE shortForm = {tall.cx, MulDiv(design::kOuterHeightWithoutRange, dpi, 1440)};
  auto sizeIs = [&w](SIZE want) { return w.Outer().cx == want.cx && w.Outer().cy == want.cy; };
  const ui::Control* rangeRow[] = {&w.frm.txtSpltPart[0], &w.frm.lbl1[1], &w.frm.txtSpltPart[1],
                                   &w.frm.lbl1[2]};
  const ui::Control* statusRow[] = {&w.frm.lblComplt, &w.frm.lblFInfo};
  auto clientBottom = [&w] {
    RECT client{};
    GetClientRect(w.Main(), &client);
    return client.bottom;
  };
  std::printf("[ size ] %d dpi: tall %ldx%ld, short %ldx%ld pixels\n", dpi, tall.cx, tall.cy, shortForm.cx,
              shortForm.cy);

  EXPECT_TRUE(sizeIs(shortForm)) << "without range mode the window must be 4395 x 4530 twips, not "
                                 << w.Outer().cx << "x" << w.Outer().cy << " pixels";
  for (const ui::Control* c : rangeRow) {
    EXPECT_GE(w.PlaceInClient(*c).top, clientBottom()) << c->name() << " shows without range mode";
  }
  for (const ui::Control* c : statusRow) {
    EXPECT_LE(w.PlaceInClient(*c).bottom, clientBottom()) << c->name() << " is cut off in the short window";
  }

  // No source yet: the range becomes "1" to "0", which the boxes raise to "1".
  w.Choose({"mnuSet", "mnuSettings(3)"});
  EXPECT_TRUE(w.MenuChecked({"mnuSet", "mnuSettings(3)"})) << "range mode shows no check mark";
  EXPECT_TRUE(sizeIs(tall)) << "range mode must make the window 4395 x 4995 twips, not " << w.Outer().cx
                            << "x" << w.Outer().cy << " pixels";
  std::printf("[ size ] client area %d pixels high in range mode\n", static_cast<int>(clientBottom()));
  for (const ui::Control* c : rangeRow) {
    EXPECT_LE(w.PlaceInClient(*c).bottom, clientBottom()) << c->name() << " is cut off in range mode";
  }
  for (int i = 0; i < 2; ++i) {
    EXPECT_TRUE(w.Enabled(w.frm.txtSpltPart[i])) << "range box " << i << " cannot be used in range mode";
    EXPECT_EQ(w.Text(w.frm.txtSpltPart[i]), "1") << "range box " << i << " without a source must read 1";
  }

  // Maximizing, and minimizing then restoring, leave the fixed size.
  ShowWindow(w.Main(), SW_MAXIMIZE);
  PumpPending();
  EXPECT_FALSE(IsZoomed(w.Main())) << "the window stayed maximized";
  EXPECT_TRUE(sizeIs(tall)) << "after maximizing in range mode the window is " << w.Outer().cx << "x"
                            << w.Outer().cy << " pixels";
  ShowWindow(w.Main(), SW_MINIMIZE);
  PumpPending();
  ShowWindow(w.Main(), SW_RESTORE);
  PumpPending();
  EXPECT_TRUE(sizeIs(tall)) << "restoring from the taskbar changed the window's size";

  // With a plan, a typed range; turning range mode off resets it to the whole plan.
  w.PlanParts(10);
  w.frm.txtSpltPart[0].SetText("3");
  w.frm.txtSpltPart[1].SetText("4");
  w.Choose({"mnuSet", "mnuSettings(3)"});
  EXPECT_FALSE(w.MenuChecked({"mnuSet", "mnuSettings(3)"})) << "range mode kept its check mark";
  EXPECT_TRUE(sizeIs(shortForm)) << "turning range mode off did not shrink the window back";
  for (int i = 0; i < 2; ++i) {
    EXPECT_FALSE(w.Enabled(w.frm.txtSpltPart[i])) << "range box " << i << " stays usable without range mode";
  }
  EXPECT_EQ(w.Text(w.frm.txtSpltPart[0]), "1") << "leaving range mode must reset the range";
  EXPECT_EQ(w.Text(w.frm.txtSpltPart[1]), "10")
      << "leaving range mode must reset the range to the part count";

  ShowWindow(w.Main(), SW_MAXIMIZE);
  PumpPending();
  EXPECT_FALSE(IsZoomed(w.Main())) << "the window stayed maximized";
  EXPECT_TRUE(sizeIs(shortForm)) << "after maximizing without range mode the window is " << w.Outer().cx
                                 << "x" << w.Outer().cy << " pixels";
  EXPECT_EQ(w.frm.form.State(), ui::WindowState::kNormal) << "the model thinks the window is not normal";
  EXPECT_TRUE(w.boxes.Take().empty()) << "range mode showed a message box";
}

TEST(MainWindow, RangeBoxesTakeOnlyDigitsAndStayWithinThePlan) {
  struct Case {
    const char* what;
    int parts;          // 0: no source, so no plan
    int box;            // typed into
    const char* first;  // the range before typing ("" leaves it as range mode set it)
    const char* last;
    int caret;           // -1: the whole text selected, as the focus leaves it
    const char* typed;   // typed as characters
    const char* pasted;  // pasted over the selection instead, when not null
    const char* wantFirst;
    const char* wantLast;
    int wantCaret;  // -1: not checked
  };
  for (const Case& c : {
           Case{"25 as the last of 10 parts", 10, 1, "", "", -1, "25", nullptr, "1", "10", -1},
           Case{"8 as the first while the last is 5", 10, 0, "", "5", -1, "8", nullptr, "5", "5", -1},
           Case{"letters", 10, 0, "4", "", -1, "ab", nullptr, "4", "10", -1},
           Case{"emptied", 10, 0, "4", "", -1, "\b", nullptr, "1", "10", -1},
           Case{"a 0 in front of 7", 10, 1, "", "7", 0, "0", nullptr, "1", "7", 0},
           Case{"pasted 12ab", 30, 1, "", "", -1, "", "12ab", "1", "12", -1},
           Case{"no plan bounds only at 2147483647", 0, 1, "", "", -1, "3000000000", nullptr, "1",
                "2147483647", -1},
       }) {
    LiveMain w;
    ASSERT_TRUE(w.shown()) << "the main window could not be created and shown";
    w.PlanParts(c.parts);
    w.Choose({"mnuSet", "mnuSettings(3)"});
    ASSERT_TRUE(w.Enabled(w.frm.txtSpltPart[c.box])) << c.what << ": range mode did not unlock the box";
    if (*c.last) w.frm.txtSpltPart[1].SetText(c.last);
    if (*c.first) w.frm.txtSpltPart[0].SetText(c.first);

    const ui::TextBox& box = w.frm.txtSpltPart[c.box];
    w.Focus(box);
    if (c.caret < 0) {
      EXPECT_EQ(w.Selection(box), std::make_pair(0, box.Length()))
          << c.what << ": the focused box does not select its text";
    } else {
      SendMessageW(w.H(box), EM_SETSEL, static_cast<WPARAM>(c.caret), static_cast<LPARAM>(c.caret));
    }
    if (c.pasted) {
      SendMessageW(w.H(box), EM_REPLACESEL, TRUE,
                   reinterpret_cast<LPARAM>(platform::win32::Widen(c.pasted).c_str()));
      PumpPending();
    } else {
      w.Type(box, c.typed);
    }

    EXPECT_EQ(w.Text(w.frm.txtSpltPart[0]), c.wantFirst) << c.what << ": the first box shows the wrong part";
    EXPECT_EQ(w.Text(w.frm.txtSpltPart[1]), c.wantLast) << c.what << ": the last box shows the wrong part";
    EXPECT_EQ(w.frm.txtSpltPart[0].Text(), c.wantFirst) << c.what << ": the model and the first box differ";
    EXPECT_EQ(w.frm.txtSpltPart[1].Text(), c.wantLast) << c.what << ": the model and the last box differ";
    if (c.wantCaret >= 0) {
      EXPECT_EQ(w.Selection(box), std::make_pair(c.wantCaret, c.wantCaret))
          << c.what << ": the cursor is not where the user typed";
    }
    EXPECT_TRUE(w.boxes.Take().empty()) << c.what << ": typing a range showed a message box";
  }
}

TEST(MainWindow, SettingsMenuAndOptionsKeepCheckBoxesAndMarksInStep) {
  LiveMain w;
  ASSERT_TRUE(w.shown()) << "the main window could not be created and shown";
  w.PlanParts(3);
  ASSERT_EQ(w.Text(w.frm.lblFInfo), "3 File(s)");

  // The batch file: by the menu and by the check box, each twice.
  struct Step {
    bool byMenu;
    bool on;
    const char* info;
  };
  for (const Step& s : {Step{true, true, "3 + 1 File(s)"}, Step{true, false, "3 File(s)"},
                        Step{false, true, "3 + 1 File(s)"}, Step{false, false, "3 File(s)"}}) {
    const char* how = s.byMenu ? "the batch menu item" : "the batch check box";
    if (s.byMenu) {
      w.Choose({"mnuSet", "mnuSettings(0)"});
    } else {
      w.Click(w.frm.chkMkBat);
    }
    EXPECT_EQ(w.Checked(w.frm.chkMkBat), s.on) << how << " left the check box wrong";
    EXPECT_EQ(w.MenuChecked({"mnuSet", "mnuSettings(0)"}), s.on) << how << " left the menu check mark wrong";
    EXPECT_EQ(w.Text(w.frm.lblFInfo), s.info) << how << ": the file count does not follow the batch file";
  }

  // Same-folder mode locks the output folder without changing it.
  w.frm.txtOutPath.SetText("D:\\出力先");
  for (const Step& s :
       {Step{true, true, ""}, Step{true, false, ""}, Step{false, true, ""}, Step{false, false, ""}}) {
    const char* how = s.byMenu ? "the same-folder menu item" : "the same-folder check box";
    if (s.byMenu) {
      w.Choose({"mnuSet", "mnuSettings(2)"});
    } else {
      w.Click(w.frm.chkSamDir);
    }
    EXPECT_EQ(w.Checked(w.frm.chkSamDir), s.on) << how << " left the check box wrong";
    EXPECT_EQ(w.MenuChecked({"mnuSet", "mnuSettings(2)"}), s.on) << how << " left the menu check mark wrong";
    EXPECT_EQ(w.Enabled(w.frm.txtOutPath), !s.on)
        << how << ": the output folder box is " << (s.on ? "still usable" : "still locked");
    EXPECT_EQ(w.Enabled(w.frm.lblOutSelect), !s.on)
        << how << ": the output folder button is " << (s.on ? "still usable" : "still locked");
    EXPECT_EQ(w.Text(w.frm.txtOutPath), "D:\\出力先") << how << " changed the output folder";
  }

  // The overwrite options and the submenu: always exactly one mark, the chosen one.
  for (const auto& [byMenu, index] : std::vector<std::pair<bool, int>>{
           {false, 1}, {true, 2}, {true, 2}, {false, 0}, {true, 1}, {false, 1}, {true, 0}}) {
    const std::string how = (byMenu ? "submenu item " : "option ") + std::to_string(index);
    if (byMenu) {
      const std::string item = "mnuSetOW(" + std::to_string(index) + ")";
      w.Choose({"mnuSet", "mnuSettings(1)", item});
    } else {
      w.Click(w.frm.optHmny[index]);
    }
    int marks = 0;
    for (int i = 0; i < 3; ++i) {
      const std::string item = "mnuSetOW(" + std::to_string(i) + ")";
      bool marked = w.MenuChecked({"mnuSet", "mnuSettings(1)", item});
      marks += marked ? 1 : 0;
      EXPECT_EQ(marked, i == index) << how << ": submenu item " << i << " has the wrong mark";
      EXPECT_EQ(w.Checked(w.frm.optHmny[i]), i == index) << how << ": overwrite option " << i << " is wrong";
    }
    EXPECT_EQ(marks, 1) << how << ": the overwrite submenu must show exactly one check mark";
    EXPECT_EQ(w.frm.split.byteHmny, index) << how << ": existing files would be treated another way";
  }
  EXPECT_TRUE(w.boxes.Take().empty()) << "the settings showed a message box";
}

TEST(MainWindow, ScreenshotsOfBothHeights) {
  const std::string folder = guitest::ScreenshotFolder();
  ASSERT_FALSE(folder.empty()) << "QUARNIMO_BUILD_DIR is not set";
  LiveMain w;
  ASSERT_TRUE(w.shown()) << "the main window could not be created and shown";
  w.frm.form.SetTitle("Quarnimo");  // start-up's title, the product name
  w.frm.txtInFile.SetText("C:\\データ\\分割元.dat");
  w.frm.txtOutPath.SetText("D:\\出力先");
  w.frm.lblSize.SetCaption("Size: 3,000,000 bytes");
  w.frm.split.lngFileSize = 3000000;
  w.Click(w.frm.optSpltSize[0]);
  w.Click(w.frm.chkMkBat);
  w.Click(w.frm.optHmny[2]);
  w.Choose({"mnuSet", "mnuSettings(3)"});
  ASSERT_EQ(w.Text(w.frm.lblFInfo), "3 + 1 File(s)");
  ASSERT_EQ(w.Text(w.frm.txtSpltPart[1]), "3");
  SetFocus(w.H(w.frm.btnSpltExec));

  guitest::PumpFor(300);  // let Wine put the window on the X screen
  EXPECT_TRUE(guitest::SaveWindowImage(w.Main(), folder + "\\main_window_tall.bmp"))
      << "the tall window's image could not be saved";
  w.Choose({"mnuSet", "mnuSettings(3)"});
  guitest::PumpFor(300);
  EXPECT_TRUE(guitest::SaveWindowImage(w.Main(), folder + "\\main_window_short.bmp"))
      << "the short window's image could not be saved";
  EXPECT_TRUE(w.boxes.Take().empty()) << "preparing the screenshots showed a message box";
}

}  // namespace
}  // namespace qn
