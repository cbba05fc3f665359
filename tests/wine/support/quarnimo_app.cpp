#include "tests/wine/support/quarnimo_app.h"

// after windows.h
#include <shlobj.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <set>

#include "tests/wine/wine_test_util.h"
#include "window/frm_main_design.h"

namespace qn::winetest {

namespace {

constexpr int kIconControlId = 0x0440;  // the icon of Wine's message box template

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
  GetWindowRect(icon, &area);
  const std::vector<uint32_t> shown = guitest::ScreenPixels(area);
  if (shown.empty()) return -1;
  const uint32_t corner = shown.front();
  const COLORREF background = RGB((corner >> 16) & 0xFF, (corner >> 8) & 0xFF, corner & 0xFF);
  int best = -1;
  size_t bestDiff = SIZE_MAX;
  for (const auto& [id, value] : {std::pair{IDI_HAND, 16},  // NOLINT(performance-no-int-to-ptr)
                                  {IDI_QUESTION, 32},
                                  {IDI_EXCLAMATION, 48},
                                  {IDI_ASTERISK, 64}}) {
    const std::vector<uint32_t> drawn = guitest::ScreenPixels(area, [&](HDC dc) {
      HBRUSH brush = CreateSolidBrush(background);
      const RECT all{0, 0, area.right - area.left, area.bottom - area.top};
      FillRect(dc, &all, brush);
      DeleteObject(brush);
      DrawIconEx(dc, 0, 0, LoadIconW(nullptr, id), 0, 0, 0, nullptr, DI_NORMAL | DI_DEFAULTSIZE);
    });
    size_t diff = 0;
    for (size_t i = 0; i < shown.size() && i < drawn.size(); ++i) {
      if ((shown[i] & 0xFFFFFF) != (drawn[i] & 0xFFFFFF)) ++diff;
    }
    if (drawn.size() == shown.size() && diff < bestDiff) {
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
  static const std::map<std::vector<int>, int> sets = {{{IDOK}, 0},
                                                       {{IDOK, IDCANCEL}, 1},
                                                       {{IDCANCEL, IDYES, IDNO}, 3},
                                                       {{IDYES, IDNO}, 4},
                                                       {{IDCANCEL, IDRETRY}, 5}};
  const auto set = sets.find(buttons);
  const int icon = IconOf(box.hwnd);
  return set == sets.end() || icon < 0 ? -1 : set->second + icon;
}

// Starts `commandLine` (running `application` when given) in `folder`; with
// `quiet` its standard handles go to NUL. Gives whether it started, and its
// process (which the caller closes; Wine gives none for a host program).
bool StartProgram(const std::string& application, const std::string& commandLine, const std::string& folder,
                  bool quiet, PROCESS_INFORMATION& info) {
  std::wstring command = Widen(commandLine);
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  if (quiet) {
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = startup.hStdOutput = startup.hStdError =
        CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                    OPEN_EXISTING, 0, nullptr);
  }
  const BOOL started = CreateProcessW(application.empty() ? nullptr : Widen(application).c_str(),
                                      command.data(), nullptr, nullptr, quiet, 0, nullptr,
                                      folder.empty() ? nullptr : Widen(folder).c_str(), &startup, &info);
  if (quiet) CloseHandle(startup.hStdInput);
  if (info.hThread != nullptr) CloseHandle(info.hThread);
  return started != FALSE;
}

// Waits up to `milliseconds` for `process` to end, pumping this thread's
// messages; its exit code, or -1 when it did not end (it is then ended).
int AwaitExit(HANDLE process, int milliseconds) {
  const bool ended =
      guitest::PumpUntil([&] { return WaitForSingleObject(process, 0) == WAIT_OBJECT_0; }, milliseconds);
  if (!ended && TerminateProcess(process, 99)) WaitForSingleObject(process, 10000);
  DWORD code = 0;
  return ended && GetExitCodeProcess(process, &code) ? static_cast<int>(code) : -1;
}

constexpr int kFirstControlId = 100;  // the binding numbers the controls from here in design order
constexpr UINT kFirstMenuId = 1000;   // and the menu items from here

HWND ControlOf(HWND main, std::string_view name) {
  const auto& all = window::design::kControls;
  const auto it = std::find_if(all.begin(), all.end(), [&](const auto& c) { return c.name == name; });
  if (main == nullptr || it == all.end()) return nullptr;
  HWND parent = it->container.empty() ? main : ControlOf(main, it->container);
  return GetDlgItem(parent, kFirstControlId + static_cast<int>(it - all.begin()));
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
  PROCESS_INFORMATION info{};
  if (hostStatus.empty() || !WriteWholeFile(scratch / "script.sh", body) ||
      !StartProgram("Z:\\bin\\sh", "/bin/sh \"" + UnixPath(scratch / "script.sh") + "\"", "", false, info)) {
    return -1;
  }
  if (info.hProcess != nullptr) CloseHandle(info.hProcess);
  const bool ended = guitest::PumpUntil(
      [&] { return RawAttributes(scratch / "status") != INVALID_FILE_ATTRIBUTES; }, milliseconds);
  return ended ? std::atoi(ReadWholeFile(scratch / "status").c_str()) : -1;
}

int RunWindowsProgram(const std::string& commandLine, const std::string& folder) {
  // What the program prints (cmd echoes every line) goes nowhere.
  PROCESS_INFORMATION info{};
  if (!StartProgram("", commandLine, folder, true, info)) return -1;
  const int code = AwaitExit(info.hProcess, 120000);
  CloseHandle(info.hProcess);
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

void EndProcesses(const std::vector<DWORD>& processIds) {
  for (const DWORD id : processIds) {
    for (HWND hwnd : guitest::TopLevelWindows(id)) PostMessageW(hwnd, WM_CLOSE, 0, 0);
  }
  for (const DWORD id : processIds) {
    if (const HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, id)) {
      if (WaitForSingleObject(process, 5000) != WAIT_OBJECT_0 && TerminateProcess(process, 99)) {
        WaitForSingleObject(process, 10000);
      }
      CloseHandle(process);
    }
  }
}

HWND FormWindowOf(DWORD processId, HWND owner) {
  for (HWND hwnd : guitest::TopLevelWindows(processId)) {
    if (GetWindow(hwnd, GW_OWNER) == owner && guitest::ClassName(hwnd) == "QuarnimoForm") return hwnd;
  }
  return nullptr;
}

std::string ControlText(HWND main, std::string_view name) {
  // Asked of the control itself: across processes GetWindowText gives an
  // edit control's first text, not what it holds now.
  wchar_t text[1024] = {};
  DWORD_PTR got = 0;
  SendMessageTimeoutW(ControlOf(main, name), WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text),
                      SMTO_ABORTIFHUNG, 10000, &got);
  return Narrow(text);
}

QuarnimoApp::QuarnimoApp(const std::string& folder, const std::string& arguments, const std::string& exeName)
    : folder_(folder) {
  const std::string exe = folder + "\\" + exeName;
  PROCESS_INFORMATION info{};
  // Wine now and then fails a process start at once with an internal error
  // (1359) that the next attempt does not meet; a user would start it again.
  bool started = false;
  for (int attempt = 0; attempt < 3 && !started; ++attempt) {
    if (attempt > 0) Sleep(500);
    started = CopyFileW(Widen(BuildDir() + "\\app\\Quarnimo.exe").c_str(), Widen(exe).c_str(), FALSE) &&
              StartProgram(exe, "\"" + exe + "\"" + (arguments.empty() ? "" : " " + arguments), folder, false,
                           info);
    if (!started)
      error_ = "Quarnimo.exe cannot be copied or started (error " + std::to_string(GetLastError()) + ")";
  }
  if (!started) return;
  error_.clear();
  process_ = info.hProcess;
  processId_ = info.dwProcessId;
  WaitForWindow();
}

QuarnimoApp::~QuarnimoApp() {
  if (process_ == nullptr) return;
  EndProcesses(Descendants(processId_));
  if (TerminateProcess(process_, 99)) WaitForSingleObject(process_, 10000);
  CloseHandle(process_);
}

bool QuarnimoApp::WaitForWindow(int milliseconds) {
  std::optional<guitest::MessageBoxInfo> box;
  guitest::PumpUntil(
      [&] {
        window_ = FormWindowOf(processId_);
        for (HWND hwnd : guitest::TopLevelWindows(processId_))
          box = box ? box : guitest::ReadMessageBox(hwnd);
        return window_ != nullptr || box;
      },
      milliseconds);
  if (window_ == nullptr)
    error_ = "the program shows no main window" + (box ? ", but \"" + box->text + "\"" : "");
  return window_ != nullptr;
}

std::vector<HWND> QuarnimoApp::FurtherInstances() const {
  std::vector<HWND> windows;
  for (const DWORD id : Descendants(processId_)) {
    if (HWND hwnd = FormWindowOf(id)) windows.push_back(hwnd);
  }
  return windows;
}

HWND QuarnimoApp::Control(std::string_view name) const { return ControlOf(window_, name); }

bool QuarnimoApp::SetText(std::string_view name, const std::string& text) {
  const std::wstring wide = Widen(text);
  return SendMessageW(Control(name), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str())) != FALSE;
}

