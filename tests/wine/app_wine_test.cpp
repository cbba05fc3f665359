// Quarnimo.exe as the user gets it: its resources (version information and
// icon) and a start that opens the main window, titled with the product
// name, which closes and ends the program cleanly.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win32/system_win32.h"
#include "tests/wine/support/quarnimo_app.h"
#include "tests/wine/wine_test_util.h"

#ifndef QUARNIMO_BUILD_NUMBER
#error "the build number the program is built with is needed"
#endif

namespace qn::winetest {
namespace {

std::string ProgramExe() { return BuildDir() + "\\app\\Quarnimo.exe"; }

TEST(QuarnimoExe, VersionResourceNamesTheProductAndTheBuild) {
  platform::ProgramInfo info;
  ASSERT_TRUE(platform::win32::ReadVersionResource(ProgramExe(), &info))
      << ProgramExe() << " was not built or has no version resource";
  EXPECT_EQ(info.productName, "Quarnimo") << "the main window's title would be wrong";

  const std::wstring exe = Widen(ProgramExe());
  DWORD ignored = 0;
  std::vector<BYTE> data(GetFileVersionInfoSizeW(exe.c_str(), &ignored));
  void* value = nullptr;
  UINT length = 0;
  ASSERT_TRUE(!data.empty() &&
              GetFileVersionInfoW(exe.c_str(), 0, static_cast<DWORD>(data.size()), data.data()) &&
              VerQueryValueW(data.data(), L"\\", &value, &length));
  const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u) << "FILEVERSION must begin 1,0";
  EXPECT_EQ(fixed->dwFileVersionLS, static_cast<DWORD>(QUARNIMO_BUILD_NUMBER))
      << "FILEVERSION must end 0,<build>";
}

TEST(QuarnimoExe, IconHasThreeSixteenColourImages) {
#pragma pack(push, 2)
  struct IconGroupEntry {  // GRPICONDIRENTRY
    BYTE width, height, colorCount, reserved;
    WORD planes, bitCount;
    DWORD bytesInRes;
    WORD id;
  };
#pragma pack(pop)
  const HMODULE module = LoadLibraryExW(Widen(ProgramExe()).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(module, nullptr) << "the program file cannot be read";
  const HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(14));  // RT_GROUP_ICON
  ASSERT_NE(found, nullptr) << "icon 1, which the window and the version dialog use, is missing";
  const auto* header =
      static_cast<const WORD*>(LockResource(LoadResource(module, found)));  // reserved, type, count
  ASSERT_NE(header, nullptr) << "the icon group cannot be read";
  ASSERT_EQ(header[2], 3) << "the icon needs exactly the 16, 32 and 48 pixel images";
  const auto* entries = reinterpret_cast<const IconGroupEntry*>(header + 3);
  for (int i : {0, 1, 2}) {
    const int size = (i + 1) * 16;
    EXPECT_TRUE(entries[i].width == size && entries[i].height == size && entries[i].bitCount == 4)
        << "image " << i << " is not the " << size << " pixel 16-colour image";
  }
  FreeLibrary(module);
}

TEST(QuarnimoExe, MainWindowShowsTheProductNameAndClosesCleanly) {
  const TempDir dir;
  QuarnimoApp app(dir.path());
  ASSERT_TRUE(app.ok()) << app.error();
  EXPECT_EQ(guitest::WindowText(app.window()), "Quarnimo") << "the title bar must show the product name";
  EXPECT_EQ(app.Close(60000), 0) << "closing the window must end the program, with exit code 0";
}

}  // namespace
}  // namespace qn::winetest
