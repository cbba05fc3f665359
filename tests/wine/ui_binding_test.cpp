// The Win32 binding of the control model, driven through real window
// messages as a user would drive it: each case checks that the handlers ran
// as the event rule says and that the real controls show what the model holds.
// The main window's looks are checked in main_window_test.cpp.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "platform/ui/controls.h"
#include "platform/win32/ui_form.h"
#include "tests/wine/support/gui.h"

namespace qn {
namespace {

using guitest::PressKey;
using guitest::PumpPending;
using guitest::WindowText;
using platform::win32::FormWindow;
using Log = std::vector<std::string>;

int Count(const Log& log, const std::string& event) {
  return static_cast<int>(std::count(log.begin(), log.end(), event));
}

// A small window with one control of each kind, a frame of options and a
// menu; every handler writes what ran into `log`.
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
  ui::MenuItem mnuExit{"mnuExit", "終了(&X)"};

  Log log;
  bool redirectSize = false;  // txtSize's lost-focus handler sends the focus back

  Demo() {
    form.designClient = {0, 0, 4305, 4335};
    form.SetTitle("Quarnimo デモ");
    form.iconResource = picIcon.iconResource = 101;  // ui_binding_test.rc
    // Each control's place in twips and its tab index.
    for (const auto& [control, rect, tab] : std::initializer_list<std::tuple<ui::Control*, ui::Rect, int>>{
             {&txtName, {720, 195, 3495, 270}, 0},
             {&txtOut, {720, 960, 3495, 270}, 1},
             {&btnGo, {3080, 1440, 1215, 495}, 2},
             {&chkBatch, {120, 1320, 2900, 255}, 3},
             {&frameSize, {120, 2040, 3975, 735}, 5},
             {&opt0, {0, 240, 1215, 255}, 4},
             {&opt1, {1320, 240, 1215, 255}, 6},
             {&opt2, {2640, 240, 1215, 255}, 7},
             {&txtSize, {1320, 420, 1815, 270}, 8},
             {&txtPart, {360, 3960, 1095, 270}, 9},
             {&lblPick, {60, 240, 615, 255}, 10},
             {&lblStatus, {120, 3600, 2175, 255}, 11},
             {&picIcon, {120, 600, 480, 480}, 12},
         }) {
      control->rect = rect;
      control->tabIndex = tab;
      form.Add(*control);
    }
    opt0.container = opt1.container = opt2.container = txtSize.container = &frameSize;
    for (ui::OptionButton* o : options) o->group = &options;
    opt0.SetCaption("1.&44MB/FD");
    opt1.SetCaption("1.&25MB/FD");
    opt2.SetCaption("&650MB/CD");
    chkBatch.SetCaption("結合用バッチファイルを作成(&M)");
    btnGo.SetCaption("分割実行(&E)");
    btnGo.isDefault = true;
    lblPick.SetCaption("分割元");
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
      const std::string& text = txtPart.Text();
      const size_t end = text.find_first_not_of("0123456789");
      std::string digits = text.substr(0, end);
      digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size()));
      txtPart.SetText(digits.empty() ? "1" : digits);
    };
    for (ui::TextBox* box : {&txtName, &txtOut, &txtSize}) {
      box->onGotFocus = [this, box] { log.push_back(box->name() + ".got"); };
      box->onLostFocus = [this, box] {
        log.push_back(box->name() + ".lost");
        if (box == &txtSize && redirectSize) form.SetFocus(txtSize);
      };
    }
    chkBatch.onClick = [this] { log.push_back("chkBatch.click:" + std::to_string(chkBatch.Value())); };
    for (size_t i = 0; i < options.size(); ++i) {
      options[i]->onClick = [this, i] {
        log.push_back(options[i]->name() + ".click");
        txtSize.SetEnabled(i == 2);
      };
    }
    btnGo.onClick = [this] { log.push_back("btnGo.click"); };
    lblPick.onMouseDown = [this](int button) { log.push_back("down:" + std::to_string(button)); };
    lblPick.onMouseUp = [this](int button) { log.push_back("up:" + std::to_string(button)); };
    lblPick.onDblClick = [this] { log.push_back("dbl"); };
    lblPick.onClick = [this] { log.push_back("click"); };

    mnuFile.items = {&mnuGo, &mnuExit};
    form.menuBar = {&mnuFile};
    mnuGo.onClick = [this] { log.push_back("mnuGo.click"); };
    mnuExit.onClick = [this] { form.Close(); };
    form.onQueryUnload = [this] { log.push_back("unload"); };
  }
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
  std::string Text(const ui::Control& control) { return WindowText(Hwnd(control)); }
  void Click(const ui::Control& control) {
    SendMessageW(Hwnd(control), BM_CLICK, 0, 0);
    PumpPending();
  }
  bool Checked(const ui::Control& control) {
    return SendMessageW(Hwnd(control), BM_GETCHECK, 0, 0) == BST_CHECKED;
  }
  void Focus(const ui::Control& control) {
    SetFocus(Hwnd(control));
    PumpPending();
  }
  // The name of the control that holds the real keyboard focus.
  std::string FocusedName() {
    for (const ui::Control* c : demo.form.Controls()) {
      if (Hwnd(*c) == GetFocus()) return c->name();
    }
    return "(none)";
  }

  Demo demo;
  FormWindow window{demo.form};
};

