// The Win32 binding of the control model, driven through real window
// messages as a user would drive it: each case checks that the handlers ran
// as the event rule says and that the real controls show what the model holds.
#include <windows.h>
// After <windows.h>, which it needs.
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/ui/controls.h"
#include "platform/win32/ui_form.h"
#include "platform/win32/wide.h"
#include "tests/wine/support/gui.h"

namespace qn {
namespace {

using guitest::PressKey;
using guitest::PumpPending;
using guitest::TypeText;
using guitest::WindowText;
using platform::win32::FormWindow;

constexpr int kIconResource = 101;  // ui_binding_test.rc

int Count(const std::vector<std::string>& log, const std::string& event) {
  return static_cast<int>(std::count(log.begin(), log.end(), event));
}

// A small window with one control of each kind, a frame of options and menus;
// every handler writes what ran into `log`.
struct Demo {
  ui::Form form{"frmDemo"};
  ui::TextBox txtName{"txtName"};
  ui::TextBox txtPart{"txtPart"};
  ui::TextBox txtSize{"txtSize"};
  ui::TextBox txtOut{"txtOut"};
  ui::Label lblPick{"lblPick"};
  ui::Label lblStatus{"lblStatus"};
  ui::CheckBox chkBatch{"chkBatch"};
  ui::Frame frameSize{"frameSize"};
  ui::OptionButton opt0{"opt0"};
  ui::OptionButton opt1{"opt1"};
  ui::OptionButton opt2{"opt2"};
  std::vector<ui::OptionButton*> options{&opt0, &opt1, &opt2};
  ui::CommandButton btnGo{"btnGo"};
  ui::Image picIcon{"picIcon"};

  ui::MenuItem mnuFile{"mnuFile", "ファイル(&F)"};
  ui::MenuItem mnuGo{"mnuGo", "分割実行(&E)"};
  ui::MenuItem mnuSep{"mnuSep", "-"};
  ui::MenuItem mnuExit{"mnuExit", "終了(&X)"};
  ui::MenuItem mnuSet{"mnuSet", "設定(&S)"};
  ui::MenuItem mnuBatch{"mnuBatch", "バッチファイル作成(&M)"};
  ui::MenuItem mnuSize{"mnuSize", "サイズ(&O)"};
  ui::MenuItem mnuSize0{"mnuSize0", "1.44MB"};
  ui::MenuItem mnuSize1{"mnuSize1", "1.25MB"};
  ui::MenuItem mnuSize2{"mnuSize2", "650MB"};

  std::vector<std::string> log;
  bool redirectSize = false;  // txtSize's lost-focus handler sends the focus back
  bool warnSize = false;      // ... after a message box, as the free-size check does
  bool restoreOnResize = true;
  int tallHeight = 4995;

