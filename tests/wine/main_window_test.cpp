// The main window frmMAIN in a real Win32 window under Wine, driven through
// real window messages (clicks, typed characters, menu commands, Tab). Its
// logic is tested natively in window_main_test.cpp; here only what needs the
// real window: what the real controls, menus and message boxes show, the real
// window size, and screenshots of both window heights.
#include <windows.h>
// After <windows.h>, which it needs.
#include <commctrl.h>
#include <objbase.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/win32/dialogs_win32.h"
#include "platform/win32/system_win32.h"
#include "platform/win32/ui_form.h"
#include "platform/win32/shim.h"
#include "tests/wine/support/gui.h"
#include "window/frm_main.h"
#include "window/frm_main_design.h"

namespace qn {
namespace {

using guitest::PumpPending;
using guitest::WindowText;
using platform::win32::FormWindow;
using platform::win32::Narrow;
namespace design = window::design;

const std::string kMemoryWarning =
    "CD-Rサイズで分割する場合は、それだけメモリの容量が必要になります。\r\n"
    "とりあえず警告しますが、もしこれにより、パソコンが不安定になっても知りません。\r\n"
    "（今後、要望があれば小メモリでも分割できるようにする予定です。）";
constexpr const char* kNotShown = "the main window could not be created and shown";

using Boxes = std::vector<std::string>;

// A message box of this process as the user saw it: "title|text|buttons|icon",
// the icon told by the picture of its icon static.
std::string Describe(const guitest::MessageBoxInfo& box) {
  const auto icon =
      reinterpret_cast<HICON>(SendDlgItemMessageW(box.hwnd, 0x0440, STM_GETICON, 0, 0));  // NOLINT
  const char* shown = icon == nullptr                               ? "no icon"
                      : icon == LoadIconW(nullptr, IDI_ERROR)       ? "stop"
                      : icon == LoadIconW(nullptr, IDI_INFORMATION) ? "information"
                                                                    : "another icon";
  return box.title + "|" + box.text + "|" + (box.buttons == std::vector<int>{IDOK} ? "OK" : "other buttons") +
         "|" + shown;
}

// Every message box this process shows is read and answered OK by a thread
// timer, which fires inside the box's own modal loop: a box raised deep inside
// a handler is answered there, and one nobody expected is recorded for the
// test to see instead of hanging it.
Boxes shownBoxes;
std::vector<HWND> answeredBoxes;

void CALLBACK AnswerBoxes(HWND, UINT, UINT_PTR, DWORD) {
  std::erase_if(answeredBoxes, [](HWND box) { return !IsWindow(box); });
  for (HWND top : guitest::TopLevelWindows(GetCurrentProcessId())) {
    std::optional<guitest::MessageBoxInfo> box = guitest::ReadMessageBox(top);
    if (!box || std::find(answeredBoxes.begin(), answeredBoxes.end(), top) != answeredBoxes.end()) continue;
    shownBoxes.push_back(Describe(*box));
    answeredBoxes.push_back(top);
    guitest::AnswerMessageBox(top, IDOK);
  }
}

// frmMAIN on the real machine, in a real window, shown as the program shows it.
class LiveMain {
 public:
  LiveMain() {
    shownBoxes.clear();
    frm.form.Move(300, 300);  // clear of the screen's edge for the screenshots
    if (!window.Create()) return;
    dialogs.SetOwner(window.hwnd());
    window.Show(SW_SHOWNORMAL);
    frm.Form_Resize();  // start-up gives the window its height once the settings are applied
    PumpPending();
  }
  ~LiveMain() { KillTimer(nullptr, boxTimer); }
  LiveMain(const LiveMain&) = delete;
  LiveMain& operator=(const LiveMain&) = delete;

  [[nodiscard]] bool shown() const { return IsWindowVisible(Main()) && boxTimer != 0; }
  // The message boxes shown since the last call, oldest first.
  static Boxes TakeBoxes() { return std::exchange(shownBoxes, {}); }

