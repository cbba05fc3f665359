// The split job: from the checks of the window's fields to the end message,
// through every part file and the rejoin batch file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

#include "engine/batch.h"
#include "engine/plan.h"
#include "platform/dialogs.h"
#include "platform/system.h"
#include "platform/ui/controls.h"

namespace qn::engine {

// How a run ended; selects its end message.
namespace end_state {
inline constexpr int32_t kCompleted = 0;      // "正常に分割を終了しました", information
inline constexpr int32_t kFailed = 1;         // "正常に終了できませんでした", critical
inline constexpr int32_t kAborted = 2;        // "分割を中断しました", warning
inline constexpr int32_t kOutOfMemory = 4;    // critical
inline constexpr int32_t kDeviceError = 5;    // critical
inline constexpr int32_t kAlreadyTold = 999;  // a check or the gate has shown its own message
}  // namespace end_state

// Every part moves through one buffer, allocated once per run: this size,
// or the part size when that is smaller. Measured under Wine, 128 to 256 KiB
// copied fastest; from 512 KiB on, a buffer that no longer stays in the
// processor's cache between the read and the write made the copy 1.5 to 2
// times slower.
inline constexpr size_t kCopyBufferBytes = size_t{256} << 10;

// Where the run's buffer comes from. allocate gives `bytes`, or nullptr when
// memory is short (empty: the heap); bytes is the most one read moves.
struct CopyBuffer {
  std::function<std::unique_ptr<char[]>(size_t bytes)> allocate;
  size_t bytes = kCopyBufferBytes;
  // The most the recovery sums may hold in memory; beyond it they are made
  // in stripes of this size after the parts.
  int64_t sumBytes = int64_t{32} << 20;
};

// The main window as the split job sees it: what it reads and writes, and the
// window's operations it calls.
struct SplitJobView {
  PlanView plan;  // the split settings, chkMkBat and the range boxes
  ui::TextBox& txtInFile;
  ui::TextBox& txtOutPath;
  ui::CheckBox& chkSamDir;
  const ui::MenuItem& rangeMode;  // mnuSettings(3)
  ui::Label& lblSize;
  std::function<void(std::string_view text)> showStatus;
  std::function<void(int16_t flag)> setControlsEnabled;
  OutputGate prepareOutputFile;
  std::function<void(platform::ErrorCode)> recordError;  // empty: nothing to record
  const CopyBuffer& copyBuffer;
  // Checked: PAR 2.0 recovery files follow the parts. Null: never.
  const ui::MenuItem* makeRecovery = nullptr;
};

// Runs one split as the split button asks for it: locks the window, checks
// the fields, writes each part (or the chosen range) after the gate cleared
// it, then the batch file when asked, and tells the user how it ended in one
// message box. Every file is closed, the status line cleared and the window
// unlocked however it ends; nothing escapes. Gives the end state.
[[nodiscard]] int32_t ExecuteSplit(platform::System& sys, platform::Dialogs& dialogs,
                                   const SplitJobView& view);

}  // namespace qn::engine