  explicit Demo(int frameTab = 5) {
    form.designClient = {0, 0, 4305, 4335};
    form.font = {"Terminal", 9.75, false, false, 128};
    form.SetTitle("Quarnimo デモ");
    form.iconResource = kIconResource;
    struct Place {
      ui::Control& control;
      ui::Rect rect;
      int tab;
    };
    for (const Place& p : std::initializer_list<Place>{
             {txtName, {720, 195, 3495, 270}, 0},
             {txtOut, {720, 960, 3495, 270}, 1},
             {btnGo, {3080, 1440, 1215, 495}, 2},
             {chkBatch, {120, 1320, 2900, 255}, 3},
             {frameSize, {120, 2040, 3975, 735}, frameTab},
             {opt0, {0, 240, 1215, 255}, 4},
             {opt1, {1320, 240, 1215, 255}, 6},
             {opt2, {2640, 240, 1215, 255}, 7},
             {txtSize, {1320, 420, 1815, 270}, 8},
             {txtPart, {360, 3960, 1095, 270}, 9},
             {lblPick, {60, 240, 615, 255}, 10},
             {lblStatus, {120, 3600, 2175, 255}, 11},
             {picIcon, {120, 600, 480, 480}, 12},
         }) {
      p.control.rect = p.rect;
      p.control.tabIndex = p.tab;
      form.Add(p.control);
    }
    opt0.container = opt1.container = opt2.container = txtSize.container = &frameSize;
    for (ui::OptionButton* o : options) o->group = &options;
    opt0.SetCaption("1.&44MB/FD");
    opt1.SetCaption("1.&25MB/FD");
    opt2.SetCaption("&650MB/CD");
    opt1.tooltip = "NEC PC-98";
    frameSize.SetCaption("同名のファイルが存在していたときの処理方法");
    chkBatch.SetCaption("結合用バッチファイルを作成(&M)");
    btnGo.SetCaption("分割実行(&E)");
    btnGo.isDefault = true;
    btnGo.SetMousePointer(ui::Pointer::kHand);
    lblPick.SetCaption("分割元");
    lblPick.underline = true;
    lblPick.tooltip = "分割元ファイルを参照します。";
    lblPick.SetMousePointer(ui::Pointer::kHand);
    lblStatus.SetCaption("Size:");
    txtOut.SetForeColor(ui::Rgb(255, 0, 0));
    txtSize.ownFont = true;  // the window's default GUI font
    picIcon.iconResource = kIconResource;
    txtPart.SetText("1");

    txtName.onChange = [this] { log.push_back("txtName.change:" + txtName.Text()); };
    // Upper-cases letters and swallows "x": a changed key goes on, a 0 is dropped.
    txtName.onKeyPress = [this](int& key) {
      log.push_back("txtName.key");
      if (key == 'x') key = 0;
      if (key >= 'a' && key <= 'z') key -= 32;
    };
    // Keeps the box to its leading number, nested, like the range boxes.
    txtPart.onChange = [this] {
      log.push_back("txtPart.change:" + txtPart.Text());
      std::string digits;
      for (char c : txtPart.Text()) {
        if (c < '0' || c > '9') break;
        digits += c;
      }
      while (digits.size() > 1 && digits[0] == '0') digits.erase(0, 1);
      if (digits.empty()) digits = "1";
      txtPart.SetText(digits);
    };
    txtPart.onKeyPress = [this](int& key) {
      if ((key < '0' || key > '9') && key != 8) key = 0;
    };
    txtOut.onChange = [this] { log.push_back("txtOut.change:" + txtOut.Text()); };
    for (ui::TextBox* box : {&txtName, &txtOut, &txtSize, &txtPart}) {
      box->onGotFocus = [this, box] { log.push_back(box->name() + ".got"); };
      box->onLostFocus = [this, box] { log.push_back(box->name() + ".lost"); };
    }
    txtSize.onLostFocus = [this] {
      log.push_back("txtSize.lost");
      if (warnSize)
        MessageBoxW(GetActiveWindow(), L"ファイルのサイズは範囲内にしてください", L"", MB_OK | MB_ICONSTOP);
      if (redirectSize) form.SetFocus(txtSize);
    };
    chkBatch.onClick = [this] {
      log.push_back("chkBatch.click:" + std::to_string(chkBatch.Value()));
      mnuBatch.SetChecked(chkBatch.Value() != 0);
    };
    for (size_t i = 0; i < options.size(); ++i) {
      ui::OptionButton* o = options[i];
      o->onClick = [this, o, i] {
        log.push_back(o->name() + ".click");
        for (size_t k = 0; k < 3; ++k) sizeItems()[k]->SetChecked(k == i);
        txtSize.SetEnabled(i == 2);
      };
      o->onKeyPress = [this, o](int& key) { log.push_back(o->name() + ".key:" + std::to_string(key)); };
      o->onGotFocus = [this, o] { log.push_back(o->name() + ".got"); };
    }
    btnGo.onClick = [this] { log.push_back("btnGo.click"); };
    lblPick.onMouseDown = [this](int button) {
      log.push_back("lblPick.down:" + std::to_string(button));
      lblPick.SetForeColor(ui::kHighlightColor);
    };
    lblPick.onMouseUp = [this](int button) {
      log.push_back("lblPick.up:" + std::to_string(button));
      lblPick.SetForeColor(ui::kButtonTextColor);
    };
    lblPick.onDblClick = [this] {
      log.push_back("lblPick.dbl");
      lblPick.SetForeColor(ui::kHighlightColor);
    };
    lblPick.onClick = [this] { log.push_back("lblPick.click"); };

    mnuFile.items = {&mnuGo, &mnuSep, &mnuExit};
    mnuSize.items = {&mnuSize0, &mnuSize1, &mnuSize2};
    mnuSet.items = {&mnuBatch, &mnuSize};
    form.menuBar = {&mnuFile, &mnuSet};
    mnuGo.onClick = [this] { log.push_back("mnuGo.click"); };
    mnuExit.onClick = [this] { form.Close(); };
    mnuBatch.onClick = [this] { chkBatch.SetValue(chkBatch.Value() == 0 ? 1 : 0); };
    for (size_t i = 0; i < 3; ++i) sizeItems()[i]->onClick = [this, i] { options[i]->Select(); };

    // The main window's rule: never maximized, and always one of two fixed sizes.
    form.onResize = [this] {
      log.push_back("resize");
      if (!restoreOnResize) return;
      if (form.State() == ui::WindowState::kMaximized) form.SetState(ui::WindowState::kNormal);
      if (form.State() == ui::WindowState::kNormal) form.SetOuterSize(4395, tallHeight);
    };
    form.onQueryUnload = [this] { log.push_back("unload"); };
  }

  std::vector<ui::MenuItem*> sizeItems() { return {&mnuSize0, &mnuSize1, &mnuSize2}; }
};

class UiBindingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(window.Create()) << "the demo window could not be created";
    window.Show(SW_SHOWNORMAL);
    PumpPending();
    demo.log.clear();
  }
  void TearDown() override { PumpPending(); }

  HWND Hwnd(const ui::Control& control) { return window.ControlWindow(control); }
  void Click(const ui::Control& control) {
    SendMessageW(Hwnd(control), BM_CLICK, 0, 0);
    PumpPending();
  }
  bool Checked(const ui::Control& control) {
    return SendMessageW(Hwnd(control), BM_GETCHECK, 0, 0) == BST_CHECKED;
  }
  guitest::MenuPlace Menu(const std::vector<std::string>& path) {
    auto place = guitest::FindMenuItem(window.MenuBar(), path);
    EXPECT_TRUE(place.has_value()) << "menu item missing from the menu bar: " << path.back();
    return place.value_or(guitest::MenuPlace{});
  }
  void Choose(const guitest::MenuPlace& place) {
    SendMessageW(window.hwnd(), WM_COMMAND, MAKEWPARAM(place.id, 0), 0);
    PumpPending();
  }
  void Focus(const ui::Control& control) {
    SetFocus(Hwnd(control));
    PumpPending();
  }