  HWND Main() const { return window.hwnd(); }
  HWND H(const ui::Control& control) const { return window.ControlWindow(control); }
  std::string Text(const ui::Control& control) const { return WindowText(H(control)); }
  // What a text box shows, with what the model holds added when the two differ.
  std::string Shown(const ui::TextBox& box) const {
    const std::string real = Text(box);
    return real == box.Text() ? real : real + " (the model holds " + box.Text() + ")";
  }
  // A mouse click on a button, check box or option button.
  void Click(const ui::Control& control) {
    SendMessageW(H(control), BM_CLICK, 0, 0);
    PumpPending();
  }
  // A control's place in pixels within the client area of `parent`.
  RECT PlaceIn(const ui::Control& control, HWND parent) const {
    RECT r{};
    GetWindowRect(H(control), &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
  }

  UINT_PTR boxTimer = SetTimer(nullptr, 0, 10, &AnswerBoxes);
  platform::win32::Win32System system;
  platform::win32::Win32Dialogs dialogs;
  window::FrmMain frm{system, dialogs};
  FormWindow window{frm.form};
};

// The text the tooltip window `tips` shows for `control`.
std::string TooltipText(HWND tips, HWND control) {
  wchar_t text[128] = {};
  TTTOOLINFOW tool{};
  tool.cbSize = TTTOOLINFOW_V2_SIZE;
  tool.hwnd = GetParent(control);
  tool.uId = reinterpret_cast<UINT_PTR>(control);
  tool.lpszText = text;
  SendMessageW(tips, TTM_GETTEXTW, 128, reinterpret_cast<LPARAM>(&tool));
  return Narrow(text);
}

TEST(MainWindow, RealControlsStandAtTheirDesignedPlacesWithTheirRiskiestLooks) {
  LiveMain w;
  ASSERT_TRUE(w.shown()) << kNotShown;
  const std::vector<ui::Control*>& all = w.frm.form.Controls();
  ASSERT_EQ(all.size(), design::kControls.size()) << "the window has other controls than the design";
  for (size_t i = 0; i < all.size(); ++i) {
    const design::ControlDesign& entry = design::kControls[i];
    const std::string name(entry.name);
    ASSERT_EQ(all[i]->name(), name) << "the controls are not in design order: the program would mix them up";
    HWND hwnd = w.H(*all[i]);
    ASSERT_TRUE(hwnd && IsWindowVisible(hwnd)) << name << " has no visible window: the user would not see it";
    EXPECT_EQ(GetParent(hwnd), entry.container.empty() ? w.Main() : w.H(*all[i]->container))
        << name << " is not inside " << entry.container;
    const RECT r = w.PlaceIn(*all[i], GetParent(hwnd));
    const ui::Rect& d = entry.rect;
    EXPECT_EQ(r.left, w.window.PixelsX(d.left)) << name << " stands off its designed left edge";
    EXPECT_EQ(r.top, w.window.PixelsY(d.top)) << name << " stands off its designed top edge";
    EXPECT_NEAR(r.right, w.window.PixelsX(d.left + d.width), 1) << name << " has the wrong width";
    EXPECT_NEAR(r.bottom, w.window.PixelsY(d.top + d.height), 1) << name << " has the wrong height";
  }

  // The form's own font, which must draw the Japanese captions, on a link label.
  LOGFONTW lf{};
  const auto font = reinterpret_cast<HFONT>(SendMessageW(w.H(w.frm.lblInSelect), WM_GETFONT, 0, 0));
  ASSERT_TRUE(font && GetObjectW(font, sizeof lf, &lf)) << "the source label has no font of its own";
  EXPECT_EQ(Narrow(lf.lfFaceName), design::kFontFace) << "the captions are not in the designed face";
  EXPECT_EQ(lf.lfCharSet, SHIFTJIS_CHARSET) << "the captions' font cannot draw Japanese";
  EXPECT_NE(lf.lfUnderline, 0) << "the source label does not look like a link";

  HWND tips = nullptr;
  for (HWND top : guitest::TopLevelWindows(GetCurrentProcessId(), false)) {
    if (guitest::ClassName(top) == "tooltips_class32" && GetWindow(top, GW_OWNER) == w.Main()) tips = top;
  }
  ASSERT_NE(tips, nullptr) << "the window shows no tooltips";
  // Two labels with a tooltip and a button without.
  for (const ui::Control* c :
       std::initializer_list<const ui::Control*>{&w.frm.lblInSelect, &w.frm.lblSize, &w.frm.btnSpltExec}) {
    const auto entry = std::find_if(design::kControls.begin(), design::kControls.end(),
                                    [&](const auto& e) { return e.name == c->name(); });
    EXPECT_EQ(TooltipText(tips, w.H(*c)), entry->tooltip) << c->name() << " shows the wrong tooltip";
  }

  HDC probe = CreateCompatibleDC(nullptr);
  SendMessageW(w.Main(), WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(probe),
               reinterpret_cast<LPARAM>(w.H(w.frm.txtOutPath)));
  EXPECT_EQ(GetTextColor(probe), RGB(255, 0, 0)) << "the output folder is not drawn in red";
  DeleteDC(probe);
  HWND label = w.H(w.frm.lblInSelect);
  SendMessageW(label, WM_SETCURSOR, reinterpret_cast<WPARAM>(label), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_HAND)) << "the source label does not show the hand pointer";
  EXPECT_NE(SendMessageW(w.Main(), WM_GETICON, ICON_BIG, 0), 0) << "the window shows no icon";
}

// A real radio button clicked again while selected still runs its handling
// (the CD size warns each time, in a box with an empty title, OK and the
// information icon). Digits typed on the focused free-size option build the
// size; they are no access keys of the other options ("1.&44MB", "&650MB").
TEST(MainWindow, SizeOptionsTakeRepeatedClicksAndDigitsTypedOnThem) {
  LiveMain w;
  ASSERT_TRUE(w.shown()) << kNotShown;
  w.Click(w.frm.optSpltSize[2]);
  w.Click(w.frm.optSpltSize[2]);
  EXPECT_EQ(w.TakeBoxes(), Boxes(2, "|" + kMemoryWarning + "|OK|information"))
      << "the memory warning must show once on every click of the CD size";
  w.Click(w.frm.optSpltSize[3]);
  SetFocus(w.H(w.frm.optSpltSize[3]));
  PumpPending();
  guitest::TypeText(w.H(w.frm.optSpltSize[3]), "\b\b\b\b\b\b\b\b\b1250364\b4");
  EXPECT_EQ(w.Text(w.frm.txt_Sizes), "1,250,364")
      << "digits typed on the free-size option did not build the size";
  EXPECT_EQ(w.frm.split.lngSpltSize, 1250364) << "the split would use another part size than the one shown";
  EXPECT_EQ(SendMessageW(w.H(w.frm.optSpltSize[3]), BM_GETCHECK, 0, 0), BST_CHECKED)
      << "a digit typed on the option chose another option";
  EXPECT_TRUE(w.TakeBoxes().empty()) << "typing on the option showed a message box";
}

TEST(MainWindow, RangeModeFromTheMenuSwitchesTheWindowHeightAndUnlocksTheRange) {
  LiveMain w;
  ASSERT_TRUE(w.shown()) << kNotShown;
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  const std::string folder = guitest::ScreenshotFolder();
  ASSERT_FALSE(folder.empty()) << "QUARNIMO_BUILD_DIR is not set";
  w.frm.form.SetTitle("Quarnimo");  // start-up's title, the product name
  w.frm.txtInFile.SetText("C:\\データ\\分割元.dat");
  w.frm.txtOutPath.SetText("D:\\出力先");
  w.frm.lblSize.SetCaption("Size: 10,000 bytes");

  // Each height as the menu leaves it: the outer size at the real dpi, the
  // range row shown whole and usable only in range mode, the status row never
  // cut off; then a screenshot for the eye.
  const std::optional<guitest::MenuPlace> rangeItem = guitest::FindMenuItem(
      w.window.MenuBar(),
      {std::string(design::MenuCaption("mnuSet")), std::string(design::MenuCaption("mnuSettings(3)"))});
  ASSERT_TRUE(rangeItem) << "the range mode item is missing from the menu bar";
  w.frm.split.lngFileSize = 10000;  // ten parts, as a new source plans them
  w.frm.split.lngSpltSize = 1000;
  w.frm.Size_Change(0, 1);
  for (const auto& [rangeMode, height, image] : {std::tuple{true, 4995, "tall"}, {false, 4530, "short"}}) {
    SendMessageW(w.Main(), WM_COMMAND, MAKEWPARAM(rangeItem->id, 0), 0);  // chosen as the user does
    PumpPending();
    const std::string how = rangeMode ? "range mode on" : "range mode off";
    RECT outer{};
    RECT client{};
    GetWindowRect(w.Main(), &outer);
    GetClientRect(w.Main(), &client);
    EXPECT_EQ((GetMenuState(rangeItem->menu, rangeItem->position, MF_BYPOSITION) & MF_CHECKED) != 0,
              rangeMode)
        << how << ": wrong check mark";
    EXPECT_EQ(outer.right - outer.left, MulDiv(4395, dpi, 1440))
        << how << ": the window must be 4395 twips wide at " << dpi << " dpi";
    EXPECT_EQ(outer.bottom - outer.top, MulDiv(height, dpi, 1440))
        << how << ": the window must be " << height << " twips high at " << dpi << " dpi";
    for (const ui::TextBox& box : w.frm.txtSpltPart) {
      const RECT r = w.PlaceIn(box, w.Main());
      EXPECT_TRUE(rangeMode ? r.bottom <= client.bottom : r.top >= client.bottom)
          << how << ": " << box.name() << (rangeMode ? " is cut off" : " shows without range mode");
      EXPECT_EQ(IsWindowEnabled(w.H(box)) != FALSE, rangeMode)
          << how << ": " << box.name() << " is wrongly (un)locked";
    }
    for (const ui::Control* c : {&w.frm.lblComplt, &w.frm.lblFInfo})
      EXPECT_LE(w.PlaceIn(*c, w.Main()).bottom, client.bottom) << how << ": " << c->name() << " is cut off";
    guitest::PumpFor(300);  // let Wine put the window on the X screen
    EXPECT_TRUE(guitest::SaveWindowImage(w.Main(), folder + "\\main_window_" + image + ".bmp"))
        << "the " << image << " window's image could not be saved";
  }
  EXPECT_TRUE(w.TakeBoxes().empty()) << "range mode showed a message box";

  // Maximized or minimized and restored by the system, the window comes back at its fixed size.
  for (const auto& [command, how] : {std::pair{SC_MAXIMIZE, "maximized"}, {SC_MINIMIZE, "minimized"}}) {
    SendMessageW(w.Main(), WM_SYSCOMMAND, command, 0);
    PumpPending();
    if (command == SC_MINIMIZE) SendMessageW(w.Main(), WM_SYSCOMMAND, SC_RESTORE, 0);
    PumpPending();
    RECT outer{};
    GetWindowRect(w.Main(), &outer);
    EXPECT_FALSE(IsZoomed(w.Main()) || IsIconic(w.Main())) << how << ": the window stays " << how;
    EXPECT_EQ(outer.right - outer.left, MulDiv(4395, dpi, 1440)) << how << ": the window is not at its width";
    EXPECT_EQ(outer.bottom - outer.top, MulDiv(4530, dpi, 1440))
        << how << ": the window is not at its height";
  }
}

// The folder the user takes in the real folder dialog (the one it opens at,
// taken with OK) is the output folder, in its long form.
TEST(MainWindow, AFolderChosenInTheRealFolderDialogIsTheOutputFolder) {
  ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
  {
    LiveMain w;
    ASSERT_TRUE(w.shown()) << kNotShown;
    wchar_t desktop[MAX_PATH] = {};
    ASSERT_TRUE(SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, 0, desktop)));
    wchar_t stored[MAX_PATH] = {};
    ASSERT_NE(GetLongPathNameW(desktop, stored, MAX_PATH), 0u);
    HWND label = w.H(w.frm.lblOutSelect);
    SendMessageW(label, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    SendMessageW(label, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));  // the dialog runs, and OK is pressed, in here
    PumpPending();
    EXPECT_EQ(w.TakeBoxes().size(), 1u) << "the label did not open the folder dialog once";
    EXPECT_EQ(w.Shown(w.frm.txtOutPath), Narrow(stored)) << "the chosen folder is not the output folder";
  }
  CoUninitialize();
}

}  // namespace
}  // namespace qn
