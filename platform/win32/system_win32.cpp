#include "platform/win32/system_win32.h"

#include <windows.h>
// after windows.h
#include <shellapi.h>

#include <algorithm>
#include <climits>
#include <cwchar>
#include <utility>
#include <vector>

#include "platform/win32/wide.h"

namespace qn::platform::win32 {
namespace {

// Larger single transfers fail on some network redirectors
// (ERROR_NO_SYSTEM_RESOURCES); the loop costs nothing locally.
constexpr size_t kTransferChunk = size_t{16} << 20;

// GetLastError for a call that reported failure; never 0, so a failure cannot
// be mistaken for success by the caller.
ErrorCode LastError() {
  const DWORD code = GetLastError();
  return code != 0 ? code : err::kGenFailure;
}

// An owned kernel handle: closed exactly once.
class UniqueHandle {
 public:
  explicit UniqueHandle(HANDLE handle = INVALID_HANDLE_VALUE) : handle_(handle) {}
  ~UniqueHandle() { Reset(); }
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(std::exchange(other.handle_, INVALID_HANDLE_VALUE)) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) {
      Reset();
      handle_ = std::exchange(other.handle_, INVALID_HANDLE_VALUE);
    }
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;

  [[nodiscard]] bool valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
  [[nodiscard]] HANDLE get() const { return handle_; }
  // Gives the handle up without closing it.
  HANDLE Release() { return std::exchange(handle_, INVALID_HANDLE_VALUE); }
  void Reset() {
    if (valid()) CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
  }

 private:
  HANDLE handle_;
};

// An open directory search: FindClose, not CloseHandle.
class FindHandle {
 public:
  explicit FindHandle(HANDLE handle) : handle_(handle) {}
  ~FindHandle() {
    if (valid()) FindClose(handle_);
  }
  FindHandle(const FindHandle&) = delete;
  FindHandle& operator=(const FindHandle&) = delete;
  [[nodiscard]] bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  [[nodiscard]] HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

class Win32File : public File {
 public:
  explicit Win32File(UniqueHandle handle) : handle_(std::move(handle)) {}

  // Reads in chunks from `offset` until `size` bytes came or the file ended.
  // A read error stops it with what was read so far in *got. The handle's
  // own position is used, moved only when `offset` is elsewhere: reads at a
  // given offset through an OVERLAPPED are not there on the Windows 95 line.
  [[nodiscard]] ErrorCode ReadAt(int64_t offset, void* data, size_t size, size_t* got) override {
    size_t done = 0;
    ErrorCode result = err::kNone;
    if (!handle_.valid()) {
      result = err::kInvalidHandle;
    } else if (offset < 0) {
      result = ERROR_NEGATIVE_SEEK;
    } else if (offset != position_) {
      result = Seek(offset);
    }
    while (result == err::kNone && done < size) {
      const DWORD ask = static_cast<DWORD>(std::min(size - done, kTransferChunk));
      DWORD read = 0;
      if (!ReadFile(handle_.get(), static_cast<char*>(data) + done, ask, &read, nullptr)) {
        const DWORD code = GetLastError();
        position_ = -1;  // unknown after a failure
        if (code != ERROR_HANDLE_EOF) result = code != 0 ? code : err::kReadFault;
        break;
      }
      if (read == 0) break;  // end of file
      done += read;
      position_ += read;
    }
    if (got != nullptr) *got = done;
    return result;
  }

  // Writes every byte at the current position; a short write without an error
  // number can only be a full disk.
  [[nodiscard]] ErrorCode Write(const void* data, size_t size) override {
    if (!handle_.valid()) return err::kInvalidHandle;
    size_t done = 0;
    while (done < size) {
      const DWORD ask = static_cast<DWORD>(std::min(size - done, kTransferChunk));
      DWORD written = 0;
      if (!WriteFile(handle_.get(), static_cast<const char*>(data) + done, ask, &written, nullptr)) {
        position_ = -1;
        return LastError();
      }
      if (written == 0) return err::kDiskFull;
      done += written;
      position_ += written;
    }
    return err::kNone;
  }

  [[nodiscard]] ErrorCode Close() override {
    if (!handle_.valid()) return err::kNone;
    const HANDLE handle = handle_.Release();
    return CloseHandle(handle) ? err::kNone : LastError();
  }

