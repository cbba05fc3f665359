// The platform's own limit for the split benchmark: the same part files as
// Quarnimo writes, made by the plainest ReadFile/WriteFile loop through one
// buffer allocated once. No checks, no prompts, no window.
//
// Usage: plain_split.exe SOURCE STEM PARTBYTES [BUFFERKIB]
//   writes STEM001, STEM002, ... (the number text as Quarnimo forms it).
//   BUFFERKIB defaults to 256, the fastest size measured here; 8 MiB is
//   1.5 to 2 times slower under Wine.
#include <windows.h>
// after windows.h
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

int Fail(const char* what) {
  std::fprintf(stderr, "plain_split: %s failed (%lu)\n", what, GetLastError());
  return 1;
}

std::wstring NumberText(long long n) {
  std::wstring digits = std::to_wstring(n);
  while (digits.size() < 3) digits.insert(digits.begin(), L'0');
  return digits;
}

}  // namespace

int main() {
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argv == nullptr || argc < 4) {
    std::fprintf(stderr, "usage: plain_split SOURCE STEM PARTBYTES [BUFFERKIB]\n");
    return 2;
  }
  const std::wstring stem = argv[2];
  const long long partBytes = _wtoi64(argv[3]);
  const DWORD bufferBytes = static_cast<DWORD>(argc > 4 ? _wtoi(argv[4]) : 256) << 10;
  if (partBytes <= 0 || bufferBytes == 0) return 2;

  HANDLE source = CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (source == INVALID_HANDLE_VALUE) return Fail("opening the source");
  char* buffer = static_cast<char*>(VirtualAlloc(nullptr, bufferBytes, MEM_COMMIT, PAGE_READWRITE));
  if (buffer == nullptr) return Fail("allocating the buffer");

  bool more = true;
  for (long long n = 1; more; ++n) {
    long long left = partBytes;
    HANDLE part = INVALID_HANDLE_VALUE;
    while (left > 0) {
      const DWORD ask = static_cast<DWORD>(left < bufferBytes ? left : bufferBytes);
      DWORD got = 0;
      if (!ReadFile(source, buffer, ask, &got, nullptr)) return Fail("reading");
      if (got == 0) {
        more = false;
        break;
      }
      if (part == INVALID_HANDLE_VALUE) {
        part = CreateFileW((stem + NumberText(n)).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
        if (part == INVALID_HANDLE_VALUE) return Fail("creating a part");
      }
      DWORD written = 0;
      if (!WriteFile(part, buffer, got, &written, nullptr) || written != got) return Fail("writing");
      left -= got;
    }
    if (part != INVALID_HANDLE_VALUE && !CloseHandle(part)) return Fail("closing a part");
  }
  CloseHandle(source);
  VirtualFree(buffer, 0, MEM_RELEASE);
  LocalFree(argv);
  return 0;
}
