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
  sim.WriteFile("C:\\My Document.html", "x");
  sim.WriteFile("C:\\日本語のファイル名.txt", "x");
  sim.WriteFile("C:\\data\\abcdefghij", "x");
  sim.WriteFile("C:\\data\\abcdefghik", "x");

  struct Case {
    const char* path;
    const char* shortPath;
    const char* why;
  };
  const std::vector<Case> cases = {
      {"C:\\Program Files", "C:\\PROGRA~1", "a name with a blank needs a short name"},
      {"C:\\Program Data", "C:\\PROGRA~2", "a second name with the same start must get the next number"},
      {"C:\\readme.txt", "C:\\readme.txt", "a valid 8.3 name in lower case keeps its spelling"},
      {"C:\\a+b.txt", "C:\\A_B~1.TXT", "+ is not allowed in a short name"},
      {"C:\\archive.tar.gz", "C:\\ARCHIV~1.GZ", "several dots: the extension is the last one"},
      {"C:\\My Document.html", "C:\\MYDOCU~1.HTM", "the extension is cut to three characters"},
      {"C:\\日本語のファイル名.txt", "C:\\日本語~1.TXT", "six bytes of code page 932 hold three kanji"},
      {"C:\\data\\abcdefghik", "C:\\data\\ABCDEF~2", "short names are unique within their folder"},
      {"c:\\program files\\Quarnimo\\Quarnimo.exe", "c:\\PROGRA~1\\Quarnimo\\Quarnimo.exe",
       "the drive and valid 8.3 components stay as written"},
      {"C:\\PROGRA~1\\quarnimo", "C:\\PROGRA~1\\quarnimo", "a path written with short names resolves"},
      {"C:/Program Files/", "C:\\PROGRA~1\\", "slashes count as backslashes; a trailing one stays"},
      {"C:\\Program Files\\none.txt", "", "a missing file has no short form"},
      {"C:\\No Such Folder\\x", "", "a missing folder on the way has no short form"},
      {"C:\\readme.txt\\x", "", "a file cannot be a folder on the way"},
      {"Q:\\x", "", "an unknown drive has no paths"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.shortPath, sim.ShortPathOf(c.path, kBuffer)) << c.path << ": " << c.why;
  }

  sim.WriteFile("C:\\Program Zoo", "x");
  EXPECT_EQ("C:\\PROGRA~1", sim.ShortPathOf("C:\\Program Files", kBuffer))
      << "a short name must stay the same for the life of the file, or saved short paths break";
  EXPECT_EQ("", sim.ShortPathOf("C:\\Program Files", 11)) << "a result longer than the buffer must be empty";
  EXPECT_EQ("C:\\PROGRA~1", sim.ShortPathOf("C:\\Program Files", 12)) << "a result that fits must come back";
}

TEST(SimSystemTest, PathsResolveLikeWindows) {
  SimSystem sim;
  sim.AddDrive('D');
  sim.AddShare("\\\\srv\\share");
  sim.SetCurrentFolder("C:\\Program Files");

  struct Case {
    const char* path;
    const char* full;
    bool exists;
  };
  const std::vector<Case> cases = {
      {"c:\\PROGRAM FILES\\quarnimo\\QUARNIMO.EXE", "c:\\PROGRAM FILES\\quarnimo\\QUARNIMO.EXE", true},
      {"Quarnimo\\Quarnimo.exe", "C:\\Program Files\\Quarnimo\\Quarnimo.exe", true},
      {"..\\Program Files\\.\\Quarnimo", "C:\\Program Files\\Quarnimo", true},
      {"C:Quarnimo", "C:\\Program Files\\Quarnimo", true},
      {"\\Program Files", "C:\\Program Files", true},
      {"D:x.txt", "D:\\x.txt", false},
      {"C:\\Program Files\\Quarnimo\\Quarnimo.exe. ", "C:\\Program Files\\Quarnimo\\Quarnimo.exe", true},
      {"C:\\..\\..\\Program Files", "C:\\Program Files", true},
      {"\\\\srv\\share\\a\\..\\b", "\\\\srv\\share\\b", false},
      {"\\\\srv\\share", "\\\\srv\\share", true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.full, sim.FullPathOf(c.path, 516)) << c.path << " must become this absolute path";
    EXPECT_EQ(c.exists, sim.FileAttributes(c.path) != attr::kInvalid)
        << c.path << ": existence must not depend on letter case or path form";
  }
  EXPECT_EQ("", sim.FullPathOf(std::string(600, 'a'), 516)) << "a result beyond the buffer must be empty";
  EXPECT_EQ("", sim.FullPathOf("", 516)) << "an empty path has no full form";
}