  Demo demo;
  FormWindow window{demo.form};
};

TEST_F(UiBindingTest, WindowShowsTheModelAtItsDesignPlaces) {
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  EXPECT_EQ(dpi, 96) << "Wine reports another resolution; the twips arithmetic below assumes 96 dpi";

  struct Case {
    const ui::Control& control;
    std::string text;
    const char* className;
  };
  for (const Case& c : std::vector<Case>{
           {demo.txtPart, "1", "Edit"},
           {demo.btnGo, "分割実行(&E)", "Button"},
           {demo.chkBatch, "結合用バッチファイルを作成(&M)", "Button"},
           {demo.opt0, "1.&44MB/FD", "Button"},
           {demo.lblPick, "分割元", "Static"},
           {demo.frameSize, "同名のファイルが存在していたときの処理方法", "QuarnimoFrame"},
       }) {
    HWND hwnd = Hwnd(c.control);
    ASSERT_NE(hwnd, nullptr) << c.control.name() << " has no window: the user would not see it";
    EXPECT_EQ(WindowText(hwnd), c.text) << c.control.name() << " shows another caption than the design";
    EXPECT_EQ(guitest::ClassName(hwnd), c.className) << c.control.name() << " is the wrong kind of control";
  }

  // Twips to pixels: 15 a pixel at 96 dpi; inside a frame, from the frame's corner.
  RECT r;
  GetWindowRect(Hwnd(demo.txtSize), &r);
  MapWindowPoints(nullptr, Hwnd(demo.frameSize), reinterpret_cast<POINT*>(&r), 2);
  EXPECT_EQ(r.left, 1320 / 15) << "a control inside a frame is not placed relative to the frame";
  EXPECT_EQ(r.top, 420 / 15);
  EXPECT_EQ(r.right - r.left, 1815 / 15) << "width in twips is not converted at 15 twips a pixel";
  EXPECT_EQ(GetParent(Hwnd(demo.opt1)), Hwnd(demo.frameSize)) << "the frame does not contain its options";

  // The form's outer size includes caption, borders and menu bar; the resize rule set it.
  GetWindowRect(window.hwnd(), &r);
  EXPECT_EQ(r.right - r.left, 4395 / 15) << "outer width differs from the form's twips";
  EXPECT_EQ(r.bottom - r.top, 4995 / 15) << "outer height differs from the form's twips";
  EXPECT_EQ(demo.form.Width(), 4395);
  LONG style = GetWindowLongW(window.hwnd(), GWL_STYLE);
  EXPECT_FALSE(style & WS_THICKFRAME) << "the window has a sizing border; it must keep its fixed size";

  // Terminal with the Shift-JIS character set: whatever face stands in, it must draw Japanese.
  auto font = reinterpret_cast<HFONT>(SendMessageW(Hwnd(demo.lblPick), WM_GETFONT, 0, 0));
  LOGFONTW lf{};
  ASSERT_TRUE(font && GetObjectW(font, sizeof lf, &lf)) << "the label has no font of its own";
  EXPECT_TRUE(lf.lfUnderline) << "a label button is not underlined";
  HDC dc = GetDC(Hwnd(demo.lblPick));
  HGDIOBJ old = SelectObject(dc, font);
  wchar_t face[LF_FACESIZE] = {};
  GetTextFaceW(dc, LF_FACESIZE, face);
  WORD glyphs[3] = {};
  GetGlyphIndicesW(dc, L"分割元", 3, glyphs, GGI_MARK_NONEXISTING_GLYPHS);
  const int charset = GetTextCharset(dc);
  SelectObject(dc, old);
  ReleaseDC(Hwnd(demo.lblPick), dc);
  EXPECT_EQ(charset, SHIFTJIS_CHARSET) << "the captions' font cannot draw Japanese";
  for (WORD g : glyphs) EXPECT_NE(g, 0xFFFF) << "a Japanese caption would show boxes";
  std::printf("[ font ] \"Terminal\" with the Shift-JIS character set is drawn with \"%s\"\n",
              platform::win32::Narrow(face).c_str());

  EXPECT_NE(SendMessageW(window.hwnd(), WM_GETICON, ICON_BIG, 0), 0) << "the window has no icon";
  EXPECT_NE(SendMessageW(Hwnd(demo.picIcon), STM_GETICON, 0, 0), 0) << "the image control shows no icon";

  // The red text of the output box.
  HDC probe = CreateCompatibleDC(nullptr);
  SendMessageW(window.hwnd(), WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(probe),
               reinterpret_cast<LPARAM>(Hwnd(demo.txtOut)));
  EXPECT_EQ(GetTextColor(probe), RGB(255, 0, 0)) << "txtOut's text is not drawn red";
  DeleteDC(probe);

  // Tooltips: one tool per control that has a tip, with the model's text.
  HWND tips = nullptr;
  for (HWND top : guitest::TopLevelWindows(GetCurrentProcessId(), false)) {
    if (guitest::ClassName(top) == "tooltips_class32" && GetWindow(top, GW_OWNER) == window.hwnd())
      tips = top;
  }
  ASSERT_NE(tips, nullptr) << "the window has no tooltips";
  EXPECT_EQ(SendMessageW(tips, TTM_GETTOOLCOUNT, 0, 0), 2);
  wchar_t tipText[80] = {};
  TTTOOLINFOW tool{};
  tool.cbSize = TTTOOLINFOW_V2_SIZE;
  tool.hwnd = window.hwnd();
  tool.uId = reinterpret_cast<UINT_PTR>(Hwnd(demo.lblPick));
  tool.lpszText = tipText;
  SendMessageW(tips, TTM_GETTEXTW, 80, reinterpret_cast<LPARAM>(&tool));
  EXPECT_EQ(std::wstring(tipText), L"分割元ファイルを参照します。")
      << "the label button's tooltip text is wrong";

  // The mouse pointer over a label button is the pointing hand.
  SendMessageW(Hwnd(demo.lblPick), WM_SETCURSOR, reinterpret_cast<WPARAM>(Hwnd(demo.lblPick)),
               MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_HAND)) << "the label button does not show the hand pointer";
}

