#include "platform/win32/shim.h"

#include <windows.h>
// after windows.h
#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>
#include <winver.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <cwchar>

namespace qn::platform::win32 {
namespace {

constexpr char kKernel32[] = "kernel32.dll";
constexpr char kUser32[] = "user32.dll";
constexpr char kGdi32[] = "gdi32.dll";
constexpr char kShell32[] = "shell32.dll";
constexpr char kComdlg32[] = "comdlg32.dll";
constexpr char kVersion[] = "version.dll";

constexpr wchar_t kReplacement = 0xFFFD;

// An export of a system DLL, or nullptr when this system lacks it. The DLLs
// named here are all in the import table, so they are loaded already.
FARPROC LookUp(const char* module, const char* name) {
  HMODULE dll = GetModuleHandleA(module);
  return dll != nullptr ? GetProcAddress(dll, name) : nullptr;
}

template <class Fn>
Fn As(FARPROC proc) {
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(proc));
}

}  // namespace

// A function looked up once at run time, typed as its declaration: nullptr
// where the system lacks it. QN_WIDE is also nullptr on the whole 9x line,
// which documents the W functions for NT only (most are stubs there that fail).
#define QN_LATER(module, name)                                              \
  ([]() -> decltype(&::name) {                                              \
    static const auto bound = As<decltype(&::name)>(LookUp(module, #name)); \
    return bound;                                                           \
  }())
#define QN_WIDE(module, name)                                                                      \
  ([]() -> decltype(&::name) {                                                                     \
    static const auto bound = AnsiOnly() ? nullptr : As<decltype(&::name)>(LookUp(module, #name)); \
    return bound;                                                                                  \
  }())

namespace {

const OSVERSIONINFOA& Version() {
  static const OSVERSIONINFOA version = [] {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (!GetVersionExA(&info)) info.dwPlatformId = VER_PLATFORM_WIN32_NT;
    return info;
  }();
  return version;
}

// The ANSI spelling of a path; false, with ERROR_INVALID_NAME, when the code
// page cannot spell it: a look-alike would name another file.
bool AnsiPath(std::string_view path, std::string* out) {
  bool exact = true;
  *out = ToAnsi(path, &exact);
  if (exact) return true;
  SetLastError(ERROR_INVALID_NAME);
  return false;
}

// The text of a character buffer a call filled: "" when the call failed (0)
// or needed more room than the buffer had.
template <class Char>
std::string FromBuffer(const std::vector<Char>& buffer, DWORD result) {
  if (result == 0 || result >= buffer.size()) return {};
  if constexpr (sizeof(Char) == sizeof(wchar_t)) {
    return Narrow(std::wstring_view(buffer.data(), wcsnlen(buffer.data(), result)));
  } else {
    return FromAnsi(std::string_view(buffer.data(), strnlen(buffer.data(), result)));
  }
}

// The longest start of `ansi` of at most `bytes` bytes that ends on a whole character.
std::string_view AnsiPrefix(std::string_view ansi, size_t bytes) {
  size_t end = 0;
  while (end < ansi.size()) {
    const size_t width = IsDBCSLeadByte(static_cast<BYTE>(ansi[end])) && end + 1 < ansi.size() ? 2 : 1;
    if (end + width > bytes) break;
    end += width;
  }
  return ansi.substr(0, end);
}

std::wstring WideOfAnsi(std::string_view ansi) { return Widen(FromAnsi(ansi)); }

template <class From, class To>
void CopyFontMetrics(const From& from, To* to) {
  to->lfHeight = from.lfHeight;
  to->lfWidth = from.lfWidth;
  to->lfEscapement = from.lfEscapement;
  to->lfOrientation = from.lfOrientation;
  to->lfWeight = from.lfWeight;
  to->lfItalic = from.lfItalic;
  to->lfUnderline = from.lfUnderline;
  to->lfStrikeOut = from.lfStrikeOut;
  to->lfCharSet = from.lfCharSet;
  to->lfOutPrecision = from.lfOutPrecision;
  to->lfClipPrecision = from.lfClipPrecision;
  to->lfQuality = from.lfQuality;
  to->lfPitchAndFamily = from.lfPitchAndFamily;
}

void Found(const WIN32_FIND_DATAW& entry, FoundFile* found) {
  found->attributes = entry.dwFileAttributes;
  found->name = Narrow(std::wstring_view(entry.cFileName, wcsnlen(entry.cFileName, MAX_PATH)));
  found->size = (static_cast<uint64_t>(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow;
}

void Found(const WIN32_FIND_DATAA& entry, FoundFile* found) {
  found->attributes = entry.dwFileAttributes;
  found->name = FromAnsi(std::string_view(entry.cFileName, strnlen(entry.cFileName, MAX_PATH)));
  found->size = (static_cast<uint64_t>(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow;
}

// An item list the shell allocated for us.
class ItemList {
 public:
  explicit ItemList(LPITEMIDLIST list) : list_(list) {}
  ~ItemList() { CoTaskMemFree(list_); }
  ItemList(const ItemList&) = delete;
  ItemList& operator=(const ItemList&) = delete;
  [[nodiscard]] LPITEMIDLIST get() const { return list_; }

 private:
  LPITEMIDLIST list_;
};

}  // namespace

// ---- text ---------------------------------------------------------------------

std::wstring Widen(std::string_view utf8) {
  std::wstring out;
  out.reserve(utf8.size());
  size_t i = 0;
  while (i < utf8.size()) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    if (lead < 0x80) {
      out += static_cast<wchar_t>(lead);
      ++i;
      continue;
    }
    size_t length = 0;
    char32_t code = 0;
    char32_t least = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2, code = lead & 0x1Fu, least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3, code = lead & 0x0Fu, least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4, code = lead & 0x07u, least = 0x10000;
    }
    size_t taken = 1;
    while (length > 0 && taken < length && i + taken < utf8.size() &&
           (static_cast<unsigned char>(utf8[i + taken]) & 0xC0u) == 0x80u) {
      code = (code << 6) | (static_cast<unsigned char>(utf8[i + taken]) & 0x3Fu);
      ++taken;
    }
    const bool valid = length > 0 && taken == length && code >= least && code <= 0x10FFFF &&
                       (code < 0xD800 || code > 0xDFFF);
    if (!valid) {
      out += kReplacement;  // the broken sequence as far as it went, as one character
    } else if (code >= 0x10000) {
      code -= 0x10000;
      out += static_cast<wchar_t>(0xD800 + (code >> 10));
      out += static_cast<wchar_t>(0xDC00 + (code & 0x3FF));
    } else {
      out += static_cast<wchar_t>(code);
    }
    i += taken;
  }
  return out;
}

std::string Narrow(std::wstring_view utf16) {
  std::string out;
  out.reserve(utf16.size());
  for (size_t i = 0; i < utf16.size(); ++i) {
    char32_t code = static_cast<char16_t>(utf16[i]);
    if (code >= 0xD800 && code <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
        utf16[i + 1] <= 0xDFFF) {
      code = 0x10000 + ((code - 0xD800) << 10) + (static_cast<char16_t>(utf16[i + 1]) - 0xDC00);
      ++i;
    } else if (code >= 0xD800 && code <= 0xDFFF) {
      code = kReplacement;
    }
    if (code < 0x80) {
      out += static_cast<char>(code);
    } else if (code < 0x800) {
      out += static_cast<char>(0xC0 | (code >> 6));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      out += static_cast<char>(0xE0 | (code >> 12));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (code >> 18));
      out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    }
  }
  return out;
}

bool AnsiOnly() { return Version().dwPlatformId != VER_PLATFORM_WIN32_NT; }

DWORD MajorVersion() { return Version().dwMajorVersion; }

std::string ToAnsi(std::string_view utf8, bool* exact) {
  if (exact != nullptr) *exact = true;
  const std::wstring wide = Widen(utf8);
  if (wide.empty() || wide.size() > INT_MAX) return {};
  // Best-fit mapping would turn "é" into "e" and so name another file; a
  // character without its own spelling must show up as inexact instead. UTF-8
  // as the ANSI code page takes neither the flag nor the out-value.
  const bool utf8CodePage = GetACP() == CP_UTF8;
  DWORD flags = utf8CodePage ? 0 : WC_NO_BEST_FIT_CHARS;
  const int size = static_cast<int>(wide.size());
  int bytes = WideCharToMultiByte(CP_ACP, flags, wide.data(), size, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0 && flags != 0 && GetLastError() == ERROR_INVALID_FLAGS) {
    flags = 0;  // before Windows 2000 the flag is unknown: look-alikes are caught below
    bytes = WideCharToMultiByte(CP_ACP, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  }
  if (bytes <= 0) {
    if (exact != nullptr) *exact = false;
    return {};
  }
  std::string out(static_cast<size_t>(bytes), '\0');
  BOOL usedDefault = FALSE;
  WideCharToMultiByte(CP_ACP, flags, wide.data(), size, out.data(), bytes, nullptr,
                      utf8CodePage ? nullptr : &usedDefault);
  if (flags == 0 && !utf8CodePage && WideOfAnsi(out) != wide) {
    // A look-alike came in: spell each character alone, '?' where it does not come back as itself.
    out.clear();
    for (size_t i = 0; i < wide.size();) {
      const size_t units = IS_HIGH_SURROGATE(wide[i]) && i + 1 < wide.size() ? 2 : 1;
      char spelled[8] = {};
      const int got =
          WideCharToMultiByte(CP_ACP, 0, &wide[i], static_cast<int>(units), spelled, 8, nullptr, nullptr);
      const std::string_view piece(spelled, got > 0 ? static_cast<size_t>(got) : 0);
      if (got > 0 && WideOfAnsi(piece) == wide.substr(i, units)) {
        out += piece;
      } else {
        out += '?';
        usedDefault = TRUE;
      }
      i += units;
    }
  }
  if (exact != nullptr && usedDefault) *exact = false;
  return out;
}

std::string FromAnsi(std::string_view ansi) {
  if (ansi.empty() || ansi.size() > INT_MAX) return {};
  const int size = static_cast<int>(ansi.size());
  const int chars = MultiByteToWideChar(CP_ACP, 0, ansi.data(), size, nullptr, 0);
  if (chars <= 0) return {};
  std::wstring wide(static_cast<size_t>(chars), L'\0');
  MultiByteToWideChar(CP_ACP, 0, ansi.data(), size, wide.data(), chars);
  return Narrow(wide);
}

// ---- files, paths, drives -----------------------------------------------------

DWORD GetFileAttributesU(std::string_view path) {
  if (auto wide = QN_WIDE(kKernel32, GetFileAttributesW)) return wide(Widen(path).c_str());
  std::string ansi;
  return AnsiPath(path, &ansi) ? GetFileAttributesA(ansi.c_str()) : INVALID_FILE_ATTRIBUTES;
}

BOOL SetFileAttributesU(std::string_view path, DWORD attributes) {
  if (auto wide = QN_WIDE(kKernel32, SetFileAttributesW)) return wide(Widen(path).c_str(), attributes);
  std::string ansi;
  return AnsiPath(path, &ansi) && SetFileAttributesA(ansi.c_str(), attributes);
}

UINT GetDriveTypeU(std::string_view root) {
  if (auto wide = QN_WIDE(kKernel32, GetDriveTypeW)) return wide(Widen(root).c_str());
  std::string ansi;
  return AnsiPath(root, &ansi) ? GetDriveTypeA(ansi.c_str()) : DRIVE_NO_ROOT_DIR;
}

BOOL GetDiskFreeSpaceExU(std::string_view path, ULARGE_INTEGER* available, ULARGE_INTEGER* total,
                         ULARGE_INTEGER* free) {
  if (auto wide = QN_WIDE(kKernel32, GetDiskFreeSpaceExW)) {
    return wide(Widen(path).c_str(), available, total, free);
  }
  auto ansiCall = QN_LATER(kKernel32, GetDiskFreeSpaceExA);
  if (ansiCall == nullptr) {
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return FALSE;
  }
  std::string ansi;
  return AnsiPath(path, &ansi) && ansiCall(ansi.c_str(), available, total, free);
}

BOOL GetDiskFreeSpaceU(std::string_view root, DWORD* sectorsPerCluster, DWORD* bytesPerSector,
                       DWORD* freeClusters, DWORD* totalClusters) {
  if (auto wide = QN_WIDE(kKernel32, GetDiskFreeSpaceW)) {
    return wide(Widen(root).c_str(), sectorsPerCluster, bytesPerSector, freeClusters, totalClusters);
  }
  std::string ansi;
  return AnsiPath(root, &ansi) &&
         GetDiskFreeSpaceA(ansi.c_str(), sectorsPerCluster, bytesPerSector, freeClusters, totalClusters);
}

BOOL GetVolumeLabelU(std::string_view root, std::string* label) {
  DWORD serial = 0, maxComponent = 0, flags = 0;
  if (auto wide = QN_WIDE(kKernel32, GetVolumeInformationW)) {
    wchar_t name[260] = {};
    wchar_t fileSystem[260] = {};
    if (!wide(Widen(root).c_str(), name, 260, &serial, &maxComponent, &flags, fileSystem, 260)) return FALSE;
    *label = Narrow(std::wstring_view(name, wcsnlen(name, 260)));
    return TRUE;
  }
  std::string ansi;
  char name[260] = {};
  char fileSystem[260] = {};
  if (!AnsiPath(root, &ansi) ||
      !GetVolumeInformationA(ansi.c_str(), name, 260, &serial, &maxComponent, &flags, fileSystem, 260)) {
    return FALSE;
  }
  *label = FromAnsi(std::string_view(name, strnlen(name, 260)));
  return TRUE;
}

BOOL SetVolumeLabelU(std::string_view root, std::string_view label) {
  // An empty text removes the label. Not null: Wine crashes on a null label.
  if (auto wide = QN_WIDE(kKernel32, SetVolumeLabelW)) return wide(Widen(root).c_str(), Widen(label).c_str());
  std::string ansiRoot, ansiLabel;
  return AnsiPath(root, &ansiRoot) && AnsiPath(label, &ansiLabel) &&
         SetVolumeLabelA(ansiRoot.c_str(), ansiLabel.c_str());
}

std::string GetFullPathNameU(std::string_view path, size_t bufferChars) {
  if (bufferChars == 0 || bufferChars > 32768) return {};
  const auto size = static_cast<DWORD>(bufferChars);
  if (auto wide = QN_WIDE(kKernel32, GetFullPathNameW)) {
    std::vector<wchar_t> buffer(bufferChars, L'\0');
    return FromBuffer(buffer, wide(Widen(path).c_str(), size, buffer.data(), nullptr));
  }
  std::string ansi;
  if (!AnsiPath(path, &ansi)) return {};
  std::vector<char> buffer(bufferChars, '\0');
  return FromBuffer(buffer, GetFullPathNameA(ansi.c_str(), size, buffer.data(), nullptr));
}

std::string GetShortPathNameU(std::string_view path, size_t bufferChars) {
  if (bufferChars == 0 || bufferChars > 32768) return {};
  const auto size = static_cast<DWORD>(bufferChars);
  if (auto wide = QN_WIDE(kKernel32, GetShortPathNameW)) {
    std::vector<wchar_t> buffer(bufferChars, L'\0');
    return FromBuffer(buffer, wide(Widen(path).c_str(), buffer.data(), size));
  }
  std::string ansi;
  if (!AnsiPath(path, &ansi)) return {};
  std::vector<char> buffer(bufferChars, '\0');
  return FromBuffer(buffer, GetShortPathNameA(ansi.c_str(), buffer.data(), size));
}

HANDLE FindFirstFileU(std::string_view pattern, FoundFile* found) {
  if (auto wide = QN_WIDE(kKernel32, FindFirstFileW)) {
    WIN32_FIND_DATAW entry{};
    const HANDLE search = wide(Widen(pattern).c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) Found(entry, found);
    return search;
  }
  std::string ansi;
  if (!AnsiPath(pattern, &ansi)) return INVALID_HANDLE_VALUE;
  WIN32_FIND_DATAA entry{};
  const HANDLE search = FindFirstFileA(ansi.c_str(), &entry);
  if (search != INVALID_HANDLE_VALUE) Found(entry, found);
  return search;
}

BOOL FindNextFileU(HANDLE search, FoundFile* found) {
  if (auto wide = QN_WIDE(kKernel32, FindNextFileW)) {
    WIN32_FIND_DATAW entry{};
    if (!wide(search, &entry)) return FALSE;
    Found(entry, found);
    return TRUE;
  }
  WIN32_FIND_DATAA entry{};
  if (!FindNextFileA(search, &entry)) return FALSE;
  Found(entry, found);
  return TRUE;
}

BOOL GetFileLengthU(std::string_view path, uint64_t* length) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  auto fromData = [&data, length] {
    *length = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return TRUE;
  };
  if (auto wide = QN_WIDE(kKernel32, GetFileAttributesExW)) {
    return wide(Widen(path).c_str(), GetFileExInfoStandard, &data) && fromData();
  }
  std::string ansi;
  if (!AnsiPath(path, &ansi)) return FALSE;
  if (auto ansiCall = QN_LATER(kKernel32, GetFileAttributesExA)) {
    return ansiCall(ansi.c_str(), GetFileExInfoStandard, &data) && fromData();
  }
  // Windows 95: the directory lists the length. A pattern would list another file.
  if (ansi.find_first_of("*?") != std::string::npos) {
    SetLastError(ERROR_INVALID_NAME);
    return FALSE;
  }
  WIN32_FIND_DATAA entry{};
  const HANDLE search = FindFirstFileA(ansi.c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) {
    // A drive root, or a folder named with a final backslash, has no entry of its own.
    const DWORD attributes = GetFileAttributesA(ansi.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return FALSE;
    *length = 0;
    return TRUE;
  }
  FindClose(search);
  *length = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                ? 0
                : (static_cast<uint64_t>(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow;
  return TRUE;
}

HANDLE CreateFileU(std::string_view path, DWORD access, DWORD share, DWORD disposition, DWORD flags) {
  if (auto wide = QN_WIDE(kKernel32, CreateFileW)) {
    return wide(Widen(path).c_str(), access, share, nullptr, disposition, flags, nullptr);
  }
  std::string ansi;
  if (!AnsiPath(path, &ansi)) return INVALID_HANDLE_VALUE;
  // The 9x line refuses the delete-sharing flag it does not know.
  return CreateFileA(ansi.c_str(), access, share & ~DWORD{FILE_SHARE_DELETE}, nullptr, disposition, flags,
                     nullptr);
}

BOOL DeleteFileU(std::string_view path) {
  if (auto wide = QN_WIDE(kKernel32, DeleteFileW)) return wide(Widen(path).c_str());
  std::string ansi;
  return AnsiPath(path, &ansi) && DeleteFileA(ansi.c_str());
}

BOOL CreateDirectoryU(std::string_view path) {
  if (auto wide = QN_WIDE(kKernel32, CreateDirectoryW)) return wide(Widen(path).c_str(), nullptr);
  std::string ansi;
  return AnsiPath(path, &ansi) && CreateDirectoryA(ansi.c_str(), nullptr);
}

BOOL RemoveDirectoryU(std::string_view path) {
  if (auto wide = QN_WIDE(kKernel32, RemoveDirectoryW)) return wide(Widen(path).c_str());
  std::string ansi;
  return AnsiPath(path, &ansi) && RemoveDirectoryA(ansi.c_str());
}

BOOL MoveFileReplacingU(std::string_view from, std::string_view to) {
  if (auto wide = QN_WIDE(kKernel32, MoveFileExW)) {
    return wide(Widen(from).c_str(), Widen(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
  }
  std::string source, target;
  if (!AnsiPath(from, &source) || !AnsiPath(to, &target)) return FALSE;
  const std::string aside = source + ".old";  // as unique as the source's own name
  DeleteFileA(aside.c_str());
  const bool hadTarget = MoveFileA(target.c_str(), aside.c_str()) != FALSE;
  if (!hadTarget && GetLastError() != ERROR_FILE_NOT_FOUND) return FALSE;
  if (!MoveFileA(source.c_str(), target.c_str())) {
    const DWORD error = GetLastError();
    if (hadTarget) MoveFileA(aside.c_str(), target.c_str());
    SetLastError(error);
    return FALSE;
  }
  if (hadTarget) DeleteFileA(aside.c_str());
  return TRUE;
}

// ---- process ------------------------------------------------------------------

std::string FormatMessageU(DWORD code) {
  constexpr DWORD kFlags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
  if (auto wide = QN_WIDE(kKernel32, FormatMessageW)) {
    wchar_t buffer[1024] = {};
    const DWORD chars = wide(kFlags, nullptr, code, 0, buffer, 1024, nullptr);
    return Narrow(std::wstring_view(buffer, std::min<DWORD>(chars, 1024)));
  }
  char buffer[1024] = {};
  const DWORD bytes = FormatMessageA(kFlags, nullptr, code, 0, buffer, 1024, nullptr);
  return FromAnsi(std::string_view(buffer, std::min<DWORD>(bytes, 1024)));
}

std::string GetModuleFileNameU() {
  auto wide = QN_WIDE(kKernel32, GetModuleFileNameW);
  for (size_t chars = MAX_PATH; chars <= 32768; chars *= 2) {
    const auto size = static_cast<DWORD>(chars);
    DWORD got = 0;
    std::string path;
    if (wide != nullptr) {
      std::vector<wchar_t> buffer(chars);
      got = wide(nullptr, buffer.data(), size);
      path = Narrow(std::wstring_view(buffer.data(), std::min(got, size)));
    } else {
      std::vector<char> buffer(chars);
      got = GetModuleFileNameA(nullptr, buffer.data(), size);
      path = FromAnsi(std::string_view(buffer.data(), std::min(got, size)));
    }
    if (got == 0) return {};
    if (got < size) return path;
  }
  return {};
}

std::string GetCommandLineU() {
  if (auto wide = QN_WIDE(kKernel32, GetCommandLineW)) return Narrow(wide());
  return FromAnsi(GetCommandLineA());
}

BOOL CreateProcessU(std::string_view commandLine, WORD showWindow, PROCESS_INFORMATION* process) {
  if (auto wide = QN_WIDE(kKernel32, CreateProcessW)) {
    std::wstring command = Widen(commandLine);  // CreateProcessW may write into it
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = showWindow;
    return wide(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, process);
  }
  std::string command;
  if (!AnsiPath(commandLine, &command)) return FALSE;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = showWindow;
  return CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        process);
}

HINSTANCE ShellExecuteU(HWND owner, std::string_view verb, std::string_view file, std::string_view folder,
                        int show) {
  if (auto wide = QN_WIDE(kShell32, ShellExecuteW)) {
    const std::wstring wideVerb = Widen(verb), wideFile = Widen(file), wideFolder = Widen(folder);
    return wide(owner, wideVerb.c_str(), wideFile.c_str(), nullptr,
                wideFolder.empty() ? nullptr : wideFolder.c_str(), show);
  }
  std::string ansiVerb, ansiFile, ansiFolder;
  if (!AnsiPath(verb, &ansiVerb) || !AnsiPath(file, &ansiFile) || !AnsiPath(folder, &ansiFolder)) {
    return reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(SE_ERR_FNF));
  }
  return ShellExecuteA(owner, ansiVerb.c_str(), ansiFile.c_str(), nullptr,
                       ansiFolder.empty() ? nullptr : ansiFolder.c_str(), show);
}

bool GetFileVersionInfoU(std::string_view path, std::vector<BYTE>* data) {
  DWORD ignored = 0;
  auto wideSize = QN_WIDE(kVersion, GetFileVersionInfoSizeW);
  auto wideRead = QN_WIDE(kVersion, GetFileVersionInfoW);
  if (wideSize != nullptr && wideRead != nullptr) {
    const std::wstring file = Widen(path);
    const DWORD size = wideSize(file.c_str(), &ignored);
    if (size == 0) return false;
    data->assign(size, 0);
    return wideRead(file.c_str(), 0, size, data->data()) != FALSE;
  }
  std::string file;
  if (!AnsiPath(path, &file)) return false;
  const DWORD size = GetFileVersionInfoSizeA(file.c_str(), &ignored);
  if (size == 0) return false;
  data->assign(size, 0);
  return GetFileVersionInfoA(file.c_str(), 0, size, data->data()) != FALSE;
}

bool VerQueryBinaryU(const std::vector<BYTE>& data, std::string_view subBlock, const void** value,
                     UINT* length) {
  void* found = nullptr;
  BOOL ok = FALSE;
  if (auto wide = QN_WIDE(kVersion, VerQueryValueW)) {
    ok = wide(data.data(), Widen(subBlock).c_str(), &found, length);
  } else {
    ok = VerQueryValueA(data.data(), std::string(subBlock).c_str(), &found, length);
  }
  *value = found;
  return ok && found != nullptr;
}

std::string VerQueryStringU(const std::vector<BYTE>& data, std::string_view subBlock) {
  const void* value = nullptr;
  UINT chars = 0;
  if (!VerQueryBinaryU(data, subBlock, &value, &chars) || chars == 0) return {};
  if (!AnsiOnly()) {
    const auto* text = static_cast<const wchar_t*>(value);
    return Narrow(std::wstring_view(text, wcsnlen(text, chars)));
  }
  const auto* text = static_cast<const char*>(value);
  return FromAnsi(std::string_view(text, strnlen(text, chars)));
}

// ---- windows and messages -----------------------------------------------------

ATOM RegisterClassExU(const WNDCLASSEXA& wanted) {
  if (auto wide = QN_WIDE(kUser32, RegisterClassExW)) {
    const std::wstring name = Widen(wanted.lpszClassName);
    WNDCLASSEXW unicode{};
    unicode.cbSize = sizeof unicode;
    unicode.style = wanted.style;
    unicode.lpfnWndProc = wanted.lpfnWndProc;
    unicode.cbClsExtra = wanted.cbClsExtra;
    unicode.cbWndExtra = wanted.cbWndExtra;
    unicode.hInstance = wanted.hInstance;
    unicode.hIcon = wanted.hIcon;
    unicode.hCursor = wanted.hCursor;
    unicode.hbrBackground = wanted.hbrBackground;
    unicode.lpszClassName = name.c_str();
    unicode.hIconSm = wanted.hIconSm;
    return wide(&unicode);
  }
  WNDCLASSEXA ansi = wanted;
  ansi.cbSize = sizeof ansi;
  return RegisterClassExA(&ansi);
}

HWND CreateWindowExU(DWORD exStyle, std::string_view className, std::string_view text, DWORD style, int x,
                     int y, int width, int height, HWND parent, HMENU menu, HINSTANCE instance, void* param) {
  if (auto wide = QN_WIDE(kUser32, CreateWindowExW)) {
    return wide(exStyle, Widen(className).c_str(), Widen(text).c_str(), style, x, y, width, height, parent,
                menu, instance, param);
  }
  return CreateWindowExA(exStyle, ToAnsi(className).c_str(), ToAnsi(text).c_str(), style, x, y, width, height,
                         parent, menu, instance, param);
}

LRESULT DefWindowProcU(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (auto wide = QN_WIDE(kUser32, DefWindowProcW)) return wide(hwnd, message, wParam, lParam);
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

LRESULT DefDlgProcU(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (auto wide = QN_WIDE(kUser32, DefDlgProcW)) return wide(hwnd, message, wParam, lParam);
  return DefDlgProcA(hwnd, message, wParam, lParam);
}

LRESULT CallWindowProcU(WNDPROC proc, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (auto wide = QN_WIDE(kUser32, CallWindowProcW)) return wide(proc, hwnd, message, wParam, lParam);
  return CallWindowProcA(proc, hwnd, message, wParam, lParam);
}

LRESULT SendMessageU(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (auto wide = QN_WIDE(kUser32, SendMessageW)) return wide(hwnd, message, wParam, lParam);
  return SendMessageA(hwnd, message, wParam, lParam);
}

BOOL PostMessageU(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (auto wide = QN_WIDE(kUser32, PostMessageW)) return wide(hwnd, message, wParam, lParam);
  return PostMessageA(hwnd, message, wParam, lParam);
}

BOOL GetMessageU(MSG* msg) {
  if (auto wide = QN_WIDE(kUser32, GetMessageW)) return wide(msg, nullptr, 0, 0);
  return GetMessageA(msg, nullptr, 0, 0);
}

LRESULT DispatchMessageU(const MSG* msg) {
  if (auto wide = QN_WIDE(kUser32, DispatchMessageW)) return wide(msg);
  return DispatchMessageA(msg);
}

BOOL IsDialogMessageU(HWND dialog, MSG* msg) {
  if (auto wide = QN_WIDE(kUser32, IsDialogMessageW)) return wide(dialog, msg);
  return IsDialogMessageA(dialog, msg);
}

#ifdef _WIN64
LONG_PTR GetWindowLongPtrU(HWND hwnd, int index) {
  if (auto wide = QN_WIDE(kUser32, GetWindowLongPtrW)) return wide(hwnd, index);
  return GetWindowLongPtrA(hwnd, index);
}

LONG_PTR SetWindowLongPtrU(HWND hwnd, int index, LONG_PTR value) {
  if (auto wide = QN_WIDE(kUser32, SetWindowLongPtrW)) return wide(hwnd, index, value);
  return SetWindowLongPtrA(hwnd, index, value);
}
#else
LONG_PTR GetWindowLongPtrU(HWND hwnd, int index) {
  if (auto wide = QN_WIDE(kUser32, GetWindowLongW)) return wide(hwnd, index);
  return GetWindowLongA(hwnd, index);
}

LONG_PTR SetWindowLongPtrU(HWND hwnd, int index, LONG_PTR value) {
  if (auto wide = QN_WIDE(kUser32, SetWindowLongW)) return wide(hwnd, index, value);
  return SetWindowLongA(hwnd, index, value);
}
#endif

BOOL SetWindowTextU(HWND hwnd, std::string_view text) {
  if (auto wide = QN_WIDE(kUser32, SetWindowTextW)) return wide(hwnd, Widen(text).c_str());
  return SetWindowTextA(hwnd, ToAnsi(text).c_str());
}

namespace {
// A window's text as the 9x line keeps it: ANSI bytes, which is also how
// its edit controls count positions.
std::string AnsiWindowText(HWND hwnd) {
  const int length = std::max(GetWindowTextLengthA(hwnd), 0);
  std::string text(static_cast<size_t>(length) + 1, '\0');
  const int got = GetWindowTextA(hwnd, text.data(), length + 1);
  text.resize(static_cast<size_t>(std::clamp(got, 0, length)));
  return text;
}
}  // namespace

std::string GetWindowTextU(HWND hwnd) {
  auto wideLength = QN_WIDE(kUser32, GetWindowTextLengthW);
  auto wideText = QN_WIDE(kUser32, GetWindowTextW);
  if (wideLength != nullptr && wideText != nullptr) {
    const int length = std::max(wideLength(hwnd), 0);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const int got = wideText(hwnd, text.data(), length + 1);
    text.resize(static_cast<size_t>(std::clamp(got, 0, length)));
    return Narrow(text);
  }
  return FromAnsi(AnsiWindowText(hwnd));
}

namespace {

// UTF-16 units in the first `bytes` bytes of an ANSI text.
int UnitsOfBytes(const std::string& ansi, DWORD bytes) {
  const size_t end = std::min<size_t>(bytes, ansi.size());
  if (end == 0) return 0;
  return MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(end), nullptr, 0);
}

// Bytes of the first `units` UTF-16 units of an ANSI text; negative positions stay as they are.
int BytesOfUnits(const std::wstring& wide, int units) {
  if (units <= 0) return units;
  const size_t end = std::min<size_t>(static_cast<size_t>(units), wide.size());
  if (end == 0) return 0;
  return WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(end), nullptr, 0, nullptr, nullptr);
}
}  // namespace

void GetEditSelectionU(HWND edit, int* start, int* end) {
  DWORD first = 0, last = 0;
  SendMessageU(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&first), reinterpret_cast<LPARAM>(&last));
  if (!AnsiOnly()) {
    *start = static_cast<int>(first);
    *end = static_cast<int>(last);
    return;
  }
  const std::string text = AnsiWindowText(edit);
  *start = UnitsOfBytes(text, first);
  *end = UnitsOfBytes(text, last);
}

void SetEditSelectionU(HWND edit, int start, int end) {
  if (AnsiOnly()) {
    const std::string text = AnsiWindowText(edit);
    std::wstring wide(static_cast<size_t>(std::max(UnitsOfBytes(text, static_cast<DWORD>(text.size())), 0)),
                      L'\0');
    if (!wide.empty()) {
      MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                          static_cast<int>(wide.size()));
    }
    start = BytesOfUnits(wide, start);
    end = BytesOfUnits(wide, end);
  }
  SendMessageU(edit, EM_SETSEL, static_cast<WPARAM>(start), static_cast<LPARAM>(end));
}

BOOL AppendMenuU(HMENU menu, UINT flags, UINT_PTR id, std::string_view caption) {
  const bool separator = (flags & MF_SEPARATOR) != 0;
  if (auto wide = QN_WIDE(kUser32, AppendMenuW)) {
    const std::wstring text = Widen(caption);
    return wide(menu, flags, id, separator ? nullptr : text.c_str());
  }
  const std::string text = ToAnsi(caption);
  return AppendMenuA(menu, flags, id, separator ? nullptr : text.c_str());
}

int DrawTextU(HDC dc, std::string_view text, RECT* rect, UINT format) {
  if (auto wide = QN_WIDE(kUser32, DrawTextW)) {
    const std::wstring unicode = Widen(text);
    return wide(dc, unicode.c_str(), static_cast<int>(unicode.size()), rect, format);
  }
  const std::string ansi = ToAnsi(text);
  return DrawTextA(dc, ansi.c_str(), static_cast<int>(ansi.size()), rect, format);
}

BOOL AddToolU(HWND tooltip, HWND parent, HWND tool, UINT flags, std::string_view text) {
  // The first version of the record: the tooltips of 95 and NT 4.0 take no larger one.
  if (!AnsiOnly()) {
    std::wstring unicode = Widen(text);
    TTTOOLINFOW info{};
    info.cbSize = TTTOOLINFOW_V1_SIZE;
    info.uFlags = flags;
    info.hwnd = parent;
    info.uId = reinterpret_cast<UINT_PTR>(tool);
    info.lpszText = unicode.data();
    return static_cast<BOOL>(SendMessageU(tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info)));
  }
  std::string ansi = ToAnsi(text);
  TTTOOLINFOA info{};
  info.cbSize = TTTOOLINFOA_V1_SIZE;
  info.uFlags = flags;
  info.hwnd = parent;
  info.uId = reinterpret_cast<UINT_PTR>(tool);
  info.lpszText = ansi.data();
  return static_cast<BOOL>(SendMessageA(tooltip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&info)));
}

int GetFontU(HFONT font, LOGFONTW* out) {
  if (auto wide = QN_WIDE(kGdi32, GetObjectW)) return wide(font, sizeof *out, out);
  LOGFONTA ansi{};
  const int got = GetObjectA(font, sizeof ansi, &ansi);
  if (got <= 0) return got;
  *out = LOGFONTW{};
  CopyFontMetrics(ansi, out);
  std::wstring face = WideOfAnsi(std::string_view(ansi.lfFaceName, strnlen(ansi.lfFaceName, LF_FACESIZE)));
  face.resize(std::min<size_t>(face.size(), LF_FACESIZE - 1));
  std::copy(face.begin(), face.end(), out->lfFaceName);
  return sizeof *out;
}

HFONT CreateFontIndirectU(const LOGFONTW& font) {
  if (auto wide = QN_WIDE(kGdi32, CreateFontIndirectW)) return wide(&font);
  LOGFONTA ansi{};
  CopyFontMetrics(font, &ansi);
  const std::string face =
      ToAnsi(Narrow(std::wstring_view(font.lfFaceName, wcsnlen(font.lfFaceName, LF_FACESIZE))));
  const std::string_view fits = AnsiPrefix(face, LF_FACESIZE - 1);
  std::copy(fits.begin(), fits.end(), ansi.lfFaceName);
  return CreateFontIndirectA(&ansi);
}

std::wstring GetTextFaceU(HDC dc) {
  if (auto wide = QN_WIDE(kGdi32, GetTextFaceW)) {
    wchar_t face[LF_FACESIZE] = {};
    wide(dc, LF_FACESIZE, face);
    return std::wstring(face, wcsnlen(face, LF_FACESIZE));
  }
  char face[LF_FACESIZE] = {};
  GetTextFaceA(dc, LF_FACESIZE, face);
  return WideOfAnsi(std::string_view(face, strnlen(face, LF_FACESIZE)));
}

// Numbered resources are the same for both kinds of call: the A function serves both lines.
HCURSOR LoadCursorU(HINSTANCE instance, LPCWSTR id) {
  return LoadCursorA(instance, reinterpret_cast<LPCSTR>(id));
}

HANDLE LoadImageU(HINSTANCE instance, LPCWSTR id, UINT type, int width, int height, UINT flags) {
  return LoadImageA(instance, reinterpret_cast<LPCSTR>(id), type, width, height, flags);
}

// ---- boxes, dialogs, drops ----------------------------------------------------

int MessageBoxU(HWND owner, std::string_view text, std::string_view title, UINT style) {
  if (auto wide = QN_WIDE(kUser32, MessageBoxW))
    return wide(owner, Widen(text).c_str(), Widen(title).c_str(), style);
  return MessageBoxA(owner, ToAnsi(text).c_str(), ToAnsi(title).c_str(), style);
}

BOOL GetOpenFileNameU(HWND owner, OpenFileRecord& record) {
  // The dialog needs room for at least the terminator. 95 and NT 4.0 refuse
  // the record's later, larger size.
  const size_t room = std::max<size_t>(record.maxFileChars, 1);
  const bool oldRecord = MajorVersion() < 5;
  if (auto wide = QN_WIDE(kComdlg32, GetOpenFileNameW)) {
    std::wstring filter = Widen(record.filterDescription);
    filter += L'\0';
    filter += Widen(record.filterPattern);
    filter += L'\0';  // the string's own terminator supplies the second one
    // A seed that does not fit is cut, never at half a surrogate pair.
    std::vector<wchar_t> buffer(room, L'\0');
    const std::wstring seed = Widen(record.fileName);
    size_t seedChars = std::min(seed.size(), buffer.size() - 1);
    if (seedChars > 0 && seedChars < seed.size() && IS_HIGH_SURROGATE(seed[seedChars - 1])) --seedChars;
    std::copy_n(seed.begin(), seedChars, buffer.begin());
    const std::wstring title = Widen(record.title);
    const std::wstring extension = Widen(record.defaultExtension);
    OPENFILENAMEW dialog{};
    dialog.lStructSize = oldRecord ? OPENFILENAME_SIZE_VERSION_400W : sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filter.c_str();
    dialog.lpstrFile = buffer.data();
    dialog.nMaxFile = static_cast<DWORD>(buffer.size());
    dialog.lpstrTitle = title.empty() ? nullptr : title.c_str();
    dialog.Flags = record.flags;
    dialog.lpstrDefExt = extension.empty() ? nullptr : extension.c_str();
    const BOOL chosen = wide(&dialog);
    record.fileName = Narrow(std::wstring_view(buffer.data(), wcsnlen(buffer.data(), buffer.size())));
    return chosen;
  }
  std::string filter = ToAnsi(record.filterDescription);
  filter += '\0';
  filter += ToAnsi(record.filterPattern);
  filter += '\0';
  std::vector<char> buffer(room, '\0');
  const std::string seed = ToAnsi(record.fileName);
  const std::string_view fits = AnsiPrefix(seed, buffer.size() - 1);
  std::copy(fits.begin(), fits.end(), buffer.begin());
  const std::string title = ToAnsi(record.title);
  const std::string extension = ToAnsi(record.defaultExtension);
  OPENFILENAMEA dialog{};
  dialog.lStructSize = oldRecord ? OPENFILENAME_SIZE_VERSION_400A : sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = filter.c_str();
  dialog.lpstrFile = buffer.data();
  dialog.nMaxFile = static_cast<DWORD>(buffer.size());
  dialog.lpstrTitle = title.empty() ? nullptr : title.c_str();
  dialog.Flags = record.flags;
  dialog.lpstrDefExt = extension.empty() ? nullptr : extension.c_str();
  const BOOL chosen = GetOpenFileNameA(&dialog);
  record.fileName = FromAnsi(std::string_view(buffer.data(), strnlen(buffer.data(), buffer.size())));
  return chosen;
}

bool BrowseForFolderU(HWND owner, const FolderRecord& record, std::string* folder) {
  auto wideBrowse = QN_WIDE(kShell32, SHBrowseForFolderW);
  auto widePath = QN_WIDE(kShell32, SHGetPathFromIDListW);
  if (wideBrowse != nullptr && widePath != nullptr) {
    wchar_t displayName[MAX_PATH] = {};
    const std::wstring title = Widen(record.title);
    BROWSEINFOW browse{};
    browse.hwndOwner = owner;
    browse.pszDisplayName = displayName;
    browse.lpszTitle = title.c_str();
    browse.ulFlags = record.flags;
    const ItemList chosen(wideBrowse(&browse));
    if (chosen.get() == nullptr) return false;
    wchar_t path[MAX_PATH] = {};
    if (!widePath(chosen.get(), path) || path[0] == L'\0') return false;
    *folder = Narrow(std::wstring_view(path, wcsnlen(path, MAX_PATH)));
    return true;
  }
  char displayName[MAX_PATH] = {};
  const std::string title = ToAnsi(record.title);
  BROWSEINFOA browse{};
  browse.hwndOwner = owner;
  browse.pszDisplayName = displayName;
  browse.lpszTitle = title.c_str();
  browse.ulFlags = record.flags;
  const ItemList chosen(SHBrowseForFolderA(&browse));
  if (chosen.get() == nullptr) return false;
  char path[MAX_PATH] = {};
  if (!SHGetPathFromIDListA(chosen.get(), path) || path[0] == '\0') return false;
  *folder = FromAnsi(std::string_view(path, strnlen(path, MAX_PATH)));
  return true;
}

UINT DragQueryFileCountU(HDROP drop) { return DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0); }

std::string DragQueryFileU(HDROP drop, UINT index) {
  if (auto wide = QN_WIDE(kShell32, DragQueryFileW)) {
    wchar_t buffer[260] = {};
    if (wide(drop, index, buffer, 260) == 0) return {};
    return Narrow(std::wstring_view(buffer, wcsnlen(buffer, 259)));
  }
  char buffer[260] = {};
  if (DragQueryFileA(drop, index, buffer, 260) == 0) return {};
  return FromAnsi(std::string_view(buffer, strnlen(buffer, 259)));
}

}  // namespace qn::platform::win32
