// The split onto floppy disks: the prompts between parts, disk swaps, and
// parts gathered from several disks that must join to the source.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "engine_split_fixture.h"

namespace qn::engine::testing {
namespace {

namespace drive = platform::drive;
using platform::sim::BoxRecord;
using platform::sim::DriveSpec;

constexpr int64_t kFloppy = 1457664;
const std::string kNextDisk = "ドライブ A: に次のディスクを入れて下さい";

std::string HostFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class FloppySplitTest : public SplitFixture {
 protected:
  DriveSpec* floppy = nullptr;
  void SetUp() override {
    SplitFixture::SetUp();
    floppy =
        &sim.AddDrive('A', DriveSpec{.type = drive::kRemovable, .totalBytes = kFloppy, .label = "BACKUP"});
  }
};

// Each prompt for the next disk invites the user to take the last one out:
// what is on it must have left the system's write cache by then.
TEST_F(FloppySplitTest, PartsSpanThreeDisksEachFlushedBeforeItIsTakenOut) {
  floppy->totalBytes = 8192;
  Source("C:\\DATA\\BIG.BIN", 20000, 8192, "A:\\");
  frm.chkMkBat.SetValue(1);
  std::vector<std::string> disks = {floppy->hostFolder};
  dialogs.onBox = [&](const BoxRecord& box) {
    const std::string last = box.style == 65 ? "A:\\BIG.00" + std::to_string(disks.size()) : "A:\\BIG.bat";
    for (const std::string& open : sim.OpenFilePaths()) {
      EXPECT_FALSE(open.starts_with("A:")) << open << " is still open when the disk may be taken out";
    }
    EXPECT_TRUE(!sim.flushes.empty() && sim.flushes.back() == last) << last << " may still be in the cache";
    if (box.style == 65) disks.push_back(sim.SwapDisk('A', "DISK" + std::to_string(disks.size() + 1)));
  };
  dialogs.Expect(kNextDisk, 65, "", answer::kOk);
  dialogs.Expect(kNextDisk, 65, "", answer::kOk);
  Split(kDone, 64);
  ASSERT_EQ(3u, disks.size()) << "the parts were not spread over three disks";
  // The batch file went onto the last disk (flushed above); the parts join.
  std::string joined;
  for (size_t i = 0; i < disks.size(); ++i) joined += HostFile(disks[i] + "/BIG.00" + std::to_string(i + 1));
  EXPECT_TRUE(joined == sourceBytes) << "the parts from the disks do not join to the source";
  EXPECT_EQ("DISK3", sim.Drive('A').label) << "the write test left the last disk renamed";
}

// The gate must hear of the short last part's real size.
TEST_F(FloppySplitTest, AShortLastPartGoesOnTheDiskWithRoomForIt) {
  floppy->totalBytes = 4096;
  Source("C:\\DATA\\REPORT.TXT", 4096, 3072, "A:\\");
  Split(kDone, 64);  // and no prompt for another disk
  EXPECT_EQ(Slice(2, 3072), sim.ReadFile("A:\\REPORT.002")) << "the last part is not on the disk";
}

}  // namespace
}  // namespace qn::engine::testing