TEST_F(UiBindingTest, ChangesByCodeReachTheWindowAndRunEachHandlerOnce) {
  demo.txtName.SetText("abc");
  demo.txtName.SetText("abc");
  EXPECT_EQ(Text(demo.txtName), "abc") << "a text set by code is not shown";
  EXPECT_EQ(demo.log, Log{"txtName.change:abc"})
      << "a change by code must run its handler once: no echo from the edit, nothing for the same text";

  // A change handler that corrects its own box: the nested result reaches the window.
  demo.log.clear();
  demo.txtPart.SetText("007x");
  EXPECT_EQ(Text(demo.txtPart), "7") << "the nested correction did not reach the box";
  EXPECT_EQ(demo.log, (Log{"txtPart.change:007x", "txtPart.change:7"}))
      << "the nested change ran the wrong handlers";

  demo.chkBatch.SetValue(1);
  EXPECT_TRUE(Checked(demo.chkBatch)) << "a check box set by code shows no check";
  demo.opt2.Select();
  demo.opt2.Select();
  EXPECT_EQ(Count(demo.log, "opt2.click"), 2) << "selecting an already selected option must run its handler";
  EXPECT_TRUE(Checked(demo.opt2)) << "an option selected by code shows no dot";
  EXPECT_FALSE(Checked(demo.opt0) || Checked(demo.opt1)) << "two options of one group show selected";
  EXPECT_TRUE(IsWindowEnabled(Hwnd(demo.txtSize))) << "enabling by code did not reach the window";
  EXPECT_NE(SendMessageW(Hwnd(demo.picIcon), STM_GETICON, 0, 0), 0) << "the image control shows no icon";

  // A disabled frame makes its contents unusable even when the click reaches them.
  demo.log.clear();
  demo.frameSize.SetEnabled(false);
  Click(demo.opt1);
  EXPECT_TRUE(demo.log.empty()) << "an option inside a disabled frame still reacts";
  EXPECT_TRUE(demo.opt2.Value() && Checked(demo.opt2)) << "a disabled frame's option changed the choice";
}

