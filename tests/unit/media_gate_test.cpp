// The output gate against the simulated machine: every prompt the user sees
// before a part or the batch file is created, and what each answer does to
// the files already on the disk.
#include "media/gate.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/sim/sim_dialogs.h"
#include "platform/sim/sim_system.h"

namespace qn::media {
namespace {

namespace answer = platform::answer;
namespace attr = platform::attr;
namespace drive = platform::drive;
namespace err = platform::err;
using platform::sim::BoxRecord;
using platform::sim::DriveSpec;
using platform::sim::Op;
using platform::sim::SimDialogs;
using platform::sim::SimSystem;

constexpr const char* kSource = "C:\\DATA\\REPORT.TXT";
constexpr int64_t kFloppy = 1457664;

class GateTest : public ::testing::Test {
 protected:
  SimSystem sim;
  SimDialogs dialogs;
  std::vector<platform::ErrorCode> recorded;
  uint8_t policy = policy::kOverwrite;
  std::string outputFolder = "D:\\OUT";
  uint8_t skip = 7;

  void SetUp() override {
    sim.WriteFile(kSource, "the source");
    sim.AddDrive('D');
    sim.MakeFolders("D:\\OUT");
  }

  int32_t Ask(const std::string& stem, const std::string& name, int64_t required = 10,
              std::unique_ptr<platform::File>* created = nullptr) {
    const GateInputs inputs{policy, outputFolder, [this](platform::ErrorCode e) { recorded.push_back(e); }};
    return PrepareOutputFile(sim, dialogs, inputs, stem, name, kSource, required, &skip, created);
  }
};

TEST_F(GateTest, ExistingFileUnderEachPolicyAndAnswer) {
  struct Case {
    const char* what;
    uint8_t policy;
    int answer;  // to the overwrite question; 0: no question
    int32_t result;
    uint8_t skip;
    bool kept;
  } cases[] = {
      {"overwrite", policy::kOverwrite, 0, gate::kGo, 0, false},
      {"an unknown policy overwrites", 9, 0, gate::kGo, 0, false},
      {"skip", policy::kSkip, 0, gate::kGo, 1, true},
      {"ask, Yes", policy::kAsk, answer::kYes, gate::kGo, 0, false},
      {"ask, No", policy::kAsk, answer::kNo, gate::kGo, 1, true},
      {"ask, Cancel", policy::kAsk, answer::kCancel, gate::kAborted, 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    sim.WriteFile("D:\\OUT\\REPORT.001", "old part");
    policy = c.policy;
    if (c.answer != 0) {
      dialogs.Expect("D:\\OUT\\REPORT.001を上書きしますか？", 35, "", c.answer);
    }
    EXPECT_EQ(c.result, Ask("D:\\OUT\\REPORT.", "001")) << "the split goes on when it should stop, or not";
    EXPECT_EQ(c.skip, skip) << "the part is written when the user wanted it kept, or the reverse";
    EXPECT_EQ(c.kept, sim.Exists("D:\\OUT\\REPORT.001")) << "the old part is deleted against the policy";
    if (c.kept) {
      EXPECT_EQ("old part", sim.ReadFile("D:\\OUT\\REPORT.001")) << "a kept part was changed";
    }
  }
  EXPECT_TRUE(recorded.empty()) << "a normal answer was recorded as a failure";
}

TEST_F(GateTest, TheSourceIsNeverDeleted) {
  const std::string source = "D:\\OUT\\DATA.001";
  sim.WriteFile(source, "source bytes");
  struct Case {
    const char* stem;  // the source in other letter case
    uint8_t policy;
  } cases[] = {
      {"d:\\out\\DATA.", policy::kOverwrite},
      {"D:\\OUT\\data.", policy::kOverwrite},
      {"D:\\OUT\\DATA.", policy::kAsk},  // the user answers Yes
  };
  for (const Case& c : cases) {
    const GateInputs inputs{c.policy, outputFolder, {}};
    if (c.policy == policy::kAsk)
      dialogs.Expect(std::string(c.stem) + "001を上書きしますか？", 35, "", answer::kYes);
    dialogs.Expect("ファイルを上書きするのは無理でした", 16, "", answer::kOk);
    EXPECT_EQ(gate::kIsSource, PrepareOutputFile(sim, dialogs, inputs, c.stem, "001", source, 12, &skip))
        << c.stem << "001: the split goes on over its own source";
    EXPECT_EQ("source bytes", sim.ReadFile(source)) << "the source file was deleted or changed";
  }
}

TEST_F(GateTest, AFolderOrReadOnlyFileInTheWayIsNotDeletedBlindly) {
  struct Case {
    const char* what;
    int32_t attributes;
    bool folder;
  } cases[] = {
      {"a plain folder (16)", 0, true},
      {"a folder with the archive bit (48)", attr::kArchive, true},
      {"a read-only file", attr::kReadOnly, false},
  };
  const std::string question = "D:\\OUT\\REPORT.001を上書きできません\r再試行しますか？";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.folder) {
      sim.MakeFolders("D:\\OUT\\REPORT.001");
    } else {
      sim.WriteFile("D:\\OUT\\REPORT.001", "locked");
    }
    ASSERT_EQ(err::kNone, sim.ChangeFileAttributes("D:\\OUT\\REPORT.001", c.attributes));
    // Yes tries again and meets the same refusal; No leaves the file out.
    dialogs.Expect(question, 35, "", answer::kYes);
    dialogs.Expect(question, 35, "", answer::kNo);
    EXPECT_EQ(gate::kGo, Ask("D:\\OUT\\REPORT.", "001")) << "No to the retry question stops the split";
    EXPECT_EQ(1, skip) << "No to the retry question still writes the part";
    dialogs.Expect(question, 35, "", answer::kCancel);
    EXPECT_EQ(gate::kFailed, Ask("D:\\OUT\\REPORT.", "001")) << "Cancel to the retry question goes on";
    EXPECT_TRUE(sim.Exists("D:\\OUT\\REPORT.001")) << "what stood in the way was removed";
    ASSERT_EQ(err::kNone, sim.ChangeFileAttributes("D:\\OUT\\REPORT.001", 0));
    const platform::ErrorCode cleared =
        c.folder ? sim.RemoveFolder("D:\\OUT\\REPORT.001") : sim.RemoveFile("D:\\OUT\\REPORT.001");
    ASSERT_EQ(err::kNone, cleared);
  }
  EXPECT_TRUE(recorded.empty()) << "a refusal the user was asked about was recorded as a failure";