 private:
  ErrorCode Seek(int64_t offset) {
    LONG high = static_cast<LONG>(offset >> 32);
    SetLastError(NO_ERROR);
    const DWORD low =
        SetFilePointer(handle_.get(), static_cast<LONG>(offset & 0xFFFFFFFF), &high, FILE_BEGIN);
    if (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) {
      position_ = -1;
      return LastError();
    }
    position_ = offset;
    return err::kNone;
  }

  UniqueHandle handle_;
  int64_t position_ = 0;  // where the handle stands; -1 when unknown
};

DWORD ShareFlags(Share share) {
  switch (share) {
    case Share::kNone:
      return 0;
    case Share::kRead:
      return FILE_SHARE_READ;
    case Share::kReadWrite:
      return FILE_SHARE_READ | FILE_SHARE_WRITE;
    case Share::kReadWriteDelete:
      return FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  }
  return 0;
}

DWORD CreationDisposition(Disposition disposition) {
  switch (disposition) {
    case Disposition::kOpenExisting:
      return OPEN_EXISTING;
    case Disposition::kCreateAlways:
      return CREATE_ALWAYS;
    case Disposition::kCreateNew:
      return CREATE_NEW;
  }
  return OPEN_EXISTING;
}

// The text of a fixed-size character buffer that a call filled: "" when the
// call failed (0) or needed more room than the buffer had.
std::string FromBuffer(const std::vector<wchar_t>& buffer, DWORD result) {
  if (result == 0 || result >= buffer.size()) return {};
  return Narrow(std::wstring_view(buffer.data(), wcsnlen(buffer.data(), result)));
}

// The file name part of a Windows path.
std::string_view NameOf(std::string_view path) {
  const size_t slash = path.find_last_of("\\/");
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// One string of a version resource's StringFileInfo block; "" when absent.
std::string VersionString(const std::vector<BYTE>& data, const std::wstring& block, const wchar_t* name) {
  const std::wstring query = block + name;
  void* value = nullptr;
  UINT chars = 0;
  if (!VerQueryValueW(data.data(), query.c_str(), &value, &chars) || value == nullptr || chars == 0) {
    return {};
  }
  const auto* text = static_cast<const wchar_t*>(value);
  return Narrow(std::wstring_view(text, wcsnlen(text, chars)));
}

}  // namespace

std::string ProgramPath() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD size = static_cast<DWORD>(buffer.size());
    const DWORD chars = GetModuleFileNameW(nullptr, buffer.data(), size);
    if (chars == 0) return {};
    if (chars < size) return Narrow(std::wstring_view(buffer.data(), chars));
    if (buffer.size() >= 32768) return {};
    buffer.resize(buffer.size() * 2);
  }
}

bool ReadVersionResource(std::string_view path, ProgramInfo* info) {
  const std::wstring file = Widen(path);
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(file.c_str(), &ignored);
  if (size == 0) return false;
  std::vector<BYTE> data(size);
  if (!GetFileVersionInfoW(file.c_str(), 0, size, data.data())) return false;

  ProgramInfo read;
  void* value = nullptr;
  UINT length = 0;
  if (VerQueryValueW(data.data(), L"\\", &value, &length) && value != nullptr &&
      length >= sizeof(VS_FIXEDFILEINFO)) {
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
    read.major = HIWORD(fixed->dwFileVersionMS);
    read.minor = LOWORD(fixed->dwFileVersionMS);
    read.revision = LOWORD(fixed->dwFileVersionLS);
  }

  // The first translation the resource lists names its string block.
  std::wstring block = L"\\StringFileInfo\\041104b0\\";
  if (VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", &value, &length) && value != nullptr &&
      length >= 2 * sizeof(WORD)) {
    const auto* pair = static_cast<const WORD*>(value);
    wchar_t name[40];
    swprintf(name, 40, L"\\StringFileInfo\\%04x%04x\\", pair[0], pair[1]);
    block = name;
  }
  read.productName = VersionString(data, block, L"ProductName");
  read.title = VersionString(data, block, L"FileDescription");
  read.legalNotice = VersionString(data, block, L"LegalCopyright");
  *info = std::move(read);
  return true;
}

