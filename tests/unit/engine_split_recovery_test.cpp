// The recovery files as a receiver meets them: the real PAR 2.0 client
// (par2cmdline) must accept them, name a lost or damaged part and rebuild
// it, so that the batch file's join gives the source again.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "engine_split_fixture.h"

namespace qn::engine::testing {
namespace {

namespace fs = std::filesystem;
const char* kRefused = "この分割サイズでは修復用データを作成できません";

struct ClientRun {
  int status = -1;
  std::string output;
};

// par2 with `arguments` in `folder`.
ClientRun Par2(const std::string& folder, const std::string& arguments) {
  ClientRun run;
  const std::string command = "cd '" + folder + "' && par2 " + arguments + " 2>&1";
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return run;
  char chunk[4096];
  for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;) run.output.append(chunk, n);
  run.status = ::pclose(pipe);
  return run;
}

class RecoverySplitTest : public SplitFixture {
 protected:
  std::string folder;  // the host folder behind D:\OUT
  void SetUp() override {
    SplitFixture::SetUp();
    folder = sim.HostPath("D:\\OUT");
    frm.mnuMakePar2.UserClick();
  }
  std::string Joined(int64_t count) const {
    std::string joined;
    for (int64_t n = 1; n <= count; ++n) {
      char name[32];
      std::snprintf(name, sizeof name, "/SRC.%03lld", static_cast<long long>(n));
      joined += HostFileText(folder + name);
    }
    return joined;
  }
  static std::string HostFileText(const std::string& path) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return {};
    std::string bytes;
    char chunk[65536];
    for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, file)) > 0;) bytes.append(chunk, n);
    std::fclose(file);
    return bytes;
  }
  // Every file the run wrote is at most one part long.
  void EachFileWithin(int64_t partSize) const {
    for (const auto& entry : fs::directory_iterator(folder)) {
      if (entry.path().extension() == ".bat") continue;
      EXPECT_LE(static_cast<int64_t>(entry.file_size()), partSize) << entry.path() << " would not fit a disk";
    }
  }
};

TEST_F(RecoverySplitTest, TheClientAcceptsTheSetForEveryShapeOfSource) {
  struct Case {
    size_t length;
    int64_t partSize;
    int64_t parts;
  };
  // Uneven parts, a one-part source, an exact multiple, odd sizes, 1001 parts.
  // (1001 parts, whose index needs parts of 265 KB, run under Wine.)
  // Slices of 6400 bytes keep the part's and the slices' hashes in step.
  const Case cases[] = {{100000, 30000, 4}, {5000, 1457664, 1}, {90000, 30000, 3}, {77777, 12345, 7},
                        {50000, 12800, 4}};
  for (const Case& c : cases) {
    for (int64_t sumBytes : {int64_t{32} << 20, int64_t{4098}}) {
      SCOPED_TRACE("source " + std::to_string(c.length) + ", parts " + std::to_string(c.partSize) +
                   ", sums in memory up to " + std::to_string(sumBytes));
      frm.copyBuffer.sumBytes = sumBytes;  // the second: in stripes after the parts
      fs::remove_all(folder);
      fs::create_directories(folder);
      Source("C:\\SRC.BIN", c.length, static_cast<double>(c.partSize));
      Split(kDone, 64);
      EXPECT_TRUE(fs::exists(folder + "/SRC.par2")) << "no index";
      EXPECT_TRUE(fs::exists(folder + "/SRC.vol00+01.par2") && fs::exists(folder + "/SRC.vol01+01.par2"))
          << "the two recovery volumes are missing";
      EachFileWithin(std::min<int64_t>(c.partSize, static_cast<int64_t>(c.length)));
      const ClientRun verify = Par2(folder, "verify -q SRC.par2");
      EXPECT_EQ(0, verify.status) << verify.output;
      EXPECT_EQ(sourceBytes, Joined(c.parts));
    }
  }
}

