// The status line and the window lock of a running split.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "platform/ui/controls.h"

namespace qn::engine {

// Puts `text` on the status line and repaints it before returning: the split
// keeps the window's thread busy, so a later paint would come too late.
void ShowStatus(ui::Label& lblComplt, std::string_view text);

// The controls a running split locks, in the order they are locked.
struct LockView {
  ui::TextBox& txtInFile;
  ui::TextBox& txtOutPath;
  ui::CommandButton& btnSpltExec;
  ui::CheckBox& chkMkBat;
  ui::CheckBox& chkSamDir;
  ui::Frame& frameHmny;
  std::span<ui::OptionButton, 3> optHmny;
  ui::Frame& frameSpltSize;
  std::span<ui::OptionButton, 4> optSpltSize;
  std::span<ui::TextBox, 2> txtSpltPart;  // locked only while range mode is on
  const ui::MenuItem& rangeMode;          // mnuSettings(3)
  ui::MenuItem& mnuFile;
  ui::MenuItem& mnuSet;
  ui::MenuItem& mnuHelp;
  ui::Label& lblInSelect;
  ui::Label& lblOutSelect;
  ui::Form& form;  // its system menu's Close
};

// Locks (flag 0) or unlocks (flag -1) the window: every control of the lock
// set takes the state, the range boxes only under the range-mode check mark,
// and the Close command is enabled only by -1. Unlocking enables the output
// folder field and its label even in same-folder mode.
void SetControlsEnabled(const LockView& view, int16_t flag);

}  // namespace qn::engine