TEST(SimSystemTest, SeesHostChangesMadeBehindItsBack) {
  SimSystem sim;
  sim.WriteFile("C:\\out\\Part.001", "1");
  ASSERT_NE(attr::kInvalid, sim.FileAttributes("C:\\OUT\\PART.001"));
  std::filesystem::remove(sim.HostPath("C:\\out\\part.001"));
  EXPECT_EQ(attr::kInvalid, sim.FileAttributes("C:\\OUT\\PART.001"))
      << "a file removed on the host must be gone";
  EXPECT_EQ(attr::kInvalid, sim.FileAttributes("C:\\out\\Part.001"));

  std::ofstream(sim.HostPath("C:\\out") + "/Late File.txt") << "late";
  sim.ForgetCaches();
  EXPECT_EQ("c:\\OUT\\LATEFI~1.TXT", sim.ShortPathOf("c:\\OUT\\late file.TXT", kBuffer))
      << "a file made on the host must be found in any letter case and get a short name";
  DiskSpaceEx space;
  ASSERT_TRUE(sim.FreeSpaceEx("C:", &space));
  EXPECT_EQ(space.total - space.totalFree, 2u * 512) << "Quarnimo.exe and Late File.txt take a cluster each";
}

TEST(SimSystemTest, ListingFiltersByAttributeMask) {
  SimSystem sim;
  sim.WriteFile("C:\\dir\\Hidden File.txt", "h");
  sim.WriteFile("C:\\dir\\plain.txt", "p");
  ASSERT_EQ(err::kNone, sim.ChangeFileAttributes("C:\\dir\\Hidden File.txt", attr::kHidden));
  sim.AddShare("\\\\srv\\share");

  struct Case {
    const char* pattern;
    int32_t mask;
    const char* name;
  };
  const std::vector<Case> cases = {
      {"C:\\PROGRA~1", 55, "Program Files"},  // found by its short name, reported by its stored one
      {"C:\\program files", 39, ""},          // a folder is not listed without the folder bit
      {"C:\\dir\\HIDDEN~1.TXT", 39, "Hidden File.txt"},
      {"C:\\dir\\HIDDEN~1.TXT", 33, ""},  // hidden files need the hidden bit
      {"C:\\dir\\PLAIN.TXT", 0, "plain.txt"},
      {"C:\\dir\\*.txt", 0, "plain.txt"},
      {"C:\\dir\\h*", 2, "Hidden File.txt"},
      {"C:\\dir\\p?ain.*", 0, "plain.txt"},
      {"C:\\dir\\", 55, ""},
      {"C:\\", 55, ""},
      {"\\\\srv\\share", 55, ""},  // the share itself cannot be listed
      {"C:\\dir\\missing", 55, ""},
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
  EXPECT_NE(nullptr, sim.Open("C:\\f.bin", Access::kRead, Share::kRead, Disposition::kOpenExisting, &error))
      << "two readers that both share reading must coexist";
  EXPECT_EQ(err::kSharingViolation, sim.RemoveFile("C:\\f.bin"))
      << "a file open without delete sharing must not be deleted";
  EXPECT_EQ(err::kNone, reader->Close());
  EXPECT_EQ(err::kNone, reader->Close()) << "a second Close does nothing";
  EXPECT_EQ(0u, sim.OpenFileCount());

  auto writer = sim.Open("C:\\f.bin", Access::kWrite, Share::kNone, Disposition::kOpenExisting, &error);
  ASSERT_NE(nullptr, writer) << error;
  EXPECT_EQ(nullptr,
            sim.Open("C:\\f.bin", Access::kRead, Share::kReadWrite, Disposition::kOpenExisting, &error));
  EXPECT_EQ(err::kSharingViolation, error) << "a file written without sharing must not be readable meanwhile";
  writer.reset();  // destruction closes
  EXPECT_EQ(0u, sim.OpenFileCount()) << "a destroyed handle must not keep the file locked";

  auto shared =
      sim.Open("C:\\f.bin", Access::kRead, Share::kReadWriteDelete, Disposition::kOpenExisting, &error);
  EXPECT_EQ(err::kNone, sim.RemoveFile("C:\\f.bin")) << "delete sharing allows deletion";
  shared.reset();

  sim.WriteFile("C:\\ro.txt", "keep");
  ASSERT_EQ(err::kNone, sim.ChangeFileAttributes("C:\\ro.txt", attr::kReadOnly));
  EXPECT_EQ(attr::kReadOnly, sim.FileAttributes("C:\\ro.txt"));
  EXPECT_EQ(nullptr,
            sim.Open("C:\\ro.txt", Access::kWrite, Share::kNone, Disposition::kCreateAlways, &error));
  EXPECT_EQ(err::kAccessDenied, error) << "a read-only file must not be overwritten";
  EXPECT_EQ(err::kAccessDenied, sim.RemoveFile("C:\\ro.txt")) << "a read-only file must not be deleted";
  EXPECT_EQ("keep", sim.ReadFile("C:\\ro.txt"));
  ASSERT_EQ(err::kNone, sim.ChangeFileAttributes("C:\\ro.txt", 0));
  EXPECT_EQ(attr::kNormal, sim.FileAttributes("C:\\ro.txt")) << "a file with no bits reports NORMAL (128)";
  EXPECT_EQ(err::kNone, sim.RemoveFile("C:\\ro.txt"));

  EXPECT_EQ(nullptr,
            sim.Open("C:\\Program Files", Access::kRead, Share::kRead, Disposition::kOpenExisting, &error));
  EXPECT_EQ(err::kAccessDenied, error) << "a folder cannot be opened as a file";
  EXPECT_EQ(err::kAccessDenied, sim.RemoveFile("C:\\Program Files"))
      << "a folder cannot be deleted as a file";
  EXPECT_EQ(err::kFileNotFound, sim.RemoveFile("C:\\gone.txt"));
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
  EXPECT_EQ(4096u, space.total);
  EXPECT_EQ(3072u, space.totalFree) << "each file takes whole clusters";

  ErrorCode error = 0;
  auto out = sim.Open("A:\\NEW.001", Access::kWrite, Share::kNone, Disposition::kCreateNew, &error);
  ASSERT_NE(nullptr, out) << error;
  EXPECT_EQ(err::kDiskFull, out->Write(std::string(5000, 'n').data(), 5000))
      << "a write beyond the disk's size must fail";
  EXPECT_EQ(err::kNone, out->Close());
  EXPECT_EQ(3072, sim.FileLengthOf("A:\\new.001", &error)) << "what fitted must stay on the disk";
  ASSERT_TRUE(sim.FreeSpaceEx("A:\\", &space));
  EXPECT_EQ(0u, space.totalFree);
  DiskClusters clusters;
  ASSERT_TRUE(sim.FreeSpaceClusters("A:", &clusters));
  EXPECT_EQ(8u, clusters.totalClusters);
  EXPECT_EQ(0u, clusters.freeClusters);
  EXPECT_FALSE(sim.FreeSpaceEx("Q:", &space)) << "an unknown drive has no space";
}

TEST(SimSystemTest, NotReadyWriteProtectedAndSwappedDisks) {
  SimSystem sim;
  DriveSpec& floppy =
      sim.AddDrive('A', DriveSpec{.type = drive::kRemovable, .totalBytes = 1457664, .label = "DISK1"});
  sim.WriteFile("A:\\one.txt", "1");
  ErrorCode error = 0;
  auto open = sim.Open("A:\\one.txt", Access::kRead, Share::kRead, Disposition::kOpenExisting, &error);
  ASSERT_NE(nullptr, open);

  floppy.notReady = true;
  std::string label;
  DiskSpaceEx space;
  EXPECT_EQ(attr::kInvalid, sim.FileAttributes("A:\\")) << "an empty drive has no root";
  EXPECT_EQ(drive::kRemovable, sim.DriveTypeOf("A:\\")) << "an empty drive still has its type";
  EXPECT_EQ(nullptr,
            sim.Open("A:\\one.txt", Access::kRead, Share::kRead, Disposition::kOpenExisting, &error));
  EXPECT_EQ(err::kNotReady, error);
  EXPECT_FALSE(sim.FreeSpaceEx("A:", &space));
  EXPECT_FALSE(sim.ReadVolumeLabel("A:\\", &label));
  EXPECT_EQ("", sim.ShortPathOf("A:\\one.txt", kBuffer));
  char byte = 0;
  size_t got = 0;
  EXPECT_EQ(err::kNotReady, open->ReadAt(0, &byte, 1, &got)) << "reading from a pulled disk must fail";

  floppy.notReady = false;
  floppy.writeProtected = true;
  EXPECT_EQ(err::kNone, open->ReadAt(0, &byte, 1, &got));
  EXPECT_EQ('1', byte);
  EXPECT_EQ(nullptr, sim.Open("A:\\two.txt", Access::kWrite, Share::kNone, Disposition::kCreateNew, &error));
  EXPECT_EQ(err::kWriteProtect, error);
  EXPECT_EQ(err::kWriteProtect, sim.RemoveFile("A:\\one.txt"));
  EXPECT_EQ(0, sim.WriteVolumeLabel("A:\\", "split"));
  ASSERT_TRUE(sim.ReadVolumeLabel("A:\\", &label));
  EXPECT_EQ("DISK1", label) << "a refused label write must leave the label";

  sim.SwapDisk('A', "DISK2");
  EXPECT_FALSE(sim.Exists("A:\\one.txt")) << "the new disk must be empty";
  EXPECT_EQ(err::kNotReady, open->ReadAt(0, &byte, 1, &got))
      << "a file of the old disk must not read the new one";
  EXPECT_EQ(1, sim.WriteVolumeLabel("A:\\", "split"));
  EXPECT_EQ(drive::kNoRootDir, sim.DriveTypeOf("Q:\\"));
  EXPECT_EQ(drive::kNoRootDir, sim.DriveTypeOf("A:\\one\\"));
}

TEST(SimSystemTest, HooksLargeFilesAndText) {
  SimSystem sim;
  sim.MakeSparseFile("C:\\big.bin", 2147483648LL);
  ErrorCode error = 0;
  EXPECT_EQ(2147483648LL, sim.FileLengthOf("C:\\big.bin", &error)) << "a length of 2^31 must not wrap";
  auto file = sim.Open("C:\\big.bin", Access::kRead, Share::kRead, Disposition::kOpenExisting, &error);
  ASSERT_NE(nullptr, file);
  std::vector<std::string> reads;
  sim.beforeRead = [&](std::string_view path, int64_t offset, size_t) {
    reads.push_back(std::string(path) + "@" + std::to_string(offset));
  };
  char buffer[16] = {1};
  size_t got = 0;
  EXPECT_EQ(err::kNone, file->ReadAt(2147483640LL, buffer, sizeof buffer, &got));
  EXPECT_EQ(8u, got) << "a read past the end gives what is there";
  EXPECT_EQ(std::vector<std::string>{"C:\\big.bin@2147483640"}, reads);

  sim.fault = [](Op op, std::string_view path) -> ErrorCode {
    return op == Op::kRead && path == "C:\\big.bin" ? err::kCrc : err::kNone;
  };
  EXPECT_EQ(err::kCrc, file->ReadAt(0, buffer, 1, &got)) << "the fault hook must make the read fail";

  bool exact = true;
  EXPECT_EQ("\x93\xfa\x96\x7b\x8c\xea", sim.ToAnsi("日本語", &exact));
  EXPECT_TRUE(exact);
  EXPECT_EQ("a?b", sim.ToAnsi("a한b", &exact)) << "a character code page 932 lacks becomes ?";
  EXPECT_FALSE(exact);
  EXPECT_EQ("日本語", sim.FromAnsi("\x93\xfa\x96\x7b\x8c\xea"));
  EXPECT_EQ("The system cannot find the file specified.", sim.DescribeError(2));
  EXPECT_EQ("Unknown error 4242", sim.DescribeError(4242));
  EXPECT_EQ(42, sim.ShellOpen(0, "Quarnimo.exe", "C:\\Program Files\\Quarnimo"));
  EXPECT_EQ(2, sim.ShellOpen(0, "C:\\readme.html", ""));
}

}  // namespace
}  // namespace qn::platform::sim
