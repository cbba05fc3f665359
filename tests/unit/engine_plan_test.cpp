#include "engine/plan.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace qn::engine {
namespace {

TEST(GetFileCount, DividesRoundingUp) {
  struct Case {
    double fileSize;
    double partSize;
    int64_t count;
  } cases[] = {
      {1457665, 1457664, 2},
      {2915328, 1457664, 2},
      {1, 1457664, 1},
      {0, 1457664, 1},  // an empty source still counts one part
      {4294967295.0, 681984000, 7},
      // Far beyond 32 bits: a source of 2^31 bytes or more in tiny parts.
      {2147483648.0, 1, 2147483648LL},
      {9007199254740991.0, 2, 4503599627370496LL},
      // No plan: no source, or no part size.
      {-1, 1457664, 0},
      {100, 0, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(GetFileCount(c.fileSize, c.partSize), c.count)
        << "a source of " << c.fileSize << " bytes in parts of " << c.partSize
        << " would be announced (and split) as the wrong number of files";
  }
}

// Loose controls standing in for the window.
struct Window {
  SplitSettings split;
  ui::Label unit{"lbl1(0)"};
  ui::TextBox sizes{"txt_Sizes"};
  ui::Label info{"lblFInfo"};
  ui::CheckBox batch{"chkMkBat"};
  ui::TextBox first{"txtSpltPart(0)"};
  ui::TextBox last{"txtSpltPart(1)"};
  PlanView view{split, unit, sizes, info, batch, first, last};
  Window() {
    info.SetCaption("File Info");
    first.SetText("1");
    last.SetText("1");
  }
};

TEST(Size_Change, TypedKeysBuildThePartSizeDigitByDigit) {
  struct Case {
    const char* what;
    double startSize;
    std::vector<int> keys;
    std::vector<std::string> shown;  // the size field after each key
    const char* unit;
  } cases[] = {
      {"typing 1457664",
       0,
       {'1', '4', '5', '7', '6', '6', '4'},
       {"1", "14", "145", "1,457", "14,576", "145,766", "1,457,664"},
       "bytes"},
      {"backspace takes the last digit", 1457664, {8, 8}, {"145,766", "14,576"}, "bytes"},
      {"backspace on 7", 7, {8}, {"0"}, "byte"},
      {"digits stop at the largest size", 214748364, {'8', '9'}, {"2,147,483,647", "2,147,483,647"}, "bytes"},
      {"a letter changes nothing", 1250304, {'a'}, {"1,250,304"}, "bytes"},
      {"a letter rounds a fraction, halves to even", 2.5, {'x'}, {"2"}, "bytes"},
      {"a letter rounds 3.5 up", 3.5, {'x'}, {"4"}, "bytes"},
  };
  for (const Case& c : cases) {
    Window w;
    w.split.lngSpltSize = c.startSize;
    for (size_t i = 0; i < c.keys.size(); ++i) {
      Size_Change(w.view, static_cast<int16_t>(c.keys[i]), 1);
      EXPECT_EQ(w.sizes.Text(), c.shown[i])
          << c.what << ": the size field shows the wrong size after key " << i;
    }
    EXPECT_EQ(w.unit.Caption(), c.unit) << c.what << ": the unit beside the size field is wrong";
    EXPECT_EQ(std::trunc(w.split.lngSpltSize), w.split.lngSpltSize)
        << c.what << ": the part size must stay a whole number";
  }
}

TEST(Size_Change, KeepsTheCountAndItsTextAndResetsTheRangeOnlyWhenTheCountChanges) {
  struct Case {
    const char* what;
    double fileSize;
    double partSize;
    double countBefore;
    int batch;
    int16_t mode;
    const char* info;
    double count;
    const char* first;  // range boxes start as "3" and "4", as a user typed them
    const char* last;
  } cases[] = {
      {"new plan, mode 1", 3000000, 1457664, 0, 0, 1, "3 File(s)", 3, "1", "3"},
      {"batch file counted", 3000000, 1457664, 0, 1, 1, "3 + 1 File(s)", 3, "1", "3"},
      {"same count keeps the range", 3000000, 1457664, 3, 0, 1, "3 File(s)", 3, "3", "4"},
      {"mode 0 never resets the range", 3000000, 1457664, 7, 0, 0, "3 File(s)", 3, "3", "4"},
      {"mode 2 leaves count and text", 3000000, 1457664, 7, 0, 2, "File Info", 7, "3", "4"},
      {"empty source counts one part", 0, 1457664, 0, 0, 1, "1 File(s)", 1, "1", "1"},
      {"no source drops the plan", -1, 1457664, 5, 0, 1, "File Info", 0, "1", "0"},
      {"no plan before or after keeps the range", -1, 1457664, 0, 0, 1, "File Info", 0, "3", "4"},
      {"a count beyond 32 bits is shown whole", 6442450944.0, 1, 0, 0, 1, "6,442,450,944 File(s)",
       6442450944.0, "1", "6442450944"},
  };
  for (const Case& c : cases) {
    Window w;
    w.first.SetText("3");
    w.last.SetText("4");
    w.split.lngFileSize = c.fileSize;
    w.split.lngSpltSize = c.partSize;
    w.split.lngFileCount = c.countBefore;
    w.batch.SetValue(c.batch);
    Size_Change(w.view, 0, c.mode);
    EXPECT_EQ(w.info.Caption(), c.info) << c.what << ": the file information shows the wrong count";
    EXPECT_EQ(w.split.lngFileCount, c.count) << c.what << ": the split would use the wrong part count";
    EXPECT_EQ(w.first.Text(), c.first) << c.what << ": the first part of the range is wrong";
    EXPECT_EQ(w.last.Text(), c.last) << c.what << ": the last part of the range is wrong";
  }
}

}  // namespace
}  // namespace qn::engine
