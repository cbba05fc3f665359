// Paths handed to the real Quarnimo.exe: on its command line, and dropped on
// its window as the shell drops them (a real WM_DROPFILES whose DROPFILES
// block lies in the program's own memory). Each case runs a private copy of
// the program in a folder of its own and ends every process it started.
#include <windows.h>
// after windows.h
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tests/wine/support/gui.h"
#include "tests/wine/support/quarnimo_app.h"
#include "tests/wine/wine_test_util.h"
#include "window/frm_main_design.h"

namespace qn::winetest {
namespace {

constexpr int kWaitMs = 60000;
constexpr int kFirstControlId = 100;  // the binding numbers the controls from here in design order

const std::string kFolderQuestion =
    "ドロップされたオブジェクトはフォルダです。\r\rこのフォルダを出力先に設定しますか？";
const std::string kManyQuestion = "複数のファイルがドロップされました。\r\r全てのファイルを処理しますか？";

std::string ShortPath(const std::string& path) {
  wchar_t buffer[MAX_PATH] = {};
  const DWORD got = GetShortPathNameW(Widen(path).c_str(), buffer, MAX_PATH);
  return got > 0 && got < MAX_PATH ? Narrow(buffer) : std::string();
}

// The short form of the program file a process runs; "" when it cannot be asked.
std::string ProcessImage(DWORD processId) {
  const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
  if (process == nullptr) return {};
  wchar_t image[MAX_PATH] = {};
  DWORD size = MAX_PATH;
  const BOOL ok = QueryFullProcessImageNameW(process, 0, image, &size);
  CloseHandle(process);
  return ok ? ShortPath(Narrow(image)) : std::string();
}

// The main windows of every process that runs `exe`, in no order.
std::vector<HWND> ProgramWindows(const std::string& exe) {
  struct Search {
    std::string exe;
    std::vector<HWND> found;
  } search{ShortPath(exe), {}};
  EnumWindows(
      [](HWND hwnd, LPARAM data) {
        auto* s = reinterpret_cast<Search*>(data);  // NOLINT(performance-no-int-to-ptr)
        if (GetWindow(hwnd, GW_OWNER) != nullptr || guitest::ClassName(hwnd) != "QuarnimoForm") return TRUE;
        DWORD processId = 0;
        GetWindowThreadProcessId(hwnd, &processId);
        if (ProcessImage(processId) == s->exe) s->found.push_back(hwnd);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

DWORD ProcessOf(HWND hwnd) {
  DWORD processId = 0;
  GetWindowThreadProcessId(hwnd, &processId);
  return processId;
}

// The text of frmMAIN's control `name` in the window `main` of any process,
// found by the id the binding gives it: its place in the design.
std::string ControlText(HWND main, std::string_view name) {
  struct Search {
    int id;
    HWND found;
  } search{-1, nullptr};
  for (size_t i = 0; i < window::design::kControls.size(); ++i) {
    if (window::design::kControls[i].name == name) search.id = kFirstControlId + static_cast<int>(i);
  }
  EnumChildWindows(
      main,
      [](HWND child, LPARAM data) {
        auto* s = reinterpret_cast<Search*>(data);  // NOLINT(performance-no-int-to-ptr)
        if (GetDlgCtrlID(child) != s->id) return TRUE;
        s->found = child;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  if (search.found == nullptr) return {};
  wchar_t text[1024] = {};
  DWORD_PTR got = 0;
  SendMessageTimeoutW(search.found, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 10000,
                      &got);
  return Narrow(text);
}

// Ends every process that runs `exe` when the test is over, however it
// went: closed as a user would, killed if it does not go.
class EndAllOf {
 public:
  explicit EndAllOf(std::string exe) : exe_(std::move(exe)) {}
  ~EndAllOf() {
    std::vector<HANDLE> processes;
    for (HWND hwnd : ProgramWindows(exe_)) {
      const HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, ProcessOf(hwnd));
      if (process == nullptr) continue;
      processes.push_back(process);
      PostMessageW(hwnd, WM_CLOSE, 0, 0);
    }
    for (HANDLE process : processes) {
      if (WaitForSingleObject(process, 20000) != WAIT_OBJECT_0) {
        TerminateProcess(process, 99);
        WaitForSingleObject(process, 10000);
      }
      CloseHandle(process);
    }
  }
  EndAllOf(const EndAllOf&) = delete;
  EndAllOf& operator=(const EndAllOf&) = delete;

 private:
  std::string exe_;
};

// A copy of Quarnimo.exe in its own folder, started with `arguments` after
// its name; the copy and its folder go when the object goes, after every
// process it started has ended.
class StartedWith {
 public:
  explicit StartedWith(const std::string& arguments) : exe_(dir_ / "Quarnimo.exe"), ender_(exe_) {
    if (!dir_.ok() ||
        !CopyFileW(Widen(BuildDir() + "\\app\\Quarnimo.exe").c_str(), Widen(exe_).c_str(), FALSE)) {
      return;
    }
    std::wstring command = L"\"" + Widen(exe_) + L"\" " + Widen(arguments);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(Widen(exe_).c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        Widen(dir_.path()).c_str(), &startup, &process)) {
      return;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    processId_ = process.dwProcessId;
    guitest::PumpUntil(
        [&] {
          for (HWND hwnd : guitest::TopLevelWindows(processId_)) {
            if (guitest::ClassName(hwnd) == "QuarnimoForm") window_ = hwnd;
          }
          return window_ != nullptr;
        },
        kWaitMs);
  }

  [[nodiscard]] HWND window() const { return window_; }
  [[nodiscard]] DWORD processId() const { return processId_; }
  [[nodiscard]] const std::string& exe() const { return exe_; }
  // The shown main windows of the further instances this program started.
  [[nodiscard]] std::vector<HWND> Others() const {
    std::vector<HWND> others = ProgramWindows(exe_);
    std::erase_if(others, [&](HWND hwnd) { return ProcessOf(hwnd) == processId_ || !IsWindowVisible(hwnd); });
    return others;
  }

 private:
  TempDir dir_;
  std::string exe_;
  EndAllOf ender_;  // before the folder goes
  DWORD processId_ = 0;
  HWND window_ = nullptr;
};

TEST(IntakeCommandLine, OnePathWithSpacesIsTakenWholeWithoutQuotes) {
  TempDir data;
  ASSERT_TRUE(data.ok());
  CreateDirectoryW(Widen(data / "My Files").c_str(), nullptr);
  const std::string file = data / "My Files\\report one.txt";
  ASSERT_TRUE(WriteWholeFile(file, std::string(3000000, 'r')));

  StartedWith program(file);
  ASSERT_NE(program.window(), nullptr) << "the program shows no window";
  EXPECT_EQ(ControlText(program.window(), "txtInFile"), file) << "the path with spaces was not taken whole";
  EXPECT_EQ(ControlText(program.window(), "lblSize"), "Size: 3,000,000 bytes")
      << "the source size is not shown";
  EXPECT_FALSE(IsIconic(program.window())) << "the program itself must open in the normal state";
  EXPECT_TRUE(program.Others().empty()) << "one path must not start further instances";
}

TEST(IntakeCommandLine, ThreeFilesLoadTheLastAndStartOneInstanceForEachOther) {
  TempDir data;
  ASSERT_TRUE(data.ok());
  const std::vector<std::string> files = {data / "first file.bin", data / "second file.bin",
                                          data / "third file.bin"};
  for (size_t i = 0; i < files.size(); ++i) ASSERT_TRUE(WriteWholeFile(files[i], std::string(i + 1, 'x')));

  StartedWith program(files[0] + " " + files[1] + " " + files[2]);
  ASSERT_NE(program.window(), nullptr) << "the program shows no window";
  EXPECT_EQ(ControlText(program.window(), "txtInFile"), files[2])
      << "the last path must be this window's source";

  std::vector<HWND> others;
  EXPECT_TRUE(guitest::PumpUntil(
      [&] {
        others = program.Others();
        return others.size() >= 2;
      },
      kWaitMs))
      << "the further instances did not appear (" << others.size() << " found)";
  guitest::PumpFor(500);  // an unexpected third one would show by now
  others = program.Others();
  ASSERT_EQ(others.size(), 2u) << "one further instance per further file";
  std::set<std::string> shown;
  for (HWND other : others) {
    EXPECT_TRUE(IsIconic(other)) << "a further instance must start minimized";
    shown.insert(ControlText(other, "txtInFile"));
  }
  EXPECT_EQ(shown, (std::set<std::string>{files[0], files[1]}))
      << "each further instance must show its own file in its long form";
}

// Drops `paths` on `window` as the shell does: a DROPFILES block with wide
// names, written into the window's own process, posted as WM_DROPFILES.
// False when the block could not be placed there.
bool DropOn(HWND window, const std::vector<std::string>& paths) {
  std::wstring names;
  for (const std::string& path : paths) names += Widen(path) + L'\0';
  names += L'\0';
  std::vector<char> block(sizeof(DROPFILES) + names.size() * sizeof(wchar_t));
  DROPFILES header{};
  header.pFiles = sizeof(DROPFILES);
  header.fWide = TRUE;
  std::copy_n(reinterpret_cast<const char*>(&header), sizeof header, block.data());
  std::copy_n(reinterpret_cast<const char*>(names.data()), names.size() * sizeof(wchar_t),
              block.data() + sizeof header);

  const HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, ProcessOf(window));
  if (process == nullptr) return false;
  void* remote = VirtualAllocEx(process, nullptr, block.size(), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  SIZE_T written = 0;
  const bool placed = remote != nullptr &&
                      WriteProcessMemory(process, remote, block.data(), block.size(), &written) &&
                      written == block.size();
  CloseHandle(process);
  // The receiver's DragFinish cannot free a block it did not allocate; the
  // few bytes stay with it until it ends.
  return placed && PostMessageW(window, WM_DROPFILES, reinterpret_cast<WPARAM>(remote), 0);
}

// Waits until the program's thread has handled everything posted to it so
// far (a sent message is only answered from its message loop).
bool Settled(HWND window) {
  DWORD_PTR ignored = 0;
  return SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, kWaitMs, &ignored) != 0;
}

class IntakeDrop : public ::testing::Test {
 protected:
  TempDir dir;
  TempDir data;
  std::optional<QuarnimoApp> app;
  std::optional<EndAllOf> ender;

  void SetUp() override {
    ASSERT_TRUE(dir.ok() && data.ok());
    ender.emplace(dir / "Quarnimo.exe");
    app.emplace(dir.path());
    ASSERT_TRUE(app->ok()) << app->error();
  }
  void TearDown() override {
    if (app) (void)app->Close();
    app.reset();
    ender.reset();
  }
  std::vector<HWND> Others() {
    std::vector<HWND> others = ProgramWindows(dir / "Quarnimo.exe");
    std::erase_if(others, [&](HWND hwnd) { return hwnd == app->window() || !IsWindowVisible(hwnd); });
    return others;
  }
};

TEST_F(IntakeDrop, OneFileBecomesTheSourceAsDropped) {
  const std::string file = data / "dropped file.bin";
  ASSERT_TRUE(WriteWholeFile(file, std::string(1457665, 'd')));
  ASSERT_TRUE(DropOn(app->window(), {file})) << "the drop could not be delivered";
  ASSERT_TRUE(Settled(app->window()));
  EXPECT_EQ(app->Text("txtInFile"), file) << "DragQueryFile did not give the dropped file to the program";
  EXPECT_EQ(app->Text("lblSize"), "Size: 1,457,665 bytes");
  EXPECT_EQ(app->Text("lblFInfo"), "2 + 1 File(s)") << "the plan does not follow the dropped source";
  EXPECT_TRUE(app->Idle()) << "one file must be taken without a question";
}

TEST_F(IntakeDrop, AFolderAnsweredYesBecomesTheOutputFolder) {
  ASSERT_TRUE(DropOn(app->window(), {data.path()}));
  std::optional<SeenBox> box = app->NextBox(kWaitMs);
  ASSERT_TRUE(box.has_value()) << "a dropped folder must be asked about";
  EXPECT_EQ(box->text, kFolderQuestion);
  EXPECT_EQ(box->style, 36) << "the folder question needs Yes and No with the question icon";
  EXPECT_EQ(box->title, "");
  ASSERT_TRUE(app->Answer(*box, IDYES));
  ASSERT_TRUE(Settled(app->window()));
  EXPECT_EQ(app->Text("txtOutPath"), data.path()) << "Yes must make the folder the output folder";
}

TEST_F(IntakeDrop, ThreeFilesAnsweredNoTakeOnlyTheFirst) {
  const std::vector<std::string> files = {data / "one.bin", data / "two.bin", data / "three.bin"};
  for (const std::string& file : files) ASSERT_TRUE(WriteWholeFile(file, "abc"));
  ASSERT_TRUE(DropOn(app->window(), files));
  std::optional<SeenBox> box = app->NextBox(kWaitMs);
  ASSERT_TRUE(box.has_value()) << "several dropped files must be asked about";
  EXPECT_EQ(box->text, kManyQuestion);
  EXPECT_EQ(box->style, 36);
  ASSERT_TRUE(app->Answer(*box, IDNO));
  ASSERT_TRUE(Settled(app->window()));
  EXPECT_EQ(app->Text("txtInFile"), files[0]) << "No must still take the first file";
  EXPECT_TRUE(Others().empty()) << "No must start no further instance";
}

TEST_F(IntakeDrop, ThreeFilesAnsweredYesStartTwoMinimizedInstances) {
  const std::vector<std::string> files = {data / "one.bin", data / "two.bin", data / "three.bin"};
  for (const std::string& file : files) ASSERT_TRUE(WriteWholeFile(file, "abc"));
  ASSERT_TRUE(DropOn(app->window(), files));
  std::optional<SeenBox> box = app->NextBox(kWaitMs);
  ASSERT_TRUE(box.has_value());
  ASSERT_TRUE(app->Answer(*box, IDYES));
  EXPECT_EQ(app->Text("txtInFile"), files[0]) << "the first file must become this window's source";
  std::vector<HWND> others;
  EXPECT_TRUE(guitest::PumpUntil(
      [&] {
        others = Others();
        return others.size() >= 2;
      },
      kWaitMs))
      << "the further instances did not appear";
  std::set<std::string> shown;
  for (HWND other : others) {
    EXPECT_TRUE(IsIconic(other)) << "a further instance must start minimized";
    shown.insert(ControlText(other, "txtInFile"));
  }
  EXPECT_EQ(shown, (std::set<std::string>{files[1], files[2]})) << "each further file needs its own instance";
}

TEST_F(IntakeDrop, DropsDuringASplitAreIgnored) {
  const std::string source = data / "src.bin";
  const std::string bytes = "the source of this split";
  ASSERT_TRUE(WriteWholeFile(source, bytes));
  TempDir out;
  ASSERT_TRUE(out.ok());
  ASSERT_TRUE(WriteWholeFile(out / "src.001", "stale part"));
  const std::string other = data / "other.bin";
  ASSERT_TRUE(WriteWholeFile(other, "another file"));
  ASSERT_TRUE(DropOn(app->window(), {source}));
  ASSERT_TRUE(Settled(app->window()));
  ASSERT_TRUE(app->SetText("txtOutPath", out.path()));
  ASSERT_TRUE(app->SetChecked("chkMkBat", false));
  ASSERT_TRUE(app->Click("optHmny(2)"));  // ask before overwriting

  ASSERT_TRUE(app->StartSplit());
  std::optional<SeenBox> question = app->NextBox(kWaitMs);
  ASSERT_TRUE(question.has_value()) << "the overwrite question never came";
  ASSERT_EQ(question->text, out / "src.001" + "を上書きしますか？");
  // While the split waits for the answer, the user drops a file and a folder.
  ASSERT_TRUE(DropOn(app->window(), {other}));
  ASSERT_TRUE(DropOn(app->window(), {data.path()}));
  ASSERT_TRUE(app->Answer(*question, IDYES));

  std::optional<SeenBox> end = app->NextBox(kWaitMs);
  ASSERT_TRUE(end.has_value());
  EXPECT_EQ(end->text, "正常に分割を終了しました") << "a drop during the split asked a question";
  ASSERT_TRUE(app->Answer(*end, IDOK));
  ASSERT_TRUE(guitest::PumpUntil([&] { return app->Idle(); }, kWaitMs)) << "something is still asked";
  EXPECT_EQ(app->Text("txtInFile"), source) << "a drop during the split changed the source";
  EXPECT_EQ(app->Text("txtOutPath"), out.path()) << "a drop during the split changed the output folder";
  EXPECT_EQ(ReadWholeFile(out / "src.001"), bytes) << "the part is not the source";
}

}  // namespace
}  // namespace qn::winetest
