// The help menu of the real Quarnimo.exe: the version dialog read from
// outside the program, and the help document handed to Wine's shell with
// and without readme.html beside the program.
#include <windows.h>
// after windows.h
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <iostream>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/system.h"
#include "tests/wine/support/gui.h"
#include "tests/wine/support/quarnimo_app.h"
#include "tests/wine/wine_test_util.h"
#include "window/frm_main_design.h"
#include "window/frm_version.h"

namespace qn::winetest {
namespace {

constexpr int kWaitMs = 60000;
constexpr int kFirstControlId = 100;  // the binding numbers a form's controls from here in design order
constexpr UINT kFirstMenuId = 1000;   // and its menu items from here, depth first

// The command id of frmMAIN's menu item `name`. The design lists the menus
// depth first, as the binding numbers them; Wine cannot read another
// process's menus, so they are not looked up.
UINT MenuId(std::string_view name) {
  for (size_t i = 0; i < window::design::kMenus.size(); ++i) {
    if (window::design::kMenus[i].name == name) return kFirstMenuId + static_cast<UINT>(i);
  }
  ADD_FAILURE() << "no menu item " << name;
  return 0;
}

// The version dialog of the program: its form window owned by the main window.
HWND VersionDialog(DWORD processId, HWND main) {
  for (HWND hwnd : guitest::TopLevelWindows(processId)) {
    if (guitest::ClassName(hwnd) == "QuarnimoForm" && GetWindow(hwnd, GW_OWNER) == main) return hwnd;
  }
  return nullptr;
}

// The real control `name` of the version dialog, by its place in the design.
HWND DialogControl(HWND dialog, std::string_view name) {
  const window::FrmVersion design(platform::ProgramInfo{}, 0);
  const std::vector<ui::Control*>& all = design.form.Controls();
  for (size_t i = 0; i < all.size(); ++i) {
    if (all[i]->name() == name) return GetDlgItem(dialog, kFirstControlId + static_cast<int>(i));
  }
  return nullptr;
}

std::string TextOf(HWND hwnd) {
  wchar_t text[512] = {};
  DWORD_PTR got = 0;
  SendMessageTimeoutW(hwnd, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 10000, &got);
  return Narrow(text);
}

// What the program file's own version resource says, read here without the
// program's code.
struct OwnVersion {
  std::string title;
  std::string notice;
  int major = -1;
  int minor = -1;
  int revision = -1;
};

OwnVersion ReadOwnVersion(const std::string& exe) {
  OwnVersion own;
  const std::wstring file = Widen(exe);
  DWORD ignored = 0;
  std::vector<BYTE> data(GetFileVersionInfoSizeW(file.c_str(), &ignored));
  if (data.empty() || !GetFileVersionInfoW(file.c_str(), 0, static_cast<DWORD>(data.size()), data.data())) {
    return own;
  }
  void* value = nullptr;
  UINT length = 0;
  if (VerQueryValueW(data.data(), L"\\", &value, &length) && length >= sizeof(VS_FIXEDFILEINFO)) {
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
    own.major = HIWORD(fixed->dwFileVersionMS);
    own.minor = LOWORD(fixed->dwFileVersionMS);
    own.revision = LOWORD(fixed->dwFileVersionLS);
  }
  auto text = [&](const wchar_t* key) {
    const std::wstring path = std::wstring(L"\\StringFileInfo\\041104b0\\") + key;
    if (!VerQueryValueW(data.data(), path.c_str(), &value, &length) || length == 0) return std::string();
    return Narrow(static_cast<const wchar_t*>(value));
  };
  own.title = text(L"FileDescription");
  own.notice = text(L"LegalCopyright");
  return own;
}

TEST(HelpVersionDialog, ShowsTheProgramsOwnVersionModallyAndClosesByEnterOrCloseBox) {
  TempDir dir;
  ASSERT_TRUE(dir.ok());
  QuarnimoApp app(dir.path());
  ASSERT_TRUE(app.ok()) << app.error();
  const OwnVersion own = ReadOwnVersion(dir / "Quarnimo.exe");
  ASSERT_GE(own.revision, 0) << "the program file has no version resource";
  std::string build = std::to_string(own.revision);
  build.insert(0, build.size() < 4 ? 4 - build.size() : 0, '0');

  for (const char* way : {"Enter", "close box"}) {
    ASSERT_TRUE(PostMessageW(app.window(), WM_COMMAND, MAKEWPARAM(MenuId("mnuHelps(3)"), 0), 0));
    HWND dialog = nullptr;
    ASSERT_TRUE(
        guitest::PumpUntil([&] { return (dialog = VersionDialog(app.processId(), app.window())); }, kWaitMs))
        << "the version dialog does not appear";
    guitest::PumpFor(200);  // let it settle and paint

    EXPECT_EQ(guitest::WindowText(dialog), "バージョン情報");
    EXPECT_FALSE(IsWindowEnabled(app.window())) << "the main window must wait while the dialog is open";
    EXPECT_EQ(TextOf(DialogControl(dialog, "lblpname(0)")), own.title) << "not the application title";
    EXPECT_EQ(TextOf(DialogControl(dialog, "lblpname(1)")), own.notice) << "not the legal notice line";
    EXPECT_EQ(TextOf(DialogControl(dialog, "lblpname(2)")), "1.00") << "not the program's version";
    EXPECT_EQ(TextOf(DialogControl(dialog, "lblpname(3)")), build) << "not the program's build";
    EXPECT_EQ(TextOf(DialogControl(dialog, "lblL1(0)")), "Version :");
    EXPECT_EQ(TextOf(DialogControl(dialog, "lblL1(1)")), "Build\u3000:");
    HWND close = DialogControl(dialog, "btnClose");
    EXPECT_EQ(TextOf(close), "閉じる");
    EXPECT_NE(SendMessageW(DialogControl(dialog, "PicIcon"), STM_GETICON, 0, 0), 0)
        << "the dialog must show the program's icon";

    RECT client{};
    GetClientRect(dialog, &client);
    const HDC screen = GetDC(nullptr);
    const int dpiX = GetDeviceCaps(screen, LOGPIXELSX);
    const int dpiY = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(client.right, MulDiv(3705, dpiX, 1440)) << "the dialog's client area is 3705 twips wide";
    EXPECT_EQ(client.bottom, MulDiv(1695, dpiY, 1440)) << "the dialog's client area is 1695 twips high";
    const LONG style = GetWindowLongW(dialog, GWL_STYLE);
    EXPECT_EQ(style & (WS_THICKFRAME | WS_MAXIMIZEBOX | WS_MINIMIZEBOX), 0)
        << "the dialog must not be resizable";

    GUITHREADINFO thread{};
    thread.cbSize = sizeof thread;
    ASSERT_TRUE(GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &thread));
    EXPECT_EQ(thread.hwndFocus, close) << "the close button must hold the focus";

    if (std::string_view(way) == "Enter") {
      const std::string folder = guitest::ScreenshotFolder();
      if (!folder.empty()) {
        EXPECT_TRUE(guitest::SaveWindowImage(dialog, folder + "\\version_dialog.bmp"));
      }
      PostMessageW(thread.hwndFocus, WM_KEYDOWN, VK_RETURN, 0);
      PostMessageW(thread.hwndFocus, WM_KEYUP, VK_RETURN, 0);
    } else {
      PostMessageW(dialog, WM_CLOSE, 0, 0);
    }
    EXPECT_TRUE(guitest::PumpUntil([&] { return !IsWindow(dialog); }, kWaitMs))
        << way << " does not close it";
    EXPECT_TRUE(guitest::PumpUntil([&] { return IsWindowEnabled(app.window()) != FALSE; }, kWaitMs))
        << "after " << way << " the main window takes no input";
  }
  EXPECT_EQ(app.Close(), 0) << "the program does not end normally after the dialog";
}

// Processes of this Wine session, by id, with their parents and names.
struct ProcessEntry {
  DWORD parent = 0;
  std::string name;
};

std::map<DWORD, ProcessEntry> Processes() {
  std::map<DWORD, ProcessEntry> all;
  const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return all;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
    all[entry.th32ProcessID] = ProcessEntry{entry.th32ParentProcessID, Narrow(entry.szExeFile)};
  }
  CloseHandle(snapshot);
  return all;
}

