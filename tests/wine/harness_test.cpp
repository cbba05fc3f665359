// The Wine environment every other Wine test relies on: the Japanese ANSI
// code page, the host's root as drive Z: and the build tree's location.
#include <windows.h>

#include <gtest/gtest.h>

#include "tests/wine/wine_test_util.h"

namespace qn::winetest {
namespace {

TEST(WineHarness, AnsiCodePageIsJapanese) {
  EXPECT_EQ(GetACP(), 932u) << "the tests would not see Shift_JIS file names and text files as a Japanese "
                               "system writes them (run under LC_ALL=ja_JP.UTF-8)";
}

TEST(WineHarness, HostRootIsDriveZ) {
  const DWORD tmp = GetFileAttributesW(L"Z:\\tmp");
  ASSERT_NE(tmp, INVALID_FILE_ATTRIBUTES) << "Z:\\tmp must be the host's /tmp for tests that use host files";
  EXPECT_TRUE(tmp & FILE_ATTRIBUTE_DIRECTORY) << "Z:\\tmp is not a folder";
}

TEST(WineHarness, BuildTreeIsGiven) {
  const std::string build = BuildDir();
  ASSERT_FALSE(build.empty()) << "QUARNIMO_BUILD_DIR is not set: the GUI tests cannot find Quarnimo.exe";
  EXPECT_NE(RawAttributes(build + "\\CMakeCache.txt"), INVALID_FILE_ATTRIBUTES)
      << build << " is not the build tree under Wine's drive Z:";
}

}  // namespace
}  // namespace qn::winetest
