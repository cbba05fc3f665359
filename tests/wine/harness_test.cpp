// The Wine environment every other Wine test relies on: the Japanese ANSI
// code page, and the build tree reachable through drive Z:, the host's root.
#include <windows.h>

#include <gtest/gtest.h>

#include "tests/wine/wine_test_util.h"

namespace qn::winetest {
namespace {

TEST(WineHarness, AnsiCodePageIsJapaneseAndTheBuildTreeIsOnDriveZ) {
  EXPECT_EQ(GetACP(), 932u) << "the tests would not see Shift_JIS file names and text files as a Japanese "
                               "system writes them (run under LC_ALL=ja_JP.UTF-8)";
  const std::string build = BuildDir();
  ASSERT_FALSE(build.empty()) << "QUARNIMO_BUILD_DIR is not set: the GUI tests cannot find Quarnimo.exe";
  EXPECT_NE(RawAttributes(build + "\\CMakeCache.txt"), INVALID_FILE_ATTRIBUTES)
      << build << " is not the build tree: Wine's drive Z: is not the host's root";
}

}  // namespace
}  // namespace qn::winetest