TEST_F(UiBindingTest, ChangesByCodeReachTheWindowAndRunEachHandlerOnce) {
  demo.txtName.SetText("abc");
  EXPECT_EQ(WindowText(Hwnd(demo.txtName)), "abc") << "a text set by code is not shown";
  EXPECT_EQ(Count(demo.log, "txtName.change:abc"), 1) << "the change handler must run once, not echo back";
  demo.txtName.SetText("abc");
  EXPECT_EQ(demo.log.size(), 1u) << "setting the same text ran a handler";

  // A change handler that changes its own box: the nested result reaches the window.
  demo.log.clear();
  demo.txtPart.SetText("007x");
  EXPECT_EQ(WindowText(Hwnd(demo.txtPart)), "7") << "the nested correction did not reach the box";
  EXPECT_EQ(demo.log, (std::vector<std::string>{"txtPart.change:007x", "txtPart.change:7"}));

  demo.chkBatch.SetValue(1);
  EXPECT_TRUE(Checked(demo.chkBatch)) << "a check box set by code shows no check";
  EXPECT_EQ(guitest::MenuItemState(Menu({"設定(&S)", "バッチファイル作成(&M)"})) & MF_CHECKED,
            UINT{MF_CHECKED})
      << "the menu check mark did not follow the check box";

  demo.opt2.Select();
  demo.opt2.Select();
  EXPECT_EQ(Count(demo.log, "opt2.click"), 2) << "selecting an already selected option must run its handler";
  EXPECT_TRUE(Checked(demo.opt2));
  EXPECT_FALSE(Checked(demo.opt0) || Checked(demo.opt1)) << "two options of one group show selected";
  EXPECT_TRUE(IsWindowEnabled(Hwnd(demo.txtSize))) << "enabling by code did not reach the window";

  demo.txtName.SetText("0123456789");
  demo.txtName.SetSelStart(2);
  demo.txtName.SetSelLength(3);
  DWORD from = 0;
  DWORD to = 0;
  SendMessageW(Hwnd(demo.txtName), EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
  EXPECT_EQ(from, 2u) << "the selection set by code is not the box's selection";
  EXPECT_EQ(to, 5u);
  demo.txtName.SetMaxLength(4);
  EXPECT_EQ(SendMessageW(Hwnd(demo.txtName), EM_GETLIMITTEXT, 0, 0), 4)
      << "the maximum length is not applied";

  // A disabled frame makes its contents unusable even when the click reaches them.
  demo.log.clear();
  demo.frameSize.SetEnabled(false);
  EXPECT_FALSE(IsWindowEnabled(Hwnd(demo.frameSize)));
  Click(demo.opt1);
  EXPECT_TRUE(demo.log.empty()) << "an option inside a disabled frame still reacts";
  EXPECT_TRUE(demo.opt2.Value());
  demo.frameSize.SetEnabled(true);
  demo.btnGo.SetEnabled(false);
  EXPECT_FALSE(IsWindowEnabled(Hwnd(demo.btnGo))) << "disabling by code did not reach the button";
}

TEST_F(UiBindingTest, UserInputUpdatesTheModelAndRunsHandlersOnce) {
  // Typing: the key press handler sees each key, the edit does the editing.
  Focus(demo.txtName);
  demo.log.clear();
  TypeText(Hwnd(demo.txtName), "abxc");
  EXPECT_EQ(WindowText(Hwnd(demo.txtName)), "ABC")
      << "a swallowed key reached the box, or a changed key did not";
  EXPECT_EQ(demo.txtName.Text(), "ABC") << "the model does not hold what the user typed";
  EXPECT_EQ(Count(demo.log, "txtName.key"), 4);
  EXPECT_EQ(demo.log.back(), "txtName.change:ABC");
  EXPECT_EQ(Count(demo.log, "txtName.change:ABC"), 1) << "one key ran the change handler twice";
  EXPECT_EQ(demo.txtName.SelStart(), 3) << "the model lost the caret position";

  // A box that refuses letters, and corrects itself from its change handler.
  Focus(demo.txtPart);
  SendMessageW(Hwnd(demo.txtPart), EM_SETSEL, 0, 0);
  TypeText(Hwnd(demo.txtPart), "a0");
  EXPECT_EQ(WindowText(Hwnd(demo.txtPart)), "1") << "a leading zero typed into the box stayed";
  EXPECT_EQ(demo.txtPart.Text(), "1");

  struct Click {
    ui::Control& control;
    const char* event;
    bool checkedAfter;
  };
  demo.log.clear();
  for (const Click& c : std::vector<Click>{{demo.chkBatch, "chkBatch.click:1", true},
                                           {demo.chkBatch, "chkBatch.click:0", false},
                                           {demo.opt1, "opt1.click", true},
                                           {demo.opt1, "opt1.click", true},
                                           {demo.btnGo, "btnGo.click", false}}) {
    demo.log.clear();
    this->Click(c.control);
    EXPECT_EQ(Count(demo.log, c.event), 1)
        << c.control.name() << ": a click must run its handler exactly once";
    EXPECT_EQ(Checked(c.control), c.checkedAfter)
        << c.control.name() << " shows a state the model does not hold";
  }
  EXPECT_TRUE(demo.opt1.Value());
  EXPECT_FALSE(Checked(demo.opt0) || Checked(demo.opt2));

  // Menus: the command runs the item's handler; check marks and states stay in step.
  Choose(Menu({"設定(&S)", "バッチファイル作成(&M)"}));
  EXPECT_EQ(demo.chkBatch.Value(), 1) << "the menu item did not toggle the check box";
  EXPECT_TRUE(Checked(demo.chkBatch));
  EXPECT_EQ(guitest::MenuItemState(Menu({"設定(&S)", "バッチファイル作成(&M)"})) & MF_CHECKED,
            UINT{MF_CHECKED});
  Choose(Menu({"設定(&S)", "サイズ(&O)", "650MB"}));
  EXPECT_TRUE(Checked(demo.opt2)) << "the submenu did not select its option";
  EXPECT_EQ(guitest::MenuItemState(Menu({"設定(&S)", "サイズ(&O)", "650MB"})) & MF_CHECKED, UINT{MF_CHECKED});
  EXPECT_EQ(guitest::MenuItemState(Menu({"設定(&S)", "サイズ(&O)", "1.25MB"})) & MF_CHECKED, 0u);

  demo.mnuFile.SetEnabled(false);
  EXPECT_TRUE(guitest::MenuItemState(Menu({"ファイル(&F)"})) & MF_GRAYED) << "a disabled menu is not greyed";
  demo.log.clear();
  Choose(Menu({"ファイル(&F)", "分割実行(&E)"}));
  EXPECT_TRUE(demo.log.empty()) << "an item of a disabled menu still runs";
  demo.mnuFile.SetEnabled(true);
  Choose(Menu({"ファイル(&F)", "分割実行(&E)"}));
  EXPECT_EQ(demo.log, std::vector<std::string>{"mnuGo.click"});
}

TEST_F(UiBindingTest, KeyboardFollowsTheTabOrderAndTheDialogKeys) {
  // Tab visits the controls by tab index, into the frame and out again; the
  // option group is one stop, at its selected member.
  demo.opt2.Select();
  Focus(demo.txtName);
  std::vector<std::string> visited;
  for (int i = 0; i < 6; ++i) {
    PressKey(GetFocus(), VK_TAB);
    for (const ui::Control* c : demo.form.Controls()) {
      if (Hwnd(*c) == GetFocus()) visited.push_back(c->name());
    }
  }
  EXPECT_EQ(visited, (std::vector<std::string>{"txtOut", "btnGo", "chkBatch", "opt2", "txtSize", "txtPart"}))
      << "Tab does not follow the tab indexes";

  // Arrow keys move through the option group and select as they go.
  demo.opt0.Select();
  Focus(demo.opt0);
  demo.log.clear();
  PressKey(GetFocus(), VK_RIGHT);
  EXPECT_EQ(GetFocus(), Hwnd(demo.opt1)) << "the arrow key did not move to the next option";
  EXPECT_TRUE(demo.opt1.Value() && Checked(demo.opt1)) << "the arrow key did not select the option";
  EXPECT_FALSE(Checked(demo.opt0));
  EXPECT_EQ(Count(demo.log, "opt1.click"), 1);
  PressKey(GetFocus(), VK_LEFT);
  PressKey(GetFocus(), VK_LEFT);
  EXPECT_EQ(GetFocus(), Hwnd(demo.opt2)) << "the arrow key does not wrap around the group";

  // Digits typed on an option go to its key press handler, not to the option
  // whose access key they are ("1.&44MB" has 4).
  demo.log.clear();
  TypeText(GetFocus(), "4");
  EXPECT_EQ(demo.log, std::vector<std::string>{"opt2.key:52"}) << "a digit was taken as an access key";

  // Enter anywhere presses the default button, unless it cannot be used.
  Focus(demo.txtName);
  demo.log.clear();
  PressKey(GetFocus(), VK_RETURN);
  EXPECT_EQ(Count(demo.log, "btnGo.click"), 1) << "Enter did not press the default button";
  demo.btnGo.SetEnabled(false);
  PressKey(GetFocus(), VK_RETURN);
  EXPECT_EQ(Count(demo.log, "btnGo.click"), 1) << "Enter pressed a disabled default button";
}

std::string boxText;

// Runs inside a message box's loop: reads the box of this process and presses OK.
void CALLBACK AnswerOwnMessageBox(HWND, UINT, UINT_PTR id, DWORD) {
  for (HWND top : guitest::TopLevelWindows(GetCurrentProcessId())) {
    if (auto box = guitest::ReadMessageBox(top)) {
      KillTimer(nullptr, id);
      boxText = box->text;
      guitest::AnswerMessageBox(box->hwnd, IDOK);
      return;
    }
  }
}

TEST_F(UiBindingTest, FocusEventsFollowTheRealFocusAndRedirectsWaitForTheLostHandler) {
  Focus(demo.txtName);
  demo.log.clear();
  Focus(demo.txtOut);
  EXPECT_EQ(demo.log, (std::vector<std::string>{"txtName.lost", "txtOut.got"}));
  EXPECT_EQ(demo.form.Focused(), &demo.txtOut);

  // The free-size rule: leaving the box with a bad value sends the focus back.
  demo.opt2.Select();
  Focus(demo.txtSize);
  demo.redirectSize = true;
  demo.log.clear();
  PressKey(GetFocus(), VK_TAB);
  EXPECT_EQ(GetFocus(), Hwnd(demo.txtSize)) << "the focus did not come back to the box its handler asked for";
  EXPECT_EQ(demo.form.Focused(), &demo.txtSize);
  EXPECT_EQ(demo.log, (std::vector<std::string>{"txtSize.lost", "txtSize.got"}))
      << "the redirect must run got-focus after the lost-focus handler, and nothing for the control passed "
         "through";

  // The same with a message box in between, which takes the focus away while
  // the handler runs and gives it back when answered.
  demo.warnSize = true;
  demo.log.clear();
  boxText.clear();
  SetTimer(nullptr, 0, 1, &AnswerOwnMessageBox);
  PressKey(GetFocus(), VK_TAB);
  EXPECT_EQ(boxText, "ファイルのサイズは範囲内にしてください") << "the handler's message box was not shown";
  EXPECT_EQ(GetFocus(), Hwnd(demo.txtSize)) << "after the message box the focus did not return to the box";
  EXPECT_EQ(demo.form.Focused(), &demo.txtSize);
  EXPECT_EQ(demo.log, (std::vector<std::string>{"txtSize.lost", "txtSize.got"}))
      << "the message box must not make the form see focus changes of its own";
  demo.warnSize = false;

  // Code moving the focus outside any focus message takes effect at once.
  demo.redirectSize = false;
  demo.log.clear();
  demo.form.SetFocus(demo.txtName);
  EXPECT_EQ(GetFocus(), Hwnd(demo.txtName));
  EXPECT_EQ(demo.log, (std::vector<std::string>{"txtSize.lost", "txtName.got"}));

  // Disabling the focused control leaves the keyboard with the window.
  demo.txtName.SetEnabled(false);
  PumpPending();
  EXPECT_NE(GetFocus(), nullptr) << "the keyboard went nowhere after the focused control was disabled";
  EXPECT_TRUE(IsChild(window.hwnd(), GetFocus()) || GetFocus() == window.hwnd());
}

TEST_F(UiBindingTest, WindowStateAndSizeAreKeptByTheResizeHandler) {
  ShowWindow(window.hwnd(), SW_MAXIMIZE);
  PumpPending();
  RECT r;
  GetWindowRect(window.hwnd(), &r);
  EXPECT_FALSE(IsZoomed(window.hwnd())) << "the resize handler could not put the window back to normal";
  EXPECT_EQ(demo.form.State(), ui::WindowState::kNormal);
  EXPECT_EQ(r.right - r.left, 293) << "after maximizing, the width is not 4395 twips";
  EXPECT_EQ(r.bottom - r.top, 333) << "after maximizing, the height is not 4995 twips";
  EXPECT_GE(Count(demo.log, "resize"), 1) << "maximizing did not run the resize handler";

  ShowWindow(window.hwnd(), SW_MINIMIZE);
  PumpPending();
  EXPECT_EQ(demo.form.State(), ui::WindowState::kMinimized);
  ShowWindow(window.hwnd(), SW_RESTORE);
  PumpPending();
  GetWindowRect(window.hwnd(), &r);
  EXPECT_EQ(demo.form.State(), ui::WindowState::kNormal);
  EXPECT_EQ(r.bottom - r.top, 333) << "restoring from minimized changed the size";

  // The short form, set from code.
  demo.tallHeight = 4530;
  demo.form.onResize();
  GetWindowRect(window.hwnd(), &r);
  EXPECT_EQ(r.bottom - r.top, 302) << "the outer height set by code is not 4530 twips";

  // Moving: by code to the window, by the user to the model.
  demo.form.Move(1500, 3000);
  GetWindowRect(window.hwnd(), &r);
  EXPECT_EQ(r.left, 100);
  EXPECT_EQ(r.top, 200);
  SetWindowPos(window.hwnd(), nullptr, 40, 60, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  EXPECT_EQ(demo.form.Left(), 600) << "a move by the user did not reach the form";
  EXPECT_EQ(demo.form.Top(), 900);
}

int paints = 0;
WNDPROC labelProc = nullptr;

LRESULT CALLBACK CountPaints(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PAINT) ++paints;
  return CallWindowProcW(labelProc, hwnd, message, wParam, lParam);
}

TEST_F(UiBindingTest, StatusLineRepaintsBeforeRefreshReturns) {
  HWND label = Hwnd(demo.lblStatus);
  paints = 0;
  labelProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(label, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CountPaints)));
  demo.lblStatus.SetCaption("12 File /");
  demo.lblStatus.Refresh();  // no message loop from here on, as in a running split
  EXPECT_GE(paints, 1) << "the status line was not painted before Refresh returned";
  EXPECT_FALSE(GetUpdateRect(label, nullptr, FALSE))
      << "part of the status line is still waiting to be painted";
  EXPECT_EQ(WindowText(label), "12 File /");
  SetWindowLongPtrW(label, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(labelProc));
}

