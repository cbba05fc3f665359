#include "engine/plan.h"

#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

#include "engine/numbers.h"

namespace qn::engine {

namespace {

constexpr double kMaxPartSize = 2147483647.0;
constexpr double kTwoTo63 = 9223372036854775808.0;

}  // namespace

int64_t GetFileCount(double lngDat1, double lngDat2) {
  if (lngDat1 == 0) return 1;
  if (!(lngDat1 > 0) || !(lngDat2 >= 1) || !std::isfinite(lngDat2)) return 0;
  if (lngDat1 < kTwoTo63 && lngDat1 == std::trunc(lngDat1) && lngDat2 == std::trunc(lngDat2)) {
    // Exact in integers: the double formula loses the last part for sizes near 2^53.
    auto size = static_cast<int64_t>(lngDat1);
    auto part = static_cast<int64_t>(lngDat2);
    return size / part + (size % part != 0 ? 1 : 0);
  }
  double count = std::floor((lngDat1 + lngDat2 - 1) / lngDat2);
  if (!(count < kTwoTo63)) return std::numeric_limits<int64_t>::max();
  return static_cast<int64_t>(count);
}

void Size_Change(const PlanView& view, int16_t intKey1, int16_t intKey2) {
  SplitSettings& split = view.split;
  int mode = intKey2;

  if (intKey1 != 0) {
    int key = std::abs(static_cast<int>(intKey1));
    double size = split.lngSpltSize;
    if (key >= '0' && key <= '9' && size < kMaxPartSize) {
      size = size * 10 + (key - '0');
    } else if (key == 8 && size >= 0) {
      size = std::floor(std::nearbyint(size) / 10);
    }
    if (!(size > 0)) {
      size = 0;
    } else if (size > kMaxPartSize) {
      size = kMaxPartSize;
    }
    split.lngSpltSize = std::nearbyint(size);  // halves to even
  }

  view.lbl1Unit.SetCaption(split.lngSpltSize > 1 ? "bytes" : "byte");
  view.txt_Sizes.SetText(GroupedNumber(split.lngSpltSize));
  if (mode >= 2) return;

  if (split.lngFileSize >= 0 && split.lngSpltSize > 0) {
    int64_t count = GetFileCount(split.lngFileSize, split.lngSpltSize);
    auto countValue = static_cast<double>(count);
    if (countValue == split.lngFileCount) mode = 2;
    split.lngFileCount = countValue;
    std::string info = GroupedNumber(countValue);
    if (view.chkMkBat.Value() == 1) info += " + 1";
    view.lblFInfo.SetCaption(info + " File(s)");
  } else {
    if (split.lngFileCount == 0) mode = 2;
    split.lngFileCount = 0;
    view.lblFInfo.SetCaption("File Info");
  }

  if (mode == 1) {
    view.txtSpltPart0.SetText("1");
    view.txtSpltPart1.SetText(ShortestText(split.lngFileCount));
  }
}

}  // namespace qn::engine
