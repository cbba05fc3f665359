#include "tests/wine/support/quarnimo_app.h"

#include <array>
#include <climits>
#include <cstdlib>
#include <vector>

#include "tests/wine/wine_test_util.h"
#include "window/frm_main_design.h"

namespace qn::winetest {

namespace {

constexpr int kFirstControlId = 100;    // the binding numbers the controls from here in design order
constexpr int kFirstMenuId = 1000;      // and the menu items from here
constexpr int kIconControlId = 0x0440;  // the icon of Wine's message box template

bool Exists(const std::string& path) { return RawAttributes(path) != INVALID_FILE_ATTRIBUTES; }

// A folder for the helpers' own scratch files, on a drive the host sees as is.
std::string ScratchFolder() {
  std::string folder = BuildDir();
  if (folder.empty()) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    folder = Narrow(temp);
    while (!folder.empty() && folder.back() == '\\') folder.pop_back();
  }
  folder += "\\wine-test-scratch";
  CreateDirectoryW(Widen(folder).c_str(), nullptr);
  return folder;
}

std::string UniqueName(std::string_view stem) {
  static unsigned counter = 0;
  return std::string(stem) + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++counter);
}

struct ChildSearch {
  int id;
  HWND found;
};

BOOL CALLBACK FindChildById(HWND child, LPARAM param) {
  auto* search = reinterpret_cast<ChildSearch*>(param);  // NOLINT(performance-no-int-to-ptr)
  if (GetDlgCtrlID(child) == search->id) {
    search->found = child;
    return FALSE;
  }
  return TRUE;
}

// Draws a system icon at its natural size on `background` into 32-bit pixels.
std::vector<uint32_t> DrawSystemIcon(LPCWSTR which, int width, int height, COLORREF background) {
  std::vector<uint32_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap != nullptr && bits != nullptr) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    HBRUSH brush = CreateSolidBrush(background);
    RECT all{0, 0, width, height};
    FillRect(memory, &all, brush);
    DeleteObject(brush);
    DrawIconEx(memory, 0, 0, LoadIconW(nullptr, which), 0, 0, 0, nullptr, DI_NORMAL | DI_DEFAULTSIZE);
    GdiFlush();
    const auto* from = static_cast<const uint32_t*>(bits);
    pixels.assign(from, from + pixels.size());
    SelectObject(memory, old);
  }
  if (bitmap != nullptr) DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return pixels;
}

// What the screen shows of `hwnd`'s client area, top-down 32-bit pixels.
std::vector<uint32_t> CaptureClient(HWND hwnd, int* width, int* height) {
  RECT client{};
  GetClientRect(hwnd, &client);
  POINT origin{0, 0};
  ClientToScreen(hwnd, &origin);
  *width = client.right;
  *height = client.bottom;
  std::vector<uint32_t> pixels;
  if (*width <= 0 || *height <= 0) return pixels;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = *width;
  info.bmiHeader.biHeight = -*height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap != nullptr && bits != nullptr) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    if (BitBlt(memory, 0, 0, *width, *height, screen, origin.x, origin.y, SRCCOPY)) {
      GdiFlush();
      const auto* from = static_cast<const uint32_t*>(bits);
      pixels.assign(from, from + static_cast<size_t>(*width) * static_cast<size_t>(*height));
    }
    SelectObject(memory, old);
  }
  if (bitmap != nullptr) DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return pixels;
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
  int width = 0;
  int height = 0;
  const std::vector<uint32_t> shown = CaptureClient(icon, &width, &height);
  if (shown.empty()) return -1;
  const uint32_t corner = shown.front() & 0xFFFFFF;
  const COLORREF background = RGB((corner >> 16) & 0xFF, (corner >> 8) & 0xFF, corner & 0xFF);
  struct Candidate {
    LPCWSTR id;
    int value;
  };
  const std::array<Candidate, 4> candidates = {{{IDI_HAND, 16},  // NOLINT(performance-no-int-to-ptr)
                                                {IDI_QUESTION, 32},
                                                {IDI_EXCLAMATION, 48},
                                                {IDI_ASTERISK, 64}}};
  int best = -1;
  size_t bestDiff = SIZE_MAX;
  for (const Candidate& candidate : candidates) {
    const std::vector<uint32_t> drawn = DrawSystemIcon(candidate.id, width, height, background);
    size_t diff = 0;
    for (size_t i = 0; i < shown.size() && i < drawn.size(); ++i) {
      if ((shown[i] & 0xFFFFFF) != (drawn[i] & 0xFFFFFF)) ++diff;
    }
    if (diff < bestDiff) {
      bestDiff = diff;
      best = candidate.value;
    }
  }
  // A true match differs in at most a few edge pixels.
  return bestDiff * 20 <= shown.size() ? best : -1;
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
  const std::string scratch = ScratchFolder();
  const std::string name = UniqueName("host");
  const std::string scriptFile = scratch + "\\" + name + ".sh";
  const std::string statusFile = scratch + "\\" + name + ".status";
  const std::string hostStatus = UnixPath(statusFile);
  if (hostStatus.empty()) return -1;
  // The status file appears whole (written aside, then renamed), so a
  // half-written number is never read.
  const std::string body = "(\n" + script + "\n) >/dev/null 2>&1 </dev/null\necho $? > '" + hostStatus +
                           ".tmp' && mv '" + hostStatus + ".tmp' '" + hostStatus + "'\n";
  if (!WriteWholeFile(scriptFile, body)) return -1;
  std::wstring command = L"/bin/sh \"" + Widen(UnixPath(scriptFile)) + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(L"Z:\\bin\\sh", command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    DeleteFileW(Widen(scriptFile).c_str());
    return -1;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  const bool ended = guitest::PumpUntil([&] { return Exists(statusFile); }, milliseconds);
  int status = -1;
  if (ended) status = std::atoi(ReadWholeFile(statusFile).c_str());
  DeleteFileW(Widen(scriptFile).c_str());
  DeleteFileW(Widen(statusFile).c_str());
  return status;
}