std::string TextAfterProgramName(std::string_view commandLine) {
  size_t end = 0;
  if (!commandLine.empty() && commandLine.front() == '"') {
    const size_t close = commandLine.find('"', 1);
    end = close == std::string_view::npos ? commandLine.size() : close + 1;
  } else {
    end = commandLine.find_first_of(" \t");
    if (end == std::string_view::npos) end = commandLine.size();
  }
  return std::string(commandLine.substr(end));
}

uint32_t Win32System::SwapErrorMode(uint32_t mode) { return SetErrorMode(mode); }

int32_t Win32System::FileAttributes(std::string_view path) {
  return static_cast<int32_t>(GetFileAttributesW(Widen(path).c_str()));
}

ErrorCode Win32System::ChangeFileAttributes(std::string_view path, int32_t attributes) {
  return SetFileAttributesW(Widen(path).c_str(), static_cast<DWORD>(attributes)) ? err::kNone : LastError();
}

int32_t Win32System::DriveTypeOf(std::string_view root) {
  return static_cast<int32_t>(GetDriveTypeW(Widen(root).c_str()));
}

bool Win32System::FreeSpaceEx(std::string_view path, DiskSpaceEx* out) {
  ULARGE_INTEGER available{}, total{}, free{};
  if (!GetDiskFreeSpaceExW(Widen(path).c_str(), &available, &total, &free)) return false;
  out->availableToCaller = available.QuadPart;
  out->total = total.QuadPart;
  out->totalFree = free.QuadPart;
  return true;
}

bool Win32System::FreeSpaceClusters(std::string_view path, DiskClusters* out) {
  // GetDiskFreeSpace wants a root; a bare "X:" names the same drive.
  std::wstring root = Widen(path);
  if (root.size() == 2 && root[1] == L':') root += L'\\';
  DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, totalClusters = 0;
  if (!GetDiskFreeSpaceW(root.c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters, &totalClusters)) {
    return false;
  }
  out->sectorsPerCluster = sectorsPerCluster;
  out->bytesPerSector = bytesPerSector;
  out->freeClusters = freeClusters;
  out->totalClusters = totalClusters;
  return true;
}

