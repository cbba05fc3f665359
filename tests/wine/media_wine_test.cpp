// The path and drive services on the real backend and Wine's file system:
// the short names Wine really generates, long forms rebuilt from them, the
// drive types, sizes and attributes Wine reports. What Wine produced is
// printed for the record.
#include <gtest/gtest.h>

#include <iostream>
#include <string>
#include <vector>

#include "media/drives.h"
#include "media/paths.h"
#include "platform/win32/system_win32.h"
#include "tests/wine/wine_test_util.h"

namespace qn::winetest {
namespace {

using platform::win32::Win32System;
namespace attr = platform::attr;
namespace drive = platform::drive;

// Shows what Wine did in the test log, for the record.
void Record(const std::string& key, const std::string& value) {
  std::cout << "[wine] " << key << " = " << value << std::endl;
}

// Builds, in a fresh folder, names that need short forms: a folder with
// blanks like "Program Files", a long file name, a Japanese long name, a long
// name that itself holds "~", and a name that is a valid 8.3 name already.
class MediaOnWine : public ::testing::Test {
 protected:
  explicit MediaOnWine(std::wstring parent = {}) : dir_(std::move(parent)) {}

  void SetUp() override {
    ASSERT_TRUE(dir_.ok()) << "no temporary folder";
    for (const char* folder : {"Program Files Test", "MixedCase Folder Name",
                               "MixedCase Folder Name\\Sub~Dir Long", "データフォルダ"}) {
      ASSERT_TRUE(CreateDirectoryW(Widen(dir_ / folder).c_str(), nullptr)) << folder;
    }
    for (const char* file : {"Program Files Test\\a long file name.text", "分割テスト用の長いファイル名.txt",
                             "MixedCase Folder Name\\Sub~Dir Long\\Inner File.dat",
                             "データフォルダ\\中身.bin", "SHORT.TXT", "plain.txt"}) {
      ASSERT_TRUE(WriteWholeFile(dir_ / file, "x")) << file;
    }
  }

