// The path and drive services on the real backend and Wine's file system:
// the short names Wine really generates, long forms rebuilt from them, the
// drive types, sizes and attributes Wine reports.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <string>

#include "media/drives.h"
#include "media/paths.h"
#include "platform/win32/shim.h"
#include "platform/win32/system_win32.h"
#include "tests/wine/wine_test_util.h"

namespace qn::winetest {
namespace {

using platform::win32::Win32System;
namespace attr = platform::attr;
namespace drive = platform::drive;

// Builds, in a fresh folder, names that need short forms: a folder with
// blanks like "Program Files", a long file name, hidden Japanese long names,
// and names that are valid 8.3 names already.
class MediaOnWine : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.ok()) << "no temporary folder";
    for (const char* folder : {"Program Files Test", "データフォルダ"}) {
      ASSERT_TRUE(CreateDirectoryW(Widen(dir_ / folder).c_str(), nullptr)) << folder;
    }
    for (const char* file : {"Program Files Test\\a long file name.text", "分割テスト用の長いファイル名.txt",
                             "データフォルダ\\中身.bin", "SHORT.TXT", "plain.txt"}) {
      ASSERT_TRUE(WriteWholeFile(dir_ / file, "x")) << file;
    }
    // Long forms are rebuilt through hidden folders and files too (AppData is one).
    for (const char* hidden : {"データフォルダ", "データフォルダ\\中身.bin"}) {
      ASSERT_TRUE(SetFileAttributesW(Widen(dir_ / hidden).c_str(), FILE_ATTRIBUTE_HIDDEN)) << hidden;
    }
  }

  Win32System sys_;
  TempDir dir_;
};

// A short form as a further instance's command line needs it: no blanks,
// nothing outside ASCII, no component longer than an 8.3 name.
bool IsShortForm(const std::string& path) {
  size_t component = 0;
  for (const unsigned char c : path) {
    component = c == '\\' ? 0 : component + 1;
    if (c == ' ' || c >= 0x80 || component > 12) return false;
  }
  return true;
}

TEST_F(MediaOnWine, ShortNamesWineGeneratesLeadBackToTheStoredNames) {
  for (const char* name : {"Program Files Test", "Program Files Test\\a long file name.text",
                           "分割テスト用の長いファイル名.txt", "データフォルダ\\中身.bin"}) {
    SCOPED_TRACE(name);
    const std::string longPath = dir_ / name;
    const std::string shortPath = media::GetShortPath(sys_, longPath);
    ASSERT_FALSE(shortPath.empty()) << "an existing file would be taken for missing";
    EXPECT_TRUE(IsShortForm(shortPath)) << shortPath << ": a further instance's command line would break";
    EXPECT_EQ(media::GetShortPath(sys_, shortPath), shortPath)
        << "the short form of a short form must be itself, or two texts for one file would differ";
    EXPECT_EQ(media::GetLongPath(sys_, shortPath), longPath)
        << "the window would show a spelling other than the stored one";
  }
  EXPECT_TRUE(media::GetShortPath(sys_, dir_ / "SHORT.TXT").ends_with("\\SHORT.TXT"))
      << "a valid 8.3 name is its own short form";
}

TEST_F(MediaOnWine, MissingPathsHaveNoShortForm) {
  for (const std::string& path :
       {dir_ / "missing.txt", dir_ / "missing folder\\plain.txt", dir_ / "plain.txt\\below a file",
        dir_ / "Program Files Test\\a long file name.tex"}) {
    EXPECT_EQ(media::GetShortPath(sys_, path), "") << path << " would count as existing";
    EXPECT_EQ(media::GetLongPath(sys_, path), "") << path << " would get a long form although missing";
  }
}

