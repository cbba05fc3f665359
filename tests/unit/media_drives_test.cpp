// Drive services against the simulated machine: what the split job and the
// output gate learn about a drive before they write to it.
#include "media/drives.h"
#include "media/paths.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/sim/sim_system.h"

namespace qn::media {
namespace {

namespace attr = platform::attr;
namespace drive = platform::drive;
using platform::OsVersion;
using platform::sim::DriveSpec;
using platform::sim::Op;
using platform::sim::SimSystem;

constexpr OsVersion kWin95{148, 4, 0, 950, 1};
constexpr OsVersion kNt4{148, 4, 0, 1381, 2};

TEST(DrivesTest, PathAttributesOfADriveAskItsRoot) {
  SimSystem sim;
  sim.AddDrive('A', DriveSpec{.type = drive::kRemovable, .totalBytes = 1457664});
  sim.MakeFolders("C:\\Parts");

  struct Case {
    const char* path;
    const char* queried;  // what the system is asked about
    int32_t attributes;
    uint8_t fileMode;
    const char* why;
  } cases[] = {
      {"A:", "A:\\", attr::kDirectory, 0, "a drive in folder mode asks about its root"},
      {"C:\\Parts\\", "C:\\Parts\\", attr::kDirectory, 0, "a trailing backslash is not doubled"},
      {"C:\\Parts\\none.001", "C:\\Parts\\none.001", -1, 1, "a missing file reads as -1"},
  };
  for (const Case& c : cases) {
    sim.attributeQueries.clear();
    EXPECT_EQ(c.attributes, GetPathAttributes(sim, c.path, c.fileMode)) << c.path << ": " << c.why;
    ASSERT_EQ(1u, sim.attributeQueries.size());
    EXPECT_EQ(c.queried, sim.attributeQueries[0].path) << c.path << ": " << c.why;
  }
}

// Every question the gate asks about a drive without a disk, on either kind
// of system: the system's own "no disk" box would come before the program's
// prompt, and again on every retry.
TEST(DrivesTest, AnEmptyDriveIsQueriedWithoutTheSystemsNoDiskBox) {
  for (const OsVersion& version : {kNt4, kWin95}) {
    SimSystem sim;
    sim.version = version;
    DriveSpec& floppy = sim.AddDrive('A', DriveSpec{.type = drive::kRemovable, .totalBytes = 1457664});
    floppy.notReady = true;
    EXPECT_EQ(-1, GetPathAttributes(sim, "A:\\", 0)) << "an empty drive must read as missing";
    EXPECT_EQ(0.0, GetDriveCapacity(sim, "A:\\REPORT.")) << "an empty drive has no capacity";
    EXPECT_FALSE(Exists(sim, "A:\\")) << "an empty drive must read as missing";
    // The disk taken out just as the write test reads its label.
    floppy.notReady = false;
    sim.fault = [&](Op op, std::string_view) {
      if (op == Op::kVolumeLabel) floppy.notReady = true;
      return platform::err::kNone;
    };
    EXPECT_NE(1, TestVolumeWritable(sim, "A:")) << "a disk taken out passed the write test";
    EXPECT_TRUE(sim.noDiskBoxes.empty()) << "the system asked for a disk first: " << sim.noDiskBoxes[0];
  }
}

TEST(DrivesTest, DriveTypesAndCapacity) {
  SimSystem sim;
  sim.AddDrive('A', DriveSpec{.type = drive::kRemovable, .totalBytes = 1457664});
  sim.WriteFile("A:\\FULL.BIN", std::string(1457664, 'x'));
  sim.AddDrive('B', DriveSpec{.type = drive::kRemovable, .totalBytes = 1457664, .notReady = true});
  sim.AddShare("\\\\srv\\share");
  EXPECT_EQ(drive::kRemovable, GetPathDriveType(sim, "B:")) << "an empty floppy drive is still removable";
  EXPECT_EQ(drive::kNoRootDir, GetPathDriveType(sim, "\\\\")) << "the start of a network path is no drive";
  EXPECT_EQ(drive::kRemote, GetPathDriveType(sim, "\\\\srv\\share"));

  EXPECT_EQ(1457664.0, GetDriveCapacity(sim, "A:\\FULL.BIN")) << "a full disk still reports its total size";
  EXPECT_EQ(8589934592.0, GetDriveCapacity(sim, "C:")) << "sizes above 4 GiB must not wrap";
  EXPECT_EQ(0.0, GetDriveCapacity(sim, "\\\\srv\\share\\dir")) << "a network path cannot be queried";

  double total = -1;
  double free = -2;
  double available = -3;
  EXPECT_EQ(0, QueryDiskSpace(sim, "Q:", &total, &free, &available));
  EXPECT_EQ((std::vector<double>{-1, -2, -3}), (std::vector<double>{total, free, available}))
      << "a failed query must leave the caller's values";
}

TEST(DrivesTest, DiskSpaceOnOlderSystemsDoesNotOverflow) {
  SimSystem sim;
  sim.version = kWin95;
  sim.AddDrive('E', DriveSpec{.totalBytes = 2147483648ull, .sectorsPerCluster = 64});
  sim.WriteFile("E:\\one.bin", "1");  // one 32 KiB cluster
  double total = 0;
  double free = 0;
  double available = 0;
  ASSERT_NE(0, QueryDiskSpace(sim, "E:\\one.bin", &total, &free, &available));
  EXPECT_EQ(2147483648.0, total)
      << "65536 clusters of 64 sectors of 512 bytes must not overflow to a negative size";
  EXPECT_EQ(2147483648.0 - 32768.0, free);

  EXPECT_EQ(4294967295.0, LargeToDouble(-1, 0)) << "the low half is unsigned";
  EXPECT_EQ(9007199254740991.0, LargeToDouble(-1, 0x1FFFFF)) << "2^53 - 1 is exact";
}

TEST(DrivesTest, ExtendedDiskSpaceByVersion) {
  struct Case {
    OsVersion version;
    int result;
    bool extended;
    const char* name;
  } cases[] = {
      {kWin95, 1, false, "Windows 95 (4.0.950)"},
      {OsVersion{148, 4, 0, 0x04000457, 1}, 1, true, "Windows 95 OSR2: build 1111 in the low word"},
      {OsVersion{148, 3, 51, 1057, 2}, 1, false, "NT 3.51"},
      {kNt4, 1, true, "NT 4.0"},
      {kNt4, 0, false, "a failed version query"},
  };
  for (const Case& c : cases) {
    SimSystem sim;
    sim.version = c.version;
    sim.versionResult = c.result;
    EXPECT_EQ(c.extended, HasExtendedDiskSpace(sim)) << c.name << ": free space would be misread";
  }
}

TEST(DrivesTest, VolumeWriteTestRestoresTheLabel) {
  SimSystem sim;
  DriveSpec& floppy =
      sim.AddDrive('A', DriveSpec{.type = drive::kRemovable, .totalBytes = 1457664, .label = "DISK1"});
  EXPECT_EQ(1, TestVolumeWritable(sim, "A:"));
  EXPECT_EQ("DISK1", floppy.label) << "the write test must put the user's label back";

  floppy.writeProtected = true;
  EXPECT_EQ(0, TestVolumeWritable(sim, "A:\\")) << "a write-protected disk passed the write test";

  floppy.notReady = true;
  sim.labelWrites.clear();
  EXPECT_EQ(-1, TestVolumeWritable(sim, "A:"));
  EXPECT_TRUE(sim.labelWrites.empty()) << "an empty drive must not be written to";
}

}  // namespace
}  // namespace qn::media
