// Quarnimo.exe as the user gets it: its resources (version information and
// icon) and a start that opens the main window, titled with the product
// name, which closes and ends the program cleanly.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "platform/win32/system_win32.h"
#include "tests/wine/wine_test_util.h"

#ifndef QUARNIMO_BUILD_NUMBER
#error "the build number the program is built with is needed"
#endif

namespace qn::winetest {
namespace {

std::string ProgramExe() { return BuildDir() + "\\app\\Quarnimo.exe"; }

TEST(QuarnimoExe, VersionResourceNamesTheProduct) {
  ASSERT_NE(RawAttributes(ProgramExe()), INVALID_FILE_ATTRIBUTES) << ProgramExe() << " was not built";
  platform::ProgramInfo info;
  ASSERT_TRUE(platform::win32::ReadVersionResource(ProgramExe(), &info))
      << "the program has no version resource";
  EXPECT_EQ(info.productName, "Quarnimo") << "the main window's title would be wrong";
  EXPECT_EQ(info.title, "Quarnimo") << "the version dialog's title would be wrong";
  EXPECT_FALSE(info.legalNotice.empty()) << "the version dialog's notice line would be blank";
  EXPECT_EQ(info.major, 1) << "the version dialog would show the wrong version";
  EXPECT_EQ(info.minor, 0);
  EXPECT_EQ(info.revision, QUARNIMO_BUILD_NUMBER) << "the version dialog would show the wrong build";

  // The raw resource: a Japanese translation and FILEVERSION 1,0,0,<build>.
  const std::wstring exe = Widen(ProgramExe());
  DWORD ignored = 0;
  std::vector<BYTE> data(GetFileVersionInfoSizeW(exe.c_str(), &ignored));
  ASSERT_FALSE(data.empty());
  ASSERT_TRUE(GetFileVersionInfoW(exe.c_str(), 0, static_cast<DWORD>(data.size()), data.data()));
  void* value = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", &value, &length));
  ASSERT_GE(length, 4u);
  EXPECT_EQ(static_cast<const WORD*>(value)[0], 0x0411) << "the version information is not marked Japanese";
  ASSERT_TRUE(VerQueryValueW(data.data(), L"\\", &value, &length));
  const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u) << "FILEVERSION must begin 1,0";
  EXPECT_EQ(fixed->dwFileVersionLS, static_cast<DWORD>(QUARNIMO_BUILD_NUMBER))
      << "FILEVERSION must end 0,<build>";
  EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
  EXPECT_EQ(fixed->dwProductVersionLS, fixed->dwFileVersionLS);
}

#pragma pack(push, 2)
struct IconGroupEntry {
  BYTE width;
  BYTE height;
  BYTE colorCount;
  BYTE reserved;
  WORD planes;
  WORD bitCount;
  DWORD bytesInRes;
  WORD id;
};
struct IconGroupHeader {
  WORD reserved;
  WORD type;
  WORD count;
};
#pragma pack(pop)

TEST(QuarnimoExe, IconHasThreeSixteenColourImages) {
  const HMODULE module = LoadLibraryExW(Widen(ProgramExe()).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(module, nullptr) << "the program file cannot be read";
  const HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(14));  // RT_GROUP_ICON
  ASSERT_NE(found, nullptr) << "icon 1, which the window and the version dialog use, is missing";
  const auto* header = static_cast<const IconGroupHeader*>(LockResource(LoadResource(module, found)));
  ASSERT_NE(header, nullptr);
  ASSERT_EQ(header->count, 3) << "the icon needs exactly the 16, 32 and 48 pixel images";
  const auto* entries = reinterpret_cast<const IconGroupEntry*>(header + 1);
  const int sizes[] = {16, 32, 48};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(entries[i].width, sizes[i]) << "image " << i;
    EXPECT_EQ(entries[i].height, sizes[i]) << "image " << i;
    EXPECT_EQ(entries[i].bitCount, 4) << "image " << i << " is not a 16-colour image";
  }
  const HICON icon = static_cast<HICON>(LoadImageW(module, MAKEINTRESOURCEW(1), IMAGE_ICON, 48, 48, 0));
  EXPECT_NE(icon, nullptr) << "the 48 pixel icon cannot be loaded";
  if (icon != nullptr) DestroyIcon(icon);
  FreeLibrary(module);
}

struct WindowSearch {
  DWORD processId;
  HWND found;
};

BOOL CALLBACK FindVisibleWindowOf(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<WindowSearch*>(param);  // NOLINT(performance-no-int-to-ptr)
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == search->processId && IsWindowVisible(window) && GetWindow(window, GW_OWNER) == nullptr) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

// Waits (generously) for a visible top-level window of the process.
HWND WaitForMainWindow(DWORD processId) {
  for (int i = 0; i < 600; ++i) {
    WindowSearch search{processId, nullptr};
    EnumWindows(FindVisibleWindowOf, reinterpret_cast<LPARAM>(&search));
    if (search.found != nullptr) return search.found;
    Sleep(100);
  }
  return nullptr;
}

// Saves the X display as <build>/screenshots/<name>.png through the host's
// xwd and convert. Wine starts host programs but cannot wait for them, so
// the picture is awaited as a file. False when it did not come.
bool TakeScreenshot(const std::string& name) {
  const char* build = std::getenv("QUARNIMO_BUILD_DIR");
  if (build == nullptr) return false;
  const std::string folder = std::string(build) + "/screenshots";
  const std::string target = folder + "/" + name + ".png";
  DeleteFileW(Widen(HostToWindows(target)).c_str());
  const std::string script = "mkdir -p '" + folder +
                             "' && xwd -root -display \"$DISPLAY\" | convert xwd:- '" + target +
                             ".tmp.png' && mv '" + target + ".tmp.png' '" + target + "'";
  std::wstring command = L"/bin/sh -c \"" + Widen(script) + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(L"Z:\\bin\\sh", command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    return false;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  for (int i = 0; i < 300; ++i) {
    if (RawAttributes(HostToWindows(target)) != INVALID_FILE_ATTRIBUTES) return true;
    Sleep(100);
  }
  return false;
}

TEST(QuarnimoExe, MainWindowShowsTheProductNameAndClosesCleanly) {
  std::wstring command = L"\"" + Widen(ProgramExe()) + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                             &process))
      << "Quarnimo.exe does not start: error " << GetLastError();
  CloseHandle(process.hThread);

  const HWND window = WaitForMainWindow(process.dwProcessId);
  if (window == nullptr) TerminateProcess(process.hProcess, 99);
  ASSERT_NE(window, nullptr) << "the program shows no window";
  wchar_t title[256] = {};
  GetWindowTextW(window, title, 256);
  EXPECT_EQ(Narrow(title), "Quarnimo") << "the title bar must show the product name";

  Sleep(500);  // let the X server show the first paint
  const bool shot = TakeScreenshot("minimal");
  std::cout << "[wine] screenshot " << (shot ? "saved in screenshots/minimal.png" : "not taken") << std::endl;

  PostMessageW(window, WM_CLOSE, 0, 0);
  const DWORD wait = WaitForSingleObject(process.hProcess, 60000);
  if (wait != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 99);
  EXPECT_EQ(wait, WAIT_OBJECT_0) << "closing the window must end the program";
  DWORD exitCode = 12345;
  GetExitCodeProcess(process.hProcess, &exitCode);
  EXPECT_EQ(exitCode, 0u) << "a normal close must end with exit code 0";
  CloseHandle(process.hProcess);
}

}  // namespace
}  // namespace qn::winetest