int RunWindowsProgram(const std::string& commandLine, const std::string& folder, int milliseconds) {
  std::wstring command = Widen(commandLine);
  // What the program prints (cmd echoes every line) goes nowhere.
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  const HANDLE nul = CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 &inherit, OPEN_EXISTING, 0, nullptr);
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = nul;
  startup.hStdOutput = nul;
  startup.hStdError = nul;
  PROCESS_INFORMATION process{};
  const BOOL started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                      Widen(folder).c_str(), &startup, &process);
  if (nul != INVALID_HANDLE_VALUE) CloseHandle(nul);
  if (!started) return -1;
  CloseHandle(process.hThread);
  const DWORD wait = WaitForSingleObject(process.hProcess, static_cast<DWORD>(milliseconds));
  DWORD code = static_cast<DWORD>(-1);
  if (wait == WAIT_OBJECT_0) {
    GetExitCodeProcess(process.hProcess, &code);
  } else {
    TerminateProcess(process.hProcess, 99);
  }
  CloseHandle(process.hProcess);
  return wait == WAIT_OBJECT_0 ? static_cast<int>(code) : -1;
}

int MessageBoxStyle(const guitest::MessageBoxInfo& box) {
  auto has = [&](int id) {
    for (int button : box.buttons) {
      if (button == id) return true;
    }
    return false;
  };
  int buttons = -1;
  const size_t count = box.buttons.size();
  if (count == 1 && has(IDOK)) buttons = 0;
  if (count == 2 && has(IDOK) && has(IDCANCEL)) buttons = 1;
  if (count == 3 && has(IDYES) && has(IDNO) && has(IDCANCEL)) buttons = 3;
  if (count == 2 && has(IDYES) && has(IDNO)) buttons = 4;
  if (count == 2 && has(IDRETRY) && has(IDCANCEL)) buttons = 5;
  const int icon = IconOf(box.hwnd);
  if (buttons < 0 || icon < 0) return -1;
  return buttons + icon;
}

QuarnimoApp::QuarnimoApp(const std::string& folder) : folder_(folder) {
  const std::string built = BuildDir() + "\\app\\Quarnimo.exe";
  const std::string exe = folder + "\\Quarnimo.exe";
  if (!CopyFileW(Widen(built).c_str(), Widen(exe).c_str(), FALSE)) {
    error_ = "cannot copy " + built + " (error " + std::to_string(GetLastError()) + ")";
    return;
  }
  std::wstring command = L"\"" + Widen(exe) + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, Widen(folder).c_str(),
                      &startup, &process_)) {
    error_ = "Quarnimo.exe does not start (error " + std::to_string(GetLastError()) + ")";
    process_ = {};
    return;
  }
  CloseHandle(process_.hThread);
  process_.hThread = nullptr;
  guitest::PumpUntil(
      [&] {
        for (HWND hwnd : guitest::TopLevelWindows(process_.dwProcessId)) {
          if (GetWindow(hwnd, GW_OWNER) == nullptr && guitest::ClassName(hwnd) != "#32770") {
            window_ = hwnd;
            return true;
          }
        }
        return false;
      },
      60000);
  if (window_ == nullptr) {
    error_ = "the program shows no main window";
    for (HWND hwnd : guitest::TopLevelWindows(process_.dwProcessId)) {
      if (std::optional<guitest::MessageBoxInfo> box = guitest::ReadMessageBox(hwnd)) {
        error_ += ", but a message: \"" + box->text + "\"";
      }
    }
  }
}

