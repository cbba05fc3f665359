// Splitting onto real removable disks: drive A: is a 1.44 MB floppy drive
// (tmpfs disks from split_media.sh) whose disks the test swaps, ejects and
// write-protects while the real Quarnimo.exe waits in its prompts, as a user
// at the drive would.
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "tests/wine/support/quarnimo_app.h"
#include "tests/wine/support/split_support.h"
#include "tests/wine/wine_test_util.h"

namespace qn::winetest {
namespace {

constexpr size_t kFloppyPart = 1457664;
constexpr const char* kNextDisk = "ドライブ A: に次のディスクを入れて下さい";
constexpr int kNextDiskStyle = 65;  // OK, Cancel, information

// A program in its own folder with a source of `length` random bytes beside
// it, on empty writable disks 1 to `disks` with disk 1 in drive A:.
class FloppySplit : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const std::string reason = MediaUnavailableReason(); !reason.empty()) {
      GTEST_SKIP() << "no test floppy disks: " << reason;
    }
  }
  void Prepare(int disks, size_t length, uint32_t seed) {
    for (int disk = 1; disk <= disks; ++disk) ASSERT_TRUE(RunMedia("format", disk)) << "disk " << disk;
    ASSERT_TRUE(RunMedia("insert", 1));
    ASSERT_EQ(GetDriveTypeW(L"A:\\"), static_cast<UINT>(DRIVE_REMOVABLE)) << "A: is no floppy drive";
    ASSERT_TRUE(root.ok() && CreateDirectoryW(Widen(root / "prog").c_str(), nullptr));
    source = root / "floppy.bin";
    bytes = RandomBytes(length, seed);
    ASSERT_TRUE(WriteWholeFile(source, bytes));
    app.emplace(root / "prog");
    ASSERT_TRUE(app->ok()) << app->error();
  }
  // Starts the split of the source onto A:\ in 1.44 MB parts with a batch file.
  void Start() { ASSERT_NO_FATAL_FAILURE(StartSplit(*app, {source, "A:\\", ""})); }
  // Expects that disk `disk` holds part `part` and nothing else but, when
  // `batch`, the batch file.
  void ExpectDisk(int disk, int part, bool batch) {
    const std::string folder = FloppyFolder(disk);
    EXPECT_TRUE(ReadWholeFile(folder + "\\" + BareStem(source) + PartNumber(part)) ==
                bytes.substr((part - 1) * kFloppyPart, kFloppyPart))
        << "disk " << disk << " does not hold part " << part;
    if (batch) {
      EXPECT_NE(RawAttributes(folder + "\\" + BareStem(source) + "bat"), INVALID_FILE_ATTRIBUTES)
          << "the batch file is not on the last disk";
    }
    // The write test must put the disk's label back: a label left behind
    // would also take room on the disk.
    EXPECT_EQ(CountFiles(folder), batch ? 2 : 1)
        << "disk " << disk << " holds files the user did not ask for";
  }

  TempDir root;
  std::string source;
  std::string bytes;
  std::optional<QuarnimoApp> app;
};

TEST_F(FloppySplit, FourMegabytesSpanThreeDisksAndRejoinFromThem) {
  ASSERT_NO_FATAL_FAILURE(Prepare(3, size_t{4} * 1024 * 1024, 21));
  ASSERT_NO_FATAL_FAILURE(Start());
  for (int disk = 2; disk <= 3; ++disk) {
    const SeenBox prompt = ExpectBox(*app, kNextDisk, kNextDiskStyle);
    ASSERT_NE(prompt.hwnd, nullptr) << "a full disk must make the program ask for disk " << disk;
    ASSERT_TRUE(RunMedia("insert", disk));
    ASSERT_TRUE(app->Answer(prompt, IDOK));
  }
  ExpectEnd(*app, kFinished, kInformation);
  EXPECT_EQ(app->Close(), 0);
  for (int disk = 1; disk <= 3; ++disk) ExpectDisk(disk, disk, disk == 3);

  TempDir gathered;
  std::string copy = "cp";
  for (int disk = 1; disk <= 3; ++disk) copy += " '" + UnixPath(FloppyFolder(disk)) + "'/*";
  ASSERT_EQ(RunHostScript(copy + " '" + UnixPath(gathered.path()) + "'"), 0) << "the disks cannot be read";
  ExpectRejoin(gathered.path(), source, bytes);
}

TEST_F(FloppySplit, AMissingDiskIsAskedForUntilOneIsInserted) {
  ASSERT_NO_FATAL_FAILURE(Prepare(2, 2000000, 22));
  // No disk at the start. (Wine finds the root A:\ of an empty drive, so the
  // check of the output folder passes and the gate asks for a disk.)
  ASSERT_TRUE(RunMedia("eject"));
  ASSERT_NO_FATAL_FAILURE(Start());
  const SeenBox none = ExpectBox(*app, kNextDisk, kNextDiskStyle);
  ASSERT_NE(none.hwnd, nullptr) << "an empty drive must make the program ask for a disk";
  ASSERT_TRUE(RunMedia("insert", 1));
  ASSERT_TRUE(app->Answer(none, IDOK));

  // Disk 1 is filled by the first part; then the drive stays empty at the
  // prompt for the next disk, which comes back until a disk is in.
  const SeenBox full = ExpectBox(*app, kNextDisk, kNextDiskStyle);
  ASSERT_NE(full.hwnd, nullptr);
  ASSERT_TRUE(RunMedia("eject"));
  ASSERT_TRUE(app->Answer(full, IDOK));
  const SeenBox again = ExpectBox(*app, kNextDisk, kNextDiskStyle);
  ASSERT_NE(again.hwnd, nullptr) << "with no disk in the drive the program must ask again";
  ASSERT_TRUE(RunMedia("insert", 2));
  ASSERT_TRUE(app->Answer(again, IDOK));
  ExpectEnd(*app, kFinished, kInformation);
  EXPECT_EQ(app->Close(), 0);
  ExpectDisk(1, 1, false);
  ExpectDisk(2, 2, true);
}

TEST_F(FloppySplit, AWriteProtectedDiskIsRetriedOnceWritable) {
  ASSERT_NO_FATAL_FAILURE(Prepare(1, 5000, 23));
  ASSERT_TRUE(RunMedia("protect", 1));
  ASSERT_NO_FATAL_FAILURE(Start());
  const SeenBox prompt =
      ExpectBox(*app, "ドライブ A: にディスクに書き込みが出来ません", 53);  // Retry, Cancel, !
  ASSERT_NE(prompt.hwnd, nullptr);
  ASSERT_TRUE(RunMedia("unprotect", 1));
  ASSERT_TRUE(app->Answer(prompt, IDRETRY));
  ExpectEnd(*app, kFinished, kInformation);
  EXPECT_EQ(app->Close(), 0);
  ExpectDisk(1, 1, true);
}

}  // namespace
}  // namespace qn::winetest
