// The split as the user runs it: the main window on the simulated machine,
// a source of known bytes, and the checks every run must pass however it
// ends (source untouched, files closed, status line empty, window unlocked).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "platform/sim/sim_dialogs.h"
#include "platform/sim/sim_system.h"
#include "window/frm_main.h"

namespace qn::engine::testing {

namespace answer = platform::answer;

inline constexpr const char* kDone = "正常に分割を終了しました";
inline constexpr const char* kFailed = "正常に終了できませんでした";
inline constexpr const char* kAborted = "分割を中断しました";
inline constexpr const char* kNoMemory = "メモリが不足不足しているので中断しました";
inline constexpr const char* kDeviceError = "メディアからの読み込みが出来ないので中断しました";

// Bytes that differ from part to part, so a part read from the wrong place shows.
inline std::string Bytes(size_t length, uint32_t seed = 1) {
  std::mt19937 random(seed);
  std::string bytes(length, '\0');
  for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
  return bytes;
}

class SplitFixture : public ::testing::Test {
 protected:
  platform::sim::SimSystem sim;
  platform::sim::SimDialogs dialogs;
  window::FrmMain frm{sim, dialogs};
  std::vector<platform::ErrorCode> recorded;  // what went to LastErrorNumber
  std::string sourcePath;
  std::string sourceBytes;

  void SetUp() override {
    frm.recordError = [this](platform::ErrorCode e) { recorded.push_back(e); };
    sim.AddDrive('D');
    sim.MakeFolders("D:\\OUT");
  }

  // A source of `length` known bytes, chosen in the window with parts of `partSize`.
  void Source(const std::string& path, size_t length, double partSize,
              const std::string& output = "D:\\OUT") {
    sourcePath = path;
    sourceBytes = Bytes(length);
    sim.WriteFile(path, sourceBytes);
    Choose(path, output, partSize);
    // What choosing a source shows, so a range typed now survives the run.
    frm.split.lngFileSize = static_cast<double>(length);
    frm.Size_Change(0, 1);
  }
  void Choose(const std::string& path, const std::string& output, double partSize) {
    frm.txtInFile.SetText(path);
    frm.txtOutPath.SetText(output);
    frm.split.lngSpltSize = partSize;
  }
  void Policy(int index) { frm.optHmny[index].UserClick(); }

  // Presses the split button; the end message must be `message` with `style`.
  void Split(const std::string& message, int style) {
    dialogs.Expect(message, style, "", answer::kOk);
    frm.btnSpltExec.UserClick();
    EXPECT_EQ(0u, dialogs.Pending()) << "the run did not show the boxes the user expects";
    AfterAnyRun();
  }
  // What every run leaves behind, however it ended.
  void AfterAnyRun() {
    EXPECT_EQ("", frm.lblComplt.Caption()) << "the status line still shows a finished run";
    EXPECT_TRUE(frm.btnSpltExec.Enabled()) << "the window stays locked after the run";
    EXPECT_TRUE(frm.mnuFile.Enabled()) << "the menus stay locked after the run";
    EXPECT_TRUE(frm.form.CloseEnabled()) << "the window cannot be closed after the run";
    EXPECT_EQ(0u, sim.OpenFileCount()) << "the run left a file open";
    if (!sourcePath.empty()) {
      EXPECT_EQ(sourceBytes, sim.ReadFile(sourcePath)) << "the source was changed or deleted";
    }
  }
  // The part `n`'s expected bytes for parts of `partSize`.
  std::string Slice(int64_t n, int64_t partSize) const {
    return sourceBytes.substr(static_cast<size_t>((n - 1) * partSize), static_cast<size_t>(partSize));
  }
};

}  // namespace qn::engine::testing
