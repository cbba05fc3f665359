// The split as the user gets it: the real Quarnimo.exe under Wine splits real
// files into real part files, its rejoin batch file run by Wine's cmd gives
// the source back byte for byte, a full disk or a source that shrinks ends
// the run with the failure message, keeps the finished parts and leaves no
// part cut short behind, and the source is never overwritten.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/wine/support/quarnimo_app.h"
#include "tests/wine/support/split_support.h"
#include "tests/wine/wine_test_util.h"

namespace qn::winetest {
namespace {

constexpr const char* kFailed = "正常に終了できませんでした";

// A test folder with the program's own folder "prog" and an output folder
// "out" in it.
struct SplitFolders {
  TempDir root;
  bool ok = root.ok() && CreateDirectoryW(Widen(root / "prog").c_str(), nullptr) &&
            CreateDirectoryW(Widen(root / "out").c_str(), nullptr);
};

TEST(SplitExe, PartsHoldTheSourceAndTheBatchFileRejoinsIt) {
  const struct {
    const char* what;
    const char* name;
    size_t length;
    const char* freeSize;  // empty: the 1.44 MB preset
    size_t partSize;
  } cases[] = {
      {"one byte more than a 1.44 MB disk: a 1-byte last part", "onemore.bin", 1457665, "", 1457664},
      {"1001 parts: from 1000 on the number has four digits", "many.dat", 7003, "7", 7},
      {"a long name with blanks and Japanese characters", "月次 報告表 2024.dat", 2500, "1000", 1000},
      {"\"&\" and parentheses, which short names keep and cmd splits at", "R&D Plan (1).txt", 2500, "1000",
       1000},
  };
  uint32_t seed = 1;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    SplitFolders dirs;
    ASSERT_TRUE(dirs.ok);
    const std::string source = dirs.root / c.name;
    const std::string bytes = RandomBytes(c.length, seed++);
    ASSERT_TRUE(WriteWholeFile(source, bytes));

    QuarnimoApp app(dirs.root / "prog");
    ASSERT_TRUE(app.ok()) << app.error();
    ASSERT_NO_FATAL_FAILURE(StartSplit(app, {source, dirs.root / "out", c.freeSize}));
    ExpectEnd(app, kFinished, kInformation);
    EXPECT_EQ(app.Close(), 0) << "the program must close cleanly after a split";

    const std::string stem = dirs.root / "out" + "\\" + BareStem(source);
    const int count = static_cast<int>((c.length + c.partSize - 1) / c.partSize);
    for (int n = 1; n <= count; ++n) {
      const std::string written = ReadWholeFile(stem + PartNumber(n));
      ASSERT_TRUE(written == bytes.substr(static_cast<size_t>(n - 1) * c.partSize, c.partSize))
          << "part " << n << " does not hold the source's bytes at its place";
    }
    EXPECT_EQ(CountFiles(dirs.root / "out"), count + 1)
        << "the output folder holds files it should not, such as an extra part that joins into a longer file";
    EXPECT_TRUE(ReadWholeFile(source) == bytes) << "the split changed its source";
    ASSERT_NO_FATAL_FAILURE(ExpectRejoin(dirs.root / "out", source, bytes));
  }
}

// Drive M: is a 3 MB fixed disk that holds an 800 KB file of the user's: the
// fourth part of 700 KB no longer fits.
TEST(SplitExe, AFullDiskKeepsTheFinishedPartsAndARerunSkipsThem) {
  const std::string reason = MediaUnavailableReason();
  if (!reason.empty()) GTEST_SKIP() << "no 3 MB test disk: " << reason;
  ASSERT_TRUE(RunMedia("wipe"));
  ASSERT_EQ(GetDriveTypeW(L"M:\\"), static_cast<UINT>(DRIVE_FIXED)) << "drive M: is not the 3 MB fixed disk";
  ASSERT_TRUE(WriteWholeFile("M:\\other.bin", std::string(800000, 'o')));
  SplitFolders dirs;
  ASSERT_TRUE(dirs.ok);
  const std::string source = dirs.root / "big.bin";
  const std::string bytes = RandomBytes(2500000, 5);
  ASSERT_TRUE(WriteWholeFile(source, bytes));

  QuarnimoApp app(dirs.root / "prog");
  ASSERT_TRUE(app.ok()) << app.error();
  ASSERT_NO_FATAL_FAILURE(StartSplit(app, {source, "M:\\", "700000"}));
  ExpectEnd(app, kFailed, kCritical);
  const std::string stem = "M:\\" + BareStem(source);
  for (int n = 1; n <= 3; ++n) {
    EXPECT_TRUE(ReadWholeFile(stem + PartNumber(n)) ==
                bytes.substr(static_cast<size_t>(n - 1) * 700000, 700000))
        << "part " << n << ", written before the disk filled up, is damaged";
  }
  EXPECT_EQ(RawAttributes(stem + "004"), INVALID_FILE_ATTRIBUTES)
      << "a part cut short stays, and a rerun that skips existing parts would take it as finished";
  EXPECT_EQ(RawAttributes(stem + "bat"), INVALID_FILE_ATTRIBUTES)
      << "after a failure no batch file may promise a complete set of parts";
  EXPECT_EQ(app.Setting("LastErrorNumber").value_or("(none)"), "112")
      << "the disk-full number must be recorded in values.ini";

  // The user makes room and runs the split again, skipping what is there.
  ASSERT_TRUE(DeleteFileW(L"M:\\other.bin"));
  ASSERT_NO_FATAL_FAILURE(StartSplit(app, {source, "M:\\", "700000", true, 1}));
  ExpectEnd(app, kFinished, kInformation);
  EXPECT_EQ(app.Close(), 0);
  // The joined file would not fit beside the parts: join them elsewhere.
  for (const std::string name : {"001", "002", "003", "004", "bat"}) {
    EXPECT_TRUE(CopyFileW(Widen(stem + name).c_str(),
                          Widen(dirs.root / "out" + "\\" + BareStem(source) + name).c_str(), TRUE))
        << name << " is missing after the rerun";
  }
  ExpectRejoin(dirs.root / "out", source, bytes);
  EXPECT_TRUE(RunMedia("wipe"));
}

// A fixed drive cannot grow while the user looks at the question: Yes writes.
TEST(SplitExe, YesOnAFixedDriveTooSmallWritesOnceAndFailsCleanly) {
  const std::string reason = MediaUnavailableReason();
  if (!reason.empty()) GTEST_SKIP() << "no 3 MB test disk: " << reason;
  ASSERT_TRUE(RunMedia("wipe"));
  SplitFolders dirs;
  ASSERT_TRUE(dirs.ok);
  const std::string source = dirs.root / "large.bin";
  ASSERT_TRUE(WriteWholeFile(source, RandomBytes(3500000, 6)));

  QuarnimoApp app(dirs.root / "prog");
  ASSERT_TRUE(app.ok()) << app.error();
  ASSERT_NO_FATAL_FAILURE(StartSplit(app, {source, "M:\\", "3500000"}));
  const SeenBox question = ExpectBox(app, "容量が足りません。続行しますか？", 20);  // Yes, No, stop
  ASSERT_NE(question.hwnd, nullptr);
  ASSERT_TRUE(app.Answer(question, IDYES));
  ExpectEnd(app, kFailed, kCritical);  // not the question again
  EXPECT_EQ(app.Close(), 0);
  EXPECT_EQ(CountFiles("M:\\"), 0) << "the part that did not fit stays on the disk";
  EXPECT_TRUE(RunMedia("wipe"));
}

// A length a 32-bit reading would take for 0 must not slip past the limit.
TEST(SplitExe, ASourceOf4GiBIsRefused) {
  SplitFolders dirs;
  ASSERT_TRUE(dirs.ok);
  const std::string source = dirs.root / "huge.bin";
  ASSERT_TRUE(MakeLongFile(source, int64_t{4} << 30)) << "no sparse file of 4 GiB";
  QuarnimoApp app(dirs.root / "prog");
  ASSERT_TRUE(app.ok()) << app.error();
  ASSERT_NO_FATAL_FAILURE(StartSplit(app, {source, dirs.root / "out", "1000"}));
  const SeenBox box = ExpectBox(app, "ファイルのサイズが２ＧＢ以上なので分割ができません", 48);
  ASSERT_NE(box.hwnd, nullptr);
  ASSERT_TRUE(app.Answer(box, IDOK));
  EXPECT_TRUE(guitest::PumpUntil([&] { return app.Idle(); }, 30000)) << "a further message followed";
  EXPECT_EQ(app.Close(), 0);
  EXPECT_EQ(CountFiles(dirs.root / "out"), 0) << "a refused source was split";
}

// Splits `source`, named `typed` in the window, into `output` (the source's
// own folder under some name): the split must refuse to overwrite the source
// with its own first part and leave it alone in its folder.
void ExpectSourceRefused(const std::string& source, const std::string& typed, const std::string& output) {
  const std::string bytes = RandomBytes(2500, 9);
  ASSERT_TRUE(WriteWholeFile(source, bytes));
  TempDir programFolder;
  QuarnimoApp app(programFolder.path());
  ASSERT_TRUE(app.ok()) << app.error();
  ASSERT_NO_FATAL_FAILURE(StartSplit(app, {typed, output, "1000"}));
  const SeenBox box = ExpectBox(app, "ファイルを上書きするのは無理でした", kCritical);
  ASSERT_NE(box.hwnd, nullptr);
  ASSERT_TRUE(app.Answer(box, IDOK));
  EXPECT_TRUE(guitest::PumpUntil([&] { return app.Idle(); }, 30000))
      << "no further message may follow, and the window must be unlocked";
  EXPECT_EQ(app.Close(), 0);
  EXPECT_TRUE(ReadWholeFile(source) == bytes) << "the source was overwritten or deleted";
  EXPECT_EQ(CountFiles(source.substr(0, source.find_last_of('\\'))), 1)
      << "nothing but the source may be in its folder";
}

// A source named like its own first part (x.001), so that part 001's path is
// the source itself, however the user spells it.
TEST(SplitExe, TheSourceTypedInAnotherCaseIsNotOverwritten) {
  TempDir root;
  ASSERT_TRUE(root.ok());
  ExpectSourceRefused(root / "x.001", root / "X.001", root.path());
}

TEST(SplitExe, TheSourceReachedThroughAnotherDriveIsNotOverwritten) {
  // Drive M: and its host folder seen through drive Z: are one folder.
  const std::string reason = MediaUnavailableReason();
  if (!reason.empty()) GTEST_SKIP() << "no second drive on one folder: " << reason;
  ASSERT_TRUE(RunMedia("wipe"));
  ExpectSourceRefused("M:\\x.001", "M:\\x.001", FixedDiskFolder());
  EXPECT_TRUE(RunMedia("wipe"));
}

TEST(SplitExe, ASourceThatShrinksDuringTheRunFailsWithoutACutPart) {
  SplitFolders dirs;
  ASSERT_TRUE(dirs.ok);
  const std::string source = dirs.root / "shrink.bin";
  const std::string bytes = RandomBytes(3000, 11);
  ASSERT_TRUE(WriteWholeFile(source, bytes));
  // An old second part makes the program ask before it, with the source open.
  const std::string stem = dirs.root / "out" + "\\" + BareStem(source);
  ASSERT_TRUE(WriteWholeFile(stem + "002", "old"));

  QuarnimoApp app(dirs.root / "prog");
  ASSERT_TRUE(app.ok()) << app.error();
  ASSERT_NO_FATAL_FAILURE(StartSplit(app, {source, dirs.root / "out", "1000", true, 2}));
  std::optional<SeenBox> ask = app.NextBox();
  ASSERT_TRUE(ask.has_value()) << "the program does not ask before overwriting the old part";
  EXPECT_EQ(ask->text, stem + "002を上書きしますか？");

  // While the program holds the source open, others may not write it.
  const HANDLE writer = CreateFileW(Widen(source).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_EQ(writer, INVALID_HANDLE_VALUE) << "another program could change the source during the split";
  if (writer != INVALID_HANDLE_VALUE) CloseHandle(writer);

  // The host cuts the source short behind Windows' back.
  ASSERT_EQ(RunHostScript("truncate -s 1500 '" + UnixPath(source) + "'"), 0);
  ASSERT_TRUE(app.Answer(*ask, IDYES));
  ExpectEnd(app, kFailed, kCritical);
  EXPECT_EQ(app.Close(), 0);

  EXPECT_TRUE(ReadWholeFile(stem + "001") == bytes.substr(0, 1000)) << "the first part was damaged";
  EXPECT_EQ(RawAttributes(stem + "002"), INVALID_FILE_ATTRIBUTES)
      << "the second part, cut short, would pass for finished";
}

}  // namespace
}  // namespace qn::winetest
