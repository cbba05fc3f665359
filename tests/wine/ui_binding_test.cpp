// The Win32 binding of the control model, driven through real window
// messages: only the event-rule cases the real main window cannot show
// (echoes of changes made by code, focus redirects, closing, repainting,
// modal forms). The main window itself is checked in main_window_test.cpp.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <utility>
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

// A small window of text boxes, a status label and a menu with an exit item;
// every handler writes what ran into `log`. Tab goes from txtSize to txtName.
struct Demo {
  ui::Form form{"frmDemo"};
  ui::TextBox txtSize{"txtSize"};
  ui::TextBox txtName{"txtName"};
  ui::TextBox txtPart{"txtPart"};
  ui::Label lblStatus{"lblStatus"};
  ui::MenuItem mnuFile{"mnuFile", "ファイル(&F)"};
  ui::MenuItem mnuExit{"mnuExit", "終了(&X)"};

  Log log;
  bool redirectSize = false;  // txtSize's lost-focus handler sends the focus back

  Demo() {
    form.designClient = {0, 0, 4305, 1800};
    form.SetTitle("Quarnimo デモ");
    int tab = 0;
    for (ui::Control* control :
         std::initializer_list<ui::Control*>{&txtSize, &txtName, &txtPart, &lblStatus}) {
      control->rect = {120, 120 + tab * 360, 3495, 270};
      control->tabIndex = tab++;
      form.Add(*control);
    }
    // Keeps the box to its leading number, nested, like the range boxes.
    txtPart.onChange = [this] {
      log.push_back("txtPart.change:" + txtPart.Text());
      txtPart.SetText(std::to_string(std::atoi(txtPart.Text().c_str())));
    };
    for (ui::TextBox* box : {&txtName, &txtSize}) {
      box->onGotFocus = [this, box] { log.push_back(box->name() + ".got"); };
      box->onLostFocus = [this, box] {
        log.push_back(box->name() + ".lost");
        if (box == &txtSize && redirectSize) form.SetFocus(txtSize);
      };
    }
    mnuFile.items = {&mnuExit};
    form.menuBar = {&mnuFile};
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

  Demo demo;
  FormWindow window{demo.form};
};

TEST_F(UiBindingTest, ChangesByCodeReachTheWindowAndRunEachHandlerOnce) {
  // The change handler corrects its own box; then the same text again.
  demo.txtPart.SetText("007x");
  demo.txtPart.SetText("7");
  EXPECT_EQ(WindowText(Hwnd(demo.txtPart)), "7") << "the nested correction did not reach the box";
  EXPECT_EQ(demo.log, (Log{"txtPart.change:007x", "txtPart.change:7"}))
      << "a change by code must run its handler once, nested ones too: no echo from the edit, nothing for "
         "the same text";
}

TEST_F(UiBindingTest, ALostFocusHandlerCanSendTheFocusBack) {
  // Leaving the box with a bad value: its lost-focus handler sends the focus back.
  SetFocus(Hwnd(demo.txtSize));
  PumpPending();
  demo.redirectSize = true;
  demo.log.clear();
  PressKey(GetFocus(), VK_TAB);
  EXPECT_EQ(GetFocus(), Hwnd(demo.txtSize)) << "the focus did not come back to the box its handler asked for";
  EXPECT_EQ(demo.form.Focused(), &demo.txtSize) << "the model does not know where the focus is";
  EXPECT_EQ(demo.log, (Log{"txtSize.lost", "txtSize.got"}))
      << "the redirect must run got-focus after the lost-focus handler, and nothing for the control passed";
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
  // Windows' static control invalidates itself on a new text; Wine's may
  // paint at once instead. Either way, what is invalid must be painted.
  InvalidateRect(label, nullptr, TRUE);
  demo.lblStatus.Refresh();  // no message loop from here on, as in a running split
  EXPECT_GE(paints, 1) << "the status line was not painted before Refresh returned";
  EXPECT_FALSE(GetUpdateRect(label, nullptr, FALSE))
      << "part of the status line is still waiting to be painted";
  EXPECT_EQ(WindowText(label), "12 File /") << "the status line shows another text than the model";
  SetWindowLongPtrW(label, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(labelProc));
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
FormWindow* shownDialog = nullptr;

// Runs inside the dialog's own message loop: notes the owner's state, then
// closes the dialog.
void CALLBACK CloseTheDialog(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  ownerDisabledInside = !IsWindowEnabled(ownerHwnd);
  PostMessageW(shownDialog->hwnd(), WM_CLOSE, 0, 0);
}

TEST(UiBindingModalTest, ModalFormDisablesItsOwnerUntilClosedEveryTime) {
  Demo owner;
  FormWindow ownerWindow(owner.form);
  ASSERT_TRUE(ownerWindow.Create()) << "the owner window could not be created";
  ownerWindow.Show(SW_SHOWNORMAL);
  ownerHwnd = ownerWindow.hwnd();
  Demo dialog;  // one form shown twice, as the version dialog is
  for (int round = 1; round <= 2; ++round) {
    ownerDisabledInside = false;
    FormWindow dialogWindow(dialog.form);
    shownDialog = &dialogWindow;
    SetTimer(nullptr, 0, 1, &CloseTheDialog);
    ASSERT_TRUE(dialogWindow.ShowModal(ownerHwnd)) << "the dialog could not be shown";
    EXPECT_TRUE(ownerDisabledInside) << "the main window took input while the dialog was open";
    EXPECT_EQ(dialogWindow.hwnd(), nullptr) << "the dialog is still there after closing";
    EXPECT_EQ(Count(dialog.log, "unload"), round)
        << "closing the dialog must unload it once, every time it is shown";
    EXPECT_TRUE(IsWindowEnabled(ownerHwnd)) << "the main window stays disabled after the dialog";
  }
}

}  // namespace
}  // namespace qn