int Win32System::QueryVersion(OsVersion* record) {
  // The record is sized as the ANSI structure (148, or 156 for the extended
  // one); the call fails for any other size, as GetVersionExA does.
  if (record == nullptr || (record->size != 148 && record->size != 156)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof(info);
  if (!GetVersionExW(&info)) return 0;
  record->major = info.dwMajorVersion;
  record->minor = info.dwMinorVersion;
  record->build = info.dwBuildNumber;
  record->platformId = info.dwPlatformId;
  return 1;
}

bool Win32System::ReadVolumeLabel(std::string_view root, std::string* label) {
  wchar_t name[260] = {};
  wchar_t fileSystem[260] = {};
  DWORD serial = 0, maxComponent = 0, flags = 0;
  if (!GetVolumeInformationW(Widen(root).c_str(), name, 260, &serial, &maxComponent, &flags, fileSystem,
                             260)) {
    return false;
  }
  *label = Narrow(std::wstring_view(name, wcsnlen(name, 260)));
  return true;
}

int Win32System::WriteVolumeLabel(std::string_view root, std::string_view label) {
  // An empty text removes the label. Not null: Wine crashes on a null label.
  return SetVolumeLabelW(Widen(root).c_str(), Widen(label).c_str()) ? 1 : 0;
}

std::string Win32System::FullPathOf(std::string_view path, size_t bufferChars) {
  if (bufferChars == 0 || bufferChars > 32768) return {};
  std::vector<wchar_t> buffer(bufferChars, L'\0');
  const DWORD result =
      GetFullPathNameW(Widen(path).c_str(), static_cast<DWORD>(bufferChars), buffer.data(), nullptr);
  return FromBuffer(buffer, result);
}

std::string Win32System::ShortPathOf(std::string_view path, size_t bufferChars) {
  if (bufferChars == 0 || bufferChars > 32768) return {};
  std::vector<wchar_t> buffer(bufferChars, L'\0');
  const DWORD result = GetShortPathNameW(Widen(path).c_str(), buffer.data(), static_cast<DWORD>(bufferChars));
  return FromBuffer(buffer, result);
}

std::string Win32System::ListFirst(std::string_view pattern, int32_t attributeMask) {
  WIN32_FIND_DATAW entry{};
  const FindHandle find(FindFirstFileW(Widen(pattern).c_str(), &entry));
  if (!find.valid()) return {};
  constexpr DWORD kFiltered = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY;
  const DWORD allowed = static_cast<DWORD>(attributeMask);
  do {
    const std::wstring_view name(entry.cFileName, wcsnlen(entry.cFileName, MAX_PATH));
    if (name == L"." || name == L"..") continue;
    if ((entry.dwFileAttributes & kFiltered & ~allowed) == 0) return Narrow(name);
  } while (FindNextFileW(find.get(), &entry));
  return {};
}

int64_t Win32System::FileLengthOf(std::string_view path, ErrorCode* error) {
  // A folder gives the length the system lists for it, 0.
  WIN32_FILE_ATTRIBUTE_DATA data{};
  const ErrorCode code =
      GetFileAttributesExW(Widen(path).c_str(), GetFileExInfoStandard, &data) ? err::kNone : LastError();
  if (error != nullptr) *error = code;
  if (code != err::kNone) return -1;
  return static_cast<int64_t>((static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
}

std::unique_ptr<File> Win32System::Open(std::string_view path, Access access, Share share,
                                        Disposition disposition, ErrorCode* error) {
  const DWORD desired = access == Access::kRead ? GENERIC_READ : GENERIC_WRITE;
  UniqueHandle handle(CreateFileW(Widen(path).c_str(), desired, ShareFlags(share), nullptr,
                                  CreationDisposition(disposition), FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!handle.valid()) {
    const ErrorCode code = LastError();
    if (error != nullptr) *error = code;
    return nullptr;
  }
  if (error != nullptr) *error = err::kNone;
  return std::make_unique<Win32File>(std::move(handle));
}

ErrorCode Win32System::RemoveFile(std::string_view path) {
  return DeleteFileW(Widen(path).c_str()) ? err::kNone : LastError();
}

// Opened for no access at all, so the sharing modes of whoever holds the
// file open do not stand in the way; folders need backup semantics.
bool Win32System::SameFile(std::string_view path, std::string_view other) {
  BY_HANDLE_FILE_INFORMATION info[2]{};
  const std::string_view paths[2] = {path, other};
  for (int i = 0; i < 2; ++i) {
    const UniqueHandle handle(CreateFileW(Widen(paths[i]).c_str(), 0,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!handle.valid() || !GetFileInformationByHandle(handle.get(), &info[i])) return false;
  }
  return info[0].dwVolumeSerialNumber == info[1].dwVolumeSerialNumber &&
         info[0].nFileIndexHigh == info[1].nFileIndexHigh && info[0].nFileIndexLow == info[1].nFileIndexLow;
}

ErrorCode Win32System::MakeFolder(std::string_view path) {
  return CreateDirectoryW(Widen(path).c_str(), nullptr) ? err::kNone : LastError();
}

ErrorCode Win32System::RemoveFolder(std::string_view path) {
  return RemoveDirectoryW(Widen(path).c_str()) ? err::kNone : LastError();
}

ErrorCode Win32System::ReplaceFile(std::string_view from, std::string_view to) {
  return MoveFileExW(Widen(from).c_str(), Widen(to).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
             ? err::kNone
             : LastError();
}

std::string Win32System::DescribeError(ErrorCode code) {
  wchar_t buffer[1024] = {};
  DWORD chars = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                               buffer, 1024, nullptr);
  while (chars > 0 &&
         (buffer[chars - 1] == L'\r' || buffer[chars - 1] == L'\n' || buffer[chars - 1] == L' ')) {
    --chars;
  }
  if (chars == 0) return "Unknown error " + std::to_string(code);
  return Narrow(std::wstring_view(buffer, chars));
}

std::string Win32System::ProgramFolder() {
  const std::string path = ProgramPath();
  const size_t slash = path.find_last_of('\\');
  if (slash == std::string::npos) return {};
  // "C:\Quarnimo.exe" lives in "C:\", not in the drive-relative "C:".
  if (slash == 2 && path[1] == ':') return path.substr(0, 3);
  return path.substr(0, slash);
}

std::string Win32System::ProgramFileName() { return std::string(NameOf(ProgramPath())); }

ProgramInfo Win32System::ProgramVersion() {
  ProgramInfo info;
  ReadVersionResource(ProgramPath(), &info);
  if (info.productName.empty() || info.title.empty()) {
    std::string stem(NameOf(ProgramPath()));
    const size_t dot = stem.find_last_of('.');
    if (dot != std::string::npos && dot > 0) stem.resize(dot);
    if (info.productName.empty()) info.productName = stem;
    if (info.title.empty()) info.title = stem;
  }
  return info;
}

std::string Win32System::CommandText() { return TextAfterProgramName(Narrow(GetCommandLineW())); }

ErrorCode Win32System::StartProcess(std::string_view commandLine, ShowMode show) {
  std::wstring command = Widen(commandLine);  // CreateProcessW may write into it
  if (command.empty()) return err::kFileNotFound;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = show == ShowMode::kMinimized ? SW_SHOWMINIMIZED : SW_SHOWNORMAL;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    return LastError();
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return err::kNone;
}

intptr_t Win32System::ShellOpen(uintptr_t ownerWindow, std::string_view target, std::string_view folder) {
  const std::wstring file = Widen(target);
  const std::wstring directory = Widen(folder);
  const HWND owner = reinterpret_cast<HWND>(ownerWindow);  // NOLINT(performance-no-int-to-ptr): a handle
  const HINSTANCE result = ShellExecuteW(owner, L"open", file.c_str(), nullptr,
                                         directory.empty() ? nullptr : directory.c_str(), SW_SHOWNORMAL);
  return reinterpret_cast<intptr_t>(result);
}

int Win32System::SystemMetric(int index) { return GetSystemMetrics(index); }

namespace {
// Twips per pixel along one axis of the screen; 15 (96 dpi) if the screen
// cannot be asked.
double ScreenTwipsPerPixel(int capability) {
  const HDC screen = GetDC(nullptr);
  if (screen == nullptr) return 15.0;
  const int dotsPerInch = GetDeviceCaps(screen, capability);
  ReleaseDC(nullptr, screen);
  return dotsPerInch > 0 ? 1440.0 / dotsPerInch : 15.0;
}
}  // namespace

double Win32System::TwipsPerPixelX() { return ScreenTwipsPerPixel(LOGPIXELSX); }
double Win32System::TwipsPerPixelY() { return ScreenTwipsPerPixel(LOGPIXELSY); }

std::string Win32System::ToAnsi(std::string_view utf8, bool* exact) {
  if (exact != nullptr) *exact = true;
  const std::wstring wide = Widen(utf8);
  if (wide.empty()) return {};
  const UINT codePage = GetACP();
  // Best-fit mapping would turn "é" into "e" and so name another file; a
  // character without its own spelling must show up as inexact instead. UTF-8
  // as the ANSI code page takes neither the flag nor the out-value.
  const bool utf8CodePage = codePage == CP_UTF8;
  const DWORD flags = utf8CodePage ? 0 : WC_NO_BEST_FIT_CHARS;
  const int size = static_cast<int>(wide.size());
  const int bytes = WideCharToMultiByte(CP_ACP, flags, wide.data(), size, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) {
    if (exact != nullptr) *exact = false;
    return {};
  }
  std::string out(static_cast<size_t>(bytes), '\0');
  BOOL usedDefault = FALSE;
  WideCharToMultiByte(CP_ACP, flags, wide.data(), size, out.data(), bytes, nullptr,
                      utf8CodePage ? nullptr : &usedDefault);
  if (exact != nullptr && usedDefault) *exact = false;
  return out;
}

std::string Win32System::FromAnsi(std::string_view ansi) {
  if (ansi.empty() || ansi.size() > INT_MAX) return {};
  const int size = static_cast<int>(ansi.size());
  const int chars = MultiByteToWideChar(CP_ACP, 0, ansi.data(), size, nullptr, 0);
  if (chars <= 0) return {};
  std::wstring wide(static_cast<size_t>(chars), L'\0');
  MultiByteToWideChar(CP_ACP, 0, ansi.data(), size, wide.data(), chars);
  return Narrow(wide);
}

}  // namespace qn::platform::win32
