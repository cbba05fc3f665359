// The simulated machine's rules that a feature test would pass over silently
// if the simulation got them wrong: short names and lookup, sharing and
// deletion. (Free space by whole clusters is the drive tests'.)
#include "platform/sim/sim_system.h"

#include <gtest/gtest.h>

#include <string>

namespace qn::platform::sim {
namespace {

constexpr size_t kBuffer = 520;

TEST(SimSystemTest, ShortNamesFollowWindowsRules) {
  SimSystem sim;
  sim.MakeFolders("C:\\Program Data");  // after "Program Files", which the constructor made
  sim.WriteFile("C:\\日本語のファイル名.txt", "x");
  struct Case {
    const char* path;
    const char* shortPath;
    const char* why;
  } cases[] = {
      {"C:\\Program Files", "C:\\PROGRA~1", "a name with a blank needs a short name"},
      {"C:\\Program Data", "C:\\PROGRA~2", "a second name with the same start must get the next number"},
      {"C:\\日本語のファイル名.txt", "C:\\日本語~1.TXT", "six bytes of code page 932 hold three kanji"},
      {"c:\\program files\\Quarnimo\\Quarnimo.exe", "c:\\PROGRA~1\\Quarnimo\\Quarnimo.exe",
       "found in any letter case; the drive and valid 8.3 components stay as written"},
      {"C:/PROGRA~1/", "C:\\PROGRA~1\\", "short names resolve; slashes count as backslashes"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.shortPath, sim.ShortPathOf(c.path, kBuffer)) << c.path << ": " << c.why;
  }
  EXPECT_EQ("", sim.ShortPathOf("C:\\Program Files", 11)) << "a result longer than the buffer must be empty";
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

  sim.WriteFile("C:\\ro.txt", "keep");
  ASSERT_EQ(err::kNone, sim.ChangeFileAttributes("C:\\ro.txt", attr::kReadOnly));
  EXPECT_EQ(nullptr,
            sim.Open("C:\\ro.txt", Access::kWrite, Share::kNone, Disposition::kCreateAlways, &error));
  EXPECT_EQ(err::kAccessDenied, error) << "a read-only file must not be overwritten";
  EXPECT_EQ(err::kAccessDenied, sim.RemoveFile("C:\\ro.txt")) << "a read-only file must not be deleted";
  EXPECT_EQ("keep", sim.ReadFile("C:\\ro.txt"));
  EXPECT_EQ(err::kAccessDenied, sim.RemoveFile("C:\\Program Files"))
      << "a folder cannot be deleted as a file";
}

}  // namespace
}  // namespace qn::platform::sim