TEST_F(MediaOnWine, PathAttributesOfFilesFoldersAndMissingPaths) {
  ASSERT_TRUE(SetFileAttributesW(Widen(dir_ / "SHORT.TXT").c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(media::GetPathAttributes(sys_, dir_ / "Program Files Test\\", 0), attr::kDirectory)
      << "a folder typed with a backslash would be misjudged";
  EXPECT_EQ(media::GetPathAttributes(sys_, dir_ / "plain.txt", 0), attr::kInvalid)
      << "a file asked as a folder must fail";
  EXPECT_EQ(media::GetPathAttributes(sys_, dir_ / "missing.txt", 1), attr::kInvalid);
  const int32_t readOnly = media::GetPathAttributes(sys_, dir_ / "SHORT.TXT", 1);
  EXPECT_TRUE(readOnly > 0 && (readOnly & (attr::kReadOnly | attr::kDirectory)) == attr::kReadOnly)
      << readOnly << ": a read-only file must count as an existing read-only file";
  EXPECT_EQ(GetErrorMode(), 0u) << "the critical-error dialog must be back on after the query";
}

TEST(MediaDrives, DriveTypesAndCapacityWineReports) {
  Win32System sys;
  EXPECT_EQ(media::GetPathDriveType(sys, "C:"), drive::kFixed)
      << "C: must be a fixed disk for the split checks";
  EXPECT_NE(media::GetPathDriveType(sys, "Z:"), drive::kNoRootDir) << "Z: must be mapped to the host";
  EXPECT_EQ(media::GetPathDriveType(sys, "Q:"), drive::kNoRootDir) << "an unmapped letter must say so";
  EXPECT_EQ(media::GetDriveCapacity(sys, "Q:"), 0) << "a missing drive has no size";
}

// The real backend with an invented system version.
class VersionedSystem : public Win32System {
 public:
  VersionedSystem(int result, uint32_t platformId, uint32_t major, uint32_t minor, uint32_t build)
      : result_(result), version_{148, major, minor, build, platformId} {}
  int QueryVersion(platform::OsVersion* record) override {
    *record = version_;
    return result_;
  }

 private:
  int result_;
  platform::OsVersion version_;
};

// The Windows version the run asks Wine for (QUARNIMO_WINE_VERSION, see
// wine-run.sh; Wine's own NT default when unset) decides the disk-space call
// and whether the shim takes the A functions; both run on Wine's real calls.
TEST(MediaDrives, DriveServicesFollowTheWindowsVersionWineReports) {
  const char* asked = std::getenv("QUARNIMO_WINE_VERSION");
  const std::string version = asked != nullptr ? asked : "";
  const struct {
    const char* name;
    DWORD platformId, major, minor;
  } versions[] = {{"", VER_PLATFORM_WIN32_NT, 0, 0},
                  {"win98", VER_PLATFORM_WIN32_WINDOWS, 4, 10},
                  {"nt40", VER_PLATFORM_WIN32_NT, 4, 0},
                  {"win2k", VER_PLATFORM_WIN32_NT, 5, 0}};
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof info;
  ASSERT_TRUE(GetVersionExA(&info));
  const auto* expected = std::find_if(std::begin(versions), std::end(versions),
                                      [&](const auto& v) { return version == v.name; });
  ASSERT_NE(expected, std::end(versions)) << version << ": no such version in this test";
  EXPECT_EQ(info.dwPlatformId, expected->platformId)
      << version << ": Wine did not take the version asked for";
  if (!version.empty()) {
    EXPECT_EQ(info.dwMajorVersion, expected->major) << version;
    EXPECT_EQ(info.dwMinorVersion, expected->minor) << version;
  }
  EXPECT_EQ(platform::win32::AnsiOnly(), info.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS)
      << version << ": the 9x line must take the A functions, the NT line the W functions";

  // Every one of them has the 64-bit call (98 by its build above 1000): the
  // drive's size comes from it, through GetDiskFreeSpaceExA on 98.
  Win32System real;
  EXPECT_TRUE(media::HasExtendedDiskSpace(real)) << version << ": the wrong disk-space call is used";
  platform::DiskSpaceEx space;
  ASSERT_TRUE(real.FreeSpaceEx("C:\\", &space)) << version;
  EXPECT_GT(space.total, 0u) << version << ": every capacity check would fail";
  EXPECT_EQ(media::GetDriveCapacity(real, "C:\\some\\path"), static_cast<double>(space.total))
      << version << ": the capacity must be the drive's total, and only the drive part counts";
  // The write test sets the label and puts the old one back.
  std::string before, after;
  ASSERT_TRUE(real.ReadVolumeLabel("C:\\", &before)) << version;
  EXPECT_EQ(media::TestVolumeWritable(real, "C:"), 1)
      << version << ": a writable disk is taken for a protected one";
  ASSERT_TRUE(real.ReadVolumeLabel("C:\\", &after)) << version;
  EXPECT_EQ(after, before) << version << ": the write test left the label changed";

  // Windows 95 before OSR2 takes the real cluster counts instead.
  VersionedSystem windows95(1, 1, 4, 0, (4u << 24) | 950u);
  ASSERT_FALSE(media::HasExtendedDiskSpace(windows95));
  double total = -1, free = -1, available = -1;
  ASSERT_NE(media::QueryDiskSpace(windows95, "C:\\some\\path", &total, &free, &available), 0);
  platform::DiskClusters clusters;
  ASSERT_TRUE(windows95.FreeSpaceClusters("C:\\", &clusters));
  EXPECT_EQ(total, static_cast<double>(clusters.totalClusters) * clusters.sectorsPerCluster *
                       clusters.bytesPerSector)
      << "the drive size from clusters is not their exact product";
}

}  // namespace
}  // namespace qn::winetest
