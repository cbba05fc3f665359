// The help menu of the real Quarnimo.exe: the version dialog read from
// outside the program, and the help document handed to Wine's shell with
// and without readme.html beside the program.
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/system.h"
#include "tests/wine/support/gui.h"
#include "tests/wine/support/quarnimo_app.h"
#include "tests/wine/support/split_support.h"
#include "tests/wine/wine_test_util.h"
#include "window/frm_version.h"

namespace qn::winetest {
namespace {

constexpr int kWaitMs = 60000;
constexpr int kFirstControlId = 100;  // the binding numbers a form's controls from here in design order

// The real control `name` of the version dialog, by its place in the design.
HWND DialogControl(HWND dialog, std::string_view name) {
  const window::FrmVersion design(platform::ProgramInfo{}, 0);
  const std::vector<ui::Control*>& all = design.form.Controls();
  for (size_t i = 0; i < all.size(); ++i) {
    if (all[i]->name() == name) return GetDlgItem(dialog, kFirstControlId + static_cast<int>(i));
  }
  return nullptr;
}

// A text of the program file's own version resource, read here without the
// program's code.
std::string OwnVersionText(const std::string& exe, const std::wstring& key) {
  DWORD ignored = 0;
  std::vector<BYTE> data(GetFileVersionInfoSizeW(Widen(exe).c_str(), &ignored));
  void* value = nullptr;
  UINT length = 0;
  return !data.empty() &&
                 GetFileVersionInfoW(Widen(exe).c_str(), 0, static_cast<DWORD>(data.size()), data.data()) &&
                 VerQueryValueW(data.data(), (L"\\StringFileInfo\\041104b0\\" + key).c_str(), &value,
                                &length) &&
                 length > 0
             ? Narrow(static_cast<const wchar_t*>(value))
             : std::string();
}

TEST(HelpVersionDialog, ShowsTheProgramsOwnVersionModallyAndClosesByEnter) {
  TempDir dir;
  ASSERT_TRUE(dir.ok());
  QuarnimoApp app(dir.path());
  ASSERT_TRUE(app.ok()) << app.error();
  const std::string exe = dir / "Quarnimo.exe";
  std::string build = std::to_string(QUARNIMO_BUILD_NUMBER);
  build.insert(0, build.size() < 4 ? 4 - build.size() : 0, '0');

  ASSERT_TRUE(app.ChooseMenu("mnuHelps(3)", false));
  HWND dialog = nullptr;
  ASSERT_TRUE(guitest::PumpUntil(
      [&] { return (dialog = FormWindowOf(app.processId(), app.window())) != nullptr; }, kWaitMs))
      << "the version dialog does not appear";
  guitest::PumpFor(200);  // let it settle and paint
  EXPECT_EQ(guitest::WindowText(dialog), "バージョン情報");
  EXPECT_FALSE(IsWindowEnabled(app.window())) << "the main window must wait while the dialog is open";
  const struct {
    const char* label;
    std::string text;
  } labels[] = {
      {"lblpname(0)", OwnVersionText(exe, L"FileDescription")},  // the application title
      {"lblpname(1)", OwnVersionText(exe, L"LegalCopyright")},
      {"lblpname(2)", "1.00"},
      {"lblpname(3)", build},
      {"lblL1(1)", "Build\u3000:"},
      {"btnClose", "閉じる"},
  };
  for (const auto& l : labels) {
    EXPECT_EQ(guitest::WindowText(DialogControl(dialog, l.label)), l.text)
        << l.label << " does not show the program's own data";
  }
  EXPECT_NE(SendMessageW(DialogControl(dialog, "PicIcon"), STM_GETICON, 0, 0), 0)
      << "the dialog must show the program's icon";
  GUITHREADINFO thread{};
  thread.cbSize = sizeof thread;
  ASSERT_TRUE(GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &thread));
  EXPECT_EQ(thread.hwndFocus, DialogControl(dialog, "btnClose")) << "the close button must hold the focus";
  if (const std::string folder = guitest::ScreenshotFolder(); !folder.empty()) {
    EXPECT_TRUE(guitest::SaveWindowImage(dialog, folder + "\\version_dialog.bmp"));
  }

  PostMessageW(thread.hwndFocus, WM_KEYDOWN, VK_RETURN, 0);
  PostMessageW(thread.hwndFocus, WM_KEYUP, VK_RETURN, 0);
  EXPECT_TRUE(guitest::PumpUntil([&] { return !IsWindow(dialog); }, kWaitMs)) << "Enter does not close it";
  EXPECT_TRUE(guitest::PumpUntil([&] { return IsWindowEnabled(app.window()) != FALSE; }, kWaitMs))
      << "afterwards the main window takes no input";
  EXPECT_EQ(app.Close(), 0) << "the program does not end normally after the dialog";
}

// Gives .html files their usual viewer while it lives, as a browser's
// set-up does: the test prefix starts without one (its own HTML engine is
// switched off), and the shell then refuses to open any page. Wine's shell
// reads file types only from the machine's classes, so they go there.
struct HtmlViewer {
  HtmlViewer() {
    static constexpr wchar_t kClass[] = L"htmlfile";
    ok = RegSetKeyValueW(HKEY_LOCAL_MACHINE, kKey, nullptr, REG_SZ, kClass, sizeof kClass) == ERROR_SUCCESS;
  }
  ~HtmlViewer() { RegDeleteTreeW(HKEY_LOCAL_MACHINE, kKey); }
  HtmlViewer(const HtmlViewer&) = delete;
  HtmlViewer& operator=(const HtmlViewer&) = delete;

  static constexpr wchar_t kKey[] = L"Software\\Classes\\.html";
  bool ok = false;
};

TEST(HelpDocument, MissingIsToldWithTheWarningAndPresentOpensWithoutAMessage) {
  TempDir dir;
  ASSERT_TRUE(dir.ok());
  HtmlViewer viewer;
  ASSERT_TRUE(viewer.ok) << ".html files cannot be given a viewer";
  QuarnimoApp app(dir.path());
  ASSERT_TRUE(app.ok()) << app.error();

  ASSERT_TRUE(app.ChooseMenu("mnuHelps(0)", false));
  const SeenBox missing = ExpectBox(app, "readme.htmlが見つかりません", 48);  // OK, exclamation icon
  ASSERT_TRUE(missing.hwnd != nullptr && app.Answer(missing, IDOK)) << "a missing readme.html must be told";
  EXPECT_TRUE(guitest::PumpUntil([&] { return app.Idle(); }, kWaitMs));
  EXPECT_TRUE(Descendants(app.processId()).empty()) << "a missing document must open nothing";

  ASSERT_TRUE(
      CopyFileW(Widen(BuildDir() + "\\app\\readme.html").c_str(), Widen(dir / "readme.html").c_str(), FALSE))
      << "the build did not put readme.html beside Quarnimo.exe";
  EXPECT_TRUE(app.ChooseMenu("mnuHelps(0)")) << "the help item did not come back: a message box is waiting";
  EXPECT_EQ(app.NextBox(0).value_or(SeenBox{}).text, "")
      << "a present readme.html must open without a message";
  EndProcesses(Descendants(app.processId()));  // the viewer the shell opened
  EXPECT_EQ(app.Close(), 0);
}

}  // namespace
}  // namespace qn::winetest
