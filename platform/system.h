// What the program asks of Windows, in Windows' own terms. The rest of the
// program reaches the operating system only through a System passed in, so a
// test can hand in the simulated machine (platform/sim) instead of the real
// one (platform/win32). Text is UTF-8 everywhere; a backend converts at its edge.
//
// Names differ from the Win32 functions on purpose: the A/W macros of
// <windows.h> would otherwise rename these members inside the Win32 backend.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace qn::platform {

// A Win32 error number (winerror.h). 0 is success. The same numbers on every
// backend, so what the program records under LastErrorNumber means one thing.
using ErrorCode = uint32_t;

namespace err {
inline constexpr ErrorCode kNone = 0;
inline constexpr ErrorCode kFileNotFound = 2;
inline constexpr ErrorCode kPathNotFound = 3;
inline constexpr ErrorCode kAccessDenied = 5;
inline constexpr ErrorCode kInvalidHandle = 6;
inline constexpr ErrorCode kNotEnoughMemory = 8;
inline constexpr ErrorCode kOutOfMemory = 14;
inline constexpr ErrorCode kWriteProtect = 19;
inline constexpr ErrorCode kNotReady = 21;
inline constexpr ErrorCode kCrc = 23;
inline constexpr ErrorCode kSeek = 25;
inline constexpr ErrorCode kSectorNotFound = 27;
inline constexpr ErrorCode kWriteFault = 29;
inline constexpr ErrorCode kReadFault = 30;
inline constexpr ErrorCode kGenFailure = 31;
inline constexpr ErrorCode kSharingViolation = 32;
inline constexpr ErrorCode kLockViolation = 33;
inline constexpr ErrorCode kHandleEof = 38;
inline constexpr ErrorCode kHandleDiskFull = 39;
inline constexpr ErrorCode kFileExists = 80;
inline constexpr ErrorCode kInvalidParameter = 87;
inline constexpr ErrorCode kDiskFull = 112;
inline constexpr ErrorCode kInvalidName = 123;
inline constexpr ErrorCode kDirNotEmpty = 145;
inline constexpr ErrorCode kAlreadyExists = 183;
inline constexpr ErrorCode kFilenameTooLong = 206;
inline constexpr ErrorCode kDirectory = 267;
inline constexpr ErrorCode kIoDevice = 1117;
}  // namespace err

// File attribute bits as GetFileAttributes reports them.
namespace attr {
inline constexpr int32_t kInvalid = -1;
inline constexpr int32_t kReadOnly = 1;
inline constexpr int32_t kHidden = 2;
inline constexpr int32_t kSystem = 4;
inline constexpr int32_t kDirectory = 16;
inline constexpr int32_t kArchive = 32;
inline constexpr int32_t kNormal = 128;
}  // namespace attr

// Drive type codes of GetDriveType.
namespace drive {
inline constexpr int32_t kUnknown = 0;
inline constexpr int32_t kNoRootDir = 1;
inline constexpr int32_t kRemovable = 2;
inline constexpr int32_t kFixed = 3;
inline constexpr int32_t kRemote = 4;
inline constexpr int32_t kCdRom = 5;
inline constexpr int32_t kRamDisk = 6;
}  // namespace drive

// OSVERSIONINFOA as far as the program reads it.
struct OsVersion {
  uint32_t size = 148;
  uint32_t major = 0;
  uint32_t minor = 0;
  uint32_t build = 0;
  uint32_t platformId = 0;  // 1 Windows 9x line, 2 NT line
};

// GetDiskFreeSpaceEx's three byte counts.
struct DiskSpaceEx {
  uint64_t availableToCaller = 0;
  uint64_t total = 0;
  uint64_t totalFree = 0;
};

// GetDiskFreeSpace's cluster counts.
struct DiskClusters {
  uint32_t sectorsPerCluster = 0;
  uint32_t bytesPerSector = 0;
  uint32_t freeClusters = 0;
  uint32_t totalClusters = 0;
};

// What the program's version resource says about itself.
struct ProgramInfo {
  std::string productName;  // window title
  std::string title;        // application title of the version dialog
  std::string legalNotice;  // legal copyright line
  int major = 0;
  int minor = 0;
  int revision = 0;
};

enum class Access { kRead, kWrite };
// Which other opens a file tolerates while this handle is open.
enum class Share { kNone, kRead, kReadWrite, kReadWriteDelete };
enum class Disposition { kOpenExisting, kCreateAlways, kCreateNew };

// ShowWindow modes for a started process.
enum class ShowMode { kNormal = 1, kMinimized = 2 /* SW_SHOWMINIMIZED: minimized with focus */ };

// An open file. Destroying it closes it and ignores any error; call Close()
// where the error matters (the last buffered bytes of a written file).
class File {
 public:
  virtual ~File() = default;
  File() = default;
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // Reads up to `size` bytes starting at `offset`. *got tells how many came;
  // fewer than asked only at the end of the file.
  [[nodiscard]] virtual ErrorCode ReadAt(int64_t offset, void* data, size_t size, size_t* got) = 0;
  // Writes all `size` bytes at the current position; anything less is an error
  // (a full disk gives err::kDiskFull or err::kHandleDiskFull).
  [[nodiscard]] virtual ErrorCode Write(const void* data, size_t size) = 0;
  // Writes all `size` bytes at `offset`, within what was written already,
  // and leaves the position there.
  [[nodiscard]] virtual ErrorCode WriteAt(int64_t offset, const void* data, size_t size) = 0;
  // Writes what the system still caches of this file to the disk
  // (FlushFileBuffers), so the disk may be taken out once the file is closed.
  [[nodiscard]] virtual ErrorCode Flush() = 0;
  // Closes the handle; a second call does nothing and returns 0.
  [[nodiscard]] virtual ErrorCode Close() = 0;
};