TEST_F(UiBindingTest, UserInputUpdatesTheModelAndRunsHandlersOnce) {
  // Typing: the key press handler sees each key, the edit does the editing.
  Focus(demo.txtName);
  demo.log.clear();
  guitest::TypeText(Hwnd(demo.txtName), "abxc");
  EXPECT_EQ(Text(demo.txtName), "ABC") << "a swallowed key reached the box, or a changed key did not";
  EXPECT_EQ(demo.txtName.Text(), "ABC") << "the model does not hold what the user typed";
  EXPECT_EQ(demo.log, (Log{"txtName.key", "txtName.change:A", "txtName.key", "txtName.change:AB",
                           "txtName.key", "txtName.key", "txtName.change:ABC"}))
      << "each key must run the key handler once and each accepted key the change handler once";
  EXPECT_EQ(demo.txtName.SelStart(), 3) << "the model lost the caret position";

  // A correction the change handler makes to what the user typed reaches the box.
  Focus(demo.txtPart);
  SendMessageW(Hwnd(demo.txtPart), EM_SETSEL, 0, -1);
  guitest::TypeText(Hwnd(demo.txtPart), "0");
  EXPECT_EQ(Text(demo.txtPart), "1") << "the box shows the typed 0 its handler corrected to 1";

  struct Case {
    ui::Control& control;
    const char* event;
    bool checkedAfter;
  };
  for (const Case& c : std::vector<Case>{{demo.chkBatch, "chkBatch.click:1", true},
                                         {demo.chkBatch, "chkBatch.click:0", false},
                                         {demo.opt1, "opt1.click", true},
                                         {demo.opt1, "opt1.click", true},
                                         {demo.btnGo, "btnGo.click", false}}) {
    demo.log.clear();
    Click(c.control);
    EXPECT_EQ(Count(demo.log, c.event), 1)
        << c.control.name() << ": a click must run its handler exactly once";
    EXPECT_EQ(Checked(c.control), c.checkedAfter)
        << c.control.name() << " shows a state the model does not hold";
  }
  EXPECT_TRUE(demo.opt1.Value()) << "the model lost the clicked option";
  EXPECT_FALSE(Checked(demo.opt0) || Checked(demo.opt2)) << "two options of one group show selected";

  // A disabled menu is greyed and its items do not run.
  auto go = guitest::FindMenuItem(window.MenuBar(), {"ファイル(&F)", "分割実行(&E)"});
  ASSERT_TRUE(go) << "the menu item is missing from the menu bar";
  demo.mnuFile.SetEnabled(false);
  EXPECT_TRUE(guitest::MenuItemState(*guitest::FindMenuItem(window.MenuBar(), {"ファイル(&F)"})) & MF_GRAYED)
      << "a disabled menu is not greyed";
  demo.log.clear();
  SendMessageW(window.hwnd(), WM_COMMAND, MAKEWPARAM(go->id, 0), 0);
  EXPECT_TRUE(demo.log.empty()) << "an item of a disabled menu still runs";
  demo.mnuFile.SetEnabled(true);
  SendMessageW(window.hwnd(), WM_COMMAND, MAKEWPARAM(go->id, 0), 0);
  EXPECT_EQ(demo.log, Log{"mnuGo.click"}) << "the menu item does not run";
}