  Win32System sys_;
  TempDir dir_;
};

// Every component after the drive (or the first ones that need no short
// form) is a valid 8.3 name without blanks.
bool IsShortForm(const std::string& path) {
  size_t start = path.find('\\');
  while (start != std::string::npos) {
    const size_t end = path.find('\\', start + 1);
    const std::string part =
        path.substr(start + 1, end == std::string::npos ? std::string::npos : end - start - 1);
    const size_t dot = part.find('.');
    const size_t stem = dot == std::string::npos ? part.size() : dot;
    if (part.find(' ') != std::string::npos || stem > 8 ||
        (dot != std::string::npos &&
         (part.size() - dot - 1 > 3 || part.find('.', dot + 1) != std::string::npos))) {
      return false;
    }
    for (const unsigned char c : part) {
      if (c >= 0x80) return false;  // Wine's generated names are ASCII
    }
    start = end;
  }
  return true;
}

void CheckShortAndLongForms(platform::System& sys, const TempDir& dir, const std::string& where) {
  const char* names[] = {
      "Program Files Test",
      "Program Files Test\\a long file name.text",
      "分割テスト用の長いファイル名.txt",
      "MixedCase Folder Name\\Sub~Dir Long\\Inner File.dat",
      "データフォルダ\\中身.bin",
  };
  for (const char* name : names) {
    SCOPED_TRACE(name);
    const std::string longPath = dir / name;
    const std::string shortPath = media::GetShortPath(sys, longPath);
    Record(where + " short of " + name, shortPath);
    ASSERT_FALSE(shortPath.empty()) << "an existing file would be taken for missing";
    EXPECT_TRUE(IsShortForm(shortPath)) << shortPath << ": a further instance's command line would break";
    EXPECT_EQ(media::GetShortPath(sys, shortPath), shortPath)
        << "the short form of a short form must be itself, or two texts for one file would differ";
    EXPECT_EQ(media::GetLongPath(sys, shortPath), longPath)
        << "the window would show a spelling other than the stored one";
  }
  // A valid 8.3 name is its own short form.
  const std::string shortName = media::GetShortPath(sys, dir / "SHORT.TXT");
  EXPECT_EQ(shortName.substr(shortName.size() - 10), "\\SHORT.TXT") << shortName;
}

TEST_F(MediaOnWine, ShortNamesWineGeneratesLeadBackToTheStoredNames) {
  CheckShortAndLongForms(sys_, dir_, "C:");
}

// The same on drive Z:, the host's own file system.
class MediaOnHostDrive : public MediaOnWine {
 protected:
  MediaOnHostDrive() : MediaOnWine(L"Z:\\tmp") {}
};

TEST_F(MediaOnHostDrive, ShortNamesWineGeneratesLeadBackToTheStoredNames) {
  CheckShortAndLongForms(sys_, dir_, "Z:");
}

TEST(MediaPrefix, ProgramFilesFoldersOfThePrefixHaveShortForms) {
  Win32System sys;
  for (const char* folder : {"C:\\Program Files", "C:\\Program Files (x86)", "C:\\windows\\system32"}) {
    const std::string shortPath = media::GetShortPath(sys, folder);
    Record(std::string("short of ") + folder, shortPath);
    if (RawAttributes(folder) == INVALID_FILE_ATTRIBUTES) continue;
    EXPECT_TRUE(IsShortForm(shortPath)) << folder << " -> " << shortPath;
    EXPECT_EQ(media::GetLongPath(sys, shortPath), folder)
        << "the long form rebuilt from " << shortPath << " is not the stored spelling";
  }
}

TEST_F(MediaOnWine, MissingPathsHaveNoShortForm) {
  const std::string cases[] = {
      dir_ / "missing.txt",
      dir_ / "missing folder\\plain.txt",
      dir_ / "plain.txt\\below a file",
      dir_ / "Program Files Test\\a long file name.tex",
      "Q:\\nothing here",
  };
  for (const std::string& path : cases) {
    EXPECT_EQ(media::GetShortPath(sys_, path), "") << path << " would count as existing";
    EXPECT_EQ(media::GetLongPath(sys_, path), "") << path << " would get a long form although missing";
  }
}

TEST_F(MediaOnWine, LongPathKeepsTextsWithoutTildeAndRejectsRelativeOnes) {
  const std::string odd = dir_.path() + "\\program FILES test\\A LONG FILE NAME.TEXT";
  EXPECT_EQ(media::GetLongPath(sys_, odd), odd) << "a typed path without ~ must come back as typed";

  wchar_t saved[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, saved);
  ASSERT_TRUE(SetCurrentDirectoryW(Widen(dir_.path()).c_str()));
  EXPECT_FALSE(media::GetShortPath(sys_, "plain.txt").empty())
      << "a relative name of an existing file exists";
  EXPECT_EQ(media::GetLongPath(sys_, "plain.txt"), "")
      << "a relative text has neither drive nor network prefix";
  SetCurrentDirectoryW(saved);
}

TEST_F(MediaOnWine, FullPathResolvesRelativeTextsAgainstTheCurrentFolder) {
  wchar_t saved[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, saved);
  ASSERT_TRUE(SetCurrentDirectoryW(Widen(dir_ / "Program Files Test").c_str()));
  const std::string here = dir_ / "Program Files Test";
  const std::string parent = dir_.path();
  struct Case {
    std::string typed;
    std::string full;
  } const cases[] = {
      {"part.001", here + "\\part.001"},
      {"sub\\part.001", here + "\\sub\\part.001"},
      {".\\a\\..\\b.txt", here + "\\b.txt"},
      {"..\\plain.txt", parent + "\\plain.txt"},
      {"C:part.001", here + "\\part.001"},  // drive-relative: the current folder of C:
      {"\\rooted.txt", here.substr(0, 2) + "\\rooted.txt"},
      {"D:\\x\\..\\y", "D:\\y"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(media::GetFullPath(sys_, c.typed), c.full)
        << c.typed << ": a typed path would name another file";
  }
  SetCurrentDirectoryW(saved);
}

TEST(MediaDrives, DriveTypesWineReports) {
  Win32System sys;
  std::string all;
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    const std::string name = std::string(1, letter) + ":";
    const int32_t type = media::GetPathDriveType(sys, name);
    if (type != drive::kNoRootDir) all += name + std::to_string(type) + " ";
  }
  Record("drive types (letter:type, unmapped omitted)", all);
  EXPECT_EQ(media::GetPathDriveType(sys, "C:"), drive::kFixed)
      << "C: must be a fixed disk for the split checks";
  EXPECT_EQ(media::GetPathDriveType(sys, "c:\\"), drive::kFixed) << "a root with backslash must work as well";
  EXPECT_NE(media::GetPathDriveType(sys, "Z:"), drive::kNoRootDir) << "Z: must be mapped to the host";
  EXPECT_EQ(media::GetPathDriveType(sys, "Q:"), drive::kNoRootDir) << "an unmapped letter must say so";
}

TEST(MediaDrives, CapacityIsTheTotalSizeOfTheDrive) {
  Win32System sys;
  platform::DiskSpaceEx space;
  ASSERT_TRUE(sys.FreeSpaceEx("C:\\", &space));
  Record("C: total bytes", std::to_string(space.total));
  const double capacity = media::GetDriveCapacity(sys, "C:");
  EXPECT_GT(capacity, 0) << "every capacity check would fail";
  EXPECT_EQ(capacity, static_cast<double>(space.total))
      << "capacity must be the drive's total, not its free space";
  EXPECT_EQ(media::GetDriveCapacity(sys, "C:\\Windows\\system32"), capacity) << "only the drive part counts";
  EXPECT_EQ(media::GetDriveCapacity(sys, "\\\\server\\share\\x"), 0) << "a network path has no drive letter";
  EXPECT_EQ(media::GetDriveCapacity(sys, "Q:"), 0) << "a missing drive has no size";
}

// The real backend with an invented system version.
class VersionedSystem : public Win32System {
 public:
  VersionedSystem(int result, uint32_t platformId, uint32_t major, uint32_t minor, uint32_t build)
      : result_(result), platformId_(platformId), major_(major), minor_(minor), build_(build) {}
  int QueryVersion(platform::OsVersion* record) override {
    record->platformId = platformId_;
    record->major = major_;
    record->minor = minor_;
    record->build = build_;
    return result_;
  }