// Both ways of making the recovery sums: in memory while the parts stream,
// and in stripes read back from the source.
TEST_F(RecoverySplitTest, ALostOrDamagedPartIsNamedAndRebuilt) {
  for (int64_t sumBytes : {int64_t{32} << 20, int64_t{4098}}) {
    SCOPED_TRACE("sums in memory up to " + std::to_string(sumBytes));
    frm.copyBuffer.sumBytes = sumBytes;
    fs::remove_all(folder);
    fs::create_directories(folder);
    Source("C:\\SRC.BIN", 100001, 30000);
    frm.chkMkBat.SetValue(1);
    Split(kDone, 64);
    // A part lost on the way.
    fs::remove(folder + "/SRC.003");
    ClientRun verify = Par2(folder, "verify SRC.par2");
    EXPECT_NE(0, verify.status);
    EXPECT_NE(std::string::npos, verify.output.find("\"SRC.003\" - missing")) << verify.output;
    ClientRun repair = Par2(folder, "repair -q SRC.par2");
    EXPECT_EQ(0, repair.status) << repair.output;
    EXPECT_TRUE(sourceBytes == Joined(4)) << "the rebuilt part does not join to the source";

    // Bytes changed in the middle of a part, across both its slices.
    {
      FILE* part = std::fopen((folder + "/SRC.002").c_str(), "r+b");
      ASSERT_NE(nullptr, part);
      std::fseek(part, 14990, SEEK_SET);
      std::fwrite("garbage!garbage!garbage!", 1, 24, part);
      std::fclose(part);
    }
    verify = Par2(folder, "verify SRC.par2");
    EXPECT_NE(0, verify.status);
    EXPECT_NE(std::string::npos, verify.output.find("File: \"SRC.002\" - no data found")) << verify.output;
    EXPECT_NE(std::string::npos, verify.output.find("1 file(s) exist but are damaged")) << verify.output;
    repair = Par2(folder, "repair -q SRC.par2");
    EXPECT_EQ(0, repair.status) << repair.output;
    EXPECT_TRUE(sourceBytes == Joined(4)) << "the mended part does not join to the source";
  }
}

// On a removable disk a volume may need the next disk, so each is made in
// a pass of its own, one file open at a time.
TEST_F(RecoverySplitTest, OnARemovableDiskEachVolumeIsMadeAloneAndRebuildsAPart) {
  sim.AddDrive('A', platform::sim::DriveSpec{.type = platform::drive::kRemovable, .totalBytes = 8 << 20});
  folder = sim.HostPath("A:\\");
  frm.copyBuffer.sumBytes = 4098;  // in stripes, read back from the source
  Source("C:\\SRC.BIN", 100001, 30000, "A:\\");
  sim.fault = [this](platform::sim::Op op, std::string_view path) {
    if (op == platform::sim::Op::kWrite && path.ends_with(".par2")) {
      EXPECT_LE(sim.OpenFileCount(), 2u) << "more than one file open on the disk beside the source";
    }
    return platform::err::kNone;
  };
  Split(kDone, 64);
  sim.fault = nullptr;
  fs::remove(folder + "/SRC.001");
  const ClientRun repair = Par2(folder, "repair -q SRC.par2");
  EXPECT_EQ(0, repair.status) << repair.output;
  EXPECT_TRUE(sourceBytes == Joined(4)) << "the rebuilt part does not join to the source";
}

TEST_F(RecoverySplitTest, ARangeSplitDescribesEveryPart) {
  Source("C:\\SRC.BIN", 100000, 30000);
  frm.mnuSettings[3].UserClick();
  frm.txtSpltPart[0].SetText("2");
  frm.txtSpltPart[1].SetText("3");
  Split(kDone, 64);
  EXPECT_FALSE(fs::exists(folder + "/SRC.001") || fs::exists(folder + "/SRC.004"))
      << "parts outside the range";
  const ClientRun verify = Par2(folder, "verify SRC.par2");
  EXPECT_NE(std::string::npos, verify.output.find("\"SRC.001\" - missing")) << verify.output;
  EXPECT_NE(std::string::npos, verify.output.find("\"SRC.004\" - missing")) << verify.output;
  EXPECT_NE(std::string::npos, verify.output.find("\"SRC.002\" - found")) << verify.output;
}

TEST_F(RecoverySplitTest, APartSizeTooSmallForRecoveryDataIsRefusedBeforeAnythingIsWritten) {
  Source("C:\\SRC.BIN", 100000, 100);  // a thousand parts whose index cannot fit in one
  dialogs.Expect(kRefused, 16, "", answer::kOk);
  frm.btnSpltExec.UserClick();
  EXPECT_EQ(0u, dialogs.Pending());
  AfterAnyRun();
  EXPECT_TRUE(fs::is_empty(folder)) << "a refused run wrote files";
}

TEST_F(RecoverySplitTest, AVolumeCutShortByAFullDiskIsRemovedAndTheRunFails) {
  Source("C:\\SRC.BIN", 100000, 60000);
  sim.fault = [](platform::sim::Op op, std::string_view path) {
    return op == platform::sim::Op::kWrite && path.ends_with(".vol01+01.par2") ? platform::err::kDiskFull
                                                                               : platform::err::kNone;
  };
  Split(kFailed, 16);
  EXPECT_FALSE(fs::exists(folder + "/SRC.vol01+01.par2")) << "a volume cut short was left behind";
  EXPECT_TRUE(Joined(2) == sourceBytes) << "the finished parts were touched";
}

}  // namespace
}  // namespace qn::engine::testing
