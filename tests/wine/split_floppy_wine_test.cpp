// Splitting onto real removable disks: drive A: is a 1.44 MB floppy drive
// (tmpfs disks from split_media.sh) whose disks the test swaps, ejects and
// write-protects while the real Quarnimo.exe waits in its prompts, as a user
// at the drive would.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "tests/wine/support/quarnimo_app.h"
#include "tests/wine/support/split_support.h"
#include "tests/wine/wine_test_util.h"

namespace qn::winetest {
namespace {

constexpr size_t kFloppyPart = 1457664;
constexpr const char* kNextDisk = "ドライブ A: に次のディスクを入れて下さい";
constexpr const char* kCannotWrite = "ドライブ A: にディスクに書き込みが出来ません";
constexpr const char* kAskAbort = "分割を中断しますか？";
constexpr const char* kFinished = "正常に分割を終了しました";
constexpr const char* kAborted = "分割を中断しました";
constexpr int kNextDiskStyle = 65;     // OK, Cancel, information
constexpr int kCannotWriteStyle = 53;  // Retry, Cancel, exclamation

// Empties and unprotects disks 1 to `count` and puts disk 1 into the drive.
void PrepareFloppies(int count) {
  for (int disk = 1; disk <= count; ++disk) ASSERT_TRUE(RunMedia("format", disk)) << "disk " << disk;
  ASSERT_TRUE(RunMedia("insert", 1));
  ASSERT_EQ(GetDriveTypeW(L"A:\\"), static_cast<UINT>(DRIVE_REMOVABLE)) << "A: is no floppy drive";
}

#define SKIP_WITHOUT_FLOPPIES()                                               \
  if (const std::string reason = MediaUnavailableReason(); !reason.empty()) { \
    GTEST_SKIP() << "no test floppy disks: " << reason;                       \
  }

// A program started in its own folder with a source of `length` random bytes
// beside it, set to split that source onto A:\ in 1.44 MB parts.
struct FloppySplit {
  TempDir root;
  std::string source;
  std::string bytes;
  std::unique_ptr<QuarnimoApp> app;