TEST_F(UiBindingTest, LabelButtonReportsMouseAsTheModelExpects) {
  HWND label = Hwnd(demo.lblPick);
  const LPARAM at = MAKELPARAM(5, 5);
  SendMessageW(label, WM_LBUTTONDOWN, MK_LBUTTON, at);
  EXPECT_EQ(demo.lblPick.ForeColor(), ui::kHighlightColor) << "a pressed label button is not highlighted";
  SendMessageW(label, WM_LBUTTONUP, 0, at);
  SendMessageW(label, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
  SendMessageW(label, WM_LBUTTONUP, 0, at);
  EXPECT_EQ(demo.log, (std::vector<std::string>{"lblPick.down:1", "lblPick.up:1", "lblPick.click",
                                                "lblPick.dbl", "lblPick.up:1"}))
      << "a double-click must give press, release, click, double-click, release";
  EXPECT_EQ(demo.lblPick.ForeColor(), ui::kButtonTextColor)
      << "the label stays highlighted after the release";

  // Released outside: no click.
  demo.log.clear();
  SendMessageW(label, WM_LBUTTONDOWN, MK_LBUTTON, at);
  SendMessageW(label, WM_LBUTTONUP, 0, MAKELPARAM(500, 5));
  EXPECT_EQ(Count(demo.log, "lblPick.click"), 0)
      << "releasing the mouse away from the label still clicked it";
  SendMessageW(label, WM_RBUTTONDOWN, MK_RBUTTON, at);
  SendMessageW(label, WM_RBUTTONUP, 0, at);
  EXPECT_EQ(Count(demo.log, "lblPick.down:2"), 1) << "the right button is not reported as button 2";
  EXPECT_EQ(Count(demo.log, "lblPick.click"), 0) << "the right button clicked the label";
}

TEST_F(UiBindingTest, HookSeesRawMessagesFirst) {
  std::vector<UINT> seen;
  window.SetMessageHook([&seen](UINT message, WPARAM, LPARAM) {
    if (message == WM_DROPFILES || message == WM_COMMAND) seen.push_back(message);
  });
  SendMessageW(window.hwnd(), WM_DROPFILES, 0, 0);
  Choose(Menu({"ファイル(&F)", "分割実行(&E)"}));
  EXPECT_EQ(seen, (std::vector<UINT>{WM_DROPFILES, WM_COMMAND})) << "the hook misses raw messages";
  EXPECT_EQ(demo.log, std::vector<std::string>{"mnuGo.click"})
      << "the hook kept the window from its own work";
}

// Every way of closing runs the unload handler once and destroys the window;
// while Close is greyed, the close box, Alt+F4 and WM_CLOSE do nothing.
TEST(UiBindingCloseTest, EveryWayOfClosingUnloadsOnce) {
  struct Case {
    const char* way;
    void (*close)(Demo&, HWND);
  };
  for (const Case& c : std::vector<Case>{
           {"close box", [](Demo&, HWND h) { SendMessageW(h, WM_SYSCOMMAND, SC_CLOSE, 0); }},
           {"WM_CLOSE", [](Demo&, HWND h) { PostMessageW(h, WM_CLOSE, 0, 0); }},
           {"exit menu",
            [](Demo&, HWND h) {
              auto exit = guitest::FindMenuItem(GetMenu(h), {"ファイル(&F)", "終了(&X)"});
              if (exit) SendMessageW(h, WM_COMMAND, MAKEWPARAM(exit->id, 0), 0);
            }},
           {"end of session",
            [](Demo&, HWND h) {
              if (SendMessageW(h, WM_QUERYENDSESSION, 0, 0)) SendMessageW(h, WM_ENDSESSION, TRUE, 0);
            }},
           {"destroyed directly", [](Demo&, HWND h) { DestroyWindow(h); }},
       }) {
    Demo demo;
    FormWindow window(demo.form);
    ASSERT_TRUE(window.Create());
    window.Show(SW_SHOWNORMAL);
    HWND hwnd = window.hwnd();
    PumpPending();

    demo.form.SetCloseEnabled(false);
    HMENU system = GetSystemMenu(hwnd, FALSE);
    EXPECT_TRUE(GetMenuState(system, SC_CLOSE, MF_BYCOMMAND) & MF_GRAYED) << "Close is not greyed";
    SendMessageW(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
    SendMessageW(hwnd, WM_CLOSE, 0, 0);
    PumpPending();
    EXPECT_TRUE(IsWindow(hwnd)) << "the window closed while Close was greyed (a split would be cut off)";
    EXPECT_EQ(Count(demo.log, "unload"), 0);
    demo.form.SetCloseEnabled(true);
    EXPECT_FALSE(GetMenuState(system, SC_CLOSE, MF_BYCOMMAND) & MF_GRAYED) << "Close stays greyed";

    c.close(demo, hwnd);
    PumpPending();
    EXPECT_FALSE(IsWindow(hwnd)) << c.way << " left the window open";
    EXPECT_EQ(window.hwnd(), nullptr) << c.way;
    EXPECT_EQ(Count(demo.log, "unload"), 1) << c.way << " must run the unload handler exactly once";
    EXPECT_TRUE(demo.form.Closed()) << c.way;
  }
}

TEST(UiBindingLoopTest, MessageLoopEndsWithTheMainWindow) {
  Demo demo;
  FormWindow window(demo.form);
  ASSERT_TRUE(window.Create());
  window.Show(SW_SHOWNORMAL);
  PostQuitMessage(7);
  EXPECT_EQ(platform::win32::RunMessageLoop(window), 7) << "WM_QUIT did not end the loop with its code";
  EXPECT_NE(window.hwnd(), nullptr);

  PostMessageW(window.hwnd(), WM_CLOSE, 0, 0);
  EXPECT_EQ(platform::win32::RunMessageLoop(window), 0) << "the loop did not end when the window closed";
  EXPECT_EQ(window.hwnd(), nullptr);
  EXPECT_EQ(Count(demo.log, "unload"), 1);
}

bool ownerDisabledInside = false;
HWND ownerHwnd = nullptr;

// Runs inside the dialog's own message loop: notes the owner's state, then
// presses Enter on the dialog's focused control.
void CALLBACK PressEnterInDialog(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  ownerDisabledInside = !IsWindowEnabled(ownerHwnd);
  HWND target = GetFocus() ? GetFocus() : GetActiveWindow();
  PostMessageW(target, WM_KEYDOWN, VK_RETURN, 0);
}

TEST(UiBindingModalTest, ModalFormDisablesItsOwnerUntilClosed) {
  Demo owner;
  FormWindow ownerWindow(owner.form);
  ASSERT_TRUE(ownerWindow.Create());
  ownerWindow.Show(SW_SHOWNORMAL);

  ui::Form dialog("frmVersion");
  dialog.designClient = {0, 0, 3705, 1695};
  dialog.minButton = dialog.maxButton = false;
  ui::CommandButton btnClose("btnClose");
  btnClose.SetCaption("閉じる");
  btnClose.rect = {2640, 1200, 975, 375};
  btnClose.isDefault = true;
  dialog.Add(btnClose);
  int unloads = 0;
  dialog.onQueryUnload = [&unloads] { ++unloads; };
  btnClose.onClick = [&dialog] { dialog.Close(); };

  ownerDisabledInside = false;
  ownerHwnd = ownerWindow.hwnd();
  for (int round = 1; round <= 2; ++round) {
    FormWindow dialogWindow(dialog);
    SetTimer(nullptr, 0, 1, &PressEnterInDialog);
    ASSERT_TRUE(dialogWindow.ShowModal(ownerWindow.hwnd())) << "the dialog could not be shown";
    EXPECT_TRUE(ownerDisabledInside) << "the main window took input while the dialog was open";
    EXPECT_EQ(dialogWindow.hwnd(), nullptr) << "the dialog is still there after closing";
    EXPECT_EQ(unloads, round) << "closing the dialog must unload it once, every time it is shown";
    EXPECT_TRUE(IsWindowEnabled(ownerWindow.hwnd())) << "the main window stays disabled after the dialog";
  }
}

TEST(UiBindingScreenshotTest, DemoFormIsSavedForInspection) {
  Demo demo;
  FormWindow window(demo.form);
  ASSERT_TRUE(window.Create());
  demo.chkBatch.SetValue(1);
  demo.opt1.Select();
  demo.txtName.SetText("C:\\データ\\分割元.dat");
  demo.txtOut.SetText("D:\\出力先");
  demo.lblStatus.SetCaption("Size: 1,457,664 bytes");
  window.Show(SW_SHOWNORMAL);
  SetWindowPos(window.hwnd(), HWND_TOP, 20, 20, 0, 0, SWP_NOSIZE);
  guitest::PumpFor(300);  // let Wine put the window on the X screen
  const std::string folder = guitest::ScreenshotFolder();
  ASSERT_FALSE(folder.empty()) << "QUARNIMO_BUILD_DIR is not set";
  EXPECT_TRUE(guitest::SaveWindowImage(window.hwnd(), folder + "\\ui_demo_form.bmp"))
      << "the window's image could not be saved";
}

}  // namespace
}  // namespace qn