 private:
  int result_;
  uint32_t platformId_, major_, minor_, build_;
};

TEST(MediaDrives, ExtendedDiskSpaceDependsOnTheSystemVersion) {
  Win32System real;
  EXPECT_TRUE(media::HasExtendedDiskSpace(real)) << "Wine is an NT-line system with the 64-bit call";
  struct Case {
    const char* system;
    int result;
    uint32_t platformId, major, minor, build;
    bool expected;
  } const cases[] = {
      {"Windows 95", 1, 1, 4, 0, 950, false},
      {"Windows 95 OSR2", 1, 1, 4, 0, 1111, true},
      {"Windows 98 (build in the low word)", 1, 1, 4, 10, (4u << 24) | (10u << 16) | 1998u, true},
      {"Windows 95 (version in the high word)", 1, 1, 4, 0, (4u << 24) | 950u, false},
      {"Windows Me", 1, 1, 4, 90, 3000, true},
      {"NT 3.51", 1, 2, 3, 51, 1057, false},
      {"NT 4.0", 1, 2, 4, 0, 1381, true},
      {"Windows 2000", 1, 2, 5, 0, 2195, true},
      {"Win32s", 1, 0, 3, 10, 0, false},
      {"a failed version query", 0, 2, 5, 0, 2195, false},
  };
  for (const Case& c : cases) {
    VersionedSystem sys(c.result, c.platformId, c.major, c.minor, c.build);
    EXPECT_EQ(media::HasExtendedDiskSpace(sys), c.expected)
        << c.system << ": the wrong disk-space call is used";
  }
}

TEST(MediaDrives, ClusterCountsGiveTheDriveSizeOnOldSystems) {
  VersionedSystem windows95(1, 1, 4, 0, 950);
  double total = -1, free = -1, available = -1;
  ASSERT_NE(media::QueryDiskSpace(windows95, "C:\\some\\path", &total, &free, &available), 0)
      << "the cluster query must work with a bare drive";
  platform::DiskClusters clusters;
  ASSERT_TRUE(windows95.FreeSpaceClusters("C:\\", &clusters));
  Record("C: clusters (total, sectors/cluster, bytes/sector)",
         std::to_string(clusters.totalClusters) + ", " + std::to_string(clusters.sectorsPerCluster) + ", " +
             std::to_string(clusters.bytesPerSector));
  EXPECT_EQ(total, static_cast<double>(clusters.totalClusters) * clusters.sectorsPerCluster *
                       clusters.bytesPerSector)
      << "the drive size from clusters is not their exact product";
  EXPECT_EQ(free, available) << "the cluster query has no separate per-user figure";
  EXPECT_LE(free, total);
}

TEST_F(MediaOnWine, PathAttributesOfFilesFoldersAndMissingPaths) {
  ASSERT_TRUE(SetFileAttributesW(Widen(dir_ / "SHORT.TXT").c_str(), FILE_ATTRIBUTE_READONLY));
  struct Case {
    std::string path;
    uint8_t fileMode;
    int32_t expected;  // -1 missing, 16 exactly a folder, else bits that must be set
  } const cases[] = {
      {dir_ / "Program Files Test", 0, attr::kDirectory},
      {dir_ / "Program Files Test\\", 0, attr::kDirectory},
      {dir_ / "データフォルダ", 0, attr::kDirectory},
      {dir_ / "missing", 0, attr::kInvalid},
      {dir_ / "missing.txt", 1, attr::kInvalid},
      {dir_ / "plain.txt", 0, attr::kInvalid},  // a file asked as a folder gets a backslash and fails
  };
  for (const Case& c : cases) {
    EXPECT_EQ(media::GetPathAttributes(sys_, c.path, c.fileMode), c.expected)
        << c.path << " mode " << int{c.fileMode} << ": a folder or a missing path would be misjudged";
  }
  const int32_t file = media::GetPathAttributes(sys_, dir_ / "分割テスト用の長いファイル名.txt", 1);
  Record("attributes of a fresh file", std::to_string(file));
  EXPECT_GE(file, 1) << "an existing file must count as existing";
  EXPECT_EQ(file & attr::kDirectory, 0) << "a file must not look like a folder";
  EXPECT_EQ(media::GetPathAttributes(sys_, dir_ / "SHORT.TXT", 1) & attr::kReadOnly, attr::kReadOnly);
  const int32_t root = media::GetPathAttributes(sys_, "C:", 0);
  Record("attributes of C:\\", std::to_string(root));
  EXPECT_NE(root, attr::kInvalid) << "the drive root must exist";
  EXPECT_EQ(GetErrorMode(), 0u) << "the critical-error dialog must be back on after the query";
}

TEST(MediaDrives, VolumeWriteTestLeavesTheLabelAsItWas) {
  Win32System sys;
  std::string before;
  const bool readable = sys.ReadVolumeLabel("C:\\", &before);
  const int32_t result = media::TestVolumeWritable(sys, "C:");
  std::string after;
  sys.ReadVolumeLabel("C:\\", &after);
  Record("C: label before", readable ? "\"" + before + "\"" : "(unreadable)");
  Record("TestVolumeWritable(C:)", std::to_string(result));
  EXPECT_EQ(after, before) << "the write test must not leave the label changed";
  EXPECT_NE(result, -1) << "C: holds a disk";
  EXPECT_EQ(media::TestVolumeWritable(sys, "Q:"), -1) << "a missing drive must count as no disk";
}

}  // namespace
}  // namespace qn::winetest