TEST_F(UiBindingTest, KeyboardFollowsTheTabOrderAndTheDialogKeys) {
  // Tab visits the controls by tab index, into the frame and out again; the
  // option group is one stop, at its selected member.
  demo.opt2.Select();
  Focus(demo.txtName);
  Log visited;
  for (int i = 0; i < 6; ++i) {
    PressKey(GetFocus(), VK_TAB);
    visited.push_back(FocusedName());
  }
  EXPECT_EQ(visited, (Log{"txtOut", "btnGo", "chkBatch", "opt2", "txtSize", "txtPart"}))
      << "Tab does not follow the tab indexes";

  // Arrow keys move through the option group, select as they go and wrap around.
  demo.opt0.Select();
  Focus(demo.opt0);
  demo.log.clear();
  PressKey(GetFocus(), VK_RIGHT);
  EXPECT_EQ(FocusedName(), "opt1") << "the arrow key did not move to the next option";
  EXPECT_TRUE(demo.opt1.Value() && Checked(demo.opt1) && !Checked(demo.opt0))
      << "the arrow key did not select the option";
  EXPECT_EQ(demo.log, Log{"opt1.click"}) << "the arrow key must run the option's handler once";
  PressKey(GetFocus(), VK_LEFT);
  PressKey(GetFocus(), VK_LEFT);
  EXPECT_EQ(FocusedName(), "opt2") << "the arrow key does not wrap around the group";

  // Enter anywhere presses the default button, unless it cannot be used.
  Focus(demo.txtName);
  demo.log.clear();
  PressKey(GetFocus(), VK_RETURN);
  EXPECT_EQ(Count(demo.log, "btnGo.click"), 1) << "Enter did not press the default button";
  demo.btnGo.SetEnabled(false);
  PressKey(GetFocus(), VK_RETURN);
  EXPECT_EQ(Count(demo.log, "btnGo.click"), 1) << "Enter pressed a disabled default button";
}

TEST_F(UiBindingTest, FocusEventsFollowTheRealFocusAndRedirectsWaitForTheLostHandler) {
  // Leaving the box with a bad value: its lost-focus handler sends the focus back.
  demo.opt2.Select();
  Focus(demo.txtSize);
  demo.redirectSize = true;
  demo.log.clear();
  PressKey(GetFocus(), VK_TAB);
  EXPECT_EQ(GetFocus(), Hwnd(demo.txtSize)) << "the focus did not come back to the box its handler asked for";
  EXPECT_EQ(demo.form.Focused(), &demo.txtSize) << "the model does not know where the focus is";
  EXPECT_EQ(demo.log, (Log{"txtSize.lost", "txtSize.got"}))
      << "the redirect must run got-focus after the lost-focus handler, and nothing for the control passed";

  // Code moving the focus outside any focus message takes effect at once.
  demo.redirectSize = false;
  demo.log.clear();
  demo.form.SetFocus(demo.txtName);
  EXPECT_EQ(GetFocus(), Hwnd(demo.txtName)) << "the focus set by code did not reach the window";
  EXPECT_EQ(demo.log, (Log{"txtSize.lost", "txtName.got"}))
      << "a focus move must run lost, then got, once each";

  // Disabling the focused control leaves the keyboard with the window.
  demo.txtName.SetEnabled(false);
  PumpPending();
  EXPECT_TRUE(GetFocus() && (IsChild(window.hwnd(), GetFocus()) || GetFocus() == window.hwnd()))
      << "the keyboard went nowhere after the focused control was disabled";
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
  EXPECT_EQ(WindowText(label), "12 File /") << "the status line shows another text than the model";
  SetWindowLongPtrW(label, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(labelProc));
}

TEST_F(UiBindingTest, LabelButtonReportsMouseAsTheModelExpects) {
  // A double-click; then released away from the label; then the right button.
  const LPARAM at = MAKELPARAM(5, 5);
  for (const auto& [message, where] : std::vector<std::pair<UINT, LPARAM>>{{WM_LBUTTONDOWN, at},
                                                                           {WM_LBUTTONUP, at},
                                                                           {WM_LBUTTONDBLCLK, at},
                                                                           {WM_LBUTTONUP, at},
                                                                           {WM_LBUTTONDOWN, at},
                                                                           {WM_LBUTTONUP, MAKELPARAM(500, 5)},
                                                                           {WM_RBUTTONDOWN, at},
                                                                           {WM_RBUTTONUP, at}}) {
    SendMessageW(Hwnd(demo.lblPick), message, message == WM_LBUTTONDOWN ? MK_LBUTTON : 0, where);
  }
  EXPECT_EQ(demo.log, (Log{"down:1", "up:1", "click", "dbl", "up:1", "down:1", "up:1", "down:2", "up:2"}))
      << "a double-click must give press, release, click, double-click, release; releasing away from the "
         "label or the right button must not click";
}

