// The split job driven through the main window: the parts it writes and
// what the user is told, first where a byte could be lost or changed.
#include "engine/split_job.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "engine/numbers.h"
#include "engine/part_names.h"
#include "engine_split_fixture.h"

namespace qn::engine::testing {
namespace {

namespace err = platform::err;
namespace drive = platform::drive;
using platform::sim::BoxRecord;
using platform::sim::DriveSpec;
using platform::sim::Op;
using Errors = std::vector<platform::ErrorCode>;

constexpr int kInformation = 64;
constexpr int kCritical = 16;
constexpr int kWarning = 48;

using SplitJobTest = SplitFixture;

// Puts text into a range box past its own handling, as no user could: the
// job must cope with whatever the boxes hold.
void SetRaw(ui::TextBox& box, const char* text) {
  auto handler = std::move(box.onChange);
  box.SetText(text);
  box.onChange = std::move(handler);
}

// ---- the bytes ---------------------------------------------------------------

TEST_F(SplitJobTest, PartsHoldTheSourceInOrderAndNothingElse) {
  constexpr size_t kWhole = kCopyBufferBytes;
  sim.AddDrive('M', DriveSpec{.type = drive::kRamDisk});
  sim.AddDrive('R', DriveSpec{.type = drive::kCdRom});
  sim.MakeFolders("R:\\DISC");
  struct Case {
    const char* what;
    const char* source;
    size_t length;
    int64_t partSize;
    size_t buffer;  // the most one read moves
    bool sameFolder;
    const char* stem;  // of the parts' paths
    int64_t count;
    const char* output = "D:\\OUT";
  } cases[] = {
      {"an exact multiple: no empty extra part", "C:\\DATA\\REPORT.TXT", 12, 4, kWhole, false,
       "D:\\OUT\\REPORT.", 3},
      {"a part larger than the source, on a RAM disk", "C:\\DATA\\SMALL.BIN", 5, 100, kWhole, false,
       "M:\\SMALL.", 1, "M:\\"},
      {"a long name gives the short one", "C:\\DATA\\Annual Report.xls", 7, 5, kWhole, false,
       "D:\\OUT\\ANNUAL~1.", 2},
      {"same folder, a dot in the folder's name; the field's CD-ROM does not count", "C:\\V1.2\\DATA", 4, 3,
       kWhole, true, "C:\\V1.2\\DATA.", 2, "R:\\DISC"},
      {"a part of several buffers and a rest", "C:\\DATA\\BIG.BIN", 25, 10, 4, false, "D:\\OUT\\BIG.", 3},
      {"a part of exactly one buffer", "C:\\DATA\\EVEN.BIN", 11, 4, 4, false, "D:\\OUT\\EVEN.", 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Source(c.source, c.length, static_cast<double>(c.partSize), c.output);
    frm.chkSamDir.SetValue(c.sameFolder ? 1 : 0);
    // The batch box is off: a batch file of the user's there stays.
    frm.chkMkBat.SetValue(0);
    const std::string batch = std::string(c.stem) + "bat";
    sim.WriteFile(batch, "the user's own");
    frm.copyBuffer.bytes = c.buffer;
    Split(kDone, kInformation);
    for (int64_t n = 1; n <= c.count; ++n) {
      const std::string part = c.stem + PartNumberText(n);
      EXPECT_EQ(Slice(n, c.partSize), sim.ReadFile(part)) << part << " does not hold its piece of the source";
    }
    EXPECT_FALSE(sim.Exists(c.stem + PartNumberText(c.count + 1))) << "an extra part was written";
    EXPECT_EQ("the user's own", sim.ReadFile(batch)) << "a batch file was written with the box off";
    EXPECT_EQ(SourceSizeText(static_cast<double>(c.length)), frm.lblSize.Caption())
        << "the size shown is stale";
  }
  EXPECT_TRUE(recorded.empty()) << "a clean run recorded a failure";
}

TEST_F(SplitJobTest, RangesWriteOnlyTheirPartsAtTheirPlaces) {
  struct Case {
    const char* what;
    const char* first;
    const char* last;
    std::vector<int64_t> written;
  } cases[] = {
      {"3 to 5 of 10", "3", "5", {3, 4, 5}},
      {"beyond the count: up to the short last part", "9", "12", {9, 10}},
      {"first above last: nothing", "6", "5", {}},
  };
  // 38 bytes in parts of 4: ten parts, the last one 2 bytes.
  std::string joined = "REPORT.001";
  for (int64_t n = 2; n <= 10; ++n) joined += "+REPORT." + PartNumberText(n);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove_all(sim.HostPath("D:\\OUT"));
    sim.ForgetCaches();
    sim.MakeFolders("D:\\OUT");
    Source("C:\\DATA\\REPORT.TXT", 38, 4);
    if (!frm.mnuSettings[3].Checked()) frm.mnuSettings[3].UserClick();
    SetRaw(frm.txtSpltPart[1], c.last);
    SetRaw(frm.txtSpltPart[0], c.first);
    frm.chkMkBat.SetValue(1);
    Split(kDone, kInformation);
    EXPECT_EQ("COPY /B " + joined + " \"REPORT.TXT\"\r\n", sim.ReadFile("D:\\OUT\\REPORT.bat"))
        << "the batch file of a range does not join the whole file";
    for (int64_t n = 1; n <= 12; ++n) {
      const std::string path = "D:\\OUT\\REPORT." + PartNumberText(n);
      const bool wanted = std::find(c.written.begin(), c.written.end(), n) != c.written.end();
      EXPECT_EQ(wanted, sim.Exists(path)) << path << (wanted ? " is missing" : " is outside the range");
      if (wanted) {
        EXPECT_EQ(Slice(n, 4), sim.ReadFile(path)) << path << " holds the wrong bytes";
      }
    }
  }
}

// The count shown when the source was chosen is stale by the time of the
// split; the parts must follow the source as it is now.
TEST_F(SplitJobTest, ASourceThatGrewSinceItWasChosenGivesItsRealParts) {
  Source("C:\\DATA\\REPORT.TXT", 10, 4);
  frm.mnuSettings[3].UserClick();  // range mode: 1 to 3
  sourceBytes = Bytes(14, 2);
  sim.WriteFile(sourcePath, sourceBytes);
  Split(kDone, kInformation);
  for (int64_t n = 1; n <= 4; ++n) {
    const std::string part = "D:\\OUT\\REPORT." + PartNumberText(n);
    EXPECT_EQ(Slice(n, 4).substr(0, n == 4 ? 2 : 4), sim.ReadFile(part)) << part << " is not its piece";
  }
}

TEST_F(SplitJobTest, TheSkipPolicyKeepsExistingFilesAndTheOtherPartsInPlace) {
  Source("C:\\DATA\\REPORT.TXT", 12, 4);
  frm.chkMkBat.SetValue(1);
  sim.WriteFile("D:\\OUT\\REPORT.002", "mine");
  sim.WriteFile("D:\\OUT\\REPORT.bat", "my own");
  Policy(1);
  dialogs.Expect(kDone, kInformation, "", answer::kOk);
  frm.mnuFiles[3].UserClick();  // the split from the file menu
  AfterAnyRun();
  EXPECT_EQ("mine", sim.ReadFile("D:\\OUT\\REPORT.002")) << "the skip policy overwrote an existing part";
  EXPECT_EQ("my own", sim.ReadFile("D:\\OUT\\REPORT.bat")) << "the skip policy replaced a batch file";
  EXPECT_EQ(Slice(3, 4), sim.ReadFile("D:\\OUT\\REPORT.003")) << "the part after a skipped one moved";
}

TEST_F(SplitJobTest, TheLargestSourceIsSplitAndOneByteMoreIsRefused) {
  sim.MakeSparseFile("C:\\DATA\\HUGE.BIN", 2147483647);
  sourcePath.clear();
  Choose("C:\\DATA\\HUGE.BIN", "D:\\OUT", 1457664);
  frm.split.lngFileSize = 2147483647;
  frm.mnuSettings[3].UserClick();
  frm.Size_Change(0, 1);
  ASSERT_EQ(1474, frm.split.lngFileCount);
  frm.txtSpltPart[0].SetText("1474");  // only the last part: 2147483647 - 1473 * 1457664 bytes
  Split(kDone, kInformation);
  EXPECT_EQ(std::string(2147483647 - 1473 * 1457664LL, '\0'), sim.ReadFile("D:\\OUT\\HUGE.1474"))
      << "the last part of the largest source has the wrong size";

  // Lengths a 32-bit reading would take for 0, 1 or a negative number.
  for (const int64_t length : {2147483648LL, 4294967296LL, 4294967297LL}) {
    SCOPED_TRACE(length);
    sim.MakeSparseFile("C:\\DATA\\HUGER.BIN", length);
    Choose("C:\\DATA\\HUGER.BIN", "D:\\OUT", 1457664);
    Split("ファイルのサイズが２ＧＢ以上なので分割ができません", kWarning);
    EXPECT_FALSE(sim.Exists("D:\\OUT\\HUGER.001")) << "a refused source was split";
  }
}

// ---- failures ------------------------------------------------------------------

// On a removable disk, so that every part is also flushed.
TEST_F(SplitJobTest, FailuresInTheMiddleOfAPartEndByTheirKind) {
  sim.AddDrive('A', DriveSpec{.type = drive::kRemovable, .totalBytes = 1 << 20});
  struct Case {
    const char* what;
    bool shrinks;  // instead of a failing call, the source becomes shorter
    Op op;
    platform::ErrorCode error;
    const char* message;
    bool recordedNumber;
    const char* failing = "REPORT.002";  // the second part, so the first shows that earlier work survives
  } cases[] = {
      {"a bad sector on reading", false, Op::kRead, err::kCrc, kDeviceError, false},
      {"a write fault", false, Op::kWrite, err::kWriteFault, kDeviceError, false},
      {"a disk pulled while writing", false, Op::kWrite, err::kNotReady, kDeviceError, false},
      {"memory refused by the system", false, Op::kRead, err::kNotEnoughMemory, kNoMemory, false},
      {"a full disk", false, Op::kWrite, err::kDiskFull, kFailed, true},
      {"a part that cannot be flushed to the disk", false, Op::kFlush, err::kWriteFault, kDeviceError, false},
      {"a failed close", false, Op::kClose, err::kAccessDenied, kFailed, true},
      {"a part that cannot be created", false, Op::kOpen, err::kAccessDenied, kFailed, true},
      {"a source that became shorter", true, Op::kRead, err::kHandleEof, kFailed, true},
      {"a batch file that cannot be created", false, Op::kOpen, err::kAccessDenied, kFailed, true,
       "REPORT.bat"},
      {"a batch file that does not fit", false, Op::kWrite, err::kDiskFull, kFailed, true, "REPORT.bat"},
      {"a batch file whose close fails", false, Op::kClose, err::kAccessDenied, kFailed, true, "REPORT.bat"},
      {"a batch file that cannot be flushed", false, Op::kFlush, err::kNotReady, kDeviceError, false,
       "REPORT.bat"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    recorded.clear();
    Source("C:\\DATA\\REPORT.TXT", 12, 4, "A:\\");
    frm.chkMkBat.SetValue(1);
    frm.copyBuffer.bytes = 2;  // two reads and two writes a part
    int reads = 0;
    int writes = 0;
    const bool batch = std::string_view(c.failing).ends_with("bat");
    // A part fails in its second half.
    sim.fault = [&](Op op, std::string_view path) {
      if (c.shrinks || op != c.op) return err::kNone;
      if (op == Op::kRead) return ++reads == 4 ? c.error : err::kNone;
      if (!path.ends_with(c.failing)) return err::kNone;
      return op != Op::kWrite || batch || ++writes == 2 ? c.error : err::kNone;
    };
    if (c.shrinks) {
      sim.beforeRead = [&](std::string_view, int64_t offset, size_t) {
        if (offset != 6) return;
        std::filesystem::resize_file(sim.HostPath(sourcePath), 7);
        sourceBytes.resize(7);
      };
    }
    Split(c.message, kCritical);
    sim.fault = nullptr;
    sim.beforeRead = nullptr;
    for (int64_t n = 1; n <= (batch ? 3 : 1); ++n) {
      EXPECT_EQ(Slice(n, 4), sim.ReadFile("A:\\REPORT." + PartNumberText(n)))
          << "part " << n << ", finished before the failure, was damaged";
    }
    if (!batch) {
      EXPECT_FALSE(sim.Exists("A:\\REPORT.002"))
          << "a part cut short stays, and a rerun with the skip policy would take it as finished";
      EXPECT_FALSE(sim.Exists("A:\\REPORT.003")) << "the split went on after a failure";
    }
    EXPECT_FALSE(sim.Exists("A:\\REPORT.bat")) << "a batch file promises parts a failed run lacks";
    EXPECT_EQ(c.recordedNumber ? Errors{c.error} : Errors{}, recorded) << "LastErrorNumber is wrong";
  }
}

TEST_F(SplitJobTest, TheOneBufferThatCannotBeHadEndsForLackOfMemoryBeforeAnyPrompt) {
  Source("C:\\DATA\\REPORT.TXT", 10, 4);
  sim.WriteFile("D:\\OUT\\REPORT.001", "old");
  Policy(2);  // an existing part would be asked about
  int asked = 0;
  frm.copyBuffer.allocate = [&](size_t) -> std::unique_ptr<char[]> {
    ++asked;
    return nullptr;
  };
  Split(kNoMemory, kCritical);
  EXPECT_EQ(1, asked) << "the run asked for memory again after it was refused";
  EXPECT_EQ("old", sim.ReadFile("D:\\OUT\\REPORT.001")) << "a part was touched without a buffer";
  EXPECT_FALSE(sim.Exists("D:\\OUT\\REPORT.002")) << "a part was written without a buffer";
  EXPECT_TRUE(recorded.empty()) << "a lack of memory was recorded as another failure";
}

// ---- checks ------------------------------------------------------------------

TEST_F(SplitJobTest, ChecksComeInOrderAndTouchNoFile) {
  sim.MakeFolders("C:\\DATA\\FOLDER");
  sim.WriteFile("C:\\DATA\\EMPTY.TXT", "");
  sim.WriteFile("C:\\DATA\\REPORT.TXT", "0123456789");
  sim.AddDrive('R', DriveSpec{.type = drive::kCdRom});
  sim.WriteFile("R:\\DISC\\REPORT.TXT", "0123456789");
  sim.AddDrive('N', DriveSpec{.type = drive::kRemote});
  sim.MakeFolders("N:\\OUT");
  struct Case {
    const char* what;
    const char* source;
    const char* output;
    double partSize;
    const char* message;
    int style;
    bool sameFolder = false;
  } cases[] = {
      {"no source and no folder: the source first", "", "D:\\NONE", 4, "分割するファイルがありません",
       kCritical},
      {"a missing source", "C:\\DATA\\NONE.TXT", "D:\\OUT", 4, "分割するファイルがありません", kCritical},
      {"a missing output folder", "C:\\DATA\\REPORT.TXT", "D:\\NONE", 4, "出力先が見つかりません", kCritical},
      {"a missing output folder in same-folder mode", "C:\\DATA\\REPORT.TXT", "D:\\NONE", 4,
       "出力先が見つかりません", kCritical, true},
      {"a folder as source", "C:\\DATA\\FOLDER", "D:\\OUT", 4, "ディレクトリは分割できません", kWarning},
      {"no part size, before the empty source", "C:\\DATA\\EMPTY.TXT", "D:\\OUT", 0,
       "分割サイズを0バイトより大きくして下さい", kWarning},
      {"an empty source", "C:\\DATA\\EMPTY.TXT", "D:\\OUT", 4,
       "ファイルのサイズが0バイトなので分割を行いません", kWarning},
      {"a network drive", "C:\\DATA\\REPORT.TXT", "N:\\OUT", 4, "書き込み出来ないディスクです", kCritical},
      {"same folder on a CD-ROM: the drive of the parts, not of the field", "R:\\DISC\\REPORT.TXT", "D:\\OUT",
       4, "書き込み出来ないディスクです", kCritical, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Choose(c.source, c.output, c.partSize);
    frm.chkSamDir.SetValue(c.sameFolder ? 1 : 0);
    sim.opens.clear();
    std::vector<std::string> status;
    dialogs.onBox = [&](const BoxRecord&) { status.push_back(frm.lblComplt.Caption()); };
    Split(c.message, c.style);
    EXPECT_TRUE(sim.opens.empty()) << "a refused split opened or created a file";
    EXPECT_EQ(std::vector<std::string>{"Initializing"}, status)
        << "a refusal is shown while the status line says something else";
    dialogs.boxes.clear();
  }
}

TEST_F(SplitJobTest, TypedPathsAreNormalisedFirst) {
  sim.SetCurrentFolder("C:\\DATA");
  Source("C:\\DATA\\Annual Report.xls", 6, 4);
  Choose("annual~1.xls", "D:\\out\\..\\OUT", 4);
  Split(kDone, kInformation);
  EXPECT_EQ("C:\\DATA\\Annual Report.xls", frm.txtInFile.Text())
      << "the source field is not shown in long form";
  EXPECT_EQ("D:\\OUT", frm.txtOutPath.Text()) << "the output field is not shown in full form";
  EXPECT_TRUE(sim.Exists("D:\\OUT\\ANNUAL~1.002")) << "the parts went elsewhere";
}

// ---- status line and lock ------------------------------------------------------

// Hands what a control asks of its real window to the test.
struct RecordingPeer : ui::Peer {
  std::function<void(ui::Prop)> onSync;
  void Sync(ui::Prop what) override { onSync(what); }
};

TEST_F(SplitJobTest, TheStatusLineFollowsTheRunAndIsPaintedAtOnce) {
  Source("C:\\DATA\\REPORT.TXT", 10, 4);
  frm.chkMkBat.SetValue(1);
  std::vector<std::string> painted;
  RecordingPeer peer;
  peer.onSync = [&](ui::Prop what) {
    if (what == ui::Prop::kRepaint) painted.push_back(frm.lblComplt.Caption());
  };
  frm.lblComplt.peer = &peer;
  Split(kDone, kInformation);
  frm.lblComplt.peer = nullptr;
  EXPECT_EQ(
      (std::vector<std::string>{"Initializing", "0 File /", "1 File /", "2 File /", "3 File /", "4 File /",
                                "Making Batch File", "Writing Batch File", "Splitting Completed", ""}),
      painted)
      << "the status line shows the wrong progress, or shows it too late";
}

TEST_F(SplitJobTest, TheWholeWindowIsLockedDuringTheRunAndUnlockedAfter) {
  const std::set<std::string> lockSet = {
      "txtInFile",      "txtOutPath",     "btnSpltExec",    "chkMkBat",       "chkSamDir",
      "frameHmny",      "optHmny(0)",     "optHmny(1)",     "optHmny(2)",     "frameSpltSize",
      "optSpltSize(0)", "optSpltSize(1)", "optSpltSize(2)", "optSpltSize(3)", "txtSpltPart(0)",
      "txtSpltPart(1)", "mnuFile",        "mnuSet",         "mnuHelp",        "lblInSelect",
      "lblOutSelect",   "Close"};
  // What the user can still use (a frame takes what it holds along).
  auto usable = [this] {
    std::set<std::string> names;
    for (ui::Control* control : frm.form.Controls()) {
      if (control->Enabled()) names.insert(control->name());
    }
    for (ui::MenuItem* menu : {&frm.mnuFile, &frm.mnuSet, &frm.mnuHelp}) {
      if (menu->Enabled()) names.insert(menu->name());
    }
    if (frm.form.CloseEnabled()) names.insert("Close");
    return names;
  };
  for (bool rangeMode : {false, true}) {
    SCOPED_TRACE(rangeMode ? "range mode" : "whole file");
    Source("C:\\DATA\\REPORT.TXT", 10, 4, "C:\\DATA");
    frm.chkSamDir.SetValue(1);  // disables the output field and its label
    // Range mode on, or off as the window leaves it: with the range boxes disabled.
    frm.mnuSettings[3].UserClick();
    if (rangeMode != frm.mnuSettings[3].Checked()) frm.mnuSettings[3].UserClick();
    sim.WriteFile("C:\\DATA\\REPORT.001", "old");
    Policy(2);
    std::set<std::string> expected = usable();
    std::erase_if(expected, [&](const std::string& name) { return lockSet.contains(name); });
    std::set<std::string> during;
    dialogs.onBox = [&](const BoxRecord&) { during = usable(); };
    dialogs.Expect("C:\\DATA\\REPORT.001を上書きしますか？", 35, "", answer::kCancel);
    Split(kAborted, kWarning);
    dialogs.onBox = nullptr;
    EXPECT_EQ(expected, during) << "the user can change or close the window while the split runs";
    EXPECT_EQ("old", sim.ReadFile("C:\\DATA\\REPORT.001")) << "an aborted part was overwritten";
    // Without range mode the range boxes stay disabled; the output folder,
    // disabled by same-folder mode, comes back enabled all the same.
    expected.insert(lockSet.begin(), lockSet.end());
    if (!rangeMode)
      std::erase_if(expected, [](const std::string& name) { return name.starts_with("txtSplt"); });
    EXPECT_EQ(expected, usable()) << "the window is not unlocked as a whole after the split";
    frm.chkSamDir.SetValue(0);
  }
}

}  // namespace
}  // namespace qn::engine::testing