// Processes started since `before` that descend from `root`: what the shell
// opened for the program.
std::map<DWORD, ProcessEntry> StartedBy(DWORD root, const std::map<DWORD, ProcessEntry>& before) {
  const std::map<DWORD, ProcessEntry> now = Processes();
  std::map<DWORD, ProcessEntry> started;
  std::set<DWORD> ours = {root};
  for (bool grew = true; grew;) {
    grew = false;
    for (const auto& [id, entry] : now) {
      if (before.count(id) || ours.count(id) || !ours.count(entry.parent)) continue;
      ours.insert(id);
      started[id] = entry;
      grew = true;
    }
  }
  return started;
}

// Ends what the shell opened for the program: waits for it to go by itself,
// then ends it. Gives the names of what had to be ended.
std::vector<std::string> EndStarted(DWORD root, const std::map<DWORD, ProcessEntry>& before) {
  std::vector<std::string> ended;
  for (const auto& [id, entry] : StartedBy(root, before)) {
    const HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, id);
    if (process == nullptr) continue;
    if (WaitForSingleObject(process, 5000) != WAIT_OBJECT_0) {
      TerminateProcess(process, 99);
      WaitForSingleObject(process, 10000);
      ended.push_back(entry.name);
    }
    CloseHandle(process);
  }
  return ended;
}