// Every way of closing runs the unload handler once and destroys the window;
// while Close is greyed, the close box and WM_CLOSE do nothing.
TEST(UiBindingCloseTest, EveryWayOfClosingUnloadsOnce) {
  for (const auto& [way, close] : std::vector<std::pair<const char*, void (*)(FormWindow&)>>{
           {"close box", [](FormWindow& w) { SendMessageW(w.hwnd(), WM_SYSCOMMAND, SC_CLOSE, 0); }},
           {"WM_CLOSE in the message loop",
            [](FormWindow& w) {
              PostMessageW(w.hwnd(), WM_CLOSE, 0, 0);
              EXPECT_EQ(platform::win32::RunMessageLoop(w), 0)
                  << "the loop did not end when the window closed";
            }},
           {"exit menu",
            [](FormWindow& w) {
              auto exit = guitest::FindMenuItem(w.MenuBar(), {"ファイル(&F)", "終了(&X)"});
              if (exit) SendMessageW(w.hwnd(), WM_COMMAND, MAKEWPARAM(exit->id, 0), 0);
            }},
           {"end of session",
            [](FormWindow& w) {
              if (SendMessageW(w.hwnd(), WM_QUERYENDSESSION, 0, 0))
                SendMessageW(w.hwnd(), WM_ENDSESSION, TRUE, 0);
            }},
           {"destroyed directly", [](FormWindow& w) { DestroyWindow(w.hwnd()); }},
       }) {
    Demo demo;
    FormWindow window(demo.form);
    ASSERT_TRUE(window.Create()) << "the demo window could not be created";
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
    EXPECT_EQ(Count(demo.log, "unload"), 0) << "a refused close ran the unload handler";
    demo.form.SetCloseEnabled(true);
    EXPECT_FALSE(GetMenuState(system, SC_CLOSE, MF_BYCOMMAND) & MF_GRAYED) << "Close stays greyed";

    close(window);
    PumpPending();
    EXPECT_FALSE(IsWindow(hwnd) || window.hwnd()) << way << " left the window open";
    EXPECT_EQ(Count(demo.log, "unload"), 1) << way << " must run the unload handler exactly once";
    EXPECT_TRUE(demo.form.Closed()) << way << ": the program would not know its window closed";
  }
}

bool ownerDisabledInside = false;
HWND ownerHwnd = nullptr;

// Runs inside the dialog's own message loop: notes the owner's state, then
// presses Enter on the dialog's focused control.
void CALLBACK PressEnterInDialog(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  ownerDisabledInside = !IsWindowEnabled(ownerHwnd);
  PostMessageW(GetFocus() ? GetFocus() : GetActiveWindow(), WM_KEYDOWN, VK_RETURN, 0);
}

TEST(UiBindingModalTest, ModalFormDisablesItsOwnerUntilClosedEveryTime) {
  Demo owner;
  FormWindow ownerWindow(owner.form);
  ASSERT_TRUE(ownerWindow.Create()) << "the owner window could not be created";
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

  ownerHwnd = ownerWindow.hwnd();
  for (int round = 1; round <= 2; ++round) {
    ownerDisabledInside = false;
    FormWindow dialogWindow(dialog);
    SetTimer(nullptr, 0, 1, &PressEnterInDialog);
    ASSERT_TRUE(dialogWindow.ShowModal(ownerWindow.hwnd())) << "the dialog could not be shown";
    EXPECT_TRUE(ownerDisabledInside) << "the main window took input while the dialog was open";
    EXPECT_EQ(dialogWindow.hwnd(), nullptr) << "the dialog is still there after closing";
    EXPECT_EQ(unloads, round) << "closing the dialog must unload it once, every time it is shown";
    EXPECT_TRUE(IsWindowEnabled(ownerWindow.hwnd())) << "the main window stays disabled after the dialog";
  }
}

}  // namespace
}  // namespace qn
