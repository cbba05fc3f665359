// Path services against the simulated machine: the forms the window shows,
// the existence test and the key by which two texts name the same file.
#include "media/paths.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "platform/sim/sim_system.h"

namespace qn::media {
namespace {

using platform::sim::SimSystem;

class PathsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sim.AddDrive('D');
    sim.AddShare("\\\\srv\\share");
    sim.WriteFile("D:\\abcdefghij", "x");
    sim.WriteFile("D:\\backup~old files\\report~final version.doc", "x");
    sim.WriteFile("D:\\Annual Data\\Q1 Report.xls", "x");
    sim.WriteFile("D:\\Annual Data\\hidden stuff\\A.TXT", "x");
    ASSERT_EQ(platform::err::kNone,
              sim.ChangeFileAttributes("D:\\Annual Data\\hidden stuff", platform::attr::kHidden));
    sim.WriteFile("\\\\srv\\share\\Long Folder\\file.txt", "x");
  }
  SimSystem sim;
};

TEST_F(PathsTest, LongPathRestoresStoredSpelling) {
  sim.SetCurrentFolder("D:\\Annual Data");
  struct Case {
    const char* path;
    const char* longPath;
    const char* why;
  };
  const std::vector<Case> cases = {
      {"D:\\ABCDEF~1", "D:\\abcdefghij", "a short name comes back as the stored name"},
      {"C:\\PROGRA~1\\QUARNIMO\\QUARNIMO.EXE", "C:\\Program Files\\Quarnimo\\Quarnimo.exe",
       "every component takes its stored spelling, not only the short ones"},
      {"d:\\annual~1\\hidden~1\\a.txt", "d:\\Annual Data\\hidden stuff\\A.TXT",
       "hidden folders are listed; the drive stays as written"},
      {"D:\\BACKUP~1\\REPORT~1.DOC", "D:\\backup~old files\\report~final version.doc",
       "short forms of names that themselves contain ~"},
      {"d:\\annual data\\q1 report.xls", "d:\\annual data\\q1 report.xls",
       "a path without ~ is returned as typed, letter case included"},
      {"Q1 Report.xls", "", "a relative text is refused even when the file exists"},
      {"D:\\ANNUAL~1\\NOPE.TXT", "", "a missing path has no long form"},
      {"\\\\srv\\share\\LONGFO~1\\file.txt", "\\\\srv\\share\\Long Folder\\file.txt",
       "the share cannot be listed, but without it the path names nothing"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.longPath, GetLongPath(sim, c.path)) << c.path << ": " << c.why;
  }
}

TEST_F(PathsTest, ShortPathIsTheExistenceTest) {
  EXPECT_EQ("D:\\ANNUAL~1\\Q1REPO~1.XLS", GetShortPath(sim, "D:\\Annual Data\\Q1 Report.xls"));
  EXPECT_EQ(GetShortPath(sim, "D:\\annual data\\Q1 REPORT.XLS"),
            GetShortPath(sim, "D:\\ANNUAL~1\\Q1REPO~1.XLS"))
      << "two texts naming the same file must give the same key, or the source could be overwritten";
  EXPECT_EQ("", GetShortPath(sim, "D:\\Annual Data\\missing.xls")) << "a missing file must read as missing";
  EXPECT_EQ("", GetShortPath(sim, "")) << "an empty path does not exist";
  sim.Drive('D').notReady = true;
  EXPECT_EQ("", GetShortPath(sim, "D:\\Annual Data")) << "a drive without a disk holds nothing";
}

TEST_F(PathsTest, FullPathOfTypedText) {
  sim.SetCurrentFolder("D:\\Annual Data");
  EXPECT_EQ("D:\\Annual Data\\Q1 Report.xls", GetFullPath(sim, "Q1 Report.xls"));
  EXPECT_EQ("D:\\abcdefghij", GetFullPath(sim, "..\\abcdefghij"));
  const std::string longest = "D:\\" + std::string(512, 'a');  // 515 characters and the NUL fill 516
  EXPECT_EQ(longest, GetFullPath(sim, longest));
  EXPECT_EQ("", GetFullPath(sim, longest + "a"))
      << "a path beyond the 516-character buffer must come back empty";
}

TEST(PathHelpersTest, TrimAtNullAndUnsignedSize) {
  EXPECT_EQ("", TrimAtNull(std::string("\0abc", 4))) << "a buffer of nothing gives a path";
  EXPECT_EQ("ab", TrimAtNull(std::string("ab\0c\0", 5))) << "bytes after the end stay in the path";
  EXPECT_EQ(4294967295.0, ToUnsignedSize(-1)) << "a file of 4 GiB - 1 is shown with a negative size";
  EXPECT_EQ(2147483648.0, ToUnsignedSize(std::numeric_limits<int32_t>::min()))
      << "a file of 2 GiB is shown with a negative size";
}

}  // namespace
}  // namespace qn::media
