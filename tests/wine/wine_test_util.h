// Helpers of the Wine tests: a temporary folder per test, raw file setup that
// does not go through the code under test, and the build tree's location.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

#include "platform/win32/shim.h"

namespace qn::winetest {

using platform::win32::Narrow;
using platform::win32::Widen;

// Deletes a folder and everything in it, read-only files included.
inline void RemoveTree(const std::wstring& folder) {
  WIN32_FIND_DATAW entry{};
  const HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &entry);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = entry.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring path = folder + L"\\" + name;
      SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(path);
      } else {
        DeleteFileW(path.c_str());
      }
    } while (FindNextFileW(find, &entry));
    FindClose(find);
  }
  SetFileAttributesW(folder.c_str(), FILE_ATTRIBUTE_DIRECTORY);
  RemoveDirectoryW(folder.c_str());
}

// A fresh folder in the system's temporary folder, removed with its content
// when the object goes. path() is its UTF-8 path in the stored spelling,
// without a trailing backslash.
class TempDir {
 public:
  TempDir() {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    std::wstring parent = temp;
    while (!parent.empty() && parent.back() == L'\\') parent.pop_back();
    static unsigned counter = 0;
    // Keeps the spelling the file system stores, so comparisons with long
    // forms the program rebuilds are fair.
    wchar_t stored[MAX_PATH] = {};
    for (int attempt = 0; attempt < 1000 && folder_.empty(); ++attempt) {
      const std::wstring candidate =
          parent + L"\\qn" + std::to_wstring(GetCurrentProcessId()) + L"_" + std::to_wstring(++counter);
      if (CreateDirectoryW(candidate.c_str(), nullptr) &&
          GetLongPathNameW(candidate.c_str(), stored, MAX_PATH))
        folder_ = stored;
    }
  }
  ~TempDir() {
    if (!folder_.empty()) RemoveTree(folder_);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  [[nodiscard]] bool ok() const { return !folder_.empty(); }
  [[nodiscard]] std::string path() const { return Narrow(folder_); }
  // The path of `relative` inside the folder.
  [[nodiscard]] std::string operator/(std::string_view relative) const {
    return path() + "\\" + std::string(relative);
  }

 private:
  std::wstring folder_;
};

// Writes `bytes` to a new file, replacing any old one; false on failure.
inline bool WriteWholeFile(const std::string& path, std::string_view bytes) {
  const HANDLE file = CreateFileW(Widen(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  return ok && written == bytes.size();
}

// The whole content of a file, read as the program reads values.ini (any
// other process may write, replace or delete it meanwhile); "" when it
// cannot be read.
inline std::string ReadWholeFile(const std::string& path) {
  const HANDLE file =
      CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  std::string out;
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0) out.append(buffer, got);
  CloseHandle(file);
  return out;
}

// Makes a file of `length` bytes without writing them (a sparse file on the
// host), then writes one byte at each of `marks` (offset, value); false on
// failure.
inline bool MakeLongFile(const std::string& path, int64_t length,
                         std::initializer_list<std::pair<int64_t, char>> marks = {}) {
  const HANDLE file = CreateFileW(Widen(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER end{};
  end.QuadPart = length;
  bool ok = SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file);
  for (const auto& [offset, value] : marks) {
    LARGE_INTEGER at{};
    at.QuadPart = offset;
    DWORD written = 0;
    ok = ok && SetFilePointerEx(file, at, nullptr, FILE_BEGIN) &&
         WriteFile(file, &value, 1, &written, nullptr) && written == 1;
  }
  CloseHandle(file);
  return ok;
}

// Attributes straight from the system, for checks independent of the code
// under test.
inline DWORD RawAttributes(const std::string& path) { return GetFileAttributesW(Widen(path).c_str()); }

// The build tree of this test run as a Windows path (drive Z:); "" when the
// harness did not say (QUARNIMO_BUILD_DIR).
inline std::string BuildDir() {
  const char* dir = std::getenv("QUARNIMO_BUILD_DIR");
  if (dir == nullptr || *dir == '\0') return {};
  std::string out = "Z:";
  for (const char* c = dir; *c != '\0'; ++c) out += *c == '/' ? '\\' : *c;
  while (out.size() > 3 && out.back() == '\\') out.pop_back();
  return out;
}

}  // namespace qn::winetest
