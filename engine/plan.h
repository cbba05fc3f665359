// The split plan: the part count of the current source and part size, and the
// routine that keeps it and its display in the main window up to date.
#pragma once

#include <cstdint>

#include "engine/split_settings.h"
#include "platform/ui/controls.h"

namespace qn::engine {

// What the plan reads and writes of the main window. The window builds one
// from its members; tests build one from loose controls.
struct PlanView {
  SplitSettings& split;
  ui::Label& lbl1Unit;        // lbl1(0): "byte" or "bytes" beside the size field
  ui::TextBox& txt_Sizes;     // the free-size field
  ui::Label& lblFInfo;        // the part-count text
  ui::CheckBox& chkMkBat;     // a checked box adds the batch file to the count text
  ui::TextBox& txtSpltPart0;  // first part of the range
  ui::TextBox& txtSpltPart1;  // last part of the range
};

// Number of part files for a source of `lngDat1` bytes cut into parts of
// `lngDat2` bytes: 1 for an empty source, otherwise the size divided by the
// part size, rounded up. The count is exact and never wraps, also far beyond
// 2,147,483,647 (a source of 2^31 bytes or more in tiny parts). Gives 0 (no
// plan) for a negative source size and for a part size below 1.
int64_t GetFileCount(double lngDat1, double lngDat2);

// Refreshes the plan and its display. `intKey1` is 0, or the character code of
// a key typed on the free-size option: a digit appends itself to the part size
// (up to 2,147,483,647), backspace (8) removes the last digit, any other key
// only rounds the size to a whole number. `intKey2` is the mode: 0 refreshes
// the count and the display; 1 also resets the range boxes to "1" and the new
// count when the count changed; 2 or more refreshes only the size display.
// Setting a control's text runs that control's own change handling, nested.
void Size_Change(const PlanView& view, int16_t intKey1, int16_t intKey2);

}  // namespace qn::engine