bool QuarnimoApp::Click(std::string_view name, bool wait) {
  HWND control = Control(name);
  return control != nullptr && (wait ? (SendMessageW(control, BM_CLICK, 0, 0), true)
                                     : PostMessageW(control, BM_CLICK, 0, 0) != FALSE);
}

bool QuarnimoApp::ChooseMenu(std::string_view name, bool wait) {
  const auto& menus = window::design::kMenus;
  const auto it = std::find_if(menus.begin(), menus.end(), [&](const auto& m) { return m.name == name; });
  const WPARAM command = MAKEWPARAM(kFirstMenuId + static_cast<UINT>(it - menus.begin()), 0);
  DWORD_PTR ignored = 0;
  return it != menus.end() &&
         (wait ? SendMessageTimeoutW(window_, WM_COMMAND, command, 0, SMTO_NORMAL, 60000, &ignored) != 0
               : PostMessageW(window_, WM_COMMAND, command, 0) != FALSE);
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

std::string QuarnimoApp::Focused() const {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  if (window_ == nullptr || !GetGUIThreadInfo(GetWindowThreadProcessId(window_, nullptr), &info)) return {};
  for (const auto& control : window::design::kControls) {
    if (info.hwndFocus != nullptr && ControlOf(window_, control.name) == info.hwndFocus)
      return std::string(control.name);
  }
  return {};
}

namespace {

bool SendKeys(HWND window, const std::vector<INPUT>& keys) {
  SetForegroundWindow(window);
  const UINT sent = SendInput(static_cast<UINT>(keys.size()), const_cast<INPUT*>(keys.data()), sizeof(INPUT));
  return sent == keys.size();
}

INPUT Key(WORD virtualKey, wchar_t unicode, bool up) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = virtualKey;
  input.ki.wScan = unicode;
  input.ki.dwFlags = (unicode != 0 ? KEYEVENTF_UNICODE : 0) | (up ? KEYEVENTF_KEYUP : 0);
  return input;
}

}  // namespace