// Gives .html files their usual viewer while it lives, as a browser's
// set-up does: the test prefix starts without one (its own HTML engine is
// switched off), and the shell then refuses to open any page. Wine's shell
// reads file types only from the machine's classes, so they go there.
class HtmlViewer {
 public:
  HtmlViewer() {
    HKEY key = nullptr;
    DWORD disposition = 0;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        &disposition) != ERROR_SUCCESS) {
      return;
    }
    created_ = disposition == REG_CREATED_NEW_KEY;
    static constexpr wchar_t kClass[] = L"htmlfile";
    ok_ = !created_ || RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(kClass),
                                      sizeof kClass) == ERROR_SUCCESS;
    RegCloseKey(key);
  }
  ~HtmlViewer() {
    if (created_) RegDeleteTreeW(HKEY_LOCAL_MACHINE, kKey);
  }
  HtmlViewer(const HtmlViewer&) = delete;
  HtmlViewer& operator=(const HtmlViewer&) = delete;
  [[nodiscard]] bool ok() const { return ok_; }

 private:
  static constexpr wchar_t kKey[] = L"Software\\Classes\\.html";
  bool created_ = false;  // the prefix had no entry: it goes again
  bool ok_ = false;
};

TEST(HelpDocument, OpensThroughTheShellWithoutAMessageWhenPresent) {
  TempDir dir;
  ASSERT_TRUE(dir.ok());
  HtmlViewer viewer;
  ASSERT_TRUE(viewer.ok()) << ".html files cannot be given a viewer";
  QuarnimoApp app(dir.path());
  ASSERT_TRUE(app.ok()) << app.error();
  ASSERT_TRUE(
      CopyFileW(Widen(BuildDir() + "\\app\\readme.html").c_str(), Widen(dir / "readme.html").c_str(), FALSE))
      << "the build did not put readme.html beside Quarnimo.exe";
  const std::map<DWORD, ProcessEntry> before = Processes();

  // Sent, so it returns once the item's handling is over: a message box would keep it from returning.
  DWORD_PTR ignored = 0;
  const LRESULT handled = SendMessageTimeoutW(app.window(), WM_COMMAND, MAKEWPARAM(MenuId("mnuHelps(0)"), 0),
                                              0, SMTO_NORMAL, kWaitMs, &ignored);
  EXPECT_NE(handled, 0) << "the help item did not come back: a message box is waiting";
  std::optional<SeenBox> box = app.NextBox(0);
  EXPECT_FALSE(box.has_value()) << "a present readme.html must open without a message: "
                                << (box ? box->text : std::string());
  if (box) (void)app.Answer(*box, IDOK);

  std::string opened;
  for (const auto& [id, entry] : StartedBy(app.processId(), before)) opened += entry.name + " ";
  const std::vector<std::string> ended = EndStarted(app.processId(), before);
  std::cout << "the shell opened: " << (opened.empty() ? "nothing that still runs" : opened)
            << (ended.empty() ? "" : "(ended by the test)") << "\n";
  EXPECT_EQ(app.Close(), 0);
  EXPECT_TRUE(StartedBy(app.processId(), before).empty()) << "something the shell opened is still running";
}

TEST(HelpDocument, MissingIsToldWithTheWarning) {
  TempDir dir;
  ASSERT_TRUE(dir.ok());
  QuarnimoApp app(dir.path());
  ASSERT_TRUE(app.ok()) << app.error();
  ASSERT_EQ(RawAttributes(dir / "readme.html"), INVALID_FILE_ATTRIBUTES);
  const std::map<DWORD, ProcessEntry> before = Processes();

  ASSERT_TRUE(PostMessageW(app.window(), WM_COMMAND, MAKEWPARAM(MenuId("mnuHelps(0)"), 0), 0));
  std::optional<SeenBox> box = app.NextBox(kWaitMs);
  ASSERT_TRUE(box.has_value()) << "a missing readme.html must be told";
  EXPECT_EQ(box->text, "readme.htmlが見つかりません");
  EXPECT_EQ(box->style, 48) << "the warning needs one OK button and the exclamation icon";
  EXPECT_EQ(box->title, "");
  ASSERT_TRUE(app.Answer(*box, IDOK));
  EXPECT_TRUE(guitest::PumpUntil([&] { return app.Idle(); }, kWaitMs));
  EXPECT_TRUE(EndStarted(app.processId(), before).empty()) << "a missing document must open nothing";
  EXPECT_EQ(app.Close(), 0);
}

}  // namespace
}  // namespace qn::winetest
