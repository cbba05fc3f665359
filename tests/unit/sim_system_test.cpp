// The simulated machine's own rules that every later test relies on.
#include "platform/sim/sim_system.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace qn::platform::sim {
namespace {

constexpr size_t kBuffer = 520;

TEST(SimSystemTest, ShortNamesFollowWindowsRules) {
  SimSystem sim;
  sim.MakeFolders("C:\\Program Data");  // after "Program Files", which the constructor made
  sim.WriteFile("C:\\readme.txt", "r");
  sim.WriteFile("C:\\a+b.txt", "x");
  sim.WriteFile("C:\\archive.tar.gz", "x");
  sim.WriteFile("C:\\日本語のファイル名.txt", "x");
  struct Case {
    const char* path;
    const char* shortPath;
    const char* why;
  } cases[] = {
      {"C:\\Program Files", "C:\\PROGRA~1", "a name with a blank needs a short name"},
      {"C:\\Program Data", "C:\\PROGRA~2", "a second name with the same start must get the next number"},
      {"C:\\readme.txt", "C:\\readme.txt", "a valid 8.3 name in lower case keeps its spelling"},
      {"C:\\a+b.txt", "C:\\A_B~1.TXT", "+ is not allowed in a short name"},
      {"C:\\archive.tar.gz", "C:\\ARCHIV~1.GZ", "several dots: the extension is the last one"},
      {"C:\\日本語のファイル名.txt", "C:\\日本語~1.TXT", "six bytes of code page 932 hold three kanji"},
      {"c:\\program files\\Quarnimo\\Quarnimo.exe", "c:\\PROGRA~1\\Quarnimo\\Quarnimo.exe",
       "found in any letter case; the drive and valid 8.3 components stay as written"},
      {"C:/PROGRA~1/", "C:\\PROGRA~1\\", "short names resolve; slashes count as backslashes"},
      {"C:\\No Such Folder\\x", "", "a missing folder on the way has no short form"},
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

TEST(SimSystemTest, PathsResolveLikeWindows) {
  SimSystem sim;
  sim.AddShare("\\\\srv\\share");
  sim.SetCurrentFolder("C:\\Program Files");
  struct Case {
    const char* path;
    const char* full;
    bool exists;
  } cases[] = {
      {"c:\\PROGRAM FILES\\quarnimo\\QUARNIMO.EXE", "c:\\PROGRAM FILES\\quarnimo\\QUARNIMO.EXE", true},
      {"..\\Program Files\\.\\Quarnimo", "C:\\Program Files\\Quarnimo", true},
      {"C:Quarnimo", "C:\\Program Files\\Quarnimo", true},
      {"C:\\Program Files\\Quarnimo\\Quarnimo.exe. ", "C:\\Program Files\\Quarnimo\\Quarnimo.exe", true},
      {"\\\\srv\\share\\a\\..\\b", "\\\\srv\\share\\b", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.full, sim.FullPathOf(c.path, 516)) << c.path << " must become this absolute path";
    EXPECT_EQ(c.exists, sim.FileAttributes(c.path) != attr::kInvalid)
        << c.path << ": existence must not depend on letter case or path form";
  }
  EXPECT_EQ("", sim.FullPathOf(std::string(600, 'a'), 516)) << "a result beyond the buffer must be empty";
}

TEST(SimSystemTest, SeesHostChangesAndListsByAttributeMask) {
  SimSystem sim;
  sim.WriteFile("C:\\out\\Part.001", "1");
  std::filesystem::remove(sim.HostPath("C:\\out\\part.001"));
  EXPECT_EQ(attr::kInvalid, sim.FileAttributes("C:\\OUT\\PART.001")) << "a file removed on the host is gone";
  std::ofstream(sim.HostPath("C:\\out") + "/Late File.txt") << "late";
  sim.ForgetCaches();
  EXPECT_EQ("c:\\OUT\\LATEFI~1.TXT", sim.ShortPathOf("c:\\OUT\\late file.TXT", kBuffer))
      << "a file made on the host must be found in any letter case and get a short name";

  ASSERT_EQ(err::kNone, sim.ChangeFileAttributes("C:\\out\\Late File.txt", attr::kHidden));
  struct Case {
    const char* pattern;
    int32_t mask;
    const char* name;
  } cases[] = {
      {"C:\\PROGRA~1", 55, "Program Files"},  // found by its short name, reported by its stored one
      {"C:\\program files", 39, ""},          // a folder is not listed without the folder bit
      {"C:\\out\\LATEFI~1.TXT", 39, "Late File.txt"},
      {"C:\\out\\LATEFI~1.TXT", 33, ""},  // hidden files need the hidden bit
      {"C:\\out\\l*", 2, "Late File.txt"},
      {"C:\\", 55, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.name, sim.ListFirst(c.pattern, c.mask)) << c.pattern << " with mask " << c.mask;
  }
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
  DiskClusters clusters;
  ASSERT_TRUE(sim.FreeSpaceClusters("A:", &clusters));
  EXPECT_EQ(8u, clusters.totalClusters);
  EXPECT_EQ(0u, clusters.freeClusters);
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
  EXPECT_EQ(0, sim.WriteVolumeLabel("A:\\", "split"));
  std::string label;
  ASSERT_TRUE(sim.ReadVolumeLabel("A:\\", &label));
  EXPECT_EQ("DISK1", label) << "a refused label write must leave the label";

  sim.SwapDisk('A', "DISK2");
  EXPECT_FALSE(sim.Exists("A:\\one.txt")) << "the new disk must be empty";
  EXPECT_EQ(err::kNotReady, open->ReadAt(0, &byte, 1, &got))
      << "a file of the old disk must not read the new one";
  EXPECT_EQ(1, sim.WriteVolumeLabel("A:\\", "split")) << "the new disk is writable";
}

TEST(SimSystemTest, LargeFilesHooksAndCodePage932) {
  SimSystem sim;
  sim.MakeSparseFile("C:\\big.bin", 2147483648LL);
  ErrorCode error = 0;
  EXPECT_EQ(2147483648LL, sim.FileLengthOf("C:\\big.bin", &error)) << "a length of 2^31 must not wrap";
  auto file = sim.Open("C:\\big.bin", Access::kRead, Share::kRead, Disposition::kOpenExisting, &error);
  ASSERT_NE(nullptr, file);
  std::vector<int64_t> reads;
  sim.beforeRead = [&](std::string_view, int64_t offset, size_t) { reads.push_back(offset); };
  char buffer[16] = {1};
  size_t got = 0;
  EXPECT_EQ(err::kNone, file->ReadAt(2147483640LL, buffer, sizeof buffer, &got));
  EXPECT_EQ(8u, got) << "a read past the end gives what is there";
  EXPECT_EQ(std::vector<int64_t>{2147483640LL}, reads);
  sim.fault = [](Op op, std::string_view) { return op == Op::kRead ? err::kCrc : err::kNone; };
  EXPECT_EQ(err::kCrc, file->ReadAt(0, buffer, 1, &got)) << "the fault hook must make the read fail";

  bool exact = true;
  EXPECT_EQ("\x93\xfa\x96\x7b\x8c\xea", sim.ToAnsi("日本語", &exact));
  EXPECT_TRUE(exact);
  EXPECT_EQ("a?b", sim.ToAnsi("a한b", &exact)) << "a character code page 932 lacks becomes ?";
  EXPECT_FALSE(exact);
  EXPECT_EQ("日本語", sim.FromAnsi("\x93\xfa\x96\x7b\x8c\xea"));
}

}  // namespace
}  // namespace qn::platform::sim
