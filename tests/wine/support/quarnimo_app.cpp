#include "tests/wine/support/quarnimo_app.h"

// after windows.h
#include <shlobj.h>
#include <tlhelp32.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <functional>
#include <set>

#include "tests/wine/wine_test_util.h"
#include "window/frm_main_design.h"

namespace qn::winetest {

namespace {

constexpr int kFirstControlId = 100;    // the binding numbers the controls from here in design order
constexpr UINT kFirstMenuId = 1000;     // and the menu items from here
constexpr int kIconControlId = 0x0440;  // the icon of Wine's message box template

// The shown main window of a process: its form window without owner.
HWND MainWindowOf(DWORD processId) {
  for (HWND hwnd : guitest::TopLevelWindows(processId)) {
    if (GetWindow(hwnd, GW_OWNER) == nullptr && guitest::ClassName(hwnd) == "QuarnimoForm") return hwnd;
  }
  return nullptr;
}

// The icon value of a message box (0 when it shows none), found by drawing
// each system icon on the box's own background and taking the one that
// matches what the screen shows; -1 when none matches.
int IconOf(HWND box) {
  HWND icon = GetDlgItem(box, kIconControlId);
  if (icon == nullptr || !IsWindowVisible(icon)) return 0;
  // Bring the box to the top and paint it, so that the screen shows it.
  SetWindowPos(box, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  RedrawWindow(box, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  guitest::PumpFor(150);
  RECT area{};
  GetClientRect(icon, &area);
  MapWindowPoints(icon, nullptr, reinterpret_cast<POINT*>(&area), 2);
  const int width = area.right - area.left;
  const int height = area.bottom - area.top;
  const std::vector<uint32_t> shown =
      width > 0 && height > 0 ? guitest::ScreenPixels(area) : std::vector<uint32_t>{};
  if (shown.empty()) return -1;
  const uint32_t corner = shown.front() & 0xFFFFFF;
  const COLORREF background = RGB((corner >> 16) & 0xFF, (corner >> 8) & 0xFF, corner & 0xFF);
  int best = -1;
  size_t bestDiff = SIZE_MAX;
  for (const auto& [id, value] : {std::pair{IDI_HAND, 16},  // NOLINT(performance-no-int-to-ptr)
                                  {IDI_QUESTION, 32},
                                  {IDI_EXCLAMATION, 48},
                                  {IDI_ASTERISK, 64}}) {
    const std::vector<uint32_t> drawn = guitest::Render(width, height, [&](HDC dc) {
      HBRUSH brush = CreateSolidBrush(background);
      RECT all{0, 0, width, height};
      FillRect(dc, &all, brush);
      DeleteObject(brush);
      return DrawIconEx(dc, 0, 0, LoadIconW(nullptr, id), 0, 0, 0, nullptr, DI_NORMAL | DI_DEFAULTSIZE) !=
             FALSE;
    });
    size_t diff = 0;
    for (size_t i = 0; i < shown.size() && i < drawn.size(); ++i) {
      if ((shown[i] & 0xFFFFFF) != (drawn[i] & 0xFFFFFF)) ++diff;
    }
    if (diff < bestDiff) {
      bestDiff = diff;
      best = value;
    }
  }
  // A true match differs in at most a few edge pixels.
  return bestDiff * 20 <= shown.size() ? best : -1;
}

int MessageBoxStyle(const guitest::MessageBoxInfo& box) {
  std::vector<int> buttons = box.buttons;
  std::sort(buttons.begin(), buttons.end());
  // The button sets by their value, each with its ids in ascending order.
  const std::array<std::pair<std::vector<int>, int>, 5> sets = {{{{IDOK}, 0},
                                                                 {{IDOK, IDCANCEL}, 1},
                                                                 {{IDCANCEL, IDYES, IDNO}, 3},
                                                                 {{IDYES, IDNO}, 4},
                                                                 {{IDCANCEL, IDRETRY}, 5}}};
  const auto set = std::find_if(sets.begin(), sets.end(), [&](const auto& s) { return s.first == buttons; });
  const int icon = IconOf(box.hwnd);
  return set == sets.end() || icon < 0 ? -1 : set->second + icon;
}

// Starts `commandLine` (running `application` when given) in `folder`; with
// `quiet` its standard handles go to NUL. Gives whether it started; the
// process handle goes to `process` (when asked; Wine gives none for a host
// program) and its id to `id`.
bool StartProgram(const std::string& application, const std::string& commandLine, const std::string& folder,
                  bool quiet, HANDLE* process, DWORD* id = nullptr) {
  std::wstring command = Widen(commandLine);
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  const HANDLE nul =
      quiet ? CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                          OPEN_EXISTING, 0, nullptr)
            : INVALID_HANDLE_VALUE;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  if (quiet) {
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = startup.hStdOutput = startup.hStdError = nul;
  }
  PROCESS_INFORMATION info{};
  const BOOL started = CreateProcessW(application.empty() ? nullptr : Widen(application).c_str(),
                                      command.data(), nullptr, nullptr, quiet, 0, nullptr,
                                      folder.empty() ? nullptr : Widen(folder).c_str(), &startup, &info);
  if (nul != INVALID_HANDLE_VALUE) CloseHandle(nul);
  if (info.hThread != nullptr) CloseHandle(info.hThread);
  if (process != nullptr) {
    *process = info.hProcess;
  } else if (info.hProcess != nullptr) {
    CloseHandle(info.hProcess);
  }
  if (id != nullptr) *id = info.dwProcessId;
  return started != FALSE;
}

// Waits up to `milliseconds` for `process` to end, pumping this thread's
// messages; its exit code, or -1 when it did not end (it is then ended).
int AwaitExit(HANDLE process, int milliseconds) {
  if (!guitest::PumpUntil([&] { return WaitForSingleObject(process, 0) == WAIT_OBJECT_0; }, milliseconds)) {
    TerminateProcess(process, 99);
    WaitForSingleObject(process, 10000);
    return -1;
  }
  DWORD code = 0;
  GetExitCodeProcess(process, &code);
  return static_cast<int>(code);
}

}  // namespace

std::string UnixPath(const std::string& windowsPath) {
  using ToUnix = char*(CDECL*)(LPCWSTR);
  static const auto convert =
      reinterpret_cast<ToUnix>(  // NOLINT(cppcoreguidelines-pro-type-reinterpret-cast)
          reinterpret_cast<void*>(
              GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  if (convert == nullptr) return {};
  char* unix = convert(Widen(windowsPath).c_str());
  if (unix == nullptr) return {};
  std::string out = unix;
  HeapFree(GetProcessHeap(), 0, unix);
  return out;
}

int RunHostScript(const std::string& script, int milliseconds) {
  const TempDir scratch;
  const std::string hostStatus = UnixPath(scratch / "status");
  // The status file appears whole (written aside, then renamed), so a
  // half-written number is never read.
  const std::string body = "(\n" + script + "\n) >/dev/null 2>&1 </dev/null\necho $? > '" + hostStatus +
                           ".tmp' && mv '" + hostStatus + ".tmp' '" + hostStatus + "'\n";
  if (hostStatus.empty() || !WriteWholeFile(scratch / "script.sh", body)) return -1;
  if (!StartProgram("Z:\\bin\\sh", "/bin/sh \"" + UnixPath(scratch / "script.sh") + "\"", "", false,
                    nullptr)) {
    return -1;
  }
  if (!guitest::PumpUntil([&] { return RawAttributes(scratch / "status") != INVALID_FILE_ATTRIBUTES; },
                          milliseconds)) {
    return -1;
  }
  return std::atoi(ReadWholeFile(scratch / "status").c_str());
}

int RunWindowsProgram(const std::string& commandLine, const std::string& folder, int milliseconds) {
  // What the program prints (cmd echoes every line) goes nowhere.
  HANDLE process = nullptr;
  if (!StartProgram("", commandLine, folder, true, &process) || process == nullptr) return -1;
  const int code = AwaitExit(process, milliseconds);
  CloseHandle(process);
  return code;
}

std::vector<DWORD> Descendants(DWORD root) {
  std::vector<std::pair<DWORD, DWORD>> all;  // process, parent
  const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return {};
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
    all.emplace_back(entry.th32ProcessID, entry.th32ParentProcessID);
  }
  CloseHandle(snapshot);
  std::set<DWORD> ours = {root};
  std::vector<DWORD> found;
  for (bool grew = true; grew;) {
    grew = false;
    for (const auto& [id, parent] : all) {
      if (ours.count(id) || !ours.count(parent)) continue;
      ours.insert(id);
      found.push_back(id);
      grew = true;
    }
  }
  return found;
}

int EndProcesses(const std::vector<DWORD>& processIds, int graceMilliseconds) {
  std::vector<HANDLE> processes;
  for (const DWORD id : processIds) {
    const HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, id);
    if (process == nullptr) continue;
    processes.push_back(process);
    for (HWND hwnd : guitest::TopLevelWindows(id)) PostMessageW(hwnd, WM_CLOSE, 0, 0);
  }
  int forced = 0;
  for (HANDLE process : processes) {
    if (WaitForSingleObject(process, static_cast<DWORD>(graceMilliseconds)) != WAIT_OBJECT_0) {
      TerminateProcess(process, 99);
      WaitForSingleObject(process, 10000);
      ++forced;
    }
    CloseHandle(process);
  }
  return forced;
}

HWND ControlOf(HWND main, std::string_view name) {
  const auto& all = window::design::kControls;
  const auto it = std::find_if(all.begin(), all.end(), [&](const auto& c) { return c.name == name; });
  if (main == nullptr || it == all.end()) return nullptr;
  HWND parent = it->container.empty() ? main : ControlOf(main, it->container);
  return parent == nullptr ? nullptr
                           : GetDlgItem(parent, kFirstControlId + static_cast<int>(it - all.begin()));
}

std::string ControlText(HWND main, std::string_view name) {
  HWND control = ControlOf(main, name);
  // Asked of the control itself: across processes GetWindowText gives an
  // edit control's first text, not what it holds now.
  wchar_t text[1024] = {};
  DWORD_PTR got = 0;
  if (control != nullptr) {
    SendMessageTimeoutW(control, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 10000,
                        &got);
  }
  return Narrow(text);
}

UINT MenuCommand(std::string_view name) {
  for (size_t i = 0; i < window::design::kMenus.size(); ++i) {
    if (window::design::kMenus[i].name == name) return kFirstMenuId + static_cast<UINT>(i);
  }
  ADD_FAILURE() << "no menu item " << name;
  return 0;
}

QuarnimoApp::QuarnimoApp(const std::string& folder, const Launch& launch) : folder_(folder) {
  const std::string built = BuildDir() + "\\app\\Quarnimo.exe";
  const std::string exe = folder + "\\" + launch.exeName;
  if (!CopyFileW(Widen(built).c_str(), Widen(exe).c_str(), FALSE)) {
    error_ = "cannot copy " + built + " (error " + std::to_string(GetLastError()) + ")";
    return;
  }
  const std::string command = "\"" + exe + "\"" + (launch.arguments.empty() ? "" : " " + launch.arguments);
  if (!StartProgram(exe, command, folder, false, &process_, &processId_) || process_ == nullptr) {
    error_ = "Quarnimo.exe does not start (error " + std::to_string(GetLastError()) + ")";
  } else if (launch.waitForWindow) {
    WaitForWindow();
  }
}

QuarnimoApp::~QuarnimoApp() {
  if (process_ == nullptr) return;
  (void)EndProcesses(Descendants(processId_));
  TerminateProcess(process_, 99);
  WaitForSingleObject(process_, 10000);
  CloseHandle(process_);
}

bool QuarnimoApp::WaitForWindow(int milliseconds) {
  if (!started()) return false;
  guitest::PumpUntil([&] { return (window_ = MainWindowOf(processId_)) != nullptr; }, milliseconds);
  if (window_ == nullptr) {
    error_ = "the program shows no main window";
    for (HWND hwnd : guitest::TopLevelWindows(processId_)) {
      if (std::optional<guitest::MessageBoxInfo> box = guitest::ReadMessageBox(hwnd)) {
        error_ += ", but a message: \"" + box->text + "\"";
      }
    }
  }
  return window_ != nullptr;
}

std::vector<HWND> QuarnimoApp::FurtherInstances() const {
  std::vector<HWND> windows;
  for (const DWORD id : Descendants(processId_)) {
    if (HWND hwnd = MainWindowOf(id)) windows.push_back(hwnd);
  }
  return windows;
}

bool QuarnimoApp::SetText(std::string_view name, const std::string& text) {
  HWND control = Control(name);
  const std::wstring wide = Widen(text);
  return control != nullptr &&
         (SendMessageW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str())), true);
}