// A second thread for computing beside the window's thread. It runs the
// tasks posted to it one after another, in the order posted.
class Worker {
 public:
  virtual ~Worker() = default;  // waits for the tasks still posted
  Worker() = default;
  Worker(const Worker&) = delete;
  Worker& operator=(const Worker&) = delete;
  // The task must not throw; what it touches is its own until it has run.
  virtual void Post(std::function<void()> task) = 0;
  // Waits until every task posted has run but the last `pending` ones.
  virtual void Wait(size_t pending = 0) = 0;
};

class System {
 public:
  virtual ~System() = default;

  // ---- files, folders and drives -------------------------------------------
  // SetErrorMode; returns the previous mode. Mode 1 suppresses the
  // critical-error dialog for an empty drive.
  virtual uint32_t SwapErrorMode(uint32_t mode) = 0;
  // GetFileAttributes: attribute bits, or attr::kInvalid (-1).
  virtual int32_t FileAttributes(std::string_view path) = 0;
  [[nodiscard]] virtual ErrorCode ChangeFileAttributes(std::string_view path, int32_t attributes) = 0;
  // GetDriveType of a root such as "A:\".
  virtual int32_t DriveTypeOf(std::string_view root) = 0;
  // GetDiskFreeSpaceEx / GetDiskFreeSpace; false when the call fails.
  virtual bool FreeSpaceEx(std::string_view path, DiskSpaceEx* out) = 0;
  virtual bool FreeSpaceClusters(std::string_view path, DiskClusters* out) = 0;
  // GetVersionEx: the call's result (positive on success) and the record.
  virtual int QueryVersion(OsVersion* record) = 0;
  // GetVolumeInformation's label of a root; false when the call fails.
  virtual bool ReadVolumeLabel(std::string_view root, std::string* label) = 0;
  // SetVolumeLabel; 1 on success, 0 on failure.
  virtual int WriteVolumeLabel(std::string_view root, std::string_view label) = 0;
  // GetFullPathName into a buffer of `bufferChars` characters; "" when the call
  // fails or the buffer is too small.
  virtual std::string FullPathOf(std::string_view path, size_t bufferChars) = 0;
  // GetShortPathName into a buffer of `bufferChars`; "" when the path does not
  // exist, the call fails or the buffer is too small.
  virtual std::string ShortPathOf(std::string_view path, size_t bufferChars) = 0;
  // The stored name of the first directory entry that matches `pattern` and
  // whose hidden, system and folder bits all lie within `attributeMask`
  // (plain files always pass); "" when nothing matches.
  virtual std::string ListFirst(std::string_view pattern, int32_t attributeMask) = 0;
  // The true 64-bit length of a file; -1 with *error set when it cannot be read.
  virtual int64_t FileLengthOf(std::string_view path, ErrorCode* error) = 0;
  virtual std::unique_ptr<File> Open(std::string_view path, Access access, Share share,
                                     Disposition disposition, ErrorCode* error) = 0;
  [[nodiscard]] virtual ErrorCode RemoveFile(std::string_view path) = 0;
  // True when both paths name one existing file or folder (the same volume
  // and file index, however the texts are spelled); false otherwise.
  virtual bool SameFile(std::string_view path, std::string_view other) = 0;
  [[nodiscard]] virtual ErrorCode MakeFolder(std::string_view path) = 0;
  [[nodiscard]] virtual ErrorCode RemoveFolder(std::string_view path) = 0;
  // Moves `from` over `to` in one step (MoveFileEx with replace-existing and
  // write-through): a reader of `to` sees the old file or the new one, whole.
  [[nodiscard]] virtual ErrorCode ReplaceFile(std::string_view from, std::string_view to) = 0;
  // The system's description of an error number (FormatMessage), no line end.
  virtual std::string DescribeError(ErrorCode code) = 0;
  // A worker thread; nullptr when none can be had, and the caller computes alone.
  virtual std::unique_ptr<Worker> StartWorker() = 0;

  // ---- the program and its process ------------------------------------------
  // The folder that holds the running program, without a trailing backslash
  // unless it is a drive root ("C:\").
  virtual std::string ProgramFolder() = 0;
  // The running program's file name with its extension ("Quarnimo.exe").
  virtual std::string ProgramFileName() = 0;
  virtual ProgramInfo ProgramVersion() = 0;
  // Everything after the program's own name on the command line, untrimmed.
  virtual std::string CommandText() = 0;
  // Starts a command line as a new process without waiting for it.
  [[nodiscard]] virtual ErrorCode StartProcess(std::string_view commandLine, ShowMode show) = 0;
  // ShellExecute(owner, "open", target, none, folder, SW_SHOWNORMAL); above 32 is success.
  virtual intptr_t ShellOpen(uintptr_t ownerWindow, std::string_view target, std::string_view folder) = 0;

  // ---- screen ---------------------------------------------------------------
  // GetSystemMetrics (SM_CXFULLSCREEN 16, SM_CYFULLSCREEN 17, SM_CYMENU 15, ...).
  virtual int SystemMetric(int index) = 0;
  // Twips per screen pixel (15 at 96 dpi).
  virtual double TwipsPerPixelX() = 0;
  virtual double TwipsPerPixelY() = 0;

  // ---- text -----------------------------------------------------------------
  // UTF-8 to the ANSI code page (Shift_JIS on a Japanese system) and back, for
  // the text files the program writes. *exact is false when a character had
  // no spelling in the code page and was replaced.
  virtual std::string ToAnsi(std::string_view utf8, bool* exact) = 0;
  virtual std::string FromAnsi(std::string_view ansi) = 0;
};

}  // namespace qn::platform