  // Yes after the user cleared the read-only bit deletes the old file.
  sim.WriteFile("D:\\OUT\\REPORT.001", "locked");
  ASSERT_EQ(err::kNone, sim.ChangeFileAttributes("D:\\OUT\\REPORT.001", attr::kReadOnly));
  dialogs.onBox = [&](const BoxRecord&) {
    ASSERT_EQ(err::kNone, sim.ChangeFileAttributes("D:\\OUT\\REPORT.001", attr::kArchive));
  };
  dialogs.Expect(question, 35, "", answer::kYes);
  EXPECT_EQ(gate::kGo, Ask("D:\\OUT\\REPORT.", "001")) << "Retry after clearing the file does not go on";
  EXPECT_EQ(0, skip) << "the part is left out although the way is clear";
  EXPECT_FALSE(sim.Exists("D:\\OUT\\REPORT.001")) << "the old file is still in the way";
}

TEST_F(GateTest, AnUnexpectedDeletionFailureIsRecordedAndStops) {
  sim.WriteFile("D:\\OUT\\REPORT.001", "busy");
  sim.fault = [](Op op, std::string_view) {
    return op == Op::kRemoveFile ? err::kSharingViolation : err::kNone;
  };
  EXPECT_EQ(gate::kFailed, Ask("D:\\OUT\\REPORT.", "001"))
      << "the split goes on over a file it could not remove";
  EXPECT_EQ(std::vector<platform::ErrorCode>{err::kSharingViolation}, recorded)
      << "LastErrorNumber does not tell why the split failed";
}

TEST_F(GateTest, AVanishedOutputFolderCanBeRecreated) {
  outputFolder = "D:\\GONE";
  dialogs.Expect("出力先が見つかりません", 21, "", answer::kCancel);
  EXPECT_EQ(gate::kFailed, Ask("D:\\GONE\\REPORT.", "001")) << "Cancel does not end the split";

  // Parts beside the source while the field names a vanished folder: the
  // part the gate made as it looked is not left behind.
  std::unique_ptr<platform::File> created;
  dialogs.Expect("出力先が見つかりません", 21, "", answer::kCancel);
  EXPECT_EQ(gate::kFailed, Ask("D:\\OUT\\REPORT.", "001", 10, &created)) << "Cancel does not end the split";
  EXPECT_EQ(nullptr, created) << "a file is handed over for a split that ends";
  EXPECT_FALSE(sim.Exists("D:\\OUT\\REPORT.001")) << "Cancel leaves an empty part behind";

  dialogs.onBox = [&](const BoxRecord&) { sim.MakeFolders("D:\\GONE"); };
  dialogs.Expect("出力先が見つかりません", 21, "", answer::kRetry);
  EXPECT_EQ(gate::kGo, Ask("D:\\GONE\\REPORT.", "001", 10, &created))
      << "Retry after re-creating the folder does not go on";
  EXPECT_NE(nullptr, created) << "the new part is not handed to the split";
  created.reset();

  // The batch file follows the parts and is not held up by the field.
  outputFolder = "D:\\NOWHERE";
  EXPECT_EQ(gate::kGo, Ask("D:\\OUT\\REPORT.", "bat")) << "the batch file is refused for the field's folder";
}

TEST_F(GateTest, AFixedDriveIsMeasuredByItsSizeAndYesGoesOn) {
  sim.AddDrive('E', DriveSpec{.totalBytes = 4096});
  sim.WriteFile("E:\\OTHER.BIN", std::string(2048, 'x'));
  outputFolder = "E:\\";
  // Room is the drive's size, not what is free: the write reports a full disk.
  EXPECT_EQ(gate::kGo, Ask("E:\\REPORT.", "001", 4096)) << "a file as large as the drive is refused";

  dialogs.Expect("容量が足りません。続行しますか？", 20, "", answer::kNo);
  EXPECT_EQ(gate::kAborted, Ask("E:\\REPORT.", "001", 4097)) << "No does not abort";

  // Yes writes the part, after the old one is deleted, without asking again.
  sim.WriteFile("E:\\REPORT.001", "old");
  dialogs.Expect("容量が足りません。続行しますか？", 20, "", answer::kYes);
  EXPECT_EQ(gate::kGo, Ask("E:\\REPORT.", "001", 4097)) << "Yes does not go on";
  EXPECT_EQ(2u, dialogs.boxes.size()) << "the drive cannot grow, yet the user is asked again";
  EXPECT_FALSE(sim.Exists("E:\\REPORT.001")) << "the old part is still in the way";
}

TEST_F(GateTest, AFloppyDriveAsksForADiskWithRoom) {
  DriveSpec& floppy =
      sim.AddDrive('A', DriveSpec{.type = drive::kRemovable, .totalBytes = kFloppy, .label = "BACKUP"});
  outputFolder = "A:\\";
  // Nothing to write and no disk: the plain insert prompt.
  floppy.notReady = true;
  dialogs.onBox = [&](const BoxRecord&) { floppy.notReady = false; };
  dialogs.Expect("ドライブ A: にディスクを装着して下さい", 49, "", answer::kOk);
  EXPECT_EQ(gate::kGo, Ask("A:\\REPORT.", "001", 0)) << "an inserted disk is not accepted";

  dialogs.onBox = nullptr;

  // What the disk in the drive still has, read from cluster counts where the
  // system has no 64-bit query; an old part that will be replaced gives its
  // room back.
  for (const platform::OsVersion version : {sim.version, platform::OsVersion{148, 4, 0, 950, 1}}) {
    SCOPED_TRACE(version.platformId == 1 ? "Windows 95" : "NT");
    sim.version = version;
    sim.SwapDisk('A');
    sim.WriteFile("A:\\OTHER.BIN", std::string(kFloppy - 4096, 'x'));
    EXPECT_EQ(gate::kGo, Ask("A:\\REPORT.", "001", 4096)) << "a part that fits the disk asks for another";
    // No to the abort question brings the prompt back.
    for (const int abort : {answer::kNo, answer::kYes}) {
      dialogs.Expect("ドライブ A: に次のディスクを入れて下さい", 65, "", answer::kCancel);
      dialogs.Expect("分割を中断しますか？", 36, "", abort);
    }
    EXPECT_EQ(gate::kAborted, Ask("A:\\REPORT.", "001", 4097)) << "a part that does not fit is let through";
    sim.WriteFile("A:\\REPORT.001", std::string(2048, 'o'));
    EXPECT_EQ(gate::kGo, Ask("A:\\REPORT.", "001", 4096)) << "replacing a part asks for another disk";
    EXPECT_FALSE(sim.Exists("A:\\REPORT.001")) << "the old part was not removed for the new one";
  }
}

}  // namespace
}  // namespace qn::media