bool QuarnimoApp::Click(std::string_view name) {
  HWND control = Control(name);
  return control != nullptr && (SendMessageW(control, BM_CLICK, 0, 0), true);
}

bool QuarnimoApp::PostClick(std::string_view name) {
  HWND control = Control(name);
  return control != nullptr && PostMessageW(control, BM_CLICK, 0, 0) != FALSE;
}

bool QuarnimoApp::ChooseMenu(std::string_view name) {
  const UINT id = MenuCommand(name);
  if (window_ == nullptr || id == 0) return false;
  SendMessageW(window_, WM_COMMAND, MAKEWPARAM(id, 0), 0);
  return true;
}

bool QuarnimoApp::Checked(std::string_view name) const {
  HWND control = Control(name);
  return control != nullptr && SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

bool QuarnimoApp::SetChecked(std::string_view name, bool checked) {
  if (Control(name) == nullptr) return false;
  if (Checked(name) != checked) Click(name);
  return Checked(name) == checked;
}

bool QuarnimoApp::SetFreeSize(const std::string& text) {
  HWND field = Control("txt_Sizes");
  HWND away = Control("txtOutPath");
  if (field == nullptr || away == nullptr || !Click("optSpltSize(3)")) return false;
  // A click gives a control the focus from the program's own thread, as the
  // mouse does; the field's got-focus handling shows the plain number, so the
  // text goes in after it.
  SendMessageW(field, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
  SendMessageW(field, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
  SetText("txt_Sizes", text);
  SendMessageW(away, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
  SendMessageW(away, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
  return true;
}

bool QuarnimoApp::Drop(const std::vector<std::string>& paths) {
  std::wstring names;
  for (const std::string& path : paths) names += Widen(path) + L'\0';
  names += L'\0';
  DROPFILES header{};
  header.pFiles = sizeof header;
  header.fWide = TRUE;
  const HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, processId_);
  if (process == nullptr) return false;
  // The receiver's DragFinish cannot free a block it did not allocate; the
  // few bytes stay with it until it ends.
  auto* remote =
      static_cast<char*>(VirtualAllocEx(process, nullptr, sizeof header + names.size() * sizeof(wchar_t),
                                        MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  const bool placed = remote != nullptr &&
                      WriteProcessMemory(process, remote, &header, sizeof header, nullptr) &&
                      WriteProcessMemory(process, remote + sizeof header, names.data(),
                                         names.size() * sizeof(wchar_t), nullptr);
  CloseHandle(process);
  return placed && PostMessageW(window_, WM_DROPFILES, reinterpret_cast<WPARAM>(remote), 0);
}

bool QuarnimoApp::Settled() const {
  // A sent message is only answered from the program's message loop.
  DWORD_PTR ignored = 0;
  return SendMessageTimeoutW(window_, WM_NULL, 0, 0, SMTO_NORMAL, 60000, &ignored) != 0;
}

std::optional<SeenBox> QuarnimoApp::NextBox(int milliseconds) {
  std::optional<guitest::MessageBoxInfo> info = guitest::WaitForMessageBox(processId_, milliseconds);
  if (!info) return std::nullopt;
  // Wait for the box to settle: its text and buttons are set while it opens.
  guitest::PumpFor(100);
  if (std::optional<guitest::MessageBoxInfo> again = guitest::ReadMessageBox(info->hwnd)) info = again;
  return SeenBox{info->hwnd, info->text, info->title, MessageBoxStyle(*info)};
}

bool QuarnimoApp::Answer(const SeenBox& box, int buttonId) {
  if (!guitest::AnswerMessageBox(box.hwnd, buttonId)) return false;
  return guitest::PumpUntil([&] { return !IsWindow(box.hwnd) || !IsWindowVisible(box.hwnd); }, 30000);
}

bool QuarnimoApp::Idle() const {
  for (HWND hwnd : guitest::TopLevelWindows(processId_)) {
    if (guitest::ClassName(hwnd) == "#32770") return false;
  }
  HWND button = Control("btnSpltExec");
  return button != nullptr && IsWindowEnabled(button) && Text("lblComplt").empty();
}

int QuarnimoApp::WaitForExit(int milliseconds) {
  return process_ == nullptr ? -1 : AwaitExit(process_, milliseconds);
}

int QuarnimoApp::Close(int milliseconds) {
  if (window_ != nullptr) PostMessageW(window_, WM_CLOSE, 0, 0);
  return WaitForExit(milliseconds);
}

std::optional<std::string> QuarnimoApp::Setting(std::string_view key) const {
  const std::string content = ReadWholeFile(folder_ + "\\values.ini");
  const std::string prefix = std::string(key) + "=";
  for (size_t start = 0; start < content.size();) {
    size_t end = content.find("\r\n", start);
    if (end == std::string::npos) end = content.size();
    if (content.compare(start, prefix.size(), prefix) == 0) {
      return content.substr(start + prefix.size(), end - start - prefix.size());
    }
    start = end + 2;
  }
  return std::nullopt;
}

}  // namespace qn::winetest
