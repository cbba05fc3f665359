// Quarnimo.exe's start and exit as the user meets them: each case copies the
// real program into a folder of its own (so it has its own values.ini),
// starts it, looks at its window, boxes and settings file from outside, and
// closes it the way a user would.
#include <windows.h>
// after windows.h
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win32/dialogs_win32.h"
#include "platform/win32/system_win32.h"
#include "platform/win32/window_host_win32.h"
#include "shell/startup.h"
#include "tests/wine/support/gui.h"
#include "tests/wine/wine_test_util.h"
#include "window/frm_main.h"

namespace qn::winetest {
namespace {

constexpr int kWaitMs = 30000;
constexpr int kFirstControlId = 100;  // the binding numbers controls from here, in design order
constexpr UINT kFirstMenuId = 1000;   // and menu items from here

const std::string kMemoryWarning =
    "CD-Rサイズで分割する場合は、それだけメモリの容量が必要になります。\r\n"
    "とりあえず警告しますが、もしこれにより、パソコンが不安定になっても知りません。\r\n"
    "（今後、要望があれば小メモリでも分割できるようにする予定です。）";

// The program's own copy of Quarnimo.exe, named `name`, in a fresh folder.
class ProgramCopy {
 public:
  explicit ProgramCopy(const std::string& name = "Quarnimo.exe") : exe_(dir_ / name) {
    ok_ =
        dir_.ok() && CopyFileW(Widen(BuildDir() + "\\app\\Quarnimo.exe").c_str(), Widen(exe_).c_str(), FALSE);
  }
  [[nodiscard]] bool ok() const { return ok_; }
  [[nodiscard]] const std::string& exe() const { return exe_; }
  [[nodiscard]] std::string folder() const { return dir_.path(); }
  [[nodiscard]] std::string ini() const { return dir_ / "values.ini"; }

 private:
  TempDir dir_;
  std::string exe_;
  bool ok_ = false;
};

// A started program; ended by force if a test leaves it running.
class Running {
 public:
  explicit Running(const std::string& exe) {
    std::wstring command = L"\"" + Widen(exe) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    started_ = CreateProcessW(Widen(exe).c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                              nullptr, &startup, &process_) != FALSE;
    if (started_) CloseHandle(process_.hThread);
  }
  ~Running() {
    if (!started_) return;
    if (WaitForSingleObject(process_.hProcess, 0) != WAIT_OBJECT_0) TerminateProcess(process_.hProcess, 99);
    CloseHandle(process_.hProcess);
  }
  Running(const Running&) = delete;
  Running& operator=(const Running&) = delete;

  [[nodiscard]] bool started() const { return started_; }
  [[nodiscard]] DWORD id() const { return process_.dwProcessId; }

  // The shown main window; nullptr when none appears.
  HWND WaitForWindow() const {
    HWND found = nullptr;
    guitest::PumpUntil([&] { return (found = MainWindow()) != nullptr; }, kWaitMs);
    return found;
  }
  HWND MainWindow() const {
    for (HWND hwnd : guitest::TopLevelWindows(id())) {
      if (guitest::ClassName(hwnd) == "QuarnimoForm") return hwnd;
    }
    return nullptr;
  }
  // The exit code once the program has ended; nothing when it does not end.
  std::optional<DWORD> WaitForExit() const {
    if (!guitest::PumpUntil([&] { return WaitForSingleObject(process_.hProcess, 0) == WAIT_OBJECT_0; },
                            kWaitMs))
      return std::nullopt;
    DWORD code = 0;
    GetExitCodeProcess(process_.hProcess, &code);
    return code;
  }