QuarnimoApp::~QuarnimoApp() {
  if (process_.hProcess == nullptr) return;
  if (WaitForSingleObject(process_.hProcess, 0) != WAIT_OBJECT_0) {
    TerminateProcess(process_.hProcess, 99);
    WaitForSingleObject(process_.hProcess, 10000);
  }
  CloseHandle(process_.hProcess);
}

HWND QuarnimoApp::Control(std::string_view name) const {
  if (window_ == nullptr) return nullptr;
  for (size_t i = 0; i < window::design::kControls.size(); ++i) {
    if (window::design::kControls[i].name != name) continue;
    ChildSearch search{kFirstControlId + static_cast<int>(i), nullptr};
    EnumChildWindows(window_, &FindChildById, reinterpret_cast<LPARAM>(&search));
    return search.found;
  }
  return nullptr;
}

std::string QuarnimoApp::Text(std::string_view name) const {
  HWND control = Control(name);
  if (control == nullptr) return {};
  // Asked of the control itself: across processes GetWindowText gives an
  // edit control's first text, not what it holds now.
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(control, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 10000, &length)) return {};
  std::wstring text(length + 1, L'\0');
  DWORD_PTR got = 0;
  if (!SendMessageTimeoutW(control, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(text.data()),
                           SMTO_ABORTIFHUNG, 10000, &got)) {
    return {};
  }
  text.resize(got);
  return Narrow(text);
}

bool QuarnimoApp::SetText(std::string_view name, const std::string& text) {
  HWND control = Control(name);
  if (control == nullptr) return false;
  const std::wstring wide = Widen(text);
  SendMessageW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()));
  return true;
}

bool QuarnimoApp::Click(std::string_view name) {
  HWND control = Control(name);
  if (control == nullptr) return false;
  SendMessageW(control, BM_CLICK, 0, 0);
  return true;
}

bool QuarnimoApp::PostClick(std::string_view name) {
  HWND control = Control(name);
  return control != nullptr && PostMessageW(control, BM_CLICK, 0, 0) != FALSE;
}

bool QuarnimoApp::ChooseMenu(std::string_view name) {
  if (window_ == nullptr) return false;
  for (size_t i = 0; i < window::design::kMenus.size(); ++i) {
    if (window::design::kMenus[i].name != name) continue;
    SendMessageW(window_, WM_COMMAND, MAKEWPARAM(kFirstMenuId + static_cast<int>(i), 0), 0);
    return true;
  }
  return false;
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

std::optional<SeenBox> QuarnimoApp::NextBox(int milliseconds) {
  std::optional<guitest::MessageBoxInfo> info =
      guitest::WaitForMessageBox(process_.dwProcessId, milliseconds);
  if (!info) return std::nullopt;
  // Wait for the box to settle: its text and buttons are set while it opens.
  guitest::PumpFor(100);
  if (std::optional<guitest::MessageBoxInfo> again = guitest::ReadMessageBox(info->hwnd)) info = again;
  SeenBox seen;
  seen.hwnd = info->hwnd;
  seen.text = info->text;
  seen.title = info->title;
  seen.style = MessageBoxStyle(*info);
  return seen;
}

bool QuarnimoApp::Answer(const SeenBox& box, int buttonId) {
  if (!guitest::AnswerMessageBox(box.hwnd, buttonId)) return false;
  return guitest::PumpUntil([&] { return !IsWindow(box.hwnd) || !IsWindowVisible(box.hwnd); }, 30000);
}

bool QuarnimoApp::Idle() const {
  for (HWND hwnd : guitest::TopLevelWindows(process_.dwProcessId)) {
    if (guitest::ClassName(hwnd) == "#32770") return false;
  }
  HWND button = Control("btnSpltExec");
  return button != nullptr && IsWindowEnabled(button) && Text("lblComplt").empty();
}

int QuarnimoApp::Close(int milliseconds) {
  if (process_.hProcess == nullptr) return -1;
  if (window_ != nullptr) PostMessageW(window_, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(process_.hProcess, static_cast<DWORD>(milliseconds)) != WAIT_OBJECT_0) {
    TerminateProcess(process_.hProcess, 99);
    WaitForSingleObject(process_.hProcess, 10000);
    return -1;
  }
  DWORD code = 0;
  GetExitCodeProcess(process_.hProcess, &code);
  return static_cast<int>(code);
}

std::optional<std::string> QuarnimoApp::Setting(std::string_view key) const {
  const std::string content = ReadWholeFile(folder_ + "\\values.ini");
  size_t start = 0;
  while (start < content.size()) {
    size_t end = content.find('\n', start);
    if (end == std::string::npos) end = content.size();
    std::string line = content.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t equals = line.find('=');
    if (equals != std::string::npos && line.compare(0, equals, key) == 0 && equals == key.size()) {
      return line.substr(equals + 1);
    }
    start = end + 1;
  }
  return std::nullopt;
}

}  // namespace qn::winetest