bool QuarnimoApp::PressKey(WORD virtualKey, WORD modifier) {
  std::vector<INPUT> keys;
  if (modifier != 0) keys.push_back(Key(modifier, 0, false));
  keys.push_back(Key(virtualKey, 0, false));
  keys.push_back(Key(virtualKey, 0, true));
  if (modifier != 0) keys.push_back(Key(modifier, 0, true));
  return SendKeys(window_, keys);
}

bool QuarnimoApp::TypeText(std::string_view text) {
  std::vector<INPUT> keys;
  for (wchar_t c : Widen(text)) {
    keys.push_back(Key(0, c, false));
    keys.push_back(Key(0, c, true));
  }
  return SendKeys(window_, keys);
}

bool QuarnimoApp::Drop(const std::vector<std::string>& paths) {
  std::wstring names;
  for (const std::string& path : paths) names += Widen(path) + L'\0';
  const DROPFILES header{sizeof(DROPFILES), {}, FALSE, TRUE};  // wide names right after it
  std::string block(reinterpret_cast<const char*>(&header), sizeof header);
  block.append(reinterpret_cast<const char*>(names.c_str()), (names.size() + 1) * sizeof(wchar_t));
  const HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, processId_);
  if (process == nullptr) return false;
  // The receiver's DragFinish cannot free a block it did not allocate; the
  // few bytes stay with it until it ends.
  void* remote = VirtualAllocEx(process, nullptr, block.size(), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  const bool placed =
      remote != nullptr && WriteProcessMemory(process, remote, block.data(), block.size(), nullptr);
  CloseHandle(process);
  return placed && PostMessageW(window_, WM_DROPFILES, reinterpret_cast<WPARAM>(remote), 0);
}

bool QuarnimoApp::Settled() const {
  // A sent message is answered from the program's message loop, before the
  // posted messages that wait there: the first answer can come before a
  // posted drop or click is handled. The second comes only once the program
  // asks its queue again, after that handling.
  DWORD_PTR ignored = 0;
  for (int i = 0; i < 2; ++i) {
    if (SendMessageTimeoutW(window_, WM_NULL, 0, 0, SMTO_NORMAL, 60000, &ignored) == 0) return false;
  }
  return true;
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
  if (guitest::WaitForMessageBox(processId_, 0)) return false;
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
  const std::string content = "\r\n" + ReadWholeFile(folder_ + "\\values.ini") + "\r\n";
  const std::string line = "\r\n" + std::string(key) + "=";
  const size_t start = content.find(line);
  if (start == std::string::npos) return std::nullopt;
  return content.substr(start + line.size(), content.find("\r\n", start + 2) - start - line.size());
}

}  // namespace qn::winetest
