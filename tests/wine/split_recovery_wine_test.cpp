// Recovery files from the real Quarnimo.exe, judged by the real PAR2 client
// on the host: a fixed-disk split of 1001 parts and a floppy split whose
// recovery volumes go onto a further disk through the next-disk prompt. In
// both, a part is lost, the client rebuilds it, and the batch file rejoins.
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "tests/wine/support/quarnimo_app.h"
#include "tests/wine/support/split_support.h"
#include "tests/wine/wine_test_util.h"

namespace qn::winetest {
namespace {

constexpr const char* kNextDisk = "ドライブ A: に次のディスクを入れて下さい";

// par2 `arguments` in the host folder behind `folder`: its exit status.
int Par2(const std::string& folder, const std::string& arguments) {
  return RunHostScript("cd '" + UnixPath(folder) + "' && par2 " + arguments + " >/dev/null 2>&1", 180000);
}

// The client names nothing wrong, then rebuilds a removed part, and the
// user's cmd joins the parts to the source.
void ExpectRepairAndRejoin(const std::string& folder, const std::string& source, const std::string& bytes,
                           int lostPart) {
  const std::string index = BareStem(source) + "par2";
  EXPECT_EQ(Par2(folder, "verify -q " + index), 0) << "the client rejects the intact set";
  const std::string lost = folder + "\\" + BareStem(source) + PartNumber(lostPart);
  ASSERT_TRUE(DeleteFileW(Widen(lost).c_str()));
  EXPECT_NE(Par2(folder, "verify -q " + index), 0) << "the client does not see the part is gone";
  ASSERT_EQ(Par2(folder, "repair -q " + index), 0) << "the client cannot rebuild part " << lostPart;
  ExpectRejoin(folder, source, bytes);
}

TEST(RecoveryWine, AThousandAndOnePartsOnAFixedDiskAreRebuiltAfterALoss) {
  TempDir root;
  ASSERT_TRUE(root.ok() && CreateDirectoryW(Widen(root / "prog").c_str(), nullptr) &&
              CreateDirectoryW(Widen(root / "out").c_str(), nullptr));
  // Parts of 266,000 bytes: the smallest that hold the index of 1001 parts.
  const std::string source = root / "many.bin";
  const std::string bytes = RandomBytes(size_t{266000} * 1000 + 777, 31);
  ASSERT_TRUE(WriteWholeFile(source, bytes));
  QuarnimoApp app(root / "prog");
  ASSERT_TRUE(app.ok()) << app.error();
  ASSERT_TRUE(app.ChooseMenu("mnuMakePar2"));
  ASSERT_NO_FATAL_FAILURE(StartSplit(app, {source, root / "out", "266000"}));
  ExpectEnd(app, kFinished, kInformation);
  EXPECT_EQ(app.Close(), 0);
  // 1001 parts, the batch file, the index and two volumes.
  EXPECT_EQ(CountFiles(root / "out"), 1001 + 1 + 3);
  ExpectRepairAndRejoin(root / "out", source, bytes, 500);
}

TEST(RecoveryWine, OnFloppiesTheVolumesGoOntoTheNextDiskAndRebuildALostPart) {
  if (const std::string reason = MediaUnavailableReason(); !reason.empty()) {
    GTEST_SKIP() << "no test floppy disks: " << reason;
  }
  for (int disk = 1; disk <= 3; ++disk) ASSERT_TRUE(RunMedia("format", disk)) << "disk " << disk;
  ASSERT_TRUE(RunMedia("insert", 1));
  TempDir root;
  ASSERT_TRUE(root.ok() && CreateDirectoryW(Widen(root / "prog").c_str(), nullptr));
  // A full disk and a short part: the second disk then takes the short part,
  // the batch file and one volume (half a part); the other volume and the
  // index, written last, need a third disk.
  const std::string source = root / "floppy.bin";
  const std::string bytes = RandomBytes(1457664 + 150000, 32);
  ASSERT_TRUE(WriteWholeFile(source, bytes));
  QuarnimoApp app(root / "prog");
  ASSERT_TRUE(app.ok()) << app.error();
  ASSERT_TRUE(app.ChooseMenu("mnuMakePar2"));
  ASSERT_NO_FATAL_FAILURE(StartSplit(app, {source, "A:\\", ""}));
  for (int disk = 2; disk <= 3; ++disk) {
    const SeenBox prompt = ExpectBox(app, kNextDisk, 65);
    ASSERT_NE(prompt.hwnd, nullptr) << "a full disk must make the program ask for disk " << disk;
    ASSERT_TRUE(RunMedia("insert", disk));
    ASSERT_TRUE(app.Answer(prompt, IDOK));
  }
  ExpectEnd(app, kFinished, kInformation);
  EXPECT_EQ(app.Close(), 0);
  const std::string stem = BareStem(source);
  EXPECT_EQ(CountFiles(FloppyFolder(2)), 3) << "disk 2: the short part, the batch file, a volume";
  EXPECT_NE(RawAttributes(FloppyFolder(3) + "\\" + stem + "vol01+01.par2"), INVALID_FILE_ATTRIBUTES)
      << "the second volume is not on the third disk";
  EXPECT_NE(RawAttributes(FloppyFolder(3) + "\\" + stem + "par2"), INVALID_FILE_ATTRIBUTES)
      << "the index is not on the third disk";

  // The receiver copies every disk into one folder.
  TempDir gathered;
  std::string copy = "cp";
  for (int disk = 1; disk <= 3; ++disk) copy += " '" + UnixPath(FloppyFolder(disk)) + "'/*";
  ASSERT_EQ(RunHostScript(copy + " '" + UnixPath(gathered.path()) + "'"), 0) << "the disks cannot be read";
  ExpectRepairAndRejoin(gathered.path(), source, bytes, 1);
}

}  // namespace
}  // namespace qn::winetest