  FloppySplit(size_t length, uint32_t seed, bool batch) {
    CreateDirectoryW(Widen(root / "prog").c_str(), nullptr);
    source = root / "floppy.bin";
    bytes = RandomBytes(length, seed);
    if (!WriteWholeFile(source, bytes)) return;
    app = std::make_unique<QuarnimoApp>(root / "prog");
    if (!app->ok()) return;
    app->Click("optSpltSize(0)");
    app->SetText("txtInFile", source);
    app->SetText("txtOutPath", "A:\\");
    app->SetChecked("chkSamDir", false);
    app->SetChecked("chkMkBat", batch);
    app->Click("optHmny(0)");
  }
  [[nodiscard]] bool ok() const { return app != nullptr && app->ok(); }
  [[nodiscard]] std::string error() const {
    return app == nullptr ? "the source cannot be written" : app->error();
  }
  [[nodiscard]] std::string Part(int n) const { return BareStem(source) + PartNumber(n); }
  [[nodiscard]] std::string Piece(int n) const { return bytes.substr((n - 1) * kFloppyPart, kFloppyPart); }
};

// Waits for the next box and checks its text and style.
SeenBox ExpectBox(QuarnimoApp& app, const std::string& text, int style) {
  std::optional<SeenBox> box = app.NextBox();
  EXPECT_TRUE(box.has_value()) << "the program shows no message where the user expects \"" << text << "\"";
  if (!box) return {};
  EXPECT_EQ(box->text, text) << "the user is told the wrong thing";
  EXPECT_EQ(box->style, style) << "\"" << box->text << "\" has the wrong buttons or icon";
  EXPECT_EQ(box->title, "");
  return *box;
}

// Answers the end message and waits until the window takes input again.
void ExpectEnd(QuarnimoApp& app, const std::string& text, int style) {
  const SeenBox end = ExpectBox(app, text, style);
  ASSERT_NE(end.hwnd, nullptr);
  ASSERT_TRUE(app.Answer(end, IDOK));
  EXPECT_TRUE(guitest::PumpUntil([&] { return app.Idle(); }, 30000)) << "the window stays locked";
}

TEST(SplitFloppy, FourMegabytesSpanThreeDisksAndRejoinFromThem) {
  SKIP_WITHOUT_FLOPPIES();
  ASSERT_NO_FATAL_FAILURE(PrepareFloppies(3));
  FloppySplit split(size_t{4} * 1024 * 1024, 21, true);
  ASSERT_TRUE(split.ok()) << split.error();
  QuarnimoApp& app = *split.app;
  ASSERT_TRUE(app.StartSplit());
  for (int disk = 2; disk <= 3; ++disk) {
    const SeenBox prompt = ExpectBox(app, kNextDisk, kNextDiskStyle);
    ASSERT_NE(prompt.hwnd, nullptr) << "a full disk must make the program ask for disk " << disk;
    ASSERT_TRUE(RunMedia("insert", disk));
    ASSERT_TRUE(app.Answer(prompt, IDOK));
  }
  ExpectEnd(app, kFinished, 64);
  EXPECT_EQ(app.Close(), 0);

  for (int disk = 1; disk <= 3; ++disk) {
    const std::string part = FloppyFolder(disk) + "\\" + split.Part(disk);
    const std::string expected = split.bytes.substr((disk - 1) * kFloppyPart, kFloppyPart);
    EXPECT_TRUE(ReadWholeFile(part) == expected) << "disk " << disk << " does not hold part " << disk;
    // The write test must put the disk's label back: a label left behind
    // would also take room on the disk.
    EXPECT_EQ(CountFiles(FloppyFolder(disk)), disk == 3 ? 2 : 1)
        << "disk " << disk << " holds files the user did not ask for";
  }
  TempDir gathered;
  for (int disk = 1; disk <= 3; ++disk) ASSERT_TRUE(CopyFolderFiles(FloppyFolder(disk), gathered.path()));
  EXPECT_TRUE(ReadWholeFile(gathered / (BareStem(split.source) + "bat")) == ExpectedBatch(split.source, 3))
      << "the batch file on the last disk is wrong";
  ASSERT_EQ(RunWindowsProgram("C:\\windows\\system32\\cmd.exe /c " + BareStem(split.source) + "bat",
                              gathered.path()),
            0);
  EXPECT_TRUE(ReadWholeFile(gathered / "floppy.bin") == split.bytes)
      << "the parts gathered from the disks do not rejoin to the source";
}

TEST(SplitFloppy, AMissingDiskIsAskedForUntilOneIsInserted) {
  SKIP_WITHOUT_FLOPPIES();
  ASSERT_NO_FATAL_FAILURE(PrepareFloppies(2));
  FloppySplit split(2000000, 22, true);
  ASSERT_TRUE(split.ok()) << split.error();
  QuarnimoApp& app = *split.app;

  // No disk at the start. (Wine finds the root A:\ of an empty drive, so the
  // check of the output folder passes and the gate asks for a disk.)
  ASSERT_TRUE(RunMedia("eject"));
  ASSERT_TRUE(app.StartSplit());
  const SeenBox none = ExpectBox(app, kNextDisk, kNextDiskStyle);
  ASSERT_NE(none.hwnd, nullptr) << "an empty drive must make the program ask for a disk";
  ASSERT_TRUE(RunMedia("insert", 1));
  ASSERT_TRUE(app.Answer(none, IDOK));

  // Disk 1 is filled by the first part; then the drive stays empty at the
  // prompt for the next disk, which comes back until a disk is in.
  const SeenBox full = ExpectBox(app, kNextDisk, kNextDiskStyle);
  ASSERT_NE(full.hwnd, nullptr);
  ASSERT_TRUE(RunMedia("eject"));
  ASSERT_TRUE(app.Answer(full, IDOK));
  const SeenBox again = ExpectBox(app, kNextDisk, kNextDiskStyle);
  ASSERT_NE(again.hwnd, nullptr) << "with no disk in the drive the program must ask again";
  ASSERT_TRUE(RunMedia("insert", 2));
  ASSERT_TRUE(app.Answer(again, IDOK));
  ExpectEnd(app, kFinished, 64);
  EXPECT_EQ(app.Close(), 0);

  EXPECT_TRUE(ReadWholeFile(FloppyFolder(1) + "\\" + split.Part(1)) == split.Piece(1));
  EXPECT_TRUE(ReadWholeFile(FloppyFolder(2) + "\\" + split.Part(2)) == split.Piece(2));
  EXPECT_TRUE(ReadWholeFile(FloppyFolder(2) + "\\" + BareStem(split.source) + "bat") ==
              ExpectedBatch(split.source, 2));
}

TEST(SplitFloppy, AWriteProtectedDiskIsRetriedOnceWritable) {
  SKIP_WITHOUT_FLOPPIES();
  ASSERT_NO_FATAL_FAILURE(PrepareFloppies(1));
  ASSERT_TRUE(RunMedia("protect", 1));
  FloppySplit split(5000, 23, true);
  ASSERT_TRUE(split.ok()) << split.error();
  QuarnimoApp& app = *split.app;
  ASSERT_TRUE(app.StartSplit());
  const SeenBox prompt = ExpectBox(app, kCannotWrite, kCannotWriteStyle);
  ASSERT_NE(prompt.hwnd, nullptr);
  ASSERT_TRUE(RunMedia("unprotect", 1));
  ASSERT_TRUE(app.Answer(prompt, IDRETRY));
  ExpectEnd(app, kFinished, 64);
  EXPECT_EQ(app.Close(), 0);
  EXPECT_TRUE(ReadWholeFile(FloppyFolder(1) + "\\" + split.Part(1)) == split.bytes);
  EXPECT_TRUE(ReadWholeFile(FloppyFolder(1) + "\\" + BareStem(split.source) + "bat") ==
              ExpectedBatch(split.source, 1));
}

TEST(SplitFloppy, CancellingTheDiskPromptAndConfirmingAbortsTheSplit) {
  SKIP_WITHOUT_FLOPPIES();
  ASSERT_NO_FATAL_FAILURE(PrepareFloppies(1));
  FloppySplit split(2000000, 24, true);
  ASSERT_TRUE(split.ok()) << split.error();
  QuarnimoApp& app = *split.app;
  ASSERT_TRUE(app.StartSplit());
  const SeenBox prompt = ExpectBox(app, kNextDisk, kNextDiskStyle);
  ASSERT_TRUE(app.Answer(prompt, IDCANCEL));
  const SeenBox notYet = ExpectBox(app, kAskAbort, 36);
  ASSERT_TRUE(app.Answer(notYet, IDNO));
  const SeenBox prompt2 = ExpectBox(app, kNextDisk, kNextDiskStyle);
  ASSERT_NE(prompt2.hwnd, nullptr) << "No to the abort question must bring the disk prompt back";
  ASSERT_TRUE(app.Answer(prompt2, IDCANCEL));
  const SeenBox abort = ExpectBox(app, kAskAbort, 36);
  ASSERT_TRUE(app.Answer(abort, IDYES));
  ExpectEnd(app, kAborted, 48);
  EXPECT_EQ(app.Close(), 0);
  EXPECT_TRUE(ReadWholeFile(FloppyFolder(1) + "\\" + split.Part(1)) == split.Piece(1))
      << "the part written before the abort must stay";
  EXPECT_EQ(CountFiles(FloppyFolder(1)), 1) << "an aborted split must not write its batch file";
}

TEST(SplitFloppy, AnOldPartOnTheDiskCountsAsRoomForItsReplacement) {
  SKIP_WITHOUT_FLOPPIES();
  ASSERT_NO_FATAL_FAILURE(PrepareFloppies(1));
  FloppySplit split(kFloppyPart, 25, false);
  ASSERT_TRUE(split.ok()) << split.error();
  // The disk is full with an old copy of the same part.
  const std::string onDisk = FloppyFolder(1) + "\\" + split.Part(1);
  ASSERT_TRUE(WriteWholeFile(onDisk, RandomBytes(kFloppyPart, 99)));
  QuarnimoApp& app = *split.app;
  ASSERT_TRUE(app.StartSplit());
  ExpectEnd(app, kFinished, 64);
  EXPECT_EQ(app.Close(), 0);
  EXPECT_TRUE(ReadWholeFile(onDisk) == split.bytes) << "the old part was not replaced by the new one";
}

}  // namespace
}  // namespace qn::winetest