 private:
  PROCESS_INFORMATION process_{};
  bool started_ = false;
};

// The real window of frmMAIN's control `name`, found by the id the binding
// gave it: its place in the form's design order.
HWND ControlOf(HWND main, std::string_view name) {
  platform::win32::Win32System system;
  platform::win32::Win32Dialogs dialogs;
  const window::FrmMain design(system, dialogs);
  const std::vector<ui::Control*>& all = design.form.Controls();
  auto it = std::find_if(all.begin(), all.end(), [&](const ui::Control* c) { return c->name() == name; });
  if (it == all.end()) return nullptr;
  struct Search {
    int id;
    HWND found;
  } search{kFirstControlId + static_cast<int>(it - all.begin()), nullptr};
  EnumChildWindows(
      main,
      [](HWND child, LPARAM data) {
        auto* s = reinterpret_cast<Search*>(data);  // NOLINT(performance-no-int-to-ptr)
        if (GetDlgCtrlID(child) != s->id) return TRUE;
        s->found = child;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// The command id the binding gives frmMAIN's menu item `name`: 1000 plus its
// place in the menu tree, read depth first as the binding builds it. (Wine
// cannot read the menus of another process, so they are not looked up.)
UINT MenuIdOf(std::string_view name) {
  platform::win32::Win32System system;
  platform::win32::Win32Dialogs dialogs;
  const window::FrmMain design(system, dialogs);
  UINT next = kFirstMenuId;
  UINT found = 0;
  std::function<void(const std::vector<ui::MenuItem*>&)> walk = [&](const std::vector<ui::MenuItem*>& items) {
    for (const ui::MenuItem* item : items) {
      const UINT id = next++;
      if (item->name() == name) found = id;
      walk(item->items);
    }
  };
  walk(design.form.menuBar);
  return found;
}

std::string TextOf(HWND hwnd) {
  wchar_t text[512] = {};
  DWORD_PTR got = 0;
  SendMessageTimeoutW(hwnd, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000, &got);
  return Narrow(text);
}

bool Checked(HWND hwnd) { return SendMessageW(hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED; }

RECT Placement(HWND hwnd) {
  RECT r{};
  GetWindowRect(hwnd, &r);
  return r;
}

// xpos and ypos as the program writes them for the window's pixels at 96 dpi.
std::string PositionLines(const RECT& r) {
  return "xpos=" + std::to_string(r.left * 15) + "\r\nypos=" + std::to_string(r.top * 15) + "\r\n";
}

TEST(ShellStartup, FirstRunWritesTheErrorKeysAndThePositionAndTheNextRunOpensThere) {
  ProgramCopy copy;
  ASSERT_TRUE(copy.ok()) << "Quarnimo.exe cannot be copied";
  {
    Running program(copy.exe());
    ASSERT_TRUE(program.started());
    HWND main = program.WaitForWindow();
    ASSERT_NE(main, nullptr) << "the program shows no window";
    EXPECT_EQ(Placement(main).left, 0) << "without settings the window opens at the left border";
    EXPECT_EQ(Placement(main).top, 0) << "without settings the window opens at the top border";
    SetWindowPos(main, nullptr, 100, 80, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    guitest::PumpFor(200);
    PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(program.WaitForExit(), std::optional<DWORD>(0)) << "closing must end the program normally";
  }
  EXPECT_EQ(ReadWholeFile(copy.ini()), "LastErrorNumber=0\r\nLastError=\r\nxpos=1500\r\nypos=1200\r\n")
      << "the first run must leave exactly the error keys and the position";

  Running again(copy.exe());
  HWND main = again.WaitForWindow();
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(Placement(main).left, 100) << "the window must open where it was closed";
  EXPECT_EQ(Placement(main).top, 80) << "the window must open where it was closed";
  PostMessageW(main, WM_CLOSE, 0, 0);
  EXPECT_EQ(again.WaitForExit(), std::optional<DWORD>(0));
}

TEST(ShellStartup, StoredSettingsReachTheRealControls) {
  ProgramCopy copy;
  ASSERT_TRUE(copy.ok());
  ASSERT_TRUE(WriteWholeFile(copy.ini(),
                             "xpos=1500\r\nypos=750\r\n sizeopt = 3 \r\ndevsize=12345\r\ncheckow=2\r\n"
                             "makebatch=0\r\nsamedir=1\r\nformext=-1\r\ndpath=" +
                                 copy.folder() + "\r\n"));
  Running program(copy.exe());
  HWND main = program.WaitForWindow();
  ASSERT_NE(main, nullptr);

  EXPECT_EQ(TextOf(ControlOf(main, "txt_Sizes")), "12,345") << "the stored free size is not shown";
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(Checked(ControlOf(main, "optSpltSize(" + std::to_string(i) + ")")), i == 3)
        << "size option " << i;
  }
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(Checked(ControlOf(main, "optHmny(" + std::to_string(i) + ")")), i == 2)
        << "overwrite option " << i;
  }
  EXPECT_FALSE(Checked(ControlOf(main, "chkMkBat"))) << "the stored batch choice is not shown";
  EXPECT_TRUE(Checked(ControlOf(main, "chkSamDir"))) << "the stored same-folder choice is not shown";
  EXPECT_EQ(TextOf(ControlOf(main, "txtOutPath")), copy.folder()) << "the stored output folder is not shown";
  EXPECT_FALSE(IsWindowEnabled(ControlOf(main, "txtOutPath"))) << "same-folder mode must lock the output box";

  const RECT r = Placement(main);
  EXPECT_EQ(r.left, 100);
  EXPECT_EQ(r.top, 50);
  EXPECT_EQ(r.bottom - r.top, 333) << "range mode must show the range row (4995 twips)";

  // The menu's save writes back what the window holds, range-mode mark included.
  PostMessageW(main, WM_COMMAND, MAKEWPARAM(MenuIdOf("mnuSettings(6)"), 0), 0);
  const std::string saved =
      "xpos=1500\r\nypos=750\r\n sizeopt =3\r\ndevsize=12345\r\ncheckow=2\r\nmakebatch=0\r\n"
      "samedir=1\r\nformext=-1\r\ndpath=" +
      copy.folder() + "\r\n";
  EXPECT_TRUE(guitest::PumpUntil([&] { return ReadWholeFile(copy.ini()) == saved; }, kWaitMs))
      << "the menu save does not write back the stored settings; the file holds:\n"
      << ReadWholeFile(copy.ini());

  PostMessageW(main, WM_CLOSE, 0, 0);
  EXPECT_EQ(program.WaitForExit(), std::optional<DWORD>(0));
}

TEST(ShellStartup, StoredCdSizeWarnsBeforeTheWindowAppears) {
  ProgramCopy copy;
  ASSERT_TRUE(copy.ok());
  ASSERT_TRUE(WriteWholeFile(copy.ini(), "sizeopt=2\r\n"));
  Running program(copy.exe());
  std::optional<guitest::MessageBoxInfo> box = guitest::WaitForMessageBox(program.id(), kWaitMs);
  ASSERT_TRUE(box.has_value()) << "the memory warning of the CD size does not appear";
  EXPECT_EQ(box->text, kMemoryWarning);
  EXPECT_EQ(box->buttons, std::vector<int>{IDOK});
  EXPECT_EQ(program.MainWindow(), nullptr) << "the window must not show before the warning is answered";
  ASSERT_TRUE(guitest::AnswerMessageBox(box->hwnd, IDOK));
  HWND main = program.WaitForWindow();
  ASSERT_NE(main, nullptr) << "the window must show once the warning is answered";
  PostMessageW(main, WM_CLOSE, 0, 0);
  EXPECT_EQ(program.WaitForExit(), std::optional<DWORD>(0));
}

TEST(ShellStartup, ProgramWithAnotherExtensionAsksForExeAndRecordsWhy) {
  ProgramCopy copy("Quarnimo.bin");
  ASSERT_TRUE(copy.ok());
  Running program(copy.exe());
  ASSERT_TRUE(program.started()) << "a program file named .bin cannot be started: error " << GetLastError();
  std::optional<guitest::MessageBoxInfo> box = guitest::WaitForMessageBox(program.id(), kWaitMs);
  ASSERT_TRUE(box.has_value()) << "the program says nothing about its file name";
  EXPECT_EQ(box->text, "Quarnimoの拡張子を、.exeに変更して下さい。");
  EXPECT_EQ(box->title, "") << "the box's title must be empty";
  EXPECT_EQ(box->buttons, std::vector<int>{IDOK});
  EXPECT_EQ(program.MainWindow(), nullptr) << "no window may open for a misnamed program";
  ASSERT_TRUE(guitest::AnswerMessageBox(box->hwnd, IDOK));
  const std::optional<DWORD> code = program.WaitForExit();
  ASSERT_TRUE(code.has_value()) << "the program must end after the box";
  EXPECT_NE(*code, 0u) << "a refused start must end with a non-zero exit code";
  EXPECT_EQ(ReadWholeFile(copy.ini()),
            std::string("LastErrorNumber=\0\r\n", 19) + "LastError=" +
                platform::win32::Win32System().ToAnsi("Quarnimoのファイル名が不正である可能性があります。",
                                                      nullptr) +
                "\r\n")
      << "the misnamed program file must be recorded";
}

TEST(ShellStartup, ClosingByAnyMeansSavesOnlyThePosition) {
  struct Way {
    const char* what;
    std::function<void(HWND)> close;
  } ways[] = {
      {"WM_CLOSE", [](HWND main) { PostMessageW(main, WM_CLOSE, 0, 0); }},
      {"system menu Close", [](HWND main) { PostMessageW(main, WM_SYSCOMMAND, SC_CLOSE, 0); }},
      {"menu 終了(&X)",
       [](HWND main) { PostMessageW(main, WM_COMMAND, MAKEWPARAM(MenuIdOf("mnuFiles(5)"), 0), 0); }},
      {"end of session", [](HWND main) { PostMessageW(main, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF); }},
  };
  const std::string others =
      "dpath=C:\\\r\nmakebatch=0\r\ncheckow=1\r\nsizeopt=1\r\ndevsize=1250304\r\n"
      "samedir=0\r\nformext=0\r\nuser's own line\r\n";
  int pixels = 20;
  for (const Way& way : ways) {
    ProgramCopy copy;
    ASSERT_TRUE(copy.ok());
    ASSERT_TRUE(WriteWholeFile(copy.ini(), "xpos=0\r\nypos=0\r\n" + others));
    Running program(copy.exe());
    HWND main = program.WaitForWindow();
    ASSERT_NE(main, nullptr) << way.what;
    pixels += 20;
    SetWindowPos(main, nullptr, pixels, pixels / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    guitest::PumpFor(200);
    const RECT r = Placement(main);
    way.close(main);
    EXPECT_EQ(program.WaitForExit(), std::optional<DWORD>(0)) << way.what << ": the program does not end";
    EXPECT_EQ(ReadWholeFile(copy.ini()), PositionLines(r) + others)
        << way.what << ": closing must save the position and nothing else";
  }
}

// The real machine with the program's folder and name moved to a test's folder.
class FolderSystem : public platform::win32::Win32System {
 public:
  explicit FolderSystem(std::string folder) : folder_(std::move(folder)) {}
  std::string ProgramFolder() override { return folder_; }
  std::string ProgramFileName() override { return "Quarnimo.exe"; }

 private:
  std::string folder_;
};

// A drop of `paths` as the shell hands it to a window; the window ends it.
WPARAM MakeDrop(const std::vector<std::string>& paths) {
  std::wstring names;
  for (const std::string& path : paths) names += Widen(path) + L'\0';
  names += L'\0';
  HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + names.size() * sizeof(wchar_t));
  auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
  drop->pFiles = sizeof(DROPFILES);
  drop->fWide = TRUE;
  std::copy(names.begin(), names.end(), reinterpret_cast<wchar_t*>(drop + 1));
  GlobalUnlock(memory);
  return reinterpret_cast<WPARAM>(memory);
}

// The start procedure in this process, so that the real menus can be read.
TEST(ShellStartup, RealWindowShowsTheStoredMarksAndHandsDropsOnBehindTheHook) {
  TempDir dir;
  ASSERT_TRUE(dir.ok());
  ASSERT_TRUE(WriteWholeFile(dir / "Quarnimo.exe", "MZ"));
  ASSERT_TRUE(WriteWholeFile(dir / "values.ini", "makebatch=0\r\ncheckow=2\r\nsamedir=1\r\nformext=-1\r\n"));
  FolderSystem system(dir.path());
  platform::win32::Win32Dialogs dialogs;
  platform::win32::Win32WindowHost host(dialogs, SW_SHOWNORMAL);
  std::vector<std::string> dropped;
  {
    shell::Program program(system, dialogs, host);
    program.intake.onDrop = [&](shell::Program&, platform::DroppedItems& items) {
      for (uint32_t i = 0; i < items.Count(); ++i) dropped.push_back(items.Item(i));
    };
    ASSERT_EQ(program.Start(), shell::StartOutcome::kShown);
    HWND main = host.hwnd();
    ASSERT_NE(main, nullptr);
    EXPECT_TRUE(IsWindowVisible(main));
    EXPECT_NE(GetWindowLongW(main, GWL_EXSTYLE) & WS_EX_ACCEPTFILES, 0)
        << "the window must accept dropped files";

    HMENU bar = GetMenu(main);
    auto checked = [&](const std::vector<std::string>& path) {
      std::optional<guitest::MenuPlace> place = guitest::FindMenuItem(bar, path);
      EXPECT_TRUE(place.has_value()) << path.back() << " cannot be found in the menu";
      return place && (guitest::MenuItemState(*place) & MF_CHECKED) != 0;
    };
    EXPECT_TRUE(checked({"設定(&S)", "分割箇所を指定する(&A)"})) << "range mode is not marked in the menu";
    EXPECT_FALSE(checked({"設定(&S)", "バッチファイル作成(&M)"})) << "the batch mark disagrees with the box";
    EXPECT_TRUE(checked({"設定(&S)", "分割元と同じ場所に分割(&Q)"})) << "the same-folder mark disagrees";
    EXPECT_TRUE(checked({"設定(&S)", "上書き処理(&O)", "その都度確認メッセージ"}))
        << "the overwrite mark disagrees";

    const std::string longName = "C:\\能力\\" + std::string(300, 'x');
    SendMessageW(main, WM_DROPFILES, MakeDrop({dir / "a.txt", longName}), 0);
    EXPECT_EQ(dropped, (std::vector<std::string>{dir / "a.txt", "C:\\能力\\" + std::string(253, 'x')}))
        << "a drop must reach the intake, each path cut at 259 characters";

    std::optional<guitest::MenuPlace> batch =
        guitest::FindMenuItem(bar, {"設定(&S)", "バッチファイル作成(&M)"});
    ASSERT_TRUE(batch.has_value());
    SendMessageW(main, WM_COMMAND, MAKEWPARAM(batch->id, 0), 0);
    EXPECT_EQ(program.frmMAIN()->chkMkBat.Value(), 1) << "behind the drop hook the window no longer works";

    SetWindowPos(main, nullptr, 30, 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(host.RunMessageLoop(), 0);
    EXPECT_EQ(host.hwnd(), nullptr) << "closing must end the window";
  }
  EXPECT_EQ(ReadWholeFile(dir / "values.ini"),
            "makebatch=0\r\ncheckow=2\r\nsamedir=1\r\nformext=-1\r\nxpos=450\r\nypos=300\r\n")
      << "closing must save the position and nothing else";
}

}  // namespace
}  // namespace qn::winetest
