#include "platform/win32/system_win32.h"

#include <windows.h>
// after windows.h
#include <shellapi.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdio>
#include <deque>
#include <functional>
#include <utility>
#include <vector>

#include "platform/win32/shim.h"

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

  [[nodiscard]] ErrorCode WriteAt(int64_t offset, const void* data, size_t size) override {
    if (!handle_.valid()) return err::kInvalidHandle;
    if (offset != position_) {
      if (const ErrorCode failure = Seek(offset); failure != err::kNone) return failure;
    }
    return Write(data, size);
  }

  [[nodiscard]] ErrorCode Flush() override {
    if (!handle_.valid()) return err::kInvalidHandle;
    return FlushFileBuffers(handle_.get()) ? err::kNone : LastError();
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

// The file name part of a Windows path.
std::string_view NameOf(std::string_view path) {
  const size_t slash = path.find_last_of("\\/");
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// One string of a version resource's StringFileInfo block; "" when absent.
std::string VersionString(const std::vector<BYTE>& data, const std::string& block, const char* name) {
  return VerQueryStringU(data, block + name);
}

}  // namespace

std::string ProgramPath() { return GetModuleFileNameU(); }

bool ReadVersionResource(std::string_view path, ProgramInfo* info) {
  std::vector<BYTE> data;
  if (!GetFileVersionInfoU(path, &data)) return false;

  ProgramInfo read;
  const void* value = nullptr;
  UINT length = 0;
  if (VerQueryBinaryU(data, "\\", &value, &length) && length >= sizeof(VS_FIXEDFILEINFO)) {
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
    read.major = HIWORD(fixed->dwFileVersionMS);
    read.minor = LOWORD(fixed->dwFileVersionMS);
    read.revision = LOWORD(fixed->dwFileVersionLS);
  }

  // The first translation the resource lists names its string block.
  std::string block = "\\StringFileInfo\\041104b0\\";
  if (VerQueryBinaryU(data, "\\VarFileInfo\\Translation", &value, &length) && length >= 2 * sizeof(WORD)) {
    const auto* pair = static_cast<const WORD*>(value);
    char name[40];
    std::snprintf(name, sizeof name, "\\StringFileInfo\\%04x%04x\\", pair[0], pair[1]);
    block = name;
  }
  read.productName = VersionString(data, block, "ProductName");
  read.title = VersionString(data, block, "FileDescription");
  read.legalNotice = VersionString(data, block, "LegalCopyright");
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
  return static_cast<int32_t>(GetFileAttributesU(path));
}

ErrorCode Win32System::ChangeFileAttributes(std::string_view path, int32_t attributes) {
  return SetFileAttributesU(path, static_cast<DWORD>(attributes)) ? err::kNone : LastError();
}

int32_t Win32System::DriveTypeOf(std::string_view root) { return static_cast<int32_t>(GetDriveTypeU(root)); }

bool Win32System::FreeSpaceEx(std::string_view path, DiskSpaceEx* out) {
  ULARGE_INTEGER available{}, total{}, free{};
  if (!GetDiskFreeSpaceExU(path, &available, &total, &free)) return false;
  out->availableToCaller = available.QuadPart;
  out->total = total.QuadPart;
  out->totalFree = free.QuadPart;
  return true;
}

bool Win32System::FreeSpaceClusters(std::string_view path, DiskClusters* out) {
  // GetDiskFreeSpace wants a root; a bare "X:" names the same drive.
  std::string root(path);
  if (root.size() == 2 && root[1] == ':') root += '\\';
  DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, totalClusters = 0;
  if (!GetDiskFreeSpaceU(root, &sectorsPerCluster, &bytesPerSector, &freeClusters, &totalClusters)) {
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
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof(info);
  if (!GetVersionExA(&info)) return 0;
  record->major = info.dwMajorVersion;
  record->minor = info.dwMinorVersion;
  record->build = info.dwBuildNumber;
  record->platformId = info.dwPlatformId;
  return 1;
}

bool Win32System::ReadVolumeLabel(std::string_view root, std::string* label) {
  return GetVolumeLabelU(root, label) != FALSE;
}

int Win32System::WriteVolumeLabel(std::string_view root, std::string_view label) {
  return SetVolumeLabelU(root, label) ? 1 : 0;
}

std::string Win32System::FullPathOf(std::string_view path, size_t bufferChars) {
  return GetFullPathNameU(path, bufferChars);
}

std::string Win32System::ShortPathOf(std::string_view path, size_t bufferChars) {
  return GetShortPathNameU(path, bufferChars);
}

std::string Win32System::ListFirst(std::string_view pattern, int32_t attributeMask) {
  FoundFile entry;
  const FindHandle find(FindFirstFileU(pattern, &entry));
  if (!find.valid()) return {};
  constexpr DWORD kFiltered = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY;
  const DWORD allowed = static_cast<DWORD>(attributeMask);
  do {
    if (entry.name == "." || entry.name == "..") continue;
    if ((entry.attributes & kFiltered & ~allowed) == 0) return entry.name;
  } while (FindNextFileU(find.get(), &entry));
  return {};
}

int64_t Win32System::FileLengthOf(std::string_view path, ErrorCode* error) {
  // A folder gives the length the system lists for it, 0.
  uint64_t length = 0;
  const ErrorCode code = GetFileLengthU(path, &length) ? err::kNone : LastError();
  if (error != nullptr) *error = code;
  if (code != err::kNone) return -1;
  return static_cast<int64_t>(length);
}

std::unique_ptr<File> Win32System::Open(std::string_view path, Access access, Share share,
                                        Disposition disposition, ErrorCode* error) {
  const DWORD desired = access == Access::kRead ? GENERIC_READ : GENERIC_WRITE;
  UniqueHandle handle(
      CreateFileU(path, desired, ShareFlags(share), CreationDisposition(disposition), FILE_ATTRIBUTE_NORMAL));
  if (!handle.valid()) {
    const ErrorCode code = LastError();
    if (error != nullptr) *error = code;
    return nullptr;
  }
  if (error != nullptr) *error = err::kNone;
  return std::make_unique<Win32File>(std::move(handle));
}

ErrorCode Win32System::RemoveFile(std::string_view path) {
  return DeleteFileU(path) ? err::kNone : LastError();
}

// Opened for no access at all, so the sharing modes of whoever holds the
// file open do not stand in the way; folders need backup semantics.
bool Win32System::SameFile(std::string_view path, std::string_view other) {
  BY_HANDLE_FILE_INFORMATION info[2]{};
  const std::string_view paths[2] = {path, other};
  for (int i = 0; i < 2; ++i) {
    const UniqueHandle handle(CreateFileU(paths[i], 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS));
    if (!handle.valid() || !GetFileInformationByHandle(handle.get(), &info[i])) return false;
  }
  return info[0].dwVolumeSerialNumber == info[1].dwVolumeSerialNumber &&
         info[0].nFileIndexHigh == info[1].nFileIndexHigh && info[0].nFileIndexLow == info[1].nFileIndexLow;
}

ErrorCode Win32System::MakeFolder(std::string_view path) {
  return CreateDirectoryU(path) ? err::kNone : LastError();
}

ErrorCode Win32System::RemoveFolder(std::string_view path) {
  return RemoveDirectoryU(path) ? err::kNone : LastError();
}

ErrorCode Win32System::ReplaceFile(std::string_view from, std::string_view to) {
  return MoveFileReplacingU(from, to) ? err::kNone : LastError();
}

namespace {

// One thread that runs posted tasks from a queue. The caller waits only
// for the tasks it needs done: under Wine every wake-up of a waiting thread
// takes a trip through the server, and a caller that waited for each task
// kept both threads idle half the time.
class Win32Worker : public Worker {
 public:
  ~Win32Worker() override {
    if (thread_ != nullptr) {
      Wait(0);
      stop_ = true;
      ReleaseSemaphore(queued_, 1, nullptr);
      WaitForSingleObject(thread_, INFINITE);
      CloseHandle(thread_);
    }
    if (queued_ != nullptr) CloseHandle(queued_);
    if (progress_ != nullptr) CloseHandle(progress_);
    DeleteCriticalSection(&lock_);
  }

  // nullptr when the system has no thread or event to spare.
  static std::unique_ptr<Win32Worker> Start() {
    std::unique_ptr<Win32Worker> worker(new Win32Worker);
    worker->queued_ = CreateSemaphoreA(nullptr, 0, 0x7FFFFFFF, nullptr);
    worker->progress_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (worker->queued_ == nullptr || worker->progress_ == nullptr) return nullptr;
    DWORD id = 0;  // Windows 95 wants somewhere to put it
    worker->thread_ = CreateThread(nullptr, 0, &Win32Worker::Main, worker.get(), 0, &id);
    if (worker->thread_ == nullptr) return nullptr;
    return worker;
  }

  void Post(std::function<void()> task) override {
    EnterCriticalSection(&lock_);
    tasks_.push_back(std::move(task));
    LeaveCriticalSection(&lock_);
    ++posted_;
    ReleaseSemaphore(queued_, 1, nullptr);
  }

  void Wait(size_t pending) override {
    const size_t target = posted_ > pending ? posted_ - pending : 0;
    while (done_.load() < target) WaitForSingleObject(progress_, INFINITE);
  }

 private:
  Win32Worker() { InitializeCriticalSection(&lock_); }

  static DWORD WINAPI Main(LPVOID self) {
    auto* worker = static_cast<Win32Worker*>(self);
    for (;;) {
      WaitForSingleObject(worker->queued_, INFINITE);
      if (worker->stop_) return 0;
      EnterCriticalSection(&worker->lock_);
      std::function<void()> task = std::move(worker->tasks_.front());
      worker->tasks_.pop_front();
      LeaveCriticalSection(&worker->lock_);
      try {
        task();
      } catch (...) {
        // A task must not throw; should one, its waiter must not hang.
      }
      ++worker->done_;
      SetEvent(worker->progress_);
    }
  }

  HANDLE thread_ = nullptr;
  HANDLE queued_ = nullptr;    // counts the tasks not yet taken
  HANDLE progress_ = nullptr;  // set after each task
  CRITICAL_SECTION lock_{};
  std::deque<std::function<void()>> tasks_;
  size_t posted_ = 0;  // the caller's own: only its thread touches it
  std::atomic<size_t> done_{0};
  std::atomic<bool> stop_{false};
};

}  // namespace

std::unique_ptr<Worker> Win32System::StartWorker() { return Win32Worker::Start(); }

std::string Win32System::DescribeError(ErrorCode code) {
  std::string text = FormatMessageU(code);
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ')) text.pop_back();
  if (text.empty()) return "Unknown error " + std::to_string(code);
  return text;
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

std::string Win32System::CommandText() { return TextAfterProgramName(GetCommandLineU()); }

ErrorCode Win32System::StartProcess(std::string_view commandLine, ShowMode show) {
  if (commandLine.empty()) return err::kFileNotFound;
  PROCESS_INFORMATION process{};
  if (!CreateProcessU(commandLine, show == ShowMode::kMinimized ? SW_SHOWMINIMIZED : SW_SHOWNORMAL,
                      &process)) {
    return LastError();
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return err::kNone;
}

intptr_t Win32System::ShellOpen(uintptr_t ownerWindow, std::string_view target, std::string_view folder) {
  const HWND owner = reinterpret_cast<HWND>(ownerWindow);  // NOLINT(performance-no-int-to-ptr): a handle
  const HINSTANCE result = ShellExecuteU(owner, "open", target, folder, SW_SHOWNORMAL);
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

std::string Win32System::ToAnsi(std::string_view utf8, bool* exact) { return win32::ToAnsi(utf8, exact); }

std::string Win32System::FromAnsi(std::string_view ansi) { return win32::FromAnsi(ansi); }

}  // namespace qn::platform::win32
