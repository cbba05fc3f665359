// The split as the user gets it: the real Quarnimo.exe under Wine splits real
// files into real part files, its rejoin batch file run by Wine's cmd gives
// the source back byte for byte, a full disk ends the run with the failure
// message and leaves the earlier parts intact, the source is never
// overwritten, and a source that shrinks during the run is not padded with
// invented bytes.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/wine/support/quarnimo_app.h"
#include "tests/wine/support/split_support.h"
#include "tests/wine/wine_test_util.h"

namespace qn::winetest {
namespace {

constexpr const char* kFinished = "正常に分割を終了しました";
constexpr const char* kFailed = "正常に終了できませんでした";
constexpr const char* kCannotOverwrite = "ファイルを上書きするのは無理でした";
constexpr int kInformation = 64;
constexpr int kCritical = 16;

// What the user chooses in the window before pressing the split button.
struct Choice {
  std::string source;
  std::string outFolder;
  std::string freeSize;  // the free size field's text; empty selects the 1.44 MB preset
  bool sameFolder = false;
  bool batch = true;
  int policy = 0;  // 0 overwrite, 1 skip, 2 ask
};

// Sets the window up as `choice` says and presses the split button.
void StartSplit(QuarnimoApp& app, const Choice& choice) {
  if (choice.freeSize.empty()) {
    ASSERT_TRUE(app.Click("optSpltSize(0)"));
  } else {
    ASSERT_TRUE(app.SetFreeSize(choice.freeSize));
  }
  ASSERT_TRUE(app.SetText("txtInFile", choice.source));
  ASSERT_TRUE(app.SetText("txtOutPath", choice.outFolder));
  ASSERT_TRUE(app.SetChecked("chkSamDir", choice.sameFolder))
      << "the same-folder box does not take the click";
  ASSERT_TRUE(app.SetChecked("chkMkBat", choice.batch)) << "the batch box does not take the click";
  ASSERT_TRUE(app.Click("optHmny(" + std::to_string(choice.policy) + ")"));
  ASSERT_TRUE(app.StartSplit());
}

// Waits for the run's end message, checks it and the status line shown
// beside it, answers it and waits until the window takes input again.
void ExpectEndMessage(QuarnimoApp& app, const std::string& text, int style) {
  std::optional<SeenBox> box = app.NextBox(120000);
  ASSERT_TRUE(box.has_value()) << "the split shows no end message";
  EXPECT_EQ(box->text, text) << "the user is told the wrong outcome";
  EXPECT_EQ(box->style, style) << "the end message has the wrong buttons or icon";
  EXPECT_EQ(box->title, "") << "the end message must have an empty title";
  EXPECT_EQ(app.Text("lblComplt"), "Splitting Completed") << "the status line must say the run completed";
  ASSERT_TRUE(app.Answer(*box, IDOK));
  EXPECT_TRUE(guitest::PumpUntil([&] { return app.Idle(); }, 30000))
      << "after the end message the window must be unlocked with an empty status line";
}

// Checks that `folder` holds exactly the parts of `source` split at `partSize`
// (and the batch file when `batch`), each with the source's own bytes.
void ExpectParts(const std::string& folder, const std::string& source, const std::string& bytes,
                 size_t partSize, bool batch) {
  const std::string stem = BareStem(source);
  const int count = static_cast<int>((bytes.size() + partSize - 1) / partSize);
  const std::string stemPath = folder + "\\" + stem;
  for (int n = 1; n <= count; ++n) {
    const std::string part = stemPath + PartNumber(n);
    const std::string expected = bytes.substr(static_cast<size_t>(n - 1) * partSize, partSize);
    const std::string written = ReadWholeFile(part);
    ASSERT_EQ(written.size(), expected.size()) << part << " has the wrong size";
    ASSERT_TRUE(written == expected) << part << " does not hold the source's bytes at its place";
  }
  EXPECT_EQ(RawAttributes(folder + "\\" + stem + PartNumber(count + 1)), INVALID_FILE_ATTRIBUTES)
      << "an extra part after the last one would join into a longer file";
  const std::string batchPath = folder + "\\" + stem + "bat";
  if (batch) {
    EXPECT_TRUE(ReadWholeFile(batchPath) == ExpectedBatch(source, count))
        << "the batch file's bytes are not the COPY /B lines in code page 932:\n"
        << ReadWholeFile(batchPath);
  } else {
    EXPECT_EQ(RawAttributes(batchPath), INVALID_FILE_ATTRIBUTES) << "a batch file was written unasked";
  }
}

// Runs the batch file with Wine's cmd in `folder`, which holds the parts,
// and checks that it gives the source back there.
void ExpectRejoin(const std::string& folder, const std::string& source, const std::string& bytes) {
  const std::string batch = BareStem(source) + "bat";
  ASSERT_EQ(RunWindowsProgram("C:\\windows\\system32\\cmd.exe /c " + batch, folder), 0)
      << "the batch file fails under cmd";
  const std::string name = source.substr(source.find_last_of('\\') + 1);
  const std::string joined = ReadWholeFile(folder + "\\" + name);
  ASSERT_EQ(joined.size(), bytes.size()) << "the rejoined " << name << " has the wrong length";
  EXPECT_TRUE(joined == bytes) << "the rejoined " << name << " differs from the source";
}

struct SplitCase {
  const char* what;
  const char* sourceFolder;  // inside the test folder
  const char* sourceName;
  size_t length;
  const char* freeSize;  // empty: the 1.44 MB preset
  size_t partSize;
  bool sameFolder;
};

TEST(SplitExe, PartsHoldTheSourceAndTheBatchFileRejoinsIt) {
  const SplitCase cases[] = {
      {"an exact multiple of the part size: no empty extra part", "src", "exact.bin", 3000, "1000", 1000,
       false},
      {"one byte more than a 1.44 MB disk: a 1-byte last part", "src", "onemore.bin", 1457665, "", 1457664,
       false},
      {"1001 parts: from 1000 on the number has four digits", "src", "many.dat", 7003, "7", 7, false},
      {"a long name with blanks and Japanese characters", "src", "月次 報告表 2024.dat", 2500, "1000", 1000,
       false},
      {"a source without extension in a folder with a dot, same folder", "v1.2", "data", 2100, "700", 700,
       true},
  };
  uint32_t seed = 1;
  for (const SplitCase& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir root;
    ASSERT_TRUE(root.ok());
    for (const char* folder : {"prog", "out", c.sourceFolder}) {
      ASSERT_TRUE(CreateDirectoryW(Widen(root / folder).c_str(), nullptr));
    }
    const std::string source = root / (std::string(c.sourceFolder) + "\\" + c.sourceName);
    const std::string bytes = RandomBytes(c.length, seed++);
    ASSERT_TRUE(WriteWholeFile(source, bytes));

    QuarnimoApp app(root / "prog");
    ASSERT_TRUE(app.ok()) << app.error();
    StartSplit(app, {source, root / "out", c.freeSize, c.sameFolder, true, 0});
    ExpectEndMessage(app, kFinished, kInformation);
    EXPECT_EQ(app.Close(), 0) << "the program must close cleanly after a split";

    const std::string partsFolder = c.sameFolder ? root / c.sourceFolder : root / "out";
    ExpectParts(partsFolder, source, bytes, c.partSize, true);
    const int parts = static_cast<int>((c.length + c.partSize - 1) / c.partSize);
    EXPECT_EQ(CountFiles(partsFolder), parts + 1 + (c.sameFolder ? 1 : 0))
        << "the output folder holds files it should not";
    if (c.sameFolder) {
      EXPECT_EQ(CountFiles(root / "out"), 0) << "in same-folder mode nothing may go to the output folder";
    }
    EXPECT_TRUE(ReadWholeFile(source) == bytes) << "the split changed its source";
    if (c.sameFolder) {
      // Joined beside the source, the copy would overwrite it: join a copy of the parts.
      ASSERT_TRUE(CreateDirectoryW(Widen(root / "join").c_str(), nullptr));
      ASSERT_TRUE(CopyFolderFiles(partsFolder, root / "join"));
      ASSERT_TRUE(DeleteFileW(Widen(root / ("join\\" + std::string(c.sourceName))).c_str()));
      ExpectRejoin(root / "join", source, bytes);
    } else {
      ExpectRejoin(partsFolder, source, bytes);
    }
    if (HasFatalFailure()) return;
  }
}

TEST(SplitExe, RangeWritesOnlyItsPartsAndABatchFileNamingAll) {
  TempDir root;
  ASSERT_TRUE(root.ok());
  for (const char* folder : {"prog", "whole", "range"}) {
    ASSERT_TRUE(CreateDirectoryW(Widen(root / folder).c_str(), nullptr));
  }
  const std::string source = root / "five.bin";
  const std::string bytes = RandomBytes(4500, 77);
  ASSERT_TRUE(WriteWholeFile(source, bytes));

  QuarnimoApp app(root / "prog");
  ASSERT_TRUE(app.ok()) << app.error();
  // A first, whole split shows the plan of five parts in the window.
  StartSplit(app, {source, root / "whole", "1000", false, true, 0});
  ExpectEndMessage(app, kFinished, kInformation);
  ExpectParts(root / "whole", source, bytes, 1000, true);

  ASSERT_TRUE(app.ChooseMenu("mnuSettings(3)"));
  ASSERT_TRUE(IsWindowEnabled(app.Control("txtSpltPart(0)")))
      << "the range menu item does not turn range mode on";
  EXPECT_EQ(app.Text("txtSpltPart(1)"), "5") << "range mode must start from the whole plan of five parts";
  ASSERT_TRUE(app.SetText("txtSpltPart(0)", "2"));
  ASSERT_TRUE(app.SetText("txtSpltPart(1)", "4"));
  ASSERT_TRUE(app.SetText("txtOutPath", root / "range"));
  ASSERT_TRUE(app.StartSplit());
  ExpectEndMessage(app, kFinished, kInformation);
  EXPECT_EQ(app.Close(), 0);

  const std::string stem = root / "range" + "\\" + BareStem(source);
  for (int n = 1; n <= 5; ++n) {
    const std::string part = stem + PartNumber(n);
    if (n < 2 || n > 4) {
      EXPECT_EQ(RawAttributes(part), INVALID_FILE_ATTRIBUTES) << part << " lies outside the chosen range";
    } else {
      EXPECT_TRUE(ReadWholeFile(part) == bytes.substr(static_cast<size_t>(n - 1) * 1000, 1000))
          << part << " does not hold its piece of the source";
    }
  }
  EXPECT_TRUE(ReadWholeFile(stem + "bat") == ExpectedBatch(source, 5))
      << "the batch file of a range must still name all five parts";
}

TEST(SplitExe, AFullDiskEndsTheRunAsAFailureAndKeepsTheEarlierParts) {
  const std::string reason = MediaUnavailableReason();
  if (!reason.empty()) GTEST_SKIP() << "no 3 MB test disk: " << reason;
  ASSERT_TRUE(RunMedia("wipe"));
  TempDir root;
  ASSERT_TRUE(root.ok());
  ASSERT_TRUE(CreateDirectoryW(Widen(root / "prog").c_str(), nullptr));
  const std::string source = root / "big.bin";
  const std::string bytes = RandomBytes(4000000, 5);
  ASSERT_TRUE(WriteWholeFile(source, bytes));
  ASSERT_EQ(GetDriveTypeW(L"M:\\"), static_cast<UINT>(DRIVE_FIXED)) << "drive M: is not the 3 MB fixed disk";

  QuarnimoApp app(root / "prog");
  ASSERT_TRUE(app.ok()) << app.error();
  StartSplit(app, {source, "M:\\", "1000000", false, true, 0});
  ExpectEndMessage(app, kFailed, kCritical);
  EXPECT_EQ(app.Close(), 0);

  const std::string stem = "M:\\" + BareStem(source);
  for (int n = 1; n <= 3; ++n) {
    EXPECT_TRUE(ReadWholeFile(stem + PartNumber(n)) ==
                bytes.substr(static_cast<size_t>(n - 1) * 1000000, 1000000))
        << "part " << n << ", written before the disk filled up, is damaged";
  }
  const std::string fourth = ReadWholeFile(stem + "004");
  EXPECT_LT(fourth.size(), 1000000u) << "the fourth part cannot have fit on the disk";
  EXPECT_TRUE(fourth == bytes.substr(3000000, fourth.size()))
      << "what the fourth part holds must be the source's bytes, not invented ones";
  EXPECT_EQ(RawAttributes(stem + "bat"), INVALID_FILE_ATTRIBUTES)
      << "after a failure no batch file may promise a complete set of parts";
  EXPECT_EQ(app.Setting("LastErrorNumber").value_or("(none)"), "112")
      << "the disk-full number must be recorded in values.ini";
  EXPECT_TRUE(RunMedia("wipe"));
}

// Splits `source`, named `typed` in the window, into `output` (the source's
// own folder under some name) and expects the gate to refuse to overwrite
// the source with its own first part, leaving it alone in its folder.
void ExpectSourceRefused(const std::string& source, const std::string& typed, const std::string& output,
                         bool sameFolder) {
  const std::string bytes = RandomBytes(2500, 9);
  ASSERT_TRUE(WriteWholeFile(source, bytes));
  TempDir programFolder;
  QuarnimoApp app(programFolder.path());
  ASSERT_TRUE(app.ok()) << app.error();
  StartSplit(app, {typed, output, "1000", sameFolder, true, 0});
  std::optional<SeenBox> box = app.NextBox();
  ASSERT_TRUE(box.has_value()) << "the split shows no message";
  EXPECT_EQ(box->text, kCannotOverwrite) << "the user must hear that the source cannot be overwritten";
  EXPECT_EQ(box->style, kCritical);
  ASSERT_TRUE(app.Answer(*box, IDOK));
  EXPECT_TRUE(guitest::PumpUntil([&] { return app.Idle(); }, 30000))
      << "no further message may follow, and the window must be unlocked";
  EXPECT_EQ(app.Close(), 0);
  EXPECT_TRUE(ReadWholeFile(source) == bytes) << "the source was overwritten or deleted";
  const std::string folder = source.substr(0, source.find_last_of('\\'));
  EXPECT_EQ(CountFiles(folder), 1) << "nothing but the source may be in its folder";
}

// A source named like its own first part (x.001), so that part 001's path is
// the source itself, however the user spells it.
TEST(SplitExe, TheSourceTypedInAnotherCaseIsNotOverwritten) {
  TempDir root;
  ASSERT_TRUE(root.ok());
  ExpectSourceRefused(root / "x.001", root / "X.001", root.path(), true);
}

TEST(SplitExe, TheSourceReachedThroughAnotherDriveIsNotOverwritten) {
  // Drive M: and its host folder seen through drive Z: are one folder.
  const std::string reason = MediaUnavailableReason();
  if (!reason.empty()) GTEST_SKIP() << "no second drive on one folder: " << reason;
  ASSERT_TRUE(RunMedia("wipe"));
  ExpectSourceRefused("M:\\x.001", "M:\\x.001", FixedDiskFolder(), false);
  EXPECT_TRUE(RunMedia("wipe"));
}

TEST(SplitExe, ASourceThatShrinksDuringTheRunFailsWithoutInventedBytes) {
  TempDir root;
  ASSERT_TRUE(root.ok());
  for (const char* folder : {"prog", "out"}) {
    ASSERT_TRUE(CreateDirectoryW(Widen(root / folder).c_str(), nullptr));
  }
  const std::string source = root / "shrink.bin";
  const std::string bytes = RandomBytes(3000, 11);
  ASSERT_TRUE(WriteWholeFile(source, bytes));
  // An old second part makes the program ask before it, with the source open.
  const std::string stem = root / "out" + "\\" + BareStem(source);
  ASSERT_TRUE(WriteWholeFile(stem + "002", "old"));

  QuarnimoApp app(root / "prog");
  ASSERT_TRUE(app.ok()) << app.error();
  StartSplit(app, {source, root / "out", "1000", false, true, 2});
  std::optional<SeenBox> ask = app.NextBox();
  ASSERT_TRUE(ask.has_value()) << "the program does not ask before overwriting the old part";
  EXPECT_NE(ask->text.find("002を上書きしますか？"), std::string::npos) << ask->text;

  // While the program holds the source open: others may read it, not write it.
  const HANDLE reader = CreateFileW(Widen(source).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_NE(reader, INVALID_HANDLE_VALUE) << "the open source must stay readable for others";
  if (reader != INVALID_HANDLE_VALUE) CloseHandle(reader);
  const HANDLE writer = CreateFileW(Widen(source).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_EQ(writer, INVALID_HANDLE_VALUE) << "another program could change the source during the split";
  if (writer != INVALID_HANDLE_VALUE) CloseHandle(writer);

  // The host cuts the source short behind Windows' back.
  ASSERT_EQ(RunHostScript("truncate -s 1500 '" + UnixPath(source) + "'"), 0);
  ASSERT_TRUE(app.Answer(*ask, IDYES));
  ExpectEndMessage(app, kFailed, kCritical);
  EXPECT_EQ(app.Close(), 0);

  EXPECT_TRUE(ReadWholeFile(stem + "001") == bytes.substr(0, 1000)) << "the first part was damaged";
  const std::string second = ReadWholeFile(stem + "002");
  EXPECT_LE(second.size(), 500u) << "the second part holds bytes the source no longer has";
  EXPECT_TRUE(second == bytes.substr(1000, second.size())) << "the second part holds invented bytes";
  EXPECT_EQ(RawAttributes(stem + "003"), INVALID_FILE_ATTRIBUTES) << "the run went on after the failure";
  EXPECT_EQ(RawAttributes(stem + "bat"), INVALID_FILE_ATTRIBUTES) << "a batch file after a failed run";
}

}  // namespace
}  // namespace qn::winetest
