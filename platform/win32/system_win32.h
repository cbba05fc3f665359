// The real machine: System implemented with Win32 through the shim (shim.h).
// Paths and texts arrive and leave as UTF-8; they are UTF-16 (NT) or ANSI (9x)
// only for the call itself.
#pragma once

#include <windows.h>
// <windows.h> maps ReplaceFile to ReplaceFileW, which would rename
// System::ReplaceFile in whatever includes both; the program never calls the
// Win32 ReplaceFile itself.
#undef ReplaceFile

#include <memory>
#include <string>
#include <string_view>

#include "platform/system.h"

namespace qn::platform::win32 {

class Win32System : public System {
 public:
  uint32_t SwapErrorMode(uint32_t mode) override;
  int32_t FileAttributes(std::string_view path) override;
  [[nodiscard]] ErrorCode ChangeFileAttributes(std::string_view path, int32_t attributes) override;
  int32_t DriveTypeOf(std::string_view root) override;
  bool FreeSpaceEx(std::string_view path, DiskSpaceEx* out) override;
  bool FreeSpaceClusters(std::string_view path, DiskClusters* out) override;
  int QueryVersion(OsVersion* record) override;
  bool ReadVolumeLabel(std::string_view root, std::string* label) override;
  int WriteVolumeLabel(std::string_view root, std::string_view label) override;
  std::string FullPathOf(std::string_view path, size_t bufferChars) override;
  std::string ShortPathOf(std::string_view path, size_t bufferChars) override;
  std::string ListFirst(std::string_view pattern, int32_t attributeMask) override;
  int64_t FileLengthOf(std::string_view path, ErrorCode* error) override;
  std::unique_ptr<File> Open(std::string_view path, Access access, Share share, Disposition disposition,
                             ErrorCode* error) override;
  [[nodiscard]] ErrorCode RemoveFile(std::string_view path) override;
  bool SameFile(std::string_view path, std::string_view other) override;
  [[nodiscard]] ErrorCode MakeFolder(std::string_view path) override;
  [[nodiscard]] ErrorCode RemoveFolder(std::string_view path) override;
  [[nodiscard]] ErrorCode ReplaceFile(std::string_view from, std::string_view to) override;
  std::string DescribeError(ErrorCode code) override;
  std::unique_ptr<Worker> StartWorker() override;

  std::string ProgramFolder() override;
  std::string ProgramFileName() override;
  // Read from the running program's version resource. A program without one
  // (the test programs) gets its file name without extension as product name
  // and title, an empty notice and version 0.0.0.
  ProgramInfo ProgramVersion() override;
  std::string CommandText() override;
  [[nodiscard]] ErrorCode StartProcess(std::string_view commandLine, ShowMode show) override;
  intptr_t ShellOpen(uintptr_t ownerWindow, std::string_view target, std::string_view folder) override;

  int SystemMetric(int index) override;
  double TwipsPerPixelX() override;
  double TwipsPerPixelY() override;

  std::string ToAnsi(std::string_view utf8, bool* exact) override;
  std::string FromAnsi(std::string_view ansi) override;
};

// The version resource of the program file at `path`: ProductName,
// FileDescription (title), LegalCopyright and FILEVERSION a,b,c,d as major a,
// minor b, revision d. Strings come from the first translation the resource
// lists. False, with *info untouched, when the file has no version resource.
bool ReadVersionResource(std::string_view path, ProgramInfo* info);

// The running program's full file name (GetModuleFileName), any length.
std::string ProgramPath();

// What follows the program's own name in a command line, untrimmed. The name
// is cut the way the system's argument parser cuts its first token: up to the
// closing quote when it starts with one (backslashes do not escape there),
// otherwise up to the first blank or tab.
std::string TextAfterProgramName(std::string_view commandLine);

}  // namespace qn::platform::win32
