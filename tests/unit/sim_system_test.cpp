// The simulated machine's own rules that every later test relies on.
#include "platform/sim/sim_system.h"

#include <gtest/gtest.h>

#include <string>

namespace qn::platform::sim {
namespace {

constexpr size_t kBuffer = 520;

TEST(SimSystemTest, ShortNamesFollowWindowsRules) {
  SimSystem sim;
  sim.MakeFolders("C:\\Program Data");  // after "Program Files", which the constructor made
  sim.WriteFile("C:\\readme.txt", "r");
  sim.WriteFile("C:\\a+b.txt", "x");
  sim.WriteFile("C:\\日本語のファイル名.txt", "x");
  struct Case {
    const char* path;
    const char* shortPath;
    const char* why;
  } cases[] = {
      {"C:\\Program Files", "C:\\PROGRA~1", "a name with a blank needs a short name"},
      {"C:\\Program Data", "C:\\PROGRA~2", "a second name with the same start must get the next number"},
      {"C:\\a+b.txt", "C:\\A_B~1.TXT", "+ is not allowed in a short name"},
      {"C:\\日本語のファイル名.txt", "C:\\日本語~1.TXT", "six bytes of code page 932 hold three kanji"},
      {"c:\\program files\\Quarnimo\\Quarnimo.exe", "c:\\PROGRA~1\\Quarnimo\\Quarnimo.exe",
       "found in any letter case; the drive and valid 8.3 components stay as written"},
      {"C:/PROGRA~1/", "C:\\PROGRA~1\\", "short names resolve; slashes count as backslashes"},
      {"C:\\readme.txt\\x", "", "a file cannot be a folder on the way"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.shortPath, sim.ShortPathOf(c.path, kBuffer)) << c.path << ": " << c.why;
  }
  sim.WriteFile("C:\\Program Zoo", "x");
  EXPECT_EQ("C:\\PROGRA~1", sim.ShortPathOf("C:\\Program Files", kBuffer))
      << "a short name must stay the same for the life of the file, or saved short paths break";
  EXPECT_EQ("", sim.ShortPathOf("C:\\Program Files", 11)) << "a result longer than the buffer must be empty";
}

// Path services pass the mask of what they want listed; a sim that listed
// everything would hide a missing bit.
TEST(SimSystemTest, ListsByAttributeMask) {
  SimSystem sim;
  sim.WriteFile("C:\\out\\Late File.txt", "late");
  ASSERT_EQ(err::kNone, sim.ChangeFileAttributes("C:\\out\\Late File.txt", attr::kHidden));
  EXPECT_EQ("Late File.txt", sim.ListFirst("C:\\out\\LATEFI~1.TXT", 39))
      << "a listing must find a file by its short name and report its stored one";
  EXPECT_EQ("", sim.ListFirst("C:\\out\\l*", 33)) << "hidden files need the hidden bit in the mask";
  EXPECT_EQ("", sim.ListFirst("C:\\program files", 39)) << "a folder needs the folder bit in the mask";
}

TEST(SimSystemTest, SharingAndDeletionRules) {
  SimSystem sim;
  sim.WriteFile("C:\\f.bin", "data");
  ErrorCode error = 0;
  auto reader = sim.Open("C:\\f.bin", Access::kRead, Share::kRead, Disposition::kOpenExisting, &error);
  ASSERT_NE(nullptr, reader) << error;
  EXPECT_EQ(nullptr,
            sim.Open("C:\\F.BIN", Access::kWrite, Share::kReadWrite, Disposition::kOpenExisting, &error));
  EXPECT_EQ(err::kSharingViolation, error) << "a file shared for reading only must not be opened for writing";
  EXPECT_EQ(err::kSharingViolation, sim.RemoveFile("C:\\f.bin"))
      << "a file open without delete sharing must not be deleted";
  reader.reset();  // destruction closes
  EXPECT_EQ(0u, sim.OpenFileCount()) << "a destroyed handle must not keep the file locked";

  auto shared =
      sim.Open("C:\\f.bin", Access::kRead, Share::kReadWriteDelete, Disposition::kOpenExisting, &error);
  EXPECT_EQ(err::kNone, sim.RemoveFile("C:\\f.bin")) << "delete sharing allows deletion";
  shared.reset();

  sim.WriteFile("C:\\ro.txt", "keep");
  ASSERT_EQ(err::kNone, sim.ChangeFileAttributes("C:\\ro.txt", attr::kReadOnly));
  EXPECT_EQ(nullptr,
            sim.Open("C:\\ro.txt", Access::kWrite, Share::kNone, Disposition::kCreateAlways, &error));
  EXPECT_EQ(err::kAccessDenied, error) << "a read-only file must not be overwritten";
  EXPECT_EQ(err::kAccessDenied, sim.RemoveFile("C:\\ro.txt")) << "a read-only file must not be deleted";
  EXPECT_EQ("keep", sim.ReadFile("C:\\ro.txt"));
  EXPECT_EQ(err::kAccessDenied, sim.RemoveFile("C:\\Program Files"))
      << "a folder cannot be deleted as a file";
  EXPECT_EQ(nullptr,
            sim.Open("C:\\nodir\\x", Access::kWrite, Share::kNone, Disposition::kCreateAlways, &error));
  EXPECT_EQ(err::kPathNotFound, error) << "creating a file in a missing folder must fail";
}

TEST(SimSystemTest, FullDiskKeepsWhatFits) {
  SimSystem sim;
  sim.AddDrive('A', DriveSpec{.type = drive::kRemovable, .totalBytes = 4096, .label = "FD"});
  sim.WriteFile("A:\\old.bin", std::string(1000, 'o'));  // two 512-byte clusters
  DiskSpaceEx space;
  ASSERT_TRUE(sim.FreeSpaceEx("A:", &space));
  EXPECT_EQ(3072u, space.totalFree) << "each file takes whole clusters";
  ErrorCode error = 0;
  auto out = sim.Open("A:\\NEW.001", Access::kWrite, Share::kNone, Disposition::kCreateNew, &error);
  ASSERT_NE(nullptr, out) << error;
  EXPECT_EQ(err::kDiskFull, out->Write(std::string(5000, 'n').data(), 5000))
      << "a write beyond the disk's size must fail";
  EXPECT_EQ(err::kNone, out->Close());
  EXPECT_EQ(3072, sim.FileLengthOf("A:\\new.001", &error)) << "what fitted must stay on the disk";
}

TEST(SimSystemTest, NotReadyWriteProtectedAndSwappedDisks) {
  SimSystem sim;
  DriveSpec& floppy =
      sim.AddDrive('A', DriveSpec{.type = drive::kRemovable, .totalBytes = 1457664, .label = "DISK1"});
  sim.WriteFile("A:\\one.txt", "1");
  ErrorCode error = 0;
  auto open = sim.Open("A:\\one.txt", Access::kRead, Share::kRead, Disposition::kOpenExisting, &error);
  ASSERT_NE(nullptr, open);
  char byte = 0;
  size_t got = 0;

  floppy.notReady = true;
  EXPECT_EQ(attr::kInvalid, sim.FileAttributes("A:\\")) << "an empty drive has no root";
  EXPECT_EQ(drive::kRemovable, sim.DriveTypeOf("A:\\")) << "an empty drive still has its type";
  EXPECT_EQ(nullptr,
            sim.Open("A:\\one.txt", Access::kRead, Share::kRead, Disposition::kOpenExisting, &error));
  EXPECT_EQ(err::kNotReady, error);
  EXPECT_EQ(err::kNotReady, open->ReadAt(0, &byte, 1, &got)) << "reading from a pulled disk must fail";

  floppy.notReady = false;
  floppy.writeProtected = true;
  EXPECT_EQ(nullptr, sim.Open("A:\\two.txt", Access::kWrite, Share::kNone, Disposition::kCreateNew, &error));
  EXPECT_EQ(err::kWriteProtect, error);
  EXPECT_EQ(err::kWriteProtect, sim.RemoveFile("A:\\one.txt"));

  sim.SwapDisk('A', "DISK2");
  EXPECT_FALSE(sim.Exists("A:\\one.txt")) << "the new disk must be empty";
  EXPECT_EQ(err::kNotReady, open->ReadAt(0, &byte, 1, &got))
      << "a file of the old disk must not read the new one";
}

}  // namespace
}  // namespace qn::platform::sim
