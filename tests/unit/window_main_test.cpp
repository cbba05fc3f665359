#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "platform/sim/sim_dialogs.h"
#include "platform/sim/sim_system.h"
#include "window/frm_main.h"

namespace qn::window {
namespace {

using platform::answer::kOk;

const std::string kMemoryWarning =
    "CD-Rサイズで分割する場合は、それだけメモリの容量が必要になります。\r\n"
    "とりあえず警告しますが、もしこれにより、パソコンが不安定になっても知りません。\r\n"
    "（今後、要望があれば小メモリでも分割できるようにする予定です。）";
const std::string kSizeMessage = "ファイルのサイズは1-2,147,483,647バイトの範囲内にしてください";
const std::string kSizeTitle = "データ形式が不正です ";

// Types characters into whatever control `control` is, as the keyboard would.
void Type(ui::Control& control, std::string_view chars) {
  for (char c : chars) {
    int key = static_cast<unsigned char>(c);
    control.UserKeyPress(key);
  }
}

class MainWindow : public ::testing::Test {
 protected:
  platform::sim::SimSystem system;
  platform::sim::SimDialogs dialogs;
  FrmMain frm{system, dialogs};

  void Focus(ui::Control& control) { frm.form.UserMoveFocus(&control); }
  // A source of `bytes` cut into free-size parts of `partSize`.
  void Plan(double bytes, double partSize) {
    frm.split.lngFileSize = bytes;
    frm.split.lngSpltSize = partSize;
    frm.optSpltSize[3].UserClick();
  }
  void RangeModeOn() {
    frm.mnuSettings[3].UserClick();
    ASSERT_TRUE(frm.mnuSettings[3].Checked());
  }
};

TEST_F(MainWindow, ResizingAlwaysEndsAtTheFixedSize) {
  for (bool rangeMode : {false, true}) {
    FrmMain w{system, dialogs};
    if (rangeMode) w.mnuSettings[3].UserClick();
    const int height = rangeMode ? 4995 : 4530;
    for (ui::WindowState state : {ui::WindowState::kNormal, ui::WindowState::kMaximized}) {
      w.form.PlatformPlaced(100, 100, state == ui::WindowState::kNormal ? 3000 : 12000, 9000, state);
      EXPECT_EQ(w.form.State(), ui::WindowState::kNormal) << "the window stays maximized";
      EXPECT_EQ(w.form.Width(), 4395) << "the window can be resized";
      EXPECT_EQ(w.form.Height(), height) << "the window can be resized, or the range row is cut off";
    }
    w.form.PlatformPlaced(100, 100, 2400, 400, ui::WindowState::kMinimized);
    EXPECT_EQ(w.form.State(), ui::WindowState::kMinimized) << "the window cannot be minimized";
    w.form.PlatformPlaced(100, 100, 2400, 400, ui::WindowState::kNormal);
    EXPECT_EQ(w.form.Height(), height)
        << "restoring from the taskbar leaves the window at the minimized size";
  }
}

// Either way a switch of range mode starts the range again from the whole
// plan; the boxes take input exactly while range mode shows them.
TEST_F(MainWindow, SwitchingRangeModeResetsTheRangeAndLocksItWhenCutOff) {
  Plan(10000, 1000);
  for (bool on : {true, false, true}) {
    if (!on) {
      frm.txtSpltPart[1].UserEdit("5", 1);  // a range typed in range mode, which leaving it resets
      frm.txtSpltPart[0].UserEdit("3", 1);
    }
    frm.mnuSettings[3].UserClick();
    EXPECT_EQ(frm.txtSpltPart[0].Text() + "-" + frm.txtSpltPart[1].Text(), "1-10")
        << (on ? "on" : "off") << ": the range does not start again from the whole plan";
    EXPECT_EQ(frm.txtSpltPart[0].Enabled() && frm.txtSpltPart[1].Enabled(), on)
        << (on ? "on: the range cannot be typed" : "off: the cut-off range boxes take input");
  }
  FrmMain w{system, dialogs};  // no source: the "0" parts are raised to 1
  w.mnuSettings[3].UserClick();
  EXPECT_EQ(w.txtSpltPart[0].Text() + "-" + w.txtSpltPart[1].Text(), "1-1");
}

TEST_F(MainWindow, BatchAndSameFolderBoxesKeepTheirMenuMarksInStep) {
  Plan(3000000, 1457664);
  RangeModeOn();
  Focus(frm.txtSpltPart[0]);
  Type(frm.txtSpltPart[0], "2");
  ASSERT_EQ(frm.lblFInfo.Caption(), "3 File(s)");

  frm.mnuSettings[0].UserClick();
  EXPECT_EQ(frm.chkMkBat.Value(), 1) << "the menu does not check the batch box";
  EXPECT_TRUE(frm.mnuSettings[0].Checked()) << "the batch menu item shows no mark";
  EXPECT_EQ(frm.lblFInfo.Caption(), "3 + 1 File(s)") << "the batch file is not counted";
  EXPECT_EQ(frm.txtSpltPart[0].Text(), "2") << "the batch option reset the user's range";
  frm.chkMkBat.UserClick();
  EXPECT_FALSE(frm.mnuSettings[0].Checked()) << "unchecking the box leaves the menu mark";
  EXPECT_EQ(frm.lblFInfo.Caption(), "3 File(s)") << "the batch file is still counted";

  frm.txtOutPath.SetText("C:\\Parts");
  frm.mnuSettings[2].UserClick();
  EXPECT_TRUE(frm.mnuSettings[2].Checked()) << "the same-folder menu item shows no mark";
  EXPECT_FALSE(frm.lblOutSelect.Enabled() || frm.txtOutPath.Enabled())
      << "an output folder can still be chosen in same-folder mode";
  frm.chkSamDir.UserClick();
  EXPECT_FALSE(frm.mnuSettings[2].Checked()) << "the mark stays after same-folder mode is off";
  EXPECT_TRUE(frm.lblOutSelect.Enabled() && frm.txtOutPath.Enabled())
      << "the output folder cannot be chosen after same-folder mode is off";
  EXPECT_EQ(frm.txtOutPath.Text(), "C:\\Parts") << "switching same-folder mode lost the output folder";
}

// Off at first, toggled from the keyboard, the rest of the window untouched:
// the real window's test under Wine. Here the window's own guard.
TEST_F(MainWindow, TheRecoveryChoiceCannotChangeUnderASplit) {
  frm.mnuMakePar2.UserClick();
  frm.SetControlsEnabled(0);  // as a running split locks it
  frm.mnuMakePar2.UserClick();
  EXPECT_TRUE(frm.mnuMakePar2.Checked()) << "the recovery choice changed under a running split";
  frm.SetControlsEnabled(-1);
  frm.mnuMakePar2.UserClick();
  EXPECT_FALSE(frm.mnuMakePar2.Checked()) << "the recovery item does not toggle after the split";
}

TEST_F(MainWindow, SizeOptionsSetThePartSizeAndRefreshThePlan) {
  struct Case {
    double size;
    const char* field;
    const char* info;
    int option;
    bool fieldEnabled;
  } cases[] = {
      {1457664, "1,457,664", "3 File(s)", 0, false},
      {1250304, "1,250,304", "3 File(s)", 1, false},
      {681984000, "681,984,000", "1 File(s)", 2, false},
      {1000, "1,000", "3,000 File(s)", 3, true},  // the free size keeps the current size
  };
  for (const Case& c : cases) {
    platform::sim::SimDialogs boxes;
    FrmMain w{system, boxes};
    w.split.lngFileSize = 3000000;
    w.split.lngSpltSize = 1000;
    // Choosing an option again runs it again: the CD size warns each time.
    for (int again = 0; again < 2; ++again) {
      if (c.option == 2) boxes.Expect(kMemoryWarning, platform::mb::kInformation, "", kOk);
      w.optSpltSize[static_cast<size_t>(c.option)].UserClick();
    }
    EXPECT_EQ(w.split.lngSpltSize, c.size) << "option " << c.option << " splits at the wrong size";
    EXPECT_EQ(w.txt_Sizes.Enabled(), c.fieldEnabled) << "option " << c.option << ": free-size field state";
    EXPECT_EQ(w.txt_Sizes.Text(), c.field) << "option " << c.option << " shows the wrong size";
    EXPECT_EQ(w.lblFInfo.Caption(), c.info) << "option " << c.option << " shows the wrong part count";
    EXPECT_EQ(w.split.byteSpltSize, c.option) << "option " << c.option << " would be saved as another";
  }
}

TEST_F(MainWindow, TheFreeSizeFieldChecksWhatWasTyped) {
  struct Case {
    const char* typed;
    bool refused;
    double size;        // the part size afterwards
    const char* shown;  // the field once the focus has settled
    const char* info;   // the part count of 2,500,000 bytes, at once
  } cases[] = {
      {"1,457,664", false, 1457664, "1,457,664", "2 File(s)"},
      {"2147483647", false, 2147483647, "2,147,483,647", "1 File(s)"},
      {"1", false, 1, "1", "2,500,000 File(s)"},
      {"0", true, 0, "0", "File Info"},
      {"abc", true, 1250304, "1250304", "2 File(s)"},
  };
  for (const Case& c : cases) {
    platform::sim::SimDialogs boxes;
    FrmMain w{system, boxes};
    w.split.lngFileSize = 2500000;
    w.split.lngSpltSize = 1250304;
    w.optSpltSize[3].UserClick();
    w.form.UserMoveFocus(&w.txt_Sizes);
    ASSERT_EQ(w.txt_Sizes.Text(), "1250304") << "the focused field must show plain digits";
    ASSERT_EQ(w.txt_Sizes.MaxLength(), 10);
    ASSERT_EQ(w.txt_Sizes.SelLength(), 7) << "the old size is not selected for overtyping";
    Type(w.txt_Sizes, c.typed);
    if (c.refused) boxes.Expect(kSizeMessage, platform::mb::kCritical, kSizeTitle, kOk);
    w.form.UserMoveFocus(&w.txtInFile);

    EXPECT_EQ(boxes.boxes.size(), c.refused ? 1u : 0u) << "\"" << c.typed << "\": wrong number of messages";
    EXPECT_EQ(w.split.lngSpltSize, c.size) << "\"" << c.typed << "\" gives the wrong part size";
    EXPECT_EQ(w.txt_Sizes.Text(), c.shown) << "\"" << c.typed << "\": the field shows the wrong text";
    EXPECT_EQ(w.lbl1[0].Caption(), w.split.lngSpltSize > 1 ? "bytes" : "byte")
        << "\"" << c.typed << "\": the unit does not fit the size";
    EXPECT_EQ(w.lblFInfo.Caption(), c.info)
        << "\"" << c.typed << "\": the part count does not follow the size";
    if (c.refused) {
      EXPECT_EQ(w.form.Focused(), &w.txt_Sizes)
          << "\"" << c.typed << "\": the focus must return to the field";
      EXPECT_EQ(w.txt_Sizes.SelLength(), w.txt_Sizes.Length()) << "the refused size is not selected";
    } else {
      EXPECT_EQ(w.form.Focused(), &w.txtInFile) << "\"" << c.typed << "\": the focus did not move on";
      EXPECT_EQ(w.txt_Sizes.MaxLength(), 13) << "the grouped size would not fit";
    }
  }
}

// Digits typed on the focused free-size option build the size; on a preset
// option they change nothing. The unit beside the field follows the size.
TEST_F(MainWindow, KeysOnTheFreeSizeOptionAloneBuildTheSize) {
  frm.split.lngFileSize = 3000000;
  for (int option : {0, 3}) {
    frm.optSpltSize[static_cast<size_t>(option)].UserClick();
    Focus(frm.optSpltSize[static_cast<size_t>(option)]);
    Type(frm.optSpltSize[static_cast<size_t>(option)], "\b\b\b\b\b\b\b12");
  }
  EXPECT_EQ(frm.split.lngSpltSize, 12) << "keys typed on the options give the wrong part size";
  EXPECT_EQ(frm.lbl1[0].Caption() + frm.lbl1[1].Caption() + frm.lbl1[2].Caption(), "bytesからファイルまで")
      << "the unit is wrong or was written into a range label";
  EXPECT_EQ(frm.lblFInfo.Caption(), "250,000 File(s)") << "the part count does not follow typed digits";
}

TEST_F(MainWindow, RangeBoxesKeepAUsableRange) {
  enum Action { kTypeAtEnd, kPaste };
  struct Case {
    const char* what;
    double parts;  // 0: no plan
    const char* first;
    const char* last;
    int box;
    Action action;
    const char* input;
    const char* expectedFirst;
    const char* expectedLast;
    int caret;  // -1: not checked
  } cases[] = {
      {"a letter is ignored", 0, "1", "5", 1, kTypeAtEnd, "a-.", "1", "5", 1},
      {"pasted 12ab", 0, "1", "5", 1, kPaste, "12ab", "1", "12", 2},
      {"backspace on the only digit", 0, "1", "5", 1, kTypeAtEnd, "\b", "1", "1", 0},
      {"pasted leading zeros", 0, "1", "5", 1, kPaste, "0005", "1", "5", 0},
      {"last part beyond the count", 10, "1", "10", 1, kPaste, "25", "1", "10", 2},
      {"first part beyond the last", 10, "1", "5", 0, kPaste, "8", "5", "5", 1},
      {"no plan bounds only by 32 bits", 0, "1", "5", 1, kPaste, "3000000000", "1", "2147483647", 9},
      {"an unreadable number resets", 10, "3", "4", 0, kPaste, "1e999", "1", "10", -1},
  };
  for (const Case& c : cases) {
    FrmMain w{system, dialogs};
    if (c.parts > 0) {
      w.split.lngFileSize = c.parts * 1000;
      w.split.lngSpltSize = 1000;
      w.optSpltSize[3].UserClick();
    }
    w.mnuSettings[3].UserClick();
    w.txtSpltPart[1].SetText(c.last);
    w.txtSpltPart[0].SetText(c.first);
    ui::TextBox& box = w.txtSpltPart[static_cast<size_t>(c.box)];
    w.form.UserMoveFocus(&box);
    switch (c.action) {
      case kTypeAtEnd:
        box.SetSelStart(box.Length());
        Type(box, c.input);
        break;
      case kPaste:
        box.UserEdit(c.input, ui::CharCount(c.input));
        break;
    }
    EXPECT_EQ(w.txtSpltPart[0].Text(), c.expectedFirst) << c.what << ": the first part is wrong";
    EXPECT_EQ(w.txtSpltPart[1].Text(), c.expectedLast) << c.what << ": the last part is wrong";
    if (c.caret >= 0) {
      EXPECT_EQ(box.SelStart(), c.caret) << c.what << ": the cursor jumped";
    }
  }
}

TEST_F(MainWindow, TheRangeOfAHugeCountStaysIn32Bits) {
  Plan(6442450944.0, 1);  // a 6 GiB source in 1-byte parts
  EXPECT_EQ(frm.txtSpltPart[1].Text(), "2147483647") << "the last part leaves the 32-bit range";
  RangeModeOn();
  EXPECT_EQ(frm.txtSpltPart[1].Text(), "2147483647") << "range mode shows a last part beyond 32 bits";
}

TEST_F(MainWindow, OverwriteOptionsAndSubmenuKeepExactlyOneMark) {
  struct Step {
    bool viaMenu;
    int index;
  } steps[] = {{false, 2}, {true, 0}, {true, 0}, {false, 1}, {true, 1}, {false, 1}, {true, 2}};
  for (const Step& step : steps) {
    if (step.viaMenu) {
      frm.mnuSetOW[static_cast<size_t>(step.index)].UserClick();
    } else {
      frm.optHmny[static_cast<size_t>(step.index)].UserClick();
    }
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(frm.mnuSetOW[static_cast<size_t>(i)].Checked(), i == step.index)
          << "after choosing " << step.index << " the overwrite submenu marks item " << i << " wrongly";
      EXPECT_EQ(frm.optHmny[static_cast<size_t>(i)].Value(), i == step.index)
          << "after choosing " << step.index << " overwrite option " << i << " is shown wrongly";
    }
    EXPECT_EQ(frm.split.byteHmny, step.index) << "the split would treat existing files another way";
  }
}

}  // namespace
}  // namespace qn::window
